// The accuracy measurement on made-up runs whose truth is known: an RTC off by a set offset,
// a performance counter off by its own, polls bracketing each seconds transition, and a system
// clock that wanders within its assumed error, slews, or steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "check/accuracy_measurement.h"

namespace kalendo::check {
namespace {

struct SyntheticRun {
    const char* what;
    double rtcPpm;          // the truth
    double counterPpm;      // performance counter against true time
    double bracketSeconds;  // each side of a transition: up to this much
    double minutes;
    // The system clock against true time: a ramp from -wander to +wander over the run (the
    // worst its assumed error can do to a rate), a slew over a stretch, a step.
    double wanderSeconds = 0;
    double slewPpm = 0, slewFromSeconds = 0, slewForSeconds = 0;
    double stepAtSeconds = -1, stepSeconds = 0;
    unsigned seed = 1;
    // Rates that ramp: each changes by this much, linearly, from the start of the run to its end.
    double rtcRampPpm = 0, counterRampPpm = 0;
};

// The RTC's time at true time t (from its first second), its rate ramping.
double RtcAt(const SyntheticRun& run, double t) {
    const double duration = run.minutes * 60;
    return t + 1e-6 * (run.rtcPpm * t + run.rtcRampPpm * t * t / (2 * duration));
}

// systemTrueTimes, when given, gets the true time of each poll's system clock reading.
std::vector<SecondsPoll> Polls(const SyntheticRun& run,
                               std::vector<double>* systemTrueTimes = nullptr) {
    std::mt19937 random(run.seed);
    std::uniform_real_distribution<double> within(0, run.bracketSeconds);
    const double duration = run.minutes * 60;
    const auto counter = [&](double t) {
        return 2500.0 + t + 1e-6 * (run.counterPpm * t + run.counterRampPpm * t * t / (2 * duration));
    };
    const auto system = [&](double t) {
        double s = 1.7e9 + t + run.wanderSeconds * (2 * t / duration - 1);
        const double slewing = std::clamp(t - run.slewFromSeconds, 0.0, run.slewForSeconds);
        s += slewing * run.slewPpm * 1e-6;
        if (run.stepAtSeconds >= 0 && t >= run.stepAtSeconds) s += run.stepSeconds;
        return s;
    };
    std::vector<SecondsPoll> polls;
    const double phase = 0.3;  // true time of the first transition
    for (int64_t k = 0;; ++k) {
        // The RTC's kth second begins when RtcAt reaches k (Newton's steps from the nominal).
        double t = static_cast<double>(k);
        for (int step = 0; step < 3; ++step) {
            const double rate = 1 + 1e-6 * (run.rtcPpm + run.rtcRampPpm * t / duration);
            t -= (RtcAt(run, t) - static_cast<double>(k)) / rate;
        }
        t += phase;
        if (t > duration) break;
        const double before = t - within(random), after = t + within(random);
        polls.push_back({counter(before), counter(after), 1000 + k, system(after + 1e-6),
                         counter(after + 2e-6)});
        if (systemTrueTimes) systemTrueTimes->push_back(after + 1e-6 - phase);
    }
    return polls;
}

void ExpectTruthInside(const SyntheticRun& run, const AccuracyResult& r) {
    ASSERT_TRUE(r.valid) << run.what << ": " << r.error;
    EXPECT_LE(std::fabs(r.ppm - run.rtcPpm), r.uncertaintyPpm)
        << run.what << ": " << r.ppm << " +- " << r.uncertaintyPpm;
    EXPECT_NEAR(r.uncertaintyPpm, r.fitUncertaintyPpm + r.referenceUncertaintyPpm, 1e-9);
    EXPECT_STREQ(r.reference, "system clock");
}

TEST(AccuracyMeasurementTest, TruthLiesInsideTheStatedRange) {
    const SyntheticRun runs[] = {
        {"on time, sharp brackets", 0, 0, 0.0003, 10},
        {"fast RTC, USB-wide brackets", +12.5, 0, 0.002, 10},
        {"slow RTC, counter slow", -7.3, -25, 0.001, 30},
        {"broken crystal", +3000, +5, 0.001, 2},
        {"one minute", +4, +3, 0.001, 1},
        {"an hour", -2.2, +15, 0.001, 60},
        // The system clock as far off as assumed, in the direction that hurts most.
        {"reference at its worst", +3, 0, 0.001, 10, 0.0099},
        {"reference at its worst the other way", +3, 0, 0.001, 10, -0.0099},
        {"system clock slewed 400 ppm for 20 s", -5, +10, 0.001, 10, 0, 400, 200, 20},
    };
    for (const SyntheticRun& run : runs) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SyntheticRun r = run;
            r.seed = seed;
            const AccuracyResult result = MeasureAccuracy(Polls(r));
            ExpectTruthInside(r, result);
            EXPECT_TRUE(result.steps.empty()) << run.what;
            // The reference's part is the assumed error at both ends over the span.
            EXPECT_NEAR(result.referenceUncertaintyPpm, 2 * 0.010 / result.spanSeconds * 1e6,
                        0.01 * result.referenceUncertaintyPpm)
                << run.what;
            EXPECT_TRUE(result.steadyRate) << run.what;
        }
    }
    // A narrower assumed reference error narrows only the reference's part.
    const SyntheticRun hour = runs[5];
    AccuracySettings sharp;
    sharp.referenceErrorSeconds = 0.001;
    const AccuracyResult wide = MeasureAccuracy(Polls(hour));
    const AccuracyResult narrow = MeasureAccuracy(Polls(hour), sharp);
    EXPECT_NEAR(narrow.referenceUncertaintyPpm, wide.referenceUncertaintyPpm / 10,
                wide.referenceUncertaintyPpm / 100);
    EXPECT_DOUBLE_EQ(narrow.fitUncertaintyPpm, wide.fitUncertaintyPpm);
}

// The counter only narrows the brackets: 40 ppm fast against the system clock, it is measured
// and taken out, and the result does not move beyond the run's own uncertainty.
TEST(AccuracyMeasurementTest, CounterRateErrorDoesNotMoveTheResult) {
    const SyntheticRun exact{"counter on time", +6, 0, 0.001, 10};
    SyntheticRun fast = exact;
    fast.what = "counter 40 ppm fast";
    fast.counterPpm = 40;
    const AccuracyResult a = MeasureAccuracy(Polls(exact));
    const AccuracyResult b = MeasureAccuracy(Polls(fast));
    ExpectTruthInside(fast, b);
    ASSERT_TRUE(a.valid);
    EXPECT_NEAR(b.counterPpm, 40, 0.01);
    EXPECT_NEAR(a.counterPpm, 0, 0.01);
    EXPECT_NEAR(b.ppm, a.ppm, 0.01);
    EXPECT_LT(b.fitUncertaintyPpm, 1.0) << "ten minutes of 1 ms brackets";
}

TEST(AccuracyMeasurementTest, SystemClockStepIsReportedAndOnlyTheRunAfterItIsUsed) {
    struct Case {
        const char* what;
        double atSeconds, sizeSeconds;
        bool valid;
    };
    const Case cases[] = {
        {"forwards mid-run", 300, +0.050, true},
        {"backwards early", 60, -0.030, true},
        {"just over the threshold", 300, +0.006, true},
        {"two seconds before the end", 598, +0.050, false},
    };
    for (const Case& c : cases) {
        SyntheticRun run{c.what, +9, +20, 0.001, 10};
        run.stepAtSeconds = c.atSeconds;
        run.stepSeconds = c.sizeSeconds;
        const std::vector<SecondsPoll> polls = Polls(run);
        const AccuracyResult r = MeasureAccuracy(polls);
        ASSERT_EQ(r.steps.size(), 1u) << c.what;
        EXPECT_NEAR(r.steps[0].sizeSeconds, c.sizeSeconds, 0.0001) << c.what;
        EXPECT_NEAR(r.steps[0].systemSeconds - polls[0].systemSeconds, c.atSeconds + c.sizeSeconds,
                    1.5)
            << c.what;
        EXPECT_EQ(r.firstPoll, r.steps[0].poll) << c.what;
        EXPECT_EQ(r.valid, c.valid) << c.what;
        if (c.valid) {
            ExpectTruthInside(run, r);
            EXPECT_NEAR(r.spanSeconds, 600 - c.atSeconds - r.endWindowSeconds, 1.5) << c.what;
        } else {
            EXPECT_NE(r.error.find("after the system clock's last step"), std::string::npos)
                << r.error;
        }
    }
    // Within the threshold the offset moves but no step is claimed.
    SyntheticRun small{"3 ms", +9, +20, 0.001, 10};
    small.stepAtSeconds = 300;
    small.stepSeconds = 0.003;
    EXPECT_TRUE(MeasureAccuracy(Polls(small)).steps.empty());
}

// Rates that ramp by 1 ppm over the run (a PC crystal warming, the RTC's cooling), against a
// perfect reference: the bound holds the true mean rate between its two marks, and the run is
// reported as not steady. One straight line through every bracket with the counter converted at
// the run's first and last polls put +2 ppm outside its range here.
TEST(AccuracyMeasurementTest, RampingRatesKeepTheMeanInsideAndAreNotCalledSteady) {
    const SyntheticRun runs[] = {
        {"counter ramps up", +2, 0, 0.000125, 60, 0, 0, 0, 0, -1, 0, 1, 0, +1},
        {"counter ramps down", +2, 0, 0.000125, 60, 0, 0, 0, 0, -1, 0, 1, 0, -1},
        {"RTC ramps up", -3, +20, 0.000125, 10, 0, 0, 0, 0, -1, 0, 1, +1, 0},
        {"RTC ramps down", -3, +20, 0.000125, 10, 0, 0, 0, 0, -1, 0, 1, -1, 0},
    };
    AccuracySettings exactReference;
    exactReference.referenceErrorSeconds = 0;
    for (const SyntheticRun& run : runs) {
        std::vector<double> trueTimes;
        const std::vector<SecondsPoll> polls = Polls(run, &trueTimes);
        const AccuracyResult r = MeasureAccuracy(polls, exactReference);
        ASSERT_TRUE(r.valid) << run.what << ": " << r.error;
        const double from = trueTimes[r.fromPoll], to = trueTimes[r.toPoll];
        const double truth = ((RtcAt(run, to) - RtcAt(run, from)) / (to - from) - 1) * 1e6;
        EXPECT_LE(std::fabs(r.ppm - truth), r.uncertaintyPpm)
            << run.what << ": " << r.ppm << " +- " << r.uncertaintyPpm << ", truth " << truth;
        EXPECT_FALSE(r.steadyRate) << run.what;
        EXPECT_LT(r.uncertaintyPpm, 0.1) << run.what << ": as narrow as sharp brackets allow";
    }
}

// The bound between two marks against a hand-computed one: 1000 RTC seconds within +-1 ms in
// all, over 999.99 s of reference within +-0.5 ms of readings and 2 + 3 ms of reference error.
TEST(AccuracyMeasurementTest, BoundBetweenMarksIsTheExtremesOfItsEnds) {
    RateMark from{10.0, 0.0004, 500.0, 0.0002, {0.002, "NTP server, measured"}};
    RateMark to{1010.0, 0.0006, 1499.99, 0.0003, {0.003, "kernel maxerror"}};
    const RateBound b = BoundRateBetween(from, to);
    ASSERT_TRUE(b.valid);
    const double low = (999.999 / (999.99 + 0.0005 + 0.005) - 1) * 1e6;
    const double high = (1000.001 / (999.99 - 0.0005 - 0.005) - 1) * 1e6;
    EXPECT_NEAR(b.lowPpm, low, 1e-6);
    EXPECT_NEAR(b.highPpm, high, 1e-6);
    EXPECT_NEAR(b.ppm, (1000 / 999.99 - 1) * 1e6, 1e-6);
    EXPECT_NEAR(b.uncertaintyPpm, std::max(high - b.ppm, b.ppm - low), 1e-6);
    EXPECT_NEAR(b.ownUncertaintyPpm,
                std::max((1000.001 / 999.9895 - 1) * 1e6 - b.ppm,
                         b.ppm - (999.999 / 999.9905 - 1) * 1e6),
                1e-6);
    // A span no longer than the errors at its ends is no bound.
    to.systemSeconds = from.systemSeconds + 0.004;
    EXPECT_FALSE(BoundRateBetween(from, to).valid);
}

// Each end takes the reference error the run's reference gives at its reading, with its source.
TEST(AccuracyMeasurementTest, EachEndHasItsOwnReferenceError) {
    const SyntheticRun run{"ten minutes", +4, +7, 0.0005, 10};
    const std::vector<SecondsPoll> polls = Polls(run);
    AccuracySettings settings;
    const double middle = (polls.front().systemSeconds + polls.back().systemSeconds) / 2;
    settings.referenceAt = [middle](double system) {
        return system < middle ? ReferenceError{0.001, "NTP server, measured"}
                               : ReferenceError{0.004, "kernel maxerror"};
    };
    const AccuracyResult r = MeasureAccuracy(polls, settings);
    ExpectTruthInside(run, r);
    EXPECT_EQ(r.referenceFrom.source, "NTP server, measured");
    EXPECT_EQ(r.referenceTo.source, "kernel maxerror");
    EXPECT_NEAR(r.referenceUncertaintyPpm, 0.005 / r.spanSeconds * 1e6,
                0.01 * r.referenceUncertaintyPpm);
}

TEST(AccuracyMeasurementTest, BrokenRunsAreRefusedWithTheReason) {
    const std::vector<SecondsPoll> good = Polls({"good", 0, 0, 0.001, 0.1});
    ASSERT_GE(good.size(), 5u);
    struct Case {
        const char* what;
        void (*spoil)(std::vector<SecondsPoll>& polls);
        const char* message;
    };
    const Case cases[] = {
        {"not a number",
         [](std::vector<SecondsPoll>& p) {
             p[2].systemSeconds = std::numeric_limits<double>::quiet_NaN();
         },
         "poll 3: a time is not a number"},
        {"bracket reversed",
         [](std::vector<SecondsPoll>& p) { std::swap(p[1].counterBefore, p[1].counterAfter); },
         "poll 2: counter readings out of order"},
        {"RTC second repeated", [](std::vector<SecondsPoll>& p) { p[3].rtcSeconds -= 1; },
         "poll 4: the RTC's second did not move on"},
        {"RTC set forwards mid-run",
         [](std::vector<SecondsPoll>& p) {
             for (size_t i = 4; i < p.size(); ++i) p[i].rtcSeconds += 2;
         },
         "poll 5: the RTC's time jumped"},
    };
    for (const Case& c : cases) {
        std::vector<SecondsPoll> polls = good;
        c.spoil(polls);
        const AccuracyResult r = MeasureAccuracy(polls);
        EXPECT_FALSE(r.valid) << c.what;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << c.what << ": " << r.error;
    }
    const AccuracyResult twoPolls = MeasureAccuracy({good[0], good[1]});
    EXPECT_FALSE(twoPolls.valid);
    EXPECT_NE(twoPolls.error.find("too few"), std::string::npos) << twoPolls.error;
}

}  // namespace
}  // namespace kalendo::check

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
};

std::vector<SecondsPoll> Polls(const SyntheticRun& run) {
    std::mt19937 random(run.seed);
    std::uniform_real_distribution<double> within(0, run.bracketSeconds);
    const double duration = run.minutes * 60;
    const auto counter = [&](double t) { return 2500.0 + t * (1 + run.counterPpm * 1e-6); };
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
        const double t = phase + k / (1 + run.rtcPpm * 1e-6);  // the RTC's kth second begins
        if (t > duration) break;
        const double before = t - within(random), after = t + within(random);
        polls.push_back({counter(before), counter(after), 1000 + k, system(after + 1e-6),
                         counter(after + 2e-6)});
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
            EXPECT_NEAR(r.spanSeconds, 600 - c.atSeconds, 1.5) << c.what;
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
         "fit no steady rate"},
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

#include "check/accuracy_measurement.h"

#include <algorithm>
#include <cmath>

#include "check/bracketed_rate.h"
#include "check/rate_between_marks.h"

namespace kalendo::check {

namespace {

constexpr double kPpm = 1e6;
constexpr size_t kLeastPolls = 3;
// The fastest a system clock is slewed while it is corrected (Windows and NTP stay well below):
// a change of the offset at this rate is not a step.
constexpr double kLargestSlew = 500e-6;
// Neither the RTC nor the counter is off its nominal rate by more than this: beyond it the clock
// is not working, whatever the check could measure.
constexpr double kLargestRateError = 0.01;

// A system clock reading and the counter time it stands at, within +- halfWidth.
struct SystemReading {
    double counter;
    double halfWidth;
    double system;
};

SystemReading ReadingOf(const SecondsPoll& p, double resolution) {
    return {(p.counterAfter + p.counterAfterSystem) / 2,
            (p.counterAfterSystem - p.counterAfter) / 2 + resolution, p.systemSeconds};
}

std::string PollText(size_t i) {
    return "poll " + std::to_string(i + 1) + ": ";
}

std::string CheckPolls(const std::vector<SecondsPoll>& polls) {
    for (size_t i = 0; i < polls.size(); ++i) {
        const SecondsPoll& p = polls[i];
        if (!std::isfinite(p.counterBefore) || !std::isfinite(p.counterAfter) ||
            !std::isfinite(p.systemSeconds) || !std::isfinite(p.counterAfterSystem)) {
            return PollText(i) + "a time is not a number";
        }
        if (!(p.counterBefore <= p.counterAfter && p.counterAfter <= p.counterAfterSystem)) {
            return PollText(i) + "counter readings out of order";
        }
        if (i > 0) {
            const SecondsPoll& q = polls[i - 1];
            if (!(p.counterBefore >= q.counterAfterSystem)) {
                return PollText(i) + "taken before the previous poll ended";
            }
            if (p.rtcSeconds <= q.rtcSeconds) {
                return PollText(i) + "the RTC's second did not move on";
            }
        }
    }
    return {};
}

// Consecutive transitions must be as many RTC seconds apart as counter seconds, within the
// largest rate error and their brackets: a whole second more or less is an RTC that was set or
// stopped, which no mean rate describes.
std::string CheckNoJump(const std::vector<Bracket>& ticks, size_t firstPoll) {
    for (size_t i = 1; i < ticks.size(); ++i) {
        const double dx = ticks[i].x - ticks[i - 1].x;
        const double dy = ticks[i].y - ticks[i - 1].y;
        const double slack = kLargestRateError * dx + ticks[i].halfWidth + ticks[i - 1].halfWidth;
        if (std::fabs(dy - dx) > slack) {
            return PollText(firstPoll + i) +
                   "the RTC's time jumped against the PC's (was it set or stopped during the run?)";
        }
    }
    return {};
}

double Median(std::vector<double> v) {
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + mid, v.end());
    return v[mid];
}

// Jumps of the system clock against the counter between consecutive polls, beyond what its
// rate, slewing and the readings' brackets explain.
std::vector<SystemClockStep> FindSteps(const std::vector<SystemReading>& r,
                                       const AccuracySettings& settings) {
    std::vector<SystemClockStep> steps;
    if (r.size() < 2) return steps;
    std::vector<double> rates;
    for (size_t i = 1; i < r.size(); ++i) {
        rates.push_back((r[i].system - r[i - 1].system) / (r[i].counter - r[i - 1].counter));
    }
    // The median ignores the few intervals that hold a step.
    const double rate = Median(rates);
    for (size_t i = 1; i < r.size(); ++i) {
        const double elapsed = r[i].counter - r[i - 1].counter;
        const double jump = (r[i].system - r[i - 1].system) - rate * elapsed;
        const double allowed =
            settings.stepSeconds + kLargestSlew * elapsed + r[i].halfWidth + r[i - 1].halfWidth;
        if (std::fabs(jump) > allowed) steps.push_back({i, r[i].system, jump});
    }
    return steps;
}

}  // namespace

AccuracyResult MeasureAccuracy(const std::vector<SecondsPoll>& polls,
                               const AccuracySettings& settings) {
    AccuracyResult result;
    result.error = CheckPolls(polls);
    if (!result.error.empty()) return result;
    if (!(settings.referenceErrorSeconds >= 0) || !(settings.stepSeconds > 0) ||
        !(settings.systemResolutionSeconds >= 0)) {
        result.error = "the settings are out of range";
        return result;
    }

    std::vector<SystemReading> readings;
    for (const SecondsPoll& p : polls) {
        readings.push_back(ReadingOf(p, settings.systemResolutionSeconds));
    }
    result.steps = FindSteps(readings, settings);
    result.firstPoll = result.steps.empty() ? 0 : result.steps.back().poll;
    result.pollsUsed = polls.size() - result.firstPoll;
    if (result.pollsUsed < kLeastPolls) {
        result.error = result.steps.empty()
                           ? "too few seconds transitions (" + std::to_string(polls.size()) +
                                 ", at least 3 needed)"
                           : "too few seconds transitions after the system clock's last step (" +
                                 std::to_string(result.pollsUsed) + ", at least 3 needed)";
        return result;
    }

    // The RTC against the counter: its transitions are exact whole seconds, each somewhere in
    // its bracket. Times relative to the first used poll keep the precision.
    const SecondsPoll& first = polls[result.firstPoll];
    std::vector<Bracket> ticks;
    for (size_t i = result.firstPoll; i < polls.size(); ++i) {
        const SecondsPoll& p = polls[i];
        ticks.push_back({(p.counterBefore + p.counterAfter) / 2 - first.counterBefore,
                         (p.counterAfter - p.counterBefore) / 2,
                         static_cast<double>(p.rtcSeconds - first.rtcSeconds)});
    }
    result.error = CheckNoJump(ticks, result.firstPoll);
    if (!result.error.empty()) return result;

    // The two marks: the system clock readings nearest the middle of a window at each end, the
    // RTC's time there pinned by the window's brackets alone. Only the mean rate between them is
    // claimed, so neither clock's rate need be constant over the run.
    const double runCounter = ticks.back().x - ticks.front().x;
    const double window = std::min(kEndWindowSeconds, runCounter / 4);
    result.endWindowSeconds = window;
    const auto markAt = [&](double centre, size_t* poll, RateMark* mark) {
        size_t best = result.firstPoll;
        for (size_t i = result.firstPoll; i < polls.size(); ++i) {
            const double x = readings[i].counter - first.counterBefore;
            const double bestX = readings[best].counter - first.counterBefore;
            if (std::fabs(x - centre) < std::fabs(bestX - centre)) best = i;
        }
        const double x = readings[best].counter - first.counterBefore;
        std::vector<Bracket> near;
        for (const Bracket& t : ticks) {
            if (std::fabs(t.x - x) <= window / 2 + t.halfWidth) near.push_back(t);
        }
        const PhaseBounds phase =
            PhaseAt(near, x, 1 - kLargestRateError, 1 + kLargestRateError, kRateWanderPpm * 1e-6);
        if (!phase.feasible) return false;
        *poll = best;
        // The system clock was read somewhere within the reading's counter bracket about x:
        // the RTC moved on by up to that much (at its rate, within 1 % of nominal) from x.
        const double readingHalfWidth =
            readings[best].halfWidth - settings.systemResolutionSeconds;
        mark->rtcSeconds = phase.Mid();
        mark->rtcHalfWidth = phase.HalfRange() + readingHalfWidth * (1 + kLargestRateError);
        mark->reference = settings.referenceAt
                              ? settings.referenceAt(readings[best].system)
                              : ReferenceError{settings.referenceErrorSeconds, "assumed"};
        mark->systemSeconds = readings[best].system + mark->reference.correctionSeconds;
        mark->systemHalfWidth = settings.systemResolutionSeconds;
        return true;
    };
    RateMark from, to;
    if (!markAt(ticks.front().x + window / 2, &result.fromPoll, &from) ||
        !markAt(ticks.back().x - window / 2, &result.toPoll, &to)) {
        result.error =
            "the seconds transitions near an end of the run fit no rate within 1 % of nominal";
        return result;
    }
    const RateBound bound = BoundRateBetween(from, to);
    result.spanSeconds = bound.spanSeconds;
    result.referenceFrom = from.reference;
    result.referenceTo = to.reference;
    if (result.toPoll <= result.fromPoll || !bound.valid) {
        result.error = "the run is too short against the reference's uncertainty";
        return result;
    }
    const double counterSpan = readings[result.toPoll].counter - readings[result.fromPoll].counter;
    result.counterPpm = (counterSpan / bound.spanSeconds - 1) * kPpm;
    result.ppm = bound.ppm;
    result.uncertaintyPpm = bound.uncertaintyPpm;
    result.fitUncertaintyPpm = bound.ownUncertaintyPpm;
    result.referenceUncertaintyPpm = bound.referenceUncertaintyPpm;
    result.rtcPerCounter = (to.rtcSeconds - from.rtcSeconds) / counterSpan;
    result.rtcPerCounterHalfRange = (to.rtcHalfWidth + from.rtcHalfWidth) / counterSpan;

    // The diagnostic: one constant rate through every bracket, as a steady run would allow.
    const RateBounds line = FitBracketedRate(ticks);
    if (line.feasible) {
        const double perSystem = counterSpan / bound.spanSeconds;
        result.steadyPpm = (line.Mid() * perSystem - 1) * kPpm;
        result.steadyUncertaintyPpm = line.HalfRange() * perSystem * kPpm;
        result.steadyRate = line.low <= result.rtcPerCounter + result.rtcPerCounterHalfRange &&
                            line.high >= result.rtcPerCounter - result.rtcPerCounterHalfRange;
    }
    result.valid = true;
    return result;
}

}  // namespace kalendo::check

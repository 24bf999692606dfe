#include "check/accuracy_measurement.h"

#include <algorithm>
#include <cmath>

#include "check/bracketed_rate.h"

namespace kalendo::check {

namespace {

constexpr double kPpm = 1e6;
constexpr size_t kLeastPolls = 3;
// The fastest a system clock is slewed while it is corrected (Windows and NTP stay well below):
// a change of the offset at this rate is not a step.
constexpr double kLargestSlew = 500e-6;

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
    const RateBounds rtcPerCounter = FitBracketedRate(ticks);
    if (!rtcPerCounter.feasible) {
        result.error =
            "the seconds transitions fit no steady rate (was the RTC set or "
            "stopped during the run?)";
        return result;
    }

    // The counter against the system clock, from the first and the last reading used: with the
    // system clock within +-e of true time at both, true elapsed time is within +-2e of it,
    // and between the two the system clock may slew as it likes.
    const SystemReading from = readings[result.firstPoll];
    const SystemReading to = readings.back();
    const double systemSpan = to.system - from.system;
    const double counterSpan = to.counter - from.counter;
    const double counterSlack = from.halfWidth + to.halfWidth;
    const double e2 = 2 * settings.referenceErrorSeconds;
    result.spanSeconds = systemSpan;
    if (!(counterSpan > counterSlack) || !(systemSpan > e2)) {
        result.error = "the run is too short against the reference's uncertainty";
        return result;
    }
    result.counterPpm = (counterSpan / systemSpan - 1) * kPpm;

    // RTC seconds per true second = RTC per counter x counter per true second.
    const double mid = rtcPerCounter.Mid() * counterSpan / systemSpan;
    const auto bound = [&](double referenceSlack) {
        const double low =
            rtcPerCounter.low * (counterSpan - counterSlack) / (systemSpan + referenceSlack);
        const double high =
            rtcPerCounter.high * (counterSpan + counterSlack) / (systemSpan - referenceSlack);
        return std::max(high - mid, mid - low) * kPpm;
    };
    result.ppm = (mid - 1) * kPpm;
    result.fitUncertaintyPpm = bound(0);
    result.uncertaintyPpm = bound(e2);
    result.referenceUncertaintyPpm = result.uncertaintyPpm - result.fitUncertaintyPpm;
    result.valid = true;
    return result;
}

}  // namespace kalendo::check

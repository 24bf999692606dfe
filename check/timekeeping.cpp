#include "check/timekeeping.h"

#include <cmath>

#include "check/accuracy_measurement.h"

namespace kalendo::check {

namespace {

constexpr double kSecondsPerDay = 86400;
// Without a measured rate the RTC may be anywhere within this of the counter's.
constexpr double kUnknownRate = 1000e-6;
// The system clock's step test, as the accuracy run's: beyond slewing and the readings.
constexpr double kStepSeconds = 0.004;
constexpr double kLargestSlew = 500e-6;

double FoldDay(double d) {
    while (d > kSecondsPerDay / 2) d -= kSecondsPerDay;
    while (d < -kSecondsPerDay / 2) d += kSecondsPerDay;
    return d;
}

}  // namespace

TimekeepingFigure JudgeTimekeeping(const TimekeepingAnchor& before, const TimekeepingAnchor& after,
                                   const TimekeepingRate& rate) {
    TimekeepingFigure f;
    const double elapsed = after.counter - before.counter;
    f.elapsedSeconds = elapsed;
    const double rtc = FoldDay(after.rtcDay - before.rtcDay);
    const double rho = rate.known ? rate.rtcPerCounter : 1;
    // The measured rate taken out: what is left is time the RTC lost or gained.
    f.valueMs = (rtc - rho * elapsed) * 1000;
    const double rateSlack = rate.known ? rate.halfRange + kRateWanderPpm * 1e-6 : kUnknownRate;
    f.uncertaintyMs =
        (rho * (before.halfWidth + after.halfWidth) + rateSlack * std::fabs(elapsed)) * 1000;
    if (!rate.known) {
        f.verdict = Verdict::Undecided;
    } else if (std::fabs(f.valueMs) + f.uncertaintyMs < kTimekeepingThresholdMs) {
        f.verdict = Verdict::Pass;
    } else if (std::fabs(f.valueMs) - f.uncertaintyMs > kTimekeepingThresholdMs) {
        f.verdict = Verdict::Fail;
    } else {
        f.verdict = Verdict::Undecided;
    }
    const double systemExpected = elapsed / (1 + rate.counterPpm * 1e-6);
    const double step = (after.system - before.system) - systemExpected;
    if (std::fabs(step) > kStepSeconds + kLargestSlew * std::fabs(elapsed) + before.halfWidth +
                              after.halfWidth) {
        f.systemStepped = true;
        f.systemStepMs = step * 1000;
    }
    return f;
}

}  // namespace kalendo::check

// The timekeeping row: how much time the RTC lost or gained across the supply sweep beyond what
// its measured rate explains. The sweep is timed on the performance counter, with the RTC's rate
// against the counter from the accuracy run (and its bound), so the system clock's error does
// not enter; the system clock is only watched for a step, which is reported.
#pragma once

#include <string>

#include "check/model_figures.h"

namespace kalendo::check {

// A seconds transition pinned to the counter: the RTC's time of day at it, the counter's time of
// it within +- halfWidth, and the system clock read beside it.
struct TimekeepingAnchor {
    bool found = false;
    double counter = 0;
    double halfWidth = 0;
    double rtcDay = 0;  // seconds of the day
    double system = 0;
};

// The RTC's rate against the counter, from the accuracy run.
struct TimekeepingRate {
    bool known = false;
    double rtcPerCounter = 1;  // RTC seconds per counter second
    double halfRange = 0;      // strictly within +- this
    double counterPpm = 0;     // the counter against the system clock, to watch for a step
};

// Lost time above this fails the row; a bound below it passes.
constexpr double kTimekeepingThresholdMs = 5.0;

struct TimekeepingFigure {
    double valueMs = 0;        // RTC time gained (negative: lost) beyond its rate
    double uncertaintyMs = 0;  // a strict bound
    Verdict verdict = Verdict::Undecided;
    double elapsedSeconds = 0;      // on the counter
    bool systemStepped = false;     // the system clock stepped during the sweep
    double systemStepMs = 0;
};

TimekeepingFigure JudgeTimekeeping(const TimekeepingAnchor& before, const TimekeepingAnchor& after,
                                   const TimekeepingRate& rate);

}  // namespace kalendo::check

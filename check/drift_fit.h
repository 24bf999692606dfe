// The RTC's rate against the PC's clock, fitted over the seconds transitions of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalendo::check {

// One change of the RTC's seconds register, as the poll saw it.
struct SecondsTransition {
    double pcSeconds;    // PC clock at the best estimate of the instant of the change
    double halfWidth;    // the change certainly lay within pcSeconds +- halfWidth
    int64_t rtcSeconds;  // the RTC's count of whole seconds from the first transition
};

struct DriftFit {
    bool valid = false;         // at least three transitions over a positive span
    double ppm = 0;             // the RTC runs fast by this much (negative: slow)
    double ppmUncertainty = 0;  // two standard errors of the slope
    double spanSeconds = 0;     // PC time from the first transition to the last
    size_t transitions = 0;
    // The fitted line: RTC seconds minus PC seconds at pcSeconds = the first transition's.
    double interceptSeconds = 0;
};

// A weighted least-squares line through (PC time, RTC time minus PC time), each transition
// weighed by its bracket (1 / halfWidth^2). The residuals' scatter gives the slope's standard
// error, but it is never taken below what the brackets allow (a uniform error over
// +-halfWidth), so a short run with a lucky line states no accuracy it does not have.
DriftFit FitDrift(const std::vector<SecondsTransition>& transitions);

// Seconds gained (positive) or lost in the data sheets' month (30 days) at this rate.
double SecondsPerMonth(double ppm);

}  // namespace kalendo::check

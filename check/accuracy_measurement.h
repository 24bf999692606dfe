// The RTC's mean frequency offset over a run of seconds transitions, against the PC's system
// clock.
//
// The system clock is the reference: on a PC kept on time over a network it stays within a few
// milliseconds of true time, so over a long run its own error shrinks to little. The
// performance counter is precise but its rate is only nominal (tens of ppm off are common, and it
// drifts as the PC warms): it only times each transition against the system clock readings beside
// it. A step of the system clock (a correction, a time-zone or manual change) breaks the
// reference: it is found, reported, and only the polls after the last one are used.
//
// The result bounds the mean rate between two marks near the ends of the run, without taking
// either clock's rate as constant over it: a crystal warming by a few degrees moves the rate, and
// one straight line through every bracket would then claim a range the data do not support. Each
// mark is the RTC's time at a system clock reading, pinned by the brackets within a short window
// around it (where the rates are allowed to wander by kRateWanderPpm). The straight line through
// every bracket is kept as a diagnostic: it says whether the rate was steady.
//
// The bound is strict: the true mean offset lies within it whenever every bracket holds its
// transition, the rates wander less than allowed within each end window, and the system clock is
// within its stated error of true time at each end. Two parts are stated: the run's own and the
// reference's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <functional>
#include <vector>

#include "check/rate_between_marks.h"

namespace kalendo::check {

// One change of the RTC's seconds register. Counter times are the performance counter in its
// nominal seconds (ticks / frequency), system times the system clock in seconds; both from any
// origin that stays the same over the run (an origin near the run keeps the most precision).
struct SecondsPoll {
    double counterBefore;       // the read that still showed the old second took it no earlier
    double counterAfter;        // the read that showed the new second took it no later
    int64_t rtcSeconds;         // the new second as a count of whole seconds from any origin
    double systemSeconds;       // system clock, read after counterAfter
    double counterAfterSystem;  // performance counter, read right after the system clock
};

// Within each end window the RTC's rate against the counter may wander by this much about its
// mean (both crystals warming or cooling): a transition d seconds from the mark may lie this
// much times d off the line. A PC's crystal warming by a few degrees moves it by a few ppm over
// many minutes, far less within a window.
constexpr double kRateWanderPpm = 1.0;
// The end windows: this long at most, a quarter of the run at most.
constexpr double kEndWindowSeconds = 30;

// How far the system clock may be from true time at any moment, unless told. 10 ms: a PC
// synchronised over a network (NTP, the Windows time service on a domain) keeps within a few ms
// to some tens of ms; 10 ms is a fair figure for one kept on time, not a guarantee.
constexpr double kAssumedReferenceErrorSeconds = 0.010;

struct AccuracySettings {
    double referenceErrorSeconds = kAssumedReferenceErrorSeconds;
    // The reference error at a system clock reading, with its source, where something measured
    // it (an NTP exchange, the kernel's maxerror). Empty: referenceErrorSeconds, "assumed", at
    // both ends.
    std::function<ReferenceError(double systemSeconds)> referenceAt;
    // A jump of the system clock against the counter beyond this is a step of the system clock.
    // Slewing (up to 500 ppm) and the readings' own brackets are allowed on top of it.
    double stepSeconds = 0.004;
    // Resolution of a system clock reading (100 ns for the precise Windows clock).
    double systemResolutionSeconds = 1e-7;
};

struct SystemClockStep {
    size_t poll;           // index of the first poll after the step
    double systemSeconds;  // system time of that poll
    double sizeSeconds;    // the jump, positive when the system clock moved forwards
};

struct AccuracyResult {
    bool valid = false;
    std::string error;  // why there is no result; empty when valid
    const char* reference = "system clock";
    // The mean rate between the two marks: a strict bound.
    double ppm = 0;             // the RTC runs fast by this much against true time (negative: slow)
    double uncertaintyPpm = 0;  // the true mean offset lies within ppm +- this
    double fitUncertaintyPpm = 0;        // of which the run's own (the marks' brackets)
    double referenceUncertaintyPpm = 0;  // and from the reference's error at the two ends
    ReferenceError referenceFrom, referenceTo;  // the reference error at each end, with its source
    double counterPpm = 0;   // the performance counter ran fast by this against the system clock
    double spanSeconds = 0;  // system time from the first mark to the second
    size_t firstPoll = 0;    // polls used: firstPoll .. firstPoll + pollsUsed - 1
    size_t pollsUsed = 0;
    size_t fromPoll = 0, toPoll = 0;  // the polls whose system clock readings are the marks
    double endWindowSeconds = 0;      // the windows of brackets that pin each mark
    // The RTC's rate against the counter between the marks (RTC seconds per counter second),
    // strictly within +- rtcPerCounterHalfRange: what a later interval is timed with.
    double rtcPerCounter = 1;
    double rtcPerCounterHalfRange = 0;
    // The diagnostic: one straight line through every bracket (a constant rate). steadyRate is
    // false when none fits, or when its range misses the mean between the marks: the rate moved
    // during the run, and only the mean is claimed.
    bool steadyRate = false;
    double steadyPpm = 0, steadyUncertaintyPpm = 0;  // that line, when it fits
    std::vector<SystemClockStep> steps;  // every step found, in order
};

// Polls in the order they were taken.
AccuracyResult MeasureAccuracy(const std::vector<SecondsPoll>& polls,
                               const AccuracySettings& settings = AccuracySettings());

}  // namespace kalendo::check

// The RTC's frequency offset from a run of seconds transitions, against the PC's system clock.
//
// The system clock is the reference: on a PC kept on time over a network it stays within a few
// milliseconds of true time, so over a long run its own error shrinks to little. The
// performance counter is precise but its rate is only nominal (tens of ppm off are common): it
// only narrows each transition's bracket, and its rate against the system clock is measured over
// the run and taken out, so it never moves the result. A step of the system clock (a correction,
// a time-zone or manual change) breaks the reference: it is found, reported, and only the polls
// after the last one are used.
//
// The offset comes with a bound, not a statistical spread: the true offset lies within it
// whenever every bracket holds its transition and the system clock is within the assumed error
// of true time. Two parts are stated: the run's own (bracket widths) and the reference's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalendo::check {

// One change of the RTC's seconds register. Counter times are the performance counter in its
// nominal seconds (ticks / frequency), system times the system clock in seconds; both from any
// origin that stays the same over the run (an origin near the run keeps the most precision).
struct SecondsPoll {
    double counterBefore;       // before the read that still showed the old second
    double counterAfter;        // after the read that showed the new second
    int64_t rtcSeconds;         // the new second as a count of whole seconds from any origin
    double systemSeconds;       // system clock, read after counterAfter
    double counterAfterSystem;  // performance counter, read right after the system clock
};

struct AccuracySettings {
    // How far the system clock may be from true time at any moment. 10 ms: a PC synchronised
    // over a network (NTP, the Windows time service on a domain) keeps within a few ms to some
    // tens of ms; 10 ms is a fair figure for one kept on time, not a guarantee.
    double referenceErrorSeconds = 0.010;
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
    double ppm = 0;             // the RTC runs fast by this much against true time (negative: slow)
    double uncertaintyPpm = 0;  // the true offset lies within ppm +- this
    double fitUncertaintyPpm = 0;        // of which from the brackets
    double referenceUncertaintyPpm = 0;  // and from the reference's assumed error
    double counterPpm = 0;   // the performance counter runs fast by this against the system clock
    double spanSeconds = 0;  // system time from the first poll used to the last
    size_t firstPoll = 0;    // polls used: firstPoll .. firstPoll + pollsUsed - 1
    size_t pollsUsed = 0;
    std::vector<SystemClockStep> steps;  // every step found, in order
};

// Polls in the order they were taken.
AccuracyResult MeasureAccuracy(const std::vector<SecondsPoll>& polls,
                               const AccuracySettings& settings = AccuracySettings());

}  // namespace kalendo::check

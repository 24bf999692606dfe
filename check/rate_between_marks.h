// The RTC's mean rate between two marks, against true time: each mark pins the RTC's time to a
// reading of the reference clock, and each end of the span has its own reference error with the
// source that vouches for it (an assumption, an NTP server's measured bound, the kernel's
// maxerror). Nothing is assumed about the rates between the marks: the mean rate over the span
// is the RTC's elapsed time over the true elapsed time, whatever happened in between.
#pragma once

#include <string>

namespace kalendo::check {

// How far the reference clock may be from true time at one instant, and who says so.
struct ReferenceError {
    double seconds = 0.010;
    std::string source = "assumed";
    // Added to the reference clock's reading for true time, where something measured it (an
    // NTP server's offset); 0 otherwise. `seconds` is then the bound about the corrected time.
    double correctionSeconds = 0;
};

// One end of the span.
struct RateMark {
    double rtcSeconds = 0;          // the RTC's time at the instant, from any origin of the run
    double rtcHalfWidth = 0;        // the RTC's time there lies within +- this
    double systemSeconds = 0;       // the reference clock's reading at the instant
    double systemHalfWidth = 0;     // the reading's own: its resolution, its distance from the instant
    ReferenceError reference;       // the reading against true time
};

// A strict bound: the mean rate lies within [lowPpm, highPpm] whenever each mark holds and the
// reference is within its error at each end.
struct RateBound {
    bool valid = false;
    double ppm = 0;             // the RTC fast by this against true time (negative: slow)
    double uncertaintyPpm = 0;  // ppm +- this covers [lowPpm, highPpm]
    double lowPpm = 0, highPpm = 0;
    double ownUncertaintyPpm = 0;        // of which the marks' own (references taken as exact)
    double referenceUncertaintyPpm = 0;  // and the reference errors' share
    double spanSeconds = 0;              // reference time between the marks
};

// `to` later than `from`. Not valid when the span does not exceed the errors at its ends.
RateBound BoundRateBetween(const RateMark& from, const RateMark& to);

}  // namespace kalendo::check

// Marks taken on a virtual timeline: an RTC with a known offset, rate and aging, a system clock
// with a known error, and brackets of a known width around each transition. The truth is known
// exactly, so a bound can be checked to hold it and to be as narrow as the data allow.
#pragma once

#include <cmath>
#include <cstdint>

#include "marks/mark_records.h"

namespace kalendo::marks::testing {

// True time t in seconds from kEpochUtcNanos.
constexpr int64_t kEpochUtcNanos = 1781000000LL * 1000000000;  // 2026-06-09

struct VirtualRtc {
    double ppm = 0;                      // rate at t = 0
    double agingPpmPerYear = 0;          // the rate grows by this much a year
    double offsetSeconds = 0.3;          // RTC minus true time at t = 0
    int64_t secondsAtEpoch = 834000000;  // the RTC's count since 2000 at t = 0 (2026-06-05)

    // What the RTC reads at true time t, with its fraction.
    double Reading(double t) const {
        const double a = agingPpmPerYear * 1e-6 / (365.25 * 86400);
        return offsetSeconds + t + ppm * 1e-6 * t + a / 2 * t * t;
    }
    double Rate(double t) const {  // fast by this much, as a fraction
        return ppm * 1e-6 + agingPpmPerYear * 1e-6 / (365.25 * 86400) * t;
    }
    // The true instant at or after t where the RTC's seconds change, and the new second.
    double NextTransition(double t, int64_t* second) const {
        const double target = std::ceil(Reading(t));
        double x = t;
        for (int i = 0; i < 6; ++i) x -= (Reading(x) - target) / (1 + Rate(x));
        *second = static_cast<int64_t>(target);
        return x;
    }
};

RtcDateTime DateTimeOfCount(int64_t secondsSince2000);

struct MarkShot {
    double systemErrorSeconds = 0;         // the system clock minus true time at the mark
    double bracketSeconds = 0.001;         // the bracket's width
    double position = 0.5;                 // where in the bracket the transition lies, 0 to 1
    double referenceErrorSeconds = 0.010;  // what the mark states
    double ntpOffsetSeconds = NAN;  // measured server minus system clock (NaN: assumed source)
};

// A mark of `rtc` taken around true time t (the next transition after it); *trueInstant is that
// transition's true time.
Mark TakeVirtualMark(const VirtualRtc& rtc, double t, const MarkShot& shot, double* trueInstant,
                     const BoardIdentity& board = {"FT7KQ1A2", "UM232H", "TQ5100"});

}  // namespace kalendo::marks::testing

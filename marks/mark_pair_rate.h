// The RTC's mean rate between two marks of one board, with a strict bound, and what makes a
// pair say nothing about the crystal: found and named, never averaged in.
//
// At each mark the RTC's seconds changed to a known whole second at a true instant that lies
// in the mark's bracket on the system clock, moved by the reference's offset and widened by its
// error on both sides. Between the two marks the RTC counted a whole number of seconds N
// exactly (its registers), while true time passed between the earliest and the latest span the
// two intervals allow. So the RTC's rate lies between N / longest - 1 and N / shortest - 1,
// whatever the luck: a bound, not a statistical interval. Its width is the two brackets and the
// two reference errors over the span: 2 x 10 ms over a day is 0.23 ppm, over a week 0.03 ppm.
#pragma once

#include <string>
#include <vector>

#include "marks/mark_records.h"

namespace kalendo::marks {

struct PairSettings {
    // A crystal RTC is off by tens of ppm at the most; a pair implying more than this was set
    // or stopped in between (a second set over a day is 11.6 ppm and goes unseen: the program's
    // own writes are recorded for that).
    double plausiblePpm = 500;
};

// The data sheets state a monthly deviation as the rate times 30 days.
constexpr double kDataSheetMonthSeconds = 30 * 86400.0;

struct PairRate {
    bool valid = false;
    std::string reason;         // why not: "the time was written between the marks: ..."
    int64_t rtcSeconds = 0;     // what the RTC counted from one mark to the other
    double spanSeconds = 0;     // true time between them, the middle of its range
    double spanMinSeconds = 0;  // and the range
    double spanMaxSeconds = 0;
    double ppm = 0;             // the RTC's mean rate, fast positive
    double boundPpm = 0;        // the true mean rate lies within ppm +- boundPpm
    double monthlySeconds = 0;  // ppm x 30 days
    double monthlyBoundSeconds = 0;
};

// `later` was taken after `earlier`; `store` gives the events and the other marks of the
// board (for the seal).
PairRate RateBetween(const Mark& earlier, const Mark& later, const MarkStore& store,
                     const PairSettings& settings = PairSettings());

// The true instant of a mark's transition, as an interval in seconds from `originUtcNanos`.
void TrueInstant(const Mark& mark, int64_t originUtcNanos, double* low, double* high);

// Why RAM register 0x07 shows that something happened to the RTC between the two marks, from the
// seals the board's marks wrote and found; empty when it does not (or cannot tell).
std::string SealBreak(const Mark& earlier, const Mark& later, const MarkStore& store);

}  // namespace kalendo::marks

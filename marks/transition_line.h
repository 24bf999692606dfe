// The seconds transitions of a mark's minute, each bracketed on the performance counter, narrow
// one another: over a minute the RTC and the counter keep their rates (a change of 1 ppm over
// it moves a transition by under 8 us from a straight line), so every transition lies within a
// small deviation of one line t = a + P n through the transitions' counts n. Every line that
// passes within that deviation of every bracket is allowed; a transition's instant is then
// known to the range such lines give it, widened by the deviation and cut to its own bracket:
// with brackets of 1.8 ms at scattered phases, a minute narrows the sharpest to 0.1 to 0.3 ms.
// A bound, given the deviation; the lines are found exactly, as the corners of the allowed set
// of (a, P).
#pragma once

#include <cstdint>
#include <vector>

namespace kalendo::marks {

struct CounterBracket {
    double before;  // the transition came after this counter reading...
    double after;   // ...and before this one
    int64_t count;  // the RTC's count of whole seconds at it
};

// Allowed distance of any transition from the steady line: a rate changing by 2.5 ppm within
// the minute stays inside it (a crystal at a steady room temperature drifts far less).
constexpr double kSteadyLineDeviation = 20e-6;

struct NarrowedBracket {
    double low;
    double high;
};

// Brackets in time order, counts increasing. False when no steady line passes them all (the RTC
// was set or stopped during the run); with fewer than three, each keeps its own bracket.
bool NarrowTransitions(const std::vector<CounterBracket>& run, double deviation,
                       std::vector<NarrowedBracket>* narrowed);

}  // namespace kalendo::marks

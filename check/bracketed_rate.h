// The range of rates a clock can have when each of its ticks is known only to lie within a
// bracket of another clock's time: every straight line that passes through all the brackets,
// and the least and greatest slope among them. When the brackets are right the true rate lies in
// that range, whatever the luck of the polls: it is a bound, not a statistical estimate.
#pragma once

#include <cstddef>
#include <vector>

namespace kalendo::check {

// One tick: at time x (within x +- halfWidth) the other clock stood at y.
struct Bracket {
    double x;
    double halfWidth;
    double y;
};

struct RateBounds {
    bool feasible = false;  // some straight line passes through every bracket
    double low = 0;         // least and greatest slope dy/dx of such a line
    double high = 0;
    double Mid() const { return (low + high) / 2; }
    double HalfRange() const { return (high - low) / 2; }
};

// Brackets in increasing x. Fewer than two brackets, or no line through all, is not feasible.
RateBounds FitBracketedRate(const std::vector<Bracket>& brackets);

struct PhaseBounds {
    bool feasible = false;
    double low = 0;  // the other clock's reading at x lies within [low, high]
    double high = 0;
    double Mid() const { return (low + high) / 2; }
    double HalfRange() const { return (high - low) / 2; }
};

// The other clock's reading at x from brackets near it, without taking its rate as constant:
// the rate may be anything within [slopeLow, slopeHigh] and may wander by up to slopeWander
// about its mean, so a bracket at distance d from x is allowed off the line by slopeWander x d.
// Strict whenever that holds and every bracket holds its tick.
PhaseBounds PhaseAt(const std::vector<Bracket>& brackets, double x, double slopeLow,
                    double slopeHigh, double slopeWander);

}  // namespace kalendo::check

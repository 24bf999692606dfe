#include "check/bracketed_rate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kalendo::check {

namespace {

// All pairs up to this many brackets; beyond it, pairs between the sharpest brackets of the
// first and the last third, which set the bounds almost alone and keep an hour-long run (3600
// ticks) or a day (86400) to a fraction of a second. Fewer pairs only widen the bound.
constexpr size_t kAllPairsUpTo = 1500;
constexpr size_t kSharpestPerEnd = 600;

// Narrows [low, high] by the pair (i before j). A line y = a + b x passes through bracket i
// (y_i at x_i +- h_i) when y_i = a + b t for some t within it; for slope b >= 0 that is
// a + b (x_i - h_i) <= y_i <= a + b (x_i + h_i). Both brackets are met by one a when the
// later tick, seen from the earlier one, lies within the slopes of the widest and narrowest
// time difference.
void Narrow(const Bracket& i, const Bracket& j, double* low, double* high) {
    const double dy = j.y - i.y;
    const double longest = (j.x + j.halfWidth) - (i.x - i.halfWidth);
    const double shortest = (j.x - j.halfWidth) - (i.x + i.halfWidth);
    if (longest > 0) *low = std::max(*low, dy / longest);
    if (shortest > 0) {
        *high = std::min(*high, dy / shortest);
    }
}

std::vector<size_t> Sharpest(const std::vector<Bracket>& b, size_t from, size_t to) {
    std::vector<size_t> index(to - from);
    std::iota(index.begin(), index.end(), from);
    if (index.size() > kSharpestPerEnd) {
        std::nth_element(index.begin(), index.begin() + kSharpestPerEnd, index.end(),
                         [&](size_t p, size_t q) { return b[p].halfWidth < b[q].halfWidth; });
        index.resize(kSharpestPerEnd);
    }
    return index;
}

}  // namespace

RateBounds FitBracketedRate(const std::vector<Bracket>& b) {
    RateBounds r;
    const size_t n = b.size();
    if (n < 2) return r;
    double low = 0;  // the clocks both run forwards: slopes below 0 cannot be
    double high = std::numeric_limits<double>::infinity();
    if (n <= kAllPairsUpTo) {
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = i + 1; j < n; ++j) Narrow(b[i], b[j], &low, &high);
        }
    } else {
        const std::vector<size_t> first = Sharpest(b, 0, n / 3);
        const std::vector<size_t> last = Sharpest(b, n - n / 3, n);
        for (size_t i : first) {
            for (size_t j : last) Narrow(b[i], b[j], &low, &high);
        }
    }
    if (!(low <= high) || !std::isfinite(high)) return r;
    r.feasible = true;
    r.low = low;
    r.high = high;
    return r;
}

namespace {

// a + b s against d, as a bound on the reading a at x for a slope s.
struct Constraint {
    double b;   // coefficient of the slope
    double d;   // right-hand side
    int sense;  // +1: a + b s <= d; -1: a + b s >= d
};

}  // namespace

PhaseBounds PhaseAt(const std::vector<Bracket>& brackets, double x, double slopeLow,
                    double slopeHigh, double slopeWander) {
    PhaseBounds r;
    if (brackets.empty() || !(slopeLow <= slopeHigh) || !(slopeLow >= 0)) return r;
    // Bracket k: a + s (t - x) = y_k for some t within x_k +- h_k, give or take the wander over
    // the distance. For s >= 0 that is a + s (lo - x) <= y + w and a + s (hi - x) >= y - w.
    std::vector<Constraint> c;
    for (const Bracket& k : brackets) {
        const double lo = k.x - k.halfWidth - x, hi = k.x + k.halfWidth - x;
        const double wander = slopeWander * std::max(std::fabs(lo), std::fabs(hi));
        c.push_back({lo, k.y + wander, +1});
        c.push_back({hi, k.y - wander, -1});
    }
    const double tolerance = 1e-12 * (1 + std::fabs(brackets.front().y));
    const auto feasible = [&](double a, double s) {
        if (s < slopeLow - 1e-15 || s > slopeHigh + 1e-15) return false;
        for (const Constraint& k : c) {
            const double v = a + k.b * s;
            if (k.sense > 0 && v > k.d + tolerance) return false;
            if (k.sense < 0 && v < k.d - tolerance) return false;
        }
        return true;
    };
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto consider = [&](double a, double s) {
        if (!std::isfinite(a) || !feasible(a, s)) return;
        low = std::min(low, a);
        high = std::max(high, a);
    };
    // A linear programme in two unknowns: its extremes lie where two bracket edges meet, or one
    // meets a slope limit.
    for (size_t i = 0; i < c.size(); ++i) {
        for (const double s : {slopeLow, slopeHigh}) consider(c[i].d - c[i].b * s, s);
        for (size_t j = i + 1; j < c.size(); ++j) {
            const double db = c[i].b - c[j].b;
            if (db == 0) continue;
            const double s = (c[i].d - c[j].d) / db;
            consider(c[i].d - c[i].b * s, s);
        }
    }
    if (!(low <= high)) return r;
    r.feasible = true;
    r.low = low;
    r.high = high;
    return r;
}

}  // namespace kalendo::check

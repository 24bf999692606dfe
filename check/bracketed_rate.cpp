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

}  // namespace kalendo::check

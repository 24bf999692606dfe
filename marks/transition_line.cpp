#include "marks/transition_line.h"

#include <algorithm>
#include <cmath>

namespace kalendo::marks {

namespace {

// low <= a + P n <= high
struct Band {
    double n;
    double low;
    double high;
};

// Corners: where two band edges meet, inside every band. Times are relative to the first
// bracket and counts to the first count, to keep the precision.
std::vector<std::pair<double, double>> Corners(const std::vector<Band>& bands) {
    std::vector<std::pair<double, double>> corners;
    // Each edge: a + P n = value.
    std::vector<std::pair<double, double>> edges;
    for (const Band& b : bands) {
        edges.push_back({b.n, b.low});
        edges.push_back({b.n, b.high});
    }
    const double slack = 1e-12;
    for (size_t i = 0; i < edges.size(); ++i) {
        for (size_t j = i + 1; j < edges.size(); ++j) {
            const double dn = edges[j].first - edges[i].first;
            if (dn == 0) continue;
            const double p = (edges[j].second - edges[i].second) / dn;
            const double a = edges[i].second - p * edges[i].first;
            bool inside = true;
            for (const Band& b : bands) {
                const double t = a + p * b.n;
                if (t < b.low - slack || t > b.high + slack) {
                    inside = false;
                    break;
                }
            }
            if (inside) corners.push_back({a, p});
        }
    }
    return corners;
}

}  // namespace

bool NarrowTransitions(const std::vector<CounterBracket>& run, double deviation,
                       std::vector<NarrowedBracket>* narrowed) {
    narrowed->clear();
    for (const CounterBracket& b : run) narrowed->push_back({b.before, b.after});
    if (run.size() < 3) return true;
    const double t0 = run.front().before;
    const int64_t n0 = run.front().count;
    std::vector<Band> bands;
    for (const CounterBracket& b : run) {
        bands.push_back({static_cast<double>(b.count - n0), b.before - t0 - deviation,
                         b.after - t0 + deviation});
    }
    const std::vector<std::pair<double, double>> corners = Corners(bands);
    if (corners.empty()) return false;
    for (size_t i = 0; i < run.size(); ++i) {
        double low = INFINITY, high = -INFINITY;
        for (const auto& [a, p] : corners) {
            const double t = a + p * bands[i].n;
            low = std::min(low, t);
            high = std::max(high, t);
        }
        (*narrowed)[i].low = std::max(run[i].before, t0 + low - deviation);
        (*narrowed)[i].high = std::min(run[i].after, t0 + high + deviation);
        if ((*narrowed)[i].low > (*narrowed)[i].high) return false;
    }
    return true;
}

}  // namespace kalendo::marks

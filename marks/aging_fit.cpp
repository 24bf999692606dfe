#include "marks/aging_fit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kalendo::marks {

namespace {

constexpr double kPpm = 1e6;
constexpr double kSecondsPerYear = 365.25 * 86400;
// A corner may miss a condition by this much and still count: rounding of the solve. It only
// widens the range, by far less than the nanoseconds the marks are stored in.
constexpr double kSlackSeconds = 1e-10;
// Box around the unknowns (seconds at the scaled ends of the span): no real RTC comes near it;
// a corner on it means the marks do not pin the quadratic down.
constexpr double kBox = 1e7;

// a . d <= b
struct Condition {
    std::array<double, 3> a;
    double b;
};

// Solves the three conditions as equalities; false when they do not meet in one point.
bool Corner(const Condition& p, const Condition& q, const Condition& r, std::array<double, 3>* d) {
    double m[3][4] = {{p.a[0], p.a[1], p.a[2], p.b},
                      {q.a[0], q.a[1], q.a[2], q.b},
                      {r.a[0], r.a[1], r.a[2], r.b}};
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 3; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
        }
        if (std::fabs(m[pivot][col]) < 1e-12) return false;
        for (int k = 0; k < 4; ++k) std::swap(m[col][k], m[pivot][k]);
        for (int row = 0; row < 3; ++row) {
            if (row == col) continue;
            const double f = m[row][col] / m[col][col];
            for (int k = col; k < 4; ++k) m[row][k] -= f * m[col][k];
        }
    }
    for (int i = 0; i < 3; ++i) (*d)[i] = m[i][3] / m[i][i];
    return std::isfinite((*d)[0]) && std::isfinite((*d)[1]) && std::isfinite((*d)[2]);
}

std::vector<AgingPoint> Thinned(const std::vector<AgingPoint>& points) {
    if (points.size() <= kMaxAgingPoints) return points;
    std::vector<AgingPoint> kept;
    for (size_t i = 0; i < kMaxAgingPoints; ++i) {
        kept.push_back(points[i * (points.size() - 1) / (kMaxAgingPoints - 1)]);
    }
    return kept;
}

}  // namespace

AgingFit FitAging(std::vector<AgingPoint> points) {
    AgingFit fit;
    if (points.size() < 3) {
        fit.reason = "aging needs three marks or more (" + std::to_string(points.size()) + ")";
        return fit;
    }
    points = Thinned(points);
    for (size_t i = 1; i < points.size(); ++i) {
        if (!(points[i].lowSeconds > points[i - 1].highSeconds)) {
            fit.reason = "the marks' intervals overlap: they are too close together for aging";
            return fit;
        }
    }
    fit.marksUsed = points.size();
    const AgingPoint& first = points.front();
    const AgingPoint& last = points.back();
    // Scaled time u = (t - centre) / half in -1..1, and the RTC's offset from true time less its
    // value at the first mark: small numbers, well conditioned. The RTC's count is taken from
    // the first mark's before it becomes a double, so no whole seconds since 2000 eat the
    // nanoseconds.
    const double centre = (first.lowSeconds + last.highSeconds) / 2;
    const double half = (last.highSeconds - first.lowSeconds) / 2;
    const double firstMiddle = (first.lowSeconds + first.highSeconds) / 2;
    fit.spanDays = 2 * half / 86400;
    std::vector<Condition> conditions;
    for (const AgingPoint& p : points) {
        const double counted = static_cast<double>(p.rtcSeconds - first.rtcSeconds);
        const double uLow = (p.lowSeconds - centre) / half;
        const double uHigh = (p.highSeconds - centre) / half;
        // RTC(low) <= second:  offset(low) <= counted - (low - first middle)
        conditions.push_back({{1, uLow, uLow * uLow}, counted - (p.lowSeconds - firstMiddle)});
        // RTC(high) >= second:  -offset(high) <= -(counted - (high - first middle))
        conditions.push_back(
            {{-1, -uHigh, -uHigh * uHigh}, -(counted - (p.highSeconds - firstMiddle))});
    }
    for (int k = 0; k < 3; ++k) {
        std::array<double, 3> unit{0, 0, 0};
        unit[k] = 1;
        conditions.push_back({unit, kBox});
        unit[k] = -1;
        conditions.push_back({unit, kBox});
    }
    // Aging: d(rate)/dt = 2 d2 / half^2; the rate at the last mark (d1 + 2 d2 u) / half.
    const double uLast = ((last.lowSeconds + last.highSeconds) / 2 - centre) / half;
    double agingLow = INFINITY, agingHigh = -INFINITY, rateLow = INFINITY, rateHigh = -INFINITY;
    bool onBox = false;
    const size_t n = conditions.size();
    std::array<double, 3> d{};
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            for (size_t k = j + 1; k < n; ++k) {
                if (!Corner(conditions[i], conditions[j], conditions[k], &d)) continue;
                bool inside = true;
                for (const Condition& c : conditions) {
                    if (c.a[0] * d[0] + c.a[1] * d[1] + c.a[2] * d[2] > c.b + kSlackSeconds) {
                        inside = false;
                        break;
                    }
                }
                if (!inside) continue;
                const double aging = 2 * d[2] / (half * half);
                const double rate = (d[1] + 2 * d[2] * uLast) / half;
                agingLow = std::min(agingLow, aging);
                agingHigh = std::max(agingHigh, aging);
                rateLow = std::min(rateLow, rate);
                rateHigh = std::max(rateHigh, rate);
                onBox = onBox || std::fabs(d[0]) >= kBox * 0.999 ||
                        std::fabs(d[1]) >= kBox * 0.999 || std::fabs(d[2]) >= kBox * 0.999;
            }
        }
    }
    if (!(agingLow <= agingHigh)) {
        fit.reason =
            "the marks fit no steadily changing rate: no quadratic passes through every mark "
            "(was the RTC set or stopped?)";
        return fit;
    }
    if (onBox) {
        fit.reason = "the marks are not spread enough over time to bound the aging";
        return fit;
    }
    const double perYear = kPpm * kSecondsPerYear;
    fit.ppmPerYear = (agingLow + agingHigh) / 2 * perYear;
    fit.boundPpmPerYear = (agingHigh - agingLow) / 2 * perYear;
    fit.ratePpmAtLast = (rateLow + rateHigh) / 2 * kPpm;
    fit.rateBoundPpmAtLast = (rateHigh - rateLow) / 2 * kPpm;
    fit.valid = true;
    return fit;
}

}  // namespace kalendo::marks

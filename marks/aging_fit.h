// The change of an RTC's rate over months (aging), from three or more marks, with a strict
// bound: every quadratic RTC(t) = t + d0 + d1 t + d2 t^2 whose curve passes through every mark's
// interval (the RTC stood at its known second somewhere within the mark's interval of true
// time) is allowed, and the aging 2 d2 ranges over all of them. Since RTC(t) rises, "passes
// through" is two linear conditions per mark, RTC(low) <= second <= RTC(high), so the range is a
// linear programme in three unknowns, solved exactly by visiting the corners of the allowed set.
// The one assumption is the model: a rate changing steadily over the marks' span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalendo::marks {

// One mark: the RTC read `rtcSeconds` (from any origin) at a true instant between lowSeconds
// and highSeconds (from any origin, the same for every point).
struct AgingPoint {
    double lowSeconds;
    double highSeconds;
    int64_t rtcSeconds;
};

struct AgingFit {
    bool valid = false;
    std::string reason;          // why there is no aging figure
    double ppmPerYear = 0;       // the rate grows by this much a year (ppm/year)
    double boundPpmPerYear = 0;  // every quadratic through the marks has its aging within +- this
    // The rate at the last mark, by the same quadratics.
    double ratePpmAtLast = 0;
    double rateBoundPpmAtLast = 0;
    size_t marksUsed = 0;
    double spanDays = 0;
};

// Points in time order. More than kMaxAgingPoints are thinned evenly (first and last kept):
// fewer conditions only widen the range, so it stays a bound.
constexpr size_t kMaxAgingPoints = 48;
AgingFit FitAging(std::vector<AgingPoint> points);

}  // namespace kalendo::marks

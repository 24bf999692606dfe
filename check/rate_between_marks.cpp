#include "check/rate_between_marks.h"

#include <algorithm>
#include <cmath>

namespace kalendo::check {

RateBound BoundRateBetween(const RateMark& from, const RateMark& to) {
    RateBound r;
    const double rtc = to.rtcSeconds - from.rtcSeconds;
    const double rtcSlack = from.rtcHalfWidth + to.rtcHalfWidth;
    const double span = to.systemSeconds - from.systemSeconds;
    const double ownSlack = from.systemHalfWidth + to.systemHalfWidth;
    const double referenceSlack = from.reference.seconds + to.reference.seconds;
    r.spanSeconds = span;
    if (!std::isfinite(rtc) || !std::isfinite(span) || !(rtcSlack >= 0) || !(ownSlack >= 0) ||
        !(referenceSlack >= 0) || !(span > ownSlack + referenceSlack) || !(rtc > rtcSlack)) {
        return r;
    }
    const double middle = rtc / span;
    // Extremes: the least RTC time over the longest true span, the greatest over the shortest.
    const auto bound = [&](double systemSlack, double* low, double* high) {
        *low = ((rtc - rtcSlack) / (span + systemSlack) - 1) * 1e6;
        *high = ((rtc + rtcSlack) / (span - systemSlack) - 1) * 1e6;
    };
    double ownLow = 0, ownHigh = 0;
    bound(ownSlack, &ownLow, &ownHigh);
    bound(ownSlack + referenceSlack, &r.lowPpm, &r.highPpm);
    r.ppm = (middle - 1) * 1e6;
    r.uncertaintyPpm = std::max(r.highPpm - r.ppm, r.ppm - r.lowPpm);
    r.ownUncertaintyPpm = std::max(ownHigh - r.ppm, r.ppm - ownLow);
    r.referenceUncertaintyPpm = r.uncertaintyPpm - r.ownUncertaintyPpm;
    r.valid = true;
    return r;
}

}  // namespace kalendo::check

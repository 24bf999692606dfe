#include "cli/drift_fit.h"

#include <algorithm>
#include <cmath>

namespace kalendo::cli {

namespace {
constexpr double kSecondsPerMeanMonth = 365.2425 / 12 * 86400;
constexpr double kPpm = 1e6;
}  // namespace

DriftFit FitDrift(const std::vector<SecondsTransition>& transitions) {
    DriftFit fit;
    const size_t n = transitions.size();
    fit.transitions = n;
    if (n < 3) return fit;
    const double pc0 = transitions.front().pcSeconds;
    const double rtc0 = static_cast<double>(transitions.front().rtcSeconds);
    fit.spanSeconds = transitions.back().pcSeconds - pc0;
    if (!(fit.spanSeconds > 0)) return fit;

    // x: PC seconds from the first transition; y: how far the RTC is ahead of the PC.
    double meanX = 0, meanY = 0, meanHalfWidthSquared = 0;
    for (const SecondsTransition& t : transitions) {
        const double x = t.pcSeconds - pc0;
        meanX += x;
        meanY += (static_cast<double>(t.rtcSeconds) - rtc0) - x;
        meanHalfWidthSquared += t.halfWidth * t.halfWidth;
    }
    meanX /= n;
    meanY /= n;
    meanHalfWidthSquared /= n;
    double sxx = 0, sxy = 0;
    for (const SecondsTransition& t : transitions) {
        const double x = t.pcSeconds - pc0;
        const double y = (static_cast<double>(t.rtcSeconds) - rtc0) - x;
        sxx += (x - meanX) * (x - meanX);
        sxy += (x - meanX) * (y - meanY);
    }
    if (!(sxx > 0)) return fit;
    const double slope = sxy / sxx;
    const double intercept = meanY - slope * meanX;
    double residualSquares = 0;
    for (const SecondsTransition& t : transitions) {
        const double x = t.pcSeconds - pc0;
        const double y = (static_cast<double>(t.rtcSeconds) - rtc0) - x;
        const double r = y - (intercept + slope * x);
        residualSquares += r * r;
    }
    const double scatter = residualSquares / static_cast<double>(n - 2);
    const double variance = std::max(scatter, meanHalfWidthSquared / 3);
    fit.valid = true;
    fit.ppm = slope * kPpm;
    fit.ppmUncertainty = 2 * std::sqrt(variance / sxx) * kPpm;
    fit.interceptSeconds = intercept;
    return fit;
}

double SecondsPerMonth(double ppm) {
    return ppm / kPpm * kSecondsPerMeanMonth;
}

}  // namespace kalendo::cli

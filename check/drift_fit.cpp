#include "check/drift_fit.h"

#include <algorithm>
#include <cmath>

namespace kalendo::check {

namespace {
constexpr double kSecondsPerMonth = 30 * 86400.0;  // the data sheets' month
constexpr double kPpm = 1e6;
constexpr double kSmallestHalfWidth = 1e-6;  // a bracket is never taken as sharper than 1 us
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

    // x: PC seconds from the first transition; y: how far the RTC is ahead of the PC. Each
    // point weighs 1 / halfWidth^2, so a poll the host held up (a wide bracket) barely counts.
    std::vector<double> x(n), y(n), w(n);
    double sumW = 0, meanX = 0, meanY = 0;
    for (size_t i = 0; i < n; ++i) {
        const SecondsTransition& t = transitions[i];
        x[i] = t.pcSeconds - pc0;
        y[i] = (static_cast<double>(t.rtcSeconds) - rtc0) - x[i];
        const double h = std::max(t.halfWidth, kSmallestHalfWidth);
        w[i] = 1 / (h * h);
        sumW += w[i];
        meanX += w[i] * x[i];
        meanY += w[i] * y[i];
    }
    meanX /= sumW;
    meanY /= sumW;
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxx += w[i] * (x[i] - meanX) * (x[i] - meanX);
        sxy += w[i] * (x[i] - meanX) * (y[i] - meanY);
    }
    if (!(sxx > 0)) return fit;
    const double slope = sxy / sxx;
    const double intercept = meanY - slope * meanX;
    double weightedSquares = 0;
    for (size_t i = 0; i < n; ++i) {
        const double r = y[i] - (intercept + slope * x[i]);
        weightedSquares += w[i] * r * r;
    }
    // In units of each point's own half-width squared: a uniform error over +-halfWidth has
    // the variance 1/3 of it, the least the brackets allow.
    const double scatter = weightedSquares / static_cast<double>(n - 2);
    const double variance = std::max(scatter, 1.0 / 3);
    fit.valid = true;
    fit.ppm = slope * kPpm;
    fit.ppmUncertainty = 2 * std::sqrt(variance / sxx) * kPpm;
    fit.interceptSeconds = intercept;
    return fit;
}

double SecondsPerMonth(double ppm) {
    return ppm / kPpm * kSecondsPerMonth;
}

}  // namespace kalendo::check

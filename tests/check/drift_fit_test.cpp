// The drift fit on made-up transitions: a known rate comes back within the stated uncertainty,
// and the uncertainty is never below what the time stamps allow.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "check/drift_fit.h"

namespace kalendo::check {
namespace {

// Transitions of an RTC running `ppm` fast, each stamped anywhere within +-halfWidth.
std::vector<SecondsTransition> Transitions(double ppm, int count, double halfWidth,
                                           unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-halfWidth, halfWidth);
    std::vector<SecondsTransition> out;
    for (int k = 0; k < count; ++k) {
        const double pc = 100.0 + k / (1 + ppm * 1e-6);  // when the RTC showed its kth second
        out.push_back({pc + jitter(random), halfWidth, k});
    }
    return out;
}

TEST(DriftFitTest, KnownRateComesBackWithinTheStatedUncertainty) {
    struct Case {
        double ppm;
        int count;
        double halfWidth;
    };
    const Case cases[] = {{+5000, 15, 0.002}, {-120, 60, 0.003}, {+8, 600, 0.002},
                          {+8, 3600, 0.002},  {0, 30, 0.0005}};
    // Two standard errors: about 95 % of runs hold the true rate, and none is far outside.
    int inside = 0, runs = 0;
    for (const Case& c : cases) {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            const DriftFit fit = FitDrift(Transitions(c.ppm, c.count, c.halfWidth, seed));
            ASSERT_TRUE(fit.valid);
            ++runs;
            inside += std::fabs(fit.ppm - c.ppm) <= fit.ppmUncertainty;
            EXPECT_NEAR(fit.ppm, c.ppm, 2 * fit.ppmUncertainty)
                << c.ppm << " ppm over " << c.count << " s, seed " << seed;
            EXPECT_NEAR(fit.spanSeconds, (c.count - 1) / (1 + c.ppm * 1e-6), 2 * c.halfWidth);
        }
    }
    EXPECT_GE(inside, runs * 90 / 100) << inside << " of " << runs;
    EXPECT_LT(inside, runs) << "an uncertainty that always holds is wider than it says";
    // Longer runs state a smaller uncertainty: one hour against one minute.
    const double minute = FitDrift(Transitions(8, 60, 0.002, 7)).ppmUncertainty;
    const double hour = FitDrift(Transitions(8, 3600, 0.002, 7)).ppmUncertainty;
    EXPECT_LT(hour, minute / 100);
}

TEST(DriftFitTest, ExactStampsStillCarryTheBracketsUncertainty) {
    std::vector<SecondsTransition> exact;
    for (int k = 0; k < 10; ++k) exact.push_back({k * 1.0, 0.002, k});
    const DriftFit fit = FitDrift(exact);
    ASSERT_TRUE(fit.valid);
    EXPECT_NEAR(fit.ppm, 0, 1e-6);
    // Uniform +-2 ms over 9 s with 10 points: 2 * sqrt((0.002^2 / 3) / 82.5) = 254 ppm.
    EXPECT_NEAR(fit.ppmUncertainty, 254.2, 0.5);
}

// A poll the host held up gives a wide bracket whose midpoint may lie far off: it must not
// drag the line (unweighted, 80 ms at the 14th of 15 points would move it by 0.08 * 6 / 280,
// about 1700 ppm).
TEST(DriftFitTest, AWideBracketBarelyCounts) {
    std::vector<SecondsTransition> t = Transitions(5000, 15, 0.002, 3);
    t[13].pcSeconds += 0.080;
    t[13].halfWidth = 0.090;
    const DriftFit fit = FitDrift(t);
    ASSERT_TRUE(fit.valid);
    EXPECT_NEAR(fit.ppm, 5000, fit.ppmUncertainty);
    EXPECT_LT(fit.ppmUncertainty, 200);
}

TEST(DriftFitTest, TooFewTransitionsOrNoSpanGiveNoResult) {
    EXPECT_FALSE(FitDrift({}).valid);
    EXPECT_FALSE(FitDrift({{1, 0.001, 0}, {2, 0.001, 1}}).valid);
    EXPECT_FALSE(FitDrift({{1, 0.001, 0}, {1, 0.001, 1}, {1, 0.001, 2}}).valid);
}

TEST(DriftFitTest, SecondsPerMonthOfARate) {
    EXPECT_NEAR(SecondsPerMonth(1), 2.592, 1e-9);  // the data sheets' month, 30 days
    EXPECT_NEAR(SecondsPerMonth(-3.8), -9.8496, 1e-9);
}

}  // namespace
}  // namespace kalendo::check

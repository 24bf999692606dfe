// The rate bound through bracketed ticks: exact where the brackets allow, empty where no
// straight line fits, and holding the true rate on long runs where only some pairs are used.
#include <gtest/gtest.h>

#include <random>

#include "check/bracketed_rate.h"

namespace kalendo::check {
namespace {

TEST(BracketedRateTest, BoundIsTheRangeOfLinesThroughEveryBracket) {
    struct Case {
        const char* what;
        std::vector<Bracket> ticks;
        bool feasible;
        double low, high;
    };
    const Case cases[] = {
        {"sharp ticks give the rate itself",
         {{0, 0, 0}, {5, 0, 5.0005}, {10, 0, 10.001}},
         true,
         1.0001,
         1.0001},
        // The widest and narrowest distance between the two brackets: 11 and 9.
        {"two brackets", {{0, 0.5, 0}, {10, 0.5, 10}}, true, 10.0 / 11, 10.0 / 9},
        // Two sharp ticks set the bound; a wide one later does not widen it.
        {"a wide tick after sharp ones",
         {{0, 0.01, 0}, {5, 0.01, 5}, {10, 0.5, 10}},
         true,
         5 / 5.02,
         5 / 4.98},
        {"no line fits", {{0, 0.01, 0}, {1, 0.01, 1}, {2, 0.01, 3}}, false, 0, 0},
        {"one tick", {{0, 0.5, 0}}, false, 0, 0},
    };
    for (const Case& c : cases) {
        const RateBounds r = FitBracketedRate(c.ticks);
        EXPECT_EQ(r.feasible, c.feasible) << c.what;
        if (!c.feasible || !r.feasible) continue;
        EXPECT_NEAR(r.low, c.low, 1e-12) << c.what;
        EXPECT_NEAR(r.high, c.high, 1e-12) << c.what;
    }
}

// Beyond the all-pairs size only the sharpest ticks of both ends are paired: the bound still
// holds the true rate and is far narrower than one pair's.
TEST(BracketedRateTest, LongRunsKeepTheTrueRateInsideTheBound) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> where(-1, 1);
        const double rate = 1 + 37e-6;
        std::vector<Bracket> ticks;
        for (int k = 0; k < 5000; ++k) {
            const double halfWidth = 0.0005 + 0.002 * (where(random) + 1);
            const double t = k / rate;  // when the clock showed k
            ticks.push_back({t + halfWidth * where(random), halfWidth, double(k)});
        }
        const RateBounds r = FitBracketedRate(ticks);
        ASSERT_TRUE(r.feasible) << seed;
        EXPECT_LE(r.low, rate) << seed;
        EXPECT_GE(r.high, rate) << seed;
        const RateBounds ends = FitBracketedRate({ticks.front(), ticks.back()});
        EXPECT_LT(r.HalfRange(), ends.HalfRange() / 5) << seed;
    }
}

}  // namespace
}  // namespace kalendo::check

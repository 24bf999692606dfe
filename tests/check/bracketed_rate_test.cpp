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

// A long run of wide brackets with one sharp tick near each end: beyond the all-pairs size the
// sharpest of each end are paired, and the bound is the one those two give, by hand.
TEST(BracketedRateTest, LongRunsPairTheSharpestTicks) {
    std::vector<Bracket> ticks;
    for (int k = 0; k < 2000; ++k) ticks.push_back({double(k), 0.5, double(k)});
    ticks[10].halfWidth = 0.001;
    ticks[1990].halfWidth = 0.001;
    const RateBounds r = FitBracketedRate(ticks);
    ASSERT_TRUE(r.feasible);
    EXPECT_NEAR(r.low, 1980 / 1980.002, 1e-12);
    EXPECT_NEAR(r.high, 1980 / 1979.998, 1e-12);
}

// The reading at x from brackets near it: exact ticks on a line give it exactly; a slope left
// free within its limits and a wander allowance widen it by what a hand computation gives.
TEST(BracketedRateTest, PhaseAtIsTheRangeOfLinesThroughTheNearBrackets) {
    // Two sharp ticks 10 s either side of x, on the line y = 100 + x: the reading at 0 is 100.
    const PhaseBounds exact = PhaseAt({{-10, 0, 90}, {10, 0, 110}}, 0, 0.5, 1.5, 0);
    ASSERT_TRUE(exact.feasible);
    EXPECT_NEAR(exact.low, 100, 1e-9);
    EXPECT_NEAR(exact.high, 100, 1e-9);
    // One bracket of +-1 ms at x itself, slope free: +-1 ms, whatever the slope.
    const PhaseBounds one = PhaseAt({{0, 0.001, 7}}, 0, 0.99, 1.01, 0);
    ASSERT_TRUE(one.feasible);
    EXPECT_NEAR(one.low, 7 - 0.00101, 1e-9);
    EXPECT_NEAR(one.high, 7 + 0.00101, 1e-9);
    // The same two ticks with 1 ppm of wander: each may lie 10 us off the line.
    const PhaseBounds wander = PhaseAt({{-10, 0, 90}, {10, 0, 110}}, 0, 0.5, 1.5, 1e-6);
    ASSERT_TRUE(wander.feasible);
    EXPECT_NEAR(wander.low, 100 - 10e-6, 1e-9);
    EXPECT_NEAR(wander.high, 100 + 10e-6, 1e-9);
    // Ticks no line of an allowed slope reaches.
    EXPECT_FALSE(PhaseAt({{-10, 0, 80}, {10, 0, 120}}, 0, 0.5, 1.5, 0).feasible);
}

}  // namespace
}  // namespace kalendo::check

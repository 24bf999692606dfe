// A minute of transitions narrows each one's bracket: the truth stays inside, the bracket
// shrinks from the poll's milliseconds to tens of microseconds, and a run the RTC was set in
// fits no line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "marks/transition_line.h"

namespace kalendo::marks {
namespace {

// Transitions every `period` counter seconds from t0, each in a bracket of `width` at a random
// phase, as the polls see them.
std::vector<CounterBracket> PolledRun(double t0, double period, double width, int count,
                                      uint32_t seed, std::vector<double>* truth) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0, 1);
    std::vector<CounterBracket> run;
    for (int n = 0; n < count; ++n) {
        const double t = t0 + n * period;
        const double before = t - width * phase(random);
        run.push_back({before, before + width, 1000 + n});
        truth->push_back(t);
    }
    return run;
}

TEST(TransitionLineTest, AMinuteOfTransitionsNarrowsEachToTensOfMicroseconds) {
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<double> truth;
        // 3 ppm slow against a counter that itself runs at some odd rate, 1.8 ms brackets.
        const std::vector<CounterBracket> run =
            PolledRun(51234.5678, 1.00003, 0.0018, 60, seed, &truth);
        std::vector<NarrowedBracket> narrowed;
        ASSERT_TRUE(NarrowTransitions(run, kSteadyLineDeviation, &narrowed));
        std::vector<double> widths;
        for (size_t i = 0; i < run.size(); ++i) {
            EXPECT_LE(narrowed[i].low, truth[i]);
            EXPECT_GE(narrowed[i].high, truth[i]);
            EXPECT_GE(narrowed[i].low, run[i].before);
            EXPECT_LE(narrowed[i].high, run[i].after);
            widths.push_back(narrowed[i].high - narrowed[i].low);
        }
        std::sort(widths.begin(), widths.end());
        std::printf("narrowed from 1.8 ms: %.0f us at the least, %.0f us median, %.0f us at most\n",
                    widths.front() * 1e6, widths[widths.size() / 2] * 1e6, widths.back() * 1e6);
        // Twice the allowed deviation plus what the scattered phases leave: far below 1.8 ms
        // in the middle of the run, where both sides constrain the line.
        EXPECT_GE(widths.front(), 2 * kSteadyLineDeviation);
        EXPECT_LT(widths.front(), 0.0003);
        EXPECT_LT(widths[widths.size() / 2], 0.0004);
    }
}

// A rate that drifts by 1 ppm over the minute stays inside the allowance; a second set during
// the run leaves no line.
TEST(TransitionLineTest, ARampWithinTheAllowanceHoldsASetDoesNot) {
    std::vector<double> truth;
    std::vector<CounterBracket> run = PolledRun(10, 1.0, 0.0018, 60, 7, &truth);
    for (size_t n = 0; n < run.size(); ++n) {
        // 1 ppm over 60 s: the offset bends by 1e-6 * n^2 / 120.
        const double bend = 1e-6 * static_cast<double>(n * n) / 120;
        run[n].before += bend;
        run[n].after += bend;
        truth[n] += bend;
    }
    std::vector<NarrowedBracket> narrowed;
    ASSERT_TRUE(NarrowTransitions(run, kSteadyLineDeviation, &narrowed));
    for (size_t i = 0; i < run.size(); ++i) {
        EXPECT_LE(narrowed[i].low, truth[i]);
        EXPECT_GE(narrowed[i].high, truth[i]);
    }
    for (size_t n = 30; n < run.size(); ++n) run[n].count += 1;  // set a second on halfway
    EXPECT_FALSE(NarrowTransitions(run, kSteadyLineDeviation, &narrowed));
}

}  // namespace
}  // namespace kalendo::marks

// The timekeeping row on hand-made anchors: the measured rate is taken out, the bound is the
// anchors' brackets and the rate's over the sweep, and the verdict is against 5 ms of lost time,
// undecided astride it; a step of the system clock is reported and moves nothing.
#include <gtest/gtest.h>

#include "check/timekeeping.h"

namespace kalendo::check {
namespace {

// The RTC 100 ppm fast over a 60 s sweep, anchors bracketed +-0.4 and +-0.6 ms on the counter.
TimekeepingAnchor Anchor(double counter, double rtcDay, double halfWidth) {
    TimekeepingAnchor a;
    a.found = true;
    a.counter = counter;
    a.halfWidth = halfWidth;
    a.rtcDay = rtcDay;
    a.system = 5000 + counter;
    return a;
}

TimekeepingRate Rate(double ppm, double halfRangePpm) {
    TimekeepingRate r;
    r.known = true;
    r.rtcPerCounter = 1 + ppm * 1e-6;
    r.halfRange = halfRangePpm * 1e-6;
    return r;
}

TEST(TimekeepingTest, TheMeasuredRateIsTakenOutAndTheBoundIsHandComputed) {
    // 60 s of counter at 100 ppm fast: 60.006 RTC seconds, seen as a whole-second count at
    // transitions 60.006 s apart... the anchors are transitions, so the counter span is
    // 60 / (1 + 100 ppm) for 60 RTC seconds.
    const double span = 60 / (1 + 100e-6);
    const TimekeepingFigure k =
        JudgeTimekeeping(Anchor(100, 36000, 0.0004), Anchor(100 + span, 36060, 0.0006), Rate(100, 0.5));
    EXPECT_NEAR(k.valueMs, 0, 1e-6) << "no time lost: 6 ms of rate taken out, not added";
    const double bound = ((1 + 100e-6) * 0.001 + (0.5e-6 + 1e-6) * span) * 1000;
    EXPECT_NEAR(k.uncertaintyMs, bound, 1e-9);
    EXPECT_EQ(k.verdict, Verdict::Pass);
    EXPECT_FALSE(k.systemStepped);
}

TEST(TimekeepingTest, VerdictAgainstFiveMillisecondsIsUndecidedAstrideIt) {
    struct Case {
        double lostMs;
        double halfWidth;  // each anchor's
        Verdict verdict;
    };
    const Case cases[] = {
        {-30, 0.0005, Verdict::Fail},      // a 30 ms stop: surely above 5 ms
        {-3.5, 0.0005, Verdict::Pass},     // 3.5 + 1.05 < 5
        {-4.5, 0.0005, Verdict::Undecided},  // 4.5 + 1.05 straddles 5
        {-5.5, 0.0005, Verdict::Undecided},
        {+6.5, 0.0005, Verdict::Fail},     // gained counts too
    };
    for (const Case& c : cases) {
        const TimekeepingFigure k = JudgeTimekeeping(
            Anchor(10, 100, c.halfWidth), Anchor(40 - c.lostMs / 1000, 130, c.halfWidth),
            Rate(0, 0.6));
        EXPECT_NEAR(k.valueMs, c.lostMs, 1e-6);
        EXPECT_EQ(k.verdict, c.verdict) << c.lostMs << " +- " << k.uncertaintyMs;
    }
    // Without a measured rate it is not judged.
    TimekeepingRate unknown;
    EXPECT_EQ(JudgeTimekeeping(Anchor(10, 100, 0.0005), Anchor(40, 130, 0.0005), unknown).verdict,
              Verdict::Undecided);
}

// A time-service step of 50 ms in the middle of the sweep: reported, and the lost time, taken
// on the counter, stays where it is.
TEST(TimekeepingTest, ASystemClockStepIsReportedNotTakenForLostTime) {
    TimekeepingAnchor after = Anchor(40, 130, 0.0005);
    after.system += 0.050;
    const TimekeepingFigure k = JudgeTimekeeping(Anchor(10, 100, 0.0005), after, Rate(0, 0.5));
    EXPECT_TRUE(k.systemStepped);
    EXPECT_NEAR(k.systemStepMs, 50, 1e-6);
    EXPECT_NEAR(k.valueMs, 0, 1e-6);
    EXPECT_EQ(k.verdict, Verdict::Pass);
}

}  // namespace
}  // namespace kalendo::check

// The rate between two marks on virtual clocks: the truth inside the bound, the bound as
// narrow as the brackets and reference errors allow, and each reason a pair says nothing.
#include <gtest/gtest.h>

#include "marks/mark_pair_rate.h"
#include "tests/marks/virtual_marks.h"

namespace kalendo::marks::testing {
namespace {

constexpr double kDay = 86400;

// Two marks 24 h apart, the system clock 10 ms off either way at either end (the worst the
// stated error allows), the transitions at either end of 1 ms brackets.
TEST(MarkPairRateTest, TwoMarksADayApartAtTenMillisecondsGiveAQuarterPpm) {
    VirtualRtc rtc;
    rtc.ppm = 2.345;
    struct Case {
        double errorA, errorB, positionA, positionB;
    };
    const Case cases[] = {{0, 0, 0.5, 0.5},
                          {+0.010, -0.010, 0, 1},
                          {-0.010, +0.010, 1, 0},
                          {+0.010, +0.010, 0.3, 0.9},
                          {-0.004, +0.007, 0.99, 0.01}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.errorA << " " << c.errorB);
        double tA, tB;
        const Mark a = TakeVirtualMark(rtc, 100, {c.errorA, 0.001, c.positionA, 0.010}, &tA);
        const Mark b = TakeVirtualMark(rtc, 100 + kDay, {c.errorB, 0.001, c.positionB, 0.010}, &tB);
        const PairRate r = RateBetween(a, b, MarkStore{});
        ASSERT_TRUE(r.valid) << r.reason;
        const double truth = (static_cast<double>(r.rtcSeconds) / (tB - tA) - 1) * 1e6;
        EXPECT_NEAR(truth, 2.345, 1e-6);
        // The extreme cases put the truth on the bound's edge: it is as narrow as they allow.
        EXPECT_LE(std::fabs(r.ppm - truth), r.boundPpm + 1e-6);
        EXPECT_LE(r.boundPpm, 0.25);
        // Exactly the brackets and the two errors over the span: (0.001 + 0.020) / day.
        EXPECT_NEAR(r.boundPpm, (0.001 + 0.020) / kDay * 1e6 * (1 + 2.345e-6), 1e-6);
        EXPECT_NEAR(r.monthlySeconds, r.ppm * 2.592, 1e-9);
        EXPECT_NEAR(r.monthlyBoundSeconds, r.boundPpm * 2.592, 1e-9);
        EXPECT_EQ(r.rtcSeconds, 86400);
    }
}

// An NTP-measured reference moves the instant by the offset and narrows the interval to the
// bound: a system clock 150 ms off, measured so, gives the right rate with a tighter bound.
TEST(MarkPairRateTest, AMeasuredOffsetCorrectsTheSystemClock) {
    VirtualRtc rtc;
    rtc.ppm = -7.5;
    double tA, tB;
    const Mark a = TakeVirtualMark(rtc, 10, {0.150, 0.0004, 0.2, 0.0008, -0.1502}, &tA);
    const Mark b = TakeVirtualMark(rtc, 10 + kDay, {-0.090, 0.0004, 0.7, 0.0008, 0.0897}, &tB);
    const PairRate r = RateBetween(a, b, MarkStore{});
    ASSERT_TRUE(r.valid) << r.reason;
    EXPECT_NEAR(r.ppm, -7.5, r.boundPpm);
    EXPECT_LT(r.boundPpm, 0.025);
    // Taken as assumed (no offset), the same marks put 240 ms into a day: 2.8 ppm off.
    Mark aAssumed = a, bAssumed = b;
    aAssumed.reference.offsetSeconds = bAssumed.reference.offsetSeconds = 0;
    const PairRate wrong = RateBetween(aAssumed, bAssumed, MarkStore{});
    EXPECT_NEAR(wrong.ppm, -7.5 + 0.240 / kDay * 1e6, 0.02);
}

TEST(MarkPairRateTest, EachReasonAPairSaysNothing) {
    VirtualRtc rtc;
    rtc.ppm = 3;
    double t;
    const Mark a = TakeVirtualMark(rtc, 0, {}, &t);
    const Mark b = TakeVirtualMark(rtc, 3600, {}, &t);
    struct Case {
        const char* name;
        Mark earlier, later;
        MarkStore store;
        const char* reason;
    };
    Mark otherBoard = b;
    otherBoard.board.serial = "FT9ZZ9Z9";
    Mark otherModel = b;
    otherModel.board.model = "TQ5200";
    // Set one hour on between the marks: 3600 s more than the reference saw.
    Mark set = b;
    set.rtc = DateTimeOfCount(RtcSecondsSince2000(b.rtc) + 3600);
    // Stopped for 3 s of the hour: -833 ppm.
    Mark stopped = b;
    stopped.rtc = DateTimeOfCount(RtcSecondsSince2000(b.rtc) - 3);
    MarkStore written;
    written.events.push_back(
        {a.lateUtcNanos + 60000000000LL, a.board, "kalendo-cli time set 14:30:00"});
    MarkStore writtenElsewhere;  // another board's time written meanwhile: no matter
    writtenElsewhere.events.push_back(
        {a.lateUtcNanos + 60000000000LL, otherBoard.board, "kalendo-cli time sync"});
    Mark close = a;
    close.earlyUtcNanos += 5000000;
    close.lateUtcNanos += 5000000;
    const Case cases[] = {
        {"board",
         a,
         otherBoard,
         {},
         "a different board (UM232H FT7KQ1A2, the new mark's is UM232H FT9ZZ9Z9)"},
        {"model", a, otherModel, {}, "a different RTC model (TQ5100, the new mark's is TQ5200)"},
        {"event", a, b, written,
         "the program wrote the RTC's time between the marks: kalendo-cli time set 14:30:00"},
        {"set", a, set, {}, "the RTC was set or stopped between the marks: it counted 7200 s"},
        {"stopped",
         a,
         stopped,
         {},
         "the RTC was set or stopped between the marks: it counted 3597 s"},
        {"close", a, close, {}, "the marks are too close together"},
        {"other board's event", a, b, writtenElsewhere, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PairRate r = RateBetween(c.earlier, c.later, c.store);
        if (c.reason == nullptr) {
            EXPECT_TRUE(r.valid) << r.reason;
            EXPECT_NEAR(r.ppm, 3, r.boundPpm);
            continue;
        }
        EXPECT_FALSE(r.valid);
        EXPECT_EQ(r.reason.find(c.reason), 0u) << r.reason;
    }
}

// The seal is followed from mark to mark: a new seal written by a mark in between is no break;
// a byte other than the one left there is.
TEST(MarkPairRateTest, TheSealFollowsTheMarks) {
    VirtualRtc rtc;
    double t;
    Mark a = TakeVirtualMark(rtc, 0, {}, &t);
    Mark middle = TakeVirtualMark(rtc, 1000, {}, &t);
    Mark b = TakeVirtualMark(rtc, 2000, {}, &t);
    a.sealWritten = 0x5A;
    middle.sealFound = 0x5A;
    middle.sealWritten = 0x33;
    b.sealFound = 0x33;
    MarkStore store;
    store.marks = {a, middle, b};
    EXPECT_TRUE(RateBetween(a, b, store).valid) << RateBetween(a, b, store).reason;

    b.sealFound = 0x00;  // RAM cleared: the chip lost power
    store.marks = {a, middle, b};
    const PairRate broken = RateBetween(a, b, store);
    EXPECT_FALSE(broken.valid);
    EXPECT_NE(broken.reason.find("RAM register 0x07 held 0x00 at the mark of"), std::string::npos)
        << broken.reason;
    EXPECT_NE(broken.reason.find("not the seal 0x33"), std::string::npos) << broken.reason;
    // Between a and the middle mark the seal held: that pair stands.
    EXPECT_TRUE(RateBetween(a, middle, store).valid);

    // A mark that neither wrote nor read the seal tells nothing either way.
    Mark unsealed = b;
    unsealed.sealFound = -1;
    EXPECT_TRUE(RateBetween(a, unsealed, MarkStore{{a, unsealed}, {}}).valid);

    // Without a seal the register is the user's: what the marks found there may change freely.
    Mark userA = a, userB = b;
    userA.sealWritten = -1;
    userA.sealFound = 0x12;
    userB.sealFound = 0x34;
    EXPECT_TRUE(RateBetween(userA, userB, MarkStore{{userA, userB}, {}}).valid);

    // A seal left before the first mark of the pair and found broken at the second: whether the
    // break came before the first mark shows in what the first mark found.
    Mark sealer = TakeVirtualMark(rtc, -1000, {}, &t);
    sealer.sealWritten = 0x77;
    Mark first = a, second = b;
    first.sealWritten = -1;
    second.sealFound = 0x01;
    first.sealFound = 0x77;  // intact at the first mark: the break came after it
    EXPECT_FALSE(RateBetween(first, second, MarkStore{{sealer, first, second}, {}}).valid);
    first.sealFound = 0x01;  // already broken at the first mark: the pair is sound
    EXPECT_TRUE(RateBetween(first, second, MarkStore{{sealer, first, second}, {}}).valid);
}

}  // namespace
}  // namespace kalendo::marks::testing

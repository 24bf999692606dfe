// The RTC's clock and calendar: counting, carries, leap years, week day, write guard.
#include <gtest/gtest.h>

#include "chip_test_support.h"

namespace kalendo::sim::testing {
namespace {

constexpr uint8_t kSun = 0x01, kMon = 0x02, kTue = 0x04, kWed = 0x08, kThu = 0x10, kFri = 0x20,
                  kSat = 0x40;

class RtcClockTest : public ::testing::TestWithParam<RtcModel> {
  protected:
    RtcClockTest() : chips_(ChipsConfig{GetParam(), &clock_, 1, ""}) {}
    I2cSlave& Rtc() { return chips_.Rtc(); }

    VirtualClock clock_;
    EvaluationBoardChips chips_;
};

TEST_P(RtcClockTest, FreshChipStartsAtPowerOnTime) {
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2000, 1, 1, 0, 0, 0, kSat}));
    clock_.AdvanceMicros(999999);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 0);
    clock_.AdvanceMicros(1);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 1);
}

// Below its interface minimum (1.6 V unless set) the chip acknowledges nothing, while its
// crystal keeps counting, fast by its error, from the battery.
TEST_P(RtcClockTest, InterfaceStopsAnsweringBelowItsMinimumAndTimeRunsOn) {
    SetRtcTime(Rtc(), {2023, 6, 14, 10, 0, 0, kWed});
    chips_.SetCrystalPpm(10000);
    chips_.SetSupplyOverride(1.65);  // on the battery already, still answering
    ASSERT_TRUE(chips_.RunningFromBattery());
    EXPECT_TRUE(Rtc().OnStart(false));
    Rtc().OnStop();
    chips_.SetSupplyOverride(1.55);
    EXPECT_FALSE(Rtc().OnStart(false));
    EXPECT_FALSE(Rtc().OnStart(true));
    clock_.AdvanceSeconds(100);
    chips_.SetRtcInterfaceMinimum(1.5);  // another sample answers here
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2023, 6, 14, 10, 1, 41, kWed}));
}

// The oscillator runs from whichever rail carries the RTC; below the timekeeping minimum (1.0 V
// unless set) it stands still and that time is lost, whether the rail is VDD or the battery.
TEST_P(RtcClockTest, TimeStandsStillBelowTheTimekeepingMinimum) {
    struct Case {
        const char* what;
        double supply, battery;
        int secondsAfter100;
    };
    const Case cases[] = {
        {"battery 3.0 V carries it", 1.5, 3.0, 40},
        {"battery 0.9 V carries it", 1.5, 0.9, 0},
        {"VDD 2.5 V carries it, battery flat", 2.5, 0.0, 40},
    };
    for (const Case& c : cases) {
        SetRtcTime(Rtc(), {2023, 6, 14, 10, 0, 0, kWed});
        chips_.SetBatteryVoltage(c.battery);
        chips_.SetSupplyOverride(c.supply);
        clock_.AdvanceSeconds(100);
        chips_.SetSupplyOverride(3.0);  // back on VDD to read it
        chips_.SetBatteryVoltage(3.0);
        EXPECT_EQ(ReadRtcTime(Rtc()).second, c.secondsAfter100) << c.what;
    }
}

TEST_P(RtcClockTest, CountsAcrossMinutesDaysMonthsAndYears) {
    struct Case {
        const char* what;
        RtcTime start;
        int64_t seconds;
        RtcTime expected;
    };
    const Case cases[] = {
        {"minute", {2023, 6, 14, 10, 4, 59, kWed}, 1, {2023, 6, 14, 10, 5, 0, kWed}},
        {"hour", {2023, 6, 14, 10, 59, 59, kWed}, 1, {2023, 6, 14, 11, 0, 0, kWed}},
        {"midnight", {2023, 6, 14, 23, 59, 59, kWed}, 1, {2023, 6, 15, 0, 0, 0, kThu}},
        {"Saturday to Sunday", {2023, 6, 17, 23, 59, 59, kSat}, 1, {2023, 6, 18, 0, 0, 0, kSun}},
        {"30-day month", {2023, 4, 30, 23, 59, 59, kSun}, 1, {2023, 5, 1, 0, 0, 0, kMon}},
        {"31-day month", {2023, 1, 31, 23, 59, 59, kTue}, 1, {2023, 2, 1, 0, 0, 0, kWed}},
        {"2024 has 29 February", {2024, 2, 28, 23, 59, 59, kWed}, 1, {2024, 2, 29, 0, 0, 0, kThu}},
        {"29 February to March", {2024, 2, 29, 23, 59, 59, kThu}, 1, {2024, 3, 1, 0, 0, 0, kFri}},
        {"2023 has no 29 February",
         {2023, 2, 28, 23, 59, 59, kTue},
         1,
         {2023, 3, 1, 0, 0, 0, kWed}},
        {"2000 has 29 February", {2000, 2, 28, 23, 59, 59, kMon}, 1, {2000, 2, 29, 0, 0, 0, kTue}},
        {"new year", {2023, 12, 31, 23, 59, 59, kSun}, 1, {2024, 1, 1, 0, 0, 0, kMon}},
        {"2099 wraps to 2000", {2099, 12, 31, 23, 59, 59, kThu}, 1, {2000, 1, 1, 0, 0, 0, kFri}},
        {"one jump of a leap year and more",
         {2024, 1, 1, 0, 0, 0, kMon},
         366LL * 86400 + 3 * 3600 + 25 * 60 + 7,
         {2025, 1, 1, 3, 25, 7, kWed}},
        {"one jump of 100 days",
         {2023, 11, 20, 12, 0, 0, kMon},
         100LL * 86400,
         {2024, 2, 28, 12, 0, 0, kWed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetRtcTime(Rtc(), c.start);
        clock_.AdvanceSeconds(c.seconds);
        EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText(c.expected));
    }
}

TEST_P(RtcClockTest, WrittenOutOfRangeFieldsWrapAtTheirNextIncrement) {
    // The Registers page can write anything; hour 24 and day 32 count on rather than stick.
    SetRtcTime(Rtc(), {2023, 5, 31, 23, 59, 59, kWed});
    WriteBytes(Rtc(), 0x02, {0x24});
    clock_.AdvanceSeconds(1);
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2023, 6, 1, 0, 0, 0, kThu}));
}

TEST_P(RtcClockTest, WriteGuardHoldsTheClockAndItsSubSecondCount) {
    SetRtcTime(Rtc(), {2024, 7, 1, 12, 0, 0, kMon});
    clock_.AdvanceMicros(700000);
    WriteBytes(Rtc(), 0x0F, {0x01});  // guard on at 12:00:00.700
    clock_.AdvanceSeconds(30);
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2024, 7, 1, 12, 0, 0, kMon}));

    // New time written under the guard starts at .000 when the guard is released.
    WriteBytes(Rtc(), 0x00, {0x30, 0x15});
    clock_.AdvanceSeconds(5);
    WriteBytes(Rtc(), 0x0F, {0x00});
    clock_.AdvanceMicros(999999);
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2024, 7, 1, 12, 15, 30, kMon}));
    clock_.AdvanceMicros(1);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 31);
}

TEST_P(RtcClockTest, BurstReadIsLatchedAtStart) {
    SetRtcTime(Rtc(), {2024, 7, 1, 12, 59, 59, kMon});
    Rtc().OnStart(false);
    Rtc().OnWrite(0x00);
    Rtc().OnStart(true);
    const uint8_t seconds = Rtc().OnRead();
    clock_.AdvanceSeconds(1);  // the clock ticks in the middle of the read
    const uint8_t minutes = Rtc().OnRead();
    Rtc().OnStop();
    EXPECT_EQ(seconds, 0x59);
    EXPECT_EQ(minutes, 0x59);
}

// Seconds counted over a stretch of host time, for the crystal's error at a board temperature.
TEST_P(RtcClockTest, CrystalErrorAndTurnoverCurveScaleTheCount) {
    struct Case {
        double ppm;
        double tempco;
        double celsius;
        int64_t hostSeconds;
        int expectedSeconds;  // counted by the chip
    };
    const Case cases[] = {
        {+5000, 0, 25, 1000, 1005},
        {-5000, 0, 25, 1000, 995},
        {0, 0.04, 35, 25100, 25099},    // -0.04 * 10^2 = -4 ppm: 0.1004 s short
        {0, 0.04, 15, 25100, 25099},    // the same on the cold side of the turnover
        {+8, 0.04, 25, 125100, 125101},  // at the turnover only the offset counts
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        EvaluationBoardChips chips(ChipsConfig{GetParam(), &clock, 1, ""});
        chips.SetCrystalPpm(c.ppm);
        chips.SetCrystalTempco(c.tempco);
        chips.SetBoardTemperature(c.celsius);
        SetRtcTime(chips.Rtc(), {2024, 7, 1, 0, 0, 0, kMon});
        clock.AdvanceSeconds(c.hostSeconds);
        const RtcTime now = ReadRtcTime(chips.Rtc());
        const int counted = ((now.day - 1) * 24 + now.hour) * 3600 + now.minute * 60 + now.second;
        EXPECT_EQ(counted, c.expectedSeconds)
            << "ppm " << c.ppm << " tempco " << c.tempco << " at " << c.celsius;
    }
}

// Polled every millisecond, +400 ppm is 0.4 us a step: the chip must carry the fraction, or the
// hundredth second would come at 100 s instead of 99.96 s.
TEST_P(RtcClockTest, CrystalErrorSurvivesSmallSteps) {
    chips_.SetCrystalPpm(400);
    SetRtcTime(Rtc(), {2024, 7, 1, 0, 0, 0, kMon});
    for (int ms = 0; ms < 99959; ++ms) {
        clock_.AdvanceMicros(1000);
        ReadByte(Rtc(), 0x00);
    }
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 39);  // 99.959 s host: 99.999 s crystal (1:39)
    clock_.AdvanceMicros(2000);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 40);
}

// Aging makes the error grow steadily: 36525 ppm a year is 100 ppm a day, so after a day the
// RTC has gained 100 / 2 ppm of a day (4.32 s), after two days four times that (17.28 s),
// whether the time passes in one step or in a thousand.
TEST_P(RtcClockTest, AgingIsIntegratedExactlyWhateverTheSteps) {
    VirtualClock steppedClock;
    EvaluationBoardChips stepped(ChipsConfig{GetParam(), &steppedClock, 1, ""});
    for (EvaluationBoardChips* c : {&chips_, &stepped}) c->SetCrystalAging(36525);
    SetRtcTime(Rtc(), {2024, 7, 1, 0, 0, 0, kMon});
    SetRtcTime(stepped.Rtc(), {2024, 7, 1, 0, 0, 0, kMon});
    clock_.AdvanceSeconds(86400);
    for (int i = 0; i < 1000; ++i) {
        steppedClock.AdvanceMicros(86400000);
        ReadByte(stepped.Rtc(), 0x00);
    }
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2024, 7, 2, 0, 0, 4, kTue}));
    EXPECT_EQ(ToText(ReadRtcTime(stepped.Rtc())), ToText({2024, 7, 2, 0, 0, 4, kTue}));
    clock_.AdvanceSeconds(86400);
    EXPECT_EQ(ToText(ReadRtcTime(Rtc())), ToText({2024, 7, 3, 0, 0, 17, kWed}));
    // 17.28 s: the next second comes 0.72 s of crystal time later, at 0.7199 s of host time.
    clock_.AdvanceMicros(719800);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 17);
    clock_.AdvanceMicros(200);
    EXPECT_EQ(ReadRtcTime(Rtc()).second, 18);
}

// Unplugged, the board's supply is off: the RTC runs from its battery, at its crystal's rate,
// and stands still when the battery is below its timekeeping minimum.
TEST_P(RtcClockTest, UnpluggedTheRtcRunsFromItsBattery) {
    chips_.SetCrystalPpm(5000);
    for (const double battery : {3.0, 0.8}) {
        SCOPED_TRACE(battery);
        chips_.SetBatteryVoltage(battery);
        SetRtcTime(Rtc(), {2023, 6, 14, 10, 0, 0, kWed});
        chips_.SetUsbPowered(false);
        EXPECT_EQ(chips_.SupplyVoltage(), 0.0);
        EXPECT_TRUE(chips_.RunningFromBattery());
        clock_.AdvanceSeconds(200);
        chips_.SetUsbPowered(true);
        EXPECT_FALSE(chips_.RunningFromBattery());
        EXPECT_EQ(ReadRtcTime(Rtc()).minute * 60 + ReadRtcTime(Rtc()).second,
                  battery > 1.0 ? 201 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModels, RtcClockTest,
                         ::testing::Values(RtcModel::Tq5100, RtcModel::Tq5200),
                         [](const auto& info) { return std::string(ModelName(info.param)); });

}  // namespace
}  // namespace kalendo::sim::testing

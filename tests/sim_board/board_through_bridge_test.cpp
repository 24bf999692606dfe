// The simulated evaluation board as the program sees it: every value asserted here went over the
// bridge layer's bursts, the serial engine and the bit-level bus, on a clock that moves only
// when the test moves it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "sim/chips/evaluation_board_chips.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

constexpr uint8_t kSeconds = 0x00, kMinuteAlarm = 0x08, kHourAlarm = 0x09, kDayAlarm = 0x0A,
                  kCounter0 = 0x0B, kCounter1 = 0x0C, kExtension = 0x0D, kFlags = 0x0E,
                  kControl = 0x0F;
constexpr uint8_t kFlagAlarm = 0x08, kFlagTimer = 0x10, kTimerEnable = 0x10, kGuard = 0x01;

struct DateTime {
    uint8_t seconds, minutes, hours, week, day, month, year;  // register codes
};

class BoardTest : public BridgeTest, public ::testing::WithParamInterface<sim::RtcModel> {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        Sim().DetachSlave(&powerMonitorChip);
        Sim().DetachSlave(&rtcChip);
        Sim().Clock().UseVirtual(true);
        sim::ChipsConfig config;
        config.model = GetParam();
        config.clock = &Sim().Clock();
        chips = std::make_unique<sim::EvaluationBoardChips>(config);
        Sim().AttachSlave(&chips->PowerMonitor());
        Sim().AttachSlave(&chips->Rtc());
        Connect();
        SelectDevice(kRtc);
        OpenSelectedDevice();
    }
    void TearDown() override {
        BridgeTest::TearDown();
        chips.reset();
    }

    uint8_t Read(uint8_t reg) { return static_cast<uint8_t>(ReadRegisterChecked(reg, 8)); }
    void Write(uint8_t reg, uint8_t value) { WriteRegisterChecked(reg, value, 8); }
    void AdvanceMs(int64_t ms) { Sim().Clock().AdvanceMs(ms); }

    // As the program sets the clock: guard, the seven fields, guard off.
    void SetClock(const DateTime& t) {
        uint8_t control = Read(kControl);
        Write(kControl, control | kGuard);
        const uint8_t fields[] = {t.seconds, t.minutes, t.hours, t.week, t.day, t.month, t.year};
        for (uint8_t r = 0; r < 7; ++r) Write(r, fields[r]);
        Write(kControl, control & ~kGuard);
    }
    DateTime ReadClock() { return {Read(0), Read(1), Read(2), Read(3), Read(4), Read(5), Read(6)}; }
    void StartTimer(uint8_t source, uint32_t count) {
        Write(kExtension, Read(kExtension) & ~kTimerEnable);
        Write(kCounter0, count & 0xFF);
        Write(kCounter1, (count >> 8) & 0xFF);
        if (GetParam() == sim::RtcModel::Tq5200) Write(0x1F, (count >> 16) & 0xFF);
        Write(kFlags, Read(kFlags) & ~kFlagTimer);
        Write(kExtension, (Read(kExtension) & ~0x03) | source | kTimerEnable);
    }

    std::unique_ptr<sim::EvaluationBoardChips> chips;
};

bool operator==(const DateTime& a, const DateTime& b) {
    return a.seconds == b.seconds && a.minutes == b.minutes && a.hours == b.hours &&
           a.week == b.week && a.day == b.day && a.month == b.month && a.year == b.year;
}
void PrintTo(const DateTime& t, std::ostream* out) {
    char text[64];
    std::snprintf(text, sizeof(text), "20%02x-%02x-%02x %02x:%02x:%02x week %02x", t.year, t.month,
                  t.day, t.hours, t.minutes, t.seconds, t.week);
    *out << text;
}

TEST_P(BoardTest, CalendarRollsOverAtMidnightMonthEndAndFebruary) {
    struct Case {
        const char* what;
        DateTime before;
        DateTime after;  // one second later
    };
    const Case cases[] = {
        {"midnight, Saturday to Sunday",
         {0x59, 0x59, 0x23, 0x40, 0x10, 0x06, 0x23},
         {0x00, 0x00, 0x00, 0x01, 0x11, 0x06, 0x23}},
        {"new year",
         {0x59, 0x59, 0x23, 0x40, 0x31, 0x12, 0x22},
         {0x00, 0x00, 0x00, 0x01, 0x01, 0x01, 0x23}},
        {"30-day month",
         {0x59, 0x59, 0x23, 0x10, 0x30, 0x04, 0x25},
         {0x00, 0x00, 0x00, 0x20, 0x01, 0x05, 0x25}},
        {"28 February, common year",
         {0x59, 0x59, 0x23, 0x04, 0x28, 0x02, 0x23},
         {0x00, 0x00, 0x00, 0x08, 0x01, 0x03, 0x23}},
        {"28 February, leap year",
         {0x59, 0x59, 0x23, 0x08, 0x28, 0x02, 0x24},
         {0x00, 0x00, 0x00, 0x10, 0x29, 0x02, 0x24}},
        {"29 February",
         {0x59, 0x59, 0x23, 0x10, 0x29, 0x02, 0x24},
         {0x00, 0x00, 0x00, 0x20, 0x01, 0x03, 0x24}},
        {"2000 is a leap year",
         {0x59, 0x59, 0x23, 0x02, 0x28, 0x02, 0x00},
         {0x00, 0x00, 0x00, 0x04, 0x29, 0x02, 0x00}},
        {"hour carry",
         {0x59, 0x59, 0x09, 0x02, 0x15, 0x07, 0x24},
         {0x00, 0x00, 0x10, 0x02, 0x15, 0x07, 0x24}},
    };
    for (const Case& c : cases) {
        SetClock(c.before);
        AdvanceMs(1000);
        EXPECT_EQ(ReadClock(), c.after) << c.what;
    }
    EXPECT_EQ(Bridge().BusStatus, 0);
}

TEST_P(BoardTest, WriteGuardHoldsTheClock) {
    SetClock({0x00, 0x30, 0x12, 0x04, 0x15, 0x07, 0x24});
    Write(kControl, Read(kControl) | kGuard);
    AdvanceMs(5000);
    EXPECT_EQ(Read(kSeconds), 0x00);
    Write(kControl, Read(kControl) & ~kGuard);
    AdvanceMs(2000);
    EXPECT_EQ(Read(kSeconds), 0x02);
}

TEST_P(BoardTest, AlarmFlagRisesAtTheMatchingMinuteAndNotBefore) {
    SetClock({0x00, 0x29, 0x10, 0x04, 0x15, 0x07, 0x24});
    Write(kMinuteAlarm, 0x30);
    Write(kHourAlarm, 0x10);
    Write(kDayAlarm, 0x80);  // any day
    Write(kFlags, 0x00);
    Write(kControl, Read(kControl) | 0x08);
    AdvanceMs(60000 - 50);
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, 0);
    AdvanceMs(100);
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, kFlagAlarm);

    // Writing 1 leaves a flag alone; writing 0 clears it.
    Write(kFlags, 0xFF);
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, kFlagAlarm);
    Write(kFlags, static_cast<uint8_t>(~kFlagAlarm));
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, 0);
}

TEST_P(BoardTest, AlarmOnADayOfMonthWaitsForThatDay) {
    SetClock({0x00, 0x59, 0x23, 0x04, 0x15, 0x07, 0x24});
    Write(kMinuteAlarm, 0x00);
    Write(kHourAlarm, 0x00);
    Write(kDayAlarm, 0x17);
    Write(kExtension, Read(kExtension) | 0x40);  // the day register holds a day of month
    Write(kFlags, 0x00);
    AdvanceMs(60000);  // midnight on the 16th: hour and minute match, the day does not
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, 0);
    AdvanceMs(24 * 3600 * 1000LL);
    EXPECT_EQ(Read(kFlags) & kFlagAlarm, kFlagAlarm);
}

TEST_P(BoardTest, TimerFlagPeriodForEachSourceClock) {
    struct Case {
        const char* what;
        uint8_t source;
        uint32_t count;
        int64_t periodMs;
    };
    const Case cases[] = {{"4096 Hz", 0, 2048, 500},
                          {"64 Hz", 1, 32, 500},
                          {"second update", 2, 3, 3000},
                          {"minute update", 3, 1, 60000}};
    for (const Case& c : cases) {
        // Minute updates come at the turn of the minute: start right after one.
        SetClock({0x00, 0x10, 0x08, 0x04, 0x15, 0x07, 0x24});
        StartTimer(c.source, c.count);
        AdvanceMs(c.periodMs - 50);
        EXPECT_EQ(Read(kFlags) & kFlagTimer, 0) << c.what;
        AdvanceMs(100);
        EXPECT_EQ(Read(kFlags) & kFlagTimer, kFlagTimer) << c.what;
        // Reloaded: after clearing, the flag comes back one period later.
        Write(kFlags, static_cast<uint8_t>(~kFlagTimer));
        AdvanceMs(c.periodMs - 100);
        EXPECT_EQ(Read(kFlags) & kFlagTimer, 0) << c.what << " after reload";
        AdvanceMs(100);
        EXPECT_EQ(Read(kFlags) & kFlagTimer, kFlagTimer) << c.what << " after reload";
        Write(kExtension, Read(kExtension) & ~kTimerEnable);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModels, BoardTest,
                         ::testing::Values(sim::RtcModel::Tq5100, sim::RtcModel::Tq5200),
                         [](const auto& info) {
                             return info.param == sim::RtcModel::Tq5100 ? "TQ5100" : "TQ5200";
                         });

class Tq5100BoardTest : public BoardTest {};
class Tq5200BoardTest : public BoardTest {};

TEST_P(Tq5100BoardTest, UpperRegistersMirrorTheBasicOnes) {
    Write(0x11, 0x42);  // minutes through the alias
    EXPECT_EQ(Read(0x01), 0x42);
    Write(kCounter0, 0x5A);
    EXPECT_EQ(Read(0x1B), 0x5A);
    EXPECT_EQ(ReadRegisterChecked(0x1B, 16), 0x5A | (uint32_t{Read(kCounter1)} << 8));
}

TEST_P(Tq5100BoardTest, TwelveBitCounterAndTemperatureFollowingTheBoard) {
    StartTimer(0, 0xFFF);  // 4095 ticks of 4096 Hz
    AdvanceMs(1000 - 50);
    EXPECT_EQ(Read(kFlags) & kFlagTimer, 0);
    AdvanceMs(100);
    EXPECT_EQ(Read(kFlags) & kFlagTimer, kFlagTimer);

    for (double celsius : {-10.0, 25.0, 60.0}) {
        chips->SetBoardTemperature(celsius);
        float shown = (2 * Read(0x17) - 187.19f) / 3.218f;
        EXPECT_NEAR(shown, celsius, 0.6) << celsius;
    }
}

TEST_P(Tq5200BoardTest, TwentyFourBitCounterCountsDownInTheMonitorRegisters) {
    StartTimer(0, 0x012000);  // 73728 ticks of 4096 Hz: 18 s
    AdvanceMs(10000);
    uint32_t left = Read(0x1C) | (Read(0x1D) << 8) | (uint32_t{Read(0x1E)} << 16);
    EXPECT_NEAR(static_cast<double>(left), 73728.0 - 40960.0, 64.0);
    EXPECT_EQ(Read(kFlags) & kFlagTimer, 0);
    AdvanceMs(8100);
    EXPECT_EQ(Read(kFlags) & kFlagTimer, kFlagTimer);
}

TEST_P(Tq5200BoardTest, EventInputStampsTheTime) {
    SetClock({0x07, 0x08, 0x09, 0x20, 0x12, 0x11, 0x26});
    AdvanceMs(3000);
    chips->FireEventInput();
    const uint8_t expected[] = {0x10, 0x08, 0x09, 0x20, 0x12, 0x11, 0x26};
    for (uint8_t i = 0; i < 7; ++i) EXPECT_EQ(Read(0x10 + i), expected[i]) << int(i);
}

INSTANTIATE_TEST_SUITE_P(Tq5100, Tq5100BoardTest, ::testing::Values(sim::RtcModel::Tq5100));
INSTANTIATE_TEST_SUITE_P(Tq5200, Tq5200BoardTest, ::testing::Values(sim::RtcModel::Tq5200));

TEST_P(BoardTest, PresenceCheckReadsThePowerMonitorsIdentificationUntilUnplugged) {
    SelectDevice(kPowerMonitor);
    EXPECT_EQ(ReadDeviceRegister(0xAD, 32), 0x0849534Cu);
    Sim().Unplug();
    EXPECT_EQ(ReadDeviceRegister(0xAD, 32), 0x0000FFFFu);
}

}  // namespace
}  // namespace kalendo::testing

// The RTC's alarm and countdown timer, on both models.
#include <gtest/gtest.h>

#include "chip_test_support.h"

namespace kalendo::sim::testing {
namespace {

constexpr uint8_t kFlagRegister = 0x0E;
constexpr uint8_t kFlagAlarm = 0x08;
constexpr uint8_t kFlagTimer = 0x10;
constexpr RtcModel kModels[] = {RtcModel::Tq5100, RtcModel::Tq5200};

struct Board {
    explicit Board(RtcModel model) : chips(ChipsConfig{model, &clock, 1, ""}) {}
    I2cSlave& Rtc() { return chips.Rtc(); }
    uint8_t Flags() { return ReadByte(Rtc(), kFlagRegister); }
    VirtualClock clock;
    EvaluationBoardChips chips;
};

TEST(RtcAlarmTest, FlagRisesAtTheMatchingMinuteAndNotBefore) {
    struct Case {
        const char* what;
        uint8_t minute, hour, day;
        bool dayOfMonth;
        int64_t secondsToFlag;  // from Friday 2024-03-15 07:28:30
    };
    const Case cases[] = {
        {"minute, hour and day of month", 0x30, 0x07, 0x15, true, 90},
        {"day of month is tomorrow", 0x30, 0x07, 0x16, true, 90 + 86400},
        {"day of month ignored", 0x30, 0x07, 0x95, true, 90},
        {"minute ignored: first minute of the hour", 0x80, 0x08, 0x80, true, 1890},
        {"hour ignored", 0x45, 0x80, 0x80, true, 990},
        {"every field ignored: next minute", 0x80, 0x80, 0x80, true, 30},
        {"week days Saturday or Sunday", 0x00, 0x00, 0x41, false, 59490},
        {"week day Friday, today", 0x30, 0x07, 0x20, false, 90},
        {"week day Thursday, next week", 0x30, 0x07, 0x10, false, 90 + 6 * 86400},
    };
    for (const RtcModel model : kModels) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(ModelName(model)) + ": " + c.what);
            Board board(model);
            SetRtcTime(board.Rtc(), {2024, 3, 15, 7, 28, 30, 0x20});
            WriteBytes(board.Rtc(), 0x08, {c.minute, c.hour, c.day});
            WriteBytes(board.Rtc(), 0x0D, {static_cast<uint8_t>(c.dayOfMonth ? 0x40 : 0x00)});
            board.clock.AdvanceSeconds(c.secondsToFlag - 1);
            EXPECT_EQ(board.Flags() & kFlagAlarm, 0);
            board.clock.AdvanceSeconds(1);
            EXPECT_EQ(board.Flags() & kFlagAlarm, kFlagAlarm);
        }
    }
}

TEST(RtcAlarmTest, MatchPassedInOneLongJumpIsCaught) {
    for (const RtcModel model : kModels) {
        SCOPED_TRACE(ModelName(model));
        Board board(model);
        SetRtcTime(board.Rtc(), {2024, 3, 15, 7, 0, 0, 0x20});
        WriteBytes(board.Rtc(), 0x08, {0x30, 0x07, 0x15});
        WriteBytes(board.Rtc(), 0x0D, {0x40});
        board.clock.AdvanceSeconds(5 * 3600);
        EXPECT_EQ(board.Flags() & kFlagAlarm, kFlagAlarm);
        EXPECT_EQ(ToText(ReadRtcTime(board.Rtc())), ToText({2024, 3, 15, 12, 0, 0, 0x20}));
    }
}

struct TimerCase {
    RtcModel model;
    uint8_t source;  // 0x0D bits 1-0
    uint32_t preset;
    int64_t firstFlagMicros;   // after the start, which is aligned to every source clock
    int64_t secondFlagMicros;  // after the reload
};

// Starts the timer at a moment when the second and every oscillator edge coincide, so the
// flags fall on exact microseconds.
void StartTimer(Board& board, const TimerCase& c) {
    SetRtcTime(board.Rtc(), {2024, 1, 1, 0, 0, 0, 0x02});
    const uint32_t p = c.preset;
    WriteBytes(board.Rtc(), 0x0B, {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8)});
    if (c.model == RtcModel::Tq5200) WriteBytes(board.Rtc(), 0x1F, {static_cast<uint8_t>(p >> 16)});
    WriteBytes(board.Rtc(), 0x0D, {static_cast<uint8_t>(0x10 | c.source)});
}

TEST(RtcTimerTest, FlagPeriodForEachSourceClockAndReload) {
    const TimerCase cases[] = {
        {RtcModel::Tq5100, 0, 4095, 999756, 1999512},  // ceil(n * 244.140625 us)
        {RtcModel::Tq5100, 1, 32, 500000, 1000000},
        {RtcModel::Tq5100, 2, 3, 3000000, 6000000},
        {RtcModel::Tq5100, 3, 2, 120000000, 240000000},
        {RtcModel::Tq5200, 0, 4096, 1000000, 2000000},
        {RtcModel::Tq5200, 0, 0x012000, 18000000, 36000000},  // beyond 16 bits
        {RtcModel::Tq5200, 1, 32, 500000, 1000000},
        {RtcModel::Tq5200, 2, 3, 3000000, 6000000},
        {RtcModel::Tq5200, 3, 2, 120000000, 240000000},
    };
    for (const TimerCase& c : cases) {
        SCOPED_TRACE(std::string(ModelName(c.model)) + " source " + std::to_string(c.source) +
                     " preset " + std::to_string(c.preset));
        Board board(c.model);
        StartTimer(board, c);
        board.clock.AdvanceMicros(c.firstFlagMicros - 1);
        EXPECT_EQ(board.Flags() & kFlagTimer, 0);
        board.clock.AdvanceMicros(1);
        EXPECT_EQ(board.Flags() & kFlagTimer, kFlagTimer);

        WriteBytes(board.Rtc(), kFlagRegister, {static_cast<uint8_t>(~kFlagTimer)});
        board.clock.AdvanceMicros(c.secondFlagMicros - c.firstFlagMicros - 1);
        EXPECT_EQ(board.Flags() & kFlagTimer, 0);
        board.clock.AdvanceMicros(1);
        EXPECT_EQ(board.Flags() & kFlagTimer, kFlagTimer);
    }
}

TEST(RtcTimerTest, StoppedOrZeroTimerNeverFires) {
    for (const RtcModel model : kModels) {
        SCOPED_TRACE(ModelName(model));
        Board stopped(model);
        StartTimer(stopped, {model, 2, 3, 0, 0});
        WriteBytes(stopped.Rtc(), 0x0D, {0x02});
        Board zero(model);
        StartTimer(zero, {model, 0, 0, 0, 0});
        stopped.clock.AdvanceSeconds(600);
        zero.clock.AdvanceSeconds(600);
        EXPECT_EQ(stopped.Flags() & kFlagTimer, 0);
        EXPECT_EQ(zero.Flags() & kFlagTimer, 0);
    }
}

TEST(RtcTimerTest, Tq5200MonitorsShowTheRunningCount) {
    Board board(RtcModel::Tq5200);
    StartTimer(board, {RtcModel::Tq5200, 0, 0x012345, 0, 0});
    EXPECT_EQ(ReadBytes(board.Rtc(), 0x1C, 3), (std::vector<uint8_t>{0x45, 0x23, 0x01}));
    board.clock.AdvanceSeconds(1);  // 4096 ticks
    EXPECT_EQ(ReadBytes(board.Rtc(), 0x1C, 3), (std::vector<uint8_t>{0x45, 0x13, 0x01}));
    EXPECT_EQ(board.Flags() & kFlagTimer, 0);
}

TEST(RtcTimerTest, SeveralPeriodsInOneJumpRaiseTheFlagAndKeepThePhase) {
    Board board(RtcModel::Tq5200);
    StartTimer(board, {RtcModel::Tq5200, 1, 10, 0, 0});
    board.clock.AdvanceSeconds(1);  // 64 ticks: six reloads, then 4 more ticks
    EXPECT_EQ(board.Flags() & kFlagTimer, kFlagTimer);
    EXPECT_EQ(ReadBytes(board.Rtc(), 0x1C, 3), (std::vector<uint8_t>{6, 0, 0}));
}

}  // namespace
}  // namespace kalendo::sim::testing

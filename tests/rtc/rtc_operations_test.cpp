// The RTC operations' transfers, in order, on a recording port: what the Alarm and Timer pages
// and kalendo-cli send for each operation, and what they do when a read fails.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "rtc/alarm_operations.h"
#include "rtc/fout_operations.h"
#include "rtc/rtc_registers.h"
#include "rtc/rtc_setup.h"
#include "rtc/texts/status_texts.h"
#include "rtc/timer_operations.h"
#include "tests/rtc/recording_port.h"

namespace kalendo {
namespace {

using testing::RecordingPort;
using Ops = std::vector<RecordingPort::Op>;

TEST(RtcOperations, EachOperationSendsItsTransfersInOrder) {
    struct Case {
        const char* what;
        std::function<bool(RegisterPort&)> operation;
        Ops expected;
    };
    // Registers before: 0x0D = 0x42, 0x0E = 0x48 (alarm flag and bit 6 up), 0x0F = 0x18.
    // A flag is cleared by writing 0 to it and 1 to every other flag bit (5-0); bits 7-6 are
    // written back as read.
    const Case cases[] = {
        {"arm alarm", ArmAlarm,
         {{'R', kRegFlag, 0}, {'W', kRegFlag, 0x77}, {'R', kRegControl, 0}, {'W', kRegControl, 0x18}}},
        {"disarm alarm", DisarmAlarm,
         {{'R', kRegControl, 0}, {'W', kRegControl, 0x10}, {'R', kRegFlag, 0}, {'W', kRegFlag, 0x77}}},
        {"acknowledge alarm", AcknowledgeAlarm, {{'R', kRegFlag, 0}, {'W', kRegFlag, 0x77}}},
        {"alarm time 07:45", [](RegisterPort& r) { return WriteAlarmTime(r, 7, 45); },
         {{'W', kRegMinuteAlarm, 0x45}, {'W', kRegHourAlarm, 0x07}}},
        {"alarm day 31", [](RegisterPort& r) { return WriteAlarmDay(r, 31); },
         {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x42}, {'W', kRegWeekDayAlarm, 0x31}}},
        {"alarm week day", [](RegisterPort& r) { return WriteAlarmWeekday(r, 0x02); },
         {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x02}, {'W', kRegWeekDayAlarm, 0x02}}},
        {"timer interrupt on", EnableTimerInterrupt,
         {{'R', kRegFlag, 0}, {'W', kRegFlag, 0x68}, {'R', kRegControl, 0}, {'W', kRegControl, 0x18}}},
        {"timer interrupt off", DisableTimerInterrupt,
         {{'R', kRegControl, 0}, {'W', kRegControl, 0x08}, {'R', kRegFlag, 0}, {'W', kRegFlag, 0x68}}},
        {"acknowledge timer", AcknowledgeTimer, {{'R', kRegFlag, 0}, {'W', kRegFlag, 0x68}}},
        {"start timer", StartTimer, {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x52}}},
        {"stop timer", StopTimer, {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x42}}},
        {"source clock 64 Hz", [](RegisterPort& r) { return SetTimerSourceClock(r, 1); },
         {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x41}}},
        {"TQ5100 counter 4095", [](RegisterPort& r) { return WriteTimerCounter(r, 4095, false); },
         {{'W', kRegTimerCounter0, 0xFF}, {'W', kRegTimerCounter1, 0x0F}}},
        {"TQ5200 counter", [](RegisterPort& r) { return WriteTimerCounter(r, 0x123456, true); },
         {{'W', kRegTimerCounter0, 0x56}, {'W', kRegTimerCounter1, 0x34},
          {'W', kRegTimer2Preset, 0x12}}},
        {"FOUT 1 Hz",
         [](RegisterPort& r) { return SetFoutFrequency(r, kFout1Hz) == FoutFrequencyResult::Set; },
         {{'R', kRegExtension, 0}, {'W', kRegExtension, 0x4A}}},
        {"TQ5100 set-up", [](RegisterPort& r) { return InitialiseRtc(r, false); },
         {{'W', 0x0D, 0x42}, {'W', 0x0F, 0x40}, {'W', 0x0E, 0x00}, {'W', 0x18, 0x01}}},
        {"TQ5200 set-up", [](RegisterPort& r) { return InitialiseRtc(r, true); },
         {{'W', 0x0D, 0x42}, {'W', 0x0E, 0x00}, {'W', 0x0E, 0x40}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPort port;
        port.regs[kRegExtension] = 0x42;
        port.regs[kRegFlag] = 0x48;
        port.regs[kRegControl] = 0x18;
        EXPECT_TRUE(c.operation(port));
        EXPECT_EQ(port.ops, c.expected);
    }
}

// A read-modify-write whose read failed writes nothing: the fallback byte is not the chip's.
TEST(RtcOperations, AFailedReadWritesNothingInItsRegister) {
    struct Case {
        const char* what;
        std::function<bool(RegisterPort&)> operation;
        uint8_t failing;
    };
    const Case cases[] = {
        {"arm alarm, flag unread", ArmAlarm, kRegFlag},
        {"start timer", StartTimer, kRegExtension},
        {"FOUT frequency",
         [](RegisterPort& r) { return SetFoutFrequency(r, 1) == FoutFrequencyResult::Set; },
         kRegExtension},
        {"acknowledge timer", AcknowledgeTimer, kRegFlag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPort port;
        port.failingReads = {c.failing};
        EXPECT_FALSE(c.operation(port));
        for (const RecordingPort::Op& op : port.ops) EXPECT_FALSE(op.kind != 'R' && op.reg == c.failing);
    }
}

// The main window's texts: any register of a text that could not be read makes the text "Error",
// never a value (a failed hours read was shown as 00, a failed year as 2000).
TEST(RtcOperations, StatusTextsShowErrorForAnyUnreadField) {
    struct Case {
        uint8_t failing;  // 0xFF: none
        const char* time;
        const char* date;
    };
    const Case cases[] = {
        {0xFF, "01:34:56 PM", "Tuesday, March 05, 2019"},
        {kRegSeconds, "Error", "Tuesday, March 05, 2019"},
        {kRegMinutes, "Error", "Tuesday, March 05, 2019"},
        {kRegHours, "Error", "Tuesday, March 05, 2019"},
        {kRegDay, "01:34:56 PM", "Error"},
        {kRegMonth, "01:34:56 PM", "Error"},
        {kRegYear, "01:34:56 PM", "Error"},
        {kRegWeek, "01:34:56 PM", "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.failing));
        RecordingPort port;
        const uint8_t regs[] = {0x56, 0x34, 0x13, 0x04, 0x05, 0x03, 0x19};
        for (uint8_t r = 0; r < 7; ++r) port.regs[r] = regs[r];
        port.regs[kRegTemperature] = 0x80;
        if (c.failing != 0xFF) port.failingReads = {c.failing};
        EXPECT_EQ(ReadRtcTimeText(port, true), c.time);
        EXPECT_EQ(ReadRtcDateText(port), c.date);
        EXPECT_EQ(ReadRtcTemperatureText(port), "21.4");
    }
    RecordingPort silent;
    silent.failingReads = {kRegTemperature};
    EXPECT_EQ(ReadRtcTemperatureText(silent), "Error");
}

}  // namespace
}  // namespace kalendo

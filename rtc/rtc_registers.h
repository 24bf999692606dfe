// The RTC registers the program interprets, their bit fields and the composite masks, shared by
// both models (TQ5100 and TQ5200 agree on 0x00-0x0F). Every access is 8 bits wide.
#pragma once

#include <cstdint>

namespace kalendo {

constexpr uint32_t kRtcRegisterWidth = 8;

// Time and calendar, packed BCD (week day one-hot).
constexpr uint8_t kRegSeconds = 0x00;
constexpr uint8_t kRegMinutes = 0x01;
constexpr uint8_t kRegHours = 0x02;  // 24-hour form
constexpr uint8_t kRegWeek = 0x03;   // see WeekdayBit
constexpr uint8_t kRegDay = 0x04;
constexpr uint8_t kRegMonth = 0x05;
constexpr uint8_t kRegYear = 0x06;  // 00-99 meaning 2000-2099

// Alarm: BCD in bits 6-0; bit 7 is ignored on read and written 0.
constexpr uint8_t kRegMinuteAlarm = 0x08;
constexpr uint8_t kRegHourAlarm = 0x09;
constexpr uint8_t kRegWeekDayAlarm = 0x0A;  // day of month while EXT_DAY_ALARM is set

// Timer counter, plain binary. TQ5100: 12 bits (bits 11-8 in 0x0C bits 3-0); TQ5200: 24 bits.
constexpr uint8_t kRegTimerCounter0 = 0x0B;
constexpr uint8_t kRegTimerCounter1 = 0x0C;
constexpr uint8_t kRegTimer2Preset = 0x1F;  // TQ5200 only: counter bits 23-16
constexpr uint32_t kTq5100TimerCounterMax = 4095;
constexpr uint32_t kTq5200TimerCounterMax = 16777215;

// Control. TQ5100 names: Extension / Flag / Control; TQ5200: Control 1 / Flag / Control 2.
constexpr uint8_t kRegExtension = 0x0D;
constexpr uint8_t kRegFlag = 0x0E;
constexpr uint8_t kRegControl = 0x0F;

// Model-specific registers.
constexpr uint8_t kRegTemperature = 0x17;     // TQ5100 only: raw code, see TemperatureCelsius
constexpr uint8_t kRegBackupFunction = 0x18;  // TQ5100 only
constexpr uint8_t kRegTimer0Monitor = 0x1C;   // TQ5200 only: running count bits 7-0
constexpr uint8_t kRegTimer1Monitor = 0x1D;   // TQ5200 only: bits 15-8
constexpr uint8_t kRegTimer2Monitor = 0x1E;   // TQ5200 only: bits 23-16

// Control register (0x0F).
constexpr uint8_t CTRL_WRITE_GUARD = 0x01;  // set around time and date writes
constexpr uint8_t CTRL_ALARM_INT = 0x08;    // alarm interrupt enable
constexpr uint8_t CTRL_TIMER_INT = 0x10;    // timer interrupt enable

// Flag register (0x0E).
constexpr uint8_t FLAG_ALARM = 0x08;  // the alarm has matched
constexpr uint8_t FLAG_TIMER = 0x10;  // the timer has run out

// Extension register (0x0D).
constexpr uint8_t EXT_TIMER_CLOCK = 0x03;   // timer source clock, values kTimerClock*
constexpr uint8_t EXT_FOUT_FREQ = 0x0C;     // FOUT frequency, kFout* shifted left by 2
constexpr uint8_t EXT_TIMER_ENABLE = 0x10;  // the timer counts
constexpr uint8_t EXT_DAY_ALARM = 0x40;     // 0x0A holds a day of month
constexpr int kFoutFreqShift = 2;

// Composite masks, ANDed in as they stand.
constexpr uint8_t TIMER_INT_CLEAR_MASK = 0xE8;  // into 0x0F and 0x0E: clears bits 4, 2, 1, 0
constexpr uint8_t TIMER_STOP_MASK = 0x6F;       // into 0x0D: clears bits 7 and 4
constexpr uint8_t ALARM_VALUE_MASK = 0x7F;      // the alarm registers' value bits

// Extension register value written at connect: EXT_DAY_ALARM and "Second Update".
constexpr uint8_t kExtensionAtConnect = 0x42;

// Timer source clocks (EXT_TIMER_CLOCK) and their names as the pages show them.
constexpr uint8_t kTimerClock4096Hz = 0;
constexpr uint8_t kTimerClock64Hz = 1;
constexpr uint8_t kTimerClockSecond = 2;
constexpr uint8_t kTimerClockMinute = 3;
constexpr const char* kTimerClockNames[4] = {"4096Hz", "64Hz", "Second Update", "Minute Update"};

// FOUT frequencies (EXT_FOUT_FREQ >> kFoutFreqShift) and their names.
constexpr uint8_t kFout32768Hz = 0;
constexpr uint8_t kFout1024Hz = 1;
constexpr uint8_t kFout1Hz = 2;
constexpr const char* kFoutFrequencyNames[3] = {"32.768KHz", "1024Hz", "1Hz"};

}  // namespace kalendo

// The RTC's alarm as the Alarm page and kalendo-cli drive it. Each operation takes the RTC's
// port and says whether every transfer of it reached the chip.
#pragma once

#include <cstdint>

#include "bridge/register_port.h"

namespace kalendo {

// Clears the alarm flag, then sets the alarm interrupt enable.
bool ArmAlarm(RegisterPort& rtc);
// Clears the alarm interrupt enable, then the alarm flag; both are tried.
bool DisarmAlarm(RegisterPort& rtc);
// Clears the alarm flag only (the alarm stays armed).
bool AcknowledgeAlarm(RegisterPort& rtc);
// Minute, then hour, BCD in bits 6-0.
bool WriteAlarmTime(RegisterPort& rtc, int hour, int minute);
// A day-of-month alarm: EXT_DAY_ALARM set (read-modify-write), then the day.
bool WriteAlarmDay(RegisterPort& rtc, int day);
// A week-day alarm: EXT_DAY_ALARM cleared, then the week-day bit.
bool WriteAlarmWeekday(RegisterPort& rtc, uint8_t weekdayBit);

bool ReadAlarmTime(RegisterPort& rtc, int* hour, int* minute);
bool ReadAlarmDay(RegisterPort& rtc, int* day);  // the BCD day of bits 6-0
// False when the flag could not be read: an unread flag is no trigger.
bool AlarmFlagRaised(RegisterPort& rtc, bool* raised);

}  // namespace kalendo

// The main window's time, date and temperature texts from the RTC's register reads. Each takes
// the bus status of its first read (0 = the read succeeded); the later reads' values are used
// only when that read succeeded.
#pragma once

#include <cstdint>
#include <string>

#include "bridge/register_port.h"

namespace kalendo {

// "Error" when the seconds read failed or the hour decodes above 24; otherwise FormatTimeText.
// Minutes and seconds are not range-checked.
std::string TimeTextFromRegisters(int32_t secondsReadStatus, uint8_t seconds, uint8_t minutes,
                                  uint8_t hours, bool twelveHour);

// True when the day read leaves the date text to the month, year and week registers: the read
// succeeded and the day decodes to 31 or less. Otherwise the text is "Error" and nothing more is
// read.
bool DayReadAllowsDate(int32_t dayReadStatus, uint8_t day);

// "Error" when the day read failed or the day decodes above 31; otherwise FormatRtcDateText with
// the week day named by the week register ("Error" in the name's place when it is not one bit).
std::string DateTextFromRegisters(int32_t dayReadStatus, uint8_t day, uint8_t month, uint8_t year,
                                  uint8_t week);

// "Error" when the read failed; otherwise the temperature with one decimal.
std::string TemperatureTextFromRegister(int32_t readStatus, uint8_t raw);

// The same texts read through the RTC's port, in the status tick's order (seconds, minutes,
// hours; day, month, year, week; temperature). A register that could not be read makes its whole
// text "Error": a failed minutes or year read is never shown as 00 or 2000.
std::string ReadRtcTimeText(RegisterPort& rtc, bool twelveHour);
std::string ReadRtcDateText(RegisterPort& rtc);
std::string ReadRtcTemperatureText(RegisterPort& rtc);

}  // namespace kalendo

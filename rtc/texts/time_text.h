// Texts of a time of day, in AM/PM or 24-hour form.
#pragma once

#include <string>

namespace kalendo {

// "hh:mm:ss" or, in 12-hour form, "hh:mm:ss AM/PM" with hour 0 as 12 AM and 12 as 12 PM. Hours
// above 12 lose 12, so 24 reads "12:mm:ss PM". The caller rejects hours it cannot accept.
std::string FormatTimeText(int hours, int minutes, int seconds, bool twelveHour);
std::string FormatTimeText(int hours, int minutes, int seconds);  // by TwelveHourDisplay

// The same without seconds; hours above 24 or minutes above 60 give "Error" (24 and 60 pass).
std::string FormatAlarmTimeText(int hours, int minutes, bool twelveHour);
std::string FormatAlarmTimeText(int hours, int minutes);  // by TwelveHourDisplay

}  // namespace kalendo

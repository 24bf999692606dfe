// Texts of a calendar date. A month outside 1-12 gives the whole text "Date Error".
#pragma once

#include <string>

namespace kalendo {

// "<weekday>, <Month> dd, 20yy" from the RTC's two-digit year.
std::string FormatRtcDateText(const char* weekdayName, int day, int month, int twoDigitYear);

// "<weekday>, <Month> dd, yyyy" from the PC's four-digit year.
std::string FormatPcDateText(const char* weekdayName, int day, int month, int year);

// "<Month> dd, yyyy", for the alarm date.
std::string FormatAlarmDateText(int day, int month, int year);

}  // namespace kalendo

#include "rtc/texts/date_text.h"

#include "rtc/texts/text_format.h"

namespace kalendo {

namespace {

constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};

const char* MonthName(int month) {
    if (month < 1 || month > 12) return nullptr;
    return kMonthNames[month - 1];
}

}  // namespace

std::string FormatRtcDateText(const char* weekdayName, int day, int month, int twoDigitYear) {
    const char* monthName = MonthName(month);
    if (monthName == nullptr) return "Date Error";
    return FormatText("%s, %s %02d, 20%02d", weekdayName, monthName, day, twoDigitYear);
}

std::string FormatPcDateText(const char* weekdayName, int day, int month, int year) {
    const char* monthName = MonthName(month);
    if (monthName == nullptr) return "Date Error";
    return FormatText("%s, %s %02d, %02d", weekdayName, monthName, day, year);
}

std::string FormatAlarmDateText(int day, int month, int year) {
    const char* monthName = MonthName(month);
    if (monthName == nullptr) return "Date Error";
    return FormatText("%s %02d, %02d", monthName, day, year);
}

}  // namespace kalendo

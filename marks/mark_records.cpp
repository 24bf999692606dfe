#include "marks/mark_records.h"

#include <cstdio>

namespace kalendo::marks {

namespace {

// Days from 1970-01-01 of a Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

const char* ReferenceSourceName(ReferenceSource source) {
    switch (source) {
        case ReferenceSource::Ntp:
            return "ntp";
        case ReferenceSource::Kernel:
            return "kernel";
        case ReferenceSource::Assumed:
            break;
    }
    return "assumed";
}

int64_t RtcSecondsSince2000(const RtcDateTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(2000, 1, 1);
    return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

RtcDateTime RtcDateTimeOfSeconds(int64_t secondsSince2000) {
    // UtcText counts from 1970; 2000-01-01 is 946684800 s after it.
    const std::string text = UtcText((secondsSince2000 + 946684800) * 1000000000);
    RtcDateTime t;
    t.year = std::stoi(text.substr(0, 4));
    t.month = std::stoi(text.substr(5, 2));
    t.day = std::stoi(text.substr(8, 2));
    t.hour = std::stoi(text.substr(11, 2));
    t.minute = std::stoi(text.substr(14, 2));
    t.second = std::stoi(text.substr(17, 2));
    return t;
}

bool RtcDateTimeValid(const RtcDateTime& t) {
    return t.year >= 2000 && t.year <= 2099 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::string RtcDateTimeText(const RtcDateTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string UtcText(int64_t utcNanos) {
    int64_t seconds = utcNanos / 1000000000;
    int64_t nanos = utcNanos % 1000000000;
    if (nanos < 0) {
        nanos += 1000000000;
        --seconds;
    }
    int64_t days = seconds / 86400;
    int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // civil_from_days
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int64_t year = yoe + era * 400 + (month <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%09lldZ",
                  static_cast<long long>(year), month, day, static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60),
                  static_cast<long long>(nanos));
    return text;
}

}  // namespace kalendo::marks

#include "sim/chips/rtc_calendar.h"

namespace kalendo::sim {
namespace {

constexpr int kMinutesPerHour = 60;
constexpr int kHoursPerDay = 24;
constexpr int kDaysPerWeek = 7;
constexpr uint8_t kWeekMask = 0x7F;

// Counts a field that runs from 0 to limit - 1 up by n and returns the carries out of it. A value
// at or above the limit (written by the master) wraps to 0 at its first increment.
int64_t CountUp(int& field, int64_t n, int limit) {
    if (n <= 0) return 0;
    int64_t carries = 0;
    if (field >= limit || field < 0) {
        field = 0;
        --n;
        carries = 1;
    }
    const int64_t total = field + n;
    field = static_cast<int>(total % limit);
    return carries + total / limit;
}

uint8_t RotateWeek(uint8_t bits, int64_t days) {
    const int k = static_cast<int>(days % kDaysPerWeek);
    const unsigned w = bits & kWeekMask;
    if (k == 0) return static_cast<uint8_t>(w);
    return static_cast<uint8_t>(((w << k) | (w >> (kDaysPerWeek - k))) & kWeekMask);
}

}  // namespace

uint8_t BcdToNumber(uint8_t bcd) {
    return static_cast<uint8_t>((bcd >> 4) * 10 + (bcd & 0x0F));
}

uint8_t NumberToBcd(int number) {
    return static_cast<uint8_t>(((number / 10) << 4) | (number % 10));
}

bool IsLeapYear(int yearOfCentury) {
    const int year = 2000 + yearOfCentury;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int yearOfCentury) {
    switch (month) {
        case 2:
            return IsLeapYear(yearOfCentury) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

int64_t CalendarFields::AddMinutes(int64_t minutes) {
    const int64_t hours = CountUp(minute, minutes, kMinutesPerHour);
    const int64_t days = CountUp(hour, hours, kHoursPerDay);
    AddDays(days);
    return hours;
}

void CalendarFields::AddDays(int64_t days) {
    if (days <= 0) return;
    weekBits = RotateWeek(weekBits, days);
    // One step per month, so a jump of years stays cheap.
    while (days > 0) {
        const int length = DaysInMonth(month, year);
        const int64_t leftInMonth = day > length ? 0 : length - day;
        if (days <= leftInMonth) {
            day += static_cast<int>(days);
            return;
        }
        days -= leftInMonth + 1;
        day = 1;
        if (month >= 12) {
            month = 1;
            year = year >= 99 ? 0 : year + 1;  // 2099 rolls over to 2000
        } else if (month < 1) {
            month = 1;  // a written month 0 counts on to January of the same year
        } else {
            ++month;
        }
    }
}

}  // namespace kalendo::sim

// The RTC's time and calendar counters: packed BCD fields that count up with carries the way the
// chip's counter chain does, years 00-99 standing for 2000-2099.
#pragma once

#include <cstdint>

namespace kalendo::sim {

uint8_t BcdToNumber(uint8_t bcd);  // no nibble check: 0x1A gives 20
uint8_t NumberToBcd(int number);   // 0..99
bool IsLeapYear(int yearOfCentury);
int DaysInMonth(int month, int yearOfCentury);  // a month outside 1..12 counts as 31 days

// The time registers 0x00-0x06 decoded. A field may hold a value outside its range when the
// master wrote one; the counter then wraps at its next increment, as a binary chain would.
struct CalendarFields {
    int second = 0;
    int minute = 0;
    int hour = 0;
    uint8_t weekBits = 0x01;  // one-hot, Sunday = bit 0; rotated as written, never recomputed
    int day = 1;
    int month = 1;
    int year = 0;

    // Adds whole units and returns how many times the next larger unit was carried into.
    int64_t AddMinutes(int64_t minutes);
    void AddDays(int64_t days);
};

}  // namespace kalendo::sim

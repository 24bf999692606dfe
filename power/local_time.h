// A moment of the PC's local calendar time, as the data log names its files and the check dates
// its report.
#pragma once

namespace kalendo {

// Year with four digits, month 1-12.
struct LocalTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

}  // namespace kalendo

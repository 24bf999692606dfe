#include "rtc/weekday.h"

namespace kalendo {

namespace {
constexpr const char* kWeekdayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
}  // namespace

uint8_t WeekdayBit(int d) {
    if (d < 0 || d > 6) return 0;
    return static_cast<uint8_t>(1u << d);
}

const char* WeekdayName(uint8_t weekRegister) {
    for (int d = 0; d < 7; ++d) {
        if (weekRegister == WeekdayBit(d)) return kWeekdayNames[d];
    }
    return "Error";
}

}  // namespace kalendo

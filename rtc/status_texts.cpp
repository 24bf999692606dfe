#include "rtc/status_texts.h"

#include "rtc/bcd_codec.h"
#include "rtc/date_text.h"
#include "rtc/temperature.h"
#include "rtc/time_text.h"
#include "rtc/weekday.h"

namespace kalendo {

namespace {
constexpr int kHighestHour = 24;  // 24 still passes and shows as 12 PM or 24:mm:ss
constexpr int kHighestDay = 31;
}  // namespace

std::string TimeTextFromRegisters(int32_t secondsReadStatus, uint8_t seconds, uint8_t minutes,
                                  uint8_t hours, bool twelveHour) {
    if (secondsReadStatus != 0) return "Error";
    const int h = FromBcd(hours);
    if (h > kHighestHour) return "Error";
    return FormatTimeText(h, FromBcd(minutes), FromBcd(seconds), twelveHour);
}

bool DayReadAllowsDate(int32_t dayReadStatus, uint8_t day) {
    return dayReadStatus == 0 && FromBcd(day) <= kHighestDay;
}

std::string DateTextFromRegisters(int32_t dayReadStatus, uint8_t day, uint8_t month, uint8_t year,
                                  uint8_t week) {
    if (!DayReadAllowsDate(dayReadStatus, day)) return "Error";
    return FormatRtcDateText(WeekdayName(week), FromBcd(day), FromBcd(month), FromBcd(year));
}

std::string TemperatureTextFromRegister(int32_t readStatus, uint8_t raw) {
    if (readStatus != 0) return "Error";
    return FormatTemperatureText(TemperatureCelsius(raw));
}

}  // namespace kalendo

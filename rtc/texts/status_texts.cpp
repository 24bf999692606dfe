#include "rtc/texts/status_texts.h"

#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "rtc/temperature.h"
#include "rtc/texts/date_text.h"
#include "rtc/texts/temperature_text.h"
#include "rtc/texts/time_text.h"
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

std::string ReadRtcTimeText(RegisterPort& rtc, bool twelveHour) {
    uint8_t seconds = 0, minutes = 0, hours = 0;
    if (!rtc.Read8(kRegSeconds, &seconds) || !rtc.Read8(kRegMinutes, &minutes) ||
        !rtc.Read8(kRegHours, &hours)) {
        return "Error";
    }
    return TimeTextFromRegisters(0, seconds, minutes, hours, twelveHour);
}

std::string ReadRtcDateText(RegisterPort& rtc) {
    uint8_t day = 0, month = 0, year = 0, week = 0;
    if (!rtc.Read8(kRegDay, &day) || !DayReadAllowsDate(0, day)) return "Error";
    if (!rtc.Read8(kRegMonth, &month) || !rtc.Read8(kRegYear, &year) ||
        !rtc.Read8(kRegWeek, &week)) {
        return "Error";
    }
    return DateTextFromRegisters(0, day, month, year, week);
}

std::string ReadRtcTemperatureText(RegisterPort& rtc) {
    uint8_t raw = 0;
    if (!rtc.Read8(kRegTemperature, &raw)) return "Error";
    return TemperatureTextFromRegister(0, raw);
}

}  // namespace kalendo

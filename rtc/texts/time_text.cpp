#include "rtc/texts/time_text.h"

#include "rtc/texts/text_format.h"
#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {

std::string FormatTimeText(int hours, int minutes, int seconds, bool twelveHour) {
    if (!twelveHour) return FormatText("%02d:%02d:%02d", hours, minutes, seconds);
    if (hours > 12) return FormatText("%02d:%02d:%02d PM", hours - 12, minutes, seconds);
    if (hours == 12) return FormatText("12:%02d:%02d PM", minutes, seconds);
    if (hours == 0) return FormatText("12:%02d:%02d AM", minutes, seconds);
    return FormatText("%02d:%02d:%02d AM", hours, minutes, seconds);
}

std::string FormatTimeText(int hours, int minutes, int seconds) {
    return FormatTimeText(hours, minutes, seconds, TwelveHourDisplay != 0);
}

std::string FormatAlarmTimeText(int hours, int minutes, bool twelveHour) {
    if (hours > 24 || minutes > 60) return "Error";
    if (!twelveHour) return FormatText("%02d:%02d", hours, minutes);
    if (hours > 12) return FormatText("%02d:%02d PM", hours - 12, minutes);
    if (hours == 12) return FormatText("12:%02d PM", minutes);
    if (hours == 0) return FormatText("12:%02d AM", minutes);
    return FormatText("%02d:%02d AM", hours, minutes);
}

std::string FormatAlarmTimeText(int hours, int minutes) {
    return FormatAlarmTimeText(hours, minutes, TwelveHourDisplay != 0);
}

}  // namespace kalendo

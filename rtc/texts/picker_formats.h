// Date-time picker format strings of the Time and Date and Alarm pages.
#pragma once

namespace kalendo {

constexpr const char* kTimePickerFormat12Hour = "hh':'mm':'ss tt";  // reset, "AM/PM" chosen
constexpr const char* kTimePickerFormat24Hour = "HH':'mm':'ss";     // "24 hr" chosen
constexpr const char* kDatePickerFormat = "MMMMd',' yyyy";
constexpr const char* kAlarmTimePickerFormatAtCreation = "hh':'mm' 'tt";
constexpr const char* kAlarmTimePickerFormat12Hour = "h':'mm tt";  // shown, TwelveHourDisplay 1
constexpr const char* kAlarmTimePickerFormat24Hour = "H':'mm";     // shown, TwelveHourDisplay 0
constexpr const char* kAlarmDayPickerFormat = "d";

}  // namespace kalendo

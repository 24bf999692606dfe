#include "rtc/alarm_operations.h"

#include "rtc/bcd_codec.h"
#include "rtc/flag_register.h"
#include "rtc/rtc_registers.h"

namespace kalendo {

bool ArmAlarm(RegisterPort& rtc) {
    // A flag left from an earlier match would announce a trigger at once.
    return ClearRtcFlags(rtc, FLAG_ALARM) && rtc.Update8(kRegControl, 0xFF, CTRL_ALARM_INT);
}

bool DisarmAlarm(RegisterPort& rtc) {
    const bool control = rtc.Update8(kRegControl, static_cast<uint8_t>(~CTRL_ALARM_INT), 0);
    const bool flag = ClearRtcFlags(rtc, FLAG_ALARM);
    return control && flag;
}

bool AcknowledgeAlarm(RegisterPort& rtc) {
    return ClearRtcFlags(rtc, FLAG_ALARM);
}

bool WriteAlarmTime(RegisterPort& rtc, int hour, int minute) {
    const bool m = rtc.Write8(kRegMinuteAlarm, static_cast<uint8_t>(ToBcd(minute) & ALARM_VALUE_MASK));
    const bool h = rtc.Write8(kRegHourAlarm, static_cast<uint8_t>(ToBcd(hour) & ALARM_VALUE_MASK));
    return m && h;
}

bool WriteAlarmDay(RegisterPort& rtc, int day) {
    const bool mode = rtc.Update8(kRegExtension, 0xFF, EXT_DAY_ALARM);
    const bool value =
        rtc.Write8(kRegWeekDayAlarm, static_cast<uint8_t>(ToBcd(day) & ALARM_VALUE_MASK));
    return mode && value;
}

bool WriteAlarmWeekday(RegisterPort& rtc, uint8_t weekdayBit) {
    return rtc.Update8(kRegExtension, static_cast<uint8_t>(~EXT_DAY_ALARM), 0) &&
           rtc.Write8(kRegWeekDayAlarm, weekdayBit);
}

bool ReadAlarmTime(RegisterPort& rtc, int* hour, int* minute) {
    uint8_t m = 0;
    uint8_t h = 0;
    if (!rtc.Read8(kRegMinuteAlarm, &m) || !rtc.Read8(kRegHourAlarm, &h)) return false;
    *minute = FromAlarmBcd(m);
    *hour = FromAlarmBcd(h);
    return true;
}

bool ReadAlarmDay(RegisterPort& rtc, int* day) {
    uint8_t d = 0;
    if (!rtc.Read8(kRegWeekDayAlarm, &d)) return false;
    *day = FromAlarmBcd(d);
    return true;
}

bool AlarmFlagRaised(RegisterPort& rtc, bool* raised) {
    return RtcFlagRaised(rtc, FLAG_ALARM, raised);
}

}  // namespace kalendo

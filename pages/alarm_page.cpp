#include "pages/alarm_page.h"

#include <commctrl.h>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/picture.h"
#include "bridge/bus_action.h"
#include "bridge/register_port.h"
#include "pages/pc_clock.h"
#include "resources/resource_ids.h"
#include "rtc/alarm_operations.h"
#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/date_text.h"
#include "rtc/texts/picker_formats.h"
#include "rtc/texts/time_text.h"
#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_ALARM_ENABLED_LABEL, "Displays whether the RTC Alarm function is enabled or disabled"},
    {IDC_ALARM_ENABLED_TEXT, "Displays whether the RTC Alarm function is enabled or disabled"},
    {IDC_ALARM_TRIGGERED_LABEL, "Displays whether the RTC Alarm has been triggered"},
    {IDC_ALARM_TRIGGERED_TEXT, "Displays whether the RTC Alarm has been triggered"},
    {IDC_ALARM_TIME_TEXT_LABEL, "Shows the current RTC Alarm Time"},
    {IDC_ALARM_TIME_TEXT, "Shows the current RTC Alarm Time"},
    {IDC_ALARM_DATE_TEXT_LABEL, "Shows the current RTC Alarm Date"},
    {IDC_ALARM_DATE_TEXT, "Shows the current RTC Alarm Date"},
    {IDC_ALARM_TIME_PICKER, "Select the Alarm Time for the RTC"},
    {IDC_ALARM_SET_TIME, "Click to write the new Alarm Time to the RTC"},
    {IDC_ALARM_DAY_PICKER, "Select the Alarm Date for the RTC"},
    {IDC_ALARM_SET_DATE, "Click to write the new Alarm Date to the RTC"},
    {IDC_ALARM_TOGGLE, "Click to enable/disable the RTC Alarm using the current Time/Date"},
    {IDC_ALARM_PICTURE, "Indicates whether the Alarm has tiggered"},
};

// The trigger animation's frames in the order they are shown.
constexpr int kTriggerFrames[] = {IDB_ALARM_FRAME_1, IDB_ALARM_FRAME_2, IDB_ALARM_FRAME_3,
                                  IDB_ALARM_TRIGGERED};
constexpr int kTriggerFrameCount = sizeof kTriggerFrames / sizeof kTriggerFrames[0];

void SetPicker(HWND dialog, int pickerId, const SYSTEMTIME& time) {
    // The picker refuses a value it cannot represent (an invalid register) and keeps its own.
    SendDlgItemMessageA(dialog, pickerId, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&time));
}

void SetPickerFormat(HWND dialog, int pickerId, const char* format) {
    SendDlgItemMessageA(dialog, pickerId, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(format));
}

}  // namespace

AlarmPage::AlarmPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

AlarmPage::~AlarmPage() {
    ReleaseBitmap(&statePicture_);
    ReleaseBitmap(&triggeredPicture_);
    ReleaseBitmap(&framePicture_);
}

int AlarmPage::DialogId() const {
    return IDD_PAGE_ALARM;
}

void AlarmPage::Reset() {
    SetPickerFormat(Dialog(), IDC_ALARM_DAY_PICKER, kAlarmDayPickerFormat);
    // Connect's set-up, a disconnect or another model leave the chip's alarm as they leave it:
    // the page's enabled state, poll and animation follow the chip, not what was shown before.
    bool armed = false;
    if (BoardConnected) {
        DevicePort rtc(RtcHandle);
        uint8_t control = 0;
        armed = rtc.Read8(kRegControl, &control) && (control & CTRL_ALARM_INT) != 0;
    }
    if (armed) {
        ShowEnabled();
    } else {
        ShowDisabled();
    }
    // A reset follows connect, disconnect and model change, whose own message on the status
    // line (a connect error among them) must stay readable; the displays show a failed read.
    ShowAlarmTime(false);
    ShowAlarmDate(false);
}

void AlarmPage::OnShow() {
    SetPickerFormat(
        Dialog(), IDC_ALARM_TIME_PICKER,
        TwelveHourDisplay == 1 ? kAlarmTimePickerFormat12Hour : kAlarmTimePickerFormat24Hour);
    const bool timeRead = ShowAlarmTime();
    const bool dateRead = ShowAlarmDate();
    if (!timeRead || !dateRead) {
        ShowInformation("ERROR: RTC Alarm settings not read, bus error");
    }
    SetFocus(GetDlgItem(Dialog(), IDC_ALARM_STATUS_GROUP));
}

bool AlarmPage::ShowAlarmTime(bool announce) {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (!BoardConnected) {
        SetPicker(Dialog(), IDC_ALARM_TIME_PICKER, now);
        SetDlgItemTextA(Dialog(), IDC_ALARM_TIME_TEXT, "Unconnected");
        if (announce) {
            ShowInformation("RTC not connected");
        }
        return true;
    }
    DevicePort rtc(RtcHandle);
    int minute = 0;
    int hour = 0;
    if (!ReadAlarmTime(rtc, &hour, &minute)) {
        // The picker keeps what it showed: a fallback byte is no alarm time of the chip.
        SetDlgItemTextA(Dialog(), IDC_ALARM_TIME_TEXT, "Error");
        return false;
    }
    now.wHour = static_cast<WORD>(hour);
    now.wMinute = static_cast<WORD>(minute);
    SetPicker(Dialog(), IDC_ALARM_TIME_PICKER, now);
    SetDlgItemTextA(Dialog(), IDC_ALARM_TIME_TEXT, FormatAlarmTimeText(hour, minute).c_str());
    return true;
}

bool AlarmPage::ShowAlarmDate(bool announce) {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (!BoardConnected) {
        SetPicker(Dialog(), IDC_ALARM_DAY_PICKER, now);
        SetDlgItemTextA(Dialog(), IDC_ALARM_DATE_TEXT, "Unconnected");
        if (announce) {
            ShowInformation("RTC not connected");
        }
        return true;
    }
    DevicePort rtc(RtcHandle);
    int day = 0;
    if (!ReadAlarmDay(rtc, &day)) {
        SetDlgItemTextA(Dialog(), IDC_ALARM_DATE_TEXT, "Error");
        return false;
    }
    const WORD month = now.wMonth;
    const WORD year = now.wYear;
    now.wDay = static_cast<WORD>(day);
    SetPicker(Dialog(), IDC_ALARM_DAY_PICKER, now);
    SetDlgItemTextA(Dialog(), IDC_ALARM_DATE_TEXT, FormatAlarmDateText(day, month, year).c_str());
    return true;
}

void AlarmPage::ShowDisabledTexts() {
    alarmEnabled_ = false;
    SetDlgItemTextA(Dialog(), IDC_ALARM_ENABLED_TEXT, "Disabled");
    SetDlgItemTextA(Dialog(), IDC_ALARM_TOGGLE, "Enable Alarm");
}

void AlarmPage::ShowDisabled() {
    KillTimer(Dialog(), AlarmAnimationTimer);
    KillTimer(Dialog(), AlarmPollTimer);
    ShowDisabledTexts();
    SetDlgItemTextA(Dialog(), IDC_ALARM_TRIGGERED_TEXT, "Not Triggered");
    ShowPicture(&statePicture_, IDB_ALARM_DISABLED);
}

void AlarmPage::ShowEnabled() {
    alarmEnabled_ = true;
    SetDlgItemTextA(Dialog(), IDC_ALARM_ENABLED_TEXT, "Enabled");
    SetDlgItemTextA(Dialog(), IDC_ALARM_TOGGLE, "Disable Alarm");
    ShowPicture(&statePicture_, IDB_ALARM_ENABLED);
    SetTimer(Dialog(), AlarmPollTimer, kAlarmPollPeriodMs, nullptr);
}

bool AlarmPage::DisableOnChip() {
    DevicePort rtc(RtcHandle);
    if (!DisarmAlarm(rtc)) {
        return false;  // the chip may still be armed: the page stays as it was, ready for another try
    }
    ShowDisabled();
    return true;
}

void AlarmPage::SetAlarmTime() {
    if (!RequireConnection("WARNING: Alarm Time not set, RTC not connected")) {
        return;
    }
    SYSTEMTIME time = {};
    SendDlgItemMessageA(Dialog(), IDC_ALARM_TIME_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&time));
    PageAction action(Owner());
    // A new alarm time asks for a fresh enable. The chip is disarmed too, so that the page never
    // shows "Disabled" beside an alarm that can still go off.
    if (alarmEnabled_) {
        DisableOnChip();
    }
    DevicePort rtc(RtcHandle);
    WriteAlarmTime(rtc, time.wHour, time.wMinute);
    // Reported before the read-back, so that only the writes decide success.
    const bool written =
        action.Report("RTC Alarm Time Updated", "RTC Alarm Time not updated, bus error");
    if (!ShowAlarmTime() && written) {
        action.ReportFailure("RTC Alarm Time not read, bus error");
    }
}

void AlarmPage::SetAlarmDate() {
    if (!RequireConnection("WARNING: Alarm Date not set, RTC not connected")) {
        return;
    }
    PageAction action(Owner());
    if (alarmEnabled_) {
        DisableOnChip();
    }
    SYSTEMTIME date = {};
    SendDlgItemMessageA(Dialog(), IDC_ALARM_DAY_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&date));
    DevicePort rtc(RtcHandle);
    WriteAlarmDay(rtc, date.wDay);
    const bool written =
        action.Report("RTC Alarm Date Updated", "RTC Alarm Date not updated, bus error");
    if (!ShowAlarmDate() && written) {
        action.ReportFailure("RTC Alarm Date not read, bus error");
    }
}

void AlarmPage::ToggleAlarm() {
    if (!RequireConnection("WARNING: Alarm not set, RTC not connected")) {
        return;
    }
    PageAction action(Owner());
    if (alarmEnabled_) {
        DisableOnChip();
        action.Report("RTC Alarm disabled", "RTC Alarm not disabled, bus error");
        return;
    }
    DevicePort rtc(RtcHandle);
    if (!ArmAlarm(rtc)) {
        // The chip did not take the enable: the page stays disabled and does not poll.
        action.ReportFailure("RTC Alarm not enabled, bus error");
        return;
    }
    ShowEnabled();
    action.Report("RTC Alarm enabled", "RTC Alarm not enabled, bus error");
}

void AlarmPage::PollAlarm() {
    if (!alarmEnabled_) {
        KillTimer(Dialog(), AlarmPollTimer);  // a disabled alarm announces nothing
        return;
    }
    if (!BoardConnected) {
        return;
    }
    DevicePort rtc(RtcHandle);
    bool raised = false;
    if (!AlarmFlagRaised(rtc, &raised) || !raised) {
        return;  // an unread flag is no trigger; the next poll looks again
    }
    SetDlgItemTextA(Dialog(), IDC_ALARM_TRIGGERED_TEXT, "Triggered");
    ShowInformation("ALARM TRIGGERED");
    KillTimer(Dialog(), AlarmPollTimer);
    // The flag stays set; only a disable clears it.
    ShowPicture(&triggeredPicture_, IDB_ALARM_TRIGGERED);
    triggerFrame_ = 0;
    SetTimer(Dialog(), AlarmAnimationTimer, kAlarmAnimationPeriodMs, nullptr);
}

void AlarmPage::AnimateTrigger() {
    const int bitmapId = triggerFrame_ >= 0 && triggerFrame_ < kTriggerFrameCount
                             ? kTriggerFrames[triggerFrame_]
                             : IDB_ALARM_DISABLED;
    ShowPicture(&framePicture_, bitmapId);
    triggerFrame_ = triggerFrame_ + 1 >= kTriggerFrameCount ? 0 : triggerFrame_ + 1;
}

void AlarmPage::ShowPicture(HBITMAP* lastLoaded, int bitmapId) {
    ShowBitmap(Dialog(), IDC_ALARM_PICTURE, bitmapId, lastLoaded, Owner());
}

INT_PTR AlarmPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    switch (message) {
        case WM_INITDIALOG:
            Reset();
            SetPickerFormat(Dialog(), IDC_ALARM_TIME_PICKER, kAlarmTimePickerFormatAtCreation);
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) {
                return FALSE;
            }
            switch (LOWORD(wParam)) {
                case IDC_ALARM_SET_TIME:
                    SetAlarmTime();
                    break;
                case IDC_ALARM_SET_DATE:
                    SetAlarmDate();
                    break;
                case IDC_ALARM_TOGGLE:
                    ToggleAlarm();
                    break;
                default:
                    break;
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == AlarmPollTimer) {
                if (CheckHoldsTheBoard()) {
                    return FALSE;  // looked at again once the check has ended
                }
                BusAction tick(kPeriodicTickBusWaitMs);
                PollAlarm();
            } else if (wParam == AlarmAnimationTimer) {
                AnimateTrigger();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace kalendo

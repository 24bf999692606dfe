#include "pages/alarm_page.h"

#include <commctrl.h>

#include "app/bus_action_report.h"
#include "app/connection_state.h"
#include "pages/pc_clock.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/date_text.h"
#include "rtc/picker_formats.h"
#include "rtc/register_bus.h"
#include "rtc/time_text.h"
#include "rtc/twelve_hour_display.h"

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
    for (HBITMAP* picture : {&statePicture_, &triggeredPicture_, &framePicture_}) {
        if (*picture) {
            DeleteObject(*picture);
            *picture = nullptr;
        }
    }
}

int AlarmPage::DialogId() const {
    return IDD_PAGE_ALARM;
}

void AlarmPage::Reset() {
    SetPickerFormat(Dialog(), IDC_ALARM_DAY_PICKER, kAlarmDayPickerFormat);
    // A reset follows connect, disconnect and model change, whose own message on the status
    // line (a connect error among them) must stay readable.
    ShowAlarmTime(false);
    ShowAlarmDate(false);
}

void AlarmPage::OnShow() {
    SetPickerFormat(
        Dialog(), IDC_ALARM_TIME_PICKER,
        TwelveHourDisplay == 1 ? kAlarmTimePickerFormat12Hour : kAlarmTimePickerFormat24Hour);
    ShowAlarmTime();
    ShowAlarmDate();
    SetFocus(GetDlgItem(Dialog(), IDC_ALARM_STATUS_GROUP));
}

void AlarmPage::ShowAlarmTime(bool announce) {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (!BoardConnected) {
        SetPicker(Dialog(), IDC_ALARM_TIME_PICKER, now);
        SetDlgItemTextA(Dialog(), IDC_ALARM_TIME_TEXT, "Unconnected");
        if (announce) {
            ShowInformation("RTC not connected");
        }
        return;
    }
    const int minute = FromAlarmBcd(ReadRtcRegister(kRegMinuteAlarm));
    const int hour = FromAlarmBcd(ReadRtcRegister(kRegHourAlarm));
    now.wHour = static_cast<WORD>(hour);
    now.wMinute = static_cast<WORD>(minute);
    SetPicker(Dialog(), IDC_ALARM_TIME_PICKER, now);
    SetDlgItemTextA(Dialog(), IDC_ALARM_TIME_TEXT, FormatAlarmTimeText(hour, minute).c_str());
}

void AlarmPage::ShowAlarmDate(bool announce) {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (!BoardConnected) {
        SetPicker(Dialog(), IDC_ALARM_DAY_PICKER, now);
        SetDlgItemTextA(Dialog(), IDC_ALARM_DATE_TEXT, "Unconnected");
        if (announce) {
            ShowInformation("RTC not connected");
        }
        return;
    }
    const int day = FromAlarmBcd(ReadRtcRegister(kRegWeekDayAlarm));
    const WORD month = now.wMonth;
    const WORD year = now.wYear;
    now.wDay = static_cast<WORD>(day);
    SetPicker(Dialog(), IDC_ALARM_DAY_PICKER, now);
    SetDlgItemTextA(Dialog(), IDC_ALARM_DATE_TEXT, FormatAlarmDateText(day, month, year).c_str());
}

void AlarmPage::ShowDisabledTexts() {
    alarmEnabled_ = false;
    SetDlgItemTextA(Dialog(), IDC_ALARM_ENABLED_TEXT, "Disabled");
    SetDlgItemTextA(Dialog(), IDC_ALARM_TOGGLE, "Enable Alarm");
}

void AlarmPage::SetAlarmTime() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Alarm Time not set, RTC not connected");
        return;
    }
    // A new alarm time asks for a fresh enable; the chip and the timers stay as they are.
    if (alarmEnabled_) {
        ShowDisabledTexts();
    }
    SYSTEMTIME time = {};
    SendDlgItemMessageA(Dialog(), IDC_ALARM_TIME_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&time));
    BusActionReport report;
    WriteRtcRegister(kRegMinuteAlarm, static_cast<uint8_t>(ToBcd(time.wMinute) & ALARM_VALUE_MASK));
    WriteRtcRegister(kRegHourAlarm, static_cast<uint8_t>(ToBcd(time.wHour) & ALARM_VALUE_MASK));
    // Reported before the read-back, so that only the writes decide success.
    report.Report(Owner(), "RTC Alarm Time Updated", "RTC Alarm Time not updated, bus error");
    ShowAlarmTime();
}

void AlarmPage::SetAlarmDate() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Alarm Date not set, RTC not connected");
        return;
    }
    if (alarmEnabled_) {
        ShowDisabledTexts();
    }
    BusActionReport report;
    UpdateRtcRegister(kRegExtension, 0xFF, EXT_DAY_ALARM);
    SYSTEMTIME date = {};
    SendDlgItemMessageA(Dialog(), IDC_ALARM_DAY_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&date));
    WriteRtcRegister(kRegWeekDayAlarm, static_cast<uint8_t>(ToBcd(date.wDay) & ALARM_VALUE_MASK));
    report.Report(Owner(), "RTC Alarm Date Updated", "RTC Alarm Date not updated, bus error");
    ShowAlarmDate();
}

void AlarmPage::ToggleAlarm() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Alarm not set, RTC not connected");
        return;
    }
    BusActionReport report;
    if (alarmEnabled_) {
        KillTimer(Dialog(), AlarmAnimationTimer);
        ShowDisabledTexts();
        SetDlgItemTextA(Dialog(), IDC_ALARM_TRIGGERED_TEXT, "Not Triggered");
        UpdateRtcRegister(kRegControl, static_cast<uint8_t>(~CTRL_ALARM_INT), 0);
        UpdateRtcRegister(kRegFlag, static_cast<uint8_t>(~FLAG_ALARM), 0);
        // Collected before the picture, whose own failure has its own message.
        report.Collect();
        ShowPicture(&statePicture_, IDB_ALARM_DISABLED);
        report.Report(Owner(), "RTC Alarm disabled", "RTC Alarm not disabled, bus error");
        return;
    }
    alarmEnabled_ = true;
    SetDlgItemTextA(Dialog(), IDC_ALARM_ENABLED_TEXT, "Enabled");
    SetDlgItemTextA(Dialog(), IDC_ALARM_TOGGLE, "Disable Alarm");
    UpdateRtcRegister(kRegFlag, static_cast<uint8_t>(~FLAG_ALARM), 0);
    UpdateRtcRegister(kRegControl, 0xFF, CTRL_ALARM_INT);
    report.Collect();
    ShowPicture(&statePicture_, IDB_ALARM_ENABLED);
    SetTimer(Dialog(), AlarmPollTimer, kAlarmPollPeriodMs, nullptr);
    report.Report(Owner(), "RTC Alarm enabled", "RTC Alarm not enabled, bus error");
}

void AlarmPage::PollAlarm() {
    if (!BoardConnected) {
        return;
    }
    if ((ReadRtcRegister(kRegFlag) & FLAG_ALARM) == 0) {
        return;
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
    if (*lastLoaded) {
        DeleteObject(*lastLoaded);
    }
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(Dialog(), GWLP_HINSTANCE));
    *lastLoaded =
        LoadBitmapA(instance ? instance : GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId));
    if (!*lastLoaded) {
        ShowInformation("Can't load Bitmap");
    }
    SendDlgItemMessageA(Dialog(), IDC_ALARM_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(*lastLoaded));
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

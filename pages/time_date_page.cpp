#include "pages/time_date_page.h"

#include <commctrl.h>

#include <cstdio>

#include "app/connection_state.h"
#include "app/page_action.h"
#include "bridge/register_port.h"
#include "pages/pc_clock.h"
#include "pages/time_write_note.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/guarded_time_write.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/date_text.h"
#include "rtc/texts/picker_formats.h"
#include "rtc/texts/time_text.h"
#include "rtc/texts/twelve_hour_display.h"
#include "rtc/weekday.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_TD_TIME_PICKER, "Select the new Time"},
    {IDC_TD_DATE_PICKER, "Select the new Date"},
    {IDC_TD_SET_TIME, "Click to write the new Time to the RTC"},
    {IDC_TD_SET_DATE, "Click to write the new Date to the RTC"},
    {IDC_TD_AMPM, "Click to display time in AM/PM format"},
    {IDC_TD_24HR, "Click to display time in 24hr format"},
    {IDC_TD_PC_TIME, "Displays current PC system time"},
    {IDC_TD_PC_DATE, "Displays current PC system date"},
    {IDC_TD_SYNC, "Click to synchronize RTC to current system time/date"},
};

bool YearFitsRtc(WORD year) {
    return year >= kFirstRtcYear && year <= kLastRtcYear;
}

}  // namespace

TimeDatePage::TimeDatePage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int TimeDatePage::DialogId() const {
    return IDD_PAGE_TIME_DATE;
}

void TimeDatePage::Reset() {
    HWND dialog = Dialog();
    SendDlgItemMessageA(dialog, IDC_TD_TIME_PICKER, DTM_SETFORMATA, 0,
                        reinterpret_cast<LPARAM>(kTimePickerFormat12Hour));
    SendDlgItemMessageA(dialog, IDC_TD_DATE_PICKER, DTM_SETFORMATA, 0,
                        reinterpret_cast<LPARAM>(kDatePickerFormat));
    // A year outside these cannot be written to the chip (2100 would become the code 0xA0).
    SYSTEMTIME range[2] = {};
    range[0].wYear = kFirstRtcYear;
    range[0].wMonth = 1;
    range[0].wDay = 1;
    range[1].wYear = kLastRtcYear;
    range[1].wMonth = 12;
    range[1].wDay = 31;
    range[1].wHour = 23;
    range[1].wMinute = 59;
    range[1].wSecond = 59;
    SendDlgItemMessageA(dialog, IDC_TD_DATE_PICKER, DTM_SETRANGE, GDTR_MIN | GDTR_MAX,
                        reinterpret_cast<LPARAM>(range));
    LoadRtcTime();
    LoadRtcDate();
}

void TimeDatePage::OnShow() {
    const bool timeRead = LoadRtcTime();
    const bool dateRead = LoadRtcDate();
    if (!timeRead || !dateRead) {
        ShowInformation("ERROR: RTC Time and Date not read, bus error");
    }
    ShowPcTime();
    ShowPcDate();
    SetTimer(Dialog(), PcClockTimer, kPcClockTimerPeriodMs, nullptr);
    SetFocus(GetDlgItem(Dialog(), IDC_TD_TIME_GROUP));
}

void TimeDatePage::OnHide() {
    KillTimer(Dialog(), PcClockTimer);
}

void TimeDatePage::SetPickerTime(int pickerId, const SYSTEMTIME& time) {
    // The picker refuses a value it cannot represent (an invalid register) and keeps its own.
    SendDlgItemMessageA(Dialog(), pickerId, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&time));
}

bool TimeDatePage::LoadRtcTime() {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (BoardConnected) {
        DevicePort rtc(RtcHandle);
        uint8_t seconds = 0;
        uint8_t minutes = 0;
        uint8_t hours = 0;
        if (!rtc.Read8(kRegSeconds, &seconds) || !rtc.Read8(kRegMinutes, &minutes) ||
            !rtc.Read8(kRegHours, &hours)) {
            return false;  // a fallback byte is no time of the chip
        }
        now.wSecond = static_cast<WORD>(FromBcd(seconds));
        now.wMinute = static_cast<WORD>(FromBcd(minutes));
        now.wHour = static_cast<WORD>(FromBcd(hours));
    }
    SetPickerTime(IDC_TD_TIME_PICKER, now);
    return true;
}

bool TimeDatePage::LoadRtcDate() {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (BoardConnected) {
        DevicePort rtc(RtcHandle);
        uint8_t day = 0;
        uint8_t month = 0;
        uint8_t year = 0;
        if (!rtc.Read8(kRegDay, &day) || !rtc.Read8(kRegMonth, &month) ||
            !rtc.Read8(kRegYear, &year)) {
            return false;
        }
        now.wDay = static_cast<WORD>(FromBcd(day));
        now.wMonth = static_cast<WORD>(FromBcd(month));
        now.wYear = static_cast<WORD>(YearFromRegister(year));
    }
    SetPickerTime(IDC_TD_DATE_PICKER, now);
    return true;
}

void TimeDatePage::ShowPcTime() {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    SetDlgItemTextA(Dialog(), IDC_TD_PC_TIME,
                    FormatTimeText(now.wHour, now.wMinute, now.wSecond).c_str());
}

void TimeDatePage::ShowPcDate() {
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    const char* weekday = WeekdayName(WeekdayBit(now.wDayOfWeek));
    SetDlgItemTextA(Dialog(), IDC_TD_PC_DATE,
                    FormatPcDateText(weekday, now.wDay, now.wMonth, now.wYear).c_str());
}

void TimeDatePage::SetRtcTime() {
    if (!RequireConnection("WARNING: Time not set, RTC not connected") || !RequireRtcUndisturbed()) {
        return;
    }
    SYSTEMTIME time = {};
    SendDlgItemMessageA(Dialog(), IDC_TD_TIME_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&time));
    PageAction action(Owner());
    const FieldWrite writes[] = {
        {kRegSeconds, ToBcd(time.wSecond)},
        {kRegMinutes, ToBcd(time.wMinute)},
        {kRegHours, ToBcd(time.wHour)},
    };
    DevicePort rtc(RtcHandle);
    GuardedTimeWrite(rtc, writes);
    action.Report("RTC Time Updated", "RTC Time not updated, bus error");
    // Recorded whether or not all of it reached the chip: part of it may have.
    char what[32];
    std::snprintf(what, sizeof what, "time set %02u:%02u:%02u", time.wHour, time.wMinute,
                  time.wSecond);
    NoteTimeWrite(Owner(), what);
}

void TimeDatePage::SetRtcDate() {
    if (!RequireConnection("WARNING: Date not set, RTC not connected") || !RequireRtcUndisturbed()) {
        return;
    }
    SYSTEMTIME date = {};
    SendDlgItemMessageA(Dialog(), IDC_TD_DATE_PICKER, DTM_GETSYSTEMTIME, 0,
                        reinterpret_cast<LPARAM>(&date));
    // The picker is limited to these years; this only guards against a picker that is not.
    if (!YearFitsRtc(date.wYear)) {
        ShowInformation("ERROR: Date not set, the RTC holds only the years 2000 to 2099");
        return;
    }
    PageAction action(Owner());
    const FieldWrite writes[] = {
        {kRegDay, ToBcd(date.wDay)},
        {kRegMonth, ToBcd(date.wMonth)},
        {kRegYear, YearToRegister(date.wYear)},
        {kRegWeek, WeekdayBit(date.wDayOfWeek)},
    };
    DevicePort rtc(RtcHandle);
    GuardedTimeWrite(rtc, writes);
    action.Report("RTC Date Updated", "RTC Date not updated, bus error");
    char what[32];
    std::snprintf(what, sizeof what, "date set %04u-%02u-%02u", date.wYear, date.wMonth, date.wDay);
    NoteTimeWrite(Owner(), what);
}

void TimeDatePage::SyncRtcToPc() {
    if (!RequireConnection("WARNING: Time not set, RTC not connected") || !RequireRtcUndisturbed()) {
        return;
    }
    SYSTEMTIME now = {};
    PcLocalTime(&now);
    if (!YearFitsRtc(now.wYear)) {
        ShowInformation("ERROR: Time not set, the RTC holds only the years 2000 to 2099");
        return;
    }
    PageAction action(Owner());
    const FieldWrite writes[] = {
        {kRegSeconds, ToBcd(now.wSecond)},      {kRegMinutes, ToBcd(now.wMinute)},
        {kRegHours, ToBcd(now.wHour)},          {kRegDay, ToBcd(now.wDay)},
        {kRegMonth, ToBcd(now.wMonth)},         {kRegYear, YearToRegister(now.wYear)},
        {kRegWeek, WeekdayBit(now.wDayOfWeek)},
    };
    DevicePort rtc(RtcHandle);
    GuardedTimeWrite(rtc, writes);
    action.Report("RTC time Synchronized to system time",
                  "RTC time not synchronized, bus error");
    NoteTimeWrite(Owner(), "time sync");
}

void TimeDatePage::ChooseTimeDisplay(bool twelveHour) {
    TwelveHourDisplay = twelveHour ? 1 : 0;
    SendDlgItemMessageA(
        Dialog(), IDC_TD_TIME_PICKER, DTM_SETFORMATA, 0,
        reinterpret_cast<LPARAM>(twelveHour ? kTimePickerFormat12Hour : kTimePickerFormat24Hour));
    ShowInformation(twelveHour ? "Time format changed to AM/PM" : "Time format changed to 24hr");
    if (!LoadRtcTime()) {
        ShowInformation("ERROR: RTC Time not read, bus error");
    }
}

INT_PTR TimeDatePage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    switch (message) {
        case WM_INITDIALOG:
            CheckDlgButton(Dialog(), IDC_TD_AMPM, BST_CHECKED);
            Reset();
            return TRUE;
        case WM_EDITCOMMIT:
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) {
                return FALSE;
            }
            switch (LOWORD(wParam)) {
                case IDC_TD_AMPM:
                    ChooseTimeDisplay(true);
                    break;
                case IDC_TD_24HR:
                    ChooseTimeDisplay(false);
                    break;
                case IDC_TD_SET_TIME:
                    SetRtcTime();
                    break;
                case IDC_TD_SET_DATE:
                    SetRtcDate();
                    break;
                case IDC_TD_SYNC:
                    SyncRtcToPc();
                    break;
                default:
                    break;
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == PcClockTimer) {
                ShowPcTime();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace kalendo

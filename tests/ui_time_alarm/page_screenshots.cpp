// Photographs the main window on the Time and Date tab and on the Alarm tab (disabled, armed,
// triggered) on the simulated board, as BMP files in the folder given as the first argument.
// tests/ui_time_alarm/screenshots.sh builds it and runs it on a virtual display.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/connection_state.h"
#include "pages/alarm_page.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/rtc_register_access.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

void SetPicker(HWND page, int id, WORD hour, WORD minute, WORD day) {
    SYSTEMTIME t = {};
    GetLocalTime(&t);
    t.wHour = hour;
    t.wMinute = minute;
    t.wDay = day;
    SendDlgItemMessageA(page, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
}

bool Photograph(const std::string& folder, SimBoard& sim, Application& app, HWND main) {
    // 12 December 2026, 10:58:30, under the write guard.
    WriteRtcRegister(kRegControl, 0x41);
    const uint8_t clock[][2] = {{kRegSeconds, 0x30}, {kRegMinutes, 0x58}, {kRegHours, 0x10},
                                {kRegDay, 0x12},     {kRegMonth, 0x12},   {kRegYear, 0x26},
                                {kRegWeek, 0x40}};
    for (const auto& field : clock) {
        WriteRtcRegister(field[0], field[1]);
    }
    WriteRtcRegister(kRegControl, 0x40);
    HWND tab = GetDlgItem(main, IDC_MAIN_TAB);
    SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
    bool ok = SaveWindowBitmap(main, folder + "\\time-and-date.bmp");

    HWND alarm = app.Pages().Page(2)->Dialog();
    SendMessageA(tab, TCM_SETCURFOCUS, 2, 0);
    SetPicker(alarm, IDC_ALARM_TIME_PICKER, 10, 59, 12);
    ClickButton(alarm, IDC_ALARM_SET_TIME);
    SetPicker(alarm, IDC_ALARM_DAY_PICKER, 0, 0, 12);
    ClickButton(alarm, IDC_ALARM_SET_DATE);
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
    ok = SaveWindowBitmap(main, folder + "\\alarm-disabled.bmp") && ok;
    ClickButton(alarm, IDC_ALARM_TOGGLE);
    ok = SaveWindowBitmap(main, folder + "\\alarm-armed.bmp") && ok;
    sim.AdvanceMs(31000);
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
    SendMessageA(alarm, WM_TIMER, AlarmPollTimer, 0);
    ok = SaveWindowBitmap(main, folder + "\\alarm-triggered.bmp") && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return kalendo::RunPhotoProgram(argc, argv, &Photograph);
}

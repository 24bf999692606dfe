// Photographs the main window with the RTC not answering, on the Alarm and Registers tabs, on the
// simulated board, as BMP files in the folder given as the first argument.
// tools/screenshots.sh builds it and runs it on a virtual display.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/application.h"
#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

constexpr unsigned kRtcAddress = 0x32;
constexpr int kAlarmTab = 2;
constexpr int kRegistersTab = 4;

// As a click on the tab does, then the main window's status tick, which reads the RTC as well.
void ShowTabAndTick(HWND main, int tab) {
    SendMessageA(GetDlgItem(main, IDC_MAIN_TAB), TCM_SETCURFOCUS, tab, 0);
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
}

bool Photograph(const std::string& folder, SimBoard& sim, Application& app, HWND main) {
    // An alarm at 7:30 on the 15th is written and the pages read the chip once; then it stops
    // answering, and the pickers keep what they last read.
    ShowTabAndTick(main, kAlarmTab);
    HWND alarm = app.Pages().Page(kAlarmTab)->Dialog();
    SYSTEMTIME at = {};
    GetLocalTime(&at);
    at.wHour = 7;
    at.wMinute = 30;
    at.wDay = 15;
    SendDlgItemMessageA(alarm, IDC_ALARM_TIME_PICKER, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&at));
    ClickButton(alarm, IDC_ALARM_SET_TIME);
    SendDlgItemMessageA(alarm, IDC_ALARM_DAY_PICKER, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&at));
    ClickButton(alarm, IDC_ALARM_SET_DATE);
    ShowTabAndTick(main, kRegistersTab);
    sim.SetAddressAck(kRtcAddress, false);
    ShowTabAndTick(main, kAlarmTab);
    bool ok = SaveWindowBitmap(main, folder + "\\alarm-rtc-not-answering.bmp");
    ShowTabAndTick(main, kRegistersTab);
    ok = SaveWindowBitmap(main, folder + "\\registers-rtc-not-answering.bmp") && ok;
    sim.SetAddressAck(kRtcAddress, true);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return kalendo::RunPhotoProgram(argc, argv, &Photograph);
}

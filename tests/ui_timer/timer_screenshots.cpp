// Photographs the main window on the Timer tab, idle and with a single run going, on the
// simulated board, as BMP files in the folder given as the first argument.
// tests/ui_timer/screenshots.sh builds it and runs it on a virtual display.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/connection_state.h"
#include "pages/timer_page.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

bool Photograph(const std::string& folder, SimBoard& sim, Application& app, HWND main) {
    HWND tab = GetDlgItem(main, IDC_MAIN_TAB);
    SendMessageA(tab, TCM_SETCURFOCUS, 3, 0);
    HWND timer = app.Pages().Page(3)->Dialog();
    HWND source = GetDlgItem(timer, IDC_TIMER_SOURCE);
    SendMessageA(source, CB_SETCURSEL, kTimerClock64Hz, 0);
    SendMessageA(timer, WM_COMMAND, MAKEWPARAM(IDC_TIMER_SOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(source));
    SetDlgItemTextA(timer, IDC_TIMER_COUNTER_EDIT, "640");
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
    bool ok = SaveWindowBitmap(main, folder + "\\timer-idle.bmp");
    ClickButton(timer, IDC_TIMER_INT_TOGGLE);
    ClickButton(timer, IDC_TIMER_SINGLE);
    for (int i = 0; i < 3; ++i) {
        sim.AdvanceMs(150);
        SendMessageA(timer, WM_TIMER, TimerAnimationTimer, 0);
    }
    ok = SaveWindowBitmap(main, folder + "\\timer-running.bmp") && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return kalendo::RunPhotoProgram(argc, argv, &Photograph);
}

// Photographs the Data Sheet Check window during a short check (the supply sweep under way), when
// it has finished, and with three short marks of the board (the RTC set between the first and
// the second), on the simulated board in real time, as BMP files in the folder given as the first
// argument; the marks go to a store in that folder. tools/screenshots.sh runs it on a virtual
// display.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/application.h"
#include "app/tab_page.h"
#include "resources/resource_ids.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

constexpr int kTimeDateTab = 1;

// Pumps the program's messages, with a status tick a second, until `done` or a minute and a half.
template <typename Done>
bool RunUntil(HWND main, Done done) {
    for (int i = 0; i < 900 && !done(); ++i) {
        PumpMessages(100);
        if (i % 10 == 0) SendMessageA(main, WM_TIMER, StatusTimer, 0);
    }
    PumpMessages(200);
    return done();
}

bool Photograph(const std::string& folder, SimBoard& sim, Application& app, HWND main) {
    sim.UseVirtualClock(false);  // the check times the RTC against the PC's clocks
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
    DataSheetCheckWindow& window = app.CheckWindow();
    HWND check = window.Dialog();
    if (!check) return false;
    SetDlgItemTextA(check, IDC_CHECK_MINUTES, "0.5");
    ClickButton(check, IDC_CHECK_START);
    bool ok = RunUntil(main, [&] { return window.Snapshot().steps.size() >= 6; });
    ok = ok && SaveWindowBitmap(check, folder + "\\check-running.bmp");
    ok = ok && RunUntil(main, [&] { return window.Snapshot().finished; });
    ok = ok && SaveWindowBitmap(check, folder + "\\check-finished.bmp");
    const std::string store = folder + "\\check-marks.txt";
    DeleteFileA(store.c_str());
    _putenv_s("KALENDO_MARK_STORE", store.c_str());
    window.SetMarkSeconds(5);
    for (int mark = 0; mark < 3 && ok; ++mark) {
        if (mark == 1) {  // a time write between: the pair across it says nothing
            ClickButton(app.Pages().Page(kTimeDateTab)->Dialog(), IDC_TD_SYNC);
        }
        ClickButton(check, IDC_CHECK_MARK_NOW);
        ok = RunUntil(main, [&] { return !window.Running(); });
        Sleep(3000);  // marks a little apart
    }
    return ok && SaveWindowBitmap(check, folder + "\\check-marks.bmp");
}

}  // namespace

int main(int argc, char** argv) {
    return kalendo::RunPhotoProgram(argc, argv, &Photograph);
}

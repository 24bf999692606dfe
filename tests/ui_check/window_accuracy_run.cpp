// Runs the Data Sheet Check window's accuracy-only run for the minutes given as the second
// argument (the first is the working folder, as for the photo programs) on the simulated board
// in real time, with the main window's status tick going, and prints the result as kalendo-cli
// prints its drift facts. bench/window_accuracy.sh runs it beside kalendo-cli drift.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/application.h"
#include "resources/resource_ids.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

std::string minutes = "10";

bool Run(const std::string&, SimBoard& sim, Application& app, HWND main) {
    sim.UseVirtualClock(false);  // the run times the RTC against the PC's clocks
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
    DataSheetCheckWindow& window = app.CheckWindow();
    HWND check = window.Dialog();
    if (!check) return false;
    SetDlgItemTextA(check, IDC_CHECK_MINUTES, minutes.c_str());
    CheckDlgButton(check, IDC_CHECK_ACCURACY_ONLY, BST_CHECKED);
    ClickButton(check, IDC_CHECK_START);
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(std::atof(minutes.c_str()) * 60000);
    ULONGLONG nextTick = 0;
    while (GetTickCount64() < until) {
        PumpMessages(50);
        if (GetTickCount64() >= nextTick) {  // the main window's status tick, as its timer gives it
            SendMessageA(main, WM_TIMER, StatusTimer, 0);
            nextTick = GetTickCount64() + 1000;
        }
    }
    ClickButton(check, IDC_CHECK_CANCEL);  // "Stop"
    for (int i = 0; i < 100 && !window.Snapshot().finished; ++i) PumpMessages(100);
    const CheckSnapshot s = window.Snapshot();
    const check::AccuracyResult& a = s.result.drift.accuracy;
    if (!a.valid) {
        std::printf("window: no result: %s\n", a.error.c_str());
        return false;
    }
    std::printf("window: offset_ppm %+.4f uncertainty_ppm %.4f fit_ppm %.4f reference_ppm %.4f "
                "span_s %.0f transitions %zu failed_reads %d\n",
                a.ppm, a.uncertaintyPpm, a.fitUncertaintyPpm, a.referenceUncertaintyPpm,
                a.spanSeconds, s.result.drift.transitions.size(), s.result.drift.failedReads);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) minutes = argv[2];
    return kalendo::RunPhotoProgram(argc, argv, &Run);
}

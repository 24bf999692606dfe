// A logging run on the Power and FOUT tab of the simulated board, for docs/: the supply is
// stepped down until the RTC runs from its battery and back up, while the board warms up. Leaves
// the log as datalog-simulated-run.txt and a photograph of the tab as power-fout.bmp in the
// folder given as the first argument. tests/ui_power/run_and_plot.sh builds, runs and plots it.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/connection_state.h"
#include "pages/power_fout_page.h"
#include "resources/resource_ids.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

constexpr int kPowerTab = 5;
constexpr UINT_PTR kMeasureTimer = 1028;
constexpr UINT_PTR kSettleTimer = 1031;

void Choose(HWND page, int box, int index) {
    HWND combo = GetDlgItem(page, box);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(box, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// The trackbar dragged to tenths and left there until the setting is applied.
void SetSupply(HWND page, int tenths) {
    HWND trackbar = GetDlgItem(page, IDC_POWER_SUPPLY_TRACKBAR);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, tenths);
    SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, tenths),
                 reinterpret_cast<LPARAM>(trackbar));
    SendMessageA(page, WM_TIMER, kSettleTimer, 0);
    SendMessageA(page, WM_TIMER, kSettleTimer, 0);
}

bool Photograph(const std::string& folder, SimBoard& sim, Application& app, HWND main) {
    SendMessageA(GetDlgItem(main, IDC_MAIN_TAB), TCM_SETCURFOCUS, kPowerTab, 0);
    auto* power = static_cast<PowerFoutPage*>(app.Pages().Page(kPowerTab));
    HWND page = power->Dialog();
    Choose(page, IDC_POWER_AVERAGING, 0);
    auto setTemperature = SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBoardTemperature");

    const int supplySteps[] = {35, 30, 25, 15, 33};
    constexpr int kCyclesPerStep = 10;
    int cycle = 0;
    bool ok = true;
    for (int tenths : supplySteps) {
        if (tenths != 35) {
            SetSupply(page, tenths);
        }
        for (int i = 0; i < kCyclesPerStep; ++i, ++cycle) {
            if (cycle == 1) {
                // The first record then holds measured values rather than "Unconnected".
                SendMessageA(GetDlgItem(page, IDC_POWER_LOGGING), BM_CLICK, 0, 0);
            }
            setTemperature(24.0 + cycle * 0.1);
            for (int tick = 0; tick < 6; ++tick) {
                sim.AdvanceMs(100);
                SendMessageA(page, WM_TIMER, kMeasureTimer, 0);
            }
        }
        if (tenths == 15) {
            SendMessageA(main, WM_TIMER, StatusTimer, 0);
            ok = SaveWindowBitmap(main, folder + "\\power-fout.bmp") && ok;
        }
    }
    const std::string log = power->Logger().logFileName();
    SendMessageA(GetDlgItem(page, IDC_POWER_LOGGING), BM_CLICK, 0, 0);
    ok = CopyFileA(log.c_str(), (folder + "\\datalog-simulated-run.txt").c_str(), FALSE) && ok;
    DeleteFileA(log.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    return kalendo::RunPhotoProgram(argc, argv, &Photograph);
}

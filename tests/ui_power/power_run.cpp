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
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

constexpr int kPowerTab = 5;
constexpr UINT_PTR kMeasureTimer = 1028;
constexpr UINT_PTR kSettleTimer = 1031;

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    do {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

bool SaveWindow(HWND window, const std::string& path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(300);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = ((width * 3) + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        return false;
    }
    const bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                    std::fwrite(&header, sizeof header, 1, out) == 1 &&
                    std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    std::fclose(out);
    std::printf("%s\n", path.c_str());
    return ok;
}

template <typename Fn>
Fn SimFunction(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ftd2xx.dll"), name)));
}

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

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    SimBoard sim;
    if (!sim.Load()) {
        std::fprintf(stderr, "the simulated ftd2xx.dll was not found\n");
        return 1;
    }
    sim.UseVirtualClock(true);
    Application app;
    if (!app.CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) {
        return 1;
    }
    HWND main = app.MainWindow();
    SendMessageA(GetDlgItem(main, IDC_MAIN_CONNECT), BM_CLICK, 0, 0);
    if (!BoardConnected) {
        std::fprintf(stderr, "not connected\n");
        return 1;
    }
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
            ok = SaveWindow(main, folder + "\\power-fout.bmp") && ok;
        }
    }
    const std::string log = power->Logger().logFileName();
    SendMessageA(GetDlgItem(page, IDC_POWER_LOGGING), BM_CLICK, 0, 0);
    ok = CopyFileA(log.c_str(), (folder + "\\datalog-simulated-run.txt").c_str(), FALSE) && ok;
    DeleteFileA(log.c_str());
    SendMessageA(main, WM_CLOSE, 0, 0);
    app.RunMessageLoop();
    return ok ? 0 : 1;
}

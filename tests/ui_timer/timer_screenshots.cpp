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
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

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

void ClickPage(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
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
    HWND tab = GetDlgItem(main, IDC_MAIN_TAB);
    SendMessageA(tab, TCM_SETCURFOCUS, 3, 0);
    HWND timer = app.Pages().Page(3)->Dialog();
    HWND source = GetDlgItem(timer, IDC_TIMER_SOURCE);
    SendMessageA(source, CB_SETCURSEL, kTimerClock64Hz, 0);
    SendMessageA(timer, WM_COMMAND, MAKEWPARAM(IDC_TIMER_SOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(source));
    SetDlgItemTextA(timer, IDC_TIMER_COUNTER_EDIT, "640");
    SendMessageA(main, WM_TIMER, StatusTimer, 0);
    bool ok = SaveWindow(main, folder + "\\timer-idle.bmp");
    ClickPage(timer, IDC_TIMER_INT_TOGGLE);
    ClickPage(timer, IDC_TIMER_SINGLE);
    for (int i = 0; i < 3; ++i) {
        sim.AdvanceMs(150);
        SendMessageA(timer, WM_TIMER, TimerAnimationTimer, 0);
    }
    ok = SaveWindow(main, folder + "\\timer-running.bmp") && ok;
    SendMessageA(main, WM_CLOSE, 0, 0);
    app.RunMessageLoop();
    return ok ? 0 : 1;
}

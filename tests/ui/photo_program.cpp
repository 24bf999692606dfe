#include "tests/ui/photo_program.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/connection_state.h"
#include "resources/resource_ids.h"

namespace kalendo {

void PumpMessages(DWORD ms) {
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

bool SaveWindowBitmap(HWND window, const std::string& path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages(300);
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
    file.bfType = 0x4D42;  // "BM"
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

void ClickButton(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

HWND OpenConnectedMainWindow(SimBoard& sim, Application& app) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    if (!sim.Load()) {
        std::fprintf(stderr, "the simulated ftd2xx.dll was not found\n");
        return nullptr;
    }
    sim.UseVirtualClock(true);
    if (!app.CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) {
        std::fprintf(stderr, "the main window was not created\n");
        return nullptr;
    }
    HWND main = app.MainWindow();
    SendMessageA(GetDlgItem(main, IDC_MAIN_CONNECT), BM_CLICK, 0, 0);
    if (!BoardConnected) {
        std::fprintf(stderr, "not connected\n");
        return nullptr;
    }
    return main;
}

int RunPhotoProgram(int argc, char** argv, TakePhotographs take) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    SimBoard sim;
    Application app;
    HWND main = OpenConnectedMainWindow(sim, app);
    if (!main) {
        return 1;
    }
    const bool ok = take(folder, sim, app, main);
    SendMessageA(main, WM_CLOSE, 0, 0);
    app.RunMessageLoop();
    return ok ? 0 : 1;
}

}  // namespace kalendo

#include "app/window_placement.h"

namespace kalendo {

char RegistrySubKey[64] = {};

namespace {

constexpr const char* kValueNames[4] = {"MainLeft", "MainTop", "MainRight", "MainBottom"};

void ReadCoordinate(const char* name, LONG* coordinate) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistrySubKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD value = static_cast<DWORD>(*coordinate);
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value) {
        *coordinate = static_cast<LONG>(value);
    }
    RegCloseKey(key);
}

}  // namespace

void RestorePlacement(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    LONG* coordinates[4] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    for (int i = 0; i < 4; ++i) {
        ReadCoordinate(kValueNames[i], coordinates[i]);
    }
    if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) {
        OffsetRect(&rect, kOffscreenFallbackX - rect.left, kOffscreenFallbackY - rect.top);
    }
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

void SavePlacement(const WindowRectangle& rect) {
    const int32_t values[4] = {rect.left, rect.top, rect.right, rect.bottom};
    for (int i = 0; i < 4; ++i) {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, RegistrySubKey, &key) != ERROR_SUCCESS) {
            continue;
        }
        const DWORD value = static_cast<DWORD>(values[i]);
        RegSetValueExA(key, kValueNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
        RegCloseKey(key);
    }
}

}  // namespace kalendo

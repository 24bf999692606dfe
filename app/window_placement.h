// The main window's position, kept per user in the registry as four REG_DWORD screen coordinates.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kalendo {

struct WindowRectangle {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Where a window lands when its saved rectangle lies on no monitor any more.
constexpr int32_t kOffscreenFallbackX = 16;
constexpr int32_t kOffscreenFallbackY = 16;

// The sub-key under HKEY_CURRENT_USER; filled before anything reads it.
extern char RegistrySubKey[64];

// Each coordinate replaces the template's only when stored as a 4-byte REG_DWORD; a rectangle
// on no monitor moves, keeping its size, to (16, 16). Only the position is applied.
void RestorePlacement(HWND window);
// Failures are ignored: the position is a convenience, not data.
void SavePlacement(const WindowRectangle& rect);

}  // namespace kalendo

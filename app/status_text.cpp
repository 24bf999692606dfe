#include "app/status_text.h"

#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <new>

#include "resources/resource_ids.h"

namespace kalendo {

void SetWindowTextFormat(HWND window, const char* format, ...) {
    if (!window || !format) {
        return;
    }
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length >= 0) {
        const size_t size = static_cast<size_t>(length) + 2;
        char* text = new (std::nothrow) char[size];
        if (text) {
            std::vsnprintf(text, size, format, args);
            SetWindowTextA(window, text);
            delete[] text;
        }
    }
    va_end(args);
}

namespace {
bool failureShown = false;  // user-interface thread only
}  // namespace

void ShowInformation(HWND mainWindow, const char* text) {
    if (!mainWindow) {
        return;
    }
    if (text && (std::strncmp(text, "ERROR: ", 7) == 0 || std::strcmp(text, "Can't load Bitmap") == 0)) {
        failureShown = true;
    }
    SetWindowTextA(GetDlgItem(mainWindow, IDC_MAIN_INFO), text);
}

void MarkInformation() {
    failureShown = false;
}

bool FailureShownSinceMark() {
    return failureShown;
}

}  // namespace kalendo

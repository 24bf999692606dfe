#include "app/status_text.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "rtc/texts/text_format.h"

namespace kalendo {

void SetWindowTextFormat(HWND window, const char* format, ...) {
    if (!window || !format) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::string text;
    const bool formatted = FormatTextList(format, args, &text);
    va_end(args);
    if (formatted) {
        SetWindowTextA(window, text.c_str());
    }
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

// Texts of the main window's status lines: printf-style window texts and the information line
// that the main window and every page write to.
#pragma once

#include <windows.h>

namespace kalendo {

// Formats printf-style and sets the result as the window's text. Nothing happens for a null
// window or a format error.
void SetWindowTextFormat(HWND window, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Sets the main window's information line (control 1009). A null main window shows nothing,
// which is what a page sees before the page set has given it its owner.
void ShowInformation(HWND mainWindow, const char* text);

// Whether a failure ("ERROR: ...", "Can't load Bitmap") went to the information line since the
// last mark. The main window marks before a shown page's OnShow and empties the line after it
// unless the page reported a failure there.
void MarkInformation();
bool FailureShownSinceMark();

}  // namespace kalendo

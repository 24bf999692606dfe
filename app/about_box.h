// The modal About box (dialog 300).
#pragma once

#include <windows.h>

namespace kalendo {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kalendo

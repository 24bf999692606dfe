#include "app/about_box.h"

#include "app/status_text.h"
#include "resources/resource_ids.h"

namespace kalendo {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowTextFormat(GetDlgItem(dialog, IDC_ABOUT_BUILD), "BUILD %d",
                                KALENDO_BUILD_NUMBER);
            SetWindowTextFormat(GetDlgItem(dialog, IDC_ABOUT_VERSION), "%s", KALENDO_VERSION_TEXT);
            SetWindowTextFormat(GetDlgItem(dialog, IDC_ABOUT_TEXT), "%s",
                                "\nKalendo Tool for Novar RTCs \n\n");
            return TRUE;
        case WM_COMMAND:
            // The box has no buttons: Enter, Escape and the close box end it.
            if (wParam == IDOK || wParam == IDCANCEL) {
                EndDialog(dialog, 1);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace kalendo

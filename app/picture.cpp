#include "app/picture.h"

#include "app/status_text.h"

namespace kalendo {

void ShowBitmap(HWND dialog, int controlId, int bitmapId, HBITMAP* lastLoaded, HWND mainWindow) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    HBITMAP loaded =
        LoadBitmapA(instance ? instance : GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId));
    if (!loaded) {
        ShowInformation(mainWindow, "Can't load Bitmap");
    }
    SendDlgItemMessageA(dialog, controlId, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(loaded));
    // Freed only now: the control showed it until the line above.
    if (*lastLoaded) {
        DeleteObject(*lastLoaded);
    }
    *lastLoaded = loaded;
}

void ReleaseBitmap(HBITMAP* lastLoaded) {
    if (*lastLoaded) {
        DeleteObject(*lastLoaded);
        *lastLoaded = nullptr;
    }
}

}  // namespace kalendo

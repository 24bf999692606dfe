// A picture control's bitmap from the program's resources, swapped the one safe way: the new
// bitmap is loaded and set first, then the one the control showed before is freed.
#pragma once

#include <windows.h>

namespace kalendo {

// *lastLoaded is the bitmap this source set last (null at first); it becomes the new one. A
// failed load shows "Can't load Bitmap" on the main window's information line and leaves the
// control without a picture.
void ShowBitmap(HWND dialog, int controlId, int bitmapId, HBITMAP* lastLoaded, HWND mainWindow);

// Frees the bitmap a source set last, as its page goes; *lastLoaded becomes null.
void ReleaseBitmap(HBITMAP* lastLoaded);

}  // namespace kalendo

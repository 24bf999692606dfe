// What the programs that photograph pages for docs/ share: the main window opened and connected
// on the simulated board, and a photograph of it as a BMP file.
#pragma once

#include <windows.h>

#include <string>

#include "app/application.h"
#include "tests/ui/sim_board.h"

namespace kalendo {

// Dispatches whatever the queue holds for about ms milliseconds.
void PumpMessages(DWORD ms);

// Redraws the window, lets it paint and saves what the screen shows of it as a 24-bit BMP.
// Prints the path; false when the file could not be written.
bool SaveWindowBitmap(HWND window, const std::string& path);

// Clicks a button of a dialog as the mouse would.
void ClickButton(HWND dialog, int id);

// Loads the simulated board on its virtual clock, opens the main window and presses Connect.
// Returns the main window, or null after saying on stderr what went wrong.
HWND OpenConnectedMainWindow(SimBoard& sim, Application& app);

}  // namespace kalendo

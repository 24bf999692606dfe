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

// Takes a program's photographs into folder, in the connected main window.
using TakePhotographs = bool (*)(const std::string& folder, SimBoard& sim, Application& app,
                                 HWND main);

// The whole of a photo program's main(): the folder is the first argument ("." without one);
// opens the connected main window, runs take and closes the window. Returns the exit code: 0
// when take returned true, 1 when it did not or the window did not open.
int RunPhotoProgram(int argc, char** argv, TakePhotographs take);

}  // namespace kalendo

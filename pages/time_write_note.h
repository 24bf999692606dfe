// The pages' writes of the RTC's time ("Set RTC Time", "Synchronize", "Set RTC Date", a Registers
// page write to a time register or the write guard) go into the mark store as events, as
// kalendo-cli's do: a pair of marks across one says nothing about the crystal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kalendo {

// After the action's own message: records `what` ("time set 14:30:00") for the open board in
// the store (KALENDO_MARK_STORE or the user's default). A store that cannot take it never fails
// the action: the information line gets the reason after the action's message.
void NoteTimeWrite(HWND mainWindow, const std::string& what);

// The model's name as the store keeps it, from the main window's choice.
std::string ChosenModelName();

}  // namespace kalendo

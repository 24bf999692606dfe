// Reports an action's bus work truthfully. The bus layer records a failure only in the sticky
// BusStatus; an action that showed its success text regardless would tell the user that a write
// happened when it did not. Construct one before the action's bus work (it clears the status),
// then Report: the success text, or "ERROR: " and what did not happen.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kalendo {

class BusActionReport {
  public:
    BusActionReport();  // clears BusStatus

    // Takes a failure recorded so far into the report. Call it before anything that consumes
    // and clears BusStatus itself (the main window's refresh steps do).
    bool Collect();
    bool Failed() { return !Collect(); }
    int32_t FirstFailure() const { return firstFailure_; }

    // Shows successText, or "ERROR: <failureText>" when a failure was recorded, on the main
    // window's information line. Returns true on success.
    bool Report(HWND mainWindow, const char* successText, const char* failureText);

  private:
    int32_t firstFailure_ = 0;
};

}  // namespace kalendo

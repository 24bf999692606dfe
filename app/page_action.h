// The frame of every page action and of the main window's own: the bus taken once for the
// action (BusAction), then one report on the information line. Made at the start of the action;
// a page's handler checks the connection first (TabPage::RequireConnection), does its chip
// operations, and reports once.
#pragma once

#include <windows.h>

#include <cstdint>

#include "bridge/bus_action.h"

namespace kalendo {

class PageAction {
  public:
    explicit PageAction(HWND mainWindow, uint32_t budgetMs = kUserActionBusWaitMs);
    PageAction(const PageAction&) = delete;
    PageAction& operator=(const PageAction&) = delete;

    // No transfer of this action failed so far.
    bool Ok() const { return bus_.Ok(); }
    bool BusBusy() const { return bus_.BusBusy(); }
    bool BoardSilent() const { return bus_.BoardSilent(); }

    // Shows successText, or "ERROR: <failureText>" when a transfer of the action failed (an
    // empty successText shows nothing on success). True on success.
    bool Report(const char* successText, const char* failureText);
    // "ERROR: <failureText>" whatever the transfers did (an operation that found a problem of
    // its own, such as a register it could not read before writing).
    void ReportFailure(const char* failureText);

  private:
    HWND mainWindow_;
    BusAction bus_;
};

}  // namespace kalendo

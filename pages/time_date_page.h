// The Time and Date tab: sets the RTC's clock and calendar, or copies the PC's into it, and chooses
// AM/PM or 24-hour display. For now it is the page's frame: its dialog, identity and tooltips.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class TimeDatePage : public TabPage {
  public:
    TimeDatePage();

    void Reserved() override {}
    int KindCode() const override { return 1; }
    int DialogId() const override;
    const char* Caption() const override { return "Time and Date"; }
    const char* TabTip() const override { return "RTC Set Time and Date"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kalendo

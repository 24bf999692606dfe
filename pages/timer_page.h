// The Timer tab: configures and runs the RTC's countdown timer and watches its interrupt flag.
// For now it is the page's frame: its dialog, identity and tooltips.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class TimerPage : public TabPage {
  public:
    TimerPage();

    void Reserved() override {}
    int KindCode() const override { return 4; }
    int DialogId() const override;
    const char* Caption() const override { return "Timer"; }
    const char* TabTip() const override { return "RTC Timer Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kalendo

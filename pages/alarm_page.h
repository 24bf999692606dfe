// The Alarm tab: sets, enables and disables the RTC alarm and watches it trigger.
// For now it is the page's frame: its dialog, identity and tooltips.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class AlarmPage : public TabPage {
  public:
    AlarmPage();

    void Reserved() override {}
    int KindCode() const override { return 3; }
    int DialogId() const override;
    const char* Caption() const override { return "Alarm"; }
    const char* TabTip() const override { return "RTC Alarm Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kalendo

// The Registers tab: lists the chosen model's registers and writes hand-entered register values.
// For now it is the page's frame: its dialog, identity and tooltips.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class RegistersPage : public TabPage {
  public:
    RegistersPage();

    void Reserved() override {}
    int KindCode() const override { return 5; }
    int DialogId() const override;
    const char* Caption() const override { return "Registers"; }
    const char* TabTip() const override { return "RTC Registers"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kalendo

// The Power and FOUT tab: sets the RTC's supply voltage, shows the power measurements and controls
// the FOUT output. For now it is the page's frame: its dialog, identity and tooltips.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class PowerFoutPage : public TabPage {
  public:
    PowerFoutPage();

    void Reserved() override {}
    int KindCode() const override { return 6; }
    int DialogId() const override;
    const char* Caption() const override { return "Power and FOUT"; }
    const char* TabTip() const override { return "Power Module and FOUT Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kalendo

// The Information tab: the data sheet of the model chosen in the main window, from the model
// table read out of rtc_model_info.txt. No bus traffic.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

class InformationPage : public TabPage {
  public:
    InformationPage();

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    int KindCode() const override { return 2; }
    int DialogId() const override;
    const char* Caption() const override { return "Information"; }
    const char* TabTip() const override { return "RTC Information Display"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows model-table record i, where i is the main window's model choice (0 before the page
    // knows its owner). With no choice (an empty model box) the values stay as they are.
    void ShowModelInfo();
};

}  // namespace kalendo

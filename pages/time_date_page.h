// The Time and Date tab: sets the RTC's clock and calendar from two pickers, or copies the PC's
// into it, shows the PC's time and date beside them, and chooses AM/PM or 24-hour display.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

constexpr UINT_PTR PcClockTimer = 1035;
constexpr UINT kPcClockTimerPeriodMs = 1000;

// The years the RTC's two-digit year register can hold; the date picker offers no others.
constexpr WORD kFirstRtcYear = 2000;
constexpr WORD kLastRtcYear = 2099;

class TimeDatePage : public TabPage {
  public:
    TimeDatePage();

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    void OnHide() override;
    int KindCode() const override { return 1; }
    int DialogId() const override;
    const char* Caption() const override { return "Time and Date"; }
    const char* TabTip() const override { return "RTC Set Time and Date"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Pickers from the RTC while connected, otherwise from the PC clock. False when a read
    // failed: the picker then keeps what it showed.
    bool LoadRtcTime();
    bool LoadRtcDate();
    void ShowPcTime();
    void ShowPcDate();

    // Button actions; each writes under the write guard and reports a bus failure as an error.
    void SetRtcTime();
    void SetRtcDate();
    void SyncRtcToPc();

  private:
    void ChooseTimeDisplay(bool twelveHour);
    void SetPickerTime(int pickerId, const SYSTEMTIME& time);
};

}  // namespace kalendo

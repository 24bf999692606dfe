// The Alarm tab: shows the RTC's alarm time and day, writes new ones, enables and disables the
// alarm, polls the chip's alarm flag once a second and animates the trigger until disabled.
#pragma once

#include "app/page_action.h"
#include "app/tab_page.h"

namespace kalendo {

constexpr UINT_PTR AlarmPollTimer = 1032;
constexpr UINT kAlarmPollPeriodMs = 1000;
constexpr UINT_PTR AlarmAnimationTimer = 1033;
constexpr UINT kAlarmAnimationPeriodMs = 250;

class AlarmPage : public TabPage {
  public:
    AlarmPage();
    ~AlarmPage() override;

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    int KindCode() const override { return 3; }
    int DialogId() const override;
    const char* Caption() const override { return "Alarm"; }
    const char* TabTip() const override { return "RTC Alarm Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Unconnected, the displays say so and, when announce is set, so does the status line.
    // False when the read failed: the display shows "Error" and the picker keeps its value.
    bool ShowAlarmTime(bool announce = true);
    bool ShowAlarmDate(bool announce = true);
    void SetAlarmTime();
    void SetAlarmDate();
    void ToggleAlarm();
    void PollAlarm();
    void AnimateTrigger();

    bool AlarmEnabled() const { return alarmEnabled_; }

  private:
    void ShowPicture(HBITMAP* lastLoaded, int bitmapId);
    void ShowDisabledTexts();
    // The page's disabled state: texts, picture 533, poll and animation stopped.
    void ShowDisabled();
    void ShowEnabled();
    // Clears the chip's alarm enable and flag; only when both got through does the page become
    // disabled.
    bool DisableOnChip();

    bool alarmEnabled_ = false;
    int triggerFrame_ = 0;
    HBITMAP statePicture_ = nullptr;      // enabled / disabled
    HBITMAP triggeredPicture_ = nullptr;  // the trigger announcement
    HBITMAP framePicture_ = nullptr;      // the animation's current frame
};

}  // namespace kalendo

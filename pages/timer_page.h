// The Timer tab: configures and runs the RTC's countdown timer (source clock, counter, single or
// periodic runs), tells how long it will run, and polls the chip's timer flag while it runs.
#pragma once

#include <cstdint>

#include "app/tab_page.h"

namespace kalendo {

constexpr UINT_PTR CounterSettleTimer = 1030;
constexpr UINT kCounterSettlePeriodMs = 500;
constexpr UINT_PTR TimerAnimationTimer = 1034;
constexpr UINT kTimerAnimationPeriodMs = 150;

class TimerPage : public TabPage {
  public:
    TimerPage();
    ~TimerPage() override;

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    int KindCode() const override { return 4; }
    int DialogId() const override;
    const char* Caption() const override { return "Timer"; }
    const char* TabTip() const override { return "RTC Timer Settings"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    uint32_t Counter() const { return static_cast<uint32_t>(CounterValue[0]); }
    bool InterruptOn() const { return InterruptEnabled; }
    bool Running() const { return TimerRunning; }
    int Gate() const { return SecondsGate; }

  private:
    // Operations of the page; each says on the information line what it did.
    void ToggleInterrupt();
    void StartStopSingle();
    void StartStopPeriodic();
    void AnimateTimer();
    // The periodic look at the timer flag, within a tick's bus wait.
    void PollTimer();
    void CounterEdited();
    void SourceClockChanged();
    void RefreshCountdown();
    void UpDownScrolled();
    void TrackbarScrolled();
    // The counter follows a scroll to position: applied to the chip at once, then settled.
    void ScrolledTo(int32_t position, bool upDown, bool trackbar);
    void SettleCounter();

    void ReadSourceClock();
    void WriteSourceClock();
    // commit: the counter read is applied as a change (writes it back, stops a run).
    void ReadCounter(bool commit);
    void WriteCounter();
    void UpdateTriggerText();

    // The chip side of a new counter value: write it, end a run, interrupt off.
    void ApplyCounterChange();
    void DisableTimerInterrupt();
    void ShowIntWaiting();
    void ToggleIntText();
    void StopTimerBits();
    void ShowIdlePicture();
    void StartAnimation();
    void StopIfRunning();
    void ZeroCounter();
    void BeginSettle();
    void ApplyModelLimits();
    void StartTimer(bool periodic);
    void StopRun();

    // Sets the counter's controls without the edit box's change notice counting as an edit.
    void ShowCounter(uint32_t value, bool upDown, bool trackbar, bool edit);
    void Announce(const char* text) const;
    // Frees the bitmap this control showed last after the new one is in place.
    void ShowPicture(HBITMAP* lastLoaded, int controlId, int bitmapId);
    // Runs one user action and turns a bus failure during it into "ERROR: failureText".
    void RunAction(void (*action)(TimerPage*), const char* failureText);
    void OnCommand(int id, int code);

    // Kept on purpose: a one-element array, the value column of the counter's spin group row.
    int32_t CounterValue[1] = {0};
    bool InterruptEnabled = false;
    bool IntBlink = false;
    bool TimerRunning = false;
    bool PeriodicMode = false;
    bool Scrolling = false;
    int32_t ScrollSnapshot = -1;
    int FrameIndex = 0;
    int SecondsGate = 0;

    bool settingCounter_ = false;  // the page itself is setting the counter's controls
    bool upDownStep_ =
        false;  // the up-down control is stepping (between UDN_DELTAPOS and its scroll report)
    bool announce_ = true;
    HBITMAP picture_ = nullptr;  // running animation / idle picture
    HBITMAP lamp_ = nullptr;     // INT lamp
};

}  // namespace kalendo

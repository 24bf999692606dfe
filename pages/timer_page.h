// The Timer tab: configures and runs the RTC's countdown timer (source clock, counter, single or
// periodic runs), tells how long it will run, and polls the chip's timer flag while it runs.
#pragma once

#include <cstdint>

#include "app/tab_page.h"
#include "bridge/register_port.h"

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
    // --- the frame (timer_page.cpp) ---
    void OnCommand(int id, int code);
    // Runs one user action and turns a bus failure during it into "ERROR: failureText".
    void RunAction(void (*action)(TimerPage*), const char* failureText);
    // The periodic look at the timer flag, within a tick's bus wait.
    void PollTimer();
    void Announce(const char* text) const;
    // Every register of the page is the RTC's, and the model decides the counter's width.
    static DevicePort Rtc();
    static bool Tq5200();

    // --- runs, animation and the INT lamp (timer_page_run.cpp); each says what it did ---
    void ToggleInterrupt();
    // The start/stop buttons' common check: a board, and the interrupt enabled.
    bool RunButtonAllowed();
    void StartStopSingle();
    void StartStopPeriodic();
    void StartTimer(bool periodic);
    void StopRun();
    void StopIfRunning();
    void StopTimerBits();
    void DisableTimerInterrupt();
    // True when a periodic trigger was shown: PollTimer acknowledges it after a pause.
    bool AnimateTimer();
    // A periodic trigger shown by AnimateTimer: acknowledged after a pause, in a bus action of
    // its own.
    void AcknowledgeShownTrigger();
    void StartAnimation();
    void ShowIdlePicture();
    void ShowIntWaiting();
    void ToggleIntText();
    // Frees the bitmap this control showed last after the new one is in place.
    void ShowPicture(HBITMAP* lastLoaded, int controlId, int bitmapId);

    // --- counter and source clock (timer_page_counter.cpp) ---
    void SourceClockChanged();
    void ReadSourceClock();
    void WriteSourceClock();
    // commit: the counter read is applied as a change (writes it back, stops a run).
    void ReadCounter(bool commit);
    void WriteCounter();
    void ZeroCounter();
    void CounterEdited();
    // The chip side of a new counter value: write it, end a run, interrupt off.
    void ApplyCounterChange();
    void UpdateTriggerText();
    void RefreshCountdown();
    void ApplyModelLimits();
    // Sets the counter's controls without the edit box's change notice counting as an edit.
    void ShowCounter(uint32_t value, bool upDown, bool trackbar, bool edit);
    void UpDownScrolled();
    void TrackbarScrolled();
    // The counter follows a scroll to position: applied to the chip at once, then settled.
    void ScrolledTo(int32_t position, bool upDown, bool trackbar);
    void BeginSettle();
    void SettleCounter();

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

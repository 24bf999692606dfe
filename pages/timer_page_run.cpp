// The Timer page's runs: the interrupt enable, single and periodic runs, the animation that polls
// the timer flag while one runs, and the INT lamp and text.
#include "pages/timer_page.h"

#include "app/connection_state.h"
#include "app/page_action.h"
#include "app/picture.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "rtc/timer_operations.h"

namespace kalendo {

namespace {

constexpr int kAnimationFrames = 6;  // bitmaps 558 to 563
constexpr DWORD kPeriodicTriggerPauseMs = 100;

}  // namespace

void TimerPage::ToggleInterrupt() {
    if (!BoardConnected) {
        Announce("WARNING: Timer Interrupt not set, RTC not connected");
        return;
    }
    DevicePort rtc = Rtc();
    if (InterruptEnabled) {
        kalendo::DisableTimerInterrupt(rtc);
        SetDlgItemTextA(Dialog(), IDC_TIMER_INT_TOGGLE, "Enable Interrupt");
        StopIfRunning();  // while still enabled, so that a running timer really stops
        InterruptEnabled = false;
        Announce("RTC Timer Interrupt Disabled");
        return;
    }
    // A pending flag would end the next run at once.
    if (!EnableTimerInterrupt(rtc)) {
        return;  // the button keeps offering the enable
    }
    SetDlgItemTextA(Dialog(), IDC_TIMER_INT_TOGGLE, "Disable Interrupt");
    InterruptEnabled = true;
    Announce("RTC Timer Interrupt Enabled");
}

bool TimerPage::RunButtonAllowed() {
    if (!BoardConnected) {
        Announce("WARNING: Timer not started, RTC not connected");
        return false;
    }
    if (!InterruptEnabled) {
        Announce("WARNING: Timer not started, Timer Interrupt Not Enabled!");
        return false;
    }
    return true;
}

void TimerPage::StartStopSingle() {
    if (!RunButtonAllowed()) {
        return;
    }
    if (TimerRunning) {
        StopRun();
        return;
    }
    StartTimer(false);
}

void TimerPage::StartStopPeriodic() {
    if (!RunButtonAllowed()) {
        return;
    }
    if (TimerRunning) {
        StopRun();
        // A periodic run also ends with the interrupt off.
        StopTimerBits();
        DisableTimerInterrupt();
        return;
    }
    StartTimer(true);
}

void TimerPage::StopRun() {
    DevicePort rtc = Rtc();
    StopTimer(rtc);
    KillTimer(Dialog(), TimerAnimationTimer);
    ShowIdlePicture();
    TimerRunning = false;
    // Both buttons offer a start again, whichever of them started the run.
    SetDlgItemTextA(Dialog(), IDC_TIMER_SINGLE, "Start Single Timer");
    SetDlgItemTextA(Dialog(), IDC_TIMER_PERIODIC, "Start Periodic Timer");
    Announce("RTC Timer stopped");
}

void TimerPage::StartTimer(bool periodic) {
    DevicePort rtc = Rtc();
    if (!kalendo::StartTimer(rtc)) {
        return;  // nothing runs: the page stays idle
    }
    // The periodic run shows its progress on the INT status only.
    ShowWindow(GetDlgItem(Dialog(), IDC_TIMER_PICTURE), periodic ? SW_HIDE : SW_SHOW);
    ShowIdlePicture();
    ShowIntWaiting();
    // In minute-update mode the first minute update comes at the next full minute, however
    // early: the trigger counts only once the seconds are back where the run started. A gate of
    // an earlier run must not hold up a run in another mode.
    SecondsGate = 0;
    uint8_t clock = 0;
    uint8_t seconds = 0;
    if (ReadTimerSourceClock(rtc, &clock) && clock == kTimerClockMinute &&
        rtc.Read8(kRegSeconds, &seconds)) {
        SecondsGate = FromBcd(seconds);
    }
    StartAnimation();
    TimerRunning = true;
    SetDlgItemTextA(Dialog(), periodic ? IDC_TIMER_PERIODIC : IDC_TIMER_SINGLE,
                    periodic ? "Stop Periodic Timer" : "Stop Single Timer");
    Announce("RTC Timer started");
}

void TimerPage::StopIfRunning() {
    if (!TimerRunning) {
        return;
    }
    if (PeriodicMode) {
        StartStopPeriodic();
    } else {
        StartStopSingle();
    }
}

void TimerPage::AcknowledgeShownTrigger() {
    // The trigger stays in sight a moment before it is acknowledged; the bus is not held
    // meanwhile (the data-sheet check's worker may be timing a transition).
    Sleep(kPeriodicTriggerPauseMs);
    PageAction frame(Owner(), kPeriodicTickBusWaitMs);
    DevicePort rtc = Rtc();
    AcknowledgeTimer(rtc);
    ShowIntWaiting();
    if (!frame.Ok() && !frame.BusBusy()) {
        frame.ReportFailure("RTC Timer flag not cleared, bus error");
    }
}

bool TimerPage::AnimateTimer() {
    if (!BoardConnected) {
        ShowIdlePicture();
        return false;
    }
    ShowPicture(&picture_, IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0 + FrameIndex);
    FrameIndex = FrameIndex < kAnimationFrames - 1 ? FrameIndex + 1 : 0;
    DevicePort rtc = Rtc();
    bool flag = false;
    if (!TimerFlagRaised(rtc, &flag) || flag == IntBlink) {
        return false;  // an unread flag is no trigger
    }
    if (PeriodicMode) {
        ToggleIntText();
        ShowPicture(&lamp_, IDC_TIMER_INT_LAMP, IDB_LAMP_GREEN);
        UpdateWindow(GetDlgItem(Dialog(), IDC_TIMER_INT_TEXT));
        UpdateWindow(GetDlgItem(Dialog(), IDC_TIMER_INT_LAMP));
        return true;  // shown; the poll acknowledges it after a pause
    }
    uint8_t seconds = 0;
    if (SecondsGate != 0 && (!rtc.Read8(kRegSeconds, &seconds) || FromBcd(seconds) < SecondsGate)) {
        return false;  // looked at again on the next tick
    }
    KillTimer(Dialog(), TimerAnimationTimer);
    ToggleIntText();
    StopTimerBits();
    DisableTimerInterrupt();
    ShowPicture(&lamp_, IDC_TIMER_INT_LAMP, IDB_LAMP_GREEN);
    IntBlink = false;
    SecondsGate = 0;
    return false;
}

void TimerPage::DisableTimerInterrupt() {
    if (BoardConnected) {
        DevicePort rtc = Rtc();
        kalendo::DisableTimerInterrupt(rtc);
    }
    InterruptEnabled = false;
    SetDlgItemTextA(Dialog(), IDC_TIMER_INT_TOGGLE, "Enable Interrupt");
}

void TimerPage::StopTimerBits() {
    if (BoardConnected) {
        DevicePort rtc = Rtc();
        StopTimer(rtc);
    }
    TimerRunning = false;
    SetDlgItemTextA(Dialog(), IDC_TIMER_SINGLE, "Start Single Timer");
    SetDlgItemTextA(Dialog(), IDC_TIMER_PERIODIC, "Start Periodic Timer");
}

void TimerPage::ShowIntWaiting() {
    SetDlgItemTextA(Dialog(), IDC_TIMER_INT_TEXT, "Waiting");
    ShowPicture(&lamp_, IDC_TIMER_INT_LAMP, IDB_INT_LAMP_WAITING);
    IntBlink = false;
}

void TimerPage::ToggleIntText() {
    if (!BoardConnected) {
        return;
    }
    SetDlgItemTextA(Dialog(), IDC_TIMER_INT_TEXT, IntBlink ? " " : "Triggered");
    IntBlink = !IntBlink;
}

void TimerPage::ShowIdlePicture() {
    ShowPicture(&picture_, IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0);
    FrameIndex = 0;
}

void TimerPage::StartAnimation() {
    SetTimer(Dialog(), TimerAnimationTimer, kTimerAnimationPeriodMs, nullptr);
    ShowPicture(&picture_, IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0);
    FrameIndex = 1;
}

void TimerPage::ShowPicture(HBITMAP* lastLoaded, int controlId, int bitmapId) {
    ShowBitmap(Dialog(), controlId, bitmapId, lastLoaded, Owner());
}

}  // namespace kalendo

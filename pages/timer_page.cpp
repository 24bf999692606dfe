#include "pages/timer_page.h"

#include <commctrl.h>

#include <string>

#include "app/connection_state.h"
#include "app/page_action.h"
#include "app/picture.h"
#include "bridge/bus_action.h"
#include "bridge/register_port.h"
#include "pages/timer_interval.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "rtc/timer_operations.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_TIMER_INT_TOGGLE, "Click to enable/disable the RTC Timer Interrupt"},
    {IDC_TIMER_INT_LABEL, "Reports whether the RTC INT pin has been triggered"},
    {IDC_TIMER_INT_TEXT, "Reports whether the RTC INT pin has been triggered"},
    {IDC_TIMER_SOURCE, "Select the frequency for the RTC Timer"},
    {IDC_TIMER_COUNTER_EDIT, "Counter value for the RTC Timer"},
    {IDC_TIMER_COUNTER_UPDOWN, "Set the counter value for the RTC Timer"},
    {IDC_TIMER_COUNTER_TRACKBAR, "Set the counter value for the RTC Timer"},
    {IDC_TIMER_SINGLE, "Click to start/stop the RTC Timer"},
    {IDC_TIMER_PICTURE, "Indicates whether the Timer is running"},
};

const SpinGroup kCounterGroup = {IDC_TIMER_COUNTER_EDIT, IDC_TIMER_COUNTER_UPDOWN,
                                 IDC_TIMER_COUNTER_TRACKBAR};

constexpr int kAnimationFrames = 6;  // bitmaps 558 to 563
constexpr DWORD kPeriodicTriggerPauseMs = 100;
constexpr int kCountdownControls[] = {IDC_TIMER_COUNTDOWN_LABEL, IDC_TIMER_COUNTDOWN,
                                      IDC_TIMER_REFRESH_COUNTDOWN};

bool Tq5200() {
    return Tq5200Selected != 0;
}

// Every register of the page is the RTC's.
DevicePort Rtc() {
    return DevicePort(RtcHandle);
}

}  // namespace

TimerPage::TimerPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

TimerPage::~TimerPage() {
    for (HBITMAP* picture : {&picture_, &lamp_}) {
        if (*picture) {
            DeleteObject(*picture);
            *picture = nullptr;
        }
    }
}

int TimerPage::DialogId() const {
    return IDD_PAGE_TIMER;
}

// --- framework slots ----------------------------------------------------------------------------

void TimerPage::Reset() {
    // A reset follows connect, disconnect and model change; their own message on the status line
    // stays readable.
    announce_ = false;
    // A pending settle or animation belongs to the state the reset replaces: left running, it
    // would write a counter or stop a run that no longer exist.
    KillTimer(Dialog(), CounterSettleTimer);
    Scrolling = false;
    ScrollSnapshot = -1;
    KillTimer(Dialog(), TimerAnimationTimer);
    ApplyModelLimits();
    // The chip starts where the page does: counter 0, timer stopped, interrupt off. The connect
    // set-up does not see to that on every model (the TQ5200's leaves the interrupt enable alone).
    ZeroCounter();
    WriteCounter();
    DisableTimerInterrupt();
    ShowIntWaiting();
    StopTimerBits();
    ShowIdlePicture();
    ReadSourceClock();
    ReadCounter(false);
    UpdateTriggerText();
    announce_ = true;
}

void TimerPage::OnShow() {
    RunAction(
        [](TimerPage* page) {
            page->ReadSourceClock();
            page->ReadCounter(true);
        },
        "Timer settings not read, bus error");
    SetFocus(GetDlgItem(Dialog(), IDC_TIMER_INT_GROUP));
}

INT_PTR TimerPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    switch (message) {
        case WM_INITDIALOG: {
            for (const char* name : kTimerClockNames) {
                SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(name));
            }
            SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_SETCURSEL, 0, 0);
            SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_EDIT, EM_LIMITTEXT, 4, 0);
            SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_UPDOWN, UDM_SETRANGE32, 0,
                                kTq5200TimerCounterMax);
            SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_TRACKBAR, TBM_SETRANGEMIN, FALSE, 0);
            SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_TRACKBAR, TBM_SETRANGEMAX, TRUE,
                                kTq5200TimerCounterMax);
            SetDlgItemTextA(Dialog(), IDC_TIMER_TRIGGER_TEXT,
                            "Counter is 0, Timer will not trigger");
            Reset();
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->idFrom == IDC_TIMER_COUNTER_UPDOWN &&
                header->code == UDN_DELTAPOS) {
                // The up-down control now sets its buddy's text itself; that change notice is
                // part of the step, which UpDownScrolled applies once, not a separate edit.
                upDownStep_ = true;
            }
            return FALSE;
        }
        case WM_TIMER:
            if (wParam == CounterSettleTimer) {
                BusAction hold(kUserActionBusWaitMs);  // the end of the user's counter change
                SettleCounter();
            } else if (wParam == TimerAnimationTimer) {
                PollTimer();
            }
            return FALSE;
        case WM_VSCROLL:
            UpDownScrolled();
            return TRUE;
        case WM_HSCROLL:
            TrackbarScrolled();
            return TRUE;
        default:
            return FALSE;
    }
}

void TimerPage::OnCommand(int id, int code) {
    if (id == IDC_TIMER_COUNTER_EDIT && code == EN_CHANGE) {
        if (settingCounter_ || upDownStep_) {
            return;  // the page's own text, or an up-down step: UpDownScrolled takes it
        }
        RunAction([](TimerPage* page) { page->CounterEdited(); },
                  "Timer Counter not set, bus error");
        return;
    }
    if (id == IDC_TIMER_SOURCE && code == CBN_SELCHANGE) {
        RunAction([](TimerPage* page) { page->SourceClockChanged(); },
                  "Timer Source Clock not set, bus error");
        return;
    }
    if (code != 0) {
        return;
    }
    switch (id) {
        case IDC_TIMER_SINGLE:
            PeriodicMode = false;
            RunAction([](TimerPage* page) { page->StartStopSingle(); },
                      TimerRunning ? "RTC Timer not stopped, bus error"
                                   : "RTC Timer not started, bus error");
            break;
        case IDC_TIMER_PERIODIC:
            PeriodicMode = true;
            RunAction([](TimerPage* page) { page->StartStopPeriodic(); },
                      TimerRunning ? "RTC Timer not stopped, bus error"
                                   : "RTC Timer not started, bus error");
            break;
        case IDC_TIMER_INT_TOGGLE:
            RunAction([](TimerPage* page) { page->ToggleInterrupt(); },
                      InterruptEnabled ? "RTC Timer Interrupt not disabled, bus error"
                                       : "RTC Timer Interrupt not enabled, bus error");
            break;
        case IDC_TIMER_REFRESH_COUNTDOWN:
            RunAction([](TimerPage* page) { page->RefreshCountdown(); },
                      "Timer Countdown not read, bus error");
            break;
        default:
            break;
    }
}

void TimerPage::RunAction(void (*action)(TimerPage*), const char* failureText) {
    PageAction frame(Owner());
    action(this);
    if (!frame.Ok()) {
        frame.ReportFailure(failureText);
    }
}

void TimerPage::PollTimer() {
    PageAction frame(Owner(), kPeriodicTickBusWaitMs);
    AnimateTimer();
    // A poll that could not get the bus is skipped; the next one looks again.
    if (!frame.Ok() && !frame.BusBusy()) {
        frame.ReportFailure("RTC Timer flag not read, bus error");
    }
}

void TimerPage::Announce(const char* text) const {
    if (announce_) {
        ShowInformation(text);
    }
}

// --- interrupt and runs -------------------------------------------------------------------------

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

void TimerPage::StartStopSingle() {
    if (!BoardConnected) {
        Announce("WARNING: Timer not started, RTC not connected");
        return;
    }
    if (!InterruptEnabled) {
        Announce("WARNING: Timer not started, Timer Interrupt Not Enabled!");
        return;
    }
    if (TimerRunning) {
        StopRun();
        return;
    }
    StartTimer(false);
}

void TimerPage::StartStopPeriodic() {
    if (!BoardConnected) {
        Announce("WARNING: Timer not started, RTC not connected");
        return;
    }
    if (!InterruptEnabled) {
        Announce("WARNING: Timer not started, Timer Interrupt Not Enabled!");
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

void TimerPage::AnimateTimer() {
    if (!BoardConnected) {
        ShowIdlePicture();
        return;
    }
    ShowPicture(&picture_, IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0 + FrameIndex);
    FrameIndex = FrameIndex < kAnimationFrames - 1 ? FrameIndex + 1 : 0;
    DevicePort rtc = Rtc();
    bool flag = false;
    if (!TimerFlagRaised(rtc, &flag) || flag == IntBlink) {
        return;  // an unread flag is no trigger
    }
    if (PeriodicMode) {
        ToggleIntText();
        ShowPicture(&lamp_, IDC_TIMER_INT_LAMP, IDB_LAMP_GREEN);
        UpdateWindow(GetDlgItem(Dialog(), IDC_TIMER_INT_TEXT));
        UpdateWindow(GetDlgItem(Dialog(), IDC_TIMER_INT_LAMP));
        Sleep(kPeriodicTriggerPauseMs);  // long enough to see the trigger
        AcknowledgeTimer(rtc);
        ShowIntWaiting();
        return;
    }
    uint8_t seconds = 0;
    if (SecondsGate != 0 && (!rtc.Read8(kRegSeconds, &seconds) || FromBcd(seconds) < SecondsGate)) {
        return;  // looked at again on the next tick
    }
    KillTimer(Dialog(), TimerAnimationTimer);
    ToggleIntText();
    StopTimerBits();
    DisableTimerInterrupt();
    ShowPicture(&lamp_, IDC_TIMER_INT_LAMP, IDB_LAMP_GREEN);
    IntBlink = false;
    SecondsGate = 0;
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

// --- source clock and counter -------------------------------------------------------------------

void TimerPage::SourceClockChanged() {
    StopIfRunning();
    DisableTimerInterrupt();
    ShowIntWaiting();
    WriteSourceClock();
    UpdateTriggerText();
}

void TimerPage::ReadSourceClock() {
    if (!BoardConnected) {
        SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_SETCURSEL, kTimerClockSecond, 0);
        return;
    }
    DevicePort rtc = Rtc();
    uint8_t clock = 0;
    if (!ReadTimerSourceClock(rtc, &clock)) {
        return;  // the list keeps its choice: a fallback byte names no source of the chip
    }
    SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_SETCURSEL, clock, 0);
    Announce("Timer Source Clock updated");
}

void TimerPage::WriteSourceClock() {
    if (!BoardConnected) {
        Announce("WARNING: Timer Source Clock not set, RTC not connected");
        return;
    }
    const auto selection = static_cast<uint8_t>(
        SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_GETCURSEL, 0, 0) & EXT_TIMER_CLOCK);
    DevicePort rtc = Rtc();
    SetTimerSourceClock(rtc, selection);
    Announce("Timer Source Clock updated");
}

void TimerPage::ReadCounter(bool commit) {
    if (!BoardConnected) {
        ZeroCounter();
        if (commit) {
            ApplyCounterChange();
        }
        return;
    }
    DevicePort rtc = Rtc();
    uint32_t value = 0;
    if (!ReadTimerCounter(rtc, Tq5200(), &value)) {
        return;  // the controls keep the counter they showed, and nothing is written back
    }
    CounterValue[0] = static_cast<int32_t>(value);
    ShowCounter(value, true, true, true);
    if (commit) {
        ApplyCounterChange();
    }
    // Kept on purpose: the counter read reports with the source-clock read's message.
    Announce("Timer Source Clock updated");
}

void TimerPage::WriteCounter() {
    if (!BoardConnected) {
        Announce("WARNING: Timer Counter not set, RTC not connected");
        return;
    }
    DevicePort rtc = Rtc();
    WriteTimerCounter(rtc, static_cast<uint32_t>(CounterValue[0]), Tq5200());
    Announce("Timer Counter updated");
}

void TimerPage::ZeroCounter() {
    CounterValue[0] = 0;
    ShowCounter(0, true, true, true);
}

void TimerPage::ShowCounter(uint32_t value, bool upDown, bool trackbar, bool edit) {
    const bool outer = settingCounter_;
    settingCounter_ = true;
    if (upDown) {
        SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_UPDOWN, UDM_SETPOS32, 0,
                            static_cast<LPARAM>(value));
    }
    if (trackbar) {
        SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_TRACKBAR, TBM_SETPOS, TRUE,
                            static_cast<LPARAM>(value));
    }
    if (edit) {
        SetDlgItemTextA(Dialog(), IDC_TIMER_COUNTER_EDIT, std::to_string(value).c_str());
    }
    settingCounter_ = outer;
}

void TimerPage::CounterEdited() {
    HWND edit = GetDlgItem(Dialog(), IDC_TIMER_COUNTER_EDIT);
    BOOL isNumber = FALSE;
    uint32_t value = GetDlgItemInt(Dialog(), IDC_TIMER_COUNTER_EDIT, &isNumber, FALSE);
    const uint32_t max = TimerCounterMax(Tq5200());
    // The edit box takes more digits than the chip's counter holds: what is shown is what the
    // chip gets, never a number it would truncate.
    const bool clamped = value > max;
    if (clamped) {
        value = max;
    }
    if (clamped || (!isNumber && GetWindowTextLengthA(edit) > 0)) {
        ShowCounter(value, false, false, true);
        const auto end = static_cast<WPARAM>(GetWindowTextLengthA(edit));
        SendMessageA(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
    }
    CounterValue[0] = static_cast<int32_t>(value);
    ShowCounter(value, false, true, false);
    ApplyCounterChange();
}

void TimerPage::ApplyCounterChange() {
    UpdateTriggerText();
    WriteCounter();
    StopIfRunning();
    DisableTimerInterrupt();
    ShowIntWaiting();
    Announce(BoardConnected ? "Timer Counter value changed"
                            : "WARNING: Timer Counter not set, RTC not connected");
}

void TimerPage::UpdateTriggerText() {
    const int source =
        static_cast<int>(SendDlgItemMessageA(Dialog(), IDC_TIMER_SOURCE, CB_GETCURSEL, 0, 0));
    std::string text;
    if (TimerTriggerText(BoardConnected, static_cast<uint32_t>(CounterValue[0]), source, &text)) {
        SetDlgItemTextA(Dialog(), IDC_TIMER_TRIGGER_TEXT, text.c_str());
    }
}

void TimerPage::RefreshCountdown() {
    if (!BoardConnected) {
        return;
    }
    DevicePort rtc = Rtc();
    uint32_t count = 0;
    if (!ReadTimerCountdown(rtc, &count)) {
        SetDlgItemTextA(Dialog(), IDC_TIMER_COUNTDOWN, "Error");
        return;
    }
    SetDlgItemTextA(Dialog(), IDC_TIMER_COUNTDOWN, std::to_string(count).c_str());
}

void TimerPage::ApplyModelLimits() {
    const uint32_t max = TimerCounterMax(Tq5200());
    SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_EDIT, EM_LIMITTEXT,
                        TimerCounterDigits(Tq5200()), 0);
    SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_UPDOWN, UDM_SETRANGE32, 0, max);
    SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_TRACKBAR, TBM_SETRANGEMIN, FALSE, 0);
    SendDlgItemMessageA(Dialog(), IDC_TIMER_COUNTER_TRACKBAR, TBM_SETRANGEMAX, TRUE, max);
    for (int id : kCountdownControls) {
        ShowWindow(GetDlgItem(Dialog(), id), Tq5200() ? SW_SHOW : SW_HIDE);
    }
}

// --- scrolling ----------------------------------------------------------------------------------

void TimerPage::UpDownScrolled() {
    int32_t position = 0;
    const bool moved = TrackUpDown(kCounterGroup, &position);
    upDownStep_ = false;  // every step ends with a scroll report, moved or not
    if (moved) {
        ScrolledTo(position, false, true);
    }
}

void TimerPage::TrackbarScrolled() {
    int32_t position = 0;
    settingCounter_ = true;  // TrackTrackbar writes the edit box
    const bool moved = TrackTrackbar(kCounterGroup, &position);
    settingCounter_ = false;
    if (moved) {
        ScrolledTo(position, true, false);
    }
}

void TimerPage::ScrolledTo(int32_t position, bool upDown, bool trackbar) {
    CounterValue[0] = position;
    ShowCounter(static_cast<uint32_t>(position), upDown, trackbar, true);
    // Every step is a counter change on the chip at once (written, a run stopped, the interrupt
    // off), so no start can slip in with the old counter; the settle writes the final value again.
    RunAction([](TimerPage* page) { page->ApplyCounterChange(); },
              "Timer Counter not set, bus error");
    BeginSettle();
}

void TimerPage::BeginSettle() {
    if (Scrolling) {
        return;
    }
    Scrolling = true;
    ScrollSnapshot = CounterValue[0];
    SetTimer(Dialog(), CounterSettleTimer, kCounterSettlePeriodMs, nullptr);
}

void TimerPage::SettleCounter() {
    if (CounterValue[0] != ScrollSnapshot) {
        ScrollSnapshot = CounterValue[0];
        return;
    }
    KillTimer(Dialog(), CounterSettleTimer);
    Scrolling = false;
    ScrollSnapshot = -1;
    RunAction([](TimerPage* page) { page->ApplyCounterChange(); },
              "Timer Counter not set, bus error");
}

}  // namespace kalendo

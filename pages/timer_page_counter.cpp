// The Timer page's counter and source clock: reading and writing them, the counter's three
// controls kept in step, the trigger and countdown texts, and the settle after scrolling.
#include "pages/timer_page.h"

#include <commctrl.h>

#include <string>

#include "app/connection_state.h"
#include "pages/timer_interval.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "rtc/timer_operations.h"

namespace kalendo {

namespace {

const SpinGroup kCounterGroup = {IDC_TIMER_COUNTER_EDIT, IDC_TIMER_COUNTER_UPDOWN,
                                 IDC_TIMER_COUNTER_TRACKBAR};

constexpr int kCountdownControls[] = {IDC_TIMER_COUNTDOWN_LABEL, IDC_TIMER_COUNTDOWN,
                                      IDC_TIMER_REFRESH_COUNTDOWN};

}  // namespace

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
    if (!RequireRtcUndisturbed()) {
        return;
    }
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

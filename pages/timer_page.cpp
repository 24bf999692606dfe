// The Timer page's frame: its identity, the messages and commands it takes, the reset, and the
// action frame every command runs in. The runs are in timer_page_run.cpp, the counter and source
// clock in timer_page_counter.cpp.
#include "pages/timer_page.h"

#include <commctrl.h>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/page_action.h"
#include "app/picture.h"
#include "bridge/bus_action.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"

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

}  // namespace

TimerPage::TimerPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

TimerPage::~TimerPage() {
    ReleaseBitmap(&picture_);
    ReleaseBitmap(&lamp_);
}

int TimerPage::DialogId() const {
    return IDD_PAGE_TIMER;
}

bool TimerPage::Tq5200() {
    return Tq5200Selected != 0;
}

DevicePort TimerPage::Rtc() {
    return DevicePort(RtcHandle);
}

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
                if (CheckMeasuresTheRtc()) {
                    // A counter change still settling when a run began is not written.
                    KillTimer(Dialog(), CounterSettleTimer);
                    Scrolling = false;
                    ScrollSnapshot = -1;
                    ShowInformation(kRefusedWhileMeasuring);
                    return FALSE;
                }
                BusAction hold(kUserActionBusWaitMs);  // the end of the user's counter change
                SettleCounter();
            } else if (wParam == TimerAnimationTimer && !CheckHoldsTheBoard()) {
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
        if (!RequireRtcUndisturbed()) {
            return;
        }
        RunAction([](TimerPage* page) { page->CounterEdited(); },
                  "Timer Counter not set, bus error");
        return;
    }
    if (id == IDC_TIMER_SOURCE && code == CBN_SELCHANGE) {
        if (!RequireRtcUndisturbed()) {
            return;
        }
        RunAction([](TimerPage* page) { page->SourceClockChanged(); },
                  "Timer Source Clock not set, bus error");
        return;
    }
    if (code != 0) {
        return;
    }
    const bool writes =
        id == IDC_TIMER_SINGLE || id == IDC_TIMER_PERIODIC || id == IDC_TIMER_INT_TOGGLE;
    if (writes && !RequireRtcUndisturbed()) {
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
    bool periodicTrigger = false;
    {
        PageAction frame(Owner(), kPeriodicTickBusWaitMs);
        periodicTrigger = AnimateTimer();
        // A poll that could not get the bus is skipped; the next one looks again.
        if (!frame.Ok() && !frame.BusBusy()) {
            frame.ReportFailure("RTC Timer flag not read, bus error");
            return;
        }
    }
    if (periodicTrigger) {
        AcknowledgeShownTrigger();
    }
}

void TimerPage::Announce(const char* text) const {
    if (announce_) {
        ShowInformation(text);
    }
}

}  // namespace kalendo

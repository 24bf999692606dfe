#include "tests/ui_timer/timer_page_test_support.h"

#include <commctrl.h>

#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"

namespace kalendo {

void TimerPageTest::StartConnected(int model) {
    StartOnTab(kTimerTab);
    ChooseModel(model);
    Connect();
    ShowTab(0);
    ShowTab(kTimerTab);
}

TimerPage& TimerPageTest::Page() const {
    return *static_cast<TimerPage*>(app_->Pages().Page(kTimerTab));
}

void TimerPageTest::ChooseSource(int index) const {
    HWND combo = PageItem(kTimerTab, IDC_TIMER_SOURCE);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(PageDialog(kTimerTab), WM_COMMAND, MAKEWPARAM(IDC_TIMER_SOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

void TimerPageTest::TypeCounter(const char* digits) const {
    HWND edit = PageItem(kTimerTab, IDC_TIMER_COUNTER_EDIT);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char* c = digits; *c; ++c) {
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
}

void TimerPageTest::PressKey(int id, WPARAM key) const {
    HWND control = PageItem(kTimerTab, id);
    SetFocus(control);
    SendMessageA(control, WM_KEYDOWN, key, 1);
    SendMessageA(control, WM_KEYUP, key, 0xC0000001);
}

std::vector<BusWrite> TimerPageTest::CounterWrites() const {
    std::vector<BusWrite> writes;
    for (const BusWrite& w : sim_.ValueWrites(kRtcAddress)) {
        if (w.reg == kRegTimerCounter0 || w.reg == kRegTimerCounter1 || w.reg == kRegTimer2Preset) {
            writes.push_back(w);
        }
    }
    return writes;
}

void TimerPageTest::StartRun(int source, const char* counter, int startButton) {
    ChooseSource(source);
    TypeCounter(counter);
    ClickPage(IDC_TIMER_INT_TOGGLE);
    ASSERT_EQ(Text(IDC_MAIN_INFO), "RTC Timer Interrupt Enabled");
    ClickPage(startButton);
    ASSERT_EQ(Text(IDC_MAIN_INFO), "RTC Timer started");
    ASSERT_TRUE(AnimationRunning());
}

void TimerPageTest::ExpectTriggeredAndIdle() {
    EXPECT_EQ(PageText(IDC_TIMER_INT_TEXT), "Triggered");
    EXPECT_TRUE(ShowsBitmap(IDC_TIMER_INT_LAMP, IDB_LAMP_GREEN));
    EXPECT_FALSE(AnimationRunning());
    EXPECT_FALSE(Page().Running());
    EXPECT_FALSE(Page().InterruptOn());
    EXPECT_EQ(PageText(IDC_TIMER_SINGLE), "Start Single Timer");
    EXPECT_EQ(PageText(IDC_TIMER_INT_TOGGLE), "Enable Interrupt");
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    EXPECT_EQ(ReadRtc(kRegFlag) & FLAG_TIMER, 0);
}

}  // namespace kalendo

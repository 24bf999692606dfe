// The main window on the simulated board with the Timer tab in front, and the user's hands on
// it: the source clock list, typing into the counter box, arrow keys, the flag-poll ticks.
#pragma once

#include <string>
#include <vector>

#include "pages/timer_page.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {

constexpr int kTimerTab = 3;

class TimerPageTest : public RtcPageTest {
  protected:
    // Started on the Timer tab, the model chosen, connected.
    void StartConnected(int model = 0);
    TimerPage& Page() const;
    std::string PageText(int id) const { return RtcPageTest::PageText(kTimerTab, id); }
    void ClickPage(int id) const { RtcPageTest::ClickPage(kTimerTab, id); }

    void ChooseSource(int index) const;
    // Replaces the counter box's text key by key, as typing does.
    void TypeCounter(const char* digits) const;
    // A key pressed and released on one of the page's controls.
    void PressKey(int id, WPARAM key) const;
    void TickAnimation() const { TickPage(kTimerTab, TimerAnimationTimer); }
    void TickSettle() const { TickPage(kTimerTab, CounterSettleTimer); }
    bool AnimationRunning() const {
        return TimerRunning(kTimerTab, TimerAnimationTimer, kTimerAnimationPeriodMs);
    }
    bool SettleRunning() const {
        return TimerRunning(kTimerTab, CounterSettleTimer, kCounterSettlePeriodMs);
    }
    bool ShowsBitmap(int id, int bitmapId) const {
        return RtcPageTest::ShowsBitmap(kTimerTab, id, bitmapId);
    }

    // The writes to the counter's registers (0x0B, 0x0C, 0x1F) since the last clear.
    std::vector<BusWrite> CounterWrites() const;
    // Configured and started through the page: source, typed counter, interrupt, start button.
    void StartRun(int source, const char* counter, int startButton);
    void ExpectTriggeredAndIdle();
};

}  // namespace kalendo

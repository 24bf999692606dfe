// The Timer page with a TQ5100 on the simulated board: runs in every source clock on the chip's
// own timer, the periodic mode, the minute-update gate, the counter's controls and the writes
// each user action causes, the not-connected and failed-bus paths.
#include <windows.h>

#include <commctrl.h>

#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "rtc/flag_register.h"
#include "rtc/rtc_registers.h"
#include "tests/ui_timer/timer_page_test_support.h"

namespace kalendo {
namespace {

TEST_F(TimerPageTest, SingleRunInEachSourceClockEndsByItselfAtTheFirstFlag) {
    // Counter, time that must pass without a trigger, time after which it must have come.
    const struct {
        int source;
        const char* counter;
        unsigned quietMs;
        unsigned triggerMs;
    } cases[] = {
        {kTimerClock4096Hz, "2048", 450, 100},  // 0.5 s
        {kTimerClock64Hz, "96", 1450, 100},     // 1.5 s
        {kTimerClockSecond, "3", 1900, 1200},   // 3 second updates, phase unknown
        {kTimerClockMinute, "1", 59000, 1500},  // the next minute update from hh:mm:00
    };
    StartConnected();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        SetRtcClock(MakeTime(2026, 12, 10, 9, 15, 0));
        StartRun(c.source, c.counter, IDC_TIMER_SINGLE);
        EXPECT_EQ(PageText(IDC_TIMER_SINGLE), "Stop Single Timer");
        EXPECT_NE(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
        sim_.AdvanceMs(c.quietMs);
        TickAnimation();
        EXPECT_EQ(PageText(IDC_TIMER_INT_TEXT), "Waiting");
        EXPECT_TRUE(Page().Running());
        sim_.AdvanceMs(c.triggerMs);
        TickAnimation();
        ExpectTriggeredAndIdle();
    }
}

TEST_F(TimerPageTest, MinuteUpdateRunStartedAtSecondFortyTriggersOnlyAtSecondForty) {
    StartConnected();
    SetRtcClock(MakeTime(2026, 12, 10, 9, 15, 40));
    StartRun(kTimerClockMinute, "1", IDC_TIMER_SINGLE);
    EXPECT_EQ(Page().Gate(), 40);
    sim_.AdvanceMs(21000);  // 9:16:01: the minute update has raised the flag
    ASSERT_NE(ReadRtc(kRegFlag) & FLAG_TIMER, 0);
    TickAnimation();
    EXPECT_EQ(PageText(IDC_TIMER_INT_TEXT), "Waiting");
    EXPECT_TRUE(AnimationRunning());
    sim_.AdvanceMs(38000);  // 9:16:39
    TickAnimation();
    EXPECT_TRUE(Page().Running());
    sim_.AdvanceMs(1000);  // 9:16:40
    TickAnimation();
    ExpectTriggeredAndIdle();
    EXPECT_EQ(Page().Gate(), 0);
}

TEST_F(TimerPageTest, PeriodicRunClearsEachFlagAndRunsOnUntilStopped) {
    StartConnected();
    StartRun(kTimerClockSecond, "1", IDC_TIMER_PERIODIC);
    EXPECT_EQ(PageText(IDC_TIMER_PERIODIC), "Stop Periodic Timer");
    EXPECT_FALSE(IsWindowVisible(PageItem(kTimerTab, IDC_TIMER_PICTURE)));
    for (int run = 0; run < 3; ++run) {
        sim_.AdvanceMs(1100);
        ASSERT_NE(ReadRtc(kRegFlag) & FLAG_TIMER, 0);
        const uint8_t flag = ReadRtc(kRegFlag);
        sim_.ClearRegisterWrites();
        TickAnimation();
        // The flags the mask clears are written 0, the others 1 (left as they are).
        const std::vector<BusWrite> clearFlag = {
            {kRegFlag, {static_cast<uint8_t>((flag & ~kFlagRegisterFlags) |
                                             (TIMER_INT_CLEAR_MASK & kFlagRegisterFlags))}}};
        EXPECT_EQ(sim_.ValueWrites(kRtcAddress), clearFlag);
        EXPECT_EQ(PageText(IDC_TIMER_INT_TEXT), "Waiting");
        EXPECT_TRUE(AnimationRunning());
        EXPECT_TRUE(Page().InterruptOn());
        EXPECT_NE(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    }
    ClickPage(IDC_TIMER_PERIODIC);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Timer stopped");
    EXPECT_EQ(PageText(IDC_TIMER_PERIODIC), "Start Periodic Timer");
    EXPECT_EQ(PageText(IDC_TIMER_INT_TOGGLE), "Enable Interrupt");  // periodic stop: interrupt off
    EXPECT_FALSE(AnimationRunning());
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
}

TEST_F(TimerPageTest, SingleStopKeepsTheInterruptAndAStaleMinuteGateHoldsNoLaterRun) {
    StartConnected();
    SetRtcClock(MakeTime(2026, 12, 10, 9, 15, 40));
    StartRun(kTimerClockMinute, "5", IDC_TIMER_PERIODIC);
    ASSERT_EQ(Page().Gate(), 40);
    ClickPage(IDC_TIMER_SINGLE);  // stops the periodic run the single way
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Timer stopped");
    EXPECT_TRUE(Page().InterruptOn());
    EXPECT_EQ(PageText(IDC_TIMER_PERIODIC), "Start Periodic Timer");
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);

    // A run in seconds at 9:15:41 triggers at once, not when the seconds reach 40 again.
    ChooseSource(kTimerClockSecond);
    TypeCounter("1");
    ClickPage(IDC_TIMER_INT_TOGGLE);
    ClickPage(IDC_TIMER_SINGLE);
    EXPECT_EQ(Page().Gate(), 0);
    sim_.AdvanceMs(1100);
    TickAnimation();
    ExpectTriggeredAndIdle();
}

TEST_F(TimerPageTest, RunningAnimationCyclesTheSixFramesAndFreesEachOneBefore) {
    StartConnected();
    StartRun(kTimerClockMinute, "100", IDC_TIMER_SINGLE);
    EXPECT_TRUE(ShowsBitmap(IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0));
    EXPECT_TRUE(ShowsBitmap(IDC_TIMER_INT_LAMP, IDB_INT_LAMP_WAITING));
    const int frames[] = {IDB_TIMER_FRAME_1, IDB_TIMER_FRAME_2, IDB_TIMER_FRAME_3,
                          IDB_TIMER_FRAME_4, IDB_TIMER_FRAME_5, IDB_TIMER_FRAME_0,
                          IDB_TIMER_FRAME_1};
    for (int frame : frames) {
        TickAnimation();
        EXPECT_TRUE(ShowsBitmap(IDC_TIMER_PICTURE, frame)) << frame;
    }
    // Each frame's bitmap is deleted once the next one is shown, never while it is shown.
    const auto shown = [this] {
        return reinterpret_cast<HBITMAP>(
            SendMessageA(PageItem(kTimerTab, IDC_TIMER_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0));
    };
    for (int i = 0; i < 12; ++i) {
        HBITMAP before = shown();
        ASSERT_EQ(GetObjectType(before), static_cast<DWORD>(OBJ_BITMAP));
        TickAnimation();
        EXPECT_EQ(GetObjectType(before), 0u) << "frame bitmap left undeleted";
    }
    EXPECT_TRUE(ShowsBitmap(IDC_TIMER_INT_LAMP, IDB_INT_LAMP_WAITING));  // the lamp stays drawn

    ClickPage(IDC_TIMER_SINGLE);
    EXPECT_TRUE(ShowsBitmap(IDC_TIMER_PICTURE, IDB_TIMER_FRAME_0));
    EXPECT_FALSE(AnimationRunning());
}

TEST_F(TimerPageTest, StartIsRefusedWithoutTheInterruptAndEveryActionWarnsWhileNotConnected) {
    StartConnected();
    sim_.ClearRegisterWrites();
    for (int button : {IDC_TIMER_SINGLE, IDC_TIMER_PERIODIC}) {
        ClickPage(button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Timer not started, Timer Interrupt Not Enabled!");
    }
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    EXPECT_FALSE(AnimationRunning());

    Click(IDC_MAIN_CONNECT);  // disconnect
    ASSERT_FALSE(BoardConnected);
    EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), "RTC is not connected, Timer will not trigger");
    EXPECT_EQ(PageText(IDC_TIMER_SOURCE), "Second Update");
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "0");
    const struct {
        int button;
        const char* warning;
    } cases[] = {
        {IDC_TIMER_INT_TOGGLE, "WARNING: Timer Interrupt not set, RTC not connected"},
        {IDC_TIMER_SINGLE, "WARNING: Timer not started, RTC not connected"},
        {IDC_TIMER_PERIODIC, "WARNING: Timer not started, RTC not connected"},
    };
    sim_.ClearRegisterWrites();
    for (const auto& c : cases) {
        ClickPage(c.button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.warning);
    }
    ChooseSource(kTimerClock64Hz);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Timer Source Clock not set, RTC not connected");
    TypeCounter("12");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Timer Counter not set, RTC not connected");
    EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), "RTC is not connected, Timer will not trigger");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
}

TEST_F(TimerPageTest, TriggerTextAtTheUnitBoundariesOfTheFastClocks) {
    const struct {
        int source;
        const char* counter;
        const char* text;
    } cases[] = {
        {kTimerClock4096Hz, "4", "Counter will trigger after 976.56 \xB5s"},
        {kTimerClock4096Hz, "5", "Counter will trigger after 1.221 ms"},
        {kTimerClock64Hz, "63", "Counter will trigger after 984.375 ms"},
        {kTimerClock64Hz, "64", "Counter will trigger after 1.00 seconds"},
        {kTimerClockMinute, "0", "Counter is 0, Timer will not trigger"},
    };
    StartConnected();
    for (const auto& c : cases) {
        ChooseSource(c.source);
        TypeCounter(c.counter);
        EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), c.text) << c.counter;
        EXPECT_EQ(Text(IDC_MAIN_INFO), "Timer Counter value changed");
    }
}

TEST_F(TimerPageTest, TypingWritesEachKeyAndAValueBeyondTwelveBitsIsClampedWhereItIsShown) {
    StartConnected();
    ChooseSource(kTimerClockSecond);
    sim_.ClearRegisterWrites();
    TypeCounter("5000");
    const std::vector<BusWrite> expected = {
        {kRegTimerCounter0, {5}},    {kRegTimerCounter1, {0}},     // "5"
        {kRegTimerCounter0, {50}},   {kRegTimerCounter1, {0}},     // "50"
        {kRegTimerCounter0, {0xF4}}, {kRegTimerCounter1, {0x01}},  // "500"
        {kRegTimerCounter0, {0xFF}}, {kRegTimerCounter1, {0x0F}},  // "5000" held as 4095
    };
    EXPECT_EQ(CounterWrites(), expected);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "4095");
    EXPECT_EQ(Page().Counter(), 4095u);
    EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), "Counter will trigger after 4095 seconds");
    EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_TRACKBAR), TBM_GETPOS, 0, 0),
              4095);
    EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_UPDOWN), UDM_GETPOS32, 0, 0),
              4095);
    EXPECT_FALSE(IsWindowVisible(PageItem(kTimerTab, IDC_TIMER_COUNTDOWN)));
    EXPECT_FALSE(IsWindowVisible(PageItem(kTimerTab, IDC_TIMER_REFRESH_COUNTDOWN)));
}

TEST_F(TimerPageTest, EachScrollStepWritesTheCounterAndEndsTheRunAndTheSettleWritesItOnceMore) {
    StartConnected();
    ChooseSource(kTimerClockSecond);
    TypeCounter("10");
    ClickPage(IDC_TIMER_INT_TOGGLE);
    ClickPage(IDC_TIMER_SINGLE);
    ASSERT_TRUE(Page().Running());
    sim_.ClearRegisterWrites();

    PressKey(IDC_TIMER_COUNTER_EDIT, VK_UP);  // the up-down control's arrow keys
    const std::vector<BusWrite> first = {{kRegTimerCounter0, {11}}, {kRegTimerCounter1, {0}}};
    EXPECT_EQ(CounterWrites(), first);
    EXPECT_FALSE(Page().Running());
    EXPECT_FALSE(Page().InterruptOn());
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Timer Counter value changed");
    EXPECT_TRUE(SettleRunning());

    PressKey(IDC_TIMER_COUNTER_EDIT, VK_UP);
    PressKey(IDC_TIMER_COUNTER_EDIT, VK_UP);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "13");
    EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_TRACKBAR), TBM_GETPOS, 0, 0), 13);
    EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), "Counter will trigger after 13 seconds");
    TickSettle();  // the value moved since the scroll began: wait on
    PressKey(IDC_TIMER_COUNTER_TRACKBAR, VK_RIGHT);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "14");
    TickSettle();
    TickSettle();  // unchanged for a whole period: the final value once more
    const std::vector<BusWrite> steps = {
        {kRegTimerCounter0, {11}}, {kRegTimerCounter1, {0}}, {kRegTimerCounter0, {12}},
        {kRegTimerCounter1, {0}},  {kRegTimerCounter0, {13}}, {kRegTimerCounter1, {0}},
        {kRegTimerCounter0, {14}}, {kRegTimerCounter1, {0}},  // the trackbar step
        {kRegTimerCounter0, {14}}, {kRegTimerCounter1, {0}},  // the settle
    };
    EXPECT_EQ(CounterWrites(), steps);
    EXPECT_FALSE(SettleRunning());
    EXPECT_EQ(ReadRtc(kRegTimerCounter0), 14);
}

TEST_F(TimerPageTest, StartRightAfterAScrollStepIsRefusedBecauseTheStepTurnedTheInterruptOff) {
    const struct {
        int control;
        WPARAM key;
    } steps[] = {{IDC_TIMER_COUNTER_EDIT, VK_UP}, {IDC_TIMER_COUNTER_TRACKBAR, VK_RIGHT}};
    StartConnected();
    ChooseSource(kTimerClockSecond);
    TypeCounter("10");
    for (const auto& step : steps) {
        SCOPED_TRACE(step.control);
        ClickPage(IDC_TIMER_INT_TOGGLE);
        ASSERT_TRUE(Page().InterruptOn());
        PressKey(step.control, step.key);
        ClickPage(IDC_TIMER_SINGLE);  // before the settle tick
        EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Timer not started, Timer Interrupt Not Enabled!");
        EXPECT_FALSE(Page().Running());
        EXPECT_FALSE(AnimationRunning());
        EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
        EXPECT_EQ(ReadRtc(kRegTimerCounter0), Page().Counter());
    }
}

TEST_F(TimerPageTest, DisableInterruptClearsItsBitsAndStopsARunOfEitherMode) {
    const struct {
        int startButton;
        std::vector<uint8_t> registersWritten;
    } cases[] = {
        {IDC_TIMER_SINGLE, {kRegControl, kRegFlag, kRegExtension}},
        // The periodic stop also clears the timer bits and the interrupt once more.
        {IDC_TIMER_PERIODIC,
         {kRegControl, kRegFlag, kRegExtension, kRegExtension, kRegControl, kRegFlag}},
    };
    StartConnected();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startButton);
        StartRun(kTimerClockSecond, "30", c.startButton);
        const uint8_t control = ReadRtc(kRegControl);
        ASSERT_NE(control & CTRL_TIMER_INT, 0);
        sim_.ClearRegisterWrites();
        ClickPage(IDC_TIMER_INT_TOGGLE);
        std::vector<uint8_t> written;
        for (const BusWrite& w : sim_.ValueWrites(kRtcAddress)) {
            written.push_back(w.reg);
        }
        EXPECT_EQ(written, c.registersWritten);
        EXPECT_EQ(sim_.ValueWrites(kRtcAddress).front().values,
                  std::vector<uint8_t>{static_cast<uint8_t>(control & TIMER_INT_CLEAR_MASK)});
        EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Timer Interrupt Disabled");
        EXPECT_EQ(PageText(IDC_TIMER_INT_TOGGLE), "Enable Interrupt");
        EXPECT_FALSE(Page().InterruptOn());
        EXPECT_FALSE(Page().Running());
        EXPECT_FALSE(AnimationRunning());
        EXPECT_EQ(PageText(IDC_TIMER_SINGLE), "Start Single Timer");
        EXPECT_EQ(PageText(IDC_TIMER_PERIODIC), "Start Periodic Timer");
        EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
        EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    }
}

TEST_F(TimerPageTest, SourceClockWriteKeepsTheOtherBitsOfTheExtensionRegister) {
    const struct {
        int source;
        uint8_t written;
    } cases[] = {
        {kTimerClock4096Hz, 0x4C}, {kTimerClock64Hz, 0x4D}, {kTimerClockMinute, 0x4F}};
    StartConnected();
    for (const auto& c : cases) {
        WriteRtc(kRegExtension, 0x4E);  // day alarm, FOUT bits 11, second update
        sim_.ClearRegisterWrites();
        ChooseSource(c.source);
        std::vector<BusWrite> extensionWrites;
        for (const BusWrite& w : sim_.ValueWrites(kRtcAddress)) {
            if (w.reg == kRegExtension) {
                extensionWrites.push_back(w);
            }
        }
        const std::vector<BusWrite> expected = {{kRegExtension, {c.written}}};
        EXPECT_EQ(extensionWrites, expected) << c.source;
        EXPECT_EQ(Text(IDC_MAIN_INFO), "Timer Source Clock updated");
    }
}

TEST_F(TimerPageTest, SwitchingToTheTabWhileATimerRunsStopsItAndWritesTheCounterBackOnce) {
    StartConnected();
    StartRun(kTimerClockSecond, "300", IDC_TIMER_SINGLE);
    ShowTab(0);
    EXPECT_TRUE(Page().Running());  // the run goes on behind another tab
    sim_.ClearRegisterWrites();
    ShowTab(kTimerTab);
    const std::vector<BusWrite> once = {{kRegTimerCounter0, {0x2C}}, {kRegTimerCounter1, {0x01}}};
    EXPECT_EQ(CounterWrites(), once);
    EXPECT_FALSE(Page().Running());
    EXPECT_FALSE(Page().InterruptOn());
    EXPECT_FALSE(AnimationRunning());
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "300");
}

TEST_F(TimerPageTest, FailedWritesReportAnErrorAndLeaveThePageAsItWas) {
    StartConnected();
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(IDC_TIMER_INT_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Timer Interrupt not enabled, bus error");
    EXPECT_EQ(PageText(IDC_TIMER_INT_TOGGLE), "Enable Interrupt");
    EXPECT_FALSE(Page().InterruptOn());
    TypeCounter("7");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Timer Counter not set, bus error");
    ChooseSource(kTimerClock64Hz);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Timer Source Clock not set, bus error");

    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(IDC_TIMER_INT_TOGGLE);
    ASSERT_TRUE(Page().InterruptOn());
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(IDC_TIMER_SINGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Timer not started, bus error");
    EXPECT_FALSE(Page().Running());
    EXPECT_FALSE(AnimationRunning());
    EXPECT_EQ(PageText(IDC_TIMER_SINGLE), "Start Single Timer");
}

}  // namespace
}  // namespace kalendo

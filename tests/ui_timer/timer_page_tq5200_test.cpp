// The Timer page with a TQ5200 on the simulated board: the 24-bit counter in 0x0B, 0x0C and
// 0x1F, its width in the controls, and the running count from the monitor registers.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/connection_state.h"
#include "bridge/register_access.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "tests/ui_timer/timer_page_test_support.h"

namespace kalendo {
namespace {

constexpr int kTq5200Model = 1;

TEST_F(TimerPageTest, TwentyFourBitCounterIsWrittenToThreeRegistersAndReadBack) {
    StartConnected(kTq5200Model);
    ChooseSource(kTimerClock4096Hz);
    sim_.ClearRegisterWrites();
    TypeCounter("70000");  // 0x011170
    const std::vector<BusWrite> last = {
        {kRegTimerCounter0, {0x70}}, {kRegTimerCounter1, {0x11}}, {kRegTimer2Preset, {0x01}}};
    const std::vector<BusWrite> writes = CounterWrites();
    ASSERT_EQ(writes.size(), 15u);  // three registers for each of the five keys
    EXPECT_EQ(std::vector<BusWrite>(writes.end() - 3, writes.end()), last);
    EXPECT_EQ(PageText(IDC_TIMER_TRIGGER_TEXT), "Counter will trigger after 17089.800 ms");

    // Put on the chip behind the page's back, then read when the tab is shown again.
    WriteRtc(kRegTimerCounter0, 0x56);
    WriteRtc(kRegTimerCounter1, 0x34);
    WriteRtc(kRegTimer2Preset, 0x12);
    ShowTab(0);
    ShowTab(kTimerTab);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "1193046");
    EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_TRACKBAR), TBM_GETPOS, 0, 0),
              0x123456);

    EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_EDIT), EM_GETLIMITTEXT, 0, 0), 8);
    TypeCounter("99999999");  // eight digits fit the box, not the counter
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "16777215");
    EXPECT_EQ(ReadRtc(kRegTimerCounter0), 0xFF);
    EXPECT_EQ(ReadRtc(kRegTimerCounter1), 0xFF);
    EXPECT_EQ(ReadRtc(kRegTimer2Preset), 0xFF);
}

TEST_F(TimerPageTest, ReconnectingPutsTheChipInThePagesStartingState) {
    // The TQ5200's connect set-up leaves its interrupt enable alone: the page's reset must clear
    // it, or the button would offer "Enable Interrupt" for an interrupt that is on.
    StartConnected(kTq5200Model);
    TypeCounter("70000");
    ClickPage(IDC_TIMER_INT_TOGGLE);
    ASSERT_NE(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    Click(IDC_MAIN_CONNECT);  // disconnect
    Click(IDC_MAIN_CONNECT);  // connect again
    ASSERT_TRUE(BoardConnected);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_TIMER_INT, 0);
    EXPECT_EQ(ReadRtc(kRegExtension) & EXT_TIMER_ENABLE, 0);
    for (uint8_t reg : {kRegTimerCounter0, kRegTimerCounter1, kRegTimer2Preset}) {
        EXPECT_EQ(ReadRtc(reg), 0) << int(reg);
    }
    EXPECT_EQ(PageText(IDC_TIMER_COUNTER_EDIT), "0");
    EXPECT_EQ(PageText(IDC_TIMER_INT_TOGGLE), "Enable Interrupt");
}

TEST_F(TimerPageTest, CountdownShowsTheMonitorRegistersOnlyWhenRefreshed) {
    StartConnected(kTq5200Model);
    for (int id : {IDC_TIMER_COUNTDOWN_LABEL, IDC_TIMER_COUNTDOWN, IDC_TIMER_REFRESH_COUNTDOWN}) {
        EXPECT_TRUE(IsWindowVisible(PageItem(kTimerTab, id))) << id;
    }
    StartRun(kTimerClock4096Hz, "70000", IDC_TIMER_SINGLE);
    sim_.AdvanceMs(1000);  // 4096 ticks, and a few more for the bus transfers' own time
    TickAnimation();
    EXPECT_EQ(PageText(IDC_TIMER_COUNTDOWN), "0");
    ClickPage(IDC_TIMER_REFRESH_COUNTDOWN);
    const int count = std::stoi(PageText(IDC_TIMER_COUNTDOWN));
    EXPECT_LE(count, 70000 - 4095);
    EXPECT_GE(count, 70000 - 4096 - 64);
    // One burst for all three bytes: read one by one, each waiting for the bridge's latency
    // timer, the low byte could wrap between the reads and the value be 256 off.
    const int fromRegisters = static_cast<int>(ReadRegisterChecked(kRegTimer0Monitor, 24));
    EXPECT_LE(fromRegisters, count);  // counting on
    EXPECT_GE(fromRegisters, count - 64);
    EXPECT_TRUE(Page().Running());

    // With the RTC not answering the countdown shows no invented count.
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(IDC_TIMER_REFRESH_COUNTDOWN);
    EXPECT_EQ(PageText(IDC_TIMER_COUNTDOWN), "Error");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Timer Countdown not read, bus error");
    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(IDC_TIMER_REFRESH_COUNTDOWN);
    EXPECT_NE(PageText(IDC_TIMER_COUNTDOWN), "Error");
}

}  // namespace
}  // namespace kalendo

// The RTC pages when the RTC stops answering: each page says that its read failed, shows "Error"
// where a display would show a value, keeps its pickers and edit boxes as they were, and shows
// the chip's values again once it answers. The main window empties its information line before
// the page is shown, so the page's own report stays readable.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/connection_state.h"
#include "pages/timer_page.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {
namespace {

constexpr int kTimerTab = 3;
constexpr int kInformationTab = 0;

class FailedReadTest : public RtcPageTest {
  protected:
    // The tab shown again, as a click on it does (another tab in between).
    void ShowAgain(int tab) {
        ShowTab(kInformationTab);
        ShowTab(tab);
    }
    std::string TimeOf(int tab, int picker) const {
        const SYSTEMTIME t = Picker(tab, picker);
        char text[32];
        wsprintfA(text, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
        return text;
    }
    int DayOf(int tab, int picker) const { return Picker(tab, picker).wDay; }
    // Puts the Timer page's counter box and source list at values of the chip.
    void SetTimerChoices(int source, const char* counter) {
        HWND combo = PageItem(kTimerTab, IDC_TIMER_SOURCE);
        SendMessageA(combo, CB_SETCURSEL, source, 0);
        SendMessageA(PageDialog(kTimerTab), WM_COMMAND,
                     MAKEWPARAM(IDC_TIMER_SOURCE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        HWND edit = PageItem(kTimerTab, IDC_TIMER_COUNTER_EDIT);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        for (const char* c = counter; *c; ++c) {
            SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
        }
    }
};

struct PageCase {
    const char* name;
    int tab;
    // Puts known values in the chip and the page (the RTC answering).
    std::function<void()> prepare;
    // The information line after the page is shown with the RTC not answering.
    const char* error;
    // What the page shows then: no value it did not read.
    std::function<void()> expectHeld;
    // The information line once the RTC answers again, and the values read then.
    const char* recovered;
    std::function<void()> expectRecovered;
};

TEST_F(FailedReadTest, EachPageReportsAFailedReadShowsErrorAndKeepsItsLastValues) {
    const std::vector<PageCase> cases = {
        {"Time and Date", kTimeDateTab,
         [this] {
             SetRtcClock(MakeTime(2026, 12, 12, 10, 58, 30));
             ShowAgain(kTimeDateTab);
             ASSERT_EQ(TimeOf(kTimeDateTab, IDC_TD_TIME_PICKER), "10:58:30");
             ASSERT_EQ(DayOf(kTimeDateTab, IDC_TD_DATE_PICKER), 12);
         },
         "ERROR: RTC Time and Date not read, bus error",
         [this] {
             EXPECT_EQ(TimeOf(kTimeDateTab, IDC_TD_TIME_PICKER), "10:58:30");
             EXPECT_EQ(DayOf(kTimeDateTab, IDC_TD_DATE_PICKER), 12);
         },
         "",
         [this] {
             EXPECT_EQ(TimeOf(kTimeDateTab, IDC_TD_TIME_PICKER), "07:06:05");
             EXPECT_EQ(DayOf(kTimeDateTab, IDC_TD_DATE_PICKER), 3);
         }},
        {"Alarm", kAlarmTab,
         [this] {
             WriteRtc(kRegMinuteAlarm, 0x30);
             WriteRtc(kRegHourAlarm, 0x07);
             WriteRtc(kRegWeekDayAlarm, 0x15);
             ShowAgain(kAlarmTab);
             ASSERT_EQ(PageText(kAlarmTab, IDC_ALARM_TIME_TEXT), "07:30 AM");
         },
         "ERROR: RTC Alarm settings not read, bus error",
         [this] {
             EXPECT_EQ(PageText(kAlarmTab, IDC_ALARM_TIME_TEXT), "Error");
             EXPECT_EQ(PageText(kAlarmTab, IDC_ALARM_DATE_TEXT), "Error");
             EXPECT_EQ(Picker(kAlarmTab, IDC_ALARM_TIME_PICKER).wHour, 7);
             EXPECT_EQ(Picker(kAlarmTab, IDC_ALARM_TIME_PICKER).wMinute, 30);
             EXPECT_EQ(DayOf(kAlarmTab, IDC_ALARM_DAY_PICKER), 15);
         },
         "",
         [this] {
             EXPECT_EQ(PageText(kAlarmTab, IDC_ALARM_TIME_TEXT), "07:30 AM");
             EXPECT_NE(PageText(kAlarmTab, IDC_ALARM_DATE_TEXT).find(" 15, "),
                       std::string::npos);
         }},
        {"Timer", kTimerTab,
         [this] {
             SetTimerChoices(kTimerClock64Hz, "123");
             ShowAgain(kTimerTab);
             ASSERT_EQ(PageText(kTimerTab, IDC_TIMER_COUNTER_EDIT), "123");
         },
         "ERROR: Timer settings not read, bus error",
         [this] {
             EXPECT_EQ(PageText(kTimerTab, IDC_TIMER_COUNTER_EDIT), "123");
             EXPECT_EQ(PageText(kTimerTab, IDC_TIMER_SOURCE), "64Hz");
             EXPECT_EQ(SendMessageA(PageItem(kTimerTab, IDC_TIMER_COUNTER_TRACKBAR), TBM_GETPOS,
                                    0, 0),
                       123);
         },
         "",  // a shown page's routine message is not kept
         [this] {
             EXPECT_EQ(PageText(kTimerTab, IDC_TIMER_COUNTER_EDIT), "123");
             EXPECT_EQ(PageText(kTimerTab, IDC_TIMER_SOURCE), "64Hz");
         }},
        {"Registers", kRegistersTab,
         [this] {
             WriteRtc(0x07, 0xA5);  // the RAM register
             ShowAgain(kRegistersTab);
             ASSERT_EQ(RegisterCell(7, 2), "A5");
         },
         "ERROR: RTC Register values not read, bus error",
         [this] {
             EXPECT_EQ(RegisterCell(7, 2), "Error");
             EXPECT_EQ(RegisterCell(7, 3), "Error");
             EXPECT_EQ(RegisterCell(0, 2), "Error");
             EXPECT_EQ(RegisterCell(7, 1), "RAM");  // the other columns stay
             EXPECT_EQ(RegisterCell(0x19, 2), "00");  // a reserved register is never read
         },
         "",
         [this] {
             EXPECT_EQ(RegisterCell(7, 2), "A5");
             EXPECT_EQ(RegisterCell(7, 3), "165");
         }},
    };
    StartOnTab(kInformationTab);
    Connect();
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        sim_.SetAddressAck(kRtcAddress, false);
        ShowAgain(c.tab);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.error);
        c.expectHeld();

        sim_.SetAddressAck(kRtcAddress, true);
        SetRtcClock(MakeTime(2026, 11, 3, 7, 6, 5));
        ShowAgain(c.tab);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.recovered);
        c.expectRecovered();
    }
}

TEST_F(FailedReadTest, ChoosingATimeDisplayWithTheRtcNotAnsweringKeepsTheTimePicker) {
    StartOnTab(kTimeDateTab);
    Connect();
    SetRtcClock(MakeTime(2026, 12, 12, 21, 15, 40));
    ShowAgain(kTimeDateTab);
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(kTimeDateTab, IDC_TD_24HR);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Time not read, bus error");
    EXPECT_EQ(TimeOf(kTimeDateTab, IDC_TD_TIME_PICKER), "21:15:40");
    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(kTimeDateTab, IDC_TD_AMPM);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Time format changed to AM/PM");
}

}  // namespace
}  // namespace kalendo

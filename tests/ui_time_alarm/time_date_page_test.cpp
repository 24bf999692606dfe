// The Time and Date page on the simulated board: the guarded writes of its three actions, the
// pickers loaded from the chip, the PC clock texts, the display option and the not-connected and
// failed-bus paths.

#include <functional>
#include <regex>
#include <vector>

#include "app/connection_state.h"
#include "pages/time_date_page.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/twelve_hour_display.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {
namespace {

using TimeDatePageTest = RtcPageTest;

constexpr int kTab = kTimeDateTab;

TEST_F(TimeDatePageTest, EachWriteActionWritesItsFieldsInOrderUnderTheGuardAndClearsIt) {
    const SYSTEMTIME saturday = MakeTime(2026, 12, 12, 9, 30, 0);
    ASSERT_EQ(saturday.wDayOfWeek, 6);
    const SYSTEMTIME sunday = MakeTime(2027, 1, 3, 8, 9, 10);
    ASSERT_EQ(sunday.wDayOfWeek, 0);
    // The control register holds the guard and another bit before each action; the other bit
    // must survive and the guard must end cleared.
    constexpr uint8_t kControlBefore = 0x40 | CTRL_WRITE_GUARD;
    struct Case {
        const char* name;
        int button;
        std::function<void()> prepare;
        std::vector<BusWrite> fields;
        const char* message;
    } cases[] = {
        {"set time",
         IDC_TD_SET_TIME,
         [&] {
             ASSERT_TRUE(SetPicker(kTab, IDC_TD_TIME_PICKER, MakeTime(2026, 12, 10, 13, 45, 7)));
         },
         {{0x00, {0x07}}, {0x01, {0x45}}, {0x02, {0x13}}},
         "RTC Time Updated"},
        {"set date on a Saturday",
         IDC_TD_SET_DATE,
         [&] { ASSERT_TRUE(SetPicker(kTab, IDC_TD_DATE_PICKER, saturday)); },
         {{0x04, {0x12}}, {0x05, {0x12}}, {0x06, {0x26}}, {0x03, {0x40}}},
         "RTC Date Updated"},
        {"synchronise on a Sunday",
         IDC_TD_SYNC,
         [&] { HoldPcClock(sunday); },
         {{0x00, {0x10}},
          {0x01, {0x09}},
          {0x02, {0x08}},
          {0x04, {0x03}},
          {0x05, {0x01}},
          {0x06, {0x27}},
          {0x03, {0x01}}},
         "RTC time Synchronized to system time"},
    };
    StartOnTab(kTab);
    Connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteRtc(kRegControl, kControlBefore);
        c.prepare();
        sim_.ClearRegisterWrites();
        ClickPage(kTab, c.button);
        std::vector<BusWrite> expected = {{kRegControl, {kControlBefore}}};
        expected.insert(expected.end(), c.fields.begin(), c.fields.end());
        expected.push_back({kRegControl, {0x40}});
        EXPECT_EQ(sim_.ValueWrites(kRtcAddress), expected);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.message);
        EXPECT_EQ(ReadRtc(kRegControl) & CTRL_WRITE_GUARD, 0);
    }
    // The chip now holds the synchronised moment; the main window and the pickers show it.
    Tick();
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "08:09:10 AM");
    EXPECT_EQ(Text(IDC_MAIN_RTC_DATE), "Sunday, January 03, 2027");
    ShowTab(0);
    ShowTab(kTab);
    const SYSTEMTIME time = Picker(kTab, IDC_TD_TIME_PICKER);
    EXPECT_EQ(time.wHour * 10000 + time.wMinute * 100 + time.wSecond, 80910);
    const SYSTEMTIME date = Picker(kTab, IDC_TD_DATE_PICKER);
    EXPECT_EQ(date.wYear * 10000 + date.wMonth * 100 + date.wDay, 20270103);
}

TEST_F(TimeDatePageTest, DatePickerOffersOnlyTheYearsTheChipCanHold) {
    StartOnTab(kTab);
    Connect();
    ASSERT_TRUE(SetPicker(kTab, IDC_TD_DATE_PICKER, MakeTime(2026, 5, 6, 0, 0, 0)));
    for (WORD year : {1999, 2100}) {
        SCOPED_TRACE(year);
        SetPicker(kTab, IDC_TD_DATE_PICKER, MakeTime(year, 1, 1, 0, 0, 0));
        EXPECT_EQ(Picker(kTab, IDC_TD_DATE_PICKER).wYear, 2026);
    }
    for (WORD year : {2000, 2099}) {
        SCOPED_TRACE(year);
        ASSERT_TRUE(SetPicker(kTab, IDC_TD_DATE_PICKER, MakeTime(year, 6, 15, 0, 0, 0)));
        sim_.ClearRegisterWrites();
        ClickPage(kTab, IDC_TD_SET_DATE);
        const std::vector<BusWrite> writes = sim_.ValueWrites(kRtcAddress);
        ASSERT_EQ(writes.size(), 6u);
        EXPECT_EQ(writes[3],
                  (BusWrite{kRegYear, {static_cast<uint8_t>(year == 2000 ? 0x00 : 0x99)}}));
    }
}

TEST_F(TimeDatePageTest, SynchronizingRefusesAPcYearTheChipCannotHold) {
    const struct {
        WORD year;
        const char* message;
        size_t writes;  // guard, seven fields, guard cleared
    } cases[] = {
        {1999, "ERROR: Time not set, the RTC holds only the years 2000 to 2099", 0},
        {2100, "ERROR: Time not set, the RTC holds only the years 2000 to 2099", 0},
        {2099, "RTC time Synchronized to system time", 9},
    };
    StartOnTab(kTab);
    Connect();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.year);
        HoldPcClock(MakeTime(c.year, 6, 15, 12, 0, 0));
        sim_.ClearRegisterWrites();
        ClickPage(kTab, IDC_TD_SYNC);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.message);
        EXPECT_EQ(sim_.ValueWrites(kRtcAddress).size(), c.writes);
    }
}

TEST_F(TimeDatePageTest, PickersKeepTheirValuesWhenTheChipHoldsAnImpossibleHourOrDay) {
    StartOnTab(kTab);
    Connect();
    SetRtcClock(MakeTime(2026, 12, 12, 10, 58, 30));
    ShowTab(0);
    ShowTab(kTab);
    ASSERT_EQ(Picker(kTab, IDC_TD_TIME_PICKER).wHour, 10);
    ASSERT_EQ(Picker(kTab, IDC_TD_DATE_PICKER).wDay, 12);
    // An hour of 25 beside a changed minute, a day of 32 beside a changed month: the pickers
    // refuse the whole value and keep theirs.
    WriteRtc(kRegMinutes, 0x11);
    WriteRtc(kRegHours, 0x25);
    WriteRtc(kRegMonth, 0x05);
    WriteRtc(kRegDay, 0x32);
    ShowTab(0);
    ShowTab(kTab);
    const SYSTEMTIME time = Picker(kTab, IDC_TD_TIME_PICKER);
    EXPECT_EQ(time.wHour, 10);
    EXPECT_EQ(time.wMinute, 58);
    const SYSTEMTIME date = Picker(kTab, IDC_TD_DATE_PICKER);
    EXPECT_EQ(date.wDay, 12);
    EXPECT_EQ(date.wMonth, 12);
}

TEST_F(TimeDatePageTest, WriteActionsWarnAndTouchNothingWhileNotConnected) {
    const struct {
        int button;
        const char* warning;
    } cases[] = {
        {IDC_TD_SET_TIME, "WARNING: Time not set, RTC not connected"},
        {IDC_TD_SET_DATE, "WARNING: Date not set, RTC not connected"},
        {IDC_TD_SYNC, "WARNING: Time not set, RTC not connected"},
    };
    StartOnTab(kTab);
    sim_.ClearRegisterWrites();
    for (const auto& c : cases) {
        ClickPage(kTab, c.button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.warning);
    }
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
}

TEST_F(TimeDatePageTest, FailedWritesReportAnErrorInsteadOfSuccess) {
    const struct {
        int button;
        const char* error;
    } cases[] = {
        {IDC_TD_SET_TIME, "ERROR: RTC Time not updated, bus error"},
        {IDC_TD_SET_DATE, "ERROR: RTC Date not updated, bus error"},
        {IDC_TD_SYNC, "ERROR: RTC time not synchronized, bus error"},
    };
    StartOnTab(kTab);
    Connect();
    sim_.SetAddressAck(kRtcAddress, false);  // the RTC stops answering
    for (const auto& c : cases) {
        ClickPage(kTab, c.button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.error);
    }
    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(kTab, IDC_TD_SET_TIME);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Time Updated");
}

TEST_F(TimeDatePageTest, PcClockTextsFollowTheDisplayOptionAndTheTimerRunsOnlyWhileShown) {
    HoldPcClock(MakeTime(2026, 12, 13, 15, 4, 5));
    Start();
    ShowTab(kTab);
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_TIME), "03:04:05 PM");
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_DATE), "Sunday, December 13, 2026");
    EXPECT_TRUE(TimerRunning(kTab, PcClockTimer, kPcClockTimerPeriodMs));

    ClickPage(kTab, IDC_TD_24HR);
    EXPECT_EQ(TwelveHourDisplay, 0);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Time format changed to 24hr");
    HoldPcClock(MakeTime(2026, 12, 14, 0, 0, 1));
    TickPage(kTab, PcClockTimer);
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_TIME), "00:00:01");
    // The date text is refreshed only when the page is shown again.
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_DATE), "Sunday, December 13, 2026");

    ClickPage(kTab, IDC_TD_AMPM);
    EXPECT_EQ(TwelveHourDisplay, 1);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Time format changed to AM/PM");
    TickPage(kTab, PcClockTimer);
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_TIME), "12:00:01 AM");

    ShowTab(0);
    EXPECT_FALSE(TimerRunning(kTab, PcClockTimer, kPcClockTimerPeriodMs));
    ShowTab(kTab);
    EXPECT_EQ(PageText(kTab, IDC_TD_PC_DATE), "Monday, December 14, 2026");
}

TEST_F(TimeDatePageTest, TwentyFourHourOptionSurvivesAModelChangeButNotTheFlagAtDisconnect) {
    const std::regex twelveHour(R"(.*(AM|PM))");
    StartOnTab(kTab);
    ClickPage(kTab, IDC_TD_24HR);
    const std::string text24 = PageText(kTab, IDC_TD_TIME_PICKER);
    EXPECT_FALSE(std::regex_match(text24, twelveHour)) << text24;

    // A model change resets the page: the picker goes back to AM/PM, the option does not.
    ChooseModel(1);
    const std::string afterReset = PageText(kTab, IDC_TD_TIME_PICKER);
    EXPECT_TRUE(std::regex_match(afterReset, twelveHour)) << afterReset;
    EXPECT_EQ(TwelveHourDisplay, 0);
    EXPECT_EQ(IsDlgButtonChecked(PageDialog(kTab), IDC_TD_24HR), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(PageDialog(kTab), IDC_TD_AMPM), BST_UNCHECKED);

    Connect();
    Tick();
    EXPECT_TRUE(std::regex_match(Text(IDC_MAIN_RTC_TIME), std::regex(R"(\d\d:\d\d:\d\d)")))
        << Text(IDC_MAIN_RTC_TIME);
    Click(IDC_MAIN_CONNECT);  // disconnect
    EXPECT_EQ(TwelveHourDisplay, 1);
    EXPECT_EQ(IsDlgButtonChecked(PageDialog(kTab), IDC_TD_24HR), BST_CHECKED);
}

}  // namespace
}  // namespace kalendo

// The Alarm page on the simulated board: the alarm written, armed, triggered on the board's clock
// and animated, disabled again; the registers and pictures at each step; the not-connected and
// failed-bus paths.
#include <vector>

#include "app/connection_state.h"
#include "pages/alarm_page.h"
#include "pages/time_date_page.h"
#include "resources/resource_ids.h"
#include "rtc/flag_register.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/twelve_hour_display.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {
namespace {

constexpr int kTab = kAlarmTab;

// The byte that clears the alarm flag alone: the other flags written 1 (left as they are), the
// storage bits as read.
uint8_t FlagClearByte(uint8_t read) {
    return static_cast<uint8_t>((read & ~kFlagRegisterFlags) | (kFlagRegisterFlags & ~FLAG_ALARM));
}

class AlarmPageTest : public RtcPageTest {
  protected:
    // Connected, the chip's clock at 10:58:30 on 12 December 2026, an alarm at 10:59 on the 12th
    // written through the page.
    void SetUpAlarmAt1059() {
        StartOnTab(kTab);
        Connect();
        SetRtcClock(MakeTime(2026, 12, 12, 10, 58, 30));
        ASSERT_TRUE(SetPicker(kTab, IDC_ALARM_TIME_PICKER, MakeTime(2026, 12, 12, 10, 59, 0)));
        ClickPage(kTab, IDC_ALARM_SET_TIME);
        ASSERT_TRUE(SetPicker(kTab, IDC_ALARM_DAY_PICKER, MakeTime(2026, 12, 12, 0, 0, 0)));
        ClickPage(kTab, IDC_ALARM_SET_DATE);
    }
    void ExpectStatus(const char* enabled, const char* toggle, const char* triggered) {
        EXPECT_EQ(PageText(kTab, IDC_ALARM_ENABLED_TEXT), enabled);
        EXPECT_EQ(PageText(kTab, IDC_ALARM_TOGGLE), toggle);
        EXPECT_EQ(PageText(kTab, IDC_ALARM_TRIGGERED_TEXT), triggered);
    }
    bool PollRunning() { return TimerRunning(kTab, AlarmPollTimer, kAlarmPollPeriodMs); }
    AlarmPage& Page() const { return *static_cast<AlarmPage*>(app_->Pages().Page(kTab)); }
    bool AnimationRunning() {
        return TimerRunning(kTab, AlarmAnimationTimer, kAlarmAnimationPeriodMs);
    }
};

TEST_F(AlarmPageTest, SetTimeAndDateWriteValuesWithBitSevenClearAndTheDayAlarmBit) {
    StartOnTab(kTab);
    Connect();
    WriteRtc(kRegExtension, 0x02);  // day alarm bit clear, another bit set
    sim_.ClearRegisterWrites();
    ASSERT_TRUE(SetPicker(kTab, IDC_ALARM_TIME_PICKER, MakeTime(2026, 12, 12, 23, 7, 45)));
    ClickPage(kTab, IDC_ALARM_SET_TIME);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm Time Updated");
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_TEXT), "11:07 PM");
    ASSERT_TRUE(SetPicker(kTab, IDC_ALARM_DAY_PICKER, MakeTime(2026, 12, 29, 0, 0, 0)));
    ClickPage(kTab, IDC_ALARM_SET_DATE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm Date Updated");
    const std::vector<BusWrite> expected = {
        {kRegMinuteAlarm, {0x07}},
        {kRegHourAlarm, {0x23}},
        {kRegExtension, {0x42}},
        {kRegWeekDayAlarm, {0x29}},
    };
    EXPECT_EQ(sim_.ValueWrites(kRtcAddress), expected);
    SYSTEMTIME pc = {};
    GetLocalTime(&pc);
    const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    EXPECT_EQ(PageText(kTab, IDC_ALARM_DATE_TEXT),
              std::string(months[pc.wMonth - 1]) + " 29, " + std::to_string(pc.wYear));
}

TEST_F(AlarmPageTest, AlarmRegistersWithBitSevenSetAreShownWithoutItInEitherTimeForm) {
    StartOnTab(kTab);
    Connect();
    WriteRtc(kRegMinuteAlarm, 0xD9);   // 59 with bit 7
    WriteRtc(kRegHourAlarm, 0x85);     // 5 with bit 7
    WriteRtc(kRegWeekDayAlarm, 0x95);  // 15 with bit 7
    ShowTab(0);
    ShowTab(kTab);
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_TEXT), "05:59 AM");
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_PICKER), "5:59 AM");
    EXPECT_EQ(Picker(kTab, IDC_ALARM_TIME_PICKER).wHour, 5);
    EXPECT_EQ(Picker(kTab, IDC_ALARM_TIME_PICKER).wMinute, 59);
    EXPECT_EQ(Picker(kTab, IDC_ALARM_DAY_PICKER).wDay, 15);
    EXPECT_NE(PageText(kTab, IDC_ALARM_DATE_TEXT).find(" 15, "), std::string::npos)
        << PageText(kTab, IDC_ALARM_DATE_TEXT);

    // The 24-hour option chosen on the Time and Date page reaches this page when it is shown.
    ShowTab(kTimeDateTab);
    ClickPage(kTimeDateTab, IDC_TD_24HR);
    WriteRtc(kRegHourAlarm, 0x97);  // 17 with bit 7
    ShowTab(kTab);
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_TEXT), "17:59");
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_PICKER), "17:59");
}

TEST_F(AlarmPageTest, ArmedAlarmTriggersOnTheBoardClockAnimatesAndIsDisabled) {
    SetUpAlarmAt1059();
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_DISABLED));
    EXPECT_FALSE(PollRunning());

    const uint8_t flagBefore = ReadRtc(kRegFlag);
    const uint8_t controlBefore = ReadRtc(kRegControl);
    ASSERT_NE(controlBefore & ~CTRL_ALARM_INT, 0);  // other bits that must survive
    sim_.ClearRegisterWrites();
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    const std::vector<BusWrite> enableWrites = {
        {kRegFlag, {FlagClearByte(flagBefore)}},
        {kRegControl, {static_cast<uint8_t>(controlBefore | CTRL_ALARM_INT)}},
    };
    EXPECT_EQ(sim_.ValueWrites(kRtcAddress), enableWrites);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm enabled");
    ExpectStatus("Enabled", "Disable Alarm", "Not Triggered");
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_ENABLED));
    EXPECT_TRUE(PollRunning());

    // Seconds before the alarm minute: nothing yet.
    sim_.AdvanceMs(20000);
    TickPage(kTab, AlarmPollTimer);
    ExpectStatus("Enabled", "Disable Alarm", "Not Triggered");
    sim_.AdvanceMs(11000);  // 10:59:01
    TickPage(kTab, AlarmPollTimer);
    ExpectStatus("Enabled", "Disable Alarm", "Triggered");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ALARM TRIGGERED");
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_TRIGGERED));
    EXPECT_FALSE(PollRunning());
    EXPECT_TRUE(AnimationRunning());
    const uint8_t flagTriggered = ReadRtc(kRegFlag);
    EXPECT_NE(flagTriggered & FLAG_ALARM, 0);  // left set until disabled

    // Each frame frees the one before it.
    TickPage(kTab, AlarmAnimationTimer);
    const HBITMAP firstFrame = ShownBitmap(kTab, IDC_ALARM_PICTURE);
    ASSERT_EQ(GetObjectType(firstFrame), static_cast<DWORD>(OBJ_BITMAP));
    TickPage(kTab, AlarmAnimationTimer);
    EXPECT_EQ(GetObjectType(firstFrame), 0u);
    TickPage(kTab, AlarmAnimationTimer);
    TickPage(kTab, AlarmAnimationTimer);  // back at the start of the cycle
    const int cycle[] = {IDB_ALARM_FRAME_1,   IDB_ALARM_FRAME_2, IDB_ALARM_FRAME_3,
                         IDB_ALARM_TRIGGERED, IDB_ALARM_FRAME_1, IDB_ALARM_FRAME_2};
    for (int frame : cycle) {
        TickPage(kTab, AlarmAnimationTimer);
        EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, frame)) << frame;
    }

    // Disable while triggered.
    sim_.ClearRegisterWrites();
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm disabled");
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_DISABLED));
    EXPECT_FALSE(AnimationRunning());
    const std::vector<BusWrite> disableWrites = {
        {kRegControl, {controlBefore}},
        {kRegFlag, {FlagClearByte(flagTriggered)}},
    };
    EXPECT_EQ(sim_.ValueWrites(kRtcAddress), disableWrites);
}

TEST_F(AlarmPageTest, NewAlarmTimeOrDayWhileArmedDisarmsTheChipAndNoTriggerIsAnnounced) {
    SetUpAlarmAt1059();
    for (int button : {IDC_ALARM_SET_TIME, IDC_ALARM_SET_DATE}) {
        SCOPED_TRACE(button);
        SetRtcClock(MakeTime(2026, 12, 12, 10, 58, 30));
        ClickPage(kTab, IDC_ALARM_TOGGLE);
        ASSERT_EQ(PageText(kTab, IDC_ALARM_ENABLED_TEXT), "Enabled");

        ClickPage(kTab, button);  // the same alarm again
        EXPECT_EQ(Text(IDC_MAIN_INFO), button == IDC_ALARM_SET_TIME ? "RTC Alarm Time Updated"
                                                                      : "RTC Alarm Date Updated");
        ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
        EXPECT_EQ(ReadRtc(kRegControl) & CTRL_ALARM_INT, 0);
        EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_DISABLED));
        EXPECT_FALSE(PollRunning());

        // The chip passes the alarm minute; a poll tick that was already queued finds a disabled
        // alarm and announces nothing.
        sim_.AdvanceMs(31000);
        TickPage(kTab, AlarmPollTimer);
        EXPECT_EQ(PageText(kTab, IDC_ALARM_TRIGGERED_TEXT), "Not Triggered");
        EXPECT_FALSE(InformationShownInOrder({"ALARM TRIGGERED"}));

        // The next click enables again and clears the flag.
        ClickPage(kTab, IDC_ALARM_TOGGLE);
        EXPECT_EQ(PageText(kTab, IDC_ALARM_ENABLED_TEXT), "Enabled");
        EXPECT_EQ(ReadRtc(kRegFlag) & FLAG_ALARM, 0);
        EXPECT_TRUE(PollRunning());
        ClickPage(kTab, IDC_ALARM_TOGGLE);
        ASSERT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm disabled");
    }
}

TEST_F(AlarmPageTest, DisableStopsThePollAndADisabledAlarmNeverAnnouncesATrigger) {
    SetUpAlarmAt1059();
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    ASSERT_TRUE(PollRunning());
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm disabled");
    EXPECT_FALSE(PollRunning());
    // The chip passes the alarm minute with its own flag set (written here, as the interrupt is
    // off); a stray poll tick still announces nothing.
    sim_.AdvanceMs(31000);
    WriteRtc(kRegFlag, static_cast<uint8_t>(ReadRtc(kRegFlag) | FLAG_ALARM));
    ForgetInformation();
    TickPage(kTab, AlarmPollTimer);
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_TRUE(InformationShown().empty()) << ::testing::PrintToString(InformationShown());
    EXPECT_FALSE(AnimationRunning());
}

TEST_F(AlarmPageTest, FailedEnableLeavesEverythingDisabledAndFailedDisableLeavesItArmed) {
    SetUpAlarmAt1059();
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Alarm not enabled, bus error");
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_DISABLED));
    EXPECT_FALSE(PollRunning());
    EXPECT_FALSE(Page().AlarmEnabled());
    sim_.SetAddressAck(kRtcAddress, true);
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_ALARM_INT, 0);

    ClickPage(kTab, IDC_ALARM_TOGGLE);
    ASSERT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm enabled");
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Alarm not disabled, bus error");
    // The chip is still armed, and so is the page: a retry can disable it.
    ExpectStatus("Enabled", "Disable Alarm", "Not Triggered");
    EXPECT_TRUE(PollRunning());
    sim_.SetAddressAck(kRtcAddress, true);
    EXPECT_NE(ReadRtc(kRegControl) & CTRL_ALARM_INT, 0);
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm disabled");
    EXPECT_FALSE(PollRunning());
}

// The page shows the chip's alarm, so each reset takes the chip's state: Disconnect leaves
// nothing to poll, and Connect's set-up writes clear the alarm interrupt enable.
TEST_F(AlarmPageTest, DisconnectAndConnectLeaveThePageAsTheChipIs) {
    SetUpAlarmAt1059();
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    ASSERT_TRUE(PollRunning());
    Click(IDC_MAIN_CONNECT);  // disconnect while armed
    ASSERT_FALSE(BoardConnected);
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_FALSE(PollRunning());
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_TEXT), "Unconnected");

    ASSERT_NE(ReadRtc(kRegControl) & CTRL_ALARM_INT, 0);  // the chip is still armed
    Connect();
    EXPECT_EQ(ReadRtc(kRegControl) & CTRL_ALARM_INT, 0);
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_FALSE(PollRunning());

    // Armed again and triggered: a disconnect ends the animation too.
    ClickPage(kTab, IDC_ALARM_TOGGLE);
    SetRtcClock(MakeTime(2026, 12, 12, 10, 58, 30));
    sim_.AdvanceMs(31000);
    TickPage(kTab, AlarmPollTimer);
    ASSERT_EQ(PageText(kTab, IDC_ALARM_TRIGGERED_TEXT), "Triggered");
    ASSERT_TRUE(AnimationRunning());
    Click(IDC_MAIN_CONNECT);
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_FALSE(AnimationRunning());
    EXPECT_TRUE(ShowsBitmap(kTab, IDC_ALARM_PICTURE, IDB_ALARM_DISABLED));
}

TEST_F(AlarmPageTest, ActionsWarnAndTouchNothingWhileNotConnected) {
    const struct {
        int button;
        const char* warning;
    } cases[] = {
        {IDC_ALARM_SET_TIME, "WARNING: Alarm Time not set, RTC not connected"},
        {IDC_ALARM_SET_DATE, "WARNING: Alarm Date not set, RTC not connected"},
        {IDC_ALARM_TOGGLE, "WARNING: Alarm not set, RTC not connected"},
    };
    StartOnTab(kTab);
    EXPECT_EQ(PageText(kTab, IDC_ALARM_TIME_TEXT), "Unconnected");
    EXPECT_EQ(PageText(kTab, IDC_ALARM_DATE_TEXT), "Unconnected");
    sim_.ClearRegisterWrites();
    for (const auto& c : cases) {
        ClickPage(kTab, c.button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.warning);
    }
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    ExpectStatus("Disabled", "Enable Alarm", "Not Triggered");
    EXPECT_FALSE(PollRunning());
}

TEST_F(AlarmPageTest, FailedWritesReportAnErrorInsteadOfSuccess) {
    const struct {
        int button;
        const char* error;
    } cases[] = {
        {IDC_ALARM_SET_TIME, "ERROR: RTC Alarm Time not updated, bus error"},
        {IDC_ALARM_SET_DATE, "ERROR: RTC Alarm Date not updated, bus error"},
        {IDC_ALARM_TOGGLE, "ERROR: RTC Alarm not enabled, bus error"},
        {IDC_ALARM_TOGGLE, "ERROR: RTC Alarm not enabled, bus error"},  // still disabled
    };
    StartOnTab(kTab);
    Connect();
    sim_.SetAddressAck(kRtcAddress, false);
    for (const auto& c : cases) {
        ClickPage(kTab, c.button);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.error);
    }
    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(kTab, IDC_ALARM_SET_TIME);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Alarm Time Updated");
}

}  // namespace
}  // namespace kalendo

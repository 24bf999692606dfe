// The Power and FOUT tab on the simulated board: the measurement cycle, the supply setting, the
// FOUT controls and data logging, each checked at the chip, the bridge pin or the log file.
#include <cstdlib>

#include <shlobj.h>

#include "tests/ui_power/power_fout_page_fixture.h"

namespace kalendo {
namespace {

TEST_F(PowerFoutPageTest, CycleShowsAveragesAfterSampleCountPlusOneTicks) {
    SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBoardTemperature")(31.4);
    SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBatteryVoltage")(2.7);
    StartConnected();
    struct Case {
        int averaging;
        int ticks;
    };
    for (const Case& c : {Case{0, 6}, Case{3, 21}, Case{1, 11}}) {
        Choose(IDC_POWER_AVERAGING, c.averaging);
        ShowTab(kRegistersTab);
        ShowTab(kPowerTab);  // a new cycle starts
        SetDlgItemTextA(PageDialog(kPowerTab), IDC_POWER_TEMPERATURE, "-");
        MeasureTicks(c.ticks - 1);
        EXPECT_EQ(PageText(IDC_POWER_TEMPERATURE), "-") << "averaging " << c.averaging;
        MeasureTicks(1);
        EXPECT_EQ(PageText(IDC_POWER_TEMPERATURE), "31.4") << "averaging " << c.averaging;
        EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "3.5");
    }
    // Each field shows its own channel: the RTC draws 0.45 uA from the supply, and the battery
    // (2.7 V here) leaks 0.008 uA while the supply is up.
    EXPECT_NEAR(PageNumber(IDC_POWER_VDD_CURRENT), 0.45, 0.005);
    EXPECT_EQ(PageText(IDC_POWER_BATTERY_VOLTAGE), "2.7");
    EXPECT_NEAR(PageNumber(IDC_POWER_BATTERY_CURRENT), 0.008, 0.003);
}

TEST_F(PowerFoutPageTest, ShorterAveragingChosenMidCycleAveragesAtTheNextTick) {
    SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBoardTemperature")(27.5);
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 3);  // 20 readings
    ShowTab(kRegistersTab);
    ShowTab(kPowerTab);
    SetDlgItemTextA(PageDialog(kPowerTab), IDC_POWER_TEMPERATURE, "-");
    MeasureTicks(10);
    Choose(IDC_POWER_AVERAGING, 0);  // 5 readings: ten are taken already
    MeasureTicks(1);
    EXPECT_EQ(PageText(IDC_POWER_TEMPERATURE), "27.5");
}

TEST_F(PowerFoutPageTest, HiddenPageDoesNotSampleUnlessLogging) {
    StartConnected();
    ShowTab(kRegistersTab);
    MeasureTicks(30);
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "Unconnected");
}

TEST_F(PowerFoutPageTest, TrackbarMovementsSettleIntoOneSupplyChange) {
    StartConnected();
    DragTo(40);
    DragTo(20);
    DragTo(35);
    TickPage(kPowerTab, kSettleTimer);  // saw 40 when settling began, now 35: wait
    EXPECT_TRUE(SupplyLevelWrites().empty());
    DragTo(28);
    TickPage(kPowerTab, kSettleTimer);
    EXPECT_TRUE(SupplyLevelWrites().empty());
    TickPage(kPowerTab, kSettleTimer);  // unchanged for a whole tick
    ASSERT_EQ(SupplyLevelWrites().size(), 1u);
    EXPECT_EQ(SupplyLevelWrites()[0].values.at(0), SupplyLevelTable[28].level);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Voltage changed to 2.8");
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "2.8");
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "2.8");
    EXPECT_NEAR(SimSupplyVolts(), 2.8, 0.05);
    TickPage(kPowerTab, kSettleTimer);  // the settle timer is done
    EXPECT_EQ(SupplyLevelWrites().size(), 1u);
}

TEST_F(PowerFoutPageTest, SupplyBelowSwitchOverLightsBatteryLamp) {
    StartConnected();
    Tick();
    EXPECT_FALSE(ShowsGreenLamp(IDC_MAIN_BATTERY_LAMP));
    DragTo(10);
    TickPage(kPowerTab, kSettleTimer);
    TickPage(kPowerTab, kSettleTimer);
    ASSERT_EQ(SimFunction<KalendoSim_VoidFn>("KalendoSim_RunningFromBattery")(), 1);
    MeasureTicks(11);
    EXPECT_TRUE(BatteryInUse) << PageText(IDC_POWER_BATTERY_CURRENT);
    // The RTC now draws from the battery, next to nothing from the supply.
    EXPECT_NEAR(PageNumber(IDC_POWER_BATTERY_CURRENT), 0.32, 0.005);
    EXPECT_NEAR(PageNumber(IDC_POWER_VDD_CURRENT), 0.010, 0.003);
    Tick();
    EXPECT_TRUE(ShowsGreenLamp(IDC_MAIN_BATTERY_LAMP));
}

TEST_F(PowerFoutPageTest, FoutFrequencyKeepsOtherBitsOfRegister0D) {
    StartConnected();
    const uint8_t before = ReadRtc(0x0D);
    struct Case {
        int index;
        uint8_t bits;
    };
    for (const Case& c : {Case{2, 0x08}, Case{1, 0x04}, Case{0, 0x00}}) {
        sim_.ClearRegisterWrites();
        Choose(IDC_POWER_FOUT_FREQ, c.index);
        const std::vector<BusWrite> writes = sim_.ValueWrites(kRtcAddress);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].reg, 0x0D);
        EXPECT_EQ(writes[0].values.at(0), (before & ~0x0C) | c.bits) << "index " << c.index;
        EXPECT_EQ(Text(IDC_MAIN_INFO), "FOUT Frequency updated");
    }
}

TEST_F(PowerFoutPageTest, FailedFrequencyAndSupplyChangesAreReportedAndTheControlsShowTheChip) {
    StartConnected();
    Choose(IDC_POWER_FOUT_FREQ, 1);
    ASSERT_EQ(Text(IDC_MAIN_INFO), "FOUT Frequency updated");
    // The RTC stops answering: 0x0D cannot be read, so it is not written from a guess, and the
    // list goes back to the frequency the chip holds.
    sim_.SetAddressAck(kRtcAddress, false);
    sim_.ClearRegisterWrites();
    Choose(IDC_POWER_FOUT_FREQ, 2);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: FOUT Frequency Clock not set, register 0x0D not read");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    EXPECT_EQ(PageText(IDC_POWER_FOUT_FREQ), "1024Hz");
    sim_.SetAddressAck(kRtcAddress, true);
    EXPECT_EQ(ReadRtc(0x0D) & 0x0C, 0x04);

    const std::string shownSupply = PageText(IDC_POWER_VDD_VOLTAGE);
    sim_.SetAddressAck(kPowerMonitorAddress, false);
    DragTo(20);
    TickPage(kPowerTab, kSettleTimer);
    TickPage(kPowerTab, kSettleTimer);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Voltage not changed");
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), shownSupply);  // not the 2.0 that was not set
    // The supply controls go back to the 3.5 V the monitor still supplies.
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "3.5");
    EXPECT_EQ(SendMessageA(PageItem(kPowerTab, IDC_POWER_SUPPLY_TRACKBAR), TBM_GETPOS, 0, 0), 35);
    EXPECT_EQ(SendMessageA(PageItem(kPowerTab, IDC_POWER_SUPPLY_UPDOWN), UDM_GETPOS32, 0, 0), 35);
    sim_.SetAddressAck(kPowerMonitorAddress, true);
    EXPECT_NEAR(SimSupplyVolts(), 3.5, 0.05);
}

TEST_F(PowerFoutPageTest, UpDownClickChangesTheSupplyButArrowKeysLeaveTheReadOnlyBoxAlone) {
    StartConnected();
    HWND upDown = PageItem(kPowerTab, IDC_POWER_SUPPLY_UPDOWN);
    const LONG_PTR style = GetWindowLongPtrA(upDown, GWL_STYLE);
    EXPECT_NE(style & UDS_AUTOBUDDY, 0);
    EXPECT_EQ(style & (UDS_ARROWKEYS | UDS_SETBUDDYINT), 0);

    HWND edit = PageItem(kPowerTab, IDC_POWER_SUPPLY_EDIT);
    SetFocus(edit);
    SendMessageA(edit, WM_KEYDOWN, VK_UP, 1);
    SendMessageA(edit, WM_KEYUP, VK_UP, 0xC0000001);
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "3.5");
    EXPECT_FALSE(TimerRunning(kPowerTab, kSettleTimer, 500));

    // A click on the upper arrow: one step up, applied once it settles.
    RECT box = {};
    GetClientRect(upDown, &box);
    const LPARAM upper = MAKELPARAM(box.right / 2, box.bottom / 4);
    SendMessageA(upDown, WM_LBUTTONDOWN, MK_LBUTTON, upper);
    SendMessageA(upDown, WM_LBUTTONUP, 0, upper);
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "3.6");
    EXPECT_EQ(SendMessageA(PageItem(kPowerTab, IDC_POWER_SUPPLY_TRACKBAR), TBM_GETPOS, 0, 0), 36);
    TickPage(kPowerTab, kSettleTimer);
    TickPage(kPowerTab, kSettleTimer);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Voltage changed to 3.6");
    ASSERT_EQ(SupplyLevelWrites().size(), 1u);
    EXPECT_EQ(SupplyLevelWrites()[0].values.at(0), SupplyLevelTable[36].level);
}

TEST_F(PowerFoutPageTest, ResetPutsTheChoicesBackAndStopsASettleStillPending) {
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 3);
    Choose(IDC_POWER_FOUT_FREQ, 2);
    DragTo(20);
    ASSERT_TRUE(TimerRunning(kPowerTab, kSettleTimer, 500));
    Click(IDC_MAIN_CONNECT);  // disconnect within the settle period: every page is reset
    ASSERT_FALSE(BoardConnected);
    EXPECT_EQ(PageText(IDC_POWER_AVERAGING), "1.0 seconds");
    EXPECT_EQ(PageText(IDC_POWER_FOUT_FREQ), "32.768KHz");
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "3.5");
    EXPECT_FALSE(TimerRunning(kPowerTab, kSettleTimer, 500));
    // A tick that was already queued applies nothing either.
    ForgetInformation();
    TickPage(kPowerTab, kSettleTimer);
    TickPage(kPowerTab, kSettleTimer);
    EXPECT_TRUE(InformationShown().empty()) << ::testing::PrintToString(InformationShown());
    EXPECT_TRUE(SupplyLevelWrites().empty());
}

TEST_F(PowerFoutPageTest, FoutToggleDrivesBridgePinAndReportsFailure) {
    StartConnected();
    ClickPage(IDC_POWER_FOUT_TOGGLE);
    EXPECT_TRUE(FoutPinHigh());
    EXPECT_TRUE(FoutEnabled);
    EXPECT_EQ(PageText(IDC_POWER_FOUT_TOGGLE), "Disable FOUT");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "FOUT Enabled");
    Tick();  // the main window's lamp follows at its next tick
    EXPECT_TRUE(ShowsGreenLamp(IDC_MAIN_FOUT_LAMP));
    EXPECT_EQ(Text(IDC_MAIN_FOUT_TEXT), "FOUT Enabled");
    ClickPage(IDC_POWER_FOUT_TOGGLE);
    EXPECT_FALSE(FoutPinHigh());
    EXPECT_FALSE(FoutEnabled);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "FOUT Disabled");

    // The board vanishes before the status tick notices: the pin is not set, so nothing
    // claims it was.
    sim_.Unplug();
    ClickPage(IDC_POWER_FOUT_TOGGLE);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: FOUT not enabled");
    EXPECT_FALSE(FoutEnabled);
    EXPECT_EQ(PageText(IDC_POWER_FOUT_TOGGLE), "Enable FOUT");
}

TEST_F(PowerFoutPageTest, DisconnectedActionsWarnAndWriteNothing) {
    StartOnTab(kPowerTab);
    sim_.ClearRegisterWrites();
    struct Case {
        int control;
        const char* warning;
    };
    for (const Case& c :
         {Case{IDC_POWER_FOUT_TOGGLE, "WARNING: RTC not connected"},
          Case{IDC_POWER_LOGGING, "WARNING: Logging not possible, RTC not connected"},
          Case{IDC_POWER_FOUT_FREQ, "WARNING: FOUT Frequency Clock not set, RTC not connected"}}) {
        if (c.control == IDC_POWER_FOUT_FREQ) {
            Choose(c.control, 2);
        } else {
            ClickPage(c.control);
        }
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.warning);
    }
    DragTo(20);
    TickPage(kPowerTab, kSettleTimer);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Voltage not changed, RTC not connected");
    EXPECT_FALSE(FoutEnabled);
    EXPECT_EQ(PageText(IDC_POWER_FOUT_TOGGLE), "Enable FOUT");
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Start Logging");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    EXPECT_TRUE(sim_.ValueWrites(kPowerMonitorAddress).empty());
}

TEST_F(PowerFoutPageTest, LogRecordsEveryCycleWhileAnotherTabIsShown) {
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 0);
    ClickPage(IDC_POWER_LOGGING);
    ASSERT_EQ(Text(IDC_MAIN_INFO), "Data Logging started");
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Stop Logging");
    const std::string name = Page().Logger().logFileName();
    // Nothing measured yet: the fields as Reset left them.
    std::vector<std::string> expected = {"Unconne,Unconne,,Unconne,Unconne,"};

    ShowTab(kRegistersTab);
    for (int cycle = 0; cycle < 3; ++cycle) {
        SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBoardTemperature")(20.0 + cycle);
        MeasureTicks(6);
        expected.push_back(ShownRecordLine());
        EXPECT_EQ(PageText(IDC_POWER_TEMPERATURE), std::to_string(20 + cycle) + ".0");
    }
    ShowTab(kPowerTab);
    ClickPage(IDC_POWER_LOGGING);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Data Logging stopped");
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Start Logging");
    expected.push_back(ShownRecordLine());

    const std::vector<std::string> lines = FileLines(name);
    ASSERT_EQ(lines.size(), expected.size() + 2);
    EXPECT_EQ(lines[0].rfind("KalendoTool -- Data Log -- Timestamp:", 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].back(), ',');
    EXPECT_EQ(lines[1], "VDD Voltage,VDD Current,Battery Voltage,Battery Current,Temperature");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i + 2], expected[i]) << "record " << i;
    }
    EXPECT_EQ(lines[3].substr(0, 4), "3.5,");
    // The run's log for the plot in docs/, when asked for.
    if (const char* keep = getenv("KALENDO_KEEP_DATALOG")) {
        CopyFileA(name.c_str(), keep, FALSE);
    }
    DeleteFileA(name.c_str());
}

// A cycle with a reading the monitor did not give shows no averaged fallback codes (0xFFFF would
// read as 16.4 V) and logs nothing; the next whole cycle shows and logs the chip's values again.
TEST_F(PowerFoutPageTest, CycleWithAFailedReadingShowsErrorAndLogsNothing) {
    SimFunction<KalendoSim_DoubleFn>("KalendoSim_SetBoardTemperature")(24.0);
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 0);
    ClickPage(IDC_POWER_LOGGING);
    const std::string name = Page().Logger().logFileName();
    MeasureTicks(6);
    ASSERT_EQ(PageText(IDC_POWER_TEMPERATURE), "24.0");

    MeasureTicks(2);
    sim_.SetAddressAck(kPowerMonitorAddress, false);
    MeasureTicks(1);  // one reading of the cycle fails
    sim_.SetAddressAck(kPowerMonitorAddress, true);
    MeasureTicks(3);
    for (int id : {IDC_POWER_VDD_VOLTAGE, IDC_POWER_VDD_CURRENT, IDC_POWER_BATTERY_VOLTAGE,
                   IDC_POWER_BATTERY_CURRENT, IDC_POWER_TEMPERATURE}) {
        EXPECT_EQ(PageText(id), "Error") << id;
    }
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Power measurements not read, bus error");
    EXPECT_EQ(FileLines(name).size(), 4u);  // header, first fields, the first cycle

    MeasureTicks(6);
    EXPECT_EQ(PageText(IDC_POWER_TEMPERATURE), "24.0");
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "3.5");
    const std::vector<std::string> lines = FileLines(name);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], ShownRecordLine());
    ClickPage(IDC_POWER_LOGGING);
    DeleteFileA(name.c_str());
}

TEST_F(PowerFoutPageTest, UnplugWhileLoggingKeepsTheRecordsWrittenAndWritesNoMore) {
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 0);
    ClickPage(IDC_POWER_LOGGING);
    const std::string name = Page().Logger().logFileName();
    MeasureTicks(6);
    sim_.Unplug();
    MeasureTicks(6);  // reads fail before the status tick notices: no record of that cycle
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "Error");
    const std::vector<std::string> before = FileLines(name);
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(before[3].substr(0, 4), "3.5,");
    Tick();  // the main window sees the board gone
    ASSERT_FALSE(BoardConnected);
    MeasureTicks(12);
    EXPECT_EQ(PageText(IDC_POWER_VDD_VOLTAGE), "Unconnected");
    ClickPage(IDC_POWER_LOGGING);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Logging not possible, RTC not connected");
    EXPECT_EQ(FileLines(name), before);
    DeleteFileA(name.c_str());
}

TEST_F(PowerFoutPageTest, DisconnectEndsLoggingWithoutWritingAndPutsControlsBack) {
    StartConnected();
    ClickPage(IDC_POWER_FOUT_TOGGLE);
    DragTo(20);
    ClickPage(IDC_POWER_LOGGING);
    const std::string name = Page().Logger().logFileName();
    const std::vector<std::string> before = FileLines(name);
    Click(IDC_MAIN_CONNECT);  // disconnect: every page is reset
    ASSERT_FALSE(BoardConnected);
    EXPECT_FALSE(Page().Logger().logging());
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Start Logging");
    EXPECT_EQ(PageText(IDC_POWER_FOUT_TOGGLE), "Enable FOUT");
    EXPECT_EQ(PageText(IDC_POWER_SUPPLY_EDIT), "3.5");
    EXPECT_EQ(FileLines(name), before);
    DeleteFileA(name.c_str());
}

// Every name a log started at 01:02:03 could take in `folder`, taken by a directory.
std::vector<std::string> TakeEveryLogName(const std::string& folder) {
    std::vector<std::string> taken = {folder + "datalog_12102026_010203.txt"};
    for (int n = 2; n <= 999; ++n) {
        taken.push_back(folder + "datalog_12102026_010203_" + std::to_string(n) + ".txt");
    }
    for (const std::string& name : taken) {
        EXPECT_TRUE(CreateDirectoryA(name.c_str(), nullptr)) << name;
    }
    return taken;
}

void FreeLogNames(const std::vector<std::string>& taken) {
    for (const std::string& name : taken) {
        RemoveDirectoryA(name.c_str());
    }
}

// A folder that takes no new file (an installed copy started in Program Files) sends the log to
// the user's Documents, and the information line says where; when that fails too, nothing is
// logged and the line says what could not be created.
TEST_F(PowerFoutPageTest, LogGoesToTheUserDocumentsWhenTheCurrentFolderTakesNoFile) {
    char documents[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(
        SHGetFolderPathA(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, documents)));
    StartConnected();
    HoldPcClock(MakeTime(2026, 12, 10, 1, 2, 3));
    const std::vector<std::string> takenHere = TakeEveryLogName("");

    ClickPage(IDC_POWER_LOGGING);
    EXPECT_EQ(Text(IDC_MAIN_INFO), std::string("Data Logging started in ") + documents);
    ASSERT_TRUE(Page().Logger().logging());
    const std::string written = Page().Logger().logFileName();
    EXPECT_EQ(written, std::string(documents) + "\\datalog_12102026_010203.txt");
    EXPECT_FALSE(FileLines(written).empty());
    ClickPage(IDC_POWER_LOGGING);
    DeleteFileA(written.c_str());

    const std::vector<std::string> takenThere = TakeEveryLogName(std::string(documents) + "\\");
    ClickPage(IDC_POWER_LOGGING);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: cannot create datalog_12102026_010203.txt");
    EXPECT_FALSE(Page().Logger().logging());
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Start Logging");
    FreeLogNames(takenThere);
    FreeLogNames(takenHere);
}

TEST_F(PowerFoutPageTest, FailedAppendIsReportedAndTheNextCycleWritesAgain) {
    StartConnected();
    Choose(IDC_POWER_AVERAGING, 0);
    ClickPage(IDC_POWER_LOGGING);
    const std::string name = Page().Logger().logFileName();
    // The file is replaced by a directory of its name: it cannot be opened for appending.
    ASSERT_TRUE(DeleteFileA(name.c_str()));
    ASSERT_TRUE(CreateDirectoryA(name.c_str(), nullptr));
    MeasureTicks(6);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: cannot open " + name);
    EXPECT_TRUE(Page().Logger().logging());
    EXPECT_EQ(PageText(IDC_POWER_LOGGING), "Stop Logging");

    ASSERT_TRUE(RemoveDirectoryA(name.c_str()));
    MeasureTicks(6);
    EXPECT_EQ(FileLines(name), std::vector<std::string>{ShownRecordLine()});
    DeleteFileA(name.c_str());
}

}  // namespace
}  // namespace kalendo

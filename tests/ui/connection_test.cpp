// Connect, the live status and the board vanishing, on the simulated board.
#include <algorithm>
#include <regex>

#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/twelve_hour_display.h"
#include "tests/ui/rtc_register_access.h"
#include "tests/ui/sim_board.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

constexpr unsigned kRtcAddress = 0x32;
constexpr unsigned kPowerMonitorAddress = 0x40;

class ConnectionTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(sim_.Load()) << "the simulated ftd2xx.dll was not found";
        sim_.PlugBack();
        sim_.SetAddressAck(kRtcAddress, true);
        sim_.SetAddressAck(kPowerMonitorAddress, true);
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        sim_.PlugBack();
        sim_.SetAddressAck(kRtcAddress, true);
        sim_.SetAddressAck(kPowerMonitorAddress, true);
        sim_.UseVirtualClock(false);
    }
    void ExpectConnected() {
        EXPECT_TRUE(BoardConnected);
        EXPECT_EQ(Text(IDC_MAIN_CONNECT), "Disconnect");
        EXPECT_EQ(Text(IDC_MAIN_BOARD_TEXT), "Board Connected");
        EXPECT_TRUE(ShowsGreenLamp(IDC_MAIN_BOARD_LAMP));
    }
    // The connect's own messages, then the pages' reset that follows it has the last word.
    void ExpectConnectReported() {
        EXPECT_TRUE(InformationShownInOrder({"Connected to RTC", "Board Connected"}))
            << ::testing::PrintToString(InformationShown());
        EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Register values refreshed");
    }
    void ExpectDisconnected() {
        EXPECT_FALSE(BoardConnected);
        EXPECT_EQ(Text(IDC_MAIN_CONNECT), "Connect");
        EXPECT_EQ(Text(IDC_MAIN_BOARD_TEXT), "Board Disconnected");
        EXPECT_FALSE(ShowsGreenLamp(IDC_MAIN_BOARD_LAMP));
    }

    SimBoard sim_;
};

TEST_F(ConnectionTest, ConnectWithNoBoardReportsTheMissingPowerMonitor) {
    sim_.Unplug();
    Start();
    Click(IDC_MAIN_CONNECT);
    // The pages' reset after the click must not bury the cause under its own warnings.
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Unable to locate ISL28023 device");
    ExpectDisconnected();
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "Unconnected");
}

TEST_F(ConnectionTest, ConnectInitialisesPowerMonitorAndEachRtcModelWithItsOwnWrites) {
    const std::vector<BusWrite> powerMonitor = {
        {0x38, {0x01, 0x5E}}, {0xD2, {0x1F}}, {0xD7, {0x01}},
        {0xE4, {0x00}},       {0xE3, {0xBE}}, {0xE4, {0x3F}},
    };
    struct {
        int model;
        std::vector<BusWrite> rtc;
    } cases[] = {
        {0, {{0x0D, {0x42}}, {0x0F, {0x40}}, {0x0E, {0x00}}, {0x18, {0x01}}}},
        {1, {{0x0D, {0x42}}, {0x0E, {0x00}}, {0x0E, {0x40}}}},
    };
    Start();
    for (const auto& c : cases) {
        ChooseModel(c.model);
        ASSERT_FALSE(BoardConnected);
        sim_.ClearRegisterWrites();
        ForgetInformation();
        Click(IDC_MAIN_CONNECT);
        ExpectConnected();
        ExpectConnectReported();
        // The set-up's writes come first; the pages' reset that follows writes its own.
        const std::vector<BusWrite> rtc = sim_.ValueWrites(kRtcAddress);
        ASSERT_GE(rtc.size(), c.rtc.size());
        EXPECT_EQ(std::vector<BusWrite>(rtc.begin(), rtc.begin() + c.rtc.size()), c.rtc)
            << "model " << c.model;
        // The bridge's output pin is a port write, not an I2C write: the monitor's writes
        // are exactly its set-up.
        EXPECT_EQ(sim_.ValueWrites(kPowerMonitorAddress), powerMonitor);
        Click(IDC_MAIN_CONNECT);
        ExpectDisconnected();
    }
}

TEST_F(ConnectionTest, ConnectedStatusShowsTheRtcClockTicking) {
    sim_.UseVirtualClock(true);
    Start();
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    const std::regex twelveHour(R"(\d\d:\d\d:\d\d (AM|PM))");
    const std::string before = Text(IDC_MAIN_RTC_TIME);
    EXPECT_TRUE(std::regex_match(before, twelveHour)) << before;
    EXPECT_NE(Text(IDC_MAIN_RTC_DATE).find(", 20"), std::string::npos) << Text(IDC_MAIN_RTC_DATE);
    EXPECT_TRUE(std::regex_match(Text(IDC_MAIN_RTC_TEMP), std::regex(R"(-?\d+\.\d)")))
        << Text(IDC_MAIN_RTC_TEMP);
    sim_.AdvanceMs(2000);
    Tick();
    EXPECT_NE(Text(IDC_MAIN_RTC_TIME), before);
    EXPECT_TRUE(BoardConnected);
    EXPECT_FALSE(ShowsGreenLamp(IDC_MAIN_FOUT_LAMP));  // FOUT stays as it was: off
}

TEST_F(ConnectionTest, ImpossibleDayShowsErrorWithoutReadingTheRestOfTheDate) {
    Start();
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    const uint8_t control = ReadRtcRegister(kRegControl);
    WriteRtcRegister(kRegControl, control | CTRL_WRITE_GUARD);
    WriteRtcRegister(kRegDay, 0x32);
    WriteRtcRegister(kRegControl, control);
    sim_.ClearRegisterWrites();
    Tick();
    EXPECT_EQ(Text(IDC_MAIN_RTC_DATE), "Error");
    const std::vector<uint8_t> reads = sim_.RegistersRead(kRtcAddress);
    EXPECT_NE(std::find(reads.begin(), reads.end(), kRegDay), reads.end());
    for (uint8_t reg : {kRegMonth, kRegYear, kRegWeek}) {
        EXPECT_EQ(std::find(reads.begin(), reads.end(), reg), reads.end()) << int(reg);
    }
}

TEST_F(ConnectionTest, UnplugDisconnectsAtTheNextTickAndPlugBackConnectsAgain) {
    Start();
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    sim_.Unplug();

    Tick();
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "Error");
    EXPECT_EQ(Text(IDC_MAIN_RTC_DATE), "Error");
    EXPECT_EQ(Text(IDC_MAIN_RTC_TEMP), "Error");
    ExpectDisconnected();
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Board Disconnected");
    EXPECT_FALSE(ShowsGreenLamp(IDC_MAIN_FOUT_LAMP));
    EXPECT_EQ(Text(IDC_MAIN_FOUT_TEXT), "FOUT Disabled");

    Tick();
    for (int id : {IDC_MAIN_RTC_TIME, IDC_MAIN_RTC_DATE, IDC_MAIN_RTC_TEMP}) {
        EXPECT_EQ(Text(id), "Unconnected") << id;
    }
    EXPECT_FALSE(ShowsGreenLamp(IDC_MAIN_BATTERY_LAMP));
    EXPECT_EQ(Text(IDC_MAIN_BATTERY_TEXT), "Battery Not-used");

    sim_.PlugBack();
    ForgetInformation();
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    ExpectConnectReported();
    Tick();
    EXPECT_TRUE(BoardConnected);
    EXPECT_NE(Text(IDC_MAIN_RTC_TIME), "Error");
}

TEST_F(ConnectionTest, ModelChangeWhileConnectedDisconnectsFirst) {
    Start();
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    ForgetInformation();
    ChooseModel(1);
    ExpectDisconnected();
    EXPECT_TRUE(InformationShownInOrder({"Board Disconnected", "RTC changed to Novar TQ5200"}))
        << ::testing::PrintToString(InformationShown());
    Tick();
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "Unconnected");
}

TEST_F(ConnectionTest, DisconnectRestoresTwelveHourDisplay) {
    Start();
    Click(IDC_MAIN_CONNECT);
    TwelveHourDisplay = 0;
    Tick();
    EXPECT_TRUE(std::regex_match(Text(IDC_MAIN_RTC_TIME), std::regex(R"(\d\d:\d\d:\d\d)")))
        << Text(IDC_MAIN_RTC_TIME);
    Click(IDC_MAIN_CONNECT);
    EXPECT_EQ(TwelveHourDisplay, 1);
    Click(IDC_MAIN_CONNECT);
    EXPECT_TRUE(std::regex_match(Text(IDC_MAIN_RTC_TIME), std::regex(R"(.* (AM|PM))")))
        << Text(IDC_MAIN_RTC_TIME);
}

TEST_F(ConnectionTest, FailedSetUpWritesAreReportedAsAnErrorNotAsConnected) {
    Start();
    sim_.SetAddressAck(kRtcAddress, false);  // the RTC stops answering
    Click(IDC_MAIN_CONNECT);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Board not initialised, bus error");
    // A set-up that did not reach the chip leaves the board disconnected, not "Disconnect"
    // beside a chip in an unknown state.
    ExpectDisconnected();
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "Unconnected");
    sim_.SetAddressAck(kRtcAddress, true);
    Click(IDC_MAIN_CONNECT);
    ExpectConnected();
    EXPECT_NE(Text(IDC_MAIN_RTC_TIME), "Error");
}

}  // namespace
}  // namespace kalendo

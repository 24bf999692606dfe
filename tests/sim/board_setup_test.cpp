// Building the board from its settings, the control commands and files, and the board clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/clock/board_clock.h"
#include "sim/control/control_command.h"
#include "sim/control/control_file.h"
#include "sim/library/device_list_text.h"
#include "sim/control/evaluation_board.h"
#include "sim/library/ft_entry_points.h"
#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"
#include "sim/control/sim_control_api.h"
#include "sim/chips/evaluation_board_chips.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DeviceListText, ParsesEntriesInOrder) {
    std::vector<UsbDeviceEntry> devices;
    std::string error;
    ASSERT_TRUE(ParseDeviceList("6:0x11:Dual RS232-HS A;6:0x12:Dual RS232-HS B; 8 :33:UM232H;",
                                &devices, &error))
        << error;
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].type, 6u);
    EXPECT_EQ(devices[1].locationId, 0x12u);
    EXPECT_EQ(devices[1].description, "Dual RS232-HS B");
    EXPECT_EQ(devices[2].type, 8u);
    EXPECT_EQ(devices[2].locationId, 33u);
    EXPECT_EQ(devices[2].description, "UM232H");
    EXPECT_NE(devices[0].serial, devices[1].serial);

    ASSERT_TRUE(ParseDeviceList("none", &devices, &error));
    EXPECT_TRUE(devices.empty());
}

TEST(DeviceListText, RefusesBadEntriesWithAMessageAndKeepsTheList) {
    const char* bad[] = {"8:0x11",
                         "x:0x11:UM232H",
                         "8:0xZZ:UM232H",
                         "8:-1:UM232H",
                         "8:0x11:UM232H;6:1",
                         "",
                         ";",
                         "8:1:0123456789012345678901234567890123456789012345678901234567890123"};
    for (const char* text : bad) {
        std::vector<UsbDeviceEntry> devices = DefaultDeviceList();
        std::string error;
        EXPECT_FALSE(ParseDeviceList(text, &devices, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(devices.size(), 1u) << text;
    }
}

TEST(ControlCommandText, ParsesEachCommandAndRefusesTypos) {
    struct Good {
        const char* line;
        const char* setting;
        uint32_t value;
        double number;
        bool on;
    };
    const Good good[] = {
        {"unplug", "unplug", 0, 0, false},
        {"plugback", "plugback", 0, 0, false},
        {"ack 0x32 off", "ack", 0x32, 0, false},
        {"  ack 64 on ", "ack", 64, 0, true},
        {"supply 1.8", "supply", 0, 1.8, false},
        {"supply auto", "supply auto", 0, 0, false},
        {"battery 2.5", "battery", 0, 2.5, false},
        {"temperature -10", "temperature", 0, -10, false},
        {"event", "event", 0, 0, false},
        {"clock virtual", "clock virtual", 0, 0, false},
        {"advance 60000", "advance", 60000, 0, false},
        {"fail-write 4", "fail-write", 4, 0, false},
        {"echo off", "echo", 0, 0, false},
        {"in-use 2 on", "in-use", 2, 0, true},
        {"answer-delay 25", "answer-delay", 25, 0, false},
        {"pin-ns 600", "pin-ns", 600, 0, false},
        {"ppm -20.5", "ppm", 0, -20.5, false},
        {"tempco 0.034", "tempco", 0, 0.034, false},
    };
    for (const Good& g : good) {
        ControlCommand c;
        std::string error;
        ASSERT_TRUE(ParseControlCommand(g.line, &c, &error)) << g.line << ": " << error;
        ASSERT_NE(c.setting, nullptr) << g.line;
        EXPECT_EQ(SettingName(*c.setting), g.setting) << g.line;
        EXPECT_EQ(c.value, g.value) << g.line;
        EXPECT_DOUBLE_EQ(c.number, g.number) << g.line;
        EXPECT_EQ(c.on, g.on) << g.line;
    }
    // Short transfers: the nth call from now, every call, or none.
    const std::pair<const char*, int64_t> shortTransfers[] = {{"short-read 3", 3},
                                                              {"short-read always", -1},
                                                              {"short-write off", 0},
                                                              {"short-write 1", 1}};
    for (const auto& [line, nth] : shortTransfers) {
        ControlCommand c;
        std::string error;
        ASSERT_TRUE(ParseControlCommand(line, &c, &error)) << line << ": " << error;
        EXPECT_EQ(c.nth, nth) << line;
    }
    const char* bad[] = {"unplug now",  "ack 0x80 off", "ack 0x32",     "supply 9",
                         "supply x",    "battery",      "advance -5",   "clock fast",
                         "echo maybe",  "reboot",       "short-read 0", "short-read -2",
                         "short-write", "in-use 1",     "in-use x on",  "answer-delay 99999",
                         "pin-ns 5",    "pin-ns",       "ppm 200000",   "ppm fast",
                         "tempco 2",    "tempco"};
    for (const char* line : bad) {
        ControlCommand c;
        std::string error;
        EXPECT_FALSE(ParseControlCommand(line, &c, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    ControlCommand c;
    std::string error;
    EXPECT_FALSE(ParseControlCommand("# a comment", &c, &error));
    EXPECT_TRUE(error.empty());
}

TEST(BoardClockTest, VirtualTimeMovesOnlyWhenAdvancedAndNeverGoesBack) {
    BoardClock clock;
    clock.UseVirtual(true);
    const int64_t start = clock.NowMicros();
    EXPECT_EQ(clock.NowMicros(), start);
    clock.AdvanceMs(1500);
    EXPECT_EQ(clock.NowMicros(), start + 1'500'000);
    clock.AdvanceToPs(0);  // earlier: ignored
    EXPECT_EQ(clock.NowMicros(), start + 1'500'000);
    clock.UseVirtual(false);
    EXPECT_GE(clock.NowMicros(), start + 1'500'000) << "real time resumes from the virtual";
    const int64_t real = clock.NowMicros();
    clock.AdvanceMs(10'000);  // no effect on real time
    EXPECT_LT(clock.NowMicros() - real, 5'000'000);
}

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Board().Shutdown();
        Simulator().Reset();
        dir = std::filesystem::temp_directory_path() /
              ("kalendo-sim-test-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        ft.Open = reinterpret_cast<FtOpenFn>(FindEntryPoint("FT_Open"));
    }
    void TearDown() override {
        Board().Shutdown();
        Simulator().Reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    BoardOptions Fresh() {
        BoardOptions o;
        o.state = "fresh";
        o.controlFile = (dir / "control.txt").string();
        return o;
    }
    FtHandle OpenEngine(int position = 0) {
        FtHandle h = nullptr;
        EXPECT_EQ(FT_Open(position, &h), kFtOk);
        EXPECT_EQ(FT_SetTimeouts(h, 1000, 1000), kFtOk);
        EXPECT_EQ(FT_SetBitMode(h, 0, 2), kFtOk);
        return h;
    }
    // Writes b and reads the answers it is known to give (waiting for the latency timer).
    Bytes Exchange(FtHandle h, const Bytes& b, uint32_t answers = 0) {
        uint32_t n = 0;
        EXPECT_EQ(FT_Write(h, b.data(), static_cast<uint32_t>(b.size()), &n), kFtOk);
        Bytes out(answers);
        n = 0;
        if (answers) FT_Read(h, out.data(), answers, &n);
        out.resize(n);
        return out;
    }

    std::filesystem::path dir;
    FtLibrary ft{};
};

TEST_F(BoardTest, DeviceListFromSettingsAndBadSettingsFallBack) {
    BoardOptions o = Fresh();
    o.devices = "6:0x11:Dual RS232-HS A;6:0x12:Dual RS232-HS B;8:0x21:UM232H;8:0x31:UM232H";
    std::vector<std::string> messages;
    Board().Configure(o, &messages);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(Simulator().DeviceList().size(), 4u);
    EXPECT_EQ(Simulator().DeviceList()[2].locationId, 0x21u);

    o.devices = "8;UM232H";
    o.rtc = "TQ9999";
    o.traceFile = (dir / "no-such-folder" / "trace.txt").string();
    messages.clear();
    Board().Configure(o, &messages);
    ASSERT_EQ(Simulator().DeviceList().size(), 1u);
    EXPECT_EQ(Simulator().DeviceList()[0].description, "UM232H");
    std::string all;
    for (const auto& m : messages) all += m + "\n";
    EXPECT_NE(all.find("KALENDO_SIM_DEVICES"), std::string::npos) << all;
    EXPECT_NE(all.find("trace file"), std::string::npos) << all;
}

// The library's faults from the settings, spelled as the control commands; a bad value is
// reported and ignored.
TEST_F(BoardTest, LibraryFaultsFromSettings) {
    BoardOptions o = Fresh();
    o.devices = "8:0x11:UM232H;8:0x21:UM232H;8:0x31:UM232H";
    o.settings["KALENDO_SIM_IN_USE"] = "0,2";
    o.settings["KALENDO_SIM_SHORT_WRITE"] = "always";
    std::vector<std::string> messages;
    Board().Configure(o, &messages);
    EXPECT_TRUE(messages.empty());
    FtHandle h = nullptr;
    EXPECT_EQ(FT_Open(0, &h), kFtDeviceNotOpened);
    EXPECT_EQ(FT_Open(2, &h), kFtDeviceNotOpened);
    h = OpenEngine(1);
    uint32_t written = 0;
    ASSERT_EQ(FT_Write(h, "\xAA\xAA", 2, &written), kFtOk);
    EXPECT_EQ(written, 1u);
    FT_Close(h);

    o.settings["KALENDO_SIM_IN_USE"] = "0,7";
    o.settings["KALENDO_SIM_SHORT_WRITE"] = "";
    o.settings["KALENDO_SIM_SHORT_READ"] = "sometimes";
    o.settings["KALENDO_SIM_ANSWER_DELAY"] = "-3";
    messages.clear();
    Board().Configure(o, &messages);
    std::string all;
    for (const auto& m : messages) all += m + "\n";
    EXPECT_NE(all.find("KALENDO_SIM_IN_USE \"7 on\""), std::string::npos) << all;
    EXPECT_NE(all.find("KALENDO_SIM_SHORT_READ"), std::string::npos) << all;
    EXPECT_NE(all.find("KALENDO_SIM_ANSWER_DELAY"), std::string::npos) << all;
    EXPECT_EQ(FT_Open(0, &h), kFtDeviceNotOpened) << "the good position still applies";
    h = OpenEngine(1);
    ASSERT_EQ(FT_Write(h, "\xAA\xAA", 2, &written), kFtOk);
    EXPECT_EQ(written, 2u) << "no short writes any more";
    FT_Close(h);
}

TEST_F(BoardTest, ControlFileCommandsRunAtTheNextPollAndTheFileIsTaken) {
    Board().Configure(Fresh(), nullptr);
    RegisterFileSlave chip{0x32, 16};
    Simulator().AttachSlave(&chip);
    const std::string control = Fresh().controlFile;
    std::string error;
    ASSERT_TRUE(AppendControlCommand(control, "ack 0x32 off", &error)) << error;
    ASSERT_TRUE(AppendControlCommand(control, "unplug", &error)) << error;
    ASSERT_TRUE(AppendControlCommand(control, "bogus words", &error)) << error;
    Board().PollControlFileNow();
    EXPECT_FALSE(std::filesystem::exists(control));
    EXPECT_FALSE(Simulator().Plugged());

    ASSERT_TRUE(AppendControlCommand(control, "plugback", &error));
    Board().PollControlFileNow();
    EXPECT_TRUE(Simulator().Plugged());
    FtHandle h = OpenEngine();
    Exchange(h, burst::Setup(true));
    EXPECT_EQ(Exchange(h, burst::RegisterWrite(0x32, 0x01, {0x09}), 3), (Bytes{1, 1, 1}))
        << "the address was silenced by the control file";
    EXPECT_EQ(KalendoSim_Execute("ack 0x32 on"), 1);
    EXPECT_EQ(Exchange(h, burst::RegisterWrite(0x32, 0x01, {0x09}), 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(KalendoSim_Execute("ack 0x32"), 0);
    Simulator().DetachSlave(&chip);
}

TEST_F(BoardTest, ControlApiObservesWritesAndUpperPortAndDrivesTheClock) {
    Board().Configure(Fresh(), nullptr);
    RegisterFileSlave chip{0x32, 16};
    Simulator().AttachSlave(&chip);
    FtHandle h = OpenEngine();
    Exchange(h, burst::Setup(true));
    Exchange(h, burst::RegisterWrite(0x32, 0x0F, {0x05, 0x06}), 4);
    Exchange(h, {0x82, 0x08, 0x0B});

    unsigned char values[4] = {};
    EXPECT_EQ(KalendoSim_GetLastRegisterWrite(0x32, 0x0F, values, 4), 2);
    EXPECT_EQ(values[0], 0x05);
    EXPECT_EQ(values[1], 0x06);
    EXPECT_EQ(KalendoSim_GetLastRegisterWrite(0x32, 0x0E, values, 4), -1);
    EXPECT_EQ(KalendoSim_GetRegisterWriteCount(0x32), 1);
    unsigned char value = 0, direction = 0;
    ASSERT_EQ(KalendoSim_GetUpperPort(&value, &direction), 1);
    EXPECT_EQ(value, 0x08);
    EXPECT_EQ(direction, 0x0B);

    EXPECT_EQ(KalendoSim_AdvanceMs(10), 0) << "real clock: nothing to advance";
    ASSERT_EQ(KalendoSim_UseVirtualClock(1), 1);
    const int64_t before = Simulator().Clock().NowMicros();
    EXPECT_EQ(KalendoSim_AdvanceMs(2500), 1);
    EXPECT_EQ(Simulator().Clock().NowMicros() - before, 2'500'000);
    // The engine's wire time moves the virtual clock too: a 330-byte write is about 300 us.
    const int64_t beforeWrite = Simulator().Clock().NowMicros();
    Exchange(h, burst::RegisterWrite(0x32, 0x0F, {0x05}), 0);
    const int64_t spent = Simulator().Clock().NowMicros() - beforeWrite;
    EXPECT_GT(spent, 250);
    EXPECT_LT(spent, 400);
    Simulator().DetachSlave(&chip);
}

// The bus timing through the control API: the pin-command time from the settings, violations
// as trace lines and as text, the margins, and forgetting them.
TEST_F(BoardTest, TimingViolationsReachTheTraceAndTheControlApi) {
    BoardOptions o = Fresh();
    o.settings["KALENDO_SIM_PIN_NS"] = "10";
    o.traceFile = (dir / "trace.txt").string();
    std::vector<std::string> messages;
    Board().Configure(o, &messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Simulator().PinCommandNs(), 10u);
    RegisterFileSlave chip{0x32, 16};
    Simulator().AttachSlave(&chip);
    FtHandle h = OpenEngine();
    Exchange(h, burst::Setup(true));
    Exchange(h, burst::RegisterWrite(0x32, 0x01, {0x09}), 3);
    Board().Shutdown();  // closes the trace

    // 20 pin commands of 10 ns hold the START and set up the STOP for 200 ns.
    ASSERT_EQ(KalendoSim_GetTimingViolationCount(), 2);
    char text[128] = {};
    ASSERT_GT(KalendoSim_GetTimingViolation(0, text, sizeof text), 0);
    EXPECT_NE(std::string(text).find("TIMING tHD;STA 200 ns < 600 ns (fast mode)"),
              std::string::npos)
        << text;
    EXPECT_EQ(KalendoSim_GetTimingViolation(2, text, sizeof text), -1);
    char tiny[8] = {};
    EXPECT_GT(KalendoSim_GetTimingViolation(1, tiny, sizeof tiny), 8) << "length of the whole line";
    EXPECT_EQ(std::string(tiny).size(), 7u);
    std::string margins(2048, '\0');
    ASSERT_GT(KalendoSim_GetTimingMargins(margins.data(), static_cast<int>(margins.size())), 0);
    EXPECT_NE(margins.find("tSU;STO shortest 200 ns: fast mode -400 ns"), std::string::npos)
        << margins;

    std::ifstream trace(dir / "trace.txt");
    std::string all((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("TIMING tHD;STA 200 ns"), std::string::npos) << all;
    EXPECT_NE(all.find("TIMING tSU;STO 200 ns"), std::string::npos) << all;
    EXPECT_NE(all.find("START 0x32 W ACK 0x01 ACK 0x09 ACK STOP"), std::string::npos) << all;

    EXPECT_EQ(KalendoSim_ClearTimingViolations(), 1);
    EXPECT_EQ(KalendoSim_GetTimingViolationCount(), 0);
    EXPECT_EQ(KalendoSim_SetPinCommandNs(5), 0) << "below the range";
    EXPECT_EQ(KalendoSim_SetPinCommandNs(600), 1);
    EXPECT_EQ(Simulator().PinCommandNs(), 600u);
    Simulator().DetachSlave(&chip);
}

// The chips sit behind the first UM232H: the power monitor's identification block at 0xAD
// starts with its length, 8.
TEST_F(BoardTest, ChipsAnswerBehindTheFirstUm232hOnly) {
    BoardOptions o = Fresh();
    o.devices = "6:0x11:Dual RS232-HS A;8:0x21:UM232H";
    Board().Configure(o, nullptr);
    ASSERT_TRUE(Board().HasChips());
    for (int position : {0, 1}) {
        FtHandle h = OpenEngine(position);
        Exchange(h, burst::Setup(true));
        const Bytes select = Exchange(h, burst::RegisterSelect(0x40, 0xAD), 2);
        const Bytes data = Exchange(h, burst::DataRead(0x40, 1), 2);
        ASSERT_EQ(data.size(), 2u);
        if (position == 1) {
            EXPECT_EQ(select, (Bytes{0, 0}));
            EXPECT_EQ(data[1], 8);
        } else {
            EXPECT_EQ(select, (Bytes{1, 1})) << "empty bus";
        }
        FT_Close(h);
    }
}

// The crystal error from the environment and from a control command: the RTC's minutes and
// seconds after 1000 s of the board's clock.
TEST_F(BoardTest, CrystalErrorFromTheEnvironmentAndTheControlCommands) {
    BoardOptions o = Fresh();
    o.settings["KALENDO_SIM_PPM"] = "5000";
    std::vector<std::string> messages;
    Board().Configure(o, &messages);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(Board().HasChips());
    Simulator().Clock().UseVirtual(true);
    const auto minutesAndSeconds = [] {
        I2cSlave& rtc = Board().Chips()->Rtc();
        rtc.OnStart(false);
        rtc.OnWrite(0x00);
        rtc.OnStart(true);
        const int seconds = rtc.OnRead();
        const int minutes = rtc.OnRead();
        rtc.OnStop();
        return minutes << 8 | seconds;
    };
    minutesAndSeconds();  // the count starts here
    Simulator().WithLock([] { Simulator().Clock().AdvanceMs(1000000); });
    EXPECT_EQ(minutesAndSeconds(), 0x1645);  // 1005 s
    EXPECT_EQ(KalendoSim_Execute("ppm -5000"), 1);
    Simulator().WithLock([] { Simulator().Clock().AdvanceMs(1000000); });
    EXPECT_EQ(minutesAndSeconds(), 0x3320);  // and 995 s more
    EXPECT_EQ(KalendoSim_Execute("tempco 5"), 0);

    o.settings["KALENDO_SIM_PPM"] = "fast";
    o.settings["KALENDO_SIM_TEMPCO"] = "0.034";
    messages.clear();
    Board().Configure(o, &messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("KALENDO_SIM_PPM \"fast\""), std::string::npos) << messages[0];
}

// The mounted sample's figures reach the chips from the environment and the control commands.
TEST_F(BoardTest, SampleFiguresFromTheEnvironmentAndTheControlCommands) {
    BoardOptions o = Fresh();
    o.settings["KALENDO_SIM_RTC_INTERFACE_MIN"] = "3.4";  // above the 3.3 V the board starts at
    o.settings["KALENDO_SIM_SWITCH_TO_BATTERY"] = "3.35";
    o.settings["KALENDO_SIM_SWITCH_TO_SUPPLY"] = "3.6";
    std::vector<std::string> messages;
    Board().Configure(o, &messages);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(Board().HasChips());
    I2cSlave& rtc = Board().Chips()->Rtc();
    EXPECT_FALSE(rtc.OnStart(true));
    EXPECT_TRUE(Board().Chips()->RunningFromBattery());
    EXPECT_EQ(KalendoSim_Execute("rtc-interface-min 1.6"), 1);
    EXPECT_TRUE(rtc.OnStart(true));
    rtc.OnStop();
    EXPECT_EQ(KalendoSim_Execute("supply 3.5"), 1);
    EXPECT_TRUE(Board().Chips()->RunningFromBattery()) << "3.5 V is inside the band";
    EXPECT_EQ(KalendoSim_Execute("switch-to-supply 3.4"), 1);
    EXPECT_FALSE(Board().Chips()->RunningFromBattery());

    o.settings["KALENDO_SIM_RTC_SUPPLY_CURRENT"] = "-1";
    messages.clear();
    Board().Configure(o, &messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("KALENDO_SIM_RTC_SUPPLY_CURRENT"), std::string::npos)
        << messages[0];
}

}  // namespace
}  // namespace kalendo::sim

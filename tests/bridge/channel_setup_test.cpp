// Opening a channel and putting its serial engine into I2C mode.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class ChannelSetupTest : public BridgeTest {
  protected:
    // The engine commands written during set-up, without the synchronisation opcodes.
    std::vector<Bytes> SetupCommands() const {
        std::vector<Bytes> out;
        for (const Bytes& w : sim::Simulator().Writes()) {
            if (w == Bytes{0xAA} || w == Bytes{0xAB}) continue;
            out.push_back(w);
        }
        return out;
    }
};

TEST_F(ChannelSetupTest, FirstSelectionConfiguresTheUm232hForI2cAt100kHz) {
    Connect();
    Sim().SetRecording(true);
    SelectDevice(kRtc);

    std::vector<std::string> names = CallNames();
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& n) {
                                   return n == "FT_Write" || n == "FT_Read" ||
                                          n == "FT_GetQueueStatus" ||
                                          n == "FT_CreateDeviceInfoList" ||
                                          n == "FT_GetDeviceInfoList";
                               }),
                names.end());
    // The first FT_GetDeviceInfo checks that the opened device is the board found at discovery.
    EXPECT_EQ(names,
              (std::vector<std::string>{"FT_Open", "FT_GetDeviceInfo", "FT_GetDeviceInfo",
                                        "FT_ResetDevice", "FT_Purge",
                                        "FT_SetUSBParameters", "FT_SetChars", "FT_SetTimeouts",
                                        "FT_SetLatencyTimer", "FT_SetBitMode", "FT_SetBitMode"}));
    for (const auto& call : Sim().Calls()) {
        const uint64_t arg = call.args.size() > 1 ? call.args[1] : 0;
        if (call.name == "FT_SetUSBParameters") {
            EXPECT_EQ(arg, 65536u);
        } else if (call.name == "FT_SetTimeouts") {
            EXPECT_EQ(arg, 5000u);
        } else if (call.name == "FT_SetLatencyTimer") {
            EXPECT_EQ(arg, 2u);
        } else if (call.name == "FT_Purge") {
            EXPECT_EQ(arg, 3u);
        }
    }
    EXPECT_EQ(SetupCommands(), (std::vector<Bytes>{{0x84},
                                                   {0x8A},
                                                   {0x86, 0xC7, 0x00},
                                                   {0x85},
                                                   {0x9E, 0x03, 0x00},
                                                   {0x80, 0x03, 0x03},
                                                   {0x8C}}));
    EXPECT_EQ(Sim().BoardEngine()->ClockDivisor(), 199);
    EXPECT_TRUE(Sim().BoardEngine()->ThreePhase());
    EXPECT_EQ(os.sleptMs >= 70u, true) << "50 ms after synchronising, 20 ms after the clock";
}

TEST_F(ChannelSetupTest, ClockDivisorFollowsTheChipType) {
    struct Case {
        uint32_t type;
        uint32_t rate;
        Bytes commands;
    };
    const Case cases[] = {
        {8, 150000, {0x8A, 0x86, 0xC7, 0x00}},
        {6, 150000, {0x8B, 0x86, 0x27, 0x00}},
        {6, 10000000, {0x8A, 0x86, 0x02, 0x00}},
        {4, 150000, {0x86, 0xC7, 0x00}},
    };
    for (const Case& c : cases) {
        Sim().Reset();
        Sim().SetDeviceList({sim::UsbDeviceEntry{c.type, 0x11, "Channel A", "S1"}});
        ResetBridgeState();
        ASSERT_EQ(ConnectBridge(), 1);
        ASSERT_EQ(OpenChannel(1), kEngineOk);
        Sim().SetRecording(true);
        EXPECT_EQ(SetChannelClock(c.type, c.rate), kEngineOk);
        Bytes written;
        for (const Bytes& w : Sim().Writes()) written.insert(written.end(), w.begin(), w.end());
        EXPECT_EQ(written, c.commands) << "type " << c.type << " at " << c.rate;
        DisconnectBridge();
    }
}

TEST_F(ChannelSetupTest, TwoChannelChipGetsNoDriveLowOnlyCommand) {
    Sim().SetDeviceList({sim::UsbDeviceEntry{6, 0x11, "Dual RS232-HS A", "S1"}});
    Connect();
    ASSERT_EQ(OpenChannel(1), kEngineOk);
    Sim().SetRecording(true);
    EXPECT_EQ(ConfigureChannel(100000, 2, kOptionDriveLowOnly), kEngineOk);
    EXPECT_EQ(SetupCommands(),
              (std::vector<Bytes>{
                  {0x84}, {0x8B}, {0x86, 0x27, 0x00}, {0x85}, {0x80, 0x03, 0x03}, {0x8C}}));
}

TEST_F(ChannelSetupTest, ParametersOutOfRangeAreRefusedBeforeAnyLibraryCall) {
    Connect();
    ASSERT_EQ(OpenChannel(1), kEngineOk);
    Sim().SetRecording(true);
    EXPECT_EQ(ConfigureChannel(0, 2, 0), kEngineBadParameter);
    EXPECT_EQ(ConfigureChannel(20000001, 2, 0), kEngineBadParameter);  // 3/2 of it is too fast
    EXPECT_EQ(ConfigureChannel(30000001, 2, kOptionThreePhaseOff), kEngineBadParameter);
    EXPECT_EQ(ConfigureChannel(100000, 0, 0), kEngineBadParameter);
    EXPECT_TRUE(Sim().Calls().empty());
}

TEST_F(ChannelSetupTest, EngineThatNeverEchoesFailsAfterBoundedPollingAndIsRetried) {
    Sim().SetEngineEcho(false);
    Connect();
    Sim().SetRecording(true);
    EXPECT_EQ(AttachDevice(kRtc), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusNoChannel);
    // Bounded by time, not by a count of polls that each last a timer period on Windows. The
    // library's own calls take some of the 250 ms on the board's clock, so the sleeps may not.
    EXPECT_GE(os.sleptMs, 245u);
    EXPECT_LE(os.sleptMs, 252u);
    EXPECT_EQ(Bridge().boards[0]->attachedCount, 0u)
        << "nothing marked, so the next attach retries";
    EXPECT_EQ(EntryOf(kRtc)->attached, 0);
    // Closed and forgotten: left open with loop-back on, it would refuse the next open and
    // every acknowledge would read as given.
    EXPECT_EQ(Bridge().ChannelHandle, nullptr);
    EXPECT_EQ(CountCalls("FT_Close"), 1);

    // Once the engine answers, the next attach opens and configures the channel again.
    Sim().SetEngineEcho(true);
    Sim().ClearRecording();
    Bridge().BusStatus = 0;
    SelectDevice(kRtc);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_EQ(CountCalls("FT_Open"), 1);
    EXPECT_EQ(CountCalls("FT_ResetDevice"), 1);
    WriteRegisterChecked(0x0F, 0x05, 8);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);
}

TEST_F(ChannelSetupTest, FailedOpenSkipsConfigurationAndTransactionsFail) {
    Sim().SetFailOpen(sim::kFtDeviceNotOpened);
    Connect();
    Sim().SetRecording(true);
    SelectDevice(kRtc);
    EXPECT_EQ(CountCalls("FT_ResetDevice"), 0);
    EXPECT_EQ(Bridge().ChannelHandle, nullptr);
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0u);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
}

}  // namespace
}  // namespace kalendo::testing

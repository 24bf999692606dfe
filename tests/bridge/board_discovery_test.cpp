// Binding the library, the bus mutex and finding the boards among the USB bridges.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class BoardDiscoveryTest : public BridgeTest {};

sim::UsbDeviceEntry Device(uint32_t type, uint32_t location, const char* description) {
    return sim::UsbDeviceEntry{type, location, description, "S"};
}

TEST_F(BoardDiscoveryTest, OnlyUm232hModulesBecomeBoardsAtMostTwo) {
    struct Case {
        const char* what;
        std::vector<sim::UsbDeviceEntry> list;
        uint32_t boards;
        std::vector<uint32_t> channelIndexes;
    };
    const Case cases[] = {
        {"one module", {Device(8, 0x11, "UM232H")}, 1, {0}},
        {"dual-channel chip listed first",
         {Device(6, 0x11, "Dual RS232-HS A"), Device(6, 0x12, "Dual RS232-HS B"),
          Device(8, 0x21, "UM232H")},
         1,
         {2}},
        {"three modules",
         {Device(8, 0x11, "UM232H"), Device(8, 0x21, "UM232H"), Device(8, 0x31, "UM232H")},
         2,
         {0, 1}},
        {"changed description", {Device(8, 0x11, "UM232H-B")}, 0, {}},
        {"quad chip's third channel is no I2C channel",
         {Device(7, 0x13, "Quad RS232-HS C"), Device(8, 0x21, "UM232H")},
         1,
         {0}},
        {"no device", {}, 0, {}},
    };
    for (const Case& c : cases) {
        Sim().SetDeviceList(c.list);
        ResetBridgeState();
        EXPECT_EQ(ConnectBridge(), 1) << c.what;
        ASSERT_EQ(Bridge().boardCount, c.boards) << c.what;
        for (uint32_t b = 0; b < c.boards; ++b) {
            EXPECT_EQ(Bridge().boards[b]->channelIndex, c.channelIndexes[b]) << c.what;
            EXPECT_STREQ(Bridge().boards[b]->description, "UM232H");
            EXPECT_EQ(Bridge().boards[b]->deviceCount, 3u);
            EXPECT_EQ(EntryOf(static_cast<DeviceHandle>(((b + 1) << 8) | 1))->channelIndex,
                      c.channelIndexes[b]);
        }
        EXPECT_EQ(FirstDeviceOfBoard(1), c.boards == 2 ? 0x0201 : 0) << c.what;
        DisconnectBridge();
    }
}

TEST_F(BoardDiscoveryTest, BoardBehindATwoChannelChipOpensItsOwnListPosition) {
    Sim().SetDeviceList({Device(6, 0x11, "Dual RS232-HS A"), Device(6, 0x12, "Dual RS232-HS B"),
                         Device(8, 0x21, "UM232H")});
    Connect();
    Sim().SetRecording(true);
    SelectDevice(kRtc);
    ASSERT_GE(Sim().Calls().size(), 1u);
    bool opened = false;
    for (const auto& call : Sim().Calls()) {
        if (call.name == "FT_Open") {
            EXPECT_EQ(call.args[0], 2u);
            opened = true;
        }
    }
    EXPECT_TRUE(opened);
    rtcChip.At(0x05) = 0x12;
    EXPECT_EQ(ReadRegisterChecked(0x05, 8), 0x12u);
}

TEST_F(BoardDiscoveryTest, DeviceTableRowsAreFixed) {
    Connect();
    struct Row {
        DeviceHandle h;
        const char* name;
        const char* description;
        uint32_t kind;
        uint8_t address;
    };
    const Row rows[] = {{0x0101, "ISL28023", "Intersil ISL28023", 0, 0x40},
                        {0x0102, "Novar TQ5100", "Harlo Novar TQ5100 RTC", 1, 0x32},
                        {0x0103, "Novar TQ5200", "Harlo Novar TQ5200 RTC", 1, 0x32}};
    for (const Row& r : rows) {
        const DeviceEntry* e = EntryOf(r.h);
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ(e->name, r.name);
        EXPECT_STREQ(e->description, r.description);
        EXPECT_EQ(e->kind, r.kind);
        EXPECT_EQ(e->address, r.address);
        EXPECT_EQ(e->clockRate, 100000u);
        EXPECT_EQ(e->latencyTimer, 2);
        EXPECT_EQ(e->options, 2u);
        EXPECT_EQ(e->present, 1);
        EXPECT_EQ(e->attached, 0);
    }
}

TEST_F(BoardDiscoveryTest, SecondConnectWithoutDisconnectDoesNothing) {
    Connect();
    Sim().SetRecording(true);
    EXPECT_EQ(ConnectBridge(), 1);
    EXPECT_TRUE(Sim().Calls().empty());
    EXPECT_EQ(os.mutexNames.size(), 1u);
    EXPECT_TRUE(os.waitTimeouts.empty());
}

TEST_F(BoardDiscoveryTest, MutexNameEndsInTheBoardDigit) {
    struct Case {
        const char* value;  // null: not set
        const char* name;
    };
    const Case cases[] = {{nullptr, "RTCFTDIBRIDGEMutex0"}, {"7", "RTCFTDIBRIDGEMutex7"},
                          {"7abc", "RTCFTDIBRIDGEMutex7"},  {"x7", "RTCFTDIBRIDGEMutex0"},
                          {"", "RTCFTDIBRIDGEMutex0"},      {"9", "RTCFTDIBRIDGEMutex9"}};
    for (const Case& c : cases) {
        os.environment.clear();
        if (c.value) os.environment["Q7KBOARD"] = c.value;
        os.mutexNames.clear();
        ResetBridgeState();
        Connect();
        ASSERT_EQ(os.mutexNames.size(), 1u);
        EXPECT_EQ(os.mutexNames[0], c.name) << (c.value ? c.value : "(unset)");
        DisconnectBridge();
    }
}

TEST_F(BoardDiscoveryTest, EachConnectReplacesTheMutexHandle) {
    for (int i = 0; i < 3; ++i) {
        Connect();
        DisconnectBridge();
    }
    EXPECT_EQ(os.mutexNames.size(), 3u);
    EXPECT_EQ(os.mutexesOpen, 1) << "the previous handle is closed before a new one is made";
}

// The search sends nothing on I2C: another program keeping the bus (for longer than the bus
// time-out) neither delays it nor hides the boards.
TEST_F(BoardDiscoveryTest, SearchDoesNotWaitForTheBusThatAnotherProgramHolds) {
    ResetBridgeState();
    os.waitAnswers = {MutexWait::TimedOut};
    EXPECT_EQ(ConnectBridge(), 1);
    EXPECT_NE(FirstDeviceOfBoard(0), 0);
    EXPECT_TRUE(os.waitTimeouts.empty()) << "the search waited for the bus mutex";
    EXPECT_EQ(os.releases, 0);
}

TEST_F(BoardDiscoveryTest, BusHeldByAHungProcessTimesOutInsteadOfHanging) {
    Connect();
    EXPECT_EQ(Bridge().boardCount, 1u);
    EXPECT_EQ(os.releases, 0);

    SelectDevice(kRtc);
    Sim().SetRecording(true);
    os.waitAnswers = {MutexWait::TimedOut, MutexWait::TimedOut};
    rtcChip.At(0x00) = 0x42;
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0u);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    Bridge().BusStatus = 0;
    WriteRegisterChecked(0x00, 0x12, 8);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    EXPECT_EQ(CountCalls("FT_Write"), 0) << "nothing is sent without the bus";
    EXPECT_EQ(rtcChip.At(0x00), 0x42);

    SelectDevice(kPowerMonitor);
    os.waitAnswers = {MutexWait::TimedOut};
    Bridge().BusStatus = 0;
    EXPECT_EQ(ReadRegisterChecked(0xAD, 32), 0xFFFFu);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
}

TEST_F(BoardDiscoveryTest, AbandonedMutexIsTakenAsOwned) {
    Connect();
    SelectDevice(kRtc);
    int releasesBefore = os.releases;
    os.waitAnswers = {MutexWait::Abandoned};
    rtcChip.At(0x00) = 0x42;
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0x42u);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_EQ(os.releases, releasesBefore + 1);
}

TEST_F(BoardDiscoveryTest, LibraryWithoutEveryEntryPointIsUnloaded) {
    for (const char* missing : {"FT_GetLatencyTimer", "FT_GetLibraryVersion", "FT_Write"}) {
        os.missingEntryPoints = {missing};
        ResetBridgeState();
        EXPECT_EQ(ConnectBridge(), 0) << missing;
        EXPECT_EQ(Bridge().libraryHandle, nullptr);
        EXPECT_EQ(os.librariesOpen, 0);
        EXPECT_EQ(FirstDeviceOfBoard(0), 0);
    }
    os.missingEntryPoints.clear();
    os.libraryPresent = false;
    ResetBridgeState();
    EXPECT_EQ(ConnectBridge(), 0);
    os.libraryPresent = true;
    EXPECT_EQ(ConnectBridge(), 1) << "a later connect binds it";
    EXPECT_EQ(os.librariesOpen, 1);
}

TEST_F(BoardDiscoveryTest, DisconnectWithoutLibraryCallsNothing) {
    os.libraryPresent = false;
    Sim().SetRecording(true);
    EXPECT_EQ(ConnectBridge(), 0);
    DisconnectBridge();
    EXPECT_TRUE(Sim().Calls().empty());
    EXPECT_EQ(Bridge().ActiveDevice, 0);
}

TEST_F(BoardDiscoveryTest, UnpluggedBoardIsNotFoundByTheNextConnect) {
    Connect();
    Sim().Unplug();
    DisconnectBridge();
    Connect();
    EXPECT_EQ(Bridge().boardCount, 0u);
    DisconnectBridge();
    Sim().PlugBack();
    Connect();
    EXPECT_EQ(Bridge().boardCount, 1u);
}

TEST_F(BoardDiscoveryTest, ModuleOpenInAnotherProcessIsCountedNotFound) {
    Sim().SetDeviceList({Device(6, 0x11, "Dual RS232-HS A"), Device(8, 0x21, "UM232H")});
    Sim().SetInUse(1, true);
    Connect();
    EXPECT_EQ(Bridge().boardCount, 0u);
    EXPECT_EQ(Bridge().devicesOpenElsewhere, 1u);
    DisconnectBridge();

    // This process's own open channel is listed open too, but with its description.
    Sim().SetInUse(1, false);
    Connect();
    SelectDevice(kRtc);
    DisconnectBridge();
    Connect();
    EXPECT_EQ(Bridge().boardCount, 1u);
    EXPECT_EQ(Bridge().devicesOpenElsewhere, 0u);
}

}  // namespace
}  // namespace kalendo::testing

namespace kalendo::testing {
namespace {

// The board is opened by the identity found at discovery, not by its list position: a device
// that appears at that position afterwards is neither reset nor driven.
TEST_F(BridgeTest, TheBoardIsOpenedByItsIdentityWhereverTheListNowHasIt) {
    Connect();  // finds the UM232H KS000001 at list position 0
    sim::UsbDeviceEntry other;
    other.type = 6;  // a dual-channel chip's channel A: I2C-capable, listed first
    other.locationId = 0x11;
    other.description = "Dual RS232-HS A";
    other.serial = "FT9XK2AA";
    sim::UsbDeviceEntry board;  // the default entry: UM232H, KS000001
    board.locationId = 0x21;
    Sim().SetDeviceList({other, board});
    Sim().SetRecording(true);
    Sim().ClearRecording();

    SelectDevice(kRtc);
    OpenSelectedDevice();
    WriteRegisterChecked(0x07, 0x5A, 8);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_EQ(rtcChip.At(0x07), 0x5A) << "the write reached the board's RTC";
    std::vector<uint64_t> opened;
    for (const auto& call : Sim().Calls()) {
        if (call.name == "FT_Open") opened.push_back(call.args.at(0));
    }
    EXPECT_EQ(opened, (std::vector<uint64_t>{1})) << "only the board's own position was opened";
    EXPECT_FALSE(Bridge().boardChanged);
}

TEST_F(BridgeTest, ABoardReplacedByAnotherIsNotOpened) {
    Connect();
    sim::UsbDeviceEntry stranger;  // another UM232H at the board's place
    stranger.serial = "FTXYZ123";
    Sim().SetDeviceList({stranger});
    Sim().SetRecording(true);
    Sim().ClearRecording();
    SelectDevice(kRtc);
    OpenSelectedDevice();
    WriteRegisterChecked(0x07, 0x5A, 8);
    EXPECT_TRUE(Bridge().boardChanged);
    EXPECT_EQ(CountCalls("FT_Open"), 0);
    EXPECT_NE(Bridge().BusStatus, 0);
}

}  // namespace
}  // namespace kalendo::testing

// Register operations, device selection, fallback values and the sticky bus status.
#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class RegisterAccessTest : public BridgeTest {};

TEST_F(RegisterAccessTest, MultiByteValuesUseEachDevicesByteOrder) {
    ConnectAndSelect(kPowerMonitor);
    WriteRegisterChecked(0x38, 0x015E, 16);
    EXPECT_EQ(powerMonitorChip.At(0x38), 0x01);
    EXPECT_EQ(powerMonitorChip.At(0x39), 0x5E);
    const uint8_t id[] = {0x08, 0x49, 0x53, 0x4C};
    for (int i = 0; i < 4; ++i) powerMonitorChip.At(0xAD + i) = id[i];
    EXPECT_EQ(ReadRegisterChecked(0xAD, 32), 0x0849534Cu);

    SelectDevice(kRtc);
    WriteRegisterChecked(0x38, 0x015E, 16);
    EXPECT_EQ(rtcChip.At(0x38), 0x5E);
    EXPECT_EQ(rtcChip.At(0x39), 0x01);
    rtcChip.At(0x10) = 0x34;
    rtcChip.At(0x11) = 0x12;
    rtcChip.At(0x12) = 0xAB;
    EXPECT_EQ(ReadRegisterChecked(0x10, 16), 0x1234u);
    EXPECT_EQ(ReadRegisterChecked(0x10, 24), 0xAB1234u);
    EXPECT_EQ(Bridge().BusStatus, 0);
}

TEST_F(RegisterAccessTest, WithoutSelectionReadsFallBackAndNothingIsSent) {
    Connect();
    Sim().SetRecording(true);
    struct Case {
        uint32_t width;
        uint32_t fallback;
    };
    for (Case c : {Case{8, 0xFF}, Case{16, 0xFFFF}, Case{24, 0xFFFFFF}, Case{32, 0xFFFFFF}}) {
        Bridge().BusStatus = 0;
        EXPECT_EQ(ReadRegisterChecked(0x00, c.width), c.fallback) << c.width;
        EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
    }
    Bridge().BusStatus = 0;
    WriteRegisterChecked(0x00, 0x12, 8);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
    Bridge().BusStatus = 0;
    EXPECT_EQ(OpenSelectedDevice(), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
    EXPECT_TRUE(Sim().Calls().empty());
}

TEST_F(RegisterAccessTest, FailedReadsGiveEachDevicesFallback) {
    ConnectAndSelect(kPowerMonitor);
    Sim().SetAddressAcknowledge(0x40, false);
    EXPECT_EQ(ReadRegisterChecked(0xAD, 32), 0x0000FFFFu);
    EXPECT_EQ(ReadRegisterChecked(0xE4, 8), 0xFFu);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    Bridge().BusStatus = 0;

    SelectDevice(kRtc);
    Sim().SetAddressAcknowledge(0x32, false);
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0u);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    Bridge().BusStatus = 0;
    WriteRegisterChecked(0x00, 0x12, 8);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
}

TEST_F(RegisterAccessTest, UnpluggedBoardFailsEveryTransaction) {
    ConnectAndSelect(kRtc);
    Sim().Unplug();
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0u);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    SelectDevice(kPowerMonitor);
    EXPECT_EQ(ReadDeviceRegister(0xAD, 32), 0xFFFFu);
}

TEST_F(RegisterAccessTest, HandlesAndNamesResolveOnlyWhatExists) {
    Connect();
    EXPECT_EQ(FirstDeviceOfBoard(0), 0x0101);
    EXPECT_EQ(FirstDeviceOfBoard(1), 0);
    EXPECT_EQ(FindDeviceByName(0x0101, "ISL28023"), kPowerMonitor);
    EXPECT_EQ(FindDeviceByName(0x0101, "Novar TQ5100"), kRtc);
    EXPECT_EQ(FindDeviceByName(0x0101, "Novar TQ5200"), 0x0103);
    EXPECT_EQ(FindDeviceByName(0x0101, "isl28023"), 0);
    EXPECT_EQ(Bridge().BusStatus, 0) << "an unknown name is not a bus failure";
    EXPECT_EQ(FindDeviceByName(0, "ISL28023"), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);

    for (DeviceHandle h : {0x0000, 0x0001, 0x0100, 0x0104, 0x0201, 0xFF01}) {
        EXPECT_FALSE(IsValidHandle(h)) << std::hex << h;
    }
    Bridge().BusStatus = 0;
    SelectDevice(kRtc);
    EXPECT_EQ(SelectDevice(0), kRtc);
    EXPECT_EQ(Bridge().ActiveDevice, kRtc);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
}

TEST_F(RegisterAccessTest, ChannelIsOpenedAndConfiguredOnceAcrossSelections) {
    Connect();
    Sim().SetRecording(true);
    SelectDevice(kPowerMonitor);
    SelectDevice(kRtc);
    SelectDevice(kPowerMonitor);
    EXPECT_EQ(CountCalls("FT_Open"), 1);
    EXPECT_EQ(CountCalls("FT_ResetDevice"), 1);
    EXPECT_EQ(Bridge().BusTarget, EntryOf(kPowerMonitor));
    EXPECT_EQ(Bridge().boards[0]->attachedCount, 2u);

    SelectDevice(kRtc);
    SelectDevice(kRtc);
    SelectDevice(0x0103);
    EXPECT_EQ(Bridge().BusTarget, EntryOf(0x0103));
    EXPECT_EQ(CountCalls("FT_Open"), 1);
}

TEST_F(RegisterAccessTest, DisconnectInvalidatesEverythingUntilTheNextSelection) {
    ConnectAndSelect(kRtc);
    DisconnectBridge();
    EXPECT_EQ(Bridge().ChannelHandle, nullptr);
    EXPECT_EQ(CountCalls("FT_Close"), 1);
    Sim().ClearRecording();

    WriteRegisterChecked(0x00, 0x12, 8);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
    Connect();
    Bridge().BusStatus = 0;
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0xFFu);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
    EXPECT_EQ(CountCalls("FT_Write"), 0);

    SelectDevice(kRtc);
    EXPECT_EQ(CountCalls("FT_Open"), 1) << "the channel is opened and configured again";
    Bridge().BusStatus = 0;
    rtcChip.At(0x00) = 0x42;
    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0x42u);
    EXPECT_EQ(Bridge().BusStatus, 0);
}

TEST_F(RegisterAccessTest, OutputPinDrivesBit3OfTheUpperPort) {
    EXPECT_EQ(SetBridgeOutputPin(8), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusNoChannel);

    Bridge().BusStatus = 0;
    ConnectAndSelect(kRtc);
    EXPECT_EQ(SetBridgeOutputPin(8), 1);
    EXPECT_EQ(SetBridgeOutputPin(0xF7), 1);  // only bit 3 counts
    ASSERT_EQ(Sim().Writes().size(), 2u);
    EXPECT_EQ(Sim().Writes()[0], (Bytes{0x82, 0x08, 0x08}));
    EXPECT_EQ(Sim().Writes()[1], (Bytes{0x82, 0x00, 0x08}));
    EXPECT_EQ(Sim().BoardEngine()->HighValue() & 0x08, 0);

    Sim().SetFailWrite(sim::kFtIoError);
    EXPECT_EQ(SetBridgeOutputPin(8), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed) << "the FOUT toggle reports it";
}

}  // namespace
}  // namespace kalendo::testing

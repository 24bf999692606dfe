// Transfers the library reports as done but that moved fewer bytes than asked: each one fails
// its transaction with the usual fallback value instead of passing for success.
#include <gtest/gtest.h>

#include "bridge/bus_action.h"
#include "bridge/register_port.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

using namespace expect;

class ShortTransferTest : public BridgeTest {};

TEST_F(ShortTransferTest, ShortReadsAndWritesFailTheTransaction) {
    struct Case {
        const char* what;
        DeviceHandle device;
        bool shortWrite;  // otherwise a short read
        int nth;          // counted from the operation's first call
        bool write;       // the operation is a register write (otherwise a read)
        uint32_t fallback;
    };
    // An RTC read: FT_Read 1 = pointer acknowledges, 2 = address acknowledge, 3 = data.
    const Case cases[] = {
        {"RTC read, pointer acknowledges", kRtc, false, 1, false, 0},
        {"RTC read, address acknowledge", kRtc, false, 2, false, 0},
        {"RTC read, data", kRtc, false, 3, false, 0},
        {"RTC read, pointer burst", kRtc, true, 1, false, 0},
        {"RTC read, read burst", kRtc, true, 2, false, 0},
        {"RTC write, acknowledges", kRtc, false, 1, true, 0},
        {"RTC write, burst", kRtc, true, 1, true, 0},
        {"power-monitor read, data", kPowerMonitor, false, 3, false, 0xFFFF},
        {"power-monitor write, burst", kPowerMonitor, true, 1, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConnectAndSelect(c.device);
        rtcChip.At(0x05) = 0x5A;
        powerMonitorChip.At(0x05) = 0x12;
        powerMonitorChip.At(0x06) = 0x34;
        if (c.shortWrite) {
            Sim().SetShortWrite(c.nth);
        } else {
            Sim().SetShortRead(c.nth);
        }
        const uint32_t width = c.device == kRtc ? 8 : 16;
        if (c.write) {
            WriteRegisterChecked(0x07, 0x66, width);
        } else {
            EXPECT_EQ(ReadRegisterChecked(0x05, width), c.fallback);
        }
        EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
        Sim().SetShortRead(0);
        Sim().SetShortWrite(0);
        DisconnectBridge();
        Bridge().BusStatus = 0;
    }
}

TEST_F(ShortTransferTest, MissingAcknowledgeBitsAreNoAcknowledge) {
    ConnectAndSelect(kRtc);
    Sim().SetShortRead(1);  // half of the three acknowledge bits arrive
    uint32_t sent = 0;
    const uint8_t message[] = {0x07, 0x66};
    EXPECT_EQ(I2C_DeviceWrite(0x32, 2, message, &sent, XFER_START | XFER_STOP | XFER_BURST),
              kEngineDataNack);
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{3}));
}

TEST_F(ShortTransferTest, PowerMonitorReadWithAFailedPointerPhaseStopsAndReadsNothing) {
    ConnectAndSelect(kPowerMonitor);
    Sim().SetShortRead(1);  // the pointer's acknowledge bits
    EXPECT_EQ(ReadRegisterChecked(0xAD, 32), 0xFFFFu);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    // The pointer write, then a STOP alone: no read burst for a register not selected.
    ASSERT_EQ(Sim().Writes().size(), 2u);
    EXPECT_EQ(Sim().Writes()[0], Cat({Start(), ByteOut(0x80), ByteOut(0xAD)}));
    EXPECT_EQ(Sim().Writes()[1], Stop());
}

TEST_F(ShortTransferTest, OutputPinWriteTakenInPartSetsTheBusStatus) {
    ConnectAndSelect(kRtc);
    Sim().SetShortWrite(1);
    EXPECT_EQ(SetBridgeOutputPin(8), 0);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
}

}  // namespace
}  // namespace kalendo::testing

namespace kalendo::testing {
namespace {

// A board whose answer comes after the library's read time-out: the rest of that answer still
// arrives, after the next transaction's purge. It is drained with the engine resynchronised
// before the next burst, never read as that burst's acknowledge or data.
TEST_F(ShortTransferTest, TheLateRestOfAnAnswerIsNeverTakenForTheNextOne) {
    ConnectAndSelect(kRtc);
    rtcChip.At(0x05) = 0x5A;
    rtcChip.At(0x06) = 0x00;
    DevicePort rtc(kRtc);
    Sim().SetAnswerDelayMs(6000);  // the answer comes 6 s late; the library waits 5 s
    uint8_t value = 0;
    {
        BusAction first(kUserActionBusWaitMs);
        EXPECT_FALSE(rtc.Read8(0x06, &value));
        EXPECT_TRUE(first.BoardSilent());
    }
    Sim().SetAnswerDelayMs(0);  // on time again; the late bytes are still on their way
    const uint64_t before = os.NowMs();
    {
        // A run that rides out failed reads tries again at once: the engine does not echo yet.
        ForgetBoardSilence();
        BusAction second(kUserActionBusWaitMs);
        value = 0xEE;
        EXPECT_FALSE(rtc.Read8(0x05, &value)) << "never the late 0x00 taken for the answer";
        EXPECT_TRUE(second.BoardSilent());
    }
    EXPECT_LT(os.NowMs() - before, 1000u) << "a resynchronisation that fails costs no time-out";
    Sim().WithLock([&] { Sim().Clock().AdvanceMs(2000); });  // the late bytes have come
    ForgetBoardSilence();
    BusAction third(kUserActionBusWaitMs);
    EXPECT_TRUE(rtc.Read8(0x05, &value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_TRUE(rtc.Write8(0x07, 0x66));
    EXPECT_EQ(rtcChip.At(0x07), 0x66);
    EXPECT_TRUE(third.Ok());
}

}  // namespace
}  // namespace kalendo::testing

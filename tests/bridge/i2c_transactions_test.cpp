// Register transactions as command bursts on the simulated serial engine and bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bridge/register_port.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

using namespace expect;

class I2cTransactionTest : public BridgeTest {};

TEST_F(I2cTransactionTest, RtcRegisterWriteIsOneBurstWithThreeAcknowledgeBits) {
    ConnectAndSelect(kRtc);
    WriteRegisterChecked(0x0F, 0x05, 8);

    ASSERT_EQ(Sim().Writes().size(), 1u);
    const Bytes burst = Sim().Writes()[0];
    EXPECT_EQ(burst.size(), 330u);
    EXPECT_EQ(burst, Cat({Start(), ByteOut(0x64), ByteOut(0x0F), ByteOut(0x05), Stop()}));
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{3}));
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);
    EXPECT_EQ(Bridge().BusStatus, 0);
}

TEST_F(I2cTransactionTest, RegisterWriteAfterAnUnreadAnswerPurgesItAndReadsOnlyItsOwnBits) {
    ConnectAndSelect(kRtc);
    // An answer nobody read: the engine's echo of an invalid opcode (two bytes, the second with
    // bit 0 set, which would read as a missing acknowledge) waits in the receive queue. The
    // send-immediate command hands it over one USB round trip later instead of at the latency
    // timer's expiry.
    const uint8_t invalidOpcodeThenSendImmediate[] = {0xAB, 0x87};
    uint32_t written = 0;
    ASSERT_EQ(Bridge().ft.Write(Bridge().ChannelHandle, invalidOpcodeThenSendImmediate,
                                sizeof invalidOpcodeThenSendImmediate, &written),
              kFtOk);
    uint32_t waiting = 0;
    for (int polls = 0; polls < 100 && waiting < 2; ++polls) {
        if (polls > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(Bridge().ft.GetQueueStatus(Bridge().ChannelHandle, &waiting), kFtOk);
    }
    ASSERT_EQ(waiting, 2u);
    Sim().ClearRecording();

    WriteRegisterChecked(0x0F, 0x05, 8);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);
    const std::vector<std::string> calls = CallNames();
    const auto purge = std::find(calls.begin(), calls.end(), "FT_Purge");
    const auto write = std::find(calls.begin(), calls.end(), "FT_Write");
    EXPECT_TRUE(purge < write) << ::testing::PrintToString(calls);
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{3}));
}

TEST_F(I2cTransactionTest, PowerMonitorReadIsAddressPhaseThenRepeatedStartRead) {
    powerMonitorChip.At(0x8B) = 0x01;
    powerMonitorChip.At(0x8C) = 0x90;
    ConnectAndSelect(kPowerMonitor);

    EXPECT_EQ(ReadRegisterChecked(0x8B, 16), 0x0190u);

    ASSERT_EQ(Sim().Writes().size(), 2u);
    EXPECT_EQ(Sim().Writes()[0], Cat({Start(), ByteOut(0x80), ByteOut(0x8B)}));
    EXPECT_EQ(Sim().Writes()[1],
              Cat({Start(), ByteOut(0x81), ByteIn(false), ByteIn(true), Stop()}));
    // Acknowledge bits of the address phase, the read's address acknowledge, then the data.
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{2, 1, 2}));
    EXPECT_EQ(powerMonitorChip.MasterNacks(), 1);
}

// A port with immediate answers ends every burst with a send-immediate, so the answer comes back
// at the next USB round trip rather than at the latency timer; a port of the same device without
// it (the pages') sends its bursts as they are.
TEST_F(I2cTransactionTest, TimedPollsEndEachBurstWithASendImmediate) {
    powerMonitorChip.At(0x8B) = 0x01;
    powerMonitorChip.At(0x8C) = 0x90;
    ConnectAndSelect(kPowerMonitor);
    DevicePort timed(kPowerMonitor, AnswerTiming::Immediate);
    DevicePort page(kPowerMonitor);
    uint32_t value = 0;

    EXPECT_TRUE(timed.Read(0x8B, 16, &value));
    EXPECT_EQ(value, 0x0190u);
    EXPECT_TRUE(page.Read(0x8B, 16, &value));

    const Bytes immediate = {0x87};
    ASSERT_EQ(Sim().Writes().size(), 4u);
    EXPECT_EQ(Sim().Writes()[0], Cat({Start(), ByteOut(0x80), ByteOut(0x8B), immediate}));
    EXPECT_EQ(Sim().Writes()[1],
              Cat({Start(), ByteOut(0x81), ByteIn(false), ByteIn(true), Stop(), immediate}));
    EXPECT_EQ(Sim().Writes()[2], Cat({Start(), ByteOut(0x80), ByteOut(0x8B)}));
    EXPECT_EQ(Sim().Writes()[3], Cat({Start(), ByteOut(0x81), ByteIn(false), ByteIn(true), Stop()}));
    EXPECT_FALSE(Bridge().sendImmediate) << "the setting ends with its transfer";
}

// The polls' read in one burst: the register written, a repeated START, the byte read, STOP and
// the send-immediate, one exchange; the answer is the three acknowledges, then the byte. The chip
// latches at the repeated START: 18 bit periods at 100 kHz after the burst began (address and
// register) and as many before it ended (address and the byte with its NACK).
TEST_F(I2cTransactionTest, TimedReadIsOneCombinedBurst) {
    rtcChip.At(0x00) = 0x37;
    powerMonitorChip.At(0x8B) = 0x01;
    powerMonitorChip.At(0x8C) = 0x90;
    ConnectAndSelect(kRtc);
    DevicePort rtc(kRtc, AnswerTiming::Immediate);
    DevicePort monitor(kPowerMonitor, AnswerTiming::Immediate);
    uint32_t value = 0;
    LatchTiming latch;

    ASSERT_TRUE(rtc.ReadTimed(0x00, 8, &value, &latch));
    EXPECT_EQ(value, 0x37u);
    EXPECT_NEAR(latch.afterStartSeconds, 18 / 100e3, 1e-12);
    EXPECT_NEAR(latch.beforeEndSeconds, 18 / 100e3, 1e-12);
    ASSERT_TRUE(monitor.ReadTimed(0x8B, 16, &value, &latch));
    EXPECT_EQ(value, 0x0190u) << "most significant byte first";
    EXPECT_NEAR(latch.beforeEndSeconds, 27 / 100e3, 1e-12);

    ASSERT_EQ(Sim().Writes().size(), 2u);
    EXPECT_EQ(Sim().Writes()[0], Cat({Start(), ByteOut(0x64), ByteOut(0x00), Start(), ByteOut(0x65),
                                      ByteIn(true), Stop(), {0x87}}));
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{3, 1, 3, 2}));
    EXPECT_EQ(rtcChip.MasterNacks(), 1);

    // A silent RTC: the read fails, the value is the fallback, and nothing was claimed sent.
    Sim().SetAddressAcknowledge(0x32, false);
    EXPECT_FALSE(rtc.ReadTimed(0x00, 8, &value, &latch));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(latch.afterStartSeconds, 0);
    EXPECT_EQ(latch.beforeEndSeconds, 0);
}

TEST_F(I2cTransactionTest, UnacknowledgedRtcAddressReleasesTheBusWithALoneStop) {
    ConnectAndSelect(kRtc);
    Sim().SetAddressAcknowledge(0x32, false);

    EXPECT_EQ(ReadRegisterChecked(0x00, 8), 0u);
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);

    ASSERT_EQ(Sim().Writes().size(), 2u);
    EXPECT_EQ(Sim().Writes()[1], Stop());  // no data phase
    EXPECT_EQ(ReadCounts(), (std::vector<uint64_t>{2}));
}

TEST_F(I2cTransactionTest, EngineStatusNamesWhichByteWasNotAcknowledged) {
    // Refuses the third byte it is sent (the value after the register number).
    struct RefusesValue : sim::RegisterFileSlave {
        using RegisterFileSlave::RegisterFileSlave;
        int written = 0;
        bool OnStart(bool read) override {
            written = 0;
            return RegisterFileSlave::OnStart(read);
        }
        bool OnWrite(uint8_t b) override { return ++written < 2 && RegisterFileSlave::OnWrite(b); }
    } refusing{0x33, 16};
    Sim().AttachSlave(&refusing);
    ConnectAndSelect(kRtc);

    const uint8_t message[] = {0x0F, 0x05};
    uint32_t sent = 0;
    EXPECT_EQ(I2C_DeviceWrite(0x33, 2, message, &sent, XFER_START | XFER_STOP | XFER_BURST),
              kEngineDataNack);
    EXPECT_EQ(sent, 2u);
    EXPECT_EQ(I2C_DeviceWrite(0x34, 2, message, &sent, XFER_START | XFER_STOP | XFER_BURST),
              kEngineAddressNack);
    EXPECT_EQ(I2C_DeviceWrite(0x33, 1, message, &sent, XFER_START | XFER_STOP | XFER_BURST),
              kEngineOk);
    Sim().DetachSlave(&refusing);
}

TEST_F(I2cTransactionTest, StopOnlyTransferSendsTheStopSequenceAndReadsNothing) {
    ConnectAndSelect(kRtc);
    uint32_t sent = 99;
    EXPECT_EQ(I2C_DeviceWrite(0x32, 0, nullptr, &sent, XFER_STOP | XFER_BURST | XFER_NO_ADDRESS),
              kEngineOk);
    ASSERT_EQ(Sim().Writes().size(), 1u);
    EXPECT_EQ(Sim().Writes()[0].size(), 123u);
    EXPECT_EQ(Sim().Writes()[0], Stop());
    EXPECT_TRUE(ReadCounts().empty());
    EXPECT_EQ(sent, 0u);
}

TEST_F(I2cTransactionTest, WriteWithoutOpenChannelFailsWithoutCallingTheLibrary) {
    Connect();
    Sim().SetRecording(true);
    uint32_t sent = 0;
    const uint8_t reg = 0;
    EXPECT_EQ(I2C_DeviceWrite(0x32, 1, &reg, &sent, XFER_START | XFER_BURST), kEngineNoChannel);
    EXPECT_TRUE(Sim().Calls().empty());
}

TEST_F(I2cTransactionTest, ClockRateChoosesTheStartAndStopHoldCounts) {
    struct Case {
        uint32_t rate;
        uint32_t startCommands;
        uint32_t stopCommands;
    };
    const Case cases[] = {{100000, 58, 41}, {399999, 58, 41}, {400000, 9, 10}, {1000000, 9, 10}};
    FtHandle channel = reinterpret_cast<FtHandle>(0x77);
    for (const Case& c : cases) {
        StoreTimingRecord(channel, c.rate);
        EXPECT_EQ(TimingFor(channel).startCommands, c.startCommands) << c.rate;
        EXPECT_EQ(TimingFor(channel).stopCommands, c.stopCommands) << c.rate;
        EXPECT_EQ(TimingFor(channel).clockRate, c.rate);
    }
    FreeTimingRecord(channel);
    EXPECT_EQ(Bridge().timingRecords, nullptr);
    EXPECT_EQ(TimingFor(channel).startCommands, 58u);  // no record: standard mode
}

TEST_F(I2cTransactionTest, FastModeBurstUsesShortHoldSequences) {
    ConnectAndSelect(kRtc);
    StoreTimingRecord(Bridge().ChannelHandle, 400000);
    WriteRegisterChecked(0x0F, 0x05, 8);
    ASSERT_EQ(Sim().Writes().size(), 1u);
    EXPECT_EQ(Sim().Writes()[0].size(), 27u + 33u + 30u);
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);  // the bus still decodes it
}

}  // namespace
}  // namespace kalendo::testing

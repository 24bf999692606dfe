// The bus as a chip and a logic analyser see it, driven by the engine bytes a master sends.
#include "sim/bus/i2c_bus.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"
#include "sim/engine/serial_engine.h"
#include "tests/sim/bus_event_log.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

class I2cBusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (size_t i = 0; i < 32; ++i) chip.At(i) = static_cast<uint8_t>(0xA0 + i);
        bus.AttachSlave(&chip);
        bus.AddObserver(&log);
    }

    // Sends the bytes and returns the engine's answers.
    Bytes Run(const Bytes& bytes) {
        engine.Write(bytes.data(), bytes.size());
        Bytes out(engine.Pending());
        engine.Read(out.data(), out.size());
        return out;
    }

    I2cBus bus;
    SerialEngine engine{bus};
    RegisterFileSlave chip{0x32, 32};
    testing::BusEventLog log;
};

TEST_F(I2cBusTest, OnlyAPresentAnsweringAddressIsAcknowledged) {
    struct Case {
        uint8_t address;
        bool silenced;
        uint8_t ackBit;
        const char* events;
    };
    const Case cases[] = {
        {0x32, false, 0, "S A32W+ W07+ P"},
        {0x50, false, 1, "S A50W- W07- P"},  // nobody there: SDA stays high
        {0x32, true, 1, "S A32W- W07- P"},   // the chip stopped answering
    };
    for (const Case& c : cases) {
        bus.SetAddressAcknowledge(0x32, !c.silenced);
        log.Clear();
        Run(burst::Setup(true));
        Bytes b;
        burst::Start(b);
        burst::SendByte(b, static_cast<uint8_t>(c.address << 1));
        burst::SendByte(b, 0x07);
        burst::Stop(b);
        const Bytes acks = Run(b);
        ASSERT_EQ(acks.size(), 2u);
        EXPECT_EQ(acks[0] & 1, c.ackBit) << int(c.address);
        EXPECT_EQ(log.Text(), c.events);
    }
    EXPECT_EQ(chip.Pointer(), 0x07) << "only the acknowledged write reached the chip";
}

TEST_F(I2cBusTest, RegisterFileWriteThenReadThroughEngineBytes) {
    Run(burst::Setup(true));
    EXPECT_EQ(Run(burst::RegisterWrite(0x32, 0x05, {0x11, 0x22, 0x33})), (Bytes{0, 0, 0, 0, 0}));
    EXPECT_EQ(chip.At(5), 0x11);
    EXPECT_EQ(chip.At(6), 0x22);
    EXPECT_EQ(chip.At(7), 0x33);

    log.Clear();
    EXPECT_EQ(Run(burst::RegisterSelect(0x32, 0x05)), (Bytes{0, 0}));
    const Bytes data = Run(burst::DataRead(0x32, 3));
    EXPECT_EQ(data, (Bytes{0, 0x11, 0x22, 0x33}));
    EXPECT_EQ(log.Text(), "S A32W+ W05+ Sr A32R+ R11+ R22+ R33- P");
    EXPECT_EQ(bus.ContentionCount(), 0u);
    EXPECT_TRUE(bus.Scl());
    EXPECT_TRUE(bus.Sda());
}

TEST_F(I2cBusTest, AReadOfNBytesEndsWithANotAcknowledge) {
    Run(burst::Setup(true));
    for (int n : {1, 2, 4}) {
        Run(burst::RegisterSelect(0x32, 0x00));
        const int nacksBefore = chip.MasterNacks();
        log.Clear();
        const Bytes data = Run(burst::DataRead(0x32, n));
        ASSERT_EQ(data.size(), static_cast<size_t>(n + 1));
        std::string expected = "Sr A32R+";
        for (int i = 0; i < n; ++i) {
            char t[8];
            std::snprintf(t, sizeof t, " R%02X%c", 0xA0 + i, i == n - 1 ? '-' : '+');
            expected += t;
            EXPECT_EQ(data[static_cast<size_t>(i) + 1], 0xA0 + i);
        }
        EXPECT_EQ(log.Text(), expected + " P");
        EXPECT_EQ(chip.MasterNacks() - nacksBefore, 1);
    }
}

// The chip acknowledges on the falling edge of the eighth clock while the engine, with
// three-phase clocking, still holds the last address bit for a phase. A read address ends in 1:
// driven high unless the pins are drive-low-only.
TEST_F(I2cBusTest, MasterDrivingSdaHighAgainstAChipsLowIsContention) {
    struct Case {
        bool driveLowOnly;
        uint8_t addressByte;
        uint32_t contentions;
    };
    const Case cases[] = {
        {false, 0x65, 1},  // read: last bit 1, driven high against the acknowledge
        {false, 0x64, 0},  // write: last bit 0
        {true, 0x65, 0},   // drive-low-only: a 1 is released, not driven
    };
    for (const Case& c : cases) {
        I2cBus board;
        SerialEngine master{board};
        RegisterFileSlave target{0x32, 4};
        board.AttachSlave(&target);
        Bytes b = burst::Setup(c.driveLowOnly);
        burst::Start(b);
        burst::SendByte(b, c.addressByte);
        master.Write(b.data(), b.size());
        EXPECT_EQ(board.ContentionCount(), c.contentions)
            << "drive-low-only " << c.driveLowOnly << " address " << int(c.addressByte);
    }

    // The master drives SDA high while the chip is sending a 0 bit: the wire reads low.
    Run(burst::Setup(false));
    chip.At(0) = 0x00;
    Run(burst::RegisterSelect(0x32, 0x00));
    Bytes b;
    burst::Start(b);
    burst::SendByte(b, 0x64);  // write address: no contention in its hold phase
    Run(b);
    ASSERT_EQ(bus.ContentionCount(), 0u);
    Bytes read;
    burst::Start(read);
    burst::SendByte(read, 0x65);
    Run(read);
    const uint32_t before = bus.ContentionCount();
    Bytes push;
    burst::PinState(push, 0x02, 0x03);  // SDA driven high during the chip's first data bit 0
    Run(push);
    EXPECT_EQ(bus.ContentionCount(), before + 1);
    EXPECT_FALSE(bus.Sda());
}

TEST_F(I2cBusTest, RepeatedStartToAnotherAddressEndsTheFirstChipsTransaction) {
    RegisterFileSlave other{0x40, 4};
    bus.AttachSlave(&other);
    Run(burst::Setup(true));
    Run(burst::RegisterSelect(0x32, 0x01));
    EXPECT_EQ(chip.Stops(), 0);
    Run(burst::DataRead(0x40, 1));
    EXPECT_EQ(chip.Stops(), 1);
    EXPECT_EQ(other.Stops(), 1);
    EXPECT_EQ(log.Text(), "S A32W+ W01+ Sr A40R+ R00- P");
}

}  // namespace
}  // namespace kalendo::sim

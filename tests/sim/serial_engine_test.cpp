// The serial engine's commands as the board sees them: answers, pin levels and wire time.
#include "sim/engine/serial_engine.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

class SerialEngineTest : public ::testing::Test {
  protected:
    void SetUp() override { bus.AttachSlave(&chip); }

    void Send(const Bytes& bytes) { engine.Write(bytes.data(), bytes.size()); }
    Bytes Answers() {
        Bytes out(engine.Pending());
        engine.Read(out.data(), out.size());
        return out;
    }

    I2cBus bus;
    SerialEngine engine{bus};
    RegisterFileSlave chip{0x32, 32};
};

TEST_F(SerialEngineTest, InvalidOpcodesAreAnsweredWithFaAndTheOpcode) {
    Send({0xAA, 0x80, 0x03, 0x03, 0xAB, 0x8A, 0x00});
    EXPECT_EQ(Answers(), (Bytes{0xFA, 0xAA, 0xFA, 0xAB, 0xFA, 0x00}));

    engine.SetAnswerInvalidOpcodes(false);
    Send({0xAA});
    EXPECT_TRUE(Answers().empty());
}

TEST_F(SerialEngineTest, PinStateCommandsSetPinsAndAnswerNothing) {
    Send({0x80, 0x01, 0x03, 0x82, 0x08, 0x08, 0x86, 0xC7, 0x00, 0x8A, 0x8C, 0x85, 0x87});
    EXPECT_TRUE(Answers().empty());
    EXPECT_TRUE(bus.Scl());
    EXPECT_FALSE(bus.Sda());
    EXPECT_EQ(engine.HighValue(), 0x08);
    EXPECT_EQ(engine.ClockDivisor(), 199);
    EXPECT_FALSE(engine.DivideBy5());
    EXPECT_TRUE(engine.ThreePhase());

    // Reading the pins back: SDA on bits 1 and 2 (tied), the high port's output.
    Send({0x81, 0x83});
    const Bytes levels = Answers();
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0] & 0x07, 0x01);
    EXPECT_EQ(levels[1] & 0x08, 0x08);
}

TEST_F(SerialEngineTest, LoopbackReadsDataOutInsteadOfTheWire) {
    // SDA not driven by the master (direction input) and no chip talking: the wire reads high.
    const Bytes exchange = {0x80, 0x00, 0x01, 0x33, 0x07, 0xA5};  // bits out and in at once
    Send({0x85});
    Send(exchange);
    EXPECT_EQ(Answers(), Bytes{0xFF});
    Send({0x84});
    Send(exchange);
    EXPECT_EQ(Answers(), Bytes{0xA5});
}

// The chip at 0x32 sends register 0 = 0xA5 (1010 0101); clocking in n + 1 bits returns them with
// the last bit in bit 0 (most significant first), or in bit 7 with the least-significant flag.
TEST_F(SerialEngineTest, ClockInPacksTheBitsAsTheEngineReturnsThem) {
    struct Case {
        uint8_t opcode;
        uint8_t length;
        uint8_t expected;
    };
    const Case cases[] = {
        {0x22, 0x07, 0xA5},  // all eight
        {0x22, 0x02, 0x05},  // 1 0 1
        {0x22, 0x00, 0x01},  // 1
        {0x2A, 0x02, 0xA0},  // 1 0 1, least significant first: shifted in from the top
    };
    for (const Case& c : cases) {
        // A fresh board per case: the chip is left in the middle of its byte.
        I2cBus freshBus;
        SerialEngine fresh{freshBus};
        RegisterFileSlave sender{0x32, 1};
        sender.At(0) = 0xA5;
        freshBus.AttachSlave(&sender);
        Bytes b = burst::Setup(true);
        burst::Start(b);
        burst::SendByte(b, 0x65);  // 0x32 read
        burst::PinState(b, 0x00, 0x01);
        b.insert(b.end(), {c.opcode, c.length});
        fresh.Write(b.data(), b.size());
        Bytes answers(fresh.Pending());
        fresh.Read(answers.data(), answers.size());
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_EQ(answers[0] & 1, 0) << "address acknowledged";
        EXPECT_EQ(answers[1], c.expected) << std::hex << int(c.opcode) << " " << int(c.length);
    }
}

TEST_F(SerialEngineTest, CommandsSplitAcrossWritesRunAsOne) {
    const Bytes burst = [] {
        Bytes b = burst::Setup(true);
        Bytes w = burst::RegisterWrite(0x32, 0x04, {0x11, 0x22, 0x33});
        b.insert(b.end(), w.begin(), w.end());
        b.insert(b.end(), {0xAA});
        // A byte-mode write with its own length field, split too.
        b.insert(b.end(), {0x11, 0x01, 0x00, 0xFF, 0xFF, 0xAB});
        return b;
    }();
    for (size_t chunk : {size_t{1}, size_t{2}, size_t{5}, size_t{13}, burst.size()}) {
        I2cBus freshBus;
        SerialEngine fresh{freshBus};
        RegisterFileSlave target{0x32, 32};
        freshBus.AttachSlave(&target);
        for (size_t pos = 0; pos < burst.size(); pos += chunk) {
            fresh.Write(burst.data() + pos, std::min(chunk, burst.size() - pos));
        }
        Bytes answers(fresh.Pending());
        fresh.Read(answers.data(), answers.size());
        EXPECT_EQ(answers, (Bytes{0, 0, 0, 0, 0, 0xFA, 0xAA, 0xFA, 0xAB})) << "chunk " << chunk;
        EXPECT_EQ(target.At(4), 0x11);
        EXPECT_EQ(target.At(6), 0x33);
    }
}

// The rest of the engine's command set: accepted without the bad-command answer. On this board
// GPIOL1 (low port bit 5) is not wired and floats high, so a wait or clock "until high" ends at
// once, a clock of bytes "until low" runs its full length, and a wait "until low" holds every
// later command back; the 0xAA after each row shows whether the engine still runs. Wire time
// in clocks of 10 us (100 kHz, three-phase).
TEST_F(SerialEngineTest, ClockingAndWaitCommandsAreAcceptedWithoutAnswer) {
    struct Row {
        const char* name;
        Bytes command;
        bool stillRuns;
        int clocks;
    };
    const Row rows[] = {
        {"wait until GPIOL1 high", {0x88}, true, 0},
        {"wait until GPIOL1 low", {0x89}, false, 0},
        {"clock until GPIOL1 high", {0x94}, true, 0},
        {"clock until GPIOL1 low", {0x95}, false, 0},
        {"adaptive clocking on", {0x96}, true, 0},
        {"adaptive clocking off", {0x97}, true, 0},
        {"bytes of clocks until GPIOL1 high", {0x9C, 0x01, 0x00}, true, 0},
        {"bytes of clocks until GPIOL1 low", {0x9D, 0x01, 0x00}, true, 16},
        {"GPIOL1 driven low: wait until low", {0x80, 0x00, 0x23, 0x89}, true, 0},
    };
    for (const Row& row : rows) {
        I2cBus freshBus;
        SerialEngine fresh{freshBus};
        const Bytes setup = burst::Setup(false);
        fresh.Write(setup.data(), setup.size());
        const int64_t before = fresh.WireTimePs();
        Bytes b = row.command;
        b.push_back(0xAA);
        fresh.Write(b.data(), b.size());
        Bytes answers(fresh.Pending());
        fresh.Read(answers.data(), answers.size());
        EXPECT_EQ(answers, row.stillRuns ? (Bytes{0xFA, 0xAA}) : Bytes{}) << row.name;
        EXPECT_EQ(fresh.Waiting(), !row.stillRuns) << row.name;
        const int64_t commandsPs = static_cast<int64_t>(b.size()) * kCommandPs;
        EXPECT_LE(fresh.WireTimePs() - before, row.clocks * 10'000'000 + commandsPs) << row.name;
        EXPECT_GE(fresh.WireTimePs() - before, row.clocks * 10'000'000) << row.name;
    }
    Send({0x96});
    EXPECT_TRUE(engine.AdaptiveClocking());
    Send({0x97});
    EXPECT_FALSE(engine.AdaptiveClocking());

    // A reset ends the wait; what was held back is dropped with it.
    Send({0x89, 0xAA});
    EXPECT_TRUE(engine.Waiting());
    engine.Reset();
    Send({0xAB});
    EXPECT_EQ(Answers(), (Bytes{0xFA, 0xAB}));
}

// 60 MHz / (199 + 1) / 2 = 150 kHz per two phases; three-phase clocking stretches each bit to
// 10 us (100 kHz). A pin-state command takes 200 ns, so 20 repeats hold a state for 4 us.
TEST_F(SerialEngineTest, WireTimeFollowsDivisorAndClockingMode) {
    Send({0x8A, 0x86, 0xC7, 0x00, 0x8C, 0x80, 0x02, 0x03});
    int64_t before = engine.WireTimePs();
    Send({0x13, 0x07, 0x55});
    EXPECT_NEAR(engine.WireTimePs() - before, 80'000'000, 10);

    Send({0x8D});
    before = engine.WireTimePs();
    Send({0x13, 0x07, 0x55});
    EXPECT_NEAR(engine.WireTimePs() - before, 53'333'333, 10);

    before = engine.WireTimePs();
    Bytes holds;
    burst::PinState(holds, 0x01, 0x03, 20);
    Send(holds);
    EXPECT_EQ(engine.WireTimePs() - before, 4'000'000);

    Send({0x8B});  // 12 MHz: five times slower bits
    before = engine.WireTimePs();
    Send({0x13, 0x07, 0x55});
    EXPECT_NEAR(engine.WireTimePs() - before, 5 * 53'333'333, 10);
}

}  // namespace
}  // namespace kalendo::sim

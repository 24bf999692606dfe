// The trace and waveform recorders, fed by engine bytes on a bus with one register chip.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"
#include "sim/recorders/register_write_log.h"
#include "sim/engine/serial_engine.h"
#include "sim/recorders/transaction_trace.h"
#include "sim/recorders/vcd_recorder.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    return text;
}

class RecordersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (size_t i = 0; i < 4; ++i) chip.At(i) = static_cast<uint8_t>(0xA0 + i);
        bus.AttachSlave(&chip);
        file = std::tmpfile();
        ASSERT_NE(file, nullptr);
    }
    void TearDown() override {
        if (file) std::fclose(file);
    }
    void Send(const Bytes& b) {
        engine.Write(b.data(), b.size());
        while (engine.Pending()) {
            uint8_t sink[64];
            engine.Read(sink, sizeof sink);
        }
    }

    I2cBus bus;
    SerialEngine engine{bus};
    RegisterFileSlave chip{0x32, 4};
    std::FILE* file = nullptr;
};

// Setup is 5 commands (1 us); the START's SDA edge comes with the 24th pin state: 5.8 us.
TEST_F(RecordersTest, TraceWritesOneLinePerTransaction) {
    {
        TransactionTrace trace(file);
        bus.AddObserver(&trace);
        Send(burst::Setup(true));
        Send(burst::RegisterWrite(0x32, 0x0F, {0x05}));
        Send(burst::RegisterSelect(0x32, 0x00));
        Send(burst::DataRead(0x32, 2));
        Send(burst::RegisterWrite(0x50, 0x07, {}));
        Send(burst::RegisterSelect(0x32, 0x01));  // unfinished when the trace closes
        bus.RemoveObserver(&trace);
    }
    const std::string text = Contents(file);
    std::vector<std::string> lines;
    for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        lines.push_back(text.substr(pos, end - pos));
    }
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_EQ(lines[0], "0000000.000005 START 0x32 W ACK 0x0F ACK 0x05 ACK STOP");
    EXPECT_EQ(lines[1].substr(15),
              "START 0x32 W ACK 0x00 ACK RESTART 0x32 R ACK 0xA0 ACK 0xA1 NACK STOP");
    EXPECT_EQ(lines[2].substr(15), "START 0x50 W NACK 0x07 NACK STOP");
    EXPECT_EQ(lines[3].substr(15), "START 0x32 W ACK 0x01 ACK");
    EXPECT_LT(lines[0].substr(0, 14), lines[1].substr(0, 14));
}

TEST_F(RecordersTest, VcdHasNamedSignalsAndEngineTiming) {
    VcdRecorder vcd(file, engine.WireTimePs(), bus.Scl(), bus.Sda());
    bus.AddObserver(&vcd);
    engine.SetHighPortObserver(&vcd);
    Send(burst::Setup(true));
    Bytes b;
    burst::Start(b);
    b.insert(b.end(), {0x82, 0x08, 0x08});
    Send(b);
    bus.RemoveObserver(&vcd);

    const std::string text = Contents(file);
    EXPECT_EQ(text.substr(0, text.find("$enddefinitions")),
              "$version Kalendo simulated evaluation board $end\n"
              "$timescale 1ns $end\n"
              "$scope module board $end\n"
              "$var wire 1 ! scl $end\n"
              "$var wire 1 \" sda $end\n"
              "$var wire 1 # fout_gate $end\n"
              "$upscope $end\n");
    EXPECT_NE(text.find("$dumpvars\n1!\n1\"\nz#\n$end\n"), std::string::npos) << text;
    // SDA falls 5.8 us in; SCL follows after the 20 repeats of 200 ns (the START hold of 4 us);
    // the FOUT gate goes high with the next command, after the last of 15 SCL-low repeats.
    EXPECT_NE(text.find("#5800\n0\"\n#9800\n0!\n#12800\n1#\n"), std::string::npos) << text;
}

TEST_F(RecordersTest, WriteLogKeepsRegisterWritesAndReadSelectsApart) {
    RegisterWriteLog log;
    bus.AddObserver(&log);
    Send(burst::Setup(true));
    Send(burst::RegisterWrite(0x32, 0x02, {0x11, 0x22}));
    Send(burst::RegisterWrite(0x32, 0x02, {0x33}));
    Send(burst::RegisterSelect(0x32, 0x01));
    Send(burst::DataRead(0x32, 1));
    Send(burst::RegisterWrite(0x50, 0x01, {0x44}));  // not acknowledged: not a write

    std::vector<uint8_t> values;
    ASSERT_TRUE(log.LastWrite(0x32, 0x02, &values));
    EXPECT_EQ(values, Bytes{0x33});
    EXPECT_FALSE(log.LastWrite(0x32, 0x01, &values)) << "a register select is not a write";
    EXPECT_FALSE(log.LastWrite(0x50, 0x01, &values));
    const auto writes = log.Writes(0x32);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].values, (Bytes{0x11, 0x22}));
    EXPECT_EQ(log.Selects(0x32), Bytes{0x01});
    EXPECT_TRUE(log.Selects(0x50).empty());
    log.Clear();
    EXPECT_TRUE(log.Selects(0x32).empty());
    bus.RemoveObserver(&log);
}

}  // namespace
}  // namespace kalendo::sim

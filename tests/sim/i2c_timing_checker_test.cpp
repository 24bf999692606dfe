// The I2C timing checker on bursts the serial engine puts on the bus: each row changes one part
// of a register read (select, repeated START, read, STOP) and names the fast-mode limit it breaks.
#include "sim/bus/i2c_timing_checker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/bus/register_file_slave.h"
#include "tests/support/i2c_burst_builder.h"
#include "sim/engine/serial_engine.h"

namespace kalendo::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// A register read as the program sends it, with the pin-state repeats of its START before the
// data phase (repeated START), of that START's hold and of the STOP's set-up given per row.
Bytes RegisterRead(int restartIdle, int restartHold, int stopSetup) {
    Bytes b = burst::Setup(true);
    const Bytes select = burst::RegisterSelect(0x32, 0x04);
    b.insert(b.end(), select.begin(), select.end());
    burst::PinState(b, 0x03, 0x03, restartIdle);
    burst::PinState(b, 0x01, 0x03, restartHold);
    burst::PinState(b, 0x00, 0x03, 15);
    burst::SendByte(b, 0x65);
    burst::ReadByte(b, true);
    burst::PinState(b, 0x00, 0x03, 10);
    burst::PinState(b, 0x01, 0x03, stopSetup);
    burst::PinState(b, 0x03, 0x03, 10);
    burst::PinState(b, 0x03, 0x00);
    return b;
}

TEST(I2cTimingCheckerTest, FlagsEachShortTimeAgainstTheFastModeLimit) {
    struct Row {
        const char* name;
        Bytes burst;
        int64_t pinNs;
        std::vector<std::string> violations;  // "name measured", in order
    };
    // SDA released and SCL rising in one pin command: no time for the data to settle.
    Bytes noDataSetup = burst::Setup(true);
    burst::Start(noDataSetup);
    burst::PinState(noDataSetup, 0x00, 0x03);  // SCL low, SDA low
    burst::PinState(noDataSetup, 0x03, 0x03);  // both rise in one command
    const Row rows[] = {
        {"the program's read at 200 ns", RegisterRead(23, 20, 20), 200, {}},
        {"the program's read at 100 ns", RegisterRead(23, 20, 20), 100, {}},
        {"repeated START set-up of 2 commands", RegisterRead(2, 20, 20), 200, {"tSU;STA 400"}},
        {"repeated START set-up of 3 commands", RegisterRead(3, 20, 20), 200, {}},
        {"START hold of 2 commands", RegisterRead(23, 2, 20), 200, {"tHD;STA 400"}},
        {"STOP set-up of 1 command", RegisterRead(23, 20, 1), 200, {"tSU;STO 200"}},
        {"10 ns pin commands",
         RegisterRead(23, 20, 20),
         10,
         {"tHD;STA 200", "tSU;STA 230", "tHD;STA 200", "tSU;STO 200"}},
        {"data changing as SCL rises", noDataSetup, 200, {"tSU;DAT 0"}},
    };
    for (const Row& row : rows) {
        I2cBus bus;
        RegisterFileSlave chip{0x32, 16};
        bus.AttachSlave(&chip);
        I2cTimingChecker checker;
        bus.AddObserver(&checker);
        std::vector<std::string> traced;
        checker.SetViolationHandler(
            [&](const I2cTimingViolation& v) { traced.push_back(DescribeViolation(v)); });
        SerialEngine engine{bus};
        engine.SetCommandPs(row.pinNs * 1000);
        engine.Write(row.burst.data(), row.burst.size());

        std::vector<std::string> seen;
        for (const I2cTimingViolation& v : checker.Violations()) {
            seen.push_back(std::string(LimitOf(v.timing).name) + " " +
                           std::to_string(v.measuredNs));
        }
        EXPECT_EQ(seen, row.violations) << row.name;
        EXPECT_EQ(checker.ViolationCount(), row.violations.size()) << row.name;
        ASSERT_EQ(traced.size(), row.violations.size()) << row.name;
        for (size_t i = 0; i < traced.size(); ++i) {
            EXPECT_NE(traced[i].find(" TIMING " + row.violations[i] + " ns < "), std::string::npos)
                << traced[i];
        }
    }
}

// The margins: every parameter is measured on a register read, and the report gives the
// difference to both modes (tHIGH of a 100 kHz three-phase clock is a third of a 10 us bit).
TEST(I2cTimingCheckerTest, ReportsTheShortestTimesAndTheirMargins) {
    I2cBus bus;
    RegisterFileSlave chip{0x32, 16};
    bus.AttachSlave(&chip);
    I2cTimingChecker checker;
    bus.AddObserver(&checker);
    SerialEngine engine{bus};
    Bytes b = RegisterRead(23, 20, 20);
    const Bytes again = burst::RegisterWrite(0x32, 0x01, {0x02});
    b.insert(b.end(), again.begin(), again.end());
    engine.Write(b.data(), b.size());
    EXPECT_EQ(checker.ShortestNs(I2cTiming::RestartSetup), 4600);
    EXPECT_EQ(checker.ShortestNs(I2cTiming::StartHold), 4000);
    EXPECT_EQ(checker.ShortestNs(I2cTiming::StopSetup), 4000);
    EXPECT_EQ(checker.ShortestNs(I2cTiming::ClockHigh), 3333);
    EXPECT_GT(checker.ShortestNs(I2cTiming::ClockLow), 3333);
    EXPECT_GT(checker.ShortestNs(I2cTiming::DataSetup), 0);
    EXPECT_GT(checker.ShortestNs(I2cTiming::BusFree), 0);
    const std::string margins = DescribeMargins(checker);
    EXPECT_NE(margins.find("tSU;STA shortest 4600 ns: fast mode +4000 ns, standard mode -100 ns"),
              std::string::npos)
        << margins;
    EXPECT_NE(margins.find("tHIGH shortest 3333 ns: fast mode +2733 ns, standard mode -667 ns"),
              std::string::npos)
        << margins;
    checker.Clear();
    EXPECT_EQ(checker.ShortestNs(I2cTiming::StartHold), -1);
}

}  // namespace
}  // namespace kalendo::sim

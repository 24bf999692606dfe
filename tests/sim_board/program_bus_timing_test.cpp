// The program's own bursts, as the bridge layer sends them, against the I2C timing limits at
// several pin-command times: the fast-mode limits the chips are rated for hold at each; the
// standard-mode limits that do not are listed per row. SCL's high time is a third of a 10 us
// bit with three-phase clocking at any pin-command time; the START and STOP times are 20 to 23
// pin commands, and the shortest low time (before a STOP) a clock phase plus 11 of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "sim/bus/i2c_timing_checker.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class ProgramBusTimingTest : public BridgeTest {
  protected:
    void TearDown() override {
        Sim().WithLock([&] { Sim().BoardBus().RemoveObserver(&checker); });
        BridgeTest::TearDown();
    }

    // Connects and runs every kind of transaction the program makes: reads and writes of both
    // chips, 8 to 32 bits, and a read whose address is not acknowledged (STOP alone after it).
    void RunTheProgramsTransactions() {
        Sim().WithLock([&] { Sim().BoardBus().AddObserver(&checker); });
        Connect();
        SelectDevice(kRtc);
        OpenSelectedDevice();
        ReadRegisterChecked(0x00, 8);
        WriteRegisterChecked(0x0F, 0x05, 8);
        ReadRegisterChecked(0x10, 24);
        SelectDevice(kPowerMonitor);
        ReadRegisterChecked(0xAD, 32);
        WriteRegisterChecked(0x38, 0x015E, 16);
        SelectDevice(kRtc);
        Sim().SetAddressAcknowledge(0x32, false);
        ReadRegisterChecked(0x00, 8);
        Sim().SetAddressAcknowledge(0x32, true);
    }

    sim::I2cTimingChecker checker;
};

TEST_F(ProgramBusTimingTest, FastModeHoldsAndStandardModeAsListedPerPinCommandTime) {
    using sim::I2cTiming;
    struct Row {
        uint32_t pinNs;
        std::set<I2cTiming> standardShort;  // standard-mode limits not met
    };
    const Row rows[] = {
        {100,
         {I2cTiming::StartHold, I2cTiming::RestartSetup, I2cTiming::StopSetup, I2cTiming::ClockHigh,
          I2cTiming::ClockLow}},
        {200, {I2cTiming::RestartSetup, I2cTiming::ClockHigh}},
        {600, {I2cTiming::ClockHigh}},
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        checker.Clear();
        Sim().SetPinCommandNs(row.pinNs);
        RunTheProgramsTransactions();
        std::printf("%u ns per pin command:\n%s", row.pinNs, sim::DescribeMargins(checker).c_str());
        EXPECT_EQ(checker.ViolationCount(), 0u) << row.pinNs << " ns";
        for (int i = 0; i < sim::kI2cTimingCount; ++i) {
            const auto timing = static_cast<I2cTiming>(i);
            const sim::I2cTimingLimit& limit = sim::LimitOf(timing);
            const int64_t shortest = checker.ShortestNs(timing);
            ASSERT_GE(shortest, 0) << limit.name << " not measured";
            EXPECT_EQ(shortest < limit.standardNs, row.standardShort.count(timing) == 1)
                << row.pinNs << " ns: " << limit.name << " shortest " << shortest;
        }
    }
}

}  // namespace
}  // namespace kalendo::testing

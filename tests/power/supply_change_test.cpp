// Changing the supply with its output kept on, and putting saved registers back: the writes and
// their order, which decide where the rail stands in between.
#include <gtest/gtest.h>

#include <vector>

#include "power/power_monitor.h"
#include "power/power_monitor_operations.h"
#include "tests/rtc/recording_port.h"

namespace kalendo::testing {
namespace {

using Op = RecordingPort::Op;

// Within a range only the level is written; across ranges the in-between state is always the
// lower range (whose steps are the smaller), so the rail never rises above both settings, and
// never passes through 0 V.
TEST(SupplyChange, KeepsTheOutputOnAndOrdersRangeChanges) {
    struct Case {
        const char* what;
        uint8_t configuration, level;  // as the chip holds them
        int tenths;
        std::vector<Op> expected;
    };
    const Case cases[] = {
        {"3.0 to 2.9 V",
         0x2F,
         SupplyLevelTable[30].level,
         29,
         {{'R', kSupplyConfigCommand, 0}, {'W', kSupplyLevelCommand, SupplyLevelTable[29].level}}},
        {"power-on 3.3 V to 3.0 V",
         0x04,
         238,
         30,
         {{'R', kSupplyConfigCommand, 0},
          {'W', kSupplyLevelCommand, SupplyLevelTable[30].level},
          {'W', kSupplyConfigCommand, 0x2F}}},
        {"3.5 V (upper) to 3.0 V: range first",
         0x3F,
         SupplyLevelTable[35].level,
         30,
         {{'R', kSupplyConfigCommand, 0},
          {'W', kSupplyConfigCommand, 0x2F},
          {'W', kSupplyLevelCommand, SupplyLevelTable[30].level}}},
        {"3.0 V to 4.0 V (upper): level first",
         0x2F,
         SupplyLevelTable[30].level,
         40,
         {{'R', kSupplyConfigCommand, 0},
          {'W', kSupplyLevelCommand, SupplyLevelTable[40].level},
          {'W', kSupplyConfigCommand, 0x3F}}},
    };
    for (const Case& c : cases) {
        RecordingPort monitor;
        monitor.regs[kSupplyConfigCommand] = c.configuration;
        monitor.regs[kSupplyLevelCommand] = c.level;
        EXPECT_TRUE(ChangeSupplyLevel(monitor, c.tenths)) << c.what;
        EXPECT_EQ(monitor.ops, c.expected) << c.what;
    }
}

// Both the check's change and the Power page's: out of range nothing, and nothing written when
// the configuration could not be read (the Power page's would otherwise switch the output on in
// the new range at the old level, about 4.5 V for a 3.5 V to 3.0 V change).
TEST(SupplyChange, RefusesWhatItCannotDoSafely) {
    struct Case {
        const char* what;
        bool (*change)(RegisterPort&, int);
    };
    const Case cases[] = {{"ChangeSupplyLevel", &ChangeSupplyLevel},
                          {"ApplySupplyVoltage", &ApplySupplyVoltage}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPort monitor;
        monitor.regs[kSupplyConfigCommand] = 0x3F;
        monitor.regs[kSupplyLevelCommand] = SupplyLevelTable[35].level;
        EXPECT_FALSE(c.change(monitor, 0));
        EXPECT_FALSE(c.change(monitor, 41));
        EXPECT_TRUE(monitor.ops.empty());
        monitor.failingReads = {kSupplyConfigCommand};
        EXPECT_FALSE(c.change(monitor, 30));
        EXPECT_EQ(monitor.ops, (std::vector<Op>{{'R', kSupplyConfigCommand, 0}}))
            << "nothing written without the configuration";
    }
}

// Saved registers go back with writes that are sent even after the board fell silent, and also
// when the configuration cannot be read first.
TEST(SupplyChange, PutsSavedRegistersBack) {
    RecordingPort monitor;
    monitor.regs[kSupplyConfigCommand] = 0x3F;
    monitor.regs[kSupplyLevelCommand] = 190;
    SupplyRegisters saved{};
    ASSERT_TRUE(ReadSupplyRegisters(monitor, &saved));
    ASSERT_TRUE(ChangeSupplyLevel(monitor, 20));
    monitor.ops.clear();
    EXPECT_TRUE(RestoreSupplyRegisters(monitor, saved));
    EXPECT_EQ(monitor.ops, (std::vector<Op>{{'R', kSupplyConfigCommand, 0},
                                            {'A', kSupplyLevelCommand, 190},
                                            {'A', kSupplyConfigCommand, 0x3F}}));
    monitor.ops.clear();
    monitor.failingReads = {kSupplyConfigCommand};
    EXPECT_TRUE(RestoreSupplyRegisters(monitor, {0x04, 238}));
    EXPECT_EQ(monitor.ops, (std::vector<Op>{{'R', kSupplyConfigCommand, 0},
                                            {'A', kSupplyLevelCommand, 238},
                                            {'A', kSupplyConfigCommand, 0x04}}));
}

// A current reads in 0.125 nA codes; a failed read gives no value.
TEST(SupplyChange, MeasurementsFromTheirCodes) {
    RecordingPort monitor;
    monitor.regs[0xD6] = 0xFF;  // the recording port's registers are a byte wide: 0x00FF
    double v = 0;
    ASSERT_TRUE(ReadMeasurement(monitor, kVddCurrent, &v));
    EXPECT_DOUBLE_EQ(v, 255 * 0.000125);
    monitor.failingReads = {0x8B};
    EXPECT_FALSE(ReadMeasurement(monitor, kVddVoltage, &v));
}

}  // namespace
}  // namespace kalendo::testing

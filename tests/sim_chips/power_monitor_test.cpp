// The ISL28023 power monitor: identification, supply generation, measurements, battery
// switch-over, as the program reads and writes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "chip_test_support.h"

namespace kalendo::sim::testing {
namespace {

// The program's supply table: level byte per setting t = 1..40 tenths of a volt.
constexpr uint8_t kLevels[40] = {7,   14,  21,  28,  36,  43,  50,  57,  65,  72,
                                 79,  86,  94,  101, 108, 115, 123, 130, 137, 144,
                                 152, 159, 166, 173, 181, 188, 195, 202, 209, 217,
                                 224, 231, 238, 246, 190, 195, 201, 206, 211, 217};

uint8_t ConfigOf(int tenths) {
    return tenths <= 34 ? 0x2F : 0x3F;
}

struct Board {
    explicit Board(uint32_t seed = 1) : chips(ChipsConfig{RtcModel::Tq5100, &clock, seed, ""}) {}
    I2cSlave& Monitor() { return chips.PowerMonitor(); }

    uint16_t Read16(uint8_t command) {
        const std::vector<uint8_t> b = ReadBytes(Monitor(), command, 2);
        return static_cast<uint16_t>(b[0] << 8 | b[1]);
    }
    // The way the program programs a supply setting.
    void ApplySupply(int tenths) {
        const uint8_t config = ReadByte(Monitor(), 0xE4);
        WriteBytes(Monitor(), 0xE4, {static_cast<uint8_t>(config & 0xFB)});
        WriteBytes(Monitor(), 0xE3, {kLevels[tenths - 1]});
        WriteBytes(Monitor(), 0xE4, {ConfigOf(tenths)});
    }
    // The program's averaged value of a channel over ten readings, in its display units.
    float Average(uint8_t command, double factor, bool signedCode) {
        uint32_t sum = 0;
        for (int i = 0; i < 10; ++i) sum += Read16(command);
        int32_t mean = static_cast<int32_t>(sum / 10);
        if (signedCode && mean >= 32768) mean -= 65536;
        return static_cast<float>(mean * factor);
    }
    float BatteryCurrent() { return Average(0xE0, 2.5 / 20 / 1000, true); }

    VirtualClock clock;
    EvaluationBoardChips chips;
};

std::string OneDecimal(double value) {
    char text[16];
    std::snprintf(text, sizeof text, "%2.1f", value);
    return text;
}

TEST(PowerMonitorTest, IdentificationBlockAnswersThePresenceCheck) {
    Board board;
    EXPECT_EQ(ReadBytes(board.Monitor(), 0xAD, 4), (std::vector<uint8_t>{0x08, 'I', 'S', 'L'}));
    const std::vector<uint8_t> block = ReadBytes(board.Monitor(), 0xAD, 9);
    EXPECT_EQ(std::string(block.begin(), block.end()), std::string("\x08") + "ISL28023");
}

TEST(PowerMonitorTest, ConnectTimeWritesAreAcceptedAndKept) {
    Board board;
    EXPECT_TRUE(WriteBytes(board.Monitor(), 0x38, {0x01, 0x5E}));
    EXPECT_TRUE(WriteBytes(board.Monitor(), 0xD2, {0x1F}));
    EXPECT_TRUE(WriteBytes(board.Monitor(), 0xD7, {0x01}));
    EXPECT_EQ(board.Read16(0x38), 0x015E);
    EXPECT_EQ(ReadByte(board.Monitor(), 0xD2), 0x1F);
    EXPECT_EQ(ReadByte(board.Monitor(), 0xD7), 0x01);
}

TEST(PowerMonitorTest, RefusesUnknownCommandsAndWritesToReadings) {
    Board board;
    EXPECT_FALSE(WriteBytes(board.Monitor(), 0x42, {}));
    EXPECT_FALSE(WriteBytes(board.Monitor(), 0x8B, {0x00, 0x00}));
    // A byte more than the command holds is refused and the write does not take effect.
    const uint8_t level = ReadByte(board.Monitor(), 0xE3);
    EXPECT_FALSE(WriteBytes(board.Monitor(), 0xE3, {0x10, 0x20}));
    EXPECT_EQ(ReadByte(board.Monitor(), 0xE3), level);
}

TEST(PowerMonitorTest, EverySupplyTableRowProducesItsVoltage) {
    Board board;
    for (int tenths = 1; tenths <= 40; ++tenths) {
        SCOPED_TRACE(tenths);
        board.ApplySupply(tenths);
        EXPECT_NEAR(board.chips.SupplyVoltage(), tenths / 10.0, 0.015);
        // What the program shows for a single measured reading.
        EXPECT_EQ(OneDecimal(board.Read16(0x8B) * 0.00025f), OneDecimal(tenths / 10.0));
    }
}

TEST(PowerMonitorTest, ClearingOutputBitSwitchesTheSupplyOff) {
    Board board;
    board.ApplySupply(35);
    ASSERT_NEAR(board.chips.SupplyVoltage(), 3.5, 0.02);
    WriteBytes(board.Monitor(), 0xE4, {0x3B});
    EXPECT_EQ(board.chips.SupplyVoltage(), 0.0);
    EXPECT_LT(board.Read16(0x8B) * 0.00025, 0.002);
    EXPECT_TRUE(board.chips.RunningFromBattery());
}

// The board's power switch hands the RTC to the battery below 1.9 V and back above 2.0 V; the
// monitor then sees the RTC's current move from one rail to the other. Each row moves the rail
// from where the previous row left it.
TEST(PowerMonitorTest, PowerSwitchFollowsTheSupplyWithHysteresis) {
    struct Step {
        const char* what;
        double volts;  // forced rail; 0 with tenths set: the program's supply sequence
        int tenths;
        bool onBattery;
    };
    const Step steps[] = {
        {"powered up at 3.3 V", 3.3, 0, false},
        {"falling, above 1.9 V", 1.95, 0, false},
        {"falling below 1.9 V", 1.85, 0, true},
        {"rising, inside the band", 1.95, 0, true},
        {"rising above 2.0 V", 2.05, 0, false},
        {"supply failed", 0.0, 0, true},
        {"program sets 3.5 V", 0, 35, false},
        // Its sequence switches the output off first: the rail passes 0 V and stays in the band.
        {"program sets 2.0 V", 0, 20, true},
        {"program sets 2.1 V", 0, 21, false},
    };
    Board board;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.tenths > 0) {
            board.chips.ClearSupplyOverride();
            board.ApplySupply(s.tenths);
        } else {
            board.chips.SetSupplyOverride(s.volts);
        }
        EXPECT_EQ(board.chips.RunningFromBattery(), s.onBattery);
        const float vddCurrent = board.Average(0xD6, 2.5 / 20 / 1000, true);
        const float batteryCurrent = board.BatteryCurrent();
        EXPECT_NEAR(s.onBattery ? batteryCurrent : vddCurrent, s.onBattery ? 0.32 : 0.45, 0.003);
        // The idle rail shows only leakage, below the program's 0.025 battery threshold.
        EXPECT_LT(s.onBattery ? vddCurrent : batteryCurrent, 0.025f);
    }
}

// The sample's figures are settings: thresholds moved across the rail switch it at once, and
// the currents read back as set (through the converter's noise).
TEST(PowerMonitorTest, SwitchOverLevelsAndCurrentsAreTheSamplesSettings) {
    Board board;
    board.chips.SetSupplyOverride(2.4);
    ASSERT_FALSE(board.chips.RunningFromBattery());
    board.chips.SetSwitchToBattery(2.5);
    EXPECT_TRUE(board.chips.RunningFromBattery());
    // A rising level below the falling one counts as the falling one: no chatter.
    board.chips.SetSwitchToSupply(1.0);
    EXPECT_TRUE(board.chips.RunningFromBattery());
    board.chips.SetSupplyOverride(2.6);
    EXPECT_FALSE(board.chips.RunningFromBattery());

    board.chips.SetRtcSupplyCurrent(0.8);
    EXPECT_NEAR(board.Average(0xD6, 2.5 / 20 / 1000, true), 0.8, 0.003);
    board.chips.SetRtcBatteryCurrent(1.2);
    board.chips.SetSupplyOverride(1.0);
    EXPECT_NEAR(board.BatteryCurrent(), 1.2, 0.003);
}

TEST(PowerMonitorTest, MeasurementsScaleToPlausibleValues) {
    Board board;
    board.ApplySupply(33);
    board.chips.SetBatteryVoltage(2.85);
    board.chips.SetBoardTemperature(31.5);
    EXPECT_NEAR(board.Average(0x8B, 0.00025, false), 3.3, 0.02);
    EXPECT_NEAR(board.Average(0xE1, 0.0001, false), 2.85, 0.001);
    EXPECT_NEAR(board.Average(0x8D, 0.016, false), 31.5, 0.05);
    // Supply current of a timekeeping RTC, in the program's current units.
    const float supplyCurrent = board.Average(0xD6, 2.5 / 20 / 1000, true);
    EXPECT_GT(supplyCurrent, 0.2f);
    EXPECT_LT(supplyCurrent, 1.0f);

    // On battery the supply current drops to a leakage that noise never takes below zero
    // (the program averages codes unsigned).
    board.chips.SetSupplyOverride(1.0);
    EXPECT_NEAR(board.Average(0xD6, 2.5 / 20 / 1000, true), 0.01, 0.003);
    board.chips.ClearSupplyOverride();
    EXPECT_NEAR(board.chips.SupplyVoltage(), 3.3, 0.02);
}

TEST(PowerMonitorTest, ConditionsBeyondTheConverterRangeSaturate) {
    struct Case {
        const char* what;
        double batteryVolts;
        double celsius;
        uint16_t batteryMin, batteryMax;
        uint16_t temperatureMin, temperatureMax;
        uint8_t rtcTemperatureCode;
    };
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const Case cases[] = {
        {"above full scale", 10.0, 2000.0, 65535, 65535, 65535, 65535, 255},
        {"below zero", -1.0, -100.0, 0, 0, 0, 0, 0},
        {"not a number", nan, nan, 0, 3, 0, 3, 0},
        {"infinite", inf, -inf, 65535, 65535, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Board board;
        board.chips.SetBatteryVoltage(c.batteryVolts);
        board.chips.SetBoardTemperature(c.celsius);
        const uint16_t battery = board.Read16(0xE1);
        const uint16_t temperature = board.Read16(0x8D);
        EXPECT_GE(battery, c.batteryMin);
        EXPECT_LE(battery, c.batteryMax);
        EXPECT_GE(temperature, c.temperatureMin);
        EXPECT_LE(temperature, c.temperatureMax);
        EXPECT_EQ(ReadByte(board.chips.Rtc(), 0x17), c.rtcTemperatureCode);
    }
}

TEST(PowerMonitorTest, NoiseIsSmallAndRepeatableForASeed) {
    Board first(7), second(7), other(8);
    for (Board* board : {&first, &second, &other}) board->ApplySupply(35);
    std::vector<uint16_t> a, b, c;
    for (int i = 0; i < 20; ++i) {
        a.push_back(first.Read16(0xD6));
        b.push_back(second.Read16(0xD6));
        c.push_back(other.Read16(0xD6));
    }
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const auto [low, high] = std::minmax_element(a.begin(), a.end());
    EXPECT_GT(*high, *low) << "readings carry noise";
    EXPECT_LE(*high - *low, 32) << "a few nanoamps at most";
    // Leakage readings never wrap below zero: battery current on supply, supply current on
    // battery (code 0x8000 and above would be negative).
    first.chips.SetSupplyOverride(0.5);
    for (int i = 0; i < 200; ++i) {
        EXPECT_LT(other.Read16(0xE0), 0x8000);
        EXPECT_LT(first.Read16(0xD6), 0x8000);
    }
}

}  // namespace
}  // namespace kalendo::sim::testing

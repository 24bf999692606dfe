// The power monitor's sampling, averaging and supply programming, over the simulated board.
#include "power/power_monitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "sim/chips/evaluation_board_chips.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class TestClock : public sim::SimClock {
  public:
    int64_t NowMicros() const override { return now; }
    int64_t now = 0;
};

class PowerMonitorTest : public BridgeTest {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        Sim().DetachSlave(&powerMonitorChip);
        Sim().DetachSlave(&rtcChip);
        sim::ChipsConfig config;
        config.clock = &clock;
        chips = std::make_unique<sim::EvaluationBoardChips>(config);
        Sim().AttachSlave(&chips->PowerMonitor());
        Sim().AttachSlave(&chips->Rtc());
        ConnectAndSelect(kRtc);
    }
    void TearDown() override {
        BridgeTest::TearDown();
        chips.reset();
    }
    // Takes sampleCount readings as the page does, and averages them.
    PowerReadings Measure(bool& batteryInUse) {
        for (monitor.sampleIndex = 0; monitor.sampleIndex < monitor.sampleCount;
             ++monitor.sampleIndex) {
            monitor.SampleChannels(kPowerMonitor, kRtc);
        }
        return monitor.AverageChannels(batteryInUse);
    }

    TestClock clock;
    std::unique_ptr<sim::EvaluationBoardChips> chips;
    PowerMonitor monitor;
};

TEST_F(PowerMonitorTest, MeasuresTheSimulatedRailsAndLeavesTheRtcSelected) {
    chips->SetBatteryVoltage(3.1);
    chips->SetBoardTemperature(31.0);
    monitor.ApplySupplyVoltage(33, kPowerMonitor, kRtc);
    EXPECT_EQ(Bridge().ActiveDevice, kRtc);

    bool batteryInUse = true;
    PowerReadings r = Measure(batteryInUse);
    EXPECT_EQ(Bridge().ActiveDevice, kRtc);
    EXPECT_EQ(Bridge().BusStatus, 0);
    EXPECT_NEAR(r.vddVoltage, 3.3, 0.02);
    EXPECT_NEAR(r.batteryVoltage, 3.1, 0.02);
    EXPECT_NEAR(r.temperature, 31.0, 0.5);
    EXPECT_GT(r.vddCurrent, 0.1f);  // the RTC runs from its supply
    EXPECT_LT(r.batteryCurrent, kBatteryInUseCurrent);
    EXPECT_FALSE(batteryInUse);
}

TEST_F(PowerMonitorTest, SupplyBelowSwitchOverMovesTheRtcToItsBattery) {
    bool batteryInUse = false;
    monitor.ApplySupplyVoltage(15, kPowerMonitor, kRtc);
    PowerReadings r = Measure(batteryInUse);
    EXPECT_NEAR(r.vddVoltage, 1.5, 0.02);
    EXPECT_GE(r.batteryCurrent, kBatteryInUseCurrent);
    EXPECT_TRUE(batteryInUse);

    monitor.ApplySupplyVoltage(35, kPowerMonitor, kRtc);
    r = Measure(batteryInUse);
    EXPECT_NEAR(r.vddVoltage, 3.5, 0.02);
    EXPECT_FALSE(batteryInUse);
}

TEST_F(PowerMonitorTest, EverySupplySettingProducesItsVoltage) {
    monitor.sampleCount = 5;
    bool batteryInUse = false;
    for (int t = kMinSupplyTenths; t <= kMaxSupplyTenths; ++t) {
        monitor.ApplySupplyVoltage(t, kPowerMonitor, kRtc);
        EXPECT_NEAR(Measure(batteryInUse).vddVoltage, t / 10.0, 0.03) << t;
    }
    EXPECT_EQ(Bridge().BusStatus, 0);
}

// Answers every 16-bit read with the code set for its command, and keeps the commands read.
class ScriptedMonitor : public sim::I2cSlave {
  public:
    uint8_t Address() const override { return 0x40; }
    bool OnStart(bool read) override {
        if (!read) written.clear();
        next = 0;
        return true;
    }
    bool OnWrite(uint8_t b) override {
        written.push_back(b);
        if (written.size() == 1) command = b;
        return true;
    }
    uint8_t OnRead() override {
        if (next == 0) reads.push_back(command);
        const uint16_t code = codes.count(command) ? codes[command] : 0;
        return static_cast<uint8_t>(next++ == 0 ? code >> 8 : code & 0xFF);  // high byte first
    }
    void OnStop() override {}
    std::map<uint8_t, uint16_t> codes;
    Bytes reads;
    Bytes written;
    uint8_t command = 0;
    int next = 0;
};

TEST_F(PowerMonitorTest, ReadingsCrossTheBusInChannelOrderAndAverageExactly) {
    ScriptedMonitor scripted;
    Sim().DetachSlave(&chips->PowerMonitor());
    Sim().AttachSlave(&scripted);
    struct Case {
        const char* what;
        std::map<uint8_t, uint16_t> codes;
        PowerReadings expected;
        bool batteryInUse;
    };
    const Case cases[] = {
        {"scaling",
         {{0x8B, 400}, {0xD6, 40}, {0xE1, 30000}, {0xE0, 8}, {0x8D, 1600}},
         {0.1f, 0.005f, 3.0f, 0.001f, 25.6f},
         false},
        {"all-ones currents are minus one code",
         {{0x8B, 14000}, {0xD6, 0xFFFF}, {0xE1, 0}, {0xE0, 0xFFFF}, {0x8D, 0}},
         {3.5f, -0.000125f, 0.0f, -0.000125f, 0.0f},
         false},
        {"battery current at the threshold", {{0xE0, 200}}, {0, 0, 0, 0.025f, 0}, true},
        {"battery current just below it", {{0xE0, 199}}, {0, 0, 0, 0.024875f, 0}, false},
    };
    for (const Case& c : cases) {
        scripted.codes = c.codes;
        scripted.reads.clear();
        monitor.sampleCount = 5;
        bool batteryInUse = !c.batteryInUse;
        const PowerReadings r = Measure(batteryInUse);
        EXPECT_FLOAT_EQ(r.vddVoltage, c.expected.vddVoltage) << c.what;
        EXPECT_FLOAT_EQ(r.vddCurrent, c.expected.vddCurrent) << c.what;
        EXPECT_FLOAT_EQ(r.batteryVoltage, c.expected.batteryVoltage) << c.what;
        EXPECT_FLOAT_EQ(r.batteryCurrent, c.expected.batteryCurrent) << c.what;
        EXPECT_FLOAT_EQ(r.temperature, c.expected.temperature) << c.what;
        EXPECT_EQ(batteryInUse, c.batteryInUse) << c.what;
        Bytes order;
        for (int i = 0; i < 5; ++i) order.insert(order.end(), {0x8B, 0xD6, 0xE1, 0xE0, 0x8D});
        EXPECT_EQ(scripted.reads, order) << c.what;
    }
    EXPECT_EQ(Bridge().ActiveDevice, kRtc);
    Sim().DetachSlave(&scripted);
}

// Keeps the bytes of every write transaction addressed to it.
class WriteLog : public sim::I2cSlave {
  public:
    uint8_t Address() const override { return 0x40; }
    bool OnStart(bool read) override {
        if (!read) current.clear();
        writing = !read;
        return true;
    }
    bool OnWrite(uint8_t b) override {
        current.push_back(b);
        return true;
    }
    uint8_t OnRead() override { return current.size() == 1 && current[0] == 0xE4 ? 0xBF : 0; }
    void OnStop() override {
        if (writing && current.size() > 1) writes.push_back(current);
        writing = false;
    }
    std::vector<Bytes> writes;
    Bytes current;
    bool writing = false;
};

TEST_F(PowerMonitorTest, SupplyChangeSwitchesTheOutputOffThenSetsLevelAndRange) {
    WriteLog log;
    Sim().DetachSlave(&chips->PowerMonitor());
    Sim().AttachSlave(&log);
    monitor.ApplySupplyVoltage(35, kPowerMonitor, kRtc);
    monitor.ApplySupplyVoltage(41, kPowerMonitor, kRtc);  // outside the table: nothing
    monitor.ApplySupplyVoltage(0, kPowerMonitor, kRtc);
    EXPECT_EQ(log.writes, (std::vector<Bytes>{{0xE4, 0xBB}, {0xE3, 190}, {0xE4, 0x3F}}));
    EXPECT_EQ(Bridge().ActiveDevice, kRtc);
    Sim().DetachSlave(&log);
}

TEST_F(PowerMonitorTest, WithoutSelectionEveryReadingIsTheFallbackCode) {
    DisconnectBridge();
    monitor.sampleIndex = 3;
    monitor.SampleChannels(kPowerMonitor, kRtc);
    for (int c = 0; c < kMeasurementChannels; ++c) EXPECT_EQ(monitor.SampleSet[c][3], 0xFFFFu);
    EXPECT_EQ(Bridge().BusStatus, kBusInvalidSelection);
}

// Averaging needs no bus: these fill the sample slots directly.
TEST(PowerAveraging, MeansAreScaledAndCurrentsAreSigned) {
    struct Case {
        const char* what;
        uint32_t n;
        std::vector<std::pair<uint32_t, uint32_t>> codes;  // count, code, in slot order
        int channel;
        float expected;
    };
    const Case cases[] = {
        {"five codes of 400", 5, {{5, 400}}, kVddVoltage, 0.1f},
        {"all ones is minus one code", 10, {{10, 0xFFFF}}, kVddCurrent, -0.000125f},
        {"mean 32768 is the most negative", 10, {{5, 1}, {5, 0xFFFF}}, kBatteryCurrent, -4.096f},
        {"battery volts", 5, {{5, 30000}}, kBatteryVoltage, 3.0f},
        {"temperature is unsigned", 5, {{5, 0xFFFF}}, kTemperature, 1048.56f},
        {"fraction of the mean dropped", 5, {{4, 100}, {1, 104}}, kVddVoltage, 0.025f},
        {"slots beyond n are stale and unused", 5, {{5, 400}, {5, 9999}}, kVddVoltage, 0.1f},
    };
    for (const Case& c : cases) {
        PowerMonitor m;
        m.sampleCount = c.n;
        uint32_t slot = 0;
        for (auto [count, code] : c.codes) {
            for (uint32_t i = 0; i < count; ++i) m.SampleSet[c.channel][slot++] = code;
        }
        bool battery = false;
        PowerReadings r = m.AverageChannels(battery);
        const float values[] = {r.vddVoltage, r.vddCurrent, r.batteryVoltage, r.batteryCurrent,
                                r.temperature};
        EXPECT_FLOAT_EQ(values[c.channel], c.expected) << c.what;
    }
}

TEST(PowerAveraging, BatteryRuleAtTheThreshold) {
    struct Case {
        uint32_t code;
        bool before;
        bool after;
    };
    // Code 200 is exactly 0.025; code 199 is 0.024875.
    for (Case c : {Case{200, false, true}, Case{199, true, false}, Case{0xFFFF, true, false}}) {
        PowerMonitor m;
        m.sampleCount = 5;
        for (int i = 0; i < 5; ++i) m.SampleSet[kBatteryCurrent][i] = c.code;
        bool battery = c.before;
        m.AverageChannels(battery);
        EXPECT_EQ(battery, c.after) << c.code;
    }
    PowerMonitor none;
    none.sampleCount = 0;  // no readings: no number, so the flag stays
    for (bool before : {false, true}) {
        bool battery = before;
        PowerReadings r = none.AverageChannels(battery);
        EXPECT_TRUE(std::isnan(r.batteryCurrent));
        EXPECT_EQ(battery, before);
    }
}

}  // namespace
}  // namespace kalendo::testing

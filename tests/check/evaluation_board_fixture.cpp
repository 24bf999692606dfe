#include "tests/check/evaluation_board_fixture.h"

#include "sim/bus/i2c_slave.h"

namespace kalendo::testing {

namespace {

// One register read on a chip's own bus callbacks, as a bus master would make it.
uint8_t ReadOnChip(sim::SimulatedLibrary& sim, sim::I2cSlave& chip, uint8_t reg) {
    uint8_t value = 0;
    sim.WithLock([&] {
        chip.OnStart(false);
        chip.OnWrite(reg);
        chip.OnStart(true);
        value = chip.OnRead();
        chip.OnStop();
    });
    return value;
}

}  // namespace

void EvaluationBoardTest::SetUp() {
    BridgeTest::SetUp();
    Sim().DetachSlave(&powerMonitorChip);
    Sim().DetachSlave(&rtcChip);
    sim::ChipsConfig config;
    config.clock = &Sim().Clock();
    chips = std::make_unique<sim::EvaluationBoardChips>(config);
    Sim().AttachSlave(&chips->PowerMonitor());
    Sim().AttachSlave(&chips->Rtc());
    Sim().WithLock([&] { Sim().BoardBus().AddObserver(&writes); });
    zeroPs_ = sim::Simulator().Clock().NowPs();
}

void EvaluationBoardTest::TearDown() {
    Sim().WithLock([&] { Sim().BoardBus().RemoveObserver(&writes); });
    BridgeTest::TearDown();
    chips.reset();
}

double EvaluationBoardTest::BoardSeconds() const {
    return static_cast<double>(sim::Simulator().Clock().NowPs() - zeroPs_) / 1e12;
}

uint8_t EvaluationBoardTest::ChipRegister(uint8_t reg) {
    return ReadOnChip(Sim(), chips->Rtc(), reg);
}

uint8_t EvaluationBoardTest::MonitorRegister(uint8_t reg) {
    return ReadOnChip(Sim(), chips->PowerMonitor(), reg);
}

}  // namespace kalendo::testing

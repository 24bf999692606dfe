#include "bench/connected_board.h"

#include "bridge/board_discovery.h"
#include "bridge/register_access.h"
#include "power/power_monitor.h"
#include "rtc/rtc_registers.h"
#include "sim/library/ft_entry_points.h"
#include "sim/library/simulated_library.h"

namespace kalendo::bench {

namespace {
constexpr uint8_t kPowerMonitorIdRegister = 0xAD;
}

void* SimulatedLibraryOs::FindSymbol(void*, const char* name) {
    return sim::FindEntryPoint(name);
}

void SimulatedLibraryOs::SleepMs(uint32_t ms) {
    sim::Simulator().WithLock([&] { sim::Simulator().Clock().AdvanceMs(ms); });
}

SimulatedBoard::SimulatedBoard(double crystalPpm) {
    sim::Simulator().Reset();
    sim::Simulator().Clock().UseVirtual(true);
    config_.clock = &sim::Simulator().Clock();
    chips_ = std::make_unique<sim::EvaluationBoardChips>(config_);
    chips_->SetCrystalPpm(crystalPpm);
    sim::Simulator().AttachSlave(&chips_->PowerMonitor());
    sim::Simulator().AttachSlave(&chips_->Rtc());
    InstallOsSeam(&os_);
}

SimulatedBoard::~SimulatedBoard() {
    InstallOsSeam(nullptr);
    sim::Simulator().Reset();
}

ConnectedBoard::ConnectedBoard() {
    sim::Simulator().Reset();
    sim::Simulator().Clock().UseVirtual(true);
    // The virtual clock carries on from the last board plus the host's real time since: moving
    // on to a whole multiple of 10000 s keeps that real time out, so a run repeats exactly.
    constexpr int64_t kStartGridPs = 10'000 * 1'000'000'000'000LL;
    const int64_t now = sim::Simulator().Clock().NowPs();
    sim::Simulator().Clock().AdvanceToPs((now / kStartGridPs + 1) * kStartGridPs);
    config_.clock = &sim::Simulator().Clock();
    chips_ = std::make_unique<sim::EvaluationBoardChips>(config_);
    sim::Simulator().AttachSlave(&chips_->PowerMonitor());
    sim::Simulator().AttachSlave(&chips_->Rtc());
    InstallOsSeam(&os_);
    ConnectBridge();
    SelectDevice(kPowerMonitor);
    OpenSelectedDevice();
    SelectDevice(kRtc);
    OpenSelectedDevice();
}

ConnectedBoard::~ConnectedBoard() {
    DisconnectBridge();
    InstallOsSeam(nullptr);
    sim::Simulator().Reset();
}

int64_t ConnectedBoard::NowPs() const {
    return sim::Simulator().Clock().NowPs();
}

int64_t ConnectedBoard::ActiveWirePs() const {
    return sim::Simulator().BoardEngine()->ActivePs();
}

void ConnectedBoard::IdlePs(int64_t ps) {
    sim::Simulator().WithLock([&] { sim::Simulator().Clock().AdvancePs(ps); });
}

void RtcRead8() {
    ReadRegisterChecked(kRegSeconds, 8);
}

void RtcWrite8() {
    WriteRegisterChecked(kRegSeconds, 0x30, 8);
}

void StatusTick() {
    ReadDeviceRegister(kRegSeconds, 8);
    ReadRegisterChecked(kRegMinutes, 8);
    ReadRegisterChecked(kRegHours, 8);
    ReadRegisterChecked(kRegDay, 8);
    ReadRegisterChecked(kRegMonth, 8);
    ReadRegisterChecked(kRegYear, 8);
    ReadRegisterChecked(kRegWeek, 8);
    ReadRegisterChecked(kRegTemperature, 8);
    SelectDevice(kPowerMonitor);
    OpenSelectedDevice();
    ReadDeviceRegister(kPowerMonitorIdRegister, 32);
    SelectDevice(kRtc);
    OpenSelectedDevice();
}

void PowerPageCycle() {
    static PowerMonitor monitor;
    monitor.SampleChannels(kPowerMonitor, kRtc);
}

}  // namespace kalendo::bench

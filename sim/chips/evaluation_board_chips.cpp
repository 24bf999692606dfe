#include "sim/chips/evaluation_board_chips.h"

#include <chrono>

#include "sim/chips/board_conditions.h"
#include "sim/chips/power_monitor.h"
#include "sim/chips/rtc_state_file.h"
#include "sim/chips/rtc_tq5100.h"
#include "sim/chips/rtc_tq5200.h"

namespace kalendo::sim {

namespace {

// Used when no clock is given, so that a forgotten clock cannot crash the board.
class HostSteadyClock : public SimClock {
  public:
    int64_t NowMicros() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::unique_ptr<RtcChip> MakeRtc(RtcModel model, const SimClock& clock,
                                 const BoardConditions& board) {
    if (model == RtcModel::Tq5200) return std::make_unique<RtcTq5200>(clock, board);
    return std::make_unique<RtcTq5100>(clock, board);
}

}  // namespace

struct EvaluationBoardChips::Impl {
    explicit Impl(const ChipsConfig& config)
        : stateFile(config.stateFile),
          wallClock(config.wallClockMicros ? config.wallClockMicros
                                           : std::function<int64_t()>(HostWallClockMicros)),
          clock(config.clock != nullptr ? *config.clock : fallbackClock),
          powerMonitor(board, config.noiseSeed),
          rtc(MakeRtc(config.model, clock, board)) {
        rtc->SetSupply(&powerMonitor);
        powerMonitor.SetBeforeRailChange([this] { rtc->Sync(); });
    }

    std::string stateFile;
    std::function<int64_t()> wallClock;
    HostSteadyClock fallbackClock;
    const SimClock& clock;
    BoardConditions board;
    PowerMonitorChip powerMonitor;
    std::unique_ptr<RtcChip> rtc;
    std::string stateMessage;
};

EvaluationBoardChips::EvaluationBoardChips(const ChipsConfig& config)
    : impl_(std::make_unique<Impl>(config)) {
    if (impl_->stateFile.empty()) return;
    const StateLoadResult loaded = LoadRtcState(impl_->stateFile, impl_->rtc->Model());
    impl_->stateMessage = loaded.message;
    if (loaded.outcome != StateLoadOutcome::Loaded) return;
    impl_->rtc->Restore(loaded.state.snapshot);
    // The battery kept the chip counting while the program was not running, at its crystal's
    // rate then (the settings of this run are applied after the board is built), or the
    // oscillator stood still when the battery was below its timekeeping minimum.
    // The gap ends now on the wall clock, and the chip's own count starts at the same moment:
    // the time spent loading is counted once.
    const int64_t gap = impl_->wallClock() - loaded.state.savedAtHostMicros;
    impl_->rtc->CountFromNow();
    ShelfConditions shelf;
    if (loaded.state.shelfKnown) {
        shelf = loaded.state.shelf;
    } else {
        shelf.crystalErrorPpm = CrystalErrorPpm(impl_->board);
        shelf.crystalAgingPpmPerYear = impl_->board.crystalAgingPpmPerYear;
        shelf.batteryVolts = impl_->board.batteryVolts;
        shelf.timekeepingMinVolts = impl_->board.rtcTimekeepingMinVolts;
    }
    if (shelf.batteryVolts < shelf.timekeepingMinVolts) {
        impl_->rtc->AgeBy(gap, shelf.crystalAgingPpmPerYear);
    } else {
        impl_->rtc->AdvanceBy(gap, shelf.crystalErrorPpm, shelf.crystalAgingPpmPerYear);
    }
}

EvaluationBoardChips::~EvaluationBoardChips() {
    SaveState();
}

I2cSlave& EvaluationBoardChips::Rtc() {
    return *impl_->rtc;
}
I2cSlave& EvaluationBoardChips::PowerMonitor() {
    return impl_->powerMonitor;
}
RtcModel EvaluationBoardChips::Model() const {
    return impl_->rtc->Model();
}

void EvaluationBoardChips::SetBatteryVoltage(double volts) {
    impl_->rtc->Sync();
    impl_->board.batteryVolts = volts;
}
// The RTC counts lazily: it catches up at the old rate first, so a change of temperature or
// crystal error applies from now on only.
void EvaluationBoardChips::SetBoardTemperature(double celsius) {
    impl_->rtc->Sync();
    impl_->board.boardCelsius = celsius;
}
void EvaluationBoardChips::SetCrystalPpm(double ppm) {
    impl_->rtc->Sync();
    impl_->board.crystalPpm = ppm;
}
void EvaluationBoardChips::SetCrystalTempco(double ppmPerCelsiusSquared) {
    impl_->rtc->Sync();
    impl_->board.crystalTempcoPpmPerC2 = ppmPerCelsiusSquared;
}
void EvaluationBoardChips::SetCrystalAging(double ppmPerYear) {
    impl_->rtc->Sync();
    impl_->board.crystalAgingPpmPerYear = ppmPerYear;
}

void EvaluationBoardChips::SetUsbPowered(bool powered) {
    impl_->rtc->Sync();
    impl_->board.usbPowered = powered;
    impl_->powerMonitor.TrackSupply();
}

void EvaluationBoardChips::SetSupplyOverride(double volts) {
    impl_->rtc->Sync();
    impl_->board.supplyOverridden = true;
    impl_->board.supplyOverrideVolts = volts;
    impl_->powerMonitor.TrackSupply();
}

void EvaluationBoardChips::ClearSupplyOverride() {
    impl_->rtc->Sync();
    impl_->board.supplyOverridden = false;
    impl_->powerMonitor.TrackSupply();
}

void EvaluationBoardChips::SetRtcInterfaceMinimum(double volts) {
    impl_->board.rtcInterfaceMinVolts = volts;
}
void EvaluationBoardChips::SetSwitchToBattery(double volts) {
    impl_->rtc->Sync();
    impl_->board.switchToBatteryVolts = volts;
    impl_->powerMonitor.TrackSupply();
}
void EvaluationBoardChips::SetSwitchToSupply(double volts) {
    impl_->rtc->Sync();
    impl_->board.switchToSupplyVolts = volts;
    impl_->powerMonitor.TrackSupply();
}
void EvaluationBoardChips::SetRtcTimekeepingMinimum(double volts) {
    impl_->rtc->Sync();
    impl_->board.rtcTimekeepingMinVolts = volts;
}
void EvaluationBoardChips::SetRtcSupplyCurrent(double microamps) {
    impl_->board.rtcSupplyMicroamps = microamps;
}
void EvaluationBoardChips::SetRtcBatteryCurrent(double microamps) {
    impl_->board.rtcBatteryMicroamps = microamps;
}

void EvaluationBoardChips::FireEventInput() {
    impl_->rtc->FireEventInput();
}

double EvaluationBoardChips::SupplyVoltage() const {
    return impl_->powerMonitor.SupplyVolts();
}
bool EvaluationBoardChips::RunningFromBattery() const {
    return impl_->powerMonitor.RtcOnBattery();
}

void EvaluationBoardChips::SaveState() {
    if (impl_->stateFile.empty()) return;
    // The stamp and the chip's count at one moment, as at loading.
    StoredRtcState state;
    state.savedAtHostMicros = impl_->wallClock();
    impl_->rtc->Sync();
    state.snapshot = impl_->rtc->Snapshot();
    // Until the next run the RTC is on the shelf: on its battery, at its crystal's rate now.
    state.shelfKnown = true;
    state.shelf.crystalErrorPpm = CrystalErrorPpm(impl_->board);
    state.shelf.crystalAgingPpmPerYear = impl_->board.crystalAgingPpmPerYear;
    state.shelf.batteryVolts = impl_->board.batteryVolts;
    state.shelf.timekeepingMinVolts = impl_->board.rtcTimekeepingMinVolts;
    std::string message;
    if (!SaveRtcState(impl_->stateFile, impl_->rtc->Model(), state, &message)) {
        impl_->stateMessage = message;
    }
}

std::string EvaluationBoardChips::StateFileMessage() const {
    return impl_->stateMessage;
}

}  // namespace kalendo::sim

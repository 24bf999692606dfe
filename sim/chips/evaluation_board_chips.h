// The chips of the evaluation board behind the bridge: one RTC (TQ5100 or TQ5200) at 0x32 and
// the ISL28023 power monitor at 0x40, sharing the board's supply, battery and temperature.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sim/bus/i2c_slave.h"
#include "sim/chips/rtc_model.h"
#include "sim/clock/sim_clock.h"

namespace kalendo::sim {

struct ChipsConfig {
    RtcModel model = RtcModel::Tq5100;
    const SimClock* clock = nullptr;  // required; outlives the chips
    uint32_t noiseSeed = 1;           // measurement noise is repeatable for a seed
    // File that keeps the RTC's registers and time across runs, as the battery-backed chip
    // does; empty: start fresh and keep nothing.
    std::string stateFile;
    // The host's wall clock the state file's times are on (microseconds since 1970); empty:
    // the system clock. Tests give their own.
    std::function<int64_t()> wallClockMicros = nullptr;
};

class EvaluationBoardChips {
  public:
    explicit EvaluationBoardChips(const ChipsConfig& config);
    ~EvaluationBoardChips();  // saves the RTC state when a state file is set
    EvaluationBoardChips(const EvaluationBoardChips&) = delete;
    EvaluationBoardChips& operator=(const EvaluationBoardChips&) = delete;

    I2cSlave& Rtc();
    I2cSlave& PowerMonitor();
    RtcModel Model() const;

    // Conditions a test or the control tool sets.
    void SetBatteryVoltage(double volts);      // default 3.0 V
    void SetBoardTemperature(double celsius);  // default 25 degrees
    // The RTC crystal's error: a constant offset in ppm (default 0) and its turnover curve,
    // tempco ppm per degree squared slower away from 25 degrees (default 0).
    void SetCrystalPpm(double ppm);
    void SetCrystalTempco(double ppmPerCelsiusSquared);
    // The crystal's aging: its error grows by this much a year from now on (default 0); what
    // it has grown by is kept with the RTC, across runs too.
    void SetCrystalAging(double ppmPerYear);
    // USB power: unplugged, the supply rail is off and the RTC runs from its battery (stopping
    // when that is below its timekeeping minimum). The power monitor keeps its settings: the
    // simulator does not model its power-on reset at replugging.
    void SetUsbPowered(bool powered);
    void SetSupplyOverride(double volts);      // forces the RTC supply rail (a failing supply)
    void ClearSupplyOverride();                // back to what the power monitor generates
    // The mounted sample's figures (defaults in BoardConditions): the VDD below which its I2C
    // interface stops acknowledging, the power switch's falling and rising thresholds, and its
    // timekeeping current from VDD and from the battery.
    void SetRtcInterfaceMinimum(double volts);
    void SetSwitchToBattery(double volts);
    void SetSwitchToSupply(double volts);
    // Below this on the rail that carries it the RTC's oscillator stops (default 1.0 V).
    void SetRtcTimekeepingMinimum(double volts);
    void SetRtcSupplyCurrent(double microamps);
    void SetRtcBatteryCurrent(double microamps);
    void FireEventInput();                     // TQ5200: time stamp of the event input

    // Observations for tests and tools (not register reads).
    double SupplyVoltage() const;  // volts on the RTC supply rail now
    bool RunningFromBattery() const;
    void SaveState();  // writes the state file now (no-op without one)
    // What went wrong with the state file (unreadable at start, or not writable), for the
    // user; empty when all went well.
    std::string StateFileMessage() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kalendo::sim

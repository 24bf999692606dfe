// Intersil ISL28023 digital power monitor at 0x40: PMBus-style commands, each a row of one
// table ({command, width, access, behaviour}), measuring the RTC's supply and battery rails and
// generating the RTC's supply from the level (0xE3) and configuration (0xE4) commands.
//
// Readings are 16-bit codes, most significant byte first, chosen so that the program's scale
// factors turn them into these figures (currents then read in microamps, as the program labels
// them; one current code is 0.125 nA):
//   supply voltage     code * 0.00025 V (3.3 V from power-on until a level is written)
//   supply current     the RTC's supply current (0.45 uA unless set) while VDD carries it,
//                      0.010 uA of leakage while the battery does
//   battery voltage    code * 0.0001 V (3.0 V unless set)
//   battery current    0.008 uA of leakage, the RTC's battery current (0.32 uA unless set)
//                      while the battery carries it
//   temperature        code * 0.016 degrees (board temperature, 25 unless set)
// Each reading carries a few codes of seeded noise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

#include "sim/chips/board_conditions.h"
#include "sim/chips/measurement_noise.h"
#include "sim/bus/i2c_slave.h"
#include "sim/chips/rtc_supply.h"

namespace kalendo::sim {

struct PowerMonitorCommand;

class PowerMonitorChip : public I2cSlave, public RtcSupply {
  public:
    static constexpr uint8_t kBusAddress = 0x40;

    PowerMonitorChip(const BoardConditions& board, uint32_t noiseSeed);

    uint8_t Address() const override { return kBusAddress; }
    bool OnStart(bool read) override;
    bool OnWrite(uint8_t byte) override;
    uint8_t OnRead() override;
    void OnStop() override;

    // Volts the chip's supply generator puts out from its level and configuration commands.
    double GeneratedSupplyVolts() const;
    // Volts on the RTC supply rail: the generator, unless the board forces another value.
    double SupplyVolts() const override;
    double CarryingVolts() const override;
    // Called before a write changes the generated rail, so the RTC catches up with its time
    // under the rail as it was.
    void SetBeforeRailChange(std::function<void()> callback) {
        beforeRailChange_ = std::move(callback);
    }
    // Whether the board's power switch has handed the RTC to its battery.
    bool RtcOnBattery() const { return onBattery_; }
    // Moves the power switch after the rail or its thresholds changed; the switch remembers
    // its side, so every change of the rail must pass through here.
    void TrackSupply();

  private:
    void CommitWrite();
    void PrepareRead();
    uint16_t MeasureCode(const PowerMonitorCommand& command);

    const BoardConditions& board_;
    MeasurementNoise noise_;
    std::array<uint16_t, 256> values_{};  // stored commands, by command code
    const PowerMonitorCommand* command_ = nullptr;
    bool commandExpected_ = false;
    std::array<uint8_t, 2> written_{};
    size_t writtenCount_ = 0;
    bool writeRefused_ = false;            // a byte of this write was not acknowledged: drop it all
    std::array<uint8_t, 9> readBuffer_{};  // longest answer: the identification block
    size_t readLength_ = 0;
    size_t readIndex_ = 0;
    bool onBattery_ = false;
    std::function<void()> beforeRailChange_;
};

}  // namespace kalendo::sim

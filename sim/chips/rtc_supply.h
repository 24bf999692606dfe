// The RTC's VDD pin as the RTC sees it: the rail the power monitor generates (or the board
// forces). The RTC asks it whether its I2C interface is powered.
#pragma once

namespace kalendo::sim {

class RtcSupply {
  public:
    virtual ~RtcSupply() = default;
    virtual double SupplyVolts() const = 0;
    // The rail the oscillator and counters run from: VDD, or the battery once the board's power
    // switch has handed the RTC to it.
    virtual double CarryingVolts() const { return SupplyVolts(); }
};

}  // namespace kalendo::sim

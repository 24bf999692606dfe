// The RTC's VDD pin as the RTC sees it: the rail the power monitor generates (or the board
// forces). The RTC asks it whether its I2C interface is powered.
#pragma once

namespace kalendo::sim {

class RtcSupply {
  public:
    virtual ~RtcSupply() = default;
    virtual double SupplyVolts() const = 0;
};

}  // namespace kalendo::sim

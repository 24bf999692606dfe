// The board's clock. Real mode follows the host's monotonic clock; virtual mode moves only
// when told to (by tests and the control tool, and by the wire time the serial engine spends),
// so alarms and timers can be tested without waiting.
#pragma once

#include <chrono>
#include <cstdint>

#include "sim/clock/sim_clock.h"

namespace kalendo::sim {

class BoardClock : public SimClock {
  public:
    BoardClock();

    int64_t NowMicros() const override { return NowPs() / 1'000'000; }
    int64_t NowPs() const;

    // Switching keeps the present time, so the clock never goes back.
    void UseVirtual(bool on);
    bool IsVirtual() const { return virtual_; }
    // Virtual mode only; ignored in real mode, where time passes by itself.
    void AdvancePs(int64_t ps);
    void AdvanceToPs(int64_t ps);
    void AdvanceMs(int64_t ms) { AdvancePs(ms * 1'000'000'000); }

  private:
    std::chrono::steady_clock::time_point start_;
    bool virtual_ = false;
    int64_t virtualPs_ = 0;
};

}  // namespace kalendo::sim

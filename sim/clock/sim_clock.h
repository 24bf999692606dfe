// Time on the simulated board: real time by default; tests switch it to a virtual clock that
// moves only when they advance it, so alarms and timers are tested without waiting.
#pragma once

#include <cstdint>

namespace kalendo::sim {

class SimClock {
  public:
    virtual ~SimClock() = default;
    // Microseconds since the board was powered, never decreasing.
    virtual int64_t NowMicros() const = 0;
};

}  // namespace kalendo::sim

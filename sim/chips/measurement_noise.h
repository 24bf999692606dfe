// Small repeatable noise for the power monitor's readings: the same seed gives the same sequence
// on every platform (xorshift32, no library distribution whose output varies by vendor).
#pragma once

#include <cstdint>

namespace kalendo::sim {

class MeasurementNoise {
  public:
    explicit MeasurementNoise(uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}

    // A whole number of codes, evenly spread over -amplitude..+amplitude.
    int Next(int amplitude) {
        if (amplitude <= 0) return 0;
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        const uint32_t span = static_cast<uint32_t>(2 * amplitude + 1);
        return static_cast<int>(state_ % span) - amplitude;
    }

  private:
    uint32_t state_;
};

}  // namespace kalendo::sim

// Novar TQ5100: a 12-bit timer counter, a temperature sensor at 0x17, a backup-function register
// at 0x18, and copies of the time registers (0x10-0x16) and of the timer, extension, flag and
// control registers (0x1B-0x1F).
#pragma once

#include "sim/chips/rtc_chip.h"

namespace kalendo::sim {

class RtcTq5100 : public RtcChip {
  public:
    using RtcChip::RtcChip;
    RtcModel Model() const override { return RtcModel::Tq5100; }

    // Temperature code the sensor reports for a temperature, so that the program's conversion
    // celsius = (2 * code - 187.19) / 3.218 gives it back: inverted, rounded, held in 0..255.
    static uint8_t TemperatureCode(double celsius);

  protected:
    uint8_t ReadModelRegister(uint8_t reg) override;
    void WriteModelRegister(uint8_t reg, uint8_t value) override;
    uint8_t CounterHighMask() const override { return 0x0F; }
    uint8_t FlagStorageBits() const override { return 0x00; }  // bits 7-6 reserved, read 0
    uint32_t TimerPreset() const override;
};

}  // namespace kalendo::sim

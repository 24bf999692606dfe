// Novar TQ5200: a 24-bit timer counter (bits 23-16 in the Timer2 Preset register 0x1F) whose
// running count shows in the monitor registers 0x1C-0x1E, and time-stamp registers 0x10-0x16
// that capture the time when the event input fires.
#pragma once

#include "sim/chips/rtc_chip.h"

namespace kalendo::sim {

class RtcTq5200 : public RtcChip {
  public:
    using RtcChip::RtcChip;
    RtcModel Model() const override { return RtcModel::Tq5200; }
    void FireEventInput() override;

  protected:
    uint8_t ReadModelRegister(uint8_t reg) override;
    void WriteModelRegister(uint8_t reg, uint8_t value) override;
    uint8_t CounterHighMask() const override { return 0xFF; }
    uint8_t FlagStorageBits() const override { return 0xC0; }  // bits 7-6 hold what is written
    uint32_t TimerPreset() const override;
};

}  // namespace kalendo::sim

// The RTC's FOUT frequency (bits 3-2 of 0x0D). The output itself is gated by a bridge pin
// (SetFoutGate, bridge/fout_gate.h).
#pragma once

#include <cstdint>

#include "bridge/register_port.h"

namespace kalendo {

enum class FoutFrequencyResult {
    Set,
    NotRead,     // 0x0D could not be read: nothing written (its other bits would be lost)
    NotWritten,  // read, but the write did not reach the chip
};

// code: kFout32768Hz, kFout1024Hz or kFout1Hz. The other bits of 0x0D keep the values read.
FoutFrequencyResult SetFoutFrequency(RegisterPort& rtc, uint8_t code);

}  // namespace kalendo

// Clearing the RTC's flag register (0x0E) without losing a flag that rises meanwhile.
#pragma once

#include <cstdint>

#include "bridge/register_port.h"

namespace kalendo {

// The chip raises bits 5-0 and clears them only when 0 is written; writing 1 leaves a flag as it
// is. Bits 7-6 are storage on the TQ5200 (they hold what is written) and read 0 on the TQ5100.
constexpr uint8_t kFlagRegisterFlags = 0x3F;

// Clears `flags` and nothing else: every other flag bit is written 1, so a flag the chip raises
// between the read and the write survives. The read only keeps the storage bits 7-6 (a
// read-modify-write of the whole byte would write a just-raised flag back as 0). False, with
// nothing written, when the read failed.
bool ClearRtcFlags(RegisterPort& rtc, uint8_t flags);

// Whether any of `flags` is up; false, with *raised untouched, when the read failed.
bool RtcFlagRaised(RegisterPort& rtc, uint8_t flags, bool* raised);

}  // namespace kalendo

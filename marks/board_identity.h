// The board a mark or an event belongs to, from the bridge: the first board's serial number and
// description as listed at discovery, and the RTC model the user chose.
#pragma once

#include <cstdint>
#include <string>

#include "marks/mark_records.h"

namespace kalendo::marks {

BoardIdentity OpenBoardIdentity(const std::string& model, uint32_t board = 0);

// The control register that holds the write guard (0x0F, and the TQ5100's copy at 0x1F).
bool IsWriteGuardRegister(const std::string& model, uint8_t reg);
// Whether a write of `value` to RTC register `reg` (on this model) sets the time, or holds or
// releases it with the write guard: the time registers 0x00-0x06 (and the TQ5100's copies at
// 0x10-0x16), and the control register 0x0F (and the TQ5100's copy at 0x1F) when the guard bit
// is in the written value or in the value it had (`before`, -1 when unknown, which counts).
bool WritesRtcTime(const std::string& model, uint8_t reg, uint8_t value, int before);

}  // namespace kalendo::marks

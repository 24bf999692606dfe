// Writing time or calendar registers with the control register's write guard set around them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bridge/register_port.h"

namespace kalendo {

struct FieldWrite {
    uint8_t reg;
    uint8_t value;
};

// Reads the control register (p), writes p | CTRL_WRITE_GUARD, writes the fields in the given
// order, then writes p & ~CTRL_WRITE_GUARD: the guard ends cleared even if it was set before.
// When the control register cannot be read nothing is written (p would be a fallback byte and
// the interrupt enables in it would be lost). Once the guard write has gone out, the release is
// always sent, even when the board fell silent in between (the RTC stays halted while the guard
// is set). True when every transfer reached the chip.
bool GuardedTimeWrite(RegisterPort& rtc, const FieldWrite* writes, size_t count);

template <size_t N>
bool GuardedTimeWrite(RegisterPort& rtc, const FieldWrite (&writes)[N]) {
    return GuardedTimeWrite(rtc, writes, N);
}

}  // namespace kalendo

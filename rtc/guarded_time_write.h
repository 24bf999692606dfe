// Writing time or calendar registers with the control register's write guard set around them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rtc/register_bus.h"

namespace kalendo {

struct FieldWrite {
    uint8_t reg;
    uint8_t value;
};

// Reads the control register (p), writes p | CTRL_WRITE_GUARD, writes the fields in the given
// order, then writes p & ~CTRL_WRITE_GUARD: the guard ends cleared even if it was set before.
// When the control register cannot be read nothing is written (p would be a fallback byte and
// the interrupt enables in it would be lost) and the result is false. Failed writes are not
// checked here; they stay in the bus's status as for any other write.
bool GuardedTimeWrite(RegisterBus& bus, const FieldWrite* writes, size_t count);

template <size_t N>
bool GuardedTimeWrite(RegisterBus& bus, const FieldWrite (&writes)[N]) {
    return GuardedTimeWrite(bus, writes, N);
}

}  // namespace kalendo

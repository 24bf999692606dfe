// The register maps the Registers tab lists: one row per register address 0x00..0x1F with the
// register's name, its last value and whether it is read-only or read at all.
#pragma once

#include <cstdint>

namespace kalendo {

struct RegisterInfo {
    uint32_t address;
    const char* name;
    uint32_t value;    // last value read; 0 in the constant tables
    uint8_t readOnly;  // 1: "Read Only", 0: "Read/Write"
    uint8_t readable;  // 0: never read (its value stays 0) and not offered as an address
};

constexpr int kRegisterTableRows = 32;

extern const RegisterInfo Tq5100RegisterTable[kRegisterTableRows];
extern const RegisterInfo Tq5200RegisterTable[kRegisterTableRows];
extern const RegisterInfo PlaceholderRegisterTable[kRegisterTableRows];

// The table for a position of the model box: 0 the TQ5100, 1 the TQ5200, 2 the placeholder.
// Any other position (no model chosen: the box answers -1) gives the placeholder, which reads
// nothing from the bus.
const RegisterInfo* RegisterTableAt(int modelIndex);

// The Info column's text of a row.
const char* AccessText(const RegisterInfo& row);

}  // namespace kalendo

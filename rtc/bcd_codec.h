// Packed-BCD codec of the time, calendar and alarm registers. Neither direction validates: the
// chip can hold any byte, and the texts decide what is out of range.
#pragma once

#include <cstdint>

#include "rtc/rtc_registers.h"

namespace kalendo {

// High nibble times ten plus low nibble, unchecked: 0x1A gives 20, 0xFF gives 165.
constexpr int FromBcd(uint8_t v) {
    return (v >> 4) * 10 + (v & 0x0F);
}

// n + (n / 10) * 6 modulo 256: exact for 0-99, 100 gives 0xA0. Wide arithmetic so that any int
// the caller passes wraps instead of overflowing.
constexpr uint8_t ToBcd(int n) {
    const int64_t wide = n;
    return static_cast<uint8_t>(static_cast<uint64_t>(wide + (wide / 10) * 6) & 0xFF);
}

// The alarm registers carry a flag in bit 7 that is not part of the value.
constexpr int FromAlarmBcd(uint8_t v) {
    return FromBcd(static_cast<uint8_t>(v & ALARM_VALUE_MASK));
}

// The year register holds the years after 2000.
constexpr int YearFromRegister(uint8_t v) {
    return 2000 + FromBcd(v);
}
constexpr uint8_t YearToRegister(int year) {
    return ToBcd(year - 2000);
}

}  // namespace kalendo

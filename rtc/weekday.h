// The week register holds one bit per day, Sunday in bit 0.
#pragma once

#include <cstdint>

namespace kalendo {

// 1 << d for d = 0 (Sunday) to 6 (Saturday); any other d gives 0, which is written as it is.
uint8_t WeekdayBit(int d);

// "Sunday" to "Saturday" for exactly the seven single bits 0x01-0x40; "Error" for anything else
// (0, two bits, 0x80).
const char* WeekdayName(uint8_t weekRegister);

}  // namespace kalendo

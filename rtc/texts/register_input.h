// Typed register addresses and data bytes on the Registers tab. The text is written to the chip
// as it stands, so only a plain hexadecimal byte is taken: anything else would reach some other
// register, or write 0, without the user noticing.
#pragma once

#include <cstdint>
#include <string>

namespace kalendo {

// Parses text such as "0F", "ff", " 7 " or "0x1a": optional blanks around one to any number of
// hex digits with an optional 0x/0X prefix, whose value is 0x00..0xFF. Signs, other characters,
// an empty text and values above 0xFF are refused (false, *value untouched).
bool ParseRegisterByte(const std::string& text, uint8_t* value);

}  // namespace kalendo

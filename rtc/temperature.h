// The TQ5100's temperature register: a raw code turned into degrees Celsius.
#pragma once

#include <cstdint>

namespace kalendo {

// (2 * raw - 187.19) / 3.218 in single precision: raw 0 gives -58.2, raw 128 gives 21.4.
float TemperatureCelsius(uint8_t raw);

}  // namespace kalendo

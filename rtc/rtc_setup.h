// The RTC's set-up at Connect in the window: fixed register writes per model.
#pragma once

#include "bridge/register_port.h"

namespace kalendo {

// TQ5100: 0x0D = kExtensionAtConnect, 0x0F = 0x40, 0x0E = 0x00, 0x18 = 0x01.
// TQ5200: 0x0D = kExtensionAtConnect, 0x0E = 0x00, 0x0E = 0x40 (its flag register twice; 0x0F
// is left alone). Every write is tried; true when all reached the chip.
bool InitialiseRtc(RegisterPort& rtc, bool tq5200);

}  // namespace kalendo

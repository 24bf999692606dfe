// Register reads whose failure a page can see. The bus layer records a failure only in the sticky
// BusStatus and hands back a fallback byte, which a page must never show as the chip's value.
#pragma once

#include <cstdint>

namespace kalendo {

// True when the read succeeded; *value is then the chip's byte. A failure stays recorded in
// BusStatus for the action's report, and an earlier failure is not hidden by this read.
bool TryReadRtcRegister(uint8_t reg, uint8_t* value);
// The same on the ActiveDevice at any width (the Registers page's raw reads).
bool TryReadRegister(uint8_t reg, uint32_t width, uint32_t* value);

}  // namespace kalendo

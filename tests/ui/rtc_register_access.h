// The RTC's registers through the program's own port, as the pages reach them: for the tests and
// photo programs that set the chip up or look at it while the window runs.
#pragma once

#include <cstdint>

#include "app/connection_state.h"
#include "bridge/register_port.h"

namespace kalendo {

inline uint8_t ReadRtcRegister(uint8_t reg) {
    uint8_t value = 0;
    DevicePort(RtcHandle).Read8(reg, &value);
    return value;
}

inline void WriteRtcRegister(uint8_t reg, uint8_t value) {
    DevicePort(RtcHandle).Write8(reg, value);
}

}  // namespace kalendo

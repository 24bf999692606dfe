#include "bridge/register_port.h"

namespace kalendo {

bool DevicePort::Read(uint8_t reg, uint32_t width, uint32_t* value) {
    return ReadRegisterOf(device_, reg, width, value, timing_);
}

bool DevicePort::Write(uint8_t reg, uint32_t value, uint32_t width) {
    return WriteRegisterOf(device_, reg, value, width, WhenStopped::Skip, timing_);
}

bool DevicePort::WriteAlways(uint8_t reg, uint32_t value, uint32_t width) {
    return WriteRegisterOf(device_, reg, value, width, WhenStopped::SendAnyway, timing_);
}

bool DevicePort::ReadTimed(uint8_t reg, uint32_t width, uint32_t* value,
                           LatchTiming* latch) {
    return ReadRegisterInOneBurstOf(device_, reg, width, value, timing_, latch);
}

}  // namespace kalendo

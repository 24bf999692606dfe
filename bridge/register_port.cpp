#include "bridge/register_port.h"

#include "bridge/register_access.h"

namespace kalendo {

bool DevicePort::Read(uint8_t reg, uint32_t width, uint32_t* value) {
    return ReadRegisterOf(device_, reg, width, value);
}

bool DevicePort::Write(uint8_t reg, uint32_t value, uint32_t width) {
    return WriteRegisterOf(device_, reg, value, width);
}

bool DevicePort::WriteAlways(uint8_t reg, uint32_t value, uint32_t width) {
    return WriteRegisterOf(device_, reg, value, width, WhenStopped::SendAnyway);
}

}  // namespace kalendo

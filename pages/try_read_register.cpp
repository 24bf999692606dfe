#include "pages/try_read_register.h"

#include "bridge/bridge_state.h"
#include "bridge/register_access.h"
#include "rtc/register_bus.h"

namespace kalendo {

namespace {

// Runs one read with the status cleared, then puts back an earlier failure so that the action's
// report still sees the first one.
template <typename Read>
bool ReadSeparately(Read read) {
    const int32_t earlier = Bridge().BusStatus;
    Bridge().BusStatus = kBusOk;
    read();
    const bool ok = Bridge().BusStatus == kBusOk;
    if (earlier != kBusOk) {
        Bridge().BusStatus = earlier;
    }
    return ok;
}

}  // namespace

bool TryReadRtcRegister(uint8_t reg, uint8_t* value) {
    return ReadSeparately([&] { *value = ReadRtcRegister(reg); });
}

bool TryReadRegister(uint8_t reg, uint32_t width, uint32_t* value) {
    return ReadSeparately([&] { *value = ReadRegisterChecked(reg, width); });
}

}  // namespace kalendo

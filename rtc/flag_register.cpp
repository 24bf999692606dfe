#include "rtc/flag_register.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

bool ClearRtcFlags(RegisterPort& rtc, uint8_t flags) {
    uint8_t now = 0;
    if (!rtc.Read8(kRegFlag, &now)) return false;
    const auto storage = static_cast<uint8_t>(now & ~kFlagRegisterFlags);
    const auto keepOthers = static_cast<uint8_t>(kFlagRegisterFlags & ~flags);
    return rtc.Write8(kRegFlag, storage | keepOthers);
}

bool RtcFlagRaised(RegisterPort& rtc, uint8_t flags, bool* raised) {
    uint8_t value = 0;
    if (!rtc.Read8(kRegFlag, &value)) return false;
    *raised = (value & flags) != 0;
    return true;
}

}  // namespace kalendo

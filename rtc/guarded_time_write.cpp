#include "rtc/guarded_time_write.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

bool GuardedTimeWrite(RegisterBus& bus, const FieldWrite* writes, size_t count) {
    uint32_t control = 0;
    if (!bus.TryRead(kRegControl, kRtcRegisterWidth, &control)) return false;
    const auto previous = static_cast<uint8_t>(control);
    bus.Write(kRegControl, previous | CTRL_WRITE_GUARD, kRtcRegisterWidth);
    for (size_t i = 0; i < count; ++i) {
        bus.Write(writes[i].reg, writes[i].value, kRtcRegisterWidth);
    }
    bus.Write(kRegControl, previous & static_cast<uint8_t>(~CTRL_WRITE_GUARD), kRtcRegisterWidth);
    return true;
}

}  // namespace kalendo

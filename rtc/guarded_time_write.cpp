#include "rtc/guarded_time_write.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

void GuardedTimeWrite(RegisterBus& bus, const FieldWrite* writes, size_t count) {
    const uint8_t previous = static_cast<uint8_t>(bus.Read(kRegControl, kRtcRegisterWidth));
    bus.Write(kRegControl, previous | CTRL_WRITE_GUARD, kRtcRegisterWidth);
    for (size_t i = 0; i < count; ++i) {
        bus.Write(writes[i].reg, writes[i].value, kRtcRegisterWidth);
    }
    bus.Write(kRegControl, previous & static_cast<uint8_t>(~CTRL_WRITE_GUARD), kRtcRegisterWidth);
}

}  // namespace kalendo

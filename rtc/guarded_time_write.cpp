#include "rtc/guarded_time_write.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

bool GuardedTimeWrite(RegisterPort& rtc, const FieldWrite* writes, size_t count) {
    uint8_t previous = 0;
    if (!rtc.Read8(kRegControl, &previous)) return false;
    bool ok = rtc.Write8(kRegControl, previous | CTRL_WRITE_GUARD);
    for (size_t i = 0; i < count; ++i) {
        ok = rtc.Write8(writes[i].reg, writes[i].value) && ok;
    }
    // Sent even when the guard write seemed to fail: it may have reached the chip all the same.
    ok = rtc.WriteAlways(kRegControl, previous & static_cast<uint8_t>(~CTRL_WRITE_GUARD),
                         kRtcRegisterWidth) && ok;
    return ok;
}

}  // namespace kalendo

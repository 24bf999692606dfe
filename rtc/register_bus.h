// The register operations the RTC code needs, as an interface so that sequences such as
// GuardedTimeWrite can run against the bridge or against a recording fake.
#pragma once

#include <cstdint>

namespace kalendo {

class RegisterBus {
  public:
    virtual ~RegisterBus() = default;
    virtual uint32_t Read(uint8_t reg, uint32_t width) = 0;
    virtual void Write(uint8_t reg, uint32_t value, uint32_t width) = 0;
    // A read that says whether it succeeded, for read-modify-writes: writing back what a failed
    // read returned would change the register's other bits. By default every read succeeds.
    virtual bool TryRead(uint8_t reg, uint32_t width, uint32_t* value) {
        *value = Read(reg, width);
        return true;
    }
};

// The bridge's selection-checking operations (ReadRegisterChecked / WriteRegisterChecked) on the
// ActiveDevice. Failures are left in the bridge's sticky BusStatus.
RegisterBus& BridgeRegisterBus();

// The RTC's 8-bit registers on the bridge bus.
uint8_t ReadRtcRegister(uint8_t reg);
void WriteRtcRegister(uint8_t reg, uint8_t value);
// Read-modify-write: keeps the bits in keepMask, then sets setBits. When the read fails nothing
// is written, the failure stays in BusStatus, and the result is false.
bool UpdateRtcRegister(uint8_t reg, uint8_t keepMask, uint8_t setBits);

}  // namespace kalendo

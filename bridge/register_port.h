// The registers of one chip on the board's bus, as the chip operations see them. Every read and
// write of a port names its device, so an operation on the power monitor can never leave the
// bus pointed at it for the next RTC write. Tests give the operations a recording fake.
#pragma once

#include <cstdint>

#include "bridge/bridge_state.h"
#include "bridge/register_access.h"

namespace kalendo {

class RegisterPort {
  public:
    virtual ~RegisterPort() = default;
    // True when the read reached the chip; *value is then the chip's. On failure *value is the
    // bridge's fallback, which must never be shown or written back as the chip's.
    virtual bool Read(uint8_t reg, uint32_t width, uint32_t* value) = 0;
    virtual bool Write(uint8_t reg, uint32_t value, uint32_t width) = 0;
    // A write that goes out even when the action has stopped using the bus after the board went
    // silent: the release of a write guard, a supply output switched back on.
    virtual bool WriteAlways(uint8_t reg, uint32_t value, uint32_t width) {
        return Write(reg, value, width);
    }

    // A read timed by its caller: one burst where the port can (the register written, a
    // repeated START, the bytes read), so its answer is one round trip away. *latch gets where
    // in what was sent the chip took the value (zeros where the port cannot say: no narrowing).
    virtual bool ReadTimed(uint8_t reg, uint32_t width, uint32_t* value, LatchTiming* latch) {
        *latch = LatchTiming();
        return Read(reg, width, value);
    }

    // 8-bit forms, the RTC's width.
    bool Read8(uint8_t reg, uint8_t* value) {
        uint32_t v = 0;
        const bool ok = Read(reg, 8, &v);
        *value = static_cast<uint8_t>(v);
        return ok;
    }
    bool Write8(uint8_t reg, uint8_t value) { return Write(reg, value, 8); }
    // Read-modify-write: keeps keepMask, then sets setBits. Nothing is written when the read
    // failed (the fallback byte would change the other bits).
    bool Update8(uint8_t reg, uint8_t keepMask, uint8_t setBits) {
        uint8_t value = 0;
        if (!Read8(reg, &value)) return false;
        return Write8(reg, static_cast<uint8_t>((value & keepMask) | setBits));
    }
};

// A port on a device of the bridge's device table (the bridge library; the RTC operations above
// need only the interface).
// Its answer timing is its own: the check's ports ask for every answer at once, the pages' wait
// for the latency timer, on the same device and channel.
class DevicePort final : public RegisterPort {
  public:
    explicit DevicePort(DeviceHandle device, AnswerTiming timing = AnswerTiming::LatencyTimer)
        : device_(device), timing_(timing) {}
    bool Read(uint8_t reg, uint32_t width, uint32_t* value) override;
    bool Write(uint8_t reg, uint32_t value, uint32_t width) override;
    bool WriteAlways(uint8_t reg, uint32_t value, uint32_t width) override;
    bool ReadTimed(uint8_t reg, uint32_t width, uint32_t* value,
                   LatchTiming* latch) override;
    DeviceHandle Device() const { return device_; }
    AnswerTiming Timing() const { return timing_; }

  private:
    DeviceHandle device_;
    AnswerTiming timing_;
};

}  // namespace kalendo

#include "bridge/register_access.h"
#include "rtc/register_bus.h"
#include "rtc/rtc_registers.h"

namespace kalendo {

namespace {

class CheckedBridgeBus final : public RegisterBus {
  public:
    uint32_t Read(uint8_t reg, uint32_t width) override { return ReadRegisterChecked(reg, width); }
    void Write(uint8_t reg, uint32_t value, uint32_t width) override {
        WriteRegisterChecked(reg, value, width);
    }
    // Judges this read alone, then puts back an earlier failure of the action so that its
    // report still sees the first one.
    bool TryRead(uint8_t reg, uint32_t width, uint32_t* value) override {
        BridgeState& s = Bridge();
        const int32_t earlier = s.BusStatus;
        s.BusStatus = kBusOk;
        *value = ReadRegisterChecked(reg, width);
        const bool ok = s.BusStatus == kBusOk;
        if (earlier != kBusOk) s.BusStatus = earlier;
        return ok;
    }
};

}  // namespace

RegisterBus& BridgeRegisterBus() {
    static CheckedBridgeBus bus;
    return bus;
}

uint8_t ReadRtcRegister(uint8_t reg) {
    return static_cast<uint8_t>(BridgeRegisterBus().Read(reg, kRtcRegisterWidth));
}

void WriteRtcRegister(uint8_t reg, uint8_t value) {
    BridgeRegisterBus().Write(reg, value, kRtcRegisterWidth);
}

bool UpdateRtcRegister(uint8_t reg, uint8_t keepMask, uint8_t setBits) {
    uint32_t value = 0;
    if (!BridgeRegisterBus().TryRead(reg, kRtcRegisterWidth, &value)) return false;
    WriteRtcRegister(reg, static_cast<uint8_t>((value & keepMask) | setBits));
    return true;
}

}  // namespace kalendo

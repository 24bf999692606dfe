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

void UpdateRtcRegister(uint8_t reg, uint8_t keepMask, uint8_t setBits) {
    WriteRtcRegister(reg, static_cast<uint8_t>((ReadRtcRegister(reg) & keepMask) | setBits));
}

}  // namespace kalendo

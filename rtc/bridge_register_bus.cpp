#include "bridge/register_access.h"
#include "rtc/register_bus.h"

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

}  // namespace kalendo

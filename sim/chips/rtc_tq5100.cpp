#include "sim/chips/rtc_tq5100.h"

#include <cmath>

namespace kalendo::sim {

namespace {
namespace reg {
constexpr uint8_t kTimeCopyFirst = 0x10;  // 0x10-0x16 mirror 0x00-0x06
constexpr uint8_t kTimeCopyLast = 0x16;
constexpr uint8_t kTemperature = 0x17;
constexpr uint8_t kBackupFunction = 0x18;
constexpr uint8_t kReservedFirst = 0x19;
constexpr uint8_t kReservedLast = 0x1A;
constexpr uint8_t kControlCopyFirst = 0x1B;  // 0x1B-0x1F mirror 0x0B-0x0F
constexpr uint8_t kCopyOffset = 0x10;
}  // namespace reg

bool IsCopy(uint8_t r) {
    return (r >= reg::kTimeCopyFirst && r <= reg::kTimeCopyLast) || r >= reg::kControlCopyFirst;
}

}  // namespace

uint8_t RtcTq5100::TemperatureCode(double celsius) {
    const double code = std::round((3.218 * celsius + 187.19) / 2.0);
    if (!(code > 0.0)) return 0;  // also catches a temperature that is not a number
    if (code > 255.0) return 255;
    return static_cast<uint8_t>(code);
}

uint32_t RtcTq5100::TimerPreset() const {
    return regs_[rtc_reg::kTimerCounter0] |
           static_cast<uint32_t>(regs_[rtc_reg::kTimerCounter1] & 0x0F) << 8;
}

uint8_t RtcTq5100::ReadModelRegister(uint8_t r) {
    if (IsCopy(r)) return ReadSharedRegister(r - reg::kCopyOffset);
    if (r == reg::kTemperature) return TemperatureCode(Board().boardCelsius);
    if (r >= reg::kReservedFirst && r <= reg::kReservedLast) return 0;  // reserved: reads 0
    return regs_[r];                                                    // backup function
}

void RtcTq5100::WriteModelRegister(uint8_t r, uint8_t value) {
    if (IsCopy(r)) {
        WriteSharedRegister(r - reg::kCopyOffset, value);  // a copy writes through to the original
    } else if (r == reg::kBackupFunction) {
        regs_[r] = value;
    }
    // Temperature is read-only and the reserved registers ignore writes.
}

}  // namespace kalendo::sim

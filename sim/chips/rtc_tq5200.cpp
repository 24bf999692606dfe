#include "sim/chips/rtc_tq5200.h"

namespace kalendo::sim {

namespace {
namespace reg {
constexpr uint8_t kTimeStampFirst = 0x10;  // seconds .. year, as 0x00-0x06
constexpr uint8_t kTimeStampLast = 0x16;
constexpr uint8_t kTimerMonitor0 = 0x1C;  // running count bits 7-0
constexpr uint8_t kTimerMonitor2 = 0x1E;  // running count bits 23-16
constexpr uint8_t kTimer2Preset = 0x1F;   // counter bits 23-16
}  // namespace reg
}  // namespace

void RtcTq5200::FireEventInput() {
    Sync();
    for (uint8_t i = 0; i <= rtc_reg::kYear; ++i) regs_[reg::kTimeStampFirst + i] = regs_[i];
}

uint32_t RtcTq5200::TimerPreset() const {
    return regs_[rtc_reg::kTimerCounter0] |
           static_cast<uint32_t>(regs_[rtc_reg::kTimerCounter1]) << 8 |
           static_cast<uint32_t>(regs_[reg::kTimer2Preset]) << 16;
}

uint8_t RtcTq5200::ReadModelRegister(uint8_t r) {
    if (r >= reg::kTimerMonitor0 && r <= reg::kTimerMonitor2) {
        return static_cast<uint8_t>(TimerCount() >> (8 * (r - reg::kTimerMonitor0)));
    }
    return regs_[r];  // time stamps, EVIN, SOUT and timer control, Timer2 Preset
}

void RtcTq5200::WriteModelRegister(uint8_t r, uint8_t value) {
    if (r >= reg::kTimeStampFirst && r <= reg::kTimeStampLast) return;  // time stamps: read-only
    if (r >= reg::kTimerMonitor0 && r <= reg::kTimerMonitor2) return;   // monitors: read-only
    regs_[r] = value;
    if (r == reg::kTimer2Preset) PresetWritten();
}

}  // namespace kalendo::sim

#include "rtc/timer_operations.h"

#include "rtc/flag_register.h"
#include "rtc/rtc_registers.h"

namespace kalendo {

TimerCounterBytes TimerCounterToRegisters(uint32_t value, bool tq5200) {
    TimerCounterBytes bytes = {};
    bytes.counter0 = static_cast<uint8_t>(value & 0xFF);
    bytes.counter1 = static_cast<uint8_t>((value >> 8) & (tq5200 ? 0xFF : 0x0F));
    bytes.preset2 = tq5200 ? static_cast<uint8_t>((value >> 16) & 0xFF) : 0;
    return bytes;
}

uint32_t TimerCounterFromRegisters(const TimerCounterBytes& bytes, bool tq5200) {
    if (tq5200) {
        return (uint32_t{bytes.preset2} << 16) | (uint32_t{bytes.counter1} << 8) | bytes.counter0;
    }
    return (uint32_t{bytes.counter1 & 0x0Fu} << 8) | bytes.counter0;
}

bool WriteTimerCounter(RegisterPort& rtc, uint32_t value, bool tq5200) {
    const TimerCounterBytes bytes = TimerCounterToRegisters(value, tq5200);
    bool ok = rtc.Write8(kRegTimerCounter0, bytes.counter0);
    ok = rtc.Write8(kRegTimerCounter1, bytes.counter1) && ok;
    if (tq5200) ok = rtc.Write8(kRegTimer2Preset, bytes.preset2) && ok;
    return ok;
}

bool ReadTimerCounter(RegisterPort& rtc, bool tq5200, uint32_t* value) {
    TimerCounterBytes bytes = {};
    if (!rtc.Read8(kRegTimerCounter0, &bytes.counter0) ||
        !rtc.Read8(kRegTimerCounter1, &bytes.counter1) ||
        (tq5200 && !rtc.Read8(kRegTimer2Preset, &bytes.preset2))) {
        return false;
    }
    *value = TimerCounterFromRegisters(bytes, tq5200);
    return true;
}

bool StartTimer(RegisterPort& rtc) {
    return rtc.Update8(kRegExtension, 0xFF, EXT_TIMER_ENABLE);
}

bool StopTimer(RegisterPort& rtc) {
    return rtc.Update8(kRegExtension, TIMER_STOP_MASK, 0);
}

bool EnableTimerInterrupt(RegisterPort& rtc) {
    return ClearRtcFlags(rtc, kTimerFlags) && rtc.Update8(kRegControl, 0xFF, CTRL_TIMER_INT);
}

bool DisableTimerInterrupt(RegisterPort& rtc) {
    const bool control = rtc.Update8(kRegControl, TIMER_INT_CLEAR_MASK, 0);
    const bool flags = ClearRtcFlags(rtc, kTimerFlags);
    return control && flags;
}

bool AcknowledgeTimer(RegisterPort& rtc) {
    return ClearRtcFlags(rtc, kTimerFlags);
}

bool SetTimerSourceClock(RegisterPort& rtc, uint8_t clock) {
    return rtc.Update8(kRegExtension, static_cast<uint8_t>(~EXT_TIMER_CLOCK),
                       static_cast<uint8_t>(clock & EXT_TIMER_CLOCK));
}

bool ReadTimerSourceClock(RegisterPort& rtc, uint8_t* clock) {
    uint8_t extension = 0;
    if (!rtc.Read8(kRegExtension, &extension)) return false;
    *clock = extension & EXT_TIMER_CLOCK;
    return true;
}

bool TimerFlagRaised(RegisterPort& rtc, bool* raised) {
    return RtcFlagRaised(rtc, FLAG_TIMER, raised);
}

bool ReadTimerCountdown(RegisterPort& rtc, uint32_t* count) {
    uint8_t low = 0, middle = 0, high = 0;
    if (!rtc.Read8(kRegTimer0Monitor, &low) || !rtc.Read8(kRegTimer1Monitor, &middle) ||
        !rtc.Read8(kRegTimer2Monitor, &high)) {
        return false;
    }
    *count = low | (uint32_t{middle} << 8) | (uint32_t{high} << 16);
    return true;
}

}  // namespace kalendo

// The RTC's countdown timer as the Timer page drives it. Each operation takes the RTC's port and
// says whether every transfer of it reached the chip.
#pragma once

#include <cstdint>

#include "bridge/register_port.h"

namespace kalendo {

// The counter's registers: 0x0B (bits 7-0), 0x0C (bits 15-8; on the TQ5100 only bits 11-8, in its
// low nibble, the upper nibble written 0) and on the TQ5200 0x1F (bits 23-16).
struct TimerCounterBytes {
    uint8_t counter0;
    uint8_t counter1;
    uint8_t preset2;
};
TimerCounterBytes TimerCounterToRegisters(uint32_t value, bool tq5200);
uint32_t TimerCounterFromRegisters(const TimerCounterBytes& bytes, bool tq5200);

// The flag bits a timer acknowledge clears: the bits TIMER_INT_CLEAR_MASK takes out (4, 2, 1, 0).
constexpr uint8_t kTimerFlags = 0x17;

// 0x0B, 0x0C and on the TQ5200 0x1F, in that order; every register is tried.
bool WriteTimerCounter(RegisterPort& rtc, uint32_t value, bool tq5200);
bool ReadTimerCounter(RegisterPort& rtc, bool tq5200, uint32_t* value);
// EXT_TIMER_ENABLE set / cleared (with bit 7, TIMER_STOP_MASK).
bool StartTimer(RegisterPort& rtc);
bool StopTimer(RegisterPort& rtc);
// Clears the timer flags (a pending one would end the next run at once), then sets the timer
// interrupt enable.
bool EnableTimerInterrupt(RegisterPort& rtc);
// TIMER_INT_CLEAR_MASK into the control register, then the timer flags cleared; both tried.
bool DisableTimerInterrupt(RegisterPort& rtc);
bool AcknowledgeTimer(RegisterPort& rtc);
bool SetTimerSourceClock(RegisterPort& rtc, uint8_t clock);
bool ReadTimerSourceClock(RegisterPort& rtc, uint8_t* clock);
// False when the flag could not be read: an unread flag is no trigger.
bool TimerFlagRaised(RegisterPort& rtc, bool* raised);
// TQ5200: the running count from the three monitor registers, read low to high.
bool ReadTimerCountdown(RegisterPort& rtc, uint32_t* count);

}  // namespace kalendo

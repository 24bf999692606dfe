// What the Timer page tells the user about the countdown: the interval it will run for a counter
// value and source clock, and the counter's width per RTC model with its register layout.
#pragma once

#include <cstdint>
#include <string>

namespace kalendo {

// The text for the trigger line. Returns false when the line is to stay as it is (no source
// clock chosen). The texts are Windows-1252: the micro sign is the byte 0xB5.
bool TimerTriggerText(bool connected, uint32_t counter, int sourceClock, std::string* text);

// The counter's range and edit-box width: 12 bits on the TQ5100, 24 bits on the TQ5200.
uint32_t TimerCounterMax(bool tq5200);
int TimerCounterDigits(bool tq5200);

// The counter's registers: 0x0B (bits 7-0), 0x0C (bits 15-8; on the TQ5100 only bits 11-8, in its
// low nibble, the upper nibble written 0) and on the TQ5200 0x1F (bits 23-16).
struct TimerCounterBytes {
    uint8_t counter0;
    uint8_t counter1;
    uint8_t preset2;
};
TimerCounterBytes TimerCounterToRegisters(uint32_t value, bool tq5200);
uint32_t TimerCounterFromRegisters(const TimerCounterBytes& bytes, bool tq5200);

}  // namespace kalendo

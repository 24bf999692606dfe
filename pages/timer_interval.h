// What the Timer page tells the user about the countdown: the interval it will run for a counter
// value and source clock, and the counter's width per RTC model with its register layout.
#pragma once

#include <cstdint>
#include <string>

#include "rtc/timer_operations.h"

namespace kalendo {

// The text for the trigger line. Returns false when the line is to stay as it is (no source
// clock chosen). The texts are Windows-1252: the micro sign is the byte 0xB5.
bool TimerTriggerText(bool connected, uint32_t counter, int sourceClock, std::string* text);

// The counter's range and edit-box width: 12 bits on the TQ5100, 24 bits on the TQ5200.
uint32_t TimerCounterMax(bool tq5200);
int TimerCounterDigits(bool tq5200);


}  // namespace kalendo

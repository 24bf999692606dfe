#include "pages/timer_interval.h"

#include <cstdio>

namespace kalendo {

namespace {

// One counter tick per source clock, as the data sheet rounds them.
constexpr double kTick4096HzMicros = 244.14;
constexpr double kTick64HzMillis = 15.625;

std::string Format(const char* format, double value) {
    char text[96] = {};
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool TimerTriggerText(bool connected, uint32_t counter, int sourceClock, std::string* text) {
    if (!connected) {
        *text = "RTC is not connected, Timer will not trigger";
        return true;
    }
    if (counter == 0) {
        *text = "Counter is 0, Timer will not trigger";
        return true;
    }
    switch (sourceClock) {
        case 0: {
            const double micros = counter * kTick4096HzMicros;
            *text = counter < 5 ? Format("Counter will trigger after %0.2f \xB5s", micros)
                                : Format("Counter will trigger after %0.3f ms", micros / 1000);
            return true;
        }
        case 1: {
            const double millis = counter * kTick64HzMillis;
            *text = counter < 64
                        ? Format("Counter will trigger after %0.3f ms", millis)
                        : Format("Counter will trigger after %0.2f seconds", millis / 1000);
            return true;
        }
        case 2:
            *text = "Counter will trigger after " + std::to_string(counter) + " seconds";
            return true;
        case 3:
            *text = "Counter will trigger after " + std::to_string(counter) + " minutes";
            return true;
        default:
            return false;
    }
}

uint32_t TimerCounterMax(bool tq5200) {
    return tq5200 ? 0xFFFFFFu : 0xFFFu;
}

int TimerCounterDigits(bool tq5200) {
    return tq5200 ? 8 : 4;
}

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

}  // namespace kalendo

#include "pages/timer_interval.h"

#include <cstdio>

#include "rtc/rtc_registers.h"

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
    return tq5200 ? kTq5200TimerCounterMax : kTq5100TimerCounterMax;
}

int TimerCounterDigits(bool tq5200) {
    return tq5200 ? 8 : 4;
}

}  // namespace kalendo

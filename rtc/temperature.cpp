#include "rtc/temperature.h"

namespace kalendo {

float TemperatureCelsius(uint8_t raw) {
    constexpr float kOffset = 187.19f;
    constexpr float kScale = 3.218f;
    const float value = (2.0f * static_cast<float>(raw) - kOffset) / kScale;
    return value;
}

}  // namespace kalendo

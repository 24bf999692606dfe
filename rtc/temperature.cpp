#include "rtc/temperature.h"

#include "rtc/text_format.h"

namespace kalendo {

float TemperatureCelsius(uint8_t raw) {
    constexpr float kOffset = 187.19f;
    constexpr float kScale = 3.218f;
    const float value = (2.0f * static_cast<float>(raw) - kOffset) / kScale;
    return value;
}

std::string FormatTemperatureText(float celsius) {
    return FormatText("%2.1f", static_cast<double>(celsius));
}

}  // namespace kalendo

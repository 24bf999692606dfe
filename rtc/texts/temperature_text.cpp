#include "rtc/texts/temperature_text.h"

#include "rtc/texts/text_format.h"

namespace kalendo {

std::string FormatTemperatureText(float celsius) {
    return FormatText("%2.1f", static_cast<double>(celsius));
}

}  // namespace kalendo

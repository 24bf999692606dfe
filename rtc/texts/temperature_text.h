// The temperature as the main window shows it.
#pragma once

#include <string>

namespace kalendo {

// "%2.1f" of the temperature (TemperatureCelsius of the raw code).
std::string FormatTemperatureText(float celsius);

}  // namespace kalendo

// The ISL28023 power monitor's own errors, from its public data sheet (Renesas FN8389, the
// features list): voltage gain error 0.05 %, current gain error 0.05 %, internal temperature
// sensor +-1.0 C. The list gives no offset figure: one resolution step stands in for it.
#pragma once

#include <cmath>

#include "power/power_monitor_operations.h"

namespace kalendo::check {

constexpr double kMonitorGainError = 0.0005;
constexpr double kMonitorCelsiusError = 1.0;

// The monitor's error limit at a reading: its gain error and the offset's stand-in.
inline double MonitorLimit(MeasurementChannel channel, double value) {
    return kMonitorGainError * std::fabs(value) + MeasurementResolution(channel);
}

}  // namespace kalendo::check

// The PC's clocks as kalendo-cli and the window read them: the precise monotonic counter for time stamps
// and the local calendar time the RTC is set from and compared with.
#pragma once

#include "check/drift_measurement.h"
#include "power/local_time.h"

namespace kalendo::check {

PcClocks SystemPcClocks();
LocalTime SystemLocalTime();

}  // namespace kalendo::check

// The PC's clocks as kalendo-cli reads them: the precise monotonic counter for time stamps
// and the local calendar time the RTC is set from and compared with.
#pragma once

#include "cli/drift_measurement.h"
#include "power/data_log.h"

namespace kalendo::cli {

PcClocks SystemPcClocks();
LocalTime SystemLocalTime();

}  // namespace kalendo::cli

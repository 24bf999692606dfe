// The drift run lives with the data-sheet check's measurements, which the window will share;
// kalendo-cli's names for it.
#pragma once

#include "cli/drift_fit.h"
#include "rtc/check/drift_measurement.h"

namespace kalendo::cli {

using check::DriftBoard;
using check::DriftProgress;
using check::DriftResult;
using check::DriftSettings;
using check::MeasureDrift;
using check::PcClocks;
using check::TimeOfDayDifference;

}  // namespace kalendo::cli

// The drift fit lives with the data-sheet check's measurements; kalendo-cli's names for it.
#pragma once

#include "rtc/check/drift_fit.h"

namespace kalendo::cli {

using check::DriftFit;
using check::FitDrift;
using check::SecondsPerMonth;
using check::SecondsTransition;

}  // namespace kalendo::cli

// The process-wide connection flags and device handles that the main window and every page read
// before bus work. User-interface thread only.
#pragma once

#include <cstdint>

#include "bridge/bridge_state.h"

namespace kalendo {

extern bool BoardConnected;              // the user has connected and the board answered
extern bool FoutEnabled;                 // the RTC's FOUT output is switched on
extern bool FoutIndicatorStale;          // the FOUT lamp must be redrawn at the next status tick
extern bool BatteryInUse;                // the power measurements say the RTC runs from its battery
extern int32_t Tq5200Selected;           // 1: the chosen model is the TQ5200
extern DeviceHandle BoardHandle;         // device 1 of board 0, whose devices are searched
extern DeviceHandle PowerMonitorHandle;  // the ISL28023
extern DeviceHandle RtcHandle;           // the RTC

}  // namespace kalendo

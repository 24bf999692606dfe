#include "app/connection_state.h"

namespace kalendo {

bool BoardConnected = false;
bool FoutEnabled = false;
bool FoutIndicatorStale = false;
bool BatteryInUse = false;
int32_t Tq5200Selected = 0;
DeviceHandle BoardHandle = 0;
DeviceHandle PowerMonitorHandle = 0;
DeviceHandle RtcHandle = 0;

}  // namespace kalendo

// Binding the bridge library, the cross-process bus mutex, and finding the boards.
#pragma once

#include "bridge/bus_timeouts.h"

namespace kalendo {

int ConnectBridge();  // 1 when initialised (even with no board), 0 when the library is unbound
void DisconnectBridge();
int BindBridgeLibrary();  // 0 when bound, 1 when not
void* CreateBusMutex();

}  // namespace kalendo

// Binding the bridge library, the cross-process bus mutex, and finding the boards.
#pragma once

#include "bridge/bus_timeouts.h"

namespace kalendo {

// The bridge vendor's library as the loader knows it on each system.
#if defined(_WIN32)
constexpr char kBridgeLibraryName[] = "ftd2xx.dll";
#else
constexpr char kBridgeLibraryName[] = "libftd2xx.so";
#endif

int ConnectBridge();  // 1 when initialised (even with no board), 0 when the library is unbound
void DisconnectBridge();
int BindBridgeLibrary();  // 0 when bound, 1 when not
void* CreateBusMutex();

}  // namespace kalendo

// Binding the bridge library, the cross-process bus mutex, and finding the boards.
#pragma once

namespace kalendo {

int ConnectBridge();  // 1 when initialised (even with no board), 0 when the library is unbound
void DisconnectBridge();
int BindBridgeLibrary();  // 0 when bound, 1 when not
void* CreateBusMutex();

// Longest a register operation or discovery waits for another process to release the bus:
// the library's own read and write time-out.
constexpr unsigned kBusMutexTimeoutMs = 5000;

}  // namespace kalendo

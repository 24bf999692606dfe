#include "bridge/bus_lock.h"

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"

namespace kalendo {

BusLock::BusLock() {
    void* mutex = Bridge().mutexHandle;
    if (!mutex) return;
    switch (Os().WaitMutex(mutex, kBusMutexTimeoutMs)) {
        case MutexWait::Acquired:
        case MutexWait::Abandoned:  // its owner died; the bus itself is fine
            held_ = mutex;
            break;
        case MutexWait::TimedOut:
            usable_ = false;
            break;
        case MutexWait::Failed:
            break;  // as without a mutex
    }
}

BusLock::~BusLock() {
    if (held_) Os().ReleaseMutex(held_);
}

}  // namespace kalendo

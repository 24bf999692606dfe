#include "bridge/bus_lock.h"

#include "bridge/bridge_state.h"
#include "bridge/bus_action.h"

namespace kalendo {

namespace {
// The mutex a BusLock of this thread holds outside any action: a transfer's own lock inside the
// lock taken for its device selection finds it held instead of waiting again.
thread_local void* transferHeldMutex = nullptr;
}  // namespace

void ForgetBoardSilence() {
    Bridge().boardSilent = false;
}

MutexWait WaitForBusMutex(void* mutex) {
    const uint64_t began = Os().NowMs();
    const MutexWait wait = Os().WaitMutex(mutex, BusWaitAllowanceMs());
    const uint64_t waited = Os().NowMs() - began;
    NoteBusWait(waited > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(waited),
                wait == MutexWait::TimedOut);
    return wait;
}

BusLock::BusLock(WhenStopped stopped) {
    // A board that did not answer within the library's time-out is not waited for again until
    // the bridge is closed: the next action fails at once instead of freezing once more.
    const bool silent = Bridge().boardSilent || BusActionStopped();
    if (BusBusyInAction() || (stopped == WhenStopped::Skip && silent)) {
        usable_ = false;
        return;
    }
    void* mutex = Bridge().mutexHandle;
    if (!mutex || ActionHeldMutex() || transferHeldMutex == mutex) return;
    switch (WaitForBusMutex(mutex)) {
        case MutexWait::Acquired:
        case MutexWait::Abandoned:  // its owner died; the bus itself is fine
            if (BusActionActive()) {
                KeepMutexForAction(mutex);  // held to the action's end
            } else {
                held_ = mutex;
                transferHeldMutex = mutex;
            }
            break;
        case MutexWait::TimedOut:
            usable_ = false;
            break;
        case MutexWait::Failed:
            break;  // as without a mutex
    }
}

BusLock::~BusLock() {
    if (held_) {
        transferHeldMutex = nullptr;
        Os().ReleaseMutex(held_);
    }
}

}  // namespace kalendo

#include "bridge/bus_lock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "bridge/bridge_state.h"
#include "bridge/bus_action.h"

namespace kalendo {

namespace {

// The process's own lock. The named mutex alone cannot keep this process's threads apart: where
// it could not be made (another session's elevated copy made it, say) or a wait on it failed,
// the threads' selections and transfers would interleave.
class ProcessBusLock {
  public:
    bool Acquire(uint32_t timeoutMs) {
        if (!mutex_.try_lock_for(std::chrono::milliseconds(timeoutMs))) return false;
        owner_.store(std::this_thread::get_id());
        return true;
    }
    bool TryAcquire() {
        if (!mutex_.try_lock()) return false;
        owner_.store(std::this_thread::get_id());
        return true;
    }
    void Release() {
        owner_.store(std::thread::id());
        mutex_.unlock();
    }
    bool HeldByThisThread() const { return owner_.load() == std::this_thread::get_id(); }

  private:
    std::timed_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
};

ProcessBusLock& ProcessLock() {
    static ProcessBusLock lock;
    return lock;
}

// The bus mutex this thread holds together with the process's lock (null: none, or none made).
thread_local void* heldBusMutex = nullptr;

uint32_t MsSince(uint64_t began) {
    const uint64_t waited = Os().NowMs() - began;
    return waited > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(waited);
}

// Both locks, the process's first, within what the action's budget has left. False, with the
// action marked busy, when either was not had.
bool TakeBus() {
    const uint64_t began = Os().NowMs();
    if (!ProcessLock().Acquire(BusWaitAllowanceMs())) {
        NoteBusWait(MsSince(began), true);
        return false;
    }
    NoteBusWait(MsSince(began), false);
    void* mutex = Bridge().mutexHandle;
    if (!mutex) return true;
    switch (WaitForBusMutex(mutex)) {
        case MutexWait::Acquired:
        case MutexWait::Abandoned:  // its owner died; the bus itself is fine
            heldBusMutex = mutex;
            return true;
        case MutexWait::Failed:
            // Another program may be on the bus and we cannot know: as good as busy.
            NoteBusWait(0, true);
            break;
        case MutexWait::TimedOut:
            break;
    }
    ProcessLock().Release();
    return false;
}

}  // namespace

bool ThisThreadHoldsBus() {
    return ProcessLock().HeldByThisThread();
}

void ReleaseBus() {
    if (heldBusMutex) {
        Os().ReleaseMutex(heldBusMutex);
        heldBusMutex = nullptr;
    }
    if (ProcessLock().HeldByThisThread()) ProcessLock().Release();
}

void SetBusStatusIfFree(int32_t code) {
    if (ThisThreadHoldsBus()) {
        Bridge().BusStatus = code;
    } else if (ProcessLock().TryAcquire()) {
        Bridge().BusStatus = code;
        ProcessLock().Release();
    }
}

MutexWait WaitForBusMutex(void* mutex) {
    const uint64_t began = Os().NowMs();
    const MutexWait wait = Os().WaitMutex(mutex, BusWaitAllowanceMs());
    NoteBusWait(MsSince(began), wait == MutexWait::TimedOut);
    return wait;
}

BusLock::BusLock(WhenStopped stopped) {
    // A board that did not answer in time is not waited for again by this thread until the
    // bridge is closed: the next action fails at once instead of freezing once more.
    const bool silent = ThisThreadFoundBoardSilent() || BusActionStopped();
    if (BusBusyInAction() || (stopped == WhenStopped::Skip && silent)) {
        usable_ = false;
        return;
    }
    if (ThisThreadHoldsBus()) return;  // for the action, or for the transfer around this one
    if (!TakeBus()) {
        usable_ = false;
        return;
    }
    if (BusActionActive()) {
        KeepBusForAction();  // held to the action's end
    } else {
        held_ = true;
    }
}

BusLock::~BusLock() {
    if (held_) ReleaseBus();
}

}  // namespace kalendo

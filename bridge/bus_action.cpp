#include "bridge/bus_action.h"

#include "bridge/os_seam.h"

namespace kalendo {

struct BusShareAccess {
    using Share = BusAction::Share;
};

namespace {

using Share = BusShareAccess::Share;

// Per thread: a worker thread's measurement has its own actions; the bus mutex, held for a
// whole action, keeps the threads' transactions apart.
thread_local Share current;
thread_local BusAction* innermost = nullptr;
// The bus mutex this thread holds for an action, whichever share took it.
thread_local void* threadHeldMutex = nullptr;

}  // namespace

BusAction::BusAction(uint32_t budgetMs) : outer_(innermost) {
    innermost = this;
    if (current.active && budgetMs >= current.budgetMs) return;
    saved_ = current;
    current = Share{};
    current.active = true;
    current.budgetMs = budgetMs;
    ownShare_ = true;
}

BusAction::~BusAction() {
    if (ownShare_) {
        if (current.heldMutex) {
            Os().ReleaseMutex(current.heldMutex);
            threadHeldMutex = nullptr;
        }
        current = saved_;
    }
    innermost = outer_;
}

bool BusAction::BusBusy() const {
    return current.busBusy;
}

bool BusAction::BoardSilent() const {
    return current.boardSilent;
}

uint32_t BusWaitAllowanceMs() {
    if (!current.active) return kBusMutexTimeoutMs;
    const uint32_t left =
        current.waitedMs < current.budgetMs ? current.budgetMs - current.waitedMs : 0;
    return left < kBusMutexTimeoutMs ? left : kBusMutexTimeoutMs;
}

void NoteBusWait(uint32_t waitedMs, bool timedOut) {
    if (!current.active) return;
    current.waitedMs += waitedMs;
    if (timedOut) current.busBusy = true;
}

void NoteBoardSilent() {
    if (current.active) current.boardSilent = true;
}

void NoteBusFailure(int32_t code) {
    if (code == 0) return;
    // Up to the action whose share it is: a tick in a modal loop fails on its own account.
    for (BusAction* a = innermost; a; a = a->outer_) {
        if (a->firstFailure_ == 0) a->firstFailure_ = code;
        if (a->ownShare_) break;
    }
}

bool BusActionActive() {
    return current.active;
}

bool BusActionStopped() {
    return current.active && (current.busBusy || current.boardSilent);
}

bool BusBusyInAction() {
    return current.active && current.busBusy;
}

void* ActionHeldMutex() {
    // A share of its own inside an outer action finds the bus held by the outer one.
    return current.active ? threadHeldMutex : nullptr;
}

void KeepMutexForAction(void* mutex) {
    if (!current.active) return;
    current.heldMutex = mutex;
    threadHeldMutex = mutex;
}

}  // namespace kalendo

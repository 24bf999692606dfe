#include "bridge/bus_action.h"

#include <atomic>

#include "bridge/bus_lock.h"

namespace kalendo {

struct BusShareAccess {
    using Share = BusAction::Share;
};

namespace {

using Share = BusShareAccess::Share;

// Per thread: a worker thread's measurement has its own actions; the bus locks, held for a
// whole action, keep the threads' transactions apart.
thread_local Share current;
thread_local BusAction* innermost = nullptr;
// Counts the closings of the bridge: a thread's "board silent" holds for the generation it was
// set in, so closing the bridge forgets every thread's at once.
std::atomic<uint32_t> bridgeGeneration{1};
// The generation in which this thread found the board silent; 0: it has not.
thread_local uint32_t silentInGeneration = 0;

}  // namespace

BusAction::BusAction(uint32_t budgetMs) : outer_(innermost) {
    innermost = this;
    if (current.active && budgetMs >= current.budgetMs) return;
    saved_ = current;
    current = Share{};
    current.active = true;
    current.budgetMs = budgetMs;
    // A share of its own inside an outer action that holds the bus finds it held: the thread
    // owns the locks until the outer one ends.
    current.holdsBus = saved_.active && saved_.holdsBus;
    ownShare_ = true;
}

BusAction::~BusAction() {
    if (ownShare_) {
        // Let go only by the share that took the bus; one that found it held leaves it held.
        if (current.holdsBus && !(saved_.active && saved_.holdsBus)) ReleaseBus();
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

void LatchBoardSilence() {
    NoteBoardSilent();
    silentInGeneration = bridgeGeneration.load();
}

bool ThisThreadFoundBoardSilent() {
    return silentInGeneration != 0 && silentInGeneration == bridgeGeneration.load();
}

void ForgetBoardSilence() {
    silentInGeneration = 0;
}

void ForgetEveryThreadsBoardSilence() {
    ++bridgeGeneration;
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

bool ActionHoldsBus() {
    return current.active && current.holdsBus;
}

void KeepBusForAction() {
    if (current.active) current.holdsBus = true;
}

}  // namespace kalendo

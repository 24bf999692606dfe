#include "tests/bridge/fake_os.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "bridge/board_discovery.h"
#include "sim/library/ft_entry_points.h"
#include "sim/library/simulated_library.h"

namespace kalendo::testing {

namespace {
int libraryToken;
}

void* FakeOs::OpenLibrary(const char* name) {
    if (!libraryPresent || std::strcmp(name, kBridgeLibraryName) != 0) return nullptr;
    ++librariesOpen;
    return &libraryToken;
}

void* FakeOs::FindSymbol(void* library, const char* name) {
    if (library != &libraryToken || missingEntryPoints.count(name)) return nullptr;
    return sim::FindEntryPoint(name);
}

void FakeOs::SleepMs(uint32_t ms) {
    sleptMs += ms;
    sim::BoardClock& clock = sim::Simulator().Clock();
    if (clock.IsVirtual()) {
        sim::Simulator().WithLock([&] { clock.AdvanceMs(ms); });
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

uint64_t FakeOs::NowMs() {
    sim::BoardClock& clock = sim::Simulator().Clock();
    int64_t virtualPs = -1;
    sim::Simulator().WithLock([&] {
        if (clock.IsVirtual()) virtualPs = clock.NowPs();
    });
    if (virtualPs < 0) return sleptMs + waitedMs;
    return static_cast<uint64_t>(virtualPs / 1'000'000'000) + waitedMs;
}

void FakeOs::CloseLibrary(void* library) {
    if (library == &libraryToken) --librariesOpen;
}

void* FakeOs::CreateNamedMutex(const char* name) {
    mutexNames.push_back(name);
    if (mutexCreationFails) return nullptr;
    ++mutexesOpen;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(++mutexToken_));
}

MutexWait FakeOs::WaitMutex(void*, uint32_t timeoutMs) {
    waitTimeouts.push_back(timeoutMs);
    if (waitAnswers.empty() && acquireAfterMs > 0) {
        const bool gets = timeoutMs >= acquireAfterMs;
        waitedMs += gets ? acquireAfterMs : timeoutMs;
        return gets ? MutexWait::Acquired : MutexWait::TimedOut;
    }
    if (waitAnswers.empty()) return MutexWait::Acquired;
    MutexWait answer = waitAnswers.front();
    waitAnswers.erase(waitAnswers.begin());
    return answer;
}

void FakeOs::ReleaseMutex(void*) {
    ++releases;
}

void FakeOs::CloseMutex(void*) {
    --mutexesOpen;
}

bool FakeOs::GetEnv(const char* name, char* value, uint32_t capacity) {
    auto it = environment.find(name);
    if (it == environment.end() || capacity == 0) return false;
    std::strncpy(value, it->second.c_str(), capacity - 1);
    value[capacity - 1] = '\0';
    return true;
}

}  // namespace kalendo::testing

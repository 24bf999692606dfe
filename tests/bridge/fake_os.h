// Kernel services for tests: hands out the simulated library's entry points by name, keeps the
// bus mutex in memory and records what the bridge layer asked for.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bridge/os_seam.h"

namespace kalendo::testing {

class FakeOs final : public OsSeam {
  public:
    // Library.
    bool libraryPresent = true;
    std::set<std::string> missingEntryPoints;
    int librariesOpen = 0;
    // Mutex: none can be made (another session's elevated copy made one of that name).
    bool mutexCreationFails = false;
    // Mutex: what each wait answers, in order (Acquired once the list runs out).
    std::vector<MutexWait> waitAnswers;
    // When set and the list is empty: the holder lets go this long after each wait begins, so
    // a wait that long or longer gets the mutex and a shorter one times out (time passes).
    uint32_t acquireAfterMs = 0;
    std::vector<std::string> mutexNames;
    std::vector<uint32_t> waitTimeouts;
    int mutexesOpen = 0;
    int releases = 0;
    // Environment and time. The clock is read by a thread before it takes the bus, while the
    // thread holding the bus may be sleeping: atomic.
    std::map<std::string, std::string> environment;
    std::atomic<uint64_t> sleptMs{0};

    void* OpenLibrary(const char* name) override;
    void* FindSymbol(void* library, const char* name) override;
    void CloseLibrary(void* library) override;
    void* CreateNamedMutex(const char* name) override;
    MutexWait WaitMutex(void* mutex, uint32_t timeoutMs) override;
    void ReleaseMutex(void* mutex) override;
    void CloseMutex(void* mutex) override;
    // The host's sleep passes on the simulated board's clock too: the virtual clock moves on,
    // on the real clock the test really sleeps.
    void SleepMs(uint32_t ms) override;
    // The time the bridge layer has slept or waited, so bounds on waits are exact; on the
    // simulated board's virtual clock, that clock (which the host's sleeps and the library's
    // waits for answers move on) plus the mutex waits.
    uint64_t NowMs() override;
    std::atomic<uint64_t> waitedMs{0};
    bool GetEnv(const char* name, char* value, uint32_t capacity) override;
    // The kernel's word on the system clock: clockErrorNow's answer where set (a test's clock
    // decides), else one answer per query in order, the last repeated; none: the system does
    // not say.
    std::function<SystemClockError()> clockErrorNow;
    std::vector<SystemClockError> clockErrors;
    int clockQueries = 0;
    SystemClockError QuerySystemClockError() override {
        const size_t n = static_cast<size_t>(clockQueries++);
        if (clockErrorNow) return clockErrorNow();
        if (clockErrors.empty()) return {};
        return clockErrors[n < clockErrors.size() ? n : clockErrors.size() - 1];
    }

  private:
    int mutexToken_ = 0;
};

}  // namespace kalendo::testing

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#if defined(__linux__)
#include <sys/timex.h>
#endif

#include "bridge/lock_file_mutex.h"
#include "bridge/os_seam.h"

namespace kalendo {

namespace {

class PosixOsSeam final : public OsSeam {
  public:
    // By name, the loader searches LD_LIBRARY_PATH, then the system's folders (ldconfig's
    // cache): there the vendor's installation puts libftd2xx.so. A library refused for a
    // missing entry point stays mapped after its close (RTLD_NODELETE): unmapping one that may
    // have started threads at its load is unsafe, and its objects stay reachable.
    void* OpenLibrary(const char* name) override {
        return ::dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    }
    void* FindSymbol(void* library, const char* name) override { return ::dlsym(library, name); }
    void CloseLibrary(void* library) override { ::dlclose(library); }
    void* CreateNamedMutex(const char* name) override {
        char folder[512] = {};
        GetEnv("KALENDO_LOCK_DIR", folder, sizeof(folder));
        return OpenLockFileMutex(LockFileFolder(folder), name);
    }
    MutexWait WaitMutex(void* mutex, uint32_t timeoutMs) override {
        return WaitLockFileMutex(static_cast<LockFileMutex*>(mutex), timeoutMs);
    }
    void ReleaseMutex(void* mutex) override {
        ReleaseLockFileMutex(static_cast<LockFileMutex*>(mutex));
    }
    void CloseMutex(void* mutex) override { CloseLockFileMutex(static_cast<LockFileMutex*>(mutex)); }
    void SleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    bool GetEnv(const char* name, char* value, uint32_t capacity) override {
        const char* v = std::getenv(name);
        if (!v || capacity == 0) return false;
        std::strncpy(value, v, capacity - 1);
        value[capacity - 1] = '\0';
        return true;
    }
    SystemClockError QuerySystemClockError() override {
        SystemClockError error;
#if defined(__linux__)
        struct timex tx {};  // modes 0: only reads, no privilege needed
        const int state = ::adjtimex(&tx);
        if (state == -1) return error;
        error.known = true;
        error.synchronised = state != TIME_ERROR && !(tx.status & STA_UNSYNC);
        error.maxErrorSeconds = static_cast<double>(tx.maxerror) * 1e-6;
        error.estimatedErrorSeconds = static_cast<double>(tx.esterror) * 1e-6;
#endif
        return error;
    }
};

}  // namespace

OsSeam& DefaultOsSeam() {
    static PosixOsSeam seam;
    return seam;
}

}  // namespace kalendo

#include "bridge/os_seam.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kalendo {

OsSeam& DefaultOsSeam();  // os_seam_win32.cpp in the Windows build, below otherwise

namespace {
OsSeam* installed = nullptr;
}

uint64_t OsSeam::NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

OsSeam& Os() {
    return installed ? *installed : DefaultOsSeam();
}

void InstallOsSeam(OsSeam* seam) {
    installed = seam;
}

#if !defined(_WIN32)
namespace {

// A host without the bridge library: nothing loads and there are no named mutexes, so the
// bridge layer stays unbound unless a test installs a seam of its own.
class HostOsSeam final : public OsSeam {
  public:
    void* OpenLibrary(const char*) override { return nullptr; }
    void* FindSymbol(void*, const char*) override { return nullptr; }
    void CloseLibrary(void*) override {}
    void* CreateNamedMutex(const char*) override { return nullptr; }
    MutexWait WaitMutex(void*, uint32_t) override { return MutexWait::Failed; }
    void ReleaseMutex(void*) override {}
    void CloseMutex(void*) override {}
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
};

}  // namespace

OsSeam& DefaultOsSeam() {
    static HostOsSeam seam;
    return seam;
}
#endif

}  // namespace kalendo

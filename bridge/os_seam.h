// The few kernel services the bridge layer needs. The Windows program installs the Win32
// implementation; native tests install their own, which hands out the simulated library's
// functions by name and records what was asked.
#pragma once

#include <cstdint>

namespace kalendo {

enum class MutexWait {
    Acquired,   // owned now
    Abandoned,  // the previous owner exited without releasing: owned now all the same
    TimedOut,   // another holder kept it for the whole time-out
    Failed,     // the wait itself failed
};

// What the kernel says of the system clock's error against true time, as an NTP daemon keeps
// it. Known only where the system offers it (Linux: adjtimex); unsynchronised where it has no
// synchronised time source, and then maxErrorSeconds says nothing.
struct SystemClockError {
    bool known = false;
    bool synchronised = false;
    double maxErrorSeconds = 0;        // a bound the daemon vouches for
    double estimatedErrorSeconds = 0;  // its estimate, for information
};

class OsSeam {
  public:
    virtual ~OsSeam() = default;
    virtual void* OpenLibrary(const char* name) = 0;                // null when it cannot be loaded
    virtual void* FindSymbol(void* library, const char* name) = 0;  // null when not exported
    virtual void CloseLibrary(void* library) = 0;
    virtual void* CreateNamedMutex(const char* name) = 0;  // opens an existing one; null on failure
    virtual MutexWait WaitMutex(void* mutex, uint32_t timeoutMs) = 0;
    virtual void ReleaseMutex(void* mutex) = 0;
    virtual void CloseMutex(void* mutex) = 0;
    virtual void SleepMs(uint32_t ms) = 0;
    // Milliseconds on a monotonic clock, for bounds on waits; the default is the host's.
    virtual uint64_t NowMs();
    // Value of an environment variable; false when it is not set.
    virtual bool GetEnv(const char* name, char* value, uint32_t capacity) = 0;
    // The system clock's error as the kernel keeps it; the default knows nothing.
    virtual SystemClockError QuerySystemClockError() { return {}; }
};

// The seam in use. Until one is installed, a default applies: Win32 in the Windows build, POSIX
// (dlopen, a lock file for the bus mutex) in a native one.
OsSeam& Os();
void InstallOsSeam(OsSeam* seam);  // null restores the default

}  // namespace kalendo

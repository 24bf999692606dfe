#include "bridge/os_seam.h"

#include <windows.h>

namespace kalendo {

namespace {

class Win32OsSeam final : public OsSeam {
  public:
    void* OpenLibrary(const char* name) override {
        return reinterpret_cast<void*>(::LoadLibraryA(name));
    }
    void* FindSymbol(void* library, const char* name) override {
        return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
    }
    void CloseLibrary(void* library) override { ::FreeLibrary(static_cast<HMODULE>(library)); }
    void* CreateNamedMutex(const char* name) override {
        // The name is plain ASCII, so widening byte by byte is exact.
        wchar_t wide[64];
        size_t i = 0;
        for (; name[i] && i + 1 < sizeof(wide) / sizeof(wide[0]); ++i) {
            wide[i] = static_cast<unsigned char>(name[i]);
        }
        wide[i] = L'\0';
        return ::CreateMutexW(nullptr, FALSE, wide);
    }
    MutexWait WaitMutex(void* mutex, uint32_t timeoutMs) override {
        switch (::WaitForSingleObject(static_cast<HANDLE>(mutex), timeoutMs)) {
            case WAIT_OBJECT_0:
                return MutexWait::Acquired;
            case WAIT_ABANDONED:
                return MutexWait::Abandoned;
            case WAIT_TIMEOUT:
                return MutexWait::TimedOut;
            default:
                return MutexWait::Failed;
        }
    }
    void ReleaseMutex(void* mutex) override { ::ReleaseMutex(static_cast<HANDLE>(mutex)); }
    void CloseMutex(void* mutex) override { ::CloseHandle(static_cast<HANDLE>(mutex)); }
    void SleepMs(uint32_t ms) override { ::Sleep(ms); }
    bool GetEnv(const char* name, char* value, uint32_t capacity) override {
        if (capacity == 0) return false;
        DWORD n = ::GetEnvironmentVariableA(name, value, capacity);
        if (n == 0) {
            // Set but empty reads as length 0 too; tell the two apart by the error code.
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value[0] = '\0';
            return true;
        }
        if (n >= capacity) {
            // Too long for the buffer: only the first characters matter to the caller.
            char big[1024];
            DWORD m = ::GetEnvironmentVariableA(name, big, sizeof(big));
            if (m == 0 || m >= sizeof(big)) return false;
            lstrcpynA(value, big, static_cast<int>(capacity));
        }
        return true;
    }
};

}  // namespace

OsSeam& DefaultOsSeam() {
    static Win32OsSeam seam;
    return seam;
}

}  // namespace kalendo

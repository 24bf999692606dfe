#include "ntp/ntp_clocks.h"

#include <chrono>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace kalendo::ntp {

int64_t SystemUtcNanos() {
#if defined(_WIN32)
    // Looked up at run time: Windows before 8 has only the coarse clock, and a program that
    // imported the precise one would not start there.
    using PreciseFn = void(WINAPI*)(LPFILETIME);
    static const PreciseFn precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME ft{};
    if (precise) {
        precise(&ft);
    } else {
        GetSystemTimeAsFileTime(&ft);
    }
    const uint64_t units = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    constexpr uint64_t kUnixEpochUnits = 116444736000000000ULL;  // 1601 to 1970, 100 ns units
    return static_cast<int64_t>(units - kUnixEpochUnits) * 100;
#else
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
}

NtpClocks SystemNtpClocks() {
    NtpClocks clocks;
    clocks.systemUtcNanos = SystemUtcNanos;
    clocks.monotonicSeconds = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
#if defined(_WIN32)
    clocks.systemResolutionSeconds = 1e-7;
#else
    clocks.systemResolutionSeconds = 1e-9;
#endif
    return clocks;
}

}  // namespace kalendo::ntp

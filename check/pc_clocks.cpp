#include "check/pc_clocks.h"

#include <chrono>
#include <cstdint>
#include <ctime>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace kalendo::check {

namespace {

// Local broken-down time of a system-clock instant, and the instant's fraction of a second.
std::tm LocalParts(std::chrono::system_clock::time_point at, double* fraction) {
    const std::time_t whole = std::chrono::system_clock::to_time_t(at);
    const auto wholePoint = std::chrono::system_clock::from_time_t(whole);
    *fraction = std::chrono::duration<double>(at - wholePoint).count();
    std::tm parts{};
#if defined(_WIN32)
    localtime_s(&parts, &whole);
#else
    localtime_r(&whole, &parts);
#endif
    return parts;
}

// The system clock in seconds from the Unix epoch, at its finest: on Windows the precise
// system time (100 ns units), not the coarse one that moves once a timer tick.
double SystemClockSeconds() {
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
    constexpr uint64_t kUnixEpochUnits = 116444736000000000ULL;  // 1601 to 1970
    return static_cast<double>(static_cast<int64_t>(units - kUnixEpochUnits)) / 1e7;
#else
    // CLOCK_REALTIME in nanoseconds: the clock an NTP daemon keeps on time.
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

// The counter the polls are time-stamped with: precise and never stepped. On Linux the raw
// monotonic clock, which NTP does not slew either, so its rate against the system clock is the
// oscillator's alone; on Windows steady_clock is the performance counter.
double CounterSeconds() {
#if !defined(_WIN32) && defined(CLOCK_MONOTONIC_RAW)
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#else
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

}  // namespace

PcClocks SystemPcClocks() {
    PcClocks clocks;
    clocks.monotonicSeconds = [] { return CounterSeconds(); };
    // From the program's start: a double then keeps a tenth of a microsecond.
    static const double origin = SystemClockSeconds();
    clocks.systemSeconds = [] { return SystemClockSeconds() - origin; };
    clocks.localSecondsOfDay = [] {
        double fraction = 0;
        const std::tm t = LocalParts(std::chrono::system_clock::now(), &fraction);
        return t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec + fraction;
    };
    return clocks;
}

LocalTime SystemLocalTime() {
    double fraction = 0;
    const std::tm t = LocalParts(std::chrono::system_clock::now(), &fraction);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace kalendo::check

// The reference a mark or a timed run (the check's accuracy rows, drift) is put on, read once:
// the system clock assumed within a stated error of true time, its offset measured against an
// NTP server with NTP's strict bound, or the kernel's own maximum error of it (Linux, where a
// daemon keeps it synchronised). A reading belongs to an instant; carrying it to another costs
// a rate of the time between (NTP's 15 ppm, the kernel's 500 ppm) and is refused across a step
// of the system clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "marks/mark_clocks.h"
#include "marks/mark_records.h"
#include "ntp/ntp_burst.h"

namespace kalendo::marks {

struct ReferenceChoice {
    ReferenceSource source = ReferenceSource::Assumed;
    double assumedErrorSeconds = 0.010;  // the system clock's error when assumed
    // Ntp: the server, the network to reach it, the burst.
    ntp::NtpServerName server;
    ntp::UdpNetwork* network = nullptr;
    ntp::NtpBurstSettings burst;
    // When the server (or the kernel) gives no reference: the assumed error instead, and the
    // reading says so. Without it the reading fails.
    bool fallback = false;
    // Kernel: the operating system's maximum error (KernelMaximumClockError unless a test's).
    std::function<bool(double* seconds, std::string* reason)> kernelError;
};

// At system time `utcNanos` (the counter reading `monotonic`) the true time is the system clock
// plus `offset`, within `error`; carrying it to another instant costs `carryRate` of the time
// between.
struct ReferenceReading {
    ReferenceSource source = ReferenceSource::Assumed;
    int64_t utcNanos = 0;
    double monotonic = 0;
    double offset = 0;
    double error = 0;
    double carryRate = 0;
    std::string server;  // Ntp: as given, normalised
};

struct ReferenceTaken {
    bool ok = false;
    // Why there is none (the server's or the kernel's failure, without a prefix).
    std::string error;
    ReferenceReading reading;
    bool fellBack = false;    // the assumed error stands in for a failed server or kernel
    std::string fallenBecause;  // then: why
    ntp::NtpMeasurement ntp;  // the burst, when a server was asked
};

ReferenceTaken ReadReference(const ReferenceChoice& choice, const MarkClocks& clocks,
                             const std::function<void(const std::string&)>& progress);

// How far the system clock may move against the counter between a reading and the instant it is
// carried to: a slewing daemon's 500 ppm and a millisecond for the readings. More is a step, or a
// slew the carry's bound does not cover.
constexpr double kLargestSlew = 500e-6;
constexpr double kCarryReadingSlack = 0.001;

// The reading carried to the instant the system clock read `utcNanos` and the counter
// `monotonic`: its error there (resolution included), or false with why (a step of the system
// clock between).
bool CarryReference(const ReferenceReading& r, int64_t utcNanos, double monotonic,
                    double systemResolutionSeconds, double* error, std::string* why);

}  // namespace kalendo::marks

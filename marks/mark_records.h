// What the mark store holds. A mark is one sharply timed seconds transition of a board's RTC on
// the PC's system clock: the RTC's full date and time at that change, the bracket of system
// clock readings it lay between, and how far the system clock could be from true time then (the
// reference). Two marks days apart give the RTC's mean rate over the days with a strict bound.
// An event records that the program itself wrote the RTC's time (or its write guard): a pair of
// marks across one says nothing about the crystal.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kalendo::marks {

// A board as the store knows it: the bridge's serial number and description identify it (list
// positions change); the RTC model is the chip on it.
struct BoardIdentity {
    std::string serial;
    std::string description;
    std::string model;  // "TQ5100", "TQ5200"

    bool SameBridge(const BoardIdentity& other) const {
        return serial == other.serial && description == other.description;
    }
    bool operator==(const BoardIdentity& other) const {
        return SameBridge(other) && model == other.model;
    }
};

// The RTC's registers as a date and time (2000-2099), as the chip counts: no time zone.
struct RtcDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

enum class ReferenceSource {
    Assumed,  // the system clock taken to be within a stated error of true time
    Ntp,      // the system clock's offset measured against an NTP server, with its bound
    Kernel,   // the operating system's own estimate of its clock's maximum error
};

struct MarkReference {
    ReferenceSource source = ReferenceSource::Assumed;
    std::string server;  // Ntp: the server as given
    // True time = system clock + offsetSeconds, within +- errorSeconds, at the transition. The
    // offset is the NTP server's reading minus the system clock's; 0 for the other sources.
    double offsetSeconds = 0;
    double errorSeconds = 0.010;
};

struct Mark {
    BoardIdentity board;
    // The RTC's seconds changed to `rtc` at a system-clock instant between these two (UTC,
    // nanoseconds from 1970).
    int64_t earlyUtcNanos = 0;
    int64_t lateUtcNanos = 0;
    RtcDateTime rtc;
    int32_t utcOffsetSeconds = 0;  // the PC's local time minus UTC then
    MarkReference reference;
    double batteryVolts = NAN;  // NaN: not measured
    double celsius = NAN;       // the board's temperature (the power monitor's)
    std::string program;        // the program and version that took it
    int sealWritten = -1;       // the byte written to RAM register 0x07 with --seal; -1: none
    int sealFound = -1;         // what 0x07 held before this mark wrote it; -1: not read

    int64_t MiddleUtcNanos() const { return earlyUtcNanos + (lateUtcNanos - earlyUtcNanos) / 2; }
};

struct TimeWriteEvent {
    int64_t utcNanos = 0;  // when (the system clock)
    BoardIdentity board;
    std::string what;  // "kalendo-cli time set 14:30:00", "kalendo-cli reg write 0x0F 0x01"
};

struct MarkStore {
    std::vector<Mark> marks;             // in the order they were taken
    std::vector<TimeWriteEvent> events;  // likewise
};

const char* ReferenceSourceName(ReferenceSource source);  // "assumed", "ntp", "kernel"

// Seconds from 2000-01-01 00:00:00 of the RTC's count; the fields are taken as they stand.
int64_t RtcSecondsSince2000(const RtcDateTime& t);
// The date and time `seconds` after 2000-01-01 00:00:00.
RtcDateTime RtcDateTimeOfSeconds(int64_t secondsSince2000);
// A date and time the RTC can hold (2000-2099, a real day).
bool RtcDateTimeValid(const RtcDateTime& t);
// "2026-12-11 06:53:24"
std::string RtcDateTimeText(const RtcDateTime& t);
// "2026-12-11T05:53:24.123456789Z"
std::string UtcText(int64_t utcNanos);

}  // namespace kalendo::marks

// Taking a mark on the board: about a minute of the RTC's seconds transitions bracketed on the
// performance counter and put on the system clock (the drift run's polls), the sharpest kept;
// the RTC's full date and time read consistently right after a transition; the reference's
// error at that moment (assumed, measured against an NTP server, or the kernel's); the battery
// and the temperature; and, asked for, a seal in RAM register 0x07. Only the seal writes to the
// chip. No console and no window: kalendo-cli and the window both take marks with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bridge/register_port.h"
#include "marks/mark_clocks.h"
#include "marks/mark_records.h"
#include "marks/reference_reading.h"
#include "ntp/ntp_burst.h"

namespace kalendo::marks {

struct TakeMarkSettings {
    BoardIdentity board;
    std::string program;  // "kalendo-cli 2.00 build 13"
    double seconds = 60;  // of transitions to choose from
    ReferenceChoice reference;
    bool seal = false;                         // write a random byte to RAM register 0x07
    std::function<uint8_t()> randomByte;       // for the seal; empty: the system's randomness
    std::function<void(double seconds)> wait;  // sleeps; empty: polls without pause
    std::function<void(const std::string&)> progress;  // may be empty
    std::function<bool()> stopRequested;               // Ctrl-C: the mark is not taken
};

struct TakenMark {
    bool ok = false;
    // Why there is no mark, in the window's words where it has them ("ERROR: ..."); the reference's
    // failure says which server and why.
    std::string error;
    Mark mark;
    // The reference in words: "NTP server pool.ntp.org: +0.731 ms +- 4.211 ms (strict bound under
    // NTP's assumptions: ...)", "system clock assumed within 10 ms of true time".
    std::string referenceText;
    bool fellBack = false;      // the assumed error stands in for a failed server or kernel
    ntp::NtpMeasurement ntp;    // the burst, when a server was asked
    double carriedSeconds = 0;  // from the reference's reading to the transition
    // The chosen transition's bracket on the system clock, narrowed by the minute's other
    // transitions (one steady rate within kSteadyLineDeviation), and its own poll's bracket.
    double bracketSeconds = 0;
    double rawBracketSeconds = 0;
    size_t transitions = 0;  // seen during the run
    int failedReads = 0;
};

TakenMark TakeMark(RegisterPort& rtc, RegisterPort& monitor, const MarkClocks& clocks,
                   const TakeMarkSettings& settings);

}  // namespace kalendo::marks

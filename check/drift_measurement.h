// The drift run: polls the RTC's seconds register, time-stamps every change with the performance
// counter read just before and just after each poll and the system clock read right after, and
// measures the RTC's rate against the system clock (check/accuracy_measurement.h). It only
// reads: the write guard is never touched and nothing is written to the chip.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "check/drift_fit.h"
#include "bridge/i2c_engine.h"
#include "check/accuracy_measurement.h"

namespace kalendo::check {

// What the run needs from the board; each read says whether it reached the chip.
class DriftBoard {
  public:
    virtual ~DriftBoard() = default;
    // The seconds register, timed: *latch gets where in the read the chip took the value
    // (zeros when the board cannot say).
    virtual bool ReadSeconds(uint8_t* bcd, LatchTiming* latch) = 0;
    virtual bool ReadHoursMinutes(uint8_t* hoursBcd, uint8_t* minutesBcd) = 0;
    virtual bool ReadBoardCelsius(double* celsius) = 0;
    // The board is still there: asked after a failed read, to tell a glitch from an unplug.
    virtual bool BoardPresent() = 0;
};

// The PC's clocks: a precise monotonic one (the performance counter), the local time of day to
// compare the RTC with, and the system clock that is the measurement's reference.
struct PcClocks {
    std::function<double()> monotonicSeconds;
    std::function<double()> localSecondsOfDay;  // 0 to 86400, with its fraction
    // Seconds from any origin fixed for the process, at the clock's finest resolution. Empty:
    // the monotonic clock stands in, and the result names it as its reference.
    std::function<double()> systemSeconds;
};

struct DriftProgress {
    double elapsedSeconds;
    DriftFit fit;             // the counter-only fit; not valid during the first seconds
    AccuracyResult accuracy;  // the running estimate against the reference
};

struct DriftSettings {
    double seconds = 60;              // length of the run on the monotonic clock
    double progressEverySeconds = 1;  // how often `progress` is called
    double temperatureEverySeconds = 10;
    std::function<void(const DriftProgress&)> progress;  // may be empty
    // Sleeps this many seconds. After each sharp transition the run sleeps until shortly
    // before the next one is due, less a random part of a poll: the polls then meet each
    // second at a different phase instead of on one grid with it, so the time stamps' errors
    // average out. Empty: poll without pause.
    std::function<void(double seconds)> wait;
    // Each transition as it is seen (its index from 0), so that a long run's record is kept as
    // it goes. May be empty.
    std::function<void(size_t index, const SecondsTransition&)> transitionSeen;
    // Polled between reads: true ends the run early with what it has (Ctrl-C). May be empty.
    std::function<bool()> stopRequested;
    // A failed read is skipped and the run goes on; it fails only when the board is gone, or
    // when the RTC has not been read for this long.
    double giveUpSeconds = 5;
    AccuracySettings accuracy;  // the reference's assumed error and step size
    // Called once the last poll is taken, before the result is measured: a reference measured at
    // the run's end (an NTP exchange, the kernel's maximum error) is taken here. May be empty.
    std::function<void()> pollingEnded;
};

struct DriftResult {
    std::string error;         // empty on success; otherwise what failed, in the window's words
    bool interrupted = false;  // stopped early by stopRequested
    int failedReads = 0;       // reads that failed and were skipped
    DriftFit fit;              // against the performance counter alone, as the CSV's columns
    AccuracyResult accuracy;   // the result: against the reference
    std::vector<SecondsTransition> transitions;
    std::vector<SecondsPoll> polls;  // what `accuracy` was measured from
    bool offsetKnown = false;
    double offsetMs = 0;  // the RTC's time of day minus the PC's, at the last transition
    int temperatureReadings = 0;
    double minCelsius = 0, meanCelsius = 0, maxCelsius = 0;
};

DriftResult MeasureDrift(DriftBoard& board, const PcClocks& clocks, const DriftSettings& settings);

// The RTC's time of day minus the PC's, folded into -12 h .. +12 h.
double TimeOfDayDifference(double rtcSecondsOfDay, double pcSecondsOfDay);

}  // namespace kalendo::check

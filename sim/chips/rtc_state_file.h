// The file that keeps the battery-backed RTC's state while the program is not running: one
// section per model (a board may carry either chip), each with the registers, the running parts
// of the clock and timer, the crystal's aging so far, the host's wall-clock time at saving, and
// what the RTC ran on meanwhile (its crystal's error and aging, its battery). The RTC's time is
// thus an offset from the host's clock: at loading, the time that has passed since is counted
// on, at the crystal's own rate, or not at all when the battery was too low to keep it.
#pragma once

#include <cstdint>
#include <string>

#include "sim/chips/rtc_chip.h"
#include "sim/chips/rtc_model.h"

namespace kalendo::sim {

// The conditions the RTC keeps time under while it is put away: the board's at saving.
struct ShelfConditions {
    double crystalErrorPpm = 0;  // offset and turnover curve at the board's temperature
    double crystalAgingPpmPerYear = 0;
    double batteryVolts = 3.0;
    double timekeepingMinVolts = 1.0;
};

struct StoredRtcState {
    RtcSnapshot snapshot;
    int64_t savedAtHostMicros = 0;  // host wall clock, microseconds since 1970 (UTC)
    // Absent from files of earlier versions: the gap is then counted at the conditions the
    // board starts with.
    bool shelfKnown = false;
    ShelfConditions shelf;
};

enum class StateLoadOutcome { Loaded, NoFile, NoSectionForModel, Unreadable };

struct StateLoadResult {
    StateLoadOutcome outcome = StateLoadOutcome::NoFile;
    StoredRtcState state;
    std::string message;  // what went wrong, for the user; empty when loaded or no file
};

// The text of a state file: its model's section parsed (Loaded, NoSectionForModel or Unreadable
// with the reason as message), and the text with one model's section replaced, the other's kept.
StateLoadResult ParseRtcState(const std::string& text, RtcModel model);
std::string FormatRtcState(const std::string& previousText, RtcModel model,
                           const StoredRtcState& state);

// Reads the section of the model. An unreadable file is moved aside to "<path>.corrupt" so the
// next save cannot overwrite what it held.
StateLoadResult LoadRtcState(const std::string& path, RtcModel model);

// Writes the section of the model and keeps the other model's section. False with a message
// when the file cannot be written.
bool SaveRtcState(const std::string& path, RtcModel model, const StoredRtcState& state,
                  std::string* message);

int64_t HostWallClockMicros();

}  // namespace kalendo::sim

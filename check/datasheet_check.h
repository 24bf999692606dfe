// The data-sheet check: the board's RTC measured against its model file's figures, row by row,
// each with the measured value, its uncertainty and a verdict.
//
// In order: the supply is set to 3.0 V (the level alone, output kept on) and the VDD current
// averaged; the RTC's seconds are polled against the system clock for the accuracy rows; the
// supply is stepped down in 0.1 V steps to the lowest voltage the model file allows (where the RTC
// stops answering gives the supply minimum, where the board hands the RTC to its battery the
// falling switch-over) and back up to 3.0 V (the rising switch-over); and the RTC's time is
// compared with the reference before and after the sweep (timekeeping through the low supply
// and the battery). Whatever it ends with (done, failed, cancelled), the supply generator's two
// registers are written back as they were found, and the result says what state the board was
// left in. It changes nothing else on the board.
//
// No console and no window: progress goes to a callback, a cancel flag is polled, so kalendo-cli
// and the window run the same check.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bridge/register_port.h"
#include "check/accuracy_measurement.h"
#include "check/drift_measurement.h"
#include "check/model_figures.h"

namespace kalendo::check {

// One supply setting of the sweep, as measured there.
struct SweepStep {
    double seconds = 0;   // from the start of the check, on the monotonic clock
    bool falling = true;  // on the way down (true) or back up
    int tenths = 0;       // the supply setting in tenths of a volt
    double vddVolts = 0;  // measured; NaN when not read
    double vddMicroamps = 0;
    double batteryVolts = 0;
    double batteryMicroamps = 0;
    bool rtcAnswers = false;  // every probe read of the RTC reached it, if need be read again
    bool rtcSilent = false;   // no probe read reached it, each tried again: silent, not a glitch
    int failedReads = 0;      // reads that failed, each then read again
    bool onBattery = false;   // the battery current showed the RTC running from it
};

enum class CheckRowId {
    FrequencyTolerance,
    MonthlyDeviation,
    TypicalCurrent,
    SupplyMinimum,
    SwitchToBattery,
    SwitchToSupply,
    BatteryCurrent,
    Timekeeping,
};

// What a row's uncertainty claims: every value the data allow (a strict bound), or a statistical
// interval at a stated coverage.
enum class BoundKind { Strict, Statistical };

struct CheckRow {
    CheckRowId id;
    std::string name;    // the row's caption
    std::string figure;  // the data sheet's figure the verdict is taken against
    bool measured = false;
    double value = 0;        // in unit
    double uncertainty = 0;  // the true value lies within value +- uncertainty
    BoundKind bound = BoundKind::Strict;
    double coverage = 0;     // a statistical interval's, as a fraction (0.95)
    std::string unit;
    std::string note;  // how it was measured, or why it was not
    Verdict verdict = Verdict::Undecided;
};

struct CheckProgress {
    std::string phase;  // "supply current", "accuracy", "supply sweep", "timekeeping"
    double elapsedSeconds = 0;
    double remainingSeconds = 0;  // an estimate
    AccuracyResult accuracy;      // the running estimate, once there is one
    std::vector<CheckRow> rows;   // every row as it stands: the measured ones filled in
};

struct CheckSettings {
    double accuracySeconds = 600;
    // The accuracy rows alone, for as long as accuracySeconds or until cancelled: the supply and
    // everything else on the board stay as they are.
    bool accuracyOnly = false;
    AccuracySettings accuracy;  // the reference's assumed error, or its error at each end
    // Called once the accuracy polls are done (DriftSettings::pollingEnded). May be empty.
    std::function<void()> accuracyPollingEnded;
    ModelFigures figures;
    // The sweep's floor. NaN: the lowest voltage the model file names (its VCLK or supply
    // minimum); lower only when the user asks. Never below 0.1 V.
    double lowestSupplyVolts = NAN;
    int currentReadings = 20;                  // VDD current readings averaged at 3.0 V
    int stepReadings = 4;                      // readings of each channel averaged at a sweep step
    int probeReads = 3;                        // RTC reads a step must all answer
    int probeAttempts = 3;                     // each tried this often before it counts as failed
    double settleSeconds = 0.2;                // after each supply change, before measuring
    std::function<void(double seconds)> wait;  // sleeps; empty: no pauses
    std::function<void(const CheckProgress&)> progress;
    std::function<bool()> cancelRequested;  // polled between reads: ends the check early
    std::function<void(size_t index, const SecondsTransition&)> transitionSeen;
    std::function<void(const SweepStep&)> stepSeen;
};

struct CheckResult {
    std::vector<CheckRow> rows;  // every row, in CheckRowId order; unmeasured ones undecided
    std::string error;           // the board or the bus failed (the rows measured before stand)
    bool interrupted = false;    // cancelled
    bool supplyRestored = false;
    std::string boardState;  // what the board was left in, in a sentence
    DriftResult drift;       // the accuracy run: polls and result
    std::vector<SweepStep> sweep;
    double floorVolts = 0;       // the sweep's lowest setting
    double startVddVolts = NAN;  // measured before anything changed
    double batteryVolts = NAN;
    double boardCelsius = NAN;
    double minCelsius = NAN, maxCelsius = NAN;  // the board during the accuracy run
    // RTC minus reference before and after the sweep, for the report: (system seconds, ms).
    double timekeepingBeforeSystem = NAN, timekeepingBeforeMs = NAN;
    double timekeepingAfterSystem = NAN, timekeepingAfterMs = NAN;
};

CheckResult RunDataSheetCheck(RegisterPort& rtc, RegisterPort& monitor, const PcClocks& clocks,
                              const CheckSettings& settings);

// Every row passed.
bool AllRowsPassed(const CheckResult& result);
// The run's verdict in a word: "pass" when every row passed, else the weightiest row's verdict
// ("fail", then "undecided", "not at the figure's temperature", "above typical").
const char* OverallVerdictWord(const CheckResult& result);

// "strict bound" or "statistical interval, about 95 % coverage".
std::string BoundText(const CheckRow& row);

}  // namespace kalendo::check

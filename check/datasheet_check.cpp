#include "check/datasheet_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bridge/bus_action.h"
#include "power/power_monitor.h"
#include "power/power_monitor_operations.h"
#include "rtc/bcd_codec.h"
#include "check/accuracy_rows.h"
#include "check/monitor_accuracy.h"
#include "check/port_drift_board.h"
#include "check/timekeeping.h"
#include "rtc/rtc_registers.h"

namespace kalendo::check {

namespace {

constexpr int kCheckTenths = 30;  // the data sheet quotes its current at 3 V
// A timekeeping anchor: a seconds transition bracketed as sharply as the accuracy run's polls,
// found within this long (the sharpest one found otherwise).
constexpr double kAnchorHalfWidth = 0.002;
constexpr double kAnchorSearchSeconds = 5;
// A counter interval is a true one within this: no working counter is further off.
constexpr double kCounterRateMargin = 0.99;

constexpr double kCoverage = 0.95;  // twice the standard error of a mean
// What a sweep step takes besides its settling, for the time-left estimate.
constexpr double kStepSecondsGuess = 0.3;

constexpr char kBoardGone[] = "ERROR: Board Disconnected";

std::string Format(const char* format, double a, double b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool ValidSecondsBcd(uint8_t v) {
    return (v & 0x0F) <= 9 && v <= 0x59;
}

// Mean and the uncertainty the check states for it: a statistical interval of about 95 %
// coverage (twice the standard error of the mean) widened by the reading's resolution and the
// monitor's own error limits.
struct Average {
    int count = 0;
    double sum = 0, sumSquares = 0;
    void Add(double v) {
        ++count;
        sum += v;
        sumSquares += v * v;
    }
    double Mean() const { return count ? sum / count : NAN; }
    double Uncertainty(MeasurementChannel channel) const {
        const double limits = MeasurementResolution(channel) + MonitorLimit(channel, Mean());
        if (count < 2) return limits;
        const double mean = Mean();
        const double variance = std::max(0.0, (sumSquares - count * mean * mean) / (count - 1));
        return limits + 2 * std::sqrt(variance / count);
    }
};

// A switch-over that lay between two neighbouring steps of the sweep, the earlier one first:
// their measured VDD's midpoint, within half their difference and the monitor's error limit,
// against the VCLK minimum.
void SwitchBetween(const SweepStep& before, const SweepStep& after, double vclkMinVolts,
                   CheckRow* row) {
    row->value = (before.vddVolts + after.vddVolts) / 2;
    row->uncertainty = std::fabs(before.vddVolts - after.vddVolts) / 2 +
                       MonitorLimit(kVddVoltage, std::max(before.vddVolts, after.vddVolts));
    row->note = Format("between the %.1f V and %.1f V settings (battery current)",
                       before.tenths / 10.0, after.tenths / 10.0);
    row->verdict = AtLeast(row->value, row->uncertainty, vclkMinVolts);
}

std::vector<CheckRow> EmptyRows(const ModelFigures& f) {
    const auto row = [](CheckRowId id, const char* name, std::string figure, const char* unit) {
        CheckRow r;
        r.id = id;
        r.name = name;
        r.figure = std::move(figure);
        r.unit = unit;
        r.note = "not measured";
        return r;
    };
    const auto orNone = [](double v, const std::string& text) {
        return std::isnan(v) ? std::string("none in the model file") : text;
    };
    return {
        row(CheckRowId::FrequencyTolerance, "Frequency Tolerance",
            orNone(f.tolerancePpm, Format("+/-%.1f ppm", f.tolerancePpm) +
                                       (f.toleranceCondition.known
                                            ? " " + ConditionText(f.toleranceCondition)
                                            : std::string(", temperature not stated"))),
            "ppm"),
        row(CheckRowId::MonthlyDeviation, "Monthly Deviation",
            orNone(f.monthlySeconds, Format("+/-%g s", f.monthlySeconds)), "s/month"),
        row(CheckRowId::TypicalCurrent, "I@3V (Typical)",
            orNone(f.typicalMicroamps, Format("%.3g uA typical", f.typicalMicroamps)), "uA"),
        row(CheckRowId::SupplyMinimum, "Supply Voltage (minimum)",
            orNone(f.supplyMinVolts,
                   Format("%.2g V: the RTC answers from here up", f.supplyMinVolts)),
            "V"),
        row(CheckRowId::SwitchToBattery, "Battery switch-over, falling",
            orNone(f.vclkMinVolts, Format("above the VCLK minimum %.2g V", f.vclkMinVolts)), "V"),
        row(CheckRowId::SwitchToSupply, "Battery switch-over, rising",
            orNone(f.vclkMinVolts, Format("above the VCLK minimum %.2g V", f.vclkMinVolts)), "V"),
        row(CheckRowId::BatteryCurrent, "Battery current",
            orNone(f.typicalMicroamps, Format("%.3g uA typical", f.typicalMicroamps)), "uA"),
        row(CheckRowId::Timekeeping, "VCLK (timekeeping)",
            orNone(f.vclkMinVolts, Format("%.2g to %.2g V: keeps time", f.vclkMinVolts,
                                          f.vclkMaxVolts) +
                                       Format(" (loses less than %g ms over the sweep)",
                                              kTimekeepingThresholdMs)),
            "ms"),
    };
}

using Anchor = TimekeepingAnchor;

class CheckRun {
  public:
    CheckRun(RegisterPort& rtc, RegisterPort& monitor, const PcClocks& clocks,
             const CheckSettings& settings)
        : rtc_(rtc), monitor_(monitor), clocks_(clocks), s_(settings) {}

    CheckResult Run();

  private:
    CheckRow& Row(CheckRowId id) { return result_.rows[static_cast<size_t>(id)]; }
    double System() const {
        return clocks_.systemSeconds ? clocks_.systemSeconds() : clocks_.monotonicSeconds();
    }
    bool Cancelled() {
        if (!result_.interrupted && s_.cancelRequested && s_.cancelRequested()) {
            result_.interrupted = true;
            cancelledAt_ = clocks_.monotonicSeconds();
        }
        return result_.interrupted;
    }
    // One operation of the check on the bus. A read that found the board silent makes this
    // thread send nothing more until the board is connected afresh; the check decides for itself
    // whether the board is gone (the power monitor no longer identifies itself), so it forgets
    // that first. Once cancelled it does not: a cancelled run puts the supply back where the
    // board answers, and spends at most one more time-out in all on the bus.
    BusAction Act() {
        if (!Cancelled()) {
            ForgetBoardSilence();
            return BusAction(kUserActionBusWaitMs);
        }
        const double left = kUserActionBusWaitMs / 1000.0 - (clocks_.monotonicSeconds() - cancelledAt_);
        return BusAction(left > 0 ? static_cast<uint32_t>(left * 1000) : 0);
    }
    // In short slices, so that a cancel is seen within one of them; the end is kept on the
    // monotonic clock, so the slices' own oversleeping does not add up.
    void Wait(double seconds) {
        if (!s_.wait) return;
        constexpr double kSlice = 0.05;
        const double end = clocks_.monotonicSeconds() + seconds;
        // Bounded too where a clock does not follow the waits (a test's).
        for (int slices = static_cast<int>(seconds / kSlice) + 2; slices > 0 && !Cancelled();
             --slices) {
            const double left = end - clocks_.monotonicSeconds();
            if (left < 1e-3) break;  // below what a wait can take
            s_.wait(std::min(left, kSlice));
        }
    }
    void Progress(const char* phase, double remaining, const AccuracyResult* accuracy = nullptr) {
        if (!s_.progress) return;
        CheckProgress p;
        p.phase = phase;
        p.elapsedSeconds = clocks_.monotonicSeconds() - start_;
        p.remainingSeconds = std::max(0.0, remaining);
        if (accuracy) p.accuracy = *accuracy;
        p.rows = result_.rows;
        s_.progress(p);
    }
    // Made after the failed read's own action has ended: inside it, the action that found the
    // board silent, it could never answer.
    bool MonitorPresent() {
        BusAction action = Act();
        return PowerMonitorIdentifies(monitor_) || action.BusBusy();
    }
    bool SetSupply(int tenths) {
        BusAction action = Act();
        changed_ = true;
        return ChangeSupplyLevel(monitor_, tenths);
    }
    double SweepSecondsLeft(int stepsLeft) const {
        return stepsLeft * (s_.settleSeconds + kStepSecondsGuess);
    }

    void Measure();
    bool MeasureCurrent();
    bool MeasureAccuracyRows();
    bool FindAnchor(Anchor* anchor);
    bool MeasureStep(bool falling, int tenths);
    bool Sweep();
    void SweepRows();
    void TimekeepingRow(const Anchor& before, const Anchor& after);
    void PutBack();

    RegisterPort& rtc_;
    RegisterPort& monitor_;
    const PcClocks& clocks_;
    const CheckSettings& s_;
    CheckResult result_;
    SupplyRegisters saved_{};
    bool changed_ = false;
    double start_ = 0;
    double cancelledAt_ = 0;
    int floorTenths_ = kCheckTenths;
};

CheckResult CheckRun::Run() {
    start_ = clocks_.monotonicSeconds();
    result_.rows = EmptyRows(s_.figures);
    double floor = s_.lowestSupplyVolts;
    if (std::isnan(floor)) floor = std::fmin(s_.figures.vclkMinVolts, s_.figures.supplyMinVolts);
    // A model file without either figure gives no floor: the sweep stays at 3.0 V.
    if (std::isnan(floor)) floor = kCheckTenths / 10.0;
    floorTenths_ =
        std::clamp(static_cast<int>(std::ceil(floor * 10 - 1e-6)), kMinSupplyTenths, kCheckTenths);
    result_.floorVolts = floorTenths_ / 10.0;

    {
        BusAction action = Act();
        double v = 0;
        if (!ReadSupplyRegisters(monitor_, &saved_)) {
            result_.error = kBoardGone;
            result_.boardState = "nothing was changed on the board";
            return result_;
        }
        if (ReadMeasurement(monitor_, kVddVoltage, &v)) result_.startVddVolts = v;
        if (ReadMeasurement(monitor_, kBatteryVoltage, &v)) result_.batteryVolts = v;
        if (ReadMeasurement(monitor_, kTemperature, &v)) result_.boardCelsius = v;
    }
    Measure();
    if (result_.interrupted && result_.error.empty() && !s_.accuracyOnly) {
        for (CheckRow& r : result_.rows) {
            if (!r.measured) r.note = "not measured: the check was interrupted";
        }
    }
    PutBack();
    return result_;
}

// The phases in order; each returns early when the board is lost or the check cancelled, and
// the sweep's rows are taken from whatever steps it made.
void CheckRun::Measure() {
    if (s_.accuracyOnly) {
        for (CheckRow& r : result_.rows) r.note = "not measured: accuracy only";
        MeasureAccuracyRows();
        return;
    }
    if (!SetSupply(kCheckTenths)) {
        result_.error = kBoardGone;
        return;
    }
    Wait(s_.settleSeconds);
    if (!MeasureCurrent() || Cancelled()) return;
    if (!MeasureAccuracyRows() || Cancelled()) return;
    Anchor before, after;
    Progress("timekeeping", SweepSecondsLeft(2 * (kCheckTenths - floorTenths_)) + 2);
    const bool anchoredBefore = FindAnchor(&before);
    if (!result_.error.empty() || Cancelled()) return;
    const bool swept = Sweep();
    SweepRows();
    if (!swept || Cancelled()) return;
    Progress("timekeeping", 2);
    if (anchoredBefore) FindAnchor(&after);
    if (!result_.error.empty()) return;
    if (anchoredBefore && after.found) {
        TimekeepingRow(before, after);
    } else {
        Row(CheckRowId::Timekeeping).note =
            "not measured: the RTC's seconds could not be timed before and after the sweep";
    }
}

bool CheckRun::MeasureCurrent() {
    Average vdd, current, battery;
    int failed = 0;
    for (int i = 0; i < s_.currentReadings && !Cancelled(); ++i) {
        Progress("supply current",
                 s_.accuracySeconds + SweepSecondsLeft(2 * (kCheckTenths - floorTenths_)));
        double v = 0, a = 0, b = 0;
        bool read = false;
        {
            BusAction action = Act();
            read = ReadMeasurement(monitor_, kVddVoltage, &v) &&
                   ReadMeasurement(monitor_, kVddCurrent, &a) &&
                   ReadMeasurement(monitor_, kBatteryCurrent, &b);
        }
        if (read) {
            vdd.Add(v);
            current.Add(a);
            battery.Add(b);
        } else if (++failed > s_.currentReadings || !MonitorPresent()) {
            result_.error = kBoardGone;
            return false;
        } else {
            --i;  // read again
        }
    }
    if (current.count == 0) return true;
    CheckRow& row = Row(CheckRowId::TypicalCurrent);
    row.measured = true;
    row.value = current.Mean();
    row.uncertainty = current.Uncertainty(kVddCurrent);
    row.note = Format("VDD current at a 3.0 V setting (%.3f V measured), mean of %.0f readings",
                      vdd.Mean(), current.count);
    if (battery.Mean() >= kBatteryInUseCurrent) {
        row.note += "; the battery was carrying the RTC";
    }
    row.verdict = AtMostTypical(row.value, row.uncertainty, s_.figures.typicalMicroamps);
    row.bound = BoundKind::Statistical;
    row.coverage = kCoverage;
    return true;
}

bool CheckRun::MeasureAccuracyRows() {
    PortDriftBoard board(rtc_, monitor_);
    DriftSettings drift;
    drift.seconds = s_.accuracySeconds;
    drift.accuracy = s_.accuracy;
    drift.pollingEnded = s_.accuracyPollingEnded;
    if (s_.wait) drift.wait = [this](double seconds) { Wait(seconds); };
    drift.transitionSeen = s_.transitionSeen;
    drift.stopRequested = [this] { return Cancelled(); };
    const double sweepSeconds =
        s_.accuracyOnly ? 0 : SweepSecondsLeft(2 * (kCheckTenths - floorTenths_)) + 4;
    drift.progress = [&](const DriftProgress& p) {
        Progress("accuracy", s_.accuracySeconds - p.elapsedSeconds + sweepSeconds, &p.accuracy);
    };
    result_.drift = MeasureDrift(board, clocks_, drift);
    if (!result_.drift.error.empty()) {
        result_.error = result_.drift.error;
        return false;
    }
    if (result_.drift.temperatureReadings > 0) {
        result_.minCelsius = result_.drift.minCelsius;
        result_.maxCelsius = result_.drift.maxCelsius;
    }
    FillAccuracyRows(result_.drift.accuracy,
                     {result_.drift.temperatureReadings, result_.minCelsius, result_.maxCelsius},
                     s_.figures, &Row(CheckRowId::FrequencyTolerance),
                     &Row(CheckRowId::MonthlyDeviation));
    return true;
}

// Polls the seconds, each read timed as the accuracy run's, until a transition is bracketed as
// sharply as those polls on the counter (or keeps the sharpest found within the search), then
// reads the rest of the time of day (a transition is almost a second from the next).
bool CheckRun::FindAnchor(Anchor* anchor) {
    const double until = clocks_.monotonicSeconds() + kAnchorSearchSeconds;
    bool havePrevious = false;
    double previousEarliest = 0;
    uint8_t previousSecond = 0;
    Anchor best;
    while (clocks_.monotonicSeconds() < until && !Cancelled()) {
        const double before = clocks_.monotonicSeconds();
        uint32_t value = 0;
        LatchTiming latch;
        bool ok = false;
        {
            BusAction action = Act();
            ok = rtc_.ReadTimed(kRegSeconds, 8, &value, &latch) &&
                 ValidSecondsBcd(static_cast<uint8_t>(value));
        }
        const double after = clocks_.monotonicSeconds();
        if (!ok) {
            if (!MonitorPresent()) {
                result_.error = kBoardGone;
                return false;
            }
            havePrevious = false;
            continue;
        }
        const uint8_t bcd = static_cast<uint8_t>(value);
        const double earliest = before + latch.afterStartSeconds * kCounterRateMargin;
        const double latest = std::max(earliest, after - latch.beforeEndSeconds * kCounterRateMargin);
        if (havePrevious && bcd != previousSecond) {
            const double system = System();
            const double halfWidth = (latest - previousEarliest) / 2;
            if (!best.found || halfWidth < best.halfWidth) {
                uint8_t hours = 0, minutes = 0;
                BusAction action = Act();
                if (rtc_.Read8(kRegHours, &hours) && rtc_.Read8(kRegMinutes, &minutes)) {
                    best.found = true;
                    best.counter = (previousEarliest + latest) / 2;
                    best.halfWidth = halfWidth;
                    best.system = system;
                    best.rtcDay =
                        FromBcd(hours) * 3600.0 + FromBcd(minutes) * 60.0 + FromBcd(bcd);
                }
            }
            if (best.found && best.halfWidth < kAnchorHalfWidth) break;
            havePrevious = false;  // the reads above took time: bracket the next one afresh
            continue;
        }
        havePrevious = true;
        previousEarliest = earliest;
        previousSecond = bcd;
    }
    *anchor = best;
    return best.found;
}

bool CheckRun::MeasureStep(bool falling, int tenths) {
    SweepStep step;
    step.seconds = clocks_.monotonicSeconds() - start_;
    if (!SetSupply(tenths)) {
        if (!MonitorPresent()) {
            result_.error = kBoardGone;
            return false;
        }
        // Written but not all confirmed: measured as it stands.
    }
    // A cancel is looked at within the step too, so a cancelled run ends after one read at most.
    Wait(s_.settleSeconds);
    if (Cancelled()) return false;
    step.falling = falling;
    step.tenths = tenths;
    Average v, a, bv, ba;
    for (int i = 0; i < s_.stepReadings && !Cancelled(); ++i) {
        BusAction action = Act();
        double x = 0;
        if (ReadMeasurement(monitor_, kVddVoltage, &x)) v.Add(x);
        if (ReadMeasurement(monitor_, kVddCurrent, &x)) a.Add(x);
        if (ReadMeasurement(monitor_, kBatteryVoltage, &x)) bv.Add(x);
        if (ReadMeasurement(monitor_, kBatteryCurrent, &x)) ba.Add(x);
    }
    if (Cancelled()) return false;
    if (ba.count == 0 && !MonitorPresent()) {
        result_.error = kBoardGone;
        return false;
    }
    step.vddVolts = v.Mean();
    step.vddMicroamps = a.Mean();
    step.batteryVolts = bv.Mean();
    step.batteryMicroamps = ba.Mean();
    step.onBattery = step.batteryMicroamps >= kBatteryInUseCurrent;
    // A read that fails is read again: one glitch on the bus is reported, not taken for a
    // silent RTC.
    int answered = 0;
    for (int i = 0; i < s_.probeReads && !Cancelled(); ++i) {
        bool ok = false;
        for (int attempt = 0; attempt < s_.probeAttempts && !ok && !Cancelled(); ++attempt) {
            BusAction action = Act();
            uint8_t bcd = 0;
            ok = rtc_.Read8(kRegSeconds, &bcd) && ValidSecondsBcd(bcd);
            if (!ok) ++step.failedReads;
        }
        if (ok) ++answered;
    }
    if (Cancelled()) return false;
    step.rtcAnswers = answered == s_.probeReads;
    step.rtcSilent = answered == 0;
    result_.sweep.push_back(step);
    if (s_.stepSeen) s_.stepSeen(step);
    return true;
}

bool CheckRun::Sweep() {
    const int steps = 2 * (kCheckTenths - floorTenths_);
    int done = 0;
    for (int t = kCheckTenths - 1; t >= floorTenths_; --t, ++done) {
        if (Cancelled()) return false;
        Progress("supply sweep", SweepSecondsLeft(steps - done) + 2);
        if (!MeasureStep(true, t)) return false;
    }
    for (int t = floorTenths_ + 1; t <= kCheckTenths; ++t, ++done) {
        if (Cancelled()) return false;
        Progress("supply sweep", SweepSecondsLeft(steps - done) + 2);
        if (!MeasureStep(false, t)) return false;
    }
    return true;
}

void CheckRun::SweepRows() {
    const ModelFigures& f = s_.figures;
    std::vector<const SweepStep*> down, up;
    for (const SweepStep& st : result_.sweep) (st.falling ? down : up).push_back(&st);
    if (down.empty()) return;

    // Supply minimum: the lowest step of the unbroken run of answering steps from 3.0 V down.
    {
        CheckRow& row = Row(CheckRowId::SupplyMinimum);
        const SweepStep* lowest = nullptr;
        const SweepStep* stopped = nullptr;
        int glitches = 0;
        for (const SweepStep* st : down) {
            if (!st->rtcAnswers) {
                stopped = st;
                break;
            }
            glitches += st->failedReads;
            lowest = st;
        }
        row.measured = true;
        const double limit = MonitorLimit(kVddVoltage, 3.0);
        if (lowest == nullptr) {
            row.value = stopped->vddVolts;
            row.uncertainty = limit;
            row.note =
                Format("the RTC did not answer at the first step, %.1f V", stopped->tenths / 10.0);
        } else {
            // Between the lowest step that answered and the first that did not.
            row.value = stopped ? (lowest->vddVolts + stopped->vddVolts) / 2 : lowest->vddVolts;
            row.uncertainty =
                (stopped ? std::fabs(lowest->vddVolts - stopped->vddVolts) / 2 : 0) + limit;
            row.note = stopped ? Format(
                                     "lowest supply the RTC answered at (setting %.1f V); "
                                     "silent from %.1f V down",
                                     lowest->tenths / 10.0, stopped->tenths / 10.0)
                               : Format(
                                     "answered at every step down to the sweep's floor, %.1f V "
                                     "(its minimum lies lower)",
                                     lowest->tenths / 10.0);
        }
        const bool intermittent = stopped && !stopped->rtcSilent;
        if (intermittent) {
            row.note = Format("at %.1f V the RTC answered some reads and not others", stopped->tenths / 10.0) +
                       Format(" (%.0f failed, each read again): reported, not judged",
                              static_cast<double>(stopped->failedReads));
        }
        if (glitches > 0) {
            row.note += Format("; %.0f read(s) above it failed once and answered when read again",
                               static_cast<double>(glitches));
        }
        // By the measured supply, within the monitor's error: answering at a VDD surely at or
        // below the figure passes, silence at a VDD surely at or above it fails.
        if (std::isnan(f.supplyMinVolts) || intermittent) {
            row.verdict = Verdict::Undecided;
        } else if (stopped && stopped->vddVolts - limit >= f.supplyMinVolts) {
            row.verdict = Verdict::Fail;
        } else if (lowest && lowest->vddVolts + limit <= f.supplyMinVolts) {
            row.verdict = Verdict::Pass;
        } else {
            row.verdict = Verdict::Undecided;
        }
    }

    // The switch-over has no figure of its own: while VDD carries the RTC it must stay at or
    // above the VCLK minimum, so the board must hand over above it, both ways.
    // Falling: between the last step on VDD and the first on the battery.
    const SweepStep* lastOnVdd = nullptr;
    const SweepStep* firstOnBattery = nullptr;
    for (const SweepStep* st : down) {
        if (st->onBattery) {
            firstOnBattery = st;
            break;
        }
        lastOnVdd = st;
    }
    {
        CheckRow& row = Row(CheckRowId::SwitchToBattery);
        row.measured = true;
        if (firstOnBattery == nullptr) {
            row.value = down.back()->vddVolts;
            row.uncertainty = 0;
            row.note =
                Format("still on VDD at the lowest step, %.1f V", down.back()->tenths / 10.0);
            row.verdict = down.back()->tenths <= std::lround(f.vclkMinVolts * 10)
                              ? Verdict::Fail
                              : Verdict::Undecided;
        } else if (lastOnVdd == nullptr) {
            row.value = firstOnBattery->vddVolts;
            row.uncertainty = 0;
            row.note = "on the battery from the first step down";
            row.verdict = AtLeast(row.value, 0, f.vclkMinVolts);
        } else {
            SwitchBetween(*lastOnVdd, *firstOnBattery, f.vclkMinVolts, &row);
        }
    }

    // Rising switch-over: from the battery back to VDD on the way up.
    {
        CheckRow& row = Row(CheckRowId::SwitchToSupply);
        const SweepStep* lastOnBattery = down.back()->onBattery ? down.back() : nullptr;
        const SweepStep* backOnVdd = nullptr;
        for (const SweepStep* st : up) {
            if (!st->onBattery) {
                if (lastOnBattery) {
                    backOnVdd = st;
                    break;
                }
            } else {
                lastOnBattery = st;
            }
        }
        if (lastOnBattery == nullptr) {
            row.note = "not measured: the RTC never ran from its battery";
        } else if (up.empty() || up.back()->tenths != kCheckTenths) {
            row.note = "not measured: the sweep did not come back up";
        } else {
            row.measured = true;
            if (backOnVdd == nullptr) {
                row.value = up.back()->vddVolts;
                row.uncertainty = 0;
                row.note = "still on the battery at 3.0 V";
                row.verdict = Verdict::Fail;
            } else {
                SwitchBetween(*lastOnBattery, *backOnVdd, f.vclkMinVolts, &row);
            }
        }
    }

    // Battery current: every step that ran from the battery.
    {
        CheckRow& row = Row(CheckRowId::BatteryCurrent);
        Average current, volts;
        for (const SweepStep& st : result_.sweep) {
            if (st.onBattery) {
                current.Add(st.batteryMicroamps);
                volts.Add(st.batteryVolts);
            }
        }
        if (current.count == 0) {
            row.note = "not measured: the RTC never ran from its battery";
        } else {
            row.measured = true;
            row.value = current.Mean();
            row.uncertainty = current.Uncertainty(kBatteryCurrent);
            row.note = Format("battery current at %.0f steps on the battery (%.3f V)",
                              current.count, volts.Mean());
            row.verdict = AtMostTypical(row.value, row.uncertainty, f.typicalMicroamps);
            row.bound = BoundKind::Statistical;
            row.coverage = kCoverage;
        }
    }
}

// The RTC's time across the sweep on the counter, less what its measured rate explains: time lost
// or gained while VDD was low or the battery carried it.
void CheckRun::TimekeepingRow(const Anchor& before, const Anchor& after) {
    CheckRow& row = Row(CheckRowId::Timekeeping);
    const AccuracyResult& a = result_.drift.accuracy;
    TimekeepingRate rate;
    rate.known = a.valid;
    rate.rtcPerCounter = a.rtcPerCounter;
    rate.halfRange = a.rtcPerCounterHalfRange;
    rate.counterPpm = a.counterPpm;
    const TimekeepingFigure k = JudgeTimekeeping(before, after, rate);
    result_.timekeepingBeforeSystem = before.system;
    result_.timekeepingBeforeMs = 0;
    result_.timekeepingAfterSystem = after.system;
    result_.timekeepingAfterMs = k.valueMs;
    row.measured = true;
    row.value = k.valueMs;
    row.uncertainty = k.uncertaintyMs;
    row.verdict = std::isnan(s_.figures.vclkMinVolts) ? Verdict::Undecided : k.verdict;
    double lowest = INFINITY;
    int onBattery = 0;
    for (const SweepStep& st : result_.sweep) {
        if (!std::isnan(st.vddVolts)) lowest = std::min(lowest, st.vddVolts);
        if (st.onBattery) ++onBattery;
    }
    row.note = Format("RTC time gained across %.1f s of sweep on the PC's counter, VDD down to %.2f V",
                      k.elapsedSeconds, lowest) +
               Format(", %.0f steps on the battery; beyond the accuracy run's rate", onBattery);
    if (!rate.known) row.note += " (no rate measured: not judged)";
    if (k.systemStepped) {
        row.note += Format("; the system clock stepped %+.1f ms meanwhile (not used here)",
                           k.systemStepMs);
    }
}

void CheckRun::PutBack() {
    if (!changed_) {
        if (result_.boardState.empty()) result_.boardState = "nothing was changed on the board";
        return;
    }
    bool written = false;
    SupplyRegisters now{};
    bool readBack = false;
    {
        BusAction action = Act();
        written = RestoreSupplyRegisters(monitor_, saved_);
    }
    if (s_.wait) s_.wait(s_.settleSeconds);  // settled before it is read back, cancelled or not
    double vdd = NAN;
    {
        BusAction action = Act();
        readBack = ReadSupplyRegisters(monitor_, &now);
        double v = 0;
        if (ReadMeasurement(monitor_, kVddVoltage, &v)) vdd = v;
    }
    char registers[48];
    std::snprintf(registers, sizeof registers, "configuration 0x%02X, level %u",
                  static_cast<unsigned>(saved_.configuration), static_cast<unsigned>(saved_.level));
    if (written && readBack && now.configuration == saved_.configuration &&
        now.level == saved_.level) {
        result_.supplyRestored = true;
        result_.boardState = "supply put back as found (" + std::string(registers) + ")";
        if (!std::isnan(vdd)) result_.boardState += Format(", VDD %.2f V", vdd);
        return;
    }
    const SweepStep* last = result_.sweep.empty() ? nullptr : &result_.sweep.back();
    result_.boardState = "supply NOT confirmed put back (" + std::string(registers) + " written";
    result_.boardState += written ? ", not read back)" : ", not all writes reached the board)";
    result_.boardState +=
        last ? Format("; it may still be at the last setting, %.1f V", last->tenths / 10.0)
             : std::string("; it may still be at 3.0 V");
}

}  // namespace

CheckResult RunDataSheetCheck(RegisterPort& rtc, RegisterPort& monitor, const PcClocks& clocks,
                              const CheckSettings& settings) {
    CheckRun run(rtc, monitor, clocks, settings);
    return run.Run();
}

std::string BoundText(const CheckRow& row) {
    if (row.bound == BoundKind::Strict) return "strict bound";
    return Format("statistical interval, about %.0f %% coverage", row.coverage * 100);
}

const char* OverallVerdictWord(const CheckResult& result) {
    if (AllRowsPassed(result)) return VerdictWord(Verdict::Pass);
    for (const Verdict v : {Verdict::Fail, Verdict::Undecided, Verdict::NotAtCondition,
                            Verdict::AboveTypical}) {
        for (const CheckRow& r : result.rows) {
            if (r.verdict == v) return VerdictWord(v);
        }
    }
    return VerdictWord(Verdict::Undecided);
}

bool AllRowsPassed(const CheckResult& result) {
    for (const CheckRow& r : result.rows) {
        if (r.verdict != Verdict::Pass) return false;
    }
    return !result.rows.empty();
}

}  // namespace kalendo::check

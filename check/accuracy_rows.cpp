#include "check/accuracy_rows.h"

#include <cmath>
#include <cstdio>

#include "check/monitor_accuracy.h"

namespace kalendo::check {

namespace {

std::string Format(const char* format, double a) {
    char text[160];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string Format(const char* format, double a, double b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

void FillAccuracyRows(const AccuracyResult& a, const BoardTemperatures& t, const ModelFigures& f,
                      CheckRow* toleranceRow, CheckRow* monthlyRow) {
    CheckRow& tolerance = *toleranceRow;
    CheckRow& monthly = *monthlyRow;
    if (!a.valid) {
        tolerance.note = monthly.note = "not measured: " + a.error;
        return;
    }
    std::string how =
        "mean over " + Format("%.0f s against the ", a.spanSeconds) + a.reference +
        Format("; the run's part +-%.3f ppm", a.fitUncertaintyPpm) +
        Format(", the reference's +-%.3f ppm", a.referenceUncertaintyPpm) + " (" +
        a.referenceFrom.source + Format(" %.3f ms at the start, ", a.referenceFrom.seconds * 1000) +
        a.referenceTo.source + Format(" %.3f ms at the end)", a.referenceTo.seconds * 1000);
    how += a.steadyRate ? "; the rate was steady (one line fits every transition)"
                        : "; the rate was not steady over the run: only its mean is claimed";
    if (!a.steps.empty()) {
        how += Format("; the system clock stepped %.0f time(s), polls after the last used",
                      static_cast<double>(a.steps.size()));
    }
    tolerance.measured = monthly.measured = true;
    tolerance.value = a.ppm;
    tolerance.uncertainty = a.uncertaintyPpm;
    const Verdict plain = WithinPlusMinus(a.ppm, a.uncertaintyPpm, f.tolerancePpm);
    tolerance.verdict = plain;
    // The figure holds at a temperature: the board's (the monitor's die, +-1 C) must have stayed
    // there, or the comparison is no data-sheet verdict.
    const TemperatureCondition& condition = f.toleranceCondition;
    std::string temperature =
        t.readings > 0
            ? Format("board %.1f to %.1f C (+-1 C)", t.minCelsius, t.maxCelsius)
            : std::string("board temperature not read");
    if (!std::isnan(f.tolerancePpm) &&
        !ConditionMet(condition, t.minCelsius, t.maxCelsius, kMonitorCelsiusError)) {
        tolerance.verdict = Verdict::NotAtCondition;
        how += "; " + temperature + ", the figure holds " +
               (condition.known ? ConditionText(condition) : std::string("at a temperature not stated")) +
               ": the comparison alone says " + VerdictWord(plain);
    } else {
        how += "; " + temperature;
    }
    tolerance.note = how;
    // The same measurement over the data sheets' month (30 days): where the figure is the
    // tolerance over that month, the row reads as the tolerance does, so the two never disagree.
    monthly.value = a.ppm * 1e-6 * kSecondsPerDataSheetMonth;
    monthly.uncertainty = a.uncertaintyPpm * 1e-6 * kSecondsPerDataSheetMonth;
    if (MonthlyIsToleranceOverAMonth(f)) {
        monthly.verdict = tolerance.verdict;
        monthly.note = "the frequency offset over 30 days (the data sheets' month): the tolerance "
                       "row's measurement shown again, not a second one";
    } else {
        monthly.verdict =
            WithinPlusMinus(monthly.value, monthly.uncertainty, f.monthlySeconds);
        if (tolerance.verdict == Verdict::NotAtCondition) monthly.verdict = Verdict::NotAtCondition;
        monthly.note = "the frequency offset over 30 days; the model file's figure is not its "
                       "tolerance over 30 days, so it is judged on its own";
    }
}


void LeaveAccuracyRowsUnmeasured(const std::string& why, CheckResult* result) {
    for (CheckRow& row : result->rows) {
        if (row.id != CheckRowId::FrequencyTolerance && row.id != CheckRowId::MonthlyDeviation) {
            continue;
        }
        row.measured = false;
        row.verdict = Verdict::Undecided;
        row.note = "not measured: " + why + " at the accuracy run's end";
    }
}

}  // namespace kalendo::check

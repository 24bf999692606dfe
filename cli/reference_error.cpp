#include "cli/reference_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/drift_fit.h"

namespace kalendo::cli {

namespace {

bool Synchronised(const SystemClockError& e) {
    return e.known && e.synchronised;
}

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds * 1000);
    return text;
}

}  // namespace

ReferenceErrorMarks::ReferenceErrorMarks(double givenMs) : givenMs_(givenMs) {
    if (givenMs_ < 0) start_ = Os().QuerySystemClockError();
}

double ReferenceErrorMarks::DuringRunMs() const {
    if (givenMs_ >= 0) return givenMs_;
    return Synchronised(start_) ? start_.maxErrorSeconds * 1000 : kDefaultReferenceErrorMs;
}

ReferenceError ReferenceErrorMarks::AtEnd() const {
    ReferenceError r;
    if (givenMs_ >= 0) {
        r.ms = givenMs_;
        r.from = "option";
        r.why = "given by --reference-error-ms";
        return r;
    }
    r.start = start_;
    r.end = Os().QuerySystemClockError();
    if (Synchronised(r.start) && Synchronised(r.end)) {
        r.ms = std::max(r.start.maxErrorSeconds, r.end.maxErrorSeconds) * 1000;
        r.from = "kernel";
        r.why = "the kernel's maximum error of the synchronised system clock (adjtimex), the "
                "larger of the run's two ends: " +
                Ms(r.start.maxErrorSeconds) + " ms at the start, " + Ms(r.end.maxErrorSeconds) +
                " ms at the end";
        return r;
    }
    r.ms = kDefaultReferenceErrorMs;
    r.from = "assumed";
    if (!r.start.known || !r.end.known) {
        r.why = "assumed: this system does not report its clock's error";
    } else {
        r.why = std::string("assumed: the kernel says the system clock was not synchronised at ") +
                (Synchronised(r.start) ? "the end" : Synchronised(r.end) ? "the start" : "either end") +
                " of the run";
    }
    return r;
}

void PrintReferenceError(FactOutput& out, const ReferenceError& reference) {
    out.Number("reference_error_ms", reference.ms, 3);
    out.Text("reference_error_from", reference.from);
    out.Text("reference_error_why", reference.why);
    if (std::string(reference.from) == "kernel") {
        out.Number("kernel_max_error_start_ms", reference.start.maxErrorSeconds * 1000, 3);
        out.Number("kernel_max_error_end_ms", reference.end.maxErrorSeconds * 1000, 3);
    }
}

void ApplyReferenceError(check::CheckResult& result, const check::ModelFigures& figures,
                         const check::AccuracySettings& accuracy, double ranWithSeconds) {
    const double change = accuracy.referenceErrorSeconds - ranWithSeconds;
    if (change == 0 || result.drift.polls.empty()) return;
    check::AccuracyResult& a = result.drift.accuracy;
    const check::AccuracyResult before = a;
    a = check::MeasureAccuracy(result.drift.polls, accuracy);
    a.reference = before.reference;
    for (check::CheckRow& row : result.rows) {
        if (!row.measured) continue;
        if (row.id == check::CheckRowId::FrequencyTolerance ||
            row.id == check::CheckRowId::MonthlyDeviation) {
            const bool tolerance = row.id == check::CheckRowId::FrequencyTolerance;
            if (!a.valid) {
                row.measured = false;
                row.verdict = check::Verdict::Undecided;
                row.note = "not measured: " + a.error;
                continue;
            }
            const double scale = tolerance ? 1 : SecondsPerMonth(1);
            row.value = a.ppm * scale;
            row.uncertainty = a.uncertaintyPpm * scale;
            row.verdict = check::WithinPlusMinus(
                row.value, row.uncertainty,
                tolerance ? figures.tolerancePpm : figures.monthlySeconds);
            if (tolerance) {
                char note[200];
                std::snprintf(note, sizeof note,
                              "against the %s over %.0f s; the run's part +-%.3f ppm, the "
                              "reference's +-%.3f ppm",
                              a.reference, a.spanSeconds, a.fitUncertaintyPpm,
                              a.referenceUncertaintyPpm);
                row.note = note;
                if (!a.steps.empty()) {
                    std::snprintf(note, sizeof note,
                                  "; the system clock stepped %zu time(s), polls after the last "
                                  "used",
                                  a.steps.size());
                    row.note += note;
                }
            }
        } else if (row.id == check::CheckRowId::Timekeeping && before.valid && a.valid) {
            // The RTC against the reference at both ends of the sweep, less its measured rate:
            // each end carries the reference's error once, the rate its new value and bound.
            const double elapsed = result.timekeepingAfterSystem - result.timekeepingBeforeSystem;
            row.value -= elapsed * (a.ppm - before.ppm) * 1e-3;
            row.uncertainty +=
                2 * change * 1000 + elapsed * (a.uncertaintyPpm - before.uncertaintyPpm) * 1e-3;
            if (row.verdict != check::Verdict::Undecided) {
                row.verdict = std::fabs(row.value) <= row.uncertainty ? check::Verdict::Pass
                                                                      : check::Verdict::Fail;
            }
        }
    }
}

}  // namespace kalendo::cli

// The reference's error for drift and check. The user's --reference-error-ms wins; else, where
// the kernel keeps the system clock synchronised (an NTP daemon disciplines it), its maximum
// error at the run's two ends, the larger of them; else the assumed 10 ms. Each way is said in
// the output.
#pragma once

#include <string>

#include "bridge/os_seam.h"
#include "cli/fact_output.h"
#include "rtc/check/datasheet_check.h"

namespace kalendo::cli {

struct ReferenceError {
    double ms = 0;     // what the result is measured with
    const char* from = "assumed";  // "option", "kernel" or "assumed"
    std::string why;   // a sentence for the engineer
    SystemClockError start, end;  // the kernel's word at each end (from the kernel only)
};

// Asks the kernel at the start of a run (unless the user gave the error) and at its end.
class ReferenceErrorMarks {
  public:
    // givenMs: the option's value, or a negative number when it was not given.
    explicit ReferenceErrorMarks(double givenMs);
    // The error to run with until the end is known: the given one, the kernel's at the start,
    // or the assumed one.
    double DuringRunMs() const;
    // Takes the end's mark and decides.
    ReferenceError AtEnd() const;

  private:
    double givenMs_;
    SystemClockError start_;
};

// reference_error_ms, reference_error_from, reference_error_why, and the kernel's two values.
void PrintReferenceError(FactOutput& out, const ReferenceError& reference);

// The check measured with `ranWithSeconds`: its accuracy and the rows that depend on the
// reference (frequency tolerance, monthly deviation, timekeeping) measured again from the same
// polls with `accuracy`'s error. Nothing changes when the two are the same.
void ApplyReferenceError(check::CheckResult& result, const check::ModelFigures& figures,
                         const check::AccuracySettings& accuracy, double ranWithSeconds);

}  // namespace kalendo::cli

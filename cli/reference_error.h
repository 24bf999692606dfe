// The reference's error for drift and check. The user's --reference-error-ms wins; else, where
// the kernel keeps the system clock synchronised (an NTP daemon disciplines it), its maximum
// error at the run's two ends, the larger of them; else the assumed 10 ms. Each way is said in
// the output.
#pragma once

#include <functional>
#include <string>

#include "bridge/os_seam.h"
#include "cli/fact_output.h"
#include "check/rate_between_marks.h"

namespace kalendo::cli {

struct ReferenceError {
    double ms = 0;     // the larger of the two ends'
    double startMs = 0, endMs = 0;  // what each end of the span is measured with
    const char* from = "assumed";  // "option", "kernel" or "assumed"
    std::string why;   // a sentence for the engineer
    SystemClockError start, end;  // the kernel's word at each end (from the kernel only)
};

// Asks the kernel at the start of a run (unless the user gave the error) and at its end; each
// end of the run's span is measured with its own.
class ReferenceErrorMarks {
  public:
    // givenMs: the option's value, or a negative number when it was not given.
    ReferenceErrorMarks(double givenMs, std::function<double()> systemSeconds);
    // Takes the end's mark, once the run's last poll is taken.
    void TakeEnd();
    // The error at a system clock reading (the run's own scale): the end's, once taken, for a
    // reading nearer the end than the start; the start's otherwise.
    check::ReferenceError At(double systemSeconds) const;
    // What the run was measured with, for the output.
    ReferenceError Ended() const;

  private:
    check::ReferenceError Of(const SystemClockError& kernel) const;
    double givenMs_;
    std::function<double()> systemSeconds_;
    SystemClockError start_, end_;
    double startAt_ = 0, endAt_ = 0;
    bool ended_ = false;
};

// reference_error_ms, reference_error_from, reference_error_why, and the kernel's two values.
void PrintReferenceError(FactOutput& out, const ReferenceError& reference);

}  // namespace kalendo::cli

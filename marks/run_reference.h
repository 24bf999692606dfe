// The reference of a timed run (the data-sheet check's accuracy rows, drift): the system clock's
// error at each end of the span, each with its source, read when the run starts and once its
// polls are done. An NTP server's offset also corrects that end's reading. Kept apart from the
// run's polls, so the run's bound takes each end's own error (check::AccuracySettings::referenceAt).
#pragma once

#include <string>
#include <vector>

#include "check/rate_between_marks.h"
#include "marks/reference_reading.h"

namespace kalendo::marks {

class RunReference {
  public:
    // systemSeconds: the run's own scale of the system clock (check::PcClocks::systemSeconds),
    // tied to clocks.systemUtcNanos when the run starts.
    RunReference(ReferenceChoice choice, MarkClocks clocks, std::function<double()> systemSeconds,
                 std::function<void(const std::string&)> progress = {});

    // False, with the reason in the window's words, when the reference could not be had and no
    // fallback was asked (the run is then not started, or its result not stated).
    bool Start(std::string* error);
    // Also fails (or, with the fallback, puts both ends on the assumed error) when the server's
    // two offsets differ by more than its carry allows: the system clock was slewed between.
    bool End(std::string* error);
    // The kernel's error read again in the course of the run (about once a second), so a mark
    // far from either end is not carried at the kernel's 500 ppm all the way; a server is never
    // asked more than at the ends. Readings the kernel refuses are left out.
    void Sample();
    // The error at a reading of the run's system clock: the tightest of the readings so far
    // (the start's, the samples', the end's once read), each carried to that instant.
    check::ReferenceError At(double systemSeconds) const;

    // "ntp time.example", "kernel", "assumed" (with " (fallback)" where one stood in).
    std::string SourceText(bool end) const;
    // The end's error as read (not carried), ms; NaN before it is read.
    double ErrorMs(bool end) const;
    // A sentence: what each end used and why.
    std::string Why() const;
    const ReferenceChoice& Choice() const { return choice_; }
    // Why the end's reference could not be had (no prefix); empty when it was.
    const std::string& EndFailure() const { return end_.error; }

  private:
    // Why the two server readings contradict the carry between them; empty when they agree.
    std::string SlewBeyondCarry() const;

    ReferenceChoice choice_;
    MarkClocks clocks_;
    std::function<double()> systemSeconds_;
    std::function<void(const std::string&)> progress_;
    double systemAtStart_ = 0;
    int64_t utcAtStart_ = 0;
    ReferenceTaken start_, end_;
    bool started_ = false, ended_ = false;
    double endSystem_ = 0;
    struct Sampled {
        double system;
        ReferenceReading reading;
    };
    std::vector<Sampled> samples_;
};

}  // namespace kalendo::marks

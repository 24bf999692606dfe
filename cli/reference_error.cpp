#include "cli/reference_error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/command_line.h"

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

ReferenceErrorMarks::ReferenceErrorMarks(double givenMs, std::function<double()> systemSeconds)
    : givenMs_(givenMs), systemSeconds_(std::move(systemSeconds)) {
    if (givenMs_ < 0) start_ = Os().QuerySystemClockError();
    startAt_ = systemSeconds_ ? systemSeconds_() : 0;
}

void ReferenceErrorMarks::TakeEnd() {
    if (givenMs_ < 0) end_ = Os().QuerySystemClockError();
    endAt_ = systemSeconds_ ? systemSeconds_() : 0;
    ended_ = true;
}

check::ReferenceError ReferenceErrorMarks::Of(const SystemClockError& kernel) const {
    if (givenMs_ >= 0) return {givenMs_ / 1000, "given"};
    if (Synchronised(kernel)) return {kernel.maxErrorSeconds, "kernel"};
    return {kDefaultReferenceErrorMs / 1000, "assumed"};
}

check::ReferenceError ReferenceErrorMarks::At(double systemSeconds) const {
    const bool nearerEnd =
        ended_ && std::fabs(systemSeconds - endAt_) < std::fabs(systemSeconds - startAt_);
    return Of(nearerEnd ? end_ : start_);
}

ReferenceError ReferenceErrorMarks::Ended() const {
    ReferenceError r;
    r.startMs = Of(start_).seconds * 1000;
    r.endMs = Of(end_).seconds * 1000;
    if (givenMs_ >= 0) {
        r.ms = givenMs_;
        r.from = "option";
        r.why = "given by --reference-error-ms";
        return r;
    }
    r.start = start_;
    r.end = end_;
    if (Synchronised(r.start) && Synchronised(r.end)) {
        r.ms = std::max(r.start.maxErrorSeconds, r.end.maxErrorSeconds) * 1000;
        r.from = "kernel";
        r.why = "the kernel's maximum error of the synchronised system clock (adjtimex) at each "
                "end of the run: " +
                Ms(r.start.maxErrorSeconds) + " ms at the start, " + Ms(r.end.maxErrorSeconds) +
                " ms at the end";
        return r;
    }
    r.ms = kDefaultReferenceErrorMs;
    r.from = "assumed";
    if (!r.start.known || !r.end.known) {
        r.why = "assumed: this system does not report its clock's error";
    } else if (Synchronised(r.start) || Synchronised(r.end)) {
        r.from = "kernel and assumed";
        r.ms = std::max(Synchronised(r.start) ? r.start.maxErrorSeconds * 1000 : r.ms,
                        Synchronised(r.end) ? r.end.maxErrorSeconds * 1000 : r.ms);
        r.why = std::string("the kernel's maximum error at the ") +
                (Synchronised(r.start) ? "start" : "end") + ", assumed at the " +
                (Synchronised(r.start) ? "end" : "start") +
                ", where the kernel said the system clock was not synchronised";
    } else {
        r.why = "assumed: the kernel says the system clock was not synchronised at either end of "
                "the run";
    }
    return r;
}

void PrintReferenceError(FactOutput& out, const ReferenceError& reference) {
    out.Number("reference_error_ms", reference.ms, 3);
    out.Number("reference_error_start_ms", reference.startMs, 3);
    out.Number("reference_error_end_ms", reference.endMs, 3);
    out.Text("reference_error_from", reference.from);
    out.Text("reference_error_why", reference.why);
    if (std::string(reference.from) == "kernel") {
        out.Number("kernel_max_error_start_ms", reference.start.maxErrorSeconds * 1000, 3);
        out.Number("kernel_max_error_end_ms", reference.end.maxErrorSeconds * 1000, 3);
    }
}

}  // namespace kalendo::cli

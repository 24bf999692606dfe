#include "marks/run_reference.h"

#include <cmath>
#include <cstdio>

namespace kalendo::marks {

namespace {

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000);
    return text;
}

// Three decimals without a "-0.000".
double Shown(double ms) { return std::fabs(ms) < 0.0005 ? 0.0 : ms; }

}  // namespace

RunReference::RunReference(ReferenceChoice choice, MarkClocks clocks,
                           std::function<double()> systemSeconds,
                           std::function<void(const std::string&)> progress)
    : choice_(std::move(choice)),
      clocks_(std::move(clocks)),
      systemSeconds_(std::move(systemSeconds)),
      progress_(std::move(progress)) {}

bool RunReference::Start(std::string* error) {
    start_ = ReadReference(choice_, clocks_, progress_);
    // The two scales tied once: a reading of the run's clock is carried on the UTC one.
    utcAtStart_ = clocks_.systemUtcNanos ? clocks_.systemUtcNanos() : 0;
    systemAtStart_ = systemSeconds_ ? systemSeconds_() : 0;
    started_ = start_.ok;
    if (!start_.ok && error) *error = "ERROR: " + start_.error;
    return start_.ok;
}

bool RunReference::End(std::string* error) {
    end_ = ReadReference(choice_, clocks_, progress_);
    endSystem_ = systemSeconds_ ? systemSeconds_() : 0;
    const std::string slewed = end_.ok ? SlewBeyondCarry() : "";
    if (!slewed.empty()) {
        // Neither server reading can be carried to a mark away from its instant.
        if (choice_.fallback) {
            for (ReferenceTaken* t : {&start_, &end_}) {
                t->reading = ReferenceReading{};
                t->reading.error = choice_.assumedErrorSeconds;
                t->fellBack = true;
                t->fallenBecause = slewed;
            }
        } else {
            end_.ok = false;
            end_.error = slewed;
        }
    }
    ended_ = end_.ok;
    if (!end_.ok && error) *error = "ERROR: " + end_.error;
    return end_.ok;
}

std::string RunReference::SlewBeyondCarry() const {
    const ReferenceReading& a = start_.reading;
    const ReferenceReading& b = end_.reading;
    if (a.source != ReferenceSource::Ntp || b.source != ReferenceSource::Ntp) return "";
    // Under the server's assumptions the system clock's offset from it moves by at most the
    // carry rate between the two readings, and each offset is within its own bound.
    const double between = std::fabs(b.monotonic - a.monotonic);
    const double moved = std::fabs(b.offset - a.offset);
    if (moved <= a.error + b.error + a.carryRate * between) return "";
    char text[240];
    std::snprintf(text, sizeof text,
                  "the system clock moved %.3f ms against NTP server %s over the run's %.0f s, "
                  "more than NTP's %.0f ppm allows (a daemon slewing it): the server's bound "
                  "does not hold between its readings",
                  moved * 1000, b.server.c_str(), between, a.carryRate * 1e6);
    return text;
}

void RunReference::Sample() {
    if (!started_ || ended_ || choice_.source != ReferenceSource::Kernel) return;
    const ReferenceTaken t = ReadReference(choice_, clocks_, {});
    if (!t.ok || t.fellBack) return;
    samples_.push_back({systemSeconds_ ? systemSeconds_() : 0, t.reading});
}

check::ReferenceError RunReference::At(double systemSeconds) const {
    check::ReferenceError r;
    if (!started_) {
        r.seconds = choice_.assumedErrorSeconds;
        r.source = "assumed";
        return r;
    }
    // Every reading is a bound there once carried; the tightest one stands.
    const int64_t utc = utcAtStart_ + std::llround((systemSeconds - systemAtStart_) * 1e9);
    double best = INFINITY;
    const auto consider = [&](const ReferenceReading& reading, const std::string& source) {
        // The counter at that instant: the run's system clock and the counter move together
        // within the slew the carry allows for (the run's own measurement finds steps).
        const double monotonic =
            reading.monotonic + static_cast<double>(utc - reading.utcNanos) / 1e9;
        double error = reading.error;
        std::string why;
        if (!CarryReference(reading, utc, monotonic, clocks_.systemResolutionSeconds, &error,
                            &why) ||
            !(error < best)) {
            return;
        }
        best = error;
        r.seconds = error;
        r.correctionSeconds = reading.offset;
        r.source = source;
    };
    consider(start_.reading, SourceText(false));
    for (const Sampled& s : samples_) consider(s.reading, ReferenceSourceName(s.reading.source));
    if (ended_) consider(end_.reading, SourceText(true));
    return r;
}

std::string RunReference::SourceText(bool end) const {
    const ReferenceTaken& t = end ? end_ : start_;
    std::string s = ReferenceSourceName(t.reading.source);
    if (t.reading.source == ReferenceSource::Ntp) s += " " + t.reading.server;
    if (t.fellBack) s += " (fallback)";
    return s;
}

double RunReference::ErrorMs(bool end) const {
    const bool read = end ? ended_ : started_;
    return read ? (end ? end_ : start_).reading.error * 1000 : NAN;
}

std::string RunReference::Why() const {
    const auto one = [&](const ReferenceTaken& t) {
        const ReferenceReading& r = t.reading;
        std::string s;
        switch (r.source) {
            case ReferenceSource::Ntp: {
                const ntp::NtpSample& n = t.ntp.best;
                char text[240];
                std::snprintf(text, sizeof text,
                              "NTP server %s, stratum %d: system clock %+.3f ms from it, within "
                              "%.3f ms (a strict bound under NTP's assumptions)",
                              r.server.c_str(), n.stratum, Shown(-n.offsetSeconds * 1000),
                              r.error * 1000);
                s = text;
                break;
            }
            case ReferenceSource::Kernel:
                s = "the kernel's maximum error of the synchronised system clock (adjtimex), " +
                    Ms(r.error);
                break;
            case ReferenceSource::Assumed:
                s = "assumed within " + Ms(r.error);
                if (t.fellBack) s += " (" + t.fallenBecause + ")";
                break;
        }
        return s;
    };
    if (!started_) return "";
    if (!ended_) return "at the start: " + one(start_);
    return "at the start: " + one(start_) + "; at the end: " + one(end_);
}

}  // namespace kalendo::marks

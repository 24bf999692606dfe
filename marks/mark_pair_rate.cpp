#include "marks/mark_pair_rate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalendo::marks {

namespace {

constexpr double kPpm = 1e6;

std::string Hex2(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFF);
    return text;
}

std::string BoardText(const BoardIdentity& b) {
    return b.description + " " + b.serial;
}
// What RAM register 0x07 is known to hold after a mark, and whether a seal put it there: a seal
// written, or found again where one was left. A byte that no seal put there (the user's own use
// of the register) sets no expectation, so it can break nothing.
struct RamKnowledge {
    int value = -1;
    bool sealed = false;
    const Mark* setter = nullptr;
};

void Observe(const Mark& m, RamKnowledge* k) {
    if (m.sealWritten >= 0) {
        *k = {m.sealWritten, true, &m};
    } else if (m.sealFound >= 0 && !(k->sealed && m.sealFound == k->value)) {
        *k = {m.sealFound, false, &m};
    }
}

}  // namespace

void TrueInstant(const Mark& mark, int64_t originUtcNanos, double* low, double* high) {
    const double offset = mark.reference.offsetSeconds;
    const double error = mark.reference.errorSeconds;
    *low = static_cast<double>(mark.earlyUtcNanos - originUtcNanos) / 1e9 + offset - error;
    *high = static_cast<double>(mark.lateUtcNanos - originUtcNanos) / 1e9 + offset + error;
}

std::string SealBreak(const Mark& earlier, const Mark& later, const MarkStore& store) {
    // The board's marks in time order, `later` last: the register is followed along them, since
    // a mark may have written a new seal.
    std::vector<const Mark*> chain;
    for (const Mark& m : store.marks) {
        if (m.board == earlier.board && m.MiddleUtcNanos() < later.MiddleUtcNanos() &&
            m.MiddleUtcNanos() != earlier.MiddleUtcNanos()) {
            chain.push_back(&m);
        }
    }
    chain.push_back(&earlier);
    std::sort(chain.begin(), chain.end(), [](const Mark* a, const Mark* b) {
        return a->MiddleUtcNanos() < b->MiddleUtcNanos();
    });
    chain.push_back(&later);
    RamKnowledge known;
    bool after = false;  // past `earlier`: a break from here on lies between the two marks
    for (const Mark* m : chain) {
        if (after && known.sealed && m->sealFound >= 0 && m->sealFound != known.value) {
            return "RAM register 0x07 held " + Hex2(m->sealFound) + " at the mark of " +
                   UtcText(m->MiddleUtcNanos()).substr(0, 19) + "Z, not the seal " +
                   Hex2(known.value) + " left at " +
                   UtcText(known.setter->MiddleUtcNanos()).substr(0, 19) +
                   "Z: the RTC lost power or the register was written in between";
        }
        Observe(*m, &known);
        after = after || m == &earlier;
    }
    return "";
}

PairRate RateBetween(const Mark& earlier, const Mark& later, const MarkStore& store,
                     const PairSettings& settings) {
    PairRate r;
    if (!earlier.board.SameBridge(later.board)) {
        r.reason = "a different board (" + BoardText(earlier.board) + ", the new mark's is " +
                   BoardText(later.board) + ")";
        return r;
    }
    if (earlier.board.model != later.board.model) {
        r.reason = "a different RTC model (" + earlier.board.model + ", the new mark's is " +
                   later.board.model + ")";
        return r;
    }
    for (const TimeWriteEvent& e : store.events) {
        if (e.board.SameBridge(earlier.board) && e.utcNanos >= earlier.earlyUtcNanos &&
            e.utcNanos <= later.lateUtcNanos) {
            r.reason = "the program wrote the RTC's time between the marks: " + e.what + " (" +
                       UtcText(e.utcNanos).substr(0, 19) + "Z)";
            return r;
        }
    }
    const std::string seal = SealBreak(earlier, later, store);
    if (!seal.empty()) {
        r.reason = seal;
        return r;
    }

    double aLow, aHigh, bLow, bHigh;
    TrueInstant(earlier, earlier.earlyUtcNanos, &aLow, &aHigh);
    TrueInstant(later, earlier.earlyUtcNanos, &bLow, &bHigh);
    r.rtcSeconds = RtcSecondsSince2000(later.rtc) - RtcSecondsSince2000(earlier.rtc);
    r.spanMinSeconds = bLow - aHigh;
    r.spanMaxSeconds = bHigh - aLow;
    r.spanSeconds = (r.spanMinSeconds + r.spanMaxSeconds) / 2;
    if (!(r.spanMinSeconds > 0)) {
        r.reason = "the marks are too close together: their intervals on the reference overlap";
        return r;
    }
    const double n = static_cast<double>(r.rtcSeconds);
    const double low = (n / r.spanMaxSeconds - 1) * kPpm;
    const double high = (n / r.spanMinSeconds - 1) * kPpm;
    if (low > settings.plausiblePpm || high < -settings.plausiblePpm) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the RTC was set or stopped between the marks: it counted %lld s where the "
                      "reference saw %.3f s (%+.0f ppm, beyond the plausible +-%.0f ppm)",
                      static_cast<long long>(r.rtcSeconds), r.spanSeconds,
                      (n / r.spanSeconds - 1) * kPpm, settings.plausiblePpm);
        r.reason = text;
        return r;
    }
    r.ppm = (low + high) / 2;
    r.boundPpm = (high - low) / 2;
    r.monthlySeconds = r.ppm / kPpm * kDataSheetMonthSeconds;
    r.monthlyBoundSeconds = r.boundPpm / kPpm * kDataSheetMonthSeconds;
    r.valid = true;
    return r;
}

}  // namespace kalendo::marks

#include "marks/since_text.h"

#include <cmath>
#include <cstdio>

namespace kalendo::marks {

namespace {

std::string Fixed(double value, int decimals, bool sign = false) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string ReferenceShortText(const Mark& m) {
    std::string text = ReferenceSourceName(m.reference.source);
    if (m.reference.source == ReferenceSource::Ntp) text += " " + m.reference.server;
    return text + ", " + Fixed(m.reference.errorSeconds * 1000, 3) + " ms";
}

check::Verdict SinceVerdict(const PairRate& rate, double tolerancePpm) {
    if (!rate.valid || std::isnan(tolerancePpm)) return check::Verdict::Undecided;
    return check::WithinPlusMinus(rate.ppm, rate.boundPpm, tolerancePpm);
}

std::string SinceRowText(const SinceRow& row, double tolerancePpm) {
    const PairRate& p = row.rate;
    const std::string head = "since " + UtcText(row.earlier.MiddleUtcNanos()).substr(0, 19) +
                             "Z (" + ReferenceShortText(row.earlier) + "): ";
    if (!p.valid) return head + "no rate: " + p.reason;
    return head + Fixed(p.spanSeconds / 86400, 3) + " days, " + Fixed(p.ppm, 3, true) + " +- " +
           Fixed(p.boundPpm, 3) + " ppm (strict bound), " + Fixed(p.monthlySeconds, 2, true) +
           " +- " + Fixed(p.monthlyBoundSeconds, 2) + " s/month (x 30 days)" +
           (std::isnan(tolerancePpm) ? std::string(": no figure to judge by")
                                     : " (data sheet: +/-" + Fixed(tolerancePpm, 1) + " ppm): " +
                                           check::VerdictWord(SinceVerdict(p, tolerancePpm)));
}

std::string AgingText(const AgingFit& a) {
    if (!a.valid) return "none: " + a.reason;
    return Fixed(a.ppmPerYear, 3, true) + " +- " + Fixed(a.boundPpmPerYear, 3) + " ppm/year over " +
           std::to_string(a.marksUsed) + " marks and " + Fixed(a.spanDays, 1) +
           " days (strict bound, for a rate that changes steadily); rate now " +
           Fixed(a.ratePpmAtLast, 3, true) + " +- " + Fixed(a.rateBoundPpmAtLast, 3) + " ppm";
}

}  // namespace kalendo::marks

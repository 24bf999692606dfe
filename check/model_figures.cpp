#include "check/model_figures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kalendo::check {

namespace {

// A non-negative finite number at text, and where it ended.
bool NumberAt(const char* text, double* value, const char** end) {
    while (*text == ' ') ++text;
    char* stop = nullptr;
    const double v = std::strtod(text, &stop);
    if (stop == text || !std::isfinite(v) || v < 0) return false;
    *value = v;
    *end = stop;
    return true;
}

}  // namespace

double PlusMinusValue(const std::string& field) {
    const size_t at = field.find("+/-");
    double v = 0;
    const char* end = nullptr;
    if (at == std::string::npos || !NumberAt(field.c_str() + at + 3, &v, &end)) return NAN;
    return v;
}

double MicroampsValue(const std::string& field) {
    double v = 0;
    const char* end = nullptr;
    if (!NumberAt(field.c_str(), &v, &end)) return NAN;
    while (*end == ' ') ++end;
    if (std::strncmp(end, "uA", 2) == 0) return v;
    if (std::strncmp(end, "nA", 2) == 0) return v / 1000;
    if (std::strncmp(end, "mA", 2) == 0) return v * 1000;
    return NAN;
}

bool VoltRange(const std::string& field, double* low, double* high) {
    double a = 0, b = 0;
    const char* end = nullptr;
    if (!NumberAt(field.c_str(), &a, &end)) return false;
    while (*end == ' ') ++end;
    if (std::strncmp(end, "to", 2) != 0 || !NumberAt(end + 2, &b, &end) || b < a) return false;
    *low = a;
    *high = b;
    return true;
}

ModelFigures FiguresOf(const ModelInfo& record) {
    ModelFigures f;
    f.tolerancePpm = PlusMinusValue(record.fields[kModelFrequencyTolerance]);
    f.monthlySeconds = PlusMinusValue(record.fields[kModelMonthlyDeviation]);
    f.typicalMicroamps = MicroampsValue(record.fields[kModelTypicalCurrent]);
    if (!VoltRange(record.fields[kModelVclk], &f.vclkMinVolts, &f.vclkMaxVolts)) {
        f.vclkMinVolts = f.vclkMaxVolts = NAN;
    }
    if (!VoltRange(record.fields[kModelSupplyVoltage], &f.supplyMinVolts, &f.supplyMaxVolts)) {
        f.supplyMinVolts = f.supplyMaxVolts = NAN;
    }
    return f;
}

const char* VerdictWord(Verdict v) {
    switch (v) {
        case Verdict::Pass:
            return "pass";
        case Verdict::Fail:
            return "fail";
        case Verdict::Undecided:
            break;
    }
    return "undecided";
}

Verdict WithinPlusMinus(double value, double uncertainty, double limit) {
    if (std::fabs(value) + uncertainty <= limit) return Verdict::Pass;
    if (std::fabs(value) - uncertainty > limit) return Verdict::Fail;
    return Verdict::Undecided;
}

Verdict AtMost(double value, double uncertainty, double limit) {
    if (value + uncertainty <= limit) return Verdict::Pass;
    if (value - uncertainty > limit) return Verdict::Fail;
    return Verdict::Undecided;
}

Verdict AtLeast(double value, double uncertainty, double limit) {
    if (value - uncertainty >= limit) return Verdict::Pass;
    if (value + uncertainty < limit) return Verdict::Fail;
    return Verdict::Undecided;
}

}  // namespace kalendo::check

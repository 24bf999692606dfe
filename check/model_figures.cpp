#include "check/model_figures.h"

#include <cctype>
#include <cmath>
#include <cstdio>
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

namespace {

// A number with its sign ("-40", "+85", "25") at text, and where it ended.
bool SignedAt(const char* text, double* value, const char** end) {
    while (*text == ' ') ++text;
    char* stop = nullptr;
    const double v = std::strtod(text, &stop);
    if (stop == text || !std::isfinite(v)) return false;
    *value = v;
    *end = stop;
    return true;
}

// A unit of the last digit of the number after "+/-": 0.1 for "9.9", 1 for "52".
double DigitOf(const std::string& field) {
    const size_t at = field.find("+/-");
    if (at == std::string::npos) return NAN;
    size_t i = at + 3;
    while (i < field.size() && field[i] == ' ') ++i;
    int decimals = 0;
    bool point = false;
    for (; i < field.size() && (std::isdigit(static_cast<unsigned char>(field[i])) || field[i] == '.');
         ++i) {
        if (field[i] == '.') {
            point = true;
        } else if (point) {
            ++decimals;
        }
    }
    return std::pow(10.0, -decimals);
}

}  // namespace

TemperatureCondition ConditionOf(const std::string& field) {
    TemperatureCondition c;
    const size_t open = field.find('(', field.find("+/-") == std::string::npos ? 0 : field.find("+/-"));
    if (open == std::string::npos) return c;
    double a = 0, b = 0;
    const char* end = nullptr;
    if (!SignedAt(field.c_str() + open + 1, &a, &end)) return c;
    while (*end == ' ') ++end;
    if (*end == ')') {
        c.known = c.point = true;
        c.low = c.high = a;
        return c;
    }
    if (std::strncmp(end, "to", 2) != 0 || !SignedAt(end + 2, &b, &end) || b < a) return c;
    while (*end == ' ') ++end;
    if (*end != ')') return c;
    c.known = true;
    c.low = a;
    c.high = b;
    return c;
}

std::string ConditionText(const TemperatureCondition& c) {
    if (!c.known) return "";
    char text[64];
    if (c.point) {
        std::snprintf(text, sizeof text, "at %+g C", c.low);
    } else {
        std::snprintf(text, sizeof text, "over %+g to %+g C", c.low, c.high);
    }
    return text;
}

bool ConditionMet(const TemperatureCondition& c, double low, double high, double error) {
    if (!c.known || !std::isfinite(low) || !std::isfinite(high)) return false;
    const double slack = c.point ? kPointConditionCelsius : 0;
    return low - error >= c.low - slack && high + error <= c.high + slack;
}

bool MonthlyIsToleranceOverAMonth(const ModelFigures& f) {
    const double month = f.tolerancePpm * 1e-6 * kSecondsPerDataSheetMonth;
    return std::isfinite(month) && std::isfinite(f.monthlySeconds) &&
           std::fabs(month - f.monthlySeconds) < f.monthlyDigitSeconds;
}

ModelFigures FiguresOf(const ModelInfo& record) {
    ModelFigures f;
    f.tolerancePpm = PlusMinusValue(record.fields[kModelFrequencyTolerance]);
    f.toleranceCondition = ConditionOf(record.fields[kModelFrequencyTolerance]);
    f.monthlySeconds = PlusMinusValue(record.fields[kModelMonthlyDeviation]);
    f.monthlyDigitSeconds = DigitOf(record.fields[kModelMonthlyDeviation]);
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
        case Verdict::AboveTypical:
            return "above typical";
        case Verdict::NotAtCondition:
            return "not at the figure's temperature";
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

Verdict AtMostTypical(double value, double uncertainty, double typical) {
    const Verdict v = AtMost(value, uncertainty, typical);
    return v == Verdict::Fail ? Verdict::AboveTypical : v;
}

Verdict AtLeast(double value, double uncertainty, double limit) {
    if (value - uncertainty >= limit) return Verdict::Pass;
    if (value + uncertainty < limit) return Verdict::Fail;
    return Verdict::Undecided;
}

}  // namespace kalendo::check

// The figures of a model-file record that the data-sheet check measures against, read from the
// record's texts ("+/-3.8 (-40 to +85)", "0.8 uA", "1.6 to 5.5"), and the verdict of a measured
// value with its uncertainty against such a figure.
#pragma once

#include <string>

#include "rtc/model_info.h"

namespace kalendo::check {

// NaN where the record has no such figure (a field that does not read as one).
struct ModelFigures {
    double tolerancePpm;      // frequency tolerance, +-
    double monthlySeconds;    // monthly deviation, +-
    double typicalMicroamps;  // typical current at 3 V
    double vclkMinVolts;      // timekeeping voltage range
    double vclkMaxVolts;
    double supplyMinVolts;  // supply (interface) voltage range
    double supplyMaxVolts;
};

ModelFigures FiguresOf(const ModelInfo& record);

// The number after "+/-" ("+/-3.8 (-40 to +85)"); NaN if none.
double PlusMinusValue(const std::string& field);
// A current with its unit ("0.8 uA", "450 nA", "1.2 mA") in microamps; NaN if none.
double MicroampsValue(const std::string& field);
// "1.6 to 5.5": false when the field is no such range.
bool VoltRange(const std::string& field, double* low, double* high);

enum class Verdict { Pass, Fail, Undecided };

const char* VerdictWord(Verdict v);  // "pass", "fail", "undecided"

// value +- uncertainty against +-limit: pass when the whole range lies within it, fail when
// none of it does, undecided while the range straddles the limit.
Verdict WithinPlusMinus(double value, double uncertainty, double limit);
// value +- uncertainty against an upper limit (a current), and a lower one (a threshold).
Verdict AtMost(double value, double uncertainty, double limit);
Verdict AtLeast(double value, double uncertainty, double limit);

}  // namespace kalendo::check

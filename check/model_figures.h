// The figures of a model-file record that the data-sheet check measures against, read from the
// record's texts ("+/-3.8 (-40 to +85)", "0.8 uA", "1.6 to 5.5"), and the verdict of a measured
// value with its uncertainty against such a figure.
#pragma once

#include <string>

#include "rtc/model_info.h"

namespace kalendo::check {

// The temperature a figure holds at: over a range ("+/-3.8 (-40 to +85)") or at one point
// ("+/-20 (+25)"). Not known when the field names none.
struct TemperatureCondition {
    bool known = false;
    bool point = false;  // the figure holds at `low` (= `high`) only
    double low = 0, high = 0;
};

// A figure stated "at +25" holds within this of it, as a lab keeps its room.
constexpr double kPointConditionCelsius = 2.0;

// NaN where the record has no such figure (a field that does not read as one).
struct ModelFigures {
    double tolerancePpm;      // frequency tolerance, +-
    TemperatureCondition toleranceCondition;
    double monthlySeconds;    // monthly deviation, +-
    double monthlyDigitSeconds;  // a unit of the monthly figure's last digit (0.1 for "9.9")
    double typicalMicroamps;  // typical current at 3 V
    double vclkMinVolts;      // timekeeping voltage range
    double vclkMaxVolts;
    double supplyMinVolts;  // supply (interface) voltage range
    double supplyMaxVolts;
};

ModelFigures FiguresOf(const ModelInfo& record);

// The number after "+/-" ("+/-3.8 (-40 to +85)"); NaN if none.
double PlusMinusValue(const std::string& field);
// The condition in brackets after it: "(-40 to +85)", "(+25)".
TemperatureCondition ConditionOf(const std::string& field);
// "over -40 to +85 C", "at +25 C", "" when not known.
std::string ConditionText(const TemperatureCondition& c);
// Whether temperatures from low to high (each within +-error of the truth) all lie where the
// figure holds.
bool ConditionMet(const TemperatureCondition& c, double low, double high, double error);

// The data sheets' month: a tolerance in ppm times 30 days (3.8 ppm: 9.85 s, printed 9.9).
constexpr double kSecondsPerDataSheetMonth = 30 * 86400.0;
// The model file's monthly deviation is its tolerance over that month, within a unit of the
// figure's last digit (data sheets round twice: 3.8 ppm, 9.8496 s, 9.85, 9.9): the two rows are
// then one measurement shown twice, and must read the same.
bool MonthlyIsToleranceOverAMonth(const ModelFigures& f);
// A current with its unit ("0.8 uA", "450 nA", "1.2 mA") in microamps; NaN if none.
double MicroampsValue(const std::string& field);
// "1.6 to 5.5": false when the field is no such range.
bool VoltRange(const std::string& field, double* low, double* high);

// AboveTypical: a typical figure surely exceeded, which the data sheet does not forbid.
// NotAtCondition: compared with a figure whose temperature the run did not have (or did not
// read); the row's note says how the comparison went.
enum class Verdict { Pass, Fail, Undecided, AboveTypical, NotAtCondition };

// "pass", "fail", "undecided", "above typical", "not at the figure's temperature"
const char* VerdictWord(Verdict v);

// value +- uncertainty against +-limit: pass when the whole range lies within it, fail when
// none of it does, undecided while the range straddles the limit.
Verdict WithinPlusMinus(double value, double uncertainty, double limit);
// value +- uncertainty against an upper limit (a current), and a lower one (a threshold).
Verdict AtMost(double value, double uncertainty, double limit);
// Against a typical figure: at or below it passes, surely above it is "above typical".
Verdict AtMostTypical(double value, double uncertainty, double typical);
Verdict AtLeast(double value, double uncertainty, double limit);

}  // namespace kalendo::check

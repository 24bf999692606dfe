#include "cli/command_line.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kalendo::cli {

namespace {

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Two-digit fields separated by ':'; every field within its limit.
bool ParseColonFields(const std::string& text, int count, const int* limits, int* out) {
    if (text.size() != static_cast<size_t>(count * 3 - 1)) return false;
    for (int i = 0; i < count; ++i) {
        const std::string field = text.substr(i * 3, 2);
        if (!AllDigits(field)) return false;
        if (i + 1 < count && text[i * 3 + 2] != ':') return false;
        out[i] = std::atoi(field.c_str());
        if (out[i] > limits[i]) return false;
    }
    return true;
}

bool LeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line,
                      std::string* error) {
    *line = CommandLine();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--json") {
            line->json = true;
        } else if (a == "--help" || a == "-h") {
            line->help = true;
        } else if (a == "--version") {
            line->version = true;
        } else if (a == "--model" || a.rfind("--model=", 0) == 0) {
            std::string value;
            if (a == "--model") {
                if (i + 1 >= arguments.size()) {
                    *error = "--model needs TQ5100 or TQ5200";
                    return false;
                }
                value = arguments[++i];
            } else {
                value = a.substr(8);
            }
            if (value == "TQ5100") {
                line->model = RtcModelChoice::Tq5100;
            } else if (value == "TQ5200") {
                line->model = RtcModelChoice::Tq5200;
            } else {
                *error = "--model \"" + value + "\": the models are TQ5100 and TQ5200";
                return false;
            }
        } else {
            line->words.push_back(a);
        }
    }
    return true;
}

bool ParseClockTime(const std::string& text, int* hour, int* minute, int* second) {
    static const int limits[] = {23, 59, 59};
    int f[3];
    if (!ParseColonFields(text, 3, limits, f)) return false;
    *hour = f[0], *minute = f[1], *second = f[2];
    return true;
}

bool ParseAlarmTime(const std::string& text, int* hour, int* minute) {
    static const int limits[] = {23, 59};
    int f[2];
    if (!ParseColonFields(text, 2, limits, f)) return false;
    *hour = f[0], *minute = f[1];
    return true;
}

bool ParseCalendarDate(const std::string& text, int* year, int* month, int* day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    const std::string y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
    if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return false;
    const int yv = std::atoi(y.c_str()), mv = std::atoi(m.c_str()), dv = std::atoi(d.c_str());
    if (yv < 2000 || yv > 2099 || mv < 1 || mv > 12 || dv < 1 || dv > DaysInMonth(yv, mv)) {
        return false;
    }
    *year = yv, *month = mv, *day = dv;
    return true;
}

bool ParseWholeNumber(const std::string& text, long low, long high, long* value) {
    if (!AllDigits(text) || text.size() > 9) return false;
    const long v = std::atol(text.c_str());
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

bool ParseDecimal(const std::string& text, double low, double high, double* value) {
    // Digits with at most one decimal point: no signs, exponents or "inf".
    int points = 0, digits = 0;
    for (char c : text) {
        if (c == '.') {
            ++points;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
        } else {
            return false;
        }
    }
    if (digits == 0 || points > 1) return false;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!(v >= low) || v > high) return false;
    *value = v;
    return true;
}

bool ParseReferenceError(const std::string& text, double* milliseconds) {
    return ParseDecimal(text, 0, 10000, milliseconds);
}

std::string ReferenceErrorUsage(const std::string& text) {
    return "--reference-error-ms \"" + text + "\" is no number of milliseconds from 0 to 10000";
}

bool ParseMinutes(const std::string& text, double* minutes) {
    double v = 0;
    if (!ParseDecimal(text, 0, 7 * 24 * 60, &v) || !(v > 0)) return false;
    *minutes = v;
    return true;
}

bool ParseSupplyTenths(const std::string& text, int* tenths) {
    // "3", "3.5" or "0.1": whole volts and at most one decimal.
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "0" : text.substr(point + 1);
    if (!AllDigits(whole) || whole.size() > 1 || !AllDigits(fraction) || fraction.size() != 1) {
        return false;
    }
    const int t = (whole[0] - '0') * 10 + (fraction[0] - '0');
    if (t < 1 || t > 40) return false;
    *tenths = t;
    return true;
}

bool ParseWeekday(const std::string& text, int* weekday) {
    static const char* const names[] = {"sunday",   "monday", "tuesday", "wednesday",
                                        "thursday", "friday", "saturday"};
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int d = 0; d < 7; ++d) {
        const std::string name = names[d];
        if (lower == name || lower == name.substr(0, 3)) {
            *weekday = d;
            return true;
        }
    }
    return false;
}

int DayOfWeek(int year, int month, int day) {
    // Zeller's congruence, shifted so that 0 is Sunday.
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    const int k = year % 100, j = year / 100;
    const int h = (day + 13 * (month + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;
    return (h + 6) % 7;
}

}  // namespace kalendo::cli

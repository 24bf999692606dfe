// The command line of kalendo-cli: the global switches, and strict parsers for every value a
// command takes. A value that does not parse is refused before anything touches the bus.
#pragma once

#include <string>
#include <vector>

namespace kalendo::cli {

// Exit status: scripts tell a failed board apart from a mistyped command.
constexpr int kExitOk = 0;
constexpr int kExitBoardFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCheckFailed = 3;  // check: a row failed or stayed undecided

enum class RtcModelChoice { Tq5100, Tq5200 };

struct CommandLine {
    bool json = false;
    bool help = false;
    bool version = false;
    RtcModelChoice model = RtcModelChoice::Tq5100;
    std::vector<std::string> words;  // the command and its own arguments and options
};

// Takes --json, --model TQ5100|TQ5200, --help / -h and --version wherever they stand; the rest are the
// command's words, in order. False with the reason for a bad or incomplete --model.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line,
                      std::string* error);

// "HH:MM:SS", 24-hour, two digits each.
bool ParseClockTime(const std::string& text, int* hour, int* minute, int* second);
// "HH:MM", 24-hour, two digits each.
bool ParseAlarmTime(const std::string& text, int* hour, int* minute);
// "YYYY-MM-DD" of a real day in 2000-2099, the years the RTC holds.
bool ParseCalendarDate(const std::string& text, int* year, int* month, int* day);
// A decimal integer within [low, high], digits only.
bool ParseWholeNumber(const std::string& text, long low, long high, long* value);
// A decimal number within [low, high]: digits with at most one point, no sign ("0.25", "10").
bool ParseDecimal(const std::string& text, double low, double high, double* value);
// --reference-error-ms: how far the system clock may be from true time, 0 to 10000 ms.
constexpr double kDefaultReferenceErrorMs = 10;
bool ParseReferenceError(const std::string& text, double* milliseconds);
std::string ReferenceErrorUsage(const std::string& text);
// A positive decimal number of minutes, at most a week ("0.25", "10").
bool ParseMinutes(const std::string& text, double* minutes);
// Supply volts "0.1" to "4.0" in steps of a tenth (the supply table's rows); gives tenths.
bool ParseSupplyTenths(const std::string& text, int* tenths);
// "Sunday" .. "Saturday" (any case, or the first three letters); 0 is Sunday.
bool ParseWeekday(const std::string& text, int* weekday);

// 0 (Sunday) to 6 (Saturday) for a Gregorian date.
int DayOfWeek(int year, int month, int day);

}  // namespace kalendo::cli

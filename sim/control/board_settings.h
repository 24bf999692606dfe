// The simulated board's settings, one entry each in the table behind BoardSettings(): the
// control command that changes it, its argument, what it does, and its environment variable.
// A new setting is one entry there (and its apply function); the control file, kalendo-sim-ctl,
// KalendoSim_Execute and the environment then all know it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalendo::sim {

class EvaluationBoardChips;
class SimulatedLibrary;
struct BoardSetting;

// The range of the pin-command time (pin-ns, KALENDO_SIM_PIN_NS).
constexpr uint32_t kMinPinNs = 10;
constexpr uint32_t kMaxPinNs = 100000;
// The crystal error's range (ppm, KALENDO_SIM_PPM) and its curvature's (KALENDO_SIM_TEMPCO):
// wide enough for a broken crystal, narrow enough that the clock always runs forwards.
constexpr double kMaxCrystalPpm = 100000.0;
constexpr double kMaxCrystalTempco = 1.0;
// Aging (KALENDO_SIM_AGING): far beyond a real crystal's few ppm a year, yet within the error's
// range above for a year.
constexpr double kMaxCrystalAging = 100000.0;

enum class SettingArgument {
    None,           // no argument
    Word,           // exactly the entry's word ("supply auto", "clock virtual")
    OnOff,          // on|off, into ControlCommand::on
    Unsigned,       // a whole number from low to high (decimal or 0x), into value
    Real,           // a number from low to high, into number
    Nth,            // n from 1 | always | off, into nth (n, -1, 0)
    UnsignedOnOff,  // a whole number up to high, then on|off
};

// What a setting acts on: the library always, the chips when the board has them.
struct SettingTarget {
    SimulatedLibrary& library;
    EvaluationBoardChips* chips;
};

// One setting with its arguments as parsed (control_command.h parses the text).
struct ControlCommand {
    const BoardSetting* setting = nullptr;
    uint32_t value = 0;  // address, milliseconds, status or list position
    int64_t nth = 0;     // short transfers: the nth call from now, -1 every call, 0 none
    double number = 0;   // volts or degrees
    bool on = false;
};

using ApplySetting = bool (*)(const SettingTarget& target, const ControlCommand& command,
                              std::string* error);

struct BoardSetting {
    const char* command;  // the control command's first word
    const char* word;     // SettingArgument::Word: the one word it takes; otherwise null
    SettingArgument argument;
    double low;
    double high;
    const char* usage;  // shown after "usage: " when the arguments are wrong
    // False with a message when it cannot be done now.
    ApplySetting apply;
    // Needs the chip models: refused without them, applied under the library's lock.
    bool needsChips = false;
    const char* environment = nullptr;  // its environment variable, if it has one
    // Applied, in the command's words, each time the board is built, before the variable.
    const char* defaultValue = nullptr;
    // The variable holds items separated by ','; each is applied as "<item> on".
    bool environmentList = false;
};

// Every setting, in the order the environment's values are applied.
const BoardSetting* BoardSettings(size_t* count);
// "supply auto" for a Word entry, otherwise the command.
std::string SettingName(const BoardSetting& setting);
// The entry of that name; null when there is none.
const BoardSetting* FindBoardSetting(const std::string& name);

}  // namespace kalendo::sim

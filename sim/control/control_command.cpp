#include "sim/control/control_command.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace kalendo::sim {

namespace {

bool ParseUnsigned(const std::string& t, uint32_t max, uint32_t* out) {
    if (t.empty() || t[0] == '-' || t[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(t.c_str(), &end, 0);
    if (errno || *end != '\0' || v > max) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool ParseReal(const std::string& t, double low, double high, double* out) {
    if (t.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (errno || *end != '\0' || !std::isfinite(v) || v < low || v > high) return false;
    *out = v;
    return true;
}

bool ParseOnOff(const std::string& t, bool* on) {
    if (t == "on") return *on = true, true;
    if (t == "off") return *on = false, true;
    return false;
}

// The arguments after the command word, as the setting takes them.
bool ParseArguments(const BoardSetting& s, const std::vector<std::string>& words,
                    ControlCommand* c) {
    const size_t args = words.size() - 1;
    const std::string arg = args >= 1 ? words[1] : "";
    switch (s.argument) {
        case SettingArgument::None:
            return args == 0;
        case SettingArgument::Word:
            return args == 1 && arg == s.word;
        case SettingArgument::OnOff:
            return args == 1 && ParseOnOff(arg, &c->on);
        case SettingArgument::Unsigned:
            return args == 1 && ParseUnsigned(arg, static_cast<uint32_t>(s.high), &c->value) &&
                   c->value >= s.low;
        case SettingArgument::Real:
            return args == 1 && ParseReal(arg, s.low, s.high, &c->number);
        case SettingArgument::Nth: {
            if (args == 1 && arg == "always") return c->nth = -1, true;
            if (args == 1 && arg == "off") return c->nth = 0, true;
            uint32_t n = 0;
            const bool ok = args == 1 && ParseUnsigned(arg, 0xFFFFFFFFu, &n) && n > 0;
            c->nth = n;
            return ok;
        }
        case SettingArgument::UnsignedOnOff:
            return args == 2 && ParseUnsigned(words[1], static_cast<uint32_t>(s.high), &c->value) &&
                   ParseOnOff(words[2], &c->on);
    }
    return false;
}

}  // namespace

bool ParseControlCommand(const std::string& line, ControlCommand* command, std::string* error) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (error) error->clear();
    if (words.empty() || words[0][0] == '#') return false;

    const std::string& verb = words[0];
    const BoardSetting* usage = nullptr;
    size_t count = 0;
    const BoardSetting* settings = BoardSettings(&count);
    // A command word may have several entries ("supply auto", "supply <volts>"): the first
    // whose arguments fit.
    for (size_t i = 0; i < count; ++i) {
        if (verb != settings[i].command) continue;
        if (!usage) usage = &settings[i];
        ControlCommand c;
        c.setting = &settings[i];
        if (ParseArguments(settings[i], words, &c)) {
            *command = c;
            return true;
        }
    }
    if (error) {
        *error = usage ? "\"" + line + "\": usage: " + usage->usage
                       : "unknown command \"" + verb + "\"";
    }
    return false;
}

}  // namespace kalendo::sim

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

}  // namespace

bool ParseControlCommand(const std::string& line, ControlCommand* command, std::string* error) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (error) error->clear();
    if (words.empty() || words[0][0] == '#') return false;

    using Kind = ControlCommand::Kind;
    ControlCommand c;
    const std::string& verb = words[0];
    const size_t args = words.size() - 1;
    const std::string arg = args >= 1 ? words[1] : "";
    bool ok = false;
    std::string usage;
    if (verb == "unplug" || verb == "plugback" || verb == "event") {
        c.kind = verb == "unplug"     ? Kind::Unplug
                 : verb == "plugback" ? Kind::PlugBack
                                      : Kind::Event;
        ok = args == 0;
        usage = verb;
    } else if (verb == "ack") {
        c.kind = Kind::AddressAck;
        ok = args == 2 && ParseUnsigned(words[1], 0x7F, &c.value) && ParseOnOff(words[2], &c.on);
        usage = "ack <7-bit address> on|off";
    } else if (verb == "supply") {
        if (args == 1 && arg == "auto") {
            c.kind = Kind::SupplyAuto;
            ok = true;
        } else {
            c.kind = Kind::Supply;
            ok = args == 1 && ParseReal(arg, 0.0, 6.0, &c.number);
        }
        usage = "supply <volts 0-6> | supply auto";
    } else if (verb == "battery") {
        c.kind = Kind::Battery;
        ok = args == 1 && ParseReal(arg, 0.0, 6.0, &c.number);
        usage = "battery <volts 0-6>";
    } else if (verb == "temperature") {
        c.kind = Kind::Temperature;
        ok = args == 1 && ParseReal(arg, -60.0, 150.0, &c.number);
        usage = "temperature <celsius -60 to 150>";
    } else if (verb == "ppm") {
        c.kind = Kind::CrystalPpm;
        ok = args == 1 && ParseReal(arg, -kMaxCrystalPpm, kMaxCrystalPpm, &c.number);
        usage = "ppm <crystal error -100000 to 100000>";
    } else if (verb == "tempco") {
        c.kind = Kind::CrystalTempco;
        ok = args == 1 && ParseReal(arg, -kMaxCrystalTempco, kMaxCrystalTempco, &c.number);
        usage = "tempco <ppm per degree squared -1 to 1>";
    } else if (verb == "clock") {
        c.kind = arg == "virtual" ? Kind::ClockVirtual : Kind::ClockReal;
        ok = args == 1 && (arg == "virtual" || arg == "real");
        usage = "clock virtual|real";
    } else if (verb == "advance") {
        c.kind = Kind::Advance;
        ok = args == 1 && ParseUnsigned(arg, 0xFFFFFFFFu, &c.value);
        usage = "advance <milliseconds>";
    } else if (verb == "fail-open" || verb == "fail-write") {
        c.kind = verb == "fail-open" ? Kind::FailOpen : Kind::FailWrite;
        ok = args == 1 && ParseUnsigned(arg, 0xFFFFFFFFu, &c.value);
        usage = verb + " <status, 0 for none>";
    } else if (verb == "short-read" || verb == "short-write") {
        c.kind = verb == "short-read" ? Kind::ShortRead : Kind::ShortWrite;
        uint32_t n = 0;
        if (args == 1 && arg == "always") {
            c.nth = -1;
            ok = true;
        } else if (args == 1 && arg == "off") {
            c.nth = 0;
            ok = true;
        } else {
            ok = args == 1 && ParseUnsigned(arg, 0xFFFFFFFFu, &n) && n > 0;
            c.nth = n;
        }
        usage = verb + " <n from 1>|always|off";
    } else if (verb == "in-use") {
        c.kind = Kind::InUse;
        ok = args == 2 && ParseUnsigned(words[1], 255, &c.value) && ParseOnOff(words[2], &c.on);
        usage = "in-use <list position from 0> on|off";
    } else if (verb == "answer-delay") {
        c.kind = Kind::AnswerDelay;
        ok = args == 1 && ParseUnsigned(arg, 60000, &c.value);
        usage = "answer-delay <milliseconds 0-60000>";
    } else if (verb == "pin-ns") {
        c.kind = Kind::PinNs;
        ok = args == 1 && ParseUnsigned(arg, kMaxPinNs, &c.value) && c.value >= kMinPinNs;
        usage = "pin-ns <nanoseconds " + std::to_string(kMinPinNs) + "-" +
                std::to_string(kMaxPinNs) + ">";
    } else if (verb == "echo") {
        c.kind = Kind::Echo;
        ok = args == 1 && ParseOnOff(arg, &c.on);
        usage = "echo on|off";
    } else {
        if (error) *error = "unknown command \"" + verb + "\"";
        return false;
    }
    if (!ok) {
        if (error) *error = "\"" + line + "\": usage: " + usage;
        return false;
    }
    *command = c;
    return true;
}

}  // namespace kalendo::sim

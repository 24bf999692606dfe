#include "sim/chips/rtc_state_file.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace kalendo::sim {

namespace {

constexpr char kHeader[] = "kalendo rtc state 1";
constexpr char kSavedAtKey[] = "saved_at_host_us";
constexpr char kSubsecondKey[] = "subsecond_us";
constexpr char kTimerCountKey[] = "timer_count";
constexpr char kRegistersKey[] = "registers";
// Written since the crystal ages and the gap is counted at its rate; optional when read.
constexpr char kAgedKey[] = "crystal_aged_ppm";
constexpr char kShelfErrorKey[] = "shelf_crystal_error_ppm";
constexpr char kShelfAgingKey[] = "shelf_crystal_aging_ppm_per_year";
constexpr char kShelfBatteryKey[] = "shelf_battery_v";
constexpr char kShelfMinimumKey[] = "shelf_timekeeping_min_v";
constexpr const char* kShelfKeys[] = {kShelfErrorKey, kShelfAgingKey, kShelfBatteryKey,
                                      kShelfMinimumKey};
// A state file is a few hundred bytes; anything far longer is not one.
constexpr size_t kMaxLines = 32;
constexpr size_t kMaxLineLength = 256;
constexpr std::streamsize kMaxFileBytes = 64 * 1024;

using Entries = std::map<std::string, std::string>;

std::string SectionName(RtcModel model) {
    return model == RtcModel::Tq5200 ? "tq5200" : "tq5100";
}

bool ParseInteger(const std::string& text, int64_t* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    *value = parsed;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseRegisters(const std::string& text, std::array<uint8_t, rtc_reg::kCount>* registers) {
    if (text.size() != 2 * registers->size()) return false;
    for (size_t i = 0; i < registers->size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        (*registers)[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

// Reads "section.key=value" lines after the header; false with a reason when the file is not a
// state file.
bool ReadEntries(const std::string& text, Entries* entries, std::string* reason) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        *reason = "it does not start with the state file header";
        return false;
    }
    size_t lines = 0;
    while (std::getline(in, line)) {
        if (++lines > kMaxLines || line.size() > kMaxLineLength) {
            *reason = "it is too long";
            return false;
        }
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            *reason = "line " + std::to_string(lines + 1) + " has no '='";
            return false;
        }
        (*entries)[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return true;
}

bool KnownKey(const std::string& key) {
    for (const RtcModel model : {RtcModel::Tq5100, RtcModel::Tq5200}) {
        for (const char* field : {kSavedAtKey, kSubsecondKey, kTimerCountKey, kRegistersKey,
                                  kAgedKey, kShelfErrorKey, kShelfAgingKey, kShelfBatteryKey,
                                  kShelfMinimumKey}) {
            if (key == SectionName(model) + "." + field) return true;
        }
    }
    return false;
}

bool ParseReal(const std::string& text, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

std::string RealText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Checks every entry of the file and, when the model's section is there, parses it.
bool ParseSection(const Entries& entries, RtcModel model, bool* present, StoredRtcState* state,
                  std::string* reason) {
    for (const auto& entry : entries) {
        if (!KnownKey(entry.first)) {
            *reason = "it holds the unknown entry '" + entry.first + "'";
            return false;
        }
    }
    const std::string prefix = SectionName(model) + ".";
    size_t found = 0;
    for (const auto& entry : entries) found += entry.first.rfind(prefix, 0) == 0 ? 1 : 0;
    *present = found > 0;
    if (!*present) return true;
    for (const char* key : {kSavedAtKey, kSubsecondKey, kTimerCountKey, kRegistersKey}) {
        if (!entries.count(prefix + key)) {
            *reason = "the " + SectionName(model) + " section is incomplete";
            return false;
        }
    }
    static_assert(sizeof kShelfKeys / sizeof kShelfKeys[0] == 4, "every shelf key is read below");
    size_t shelfKeys = 0;
    for (const char* key : kShelfKeys) shelfKeys += entries.count(prefix + key);
    if (shelfKeys != 0 && shelfKeys != 4) {
        *reason = "the " + SectionName(model) + " section is incomplete";
        return false;
    }
    state->shelfKnown = shelfKeys == 4;
    if ((entries.count(prefix + kAgedKey) &&
         !ParseReal(entries.at(prefix + kAgedKey), &state->snapshot.crystalAgedPpm)) ||
        (state->shelfKnown &&
         (!ParseReal(entries.at(prefix + kShelfErrorKey), &state->shelf.crystalErrorPpm) ||
          !ParseReal(entries.at(prefix + kShelfAgingKey), &state->shelf.crystalAgingPpmPerYear) ||
          !ParseReal(entries.at(prefix + kShelfBatteryKey), &state->shelf.batteryVolts) ||
          !ParseReal(entries.at(prefix + kShelfMinimumKey), &state->shelf.timekeepingMinVolts)))) {
        *reason = "a value of the " + SectionName(model) + " section is malformed";
        return false;
    }
    int64_t subsecond = 0;
    int64_t timerCount = 0;
    if (!ParseInteger(entries.at(prefix + kSavedAtKey), &state->savedAtHostMicros) ||
        !ParseInteger(entries.at(prefix + kSubsecondKey), &subsecond) ||
        !ParseInteger(entries.at(prefix + kTimerCountKey), &timerCount) ||
        !ParseRegisters(entries.at(prefix + kRegistersKey), &state->snapshot.registers)) {
        *reason = "a value of the " + SectionName(model) + " section is malformed";
        return false;
    }
    if (subsecond < 0 || subsecond >= 1000000 || timerCount < 0 || timerCount > 0xFFFFFF) {
        *reason = "a value of the " + SectionName(model) + " section is out of range";
        return false;
    }
    state->snapshot.subsecondMicros = subsecond;
    state->snapshot.timerCount = static_cast<uint32_t>(timerCount);
    return true;
}

std::string FormatRegisters(const std::array<uint8_t, rtc_reg::kCount>& registers) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t value : registers) {
        text += kDigits[value >> 4];
        text += kDigits[value & 0x0F];
    }
    return text;
}

// Reads at most one byte more than a state file may hold; false when there is no such file.
bool ReadCapped(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string buffer(static_cast<size_t>(kMaxFileBytes) + 1, '\0');
    in.read(&buffer[0], kMaxFileBytes + 1);
    buffer.resize(static_cast<size_t>(in.gcount()));
    *text = std::move(buffer);
    return true;
}

}  // namespace

int64_t HostWallClockMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

StateLoadResult ParseRtcState(const std::string& text, RtcModel model) {
    StateLoadResult result;
    Entries entries;
    bool present = false;
    if (ReadEntries(text, &entries, &result.message) &&
        ParseSection(entries, model, &present, &result.state, &result.message)) {
        result.outcome = present ? StateLoadOutcome::Loaded : StateLoadOutcome::NoSectionForModel;
        return result;
    }
    result.outcome = StateLoadOutcome::Unreadable;
    return result;
}

std::string FormatRtcState(const std::string& previousText, RtcModel model,
                           const StoredRtcState& state) {
    Entries entries;
    std::string reason;
    if (!ReadEntries(previousText, &entries, &reason)) entries.clear();
    const std::string prefix = SectionName(model) + ".";
    entries[prefix + kSavedAtKey] = std::to_string(state.savedAtHostMicros);
    entries[prefix + kSubsecondKey] = std::to_string(state.snapshot.subsecondMicros);
    entries[prefix + kTimerCountKey] = std::to_string(state.snapshot.timerCount);
    entries[prefix + kRegistersKey] = FormatRegisters(state.snapshot.registers);
    entries[prefix + kAgedKey] = RealText(state.snapshot.crystalAgedPpm);
    if (state.shelfKnown) {
        entries[prefix + kShelfErrorKey] = RealText(state.shelf.crystalErrorPpm);
        entries[prefix + kShelfAgingKey] = RealText(state.shelf.crystalAgingPpmPerYear);
        entries[prefix + kShelfBatteryKey] = RealText(state.shelf.batteryVolts);
        entries[prefix + kShelfMinimumKey] = RealText(state.shelf.timekeepingMinVolts);
    }
    std::string text = std::string(kHeader) + "\n";
    for (const auto& entry : entries) {
        if (KnownKey(entry.first)) text += entry.first + "=" + entry.second + "\n";
    }
    return text;
}

StateLoadResult LoadRtcState(const std::string& path, RtcModel model) {
    std::string text;
    if (!ReadCapped(path, &text)) return StateLoadResult{};  // no file yet: nothing to report
    StateLoadResult result =
        text.size() > static_cast<size_t>(kMaxFileBytes)
            ? StateLoadResult{StateLoadOutcome::Unreadable, {}, "it is too long"}
            : ParseRtcState(text, model);
    if (result.outcome != StateLoadOutcome::Unreadable) return result;

    const std::string aside = path + ".corrupt";
    std::remove(aside.c_str());
    const bool moved = std::rename(path.c_str(), aside.c_str()) == 0;
    result.message = "RTC state file " + path + " is unreadable (" + result.message + "); " +
                     (moved ? "kept as " + aside : "left in place") + ", the RTC starts fresh";
    return result;
}

bool SaveRtcState(const std::string& path, RtcModel model, const StoredRtcState& state,
                  std::string* message) {
    std::string previous;
    ReadCapped(path, &previous);
    const std::string text = FormatRtcState(previous, model, state);

    // Written beside the file and then moved over it, so a failed write leaves the old state.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            if (message) *message = "RTC state file " + temporary + " cannot be written";
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::remove(path.c_str());  // rename does not replace an existing file on Windows
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        if (message) *message = "RTC state file " + path + " cannot be replaced";
        return false;
    }
    return true;
}

}  // namespace kalendo::sim

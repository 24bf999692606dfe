#include "marks/mark_store_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace kalendo::marks {

namespace {

constexpr char kHeaderStart[] = "kalendo mark store ";

std::string Seconds9(double seconds) {
    // From whole nanoseconds, so that the text reads back to the same nanoseconds.
    const long long nanos = std::llround(seconds * 1e9);
    const unsigned long long magnitude =
        static_cast<unsigned long long>(nanos < 0 ? -nanos : nanos);
    char text[48];
    std::snprintf(text, sizeof text, "%c%llu.%09llu", nanos < 0 ? '-' : '+', magnitude / 1000000000,
                  magnitude % 1000000000);
    return text;
}

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

// Field values are single lines: anything that would break one is replaced.
std::string OneLine(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

void AddBoard(std::string& out, const BoardIdentity& b) {
    out += "board_serial: " + OneLine(b.serial) + "\n";
    out += "board_description: " + OneLine(b.description) + "\n";
    out += "rtc_model: " + OneLine(b.model) + "\n";
}

// --- parsing -------------------------------------------------------------------------------

bool ParseDigits(const std::string& text, size_t from, size_t count, int64_t* value) {
    if (from + count > text.size()) return false;
    int64_t v = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

// "2026-12-11T05:53:24.123456789Z", exactly.
bool ParseUtc(const std::string& text, int64_t* nanos) {
    if (text.size() != 30 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' || text[29] != 'Z') {
        return false;
    }
    int64_t y, mo, d, h, mi, s, ns;
    if (!ParseDigits(text, 0, 4, &y) || !ParseDigits(text, 5, 2, &mo) ||
        !ParseDigits(text, 8, 2, &d) || !ParseDigits(text, 11, 2, &h) ||
        !ParseDigits(text, 14, 2, &mi) || !ParseDigits(text, 17, 2, &s) ||
        !ParseDigits(text, 20, 9, &ns)) {
        return false;
    }
    const RtcDateTime asDate{static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d),
                             static_cast<int>(h), static_cast<int>(mi), static_cast<int>(s)};
    if (y < 1970 || y > 2199 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 ||
        s > 59) {
        return false;
    }
    // 2000-01-01 is 946684800 s after 1970; RtcSecondsSince2000 counts from there (any year).
    RtcDateTime fromEpoch = asDate;
    const int64_t seconds = RtcSecondsSince2000(fromEpoch) + 946684800;
    *nanos = seconds * 1000000000 + ns;
    return UtcText(*nanos) == text;  // also refuses 31 April
}

// "2026-12-11 06:53:24" of a valid RTC date and time.
bool ParseRtcTime(const std::string& text, RtcDateTime* t) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return false;
    }
    int64_t v[6];
    if (!ParseDigits(text, 0, 4, &v[0]) || !ParseDigits(text, 5, 2, &v[1]) ||
        !ParseDigits(text, 8, 2, &v[2]) || !ParseDigits(text, 11, 2, &v[3]) ||
        !ParseDigits(text, 14, 2, &v[4]) || !ParseDigits(text, 17, 2, &v[5])) {
        return false;
    }
    *t = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
          static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5])};
    return RtcDateTimeValid(*t);
}

// "+0.000731000": a sign, whole seconds, a point and nine digits.
bool ParseSeconds9(const std::string& text, double* seconds) {
    if (text.size() < 12 || (text[0] != '+' && text[0] != '-')) return false;
    const size_t point = text.find('.');
    if (point == std::string::npos || text.size() - point - 1 != 9 || point < 2 || point > 12) {
        return false;
    }
    int64_t whole = 0, fraction = 0;
    if (!ParseDigits(text, 1, point - 1, &whole) || !ParseDigits(text, point + 1, 9, &fraction)) {
        return false;
    }
    const double value = static_cast<double>(whole * 1000000000 + fraction) / 1e9;
    *seconds = text[0] == '-' ? -value : value;
    return true;
}

bool ParseInteger(const std::string& text, long long low, long long high, long long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || v < low || v > high) return false;
    *value = v;
    return true;
}

bool ParseNumber(const std::string& text, double low, double high, double* value) {
    if (text.empty() || text[0] == ' ') return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !(v >= low && v <= high)) return false;
    *value = v;
    return true;
}

bool ParseByte(const std::string& text, int* value) {
    if (text.size() != 4 || text[0] != '0' || text[1] != 'x') return false;
    int v = 0;
    for (size_t i = 2; i < 4; ++i) {
        const char c = text[i];
        const int digit = (c >= '0' && c <= '9')   ? c - '0'
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                   : -1;
        if (digit < 0) return false;
        v = v * 16 + digit;
    }
    *value = v;
    return true;
}

// One block's fields, each seen once, with the line it came from.
struct Block {
    std::map<std::string, std::pair<std::string, size_t>> fields;
    size_t firstLine = 0;
};

class BlockReader {
  public:
    BlockReader(const Block& block, std::string* error) : block_(block), error_(error) {}

    // The field's value; false (with the reason) when it is missing.
    bool Take(const char* name, std::string* value) {
        const auto it = block_.fields.find(name);
        if (it == block_.fields.end()) {
            return Fail(block_.firstLine, std::string("field \"") + name + "\" missing");
        }
        taken_[name] = true;
        *value = it->second.first;
        return true;
    }
    bool Has(const char* name) const { return block_.fields.count(name) > 0; }
    bool Bad(const char* name) {
        const auto it = block_.fields.find(name);
        return Fail(it == block_.fields.end() ? block_.firstLine : it->second.second,
                    std::string("\"") + name + "\" has no valid value");
    }
    // Every field of the block was one the record has.
    bool AllTaken() {
        for (const auto& [name, value] : block_.fields) {
            if (!taken_.count(name)) return Fail(value.second, "unknown field \"" + name + "\"");
        }
        return true;
    }
    bool Fail(size_t line, const std::string& reason) {
        *error_ = "line " + std::to_string(line) + ": " + reason;
        return false;
    }

  private:
    const Block& block_;
    std::string* error_;
    std::map<std::string, bool> taken_;
};

bool ReadBoard(BlockReader& r, BoardIdentity* board) {
    return r.Take("board_serial", &board->serial) &&
           r.Take("board_description", &board->description) && r.Take("rtc_model", &board->model);
}

bool ReadMark(BlockReader& r, Mark* m) {
    std::string v;
    if (!ReadBoard(r, &m->board)) return false;
    if (!r.Take("transition_early_utc", &v)) return false;
    if (!ParseUtc(v, &m->earlyUtcNanos)) return r.Bad("transition_early_utc");
    if (!r.Take("transition_late_utc", &v)) return false;
    if (!ParseUtc(v, &m->lateUtcNanos) || m->lateUtcNanos < m->earlyUtcNanos) {
        return r.Bad("transition_late_utc");
    }
    if (!r.Take("rtc_time", &v)) return false;
    if (!ParseRtcTime(v, &m->rtc)) return r.Bad("rtc_time");
    long long offset = 0;
    if (!r.Take("utc_offset_s", &v)) return false;
    if (!ParseInteger(v, -86400, 86400, &offset)) return r.Bad("utc_offset_s");
    m->utcOffsetSeconds = static_cast<int32_t>(offset);
    if (!r.Take("reference", &v)) return false;
    if (v == "assumed") {
        m->reference.source = ReferenceSource::Assumed;
    } else if (v == "ntp") {
        m->reference.source = ReferenceSource::Ntp;
        if (!r.Take("reference_server", &m->reference.server)) return false;
    } else if (v == "kernel") {
        m->reference.source = ReferenceSource::Kernel;
    } else {
        return r.Bad("reference");
    }
    if (!r.Take("reference_offset_s", &v)) return false;
    if (!ParseSeconds9(v, &m->reference.offsetSeconds)) return r.Bad("reference_offset_s");
    if (!r.Take("reference_error_s", &v)) return false;
    if (!ParseSeconds9(v, &m->reference.errorSeconds) || m->reference.errorSeconds < 0) {
        return r.Bad("reference_error_s");
    }
    if (r.Has("battery_v")) {
        r.Take("battery_v", &v);
        if (!ParseNumber(v, 0, 100, &m->batteryVolts)) return r.Bad("battery_v");
    }
    if (r.Has("temperature_c")) {
        r.Take("temperature_c", &v);
        if (!ParseNumber(v, -300, 1000, &m->celsius)) return r.Bad("temperature_c");
    }
    if (!r.Take("program", &m->program)) return false;
    if (r.Has("seal_written")) {
        r.Take("seal_written", &v);
        if (!ParseByte(v, &m->sealWritten)) return r.Bad("seal_written");
    }
    if (r.Has("seal_found")) {
        r.Take("seal_found", &v);
        if (!ParseByte(v, &m->sealFound)) return r.Bad("seal_found");
    }
    return r.AllTaken();
}

bool ReadEvent(BlockReader& r, TimeWriteEvent* e) {
    std::string v;
    if (!r.Take("time_utc", &v)) return false;
    if (!ParseUtc(v, &e->utcNanos)) return r.Bad("time_utc");
    return ReadBoard(r, &e->board) && r.Take("what", &e->what) && r.AllTaken();
}

}  // namespace

std::string FormatMarkStore(const MarkStore& store) {
    std::string out = std::string(kHeaderStart) + std::to_string(kMarkStoreFormat) + "\n";
    out +=
        "# Marks of RTC boards (a sharply timed seconds transition each) and the times the "
        "program\n# wrote an RTC's time, kept by Kalendo and kalendo-cli. Written by the "
        "program.\n";
    for (const Mark& m : store.marks) {
        out += "\nmark\n";
        AddBoard(out, m.board);
        out += "transition_early_utc: " + UtcText(m.earlyUtcNanos) + "\n";
        out += "transition_late_utc: " + UtcText(m.lateUtcNanos) + "\n";
        out += "rtc_time: " + RtcDateTimeText(m.rtc) + "\n";
        out += "utc_offset_s: " + std::to_string(m.utcOffsetSeconds) + "\n";
        out += std::string("reference: ") + ReferenceSourceName(m.reference.source) + "\n";
        if (m.reference.source == ReferenceSource::Ntp) {
            out += "reference_server: " + OneLine(m.reference.server) + "\n";
        }
        out += "reference_offset_s: " + Seconds9(m.reference.offsetSeconds) + "\n";
        out += "reference_error_s: " + Seconds9(m.reference.errorSeconds) + "\n";
        if (!std::isnan(m.batteryVolts)) out += "battery_v: " + Fixed(m.batteryVolts, 4) + "\n";
        if (!std::isnan(m.celsius)) out += "temperature_c: " + Fixed(m.celsius, 2) + "\n";
        out += "program: " + OneLine(m.program) + "\n";
        if (m.sealWritten >= 0) out += "seal_written: " + Hex2(m.sealWritten) + "\n";
        if (m.sealFound >= 0) out += "seal_found: " + Hex2(m.sealFound) + "\n";
        out += "end\n";
    }
    for (const TimeWriteEvent& e : store.events) {
        out += "\nevent\n";
        out += "time_utc: " + UtcText(e.utcNanos) + "\n";
        AddBoard(out, e.board);
        out += "what: " + OneLine(e.what) + "\n";
        out += "end\n";
    }
    return out;
}

bool ParseMarkStore(const std::string& text, MarkStore* store, std::string* error,
                    bool* newerFormat) {
    *newerFormat = false;
    std::istringstream in(text);
    std::string line;
    size_t number = 1;
    if (std::getline(in, line) && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kHeaderStart, 0) != 0) {
        *error = "line 1: not a mark store (no \"kalendo mark store\" header)";
        return false;
    }
    long long format = 0;
    if (!ParseInteger(line.substr(sizeof kHeaderStart - 1), 1, 1000000, &format)) {
        *error = "line 1: no format number in the header";
        return false;
    }
    if (format > kMarkStoreFormat) {
        *newerFormat = true;
        *error = "it is of format " + std::to_string(format) +
                 ", written by a newer Kalendo; this one reads format " +
                 std::to_string(kMarkStoreFormat);
        return false;
    }
    MarkStore parsed;
    std::string kind;  // the open block's kind; empty between blocks
    Block block;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (kind.empty()) {
            if (line.empty() || line[0] == '#') continue;
            if (line != "mark" && line != "event") {
                *error = "line " + std::to_string(number) + ": \"" + line +
                         "\" where a mark or an event should begin";
                return false;
            }
            kind = line;
            block = Block{};
            block.firstLine = number;
            continue;
        }
        if (line == "end") {
            BlockReader reader(block, error);
            if (kind == "mark") {
                Mark m;
                if (!ReadMark(reader, &m)) return false;
                parsed.marks.push_back(m);
            } else {
                TimeWriteEvent e;
                if (!ReadEvent(reader, &e)) return false;
                parsed.events.push_back(e);
            }
            kind.clear();
            continue;
        }
        const size_t colon = line.find(": ");
        const bool emptyValue = colon == std::string::npos && !line.empty() && line.back() == ':';
        if (colon == std::string::npos && !emptyValue) {
            *error = "line " + std::to_string(number) + ": \"" + line + "\" is no \"name: value\"";
            return false;
        }
        const std::string name =
            emptyValue ? line.substr(0, line.size() - 1) : line.substr(0, colon);
        const std::string value = emptyValue ? "" : line.substr(colon + 2);
        if (!block.fields.emplace(name, std::make_pair(value, number)).second) {
            *error = "line " + std::to_string(number) + ": field \"" + name + "\" given twice";
            return false;
        }
    }
    if (!kind.empty()) {
        *error = "line " + std::to_string(block.firstLine) + ": the " + kind +
                 " that starts here has no \"end\" (the file is cut short)";
        return false;
    }
    *store = std::move(parsed);
    return true;
}

}  // namespace kalendo::marks

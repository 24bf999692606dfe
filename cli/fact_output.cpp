#include "cli/fact_output.h"

#include <cmath>
#include <cstdio>

namespace kalendo::cli {

namespace {

std::string Formatted(double value, int decimals) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void FactOutput::Add(const std::string& name, const std::string& json, const std::string& line) {
    entries_.push_back({name, json, name + ": " + line, false});
}

void FactOutput::Text(const std::string& name, const std::string& value) {
    Add(name, JsonString(value), value);
}

void FactOutput::Number(const std::string& name, double value, int decimals) {
    const std::string text = Formatted(value, decimals);
    Add(name, text, text);
}

void FactOutput::Integer(const std::string& name, long long value) {
    Add(name, std::to_string(value), std::to_string(value));
}

void FactOutput::Flag(const std::string& name, bool value) {
    Add(name, value ? "true" : "false", value ? "yes" : "no");
}

FactOutput::Row& FactOutput::Row::Text(const std::string& name, const std::string& value) {
    fields_.emplace_back(name, JsonString(value));
    return *this;
}

FactOutput::Row& FactOutput::Row::Integer(const std::string& name, long long value) {
    fields_.emplace_back(name, std::to_string(value));
    return *this;
}

FactOutput::Row& FactOutput::Row::Number(const std::string& name, double value, int decimals) {
    fields_.emplace_back(name, Formatted(value, decimals));
    return *this;
}

FactOutput::Row& FactOutput::Row::Flag(const std::string& name, bool value) {
    fields_.emplace_back(name, value ? "true" : "false");
    return *this;
}

void FactOutput::ListRow(const std::string& list, const Row& row, const std::string& line) {
    std::string object = "{";
    for (size_t i = 0; i < row.fields_.size(); ++i) {
        if (i) object += ", ";
        object += JsonString(row.fields_[i].first) + ": " + row.fields_[i].second;
    }
    object += "}";
    if (entries_.empty() || !entries_.back().list || entries_.back().name != list) {
        entries_.push_back({list, "", "", true});
    }
    Entry& e = entries_.back();
    e.json += (e.json.empty() ? "" : ", ") + object;
    e.line += line + "\n";
}

std::string FactOutput::Render() const {
    std::string out;
    if (!json_) {
        for (const Entry& e : entries_) out += e.list ? e.line : e.line + "\n";
        return out;
    }
    out = "{";
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (i) out += ", ";
        out += JsonString(e.name) + ": " + (e.list ? "[" + e.json + "]" : e.json);
    }
    return out + "}\n";
}

}  // namespace kalendo::cli

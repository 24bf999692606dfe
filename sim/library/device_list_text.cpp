#include "sim/library/device_list_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kalendo::sim {

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, uint32_t* value) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] == '-' || t[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(t.c_str(), &end, 0);
    if (errno || *end != '\0' || v > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

bool ParseDeviceList(const std::string& text, std::vector<UsbDeviceEntry>* devices,
                     std::string* error) {
    std::vector<UsbDeviceEntry> parsed;
    if (Trim(text) == "none") {
        *devices = parsed;
        return true;
    }
    size_t start = 0;
    int index = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        const std::string entry = text.substr(start, end - start);
        start = end + 1;
        ++index;
        if (Trim(entry).empty()) {
            if (end == text.size()) break;
            continue;  // tolerate ";;" and a trailing ';'
        }
        const size_t c1 = entry.find(':');
        const size_t c2 = c1 == std::string::npos ? c1 : entry.find(':', c1 + 1);
        UsbDeviceEntry listing;
        const auto fail = [&](const char* why) {
            if (error) {
                *error = "KALENDO_SIM_DEVICES entry " + std::to_string(index) + " \"" + entry +
                         "\": " + why + " (expected type:location:description)";
            }
            return false;
        };
        if (c2 == std::string::npos) return fail("missing ':'");
        if (!ParseNumber(entry.substr(0, c1), &listing.type)) return fail("bad type");
        if (!ParseNumber(entry.substr(c1 + 1, c2 - c1 - 1), &listing.locationId)) {
            return fail("bad location");
        }
        listing.description = entry.substr(c2 + 1);
        if (listing.description.size() > 63) return fail("description longer than 63 characters");
        char serial[16];
        std::snprintf(serial, sizeof serial, "KS%06d", index);
        listing.serial = serial;
        parsed.push_back(listing);
        if (end == text.size()) break;
    }
    if (parsed.empty()) {
        if (error) *error = "KALENDO_SIM_DEVICES lists no device (write \"none\" for none)";
        return false;
    }
    *devices = parsed;
    return true;
}

}  // namespace kalendo::sim

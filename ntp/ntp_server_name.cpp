#include "ntp/ntp_server_name.h"

#include <algorithm>

namespace kalendo::ntp {

namespace {

bool ParsePort(const std::string& text, uint16_t* port) {
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

bool HostCharactersValid(const std::string& host) {
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':' || c == '%';
    });
}

}  // namespace

bool ParseNtpServerName(const std::string& text, NtpServerName* server, std::string* error) {
    NtpServerName parsed;
    std::string portText;
    bool hasPort = false;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) {
            *error = "\"" + text + "\": the bracket of the IPv6 address is not closed";
            return false;
        }
        parsed.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') {
                *error = "\"" + text + "\": after the bracketed address only :PORT may follow";
                return false;
            }
            hasPort = true;
            portText = rest.substr(1);
        }
    } else {
        const size_t first = text.find(':');
        const size_t last = text.rfind(':');
        if (first != std::string::npos && first == last) {
            parsed.host = text.substr(0, first);
            hasPort = true;
            portText = text.substr(first + 1);
        } else {
            parsed.host = text;  // no colon, or a bare IPv6 address
        }
    }
    if (parsed.host.empty()) {
        *error = "\"" + text + "\" names no server";
        return false;
    }
    if (!HostCharactersValid(parsed.host)) {
        *error = "\"" + text + "\" is no host name or address";
        return false;
    }
    if (hasPort && !ParsePort(portText, &parsed.port)) {
        *error = "\"" + text + "\": the port must be a number from 1 to 65535";
        return false;
    }
    *server = parsed;
    return true;
}

std::string NtpServerText(const NtpServerName& server) {
    const bool v6 = server.host.find(':') != std::string::npos;
    if (server.port == kNtpPort) return server.host;
    return (v6 ? "[" + server.host + "]" : server.host) + ":" + std::to_string(server.port);
}

}  // namespace kalendo::ntp

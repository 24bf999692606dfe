// The SERVER of --ntp: a host name or address with an optional port, "pool.ntp.org",
// "192.168.1.5:123", "[2001:db8::1]:123". A bare IPv6 address ("::1") is taken whole, without
// a port: its colons leave no room for one.
#pragma once

#include <cstdint>
#include <string>

#include "ntp/ntp_packet.h"

namespace kalendo::ntp {

struct NtpServerName {
    std::string host;
    uint16_t port = kNtpPort;
};

// False with the reason for an empty host, an unclosed bracket or a port that is not 1-65535.
bool ParseNtpServerName(const std::string& text, NtpServerName* server, std::string* error);

// "host:port", IPv6 in brackets; the port left out when it is 123.
std::string NtpServerText(const NtpServerName& server);

}  // namespace kalendo::ntp

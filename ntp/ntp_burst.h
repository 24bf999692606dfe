// A short burst of NTP exchanges with one server, keeping the one with the least delay (the
// clock filter's rule: the exchange least disturbed by queueing on the way gives the tightest
// bound). A kiss-o'-death or an unsynchronised answer ends the burst at once: the server is no
// reference, and a kiss asks for no more requests.
#pragma once

#include <functional>
#include <string>

#include "ntp/ntp_exchange.h"
#include "ntp/ntp_server_name.h"
#include "ntp/udp_network.h"

namespace kalendo::ntp {

struct NtpBurstSettings {
    int exchanges = 4;
    // Between requests. A public server expects no more than about one request a second from
    // one client (some answer faster bursts with kiss-o'-death RATE).
    double spacingSeconds = 1.0;
    double timeoutSeconds = 2.0;  // per exchange
    // Sleeps this many seconds; empty: the calling thread sleeps.
    std::function<void(double)> wait;
};

struct NtpMeasurement {
    bool valid = false;
    // Without a result, why: "NTP server pool.ntp.org: no answer within 2.0 s to 4 requests".
    std::string error;
    NtpFailure failure = NtpFailure::None;
    std::string server;  // as the user gave it, normalised (NtpServerText)
    NtpSample best;      // the exchange with the least delay
    int requests = 0;
    int answers = 0;  // usable ones
};

NtpMeasurement MeasureNtpOffset(UdpNetwork& network, const NtpServerName& server,
                                const NtpClocks& clocks, const NtpBurstSettings& settings);

// The failure in words, after "NTP server NAME: ".
std::string NtpFailureText(NtpFailure failure, const std::string& detail,
                           const NtpBurstSettings& settings);

}  // namespace kalendo::ntp

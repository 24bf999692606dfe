// One NTP exchange (RFC 5905's on-wire protocol, client side): a request, the server's answer
// checked, and the system clock's offset from the server with its bound.
//
// T1 and T4 are the system clock when the request left and when the answer came; T2 and T3 the
// server's clock when the request arrived and the answer left. The offset theta =
// ((T2 - T1) + (T3 - T4)) / 2 is what the server's clock reads minus what the system clock
// reads, at the exchange's middle, and whatever way the round trip delay = (T4 - T1) -
// (T3 - T2) splits between the two directions, the true offset lies within theta +- delay / 2.
// Add the server's own distance from UTC (root delay / 2 + root dispersion), both clocks'
// reading precision and 15 ppm of the exchange's duration for the two clocks' rates (RFC 5905's
// PHI), and theta +- that bound holds the system clock's true error: a strict bound under NTP's
// usual assumptions (the server within its stated root distance of UTC, both clocks within
// 15 ppm of true rate over the exchange).
#pragma once

#include <cstdint>
#include <string>

#include "ntp/ntp_clocks.h"
#include "ntp/ntp_packet.h"
#include "ntp/udp_network.h"

namespace kalendo::ntp {

// RFC 5905's frequency tolerance PHI: how fast a clock's error may grow between readings.
constexpr double kFrequencyTolerance = 15e-6;

struct NtpSample {
    int64_t t1UtcNanos = 0;        // system clock just before the request went out
    int64_t t4UtcNanos = 0;        // system clock as soon as the answer came
    double monotonicBeforeT1 = 0;  // the counter read right before T1
    double monotonicAfterT4 = 0;   // and right after T4
    double offsetSeconds = 0;      // theta: the server's clock minus the system clock
    double delaySeconds = 0;       // round trip less the server's own time, never below 0
    double rootDelaySeconds = 0;
    double rootDispersionSeconds = 0;
    double serverPrecisionSeconds = 0;
    // |true offset - offsetSeconds| <= boundSeconds under NTP's assumptions (above).
    double boundSeconds = 0;
    int stratum = 0;
    uint8_t version = 0;

    // The system clock's reading halfway between T1 and T4: the instant theta belongs to.
    int64_t MiddleUtcNanos() const { return t1UtcNanos + (t4UtcNanos - t1UtcNanos) / 2; }
};

enum class NtpFailure {
    None,
    NoAnswer,        // nothing came within the time-out (or the port is closed)
    SendFailed,      // the system would not send
    Bogus,           // answers came, but none echoed our transmit timestamp
    Malformed,       // shorter than a packet, or its timestamps missing or out of order
    WrongMode,       // not a server's answer (mode 4)
    WrongVersion,    // not NTP version 3 or 4
    KissOfDeath,     // stratum 0: the server tells the client to go away or slow down
    Unsynchronised,  // leap indicator 3 or stratum 16 and above
};

struct NtpExchange {
    NtpFailure failure = NtpFailure::None;
    std::string detail;  // for a failure: what was seen ("mode 3", "RATE", "stratum 16")
    NtpSample sample;    // when failure is None
};

// Sends one request with `nonce` as its transmit timestamp (a random number keeps the system
// clock's reading private and makes a replayed answer plain) and waits at most timeoutSeconds
// on the monotonic clock for the answer that echoes it; other datagrams are passed over.
NtpExchange QueryNtpServer(UdpSocket& socket, const NtpClocks& clocks, double timeoutSeconds,
                           uint64_t nonce);

// Checks a decoded answer to the request with this nonce; None when it can be used.
NtpFailure CheckNtpAnswer(const NtpPacket& answer, uint64_t nonce, std::string* detail);

}  // namespace kalendo::ntp

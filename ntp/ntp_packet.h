// The NTP packet as it travels in a UDP datagram (RFC 5905, section 7.3): 48 bytes, network
// byte order, its fields named as the RFC names them. Extension fields and a MAC that may follow
// are ignored. Pure encode and decode; the meaning of the fields is ntp_exchange's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalendo::ntp {

constexpr size_t kNtpPacketBytes = 48;
constexpr uint16_t kNtpPort = 123;

// Leap indicator (LI), the packet's first two bits.
enum LeapIndicator : uint8_t {
    kLeapNone = 0,
    kLeapInsertSecond = 1,  // the last minute of the day has 61 seconds
    kLeapDeleteSecond = 2,  // ... 59 seconds
    kLeapUnsynchronised = 3,
};

// Association mode, the packet's low three bits.
enum NtpMode : uint8_t {
    kModeReserved = 0,
    kModeSymmetricActive = 1,
    kModeSymmetricPassive = 2,
    kModeClient = 3,
    kModeServer = 4,
    kModeBroadcast = 5,
    kModeControl = 6,
    kModePrivate = 7,
};

constexpr uint8_t kNtpVersion = 4;
// Stratum 0 is a kiss-o'-death packet; 16 says the server is unsynchronised.
constexpr uint8_t kStratumKissOfDeath = 0;
constexpr uint8_t kStratumUnsynchronised = 16;

struct NtpPacket {
    uint8_t leap = kLeapNone;       // LI, 2 bits
    uint8_t version = kNtpVersion;  // VN, 3 bits
    uint8_t mode = kModeClient;     // 3 bits
    uint8_t stratum = 0;
    int8_t poll = 0;         // log2 of the poll interval in seconds
    int8_t precision = 0;    // log2 of the server clock's precision in seconds (-20: about 1 us)
    uint32_t rootDelay = 0;  // NTP short format: 16 bits of seconds, 16 of fraction
    uint32_t rootDispersion = 0;  // NTP short format
    // Four ASCII letters at stratum 0 and 1 (at 0 the kiss code: "RATE", "DENY"...), otherwise
    // the upstream server's address.
    uint32_t referenceId = 0;
    // NTP timestamps: 32 bits of seconds from 1900 (modulo 2^32: eras), 32 bits of fraction.
    uint64_t referenceTimestamp = 0;
    uint64_t originTimestamp = 0;    // the client's transmit timestamp, echoed by the server
    uint64_t receiveTimestamp = 0;   // server clock when the request arrived (T2)
    uint64_t transmitTimestamp = 0;  // server clock when the answer left (T3)
};

std::array<uint8_t, kNtpPacketBytes> EncodeNtpPacket(const NtpPacket& packet);
// False when fewer than 48 bytes came.
bool DecodeNtpPacket(const uint8_t* bytes, size_t size, NtpPacket* packet);

// An NTP short-format value (root delay, root dispersion) in seconds.
double ShortFormatSeconds(uint32_t value);
// 2^precision seconds.
double PrecisionSeconds(int8_t precision);
// The reference identifier as four characters, unprintable ones as '?': the kiss code.
std::array<char, 5> ReferenceIdText(uint32_t referenceId);

// Timestamps against the Unix epoch. Seconds between 1900 and 1970:
constexpr int64_t kNtpToUnixSeconds = 2208988800LL;
// The timestamp of an instant in nanoseconds from 1970 (UTC); eras wrap as on the wire.
uint64_t NtpTimestampOfUnixNanos(int64_t unixNanos);
// The signed difference a - b of two timestamps in seconds, taken modulo 2^64 as RFC 5905
// computes its offsets: right across an era boundary whenever the two are within 68 years.
double NtpDifferenceSeconds(uint64_t a, uint64_t b);

}  // namespace kalendo::ntp

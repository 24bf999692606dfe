#include "ntp/ntp_packet.h"

#include <cmath>

namespace kalendo::ntp {

namespace {

constexpr double kTwoTo32 = 4294967296.0;

void Put32(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v >> 24);
    at[1] = static_cast<uint8_t>(v >> 16);
    at[2] = static_cast<uint8_t>(v >> 8);
    at[3] = static_cast<uint8_t>(v);
}

void Put64(uint8_t* at, uint64_t v) {
    Put32(at, static_cast<uint32_t>(v >> 32));
    Put32(at + 4, static_cast<uint32_t>(v));
}

uint32_t Get32(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

uint64_t Get64(const uint8_t* at) {
    return uint64_t{Get32(at)} << 32 | Get32(at + 4);
}

// Byte offsets of the fields.
enum Offset : size_t {
    kFlagsAt = 0,  // LI (2 bits), VN (3), mode (3)
    kStratumAt = 1,
    kPollAt = 2,
    kPrecisionAt = 3,
    kRootDelayAt = 4,
    kRootDispersionAt = 8,
    kReferenceIdAt = 12,
    kReferenceAt = 16,
    kOriginAt = 24,
    kReceiveAt = 32,
    kTransmitAt = 40,
};

}  // namespace

std::array<uint8_t, kNtpPacketBytes> EncodeNtpPacket(const NtpPacket& p) {
    std::array<uint8_t, kNtpPacketBytes> b{};
    b[kFlagsAt] =
        static_cast<uint8_t>((p.leap & 0x3) << 6 | (p.version & 0x7) << 3 | (p.mode & 0x7));
    b[kStratumAt] = p.stratum;
    b[kPollAt] = static_cast<uint8_t>(p.poll);
    b[kPrecisionAt] = static_cast<uint8_t>(p.precision);
    Put32(&b[kRootDelayAt], p.rootDelay);
    Put32(&b[kRootDispersionAt], p.rootDispersion);
    Put32(&b[kReferenceIdAt], p.referenceId);
    Put64(&b[kReferenceAt], p.referenceTimestamp);
    Put64(&b[kOriginAt], p.originTimestamp);
    Put64(&b[kReceiveAt], p.receiveTimestamp);
    Put64(&b[kTransmitAt], p.transmitTimestamp);
    return b;
}

bool DecodeNtpPacket(const uint8_t* b, size_t size, NtpPacket* p) {
    if (b == nullptr || size < kNtpPacketBytes) return false;
    p->leap = b[kFlagsAt] >> 6;
    p->version = (b[kFlagsAt] >> 3) & 0x7;
    p->mode = b[kFlagsAt] & 0x7;
    p->stratum = b[kStratumAt];
    p->poll = static_cast<int8_t>(b[kPollAt]);
    p->precision = static_cast<int8_t>(b[kPrecisionAt]);
    p->rootDelay = Get32(&b[kRootDelayAt]);
    p->rootDispersion = Get32(&b[kRootDispersionAt]);
    p->referenceId = Get32(&b[kReferenceIdAt]);
    p->referenceTimestamp = Get64(&b[kReferenceAt]);
    p->originTimestamp = Get64(&b[kOriginAt]);
    p->receiveTimestamp = Get64(&b[kReceiveAt]);
    p->transmitTimestamp = Get64(&b[kTransmitAt]);
    return true;
}

double ShortFormatSeconds(uint32_t value) {
    return value / 65536.0;
}

double PrecisionSeconds(int8_t precision) {
    return std::ldexp(1.0, precision);
}

std::array<char, 5> ReferenceIdText(uint32_t referenceId) {
    std::array<char, 5> text{};
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(referenceId >> (24 - 8 * i));
        text[i] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

uint64_t NtpTimestampOfUnixNanos(int64_t unixNanos) {
    // Whole seconds rounded down, so that the fraction is never negative.
    int64_t seconds = unixNanos / 1000000000;
    int64_t nanos = unixNanos % 1000000000;
    if (nanos < 0) {
        nanos += 1000000000;
        --seconds;
    }
    const uint64_t ntpSeconds = static_cast<uint64_t>(seconds + kNtpToUnixSeconds) & 0xFFFFFFFFu;
    // Truncated to 2^-32 s (0.23 ns).
    const uint64_t fraction = (static_cast<uint64_t>(nanos) << 32) / 1000000000u;
    return ntpSeconds << 32 | fraction;
}

double NtpDifferenceSeconds(uint64_t a, uint64_t b) {
    return static_cast<double>(static_cast<int64_t>(a - b)) / kTwoTo32;
}

}  // namespace kalendo::ntp

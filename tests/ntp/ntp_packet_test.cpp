// The packet codec, the timestamp arithmetic across an era, and the SERVER argument.
#include <gtest/gtest.h>

#include "ntp/ntp_packet.h"
#include "ntp/ntp_server_name.h"

namespace kalendo::ntp {
namespace {

TEST(NtpPacketTest, FieldsTravelInTheirBytes) {
    NtpPacket p;
    p.leap = kLeapUnsynchronised;
    p.version = 4;
    p.mode = kModeClient;
    p.stratum = 16;
    p.poll = 6;
    p.precision = -20;
    p.rootDelay = 0x00018000;       // 1.5 s
    p.rootDispersion = 0x00000100;  // 1/256 s
    p.referenceId = 0x52415445;     // "RATE"
    p.referenceTimestamp = 0x0102030405060708;
    p.originTimestamp = 0x1112131415161718;
    p.receiveTimestamp = 0x2122232425262728;
    p.transmitTimestamp = 0x3132333435363738;
    const auto b = EncodeNtpPacket(p);
    EXPECT_EQ(b[0], 0xE3);  // LI 3, VN 4, mode 3
    EXPECT_EQ(b[1], 16);
    EXPECT_EQ(b[2], 6);
    EXPECT_EQ(b[3], 0xEC);  // -20
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 4, b.begin() + 16)),
              (std::vector<uint8_t>{0, 1, 0x80, 0, 0, 0, 1, 0, 'R', 'A', 'T', 'E'}));
    EXPECT_EQ(b[16], 0x01);
    EXPECT_EQ(b[24], 0x11);
    EXPECT_EQ(b[32], 0x21);
    EXPECT_EQ(b[40], 0x31);
    EXPECT_EQ(b[47], 0x38);

    NtpPacket back;
    ASSERT_TRUE(DecodeNtpPacket(b.data(), b.size(), &back));
    EXPECT_EQ(back.leap, p.leap);
    EXPECT_EQ(back.version, p.version);
    EXPECT_EQ(back.mode, p.mode);
    EXPECT_EQ(back.stratum, p.stratum);
    EXPECT_EQ(back.poll, p.poll);
    EXPECT_EQ(back.precision, p.precision);
    EXPECT_EQ(back.rootDelay, p.rootDelay);
    EXPECT_EQ(back.rootDispersion, p.rootDispersion);
    EXPECT_EQ(back.referenceId, p.referenceId);
    EXPECT_EQ(back.referenceTimestamp, p.referenceTimestamp);
    EXPECT_EQ(back.originTimestamp, p.originTimestamp);
    EXPECT_EQ(back.receiveTimestamp, p.receiveTimestamp);
    EXPECT_EQ(back.transmitTimestamp, p.transmitTimestamp);
    EXPECT_DOUBLE_EQ(ShortFormatSeconds(back.rootDelay), 1.5);
    EXPECT_DOUBLE_EQ(ShortFormatSeconds(back.rootDispersion), 1.0 / 256);
    EXPECT_STREQ(ReferenceIdText(back.referenceId).data(), "RATE");
    EXPECT_STREQ(ReferenceIdText(0x7F000001).data(), "????");

    // Extension fields after the 48 bytes are passed over; fewer bytes are no packet.
    std::vector<uint8_t> longer(b.begin(), b.end());
    longer.resize(68, 0xAA);
    EXPECT_TRUE(DecodeNtpPacket(longer.data(), longer.size(), &back));
    EXPECT_FALSE(DecodeNtpPacket(b.data(), 47, &back));
}

TEST(NtpPacketTest, TimestampsAndTheirDifferencesAcrossAnEra) {
    struct Case {
        int64_t unixNanos;
        uint64_t timestamp;
    };
    const Case cases[] = {
        {0, 0x83AA7E80ULL << 32},                       // 1970 is 2208988800 s after 1900
        {500000000, 0x83AA7E80ULL << 32 | 0x80000000},  // half a second
        {-1000000000, 0x83AA7E7FULL << 32},             // before 1970
        {2085978496LL * 1000000000, 0},                 // 2036-02-07 06:28:16: era 1 starts
        {2085978497LL * 1000000000 + 250000000, 1ULL << 32 | 0x40000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unixNanos);
        EXPECT_EQ(NtpTimestampOfUnixNanos(c.unixNanos), c.timestamp);
    }
    const int64_t eraEnd = 2085978496LL * 1000000000;
    EXPECT_DOUBLE_EQ(NtpDifferenceSeconds(NtpTimestampOfUnixNanos(eraEnd + 1500000000),
                                          NtpTimestampOfUnixNanos(eraEnd - 500000000)),
                     2.0);
    EXPECT_DOUBLE_EQ(NtpDifferenceSeconds(NtpTimestampOfUnixNanos(eraEnd - 500000000),
                                          NtpTimestampOfUnixNanos(eraEnd + 1500000000)),
                     -2.0);
    // A nanosecond survives the 2^-32 s fraction within a quarter of a nanosecond.
    EXPECT_NEAR(NtpDifferenceSeconds(NtpTimestampOfUnixNanos(1700000000000000001),
                                     NtpTimestampOfUnixNanos(1700000000000000000)),
                1e-9, 0.3e-9);
}

TEST(NtpServerNameTest, HostsPortsAndTheirMistakes) {
    struct Case {
        const char* text;
        const char* host;  // null: refused
        uint16_t port;
    };
    const Case cases[] = {
        {"pool.ntp.org", "pool.ntp.org", 123},
        {"127.0.0.1:12300", "127.0.0.1", 12300},
        {"[::1]:4123", "::1", 4123},
        {"[2001:db8::1]", "2001:db8::1", 123},
        {"fe80::1", "fe80::1", 123},
        {"", nullptr, 0},
        {":123", nullptr, 0},
        {"host:", nullptr, 0},
        {"host:0", nullptr, 0},
        {"host:65536", nullptr, 0},
        {"host:12a", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[::1]123", nullptr, 0},
        {"two words", nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NtpServerName server;
        std::string error;
        const bool ok = ParseNtpServerName(c.text, &server, &error);
        ASSERT_EQ(ok, c.host != nullptr) << error;
        if (!ok) {
            EXPECT_NE(error.find(std::string("\"") + c.text + "\""), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(server.host, c.host);
        EXPECT_EQ(server.port, c.port);
    }
    EXPECT_EQ(NtpServerText({"::1", 4123}), "[::1]:4123");
    EXPECT_EQ(NtpServerText({"pool.ntp.org", 123}), "pool.ntp.org");
}

}  // namespace
}  // namespace kalendo::ntp

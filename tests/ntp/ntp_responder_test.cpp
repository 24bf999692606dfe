// The NTP client against a server of the test's own on the loopback: a good one that runs
// ahead, and one for each way a server can answer wrong. Each failure has its message, and the
// responder's request count shows what the client sent.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ntp/ntp_burst.h"
#include "tests/ntp/ntp_test_responder.h"

namespace kalendo::ntp::testing {
namespace {

NtpBurstSettings QuickBurst(int exchanges) {
    NtpBurstSettings s;
    s.exchanges = exchanges;
    s.spacingSeconds = 0.01;
    s.timeoutSeconds = 0.3;
    return s;
}

NtpMeasurement Measure(const NtpTestResponder& server, const NtpBurstSettings& settings) {
    return MeasureNtpOffset(SystemUdpNetwork(), {"127.0.0.1", server.Port()}, SystemNtpClocks(),
                            settings);
}

TEST(NtpResponderTest, AServerAheadIsMeasuredWithinItsBound) {
    constexpr int64_t kAhead = 250000000;  // 250 ms
    NtpTestResponder server([](const NtpPacket& request, int64_t received) {
        NtpPacket answer = ServerAnswer(request, received, kAhead);
        answer.rootDelay = 0x00000290;       // 10 ms
        answer.rootDispersion = 0x00000148;  // 5 ms
        return std::vector<Datagram>{Bytes(answer)};
    });
    const NtpMeasurement m = Measure(server, QuickBurst(4));
    ASSERT_TRUE(m.valid) << m.error;
    EXPECT_EQ(server.Requests(), 4);
    EXPECT_EQ(m.answers, 4);
    const NtpSample& s = m.best;
    EXPECT_NEAR(s.offsetSeconds, 0.25, s.boundSeconds);
    EXPECT_NEAR(s.offsetSeconds, 0.25, 0.002);
    // delay/2 + root delay/2 + root dispersion + the two precisions and 15 ppm of the exchange.
    EXPECT_NEAR(s.rootDelaySeconds, 0.010, 1e-4);
    EXPECT_NEAR(s.rootDispersionSeconds, 0.005, 1e-4);
    const double roundTrip = (s.t4UtcNanos - s.t1UtcNanos) / 1e9;
    EXPECT_NEAR(s.boundSeconds,
                s.delaySeconds / 2 + s.rootDelaySeconds / 2 + s.rootDispersionSeconds +
                    s.serverPrecisionSeconds + SystemNtpClocks().systemResolutionSeconds +
                    15e-6 * roundTrip,
                1e-12);
    EXPECT_GT(s.boundSeconds, 0.010);
    EXPECT_LT(s.boundSeconds, 0.013);
    EXPECT_LE(s.monotonicBeforeT1, s.monotonicAfterT4);
    EXPECT_LE(s.t1UtcNanos, s.t4UtcNanos);
}

// The least-delay exchange is kept: an answer held back 200 ms (queueing) measures the same
// offset but with a wider bound. The margin is wide: a loaded machine (Wine, a build beside)
// can delay even the prompt answer by tens of milliseconds.
TEST(NtpResponderTest, TheExchangeWithTheLeastDelayIsKept) {
    std::atomic<int> n{0};
    NtpTestResponder server([&](const NtpPacket& request, int64_t received) {
        // Stamped, then held on the way (as in a queue): the first, second and fourth answers
        // arrive 200 ms late, the third at once.
        const Datagram answer = Bytes(ServerAnswer(request, received, 0));
        if (n++ != 2) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return std::vector<Datagram>{answer};
    });
    NtpBurstSettings burst = QuickBurst(4);
    burst.timeoutSeconds = 1.0;  // the held answers are answers, not losses
    const NtpMeasurement m = Measure(server, burst);
    ASSERT_TRUE(m.valid) << m.error;
    EXPECT_EQ(m.answers, 4);
    EXPECT_LT(m.best.delaySeconds, 0.150);
    EXPECT_LT(m.best.boundSeconds, 0.100);
    EXPECT_NEAR(m.best.offsetSeconds, 0, m.best.boundSeconds);
}

TEST(NtpResponderTest, EachBadAnswerHasItsMessage) {
    struct Case {
        const char* name;
        std::function<std::vector<Datagram>(const NtpPacket&, int64_t)> answer;
        const char* message;
        int requests;  // what reached the server: a kiss or an unsynchronised server ends the burst
    };
    const auto changed = [](std::function<void(NtpPacket&)> change) {
        return [change](const NtpPacket& request, int64_t received) {
            NtpPacket a = ServerAnswer(request, received, 0);
            change(a);
            return std::vector<Datagram>{Bytes(a)};
        };
    };
    const auto kiss = [&](uint32_t code) {
        return changed([code](NtpPacket& a) {
            a.stratum = 0;
            a.leap = kLeapUnsynchronised;
            a.referenceId = code;
        });
    };
    std::vector<uint64_t> earlierOrigins;
    const Case cases[] = {
        {"silent", [](const NtpPacket&, int64_t) { return std::vector<Datagram>{}; },
         "no answer within 0.3 s to 3 requests", 3},
        {"kiss RATE", kiss(0x52415445), "kiss-o'-death RATE: it asks this client to send fewer", 1},
        {"kiss DENY", kiss(0x44454E59), "kiss-o'-death DENY: it denies this client access", 1},
        {"kiss RSTR", kiss(0x52535452), "kiss-o'-death RSTR: it restricts", 1},
        {"leap 3", changed([](NtpPacket& a) { a.leap = kLeapUnsynchronised; }),
         "it is not synchronised (leap indicator 3)", 1},
        {"stratum 16", changed([](NtpPacket& a) { a.stratum = 16; }),
         "it is not synchronised (stratum 16)", 1},
        {"mode", changed([](NtpPacket& a) { a.mode = kModeClient; }),
         "it answered in mode 3, not as a server (mode 4)", 3},
        {"version", changed([](NtpPacket& a) { a.version = 2; }),
         "it answered with NTP version 2 (3 or 4 expected)", 3},
        {"origin not echoed", changed([](NtpPacket& a) { a.originTimestamp ^= 1; }),
         "its answers did not echo the request's transmit timestamp", 3},
        // A replay: each request gets the answer to the one before (the first, to an older one).
        {"replay",
         [&earlierOrigins](const NtpPacket& request, int64_t received) {
             NtpPacket a = ServerAnswer(request, received, 0);
             a.originTimestamp = earlierOrigins.empty() ? 42 : earlierOrigins.back();
             earlierOrigins.push_back(request.transmitTimestamp);
             return std::vector<Datagram>{Bytes(a)};
         },
         "did not echo the request's transmit timestamp (bogus or replayed packets)", 3},
        {"short",
         [](const NtpPacket& request, int64_t received) {
             Datagram d = Bytes(ServerAnswer(request, received, 0));
             d.resize(20);
             return std::vector<Datagram>{d};
         },
         "its answer is no usable NTP packet (20 bytes)", 3},
        {"sent before received",
         changed([](NtpPacket& a) { a.transmitTimestamp = a.receiveTimestamp - (1ULL << 32); }),
         "it sent its answer before the request arrived", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NtpTestResponder server(c.answer);
        const NtpMeasurement m = Measure(server, QuickBurst(3));
        EXPECT_FALSE(m.valid);
        EXPECT_EQ(m.error.find("NTP server 127.0.0.1:" + std::to_string(server.Port()) + ": "), 0u)
            << m.error;
        EXPECT_NE(m.error.find(c.message), std::string::npos) << m.error;
        EXPECT_EQ(server.Requests(), c.requests);
    }
}

// A wrong datagram before the real answer is passed over, and one exchange that times out
// leaves the others to give the result.
TEST(NtpResponderTest, StrayDatagramsAndALostAnswerDoNotSpoilTheBurst) {
    std::atomic<int> n{0};
    NtpTestResponder server([&](const NtpPacket& request, int64_t received) {
        if (n++ == 0) return std::vector<Datagram>{};  // the first answer is lost
        NtpPacket stray = ServerAnswer(request, received, 0);
        stray.originTimestamp = 12345;
        return std::vector<Datagram>{Bytes(stray), Bytes(ServerAnswer(request, received, 0))};
    });
    const NtpMeasurement m = Measure(server, QuickBurst(3));
    ASSERT_TRUE(m.valid) << m.error;
    EXPECT_EQ(m.requests, 3);
    EXPECT_EQ(m.answers, 2);
}

// An answer after a kiss does not count: the kiss ends the burst and leaves no reference.
TEST(NtpResponderTest, AKissAfterGoodAnswersLeavesNoReference) {
    std::atomic<int> n{0};
    NtpTestResponder server([&](const NtpPacket& request, int64_t received) {
        NtpPacket a = ServerAnswer(request, received, 0);
        if (n++ == 1) {
            a.stratum = 0;
            a.referenceId = 0x52415445;
        }
        return std::vector<Datagram>{Bytes(a)};
    });
    const NtpMeasurement m = Measure(server, QuickBurst(4));
    EXPECT_FALSE(m.valid);
    EXPECT_NE(m.error.find("RATE"), std::string::npos) << m.error;
    EXPECT_EQ(server.Requests(), 2);
}

TEST(NtpResponderTest, ANameThatDoesNotResolve) {
    const NtpMeasurement m = MeasureNtpOffset(SystemUdpNetwork(), {"kalendo-test.invalid", 123},
                                              SystemNtpClocks(), QuickBurst(1));
    EXPECT_FALSE(m.valid);
    EXPECT_NE(m.error.find("NTP server kalendo-test.invalid: \"kalendo-test.invalid\" does not "
                           "resolve"),
              std::string::npos)
        << m.error;
}

}  // namespace
}  // namespace kalendo::ntp::testing

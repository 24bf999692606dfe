// A small NTP server of the tests' own on a loopback UDP port, in a thread of the test program:
// each request is handed to the test's answer function, whose datagrams (none, one or several,
// right or wrong) go back to the sender. It counts the requests that reached it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "ntp/ntp_packet.h"

namespace kalendo::ntp::testing {

using Datagram = std::vector<uint8_t>;

class NtpTestResponder {
  public:
    // The request as it arrived (decoded; a short one is all zeros) and the responder's receipt
    // time on the system clock; returns what to send back.
    using Answer =
        std::function<std::vector<Datagram>(const NtpPacket& request, int64_t receivedNanos)>;

    explicit NtpTestResponder(Answer answer);
    ~NtpTestResponder();
    NtpTestResponder(const NtpTestResponder&) = delete;
    NtpTestResponder& operator=(const NtpTestResponder&) = delete;

    uint16_t Port() const { return port_; }
    int Requests() const { return requests_.load(); }

  private:
    void Serve();

    Answer answer_;
    intptr_t socket_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A good server's answer: mode 4, version 4, stratum 2, the request's transmit timestamp echoed,
// T2 at receipt and T3 at sending on a clock `aheadNanos` ahead of the system clock.
NtpPacket ServerAnswer(const NtpPacket& request, int64_t receivedNanos, int64_t aheadNanos);
Datagram Bytes(const NtpPacket& packet);

}  // namespace kalendo::ntp::testing

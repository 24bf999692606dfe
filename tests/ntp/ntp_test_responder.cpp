#include "tests/ntp/ntp_test_responder.h"

#include <stdexcept>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "ntp/ntp_clocks.h"

namespace kalendo::ntp::testing {

namespace {

#if defined(_WIN32)
void CloseNative(intptr_t s) {
    closesocket(static_cast<SOCKET>(s));
}
bool Readable(intptr_t s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(s), &set);
    timeval wait{0, ms * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}
#else
void CloseNative(intptr_t s) {
    close(static_cast<int>(s));
}
bool Readable(intptr_t s, int ms) {
    pollfd entry{static_cast<int>(s), POLLIN, 0};
    return poll(&entry, 1, ms) > 0;
}
#endif

}  // namespace

NtpTestResponder::NtpTestResponder(Answer answer) : answer_(std::move(answer)) {
#if defined(_WIN32)
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    const auto s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    socket_ = static_cast<intptr_t>(s);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // the system picks a free port
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("the test responder cannot bind a loopback port");
    }
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

NtpTestResponder::~NtpTestResponder() {
    stop_ = true;
    thread_.join();
    CloseNative(socket_);
}

void NtpTestResponder::Serve() {
    while (!stop_) {
        if (!Readable(socket_, 20)) continue;
        uint8_t buffer[512];
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const auto got = recvfrom(static_cast<decltype(socket(0, 0, 0))>(socket_),
                                  reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
        const int64_t received = SystemUtcNanos();
        if (got < 0) continue;
        ++requests_;
        NtpPacket request{};
        if (!DecodeNtpPacket(buffer, static_cast<size_t>(got), &request)) request = NtpPacket{};
        for (const Datagram& d : answer_(request, received)) {
            sendto(static_cast<decltype(socket(0, 0, 0))>(socket_),
                   reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
                   reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }
}

NtpPacket ServerAnswer(const NtpPacket& request, int64_t receivedNanos, int64_t aheadNanos) {
    NtpPacket a;
    a.leap = kLeapNone;
    a.version = 4;
    a.mode = kModeServer;
    a.stratum = 2;
    a.precision = -23;
    a.rootDelay = 0;
    a.rootDispersion = 0;
    a.referenceId = 0x7F000001;
    a.originTimestamp = request.transmitTimestamp;
    a.receiveTimestamp = NtpTimestampOfUnixNanos(receivedNanos + aheadNanos);
    a.referenceTimestamp = a.receiveTimestamp;
    a.transmitTimestamp = NtpTimestampOfUnixNanos(SystemUtcNanos() + aheadNanos);
    return a;
}

Datagram Bytes(const NtpPacket& packet) {
    const auto b = EncodeNtpPacket(packet);
    return Datagram(b.begin(), b.end());
}

}  // namespace kalendo::ntp::testing

// SystemUdpNetwork on winsock2 (Windows) and POSIX sockets. The calls are the same BSD socket
// calls on both; only the start-up, the socket's type, closing and the errors differ.
#include "ntp/udp_network.h"

#include <cstring>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kalendo::ntp {

namespace {

#if defined(_WIN32)
using NativeSocket = SOCKET;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;
void CloseSocket(NativeSocket s) {
    closesocket(s);
}
// Winsock must be started once per process; it stays up until the process ends.
bool StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
std::string ResolveErrorText(int code) {
    return "error " + std::to_string(code);
}
#else
using NativeSocket = int;
constexpr NativeSocket kNoSocket = -1;
void CloseSocket(NativeSocket s) {
    close(s);
}
bool StartSockets() {
    return true;
}
std::string ResolveErrorText(int code) {
    return gai_strerror(code);
}
#endif

class SystemUdpSocket final : public UdpSocket {
  public:
    explicit SystemUdpSocket(NativeSocket s) : socket_(s) {}
    ~SystemUdpSocket() override { CloseSocket(socket_); }
    SystemUdpSocket(const SystemUdpSocket&) = delete;
    SystemUdpSocket& operator=(const SystemUdpSocket&) = delete;

    bool Send(const uint8_t* data, size_t size) override {
        const auto sent =
            send(socket_, reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
        return sent >= 0 && static_cast<size_t>(sent) == size;
    }

    ReceiveOutcome Receive(std::vector<uint8_t>* datagram, double timeoutSeconds) override {
        const int ms = timeoutSeconds <= 0 ? 0 : static_cast<int>(timeoutSeconds * 1000 + 0.5);
#if defined(_WIN32)
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait{ms / 1000, (ms % 1000) * 1000};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
#else
        pollfd entry{socket_, POLLIN, 0};
        int ready = 0;
        do {
            ready = poll(&entry, 1, ms);
        } while (ready < 0 && errno == EINTR);
#endif
        if (ready == 0) return ReceiveOutcome::TimedOut;
        if (ready < 0) return ReceiveOutcome::Failed;
        // Larger than any NTP packet with extensions we would take; the rest is cut off.
        datagram->assign(2048, 0);
        const auto got = recv(socket_, reinterpret_cast<char*>(datagram->data()),
                              static_cast<int>(datagram->size()), 0);
        if (got < 0) {
            // A port nobody listens on answers with ICMP, which reaches a connected socket as
            // an error: to the caller it is the same as no answer.
            datagram->clear();
            return ReceiveOutcome::Failed;
        }
        datagram->resize(static_cast<size_t>(got));
        return ReceiveOutcome::Datagram;
    }

  private:
    NativeSocket socket_;
};

class SocketUdpNetwork final : public UdpNetwork {
  public:
    std::unique_ptr<UdpSocket> Connect(const std::string& host, uint16_t port, std::string* error,
                                       bool* unresolved) override {
        *unresolved = false;
        if (!StartSockets()) {
            *error = "the system's sockets could not be started";
            return nullptr;
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        hints.ai_protocol = IPPROTO_UDP;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(port);
        const int code = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        if (code != 0 || found == nullptr) {
            *unresolved = true;
            *error = "\"" + host + "\" does not resolve (" + ResolveErrorText(code) + ")";
            return nullptr;
        }
        std::unique_ptr<UdpSocket> result;
        for (addrinfo* a = found; a != nullptr && !result; a = a->ai_next) {
            const NativeSocket s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == kNoSocket) continue;
            if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
                CloseSocket(s);
                continue;
            }
            result = std::make_unique<SystemUdpSocket>(s);
        }
        freeaddrinfo(found);
        if (!result) *error = "no socket to \"" + host + "\" could be opened";
        return result;
    }
};

}  // namespace

UdpNetwork& SystemUdpNetwork() {
    static SocketUdpNetwork network;
    return network;
}

}  // namespace kalendo::ntp

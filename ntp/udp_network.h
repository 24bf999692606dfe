// The UDP seam of the NTP client: a socket connected to one server, so the system passes on
// only that server's datagrams. The system's own (winsock2 on Windows, POSIX sockets elsewhere)
// is SystemUdpNetwork(); tests give the client a fake, or the real one on the loopback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalendo::ntp {

enum class ReceiveOutcome { Datagram, TimedOut, Failed };

class UdpSocket {
  public:
    virtual ~UdpSocket() = default;
    // False when the system refused to send (no route, the socket closed).
    virtual bool Send(const uint8_t* data, size_t size) = 0;
    // Waits at most timeoutSeconds for one datagram from the server.
    virtual ReceiveOutcome Receive(std::vector<uint8_t>* datagram, double timeoutSeconds) = 0;
};

class UdpNetwork {
  public:
    virtual ~UdpNetwork() = default;
    // Resolves the host (a name, an IPv4 or IPv6 address) and connects a socket to the first of
    // its addresses that takes one. Null with the reason when the name does not resolve or no
    // socket can be made; *unresolved then says which of the two it was.
    virtual std::unique_ptr<UdpSocket> Connect(const std::string& host, uint16_t port,
                                               std::string* error, bool* unresolved) = 0;
};

UdpNetwork& SystemUdpNetwork();

}  // namespace kalendo::ntp

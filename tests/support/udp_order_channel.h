// A plain client of the simulated server's UDP order channel, for tests that
// must not use the library's own clients: a TCP connection and UDP sockets on
// any address, a logon naming a local UDP port, and a new order with a given
// client token, written by hand.
#ifndef HUX_TESTS_UDP_ORDER_CHANNEL_H
#define HUX_TESTS_UDP_ORDER_CHANNEL_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tests/support/net_support.h"

namespace hux_test {

inline sockaddr_in ipv4_address(const char* ip, uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &addr.sin_addr);
    return addr;
}

// A TCP connection to ip:port, or -1.
inline int connect_ip(const char* ip, uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr = ipv4_address(ip, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A UDP socket bound to ip at a free port, closed with the object.
struct udp_endpoint {
    int fd = -1;
    uint16_t port = 0;
    explicit udp_endpoint(const char* ip) {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr = ipv4_address(ip, 0);
        socklen_t len = sizeof(addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            return;
        }
        port = ntohs(addr.sin_port);
    }
    ~udp_endpoint() {
        if (fd >= 0) ::close(fd);
    }
    udp_endpoint(const udp_endpoint&) = delete;
    udp_endpoint& operator=(const udp_endpoint&) = delete;
    bool send_to(const char* ip, uint16_t to_port, const std::string& bytes) const {
        sockaddr_in addr = ipv4_address(ip, to_port);
        return ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) ==
               static_cast<ssize_t>(bytes.size());
    }
};

// logon_msg_req of "trader01" with an empty password digest and the local
// UDP port `udp_port` at 128, 168 bytes.
inline std::string logon_with_udp_port(uint16_t udp_port) {
    using net::unhex;
    using net::zeros;
    const char port_le[2] = {static_cast<char>(udp_port & 0xff), static_cast<char>(udp_port >> 8)};
    return unhex("4600")                   // type 70
           + unhex("a800")                 // length 168
           + zeros(4)                      // bytes 4-7
           + unhex("0f000000")             // protocol version 15
           + unhex("7472616465723031")     // user id "trader01" at 12 ...
           + zeros(25)                     // ... to 33 bytes
           + zeros(33)                     // password digest at 45: none
           + zeros(2)                      // bytes 78-79
           + zeros(18)                     // authorisation code at 80
           + zeros(30)                     // application id at 98
           + std::string(port_le, 2)       // local UDP port at 128, low byte first
           + zeros(33)                     // terminal id at 130
           + zeros(5);                     // bytes 163-167
}

// A new order of quantity 0 (so no fills follow an accept) with `token` as
// its client token at 20, 100 bytes.
inline std::string order_with_token(uint8_t token) {
    using net::unhex;
    using net::zeros;
    return unhex("0a00")                   // type 10
           + unhex("6400")                 // length 100
           + unhex("44332211")             // request tag 0x11223344
           + zeros(12)                     // bytes 8-19
           + std::string(1, static_cast<char>(token)) + zeros(3)  // client token
           + zeros(76);                    // bytes 24-99: quantity 0, the rest
}

}  // namespace hux_test

#endif

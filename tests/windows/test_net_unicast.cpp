// The UDP order channel on Winsock: set-up failures leave no socket behind,
// a datagram arrives whole from the bound local port, a closed channel
// sends nothing, and each object's own Winsock reference lasts exactly as
// long as the object.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net/socket_unicast.h"
#include "tests/windows/support/winsock_peer.h"

namespace {

using CLIENT_UDP_SCKT_ONLY::socket_unicast;

// 0 when a socket can be made now, else the Winsock error (10093 without
// a live WSAStartup).
int socket_error() {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return WSAGetLastError();
    closesocket(s);
    return 0;
}

// A UDP socket of the test's own, bound to 127.0.0.1 at `port` (0: any).
struct udp_socket {
    SOCKET sock = INVALID_SOCKET;
    uint16_t port = 0;

    explicit udp_socket(uint16_t want) {
        sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(want);
        int len = sizeof(addr);
        if (sock == INVALID_SOCKET || bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            close();
            return;
        }
        port = ntohs(addr.sin_port);
    }
    ~udp_socket() { close(); }
    void close() {
        if (sock != INVALID_SOCKET) closesocket(sock);
        sock = INVALID_SOCKET;
    }
    udp_socket(const udp_socket&) = delete;
    udp_socket& operator=(const udp_socket&) = delete;
};

// The local port a socket is bound to; 0 when none.
uint16_t bound_port(SOCKET s) {
    sockaddr_in addr = {};
    int len = sizeof(addr);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

// Winsock for the test's own sockets, beside the objects' references.
struct winsock_user {
    winsock_user() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~winsock_user() { WSACleanup(); }
};

TEST(UdpChannel, FailedSetUpAndClosedChannelSendNothing) {
    winsock_user winsock;
    socket_unicast channel;
    // Before any set-up there is no socket to send on.
    EXPECT_EQ(INVALID_SOCKET, channel.get_socket());
    EXPECT_EQ(-1, channel.sock_send("x", 1));

    udp_socket taken(0);
    ASSERT_NE(0, taken.port);
    udp_socket receiver(0);
    ASSERT_NE(0, receiver.port);
    // The local port is in use: no socket is kept and nothing can be sent.
    EXPECT_FALSE(channel.sock_init("127.0.0.1", receiver.port, "127.0.0.1", taken.port, 0, nullptr));
    EXPECT_EQ(INVALID_SOCKET, channel.get_socket());
    EXPECT_EQ(-1, channel.sock_send("x", 1));
    // Addresses that do not parse.
    EXPECT_FALSE(channel.sock_init("127.0.0.1", receiver.port, "no address", 0, 0, nullptr));
    EXPECT_FALSE(channel.sock_init("1.2.3", receiver.port, "127.0.0.1", 0, 0, nullptr));
    EXPECT_EQ(INVALID_SOCKET, channel.get_socket());

    // Set up, then closed: the socket is forgotten and sends fail.
    ASSERT_TRUE(channel.sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
    ASSERT_NE(INVALID_SOCKET, channel.get_socket());
    EXPECT_EQ(0, channel.sock_close());
    EXPECT_EQ(INVALID_SOCKET, channel.get_socket());
    EXPECT_EQ(-1, channel.sock_send("x", 1));
    EXPECT_EQ(0, channel.sock_close());
}

TEST(UdpChannel, DatagramArrivesWholeFromTheBoundPort) {
    winsock_user winsock;
    udp_socket receiver(0);
    ASSERT_NE(0, receiver.port);
    socket_unicast channel;
    ASSERT_TRUE(channel.sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
    const uint16_t local_port = bound_port(channel.get_socket());
    ASSERT_NE(0, local_port);

    char sent[100];
    for (int i = 0; i < 100; ++i) sent[i] = static_cast<char>(i * 7 + 1);
    ASSERT_EQ(100, channel.sock_send(sent, 100));

    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(receiver.sock, &ready);
    const int limit_ms = hux_wtest::wait_limit_ms();
    timeval limit = {limit_ms / 1000, (limit_ms % 1000) * 1000};
    ASSERT_EQ(1, select(0, &ready, nullptr, nullptr, &limit));
    char got[200];
    sockaddr_in from = {};
    int from_len = sizeof(from);
    const int n = recvfrom(receiver.sock, got, sizeof(got), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
    ASSERT_EQ(100, n);
    EXPECT_EQ(std::string(sent, 100), std::string(got, 100));
    EXPECT_EQ(local_port, ntohs(from.sin_port));
    EXPECT_EQ(htonl(INADDR_LOOPBACK), from.sin_addr.s_addr);

    // An empty datagram is still one send.
    EXPECT_EQ(0, channel.sock_send(sent, 0));
}

TEST(UdpChannel, EachObjectHoldsWinsockUntilItIsDestroyedAndFreesItsPort) {
    // Nothing else holds Winsock here.
    ASSERT_EQ(WSANOTINITIALISED, socket_error());
    std::unique_ptr<socket_unicast> first(new socket_unicast());
    EXPECT_EQ(0, socket_error());
    std::unique_ptr<socket_unicast> second(new socket_unicast());

    // Destroyed without a set-up: its own reference goes, the other stays.
    second.reset();
    EXPECT_EQ(0, socket_error());

    // Destroyed with its socket still open: the socket goes with it, so its
    // port is free again for a socket of the test's own.
    uint16_t port = 0;
    {
        udp_socket receiver(0);
        ASSERT_TRUE(first->sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
        port = bound_port(first->get_socket());
        ASSERT_NE(0, port);
    }
    {
        winsock_user winsock;
        first.reset();
        udp_socket again(port);
        EXPECT_EQ(port, again.port);
    }
    // The last reference is gone.
    EXPECT_EQ(WSANOTINITIALISED, socket_error());
}

}  // namespace

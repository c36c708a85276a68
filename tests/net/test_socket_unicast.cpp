// The kernel UDP sender over real loopback sockets: what leaves, from where,
// and what a failed set-up or a close leaves behind.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "net/socket_unicast.h"
#include "tests/support/test_wait.h"

using CLIENT_UDP_SCKT_ONLY::socket_unicast;

namespace {

// A UDP socket bound to 127.0.0.1 at a free port.
struct udp_socket {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    uint16_t port = 0;
    udp_socket() {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port = ntohs(addr.sin_port);
        }
    }
    ~udp_socket() { close(fd); }
    // One datagram, waiting for it at most the test's deadline; -1 when none came.
    int receive(char* buf, size_t size, sockaddr_in& from) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(hux_test::test_wait().count())) != 1) return -1;
        socklen_t len = sizeof(from);
        return static_cast<int>(recvfrom(fd, buf, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len));
    }
};

size_t open_descriptors() {
    size_t count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir != nullptr && readdir(dir) != nullptr) ++count;
    if (dir != nullptr) closedir(dir);
    return count;
}

}  // namespace

TEST(SocketUnicast, EachSendIsOneDatagramFromTheBoundPort) {
    udp_socket receiver;
    uint16_t local_port = udp_socket().port;  // free a moment ago
    ASSERT_NE(receiver.port, 0);
    ASSERT_NE(local_port, 0);

    socket_unicast sender;
    ASSERT_TRUE(sender.sock_init("127.0.0.1", receiver.port, "127.0.0.1", local_port, 0, nullptr));
    ASSERT_GE(sender.get_socket(), 0);
    char request[100];  // a 100-byte request, zero bytes included
    for (int i = 0; i < 100; ++i) request[i] = static_cast<char>(i * 7);
    EXPECT_EQ(sender.sock_send(request, 100), 100);
    EXPECT_EQ(sender.sock_send("x", 1), 1);

    char got[256];
    sockaddr_in from{};
    ASSERT_EQ(receiver.receive(got, sizeof(got), from), 100);
    EXPECT_EQ(std::memcmp(got, request, 100), 0);
    EXPECT_EQ(ntohs(from.sin_port), local_port);
    EXPECT_EQ(ntohl(from.sin_addr.s_addr), INADDR_LOOPBACK);
    ASSERT_EQ(receiver.receive(got, sizeof(got), from), 1);  // a datagram of its own
    EXPECT_EQ(got[0], 'x');

    EXPECT_EQ(sender.sock_send(request, -1), -1);
    EXPECT_EQ(sender.sock_send(nullptr, 10), -1);
}

TEST(SocketUnicast, FailedSetUpLeavesNoSocket) {
    udp_socket receiver;
    udp_socket occupant;
    const size_t descriptors = open_descriptors();
    socket_unicast sender;
    EXPECT_FALSE(sender.sock_init("127.0.0.1", receiver.port, "127.0.0.1", occupant.port, 0, nullptr));
    EXPECT_EQ(sender.get_socket(), -1);

    // Address texts that do not parse, local or remote.
    for (const char* bad : {"127.0.0.256", "localhost", "", "1.2.3", "10.0.0.1 ", "::1"}) {
        EXPECT_FALSE(sender.sock_init("127.0.0.1", receiver.port, bad, 0, 0, nullptr)) << "local " << bad;
        EXPECT_EQ(sender.get_socket(), -1) << "local " << bad;
        EXPECT_FALSE(sender.sock_init(bad, receiver.port, "127.0.0.1", 0, 0, nullptr)) << "remote " << bad;
        EXPECT_EQ(sender.get_socket(), -1) << "remote " << bad;
    }
    EXPECT_EQ(open_descriptors(), descriptors);

    // The all-ones address is a valid text, not a parse failure; a second
    // set-up replaces the first socket instead of leaking it.
    EXPECT_TRUE(sender.sock_init("255.255.255.255", receiver.port, "127.0.0.1", 0, 0, nullptr));
    EXPECT_TRUE(sender.sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
    EXPECT_EQ(open_descriptors(), descriptors + 1);
}

TEST(SocketUnicast, CloseIsHarmlessTwiceAndSendingWithoutSocketFails) {
    udp_socket receiver;
    const size_t descriptors = open_descriptors();
    socket_unicast sender;
    EXPECT_EQ(sender.sock_send("before", 6), -1);
    EXPECT_EQ(sender.sock_close(), 0);

    ASSERT_TRUE(sender.sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(sender.sock_close(), 0);
        EXPECT_EQ(sender.get_socket(), -1);
    }
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(sender.sock_send("after", 5), -1);

    // The object can be set up again after a close.
    ASSERT_TRUE(sender.sock_init("127.0.0.1", receiver.port, "127.0.0.1", 0, 0, nullptr));
    EXPECT_EQ(sender.sock_send("again", 5), 5);
    char got[16];
    sockaddr_in from{};
    ASSERT_EQ(receiver.receive(got, sizeof(got), from), 5);
    EXPECT_EQ(std::string(got, 5), "again");
}

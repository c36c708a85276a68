// The loopback TCP server fixture, driven by a plain POSIX client socket.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "sim/loopback_server.h"

using hux_test::loopback_server;
using namespace std::chrono;

namespace {

const milliseconds deadline(5000);

// A connected client socket on 127.0.0.1:port, or -1.
int connect_to(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `n` bytes arrived, the peer closed, or the deadline passed.
std::string read_bytes(int fd, size_t n) {
    std::string out;
    auto until = steady_clock::now() + deadline;
    while (out.size() < n && steady_clock::now() < until) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[4096];
        ssize_t got = ::recv(fd, buf, sizeof(buf), 0);
        if (got <= 0) break;
        out.append(buf, static_cast<size_t>(got));
    }
    return out;
}

// Waits for the end of the stream: 0 for a clean FIN, or the errno of a failed read.
int read_end(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(deadline.count())) <= 0) return -1;
    char c;
    ssize_t got = ::recv(fd, &c, 1, 0);
    if (got == 0) return 0;
    return got < 0 ? errno : -2;  // -2: unexpected data
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return s;
}

}  // namespace

TEST(LoopbackServer, CarriesBytesBothWaysAndNumbersConnections) {
    loopback_server server;
    ASSERT_NE(server.port(), 0);
    int a = connect_to(server.port());
    int b = connect_to(server.port());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(server.wait_accept(1, deadline));
    EXPECT_EQ(server.accepted_count(), 2u);
    EXPECT_FALSE(server.wait_accept(2, milliseconds(20)));

    // Client to server, recorded per connection.
    ASSERT_EQ(::send(a, "hello", 5, 0), 5);
    ASSERT_EQ(::send(b, "world!", 6, 0), 6);
    ASSERT_TRUE(server.wait_received(0, 5, deadline));
    ASSERT_TRUE(server.wait_received(1, 6, deadline));
    EXPECT_EQ(server.received(0), "hello");
    EXPECT_EQ(server.received(1), "world!");
    EXPECT_EQ(server.received(7), "");  // no such connection
    EXPECT_FALSE(server.send(7, "x"));

    // Server to client: whole, in fixed pieces, in random pieces; all byte-exact.
    std::string data = pattern(70000);
    ASSERT_TRUE(server.send(0, "abc"));
    EXPECT_EQ(read_bytes(a, 3), "abc");
    ASSERT_TRUE(server.send_pieces(0, data, {1, 2, 3, 1000}));
    EXPECT_EQ(read_bytes(a, data.size()), data);
    ASSERT_TRUE(server.send_pieces(1, "0123456789", {3, 3}, microseconds(100)));
    EXPECT_EQ(read_bytes(b, 10), "0123456789");
    ASSERT_TRUE(server.send_random_pieces(1, data, 42, 17));
    EXPECT_EQ(read_bytes(b, data.size()), data);

    ::close(a);
    ::close(b);
    EXPECT_TRUE(server.wait_peer_closed(0, deadline));
    EXPECT_TRUE(server.wait_peer_closed(1, deadline));
}

TEST(LoopbackServer, CloseSendsFinAfterDataAndResetSendsRst) {
    loopback_server server;
    int a = connect_to(server.port());
    int b = connect_to(server.port());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(server.wait_accept(1, deadline));

    ASSERT_TRUE(server.send(0, "last words"));
    server.close(0);
    EXPECT_EQ(read_bytes(a, 10), "last words");  // data first, then the FIN
    EXPECT_EQ(read_end(a), 0);
    EXPECT_FALSE(server.send(0, "x"));  // closed connections refuse sends

    server.reset(1);
    EXPECT_EQ(read_end(b), ECONNRESET);

    // Closing twice or an unknown connection is harmless.
    server.close(0);
    server.reset(9);
    ::close(a);
    ::close(b);
}

TEST(LoopbackServer, StopsAndResumesListeningOnTheSamePort) {
    loopback_server server;
    uint16_t port = server.port();
    int a = connect_to(port);
    ASSERT_GE(a, 0);
    ASSERT_TRUE(server.wait_accept(0, deadline));

    server.stop_listening();
    EXPECT_EQ(connect_to(port), -1);  // refused
    EXPECT_EQ(server.accepted_count(), 1u);

    ASSERT_TRUE(server.resume_listening());
    EXPECT_EQ(server.port(), port);
    int b = connect_to(port);
    ASSERT_GE(b, 0);
    ASSERT_TRUE(server.wait_accept(1, deadline));
    ASSERT_TRUE(server.send(1, "again"));
    EXPECT_EQ(read_bytes(b, 5), "again");
    ::close(a);
    ::close(b);
}

TEST(LoopbackServer, PausedReadingFillsTheClientsSendBuffer) {
    loopback_server server;
    server.set_small_receive_buffer(true);
    int a = connect_to(server.port());
    ASSERT_GE(a, 0);
    ASSERT_TRUE(server.wait_accept(0, deadline));
    server.pause_reading(0, true);

    // Write without blocking until the kernel refuses more.
    ASSERT_EQ(::fcntl(a, F_SETFL, ::fcntl(a, F_GETFL, 0) | O_NONBLOCK), 0);
    std::string chunk = pattern(4096);
    std::string sent;
    auto until = steady_clock::now() + deadline;
    bool full = false;
    while (!full && steady_clock::now() < until) {
        ssize_t n = ::send(a, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n > 0) sent.append(chunk.data(), static_cast<size_t>(n));
        full = n < 0 && errno == EAGAIN;
    }
    ASSERT_TRUE(full);
    EXPECT_LT(server.received(0).size(), sent.size());

    server.pause_reading(0, false);
    ASSERT_TRUE(server.wait_received(0, sent.size(), deadline));
    EXPECT_EQ(server.received(0), sent);
    ::close(a);
}

TEST(LoopbackServer, ThreadCountFollowsTheServersLifetime) {
    size_t before = hux_test::thread_count();
    ASSERT_GE(before, 1u);
    {
        auto server = std::make_unique<loopback_server>();
        EXPECT_EQ(hux_test::thread_count(), before + 1);  // its one poll loop
    }
    EXPECT_TRUE(hux_test::wait_until([&] { return hux_test::thread_count() == before; }, deadline));

    int calls = 0;
    EXPECT_FALSE(hux_test::wait_until([&] { return ++calls < 0; }, milliseconds(5)));
    EXPECT_GT(calls, 1);  // polled more than once before giving up
}

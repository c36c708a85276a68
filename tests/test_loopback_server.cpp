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
#include "tests/support/plain_socket.h"

using hux_test::connect_to;
using hux_test::loopback_server;
using namespace std::chrono;

namespace {

const milliseconds deadline(5000);




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
    EXPECT_EQ(hux_test::read_exact(a, 3, deadline), "abc");
    ASSERT_TRUE(server.send_pieces(0, data, {1, 2, 3, 1000}));
    EXPECT_EQ(hux_test::read_exact(a, data.size(), deadline), data);
    ASSERT_TRUE(server.send_pieces(1, "0123456789", {3, 3}, microseconds(100)));
    EXPECT_EQ(hux_test::read_exact(b, 10, deadline), "0123456789");
    ASSERT_TRUE(server.send_random_pieces(1, data, 42, 17));
    EXPECT_EQ(hux_test::read_exact(b, data.size(), deadline), data);

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
    EXPECT_EQ(hux_test::read_exact(a, 10, deadline), "last words");  // data first, then the FIN
    EXPECT_EQ(hux_test::read_end(a, deadline), 0);
    EXPECT_FALSE(server.send(0, "x"));  // closed connections refuse sends

    server.reset(1);
    EXPECT_EQ(hux_test::read_end(b, deadline), ECONNRESET);

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
    EXPECT_EQ(hux_test::read_exact(b, 5, deadline), "again");
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

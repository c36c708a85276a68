// The loopback TCP server fixture, driven by a plain POSIX client socket: the
// failures it injects and the thread count the clients' tests rely on. What
// the clients' tests prove through it is not repeated here: numbered
// connections, bytes both ways whole and in order however they are cut
// (the reassembled record streams), stopping and resuming the listener (the
// caching client's reconnect after a failed start) and paused reading (sends
// into a server that stopped reading).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

#include "sim/loopback_server.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"

using hux_test::connect_to;
using hux_test::loopback_server;
using namespace std::chrono;

const milliseconds deadline = hux_test::test_wait();

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

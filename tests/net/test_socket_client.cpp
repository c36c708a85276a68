// The threaded TCP client library over real loopback sockets: the worker
// thread's state machine, socket_client's events, sends and texts, the
// caching client's receive hand-over, queued sends and reconnect, and the
// interface queries.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/loopback_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"
#include "net/linux/net_interface.h"
#include "net/linux/socket_client.h"
#include "net/socket_cache_client.h"
#include "net/thread/morvast_socket_thread.h"

using hux_test::loopback_server;
using hux_test::wait_until;
using namespace std::chrono;

namespace {

const milliseconds deadline = hux_test::test_wait();
// How long a test watches for something that must not happen.
const milliseconds quiet_window(100);

using recorder = hux_test::net::event_recorder;
using recorded_event = recorder::event;

// Log sink that keeps every text.
struct text_sink : socket_context {
    std::mutex m;
    std::vector<std::string> texts;
    void on_socket_write_info_msg(char const* msg, int len) override {
        std::lock_guard<std::mutex> g(m);
        texts.push_back(std::string(msg, static_cast<size_t>(len)));
    }
    void on_socket_write_error_msg(char const*, int) override {}
    void on_socket_write_bin_msg(char const*, int) override {}
    std::vector<std::string> all() {
        std::lock_guard<std::mutex> g(m);
        return texts;
    }
};

// Exposes the wait-error bookkeeping of the event loop.
struct probe_client : socket_client {
    using socket_client::error_statistic;
    using socket_client::proc_thread_error;
};

int counting_function(void* p) {
    static_cast<std::atomic<int>*>(p)->fetch_add(1);
    return 0;
}

uint16_t local_port_of(int sock) {
    sockaddr_in a{};
    socklen_t len = sizeof(a);
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

}  // namespace

TEST(SocketThread, StartPauseStopStateMachine) {
    std::atomic<int> calls(0);
    morvast_socket_thread worker;
    worker.register_function(&counting_function, &calls, true);
    EXPECT_EQ(worker.get_thread_name(), "");

    // Never started: stop returns at once (a stop that waited would wait for
    // good), pause refuses.
    hux_test::returns_within("stopping a worker never started", [&] { EXPECT_TRUE(worker.stop()); });
    EXPECT_EQ(worker.get_thread_status(), THREAD_INIT);
    EXPECT_FALSE(worker.pause());
    EXPECT_FALSE(worker.is_same_thread());

    ASSERT_TRUE(worker.start());
    EXPECT_EQ(worker.get_thread_status(), THREAD_RUN);
    EXPECT_TRUE(worker.start());  // already running
    ASSERT_TRUE(wait_until([&] { return calls.load() > 3; }, deadline));

    ASSERT_TRUE(worker.pause());
    EXPECT_EQ(worker.get_thread_status(), THREAD_PAUSED);
    EXPECT_TRUE(worker.pause());  // already paused
    int paused_at = calls.load();
    EXPECT_FALSE(wait_until([&] { return calls.load() != paused_at; }, quiet_window));

    ASSERT_TRUE(worker.start());  // resumes
    EXPECT_EQ(worker.get_thread_status(), THREAD_RUN);
    ASSERT_TRUE(wait_until([&] { return calls.load() > paused_at; }, deadline));

    ASSERT_TRUE(worker.stop());
    EXPECT_EQ(worker.get_thread_status(), THREAD_STOPED);
    EXPECT_FALSE(worker.pause());
    int stopped_at = calls.load();
    EXPECT_FALSE(wait_until([&] { return calls.load() != stopped_at; }, quiet_window));

    // A stopped worker starts a new thread.
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(wait_until([&] { return calls.load() > stopped_at; }, deadline));
    // The destructor stops the running worker.
}

TEST(SocketThread, OwnThreadRequestsAndLongWaits) {
    struct own_thread_probe {
        morvast_socket_thread* worker;
        std::atomic<int> calls{0};
        std::atomic<bool> same{false};
        std::atomic<bool> start_refused{false};
        std::atomic<bool> stop_result{false};
    } probe;
    morvast_socket_thread worker;
    probe.worker = &worker;
    worker.register_function(
        [](void* p) -> int {
            own_thread_probe* pr = static_cast<own_thread_probe*>(p);
            pr->same = pr->worker->is_same_thread();
            pr->start_refused = !pr->worker->start();
            pr->stop_result = pr->worker->stop();  // marks STOPED at once
            pr->calls.fetch_add(1);
            return 0;
        },
        &probe, true);
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(wait_until([&] { return probe.calls.load() == 1; }, deadline));
    EXPECT_EQ(worker.get_thread_status(), THREAD_STOPED);
    EXPECT_TRUE(probe.same.load());
    EXPECT_TRUE(probe.start_refused.load());
    EXPECT_TRUE(probe.stop_result.load());
    EXPECT_FALSE(wait_until([&] { return probe.calls.load() > 1; }, quiet_window));

    // A function returning non-zero is called again without idling; then an
    // idle wait far longer than the test's deadline is cut short by stop.
    struct spin_probe {
        morvast_socket_thread* worker;
        std::atomic<int> calls{0};
    } spins;
    static const int idle_wait_us = static_cast<int>(
        std::min<unsigned long long>(hux_test::long_library_wait_ms() * 1000, INT_MAX));
    morvast_socket_thread sleeper;
    spins.worker = &sleeper;
    sleeper.register_function(
        [](void* p) -> int {
            spin_probe* sp = static_cast<spin_probe*>(p);
            sp->worker->set_thread_wait_micro_sec(idle_wait_us);
            return sp->calls.fetch_add(1) < 100 ? 1 : 0;
        },
        &spins, true);
    ASSERT_TRUE(sleeper.start());
    ASSERT_TRUE(wait_until([&] { return spins.calls.load() > 100; }, deadline));
    hux_test::returns_within("stopping an idle worker", [&] { EXPECT_TRUE(sleeper.stop()); });
}

TEST(SocketClient, ConnectReceiveAndCloseEventsOnTheirThreads) {
    loopback_server server;
    recorder rec;
    socket_client client;
    // Never connected: close reports nothing.
    EXPECT_TRUE(client.sock_close());
    EXPECT_EQ(client.get_sock(), -1);

    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
    EXPECT_TRUE(client.is_connected());
    ASSERT_TRUE(server.wait_accept(0, deadline));
    ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, 1));
    recorded_event connect = rec.of(EVENT_CONNECT)[0];
    EXPECT_FALSE(pthread_equal(connect.thread, pthread_self()));
    EXPECT_EQ(connect.id, 0);

    ASSERT_TRUE(server.send(0, "hello"));
    ASSERT_TRUE(wait_until([&] { return rec.received() == "hello"; }, deadline));
    recorded_event recv = rec.of(EVENT_RECEIVE)[0];
    EXPECT_TRUE(pthread_equal(recv.thread, connect.thread));
    EXPECT_EQ(recv.id, client.get_sock());

    unsigned char ip[4];
    ASSERT_TRUE(client.get_local_ip(ip));
    EXPECT_EQ(std::memcmp(ip, "\x7f\x00\x00\x01", 4), 0);
    unsigned char mac[6];
    EXPECT_FALSE(client.get_local_mac(mac));  // "lo" is not in the adapter table

    EXPECT_TRUE(client.sock_close());
    EXPECT_FALSE(client.is_connected());
    EXPECT_EQ(client.get_sock(), -1);
    ASSERT_EQ(rec.count(EVENT_LOCALE_DISCONNECT), 1U);
    EXPECT_TRUE(pthread_equal(rec.of(EVENT_LOCALE_DISCONNECT)[0].thread, pthread_self()));
    EXPECT_TRUE(server.wait_peer_closed(0, deadline));
    EXPECT_FALSE(client.get_local_ip(ip));

    size_t before = rec.total();
    EXPECT_TRUE(client.sock_close());  // no longer connected: nothing more
    EXPECT_EQ(rec.total(), before);
    EXPECT_EQ(rec.count(EVENT_REMOTE_DISCONNECT), 0U);
}

TEST(SocketClient, RemoteCloseAndResetEndTheConnectionQuietly) {
    loopback_server server;
    text_sink sink;
    for (int with_reset = 0; with_reset < 2; ++with_reset) {
        recorder rec;
        socket_client client;
        client.sock_set_context(&sink);
        ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
        ASSERT_TRUE(server.wait_accept(static_cast<size_t>(with_reset), deadline));
        ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, 1));
        if (with_reset)
            server.reset(1);
        else
            server.close(0);
        ASSERT_TRUE(rec.wait_count(EVENT_REMOTE_DISCONNECT, 1)) << with_reset;
        EXPECT_FALSE(pthread_equal(rec.of(EVENT_REMOTE_DISCONNECT)[0].thread, pthread_self()));
        EXPECT_TRUE(wait_until([&] { return client.get_sock() == -1; }, deadline));
        EXPECT_FALSE(client.is_connected());
        EXPECT_EQ(client.sock_send("x", 1), -1);
        EXPECT_TRUE(client.sock_close());
        EXPECT_EQ(rec.count(EVENT_LOCALE_DISCONNECT), 0U);
    }
    EXPECT_TRUE(sink.all().empty());  // end of stream and reset log nothing
}

TEST(SocketClient, SetUpFailuresLeaveTheClientClosed) {
    loopback_server server;
    recorder rec;
    socket_client client;
    text_sink sink;
    client.sock_set_context(&sink);
    EXPECT_FALSE(client.sock_init("127.0.0.1", server.port(), nullptr, &rec));
    EXPECT_FALSE(client.sock_init("127.0.0.256", server.port(), &recorder::callback, &rec));
    EXPECT_FALSE(client.sock_init("localhost", server.port(), &recorder::callback, &rec));
    EXPECT_FALSE(client.sock_init("127.0.0.1", server.port(), "1.2.3", 0, &recorder::callback, &rec));
    uint16_t refused = hux_test::free_loopback_port(SOCK_STREAM);
    EXPECT_FALSE(client.sock_init("127.0.0.1", refused, &recorder::callback, &rec));
    EXPECT_FALSE(client.is_connected());
    EXPECT_EQ(client.get_sock(), -1);
    EXPECT_EQ(server.accepted_count(), 0U);
    EXPECT_EQ(rec.total(), 0U);
    EXPECT_TRUE(sink.all().empty());

    // A local port that is taken: the three texts of the failed binding.
    int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    uint16_t taken = local_port_of(holder);
    EXPECT_FALSE(client.sock_init("127.0.0.1", server.port(), "127.0.0.1", taken, &recorder::callback, &rec));
    close(holder);
    char first[256];
    std::snprintf(first, sizeof(first),
                  "*****socket client local_addr error!***** error code:%d error message:(%s) 127.0.0.1 ", EADDRINUSE,
                  strerror(EADDRINUSE));
    // 127.0.0.1 read as a raw 32-bit value is 0x0100007f = 16777343.
    std::string second = " " + std::to_string(server.port()) + "  16777343";
    std::string third = " " + std::to_string(htons(taken)) + " \n ";
    std::vector<std::string> texts = sink.all();
    ASSERT_EQ(texts.size(), 3U);
    EXPECT_EQ(texts[0], first);
    EXPECT_EQ(texts[1], second);
    EXPECT_EQ(texts[2], third);
    EXPECT_FALSE(client.is_connected());
    EXPECT_EQ(client.get_sock(), -1);
    EXPECT_EQ(rec.total(), 0U);
}

TEST(SocketClient, LocalBindingUsesTheGivenPort) {
    loopback_server server;
    recorder rec;
    socket_client client;
    uint16_t port = hux_test::free_loopback_port(SOCK_STREAM);
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), "127.0.0.1", port, &recorder::callback, &rec));
    EXPECT_EQ(local_port_of(client.get_sock()), port);
    ASSERT_TRUE(server.wait_accept(0, deadline));
    client.sock_close();

    // From an adapter's own address the client finds that adapter's MAC.
    ip_and_mac table[16];
    int n = load_ip_and_mac(table, 16);
    if (n == 0) GTEST_SKIP() << "no adapter besides lo";
    char text[INET_ADDRSTRLEN];
    ASSERT_NE(inet_ntop(AF_INET, table[0].m_ip, text, sizeof(text)), nullptr);
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), text, 0, &recorder::callback, &rec));
    unsigned char mac[6];
    ASSERT_TRUE(client.get_local_mac(mac));
    EXPECT_EQ(std::memcmp(mac, table[0].m_mac, 6), 0);
    client.sock_close();
}

TEST(SocketClient, SendReportsWhatTheKernelTookOnTheCallingThread) {
    loopback_server server;
    server.set_small_receive_buffer(true);
    recorder rec;
    socket_client client;
    EXPECT_EQ(client.sock_send("abc", 3), -1);  // no socket
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
    ASSERT_TRUE(server.wait_accept(0, deadline));
    ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, 1));  // no later event but sends
    EXPECT_EQ(client.sock_send(nullptr, 4), -1);
    EXPECT_EQ(client.sock_send("abc", -1), -1);

    ASSERT_EQ(client.sock_send("abc", 3), 3);
    std::vector<recorded_event> sends = rec.of(EVENT_SEND);
    ASSERT_EQ(sends.size(), 1U);
    EXPECT_EQ(sends[0].bytes, "abc");
    EXPECT_TRUE(pthread_equal(sends[0].thread, pthread_self()));
    EXPECT_EQ(sends[0].id, client.get_sock());
    ASSERT_TRUE(server.wait_received(0, 3, deadline));

    // Fill the path to a server that stopped reading.
    server.pause_reading(0, true);
    std::string block(1000, '\0');
    size_t accepted = 3;
    int partial = -1;
    bool saw_again = false;
    for (int i = 0; i < 100000 && !(partial > 0 && saw_again); ++i) {
        for (size_t j = 0; j < block.size(); ++j) block[j] = static_cast<char>('a' + (accepted + j) % 26);
        size_t events_before = rec.count(EVENT_SEND);
        int n = client.sock_send(block.data(), static_cast<int>(block.size()));
        ASSERT_GE(n, 0);
        if (n == 0) {
            saw_again = true;  // EAGAIN: nothing sent, nothing reported
            EXPECT_EQ(rec.count(EVENT_SEND), events_before);
            continue;
        }
        ASSERT_EQ(rec.count(EVENT_SEND), events_before + 1);
        recorded_event reported = rec.last();
        ASSERT_EQ(reported.type, EVENT_SEND);
        ASSERT_EQ(reported.bytes, block.substr(0, static_cast<size_t>(n)));
        accepted += static_cast<size_t>(n);
        if (n < static_cast<int>(block.size())) partial = n;
    }
    EXPECT_GT(partial, 0);
    EXPECT_TRUE(saw_again);
    // Everything reported as sent arrives, in order.
    server.pause_reading(0, false);
    ASSERT_TRUE(server.wait_received(0, accepted, 2 * deadline));
    std::string got = server.received(0);
    ASSERT_EQ(got.size(), accepted);
    for (size_t j = 3; j < got.size(); ++j) ASSERT_EQ(got[j], static_cast<char>('a' + j % 26)) << j;
    client.sock_close();
}

TEST(SocketClient, SendToADroppedPeerFailsWithoutKillingTheProcess) {
    loopback_server server;
    recorder rec;
    std::atomic<bool> release(false);
    // Keep the event thread from noticing the drop, so the socket stays open.
    rec.on_event = [&](SOCKET_EVENT e) {
        while (e == EVENT_CONNECT && !release.load()) usleep(1000);
    };
    socket_client client;
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
    ASSERT_TRUE(server.wait_accept(0, deadline));
    server.close(0);
    // The first send still goes out and draws a reset; the next fails with
    // EPIPE, which would raise SIGPIPE without MSG_NOSIGNAL.
    EXPECT_TRUE(wait_until([&] { return client.sock_send("ping", 4) == -1; }, deadline));
    EXPECT_GE(client.get_sock(), 0);
    release = true;
    EXPECT_TRUE(rec.wait_count(EVENT_REMOTE_DISCONNECT, 1));
}

TEST(SocketClient, CloseFromTheEventThreadAndAfterAStuckCallback) {
    loopback_server server;
    {
        // sock_close inside the callback returns at once; the loop then ends.
        recorder rec;
        std::atomic<bool> closed_inside(false);
        socket_client client;
        rec.on_event = [&](SOCKET_EVENT e) {
            if (e == EVENT_RECEIVE) closed_inside = client.sock_close();
        };
        ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
        ASSERT_TRUE(server.wait_accept(0, deadline));
        ASSERT_TRUE(server.send(0, "x"));
        ASSERT_TRUE(wait_until([&] { return closed_inside.load(); }, deadline));
        ASSERT_EQ(rec.count(EVENT_LOCALE_DISCONNECT), 1U);
        EXPECT_TRUE(pthread_equal(rec.of(EVENT_LOCALE_DISCONNECT)[0].thread, rec.of(EVENT_CONNECT)[0].thread));
        EXPECT_TRUE(server.wait_peer_closed(0, deadline));
        EXPECT_TRUE(wait_until([&] { return client.get_sock() == -1; }, deadline));
    }
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer reports a false stack-buffer-underflow (and may then
    // deadlock at exit) when a thread is cancelled while unwinding through
    // instrumented frames, so this case runs in the plain and thread builds.
    {
        // A callback that never returns: after the poll limit the thread is
        // cancelled and the socket still closed.
        recorder rec;
        std::atomic<bool> stuck(false);
        socket_client client;
        client.set_stop_poll_limit(20);
        rec.on_event = [&](SOCKET_EVENT e) {
            if (e != EVENT_CONNECT) return;
            stuck = true;
            for (;;) usleep(1000);  // a cancellation point
        };
        ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec));
        ASSERT_TRUE(server.wait_accept(1, deadline));
        ASSERT_TRUE(wait_until([&] { return stuck.load(); }, deadline));
        hux_test::returns_within("closing past a stuck callback", [&] { EXPECT_TRUE(client.sock_close()); });
        EXPECT_EQ(client.get_sock(), -1);
        EXPECT_EQ(rec.count(EVENT_LOCALE_DISCONNECT), 1U);
        EXPECT_TRUE(server.wait_peer_closed(1, deadline));
    }
#endif
}

TEST(SocketClient, TextsGoToTheSinkOrUnchangedToStandardOutput) {
    socket_client plain;
    testing::internal::CaptureStdout();
    plain.log_msg("no newline added");
    plain.log_msg(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no newline added");

    // Each kind of failed wait is logged once, showing the count before it.
    probe_client probe;
    text_sink sink;
    probe.sock_set_context(&sink);
    probe.proc_thread_error(EINTR);
    probe.proc_thread_error(EINTR);
    probe.proc_thread_error(EBADF);
    probe.proc_thread_error(EFAULT);
    probe.proc_thread_error(EINVAL);
    probe.proc_thread_error(ENOMEM);
    probe.proc_thread_error(EIO);
    std::vector<std::string> texts = sink.all();
    ASSERT_EQ(texts.size(), 5U);
    EXPECT_EQ(texts[0],
              "epoll_waite error! the call was interrupted by a signal handler before any of the requested events "
              "occurred or timeout expired. error times(0)\n");
    EXPECT_EQ(texts[1], "epoll_waite error! epoll_handle:-1  is not a valid file descriptor. error times(0)\n");
    EXPECT_EQ(texts[2], "epoll_waite error! epoll_event is not accessible with write. error times(0)");
    EXPECT_EQ(texts[3],
              "epoll_waite error! m_epoll_handle is not an epoll file descriptor, or maxevents is less than or equal "
              "to zero. error times(0)\n");
    EXPECT_EQ(texts[4], "epoll_waite error! undefine wait error. error times(0)\n");
    const epoll_error& counts = probe.error_statistic();
    EXPECT_EQ(counts.m_wait_error_EINTR, 2);
    EXPECT_EQ(counts.m_wait_error_EBADF, 1);
    EXPECT_EQ(counts.m_wait_error_EFAULT, 1);
    EXPECT_EQ(counts.m_wait_error_EINVAL, 1);
    EXPECT_EQ(counts.m_wait_error_UNDEF, 2);
    probe.event_client_error();
    EXPECT_EQ(sink.all().back(), "event_client_error, will close this socket\n");
}

TEST(SocketCacheClient, UnconsumedBytesWaitForMoreOnTheReceiveWorker) {
    loopback_server server;
    recorder rec;
    // Take whole 4-byte messages only.
    rec.consume = [](const std::string& b) { return static_cast<uint32_t>(b.size() / 4 * 4); };
    socket_cache_client client(8192);
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec, true));
    ASSERT_TRUE(server.wait_accept(0, deadline));
    ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, 1));
    EXPECT_GE(client.get_socket(), 0);

    ASSERT_TRUE(server.send(0, "abc"));
    ASSERT_TRUE(rec.wait_count(EVENT_RECEIVE, 1));
    EXPECT_FALSE(rec.wait_count(EVENT_RECEIVE, 2, quiet_window));  // not offered again by itself
    ASSERT_TRUE(server.send(0, "defghi"));
    ASSERT_TRUE(rec.wait_count(EVENT_RECEIVE, 3));
    ASSERT_TRUE(server.send(0, "jk"));
    ASSERT_TRUE(rec.wait_count(EVENT_RECEIVE, 4));
    std::vector<recorded_event> offers = rec.of(EVENT_RECEIVE);
    ASSERT_EQ(offers.size(), 4U);
    EXPECT_EQ(offers[0].bytes, "abc");
    EXPECT_EQ(offers[1].bytes, "abcdefghi");  // 8 taken, "i" offered again at once
    EXPECT_EQ(offers[2].bytes, "i");
    EXPECT_EQ(offers[3].bytes, "ijk");
    pthread_t event_thread = rec.of(EVENT_CONNECT)[0].thread;
    for (const recorded_event& r : offers) {
        EXPECT_FALSE(pthread_equal(r.thread, event_thread));
        EXPECT_FALSE(pthread_equal(r.thread, pthread_self()));
    }

    EXPECT_TRUE(client.sock_close());
    ASSERT_EQ(rec.count(EVENT_LOCALE_DISCONNECT), 1U);
    EXPECT_TRUE(pthread_equal(rec.of(EVENT_LOCALE_DISCONNECT)[0].thread, pthread_self()));
    EXPECT_FALSE(client.is_connected());
}

TEST(SocketCacheClient, QueuedAndDirectSendsArriveInOrder) {
    loopback_server server;
    recorder rec;
    recorder direct;
    socket_cache_client client(8192);
    EXPECT_FALSE(client.sock_init("127.0.0.1", server.port(), nullptr, &rec, true));
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec, true));
    ASSERT_TRUE(server.wait_accept(0, deadline));
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        char rec_text[32];
        int len = std::snprintf(rec_text, sizeof(rec_text), "R%06d|", i);
        ASSERT_EQ(client.sock_send(rec_text, len), len);  // queued, counted at once
        expected.append(rec_text, static_cast<size_t>(len));
    }
    EXPECT_EQ(client.sock_send("", 0), 0);
    EXPECT_EQ(client.sock_send(nullptr, 5), -1);
    ASSERT_TRUE(server.wait_received(0, expected.size(), deadline));
    EXPECT_EQ(server.received(0), expected);
    ASSERT_TRUE(wait_until(
        [&] {
            std::string sent;
            for (const recorded_event& r : rec.of(EVENT_SEND)) sent += r.bytes;
            return sent == expected;
        },
        deadline));
    EXPECT_FALSE(pthread_equal(rec.of(EVENT_SEND)[0].thread, pthread_self()));
    client.sock_close();

    // Direct sending: sock_send reports on the calling thread.
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &direct, false));
    ASSERT_TRUE(server.wait_accept(1, deadline));
    ASSERT_EQ(client.sock_send("direct", 6), 6);
    ASSERT_EQ(direct.count(EVENT_SEND), 1U);
    EXPECT_TRUE(pthread_equal(direct.of(EVENT_SEND)[0].thread, pthread_self()));
    ASSERT_TRUE(server.wait_received(1, 6, deadline));
    EXPECT_EQ(server.received(1), "direct");
    client.sock_close();
}

TEST(SocketCacheClient, ClearDataRacesNeitherWorker) {
    loopback_server server;
    recorder rec;
    std::atomic<bool> marker_seen(false);
    rec.consume = [&](const std::string& b) {
        if (b.find("<marker>") != std::string::npos) marker_seen = true;
        return static_cast<uint32_t>(b.size());
    };
    socket_cache_client client(8192);
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec, true));
    ASSERT_TRUE(server.wait_accept(0, deadline));

    std::thread feeder([&] {
        std::string burst;
        for (int i = 0; i < 200; ++i) burst += "0123456789abcdefghij";
        for (int i = 0; i < 200; ++i) server.send(0, burst);
    });
    const int records = 20000;
    size_t batch_start = 0;
    for (int i = 0; i < records; ++i) {
        char text[16];
        int len = std::snprintf(text, sizeof(text), "<%06d>", i);
        EXPECT_EQ(client.sock_send(text, len), len);
        // Once the send worker is under way with this batch, clear while it
        // drains the queue (and the receive worker the cache).
        if (i % 500 == 499) {
            bool moving = wait_until([&] { return server.received(0).size() > batch_start; }, deadline);
            client.clear_data();
            batch_start = server.received(0).size();
            if (!moving) {
                ADD_FAILURE() << "the send worker stalled at record " << i;
                break;
            }
        }
    }
    feeder.join();

    // A buffer is dropped whole, or (after a partial send) its tail is; the
    // records that do arrive are intact, each once and in order.
    ASSERT_EQ(client.sock_send("<999999>", 8), 8);
    ASSERT_TRUE(wait_until([&] { return server.received(0).find("<999999>") != std::string::npos; }, deadline));
    std::string got = server.received(0);
    ASSERT_EQ(got[0], '<');
    long last = -1;
    size_t whole = 0;
    for (size_t pos = 0; pos < got.size();) {
        size_t next = got.find('<', pos + 1);
        std::string token = got.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        if (token.size() == 8) {
            ASSERT_EQ(token[7], '>') << token;
            long v = std::stol(token.substr(1, 6));
            ASSERT_GT(v, last) << token;
            last = v;
            ++whole;
        } else {
            ASSERT_LT(token.size(), 8U) << token;  // the head of a cut record
        }
        pos = next == std::string::npos ? got.size() : next;
    }
    EXPECT_EQ(last, 999999);
    EXPECT_GT(whole, 1U);
    // The receive side still works after the clears.
    ASSERT_TRUE(server.send(0, "<marker>"));
    EXPECT_TRUE(wait_until([&] { return marker_seen.load(); }, deadline));
    client.sock_close();
}

TEST(SocketCacheClient, StartingFromAWorkerFailsWithItsText) {
    loopback_server server;
    recorder rec;
    text_sink sink;
    std::atomic<int> refused(0), attempts(0);
    socket_cache_client* self = nullptr;
    // sock_init from a worker's own thread cannot start that worker.
    auto try_both = [&] {
        refused += self->sock_init("127.0.0.1", 7, &recorder::callback, &rec) ? 0 : 1;
        refused += self->sock_init("127.0.0.1", 7, "127.0.0.1", 9, &recorder::callback, &rec) ? 0 : 1;
        attempts += 2;
    };
    rec.consume = [&](const std::string& b) {
        try_both();
        return static_cast<uint32_t>(b.size());
    };
    rec.on_event = [&](SOCKET_EVENT e) {
        if (e == EVENT_SEND) try_both();
    };
    socket_cache_client client(8192);
    self = &client;
    client.sock_set_context(&sink);
    ASSERT_TRUE(client.sock_init("127.0.0.1", server.port(), &recorder::callback, &rec, true));
    ASSERT_TRUE(server.wait_accept(0, deadline));
    ASSERT_TRUE(server.send(0, "go"));
    ASSERT_TRUE(wait_until([&] { return attempts.load() == 2; }, deadline));
    ASSERT_EQ(client.sock_send("x", 1), 1);  // reported by the send worker
    ASSERT_TRUE(wait_until([&] { return attempts.load() == 4; }, deadline));
    EXPECT_EQ(refused.load(), 4);
    std::vector<std::string> texts = sink.all();
    ASSERT_EQ(texts.size(), 4U);
    EXPECT_EQ(texts[0], "start receive thread error, server ip:127.0.0.1, server port:7");
    EXPECT_EQ(texts[1],
              "start receive thread error, server ip:127.0.0.1, server port:7, local ip:127.0.0.1, local port:9");
    EXPECT_EQ(texts[2], "start send thread error, server ip:127.0.0.1, server port:7");
    EXPECT_EQ(texts[3],
              "start send thread error, server ip:127.0.0.1, server port:7, local ip:127.0.0.1, local port:9");
    EXPECT_TRUE(client.is_connected());  // the connection was left alone
    ASSERT_TRUE(server.wait_received(0, 1, deadline));
    client.sock_close();
}

// Reconnects after drops: SocketReconnect.ReconnectsAfterEveryDropWithEventsInOrder.
TEST(SocketCacheClient, AutoReconnectAfterAFailedStart) {
    loopback_server server;
    // A start that could not connect is retried once the server listens.
    server.stop_listening();
    recorder later;
    socket_cache_client retry(8192);
    retry.set_auto_reconn_falg(true, 1);
    EXPECT_FALSE(retry.sock_init("127.0.0.1", server.port(), &recorder::callback, &later, true));
    EXPECT_FALSE(retry.is_connected());
    ASSERT_TRUE(server.resume_listening());
    EXPECT_TRUE(later.wait_count(EVENT_CONNECT, 1, deadline));
    EXPECT_TRUE(retry.is_connected());
    // Destroyed while connected, without sock_close.
}

TEST(NetInterface, AdapterTableAndAddressQueries) {
    EXPECT_EQ(get_local_ip("lo"), "127.0.0.1");
    EXPECT_EQ(get_local_ip("no_such_if9"), "");
    EXPECT_EQ(get_local_ip("a_name_of_16_chr"), "");
    EXPECT_EQ(get_local_ip(""), "");

    // Expected table: every IPv4 address of every interface but "lo".
    std::vector<std::string> expected;
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || std::strcmp(it->ifa_name, "lo") == 0) continue;
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr, text, sizeof(text));
        expected.push_back(text);
    }
    freeifaddrs(list);
    ip_and_mac table[128];
    int n = load_ip_and_mac(table, 128);
    ASSERT_EQ(n, static_cast<int>(expected.size()));
    for (int i = 0; i < n; ++i) {
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, table[i].m_ip, text, sizeof(text));
        EXPECT_EQ(text, expected[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(load_ip_and_mac(table, 1), n > 0 ? 1 : 0);
    EXPECT_EQ(load_ip_and_mac(table, 0), 0);
    EXPECT_EQ(load_ip_and_mac(nullptr, 4), 0);

    std::vector<std::string> all{"kept"};
    ASSERT_TRUE(get_all_network_card_ip(all));
    ASSERT_GE(all.size(), 2U);
    EXPECT_EQ(all[0], "kept");  // appends
    bool has_lo = false;
    for (size_t i = 1; i < all.size(); ++i) {
        has_lo = has_lo || all[i] == "127.0.0.1";
        bool known = all[i] == "127.0.0.1";
        for (const std::string& e : expected) known = known || all[i] == e;
        EXPECT_TRUE(known) << all[i];
    }
    EXPECT_TRUE(has_lo);
}

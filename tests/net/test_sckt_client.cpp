// The epoll / blocking TCP client and its receive cache, over real loopback
// connections. How unconsumed bytes are offered again, and that the last
// bytes before a remote close all arrive first, are proved for both forms by
// the record streams of SocketStress.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/loopback_server.h"
#include "tests/support/net_support.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"
#include "net/sckt_cache_client.h"

using namespace CLIENT_SCKT_ONLY;
using hux_test::loopback_server;
using hux_test::wait_until;
using std::chrono::milliseconds;

namespace {

const milliseconds kWait = hux_test::test_wait();
// A stop wait or epoll wait far longer than any wait of the test.
const unsigned kLongWaitMs = static_cast<unsigned>(hux_test::long_library_wait_ms());

using recorder = hux_test::net::event_recorder;
using hux_test::blocked_in;

// Reads the socket and the event thread's id.
struct probe_client : sckt_cache_client {
    probe_client() : sckt_cache_client(8192) {}
    int fd() const { return m_sock; }
    pthread_t thread() const { return m_thread; }
};

enum form { EPOLL_FORM, BLOCKING_FORM };
const form kForms[] = {EPOLL_FORM, BLOCKING_FORM};

bool open(sckt_cache_client& c, form f, const char* ip, uint16_t port, recorder& r) {
    return f == EPOLL_FORM ? c.sock_init(ip, port, recorder::callback, &r)
                           : c.sock_init_ex(ip, port, recorder::callback, &r);
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 % 251);
    return s;
}

}  // namespace

TEST(SocketClient, ConnectsSendsAndClosesLocally) {
    EXPECT_EQ(sckt_client::EPOLL_EVENTS_ALL, 0x201Du);     // IN 0x1 + OUT 0x4 + ERR 0x8 + HUP 0x10 + RDHUP 0x2000
    EXPECT_EQ(sckt_client::EPOLL_EVENTS_NO_OUT, 0x2019u);  // the same without OUT
    for (form f : kForms) {
        SCOPED_TRACE(f);
        loopback_server srv;
        recorder rec;
        sckt_cache_client client(8192);
        client.set_stop_wait_time(100);
        ASSERT_TRUE(open(client, f, "127.0.0.1", srv.port(), rec));
        EXPECT_TRUE(client.is_connected());
        ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, 1));
        if (f == EPOLL_FORM) {
            ASSERT_TRUE(rec.wait_count(EVENT_SEND, 1));
        }
        ASSERT_TRUE(srv.wait_accept(0, kWait));

        EXPECT_EQ(client.sock_send("hello", 5), 5);
        EXPECT_EQ(client.sock_send("hello", 0), 0);
        EXPECT_EQ(client.sock_send(nullptr, 3), -1);
        EXPECT_EQ(client.sock_send("hello", -1), -1);
        ASSERT_TRUE(srv.wait_received(0, 5, kWait));
        EXPECT_EQ(srv.received(0), "hello");
        ASSERT_TRUE(srv.send(0, "ping"));
        ASSERT_TRUE(wait_until([&] { return rec.received() == "ping"; }, kWait));

        auto events = rec.snapshot();
        EXPECT_EQ(events.front().type, EVENT_CONNECT);
        for (const auto& e : events) EXPECT_FALSE(pthread_equal(e.thread, pthread_self()));
        // Writability is reported once, then no longer watched.
        EXPECT_EQ(rec.count(EVENT_SEND), f == EPOLL_FORM ? 1u : 0u);

        EXPECT_TRUE(client.sock_close());
        EXPECT_FALSE(client.is_connected());
        EXPECT_TRUE(srv.wait_peer_closed(0, kWait));
        EXPECT_EQ(client.sock_send("x", 1), -1);
        EXPECT_EQ(rec.count(EVENT_REMOTE_DISCONNECT) + rec.count(EVENT_LOCALE_DISCONNECT), 0u);
    }
}

TEST(SocketClient, PeerResetAndSendsToAGonePeer) {
    for (form f : kForms) {
        SCOPED_TRACE(f);
        loopback_server srv;
        recorder rec;
        // The event thread is held in its CONNECT callback, which keeps the
        // socket open after the reset.
        std::atomic<bool> released{false};
        rec.on_event = [&](SOCKET_EVENT e) {
            if (e == EVENT_CONNECT) wait_until([&] { return released.load(); }, kWait);
        };
        probe_client client;
        ASSERT_TRUE(open(client, f, "127.0.0.1", srv.port(), rec));
        ASSERT_TRUE(srv.wait_accept(0, kWait));
        srv.reset(0);
        // Without MSG_NOSIGNAL the second of these kills the process (SIGPIPE).
        EXPECT_TRUE(wait_until([&] { return client.sock_send("x", 1) == -1; }, kWait));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(client.sock_send("abc", 3), -1);
        released = true;
        ASSERT_TRUE(rec.wait_count(EVENT_REMOTE_DISCONNECT, 1));
        EXPECT_TRUE(wait_until([&] { return client.fd() == -1 && !client.is_connected(); }, kWait));
        EXPECT_EQ(client.sock_send("x", 1), -1);
    }
}

TEST(SocketClient, SendIntoFullBufferFailsAtOncePartialSendCompletes) {
    loopback_server srv;
    srv.set_small_receive_buffer(true);
    recorder rec;
    probe_client client;
    ASSERT_TRUE(client.sock_init("127.0.0.1", srv.port(), recorder::callback, &rec));
    ASSERT_TRUE(srv.wait_accept(0, kWait));
    srv.pause_reading(0, true);
    int small = 4096;
    ASSERT_EQ(setsockopt(client.fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof(small)), 0);

    // One-byte sends never go out in part: the first refusal returns -1.
    std::string sent;
    int last = 1;
    for (int i = 0; i < 10000000 && last == 1; ++i) {
        last = client.sock_send("q", 1);
        if (last == 1) sent += 'q';
    }
    ASSERT_EQ(last, -1);
    ASSERT_GT(sent.size(), 0u);

    srv.pause_reading(0, false);
    ASSERT_TRUE(srv.wait_received(0, sent.size(), kWait));
    // Far more than both buffers hold: goes out in parts, all of it.
    const std::string big = pattern(1 << 20);
    EXPECT_EQ(client.sock_send(big.data(), int(big.size())), int(big.size()));
    ASSERT_TRUE(srv.wait_received(0, sent.size() + big.size(), kWait));
    EXPECT_TRUE(srv.received(0) == sent + big);
    client.sock_close();
}

// A message partly out to a server that then takes nothing more: the send
// waits for room only for the stop wait, then fails and shuts the
// connection, so no later message follows one cut in half and a sender (the
// heart-beat thread, which a disconnect waits for) is never held for ever.
TEST(SocketClient, PartialSendToAStalledServerGivesUpAndShutsTheConnection) {
    loopback_server srv;
    srv.set_small_receive_buffer(true);
    recorder rec;
    probe_client client;
    client.set_stop_wait_time(200);
    ASSERT_TRUE(client.sock_init("127.0.0.1", srv.port(), recorder::callback, &rec));
    ASSERT_TRUE(srv.wait_accept(0, kWait));
    srv.pause_reading(0, true);
    const std::string big = pattern(1 << 22);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.sock_send(big.data(), int(big.size())), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(200));
    EXPECT_TRUE(wait_until([&] { return !client.is_connected(); }, kWait));
    // The event thread saw the end and closed the socket.
    EXPECT_TRUE(wait_until([&] { return client.fd() < 0; }, kWait));
    EXPECT_EQ(client.sock_send("x", 1), -1);
    srv.pause_reading(0, false);
    EXPECT_TRUE(srv.wait_peer_closed(0, kWait));
    EXPECT_LT(srv.received(0).size(), big.size());
    client.sock_close();
}

TEST(SocketClient, SetUpFailuresLeaveTheClientClosed) {
    loopback_server srv;
    recorder rec;
    size_t threads = hux_test::thread_count();
    const char* bad[] = {nullptr, "", "1.2.3", "256.0.0.1", "localhost", "127.0.0.1 "};
    for (form f : kForms) {
        SCOPED_TRACE(f);
        sckt_cache_client client(8192);
        for (const char* ip : bad) {
            EXPECT_FALSE(open(client, f, ip, srv.port(), rec)) << (ip ? ip : "null");
            EXPECT_FALSE(client.is_connected());
        }
        EXPECT_FALSE(f == EPOLL_FORM ? client.sock_init("127.0.0.1", srv.port(), nullptr, &rec)
                                     : client.sock_init_ex("127.0.0.1", srv.port(), nullptr, &rec));
        sckt_client plain;
        EXPECT_FALSE(f == EPOLL_FORM ? plain.sock_init("127.0.0.1", srv.port(), nullptr, &rec)
                                     : plain.sock_init_ex("127.0.0.1", srv.port(), nullptr, &rec));
        EXPECT_FALSE(plain.is_connected());
    }
    EXPECT_TRUE(rec.snapshot().empty());
    EXPECT_EQ(hux_test::thread_count(), threads);

    // A live connection replaced by a failing one is closed, its thread gone.
    sckt_cache_client client(8192);
    ASSERT_TRUE(client.sock_init("127.0.0.1", srv.port(), recorder::callback, &rec));
    ASSERT_TRUE(srv.wait_accept(0, kWait));
    srv.stop_listening();
    EXPECT_FALSE(client.sock_init("127.0.0.1", srv.port(), recorder::callback, &rec));  // refused
    EXPECT_FALSE(client.is_connected());
    EXPECT_TRUE(srv.wait_peer_closed(0, kWait));
    EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() == threads; }, kWait));
}

// A stop wakes an idle event thread at once, in both forms, with a stop
// wait far longer than the test: a thread still waiting would be cancelled
// only after six times the test's deadline. The cancel stays as the last
// resort for a thread held in a callback, which a wake cannot end: it comes
// after the stop wait (100 ms).
TEST(SocketClient, StoppingWakesAnIdleThreadAndCancelsAStuckOne) {
    for (form f : kForms) {
        SCOPED_TRACE(f);
        loopback_server srv;
        recorder rec;
        size_t threads = hux_test::thread_count();
        sckt_cache_client client(8192);
        client.set_stop_wait_time(kLongWaitMs);
        for (size_t conn = 0; conn < 2; ++conn) {  // the object is usable again after a stop
            ASSERT_TRUE(open(client, f, "127.0.0.1", srv.port(), rec));
            ASSERT_TRUE(rec.wait_count(EVENT_CONNECT, conn + 1));
            ASSERT_TRUE(srv.wait_accept(conn, kWait));
            const long wait_call = f == EPOLL_FORM ? SYS_epoll_wait : SYS_recvfrom;
            ASSERT_TRUE(wait_until([&] { return blocked_in(rec.of(EVENT_CONNECT).at(conn).tid, wait_call); }, kWait));
            hux_test::returns_within("stopping an idle thread", [&] { EXPECT_TRUE(client.sock_close()); });
            EXPECT_FALSE(client.is_connected());
            EXPECT_TRUE(srv.wait_peer_closed(conn, kWait));
            EXPECT_EQ(client.sock_send("x", 1), -1);
            EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() == threads; }, kWait));
        }
        // No disconnect was reported by the thread: the stop was local.
        EXPECT_EQ(rec.count(EVENT_REMOTE_DISCONNECT), 0u);
    }

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // AddressSanitizer reports a false stack-buffer-underflow when a thread
    // is cancelled while unwinding through instrumented frames, and the
    // thread sanitizer loses the order of a thread cancelled inside one of
    // its interceptors (here the callback's sleep): it then reports the exit
    // guard's last call against the object's destructor, although the guard
    // makes that call before it releases the lock the stopper waits on. So
    // the stuck thread's case runs in the plain build.
    loopback_server srv;
    recorder rec;
    size_t threads = hux_test::thread_count();
    std::atomic<bool> entered(false);
    rec.on_event = [&](SOCKET_EVENT e) {
        if (e != EVENT_RECEIVE) return;
        entered = true;
        for (;;) usleep(1000);  // a cancellation point
    };
    sckt_cache_client client(8192);
    client.set_stop_wait_time(100);
    ASSERT_TRUE(open(client, BLOCKING_FORM, "127.0.0.1", srv.port(), rec));
    ASSERT_TRUE(srv.wait_accept(0, kWait));
    ASSERT_TRUE(srv.send(0, "stuck"));
    ASSERT_TRUE(wait_until([&] { return entered.load(); }, kWait));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(client.sock_close());
    EXPECT_GE(std::chrono::steady_clock::now() - t0, milliseconds(100));
    EXPECT_FALSE(client.is_connected());
    EXPECT_TRUE(srv.wait_peer_closed(0, kWait));
    EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() == threads; }, kWait));
#endif
}

TEST(SocketClient, CloseFromItsOwnCallbackReturnsAtOnce) {
    for (form f : kForms) {
        SCOPED_TRACE(f);
        loopback_server srv;
        recorder rec;
        size_t threads = hux_test::thread_count();
        sckt_cache_client client(8192);
        client.set_stop_wait_time(kLongWaitMs);  // a close that waited for its own thread would wait this long
        std::atomic<bool> self_closed{false};
        rec.on_event = [&](SOCKET_EVENT e) {
            if (e != EVENT_RECEIVE) return;
            client.sock_close();
            self_closed = true;
        };
        ASSERT_TRUE(open(client, f, "127.0.0.1", srv.port(), rec));
        ASSERT_TRUE(srv.wait_accept(0, kWait));
        ASSERT_TRUE(srv.send(0, "bye"));
        ASSERT_TRUE(srv.wait_peer_closed(0, kWait));
        EXPECT_TRUE(wait_until([&] { return self_closed.load(); }, kWait));
        EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() == threads; }, kWait));
        EXPECT_FALSE(client.is_connected());
        EXPECT_EQ(rec.count(EVENT_REMOTE_DISCONNECT), 0u);
    }
}

namespace {
std::atomic<int> g_signals{0};
void on_signal(int) { ++g_signals; }

// Sends SIGUSR1 to the thread and waits until its handler ran.
bool interrupt(pthread_t thread) {
    int before = g_signals;
    return pthread_kill(thread, SIGUSR1) == 0 && wait_until([&] { return g_signals > before; }, kWait);
}
}  // namespace

TEST(SocketClient, SignalsToTheEventThread) {
    struct sigaction sa = {};
    sa.sa_handler = on_signal;  // no SA_RESTART: waits return EINTR
    struct sigaction old = {};
    ASSERT_EQ(sigaction(SIGUSR1, &sa, &old), 0);
    const std::string text =
        "epoll_waite error! the call was interrupted by a signal handler before any of the requested events "
        "occurred or timeout expired. error times(1)\n";

    // Epoll form: the interrupted wait is written once, the loop goes on.
    loopback_server srv;
    recorder rec;
    probe_client client;
    client.set_epoll_max_wait_time(static_cast<int>(kLongWaitMs));  // the thread sits in epoll_wait
    fflush(stdout);
    FILE* out = tmpfile();
    ASSERT_NE(out, nullptr);
    int saved = dup(STDOUT_FILENO);
    dup2(fileno(out), STDOUT_FILENO);
    auto written = [&] {
        std::string s(4096, '\0');
        ssize_t n = pread(fileno(out), &s[0], s.size(), 0);
        s.resize(n > 0 ? size_t(n) : 0);
        return s;
    };
    bool opened = client.sock_init("127.0.0.1", srv.port(), recorder::callback, &rec);
    bool reported = opened && rec.wait_count(EVENT_SEND, 1) &&
                    wait_until([&] { return interrupt(client.thread()) && written() == text; }, kWait);
    for (int i = 0; reported && i < 3; ++i) interrupt(client.thread());
    bool data_after = srv.wait_accept(0, kWait) && srv.send(0, "after") &&
                      wait_until([&] { return rec.received() == "after"; }, kWait);
    std::string all = written();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    fclose(out);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(reported);
    EXPECT_TRUE(data_after);
    EXPECT_EQ(all, text);
    EXPECT_TRUE(client.is_connected());
    client.set_epoll_max_wait_time(50);
    interrupt(client.thread());  // ends the long wait; this kind is not written again
    hux_test::returns_within("closing the epoll form", [&] { client.sock_close(); });

    // Blocking form: an interrupted receive is not a connection failure.
    recorder rec2;
    probe_client blocking;
    ASSERT_TRUE(blocking.sock_init_ex("127.0.0.1", srv.port(), recorder::callback, &rec2));
    ASSERT_TRUE(rec2.wait_count(EVENT_CONNECT, 1));
    ASSERT_TRUE(srv.wait_accept(1, kWait));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(wait_until([&] { return blocked_in(rec2.of(EVENT_CONNECT).at(0).tid, SYS_recvfrom); }, kWait));
        ASSERT_TRUE(interrupt(blocking.thread()));
    }
    ASSERT_TRUE(srv.send(1, "still here"));
    EXPECT_TRUE(wait_until([&] { return rec2.received() == "still here"; }, kWait));
    EXPECT_EQ(rec2.count(EVENT_REMOTE_DISCONNECT), 0u);
    EXPECT_TRUE(blocking.is_connected());
    blocking.set_stop_wait_time(100);
    blocking.sock_close();
    sigaction(SIGUSR1, &old, nullptr);
}

TEST(SocketCache, CachePathsWithoutASocket) {
    recorder rec;
    rec.consume = [](const std::string& s) -> uint32_t { return s == "abcdef" ? 100 : 0; };
    sckt_cache_client client(4);  // grows past its starting size
    // The failed set-up keeps the user's callback; the cache is fed directly.
    ASSERT_FALSE(client.sock_init("no address", 1, recorder::callback, &rec));
    auto feed = [&](SOCKET_EVENT t, int32_t id, const char* data, uint32_t n) {
        sckt_param p(t, id, &data, n);
        return sckt_cache_client::cache_callback(p, &client);
    };
    feed(EVENT_RECEIVE, 0, "abcdef", 6);  // claims 100 of 6: the cache only empties
    feed(EVENT_RECEIVE, 0, "gh", 2);
    feed(EVENT_RECEIVE, 0, "ij", 2);
    feed(EVENT_RECEIVE, 9, nullptr, 5);  // cannot be appended
    feed(EVENT_RECEIVE, 0, "k", 1);
    feed(EVENT_SEND, 3, nullptr, 0);
    feed(EVENT_CONNECT, 0, nullptr, 0);  // a new connection starts empty
    feed(EVENT_RECEIVE, 0, "z", 1);
    sckt_param orphan(EVENT_RECEIVE, 0, nullptr, 0);
    EXPECT_EQ(sckt_cache_client::cache_callback(orphan, nullptr), -1);

    // event / id / offered size / offered bytes
    std::vector<std::string> got;
    for (const auto& e : rec.snapshot())
        got.push_back(std::to_string(e.type) + "/" + std::to_string(e.id) + "/" + std::to_string(e.size) + "/" +
                      e.bytes);
    const std::vector<std::string> want = {"4/0/6/abcdef", "4/0/2/gh", "4/0/4/ghij", "6/9/0/",
                                           "4/0/5/ghijk",  "5/3/0/",   "0/0/0/",     "4/0/1/z"};
    EXPECT_EQ(got, want);
}

TEST(SocketClient, LocalInterfaceAddress) {
    EXPECT_EQ(get_local_ip("lo"), "127.0.0.1");
    EXPECT_EQ(get_local_ip("nosuchif0"), "");
    EXPECT_EQ(get_local_ip(""), "");
}

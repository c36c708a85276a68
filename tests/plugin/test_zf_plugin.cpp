// The TCPDirect plug-in's client over the zf stand-in on loopback ("lo"),
// against the scriptable loopback server: what the work thread offers the
// session, how a connection ends, what a close leaves behind and the fatal
// path. Waits are on conditions with a deadline (HUX_TEST_WAIT_MS, default
// 10000).
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bypass/standin/hux_standin.h"
#include "plugin/zf_tcp_client_sock.h"
#include "sim/loopback_server.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"

namespace {

using namespace std::chrono;

milliseconds wait_limit() { return hux_test::test_wait(); }

int count_entries(char const* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

// Descriptors, threads and the stand-in's open objects of the process.
struct footprint {
    int fds = count_entries("/proc/self/fd");
    // Live threads only: a thread that has just ended can still be listed
    // in /proc/self/task for a moment.
    int tasks = static_cast<int>(hux_test::thread_count());
    int stacks = hux_standin_zf_stacks_open();
    int endpoints = hux_standin_zf_endpoints_open();
    int muxers = hux_standin_zf_muxers_open();
    int inits = hux_standin_zf_inits();
    int attrs = hux_standin_zf_attrs_open();
};

void expect_same(footprint const& a, footprint const& b) {
    EXPECT_EQ(a.fds, b.fds);
    // A thread joined or detached a moment ago may still be on its way out.
    int tasks = b.tasks;
    if (tasks != a.tasks)
        hux_test::wait_until([&] { return (tasks = static_cast<int>(hux_test::thread_count())) == a.tasks; },
                             wait_limit());
    EXPECT_EQ(a.tasks, tasks);
    EXPECT_EQ(a.stacks, b.stacks);
    EXPECT_EQ(a.endpoints, b.endpoints);
    EXPECT_EQ(a.muxers, b.muxers);
    EXPECT_EQ(a.inits, b.inits);
    EXPECT_EQ(a.attrs, b.attrs);
}

// The session's side: records every offer and event; `consume` decides how
// much of an offer is taken (default: all of it).
class sink : public i_zf_tcp_client_sock_event {
public:
    std::function<int(char*, int)> consume;

    int on_zf_tcp_recv_msg(char* data, int len) override {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        const int used = consume ? consume(data, len) : len;
        std::lock_guard<std::mutex> g(m_lock);
        offers.emplace_back(data, static_cast<size_t>(len));
        if (!sigismember(&mask, SIGINT)) sigint_open = true;
        m_cv.notify_all();
        return used;
    }
    void on_zf_tcp_connect() override {
        std::lock_guard<std::mutex> g(m_lock);
        ++connects;
        connect_thread = std::this_thread::get_id();
    }
    void on_zf_tcp_disconnect() override {
        std::lock_guard<std::mutex> g(m_lock);
        ++disconnects;
        m_cv.notify_all();
    }
    bool wait(std::function<bool()> const& done) {
        std::unique_lock<std::mutex> g(m_lock);
        return m_cv.wait_for(g, wait_limit(), done);
    }
    bool wait_offer_of(size_t len) {
        return wait([&] { return !offers.empty() && offers.back().size() == len; });
    }
    std::vector<std::string> offers;
    int connects = 0;
    int disconnects = 0;
    bool sigint_open = false;
    std::thread::id connect_thread;

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
};

bool wait_until(std::function<bool()> const& done) {
    const auto end = steady_clock::now() + wait_limit();
    while (!done()) {
        if (steady_clock::now() > end) return false;
        std::this_thread::yield();
    }
    return true;
}

size_t count_of(std::string const& text, std::string const& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) & 0xff);
    return s;
}

// Standard output of the plug-in's texts, given back on request; a test that
// stops early (a failed ASSERT) prints what was taken, so nothing is lost.
class captured_stdout {
public:
    captured_stdout() { testing::internal::CaptureStdout(); }
    ~captured_stdout() {
        if (m_on) std::fputs(testing::internal::GetCapturedStdout().c_str(), stdout);
    }
    std::string take() {
        m_on = false;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool m_on = true;
};

bool connect_lo(zf_tcp_client_sock& c, hux_test::loopback_server& srv, sink& s, bool first = true, int cpu = -1) {
    return c.zf_clt_init("127.0.0.1", srv.port(), "lo", cpu, &s, first);
}

TEST(ZfPlugin, OffersTheRestAtOnceAndKeepsUnconsumedBytesAheadOfTheNext) {
    hux_test::loopback_server srv;
    sink s;
    int call = 0;
    s.consume = [&](char*, int len) { return ++call == 1 ? 40 : call == 2 ? 0 : len; };
    zf_tcp_client_sock c;
    captured_stdout cap;
    ASSERT_TRUE(connect_lo(c, srv, s));
    EXPECT_TRUE(c.is_connected());
    EXPECT_EQ(s.connects, 1);
    EXPECT_EQ(s.connect_thread, std::this_thread::get_id());
    ASSERT_TRUE(srv.wait_accept(0, wait_limit()));

    const std::string first = pattern(100, 1), next = pattern(30, 2), last = pattern(10, 3);
    ASSERT_TRUE(srv.send(0, first));
    ASSERT_TRUE(s.wait([&] { return s.offers.size() >= 2; }));
    ASSERT_TRUE(srv.send(0, next));
    ASSERT_TRUE(s.wait([&] { return s.offers.size() >= 3; }));
    ASSERT_TRUE(srv.send(0, last));
    ASSERT_TRUE(s.wait([&] { return s.offers.size() >= 4; }));
    EXPECT_EQ(s.offers[0], first);
    EXPECT_EQ(s.offers[1], first.substr(40));         // the other 60 at once
    EXPECT_EQ(s.offers[2], first.substr(40) + next);  // kept 60 ahead of the next 30, not offered alone again
    EXPECT_EQ(s.offers[3], last);                     // the unit was emptied
    EXPECT_FALSE(s.sigint_open);                      // the work thread has SIGINT blocked
    EXPECT_TRUE(c.sock_close());
    const std::string out = cap.take();
    EXPECT_NE(out.find("clt 1 need buffer the unprocessed bytes, offset = 0, length = 60\n"), std::string::npos) << out;
    EXPECT_NE(out.find("init zf sock ok.~~~~~~!\n"), std::string::npos);
    EXPECT_NE(out.find("zf client sock close, wait a litter time.\n"), std::string::npos);
    EXPECT_EQ(s.disconnects, 0);  // a local close is not reported
    EXPECT_TRUE(srv.wait_peer_closed(0, wait_limit()));
}

TEST(ZfPlugin, ReceiveFailuresRaiseOneDisconnectAndEndTheThread) {
    footprint before;
    {
        // 5000 kept bytes and 200 new ones do not fit the 5120-byte unit.
        hux_test::loopback_server srv;
        sink s;
        s.consume = [](char*, int) { return 0; };
        zf_tcp_client_sock c;
        captured_stdout cap;
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        ASSERT_TRUE(srv.send(0, pattern(5000, 4)));
        ASSERT_TRUE(s.wait_offer_of(5000));
        ASSERT_TRUE(srv.send(0, pattern(200, 5)));
        ASSERT_TRUE(wait_until([&] { return !c.work_thread_alive(); }));
        const std::string out = cap.take();
        EXPECT_NE(out.find("zf client too many unprocessed data, cannot buffered!(5000+200 > 5120)\n"),
                  std::string::npos);
        EXPECT_EQ(s.disconnects, 1);
        EXPECT_FALSE(c.is_connected());
        EXPECT_TRUE(c.sock_close());
    }
    for (int extra : {-1, 1}) {
        // A callback that takes more than it was offered is as wrong as a
        // negative answer.
        hux_test::loopback_server srv;
        sink s;
        s.consume = [extra](char*, int len) { return extra < 0 ? extra : len + extra; };
        zf_tcp_client_sock c;
        captured_stdout cap;
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        ASSERT_TRUE(srv.send(0, pattern(100, 6)));
        ASSERT_TRUE(wait_until([&] { return !c.work_thread_alive(); }));
        const std::string want = "got negative result " + std::to_string(extra < 0 ? -1 : 101) + "\n";
        EXPECT_NE(cap.take().find(want), std::string::npos) << want;
        EXPECT_EQ(s.disconnects, 1);
        EXPECT_EQ(s.offers.size(), 1u);
        EXPECT_TRUE(c.sock_close());
    }
    for (bool reset : {false, true}) {
        // The peer closes (cleanly or with a reset) right after some bytes.
        hux_test::loopback_server srv;
        sink s;
        zf_tcp_client_sock c;
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        ASSERT_TRUE(srv.send(0, "bye"));
        if (reset)
            srv.reset(0);
        else
            srv.close(0);
        ASSERT_TRUE(wait_until([&] { return !c.work_thread_alive(); }));
        EXPECT_EQ(s.disconnects, 1);
        EXPECT_FALSE(c.is_connected());
        EXPECT_EQ(hux_standin_zf_muxers_open(), before.muxers + 1);
        EXPECT_TRUE(c.sock_close());  // the not-connected release frees the muxer too
        EXPECT_EQ(c.sock_send("x", 1), -1);
    }
    expect_same(before, footprint());
}

TEST(ZfPlugin, RefusedAndFailedConnectsLeakNothing) {
    hux_test::loopback_server srv;
    const uint16_t refused = srv.port();
    srv.stop_listening();
    const footprint before;
    const long connects = hux_standin_zf_connects();
    captured_stdout cap;
    for (int i = 0; i < 20; ++i) {
        i_zf_tcp_client_sock* c = CreateZFClientSock();
        sink s;
        ASSERT_FALSE(c->zf_clt_init("127.0.0.1", refused, "lo", -1, &s, true));
        EXPECT_FALSE(c->is_connected());
        EXPECT_EQ(c->sock_send("x", 1), -1);  // no endpoint
        EXPECT_TRUE(c->sock_close());
        DestroyZFClientSock(c);
        EXPECT_EQ(s.connects + s.disconnects, 0);
    }
    {
        // An address the stack cannot connect to: the handle is freed.
        zf_tcp_client_sock c;
        sink s;
        EXPECT_FALSE(c.zf_clt_init("300.1.2.3", 80, "lo", -1, &s, true));
        EXPECT_TRUE(c.sock_close());
    }
    const std::string out = cap.take();
    EXPECT_EQ(count_of(out, "ERROR2:zft_state(m_zock) == TCP_ESTABLISHED failed.\n"), 20u);
    EXPECT_NE(out.find("ERROR2:(Invalid argument) errno=22,zock=(nil),tcp_handle=0x"), std::string::npos);
    EXPECT_EQ(hux_standin_zf_connects() - connects, 20);
    expect_same(before, footprint());
}

TEST(ZfPlugin, CallbacksMaySendAndClose) {
    const footprint before;
    {
        // Echo from the work thread while the test thread sends too.
        hux_test::loopback_server srv;
        sink s;
        zf_tcp_client_sock c;
        s.consume = [&](char* data, int len) {
            EXPECT_EQ(c.sock_send(data, static_cast<unsigned>(len)), len);
            return len;
        };
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        const std::string ping = pattern(64, 7);
        std::thread other([&] {
            for (int i = 0; i < 200; ++i) EXPECT_EQ(c.sock_send("0123456789", 10), 10);
        });
        for (int i = 0; i < 50; ++i) ASSERT_TRUE(srv.send(0, ping));
        other.join();
        ASSERT_TRUE(srv.wait_received(0, 50 * 64 + 200 * 10, wait_limit()));
        // Each send goes out whole: without the other thread's tens, the
        // echoes are the pings in order.
        std::string got = srv.received(0);
        EXPECT_EQ(got.size(), 50u * 64 + 200 * 10);
        size_t tens = 0;
        for (size_t at; (at = got.find("0123456789")) != std::string::npos; ++tens) got.erase(at, 10);
        EXPECT_EQ(tens, 200u);
        std::string pings;
        for (int i = 0; i < 50; ++i) pings += ping;
        EXPECT_EQ(got, pings);
        EXPECT_TRUE(c.sock_close());
    }
    {
        // A close from the callback ends the loop; the work thread releases.
        hux_test::loopback_server srv;
        sink s;
        zf_tcp_client_sock c;
        s.consume = [&](char*, int) {
            EXPECT_TRUE(c.sock_close());
            return 1;
        };
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        ASSERT_TRUE(srv.send(0, "abc"));
        ASSERT_TRUE(wait_until([&] { return !c.work_thread_alive(); }));
        EXPECT_EQ(s.offers.size(), 1u);  // the rest is not offered after the close
        EXPECT_EQ(s.disconnects, 0);
        EXPECT_FALSE(c.is_connected());
        EXPECT_EQ(hux_standin_zf_stacks_open(), before.stacks);
        EXPECT_TRUE(srv.wait_peer_closed(0, wait_limit()));
        EXPECT_TRUE(c.sock_close());  // joins the thread; nothing left to free
    }
    expect_same(before, footprint());
}

TEST(ZfPlugin, SendReturnsWhatTheStackTookWhenItIsFull) {
    hux_test::loopback_server srv;
    srv.set_small_receive_buffer(true);
    sink s;
    zf_tcp_client_sock c;
    ASSERT_TRUE(connect_lo(c, srv, s));
    ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
    srv.pause_reading(0, true);
    const std::string big = pattern(32u << 20, 8);
    const int took = c.sock_send(big.data(), static_cast<unsigned>(big.size()));
    EXPECT_GT(took, 0);
    EXPECT_LT(took, static_cast<int>(big.size()));
    srv.pause_reading(0, false);
    ASSERT_TRUE(srv.wait_received(0, static_cast<size_t>(took), wait_limit()));
    EXPECT_EQ(srv.received(0), big.substr(0, static_cast<size_t>(took)));  // exactly those bytes, in order
    EXPECT_TRUE(c.sock_close());
}

TEST(ZfPlugin, ReconnectOnTheKeptStack) {
    const footprint before;
    {
        hux_test::loopback_server srv;
        sink s;
        {
            zf_tcp_client_sock fresh;
            EXPECT_FALSE(connect_lo(fresh, srv, s, false));  // no stack to reuse
        }
        zf_tcp_client_sock c;
        ASSERT_TRUE(connect_lo(c, srv, s));
        EXPECT_FALSE(connect_lo(c, srv, s, false));  // still connected
        EXPECT_TRUE(c.sock_close_ex());
        EXPECT_FALSE(c.is_connected());
        EXPECT_EQ(hux_standin_zf_stacks_open(), before.stacks + 1);
        EXPECT_EQ(hux_standin_zf_endpoints_open(), before.endpoints);
        EXPECT_EQ(hux_standin_zf_muxers_open(), before.muxers);
        ASSERT_TRUE(connect_lo(c, srv, s, false));
        ASSERT_TRUE(srv.wait_accept(1, wait_limit()));
        EXPECT_EQ(hux_standin_zf_stacks_open(), before.stacks + 1);
        ASSERT_TRUE(srv.send(1, "again"));
        ASSERT_TRUE(s.wait_offer_of(5));
        EXPECT_EQ(s.offers.back(), "again");
        EXPECT_EQ(c.sock_send("back", 4), 4);
        ASSERT_TRUE(srv.wait_received(1, 4, wait_limit()));
        EXPECT_EQ(srv.received(1), "back");
        EXPECT_EQ(s.connects, 2);
        EXPECT_TRUE(c.sock_close());
        EXPECT_FALSE(connect_lo(c, srv, s, false));  // the full close took the stack
    }
    expect_same(before, footprint());
}

TEST(ZfPlugin, CloseIsBoundedByTheThreadAndTheStackLock) {
    const footprint before;
    hux_test::loopback_server srv;
    zf_tcp_client_sock::set_close_bounds(100, 50);
    {
        // A callback that does not return: the close gives up on the thread.
        sink s;
        std::atomic<bool> entered{false}, release{false};
        zf_tcp_client_sock c;
        s.consume = [&](char*, int len) {
            entered = true;
            while (!release.load()) std::this_thread::yield();
            return len;
        };
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(srv.wait_accept(0, wait_limit()));
        ASSERT_TRUE(srv.send(0, "hold"));
        ASSERT_TRUE(wait_until([&] { return entered.load(); }));
        EXPECT_FALSE(c.sock_close());
        EXPECT_FALSE(c.is_connected());
        EXPECT_TRUE(c.work_thread_alive());
        release = true;
        EXPECT_TRUE(c.sock_close());
        EXPECT_FALSE(c.work_thread_alive());
        EXPECT_EQ(hux_standin_zf_stacks_open(), before.stacks);
    }
    {
        // A signal handler on a thread that holds the stack lock.
        sink s;
        zf_tcp_client_sock c;
        ASSERT_TRUE(connect_lo(c, srv, s));
        ASSERT_TRUE(c.try_lock_stack(1000000));
        hux_test::returns_within("a close that cannot take the stack lock", [&] { EXPECT_FALSE(c.sock_close()); });
        EXPECT_FALSE(c.is_connected());
        EXPECT_FALSE(c.work_thread_alive());
        c.unlock_stack();
        EXPECT_TRUE(c.sock_close());
        EXPECT_EQ(hux_standin_zf_stacks_open(), before.stacks);
    }
    zf_tcp_client_sock::set_close_bounds(2000, 200);
}

TEST(ZfPlugin, ArgumentsAndCpuBinding) {
    hux_test::loopback_server srv;
    sink s;
    zf_tcp_client_sock c;
    captured_stdout cap;
    EXPECT_FALSE(c.zf_clt_init("", srv.port(), "lo", -1, &s, true));
    EXPECT_FALSE(c.zf_clt_init(nullptr, srv.port(), "lo", -1, &s, true));
    EXPECT_FALSE(c.zf_clt_init("127.0.0.1", 0, "lo", -1, &s, true));
    EXPECT_FALSE(c.zf_clt_init("127.0.0.1", srv.port(), "", -1, &s, true));
    EXPECT_EQ(c.sock_send("x", 0), -1);
    EXPECT_EQ(c.sock_send(nullptr, 5), -1);
    EXPECT_TRUE(c.sock_close());  // nothing to release
    const std::string bad = cap.take();
    EXPECT_EQ(count_of(bad, " tcp direct server ip or port or dev ,not correct.\n"), 4u);
    // Behind the header "YYYYMMDD-HH:MM:SS.uuuuuu LLLLL ": 22 bytes with the
    // trailing space and no newline, once per refused send, and last.
    const std::string sent_text = " 00022 zf tcp msg send error ";
    const size_t record = 24 + sent_text.size();
    ASSERT_GE(bad.size(), 2 * record);
    const std::string tail = bad.substr(bad.size() - 2 * record);
    EXPECT_EQ(tail.substr(24, sent_text.size()), sent_text) << bad;
    EXPECT_EQ(tail.substr(record + 24), sent_text) << bad;

    for (int cpu : {0, 1 << 20}) {
        zf_tcp_client_sock p;
        captured_stdout thread_out;
        ASSERT_TRUE(connect_lo(p, srv, s, true, cpu));
        EXPECT_TRUE(p.sock_close());  // after the thread printed its start and binding
        const std::string out = thread_out.take();
        if (cpu == 0)
            EXPECT_NE(out.find("] after set affinity: CPU 0\n"), std::string::npos) << out;
        else
            EXPECT_NE(out.find("invalid cpu id: 1048576\n"), std::string::npos) << out;
        EXPECT_NE(out.find("zf client work thread ["), std::string::npos);
        EXPECT_NE(out.find("] exit.\n"), std::string::npos);
    }

    DestroyZFClientSock(nullptr);
    i_zf_tcp_client_sock* made = CreateZFClientSock();
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->is_connected());
    DestroyZFClientSock(made);
}

TEST(ZfPluginDeathTest, AFailedStackCallEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    hux_test::loopback_server srv;
    sink s;
    zf_tcp_client_sock c;
    EXPECT_DEATH(c.zf_clt_init("127.0.0.1", srv.port(), "hux_noif0", -1, &s, true),
                 "ERROR: zf_clt_init: ZF_TRY\\(zf_stack_alloc\\(m_attr, &m_stack\\)\\) failed\n"
                 "ERROR: at zf_tcp_client_sock:[0-9]+\n"
                 "ERROR: rc=-19 \\(No such device\\) errno=[0-9]+\n");
}

}  // namespace

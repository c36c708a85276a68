// The trade session's kernel-bypass channels over a session's life, in the
// namespace pair: the card's version lines in the important log, a server
// drop with the reconnect thread on, the application's disconnect (and
// connect) from inside the plug-in's callbacks, a reader of the transmit
// timestamps beside the sending thread, and answers that reach the plug-in
// cut at random.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bypass/standin/hux_standin.h"
#include "mv_hux_trade.h"
#include "tests/bypass/session_bypass_support.h"

using namespace bypass_test;
using hux_test::wait_until;
using trade_test::kLogonWait;
using trade_test::kSessionWait;

namespace {

// ---------------------------------------------------------------- important log

// The messages of the important log's records under `category`, in order.
// A record is "YYYYMMDD-HH:MM:SS.uuuuuu LLLLL category message": the length
// field (5 digits at 25) counts the message.
std::vector<std::string> important_records(const std::string& path, const std::string& category) {
    std::ifstream in(path);
    std::vector<std::string> out;
    const std::string key = category + " ";
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 31 || line.compare(31, key.size(), key) != 0) continue;
        const std::string message = line.substr(31 + key.size());
        EXPECT_EQ(std::stoul(line.substr(25, 5)), message.size()) << line;
        out.push_back(message);
    }
    return out;
}

// What "core" should say: the machine's "uname -a" up to its first colon.
std::string uname_up_to_colon() {
    FILE* p = popen("uname -a", "r");
    if (!p) return std::string();
    char buf[1024] = {};
    const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
    pclose(p);
    if (!got) return std::string();
    std::string s(buf);
    s = s.substr(0, s.find_first_of(":\n"));
    return s;
}

// ---------------------------------------------------------------- epoll files

// The epoll files this process holds now, each kept open by a duplicate of
// its descriptor, with the socket inodes registered in each. A TCPDirect
// stack of the stand-in is such a file: a stack that is kept gains the
// sockets of the endpoints made on it later; a stack made anew is another file.
class epoll_watch {
public:
    epoll_watch() {
        std::vector<int> found;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (std::filesystem::read_symlink(e.path(), ec).string() == "anon_inode:[eventpoll]" && !ec)
                found.push_back(std::stoi(e.path().filename().string()));
        }
        for (int fd : found) {
            const int copy = dup(fd);
            if (copy < 0) continue;
            m_fds.push_back(copy);
            for (const std::string& ino : sockets_of(copy)) m_before.insert(ino);
        }
    }
    ~epoll_watch() {
        for (int fd : m_fds) close(fd);
    }
    epoll_watch(const epoll_watch&) = delete;
    epoll_watch& operator=(const epoll_watch&) = delete;

    size_t files() const { return m_fds.size(); }
    // True when one of the files has a socket registered that none had before.
    bool gained_a_socket() const {
        for (int fd : m_fds)
            for (const std::string& ino : sockets_of(fd))
                if (!m_before.count(ino)) return true;
        return false;
    }

private:
    // "tfd: N events: ... ino:HEX sdev:..." per registered descriptor.
    static std::set<std::string> sockets_of(int fd) {
        std::ifstream in("/proc/self/fdinfo/" + std::to_string(fd));
        std::set<std::string> out;
        for (std::string line; std::getline(in, line);) {
            if (line.compare(0, 4, "tfd:") != 0) continue;
            const size_t at = line.find("ino:");
            if (at != std::string::npos) out.insert(line.substr(at + 4, line.find(' ', at) - at - 4));
        }
        return out;
    }
    std::vector<int> m_fds;
    std::set<std::string> m_before;
};

// Reconnect attempts a few milliseconds apart; the attempt that connected
// waits as long as the tests wait for a logon (15 s at least) for the
// application's logon.
void quick_reconnect(CTradeClient& client) {
    HUX_TRADE::TradeClientTimings t = client.GetTimings();
    t.reconnect_wait_count = 2;
    t.reconnect_wait_ms = 10;
    t.logon_first_wait_ms = 1;
    t.logon_wait_ms = 5;
    t.logon_wait_count = static_cast<unsigned>(kLogonWait.count() / t.logon_wait_ms);
    t.reconnect_idle_ms = 2;
    client.SetTimings(t);
}

i_zf_tcp_client_sock* published_plugin() { return __atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE); }

// The server's n-th trade connection (the logon's report has its own).
size_t trade_conn(peer_server& srv, size_t n) { return srv.sim->wait_for_trade_connection(n, kSessionWait); }

}  // namespace

// Each card writes its lines to the important log of the working directory
// once its sender is ready: a Solarflare card the kernel line, the adapter's
// lspci "Subsystem" line and the Onload version; an Alveo card (xilinx_efct)
// the lspci "Name" line of the ALVEO device instead; an ExaNIC the kernel
// line, the module's version line and the card's type as the card reports
// it. The fake lspci, onload and modinfo on PATH give the texts.
TEST(SessionLifecycle, EachCardWritesItsVersionLines) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    hux_standin_exanic_reset();
    hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
    hux_standin_exanic_set_hw_type(5);
    fill_neighbour();
    peer_server srv(accepting());
    const std::string core = uname_up_to_colon();
    ASSERT_FALSE(core.empty());
    const std::string onload = " Jan 16 2024 08 <ci/internal/transport_config_opt_extra.h>";

    struct card {
        const char* driver;
        int driver_type;
        std::vector<std::string> solarflare, onload_version, exanic;
    } cards[] = {
        {"sfc", 0, {" Solarflare Communications XtremeScale X2522-25G Network Adapter"}, {onload}, {}},
        {"xilinx_efct", 0, {" AMD ALVEO X3522PV 10/25GbE Network Adapter"}, {onload}, {}},
        {"exanic", 1, {}, {}, {"version:        2.7.3", "Hardware type: ExaNIC X10-GM"}},
    };
    uint16_t port = 44000;
    for (const card& c : cards) {
        SCOPED_TRACE(c.driver);
        trade_test::scratch_dir here(true);  // the session opens important.log here
        name_driver(c.driver);
        {
            bypass_session s;
            ASSERT_TRUE(s.logon(bypass_session::record(srv, ++port, false)));
            EXPECT_EQ(s.client()->GetDriverType(), c.driver_type);
            EXPECT_EQ(order_round_trip(s, srv, port).size(), 100u);
        }
        const std::string log = here.path() + "/important.log";
        EXPECT_EQ(important_records(log, "core"), std::vector<std::string>{core});
        EXPECT_EQ(important_records(log, "solarflare"), c.solarflare);
        EXPECT_EQ(important_records(log, "onload_version"), c.onload_version);
        EXPECT_EQ(important_records(log, "exanic"), c.exanic);
    }
    hux_standin_exanic_reset();
    name_driver("");
}

// The server drops the plug-in's connection while the reconnect thread runs:
// one "remote disconnected", then the thread connects the same plug-in object
// again on the stack it already had (no new stack, no new plug-in file) and
// keeps the ef_vi sender (no new driver handle); the application logs on at
// "conn ok" and orders are answered again.
TEST(SessionLifecycle, ServerDropReconnectsOverTheSameObjectAndSender) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    {
        bypass_session s;
        quick_reconnect(*s.client());
        ASSERT_EQ(MVHUX_SetAutoReconnect(s.h, true), HUX_RESULT_OK);
        ASSERT_TRUE(s.logon(direct_record(srv, 44101)));
        ASSERT_TRUE(wait_until([&] { return s.client()->IsReconnectRunning(); }, kSessionWait));
        i_zf_tcp_client_sock* zf = s.client()->GetZfSock();
        ASSERT_NE(zf, nullptr);
        ASSERT_EQ(order_round_trip(s, srv, 1).size(), 100u);
        const int opens = hux_standin_efvi_driver_opens();
        const size_t conn = trade_conn(srv, 0);
        ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);

        epoll_watch stacks;
        ASSERT_GE(stacks.files(), 1u);
        // The events' lock, let go here and taken by the drop's report, orders
        // the duplicates before the reconnect's closes for the thread sanitizer
        // (the drop itself reaches the plug-in through the network).
        EXPECT_EQ(s.events.count_code(2), 0u);
        srv.sim->close(conn);
        ASSERT_TRUE(s.events.wait_code(2));
        ASSERT_TRUE(s.events.wait_code(0, 2, kLogonWait)) << "no reconnect";
        ASSERT_TRUE(s.logon_only());
        ASSERT_NE(trade_conn(srv, 1), hux_sim::sim_trade_server::no_connection);

        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 2, 0}));
        EXPECT_EQ(s.client()->GetZfSock(), zf);
        EXPECT_TRUE(zf->is_connected());
        EXPECT_EQ(published_plugin(), zf);
        EXPECT_TRUE(stacks.gained_a_socket()) << "the plug-in's stack was made anew";
        EXPECT_EQ(plugin_mappings(), 1);
        EXPECT_EQ(hux_standin_efvi_driver_opens(), opens) << "the ef_vi sender was opened again";
        for (uint32_t t = 2; t <= 4; ++t) EXPECT_EQ(order_round_trip(s, srv, t).size(), 100u);
        // The reconnect series ended with the logon.
        EXPECT_TRUE(wait_until([&] { return s.client()->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; },
                               kSessionWait));
        EXPECT_EQ(s.events.count_code(2), 1u);
    }
    EXPECT_EQ(plugin_mappings(), 0);
    EXPECT_EQ(published_plugin(), nullptr);
    name_driver("");
}

namespace {

// What a callback that disconnects (or connects) its session got back.
std::atomic<int> g_callback_rc{-1};
// Set once MVHUX_EnterOrder has returned on the test's thread.
std::atomic<bool> g_order_sent{false};

// An accept callback that disconnects its session: it runs on the plug-in's
// work thread, inside the plug-in's receive loop. The order's send has
// returned by then (its answer came after it); the flag says so to the
// thread sanitizer too, since the disconnect frees the ef_vi sender.
void disconnecting_accept(void* h, HUX_OrderAcceptField* rec) {
    on_accept(h, rec);
    if (!wait_until([] { return g_order_sent.load(); }, kSessionWait)) return;
    g_callback_rc = MVHUX_DisConnServer(h);
}

}  // namespace

// The application disconnects from inside the plug-in's own callbacks: from
// an order accept (connected: one "local disconnected"), and from the
// "remote disconnected" of a server drop (no longer connected: nothing more).
// Nothing deadlocks and the plug-in is retired at once (no object, nothing for
// the signal handler, its file still mapped). The next connect from another
// thread frees it, then connects and logs on over a new plug-in; a session
// destroyed without connecting again frees it too.
TEST(SessionLifecycle, DisconnectFromInsideACallback) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    name_driver("sfc");
    struct variant {
        const char* name;
        bool on_drop;
        bool connect_again;
    } variants[] = {
        {"from an order accept", false, true},
        {"from the connection callback of a drop", true, true},
        {"from an order accept, then destroyed", false, false},
    };
    uint16_t udp_port = 44200;
    for (const variant& v : variants) {
        SCOPED_TRACE(v.name);
        peer_server srv(accepting());
        ASSERT_EQ(plugin_mappings(), 0);
        g_callback_rc = -1;
        ++udp_port;
        {
            bypass_session s;
            std::atomic<bool> armed{false};
            s.events.on_code = [&](CTradeClient* c, int code) {
                if (code == 2 && armed) g_callback_rc = MVHUX_DisConnServer(c);
            };
            ASSERT_TRUE(s.logon(direct_record(srv, udp_port)));
            const size_t conns = srv.sim->connection_count();
            if (v.on_drop) {
                const size_t conn = trade_conn(srv, 0);
                ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);
                armed = true;
                srv.sim->close(conn);
            } else {
                g_order_sent = false;
                MVHUX_SetOrderAcceptEvent(s.h, disconnecting_accept);
                HUX_EnterOrderField o = order(1);
                ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_OK);
                g_order_sent = true;
            }
            ASSERT_TRUE(wait_until([&] { return g_callback_rc.load() != -1; }, kSessionWait)) << "deadlock";
            EXPECT_EQ(g_callback_rc.load(), HUX_RESULT_OK);
            const std::vector<int> codes = v.on_drop ? std::vector<int>{0, 2} : std::vector<int>{0, 3};
            EXPECT_TRUE(s.events.wait_codes(codes.size()));
            EXPECT_EQ(s.events.codes(), codes);
            EXPECT_EQ(s.client()->GetZfSock(), nullptr);
            EXPECT_EQ(published_plugin(), nullptr);
            EXPECT_FALSE(s.client()->IsConnect());
            EXPECT_FALSE(s.client()->IsLogon());
            // Retired, not freed: the callback's thread was still running it.
            EXPECT_EQ(plugin_mappings(), 1);
            if (v.connect_again) {
                armed = false;
                MVHUX_SetOrderAcceptEvent(s.h, on_accept);
                ASSERT_TRUE(s.logon(direct_record(srv, udp_port)));
                EXPECT_GT(srv.sim->connection_count(), conns);
                EXPECT_NE(s.client()->GetZfSock(), nullptr);
                EXPECT_EQ(published_plugin(), s.client()->GetZfSock());
                EXPECT_EQ(plugin_mappings(), 1) << "the retired plug-in is still mapped";
                EXPECT_EQ(order_round_trip(s, srv, 2).size(), 100u);
                std::vector<int> after = codes;
                after.push_back(0);
                EXPECT_EQ(s.events.codes(), after);
            }
        }
        EXPECT_EQ(plugin_mappings(), 0);
    }
    name_driver("");
}

// A connect from inside the connection callback of a server drop: the old
// plug-in is retired on its own thread, a new one carries the session, and
// both go with the application's disconnect from its own thread.
TEST(SessionLifecycle, ConnectFromInsideTheDropCallback) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    g_callback_rc = -1;
    bypass_session s;
    const HUX_TradeSvrInfo info = direct_record(srv, 44301);
    std::atomic<bool> armed{false};
    s.events.on_code = [&](CTradeClient* c, int code) {
        if (code == 2 && armed.exchange(false)) g_callback_rc = MVHUX_ConnServer(c, &info, false);
    };
    ASSERT_TRUE(s.logon(info));
    i_zf_tcp_client_sock* first = s.client()->GetZfSock();
    ASSERT_NE(first, nullptr);
    armed = true;
    srv.sim->close(trade_conn(srv, 0));
    ASSERT_TRUE(wait_until([&] { return g_callback_rc.load() != -1; }, kSessionWait)) << "deadlock";
    EXPECT_EQ(g_callback_rc.load(), HUX_RESULT_OK);
    ASSERT_TRUE(s.events.wait_code(0, 2));
    ASSERT_TRUE(s.logon_only());
    EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 2, 0}));
    EXPECT_NE(s.client()->GetZfSock(), nullptr);
    EXPECT_EQ(published_plugin(), s.client()->GetZfSock());
    // The old one is retired (its thread ran the connect), the new one in use.
    EXPECT_EQ(plugin_mappings(), 2);
    EXPECT_EQ(order_round_trip(s, srv, 1).size(), 100u);

    ASSERT_EQ(MVHUX_DisConnServer(s.h), HUX_RESULT_OK);
    EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 2, 0, 3}));
    EXPECT_EQ(plugin_mappings(), 0);
    EXPECT_EQ(published_plugin(), nullptr);
    name_driver("");
}

// A thread that reads the transmit timestamps while orders go out: every
// read gives at least what the one before gave, the same oldest entries
// first, ascending; at the end one per order.
TEST(SessionLifecycle, TimestampsReadWhileOrdersGoOut) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session s;
    ASSERT_TRUE(s.logon(bypass_session::record(srv, 44401, true)));
    const int n = 40;

    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::mutex problems_lock;
    std::vector<std::string> problems;
    std::set<int> counts_seen;
    std::thread reader([&] {
        std::vector<long long> seen;
        std::vector<long long> buf(n + 8);
        while (!stop) {
            int count = static_cast<int>(buf.size());
            const int rc = MVHUX_GetTimestamps(s.h, buf.data(), &count);
            std::string problem;
            if (rc != HUX_RESULT_OK)
                problem = "code " + std::to_string(rc);
            else if (count < static_cast<int>(seen.size()) || count > n)
                problem = "count " + std::to_string(count) + " after " + std::to_string(seen.size());
            else if (!std::equal(seen.begin(), seen.end(), buf.begin()))
                problem = "the oldest entries changed";
            for (int i = 1; problem.empty() && i < count; ++i)
                if (buf[i - 1] >= buf[i]) problem = "not ascending at " + std::to_string(i);
            std::lock_guard<std::mutex> guard(problems_lock);
            if (!problem.empty()) problems.push_back(problem);
            if (rc == HUX_RESULT_OK) {
                seen.assign(buf.begin(), buf.begin() + count);
                counts_seen.insert(count);
            }
            ++reads;
        }
    });
    ASSERT_TRUE(wait_until([&] { return reads > 0; }, kSessionWait));
    for (int i = 1; i <= n; ++i) EXPECT_EQ(order_round_trip(s, srv, static_cast<uint32_t>(i)).size(), 100u);
    const long after_orders = reads;
    EXPECT_TRUE(wait_until([&] { return reads > after_orders; }, kSessionWait));
    stop = true;
    reader.join();

    std::vector<long long> all(n + 8);
    int count = static_cast<int>(all.size());
    ASSERT_EQ(MVHUX_GetTimestamps(s.h, all.data(), &count), HUX_RESULT_OK);
    EXPECT_EQ(count, n);
    std::lock_guard<std::mutex> guard(problems_lock);
    EXPECT_TRUE(problems.empty()) << problems.size() << " bad reads, first: " << problems.front();
    EXPECT_TRUE(counts_seen.count(n));
    EXPECT_GT(counts_seen.size(), 2u) << "the reader never ran beside the sends";
    name_driver("");
}

// The server cuts every write of answers at random (pieces of 1..5 bytes,
// then of 1..150 across message boundaries, an accept and three fills per
// order), logon answers included: the plug-in's bytes are put back together
// by the session, and every accept arrives, in order.
TEST(SessionLifecycle, AnswersCutAtRandomReachThePlugIn) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    hux_sim::sim_config cfg = accepting();
    cfg.order_answer = hux_sim::order_mode::fill;
    cfg.order_fill_parts = 3;
    cfg.random_split_max = 5;
    cfg.random_seed = 20240611;
    peer_server srv(cfg);
    name_driver("sfc");
    bypass_session s;
    ASSERT_TRUE(s.logon(direct_record(srv, 44501)));
    ASSERT_NE(s.client()->GetZfSock(), nullptr);

    uint32_t token = 0;
    for (size_t max_piece : {5u, 150u}) {
        SCOPED_TRACE("pieces of 1.." + std::to_string(max_piece));
        cfg.random_split_max = max_piece;
        ASSERT_TRUE(srv.sim->set_config(cfg));
        const size_t before = accepted();
        std::vector<uint32_t> sent;
        for (int i = 0; i < 30; ++i) {
            HUX_EnterOrderField o = order(++token);
            ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_OK);
            sent.push_back(token);
        }
        ASSERT_TRUE(wait_until([&] { return accepted() >= before + sent.size(); }, kSessionWait))
            << accepted() - before << " of " << sent.size() << " accepts";
        const std::vector<uint32_t> all = accepted_tokens();
        EXPECT_EQ(std::vector<uint32_t>(all.begin() + static_cast<long>(before), all.end()), sent);
    }
    EXPECT_TRUE(s.client()->IsConnect());
    EXPECT_EQ(s.events.codes(), std::vector<int>{0});
    name_driver("");
}

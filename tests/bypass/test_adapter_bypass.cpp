// The adapter's trade session over the kernel-bypass stand-ins in the
// namespace pair: the simulated server listens in the peer namespace on the
// peer's address (TCP and UDP), the session connects from the client end,
// whose driver the preloaded driver shim names ("sfc" or "exanic"). New
// orders leave through the ef_vi stand-in, the libexanic stand-in or the
// kernel's UDP socket and must reach the server's UDP port byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/TradeClient.h"
#include "bypass/standin/hux_standin.h"
#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/netns_pair.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"

namespace {

using HUX_ADAPTER::CTradeClient;
using hux_test::CLIENT_IP;
using hux_test::hex_of;
using hux_test::PEER_IP;

// The longest a test waits for anything: 15 s at least, more when
// HUX_TEST_WAIT_MS asks for more.
std::chrono::milliseconds wait_limit() { return hux_test::test_wait_at_least(std::chrono::milliseconds(15000)); }

// ---------------------------------------------------------------- bytes

std::string unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}
std::string text_hex(const char* text, size_t width) {
    return hex_of(text, std::strlen(text)) + std::string(2 * (width - std::strlen(text)), '0');
}
std::string hex(const std::string& bytes) { return hex_of(bytes.data(), bytes.size()); }

// The version report the owner sends for user "trader01" (48 bytes).
std::string version_report() {
    return unhex("5000"                      // 0: type 80
                 "3000"                      // 2: length 48
                 "00000000"                  // 4: zero
                 "0f000000"                  // 8: protocol version 15
                 + text_hex("trader01", 33)  // 12: user id
                 + "000000");                // 45: zero
}

// A new order (type 10, 100 bytes) with every field set, built by hand;
// `token` (below 256) is its client token.
std::string new_order(uint8_t token) {
    char token_hex[3];
    std::snprintf(token_hex, sizeof token_hex, "%02x", token);
    return unhex(std::string("0a00"          // 0: type 10
                             "6400"          // 2: length 100
                             "11223344"      // 4: request tag
                             "e9"            // 8: user id 1001, low byte
                             "000000"        // 9: zero
                             "65"            // 12: exchange 101
                             "01"            // 13: opt_4
                             "01"            // 14: 1 (opt_4 set, opt_6 clear)
                             "01"            // 15: opt_8
                             "03"            // 16: opt_7
                             "01"            // 17: side 1
                             "02"            // 18: opt_5
                             "7f")           // 19: opt_1
                 + token_hex + "000000"      // 20: client token
                 + "03000000"                // 24: quantity 3
                   "d4c3b2a1"                // 28: opt_2
                   "40e2010000000000"        // 32: price 12.3456 x 10000 = 123456
                   "0000000000000000"        // 40: second price 0
                   "09"                      // 48: opt_9
                   "000000"                  // 49: zero
                   "04030201"                // 52: opt_3
                   "00000000"                // 56: zero
                 + text_hex("ACC001", 16)    // 60: account
                 + text_hex("IF2406", 20)    // 76: symbol
                 + "00000000");              // 96: zero
}

// ---------------------------------------------------------------- files

// A fresh working directory under /tmp for the test (the session's logs
// and "important.log" go there); removed at the end.
class scratch_cwd {
public:
    scratch_cwd() {
        char tmpl[] = "/tmp/hux_adapter_bypass_XXXXXX";
        const char* made = mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        m_path = made ? made : "";
        char cwd[4096];
        m_old = getcwd(cwd, sizeof(cwd)) ? cwd : "/tmp";
        if (made) {
            EXPECT_EQ(chdir(made), 0);
        }
    }
    ~scratch_cwd() {
        EXPECT_EQ(chdir(m_old.c_str()), 0);
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    scratch_cwd(const scratch_cwd&) = delete;
    scratch_cwd& operator=(const scratch_cwd&) = delete;

private:
    std::string m_path;
    std::string m_old;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string text_log() { return read_file(std::string("tavlog_trade_") + precise_time::get_start_date() + ".log"); }

// ---------------------------------------------------------------- set-up

// The driver the shim gives the client's end ("" = none: the veth's own).
void name_driver(const char* driver) {
    const std::string value = *driver ? hux_test::netns().client_if + "=" + driver : std::string();
    setenv("HUX_DRIVER_SHIM", value.c_str(), 1);
}

// The stand-ins back to their defaults, the client's end named "sfc", the
// ExaNIC port 0 on the client's end; undone at the end of the test.
struct bypass_scope {
    explicit bypass_scope(const char* driver) {
        hux_standin_efvi_reset();
        hux_standin_exanic_reset();
        hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
        name_driver(driver);
    }
    ~bypass_scope() {
        name_driver("");
        hux_standin_efvi_reset();
        hux_standin_exanic_reset();
    }
};

void fill_neighbour() {
    // The ExaNIC sender asks no one for the peer's MAC: it must be known.
    ASSERT_EQ(std::system("ping -c 1 -W 2 10.77.0.2 >/dev/null 2>&1"), 0);
}

// The simulated server in the peer namespace, accepting every order.
struct peer_server {
    std::unique_ptr<hux_sim::sim_trade_server> sim;
    peer_server() {
        hux_test::in_peer([&] {
            sim.reset(new hux_sim::sim_trade_server(0, PEER_IP));
            sim->open_udp(0);
        });
        EXPECT_TRUE(sim->listening());
        EXPECT_NE(sim->udp_port(), 0);
        hux_sim::sim_config cfg;
        cfg.password = "pw";
        cfg.user_id = 1001;
        cfg.order_answer = hux_sim::order_mode::accept;
        EXPECT_TRUE(sim->set_config(cfg));
    }
};

// Order accepts, over all sessions: the handle and the client token.
std::mutex g_accept_lock;
std::vector<std::pair<void*, uint32_t>> g_accepts;
void record_accept(void* handle, HUX_OrderAcceptField* rec) {
    std::lock_guard<std::mutex> lock(g_accept_lock);
    g_accepts.emplace_back(handle, rec->client_token);
}
size_t accepts() {
    std::lock_guard<std::mutex> lock(g_accept_lock);
    return g_accepts.size();
}

// What the session reports through TradeClientEvent.
class trade_events : public HUX_ADAPTER::TradeClientEvent {
public:
    // `fn` runs inside the next connection event with `code`.
    void inside_next(int code, std::function<void()> fn) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_hook_code = code;
        m_hook = std::move(fn);
    }
    void on_trade_client_connect_event(int code, const char* text) override {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_codes.push_back(code);
            m_texts.push_back(text ? text : "(null)");
            if (m_hook && m_hook_code == code) fn.swap(m_hook);
        }
        if (fn) fn();
        m_changed.notify_all();
    }
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_results.push_back(rsp->result);
        }
        m_changed.notify_all();
    }
    std::vector<int> codes() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_codes;
    }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_texts;
    }
    std::vector<int> results() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_results;
    }
    size_t count(int code) const {
        std::lock_guard<std::mutex> lock(m_lock);
        size_t n = 0;
        for (int c : m_codes) n += c == code ? 1 : 0;
        return n;
    }
    bool wait_code(int code, size_t n) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, wait_limit(), [&] {
            size_t seen = 0;
            for (int c : m_codes) seen += c == code ? 1 : 0;
            return seen >= n;
        });
    }
    bool wait_results(size_t n) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, wait_limit(), [&] { return m_results.size() >= n; });
    }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<int> m_codes;
    std::vector<std::string> m_texts;
    std::vector<int> m_results;
    int m_hook_code = -1;
    std::function<void()> m_hook;
};

// An adapter session from the client's end to the peer server.
struct session {
    trade_events events;
    int owner = 0;
    CTradeClient client{&owner, &events, nullptr};

    session() {
        HUX_ADAPTER::TradeClientTimings t = client.GetTimings();
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        client.SetTimings(t);
        client.SaveLoginInfo("trader01", "pw", "app-x", "AUTH123");
        client.Events().OrderAccept = record_accept;
    }

    static HUX_TradeSvrInfo record(const peer_server& srv, uint16_t local_udp_port) {
        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, PEER_IP);
        info.tcp_port = srv.sim->port();
        std::strcpy(info.local_ip, CLIENT_IP);
        info.udp_port = srv.sim->udp_port();
        info.local_udp_port = local_udp_port;
        info.heartbeat_interval = 0;
        return info;
    }
    // Connects; true once "conn ok" came.
    bool connect(const HUX_TradeSvrInfo& info) {
        const size_t oks = events.count(0);
        if (!client.ConnServer(info)) return false;
        return events.wait_code(0, oks + 1);
    }
    // The version report; true once the logon event says 0.
    bool logon() {
        const size_t n = events.results().size();
        std::string v = version_report();
        if (client.SendMsgToHux("report_version", &v[0], 48, 2) != 48) return false;
        if (!events.wait_results(n + 1)) return false;
        return events.results()[n] == 0;
    }
    bool start(const HUX_TradeSvrInfo& info) { return connect(info) && logon(); }
};

// Sends one new order and returns the datagram the server got for it, once
// its accept came back with the owner as handle.
std::string order_round_trip(session& s, peer_server& srv, uint8_t token) {
    const size_t datagrams = srv.sim->datagrams().size();
    const size_t before = accepts();
    std::string order = new_order(token);
    EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
    EXPECT_TRUE(srv.sim->wait_for_datagrams(datagrams + 1, wait_limit()));
    EXPECT_TRUE(hux_test::wait_until([&] { return accepts() > before; }, wait_limit())) << "no accept";
    {
        std::lock_guard<std::mutex> lock(g_accept_lock);
        if (g_accepts.size() > before) {
            EXPECT_EQ(g_accepts.back().first, &s.owner);
            EXPECT_EQ(g_accepts.back().second, token);
        }
    }
    const std::vector<std::string> all = srv.sim->datagrams();
    return all.size() > datagrams ? all[datagrams] : std::string();
}

std::atomic<int> g_efvi_warm_posts{0};
// Every ef_vi post; warm-ups are the frames with an all-zero destination MAC.
void count_efvi_post(void*, uint64_t, const unsigned char* bytes, int, int) {
    static const unsigned char zero[6] = {};
    if (std::memcmp(bytes, zero, 6) == 0) ++g_efvi_warm_posts;
}

// Runs `fn` on a thread of its own and waits for it; a call that does not
// return in time cannot be joined, so the program ends there.
void returns_in_time(const char* what, const std::function<void()>& fn) {
    std::packaged_task<void()> task(fn);
    std::future<void> done = task.get_future();
    std::thread t(std::move(task));
    if (done.wait_for(wait_limit()) != std::future_status::ready) {
        ADD_FAILURE() << what << " did not return";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    t.join();
}

// ---------------------------------------------------------------- tests

// A new order over ef_vi (CTPIO and DMA) and over ExaNIC reaches the
// server's UDP port as the very bytes sent and is accepted; each warm-up
// call sends its warm-up frame (no spacing between them) and nothing
// reaches the server.
TEST(AdapterBypass, NewOrdersOverEfViAndExanicArriveByteExact) {
    HUX_NEED_NETNS();
    scratch_cwd cwd;
    bypass_scope scope("");
    fill_neighbour();
    peer_server srv;
    hux_standin_efvi_set_post_hook(count_efvi_post, nullptr);
    const struct {
        const char* driver;
        long capability;  // ef_vi: 1 CTPIO, 0 DMA
        int driver_type;
        int warm_result;
    } channels[] = {
        {"sfc", 1, 0, 8},
        {"sfc", 0, 0, 8},
        {"exanic", 1, 1, 100},
    };
    uint16_t port = 44100;
    uint8_t token = 0;
    for (const auto& c : channels) {
        SCOPED_TRACE(std::string(c.driver) + (c.capability ? "" : " DMA"));
        name_driver(c.driver);
        hux_standin_efvi_set_capability(c.capability);
        session s;
        ASSERT_TRUE(s.start(session::record(srv, ++port)));
        EXPECT_EQ(s.client.GetDriverType(), c.driver_type);

        const int efvi_warm = g_efvi_warm_posts;
        const long exanic_warm = hux_standin_exanic_warmups();
        const size_t datagrams = srv.sim->datagrams().size();
        std::string warm = new_order(0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&warm[0], 100, 1, true), c.warm_result);
        if (c.driver_type == 0) {
            EXPECT_EQ(g_efvi_warm_posts - efvi_warm, 3);
        } else {
            EXPECT_EQ(hux_standin_exanic_warmups() - exanic_warm, 3);
        }

        const std::string got = order_round_trip(s, srv, ++token);
        EXPECT_EQ(hex(got), hex(new_order(token)));
        EXPECT_EQ(srv.sim->datagrams().size(), datagrams + 1);  // the warm-ups sent nothing to it
    }
    hux_standin_efvi_set_post_hook(nullptr, nullptr);
}

// A card that gives no virtual interface: that connect takes the kernel's
// UDP (driver type 2) and the order still arrives whole; the next connect
// tries ef_vi again and gets it.
TEST(AdapterBypass, RefusedVirtualInterfaceCostsOneConnect) {
    HUX_NEED_NETNS();
    scratch_cwd cwd;
    bypass_scope scope("sfc");
    peer_server srv;
    session s;
    const HUX_TradeSvrInfo info = session::record(srv, 44201);
    hux_standin_efvi_set_refuse_vi(1);
    const int opens = hux_standin_efvi_driver_opens();
    ASSERT_TRUE(s.start(info));
    EXPECT_EQ(hux_standin_efvi_driver_opens(), opens + 1);
    EXPECT_EQ(s.client.GetDriverType(), 2);
    EXPECT_EQ(hex(order_round_trip(s, srv, 1)), hex(new_order(1)));

    hux_standin_efvi_set_refuse_vi(0);
    ASSERT_TRUE(s.start(info));
    EXPECT_EQ(hux_standin_efvi_driver_opens(), opens + 2) << "ef_vi was not tried again";
    EXPECT_EQ(s.client.GetDriverType(), 0);
    const int warm = g_efvi_warm_posts;
    hux_standin_efvi_set_post_hook(count_efvi_post, nullptr);
    std::string w = new_order(0);
    EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&w[0], 100, 1, true), 8);  // an ef_vi warm-up
    EXPECT_EQ(g_efvi_warm_posts - warm, 1);
    hux_standin_efvi_set_post_hook(nullptr, nullptr);
    EXPECT_EQ(hex(order_round_trip(s, srv, 2)), hex(new_order(2)));
}

// The card's hardware type as the ExaNIC version line names it, with the two
// types the adapter knows beyond the trade library's.
TEST(AdapterBypass, ExanicHardwareTypeNames) {
    HUX_NEED_NETNS();
    scratch_cwd cwd;
    bypass_scope scope("exanic");
    fill_neighbour();
    peer_server srv;
    const struct {
        int type;
        const char* name;
    } cards[] = {{10, "ExaNIC X100"}, {12, "ExaNIC V9P-3"}, {13, "unknown"}};
    uint16_t port = 44300;
    for (const auto& c : cards) {
        SCOPED_TRACE(c.name);
        hux_standin_exanic_set_hw_type(c.type);
        session s;
        ASSERT_TRUE(s.connect(session::record(srv, ++port)));
        EXPECT_EQ(s.client.GetDriverType(), 1);
        const std::string line = std::string(" exanic Hardware type: ") + c.name + "\n";
        EXPECT_EQ(occurrences(read_file("important.log"), line), 1u);
    }
}

// An ExaNIC sender that cannot start fails the connect and leaves nothing
// open; the next connect starts a fresh one, which carries the orders.
TEST(AdapterBypass, FailedExanicStartIsRetriedFresh) {
    HUX_NEED_NETNS();
    scratch_cwd cwd;
    bypass_scope scope("exanic");
    fill_neighbour();
    peer_server srv;
    session s;
    const HUX_TradeSvrInfo info = session::record(srv, 44401);
    hux_standin_exanic_set_ports("nosuchif0");
    EXPECT_FALSE(s.client.ConnServer(info));
    EXPECT_FALSE(s.client.IsConnect());
    EXPECT_EQ(hux_standin_exanic_objects_open(), 0);
    const std::string line = "exanic udp init failed. dev_name[" + hux_test::netns().client_if +
                             "], remote ip,port[10.77.0.2, " + std::to_string(srv.sim->udp_port()) +
                             "], local ip,port[10.77.0.1, 44401]";
    EXPECT_EQ(occurrences(text_log(), line), 1u);
    std::string order = new_order(9);
    EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), -1);

    hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
    ASSERT_TRUE(s.start(info));
    EXPECT_EQ(s.client.GetDriverType(), 1);
    EXPECT_GT(hux_standin_exanic_objects_open(), 0);
    EXPECT_EQ(hex(order_round_trip(s, srv, 3)), hex(new_order(3)));
    s.client.DisConnServer();
    EXPECT_EQ(hux_standin_exanic_objects_open(), 0);
}

// TCP through the TCPDirect plug-in: DisConnServer closes the connected
// plug-in first and reports 99, "remote disconnected" (logged off, state 3),
// after letting go of its lock, so a DisConnServer made inside that event
// returns; nothing is left to report afterwards.
TEST(AdapterBypass, PlugInClosedByDisconnectReports99) {
    HUX_NEED_NETNS();
    scratch_cwd cwd;
    bypass_scope scope("sfc");
    peer_server srv;
    session s;
    HUX_TradeSvrInfo info = session::record(srv, 44501);
    info.tcp_direct = 1;
    ASSERT_TRUE(s.start(info));
    ASSERT_NE(s.client.GetZfSock(), nullptr);
    EXPECT_EQ(hex(order_round_trip(s, srv, 4)), hex(new_order(4)));

    bool inner_ran = false;
    s.events.inside_next(99, [&] {
        s.client.DisConnServer();
        inner_ran = true;
    });
    returns_in_time("DisConnServer", [&] { s.client.DisConnServer(); });
    EXPECT_TRUE(inner_ran);
    EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 99}));
    EXPECT_EQ(s.events.texts().back(), "remote disconnected");
    EXPECT_EQ(s.client.GetState(), 3);
    EXPECT_FALSE(s.client.IsLogon());
    EXPECT_FALSE(s.client.IsConnect());
    EXPECT_EQ(s.client.GetZfSock(), nullptr);
    s.client.DisConnServer();
    EXPECT_EQ(s.events.codes().size(), 2u);
}

}  // namespace

// The adapter's trade session against the simulated server on loopback, in
// this process: connect rules, the logon chain the owner starts with the
// version report (the exact logon request and heart-beat setting, every
// result the session gives itself), the connection codes of a disconnect,
// the epoll wait, new orders over TCP and kernel UDP, the heart-beat
// time-out, and the session's log lines.
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/TradeClient.h"
#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"

namespace {

using HUX_ADAPTER::CTradeClient;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::hex_of;

// The longest a test waits for anything; HUX_TEST_WAIT_MS overrides it.
std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

// ---------------------------------------------------------------- bytes

std::string unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}
std::string zeros_hex(size_t n) { return std::string(2 * n, '0'); }
// A text zero-filled to its field of `width` bytes, as hex.
std::string text_hex(const char* text, size_t width) {
    return hex_of(text, std::strlen(text)) + zeros_hex(width - std::strlen(text));
}
// `v` in `width` little-endian bytes, as hex.
std::string le_hex(uint64_t v, size_t width) {
    std::string bytes;
    for (size_t i = 0; i < width; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    return hex_of(bytes.data(), bytes.size());
}
std::string hex(const std::string& bytes) { return hex_of(bytes.data(), bytes.size()); }

// The version report the owner sends for user "trader01" (48 bytes).
std::string version_report() {
    return unhex("5000"                       // 0: type 80
                 "3000"                       // 2: length 48
                 "00000000"                   // 4: zero
                 "0f000000"                   // 8: protocol version 15
                 + text_hex("trader01", 33)   // 12: user id
                 + zeros_hex(3));             // 45: zero
}

// A market-session query (84, 16 bytes): any request that goes out after
// another on the TCP connection arrives after it.
std::string market_session_query() {
    return unhex("5400"         // 0: type 84
                 "1000"         // 2: length 16
                 "00000000"     // 4: zero
                 "e9030000"     // 8: user id 1001
                 "00000000");   // 12: zero
}

// A refused heart-beat setting answer (1090, 24 bytes) carrying `value` as
// its time-out: the session keeps the value and starts nothing, so
// GetServerTimeout() shows that everything before it has been handled.
std::string progress_marker(int32_t value) {
    return unhex("4204"                                        // 0: type 1090
                 "1800"                                        // 2: length 24
                 + zeros_hex(8)                                // 4: nothing
                 + "01000000"                                  // 12: result 1, refused
                 + le_hex(static_cast<uint32_t>(value), 4)     // 16: time-out
                 + zeros_hex(4));                              // 20: nothing
}

// A new order (type 10, 100 bytes) with every field set, built by hand.
std::string new_order(uint32_t token) {
    return unhex("0a00"                     // 0: type 10
                 "6400"                     // 2: length 100
                 "11223344"                 // 4: request tag
                 "e9"                       // 8: user id 1001, low byte
                 "000000"                   // 9: zero
                 "65"                       // 12: exchange 101
                 "01"                       // 13: opt_4
                 "01"                       // 14: 1 (opt_4 set, opt_6 clear)
                 "01"                       // 15: opt_8
                 "03"                       // 16: opt_7
                 "01"                       // 17: side 1
                 "02"                       // 18: opt_5
                 "7f"                       // 19: opt_1
                 + le_hex(token, 4) +       // 20: client token
                 "03000000"                 // 24: quantity 3
                 "d4c3b2a1"                 // 28: opt_2
                 "40e2010000000000"         // 32: price 12.3456 x 10000 = 123456
                 "0000000000000000"         // 40: second price 0
                 "09"                       // 48: opt_9
                 "000000"                   // 49: zero
                 "04030201"                 // 52: opt_3
                 "00000000"                 // 56: zero
                 + text_hex("ACC001", 16)   // 60: account
                 + text_hex("IF2406", 20)   // 76: symbol
                 + "00000000");             // 96: zero
}

// ---------------------------------------------------------------- files

// A fresh directory under /tmp that is the working directory meanwhile (the
// session writes its logs and "important.log" there); removed at the end.
class scratch_cwd {
public:
    scratch_cwd() {
        char tmpl[] = "/tmp/hux_adapter_XXXXXX";
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
    const std::string& path() const { return m_path; }

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
std::string important_log() { return read_file("important.log"); }

// ---------------------------------------------------------------- threads

// The wait argument of thread `tid` while it sits in epoll_wait (or
// epoll_pwait): the fourth argument in /proc/self/task/TID/syscall; -1
// while it is elsewhere.
long epoll_wait_of(long tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    long nr = -1;
    std::string args[4];
    if (!(in >> nr >> args[0] >> args[1] >> args[2] >> args[3])) return -1;
    if (nr != 232 && nr != 281) return -1;
    return static_cast<long>(std::strtoll(args[3].c_str(), nullptr, 16));
}

// A thread of this process that sits in epoll_wait with `timeout_ms`, or 0.
long thread_waiting_with(long timeout_ms) {
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return 0;
    long found = 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const long tid = std::atol(e->d_name);
        if (epoll_wait_of(tid) == timeout_ms) found = tid;
    }
    closedir(dir);
    return found;
}
bool thread_waits_with(long timeout_ms) { return thread_waiting_with(timeout_ms) != 0; }

// How often thread `tid` has given up its CPU (each epoll wait that ends
// by time-out counts one).
long voluntary_switches(long tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::atol(line.c_str() + 24);
    }
    return -1;
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

// ---------------------------------------------------------------- session

struct logon_seen {
    HUX_LogonResponse rsp;
    bool logged_on;  // IsLogon() while the event ran
};

// What the session reports through TradeClientEvent, in order.
class trade_events : public HUX_ADAPTER::TradeClientEvent {
public:
    void watch(CTradeClient* client) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_client = client;
    }
    // `fn` runs inside the next connection event with `code`, on the thread
    // that reports it.
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
        CTradeClient* client;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            client = m_client;
        }
        const logon_seen seen{*rsp, client && client->IsLogon()};
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_logons.push_back(seen);
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
    std::vector<logon_seen> logons() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_logons;
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
    bool wait_logons(size_t n) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, wait_limit(), [&] { return m_logons.size() >= n; });
    }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    CTradeClient* m_client = nullptr;
    std::vector<int> m_codes;
    std::vector<std::string> m_texts;
    std::vector<logon_seen> m_logons;
    int m_hook_code = -1;
    std::function<void()> m_hook;
};

// The session with a few protected members in reach. Like every class
// derived from a session it stops the session's threads first, before any
// part of it is gone.
class probe_client : public CTradeClient {
public:
    using CTradeClient::CTradeClient;
    ~probe_client() override { shutdown(); }
    using HUX_SESSION::trade_session_core::server_info;
    using HUX_SESSION::trade_session_core::tcp_socket;
};

sim_config server_config() {
    sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    return cfg;
}

// A session against a simulated server of its own (declared first, so it
// goes last), with short closes, logging on as "trader01" / "pw".
struct session {
    explicit session(const sim_config& cfg = server_config()) {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        HUX_ADAPTER::TradeClientTimings t = client.GetTimings();
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        t.heart_beat_tick_ms = 5;
        client.SetTimings(t);
        events.watch(&client);
        client.SaveLoginInfo("trader01", "pw", "app-x", "AUTH123");
    }

    // The simulated server's address, no heart-beat, no UDP channel.
    HUX_TradeSvrInfo record(int32_t heartbeat_interval = 0) const {
        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        info.heartbeat_interval = heartbeat_interval;
        return info;
    }
    // Connects; the server's number of the connection once "conn ok" came.
    size_t connect(const HUX_TradeSvrInfo& info) {
        const size_t conn = srv.connection_count();
        const size_t oks = events.count(0);
        EXPECT_TRUE(client.ConnServer(info));
        EXPECT_TRUE(events.wait_code(0, oks + 1)) << "no conn ok";
        EXPECT_TRUE(srv.wait_for_connection(conn, wait_limit()));
        return conn;
    }
    void send_version() {
        std::string v = version_report();
        EXPECT_EQ(client.SendMsgToHux("report_version", &v[0], 48, 2), 48);
    }
    // The version report, then the logon event it leads to.
    logon_seen logon() {
        const size_t n = events.logons().size();
        send_version();
        if (!events.wait_logons(n + 1)) {
            ADD_FAILURE() << "no logon event";
            return logon_seen{HUX_LogonResponse(), false};
        }
        return events.logons()[n];
    }
    // Sends `bytes` and a progress marker; true once the session reached it.
    bool send_and_reach(size_t conn, const std::string& bytes, int32_t marker) {
        return srv.send_raw(conn, bytes + progress_marker(marker)) &&
               hux_test::wait_until([&] { return client.GetServerTimeout() == marker; }, wait_limit());
    }

    sim_trade_server srv;
    trade_events events;
    int owner = 0;
    int user = 0;
    probe_client client{&owner, &events, &user};
};

std::string fields_of(const HUX_LogonResponse& r) {
    std::ostringstream s;
    s << r.result << ' ' << r.user_id << ' ' << r.logon_value << ' ' << r.max_token << ' ' << r.order_fc_count << ' '
      << r.order_fc_window_us << ' ' << r.cancel_fc_count << ' ' << r.cancel_fc_window_us;
    return s.str();
}

// ---------------------------------------------------------------- tests

// Construction writes its two lines and keeps the record's defaults; each
// successful connect logs its success line (no final period) and installs
// SIGINT again; "create trade conn" only before the first; SetLogDir moves
// the text log to "<dir>/tavlog_<date>.log".
TEST(AdapterTradeSession, LogLinesAndDefaults) {
    scratch_cwd cwd;
    session s;
    EXPECT_EQ(s.client.GetUserParam(), &s.user);
    const HUX_SESSION::session_server_info d = s.client.server_info();
    EXPECT_EQ(d.kernel_bypass, 1);
    EXPECT_EQ(d.exit_on_signal, 1);
    EXPECT_EQ(d.heartbeat_interval, 5);
    EXPECT_EQ(d.rsp_cpu, -1);
    EXPECT_EQ(d.tcp_port, 0);
    EXPECT_EQ(d.send_lock, 0);
    EXPECT_EQ(s.client.GetDriverType(), 2);
    EXPECT_EQ(occurrences(text_log(), " info create trade client\n"), 1u);
    EXPECT_EQ(occurrences(important_log(), " api version 5.2.4.67\n"), 1u);

    s.connect(s.record());
    s.connect(s.record());
    const std::string log = text_log();
    EXPECT_EQ(occurrences(log, " info create trade conn\n"), 1u);
    const std::string ok = " info open trade servr 127.0.0.1:" + std::to_string(s.srv.port()) + " successed\n";
    EXPECT_EQ(occurrences(log, ok), 2u);
    EXPECT_EQ(occurrences(log, " info sigaction() regsiter SIGINT success.\n"), 2u);

    const std::string dir = cwd.path() + "/moved_logs";
    s.client.SetLogDir(dir.c_str());
    s.client.DisConnServer();
    const std::string moved = read_file(dir + "/tavlog_" + precise_time::get_start_date() + ".log");
    EXPECT_EQ(occurrences(moved, " info close trade client\n"), 1u);
    EXPECT_EQ(occurrences(text_log(), " info close trade client\n"), 1u);  // the second connect's
}

// An empty local address connects over the kernel transports (no card is
// looked up, no plug-in even with tcp_direct); an address no interface holds
// fails the first connect even without a UDP channel, and later connects
// keep the first one's card; a UDP channel on the TCP port fails.
TEST(AdapterTradeSession, ConnectRules) {
    scratch_cwd cwd;
    {
        session s;
        HUX_TradeSvrInfo info = s.record();
        info.tcp_direct = 1;
        s.connect(info);
        EXPECT_TRUE(s.client.IsConnect());
        EXPECT_EQ(s.client.GetZfSock(), nullptr);
        EXPECT_EQ(s.client.GetDriverType(), 2);
    }
    {
        session s;
        HUX_TradeSvrInfo info = s.record();
        std::strcpy(info.local_ip, "192.0.2.77");
        EXPECT_FALSE(s.client.ConnServer(info));
        EXPECT_FALSE(s.client.IsConnect());
        EXPECT_EQ(occurrences(text_log(), "[[CTradeClient::ConnServer] get_ifname_by_ip [192.0.2.77] fail.]"), 1u);
        // Still the first connect: the card is looked up again, and found.
        std::strcpy(info.local_ip, "127.0.0.1");
        s.connect(info);
        char name[16] = {};
        EXPECT_TRUE(s.client.get_ifname_by_ip("127.0.0.1", name));
        EXPECT_STREQ(name, "lo");
        EXPECT_FALSE(s.client.get_ifname_by_ip("192.0.2.77", name));
        // Not the first connect any more: the address is not looked up.
        std::strcpy(info.local_ip, "192.0.2.77");
        s.connect(info);
        EXPECT_TRUE(s.client.IsConnect());

        info = s.record();
        std::strcpy(info.local_ip, "127.0.0.1");
        info.local_udp_port = 47001;
        info.udp_port = info.tcp_port;
        const size_t local = s.events.count(3);
        EXPECT_FALSE(s.client.ConnServer(info));
        EXPECT_FALSE(s.client.IsConnect());
        EXPECT_EQ(s.events.count(3), local + 1);  // the live connection went first
        const std::string line = "invalid trade port params.udp trade port " + std::to_string(info.tcp_port) +
                                 ", cannot be same as trade tcp port:" + std::to_string(info.tcp_port) + ".";
        EXPECT_EQ(occurrences(text_log(), line), 1u);
    }
}

// The whole logon: the request and the heart-beat setting byte for byte,
// the answer reported with all eight fields, the flow control it sets, the
// kept values GetLogonRespInfo hands out, the heart-beat thread.
TEST(AdapterTradeLogon, RequestSettingAndAnswer) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.version_text = "TERM-0123456789-ABCDEFGHIJKLMNOPQ";  // 33 characters
    cfg.version_use_text = 1;
    cfg.user_id = 0x01020304;
    cfg.logon_value = -7;
    cfg.max_token = 0x7f000001;
    cfg.order_fc_count = 100;
    cfg.order_fc_window_us = 500000;
    cfg.cancel_fc_count = 200;
    cfg.cancel_fc_window_us = 250000;
    session s(cfg);
    ASSERT_TRUE(s.srv.open_udp(0));
    const uint16_t local_port = hux_test::free_loopback_port(SOCK_DGRAM);
    ASSERT_NE(local_port, 0);
    HUX_TradeSvrInfo info = s.record(7);
    std::strcpy(info.local_ip, "127.0.0.1");
    info.local_udp_port = local_port;
    info.udp_port = s.srv.udp_port();
    const size_t conn = s.connect(info);

    const logon_seen seen = s.logon();
    EXPECT_EQ(fields_of(seen.rsp), "0 16909060 -7 2130706433 100 500000 200 250000");
    EXPECT_TRUE(seen.logged_on);
    ASSERT_TRUE(s.srv.wait_for_message(conn, 70, 1, wait_limit()));
    const std::string want_logon = "4600"                                          // 0: type 70
                                   "a800"                                          // 2: length 168
                                   "00000000"                                      // 4: zero
                                   "0f000000"                                      // 8: protocol version 15
                                   + text_hex("trader01", 33)                      // 12: user id
                                   + text_hex("8FE4C11451281C094A6578E6DDBF5EED", 33)  // 45: MD5 of "pw"
                                   + "0000"                                        // 78: zero
                                   + text_hex("AUTH123", 18)                       // 80: authorisation code
                                   + text_hex("app-x", 30)                         // 98: application id
                                   + le_hex(local_port, 2)                         // 128: local UDP port
                                   + text_hex("TERM-0123456789-ABCDEFGHIJKLMNOPQ", 33)  // 130: the answer's text
                                   + zeros_hex(5);                                 // 163: zero
    EXPECT_EQ(hex(s.srv.last_message(conn, 70)), want_logon);

    ASSERT_TRUE(s.srv.wait_for_message(conn, 90, 1, wait_limit()));
    EXPECT_EQ(hex(s.srv.last_message(conn, 90)), "5a00"          // 0: type 90
                                                 "1800"          // 2: length 24
                                                 "00000000"      // 4: zero
                                                 "04030201"      // 8: user id 0x01020304
                                                 "07000000"      // 12: interval 7
                                                 "01"            // 16: 1
                                                 "00000000000000");  // 17: zero
    EXPECT_TRUE(hux_test::wait_until([&] { return s.client.GetState() == 4; }, wait_limit()));
    EXPECT_TRUE(s.client.IsLogon());
    EXPECT_EQ(s.client.GetUserID(), 0x01020304u);
    EXPECT_TRUE(hux_test::wait_until([&] { return s.client.IsHeartBeatRunning(); }, wait_limit()));
    EXPECT_EQ(s.client.GetServerTimeout(), 30);

    // Limits as received, windows plus 1000 microseconds.
    EXPECT_EQ(s.client.GetOrderFlowControl().limit, 100);
    EXPECT_EQ(s.client.GetOrderFlowControl().window_us, 501000);
    EXPECT_EQ(s.client.GetCancelFlowControl().limit, 200);
    EXPECT_EQ(s.client.GetCancelFlowControl().window_us, 251000);

    HUX_LogonResponse kept;
    kept.result = 77;
    kept.user_id = 88;
    s.client.GetLogonRespInfo(kept);
    EXPECT_EQ(fields_of(kept), "77 88 -7 2130706433 100 500000 200 250000");
    EXPECT_TRUE(s.client.SetMaxToken(0x7f000009u));
    s.client.GetLogonRespInfo(kept);
    EXPECT_EQ(kept.max_token, 0x7f000009);
    EXPECT_EQ(occurrences(important_log(), " driver type common api\n"), 1u);

    s.client.DisConnServer();
    EXPECT_FALSE(s.client.IsHeartBeatRunning());
    EXPECT_EQ(occurrences(text_log(), " info _th_trade_clt_heart_beat start\n"), 1u);
    EXPECT_EQ(occurrences(text_log(), " info _th_trade_clt_heart_beat stop\n"), 1u);
}

// A record the session refuses (a negative heart-beat interval) changes
// nothing, the live connection included: the logon that follows on it sends
// the heart-beat setting of the record it was opened with.
TEST(AdapterTradeLogon, RefusedRecordKeepsTheHeartBeatSetting) {
    scratch_cwd cwd;
    {
        session s;
        const size_t conn = s.connect(s.record(7));
        EXPECT_FALSE(s.client.ConnServer(s.record(-3)));
        EXPECT_TRUE(s.client.IsConnect());
        ASSERT_EQ(s.logon().rsp.result, 0);
        ASSERT_TRUE(s.srv.wait_for_message(conn, 90, 1, wait_limit()));
        EXPECT_EQ(hex(s.srv.last_message(conn, 90)).substr(24, 8), "07000000");  // interval at 12
    }
    {
        session s;
        const size_t conn = s.connect(s.record(0));
        EXPECT_FALSE(s.client.ConnServer(s.record(-3)));
        ASSERT_EQ(s.logon().rsp.result, 0);
        std::string query = market_session_query();
        ASSERT_EQ(s.client.SendMsgToHux("query_market_session", &query[0], 16, 2), 16);
        ASSERT_TRUE(s.srv.wait_for_message(conn, 84, 1, wait_limit()));
        EXPECT_EQ(s.srv.count(conn, 90), 0u);
    }
}

// A refused version check is reported through the logon event (verdicts 1,
// 2, 3 and any other give 14, 1, 3, 14; every other field 0, whatever an
// earlier logon kept) and sends no logon request: the next accepted check
// sends the second one.
TEST(AdapterTradeLogon, RefusedVersionChecks) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.logon_value = 5;
    cfg.max_token = 6;
    cfg.order_fc_count = 7;
    session s(cfg);
    const size_t conn = s.connect(s.record());
    ASSERT_EQ(s.logon().rsp.result, 0);
    const struct {
        uint8_t verdict;
        int32_t result;
    } cases[] = {{1, 14}, {2, 1}, {3, 3}, {7, 14}};
    for (const auto& c : cases) {
        SCOPED_TRACE("verdict " + std::to_string(c.verdict));
        cfg.version_verdict = c.verdict;
        ASSERT_TRUE(s.srv.set_config(cfg));
        const logon_seen seen = s.logon();
        EXPECT_EQ(fields_of(seen.rsp), std::to_string(c.result) + " 0 0 0 0 0 0 0");
        EXPECT_FALSE(seen.logged_on);
        EXPECT_FALSE(s.client.IsLogon());
    }
    cfg.version_verdict = 0;
    ASSERT_TRUE(s.srv.set_config(cfg));
    EXPECT_EQ(s.logon().rsp.result, 0);
    EXPECT_EQ(s.srv.count(conn, 80), 6u);
    EXPECT_EQ(s.srv.count(conn, 70), 2u);
}

// The logon answer's outcomes: the server's own result; a result 0 on a
// connection that sent no logon request (99, the answer's other fields as
// they came); flow control from the four values, or the defaults when any of
// them is 0.
TEST(AdapterTradeLogon, AnswerOutcomesAndFlowControl) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.user_id = 4242;
    cfg.logon_value = 11;
    cfg.max_token = 12;
    cfg.order_fc_count = 13;
    cfg.order_fc_window_us = 14;
    cfg.cancel_fc_count = 15;
    cfg.cancel_fc_window_us = 16;
    session s(cfg);
    const size_t conn = s.connect(s.record());
    ASSERT_TRUE(s.srv.send_raw(conn, sim_trade_server::logon_answer(cfg, 0)));
    ASSERT_TRUE(s.events.wait_logons(1));
    EXPECT_EQ(fields_of(s.events.logons()[0].rsp), "99 4242 11 12 13 14 15 16");
    EXPECT_FALSE(s.events.logons()[0].logged_on);
    EXPECT_FALSE(s.client.IsLogon());
    EXPECT_NE(s.client.GetState(), 4);

    cfg.logon_result = 5;
    ASSERT_TRUE(s.srv.set_config(cfg));
    logon_seen seen = s.logon();
    EXPECT_EQ(fields_of(seen.rsp), "5 4242 11 12 13 14 15 16");
    EXPECT_FALSE(seen.logged_on);
    EXPECT_NE(s.client.GetState(), 4);

    const struct {
        uint32_t values[4];
        int64_t order_limit, order_window, cancel_limit, cancel_window;
    } flows[] = {
        {{0, 0, 0, 0}, 295, 1001000, 295, 1001000},
        {{100, 500000, 0, 250000}, 295, 1001000, 295, 1001000},
        {{100, 500000, 200, 0}, 295, 1001000, 295, 1001000},
        {{100, 500000, 200, 250000}, 100, 501000, 200, 251000},
        {{0xffffffffu, 1, 1, 0x7fffffffu}, 0xffffffffLL, 1001, 1, 0x7fffffffLL + 1000},
    };
    cfg.logon_result = 0;
    for (const auto& f : flows) {
        SCOPED_TRACE(std::to_string(f.values[0]) + "/" + std::to_string(f.values[1]) + " " +
                     std::to_string(f.values[2]) + "/" + std::to_string(f.values[3]));
        cfg.order_fc_count = f.values[0];
        cfg.order_fc_window_us = f.values[1];
        cfg.cancel_fc_count = f.values[2];
        cfg.cancel_fc_window_us = f.values[3];
        ASSERT_TRUE(s.srv.set_config(cfg));
        seen = s.logon();
        EXPECT_EQ(seen.rsp.result, 0);
        // The event carries the values as received.
        EXPECT_EQ(seen.rsp.order_fc_count, f.values[0]);
        EXPECT_EQ(seen.rsp.cancel_fc_window_us, f.values[3]);
        EXPECT_EQ(s.client.GetOrderFlowControl().limit, f.order_limit);
        EXPECT_EQ(s.client.GetOrderFlowControl().server_limit, f.order_limit);
        EXPECT_EQ(s.client.GetOrderFlowControl().window_us, f.order_window);
        EXPECT_EQ(s.client.GetCancelFlowControl().limit, f.cancel_limit);
        EXPECT_EQ(s.client.GetCancelFlowControl().window_us, f.cancel_window);
    }
}

// Interval 0: no heart-beat setting goes out (a query sent after the logon
// arrives with none before it) and the receive thread is bound at the logon.
TEST(AdapterTradeLogon, NoHeartBeatSettingWithIntervalZero) {
    scratch_cwd cwd;
    session s;
    const size_t conn = s.connect(s.record(0));
    ASSERT_EQ(s.logon().rsp.result, 0);
    std::string query = market_session_query();
    ASSERT_EQ(s.client.SendMsgToHux("query_market_session", &query[0], 16, 2), 16);
    ASSERT_TRUE(s.srv.wait_for_message(conn, 84, 1, wait_limit()));
    EXPECT_EQ(s.srv.count(conn, 90), 0u);
    EXPECT_FALSE(s.client.IsHeartBeatRunning());
    // The receive thread writes the line after it has reported the logon.
    const char* line = " rsp cpu trade:[user_logon], binding CPU:[-1]\n";
    EXPECT_TRUE(hux_test::wait_until([&] { return occurrences(important_log(), line) >= 1u; }, wait_limit()));
    EXPECT_EQ(occurrences(important_log(), line), 1u);
}

// The two sends of the logon chain fail on a connection that can no longer
// write (its sending half shut down while it still reads): the logon
// request gives one event with 6 and every other field 0; the heart-beat
// setting gives one event with 15 carrying the answer, not logged on.
TEST(AdapterTradeLogon, SendFailuresInTheChain) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.silent = true;  // the test answers by hand
    cfg.user_id = 31;
    cfg.logon_value = 32;
    cfg.max_token = 33;
    {
        SCOPED_TRACE("logon request");
        session s(cfg);
        const size_t conn = s.connect(s.record(3));
        s.send_version();
        ASSERT_TRUE(s.srv.wait_for_message(conn, 80, 1, wait_limit()));
        ASSERT_EQ(shutdown(s.client.tcp_socket(), SHUT_WR), 0);
        ASSERT_TRUE(s.send_and_reach(conn, sim_trade_server::version_answer(cfg), 901));
        ASSERT_EQ(s.events.logons().size(), 1u);
        EXPECT_EQ(fields_of(s.events.logons()[0].rsp), "6 0 0 0 0 0 0 0");
        EXPECT_FALSE(s.client.IsLogon());
    }
    {
        SCOPED_TRACE("heart-beat setting");
        session s(cfg);
        const size_t conn = s.connect(s.record(3));
        s.send_version();
        ASSERT_TRUE(s.srv.wait_for_message(conn, 80, 1, wait_limit()));
        ASSERT_TRUE(s.srv.send_raw(conn, sim_trade_server::version_answer(cfg)));
        ASSERT_TRUE(s.srv.wait_for_message(conn, 70, 1, wait_limit()));
        ASSERT_EQ(shutdown(s.client.tcp_socket(), SHUT_WR), 0);
        ASSERT_TRUE(s.send_and_reach(conn, sim_trade_server::logon_answer(cfg, 0), 902));
        ASSERT_EQ(s.events.logons().size(), 1u);
        EXPECT_EQ(fields_of(s.events.logons()[0].rsp), "15 31 32 33 0 0 0 0");
        EXPECT_FALSE(s.events.logons()[0].logged_on);
        EXPECT_FALSE(s.client.IsLogon());
        EXPECT_NE(s.client.GetState(), 4);
        EXPECT_FALSE(s.client.IsHeartBeatRunning());
    }
}

// DisConnServer on the epoll client reports one 3, "local disconnected"
// (logged off, state 2), and nothing when there is nothing to close; a
// DisConnServer inside that event returns, and one inside "conn ok" closes
// the client under its own thread safely. The asynchronous client's close
// reports its own 3 once. A server that closes gives 2, "remote
// disconnected" (state 3).
TEST(AdapterTradeSession, ConnectionCodes) {
    scratch_cwd cwd;
    {
        session s;
        s.connect(s.record());
        ASSERT_EQ(s.logon().rsp.result, 0);
        s.client.DisConnServer();
        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 3}));
        EXPECT_EQ(s.events.texts().back(), "local disconnected");
        EXPECT_FALSE(s.client.IsLogon());
        EXPECT_FALSE(s.client.IsConnect());
        EXPECT_EQ(s.client.GetState(), 2);
        s.client.DisConnServer();
        EXPECT_EQ(s.events.codes().size(), 2u);

        s.connect(s.record());
        s.events.inside_next(3, [&] { s.client.DisConnServer(); });
        returns_in_time("DisConnServer", [&] { s.client.DisConnServer(); });
        EXPECT_EQ(s.events.count(3), 2u);

        // From inside "conn ok", on the client's own thread: the client is
        // closed there and freed later from another thread.
        s.events.inside_next(0, [&] { s.client.DisConnServer(); });
        ASSERT_TRUE(s.client.ConnServer(s.record()));
        ASSERT_TRUE(s.events.wait_code(3, 3));
        EXPECT_TRUE(hux_test::wait_until([&] { return !s.client.IsConnect(); }, wait_limit()));
        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 3, 0, 3, 0, 3}));
        s.connect(s.record());
        ASSERT_EQ(s.logon().rsp.result, 0);
    }
    {
        session s;
        s.client.SetAsyncReceiveMode();
        s.connect(s.record());
        ASSERT_EQ(s.logon().rsp.result, 0);
        s.client.DisConnServer();
        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 3}));
        EXPECT_FALSE(s.client.IsLogon());
        EXPECT_EQ(s.client.GetState(), 2);
    }
    {
        session s;
        const size_t conn = s.connect(s.record());
        ASSERT_EQ(s.logon().rsp.result, 0);
        s.srv.close(conn);
        ASSERT_TRUE(s.events.wait_code(2, 1));
        EXPECT_EQ(s.events.texts().back(), "remote disconnected");
        // The state changes once the event has been reported.
        EXPECT_TRUE(hux_test::wait_until([&] { return s.client.GetState() == 3; }, wait_limit()));
        EXPECT_FALSE(s.client.IsLogon());
        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 2}));
    }
}

// The epoll wait: a negative value changes nothing; the epoll client takes
// the value at its connect (a running one keeps its own), the asynchronous
// client at once. Seen as the wait argument of the receive thread's epoll
// call.
TEST(AdapterTradeSession, MaxWaitTime) {
    scratch_cwd cwd;
    {
        session s;
        s.client.SetMaxWaitTime(40);
        s.client.SetMaxWaitTime(-1);
        s.connect(s.record());
        long tid = 0;
        ASSERT_TRUE(hux_test::wait_until([&] { return (tid = thread_waiting_with(40)) != 0; }, wait_limit()));
        const long switches = voluntary_switches(tid);
        s.client.SetMaxWaitTime(4567);
        // Two more of its waits end and a new one starts: still with 40.
        ASSERT_TRUE(hux_test::wait_until([&] { return voluntary_switches(tid) >= switches + 2; }, wait_limit()));
        ASSERT_TRUE(hux_test::wait_until([&] { return epoll_wait_of(tid) >= 0; }, wait_limit()));
        EXPECT_EQ(epoll_wait_of(tid), 40);
        s.connect(s.record());
        EXPECT_TRUE(hux_test::wait_until([] { return thread_waits_with(4567); }, wait_limit()));
    }
    {
        session s;
        s.client.SetAsyncReceiveMode();
        s.client.SetMaxWaitTime(777);
        s.client.SetMaxWaitTime(-1);
        s.connect(s.record());
        EXPECT_TRUE(hux_test::wait_until([] { return thread_waits_with(777); }, wait_limit()));
        s.client.SetMaxWaitTime(3456);
        EXPECT_TRUE(hux_test::wait_until([] { return thread_waits_with(3456); }, wait_limit()));
    }
}

std::mutex g_accept_lock;
std::vector<std::pair<void*, uint32_t>> g_accepts;  // handle, client token
void record_accept(void* handle, HUX_OrderAcceptField* rec) {
    std::lock_guard<std::mutex> lock(g_accept_lock);
    g_accepts.emplace_back(handle, rec->client_token);
}
size_t accepts() {
    std::lock_guard<std::mutex> lock(g_accept_lock);
    return g_accepts.size();
}

// New orders: without a UDP channel over TCP (a warm-up sends nothing);
// with one over the kernel's UDP, the datagram the very bytes sent, from the
// local port, and its accept reaches the callback with the owner.
TEST(AdapterTradeSession, NewOrdersOverTcpAndKernelUdp) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.order_answer = hux_sim::order_mode::accept;
    {
        session s(cfg);
        const size_t conn = s.connect(s.record());
        ASSERT_EQ(s.logon().rsp.result, 0);
        std::string order = new_order(5);
        EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, true), 0);
        EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
        std::string query = market_session_query();
        ASSERT_EQ(s.client.SendMsgToHux("query_market_session", &query[0], 16, 2), 16);
        ASSERT_TRUE(s.srv.wait_for_message(conn, 84, 1, wait_limit()));
        EXPECT_EQ(s.srv.count(conn, 10), 1u);
        EXPECT_EQ(hex(s.srv.last_message(conn, 10)), hex(new_order(5)));
    }
    {
        session s(cfg);
        s.client.Events().OrderAccept = record_accept;
        ASSERT_TRUE(s.srv.open_udp(0));
        const uint16_t local_port = hux_test::free_loopback_port(SOCK_DGRAM);
        HUX_TradeSvrInfo info = s.record();
        std::strcpy(info.local_ip, "127.0.0.1");
        info.local_udp_port = local_port;
        info.udp_port = s.srv.udp_port();
        s.connect(info);
        ASSERT_EQ(s.logon().rsp.result, 0);
        EXPECT_EQ(s.client.GetDriverType(), 2);
        const size_t before = accepts();
        std::string order = new_order(6);
        EXPECT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
        ASSERT_TRUE(s.srv.wait_for_datagrams(1, wait_limit()));
        const hux_sim::sim_datagram got = s.srv.datagram_log()[0];
        EXPECT_EQ(hex(got.bytes), hex(new_order(6)));
        EXPECT_EQ(got.source_port, local_port);
        ASSERT_TRUE(hux_test::wait_until([&] { return accepts() > before; }, wait_limit()));
        std::lock_guard<std::mutex> lock(g_accept_lock);
        EXPECT_EQ(g_accepts.back().first, &s.owner);
        EXPECT_EQ(g_accepts.back().second, 6u);
    }
}

std::mutex g_timeout_lock;
std::vector<std::pair<void*, int>> g_timeouts;  // handle, seconds
void record_timeout(void* handle, int seconds) {
    std::lock_guard<std::mutex> lock(g_timeout_lock);
    g_timeouts.emplace_back(handle, seconds);
}

// A server that falls silent past its time-out: the heart-beat callback
// gets the owner and the seconds of silence.
TEST(AdapterTradeSession, HeartBeatTimeoutGoesToTheOwner) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.heart_beat_timeout = 1;
    session s(cfg);
    s.client.SetHeartBeatEvent(record_timeout);
    s.connect(s.record(1));
    ASSERT_EQ(s.logon().rsp.result, 0);
    ASSERT_TRUE(hux_test::wait_until([&] { return s.client.IsHeartBeatRunning(); }, wait_limit()));
    s.srv.set_silent(true);
    ASSERT_TRUE(hux_test::wait_until(
        [] {
            std::lock_guard<std::mutex> lock(g_timeout_lock);
            return !g_timeouts.empty();
        },
        wait_limit()));
    std::lock_guard<std::mutex> lock(g_timeout_lock);
    EXPECT_EQ(g_timeouts[0].first, &s.owner);
    EXPECT_GE(g_timeouts[0].second, 2);
}

// The heart-beat callback may disconnect while the receive thread is held
// inside another callback: the disconnect does not wait for that thread
// (which may itself be waiting for the heart-beat thread, as the query
// session's thread can be when both connections drop), and still reports
// "local disconnected".
std::atomic<bool> g_hold_accept(false);
std::atomic<bool> g_in_accept(false);
std::atomic<bool> g_timeout_closed(false);
std::atomic<bool> g_closed_while_held(false);
std::atomic<bool> g_close_returned(false);
probe_client* g_timeout_client = nullptr;
void hold_accept(void*, HUX_OrderAcceptField*) {
    g_in_accept = true;
    // Held far longer than the test waits for the disconnect.
    hux_test::wait_until([] { return !g_hold_accept.load(); }, 6 * wait_limit());
    g_in_accept = false;
}
void disconnect_on_timeout(void*, int) {
    if (g_timeout_closed.exchange(true)) return;
    g_timeout_client->DisConnServer();
    g_closed_while_held = g_in_accept.load();
    g_close_returned = true;
}

TEST(AdapterTradeSession, DisconnectFromTheHeartBeatCallbackDoesNotWaitForTheReceiveThread) {
    scratch_cwd cwd;
    sim_config cfg = server_config();
    cfg.heart_beat_timeout = 1;
    cfg.order_answer = hux_sim::order_mode::accept;
    session s(cfg);
    HUX_ADAPTER::TradeClientTimings t = s.client.GetTimings();
    t.tcp_stop_wait_ms = static_cast<unsigned>(6 * wait_limit().count());  // a close that waits would wait this long
    s.client.SetTimings(t);
    g_timeout_client = &s.client;
    g_hold_accept = true;
    s.client.Events().OrderAccept = hold_accept;
    s.client.SetHeartBeatEvent(disconnect_on_timeout);
    s.connect(s.record(1));
    ASSERT_EQ(s.logon().rsp.result, 0);
    std::string order = new_order(7);
    ASSERT_EQ(s.client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
    // The held receive thread reads nothing more, so the watchdog fires.
    EXPECT_TRUE(hux_test::wait_until([] { return g_close_returned.load(); }, wait_limit()));
    g_hold_accept = false;
    ASSERT_TRUE(hux_test::wait_until([] { return !g_in_accept.load(); }, wait_limit()));
    ASSERT_TRUE(hux_test::wait_until([] { return g_close_returned.load(); }, wait_limit()));
    EXPECT_TRUE(g_closed_while_held.load()) << "the disconnect waited for the held receive thread";
    EXPECT_TRUE(s.events.wait_code(3, 1));
    EXPECT_FALSE(s.client.IsConnect());
}

}  // namespace

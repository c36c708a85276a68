// End-to-end tests of the trade session against the simulated trade server,
// over real loopback sockets: answers cut and coalesced on the wire, client
// flow control through the send routine, heart-beat and its watchdog, and
// auto-reconnect with the application logging on again.
//
// Every wait is on a condition with a deadline; the session's own waits are
// shortened through its timing setter where they would slow the tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/precise_time.h"

using namespace std::chrono_literals;
using HUX_TRADE::CTradeClient;
using steady = std::chrono::steady_clock;

namespace {

const char* const kUser = "trader01";
const char* const kPassword = "s3cret-pw";
const char* const kAppId = "e2e-app";
const char* const kAuth = "AUTH-0001";
const uint32_t kUserId = 4242;

// ---------------------------------------------------------------- wire helpers

void put_u32(std::string& m, size_t off, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) m[off + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

uint16_t get_u16(const std::string& m, size_t off) {
    return static_cast<uint16_t>(static_cast<uint8_t>(m[off]) | (static_cast<uint8_t>(m[off + 1]) << 8));
}

uint32_t get_u32(const std::string& m, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(m[off + i])) << (8 * i);
    return v;
}

// One account of the account index (1061, 40 bytes) carrying an entry.
std::string account_entry(const std::string& name, uint8_t index) {
    std::string m = hux_sim::make_message(1061, 40);  // type 1061, length 40
    // end mark at 8 stays 0: the message carries an entry
    m.replace(13, name.size(), name);  // account name at 13, NUL after it
    m[29] = static_cast<char>(index);  // account index at 29
    return m;
}

// A refused heart-beat setting answer (1090, 24 bytes) with `timeout` at 16.
// The session keeps the time-out of every such answer and starts nothing for
// a refused one, so GetServerTimeout() shows when the session has got this
// far in the stream: a marker that works before and after the logon.
std::string marker(int32_t timeout) {
    std::string m = hux_sim::make_message(1090, 24);  // type 1090, length 24
    put_u32(m, 12, 1);                                // result at 12: 1, refused
    put_u32(m, 16, static_cast<uint32_t>(timeout));   // server time-out at 16
    return m;
}

std::string to_hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 0xf];
    }
    return out;
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// ---------------------------------------------------------------- callbacks

// What the session reported through its callbacks, in order. Callbacks run
// on the session's threads; the test thread waits on the condition variable.
struct session_events {
    struct timeout_event {
        int seconds;
        steady::time_point at;
    };

    // When set, the connection callback logs on at "conn ok" and keeps the result.
    std::atomic<bool> logon_in_callback{false};

    mutable std::mutex m;
    std::condition_variable cv;
    std::vector<int> callback_logon_results;
    std::vector<int> conn_codes;
    std::vector<std::string> conn_texts;
    std::vector<HUX_LogonResponse> logons;
    std::vector<int> logon_socks;
    std::vector<timeout_event> timeouts;

    template <class PRED>
    bool wait(PRED pred, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, timeout, pred);
    }
    // For wait predicates, which run under the lock.
    size_t count_code_locked(int code) const {
        size_t n = 0;
        for (int c : conn_codes) n += c == code ? 1 : 0;
        return n;
    }
    size_t logon_count() const {
        std::lock_guard<std::mutex> lock(m);
        return logons.size();
    }
    HUX_LogonResponse logon(size_t i) const {
        std::lock_guard<std::mutex> lock(m);
        return logons.at(i);
    }
    int logon_sock(size_t i) const {
        std::lock_guard<std::mutex> lock(m);
        return logon_socks.at(i);
    }
    std::vector<int> codes() const {
        std::lock_guard<std::mutex> lock(m);
        return conn_codes;
    }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(m);
        return conn_texts;
    }
    std::vector<timeout_event> timeout_list() const {
        std::lock_guard<std::mutex> lock(m);
        return timeouts;
    }
};

session_events* events_of(void* handle) {
    return static_cast<session_events*>(static_cast<CTradeClient*>(handle)->GetUserParam());
}

void on_connection(void* handle, int code, const char* text) {
    session_events* ev = events_of(handle);
    if (code == 0 && ev->logon_in_callback) {
        const int rc = static_cast<CTradeClient*>(handle)->UserLogon(kUser, kPassword, kAppId, kAuth);
        std::lock_guard<std::mutex> lock(ev->m);
        ev->callback_logon_results.push_back(rc);
    }
    {
        std::lock_guard<std::mutex> lock(ev->m);
        ev->conn_codes.push_back(code);
        ev->conn_texts.push_back(text != nullptr ? text : "");
    }
    ev->cv.notify_all();
}

void on_logon(void* handle, HUX_LogonResponse* rsp, int sock) {
    session_events* ev = events_of(handle);
    {
        std::lock_guard<std::mutex> lock(ev->m);
        ev->logons.push_back(*rsp);
        ev->logon_socks.push_back(sock);
    }
    ev->cv.notify_all();
}

void on_heart_beat_timeout(void* handle, int seconds) {
    session_events* ev = events_of(handle);
    {
        std::lock_guard<std::mutex> lock(ev->m);
        ev->timeouts.push_back({seconds, steady::now()});
    }
    ev->cv.notify_all();
}

void attach(CTradeClient& cli) {
    cli.SetConnectionEvent(on_connection);
    cli.SetUserLogonEvent(on_logon);
    cli.SetHeartBeatTimeoutEvent(on_heart_beat_timeout);
}

// ---------------------------------------------------------------- set-up

hux_sim::sim_config base_config() {
    hux_sim::sim_config cfg;
    cfg.password = kPassword;
    cfg.server_value = 11;
    cfg.user_id = kUserId;
    cfg.logon_value = 77;
    cfg.max_token = 900;
    cfg.symbols = {{"IF2406", 3}, {"IO2406-C-3500", 17}, {"MO2406-P-6000", 40}};
    cfg.accounts = {{"ACC001", 1}, {"ACC002", 2}};
    cfg.heart_beat_timeout = 30;
    return cfg;
}

HUX_TradeSvrInfo make_info(uint16_t port, int32_t heartbeat_interval) {
    HUX_TradeSvrInfo info;
    std::memset(&info, 0, sizeof(info));
    std::strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = port;
    info.exit_on_signal = 0;
    info.heartbeat_interval = heartbeat_interval;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 100;
    return info;
}

// Connects, waits for "conn ok", logs on and waits for the logon callback and
// state 4.
void connect_and_logon(CTradeClient& cli, session_events& ev, const HUX_TradeSvrInfo& info) {
    ASSERT_TRUE(cli.ConnServer(&info, false));
    ASSERT_TRUE(ev.wait([&] { return !ev.conn_codes.empty(); }, 5s));
    ASSERT_EQ(ev.codes(), std::vector<int>({0}));
    ASSERT_EQ(cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(ev.wait([&] { return !ev.logons.empty(); }, 10s));
    ASSERT_EQ(ev.logon(0).result, 0);
    ASSERT_TRUE(hux_test::wait_until([&] { return cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, 5000ms));
}

// Sends `bytes` (ending with marker(value)) and waits until the session has
// read up to that marker.
void send_and_reach(hux_sim::sim_trade_server& srv, size_t conn, CTradeClient& cli, const std::string& bytes,
                    int32_t value) {
    ASSERT_TRUE(srv.send_raw(conn, bytes));
    ASSERT_TRUE(hux_test::wait_until([&] { return cli.GetServerTimeout() == value; }, 5000ms))
        << "marker " << value << " not reached";
}

// Lines of a text file that contain `needle`.
size_t count_lines(const std::string& path, const char* needle) {
    std::ifstream in(path);
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.find(needle) != std::string::npos ? 1 : 0;
    return n;
}

// A directory of its own for a session's logs, removed at the end of the test.
class log_dir_guard {
public:
    explicit log_dir_guard(const std::string& tag)
        : m_dir("/tmp/hux_e2e_" + tag + "_" + std::to_string(::getpid())) {}
    ~log_dir_guard() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& dir() const { return m_dir; }
    // The text log's path; the start date is known once a session exists.
    std::string text_log() const { return m_dir + "/tavlog_" + precise_time::get_start_date() + ".log"; }

private:
    std::string m_dir;
};

bool has_account(CTradeClient& cli, const char* name, int want) {
    int index = -1;
    return cli.FindAccountIndex(name, index) && index == want;
}

// A message of `type` and `len` bytes with a recognisable body.
std::vector<char> request(uint16_t type, size_t len) {
    std::string m = hux_sim::make_message(type, len);
    for (size_t i = 4; i < len; ++i) m[i] = static_cast<char>(i & 0x7f);
    return std::vector<char>(m.begin(), m.end());
}

// Sends `n` copies of `msg` on the order channel; counts passes and refusals.
void burst(CTradeClient& cli, std::vector<char>& msg, int n, int& passed, int& refused) {
    passed = 0;
    refused = 0;
    const int len = static_cast<int>(msg.size());
    for (int i = 0; i < n; ++i) {
        int r = cli.SendMsgToHux("burst", msg.data(), len, 1);
        if (r == len) {
            ++passed;
        } else if (r == -2) {
            ++refused;
        } else {
            ADD_FAILURE() << "send " << i << " returned " << r;
            return;
        }
    }
}

// Waits until the current flow-control window (as `get` reads it) has passed.
template <class GET>
bool wait_window_passed(GET get, std::chrono::milliseconds timeout) {
    return hux_test::wait_until(
        [&] {
            HUX_TRADE_CORE::flow_control_window w = get();
            return precise_time::get_current_microseconds() - w.start_us >= w.window_us;
        },
        timeout);
}

}  // namespace

// ================================================================ framing

// The logon sequence completes with the right values whether the server's
// answers arrive one byte per write, or coalesced and cut across message
// boundaries.
TEST(TradeSessionE2E, LogonCompletesWithAnswersCutAndCoalesced) {
    struct variant {
        const char* name;
        size_t random_split_max;
        bool coalesce;
        std::vector<size_t> pieces;
    };
    const variant variants[] = {
        {"one byte per write", 1, false, {}},
        {"coalesced, cut inside messages", 0, true, {3, 61, 100, 7}},
    };
    for (const variant& v : variants) {
        SCOPED_TRACE(v.name);
        hux_sim::sim_trade_server srv;
        ASSERT_TRUE(srv.listening());
        hux_sim::sim_config cfg = base_config();
        cfg.random_split_max = v.random_split_max;
        cfg.coalesce = v.coalesce;
        cfg.split_pieces = v.pieces;
        cfg.order_fc_count = 120;
        cfg.order_fc_window_us = 400000;
        cfg.cancel_fc_count = 80;
        cfg.cancel_fc_window_us = 300000;
        ASSERT_TRUE(srv.set_config(cfg));

        session_events ev;
        CTradeClient cli(&ev);
        attach(cli);
        HUX_TradeSvrInfo info = make_info(srv.port(), 1);
        info.symbol_idx_page_size = 2;  // three symbols: a full page, then a short one
        ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, info));

        ASSERT_EQ(ev.logon_count(), 1u);
        HUX_LogonResponse rsp = ev.logon(0);
        EXPECT_EQ(rsp.server_value, 11);
        EXPECT_EQ(rsp.result, 0);
        EXPECT_EQ(rsp.user_id, kUserId);
        EXPECT_EQ(rsp.logon_value, 77);
        EXPECT_EQ(rsp.max_token, 900);
        EXPECT_EQ(rsp.order_fc_count, 120u);
        EXPECT_EQ(rsp.order_fc_window_us, 400000u);
        EXPECT_EQ(rsp.cancel_fc_count, 80u);
        EXPECT_EQ(rsp.cancel_fc_window_us, 300000u);
        EXPECT_EQ(ev.logon_sock(0), -1);  // no descriptor outside mixed-protocol mode
        EXPECT_EQ(cli.GetUserID(), kUserId);
        EXPECT_EQ(cli.GetLogonValue(), 77);
        EXPECT_EQ(cli.GetMaxToken(), 900u);
        EXPECT_TRUE(cli.IsLogon());
        EXPECT_EQ(cli.GetOrderFlowControl().limit, 120);
        EXPECT_EQ(cli.GetOrderFlowControl().window_us, 401000);
        EXPECT_EQ(cli.GetCancelFlowControl().limit, 80);
        EXPECT_EQ(cli.GetCancelFlowControl().window_us, 301000);

        // The heart-beat setting answer, cut like the rest, granted 30 s.
        ASSERT_TRUE(hux_test::wait_until([&] { return cli.GetServerTimeout() == 30; }, 5000ms));
        ASSERT_TRUE(hux_test::wait_until([&] { return cli.IsHeartBeatRunning(); }, 5000ms));

        // Everything the server sent before the marker has been read: the
        // index tables are complete.
        ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, marker(1000), 1000));
        EXPECT_EQ(cli.SymbolCount(), 3u);
        EXPECT_EQ(cli.AccountCount(), 2u);
        int index = -1;
        EXPECT_TRUE(cli.FindSymbolIndex("IF2406", index));
        EXPECT_EQ(index, 3);
        EXPECT_TRUE(cli.FindSymbolIndex("MO2406-P-6000", index));
        EXPECT_EQ(index, 40);
        EXPECT_TRUE(has_account(cli, "ACC002", 2));

        // Two symbol pages were asked for, with the numeric user id.
        std::vector<hux_sim::sim_message> pages = srv.messages(0, 62);
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(get_u16(pages[0].bytes, 4), 1);  // page number 1
        EXPECT_EQ(get_u16(pages[1].bytes, 4), 2);  // page number 2
        EXPECT_EQ(get_u16(pages[1].bytes, 6), 2);  // page size 2
        EXPECT_EQ(get_u32(pages[1].bytes, 8), kUserId);
        EXPECT_EQ(srv.count(0, 70), 1u);
        EXPECT_EQ(ev.codes(), std::vector<int>({0}));
    }
}

// After the logon: a half message waits for its rest; heart-beat answers cut
// one byte per write and several messages in one write are all handled; an
// unknown type with a plausible length field is stepped over, one with an
// absurd length field drops what is buffered and the session reads on.
TEST(TradeSessionE2E, ReceiveFramingAfterLogon) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    ASSERT_TRUE(srv.set_config(base_config()));
    session_events ev;
    CTradeClient cli(&ev);
    attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, make_info(srv.port(), 0)));
    ASSERT_EQ(cli.GetServerTimeout(), 0);  // no heart-beat setting asked

    // A message and a half in one write: the half waits...
    const std::string half = account_entry("HALF01", 21);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, marker(1001) + half.substr(0, 17), 1001));
    EXPECT_FALSE(has_account(cli, "HALF01", 21));
    // ...and is handled once the rest arrives.
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, half.substr(17) + marker(1002), 1002));
    EXPECT_TRUE(has_account(cli, "HALF01", 21));

    // Heart-beat answers (their length fields wrong: only the type counts)
    // and an entry, one byte per write.
    std::string hb = hux_sim::make_message(1200, 16, 9999);  // type 1200, length field 9999
    std::string bytes = repeat(hb, 3) + account_entry("CUT001", 22) + marker(1003);
    ASSERT_TRUE(srv.send_raw_random(0, bytes, 7, 1));
    ASSERT_TRUE(hux_test::wait_until([&] { return cli.GetServerTimeout() == 1003; }, 5000ms));
    EXPECT_TRUE(has_account(cli, "CUT001", 22));

    // Several messages coalesced in one write.
    bytes = hb + account_entry("COAL01", 23) + hb + account_entry("COAL02", 24) + account_entry("COAL03", 25);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes + marker(1004), 1004));
    EXPECT_TRUE(has_account(cli, "COAL01", 23));
    EXPECT_TRUE(has_account(cli, "COAL02", 24));
    EXPECT_TRUE(has_account(cli, "COAL03", 25));

    // An unknown type whose length field is plausible, between two entries.
    bytes = account_entry("UNK001", 26) + hux_sim::make_message(777, 24) + account_entry("UNK002", 27);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes + marker(1005), 1005));
    EXPECT_TRUE(has_account(cli, "UNK001", 26));
    EXPECT_TRUE(has_account(cli, "UNK002", 27));

    // An unknown type whose length field is absurd: the rest of that write
    // is dropped...
    bytes = marker(1006) + hux_sim::make_message(778, 24, 60000) + account_entry("LOST01", 28) + marker(1007);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes, 1006));
    // ...and the next write is read as usual.
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, account_entry("NEXT01", 29) + marker(1008), 1008));
    EXPECT_TRUE(has_account(cli, "NEXT01", 29));
    EXPECT_FALSE(has_account(cli, "LOST01", 28));

    // The same with a length field below the header's own size.
    bytes = marker(1009) + hux_sim::make_message(779, 24, 2) + account_entry("LOST02", 30);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes, 1009));
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, account_entry("NEXT02", 31) + marker(1010), 1010));
    EXPECT_TRUE(has_account(cli, "NEXT02", 31));
    EXPECT_FALSE(has_account(cli, "LOST02", 30));

    // None of it disturbed the session.
    EXPECT_TRUE(cli.IsConnect());
    EXPECT_TRUE(cli.IsLogon());
    EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_LOGGED_ON);
    EXPECT_EQ(ev.codes(), std::vector<int>({0}));
    EXPECT_EQ(ev.logon_count(), 1u);
}

// Order answers that arrive before the logon are consumed by their own length
// (whatever their length field says) without effect; what follows them in
// the same write is handled, and the logon still works afterwards.
TEST(TradeSessionE2E, OrderAnswersBeforeLogonAreSkipped) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    ASSERT_TRUE(srv.set_config(base_config()));
    session_events ev;
    log_dir_guard logs("before_logon");
    CTradeClient cli(&ev);
    attach(cli);
    // With the logger on, each message read leaves a "proc" line naming it.
    cli.SetLogDir(logs.dir().c_str());
    cli.SetLoggerSwitch(true);
    const std::string log_path = logs.text_log();
    HUX_TradeSvrInfo info = make_info(srv.port(), 0);
    ASSERT_TRUE(cli.ConnServer(&info, false));
    ASSERT_TRUE(ev.wait([&] { return !ev.conn_codes.empty(); }, 5s));
    ASSERT_TRUE(srv.wait_for_connection(0, 5000ms));

    // An order answer (1010, 120 bytes) with an absurd length field, then an
    // entry and a marker, all in one write.
    std::string order_answer = hux_sim::make_message(1010, 120, 0xffff);  // type 1010, length field 65535
    put_u32(order_answer, 100, 0);                                       // split field at 100: accept
    std::string bytes = order_answer + account_entry("PRE001", 41) + marker(1001);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes, 1001));
    EXPECT_TRUE(has_account(cli, "PRE001", 41));

    // An order answer cut in two writes: its first half waits, then it is
    // consumed whole and the entry behind it is read.
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, marker(1002) + order_answer.substr(0, 60), 1002));
    bytes = order_answer.substr(60) + account_entry("PRE002", 42) + marker(1003);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes, 1003));
    EXPECT_TRUE(has_account(cli, "PRE002", 42));

    // An execution report (1014, 136 bytes) and an order action answer (1011,
    // 64 bytes) likewise.
    bytes = hux_sim::make_message(1014, 136, 4) + hux_sim::make_message(1011, 64, 0) + account_entry("PRE003", 43);
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, bytes + marker(1004), 1004));
    EXPECT_TRUE(has_account(cli, "PRE003", 43));

    // Each was recognised by its type and left unhandled.
    EXPECT_EQ(count_lines(log_path, "proc invalid ostrel_client_order_insert_resp"), 2u);
    EXPECT_EQ(count_lines(log_path, "proc invalid order_execution_received"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc invalid ostrel_client_order_action_resp"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc ostrel_client_order_insert_resp"), 0u);
    EXPECT_EQ(count_lines(log_path, "receive unknown msg type"), 0u);
    EXPECT_EQ(count_lines(log_path, "proc query_account_idx_resp"), 3u);

    EXPECT_FALSE(cli.IsLogon());
    EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_NEW);
    EXPECT_EQ(ev.logon_count(), 0u);
    EXPECT_EQ(ev.codes(), std::vector<int>({0}));

    ASSERT_EQ(cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(ev.wait([&] { return !ev.logons.empty(); }, 10s));
    EXPECT_EQ(ev.logon(0).result, 0);
    EXPECT_TRUE(hux_test::wait_until([&] { return cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, 5000ms));

    // Once logged on, the same answer is handed on.
    ASSERT_NO_FATAL_FAILURE(send_and_reach(srv, 0, cli, order_answer + marker(1005), 1005));
    EXPECT_EQ(count_lines(log_path, "proc ostrel_client_order_insert_resp"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc invalid ostrel_client_order_insert_resp"), 2u);
}

// ================================================================ flow control

// The default limits: 294 orders pass per window and the server gets exactly
// those; cancels have their own window; other types are not counted; after
// the window the count starts again.
TEST(TradeSessionE2E, FlowControlWithDefaultLimits) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    ASSERT_TRUE(srv.set_config(base_config()));  // flow-control limits 0: the defaults
    session_events ev;
    CTradeClient cli(&ev);
    attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, make_info(srv.port(), 0)));
    ASSERT_EQ(cli.GetOrderFlowControl().limit, 295);
    ASSERT_EQ(cli.GetOrderFlowControl().window_us, 1001000);
    ASSERT_EQ(cli.GetCancelFlowControl().limit, 295);
    ASSERT_EQ(cli.GetCancelFlowControl().window_us, 1001000);

    std::vector<char> order = request(10, 100);
    std::vector<char> cancel = request(11, 44);
    std::vector<char> quote = request(12, 196);
    std::vector<char> quote_action = request(13, 44);

    int passed = 0;
    int refused = 0;
    const auto t0 = steady::now();
    burst(cli, order, 1000, passed, refused);
    EXPECT_EQ(passed, 294);
    EXPECT_EQ(refused, 706);
    EXPECT_EQ(cli.GetOrderFlowControl().count, 294);

    // The order window is full; the cancel window is not.
    burst(cli, cancel, 300, passed, refused);
    EXPECT_EQ(passed, 294);
    EXPECT_EQ(refused, 6);
    const auto burst_time = steady::now() - t0;
    ASSERT_LT(burst_time, 900ms) << "the bursts did not fit in one window";

    // Quotes and quote actions are not counted, although both windows are full.
    burst(cli, quote, 5, passed, refused);
    EXPECT_EQ(passed, 5);
    burst(cli, quote_action, 5, passed, refused);
    EXPECT_EQ(passed, 5);
    EXPECT_EQ(cli.GetOrderFlowControl().count, 294);
    EXPECT_EQ(cli.GetCancelFlowControl().count, 294);

    // The last quote action arrives after everything sent before it.
    ASSERT_TRUE(srv.wait_for_message(0, 13, 5, 5000ms));
    EXPECT_EQ(srv.count(0, 10), 294u);
    EXPECT_EQ(srv.count(0, 11), 294u);
    EXPECT_EQ(srv.count(0, 12), 5u);
    EXPECT_EQ(srv.unknown_count(0), 0u);

    // After the window the count starts again at the first order.
    ASSERT_TRUE(wait_window_passed([&] { return cli.GetOrderFlowControl(); }, 3000ms));
    ASSERT_EQ(cli.SendMsgToHux("order", order.data(), 100, 1), 100);
    EXPECT_EQ(cli.GetOrderFlowControl().count, 1);
    burst(cli, order, 299, passed, refused);
    EXPECT_EQ(passed, 293);
    EXPECT_EQ(refused, 6);
    burst(cli, quote_action, 1, passed, refused);
    ASSERT_TRUE(srv.wait_for_message(0, 13, 6, 5000ms));
    EXPECT_EQ(srv.count(0, 10), 588u);
    std::printf("[flow control] two bursts of 294 orders, first burst and cancels in %lld us\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(burst_time).count()));
}

// Limits from the logon answer (100 orders per 500,000 us, 50 cancels per
// 300,000 us) and the application's own limits within them.
TEST(TradeSessionE2E, FlowControlWithServerLimits) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    cfg.order_fc_count = 100;
    cfg.order_fc_window_us = 500000;
    cfg.cancel_fc_count = 50;
    cfg.cancel_fc_window_us = 300000;
    ASSERT_TRUE(srv.set_config(cfg));
    session_events ev;
    CTradeClient cli(&ev);
    attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, make_info(srv.port(), 0)));

    HUX_TRADE_CORE::flow_control_window orders = cli.GetOrderFlowControl();
    HUX_TRADE_CORE::flow_control_window cancels = cli.GetCancelFlowControl();
    EXPECT_EQ(orders.limit, 100);
    EXPECT_EQ(orders.server_limit, 100);
    EXPECT_EQ(orders.window_us, 501000);
    EXPECT_EQ(cancels.limit, 50);
    EXPECT_EQ(cancels.server_limit, 50);
    EXPECT_EQ(cancels.window_us, 301000);

    std::vector<char> order = request(10, 100);
    std::vector<char> cancel = request(11, 44);
    int passed = 0;
    int refused = 0;
    const auto t0 = steady::now();
    burst(cli, order, 150, passed, refused);
    EXPECT_EQ(passed, 99);
    EXPECT_EQ(refused, 51);
    burst(cli, cancel, 60, passed, refused);
    EXPECT_EQ(passed, 49);
    EXPECT_EQ(refused, 11);
    ASSERT_LT(steady::now() - t0, 250ms) << "the bursts did not fit in one window";

    // Refused changes leave limits and windows alone.
    EXPECT_FALSE(cli.ChangeFCParam(0, 10));
    EXPECT_FALSE(cli.ChangeFCParam(10, 0));
    EXPECT_FALSE(cli.ChangeFCParam(101, 10));
    EXPECT_FALSE(cli.ChangeFCParam(10, 51));
    EXPECT_EQ(cli.GetOrderFlowControl().limit, 100);
    EXPECT_EQ(cli.GetCancelFlowControl().limit, 50);
    // An accepted change replaces both limits; windows and server limits stay.
    EXPECT_TRUE(cli.ChangeFCParam(10, 5));
    EXPECT_TRUE(cli.ChangeFCParam(100, 50));  // the server's own limits are allowed
    EXPECT_TRUE(cli.ChangeFCParam(10, 5));
    orders = cli.GetOrderFlowControl();
    cancels = cli.GetCancelFlowControl();
    EXPECT_EQ(orders.limit, 10);
    EXPECT_EQ(orders.server_limit, 100);
    EXPECT_EQ(orders.window_us, 501000);
    EXPECT_EQ(cancels.limit, 5);
    EXPECT_EQ(cancels.server_limit, 50);
    EXPECT_EQ(cancels.window_us, 301000);

    // Next window, new limit: a 200-byte order message counts two orders,
    // so seven single orders follow it before the refusals.
    ASSERT_TRUE(wait_window_passed([&] { return cli.GetOrderFlowControl(); }, 3000ms));
    std::vector<char> two_orders = request(10, 100);
    two_orders.insert(two_orders.end(), order.begin(), order.end());
    ASSERT_EQ(cli.SendMsgToHux("orders", two_orders.data(), 200, 1), 200);
    EXPECT_EQ(cli.GetOrderFlowControl().count, 2);
    burst(cli, order, 20, passed, refused);
    EXPECT_EQ(passed, 7);
    EXPECT_EQ(refused, 13);
    ASSERT_TRUE(wait_window_passed([&] { return cli.GetCancelFlowControl(); }, 3000ms));
    burst(cli, cancel, 10, passed, refused);
    EXPECT_EQ(passed, 4);
    EXPECT_EQ(refused, 6);

    ASSERT_TRUE(srv.wait_for_message(0, 11, 53, 5000ms));
    EXPECT_EQ(srv.count(0, 10), 99u + 2u + 7u);
    EXPECT_EQ(srv.count(0, 11), 49u + 4u);
}

// ================================================================ heart-beat

// With interval 1 and a granted time-out, heart-beats go out about every
// second once logged on; a silent server makes the watchdog report the
// elapsed seconds, again and again, without closing the session.
TEST(TradeSessionE2E, HeartBeatAndSilentServer) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    cfg.heart_beat_timeout = 1;
    ASSERT_TRUE(srv.set_config(cfg));
    session_events ev;
    CTradeClient cli(&ev);
    attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, make_info(srv.port(), 1)));
    ASSERT_TRUE(hux_test::wait_until([&] { return cli.IsHeartBeatRunning(); }, 5000ms));
    EXPECT_EQ(cli.GetServerTimeout(), 1);

    // From now on the server records and answers nothing.
    srv.set_silent(true);
    const auto silent_at = steady::now();

    std::vector<steady::time_point> arrivals;
    for (size_t n = 1; n <= 3; ++n) {
        ASSERT_TRUE(srv.wait_for_message(0, 200, n, 3000ms)) << "heart-beat " << n;
        arrivals.push_back(steady::now());
    }
    EXPECT_GE(arrivals[2] - arrivals[0], 1500ms);
    EXPECT_LE(arrivals[2] - arrivals[0], 3500ms);

    // Heart-beats 0, 1 and 2 of user 4242 (0x1092).
    const char* const golden[] = {
        "c800" "1000" "00000000" "92100000" "00000000",
        "c800" "1000" "01000000" "92100000" "00000000",
        "c800" "1000" "02000000" "92100000" "00000000",
    };
    // type 200 | length 16 | counter at 4 from 0 | user id at 8 | zero at 12
    std::vector<hux_sim::sim_message> beats = srv.messages(0, 200);
    ASSERT_GE(beats.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(to_hex(beats[i].bytes), golden[i]) << "heart-beat " << i;
    // None before the logon: the first heart-beat follows the logon request
    // and the heart-beat setting.
    std::vector<hux_sim::sim_message> all = srv.messages(0);
    size_t first_beat = all.size();
    size_t logon_at = all.size();
    size_t setting_at = all.size();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].type == 200 && first_beat == all.size()) first_beat = i;
        if (all[i].type == 70 && logon_at == all.size()) logon_at = i;
        if (all[i].type == 90 && setting_at == all.size()) setting_at = i;
    }
    ASSERT_LT(logon_at, setting_at);
    EXPECT_LT(setting_at, first_beat);

    // The watchdog: more than 1 s without a byte, reported twice.
    ASSERT_TRUE(ev.wait([&] { return ev.timeouts.size() >= 2; }, 8s));
    std::vector<session_events::timeout_event> timeouts = ev.timeout_list();
    for (const auto& t : timeouts) {
        EXPECT_GE(t.seconds, 2);
        EXPECT_LE(t.seconds, 3);
    }
    EXPECT_GE(timeouts[1].at - timeouts[0].at, 1500ms);
    EXPECT_GE(timeouts[0].at - silent_at, 900ms);

    // The session is neither closed nor logged off; heart-beats go on.
    EXPECT_TRUE(cli.IsConnect());
    EXPECT_TRUE(cli.IsLogon());
    EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_LOGGED_ON);
    EXPECT_EQ(ev.codes(), std::vector<int>({0}));
    const size_t sent = srv.count(0, 200);
    EXPECT_TRUE(srv.wait_for_message(0, 200, sent + 1, 3000ms));
    std::printf("[heart-beat] %zu heart-beats, %zu time-outs (%d s, %d s) in %lld ms of silence\n",
                srv.count(0, 200), timeouts.size(), timeouts[0].seconds, timeouts[1].seconds,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - silent_at).count()));
}

// ================================================================ reconnect

namespace {

// Four drops (clean close and reset, alternating); after each the session
// reconnects by itself and the application logs on again when told "conn
// ok": from its own thread, or from inside the connection callback. Then the
// application's own disconnect keeps it down, and destruction leaves no
// thread behind.
void run_reconnects(bool async, bool logon_in_callback) {
    // Each logon first runs the terminal report (its shell commands take a
    // good part of a second on a loaded machine), so the drops are few.
    const int drops = 4;
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    ASSERT_TRUE(srv.set_config(cfg));
    // The session's text log goes to a directory of its own: the reconnect
    // series reports there when it has seen the new logon.
    log_dir_guard logs(async ? "reconnect_async" : logon_in_callback ? "reconnect_sync_cb" : "reconnect_sync");
    const size_t threads_before = hux_test::thread_count();
    const auto t0 = steady::now();
    {
        session_events ev;
        CTradeClient cli(&ev);
        attach(cli);
        cli.SetLogDir(logs.dir().c_str());
        ASSERT_TRUE(std::filesystem::is_directory(logs.dir()));
        const std::string log_path = logs.text_log();
        HUX_TRADE::TradeClientTimings t = cli.GetTimings();
        t.reconnect_wait_count = 2;
        t.reconnect_wait_ms = 10;
        t.logon_first_wait_ms = 1;
        // The series waits for a logon that includes the terminal report.
        t.logon_wait_count = 5000;
        t.logon_wait_ms = 2;
        t.reconnect_idle_ms = 2;
        t.close_pause_ms = 1;
        cli.SetTimings(t);
        cli.SetAutoReconnect(true);
        if (async) cli.SetAsyncReceiveMode();

        ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, make_info(srv.port(), 1)));
        ASSERT_TRUE(hux_test::wait_until([&] { return cli.IsReconnectRunning(); }, 5000ms));
        ev.logon_in_callback = logon_in_callback;

        for (int i = 0; i < drops; ++i) {
            SCOPED_TRACE("drop " + std::to_string(i));
            const size_t drop = static_cast<size_t>(i);
            // Each logon reports first, on a connection of its own: the
            // trade connections are numbered apart from those.
            const size_t conn = srv.wait_for_trade_connection(drop, 5000ms);
            ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);
            // The reconnect series that led to this connection has seen the
            // logon and ended; a drop before that would go unnoticed until
            // its logon wait runs out.
            ASSERT_TRUE(hux_test::wait_until(
                [&] { return count_lines(log_path, "_th_try_reconn quit for logon success") >= drop; }, 5000ms));
            if (i % 2 == 0) {
                srv.close(conn);
            } else {
                srv.reset(conn);
            }
            // Told "conn ok" by the connection callback, the application logs on.
            ASSERT_TRUE(ev.wait([&] { return ev.count_code_locked(0) >= static_cast<size_t>(i) + 2; }, 8s));
            // The new trade connection comes behind the dropped one and its
            // logon's report connection.
            ASSERT_TRUE(srv.wait_for_connection(conn + 2, 5000ms));
            if (!logon_in_callback) {
                ASSERT_EQ(cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
            }
            ASSERT_TRUE(ev.wait([&] { return ev.logons.size() >= static_cast<size_t>(i) + 2; }, 8s));
            EXPECT_EQ(ev.logon(static_cast<size_t>(i) + 1).result, 0);
            ASSERT_TRUE(
                hux_test::wait_until([&] { return cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, 5000ms));
            const size_t next = srv.wait_for_trade_connection(drop + 1, 5000ms);
            EXPECT_EQ(next, conn + 2);
            EXPECT_EQ(srv.count(next, 70), 1u);
        }
        const auto reconnect_time = steady::now() - t0;
        {
            std::lock_guard<std::mutex> lock(ev.m);
            EXPECT_EQ(ev.callback_logon_results,
                      std::vector<int>(logon_in_callback ? static_cast<size_t>(drops) : 0u, 0));
        }

        // Connection events in order: the first "conn ok", then per drop
        // "remote disconnected", ("local disconnected" from the synchronous
        // client when the reconnect replaces it,) "conn ok".
        std::vector<int> want = {0};
        for (int i = 0; i < drops; ++i) {
            want.push_back(2);
            if (!async) want.push_back(3);
            want.push_back(0);
        }
        EXPECT_EQ(ev.codes(), want);
        std::vector<std::string> texts = ev.texts();
        ASSERT_GE(texts.size(), 3u);
        EXPECT_EQ(texts[0], "conn ok");
        EXPECT_EQ(texts[1], "remote disconnected");
        if (!async) {
            EXPECT_EQ(texts[2], "local disconnected");
        }
        // A trade connection and a report connection per logon.
        EXPECT_EQ(srv.connection_count(), 2 * (static_cast<size_t>(drops) + 1));
        const size_t last = srv.trade_connection(static_cast<size_t>(drops));
        EXPECT_EQ(last, 2 * static_cast<size_t>(drops));
        // One connect attempt per drop, each ended by the logon.
        EXPECT_TRUE(hux_test::wait_until(
            [&] {
                return count_lines(log_path, "_th_try_reconn quit for logon success") == static_cast<size_t>(drops);
            },
            5000ms));
        EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:1."), static_cast<size_t>(drops));
        EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:2."), 0u);

        // The application's own disconnect: "local disconnected", and it
        // stays down.
        EXPECT_TRUE(cli.StopAndDisConnServer());
        EXPECT_TRUE(ev.wait([&] { return ev.conn_codes.size() == want.size() + 1; }, 5s));
        EXPECT_EQ(ev.codes().back(), 3);
        EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_CLOSED);
        EXPECT_FALSE(cli.IsConnect());
        EXPECT_FALSE(cli.IsLogon());
        EXPECT_FALSE(cli.IsReconnectRunning());
        EXPECT_FALSE(cli.IsHeartBeatRunning());
        EXPECT_TRUE(srv.transport().wait_peer_closed(last, 5000ms));
        EXPECT_FALSE(srv.wait_for_connection(2 * (static_cast<size_t>(drops) + 1), 300ms));
        EXPECT_EQ(ev.codes().size(), want.size() + 1);
        std::printf("[reconnect] %s client, logon from %s: %d reconnects and logons in %lld ms\n",
                    async ? "async" : "sync", logon_in_callback ? "the callback" : "the test thread", drops,
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(reconnect_time).count()));
    }
    EXPECT_TRUE(hux_test::wait_until([&] { return hux_test::thread_count() <= threads_before; }, 5000ms))
        << hux_test::thread_count() << " threads, " << threads_before << " before the session";
}

}  // namespace

TEST(TradeSessionE2E, AutoReconnectSynchronousClient) { run_reconnects(false, false); }

TEST(TradeSessionE2E, AutoReconnectSynchronousClientLogonInCallback) { run_reconnects(false, true); }

TEST(TradeSessionE2E, AutoReconnectAsynchronousClient) { run_reconnects(true, false); }

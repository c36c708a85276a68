// Set-up shared by the trade session tests: the address of a simulated
// server, sessions whose callbacks are recorded, a C-interface handle against
// a simulated server of its own, byte helpers for golden images and wire
// offsets, scratch directories and the session's log files. Header only: the
// test programs link the session libraries themselves.
#ifndef HUX_TESTS_SESSION_SUPPORT_H
#define HUX_TESTS_SESSION_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"
#include "trade/TradeClient.h"
#include "tools/precise_time.h"

namespace trade_test {

using HUX_TRADE::CTradeClient;
using hux_test::hex_of;

const std::chrono::milliseconds kSessionWait = hux_test::test_wait();
// A logon first reports the terminal, which runs shell commands: allow more.
const std::chrono::milliseconds kLogonWait = hux_test::test_wait_at_least(std::chrono::milliseconds(15000));

// A simulated server on loopback: no heart-beat unless asked for, no CPU
// binding, symbol pages of 100.
inline HUX_TradeSvrInfo loopback_info(uint16_t port, int32_t heartbeat_interval = 0) {
    HUX_TradeSvrInfo info;
    std::memset(&info, 0, sizeof(info));
    std::strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = port;
    info.heartbeat_interval = heartbeat_interval;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 100;
    return info;
}

// Closes pause 1 ms instead of 20; a TCP client's close polls at most 2 s.
inline void shorten_closes(CTradeClient& client) {
    HUX_TRADE::TradeClientTimings t = client.GetTimings();
    t.close_pause_ms = 1;
    t.tcp_stop_wait_ms = 2000;
    client.SetTimings(t);
}

// The terminal report that opens each logon, with the tests' wait for each of
// its steps and three times that for the overall poll. The simulated server
// answers every report, so the waits only give a loaded machine room: a step
// that ran out would refuse the logon (105, 106) or read a late verdict as
// none.
inline void report_waits_from_the_setting(CTradeClient& client) {
    const unsigned ms = static_cast<unsigned>(hux_test::test_wait().count());
    HUX_TRADE::TradeClientTimings t = client.GetTimings();
    t.coll_connect_wait_ms = ms;
    t.coll_version_wait_ms = ms;
    t.coll_verdict_wait_ms = ms;
    t.coll_report_wait_ms = 3 * ms;
    client.SetTimings(t);
}

// ---------------------------------------------------------------- wire bytes

inline std::string zeros_hex(size_t n) { return std::string(2 * n, '0'); }

// A text zero-filled to its field of `width` bytes, as hex.
inline std::string text_hex(const char* text, size_t width) {
    return hex_of(text, std::strlen(text)) + zeros_hex(width - std::strlen(text));
}

inline std::string unhex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline uint64_t le_at(const std::string& m, size_t off, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(m.at(off + i))) << (8 * i);
    return v;
}
inline uint16_t u16_at(const std::string& m, size_t off) { return static_cast<uint16_t>(le_at(m, off, 2)); }
inline uint32_t u32_at(const std::string& m, size_t off) { return static_cast<uint32_t>(le_at(m, off, 4)); }
inline int64_t i64_at(const std::string& m, size_t off) { return static_cast<int64_t>(le_at(m, off, 8)); }
inline void put_u32(std::string& m, size_t off, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) m[off + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

// One account of the account index (1061, 40 bytes) carrying an entry: the
// end mark at 8 stays 0, the name at 13 with a NUL after it, the index at 29.
inline std::string account_entry(const std::string& name, uint8_t index) {
    std::string m = hux_sim::make_message(1061, 40);
    m.replace(13, name.size(), name);
    m[29] = static_cast<char>(index);
    return m;
}
inline bool has_account(CTradeClient& client, const char* name, int want) {
    int index = -1;
    return client.FindAccountIndex(name, index) && index == want;
}

// A refused heart-beat setting answer (1090, 24 bytes) carrying `value` as
// its time-out: the session keeps the value and starts nothing, so
// GetServerTimeout() shows that it has read the stream up to here, before
// and after the logon.
inline std::string progress_marker(int32_t value) {
    std::string m = hux_sim::make_message(1090, 24);
    put_u32(m, 12, 1);                               // result at 12: refused
    put_u32(m, 16, static_cast<uint32_t>(value));  // time-out at 16
    return m;
}

// Sends `bytes` followed by progress_marker(value); true once the session reached it.
inline bool send_and_reach(hux_sim::sim_trade_server& sim, size_t conn, CTradeClient& client,
                           const std::string& bytes, int32_t value) {
    return sim.send_raw(conn, bytes + progress_marker(value)) &&
           hux_test::wait_until([&] { return client.GetServerTimeout() == value; }, kSessionWait);
}

// Hands `bytes` to the receive path in a buffer of exactly their size, so
// that a read past the end is caught by the address sanitizer.
inline int feed(CTradeClient& client, const std::string& bytes) {
    std::vector<unsigned char> buf(bytes.begin(), bytes.end());
    return client.ProcReceiveMsg(buf.data(), static_cast<unsigned>(buf.size()));
}

// ---------------------------------------------------------------- requests
// Each valid on its own against a server that knows account "ACC001" and
// symbol "IF2406": exchange 101, side 1, quantities and prices set.

template <class R>
R zeroed() {
    R r;
    std::memset(&r, 0, sizeof(r));
    return r;
}
inline void put_text(char* field, const char* text) { std::memcpy(field, text, std::strlen(text)); }

inline HUX_EnterOrderField order_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterOrderField r = zeroed<HUX_EnterOrderField>();
    put_text(r.account, "ACC001");
    put_text(r.symbol, "IF2406");
    r.side = 1;
    r.exchange_id = exchange;
    r.price = 1.5;
    r.quantity = 10;
    r.client_token = token;
    return r;
}
inline HUX_EnterQuoteField quote_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterQuoteField r = zeroed<HUX_EnterQuoteField>();
    put_text(r.account, "ACC001");
    put_text(r.symbol, "IF2406");
    r.exchange_id = exchange;
    r.client_token = token;
    r.price_1 = 1.5;
    r.quantity_1 = 1;
    r.price_2 = 1.6;
    r.quantity_2 = 2;
    return r;
}
inline HUX_EnterComboField combo_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterComboField r = zeroed<HUX_EnterComboField>();
    put_text(r.account, "ACC001");
    r.exchange_id = exchange;
    r.client_token = token;
    return r;
}
inline HUX_EnterSpecialOrderField special_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterSpecialOrderField r = zeroed<HUX_EnterSpecialOrderField>();
    put_text(r.account, "ACC001");
    put_text(r.symbol, "IF2406");
    r.exchange_id = exchange;
    r.client_token = token;
    return r;
}
inline HUX_EnterOrderSimpleField simple_order_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterOrderSimpleField r = zeroed<HUX_EnterOrderSimpleField>();
    r.exchange_id = exchange;
    r.side = 1;
    r.client_token = token;
    r.quantity = 1;
    r.price = 2.5;
    return r;
}
inline HUX_EnterQuoteSimpleField simple_quote_req(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterQuoteSimpleField r = zeroed<HUX_EnterQuoteSimpleField>();
    r.exchange_id = exchange;
    r.quantity_1 = 1;
    r.quantity_2 = 1;
    r.price_1 = 2.5;
    r.price_2 = 2.6;
    r.client_token = token;
    return r;
}
// Cancels in mode 2: by market token.
inline HUX_CancelOrder cancel_req(uint32_t token = 0) {
    HUX_CancelOrder r = zeroed<HUX_CancelOrder>();
    r.market_token = 77;
    r.cancel_mode = 2;
    r.client_token = token;
    return r;
}
inline HUX_CancelSpecialOrder cancel_special_req(uint32_t token = 0) {
    HUX_CancelSpecialOrder r = zeroed<HUX_CancelSpecialOrder>();
    r.market_token = 78;
    r.cancel_mode = 2;
    r.client_token = token;
    return r;
}
inline HUX_QuoteAction quote_action_req(uint32_t token = 0) {
    HUX_QuoteAction r = zeroed<HUX_QuoteAction>();
    r.market_token = 79;
    r.cancel_mode = 2;
    r.client_token = token;
    return r;
}

// ---------------------------------------------------------------- records

// Packed fields are read by value, never bound to a reference.
template <class T>
T val(T v) {
    return v;
}
template <size_t N>
std::string field(const char (&f)[N]) {
    return std::string(f, N);
}
template <size_t N>
std::string field(const uint8_t (&f)[N]) {
    return std::string(reinterpret_cast<const char*>(f), N);
}
inline std::string padded(const std::string& s, size_t n) { return s + std::string(n - s.size(), '\0'); }

// ---------------------------------------------------------------- callbacks

// One callback as the application saw it: which one (the test's own
// numbering), a copy of its record, and its flag and number where it has them.
struct event {
    int kind = 0;
    std::string record;
    bool flag = false;
    int number = 0;
};

template <class T>
T record_as(const event& e) {
    T r;
    std::memset(&r, 0, sizeof(r));
    EXPECT_EQ(e.record.size(), sizeof(T)) << "kind " << e.kind;
    std::memcpy(&r, e.record.data(), std::min(e.record.size(), sizeof(T)));
    return r;
}

// The events of a session in arrival order, from whatever thread.
class event_log {
public:
    void add(int kind, const void* record, size_t n, bool flag = false, int number = 0) {
        event e;
        e.kind = kind;
        if (record) e.record.assign(static_cast<const char*>(record), n);
        e.flag = flag;
        e.number = number;
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back(e);
        m_changed.notify_all();
    }
    void add_logon(const HUX_LogonResponse& rsp) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_logons.push_back(rsp);
        m_changed.notify_all();
    }
    std::vector<event> all() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events.size();
    }
    std::vector<HUX_LogonResponse> logons() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_logons;
    }
    bool wait_size(size_t n, std::chrono::milliseconds timeout = kSessionWait) const {
        return wait_for([&](const std::vector<event>& all) { return all.size() >= n; }, timeout);
    }
    bool wait_for(const std::function<bool(const std::vector<event>&)>& pred,
                  std::chrono::milliseconds timeout = kSessionWait) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return pred(m_events); });
    }
    bool wait_logons(size_t n, std::chrono::milliseconds timeout = kSessionWait) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_logons.size() >= n; });
    }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<event> m_events;
    std::vector<HUX_LogonResponse> m_logons;
};

// The session's user parameter, as its event log.
inline event_log* log_of(void* handle) {
    return static_cast<event_log*>(static_cast<CTradeClient*>(handle)->GetUserParam());
}

// A callback that logs its record under KIND.
template <int KIND, class R>
void log_record(void* handle, R* r) {
    log_of(handle)->add(KIND, r, sizeof(R));
}

// A session whose user parameter is its event log (logons go there too),
// with short closes; it is fed bytes directly, or logged on to a simulated
// server of its own.
struct recording_session {
    event_log log;
    std::unique_ptr<hux_sim::sim_trade_server> sim;  // outlives the client
    std::unique_ptr<CTradeClient> client;

    recording_session() : client(new CTradeClient(&log)) {
        shorten_closes(*client);
        report_waits_from_the_setting(*client);
        client->SetMaxWaitTime(5);
        client->SetUserLogonEvent([](void* h, HUX_LogonResponse* rsp, int) { log_of(h)->add_logon(*rsp); });
    }
    // Logs on as "trader01" to a new simulated server with `cfg` (password
    // "pw" unless set); true once logged on.
    bool logon(hux_sim::sim_config cfg) {
        if (cfg.password.empty()) cfg.password = "pw";
        sim.reset(new hux_sim::sim_trade_server());
        const HUX_TradeSvrInfo info = loopback_info(sim->port());
        return sim->listening() && sim->set_config(cfg) && client->ConnServer(&info, false) &&
               hux_test::wait_until([&] { return client->IsConnect(); }, kSessionWait) &&
               sim->wait_for_connection(0, kSessionWait) &&
               client->UserLogon("trader01", cfg.password.c_str(), "app-x", "AUTH123") == 0 &&
               log.wait_logons(1, kLogonWait) && log.logons()[0].result == 0 && client->IsLogon();
    }
    int feed(const std::string& bytes) { return trade_test::feed(*client, bytes); }
};

// Connection, logon and heart-beat time-out events of a session, in order.
struct timeout_seen {
    int seconds;
    std::chrono::steady_clock::time_point at;
};
struct logon_seen {
    HUX_LogonResponse rsp;
    int sock;
    std::thread::id thread;
};

class session_events {
public:
    // Run on the callback's thread: on_code once the event is recorded,
    // on_logon before it is (a waiter then sees what it did). Set them
    // while no callback can run.
    std::function<void(CTradeClient*, int code)> on_code;
    std::function<void(CTradeClient*)> on_logon;

    // Sets the session's connection, logon and heart-beat time-out
    // callbacks; its user parameter must be this object.
    void attach(CTradeClient& client) {
        client.SetConnectionEvent(connection_event);
        client.SetUserLogonEvent(logon_event);
        client.SetHeartBeatTimeoutEvent(timeout_event);
    }

    std::vector<int> codes() const { return locked_copy(m_codes); }
    std::vector<std::string> texts() const { return locked_copy(m_texts); }
    std::vector<logon_seen> logons() const { return locked_copy(m_logons); }
    std::vector<timeout_seen> timeouts() const { return locked_copy(m_timeouts); }
    logon_seen logon(size_t i) const { return logons().at(i); }
    size_t count_code(int code) const {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<size_t>(std::count(m_codes.begin(), m_codes.end(), code));
    }
    bool wait_code(int code, size_t n = 1, std::chrono::milliseconds timeout = kSessionWait) const {
        return wait([&] { return static_cast<size_t>(std::count(m_codes.begin(), m_codes.end(), code)) >= n; },
                    timeout);
    }
    bool wait_codes(size_t n, std::chrono::milliseconds timeout = kSessionWait) const {
        return wait([&] { return m_codes.size() >= n; }, timeout);
    }
    bool wait_logons(size_t n, std::chrono::milliseconds timeout = kSessionWait) const {
        return wait([&] { return m_logons.size() >= n; }, timeout);
    }
    bool wait_timeouts(size_t n, std::chrono::milliseconds timeout = kSessionWait) const {
        return wait([&] { return m_timeouts.size() >= n; }, timeout);
    }

    static session_events* of(void* handle) {
        return static_cast<session_events*>(static_cast<CTradeClient*>(handle)->GetUserParam());
    }
    static void connection_event(void* handle, int code, const char* text) {
        session_events* ev = of(handle);
        ev->record([&] {
            ev->m_codes.push_back(code);
            ev->m_texts.push_back(text ? text : "");
        });
        if (ev->on_code) ev->on_code(static_cast<CTradeClient*>(handle), code);
    }
    static void logon_event(void* handle, HUX_LogonResponse* rsp, int sock) {
        session_events* ev = of(handle);
        if (ev->on_logon) ev->on_logon(static_cast<CTradeClient*>(handle));
        ev->record([&] { ev->m_logons.push_back({*rsp, sock, std::this_thread::get_id()}); });
    }
    static void timeout_event(void* handle, int seconds) {
        session_events* ev = of(handle);
        ev->record([&] { ev->m_timeouts.push_back({seconds, std::chrono::steady_clock::now()}); });
    }

private:
    template <class T>
    std::vector<T> locked_copy(const std::vector<T>& v) const {
        std::lock_guard<std::mutex> lock(m_lock);
        return v;
    }
    void record(const std::function<void()>& change) {
        std::lock_guard<std::mutex> lock(m_lock);
        change();
        m_changed.notify_all();
    }
    bool wait(const std::function<bool()>& pred, std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, timeout, pred);
    }

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<int> m_codes;
    std::vector<std::string> m_texts;
    std::vector<logon_seen> m_logons;
    std::vector<timeout_seen> m_timeouts;
};

// A handle of the C interface against a simulated server of its own, with
// short closes. Its user parameter is its session_events member, so the
// callbacks above apply; logons use the credentials below.
class capi_session {
public:
    explicit capi_session(const hux_sim::sim_config& cfg) : password(cfg.password) {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        h = MVHUX_CreateTrade(&events);
        shorten_closes(*client());
        report_waits_from_the_setting(*client());
        events.attach(*client());
    }
    virtual ~capi_session() { MVHUX_DestroyTrade(h); }
    capi_session(const capi_session&) = delete;
    capi_session& operator=(const capi_session&) = delete;

    hux_sim::sim_trade_server srv;  // outlives the handle
    session_events events;
    void* h = nullptr;
    std::string user = "trader01";
    std::string password;
    std::string app_id = "app-x";
    std::string auth_code = "AUTH123";

    CTradeClient* client() { return static_cast<CTradeClient*>(h); }
    // Connects and waits for the next "conn ok" and for the server's first connection.
    void connect(bool mix = false) {
        const size_t before = events.count_code(0);
        const HUX_TradeSvrInfo info = loopback_info(srv.port());
        ASSERT_EQ(MVHUX_ConnServer(h, &info, mix), 0);
        ASSERT_TRUE(events.wait_code(0, before + 1));
        ASSERT_TRUE(srv.wait_for_connection(0, kSessionWait));
    }
    // MVHUX_UserLogon's code; the outcome comes through the logon callback.
    int logon_call() {
        return MVHUX_UserLogon(h, user.c_str(), password.c_str(), app_id.c_str(), auth_code.c_str());
    }
    // A logon that goes all the way: result 0 and the session logged on.
    void logon() {
        const size_t before = events.logons().size();
        ASSERT_EQ(logon_call(), 0);
        ASSERT_TRUE(events.wait_logons(before + 1, kLogonWait));
        ASSERT_EQ(events.logons().back().rsp.result, 0);
        ASSERT_TRUE(hux_test::wait_until([&] { return client()->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; },
                                         kLogonWait));
    }
    void start(bool mix = false) {
        ASSERT_NO_FATAL_FAILURE(connect(mix));
        ASSERT_NO_FATAL_FAILURE(logon());
    }
};

// ---------------------------------------------------------------- files

// A fresh directory under /tmp, removed at the end; with `enter` it is the
// working directory meanwhile.
class scratch_dir {
public:
    explicit scratch_dir(bool enter = false) {
        char tmpl[] = "/tmp/hux_test_XXXXXX";
        const char* made = mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        m_path = made ? made : "/tmp";
        if (enter && made) {
            char cwd[4096];
            m_old_cwd = getcwd(cwd, sizeof(cwd)) ? cwd : "/tmp";
            EXPECT_EQ(chdir(m_path.c_str()), 0);
        }
    }
    ~scratch_dir() {
        if (!m_old_cwd.empty()) {
            EXPECT_EQ(chdir(m_old_cwd.c_str()), 0);
        }
        std::error_code ec;
        if (m_path != "/tmp") std::filesystem::remove_all(m_path, ec);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_old_cwd;
};

// The session's logs in `dir` (the start date is known once a session exists).
inline std::string text_log_path(const std::string& dir) {
    return dir + "/tavlog_" + precise_time::get_start_date() + ".log";
}
inline std::string bin_log_path(const std::string& dir) {
    return dir + "/tavlog_" + precise_time::get_start_date() + ".bin";
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Lines of a text file that hold `needle`.
inline size_t count_lines(const std::string& path, const char* needle) {
    std::ifstream in(path);
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.find(needle) != std::string::npos ? 1 : 0;
    return n;
}

}  // namespace trade_test

#endif

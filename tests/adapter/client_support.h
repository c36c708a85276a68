// Shared by the two-session client's tests: a recorder behind the two C
// callbacks the client raises (connection and logon), a simulated server with
// its query port open and a client connected to it with short waits, wire
// bytes written by hand, and thread counts.
#ifndef HUX_TESTS_ADAPTER_CLIENT_SUPPORT_H
#define HUX_TESTS_ADAPTER_CLIENT_SUPPORT_H

#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adapter/Client.h"
#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/plain_socket.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"

namespace client_test {

using HUX_ADAPTER::Client;
using hux_sim::sim_config;
using hux_sim::sim_message;
using hux_sim::sim_trade_server;
using hux_test::hex_of;

// The longest a test waits for anything; HUX_TEST_WAIT_MS overrides it.
inline std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

// Rounds of the repeated tests; HUX_TEST_ROUNDS scales them (percent).
inline int rounds(int normal) {
    const char* v = std::getenv("HUX_TEST_ROUNDS");
    const long pct = v ? std::atol(v) : 100;
    const long n = pct > 0 ? normal * pct / 100 : normal;
    return n > 0 ? static_cast<int>(n) : 1;
}

// ---------------------------------------------------------------- bytes

inline std::string zeros_hex(size_t n) { return std::string(2 * n, '0'); }
inline std::string hex(const std::string& bytes) { return hex_of(bytes.data(), bytes.size()); }
inline std::string unhex(const std::string& text) {
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}
// A text zero-filled to its field of `width` bytes, as hex.
inline std::string text_hex(const char* text, size_t width) {
    const size_t n = std::strlen(text);
    return hex_of(text, n < width ? n : width) + (n < width ? zeros_hex(width - n) : std::string());
}
// `v` in `width` little-endian bytes, as hex.
inline std::string le_hex(uint64_t v, size_t width) {
    std::string bytes;
    for (size_t i = 0; i < width; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    return hex(bytes);
}
inline std::string field_hex(const std::string& bytes, size_t at, size_t width) {
    return bytes.size() >= at + width ? hex(bytes.substr(at, width)) : std::string("(short)");
}

// Upper-case MD5 digests of the passwords the tests use (md5sum, by hand).
const char* const MD5_PW = "8FE4C11451281C094A6578E6DDBF5EED";         // "pw"
const char* const MD5_OLD_PASS1 = "6830CB9AC2A11B567F26C159A22BC467";  // "Old_pass1"
const char* const MD5_NEW_PASS2 = "0015B7A2FEAE30418E4BBADEFCDD5A02";  // "New_pass2"

// The query logon the client sends for `login` with the password "pw" (68, 80 bytes).
inline std::string query_logon_hex(const char* login) {
    return "4400"                          // 0: type 68
           "5000"                          // 2: length 80
           "00000000"                      // 4: zero
           "0f000000"                      // 8: protocol constant 15
           + text_hex(login, 33)           // 12: login id
           + text_hex(MD5_PW, 33)          // 45: MD5 text of "pw" and its NUL
           + "0000";                       // 78: zero
}

// ---------------------------------------------------------------- callbacks

struct logon_seen {
    void* handle;
    HUX_LogonResponse rsp;
    bool logged_on;        // IsLogon() of the client during the call
    bool trade_connected;  // IsTradeConnect() during the call
};

struct connection_seen {
    void* handle;
    int code;
    std::string text;
    bool query_connected;  // IsQueryConnect() of the client during the call
};

// What the client's two C callbacks receive, from every client of the test.
// A hook runs inside the next callback of its kind (on the thread that
// raises it), after the call is recorded.
class recorder {
public:
    // Never destroyed: a thread a fault leaves behind may still call it at exit.
    static recorder& get() {
        static recorder* instance = new recorder;
        return *instance;
    }

    void reset() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_logons.clear();
        m_connections.clear();
        m_connection_hook = nullptr;
        m_logon_hook = nullptr;
    }
    // `fn` runs inside the next connection callback with `code`.
    void inside_next_connection(int code, std::function<void(Client*)> fn) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hook_code = code;
        m_connection_hook = std::move(fn);
    }
    void inside_next_logon(std::function<void(Client*, HUX_LogonResponse*)> fn) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_logon_hook = std::move(fn);
    }

    static void on_connection(void* handle, int code, const char* text) { get().connection(handle, code, text); }
    static void on_logon(void* handle, HUX_LogonResponse* rsp) { get().logon(handle, rsp); }

    std::vector<logon_seen> logons(const void* handle) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<logon_seen> out;
        for (const logon_seen& l : m_logons)
            if (l.handle == handle) out.push_back(l);
        return out;
    }
    std::vector<connection_seen> connections(const void* handle) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<connection_seen> out;
        for (const connection_seen& c : m_connections)
            if (c.handle == handle) out.push_back(c);
        return out;
    }
    size_t count(const void* handle, int code) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return count_locked(handle, code);
    }
    bool wait_code(const void* handle, int code, size_t n) const {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, wait_limit(), [&] { return count_locked(handle, code) >= n; });
    }
    bool wait_logons(const void* handle, size_t n) const {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, wait_limit(), [&] {
            size_t seen = 0;
            for (const logon_seen& l : m_logons) seen += l.handle == handle ? 1 : 0;
            return seen >= n;
        });
    }

private:
    size_t count_locked(const void* handle, int code) const {
        size_t n = 0;
        for (const connection_seen& c : m_connections) n += c.handle == handle && c.code == code ? 1 : 0;
        return n;
    }
    void connection(void* handle, int code, const char* text) {
        const bool query_connected = static_cast<Client*>(handle)->IsQueryConnect();
        std::function<void(Client*)> fn;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_connections.push_back(connection_seen{handle, code, text ? text : "(null)", query_connected});
            if (m_connection_hook && m_hook_code == code) fn.swap(m_connection_hook);
        }
        m_changed.notify_all();
        if (fn) fn(static_cast<Client*>(handle));
    }
    void logon(void* handle, HUX_LogonResponse* rsp) {
        Client* client = static_cast<Client*>(handle);
        const logon_seen seen{handle, *rsp, client->IsLogon(), client->IsTradeConnect()};
        std::function<void(Client*, HUX_LogonResponse*)> fn;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_logons.push_back(seen);
            fn.swap(m_logon_hook);
        }
        m_changed.notify_all();
        if (fn) fn(client, rsp);
    }

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<logon_seen> m_logons;
    std::vector<connection_seen> m_connections;
    int m_hook_code = -1;
    std::function<void(Client*)> m_connection_hook;
    std::function<void(Client*, HUX_LogonResponse*)> m_logon_hook;
};

// ---------------------------------------------------------------- threads

// The live threads of the process once a first thread has come and gone
// (the thread sanitizer starts a helper of its own with the first one).
inline size_t settled_thread_count() {
    std::thread([] {}).join();
    return hux_test::thread_count();
}

// Waits until no more threads live than `before`; the count last seen.
inline size_t threads_back_to(size_t before) {
    const auto deadline = std::chrono::steady_clock::now() + wait_limit();
    size_t now = settled_thread_count();
    while (now > before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        now = hux_test::thread_count();
    }
    return now;
}

// The names of the live threads, for failure messages.
inline std::string thread_names() {

    std::string names;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        std::getline(in, name);
        names += std::string(e->d_name) + ":" + name + " ";
    }
    closedir(dir);
    return names;
}

// Runs `fn` on the calling thread under a watchdog: a call that does not
// return in time ends the program (it cannot be abandoned).
inline void returns_in_time(const char* what, const std::function<void()>& fn) {
    hux_test::returns_within(what, fn, wait_limit());
}

// ---------------------------------------------------------------- rig

// The server's side of the logon: trade user 1001 with a logon value, a
// token mark and flow values the client must hand on; query user 2002.
inline sim_config server_config() {
    sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    cfg.logon_value = 77;
    cfg.max_token = 100;
    cfg.query_user_id = 2002;
    return cfg;
}

// Waits of a few milliseconds instead of the documented tenths of seconds.
inline void shorten_waits(Client& client) {
    HUX_SESSION::TradeClientTimings t = client.Trade().GetTimings();
    t.reconnect_wait_count = 2;
    t.reconnect_wait_ms = 5;
    t.reconnect_idle_ms = 5;
    t.logon_first_wait_ms = 1;
    t.logon_wait_count = 100;
    t.logon_wait_ms = 10;
    t.close_pause_ms = 1;
    t.heart_beat_tick_ms = 5;
    client.Trade().SetTimings(t);
    HUX_ADAPTER::QueryClientTimings q = client.Query().GetTimings();
    q.reconnect_idle_ms = 5;
    q.reconnect_wait_count = 2;
    q.reconnect_wait_ms = 5;
    q.logon_first_wait_ms = 1;
    q.logon_wait_count = 100;
    q.logon_wait_ms = 10;
    q.close_pause_ms = 1;
    client.Query().SetTimings(q);
}

// A simulated server with its query port open (declared first, so it goes
// last) and a client with the recorder's callbacks and short waits.
struct rig {
    explicit rig(const sim_config& cfg = server_config()) {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        EXPECT_TRUE(srv.open_query(0));
        recorder::get().reset();
        client.reset(new Client(&user_value));
        client->SetConnectionEvent(&recorder::on_connection);
        client->SetUserLogonEvent(&recorder::on_logon);
        shorten_waits(*client);
    }

    // Both servers' addresses, no heart-beat, no UDP channel.
    HUX_TradeSvrInfo record() const {
        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        std::strcpy(info.query_ip, "127.0.0.1");
        info.query_port = srv.query_port();
        info.heartbeat_interval = 0;
        return info;
    }
    // Connects the trade session; true once "conn ok" came.
    bool connect(const HUX_TradeSvrInfo& info) {
        const size_t oks = recorder::get().count(client.get(), 0);
        return client->ConnServer(info) && recorder::get().wait_code(client.get(), 0, oks + 1);
    }
    bool connect() { return connect(record()); }
    // The version report for trader01 / pw, and the logon callback it leads to.
    logon_seen logon(const char* login = "trader01", const char* password = "pw", const char* app = "app-x",
                     const char* auth = "AUTH123") {
        const size_t n = recorder::get().logons(client.get()).size();
        EXPECT_EQ(0, client->ReportVersion(login, password, app, auth));
        if (!recorder::get().wait_logons(client.get(), n + 1)) {
            ADD_FAILURE() << "no logon callback";
            return logon_seen{client.get(), HUX_LogonResponse(), false, false};
        }
        return recorder::get().logons(client.get())[n];
    }
    // Connected and logged on (both sessions).
    bool log_on() {
        if (!connect()) return false;
        const logon_seen seen = logon();
        return seen.rsp.result == 0 && client->IsLogon();
    }
    std::vector<logon_seen> logons() const { return recorder::get().logons(client.get()); }
    std::vector<connection_seen> connections() const { return recorder::get().connections(client.get()); }

    sim_trade_server srv;
    int user_value = 0;
    std::unique_ptr<Client> client;
};

}  // namespace client_test

#endif

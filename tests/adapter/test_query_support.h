// Shared by the query session's tests: answers encoded byte by byte (never
// with the client's own records or builders), a sink that records what the
// session reports, a loopback query server that answers logons, scratch log
// directories, and thread and descriptor counts.
#ifndef HUX_TESTS_ADAPTER_QUERY_SUPPORT_H
#define HUX_TESTS_ADAPTER_QUERY_SUPPORT_H

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/QueryClient.h"
#include "sim/loopback_server.h"
#include "tests/support/hex.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"

namespace query_test {

using HUX_ADAPTER::CQueryClient;
using hux_test::hex_of;

const std::chrono::milliseconds kWait = hux_test::test_wait();

// ---------------------------------------------------------------- bytes

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

inline void put_le(std::string& m, size_t off, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) m.at(off + i) = static_cast<char>((v >> (8 * i)) & 0xff);
}

// A zero-filled message of `len` bytes: type at 0, `len` in the length field at 2.
inline std::string message(uint16_t type, size_t len) {
    std::string m(len, '\0');
    put_le(m, 0, type, 2);
    put_le(m, 2, len, 2);
    return m;
}

// The query logon answer (56 bytes): result at 8, user id at 45.
inline std::string logon_answer(uint32_t result, uint32_t user_id) {
    std::string m = message(1068, 56);
    put_le(m, 8, result, 4);
    put_le(m, 45, user_id, 4);
    return m;
}

// Every answer of the query connection with the length the client must take.
struct answer_kind {
    uint16_t type;
    size_t length;
};
inline const std::vector<answer_kind>& all_answers() {
    static const std::vector<answer_kind> kinds = {
        {1063, 112}, {1064, 24},  {1068, 56},  {1069, 16},   {1071, 88},  {1072, 139},
        {1073, 152}, {1074, 144}, {1075, 88},  {1077, 96},   {1078, 128}, {1081, 108},
        {1082, 1006}, {1083, 448}, {1092, 167}, {1093, 108}, {1095, 200}, {1099, 64}};
    return kinds;
}

// ---------------------------------------------------------------- sink

// Records what the session reports, and the session's state as each logon
// answer reached the owner.
class recording_sink : public HUX_ADAPTER::QueryClientEvent {
public:
    struct logon_seen {
        int32_t result;
        uint32_t user_id;
        int state;           // the session's state during the call
        bool logged_on;      // IsLogon() during the call
        uint32_t session_user_id;
        bool connected;      // IsConnect() during the call
        bool thread_running;  // IsReconnectRunning() during the call
    };

    void watch(CQueryClient* client) { m_client = client; }

    void on_query_client_connect_event(int code, const char* text) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_connects.emplace_back(code, text ? text : "");
        m_cv.notify_all();
    }
    void on_query_client_logon_event(HUX_LogonResponse* rsp) override {
        logon_seen seen{rsp->result, rsp->user_id, -1, false, 0, false, false};
        if (CQueryClient* client = m_client.load()) {
            seen.state = client->GetState();
            seen.logged_on = client->IsLogon();
            seen.session_user_id = client->GetUserId();
            seen.connected = client->IsConnect();
            seen.thread_running = client->IsReconnectRunning();
        }
        // The other six fields are the owner's to fill: they come as 0.
        EXPECT_EQ(0, rsp->logon_value);
        EXPECT_EQ(0, rsp->max_token);
        EXPECT_EQ(0u, rsp->order_fc_count);
        EXPECT_EQ(0u, rsp->order_fc_window_us);
        EXPECT_EQ(0u, rsp->cancel_fc_count);
        EXPECT_EQ(0u, rsp->cancel_fc_window_us);
        std::lock_guard<std::mutex> guard(m_lock);
        m_logons.push_back(seen);
        m_cv.notify_all();
    }

    bool wait_logons(size_t n) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_cv.wait_for(guard, kWait, [&] { return m_logons.size() >= n; });
    }
    bool wait_connects(size_t n) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_cv.wait_for(guard, kWait, [&] { return m_connects.size() >= n; });
    }
    std::vector<logon_seen> logons() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_logons;
    }
    std::vector<std::pair<int, std::string>> connects() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_connects;
    }

private:
    std::atomic<CQueryClient*> m_client{nullptr};
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::vector<logon_seen> m_logons;
    std::vector<std::pair<int, std::string>> m_connects;
};

// ---------------------------------------------------------------- server

// A loopback query server that answers every 80-byte message of type 68 with
// a 1068 carrying the current result and user id.
class query_server {
public:
    query_server() {
        m_server.set_receive_hook([this](size_t conn, const char* data, size_t len) { on_bytes(conn, data, len); });
    }
    hux_test::loopback_server& raw() { return m_server; }
    uint16_t port() { return m_server.port(); }
    void answer_with(uint32_t result, uint32_t user_id) {
        m_result = result;
        m_user_id = user_id;
    }
    // Logon requests seen, over all connections.
    size_t logons_seen() const { return m_logons_seen; }

private:
    void on_bytes(size_t conn, const char* data, size_t len) {
        std::string& pending = m_pending[conn];
        pending.append(data, len);
        while (pending.size() >= 80) {
            const bool logon = static_cast<uint8_t>(pending[0]) == 68 && pending[1] == 0;
            pending.erase(0, 80);
            if (!logon) continue;
            ++m_logons_seen;
            m_server.send(conn, logon_answer(m_result, m_user_id));
        }
    }

    std::atomic<uint32_t> m_result{0};
    std::atomic<uint32_t> m_user_id{0};
    std::atomic<size_t> m_logons_seen{0};
    std::map<size_t, std::string> m_pending;  // the hook runs on one thread
    hux_test::loopback_server m_server;
};

// ---------------------------------------------------------------- session

inline HUX_TradeSvrInfo query_info(uint16_t port, const char* ip = "127.0.0.1") {
    HUX_TradeSvrInfo info;
    std::strncpy(info.query_ip, ip, sizeof(info.query_ip));
    info.query_port = port;
    return info;
}

// Waits of a few milliseconds instead of the documented tenths of seconds.
inline void shorten_waits(CQueryClient& client) {
    HUX_ADAPTER::QueryClientTimings t;
    t.reconnect_idle_ms = 5;
    t.reconnect_wait_count = 2;
    t.reconnect_wait_ms = 5;
    t.logon_first_wait_ms = 1;
    t.logon_wait_count = 100;
    t.logon_wait_ms = 10;
    t.close_pause_ms = 1;
    client.SetTimings(t);
}

// The logon request the session sends, with the client's own builder (the
// request's bytes are checked against a hand-made image elsewhere).
inline int send_logon(CQueryClient& client, const char* login_id, const char* password) {
    HUX_ADAPTER::query_logon_msg_req req;
    HUX_ADAPTER::build_query_logon_msg_req(req, login_id, password);
    return client.SendMsgToHux("query_logon_msg_req", reinterpret_cast<const char*>(&req), sizeof(req), 3);
}

// ---------------------------------------------------------------- files

// A fresh directory under /tmp whose name SetLogDir accepts, removed with
// everything in it when the object goes.
class scratch_dir {
public:
    scratch_dir() {
        char name[] = "/tmp/hux_query_XXXXXX";
        const char* made = mkdtemp(name);
        if (made) m_path = made;
    }
    ~scratch_dir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text log a session writes after SetLogDir(dir).
inline std::string text_log_path(const std::string& dir) {
    return dir + "/tavlog_" + precise_time::get_start_date() + ".log";
}
inline std::string bin_log_path(const std::string& dir) {
    return dir + "/tavlog_" + precise_time::get_start_date() + ".bin";
}

// A text record's body: tag, blank, text, newline (after the length field).
inline std::string log_body(const std::string& tag, const std::string& text) { return " " + tag + " " + text + "\n"; }

inline size_t count_of(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++n;
    return n;
}

// The live threads of the process once a first thread has come and gone
// (the thread sanitizer starts a helper thread of its own with the first
// one), so that a count taken before any session compares with one after.
inline size_t settled_thread_count() {
    std::thread([] {}).join();
    return hux_test::thread_count();
}

inline size_t open_descriptors() {
    size_t n = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return 0;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(dir);
    return n;  // the directory's own descriptor included, every time alike
}

}  // namespace query_test

#endif

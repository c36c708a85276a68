// A trade session logged on to the simulated server once per process, for
// the fuzz targets that drive the session. Header only.
#ifndef HUX_TESTS_FUZZ_SESSION_H
#define HUX_TESTS_FUZZ_SESSION_H

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"
#include "trade/TradeClient.h"

namespace hux_fuzz {

// Connection and logon outcomes, signalled by the callbacks so that the
// set-up waits on a condition rather than polling.
struct outcome {
    std::mutex m;
    std::condition_variable cv;
    unsigned connects = 0;
    unsigned logons = 0;  // successful logon callbacks
};
inline outcome g_outcome;

inline void on_logon(void*, HUX_LogonResponse* rsp, int sock) {
    if (!rsp) return;
    touch(rsp, sizeof(*rsp));
    g_sink.fetch_add(static_cast<unsigned>(sock), std::memory_order_relaxed);
    if (rsp->result != 0) return;
    std::lock_guard<std::mutex> g(g_outcome.m);
    ++g_outcome.logons;
    g_outcome.cv.notify_all();
}

inline void on_connection(void*, int code, const char* text) {
    if (text) touch(text, strlen(text) + 1);
    g_sink.fetch_add(static_cast<unsigned>(code), std::memory_order_relaxed);
    if (code != 0) return;
    std::lock_guard<std::mutex> g(g_outcome.m);
    ++g_outcome.connects;
    g_outcome.cv.notify_all();
}

// Waits until the counter passes `seen`, up to the tests' wait setting.
inline bool wait_past(unsigned outcome::*counter, unsigned seen) {
    std::unique_lock<std::mutex> lock(g_outcome.m);
    return g_outcome.cv.wait_for(lock, hux_test::test_wait(), [&] { return g_outcome.*counter > seen; });
}

inline unsigned current(unsigned outcome::*counter) {
    std::lock_guard<std::mutex> g(g_outcome.m);
    return g_outcome.*counter;
}

// The session writes a text-log line for every unknown or cut message it
// receives, with the logger switched on or off, and a line to important.log
// for every completed logon, each flushed with a write system call; in a
// fuzzing process that was most of the time, and even written to /dev/null
// half of it. So a fuzzing process switches the session logs off for
// itself: a session opens them as tavlog_<date>.log and .bin and
// important.log in the working directory, and where directories of those
// names stand they do not open, and a log that did not open is not written
// (every line is still formatted). Where files of those names are there
// already the logs are written as usual. Nothing in the library changes; the
// fuzzing programs are run from a scratch directory (as .ci/run does), the
// replay tests from their build directory.
inline void switch_logs_off() {
    static const bool done = [] {
        precise_time::initialize();  // the date in the names, as a session sets it
        for (const char* ext : {"log", "bin"})
            mkdir((std::string("tavlog_") + precise_time::get_start_date() + "." + ext).c_str(), 0755);
        mkdir("important.log", 0755);
        return true;
    }();
    (void)done;
}

// A session made through the C interface (MVHUX_*) and logged on to a
// simulated server of its own over loopback, terminal report included; the
// server then stays silent, so only the caller runs the session's receive
// path. `set_callbacks` gives it its callbacks before it connects; the
// connection and logon callbacks are replaced by the set-up's own.
class sim_session {
public:
    sim_session(const char* target, bool qv27, void (*set_callbacks)(void* handle),
                void (*adjust)(hux_sim::sim_config& cfg) = nullptr)
        : m_target(target), m_qv27(qv27), handle((switch_logs_off(), MVHUX_CreateTrade(nullptr))),
          client(static_cast<HUX_TRADE::CTradeClient*>(handle)) {
        if (!handle) fail(m_target, "set-up: MVHUX_CreateTrade");
        if (!sim.listening()) fail(m_target, "set-up: simulated server not listening");
        // Closes pause 1 ms; the heart-beat tick and the receive wait keep
        // their defaults (10 and 50 ms): threads that woke every millisecond
        // took time from the fuzzing thread.
        HUX_TRADE::TradeClientTimings t;
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        client->SetTimings(t);
        if (set_callbacks) set_callbacks(handle);
        if (MVHUX_SetConnectionEvent(handle, &on_connection) != HUX_RESULT_OK ||
            MVHUX_SetUserLogonEvent(handle, &on_logon) != HUX_RESULT_OK)
            fail(m_target, "set-up: callbacks");

        cfg.password = "pw";
        cfg.server_edition = qv27 ? 6 : 0;
        cfg.user_id = 77;
        cfg.max_token = 100;
        cfg.symbols = {{"IF2406", 1}, {"IO2406-C-3500", 2}};
        cfg.accounts = {{"ACCOUNT-1", 1}};
        if (adjust) adjust(cfg);
        if (!sim.set_config(cfg)) fail(m_target, "set-up: simulated server refused its configuration");
        m_version_answer = hux_sim::sim_trade_server::version_answer(cfg);
        m_logon_answers.push_back(hux_sim::sim_trade_server::logon_answer(cfg, 0));
        if (!qv27) {
            for (const std::string& m : hux_sim::sim_trade_server::account_list(cfg)) m_logon_answers.push_back(m);
            for (const std::string& m : hux_sim::sim_trade_server::symbol_page(cfg, 1, 100))
                m_logon_answers.push_back(m);
        }

        HUX_TradeSvrInfo info;
        memset(&info, 0, sizeof(info));
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = sim.port();
        info.rsp_cpu = -1;
        info.symbol_idx_page_size = 100;  // heartbeat_interval 0: no heart-beat asked for
        const unsigned connects = current(&outcome::connects);
        if (MVHUX_ConnServer(handle, &info, false) != HUX_RESULT_OK) fail(m_target, "set-up: MVHUX_ConnServer");
        if (!wait_past(&outcome::connects, connects) || !client->IsConnect()) fail(m_target, "set-up: no connection");
        const unsigned logons = current(&outcome::logons);
        const bool ok = MVHUX_UserLogon(handle, "trader01", "pw", "app-x", "AUTH123") == HUX_RESULT_OK &&
                        wait_past(&outcome::logons, logons) && logged_on();
        // From here on the server answers nothing: no second thread feeds
        // the session while the caller does.
        sim.set_silent(true);
        if (!ok) fail(m_target, "set-up: no logon");
    }

    ~sim_session() {
        // An input may have started the heart-beat thread. DisConnServer
        // closes the socket before it joins that thread, which may then send
        // on a closed descriptor; so the thread is ended first.
        client->stop_send_heart_beat_thread();
        const auto deadline = std::chrono::steady_clock::now() + hux_test::test_wait();
        while (client->IsHeartBeatRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        MVHUX_DisConnServer(handle);
        MVHUX_DestroyTrade(handle);
    }
    sim_session(const sim_session&) = delete;
    sim_session& operator=(const sim_session&) = delete;

    // Logged on against the edition it was made for.
    bool logged_on() const { return client->IsLogon() && client->IsQv27Version() == m_qv27; }
    // ... and the logon complete (the callback comes just before that).
    bool logged_on_as_made() const {
        return client->IsLogon() && client->IsQv27Version() == m_qv27 &&
               client->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON;
    }

    // One whole message through the receive path, in a buffer of its size;
    // true when it was consumed.
    bool feed(const std::string& msg) {
        std::unique_ptr<unsigned char[]> buf(new unsigned char[msg.size()]);
        memcpy(buf.get(), msg.data(), msg.size());
        return client->ProcReceiveMsg(buf.get(), static_cast<unsigned>(msg.size())) ==
               static_cast<int>(msg.size());
    }

    // Logs the session on again on its connection, on the caller's thread,
    // with the server's answers fed through the receive path: the logon
    // answer (which resets the token mark and the flow-control limits) and,
    // on a current server, the account list and the symbol page it asks for.
    // The version answer, which makes the session send a logon request, is
    // fed first only when an input changed the edition or the session has no
    // logon request outstanding. The requests go to the silent server. A
    // second UserLogon would run the terminal report again, whose shell
    // commands would take most of the fuzzing time.
    bool log_on_again() {
        if (!client->IsConnect()) return false;
        if (client->IsQv27Version() == m_qv27 && answer_logon() && logged_on_as_made()) return true;
        return feed(m_version_answer) && answer_logon() && logged_on_as_made();
    }

    hux_sim::sim_trade_server sim;
    hux_sim::sim_config cfg;

private:
    bool answer_logon() {
        for (const std::string& m : m_logon_answers)
            if (!feed(m)) return false;
        return true;
    }

    const char* m_target;
    bool m_qv27;
    // The server's answers that log the session on, made once.
    std::string m_version_answer;
    std::vector<std::string> m_logon_answers;

public:
    void* const handle;
    HUX_TRADE::CTradeClient* const client;
};

}  // namespace hux_fuzz

#endif

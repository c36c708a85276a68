// Fuzz target for the trade session's receive path. The first input byte
// picks the server edition (bit 0: 1 = qv27) and how the rest is cut into
// pieces (bits 1..7: 0 = one piece, else pieces of that many bytes). The rest
// goes through a cut loop like the transport entry's: each piece is appended
// to a cache, whole messages are handed to ProcReceiveMsg while it consumes,
// and the remainder waits for the next piece.
//
// One logged-on session per edition lives for the whole process. It is made,
// given all 52 callbacks and logged on through the C interface (MVHUX_*), so
// each answer an input decodes reaches an application callback that reads
// the whole record. It logs on to the simulated server over loopback once
// (terminal report included); the server then stays silent, so only this
// thread ever runs the session's receive path. When an input logs the
// session off (a new version answer, a refused logon, ...) the server's
// logon answers are fed to it through the receive path before the next
// input; when that does not log it on, and after a thousand such logons,
// the session is made again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "trade/TradeClient.h"

using HUX_TRADE::CTradeClient;

namespace {

// Every byte a callback is given is read, so the address sanitizer sees a
// record that is too short or already freed.
std::atomic<unsigned> g_sink{0};

void touch(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum = sum * 31u + b[i];
    g_sink.fetch_add(sum, std::memory_order_relaxed);
}

template <class R>
void on_record(void*, R* r) {
    if (r) touch(r, sizeof(R));
}

// Connection and logon outcomes, signalled by the callbacks so that the
// set-up waits on a condition rather than polling.
struct outcome {
    std::mutex m;
    std::condition_variable cv;
    unsigned connects = 0;
    unsigned logons = 0;  // successful logon callbacks
};
outcome g_outcome;

void on_logon(void*, HUX_LogonResponse* rsp, int sock) {
    if (!rsp) return;
    touch(rsp, sizeof(*rsp));
    g_sink.fetch_add(static_cast<unsigned>(sock), std::memory_order_relaxed);
    if (rsp->result != 0) return;
    std::lock_guard<std::mutex> g(g_outcome.m);
    ++g_outcome.logons;
    g_outcome.cv.notify_all();
}
void on_connection(void*, int code, const char* text) {
    touch(text, text ? strlen(text) : 0);
    g_sink.fetch_add(static_cast<unsigned>(code), std::memory_order_relaxed);
    if (code != 0) return;
    std::lock_guard<std::mutex> g(g_outcome.m);
    ++g_outcome.connects;
    g_outcome.cv.notify_all();
}

// Waits until the counter passes `seen`, up to five seconds.
bool wait_past(unsigned outcome::*counter, unsigned seen) {
    std::unique_lock<std::mutex> lock(g_outcome.m);
    return g_outcome.cv.wait_for(lock, std::chrono::seconds(5), [&] { return g_outcome.*counter > seen; });
}
unsigned current(unsigned outcome::*counter) {
    std::lock_guard<std::mutex> g(g_outcome.m);
    return g_outcome.*counter;
}
void on_heart_beat_timeout(void*, int seconds) { g_sink.fetch_add(static_cast<unsigned>(seconds)); }
void on_market_session(void*, HUX_ExchangeMarketSession* r, bool last) {
    if (r) touch(r, sizeof(*r));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}
void on_session_stat(void*, uint8_t session, bool flag) {
    g_sink.fetch_add(session + (flag ? 1u : 0u), std::memory_order_relaxed);
}
void on_symbol_query(void*, HUX_SymbolStatus* r, bool last) {
    if (r) touch(r, sizeof(*r));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}

[[noreturn]] void setup_failed(const char* what);

void check_set(int result, const char* setter) {
    if (result != HUX_RESULT_OK) setup_failed(setter);
}

// Gives a setter whose callback takes one record pointer the callback that
// reads that record.
template <class R>
void set_record(int (*setter)(void*, void (*)(void*, R*)), void* handle, const char* name) {
    check_set(setter(handle, &on_record<R>), name);
}

#define HUX_FUZZ_RECORD(setter) set_record(&setter, handle, #setter)

// Every callback of the C interface, through its setter: all 52.
void set_all_callbacks(void* handle) {
    check_set(MVHUX_SetConnectionEvent(handle, &on_connection), "MVHUX_SetConnectionEvent");
    check_set(MVHUX_SetUserLogonEvent(handle, &on_logon), "MVHUX_SetUserLogonEvent");
    check_set(MVHUX_SetHeartBeartTimeoutEvent(handle, &on_heart_beat_timeout), "MVHUX_SetHeartBeartTimeoutEvent");
    HUX_FUZZ_RECORD(MVHUX_SetOrderAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInputRegForQuoteEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostSpecialOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostQuoteEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderAdjustStatusEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderAdjustMktRejEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalQuoteAdjustStatusEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalQuoteAdjustMktRejEvent);
    check_set(MVHUX_SetQueryMarketSessionEvent(handle, &on_market_session), "MVHUX_SetQueryMarketSessionEvent");
    check_set(MVHUX_SetMarketSessionStatReportEvent(handle, &on_session_stat), "MVHUX_SetMarketSessionStatReportEvent");
    check_set(MVHUX_SetQuerySymbolStatusEvent(handle, &on_symbol_query), "MVHUX_SetQuerySymbolStatusEvent");
    HUX_FUZZ_RECORD(MVHUX_SetSymbolStatusReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetProdStatusReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuerySessionIDEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQueryOtAccountBPEvent);
}

#undef HUX_FUZZ_RECORD

[[noreturn]] void setup_failed(const char* what) {
    fprintf(stderr, "fuzz_receive: set-up failed: %s\n", what);
    abort();
}

// A session made and driven through the C interface; its handle is the
// session object, through which the input reaches the receive path and the
// session's waits are shortened.
struct fuzz_session {
    hux_sim::sim_trade_server sim;
    hux_sim::sim_config cfg;
    void* handle;
    CTradeClient* client;
    unsigned logons_again = 0;

    explicit fuzz_session(bool qv27) : handle(MVHUX_CreateTrade(nullptr)), client(static_cast<CTradeClient*>(handle)) {
        if (!handle) setup_failed("MVHUX_CreateTrade");
        if (!sim.listening()) setup_failed("simulated server not listening");
        HUX_TRADE::TradeClientTimings t;
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        t.heart_beat_tick_ms = 1;
        client->SetTimings(t);
        if (MVHUX_SetMaxWaitTime(handle, 5) != HUX_RESULT_OK) setup_failed("MVHUX_SetMaxWaitTime");
        set_all_callbacks(handle);

        cfg.password = "pw";
        cfg.server_edition = qv27 ? 6 : 0;
        cfg.user_id = 77;
        cfg.max_token = 100;
        cfg.symbols = {{"IF2406", 1}, {"IO2406-C-3500", 2}};
        cfg.accounts = {{"ACCOUNT-1", 1}};
        if (!sim.set_config(cfg)) setup_failed("simulated server refused its configuration");

        HUX_TradeSvrInfo info;
        memset(&info, 0, sizeof(info));
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = sim.port();
        info.rsp_cpu = -1;
        info.symbol_idx_page_size = 100;  // heartbeat_interval 0: no heart-beat thread
        const unsigned connects = current(&outcome::connects);
        if (MVHUX_ConnServer(handle, &info, false) != HUX_RESULT_OK) setup_failed("MVHUX_ConnServer");
        if (!wait_past(&outcome::connects, connects) || !client->IsConnect()) setup_failed("no connection");
        if (!logon(qv27)) setup_failed("no logon");
    }
    ~fuzz_session() {
        // An input may have started the heart-beat thread. DisConnServer
        // closes the socket before it joins that thread, which may then send
        // on a closed descriptor; so the thread is ended first.
        client->stop_send_heart_beat_thread();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (client->IsHeartBeatRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        MVHUX_DisConnServer(handle);
        MVHUX_DestroyTrade(handle);
    }
    fuzz_session(const fuzz_session&) = delete;
    fuzz_session& operator=(const fuzz_session&) = delete;

    bool logon(bool qv27) {
        const unsigned logons = current(&outcome::logons);
        const bool ok = MVHUX_UserLogon(handle, "trader01", "pw", "app-x", "AUTH123") == HUX_RESULT_OK &&
                        wait_past(&outcome::logons, logons) && client->IsLogon() && client->IsQv27Version() == qv27;
        // From here on the server answers nothing: no second thread feeds
        // the session while the fuzz input does.
        sim.set_silent(true);
        return ok;
    }

    // Logs the session on again on its connection, on this thread: the
    // answers the server gives to a logon go through the receive path as an
    // input does, and the requests they make the session send reach the
    // silent server unanswered. A second UserLogon would run the terminal
    // report again, whose shell commands would take most of the fuzzing
    // time.
    bool logon_again(bool qv27) {
        // The server records every request it is sent: a session that has
        // logged on again this often is made afresh, so the records stay small.
        if (++logons_again > 1000 || !client->IsConnect()) return false;
        bool fed = feed(hux_sim::sim_trade_server::version_answer(cfg)) &&
                   feed(hux_sim::sim_trade_server::logon_answer(cfg, 0));
        if (fed && !qv27) {
            for (const std::string& m : hux_sim::sim_trade_server::account_list(cfg)) fed = fed && feed(m);
            for (const std::string& m : hux_sim::sim_trade_server::symbol_page(cfg, 1, 100)) fed = fed && feed(m);
        }
        return fed && client->IsLogon() && client->IsQv27Version() == qv27 &&
               client->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON;
    }

    // One whole message through the receive path; true when it was consumed.
    bool feed(const std::string& msg) {
        std::vector<unsigned char> buf(msg.begin(), msg.end());
        return client->ProcReceiveMsg(buf.data(), static_cast<unsigned>(buf.size())) == static_cast<int>(buf.size());
    }
};

std::unique_ptr<fuzz_session> g_sessions[2];

CTradeClient& logged_on_session(bool qv27) {
    std::unique_ptr<fuzz_session>& s = g_sessions[qv27 ? 1 : 0];
    if (s && s->client->IsLogon() && s->client->IsQv27Version() == qv27) return *s->client;
    // Logged off by the last input: logged on again through the receive
    // path, or, when that fails, afresh on a new connection.
    if (s && s->logon_again(qv27)) return *s->client;
    s.reset();
    s.reset(new fuzz_session(qv27));
    return *s->client;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool qv27 = (data[0] & 1) != 0;
    const size_t piece = data[0] >> 1;  // 0: everything at once
    CTradeClient& client = logged_on_session(qv27);

    const uint8_t* rest = data + 1;
    const size_t rest_len = size - 1;
    std::vector<unsigned char> cache;
    cache.reserve(rest_len);
    size_t at = 0;
    while (at < rest_len) {
        const size_t n = piece == 0 || rest_len - at < piece ? rest_len - at : piece;
        cache.insert(cache.end(), rest + at, rest + at + n);
        at += n;
        // The session sees a buffer of exactly the cached size, so a read
        // past its end is caught.
        std::unique_ptr<unsigned char[]> buf(new unsigned char[cache.size()]);
        memcpy(buf.get(), cache.data(), cache.size());
        const unsigned len = static_cast<unsigned>(cache.size());
        unsigned offset = 0;
        while (offset < len) {
            const int used = client.ProcReceiveMsg(buf.get() + offset, len - offset);
            if (used <= 0) break;
            if (static_cast<unsigned>(used) > len - offset) {
                fprintf(stderr, "fuzz_receive: ProcReceiveMsg consumed %d of %u bytes\n", used, len - offset);
                abort();
            }
            offset += static_cast<unsigned>(used);
        }
        cache.erase(cache.begin(), cache.begin() + offset);
    }
    return 0;
}

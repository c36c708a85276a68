// Fuzz target for the receive paths of the adapter's two sessions. The
// first input byte picks the session (bit 0: 0 = trade, 1 = query), the
// logger switch of both sessions (bit 1: on) and how the rest is cut into
// pieces (bits 2..7: 0 = one piece, else pieces of that many bytes), fed
// through a cut loop like the transport entry's (fuzz_support.h). Consuming
// more than it was given aborts; every record a callback is given is read
// whole, and every account text must end within its 17 bytes.
//
// The trade session lives for the whole process, every result callback set,
// logged on to the simulated server over loopback once (the server then
// stays silent, so only this thread runs its receive path). When an input
// logs it off, the version and logon answers are fed to it through the
// receive path before the next input (it sends its logon request to the
// silent server); when that fails it is made again. The query session needs
// no connection: its answers are taken whether or not it is connected, and
// every answer callback is set, so each answer is read into its record.
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "adapter/QueryClient.h"
#include "adapter/TradeClient.h"
#include "sim/sim_trade_server.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"
#include "trade_core/trade_wire.h"

using HUX_ADAPTER::CQueryClient;
using HUX_ADAPTER::CTradeClient;
using hux_fuzz::g_sink;
using hux_fuzz::touch;

namespace {

const char* const kTarget = "fuzz_adapter_receive";

template <class R>
void on_record(void*, R* r) {
    if (r) touch(r, sizeof(R));
}
template <class R>
void on_record_flag(void*, R* r, bool last) {
    if (r) touch(r, sizeof(R));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}
void on_session_stat(void*, uint8_t session, bool flag) {
    g_sink.fetch_add(session + (flag ? 1u : 0u), std::memory_order_relaxed);
}

void set_all_callbacks(HUX_ADAPTER::adapter_trade_events& e) {
    e.OrderAccept = &on_record<HUX_OrderAcceptField>;
    e.OrderReject = &on_record<HUX_OrderRejectField>;
    e.OrderMarketAccept = &on_record<HUX_OrderMarketAcceptField>;
    e.OrderMarketReject = &on_record<HUX_OrderMarketRejectField>;
    e.OrderExecution = &on_record<HUX_OrderExecutionField>;
    e.OrderCxled = &on_record<HUX_OrderCxled>;
    e.CxlOrderReject = &on_record<HUX_CxlOrderRej>;
    e.PostOrder = &on_record<HUX_PostOrder>;
    e.PostOrderExecution = &on_record<HUX_PostOrderExecution>;
    e.QueryMarketSession = &on_record_flag<HUX_ExchangeMarketSession>;
    e.MarketSessionStatReport = &on_session_stat;
    e.SymbolStatusReport = &on_record<HUX_SymbolStatus>;
    e.QuerySymbolStatus = &on_record_flag<HUX_SymbolStatus>;
    e.QuerySessionID = &on_record<HUX_SessionID>;
    e.SpecialOrderAccept = &on_record<HUX_SpecialOrderAcceptField>;
    e.SpecialOrderReject = &on_record<HUX_SpecialOrderRejectField>;
    e.SpecialOrderActionAccept = &on_record<HUX_SpecialOrderActionAccept>;
    e.SpecialOrderActionRej = &on_record<HUX_SpecialOrderActionRej>;
    e.SpecialOrderMarketAccept = &on_record<HUX_SpecialOrderMarketAcceptField>;
    e.SpecialOrderMarketReject = &on_record<HUX_SpecialOrderMarketRejectField>;
    e.SpecialOrderActionMarketAccept = &on_record<HUX_SpecialOrderActionMarketAcceptField>;
    e.SpecialOrderActionMarketReject = &on_record<HUX_SpecialOrderActionMarketRejectField>;
    e.PostSpecialOrder = &on_record<HUX_PostSpecialOrder>;
}

// The account text of a query answer: a NUL within its 17 bytes.
void touch_account(const char* account) {
    if (!account) hux_fuzz::fail(kTarget, "null account text");
    const size_t n = strnlen(account, 17);
    if (n == 17) hux_fuzz::fail(kTarget, "account text not terminated within 17 bytes");
    touch(account, n + 1);
}

template <class R>
void on_answer(void*, R* r, bool last) {
    if (!r) hux_fuzz::fail(kTarget, "null query record");
    touch(r, sizeof(R));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}
template <class R>
void on_account_answer(void*, const char* account, R* r, bool last) {
    touch_account(account);
    on_answer<R>(nullptr, r, last);
}
template <class R>
void on_account_answer_no(void*, const char* account, R* r, int request_no, bool last) {
    touch_account(account);
    on_answer<R>(nullptr, r, last);
    g_sink.fetch_add(static_cast<unsigned>(request_no), std::memory_order_relaxed);
}
void on_password(void*, int result) { g_sink.fetch_add(static_cast<unsigned>(result), std::memory_order_relaxed); }
void on_bp(void*, const char* account, HUX_AccountBP* r, int request_no) {
    touch_account(account);
    on_answer<HUX_AccountBP>(nullptr, r, false);
    g_sink.fetch_add(static_cast<unsigned>(request_no), std::memory_order_relaxed);
}
void on_bp_report(void*, const char* account, HUX_AccountBP* r) {
    touch_account(account);
    on_answer<HUX_AccountBP>(nullptr, r, false);
}
template <class R>
void on_risk(void*, R* r, int value) {
    on_answer<R>(nullptr, r, false);
    g_sink.fetch_add(static_cast<unsigned>(value), std::memory_order_relaxed);
}

void set_query_callbacks(CQueryClient& c) {
    c.SetChangePasswordEvent(&on_password);
    c.SetQueryUserAccountEvent(&on_answer<HUX_AccountInfo>);
    c.SetQueryAccountPositionEvent(&on_account_answer_no<HUX_AccountPosition>);
    c.SetQueryAccountOptionPositionEvent(&on_account_answer_no<HUX_AccountOptionPosition>);
    c.SetQueryAccountBPEvent(&on_bp);
    c.SetAccountBPReportEvent(&on_bp_report);
    c.SetQueryAccountRiskDataEvent(&on_risk<HUX_AccountRiskData>);
    c.SetQueryAccountSymbolRiskDataEvent(&on_risk<HUX_AccountSymbolRiskData>);
    c.SetQuerySymbolEvent(&on_answer<HUX_SymbolField>);
    c.SetQueryAccountTradeMarginEvent(&on_account_answer<HUX_AccountMargin>);
    c.SetQueryAccountTradeFeeEvent(&on_account_answer<HUX_AccountFee>);
    c.SetQueryTradeOrderEvent(&on_account_answer<HUX_QueryAccountOrder>);
    c.SetQueryTradeOrderExecEvent(&on_account_answer<HUX_QueryOrderExecution>);
    c.SetQueryTradeOrderExecEventEx(&on_account_answer<HUX_QueryOrderExecutionEx>);
}

// The adapter's sessions open their logs as tavlog_trade_<date>.* and
// tavlog_query_<date>.*: where directories of those names stand the logs do
// not open and are not written (see fuzz_session.h).
void switch_logs_off() {
    static const bool done = [] {
        precise_time::initialize();
        for (const char* prefix : {"tavlog_trade_", "tavlog_query_"})
            for (const char* ext : {"log", "bin"})
                mkdir((std::string(prefix) + precise_time::get_start_date() + "." + ext).c_str(), 0755);
        mkdir("important.log", 0755);
        return true;
    }();
    (void)done;
}

// Connection and logon outcomes of the trade session.
class trade_events : public HUX_ADAPTER::TradeClientEvent {
public:
    void on_trade_client_connect_event(int code, const char* text) override {
        if (text) touch(text, strlen(text) + 1);
        std::lock_guard<std::mutex> g(m_lock);
        if (code == 0) ++m_connects;
        m_changed.notify_all();
    }
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override {
        if (rsp) touch(rsp, sizeof(*rsp));
        std::lock_guard<std::mutex> g(m_lock);
        if (rsp && rsp->result == 0) ++m_logons;
        m_changed.notify_all();
    }
    bool wait_connects(unsigned n) { return wait([&] { return m_connects >= n; }); }
    bool wait_logons(unsigned n) { return wait([&] { return m_logons >= n; }); }

private:
    template <class P>
    bool wait(P pred) {
        std::unique_lock<std::mutex> g(m_lock);
        return m_changed.wait_for(g, hux_test::test_wait(), pred);
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    unsigned m_connects = 0;
    unsigned m_logons = 0;
};

class query_events : public HUX_ADAPTER::QueryClientEvent {
public:
    void on_query_client_connect_event(int code, const char* text) override {
        if (text) touch(text, strlen(text) + 1);
        g_sink.fetch_add(static_cast<unsigned>(code), std::memory_order_relaxed);
    }
    void on_query_client_logon_event(HUX_LogonResponse* rsp) override {
        if (rsp) touch(rsp, sizeof(*rsp));
    }
};

class trade_session {
public:
    trade_session() : client((switch_logs_off(), nullptr), &events, nullptr) {
        if (!sim.listening()) hux_fuzz::fail(kTarget, "set-up: simulated server not listening");
        HUX_SESSION::TradeClientTimings t = client.GetTimings();
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        client.SetTimings(t);
        set_all_callbacks(client.Events());
        hux_sim::sim_config cfg;
        cfg.password = "pw";
        cfg.user_id = 77;
        cfg.max_token = 100;
        if (!sim.set_config(cfg)) hux_fuzz::fail(kTarget, "set-up: configuration refused");
        m_version_answer = hux_sim::sim_trade_server::version_answer(cfg);
        m_logon_answer = hux_sim::sim_trade_server::logon_answer(cfg, 0);

        HUX_TradeSvrInfo info;
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = sim.port();
        info.heartbeat_interval = 0;  // no heart-beat setting
        if (!client.ConnServer(info) || !events.wait_connects(1)) hux_fuzz::fail(kTarget, "set-up: no connection");
        client.SaveLoginInfo("trader01", "pw", "app-x", "AUTH123");
        HUX_TRADE_WIRE::report_version version;
        HUX_TRADE_WIRE::build_report_version(version, "trader01");
        const bool ok = client.SendMsgToHux("report_version", reinterpret_cast<char*>(&version), sizeof(version),
                                            HUX_TRADE_WIRE::SEND_DIRECTION_TCP) > 0 &&
                        events.wait_logons(1) && client.IsLogon();
        sim.set_silent(true);
        if (!ok) hux_fuzz::fail(kTarget, "set-up: no logon");
    }
    ~trade_session() { client.DisConnServer(); }

    bool logged_on() const { return client.IsLogon() && client.GetState() == HUX_SESSION::TRADE_STATE_LOGGED_ON; }

    // The version answer (the session sends its logon request to the silent
    // server) and the logon answer, through the receive path.
    bool log_on_again() {
        if (!client.IsConnect()) return false;
        return feed(m_version_answer) && feed(m_logon_answer) && logged_on();
    }

    hux_sim::sim_trade_server sim;
    trade_events events;
    CTradeClient client;

private:
    bool feed(const std::string& msg) {
        std::unique_ptr<unsigned char[]> buf(new unsigned char[msg.size()]);
        memcpy(buf.get(), msg.data(), msg.size());
        return client.ProcReceiveMsg(buf.get(), static_cast<unsigned>(msg.size())) == static_cast<int>(msg.size());
    }
    std::string m_version_answer;
    std::string m_logon_answer;
};

std::unique_ptr<trade_session> g_trade;

CTradeClient& logged_on_trade() {
    if (g_trade && (g_trade->logged_on() || g_trade->log_on_again())) return g_trade->client;
    g_trade.reset();
    g_trade.reset(new trade_session());
    return g_trade->client;
}

CQueryClient& query_session() {
    static query_events events;
    static CQueryClient* client = [] {
        switch_logs_off();
        CQueryClient* c = new CQueryClient(nullptr, &events, nullptr);
        set_query_callbacks(*c);
        return c;
    }();
    return *client;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool query = (data[0] & 1) != 0;
    const bool logger = (data[0] & 2) != 0;
    const size_t piece = data[0] >> 2;  // 0: everything at once
    static hux_fuzz::piece_feeder feeder(kTarget);
    if (query) {
        CQueryClient& client = query_session();
        client.SetLoggerSwitch(logger);
        feeder.feed(data + 1, size - 1, piece, [&](const unsigned char* p, size_t n) {
            return static_cast<long long>(client.ProcReceiveMsg(p, static_cast<unsigned>(n)));
        });
    } else {
        CTradeClient& client = logged_on_trade();
        client.SetLoggerSwitch(logger);
        feeder.feed(data + 1, size - 1, piece, [&](const unsigned char* p, size_t n) {
            return static_cast<long long>(client.ProcReceiveMsg(p, static_cast<unsigned>(n)));
        });
    }
    return 0;
}

// The receive side of the trade session: the entries of the two TCP clients,
// the connection events, the cut loop and the dispatcher.
#include <climits>
#include <cstdio>
#include <ctime>

#include "tools/cross_platform_api.h"
#include "net/socket_cache_client.h"
#include "trade/TradeClient.h"
#include "tools/precise_time.h"
#include "trade_core/trade_msg.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;
using MORVAST::TOOLS::snprintf_mv;

namespace {

// The session whose transport callback runs on this thread, if any.
thread_local const CTradeClient* t_transport_session = nullptr;

class transport_scope {
public:
    explicit transport_scope(const CTradeClient* session) : m_prev(t_transport_session) {
        t_transport_session = session;
    }
    ~transport_scope() { t_transport_session = m_prev; }

private:
    const CTradeClient* m_prev;
};

const unsigned PROC_LINE_LEN = 2048;

}  // namespace

bool CTradeClient::on_own_transport_thread() const { return t_transport_session == this; }

const HUX_TRADE_CORE::msg_route_table& CTradeClient::route_table() {
    static const HUX_TRADE_CORE::msg_route_table table = [] {
        HUX_TRADE_CORE::msg_route_table t;
        add_order_answer_routes(t);
        add_report_routes(t);
        t.add(TYPE_QUERY_ACCOUNT_IDX_RESP, false, &CTradeClient::on_account_idx_resp, "query_account_idx_resp");
        t.add(TYPE_QUERY_SYMBOL_IDX_RESP, false, &CTradeClient::on_symbol_idx_resp, "query_symbol_idx_resp");
        t.add(TYPE_LOGON_MSG_RESP, false, &CTradeClient::on_logon_msg_resp, "logon_msg_resp");
        t.add(TYPE_REPORT_VERSION_RESP, false, &CTradeClient::on_report_version_resp, "report_version_resp");
        t.add(TYPE_QUERY_ACCOUNT_BP_RESP, false, &CTradeClient::on_query_account_bp_resp, "query_account_bp_resp");
        t.add(TYPE_QUERY_MARKET_SESSION_RESP, false, &CTradeClient::on_query_market_session_resp,
              "query_market_session_resp");
        t.add(TYPE_MARKET_SESSION_STAT_REPORT, false, &CTradeClient::on_market_session_stat_report,
              "market_session_stat_report");
        t.add(TYPE_SYMBOL_STATUS_REPORT, false, &CTradeClient::on_symbol_status_report, "symbol_status_report");
        t.add(TYPE_SYMBOL_STATUS_QUERY_RESP, false, &CTradeClient::on_symbol_status_query_resp,
              "symbol_status_query_resp");
        t.add(TYPE_PROD_STATUS_REPORT, false, &CTradeClient::on_prod_status_report, "prod_status_report");
        t.add(TYPE_SET_HEART_BEAT_RESP, false, &CTradeClient::on_set_heart_beat_resp, "set_heart_beat_resp");
        t.add(TYPE_SESSION_ID_QUERY_RESP, false, &CTradeClient::on_session_id_query_resp, "session_id_query_resp");
        t.add(TYPE_REQ_FOR_QUOTE_REPORT, false, &CTradeClient::on_req_for_quote_report, "req_for_quote_report");
        // The server's heart-beat answer is consumed without any action.
        t.add(TYPE_TRADE_HEART_BEAT_RESP, false, nullptr, "trade_heart_beat_resp");
        return t;
    }();
    return table;
}

// ---- transport entries ----

int CTradeClient::sync_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param, void* context) {
    if (context) {
        CTradeClient* session = static_cast<CTradeClient*>(context);
        transport_scope scope(session);
        session->sync_on_cache_callback(param);
    }
    return -1;
}

int CTradeClient::async_cache_callback(socket_param& param, void* context) {
    if (context) {
        CTradeClient* session = static_cast<CTradeClient*>(context);
        transport_scope scope(session);
        session->on_cache_callback(param);
    }
    return -1;
}

int CTradeClient::sync_on_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param) {
    if (param.get_event_type() == EVENT_RECEIVE)
        param.set_proc_len(on_receive(param.get_buff_addr(), param.get_buff_size()));
    else
        on_connection_event(param.get_event_type());
    return -1;
}

int CTradeClient::on_cache_callback(socket_param& param) {
    if (param.get_event_type() == EVENT_RECEIVE)
        param.set_proc_len(on_receive(param.get_buff_addr(), param.get_buff_size()));
    else
        on_connection_event(param.get_event_type());
    return -1;
}

void CTradeClient::on_connection_event(int event) {
    int code;
    const char* text;
    int state;
    switch (event) {
    case EVENT_CONNECT:
        // The state is changed only by the logon sequence. A connection ends
        // the reconnect that made it, whichever client made it.
        m_reconnecting = false;
        __atomic_store_n(&g_reconnecting, 0, __ATOMIC_RELAXED);
        report_connection(0, "conn ok");
        return;
    case EVENT_REMOTE_DISCONNECT:
        code = 2;
        text = "remote disconnected";
        state = TRADE_STATE_DROPPED;
        break;
    case EVENT_LOCALE_DISCONNECT:
        code = 3;
        text = "local disconnected";
        state = TRADE_STATE_CLOSED;
        break;
    case EVENT_NETWORK_ERROR:
        code = 4;
        text = "network error";
        state = TRADE_STATE_DROPPED;
        break;
    default:
        return;
    }
    report_connection(code, text);
    m_logged_on = false;
    m_logon_sent = false;
    m_state = state;
    m_hb_stop = true;
}

// The cut loop: whole messages from the front; the rest stays cached.
unsigned CTradeClient::on_receive(const char* data, unsigned len) {
    if (!data || len == 0) return 0;
    return HUX_TRADE_CORE::cut_messages(reinterpret_cast<const unsigned char*>(data), len,
                                        [this](const unsigned char* p, uint32_t n) { return ProcReceiveMsg(p, n); });
}

// ---- dispatcher ----

int CTradeClient::ProcReceiveMsg(const unsigned char* data, unsigned int len) {
    // The heart-beat watchdog needs only the second of the last receive; the
    // coarse realtime clock gives the same second at a fraction of the cost.
    // The microsecond clock is read only for the logger's cost line.
    const bool logger = m_logger_on;
    long long start = 0;
    if (logger) {
        start = precise_time::get_current_microseconds();
        m_last_recv_sec = start / 1000000;
    } else {
        timespec now;
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        m_last_recv_sec = static_cast<long long>(now.tv_sec);
    }
    HUX_TRADE_CORE::dispatch_step step =
        HUX_TRADE_CORE::dispatch_one(route_table(), data, len, m_qv27, m_logged_on, this);

    char line[PROC_LINE_LEN];
    line[0] = '\0';
    switch (step.outcome) {
    case HUX_TRADE_CORE::DISPATCH_HANDLED:
        if (logger) snprintf_mv(line, sizeof(line), "proc %s", step.route->name);
        break;
    case HUX_TRADE_CORE::DISPATCH_BEFORE_LOGON:
        if (logger) snprintf_mv(line, sizeof(line), "proc invalid %s", step.route->name);
        break;
    case HUX_TRADE_CORE::DISPATCH_UNKNOWN_SKIPPED:
    case HUX_TRADE_CORE::DISPATCH_UNKNOWN_DISCARDED: {
        char text[128];
        snprintf_mv(text, sizeof(text), "receive unknown msg type: %u, len is %d", static_cast<unsigned>(step.type),
                    static_cast<int>(len > INT_MAX ? INT_MAX : len));
        log_line("error msg type", text);
        break;
    }
    case HUX_TRADE_CORE::DISPATCH_WAIT:
        break;
    }
    // A buffer dropped whole may exceed what the result can say; the rest goes
    // in the next step.
    const int consumed = static_cast<int>(step.consumed > INT_MAX ? INT_MAX : step.consumed);
    if (logger) {
        if (consumed > 0) m_bin_log.write_bin('1', reinterpret_cast<const char*>(data), consumed);
        if (line[0]) m_log.write_txt(line, "");
        long long cost = precise_time::get_current_microseconds() - start;
        snprintf_mv(line, sizeof(line), "process message type:[%d] cost:[%lld]us", static_cast<int>(step.type), cost);
        m_log.write_txt(line, "");
    }
    return consumed;
}

}  // namespace HUX_TRADE

// The logon sequence: terminal report, version report, logon request, index
// tables, heart-beat setting and the completion step that tells the
// application.
#include <cstring>

#include "net/socket_cache_client.h"
#include "trade/TradeClient.h"
#include "net/socket_unicast.h"
#include "tools/test_hook.h"
#include "trade_core/trade_wire.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

namespace {
const char* text_or_empty(const char* text) { return text ? text : ""; }
}  // namespace

int CTradeClient::UserLogon(const char* user_id, const char* password, const char* app_id, const char* auth_code) {
    if (!IsConnect()) return 7;
    // Each text is read at most one byte past the longest text its field
    // holds: that byte tells a text that would be cut (and log on as someone
    // else) from one that fits. The user id's field keeps a NUL; the
    // application id and the authorisation code may fill theirs. The password
    // goes whole into its digest.
    user_id = text_or_empty(user_id);
    app_id = text_or_empty(app_id);
    auth_code = text_or_empty(auth_code);
    password = text_or_empty(password);
    const size_t user_len = strnlen(user_id, USER_ID_FIELD);
    const size_t app_len = strnlen(app_id, APP_ID_FIELD + 1);
    const size_t auth_len = strnlen(auth_code, AUTH_CODE_FIELD + 1);
    if (user_len >= USER_ID_FIELD || app_len > APP_ID_FIELD || auth_len > AUTH_CODE_FIELD) return LOGON_TEXT_TOO_LONG;
    // The terminal-information report runs first; a non-zero code from it
    // ends the logon with that code (its logon callback has already fired).
    const unsigned report_code = coll_rptr_report(app_id, auth_code, user_id, password);
    if (report_code != 0) return static_cast<int>(report_code);

    // The texts are kept before the version report goes out: its answer,
    // which builds the logon request, may arrive before this call returns.
    keep_logon_texts(user_id, user_len, password, app_id, app_len, auth_code, auth_len);
    report_version msg;
    build_report_version(msg, user_id);
    if (SendMsgToHux("report_version", reinterpret_cast<char*>(&msg), sizeof(msg), SEND_DIRECTION_TCP) < 0) return 4;
    return 0;
}

// The message types this session knows, with their handlers.
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

// A logon answer: kept, then handed to the callback with socket -1.
void CTradeClient::report_logon(const HUX_SESSION::logon_values& v) {
    keep_logon_record(v);
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (callback) callback(this, &m_logon_rsp, -1);
}

void CTradeClient::keep_logon_record(const HUX_SESSION::logon_values& v) {
    HUX_LogonResponse& rsp = m_logon_rsp;
    rsp.server_value = v.server_value;
    rsp.result = v.result;
    rsp.user_id = v.user_id;
    rsp.logon_value = v.logon_value;
    rsp.max_token = v.max_token;
    rsp.order_fc_count = v.order_fc_count;
    rsp.order_fc_window_us = v.order_fc_window_us;
    rsp.cancel_fc_count = v.cancel_fc_count;
    rsp.cancel_fc_window_us = v.cancel_fc_window_us;
}

// A logon failure: the kept answer (or a blank one) with the cause in result.
void CTradeClient::report_logon_result(int result, bool with_answer) {
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (!callback) return;
    HUX_LogonResponse rsp;
    if (with_answer)
        memcpy(&rsp, &m_logon_rsp, sizeof(rsp));
    else
        memset(&rsp, 0, sizeof(rsp));
    rsp.result = result;
    callback(this, &rsp, -1);
}

void CTradeClient::on_report_version_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->proc_report_version_resp(msg);
}
void CTradeClient::on_logon_msg_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->proc_logon_msg_resp(msg);
}
void CTradeClient::on_account_idx_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->proc_account_idx_resp(msg);
}
void CTradeClient::on_symbol_idx_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->proc_symbol_idx_resp(msg);
}
void CTradeClient::on_set_heart_beat_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->proc_set_heart_beat_resp(msg);
}

bool CTradeClient::send_symbol_query() {
    symbol_idx_query_req query;
    build_symbol_idx_query_req(query, m_page_no, m_page_size, GetUserID(), m_symbol_selector);
    return SendMsgToHux("symbol_idx_query_req", reinterpret_cast<char*>(&query), sizeof(query), SEND_DIRECTION_TCP) >=
           0;
}

// After a logon answer with result 0: a qv27 server has no index tables and
// no heart-beat setting; otherwise both index lists are asked for, then the
// heart-beat setting, and the callback waits for the lists.
void CTradeClient::on_logged_on(const HUX_SESSION::logon_values& v) {
    keep_logon_record(v);
    if (m_qv27) {
        m_accounts_complete = true;
        m_symbols_complete = true;
        trigger_logon_resp_event();
        return;
    }
    const int32_t interval = server_info().heartbeat_interval;
    m_page_size = m_symbol_page_size;
    m_page_no = 1;
    m_accounts_complete = false;
    m_symbols_complete = false;
    if (!send_symbol_query()) {
        report_logon_result(LOGON_REFUSED, true);
        m_logged_on = false;
    }
    account_idx_query_req accounts;
    build_account_idx_query_req(accounts, GetUserID());
    if (SendMsgToHux("account_idx_query_req", reinterpret_cast<char*>(&accounts), sizeof(accounts),
                     SEND_DIRECTION_TCP) < 0) {
        report_logon_result(LOGON_REFUSED, true);
        m_logged_on = false;
    }
    if (interval != 0 && !send_heart_beat_setting(interval)) {
        report_logon_result(LOGON_SEND_FAILED, true);
        m_logged_on = false;
    }
}

void CTradeClient::proc_account_idx_resp(const unsigned char* msg) {
    const query_account_idx_resp* entry = read_query_account_idx_resp(msg, sizeof(query_account_idx_resp));
    if (!entry) return;
    const uint8_t end_mark = entry->end_mark;
    if (end_mark != 0) {
        // The end mark carries no account.
        m_accounts_complete = true;
        trigger_logon_resp_event();
        return;
    }
    char name[ACCOUNT_NAME_FIELD + 1];
    read_account_name(*entry, name);
    const int index = entry->account_index;
    std::unique_lock<std::shared_mutex> guard(m_index_lock);
    m_account_map.set(name, index);
}

void CTradeClient::proc_symbol_idx_resp(const unsigned char* msg) {
    const query_symbol_idx_resp* entry = read_query_symbol_idx_resp(msg, sizeof(query_symbol_idx_resp));
    if (!entry) return;
    // Every message carries an entry, the one with the end-of-page mark too.
    // It is stored first, so that the logon callback finds the last symbol.
    // An end mark behind a list that filled its last page exactly carries no
    // symbol at all: an empty name is not an entry.
    char symbol[SYMBOL_TEXT_FIELD + 1];
    if (read_symbol_text(*entry, symbol) > 0) {
        const int index = entry->symbol_index;
        std::unique_lock<std::shared_mutex> guard(m_index_lock);
        m_symbol_map.set(symbol, index);
    }

    const uint8_t end_of_page = entry->end_of_page;
    if (end_of_page == 0) return;
    const uint16_t entries = entry->entry_count;
    // A full page asks for the next one; a page number that cannot grow any
    // further ends the list.
    if (m_page_size != 0 && entries >= m_page_size && m_page_no < UINT16_MAX) {
        ++m_page_no;
        if (!send_symbol_query()) {
            if (m_on_logon.load())
                log_info("ProcTradePortLogonRespMsg:on_trade_client_logon_event: ELR_QUERY_SYMBOL_ACCOUNT_FAILED");
            report_logon_result(LOGON_REFUSED, true);
            m_logged_on = false;
        }
        return;
    }
    m_symbols_complete = true;
    trigger_logon_resp_event();
}

void CTradeClient::trigger_logon_resp_event() {
    if (!m_accounts_complete || !m_symbols_complete) return;
    int sock = -1;
    if (m_mix) {
        sock = udp_socket();
        if (sock < 0) sock = tcp_socket();
    }
    // A stop the application asks for on hearing of the logon (inside the
    // callback, or on another thread right after it) is not undone by the
    // start of the reconnect thread below.
    const unsigned stops = reconnect_stops();
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (callback) callback(this, &m_logon_rsp, sock);
    MORVAST::TOOLS::test_hook("trade: logon reported", this);

    const int driver = GetDriverType();
    m_log.write_important_txt("driver type", driver == 0   ? "efvi api"
                                             : driver == 1 ? "exanic api"
                                             : m_mix       ? "mix api"
                                                           : "common api");
    m_state = TRADE_STATE_LOGGED_ON;
    if (m_auto_reconnect && !m_rc_running) start_reconnect_thread_unless_stopped(stops);

    const HUX_SESSION::session_server_info info = server_info();
    if (info.heartbeat_interval == 0 || m_qv27) bind_rsp_cpu_or_check_thread("user_logon", info.rsp_cpu);
}

}  // namespace HUX_TRADE

// The logon sequence: terminal report, version report, logon request, index
// tables, heart-beat setting and the completion step that tells the
// application.
#include <cstring>

#include "net/socket_cache_client.h"
#include "trade/TradeClient.h"
#include "net/socket_unicast.h"
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
    {
        std::lock_guard<std::mutex> guard(m_logon_text_lock);
        m_logon_user.assign(user_id, user_len);
        m_logon_password = password;
        m_logon_app_id.assign(app_id, app_len);
        m_logon_auth_code.assign(auth_code, auth_len);
    }
    report_version msg;
    build_report_version(msg, user_id);
    if (SendMsgToHux("report_version", reinterpret_cast<char*>(&msg), sizeof(msg), SEND_DIRECTION_TCP) < 0) return 4;
    return 0;
}

// A logon failure: the kept answer (or a blank one) with the cause in result.
void CTradeClient::report_logon(int result, const HUX_LogonResponse* base) {
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (!callback) return;
    HUX_LogonResponse rsp;
    if (base)
        memcpy(&rsp, base, sizeof(rsp));
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

void CTradeClient::proc_report_version_resp(const unsigned char* msg) {
    const report_version_resp* version = read_report_version_resp(msg, sizeof(report_version_resp));
    if (!version) return;
    m_logged_on = false;
    const uint8_t edition = version->server_edition;
    m_qv27 = edition == 6;
    const uint8_t verdict = version->verdict;
    if (verdict != 0) {
        // Verdicts 1, 2, 3 give 14, 1, 3; any other refusal is reported as
        // refused too, never as 0.
        report_logon(verdict == 2 ? LOGON_VERSION_REFUSED_2
                                  : verdict == 3 ? LOGON_VERSION_REFUSED_3 : LOGON_REFUSED,
                     nullptr);
        return;
    }
    m_state = TRADE_STATE_VERSION_OK;
    logon_msg_req request;
    bool built;
    {
        std::lock_guard<std::mutex> guard(m_logon_text_lock);
        built = build_logon_msg_req(request, m_logon_user.c_str(), m_logon_password.c_str(), m_logon_app_id.c_str(),
                                    m_logon_auth_code.c_str(), *version);
    }
    // The send path stamps the local UDP port and marks the request as sent.
    if (!built ||
        SendMsgToHux("logon_msg_req", reinterpret_cast<char*>(&request), sizeof(request), SEND_DIRECTION_TCP) < 0)
        report_logon(LOGON_SEND_FAILED, nullptr);
}

bool CTradeClient::send_symbol_query() {
    symbol_idx_query_req query;
    build_symbol_idx_query_req(query, m_page_no, m_page_size, m_user_id, m_symbol_selector);
    return SendMsgToHux("symbol_idx_query_req", reinterpret_cast<char*>(&query), sizeof(query), SEND_DIRECTION_TCP) >=
           0;
}

void CTradeClient::proc_logon_msg_resp(const unsigned char* msg) {
    const logon_msg_resp* answer = read_logon_msg_resp(msg, sizeof(logon_msg_resp));
    if (!answer) return;
    HUX_LogonResponse& rsp = m_logon_rsp;
    rsp.server_value = answer->server_value;
    rsp.result = answer->result;
    rsp.user_id = answer->user_id;
    rsp.logon_value = answer->logon_value;
    rsp.max_token = answer->max_token;
    rsp.order_fc_count = answer->order_fc_count;
    rsp.order_fc_window_us = answer->order_fc_window_us;
    rsp.cancel_fc_count = answer->cancel_fc_count;
    rsp.cancel_fc_window_us = answer->cancel_fc_window_us;

    HUX_UserLogonEvent callback = m_on_logon.load();
    if (rsp.result != 0) {
        if (callback) callback(this, &rsp, -1);
        m_logged_on = false;
        return;
    }
    if (!m_logon_sent) {
        rsp.result = LOGON_NOT_REQUESTED;
        if (callback) callback(this, &rsp, -1);
        return;
    }

    m_user_id = rsp.user_id;
    m_logon_value = rsp.logon_value;
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_token_lock);
    m_max_token = static_cast<uint32_t>(rsp.max_token);
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_token_lock);
    m_logged_on = true;
    HUX_TRADE_CORE::flow_control_apply_logon(m_order_fc, m_cancel_fc, rsp.order_fc_count, rsp.order_fc_window_us,
                                             rsp.cancel_fc_count, rsp.cancel_fc_window_us);

    if (m_qv27) {
        // A qv27 server has no index tables and no heart-beat setting.
        m_accounts_complete = true;
        m_symbols_complete = true;
        trigger_logon_resp_event();
        return;
    }

    int32_t interval;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_page_size = m_info.symbol_idx_page_size;
        interval = m_info.heartbeat_interval;
    }
    m_page_no = 1;
    m_accounts_complete = false;
    m_symbols_complete = false;
    if (!send_symbol_query()) {
        report_logon(LOGON_REFUSED, &rsp);
        m_logged_on = false;
    }
    account_idx_query_req accounts;
    build_account_idx_query_req(accounts, m_user_id);
    if (SendMsgToHux("account_idx_query_req", reinterpret_cast<char*>(&accounts), sizeof(accounts),
                     SEND_DIRECTION_TCP) < 0) {
        report_logon(LOGON_REFUSED, &rsp);
        m_logged_on = false;
    }
    // Against this (not qv27) server the heart-beat is wanted whenever the
    // record has an interval.
    m_hb_wanted = interval != 0;
    if (interval != 0) {
        heart_beat_info setting;
        build_heart_beat_info(setting, m_user_id, interval);
        if (SendMsgToHux("heart_beat_info", reinterpret_cast<char*>(&setting), sizeof(setting), SEND_DIRECTION_TCP) <
            0) {
            report_logon(LOGON_SEND_FAILED, &rsp);
            m_logged_on = false;
        }
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
            report_logon(LOGON_REFUSED, &m_logon_rsp);
            m_logged_on = false;
        }
        return;
    }
    m_symbols_complete = true;
    trigger_logon_resp_event();
}

void CTradeClient::proc_set_heart_beat_resp(const unsigned char* msg) {
    const set_heart_beat_resp* answer = read_set_heart_beat_resp(msg, sizeof(set_heart_beat_resp));
    if (!answer) return;
    const int32_t result = answer->result;
    const int32_t timeout = answer->timeout_sec;
    m_server_timeout = timeout;
    if (result == 0 && timeout > 0) start_send_heart_beat_thread();
}

int CTradeClient::tcp_socket() const {
    trade_tcp_client* sync_client = m_sync_client.load();
    if (sync_client) return sync_client->get_socket();
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) return async_client->get_socket();
    return -1;
}

void CTradeClient::trigger_logon_resp_event() {
    if (!m_accounts_complete || !m_symbols_complete) return;
    int sock = -1;
    if (m_mix) {
        CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = m_udp_client.load();
        sock = udp ? udp->get_socket() : tcp_socket();
    }
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (callback) callback(this, &m_logon_rsp, sock);

    const int driver = m_driver_type;
    m_log.write_important_txt("driver type", driver == 0   ? "efvi api"
                                             : driver == 1 ? "exanic api"
                                             : m_mix       ? "mix api"
                                                           : "common api");
    m_state = TRADE_STATE_LOGGED_ON;
    if (m_auto_reconnect && !m_rc_running) start_reconnect_thread();

    int32_t interval;
    int cpu;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        interval = m_info.heartbeat_interval;
        cpu = m_info.rsp_cpu;
    }
    if (interval == 0 || m_qv27) bind_rsp_cpu_or_check_thread("user_logon", cpu);
}

}  // namespace HUX_TRADE

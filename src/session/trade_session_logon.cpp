// The session answers both trade sessions share: the version answer (which
// sends the logon request), the logon answer up to the session's own steps,
// the heart-beat setting and its answer.
#include <cstring>

#include "net/socket_cache_client.h"
#include "net/socket_unicast.h"
#include "session/trade_session_core.h"
#include "trade_core/trade_wire.h"

namespace HUX_SESSION {

using namespace HUX_TRADE_WIRE;

void trade_session_core::keep_logon_texts(const char* user_id, size_t user_len, const char* password,
                                          const char* app_id, size_t app_len, const char* auth_code,
                                          size_t auth_len) {
    std::lock_guard<std::mutex> guard(m_logon_text_lock);
    m_logon_user.assign(user_id, user_len);
    m_logon_password = password;
    m_logon_app_id.assign(app_id, app_len);
    m_logon_auth_code.assign(auth_code, auth_len);
}

logon_texts trade_session_core::GetLoginInfo() const {
    std::lock_guard<std::mutex> guard(m_logon_text_lock);
    return logon_texts{m_logon_user, m_logon_password, m_logon_app_id, m_logon_auth_code};
}

void trade_session_core::proc_report_version_resp(const unsigned char* msg) {
    const report_version_resp* version = read_report_version_resp(msg, sizeof(report_version_resp));
    if (!version) return;
    m_logged_on = false;
    if (m_traits.knows_qv27) m_qv27 = version->server_edition == 6;
    const uint8_t verdict = version->verdict;
    if (verdict != 0) {
        // Verdicts 1, 2, 3 give 14, 1, 3; any other refusal is reported as
        // refused too, never as 0.
        report_logon_result(verdict == 2   ? LOGON_VERSION_REFUSED_2
                            : verdict == 3 ? LOGON_VERSION_REFUSED_3
                                           : LOGON_REFUSED,
                            false);
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
        report_logon_result(m_traits.logon_send_failed_result, false);
}

void trade_session_core::proc_logon_msg_resp(const unsigned char* msg) {
    const logon_msg_resp* answer = read_logon_msg_resp(msg, sizeof(logon_msg_resp));
    if (!answer) return;
    logon_values v;
    v.server_value = answer->server_value;
    v.result = answer->result;
    v.user_id = answer->user_id;
    v.logon_value = answer->logon_value;
    v.max_token = answer->max_token;
    v.order_fc_count = answer->order_fc_count;
    v.order_fc_window_us = answer->order_fc_window_us;
    v.cancel_fc_count = answer->cancel_fc_count;
    v.cancel_fc_window_us = answer->cancel_fc_window_us;
    {
        std::lock_guard<std::mutex> guard(m_values_lock);
        m_logon_values = v;
    }
    if (v.result != 0) {
        report_logon(v);
        m_logged_on = false;
        return;
    }
    if (!m_logon_sent) {
        v.result = LOGON_NOT_REQUESTED;
        report_logon(v);
        m_logged_on = false;
        return;
    }
    m_user_id = v.user_id;
    m_logon_value = v.logon_value;
#ifdef _WIN32
    m_token_lock.lock();
    m_max_token = static_cast<uint32_t>(v.max_token);
    m_token_lock.unlock();
#else
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_token_lock);
    m_max_token = static_cast<uint32_t>(v.max_token);
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_token_lock);
#endif
    {
        flow_windows_change change(*this);
        HUX_TRADE_CORE::flow_control_apply_logon(m_order_fc, m_cancel_fc, v.order_fc_count, v.order_fc_window_us,
                                                 v.cancel_fc_count, v.cancel_fc_window_us);
    }
    m_logged_on = true;
    on_logged_on(v);
}

bool trade_session_core::send_heart_beat_setting(int32_t interval) {
    heart_beat_info setting;
    build_heart_beat_info(setting, m_user_id, interval);
    return SendMsgToHux("heart_beat_info", reinterpret_cast<char*>(&setting), sizeof(setting), SEND_DIRECTION_TCP) >= 0;
}

void trade_session_core::proc_set_heart_beat_resp(const unsigned char* msg) {
    const set_heart_beat_resp* answer = read_set_heart_beat_resp(msg, sizeof(set_heart_beat_resp));
    if (!answer) return;
    const int32_t result = answer->result;
    const int32_t timeout = answer->timeout_sec;
    m_server_timeout = timeout;
    if (result == 0 && timeout > 0) start_send_heart_beat_thread();
}

mv_socket trade_session_core::tcp_socket() const {
    transport_reader reader(m_transport_readers);
    trade_tcp_client* sync_client = m_sync_client.load();
    if (sync_client) return sync_client->get_socket();
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) return async_client->get_socket();
    return MV_INVALID_SOCKET;
}

mv_socket trade_session_core::udp_socket() const {
    transport_reader reader(m_transport_readers);
    CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = m_udp_client.load();
    return udp ? udp->get_socket() : MV_INVALID_SOCKET;
}

}  // namespace HUX_SESSION

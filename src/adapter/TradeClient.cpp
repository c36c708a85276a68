// The adapter's trade session over the session core.
#include "adapter/TradeClient.h"

#include <cstring>

#ifndef _WIN32
#include "bypass/card_driver.h"
#endif
#include "tools/test_hook.h"
#include "tools/test_hook.h"

namespace HUX_ADAPTER {

namespace {

const HUX_SESSION::session_traits ADAPTER_TRAITS = {
    "tavlog_trade_",                        // log_prefix
    CTradeClient::API_VERSION,              // api_version
    "open trade servr %s:%d successed",     // open_ok_format
    "_th_trade_clt_heart_beat stop",        // hb_stop_line
    6,                                      // logon_send_failed_result
    false,                                  // knows_qv27
    false,                                  // bypass_off_for_good
    true,                                   // detect_any_local_ip
    true,                                   // sigint_every_connect
    true,                                   // plugin_first_close
    false,                                  // warm_up_spacing
    true,                                   // exanic_adapter_form
    false,                                  // max_wait_to_epoll_at_once
};

const int LOGON_HEART_BEAT_NOT_SENT = 15;

// The dotted address of a 16-byte record field, which need not hold a NUL.
void copy_ip_field(char (&out)[17], const char (&field)[16]) {
    memcpy(out, field, sizeof(field));
    out[16] = '\0';
}

CTradeClient* session_of(void* ctx) {
    return static_cast<CTradeClient*>(static_cast<adapter_answer_context*>(ctx)->session);
}

// The session whose close for a loss runs on this thread, and whether that
// close reported anything: its reports are made on the closing thread.
thread_local const CTradeClient* t_loss_close = nullptr;
thread_local bool t_loss_close_reported = false;

}  // namespace

CTradeClient::CTradeClient(void* owner, TradeClientEvent* events, void* user)
    : trade_session_core(ADAPTER_TRAITS, user), m_events(events) {
    m_ctx.owner = owner;
    m_ctx.session = this;
    m_ctx.texts.InitRejectReasonText();
}

CTradeClient::~CTradeClient() {
    // The threads and transports go while this object's hooks can still run.
    shutdown();
}

const HUX_TRADE_CORE::msg_route_table& CTradeClient::routes() const {
    static const HUX_TRADE_CORE::msg_route_table table = [] {
        HUX_TRADE_CORE::msg_route_table t;
        add_answer_routes(t);
        t.add(1070, false, &CTradeClient::on_logon_msg_resp, "logon_msg_resp");
        t.add(1080, false, &CTradeClient::on_report_version_resp, "report_version_resp");
        t.add(1090, false, &CTradeClient::on_set_heart_beat_resp, "set_heart_beat_resp");
        return t;
    }();
    return table;
}

const char* CTradeClient::handled_label(const HUX_TRADE_CORE::msg_route& route, uint16_t type,
                                        const unsigned char* msg) {
    return answer_label(route, type, msg);
}

void CTradeClient::on_report_version_resp(void* ctx, const unsigned char* msg) {
    session_of(ctx)->proc_report_version_resp(msg);
}
void CTradeClient::on_logon_msg_resp(void* ctx, const unsigned char* msg) {
    session_of(ctx)->proc_logon_msg_resp(msg);
}
void CTradeClient::on_set_heart_beat_resp(void* ctx, const unsigned char* msg) {
    session_of(ctx)->proc_set_heart_beat_resp(msg);
}

// ---- connection ----

bool CTradeClient::ConnServer(const HUX_TradeSvrInfo& record) {
    HUX_TradeSvrInfo info;
    memcpy(static_cast<void*>(&info), &record, sizeof(info));
    // A negative interval is refused by the connect before anything
    // changes; the heart-beat setting stays as it was.
    const int32_t interval = info.heartbeat_interval;
    if (interval >= 0) {
        m_hb_flag = interval != 0;
        if (interval != 0) m_hb_interval = interval;
    }

    HUX_SESSION::session_server_info plain;
    copy_ip_field(plain.server_ip, info.server_ip);
    plain.tcp_port = info.tcp_port;
    plain.udp_port = info.udp_port;
    copy_ip_field(plain.local_ip, info.local_ip);
    plain.local_udp_port = info.local_udp_port;
    plain.keep_timestamps = info.keep_timestamps;
    plain.blocking_tcp = info.blocking_tcp;
    plain.kernel_bypass = info.kernel_bypass;
    plain.exit_on_signal = info.exit_on_signal;
    plain.tcp_direct = info.tcp_direct;
    plain.heartbeat_interval = interval < 0 ? interval : m_hb_interval.load();
    plain.rsp_cpu = info.rsp_cpu;
    plain.send_lock = info.send_lock;
    return connect_server(plain, false);
}

bool CTradeClient::DisConnServerAsLost(int code, const char* text) {
    const CTradeClient* const outer = t_loss_close;
    const bool outer_reported = t_loss_close_reported;
    t_loss_close = this;
    t_loss_close_reported = false;
    disconnect_server();
    const bool reported = t_loss_close_reported;
    t_loss_close = outer;
    t_loss_close_reported = outer_reported;
    if (!reported) return true;
    // Not logged on before the report, as for a loss of the session's own
    // connection; but dropped (which starts the reconnect thread's connect)
    // only once the application has heard of the loss, so that the
    // reconnect's "conn ok" never comes before it. A connect the
    // application made meanwhile keeps its state.
    m_logged_on = false;
    m_logon_sent = false;
    m_state = HUX_SESSION::TRADE_STATE_CLOSED;
    MORVAST::TOOLS::test_hook("trade: closed for a loss", this);
    report_connection(code, text);
    int closed = HUX_SESSION::TRADE_STATE_CLOSED;
    if (!transport_installed()) m_state.compare_exchange_strong(closed, HUX_SESSION::TRADE_STATE_DROPPED);
    return true;
}

#ifndef _WIN32
bool CTradeClient::get_ifname_by_ip(const char* ip, char* name) {
    return ip && name && hux_bypass::get_ifname_by_ip(ip, name, &m_log);
}
#endif

int CTradeClient::SendMsgToHuxForNewOrder(char* data, int len, int direction, bool warm) {
    return send_new_order(data, len, direction, 10, warm);
}

// ---- logon ----

void CTradeClient::SaveLoginInfo(const char* login_id, const char* password, const char* app_id,
                                 const char* auth_code) {
    login_id = login_id ? login_id : "";
    password = password ? password : "";
    app_id = app_id ? app_id : "";
    auth_code = auth_code ? auth_code : "";
    keep_logon_texts(login_id, strlen(login_id), password, app_id, strlen(app_id), auth_code, strlen(auth_code));
}

void CTradeClient::GetLogonRespInfo(HUX_LogonResponse& rsp) {
    const HUX_SESSION::logon_values v = GetLogonValues();
    rsp.logon_value = v.logon_value;
    rsp.max_token = static_cast<int32_t>(GetMaxToken());
    rsp.order_fc_count = v.order_fc_count;
    rsp.order_fc_window_us = v.order_fc_window_us;
    rsp.cancel_fc_count = v.cancel_fc_count;
    rsp.cancel_fc_window_us = v.cancel_fc_window_us;
}

// ---- hooks ----

void CTradeClient::report_connection(int code, const char* text) {
    // The close of a loss reports the loss instead (once, afterwards).
    if (t_loss_close == this && (code == 3 || code == 99)) {
        t_loss_close_reported = true;
        return;
    }
    if (m_events) m_events->on_trade_client_connect_event(code, text);
}

void CTradeClient::report_logon(const HUX_SESSION::logon_values& v) {
    if (!m_events) return;
    HUX_LogonResponse rsp;
    rsp.result = v.result;
    rsp.user_id = v.user_id;
    rsp.logon_value = v.logon_value;
    rsp.max_token = v.max_token;
    rsp.order_fc_count = v.order_fc_count;
    rsp.order_fc_window_us = v.order_fc_window_us;
    rsp.cancel_fc_count = v.cancel_fc_count;
    rsp.cancel_fc_window_us = v.cancel_fc_window_us;
    m_events->on_trade_client_logon_event(&rsp);
}

void CTradeClient::report_logon_result(int result, bool with_answer) {
    HUX_SESSION::logon_values v;
    if (with_answer)
        v = GetLogonValues();
    else
        memset(&v, 0, sizeof(v));
    v.result = result;
    report_logon(v);
}

// The logon answer with result 0 on a connection that asked for it. The
// heart-beat setting goes out before the answer is reported (the owner
// starts its query logon from the report): when it cannot be sent the answer
// is reported once, with 15, and the session is not logged on.
void CTradeClient::on_logged_on(const HUX_SESSION::logon_values& values) {
    const int32_t interval = m_hb_interval;
    const bool heart_beat = m_hb_flag;
    if (heart_beat && !send_heart_beat_setting(interval)) {
        HUX_SESSION::logon_values failed = values;
        failed.result = LOGON_HEART_BEAT_NOT_SENT;
        m_logged_on = false;
        report_logon(failed);
        return;
    }
    // A stop asked on hearing of the logon is not undone by the start of the
    // reconnect thread below.
    const unsigned stops = reconnect_stops();
    report_logon(values);
    MORVAST::TOOLS::test_hook("trade: logon reported", this);
    const int driver = GetDriverType();
    m_log.write_important_txt("driver type", driver == 0 ? "efvi api" : driver == 1 ? "exanic api" : "common api");
    m_state = HUX_SESSION::TRADE_STATE_LOGGED_ON;
    if (m_auto_reconnect && !m_rc_running) start_reconnect_thread_unless_stopped(stops);
    // With a heart-beat the binding comes when its thread starts.
    if (!heart_beat) bind_rsp_cpu_or_check_thread("user_logon", server_info().rsp_cpu);
}

void CTradeClient::report_heart_beat_timeout(int seconds) {
    HUX_HeartBeatTimeoutEvent callback = m_on_hb_timeout.load();
    if (callback) callback(m_ctx.owner, seconds);
}

}  // namespace HUX_ADAPTER

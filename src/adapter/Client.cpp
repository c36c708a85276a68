// The adapter's two-session client: logon sequence, event fan-out and the
// request builders.
#include "adapter/Client.h"

#include <cstring>

#include "adapter/query_msg.h"
#include "net/transport_retire.h"
#include "tools/md5.h"
#include "tools/test_hook.h"
#include "tools/tool_function.h"
#include "trade_core/trade_fields.h"
#include "trade_core/trade_wire.h"

namespace HUX_ADAPTER {

using namespace HUX_TRADE_WIRE;

namespace {

const unsigned QUERY_LOGON_PAUSE_MS = 10;

template <typename Msg>
void start(Msg& msg, uint16_t type) {
    memset(&msg, 0, sizeof(msg));
    msg.header.type = type;
    msg.header.length = static_cast<uint16_t>(sizeof(msg));
}

// A caller's text read no further than `limit` characters; null is empty.
size_t bounded_len(const char* text, size_t limit) { return text ? strnlen(text, limit + 1) : 0; }
const char* or_empty(const char* text) { return text ? text : ""; }

}  // namespace

Client::Client(void* user_param) : m_query(this, this, user_param), m_trade(this, this, user_param) {}

Client::~Client() {
    StopCheckAndReconnThread();
    DisConnServer();
    // An event of either session still being handled on another thread
    // (its connection closed under it) may go on into the other session or
    // the application: it ends before either session goes.
    if (!HUX_NET::transport_scope::inside_any()) {
        if (m_events_handled.load() != 0) MORVAST::TOOLS::test_hook("client: destroy waits for events", this);
        while (m_events_handled.load() != 0) MORVAST::TOOLS::sleep_mv(1);
    }
    // The sessions go in reverse order of their members: trade, then query.
}

// ---- session events ----

void Client::on_trade_client_connect_event(int code, const char* text) {
    event_scope handled(m_events_handled);
    // A lost trade connection takes the query session with it; a local
    // close (3) and a closed plug-in (99) leave it.
    if (code != 0 && code != 3 && code != 99) m_query.DisConnServer();
    HUX_ConnectionEvent callback = m_on_connection.load();
    if (callback) callback(this, code, text);
}

void Client::on_query_client_connect_event(int code, const char* text) {
    event_scope handled(m_events_handled);
    // Query connection changes never reach the application; a lost query
    // connection closes the trade session.
    if (code == 0) return;
    // The query session comes back with the next logon of both sessions,
    // never by itself while the trade session is down.
    m_query.HoldReconnect();
    // Lost before the answer to its logon came: the attempt fails with 8.
    if (m_query_logon_pending.exchange(false)) {
        HUX_LogonResponse failed;
        {
            std::lock_guard<std::mutex> guard(m_info_lock);
            failed = m_pending_logon;
        }
        failed.result = CLIENT_QUERY_CONNECT_FAILED;
        HUX_UserLogonEvent callback = m_on_logon.load();
        if (callback) callback(this, &failed);
    }
    close_trade_for_query_loss(code, text);
}

void Client::close_trade_for_query_loss(int code, const char* text) {
    std::lock_guard<std::recursive_mutex> guard(m_connect_lock);
    // The loss of a query connection of an earlier connect, reported late,
    // leaves a trade session the application has connected since.
    if (m_query_epoch.load() != m_connect_epoch.load()) return;
    // The application closed nothing: it hears the loss (2 or 4), and with
    // auto-reconnect on the trade session comes back as after its own loss.
    if (code == 2 || code == 4)
        m_trade.DisConnServerAsLost(code, text);
    else
        m_trade.DisConnServer();
}

void Client::on_trade_client_logon_event(HUX_LogonResponse* rsp) {
    event_scope handled(m_events_handled);
    if (!rsp) return;
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (rsp->result != 0) {
        if (callback) callback(this, rsp);
        m_query.DisConnServer();
        return;
    }
    HUX_TradeSvrInfo info;
    std::string login_id;
    std::string password;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        memcpy(static_cast<void*>(&info), &m_info, sizeof(info));
        login_id = m_login_id;
        password = m_password;
        m_pending_logon = *rsp;
    }
    m_query_epoch.store(m_connect_epoch.load());
    // From here to the query logon answer, the first failure of the query
    // session ends the attempt with 8 (on this thread, or on the query
    // session's when its connection drops), and nothing else does.
    m_query_logon_pending = true;
    if (!m_query.ConnServer(info)) {
        if (m_query_logon_pending.exchange(false)) {
            rsp->result = CLIENT_QUERY_CONNECT_FAILED;
            if (callback) callback(this, rsp);
        }
        m_query.DisConnServer();
        return;
    }
    MORVAST::TOOLS::sleep_mv(QUERY_LOGON_PAUSE_MS);
    query_logon_msg_req request;
    build_query_logon_msg_req(request, login_id.c_str(), password.c_str());
    m_query.SetUserInfo(login_id, password);
    MORVAST::TOOLS::test_hook("client: query logon to send", this);
    if (m_query.SendMsgToHux("query_logon_msg_req", reinterpret_cast<const char*>(&request), sizeof(request),
                             SEND_DIRECTION_QUERY) == -1 &&
        m_query_logon_pending.exchange(false)) {
        // The query connection is gone, and its drop has not been heard (it
        // is not, once the query session is closed here): the attempt fails
        // with 8, and both sessions close as for that drop.
        rsp->result = CLIENT_QUERY_CONNECT_FAILED;
        if (callback) callback(this, rsp);
        m_query.DisConnServer();
        close_trade_for_query_loss(2, "remote disconnected");
    }
}

void Client::on_query_client_logon_event(HUX_LogonResponse* rsp) {
    event_scope handled(m_events_handled);
    if (!rsp) return;
    m_query_logon_pending = false;
    const int32_t query_result = rsp->result;
    m_trade.GetLogonRespInfo(*rsp);
    // Success means both sessions logged on: a query logon after a query
    // reconnect while the trade session is down is reported as not logged on.
    if (query_result == 0 && !m_trade.IsLogon()) rsp->result = CLIENT_NOT_LOGGED_ON;
    HUX_UserLogonEvent callback = m_on_logon.load();
    if (callback) callback(this, rsp);
    if (query_result != 0) m_trade.DisConnServer();
}

// ---- connection ----

bool Client::ConnServer(const HUX_TradeSvrInfo& info) {
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        memcpy(static_cast<void*>(&m_info), &info, sizeof(m_info));
    }
    std::lock_guard<std::recursive_mutex> guard(m_connect_lock);
    ++m_connect_epoch;
    return m_trade.ConnServer(info);
}

bool Client::DisConnServer() {
    StopCheckAndReconnThread();
    if (!m_trade.DisConnServer()) return false;
    m_query.DisConnServer();
    return true;
}

void Client::StopCheckAndReconnThread() {
    m_trade.stop_threads();
    m_query.stop_check_and_reconn_thread();
    if (!HUX_NET::transport_scope::inside_any()) m_query.join_check_and_reconn_thread();
}

bool Client::IsConnect() { return m_trade.IsConnect() && m_query.IsConnect(); }
bool Client::IsLogon() const { return m_trade.IsLogon() && m_query.IsLogon(); }
bool Client::IsTradeConnect() { return m_trade.IsConnect(); }
bool Client::IsQueryConnect() { return m_query.IsConnect(); }

// ---- set-up ----

void Client::SetLogDir(const char* dir) {
    m_trade.SetLogDir(dir);
    m_query.SetLogDir(dir);
}
void Client::SetAutoReconnect(bool on) {
    m_trade.SetAutoReconnect(on);
    m_query.SetAutoReconnect(on);
}
void Client::SetLoggerSwitch(bool on) {
    m_trade.SetLoggerSwitch(on);
    m_query.SetLoggerSwitch(on);
}
void Client::LoggerFlush() {
    m_trade.LoggerFlush();
    m_query.LoggerFlush();
}
void Client::SetMaxWaitTime(int trade_ms, int query_ms) {
    m_trade.SetMaxWaitTime(trade_ms);
    m_query.SetMaxWaitTime(query_ms);
}
void Client::SetUserID(uint32_t user_id) {
    m_trade.SetUserId(user_id);
    m_query.SetUserId(user_id);
}
bool Client::ChangeFCParam(unsigned order_limit, unsigned cancel_limit) {
    if (!m_trade.ChangeFCParam(order_limit, cancel_limit)) return false;
    return m_query.ChangeFCParam(order_limit, cancel_limit);
}

void Client::SetAsyncReceiveMode() { m_trade.SetAsyncReceiveMode(); }
void Client::GetTimestamps(long long* out, int& count) { m_trade.GetTimestamps(out, count); }
uint32_t Client::GetMaxToken() { return m_trade.GetMaxToken(); }
bool Client::SetMaxToken(uint32_t token) { return m_trade.SetMaxToken(token); }
uint32_t Client::GetUserID() const { return m_trade.GetUserID(); }
void* Client::GetUserParam() const { return m_trade.GetUserParam(); }

// ---- logon ----

int Client::ReportVersion(const char* login_id, const char* password, const char* app_id, const char* auth_code) {
    const size_t login_len = bounded_len(login_id, USER_ID_FIELD - 1);
    const size_t app_len = bounded_len(app_id, APP_ID_FIELD);
    const size_t auth_len = bounded_len(auth_code, AUTH_CODE_FIELD);
    if (login_len > USER_ID_FIELD - 1 || app_len > APP_ID_FIELD || auth_len > AUTH_CODE_FIELD)
        return CLIENT_TEXT_TOO_LONG;
    const std::string login(or_empty(login_id), login_len);
    const std::string pass(or_empty(password));
    const std::string app(or_empty(app_id), app_len);
    const std::string auth(or_empty(auth_code), auth_len);

    // Kept before the report goes out: its answer builds the logon request
    // on the receive thread, possibly before the send returns.
    std::string previous_login;
    std::string previous_password;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        previous_login.swap(m_login_id);
        previous_password.swap(m_password);
        m_login_id = login;
        m_password = pass;
    }
    const HUX_SESSION::logon_texts previous_texts = m_trade.GetLoginInfo();
    m_trade.SaveLoginInfo(login.c_str(), pass.c_str(), app.c_str(), auth.c_str());

    report_version msg;
    build_report_version(msg, login.c_str());
    const int sent = m_trade.SendMsgToHux("report_version", reinterpret_cast<char*>(&msg), sizeof(msg),
                                          SEND_DIRECTION_TCP);
    if (sent == -1 || sent == -2) {
        {
            std::lock_guard<std::mutex> guard(m_info_lock);
            m_login_id.swap(previous_login);
            m_password.swap(previous_password);
        }
        m_trade.SaveLoginInfo(previous_texts.login_id.c_str(), previous_texts.password.c_str(),
                              previous_texts.app_id.c_str(), previous_texts.auth_code.c_str());
        return CLIENT_SEND_FAILED;
    }
    return CLIENT_OK;
}

int Client::UserLogon(const char* login_id, const char* password, const char* app_id, const char* auth_code) {
    const size_t login_len = bounded_len(login_id, USER_ID_FIELD - 1);
    const size_t app_len = bounded_len(app_id, APP_ID_FIELD);
    const size_t auth_len = bounded_len(auth_code, AUTH_CODE_FIELD);
    if (login_len > USER_ID_FIELD - 1 || app_len > APP_ID_FIELD || auth_len > AUTH_CODE_FIELD) return -1;
    const std::string pass(or_empty(password));
    if (pass.size() > 0x7fffffffu) return -1;
    logon_msg_req msg;
    start(msg, TYPE_LOGON_MSG_REQ);
    msg.protocol_version = TRADE_PROTOCOL_VERSION;
    memcpy(msg.user_id, or_empty(login_id), login_len);
    MORVAST::TOOLS::encrypt_md5(pass.c_str(), static_cast<int>(pass.size()), msg.password_md5);
    memcpy(msg.auth_code, or_empty(auth_code), auth_len);
    memcpy(msg.app_id, or_empty(app_id), app_len);
    // Kept before the request goes out, as for the version report: the
    // answer starts the query logon with these texts on the receive thread,
    // possibly before the send returns. A failed send puts the old ones back.
    std::string previous_login(or_empty(login_id), login_len);
    std::string previous_password(pass);
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_login_id.swap(previous_login);
        m_password.swap(previous_password);
    }
    const int sent = m_trade.SendMsgToHux("logon_msg_req", reinterpret_cast<char*>(&msg), sizeof(msg),
                                          SEND_DIRECTION_TCP);
    MORVAST::TOOLS::test_hook("client: logon request sent", this);
    if (sent < 0) {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_login_id.swap(previous_login);
        m_password.swap(previous_password);
    }
    return sent;
}

// ---- builders ----

void Client::fillOrder(uint32_t user_id, const HUX_EnterOrderField& in, new_order_req* out, int64_t price,
                       int64_t second_price) {
    start(*out, TYPE_NEW_ORDER_REQ);
    out->user_id = static_cast<uint8_t>(user_id);
    out->exchange_id = in.exchange_id;
    out->opt_4 = in.opt_4;
    out->opt_kind = HUX_TRADE_CORE::FlagKind(in.opt_4, in.opt_6);
    out->opt_8 = HUX_TRADE_CORE::OrderOpt8(in.opt_8);
    out->side = in.keep_side == 0 ? HUX_TRADE_CORE::MapSide(in.exchange_id, in.side) : in.side;
    out->opt_5 = in.opt_5;
    const uint32_t opt_1 = in.opt_1;
    out->opt_1 = opt_1 == 0 ? 1 : opt_1 == 2 ? 2 : 0;
    out->client_token = in.client_token;
    out->quantity = in.quantity;
    out->opt_2 = in.opt_2;
    out->price = price;
    out->second_price = second_price;
    out->opt_9 = in.opt_9;
    out->opt_3 = in.opt_3;
    memcpy(out->account, in.account, sizeof(out->account));
    memcpy(out->symbol, in.symbol, sizeof(out->symbol));
}

void Client::fillCancel(uint32_t user_id, const HUX_CancelOrder& in, cxl_order_request* out) {
    start(*out, TYPE_CXL_ORDER_REQUEST);
    out->user_id = user_id;
    out->client_token = in.client_token;
    const uint8_t mode = in.cancel_mode;
    if (mode != 1) {
        out->market_token = static_cast<uint32_t>(in.market_token);
    } else {
        const uint32_t owner = in.owner_user_id;
        out->owner_user_id = owner != 0 ? owner : user_id;
        out->owner_token = in.owner_token;
    }
    out->opt_1 = in.opt_1;
    out->opt_kind = HUX_TRADE_CORE::FlagKind(in.opt_1, in.opt_2);
    out->opt_3 = in.opt_3;
    out->cancel_mode = mode;
}

void Client::fillSpecialOrder(uint32_t user_id, const HUX_EnterSpecialOrderField& in, new_special_order_req* out) {
    start(*out, TYPE_NEW_SPECIAL_ORDER_REQ);
    out->request_tag = in.request_tag;
    out->user_id = static_cast<uint8_t>(user_id);
    out->exchange_id = in.exchange_id;
    out->opt_4 = in.opt_4;
    out->opt_kind = HUX_TRADE_CORE::FlagKind(in.opt_4, in.opt_6);
    out->opt_2 = in.opt_2;
    out->opt_1 = in.opt_1;
    out->opt_5 = in.opt_5;
    out->opt_7 = in.opt_7;
    out->client_token = in.client_token;
    memcpy(out->account, in.account, sizeof(out->account));
    memcpy(out->symbol, in.symbol, sizeof(out->symbol));
    out->opt_3 = in.opt_3;
}

// The special-order cancel carries its cancel mode at 30 and no opt_3.
void Client::fillCancelSpecialOrder(uint32_t user_id, const HUX_CancelSpecialOrder& in,
                                    cxl_special_order_request* out) {
    start(*out, TYPE_CXL_SPECIAL_ORDER_REQUEST);
    out->request_tag = in.request_tag;
    out->user_id = user_id;
    out->client_token = in.client_token;
    const uint8_t mode = in.cancel_mode;
    if (mode != 1) {
        out->market_token = in.market_token;
    } else {
        const uint32_t owner = in.owner_user_id;
        out->owner_user_id = owner != 0 ? owner : user_id;
        out->owner_token = in.owner_token;
    }
    out->opt_1 = in.opt_1;
    out->opt_kind = HUX_TRADE_CORE::FlagKind(in.opt_1, in.opt_2);
    out->opt_3 = mode;
}

// ---- orders and cancels ----

int Client::order_result(int sent) {
    if (sent == -1) return CLIENT_SEND_FAILED;
    if (sent == -2) return CLIENT_FLOW_CONTROL;
    return CLIENT_OK;
}

bool Client::udp_channel_configured() const {
    std::lock_guard<std::mutex> guard(m_info_lock);
    return m_info.local_ip[0] != '\0' && m_info.local_udp_port != 0 && m_info.udp_port != 0 &&
           m_info.udp_port != m_info.tcp_port;
}

int Client::prepare_order(const HUX_EnterOrderField& order, new_order_req* out) {
    int64_t price = 0;
    int64_t second_price = 0;
    const double p = order.price;
    const double p2 = order.second_price;
    // A price the wire cannot carry is refused before the token moves.
    if (!HUX_TRADE_CORE::ConvertPrice(p, &price) || !HUX_TRADE_CORE::ConvertPrice(p2, &second_price))
        return CLIENT_BAD_PRICE;
    if (!m_trade.SetMaxToken(order.client_token)) return CLIENT_BAD_TOKEN;
    if (!HUX_TRADE_CORE::IsValidExchange(order.exchange_id)) return CLIENT_BAD_EXCHANGE;
    fillOrder(m_trade.GetUserID(), order, out, price, second_price);
    return CLIENT_OK;
}

int Client::EnterOrder(const HUX_EnterOrderField& order) {
    if (order.quantity == 0) return CLIENT_OK;
    new_order_req msg;
    const int checked = prepare_order(order, &msg);
    if (checked != CLIENT_OK) return checked;
    return order_result(m_trade.SendMsgToHuxForNewOrder(reinterpret_cast<char*>(&msg), sizeof(msg),
                                                        SEND_DIRECTION_ORDER, false));
}

int Client::EnterMultiOrders(const HUX_EnterOrderField* orders, int count) {
    if (count < 1 || count > MAX_ORDER_BATCH) return CLIENT_BAD_COUNT;
    if (udp_channel_configured()) return CLIENT_UDP_CHANNEL;
    new_order_req batch[MAX_ORDER_BATCH];
    for (int i = 0; i < count; ++i) {
        const int checked = prepare_order(orders[i], &batch[i]);
        if (checked != CLIENT_OK) return checked;
    }
    return order_result(m_trade.SendMsgToHux("new_mulit_order_req", reinterpret_cast<char*>(batch),
                                             static_cast<int>(sizeof(new_order_req)) * count, SEND_DIRECTION_ORDER));
}

int Client::EnterSpecialOrder(const HUX_EnterSpecialOrderField& order) {
    if (!m_trade.SetMaxToken(order.client_token)) return CLIENT_BAD_TOKEN;
    if (!HUX_TRADE_CORE::IsValidExchange(order.exchange_id)) return CLIENT_BAD_EXCHANGE;
    new_special_order_req msg;
    fillSpecialOrder(m_trade.GetUserID(), order, &msg);
    return order_result(m_trade.SendMsgToHux("new_special_order_req", reinterpret_cast<char*>(&msg), sizeof(msg),
                                             SEND_DIRECTION_ORDER));
}

int Client::CancelOrder(const HUX_CancelOrder& cancel) {
    const uint32_t token = cancel.client_token;
    if (token != 0) m_trade.SetMaxToken(token);
    cxl_order_request msg;
    fillCancel(m_trade.GetUserID(), cancel, &msg);
    return order_result(
        m_trade.SendMsgToHux("cxl_order_request", reinterpret_cast<char*>(&msg), sizeof(msg), SEND_DIRECTION_ORDER));
}

int Client::EnterMultiCxlOrders(const HUX_CancelOrder* cancels, int count) {
    if (count < 1 || count > MAX_CANCEL_BATCH) return CLIENT_BAD_COUNT;
    if (udp_channel_configured()) return CLIENT_UDP_CHANNEL;
    cxl_order_request batch[MAX_CANCEL_BATCH];
    const uint32_t user_id = m_trade.GetUserID();
    for (int i = 0; i < count; ++i) fillCancel(user_id, cancels[i], &batch[i]);
    return order_result(m_trade.SendMsgToHux("mulit_cxl_order_request", reinterpret_cast<char*>(batch),
                                             static_cast<int>(sizeof(cxl_order_request)) * count,
                                             SEND_DIRECTION_ORDER));
}

int Client::CancelSpecialOrder(const HUX_CancelSpecialOrder& cancel) {
    const uint32_t token = cancel.client_token;
    if (token != 0) m_trade.SetMaxToken(token);
    cxl_special_order_request msg;
    fillCancelSpecialOrder(m_trade.GetUserID(), cancel, &msg);
    return order_result(m_trade.SendMsgToHux("cxl_special_order_request", reinterpret_cast<char*>(&msg), sizeof(msg),
                                             SEND_DIRECTION_ORDER));
}

int Client::QueryMarketSession() {
    query_market_session msg;
    build_query_market_session(msg, m_trade.GetUserID());
    return m_trade.SendMsgToHux("query_market_session", reinterpret_cast<char*>(&msg), sizeof(msg),
                                SEND_DIRECTION_TCP) == -1
               ? CLIENT_SEND_FAILED
               : CLIENT_OK;
}

int Client::QuerySymbolStatus() {
    query_symbol_status msg;
    build_query_symbol_status(msg, m_trade.GetUserID());
    return m_trade.SendMsgToHux("query_symbol_status", reinterpret_cast<char*>(&msg), sizeof(msg),
                                SEND_DIRECTION_TCP) == -1
               ? CLIENT_SEND_FAILED
               : CLIENT_OK;
}

int Client::QuerySessionID(const char* session, uint8_t market) {
    if (market != 0 && !HUX_TRADE_CORE::IsValidExchange(market)) return CLIENT_BAD_EXCHANGE;
    query_session_id msg;
    build_query_session_id(msg, m_trade.GetUserID(), or_empty(session), market);
    return m_trade.SendMsgToHux("query_session_id", reinterpret_cast<char*>(&msg), sizeof(msg),
                                SEND_DIRECTION_TCP) == -1
               ? CLIENT_SEND_FAILED
               : CLIENT_OK;
}

// ---- queries ----

int Client::query_send(const char* label, const void* msg, int len) {
    return m_query.SendMsgToHux(label, static_cast<const char*>(msg), len, SEND_DIRECTION_QUERY) == -1
               ? CLIENT_SEND_FAILED
               : CLIENT_OK;
}

int Client::ChangePassword(const char* old_password, const char* new_password) {
    change_password_req msg;
    if (!build_change_password_req(msg, m_trade.GetUserID(), or_empty(old_password), or_empty(new_password)))
        return CLIENT_BAD_PASSWORD;
    return query_send("change_password_req", &msg, sizeof(msg));
}

int Client::QuerySymbol() {
    query_symbol_req msg;
    build_query_symbol_req(msg, m_trade.GetUserID());
    return query_send("query_symbol_req", &msg, sizeof(msg));
}

int Client::QueryUserAccount() {
    query_user_account_req msg;
    build_query_user_account_req(msg, m_trade.GetUserID());
    return query_send("query_user_account_req", &msg, sizeof(msg));
}

int Client::QueryAccountPosition(const char* account, int request_no) {
    query_account_position_req msg;
    if (!build_query_account_position_req(msg, request_no, m_trade.GetUserID(), or_empty(account)))
        return CLIENT_TEXT_TOO_LONG;
    return query_send("query_account_position_req", &msg, sizeof(msg));
}

int Client::QueryAccountBP(const char* account, int request_no) {
    query_account_bp_req msg;
    if (!build_query_account_bp_req(msg, request_no, m_trade.GetUserID(), or_empty(account)))
        return CLIENT_TEXT_TOO_LONG;
    return query_send("query_account_bp_req", &msg, sizeof(msg));
}

int Client::QueryAccountTradeMargin(const char* account) {
    query_account_margin msg;
    if (!build_query_account_margin(msg, m_trade.GetUserID(), or_empty(account))) return CLIENT_TEXT_TOO_LONG;
    return query_send("query_account_margin", &msg, sizeof(msg));
}

int Client::QueryAccountTradeFee(const char* account) {
    query_account_fee msg;
    if (!build_query_account_fee(msg, m_trade.GetUserID(), or_empty(account))) return CLIENT_TEXT_TOO_LONG;
    return query_send("query_account_fee", &msg, sizeof(msg));
}

int Client::QueryAccountOrder(const char* account) {
    rewind_account_order_req msg;
    if (!build_rewind_account_order_req(msg, m_trade.GetUserID(), or_empty(account))) return CLIENT_TEXT_TOO_LONG;
    return query_send("rewind_account_order_req", &msg, sizeof(msg));
}

int Client::QueryAccountOrderExecution(const char* account, uint32_t kind) {
    rewind_account_exec_req msg;
    if (!build_rewind_account_exec_req(msg, m_trade.GetUserID(), or_empty(account), kind))
        return CLIENT_TEXT_TOO_LONG;
    return query_send("rewind_account_exec_req", &msg, sizeof(msg));
}

// The text and the second integer travel in no byte of the request.
int Client::QueryAccountRiskData(const char* account, const char*, int value, int) {
    account_risk_real_data_req msg;
    if (!build_account_risk_real_data_req(msg, value, m_trade.GetUserID(), or_empty(account)))
        return CLIENT_TEXT_TOO_LONG;
    return query_send("account_risk_real_data_req", &msg, sizeof(msg));
}

// The symbol and the integer travel in no byte of the request.
int Client::QueryAccountSymbolRiskData(const char* account, const char*, int) {
    account_symbol_real_data_req msg;
    if (!build_account_symbol_real_data_req(msg, m_trade.GetUserID(), or_empty(account)))
        return CLIENT_TEXT_TOO_LONG;
    return query_send("account_symbol_real_data_req", &msg, sizeof(msg));
}

}  // namespace HUX_ADAPTER

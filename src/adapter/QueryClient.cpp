// The query session: set-up, connect and disconnect, the send routine, the
// receive path and the check-and-reconnect thread.
#include "adapter/QueryClient.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>

#include <poll.h>
#include <time.h>
#endif

#include <chrono>
#include <climits>
#include <cstring>

#include "net/socket_cache_client.h"
#include "net/socket_handle.h"
#include "session/session_logs.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"
#include "tools/tool_function.h"

namespace HUX_ADAPTER {

using MORVAST::TOOLS::snprintf_mv;

namespace {

const unsigned LOG_TEXT_LEN = 256;
// How long a send waits for room in the socket before it looks again
// whether a close was asked.
const int SEND_ROOM_WAIT_MS = 1;

#ifdef _WIN32
// Waits up to `ms` for room to write in the socket.
void wait_for_room(mv_socket sock, int ms) {
    if (sock == MV_INVALID_SOCKET) return;
    fd_set room;
    FD_ZERO(&room);
    FD_SET(sock, &room);
    timeval wait;
    wait.tv_sec = 0;
    wait.tv_usec = ms * 1000;
    select(0, nullptr, &room, nullptr, &wait);
}
#else
void wait_for_room(mv_socket sock, int ms) {
    pollfd room{sock, POLLOUT, 0};
    if (room.fd >= 0) poll(&room, 1, ms);
}
#endif

}  // namespace

// The session's TCP client, and the context of its events. A client the
// session has let go of (closed, replaced or abandoned) is marked dropped
// before its close, so that none of its late events (a close finishing on
// its own thread after the next connect, say) reaches the session.
class query_tcp_client : public socket_cache_client {
public:
    explicit query_tcp_client(CQueryClient* session)
        : socket_cache_client(CQueryClient::TCP_CACHE_SIZE), m_session(session), m_dropped(false) {}
    CQueryClient* const m_session;
    std::atomic<bool> m_dropped;
};

CQueryClient::CQueryClient(void* owner, QueryClientEvent* sink, void* /*user_param*/)
    : m_closing(false),
      m_rc_running(false),
      m_state(QUERY_STATE_NEW),
      m_rc_stop(false),
      m_auto_reconnect(false),
      m_destroying(false),
      m_client(nullptr),
      m_logged_on(false),
      m_user_id(0),
      m_query_port(0),
      m_logger_on(false),
      m_max_wait_ms(DEFAULT_EPOLL_WAIT_MS),
      m_owner(owner),
      m_sink(sink) {
    precise_time::initialize();
    HUX_SESSION::open_session_logs(m_log, m_bin_log, "tavlog_query_");
    log_line("info", "create query client");
}

void CQueryClient::join_check_and_reconn_thread() {
    std::thread reconnect;
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        if (!m_rc_thread.joinable() || m_rc_thread.get_id() == std::this_thread::get_id()) return;
        reconnect = std::move(m_rc_thread);
    }
    reconnect.join();
}

CQueryClient::~CQueryClient() {
    std::thread reconnect;
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        m_destroying = true;
        reconnect = std::move(m_rc_thread);
    }
    stop_check_and_reconn_thread();
    // The reconnect thread calls ConnServer: it ends before the client goes.
    if (reconnect.joinable()) {
        if (reconnect.get_id() == std::this_thread::get_id())
            reconnect.detach();
        else
            reconnect.join();
    }
    DisConnServer();
    // A close still running inside a callback on another thread finishes
    // before anything it uses goes.
    if (!HUX_NET::transport_scope::inside_any())
        while (m_callback_closes.load() != 0) MORVAST::TOOLS::sleep_mv(1);
    m_retired.free_ready();
    log_line("info", "destroy query client");
    m_log.close();
    m_bin_log.close();
}

// ---- set-up ----

void CQueryClient::SetLogDir(const char* dir) { HUX_SESSION::set_session_log_dir(m_log, m_bin_log, dir); }

void CQueryClient::SetLoggerSwitch(bool on) { m_logger_on = on; }

void CQueryClient::LoggerFlush() {
    m_log.flush_all();
    m_bin_log.flush_all();
}

void CQueryClient::SetAutoReconnect(bool on) { m_auto_reconnect = on; }

void CQueryClient::SetMaxWaitTime(int milliseconds) {
    if (milliseconds < 0) return;
    m_max_wait_ms = milliseconds;
    std::lock_guard<std::mutex> guard(m_client_lock);
    if (m_client) m_client->set_epoll_max_wait_time(milliseconds);
}

void CQueryClient::SetTimings(const QueryClientTimings& timings) {
    std::lock_guard<std::mutex> guard(m_info_lock);
    m_timings = timings;
}

QueryClientTimings CQueryClient::GetTimings() const {
    std::lock_guard<std::mutex> guard(m_info_lock);
    return m_timings;
}

void CQueryClient::SetUserInfo(const std::string& login_id, const std::string& password) {
    std::lock_guard<std::mutex> guard(m_info_lock);
    m_login_id = login_id;
    m_password = password;
}

void CQueryClient::SetUserId(uint32_t user_id) { m_user_id = user_id; }

bool CQueryClient::ChangeFCParam(unsigned order_limit, unsigned cancel_limit) {
    std::lock_guard<std::mutex> guard(m_fc_lock);
    return HUX_TRADE_CORE::flow_control_change(m_order_fc, m_cancel_fc, order_limit, cancel_limit);
}

bool CQueryClient::IsConnect() {
    ++m_view_readers;
    query_tcp_client* client = m_client_view.load();
    const bool up = client && client->is_connected();
    --m_view_readers;
    return up;
}

void CQueryClient::wait_view_readers() const {
    while (m_view_readers.load() != 0) std::this_thread::yield();
}

#ifndef _WIN32
uint64_t CQueryClient::convert_now_to_timestamp() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) << 32) | (static_cast<uint64_t>(now.tv_nsec) & 0xffffffffu);
}
#endif

void CQueryClient::log_line(const char* tag, const char* text) { m_log.write_txt(tag, text); }

void CQueryClient::report_connection(int code, const char* text) {
    if (m_sink) m_sink->on_query_client_connect_event(code, text);
}

// ---- connection ----

bool CQueryClient::ConnServer(const HUX_TradeSvrInfo& info) {
    DisConnServer();
    if (m_destroying) return false;
    m_closing = false;

    char ip[sizeof(info.query_ip) + 1];
    memcpy(ip, info.query_ip, sizeof(info.query_ip));
    ip[sizeof(info.query_ip)] = '\0';
    const uint16_t port = info.query_port;
    char text[LOG_TEXT_LEN];
    if (!ip[0] || port == 0) {
        snprintf_mv(text, sizeof(text), "invalid query port params %s:%d.", ip, static_cast<int>(port));
        log_line("info", text);
        return false;
    }

    m_logged_on = false;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_query_ip = ip;
        m_query_port = port;
    }
    query_tcp_client* client = new query_tcp_client(this);
    client->set_epoll_max_wait_time(m_max_wait_ms);
    // Connected outside the lock (a connect may take long); the client goes
    // in only when no disconnect came meanwhile (a refused logon on its own
    // receive thread is one): a disconnect asked during the connect wins.
    const bool connected = client->sock_init(ip, port, &CQueryClient::query_callback, client, false);
    query_tcp_client* displaced = nullptr;
    bool installed = false;
    if (connected) {
        std::lock_guard<std::mutex> guard(m_client_lock);
        if (!m_closing) {
            displaced = m_client;
            m_client = client;
            m_client_view.store(client);
            client->set_epoll_max_wait_time(m_max_wait_ms);
            installed = true;
        }
    }
    // A concurrent connect installed its client first: this one replaces it.
    if (displaced) close_client(displaced);
    if (!installed) {
        // Never the session's: closed without a line, as a failed connect.
        close_client(client, false);
        return false;
    }
    snprintf_mv(text, sizeof(text), "open query servr %s:%d successed", ip, static_cast<int>(port));
    log_line("info", text);
    std::lock_guard<std::mutex> guard(m_info_lock);
    m_saved_info = info;
    return true;
}

bool CQueryClient::DisConnServer() {
    m_closing = true;
    const bool own_thread = HUX_NET::transport_scope::inside(this);
    // Clients retired on their own threads are freed from any other thread.
    if (!own_thread) m_retired.free_ready();
    // A close made inside a callback (of this session or the trade
    // session) is counted until it is done: the destructor, on another
    // thread, waits for it rather than free what it still uses.
    const bool in_callback = HUX_NET::transport_scope::inside_any();
    if (in_callback) ++m_callback_closes;
    query_tcp_client* client = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_client_lock);
        client = m_client;
        m_client = nullptr;
        m_client_view.store(nullptr);
    }
    if (client) close_client(client);
    if (in_callback) --m_callback_closes;
    return true;
}

void CQueryClient::close_client(query_tcp_client* client, bool logged) {
    client->m_dropped = true;
    if (!HUX_NET::transport_scope::inside(this) && HUX_NET::transport_scope::inside_any()) {
        // On the trade session's callback thread: waiting for this client's
        // threads could wait for a thread that waits for this one. Its socket
        // is shut down (its events are ignored from now on) and it is closed
        // and freed later by a thread outside every callback.
        mv_shutdown_socket(client->get_socket());
        if (logged) log_line("info", "close query client");
        m_retired.retire([this, client] {
            client->sock_close();
            wait_view_readers();
            delete client;
        });
        return;
    }
    client->sock_close();
    if (logged) log_line("info", "close query client");
    if (HUX_NET::transport_scope::inside(this)) {
        // This thread may be one of the client's own: it is freed later, by
        // another thread, once its threads have left it.
        m_retired.retire([this, client] {
            client->sock_close();
            wait_view_readers();
            delete client;
        });
        return;
    }
    MORVAST::TOOLS::sleep_mv(GetTimings().close_pause_ms);
    wait_view_readers();
    delete client;
}

// ---- sending ----

int CQueryClient::SendMsgToHux(const char* /*label*/, const char* data, int len, int direction) {
    if (direction != HUX_TRADE_WIRE::SEND_DIRECTION_QUERY) {
        log_line("send_error", "tcp client disconn.");
        return -1;
    }
    // Held for the whole send: requests of different threads never interleave.
    std::lock_guard<std::mutex> guard(m_client_lock);
    query_tcp_client* client = m_client;
    if (!client || !client->is_connected()) {
        log_line("send_error", "tcp client disconn.");
        return -1;
    }
    int64_t units = 0;
    HUX_TRADE_CORE::flow_kind kind = HUX_TRADE_CORE::flow_kind_of(data, len, units);
    if (kind != HUX_TRADE_CORE::FLOW_NONE) {
        std::lock_guard<std::mutex> fc_guard(m_fc_lock);
        HUX_TRADE_CORE::flow_control_window& window = kind == HUX_TRADE_CORE::FLOW_ORDER ? m_order_fc : m_cancel_fc;
        if (!HUX_TRADE_CORE::flow_control_admit(window, units, precise_time::get_current_microseconds())) return -2;
    }
    if (len <= 0) return 0;
    const bool logger = m_logger_on;
    int sent = 0;
    while (sent < len) {
        int n = client->sock_send(data + sent, len - sent);
        if (n < 0) {
            log_line("send_error", "tcp client send data error.");
            return -1;
        }
        if (n == 0) {
            // The socket is full. A close waits for this lock, so once one is
            // asked the send gives up rather than hold it for ever.
            if (m_closing || m_destroying) {
                log_line("send_error", "tcp client send data error.");
                return -1;
            }
            wait_for_room(client->get_socket(), SEND_ROOM_WAIT_MS);
            continue;
        }
        if (logger) m_bin_log.write_bin('0', data + sent, n);
        sent += n;
    }
    return sent;
}

// ---- receiving ----

int CQueryClient::query_callback(socket_param& param, void* context) {
    if (!context) return -1;
    query_tcp_client* client = static_cast<query_tcp_client*>(context);
    CQueryClient* session = client->m_session;
    HUX_NET::transport_scope scope(session);
    // The events of the session's own close are not reported.
    if (session->m_closing || client->m_dropped) return -1;
    session->on_client_event(client, param);
    return -1;
}

int CQueryClient::on_query_callback(socket_param& param) {
    if (!m_closing) on_client_event(nullptr, param);
    return 0;
}

void CQueryClient::on_client_event(query_tcp_client* client, socket_param& param) {
    switch (param.get_event_type()) {
    case EVENT_CONNECT:
        report_connection(0, "conn ok");
        log_line("debug", "query port conn ok");
        m_logged_on = false;
        m_state = QUERY_STATE_CONNECTED;
        // A held reconnect is let go once a connection is up again (no
        // sooner: the state of the lost one would start it).
        m_rc_held = false;
        break;
    case EVENT_REMOTE_DISCONNECT:
        report_connection(2, "remote disconnected");
        log_line("error", "query port disconnected by server");
        m_logged_on = false;
        m_state = QUERY_STATE_DROPPED;
        break;
    case EVENT_LOCALE_DISCONNECT:
        report_connection(3, "local disconnected");
        m_logged_on = false;
        m_state = QUERY_STATE_CLOSED;
        break;
    case EVENT_NETWORK_ERROR:
        report_connection(4, "network error");
        log_line("error", "query port disconnected by network error");
        m_logged_on = false;
        m_state = QUERY_STATE_DROPPED;
        break;
    case EVENT_RECEIVE: {
        const unsigned char* data = reinterpret_cast<const unsigned char*>(param.get_buff_addr());
        const uint32_t len = param.get_buff_size();
        if (!data || len == 0) break;
        // A handler that closed the session (a refused logon) ends the cut:
        // what follows belongs to a connection that is gone.
        uint32_t used = HUX_TRADE_CORE::cut_messages(data, len, [this, client](const unsigned char* p, uint32_t n) {
            return m_closing || (client && client->m_dropped) ? 0 : ProcReceiveMsg(p, n);
        });
        param.set_proc_len(used);
        break;
    }
    default:
        break;
    }
}

const HUX_TRADE_CORE::msg_route_table& CQueryClient::route_table() {
    static const HUX_TRADE_CORE::msg_route_table table = [] {
        HUX_TRADE_CORE::msg_route_table t;
        auto add = [&t](uint16_t type, HUX_TRADE_CORE::msg_handler handler, const char* name) {
            t.add_explicit(type, static_cast<uint16_t>(query_answer_length(type)), false, handler, name);
        };
        add(REWIND_ORDER_EXECUTION_RESPONSE_EX, &on_result_answer<QUERY_SLOT_TRADE_ORDER_EXEC_EX>,
            "rewind_order_execution_response_ex");
        add(QUERY_ERR_RESP, nullptr, "query_err_resp");
        add(QUERY_LOGON_MSG_RESP, &on_logon_resp, "query_logon_msg_resp");
        add(CHANGE_PASSWORD_RESP, &on_result_answer<QUERY_SLOT_CHANGE_PASSWORD>, "change_password_resp");
        add(QUERY_USER_ACCOUNT_RESP, &on_result_answer<QUERY_SLOT_USER_ACCOUNT>, "query_user_account_resp");
        add(QUERY_SYMBOL_RESP, &on_result_answer<QUERY_SLOT_SYMBOL_LIST>, "query_symbol_resp");
        add(QUERY_ACCOUNT_FUT_POSITION_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_POSITION>,
            "query_account_position_resp");
        add(REWIND_ACCOUNT_ORDER_RESPONSE, &on_result_answer<QUERY_SLOT_TRADE_ORDER>,
            "rewind_accoutn_order_response");
        add(REWIND_ORDER_EXECUTION_RESPONSE, &on_result_answer<QUERY_SLOT_TRADE_ORDER_EXEC>,
            "rewind_order_execution_response");
        add(QUERY_ACCOUNT_MARGIN_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_TRADE_MARGIN>,
            "query_account_margin_resp");
        add(QUERY_ACCOUNT_FEE_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_TRADE_FEE>, "query_account_fee_resp");
        add(QUERY_ACCOUNT_BP_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_BP>, "query_account_bp_resp");
        add(ACCOUNT_RISK_REAL_DATA_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_RISK_DATA>,
            "account_risk_real_data_resp");
        add(ACCOUNT_SYMBOL_REAL_DATA_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_SYMBOL_RISK_DATA>,
            "account_symbol_real_data_resp");
        add(QUERY_ACCOUNT_OPT_POSITION_RESP, &on_result_answer<QUERY_SLOT_ACCOUNT_OPTION_POSITION>,
            "query_account_opt_position_resp");
        add(REPORT_ACCOUNT_BP, &on_result_answer<QUERY_SLOT_ACCOUNT_BP_REPORT>, "report_account_bp");
        add(REWIND_ACCOUNT_QUOTE_RESPONSE, &on_quote_rewind, "rewind_quote_response");
        add(QUERY_SILENT_RESP_1099, nullptr, "");
        return t;
    }();
    return table;
}

int CQueryClient::ProcReceiveMsg(const unsigned char* data, unsigned int len) {
    const bool logger = m_logger_on;
    const long long start = logger ? precise_time::get_current_microseconds() : 0;
    HUX_TRADE_CORE::dispatch_step step = HUX_TRADE_CORE::dispatch_one(route_table(), data, len, false, true, this);
    char line[LOG_TEXT_LEN];
    if (step.outcome == HUX_TRADE_CORE::DISPATCH_UNKNOWN_SKIPPED ||
        step.outcome == HUX_TRADE_CORE::DISPATCH_UNKNOWN_DISCARDED) {
        snprintf_mv(line, sizeof(line), "receive unknown msg type: %u, len is %d", static_cast<unsigned>(step.type),
                    static_cast<int>(len > INT_MAX ? INT_MAX : len));
        log_line("error msg type", line);
    }
    // A buffer dropped whole may exceed what the result can say; the rest
    // goes in the next step.
    const int consumed = static_cast<int>(step.consumed > INT_MAX ? INT_MAX : step.consumed);
    if (logger) {
        if (consumed > 0) m_bin_log.write_bin('1', reinterpret_cast<const char*>(data), consumed);
        const bool named = step.outcome == HUX_TRADE_CORE::DISPATCH_HANDLED && step.route;
        snprintf_mv(line, sizeof(line), "proc %s", named ? step.route->name : "");
        m_log.write_txt(line, "");
        const long long cost = precise_time::get_current_microseconds() - start;
        snprintf_mv(line, sizeof(line), "process message type:[%d] cost:[%lld]us", static_cast<int>(step.type), cost);
        m_log.write_txt(line, "");
    }
    return consumed;
}

void CQueryClient::on_logon_resp(void* session, const unsigned char* msg) {
    static_cast<CQueryClient*>(session)->ProcQueryPortLogonRespMsg(reinterpret_cast<const query_logon_msg_resp*>(msg));
}

// The answers meant for the application.
template <int SLOT>
void CQueryClient::on_result_answer(void* session, const unsigned char* msg) {
    static_cast<CQueryClient*>(session)->deliver_result(SLOT, msg);
}

void CQueryClient::log_option_symbol(const char* tag, unsigned failed, bool each_check) {
    if (!m_logger_on || failed == 0) return;
    const int lines = each_check ? __builtin_popcount(failed) : 1;
    for (int i = 0; i < lines; ++i) m_log.write_txt(tag, "");
}

// Each case loads its callback once: an answer whose callback is null is
// neither read nor logged. A closing message of a series gives one call
// with a zeroed record, `last` true, and the closing message's own account
// text and request number.
void CQueryClient::deliver_result(int slot, const unsigned char* msg) {
    void* const owner = m_owner;
    char account[17];
    switch (slot) {
    case QUERY_SLOT_CHANGE_PASSWORD:
        if (HUX_ChangePasswordEvent cb = m_events.ChangePassword.load()) cb(owner, change_password_result(msg));
        break;
    case QUERY_SLOT_USER_ACCOUNT:
        if (HUX_QueryUserAccountEvent cb = m_events.QueryUserAccount.load()) {
            HUX_AccountInfo rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) fill_account_info(rec, msg);
            cb(owner, &rec, last);
        }
        break;
    case QUERY_SLOT_ACCOUNT_POSITION:
        if (HUX_QueryAccountPositionEvent cb = m_events.QueryAccountPosition.load()) {
            HUX_AccountPosition rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) fill_account_position(rec, msg);
            account_text_at(account, msg, 13);
            cb(owner, account, &rec, answer_request_no(msg), last);
        }
        break;
    case QUERY_SLOT_ACCOUNT_OPTION_POSITION:
        if (HUX_QueryAccountOptionPositionEvent cb = m_events.QueryAccountOptionPosition.load()) {
            HUX_AccountOptionPosition rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) {
                const option_outcome outcome = fill_account_option_position(rec, msg);
                log_option_symbol("INVALID_OPT_SYMBOL", outcome.failed, true);
                if (!outcome.deliver) break;
            }
            account_text_at(account, msg, 13);
            cb(owner, account, &rec, answer_request_no(msg), last);
        }
        break;
    case QUERY_SLOT_ACCOUNT_BP:
        if (HUX_QueryAccountBPEvent cb = m_events.QueryAccountBP.load()) {
            HUX_AccountBP rec;
            fill_account_bp(rec, msg);
            cb(owner, rec.account, &rec, answer_request_no(msg));
        }
        break;
    case QUERY_SLOT_ACCOUNT_BP_REPORT:
        if (HUX_ReportAccountBPEvent cb = m_events.ReportAccountBP.load()) {
            HUX_AccountBP rec;
            fill_account_bp(rec, msg);
            cb(owner, rec.account, &rec);
        }
        break;
    case QUERY_SLOT_ACCOUNT_RISK_DATA:
        if (HUX_QueryAccountRiskDataEvent cb = m_events.QueryAccountRiskData.load()) {
            HUX_AccountRiskData rec;
            fill_account_risk_data(rec, msg);
            cb(owner, &rec, 0);
        }
        break;
    case QUERY_SLOT_ACCOUNT_SYMBOL_RISK_DATA:
        if (HUX_QueryAccountSymbolRiskDataEvent cb = m_events.QueryAccountSymbolRiskData.load()) {
            HUX_AccountSymbolRiskData rec;
            fill_account_symbol_risk_data(rec, msg);
            cb(owner, &rec, 0);
        }
        break;
    case QUERY_SLOT_SYMBOL_LIST:
        if (HUX_QuerySymbolListEvent cb = m_events.QuerySymbolList.load()) {
            HUX_SymbolField rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) {
                const option_outcome outcome = fill_symbol_field(rec, msg);
                if (!outcome.deliver) {
                    if (m_logger_on) {
                        char symbol[21];
                        symbol_field_text(symbol, msg);
                        char tag[64];
                        snprintf_mv(tag, sizeof(tag), "INVALID_OPT_SYMBOL:%s", symbol);
                        log_option_symbol(tag, outcome.failed, false);
                    }
                    break;
                }
            }
            cb(owner, &rec, last);
        }
        break;
    case QUERY_SLOT_ACCOUNT_TRADE_MARGIN:
        if (HUX_QueryAccountTradeMarginEvent cb = m_events.QueryAccountTradeMargin.load()) {
            HUX_AccountMargin rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) fill_account_margin(rec, msg);
            account_text_at(account, msg, 9);
            cb(owner, account, &rec, last);
        }
        break;
    case QUERY_SLOT_ACCOUNT_TRADE_FEE:
        if (HUX_QueryAccountTradeFeeEvent cb = m_events.QueryAccountTradeFee.load()) {
            HUX_AccountFee rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = series_closed(msg);
            if (!last) fill_account_fee(rec, msg);
            account_text_at(account, msg, 9);
            cb(owner, account, &rec, last);
        }
        break;
    case QUERY_SLOT_TRADE_ORDER:
        if (HUX_QueryTradeOrderEvent cb = m_events.QueryTradeOrder.load()) {
            HUX_QueryAccountOrder rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = rewind_closed(msg);
            if (!last) fill_query_account_order(rec, msg);
            account_text_at(account, msg, 74);
            cb(owner, account, &rec, last);
        }
        break;
    case QUERY_SLOT_TRADE_ORDER_EXEC:
        if (HUX_QueryTradeOrderExecEvent cb = m_events.QueryTradeOrderExec.load()) {
            HUX_QueryOrderExecution rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = rewind_closed(msg);
            if (!last) fill_query_order_execution(rec, msg);
            account_text_at(account, msg, 13);
            cb(owner, account, &rec, last);
        }
        break;
    case QUERY_SLOT_TRADE_ORDER_EXEC_EX:
        if (HUX_QueryTradeOrderExecEventEx cb = m_events.QueryTradeOrderExecEx.load()) {
            HUX_QueryOrderExecutionEx rec;
            memset(&rec, 0, sizeof(rec));
            const bool last = rewind_closed(msg);
            if (!last) fill_query_order_execution_ex(rec, msg);
            account_text_at(account, msg, 13);
            cb(owner, account, &rec, last);
        }
        break;
    default:
        break;
    }
}

// The quote rewind is consumed without effect.
void CQueryClient::on_quote_rewind(void* /*session*/, const unsigned char* /*msg*/) {}

void CQueryClient::ProcQueryPortLogonRespMsg(const query_logon_msg_resp* msg) {
    if (!msg) return;
    HUX_LogonResponse rsp;
    memset(&rsp, 0, sizeof(rsp));
    rsp.result = static_cast<int32_t>(msg->result);
    rsp.user_id = msg->user_id;
    if (rsp.result != 0) {
        // Refused: reported, then closed for good (the state is not 3, so
        // the reconnect thread does not try again).
        if (m_sink) m_sink->on_query_client_logon_event(&rsp);
        m_user_id = rsp.user_id;
        m_logged_on = false;
        DisConnServer();
        return;
    }
    SetUserId(rsp.user_id);
    m_logged_on = true;
    // A stop asked on hearing of the logon (Client's DisConnServer inside
    // the callback, or on another thread right after it) is not undone by
    // the start of the reconnect thread below.
    unsigned stops;
    {
        std::lock_guard<std::mutex> guard(m_wait_lock);
        stops = m_rc_stops;
    }
    if (m_sink) m_sink->on_query_client_logon_event(&rsp);
    MORVAST::TOOLS::test_hook("query: logon reported", this);
    m_state = QUERY_STATE_LOGGED_ON;
    if (m_auto_reconnect) start_reconnect_thread(&stops);
}

// ---- the check-and-reconnect thread ----

void CQueryClient::stop_check_and_reconn_thread() {
    {
        std::lock_guard<std::mutex> guard(m_wait_lock);
        m_rc_stop = true;
        ++m_rc_stops;
    }
    m_wait_cv.notify_all();
}

bool CQueryClient::wait_or_stop(unsigned ms) {
    std::unique_lock<std::mutex> guard(m_wait_lock);
    return m_wait_cv.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_rc_stop.load(); });
}

void CQueryClient::start_reconnect_thread(const unsigned* stops) {
    std::thread finished;
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        if (m_destroying || m_rc_running) return;
        finished = std::move(m_rc_thread);
    }
    // Its running flag is cleared last: the join only waits for its return.
    if (finished.joinable()) {
        if (finished.get_id() == std::this_thread::get_id())
            finished.detach();
        else
            finished.join();
    }
    std::lock_guard<std::mutex> guard(m_thread_lock);
    if (m_destroying || m_rc_running || m_rc_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> wait_guard(m_wait_lock);
        if (stops && *stops != m_rc_stops) return;
        m_rc_stop = false;
    }
    // Set here rather than by the thread, so that a second logon answer
    // arriving before the thread runs does not start another.
    m_rc_running = true;
    m_rc_thread = std::thread(&CQueryClient::trade_clt_check_and_reconn_thread, this);
}

void CQueryClient::trade_clt_check_and_reconn_thread(CQueryClient* session) {
    session->_th_trade_clt_check_and_reconn();
}

void CQueryClient::_th_trade_clt_check_and_reconn() {
    log_line("debug", "_th_trade_clt_check_and_reconn start");
    m_rc_running = true;
    if (m_rc_stop) {
        m_rc_running = false;
        return;
    }
    for (;;) {
        if (m_state == QUERY_STATE_DROPPED && !m_rc_held && !_th_try_reconn()) break;
        if (wait_or_stop(GetTimings().reconnect_idle_ms)) break;
    }
    log_line("debug", "_th_trade_clt_check_and_reconn stop");
    m_rc_running = false;
}

bool CQueryClient::_th_try_reconn() {
    log_line("debug", "_th_try_reconn start");
    if (m_rc_stop) return false;
    const QueryClientTimings t = GetTimings();
    char text[LOG_TEXT_LEN];
    for (int tries = 1;; ++tries) {
        for (unsigned i = 0; i < t.reconnect_wait_count; ++i) {
            if (wait_or_stop(t.reconnect_wait_ms)) return false;
        }
        if (m_rc_held) return true;
        snprintf_mv(text, sizeof(text), "_th_try_reconn ConnServer try times:%d.", tries);
        log_line("debug", text);
        HUX_TradeSvrInfo info;
        {
            std::lock_guard<std::mutex> guard(m_info_lock);
            info = m_saved_info;
        }
        if (ConnServer(info)) {
            wait_or_stop(t.logon_first_wait_ms);
            query_logon_msg_req req;
            {
                std::lock_guard<std::mutex> guard(m_info_lock);
                build_query_logon_msg_req(req, m_login_id.c_str(), m_password.c_str());
            }
            if (SendMsgToHux("query_logon_msg_req", reinterpret_cast<const char*>(&req), sizeof(req),
                             HUX_TRADE_WIRE::SEND_DIRECTION_QUERY) != -1)
                break;
        }
        if (m_rc_stop) return false;
    }
    for (unsigned i = 0; i < t.logon_wait_count; ++i) {
        if (wait_or_stop(t.logon_wait_ms)) return false;
        if (m_state == QUERY_STATE_LOGGED_ON) {
            log_line("debug", "_th_try_reconn quit for logon success");
            return true;
        }
    }
    return true;
}

}  // namespace HUX_ADAPTER

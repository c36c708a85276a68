// The adapter's query session: one TCP connection (socket_cache_client,
// direct sends) to the query server, over which the client logs on with the
// trade session's user, sends the query requests and receives their answers.
// Connection changes and the logon answer go to the owner through
// QueryClientEvent; the answers meant for the application go to its C
// callbacks.
//
// Threads: the TCP client's event thread and receive worker run every
// callback, the answer handlers and both sink operations; the
// check-and-reconnect thread calls ConnServer and SendMsgToHux; any thread
// may call the rest. One lock guards the TCP client pointer and every use
// of it (a whole send included, so requests never interleave); it is never
// held while a client is closed, a thread is waited for or the sink is
// called. A client closed on one of its own threads (a refused logon, or
// any callback that disconnects) is retired and freed later from another
// thread.
#ifndef HUX_ADAPTER_QUERY_CLIENT_H
#define HUX_ADAPTER_QUERY_CLIENT_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "hux_adapter_query_struct.h"
#include "hux_adapter_struct.h"
#include "adapter/query_msg.h"
#include "adapter/query_results.h"
#include "net/socket_param.h"
#include "net/transport_retire.h"
#include "tools/base_log.h"
#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_flow_control.h"

namespace HUX_ADAPTER {

class query_tcp_client;

// The owner's view of the query session (the two-session client implements
// it). Not deleted through this interface.
class QueryClientEvent {
public:
    // 0 "conn ok", 2 "remote disconnected", 3 "local disconnected",
    // 4 "network error".
    virtual void on_query_client_connect_event(int code, const char* text) = 0;
    // The query logon answer: result and user id set, the other fields 0.
    virtual void on_query_client_logon_event(HUX_LogonResponse* rsp) = 0;

protected:
    ~QueryClientEvent() {}
};

// Session states.
enum enQueryState {
    QUERY_STATE_NEW = 0,
    QUERY_STATE_CONNECTED = 1,
    QUERY_STATE_CLOSED = 2,   // closed locally: no reconnect
    QUERY_STATE_DROPPED = 3,  // closed by the peer or an error: the reconnect thread acts
    QUERY_STATE_LOGGED_ON = 4
};

// The application callbacks of the answers, in the order of the session's
// callback table.
enum enQueryResultSlot {
    QUERY_SLOT_CHANGE_PASSWORD = 0,        // 1069
    QUERY_SLOT_USER_ACCOUNT,               // 1071
    QUERY_SLOT_ACCOUNT_POSITION,           // 1073
    QUERY_SLOT_ACCOUNT_OPTION_POSITION,    // 1092
    QUERY_SLOT_ACCOUNT_BP,                 // 1081
    QUERY_SLOT_ACCOUNT_BP_REPORT,          // 1093
    QUERY_SLOT_ACCOUNT_RISK_DATA,          // 1082
    QUERY_SLOT_ACCOUNT_SYMBOL_RISK_DATA,   // 1083
    QUERY_SLOT_SYMBOL_LIST,                // 1072
    QUERY_SLOT_ACCOUNT_TRADE_MARGIN,       // 1077
    QUERY_SLOT_ACCOUNT_TRADE_FEE,          // 1078
    QUERY_SLOT_TRADE_ORDER,                // 1074
    QUERY_SLOT_TRADE_ORDER_EXEC,           // 1075
    QUERY_SLOT_TRADE_ORDER_EXEC_EX,        // 1063
    QUERY_RESULT_SLOTS
};

// The session's waits. The defaults are the documented ones; tests shorten them.
struct QueryClientTimings {
    unsigned reconnect_idle_ms = 100;     // the reconnect thread's pause between looks at the state
    unsigned reconnect_wait_count = 20;   // waits before each reconnect attempt
    unsigned reconnect_wait_ms = 100;
    unsigned logon_first_wait_ms = 5;     // after a reconnect, before the logon request
    unsigned logon_wait_count = 50;       // waits for the logon answer after a reconnect
    unsigned logon_wait_ms = 100;
    unsigned close_pause_ms = 30;         // DisConnServer's pause after the close
};

class CQueryClient {
public:
    static constexpr unsigned TCP_CACHE_SIZE = 8192;
    // The client's wait for events (no effect on Windows, whose client waits
    // a fixed time).
    static constexpr int DEFAULT_EPOLL_WAIT_MS = 500;

    // `owner` is the first argument of every application callback; the user
    // parameter is not used by the session. Opens "tavlog_query_<date>.log"
    // and ".bin" in the working directory.
    CQueryClient(void* owner, QueryClientEvent* sink, void* user_param);
    // Stops and joins the reconnect thread, disconnects, frees every retired
    // client, then closes the logs.
    ~CQueryClient();
    CQueryClient(const CQueryClient&) = delete;
    CQueryClient& operator=(const CQueryClient&) = delete;

    // ---- set-up ----
    // Letters, digits, '/', '-', '\\' and '_' only; a missing directory is
    // created (0755); both logs are reopened there as "tavlog_<date>".
    void SetLogDir(const char* dir);
    void SetLoggerSwitch(bool on);
    void LoggerFlush();
    void SetAutoReconnect(bool on);  // read when a logon succeeds
    // Negative values are ignored; else kept and passed to a live TCP client.
    void SetMaxWaitTime(int milliseconds);
    void SetTimings(const QueryClientTimings& timings);
    QueryClientTimings GetTimings() const;
    // Kept for the logons of reconnects.
    void SetUserInfo(const std::string& login_id, const std::string& password);
    void SetUserId(uint32_t user_id);
    // Refused (false, nothing changed) when either limit is 0 or above 295.
    bool ChangeFCParam(unsigned order_limit, unsigned cancel_limit);

    // ---- state ----
    bool IsConnect();
    bool IsLogon() const { return m_logged_on; }
    int GetState() const { return m_state; }  // enQueryState
    uint32_t GetUserId() const { return m_user_id; }
    bool IsReconnectRunning() const { return m_rc_running; }
    // Retired clients not yet freed.
    size_t RetiredCount() const { return m_retired.size(); }

    // ---- connection ----
    // Disconnects, then connects to the record's query address and port.
    // False with "invalid query port params" for an empty address or port 0,
    // false when the connect fails. The record is kept for reconnects.
    bool ConnServer(const HUX_TradeSvrInfo& info);
    // Ignores the events of its own close; always true. Does not stop the
    // reconnect thread.
    bool DisConnServer();

    // ---- sending ----
    // Direction 3 only. The bytes sent; -1 not connected, another direction,
    // a send error, or a send the socket keeps refusing once a close is
    // asked; -2 refused by the send-rate limiter. The label only names the call.
    int SendMsgToHux(const char* label, const char* data, int len, int direction);

    // ---- receiving ----
    // One answer from the front of the buffer: the bytes consumed, 0 = wait.
    // Unknown types: 2 or 3 bytes wait; a length field from 4 to the longest
    // answer skips that many bytes; any other drops the buffer.
    int ProcReceiveMsg(const unsigned char* data, unsigned int len);
    // The TCP client's event callback (the context is the client the event
    // comes from); always -1. Events of a client the session has let go of,
    // and every event while the session closes, are ignored.
    static int query_callback(socket_param& param, void* context);
    int on_query_callback(socket_param& param);
    void ProcQueryPortLogonRespMsg(const query_logon_msg_resp* msg);

    // ---- the application's callbacks of the answers ----
    // Null switches an answer off: it is then consumed without being read.
    // Each may be set from any thread; calls come on the receive thread.
    void SetChangePasswordEvent(HUX_ChangePasswordEvent callback) { m_events.ChangePassword = callback; }
    void SetQueryUserAccountEvent(HUX_QueryUserAccountEvent callback) { m_events.QueryUserAccount = callback; }
    void SetQueryAccountPositionEvent(HUX_QueryAccountPositionEvent callback) {
        m_events.QueryAccountPosition = callback;
    }
    void SetQueryAccountOptionPositionEvent(HUX_QueryAccountOptionPositionEvent callback) {
        m_events.QueryAccountOptionPosition = callback;
    }
    void SetQueryAccountBPEvent(HUX_QueryAccountBPEvent callback) { m_events.QueryAccountBP = callback; }
    void SetAccountBPReportEvent(HUX_ReportAccountBPEvent callback) { m_events.ReportAccountBP = callback; }
    void SetQuerySymbolEvent(HUX_QuerySymbolListEvent callback) { m_events.QuerySymbolList = callback; }
    void SetQueryAccountTradeMarginEvent(HUX_QueryAccountTradeMarginEvent callback) {
        m_events.QueryAccountTradeMargin = callback;
    }
    void SetQueryAccountTradeFeeEvent(HUX_QueryAccountTradeFeeEvent callback) {
        m_events.QueryAccountTradeFee = callback;
    }
    void SetQueryTradeOrderEvent(HUX_QueryTradeOrderEvent callback) { m_events.QueryTradeOrder = callback; }
    void SetQueryTradeOrderExecEvent(HUX_QueryTradeOrderExecEvent callback) {
        m_events.QueryTradeOrderExec = callback;
    }
    void SetQueryTradeOrderExecEventEx(HUX_QueryTradeOrderExecEventEx callback) {
        m_events.QueryTradeOrderExecEx = callback;
    }
    void SetQueryAccountRiskDataEvent(HUX_QueryAccountRiskDataEvent callback) {
        m_events.QueryAccountRiskData = callback;
    }
    void SetQueryAccountSymbolRiskDataEvent(HUX_QueryAccountSymbolRiskDataEvent callback) {
        m_events.QueryAccountSymbolRiskData = callback;
    }

    // ---- reconnect thread ----
    // Ends the thread within one of its waits.
    void stop_check_and_reconn_thread();
    // Keeps the thread from reconnecting a lost connection until the next
    // connection is up: the owner brings the session back with its own
    // connect and logon.
    void HoldReconnect() { m_rc_held = true; }
    // Waits for the stopped reconnect thread to end (nothing on that thread
    // itself, or when none runs).
    void join_check_and_reconn_thread();

    // ---- helpers ----
#ifndef _WIN32
    // The realtime clock: seconds in the high 32 bits, nanoseconds in the low.
    static uint64_t convert_now_to_timestamp();
#endif
    static void copy_api_str(char* dst, size_t size, const char* src) { HUX_ADAPTER::copy_api_str(dst, size, src); }

private:
    static const HUX_TRADE_CORE::msg_route_table& route_table();
    static void on_logon_resp(void* session, const unsigned char* msg);
    template <int SLOT>
    static void on_result_answer(void* session, const unsigned char* msg);
    static void on_quote_rewind(void* session, const unsigned char* msg);
    // One answer of a result slot: its record built and handed to the
    // application's callback; nothing at all when the slot is empty.
    void deliver_result(int slot, const unsigned char* msg);
    // The lines of an option symbol the client could not read (logger on only).
    void log_option_symbol(const char* tag, unsigned failed, bool each_check);

    void report_connection(int code, const char* text);
    // An event of `client`, the session's current client or one being
    // connected.
    void on_client_event(query_tcp_client* client, socket_param& param);
    // Closes a client taken out of the session (its events are ignored from
    // here on); on one of the session's own transport threads it is retired
    // instead of freed. `logged`: the "close query client" line.
    void close_client(query_tcp_client* client, bool logged = true);
    // With `stops`, only when no stop was asked since that count was read.
    void start_reconnect_thread(const unsigned* stops = nullptr);
    // The check-and-reconnect thread: its entry, its loop, and one reconnect
    // (false only when stopped).
    static void trade_clt_check_and_reconn_thread(CQueryClient* session);
    void _th_trade_clt_check_and_reconn();
    bool _th_try_reconn();
    // Waits `ms` unless the stop flag is set or gets set: true when stopped.
    bool wait_or_stop(unsigned ms);
    void log_line(const char* tag, const char* text);

    std::atomic<bool> m_closing;
    std::atomic<int> m_callback_closes{0};  // closes under way inside a callback
    std::atomic<bool> m_rc_running;
    std::atomic<int> m_state;
    std::atomic<bool> m_rc_stop;
    // Stops asked of the reconnect thread, under m_wait_lock: the start made
    // for a logon answer reported before a stop does not undo that stop.
    unsigned m_rc_stops = 0;
    std::atomic<bool> m_auto_reconnect;
    std::atomic<bool> m_rc_held{false};  // HoldReconnect until the next "conn ok"
    std::mutex m_thread_lock;  // guards m_rc_thread and m_destroying
    std::thread m_rc_thread;
    std::atomic<bool> m_destroying;
    std::mutex m_wait_lock;  // with m_wait_cv: the reconnect thread's waits
    std::condition_variable m_wait_cv;

    std::mutex m_client_lock;  // guards m_client and every use of it
    query_tcp_client* m_client;
    // IsConnect's lock-free view of m_client (the order path asks it on
    // every order and must not wait behind a query send holding the lock),
    // and the callers using a pointer they loaded from it: a client is freed
    // only once it is out of the view and they are gone.
    std::atomic<query_tcp_client*> m_client_view{nullptr};
    mutable std::atomic<int> m_view_readers{0};
    void wait_view_readers() const;
    HUX_NET::retired_transports m_retired;
    std::atomic<bool> m_logged_on;

    base_log m_log;
    base_log m_bin_log;
    std::atomic<uint32_t> m_user_id;

    mutable std::mutex m_info_lock;  // guards the kept record, address, port, texts and timings
    HUX_TradeSvrInfo m_saved_info;
    std::string m_query_ip;
    uint16_t m_query_port;
    std::atomic<bool> m_logger_on;
    std::atomic<int> m_max_wait_ms;

    void* const m_owner;
    QueryClientEvent* const m_sink;
    // The application's callbacks of the answers, all null until the C API
    // sets them; an answer whose slot is null is consumed without effect.
    query_result_events m_events;

    std::string m_login_id;
    std::string m_password;
    QueryClientTimings m_timings;

    std::mutex m_fc_lock;
    HUX_TRADE_CORE::flow_control_window m_order_fc;
    HUX_TRADE_CORE::flow_control_window m_cancel_fc;
};

}  // namespace HUX_ADAPTER

#endif

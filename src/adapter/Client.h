// The adapter's two-session client: the object behind one API handle. It
// owns the trade session (orders and cancels) and the query session
// (accounts, positions, funds, fees, rewinds, risk data), keeps the
// connection record and the login texts, runs the two-session logon (trade
// first, then query), forwards the trade session's connection events and one
// logon answer per attempt to the application's two callbacks, and builds
// every request the C functions send.
//
// Threads: the sessions' events arrive on their receive threads and
// reconnect threads; the query connect, the 10 ms wait and the query logon
// run on the trade receive thread. Each session's events may close the
// other session on their own thread: such a close never waits for a thread
// of either session (the sessions retire the transport instead).
#ifndef HUX_ADAPTER_CLIENT_H
#define HUX_ADAPTER_CLIENT_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "adapter/QueryClient.h"
#include "adapter/TradeClient.h"
#include "tools/count_scope.h"
#include "hux_adapter_request_struct.h"
#include "hux_adapter_struct.h"
#include "net/deferred_free.h"
#include "trade_core/trade_msg_requests.h"

namespace HUX_ADAPTER {

// Result codes of the client's operations.
enum enClientResult {
    CLIENT_OK = 0,
    CLIENT_SEND_FAILED = 4,       // the request could not be sent
    CLIENT_NOT_LOGGED_ON = 6,
    CLIENT_QUERY_CONNECT_FAILED = 8,
    CLIENT_BAD_TOKEN = 9,         // the client token is not above the current maximum
    CLIENT_BAD_PASSWORD = 10,     // the new password breaks the password rule
    CLIENT_BAD_COUNT = 11,        // a batch of no records or too many
    CLIENT_FLOW_CONTROL = 15,     // refused by the client's flow control
    CLIENT_UDP_CHANNEL = 17,      // a batch while a UDP order channel is configured
    CLIENT_BAD_EXCHANGE = 18,     // an exchange id outside 100..108
    CLIENT_BAD_PRICE = 24,        // a price that is not a number or too large for the wire
    CLIENT_TEXT_TOO_LONG = 256    // a login or account text longer than its field
};

class Client : public QueryClientEvent, public TradeClientEvent {
public:
    static constexpr int MAX_ORDER_BATCH = 16;
    static constexpr int MAX_CANCEL_BATCH = 37;

    explicit Client(void* user_param);
    // Stops the reconnect and heart-beat threads and waits for them, then
    // disconnects; the trade session goes first, then the query session.
    virtual ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // ---- session events ----
    void on_query_client_connect_event(int code, const char* text) override;
    void on_query_client_logon_event(HUX_LogonResponse* rsp) override;
    void on_trade_client_connect_event(int code, const char* text) override;
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override;

    // ---- connection ----
    // Keeps the record and connects the trade session only.
    bool ConnServer(const HUX_TradeSvrInfo& info);
    // Stops the three threads (waiting for them unless called on a thread of
    // either session), disconnects the trade session, then the query session.
    bool DisConnServer();
    // Stops the trade reconnect, trade heart-beat and query reconnect
    // threads, in that order; waits for them to end unless called on a
    // thread of either session.
    void StopCheckAndReconnThread();
    bool IsConnect();
    bool IsLogon() const;
    bool IsTradeConnect();
    bool IsQueryConnect();

    // ---- set-up, both sessions (trade first) ----
    void SetLogDir(const char* dir);
    void SetAutoReconnect(bool on);
    void SetLoggerSwitch(bool on);
    void LoggerFlush();
    void SetMaxWaitTime(int trade_ms, int query_ms);
    void SetUserID(uint32_t user_id);
    // The trade session's limits; the query session's only when the trade
    // session accepted them. The last call's result.
    bool ChangeFCParam(unsigned order_limit, unsigned cancel_limit);

    // ---- trade session only ----
    void SetAsyncReceiveMode();
    void GetTimestamps(long long* out, int& count);
    uint32_t GetMaxToken();
    bool SetMaxToken(uint32_t token);
    uint32_t GetUserID() const;
    bool IsUseVerifyData() const { return false; }
    void* GetUserParam() const;

    // ---- logon ----
    // The version report that opens the logon: the four texts are kept
    // (here and by the trade session) before it goes out, so a fast answer
    // finds them; a failed send restores the texts kept before and gives 4.
    // CLIENT_TEXT_TOO_LONG (nothing sent or kept) when the login id has more
    // than 32 characters, the application id more than 30 or the
    // authorisation code more than 18.
    int ReportVersion(const char* login_id, const char* password, const char* app_id, const char* auth_code);
    // A logon request sent directly on the trade session: the send
    // routine's result; on success the login id and password are kept.
    int UserLogon(const char* login_id, const char* password, const char* app_id, const char* auth_code);

    // ---- orders and cancels (trade session) ----
    int EnterOrder(const HUX_EnterOrderField& order);
    int EnterMultiOrders(const HUX_EnterOrderField* orders, int count);
    int EnterSpecialOrder(const HUX_EnterSpecialOrderField& order);
    int CancelOrder(const HUX_CancelOrder& cancel);
    int EnterMultiCxlOrders(const HUX_CancelOrder* cancels, int count);
    int CancelSpecialOrder(const HUX_CancelSpecialOrder& cancel);
    int QueryMarketSession();
    int QuerySymbolStatus();
    int QuerySessionID(const char* session, uint8_t market);

    // ---- queries (query session) ----
    int ChangePassword(const char* old_password, const char* new_password);
    int QuerySymbol();
    int QueryUserAccount();
    // The account queries: CLIENT_TEXT_TOO_LONG, nothing sent, for an
    // account of more than 15 characters (a null account is empty).
    int QueryAccountPosition(const char* account, int request_no);
    int QueryAccountBP(const char* account, int request_no);
    int QueryAccountTradeMargin(const char* account);
    int QueryAccountTradeFee(const char* account);
    int QueryAccountOrder(const char* account);
    int QueryAccountOrderExecution(const char* account, uint32_t kind);
    int QueryAccountRiskData(const char* account, const char* text, int value, int value2);
    int QueryAccountSymbolRiskData(const char* account, const char* symbol, int value);

    // ---- callbacks ----
    void SetConnectionEvent(HUX_ConnectionEvent callback) { m_on_connection = callback; }
    void SetUserLogonEvent(HUX_UserLogonEvent callback) { m_on_logon = callback; }
    void SetHeartBeatEvent(HUX_HeartBeatTimeoutEvent callback) { m_trade.SetHeartBeatEvent(callback); }
    // Kept and never called: no answer carries market-by-level data. Any
    // function pointer type, cast back by whoever would call it.
    void SetQueryMarketMBLDataEvent(void (*callback)()) { m_on_mbl_data = callback; }
    // The trade answers' callbacks and the query answers' live in the
    // sessions that raise them.
    adapter_trade_events& TradeEvents() { return m_trade.Events(); }
    CTradeClient& Trade() { return m_trade; }
    CQueryClient& Query() { return m_query; }
    // The C functions' calls under way on this client: its destroy waits for
    // them.
    HUX_NET::api_calls& ApiCalls() { return m_api_calls; }

    // Builders of the order and cancel messages (no checks, nothing sent).
    static void fillOrder(uint32_t user_id, const HUX_EnterOrderField& in, HUX_TRADE_WIRE::new_order_req* out,
                          int64_t price, int64_t second_price);
    static void fillCancel(uint32_t user_id, const HUX_CancelOrder& in, HUX_TRADE_WIRE::cxl_order_request* out);
    static void fillSpecialOrder(uint32_t user_id, const HUX_EnterSpecialOrderField& in,
                                 HUX_TRADE_WIRE::new_special_order_req* out);
    static void fillCancelSpecialOrder(uint32_t user_id, const HUX_CancelSpecialOrder& in,
                                       HUX_TRADE_WIRE::cxl_special_order_request* out);

private:
    // The checks and image of one order: 0, 24, 9 or 18.
    int prepare_order(const HUX_EnterOrderField& order, HUX_TRADE_WIRE::new_order_req* out);
    // The kept record asks for a UDP order channel.
    bool udp_channel_configured() const;
    int query_send(const char* label, const void* msg, int len);
    static int order_result(int sent);
    // The close of the trade session for a lost query connection (`code`
    // and `text` the loss the query session reported).
    void close_trade_for_query_loss(int code, const char* text);

    CQueryClient m_query;
    CTradeClient m_trade;
    // Session events being handled: an event of one session may go on into
    // the other (a lost query connection closes the trade session and is
    // reported through it) and into the application, which may call the
    // handle. The destructor, once both sessions are closed, waits for them
    // before either session goes.
    std::atomic<int> m_events_handled{0};
    typedef MORVAST::TOOLS::count_scope event_scope;
    mutable std::mutex m_info_lock;  // the kept record and login texts
    HUX_TradeSvrInfo m_info;
    std::string m_login_id;
    std::string m_password;
    // A query logon is under way (from the query connect to its answer), and
    // the trade logon's answer it started from: a failure reports it with 8.
    std::atomic<bool> m_query_logon_pending{false};
    HUX_LogonResponse m_pending_logon{};
    // The application's connects, counted, and the count when the query
    // session last connected: a lost query connection of an earlier connect,
    // reported late, must not close a trade session connected since.
    std::atomic<uint64_t> m_connect_epoch{0};
    std::atomic<uint64_t> m_query_epoch{0};
    // Held by a connect and by the close of the trade session a lost query
    // connection makes, so that the close's check of the counts and the
    // close itself never straddle a connect. Recursive: a close reported on
    // the connecting thread may come back here.
    std::recursive_mutex m_connect_lock;
    std::atomic<HUX_ConnectionEvent> m_on_connection{nullptr};
    std::atomic<HUX_UserLogonEvent> m_on_logon{nullptr};
    std::atomic<void (*)()> m_on_mbl_data{nullptr};
    HUX_NET::api_calls m_api_calls;
};

}  // namespace HUX_ADAPTER

#endif

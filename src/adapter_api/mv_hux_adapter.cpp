// The MVHUX_* C functions of the adapter library: one two-session client
// per handle. Each function runs its checks in a fixed order (null handle,
// connection, logon, null arguments) and the first that fails decides the
// result; then it calls the client's operation and returns its result.
//
// The functions take no lock of their own: the client's operations are
// safe to call from any thread, and callbacks come on the sessions' threads.
// Every function that uses the handle takes a client_call first and holds it
// until it returns: a destroy on another thread disconnects the client (the
// call then fails fast: 7, 6 or 4), waits for the calls under way and only
// then frees it. On the order path that is one atomic add and subtract.
#include "mv_hux_adapter.h"

#include "adapter/Client.h"
#include "net/deferred_free.h"

using HUX_ADAPTER::Client;

namespace {

// A call on a client handle, counted in the client's calls under way for
// the guard's life; it stands for the client.
using client_call = HUX_NET::handle_call<Client>;

// The connection and logon checks of a request: 7 unless both sessions are
// connected (or the trade session alone, for the special orders), then 6
// unless both are logged on.
inline int request_checks(Client* c, bool trade_only) {
    if (trade_only ? !c->IsTradeConnect() : !c->IsConnect()) return HUX_RESULT_NOT_CONNECTED;
    if (!c->IsLogon()) return HUX_RESULT_NOT_LOGGED_ON;
    return HUX_RESULT_OK;
}

// The client's codes are the C interface's.
static_assert(HUX_ADAPTER::CLIENT_OK == HUX_RESULT_OK, "0");
static_assert(HUX_ADAPTER::CLIENT_SEND_FAILED == HUX_RESULT_SEND_FAILED, "4");
static_assert(HUX_ADAPTER::CLIENT_NOT_LOGGED_ON == HUX_RESULT_NOT_LOGGED_ON, "6");
static_assert(HUX_ADAPTER::CLIENT_BAD_TOKEN == HUX_RESULT_TOKEN_NOT_ABOVE, "9");
static_assert(HUX_ADAPTER::CLIENT_BAD_PASSWORD == HUX_RESULT_BAD_PASSWORD, "10");
static_assert(HUX_ADAPTER::CLIENT_BAD_COUNT == HUX_RESULT_BAD_COUNT, "11");
static_assert(HUX_ADAPTER::CLIENT_FLOW_CONTROL == HUX_RESULT_FLOW_CONTROL, "15");
static_assert(HUX_ADAPTER::CLIENT_UDP_CHANNEL == HUX_RESULT_UDP_CHANNEL, "17");
static_assert(HUX_ADAPTER::CLIENT_BAD_EXCHANGE == HUX_RESULT_BAD_EXCHANGE, "18");
static_assert(HUX_ADAPTER::CLIENT_BAD_PRICE == HUX_RESULT_BAD_PRICE, "24");
static_assert(HUX_ADAPTER::CLIENT_TEXT_TOO_LONG == HUX_RESULT_TEXT_TOO_LONG, "256");

// A market byte MVHUX_QuerySessionID may send: 0 or an exchange 102..108.
inline bool session_market_ok(uint8_t market) { return market == 0 || (market >= 102 && market <= 108); }

// Sets every callback of the client to null (defined with the setters).
void clear_callbacks(void* handle);

}  // namespace

// A request: the handle, connection and logon checks, then `body`.
#define REQUEST(trade_only)                                   \
    if (!handle) return HUX_RESULT_NULL_HANDLE;               \
    const client_call c(handle);                              \
    {                                                         \
        const int checked = request_checks(c, (trade_only));  \
        if (checked != HUX_RESULT_OK) return checked;         \
    }

extern "C" {

// ---- session ----

void* MVHUX_CreateTrade(void* user_param) { return new Client(user_param); }

// Inside a callback, or inside a call on this handle, the client is still in
// use below the application (the receive loop or the call that called it goes
// on once it returns): it is silenced and disconnected here and freed on the
// library's own thread once no call on it is under way. Elsewhere it is
// disconnected, so that calls under way on other threads end quickly, and
// freed once they have returned.
int MVHUX_DestroyTrade(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    Client* c = static_cast<Client*>(handle);
    // The client's disconnect stops both reconnect threads first.
    HUX_NET::destroy_handle(
        handle, c->ApiCalls(), [handle] { clear_callbacks(handle); }, [c] { c->DisConnServer(); }, [c] { delete c; });
    return HUX_RESULT_OK;
}

void* MVHUX_GetUserParam(void* handle) { return handle ? client_call(handle)->GetUserParam() : nullptr; }

void MVHUX_SetLogDir(void* handle, const char* dir) {
    if (!handle || !dir) return;
    client_call(handle)->SetLogDir(dir);
}

int MVHUX_SetAutoReconnect(void* handle, bool on) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->SetAutoReconnect(on);
    return HUX_RESULT_OK;
}

int MVHUX_SetMaxWaitTime(void* handle, int trade_ms, int query_ms) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->SetMaxWaitTime(trade_ms, query_ms);
    return HUX_RESULT_OK;
}

int MVHUX_GetTimestamps(void* handle, long long* timestamps, int* count) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    if (!count || *count < 0 || (!timestamps && *count > 0)) return HUX_RESULT_NULL_ARGUMENT;
    client_call(handle)->GetTimestamps(timestamps, *count);
    return HUX_RESULT_OK;
}

// ConnServer, DisConnServer and UserLogon run callbacks before they return:
// on the caller's thread ("local disconnected", a refused logon) or on the
// session's threads ("conn ok", the logon answer). A destroy made in such a
// callback frees the client only once the call has returned.
int MVHUX_ConnServer(void* handle, const HUX_TradeSvrInfo* info) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const client_call c(handle);
    if (!info) return HUX_RESULT_NULL_ARGUMENT;
    return c->ConnServer(*info) ? HUX_RESULT_OK : HUX_RESULT_CONNECT_FAILED;
}

int MVHUX_DisConnServer(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const client_call c(handle);
    // The threads first: a reconnect under way would undo the disconnect.
    c->StopCheckAndReconnThread();
    c->DisConnServer();
    return HUX_RESULT_OK;
}

// Only the trade session is connected before the logon: the query session
// connects when the trade session has logged on.
int MVHUX_UserLogon(void* handle, const char* login_id, const char* password, const char* app_id,
                    const char* auth_code) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const client_call c(handle);
    if (!c->IsTradeConnect()) return HUX_RESULT_NOT_CONNECTED;
    if (!login_id || !password || !app_id || !auth_code) return HUX_RESULT_NULL_ARGUMENT;
    return c->ReportVersion(login_id, password, app_id, auth_code);
}

int MVHUX_SetLoggerSwitch(void* handle, bool on) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->SetLoggerSwitch(on);
    return HUX_RESULT_OK;
}

int MVHUX_LoggerFlush(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->LoggerFlush();
    return HUX_RESULT_OK;
}

int MVHUX_SetAsyncReceiveMode(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->SetAsyncReceiveMode();
    return HUX_RESULT_OK;
}

int MVHUX_ChangeFCParam(void* handle, unsigned int order_limit, unsigned int cancel_limit) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    return client_call(handle)->ChangeFCParam(order_limit, cancel_limit) ? HUX_RESULT_OK
                                                                         : HUX_RESULT_FC_PARAM_REFUSED;
}

void MVHUX_SetUserId(void* handle, unsigned int user_id) {
    if (!handle) return;
    client_call(handle)->SetUserID(user_id);
}

int MVHUX_GetMaxToken(void* handle, unsigned int* token) {
    REQUEST(false)
    if (!token) return HUX_RESULT_NULL_ARGUMENT;
    *token = c->GetMaxToken();
    return HUX_RESULT_OK;
}

// ---- orders and cancels ----

int MVHUX_EnterOrder(void* handle, HUX_EnterOrderField* order) {
    REQUEST(false)
    if (!order) return HUX_RESULT_NULL_ARGUMENT;
    return c->EnterOrder(*order);
}

int MVHUX_EnterMultiOrders(void* handle, HUX_EnterOrderField* orders, int count) {
    REQUEST(false)
    if (!orders) return HUX_RESULT_NULL_ARGUMENT;
    return c->EnterMultiOrders(orders, count);
}

int MVHUX_EnterSpecialOrder(void* handle, HUX_EnterSpecialOrderField* order) {
    REQUEST(true)
    if (!order) return HUX_RESULT_NULL_ARGUMENT;
    return c->EnterSpecialOrder(*order);
}

int MVHUX_CancelOrder(void* handle, HUX_CancelOrder* cancel) {
    REQUEST(false)
    if (!cancel) return HUX_RESULT_NULL_ARGUMENT;
    return c->CancelOrder(*cancel);
}

int MVHUX_EnterMultiCxlOrders(void* handle, HUX_CancelOrder* cancels, int count) {
    REQUEST(false)
    if (!cancels) return HUX_RESULT_NULL_ARGUMENT;
    return c->EnterMultiCxlOrders(cancels, count);
}

int MVHUX_CancelSpecialOrder(void* handle, HUX_CancelSpecialOrder* cancel) {
    REQUEST(true)
    if (!cancel) return HUX_RESULT_NULL_ARGUMENT;
    return c->CancelSpecialOrder(*cancel);
}

// ---- queries ----

int MVHUX_ChangePassword(void* handle, const char* old_password, const char* new_password) {
    REQUEST(false)
    if (!old_password || !new_password) return HUX_RESULT_NULL_ARGUMENT;
    return c->ChangePassword(old_password, new_password);
}

int MVHUX_QuerySymbolList(void* handle) {
    REQUEST(false)
    return c->QuerySymbol();
}

int MVHUX_QueryUserAccount(void* handle) {
    REQUEST(false)
    return c->QueryUserAccount();
}

int MVHUX_QueryAccountPosition(void* handle, const char* account, int request_no) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountPosition(account, request_no);
}

int MVHUX_QueryAccountBP(void* handle, const char* account, int request_no) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountBP(account, request_no);
}

int MVHUX_QueryAccountTradeMargin(void* handle, const char* account) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountTradeMargin(account);
}

int MVHUX_QueryAccountTradeFee(void* handle, const char* account) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountTradeFee(account);
}

int MVHUX_QueryAccountOrder(void* handle, const char* account) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountOrder(account);
}

int MVHUX_QueryAccountOrderExecution(void* handle, const char* account, unsigned int kind) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountOrderExecution(account, kind);
}

int MVHUX_QueryAccountRiskData(void* handle, const char* account, const char* text, int value, int value2) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountRiskData(account, text, value, value2);
}

int MVHUX_QueryAccountSymbolRiskData(void* handle, const char* account, const char* symbol, int value) {
    REQUEST(false)
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    return c->QueryAccountSymbolRiskData(account, symbol, value);
}

int MVHUX_QueryMarketSession(void* handle) {
    REQUEST(false)
    return c->QueryMarketSession();
}

int MVHUX_QuerySymbolStatus(void* handle) {
    REQUEST(false)
    return c->QuerySymbolStatus();
}

int MVHUX_QuerySessionID(void* handle, const char* session_id, uint8_t market) {
    REQUEST(false)
    if (!session_market_ok(market)) return HUX_RESULT_BAD_EXCHANGE;
    if (!session_id) return HUX_RESULT_NULL_ARGUMENT;
    return c->QuerySessionID(session_id, market);
}

// ---- stubs ----

int MVHUX_QueryMarketMBLData(void*, int, uint8_t, const char*, const char*, int) { return HUX_RESULT_OK; }

uint32_t MVHUX_CalcVerificationValue(void*, HUX_EnterOrderField*) { return 0; }

// ---- callbacks ----

// Every callback setter and where it stores: C in the client, Q in the query
// session, T in a slot of the trade answers. A destroy inside a callback
// clears them all through the same list.
#define HUX_CALLBACK_SETTERS(C, Q, T)                                                                                        \
    C(MVHUX_SetConnectionEvent, HUX_ConnectionEvent, SetConnectionEvent)                                                     \
    C(MVHUX_SetUserLogonEvent, HUX_UserLogonEvent, SetUserLogonEvent)                                                        \
    C(MVHUX_SetHeartBeartTimeoutEvent, HUX_HeartBeatTimeoutEvent, SetHeartBeatEvent)                                         \
    Q(MVHUX_SetChangePasswordEvent, HUX_ChangePasswordEvent, SetChangePasswordEvent)                                         \
    Q(MVHUX_SetQueryUserAccountEvent, HUX_QueryUserAccountEvent, SetQueryUserAccountEvent)                                   \
    Q(MVHUX_SetQueryAccountPositionEvent, HUX_QueryAccountPositionEvent, SetQueryAccountPositionEvent)                       \
    Q(MVHUX_SetQueryAccountOptionPositionEvent, HUX_QueryAccountOptionPositionEvent, SetQueryAccountOptionPositionEvent)     \
    Q(MVHUX_SetQueryAccountBPEvent, HUX_QueryAccountBPEvent, SetQueryAccountBPEvent)                                         \
    Q(MVHUX_ReportAccountBPEvent, HUX_ReportAccountBPEvent, SetAccountBPReportEvent)                                         \
    Q(MVHUX_SetQuerySymbolListEvent, HUX_QuerySymbolListEvent, SetQuerySymbolEvent)                                          \
    Q(MVHUX_SetQueryAccountTradeMarginEvent, HUX_QueryAccountTradeMarginEvent, SetQueryAccountTradeMarginEvent)              \
    Q(MVHUX_SetQueryAccountTradeFeeEvent, HUX_QueryAccountTradeFeeEvent, SetQueryAccountTradeFeeEvent)                       \
    Q(MVHUX_SetQueryTradeOrderEvent, HUX_QueryTradeOrderEvent, SetQueryTradeOrderEvent)                                      \
    Q(MVHUX_SetQueryTradeOrderExecEvent, HUX_QueryTradeOrderExecEvent, SetQueryTradeOrderExecEvent)                          \
    Q(MVHUX_SetQueryTradeOrderExecEventEx, HUX_QueryTradeOrderExecEventEx, SetQueryTradeOrderExecEventEx)                    \
    Q(MVHUX_SetQueryAccountRiskDataEvent, HUX_QueryAccountRiskDataEvent, SetQueryAccountRiskDataEvent)                       \
    Q(MVHUX_SetQueryAccountSymbolRiskDataEvent, HUX_QueryAccountSymbolRiskDataEvent, SetQueryAccountSymbolRiskDataEvent)     \
    T(MVHUX_SetOrderAcceptEvent, HUX_OrderAcceptEvent, OrderAccept)                                                          \
    T(MVHUX_SetOrderMarketAcceptEvent, HUX_OrderMarketAcceptEvent, OrderMarketAccept)                                        \
    T(MVHUX_SetOrderRejectEvent, HUX_OrderRejectEvent, OrderReject)                                                          \
    T(MVHUX_SetOrderMarketRejectEvent, HUX_OrderMarketRejectEvent, OrderMarketReject)                                        \
    T(MVHUX_SetOrderExecutionEvent, HUX_OrderExecutionEvent, OrderExecution)                                                 \
    T(MVHUX_SetOrderCxledEvent, HUX_OrderCxledEvent, OrderCxled)                                                             \
    T(MVHUX_SetCxlOrderRejectEvent, HUX_CxlOrderRejectEvent, CxlOrderReject)                                                 \
    T(MVHUX_SetPostOrderEvent, HUX_PostOrderEvent, PostOrder)                                                                \
    T(MVHUX_SetPostOrderExecutionEvent, HUX_PostOrderExecutionEvent, PostOrderExecution)                                     \
    T(MVHUX_SetQueryMarketSessionEvent, HUX_QueryMarketSessionEvent, QueryMarketSession)                                     \
    T(MVHUX_SetMarketSessionStatReportEvent, HUX_MarketSessionStatReportEvent, MarketSessionStatReport)                      \
    T(MVHUX_SetQuerySymbolStatusEvent, HUX_QuerySymbolStatusEvent, QuerySymbolStatus)                                        \
    T(MVHUX_SetSymbolStatusReportEvent, HUX_SymbolStatusReportEvent, SymbolStatusReport)                                     \
    T(MVHUX_SetQuerySessionIDEvent, HUX_QuerySessionIDEvent, QuerySessionID)                                                 \
    T(MVHUX_SetSpecialOrderAcceptEvent, HUX_SpecialOrderAcceptEvent, SpecialOrderAccept)                                     \
    T(MVHUX_SetSpecialOrderMarketAcceptEvent, HUX_SpecialOrderMarketAcceptEvent, SpecialOrderMarketAccept)                   \
    T(MVHUX_SetSpecialOrderRejectEvent, HUX_SpecialOrderRejectEvent, SpecialOrderReject)                                     \
    T(MVHUX_SetSpecialOrderMarketRejectEvent, HUX_SpecialOrderMarketRejectEvent, SpecialOrderMarketReject)                   \
    T(MVHUX_SetSpecialOrderActionAcceptEvent, HUX_SpecialOrderActionAcceptEvent, SpecialOrderActionAccept)                   \
    T(MVHUX_SetSpecialOrderActionRejectEvent, HUX_SpecialOrderActionRejectEvent, SpecialOrderActionRej)                      \
    T(MVHUX_SetSpecialOrderActionMarketAcceptEvent, HUX_SpecialOrderActionMarketAcceptEvent, SpecialOrderActionMarketAccept) \
    T(MVHUX_SetSpecialOrderActionMarketRejectEvent, HUX_SpecialOrderActionMarketRejectEvent, SpecialOrderActionMarketReject) \
    T(MVHUX_SetPostSpecialOrderEvent, HUX_PostSpecialOrderEvent, PostSpecialOrder)

#define CLIENT_SETTER(function, type, method)       \
    int function(void* handle, type callback) {     \
        if (!handle) return HUX_RESULT_NULL_HANDLE; \
        client_call(handle)->method(callback);      \
        return HUX_RESULT_OK;                       \
    }
#define QUERY_SETTER(function, type, method)           \
    int function(void* handle, type callback) {        \
        if (!handle) return HUX_RESULT_NULL_HANDLE;    \
        client_call(handle)->Query().method(callback); \
        return HUX_RESULT_OK;                          \
    }
#define TRADE_SETTER(function, type, slot)                       \
    int function(void* handle, type callback) {                  \
        if (!handle) return HUX_RESULT_NULL_HANDLE;              \
        client_call(handle)->TradeEvents().slot.store(callback); \
        return HUX_RESULT_OK;                                    \
    }

HUX_CALLBACK_SETTERS(CLIENT_SETTER, QUERY_SETTER, TRADE_SETTER)

// Stored in the client and never called.
int MVHUX_SetQueryMarketMBLDataEvent(void* handle, HUX_QueryMarketMBLDataEvent callback) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    client_call(handle)->SetQueryMarketMBLDataEvent(reinterpret_cast<void (*)()>(callback));
    return HUX_RESULT_OK;
}

#undef CLIENT_SETTER
#undef QUERY_SETTER
#undef TRADE_SETTER

}  // extern "C"

namespace {

void clear_callbacks(void* handle) {
#define HUX_CLEAR(function, type, where) function(handle, nullptr);
    HUX_CALLBACK_SETTERS(HUX_CLEAR, HUX_CLEAR, HUX_CLEAR)
#undef HUX_CLEAR
}

}  // namespace

#undef REQUEST

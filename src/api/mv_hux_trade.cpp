// The MVHUX_* C functions of the trade library: one trade session per
// handle (the CTradeClient object). Each function runs its checks in a fixed
// order and the first that fails decides the result; then it builds the
// request and hands it to the session's send routine.
//
// Every function that uses the handle takes a session_call first and holds
// it until it returns: a destroy on another thread disconnects the session
// (the call then fails fast: 7, 6 or 4), waits for the calls under way and
// only then frees it.
//
// The order path (MVHUX_EnterOrder, MVHUX_EnterQuote) builds its message on
// the stack and allocates nothing; its session_call is one atomic add and
// subtract.
#include "mv_hux_trade.h"

#include <cstring>

#include "net/deferred_free.h"
#include "trade/TradeClient.h"
#include "trade_core/trade_order_entry.h"
#include "trade_core/trade_verify.h"
#include "trade_core/trade_wire.h"

using HUX_TRADE::CTradeClient;
using namespace HUX_TRADE_WIRE;

namespace {

// A call on a session handle, counted in the session's calls under way for
// the guard's life; it stands for the session.
using session_call = HUX_NET::handle_call<CTradeClient>;

// Connection, logon and mode checks shared by the order-entry and query
// functions: 7 not connected, 6 not logged on, 22 mixed-protocol mode (order
// entry), 23 qv27 server (where the function is not available there).
inline int common_checks(CTradeClient* c, bool order_entry, bool refused_on_qv27) {
    if (!c->IsConnect()) return HUX_RESULT_NOT_CONNECTED;
    if (!c->IsLogon()) return HUX_RESULT_NOT_LOGGED_ON;
    if (order_entry && c->GetMixProtccol()) return HUX_RESULT_MIXED_PROTOCOL;
    if (refused_on_qv27 && c->IsQv27Version()) return HUX_RESULT_NOT_ON_QV27;
    return HUX_RESULT_OK;
}

inline bool price_fits(double value) {
    int64_t image;
    return HUX_TRADE_CORE::ConvertPrice(value, &image);
}

// Token check then exchange check of a request that is not a warm-up.
inline int token_and_exchange(CTradeClient* c, uint32_t token, bool check_token, uint8_t exchange_id) {
    if (check_token && !c->SetMaxToken(token)) return HUX_RESULT_TOKEN_NOT_ABOVE;
    if (!HUX_TRADE_CORE::IsValidExchange(exchange_id)) return HUX_RESULT_BAD_EXCHANGE;
    return HUX_RESULT_OK;
}

// Send-routine result to a C API code: -1 failed, -2 refused by flow control.
inline int order_send_result(int rc) {
    if (rc == -1) return HUX_RESULT_SEND_FAILED;
    if (rc == -2) return HUX_RESULT_FLOW_CONTROL;
    return HUX_RESULT_OK;
}

inline int query_send_result(int rc) { return rc == -1 ? HUX_RESULT_SEND_FAILED : HUX_RESULT_OK; }

// Sets every callback of the session to null (defined with the setters).
void clear_callbacks(void* handle);

template <typename Msg>
inline int send_order_entry(CTradeClient* c, const char* name, Msg& msg) {
    return order_send_result(
        c->SendMsgToHux(name, reinterpret_cast<char*>(&msg), static_cast<int>(sizeof(msg)), SEND_DIRECTION_ORDER));
}

template <typename Msg>
inline int send_query(CTradeClient* c, const char* name, Msg& msg) {
    return query_send_result(
        c->SendMsgToHux(name, reinterpret_cast<char*>(&msg), static_cast<int>(sizeof(msg)), SEND_DIRECTION_TCP));
}

// Cancels with a client token raise the session's maximum token when it is
// above it; the answer does not matter.
inline void note_cancel_token(CTradeClient* c, uint32_t client_token, bool skip_on_qv27) {
    if (client_token == 0) return;
    if (skip_on_qv27 && c->IsQv27Version()) return;
    (void)c->SetMaxToken(client_token);
}

}  // namespace

extern "C" {

// ---- session ----

void* MVHUX_CreateTrade(void* user_param) { return new CTradeClient(user_param); }

// Inside a callback, or inside a call on this handle, the session is still in
// use below the application (the receive loop or the call that called it goes
// on once it returns): it is silenced and disconnected here and freed on the
// library's own thread once no call on it is under way. Elsewhere it is
// disconnected, so that calls under way on other threads end quickly, and
// freed once they have returned.
int MVHUX_DestroyTrade(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    CTradeClient* c = static_cast<CTradeClient*>(handle);
    HUX_NET::destroy_handle(
        handle, c->ApiCalls(), [handle] { clear_callbacks(handle); }, [c] { c->StopAndDisConnServer(); },
        [c] { delete c; });
    return HUX_RESULT_OK;
}

void* MVHUX_GetUserParam(void* handle) { return handle ? session_call(handle)->GetUserParam() : nullptr; }

void MVHUX_SetLogDir(void* handle, const char* dir) {
    if (!handle || !dir) return;
    session_call(handle)->SetLogDir(dir);
}

int MVHUX_SetAutoReconnect(void* handle, bool on) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->SetAutoReconnect(on);
    return HUX_RESULT_OK;
}

int MVHUX_SetMaxWaitTime(void* handle, int milliseconds) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->SetMaxWaitTime(milliseconds);
    return HUX_RESULT_OK;
}

int MVHUX_GetTimestamps(void* handle, long long* timestamps, int* count) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    if (!count || *count < 0 || (!timestamps && *count > 0)) return HUX_RESULT_NULL_ARGUMENT;
    session_call(handle)->GetTimestamps(timestamps, *count);
    return HUX_RESULT_OK;
}

// ConnServer, DisConnServer and UserLogon run callbacks before they return:
// on the caller's thread ("local disconnected", a refused logon) or on the
// session's threads ("conn ok", the logon answer). A destroy made in such a
// callback frees the session only once the call has returned.
int MVHUX_ConnServer(void* handle, const HUX_TradeSvrInfo* info, bool mixed_protocol) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    if (!info) return HUX_RESULT_NULL_ARGUMENT;
    return c->ConnServer(info, mixed_protocol) ? HUX_RESULT_OK : HUX_RESULT_CONNECT_FAILED;
}

int MVHUX_DisConnServer(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->StopAndDisConnServer();
    return HUX_RESULT_OK;
}

int MVHUX_UserLogon(void* handle, const char* user_id, const char* password, const char* app_id,
                    const char* auth_code) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    if (!c->IsConnect()) return HUX_RESULT_NOT_CONNECTED;
    if (!user_id || !password || !app_id || !auth_code) return HUX_RESULT_NULL_ARGUMENT;
    static_assert(CTradeClient::LOGON_TEXT_TOO_LONG == HUX_RESULT_TEXT_TOO_LONG, "one code for a too long logon text");
    return c->UserLogon(user_id, password, app_id, auth_code);
}

int MVHUX_GetMaxToken(void* handle, unsigned int* token) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, false, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (!token) return HUX_RESULT_NULL_ARGUMENT;
    *token = c->GetMaxToken();
    return HUX_RESULT_OK;
}

int MVHUX_SetLoggerSwitch(void* handle, bool on) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->SetLoggerSwitch(on);
    return HUX_RESULT_OK;
}

int MVHUX_LoggerFlush(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->LoggerFlush();
    return HUX_RESULT_OK;
}

int MVHUX_SetAsyncReceiveMode(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    session_call(handle)->SetAsyncReceiveMode();
    return HUX_RESULT_OK;
}

int MVHUX_ChangeFCParam(void* handle, unsigned int order_limit, unsigned int cancel_limit) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    return session_call(handle)->ChangeFCParam(order_limit, cancel_limit) ? HUX_RESULT_OK
                                                                          : HUX_RESULT_FC_PARAM_REFUSED;
}

void MVHUX_SetUserId(void* handle, unsigned int user_id) {
    if (!handle) return;
    session_call(handle)->SetUserId(user_id);
}

uint32_t MVHUX_CalcVerificationValue(void* handle, HUX_EnterOrderField* order) {
    if (!handle || !order) return 0;
    return HUX_TRADE_CORE::calc_verification_value(*order, session_call(handle)->GetUserID());
}

// ---- order entry ----

int MVHUX_EnterOrder(void* handle, HUX_EnterOrderField* order, bool skip_token_check) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (!order) return HUX_RESULT_NULL_ARGUMENT;
    // Building changes nothing but the stack message, so it runs before the
    // token check: a price that does not fit is refused before the mark rises,
    // and each price is converted once.
    new_order_req msg;
    if (!HUX_TRADE_CORE::BuildNewOrder(*order, c->GetUserID(), &msg)) return HUX_RESULT_BAD_PRICE;
    const bool warm = HUX_TRADE_CORE::IsWarmUpOrder(*order);
    if (!warm) {
        rc = token_and_exchange(c, order->client_token, !skip_token_check, order->exchange_id);
        if (rc != HUX_RESULT_OK) return rc;
    }
    return order_send_result(c->SendMsgToHuxForNewOrder(reinterpret_cast<char*>(&msg), static_cast<int>(sizeof(msg)),
                                                        SEND_DIRECTION_ORDER, TYPE_NEW_ORDER_REQ, warm));
}

int MVHUX_EnterQuote(void* handle, HUX_EnterQuoteField* quote, bool skip_token_check) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (!quote) return HUX_RESULT_NULL_ARGUMENT;
    new_quote_req msg;  // built before the token check, as for orders
    if (!HUX_TRADE_CORE::BuildNewQuote(*quote, c->GetUserID(), &msg)) return HUX_RESULT_BAD_PRICE;
    const bool warm = HUX_TRADE_CORE::IsWarmUpQuote(*quote);
    if (!warm) {
        rc = token_and_exchange(c, quote->client_token, !skip_token_check, quote->exchange_id);
        if (rc != HUX_RESULT_OK) return rc;
    }
    return order_send_result(c->SendMsgToHuxForNewOrder(reinterpret_cast<char*>(&msg), static_cast<int>(sizeof(msg)),
                                                        SEND_DIRECTION_ORDER, TYPE_NEW_QUOTE_REQ, warm));
}

int MVHUX_EnterCombo(void* handle, HUX_EnterComboField* combo) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!combo) return HUX_RESULT_NULL_ARGUMENT;
    rc = token_and_exchange(c, combo->client_token, true, combo->exchange_id);
    if (rc != HUX_RESULT_OK) return rc;
    new_combo_order_req msg;
    HUX_TRADE_CORE::BuildCombo(*combo, c->GetUserID(), &msg);
    return send_order_entry(c, "EnterCombo", msg);
}

int MVHUX_EnterSpecialOrder(void* handle, HUX_EnterSpecialOrderField* order) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!order) return HUX_RESULT_NULL_ARGUMENT;
    rc = token_and_exchange(c, order->client_token, true, order->exchange_id);
    if (rc != HUX_RESULT_OK) return rc;
    new_special_order_req msg;
    HUX_TRADE_CORE::BuildSpecialOrder(*order, c->GetUserID(), &msg);
    return send_order_entry(c, "EnterSpecialOrder", msg);
}

// Checks of the simple forms after the common ones; on success the account
// and symbol index are set.
static int simple_form_checks(CTradeClient* c, uint32_t client_token, uint8_t exchange_id, const char* account,
                              const char* symbol, int& account_index, int& symbol_index) {
    int rc = token_and_exchange(c, client_token, true, exchange_id);
    if (rc != HUX_RESULT_OK) return rc;
    if (!c->FindAccountIndex(account, account_index)) return HUX_RESULT_UNKNOWN_ACCOUNT;
    if (!c->FindSymbolIndex(symbol, symbol_index)) return HUX_RESULT_UNKNOWN_SYMBOL;
    return HUX_RESULT_OK;
}

int MVHUX_EnterSimpleOrder(void* handle, HUX_EnterOrderSimpleField* order, const char* account, const char* symbol) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!order || !account || !symbol) return HUX_RESULT_NULL_ARGUMENT;
    if (!price_fits(order->price) || !price_fits(order->second_price)) return HUX_RESULT_BAD_PRICE;
    int account_index = 0;
    int symbol_index = 0;
    rc = simple_form_checks(c, order->client_token, order->exchange_id, account, symbol, account_index, symbol_index);
    if (rc != HUX_RESULT_OK) return rc;
    if (!HUX_TRADE_CORE::RewriteSimpleOrder(order, c->GetUserID(), static_cast<uint32_t>(account_index),
                                            static_cast<uint32_t>(symbol_index)))
        return HUX_RESULT_BAD_PRICE;
    return send_order_entry(c, "EnterSimpleOrder", *order);
}

int MVHUX_EnterSimpleQuote(void* handle, HUX_EnterQuoteSimpleField* quote, const char* account, const char* symbol) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    int rc = common_checks(c, true, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!quote || !account || !symbol) return HUX_RESULT_NULL_ARGUMENT;
    if (!price_fits(quote->price_1) || !price_fits(quote->price_2)) return HUX_RESULT_BAD_PRICE;
    int account_index = 0;
    int symbol_index = 0;
    rc = simple_form_checks(c, quote->client_token, quote->exchange_id, account, symbol, account_index, symbol_index);
    if (rc != HUX_RESULT_OK) return rc;
    if (!HUX_TRADE_CORE::RewriteSimpleQuote(quote, c->GetUserID(), static_cast<uint32_t>(account_index),
                                            static_cast<uint32_t>(symbol_index)))
        return HUX_RESULT_BAD_PRICE;
    return send_order_entry(c, "EnterSimpleQuote", *quote);
}

int MVHUX_CancelOrder(void* handle, HUX_CancelOrder* cancel) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, true, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (!cancel) return HUX_RESULT_NULL_ARGUMENT;
    note_cancel_token(c, cancel->client_token, true);
    cxl_order_request msg;
    HUX_TRADE_CORE::BuildCancelOrder(*cancel, c->GetUserID(), &msg);
    return send_order_entry(c, "CancelOrder", msg);
}

int MVHUX_CancelSpecialOrder(void* handle, HUX_CancelSpecialOrder* cancel) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, true, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!cancel) return HUX_RESULT_NULL_ARGUMENT;
    note_cancel_token(c, cancel->client_token, false);
    cxl_special_order_request msg;
    HUX_TRADE_CORE::BuildCancelSpecialOrder(*cancel, c->GetUserID(), &msg);
    return send_order_entry(c, "CancelSpecialOrder", msg);
}

int MVHUX_QuoteAction(void* handle, HUX_QuoteAction* action) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, true, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (!action) return HUX_RESULT_NULL_ARGUMENT;
    note_cancel_token(c, action->client_token, true);
    quote_action_request msg;
    HUX_TRADE_CORE::BuildQuoteAction(*action, c->GetUserID(), &msg);
    return send_order_entry(c, "QuoteAction", msg);
}

// ---- queries ----

int MVHUX_QueryMarketSession(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, false, false);
    if (rc != HUX_RESULT_OK) return rc;
    query_market_session msg;
    build_query_market_session(msg, c->GetUserID());
    return send_query(c, "QueryMarketSession", msg);
}

int MVHUX_QuerySymbolStatus(void* handle) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, false, false);
    if (rc != HUX_RESULT_OK) return rc;
    query_symbol_status msg;
    build_query_symbol_status(msg, c->GetUserID());
    return send_query(c, "QuerySymbolStatus", msg);
}

int MVHUX_QuerySessionID(void* handle, const char* session_id, uint8_t market) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, false, false);
    if (rc != HUX_RESULT_OK) return rc;
    if (market != 0 && !HUX_TRADE_CORE::IsValidExchange(market)) return HUX_RESULT_BAD_EXCHANGE;
    if (!session_id) return HUX_RESULT_NULL_ARGUMENT;
    query_session_id msg;
    build_query_session_id(msg, c->GetUserID(), session_id, market);
    return send_query(c, "QuerySessionID", msg);
}

int MVHUX_QueryOtAccountBP(void* handle, const char* account) {
    if (!handle) return HUX_RESULT_NULL_HANDLE;
    const session_call c(handle);
    const int rc = common_checks(c, false, true);
    if (rc != HUX_RESULT_OK) return rc;
    if (!account) return HUX_RESULT_NULL_ARGUMENT;
    query_account_bp_req msg;
    if (!build_query_account_bp_req(msg, c->GetUserID(), account)) return HUX_RESULT_TEXT_TOO_LONG;
    return send_query(c, "QueryOtAccountBP", msg);
}

// ---- callbacks ----

// Every callback setter and where it stores: S through a session method, A
// into a slot of the answer callbacks. A destroy inside a callback clears
// them all through the same list.
#define HUX_CALLBACK_SETTERS(S, A)                                                                                           \
    S(MVHUX_SetConnectionEvent, HUX_ConnectionEvent, SetConnectionEvent)                                                     \
    S(MVHUX_SetUserLogonEvent, HUX_UserLogonEvent, SetUserLogonEvent)                                                        \
    S(MVHUX_SetHeartBeartTimeoutEvent, HUX_HeartBeatTimeoutEvent, SetHeartBeatTimeoutEvent)                                  \
    A(MVHUX_SetOrderAcceptEvent, HUX_OrderAcceptEvent, OrderAccept)                                                          \
    A(MVHUX_SetComboAcceptEvent, HUX_ComboAcceptEvent, ComboAccept)                                                          \
    A(MVHUX_SetSpecialOrderAcceptEvent, HUX_SpecialOrderAcceptEvent, SpecialOrderAccept)                                     \
    A(MVHUX_SetQuoteAcceptEvent, HUX_QuoteAcceptEvent, QuoteAccept)                                                          \
    A(MVHUX_SetOrderMarketAcceptEvent, HUX_OrderMarketAcceptEvent, OrderMarketAccept)                                        \
    A(MVHUX_SetComboMarketAcceptEvent, HUX_ComboMarketAcceptEvent, ComboMarketAccept)                                        \
    A(MVHUX_SetSpecialOrderMarketAcceptEvent, HUX_SpecialOrderMarketAcceptEvent, SpecialOrderMarketAccept)                   \
    A(MVHUX_SetQuoteMarketAcceptEvent, HUX_QuoteMarketAcceptEvent, QuoteMarketAccept)                                        \
    A(MVHUX_SetOrderMarketReportEvent, HUX_OrderMarketReportEvent, OrderMarketReport)                                        \
    A(MVHUX_SetQuoteMarketReportEvent, HUX_QuoteMarketReportEvent, QuoteMarketReport)                                        \
    A(MVHUX_SetOrderRejectEvent, HUX_OrderRejectEvent, OrderReject)                                                          \
    A(MVHUX_SetComboRejectEvent, HUX_ComboRejectEvent, ComboReject)                                                          \
    A(MVHUX_SetSpecialOrderRejectEvent, HUX_SpecialOrderRejectEvent, SpecialOrderReject)                                     \
    A(MVHUX_SetQuoteRejectEvent, HUX_QuoteRejectEvent, QuoteReject)                                                          \
    A(MVHUX_SetOrderMarketRejectEvent, HUX_OrderMarketRejectEvent, OrderMarketReject)                                        \
    A(MVHUX_SetComboMarketRejectEvent, HUX_ComboMarketRejectEvent, ComboMarketReject)                                        \
    A(MVHUX_SetSpecialOrderMarketRejectEvent, HUX_SpecialOrderMarketRejectEvent, SpecialOrderMarketReject)                   \
    A(MVHUX_SetQuoteMarketRejectEvent, HUX_QuoteMarketRejectEvent, QuoteMarketReject)                                        \
    A(MVHUX_SetOrderActionMarketAcceptEvent, HUX_OrderActionMarketAcceptEvent, OrderActionMarketAccept)                      \
    A(MVHUX_SetSpecialOrderActionMarketAcceptEvent, HUX_SpecialOrderActionMarketAcceptEvent, SpecialOrderActionMarketAccept) \
    A(MVHUX_SetQuoteActionMarketAcceptEvent, HUX_QuoteActionMarketAcceptEvent, QuoteActionMarketAccept)                      \
    A(MVHUX_SetOrderActionMarketRejectEvent, HUX_OrderActionMarketRejectEvent, OrderActionMarketReject)                      \
    A(MVHUX_SetSpecialOrderActionMarketRejectEvent, HUX_SpecialOrderActionMarketRejectEvent, SpecialOrderActionMarketReject) \
    A(MVHUX_SetQuoteActionMarketRejectEvent, HUX_QuoteActionMarketRejectEvent, QuoteActionMarketReject)                      \
    A(MVHUX_SetOrderExecutionEvent, HUX_OrderExecutionEvent, OrderExecution)                                                 \
    A(MVHUX_SetOrderActionAcceptEvent, HUX_OrderActionAcceptEvent, OrderActionAccept)                                        \
    A(MVHUX_SetSpecialOrderActionAcceptEvent, HUX_SpecialOrderActionAcceptEvent, SpecialOrderActionAccept)                   \
    A(MVHUX_SetQuoteActionAcceptEvent, HUX_QuoteActionAcceptEvent, QuoteActionAccept)                                        \
    A(MVHUX_SetOrderActionRejectEvent, HUX_OrderActionRejectEvent, OrderActionReject)                                        \
    A(MVHUX_SetSpecialOrderActionRejectEvent, HUX_SpecialOrderActionRejectEvent, SpecialOrderActionReject)                   \
    A(MVHUX_SetQuoteActionRejectEvent, HUX_QuoteActionRejectEvent, QuoteActionReject)                                        \
    S(MVHUX_SetInputRegForQuoteEvent, HUX_InputRegForQuoteEvent, SetInputRegForQuoteEvent)                                   \
    A(MVHUX_SetPostOrderEvent, HUX_PostOrderEvent, PostOrder)                                                                \
    A(MVHUX_SetPostSpecialOrderEvent, HUX_PostSpecialOrderEvent, PostSpecialOrder)                                           \
    A(MVHUX_SetPostQuoteEvent, HUX_PostQuoteEvent, PostQuote)                                                                \
    A(MVHUX_SetPostOrderExecutionEvent, HUX_PostOrderExecutionEvent, PostOrderExecution)                                     \
    A(MVHUX_SetInternalOrderEvent, HUX_InternalOrderEvent, InternalOrder)                                                    \
    A(MVHUX_SetInternalOrderAdjustStatusEvent, HUX_InternalOrderAdjustStatusEvent, InternalOrderAdjustStatus)                \
    A(MVHUX_SetInternalOrderExecutionEvent, HUX_InternalOrderExecutionEvent, InternalOrderExecution)                         \
    A(MVHUX_SetInternalOrderAdjustMktRejEvent, HUX_InternalOrderAdjustMktRejEvent, InternalOrderAdjustMktRej)                \
    A(MVHUX_SetInternalQuoteAdjustStatusEvent, HUX_InternalQuoteAdjustStatusEvent, InternalQuoteAdjustStatus)                \
    A(MVHUX_SetInternalQuoteAdjustMktRejEvent, HUX_InternalQuoteAdjustMktRejEvent, InternalQuoteAdjustMktRej)                \
    S(MVHUX_SetQueryMarketSessionEvent, HUX_QueryMarketSessionEvent, SetQueryMarketSessionEvent)                             \
    S(MVHUX_SetMarketSessionStatReportEvent, HUX_MarketSessionStatReportEvent, SetMarketSessionStatReportEvent)              \
    S(MVHUX_SetQuerySymbolStatusEvent, HUX_QuerySymbolStatusEvent, SetQuerySymbolStatusEvent)                                \
    S(MVHUX_SetSymbolStatusReportEvent, HUX_SymbolStatusReportEvent, SetSymbolStatusReportEvent)                             \
    S(MVHUX_SetProdStatusReportEvent, HUX_ProdStatusReportEvent, SetProdStatusReportEvent)                                   \
    S(MVHUX_SetQuerySessionIDEvent, HUX_QuerySessionIDEvent, SetQuerySessionIDEvent)                                         \
    S(MVHUX_SetQueryOtAccountBPEvent, HUX_QueryOtAccountBPEvent, SetQueryOtAccountBPEvent)

#define SESSION_SETTER(function, type, method)      \
    int function(void* handle, type callback) {     \
        if (!handle) return HUX_RESULT_NULL_HANDLE; \
        session_call(handle)->method(callback);     \
        return HUX_RESULT_OK;                       \
    }
#define ANSWER_SETTER(function, type, slot)                        \
    int function(void* handle, type callback) {                    \
        if (!handle) return HUX_RESULT_NULL_HANDLE;                \
        session_call(handle)->AnswerEvents().slot.store(callback); \
        return HUX_RESULT_OK;                                      \
    }

HUX_CALLBACK_SETTERS(SESSION_SETTER, ANSWER_SETTER)

#undef SESSION_SETTER
#undef ANSWER_SETTER

}  // extern "C"

namespace {

void clear_callbacks(void* handle) {
#define HUX_CLEAR(function, type, where) function(handle, nullptr);
    HUX_CALLBACK_SETTERS(HUX_CLEAR, HUX_CLEAR)
#undef HUX_CLEAR
}

}  // namespace

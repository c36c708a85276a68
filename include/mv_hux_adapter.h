/* The C interface of the adapter library libhuxadapter: one handle per
 * two-session client (a trade session for orders and cancels, a query
 * session for accounts, positions, funds, fees, rewinds and risk data).
 * Every function but MVHUX_CreateTrade takes the handle returned by
 * MVHUX_CreateTrade first. Results are the small integer codes below; the
 * first check that fails decides the result, in the order each function's
 * comment gives.
 *
 * Any function may be called on any thread at any time, inside a callback
 * included, and either does what it says or returns a documented code; it
 * never touches freed memory, a closed descriptor or another connection's
 * socket.
 *
 * Callbacks run on the library's threads (the sessions' receive and
 * reconnect threads). Each gets the handle first; a record or text pointer is
 * valid only during the call. A null callback switches its event off.
 *
 * The records share their names with the trade library's (mv_hux_trade.h)
 * but not their layouts: an application uses one library's headers only. */
#ifndef MV_HUX_ADAPTER_H
#define MV_HUX_ADAPTER_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "hux_adapter_query_struct.h"
#include "hux_adapter_request_struct.h"
#include "hux_adapter_struct.h"

#if defined(_WIN32)
/* The DLL HUXAdapterApi exports by its module-definition file alone. */
#define HUX_ADAPTER_API
#else
#define HUX_ADAPTER_API __attribute__((visibility("default")))
#endif

/* Result codes. */
#define HUX_RESULT_OK 0                 /* done: sent, stored or started */
#define HUX_RESULT_CONNECT_FAILED 1     /* MVHUX_ConnServer: the trade session could not start its connection */
#define HUX_RESULT_SEND_FAILED 4        /* the send failed; MVHUX_UserLogon: the version report was not sent */
#define HUX_RESULT_NOT_LOGGED_ON 6      /* the trade and the query session must both be logged on */
#define HUX_RESULT_NOT_CONNECTED 7      /* both sessions must be connected (the trade session only, where named) */
#define HUX_RESULT_NULL_HANDLE 8
#define HUX_RESULT_TOKEN_NOT_ABOVE 9    /* client token not above the current maximum token */
#define HUX_RESULT_BAD_PASSWORD 10      /* MVHUX_ChangePassword: the new password breaks the rule; nothing sent */
#define HUX_RESULT_BAD_COUNT 11         /* batch size outside 1..16 (orders) or 1..37 (cancels) */
#define HUX_RESULT_FLOW_CONTROL 15      /* client flow control refused the send */
#define HUX_RESULT_FC_PARAM_REFUSED 16  /* MVHUX_ChangeFCParam: limits refused */
#define HUX_RESULT_UDP_CHANNEL 17       /* batch refused: the connection record configures a UDP order channel */
#define HUX_RESULT_BAD_EXCHANGE 18      /* exchange id outside 100..108; QuerySessionID: market not 0 or 102..108 */
/* A price of the record is not a number, infinite, or so large that its
 * image (price x 10000) does not fit a signed 64-bit integer. Checked before
 * the record's token is raised (per record in a batch); nothing is sent. */
#define HUX_RESULT_BAD_PRICE 24
/* A record, array, text or output argument that the function reads is null
 * (or MVHUX_GetTimestamps was given a negative count). Checked after the
 * handle, connection and logon checks and before anything changes. */
#define HUX_RESULT_NULL_ARGUMENT 25
/* MVHUX_UserLogon: the login id has more than 32 characters, the application
 * id more than 30 or the authorisation code more than 18. Nothing is sent or
 * kept. The account queries (the MVHUX_QueryAccount* functions): the account
 * has more than 15 characters (it is read no further than its 16th byte).
 * Checked after 25; nothing is sent: cut to its field, it would name another
 * account. The same value as the trade library's. */
#define HUX_RESULT_TEXT_TOO_LONG 256

#pragma pack(push, 1)

/* The market-by-level answer. The adapter sends no such query and receives
 * no such answer: MVHUX_QueryMarketMBLData does nothing, and the callback
 * MVHUX_SetQueryMarketMBLDataEvent stores is never called. No layout of the
 * record is defined; one reserved byte makes the type complete. */
typedef struct HUX_MarketMBLData {
    uint8_t reserved;
} HUX_MarketMBLData;

#pragma pack(pop)

HUX_STATIC_ASSERT(sizeof(HUX_MarketMBLData) == 1, "HUX_MarketMBLData is one reserved byte");

typedef void (*HUX_QueryMarketMBLDataEvent)(void* handle, HUX_MarketMBLData* data, bool last);

#ifdef __cplusplus
extern "C" {
#endif

/* ---- session ---- */

/* A new client (two sessions) whose MVHUX_GetUserParam gives user_param back. */
HUX_ADAPTER_API void* MVHUX_CreateTrade(void* user_param);
/* 8; 0. Stops the client's threads, closes both sessions and frees the
 * client; the handle is invalid afterwards. A connected client reports 3
 * "local disconnected" to the connection callback on the way. It waits for
 * the calls on the handle under way on other threads (once disconnected they
 * end with 7, 6 or 4, or their request went out); a call that begins after
 * the destroy has returned uses a handle that no longer exists. Inside a
 * callback (of any client, or one that MVHUX_ConnServer, MVHUX_DisConnServer
 * or MVHUX_UserLogon runs on the caller's thread) both sessions are closed at
 * once and no callback of the client comes any more, not even "local
 * disconnected"; the client is freed by a thread of the library's own once
 * the callback has returned and no call on it is under way (the callbacks of
 * MVHUX_ConnServer, MVHUX_DisConnServer and MVHUX_UserLogon can come before
 * they return), with no further call needed, and the library is not unloaded
 * before that (Linux: its unload waits; Windows: the thread keeps the DLL
 * loaded until it ends). */
HUX_ADAPTER_API int MVHUX_DestroyTrade(void* handle);
/* The user parameter; null for a null handle. */
HUX_ADAPTER_API void* MVHUX_GetUserParam(void* handle);
/* Log directory of both sessions. No effect for a null handle or text. */
HUX_ADAPTER_API void MVHUX_SetLogDir(void* handle, const char* dir);
/* 8; 0. Both sessions. */
HUX_ADAPTER_API int MVHUX_SetAutoReconnect(void* handle, bool on);
/* 8; 0. The receive waits in milliseconds, each to its session. */
HUX_ADAPTER_API int MVHUX_SetMaxWaitTime(void* handle, int trade_ms, int query_ms);
/* 8; 25 (null count, negative count, or a null array for a positive count);
 * 0 with *count set to the number of the trade session's transmit timestamps
 * written (at most the count given). */
HUX_ADAPTER_API int MVHUX_GetTimestamps(void* handle, long long* timestamps, int* count);
/* 8; 25 null record; 0 when the trade session started its connection, else 1.
 * The query session connects after the trade logon. */
HUX_ADAPTER_API int MVHUX_ConnServer(void* handle, const HUX_TradeSvrInfo* info);
/* 8; 0. Stops the reconnect and heart-beat threads, then closes the trade
 * session and the query session. */
HUX_ADAPTER_API int MVHUX_DisConnServer(void* handle);
/* 8; 7 (the trade session only); 25 (any text null); 256; 4; 0: the outcome
 * of the two logons arrives through the logon callback. */
HUX_ADAPTER_API int MVHUX_UserLogon(void* handle, const char* login_id, const char* password, const char* app_id,
                                    const char* auth_code);
/* 8; 0. Both sessions. */
HUX_ADAPTER_API int MVHUX_SetLoggerSwitch(void* handle, bool on);
/* 8; 0. Both sessions. */
HUX_ADAPTER_API int MVHUX_LoggerFlush(void* handle);
/* 8; 0. The trade session's asynchronous receive mode. */
HUX_ADAPTER_API int MVHUX_SetAsyncReceiveMode(void* handle);
/* 8; 16 refused; 0. The trade session's limits first, the query session's
 * only when the trade session took them (16 may come after the trade
 * session's limits changed). */
HUX_ADAPTER_API int MVHUX_ChangeFCParam(void* handle, unsigned int order_limit, unsigned int cancel_limit);
/* Replaces the numeric user id of both sessions. No effect for a null handle. */
HUX_ADAPTER_API void MVHUX_SetUserId(void* handle, unsigned int user_id);
/* 8, 7, 6, 25; 0 with the trade session's maximum order token in *token. */
HUX_ADAPTER_API int MVHUX_GetMaxToken(void* handle, unsigned int* token);

/* ---- orders, cancels and queries ----
 * Checks in this order: 8 null handle; 7 not connected (both sessions unless
 * the trade session only is named); 6 not logged on (both sessions); 25 a
 * null argument; then the function's own. Send results: orders and cancels
 * 4 send failed, 15 flow control; queries 4 send failed; else 0. */

/* 8, 7, 6, 25; quantity 0: 0 and nothing sent; 24; token 9 (raised when
 * above); exchange 18 (the token stays raised). */
HUX_ADAPTER_API int MVHUX_EnterOrder(void* handle, HUX_EnterOrderField* order);
/* 8, 7, 6, 25; count 11; UDP channel 17; per record 24, 9, 18 (tokens of
 * earlier records stay raised, nothing is sent); one write of count orders. */
HUX_ADAPTER_API int MVHUX_EnterMultiOrders(void* handle, HUX_EnterOrderField* orders, int count);
/* 8, 7 (trade session only), 6, 25; token 9; exchange 18. */
HUX_ADAPTER_API int MVHUX_EnterSpecialOrder(void* handle, HUX_EnterSpecialOrderField* order);
/* 8, 7, 6, 25. A non-zero client token raises the maximum token when above it. */
HUX_ADAPTER_API int MVHUX_CancelOrder(void* handle, HUX_CancelOrder* cancel);
/* 8, 7, 6, 25; count 11; UDP channel 17; one write of count cancels. */
HUX_ADAPTER_API int MVHUX_EnterMultiCxlOrders(void* handle, HUX_CancelOrder* cancels, int count);
/* 8, 7 (trade session only), 6, 25. As MVHUX_CancelOrder for the token. */
HUX_ADAPTER_API int MVHUX_CancelSpecialOrder(void* handle, HUX_CancelSpecialOrder* cancel);
/* 8, 7, 6, 25; 10 the new password is not 8 to 32 letters, digits or '_'
 * with a letter and a digit. */
HUX_ADAPTER_API int MVHUX_ChangePassword(void* handle, const char* old_password, const char* new_password);
/* 8, 7, 6; 4; 0. */
HUX_ADAPTER_API int MVHUX_QuerySymbolList(void* handle);
/* 8, 7, 6; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryUserAccount(void* handle);
/* 8, 7, 6, 25, 256 (more than 15 characters of account); 4; 0. The account
 * is sent whole, as in every account query below. */
HUX_ADAPTER_API int MVHUX_QueryAccountPosition(void* handle, const char* account, int request_no);
/* 8, 7, 6, 25, 256; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryAccountBP(void* handle, const char* account, int request_no);
/* 8, 7, 6, 25, 256; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryAccountTradeMargin(void* handle, const char* account);
/* 8, 7, 6, 25, 256; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryAccountTradeFee(void* handle, const char* account);
/* 8, 7, 6, 25, 256; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryAccountOrder(void* handle, const char* account);
/* 8, 7, 6, 25, 256; 4; 0. */
HUX_ADAPTER_API int MVHUX_QueryAccountOrderExecution(void* handle, const char* account, unsigned int kind);
/* 8, 7, 6, 25 (account), 256; 4; 0. The text and the second integer travel
 * in no byte of the request: the text may be null. */
HUX_ADAPTER_API int MVHUX_QueryAccountRiskData(void* handle, const char* account, const char* text, int value,
                                               int value2);
/* 8, 7, 6, 25 (account), 256; 4; 0. The symbol and the integer travel in no
 * byte of the request: the symbol may be null. */
HUX_ADAPTER_API int MVHUX_QueryAccountSymbolRiskData(void* handle, const char* account, const char* symbol,
                                                     int value);
/* 8, 7, 6; 4; 0. Sent on the trade session. */
HUX_ADAPTER_API int MVHUX_QueryMarketSession(void* handle);
/* 8, 7, 6; 4; 0. Sent on the trade session. */
HUX_ADAPTER_API int MVHUX_QuerySymbolStatus(void* handle);
/* 8, 7, 6; 18 when market is not 0 and outside 102..108; 25; 4; 0. At most
 * 16 characters of the session text are sent, on the trade session. */
HUX_ADAPTER_API int MVHUX_QuerySessionID(void* handle, const char* session_id, uint8_t market);

/* Do nothing and return 0, whatever their arguments. */
HUX_ADAPTER_API int MVHUX_QueryMarketMBLData(void* handle, int value, uint8_t market, const char* text,
                                             const char* text2, int value2);
HUX_ADAPTER_API uint32_t MVHUX_CalcVerificationValue(void* handle, HUX_EnterOrderField* order);

/* ---- callbacks: each setter returns 8 for a null handle, else 0 ---- */
/* Connection codes (the trade session's): 0 "conn ok", 2 "remote
 * disconnected", 3 "local disconnected", 4 "network error". A lost query
 * connection closes the trade session and is reported as that loss (2 or 4),
 * not as 3; with auto-reconnect on, the trade session then reconnects. */
HUX_ADAPTER_API int MVHUX_SetConnectionEvent(void* handle, HUX_ConnectionEvent callback);
HUX_ADAPTER_API int MVHUX_SetUserLogonEvent(void* handle, HUX_UserLogonEvent callback);
HUX_ADAPTER_API int MVHUX_SetHeartBeartTimeoutEvent(void* handle, HUX_HeartBeatTimeoutEvent callback);
HUX_ADAPTER_API int MVHUX_SetChangePasswordEvent(void* handle, HUX_ChangePasswordEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryUserAccountEvent(void* handle, HUX_QueryUserAccountEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountPositionEvent(void* handle, HUX_QueryAccountPositionEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountOptionPositionEvent(void* handle,
                                                             HUX_QueryAccountOptionPositionEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountBPEvent(void* handle, HUX_QueryAccountBPEvent callback);
HUX_ADAPTER_API int MVHUX_ReportAccountBPEvent(void* handle, HUX_ReportAccountBPEvent callback);
HUX_ADAPTER_API int MVHUX_SetQuerySymbolListEvent(void* handle, HUX_QuerySymbolListEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountTradeMarginEvent(void* handle, HUX_QueryAccountTradeMarginEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountTradeFeeEvent(void* handle, HUX_QueryAccountTradeFeeEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryTradeOrderEvent(void* handle, HUX_QueryTradeOrderEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryTradeOrderExecEvent(void* handle, HUX_QueryTradeOrderExecEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryTradeOrderExecEventEx(void* handle, HUX_QueryTradeOrderExecEventEx callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountRiskDataEvent(void* handle, HUX_QueryAccountRiskDataEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryAccountSymbolRiskDataEvent(void* handle,
                                                             HUX_QueryAccountSymbolRiskDataEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderAcceptEvent(void* handle, HUX_OrderAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderMarketAcceptEvent(void* handle, HUX_OrderMarketAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderRejectEvent(void* handle, HUX_OrderRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderMarketRejectEvent(void* handle, HUX_OrderMarketRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderExecutionEvent(void* handle, HUX_OrderExecutionEvent callback);
HUX_ADAPTER_API int MVHUX_SetOrderCxledEvent(void* handle, HUX_OrderCxledEvent callback);
HUX_ADAPTER_API int MVHUX_SetCxlOrderRejectEvent(void* handle, HUX_CxlOrderRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetPostOrderEvent(void* handle, HUX_PostOrderEvent callback);
HUX_ADAPTER_API int MVHUX_SetPostOrderExecutionEvent(void* handle, HUX_PostOrderExecutionEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryMarketSessionEvent(void* handle, HUX_QueryMarketSessionEvent callback);
HUX_ADAPTER_API int MVHUX_SetMarketSessionStatReportEvent(void* handle, HUX_MarketSessionStatReportEvent callback);
HUX_ADAPTER_API int MVHUX_SetQuerySymbolStatusEvent(void* handle, HUX_QuerySymbolStatusEvent callback);
HUX_ADAPTER_API int MVHUX_SetSymbolStatusReportEvent(void* handle, HUX_SymbolStatusReportEvent callback);
HUX_ADAPTER_API int MVHUX_SetQueryMarketMBLDataEvent(void* handle, HUX_QueryMarketMBLDataEvent callback);
HUX_ADAPTER_API int MVHUX_SetQuerySessionIDEvent(void* handle, HUX_QuerySessionIDEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderAcceptEvent(void* handle, HUX_SpecialOrderAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderMarketAcceptEvent(void* handle, HUX_SpecialOrderMarketAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderRejectEvent(void* handle, HUX_SpecialOrderRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderMarketRejectEvent(void* handle, HUX_SpecialOrderMarketRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderActionAcceptEvent(void* handle, HUX_SpecialOrderActionAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderActionRejectEvent(void* handle, HUX_SpecialOrderActionRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderActionMarketAcceptEvent(void* handle,
                                                                 HUX_SpecialOrderActionMarketAcceptEvent callback);
HUX_ADAPTER_API int MVHUX_SetSpecialOrderActionMarketRejectEvent(void* handle,
                                                                 HUX_SpecialOrderActionMarketRejectEvent callback);
HUX_ADAPTER_API int MVHUX_SetPostSpecialOrderEvent(void* handle, HUX_PostSpecialOrderEvent callback);

#ifdef __cplusplus
}
#endif

#endif

/* The C interface of the trade library libhuxtrade: one trade session per
 * handle. Every function but MVHUX_CreateTrade takes the handle returned by
 * MVHUX_CreateTrade first. Results are the small integer codes below; the
 * first check that fails decides the result, in the order each function's
 * comment gives.
 *
 * Any function may be called on any thread at any time, inside a callback
 * included, and either does what it says or returns a documented code; it
 * never touches freed memory, a closed descriptor or another connection's
 * socket.
 *
 * Callbacks run on the library's threads (mostly the receive thread). Each
 * gets the session handle first; a record pointer is valid only during the
 * call. A null callback drops its event. */
#ifndef MV_HUX_TRADE_H
#define MV_HUX_TRADE_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "hux_trade_answer_struct.h"
#include "hux_trade_request_struct.h"
#include "hux_trade_status_struct.h"
#include "hux_trade_struct.h"

#if defined(_WIN32)
#define HUX_TRADE_API __declspec(dllexport)
#else
#define HUX_TRADE_API __attribute__((visibility("default")))
#endif

/* Result codes. */
#define HUX_RESULT_OK 0
#define HUX_RESULT_CONNECT_FAILED 1     /* MVHUX_ConnServer: the connect failed */
#define HUX_RESULT_SEND_FAILED 4        /* the send failed; MVHUX_UserLogon: version report not sent */
#define HUX_RESULT_NOT_LOGGED_ON 6
#define HUX_RESULT_NOT_CONNECTED 7
#define HUX_RESULT_NULL_HANDLE 8
#define HUX_RESULT_TOKEN_NOT_ABOVE 9    /* client token not above the session's maximum token */
#define HUX_RESULT_FLOW_CONTROL 15      /* client flow control refused the send */
#define HUX_RESULT_FC_PARAM_REFUSED 16  /* MVHUX_ChangeFCParam: limits refused */
#define HUX_RESULT_BAD_EXCHANGE 18      /* exchange id outside 100..108; QuerySessionID: market not 0 or 100..108 */
#define HUX_RESULT_UNKNOWN_ACCOUNT 20   /* simple forms: account name not in the account index */
#define HUX_RESULT_UNKNOWN_SYMBOL 21    /* simple forms: symbol name not in the symbol index */
#define HUX_RESULT_MIXED_PROTOCOL 22    /* order entry in mixed-protocol mode */
#define HUX_RESULT_NOT_ON_QV27 23       /* not available against a qv27 server */
/* A price of the request is not a number, infinite, or so large that its
 * image (price x 10000) does not fit a signed 64-bit integer. Checked right
 * after the connection, logon and mode checks: the token mark is not raised,
 * a simple form's record is not rewritten, nothing is sent. */
#define HUX_RESULT_BAD_PRICE 24
/* A record, output or text argument is null (or MVHUX_GetTimestamps was given
 * a negative count). Checked after the connection, logon and mode checks and
 * before anything changes. */
#define HUX_RESULT_NULL_ARGUMENT 25
/* MVHUX_UserLogon: the user id has more than 32 characters, the application
 * id more than 30 or the authorisation code more than 18. Checked after the
 * null-argument check; nothing is sent or kept. Above 255, so that no verdict
 * byte of the terminal report, which UserLogon passes on, can equal it.
 * MVHUX_QueryOtAccountBP: the account has more than 15 characters (it is read
 * no further than its 16th byte). Checked after the null-argument check;
 * nothing is sent: cut to its field, it would name another account. */
#define HUX_RESULT_TEXT_TOO_LONG 256

#ifdef __cplusplus
extern "C" {
#endif

/* ---- session ---- */

/* A new session whose callbacks and MVHUX_GetUserParam give user_param back. */
HUX_TRADE_API void* MVHUX_CreateTrade(void* user_param);
/* 8; 0. Disconnects and frees the session; the handle is invalid afterwards.
 * It waits for the calls on the handle under way on other threads (once
 * disconnected they end with 7, 6 or 4, or their request went out); a call
 * that begins after the destroy has returned uses a handle that no longer
 * exists. Inside a callback (of any session, or one that MVHUX_ConnServer,
 * MVHUX_DisConnServer or MVHUX_UserLogon runs on the caller's thread) the
 * session is disconnected at once and no callback of it comes any more, not
 * even "local disconnected"; it is freed by a thread of the library's own
 * once the callback has returned and no call on it is under way (the
 * callbacks of MVHUX_ConnServer, MVHUX_DisConnServer and MVHUX_UserLogon can
 * come before they return), with no further call needed; the library's
 * unload waits for that. */
HUX_TRADE_API int MVHUX_DestroyTrade(void* handle);
/* The user parameter; null for a null handle. */
HUX_TRADE_API void* MVHUX_GetUserParam(void* handle);
/* Log directory: letters, digits, '/', '-', '\' and '_' only, created when
 * missing. No effect for a null handle or a null or refused text. */
HUX_TRADE_API void MVHUX_SetLogDir(void* handle, const char* dir);
/* 8; 0. Takes effect at the next completed logon. */
HUX_TRADE_API int MVHUX_SetAutoReconnect(void* handle, bool on);
/* 8; 0. The receive wait in milliseconds. */
HUX_TRADE_API int MVHUX_SetMaxWaitTime(void* handle, int milliseconds);
/* 8; 25 (null count, negative count, or a null array for a positive count);
 * 0 with *count set to the number of transmit timestamps written (at most the
 * count given). Over the kernel transports the count becomes 0. */
HUX_TRADE_API int MVHUX_GetTimestamps(void* handle, long long* timestamps, int* count);
/* 8; 25 null record; 0 connected, 1 failed. */
HUX_TRADE_API int MVHUX_ConnServer(void* handle, const HUX_TradeSvrInfo* info, bool mixed_protocol);
/* 8; 0. Stops auto-reconnect and the heart-beat, then disconnects. */
HUX_TRADE_API int MVHUX_DisConnServer(void* handle);
/* 8, 7, 25 (any text null), 4; 0: the outcome arrives through the logon callback. */
HUX_TRADE_API int MVHUX_UserLogon(void* handle, const char* user_id, const char* password, const char* app_id,
                                  const char* auth_code);
/* 8, 7, 6, 25; 0 with the session's maximum order token in *token. */
HUX_TRADE_API int MVHUX_GetMaxToken(void* handle, unsigned int* token);
/* 8; 0. */
HUX_TRADE_API int MVHUX_SetLoggerSwitch(void* handle, bool on);
/* 8; 0. Flushes both session logs. */
HUX_TRADE_API int MVHUX_LoggerFlush(void* handle);
/* 8; 0. The asynchronous TCP client from the next connect. */
HUX_TRADE_API int MVHUX_SetAsyncReceiveMode(void* handle);
/* 8; 16 limits refused; 0. */
HUX_TRADE_API int MVHUX_ChangeFCParam(void* handle, unsigned int order_limit, unsigned int cancel_limit);
/* Replaces the numeric user id sent in requests. No effect for a null handle. */
HUX_TRADE_API void MVHUX_SetUserId(void* handle, unsigned int user_id);
/* The order's 32-bit verification value. A null handle or a null record gives
 * 0, which is then ambiguous: 0 is also a possible value of a real order. */
HUX_TRADE_API uint32_t MVHUX_CalcVerificationValue(void* handle, HUX_EnterOrderField* order);

/* ---- order entry and queries ----
 * Send results: 4 the send failed, 15 refused by client flow control, else 0.
 * Common checks in this order: 8 null handle, 7 not connected, 6 not logged
 * on, 22 mixed-protocol mode (order entry only), 23 qv27 server (where
 * named), then 25 null argument and 24 bad price. */

/* 8, 7, 6, 22, 25, 24; unless a warm-up (quantity 0): token 9 (skipped when
 * skip_token_check is set), exchange 18. A warm-up order is not sent over
 * the kernel transports. */
HUX_TRADE_API int MVHUX_EnterOrder(void* handle, HUX_EnterOrderField* order, bool skip_token_check);
/* 8, 7, 6, 22, 25, 24; unless a warm-up (both quantities 0): token 9
 * (skipped when skip_token_check is set), exchange 18. */
HUX_TRADE_API int MVHUX_EnterQuote(void* handle, HUX_EnterQuoteField* quote, bool skip_token_check);
/* 8, 7, 6, 22, 23, 25, token 9, exchange 18. */
HUX_TRADE_API int MVHUX_EnterCombo(void* handle, HUX_EnterComboField* combo);
/* 8, 7, 6, 22, 23, 25, token 9, exchange 18. */
HUX_TRADE_API int MVHUX_EnterSpecialOrder(void* handle, HUX_EnterSpecialOrderField* order);
/* 8, 7, 6, 22, 23, 25 (record or either name), 24, token 9, exchange 18,
 * account 20, symbol 21. Rewrites the record in place into the message sent:
 * afterwards its price fields hold the int64 images. */
HUX_TRADE_API int MVHUX_EnterSimpleOrder(void* handle, HUX_EnterOrderSimpleField* order, const char* account,
                                         const char* symbol);
/* As MVHUX_EnterSimpleOrder, for the simple quote. */
HUX_TRADE_API int MVHUX_EnterSimpleQuote(void* handle, HUX_EnterQuoteSimpleField* quote, const char* account,
                                         const char* symbol);
/* 8, 7, 6, 22, 25. Sent whatever its token; a non-zero client token raises
 * the session's maximum token when above it. */
HUX_TRADE_API int MVHUX_CancelOrder(void* handle, HUX_CancelOrder* cancel);
/* 8, 7, 6, 22, 23, 25. */
HUX_TRADE_API int MVHUX_CancelSpecialOrder(void* handle, HUX_CancelSpecialOrder* cancel);
/* 8, 7, 6, 22, 25. */
HUX_TRADE_API int MVHUX_QuoteAction(void* handle, HUX_QuoteAction* action);
/* 8, 7, 6; 4 send failed; 0. */
HUX_TRADE_API int MVHUX_QueryMarketSession(void* handle);
/* 8, 7, 6; 4 send failed; 0. */
HUX_TRADE_API int MVHUX_QuerySymbolStatus(void* handle);
/* 8, 7, 6, market 18 (0 and 100..108 pass), 25; 4 send failed; 0. At most 16
 * characters of the session text are sent. */
HUX_TRADE_API int MVHUX_QuerySessionID(void* handle, const char* session_id, uint8_t market);
/* 8, 7, 6, 23, 25, 256 (more than 15 characters of account); 4 send failed;
 * 0. The account is sent whole. */
HUX_TRADE_API int MVHUX_QueryOtAccountBP(void* handle, const char* account);

/* ---- callbacks: each setter returns 8 for a null handle, else 0 ---- */
HUX_TRADE_API int MVHUX_SetConnectionEvent(void* handle, HUX_ConnectionEvent callback);
HUX_TRADE_API int MVHUX_SetUserLogonEvent(void* handle, HUX_UserLogonEvent callback);
HUX_TRADE_API int MVHUX_SetHeartBeartTimeoutEvent(void* handle, HUX_HeartBeatTimeoutEvent callback);
HUX_TRADE_API int MVHUX_SetOrderAcceptEvent(void* handle, HUX_OrderAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetComboAcceptEvent(void* handle, HUX_ComboAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderAcceptEvent(void* handle, HUX_SpecialOrderAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteAcceptEvent(void* handle, HUX_QuoteAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetOrderMarketAcceptEvent(void* handle, HUX_OrderMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetComboMarketAcceptEvent(void* handle, HUX_ComboMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderMarketAcceptEvent(void* handle, HUX_SpecialOrderMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteMarketAcceptEvent(void* handle, HUX_QuoteMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetOrderMarketReportEvent(void* handle, HUX_OrderMarketReportEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteMarketReportEvent(void* handle, HUX_QuoteMarketReportEvent callback);
HUX_TRADE_API int MVHUX_SetOrderRejectEvent(void* handle, HUX_OrderRejectEvent callback);
HUX_TRADE_API int MVHUX_SetComboRejectEvent(void* handle, HUX_ComboRejectEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderRejectEvent(void* handle, HUX_SpecialOrderRejectEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteRejectEvent(void* handle, HUX_QuoteRejectEvent callback);
HUX_TRADE_API int MVHUX_SetOrderMarketRejectEvent(void* handle, HUX_OrderMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetComboMarketRejectEvent(void* handle, HUX_ComboMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderMarketRejectEvent(void* handle, HUX_SpecialOrderMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteMarketRejectEvent(void* handle, HUX_QuoteMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetOrderActionMarketAcceptEvent(void* handle, HUX_OrderActionMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderActionMarketAcceptEvent(void* handle, HUX_SpecialOrderActionMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteActionMarketAcceptEvent(void* handle, HUX_QuoteActionMarketAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetOrderActionMarketRejectEvent(void* handle, HUX_OrderActionMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderActionMarketRejectEvent(void* handle, HUX_SpecialOrderActionMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteActionMarketRejectEvent(void* handle, HUX_QuoteActionMarketRejectEvent callback);
HUX_TRADE_API int MVHUX_SetOrderExecutionEvent(void* handle, HUX_OrderExecutionEvent callback);
HUX_TRADE_API int MVHUX_SetOrderActionAcceptEvent(void* handle, HUX_OrderActionAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderActionAcceptEvent(void* handle, HUX_SpecialOrderActionAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteActionAcceptEvent(void* handle, HUX_QuoteActionAcceptEvent callback);
HUX_TRADE_API int MVHUX_SetOrderActionRejectEvent(void* handle, HUX_OrderActionRejectEvent callback);
HUX_TRADE_API int MVHUX_SetSpecialOrderActionRejectEvent(void* handle, HUX_SpecialOrderActionRejectEvent callback);
HUX_TRADE_API int MVHUX_SetQuoteActionRejectEvent(void* handle, HUX_QuoteActionRejectEvent callback);
HUX_TRADE_API int MVHUX_SetInputRegForQuoteEvent(void* handle, HUX_InputRegForQuoteEvent callback);
HUX_TRADE_API int MVHUX_SetPostOrderEvent(void* handle, HUX_PostOrderEvent callback);
HUX_TRADE_API int MVHUX_SetPostSpecialOrderEvent(void* handle, HUX_PostSpecialOrderEvent callback);
HUX_TRADE_API int MVHUX_SetPostQuoteEvent(void* handle, HUX_PostQuoteEvent callback);
HUX_TRADE_API int MVHUX_SetPostOrderExecutionEvent(void* handle, HUX_PostOrderExecutionEvent callback);
HUX_TRADE_API int MVHUX_SetInternalOrderEvent(void* handle, HUX_InternalOrderEvent callback);
HUX_TRADE_API int MVHUX_SetInternalOrderAdjustStatusEvent(void* handle, HUX_InternalOrderAdjustStatusEvent callback);
HUX_TRADE_API int MVHUX_SetInternalOrderExecutionEvent(void* handle, HUX_InternalOrderExecutionEvent callback);
HUX_TRADE_API int MVHUX_SetInternalOrderAdjustMktRejEvent(void* handle, HUX_InternalOrderAdjustMktRejEvent callback);
HUX_TRADE_API int MVHUX_SetInternalQuoteAdjustStatusEvent(void* handle, HUX_InternalQuoteAdjustStatusEvent callback);
HUX_TRADE_API int MVHUX_SetInternalQuoteAdjustMktRejEvent(void* handle, HUX_InternalQuoteAdjustMktRejEvent callback);
HUX_TRADE_API int MVHUX_SetQueryMarketSessionEvent(void* handle, HUX_QueryMarketSessionEvent callback);
HUX_TRADE_API int MVHUX_SetMarketSessionStatReportEvent(void* handle, HUX_MarketSessionStatReportEvent callback);
HUX_TRADE_API int MVHUX_SetQuerySymbolStatusEvent(void* handle, HUX_QuerySymbolStatusEvent callback);
HUX_TRADE_API int MVHUX_SetSymbolStatusReportEvent(void* handle, HUX_SymbolStatusReportEvent callback);
HUX_TRADE_API int MVHUX_SetProdStatusReportEvent(void* handle, HUX_ProdStatusReportEvent callback);
HUX_TRADE_API int MVHUX_SetQuerySessionIDEvent(void* handle, HUX_QuerySessionIDEvent callback);
HUX_TRADE_API int MVHUX_SetQueryOtAccountBPEvent(void* handle, HUX_QueryOtAccountBPEvent callback);

#ifdef __cplusplus
}
#endif

#endif

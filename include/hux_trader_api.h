// The object interface of the trade library libhuxtrade (C++ only).
//
// The application gets an HUXTraderApi from CreateHUXTraderApi, implements
// HUXTraderEvent for the answers and passes it to ConnServer. Results are the
// codes of mv_hux_trade.h. The order of the virtual functions below is the
// binary interface between the library and applications: never reorder them.
//
// Event methods run on the library's threads (mostly the receive thread); a
// record pointer is valid only during the call. The event object must stay
// alive until the session is disconnected or destroyed.
//
// Any method or function may be called on any thread at any time, inside an
// event method included, and either does what it says or returns a
// documented code; it never touches freed memory, a closed descriptor or
// another connection's socket.
#ifndef HUX_TRADER_API_H
#define HUX_TRADER_API_H

#include <ctime>

#include "mv_hux_trade.h"

class HUXTraderEvent {
public:
    virtual ~HUXTraderEvent() {}
    virtual void OnConnection(int code, const char* text) { (void)code; (void)text; }
    virtual void OnDisconnection(int code, const char* text) { (void)code; (void)text; }
    virtual void OnUserLogon(HUX_LogonResponse* rsp, int sock) { (void)rsp; (void)sock; }
    virtual void OnHeartbeatTimeout(int seconds) { (void)seconds; }
    virtual void OnSpecialOrderAccept(HUX_SpecialOrderAcceptField* rec) { (void)rec; }
    virtual void OnOrderAccept(HUX_OrderAcceptField* rec) { (void)rec; }
    virtual void OnComboAccept(HUX_ComboAcceptField* rec) { (void)rec; }
    virtual void OnQuoteAccept(HUX_QuoteAcceptField* rec) { (void)rec; }
    virtual void OnSpecialOrderMarketAccept(HUX_SpecialOrderMarketAcceptField* rec) { (void)rec; }
    virtual void OnOrderMarketAccept(HUX_OrderMarketAcceptField* rec) { (void)rec; }
    virtual void OnComboMarketAccept(HUX_ComboMarketAcceptField* rec) { (void)rec; }
    virtual void OnQuoteMarketAccept(HUX_QuoteMarketAcceptField* rec) { (void)rec; }
    virtual void OnOrderMarketReport(HUX_OrderMarketReportField* rec) { (void)rec; }
    virtual void OnQuoteMarketReport(HUX_QuoteMarketReportField* rec) { (void)rec; }
    virtual void OnOrderReject(HUX_OrderRejectField* rec) { (void)rec; }
    virtual void OnComboReject(HUX_ComboRejectField* rec) { (void)rec; }
    virtual void OnSpecialOrderReject(HUX_SpecialOrderRejectField* rec) { (void)rec; }
    virtual void OnQuoteReject(HUX_QuoteRejectField* rec) { (void)rec; }
    virtual void OnOrderMarketReject(HUX_OrderMarketRejectField* rec) { (void)rec; }
    virtual void OnComboMarketReject(HUX_ComboMarketRejectField* rec) { (void)rec; }
    virtual void OnSpecialOrderMarketReject(HUX_SpecialOrderMarketRejectField* rec) { (void)rec; }
    virtual void OnQuoteMarketReject(HUX_QuoteMarketRejectField* rec) { (void)rec; }
    virtual void OnOrderExecution(HUX_OrderExecutionField* rec) { (void)rec; }
    virtual void OnOrderActionAccept(HUX_OrderActionAccept* rec) { (void)rec; }
    virtual void OnSpecialOrderActionAccept(HUX_SpecialOrderActionAccept* rec) { (void)rec; }
    virtual void OnQuoteActionAccept(HUX_QuoteActionAccept* rec) { (void)rec; }
    virtual void OnInputRegForQuote(HUX_InputRegForQuoteResponse* rec) { (void)rec; }
    virtual void OnOrderActionReject(HUX_OrderActionRej* rec) { (void)rec; }
    virtual void OnSpecialOrderActionReject(HUX_SpecialOrderActionRej* rec) { (void)rec; }
    virtual void OnQuoteActionReject(HUX_QuoteActionRej* rec) { (void)rec; }
    virtual void OnOrderActionMarketAccept(HUX_OrderActionMarketAcceptField* rec) { (void)rec; }
    virtual void OnSpecialOrderActionMarketAccept(HUX_SpecialOrderActionMarketAcceptField* rec) { (void)rec; }
    virtual void OnQuoteActionMarketAccept(HUX_QuoteActionMarketAcceptField* rec) { (void)rec; }
    virtual void OnOrderActionMarketReject(HUX_OrderActionMarketRejectField* rec) { (void)rec; }
    virtual void OnSpecialOrderActionMarketReject(HUX_SpecialOrderActionMarketRejectField* rec) { (void)rec; }
    virtual void OnQuoteActionMarketReject(HUX_QuoteActionMarketRejectField* rec) { (void)rec; }
    virtual void OnPostQuote(HUX_PostQuote* rec) { (void)rec; }
    virtual void OnPostOrder(HUX_PostOrder* rec) { (void)rec; }
    virtual void OnPostSpecialOrder(HUX_PostSpecialOrder* rec) { (void)rec; }
    virtual void OnPostOrderExecution(HUX_PostOrderExecution* rec) { (void)rec; }
    virtual void OnInternalOrder(HUX_InternalOrder* rec) { (void)rec; }
    virtual void OnInternalOrderAdjustStatus(HUX_InternalOrderAdjustStatus* rec) { (void)rec; }
    virtual void OnInternalOrderExec(HUX_InternalOrderExecution* rec) { (void)rec; }
    virtual void OnInternalOrderAdjustMktRej(HUX_InternalOrderAdjustMktRej* rec) { (void)rec; }
    virtual void OnInternalQuoteAdjustStatus(HUX_InternalQuoteAdjustStatus* rec) { (void)rec; }
    virtual void OnInternalQuoteAdjustMktRej(HUX_InternalQuoteAdjustMktRej* rec) { (void)rec; }
    virtual void OnQueryMarketSession(HUX_ExchangeMarketSession* session, bool last) { (void)session; (void)last; }
    virtual void OnMarketSessionStatReport(uint8_t state, bool flag) { (void)state; (void)flag; }
    virtual void OnSymbolStatusReport(HUX_SymbolStatus* status) { (void)status; }
    virtual void OnProdStatusReport(HUX_ProdStatus* status) { (void)status; }
    virtual void OnQuerySymbolStatus(HUX_SymbolStatus* status, bool last) { (void)status; (void)last; }
    virtual void OnQuerySessionID(HUX_SessionID* session) { (void)session; }
};

class HUXTraderApi {
public:
    virtual ~HUXTraderApi() {}
    virtual const char* GetTradeApiVersion() = 0;
    virtual int SetAutoReconnect(bool on) = 0;
    virtual int SetMaxWaitTime(int milliseconds) = 0;
    virtual int GetTimestamps(long long* timestamps, int& count) = 0;
    // Stores the event object (null: every event is dropped), then connects.
    virtual int ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events, bool mixed_protocol) = 0;
    virtual int DisConnServer() = 0;
    virtual int UserLogon(const char* user_id, const char* password, const char* app_id, const char* auth_code) = 0;
    virtual int GetMaxToken(unsigned int* token) = 0;
    virtual int EnterOrder(HUX_EnterOrderField* order) = 0;
    virtual int EnterCombo(HUX_EnterComboField* combo) = 0;
    virtual int EnterSpecialOrder(HUX_EnterSpecialOrderField* order) = 0;
    virtual int EnterOrderSimple(HUX_EnterOrderSimpleField* order, const char* account, const char* symbol) = 0;
    virtual int EnterQuoteSimple(HUX_EnterQuoteSimpleField* quote, const char* account, const char* symbol) = 0;
    virtual int CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) = 0;
    virtual int EnterQuote(HUX_EnterQuoteField* quote) = 0;
    // Warm-up: the object's own all-zero order (token check on), or the
    // caller's record with the token check skipped.
    virtual int EnterOrderWarm() = 0;
    virtual int EnterOrderWarm(HUX_EnterOrderField* order) = 0;
    virtual int EnterQuoteWarm() = 0;
    virtual int EnterQuoteWarm(HUX_EnterQuoteField* quote) = 0;
    virtual int CancelOrder(HUX_CancelOrder* cancel) = 0;
    virtual int QuoteAction(HUX_QuoteAction* action) = 0;
    // Splits a timestamp (seconds in the high 32 bits, nanoseconds in the
    // low) into local calendar time and nanoseconds; no session involved.
    virtual int ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) = 0;
    virtual int SetLoggerSwitch(bool on) = 0;
    virtual int LoggerFlush() = 0;
    virtual int SetAsyncReceiveMode() = 0;
    virtual int ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) = 0;
    virtual int QueryMarketSession() = 0;
    virtual int QuerySymbolStatus() = 0;
    virtual int QuerySessionID(const char* session_id, unsigned char market) = 0;
};

extern "C" {
HUX_TRADE_API HUXTraderApi* CreateHUXTraderApi();
// Deletes the object through its virtual destructor; null is ignored. The
// object is dead for the application afterwards. It waits for the calls of
// the object under way on other threads (once disconnected they end with 7,
// 6 or 4, or their request went out); a call that begins after the destroy
// has returned uses an object that no longer exists. Inside an event method
// (of any object, or one that ConnServer, DisConnServer or UserLogon of this
// object runs on the caller's thread) the session is disconnected at once and
// no event method is called any more, not even for "local disconnected"; the
// object and its session are freed by a thread of the library's own once the
// method has returned and no call of the object is under way (the events of
// ConnServer, DisConnServer and UserLogon can come before they return), with
// no further call needed; the library's unload waits for that.
HUX_TRADE_API void DestroyHUXTraderApi(HUXTraderApi* api);
}

#endif

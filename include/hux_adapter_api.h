// The object interface of the adapter library libhuxadapter (C++ only).
//
// The application gets an HUXTraderApi from CreateHUXTraderApi, implements
// HUXTraderEvent for the answers and passes it to ConnServer. Every method
// returns the result of the C function of the same meaning (mv_hux_adapter.h)
// unchanged. The order of the virtual functions below is the binary
// interface between the library and applications: never reorder them. It is
// not the trade library's (hux_trader_api.h), whose records share these
// names but not their layouts: an application uses one library's headers.
//
// Event methods run on the library's threads: the trade and query receive
// threads and the reconnect threads. A record or text pointer is valid only
// during the call. Nothing reaches the event object before ConnServer; it
// must stay alive until the object is disconnected or destroyed. The
// buying-power push and every query answer arrive here; risk data does not
// (use the C functions for it).
//
// Any method or function may be called on any thread at any time, inside an
// event method included, and either does what it says or returns a
// documented code; it never touches freed memory, a closed descriptor or
// another connection's socket.
#ifndef HUX_ADAPTER_API_H
#define HUX_ADAPTER_API_H

#include <ctime>

#include "mv_hux_adapter.h"

class HUXTraderEvent {
public:
    virtual ~HUXTraderEvent() {}
    // Connected (code 0), and every other connection code: 3 "local
    // disconnected" among them.
    virtual void OnConnection(int code, const char* text) { (void)code; (void)text; }
    virtual void OnDisconnection(int code, const char* text) { (void)code; (void)text; }
    // One call for both sessions' logon.
    virtual void OnUserLogon(HUX_LogonResponse* rsp) { (void)rsp; }
    virtual void OnHeartbeatTimeout(int seconds) { (void)seconds; }
    virtual void OnChangePassword(int result) { (void)result; }
    virtual void OnQueryUserAccount(HUX_AccountInfo* info, bool last) { (void)info; (void)last; }
    virtual void OnQueryAccountPosition(const char* account, HUX_AccountPosition* position, int request_no,
                                        bool last) {
        (void)account; (void)position; (void)request_no; (void)last;
    }
    virtual void OnQueryAccountOptionPosition(const char* account, HUX_AccountOptionPosition* position,
                                              int request_no, bool last) {
        (void)account; (void)position; (void)request_no; (void)last;
    }
    virtual void OnQueryAccountBP(const char* account, HUX_AccountBP* bp, int request_no) {
        (void)account; (void)bp; (void)request_no;
    }
    virtual void OnReportAccountBP(const char* account, HUX_AccountBP* bp) { (void)account; (void)bp; }
    virtual void OnQuerySymbol(HUX_SymbolField* symbol, bool last) { (void)symbol; (void)last; }
    virtual void OnQueryAccountTradeMargin(const char* account, HUX_AccountMargin* margin, bool last) {
        (void)account; (void)margin; (void)last;
    }
    virtual void OnQueryAccountTradeFee(const char* account, HUX_AccountFee* fee, bool last) {
        (void)account; (void)fee; (void)last;
    }
    virtual void OnOrderAccept(HUX_OrderAcceptField* rec) { (void)rec; }
    virtual void OnOrderMarketAccept(HUX_OrderMarketAcceptField* rec) { (void)rec; }
    virtual void OnOrderReject(HUX_OrderRejectField* rec) { (void)rec; }
    virtual void OnOrderMarketReject(HUX_OrderMarketRejectField* rec) { (void)rec; }
    virtual void OnOrderExecution(HUX_OrderExecutionField* rec) { (void)rec; }
    virtual void OnOrderCxled(HUX_OrderCxled* rec) { (void)rec; }
    virtual void OnCxlOrderReject(HUX_CxlOrderRej* rec) { (void)rec; }
    virtual void OnQueryTradeOrder(const char* account, HUX_QueryAccountOrder* order, bool last) {
        (void)account; (void)order; (void)last;
    }
    virtual void OnQueryTradeOrderExec(const char* account, HUX_QueryOrderExecution* exec, bool last) {
        (void)account; (void)exec; (void)last;
    }
    virtual void OnQueryTradeOrderExecEx(const char* account, HUX_QueryOrderExecutionEx* exec, bool last) {
        (void)account; (void)exec; (void)last;
    }
    virtual void OnPostOrder(HUX_PostOrder* rec) { (void)rec; }
    virtual void OnPostOrderExecution(HUX_PostOrderExecution* rec) { (void)rec; }
    virtual void OnQueryMarketSession(HUX_ExchangeMarketSession* session, bool last) { (void)session; (void)last; }
    virtual void OnMarketSessionStatReport(uint8_t session, bool flag) { (void)session; (void)flag; }
    virtual void OnSymbolStatusReport(HUX_SymbolStatus* status) { (void)status; }
    virtual void OnQuerySymbolStatus(HUX_SymbolStatus* status, bool last) { (void)status; (void)last; }
    // Never called: the adapter receives no market-by-level data.
    virtual void OnQueryMarketMBLData(HUX_MarketMBLData* data, bool last) { (void)data; (void)last; }
    virtual void OnQuerySessionID(HUX_SessionID* session) { (void)session; }
    virtual void OnSpecialOrderAccept(HUX_SpecialOrderAcceptField* rec) { (void)rec; }
    virtual void OnSpecialOrderReject(HUX_SpecialOrderRejectField* rec) { (void)rec; }
    virtual void OnSpecialOrderMarketAccept(HUX_SpecialOrderMarketAcceptField* rec) { (void)rec; }
    virtual void OnSpecialOrderMarketReject(HUX_SpecialOrderMarketRejectField* rec) { (void)rec; }
    virtual void OnSpecialOrderActionAccept(HUX_SpecialOrderActionAccept* rec) { (void)rec; }
    virtual void OnSpecialOrderActionReject(HUX_SpecialOrderActionRej* rec) { (void)rec; }
    virtual void OnSpecialOrderActionMarketAccept(HUX_SpecialOrderActionMarketAcceptField* rec) { (void)rec; }
    virtual void OnSpecialOrderActionMarketReject(HUX_SpecialOrderActionMarketRejectField* rec) { (void)rec; }
    virtual void OnPostSpecialOrder(HUX_PostSpecialOrder* rec) { (void)rec; }
};

class HUXTraderApi {
public:
#ifdef _WIN32
    // Defined in the DLL, which exports them: they only install the
    // interface's virtual table, and the assignment copies nothing.
    HUXTraderApi();
    HUXTraderApi(const HUXTraderApi& other);
    HUXTraderApi& operator=(const HUXTraderApi& other);
    virtual ~HUXTraderApi();
#else
    virtual ~HUXTraderApi() {}
#endif
    // "5.2.4.67".
    virtual const char* GetTradeApiVersion() = 0;
    virtual int SetAutoReconnect(bool on) = 0;
    virtual int SetMaxWaitTime(int trade_ms, int query_ms) = 0;
    virtual int GetTimestamps(long long* timestamps, int& count) = 0;
    // Stores the event object (null: every event is dropped), then connects
    // both sessions.
    virtual int ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events) = 0;
    virtual int DisConnServer() = 0;
    virtual int UserLogon(const char* login_id, const char* password, const char* app_id,
                          const char* auth_code) = 0;
    virtual int ChangePassword(const char* old_password, const char* new_password) = 0;
    virtual int QuerySymbolList() = 0;
    virtual int QueryUserAccount() = 0;
    virtual int QueryAccountPosition(const char* account, int request_no) = 0;
    virtual int QueryAccountBP(const char* account, int request_no) = 0;
    virtual int QueryAccountTradeMargin(const char* account) = 0;
    virtual int QueryAccountTradeFee(const char* account) = 0;
    virtual int GetMaxToken(unsigned int* token) = 0;
    virtual int EnterOrder(HUX_EnterOrderField* order) = 0;
    virtual int CancelOrder(HUX_CancelOrder* cancel) = 0;
    // Warm-up: the object's own order of quantity 0, which passes the
    // session checks and sends nothing.
    virtual int EnterOrderWarm() = 0;
    virtual int QueryAccountOrder(const char* account) = 0;
    virtual int QueryAccountOrderExecution(const char* account, unsigned int kind) = 0;
    virtual int QueryMarketSession() = 0;
    // Splits a timestamp (seconds in the high 32 bits, nanoseconds in the
    // low) into local calendar time and nanoseconds; no session involved.
    virtual int ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) = 0;
    virtual int SetLoggerSwitch(bool on) = 0;
    virtual int QuerySymbolStatus() = 0;
    virtual int LoggerFlush() = 0;
    virtual int SetAsyncReceiveMode() = 0;
    virtual int EnterMultiOrders(HUX_EnterOrderField* orders, int count) = 0;
    virtual int EnterMultiCxlOrders(HUX_CancelOrder* cancels, int count) = 0;
    // Both forms do nothing and return 0; no answer ever arrives.
    virtual int QueryMarketMBLData(int value, unsigned char market, int value2) = 0;
    virtual int QueryMarketMBLData(int value, const char* text, const char* text2, int value2) = 0;
    virtual int ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) = 0;
    virtual int QuerySessionID(const char* session_id, unsigned char market) = 0;
    virtual int EnterSpecialOrder(HUX_EnterSpecialOrderField* order) = 0;
    virtual int CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) = 0;
};

extern "C" {
// A new API object, null when it cannot be allocated.
HUX_ADAPTER_API HUXTraderApi* CreateHUXTraderApi();
// Deletes the object through its virtual destructor (its sessions are
// closed, its threads stopped); null is ignored. The object is dead for the
// application afterwards. It waits for the calls of the object under way on
// other threads (once disconnected they end with 7, 6 or 4, or their request
// went out); a call that begins after the destroy has returned uses an object
// that no longer exists. Inside an event method (of any object, or one that
// ConnServer, DisConnServer or UserLogon of this object runs on the caller's
// thread) both sessions are closed at once and no event method is called any
// more, not even for "local disconnected"; the object and its client are
// freed by a thread of the library's own once the method has returned and no
// call of the object is under way (the events of ConnServer, DisConnServer
// and UserLogon can come before they return), with no further call needed,
// and the library is not unloaded before that.
HUX_ADAPTER_API void DestroyHUXTraderApi(HUXTraderApi* api);
}

#endif

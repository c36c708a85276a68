// The API object of the trade library: HUXTradeImpl implements HUXTraderApi
// over one trade session. Every method forwards to the MVHUX_* function of
// the same name with the object's session handle; the application's event
// object, handed over by ConnServer, receives the session's callbacks through
// one bridge function per event, registered when the object is built.
//
// The object owns its session: destroying the object destroys (and so
// disconnects) the session. The event object must stay alive until then;
// a destroy inside a callback stops the events at once.
#ifndef HUX_TRADE_IMPL_H
#define HUX_TRADE_IMPL_H

#include <atomic>
#include <ctime>

#include "hux_trader_api.h"

class HUXTradeImpl : public HUXTraderApi {
public:
    // Creates the session with this object as its user parameter and
    // registers the event bridges; no event object yet.
    HUXTradeImpl();
    // Destroys the session, which disconnects it.
    ~HUXTradeImpl() override;
    HUXTradeImpl(const HUXTradeImpl&) = delete;
    HUXTradeImpl& operator=(const HUXTradeImpl&) = delete;

    const char* GetTradeApiVersion() override;
    int SetAutoReconnect(bool on) override;
    int SetMaxWaitTime(int milliseconds) override;
    int GetTimestamps(long long* timestamps, int& count) override;
    int ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events, bool mixed_protocol) override;
    int DisConnServer() override;
    int UserLogon(const char* user_id, const char* password, const char* app_id, const char* auth_code) override;
    int GetMaxToken(unsigned int* token) override;
    int EnterOrder(HUX_EnterOrderField* order) override;
    int EnterCombo(HUX_EnterComboField* combo) override;
    int EnterSpecialOrder(HUX_EnterSpecialOrderField* order) override;
    int EnterOrderSimple(HUX_EnterOrderSimpleField* order, const char* account, const char* symbol) override;
    int EnterQuoteSimple(HUX_EnterQuoteSimpleField* quote, const char* account, const char* symbol) override;
    int CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) override;
    int EnterQuote(HUX_EnterQuoteField* quote) override;
    int EnterOrderWarm() override;
    int EnterOrderWarm(HUX_EnterOrderField* order) override;
    int EnterQuoteWarm() override;
    int EnterQuoteWarm(HUX_EnterQuoteField* quote) override;
    int CancelOrder(HUX_CancelOrder* cancel) override;
    int QuoteAction(HUX_QuoteAction* action) override;
    int ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) override;
    int SetLoggerSwitch(bool on) override;
    int LoggerFlush() override;
    int SetAsyncReceiveMode() override;
    int ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) override;
    int QueryMarketSession() override;
    int QuerySymbolStatus() override;
    int QuerySessionID(const char* session_id, unsigned char market) override;
    // Not in the base class: reachable only through HUXTradeImpl. Its answer
    // goes to no event method (the object registers no buying-power bridge).
    virtual int QueryOtAccountBP(const char* account);

    // The session handle, for the MVHUX_* functions the object does not
    // forward (log directory, numeric user id, the buying-power callback).
    void* GetHandle() const { return m_handle; }

    // The event object stored by ConnServer of the API object whose session
    // is `handle`; null when there is none yet (or it was given as null).
    static HUXTraderEvent* GetApiSpi(void* handle);

    // DestroyHUXTraderApi inside a callback of the session (or inside a call
    // of this object on the same thread, such as ConnServer, DisConnServer or
    // UserLogon, which may run callbacks on the caller's thread): no event
    // reaches the event object any more, the session is disconnected, and the
    // object is freed with its session on the library's own thread once the
    // callback has returned and no call on the session is under way.
    void DestroyLater();

private:
    void* m_handle;
    // Written by ConnServer, read by the bridges on the session's threads.
    std::atomic<HUXTraderEvent*> m_events;
    char m_version[16];
    // Kept all zero: zero quantities make each a warm-up request.
    HUX_EnterOrderField m_warm_order;
    HUX_EnterQuoteField m_warm_quote;
};

#endif

// The adapter's API object: HUXAdapterImpl implements HUXTraderApi over one
// two-session client. Every method forwards to the MVHUX_* function of the
// same meaning with the object's handle; the application's event object,
// handed over by ConnServer, receives the client's callbacks through one
// bridge function per event, registered when the object is built.
//
// The object owns its client: destroying the object destroys the client
// (threads stopped, sessions closed). The event object must stay alive
// until then; a destroy inside a callback stops the events at once.
#ifndef HUX_ADAPTER_IMPL_H
#define HUX_ADAPTER_IMPL_H

#include <atomic>
#include <ctime>

#include "hux_adapter_api.h"

class HUXAdapterImpl : public HUXTraderApi {
public:
    // Creates the client with this object as its user parameter and
    // registers the 39 event bridges; no event object yet.
    HUXAdapterImpl();
    ~HUXAdapterImpl() override;
    HUXAdapterImpl(const HUXAdapterImpl&) = delete;
    HUXAdapterImpl& operator=(const HUXAdapterImpl&) = delete;

    const char* GetTradeApiVersion() override;
    int SetAutoReconnect(bool on) override;
    int SetMaxWaitTime(int trade_ms, int query_ms) override;
    int GetTimestamps(long long* timestamps, int& count) override;
    int ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events) override;
    int DisConnServer() override;
    int UserLogon(const char* login_id, const char* password, const char* app_id, const char* auth_code) override;
    int ChangePassword(const char* old_password, const char* new_password) override;
    int QuerySymbolList() override;
    int QueryUserAccount() override;
    int QueryAccountPosition(const char* account, int request_no) override;
    int QueryAccountBP(const char* account, int request_no) override;
    int QueryAccountTradeMargin(const char* account) override;
    int QueryAccountTradeFee(const char* account) override;
    int GetMaxToken(unsigned int* token) override;
    int EnterOrder(HUX_EnterOrderField* order) override;
    int CancelOrder(HUX_CancelOrder* cancel) override;
    int EnterOrderWarm() override;
    int QueryAccountOrder(const char* account) override;
    int QueryAccountOrderExecution(const char* account, unsigned int kind) override;
    int QueryMarketSession() override;
    int ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) override;
    int SetLoggerSwitch(bool on) override;
    int QuerySymbolStatus() override;
    int LoggerFlush() override;
    int SetAsyncReceiveMode() override;
    int EnterMultiOrders(HUX_EnterOrderField* orders, int count) override;
    int EnterMultiCxlOrders(HUX_CancelOrder* cancels, int count) override;
    int QueryMarketMBLData(int value, unsigned char market, int value2) override;
    int QueryMarketMBLData(int value, const char* text, const char* text2, int value2) override;
    int ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) override;
    int QuerySessionID(const char* session_id, unsigned char market) override;
    int EnterSpecialOrder(HUX_EnterSpecialOrderField* order) override;
    int CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) override;
    // Not in the base class: connects by address. The server record has the
    // defaults of HUX_TradeSvrInfo (no UDP order channel, no local address),
    // at most 15 characters of each address and the low 16 bits of each
    // port. 25 for a null address.
    virtual int ConnServer(const char* trade_ip, int trade_port, HUXTraderEvent* events, const char* query_ip,
                           int query_port);

    // The client handle, for the MVHUX_* functions the object does not
    // forward (log directory, numeric user id, risk data).
    void* GetHandle() const { return m_handle; }

    // The event object stored by ConnServer of the API object whose client
    // is `handle`; null when there is none yet (or it was given as null).
    static HUXTraderEvent* GetApiSpi(void* handle);

    // DestroyHUXTraderApi inside a callback of the client (or inside a call
    // of this object on the same thread, such as ConnServer, DisConnServer or
    // UserLogon, which may run callbacks on the caller's thread): no event
    // reaches the event object any more, both sessions are disconnected, and
    // the object is freed with its client on the library's own thread once the
    // callback has returned and no call on the client is under way.
    void DestroyLater();

private:
    // Zero but for the values of a warm-up order; its quantity is 0.
    HUX_EnterOrderField m_warm_order;
    char m_version[20];
    void* m_handle;
    // Written by ConnServer, read by the bridges on the sessions' threads.
    std::atomic<HUXTraderEvent*> m_events;
};

#endif

// The API object (HUXTradeImpl), its factory pair and its event bridges.
//
// Each bridge is the C callback of one session event: it finds the API
// object through the session's user parameter, reads the event object that
// ConnServer stored and calls its method with the arguments unchanged. No
// event object, no call: events that come before ConnServer, or after a
// ConnServer given null, are dropped. The bridges run on the thread that
// fires the event (mostly the transport's receive thread) and are internal to
// the library.
#include "api/HUXTradeImpl.h"

#include <cstring>
#include <new>

#include "net/deferred_free.h"
#include "tools/precise_time.h"
#include "trade/TradeClient.h"

namespace {

void On_ConnectionEvent(void* handle, int code, const char* text) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (!events) return;
    if (code == 0)
        events->OnConnection(0, text);
    else
        events->OnDisconnection(code, text);
}

void On_UserLogonEvent(void* handle, HUX_LogonResponse* rsp, int sock) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (events) events->OnUserLogon(rsp, sock);
}

void On_HeatbeatTimeoutEvent(void* handle, int seconds) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (events) events->OnHeartbeatTimeout(seconds);
}

void On_QueryMarketSessionEvent(void* handle, HUX_ExchangeMarketSession* session, bool last) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (events) events->OnQueryMarketSession(session, last);
}

void On_MarketSessionStatReportEvent(void* handle, uint8_t state, bool flag) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (events) events->OnMarketSessionStatReport(state, flag);
}

void On_QuerySymbolStatusEvent(void* handle, HUX_SymbolStatus* status, bool last) {
    HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
    if (events) events->OnQuerySymbolStatus(status, last);
}

// The bridges that hand one record to one event method.
#define HUX_RECORD_BRIDGE(bridge, record, method)                  \
    void bridge(void* handle, record* rec) {                       \
        HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);  \
        if (events) events->method(rec);                           \
    }

HUX_RECORD_BRIDGE(On_SpecialOrderAcceptEvent, HUX_SpecialOrderAcceptField, OnSpecialOrderAccept)
HUX_RECORD_BRIDGE(On_OrderAcceptEvent, HUX_OrderAcceptField, OnOrderAccept)
HUX_RECORD_BRIDGE(On_ComboAcceptEvent, HUX_ComboAcceptField, OnComboAccept)
HUX_RECORD_BRIDGE(On_QuoteAcceptEvent, HUX_QuoteAcceptField, OnQuoteAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderMarketAcceptEvent, HUX_SpecialOrderMarketAcceptField, OnSpecialOrderMarketAccept)
HUX_RECORD_BRIDGE(On_OrderMarketAcceptEvent, HUX_OrderMarketAcceptField, OnOrderMarketAccept)
HUX_RECORD_BRIDGE(On_ComboMarketAcceptEvent, HUX_ComboMarketAcceptField, OnComboMarketAccept)
HUX_RECORD_BRIDGE(On_QuoteMarketAcceptEvent, HUX_QuoteMarketAcceptField, OnQuoteMarketAccept)
HUX_RECORD_BRIDGE(On_OrderMarketReportEvent, HUX_OrderMarketReportField, OnOrderMarketReport)
HUX_RECORD_BRIDGE(On_QuoteMarketReportEvent, HUX_QuoteMarketReportField, OnQuoteMarketReport)
HUX_RECORD_BRIDGE(On_OrderRejectEvent, HUX_OrderRejectField, OnOrderReject)
HUX_RECORD_BRIDGE(On_ComboRejectEvent, HUX_ComboRejectField, OnComboReject)
HUX_RECORD_BRIDGE(On_SpecialOrderRejectEvent, HUX_SpecialOrderRejectField, OnSpecialOrderReject)
HUX_RECORD_BRIDGE(On_QuoteRejectEvent, HUX_QuoteRejectField, OnQuoteReject)
HUX_RECORD_BRIDGE(On_OrderMarketRejectEvent, HUX_OrderMarketRejectField, OnOrderMarketReject)
HUX_RECORD_BRIDGE(On_ComboMarketRejectEvent, HUX_ComboMarketRejectField, OnComboMarketReject)
HUX_RECORD_BRIDGE(On_SpecialOrderMarketRejectEvent, HUX_SpecialOrderMarketRejectField, OnSpecialOrderMarketReject)
HUX_RECORD_BRIDGE(On_QuoteMarketRejectEvent, HUX_QuoteMarketRejectField, OnQuoteMarketReject)
HUX_RECORD_BRIDGE(On_OrderExecutionEvent, HUX_OrderExecutionField, OnOrderExecution)
HUX_RECORD_BRIDGE(On_OrderActionAcceptEvent, HUX_OrderActionAccept, OnOrderActionAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderActionAcceptEvent, HUX_SpecialOrderActionAccept, OnSpecialOrderActionAccept)
HUX_RECORD_BRIDGE(On_QuoteActionAcceptEvent, HUX_QuoteActionAccept, OnQuoteActionAccept)
HUX_RECORD_BRIDGE(On_InputRegForQuoteEvent, HUX_InputRegForQuoteResponse, OnInputRegForQuote)
HUX_RECORD_BRIDGE(On_OrderActionRejectEvent, HUX_OrderActionRej, OnOrderActionReject)
HUX_RECORD_BRIDGE(On_SpecialOrderActionRejectEvent, HUX_SpecialOrderActionRej, OnSpecialOrderActionReject)
HUX_RECORD_BRIDGE(On_QuoteActionRejEvent, HUX_QuoteActionRej, OnQuoteActionReject)
HUX_RECORD_BRIDGE(On_OrderActionMarketAcceptEvent, HUX_OrderActionMarketAcceptField, OnOrderActionMarketAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderActionMarketAcceptEvent, HUX_SpecialOrderActionMarketAcceptField,
                  OnSpecialOrderActionMarketAccept)
HUX_RECORD_BRIDGE(On_QuoteActionMarketAcceptEvent, HUX_QuoteActionMarketAcceptField, OnQuoteActionMarketAccept)
HUX_RECORD_BRIDGE(On_OrderActionMarketRejectEvent, HUX_OrderActionMarketRejectField, OnOrderActionMarketReject)
HUX_RECORD_BRIDGE(On_SpecialOrderActionMarketRejectEvent, HUX_SpecialOrderActionMarketRejectField,
                  OnSpecialOrderActionMarketReject)
HUX_RECORD_BRIDGE(On_QuoteActionMarketRejectEvent, HUX_QuoteActionMarketRejectField, OnQuoteActionMarketReject)
HUX_RECORD_BRIDGE(On_PostQuoteEvent, HUX_PostQuote, OnPostQuote)
HUX_RECORD_BRIDGE(On_PostOrderEvent, HUX_PostOrder, OnPostOrder)
HUX_RECORD_BRIDGE(On_PostSpecialOrderEvent, HUX_PostSpecialOrder, OnPostSpecialOrder)
HUX_RECORD_BRIDGE(On_PostOrderExecutionEvent, HUX_PostOrderExecution, OnPostOrderExecution)
HUX_RECORD_BRIDGE(On_InternalOrderEvent, HUX_InternalOrder, OnInternalOrder)
HUX_RECORD_BRIDGE(On_InternalOrderAdjustStatusEvent, HUX_InternalOrderAdjustStatus, OnInternalOrderAdjustStatus)
HUX_RECORD_BRIDGE(On_InternalOrderExecEvent, HUX_InternalOrderExecution, OnInternalOrderExec)
HUX_RECORD_BRIDGE(On_InternalOrderAdjustMktRejEvent, HUX_InternalOrderAdjustMktRej, OnInternalOrderAdjustMktRej)
HUX_RECORD_BRIDGE(On_InternalQuoteAdjustStatusEvent, HUX_InternalQuoteAdjustStatus, OnInternalQuoteAdjustStatus)
HUX_RECORD_BRIDGE(On_InternalQuoteAdjustMktRejEvent, HUX_InternalQuoteAdjustMktRej, OnInternalQuoteAdjustMktRej)
HUX_RECORD_BRIDGE(On_SymbolStatusReportEvent, HUX_SymbolStatus, OnSymbolStatusReport)
HUX_RECORD_BRIDGE(On_ProdStatusReportEvent, HUX_ProdStatus, OnProdStatusReport)
HUX_RECORD_BRIDGE(On_QuerySessionIDEvent, HUX_SessionID, OnQuerySessionID)

#undef HUX_RECORD_BRIDGE

// Registers the 51 bridges: every event of the session except the
// buying-power answer.
void register_bridges(void* h) {
    MVHUX_SetConnectionEvent(h, On_ConnectionEvent);
    MVHUX_SetUserLogonEvent(h, On_UserLogonEvent);
    MVHUX_SetHeartBeartTimeoutEvent(h, On_HeatbeatTimeoutEvent);
    MVHUX_SetOrderAcceptEvent(h, On_OrderAcceptEvent);
    MVHUX_SetComboAcceptEvent(h, On_ComboAcceptEvent);
    MVHUX_SetSpecialOrderAcceptEvent(h, On_SpecialOrderAcceptEvent);
    MVHUX_SetQuoteAcceptEvent(h, On_QuoteAcceptEvent);
    MVHUX_SetOrderMarketAcceptEvent(h, On_OrderMarketAcceptEvent);
    MVHUX_SetComboMarketAcceptEvent(h, On_ComboMarketAcceptEvent);
    MVHUX_SetSpecialOrderMarketAcceptEvent(h, On_SpecialOrderMarketAcceptEvent);
    MVHUX_SetQuoteMarketAcceptEvent(h, On_QuoteMarketAcceptEvent);
    MVHUX_SetOrderMarketReportEvent(h, On_OrderMarketReportEvent);
    MVHUX_SetQuoteMarketReportEvent(h, On_QuoteMarketReportEvent);
    MVHUX_SetOrderRejectEvent(h, On_OrderRejectEvent);
    MVHUX_SetComboRejectEvent(h, On_ComboRejectEvent);
    MVHUX_SetSpecialOrderRejectEvent(h, On_SpecialOrderRejectEvent);
    MVHUX_SetQuoteRejectEvent(h, On_QuoteRejectEvent);
    MVHUX_SetOrderMarketRejectEvent(h, On_OrderMarketRejectEvent);
    MVHUX_SetComboMarketRejectEvent(h, On_ComboMarketRejectEvent);
    MVHUX_SetSpecialOrderMarketRejectEvent(h, On_SpecialOrderMarketRejectEvent);
    MVHUX_SetQuoteMarketRejectEvent(h, On_QuoteMarketRejectEvent);
    MVHUX_SetOrderActionMarketAcceptEvent(h, On_OrderActionMarketAcceptEvent);
    MVHUX_SetSpecialOrderActionMarketAcceptEvent(h, On_SpecialOrderActionMarketAcceptEvent);
    MVHUX_SetQuoteActionMarketAcceptEvent(h, On_QuoteActionMarketAcceptEvent);
    MVHUX_SetOrderActionMarketRejectEvent(h, On_OrderActionMarketRejectEvent);
    MVHUX_SetSpecialOrderActionMarketRejectEvent(h, On_SpecialOrderActionMarketRejectEvent);
    MVHUX_SetQuoteActionMarketRejectEvent(h, On_QuoteActionMarketRejectEvent);
    MVHUX_SetOrderExecutionEvent(h, On_OrderExecutionEvent);
    MVHUX_SetOrderActionAcceptEvent(h, On_OrderActionAcceptEvent);
    MVHUX_SetSpecialOrderActionAcceptEvent(h, On_SpecialOrderActionAcceptEvent);
    MVHUX_SetQuoteActionAcceptEvent(h, On_QuoteActionAcceptEvent);
    MVHUX_SetOrderActionRejectEvent(h, On_OrderActionRejectEvent);
    MVHUX_SetSpecialOrderActionRejectEvent(h, On_SpecialOrderActionRejectEvent);
    MVHUX_SetQuoteActionRejectEvent(h, On_QuoteActionRejEvent);
    MVHUX_SetInputRegForQuoteEvent(h, On_InputRegForQuoteEvent);
    MVHUX_SetPostOrderEvent(h, On_PostOrderEvent);
    MVHUX_SetPostSpecialOrderEvent(h, On_PostSpecialOrderEvent);
    MVHUX_SetPostQuoteEvent(h, On_PostQuoteEvent);
    MVHUX_SetPostOrderExecutionEvent(h, On_PostOrderExecutionEvent);
    MVHUX_SetInternalOrderEvent(h, On_InternalOrderEvent);
    MVHUX_SetInternalOrderAdjustStatusEvent(h, On_InternalOrderAdjustStatusEvent);
    MVHUX_SetInternalOrderExecutionEvent(h, On_InternalOrderExecEvent);
    MVHUX_SetInternalOrderAdjustMktRejEvent(h, On_InternalOrderAdjustMktRejEvent);
    MVHUX_SetInternalQuoteAdjustStatusEvent(h, On_InternalQuoteAdjustStatusEvent);
    MVHUX_SetInternalQuoteAdjustMktRejEvent(h, On_InternalQuoteAdjustMktRejEvent);
    MVHUX_SetQueryMarketSessionEvent(h, On_QueryMarketSessionEvent);
    MVHUX_SetMarketSessionStatReportEvent(h, On_MarketSessionStatReportEvent);
    MVHUX_SetQuerySymbolStatusEvent(h, On_QuerySymbolStatusEvent);
    MVHUX_SetSymbolStatusReportEvent(h, On_SymbolStatusReportEvent);
    MVHUX_SetProdStatusReportEvent(h, On_ProdStatusReportEvent);
    MVHUX_SetQuerySessionIDEvent(h, On_QuerySessionIDEvent);
}

}  // namespace

HUXTradeImpl::HUXTradeImpl() : m_handle(nullptr), m_events(nullptr) {
    static const char version[] = "5.2.4.16";
    static_assert(sizeof(version) <= sizeof(m_version), "version text fits");
    memcpy(m_version, version, sizeof(version));
    memset(&m_warm_order, 0, sizeof(m_warm_order));
    memset(&m_warm_quote, 0, sizeof(m_warm_quote));
    m_handle = MVHUX_CreateTrade(this);
    register_bridges(m_handle);
}

HUXTradeImpl::~HUXTradeImpl() {
    if (m_handle) MVHUX_DestroyTrade(m_handle);
    m_handle = nullptr;
}

HUXTraderEvent* HUXTradeImpl::GetApiSpi(void* handle) {
    HUXTradeImpl* api = static_cast<HUXTradeImpl*>(MVHUX_GetUserParam(handle));
    return api ? api->m_events.load(std::memory_order_acquire) : nullptr;
}

void HUXTradeImpl::DestroyLater() {
    // The bridges find no event object from here on: the disconnect's own
    // "local disconnected" and whatever the receive loop still holds go
    // nowhere.
    m_events.store(nullptr, std::memory_order_release);
    MVHUX_DisConnServer(m_handle);
    // Freed on the library's own thread once no call on the session is under
    // way: the destructor destroys the session there, which waits for the
    // session's threads to leave it.
    HUX_NET::defer_free(static_cast<HUX_TRADE::CTradeClient*>(m_handle)->ApiCalls(), [this] { delete this; });
}

const char* HUXTradeImpl::GetTradeApiVersion() { return m_version; }

int HUXTradeImpl::SetAutoReconnect(bool on) { return MVHUX_SetAutoReconnect(m_handle, on); }

int HUXTradeImpl::SetMaxWaitTime(int milliseconds) { return MVHUX_SetMaxWaitTime(m_handle, milliseconds); }

int HUXTradeImpl::GetTimestamps(long long* timestamps, int& count) {
    return MVHUX_GetTimestamps(m_handle, timestamps, &count);
}

int HUXTradeImpl::ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events, bool mixed_protocol) {
    // Stored first: the connected event may come before MVHUX_ConnServer returns.
    m_events.store(events, std::memory_order_release);
    return MVHUX_ConnServer(m_handle, &info, mixed_protocol);
}

int HUXTradeImpl::DisConnServer() { return MVHUX_DisConnServer(m_handle); }

int HUXTradeImpl::UserLogon(const char* user_id, const char* password, const char* app_id, const char* auth_code) {
    return MVHUX_UserLogon(m_handle, user_id, password, app_id, auth_code);
}

int HUXTradeImpl::GetMaxToken(unsigned int* token) { return MVHUX_GetMaxToken(m_handle, token); }

int HUXTradeImpl::EnterOrder(HUX_EnterOrderField* order) { return MVHUX_EnterOrder(m_handle, order, false); }

int HUXTradeImpl::EnterCombo(HUX_EnterComboField* combo) { return MVHUX_EnterCombo(m_handle, combo); }

int HUXTradeImpl::EnterSpecialOrder(HUX_EnterSpecialOrderField* order) {
    return MVHUX_EnterSpecialOrder(m_handle, order);
}

int HUXTradeImpl::EnterOrderSimple(HUX_EnterOrderSimpleField* order, const char* account, const char* symbol) {
    return MVHUX_EnterSimpleOrder(m_handle, order, account, symbol);
}

int HUXTradeImpl::EnterQuoteSimple(HUX_EnterQuoteSimpleField* quote, const char* account, const char* symbol) {
    return MVHUX_EnterSimpleQuote(m_handle, quote, account, symbol);
}

int HUXTradeImpl::CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) {
    return MVHUX_CancelSpecialOrder(m_handle, cancel);
}

int HUXTradeImpl::EnterQuote(HUX_EnterQuoteField* quote) { return MVHUX_EnterQuote(m_handle, quote, false); }

int HUXTradeImpl::EnterOrderWarm() { return MVHUX_EnterOrder(m_handle, &m_warm_order, false); }

int HUXTradeImpl::EnterOrderWarm(HUX_EnterOrderField* order) { return MVHUX_EnterOrder(m_handle, order, true); }

int HUXTradeImpl::EnterQuoteWarm() { return MVHUX_EnterQuote(m_handle, &m_warm_quote, false); }

int HUXTradeImpl::EnterQuoteWarm(HUX_EnterQuoteField* quote) { return MVHUX_EnterQuote(m_handle, quote, true); }

int HUXTradeImpl::CancelOrder(HUX_CancelOrder* cancel) { return MVHUX_CancelOrder(m_handle, cancel); }

int HUXTradeImpl::QuoteAction(HUX_QuoteAction* action) { return MVHUX_QuoteAction(m_handle, action); }

int HUXTradeImpl::ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) {
    precise_time::convert_from_timestamp(timestamp, out, nanoseconds);
    return 0;
}

int HUXTradeImpl::SetLoggerSwitch(bool on) { return MVHUX_SetLoggerSwitch(m_handle, on); }

int HUXTradeImpl::LoggerFlush() { return MVHUX_LoggerFlush(m_handle); }

int HUXTradeImpl::SetAsyncReceiveMode() { return MVHUX_SetAsyncReceiveMode(m_handle); }

int HUXTradeImpl::ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) {
    return MVHUX_ChangeFCParam(m_handle, order_limit, cancel_limit);
}

int HUXTradeImpl::QueryMarketSession() { return MVHUX_QueryMarketSession(m_handle); }

int HUXTradeImpl::QuerySymbolStatus() { return MVHUX_QuerySymbolStatus(m_handle); }

int HUXTradeImpl::QuerySessionID(const char* session_id, unsigned char market) {
    return MVHUX_QuerySessionID(m_handle, session_id, market);
}

int HUXTradeImpl::QueryOtAccountBP(const char* account) { return MVHUX_QueryOtAccountBP(m_handle, account); }

extern "C" {

// Null when the object cannot be allocated.
HUXTraderApi* CreateHUXTraderApi() { return new (std::nothrow) HUXTradeImpl(); }

// Inside a callback the object and its session are still in use below the
// application: they are freed later (DestroyLater).
void DestroyHUXTraderApi(HUXTraderApi* api) {
    HUXTradeImpl* impl = dynamic_cast<HUXTradeImpl*>(api);
    if (impl && HUX_NET::must_defer_destroy(impl->GetHandle())) {
        impl->DestroyLater();
        return;
    }
    delete api;
}

}

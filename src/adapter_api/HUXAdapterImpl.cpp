// The adapter's API object (HUXAdapterImpl), its factory pair and its event
// bridges.
//
// Each bridge is the C callback of one client event: it finds the API
// object through the handle's user parameter, reads the event object that
// ConnServer stored and calls its method with the arguments after the handle
// unchanged. No event object, no call: events that come before ConnServer,
// or after a ConnServer given null, are dropped. The bridges run on the
// thread that fires the event (a receive or reconnect thread of either
// session) and take no lock.
#include "adapter_api/HUXAdapterImpl.h"

#include <cstring>
#include <new>

#include "adapter/Client.h"
#include "net/deferred_free.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"

namespace {

// Calls `method` of the handle's event object, if there is one.
template <typename Method, typename... Args>
inline void to_events(void* handle, Method method, Args... args) {
    HUXTraderEvent* events = HUXAdapterImpl::GetApiSpi(handle);
    if (events) (events->*method)(args...);
}

void On_ConnectionEvent(void* handle, int code, const char* text) {
    HUXTraderEvent* events = HUXAdapterImpl::GetApiSpi(handle);
    if (!events) return;
    if (code == 0)
        events->OnConnection(0, text);
    else
        events->OnDisconnection(code, text);
}

void On_UserLogonEvent(void* h, HUX_LogonResponse* rsp) { to_events(h, &HUXTraderEvent::OnUserLogon, rsp); }

void On_HeatbeatTimeoutEvent(void* h, int seconds) { to_events(h, &HUXTraderEvent::OnHeartbeatTimeout, seconds); }

void On_ChangePasswordEvent(void* h, int result) { to_events(h, &HUXTraderEvent::OnChangePassword, result); }

void On_QuerySymbolEvent(void* h, HUX_SymbolField* symbol, bool last) {
    to_events(h, &HUXTraderEvent::OnQuerySymbol, symbol, last);
}

void On_QueryUserAccountEvent(void* h, HUX_AccountInfo* info, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryUserAccount, info, last);
}

void On_QueryAccountPositionEvent(void* h, const char* account, HUX_AccountPosition* position, int request_no,
                                  bool last) {
    to_events(h, &HUXTraderEvent::OnQueryAccountPosition, account, position, request_no, last);
}

void On_QueryAccountOptionPositionEvent(void* h, const char* account, HUX_AccountOptionPosition* position,
                                        int request_no, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryAccountOptionPosition, account, position, request_no, last);
}

void On_QueryAccountBPEvent(void* h, const char* account, HUX_AccountBP* bp, int request_no) {
    to_events(h, &HUXTraderEvent::OnQueryAccountBP, account, bp, request_no);
}

void On_ReportAccountBPEvent(void* h, const char* account, HUX_AccountBP* bp) {
    to_events(h, &HUXTraderEvent::OnReportAccountBP, account, bp);
}

void On_QueryAccountTradeMarginEvent(void* h, const char* account, HUX_AccountMargin* margin, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryAccountTradeMargin, account, margin, last);
}

void On_QueryAccountTradeFeeEvent(void* h, const char* account, HUX_AccountFee* fee, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryAccountTradeFee, account, fee, last);
}

void On_QueryTradeOrderEvent(void* h, const char* account, HUX_QueryAccountOrder* order, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryTradeOrder, account, order, last);
}

void On_QueryTradeOrderExecEvent(void* h, const char* account, HUX_QueryOrderExecution* exec, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryTradeOrderExec, account, exec, last);
}

void On_QueryTradeOrderExecEventEx(void* h, const char* account, HUX_QueryOrderExecutionEx* exec, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryTradeOrderExecEx, account, exec, last);
}

void On_QueryMarketSessionEvent(void* h, HUX_ExchangeMarketSession* session, bool last) {
    to_events(h, &HUXTraderEvent::OnQueryMarketSession, session, last);
}

void On_MarketSessionStatReportEvent(void* h, uint8_t session, bool flag) {
    to_events(h, &HUXTraderEvent::OnMarketSessionStatReport, session, flag);
}

void On_QuerySymbolStatusEvent(void* h, HUX_SymbolStatus* status, bool last) {
    to_events(h, &HUXTraderEvent::OnQuerySymbolStatus, status, last);
}

// The adapter receives no market-by-level data: registered, never called,
// and it would forward nothing.
void On_QueryMarketMBLDataEvent(void*, HUX_MarketMBLData*, bool) {}

// The bridges that hand one record to one event method.
#define HUX_RECORD_BRIDGE(bridge, record, method) \
    void bridge(void* h, record* rec) { to_events(h, &HUXTraderEvent::method, rec); }

HUX_RECORD_BRIDGE(On_OrderAcceptEvent, HUX_OrderAcceptField, OnOrderAccept)
HUX_RECORD_BRIDGE(On_OrderMarketAcceptEvent, HUX_OrderMarketAcceptField, OnOrderMarketAccept)
HUX_RECORD_BRIDGE(On_OrderRejectEvent, HUX_OrderRejectField, OnOrderReject)
HUX_RECORD_BRIDGE(On_OrderMarketRejectEvent, HUX_OrderMarketRejectField, OnOrderMarketReject)
HUX_RECORD_BRIDGE(On_OrderExecutionEvent, HUX_OrderExecutionField, OnOrderExecution)
HUX_RECORD_BRIDGE(On_OrderCxledEvent, HUX_OrderCxled, OnOrderCxled)
HUX_RECORD_BRIDGE(On_CxlOrderRejectEvent, HUX_CxlOrderRej, OnCxlOrderReject)
HUX_RECORD_BRIDGE(On_PostOrderEvent, HUX_PostOrder, OnPostOrder)
HUX_RECORD_BRIDGE(On_PostOrderExecutionEvent, HUX_PostOrderExecution, OnPostOrderExecution)
HUX_RECORD_BRIDGE(On_SymbolStatusReportEvent, HUX_SymbolStatus, OnSymbolStatusReport)
HUX_RECORD_BRIDGE(On_QuerySessionIDEvent, HUX_SessionID, OnQuerySessionID)
HUX_RECORD_BRIDGE(On_SpecialOrderAcceptEvent, HUX_SpecialOrderAcceptField, OnSpecialOrderAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderRejectEvent, HUX_SpecialOrderRejectField, OnSpecialOrderReject)
HUX_RECORD_BRIDGE(On_SpecialOrderMarketAcceptEvent, HUX_SpecialOrderMarketAcceptField, OnSpecialOrderMarketAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderMarketRejectEvent, HUX_SpecialOrderMarketRejectField, OnSpecialOrderMarketReject)
HUX_RECORD_BRIDGE(On_SpecialOrderActionAcceptEvent, HUX_SpecialOrderActionAccept, OnSpecialOrderActionAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderActionRejectEvent, HUX_SpecialOrderActionRej, OnSpecialOrderActionReject)
HUX_RECORD_BRIDGE(On_SpecialOrderActionMarketAcceptEvent, HUX_SpecialOrderActionMarketAcceptField,
                  OnSpecialOrderActionMarketAccept)
HUX_RECORD_BRIDGE(On_SpecialOrderActionMarketRejectEvent, HUX_SpecialOrderActionMarketRejectField,
                  OnSpecialOrderActionMarketReject)
HUX_RECORD_BRIDGE(On_PostSpecialOrderEvent, HUX_PostSpecialOrder, OnPostSpecialOrder)

#undef HUX_RECORD_BRIDGE

// Registers the 39 bridges: every event of the client except the two risk
// data answers, which the object interface does not deliver.
void register_bridges(void* h) {
    MVHUX_SetConnectionEvent(h, On_ConnectionEvent);
    MVHUX_SetUserLogonEvent(h, On_UserLogonEvent);
    MVHUX_SetHeartBeartTimeoutEvent(h, On_HeatbeatTimeoutEvent);
    MVHUX_SetChangePasswordEvent(h, On_ChangePasswordEvent);
    MVHUX_SetQuerySymbolListEvent(h, On_QuerySymbolEvent);
    MVHUX_SetQueryUserAccountEvent(h, On_QueryUserAccountEvent);
    MVHUX_SetQueryAccountPositionEvent(h, On_QueryAccountPositionEvent);
    MVHUX_SetQueryAccountOptionPositionEvent(h, On_QueryAccountOptionPositionEvent);
    MVHUX_SetQueryAccountBPEvent(h, On_QueryAccountBPEvent);
    MVHUX_ReportAccountBPEvent(h, On_ReportAccountBPEvent);
    MVHUX_SetQueryAccountTradeMarginEvent(h, On_QueryAccountTradeMarginEvent);
    MVHUX_SetQueryAccountTradeFeeEvent(h, On_QueryAccountTradeFeeEvent);
    MVHUX_SetOrderAcceptEvent(h, On_OrderAcceptEvent);
    MVHUX_SetOrderMarketAcceptEvent(h, On_OrderMarketAcceptEvent);
    MVHUX_SetOrderRejectEvent(h, On_OrderRejectEvent);
    MVHUX_SetOrderMarketRejectEvent(h, On_OrderMarketRejectEvent);
    MVHUX_SetOrderExecutionEvent(h, On_OrderExecutionEvent);
    MVHUX_SetOrderCxledEvent(h, On_OrderCxledEvent);
    MVHUX_SetCxlOrderRejectEvent(h, On_CxlOrderRejectEvent);
    MVHUX_SetQueryTradeOrderEvent(h, On_QueryTradeOrderEvent);
    MVHUX_SetQueryTradeOrderExecEvent(h, On_QueryTradeOrderExecEvent);
    MVHUX_SetQueryTradeOrderExecEventEx(h, On_QueryTradeOrderExecEventEx);
    MVHUX_SetPostOrderEvent(h, On_PostOrderEvent);
    MVHUX_SetPostOrderExecutionEvent(h, On_PostOrderExecutionEvent);
    MVHUX_SetQueryMarketSessionEvent(h, On_QueryMarketSessionEvent);
    MVHUX_SetMarketSessionStatReportEvent(h, On_MarketSessionStatReportEvent);
    MVHUX_SetQuerySymbolStatusEvent(h, On_QuerySymbolStatusEvent);
    MVHUX_SetSymbolStatusReportEvent(h, On_SymbolStatusReportEvent);
    MVHUX_SetQueryMarketMBLDataEvent(h, On_QueryMarketMBLDataEvent);
    MVHUX_SetQuerySessionIDEvent(h, On_QuerySessionIDEvent);
    MVHUX_SetSpecialOrderAcceptEvent(h, On_SpecialOrderAcceptEvent);
    MVHUX_SetSpecialOrderMarketAcceptEvent(h, On_SpecialOrderMarketAcceptEvent);
    MVHUX_SetSpecialOrderActionMarketAcceptEvent(h, On_SpecialOrderActionMarketAcceptEvent);
    MVHUX_SetSpecialOrderActionMarketRejectEvent(h, On_SpecialOrderActionMarketRejectEvent);
    MVHUX_SetSpecialOrderRejectEvent(h, On_SpecialOrderRejectEvent);
    MVHUX_SetSpecialOrderMarketRejectEvent(h, On_SpecialOrderMarketRejectEvent);
    MVHUX_SetSpecialOrderActionAcceptEvent(h, On_SpecialOrderActionAcceptEvent);
    MVHUX_SetSpecialOrderActionRejectEvent(h, On_SpecialOrderActionRejectEvent);
    MVHUX_SetPostSpecialOrderEvent(h, On_PostSpecialOrderEvent);
}

}  // namespace

HUXAdapterImpl::HUXAdapterImpl() : m_handle(nullptr), m_events(nullptr) {
    // The warm-up order: the byte at 39 is 3, opt_1 99998, opt_5 2, opt_8 1
    // and its quantity 0, so it passes the checks and is never sent.
    memset(&m_warm_order, 0, sizeof(m_warm_order));
    m_warm_order.reserved39 = 3;
    m_warm_order.opt_1 = 99998;
    m_warm_order.opt_5 = 2;
    m_warm_order.opt_8 = 1;
    static const char version[] = "5.2.4.67";
    static_assert(sizeof(version) <= sizeof(m_version), "version text fits");
    memset(m_version, 0, sizeof(m_version));
    memcpy(m_version, version, sizeof(version));
    m_handle = MVHUX_CreateTrade(this);
    register_bridges(m_handle);
}

HUXAdapterImpl::~HUXAdapterImpl() {
    if (m_handle) MVHUX_DestroyTrade(m_handle);
    m_handle = nullptr;
}

HUXTraderEvent* HUXAdapterImpl::GetApiSpi(void* handle) {
    HUXAdapterImpl* api = static_cast<HUXAdapterImpl*>(MVHUX_GetUserParam(handle));
    return api ? api->m_events.load(std::memory_order_acquire) : nullptr;
}

void HUXAdapterImpl::DestroyLater() {
    // The bridges find no event object from here on: the disconnect's own
    // "local disconnected" and whatever the receive loops still hold go
    // nowhere.
    m_events.store(nullptr, std::memory_order_release);
    MVHUX_DisConnServer(m_handle);
    // Freed on the library's own thread once no call on the client is under
    // way: the destructor destroys the client there, which waits for both
    // sessions' threads to leave it.
    HUX_NET::defer_free(static_cast<HUX_ADAPTER::Client*>(m_handle)->ApiCalls(), [this] { delete this; });
}

const char* HUXAdapterImpl::GetTradeApiVersion() { return m_version; }

int HUXAdapterImpl::SetAutoReconnect(bool on) { return MVHUX_SetAutoReconnect(m_handle, on); }

int HUXAdapterImpl::SetMaxWaitTime(int trade_ms, int query_ms) {
    return MVHUX_SetMaxWaitTime(m_handle, trade_ms, query_ms);
}

int HUXAdapterImpl::GetTimestamps(long long* timestamps, int& count) {
    return MVHUX_GetTimestamps(m_handle, timestamps, &count);
}

int HUXAdapterImpl::ConnServer(const HUX_TradeSvrInfo& info, HUXTraderEvent* events) {
    // Stored first: the connected event may come before MVHUX_ConnServer returns.
    m_events.store(events, std::memory_order_release);
    return MVHUX_ConnServer(m_handle, &info);
}

int HUXAdapterImpl::ConnServer(const char* trade_ip, int trade_port, HUXTraderEvent* events, const char* query_ip,
                               int query_port) {
    if (!trade_ip || !query_ip) return HUX_RESULT_NULL_ARGUMENT;
    HUX_TradeSvrInfo info;  // the defaults: no UDP channel, no local address
    MORVAST::TOOLS::strncpy_mv(info.server_ip, sizeof(info.server_ip), trade_ip);
    MORVAST::TOOLS::strncpy_mv(info.query_ip, sizeof(info.query_ip), query_ip);
    info.tcp_port = static_cast<uint16_t>(trade_port);
    info.query_port = static_cast<uint16_t>(query_port);
    return ConnServer(info, events);
}

int HUXAdapterImpl::DisConnServer() { return MVHUX_DisConnServer(m_handle); }

int HUXAdapterImpl::UserLogon(const char* login_id, const char* password, const char* app_id,
                              const char* auth_code) {
    return MVHUX_UserLogon(m_handle, login_id, password, app_id, auth_code);
}

int HUXAdapterImpl::ChangePassword(const char* old_password, const char* new_password) {
    return MVHUX_ChangePassword(m_handle, old_password, new_password);
}

int HUXAdapterImpl::QuerySymbolList() { return MVHUX_QuerySymbolList(m_handle); }

int HUXAdapterImpl::QueryUserAccount() { return MVHUX_QueryUserAccount(m_handle); }

int HUXAdapterImpl::QueryAccountPosition(const char* account, int request_no) {
    return MVHUX_QueryAccountPosition(m_handle, account, request_no);
}

int HUXAdapterImpl::QueryAccountBP(const char* account, int request_no) {
    return MVHUX_QueryAccountBP(m_handle, account, request_no);
}

int HUXAdapterImpl::QueryAccountTradeMargin(const char* account) {
    return MVHUX_QueryAccountTradeMargin(m_handle, account);
}

int HUXAdapterImpl::QueryAccountTradeFee(const char* account) {
    return MVHUX_QueryAccountTradeFee(m_handle, account);
}

int HUXAdapterImpl::GetMaxToken(unsigned int* token) { return MVHUX_GetMaxToken(m_handle, token); }

int HUXAdapterImpl::EnterOrder(HUX_EnterOrderField* order) { return MVHUX_EnterOrder(m_handle, order); }

int HUXAdapterImpl::CancelOrder(HUX_CancelOrder* cancel) { return MVHUX_CancelOrder(m_handle, cancel); }

int HUXAdapterImpl::EnterOrderWarm() { return MVHUX_EnterOrder(m_handle, &m_warm_order); }

int HUXAdapterImpl::QueryAccountOrder(const char* account) { return MVHUX_QueryAccountOrder(m_handle, account); }

int HUXAdapterImpl::QueryAccountOrderExecution(const char* account, unsigned int kind) {
    return MVHUX_QueryAccountOrderExecution(m_handle, account, kind);
}

int HUXAdapterImpl::QueryMarketSession() { return MVHUX_QueryMarketSession(m_handle); }

int HUXAdapterImpl::ConvertFromTimestamp(unsigned long long timestamp, tm& out, unsigned int& nanoseconds) {
    precise_time::convert_from_timestamp(timestamp, out, nanoseconds);
    return 0;
}

int HUXAdapterImpl::SetLoggerSwitch(bool on) { return MVHUX_SetLoggerSwitch(m_handle, on); }

int HUXAdapterImpl::QuerySymbolStatus() { return MVHUX_QuerySymbolStatus(m_handle); }

int HUXAdapterImpl::LoggerFlush() { return MVHUX_LoggerFlush(m_handle); }

int HUXAdapterImpl::SetAsyncReceiveMode() { return MVHUX_SetAsyncReceiveMode(m_handle); }

int HUXAdapterImpl::EnterMultiOrders(HUX_EnterOrderField* orders, int count) {
    return MVHUX_EnterMultiOrders(m_handle, orders, count);
}

int HUXAdapterImpl::EnterMultiCxlOrders(HUX_CancelOrder* cancels, int count) {
    return MVHUX_EnterMultiCxlOrders(m_handle, cancels, count);
}

int HUXAdapterImpl::QueryMarketMBLData(int value, unsigned char market, int value2) {
    return MVHUX_QueryMarketMBLData(m_handle, value, market, nullptr, nullptr, value2);
}

int HUXAdapterImpl::QueryMarketMBLData(int value, const char* text, const char* text2, int value2) {
    return MVHUX_QueryMarketMBLData(m_handle, value, 0, text, text2, value2);
}

int HUXAdapterImpl::ChangeFCParam(unsigned int order_limit, unsigned int cancel_limit) {
    return MVHUX_ChangeFCParam(m_handle, order_limit, cancel_limit);
}

int HUXAdapterImpl::QuerySessionID(const char* session_id, unsigned char market) {
    return MVHUX_QuerySessionID(m_handle, session_id, market);
}

int HUXAdapterImpl::EnterSpecialOrder(HUX_EnterSpecialOrderField* order) {
    return MVHUX_EnterSpecialOrder(m_handle, order);
}

int HUXAdapterImpl::CancelSpecialOrder(HUX_CancelSpecialOrder* cancel) {
    return MVHUX_CancelSpecialOrder(m_handle, cancel);
}

extern "C" {

HUXTraderApi* CreateHUXTraderApi() { return new (std::nothrow) HUXAdapterImpl(); }

// Inside a callback the object and its client are still in use below the
// application: they are freed later (DestroyLater).
void DestroyHUXTraderApi(HUXTraderApi* api) {
    HUXAdapterImpl* impl = dynamic_cast<HUXAdapterImpl*>(api);
    if (impl && HUX_NET::must_defer_destroy(impl->GetHandle())) {
        impl->DestroyLater();
        return;
    }
    delete api;
}

}

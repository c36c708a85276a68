/* The adapter's public records compile as C: the same packed sizes and
 * offsets as in C++, and callbacks written as plain C functions fit the
 * callback types. Compiled only; every check is made at compile time. */
#include <stddef.h>
#include <stdint.h>

#include "hux_adapter_query_struct.h"
#include "hux_adapter_struct.h"
#include "hux_static_assert.h"

HUX_STATIC_ASSERT(sizeof(HUX_TradeSvrInfo) == 68, "C: HUX_TradeSvrInfo");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, heartbeat_interval) == 61, "C: heartbeat_interval at 61");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, rsp_cpu) == 65, "C: rsp_cpu at 65");
HUX_STATIC_ASSERT(sizeof(HUX_LogonResponse) == 32, "C: HUX_LogonResponse");
HUX_STATIC_ASSERT(sizeof(HUX_OrderAcceptField) == 96, "C: HUX_OrderAcceptField");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, price) == 65, "C: price at 65");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_1) == 78, "C: opt_1 at 78");
HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketAcceptField) == 67, "C: HUX_OrderMarketAcceptField");
HUX_STATIC_ASSERT(sizeof(HUX_OrderRejectField) == 2194, "C: HUX_OrderRejectField");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, value_text) == 1170, "C: value_text at 1170");
HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketRejectField) == 127, "C: HUX_OrderMarketRejectField");
HUX_STATIC_ASSERT(sizeof(HUX_OrderExecutionField) == 69, "C: HUX_OrderExecutionField");
HUX_STATIC_ASSERT(sizeof(HUX_OrderCxled) == 29, "C: HUX_OrderCxled");
HUX_STATIC_ASSERT(sizeof(HUX_CxlOrderRej) == 127, "C: HUX_CxlOrderRej");
HUX_STATIC_ASSERT(sizeof(HUX_PostOrder) == 104, "C: HUX_PostOrder");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, exchange_order_id) == 78, "C: exchange_order_id at 78");
HUX_STATIC_ASSERT(sizeof(HUX_PostOrderExecution) == 65, "C: HUX_PostOrderExecution");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderAcceptField) == 77, "C: HUX_SpecialOrderAcceptField");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderRejectField) == 2073, "C: HUX_SpecialOrderRejectField");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketAcceptField) == 66, "C: HUX_SpecialOrderMarketAcceptField");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketRejectField) == 127, "C: HUX_SpecialOrderMarketRejectField");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionAccept) == 28, "C: HUX_SpecialOrderActionAccept");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionRej) == 116, "C: HUX_SpecialOrderActionRej");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketAcceptField) == 33, "C: HUX_SpecialOrderActionMarketAcceptField");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketRejectField) == 125, "C: HUX_SpecialOrderActionMarketRejectField");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, reserved_118) == 118, "C: zero tail at 118");
HUX_STATIC_ASSERT(sizeof(HUX_PostSpecialOrder) == 95, "C: HUX_PostSpecialOrder");
HUX_STATIC_ASSERT(sizeof(HUX_ExchangeMarketSession) == 257, "C: HUX_ExchangeMarketSession");
HUX_STATIC_ASSERT(sizeof(HUX_SymbolStatus) == 36, "C: HUX_SymbolStatus");
HUX_STATIC_ASSERT(sizeof(HUX_SessionID) == 25, "C: HUX_SessionID");

HUX_STATIC_ASSERT(sizeof(HUX_AccountInfo) == 69, "C: HUX_AccountInfo");
HUX_STATIC_ASSERT(sizeof(HUX_AccountPosition) == 86, "C: HUX_AccountPosition");
HUX_STATIC_ASSERT(sizeof(HUX_AccountOptionPosition) == 131, "C: HUX_AccountOptionPosition");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, strike) == 62, "C: strike at 62");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, quantity_a) == 90, "C: quantity_a at 90");
HUX_STATIC_ASSERT(sizeof(HUX_AccountBP) == 89, "C: HUX_AccountBP");
HUX_STATIC_ASSERT(sizeof(HUX_AccountMargin) == 43, "C: HUX_AccountMargin");
HUX_STATIC_ASSERT(sizeof(HUX_AccountFee) == 79, "C: HUX_AccountFee");
HUX_STATIC_ASSERT(offsetof(HUX_AccountFee, fee_kind) == 75, "C: fee_kind at 75");
HUX_STATIC_ASSERT(sizeof(HUX_QueryAccountOrder) == 132, "C: HUX_QueryAccountOrder");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, coded_69) == 90, "C: coded_69 at 90");
HUX_STATIC_ASSERT(sizeof(HUX_QueryOrderExecution) == 69, "C: HUX_QueryOrderExecution");
HUX_STATIC_ASSERT(sizeof(HUX_QueryOrderExecutionEx) == 90, "C: HUX_QueryOrderExecutionEx");
HUX_STATIC_ASSERT(sizeof(HUX_SymbolField) == 141, "C: HUX_SymbolField");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, underlying) == 121, "C: underlying at 121");
HUX_STATIC_ASSERT(sizeof(HUX_AccountRiskData) == 957, "C: HUX_AccountRiskData");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_508) == 949, "C: value_508 at 949");
HUX_STATIC_ASSERT(sizeof(HUX_AccountSymbolRiskData) == 417, "C: HUX_AccountSymbolRiskData");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, account) == 4, "C: account at 4");

static void on_accept(void* handle, HUX_OrderAcceptField* rec) {
    (void)handle;
    (void)rec;
}

static void on_market_session(void* handle, HUX_ExchangeMarketSession* rec, bool last) {
    (void)handle;
    (void)rec;
    (void)last;
}

static void on_session_report(void* handle, uint8_t session, bool flag) {
    (void)handle;
    (void)session;
    (void)flag;
}

static void on_logon(void* handle, HUX_LogonResponse* rsp) {
    (void)handle;
    (void)rsp;
}

static void on_option_position(void* handle, const char* account, HUX_AccountOptionPosition* rec, int request_no,
                               bool last) {
    (void)handle;
    (void)account;
    (void)rec;
    (void)request_no;
    (void)last;
}

static void on_bp_report(void* handle, const char* account, HUX_AccountBP* rec) {
    (void)handle;
    (void)account;
    (void)rec;
}

static void on_risk(void* handle, HUX_AccountRiskData* rec, int value) {
    (void)handle;
    (void)rec;
    (void)value;
}

static void on_password(void* handle, int result) {
    (void)handle;
    (void)result;
}

/* Referenced so that the assignments are type-checked. */
int hux_adapter_header_c_callbacks_fit(void);
int hux_adapter_header_c_callbacks_fit(void) {
    HUX_OrderAcceptEvent accept = on_accept;
    HUX_QueryMarketSessionEvent market_session = on_market_session;
    HUX_MarketSessionStatReportEvent session_report = on_session_report;
    HUX_UserLogonEvent logon = on_logon;
    HUX_QueryAccountOptionPositionEvent option_position = on_option_position;
    HUX_ReportAccountBPEvent bp_report = on_bp_report;
    HUX_QueryAccountRiskDataEvent risk = on_risk;
    HUX_ChangePasswordEvent password = on_password;
    return accept != 0 && market_session != 0 && session_report != 0 && logon != 0 && option_position != 0 &&
           bp_report != 0 && risk != 0 && password != 0;
}

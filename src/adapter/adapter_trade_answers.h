// The adapter trade session's answers: its receive table (every type the
// server sends it except the session's own logon, version and heart-beat
// answers) and the handlers that turn each answer into the adapter's record
// and hand it to the application's callback.
//
// Handlers read the message in place (byte offsets of the wire, little-
// endian), build the record on their stack and call the callback of its kind
// with the owner as first argument; an unset callback means nothing is built.
// They run on the session's receive thread; the callbacks may be set from
// any thread.
#ifndef HUX_ADAPTER_TRADE_ANSWERS_H
#define HUX_ADAPTER_TRADE_ANSWERS_H

#include <atomic>
#include <cstdint>

#include "adapter/adapter_reject_text.h"
#include "hux_adapter_struct.h"
#include "trade_core/trade_dispatch.h"

namespace HUX_ADAPTER {

// The result callbacks of the trade answers; all null at start.
struct adapter_trade_events {
    std::atomic<HUX_OrderAcceptEvent> OrderAccept{nullptr};
    std::atomic<HUX_OrderRejectEvent> OrderReject{nullptr};
    std::atomic<HUX_OrderMarketAcceptEvent> OrderMarketAccept{nullptr};
    std::atomic<HUX_OrderMarketRejectEvent> OrderMarketReject{nullptr};
    std::atomic<HUX_OrderExecutionEvent> OrderExecution{nullptr};
    std::atomic<HUX_OrderCxledEvent> OrderCxled{nullptr};
    std::atomic<HUX_CxlOrderRejectEvent> CxlOrderReject{nullptr};
    std::atomic<HUX_PostOrderEvent> PostOrder{nullptr};
    std::atomic<HUX_PostOrderExecutionEvent> PostOrderExecution{nullptr};
    std::atomic<HUX_QueryMarketSessionEvent> QueryMarketSession{nullptr};
    std::atomic<HUX_MarketSessionStatReportEvent> MarketSessionStatReport{nullptr};
    std::atomic<HUX_SymbolStatusReportEvent> SymbolStatusReport{nullptr};
    std::atomic<HUX_QuerySymbolStatusEvent> QuerySymbolStatus{nullptr};
    std::atomic<HUX_QuerySessionIDEvent> QuerySessionID{nullptr};
    std::atomic<HUX_SpecialOrderAcceptEvent> SpecialOrderAccept{nullptr};
    std::atomic<HUX_SpecialOrderRejectEvent> SpecialOrderReject{nullptr};
    std::atomic<HUX_SpecialOrderActionAcceptEvent> SpecialOrderActionAccept{nullptr};
    std::atomic<HUX_SpecialOrderActionRejectEvent> SpecialOrderActionRej{nullptr};
    std::atomic<HUX_SpecialOrderMarketAcceptEvent> SpecialOrderMarketAccept{nullptr};
    std::atomic<HUX_SpecialOrderMarketRejectEvent> SpecialOrderMarketReject{nullptr};
    std::atomic<HUX_SpecialOrderActionMarketAcceptEvent> SpecialOrderActionMarketAccept{nullptr};
    std::atomic<HUX_SpecialOrderActionMarketRejectEvent> SpecialOrderActionMarketReject{nullptr};
    std::atomic<HUX_PostSpecialOrderEvent> PostSpecialOrder{nullptr};
};

// What the handlers need: the session passes a pointer to its context as
// the `session` argument of every route handler.
struct adapter_answer_context {
    void* owner = nullptr;    // first argument of every callback
    void* session = nullptr;  // the trade session, for its own handlers
    adapter_trade_events events;
    CRejectReasonText texts;  // filled by the session (InitRejectReasonText)
};

// Adds the answer types with their lengths, logon needs, handlers (null for
// types consumed without action) and log names. The session adds its own
// logon, version and heart-beat answers; any type not added is unknown.
void add_answer_routes(HUX_TRADE_CORE::msg_route_table& t);

// The text-log label (after "proc ") of a handled message: "" on the accept
// path of the order and cancel answers and of the quote answers (their
// verdict field 0), else the route's name. `msg` holds the whole message.
const char* answer_label(const HUX_TRADE_CORE::msg_route& r, uint16_t type, const unsigned char* msg);

}  // namespace HUX_ADAPTER

#endif

// The callback slots of the order, execution, report, quote, combination and
// special-order answers: one C function pointer per event, null until set
// (a null slot drops the event: the message is consumed, nothing is built).
#ifndef HUX_TRADE_CLIENT_ANSWER_EVENTS_H
#define HUX_TRADE_CLIENT_ANSWER_EVENTS_H

#include <atomic>

#include "hux_trade_answer_struct.h"

namespace HUX_TRADE {

struct trade_answer_events {
    std::atomic<HUX_OrderAcceptEvent> OrderAccept{nullptr};
    std::atomic<HUX_OrderRejectEvent> OrderReject{nullptr};
    std::atomic<HUX_OrderMarketAcceptEvent> OrderMarketAccept{nullptr};
    std::atomic<HUX_OrderMarketRejectEvent> OrderMarketReject{nullptr};
    std::atomic<HUX_OrderActionAcceptEvent> OrderActionAccept{nullptr};
    std::atomic<HUX_OrderActionRejectEvent> OrderActionReject{nullptr};
    std::atomic<HUX_OrderActionMarketAcceptEvent> OrderActionMarketAccept{nullptr};
    std::atomic<HUX_OrderActionMarketRejectEvent> OrderActionMarketReject{nullptr};
    std::atomic<HUX_OrderExecutionEvent> OrderExecution{nullptr};
    std::atomic<HUX_OrderMarketReportEvent> OrderMarketReport{nullptr};
    std::atomic<HUX_PostOrderEvent> PostOrder{nullptr};
    std::atomic<HUX_PostOrderExecutionEvent> PostOrderExecution{nullptr};
    std::atomic<HUX_PostSpecialOrderEvent> PostSpecialOrder{nullptr};
    std::atomic<HUX_InternalOrderEvent> InternalOrder{nullptr};
    std::atomic<HUX_InternalOrderAdjustStatusEvent> InternalOrderAdjustStatus{nullptr};
    std::atomic<HUX_InternalOrderExecutionEvent> InternalOrderExecution{nullptr};
    std::atomic<HUX_InternalOrderAdjustMktRejEvent> InternalOrderAdjustMktRej{nullptr};
    std::atomic<HUX_InternalQuoteAdjustStatusEvent> InternalQuoteAdjustStatus{nullptr};
    std::atomic<HUX_InternalQuoteAdjustMktRejEvent> InternalQuoteAdjustMktRej{nullptr};
    std::atomic<HUX_QuoteAcceptEvent> QuoteAccept{nullptr};
    std::atomic<HUX_QuoteRejectEvent> QuoteReject{nullptr};
    std::atomic<HUX_QuoteMarketAcceptEvent> QuoteMarketAccept{nullptr};
    std::atomic<HUX_QuoteMarketRejectEvent> QuoteMarketReject{nullptr};
    std::atomic<HUX_QuoteMarketReportEvent> QuoteMarketReport{nullptr};
    std::atomic<HUX_PostQuoteEvent> PostQuote{nullptr};
    std::atomic<HUX_QuoteActionAcceptEvent> QuoteActionAccept{nullptr};
    std::atomic<HUX_QuoteActionRejectEvent> QuoteActionReject{nullptr};
    std::atomic<HUX_QuoteActionMarketAcceptEvent> QuoteActionMarketAccept{nullptr};
    std::atomic<HUX_QuoteActionMarketRejectEvent> QuoteActionMarketReject{nullptr};
    std::atomic<HUX_ComboAcceptEvent> ComboAccept{nullptr};
    std::atomic<HUX_ComboRejectEvent> ComboReject{nullptr};
    std::atomic<HUX_ComboMarketAcceptEvent> ComboMarketAccept{nullptr};
    std::atomic<HUX_ComboMarketRejectEvent> ComboMarketReject{nullptr};
    std::atomic<HUX_SpecialOrderAcceptEvent> SpecialOrderAccept{nullptr};
    std::atomic<HUX_SpecialOrderRejectEvent> SpecialOrderReject{nullptr};
    std::atomic<HUX_SpecialOrderMarketAcceptEvent> SpecialOrderMarketAccept{nullptr};
    std::atomic<HUX_SpecialOrderMarketRejectEvent> SpecialOrderMarketReject{nullptr};
    std::atomic<HUX_SpecialOrderActionAcceptEvent> SpecialOrderActionAccept{nullptr};
    std::atomic<HUX_SpecialOrderActionRejectEvent> SpecialOrderActionReject{nullptr};
    std::atomic<HUX_SpecialOrderActionMarketAcceptEvent> SpecialOrderActionMarketAccept{nullptr};
    std::atomic<HUX_SpecialOrderActionMarketRejectEvent> SpecialOrderActionMarketReject{nullptr};
};

}  // namespace HUX_TRADE

#endif

// The answer records: every wire record is exactly the fixed length the
// protocol gives its type, and every callback type takes its own record.
#include <cstddef>
#include <type_traits>

#include <gtest/gtest.h>

#include "include/hux_trade_answer_struct.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/trade_msg_answers.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/trade_wire.h"

namespace {

using namespace HUX_TRADE_WIRE;

static_assert(std::is_same<HUX_OrderAcceptEvent, void (*)(void*, HUX_OrderAcceptField*)>::value, "HUX_OrderAcceptEvent");
static_assert(std::is_same<HUX_OrderRejectEvent, void (*)(void*, HUX_OrderRejectField*)>::value, "HUX_OrderRejectEvent");
static_assert(std::is_same<HUX_OrderMarketAcceptEvent, void (*)(void*, HUX_OrderMarketAcceptField*)>::value, "HUX_OrderMarketAcceptEvent");
static_assert(std::is_same<HUX_OrderMarketRejectEvent, void (*)(void*, HUX_OrderMarketRejectField*)>::value, "HUX_OrderMarketRejectEvent");
static_assert(std::is_same<HUX_OrderActionAcceptEvent, void (*)(void*, HUX_OrderActionAccept*)>::value, "HUX_OrderActionAcceptEvent");
static_assert(std::is_same<HUX_OrderActionRejectEvent, void (*)(void*, HUX_OrderActionRej*)>::value, "HUX_OrderActionRejectEvent");
static_assert(std::is_same<HUX_OrderActionMarketAcceptEvent, void (*)(void*, HUX_OrderActionMarketAcceptField*)>::value, "HUX_OrderActionMarketAcceptEvent");
static_assert(std::is_same<HUX_OrderActionMarketRejectEvent, void (*)(void*, HUX_OrderActionMarketRejectField*)>::value, "HUX_OrderActionMarketRejectEvent");
static_assert(std::is_same<HUX_OrderExecutionEvent, void (*)(void*, HUX_OrderExecutionField*)>::value, "HUX_OrderExecutionEvent");
static_assert(std::is_same<HUX_OrderMarketReportEvent, void (*)(void*, HUX_OrderMarketReportField*)>::value, "HUX_OrderMarketReportEvent");
static_assert(std::is_same<HUX_PostOrderEvent, void (*)(void*, HUX_PostOrder*)>::value, "HUX_PostOrderEvent");
static_assert(std::is_same<HUX_PostOrderExecutionEvent, void (*)(void*, HUX_PostOrderExecution*)>::value, "HUX_PostOrderExecutionEvent");
static_assert(std::is_same<HUX_PostSpecialOrderEvent, void (*)(void*, HUX_PostSpecialOrder*)>::value, "HUX_PostSpecialOrderEvent");
static_assert(std::is_same<HUX_InternalOrderEvent, void (*)(void*, HUX_InternalOrder*)>::value, "HUX_InternalOrderEvent");
static_assert(std::is_same<HUX_InternalOrderAdjustStatusEvent, void (*)(void*, HUX_InternalOrderAdjustStatus*)>::value, "HUX_InternalOrderAdjustStatusEvent");
static_assert(std::is_same<HUX_InternalOrderExecutionEvent, void (*)(void*, HUX_InternalOrderExecution*)>::value, "HUX_InternalOrderExecutionEvent");
static_assert(std::is_same<HUX_InternalOrderAdjustMktRejEvent, void (*)(void*, HUX_InternalOrderAdjustMktRej*)>::value, "HUX_InternalOrderAdjustMktRejEvent");
static_assert(std::is_same<HUX_InternalQuoteAdjustStatusEvent, void (*)(void*, HUX_InternalQuoteAdjustStatus*)>::value, "HUX_InternalQuoteAdjustStatusEvent");
static_assert(std::is_same<HUX_InternalQuoteAdjustMktRejEvent, void (*)(void*, HUX_InternalQuoteAdjustMktRej*)>::value, "HUX_InternalQuoteAdjustMktRejEvent");
static_assert(std::is_same<HUX_QuoteAcceptEvent, void (*)(void*, HUX_QuoteAcceptField*)>::value, "HUX_QuoteAcceptEvent");
static_assert(std::is_same<HUX_QuoteRejectEvent, void (*)(void*, HUX_QuoteRejectField*)>::value, "HUX_QuoteRejectEvent");
static_assert(std::is_same<HUX_QuoteMarketAcceptEvent, void (*)(void*, HUX_QuoteMarketAcceptField*)>::value, "HUX_QuoteMarketAcceptEvent");
static_assert(std::is_same<HUX_QuoteMarketRejectEvent, void (*)(void*, HUX_QuoteMarketRejectField*)>::value, "HUX_QuoteMarketRejectEvent");
static_assert(std::is_same<HUX_QuoteMarketReportEvent, void (*)(void*, HUX_QuoteMarketReportField*)>::value, "HUX_QuoteMarketReportEvent");
static_assert(std::is_same<HUX_PostQuoteEvent, void (*)(void*, HUX_PostQuote*)>::value, "HUX_PostQuoteEvent");
static_assert(std::is_same<HUX_QuoteActionAcceptEvent, void (*)(void*, HUX_QuoteActionAccept*)>::value, "HUX_QuoteActionAcceptEvent");
static_assert(std::is_same<HUX_QuoteActionRejectEvent, void (*)(void*, HUX_QuoteActionRej*)>::value, "HUX_QuoteActionRejectEvent");
static_assert(std::is_same<HUX_QuoteActionMarketAcceptEvent, void (*)(void*, HUX_QuoteActionMarketAcceptField*)>::value, "HUX_QuoteActionMarketAcceptEvent");
static_assert(std::is_same<HUX_QuoteActionMarketRejectEvent, void (*)(void*, HUX_QuoteActionMarketRejectField*)>::value, "HUX_QuoteActionMarketRejectEvent");
static_assert(std::is_same<HUX_ComboAcceptEvent, void (*)(void*, HUX_ComboAcceptField*)>::value, "HUX_ComboAcceptEvent");
static_assert(std::is_same<HUX_ComboRejectEvent, void (*)(void*, HUX_ComboRejectField*)>::value, "HUX_ComboRejectEvent");
static_assert(std::is_same<HUX_ComboMarketAcceptEvent, void (*)(void*, HUX_ComboMarketAcceptField*)>::value, "HUX_ComboMarketAcceptEvent");
static_assert(std::is_same<HUX_ComboMarketRejectEvent, void (*)(void*, HUX_ComboMarketRejectField*)>::value, "HUX_ComboMarketRejectEvent");
static_assert(std::is_same<HUX_SpecialOrderAcceptEvent, void (*)(void*, HUX_SpecialOrderAcceptField*)>::value, "HUX_SpecialOrderAcceptEvent");
static_assert(std::is_same<HUX_SpecialOrderRejectEvent, void (*)(void*, HUX_SpecialOrderRejectField*)>::value, "HUX_SpecialOrderRejectEvent");
static_assert(std::is_same<HUX_SpecialOrderMarketAcceptEvent, void (*)(void*, HUX_SpecialOrderMarketAcceptField*)>::value, "HUX_SpecialOrderMarketAcceptEvent");
static_assert(std::is_same<HUX_SpecialOrderMarketRejectEvent, void (*)(void*, HUX_SpecialOrderMarketRejectField*)>::value, "HUX_SpecialOrderMarketRejectEvent");
static_assert(std::is_same<HUX_SpecialOrderActionAcceptEvent, void (*)(void*, HUX_SpecialOrderActionAccept*)>::value, "HUX_SpecialOrderActionAcceptEvent");
static_assert(std::is_same<HUX_SpecialOrderActionRejectEvent, void (*)(void*, HUX_SpecialOrderActionRej*)>::value, "HUX_SpecialOrderActionRejectEvent");
static_assert(std::is_same<HUX_SpecialOrderActionMarketAcceptEvent, void (*)(void*, HUX_SpecialOrderActionMarketAcceptField*)>::value, "HUX_SpecialOrderActionMarketAcceptEvent");
static_assert(std::is_same<HUX_SpecialOrderActionMarketRejectEvent, void (*)(void*, HUX_SpecialOrderActionMarketRejectField*)>::value, "HUX_SpecialOrderActionMarketRejectEvent");

struct WireCase {
    uint16_t type;
    bool qv27;
    size_t size;
    const char* name;
};

#define WIRE_CASE(type, qv27, rec) {type, qv27, sizeof(rec), #rec}

const WireCase kWireCases[] = {
    WIRE_CASE(1010, false, ostrel_client_order_insert_resp),
    WIRE_CASE(1010, true, ostrel_client_order_insert_resp),
    WIRE_CASE(1011, false, ostrel_client_order_action_resp),
    WIRE_CASE(1012, false, ostrel_client_order_insert_market_resp),
    WIRE_CASE(1013, false, ostrel_client_order_action_market_resp),
    WIRE_CASE(1014, false, order_execution_received),
    WIRE_CASE(1015, false, ostrel_client_order_market_report),
    WIRE_CASE(1016, false, post_order_received),
    WIRE_CASE(1017, false, post_order_execution_received),
    WIRE_CASE(1018, false, ostrel_client_quote_insert_resp),
    WIRE_CASE(1018, true, qv27_ostrel_client_quote_insert_resp),
    WIRE_CASE(1019, false, ostrel_client_quote_action_resp),
    WIRE_CASE(1020, false, ostrel_client_quote_insert_market_resp),
    WIRE_CASE(1021, false, ostrel_client_quote_action_market_resp),
    WIRE_CASE(1022, false, ostrel_client_quote_market_report),
    WIRE_CASE(1023, false, post_quote_received),
    WIRE_CASE(1025, false, ostrel_client_combo_insert_resp),
    WIRE_CASE(1026, false, ostrel_client_combo_insert_market_resp),
    WIRE_CASE(1030, false, ostrel_client_special_order_insert_resp),
    WIRE_CASE(1031, false, ostrel_client_special_order_action_resp),
    WIRE_CASE(1032, false, ostrel_client_special_order_insert_market_resp),
    WIRE_CASE(1033, false, ostrel_client_special_order_action_market_resp),
    WIRE_CASE(1034, false, post_special_order_received),
    WIRE_CASE(2201, false, ostrel_internal_order_insert_resp),
    WIRE_CASE(2202, false, ostrel_internal_order_adjust_status_resp),
    WIRE_CASE(2202, true, qv27_post_order_received),
    WIRE_CASE(2203, false, ostrel_internal_order_execution_resp),
    WIRE_CASE(2203, true, qv27_post_order_execution_received),
    WIRE_CASE(2204, false, ostrel_internal_order_adjust_mkt_rej_resp),
    WIRE_CASE(2204, true, qv27_ostrel_client_passive_order_adjust_mkt_rej_resp),
    WIRE_CASE(2205, false, ostrel_internal_quote_adjust_status_resp),
    WIRE_CASE(2205, true, qv27_ostrel_client_passive_quote_adjust_status_resp),
    WIRE_CASE(2206, false, ostrel_internal_quote_adjust_mkt_rej_resp),
};

#undef WIRE_CASE

TEST(AnswerRecords, WireRecordsHaveTheFixedLengthOfTheirType) {
    for (const WireCase& c : kWireCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(static_cast<int>(c.size), trade_msg_length(c.type, c.qv27)) << "type " << c.type << " qv27 " << c.qv27;
    }
    // The two editions of 2205 really are read from different lengths.
    EXPECT_EQ(296, trade_msg_length(2205, false));
    EXPECT_EQ(232, trade_msg_length(2205, true));
}

}  // namespace

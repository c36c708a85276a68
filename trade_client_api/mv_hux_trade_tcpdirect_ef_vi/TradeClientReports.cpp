// Executions, order reports, posted orders and server-internal orders.
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/trade_msg.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

// Consumed by their fixed length until their handlers join the table.
void CTradeClient::add_report_routes(HUX_TRADE_CORE::msg_route_table& t) {
    t.add(TYPE_ORDER_EXECUTION_RECEIVED, true, nullptr, "order_execution_received");
    t.add(TYPE_OSTREL_CLIENT_ORDER_MARKET_REPORT, true, nullptr, "ostrel_client_order_market_report");
    t.add(TYPE_POST_ORDER_RECEIVED, true, nullptr, "post_order_received");
    t.add(TYPE_POST_ORDER_EXECUTION_RECEIVED, true, nullptr, "post_order_execution_received");
    t.add(TYPE_POST_SPECIAL_ORDER_RECEIVED, true, nullptr, "post_special_order_received");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_INSERT_RESP, true, nullptr, "ostrel_internal_order_insert_resp");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_ADJUST_STATUS_RESP, true, nullptr, "ostrel_internal_order_adjust_status_resp");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_EXECUTION_RESP, true, nullptr, "ostrel_internal_order_execution_resp");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_ADJUST_MKT_REJ_RESP, true, nullptr,
          "ostrel_internal_order_adjust_mkt_rej_resp");
    t.add(TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_STATUS_RESP, true, nullptr,
          "ostrel_internal_quote_adjust_status_resp");
    t.add(TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_MKT_REJ_RESP, false, nullptr,
          "ostrel_internal_quote_adjust_mkt_rej_resp");
}

}  // namespace HUX_TRADE

// Order, cancel, quote, combination and special-order answers.
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/trade_msg.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

// Consumed by their fixed length until their handlers join the table.
void CTradeClient::add_order_answer_routes(HUX_TRADE_CORE::msg_route_table& t) {
    t.add(TYPE_OSTREL_CLIENT_ORDER_INSERT_RESP, true, nullptr, "ostrel_client_order_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_ORDER_ACTION_RESP, true, nullptr, "ostrel_client_order_action_resp");
    t.add(TYPE_OSTREL_CLIENT_ORDER_INSERT_MARKET_RESP, true, nullptr, "ostrel_client_order_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_ORDER_ACTION_MARKET_RESP, true, nullptr, "ostrel_client_order_action_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_INSERT_RESP, true, nullptr, "ostrel_client_quote_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_ACTION_RESP, true, nullptr, "ostrel_client_quote_action_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_INSERT_MARKET_RESP, true, nullptr, "ostrel_client_quote_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_ACTION_MARKET_RESP, true, nullptr, "ostrel_client_quote_action_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_MARKET_REPORT, true, nullptr, "ostrel_client_quote_market_report");
    t.add(TYPE_POST_QUOTE_RECEIVED, true, nullptr, "post_quote_received");
    t.add(TYPE_OSTREL_CLIENT_COMBO_INSERT_RESP, true, nullptr, "ostrel_client_combo_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_COMBO_INSERT_MARKET_RESP, true, nullptr, "ostrel_client_combo_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_RESP, true, nullptr, "ostrel_client_special_order_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_RESP, true, nullptr, "ostrel_client_special_order_action_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_MARKET_RESP, true, nullptr,
          "ostrel_client_special_order_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_MARKET_RESP, true, nullptr,
          "ostrel_client_special_order_action_market_resp");
}

}  // namespace HUX_TRADE

// Builders of the order-entry requests: each turns an application's request
// record and the values the session supplies (its numeric user id, the
// account and symbol index) into the wire message, zero-filled first. They do
// no token or exchange check and send nothing; the caller does both. None of
// them allocates.
#ifndef HUX_TRADE_ORDER_ENTRY_H
#define HUX_TRADE_ORDER_ENTRY_H

#include <cstdint>

#include "hux_trade_request_struct.h"
#include "trade_core/trade_fields.h"
#include "trade_core/trade_msg_requests.h"

namespace HUX_TRADE_CORE {

// Warm-up requests: an order with quantity 0, a quote with both quantities 0.
bool IsWarmUpOrder(const HUX_EnterOrderField& req);
bool IsWarmUpQuote(const HUX_EnterQuoteField& req);

// New order (type 10) and new quote (type 12). False, with the message
// contents unspecified, when a price does not fit (see ConvertPrice).
bool BuildNewOrder(const HUX_EnterOrderField& req, uint32_t user_id, HUX_TRADE_WIRE::new_order_req* msg);
bool BuildNewQuote(const HUX_EnterQuoteField& req, uint32_t user_id, HUX_TRADE_WIRE::new_quote_req* msg);

// New combination order (type 14) and new special order (type 30).
void BuildCombo(const HUX_EnterComboField& req, uint32_t user_id, HUX_TRADE_WIRE::new_combo_order_req* msg);
void BuildSpecialOrder(const HUX_EnterSpecialOrderField& req, uint32_t user_id,
                       HUX_TRADE_WIRE::new_special_order_req* msg);

// Order cancel (type 11), quote action (type 13), special-order cancel (type 31).
void BuildCancelOrder(const HUX_CancelOrder& req, uint32_t user_id, HUX_TRADE_WIRE::cxl_order_request* msg);
void BuildQuoteAction(const HUX_QuoteAction& req, uint32_t user_id, HUX_TRADE_WIRE::quote_action_request* msg);
void BuildCancelSpecialOrder(const HUX_CancelSpecialOrder& req, uint32_t user_id,
                             HUX_TRADE_WIRE::cxl_special_order_request* msg);

// Simple order (type 20) and simple quote (type 22): the caller's record is
// rewritten in place into the message itself, prices replaced by their int64
// images. False, with the record left untouched, when a price does not fit,
// the account index exceeds 255 or the symbol index exceeds 65535.
bool RewriteSimpleOrder(HUX_EnterOrderSimpleField* rec, uint32_t user_id, uint32_t account_index,
                        uint32_t symbol_index);
bool RewriteSimpleQuote(HUX_EnterQuoteSimpleField* rec, uint32_t user_id, uint32_t account_index,
                        uint32_t symbol_index);

}  // namespace HUX_TRADE_CORE

#endif

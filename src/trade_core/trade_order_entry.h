// Builders of the order-entry requests: each turns an application's request
// record and the values the session supplies (its numeric user id, the
// account and symbol index) into the wire message, zero-filled first. They do
// no token or exchange check and send nothing; the caller does both. None of
// them allocates.
#ifndef HUX_TRADE_ORDER_ENTRY_H
#define HUX_TRADE_ORDER_ENTRY_H

#include <cstdint>

#include "hux_trade_request_struct.h"
#include "trade_core/trade_msg_requests.h"

namespace HUX_TRADE_CORE {

constexpr uint8_t EXCHANGE_ID_MIN = 100;
constexpr uint8_t EXCHANGE_ID_MAX = 108;

// True when the exchange id lies in 100..108.
bool IsValidExchange(uint8_t exchange_id);

// Side sent for a side on an exchange: on exchanges 102, 104, 105, 107 and
// 108, side 2 or 6 goes out as 22 and side 3 or 5 as 21; everything else
// unchanged.
uint8_t MapSide(uint8_t exchange_id, uint8_t side);

// Price as sent: int64 holding the price times 10000. Values above 0.00001
// become (value + 0.00001) x 10000 and values below -0.00001 become
// (value - 0.00001) x 10000, both truncated toward zero; anything between is
// 0. False, *out untouched, when the value is not a number or the magnitude
// of its image reaches 2^63 (nothing is clamped or wrapped).
// Inline: it runs twice on every order.
inline bool ConvertPrice(double value, int64_t* out) {
    constexpr double PRICE_SCALE = 10000.0;
    constexpr double PRICE_EPSILON = 0.00001;
    constexpr double INT64_LIMIT = 9223372036854775808.0;  // 2^63, the first double above every int64
    if (value != value) return false;  // not a number
    double scaled = 0.0;
    if (value > PRICE_EPSILON)
        scaled = (value + PRICE_EPSILON) * PRICE_SCALE;
    else if (value < -PRICE_EPSILON)
        scaled = (value - PRICE_EPSILON) * PRICE_SCALE;
    // Refuse every image whose magnitude reaches 2^63, so nothing wraps; the
    // comparison also refuses infinities. Doubles of that size are whole
    // numbers, so testing before truncation refuses exactly the values whose
    // truncation would not fit; the conversion itself truncates toward zero.
    if (!(scaled < INT64_LIMIT && scaled > -INT64_LIMIT)) return false;
    *out = static_cast<int64_t>(scaled);
    return true;
}

// The byte that follows a flag: 0 when the flag is 0, else 1 when the detail
// is 0, else 2.
uint8_t FlagKind(uint8_t flag, uint8_t detail);

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

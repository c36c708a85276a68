#include "trade_core/trade_order_entry.h"

#include <cmath>
#include <cstring>

namespace HUX_TRADE_CORE {

using namespace HUX_TRADE_WIRE;

namespace {

// Zero-fills a message by copying a zero image of its type: a copy of a
// known size compiles to a few vector stores, where a memset of a packed
// record of unknown alignment becomes a slow-starting string instruction.
template <typename Msg>
void ZeroFill(Msg* msg) {
    static const Msg zero{};
    std::memcpy(msg, &zero, sizeof(Msg));
}

void WriteHeader(msg_header* header, uint16_t type, uint16_t length) {
    header->type = type;
    header->length = length;
}

}  // namespace

bool IsWarmUpOrder(const HUX_EnterOrderField& req) { return req.quantity == 0; }

bool IsWarmUpQuote(const HUX_EnterQuoteField& req) { return req.quantity_1 == 0 && req.quantity_2 == 0; }

bool BuildNewOrder(const HUX_EnterOrderField& req, uint32_t user_id, new_order_req* msg) {
    int64_t price = 0;
    int64_t second_price = 0;
    if (!ConvertPrice(req.price, &price) || !ConvertPrice(req.second_price, &second_price)) return false;
    // The order path: every byte of the 100 is written once, the reserved
    // ones as zeros, rather than zero-filling first and writing twice.
    WriteHeader(&msg->header, TYPE_NEW_ORDER_REQ, sizeof(*msg));
    msg->request_tag = req.request_tag;
    msg->user_id = static_cast<uint8_t>(user_id & 0xFF);
    std::memset(msg->reserved1, 0, sizeof(msg->reserved1));
    msg->exchange_id = req.exchange_id;
    msg->opt_4 = req.opt_4;
    msg->opt_kind = FlagKind(req.opt_4, req.opt_6);
    msg->opt_8 = OrderOpt8(req.opt_8);
    msg->opt_7 = req.opt_7;
    msg->side = req.keep_side != 0 ? req.side : MapSide(req.exchange_id, req.side);
    msg->opt_5 = req.opt_5;
    msg->opt_1 = static_cast<uint8_t>(static_cast<uint32_t>(req.opt_1) & 0xFF);
    msg->client_token = req.client_token;
    msg->quantity = req.quantity;
    msg->opt_2 = req.opt_2;
    msg->price = price;
    msg->second_price = second_price;
    msg->opt_9 = req.opt_9;
    std::memset(msg->reserved2, 0, sizeof(msg->reserved2));
    msg->opt_3 = req.opt_3;
    std::memset(msg->reserved3, 0, sizeof(msg->reserved3));
    std::memcpy(msg->account, req.account, sizeof(msg->account));
    std::memcpy(msg->symbol, req.symbol, sizeof(msg->symbol));
    std::memset(msg->reserved4, 0, sizeof(msg->reserved4));
    return true;
}

bool BuildNewQuote(const HUX_EnterQuoteField& req, uint32_t user_id, new_quote_req* msg) {
    int64_t price_1 = 0;
    int64_t price_2 = 0;
    if (!ConvertPrice(req.price_1, &price_1) || !ConvertPrice(req.price_2, &price_2)) return false;
    ZeroFill(msg);
    WriteHeader(&msg->header, TYPE_NEW_QUOTE_REQ, sizeof(*msg));
    msg->request_tag = req.request_tag;
    msg->user_id = static_cast<uint8_t>(user_id & 0xFF);
    msg->exchange_id = req.exchange_id;
    msg->opt_6 = req.opt_6;
    msg->opt_kind = FlagKind(req.opt_6, req.opt_7);
    msg->opt_5 = static_cast<uint8_t>(static_cast<uint32_t>(req.opt_5) & 0xFF);
    msg->quantity_1 = req.quantity_1;
    msg->quantity_2 = req.quantity_2;
    msg->price_1 = price_1;
    msg->price_2 = price_2;
    msg->opt_2 = req.opt_2;
    msg->opt_4 = req.opt_4;
    msg->opt_1 = req.opt_1;
    msg->opt_3 = req.opt_3;
    msg->client_token = req.client_token;
    msg->opt_8 = req.opt_8;
    std::memcpy(msg->account, req.account, sizeof(msg->account));
    std::memcpy(msg->symbol, req.symbol, sizeof(msg->symbol));
    std::memcpy(msg->quote_text_1, req.quote_text_1, sizeof(msg->quote_text_1));
    std::memcpy(msg->quote_text_2, req.quote_text_2, sizeof(msg->quote_text_2));
    return true;
}

void BuildCombo(const HUX_EnterComboField& req, uint32_t user_id, new_combo_order_req* msg) {
    ZeroFill(msg);
    WriteHeader(&msg->header, TYPE_NEW_COMBO_ORDER_REQ, sizeof(*msg));
    msg->request_tag = req.request_tag;
    msg->user_id = static_cast<uint8_t>(user_id & 0xFF);
    msg->exchange_id = req.exchange_id;
    msg->opt_2 = req.opt_2;
    msg->opt_kind = FlagKind(req.opt_2, req.opt_4);
    msg->opt_5 = req.opt_5;
    msg->opt_3 = req.opt_3;
    msg->client_token = req.client_token;
    msg->opt_1 = req.opt_1;
    std::memcpy(msg->account, req.account, sizeof(msg->account));
    std::memcpy(msg->legs, req.legs, sizeof(msg->legs));
}

void BuildSpecialOrder(const HUX_EnterSpecialOrderField& req, uint32_t user_id, new_special_order_req* msg) {
    ZeroFill(msg);
    WriteHeader(&msg->header, TYPE_NEW_SPECIAL_ORDER_REQ, sizeof(*msg));
    msg->request_tag = req.request_tag;
    msg->user_id = static_cast<uint8_t>(user_id & 0xFF);
    msg->exchange_id = req.exchange_id;
    msg->opt_4 = req.opt_4;
    msg->opt_kind = FlagKind(req.opt_4, req.opt_6);
    msg->opt_2 = req.opt_2;
    msg->opt_1 = req.opt_1;
    msg->opt_5 = req.opt_5;
    msg->opt_7 = req.opt_7;
    msg->opt_8 = req.opt_8;
    msg->client_token = req.client_token;
    msg->opt_3 = req.opt_3;
    std::memcpy(msg->account, req.account, sizeof(msg->account));
    std::memcpy(msg->symbol, req.symbol, sizeof(msg->symbol));
}

namespace {

// The part the three cancel forms share. Cancel mode 1 addresses the order by
// owner token and owner user id (0: the session's own), any other mode by the
// market token.
void BuildCancelCommon(cxl_order_request* msg, uint16_t type, uint32_t request_tag, uint32_t user_id,
                       uint32_t client_token, uint8_t cancel_mode, uint32_t market_token, uint32_t owner_token,
                       uint32_t owner_user_id, uint8_t opt_1, uint8_t opt_2) {
    ZeroFill(msg);
    WriteHeader(&msg->header, type, sizeof(*msg));
    msg->request_tag = request_tag;
    msg->user_id = user_id;
    msg->client_token = client_token;
    if (cancel_mode == 1) {
        msg->owner_user_id = owner_user_id != 0 ? owner_user_id : user_id;
        msg->owner_token = owner_token;
    } else {
        msg->market_token = market_token;
    }
    msg->opt_1 = opt_1;
    msg->opt_kind = FlagKind(opt_1, opt_2);
}

}  // namespace

void BuildCancelOrder(const HUX_CancelOrder& req, uint32_t user_id, cxl_order_request* msg) {
    BuildCancelCommon(msg, TYPE_CXL_ORDER_REQUEST, req.request_tag, user_id, req.client_token, req.cancel_mode,
                      req.market_token, req.owner_token, req.owner_user_id, req.opt_1, req.opt_2);
    msg->opt_3 = req.opt_3;
    msg->cancel_mode = req.cancel_mode;
}

void BuildQuoteAction(const HUX_QuoteAction& req, uint32_t user_id, quote_action_request* msg) {
    BuildCancelCommon(msg, TYPE_QUOTE_ACTION_REQUEST, req.request_tag, user_id, req.client_token, req.cancel_mode,
                      req.market_token, req.owner_token, req.owner_user_id, req.opt_1, req.opt_2);
    msg->opt_3 = req.opt_3;
    msg->cancel_mode = req.cancel_mode;
}

void BuildCancelSpecialOrder(const HUX_CancelSpecialOrder& req, uint32_t user_id, cxl_special_order_request* msg) {
    BuildCancelCommon(msg, TYPE_CXL_SPECIAL_ORDER_REQUEST, req.request_tag, user_id, req.client_token,
                      req.cancel_mode, req.market_token, req.owner_token, req.owner_user_id, req.opt_1, req.opt_2);
    msg->opt_3 = req.cancel_mode;  // the special-order cancel carries its mode at 30; 31 stays 0
}

namespace {

// Reads the double at a byte offset of a record and, when it converts,
// stores its int64 image there.
bool ReadPrice(const void* rec, size_t offset, int64_t* out) {
    double value = 0.0;
    std::memcpy(&value, static_cast<const uint8_t*>(rec) + offset, sizeof(value));
    return ConvertPrice(value, out);
}

void WritePrice(void* rec, size_t offset, int64_t image) {
    std::memcpy(static_cast<uint8_t*>(rec) + offset, &image, sizeof(image));
}

}  // namespace

bool RewriteSimpleOrder(HUX_EnterOrderSimpleField* rec, uint32_t user_id, uint32_t account_index,
                        uint32_t symbol_index) {
    if (account_index > 0xFF || symbol_index > 0xFFFF) return false;
    int64_t price = 0;
    int64_t second_price = 0;
    if (!ReadPrice(rec, offsetof(new_order_req_simple, price), &price) ||
        !ReadPrice(rec, offsetof(new_order_req_simple, second_price), &second_price))
        return false;
    rec->msg_type = TYPE_NEW_ORDER_REQ_SIMPLE;
    rec->msg_length = sizeof(new_order_req_simple);
    rec->user_id = static_cast<uint8_t>(user_id & 0xFF);
    rec->account_index = static_cast<uint8_t>(account_index);
    rec->symbol_index = static_cast<uint16_t>(symbol_index);
    rec->opt_6 = FlagKind(rec->opt_4, rec->opt_6);
    rec->opt_8 = OrderOpt8(rec->opt_8);
    rec->side = MapSide(rec->exchange_id, rec->side);
    WritePrice(rec, offsetof(new_order_req_simple, price), price);
    WritePrice(rec, offsetof(new_order_req_simple, second_price), second_price);
    return true;
}

bool RewriteSimpleQuote(HUX_EnterQuoteSimpleField* rec, uint32_t user_id, uint32_t account_index,
                        uint32_t symbol_index) {
    if (account_index > 0xFF || symbol_index > 0xFFFF) return false;
    int64_t price_1 = 0;
    int64_t price_2 = 0;
    if (!ReadPrice(rec, offsetof(new_quote_req_simple, price_1), &price_1) ||
        !ReadPrice(rec, offsetof(new_quote_req_simple, price_2), &price_2))
        return false;
    rec->msg_type = TYPE_NEW_QUOTE_REQ_SIMPLE;
    rec->msg_length = sizeof(new_quote_req_simple);
    rec->user_id = static_cast<uint8_t>(user_id & 0xFF);
    rec->account_index = static_cast<uint8_t>(account_index);
    rec->symbol_index = static_cast<uint16_t>(symbol_index);
    rec->opt_7 = FlagKind(rec->opt_6, rec->opt_7);
    WritePrice(rec, offsetof(new_quote_req_simple, price_1), price_1);
    WritePrice(rec, offsetof(new_quote_req_simple, price_2), price_2);
    return true;
}

}  // namespace HUX_TRADE_CORE

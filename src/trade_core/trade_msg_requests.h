// Wire records of the order-entry requests, client to server, all sent on the
// order channel. Packed, little-endian, each of the fixed length of its type;
// every request is zero-filled before its fields are written, so the reserved
// bytes go out as zero. Prices travel as int64 holding the price times 10000.
#ifndef HUX_TRADE_MSG_REQUESTS_H
#define HUX_TRADE_MSG_REQUESTS_H

#include <cstddef>
#include <cstdint>

#include "trade_core/trade_msg.h"

namespace HUX_TRADE_WIRE {

#pragma pack(push, 1)

// New order, type 10.
struct new_order_req {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;       // low byte of the session's user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t opt_kind;      // 0 when opt_4 is 0, else 1 when opt_6 is 0, else 2
    uint8_t opt_8;         // 1..6, anything else sent as 1
    uint8_t opt_7;
    uint8_t side;          // after the side mapping
    uint8_t opt_5;
    uint8_t opt_1;         // low byte of the caller's int32
    uint32_t client_token;
    uint32_t quantity;
    uint32_t opt_2;
    int64_t price;
    int64_t second_price;
    uint8_t opt_9;
    uint8_t reserved2[3];
    uint32_t opt_3;
    uint8_t reserved3[4];
    char account[16];
    char symbol[20];
    uint8_t reserved4[4];
};

// New quote, type 12.
struct new_quote_req {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t opt_kind;      // 0 when opt_6 is 0, else 1 when opt_7 is 0, else 2
    uint8_t opt_5;         // low byte of the caller's int32
    uint32_t quantity_1;
    uint32_t quantity_2;
    int64_t price_1;
    int64_t price_2;
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    uint32_t client_token;
    uint32_t opt_8;
    uint8_t reserved2[4];
    char account[16];
    char symbol[20];
    char quote_text_1[24];
    uint8_t reserved3[12];
    char quote_text_2[24];
    uint8_t reserved4[44];
};

// New combination order, type 14.
struct new_combo_order_req {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;
    uint8_t exchange_id;
    uint8_t opt_2;
    uint8_t opt_kind;      // 0 when opt_2 is 0, else 1 when opt_4 is 0, else 2
    uint8_t opt_5;
    uint8_t opt_3;
    uint32_t client_token;
    uint32_t opt_1;
    uint8_t reserved1[4];
    char account[16];
    uint8_t legs[80];
    uint8_t reserved2[22];
};

// New special order, type 30.
struct new_special_order_req {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t opt_kind;      // 0 when opt_4 is 0, else 1 when opt_6 is 0, else 2
    uint32_t opt_2;
    uint8_t opt_1;
    uint8_t opt_5;
    uint8_t opt_7;
    uint8_t opt_8;
    uint32_t client_token;
    uint8_t reserved1[4];
    char account[16];
    char symbol[20];
    uint8_t reserved2[4];
    uint32_t opt_3;
};

// Order cancel (type 11), quote action (type 13) and special-order cancel
// (type 31) share one layout. Cancel mode 1 addresses the order by owner
// token and owner user id, any other mode by the market token.
struct cxl_order_request {
    msg_header header;
    uint32_t request_tag;
    uint32_t user_id;
    uint32_t client_token;
    uint32_t market_token;   // cancel mode other than 1
    uint32_t owner_user_id;  // cancel mode 1
    uint32_t owner_token;    // cancel mode 1
    uint8_t opt_1;
    uint8_t opt_kind;        // 0 when opt_1 is 0, else 1 when opt_2 is 0, else 2
    uint8_t opt_3;           // the special-order cancel puts its cancel mode here
    uint8_t cancel_mode;     // zero in the special-order cancel
    uint8_t reserved[12];
};
using quote_action_request = cxl_order_request;
using cxl_special_order_request = cxl_order_request;

// Simple order, type 20: the caller's record rewritten in place.
struct new_order_req_simple {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;
    uint8_t account_index;
    uint16_t symbol_index;
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t opt_kind;
    uint8_t opt_8;
    uint8_t opt_7;
    uint8_t side;
    uint8_t opt_5;
    uint8_t opt_1;
    uint32_t client_token;
    uint32_t quantity;
    uint32_t opt_2;
    int64_t price;
    int64_t second_price;
    uint8_t opt_9;
    uint8_t reserved[3];
    uint32_t opt_3;
};

// Simple quote, type 22: the caller's record rewritten in place.
struct new_quote_req_simple {
    msg_header header;
    uint32_t request_tag;
    uint8_t user_id;
    uint8_t account_index;
    uint16_t symbol_index;
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t opt_kind;
    uint8_t opt_5;
    uint32_t quantity_1;
    uint32_t quantity_2;
    int64_t price_1;
    int64_t price_2;
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    uint32_t client_token;
    uint32_t opt_8;
    uint8_t reserved[4];
};

#pragma pack(pop)

static_assert(sizeof(new_order_req) == 100, "new_order_req");
static_assert(offsetof(new_order_req, request_tag) == 4, "new_order_req.request_tag");
static_assert(offsetof(new_order_req, user_id) == 8, "new_order_req.user_id");
static_assert(offsetof(new_order_req, reserved1) == 9, "new_order_req.reserved1");
static_assert(offsetof(new_order_req, exchange_id) == 12, "new_order_req.exchange_id");
static_assert(offsetof(new_order_req, opt_4) == 13, "new_order_req.opt_4");
static_assert(offsetof(new_order_req, opt_kind) == 14, "new_order_req.opt_kind");
static_assert(offsetof(new_order_req, opt_8) == 15, "new_order_req.opt_8");
static_assert(offsetof(new_order_req, opt_7) == 16, "new_order_req.opt_7");
static_assert(offsetof(new_order_req, side) == 17, "new_order_req.side");
static_assert(offsetof(new_order_req, opt_5) == 18, "new_order_req.opt_5");
static_assert(offsetof(new_order_req, opt_1) == 19, "new_order_req.opt_1");
static_assert(offsetof(new_order_req, client_token) == 20, "new_order_req.client_token");
static_assert(offsetof(new_order_req, quantity) == 24, "new_order_req.quantity");
static_assert(offsetof(new_order_req, opt_2) == 28, "new_order_req.opt_2");
static_assert(offsetof(new_order_req, price) == 32, "new_order_req.price");
static_assert(offsetof(new_order_req, second_price) == 40, "new_order_req.second_price");
static_assert(offsetof(new_order_req, opt_9) == 48, "new_order_req.opt_9");
static_assert(offsetof(new_order_req, reserved2) == 49, "new_order_req.reserved2");
static_assert(offsetof(new_order_req, opt_3) == 52, "new_order_req.opt_3");
static_assert(offsetof(new_order_req, reserved3) == 56, "new_order_req.reserved3");
static_assert(offsetof(new_order_req, account) == 60, "new_order_req.account");
static_assert(offsetof(new_order_req, symbol) == 76, "new_order_req.symbol");
static_assert(offsetof(new_order_req, reserved4) == 96, "new_order_req.reserved4");

static_assert(sizeof(new_quote_req) == 196, "new_quote_req");
static_assert(offsetof(new_quote_req, request_tag) == 4, "new_quote_req.request_tag");
static_assert(offsetof(new_quote_req, user_id) == 8, "new_quote_req.user_id");
static_assert(offsetof(new_quote_req, exchange_id) == 12, "new_quote_req.exchange_id");
static_assert(offsetof(new_quote_req, opt_6) == 13, "new_quote_req.opt_6");
static_assert(offsetof(new_quote_req, opt_kind) == 14, "new_quote_req.opt_kind");
static_assert(offsetof(new_quote_req, opt_5) == 15, "new_quote_req.opt_5");
static_assert(offsetof(new_quote_req, quantity_1) == 16, "new_quote_req.quantity_1");
static_assert(offsetof(new_quote_req, quantity_2) == 20, "new_quote_req.quantity_2");
static_assert(offsetof(new_quote_req, price_1) == 24, "new_quote_req.price_1");
static_assert(offsetof(new_quote_req, price_2) == 32, "new_quote_req.price_2");
static_assert(offsetof(new_quote_req, opt_2) == 40, "new_quote_req.opt_2");
static_assert(offsetof(new_quote_req, opt_4) == 41, "new_quote_req.opt_4");
static_assert(offsetof(new_quote_req, opt_1) == 42, "new_quote_req.opt_1");
static_assert(offsetof(new_quote_req, opt_3) == 43, "new_quote_req.opt_3");
static_assert(offsetof(new_quote_req, client_token) == 44, "new_quote_req.client_token");
static_assert(offsetof(new_quote_req, opt_8) == 48, "new_quote_req.opt_8");
static_assert(offsetof(new_quote_req, reserved2) == 52, "new_quote_req.reserved2");
static_assert(offsetof(new_quote_req, account) == 56, "new_quote_req.account");
static_assert(offsetof(new_quote_req, symbol) == 72, "new_quote_req.symbol");
static_assert(offsetof(new_quote_req, quote_text_1) == 92, "new_quote_req.quote_text_1");
static_assert(offsetof(new_quote_req, reserved3) == 116, "new_quote_req.reserved3");
static_assert(offsetof(new_quote_req, quote_text_2) == 128, "new_quote_req.quote_text_2");
static_assert(offsetof(new_quote_req, reserved4) == 152, "new_quote_req.reserved4");

static_assert(sizeof(new_combo_order_req) == 144, "new_combo_order_req");
static_assert(offsetof(new_combo_order_req, request_tag) == 4, "new_combo_order_req.request_tag");
static_assert(offsetof(new_combo_order_req, user_id) == 8, "new_combo_order_req.user_id");
static_assert(offsetof(new_combo_order_req, exchange_id) == 9, "new_combo_order_req.exchange_id");
static_assert(offsetof(new_combo_order_req, opt_2) == 10, "new_combo_order_req.opt_2");
static_assert(offsetof(new_combo_order_req, opt_kind) == 11, "new_combo_order_req.opt_kind");
static_assert(offsetof(new_combo_order_req, opt_5) == 12, "new_combo_order_req.opt_5");
static_assert(offsetof(new_combo_order_req, opt_3) == 13, "new_combo_order_req.opt_3");
static_assert(offsetof(new_combo_order_req, client_token) == 14, "new_combo_order_req.client_token");
static_assert(offsetof(new_combo_order_req, opt_1) == 18, "new_combo_order_req.opt_1");
static_assert(offsetof(new_combo_order_req, reserved1) == 22, "new_combo_order_req.reserved1");
static_assert(offsetof(new_combo_order_req, account) == 26, "new_combo_order_req.account");
static_assert(offsetof(new_combo_order_req, legs) == 42, "new_combo_order_req.legs");
static_assert(offsetof(new_combo_order_req, reserved2) == 122, "new_combo_order_req.reserved2");

static_assert(sizeof(new_special_order_req) == 72, "new_special_order_req");
static_assert(offsetof(new_special_order_req, request_tag) == 4, "new_special_order_req.request_tag");
static_assert(offsetof(new_special_order_req, user_id) == 8, "new_special_order_req.user_id");
static_assert(offsetof(new_special_order_req, exchange_id) == 9, "new_special_order_req.exchange_id");
static_assert(offsetof(new_special_order_req, opt_4) == 10, "new_special_order_req.opt_4");
static_assert(offsetof(new_special_order_req, opt_kind) == 11, "new_special_order_req.opt_kind");
static_assert(offsetof(new_special_order_req, opt_2) == 12, "new_special_order_req.opt_2");
static_assert(offsetof(new_special_order_req, opt_1) == 16, "new_special_order_req.opt_1");
static_assert(offsetof(new_special_order_req, opt_5) == 17, "new_special_order_req.opt_5");
static_assert(offsetof(new_special_order_req, opt_7) == 18, "new_special_order_req.opt_7");
static_assert(offsetof(new_special_order_req, opt_8) == 19, "new_special_order_req.opt_8");
static_assert(offsetof(new_special_order_req, client_token) == 20, "new_special_order_req.client_token");
static_assert(offsetof(new_special_order_req, reserved1) == 24, "new_special_order_req.reserved1");
static_assert(offsetof(new_special_order_req, account) == 28, "new_special_order_req.account");
static_assert(offsetof(new_special_order_req, symbol) == 44, "new_special_order_req.symbol");
static_assert(offsetof(new_special_order_req, reserved2) == 64, "new_special_order_req.reserved2");
static_assert(offsetof(new_special_order_req, opt_3) == 68, "new_special_order_req.opt_3");

static_assert(sizeof(cxl_order_request) == 44, "cxl_order_request");
static_assert(offsetof(cxl_order_request, request_tag) == 4, "cxl_order_request.request_tag");
static_assert(offsetof(cxl_order_request, user_id) == 8, "cxl_order_request.user_id");
static_assert(offsetof(cxl_order_request, client_token) == 12, "cxl_order_request.client_token");
static_assert(offsetof(cxl_order_request, market_token) == 16, "cxl_order_request.market_token");
static_assert(offsetof(cxl_order_request, owner_user_id) == 20, "cxl_order_request.owner_user_id");
static_assert(offsetof(cxl_order_request, owner_token) == 24, "cxl_order_request.owner_token");
static_assert(offsetof(cxl_order_request, opt_1) == 28, "cxl_order_request.opt_1");
static_assert(offsetof(cxl_order_request, opt_kind) == 29, "cxl_order_request.opt_kind");
static_assert(offsetof(cxl_order_request, opt_3) == 30, "cxl_order_request.opt_3");
static_assert(offsetof(cxl_order_request, cancel_mode) == 31, "cxl_order_request.cancel_mode");
static_assert(offsetof(cxl_order_request, reserved) == 32, "cxl_order_request.reserved");

static_assert(sizeof(new_order_req_simple) == 56, "new_order_req_simple");
static_assert(offsetof(new_order_req_simple, request_tag) == 4, "new_order_req_simple.request_tag");
static_assert(offsetof(new_order_req_simple, user_id) == 8, "new_order_req_simple.user_id");
static_assert(offsetof(new_order_req_simple, account_index) == 9, "new_order_req_simple.account_index");
static_assert(offsetof(new_order_req_simple, symbol_index) == 10, "new_order_req_simple.symbol_index");
static_assert(offsetof(new_order_req_simple, exchange_id) == 12, "new_order_req_simple.exchange_id");
static_assert(offsetof(new_order_req_simple, opt_4) == 13, "new_order_req_simple.opt_4");
static_assert(offsetof(new_order_req_simple, opt_kind) == 14, "new_order_req_simple.opt_kind");
static_assert(offsetof(new_order_req_simple, opt_8) == 15, "new_order_req_simple.opt_8");
static_assert(offsetof(new_order_req_simple, opt_7) == 16, "new_order_req_simple.opt_7");
static_assert(offsetof(new_order_req_simple, side) == 17, "new_order_req_simple.side");
static_assert(offsetof(new_order_req_simple, opt_5) == 18, "new_order_req_simple.opt_5");
static_assert(offsetof(new_order_req_simple, opt_1) == 19, "new_order_req_simple.opt_1");
static_assert(offsetof(new_order_req_simple, client_token) == 20, "new_order_req_simple.client_token");
static_assert(offsetof(new_order_req_simple, quantity) == 24, "new_order_req_simple.quantity");
static_assert(offsetof(new_order_req_simple, opt_2) == 28, "new_order_req_simple.opt_2");
static_assert(offsetof(new_order_req_simple, price) == 32, "new_order_req_simple.price");
static_assert(offsetof(new_order_req_simple, second_price) == 40, "new_order_req_simple.second_price");
static_assert(offsetof(new_order_req_simple, opt_9) == 48, "new_order_req_simple.opt_9");
static_assert(offsetof(new_order_req_simple, reserved) == 49, "new_order_req_simple.reserved");
static_assert(offsetof(new_order_req_simple, opt_3) == 52, "new_order_req_simple.opt_3");

static_assert(sizeof(new_quote_req_simple) == 56, "new_quote_req_simple");
static_assert(offsetof(new_quote_req_simple, request_tag) == 4, "new_quote_req_simple.request_tag");
static_assert(offsetof(new_quote_req_simple, user_id) == 8, "new_quote_req_simple.user_id");
static_assert(offsetof(new_quote_req_simple, account_index) == 9, "new_quote_req_simple.account_index");
static_assert(offsetof(new_quote_req_simple, symbol_index) == 10, "new_quote_req_simple.symbol_index");
static_assert(offsetof(new_quote_req_simple, exchange_id) == 12, "new_quote_req_simple.exchange_id");
static_assert(offsetof(new_quote_req_simple, opt_6) == 13, "new_quote_req_simple.opt_6");
static_assert(offsetof(new_quote_req_simple, opt_kind) == 14, "new_quote_req_simple.opt_kind");
static_assert(offsetof(new_quote_req_simple, opt_5) == 15, "new_quote_req_simple.opt_5");
static_assert(offsetof(new_quote_req_simple, quantity_1) == 16, "new_quote_req_simple.quantity_1");
static_assert(offsetof(new_quote_req_simple, quantity_2) == 20, "new_quote_req_simple.quantity_2");
static_assert(offsetof(new_quote_req_simple, price_1) == 24, "new_quote_req_simple.price_1");
static_assert(offsetof(new_quote_req_simple, price_2) == 32, "new_quote_req_simple.price_2");
static_assert(offsetof(new_quote_req_simple, opt_2) == 40, "new_quote_req_simple.opt_2");
static_assert(offsetof(new_quote_req_simple, opt_4) == 41, "new_quote_req_simple.opt_4");
static_assert(offsetof(new_quote_req_simple, opt_1) == 42, "new_quote_req_simple.opt_1");
static_assert(offsetof(new_quote_req_simple, opt_3) == 43, "new_quote_req_simple.opt_3");
static_assert(offsetof(new_quote_req_simple, client_token) == 44, "new_quote_req_simple.client_token");
static_assert(offsetof(new_quote_req_simple, opt_8) == 48, "new_quote_req_simple.opt_8");
static_assert(offsetof(new_quote_req_simple, reserved) == 52, "new_quote_req_simple.reserved");

}  // namespace HUX_TRADE_WIRE

#endif

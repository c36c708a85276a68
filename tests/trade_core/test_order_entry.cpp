// The order-entry builders on their own: price conversion, the field rules
// (side mapping, the kind byte after a flag, opt_8), the exchange and warm-up
// checks, builders that write every byte of their message whatever the
// buffer held, and the refusals of the in-place rewrite of the simple forms.
// The bytes each request puts on the wire, field by field, are checked by
// test_c_api_wire through the C interface.
#include "tests/support/hex.h"
#include "trade_core/trade_order_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

using namespace HUX_TRADE_CORE;
using namespace HUX_TRADE_WIRE;

namespace {

using hux_test::hex_of;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

template <class R>
R zeroed() {
    R r;
    std::memset(&r, 0, sizeof(r));
    return r;
}

template <class MSG>
uint8_t byte_at(const MSG& msg, size_t off) {
    return reinterpret_cast<const uint8_t*>(&msg)[off];
}

// The message `build` makes over a buffer filled with `fill`, as hex.
template <class MSG, class BUILD>
std::string built_over(uint8_t fill, BUILD build) {
    MSG msg;
    std::memset(&msg, fill, sizeof(msg));
    build(&msg);
    return hex_of(msg);
}
// The same bytes whatever the buffer held: the builder writes every byte.
#define EXPECT_WRITES_EVERY_BYTE(MSG, CALL) \
    EXPECT_EQ(built_over<MSG>(0x00, [&](MSG* m) { CALL; }), built_over<MSG>(0xAA, [&](MSG* m) { CALL; })) << #CALL

}  // namespace

// (price +- 0.00001) x 10000 truncated toward zero, as int64; a price whose
// image does not fit is refused and the output left alone.
TEST(OrderEntry, PriceConversion) {
    const struct {
        double price;
        int64_t image;
    } cases[] = {
        {12.3456, 123456},
        {-12.3456, -123456},
        {1.0, 10000},
        {99.99, 999900},  // 99.98999999... lifted by the 0.00001
        {0.0001, 1},
        {-0.0001, -1},
        {1.99998, 19999},  // 19999.9: truncated, not rounded
        {-7.25, -72500},
        {0.00005, 0},  // below one unit, either sign
        {-0.00005, 0},
        {0.000001, 0},
        {0.00001, 0},  // the dead band around zero, ends included
        {-0.00001, 0},
        {0.0, 0},
        {-0.0, 0},
        {562949953421312.0, INT64_C(5629499534213120000)},  // 2^49 x 10000 = 2^53 x 625, exact
        {-562949953421312.0, -INT64_C(5629499534213120000)},
        {922337203685477.5, INT64_C(9223372036854774784)},  // 2^63 - 808, as a double 2^63 - 1024
        {-922337203685477.5, -INT64_C(9223372036854774784)},
    };
    for (const auto& c : cases) {
        int64_t out = 0x5A5A5A5A;
        EXPECT_TRUE(ConvertPrice(c.price, &out)) << c.price;
        EXPECT_EQ(out, c.image) << c.price;
    }
    // The next double up reaches 2^63: refused, never wrapped or clamped.
    for (double p : {922337203685477.625, -922337203685477.625, 1e300, -1e300, kInf, -kInf, kNaN}) {
        int64_t out = 0x5A5A5A5A;
        EXPECT_FALSE(ConvertPrice(p, &out)) << p;
        EXPECT_EQ(out, 0x5A5A5A5A) << p;
    }
}

TEST(OrderEntry, ExchangeCheckAndWarmUp) {
    EXPECT_FALSE(IsValidExchange(0));
    EXPECT_FALSE(IsValidExchange(99));
    EXPECT_TRUE(IsValidExchange(100));
    EXPECT_TRUE(IsValidExchange(104));
    EXPECT_TRUE(IsValidExchange(108));
    EXPECT_FALSE(IsValidExchange(109));
    EXPECT_FALSE(IsValidExchange(255));

    HUX_EnterOrderField order = zeroed<HUX_EnterOrderField>();
    order.exchange_id = 99;
    EXPECT_TRUE(IsWarmUpOrder(order));
    order.quantity = 1;
    EXPECT_FALSE(IsWarmUpOrder(order));

    HUX_EnterQuoteField quote = zeroed<HUX_EnterQuoteField>();
    EXPECT_TRUE(IsWarmUpQuote(quote));
    quote.quantity_2 = 1;
    EXPECT_FALSE(IsWarmUpQuote(quote));
    quote.quantity_2 = 0;
    quote.quantity_1 = 1;
    EXPECT_FALSE(IsWarmUpQuote(quote));
}

// The rules the builders apply to single bytes: the side of a new order and
// of a simple order (exchanges 102, 104, 105, 107 and 108 send 2 and 6 as 22,
// 3 and 5 as 21, unless keep_side is set), opt_8 (1..6 as they are, anything
// else as 1), and the kind byte after each flag (0 when the flag is 0, else 1
// when its detail is 0, else 2).
TEST(OrderEntry, FieldRulesOfEveryBuilder) {
    const uint8_t sides[] = {0, 1, 2, 3, 4, 5, 6, 7, 21, 22};
    for (int ex = 99; ex <= 109; ++ex) {
        const bool mapped = ex == 102 || ex == 104 || ex == 105 || ex == 107 || ex == 108;
        for (uint8_t side : sides) {
            uint8_t want = side;
            if (mapped && (side == 2 || side == 6)) want = 22;
            if (mapped && (side == 3 || side == 5)) want = 21;
            HUX_EnterOrderField order = zeroed<HUX_EnterOrderField>();
            order.exchange_id = static_cast<uint8_t>(ex);
            order.side = side;
            new_order_req msg;
            ASSERT_TRUE(BuildNewOrder(order, 1, &msg));
            EXPECT_EQ(byte_at(msg, 17), want) << "exchange " << ex << " side " << int(side);
            order.keep_side = 1;
            ASSERT_TRUE(BuildNewOrder(order, 1, &msg));
            EXPECT_EQ(byte_at(msg, 17), side) << "kept, exchange " << ex << " side " << int(side);

            HUX_EnterOrderSimpleField simple = zeroed<HUX_EnterOrderSimpleField>();
            simple.exchange_id = static_cast<uint8_t>(ex);
            simple.side = side;
            ASSERT_TRUE(RewriteSimpleOrder(&simple, 1, 0, 0));
            EXPECT_EQ(simple.side, want) << "simple, exchange " << ex << " side " << int(side);
        }
    }

    const uint8_t opt8_in[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 128, 255};
    const uint8_t opt8_out[] = {1, 1, 2, 3, 4, 5, 6, 1, 1, 1, 1};
    for (size_t i = 0; i < sizeof(opt8_in); ++i) {
        HUX_EnterOrderField order = zeroed<HUX_EnterOrderField>();
        order.opt_8 = opt8_in[i];
        new_order_req msg;
        ASSERT_TRUE(BuildNewOrder(order, 1, &msg));
        EXPECT_EQ(byte_at(msg, 15), opt8_out[i]) << int(opt8_in[i]);
        HUX_EnterOrderSimpleField simple = zeroed<HUX_EnterOrderSimpleField>();
        simple.opt_8 = opt8_in[i];
        ASSERT_TRUE(RewriteSimpleOrder(&simple, 1, 0, 0));
        EXPECT_EQ(simple.opt_8, opt8_out[i]) << "simple " << int(opt8_in[i]);
    }

    // Each builder's kind byte, from its flag and detail.
    struct kind_rule {
        const char* name;
        std::function<uint8_t(uint8_t flag, uint8_t detail)> kind;
    };
    const kind_rule rules[] = {
        {"new order: byte 14 from opt_4 and opt_6",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterOrderField r = zeroed<HUX_EnterOrderField>();
             r.opt_4 = flag;
             r.opt_6 = detail;
             new_order_req msg;
             EXPECT_TRUE(BuildNewOrder(r, 1, &msg));
             return byte_at(msg, 14);
         }},
        {"new quote: byte 14 from opt_6 and opt_7",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterQuoteField r = zeroed<HUX_EnterQuoteField>();
             r.opt_6 = flag;
             r.opt_7 = detail;
             new_quote_req msg;
             EXPECT_TRUE(BuildNewQuote(r, 1, &msg));
             return byte_at(msg, 14);
         }},
        {"combination: byte 11 from opt_2 and opt_4",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterComboField r = zeroed<HUX_EnterComboField>();
             r.opt_2 = flag;
             r.opt_4 = detail;
             new_combo_order_req msg;
             BuildCombo(r, 1, &msg);
             return byte_at(msg, 11);
         }},
        {"special order: byte 11 from opt_4 and opt_6",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterSpecialOrderField r = zeroed<HUX_EnterSpecialOrderField>();
             r.opt_4 = flag;
             r.opt_6 = detail;
             new_special_order_req msg;
             BuildSpecialOrder(r, 1, &msg);
             return byte_at(msg, 11);
         }},
        {"order cancel: byte 29 from opt_1 and opt_2",
         [](uint8_t flag, uint8_t detail) {
             HUX_CancelOrder r = zeroed<HUX_CancelOrder>();
             r.opt_1 = flag;
             r.opt_2 = detail;
             cxl_order_request msg;
             BuildCancelOrder(r, 1, &msg);
             return byte_at(msg, 29);
         }},
        {"quote action: byte 29 from opt_1 and opt_2",
         [](uint8_t flag, uint8_t detail) {
             HUX_QuoteAction r = zeroed<HUX_QuoteAction>();
             r.opt_1 = flag;
             r.opt_2 = detail;
             quote_action_request msg;
             BuildQuoteAction(r, 1, &msg);
             return byte_at(msg, 29);
         }},
        {"special-order cancel: byte 29 from opt_1 and opt_2",
         [](uint8_t flag, uint8_t detail) {
             HUX_CancelSpecialOrder r = zeroed<HUX_CancelSpecialOrder>();
             r.opt_1 = flag;
             r.opt_2 = detail;
             cxl_special_order_request msg;
             BuildCancelSpecialOrder(r, 1, &msg);
             return byte_at(msg, 29);
         }},
        {"simple order: byte 14 from opt_4 and the caller's byte 14",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterOrderSimpleField r = zeroed<HUX_EnterOrderSimpleField>();
             r.opt_4 = flag;
             r.opt_6 = detail;
             EXPECT_TRUE(RewriteSimpleOrder(&r, 1, 0, 0));
             return byte_at(r, 14);
         }},
        {"simple quote: byte 14 from opt_6 and the caller's byte 14",
         [](uint8_t flag, uint8_t detail) {
             HUX_EnterQuoteSimpleField r = zeroed<HUX_EnterQuoteSimpleField>();
             r.opt_6 = flag;
             r.opt_7 = detail;
             EXPECT_TRUE(RewriteSimpleQuote(&r, 1, 0, 0));
             return byte_at(r, 14);
         }},
    };
    const uint8_t flag_detail_kind[][3] = {{0, 0, 0}, {0, 9, 0}, {3, 0, 1}, {3, 9, 2}, {255, 255, 2}};
    for (const kind_rule& rule : rules) {
        for (const auto& c : flag_detail_kind)
            EXPECT_EQ(rule.kind(c[0], c[1]), c[2]) << rule.name << ", flag " << int(c[0]) << " detail " << int(c[1]);
    }
}

// Every builder writes every byte of its message: built over a buffer of
// zeros and over one of 0xAA, the bytes are the same.
TEST(OrderEntry, BuildersWriteEveryByte) {
    HUX_EnterOrderField order = zeroed<HUX_EnterOrderField>();
    order.request_tag = 0x01020304;
    std::memcpy(order.account, "ACC1", 4);
    order.not_read1 = 0xEE;
    order.not_read2 = 0xEE;
    order.exchange_id = 107;
    order.side = 6;
    order.price = 12.3456;
    order.quantity = 100;
    order.opt_4 = 1;
    order.opt_6 = 3;
    EXPECT_WRITES_EVERY_BYTE(new_order_req, EXPECT_TRUE(BuildNewOrder(order, 9, m)));

    HUX_EnterQuoteField quote = zeroed<HUX_EnterQuoteField>();
    quote.request_tag = 0xA1B2C3D4;
    quote.not_read1 = 0xEE;
    std::memcpy(quote.symbol, "IF", 2);
    quote.price_1 = 1.0001;
    quote.quantity_1 = 5;
    EXPECT_WRITES_EVERY_BYTE(new_quote_req, EXPECT_TRUE(BuildNewQuote(quote, 9, m)));

    HUX_EnterComboField combo = zeroed<HUX_EnterComboField>();
    combo.request_tag = 7;
    combo.not_read1 = 0xEE;
    combo.legs[0] = 1;
    EXPECT_WRITES_EVERY_BYTE(new_combo_order_req, BuildCombo(combo, 9, m));

    HUX_EnterSpecialOrderField special = zeroed<HUX_EnterSpecialOrderField>();
    special.request_tag = 0x99;
    special.not_read1 = 0xEE;
    special.not_read2 = 0xEE;
    special.symbol[0] = 'X';
    EXPECT_WRITES_EVERY_BYTE(new_special_order_req, BuildSpecialOrder(special, 9, m));

    HUX_CancelOrder cancel = zeroed<HUX_CancelOrder>();
    cancel.request_tag = 0x10;
    std::memset(cancel.not_read, 0xEE, sizeof(cancel.not_read));
    cancel.cancel_mode = 1;
    cancel.owner_token = 0x50;
    EXPECT_WRITES_EVERY_BYTE(cxl_order_request, BuildCancelOrder(cancel, 9, m));
    HUX_QuoteAction action = zeroed<HUX_QuoteAction>();
    action.market_token = 0x12345678;
    EXPECT_WRITES_EVERY_BYTE(quote_action_request, BuildQuoteAction(action, 9, m));
    HUX_CancelSpecialOrder cancel_special = zeroed<HUX_CancelSpecialOrder>();
    std::memset(cancel_special.not_read, 0xEE, sizeof(cancel_special.not_read));
    cancel_special.cancel_mode = 1;
    EXPECT_WRITES_EVERY_BYTE(cxl_special_order_request, BuildCancelSpecialOrder(cancel_special, 9, m));
}

// The simple forms are refused, their record left as it was, for an account
// index above 255, a symbol index above 65535 or a price that does not fit.
TEST(OrderEntry, SimpleFormRefusalsLeaveTheRecord) {
    HUX_EnterOrderSimpleField order = zeroed<HUX_EnterOrderSimpleField>();
    order.msg_type = 0xFFFF;
    order.exchange_id = 104;
    order.side = 3;
    order.opt_4 = 1;
    order.price = 99.99;
    std::memset(order.reserved, 0xAB, sizeof(order.reserved));
    const std::string image = hex_of(order);
    EXPECT_FALSE(RewriteSimpleOrder(&order, 1, 256, 1));
    EXPECT_FALSE(RewriteSimpleOrder(&order, 1, 1, 65536));
    EXPECT_EQ(hex_of(order), image);
    order.second_price = 1e300;
    const std::string bad_price = hex_of(order);
    EXPECT_FALSE(RewriteSimpleOrder(&order, 1, 1, 1));
    EXPECT_EQ(hex_of(order), bad_price);

    HUX_EnterQuoteSimpleField quote = zeroed<HUX_EnterQuoteSimpleField>();
    quote.exchange_id = 102;
    quote.opt_6 = 1;
    quote.price_1 = -12.3456;
    std::memset(quote.reserved, 0xCD, sizeof(quote.reserved));
    const std::string quote_image = hex_of(quote);
    EXPECT_FALSE(RewriteSimpleQuote(&quote, 7, 256, 0));
    EXPECT_FALSE(RewriteSimpleQuote(&quote, 7, 0, 0x10000));
    EXPECT_EQ(hex_of(quote), quote_image);
    // The largest indexes pass: account index at 9, symbol index at 10.
    EXPECT_TRUE(RewriteSimpleQuote(&quote, 7, 0xFF, 0xFFFF));
    EXPECT_EQ(hex_of(reinterpret_cast<const char*>(&quote) + 9, 3), "ffffff");
}

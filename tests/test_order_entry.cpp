#include "tests/support/hex.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/trade_order_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

using namespace HUX_TRADE_CORE;
using namespace HUX_TRADE_WIRE;

namespace {

using hux_test::hex_of;

// n copies of one byte, as hex
std::string rep(size_t n, const char* byte_hex) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += byte_hex;
    return out;
}

std::string z(size_t n) { return rep(n, "00"); }

// A message a builder must fully overwrite: a forgotten zero-fill shows.
template <typename MSG>
void dirty(MSG* msg) {
    std::memset(msg, 0xAA, sizeof(*msg));
}

int64_t price_of(double value) {
    int64_t out = 0x5A5A5A5A;
    EXPECT_TRUE(ConvertPrice(value, &out)) << value;
    return out;
}

bool refused(double value) {
    int64_t out = 0x5A5A5A5A;
    bool ok = ConvertPrice(value, &out);
    EXPECT_EQ(out, 0x5A5A5A5A) << "refused price must leave the output untouched";
    return !ok;
}

}  // namespace

TEST(OrderEntry, PriceConversion) {
    // ordinary values; the added 0.00001 lifts binary images like 12.34559999
    EXPECT_EQ(price_of(12.3456), 123456);
    EXPECT_EQ(price_of(-12.3456), -123456);
    EXPECT_EQ(price_of(1.0), 10000);
    EXPECT_EQ(price_of(99.99), 999900);
    EXPECT_EQ(price_of(0.0001), 1);
    EXPECT_EQ(price_of(-0.0001), -1);
    // below one unit truncates toward zero, either sign
    EXPECT_EQ(price_of(0.00005), 0);
    EXPECT_EQ(price_of(-0.00005), 0);
    EXPECT_EQ(price_of(0.000001), 0);
    // the dead band around zero, ends included
    EXPECT_EQ(price_of(0.00001), 0);
    EXPECT_EQ(price_of(-0.00001), 0);
    EXPECT_EQ(price_of(0.0), 0);
    EXPECT_EQ(price_of(-0.0), 0);
    // large values: 2^49 x 10000 = 2^53 x 625 is exact in a double
    EXPECT_EQ(price_of(562949953421312.0), INT64_C(5629499534213120000));
    EXPECT_EQ(price_of(-562949953421312.0), -INT64_C(5629499534213120000));
    // just below 2^63: 922337203685477.5 x 10000 = 2^63 - 808, rounded to 2^63 - 1024
    EXPECT_EQ(price_of(922337203685477.5), INT64_C(9223372036854774784));
    EXPECT_EQ(price_of(-922337203685477.5), -INT64_C(9223372036854774784));
    // the next double up reaches 2^63: refused, never wrapped or clamped
    EXPECT_TRUE(refused(922337203685477.625));
    EXPECT_TRUE(refused(-922337203685477.625));
    EXPECT_TRUE(refused(1e300));
    EXPECT_TRUE(refused(-1e300));
    EXPECT_TRUE(refused(std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(refused(-std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(refused(std::numeric_limits<double>::quiet_NaN()));
}

TEST(OrderEntry, SideMappingExchangeCheckAndWarmUp) {
    const uint8_t mapped_exchanges[] = {102, 104, 105, 107, 108};
    for (uint8_t ex : mapped_exchanges) {
        EXPECT_EQ(MapSide(ex, 2), 22) << int(ex);
        EXPECT_EQ(MapSide(ex, 6), 22) << int(ex);
        EXPECT_EQ(MapSide(ex, 3), 21) << int(ex);
        EXPECT_EQ(MapSide(ex, 5), 21) << int(ex);
        EXPECT_EQ(MapSide(ex, 1), 1) << int(ex);
        EXPECT_EQ(MapSide(ex, 4), 4) << int(ex);
        EXPECT_EQ(MapSide(ex, 0), 0) << int(ex);
        EXPECT_EQ(MapSide(ex, 22), 22) << int(ex);
    }
    const uint8_t plain_exchanges[] = {99, 100, 101, 103, 106, 109};
    for (uint8_t ex : plain_exchanges)
        for (uint8_t side = 0; side <= 7; ++side) EXPECT_EQ(MapSide(ex, side), side) << int(ex) << " " << int(side);

    EXPECT_FALSE(IsValidExchange(0));
    EXPECT_FALSE(IsValidExchange(99));
    EXPECT_TRUE(IsValidExchange(100));
    EXPECT_TRUE(IsValidExchange(104));
    EXPECT_TRUE(IsValidExchange(108));
    EXPECT_FALSE(IsValidExchange(109));
    EXPECT_FALSE(IsValidExchange(255));

    HUX_EnterOrderField order;
    std::memset(&order, 0, sizeof(order));
    order.exchange_id = 99;
    EXPECT_TRUE(IsWarmUpOrder(order));
    order.quantity = 1;
    EXPECT_FALSE(IsWarmUpOrder(order));

    HUX_EnterQuoteField quote;
    std::memset(&quote, 0, sizeof(quote));
    EXPECT_TRUE(IsWarmUpQuote(quote));
    quote.quantity_2 = 1;
    EXPECT_FALSE(IsWarmUpQuote(quote));
    quote.quantity_2 = 0;
    quote.quantity_1 = 1;
    EXPECT_FALSE(IsWarmUpQuote(quote));
}

TEST(OrderEntry, NewOrderImage) {
    HUX_EnterOrderField req;
    std::memset(&req, 0, sizeof(req));
    req.request_tag = 0x01020304;
    std::memcpy(req.account, "ACC1", 4);
    req.not_read1 = 0xEE;
    req.side = 6;
    req.exchange_id = 107;
    std::memcpy(req.symbol, "SYM", 3);
    req.price = 12.3456;
    req.quantity = 100;
    req.not_read2 = 0xEE;
    req.client_token = 0x11223344;
    req.opt_1 = -2;
    req.opt_2 = 0x05060708;
    req.opt_3 = 0x0A0B0C0D;
    req.opt_4 = 1;
    req.opt_5 = 0x55;
    req.opt_6 = 3;
    req.keep_side = 0;
    req.opt_7 = 0x77;
    req.opt_8 = 9;
    req.second_price = -1.5;
    req.opt_9 = 0x99;

    new_order_req msg;
    dirty(&msg);
    ASSERT_TRUE(BuildNewOrder(req, 0x12345678, &msg));
    const std::string golden =
        "0a00"                   // type 10
        "6400"                   // length 100
        "04030201"               // request tag
        "78"                     // user id, low byte of 0x12345678
        + z(3) +                 // zero
        "6b"                     // exchange 107
        "01"                     // opt_4
        "02"                     // opt_4 set, opt_6 set: 2
        "01"                     // opt_8 9 is outside 1..6: sent as 1
        "77"                     // opt_7
        "16"                     // side 6 on exchange 107: 22
        "55"                     // opt_5
        "fe"                     // opt_1 -2, low byte
        "44332211"               // client token
        "64000000"               // quantity 100
        "08070605"               // opt_2
        "40e2010000000000"       // price 12.3456 -> 123456
        "68c5ffffffffffff"       // second price -1.5 -> -15000
        "99"                     // opt_9
        + z(3) +                 // zero
        "0d0c0b0a"               // opt_3
        + z(4) +                 // zero
        "41434331" + z(12) +     // account "ACC1"
        "53594d" + z(17) +       // symbol "SYM"
        z(4);                    // zero
    EXPECT_EQ(hex_of(msg), golden);

    // keep_side turns the mapping off; exchange 101 is not mapped
    req.keep_side = 1;
    ASSERT_TRUE(BuildNewOrder(req, 1, &msg));
    EXPECT_EQ(msg.side, 6);
    req.keep_side = 0;
    req.exchange_id = 101;
    ASSERT_TRUE(BuildNewOrder(req, 1, &msg));
    EXPECT_EQ(msg.side, 6);
    // the byte after opt_4: 0 when opt_4 is 0, 1 when opt_6 is 0; opt_8 in range kept
    req.opt_4 = 0;
    req.opt_8 = 6;
    ASSERT_TRUE(BuildNewOrder(req, 1, &msg));
    EXPECT_EQ(msg.opt_kind, 0);
    EXPECT_EQ(msg.opt_8, 6);
    req.opt_4 = 1;
    req.opt_6 = 0;
    req.opt_8 = 0;
    ASSERT_TRUE(BuildNewOrder(req, 1, &msg));
    EXPECT_EQ(msg.opt_kind, 1);
    EXPECT_EQ(msg.opt_8, 1);

    // a price whose image does not fit is refused, for either price field
    req.price = 1e300;
    EXPECT_FALSE(BuildNewOrder(req, 1, &msg));
    req.price = 1.0;
    req.second_price = -std::numeric_limits<double>::infinity();
    EXPECT_FALSE(BuildNewOrder(req, 1, &msg));
}

TEST(OrderEntry, NewQuoteImage) {
    HUX_EnterQuoteField req;
    std::memset(&req, 0, sizeof(req));
    req.request_tag = 0xA1B2C3D4;
    req.account[0] = 'Q';
    req.not_read1 = 0xEE;
    std::memcpy(req.symbol, "IF", 2);
    std::memset(req.quote_text_1, 'a', sizeof(req.quote_text_1));
    req.exchange_id = 100;
    req.client_token = 0x0102;
    req.opt_1 = 0x11;
    req.opt_2 = 0x22;
    req.price_1 = 1.0001;
    req.quantity_1 = 5;
    req.opt_3 = 0x33;
    req.opt_4 = 0x44;
    req.price_2 = 0.00005;
    req.quantity_2 = 7;
    req.opt_5 = 0x1234;
    req.opt_6 = 2;
    req.opt_7 = 0;
    req.opt_8 = 0xCAFEBABE;
    std::memset(req.quote_text_2, 'b', sizeof(req.quote_text_2));

    new_quote_req msg;
    dirty(&msg);
    ASSERT_TRUE(BuildNewQuote(req, 0x1FF, &msg));
    const std::string golden =
        "0c00"                   // type 12
        "c400"                   // length 196
        "d4c3b2a1"               // request tag
        "ff"                     // user id, low byte of 0x1ff
        + z(3) +                 // zero
        "64"                     // exchange 100
        "02"                     // opt_6
        "01"                     // opt_6 set, opt_7 zero: 1
        "34"                     // opt_5 0x1234, low byte
        "05000000"               // quantity 1
        "07000000"               // quantity 2
        "1127000000000000"       // price 1 1.0001 -> 10001
        "0000000000000000"       // price 2 0.00005 -> 0
        "22"                     // opt_2
        "44"                     // opt_4
        "11"                     // opt_1
        "33"                     // opt_3
        "02010000"               // client token
        "bebafeca"               // opt_8
        + z(4) +                 // zero
        "51" + z(15) +           // account "Q"
        "4946" + z(18) +         // symbol "IF"
        rep(24, "61") +          // quote text 1, 24 bytes as they are
        z(12) +                  // zero
        rep(24, "62") +          // quote text 2, 24 bytes as they are
        z(44);                   // zero
    EXPECT_EQ(hex_of(msg), golden);

    req.price_2 = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(BuildNewQuote(req, 1, &msg));
}

TEST(OrderEntry, ComboAndSpecialOrderImages) {
    HUX_EnterComboField combo;
    std::memset(&combo, 0, sizeof(combo));
    combo.request_tag = 7;
    combo.account[0] = 'C';
    combo.not_read1 = 0xEE;
    combo.exchange_id = 108;
    for (size_t i = 0; i < sizeof(combo.legs); ++i) combo.legs[i] = static_cast<uint8_t>(i);
    combo.opt_1 = 0x01020304;
    combo.client_token = 0x0A0B0C0D;
    combo.opt_2 = 0;
    combo.opt_3 = 0x33;
    combo.opt_4 = 5;
    combo.opt_5 = 0x55;

    new_combo_order_req cmsg;
    dirty(&cmsg);
    BuildCombo(combo, 0x2A, &cmsg);
    std::string legs;
    for (int i = 0; i < 80; ++i) legs += hex_of(&i, 1);
    const std::string combo_golden =
        "0e00"                   // type 14
        "9000"                   // length 144
        "07000000"               // request tag
        "2a"                     // user id
        "6c"                     // exchange 108
        "00"                     // opt_2
        "00"                     // opt_2 zero: 0 whatever opt_4
        "55"                     // opt_5
        "33"                     // opt_3
        "0d0c0b0a"               // client token
        "04030201"               // opt_1
        + z(4) +                 // zero
        "43" + z(15) +           // account "C"
        legs +                   // legs 00..4f as they are
        z(22);                   // zero
    EXPECT_EQ(hex_of(cmsg), combo_golden);

    HUX_EnterSpecialOrderField special;
    std::memset(&special, 0, sizeof(special));
    special.request_tag = 0x99;
    std::memcpy(special.account, "SP", 2);
    special.not_read1 = 0xEE;
    special.opt_1 = 0x11;
    special.exchange_id = 105;
    special.symbol[0] = 'X';
    special.opt_2 = 0x0BADF00D;
    special.not_read2 = 0xEE;
    special.client_token = 100;
    special.opt_3 = 0xDEADBEEF;
    special.opt_4 = 7;
    special.opt_5 = 0x55;
    special.opt_6 = 9;
    special.opt_7 = 0x77;
    special.opt_8 = 0x88;

    new_special_order_req smsg;
    dirty(&smsg);
    BuildSpecialOrder(special, 0x301, &smsg);
    const std::string special_golden =
        "1e00"                   // type 30
        "4800"                   // length 72
        "99000000"               // request tag
        "01"                     // user id, low byte of 0x301
        "69"                     // exchange 105
        "07"                     // opt_4
        "02"                     // opt_4 set, opt_6 set: 2
        "0df0ad0b"               // opt_2
        "11"                     // opt_1
        "55"                     // opt_5
        "77"                     // opt_7
        "88"                     // opt_8
        "64000000"               // client token 100
        + z(4) +                 // zero
        "5350" + z(14) +         // account "SP"
        "58" + z(19) +           // symbol "X"
        z(4) +                   // zero
        "efbeadde";              // opt_3
    EXPECT_EQ(hex_of(smsg), special_golden);
}

TEST(OrderEntry, CancelImages) {
    // order cancel, mode 1 with no owner user id: the session's own is sent
    HUX_CancelOrder cxl;
    std::memset(&cxl, 0, sizeof(cxl));
    cxl.request_tag = 0x10;
    cxl.market_token = 0x2000;
    std::memset(cxl.not_read, 0xEE, sizeof(cxl.not_read));
    cxl.opt_1 = 1;
    cxl.opt_2 = 0;
    cxl.opt_3 = 0x33;
    cxl.cancel_mode = 1;
    cxl.client_token = 0x40;
    cxl.owner_token = 0x50;
    cxl.owner_user_id = 0;

    cxl_order_request msg;
    dirty(&msg);
    BuildCancelOrder(cxl, 0x00ABCDEF, &msg);
    const std::string cancel_golden =
        "0b00"                   // type 11
        "2c00"                   // length 44
        "10000000"               // request tag
        "efcdab00"               // user id
        "40000000"               // client token
        "00000000"               // market token: not sent in mode 1
        "efcdab00"               // owner user id 0: the session's
        "50000000"               // owner token
        "01"                     // opt_1
        "01"                     // opt_1 set, opt_2 zero: 1
        "33"                     // opt_3
        "01"                     // cancel mode
        + z(12);                 // zero
    EXPECT_EQ(hex_of(msg), cancel_golden);

    // any other mode sends the market token and no owner fields
    cxl.cancel_mode = 2;
    cxl.owner_user_id = 0x77;
    dirty(&msg);
    BuildCancelOrder(cxl, 0x00ABCDEF, &msg);
    EXPECT_EQ(msg.market_token, 0x2000u);
    EXPECT_EQ(msg.owner_user_id, 0u);
    EXPECT_EQ(msg.owner_token, 0u);
    EXPECT_EQ(msg.cancel_mode, 2);

    HUX_QuoteAction qa;
    std::memset(&qa, 0, sizeof(qa));
    qa.request_tag = 0x20;
    qa.opt_1 = 2;
    qa.opt_2 = 3;
    qa.opt_3 = 0x44;
    qa.cancel_mode = 0;
    qa.client_token = 0;
    qa.market_token = 0x12345678;
    qa.owner_token = 0x99;
    qa.owner_user_id = 0x77;
    dirty(&msg);
    BuildQuoteAction(qa, 5, &msg);
    const std::string qa_golden =
        "0d00"                   // type 13
        "2c00"                   // length 44
        "20000000"               // request tag
        "05000000"               // user id
        "00000000"               // client token
        "78563412"               // market token (mode 0)
        "00000000"               // owner user id: mode 1 only
        "00000000"               // owner token: mode 1 only
        "02"                     // opt_1
        "02"                     // opt_1 set, opt_2 set: 2
        "44"                     // opt_3
        "00"                     // cancel mode
        + z(12);                 // zero
    EXPECT_EQ(hex_of(msg), qa_golden);

    HUX_CancelSpecialOrder scxl;
    std::memset(&scxl, 0, sizeof(scxl));
    scxl.request_tag = 0x30;
    scxl.market_token = 0x1111;
    std::memset(scxl.not_read, 0xEE, sizeof(scxl.not_read));
    scxl.opt_1 = 0;
    scxl.opt_2 = 1;
    scxl.cancel_mode = 1;
    scxl.client_token = 0x0102;
    scxl.owner_token = 0x0304;
    scxl.owner_user_id = 0x66;
    dirty(&msg);
    BuildCancelSpecialOrder(scxl, 9, &msg);
    const std::string scxl_golden =
        "1f00"                   // type 31
        "2c00"                   // length 44
        "30000000"               // request tag
        "09000000"               // user id
        "02010000"               // client token
        "00000000"               // market token: not sent in mode 1
        "66000000"               // owner user id as given
        "04030000"               // owner token
        "00"                     // opt_1
        "00"                     // opt_1 zero: 0
        "01"                     // cancel mode
        "00"                     // zero in the special-order cancel
        + z(12);                 // zero
    EXPECT_EQ(hex_of(msg), scxl_golden);
}

TEST(OrderEntry, SimpleOrderRewrittenInPlace) {
    HUX_EnterOrderSimpleField rec;
    std::memset(&rec, 0, sizeof(rec));
    rec.msg_type = 0xFFFF;
    rec.request_tag = 0x0C0B0A09;
    rec.user_id = 0xEE;
    rec.account_index = 0xEE;
    rec.symbol_index = 0xEEEE;
    rec.exchange_id = 104;
    rec.opt_4 = 1;
    rec.opt_6 = 0;
    rec.opt_8 = 0;
    rec.opt_7 = 0x77;
    rec.side = 3;
    rec.opt_5 = 0x55;
    rec.opt_1 = 0x11;
    rec.client_token = 0x200;
    rec.quantity = 0x300;
    rec.opt_2 = 0x400;
    rec.price = 99.99;
    rec.second_price = -0.00001;
    rec.opt_9 = 0x99;
    std::memset(rec.reserved, 0xAB, sizeof(rec.reserved));
    rec.opt_3 = 0x01020304;

    // refusals leave the record as it was
    HUX_EnterOrderSimpleField before = rec;
    EXPECT_FALSE(RewriteSimpleOrder(&rec, 1, 256, 1));
    EXPECT_FALSE(RewriteSimpleOrder(&rec, 1, 1, 65536));
    rec.second_price = 1e300;
    HUX_EnterOrderSimpleField bad_price = rec;
    EXPECT_FALSE(RewriteSimpleOrder(&rec, 1, 1, 1));
    EXPECT_EQ(hex_of(rec), hex_of(bad_price));
    rec.second_price = -0.00001;
    EXPECT_EQ(hex_of(rec), hex_of(before));

    ASSERT_TRUE(RewriteSimpleOrder(&rec, 0x1234, 3, 0x0102));
    const std::string golden =
        "1400"                   // type 20
        "3800"                   // length 56
        "090a0b0c"               // request tag, the caller's
        "34"                     // user id, low byte of 0x1234
        "03"                     // account index
        "0201"                   // symbol index 0x0102
        "68"                     // exchange 104
        "01"                     // opt_4
        "01"                     // opt_4 set, caller's byte zero: 1
        "01"                     // opt_8 0 is outside 1..6: 1
        "77"                     // opt_7
        "15"                     // side 3 on exchange 104: 21
        "55"                     // opt_5
        "11"                     // opt_1
        "00020000"               // client token
        "00030000"               // quantity
        "00040000"               // opt_2
        "dc410f0000000000"       // price 99.99 -> 999900
        "0000000000000000"       // second price -0.00001 -> 0
        "99"                     // opt_9
        "ababab"                 // the caller's bytes, unchanged
        "04030201";              // opt_3
    EXPECT_EQ(hex_of(rec), golden);

    // the record now holds the integer image; a second call sends another price
    int64_t image = 0;
    std::memcpy(&image, reinterpret_cast<const uint8_t*>(&rec) + 32, sizeof(image));
    EXPECT_EQ(image, 999900);
    ASSERT_TRUE(RewriteSimpleOrder(&rec, 0x1234, 3, 0x0102));
    std::memcpy(&image, reinterpret_cast<const uint8_t*>(&rec) + 32, sizeof(image));
    EXPECT_NE(image, 999900);
}

TEST(OrderEntry, SimpleQuoteRewrittenInPlace) {
    HUX_EnterQuoteSimpleField rec;
    std::memset(&rec, 0, sizeof(rec));
    rec.request_tag = 0x44332211;
    rec.exchange_id = 102;
    rec.opt_6 = 0;
    rec.opt_7 = 5;
    rec.opt_5 = 0x17;
    rec.quantity_1 = 2;
    rec.quantity_2 = 3;
    rec.price_1 = -12.3456;
    rec.price_2 = 3.0;
    rec.opt_2 = 0x22;
    rec.opt_4 = 0x44;
    rec.opt_1 = 0x11;
    rec.opt_3 = 0x33;
    rec.client_token = 5;
    rec.opt_8 = 0x88;
    std::memset(rec.reserved, 0xCD, sizeof(rec.reserved));

    HUX_EnterQuoteSimpleField before = rec;
    EXPECT_FALSE(RewriteSimpleQuote(&rec, 7, 256, 0));
    EXPECT_FALSE(RewriteSimpleQuote(&rec, 7, 0, 0x10000));
    EXPECT_EQ(hex_of(rec), hex_of(before));

    ASSERT_TRUE(RewriteSimpleQuote(&rec, 7, 0xFF, 0xFFFF));
    const std::string golden =
        "1600"                   // type 22
        "3800"                   // length 56
        "11223344"               // request tag, the caller's
        "07"                     // user id
        "ff"                     // account index 255
        "ffff"                   // symbol index 65535
        "66"                     // exchange 102
        "00"                     // opt_6
        "00"                     // opt_6 zero: 0, whatever the caller had
        "17"                     // opt_5, not side-mapped
        "02000000"               // quantity 1
        "03000000"               // quantity 2
        "c01dfeffffffffff"       // price 1 -12.3456 -> -123456
        "3075000000000000"       // price 2 3.0 -> 30000
        "22"                     // opt_2
        "44"                     // opt_4
        "11"                     // opt_1
        "33"                     // opt_3
        "05000000"               // client token
        "88000000"               // opt_8
        "cdcdcdcd";              // the caller's bytes, unchanged
    EXPECT_EQ(hex_of(rec), golden);
}

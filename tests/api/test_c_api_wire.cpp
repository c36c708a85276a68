// The bytes each request of the C interface puts on the wire: every request
// record is sent through its MVHUX_* function by a session logged on to the
// simulated trade server over loopback, and what the server received is
// compared with a golden image worked out from the message layouts, one
// comment per field, the in-place rewrite of the simple forms included. The
// field rules over all their inputs (side mapping, the kind byte after a flag,
// opt_8, price conversion) are checked on the builders in test_order_entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/session_support.h"

using namespace trade_test;

namespace {

const uint32_t kUserId = 0x5D4C3B2A;  // goes out as 2a3b4c5d, or as its low byte 2a

std::string z(size_t n) { return zeros_hex(n); }

// bytes first, first + 1, ... (n of them), as hex
std::string run(uint8_t first, size_t n) {
    std::string bytes;
    for (size_t i = 0; i < n; ++i) bytes += static_cast<char>(first + i);
    return hex_of(bytes.data(), bytes.size());
}

hux_sim::sim_config wire_config() {
    hux_sim::sim_config cfg;
    cfg.password = "wire-pw-2024";
    cfg.user_id = kUserId;
    cfg.max_token = 900;
    cfg.accounts = {{"ACC001", 1}, {"ACC-W", 7}};
    cfg.symbols = {{"IF2406", 3}, {"SYM-W", 0x0123}};
    return cfg;
}

// One handle logged on to a simulated server of its own.
struct wire_session : capi_session {
    wire_session() : capi_session(wire_config()) {}

    // Bytes of the index-th message of `type` the server received.
    std::string sent(uint16_t type, size_t index = 0) {
        EXPECT_TRUE(srv.wait_for_message(0, type, index + 1, kSessionWait)) << "type " << type << " #" << index;
        std::vector<hux_sim::sim_message> msgs = srv.messages(0, type);
        return index < msgs.size() ? msgs[index].bytes : std::string();
    }
    std::string sent_hex(uint16_t type, size_t index = 0) {
        const std::string m = sent(type, index);
        return hex_of(m.data(), m.size());
    }
};

// A plain order with the given token: exchange 101, side 1, opt_8 1.
HUX_EnterOrderField plain_order(uint32_t token) {
    HUX_EnterOrderField r = order_req(token);
    r.opt_8 = 1;
    return r;
}

}  // namespace

// Every field of the new order in its place, with the side mapped (6 on
// exchange 107 goes out as 22) and both prices converted.
TEST(CApiWire, NewOrder) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterOrderField r = zeroed<HUX_EnterOrderField>();
    r.request_tag = 0x11223344;
    put_text(r.account, "ACCT0123456789AB");  // all 16 bytes, no terminator
    r.not_read1 = 0xEE;
    r.side = 6;
    r.exchange_id = 107;
    put_text(r.symbol, "SYMBOL-0123456789XYZ");  // all 20 bytes
    r.price = 12.3456;
    r.quantity = 50000;
    r.not_read2 = 0xEE;
    r.client_token = 1000001;
    r.opt_1 = 0x0BADBE5A;
    r.opt_2 = 0x0A0B0C0D;
    r.opt_3 = 0x1A2B3C4D;
    r.opt_4 = 0x41;
    r.opt_5 = 0x55;
    r.opt_6 = 0x42;
    r.keep_side = 0;
    r.opt_7 = 0x77;
    r.opt_8 = 5;
    r.second_price = -1.5;
    r.opt_9 = 0x99;
    ASSERT_EQ(MVHUX_EnterOrder(s.h, &r, false), 0);
    const std::string golden = "0a00"                              // type 10
                               "6400"                              // length 100
                               "44332211"                          // request tag
                               "2a"                                // user id, low byte
                               + z(3) +                            // bytes 9-11
                               "6b"                                // exchange 107
                               "41"                                // opt_4
                               "02"                                // opt_4 and opt_6 set: 2
                               "05"                                // opt_8 5, in 1..6: as it is
                               "77"                                // opt_7
                               "16"                                // side 6 on exchange 107: 22
                               "55"                                // opt_5
                               "5a"                                // opt_1 0x0badbe5a, low byte
                               "41420f00"                          // client token 1000001
                               "50c30000"                          // quantity 50000
                               "0d0c0b0a"                          // opt_2
                               "40e2010000000000"                  // price 12.3456 -> 123456
                               "68c5ffffffffffff"                  // second price -1.5 -> -15000
                               "99"                                // opt_9
                               + z(3) +                            // bytes 49-51
                               "4d3c2b1a"                          // opt_3
                               + z(4) +                            // bytes 56-59
                               text_hex("ACCT0123456789AB", 16) +      // account, 16 bytes as they are
                               text_hex("SYMBOL-0123456789XYZ", 20) +  // symbol, 20 bytes as they are
                               z(4);                               // bytes 96-99
    EXPECT_EQ(s.sent_hex(10), golden);
}

// Every field of the new quote in its place, texts copied whole.
TEST(CApiWire, NewQuote) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterQuoteField r = zeroed<HUX_EnterQuoteField>();
    r.request_tag = 0xA1B2C3D4;
    put_text(r.account, "QACCOUNT-16BYTES");
    r.not_read1 = 0xEE;
    put_text(r.symbol, "QSYMBOL-ABCDEFGHIJKL");
    for (size_t i = 0; i < sizeof(r.quote_text_1); ++i) r.quote_text_1[i] = static_cast<char>(0x01 + i);
    r.exchange_id = 104;
    r.client_token = 1000002;
    r.opt_1 = 0x11;
    r.opt_2 = 0x22;
    r.price_1 = 1.0001;
    r.quantity_1 = 0x1111;
    r.opt_3 = 0x33;
    r.opt_4 = 0x44;
    r.price_2 = -0.0001;
    r.quantity_2 = 0x2222;
    r.opt_5 = 0x7654321F;
    r.opt_6 = 0x66;
    r.opt_7 = 0;
    r.opt_8 = 0xCAFEBABE;
    for (size_t i = 0; i < sizeof(r.quote_text_2); ++i) r.quote_text_2[i] = static_cast<char>(0x81 + i);
    ASSERT_EQ(MVHUX_EnterQuote(s.h, &r, false), 0);
    const std::string golden = "0c00"                              // type 12
                               "c400"                              // length 196
                               "d4c3b2a1"                          // request tag
                               "2a"                                // user id, low byte
                               + z(3) +                            // bytes 9-11
                               "68"                                // exchange 104
                               "66"                                // opt_6
                               "01"                                // opt_6 set, opt_7 zero: 1
                               "1f"                                // opt_5 0x7654321f, low byte
                               "11110000"                          // quantity 1
                               "22220000"                          // quantity 2
                               "1127000000000000"                  // price 1 1.0001 -> 10001
                               "ffffffffffffffff"                  // price 2 -0.0001 -> -1
                               "22"                                // opt_2
                               "44"                                // opt_4
                               "11"                                // opt_1
                               "33"                                // opt_3
                               "42420f00"                          // client token 1000002
                               "bebafeca"                          // opt_8
                               + z(4) +                            // bytes 52-55
                               text_hex("QACCOUNT-16BYTES", 16) +      // account
                               text_hex("QSYMBOL-ABCDEFGHIJKL", 20) +  // symbol
                               run(0x01, 24) +                     // quote text 1, 24 bytes as they are
                               z(12) +                             // bytes 116-127
                               run(0x81, 24) +                     // quote text 2, 24 bytes as they are
                               z(44);                              // bytes 152-195
    EXPECT_EQ(s.sent_hex(12), golden);
}

// The combination order and the special order, every field in its place.
TEST(CApiWire, ComboAndSpecialOrder) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterComboField c = zeroed<HUX_EnterComboField>();
    c.request_tag = 0x0C0D0E0F;
    put_text(c.account, "COMBO-ACCOUNT-16");
    c.not_read1 = 0xEE;
    c.exchange_id = 108;
    for (size_t i = 0; i < sizeof(c.legs); ++i) c.legs[i] = static_cast<uint8_t>(0xB0 + i);
    c.opt_1 = 0x31323334;
    c.client_token = 1000003;
    c.opt_2 = 0x12;
    c.opt_3 = 0x13;
    c.opt_4 = 0x14;
    c.opt_5 = 0x15;
    ASSERT_EQ(MVHUX_EnterCombo(s.h, &c), 0);
    const std::string combo_golden = "0e00"                          // type 14
                                     "9000"                          // length 144
                                     "0f0e0d0c"                      // request tag
                                     "2a"                            // user id, low byte
                                     "6c"                            // exchange 108
                                     "12"                            // opt_2
                                     "02"                            // opt_2 and opt_4 set: 2
                                     "15"                            // opt_5
                                     "13"                            // opt_3
                                     "43420f00"                      // client token 1000003
                                     "34333231"                      // opt_1
                                     + z(4) +                        // bytes 22-25
                                     text_hex("COMBO-ACCOUNT-16", 16) +  // account
                                     run(0xB0, 80) +                 // legs, 80 bytes as they are
                                     z(22);                          // bytes 122-143
    EXPECT_EQ(s.sent_hex(14), combo_golden);

    HUX_EnterSpecialOrderField sp = zeroed<HUX_EnterSpecialOrderField>();
    sp.request_tag = 0x51525354;
    put_text(sp.account, "SPECIAL-ACCT-16B");
    sp.not_read1 = 0xEE;
    sp.opt_1 = 0x61;
    sp.exchange_id = 105;
    put_text(sp.symbol, "SPECIAL-SYMBOL-20-CH");
    sp.opt_2 = 0x62636465;
    sp.not_read2 = 0xEE;
    sp.client_token = 1000004;
    sp.opt_3 = 0x71727374;
    sp.opt_4 = 0x64;
    sp.opt_5 = 0x75;
    sp.opt_6 = 0x66;
    sp.opt_7 = 0x77;
    sp.opt_8 = 0x78;
    ASSERT_EQ(MVHUX_EnterSpecialOrder(s.h, &sp), 0);
    const std::string special_golden = "1e00"                              // type 30
                                       "4800"                              // length 72
                                       "54535251"                          // request tag
                                       "2a"                                // user id, low byte
                                       "69"                                // exchange 105
                                       "64"                                // opt_4
                                       "02"                                // opt_4 and opt_6 set: 2
                                       "65646362"                          // opt_2
                                       "61"                                // opt_1
                                       "75"                                // opt_5
                                       "77"                                // opt_7
                                       "78"                                // opt_8
                                       "44420f00"                          // client token 1000004
                                       + z(4) +                            // bytes 24-27
                                       text_hex("SPECIAL-ACCT-16B", 16) +      // account
                                       text_hex("SPECIAL-SYMBOL-20-CH", 20) +  // symbol
                                       z(4) +                              // bytes 64-67
                                       "74737271";                         // opt_3
    EXPECT_EQ(s.sent_hex(30), special_golden);
}

// The order cancel, the quote action and the special-order cancel share one
// layout: cancel mode 1 sends the owner fields (the session's user id for an
// owner user id of 0), any other mode the market token.
TEST(CApiWire, Cancels) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());

    HUX_CancelOrder c = zeroed<HUX_CancelOrder>();
    c.request_tag = 0x0A1B2C3D;
    c.market_token = 0x00ABCDEF;
    std::memset(c.not_read, 0xEE, sizeof(c.not_read));
    c.opt_1 = 0x31;
    c.opt_2 = 0;
    c.opt_3 = 0x33;
    c.cancel_mode = 1;
    c.client_token = 1000005;
    c.owner_token = 0x1234;
    c.owner_user_id = 0;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &c), 0);
    EXPECT_EQ(s.sent_hex(11, 0), "0b00"        // type 11
                                 "2c00"        // length 44
                                 "3d2c1b0a"    // request tag
                                 "2a3b4c5d"    // user id
                                 "45420f00"    // client token 1000005
                                 "00000000"    // market token: not sent in mode 1
                                 "2a3b4c5d"    // owner user id 0: the session's
                                 "34120000"    // owner token
                                 "31"          // opt_1
                                 "01"          // opt_1 set, opt_2 zero: 1
                                 "33"          // opt_3
                                 "01"          // cancel mode 1
                                 + z(12));     // bytes 32-43
    c.cancel_mode = 2;
    c.opt_2 = 0x32;
    c.owner_user_id = 0x777;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &c), 0);
    EXPECT_EQ(s.sent_hex(11, 1), "0b00"        // type 11
                                 "2c00"        // length 44
                                 "3d2c1b0a"    // request tag
                                 "2a3b4c5d"    // user id
                                 "45420f00"    // client token, not above the mark now: sent all the same
                                 "efcdab00"    // market token
                                 "00000000"    // owner user id: mode 1 only
                                 "00000000"    // owner token: mode 1 only
                                 "31"          // opt_1
                                 "02"          // opt_1 and opt_2 set: 2
                                 "33"          // opt_3
                                 "02"          // cancel mode 2
                                 + z(12));     // bytes 32-43
    c.cancel_mode = 1;
    c.opt_1 = 0;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &c), 0);
    EXPECT_EQ(s.sent_hex(11, 2), "0b00"        // type 11
                                 "2c00"        // length 44
                                 "3d2c1b0a"    // request tag
                                 "2a3b4c5d"    // user id
                                 "45420f00"    // client token
                                 "00000000"    // market token: not sent in mode 1
                                 "77070000"    // owner user id as given
                                 "34120000"    // owner token
                                 "00"          // opt_1
                                 "00"          // opt_1 zero: 0
                                 "33"          // opt_3
                                 "01"          // cancel mode 1
                                 + z(12));     // bytes 32-43

    HUX_QuoteAction qa = zeroed<HUX_QuoteAction>();
    qa.request_tag = 0x0B1C2D3E;
    qa.opt_1 = 0x41;
    qa.opt_2 = 0x42;
    qa.opt_3 = 0x43;
    qa.cancel_mode = 0;
    qa.client_token = 1000006;
    qa.market_token = 0x01020304;
    qa.owner_token = 0x999;
    qa.owner_user_id = 0x888;
    ASSERT_EQ(MVHUX_QuoteAction(s.h, &qa), 0);
    EXPECT_EQ(s.sent_hex(13), "0d00"        // type 13
                              "2c00"        // length 44
                              "3e2d1c0b"    // request tag
                              "2a3b4c5d"    // user id
                              "46420f00"    // client token 1000006
                              "04030201"    // market token (mode 0)
                              "00000000"    // owner user id: mode 1 only
                              "00000000"    // owner token: mode 1 only
                              "41"          // opt_1
                              "02"          // opt_1 and opt_2 set: 2
                              "43"          // opt_3
                              "00"          // cancel mode 0
                              + z(12));     // bytes 32-43

    HUX_CancelSpecialOrder sc = zeroed<HUX_CancelSpecialOrder>();
    sc.request_tag = 0x0C1D2E3F;
    sc.market_token = 0x0BADF00D;
    std::memset(sc.not_read, 0xEE, sizeof(sc.not_read));
    sc.opt_1 = 0x51;
    sc.opt_2 = 0;
    sc.cancel_mode = 1;
    sc.client_token = 1000007;
    sc.owner_token = 0x5678;
    sc.owner_user_id = 0x666;
    ASSERT_EQ(MVHUX_CancelSpecialOrder(s.h, &sc), 0);
    EXPECT_EQ(s.sent_hex(31, 0), "1f00"        // type 31
                                 "2c00"        // length 44
                                 "3f2e1d0c"    // request tag
                                 "2a3b4c5d"    // user id
                                 "47420f00"    // client token 1000007
                                 "00000000"    // market token: not sent in mode 1
                                 "66060000"    // owner user id as given
                                 "78560000"    // owner token
                                 "51"          // opt_1
                                 "01"          // opt_1 set, opt_2 zero: 1
                                 "01"          // the cancel mode sits here
                                 "00"          // byte 31 stays zero
                                 + z(12));     // bytes 32-43
    sc.cancel_mode = 3;
    sc.owner_user_id = 0;
    ASSERT_EQ(MVHUX_CancelSpecialOrder(s.h, &sc), 0);
    EXPECT_EQ(s.sent_hex(31, 1), "1f00"        // type 31
                                 "2c00"        // length 44
                                 "3f2e1d0c"    // request tag
                                 "2a3b4c5d"    // user id
                                 "47420f00"    // client token
                                 "0df0ad0b"    // market token (mode 3)
                                 "00000000"    // owner user id: mode 1 only
                                 "00000000"    // owner token: mode 1 only
                                 "51"          // opt_1
                                 "01"          // opt_1 set, opt_2 zero: 1
                                 "03"          // cancel mode 3
                                 "00"          // byte 31 stays zero
                                 + z(12));     // bytes 32-43
}

// The simple order is its own message: the function rewrites the caller's
// record in place (header, user id, indexes, the kind byte, opt_8, side,
// prices) and sends it as it then stands. Sent again, the record's price
// fields hold the images, which read as doubles are other prices: a tiny
// positive image sends 0; a negative image reads as NaN and is refused.
TEST(CApiWire, SimpleOrderRewrittenInPlace) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterOrderSimpleField r = zeroed<HUX_EnterOrderSimpleField>();
    r.msg_type = 0xFFFF;
    r.msg_length = 0xFFFF;
    r.request_tag = 0x21222324;
    r.user_id = 0xEE;
    r.account_index = 0xEE;
    r.symbol_index = 0xEEEE;
    r.exchange_id = 102;
    r.opt_4 = 0x04;
    r.opt_6 = 0x06;
    r.opt_8 = 0x09;
    r.opt_7 = 0x17;
    r.side = 5;
    r.opt_5 = 0x25;
    r.opt_1 = 0x21;
    r.client_token = 1000005;
    r.quantity = 3000;
    r.opt_2 = 0x0F0E0D0C;
    r.price = 99.99;
    r.second_price = 0.5;
    r.opt_9 = 0x39;
    std::memset(r.reserved, 0xAB, sizeof(r.reserved));
    r.opt_3 = 0x4D4E4F50;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &r, "ACC-W", "SYM-W"), 0);
    const std::string head = "1400"        // type 20 (written)
                             "3800"        // length 56 (written)
                             "24232221"    // request tag
                             "2a"          // user id, low byte (written)
                             "07"          // index of account "ACC-W" (written)
                             "2301"        // index 0x0123 of symbol "SYM-W" (written)
                             "66"          // exchange 102
                             "04"          // opt_4
                             "02"          // opt_4 set, the caller's byte set: 2
                             "01"          // opt_8 9 is outside 1..6: 1
                             "17"          // opt_7
                             "15"          // side 5 on exchange 102: 21
                             "25"          // opt_5
                             "21";         // opt_1
    const std::string tail = "b80b0000"    // quantity 3000
                             "0c0d0e0f";   // opt_2
    const std::string rest = "39"          // opt_9
                             "ababab"      // the caller's bytes, unchanged
                             "504f4e4d";   // opt_3
    const std::string golden = head + "45420f00"   // client token 1000005
                               + tail +
                               "dc410f0000000000"  // price 99.99 -> 999900
                               "8813000000000000"  // second price 0.5 -> 5000
                               + rest;
    EXPECT_EQ(s.sent_hex(20, 0), golden);
    EXPECT_EQ(hex_of(r), golden);  // the record is the message

    // Again, with only a new token: the images 999900 and 5000 read as
    // doubles are far below 0.00001, so both prices go out as 0.
    r.client_token = 1000006;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &r, "ACC-W", "SYM-W"), 0);
    EXPECT_EQ(s.sent_hex(20, 1), head + "46420f00"   // client token 1000006
                                     + tail +
                                     "0000000000000000"  // price: 0 now
                                     "0000000000000000"  // second price: 0 now
                                     + rest);

    // A negative image reads as NaN: the second call is refused, the record
    // stays, nothing is sent.
    HUX_EnterOrderSimpleField neg = zeroed<HUX_EnterOrderSimpleField>();
    neg.exchange_id = 101;
    neg.side = 3;
    neg.client_token = 1000007;
    neg.quantity = 1;
    neg.price = -1.5;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &neg, "ACC001", "IF2406"), 0);
    EXPECT_EQ(i64_at(s.sent(20, 2), 32), -15000);
    EXPECT_EQ(static_cast<uint8_t>(s.sent(20, 2).at(17)), 3);  // side 3 on exchange 101: as it is
    neg.client_token = 1000008;
    const std::string before = hex_of(neg);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &neg, "ACC001", "IF2406"), HUX_RESULT_BAD_PRICE);
    EXPECT_EQ(hex_of(neg), before);

    ASSERT_EQ(MVHUX_QueryMarketSession(s.h), 0);  // arrives after anything sent before it
    s.sent(84);
    EXPECT_EQ(s.srv.count(0, 20), 3u);  // the refused call sent nothing
}

// The simple quote likewise: its byte 15 and byte 17 are the caller's (no
// opt_8 rule, no side mapping, even on a mapped exchange).
TEST(CApiWire, SimpleQuoteRewrittenInPlace) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterQuoteSimpleField r = zeroed<HUX_EnterQuoteSimpleField>();
    r.msg_type = 0x1234;
    r.msg_length = 0x5678;
    r.request_tag = 0x31323334;
    r.exchange_id = 102;
    r.opt_6 = 0x16;
    r.opt_7 = 0;
    r.opt_5 = 0x09;
    r.quantity_1 = 0x602;
    r.quantity_2 = 0x703;
    r.price_1 = -12.3456;
    r.price_2 = 3.0;
    r.opt_2 = 0x42;
    r.opt_4 = 0x44;
    r.opt_1 = 0x41;
    r.opt_3 = 0x43;
    r.client_token = 1000007;
    r.opt_8 = 0x58595A5B;
    std::memset(r.reserved, 0xCD, sizeof(r.reserved));
    ASSERT_EQ(MVHUX_EnterSimpleQuote(s.h, &r, "ACC001", "IF2406"), 0);
    const std::string golden = "1600"              // type 22 (written)
                               "3800"              // length 56 (written)
                               "34333231"          // request tag
                               "2a"                // user id, low byte (written)
                               "01"                // index of account "ACC001" (written)
                               "0300"              // index 3 of symbol "IF2406" (written)
                               "66"                // exchange 102
                               "16"                // opt_6
                               "01"                // opt_6 set, the caller's byte zero: 1
                               "09"                // the caller's byte 15, as it is
                               "02060000"          // quantity 1 (its byte 17, 6, not side-mapped)
                               "03070000"          // quantity 2
                               "c01dfeffffffffff"  // price 1 -12.3456 -> -123456
                               "3075000000000000"  // price 2 3.0 -> 30000
                               "42"                // opt_2
                               "44"                // opt_4
                               "41"                // opt_1
                               "43"                // opt_3
                               "47420f00"          // client token 1000007
                               "5b5a5958"          // opt_8
                               "cdcdcdcd";         // the caller's bytes, unchanged
    EXPECT_EQ(s.sent_hex(22), golden);
    EXPECT_EQ(hex_of(r), golden);
}

// The four queries, and the user id they carry: the logon answer's, until
// SetUserId replaces it for every later request.
TEST(CApiWire, QueriesAndTheUserId) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    ASSERT_EQ(MVHUX_QueryMarketSession(s.h), 0);
    EXPECT_EQ(s.sent_hex(84), "5400"        // type 84
                              "1000"        // length 16
                              + z(4) +      // bytes 4-7
                              "2a3b4c5d"    // user id
                              + z(4));      // bytes 12-15
    ASSERT_EQ(MVHUX_QuerySymbolStatus(s.h), 0);
    EXPECT_EQ(s.sent_hex(87), "5700"        // type 87
                              "1000"        // length 16
                              + z(4) +      // bytes 4-7
                              "2a3b4c5d"    // user id
                              + z(4));      // bytes 12-15
    ASSERT_EQ(MVHUX_QuerySessionID(s.h, "SESSION-ID-LONGER-THAN-16", 104), 0);
    EXPECT_EQ(s.sent_hex(94, 0), "5e00"                          // type 94
                                 "2000"                          // length 32
                                 + z(4) +                        // bytes 4-7
                                 "2a3b4c5d"                      // user id
                                 + text_hex("SESSION-ID-LONGE", 17) +  // first 16 characters and a zero
                                 "68"                            // market 104
                                 + z(2));                        // bytes 30-31
    ASSERT_EQ(MVHUX_QuerySessionID(s.h, "S1", 0), 0);
    EXPECT_EQ(s.sent_hex(94, 1), "5e00"              // type 94
                                 "2000"              // length 32
                                 + z(4) +            // bytes 4-7
                                 "2a3b4c5d"          // user id
                                 + text_hex("S1", 17) +  // session text, zero-filled
                                 "00"                // market 0
                                 + z(2));            // bytes 30-31
    ASSERT_EQ(MVHUX_QueryOtAccountBP(s.h, "ACCOUNT-NAME-OF"), 0);
    EXPECT_EQ(s.sent_hex(81), "5100"                               // type 81
                              "1c00"                               // length 28
                              + z(4) +                             // bytes 4-7
                              "2a3b4c5d"                           // user id
                              + text_hex("ACCOUNT-NAME-OF", 16));      // all 15 characters and a zero
    // 16 and 10,000 characters do not fit: cut, they would name another
    // account. Refused, nothing sent (counted after the next query).
    EXPECT_EQ(MVHUX_QueryOtAccountBP(s.h, "ACCOUNT-NAME-OF-"), HUX_RESULT_TEXT_TOO_LONG);
    EXPECT_EQ(MVHUX_QueryOtAccountBP(s.h, std::string(10000, 'A').c_str()), HUX_RESULT_TEXT_TOO_LONG);

    MVHUX_SetUserId(s.h, 0x01020304);
    ASSERT_EQ(MVHUX_QueryMarketSession(s.h), 0);  // arrives after anything sent before it
    EXPECT_EQ(s.sent(84, 1).substr(8, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(s.srv.count(0, 81), 1u);  // the refused accounts sent nothing
    HUX_EnterOrderField o = plain_order(1000);
    ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    EXPECT_EQ(static_cast<uint8_t>(s.sent(10).at(8)), 0x04);  // the low byte
    HUX_CancelOrder c = zeroed<HUX_CancelOrder>();
    c.cancel_mode = 1;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &c), 0);
    EXPECT_EQ(s.sent(11).substr(8, 4), std::string("\x04\x03\x02\x01", 4));   // user id
    EXPECT_EQ(s.sent(11).substr(20, 4), std::string("\x04\x03\x02\x01", 4));  // owner user id 0: the session's
}

// The simulated trade server answering the order-entry requests: new orders
// (accept, reject, partial and full fills), quotes, cancels, quote actions,
// combination and special orders, special-order cancels and the two simple
// forms. Driven by a plain POSIX socket with requests written by hand and
// checked against golden hex; the client's side of the same messages is
// checked against its own golden images elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using namespace hux_test::net;

namespace {

const std::chrono::milliseconds deadline = hux_test::test_wait();

// A text field of `width` bytes: the text, then zeros.
std::string field(const std::string& text, size_t width) { return text + zeros(width - text.size()); }

const char* const kTen = "0a000000";         // quantity 10
const char* const kAccepted = "00000000";    // verdict 0
const char* const kRejected = "4d000000";    // verdict 77, the configured reject code

// A new order, 100 bytes (client token 1000).
std::string new_order(const std::string& quantity_hex = kTen) {
    return unhex("0a00")                   // type 10
           + unhex("6400")                 // length 100
           + unhex("44332211")             // request tag 0x11223344
           + unhex("e9")                   // user id 1001, low byte
           + zeros(3)                      // bytes 9-11
           + unhex("65")                   // exchange id 101
           + unhex("01")                   // opt_4 1
           + unhex("02")                   // 2: opt_4 and opt_6 set
           + unhex("03")                   // opt_8 3
           + unhex("04")                   // opt_7 4
           + unhex("01")                   // side 1
           + unhex("05")                   // opt_5 5
           + unhex("06")                   // opt_1 6
           + unhex("e8030000")             // client token 1000
           + unhex(quantity_hex)           // quantity
           + unhex("04030201")             // opt_2 0x01020304
           + unhex("40e2010000000000")     // price 12.3456 as 123456
           + unhex("68c5ffffffffffff")     // second price -1.5 as -15000
           + unhex("07")                   // opt_9 7
           + zeros(3)                      // bytes 49-51
           + unhex("0d0c0b0a")             // opt_3 0x0a0b0c0d
           + zeros(4)                      // bytes 56-59
           + field("ACC1", 16)             // account
           + field("IF2409", 20)           // symbol
           + zeros(4);                     // bytes 96-99
}

// The simple form of a request: its first 56 bytes with the simple type,
// length 56, the account index at 9 and the symbol index at 10.
std::string simple_form(const std::string& request, const std::string& type_hex, uint8_t account_index,
                        uint16_t symbol_index) {
    std::string m = request.substr(0, 56);
    m.replace(0, 4, unhex(type_hex) + unhex("3800"));  // type, length 56
    m[9] = static_cast<char>(account_index);
    m[10] = static_cast<char>(symbol_index & 0xff);
    m[11] = static_cast<char>(symbol_index >> 8);
    return m;
}

// The order in its simple form (type 20).
std::string simple_order(uint8_t account_index, uint16_t symbol_index) {
    return simple_form(new_order(), "1400", account_index, symbol_index);
}

// The 1010 answer to new_order() or simple_order() naming these account and symbol.
std::string order_answer(const std::string& account, const std::string& symbol, const std::string& quantity_hex,
                         const std::string& result_hex, const std::string& order_no_hex) {
    return unhex("f203")                   // type 1010
           + unhex("7800")                 // length 120
           + unhex("44332211")             // request tag, echoed
           + unhex("e9")                   // user id low byte, echoed
           + zeros(4)                      // byte 9, two-byte field at 10, byte 12
           + unhex("01")                   // opt_4, echoed
           + zeros(3)                      // bytes 14-16
           + unhex("01")                   // side, echoed
           + unhex("05")                   // opt_5, echoed
           + unhex("06")                   // opt_1, echoed
           + unhex("e8030000")             // client token, echoed
           + unhex(quantity_hex)           // quantity, echoed
           + unhex("04030201")             // opt_2, echoed
           + unhex("40e2010000000000")     // price 123456, echoed
           + zeros(12)                     // bytes 40-51
           + unhex("0d0c0b0a")             // opt_3, echoed
           + zeros(4)                      // server order field at 56
           + field(account, 16)            // account
           + field(symbol, 20)             // symbol
           + zeros(4)                      // bytes 96-99
           + unhex(result_hex)             // verdict at 100
           + unhex(order_no_hex)           // order number at 104
           + zeros(8);                     // risk mask at 112, bytes 116-119
}

std::string accepted_order(const std::string& order_no_hex) {
    return order_answer("ACC1", "IF2409", kTen, kAccepted, order_no_hex);
}

// A 1014 fill of new_order() with the quantity and order number as hex.
std::string execution(const std::string& quantity_hex, const std::string& order_no_hex) {
    return unhex("f603")                   // type 1014
           + unhex("8800")                 // length 136
           + zeros(28)                     // bytes 4-31
           + unhex(order_no_hex)           // order number at 32
           + zeros(34)                     // bytes 40-73
           + unhex(quantity_hex)           // filled quantity at 74
           + unhex("40e2010000000000")     // fill price 123456: the order's
           + zeros(26)                     // bytes 86-111
           + field("IF2409", 20)           // symbol, the order's
           + zeros(4);                     // bytes 132-135
}

// A new quote, 196 bytes.
std::string new_quote() {
    return unhex("0c00")                   // type 12
           + unhex("c400")                 // length 196
           + unhex("24232221")             // request tag 0x21222324
           + unhex("e9")                   // user id 1001, low byte
           + zeros(3)                      // bytes 9-11
           + unhex("66")                   // exchange id 102
           + unhex("01")                   // opt_6 1
           + unhex("01")                   // 1: opt_6 set, opt_7 not
           + unhex("05")                   // opt_5 5
           + unhex("0a000000")             // quantity_1 10
           + unhex("14000000")             // quantity_2 20
           + unhex("40e2010000000000")     // price_1 12.3456 as 123456
           + unhex("68c5ffffffffffff")     // price_2 -1.5 as -15000
           + unhex("02")                   // opt_2 2
           + unhex("04")                   // opt_4 4
           + unhex("01")                   // opt_1 1
           + unhex("03")                   // opt_3 3
           + unhex("e9030000")             // client token 1001
           + unhex("0d0c0b0a")             // opt_8 0x0a0b0c0d
           + zeros(4)                      // bytes 52-55
           + field("ACC1", 16)             // account
           + field("IF2409", 20)           // symbol
           + field("QT1", 24)              // quote_text_1
           + zeros(12)                     // bytes 116-127
           + field("QUOTE-TWO", 24)        // quote_text_2, 128-151
           + zeros(44);                    // bytes 152-195
}

// The quote in its simple form (type 22): account 1 and symbol 2 by index.
std::string simple_quote() { return simple_form(new_quote(), "1600", 1, 2); }

// The 1018 answer to new_quote(): the verdict fields and texts as given.
std::string quote_answer(const std::string& text_1, const std::string& text_2_field, const std::string& mask_132_hex,
                         const std::string& result_196_hex) {
    return unhex("fa03")                   // type 1018
           + unhex("d800")                 // length 216
           + unhex("24232221")             // request tag, echoed
           + unhex("e9")                   // user id low byte, echoed
           + zeros(3)                      // byte 9, two-byte field at 10
           + unhex("66")                   // exchange id, echoed
           + unhex("01")                   // opt_6, echoed
           + zeros(1)                      // byte 14
           + unhex("05")                   // opt_5, echoed
           + unhex("0a000000")             // quantity_1, echoed
           + unhex("14000000")             // quantity_2, echoed
           + unhex("40e2010000000000")     // price_1, echoed
           + unhex("68c5ffffffffffff")     // price_2, echoed
           + unhex("02040103")             // opt_2, opt_4, opt_1, opt_3, echoed
           + unhex("e9030000")             // client token, echoed
           + unhex("0d0c0b0a")             // opt_8, echoed
           + zeros(4)                      // byte 52 and 53-55
           + field("ACC1", 16)             // account, echoed
           + field("IF2409", 20)           // symbol, echoed
           + field(text_1, 24)             // quote_text_1, echoed
           + zeros(12)                     // 116, 120, 124
           + text_2_field.substr(0, 4)     // 128-131: quote_text_2
           + unhex(mask_132_hex)           // 132: qv27 order-check mask (else quote_text_2)
           + text_2_field.substr(8, 16)    // 136-151: eight-byte value (qv27) and 144 risk mask, else text
           + zeros(44)                     // bytes 152-195
           + unhex(result_196_hex)         // 196: reason value (ordinary server)
           + zeros(8)                      // eight-byte value at 200
           + zeros(8);                     // bytes 208-215
}

// A 44-byte cancel of `type` (11, 13 or 31) with the given addressing.
std::string cancel(const std::string& type_hex, const std::string& market_token_hex,
                   const std::string& owner_user_hex, const std::string& owner_token_hex, const std::string& byte_29_hex,
                   const std::string& byte_30_hex, const std::string& byte_31_hex) {
    return unhex(type_hex)                 // type
           + unhex("2c00")                 // length 44
           + unhex("04030201")             // request tag 0x01020304
           + unhex("e9030000")             // user id 1001
           + unhex("f2030000")             // client token 1010
           + unhex(market_token_hex)       // market token
           + unhex(owner_user_hex)         // owner user id
           + unhex(owner_token_hex)        // owner token
           + unhex("01")                   // opt_1 1
           + unhex(byte_29_hex)            // 0 / 1 / 2 by opt_1 and opt_2
           + unhex(byte_30_hex)            // opt_3 (special-order cancel: cancel mode)
           + unhex(byte_31_hex)            // cancel mode (zero for the special-order cancel)
           + zeros(12);                    // bytes 32-43
}

// The answer to cancel(...): bytes 4 to 31 echoed, then verdict and order number.
std::string cancel_answer(const std::string& type_hex, const std::string& length_hex, const std::string& request,
                          const std::string& result_hex, const std::string& order_no_hex, size_t tail) {
    return unhex(type_hex)                 // answer type
           + unhex(length_hex)             // its length
           + request.substr(4, 28)         // bytes 4-31 of the request, echoed
           + zeros(12)                     // bytes 32-43
           + unhex(result_hex)             // verdict at 44
           + unhex(order_no_hex)           // order number at 48
           + zeros(tail);                  // the rest
}

// Cancels by owner token 1000 (mode 1): an order cancel, then the same
// addressing as a special-order cancel (its mode at 30).
std::string owner_cancel() { return cancel("0b00", "00000000", "e9030000", "e8030000", "01", "00", "01"); }

sim_config mode(order_mode m, uint32_t parts = 1) {
    sim_config cfg;
    cfg.order_answer = m;
    cfg.order_fill_parts = parts;
    cfg.order_reject_code = 77;
    cfg.accounts = {{"ACC0", 0}, {"ACC1", 1}};
    cfg.symbols = {{"IF2408", 1}, {"IF2409", 2}};
    return cfg;
}

// Sends an order and returns the fills' quantities after checking the
// accept; the stream must then hold nothing but the heart-beat answer.
std::vector<uint32_t> fills_of(const plain_client& c, const std::string& quantity_hex, size_t expected_fills) {
    std::vector<uint32_t> out;
    EXPECT_TRUE(c.send(new_order(quantity_hex) + heart_beat()));
    const std::string accept = c.read(120);
    EXPECT_EQ(accept.size(), 120u);
    if (accept.size() != 120u) return out;
    EXPECT_EQ(u32_at(accept, 100), 0u);  // accepted
    const int64_t order_no = i64_at(accept, 104);
    EXPECT_GT(order_no, 0);
    for (size_t i = 0; i < expected_fills; ++i) {
        const std::string fill = c.read(136);
        EXPECT_EQ(fill.size(), 136u);
        if (fill.size() != 136u) return out;
        EXPECT_EQ(u32_at(fill, 0) & 0xffff, 1014u);
        EXPECT_EQ(i64_at(fill, 32), order_no);  // the accepted order
        EXPECT_EQ(i64_at(fill, 78), 123456);    // its price
        EXPECT_EQ(fill.substr(112, 20), field("IF2409", 20));
        out.push_back(u32_at(fill, 74));
    }
    EXPECT_EQ(c.read(16), heart_beat_answer());
    return out;
}

}  // namespace

TEST(SimRequestAnswers, OrdersAreAnsweredByTheModeOfTheirConnectionAndRecorded) {
    ASSERT_EQ(new_order().size(), 100u);
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(mode(order_mode::accept)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));
    ASSERT_TRUE(sim.set_connection_config(2, mode(order_mode::none)));
    sim_config labelled = mode(order_mode::partial);
    labelled.length_field = 9;
    ASSERT_TRUE(sim.set_connection_config(3, labelled));

    // Accepts: the first order gets number 1, the next 2, and no fills.
    plain_client c0(sim.port());
    ASSERT_TRUE(c0.send(new_order()));
    EXPECT_EQ(c0.read(120), accepted_order("0100000000000000"));
    ASSERT_TRUE(c0.send(new_order() + heart_beat()));
    EXPECT_EQ(c0.read(120), accepted_order("0200000000000000"));
    EXPECT_EQ(c0.read(16), heart_beat_answer());
    ASSERT_TRUE(sim.wait_for_message(0, 10, 2, deadline));
    EXPECT_EQ(sim.last_message(0, 10), new_order());

    // Rejects carry the connection's code and no order number.
    plain_client c1(sim.port());
    ASSERT_TRUE(c1.send(new_order() + heart_beat()));
    EXPECT_EQ(c1.read(120), order_answer("ACC1", "IF2409", kTen, kRejected, "0000000000000000"));
    EXPECT_EQ(c1.read(16), heart_beat_answer());

    // Mode none answers no order-entry request of any kind, and records each.
    const std::string quote_action = cancel("0d00", "07000000", "00000000", "00000000", "00", "00", "00");
    plain_client c2(sim.port());
    ASSERT_TRUE(c2.send(new_quote() + simple_quote() + new_order() + simple_order(1, 2) +
                        cancel("0b00", "07000000", "00000000", "00000000", "00", "00", "00") + quote_action +
                        cancel("1f00", "07000000", "00000000", "00000000", "00", "00", "00") + heart_beat()));
    EXPECT_EQ(c2.read(16), heart_beat_answer());
    for (uint16_t type : {12, 22, 10, 20, 11, 13, 31}) EXPECT_EQ(sim.count(2, type), 1u) << type;

    // A wrong length field from the configuration goes into every answer;
    // partial answers the requests that are not orders as plain accepts.
    plain_client c3(sim.port());
    ASSERT_TRUE(c3.send(new_order() + new_quote() + quote_action + heart_beat()));
    EXPECT_EQ(c3.read(120).substr(0, 4), unhex("f203 0900"));  // type 1010, length field 9
    EXPECT_EQ(c3.read(136).substr(0, 4), unhex("f603 0900"));  // its fill, 1014
    const std::string q = c3.read(216);
    ASSERT_EQ(q.size(), 216u);
    EXPECT_EQ(q.substr(0, 4), unhex("fa03 0900"));             // 1018
    EXPECT_EQ(u32_at(q, 196), 0u);
    EXPECT_EQ(c3.read(64).substr(0, 4), unhex("fb03 0900"));   // 1019
    EXPECT_EQ(c3.read(16), unhex("b004 0900") + zeros(12));
}

TEST(SimRequestAnswers, FillsAddUpToTheQuantityOrFallShort) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::fill, 3)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::partial, 3)));

    // Full fill of 10 in three parts: 4, 3, 3, each checked byte for byte.
    plain_client full(sim.port());
    ASSERT_TRUE(full.send(new_order()));
    EXPECT_EQ(full.read(120), accepted_order("0100000000000000"));
    EXPECT_EQ(full.read(136), execution("04000000", "0100000000000000"));
    EXPECT_EQ(full.read(136), execution("03000000", "0100000000000000"));
    EXPECT_EQ(full.read(136), execution("03000000", "0100000000000000"));

    // Fewer lots than parts: one fill per lot; no fills of 0; none for 0.
    EXPECT_EQ(fills_of(full, "02000000", 2), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(fills_of(full, "00000000", 0), std::vector<uint32_t>());
    // A quantity above the int32 range comes back whole, not cut.
    EXPECT_EQ(fills_of(full, "00286bee", 3), (std::vector<uint32_t>{1333333334, 1333333333, 1333333333}));

    // Partial: the fills leave the order one lot short.
    plain_client part(sim.port());
    EXPECT_EQ(fills_of(part, "0a000000", 3), (std::vector<uint32_t>{3, 3, 3}));
    EXPECT_EQ(fills_of(part, "02000000", 1), std::vector<uint32_t>{1});
    EXPECT_EQ(fills_of(part, "01000000", 0), std::vector<uint32_t>());
    EXPECT_EQ(fills_of(part, "00000000", 0), std::vector<uint32_t>());
    EXPECT_EQ(sim.count(1, 10), 4u);

    // The fills carry the order's price as the wire integer, negative too.
    ASSERT_TRUE(sim.set_connection_config(2, mode(order_mode::fill, 1)));
    plain_client neg(sim.port());
    std::string order = new_order("05000000");
    order.replace(32, 8, unhex("fbffffffffffffff"));  // price -0.0005 as -5
    ASSERT_TRUE(neg.send(order));
    EXPECT_EQ(i64_at(neg.read(120), 32), -5);
    const std::string fill = neg.read(136);
    EXPECT_EQ(i64_at(fill, 78), -5);
    EXPECT_EQ(u32_at(fill, 74), 5u);
}

TEST(SimRequestAnswers, SimpleOrdersAreAnsweredLikeOrdersWithTheirNames) {
    ASSERT_EQ(simple_order(1, 2).size(), 56u);
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::fill, 2)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));

    // Numbered by the same counter as the full order, named from the tables,
    // then filled 5 + 5 with the looked-up symbol.
    plain_client c(sim.port());
    ASSERT_TRUE(c.send(new_order()));
    EXPECT_EQ(c.read(120), accepted_order("0100000000000000"));
    EXPECT_EQ(c.read(272).size(), 272u);  // its two fills
    ASSERT_TRUE(c.send(simple_order(1, 2)));
    EXPECT_EQ(c.read(120), accepted_order("0200000000000000"));
    EXPECT_EQ(c.read(136), execution("05000000", "0200000000000000"));
    EXPECT_EQ(c.read(136), execution("05000000", "0200000000000000"));
    // The other table entries, and indexes in no table.
    ASSERT_TRUE(c.send(simple_order(0, 1)));
    EXPECT_EQ(c.read(120), order_answer("ACC0", "IF2408", kTen, kAccepted, "0300000000000000"));
    EXPECT_EQ(c.read(272).size(), 272u);
    ASSERT_TRUE(c.send(simple_order(7, 7)));
    EXPECT_EQ(c.read(120), order_answer("", "", kTen, kAccepted, "0400000000000000"));
    EXPECT_EQ(c.read(272).size(), 272u);
    // A cancel by owner token finds the simple order's number too.
    ASSERT_TRUE(c.send(owner_cancel()));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", owner_cancel(), kAccepted, "0400000000000000", 8));

    // Rejected: the code at 100, no number, no fills.
    plain_client r(sim.port());
    ASSERT_TRUE(r.send(simple_order(1, 2) + heart_beat()));
    EXPECT_EQ(r.read(120), order_answer("ACC1", "IF2409", kTen, kRejected, "0000000000000000"));
    EXPECT_EQ(r.read(16), heart_beat_answer());
}

TEST(SimRequestAnswers, QuotesAreEchoedAndQv27KeepsItsMasksClear) {
    ASSERT_EQ(new_quote().size(), 196u);
    ASSERT_EQ(simple_quote().size(), 56u);
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::accept)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));
    sim_config qv27 = mode(order_mode::accept);
    qv27.server_edition = 6;
    ASSERT_TRUE(sim.set_connection_config(2, qv27));
    qv27.order_answer = order_mode::reject;
    ASSERT_TRUE(sim.set_connection_config(3, qv27));
    const std::string text_2 = field("QUOTE-TWO", 24);

    // Ordinary server, accept: every field back at its offset, 0 at 196; the
    // simple form names the same account and symbol by index.
    plain_client c0(sim.port());
    ASSERT_TRUE(c0.send(new_quote() + simple_quote() + heart_beat()));
    EXPECT_EQ(c0.read(216), quote_answer("QT1", text_2, "452d5457", kAccepted));  // 132: "E-TW" of the text
    EXPECT_EQ(c0.read(216), quote_answer("", zeros(24), "00000000", kAccepted));
    EXPECT_EQ(c0.read(16), heart_beat_answer());

    // Ordinary server, reject: the code at 196.
    plain_client c1(sim.port());
    ASSERT_TRUE(c1.send(new_quote()));
    EXPECT_EQ(c1.read(216), quote_answer("QT1", text_2, "452d5457", kRejected));

    // qv27 server: the second text is not echoed (its bytes at 132 and 144
    // would be failed-check masks); a reject carries its code at 132.
    plain_client c2(sim.port());
    ASSERT_TRUE(c2.send(new_quote()));
    EXPECT_EQ(c2.read(216), quote_answer("QT1", zeros(24), "00000000", kAccepted));
    plain_client c3(sim.port());
    ASSERT_TRUE(c3.send(new_quote()));
    EXPECT_EQ(c3.read(216), quote_answer("QT1", zeros(24), kRejected, kAccepted));

    // A simple quote whose indexes are in no table gets empty names.
    std::string unknown = simple_quote();
    unknown[9] = 9;   // account index 9
    unknown[10] = 9;  // symbol index 9
    ASSERT_TRUE(c0.send(unknown));
    const std::string blank = c0.read(216);
    ASSERT_EQ(blank.size(), 216u);
    EXPECT_EQ(blank.substr(56, 36), zeros(36));
    EXPECT_EQ(u32_at(blank, 44), 1001u);  // the rest is echoed still
}

TEST(SimRequestAnswers, CancelsEchoTheirAddressAndNameTheOrderConcerned) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::accept)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));
    plain_client c(sim.port());

    // By market token: the token is the low 32 bits of the order number,
    // widened without a sign.
    const std::string by_market = cancel("0b00", "07000000", "00000000", "00000000", "02", "03", "00");
    ASSERT_EQ(by_market.size(), 44u);
    ASSERT_TRUE(c.send(by_market));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", by_market, kAccepted, "0700000000000000", 8));
    const std::string high = cancel("0b00", "feffffff", "00000000", "00000000", "02", "03", "00");
    ASSERT_TRUE(c.send(high));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", high, kAccepted, "feffffff00000000", 8));

    // By owner token (mode 1): the number the server gave that order here;
    // 0 for a token it never accepted.
    ASSERT_TRUE(c.send(new_order()));
    EXPECT_EQ(c.read(120), accepted_order("0100000000000000"));
    ASSERT_TRUE(c.send(owner_cancel()));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", owner_cancel(), kAccepted, "0100000000000000", 8));
    const std::string stranger = cancel("0b00", "00000000", "e9030000", "e7030000", "01", "00", "01");
    ASSERT_TRUE(c.send(stranger));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", stranger, kAccepted, "0000000000000000", 8));

    // Quote action: 1019, byte 29 echoed (2 is the flag the client reads).
    const std::string action = cancel("0d00", "05000000", "00000000", "00000000", "02", "03", "02");
    ASSERT_TRUE(c.send(action));
    EXPECT_EQ(c.read(64), cancel_answer("fb03", "4000", action, kAccepted, "0500000000000000", 8));

    // Special-order cancel: 1031 of 65 bytes, its cancel mode at 30; in mode
    // 1 it names no order, neither by the market token nor by an order
    // accepted with that token.
    const std::string special = cancel("1f00", "06000000", "00000000", "00000000", "00", "00", "00");
    ASSERT_TRUE(c.send(special));
    EXPECT_EQ(c.read(65), cancel_answer("0704", "4100", special, kAccepted, "0600000000000000", 9));
    const std::string special_owner = cancel("1f00", "06000000", "e9030000", "e8030000", "00", "01", "00");
    ASSERT_TRUE(c.send(special_owner + heart_beat()));
    EXPECT_EQ(c.read(65), cancel_answer("0704", "4100", special_owner, kAccepted, "0000000000000000", 9));
    EXPECT_EQ(c.read(16), heart_beat_answer());

    // Reject mode: the code at 44 of each, the order number still given.
    plain_client r(sim.port());
    ASSERT_TRUE(r.send(by_market + action + special));
    EXPECT_EQ(r.read(64), cancel_answer("f303", "4000", by_market, kRejected, "0700000000000000", 8));
    EXPECT_EQ(r.read(64), cancel_answer("fb03", "4000", action, kRejected, "0500000000000000", 8));
    EXPECT_EQ(r.read(65), cancel_answer("0704", "4100", special, kRejected, "0600000000000000", 9));
    ASSERT_TRUE(sim.wait_for_message(1, 31, 1, deadline));
    EXPECT_EQ(sim.last_message(1, 31), special);
}

TEST(SimRequestAnswers, CombinationAndSpecialOrdersAreEchoed) {
    const std::string combo = unhex("0e00")                 // type 14
                              + unhex("9000")               // length 144
                              + unhex("44332211")           // request tag
                              + unhex("e9")                 // user id low byte
                              + unhex("65")                 // exchange id 101
                              + unhex("01")                 // opt_2
                              + unhex("02")                 // byte after opt_2
                              + unhex("05")                 // opt_5
                              + unhex("03")                 // opt_3
                              + unhex("e9030000")           // client token 1001
                              + unhex("04030201")           // opt_1
                              + zeros(4)                    // bytes 22-25
                              + field("ACC1", 16)           // account
                              + field("LEG-A|LEG-B", 80)    // legs
                              + zeros(22);                  // bytes 122-143
    ASSERT_EQ(combo.size(), 144u);
    auto combo_answer = [](const std::string& result_hex) {
        return unhex("0104")                  // type 1025
               + unhex("a000")                // length 160
               + unhex("44332211")            // request tag, echoed
               + unhex("e9")                  // user id low byte, echoed
               + unhex("65")                  // exchange id, echoed
               + unhex("01")                  // opt_2, echoed
               + zeros(1)                     // byte 11
               + unhex("05")                  // opt_5, echoed
               + unhex("03")                  // opt_3, echoed
               + unhex("e9030000")            // client token, echoed
               + unhex("04030201")            // opt_1, echoed
               + zeros(4)                     // field at 22
               + field("ACC1", 16)            // account, echoed
               + field("LEG-A|LEG-B", 80)     // legs, echoed
               + zeros(22)                    // byte 122 and 123-143
               + unhex(result_hex)            // verdict at 144
               + zeros(12);                   // eight-byte value at 148, 156-159
    };
    const std::string special = unhex("1e00")       // type 30
                                + unhex("4800")     // length 72
                                + unhex("44332211")  // request tag
                                + unhex("e9")        // user id low byte
                                + unhex("65")        // exchange id 101
                                + unhex("01")        // opt_4
                                + unhex("01")        // byte after opt_4
                                + unhex("0d0c0b0a")  // opt_2
                                + unhex("06")        // opt_1
                                + unhex("05")        // opt_5
                                + unhex("07")        // opt_7
                                + unhex("08")        // opt_8
                                + unhex("ea030000")  // client token 1002
                                + zeros(4)           // bytes 24-27
                                + field("ACC1", 16)  // account
                                + field("IF2409", 20)  // symbol
                                + zeros(4)           // bytes 64-67
                                + unhex("44332211"); // opt_3
    ASSERT_EQ(special.size(), 72u);
    auto special_answer = [](const std::string& result_hex) {
        return unhex("0604")                  // type 1030
               + unhex("5c00")                // length 92
               + unhex("44332211")            // request tag, echoed
               + unhex("e9")                  // user id low byte, echoed
               + zeros(1)                     // byte 9
               + unhex("01")                  // opt_4, echoed
               + zeros(1)                     // byte 11
               + unhex("0d0c0b0a")            // opt_2, echoed
               + unhex("06")                  // opt_1, echoed
               + unhex("05")                  // opt_5, echoed
               + zeros(1)                     // byte 18
               + unhex("08")                  // opt_8, echoed
               + unhex("ea030000")            // client token, echoed
               + zeros(4)                     // field at 24
               + field("ACC1", 16)            // account, echoed
               + field("IF2409", 20)          // symbol, echoed
               + zeros(4)                     // bytes 64-67
               + unhex("44332211")            // opt_3, echoed
               + unhex(result_hex)            // verdict at 72
               + zeros(16);                   // eight-byte value at 76, 84-91
    };

    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::fill)));  // fill answers these as accept
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));
    plain_client a(sim.port());
    ASSERT_TRUE(a.send(combo + special + heart_beat()));
    EXPECT_EQ(a.read(160), combo_answer(kAccepted));
    EXPECT_EQ(a.read(92), special_answer(kAccepted));
    EXPECT_EQ(a.read(16), heart_beat_answer());  // no fills for either

    plain_client r(sim.port());
    ASSERT_TRUE(r.send(combo + special));
    EXPECT_EQ(r.read(160), combo_answer(kRejected));
    EXPECT_EQ(r.read(92), special_answer(kRejected));
}

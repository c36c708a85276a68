// The simulated trade server answering the order-entry requests beyond the
// new order: quotes, cancels, quote actions, combination and special orders,
// special-order cancels and the two simple forms. Driven by a plain POSIX
// socket with hand-written requests and checked against golden hex; then by
// a real session through the C API, whose callbacks must see every answer
// with the request's fields (the server encodes with its own code, so this
// checks the two encodings against each other).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "tests/support/plain_socket.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using namespace std::chrono;

namespace {

const milliseconds deadline(5000);

std::string unhex(const std::string& hex) {
    std::string out;
    int hi = -1;
    for (char ch : hex) {
        int v = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'a' && ch <= 'f') ? ch - 'a' + 10 : -1;
        if (v < 0) continue;  // spaces
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<char>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

std::string zeros(size_t n) { return std::string(n, '\0'); }

// A text field of `width` bytes: the text, then zeros.
std::string field(const std::string& text, size_t width) { return text + zeros(width - text.size()); }

uint32_t u32_at(const std::string& m, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(m[off + i])) << (8 * i);
    return v;
}

int64_t i64_at(const std::string& m, size_t off) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(m[off + i])) << (8 * i);
    return static_cast<int64_t>(v);
}

// ---------------------------------------------------------------- quotes

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

// The same quote in its simple form, 56 bytes: account 1 and symbol 2 by index.
std::string simple_quote() {
    return unhex("1600")                   // type 22
           + unhex("3800")                 // length 56
           + unhex("24232221")             // request tag
           + unhex("e9")                   // user id low byte
           + unhex("01")                   // account index 1
           + unhex("0200")                 // symbol index 2
           + unhex("66")                   // exchange id 102
           + unhex("01")                   // opt_6
           + unhex("01")                   // byte after opt_6
           + unhex("05")                   // opt_5
           + unhex("0a000000")             // quantity_1 10
           + unhex("14000000")             // quantity_2 20
           + unhex("40e2010000000000")     // price_1 123456
           + unhex("68c5ffffffffffff")     // price_2 -15000
           + unhex("02040103")             // opt_2, opt_4, opt_1, opt_3
           + unhex("e9030000")             // client token 1001
           + unhex("0d0c0b0a")             // opt_8
           + zeros(4);                     // reserved 52-55
}

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

// ---------------------------------------------------------------- cancels

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

// ---------------------------------------------------------------- orders

// A new order, 100 bytes (client token 1000, quantity 10).
std::string new_order() {
    return unhex("0a00")                   // type 10
           + unhex("6400")                 // length 100
           + unhex("44332211")             // request tag 0x11223344
           + unhex("e9")                   // user id low byte
           + zeros(3)                      // bytes 9-11
           + unhex("65")                   // exchange id 101
           + unhex("01020304")             // opt_4, byte 14, opt_8, opt_7
           + unhex("01")                   // side 1
           + unhex("05")                   // opt_5
           + unhex("06")                   // opt_1
           + unhex("e8030000")             // client token 1000
           + unhex("0a000000")             // quantity 10
           + unhex("04030201")             // opt_2
           + unhex("40e2010000000000")     // price 123456
           + unhex("68c5ffffffffffff")     // second price -15000
           + unhex("07")                   // opt_9
           + zeros(3)                      // bytes 49-51
           + unhex("0d0c0b0a")             // opt_3
           + zeros(4)                      // bytes 56-59
           + field("ACC1", 16)             // account
           + field("IF2409", 20)           // symbol
           + zeros(4);                     // bytes 96-99
}

// The same order in its simple form, 56 bytes, with the given indexes.
std::string simple_order(const std::string& account_index_hex, const std::string& symbol_index_hex) {
    return unhex("1400")                   // type 20
           + unhex("3800")                 // length 56
           + unhex("44332211")             // request tag
           + unhex("e9")                   // user id low byte
           + unhex(account_index_hex)      // account index
           + unhex(symbol_index_hex)       // symbol index
           + unhex("65")                   // exchange id 101
           + unhex("01020304")             // opt_4, byte 14, opt_8, opt_7
           + unhex("01")                   // side 1
           + unhex("05")                   // opt_5
           + unhex("06")                   // opt_1
           + unhex("e8030000")             // client token 1000
           + unhex("0a000000")             // quantity 10
           + unhex("04030201")             // opt_2
           + unhex("40e2010000000000")     // price 123456
           + unhex("68c5ffffffffffff")     // second price -15000
           + unhex("07")                   // opt_9
           + zeros(3)                      // reserved 49-51
           + unhex("0d0c0b0a");            // opt_3
}

// The 1010 accept of new_order() or simple_order() with the given names.
std::string order_accept(const std::string& account, const std::string& symbol, const std::string& order_no_hex) {
    return unhex("f203")                   // type 1010
           + unhex("7800")                 // length 120
           + unhex("44332211")             // request tag, echoed
           + unhex("e9")                   // user id low byte, echoed
           + zeros(4)                      // byte 9, field at 10, byte 12
           + unhex("01")                   // opt_4, echoed
           + zeros(3)                      // bytes 14-16
           + unhex("01")                   // side, echoed
           + unhex("05")                   // opt_5, echoed
           + unhex("06")                   // opt_1, echoed
           + unhex("e8030000")             // client token, echoed
           + unhex("0a000000")             // quantity, echoed
           + unhex("04030201")             // opt_2, echoed
           + unhex("40e2010000000000")     // price, echoed
           + zeros(12)                     // bytes 40-51
           + unhex("0d0c0b0a")             // opt_3, echoed
           + zeros(4)                      // server order field at 56
           + field(account, 16)            // account
           + field(symbol, 20)             // symbol
           + zeros(4)                      // bytes 96-99
           + zeros(4)                      // result at 100: accepted
           + unhex(order_no_hex)           // order number at 104
           + zeros(8);                     // risk mask at 112, bytes 116-119
}

// A heart-beat, 16 bytes; its 1200 answer proves nothing else was written first.
std::string heart_beat() {
    return unhex("c800") + unhex("1000") + unhex("01000000") + unhex("e9030000") + zeros(4);
}

std::string heart_beat_answer() { return unhex("b004") + unhex("1000") + zeros(12); }

struct client {
    int fd = -1;
    explicit client(uint16_t port) : fd(hux_test::connect_to(port)) {}
    ~client() {
        if (fd >= 0) ::close(fd);
    }
    bool send(const std::string& bytes) const { return hux_test::send_all(fd, bytes); }
    std::string read(size_t n) const { return hux_test::read_exact(fd, n, deadline); }
};

sim_config mode(order_mode m) {
    sim_config cfg;
    cfg.order_answer = m;
    cfg.order_reject_code = 77;
    cfg.accounts = {{"ACC0", 0}, {"ACC1", 1}};
    cfg.symbols = {{"IF2408", 1}, {"IF2409", 2}};
    return cfg;
}

}  // namespace

TEST(SimRequestAnswers, QuotesAreEchoedAndQv27KeepsItsMasksClear) {
    ASSERT_EQ(new_quote().size(), 196u);
    ASSERT_EQ(simple_quote().size(), 56u);
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
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
    client c0(sim.port());
    ASSERT_GE(c0.fd, 0);
    ASSERT_TRUE(c0.send(new_quote() + simple_quote() + heart_beat()));
    EXPECT_EQ(c0.read(216), quote_answer("QT1", text_2, "452d5457", "00000000"));  // 132: "E-TW" of the text
    EXPECT_EQ(c0.read(216), quote_answer("", zeros(24), "00000000", "00000000"));
    EXPECT_EQ(c0.read(16), heart_beat_answer());

    // Ordinary server, reject: the code at 196.
    client c1(sim.port());
    ASSERT_GE(c1.fd, 0);
    ASSERT_TRUE(c1.send(new_quote()));
    EXPECT_EQ(c1.read(216), quote_answer("QT1", text_2, "452d5457", "4d000000"));

    // qv27 server: the second text is not echoed (its bytes at 132 and 144
    // would be failed-check masks); a reject carries its code at 132.
    client c2(sim.port());
    ASSERT_GE(c2.fd, 0);
    ASSERT_TRUE(c2.send(new_quote()));
    const std::string accept = c2.read(216);
    EXPECT_EQ(accept, quote_answer("QT1", zeros(24), "00000000", "00000000"));
    ASSERT_EQ(accept.size(), 216u);
    EXPECT_EQ(u32_at(accept, 132), 0u);
    EXPECT_EQ(u32_at(accept, 144), 0u);
    client c3(sim.port());
    ASSERT_GE(c3.fd, 0);
    ASSERT_TRUE(c3.send(new_quote()));
    EXPECT_EQ(c3.read(216), quote_answer("QT1", zeros(24), "4d000000", "00000000"));

    // A simple quote whose indexes are not in the tables gets empty names.
    std::string unknown = simple_quote();
    unknown[9] = 9;   // account index 9
    unknown[10] = 9;  // symbol index 9
    ASSERT_TRUE(c0.send(unknown));
    const std::string blank = c0.read(216);
    ASSERT_EQ(blank.size(), 216u);
    EXPECT_EQ(blank.substr(56, 16), zeros(16));
    EXPECT_EQ(blank.substr(72, 20), zeros(20));
    EXPECT_EQ(u32_at(blank, 44), 1001u);  // the rest is echoed still
}

TEST(SimRequestAnswers, CancelsEchoTheirAddressAndNameTheOrderConcerned) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::accept)));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));
    client c(sim.port());
    ASSERT_GE(c.fd, 0);

    // By market token: the token is the low 32 bits of the order number,
    // widened without a sign.
    const std::string by_market = cancel("0b00", "07000000", "00000000", "00000000", "02", "03", "00");
    ASSERT_EQ(by_market.size(), 44u);
    ASSERT_TRUE(c.send(by_market));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", by_market, "00000000", "0700000000000000", 8));
    const std::string high = cancel("0b00", "feffffff", "00000000", "00000000", "02", "03", "00");
    ASSERT_TRUE(c.send(high));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", high, "00000000", "feffffff00000000", 8));

    // By owner token (mode 1): the number the server gave that order here;
    // 0 for a token it never accepted.
    ASSERT_TRUE(c.send(new_order()));
    EXPECT_EQ(c.read(120), order_accept("ACC1", "IF2409", "0100000000000000"));
    const std::string by_owner = cancel("0b00", "00000000", "e9030000", "e8030000", "01", "00", "01");
    ASSERT_TRUE(c.send(by_owner));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", by_owner, "00000000", "0100000000000000", 8));
    const std::string stranger = cancel("0b00", "00000000", "e9030000", "e7030000", "01", "00", "01");
    ASSERT_TRUE(c.send(stranger));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", stranger, "00000000", "0000000000000000", 8));

    // Quote action: 1019, byte 29 echoed (2 is the flag the client reads).
    const std::string action = cancel("0d00", "05000000", "00000000", "00000000", "02", "03", "02");
    ASSERT_TRUE(c.send(action));
    EXPECT_EQ(c.read(64), cancel_answer("fb03", "4000", action, "00000000", "0500000000000000", 8));

    // Special-order cancel: 1031 of 65 bytes, its cancel mode at 30; in mode
    // 1 it names no order, neither by the market token nor by an order
    // accepted with that token.
    const std::string special = cancel("1f00", "06000000", "00000000", "00000000", "00", "00", "00");
    ASSERT_TRUE(c.send(special));
    EXPECT_EQ(c.read(65), cancel_answer("0704", "4100", special, "00000000", "0600000000000000", 9));
    const std::string special_owner = cancel("1f00", "06000000", "e9030000", "e8030000", "00", "01", "00");
    ASSERT_TRUE(c.send(special_owner + heart_beat()));
    EXPECT_EQ(c.read(65), cancel_answer("0704", "4100", special_owner, "00000000", "0000000000000000", 9));
    EXPECT_EQ(c.read(16), heart_beat_answer());

    // Reject mode: the code at 44 of each, the order number still given.
    client r(sim.port());
    ASSERT_GE(r.fd, 0);
    ASSERT_TRUE(r.send(by_market + action + special));
    EXPECT_EQ(r.read(64), cancel_answer("f303", "4000", by_market, "4d000000", "0700000000000000", 8));
    EXPECT_EQ(r.read(64), cancel_answer("fb03", "4000", action, "4d000000", "0500000000000000", 8));
    EXPECT_EQ(r.read(65), cancel_answer("0704", "4100", special, "4d000000", "0600000000000000", 9));
    ASSERT_TRUE(sim.wait_for_message(1, 31, 1, deadline));
    EXPECT_EQ(sim.last_message(1, 31), special);
}

TEST(SimRequestAnswers, CombinationAndSpecialOrdersAreEchoed) {
    const std::string combo = unhex("0e00")    // type 14
                              + unhex("9000")  // length 144
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
    const std::string special = unhex("1e00")   // type 30
                                + unhex("4800") // length 72
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
    client a(sim.port());
    ASSERT_GE(a.fd, 0);
    ASSERT_TRUE(a.send(combo + special + heart_beat()));
    EXPECT_EQ(a.read(160), combo_answer("00000000"));
    EXPECT_EQ(a.read(92), special_answer("00000000"));
    EXPECT_EQ(a.read(16), heart_beat_answer());  // no fills for either

    client r(sim.port());
    ASSERT_GE(r.fd, 0);
    ASSERT_TRUE(r.send(combo + special));
    EXPECT_EQ(r.read(160), combo_answer("4d000000"));
    EXPECT_EQ(r.read(92), special_answer("4d000000"));
}

TEST(SimRequestAnswers, SimpleOrdersAreAnsweredLikeOrdersWithTheirNames) {
    ASSERT_EQ(simple_order("01", "0200").size(), 56u);
    sim_trade_server sim;
    sim_config fill = mode(order_mode::fill);
    fill.order_fill_parts = 2;
    ASSERT_TRUE(sim.set_config(fill));
    ASSERT_TRUE(sim.set_connection_config(1, mode(order_mode::reject)));

    // Accepted with a number from the same counter as the full order, named
    // from the tables, then filled 5 + 5 with the looked-up symbol.
    client c(sim.port());
    ASSERT_GE(c.fd, 0);
    ASSERT_TRUE(c.send(new_order()));
    EXPECT_EQ(c.read(120), order_accept("ACC1", "IF2409", "0100000000000000"));
    EXPECT_EQ(c.read(136).size(), 136u);
    EXPECT_EQ(c.read(136).size(), 136u);
    ASSERT_TRUE(c.send(simple_order("01", "0200")));
    EXPECT_EQ(c.read(120), order_accept("ACC1", "IF2409", "0200000000000000"));
    for (int i = 0; i < 2; ++i) {
        const std::string fill_msg = c.read(136);
        ASSERT_EQ(fill_msg.size(), 136u);
        EXPECT_EQ(u32_at(fill_msg, 0) & 0xffff, 1014u);
        EXPECT_EQ(i64_at(fill_msg, 32), 2);  // the simple order's number
        EXPECT_EQ(u32_at(fill_msg, 74), 5u);
        EXPECT_EQ(fill_msg.substr(112, 20), field("IF2409", 20));
    }
    // The other table entries and unknown indexes.
    ASSERT_TRUE(c.send(simple_order("00", "0100")));
    EXPECT_EQ(c.read(120), order_accept("ACC0", "IF2408", "0300000000000000"));
    EXPECT_EQ(c.read(272).size(), 272u);  // its two fills
    ASSERT_TRUE(c.send(simple_order("07", "0700")));
    EXPECT_EQ(c.read(120), order_accept("", "", "0400000000000000"));
    EXPECT_EQ(c.read(272).size(), 272u);
    // A cancel by owner token finds the simple order's number too.
    std::string by_owner = cancel("0b00", "00000000", "e9030000", "e8030000", "01", "00", "01");
    ASSERT_TRUE(c.send(by_owner));
    EXPECT_EQ(c.read(64), cancel_answer("f303", "4000", by_owner, "00000000", "0400000000000000", 8));

    // Rejected: the code at 100, no number, no fills.
    client r(sim.port());
    ASSERT_GE(r.fd, 0);
    ASSERT_TRUE(r.send(simple_order("01", "0200") + heart_beat()));
    const std::string rej = r.read(120);
    ASSERT_EQ(rej.size(), 120u);
    EXPECT_EQ(u32_at(rej, 100), 77u);
    EXPECT_EQ(i64_at(rej, 104), 0);
    EXPECT_EQ(rej.substr(60, 36), field("ACC1", 16) + field("IF2409", 20));
    EXPECT_EQ(r.read(16), heart_beat_answer());
}

TEST(SimRequestAnswers, ModeNoneAnswersNothingAndLabelsReachEveryAnswer) {
    const std::string all = new_quote() + simple_quote() + new_order() + simple_order("01", "0200") +
                            cancel("0b00", "07000000", "00000000", "00000000", "00", "00", "00") +
                            cancel("0d00", "07000000", "00000000", "00000000", "00", "00", "00") +
                            cancel("1f00", "07000000", "00000000", "00000000", "00", "00", "00");
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(mode(order_mode::none)));
    client quiet(sim.port());
    ASSERT_GE(quiet.fd, 0);
    ASSERT_TRUE(quiet.send(all + heart_beat()));
    EXPECT_EQ(quiet.read(16), heart_beat_answer());  // the first bytes back
    EXPECT_EQ(sim.count(0, 12) + sim.count(0, 22) + sim.count(0, 20) + sim.count(0, 11) + sim.count(0, 13) +
                  sim.count(0, 31),
              6u);

    // A wrong length field from the configuration is written into each
    // answer; partial answers the non-orders as plain accepts.
    sim_config odd = mode(order_mode::partial);
    odd.length_field = 9;
    ASSERT_TRUE(sim.set_connection_config(1, odd));
    client labelled(sim.port());
    ASSERT_GE(labelled.fd, 0);
    ASSERT_TRUE(labelled.send(new_quote() + cancel("0d00", "07000000", "00000000", "00000000", "00", "00", "00") +
                              heart_beat()));
    const std::string q = labelled.read(216);
    ASSERT_EQ(q.size(), 216u);
    EXPECT_EQ(q.substr(0, 4), unhex("fa03 0900"));  // type 1018, length field 9
    EXPECT_EQ(u32_at(q, 196), 0u);
    const std::string a = labelled.read(64);
    ASSERT_EQ(a.size(), 64u);
    EXPECT_EQ(a.substr(0, 4), unhex("fb03 0900"));  // type 1019, length field 9
    EXPECT_EQ(labelled.read(16), unhex("b004 0900") + zeros(12));
}

// ---------------------------------------------------------------- through the C API

namespace {

// What the session's callbacks delivered, reached through the user parameter.
struct api_answers {
    std::mutex m;
    std::condition_variable cv;
    bool connected = false;
    bool logged_on = false;
    int rejects = 0;
    uint32_t last_reject_reason = 0;
    HUX_OrderAcceptField order{};
    HUX_QuoteAcceptField quote{};
    HUX_OrderActionAccept cancel{};
    HUX_QuoteActionAccept action{};
    HUX_ComboAcceptField combo{};
    HUX_SpecialOrderAcceptField special{};
    HUX_SpecialOrderActionAccept special_cancel{};
    int orders = 0, quotes = 0, cancels = 0, actions = 0, combos = 0, specials = 0, special_cancels = 0;

    template <class PRED>
    bool wait(PRED pred) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, deadline, pred);
    }
};

api_answers* answers_of(void* handle) { return static_cast<api_answers*>(MVHUX_GetUserParam(handle)); }

template <class REC>
void keep(void* handle, REC* rec, REC api_answers::*slot, int api_answers::*count) {
    api_answers* a = answers_of(handle);
    {
        std::lock_guard<std::mutex> lock(a->m);
        a->*slot = *rec;
        ++(a->*count);
    }
    a->cv.notify_all();
}

void note_reject(void* handle, uint32_t reason) {
    api_answers* a = answers_of(handle);
    {
        std::lock_guard<std::mutex> lock(a->m);
        ++a->rejects;
        a->last_reject_reason = reason;
    }
    a->cv.notify_all();
}

void register_api_callbacks(void* h) {
    MVHUX_SetConnectionEvent(h, [](void* handle, int code, const char*) {
        api_answers* a = answers_of(handle);
        std::lock_guard<std::mutex> lock(a->m);
        if (code == 0) a->connected = true;
        a->cv.notify_all();
    });
    MVHUX_SetUserLogonEvent(h, [](void* handle, HUX_LogonResponse* r, int) {
        api_answers* a = answers_of(handle);
        std::lock_guard<std::mutex> lock(a->m);
        a->logged_on = r->result == 0;
        a->cv.notify_all();
    });
    MVHUX_SetOrderAcceptEvent(h, [](void* handle, HUX_OrderAcceptField* r) {
        keep(handle, r, &api_answers::order, &api_answers::orders);
    });
    MVHUX_SetQuoteAcceptEvent(h, [](void* handle, HUX_QuoteAcceptField* r) {
        keep(handle, r, &api_answers::quote, &api_answers::quotes);
    });
    MVHUX_SetOrderActionAcceptEvent(h, [](void* handle, HUX_OrderActionAccept* r) {
        keep(handle, r, &api_answers::cancel, &api_answers::cancels);
    });
    MVHUX_SetQuoteActionAcceptEvent(h, [](void* handle, HUX_QuoteActionAccept* r) {
        keep(handle, r, &api_answers::action, &api_answers::actions);
    });
    MVHUX_SetComboAcceptEvent(h, [](void* handle, HUX_ComboAcceptField* r) {
        keep(handle, r, &api_answers::combo, &api_answers::combos);
    });
    MVHUX_SetSpecialOrderAcceptEvent(h, [](void* handle, HUX_SpecialOrderAcceptField* r) {
        keep(handle, r, &api_answers::special, &api_answers::specials);
    });
    MVHUX_SetSpecialOrderActionAcceptEvent(h, [](void* handle, HUX_SpecialOrderActionAccept* r) {
        keep(handle, r, &api_answers::special_cancel, &api_answers::special_cancels);
    });
    MVHUX_SetOrderRejectEvent(h, [](void* handle, HUX_OrderRejectField* r) { note_reject(handle, r->reason); });
    MVHUX_SetQuoteRejectEvent(h, [](void* handle, HUX_QuoteRejectField* r) { note_reject(handle, r->reason); });
    MVHUX_SetOrderActionRejectEvent(h, [](void* handle, HUX_OrderActionRej* r) {
        note_reject(handle, r->reason_mask);
    });
    MVHUX_SetQuoteActionRejectEvent(h, [](void* handle, HUX_QuoteActionRej* r) {
        note_reject(handle, r->reason_mask);
    });
    MVHUX_SetComboRejectEvent(h, [](void* handle, HUX_ComboRejectField* r) { note_reject(handle, r->reason); });
    MVHUX_SetSpecialOrderRejectEvent(h, [](void* handle, HUX_SpecialOrderRejectField* r) {
        note_reject(handle, r->reason);
    });
    MVHUX_SetSpecialOrderActionRejectEvent(h, [](void* handle, HUX_SpecialOrderActionRej* r) {
        note_reject(handle, r->reason_mask);
    });
}

// A session of the C API, connected and logged on to the simulated server.
struct api_session {
    api_answers answers;
    void* h = nullptr;
    explicit api_session(uint16_t port) {
        h = MVHUX_CreateTrade(&answers);
        register_api_callbacks(h);
        HUX_TradeSvrInfo info;
        memset(&info, 0, sizeof(info));
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = port;
        info.rsp_cpu = -1;
        info.symbol_idx_page_size = 10;
        if (MVHUX_ConnServer(h, &info, false) != 0 || !answers.wait([this] { return answers.connected; })) return;
        if (MVHUX_UserLogon(h, "trader01", "pw", "app", "AUTH") != 0) return;
        answers.wait([this] { return answers.logged_on; });
    }
    ~api_session() {
        MVHUX_DisConnServer(h);
        MVHUX_DestroyTrade(h);
    }
};

sim_config api_config(order_mode m) {
    sim_config cfg = mode(m);
    cfg.password = "pw";
    cfg.user_id = 4242;
    cfg.max_token = 100;
    return cfg;
}

}  // namespace

// The records are packed: their fields are read by value (unary +), never
// bound to a reference.
TEST(SimRequestAnswers, TheClientSeesEachAnswerWithTheRequestsFields) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(api_config(order_mode::accept)));
    api_session s(sim.port());
    ASSERT_TRUE(s.answers.logged_on);
    api_answers& a = s.answers;

    // Order, then its cancel by owner token: the cancel names the order's number.
    HUX_EnterOrderField order;
    memset(&order, 0, sizeof(order));
    order.request_tag = 11;
    strcpy(order.account, "ACC1");
    order.side = 1;
    order.exchange_id = 101;
    strcpy(order.symbol, "IF2409");
    order.price = 12.3456;
    order.quantity = 7;
    order.client_token = 101;
    ASSERT_EQ(MVHUX_EnterOrder(s.h, &order, false), 0);
    ASSERT_TRUE(a.wait([&] { return a.orders == 1; }));
    EXPECT_EQ(+a.order.request_tag, 11);
    EXPECT_EQ(+a.order.client_token, 101);
    EXPECT_EQ(+a.order.order_no, 1);
    EXPECT_EQ(+a.order.user_id, 4242 & 0xff);
    EXPECT_STREQ(a.order.account, "ACC1");
    EXPECT_EQ(std::string(a.order.symbol, strnlen(a.order.symbol, 20)), "IF2409");
    EXPECT_DOUBLE_EQ(+a.order.price, 12.3456);
    EXPECT_EQ(+a.order.quantity, 7);

    HUX_CancelOrder by_owner;
    memset(&by_owner, 0, sizeof(by_owner));
    by_owner.request_tag = 12;
    by_owner.cancel_mode = 1;
    by_owner.owner_token = 101;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &by_owner), 0);
    ASSERT_TRUE(a.wait([&] { return a.cancels == 1; }));
    EXPECT_EQ(+a.cancel.request_tag, 12);
    EXPECT_EQ(+a.cancel.order_no, 1);
    EXPECT_EQ(+a.cancel.owner_token, 101);
    EXPECT_EQ(+a.cancel.owner_user_id, 4242);  // the session fills in its own id
    HUX_CancelOrder by_market;
    memset(&by_market, 0, sizeof(by_market));
    by_market.request_tag = 13;
    by_market.market_token = 0xfffffff0u;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &by_market), 0);
    ASSERT_TRUE(a.wait([&] { return a.cancels == 2; }));
    EXPECT_EQ(+a.cancel.request_tag, 13);
    EXPECT_EQ(+a.cancel.order_no, 0xfffffff0LL);

    // Quote and quote action (opt_1 and opt_2 set: byte 29 is 2, the flag).
    HUX_EnterQuoteField quote;
    memset(&quote, 0, sizeof(quote));
    quote.request_tag = 21;
    strcpy(quote.account, "ACC1");
    strcpy(quote.symbol, "IF2409");
    quote.exchange_id = 102;
    quote.client_token = 102;
    quote.price_1 = 1.5;
    quote.quantity_1 = 3;
    quote.price_2 = -2.25;
    quote.quantity_2 = 4;
    strcpy(quote.quote_text_2, "second");
    ASSERT_EQ(MVHUX_EnterQuote(s.h, &quote, false), 0);
    ASSERT_TRUE(a.wait([&] { return a.quotes == 1; }));
    EXPECT_EQ(+a.quote.request_tag, 21);
    EXPECT_EQ(+a.quote.client_token, 102);
    EXPECT_STREQ(a.quote.account, "ACC1");
    EXPECT_DOUBLE_EQ(+a.quote.price_1, 1.5);
    EXPECT_DOUBLE_EQ(+a.quote.price_2, -2.25);
    EXPECT_EQ(+a.quote.quantity_1, 3);
    EXPECT_EQ(+a.quote.quantity_2, 4);
    EXPECT_EQ(std::string(a.quote.quote_text_2, strnlen(a.quote.quote_text_2, 24)), "second");
    HUX_QuoteAction action;
    memset(&action, 0, sizeof(action));
    action.request_tag = 22;
    action.opt_1 = 1;
    action.opt_2 = 1;
    action.market_token = 9;
    ASSERT_EQ(MVHUX_QuoteAction(s.h, &action), 0);
    ASSERT_TRUE(a.wait([&] { return a.actions == 1; }));
    EXPECT_EQ(+a.action.request_tag, 22);
    EXPECT_EQ(+a.action.flag, 1);
    EXPECT_EQ(+a.action.market_token, 9);
    EXPECT_EQ(+a.action.field_48, 9);

    // Combination, special order and its cancel.
    HUX_EnterComboField combo;
    memset(&combo, 0, sizeof(combo));
    combo.request_tag = 31;
    strcpy(combo.account, "ACC1");
    combo.exchange_id = 103;
    memcpy(combo.legs, "IF2409/IF2408", 13);
    combo.client_token = 103;
    ASSERT_EQ(MVHUX_EnterCombo(s.h, &combo), 0);
    ASSERT_TRUE(a.wait([&] { return a.combos == 1; }));
    EXPECT_EQ(+a.combo.request_tag, 31);
    EXPECT_EQ(+a.combo.client_token, 103);
    EXPECT_EQ(+a.combo.exchange_id, 103);
    EXPECT_EQ(std::string(a.combo.legs, strnlen(a.combo.legs, 80)), "IF2409/IF2408");
    HUX_EnterSpecialOrderField special;
    memset(&special, 0, sizeof(special));
    special.request_tag = 41;
    strcpy(special.account, "ACC1");
    special.exchange_id = 104;
    strcpy(special.symbol, "IF2408");
    special.client_token = 104;
    special.opt_3 = 0x01020304;
    ASSERT_EQ(MVHUX_EnterSpecialOrder(s.h, &special), 0);
    ASSERT_TRUE(a.wait([&] { return a.specials == 1; }));
    EXPECT_EQ(+a.special.request_tag, 41);
    EXPECT_EQ(+a.special.client_token, 104);
    EXPECT_STREQ(a.special.symbol, "IF2408");
    EXPECT_EQ(+a.special.opt_3, 0x01020304);
    HUX_CancelSpecialOrder special_cancel;
    memset(&special_cancel, 0, sizeof(special_cancel));
    special_cancel.request_tag = 42;
    special_cancel.market_token = 77;
    ASSERT_EQ(MVHUX_CancelSpecialOrder(s.h, &special_cancel), 0);
    ASSERT_TRUE(a.wait([&] { return a.special_cancels == 1; }));
    EXPECT_EQ(+a.special_cancel.request_tag, 42);
    EXPECT_EQ(+a.special_cancel.market_token, 77);
    EXPECT_EQ(+a.special_cancel.order_no, 77);

    // The simple forms: the server names account and symbol from its tables.
    HUX_EnterOrderSimpleField simple;
    memset(&simple, 0, sizeof(simple));
    simple.request_tag = 51;
    simple.exchange_id = 101;
    simple.side = 1;
    simple.client_token = 105;
    simple.quantity = 2;
    simple.price = 99.5;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &simple, "ACC0", "IF2408"), 0);
    ASSERT_TRUE(a.wait([&] { return a.orders == 2; }));
    EXPECT_EQ(+a.order.request_tag, 51);
    EXPECT_EQ(+a.order.order_no, 2);
    EXPECT_STREQ(a.order.account, "ACC0");
    EXPECT_EQ(std::string(a.order.symbol, strnlen(a.order.symbol, 20)), "IF2408");
    EXPECT_DOUBLE_EQ(+a.order.price, 99.5);
    HUX_EnterQuoteSimpleField simple_quote;
    memset(&simple_quote, 0, sizeof(simple_quote));
    simple_quote.request_tag = 52;
    simple_quote.exchange_id = 101;
    simple_quote.client_token = 106;
    simple_quote.price_1 = 7.25;
    simple_quote.quantity_1 = 1;
    ASSERT_EQ(MVHUX_EnterSimpleQuote(s.h, &simple_quote, "ACC1", "IF2409"), 0);
    ASSERT_TRUE(a.wait([&] { return a.quotes == 2; }));
    EXPECT_EQ(+a.quote.request_tag, 52);
    EXPECT_STREQ(a.quote.account, "ACC1");
    EXPECT_EQ(std::string(a.quote.symbol, strnlen(a.quote.symbol, 20)), "IF2409");
    EXPECT_DOUBLE_EQ(+a.quote.price_1, 7.25);
    EXPECT_EQ(a.rejects, 0);
}

TEST(SimRequestAnswers, TheClientSeesEachRejectWithTheConfiguredCode) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(api_config(order_mode::reject)));
    api_session s(sim.port());
    ASSERT_TRUE(s.answers.logged_on);
    api_answers& a = s.answers;

    HUX_EnterQuoteField quote;
    memset(&quote, 0, sizeof(quote));
    quote.exchange_id = 102;
    quote.client_token = 101;
    quote.quantity_1 = 1;
    HUX_QuoteAction action;
    memset(&action, 0, sizeof(action));
    HUX_EnterComboField combo;
    memset(&combo, 0, sizeof(combo));
    combo.exchange_id = 101;
    combo.client_token = 102;
    HUX_EnterSpecialOrderField special;
    memset(&special, 0, sizeof(special));
    special.exchange_id = 101;
    special.client_token = 103;
    HUX_CancelSpecialOrder special_cancel;
    memset(&special_cancel, 0, sizeof(special_cancel));
    HUX_CancelOrder cancel;
    memset(&cancel, 0, sizeof(cancel));

    // Each kind in turn; every one must reach its own reject callback.
    const std::function<int()> sends[] = {
        [&] { return MVHUX_EnterQuote(s.h, &quote, false); },
        [&] { return MVHUX_QuoteAction(s.h, &action); },
        [&] { return MVHUX_EnterCombo(s.h, &combo); },
        [&] { return MVHUX_EnterSpecialOrder(s.h, &special); },
        [&] { return MVHUX_CancelSpecialOrder(s.h, &special_cancel); },
        [&] { return MVHUX_CancelOrder(s.h, &cancel); },
    };
    int expected = 0;
    for (const auto& send : sends) {
        ASSERT_EQ(send(), 0) << "request " << expected;
        ++expected;
        ASSERT_TRUE(a.wait([&] { return a.rejects == expected; })) << "request " << expected - 1;
        EXPECT_EQ(a.last_reject_reason, 77u) << "request " << expected - 1;
    }
    EXPECT_EQ(a.quotes + a.actions + a.combos + a.specials + a.special_cancels + a.cancels, 0);
}

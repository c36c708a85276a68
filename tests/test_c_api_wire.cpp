// The bytes each request of the C interface puts on the wire: every request
// record is sent through its MVHUX_* function by a session logged on to the
// simulated trade server over loopback, and what the server received is
// compared with a golden image worked out from the message layouts, one
// comment per field. The field rules (side mapping, the kind byte after a
// flag, opt_8, price conversion) and the in-place rewrite of the simple forms
// are checked on the wire the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"

namespace {

using hux_test::hex_of;

const char* const kUser = "wire-trader";
const char* const kPassword = "wire-pw-2024";
const uint32_t kUserId = 0x5D4C3B2A;  // goes out as 2a3b4c5d, or as its low byte 2a
const std::chrono::milliseconds kWait(5000);

// ---------------------------------------------------------------- hex helpers

// n zero bytes, as hex
std::string z(size_t n) { return std::string(2 * n, '0'); }

// a text field: the text's bytes, then zeros up to the field's width
std::string text(const char* s, size_t width) {
    const size_t len = std::strlen(s);
    return hex_of(s, len) + z(width - len);
}

// bytes first, first + 1, ... (n of them)
std::string run(uint8_t first, size_t n) {
    std::string bytes;
    for (size_t i = 0; i < n; ++i) bytes += static_cast<char>(first + i);
    return hex_of(bytes.data(), bytes.size());
}

uint8_t u8_at(const std::string& m, size_t off) { return static_cast<uint8_t>(m.at(off)); }

int64_t i64_at(const std::string& m, size_t off) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(m.at(off + i))) << (8 * i);
    return static_cast<int64_t>(v);
}

// ---------------------------------------------------------------- session

// One handle logged on to a simulated server of its own.
class wire_session {
public:
    wire_session() {
        hux_sim::sim_config cfg;
        cfg.password = kPassword;
        cfg.user_id = kUserId;
        cfg.max_token = 900;
        cfg.accounts = {{"ACC001", 1}, {"ACC-W", 7}};
        cfg.symbols = {{"IF2406", 3}, {"SYM-W", 0x0123}};
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        h = MVHUX_CreateTrade(this);
        HUX_TRADE::CTradeClient* cli = static_cast<HUX_TRADE::CTradeClient*>(h);
        HUX_TRADE::TradeClientTimings t = cli->GetTimings();
        t.close_pause_ms = 1;
        cli->SetTimings(t);
        MVHUX_SetConnectionEvent(h, on_connection);
        MVHUX_SetUserLogonEvent(h, on_logon);
    }
    ~wire_session() { MVHUX_DestroyTrade(h); }

    hux_sim::sim_trade_server srv;
    void* h = nullptr;

    void start() {
        HUX_TradeSvrInfo info;
        std::memset(&info, 0, sizeof(info));
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        info.heartbeat_interval = 0;
        info.rsp_cpu = -1;
        info.symbol_idx_page_size = 100;
        ASSERT_EQ(MVHUX_ConnServer(h, &info, false), 0);
        ASSERT_TRUE(wait([&] { return connected_; }));
        ASSERT_EQ(MVHUX_UserLogon(h, kUser, kPassword, "wire-app", "WIRE-AUTH"), 0);
        ASSERT_TRUE(wait([&] { return logon_result_ != kNone; }));
        ASSERT_EQ(logon_result_, 0);
    }

    // Bytes of the index-th message of `type` the server received.
    std::string sent(uint16_t type, size_t index = 0) {
        EXPECT_TRUE(srv.wait_for_message(0, type, index + 1, kWait)) << "type " << type << " #" << index;
        std::vector<hux_sim::sim_message> msgs = srv.messages(0, type);
        return index < msgs.size() ? msgs[index].bytes : std::string();
    }
    std::string sent_hex(uint16_t type, size_t index = 0) {
        const std::string m = sent(type, index);
        return hex_of(m.data(), m.size());
    }

private:
    static constexpr int kNone = -1000;

    template <class PRED>
    bool wait(PRED pred) {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, kWait, pred);
    }
    static wire_session* of(void* handle) { return static_cast<wire_session*>(MVHUX_GetUserParam(handle)); }
    static void on_connection(void* handle, int code, const char*) {
        wire_session* s = of(handle);
        std::lock_guard<std::mutex> lock(s->m_);
        if (code == 0) s->connected_ = true;
        s->cv_.notify_all();
    }
    static void on_logon(void* handle, HUX_LogonResponse* rsp, int) {
        wire_session* s = of(handle);
        std::lock_guard<std::mutex> lock(s->m_);
        if (s->logon_result_ == kNone) s->logon_result_ = rsp->result;
        s->cv_.notify_all();
    }

    std::mutex m_;
    std::condition_variable cv_;
    bool connected_ = false;
    int logon_result_ = kNone;
};

void put_text(char* field, const char* s) { std::memcpy(field, s, std::strlen(s)); }

// A plain order with the given token: exchange 101, side 1.
HUX_EnterOrderField plain_order(uint32_t token) {
    HUX_EnterOrderField r;
    std::memset(&r, 0, sizeof(r));
    put_text(r.account, "ACC001");
    put_text(r.symbol, "IF2406");
    r.side = 1;
    r.exchange_id = 101;
    r.price = 1.0;
    r.quantity = 1;
    r.client_token = token;
    r.opt_8 = 1;
    return r;
}

}  // namespace

// Every field of the new order in its place, with the side mapped (6 on
// exchange 107 goes out as 22) and both prices converted.
TEST(CApiWire, NewOrder) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterOrderField r;
    std::memset(&r, 0, sizeof(r));
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
                               text("ACCT0123456789AB", 16) +      // account, 16 bytes as they are
                               text("SYMBOL-0123456789XYZ", 20) +  // symbol, 20 bytes as they are
                               z(4);                               // bytes 96-99
    EXPECT_EQ(s.sent_hex(10), golden);
}

// The side mapping on each exchange, keep_side, the kind byte at 14 and the
// opt_8 rule, read back from the orders the server received.
TEST(CApiWire, NewOrderFieldRules) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    uint32_t token = 1000;
    size_t n = 0;  // orders sent so far

    // Exchanges 102, 104, 105, 107, 108 send sides 2 and 6 as 22 and 3 and 5
    // as 21; other sides and exchanges go out as they are.
    for (int ex = 100; ex <= 108; ++ex) {
        const bool mapped = ex == 102 || ex == 104 || ex == 105 || ex == 107 || ex == 108;
        const uint8_t sides[] = {0, 1, 2, 3, 4, 5, 6, 7, 21, 22};
        for (uint8_t side : sides) {
            HUX_EnterOrderField r = plain_order(++token);
            r.exchange_id = static_cast<uint8_t>(ex);
            r.side = side;
            ASSERT_EQ(MVHUX_EnterOrder(s.h, &r, false), 0);
            uint8_t want = side;
            if (mapped && (side == 2 || side == 6)) want = 22;
            if (mapped && (side == 3 || side == 5)) want = 21;
            EXPECT_EQ(u8_at(s.sent(10, n++), 17), want) << "exchange " << ex << " side " << int(side);
        }
    }
    // keep_side turns the mapping off.
    const uint8_t kept[] = {2, 3, 5, 6};
    for (uint8_t side : kept) {
        HUX_EnterOrderField r = plain_order(++token);
        r.exchange_id = 107;
        r.side = side;
        r.keep_side = 1;
        ASSERT_EQ(MVHUX_EnterOrder(s.h, &r, false), 0);
        EXPECT_EQ(u8_at(s.sent(10, n++), 17), side) << int(side);
    }

    // Byte 14: 0 when opt_4 is 0 (whatever opt_6), 1 when opt_6 is 0, else 2.
    struct kind_case {
        uint8_t opt_4, opt_6, kind;
    };
    const kind_case kinds[] = {{0, 0, 0}, {0, 9, 0}, {3, 0, 1}, {3, 9, 2}, {255, 255, 2}};
    for (const kind_case& k : kinds) {
        HUX_EnterOrderField r = plain_order(++token);
        r.opt_4 = k.opt_4;
        r.opt_6 = k.opt_6;
        ASSERT_EQ(MVHUX_EnterOrder(s.h, &r, false), 0);
        const std::string m = s.sent(10, n++);
        EXPECT_EQ(u8_at(m, 13), k.opt_4);
        EXPECT_EQ(u8_at(m, 14), k.kind) << int(k.opt_4) << " " << int(k.opt_6);
    }

    // opt_8: 1..6 as they are, anything else as 1.
    const uint8_t opt8_in[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 128, 255};
    const uint8_t opt8_out[] = {1, 1, 2, 3, 4, 5, 6, 1, 1, 1, 1};
    for (size_t i = 0; i < sizeof(opt8_in); ++i) {
        HUX_EnterOrderField r = plain_order(++token);
        r.opt_8 = opt8_in[i];
        ASSERT_EQ(MVHUX_EnterOrder(s.h, &r, false), 0);
        EXPECT_EQ(u8_at(s.sent(10, n++), 15), opt8_out[i]) << int(opt8_in[i]);
    }
}

// Price conversion on the wire: (price +- 0.00001) x 10000 truncated toward
// zero, 0 between -0.00001 and 0.00001, negative prices as negative int64,
// up to the largest double whose image fits; both prices of an order and
// both of a quote.
TEST(CApiWire, PricesOnTheWire) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    struct price_case {
        double price;
        int64_t image;
    };
    const price_case cases[] = {
        {12.3456, 123456},
        {-12.3456, -123456},
        {99.99, 999900},            // 99.98999999... lifted by the 0.00001
        {0.000001, 0},
        {0.00001, 0},
        {-0.00001, 0},
        {0.00005, 0},
        {-0.00005, 0},
        {0.0001, 1},
        {-0.0001, -1},
        {0.0, 0},
        {1.99998, 19999},           // 19999.9: truncated, not rounded
        {-7.25, -72500},
        {922337203685477.5, INT64_C(9223372036854774784)},  // 2^63 - 1024
        {-922337203685477.5, -INT64_C(9223372036854774784)},
    };
    const size_t count = sizeof(cases) / sizeof(cases[0]);
    uint32_t token = 1000;
    for (size_t i = 0; i < count; ++i) {
        HUX_EnterOrderField o = plain_order(++token);
        o.price = cases[i].price;
        o.second_price = cases[count - 1 - i].price;
        ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
        const std::string m = s.sent(10, i);
        EXPECT_EQ(i64_at(m, 32), cases[i].image) << cases[i].price;
        EXPECT_EQ(i64_at(m, 40), cases[count - 1 - i].image) << cases[count - 1 - i].price;

        HUX_EnterQuoteField q;
        std::memset(&q, 0, sizeof(q));
        q.exchange_id = 101;
        q.client_token = ++token;
        q.quantity_1 = 1;
        q.price_1 = cases[count - 1 - i].price;
        q.price_2 = cases[i].price;
        ASSERT_EQ(MVHUX_EnterQuote(s.h, &q, false), 0);
        const std::string qm = s.sent(12, i);
        EXPECT_EQ(i64_at(qm, 24), cases[count - 1 - i].image) << cases[count - 1 - i].price;
        EXPECT_EQ(i64_at(qm, 32), cases[i].image) << cases[i].price;
    }
}

// Every field of the new quote in its place, texts copied whole.
TEST(CApiWire, NewQuote) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterQuoteField r;
    std::memset(&r, 0, sizeof(r));
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
                               text("QACCOUNT-16BYTES", 16) +      // account
                               text("QSYMBOL-ABCDEFGHIJKL", 20) +  // symbol
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
    HUX_EnterComboField c;
    std::memset(&c, 0, sizeof(c));
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
                                     text("COMBO-ACCOUNT-16", 16) +  // account
                                     run(0xB0, 80) +                 // legs, 80 bytes as they are
                                     z(22);                          // bytes 122-143
    EXPECT_EQ(s.sent_hex(14), combo_golden);

    HUX_EnterSpecialOrderField sp;
    std::memset(&sp, 0, sizeof(sp));
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
                                       text("SPECIAL-ACCT-16B", 16) +      // account
                                       text("SPECIAL-SYMBOL-20-CH", 20) +  // symbol
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

    HUX_CancelOrder c;
    std::memset(&c, 0, sizeof(c));
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

    HUX_QuoteAction qa;
    std::memset(&qa, 0, sizeof(qa));
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

    HUX_CancelSpecialOrder sc;
    std::memset(&sc, 0, sizeof(sc));
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
    HUX_EnterOrderSimpleField r;
    std::memset(&r, 0, sizeof(r));
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
    HUX_EnterOrderSimpleField neg;
    std::memset(&neg, 0, sizeof(neg));
    neg.exchange_id = 101;
    neg.side = 3;
    neg.client_token = 1000007;
    neg.quantity = 1;
    neg.price = -1.5;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &neg, "ACC001", "IF2406"), 0);
    EXPECT_EQ(i64_at(s.sent(20, 2), 32), -15000);
    EXPECT_EQ(u8_at(s.sent(20, 2), 17), 3);  // side 3 on exchange 101: as it is
    neg.client_token = 1000008;
    const std::string before = hex_of(neg);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &neg, "ACC001", "IF2406"), HUX_RESULT_BAD_PRICE);
    EXPECT_EQ(hex_of(neg), before);

    // Side mapping in place on a mapped exchange.
    HUX_EnterOrderSimpleField mapped;
    std::memset(&mapped, 0, sizeof(mapped));
    mapped.exchange_id = 104;
    mapped.side = 2;
    mapped.opt_8 = 6;
    mapped.client_token = 1000009;
    mapped.quantity = 1;
    ASSERT_EQ(MVHUX_EnterSimpleOrder(s.h, &mapped, "ACC001", "IF2406"), 0);
    EXPECT_EQ(mapped.side, 22);
    EXPECT_EQ(mapped.opt_8, 6);
    EXPECT_EQ(mapped.opt_6, 0);  // opt_4 zero: 0
    const std::string m = s.sent(20, 3);
    EXPECT_EQ(m, std::string(reinterpret_cast<const char*>(&mapped), sizeof(mapped)));
    EXPECT_EQ(s.srv.count(0, 20), 4u);  // the refused call sent nothing
}

// The simple quote likewise: its byte 15 and byte 17 are the caller's (no
// opt_8 rule, no side mapping, even on a mapped exchange).
TEST(CApiWire, SimpleQuoteRewrittenInPlace) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterQuoteSimpleField r;
    std::memset(&r, 0, sizeof(r));
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
                                 + text("SESSION-ID-LONGE", 17) +  // first 16 characters and a zero
                                 "68"                            // market 104
                                 + z(2));                        // bytes 30-31
    ASSERT_EQ(MVHUX_QuerySessionID(s.h, "S1", 0), 0);
    EXPECT_EQ(s.sent_hex(94, 1), "5e00"              // type 94
                                 "2000"              // length 32
                                 + z(4) +            // bytes 4-7
                                 "2a3b4c5d"          // user id
                                 + text("S1", 17) +  // session text, zero-filled
                                 "00"                // market 0
                                 + z(2));            // bytes 30-31
    ASSERT_EQ(MVHUX_QueryOtAccountBP(s.h, "ACCOUNT-NAME-OF-20"), 0);
    EXPECT_EQ(s.sent_hex(81), "5100"                               // type 81
                              "1c00"                               // length 28
                              + z(4) +                             // bytes 4-7
                              "2a3b4c5d"                           // user id
                              + text("ACCOUNT-NAME-OF", 16));      // first 15 characters and a zero

    MVHUX_SetUserId(s.h, 0x01020304);
    ASSERT_EQ(MVHUX_QueryMarketSession(s.h), 0);
    EXPECT_EQ(s.sent(84, 1).substr(8, 4), std::string("\x04\x03\x02\x01", 4));
    HUX_EnterOrderField o = plain_order(1000);
    ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    EXPECT_EQ(u8_at(s.sent(10), 8), 0x04);  // the low byte
    HUX_CancelOrder c;
    std::memset(&c, 0, sizeof(c));
    c.cancel_mode = 1;
    ASSERT_EQ(MVHUX_CancelOrder(s.h, &c), 0);
    EXPECT_EQ(s.sent(11).substr(8, 4), std::string("\x04\x03\x02\x01", 4));   // user id
    EXPECT_EQ(s.sent(11).substr(20, 4), std::string("\x04\x03\x02\x01", 4));  // owner user id 0: the session's
}

// Warm-ups (an order of quantity 0, a quote with both quantities 0) return 0
// and send nothing, even with exchange 99 and token 0: the normal order and
// quote sent after them are the only ones the server gets.
TEST(CApiWire, WarmUpsSendNothing) {
    wire_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    HUX_EnterOrderField warm = plain_order(0);
    warm.exchange_id = 99;
    warm.quantity = 0;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &warm, false), 0);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &warm, true), 0);
    HUX_EnterQuoteField warm_quote;
    std::memset(&warm_quote, 0, sizeof(warm_quote));
    warm_quote.exchange_id = 99;
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &warm_quote, false), 0);

    HUX_EnterOrderField o = plain_order(0x00ABCDEF);
    ASSERT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    HUX_EnterQuoteField q = warm_quote;
    q.exchange_id = 101;
    q.quantity_2 = 1;
    q.client_token = 0x00ABCDF0;
    ASSERT_EQ(MVHUX_EnterQuote(s.h, &q, false), 0);
    ASSERT_TRUE(s.srv.wait_for_message(0, 12, 1, kWait));
    // Both arrived after anything the warm-ups could have sent.
    ASSERT_EQ(s.srv.count(0, 10), 1u);
    EXPECT_EQ(s.sent(10).substr(20, 4), std::string("\xef\xcd\xab\x00", 4));  // the normal order's token
    ASSERT_EQ(s.srv.count(0, 12), 1u);
    EXPECT_EQ(s.sent(12).substr(44, 4), std::string("\xf0\xcd\xab\x00", 4));  // the normal quote's token
}

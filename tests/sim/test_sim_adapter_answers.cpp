// The simulated server's trade answers as the adapter takes them: every type
// of the adapter's receive table at the adapter's length, the order echo and
// exchange texts of the order and cancel answers against golden hex, the
// short quote forms, and the market session, symbol status and session id
// queries answered from the configuration over a plain socket.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"

using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using namespace hux_test::net;

namespace {

std::string field(const std::string& text, size_t width) { return text + zeros(width - text.size()); }

// An exchange text of all 81 bytes: "交易" (GB2312 bd bb d2 d7) ten times
// twice, then '!'.
std::string gb2312_text_81() {
    std::string text;
    for (int i = 0; i < 20; ++i) text += unhex("bdbbd2d7");
    return text + "!";
}

// Bytes 4 to 99 of an order message with the values order_fields() sets.
std::string order_echo_hex() {
    return hex(unhex("44332211")          // request tag 0x11223344 at 4
               + unhex("e9")              // user id low byte 0xe9 at 8
               + zeros(3)                 // 9-11
               + unhex("65")              // exchange id 101 at 12
               + unhex("02")              // opt_4 2 at 13
               + zeros(1)                 // 14
               + unhex("03")              // opt_8 3 at 15
               + unhex("30")              // opt_7 '0' at 16
               + unhex("01")              // side 1 at 17
               + unhex("05")              // opt_5 5 at 18
               + unhex("06")              // opt_1 6 at 19
               + unhex("e8030000")        // client token 1000 at 20
               + unhex("0a000000")        // quantity 10 at 24
               + unhex("04030201")        // opt_2 0x01020304 at 28
               + unhex("40e2010000000000")  // price 123456 at 32
               + unhex("68c5ffffffffffff")  // second price -15000 at 40
               + unhex("07")              // opt_9 7 at 48
               + unhex("08")              // the order field 8 at 49
               + zeros(2)                 // 50-51
               + unhex("0d0c0b0a")        // opt_3 0x0a0b0c0d at 52
               + unhex("78563412")        // server order field 0x12345678 at 56
               + field("ACC1", 16)        // account at 60
               + field("IF2409", 20)      // symbol at 76
               + zeros(4));               // 96-99
}

// The same order values in any of the order records.
template <typename REC>
void order_fields(REC& v) {
    v.request_tag = 0x11223344;
    v.exchange_id = 101;
    v.opt_4 = 2;
    v.opt_8 = 3;
    v.opt_7 = '0';
    v.side = 1;
    v.opt_5 = 5;
    v.opt_1 = 6;
    v.client_token = 1000;
    v.quantity = 10;
    v.opt_2 = 0x01020304;
    v.price = 123456;
    v.second_price = -15000;
    v.opt_9 = 7;
    v.opt_3 = 0x0a0b0c0d;
    v.field_56 = 0x12345678;
    v.account = "ACC1";
    v.symbol = "IF2409";
}

// A cancel answer's bytes 4 to 43 with the values cancel_fields() sets.
std::string cancel_echo() {
    return unhex("04030201")   // request tag 0x01020304 at 4
           + unhex("e9030000")  // user id 1001 at 8
           + unhex("f2030000")  // the cancel's client token 1010 at 12
           + unhex("0d0c0b0a")  // market token 0x0a0b0c0d at 16
           + unhex("ea030000")  // owner user id 1002 at 20
           + unhex("e8030000")  // owner token 1000 at 24
           + unhex("01")        // opt_1 1 at 28
           + zeros(1)           // 29
           + unhex("02")        // opt_3 2 at 30 (cancel mode of a special-order cancel)
           + unhex("01")        // cancel mode 1 at 31
           + zeros(12);         // 32-43
}

template <typename REC>
void cancel_fields(REC& v) {
    v.request_tag = 0x01020304;
    v.user_id = 1001;
    v.client_token = 1010;
    v.market_token = 0x0a0b0c0d;
    v.owner_user_id = 1002;
    v.owner_token = 1000;
    v.opt_1 = 1;
    v.opt_3 = 2;
    v.cancel_mode = 1;
}

// Status query requests of user 1001.
std::string status_query(const char* type_hex) {
    return unhex(type_hex)       // type
           + unhex("1000")       // length 16
           + zeros(4)            // 4-7
           + unhex("e9030000")   // user id 1001 at 8
           + zeros(4);           // 12-15
}
const std::string market_session_query = status_query("5400");  // type 84
const std::string symbol_status_query = status_query("5700");   // type 87
const std::string session_id_query = unhex("5e00")              // type 94
                                     + unhex("2000")            // length 32
                                     + zeros(4)                 // 4-7
                                     + unhex("e9030000")        // user id 1001 at 8
                                     + field("S1", 17)          // session text at 12
                                     + unhex("66")              // market 102 at 29
                                     + zeros(2);                // 30-31

}  // namespace

TEST(SimAdapterAnswers, EveryTypeOfTheReceiveTableHasTheAdaptersLength) {
    using namespace hux_sim;
    const sim_config cfg;
    struct row {
        uint16_t type;
        size_t length;
        std::function<std::string()> build;
    };
    const std::vector<row> rows = {
        {1010, 120, [] { return order_insert_answer({}); }},
        {1011, 64, [] { return cancel_answer(1011, {}); }},
        {1012, 232, [] { return order_insert_market_answer({}); }},
        {1013, 144, [] { return cancel_market_answer(1013, {}); }},
        {1014, 136, [] { return execution_message(1014, {}); }},
        {1015, 158, [] { return order_message(1015, {}); }},
        {1016, 158, [] { return order_message(1016, {}); }},
        {1017, 136, [] { return execution_message(1017, {}); }},
        {1018, 152, [] { return adapter_quote_message(1018, {}); }},
        {1019, 64, [] { return cancel_answer(1019, {}); }},
        {1020, 233, [] { return adapter_quote_message(1020, {}); }},
        {1021, 145, [] { return cancel_market_answer(1021, {}); }},
        {1022, 232, [] { return adapter_quote_message(1022, {}); }},
        {1023, 232, [] { return adapter_quote_message(1023, {}); }},
        {1030, 92, [] { return special_order_answer({}); }},
        {1031, 65, [] { return cancel_answer(1031, {}); }},
        {1032, 200, [] { return special_order_market_answer({}); }},
        {1033, 148, [] { return cancel_market_answer(1033, {}); }},
        {1034, 137, [] { return special_order_message({}); }},
        {1070, 80, [&] { return sim_trade_server::logon_answer(cfg, 0); }},
        {1080, 56, [&] { return sim_trade_server::version_answer(cfg); }},
        {1084, 272, [] { return market_session_answer({}); }},
        {1085, 16, [] { return session_stat_report({}); }},
        {1086, 56, [] { return symbol_status_message(false, {}); }},
        {1087, 64, [] { return symbol_status_message(true, {}); }},
        {1089, 56, [] { return prod_status_report({}); }},
        {1090, 24, [&] { return sim_trade_server::heart_beat_setting_answer(cfg); }},
        {1094, 32, [] { return session_id_answer({}); }},
        {1200, 16, [&] { return sim_trade_server::heart_beat_answer(cfg); }},
        {2201, 144, [] { return internal_order_message({}); }},
        {2202, 158, [] { return order_message(2202, {}); }},
        {2203, 136, [] { return execution_message(2203, {}); }},
    };
    for (const row& r : rows) {
        const std::string m = r.build();
        EXPECT_EQ(m.size(), r.length) << r.type;
        EXPECT_EQ(le_at(m, 0, 2), r.type) << r.type;
        EXPECT_EQ(le_at(m, 2, 2), r.length) << r.type;
    }
    // The trade library's quote forms keep their own lengths; other types
    // have no short form.
    EXPECT_EQ(quote_insert_answer({}).size(), 216u);
    EXPECT_EQ(quote_insert_market_answer({}).size(), 296u);
    EXPECT_EQ(quote_market_report({}).size(), 296u);
    EXPECT_EQ(post_quote({}).size(), 296u);
    EXPECT_EQ(adapter_quote_message(1010, {}), "");
}

TEST(SimAdapterAnswers, OrderMessagesRepeatTheOrderAndCarryTheirOwnFields) {
    using namespace hux_sim;
    // 1010: the order, the reason mask and the order number.
    sim_order_answer accept;
    order_fields(accept);
    accept.user_id_low = 0xe9;
    accept.field_49 = 8;
    accept.result = 0x80000001;
    accept.order_no = 0x0102030405060708;
    const std::string accept_hex = "f203"                // type 1010
                                   "7800"                // length 120
                                   + order_echo_hex()    // bytes 4-99
                                   + "01000080"          // reason mask 0x80000001 at 100
                                   + "0807060504030201"  // order number at 104
                                   + hex(zeros(8));      // 112-119
    EXPECT_EQ(hex(order_insert_answer(accept)), accept_hex);

    // 1012: the exchange's order id, verdict, an exchange text filling its 81
    // bytes and the eight-byte value right behind it.
    sim_order_market_answer market;
    order_fields(market);
    market.user_id_low = 0xe9;
    market.field_49 = 8;
    market.exchange_order_id = "EX0001";
    market.result = 0xabcd;
    market.exchange_text = gb2312_text_81();
    market.value8 = "VAL-8BYT";
    const std::string market_hex = "f403"                            // type 1012
                                   "e800"                            // length 232
                                   + order_echo_hex()                // bytes 4-99
                                   + hex(field("EX0001", 24))        // exchange order id at 100
                                   + hex(zeros(8))                   // 124-131
                                   + "cdab0000"                      // verdict 0xabcd at 132
                                   + hex(gb2312_text_81())           // exchange text at 136, 81 bytes
                                   + "56414c2d38425954"              // "VAL-8BYT" at 217
                                   + hex(zeros(7));                  // 225-231
    EXPECT_EQ(hex(order_insert_market_answer(market)), market_hex);

    // 1015, 1016, 2202 (158 bytes) and 2201 (144) repeat the same bytes 4-99.
    sim_order report;
    order_fields(report);
    report.user_low = 0xe9;
    report.byte_49 = 8;
    report.exchange_order_id = "EX0002";
    report.byte_124 = 4;
    report.field_126 = 0x11111111;
    report.field_130 = 0x22222222;
    report.bytes_134 = "0123456789abcdef";
    for (uint16_t type : {1015, 1016, 2202}) {
        const std::string m = order_message(type, report);
        EXPECT_EQ(hex(m.substr(4, 96)), order_echo_hex()) << type;
        EXPECT_EQ(hex(m.substr(100)),
                  hex(field("EX0002", 24))             // exchange order id at 100
                      + "04"                           // status 4 at 124
                      + "00"                           // 125
                      + "11111111"                     // 126
                      + "22222222"                     // 32-bit value at 130
                      + hex("0123456789abcdef")        // eight-byte values at 134 and 142
                      + hex(zeros(8)))                 // 150-157
            << type;
    }
    sim_internal_order internal;
    order_fields(internal);
    internal.user_low = 0xe9;
    internal.byte_49 = 8;
    internal.order_no = 0x0102030405060708;
    internal.exchange_order_id = std::string(24, 'X');
    const std::string m = internal_order_message(internal);
    EXPECT_EQ(hex(m.substr(4, 96)), order_echo_hex());
    EXPECT_EQ(hex(m.substr(100)), hex(zeros(4))               // 100-103
                                      + "0807060504030201"    // order number at 104
                                      + hex(zeros(8))         // 112-119
                                      + hex(std::string(24, 'X')));  // exchange order id at 120, all 24 bytes
}

TEST(SimAdapterAnswers, CancelAnswersCarryTheExchangeTextBeforeTheirValue) {
    using namespace hux_sim;
    sim_cancel_market_answer v;
    cancel_fields(v);
    v.result = 0x103;
    v.exchange_text = gb2312_text_81();
    v.value8 = "ABCDEFGH";
    v.exchange_id = 102;
    const std::string tail_129 = hex("ABCDEFGH")  // eight-byte value at 129
                                 + "00"          // 137
                                 + "66";         // exchange id 102 at 138
    EXPECT_EQ(hex(cancel_market_answer(1013, v)), "f503"                  // type 1013
                                                  "9000"                  // length 144
                                                  + hex(cancel_echo())    // bytes 4-43
                                                  + "03010000"            // verdict 0x103 at 44
                                                  + hex(gb2312_text_81())  // exchange text at 48, 81 bytes
                                                  + tail_129              // 129-138
                                                  + hex(zeros(5)));       // 139-143
    EXPECT_EQ(hex(cancel_market_answer(1033, v)), "0904"                  // type 1033
                                                  "9400"                  // length 148
                                                  + hex(cancel_echo())    // bytes 4-43
                                                  + "03010000"            // verdict at 44
                                                  + hex(gb2312_text_81())  // exchange text at 48
                                                  + tail_129              // 129-138
                                                  + hex(zeros(9)));       // 139-147
    // The trading server's own answers: verdict and order number.
    sim_cancel_answer own;
    cancel_fields(own);
    own.result = 0x80000000;
    own.order_no = 77;
    EXPECT_EQ(hex(cancel_answer(1031, own)), "0704"                    // type 1031
                                             "4100"                    // length 65
                                             + hex(cancel_echo())      // bytes 4-43
                                             + "00000080"              // verdict at 44
                                             + "4d00000000000000"      // order number 77 at 48
                                             + hex(zeros(9)));         // 56-64
}

TEST(SimAdapterAnswers, ShortQuoteFormsPutTheirVerdictAt132) {
    using namespace hux_sim;
    sim_quote_answer v;
    v.request_tag = 0x21222324;
    v.client_token = 1001;
    v.account = "ACC1";
    v.symbol = "IF2409";
    v.quote_text_2 = "ABCDEFGHIJKLMNOPQRSTUVWX";  // 24 bytes at 128
    v.result = 0x40;
    const std::string head = "fa03"                   // type 1018
                             "9800"                   // length 152
                             "24232221"               // request tag at 4
                             + hex(zeros(36))         // 8-43
                             + "e9030000"             // client token 1001 at 44
                             + hex(zeros(8))          // 48-55
                             + hex(field("ACC1", 16))  // account at 56
                             + hex(field("IF2409", 20))  // symbol at 72
                             + hex(zeros(36));        // 92-127
    EXPECT_EQ(hex(adapter_quote_message(1018, v)), head
                                                       + hex("ABCD")                  // 128-131: second text
                                                       + "40000000"                   // verdict 0x40 at 132
                                                       + hex("IJKLMNOPQRSTUVWX"));    // 136-151: second text
    // 1020 likewise, zero behind; 1022 has no verdict and keeps the whole text.
    const std::string market = adapter_quote_message(1020, v);
    EXPECT_EQ(hex(market.substr(0, 4)), "fc03e900");  // type 1020, length 233
    EXPECT_EQ(hex(market.substr(128, 24)), hex("ABCD") + "40000000" + hex("IJKLMNOPQRSTUVWX"));
    EXPECT_EQ(market.substr(152), zeros(81));
    const std::string report = adapter_quote_message(1022, v);
    EXPECT_EQ(hex(report.substr(0, 4)), "fe03e800");  // type 1022, length 232
    EXPECT_EQ(report.substr(128, 24), "ABCDEFGHIJKLMNOPQRSTUVWX");
}

TEST(SimAdapterAnswers, StatusQueriesAreAnsweredFromTheConfiguration) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    plain_client c(sim.port());
    ASSERT_GE(c.fd, 0);

    // Nothing configured: one marked, empty 1084; a 1087 with only the end mark.
    ASSERT_TRUE(c.send(market_session_query + symbol_status_query));
    EXPECT_EQ(hex(c.read(272)), "3c04"              // type 1084
                                "1001"              // length 272
                                + hex(zeros(9))     // 4-12
                                + "01"              // last answer at 13
                                + hex(zeros(258)));  // 14-271
    EXPECT_EQ(hex(c.read(64)), "3f04"               // type 1087
                               "4000"               // length 64
                               + hex(zeros(55))     // 4-58
                               + "01"               // end mark at 59
                               + hex(zeros(4)));    // 60-63

    sim_config cfg;
    hux_sim::sim_market_sessions first;
    first.exchange_id = 101;
    first.count = 3;
    first.sessions = unhex("010203");
    first.last = 1;  // the server marks only the last one
    hux_sim::sim_market_sessions second;
    second.exchange_id = 102;
    second.count = 255;
    second.sessions = std::string(255, '\x7f');
    cfg.market_sessions = {first, second};
    hux_sim::sim_symbol_status status;
    status.first = 0x81;
    status.symbol = "SR409C5000-ABCDEFGHI";  // all 20 bytes
    status.byte_a = 0x82;
    status.value = -2;
    status.short_text = "123456789";  // all 9 bytes
    status.byte_b = 0x83;
    status.end_mark = 1;  // cleared by the server: entries carry none
    hux_sim::sim_symbol_status other;
    other.symbol = "IF2409";
    cfg.symbol_statuses = {status, other};
    cfg.session_id.session = "ABCDEFGHIJKLMNOPQ";  // all 17 bytes
    cfg.session_id.byte_a = 0xfe;
    cfg.session_id.byte_b = 0x81;
    ASSERT_TRUE(sim.set_config(cfg));

    ASSERT_TRUE(c.send(market_session_query));
    EXPECT_EQ(hex(c.read(272)), "3c04"                // type 1084
                                "1001"                // length 272
                                + hex(zeros(8))       // 4-11
                                + "65"                // exchange 101 at 12
                                + "00"                // not the last at 13
                                + "03"                // 3 sessions at 14
                                + "010203"            // session bytes at 15 ...
                                + hex(zeros(252))     // ... to 269
                                + hex(zeros(2)));     // 270-271
    const std::string last = c.read(272);
    ASSERT_EQ(last.size(), 272u);
    EXPECT_EQ(hex(last.substr(12, 3)), "6601ff");  // exchange 102, last, 255 sessions
    EXPECT_EQ(last.substr(15, 255), std::string(255, '\x7f'));

    ASSERT_TRUE(c.send(symbol_status_query));
    EXPECT_EQ(hex(c.read(64)), "3f04"                                // type 1087
                               "4000"                                // length 64
                               + hex(zeros(8))                       // 4-11
                               + "81"                                // first field at 12
                               + hex("SR409C5000-ABCDEFGHI")         // symbol at 13, 20 bytes
                               + hex(zeros(11))                      // 33-43
                               + "82"                                // byte at 44
                               + "feffffff"                          // int32 -2 at 45
                               + hex("123456789")                    // short text at 49, 9 bytes
                               + "83"                                // byte at 58
                               + "00"                                // no end mark at 59
                               + hex(zeros(4)));                     // 60-63
    const std::string second_status = c.read(64);
    EXPECT_EQ(second_status.substr(13, 20), field("IF2409", 20));
    EXPECT_EQ(second_status[59], 0);
    const std::string end = c.read(64);
    ASSERT_EQ(end.size(), 64u);
    EXPECT_EQ(end.substr(4), zeros(55) + "\x01" + zeros(4));  // the end mark alone

    ASSERT_TRUE(c.send(session_id_query));
    EXPECT_EQ(hex(c.read(32)), "4604"                        // type 1094
                               "2000"                        // length 32
                               + hex(zeros(8))               // 4-11
                               + hex("ABCDEFGHIJKLMNOPQ")    // session text at 12, 17 bytes
                               + "00"                        // 29
                               + "fe"                        // byte at 30
                               + "81");                      // byte at 31

    // Recorded by their fixed lengths, with a heart-beat behind them in one write.
    ASSERT_TRUE(c.send(session_id_query + heart_beat(9)));
    EXPECT_EQ(c.read(32).size(), 32u);
    EXPECT_EQ(c.read(16), heart_beat_answer());
    EXPECT_EQ(sim.count(0, hux_sim::msg_query_market_session), 2u);
    EXPECT_EQ(sim.count(0, hux_sim::msg_query_symbol_status), 2u);
    EXPECT_EQ(sim.count(0, hux_sim::msg_query_session_id), 2u);
    EXPECT_EQ(sim.last_message(0, hux_sim::msg_query_session_id), session_id_query);
    EXPECT_EQ(sim.unknown_count(0), 0u);

    // Texts too long for their fields are refused.
    sim_config bad = cfg;
    bad.session_id.session = std::string(18, 'S');
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.symbol_statuses[0].short_text = "1234567890";
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.symbol_statuses[0].symbol = std::string(21, 'S');
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.market_sessions[0].sessions = std::string(256, '\x01');
    EXPECT_FALSE(sim.set_connection_config(0, bad));
    EXPECT_EQ(sim.config().session_id.session, "ABCDEFGHIJKLMNOPQ");
}

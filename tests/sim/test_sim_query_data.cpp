// The simulated server answering the account queries from its data, over
// plain sockets: every series in order with its closing message and flag,
// golden bytes for one item of each answer type, the request number echoed
// in both position series, the quote rewind after the order rewind, 1075 or
// 1063 by the setting, buying power with its pushes, the risk answers with
// every entry distinct and at its offset; the risk tables' geometry; the
// settings file's query data keys and the lines they refuse.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_query_answers.h"
#include "sim/sim_risk_tables.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"

using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using namespace hux_test::net;
using namespace std::chrono;

namespace {

// How long a wait for the server may take.
milliseconds wait_ms() { return hux_test::test_wait(); }

// A text in a zero-filled field of `width` bytes.
std::string field(const std::string& text, size_t width) { return text + zeros(width - text.size()); }

// Reads exactly n bytes or fails the test with what came.
std::string read_all(const plain_client& c, size_t n) {
    std::string got = c.read(n);
    EXPECT_EQ(got.size(), n);
    return got;
}

// The 16-byte queries (71, 72) of user 1001.
std::string short_query(const char* type_hex) {
    return unhex(type_hex)             // type
           + unhex("1000")             // length 16
           + zeros(4)                  // 4-7
           + unhex("e9030000")         // user id 1001 at 8
           + zeros(4);                 // 12-15
}

// The 32-byte account queries (73, 74, 75, 77, 78).
std::string account_query(const char* type_hex, const char* at_4_hex, const std::string& account) {
    return unhex(type_hex)             // type
           + unhex("2000")             // length 32
           + unhex(at_4_hex)           // request number (73) or zero at 4
           + unhex("e9030000")         // user id 1001 at 8
           + field(account, 16)        // account at 12
           + zeros(4);                 // 28-31
}

// The 28-byte buying-power and account risk queries (81, 82).
std::string short_account_query(const char* type_hex, const char* at_4_hex, const std::string& account) {
    return unhex(type_hex)             // type
           + unhex("1c00")             // length 28
           + unhex(at_4_hex)           // request number or first argument at 4
           + unhex("e9030000")         // user id 1001 at 8
           + field(account, 16);       // account at 12
}

// The 48-byte symbol risk query (83).
std::string symbol_risk_query(const std::string& account) {
    return unhex("5300")               // type 83
           + unhex("3000")             // length 48
           + zeros(4)                  // 4-7
           + unhex("e9030000")         // user id 1001 at 8
           + field(account, 16)        // account at 12
           + zeros(20);                // 28-47
}

// The password change, to see what comes before its 1069.
std::string change_password() {
    return unhex("4500")               // type 69
           + unhex("5000")             // length 80
           + zeros(76);                // user id and digests left zero
}
const std::string password_changed = unhex("2d04")  // type 1069
                                     + unhex("1000")  // length 16
                                     + zeros(12);     // 4-11, result 0 at 12

// A closing message of `length` bytes: only its end flag is set, and in the
// position series the request number.
std::string closing(const char* type_hex, size_t length, const char* flag_hex, const char* number_hex = "00000000") {
    return unhex(type_hex)                                      // type
           + static_cast<char>(length & 0xff) + static_cast<char>(length >> 8)  // length
           + unhex(number_hex)                                  // request number or zero at 4
           + unhex(flag_hex)                                    // end flag at 8
           + zeros(length - 9);                                 // 9 to the end: no item
}

sim_config parsed(const std::string& script) {
    sim_config cfg;
    std::string error;
    EXPECT_TRUE(hux_sim::parse_script(script, cfg, error)) << error;
    return cfg;
}

}  // namespace

TEST(SimQueryData, ListQueriesGetTheirSeriesEachClosedWithItsFlag) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    const sim_config cfg = parsed(
        "answer_queries 1\n"
        "user_account account=ACC1 field_29=7 amounts=1,-2,0.5,0,0,0.25\n"
        "user_account end_flag=0 account=ACCOUNT-16-BYTES\n"
        "symbol_info kind=2 symbol=m2409-C-3000 text_30=soymeal exchange_id=104 field_52=16909060 field_84=513 "
        "byte_86=9 fields_87=1,2,3,4,5 value_107=2 fields_115=6,7,8 field_127=4294967295 field_131=65536 "
        "byte_135=255 byte_136=128\n"
        "symbol_info kind=1 symbol=IF2409 exchange_id=101\n"
        "symbol_info_end 2\n"
        "account_margin account=ACC1 byte_25=1 symbol=IF2409 byte_46=2 field_47=3 values=0.5,1.5\n"
        "account_margin_end 255\n"
        "account_fee account=ACC1 byte_25=4 symbol=SR409 byte_46=5 field_47=6 values=1,2,3,4,8,16 byte_127=1\n");
    ASSERT_TRUE(sim.set_config(cfg));

    plain_client q(sim.query_port());
    ASSERT_TRUE(q.send(short_query("4700") + short_query("4800") + account_query("4d00", "00000000", "ACC1") +
                       account_query("4e00", "00000000", "ACC1")));

    // 71: two accounts, then the closing 1071 with the default flag 1.
    EXPECT_EQ(hex(read_all(q, 88)), "2f04"                       // type 1071
                                    "5800"                       // length 88
                                    + hex(zeros(4))              // 4-7
                                    + "00"                       // end flag 0 at 8
                                    + hex(zeros(4))              // 9-12
                                    + hex(field("ACC1", 16))     // account at 13
                                    + "07000000"                 // 7 at 29
                                    + "000000000000f03f"         // 1.0 at 33
                                    + "00000000000000c0"         // -2.0 at 41
                                    + "000000000000e03f"         // 0.5 at 49
                                    + hex(zeros(16))             // 0.0 at 57 and 65
                                    + "000000000000d03f"         // 0.25 at 73
                                    + hex(zeros(7)));            // 81-87
    EXPECT_EQ(hex(read_all(q, 88)), "2f04"                       // type 1071
                                    "5800"                       // length 88
                                    + hex(zeros(5))              // 4-7, end flag 0 at 8
                                    + hex(zeros(4))              // 9-12
                                    + hex("ACCOUNT-16-BYTES")    // account at 13, fills its field
                                    + hex(zeros(59)));           // 29-87
    EXPECT_EQ(hex(read_all(q, 88)), hex(closing("2f04", 88, "01")));  // 1071 closed with 1

    // 72: an option (kind 2) and a future, then the closing 1072 with flag 2.
    EXPECT_EQ(hex(read_all(q, 139)), "3004"                      // type 1072
                                     "8b00"                      // length 139
                                     + hex(zeros(4))             // 4-7
                                     + "00"                      // end flag 0 at 8
                                     + "02"                      // kind 2 (option) at 9
                                     + hex(field("m2409-C-3000", 20))  // symbol at 10
                                     + hex(field("soymeal", 21))  // second text at 30
                                     + "68"                      // exchange 104 at 51
                                     + "04030201"                // 0x01020304 at 52
                                     + hex(zeros(28))            // 56-83
                                     + "0102"                    // 513 at 84
                                     + "09"                      // 9 at 86
                                     + "01000000"                // 1 at 87
                                     + "02000000"                // 2 at 91
                                     + "03000000"                // 3 at 95
                                     + "04000000"                // 4 at 99
                                     + "05000000"                // 5 at 103
                                     + "0000000000000040"        // 2.0 at 107
                                     + "06000000"                // 6 at 115
                                     + "07000000"                // 7 at 119
                                     + "08000000"                // 8 at 123
                                     + "ffffffff"                // 4294967295 at 127
                                     + "00000100"                // 65536 at 131
                                     + "ff"                      // 255 at 135
                                     + "80"                      // 128 at 136
                                     + hex(zeros(2)));           // 137-138
    EXPECT_EQ(hex(read_all(q, 139)), "3004"                      // type 1072
                                     "8b00"                      // length 139
                                     + hex(zeros(4))             // 4-7
                                     + "00"                      // end flag 0 at 8
                                     + "01"                      // kind 1 at 9
                                     + hex(field("IF2409", 20))  // symbol at 10
                                     + hex(zeros(21))            // no second text at 30
                                     + "65"                      // exchange 101 at 51
                                     + hex(zeros(87)));          // 52-138
    EXPECT_EQ(hex(read_all(q, 139)), hex(closing("3004", 139, "02")));  // 1072 closed with 2

    // 77: one margin item (its first two values), closed with flag 255.
    EXPECT_EQ(hex(read_all(q, 96)), "3504"                       // type 1077
                                    "6000"                       // length 96
                                    + hex(zeros(4))              // 4-7
                                    + "00"                       // end flag 0 at 8
                                    + hex(field("ACC1", 16))     // account at 9
                                    + "01"                       // 1 at 25
                                    + hex(field("IF2409", 20))   // symbol at 26
                                    + "02"                       // 2 at 46
                                    + "03000000"                 // 3 at 47
                                    + hex(zeros(28))             // 51-78
                                    + "000000000000e03f"         // 0.5 at 79
                                    + "000000000000f83f"         // 1.5 at 87
                                    + "00");                     // 95
    EXPECT_EQ(hex(read_all(q, 96)), hex(closing("3504", 96, "ff")));  // 1077 closed with 255

    // 78: one fee item, all six values and the byte at 127, closed with 1.
    EXPECT_EQ(hex(read_all(q, 128)), "3604"                      // type 1078
                                     "8000"                      // length 128
                                     + hex(zeros(4))             // 4-7
                                     + "00"                      // end flag 0 at 8
                                     + hex(field("ACC1", 16))    // account at 9
                                     + "04"                      // 4 at 25
                                     + hex(field("SR409", 20))   // symbol at 26
                                     + "05"                      // 5 at 46
                                     + "06000000"                // 6 at 47
                                     + hex(zeros(28))            // 51-78
                                     + "000000000000f03f"        // 1.0 at 79
                                     + "0000000000000040"        // 2.0 at 87
                                     + "0000000000000840"        // 3.0 at 95
                                     + "0000000000001040"        // 4.0 at 103
                                     + "0000000000002040"        // 8.0 at 111
                                     + "0000000000003040"        // 16.0 at 119
                                     + "01");                    // 1 at 127
    EXPECT_EQ(hex(read_all(q, 128)), hex(closing("3604", 128, "01")));  // 1078 closed with 1

    // A connection with the data switched off answers none of them: the
    // password change behind them is the first thing it gets.
    sim_config off = cfg;
    off.query_data.answer = false;
    ASSERT_TRUE(sim.set_query_connection_config(1, off));
    plain_client quiet(sim.query_port());
    ASSERT_TRUE(quiet.send(short_query("4700") + short_query("4800") + change_password()));
    EXPECT_EQ(hex(read_all(quiet, 16)), hex(password_changed));

    // A script for a type wins over the data, for that type only; the length
    // field setting marks the data's answers too.
    sim_config scripted = cfg;
    scripted.query_answers[hux_sim::msg_query_user_account] = {hux_sim::opaque_query_answer(1099)};
    scripted.length_field = 9;
    ASSERT_TRUE(sim.set_query_connection_config(2, scripted));
    plain_client other(sim.query_port());
    ASSERT_TRUE(other.send(short_query("4700") + account_query("4d00", "00000000", "ACC1")));
    EXPECT_EQ(hex(read_all(other, 64)), "4b04"                   // type 1099
                                        "0900"                   // length field 9
                                        + hex(zeros(60)));       // 4-63
    const std::string margin = read_all(other, 96 * 2);
    EXPECT_EQ(hex(margin.substr(0, 4)), "35040900");             // 1077, length field 9
    EXPECT_EQ(hex(margin.substr(96, 9)), "35040900" + hex(zeros(4)) + "ff");  // its closing message
    ASSERT_TRUE(sim.wait_for_query_message(2, hux_sim::msg_query_margin, 1, wait_ms()));
    EXPECT_EQ(sim.query_count(0, hux_sim::msg_query_fee), 1u);
}

TEST(SimQueryData, PositionsComeAsTwoSeriesEchoingTheRequestNumber) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    sim_config cfg;
    cfg.query_data.answer = true;
    hux_sim::sim_future_position f;
    f.request_no = 999;  // the request's number replaces it
    f.account = "ACC1";
    f.symbol = "IF2409";
    f.byte_53 = 1;
    f.field_54 = 2;
    f.fields_66 = {3, 4, 5, 6};
    f.value_82 = 0.5;
    f.value_90 = -1.0;
    f.value_138 = 100.0;
    f.byte_146 = 7;
    hux_sim::sim_future_position g;
    g.symbol = "IC2409";
    cfg.query_data.future_positions = {f, g};
    cfg.query_data.future_position_end = 2;
    hux_sim::sim_option_position o;
    o.account = "ACC1";
    o.exchange_id = 103;
    o.symbol = "SR409C5000";
    o.number_text = "12345";
    o.byte_95 = 1;
    o.field_96 = 2;
    o.field_108 = 3;
    o.quantity_a = 10;
    o.fields_116 = {4, 5, 6};
    o.value_128 = 0.25;
    o.value_136 = 0.75;
    o.field_144 = 7;
    o.quantity_b = 20;
    o.value_152 = 8.0;
    o.byte_160 = 9;
    cfg.query_data.option_positions = {o};
    ASSERT_TRUE(sim.set_config(cfg));

    plain_client q(sim.query_port());
    ASSERT_TRUE(q.send(account_query("4900", "78563412", "ACC1")));  // request number 0x12345678
    EXPECT_EQ(hex(read_all(q, 152)), "3104"                       // type 1073
                                     "9800"                       // length 152
                                     "78563412"                   // request number at 4
                                     "00"                         // end flag 0 at 8
                                     + hex(zeros(4))              // 9-12
                                     + hex(field("ACC1", 16))     // account at 13
                                     + hex(zeros(4))              // 29-32
                                     + hex(field("IF2409", 20))   // symbol at 33
                                     + "01"                       // 1 at 53
                                     + "02000000"                 // 2 at 54
                                     + hex(zeros(8))              // 58-65
                                     + "03000000"                 // 3 at 66
                                     + "04000000"                 // 4 at 70
                                     + "05000000"                 // 5 at 74
                                     + "06000000"                 // 6 at 78
                                     + "000000000000e03f"         // 0.5 at 82
                                     + "000000000000f0bf"         // -1.0 at 90
                                     + hex(zeros(40))             // 98-137
                                     + "0000000000005940"         // 100.0 at 138
                                     + "07"                       // 7 at 146
                                     + hex(zeros(5)));            // 147-151
    EXPECT_EQ(hex(read_all(q, 152)), "3104"                       // type 1073
                                     "9800"                       // length 152
                                     "78563412"                   // request number at 4
                                     "00"                         // end flag 0 at 8
                                     + hex(zeros(24))             // 9-32: no account
                                     + hex(field("IC2409", 20))   // symbol at 33
                                     + hex(zeros(99)));           // 53-151
    EXPECT_EQ(hex(read_all(q, 152)), hex(closing("3104", 152, "02", "78563412")));  // 1073 closed with 2
    EXPECT_EQ(hex(read_all(q, 167)), "4404"                       // type 1092
                                     "a700"                       // length 167
                                     "78563412"                   // request number at 4
                                     "00"                         // end flag 0 at 8
                                     + hex(zeros(4))              // 9-12
                                     + hex(field("ACC1", 16))     // account at 13
                                     + hex(zeros(4))              // 29-32
                                     + "67000000"                 // exchange 103 at 33
                                     + hex(field("SR409C5000", 49))  // option symbol at 37
                                     + hex(field("12345", 9))     // number text at 86
                                     + "01"                       // 1 at 95
                                     + "02000000"                 // 2 at 96
                                     + hex(zeros(8))              // 100-107
                                     + "03000000"                 // 3 at 108
                                     + "0a000000"                 // quantity A 10 at 112
                                     + "04000000"                 // 4 at 116
                                     + "05000000"                 // 5 at 120
                                     + "06000000"                 // 6 at 124
                                     + "000000000000d03f"         // 0.25 at 128
                                     + "000000000000e83f"         // 0.75 at 136
                                     + "07000000"                 // 7 at 144
                                     + "14000000"                 // quantity B 20 at 148
                                     + "0000000000002040"         // 8.0 at 152
                                     + "09"                       // 9 at 160
                                     + hex(zeros(6)));            // 161-166
    EXPECT_EQ(hex(read_all(q, 167)), hex(closing("4404", 167, "01", "78563412")));  // 1092 closed with 1

    // Without positions each series is its closing message alone, still
    // carrying the request number (-5), futures first.
    sim_config empty;
    empty.query_data.answer = true;
    empty.query_data.option_position_end = 3;
    ASSERT_TRUE(sim.set_query_connection_config(1, empty));
    plain_client none(sim.query_port());
    ASSERT_TRUE(none.send(account_query("4900", "fbffffff", "ACC1") + change_password()));
    EXPECT_EQ(hex(read_all(none, 152 + 167 + 16)),
              hex(closing("3104", 152, "01", "fbffffff")     // 1073 closed with 1, request number -5
                  + closing("4404", 167, "03", "fbffffff")   // 1092 closed with 3, request number -5
                  + password_changed));                      // nothing else came
}

TEST(SimQueryData, RewindsCloseTheirSeriesAndTheQuoteRewindFollowsTheOrders) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    const std::string script =
        "answer_queries 1\n"
        "rewind_order field_9=1 value_13=-2 field_21=3 byte_25=4 symbol=IF2409 byte_47=5 field_48=6 value_52=0.5 "
        "byte_60=7 byte_69=2 field_70=8 account=ACC1 byte_90=9 byte_91=10 value_93=1099511627776 field_101=11 "
        "field_105=12 values_109=-1,2,-3 field_133=13\n"
        "rewind_order end_flag=2 field_9=99\n"
        "rewind_quote 1\n"
        "rewind_execution field_9=1 account=ACC1 value_29=-2 field_37=3 field_41=4 field_45=5 value_49=1.5 "
        "text_57=EXEC-0001 text_83=TRADER-7 byte_103=66\n";
    const sim_config cfg = parsed(script);
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client q(sim.query_port());
    ASSERT_TRUE(q.send(account_query("4a00", "00000000", "ACC1") + account_query("4b00", "00000000", "ACC1")));

    EXPECT_EQ(hex(read_all(q, 144)), "3204"                       // type 1074
                                     "9000"                       // length 144
                                     + hex(zeros(4))              // 4-7
                                     + "00"                       // end flag 0 at 8
                                     + "01000000"                 // 1 at 9
                                     + "feffffffffffffff"         // -2 at 13
                                     + "03000000"                 // 3 at 21
                                     + "04"                       // 4 at 25
                                     + hex(field("IF2409", 21))   // symbol at 26
                                     + "05"                       // 5 at 47
                                     + "06000000"                 // 6 at 48
                                     + "000000000000e03f"         // 0.5 at 52
                                     + "07"                       // 7 at 60
                                     + hex(zeros(8))              // 61-68
                                     + "02"                       // coded byte 2 at 69
                                     + "08000000"                 // 8 at 70
                                     + hex(field("ACC1", 16))     // account at 74
                                     + "09"                       // 9 at 90
                                     + "0a"                       // 10 at 91
                                     + "00"                       // 92
                                     + "0000000000010000"         // 2^40 at 93
                                     + "0b000000"                 // 11 at 101
                                     + "0c000000"                 // 12 at 105
                                     + "ffffffffffffffff"         // -1 at 109
                                     + "0200000000000000"         // 2 at 117
                                     + "fdffffffffffffff"         // -3 at 125
                                     + "0d000000"                 // 13 at 133
                                     + hex(zeros(7)));            // 137-143
    // Flag 2 on a rewind item: an ordinary order to the client, sent as scripted.
    EXPECT_EQ(hex(read_all(q, 144)), "3204"                       // type 1074
                                     "9000"                       // length 144
                                     + hex(zeros(4))              // 4-7
                                     + "02"                       // end flag 2 at 8
                                     + "63000000"                 // 99 at 9
                                     + hex(zeros(131)));          // 13-143
    EXPECT_EQ(hex(read_all(q, 144)), hex(closing("3204", 144, "01")));  // 1074 closed with 1
    EXPECT_EQ(hex(read_all(q, 200)), "4704"                       // type 1095
                                     "c800"                       // length 200
                                     + hex(zeros(196)));          // 4-199
    // 75 as 1075: the text runs to the end, the 1063's fields are not sent.
    EXPECT_EQ(hex(read_all(q, 88)), "3304"                        // type 1075
                                    "5800"                        // length 88
                                    + hex(zeros(4))               // 4-7
                                    + "00"                        // end flag 0 at 8
                                    + "01000000"                  // 1 at 9
                                    + hex(field("ACC1", 16))      // account at 13
                                    + "feffffffffffffff"          // -2 at 29
                                    + "03000000"                  // 3 at 37
                                    + "04000000"                  // 4 at 41
                                    + "05000000"                  // 5 at 45
                                    + "000000000000f83f"          // 1.5 at 49
                                    + hex(field("EXEC-0001", 31)));  // text at 57
    EXPECT_EQ(hex(read_all(q, 88)), hex(closing("3304", 88, "01")));  // 1075 closed with 1

    // Another connection: 1063 with closing flag 2, no quote rewind.
    const sim_config extended = parsed(script + "rewind_execution_type 1063\nrewind_execution_end 2\nrewind_quote 0\n");
    ASSERT_TRUE(sim.set_query_connection_config(1, extended));
    plain_client x(sim.query_port());
    ASSERT_TRUE(x.send(account_query("4a00", "00000000", "ACC1") + account_query("4b00", "00000000", "ACC1")));
    const std::string orders = read_all(x, 3 * 144);
    EXPECT_EQ(hex(orders.substr(2 * 144, 9)), "32049000" + hex(zeros(4)) + "01");  // the closing 1074
    EXPECT_EQ(hex(read_all(x, 112)), "2704"                       // type 1063 (no 1095 before it)
                                     "7000"                       // length 112
                                     + hex(zeros(4))              // 4-7
                                     + "00"                       // end flag 0 at 8
                                     + "01000000"                 // 1 at 9
                                     + hex(field("ACC1", 16))     // account at 13
                                     + "feffffffffffffff"         // -2 at 29
                                     + "03000000"                 // 3 at 37
                                     + "04000000"                 // 4 at 41
                                     + "05000000"                 // 5 at 45
                                     + "000000000000f83f"         // 1.5 at 49
                                     + hex(field("EXEC-0001", 26))  // text at 57
                                     + hex(field("TRADER-7", 20))   // text at 83
                                     + "42"                       // 66 at 103
                                     + hex(zeros(8)));            // 104-111
    EXPECT_EQ(hex(read_all(x, 112)), hex(closing("2704", 112, "02")));  // 1063 closed with 2
}

TEST(SimQueryData, BuyingPowerEchoesItsRequestAndPushesComeAfterItOrOnDemand) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    sim_config cfg;
    cfg.query_data.answer = true;
    cfg.query_data.buying_power.figures[0] = 1.0;
    cfg.query_data.buying_power.figures[8] = -0.25;
    cfg.query_data.buying_power.flag = 3;
    cfg.query_data.bp_push.account = "PUSH";
    cfg.query_data.bp_push.figures[1] = 2.0;
    cfg.query_data.bp_push_after = hux_sim::msg_query_account_bp;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client q(sim.query_port());

    const std::string push = unhex("4504")                      // type 1093
                             + unhex("6c00")                    // length 108
                             + zeros(4)                         // request number 0 at 4
                             + zeros(4)                         // 8-11
                             + field("PUSH", 16)                // account at 12
                             + zeros(4)                         // 28-31
                             + zeros(8)                         // 0.0 at 32
                             + unhex("0000000000000040")        // 2.0 at 40
                             + zeros(56)                        // 48-103
                             + zeros(4);                        // 104-107
    ASSERT_TRUE(q.send(short_account_query("5100", "2b000000", "ACC1")));  // request number 43
    EXPECT_EQ(hex(read_all(q, 108)), "3904"                       // type 1081
                                     "6c00"                       // length 108
                                     "2b000000"                   // request number 43 at 4
                                     + hex(zeros(4))              // 8-11
                                     + hex(field("ACC1", 16))     // the request's account at 12
                                     + hex(zeros(4))              // 28-31
                                     + "000000000000f03f"         // 1.0 at 32
                                     + hex(zeros(56))             // 40-95
                                     + "000000000000d0bf"         // -0.25 at 96
                                     + "03"                       // 3 at 104
                                     + hex(zeros(3)));            // 105-107
    EXPECT_EQ(hex(read_all(q, 108)), hex(push));

    // A 16-character request account is echoed whole; -1 as the number.
    ASSERT_TRUE(q.send(short_account_query("5100", "ffffffff", "ACCOUNT-16-BYTES")));
    const std::string second = read_all(q, 108);
    EXPECT_EQ(hex(second.substr(0, 8)), "39046c00ffffffff");     // 1081, request number -1
    EXPECT_EQ(second.substr(12, 16), "ACCOUNT-16-BYTES");
    EXPECT_EQ(hex(read_all(q, 108)), hex(push));

    // On demand, with the values given; then the next answer is still whole.
    hux_sim::sim_account_bp now;
    now.request_no = 7;
    now.account = "ACC9";
    now.figures[2] = 0.5;
    ASSERT_TRUE(sim.push_account_bp(0, now));
    const std::string pushed = read_all(q, 108);
    EXPECT_EQ(hex(pushed.substr(0, 8)), "45046c0007000000");     // 1093, 7 sent as given
    EXPECT_EQ(pushed.substr(12, 16), field("ACC9", 16));
    EXPECT_EQ(hex(pushed.substr(48, 8)), "000000000000e03f");    // 0.5 at 48
    EXPECT_FALSE(sim.push_account_bp(5, now));                   // no such connection

    // A push after another request type, with no answer of its own.
    sim_config after_72 = cfg;
    after_72.query_data.answer = false;
    after_72.query_data.bp_push_after = hux_sim::msg_query_symbol;
    ASSERT_TRUE(sim.set_query_connection_config(1, after_72));
    plain_client other(sim.query_port());
    ASSERT_TRUE(other.send(short_account_query("5100", "01000000", "ACC1") + short_query("4800")));
    EXPECT_EQ(hex(read_all(other, 108)), hex(push));
}

TEST(SimQueryData, RiskAnswersHoldEveryEntryDistinctAtItsOffset) {
    using hux_sim::risk_kind;
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    const sim_config cfg = parsed(
        "answer_queries 1\n"
        "account_risk fill=1000\n"
        "symbol_risk field_8=77 symbol=IF2409 fill=5000\n");
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client q(sim.query_port());
    ASSERT_TRUE(q.send(short_account_query("5200", "07000000", "ACC1") + symbol_risk_query("ACC1")));

    const std::string a = read_all(q, 1006);
    ASSERT_EQ(a.size(), 1006u);
    EXPECT_EQ(hex(a.substr(0, 24)), "3a04"                        // type 1082
                                    "ee03"                        // length 1006
                                    + hex(zeros(4))               // 4-7
                                    + hex(field("ACC1", 16)));    // the request's account at 8
    // A handful by hand: entry 0 (uint32), 1 (int64), 2, 34 and 90 (doubles),
    // 51 and 117 (int64).
    EXPECT_EQ(hex(a.substr(24, 4)), "e8030000");                  // 1000 at 24
    EXPECT_EQ(hex(a.substr(28, 8)), "e903000000000000");          // 1001 at 28
    EXPECT_EQ(hex(a.substr(324, 8)), "0000000000508f40");         // 1002.0 at 324
    EXPECT_EQ(hex(a.substr(948, 8)), "0000000000289040");         // 1034.0 at 948
    EXPECT_EQ(hex(a.substr(36, 8)), "0000000000089140");          // 1090.0 at 36
    EXPECT_EQ(hex(a.substr(956, 8)), "1b04000000000000");         // 1051 at 956
    EXPECT_EQ(hex(a.substr(508, 8)), "5d04000000000000");         // 1117 at 508

    const std::string s = read_all(q, 448);
    ASSERT_EQ(s.size(), 448u);
    EXPECT_EQ(hex(s.substr(0, 48)), "3b04"                        // type 1083
                                    "c001"                        // length 448
                                    + hex(zeros(4))               // 4-7
                                    + "88130000"                  // entry 0: 5000 at 8, over the 77
                                    + hex(field("ACC1", 16))      // the request's account at 12
                                    + hex(field("IF2409", 20)));  // symbol at 28
    EXPECT_EQ(hex(s.substr(48, 8)), "8913000000000000");          // entry 1: 5001 at 48
    EXPECT_EQ(hex(s.substr(168, 4)), "97130000");                 // entry 15: 5015 at 168
    EXPECT_EQ(hex(s.substr(360, 8)), "0000000000b9b340");         // entry 49: 5049.0 at 360

    // Every entry: the value of its index in its form at its offset, no two
    // alike, and not one byte written outside the entries and the texts.
    struct table {
        const std::string* message;
        const hux_sim::sim_risk_entry* entries;
        size_t count;
        uint64_t base;
        size_t texts_end;
    };
    for (const table& t : {table{&a, hux_sim::account_risk_entries(), hux_sim::account_risk_entry_count, 1000, 24},
                           table{&s, hux_sim::symbol_risk_entries(), hux_sim::symbol_risk_entry_count, 5000, 48}}) {
        std::set<std::string> values;
        std::string rest = *t.message;
        for (size_t i = 0; i < t.count; ++i) {
            const hux_sim::sim_risk_entry& e = t.entries[i];
            const size_t width = e.kind == risk_kind::u32 ? 4 : 8;
            const std::string got = t.message->substr(e.wire, width);
            uint64_t want_bits = t.base + i;
            if (e.kind == risk_kind::f64) {
                const double d = static_cast<double>(t.base + i);
                std::memcpy(&want_bits, &d, sizeof(d));
            }
            EXPECT_EQ(le_at(got, 0, width), want_bits) << "entry " << i << " at " << e.wire;
            values.insert(got);
            rest.replace(e.wire, width, zeros(width));
        }
        EXPECT_EQ(values.size(), t.count);
        rest.replace(0, t.texts_end, zeros(t.texts_end));
        EXPECT_EQ(rest, zeros(rest.size()));
    }
}

TEST(SimQueryData, RiskTablesCoverTheRecordsAndTheMessagesExactly) {
    using hux_sim::risk_kind;
    // 1082: the record runs from 17 (after the account) to 957 without a gap;
    // the message's values fill 24..995 except the three ranges the client
    // does not read (620-635, 660-667, 860-867).
    // 1083: the record holds a uint32 at 0, the texts at 4..40 and values
    // from 41 to 417; the message's values fill 8..11 and 48..447 except
    // 280-287, 336-343 and 368-375. The tables' types counted: 1082 has one
    // uint32, 79 int64 and 38 doubles, 1083 five uint32, 10 int64 and 35
    // doubles.
    struct layout {
        const hux_sim::sim_risk_entry* entries;
        size_t count;
        size_t message_length;
        std::vector<std::pair<size_t, size_t>> record_values;  // [from, to)
        std::vector<std::pair<size_t, size_t>> wire_values;
        std::array<size_t, 3> kinds;  // uint32, int64, double entries
    };
    const layout layouts[] = {
        {hux_sim::account_risk_entries(), hux_sim::account_risk_entry_count, 1006, {{17, 957}},
         {{24, 620}, {636, 660}, {668, 860}, {868, 996}}, {{1, 79, 38}}},
        {hux_sim::symbol_risk_entries(), hux_sim::symbol_risk_entry_count, 448, {{0, 4}, {41, 417}},
         {{8, 12}, {48, 280}, {288, 336}, {344, 368}, {376, 448}}, {{5, 10, 35}}},
    };
    for (const layout& l : layouts) {
        std::vector<int> record_owner(l.record_values.back().second, -1);
        std::vector<int> wire_owner(l.message_length, -1);
        size_t widths = 0;
        size_t previous_record = 0;
        std::array<size_t, 3> kinds{};
        for (size_t i = 0; i < l.count; ++i) {
            const hux_sim::sim_risk_entry& e = l.entries[i];
            const size_t width = hux_sim::risk_width(e.kind);
            EXPECT_EQ(width, e.kind == risk_kind::u32 ? 4u : 8u);
            if (i > 0) {
                EXPECT_GT(e.record, previous_record) << "entry " << i << ": not in record order";
            }
            ++kinds[static_cast<size_t>(e.kind)];
            previous_record = e.record;
            widths += width;
            ASSERT_LE(e.record + width, record_owner.size()) << "entry " << i;
            ASSERT_LE(e.wire + width, l.message_length) << "entry " << i;
            for (size_t b = 0; b < width; ++b) {
                EXPECT_EQ(record_owner[e.record + b], -1) << "entries " << i << " and " << record_owner[e.record + b];
                EXPECT_EQ(wire_owner[e.wire + b], -1) << "entries " << i << " and " << wire_owner[e.wire + b];
                record_owner[e.record + b] = static_cast<int>(i);
                wire_owner[e.wire + b] = static_cast<int>(i);
            }
        }
        // Exactly the ranges above are covered, in the record and on the wire.
        for (const auto* ranges : {&l.record_values, &l.wire_values}) {
            const std::vector<int>& owner = ranges == &l.record_values ? record_owner : wire_owner;
            size_t in_ranges = 0;
            for (const auto& r : *ranges) {
                in_ranges += r.second - r.first;
                for (size_t b = r.first; b < r.second; ++b) EXPECT_NE(owner[b], -1) << "byte " << b << " uncovered";
            }
            EXPECT_EQ(in_ranges, widths);
        }
        EXPECT_EQ(kinds, l.kinds);
    }
    EXPECT_EQ(hux_sim::account_risk_entry_count + hux_sim::symbol_risk_entry_count, 168u);
    // The values' bytes: an integer in its width, a double as its bits.
    EXPECT_EQ(hex(hux_sim::risk_value_bytes(risk_kind::u32, 0x01020304)), "04030201");
    EXPECT_EQ(hex(hux_sim::risk_value_bytes(risk_kind::i64, 0x0102030405060708)), "0807060504030201");
    EXPECT_EQ(hex(hux_sim::risk_value_bytes(risk_kind::f64, 1000)), "0000000000408f40");
    // A fill never writes past a short message.
    std::string shortened(30, '\0');
    hux_sim::fill_risk_entries(shortened, hux_sim::account_risk_entries(), hux_sim::account_risk_entry_count, 1);
    EXPECT_EQ(hex(shortened.substr(24)), "01000000" + hex(zeros(2)));  // entry 0 only; entry 1 (28-35) left out
}

TEST(SimQueryData, ScriptKeysSetTheQueryDataAndBadLinesAreRefused) {
    sim_config cfg = parsed(
        "# data for every account query\n"
        "answer_queries 1\n"
        "user_account account=A field_29=4294967295 amounts=1.5,-2e3\n"
        "user_account_end 255\n"
        "symbol_info kind=2 symbol=ABCDEFGHIJKLMNOPC123 text_30=abcdefghijklmnopqrstu field_84=65535 "
        "value_107=-0.125\n"
        "symbol_info_end 0\n"
        "future_position symbol=IF2409 fields_66=1,2,3,4\n"
        "future_position_end 3\n"
        "option_position exchange_id=4294967295 symbol=" + std::string(49, 'S') + " number_text=123456789\n"
        "option_position_end 4\n"
        "rewind_order value_13=-9223372036854775808 values_109=9223372036854775807 byte_69=7\n"
        "rewind_order_end 5\n"
        "rewind_quote 1\n"
        "rewind_execution text_57=" + std::string(26, 'T') + " text_83=" + std::string(20, 'U') + "\n"
        "rewind_execution_type 1063\n"
        "rewind_execution_end 6\n"
        "account_margin symbol=IF2409 values=1,2\n"
        "account_margin_end 7\n"
        "account_fee byte_127=1 values=1,2,3,4,5,6\n"
        "account_fee_end 8\n"
        "account_bp account=BP figures=1,2,3,4,5,6,7,8,9 flag=1\n"
        "account_risk account=RISK fill=4294967178\n"
        "symbol_risk field_8=9 account=SR symbol=IC2409 fill=4294967246\n"
        "bp_push account=PUSHED figures=0.5\n"
        "bp_push_after 68\n");
    const hux_sim::sim_query_data& d = cfg.query_data;
    EXPECT_TRUE(d.answer);
    ASSERT_EQ(d.user_accounts.size(), 1u);
    EXPECT_EQ(d.user_accounts[0].account, "A");
    EXPECT_EQ(d.user_accounts[0].field_29, 4294967295u);
    EXPECT_EQ(d.user_accounts[0].amounts[0], 1.5);
    EXPECT_EQ(d.user_accounts[0].amounts[1], -2000.0);
    EXPECT_EQ(d.user_accounts[0].amounts[2], 0.0);
    EXPECT_EQ(d.user_account_end, 255);
    ASSERT_EQ(d.symbols.size(), 1u);
    EXPECT_EQ(d.symbols[0].kind, 2);
    EXPECT_EQ(d.symbols[0].symbol, "ABCDEFGHIJKLMNOPC123");
    EXPECT_EQ(d.symbols[0].text_30, "abcdefghijklmnopqrstu");
    EXPECT_EQ(d.symbols[0].field_84, 65535);
    EXPECT_EQ(d.symbols[0].value_107, -0.125);
    EXPECT_EQ(d.symbol_end, 0);
    ASSERT_EQ(d.future_positions.size(), 1u);
    EXPECT_EQ(d.future_positions[0].fields_66, (std::array<uint32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(d.future_position_end, 3);
    ASSERT_EQ(d.option_positions.size(), 1u);
    EXPECT_EQ(d.option_positions[0].exchange_id, 4294967295u);
    EXPECT_EQ(d.option_positions[0].symbol, std::string(49, 'S'));
    EXPECT_EQ(d.option_positions[0].number_text, "123456789");
    EXPECT_EQ(d.option_position_end, 4);
    ASSERT_EQ(d.orders.size(), 1u);
    EXPECT_EQ(d.orders[0].value_13, INT64_MIN);
    EXPECT_EQ(d.orders[0].values_109, (std::array<int64_t, 3>{INT64_MAX, 0, 0}));
    EXPECT_EQ(d.orders[0].byte_69, 7);
    EXPECT_EQ(d.order_end, 5);
    EXPECT_TRUE(d.quote_rewind);
    ASSERT_EQ(d.executions.size(), 1u);
    EXPECT_EQ(d.executions[0].text_57, std::string(26, 'T'));
    EXPECT_EQ(d.execution_type, 1063);
    EXPECT_EQ(d.execution_end, 6);
    ASSERT_EQ(d.margins.size(), 1u);
    EXPECT_EQ(d.margins[0].values[1], 2.0);
    EXPECT_EQ(d.margin_end, 7);
    ASSERT_EQ(d.fees.size(), 1u);
    EXPECT_EQ(d.fees[0].values[5], 6.0);
    EXPECT_EQ(d.fees[0].byte_127, 1);
    EXPECT_EQ(d.fee_end, 8);
    EXPECT_EQ(d.buying_power.account, "BP");
    EXPECT_EQ(d.buying_power.figures[8], 9.0);
    EXPECT_EQ(d.buying_power.flag, 1);
    EXPECT_EQ(d.account_risk.account, "RISK");
    EXPECT_TRUE(d.account_risk.fill);
    EXPECT_EQ(d.account_risk.fill_base, 4294967178u);  // its entry 117 is 4294967295
    EXPECT_EQ(d.symbol_risk.field_8, 9u);
    EXPECT_EQ(d.symbol_risk.symbol, "IC2409");
    EXPECT_EQ(d.symbol_risk.fill_base, 4294967246u);  // its entry 49 is 4294967295
    EXPECT_EQ(d.bp_push.account, "PUSHED");
    EXPECT_EQ(d.bp_push.figures[0], 0.5);
    EXPECT_EQ(d.bp_push_after, 68);
    // The defaults: every flag 1, 1075, nothing answered.
    const hux_sim::sim_query_data fresh;
    EXPECT_FALSE(fresh.answer);
    EXPECT_EQ(fresh.user_account_end + fresh.symbol_end + fresh.future_position_end + fresh.option_position_end +
                  fresh.order_end + fresh.execution_end + fresh.margin_end + fresh.fee_end,
              8);
    EXPECT_EQ(fresh.execution_type, 1075);
    EXPECT_EQ(fresh.bp_push_after, 0);
    EXPECT_FALSE(fresh.quote_rewind);

    // Lines refused where they stand.
    const char* bad[] = {
        "answer_queries 2",                    "answer_queries",
        "user_account account",                "user_account nosuch=1",
        "user_account field_29=1 field_29=2",  "user_account field_29=-1",
        "user_account field_29=4294967296",    "user_account amounts=1,2,3,4,5,6,7",
        "user_account amounts=1,,2",           "user_account amounts=x",
        "user_account request_no=1",           "user_account_end 256",
        "user_account_end -1",                 "symbol_info field_84=65536",
        "symbol_info value_107=1e999",         "future_position request_no=5",
        "future_position fields_66=1,2,3,4,5", "option_position exchange_id=+1",
        "rewind_order value_13=9223372036854775808", "rewind_order byte_69=256",
        "rewind_execution_type 1074",          "rewind_execution_type 1063x",
        "rewind_quote yes",                    "account_margin values=1,2,3,4,5,6,7",
        "account_fee byte_127=",               "account_bp request_no=3",
        "account_bp figures=1,2,3,4,5,6,7,8,9,10", "account_risk fill=",
        "account_risk fill=-1",                "symbol_risk field_8=x",
        "bp_push_after 65536",                 "bp_push_after x",
        "symbol_info_end",
    };
    for (const char* line : bad) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(std::string("answer_queries 1\n") + line + "\n", c, why)) << line;
        EXPECT_NE(why.find("line 2"), std::string::npos) << line << ": " << why;
    }
    // Values the whole configuration refuses: texts past their fields (the
    // 1063's text at 57 is shorter than the 1075's), an execution type set
    // by hand, a push after a type that is no query request, a fill whose
    // last entry passes 32 bits.
    const std::string refused[] = {
        "user_account account=" + std::string(17, 'A'),
        "symbol_info symbol=" + std::string(21, 'S'),
        "symbol_info text_30=" + std::string(22, 'T'),
        "future_position symbol=" + std::string(21, 'S'),
        "option_position symbol=" + std::string(50, 'S'),
        "option_position number_text=1234567890",
        "rewind_order symbol=" + std::string(22, 'S'),
        "rewind_execution text_57=" + std::string(32, 'T'),
        "rewind_execution_type 1063\nrewind_execution text_57=" + std::string(27, 'T'),
        "rewind_execution text_83=" + std::string(21, 'U'),
        "account_fee symbol=" + std::string(21, 'S'),
        "account_bp account=" + std::string(17, 'A'),
        "bp_push account=" + std::string(17, 'A'),
        "symbol_risk symbol=" + std::string(21, 'S'),
        "bp_push_after 70",
        "account_risk fill=4294967179",
        "symbol_risk fill=4294967247",
    };
    for (const std::string& lines : refused) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(lines + "\n", c, why)) << lines;
        EXPECT_FALSE(why.empty()) << lines;
    }
    sim_config by_hand;
    by_hand.query_data.execution_type = 1074;
    std::string why;
    EXPECT_FALSE(hux_sim::check_config(by_hand, &why));
    EXPECT_NE(why.find("1075"), std::string::npos) << why;
    sim_trade_server sim;
    EXPECT_FALSE(sim.set_config(by_hand));
    // A 1075's text may run to 31 bytes.
    sim_config c;
    EXPECT_TRUE(hux_sim::parse_script("rewind_execution text_57=" + std::string(31, 'T') + "\n", c, why)) << why;
}

#ifdef HUX_SIM_README
// The example script of sim/README.md's query data section is one the
// reader takes, and the server answers a 73 from it as documented.
TEST(SimQueryData, TheDocumentedExampleScriptIsTaken) {
    std::ifstream in(HUX_SIM_README);
    ASSERT_TRUE(in.good()) << HUX_SIM_README;
    std::string line, script;
    bool in_example = false;
    while (std::getline(in, line)) {
        if (line.rfind("Example (two accounts", 0) == 0) {
            in_example = true;
        } else if (in_example && line.rfind("    ", 0) == 0) {
            script += line.substr(4) + "\n";
        } else if (in_example && !script.empty()) {
            break;
        }
    }
    ASSERT_NE(script.find("answer_queries 1\n"), std::string::npos) << script;
    const sim_config cfg = parsed(script);
    EXPECT_EQ(cfg.query_data.user_accounts.size(), 2u);
    EXPECT_EQ(cfg.query_data.symbols.size(), 2u);
    EXPECT_EQ(cfg.query_data.execution_type, 1063);
    EXPECT_EQ(cfg.query_data.bp_push_after, hux_sim::msg_query_account_bp);

    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client q(sim.query_port());
    ASSERT_TRUE(q.send(account_query("4900", "09000000", "ACC1")));
    const std::string got = read_all(q, 2 * 152 + 2 * 167);
    EXPECT_EQ(hex(got.substr(0, 9)), "3104980009000000" "00");            // a 1073 item for request 9
    EXPECT_EQ(hex(got.substr(152, 9)), "3104980009000000" "01");          // its closing message
    EXPECT_EQ(hex(got.substr(304, 9)), "4404a70009000000" "00");          // a 1092 item
    EXPECT_EQ(hex(got.substr(304 + 167, 9)), "4404a70009000000" "01");    // its closing message
}
#endif

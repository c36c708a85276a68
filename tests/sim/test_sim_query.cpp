// The simulated server's query port over plain sockets: the query logon and
// password change against golden hex, every request cut by its fixed length
// however the stream is cut, unknown types, scripted answers, the write
// settings, silence, stopped reading, FIN and RST on a query connection, the
// answer builders against golden hex, and the settings file's query keys.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/sim_query_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"

using hux_sim::sim_config;
using hux_sim::sim_message;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using namespace hux_test::net;
using namespace std::chrono;

namespace {

// How long a wait for the server may take.
milliseconds wait_ms() { return hux_test::test_wait(); }

std::string field(const std::string& text, size_t width) { return text + zeros(width - text.size()); }

// "5EBE2294ECD0E0F08EAB7690D2A6EE69" (MD5 of "secret") and its NUL.
std::string secret_digest() {
    return unhex("3545424532323934454344304530463038454142373639304432413645453639") + zeros(1);
}

// The query logon of "trader01" with a 33-byte digest field, 80 bytes.
std::string query_logon(const std::string& digest33) {
    return unhex("4400")               // type 68
           + unhex("5000")             // length 80
           + zeros(4)                  // 4-7
           + unhex("0f000000")         // 15 at 8
           + field("trader01", 33)     // login id at 12
           + digest33                  // password digest at 45
           + zeros(2);                 // 78-79
}

// The password change of user 1001 from "secret" to an all-zero digest, 80 bytes.
std::string change_password() {
    return unhex("4500")               // type 69
           + unhex("5000")             // length 80
           + zeros(4)                  // 4-7
           + unhex("e9030000")         // user id 1001 at 8
           + secret_digest()           // old digest at 12
           + std::string(32, '0') + zeros(1)  // new digest at 45
           + zeros(2);                 // 78-79
}

// The 16-byte queries (71, 72) of user 1001.
std::string short_query(const char* type_hex) {
    return unhex(type_hex)             // type
           + unhex("1000")             // length 16
           + zeros(4)                  // 4-7
           + unhex("e9030000")         // user id 1001 at 8
           + zeros(4);                 // 12-15
}

// The 32-byte account queries (73, 74, 75, 77, 78) of account "ACC1".
std::string account_query(const char* type_hex, const char* at_4_hex, const char* at_29_hex) {
    return unhex(type_hex)             // type
           + unhex("2000")             // length 32
           + unhex(at_4_hex)           // request number (73) or zero at 4
           + unhex("e9030000")         // user id 1001 at 8
           + field("ACC1", 16)         // account at 12
           + zeros(1)                  // 28
           + unhex(at_29_hex)          // second argument's low byte (75) or zero at 29
           + zeros(2);                 // 30-31
}

// The 28-byte buying-power and risk queries (81, 82).
std::string risk_query(const char* type_hex, const char* at_4_hex) {
    return unhex(type_hex)             // type
           + unhex("1c00")             // length 28
           + unhex(at_4_hex)           // request number or first argument at 4
           + unhex("e9030000")         // user id 1001 at 8
           + field("ACC1", 16);        // account at 12
}

// Every request type of the query port once, in type order.
std::vector<std::string> all_requests() {
    return {
        query_logon(secret_digest()),
        change_password(),
        short_query("4700"),                                  // 71
        short_query("4800"),                                  // 72
        account_query("4900", "2a000000", "00"),              // 73, request number 42
        account_query("4a00", "00000000", "00"),              // 74
        account_query("4b00", "00000000", "ff"),              // 75, argument 255
        account_query("4d00", "00000000", "00"),              // 77
        account_query("4e00", "00000000", "00"),              // 78
        risk_query("5100", "2b000000"),                       // 81, request number 43
        risk_query("5200", "07000000"),                       // 82, argument 7
        unhex("5300") + unhex("3000") + zeros(4) + unhex("e9030000") + field("ACC1", 16) + zeros(20),  // 83, 48 bytes
    };
}

// The 1068 with this result and user id.
std::string logon_answer(const char* result_hex, const char* user_hex) {
    return unhex("2c04")           // type 1068
           + unhex("3800")         // length 56
           + zeros(4)              // 4-7
           + unhex(result_hex)     // result at 8
           + zeros(33)             // 12-44
           + unhex(user_hex)       // user id at 45
           + zeros(7);             // 49-55
}

std::string join(const std::vector<std::string>& parts) {
    std::string all;
    for (const auto& p : parts) all += p;
    return all;
}

}  // namespace

TEST(SimQuery, LogonChecksTheDigestAndPasswordChangesGetTheirResult) {
    sim_trade_server sim;
    EXPECT_EQ(sim.query_port(), 0);
    EXPECT_EQ(sim.query_transport(), nullptr);
    EXPECT_FALSE(sim.send_query_raw(0, "x"));
    ASSERT_TRUE(sim.open_query(0));
    ASSERT_NE(sim.query_port(), 0);
    EXPECT_NE(sim.query_port(), sim.port());
    EXPECT_FALSE(sim.open_query(0));  // once only
    sim_config cfg;
    cfg.password = "secret";
    cfg.query_wrong_password_result = 0x81;
    cfg.change_password_result = 0xfffffffe;
    ASSERT_TRUE(sim.set_config(cfg));

    // A trade connection first: query connections are numbered on their own.
    plain_client trade(sim.port());
    ASSERT_TRUE(sim.wait_for_connection(0, wait_ms()));
    plain_client q(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(0, wait_ms()));
    EXPECT_EQ(sim.query_connection_count(), 1u);

    ASSERT_TRUE(q.send(query_logon(secret_digest())));
    EXPECT_EQ(hex(q.read(56)), hex(logon_answer("00000000",      // logged on
                                                "02000000")));   // query user id 2, not the trade's 1
    // Wrong digests: lower-case hex, no NUL, another password's.
    std::string lower = secret_digest();
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string no_nul = secret_digest();
    no_nul[32] = 'X';
    for (const std::string& digest : {lower, no_nul, std::string(32, '0') + zeros(1)}) {
        ASSERT_TRUE(q.send(query_logon(digest)));
        EXPECT_EQ(hex(q.read(56)), hex(logon_answer("81000000", "02000000")));  // the wrong-password result
    }

    ASSERT_TRUE(q.send(change_password()));
    EXPECT_EQ(hex(q.read(16)), "2d04"              // type 1069
                               "1000"              // length 16
                               + hex(zeros(8))     // 4-11
                               + "feffffff");      // result 0xfffffffe at 12

    // A configured failure for the right digest, and another query user id.
    cfg.query_logon_result = 5;
    cfg.query_user_id = 0x01020304;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(q.send(query_logon(secret_digest())));
    EXPECT_EQ(hex(q.read(56)), hex(logon_answer("05000000", "04030201")));

    ASSERT_TRUE(sim.wait_for_query_message(0, hux_sim::msg_query_logon, 5, wait_ms()));
    EXPECT_EQ(sim.query_count(0, hux_sim::msg_change_password), 1u);
    EXPECT_EQ(sim.query_last_message(0, hux_sim::msg_change_password), change_password());
    EXPECT_EQ(sim.query_messages(0, hux_sim::msg_query_logon).at(1).bytes, query_logon(lower));
    // Nothing of it reached the trade side.
    EXPECT_TRUE(sim.messages(0).empty());
    EXPECT_TRUE(sim.query_messages(1).empty());
    EXPECT_FALSE(sim.wait_for_query_message(0, hux_sim::msg_query_fee, 1, milliseconds(1)));
}

TEST(SimQuery, RequestsAreCutByTheirLengthsHoweverTheStreamIsCut) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    sim_config cfg;
    cfg.silent = true;  // recording only
    ASSERT_TRUE(sim.set_config(cfg));
    const std::vector<std::string> requests = all_requests();
    const std::string stream = join(requests);
    ASSERT_EQ(stream.size(), 80u + 80 + 16 + 16 + 32 * 5 + 28 + 28 + 48);

    // One connection gets the stream in pieces of 1, 2, 3, 50 and 7 bytes,
    // each read on its own; another gets it in one write.
    plain_client cut(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(0, wait_ms()));
    const size_t pieces[] = {1, 2, 3, 50, 7};
    size_t off = 0;
    for (size_t i = 0; off < stream.size(); ++i) {
        const size_t n = std::min(pieces[i % 5], stream.size() - off);
        ASSERT_TRUE(cut.send(stream.substr(off, n)));
        off += n;
        ASSERT_TRUE(hux_test::wait_until([&] { return sim.query_raw_received(0).size() == off; }, wait_ms()));
    }
    plain_client whole(sim.query_port());
    ASSERT_TRUE(whole.send(stream));
    for (size_t conn : {0u, 1u}) {
        ASSERT_TRUE(sim.wait_for_query_message(conn, hux_sim::msg_query_symbol_risk, 1, wait_ms())) << conn;
        const std::vector<sim_message> got = sim.query_messages(conn);
        ASSERT_EQ(got.size(), requests.size()) << conn;
        for (size_t i = 0; i < requests.size(); ++i) {
            EXPECT_TRUE(got[i].known) << conn << " " << i;
            EXPECT_EQ(got[i].type, le_at(requests[i], 0, 2)) << conn << " " << i;
            EXPECT_EQ(hex(got[i].bytes), hex(requests[i])) << conn << " " << i;
        }
    }

    // A type that is not a query request (70 is the trade logon) keeps all
    // that is buffered; the next write starts afresh.
    const std::string stray = unhex("4600") + "whatever follows" + short_query("4700");
    ASSERT_TRUE(whole.send(stray));
    ASSERT_TRUE(hux_test::wait_until([&] { return sim.query_unknown_count(1) == 1; }, wait_ms()));
    const sim_message unknown = sim.query_messages(1).back();
    EXPECT_FALSE(unknown.known);
    EXPECT_EQ(unknown.type, 70);
    EXPECT_EQ(unknown.bytes, stray);
    EXPECT_EQ(sim.query_count(1, hux_sim::msg_query_user_account), 1u);  // the 71 inside is not counted
    ASSERT_TRUE(whole.send(short_query("4800")));
    ASSERT_TRUE(sim.wait_for_query_message(1, hux_sim::msg_query_symbol, 2, wait_ms()));
    EXPECT_EQ(sim.query_raw_received(1), stream + stray + short_query("4800"));
    EXPECT_EQ(sim.query_unknown_count(0), 0u);
}

TEST(SimQuery, ScriptedAnswersServeAnyRequestAndFollowTheWriteSettings) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    hux_sim::sim_user_account item;
    item.account = "ACC1";
    hux_sim::sim_user_account end;
    end.end_flag = 1;
    const std::string series = hux_sim::user_account_answer(item) + hux_sim::user_account_answer(end);
    sim_config cfg;
    cfg.password = "secret";
    cfg.query_answers[hux_sim::msg_query_user_account] = {hux_sim::user_account_answer(item),
                                                           hux_sim::user_account_answer(end)};
    cfg.split_pieces = {1, 5};
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client q(sim.query_port());

    // Two 71s, each answered by the series, cut into writes of 1, 5 and the rest.
    ASSERT_TRUE(q.send(short_query("4700") + short_query("4700")));
    EXPECT_EQ(hex(q.read(4 * 88)), hex(series + series));
    // A request without a script and without a built-in answer gets nothing:
    // the logon behind it is answered first.
    cfg.split_pieces.clear();
    cfg.random_split_max = 3;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(q.send(short_query("4800") + query_logon(secret_digest())));
    EXPECT_EQ(hex(q.read(56)), hex(logon_answer("00000000", "02000000")));

    // A script for 68 replaces its built-in answer; the length field setting
    // marks every answer.
    cfg.random_split_max = 0;
    cfg.coalesce = true;
    cfg.length_field = 7;
    cfg.query_answers[hux_sim::msg_query_logon] = {hux_sim::opaque_query_answer(1099)};
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(q.send(query_logon(secret_digest()) + change_password()));
    EXPECT_EQ(hex(q.read(64 + 16)), "4b04"                  // type 1099
                                    "0700"                  // length field 7
                                    + hex(zeros(60))        // 4-63
                                    + "2d04"                // type 1069
                                    "0700"                  // length field 7
                                    + hex(zeros(12)));      // 4-15, result 0

    // A connection of its own configuration: silent, while the others answer.
    sim_config quiet = cfg;
    quiet.silent = true;
    ASSERT_TRUE(sim.set_query_connection_config(1, quiet));
    plain_client silent(sim.query_port());
    ASSERT_TRUE(silent.send(change_password()));
    ASSERT_TRUE(sim.wait_for_query_message(1, hux_sim::msg_change_password, 1, wait_ms()));
    sim.set_silent(false);
    ASSERT_TRUE(silent.send(short_query("4700")));
    EXPECT_EQ(hex(silent.read(2 * 88).substr(0, 4)), "2f040700");  // 1071 first: the 69 got nothing
    EXPECT_FALSE(sim.set_query_connection_config(2, [] {
        sim_config bad;
        bad.query_answers[70] = {"abcd"};  // 70 is no query request
        return bad;
    }()));
}

TEST(SimQuery, QueryConnectionsCloseResetStopReadingAndTakeRawBytes) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_query(0));
    plain_client trade(sim.port());
    plain_client a(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(0, wait_ms()));
    plain_client b(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(1, wait_ms()));

    // A buying-power push on demand, then a clean close after it.
    hux_sim::sim_account_bp bp;
    bp.account = "ACC1";
    bp.figures[0] = 1.5;
    const std::string push = hux_sim::account_bp_report(bp);
    ASSERT_TRUE(sim.send_query_raw(0, push));
    sim.close_query(0);
    EXPECT_EQ(a.read(108), push);
    EXPECT_EQ(hux_test::read_end(a.fd, wait_ms()), 0);
    EXPECT_FALSE(sim.send_query_raw(0, push));

    // A reset; the trade connection is untouched.
    sim.reset_query(1);
    EXPECT_EQ(hux_test::read_end(b.fd, wait_ms()), ECONNRESET);
    ASSERT_TRUE(trade.send(heart_beat(1)));
    EXPECT_EQ(trade.read(16), heart_beat_answer());

    // Stopped reading: a request stays in the socket while another
    // connection's is read, and is read once reading resumes.
    plain_client c(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(2, wait_ms()));
    sim.pause_query_reading(2, true);
    ASSERT_TRUE(c.send(short_query("4700")));
    plain_client d(sim.query_port());
    ASSERT_TRUE(d.send(short_query("4800")));
    ASSERT_TRUE(sim.wait_for_query_message(3, hux_sim::msg_query_symbol, 1, wait_ms()));
    EXPECT_EQ(sim.query_raw_received(2), "");
    sim.pause_query_reading(2, false);
    ASSERT_TRUE(sim.wait_for_query_message(2, hux_sim::msg_query_user_account, 1, wait_ms()));

    // Raw bytes cut as asked arrive whole.
    const std::string risk = hux_sim::account_risk_answer({"ACC1", {{24, hux_sim::le_bytes(9, 4)}}});
    ASSERT_TRUE(sim.send_query_raw_pieces(2, risk, {1, 100}));
    ASSERT_TRUE(sim.send_query_raw_random(2, risk, 7, 13));
    EXPECT_EQ(c.read(2 * 1006), risk + risk);
    EXPECT_NE(sim.query_transport(), nullptr);
}

TEST(SimQuery, AnswerBuildersPutEveryFieldAtItsOffset) {
    using namespace hux_sim;
    // Lengths of every answer type.
    const std::pair<uint16_t, size_t> lengths[] = {
        {1063, 112}, {1064, 24}, {1068, 56}, {1069, 16}, {1071, 88}, {1072, 139}, {1073, 152}, {1074, 144}, {1075, 88},
        {1077, 96}, {1078, 128}, {1081, 108}, {1082, 1006}, {1083, 448}, {1092, 167}, {1093, 108}, {1095, 200},
        {1099, 64}};
    for (const auto& l : lengths) EXPECT_EQ(query_answer_length(l.first), l.second) << l.first;
    EXPECT_EQ(query_answer_length(1070), 0u);
    for (uint16_t type : {1064, 1095, 1099}) {
        const std::string m = opaque_query_answer(type);
        EXPECT_EQ(le_at(m, 0, 2), type);
        EXPECT_EQ(le_at(m, 2, 2), m.size());
        EXPECT_EQ(m.size(), query_answer_length(type));
    }

    sim_user_account account;
    account.end_flag = 2;
    account.account = "ACCOUNT-16-BYTES";  // fills its field
    account.field_29 = 0x80000001;
    account.amounts = {1.0, -2.0, 0.5, 0, 0, 1e300};
    EXPECT_EQ(hex(user_account_answer(account)), "2f04"                     // type 1071
                                                  "5800"                     // length 88
                                                  + hex(zeros(4))            // 4-7
                                                  + "02"                     // end flag 2 at 8
                                                  + hex(zeros(4))            // 9-12
                                                  + hex("ACCOUNT-16-BYTES")  // account at 13, no NUL
                                                  + "01000080"               // 0x80000001 at 29
                                                  + "000000000000f03f"       // 1.0 at 33
                                                  + "00000000000000c0"       // -2.0 at 41
                                                  + "000000000000e03f"       // 0.5 at 49
                                                  + hex(zeros(16))           // 0.0 at 57 and 65
                                                  + "9c7500883ce4377e"       // 1e300 at 73
                                                  + hex(zeros(7)));          // 81-87

    sim_account_bp bp;
    bp.request_no = 43;
    bp.account = "ACC1";
    bp.figures[8] = -0.25;
    EXPECT_EQ(hex(account_bp_answer(bp)), "3904"                   // type 1081
                                          "6c00"                   // length 108
                                          "2b000000"               // request number 43 at 4
                                          + hex(zeros(4))          // 8-11
                                          + hex(field("ACC1", 16))  // account at 12
                                          + hex(zeros(4))          // 28-31
                                          + hex(zeros(64))         // figures 0-7 at 32-95
                                          + "000000000000d0bf"     // -0.25 at 96
                                          + hex(zeros(4)));        // 104-107
    EXPECT_EQ(hex(account_bp_report(bp).substr(0, 4)), "45046c00");  // type 1093, same layout

    sim_option_position option;
    option.request_no = -1;
    option.exchange_id = 103;
    option.symbol = std::string(49, 'S');  // the whole 37-85 field
    option.number_text = "123456789";
    option.quantity_a = 0xfffffff0;
    option.quantity_b = 0x20;
    option.byte_160 = 0x99;
    const std::string m = option_position_answer(option);
    ASSERT_EQ(m.size(), 167u);
    EXPECT_EQ(hex(m.substr(0, 9)), "4404"        // type 1092
                                   "a700"        // length 167
                                   "ffffffff"    // request number -1 at 4
                                   "00");        // end flag 0 at 8
    EXPECT_EQ(hex(m.substr(33, 4)), "67000000");                            // exchange 103 at 33
    EXPECT_EQ(m.substr(37, 58), std::string(49, 'S') + "123456789");       // symbol 37-85, number text 86-94
    EXPECT_EQ(hex(m.substr(112, 4)), "f0ffffff");                           // quantity A at 112
    EXPECT_EQ(hex(m.substr(148, 4)), "20000000");                           // quantity B at 148
    EXPECT_EQ(hex(m.substr(160)), "99" + hex(zeros(6)));                    // byte at 160, 161-166

    sim_rewind_execution exec;
    exec.end_flag = 1;
    exec.text_57 = std::string(40, 'T');  // cut to its field
    exec.text_83 = std::string(20, 'U');
    exec.byte_103 = 0x42;
    const std::string plain = rewind_execution_answer(1075, exec);
    const std::string extended = rewind_execution_answer(1063, exec);
    EXPECT_EQ(hex(plain.substr(0, 4)), "33045800");     // type 1075, length 88
    EXPECT_EQ(plain.substr(57), std::string(31, 'T'));   // text to the end
    EXPECT_EQ(hex(extended.substr(0, 4)), "27047000");  // type 1063, length 112
    EXPECT_EQ(extended.substr(57), std::string(26, 'T') + std::string(20, 'U') + "\x42" + zeros(8));

    sim_symbol_risk risk;
    risk.field_8 = 8;
    risk.account = "ACC1";
    risk.symbol = "IF2409";
    risk.raw = {{48, le_bytes(0x0102030405060708, 8)}, {440, f64_bytes(2.0)}, {446, "tail-cut"}};
    const std::string r = symbol_risk_answer(risk);
    ASSERT_EQ(r.size(), 448u);
    EXPECT_EQ(hex(r.substr(0, 12)), "3b04"        // type 1083
                                    "c001"        // length 448
                                    "00000000"    // 4-7
                                    "08000000");  // 8 at 8
    EXPECT_EQ(r.substr(12, 36), field("ACC1", 16) + field("IF2409", 20));
    EXPECT_EQ(hex(r.substr(48, 8)), "0807060504030201");
    // 2.0 at 440, whose top two bytes "tail-cut" at 446 overwrites, cut at the end.
    EXPECT_EQ(hex(r.substr(440)), "000000000000" + hex("ta"));
}

TEST(SimQuery, ScriptKeysSetTheQueryAndStatusSettingsAndRefuseBadLines) {
    sim_config cfg;
    std::string error;
    const std::string script =
        "query_logon_result 4294967295\n"
        "query_wrong_password_result 9\n"
        "query_user_id 77\n"
        "change_password_result 3\n"
        "market_session 101 1 2 255\n"
        "market_session 102\n"
        "symbol_status 129 SR409C5000 2 -7 OPEN 4\n"
        "session_id SESSION ONE\n"
        "session_id_byte_30 254\n"
        "session_id_byte_31 1\n"
        "query_answer 71 2f04 5800 00\n"
        "query_answer 71 2F045800\n"
        "query_answer 83\t4b044000\n";
    ASSERT_TRUE(hux_sim::parse_script(script, cfg, error)) << error;
    EXPECT_EQ(cfg.query_logon_result, 4294967295u);
    EXPECT_EQ(cfg.query_wrong_password_result, 9u);
    EXPECT_EQ(cfg.query_user_id, 77u);
    EXPECT_EQ(cfg.change_password_result, 3u);
    ASSERT_EQ(cfg.market_sessions.size(), 2u);
    EXPECT_EQ(cfg.market_sessions[0].exchange_id, 101);
    EXPECT_EQ(cfg.market_sessions[0].count, 3);
    EXPECT_EQ(hex(cfg.market_sessions[0].sessions), "0102ff");
    EXPECT_EQ(cfg.market_sessions[1].count, 0);
    EXPECT_EQ(cfg.market_sessions[1].sessions, "");
    ASSERT_EQ(cfg.symbol_statuses.size(), 1u);
    EXPECT_EQ(cfg.symbol_statuses[0].first, 129);
    EXPECT_EQ(cfg.symbol_statuses[0].symbol, "SR409C5000");
    EXPECT_EQ(cfg.symbol_statuses[0].byte_a, 2);
    EXPECT_EQ(cfg.symbol_statuses[0].value, -7);
    EXPECT_EQ(cfg.symbol_statuses[0].short_text, "OPEN");
    EXPECT_EQ(cfg.symbol_statuses[0].byte_b, 4);
    EXPECT_EQ(cfg.session_id.session, "SESSION ONE");
    EXPECT_EQ(cfg.session_id.byte_a, 254);
    EXPECT_EQ(cfg.session_id.byte_b, 1);
    ASSERT_EQ(cfg.query_answers.size(), 2u);
    ASSERT_EQ(cfg.query_answers[71].size(), 2u);
    EXPECT_EQ(hex(cfg.query_answers[71][0]), "2f04580000");
    EXPECT_EQ(hex(cfg.query_answers[71][1]), "2f045800");
    EXPECT_EQ(hex(cfg.query_answers[83][0]), "4b044000");

    const char* bad[] = {
        "query_logon_result -1",     "query_logon_result 4294967296", "query_user_id x",
        "change_password_result",    "market_session",                "market_session 256",
        "market_session 1 2 256",    "market_session 1 x",            "symbol_status 1 S 2 3 T",
        "symbol_status 1 S 2 3 T 4 5", "symbol_status 256 S 2 3 T 4", "symbol_status 1 S 2 2147483648 T 4",
        "session_id_byte_30 256",    "query_answer 70 2f045800",      "query_answer 71",
        "query_answer 71 2f0458",    "query_answer 71 2f04580",       "query_answer 71 2f 0 45800",
        "query_answer 71 2g045800",  "query_answer x 2f045800",       "query_answer 65607 2f045800",
    };
    for (const char* line : bad) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(std::string("silent 0\n") + line + "\n", c, why)) << line;
        EXPECT_NE(why.find("line 2"), std::string::npos) << line << ": " << why;
    }
    // Texts longer than their fields fail the check of the whole configuration.
    for (const std::string& line :
         {"session_id " + std::string(18, 'S'), std::string("symbol_status 1 S 2 3 0123456789 4"),
          "symbol_status 1 " + std::string(21, 'S') + " 2 3 T 4"}) {
        sim_config c;
        EXPECT_FALSE(hux_sim::parse_script(line + "\n", c, error)) << line;
    }
}

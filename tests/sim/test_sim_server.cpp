// The simulated trade server's session messages, driven by a plain POSIX
// socket with requests written by hand as hex and its answers checked against
// golden hex; how it records, cuts and writes; its settings file; and the
// standalone program.
#include <gtest/gtest.h>

#include <openssl/rsa.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/coll_support.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tests/support/udp_order_channel.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using namespace hux_test::net;
using namespace std::chrono;

namespace {

const milliseconds deadline = hux_test::test_wait();

// report_version of user "trader01", 48 bytes.
std::string version_report() {
    return unhex("5000")                // type 80
           + unhex("3000")              // length 48
           + zeros(4)                   // bytes 4-7
           + unhex("0f000000")          // protocol version 15
           + unhex("7472616465723031")  // user id "trader01" at 12 ...
           + zeros(25)                  // ... zero-filled to 33
           + zeros(3);                  // bytes 45-47
}

// logon_msg_req of "trader01" with the given 33-byte digest field, 168 bytes.
std::string logon_request(const std::string& digest33) {
    return unhex("4600")                // type 70
           + unhex("a800")              // length 168
           + zeros(4)                   // bytes 4-7
           + unhex("0f000000")          // protocol version 15
           + unhex("7472616465723031")  // user id "trader01" at 12 ...
           + zeros(25)                  // ... to 33 bytes
           + digest33                   // password digest at 45
           + zeros(2)                   // bytes 78-79
           + unhex("41555448") + zeros(14)  // authorisation code "AUTH" at 80, 18 bytes
           + unhex("415050") + zeros(27)    // application id "APP" at 98, 30 bytes
           + unhex("3930")                  // local UDP port 12345 at 128
           + unhex("5445524d2d414243") + zeros(25)  // terminal id "TERM-ABC" at 130, 33 bytes
           + zeros(5);                              // bytes 163-167
}

// "5EBE2294ECD0E0F08EAB7690D2A6EE69" (MD5 of "secret") and its NUL.
std::string secret_digest() {
    return unhex("3545424532323934454344304530463038454142373639304432413645453639") + zeros(1);
}

std::string symbol_query(uint8_t page, uint8_t size) {
    return unhex("3e00")                       // type 62
           + unhex("1000")                     // length 16
           + std::string(1, static_cast<char>(page)) + zeros(1)  // page number
           + std::string(1, static_cast<char>(size)) + zeros(1)  // page size
           + unhex("e9030000")                 // user id 1001
           + unhex("00")                       // selector
           + unhex("01")                       // 1
           + zeros(2);                         // bytes 14-15
}

const std::string account_query = unhex("3d00")        // type 61
                                  + unhex("1000")      // length 16
                                  + zeros(4)           // bytes 4-7
                                  + unhex("e9030000")  // user id 1001
                                  + zeros(4);          // bytes 12-15

sim_config five_symbols() {
    sim_config cfg;
    cfg.symbols = {{"IF2409", 10}, {"IF2410", 11}, {"IC2409", 12}, {"IH2409", 13}, {"IM2409", 14}};
    cfg.accounts = {{"ACC1", 1}, {"ACC2", 2}};
    return cfg;
}

}  // namespace

TEST(SimServer, VersionReportGetsTheConfiguredAnswer) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    sim_config cfg;
    cfg.version_text = "TERM-ABC";
    cfg.version_number = 0x01020304;
    cfg.version_verdict = 3;
    cfg.version_use_text = 1;
    cfg.server_edition = 6;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client a(sim.port());
    ASSERT_TRUE(sim.wait_for_connection(0, deadline));
    ASSERT_TRUE(a.send(version_report()));
    const std::string expected = unhex("3804")                // type 1080
                                 + unhex("3800")              // length 56
                                 + zeros(8)                   // bytes 4-11
                                 + unhex("5445524d2d414243")  // text "TERM-ABC" at 12 ...
                                 + zeros(25)                  // ... 33 bytes
                                 + unhex("04030201")          // number 0x01020304 at 45
                                 + unhex("03")                // verdict 3 at 49
                                 + unhex("01")                // use the text as it is, at 50
                                 + unhex("06")                // edition 6 (qv27) at 51
                                 + zeros(4);                  // bytes 52-55
    EXPECT_EQ(hex(a.read(56)), hex(expected));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_report_version, 1, deadline));
    EXPECT_EQ(hex(sim.last_message(0, hux_sim::msg_report_version)), hex(version_report()));
    EXPECT_EQ(sim.kind(0), hux_sim::conn_kind::trade);

    // A text of all 33 bytes goes out without a NUL.
    cfg.version_text = std::string(33, 'Z');
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(a.send(version_report()));
    const std::string answer = a.read(56);
    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(answer.substr(12, 33), std::string(33, 'Z'));
    EXPECT_EQ(hex(answer.substr(45, 4)), "04030201");
}

TEST(SimServer, LogonChecksTheDigestAndRecordsTheRequest) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.password = "secret";
    cfg.server_value = 7;
    cfg.user_id = 0x12345;
    cfg.logon_value = -2;
    cfg.max_token = 1000;
    cfg.order_fc_count = 100;
    cfg.order_fc_window_us = 500000;
    cfg.cancel_fc_count = 50;
    cfg.cancel_fc_window_us = 250000;
    cfg.wrong_password_result = 2;
    ASSERT_TRUE(sim.set_config(cfg));

    plain_client c(sim.port());
    ASSERT_TRUE(c.send(logon_request(secret_digest())));
    const std::string accepted = unhex("2e04")        // type 1070
                                 + unhex("5000")      // length 80
                                 + unhex("07000000")  // server value 7 at 4
                                 + zeros(4)           // bytes 8-11
                                 + unhex("00000000")  // result 0 at 12
                                 + zeros(33)          // bytes 16-48
                                 + unhex("45230100")  // user id 0x12345 at 49
                                 + unhex("feffffff")  // int32 -2 at 53
                                 + unhex("e8030000")  // max token 1000 at 57
                                 + unhex("64000000")  // order limit 100 at 61
                                 + unhex("20a10700")  // order window 500000 us at 65
                                 + unhex("32000000")  // cancel limit 50 at 69
                                 + unhex("90d00300")  // cancel window 250000 us at 73
                                 + zeros(3);          // bytes 77-79
    EXPECT_EQ(hex(c.read(80)), hex(accepted));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_logon, 1, deadline));
    EXPECT_EQ(sim.last_message(0, hux_sim::msg_logon), logon_request(secret_digest()));

    // Wrong digests: the lower-case text, a digest without its NUL, another password.
    std::string lower = secret_digest();
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string no_nul = secret_digest();
    no_nul[32] = 'X';
    std::string other = std::string(32, '0') + zeros(1);
    std::string refused = accepted;
    refused[12] = 2;  // result 2 at 12, all else the same
    for (const std::string& digest : {lower, no_nul, other}) {
        ASSERT_TRUE(c.send(logon_request(digest)));
        EXPECT_EQ(hex(c.read(80)), hex(refused));
    }
    EXPECT_EQ(sim.count(0, hux_sim::msg_logon), 4u);

    // A configured failure for the right digest.
    cfg.logon_result = 1234;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(c.send(logon_request(secret_digest())));
    const std::string failed = c.read(80);
    ASSERT_EQ(failed.size(), 80u);
    EXPECT_EQ(hex(failed.substr(12, 4)), "d2040000");  // 1234
}

TEST(SimServer, SymbolIndexComesInPagesAndAccountsEndWithAMark) {
    sim_trade_server sim;
    sim_config cfg = five_symbols();
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client c(sim.port());

    // Page 1 of size 2: two entries, the second marked, counts 1 and 2.
    ASSERT_TRUE(c.send(symbol_query(1, 2)));
    const std::string first = unhex("2604")             // type 1062
                              + unhex("2800")           // length 40
                              + zeros(4)                // bytes 4-7
                              + unhex("00")             // end-of-page mark 0 at 8
                              + zeros(1)                // byte 9
                              + unhex("494632343039")   // "IF2409" at 10 ...
                              + zeros(14)               // ... 20 bytes
                              + unhex("0a00")           // index 10 at 30
                              + unhex("0100")           // 1 entry delivered, at 32
                              + zeros(6);               // bytes 34-39
    const std::string second = unhex("2604")            // type 1062
                               + unhex("2800")          // length 40
                               + zeros(4)               // bytes 4-7
                               + unhex("01")            // end-of-page mark at 8
                               + zeros(1)               // byte 9
                               + unhex("494632343130")  // "IF2410" at 10 ...
                               + zeros(14)              // ... 20 bytes
                               + unhex("0b00")          // index 11 at 30
                               + unhex("0200")          // 2 entries delivered, at 32
                               + zeros(6);              // bytes 34-39
    EXPECT_EQ(hex(c.read(80)), hex(first + second));

    // A page past the end: one marked message with no entry and count 0.
    ASSERT_TRUE(c.send(symbol_query(4, 2)));
    EXPECT_EQ(hex(c.read(40)), hex(unhex("2604 2800") + zeros(4) + unhex("01") + zeros(31)));
    // Page size 0 and page 0: the whole list as one page.
    ASSERT_TRUE(c.send(symbol_query(0, 0)));
    const std::string whole = c.read(200);
    ASSERT_EQ(whole.size(), 200u);
    EXPECT_EQ(std::string(whole.c_str() + 10), "IF2409");
    EXPECT_EQ(whole[160 + 8], 1);
    EXPECT_EQ(le_at(whole, 160 + 32, 2), 5u);

    // Account index: one message per account, then the end mark alone.
    ASSERT_TRUE(c.send(account_query));
    const std::string acc1 = unhex("2504")         // type 1061
                             + unhex("2800")       // length 40
                             + zeros(4)            // bytes 4-7
                             + unhex("00")         // end mark 0 at 8
                             + zeros(4)            // bytes 9-12
                             + unhex("41434331")   // "ACC1" at 13 ...
                             + zeros(12)           // ... 16 bytes
                             + unhex("01")         // index 1 at 29
                             + zeros(10);          // bytes 30-39
    const std::string end = unhex("2504")          // type 1061
                            + unhex("2800")        // length 40
                            + zeros(4)             // bytes 4-7
                            + unhex("01")          // end mark at 8
                            + zeros(31);           // no entry
    const std::string accounts = c.read(120);
    ASSERT_EQ(accounts.size(), 120u);
    EXPECT_EQ(hex(accounts.substr(0, 40)), hex(acc1));
    EXPECT_EQ(std::string(accounts.c_str() + 53), "ACC2");
    EXPECT_EQ(accounts[69], 2);
    EXPECT_EQ(accounts[48], 0);
    EXPECT_EQ(hex(accounts.substr(80)), hex(end));

    // No accounts: the end mark alone.
    cfg.accounts.clear();
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(c.send(account_query));
    EXPECT_EQ(hex(c.read(40)), hex(end));
    EXPECT_EQ(sim.count(0, hux_sim::msg_symbol_idx_query), 3u);
    EXPECT_EQ(sim.count(0, hux_sim::msg_account_idx_query), 2u);
}

TEST(SimServer, HeartBeatSettingAndHeartBeatsAreAnswered) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.heart_beat_result = 3;
    cfg.heart_beat_timeout = 15;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client c(sim.port());

    const std::string setting = unhex("5a00")        // type 90
                                + unhex("1800")      // length 24
                                + zeros(4)           // bytes 4-7
                                + unhex("e9030000")  // user id 1001
                                + unhex("05000000")  // interval 5 s
                                + unhex("01")        // 1 at 16
                                + zeros(7);          // bytes 17-23
    ASSERT_TRUE(c.send(setting));
    const std::string expected = unhex("4204")        // type 1090
                                 + unhex("1800")      // length 24
                                 + zeros(8)           // bytes 4-11
                                 + unhex("03000000")  // result 3 at 12
                                 + unhex("0f000000")  // server time-out 15 s at 16
                                 + zeros(4);          // bytes 20-23
    EXPECT_EQ(hex(c.read(24)), hex(expected));

    ASSERT_TRUE(c.send(heart_beat(0) + heart_beat(1) + heart_beat(2)));
    EXPECT_EQ(hex(c.read(48)), hex(heart_beat_answer() + heart_beat_answer() + heart_beat_answer()));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_heart_beat, 3, deadline));
    EXPECT_EQ(sim.messages(0, hux_sim::msg_heart_beat).at(2).bytes, heart_beat(2));
    EXPECT_EQ(hex(sim.last_message(0, hux_sim::msg_heart_beat_setting)), hex(setting));
}

TEST(SimServer, AnswerWritesCanBeSplitOrCoalescedAndBadSettingsAreRefused) {
    sim_trade_server sim;
    sim_config cfg = five_symbols();
    cfg.split_pieces = {1, 3, 7};
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client c(sim.port());

    // Fixed cuts, then random cuts: the bytes arrive whole and in order.
    const std::vector<std::string> page = sim_trade_server::symbol_page(cfg, 1, 5);
    ASSERT_EQ(page.size(), 5u);
    std::string whole;
    for (const std::string& m : page) whole += m;
    ASSERT_TRUE(c.send(symbol_query(1, 5)));
    EXPECT_EQ(c.read(200), whole);
    cfg.split_pieces.clear();
    cfg.random_split_max = 5;
    cfg.random_seed = 77;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(c.send(symbol_query(1, 5)));
    EXPECT_EQ(c.read(200), whole);

    // Coalesced: the three account messages leave in one write, so the
    // first read after they arrive holds all 120 bytes.
    cfg.random_split_max = 0;
    cfg.coalesce = true;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(c.send(account_query));
    pollfd pfd{c.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, static_cast<int>(deadline.count())), 1);
    char buf[512];
    EXPECT_EQ(::recv(c.fd, buf, sizeof(buf), 0), 120);

    EXPECT_EQ(hex(hux_sim::make_message(4242, 20, 7)), "9210" "0700" + hex(zeros(16)));  // type 4242, length field 7

    // Out-of-range settings are refused and change nothing.
    sim_config bad = cfg;
    bad.length_field = 65536;
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.version_text = std::string(34, 'x');
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.symbols.push_back({std::string(20, 'S'), 1});
    EXPECT_FALSE(sim.set_connection_config(0, bad));
    bad = cfg;
    bad.accounts.push_back({std::string(16, 'A'), 1});
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.order_reject_code = 0;
    EXPECT_FALSE(sim.set_config(bad));
    bad.order_reject_code = 1;
    bad.order_fill_parts = 0;
    EXPECT_FALSE(sim.set_connection_config(0, bad));
    bad.order_fill_parts = hux_sim::max_order_fill_parts + 1;
    EXPECT_FALSE(sim.set_config(bad));
    bad = cfg;
    bad.coll_version_result = 0;  // a refusal with 0 would be an accept
    EXPECT_FALSE(sim.set_config(bad));
    EXPECT_EQ(sim.config().length_field, -1);
    EXPECT_EQ(sim.config().symbols.size(), 5u);
    EXPECT_EQ(sim.config().order_reject_code, 1u);
}

TEST(SimServer, ScriptSetsEveryKnobAndRefusesBadLines) {
    sim_config cfg;
    std::string error;
    const std::string script =
        "# a comment\n"
        "\n"
        "version_text  TERM ONE\n"
        "version_number -5\n"
        "version_verdict 255\n"
        "version_use_text 1\n"
        "server_edition 6\n"
        "password s3cret pass\n"
        "logon_result 0\n"
        "wrong_password_result 9\n"
        "server_value -1\n"
        "user_id 4294967295\n"
        "logon_value 3\n"
        "max_token 77\n"
        "order_fc_count 100\n"
        "order_fc_window_us 500000\n"
        "cancel_fc_count 50\n"
        "cancel_fc_window_us 250000\n"
        "symbol IF2409 10\n"
        "symbol IC2409\t65535\n"
        "account ACC1 1\n"
        "heart_beat_result 1\n"
        "heart_beat_timeout 12\n"
        "silent 1\n"
        "answer_delay_ms 25\n"
        "coalesce 1\n"
        "split 1 3 7\n"
        "random_split_max 9\n"
        "random_seed 42\n"
        "order_mode partial\n"
        "order_reject_code 4294967295\n"
        "order_fill_parts 1000\n"
        "coll_version refuse\n"
        "coll_version_result 9\n"
        "coll_use_test_key 1\n"
        "coll_verdict 1\n"
        "coll_verdict none\n"
        "coll_verdict foreign 2\n"
        "coll_verdict 255\n"
        "coll_key_dir /some/dir with space\n"
        "listen_ip 10.77.0.2\n"
        "length_field 65535\r\n";
    ASSERT_TRUE(hux_sim::parse_script(script, cfg, error)) << error;
    EXPECT_EQ(cfg.version_text, "TERM ONE");
    EXPECT_EQ(cfg.version_number, -5);
    EXPECT_EQ(cfg.version_verdict, 255);
    EXPECT_EQ(cfg.version_use_text, 1);
    EXPECT_EQ(cfg.server_edition, 6);
    EXPECT_EQ(cfg.password, "s3cret pass");
    EXPECT_EQ(cfg.wrong_password_result, 9);
    EXPECT_EQ(cfg.server_value, -1);
    EXPECT_EQ(cfg.user_id, 4294967295u);
    EXPECT_EQ(cfg.logon_value, 3);
    EXPECT_EQ(cfg.max_token, 77);
    EXPECT_EQ(cfg.order_fc_count, 100u);
    EXPECT_EQ(cfg.order_fc_window_us, 500000u);
    EXPECT_EQ(cfg.cancel_fc_count, 50u);
    EXPECT_EQ(cfg.cancel_fc_window_us, 250000u);
    ASSERT_EQ(cfg.symbols.size(), 2u);
    EXPECT_EQ(cfg.symbols[1].name, "IC2409");
    EXPECT_EQ(cfg.symbols[1].index, 65535);
    ASSERT_EQ(cfg.accounts.size(), 1u);
    EXPECT_EQ(cfg.accounts[0].index, 1);
    EXPECT_EQ(cfg.heart_beat_result, 1);
    EXPECT_EQ(cfg.heart_beat_timeout, 12);
    EXPECT_TRUE(cfg.silent);
    EXPECT_EQ(cfg.answer_delay, milliseconds(25));
    EXPECT_TRUE(cfg.coalesce);
    EXPECT_EQ(cfg.split_pieces, (std::vector<size_t>{1, 3, 7}));
    EXPECT_EQ(cfg.random_split_max, 9u);
    EXPECT_EQ(cfg.random_seed, 42u);
    EXPECT_EQ(cfg.order_answer, order_mode::partial);
    EXPECT_EQ(cfg.order_reject_code, 4294967295u);
    EXPECT_EQ(cfg.order_fill_parts, 1000u);
    EXPECT_EQ(cfg.coll_version, hux_sim::coll_version_mode::refuse);
    EXPECT_EQ(cfg.coll_version_result, 9);
    EXPECT_TRUE(cfg.coll_use_test_key);
    ASSERT_EQ(cfg.coll_verdicts.size(), 4u);
    EXPECT_EQ(cfg.coll_verdicts[0].how, hux_sim::coll_verdict::kind::verdict);
    EXPECT_EQ(cfg.coll_verdicts[0].result, 1);
    EXPECT_EQ(cfg.coll_verdicts[1].how, hux_sim::coll_verdict::kind::none);
    EXPECT_EQ(cfg.coll_verdicts[2].how, hux_sim::coll_verdict::kind::foreign);
    EXPECT_EQ(cfg.coll_verdicts[2].result, 2);
    EXPECT_EQ(cfg.coll_verdicts[3].result, 255);
    EXPECT_EQ(cfg.coll_key_dir, "/some/dir with space");
    EXPECT_EQ(cfg.listen_ip, "10.77.0.2");
    EXPECT_EQ(cfg.length_field, 65535);
    const std::pair<const char*, order_mode> modes[] = {
        {"none", order_mode::none}, {"accept", order_mode::accept}, {"reject", order_mode::reject},
        {"fill", order_mode::fill}};
    for (const auto& m : modes) {
        ASSERT_TRUE(hux_sim::parse_script(std::string("order_mode ") + m.first + "\n", cfg, error)) << m.first;
        EXPECT_EQ(cfg.order_answer, m.second) << m.first;
    }
    ASSERT_TRUE(hux_sim::parse_script("coll_version silent\n", cfg, error));
    EXPECT_EQ(cfg.coll_version, hux_sim::coll_version_mode::silent);

    // Each bad line is refused naming its line; numbers are never cut.
    const char* bad[] = {
        "version_verdict 256",  "user_id -1",          "user_id 4294967296", "version_number 2147483648",
        "length_field 65536",   "length_field -2",     "silent 2",           "symbol IF2409",
        "symbol IF2409 65536",  "account ACC1 256",    "split",              "split 0",
        "max_token 12abc",      "no_such_key 1",       "server_edition",     "symbol A B C",
        "version_verdict x",
        "order_mode",           "order_mode Accept",   "order_mode fill 2",  "order_reject_code 0",
        "order_reject_code -1", "order_reject_code 4294967296",   "order_reject_code x",
        "order_fill_parts 0",   "order_fill_parts 1001",          "order_fill_parts 3x",
        "coll_version maybe",   "coll_version_result 0",          "coll_version_result 256",
        "coll_use_test_key 2",  "coll_verdict 256",    "coll_verdict -1",    "coll_verdict foreign",
        "coll_verdict foreign x", "coll_verdict other 1", "coll_verdict",
        "listen_ip",            "listen_ip 10.77.0.256",          "listen_ip localhost",
        "listen_ip ::1",
    };
    for (const char* line : bad) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(std::string("silent 0\n") + line + "\n", c, why)) << line;
        EXPECT_NE(why.find("line 2"), std::string::npos) << line << ": " << why;
    }
    // Texts too long for their fields fail the check of the whole configuration.
    sim_config c;
    EXPECT_FALSE(hux_sim::parse_script("version_text " + std::string(34, 'x') + "\n", c, error));
    EXPECT_FALSE(hux_sim::parse_script("symbol ABCDEFGHIJKLMNOPQRST 1\n", c, error));  // 20 characters
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(hux_sim::load_script_file("/nonexistent/hux-sim.txt", c, error));
}

#ifdef HUX_SIM_SERVER_PATH
namespace {

// Starts the program with its standard output and error going to out.txt and
// err.txt in the working directory.
pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(HUX_SIM_SERVER_PATH));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) ::_exit(126);
        ::execv(HUX_SIM_SERVER_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

int wait_exit(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(SimServerProgram, ServesItsScriptUntilSigtermAndListsTheReports) {
    hux_test::coll::scratch_dir here;
    const std::string key_dir = hux_test::coll::key_dir();
    // The script's key directory is replaced by the option.
    hux_test::coll::write_file("sim.txt",
                               "# refuse with verdict 1 on a qv27 server\nversion_verdict 1\nserver_edition 6\n"
                               "coll_use_test_key 1\ncoll_verdict 3\ncoll_key_dir /nonexistent\n");
    const pid_t pid = spawn({"--port", "0", "--udp-port", "0", "--script", "sim.txt", "--coll-key-dir", key_dir});
    ASSERT_GT(pid, 0);
    using hux_test::coll::read_file;
    const std::string prefix = "hux-sim-server listening on 127.0.0.1:";
    ASSERT_TRUE(hux_test::wait_until([&] { return read_file("out.txt").find('\n') != std::string::npos; }, deadline));
    const std::string line = read_file("out.txt");
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const int port = std::atoi(line.c_str() + prefix.size());
    ASSERT_GT(port, 0);
    EXPECT_EQ(line, prefix + std::to_string(port) + "\n");

    plain_client trade(static_cast<uint16_t>(port));
    ASSERT_TRUE(trade.send(version_report()));
    const std::string answer = trade.read(56);
    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(hex(answer.substr(0, 4)), "38043800");  // type 1080, length 56
    EXPECT_EQ(answer[49], 1);                         // verdict from the script
    EXPECT_EQ(answer[51], 6);                         // edition from the script

    // A terminal report encrypted with the test key, as the script asks.
    const std::string plain = "2@2024-05-06 07:08:09@127.0.0.1@@@@host@GNU/L@@A3060900FFFBEBBF@";
    std::string report(1024, '\0');
    report[0] = 'c';                    // type 99
    report.replace(1, 5, "app01");      // app id
    report.replace(49, 8, "trader01");  // login id
    const std::string content = hux_test::coll::base64_encode(
        hux_test::coll::rsa_encrypt(hux_sim::coll_test_key_file, plain, RSA_PKCS1_PADDING));
    ASSERT_EQ(content.size(), 344u);
    report.replace(135, content.size(), content);
    plain_client reporter(static_cast<uint16_t>(port));
    ASSERT_TRUE(reporter.send(unhex("61 000000 01000000") + report));  // version check 'a', version 1
    const std::string answers = reporter.read(8 + 96);
    ASSERT_EQ(answers.size(), 104u);
    EXPECT_EQ(hex(answers.substr(0, 8)), "6200010001000000");  // accepted, test key
    EXPECT_EQ(answers[8 + 88], 3);                             // the script's verdict

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    EXPECT_EQ(hux_test::read_end(trade.fd, deadline), 0);  // its connections closed with it
    std::string err_text = read_file("err.txt");
    EXPECT_NE(err_text.find("report 0 on connection 1: login trader01, app app01, test key, plaintext " + plain + "\n"),
              std::string::npos)
        << err_text;
    EXPECT_NE(err_text.find("1 report(s)"), std::string::npos) << err_text;

    // Bad arguments, a missing script and a key directory without the key
    // files end at once with code 2.
    const std::vector<std::vector<std::string>> refused = {
        {"--port", "70000"}, {"--udp-port", "1"}, {"--port", "0", "--bogus"}, {"--port", "0", "--script", "none.txt"},
        {"--port", "0", "--coll-key-dir"}, {"--port", "0", "--coll-key-dir", here.path()}};
    for (const auto& args : refused) EXPECT_EQ(wait_exit(spawn(args)), 2) << args.back();
    err_text = read_file("err.txt");
    EXPECT_NE(err_text.find("cannot read " + here.path() + "/normal_private.pem"), std::string::npos) << err_text;
}

TEST(SimServerProgram, ListensOnTheGivenAddressAndAnswersTheUdpChannel) {
    hux_test::coll::scratch_dir here;
    using hux_test::coll::read_file;
    // The option's address wins over the script's; 127.0.0.2 is loopback too.
    hux_test::coll::write_file("sim.txt", "listen_ip 127.0.0.3\norder_mode accept\n");
    const pid_t pid = spawn({"--listen", "127.0.0.2", "--port", "0", "--udp-port", "0", "--script", "sim.txt"});
    ASSERT_GT(pid, 0);
    const std::string prefix = "hux-sim-server listening on 127.0.0.2:";
    ASSERT_TRUE(hux_test::wait_until([&] { return read_file("out.txt").find('\n') != std::string::npos; }, deadline));
    const std::string line = read_file("out.txt");
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const uint16_t port = static_cast<uint16_t>(std::atoi(line.c_str() + prefix.size()));
    const std::string udp_prefix = "hux-sim-server udp on 127.0.0.2:";
    const std::string err = read_file("err.txt");  // written before the line on standard output
    ASSERT_EQ(err.compare(0, udp_prefix.size(), udp_prefix), 0) << err;
    const uint16_t udp_port = static_cast<uint16_t>(std::atoi(err.c_str() + udp_prefix.size()));

    EXPECT_LT(hux_test::connect_to(port), 0);  // nothing on 127.0.0.1
    const int trade = hux_test::connect_ip("127.0.0.2", port);
    ASSERT_GE(trade, 0);
    hux_test::udp_endpoint mine("127.0.0.1");
    hux_test::udp_endpoint stranger("127.0.0.1");
    ASSERT_TRUE(hux_test::send_all(trade, hux_test::logon_with_udp_port(mine.port)));
    EXPECT_EQ(hex(hux_test::read_exact(trade, 80, deadline).substr(0, 4)), "2e045000");  // 1070, length 80
    ASSERT_TRUE(stranger.send_to("127.0.0.2", udp_port, hux_test::order_with_token(3)));
    ASSERT_TRUE(mine.send_to("127.0.0.2", udp_port, hux_test::order_with_token(4)));
    const std::string answer = hux_test::read_exact(trade, 120, deadline);
    ASSERT_EQ(answer.size(), 120u);
    EXPECT_EQ(hex(answer.substr(0, 4)), "f2037800");   // type 1010, length 120
    EXPECT_EQ(hex(answer.substr(20, 4)), "04000000");  // client token 4: the stranger got nothing

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    ::close(trade);
    EXPECT_NE(read_file("err.txt").find("2 datagram(s) (1 from unknown ports)"), std::string::npos)
        << read_file("err.txt");

    // An address that is not one, or one this host does not have.
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--listen", "localhost"})), 2);
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--listen"})), 2);
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--listen", "192.0.2.1"})), 1);
    EXPECT_NE(read_file("err.txt").find("cannot listen on 192.0.2.1:0"), std::string::npos) << read_file("err.txt");
}

TEST(SimServerProgram, ServesTheQueryPortBesideTheTradePort) {
    hux_test::coll::scratch_dir here;
    using hux_test::coll::read_file;
    hux_test::coll::write_file("sim.txt", "password secret\nquery_user_id 9\n");
    const pid_t pid = spawn({"--port", "0", "--query-port", "0", "--script", "sim.txt"});
    ASSERT_GT(pid, 0);
    const std::string prefix = "hux-sim-server listening on 127.0.0.1:";
    ASSERT_TRUE(hux_test::wait_until([&] { return read_file("out.txt").find('\n') != std::string::npos; }, deadline));
    const std::string line = read_file("out.txt");
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const uint16_t port = static_cast<uint16_t>(std::atoi(line.c_str() + prefix.size()));
    const std::string query_prefix = "hux-sim-server query on 127.0.0.1:";
    const std::string err = read_file("err.txt");  // written before the line on standard output
    ASSERT_EQ(err.compare(0, query_prefix.size(), query_prefix), 0) << err;
    const uint16_t query_port = static_cast<uint16_t>(std::atoi(err.c_str() + query_prefix.size()));
    ASSERT_GT(query_port, 0);
    EXPECT_NE(query_port, port);

    // Both protocols at once: a version report on one, a query logon on the other.
    plain_client trade(port);
    ASSERT_TRUE(trade.send(version_report()));
    EXPECT_EQ(hex(trade.read(56).substr(0, 4)), "38043800");  // type 1080, length 56
    plain_client query(query_port);
    const std::string query_logon = unhex("4400")       // type 68
                                    + unhex("5000")     // length 80
                                    + zeros(4)          // 4-7
                                    + unhex("0f000000")  // 15 at 8
                                    + unhex("7472616465723031") + zeros(25)  // login id "trader01" at 12
                                    + secret_digest()   // digest at 45
                                    + zeros(2);         // 78-79
    ASSERT_TRUE(query.send(query_logon + query_logon + unhex("6300") + "junk"));
    const std::string answer = unhex("2c04")           // type 1068
                               + unhex("3800")         // length 56
                               + zeros(4)              // 4-7
                               + zeros(4)              // result 0 at 8
                               + zeros(33)             // 12-44
                               + unhex("09000000")     // query user id 9 at 45
                               + zeros(7);             // 49-55
    EXPECT_EQ(hex(query.read(112)), hex(answer + answer));

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    EXPECT_EQ(hux_test::read_end(query.fd, deadline), 0);
    const std::string dump = read_file("err.txt");
    EXPECT_NE(dump.find("hux-sim-server: query connection 0: 68 x2, unknown x1\n"), std::string::npos) << dump;

    // A bad query port ends at once with code 2.
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--query-port", "70000"})), 2);
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--query-port"})), 2);
}
TEST(SimServerProgram, AnswersTheAccountQueriesFromItsScript) {
    hux_test::coll::scratch_dir here;
    using hux_test::coll::read_file;
    hux_test::coll::write_file("sim.txt",
                               "answer_queries 1\n"
                               "user_account account=ACC1 amounts=1\n"
                               "user_account_end 2\n"
                               "account_bp figures=0.5\n"
                               "bp_push account=ACC1 figures=2\n"
                               "bp_push_after 81\n");
    const pid_t pid = spawn({"--port", "0", "--query-port", "0", "--script", "sim.txt"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(hux_test::wait_until([&] { return read_file("out.txt").find('\n') != std::string::npos; }, deadline));
    const std::string query_prefix = "hux-sim-server query on 127.0.0.1:";
    const std::string err = read_file("err.txt");
    ASSERT_EQ(err.compare(0, query_prefix.size(), query_prefix), 0) << err;
    plain_client query(static_cast<uint16_t>(std::atoi(err.c_str() + query_prefix.size())));

    ASSERT_TRUE(query.send(unhex("4700")            // type 71
                           + unhex("1000")          // length 16
                           + zeros(12)              // 4-15
                           + unhex("5100")          // type 81
                           + unhex("1c00")          // length 28
                           + unhex("05000000")      // request number 5 at 4
                           + zeros(4)               // user id at 8
                           + unhex("41434332") + zeros(12)));  // account "ACC2" at 12
    const std::string got = query.read(88 * 2 + 108 * 2);
    ASSERT_EQ(got.size(), 88u * 2 + 108 * 2);
    EXPECT_EQ(hex(got.substr(0, 4)), "2f045800");                    // 1071, length 88
    EXPECT_EQ(got.substr(13, 5), std::string("ACC1") + zeros(1));    // account at 13
    EXPECT_EQ(hex(got.substr(33, 8)), "000000000000f03f");           // 1.0 at 33
    EXPECT_EQ(hex(got.substr(88, 88)), "2f045800"                    // 1071, length 88
                                       + hex(zeros(4))               // 4-7
                                       + "02"                        // closing flag 2 at 8
                                       + hex(zeros(79)));            // 9-87
    EXPECT_EQ(hex(got.substr(176, 8)), "39046c0005000000");          // 1081, request number 5
    EXPECT_EQ(got.substr(188, 5), std::string("ACC2") + zeros(1));   // the request's account at 12
    EXPECT_EQ(hex(got.substr(176 + 32, 8)), "000000000000e03f");     // 0.5 at 32
    EXPECT_EQ(hex(got.substr(284, 4)), "45046c00");                  // then the push: 1093
    EXPECT_EQ(got.substr(284 + 12, 5), std::string("ACC1") + zeros(1));  // its account at 12
    EXPECT_EQ(hex(got.substr(284 + 32, 8)), "0000000000000040");     // 2.0 at 32

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    EXPECT_NE(read_file("err.txt").find("hux-sim-server: query connection 0: 71 x1, 81 x1\n"), std::string::npos)
        << read_file("err.txt");

    // A script line the reader refuses ends the program at once with code 2.
    hux_test::coll::write_file("bad.txt", "answer_queries 1\nuser_account nosuch=1\n");
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--query-port", "0", "--script", "bad.txt"})), 2);
    EXPECT_NE(read_file("err.txt").find("line 2"), std::string::npos) << read_file("err.txt");
}

namespace {

// The program's ports: the trade port from standard output, the UDP and
// query ports from standard error, each 0 when the program does not name it.
struct program_ports {
    uint16_t trade = 0;
    uint16_t udp = 0;
    uint16_t query = 0;
};

uint16_t port_after(const std::string& text, const std::string& prefix) {
    const size_t at = text.find(prefix);
    return at == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(text.c_str() + at + prefix.size()));
}

program_ports read_ports() {
    using hux_test::coll::read_file;
    program_ports p;
    if (!hux_test::wait_until([&] { return read_file("out.txt").find('\n') != std::string::npos; }, deadline)) return p;
    p.trade = port_after(read_file("out.txt"), "hux-sim-server listening on 127.0.0.1:");
    const std::string err = read_file("err.txt");  // written before the line on standard output
    p.udp = port_after(err, "hux-sim-server udp on 127.0.0.1:");
    p.query = port_after(err, "hux-sim-server query on 127.0.0.1:");
    return p;
}

// The collection protocol's version check 'a' of version 1, 8 bytes.
const std::string coll_version_check = unhex("61 000000 01000000");

// query_logon of "trader01" with the digest of "secret", 80 bytes.
std::string query_logon_request() {
    return unhex("4400")                            // type 68
           + unhex("5000")                          // length 80
           + zeros(4)                               // 4-7
           + unhex("0f000000")                      // 15 at 8
           + unhex("7472616465723031") + zeros(25)  // login id "trader01" at 12
           + secret_digest()                        // digest at 45
           + zeros(2);                              // 78-79
}

// A new order of quantity 0 for `symbol` (at 76, zero-filled to 20 bytes).
std::string order_for(uint8_t token, const std::string& symbol) {
    return hux_sim::patch_bytes(hux_test::order_with_token(token), 76, symbol);
}

}  // namespace

// On the way out the program lists each trade connection's requests by type
// and the port of its last logon, then every datagram; terminal-report
// connections are left out but keep their numbers.
TEST(SimServerProgram, ListsEachTradeConnectionsRequestsLogonPortAndEveryDatagram) {
    hux_test::coll::scratch_dir here;
    using hux_test::coll::read_file;
    hux_test::coll::write_file("sim.txt", "order_mode accept\npassword secret\n");
    const pid_t pid = spawn({"--port", "0", "--query-port", "0", "--udp-port", "0", "--script", "sim.txt"});
    ASSERT_GT(pid, 0);
    const program_ports ports = read_ports();
    ASSERT_GT(ports.trade, 0);
    ASSERT_GT(ports.udp, 0);
    ASSERT_GT(ports.query, 0);
    hux_test::udp_endpoint mine("127.0.0.1");
    hux_test::udp_endpoint stranger("127.0.0.1");
    ASSERT_NE(mine.port, 0);
    ASSERT_NE(stranger.port, 0);

    // Connection 0 reports the terminal.
    plain_client reporter(ports.trade);
    ASSERT_TRUE(reporter.send(coll_version_check));
    ASSERT_EQ(reporter.read(8).substr(0, 1), "b");  // the version reply
    // Connection 1 logs on twice, the second time naming `mine`, orders,
    // beats and ends with a type that is not a request; everything in one
    // write, so one read takes it all before the answers go out.
    plain_client first(ports.trade);
    ASSERT_TRUE(first.send(version_report() + logon_request(secret_digest()) +
                           hux_test::logon_with_udp_port(mine.port) + hux_test::order_with_token(1) + heart_beat() +
                           unhex("6300") + "junk"));
    ASSERT_EQ(first.read(56 + 80 + 80 + 120 + 16).size(), 352u);  // 1080, 1070 twice, 1010, 1200
    // Connection 2 only beats.
    plain_client second(ports.trade);
    ASSERT_TRUE(second.send(heart_beat()));
    ASSERT_EQ(hex(second.read(16)), hex(heart_beat_answer()));
    // Connection 3 logs on without a channel, then with the port 12345 of
    // the hand-made logon.
    plain_client third(ports.trade);
    ASSERT_TRUE(third.send(hux_test::logon_with_udp_port(0) + logon_request(secret_digest())));
    ASSERT_EQ(third.read(160).size(), 160u);
    // A query connection.
    plain_client query(ports.query);
    ASSERT_TRUE(query.send(query_logon_request() + unhex("6300")));
    ASSERT_EQ(hex(query.read(56).substr(0, 4)), "2c043800");  // 1068, length 56

    // Loopback delivers datagrams in the order they are sent, so the answer
    // to the last one shows that the server has all three.
    ASSERT_TRUE(stranger.send_to("127.0.0.1", ports.udp, unhex("07")));
    ASSERT_TRUE(stranger.send_to("127.0.0.1", ports.udp, heart_beat()));
    ASSERT_TRUE(mine.send_to("127.0.0.1", ports.udp, hux_test::order_with_token(2)));
    const std::string answer = first.read(120);
    ASSERT_EQ(answer.size(), 120u);
    EXPECT_EQ(hex(answer.substr(20, 4)), "02000000");  // client token 2: the datagram's

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    const std::string m = std::to_string(mine.port);
    const std::string s = std::to_string(stranger.port);
    const std::string tail =
        "hux-sim-server: query connection 0: 68 x1, unknown x1\n"
        "hux-sim-server: trade connection 1: 10 x1, 70 x2, 80 x1, 200 x1, unknown x1\n"
        "hux-sim-server: trade connection 1 logon udp port " + m + "\n"
        "hux-sim-server: trade connection 2: 200 x1\n"
        "hux-sim-server: trade connection 3: 70 x2\n"
        "hux-sim-server: trade connection 3 logon udp port 12345\n"
        "hux-sim-server: datagram 0 from port " + s + " on connection none: type 7, 1 bytes\n"
        "hux-sim-server: datagram 1 from port " + s + " on connection none: type 200, 16 bytes\n"
        "hux-sim-server: datagram 2 from port " + m + " on connection 1: type 10, 100 bytes\n"
        "hux-sim-server: signal 15, 4 connection(s) served, 3 datagram(s) (2 from unknown ports), 0 report(s)\n";
    const std::string err = read_file("err.txt");
    ASSERT_GE(err.size(), tail.size()) << err;
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail) << err;
}

// A new order for the script's drop marker closes every trade and query
// connection at once, the drop printed as it happens, and the program serves
// the connections that come after it.
TEST(SimServerProgram, DropMarkerClosesEveryTradeAndQueryConnectionAndServesNewOnes) {
    hux_test::coll::scratch_dir here;
    using hux_test::coll::read_file;
    hux_test::coll::write_file("sim.txt", "order_mode accept\npassword secret\ndrop_marker DROPME\n");
    const pid_t pid = spawn({"--port", "0", "--query-port", "0", "--script", "sim.txt"});
    ASSERT_GT(pid, 0);
    const program_ports ports = read_ports();
    ASSERT_GT(ports.trade, 0);
    ASSERT_GT(ports.query, 0);

    plain_client idle(ports.trade);  // connection 0
    ASSERT_TRUE(idle.send(heart_beat()));
    ASSERT_EQ(hex(idle.read(16)), hex(heart_beat_answer()));
    plain_client orders(ports.trade);  // connection 1
    plain_client query(ports.query);   // query connection 0
    ASSERT_TRUE(query.send(query_logon_request()));
    ASSERT_EQ(hex(query.read(56).substr(0, 4)), "2c043800");  // 1068, length 56
    // A symbol that only starts with the marker is an order like any other.
    ASSERT_TRUE(orders.send(order_for(1, "DROPMEX")));
    ASSERT_EQ(hex(orders.read(120).substr(0, 4)), "f2037800");  // 1010, length 120
    ASSERT_TRUE(orders.send(order_for(2, "DROPME")));
    EXPECT_EQ(hux_test::read_end(orders.fd, deadline), 0);  // FIN, and no answer before it
    EXPECT_EQ(hux_test::read_end(idle.fd, deadline), 0);
    EXPECT_EQ(hux_test::read_end(query.fd, deadline), 0);
    const std::string dropped = "hux-sim-server: drop marker, 3 connection(s) closed\n";
    EXPECT_TRUE(hux_test::wait_until([&] { return read_file("err.txt").find(dropped) != std::string::npos; },
                                     deadline))
        << read_file("err.txt");
    plain_client later(ports.trade);  // connection 2
    ASSERT_TRUE(later.send(version_report()));
    EXPECT_EQ(hex(later.read(56).substr(0, 4)), "38043800");  // 1080, length 56

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(pid), 0);
    // The drop came before the lines on the way out; the marker order counts
    // among its connection's requests.
    const std::string err = read_file("err.txt");
    const size_t drop = err.find(dropped);
    ASSERT_NE(drop, std::string::npos) << err;
    EXPECT_EQ(err.substr(drop + dropped.size()),
              "hux-sim-server: query connection 0: 68 x1\n"
              "hux-sim-server: trade connection 0: 200 x1\n"
              "hux-sim-server: trade connection 1: 10 x2\n"
              "hux-sim-server: trade connection 2: 80 x1\n"
              "hux-sim-server: signal 15, 3 connection(s) served, 0 datagram(s) (0 from unknown ports), 0 report(s)\n")
        << err;

    // A marker longer than the symbol field refuses the script.
    hux_test::coll::write_file("long.txt", "drop_marker " + std::string(21, 'X') + "\n");
    EXPECT_EQ(wait_exit(spawn({"--port", "0", "--script", "long.txt"})), 2);
    EXPECT_NE(read_file("err.txt").find("line 1"), std::string::npos) << read_file("err.txt");
}
#endif

// The simulated trade server, driven by a plain POSIX socket and requests
// written by hand as hex, with its answers checked against golden hex.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/sim_collection.h"
#include "sim/sim_trade_server.h"
#include "tests/support/plain_socket.h"

using hux_sim::conn_kind;
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

std::string to_hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

unsigned u16_at(const std::string& m, size_t off) {
    return static_cast<unsigned char>(m[off]) | (static_cast<unsigned char>(m[off + 1]) << 8);
}





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

std::string symbol_query(unsigned page, unsigned size) {
    std::string q = unhex("3e00")  // type 62
                    + unhex("1000")  // length 16
                    + zeros(4)       // page number, page size (filled below)
                    + unhex("e9030000")  // user id 1001
                    + unhex("00")        // selector
                    + unhex("01")        // 1
                    + zeros(2);          // bytes 14-15
    q[4] = static_cast<char>(page & 0xff);
    q[5] = static_cast<char>(page >> 8);
    q[6] = static_cast<char>(size & 0xff);
    q[7] = static_cast<char>(size >> 8);
    return q;
}

std::string heart_beat(unsigned char seq) {
    std::string hb = unhex("c800")        // type 200
                     + unhex("1000")      // length 16
                     + zeros(4)           // sequence (set below)
                     + unhex("e9030000")  // user id 1001
                     + zeros(4);          // bytes 12-15
    hb[4] = static_cast<char>(seq);
    return hb;
}

// Hand-written expected 1200 answer.
std::string heart_beat_answer() {
    return unhex("b004")   // type 1200
           + unhex("1000")  // length 16
           + zeros(12);     // nothing else
}

sim_config five_symbols() {
    sim_config cfg;
    cfg.symbols = {{"IF2409", 10}, {"IF2410", 11}, {"IC2409", 12}, {"IH2409", 13}, {"IM2409", 14}};
    return cfg;
}

struct client {
    int fd = -1;
    explicit client(uint16_t port) : fd(hux_test::connect_to(port)) {}
    ~client() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

TEST(SimServer, VersionReportGetsTheConfiguredAnswerPerConnection) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    sim_config cfg;
    cfg.version_text = "TERM-ABC";
    cfg.version_number = 0x01020304;
    cfg.version_verdict = 3;
    cfg.version_use_text = 1;
    cfg.server_edition = 6;
    ASSERT_TRUE(sim.set_config(cfg));
    sim_config second = cfg;
    second.version_verdict = 200;  // any verdict byte, for connection 1 only
    second.server_edition = 0;
    ASSERT_TRUE(sim.set_connection_config(1, second));

    client a(sim.port());
    ASSERT_GE(a.fd, 0);
    ASSERT_TRUE(sim.wait_for_connection(0, deadline));
    ASSERT_TRUE(hux_test::send_all(a.fd, version_report()));
    const std::string expected = unhex("3804")              // type 1080
                                 + unhex("3800")            // length 56
                                 + zeros(8)                 // bytes 4-11
                                 + unhex("5445524d2d414243")  // text "TERM-ABC" at 12 ...
                                 + zeros(25)                // ... 33 bytes
                                 + unhex("04030201")        // number 0x01020304 at 45
                                 + unhex("03")              // verdict 3 at 49
                                 + unhex("01")              // use the text as it is, at 50
                                 + unhex("06")              // edition 6 (qv27) at 51
                                 + zeros(4);                // bytes 52-55
    EXPECT_EQ(to_hex(hux_test::read_exact(a.fd, 56, deadline)), to_hex(expected));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_report_version, 1, deadline));
    EXPECT_EQ(to_hex(sim.last_message(0, hux_sim::msg_report_version)), to_hex(version_report()));
    EXPECT_EQ(sim.kind(0), conn_kind::trade);

    client b(sim.port());
    ASSERT_GE(b.fd, 0);
    ASSERT_TRUE(hux_test::send_all(b.fd, version_report()));
    std::string answer = hux_test::read_exact(b.fd, 56, deadline);
    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(static_cast<unsigned char>(answer[49]), 200);  // verdict of connection 1
    EXPECT_EQ(answer[51], 0);                                 // its own edition
    EXPECT_EQ(answer.substr(12, 8), "TERM-ABC");

    // A text of all 33 bytes goes out without a NUL.
    cfg.version_text = std::string(33, 'Z');
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(a.fd, version_report()));
    answer = hux_test::read_exact(a.fd, 56, deadline);
    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(answer.substr(12, 33), std::string(33, 'Z'));
    EXPECT_EQ(to_hex(answer.substr(45, 4)), "04030201");
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

    client c(sim.port());
    ASSERT_GE(c.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c.fd, logon_request(secret_digest())));
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
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 80, deadline)), to_hex(accepted));

    // The recorded request: UDP port at 128 and terminal id at 130 as sent.
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_logon, 1, deadline));
    std::string logon = sim.last_message(0, hux_sim::msg_logon);
    ASSERT_EQ(logon.size(), 168u);
    EXPECT_EQ(u16_at(logon, 128), 12345u);
    EXPECT_EQ(logon.substr(130, 33), std::string("TERM-ABC") + zeros(25));
    EXPECT_EQ(logon, logon_request(secret_digest()));

    // Wrong digests: another password, the lower-case text, a digest without its NUL.
    std::string lower = secret_digest();
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string no_nul = secret_digest();
    no_nul[32] = 'X';
    std::string other = unhex("3030303030303030303030303030303030303030303030303030303030303030") + zeros(1);
    std::string refused = accepted;
    refused[12] = 2;  // result 2 at 12, all else the same
    for (const std::string& digest : {lower, no_nul, other}) {
        ASSERT_TRUE(hux_test::send_all(c.fd, logon_request(digest)));
        EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 80, deadline)), to_hex(refused));
    }
    EXPECT_EQ(sim.count(0, hux_sim::msg_logon), 4u);

    // A configured failure for the right digest.
    cfg.logon_result = 1234;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(c.fd, logon_request(secret_digest())));
    std::string answer = hux_test::read_exact(c.fd, 80, deadline);
    ASSERT_EQ(answer.size(), 80u);
    EXPECT_EQ(to_hex(answer.substr(12, 4)), "d2040000");  // 1234
}

TEST(SimServer, SymbolIndexComesInPagesAndAccountsEndWithAMark) {
    sim_trade_server sim;
    sim_config cfg = five_symbols();
    cfg.accounts = {{"ACC1", 1}, {"ACC2", 2}};
    ASSERT_TRUE(sim.set_config(cfg));
    client c(sim.port());
    ASSERT_GE(c.fd, 0);

    // Page 1 of size 2: two entries, the second marked, counts 1 and 2.
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(1, 2)));
    std::string page = hux_test::read_exact(c.fd, 80, deadline);
    ASSERT_EQ(page.size(), 80u);
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
    EXPECT_EQ(to_hex(page), to_hex(first + second));

    // Page 2: IC2409, IH2409; page 3: IM2409 alone, marked, count 1.
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(2, 2)));
    page = hux_test::read_exact(c.fd, 80, deadline);
    ASSERT_EQ(page.size(), 80u);
    EXPECT_EQ(std::string(page.c_str() + 10), "IC2409");
    EXPECT_EQ(page[8], 0);
    EXPECT_EQ(u16_at(page, 30), 12u);
    EXPECT_EQ(std::string(page.c_str() + 50), "IH2409");
    EXPECT_EQ(page[48], 1);
    EXPECT_EQ(u16_at(page, 70), 13u);
    EXPECT_EQ(u16_at(page, 72), 2u);
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(3, 2)));
    page = hux_test::read_exact(c.fd, 40, deadline);
    ASSERT_EQ(page.size(), 40u);
    EXPECT_EQ(std::string(page.c_str() + 10), "IM2409");
    EXPECT_EQ(page[8], 1);
    EXPECT_EQ(u16_at(page, 30), 14u);
    EXPECT_EQ(u16_at(page, 32), 1u);  // fewer than the page size: the list ends

    // A page past the end: one marked message with no entry and count 0.
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(4, 2)));
    page = hux_test::read_exact(c.fd, 40, deadline);
    EXPECT_EQ(to_hex(page), to_hex(unhex("2604 2800") + zeros(4) + unhex("01") + zeros(31)));
    // Page size 0 and page 0: the whole list as one page.
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(0, 0)));
    page = hux_test::read_exact(c.fd, 200, deadline);
    ASSERT_EQ(page.size(), 200u);
    EXPECT_EQ(std::string(page.c_str() + 10), "IF2409");
    EXPECT_EQ(page[160 + 8], 1);
    EXPECT_EQ(u16_at(page, 160 + 32), 5u);

    // Account index: one message per account, then the end mark alone.
    const std::string query = unhex("3d00")        // type 61
                              + unhex("1000")      // length 16
                              + zeros(4)           // bytes 4-7
                              + unhex("e9030000")  // user id 1001
                              + zeros(4);          // bytes 12-15
    ASSERT_TRUE(hux_test::send_all(c.fd, query));
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
    std::string accounts = hux_test::read_exact(c.fd, 120, deadline);
    ASSERT_EQ(accounts.size(), 120u);
    EXPECT_EQ(to_hex(accounts.substr(0, 40)), to_hex(acc1));
    EXPECT_EQ(std::string(accounts.c_str() + 53), "ACC2");
    EXPECT_EQ(accounts[69], 2);
    EXPECT_EQ(accounts[48], 0);
    EXPECT_EQ(to_hex(accounts.substr(80)), to_hex(end));

    // No accounts: the end mark alone.
    cfg.accounts.clear();
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(c.fd, query));
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 40, deadline)), to_hex(end));
    EXPECT_EQ(sim.count(0, hux_sim::msg_symbol_idx_query), 5u);
    EXPECT_EQ(sim.count(0, hux_sim::msg_account_idx_query), 2u);
}

TEST(SimServer, HeartBeatSettingAndHeartBeatsAreAnswered) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.heart_beat_result = 3;
    cfg.heart_beat_timeout = 15;
    ASSERT_TRUE(sim.set_config(cfg));
    client c(sim.port());
    ASSERT_GE(c.fd, 0);

    const std::string setting = unhex("5a00")        // type 90
                                + unhex("1800")      // length 24
                                + zeros(4)           // bytes 4-7
                                + unhex("e9030000")  // user id 1001
                                + unhex("05000000")  // interval 5 s
                                + unhex("01")        // 1 at 16
                                + zeros(7);          // bytes 17-23
    ASSERT_TRUE(hux_test::send_all(c.fd, setting));
    const std::string expected = unhex("4204")        // type 1090
                                 + unhex("1800")      // length 24
                                 + zeros(8)           // bytes 4-11
                                 + unhex("03000000")  // result 3 at 12
                                 + unhex("0f000000")  // server time-out 15 s at 16
                                 + zeros(4);          // bytes 20-23
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 24, deadline)), to_hex(expected));

    ASSERT_TRUE(hux_test::send_all(c.fd, heart_beat(0) + heart_beat(1) + heart_beat(2)));
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 48, deadline)), to_hex(heart_beat_answer() + heart_beat_answer() + heart_beat_answer()));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_heart_beat, 3, deadline));
    auto beats = sim.messages(0, hux_sim::msg_heart_beat);
    ASSERT_EQ(beats.size(), 3u);
    EXPECT_EQ(beats[2].bytes, heart_beat(2));
    EXPECT_EQ(to_hex(sim.last_message(0, hux_sim::msg_heart_beat_setting)), to_hex(setting));
}

TEST(SimServer, SilentModeRecordsButAnswersNothing) {
    sim_trade_server sim;
    client c(sim.port());
    ASSERT_GE(c.fd, 0);
    sim.set_silent(true);
    ASSERT_TRUE(hux_test::send_all(c.fd, version_report() + heart_beat(0)));
    ASSERT_TRUE(sim.wait_for_message(0, hux_sim::msg_heart_beat, 1, deadline));
    EXPECT_EQ(sim.count(0, hux_sim::msg_report_version), 1u);

    // Answers go out in request order, so if anything had been answered
    // while silent it would come before this heart-beat's answer.
    sim.set_silent(false);
    ASSERT_TRUE(hux_test::send_all(c.fd, heart_beat(1)));
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 16, deadline)), to_hex(heart_beat_answer()));

    // A connection with its own configuration is silenced too.
    sim_config own;
    ASSERT_TRUE(sim.set_connection_config(1, own));
    sim.set_silent(true);
    EXPECT_TRUE(sim.config().silent);
    client d(sim.port());
    ASSERT_GE(d.fd, 0);
    ASSERT_TRUE(hux_test::send_all(d.fd, heart_beat(0)));
    ASSERT_TRUE(sim.wait_for_message(1, hux_sim::msg_heart_beat, 1, deadline));
    sim.set_silent(false);
    ASSERT_TRUE(hux_test::send_all(d.fd, heart_beat(1) + version_report()));
    std::string answers = hux_test::read_exact(d.fd, 16 + 56, deadline);
    ASSERT_EQ(answers.size(), 72u);
    EXPECT_EQ(answers.substr(0, 16), heart_beat_answer());
    EXPECT_EQ(to_hex(answers.substr(16, 4)), "38043800");  // the version answer right after
}

TEST(SimServer, RecordsExactBytesCutByTypeFromAnySplit) {
    sim_trade_server sim;
    sim.set_silent(true);
    client c(sim.port());
    ASSERT_GE(c.fd, 0);

    // Two orders (type 10, 100 bytes), a cancel (11, 44), a symbol-status
    // query (87, 16) and a session-id query (94, 32), with distinct contents
    // and length fields that the cutting must ignore.
    auto msg = [](unsigned type, size_t len, char fill) {
        std::string m(len, fill);
        m[0] = static_cast<char>(type);
        m[1] = 0;
        m[2] = static_cast<char>(0xff);  // a wrong length field
        m[3] = static_cast<char>(0xff);
        return m;
    };
    const std::string o1 = msg(10, 100, 'a'), o2 = msg(10, 100, 'b'), x = msg(11, 44, 'c'), q = msg(87, 16, 'd'),
                      s = msg(94, 32, 'e');
    const std::string all = o1 + x + o2 + q + s;
    // Written in pieces of 1, 3, 97, 2 ... bytes, each waiting until recorded.
    size_t cuts[] = {1, 3, 97, 2, 100, 50, 39};
    size_t off = 0;
    for (size_t n : cuts) {
        ASSERT_TRUE(hux_test::send_all(c.fd, all.substr(off, n)));
        off += n;
        ASSERT_TRUE(sim.transport().wait_received(0, off, deadline));
    }
    ASSERT_EQ(off, all.size());
    ASSERT_TRUE(sim.wait_for_message(0, 94, 1, deadline));
    auto got = sim.messages(0);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].bytes, o1);
    EXPECT_EQ(got[1].type, 11u);
    EXPECT_EQ(got[1].bytes, x);
    EXPECT_EQ(got[2].bytes, o2);
    EXPECT_EQ(got[3].bytes, q);
    EXPECT_EQ(got[4].bytes, s);
    EXPECT_EQ(sim.count(0, 10), 2u);
    EXPECT_EQ(sim.messages(0, 10)[1].bytes, o2);
    EXPECT_EQ(sim.unknown_count(0), 0u);
    EXPECT_EQ(sim.raw_received(0), all);

    // A type that is not a request takes everything buffered with it; a
    // later request is cut normally again.
    ASSERT_TRUE(hux_test::send_all(c.fd, unhex("e703 0800") + o1));  // type 999
    ASSERT_TRUE(sim.transport().wait_received(0, all.size() + 104, deadline));
    ASSERT_TRUE(hux_test::wait_until([&] { return sim.unknown_count(0) == 1; }, deadline));
    ASSERT_TRUE(hux_test::send_all(c.fd, q));
    ASSERT_TRUE(sim.wait_for_message(0, 87, 2, deadline));
    got = sim.messages(0);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_FALSE(got[5].known);
    EXPECT_EQ(got[5].type, 999u);
    EXPECT_EQ(got[5].bytes.size(), 104u);
    EXPECT_EQ(sim.count(0, 10), 2u);
    EXPECT_EQ(got[6].bytes, q);
}

TEST(SimServer, AnswerWritesCanBeSplitCoalescedDelayedAndMislabelled) {
    sim_trade_server sim;
    sim_config cfg = five_symbols();
    cfg.accounts = {{"ACC1", 1}, {"ACC2", 2}};
    cfg.split_pieces = {1, 3, 7};
    ASSERT_TRUE(sim.set_config(cfg));
    client c(sim.port());
    ASSERT_GE(c.fd, 0);
    const std::string whole_page = sim_trade_server::symbol_page(cfg, 1, 5)[0];

    // Fixed cuts, then random cuts: the bytes arrive whole and in order.
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(1, 5)));
    std::string page = hux_test::read_exact(c.fd, 200, deadline);
    ASSERT_EQ(page.size(), 200u);
    EXPECT_EQ(page.substr(0, 40), whole_page);
    EXPECT_EQ(std::string(page.c_str() + 170), "IM2409");
    cfg.split_pieces.clear();
    cfg.random_split_max = 5;
    cfg.random_seed = 77;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(c.fd, symbol_query(1, 5)));
    EXPECT_EQ(hux_test::read_exact(c.fd, 200, deadline), page);

    // Coalesced: the three account messages leave in one write, so the
    // first read after they arrive holds all 120 bytes.
    cfg.random_split_max = 0;
    cfg.coalesce = true;
    ASSERT_TRUE(sim.set_config(cfg));
    const std::string query = unhex("3d00 1000") + zeros(4) + unhex("e9030000") + zeros(4);
    ASSERT_TRUE(hux_test::send_all(c.fd, query));
    pollfd pfd{c.fd, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, static_cast<int>(deadline.count())), 1);
    char buf[512];
    EXPECT_EQ(::recv(c.fd, buf, sizeof(buf), 0), 120);

    // Delayed: each of the three writes waits, so the list takes at least
    // three delays.
    cfg.coalesce = false;
    cfg.answer_delay = milliseconds(40);
    ASSERT_TRUE(sim.set_config(cfg));
    auto start = steady_clock::now();
    ASSERT_TRUE(hux_test::send_all(c.fd, query));
    EXPECT_EQ(hux_test::read_exact(c.fd, 120, deadline).size(), 120u);
    EXPECT_GE(steady_clock::now() - start, milliseconds(120));

    // A wrong length field in every answer.
    cfg.answer_delay = milliseconds(0);
    cfg.length_field = 0x1234;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(c.fd, heart_beat(0)));
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 16, deadline)), "b004" "3412" + to_hex(zeros(12)));
    cfg.length_field = 0;
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(hux_test::send_all(c.fd, heart_beat(1)));
    EXPECT_EQ(to_hex(hux_test::read_exact(c.fd, 16, deadline)), "b004" "0000" + to_hex(zeros(12)));

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
    EXPECT_EQ(sim.config().length_field, 0);
    EXPECT_EQ(sim.config().symbols.size(), 5u);
}

TEST(SimServer, RawBytesHalfMessagesCleanCloseAndReset) {
    sim_trade_server sim;
    client a(sim.port());
    client b(sim.port());
    ASSERT_GE(a.fd, 0);
    ASSERT_GE(b.fd, 0);
    ASSERT_TRUE(sim.wait_for_connection(1, deadline));

    // An unknown type followed by half a version answer, then a clean close.
    const std::string unknown = hux_sim::make_message(4242, 20, 7);
    EXPECT_EQ(to_hex(unknown), "9210" "0700" + to_hex(zeros(16)));  // type 4242, length field 7
    const std::string answer = sim_trade_server::version_answer(sim.config());
    ASSERT_TRUE(sim.send_raw(0, unknown));
    ASSERT_TRUE(sim.send_raw_pieces(0, answer.substr(0, 28), {5, 5}));
    sim.close(0);
    EXPECT_EQ(hux_test::read_exact(a.fd, 48, deadline), unknown + answer.substr(0, 28));
    EXPECT_EQ(hux_test::read_end(a.fd, deadline), 0);
    EXPECT_FALSE(sim.send_raw(0, "x"));

    // Half a message, then a reset.
    ASSERT_TRUE(sim.send_raw_random(1, answer.substr(0, 30), 5, 4));
    EXPECT_EQ(hux_test::read_exact(b.fd, 30, deadline), answer.substr(0, 30));
    sim.reset(1);
    EXPECT_EQ(hux_test::read_end(b.fd, deadline), ECONNRESET);
}

TEST(SimServer, FirstByteSeparatesTerminalReportsFromTradeSessions) {
    sim_trade_server sim;
    client report(sim.port());
    ASSERT_GE(report.fd, 0);
    ASSERT_TRUE(sim.wait_for_connection(0, deadline));
    EXPECT_EQ(sim.kind(0), conn_kind::pending);
    // 'a' first, then bytes that would read as a version report and a heart-beat.
    const std::string bytes = "a" + version_report() + heart_beat(0);
    ASSERT_TRUE(hux_test::send_all(report.fd, bytes));
    EXPECT_EQ(sim.wait_for_kind(0, deadline), conn_kind::terminal_report);
    ASSERT_TRUE(sim.transport().wait_received(0, bytes.size(), deadline));
    EXPECT_EQ(sim.raw_received(0), bytes);
    EXPECT_TRUE(sim.messages(0).empty());

    client trade(sim.port());
    ASSERT_GE(trade.fd, 0);
    ASSERT_TRUE(hux_test::send_all(trade.fd, heart_beat(0)));
    EXPECT_EQ(sim.wait_for_kind(1, deadline), conn_kind::trade);
    EXPECT_EQ(hux_test::read_exact(trade.fd, 16, deadline), heart_beat_answer());

    // The 'a' and the seven bytes after it read as a version check and are
    // answered; the 0 after them is no collection message, so nothing more is read.
    EXPECT_EQ(hux_test::read_exact(report.fd, 8, deadline), hux_sim::coll_version_reply(0, false));
    sim.close(0);
    EXPECT_EQ(hux_test::read_end(report.fd, deadline), 0);
    EXPECT_EQ(sim.kind(5), conn_kind::pending);  // no such connection
    EXPECT_EQ(sim.wait_for_kind(5, milliseconds(10)), conn_kind::pending);
}

TEST(SimServer, UdpDatagramsAreRecorded) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.open_udp(0));
    EXPECT_FALSE(sim.open_udp(0));  // once only
    ASSERT_NE(sim.udp_port(), 0);

    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(sim.udp_port());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string order(100, 'o'), cancel(44, 'c');
    for (const std::string* d : {&order, &cancel}) {
        ASSERT_EQ(::sendto(fd, d->data(), d->size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)),
                  static_cast<ssize_t>(d->size()));
    }
    ASSERT_TRUE(sim.wait_for_datagrams(2, deadline));
    auto got = sim.datagrams();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], order);
    EXPECT_EQ(got[1], cancel);
    ::close(fd);
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
    EXPECT_EQ(cfg.length_field, 65535);

    // Each bad line is refused with its line number; numbers are never cut.
    const char* bad[] = {
        "version_verdict 256",  "user_id -1",          "user_id 4294967296", "version_number 2147483648",
        "length_field 65536",   "length_field -2",     "silent 2",           "symbol IF2409",
        "symbol IF2409 65536",  "account ACC1 256",    "split",              "split 0",
        "max_token 12abc",      "no_such_key 1",       "server_edition",     "symbol A B C",
        "symbol ABCDEFGHIJKLMNOPQRST 1",  // 20 characters
    };
    for (const char* line : bad) {
        sim_config c;
        std::string why;
        EXPECT_FALSE(hux_sim::parse_script(std::string("# first\n") + line + "\n", c, why)) << line;
        EXPECT_FALSE(why.empty()) << line;
    }
    sim_config c;
    EXPECT_FALSE(hux_sim::parse_script("silent 0\nversion_verdict x\n", c, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(hux_sim::parse_script("version_text " + std::string(34, 'x') + "\n", c, error));
    EXPECT_FALSE(hux_sim::load_script_file("/nonexistent/hux-sim.txt", c, error));
}

#ifdef HUX_SIM_SERVER_PATH
namespace {

struct child {
    pid_t pid = -1;
    int out = -1;  // read end of its standard output
};

child spawn(const std::vector<std::string>& args) {
    child ch;
    int fds[2];
    if (::pipe(fds) != 0) return ch;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(HUX_SIM_SERVER_PATH));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ch.pid = ::fork();
    if (ch.pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(HUX_SIM_SERVER_PATH, argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    ch.out = fds[0];
    return ch;
}

// Reads the child's output until `stop` appears or the stream ends.
std::string read_output(int fd, const std::string& stop) {
    std::string out;
    auto until = steady_clock::now() + deadline;
    while (steady_clock::now() < until && (stop.empty() || out.find(stop) == std::string::npos)) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[256];
        ssize_t n = ::read(fd, buf, sizeof(buf));
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// The exit status once its output ended (the pipe closes when it exits).
int wait_exit(child& ch) {
    read_output(ch.out, "");
    ::close(ch.out);
    int status = 0;
    if (::waitpid(ch.pid, &status, 0) != ch.pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(SimServerProgram, ServesFromItsScriptUntilSigterm) {
    char dir[] = "/tmp/hux-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string script = std::string(dir) + "/sim.txt";
    FILE* f = std::fopen(script.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("# refuse with verdict 1 on a qv27 server\nversion_verdict 1\nserver_edition 6\n", f);
    std::fclose(f);

    child ch = spawn({"--port", "0", "--udp-port", "0", "--script", script});
    ASSERT_GT(ch.pid, 0);
    const std::string prefix = "hux-sim-server listening on 127.0.0.1:";
    std::string line = read_output(ch.out, "\n");
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const int port = std::atoi(line.c_str() + prefix.size());
    ASSERT_GT(port, 0);
    EXPECT_EQ(line, prefix + std::to_string(port) + "\n");

    client c(static_cast<uint16_t>(port));
    ASSERT_GE(c.fd, 0);
    ASSERT_TRUE(hux_test::send_all(c.fd, version_report()));
    std::string answer = hux_test::read_exact(c.fd, 56, deadline);
    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(to_hex(answer.substr(0, 4)), "38043800");  // type 1080, length 56
    EXPECT_EQ(answer[49], 1);                           // verdict from the script
    EXPECT_EQ(answer[51], 6);                           // edition from the script

    ASSERT_EQ(::kill(ch.pid, SIGTERM), 0);
    EXPECT_EQ(wait_exit(ch), 0);
    EXPECT_EQ(hux_test::read_end(c.fd, deadline), 0);  // its connections closed with it
    ::unlink(script.c_str());
    ::rmdir(dir);

    // Bad arguments and a missing script end at once with code 2.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "70000"}, {"--udp-port", "1"}, {"--port", "0", "--bogus"}, {"--port", "0", "--script", script}}) {
        child bad = spawn(args);
        ASSERT_GT(bad.pid, 0);
        EXPECT_EQ(wait_exit(bad), 2) << args.back();
    }
}
#endif

// The simulated trade server as a collection service, driven by plain
// sockets and messages written by hand: version replies and verdicts are
// checked against golden hex, report contents are encrypted here with the
// test key pairs and must come back decrypted exactly, and malformed
// contents are recorded as failures. How report and trade connections are told apart
// and numbered is proved by the logon tests that report before each logon.
#include <gtest/gtest.h>

#include <openssl/rsa.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/coll_support.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"

using hux_sim::coll_verdict;
using hux_sim::coll_version_mode;
using hux_sim::conn_kind;
using hux_sim::sim_coll_report;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using hux_test::coll::base64_encode;
using hux_test::coll::rsa_encrypt;
using namespace hux_test::net;
using namespace std::chrono;

namespace {

const milliseconds deadline = hux_test::test_wait();
const char* const kNormal = hux_sim::coll_normal_key_file;
const char* const kTest = hux_sim::coll_test_key_file;

// The 8-byte version check.
std::string version_check() {
    return unhex("61")           // type 97 'a'
           + zeros(3)            // reserved
           + unhex("01000000");  // version 1
}

struct report_fields {
    std::string app_id = "app01";
    std::string auth_code = "AUTH-CODE";
    std::string login_id = "trader01";
    std::string password = "5EBE2294ECD0E0F08EAB7690D2A6EE69";
    std::string report_time = "2024-05-06 07:08:09";
    std::string content;  // base64 text; may fill its whole field
};

// A 1024-byte report: each text copied into its field as it is (a text as
// wide as its field goes without NUL).
std::string report(const report_fields& f) {
    std::string m(1024, '\0');
    m[0] = 'c';  // type 99
    auto put = [&m](size_t at, size_t width, const std::string& text) {
        m.replace(at, std::min(width, text.size()), text.substr(0, width));
    };
    put(1, 30, f.app_id);
    put(31, 18, f.auth_code);
    put(49, 33, f.login_id);
    put(82, 33, f.password);
    put(115, 20, f.report_time);
    put(135, 889, f.content);
    return m;
}

std::string report_with(const std::string& content) {
    report_fields f;
    f.content = content;
    return report(f);
}

// Every byte of a verdict except the receive time at 68..87, which is the
// server's clock; its shape is checked by receive_time_ok.
std::string verdict_without_time(const std::string& v) { return v.substr(0, 68) + v.substr(88); }

bool receive_time_ok(const std::string& v) {
    return v.size() == 96 && v[87] == '\0' && hux_test::coll::is_sql_datetime(v.substr(68, 19));
}

}  // namespace

TEST(SimCollection, VersionCheckIsAnsweredAsConfigured) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());

    // Accepted, normal key (the default).
    plain_client a(sim.port());
    ASSERT_TRUE(a.send(version_check()));
    EXPECT_EQ(hex(a.read(8)), "62"          // type 98 'b'
                              "00"          // accepted
                              "00"          // normal key
                              "00"          // reserved
                              "01000000");  // version 1
    EXPECT_EQ(sim.wait_for_kind(0, deadline), conn_kind::terminal_report);

    // Refused with byte 7, test key; a second check on the same connection
    // is answered again.
    sim_config cfg;
    cfg.coll_version = coll_version_mode::refuse;
    cfg.coll_version_result = 7;
    cfg.coll_use_test_key = true;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client b(sim.port());
    ASSERT_TRUE(b.send(version_check() + version_check()));
    EXPECT_EQ(hex(b.read(16)), "62" "07" "01" "00" "01000000"    // refused (7), test key
                               "62" "07" "01" "00" "01000000");  // the same again

    // Accepted with the test key.
    cfg.coll_version = coll_version_mode::accept;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client c(sim.port());
    ASSERT_TRUE(c.send(version_check()));
    EXPECT_EQ(hex(c.read(8)), "62" "00" "01" "00" "01000000");

    // Silent: the first bytes that come back are the verdict on the report
    // sent after the check, so no version reply went out.
    cfg.coll_version = coll_version_mode::silent;
    ASSERT_TRUE(sim.set_config(cfg));
    plain_client d(sim.port());
    ASSERT_TRUE(d.send(version_check() + report(report_fields())));
    EXPECT_EQ(d.read(96).substr(0, 1), "d");

    // The trade silence does not silence report connections.
    ASSERT_TRUE(sim.set_config(sim_config()));
    sim.set_silent(true);
    plain_client e(sim.port());
    ASSERT_TRUE(e.send(version_check()));
    EXPECT_EQ(hex(e.read(8)), "6200000001000000");
}

TEST(SimCollection, VerdictsFollowTheListOverAllConnections) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.user_id = 1001;
    cfg.coll_verdicts = {{coll_verdict::kind::verdict, 1},
                         {coll_verdict::kind::none, 0},
                         {coll_verdict::kind::foreign, 0},
                         {coll_verdict::kind::verdict, 7}};
    ASSERT_TRUE(sim.set_config(cfg));

    auto login = [](int n) {
        report_fields f;
        f.app_id = "app0" + std::to_string(n);
        f.login_id = "user" + std::to_string(n);
        return report(f);
    };

    // Reports 0, 1 and 2 in one write: verdict 1, nothing, foreign 0.
    plain_client a(sim.port());
    ASSERT_TRUE(a.send(version_check() + login(0) + login(1) + login(2)));
    ASSERT_EQ(a.read(8).size(), 8u);
    std::string v = a.read(96);
    EXPECT_EQ(hex(verdict_without_time(v)),
              "64"                                    // type 100 'd'
              "6170703030" + hex(zeros(25)) +         // app id "app00", 30 bytes
              "7573657230" + hex(zeros(28)) +         // login id "user0", 33 bytes
              "e9030000"                              // user id 1001
              /* receive time 68..87, below */
              "01"                                    // verdict 1
              "00000000000000");                      // reserved
    EXPECT_TRUE(receive_time_ok(v)) << hex(v);
    // Report 1 has no verdict: the next one is report 2's, under the foreign login.
    v = a.read(96);
    EXPECT_EQ(hex(verdict_without_time(v)),
              "64"                                              // type 100 'd'
              "6170703032" + hex(zeros(25)) +                   // app id "app02", echoed
              "73696d2d666f726569676e2d6c6f67696e" + hex(zeros(16)) +  // "sim-foreign-login", 33 bytes
              "e9030000"                                        // user id 1001
              "00"                                              // verdict 0
              "00000000000000");                                // reserved
    ASSERT_TRUE(sim.wait_for_reports(3, deadline));

    // The list goes on over the next connection: report 3 gets 7, report 4
    // is past the list and gets 0.
    plain_client b(sim.port());
    ASSERT_TRUE(b.send(version_check() + login(3) + login(4)));
    ASSERT_EQ(b.read(8).size(), 8u);
    for (int n : {3, 4}) {
        v = b.read(96);
        ASSERT_EQ(v.size(), 96u);
        EXPECT_EQ(v.substr(31, 6), "user" + std::to_string(n) + '\0');
        EXPECT_EQ(v[88], n == 3 ? 7 : 0);
    }
    ASSERT_TRUE(sim.wait_for_reports(5, deadline));
    const std::vector<sim_coll_report> recs = sim.reports();
    ASSERT_EQ(recs.size(), 5u);
    for (size_t i = 0; i < recs.size(); ++i) {
        EXPECT_EQ(recs[i].login_id, "user" + std::to_string(i));
        EXPECT_EQ(recs[i].conn, i < 3 ? 0u : 1u);
        EXPECT_EQ(recs[i].bytes, login(static_cast<int>(i)));
    }

    // Ids that fill their fields are echoed and read bounded by the fields,
    // never running into the next one.
    report_fields wide;
    wide.app_id = std::string(30, 'A');
    wide.auth_code = "NEXT";
    wide.login_id = std::string(33, 'L');
    wide.password = "P";
    ASSERT_TRUE(b.send(report(wide)));
    v = b.read(96);
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(v.substr(1, 63), std::string(30, 'A') + std::string(33, 'L'));
    EXPECT_EQ(hex(v.substr(64, 4)), "e9030000");  // the user id follows untouched
    ASSERT_TRUE(sim.wait_for_reports(6, deadline));
    const sim_coll_report r = sim.reports()[5];
    EXPECT_EQ(r.app_id, std::string(30, 'A'));
    EXPECT_EQ(r.auth_code, "NEXT");
    EXPECT_EQ(r.login_id, std::string(33, 'L'));
    EXPECT_EQ(r.password, "P");
    EXPECT_EQ(r.report_time, "2024-05-06 07:08:09");
}

TEST(SimCollection, ReportsAreDecryptedWithTheKeyTheClientWasTold) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.coll_key_dir = hux_test::coll::key_dir();
    ASSERT_TRUE(sim.set_config(cfg));
    const std::string line =
        "2@2024-05-06 07:08:09@127.0.0.1@10.1.2.3@0A1B2C3D4E5F@@hostname1@GNU/L@SN0123456789ABCD@"
        "A3060900FFFBEBBF@BIOS012345";
    // Sends a version check and a report with this content on a connection
    // of its own, and returns the report as the server recorded it.
    auto run = [&](const std::string& content, size_t answer_len) {
        const size_t n = sim.reports().size() + 1;
        plain_client c(sim.port());
        EXPECT_TRUE(c.send(version_check() + report_with(content)));
        EXPECT_EQ(c.read(answer_len).size(), answer_len);
        EXPECT_TRUE(sim.wait_for_reports(n, deadline));
        return sim.reports().at(n - 1);
    };

    // Normal key: a terminal line as a client writes it.
    const std::string normal_content = base64_encode(rsa_encrypt(kNormal, line, RSA_PKCS1_PADDING));
    ASSERT_EQ(normal_content.size(), 344u);
    sim_coll_report r = run(normal_content, 8 + 96);
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_FALSE(r.test_key);
    EXPECT_EQ(r.plaintext, line);

    // Test key: the largest block one key carries (245 bytes), every byte
    // value but 0 and then a 0, comes back whole.
    cfg.coll_use_test_key = true;
    ASSERT_TRUE(sim.set_config(cfg));
    std::string block;
    for (int i = 1; i < 245; ++i) block.push_back(static_cast<char>(i));
    block.push_back('\0');
    r = run(base64_encode(rsa_encrypt(kTest, block, RSA_PKCS1_PADDING)), 8 + 96);
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_TRUE(r.test_key);
    EXPECT_EQ(hex(r.plaintext), hex(block));

    // The key named by a version reply that was held back still counts.
    cfg.coll_version = coll_version_mode::silent;
    ASSERT_TRUE(sim.set_config(cfg));
    r = run(base64_encode(rsa_encrypt(kTest, line, RSA_PKCS1_PADDING)), 96);
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_EQ(r.plaintext, line);

    // Without a key directory the report is recorded and answered, not decrypted.
    cfg = sim_config();
    ASSERT_TRUE(sim.set_config(cfg));
    r = run(normal_content, 8 + 96);
    EXPECT_FALSE(r.decrypted);
    EXPECT_TRUE(r.plaintext.empty());
    EXPECT_TRUE(r.failure.empty());
    EXPECT_EQ(r.login_id, "trader01");

    // A key directory without the key files: a failure with the reason.
    cfg.coll_key_dir = "/nonexistent/coll_keys";
    ASSERT_TRUE(sim.set_config(cfg));
    r = run(normal_content, 8 + 96);
    EXPECT_FALSE(r.decrypted);
    EXPECT_NE(r.failure.find("/nonexistent/coll_keys/normal_private.pem"), std::string::npos) << r.failure;
}

TEST(SimCollection, MalformedContentIsRecordedAsFailedAndStillJudged) {
    sim_trade_server sim;
    sim_config cfg;
    cfg.coll_key_dir = hux_test::coll::key_dir();
    ASSERT_TRUE(sim.set_config(cfg));

    // A block that decrypts with the right key but carries signature
    // padding (00 01 FF..) where encryption padding (00 02) belongs.
    std::string bad_padding = unhex("0001") + std::string(200, '\xff') + zeros(1);
    bad_padding += std::string(256 - bad_padding.size(), 'x');
    const std::string raw_block = rsa_encrypt(kNormal, bad_padding, RSA_NO_PADDING);
    ASSERT_EQ(raw_block.size(), 256u);

    const std::vector<std::string> contents = {
        "Zm9vY",                               // length not a multiple of 4
        "Zm9v@AAA",                            // a character outside the alphabet
        "QQ==QUFB",                            // padding before the end
        "",                                    // nothing to decrypt
        std::string(889, 'A'),                 // fills the field: no terminating NUL
        base64_encode(std::string(255, 'k')),  // a block of the wrong size
        base64_encode(raw_block),              // the wrong padding
    };
    plain_client a(sim.port());
    std::string all = version_check();
    for (size_t i = 0; i < contents.size(); ++i) {
        report_fields f;
        f.login_id = "bad" + std::to_string(i);
        f.content = contents[i];
        all += report(f);
    }
    ASSERT_TRUE(a.send(all));
    const std::string answers = a.read(8 + 96 * contents.size());
    ASSERT_EQ(answers.size(), 8 + 96 * contents.size());
    ASSERT_TRUE(sim.wait_for_reports(contents.size(), deadline));
    const std::vector<sim_coll_report> recs = sim.reports();
    for (size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(recs[i].decrypted);
        EXPECT_TRUE(recs[i].plaintext.empty());
        EXPECT_FALSE(recs[i].failure.empty());
        EXPECT_EQ(recs[i].login_id, "bad" + std::to_string(i));
        EXPECT_EQ(answers.substr(8 + 96 * i + 31, 5), "bad" + std::to_string(i) + '\0');  // judged all the same
    }
    EXPECT_EQ(recs[4].failure, "report content has no terminating NUL");
    for (size_t i : {0, 1, 2}) EXPECT_EQ(recs[i].failure, "report content is not base64") << i;
}

TEST(SimCollection, Base64DecodingIsStrict) {
    const struct {
        const char* text;
        const char* bytes;
    } vectors[] = {{"", ""},         {"Zg==", "f"},         {"Zm8=", "fo"},        {"Zm9v", "foo"},
                   {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}, {"Zm9vYmFy", "foobar"}, {"+/+/", "\xfb\xff\xbf"}};
    for (const auto& v : vectors) {
        std::string out = "stale";
        EXPECT_TRUE(hux_sim::coll_base64_decode(v.text, out)) << v.text;
        EXPECT_EQ(out, v.bytes) << v.text;
    }
    for (const char* bad : {"Zg=", "Zg", "Zg=A", "Z===", "=Zg=", "====", "Zm9v\n", "Zm 9", "Zg==Zg==", "Zm-_"}) {
        std::string out = "stale";
        EXPECT_FALSE(hux_sim::coll_base64_decode(bad, out)) << bad;
        EXPECT_TRUE(out.empty()) << bad;
    }
}

TEST(SimCollection, ReportBytesAreCutByTypeAndAnUnknownByteEndsTheReading) {
    sim_trade_server sim;
    plain_client a(sim.port());
    // A report in two writes, the second only after the server has the first.
    report_fields f;
    const std::string r = report(f);
    ASSERT_TRUE(a.send(version_check() + r.substr(0, 500)));
    ASSERT_EQ(a.read(8).size(), 8u);
    ASSERT_TRUE(sim.transport().wait_received(0, 508, deadline));
    EXPECT_TRUE(sim.reports().empty());
    ASSERT_TRUE(a.send(r.substr(500)));
    const std::string v = a.read(96);
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(v.substr(31, 9), std::string("trader01\0", 9));
    ASSERT_EQ(sim.reports().size(), 1u);
    EXPECT_EQ(sim.reports()[0].bytes, r);

    // A byte of no known type: the report behind it is never read. Its bytes
    // are all received before the next connection's report, which is the
    // only one recorded.
    const std::string junk = "x" + r;
    ASSERT_TRUE(a.send(junk));
    ASSERT_TRUE(sim.transport().wait_received(0, 8 + r.size() + junk.size(), deadline));
    plain_client b(sim.port());
    f.login_id = "second";
    ASSERT_TRUE(b.send(version_check() + report(f)));
    ASSERT_EQ(b.read(8 + 96).size(), 104u);
    ASSERT_TRUE(sim.wait_for_reports(2, deadline));
    const std::vector<sim_coll_report> recs = sim.reports();
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[1].login_id, "second");
    EXPECT_EQ(recs[1].conn, 1u);
    EXPECT_EQ(sim.raw_received(0), version_check() + r + junk);
    EXPECT_TRUE(sim.messages(0).empty());
}

// The simulated trade server as a collection service, driven by plain
// sockets and messages written by hand: version replies and verdicts are
// checked against golden hex, report contents are encrypted here with the
// public half of the test key pairs and must come back decrypted exactly,
// malformed contents are recorded as failures, and trade connections keep
// working and keep their own numbering beside report connections.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/plain_socket.h"

using hux_sim::coll_verdict;
using hux_sim::coll_version_mode;
using hux_sim::conn_kind;
using hux_sim::sim_coll_report;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using namespace std::chrono;

namespace {

const milliseconds deadline(5000);

// The key pairs live next to this file, in tests/data/coll_keys.
std::string key_dir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/data/coll_keys";
}

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

std::string hex(const std::string& bytes) { return hux_test::hex_of(bytes.data(), bytes.size()); }
std::string zeros(size_t n) { return std::string(n, '\0'); }

struct client {
    int fd = -1;
    explicit client(uint16_t port) : fd(hux_test::connect_to(port)) {}
    ~client() {
        if (fd >= 0) ::close(fd);
    }
    bool send(const std::string& bytes) const { return hux_test::send_all(fd, bytes); }
    std::string read(size_t n) const { return hux_test::read_exact(fd, n, deadline); }
};

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

// Every byte of a verdict except the receive time at 68..87, which is the
// server's clock; that is checked by receive_time_ok.
std::string verdict_without_time(const std::string& v) { return v.substr(0, 68) + v.substr(88); }

bool receive_time_ok(const std::string& v) {
    if (v.size() != 96 || v[87] != '\0') return false;
    const std::string t = v.substr(68, 19);
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != shape[i]) return false;
    }
    return true;
}

using pkey_ptr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

// The public half of a private key file: written out as a "PUBLIC KEY" PEM
// and read back, so nothing private is left in it.
pkey_ptr public_half(const std::string& private_file) {
    pkey_ptr none(nullptr, EVP_PKEY_free);
    FILE* f = std::fopen(private_file.c_str(), "r");
    if (f == nullptr) return none;
    pkey_ptr priv(PEM_read_PrivateKey(f, nullptr, nullptr, nullptr), EVP_PKEY_free);
    std::fclose(f);
    if (!priv) return none;
    BIO* mem = BIO_new(BIO_s_mem());
    if (mem == nullptr) return none;
    EVP_PKEY* pub = nullptr;
    if (PEM_write_bio_PUBKEY(mem, priv.get()) == 1) pub = PEM_read_bio_PUBKEY(mem, nullptr, nullptr, nullptr);
    BIO_free(mem);
    return pkey_ptr(pub, EVP_PKEY_free);
}

// One RSA block with the given padding; empty on failure.
std::string rsa_encrypt(EVP_PKEY* key, const std::string& plain, int padding) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    std::string out;
    size_t len = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(plain.data());
    if (ctx != nullptr && EVP_PKEY_encrypt_init(ctx) > 0 && EVP_PKEY_CTX_set_rsa_padding(ctx, padding) > 0 &&
        EVP_PKEY_encrypt(ctx, nullptr, &len, in, plain.size()) > 0) {
        out.assign(len, '\0');
        if (EVP_PKEY_encrypt(ctx, reinterpret_cast<unsigned char*>(&out[0]), &len, in, plain.size()) > 0) {
            out.resize(len);
        } else {
            out.clear();
        }
    }
    EVP_PKEY_CTX_free(ctx);
    return out;
}

std::string base64(const std::string& bin) {
    std::string out(4 * ((bin.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(bin.data()), static_cast<int>(bin.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// A heart-beat of a trade session, 16 bytes, and its 1200 answer.
std::string heart_beat() {
    return unhex("c800")        // type 200
           + unhex("1000")      // length 16
           + zeros(4)           // sequence
           + unhex("e9030000")  // user id 1001
           + zeros(4);          // bytes 12-15
}

std::string heart_beat_answer() {
    return unhex("b004")   // type 1200
           + unhex("1000")  // length 16
           + zeros(12);     // nothing else
}

}  // namespace

TEST(SimCollection, VersionCheckIsAnsweredAsConfigured) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.listening());

    // Accepted, normal key (the default).
    client a(sim.port());
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
    client b(sim.port());
    ASSERT_TRUE(b.send(version_check() + version_check()));
    EXPECT_EQ(hex(b.read(16)), "62" "07" "01" "00" "01000000"    // refused (7), test key
                               "62" "07" "01" "00" "01000000");  // the same again

    // Accepted with the test key.
    cfg.coll_version = coll_version_mode::accept;
    ASSERT_TRUE(sim.set_config(cfg));
    client c(sim.port());
    ASSERT_TRUE(c.send(version_check()));
    EXPECT_EQ(hex(c.read(8)), "62" "00" "01" "00" "01000000");

    // Silent: the first bytes that come back are the verdict on the report
    // sent after the check, so no version reply went out.
    cfg.coll_version = coll_version_mode::silent;
    ASSERT_TRUE(sim.set_config(cfg));
    client d(sim.port());
    ASSERT_TRUE(d.send(version_check() + report(report_fields())));
    const std::string first = d.read(96);
    ASSERT_EQ(first.size(), 96u);
    EXPECT_EQ(first[0], 'd');

    // A refusal with 0 would be an accept: refused, nothing changed.
    sim_config zero;
    zero.coll_version_result = 0;
    EXPECT_FALSE(sim.set_config(zero));
    EXPECT_EQ(sim.config().coll_version, coll_version_mode::silent);

    // The trade silence does not silence report connections.
    ASSERT_TRUE(sim.set_config(sim_config()));
    sim.set_silent(true);
    client e(sim.port());
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
    client a(sim.port());
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
    client b(sim.port());
    ASSERT_TRUE(b.send(version_check() + login(3) + login(4)));
    ASSERT_EQ(b.read(8).size(), 8u);
    v = b.read(96);
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(v.substr(31, 6), std::string("user3\0", 6));
    EXPECT_EQ(v[88], 7);
    v = b.read(96);
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(v.substr(31, 6), std::string("user4\0", 6));
    EXPECT_EQ(v[88], 0);

    ASSERT_TRUE(sim.wait_for_reports(5, deadline));
    const std::vector<sim_coll_report> recs = sim.reports();
    ASSERT_EQ(recs.size(), 5u);
    for (size_t i = 0; i < recs.size(); ++i) {
        EXPECT_EQ(recs[i].login_id, "user" + std::to_string(i));
        EXPECT_EQ(recs[i].conn, i < 3 ? 0u : 1u);
        EXPECT_EQ(recs[i].bytes, login(static_cast<int>(i)));
    }

    // Ids that fill their fields are echoed bounded by the fields, never
    // running into the next one.
    report_fields wide;
    wide.app_id = std::string(30, 'A');
    wide.auth_code = "NEXT";
    wide.login_id = std::string(33, 'L');
    wide.password = "P";
    ASSERT_TRUE(b.send(report(wide)));
    v = b.read(96);
    ASSERT_EQ(v.size(), 96u);
    EXPECT_EQ(v.substr(1, 30), std::string(30, 'A'));
    EXPECT_EQ(v.substr(31, 33), std::string(33, 'L'));
    EXPECT_EQ(hex(v.substr(64, 4)), "e9030000");  // the user id follows untouched
    ASSERT_TRUE(sim.wait_for_reports(6, deadline));
    const sim_coll_report r = sim.reports()[5];
    EXPECT_EQ(r.app_id, std::string(30, 'A'));
    EXPECT_EQ(r.auth_code, "NEXT");
    EXPECT_EQ(r.login_id, std::string(33, 'L'));
    EXPECT_EQ(r.password, "P");
}

TEST(SimCollection, ReportsAreDecryptedWithTheKeyTheClientWasTold) {
    pkey_ptr normal = public_half(key_dir() + "/normal_private.pem");
    pkey_ptr test = public_half(key_dir() + "/test_private.pem");
    ASSERT_TRUE(normal && test) << key_dir();

    sim_trade_server sim;
    sim_config cfg;
    cfg.coll_key_dir = key_dir();
    ASSERT_TRUE(sim.set_config(cfg));

    // Normal key: a terminal line as a client writes it.
    const std::string line =
        "2@2024-05-06 07:08:09@127.0.0.1@10.1.2.3@0A1B2C3D4E5F@@hostname1@GNU/L@SN0123456789ABCD@"
        "A3060900FFFBEBBF@BIOS012345";
    report_fields f;
    f.content = base64(rsa_encrypt(normal.get(), line, RSA_PKCS1_PADDING));
    ASSERT_EQ(f.content.size(), 344u);
    client a(sim.port());
    ASSERT_TRUE(a.send(version_check() + report(f)));
    ASSERT_EQ(a.read(8 + 96).size(), 104u);
    ASSERT_TRUE(sim.wait_for_reports(1, deadline));
    sim_coll_report r = sim.reports()[0];
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_EQ(r.plaintext, line);
    EXPECT_FALSE(r.test_key);
    EXPECT_EQ(r.app_id, "app01");
    EXPECT_EQ(r.auth_code, "AUTH-CODE");
    EXPECT_EQ(r.login_id, "trader01");
    EXPECT_EQ(r.password, "5EBE2294ECD0E0F08EAB7690D2A6EE69");
    EXPECT_EQ(r.report_time, "2024-05-06 07:08:09");
    EXPECT_EQ(r.bytes, report(f));
    EXPECT_EQ(r.conn, 0u);

    // Test key: the largest block one key carries (245 bytes), every byte
    // value but 0 and then a 0, comes back whole.
    cfg.coll_use_test_key = true;
    ASSERT_TRUE(sim.set_config(cfg));
    std::string block;
    for (int i = 1; i < 245; ++i) block.push_back(static_cast<char>(i));
    block.push_back('\0');
    f.content = base64(rsa_encrypt(test.get(), block, RSA_PKCS1_PADDING));
    client b(sim.port());
    ASSERT_TRUE(b.send(version_check() + report(f)));
    ASSERT_EQ(b.read(8 + 96).size(), 104u);
    ASSERT_TRUE(sim.wait_for_reports(2, deadline));
    r = sim.reports()[1];
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_TRUE(r.test_key);
    EXPECT_EQ(hex(r.plaintext), hex(block));

    // The key named by a version reply that was held back still counts.
    cfg.coll_version = coll_version_mode::silent;
    ASSERT_TRUE(sim.set_config(cfg));
    f.content = base64(rsa_encrypt(test.get(), line, RSA_PKCS1_PADDING));
    client c(sim.port());
    ASSERT_TRUE(c.send(version_check() + report(f)));
    ASSERT_EQ(c.read(96).size(), 96u);
    ASSERT_TRUE(sim.wait_for_reports(3, deadline));
    r = sim.reports()[2];
    EXPECT_TRUE(r.decrypted) << r.failure;
    EXPECT_EQ(r.plaintext, line);

    // Without a key directory the report is recorded and answered, not decrypted.
    cfg = sim_config();
    ASSERT_TRUE(sim.set_config(cfg));
    f.content = base64(rsa_encrypt(normal.get(), line, RSA_PKCS1_PADDING));
    client d(sim.port());
    ASSERT_TRUE(d.send(version_check() + report(f)));
    ASSERT_EQ(d.read(8 + 96).size(), 104u);
    ASSERT_TRUE(sim.wait_for_reports(4, deadline));
    r = sim.reports()[3];
    EXPECT_FALSE(r.decrypted);
    EXPECT_TRUE(r.plaintext.empty());
    EXPECT_TRUE(r.failure.empty());
    EXPECT_EQ(r.login_id, "trader01");

    // A key directory without the key files: a failure with the reason.
    cfg.coll_key_dir = "/nonexistent/coll_keys";
    ASSERT_TRUE(sim.set_config(cfg));
    client e(sim.port());
    ASSERT_TRUE(e.send(version_check() + report(f)));
    ASSERT_EQ(e.read(8 + 96).size(), 104u);
    ASSERT_TRUE(sim.wait_for_reports(5, deadline));
    r = sim.reports()[4];
    EXPECT_FALSE(r.decrypted);
    EXPECT_NE(r.failure.find("/nonexistent/coll_keys/normal_private.pem"), std::string::npos) << r.failure;
}

TEST(SimCollection, MalformedContentIsRecordedAsFailedAndStillJudged) {
    pkey_ptr normal = public_half(key_dir() + "/normal_private.pem");
    ASSERT_TRUE(normal);
    sim_trade_server sim;
    sim_config cfg;
    cfg.coll_key_dir = key_dir();
    ASSERT_TRUE(sim.set_config(cfg));

    // A block that decrypts with the right key but carries signature
    // padding (00 01 FF..) where encryption padding (00 02) belongs.
    std::string bad_padding = unhex("0001") + std::string(200, '\xff') + zeros(1);
    bad_padding += std::string(256 - bad_padding.size(), 'x');
    const std::string raw_block = rsa_encrypt(normal.get(), bad_padding, RSA_NO_PADDING);
    ASSERT_EQ(raw_block.size(), 256u);

    const std::vector<std::string> contents = {
        "Zm9vY",                           // length not a multiple of 4
        "Zm9v@AAA",                        // a character outside the alphabet
        "QQ==QUFB",                        // padding before the end
        "",                                // nothing to decrypt
        std::string(889, 'A'),             // fills the field: no terminating NUL
        base64(std::string(255, 'k')),     // a block of the wrong size
        base64(raw_block),                 // the wrong padding
    };
    client a(sim.port());
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
    EXPECT_EQ(recs[0].failure, "report content is not base64");
    EXPECT_EQ(recs[1].failure, "report content is not base64");
    EXPECT_EQ(recs[2].failure, "report content is not base64");
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
    client a(sim.port());
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
    client b(sim.port());
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

TEST(SimCollection, TradeConnectionsKeepWorkingAndHaveTheirOwnNumbers) {
    sim_trade_server sim;
    EXPECT_EQ(sim.trade_connection(0), sim_trade_server::no_connection);

    // Accept order: report, trade, report, trade.
    client r1(sim.port());
    ASSERT_TRUE(r1.send(version_check()));
    ASSERT_EQ(sim.wait_for_kind(0, deadline), conn_kind::terminal_report);
    client t1(sim.port());
    ASSERT_TRUE(t1.send(heart_beat()));
    EXPECT_EQ(sim.wait_for_trade_connection(0, deadline), 1u);
    client r2(sim.port());
    ASSERT_TRUE(r2.send(version_check()));
    ASSERT_EQ(sim.wait_for_kind(2, deadline), conn_kind::terminal_report);
    client t2(sim.port());
    ASSERT_TRUE(t2.send(heart_beat()));
    EXPECT_EQ(sim.wait_for_trade_connection(1, deadline), 3u);
    EXPECT_EQ(sim.trade_connection(0), 1u);
    EXPECT_EQ(sim.trade_connection(1), 3u);
    EXPECT_EQ(sim.trade_connection(2), sim_trade_server::no_connection);
    EXPECT_EQ(sim.wait_for_trade_connection(2, milliseconds(20)), sim_trade_server::no_connection);

    // Each side gets its own answers, also when the writes interleave.
    EXPECT_EQ(hex(t1.read(16)), hex(heart_beat_answer()));
    EXPECT_EQ(hex(t2.read(16)), hex(heart_beat_answer()));
    EXPECT_EQ(hex(r1.read(8)), "6200000001000000");
    EXPECT_EQ(hex(r2.read(8)), "6200000001000000");
    const std::string rep = report(report_fields());
    ASSERT_TRUE(r2.send(rep.substr(0, 600)));
    ASSERT_TRUE(t2.send(heart_beat()));
    ASSERT_TRUE(r2.send(rep.substr(600)));
    EXPECT_EQ(hex(t2.read(16)), hex(heart_beat_answer()));
    const std::string verdict = r2.read(96);
    ASSERT_EQ(verdict.size(), 96u);
    EXPECT_EQ(verdict[88], 0);
    ASSERT_TRUE(sim.wait_for_message(3, hux_sim::msg_heart_beat, 2, deadline));
    EXPECT_EQ(sim.count(1, hux_sim::msg_heart_beat), 1u);
    EXPECT_EQ(sim.unknown_count(3), 0u);
    EXPECT_TRUE(sim.messages(0).empty());
    EXPECT_TRUE(sim.messages(2).empty());
    ASSERT_EQ(sim.reports().size(), 1u);
    EXPECT_EQ(sim.reports()[0].conn, 2u);
}

TEST(SimCollection, ScriptKeys) {
    sim_config cfg;
    std::string error;
    ASSERT_TRUE(hux_sim::parse_script("coll_version refuse\n"
                                      "coll_version_result 9\n"
                                      "coll_use_test_key 1\n"
                                      "coll_verdict 1\n"
                                      "coll_verdict none\n"
                                      "coll_verdict foreign 2\n"
                                      "coll_verdict 255\n"
                                      "coll_key_dir /some/dir with space\n",
                                      cfg, error))
        << error;
    EXPECT_EQ(cfg.coll_version, coll_version_mode::refuse);
    EXPECT_EQ(cfg.coll_version_result, 9);
    EXPECT_TRUE(cfg.coll_use_test_key);
    ASSERT_EQ(cfg.coll_verdicts.size(), 4u);
    EXPECT_EQ(cfg.coll_verdicts[0].how, coll_verdict::kind::verdict);
    EXPECT_EQ(cfg.coll_verdicts[0].result, 1);
    EXPECT_EQ(cfg.coll_verdicts[1].how, coll_verdict::kind::none);
    EXPECT_EQ(cfg.coll_verdicts[2].how, coll_verdict::kind::foreign);
    EXPECT_EQ(cfg.coll_verdicts[2].result, 2);
    EXPECT_EQ(cfg.coll_verdicts[3].result, 255);
    EXPECT_EQ(cfg.coll_key_dir, "/some/dir with space");
    ASSERT_TRUE(hux_sim::parse_script("coll_version silent\n", cfg, error));
    EXPECT_EQ(cfg.coll_version, coll_version_mode::silent);

    for (const char* bad : {"coll_version maybe", "coll_version_result 0", "coll_version_result 256",
                            "coll_use_test_key 2", "coll_verdict 256", "coll_verdict -1", "coll_verdict foreign",
                            "coll_verdict foreign x", "coll_verdict other 1", "coll_verdict"}) {
        sim_config c;
        EXPECT_FALSE(hux_sim::parse_script(std::string(bad) + "\n", c, error)) << bad;
        EXPECT_NE(error.find("line 1"), std::string::npos) << bad << ": " << error;
    }
}

namespace {

// The standalone program, built next to the tests.
std::string server_program() {
#ifdef HUX_SIM_SERVER_PATH
    return HUX_SIM_SERVER_PATH;
#else
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) return std::string();
    std::string path(self, static_cast<size_t>(n));
    path = path.substr(0, path.find_last_of('/'));
    return path.substr(0, path.find_last_of('/')) + "/sim/hux-sim-server";
#endif
}

struct child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

child spawn(const std::string& program, const std::vector<std::string>& args) {
    child ch;
    int out[2], err[2];
    if (::pipe(out) != 0) return ch;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return ch;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ch.pid = ::fork();
    if (ch.pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    ch.out = out[0];
    ch.err = err[0];
    return ch;
}

// Reads until `stop` appears (or, with an empty `stop`, the stream ends).
std::string read_output(int fd, const std::string& stop) {
    std::string text;
    auto until = steady_clock::now() + deadline;
    while (steady_clock::now() < until && (stop.empty() || text.find(stop) == std::string::npos)) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[512];
        ssize_t n = ::read(fd, buf, sizeof(buf));
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// Its standard error to the end, and its exit code.
int wait_exit(child& ch, std::string& err_text) {
    read_output(ch.out, "");
    err_text = read_output(ch.err, "");
    ::close(ch.out);
    ::close(ch.err);
    int status = 0;
    if (::waitpid(ch.pid, &status, 0) != ch.pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(SimCollectionProgram, DecryptsReportsWithItsKeyDirectory) {
    const std::string program = server_program();
    ASSERT_EQ(::access(program.c_str(), X_OK), 0) << "build hux-sim-server first: " << program;
    pkey_ptr test = public_half(key_dir() + "/test_private.pem");
    ASSERT_TRUE(test);

    // The script asks for the test key and names a directory the option replaces.
    char dir[] = "/tmp/hux-sim-coll-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string script = std::string(dir) + "/sim.txt";
    {
        std::ofstream s(script);
        s << "coll_use_test_key 1\ncoll_verdict 3\ncoll_key_dir /nonexistent\n";
    }
    child ch = spawn(program, {"--port", "0", "--script", script, "--coll-key-dir", key_dir()});
    ASSERT_GT(ch.pid, 0);
    const std::string prefix = "hux-sim-server listening on 127.0.0.1:";
    const std::string line = read_output(ch.out, "\n");
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << line;
    const int port = std::atoi(line.c_str() + prefix.size());
    ASSERT_GT(port, 0);

    const std::string plain = "2@2024-05-06 07:08:09@127.0.0.1@@@@host@GNU/L@@A3060900FFFBEBBF@";
    report_fields f;
    f.content = base64(rsa_encrypt(test.get(), plain, RSA_PKCS1_PADDING));
    client c(static_cast<uint16_t>(port));
    ASSERT_TRUE(c.send(version_check() + report(f)));
    const std::string answers = c.read(8 + 96);
    ASSERT_EQ(answers.size(), 104u);
    EXPECT_EQ(hex(answers.substr(0, 8)), "6200010001000000");  // accepted, test key
    EXPECT_EQ(answers[8 + 88], 3);                             // the script's verdict

    ASSERT_EQ(::kill(ch.pid, SIGTERM), 0);
    std::string err_text;
    EXPECT_EQ(wait_exit(ch, err_text), 0);
    EXPECT_NE(err_text.find("report 0 on connection 0: login trader01, app app01, test key, plaintext " + plain + "\n"),
              std::string::npos)
        << err_text;
    EXPECT_NE(err_text.find("1 report(s)"), std::string::npos) << err_text;

    // A key directory without the key files ends at once with code 2.
    child bad = spawn(program, {"--port", "0", "--coll-key-dir", dir});
    ASSERT_GT(bad.pid, 0);
    EXPECT_EQ(wait_exit(bad, err_text), 2);
    EXPECT_NE(err_text.find(std::string("cannot read ") + dir + "/normal_private.pem"), std::string::npos) << err_text;
    child missing = spawn(program, {"--port", "0", "--coll-key-dir"});
    ASSERT_GT(missing.pid, 0);
    EXPECT_EQ(wait_exit(missing, err_text), 2);
    ::unlink(script.c_str());
    ::rmdir(dir);
}

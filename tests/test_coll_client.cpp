// The collection client: its reader of the server's version reply and
// verdict, and whole reports against the test collection service over real
// loopback connections (version check and report bytes, the key the report
// is encrypted with, every kind of verdict, several logins, a refused or
// silent version check and an unreachable server), with shortened waits.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/loopback_server.h"
#include "tests/support/coll_test_server.h"
#include "tests/support/hex.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/coll_encrpt/systeminfo_collection.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/coll_rptr/tcp_client.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/coll_rptr/tcp_client_impl.h"

using hux_test::coll_report;
using hux_test::coll_test_server;
using hux_test::coll_verdict;
using hux_test::coll_version_reply;
using hux_test::hex_of;
using hux_test::wait_until;
using std::chrono::milliseconds;

namespace {

const milliseconds kWait(15000);

std::string data_dir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/data/coll_keys/";
}

std::vector<unsigned char> unhex(const std::string& hex) {
    std::vector<unsigned char> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The report's base64 content decrypted with a private key; empty when it
// does not decrypt.
std::string decrypt_content(const std::string& b64, const std::string& key_file) {
    std::vector<unsigned char> cipher(b64.size());
    int n = EVP_DecodeBlock(cipher.data(), reinterpret_cast<const unsigned char*>(b64.data()), static_cast<int>(b64.size()));
    if (n < 0) return "";
    for (size_t i = b64.size(); i > 0 && b64[i - 1] == '='; --i) --n;
    FILE* f = fopen(key_file.c_str(), "r");
    if (!f) return "";
    EVP_PKEY* key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    fclose(f);
    if (!key) return "";
    std::string out;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    size_t len = 0;
    if (ctx && EVP_PKEY_decrypt_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1 &&
        EVP_PKEY_decrypt(ctx, nullptr, &len, cipher.data(), static_cast<size_t>(n)) == 1) {
        out.resize(len);
        if (EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(&out[0]), &len, cipher.data(),
                             static_cast<size_t>(n)) == 1) {
            out.resize(len);
        } else {
            out.clear();
        }
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(key);
    return out;
}

// "yyyy-MM-dd HH:mm:ss": digits where the pattern has letters, the rest as is.
bool is_sql_datetime(const std::string& s) {
    const std::string shape = "dddd-dd-dd dd:dd:dd";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) return false;
    }
    return true;
}

// Base64 letters, then at most two "=".
bool is_base64(const std::string& s) {
    size_t end = s.find_last_not_of('=') + 1;
    if (s.empty() || s.size() - end > 2) return false;
    for (size_t i = 0; i < end; ++i) {
        char c = s[i];
        if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/') return false;
    }
    return true;
}

std::vector<std::string> split_at(const std::string& s, char sep) {
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == sep) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// A login; texts longer than their field are cut by the caller's own copy.
client_info make_login(const std::string& app, const std::string& auth, const std::string& login,
                       const std::string& ip2 = "10.1.2.3") {
    client_info c;
    memcpy(c.m_app_id, app.data(), std::min(app.size(), sizeof(c.m_app_id)));
    memcpy(c.m_auth_code, auth.data(), std::min(auth.size(), sizeof(c.m_auth_code)));
    memcpy(c.m_login_id, login.data(), std::min(login.size(), sizeof(c.m_login_id)));
    memcpy(c.m_password, "0123456789ABCDEF0123456789ABCDEF", 32);
    memcpy(c.m_ip2, ip2.data(), std::min(ip2.size(), sizeof(c.m_ip2)));
    return c;
}

struct report_outcome {
    bool connected = false;
    bool finished = false;
    int result = -99;
};

// Runs one report to its end against the server.
report_outcome run_report(int port, const std::vector<client_info>& logins, int version_ms, int verdict_ms) {
    server_info server;
    strcpy(server.ip, "127.0.0.1");
    server.port = port;
    clients_info clients;
    clients.m_vec_client = logins;
    tcp_client client(server, clients, nullptr, false);
    client.set_connect_wait_ms(2000);
    client.set_version_wait_ms(version_ms);
    client.set_verdict_wait_ms(verdict_ms);
    report_outcome out;
    out.connected = client.connect();
    if (out.connected) wait_until([&] { return client.is_report_finish(); }, kWait);
    out.finished = client.is_report_finish();
    out.result = client.get_report_result();
    EXPECT_EQ(out.result > 0, client.is_report_error());
    return out;
}

// Runs the test body in a fresh empty working directory.
class scratch_dir {
public:
    scratch_dir() {
        char tmpl[] = "/tmp/coll_client_XXXXXX";
        m_dir = mkdtemp(tmpl);
        char cwd[4096];
        m_old = getcwd(cwd, sizeof(cwd)) ? cwd : "/tmp";
        EXPECT_EQ(0, chdir(m_dir.c_str()));
    }
    ~scratch_dir() {
        remove((m_dir + "/morvast_testor.pem").c_str());
        EXPECT_EQ(0, chdir(m_old.c_str()));
        rmdir(m_dir.c_str());
    }

private:
    std::string m_dir;
    std::string m_old;
};

struct recorded_verdicts {
    std::vector<HUX_COLL_WIRE::collect_info_msg_report> reports;
};

void record_verdict(void* owner, HUX_COLL_WIRE::collect_info_msg_report& report) {
    static_cast<recorded_verdicts*>(owner)->reports.push_back(report);
}

}  // namespace

TEST(CollClientReader, ReadsOnlyWholeRepliesAndVerdictsAndMapsTheVerdictByte) {
    server_info server;
    tcp_client_impl impl("coll_rptr", server);
    recorded_verdicts seen;
    impl.set_callbacks(&seen, nullptr, nullptr, &record_verdict);

    std::vector<unsigned char> reply = unhex(
        "62"         // type 'b'
        "00"         // version accepted
        "01"         // use the test key
        "00"         // reserved
        "01000000"); // version
    const char* r = reinterpret_cast<const char*>(reply.data());
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, r, 7));
    EXPECT_FALSE(impl.is_use_test_key());
    EXPECT_EQ(8u, impl.on_tcp_client_data_recv("coll_rptr", 0, r, 8));
    EXPECT_TRUE(impl.is_use_test_key());

    std::string verdict_hex =
        "64"                                                            // type 'd'
        "6875785f6170705f3031" "0000000000000000000000000000000000000000"  // app id "hux_app_01", 30 bytes
        "7472616465723031" "00000000000000000000000000000000000000000000000000"  // login id "trader01", 33 bytes
        "92100000"                                                      // user id 4242
        "323032342d30312d30322030333a30343a303500"                      // receive time
        "01"                                                            // verdict 1
        "00000000000000";                                               // reserved
    std::vector<unsigned char> verdict = unhex(verdict_hex);
    ASSERT_EQ(96u, verdict.size());
    const char* v = reinterpret_cast<const char*>(verdict.data());
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, v, 50));
    EXPECT_EQ(0u, seen.reports.size());
    EXPECT_EQ(96u, impl.on_tcp_client_data_recv("coll_rptr", 0, v, 96));
    ASSERT_EQ(1u, seen.reports.size());
    EXPECT_EQ(102, seen.reports[0].m_report_result);
    EXPECT_STREQ("hux_app_01", seen.reports[0].m_app_id);
    EXPECT_STREQ("trader01", seen.reports[0].m_login_id);

    const unsigned char bytes[] = {0, 2, 3, 7, 255};
    const int mapped[] = {0, 103, 3, 7, 255};
    for (int i = 0; i < 5; ++i) {
        verdict[88] = bytes[i];
        EXPECT_EQ(96u, impl.on_tcp_client_data_recv("coll_rptr", 0, v, 96));
        EXPECT_EQ(mapped[i], seen.reports.back().m_report_result) << "verdict byte " << int(bytes[i]);
    }

    // One message per call: a verdict behind a reply waits for the next call.
    std::string both(r, 8);
    both.append(v, 96);
    EXPECT_EQ(8u, impl.on_tcp_client_data_recv("coll_rptr", 0, both.data(), static_cast<uint32_t>(both.size())));

    // A type the client does not read is never consumed.
    std::string unknown = "x" + std::string(v, 96);
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, unknown.data(), static_cast<uint32_t>(unknown.size())));
    EXPECT_EQ(6u, seen.reports.size());
}

TEST(CollClient, SendsTheVersionCheckAndOneReportWithTheLoginsFields) {
    scratch_dir here;
    coll_test_server srv;
    report_outcome out = run_report(srv.port(), {make_login("hux_app_01", "AUTH-1234", "trader01")}, 2000, 2000);
    EXPECT_TRUE(out.connected);
    EXPECT_TRUE(out.finished);
    EXPECT_EQ(0, out.result);

    std::vector<std::string> checks = srv.version_checks();
    ASSERT_EQ(1u, checks.size());
    EXPECT_EQ("61"          // type 'a'
              "000000"      // reserved
              "01000000",   // version 1
              hex_of(checks[0].data(), checks[0].size()));

    std::vector<coll_report> reports = srv.reports();
    ASSERT_EQ(1u, reports.size());
    const std::string& msg = reports[0].bytes;
    ASSERT_EQ(1024u, msg.size());
    EXPECT_EQ("63"  // type 'c'
              "6875785f6170705f3031" "0000000000000000000000000000000000000000"  // app id, 30 bytes
              "415554482d31323334" "000000000000000000"                          // auth code, 18 bytes
              "7472616465723031" "00000000000000000000000000000000000000000000000000"  // login id, 33 bytes
              "3031323334353637383941424344454630313233343536373839414243444546" "00",  // password text, 33
              hex_of(msg.data(), 115));
    EXPECT_TRUE(is_sql_datetime(reports[0].report_time))
        << reports[0].report_time;
    EXPECT_EQ('\0', msg[134]);

    // 256 bytes of ciphertext as base64: 344 characters, then zeros.
    const std::string& content = reports[0].content;
    EXPECT_EQ(344u, content.size());
    EXPECT_TRUE(is_base64(content));
    EXPECT_EQ(std::string(889 - 344, '\0'), msg.substr(135 + 344));

    // Terminal type, collect time, the connection's own address and the
    // login's second address lead the description.
    std::string plain = decrypt_content(content, data_dir() + "normal_private.pem");
    std::vector<std::string> fields = split_at(plain, '@');
    ASSERT_EQ(11u, fields.size()) << plain;
    EXPECT_EQ("2", fields[0]);
    EXPECT_TRUE(is_sql_datetime(fields[1])) << fields[1];
    EXPECT_EQ("127.0.0.1", fields[2]);
    EXPECT_EQ("10.1.2.3", fields[3]);
    EXPECT_EQ("", srv.unknown_bytes());

    // Ids that fill their fields are cut to 29 and 32 characters; a
    // verdict that echoes them without terminators still judges the login.
    coll_test_server full;
    full.set_verdicts({coll_verdict::unterminated(2)});
    const std::string long_app(30, 'A'), long_login(33, 'L'), long_auth(18, 'U');
    out = run_report(full.port(), {make_login(long_app, long_auth, long_login, "10.20.30.40")}, 2000, 2000);
    EXPECT_EQ(103, out.result);
    ASSERT_EQ(1u, full.reports().size());
    coll_report cut = full.reports()[0];
    EXPECT_EQ(std::string(29, 'A'), cut.app_id);
    EXPECT_EQ(std::string(17, 'U'), cut.auth_code);
    EXPECT_EQ(std::string(32, 'L'), cut.login_id);
    EXPECT_EQ('\0', cut.bytes[30]);
    EXPECT_EQ('\0', cut.bytes[48]);
    EXPECT_EQ('\0', cut.bytes[81]);
}

TEST(CollClient, TheVersionReplyDecidesTheKeyOfTheReport) {
    scratch_dir here;
    const std::string normal = data_dir() + "normal_private.pem";
    const std::string test = data_dir() + "test_private.pem";

    coll_test_server plain_key;
    plain_key.set_version_reply(coll_version_reply::accept, false);
    EXPECT_EQ(0, run_report(plain_key.port(), {make_login("app", "auth", "trader01")}, 2000, 2000).result);
    ASSERT_EQ(1u, plain_key.reports().size());
    EXPECT_EQ("2@", decrypt_content(plain_key.reports()[0].content, normal).substr(0, 2));
    EXPECT_NE("2@", decrypt_content(plain_key.reports()[0].content, test).substr(0, 2));

    coll_test_server test_key;
    test_key.set_version_reply(coll_version_reply::accept, true);
    EXPECT_EQ(0, run_report(test_key.port(), {make_login("app", "auth", "trader01")}, 2000, 2000).result);
    ASSERT_EQ(1u, test_key.reports().size());
    EXPECT_EQ("2@", decrypt_content(test_key.reports()[0].content, test).substr(0, 2));
    EXPECT_NE("2@", decrypt_content(test_key.reports()[0].content, normal).substr(0, 2));

    // In test-key mode a key file in the working directory wins.
    FILE* f = fopen("morvast_testor.pem", "w");
    ASSERT_NE(nullptr, f);
    fputs(systeminfo_collection::normal_public_key(), f);
    fclose(f);
    coll_test_server file_key;
    file_key.set_version_reply(coll_version_reply::accept, true);
    EXPECT_EQ(0, run_report(file_key.port(), {make_login("app", "auth", "trader01")}, 2000, 2000).result);
    ASSERT_EQ(1u, file_key.reports().size());
    EXPECT_EQ("2@", decrypt_content(file_key.reports()[0].content, normal).substr(0, 2));
}

TEST(CollClient, EveryKindOfVerdictEndsTheReportAsItShould) {
    scratch_dir here;
    struct verdict_case {
        const char* what;
        coll_verdict verdict;
        int result;
    };
    const verdict_case cases[] = {
        {"accepted", coll_verdict::of(0), 0},
        {"byte 1", coll_verdict::of(1), 102},
        {"byte 2", coll_verdict::of(2), 103},
        {"byte 7 passed on", coll_verdict::of(7), 7},
        {"byte 255 passed on", coll_verdict::of(255), 255},
        {"refusal of another login ends the wait", coll_verdict::foreign(1), 102},
        {"acceptance of another login leaves ours waiting", coll_verdict::foreign(0), -1},
        {"no verdict in time", coll_verdict::none(), -1},
    };
    for (const verdict_case& c : cases) {
        SCOPED_TRACE(c.what);
        coll_test_server srv;
        srv.set_verdicts({c.verdict});
        report_outcome out = run_report(srv.port(), {make_login("app", "auth", "trader01")}, 2000, 300);
        EXPECT_TRUE(out.connected);
        EXPECT_TRUE(out.finished);
        EXPECT_EQ(c.result, out.result);
        EXPECT_EQ(1u, srv.reports().size());
    }
}

TEST(CollClient, TwoLoginsSendTwoReportsAndNeedTwoVerdicts) {
    scratch_dir here;
    const std::vector<client_info> logins = {make_login("app_one", "auth1", "trader01"),
                                             make_login("app_two", "auth2", "trader02")};
    struct two_case {
        const char* what;
        std::vector<coll_verdict> verdicts;
        int result;
    };
    const two_case cases[] = {
        {"both accepted", {coll_verdict::of(0), coll_verdict::of(0)}, 0},
        {"second refused", {coll_verdict::of(0), coll_verdict::of(2)}, 103},
        {"second unanswered", {coll_verdict::of(0), coll_verdict::none()}, -1},
    };
    for (const two_case& c : cases) {
        SCOPED_TRACE(c.what);
        coll_test_server srv;
        srv.set_verdicts(c.verdicts);
        EXPECT_EQ(c.result, run_report(srv.port(), logins, 2000, 300).result);
        std::vector<coll_report> reports = srv.reports();
        ASSERT_EQ(2u, reports.size());
        EXPECT_EQ("trader01", reports[0].login_id);
        EXPECT_EQ("app_one", reports[0].app_id);
        EXPECT_EQ("trader02", reports[1].login_id);
        EXPECT_EQ("app_two", reports[1].app_id);
    }
}

TEST(CollClient, ARefusedSilentOrUnreachableServerEndsTheReport) {
    scratch_dir here;
    const std::vector<client_info> login = {make_login("app", "auth", "trader01")};

    coll_test_server refusing;
    refusing.set_version_reply(coll_version_reply::refuse, false, 3);
    report_outcome out = run_report(refusing.port(), login, 2000, 300);
    EXPECT_TRUE(out.connected);
    EXPECT_EQ(105, out.result);
    EXPECT_EQ(0u, refusing.reports().size());

    coll_test_server silent;
    silent.set_version_reply(coll_version_reply::silent);
    auto start = std::chrono::steady_clock::now();
    out = run_report(silent.port(), login, 300, 300);
    EXPECT_TRUE(out.finished);
    EXPECT_EQ(105, out.result);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(300));
    EXPECT_EQ(1u, silent.version_checks().size());
    EXPECT_EQ(0u, silent.reports().size());

    // No server: connect fails at once with 106, and so does a port that
    // does not fit 16 bits (never cut to another port).
    hux_test::loopback_server closed;
    uint16_t port = closed.port();
    closed.stop_listening();
    out = run_report(port, login, 300, 300);
    EXPECT_FALSE(out.connected);
    EXPECT_TRUE(out.finished);
    EXPECT_EQ(106, out.result);
    out = run_report(65536 + refusing.port(), login, 300, 300);
    EXPECT_FALSE(out.connected);
    EXPECT_EQ(106, out.result);
    EXPECT_EQ(1u, refusing.version_checks().size());

    // A client closed while its pass still waits for the version reply
    // ends the pass and the connection.
    coll_test_server slow;
    slow.set_version_reply(coll_version_reply::silent);
    server_info server;
    strcpy(server.ip, "127.0.0.1");
    server.port = slow.port();
    clients_info clients;
    clients.m_vec_client = login;
    std::unique_ptr<tcp_client> client(new tcp_client(server, clients, nullptr, false));
    client->set_version_wait_ms(500);
    ASSERT_TRUE(client->connect());
    ASSERT_TRUE(slow.wait_version_checks(1, kWait));
    client->close();
    EXPECT_EQ(0u, client->get_thread_count());
    EXPECT_TRUE(slow.tcp().wait_peer_closed(0, kWait));
    client.reset();
}

// The collection client: its reader of the server's version reply and
// verdict, and whole reports against the simulated collection service over
// real loopback connections (version check and report bytes, several logins,
// an unreachable server), with shortened waits. The key a report is
// encrypted with is proved through the logon (LogonReport).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/coll_support.h"
#include "tests/support/net_support.h"
#include "tests/support/test_wait.h"
#include "report/coll_rptr/tcp_client.h"
#include "report/coll_rptr/tcp_client_impl.h"

using hux_sim::coll_verdict;
using hux_sim::coll_version_mode;
using hux_sim::sim_coll_report;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::wait_until;
using namespace hux_test::coll;
using namespace hux_test::net;
using std::chrono::milliseconds;

namespace {

const milliseconds kWait = hux_test::test_wait_at_least(milliseconds(15000));
// The client's waits for an answer that comes: the tests' wait, so that a
// late answer on a loaded machine still ends them. A case that runs a wait
// out passes a short one.
const int kAnswerMs = static_cast<int>(hux_test::test_wait().count());
const coll_verdict kNoVerdict{coll_verdict::kind::none, 0};

coll_verdict verdict(uint8_t result) { return {coll_verdict::kind::verdict, result}; }

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

const std::vector<client_info> kOneLogin = {make_login("app", "auth", "trader01")};

struct report_outcome {
    bool connected = false;
    bool finished = false;
    int result = -99;
};

// Runs one report to its end against the server.
report_outcome run_report(int port, const std::vector<client_info>& logins, int version_ms = kAnswerMs,
                          int verdict_ms = kAnswerMs) {
    server_info server;
    strcpy(server.ip, "127.0.0.1");
    server.port = port;
    clients_info clients;
    clients.m_vec_client = logins;
    tcp_client client(server, clients, nullptr, false);
    client.set_connect_wait_ms(kAnswerMs);
    client.set_version_wait_ms(version_ms);
    client.set_verdict_wait_ms(verdict_ms);
    report_outcome out;
    out.connected = client.connect();
    if (out.connected) {
        EXPECT_TRUE(wait_until([&] { return client.is_report_finish(); }, 3 * kWait));
    }
    out.finished = client.is_report_finish();
    out.result = client.get_report_result();
    EXPECT_EQ(out.result > 0, client.is_report_error());
    return out;
}

// A simulated service with these answers. It decrypts the reports only when
// asked: decrypting delays each verdict, and some cases wait for it briefly.
struct service {
    sim_trade_server sim;
    explicit service(coll_version_mode version = coll_version_mode::accept, std::vector<coll_verdict> verdicts = {},
                     bool decrypt = false) {
        sim_config cfg;
        if (decrypt) cfg.coll_key_dir = key_dir();
        cfg.coll_version = version;
        cfg.coll_verdicts = verdicts;
        EXPECT_TRUE(sim.set_config(cfg));
    }
    int port() const { return sim.port(); }
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

    const std::string reply = unhex("62"          // type 'b'
                                    "00"          // version accepted
                                    "01"          // use the test key
                                    "00"          // reserved
                                    "01000000");  // version
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, reply.data(), 7));
    EXPECT_FALSE(impl.is_use_test_key());
    EXPECT_EQ(8u, impl.on_tcp_client_data_recv("coll_rptr", 0, reply.data(), 8));
    EXPECT_TRUE(impl.is_use_test_key());

    std::string verdict = unhex(
        "64"                                                            // type 'd'
        "6875785f6170705f3031" "0000000000000000000000000000000000000000"  // app id "hux_app_01", 30 bytes
        "7472616465723031" "00000000000000000000000000000000000000000000000000"  // login id "trader01", 33 bytes
        "92100000"                                                      // user id 4242
        "323032342d30312d30322030333a30343a303500"                      // receive time
        "01"                                                            // verdict 1
        "00000000000000");                                              // reserved
    ASSERT_EQ(96u, verdict.size());
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, verdict.data(), 50));
    EXPECT_EQ(0u, seen.reports.size());
    EXPECT_EQ(96u, impl.on_tcp_client_data_recv("coll_rptr", 0, verdict.data(), 96));
    ASSERT_EQ(1u, seen.reports.size());
    EXPECT_EQ(102, seen.reports[0].m_report_result);
    EXPECT_STREQ("hux_app_01", seen.reports[0].m_app_id);
    EXPECT_STREQ("trader01", seen.reports[0].m_login_id);

    const unsigned char bytes[] = {0, 2, 3, 7, 255};
    const int mapped[] = {0, 103, 3, 7, 255};
    for (int i = 0; i < 5; ++i) {
        verdict[88] = static_cast<char>(bytes[i]);
        EXPECT_EQ(96u, impl.on_tcp_client_data_recv("coll_rptr", 0, verdict.data(), 96));
        EXPECT_EQ(mapped[i], seen.reports.back().m_report_result) << "verdict byte " << int(bytes[i]);
    }

    // One message per call: a verdict behind a reply waits for the next call.
    const std::string both = reply + verdict;
    EXPECT_EQ(8u, impl.on_tcp_client_data_recv("coll_rptr", 0, both.data(), static_cast<uint32_t>(both.size())));

    // A type the client does not read is never consumed.
    const std::string unknown = "x" + verdict;
    EXPECT_EQ(0u, impl.on_tcp_client_data_recv("coll_rptr", 0, unknown.data(), static_cast<uint32_t>(unknown.size())));
    EXPECT_EQ(6u, seen.reports.size());
}

TEST(CollClient, SendsTheVersionCheckAndOneReportWithTheLoginsFields) {
    scratch_dir here;
    service srv(coll_version_mode::accept, {}, true);
    report_outcome out = run_report(srv.port(), {make_login("hux_app_01", "AUTH-1234", "trader01")});
    EXPECT_TRUE(out.connected);
    EXPECT_TRUE(out.finished);
    EXPECT_EQ(0, out.result);

    ASSERT_TRUE(srv.sim.wait_for_reports(1, kWait));
    const std::string sent = srv.sim.raw_received(0);
    ASSERT_EQ(8u + 1024u, sent.size());  // nothing but the check and the report
    EXPECT_EQ("61"          // type 'a'
              "000000"      // reserved
              "01000000",   // version 1
              hex(sent.substr(0, 8)));
    const sim_coll_report r = srv.sim.reports()[0];
    EXPECT_EQ("63"  // type 'c'
              "6875785f6170705f3031" "0000000000000000000000000000000000000000"  // app id, 30 bytes
              "415554482d31323334" "000000000000000000"                          // auth code, 18 bytes
              "7472616465723031" "00000000000000000000000000000000000000000000000000"  // login id, 33 bytes
              "3031323334353637383941424344454630313233343536373839414243444546" "00",  // password text, 33
              hex(r.bytes.substr(0, 115)));
    EXPECT_TRUE(is_sql_datetime(r.report_time)) << r.report_time;
    EXPECT_EQ('\0', r.bytes[134]);

    // 256 bytes of ciphertext as base64: 344 characters, then zeros.
    EXPECT_EQ(344u, std::strlen(r.bytes.c_str() + 135));
    EXPECT_EQ(std::string(889 - 344, '\0'), r.bytes.substr(135 + 344));

    // Terminal type, collect time, the connection's own address and the
    // login's second address lead the description.
    ASSERT_TRUE(r.decrypted) << r.failure;
    std::vector<std::string> fields = split_at(r.plaintext, '@');
    ASSERT_EQ(11u, fields.size()) << r.plaintext;
    EXPECT_EQ("2", fields[0]);
    EXPECT_TRUE(is_sql_datetime(fields[1])) << fields[1];
    EXPECT_EQ("127.0.0.1", fields[2]);
    EXPECT_EQ("10.1.2.3", fields[3]);

    // Ids that fill their fields are cut to 29 and 32 characters; a verdict
    // (2) that echoes them with every NUL of their fields turned into '#', so
    // without terminators, still judges the login.
    std::string buf;  // the poll thread's only
    bool judged = false;
    hux_test::loopback_server hand;
    hand.set_receive_hook([&](size_t conn, const char* data, size_t len) {
        buf.append(data, len);
        if (buf.size() == hux_sim::coll_version_check_len) hand.send(conn, hux_sim::coll_version_reply(0, false));
        if (judged || buf.size() < 8 + 1024) return;
        std::string v = hux_sim::coll_verdict_message(buf.substr(8, 1024), verdict(2), 4242, "2024-01-02 03:04:05");
        for (size_t i = 1; i < 64; ++i) {
            if (v[i] == '\0') v[i] = '#';
        }
        judged = hand.send(conn, v);
    });
    const std::string long_app(30, 'A'), long_login(33, 'L'), long_auth(18, 'U');
    out = run_report(hand.port(), {make_login(long_app, long_auth, long_login, "10.20.30.40")});
    EXPECT_EQ(103, out.result);
    const std::string cut = hand.received(0).substr(8);
    ASSERT_EQ(1024u, cut.size());
    EXPECT_EQ(std::string(29, 'A') + '\0', cut.substr(1, 30));
    EXPECT_EQ(std::string(17, 'U') + '\0', cut.substr(31, 18));
    EXPECT_EQ(std::string(32, 'L') + '\0', cut.substr(49, 33));
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
        {"both accepted", {verdict(0), verdict(0)}, 0},
        {"second refused", {verdict(0), verdict(2)}, 103},
        {"second unanswered", {verdict(0), kNoVerdict}, -1},
    };
    for (const two_case& c : cases) {
        SCOPED_TRACE(c.what);
        service srv(coll_version_mode::accept, c.verdicts);
        const bool answered = c.verdicts.back().how != coll_verdict::kind::none;
        EXPECT_EQ(c.result, run_report(srv.port(), logins, kAnswerMs, answered ? kAnswerMs : 300).result);
        std::vector<sim_coll_report> reports = srv.sim.reports();
        ASSERT_EQ(2u, reports.size());
        EXPECT_EQ("trader01", reports[0].login_id);
        EXPECT_EQ("app_one", reports[0].app_id);
        EXPECT_EQ("trader02", reports[1].login_id);
        EXPECT_EQ("app_two", reports[1].app_id);
    }
}

// A refused or unanswered version check ends the report with 105: the
// session's CollReport.EachAnswerOfTheServiceGivesItsCode.
TEST(CollClient, AnUnreachableServerOrAClosedClientEndsTheReport) {
    scratch_dir here;
    service srv;
    // No server: connect fails at once with 106, and so does a port that
    // does not fit 16 bits (never cut to another port).
    hux_test::loopback_server closed;
    uint16_t port = closed.port();
    closed.stop_listening();
    report_outcome out = run_report(port, kOneLogin, 300, 300);
    EXPECT_FALSE(out.connected);
    EXPECT_TRUE(out.finished);
    EXPECT_EQ(106, out.result);
    out = run_report(65536 + srv.port(), kOneLogin, 300, 300);
    EXPECT_FALSE(out.connected);
    EXPECT_EQ(106, out.result);
    EXPECT_EQ(0u, srv.sim.connection_count());

    // A client closed while its pass still waits for the version reply
    // ends the pass and the connection.
    service slow(coll_version_mode::silent);
    server_info server;
    strcpy(server.ip, "127.0.0.1");
    server.port = slow.port();
    clients_info clients;
    clients.m_vec_client = kOneLogin;
    std::unique_ptr<tcp_client> client(new tcp_client(server, clients, nullptr, false));
    client->set_version_wait_ms(500);
    ASSERT_TRUE(client->connect());
    ASSERT_TRUE(slow.sim.transport().wait_received(0, 8, kWait));
    client->close();
    EXPECT_EQ(0u, client->get_thread_count());
    EXPECT_TRUE(slow.sim.transport().wait_peer_closed(0, kWait));
    client.reset();
}

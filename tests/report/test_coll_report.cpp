// The terminal-information report that opens a logon, run through the trade
// session against the simulated collection service over real loopback
// connections: the code of every server behaviour and of every failure
// before the report, the logon callback that carries a non-zero code, what
// the report says about the login and the terminal, and the overall poll.
// The session's report waits are shortened through its timing setter.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/coll_support.h"
#include "tests/support/hex.h"
#include "tests/support/net_support.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"
#include "trade/TradeClient.h"
#include "report/coll_rptr/coll_rptr_app.h"

using hux_sim::coll_verdict;
using hux_sim::coll_version_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::hex_of;
using hux_test::coll::scratch_dir;
using HUX_TRADE::CTradeClient;
using std::chrono::milliseconds;
using steady = std::chrono::steady_clock;

namespace {

const milliseconds kWait = hux_test::test_wait_at_least(milliseconds(15000));
const char* const kUser = "trader01";
const char* const kPassword = "password";
// Upper-case MD5 hex text of "password".
const char* const kPasswordMd5 = "5F4DCC3B5AA765D61D8327DEB882CF99";
const char* const kAppId = "report-app";
const char* const kAuth = "AUTH-0001";

coll_verdict verdict(uint8_t result) { return {coll_verdict::kind::verdict, result}; }

// A simulated service with these answers. It decrypts the reports only when
// asked: decrypting delays each verdict, which the timed cases measure.
sim_config service(coll_version_mode version, std::vector<coll_verdict> verdicts, bool decrypt = false) {
    sim_config cfg;
    cfg.coll_version = version;
    cfg.coll_verdicts = verdicts;
    if (decrypt) cfg.coll_key_dir = hux_test::coll::key_dir();
    return cfg;
}

// ---------------------------------------------------------------- the session

struct logon_event {
    HUX_LogonResponse rsp;
    int sock;
    std::thread::id thread;
};

struct logon_probe {
    std::mutex m;
    std::vector<logon_event> logons;
};

void on_logon(void* handle, HUX_LogonResponse* rsp, int sock) {
    logon_probe* probe = static_cast<logon_probe*>(static_cast<CTradeClient*>(handle)->GetUserParam());
    std::lock_guard<std::mutex> lock(probe->m);
    probe->logons.push_back({*rsp, sock, std::this_thread::get_id()});
}

// The session's report waits. Unless a case runs one out on purpose, each
// has the tests' wait, so that an answer that comes late on a loaded machine
// still comes within it; the overall poll holds the version and verdict waits.
struct report_waits {
    unsigned connect_ms = wait_ms();
    unsigned version_ms = wait_ms();
    unsigned verdict_ms = wait_ms();
    unsigned report_ms = 3 * wait_ms();

    static unsigned wait_ms() { return static_cast<unsigned>(hux_test::test_wait().count()); }
};

// A trade session whose kept record points at the given address and port,
// connected there when something listens.
class report_session {
public:
    report_session(const char* server_ip, uint16_t port, const report_waits& waits, const char* local_ip = "")
        : m_cli(&m_probe) {
        m_cli.SetUserLogonEvent(on_logon);
        HUX_TRADE::TradeClientTimings t = m_cli.GetTimings();
        t.coll_connect_wait_ms = waits.connect_ms;
        t.coll_version_wait_ms = waits.version_ms;
        t.coll_verdict_wait_ms = waits.verdict_ms;
        t.coll_report_wait_ms = waits.report_ms;
        m_cli.SetTimings(t);
        HUX_TradeSvrInfo info;
        memset(&info, 0, sizeof(info));
        memcpy(info.server_ip, server_ip, std::min(strlen(server_ip), sizeof(info.server_ip)));
        info.tcp_port = port;
        memcpy(info.local_ip, local_ip, std::min(strlen(local_ip), sizeof(info.local_ip)));
        info.exit_on_signal = 0;
        info.heartbeat_interval = 0;
        info.rsp_cpu = -1;
        info.symbol_idx_page_size = 100;
        m_cli.ConnServer(&info, false);
    }

    unsigned report(const char* app_id = kAppId, const char* auth = kAuth, const char* login = kUser) {
        return m_cli.coll_rptr_report(app_id, auth, login, kPassword);
    }

    std::vector<logon_event> logons() {
        std::lock_guard<std::mutex> lock(m_probe.m);
        return m_probe.logons;
    }

private:
    logon_probe m_probe;
    CTradeClient m_cli;
};

// Exactly one logon callback, on this thread, with a zero-filled record
// whose result is the code, and socket -1.
void expect_refusal_event(const std::vector<logon_event>& logons, unsigned code) {
    ASSERT_EQ(1u, logons.size());
    HUX_LogonResponse want;
    memset(&want, 0, sizeof(want));
    want.result = static_cast<int32_t>(code);
    EXPECT_EQ(hex_of(want), hex_of(logons[0].rsp));
    EXPECT_EQ(-1, logons[0].sock);
    EXPECT_EQ(std::this_thread::get_id(), logons[0].thread);
}

// One report through the session, timed: from the call and from the moment
// the server had the report to the return.
struct timed_report {
    unsigned code = 9999;
    milliseconds total{0};
    bool reported = false;
    milliseconds after_report{0};
};

timed_report run_timed(report_session& session, sim_trade_server& sim) {
    timed_report out;
    steady::time_point start = steady::now();
    out.code = session.report();
    steady::time_point end = steady::now();
    out.total = std::chrono::duration_cast<milliseconds>(end - start);
    // The server notes when the report's last byte came in.
    const std::vector<hux_sim::sim_coll_report> reports = sim.reports();
    out.reported = !reports.empty();
    if (out.reported) out.after_report = std::chrono::duration_cast<milliseconds>(end - reports.front().received_at);
    return out;
}

}  // namespace

// Every answer of a reachable collection service, each through a fresh
// session: the code, the logon callback for a non-zero code (none for 0),
// whether the report went out, and whether the verdict or the verdict wait
// ended the call. The report connection is closed whatever the code.
TEST(CollReport, EachAnswerOfTheServiceGivesItsCode) {
    scratch_dir here;
    struct answer_case {
        const char* what;
        coll_version_mode version;
        coll_verdict verdict;
        unsigned code;
        bool reported;
        bool wait_runs_out;  // the verdict wait, not a verdict, ends the call
    };
    const answer_case cases[] = {
        {"verdict 0", coll_version_mode::accept, verdict(0), 0, true, false},
        {"verdict 1", coll_version_mode::accept, verdict(1), 102, true, false},
        {"verdict 2", coll_version_mode::accept, verdict(2), 103, true, false},
        {"verdict 7 passed on", coll_version_mode::accept, verdict(7), 7, true, false},
        {"another login refused", coll_version_mode::accept, {coll_verdict::kind::foreign, 1}, 102, true, false},
        {"another login accepted", coll_version_mode::accept, {coll_verdict::kind::foreign, 0}, 0, true, true},
        {"no verdict", coll_version_mode::accept, {coll_verdict::kind::none, 0}, 0, true, true},
        {"version refused", coll_version_mode::refuse, verdict(0), 105, false, false},
        {"version not answered", coll_version_mode::silent, verdict(0), 105, false, false},
    };
    for (const answer_case& c : cases) {
        SCOPED_TRACE(c.what);
        // A wait the case runs out is short; one the server answers has the
        // default's room, so the answer, not the wait, ends it.
        report_waits waits;
        if (c.version == coll_version_mode::silent) waits.version_ms = 500;
        if (c.wait_runs_out) waits.verdict_ms = 1000;
        sim_trade_server sim;
        ASSERT_TRUE(sim.set_config(service(c.version, {c.verdict})));
        report_session session("127.0.0.1", sim.port(), waits);
        ASSERT_TRUE(sim.wait_for_connection(0, kWait));  // the trade connection

        timed_report out = run_timed(session, sim);
        EXPECT_EQ(c.code, out.code);
        if (c.code == 0) {
            EXPECT_TRUE(session.logons().empty());
        } else {
            expect_refusal_event(session.logons(), c.code);
        }
        EXPECT_EQ("6100000001000000", hux_test::net::hex(sim.raw_received(1).substr(0, 8)));  // the version check
        EXPECT_EQ(c.reported ? 1u : 0u, sim.reports().size());
        EXPECT_EQ(c.reported, out.reported);
        if (c.reported && c.wait_runs_out) {
            // The whole call lasts the verdict wait at least, and most of it
            // comes after the report. The server reads the report after the
            // client has sent it and started that wait, later still on a
            // loaded machine: its share is bounded from below by half.
            EXPECT_GE(out.total.count(), static_cast<long>(waits.verdict_ms));
            EXPECT_GE(out.after_report.count(), static_cast<long>(waits.verdict_ms) / 2);
        } else if (c.reported) {
            EXPECT_LT(out.after_report.count(), static_cast<long>(waits.verdict_ms));
        }
        if (c.version == coll_version_mode::silent) {
            EXPECT_GE(out.total.count(), static_cast<long>(waits.version_ms));
        }
        EXPECT_EQ(2u, sim.connection_count());
        EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
    }
}

// A service that answers the version but never judges, with a verdict wait
// far longer than the test waits: the overall poll ends the call with 0 and
// the logon may go on.
TEST(CollReport, TheOverallPollEndsAReportWithoutVerdict) {
    scratch_dir here;
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(service(coll_version_mode::accept, {{coll_verdict::kind::none, 0}})));
    report_waits waits;
    waits.verdict_ms = static_cast<unsigned>(hux_test::long_library_wait_ms());
    waits.report_ms = 1000;
    report_session session("127.0.0.1", sim.port(), waits);
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));

    timed_report out;
    hux_test::returns_within("a report without verdict", [&] { out = run_timed(session, sim); }, kWait);
    EXPECT_EQ(0u, out.code);
    EXPECT_TRUE(session.logons().empty());
    EXPECT_TRUE(out.reported);
    EXPECT_GE(out.total.count(), static_cast<long>(waits.report_ms));
    EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
}

// Failures before any report goes out: a kept record without address or
// port (107, nothing attempted) and a test key file that is not a key (110).
// Nobody listening (106) is LogonReport.ARefusedReportEndsTheLogonAndTheNextLogonGoesOn.
TEST(CollReport, FailuresBeforeTheReportGiveTheirCodes) {
    scratch_dir here;
    report_waits waits;

    {
        // A connection attempt to port 0 would be refused (106), so 107 shows
        // none was made.
        SCOPED_TRACE("port 0");
        report_session session("127.0.0.1", 0, waits);
        EXPECT_EQ(107u, session.report());
        expect_refusal_event(session.logons(), 107);
    }
    {
        SCOPED_TRACE("empty address");
        sim_trade_server sim;
        report_session session("", sim.port(), waits);
        EXPECT_EQ(107u, session.report());
        expect_refusal_event(session.logons(), 107);
        EXPECT_EQ(0u, sim.connection_count());
    }
    {
        SCOPED_TRACE("test key file that is not a key");
        hux_test::coll::write_file("morvast_testor.pem",
                                   "-----BEGIN PUBLIC KEY-----\nbm90IGEga2V5\n-----END PUBLIC KEY-----\n");
        sim_trade_server sim;
        sim_config cfg;
        cfg.coll_use_test_key = true;
        ASSERT_TRUE(sim.set_config(cfg));
        report_session session("127.0.0.1", sim.port(), waits);
        ASSERT_TRUE(sim.wait_for_connection(0, kWait));
        EXPECT_EQ(110u, session.report());
        expect_refusal_event(session.logons(), 110);
        EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
        EXPECT_EQ("6100000001000000", hux_test::net::hex(sim.raw_received(1)));  // the check alone
    }
}

// The address and port checks of the report itself, at their edges: the
// address must fit its 32-byte field with the terminator, and the port must
// be positive. An address that passes the check but is not an address
// fails at the connection (106), never as 107.
TEST(CollReport, TheReportRefusesAnAddressOrPortItCannotUse) {
    const std::string len31(31, '7');
    const std::string len32(32, '7');
    const std::string len40(40, '7');
    struct target_case {
        const char* what;
        const char* ip;
        int port;
        int code;
    };
    const target_case cases[] = {
        {"null address", nullptr, 4000, 107},
        {"empty address", "", 4000, 107},
        {"32 characters do not fit", len32.c_str(), 4000, 107},
        {"40 characters", len40.c_str(), 4000, 107},
        {"port 0", "127.0.0.1", 0, 107},
        {"negative port", "127.0.0.1", -5, 107},
        {"31 characters pass the check", len31.c_str(), 4000, 106},
    };
    for (const target_case& c : cases) {
        SCOPED_TRACE(c.what);
        coll_rptr_app app;
        app.set_waits(500, 500, 500, 1000);
        EXPECT_EQ(c.code, app.init_app(c.ip, c.port, "", kAppId, kAuth, kUser, kPassword, "", nullptr, false));
        app.close_app();
    }
}

// What the report says: the login's texts cut to their fields, the MD5 text
// of the password, the kept record's local address as the second address
// while the connection itself is not bound to it; and a report refused once
// leaves the session able to report again.
TEST(CollReport, TheReportCarriesTheLoginAndTheTerminalAndCanBeRepeated) {
    scratch_dir here;
    sim_trade_server sim;
    // The first report is refused, the second accepted; the verdicts echo
    // the cut ids, which must still match the logins' result keys.
    ASSERT_TRUE(sim.set_config(service(coll_version_mode::accept, {verdict(1), verdict(0)}, true)));
    // Waits far longer than the test's: both verdicts must end them.
    report_waits waits;
    waits.verdict_ms = static_cast<unsigned>(hux_test::long_library_wait_ms());
    waits.report_ms = waits.verdict_ms;
    report_session session("127.0.0.1", sim.port(), waits, "127.0.0.2");
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));

    const std::string app_id(35, 'a');    // 29 kept
    const std::string auth(20, 'u');      // 17 kept
    const std::string login(40, 'l');     // 32 kept
    hux_test::returns_within("two reports with verdicts", [&] {
        EXPECT_EQ(102u, session.report(app_id.c_str(), auth.c_str(), login.c_str()));
        expect_refusal_event(session.logons(), 102);
        EXPECT_EQ(0u, session.report(app_id.c_str(), auth.c_str(), login.c_str()));
        EXPECT_EQ(1u, session.logons().size());
    }, 2 * kWait);

    std::vector<hux_sim::sim_coll_report> reports = sim.reports();
    ASSERT_EQ(2u, reports.size());
    EXPECT_EQ(3u, sim.connection_count());  // the trade connection, then one per report
    EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
    EXPECT_TRUE(sim.transport().wait_peer_closed(2, kWait));
    for (const hux_sim::sim_coll_report& r : reports) {
        EXPECT_EQ(std::string(29, 'a'), r.app_id);
        EXPECT_EQ(std::string(17, 'u'), r.auth_code);
        EXPECT_EQ(std::string(32, 'l'), r.login_id);
        EXPECT_EQ(kPasswordMd5, r.password);
        ASSERT_TRUE(r.decrypted) << r.failure;
        std::vector<std::string> fields = hux_test::coll::split_at(r.plaintext, '@');
        ASSERT_EQ(11u, fields.size()) << r.plaintext;
        EXPECT_EQ("2", fields[0]);           // terminal type
        EXPECT_EQ("127.0.0.1", fields[2]);   // the report connection's own address: not bound
        EXPECT_EQ("127.0.0.2", fields[3]);   // the kept record's local address
    }
}

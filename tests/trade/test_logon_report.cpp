// Logons through MVHUX_UserLogon against the simulated trade server, each
// opened by the terminal report on a connection of its own: a report that
// fails or is refused ends the logon before its version report, with the
// code returned and given to the logon callback, and the session logs on
// afterwards; what the server decrypts from a logon's report on this
// machine; the key the report uses when the server asks for the test key,
// with and without "./morvast_testor.pem" in the working directory; and a
// logon refused after a reconnect, which the reconnect thread answers with
// a new connection.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_collection.h"
#include "tests/support/coll_support.h"
#include "tests/support/session_support.h"
#include "tests/support/test_wait.h"

using namespace trade_test;
using hux_test::coll::key_dir;

namespace {

const std::chrono::milliseconds kWait = hux_test::test_wait_at_least(std::chrono::milliseconds(15000));
const char* const kUser = "trader01";
const char* const kPassword = "password";
// Upper-case MD5 hex text of "password".
const char* const kPasswordMd5 = "5F4DCC3B5AA765D61D8327DEB882CF99";
const char* const kAppId = "logon-report-app";
const char* const kAuth = "AUTH-0042";

hux_sim::sim_config base_config() {
    hux_sim::sim_config cfg;
    cfg.password = kPassword;
    cfg.user_id = 5150;
    cfg.symbols = {{"IF2406", 3}};
    cfg.accounts = {{"ACC001", 1}};
    return cfg;
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

// A handle connected to a simulated server of its own, logging on with the
// texts above. The service answers every report here, so the report's waits
// get the tests' wait: a verdict that came after a shorter one would read
// as none (0), and the logon would go on.
struct logon_session : capi_session {
    explicit logon_session(const hux_sim::sim_config& cfg) : capi_session(cfg) {
        user = kUser;
        app_id = kAppId;
        auth_code = kAuth;
        const unsigned answer_ms = static_cast<unsigned>(hux_test::test_wait().count());
        HUX_TRADE::TradeClientTimings t = client()->GetTimings();
        t.coll_connect_wait_ms = answer_ms;
        t.coll_version_wait_ms = answer_ms;
        t.coll_verdict_wait_ms = answer_ms;
        t.coll_report_wait_ms = 3 * answer_ms;
        client()->SetTimings(t);
    }
};

// A refusal by the report: a zero-filled logon record carrying the code,
// socket -1, on the thread that called MVHUX_UserLogon.
void expect_refusal(const logon_seen& seen, int code) {
    HUX_LogonResponse want;
    std::memset(&want, 0, sizeof(want));
    want.result = code;
    EXPECT_EQ(hex_of(want), hex_of(seen.rsp));
    EXPECT_EQ(seen.sock, -1);
    EXPECT_EQ(seen.thread, std::this_thread::get_id());
}

// ---- what the terminal looks like, worked out apart from the library

// The version command's answer, first 5 characters: the word after the one
// holding "release" in /etc/redhat-release, else the second word of the
// first line of /etc/issue.
std::string os_version() {
    std::string version;
    if (access("/etc/redhat-release", F_OK) == 0) {
        std::istringstream words(read_file("/etc/redhat-release"));
        std::string prev, word;
        while (words >> word) {
            if (prev.find("release") != std::string::npos) {
                version = word;
                break;
            }
            prev = word;
        }
    } else {
        std::istringstream lines(read_file("/etc/issue"));
        std::string line;
        std::getline(lines, line);
        std::istringstream words(line);
        words >> version >> version;
        if (!words) version.clear();
    }
    return version.substr(0, 5);
}

std::string host_name() {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0) return "";
    return name;
}

// Whether a program of that name is in a directory of PATH.
bool on_path(const char* program) {
    const char* path = getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

// Checks the eleven fields of a terminal description taken on this machine
// over a loopback report connection, for a session without a local address.
void expect_terminal_line(const std::string& line, time_t before, time_t after) {
    std::vector<std::string> f = split_at(line, '@');
    ASSERT_EQ(f.size(), 11u) << line;
    EXPECT_EQ(f[0], "2");  // terminal type
    // Collect time: local "yyyy-mm-dd hh:mm:ss" taken during the logon.
    ASSERT_EQ(f[1].size(), 19u) << f[1];
    struct tm t;
    std::memset(&t, 0, sizeof(t));
    ASSERT_NE(strptime(f[1].c_str(), "%Y-%m-%d %H:%M:%S", &t), nullptr) << f[1];
    t.tm_isdst = -1;
    const time_t stamp = mktime(&t);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(f[2], "127.0.0.1");  // the report connection's own address
    EXPECT_EQ(f[3], "");           // the session's local address: none
    EXPECT_EQ(f[4], "");           // a loopback card is never taken
    EXPECT_EQ(f[5], "");           // no second address
    EXPECT_EQ(f[6], host_name().substr(0, 9));
    EXPECT_EQ(f[7], os_version());
    // The disk and BIOS serials come from tools this machine may lack.
    EXPECT_LE(f[8].size(), 16u);
    if (!on_path("udevadm")) {
        EXPECT_EQ(f[8], "");
    }
    EXPECT_LE(f[10].size(), 10u);
    if (!on_path("lshal") && !on_path("dmidecode")) {
        EXPECT_EQ(f[10], "");
    }
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    ASSERT_TRUE(__get_cpuid(1, &eax, &ebx, &ecx, &edx));
    char serial[17];
    snprintf(serial, sizeof(serial), "%02X%02X%02X%02X%02X%02X%02X%02X", eax & 0xff, (eax >> 8) & 0xff,
             (eax >> 16) & 0xff, eax >> 24, edx & 0xff, (edx >> 8) & 0xff, (edx >> 16) & 0xff, edx >> 24);
    EXPECT_EQ(f[9], serial);  // leaf 1: EAX then EDX, lowest byte first
#else
    EXPECT_LE(f[9].size(), 16u);
#endif
}

// Writes the public half of a private key PEM file as a "PUBLIC KEY" PEM file.
bool write_public_half(const std::string& private_pem, const char* out_path) {
    FILE* in = fopen(private_pem.c_str(), "r");
    if (!in) return false;
    EVP_PKEY* key = PEM_read_PrivateKey(in, nullptr, nullptr, nullptr);
    fclose(in);
    if (!key) return false;
    FILE* out = fopen(out_path, "w");
    const bool ok = out && PEM_write_PUBKEY(out, key) == 1;
    if (out) fclose(out);
    EVP_PKEY_free(key);
    return ok;
}

}  // namespace

// A report that cannot reach the service (106) or is refused (verdict 1:
// 102) ends MVHUX_UserLogon with its code and the logon callback carries it;
// no version report goes out and the session stays connected, so the next
// logon, accepted, goes all the way on the same trade connection.
TEST(LogonReport, ARefusedReportEndsTheLogonAndTheNextLogonGoesOn) {
    scratch_dir here(true);
    hux_sim::sim_config cfg = base_config();
    cfg.coll_verdicts = {{hux_sim::coll_verdict::kind::verdict, 1}, {hux_sim::coll_verdict::kind::verdict, 0}};
    logon_session s(cfg);
    ASSERT_NO_FATAL_FAILURE(s.connect());

    // Nobody accepts the report connection.
    s.srv.transport().stop_listening();
    EXPECT_EQ(s.logon_call(), 106);
    ASSERT_EQ(s.events.logons().size(), 1u);
    expect_refusal(s.events.logon(0), 106);
    ASSERT_TRUE(s.srv.transport().resume_listening());

    // The first report is refused.
    EXPECT_EQ(s.logon_call(), 102);
    ASSERT_EQ(s.events.logons().size(), 2u);
    expect_refusal(s.events.logon(1), 102);
    EXPECT_TRUE(s.client()->IsConnect());
    EXPECT_FALSE(s.client()->IsLogon());

    // The second is accepted and the logon completes.
    ASSERT_NO_FATAL_FAILURE(s.logon());
    EXPECT_EQ(s.events.logons().size(), 3u);

    // The trade connection saw one version report, the first message on it:
    // the refused logons sent none.
    ASSERT_EQ(s.srv.trade_connection(0), 0u);
    const std::vector<hux_sim::sim_message> sent = s.srv.messages(0);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].type, hux_sim::msg_report_version);
    EXPECT_EQ(s.srv.count(0, hux_sim::msg_report_version), 1u);
    EXPECT_EQ(s.srv.count(0, hux_sim::msg_logon), 1u);

    // Two reports, each on a connection of its own that the client closed.
    const std::vector<hux_sim::sim_coll_report> reports = s.srv.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].conn, 1u);
    EXPECT_EQ(reports[1].conn, 2u);
    EXPECT_EQ(s.srv.connection_count(), 3u);
    EXPECT_TRUE(s.srv.transport().wait_peer_closed(1, kWait));
    EXPECT_TRUE(s.srv.transport().wait_peer_closed(2, kWait));
}

// The report of a logon, decrypted by the server with its private key: the
// login's texts and the eleven fields of this machine's description.
TEST(LogonReport, TheServerDecryptsTheLoginAndTheTerminal) {
    scratch_dir here(true);
    hux_sim::sim_config cfg = base_config();
    cfg.coll_key_dir = key_dir();
    logon_session s(cfg);
    ASSERT_NO_FATAL_FAILURE(s.connect());

    const time_t before = time(nullptr);
    ASSERT_NO_FATAL_FAILURE(s.logon());
    const time_t after = time(nullptr);

    ASSERT_TRUE(s.srv.wait_for_reports(1, kWait));
    const hux_sim::sim_coll_report r = s.srv.reports().at(0);
    EXPECT_EQ(r.conn, 1u);
    EXPECT_EQ(r.app_id, kAppId);
    EXPECT_EQ(r.auth_code, kAuth);
    EXPECT_EQ(r.login_id, kUser);
    EXPECT_EQ(r.password, kPasswordMd5);
    EXPECT_FALSE(r.test_key);
    ASSERT_TRUE(r.decrypted) << r.failure;
    expect_terminal_line(r.plaintext, before, after);
}

// A server that asks for the test key: without "./morvast_testor.pem" the
// built-in test key encrypts the report; with one, the key in that file
// does (here the normal key's public half, so the server, decrypting with
// its test key, cannot read it, and the normal private key can). Either
// way the logon goes on.
TEST(LogonReport, TheTestKeyComesFromTheWorkingDirectoryWhenItHasOne) {
    scratch_dir here(true);
    hux_sim::sim_config cfg = base_config();
    cfg.coll_key_dir = key_dir();
    cfg.coll_use_test_key = true;
    {
        SCOPED_TRACE("built-in test key");
        logon_session s(cfg);
        ASSERT_NO_FATAL_FAILURE(s.start());
        ASSERT_TRUE(s.srv.wait_for_reports(1, kWait));
        const hux_sim::sim_coll_report r = s.srv.reports().at(0);
        EXPECT_TRUE(r.test_key);
        EXPECT_TRUE(r.decrypted) << r.failure;
    }
    {
        SCOPED_TRACE("key file in the working directory");
        ASSERT_TRUE(write_public_half(key_dir() + "/" + hux_sim::coll_normal_key_file, "morvast_testor.pem"));
        logon_session s(cfg);
        ASSERT_NO_FATAL_FAILURE(s.start());
        ASSERT_TRUE(s.srv.wait_for_reports(1, kWait));
        const hux_sim::sim_coll_report r = s.srv.reports().at(0);
        EXPECT_TRUE(r.test_key);
        EXPECT_FALSE(r.decrypted);
        EXPECT_FALSE(r.failure.empty());
        // Read again as if the server had been told the normal key.
        const hux_sim::sim_coll_report normal = hux_sim::coll_read_report(r.conn, r.bytes, false, key_dir());
        EXPECT_TRUE(normal.decrypted) << normal.failure;
    }
}

// After a drop the reconnect thread connects again and waits for the
// application's logon. When the report refuses that logon, the wait runs
// out without a logon and the thread connects once more; the next logon,
// accepted, ends the series. The refused logon's connection carried nothing.
TEST(LogonReport, ALogonRefusedAfterAReconnectIsAnsweredWithANewConnection) {
    scratch_dir here(true);
    hux_sim::sim_config cfg = base_config();
    // The first logon is accepted, the one after the drop refused, the next accepted.
    cfg.coll_verdicts = {{hux_sim::coll_verdict::kind::verdict, 0},
                         {hux_sim::coll_verdict::kind::verdict, 1},
                         {hux_sim::coll_verdict::kind::verdict, 0}};
    logon_session s(cfg);
    HUX_TRADE::TradeClientTimings t = s.client()->GetTimings();
    t.reconnect_wait_count = 2;
    t.reconnect_wait_ms = 10;
    t.logon_first_wait_ms = 1;
    // The tests' wait, for an accepted logon, report included, on a loaded
    // machine. The refused logon runs it out, so the third connection comes
    // after it.
    const std::chrono::milliseconds logon_wait = hux_test::test_wait();
    t.logon_wait_ms = 10;
    t.logon_wait_count = static_cast<unsigned>(logon_wait.count() / t.logon_wait_ms);
    t.reconnect_idle_ms = 2;
    s.client()->SetTimings(t);
    ASSERT_EQ(MVHUX_SetAutoReconnect(s.h, true), 0);
    ASSERT_NO_FATAL_FAILURE(s.start());
    ASSERT_TRUE(hux_test::wait_until([&] { return s.client()->IsReconnectRunning(); }, kWait));

    s.srv.close(0);
    ASSERT_TRUE(s.events.wait_code(0, 2, kWait));
    EXPECT_EQ(s.logon_call(), 102);
    ASSERT_EQ(s.events.logons().size(), 2u);
    expect_refusal(s.events.logon(1), 102);

    ASSERT_TRUE(s.events.wait_code(0, 3, logon_wait + kWait));
    ASSERT_NO_FATAL_FAILURE(s.logon());
    EXPECT_EQ(s.events.logons().size(), 3u);

    // "remote disconnected", then each attempt's "local disconnected" of the
    // client it replaces before its "conn ok".
    EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 2, 3, 0, 3, 0}));
    const std::string log = text_log_path(".");
    EXPECT_TRUE(hux_test::wait_until(
        [&] { return count_lines(log, "_th_try_reconn quit for logon success") == 1; }, kWait));
    EXPECT_EQ(count_lines(log, "_th_try_reconn ConnServer try times:1."), 1u);
    EXPECT_EQ(count_lines(log, "_th_try_reconn ConnServer try times:2."), 1u);
    EXPECT_EQ(count_lines(log, "_th_try_reconn ConnServer try times:3."), 0u);

    // Accepted: the first trade connection and its report, the second trade
    // connection (silent) and the refused report, the third trade
    // connection and its report.
    EXPECT_EQ(s.srv.connection_count(), 6u);
    EXPECT_EQ(s.srv.kind(2), hux_sim::conn_kind::pending);
    EXPECT_EQ(s.srv.raw_received(2), "");
    EXPECT_EQ(s.srv.trade_connection(1), 4u);
    EXPECT_EQ(s.srv.count(4, hux_sim::msg_report_version), 1u);
    EXPECT_EQ(s.srv.count(4, hux_sim::msg_logon), 1u);
    EXPECT_EQ(s.srv.reports().size(), 3u);
}

// The adapter's query session against the simulated server's query port:
// the logon with the right password digest gets the query user id the server
// was given (not the trade one), a wrong one is refused and never retried;
// every request the builders make reaches the server whole, cut by its own
// length; every answer type the server encodes is consumed, in one write and
// in random pieces, with a logon answer behind them still handled; a reset
// connection is made again and logged on with the same logon request.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim_query_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/adapter/test_query_support.h"

namespace {

using namespace query_test;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::wait_until;

const uint32_t TRADE_USER = 1001;
const uint32_t QUERY_USER = 0x00C0FFEEu;  // the query logon's own user id
const uint32_t WRONG_PASSWORD_RESULT = 23;

// A fresh working directory: the session opens its first logs there.
class scratch_cwd {
public:
    scratch_cwd() {
        char tmpl[] = "/tmp/hux_query_sim_XXXXXX";
        const char* made = mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        m_path = made ? made : "";
        char cwd[4096];
        m_old = getcwd(cwd, sizeof(cwd)) ? cwd : "/tmp";
        if (made) {
            EXPECT_EQ(chdir(made), 0);
        }
    }
    ~scratch_cwd() {
        EXPECT_EQ(chdir(m_old.c_str()), 0);
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    scratch_cwd(const scratch_cwd&) = delete;
    scratch_cwd& operator=(const scratch_cwd&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_old;
};

template <class R>
std::string bytes_of(const R& rec) {
    return std::string(reinterpret_cast<const char*>(&rec), sizeof(rec));
}

uint16_t type_of(const std::string& m) {
    return static_cast<uint16_t>(static_cast<uint8_t>(m[0]) | (static_cast<uint8_t>(m[1]) << 8));
}

class QueryOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(srv.listening());
        sim_config cfg;
        cfg.password = "pw";
        cfg.user_id = TRADE_USER;
        cfg.query_user_id = QUERY_USER;
        cfg.query_wrong_password_result = WRONG_PASSWORD_RESULT;
        cfg.change_password_result = 0x69;
        ASSERT_TRUE(srv.set_config(cfg));
        ASSERT_TRUE(srv.open_query(0));
        ASSERT_NE(srv.query_port(), 0);
        sink.watch(&client);
        shorten_waits(client);
        client.SetLogDir(cwd.path().c_str());
        client.SetLoggerSwitch(true);
        client.SetUserInfo("trader01", "pw");
    }

    void connect() {
        ASSERT_TRUE(client.ConnServer(query_info(srv.query_port())));
        ASSERT_TRUE(sink.wait_connects(1));
        ASSERT_EQ(0, sink.connects()[0].first);
        ASSERT_TRUE(srv.wait_for_query_connection(0, kWait));
        ASSERT_TRUE(wait_until([&] { return client.GetState() == HUX_ADAPTER::QUERY_STATE_CONNECTED; }, kWait));
    }

    // Connects and logs on with the right password: the first logon event.
    void log_on() {
        connect();
        ASSERT_EQ(80, send_logon(client, "trader01", "pw"));
        ASSERT_TRUE(sink.wait_logons(1));
        ASSERT_TRUE(wait_until([&] { return client.GetState() == HUX_ADAPTER::QUERY_STATE_LOGGED_ON; }, kWait));
    }

    std::string log() {
        client.LoggerFlush();
        return read_file(text_log_path(cwd.path()));
    }
    // Waits until the log holds `n` label lines "proc <name>": one per
    // message handled (a call that waits for more bytes writes "proc " alone).
    bool handled(const char* name, size_t n) {
        const std::string line = log_body(std::string("proc ") + name, "");
        return wait_until([&] { return count_of(log(), line) == n; }, kWait);
    }

    scratch_cwd cwd;  // first: the session opens its logs there
    sim_trade_server srv;
    recording_sink sink;
    int owner = 0;
    CQueryClient client{&owner, &sink, nullptr};
};

TEST_F(QueryOnSim, RightDigestLogsOnWithTheQueryUserId) {
    log_on();
    const recording_sink::logon_seen seen = sink.logons()[0];
    EXPECT_EQ(0, seen.result);
    EXPECT_EQ(QUERY_USER, seen.user_id);
    EXPECT_NE(TRADE_USER, seen.user_id);
    // The user id and the logged-on flag are set before the owner hears of
    // it, the state after.
    EXPECT_TRUE(seen.logged_on);
    EXPECT_EQ(QUERY_USER, seen.session_user_id);
    EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, client.GetState());
    EXPECT_TRUE(client.IsLogon());
    EXPECT_EQ(QUERY_USER, client.GetUserId());
    EXPECT_EQ(1u, srv.query_count(0, hux_sim::msg_query_logon));
    EXPECT_EQ(0u, srv.query_unknown_count(0));
}

TEST_F(QueryOnSim, WrongPasswordIsRefusedAndNeverRetried) {
    client.SetAutoReconnect(true);
    connect();
    ASSERT_EQ(80, send_logon(client, "trader01", "not-the-password"));
    ASSERT_TRUE(sink.wait_logons(1));
    const recording_sink::logon_seen seen = sink.logons()[0];
    EXPECT_EQ(static_cast<int32_t>(WRONG_PASSWORD_RESULT), seen.result);
    EXPECT_FALSE(seen.logged_on);
    EXPECT_TRUE(seen.connected);  // reported first, closed after

    // The session closes the connection itself.
    ASSERT_NE(srv.query_transport(), nullptr);
    ASSERT_TRUE(srv.query_transport()->wait_peer_closed(0, kWait));
    EXPECT_TRUE(wait_until([&] { return !client.IsConnect(); }, kWait));
    // No retry: with the shortened waits a reconnect would come within
    // about 15 ms; 300 ms give it twenty chances.
    EXPECT_FALSE(wait_until([&] { return srv.query_connection_count() > 1; }, std::chrono::milliseconds(300)));
    EXPECT_EQ(1u, srv.query_connection_count());
    EXPECT_EQ(1u, srv.query_count(0, hux_sim::msg_query_logon));
    EXPECT_FALSE(client.IsLogon());
    EXPECT_FALSE(client.IsReconnectRunning());
    EXPECT_NE(HUX_ADAPTER::QUERY_STATE_DROPPED, client.GetState());
    EXPECT_EQ(1u, sink.connects().size());  // its own close is not reported
    EXPECT_EQ(1u, sink.logons().size());
}

TEST_F(QueryOnSim, EveryRequestReachesTheServerWholeWithItsType) {
    log_on();
    const uint32_t uid = client.GetUserId();
    ASSERT_EQ(QUERY_USER, uid);

    HUX_ADAPTER::query_logon_msg_req r68;
    HUX_ADAPTER::build_query_logon_msg_req(r68, "trader01", "pw");
    HUX_ADAPTER::change_password_req r69;
    ASSERT_TRUE(HUX_ADAPTER::build_change_password_req(r69, uid, "pw", "NewPass2024"));
    HUX_ADAPTER::query_user_account_req r71;
    HUX_ADAPTER::build_query_user_account_req(r71, uid);
    HUX_ADAPTER::query_symbol_req r72;
    HUX_ADAPTER::build_query_symbol_req(r72, uid);
    HUX_ADAPTER::query_account_position_req r73;
    HUX_ADAPTER::build_query_account_position_req(r73, 0x7301, uid, "ACCOUNT-73");
    HUX_ADAPTER::rewind_account_order_req r74;
    HUX_ADAPTER::build_rewind_account_order_req(r74, uid, "ACCOUNT-74");
    HUX_ADAPTER::rewind_account_exec_req r75;
    HUX_ADAPTER::build_rewind_account_exec_req(r75, uid, "ACCOUNT-75", 0x1F5);
    HUX_ADAPTER::query_account_margin r77;
    HUX_ADAPTER::build_query_account_margin(r77, uid, "ACCOUNT-77");
    HUX_ADAPTER::query_account_fee r78;
    HUX_ADAPTER::build_query_account_fee(r78, uid, "ACCOUNT-78");
    HUX_ADAPTER::query_account_bp_req r81;
    HUX_ADAPTER::build_query_account_bp_req(r81, 0x8101, uid, "ACCOUNT-81");
    HUX_ADAPTER::account_risk_real_data_req r82;
    HUX_ADAPTER::build_account_risk_real_data_req(r82, 0x8201, uid, "ACCOUNT-82");
    HUX_ADAPTER::account_symbol_real_data_req r83;
    HUX_ADAPTER::build_account_symbol_real_data_req(r83, uid, "ACCOUNT-83");

    struct request {
        uint16_t type;
        size_t length;  // published
        std::string bytes;
    };
    const std::vector<request> requests = {
        {68, 80, bytes_of(r68)}, {69, 80, bytes_of(r69)}, {71, 16, bytes_of(r71)}, {72, 16, bytes_of(r72)},
        {73, 32, bytes_of(r73)}, {74, 32, bytes_of(r74)}, {75, 32, bytes_of(r75)}, {77, 32, bytes_of(r77)},
        {78, 32, bytes_of(r78)}, {81, 28, bytes_of(r81)}, {82, 28, bytes_of(r82)}, {83, 48, bytes_of(r83)},
    };
    for (const request& r : requests) {
        ASSERT_EQ(r.length, r.bytes.size()) << r.type;
        EXPECT_EQ(static_cast<int>(r.length),
                  client.SendMsgToHux("query request", r.bytes.data(), static_cast<int>(r.bytes.size()), 3))
            << r.type;
    }
    ASSERT_TRUE(srv.wait_for_query_message(0, hux_sim::msg_query_symbol_risk, 1, kWait));

    // The logon first, then the twelve in order, each cut by its length.
    const std::vector<hux_sim::sim_message> got = srv.query_messages(0);
    ASSERT_EQ(requests.size() + 1, got.size());
    EXPECT_EQ(68, got[0].type);
    for (size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(requests[i].type);
        const hux_sim::sim_message& m = got[i + 1];
        EXPECT_TRUE(m.known);
        EXPECT_EQ(requests[i].type, m.type);
        EXPECT_EQ(hex_of(requests[i].bytes.data(), requests[i].bytes.size()), hex_of(m.bytes.data(), m.bytes.size()));
    }
    EXPECT_EQ(0u, srv.query_unknown_count(0));
    // The server answered the second logon and the password change; the
    // session is still logged on.
    ASSERT_TRUE(sink.wait_logons(2));
    EXPECT_TRUE(handled("change_password_resp", 1));
    EXPECT_TRUE(client.IsConnect());
    EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, client.GetState());
}

// Every answer type the server encodes, with non-zero fields; the logon
// answer among them carries `logon_user`.
std::vector<std::string> every_answer(uint32_t logon_user) {
    using namespace hux_sim;
    std::vector<std::string> out;

    sim_rewind_execution ex;
    ex.end_flag = 2;
    ex.field_9 = 0x09090909u;
    ex.account = "ACCOUNT-EXEC-016";
    ex.value_29 = 0x2929292929292929ll;
    ex.field_37 = 37;
    ex.field_41 = 41;
    ex.field_45 = 45;
    ex.value_49 = 49.5;
    ex.text_57 = "EXECUTION-TEXT-AT-57-RUNS-ON-TO";
    ex.text_83 = "EXTENDED-TEXT-AT-83X";
    ex.byte_103 = 0x67;
    out.push_back(rewind_execution_answer(1063, ex));
    out.push_back(opaque_query_answer(1064, {{4, le_bytes(0x64646464u, 4)}, {20, le_bytes(0x14141414u, 4)}}));
    sim_query_logon logon;
    logon.result = 0;
    logon.user_id = logon_user;
    out.push_back(query_logon_message(logon));
    out.push_back(change_password_message(0x69));

    sim_user_account ua;
    ua.end_flag = 0;
    ua.account = "ACCOUNT-USER-016";
    ua.field_29 = 0x29;
    ua.amounts = {1.25, 2.5, 3.75, 4.0, 5.5, 6.125};
    out.push_back(user_account_answer(ua));

    sim_symbol_info si;
    si.kind = 2;
    si.symbol = "SYMBOL-INFO-0123456X";
    si.text_30 = "SECOND-SYMBOL-TEXT-21";
    si.exchange_id = 0xE1;
    si.field_52 = 52;
    si.field_84 = 0x8484;
    si.byte_86 = 0x86;
    si.fields_87 = {87, 91, 95, 99, 103};
    si.value_107 = 107.5;
    si.fields_115 = {115, 119, 123};
    si.field_127 = 127;
    si.field_131 = 131;
    si.byte_135 = 0x35;
    si.byte_136 = 0x36;
    out.push_back(symbol_info_answer(si));

    sim_future_position fp;
    fp.request_no = 0x7301;
    fp.account = "ACCOUNT-FUTP-016";
    fp.symbol = "FUTURE-SYMBOL-012345";
    fp.byte_53 = 0x53;
    fp.field_54 = 54;
    fp.fields_66 = {66, 70, 74, 78};
    fp.value_82 = 82.5;
    fp.value_90 = 90.5;
    fp.value_138 = 138.5;
    fp.byte_146 = 0x46;
    out.push_back(future_position_answer(fp));

    sim_rewind_order ro;
    ro.end_flag = 2;  // 2 is an ordinary order, not the end
    ro.field_9 = 9;
    ro.value_13 = 0x1313131313131313ll;
    ro.field_21 = 21;
    ro.byte_25 = 0x25;
    ro.symbol = "REWIND-ORDER-SYMBOL";
    ro.byte_47 = 0x47;
    ro.field_48 = 48;
    ro.value_52 = 52.25;
    ro.byte_60 = 0x60;
    ro.byte_69 = 0x69;
    ro.field_70 = 70;
    ro.account = "ACCOUNT-ORDR-016";
    ro.byte_90 = 0x90;
    ro.byte_91 = 0x91;
    ro.value_93 = 93;
    ro.field_101 = 101;
    ro.field_105 = 105;
    ro.values_109 = {109, 117, 125};
    ro.field_133 = 133;
    out.push_back(rewind_order_answer(ro));
    out.push_back(rewind_execution_answer(1075, ex));

    sim_account_rate rate;
    rate.end_flag = 0;
    rate.account = "ACCOUNT-RATE-016";
    rate.byte_25 = 0x25;
    rate.symbol = "RATE-SYMBOL-01234567";
    rate.byte_46 = 0x46;
    rate.field_47 = 47;
    rate.values = {79.5, 87.5, 95.5, 103.5, 111.5, 119.5};
    rate.byte_127 = 0x7F;
    out.push_back(account_rate_answer(1077, rate));
    out.push_back(account_rate_answer(1078, rate));

    sim_account_bp bp;
    bp.request_no = 0x8101;
    bp.account = "ACCOUNT-BP-00016";
    for (size_t i = 0; i < bp.figures.size(); ++i) bp.figures[i] = 100.5 + static_cast<double>(i);
    bp.flag = 1;  // no end flag in this answer: delivered all the same
    out.push_back(account_bp_answer(bp));

    sim_account_risk risk;
    risk.account = "ACCOUNT-RISK-016";
    risk.raw = {{24, le_bytes(0x24242424u, 4)}, {500, f64_bytes(500.5)}, {988, le_bytes(0x0988098809880988ull, 8)}};
    out.push_back(account_risk_answer(risk));

    sim_symbol_risk srisk;
    srisk.field_8 = 8;
    srisk.account = "ACCOUNT-SRSK-016";
    srisk.symbol = "RISK-SYMBOL-01234567";
    srisk.raw = {{48, le_bytes(0x48484848u, 4)}, {440, f64_bytes(440.5)}};
    out.push_back(symbol_risk_answer(srisk));

    sim_option_position op;
    op.request_no = 0x7301;
    op.account = "ACCOUNT-OPTP-016";
    op.exchange_id = 0x21;
    op.symbol = "OPTION-SYMBOL-2409-C-4000";
    op.number_text = "4000.5";
    op.byte_95 = 0x95;
    op.field_96 = 96;
    op.field_108 = 108;
    op.quantity_a = 112;
    op.fields_116 = {116, 120, 124};
    op.value_128 = 128.5;
    op.value_136 = 136.5;
    op.field_144 = 144;
    op.quantity_b = 148;
    op.value_152 = 152.5;
    op.byte_160 = 0x60;
    out.push_back(option_position_answer(op));
    out.push_back(account_bp_report(bp));
    out.push_back(opaque_query_answer(1095, {{8, std::string(192, 'q')}}));
    out.push_back(opaque_query_answer(1099, {{8, std::string(56, 'z')}}));
    return out;
}

// The published answer types, lengths and log labels (1099 has none of its
// own: it is the last of the eighteen, so the logon answer right behind it
// shows that it was taken whole).
struct answer_kind_len {
    uint16_t type;
    size_t length;
    const char* label;
};
const answer_kind_len k_answers[] = {
    {1063, 112, "rewind_order_execution_response_ex"},
    {1064, 24, "query_err_resp"},
    {1068, 56, "query_logon_msg_resp"},
    {1069, 16, "change_password_resp"},
    {1071, 88, "query_user_account_resp"},
    {1072, 139, "query_symbol_resp"},
    {1073, 152, "query_account_position_resp"},
    {1074, 144, "rewind_accoutn_order_response"},
    {1075, 88, "rewind_order_execution_response"},
    {1077, 96, "query_account_margin_resp"},
    {1078, 128, "query_account_fee_resp"},
    {1081, 108, "query_account_bp_resp"},
    {1082, 1006, "account_risk_real_data_resp"},
    {1083, 448, "account_symbol_real_data_resp"},
    {1092, 167, "query_account_opt_position_resp"},
    {1093, 108, "report_account_bp"},
    {1095, 200, "rewind_quote_response"},
    {1099, 64, nullptr},
};

TEST_F(QueryOnSim, EveryAnswerTypeIsConsumedInOneWriteAndInPieces) {
    log_on();
    const std::vector<std::string> probe = every_answer(0);
    ASSERT_EQ(sizeof(k_answers) / sizeof(k_answers[0]), probe.size());
    for (size_t i = 0; i < probe.size(); ++i) {
        EXPECT_EQ(k_answers[i].type, type_of(probe[i])) << i;
        EXPECT_EQ(k_answers[i].length, probe[i].size()) << k_answers[i].type;
    }
    hux_sim::sim_query_logon behind;

    // One write: the eighteen, then a logon answer.
    std::string all;
    for (const std::string& m : every_answer(QUERY_USER + 1)) all += m;
    behind.user_id = QUERY_USER + 2;
    ASSERT_TRUE(srv.send_query_raw(0, all + hux_sim::query_logon_message(behind)));
    ASSERT_TRUE(sink.wait_logons(3));
    EXPECT_EQ(QUERY_USER + 1, sink.logons()[1].user_id);
    EXPECT_EQ(QUERY_USER + 2, sink.logons()[2].user_id);
    for (const answer_kind_len& a : k_answers) {
        if (a.label) {
            EXPECT_TRUE(handled(a.label, a.type == 1068 ? 3 : 1)) << a.type;
        }
    }

    // The same in random pieces of 1 to 29 bytes.
    all.clear();
    for (const std::string& m : every_answer(QUERY_USER + 3)) all += m;
    behind.user_id = QUERY_USER + 4;
    ASSERT_TRUE(srv.send_query_raw_random(0, all + hux_sim::query_logon_message(behind), 7u, 29));
    ASSERT_TRUE(sink.wait_logons(5));
    EXPECT_EQ(QUERY_USER + 3, sink.logons()[3].user_id);
    EXPECT_EQ(QUERY_USER + 4, sink.logons()[4].user_id);
    for (const answer_kind_len& a : k_answers) {
        if (a.label) {
            EXPECT_TRUE(handled(a.label, a.type == 1068 ? 5 : 2)) << a.type;
        }
    }

    EXPECT_EQ(0u, count_of(log(), "receive unknown msg type"));
    EXPECT_TRUE(client.IsConnect());
    EXPECT_TRUE(client.IsLogon());
    EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, client.GetState());
    EXPECT_EQ(1u, sink.connects().size());
}

TEST_F(QueryOnSim, ResetConnectionIsMadeAgainAndLoggedOnWithTheSameRequest) {
    client.SetAutoReconnect(true);
    log_on();
    ASSERT_TRUE(wait_until([&] { return client.IsReconnectRunning(); }, kWait));
    ASSERT_EQ(1u, srv.query_count(0, hux_sim::msg_query_logon));
    const std::string first = srv.query_last_message(0, hux_sim::msg_query_logon);

    srv.reset_query(0);
    ASSERT_TRUE(srv.wait_for_query_connection(1, kWait));
    ASSERT_TRUE(srv.wait_for_query_message(1, hux_sim::msg_query_logon, 1, kWait));
    const std::string second = srv.query_last_message(1, hux_sim::msg_query_logon);
    EXPECT_EQ(hex_of(first.data(), first.size()), hex_of(second.data(), second.size()));
    ASSERT_TRUE(sink.wait_logons(2));
    EXPECT_EQ(0, sink.logons()[1].result);
    EXPECT_EQ(QUERY_USER, sink.logons()[1].user_id);
    EXPECT_TRUE(wait_until([&] { return client.GetState() == HUX_ADAPTER::QUERY_STATE_LOGGED_ON; }, kWait));
    EXPECT_TRUE(client.IsLogon());
    EXPECT_TRUE(client.IsConnect());

    // Connected, dropped (a reset may come as the peer's close or as an
    // error), connected again.
    const std::vector<std::pair<int, std::string>> c = sink.connects();
    ASSERT_EQ(3u, c.size());
    EXPECT_EQ(0, c[0].first);
    EXPECT_TRUE(c[1].first == 2 || c[1].first == 4) << c[1].first;
    EXPECT_EQ(0, c[2].first);
    EXPECT_EQ(2u, srv.query_connection_count());
}

}  // namespace

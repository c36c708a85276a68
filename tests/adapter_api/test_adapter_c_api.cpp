// The adapter's C functions against the simulated server in this process
// (trade and query ports on loopback): every function's checks in their
// order (null handle 8, not connected 7, not logged on 6, null arguments 25,
// then the function's own), the connection states that tell the checks
// apart (nothing connected; the trade session alone before the logon; both
// connected with the query logon unanswered; both logged on), the
// exceptions to the rule (the functions with no result for a null handle,
// the two stubs, the logon and special orders that need the trade session
// only), what reaches the server and what does not, the callbacks the
// setters store, and the one "local disconnected" a destroyed handle
// reports.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "adapter/Client.h"
#include "tests/adapter_api/adapter_test_waits.h"
#include "mv_hux_adapter.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "tests/support/hold_point.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"

namespace {

using hux_sim::sim_config;
using hux_sim::sim_trade_server;

// The longest a test waits for anything; HUX_TEST_WAIT_MS overrides it.
std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

std::string hex(const std::string& bytes) { return hux_test::hex_of(bytes.data(), bytes.size()); }

// ---------------------------------------------------------------- callbacks

struct connection_seen {
    void* handle;
    int code;
    std::string text;
};

// What the C callbacks receive, from every handle of the test.
class events {
public:
    static events& get() {
        static events instance;
        return instance;
    }
    void reset() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_connections.clear();
        m_logons.clear();
        m_session_ids.clear();
        m_market_sessions = 0;
        m_password_results.clear();
    }

    static void on_connection(void* h, int code, const char* text) {
        get().add([&](events& e) { e.m_connections.push_back({h, code, text ? text : "(null)"}); });
    }
    static void on_logon(void* h, HUX_LogonResponse* rsp) {
        (void)h;
        get().add([&](events& e) { e.m_logons.push_back(*rsp); });
    }
    static void on_session_id(void*, HUX_SessionID* rec) {
        get().add([&](events& e) { e.m_session_ids.push_back(rec->session); });
    }
    static void on_market_session(void*, HUX_ExchangeMarketSession*, bool) {
        get().add([&](events& e) { ++e.m_market_sessions; });
    }
    static void on_change_password(void*, int result) {
        get().add([&](events& e) { e.m_password_results.push_back(result); });
    }

    // Waits until `ready` holds (under the lock); false at the deadline.
    bool wait(const std::function<bool(const events&)>& ready) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, wait_limit(), [&] { return ready(*this); });
    }
    size_t count(const void* h, int code) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return count_locked(h, code);
    }
    size_t count_locked(const void* h, int code) const {
        size_t n = 0;
        for (const connection_seen& c : m_connections) n += c.handle == h && c.code == code ? 1 : 0;
        return n;
    }
    std::vector<connection_seen> connections(const void* h) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<connection_seen> out;
        for (const connection_seen& c : m_connections)
            if (c.handle == h) out.push_back(c);
        return out;
    }
    template <typename T>
    T read(const std::function<T(const events&)>& fn) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return fn(*this);
    }

    std::vector<connection_seen> m_connections;
    std::vector<HUX_LogonResponse> m_logons;
    std::vector<std::string> m_session_ids;
    int m_market_sessions = 0;
    std::vector<int> m_password_results;

private:
    void add(const std::function<void(events&)>& fn) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            fn(*this);
        }
        m_changed.notify_all();
    }
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
};

// ---------------------------------------------------------------- rig

// Trade user 1001 (0x3e9) with token mark 100, query user 2002.
sim_config server_config() {
    sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    cfg.max_token = 100;
    cfg.query_user_id = 2002;
    cfg.session_id.session = "SESS-A";
    return cfg;
}

using hux_test::shorten_waits;

// A simulated server with its query port (declared first, so it goes last)
// and a handle with the connection and logon callbacks.
struct rig {
    explicit rig(const sim_config& cfg = server_config()) {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        EXPECT_TRUE(srv.open_query(0));
        events::get().reset();
        handle = MVHUX_CreateTrade(&user_value);
        shorten_waits(handle);
        EXPECT_EQ(0, MVHUX_SetConnectionEvent(handle, &events::on_connection));
        EXPECT_EQ(0, MVHUX_SetUserLogonEvent(handle, &events::on_logon));
    }
    ~rig() {
        if (handle) MVHUX_DestroyTrade(handle);
    }

    HUX_TradeSvrInfo record() const {
        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        std::strcpy(info.query_ip, "127.0.0.1");
        info.query_port = srv.query_port();
        info.heartbeat_interval = 0;
        return info;
    }
    // The trade session connected ("conn ok" came).
    bool connect_trade() {
        const HUX_TradeSvrInfo info = record();
        const size_t oks = events::get().count(handle, 0);
        return MVHUX_ConnServer(handle, &info) == 0 &&
               events::get().wait([&](const events& e) { return e.count_locked(handle, 0) > oks; });
    }
    // The logon callback of one MVHUX_UserLogon; its result, -1 when none came.
    int logon() {
        const size_t n = events::get().read<size_t>([](const events& e) { return e.m_logons.size(); });
        if (MVHUX_UserLogon(handle, "trader01", "pw", "app-x", "AUTH123") != 0) return -1;
        if (!events::get().wait([&](const events& e) { return e.m_logons.size() > n; })) return -1;
        return events::get().read<int>([&](const events& e) { return e.m_logons[n].result; });
    }
    bool log_on() { return connect_trade() && logon() == 0; }
    // The trade connection: the adapter reports no terminal first, so it is
    // the first the trade port accepts.
    size_t trade_conn() { return srv.wait_for_connection(0, wait_limit()) ? 0 : sim_trade_server::no_connection; }

    sim_trade_server srv;
    int user_value = 0;
    void* handle = nullptr;
};

// A valid order: token `token` on exchange 101.
HUX_EnterOrderField order(uint32_t token, uint32_t quantity = 1) {
    HUX_EnterOrderField o;
    std::memset(&o, 0, sizeof(o));
    std::strcpy(o.account, "ACC001");
    std::strcpy(o.symbol, "IF2406");
    o.side = 1;
    o.exchange_id = 101;
    o.price = 10.0;
    o.quantity = quantity;
    o.client_token = token;
    o.opt_8 = 1;
    return o;
}

// Every function that sends a request (and MVHUX_GetMaxToken), called with
// valid arguments where `null_args` is false, else with a null record,
// array, text or output; in the order of the tables. The trade-only ones
// are marked.
struct request_call {
    const char* name;
    bool trade_only;
    std::function<int(void*, bool null_args)> call;
};

std::vector<request_call> request_calls() {
    static HUX_EnterOrderField orders[2] = {order(1000), order(1001)};
    static HUX_EnterSpecialOrderField special;
    static HUX_CancelOrder cancels[2];
    static HUX_CancelSpecialOrder special_cancel;
    static unsigned int token;
    std::memset(&special, 0, sizeof(special));
    special.exchange_id = 101;
    special.client_token = 2000;
    std::memset(cancels, 0, sizeof(cancels));
    std::memset(&special_cancel, 0, sizeof(special_cancel));
    const char* acc = "ACC001";
    return {
        {"GetMaxToken", false, [](void* h, bool n) { return MVHUX_GetMaxToken(h, n ? nullptr : &token); }},
        {"EnterOrder", false, [](void* h, bool n) { return MVHUX_EnterOrder(h, n ? nullptr : &orders[0]); }},
        {"EnterMultiOrders", false,
         [](void* h, bool n) { return MVHUX_EnterMultiOrders(h, n ? nullptr : orders, 2); }},
        {"EnterSpecialOrder", true,
         [](void* h, bool n) { return MVHUX_EnterSpecialOrder(h, n ? nullptr : &special); }},
        {"CancelOrder", false, [](void* h, bool n) { return MVHUX_CancelOrder(h, n ? nullptr : &cancels[0]); }},
        {"EnterMultiCxlOrders", false,
         [](void* h, bool n) { return MVHUX_EnterMultiCxlOrders(h, n ? nullptr : cancels, 2); }},
        {"CancelSpecialOrder", true,
         [](void* h, bool n) { return MVHUX_CancelSpecialOrder(h, n ? nullptr : &special_cancel); }},
        {"ChangePassword", false,
         [](void* h, bool n) { return MVHUX_ChangePassword(h, n ? nullptr : "pw", "New_pass2"); }},
        {"QuerySymbolList", false, [](void* h, bool) { return MVHUX_QuerySymbolList(h); }},
        {"QueryUserAccount", false, [](void* h, bool) { return MVHUX_QueryUserAccount(h); }},
        {"QueryAccountPosition", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountPosition(h, n ? nullptr : acc, 1); }},
        {"QueryAccountBP", false, [acc](void* h, bool n) { return MVHUX_QueryAccountBP(h, n ? nullptr : acc, 1); }},
        {"QueryAccountTradeMargin", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountTradeMargin(h, n ? nullptr : acc); }},
        {"QueryAccountTradeFee", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountTradeFee(h, n ? nullptr : acc); }},
        {"QueryAccountOrder", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountOrder(h, n ? nullptr : acc); }},
        {"QueryAccountOrderExecution", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountOrderExecution(h, n ? nullptr : acc, 0); }},
        {"QueryAccountRiskData", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountRiskData(h, n ? nullptr : acc, "x", 0, 0); }},
        {"QueryAccountSymbolRiskData", false,
         [acc](void* h, bool n) { return MVHUX_QueryAccountSymbolRiskData(h, n ? nullptr : acc, "IF2406", 0); }},
        {"QueryMarketSession", false, [](void* h, bool) { return MVHUX_QueryMarketSession(h); }},
        {"QuerySymbolStatus", false, [](void* h, bool) { return MVHUX_QuerySymbolStatus(h); }},
        {"QuerySessionID", false, [](void* h, bool n) { return MVHUX_QuerySessionID(h, n ? nullptr : "S", 0); }},
    };
}

// Functions that take no argument that could be null.
bool has_null_form(const std::string& name) {
    return name != "QuerySymbolList" && name != "QueryUserAccount" && name != "QueryMarketSession" &&
           name != "QuerySymbolStatus";
}

// ---------------------------------------------------------------- tests

TEST(AdapterCApi, NullHandleGives8ExceptWhereTheFunctionHasNoResult) {
    HUX_TradeSvrInfo info;
    long long stamps[1];
    int count = 1;
    EXPECT_EQ(8, MVHUX_DestroyTrade(nullptr));
    EXPECT_EQ(nullptr, MVHUX_GetUserParam(nullptr));
    MVHUX_SetLogDir(nullptr, "logs");  // nothing happens, nothing crashes
    MVHUX_SetUserId(nullptr, 5);
    EXPECT_EQ(8, MVHUX_SetAutoReconnect(nullptr, true));
    EXPECT_EQ(8, MVHUX_SetMaxWaitTime(nullptr, 1, 1));
    EXPECT_EQ(8, MVHUX_GetTimestamps(nullptr, stamps, &count));
    EXPECT_EQ(8, MVHUX_GetTimestamps(nullptr, nullptr, nullptr));  // 8 before 25
    EXPECT_EQ(8, MVHUX_ConnServer(nullptr, &info));
    EXPECT_EQ(8, MVHUX_ConnServer(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_DisConnServer(nullptr));
    EXPECT_EQ(8, MVHUX_UserLogon(nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetLoggerSwitch(nullptr, true));
    EXPECT_EQ(8, MVHUX_LoggerFlush(nullptr));
    EXPECT_EQ(8, MVHUX_SetAsyncReceiveMode(nullptr));
    EXPECT_EQ(8, MVHUX_ChangeFCParam(nullptr, 1, 1));
    for (const request_call& r : request_calls()) {
        EXPECT_EQ(8, r.call(nullptr, false)) << r.name;
        EXPECT_EQ(8, r.call(nullptr, true)) << r.name;
    }
    // The stubs look at nothing.
    EXPECT_EQ(0, MVHUX_QueryMarketMBLData(nullptr, 1, 100, nullptr, nullptr, 2));
    EXPECT_EQ(0u, MVHUX_CalcVerificationValue(nullptr, nullptr));
    // Every setter.
    EXPECT_EQ(8, MVHUX_SetConnectionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetUserLogonEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetHeartBeartTimeoutEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetChangePasswordEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryUserAccountEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountPositionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountOptionPositionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountBPEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_ReportAccountBPEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQuerySymbolListEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountTradeMarginEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountTradeFeeEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryTradeOrderEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryTradeOrderExecEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryTradeOrderExecEventEx(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountRiskDataEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryAccountSymbolRiskDataEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderMarketAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderMarketRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderExecutionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetOrderCxledEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetCxlOrderRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetPostOrderEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetPostOrderExecutionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryMarketSessionEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetMarketSessionStatReportEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQuerySymbolStatusEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSymbolStatusReportEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQueryMarketMBLDataEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetQuerySessionIDEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderMarketAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderMarketRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderActionAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderActionRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderActionMarketAcceptEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetSpecialOrderActionMarketRejectEvent(nullptr, nullptr));
    EXPECT_EQ(8, MVHUX_SetPostSpecialOrderEvent(nullptr, nullptr));
}

TEST(AdapterCApi, UnconnectedHandleRefusesEveryRequestWith7BeforeItsArguments) {
    int user_value = 0;
    void* h = MVHUX_CreateTrade(&user_value);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(&user_value, MVHUX_GetUserParam(h));
    MVHUX_SetLogDir(h, nullptr);  // a null directory changes nothing

    // Set-up: 0, whatever the state.
    EXPECT_EQ(0, MVHUX_SetAutoReconnect(h, false));
    EXPECT_EQ(0, MVHUX_SetMaxWaitTime(h, 5, 6));
    EXPECT_EQ(0, MVHUX_SetLoggerSwitch(h, false));
    EXPECT_EQ(0, MVHUX_LoggerFlush(h));
    EXPECT_EQ(0, MVHUX_SetAsyncReceiveMode(h));
    // Limits of 0 are refused; 1 is taken by both sessions.
    EXPECT_EQ(16, MVHUX_ChangeFCParam(h, 0, 1));
    EXPECT_EQ(16, MVHUX_ChangeFCParam(h, 1, 0));
    EXPECT_EQ(0, MVHUX_ChangeFCParam(h, 1, 1));

    // Timestamps: the count is read and written.
    long long stamps[3] = {-1, -1, -1};
    int count = 3;
    EXPECT_EQ(25, MVHUX_GetTimestamps(h, stamps, nullptr));
    EXPECT_EQ(25, MVHUX_GetTimestamps(h, nullptr, &count));
    count = -1;
    EXPECT_EQ(25, MVHUX_GetTimestamps(h, stamps, &count));
    count = 0;
    EXPECT_EQ(0, MVHUX_GetTimestamps(h, nullptr, &count));
    count = 3;
    EXPECT_EQ(0, MVHUX_GetTimestamps(h, stamps, &count));
    EXPECT_EQ(0, count);  // the kernel transports keep none

    // Connection: a null record 25; nothing listening: the start fails, 1.
    EXPECT_EQ(25, MVHUX_ConnServer(h, nullptr));
    HUX_TradeSvrInfo info;
    std::strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = hux_test::free_loopback_port(SOCK_STREAM);
    ASSERT_NE(0, info.tcp_port);
    EXPECT_EQ(1, MVHUX_ConnServer(h, &info));

    // Not connected comes before any argument is looked at.
    EXPECT_EQ(7, MVHUX_UserLogon(h, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(7, MVHUX_UserLogon(h, "trader01", "pw", "app", "auth"));
    for (const request_call& r : request_calls()) {
        EXPECT_EQ(7, r.call(h, false)) << r.name;
        EXPECT_EQ(7, r.call(h, true)) << r.name;
    }
    EXPECT_EQ(7, MVHUX_QuerySessionID(h, "S", 100));  // 7 before 18
    EXPECT_EQ(0, MVHUX_QueryMarketMBLData(h, 0, 0, nullptr, nullptr, 0));
    EXPECT_EQ(0u, MVHUX_CalcVerificationValue(h, nullptr));
    EXPECT_EQ(0, MVHUX_DisConnServer(h));
    EXPECT_EQ(0, MVHUX_DestroyTrade(h));
}

// Before the logon only the trade session is connected: the logon goes
// ahead (its own checks first), every function that needs both sessions
// says 7, and the two special-order functions, which need the trade session
// only, get as far as 6.
TEST(AdapterCApi, TradeSessionAloneLetsTheLogonThroughAndHoldsTheRestAt7) {
    rig r;
    ASSERT_TRUE(r.connect_trade());
    const size_t conn = r.trade_conn();
    ASSERT_NE(sim_trade_server::no_connection, conn);

    for (const request_call& c : request_calls()) {
        EXPECT_EQ(c.trade_only ? 6 : 7, c.call(r.handle, false)) << c.name;
        EXPECT_EQ(c.trade_only ? 6 : 7, c.call(r.handle, true)) << c.name;
    }

    // The logon's own checks: 25 for any null text, 256 for a text longer
    // than its field (login id 32, app id 30, auth code 18), nothing sent.
    EXPECT_EQ(25, MVHUX_UserLogon(r.handle, nullptr, "pw", "app", "auth"));
    EXPECT_EQ(25, MVHUX_UserLogon(r.handle, "trader01", nullptr, "app", "auth"));
    EXPECT_EQ(25, MVHUX_UserLogon(r.handle, "trader01", "pw", nullptr, "auth"));
    EXPECT_EQ(25, MVHUX_UserLogon(r.handle, "trader01", "pw", "app", nullptr));
    const std::string login33(33, 'L');
    const std::string app31(31, 'A');
    const std::string auth19(19, 'C');
    EXPECT_EQ(256, MVHUX_UserLogon(r.handle, login33.c_str(), "pw", "app", "auth"));
    EXPECT_EQ(256, MVHUX_UserLogon(r.handle, "trader01", "pw", app31.c_str(), "auth"));
    EXPECT_EQ(256, MVHUX_UserLogon(r.handle, "trader01", "pw", "app", auth19.c_str()));
    // At their limits the texts pass; the refused ones left nothing behind:
    // the one version report the server sees is this logon's.
    const std::string login32(32, 'L');
    const size_t n = events::get().read<size_t>([](const events& e) { return e.m_logons.size(); });
    EXPECT_EQ(0, MVHUX_UserLogon(r.handle, login32.c_str(), "pw", std::string(30, 'A').c_str(),
                                 std::string(18, 'C').c_str()));
    ASSERT_TRUE(events::get().wait([&](const events& e) { return e.m_logons.size() > n; }));
    ASSERT_TRUE(r.srv.wait_for_message(conn, hux_sim::msg_report_version, 1, wait_limit()));
    EXPECT_EQ(1u, r.srv.count(conn, hux_sim::msg_report_version));
    EXPECT_NE(std::string::npos, r.srv.last_message(conn, hux_sim::msg_report_version).find(login32));
    EXPECT_EQ(std::string::npos, r.srv.raw_received(conn).find(login33));
    EXPECT_EQ(std::string::npos, r.srv.raw_received(conn).find(app31));
    EXPECT_EQ(std::string::npos, r.srv.raw_received(conn).find(auth19));
}

// Both sessions connected, the query logon not answered: 7 no longer, 6
// for everything, the special orders included; 6 comes before a null
// argument and before the market check of MVHUX_QuerySessionID.
TEST(AdapterCApi, UnansweredQueryLogonGives6EvenForTheTradeOnlyFunctions) {
    sim_config silent = server_config();
    silent.silent = true;
    rig r;
    ASSERT_TRUE(r.srv.set_query_connection_config(0, silent));
    ASSERT_TRUE(r.connect_trade());
    EXPECT_EQ(0, MVHUX_UserLogon(r.handle, "trader01", "pw", "app-x", "AUTH123"));
    ASSERT_TRUE(r.srv.wait_for_query_message(0, hux_sim::msg_query_logon, 1, wait_limit()));

    for (const request_call& c : request_calls()) {
        EXPECT_EQ(6, c.call(r.handle, false)) << c.name;
        EXPECT_EQ(6, c.call(r.handle, true)) << c.name;
    }
    EXPECT_EQ(6, MVHUX_QuerySessionID(r.handle, "S", 100));
    EXPECT_EQ(6, MVHUX_QuerySessionID(r.handle, nullptr, 101));
    // Nothing went out on either connection.
    const size_t conn = r.trade_conn();
    EXPECT_EQ(0u, r.srv.count(conn, hux_sim::msg_new_order));
    EXPECT_EQ(0u, r.srv.count(conn, hux_sim::msg_special_order));
    EXPECT_EQ(0u, r.srv.count(conn, hux_sim::msg_query_session_id));
    EXPECT_EQ(1u, r.srv.query_messages(0).size());  // the query logon alone
}

// Logged on: each null argument gives 25 in its place, the market check of
// MVHUX_QuerySessionID comes first (100 and 101 are exchanges of orders,
// not of session ids), and the texts no request carries may be null.
TEST(AdapterCApi, LoggedOnChecksRunInTheirPlaceAndValidRequestsGoOut) {
    rig r;
    ASSERT_TRUE(r.log_on());
    const size_t conn = r.trade_conn();

    for (const request_call& c : request_calls()) {
        if (has_null_form(c.name)) {
            EXPECT_EQ(25, c.call(r.handle, true)) << c.name;
        }
    }
    EXPECT_EQ(25, MVHUX_ChangePassword(r.handle, "pw", nullptr));
    EXPECT_EQ(0, MVHUX_QueryMarketMBLData(r.handle, 0, 0, nullptr, nullptr, 0));

    unsigned int token = 0;
    EXPECT_EQ(0, MVHUX_GetMaxToken(r.handle, &token));
    EXPECT_EQ(100u, token);  // the mark of the logon answer

    // Session id: 18 for any non-zero market outside 102..108, before the
    // null text; 0 and 102..108 go out.
    for (int market : {1, 100, 101, 109, 255}) {
        EXPECT_EQ(18, MVHUX_QuerySessionID(r.handle, "S", static_cast<uint8_t>(market))) << market;
        EXPECT_EQ(18, MVHUX_QuerySessionID(r.handle, nullptr, static_cast<uint8_t>(market))) << market;
    }
    EXPECT_EQ(25, MVHUX_QuerySessionID(r.handle, nullptr, 0));
    EXPECT_EQ(0, MVHUX_SetQuerySessionIDEvent(r.handle, &events::on_session_id));
    EXPECT_EQ(0, MVHUX_QuerySessionID(r.handle, "SESSION-0", 0));
    ASSERT_TRUE(r.srv.wait_for_message(conn, hux_sim::msg_query_session_id, 1, wait_limit()));
    EXPECT_EQ("5e00"                                // 0: type 94
              "2000"                                // 2: length 32
              "00000000"                            // 4: zero
              "e9030000"                            // 8: user id 1001
              "53455353494f4e2d30"                  // 12: "SESSION-0"
              "0000000000000000"                    // 21: the rest of the 17-byte text
              "00"                                  // 29: market 0
              "0000",                               // 30: zero
              hex(r.srv.last_message(conn, hux_sim::msg_query_session_id)));
    ASSERT_TRUE(events::get().wait([](const events& e) { return e.m_session_ids.size() == 1; }));
    EXPECT_EQ("SESS-A", events::get().read<std::string>([](const events& e) { return e.m_session_ids[0]; }));
    EXPECT_EQ(0, MVHUX_QuerySessionID(r.handle, "S", 102));
    EXPECT_EQ(0, MVHUX_QuerySessionID(r.handle, "S", 108));
    ASSERT_TRUE(r.srv.wait_for_message(conn, hux_sim::msg_query_session_id, 3, wait_limit()));
    EXPECT_EQ("6c", hex(r.srv.last_message(conn, hux_sim::msg_query_session_id).substr(29, 1)));  // 108
    EXPECT_EQ(3u, r.srv.count(conn, hux_sim::msg_query_session_id));

    // Risk queries: the text and the symbol travel nowhere and may be null.
    EXPECT_EQ(0, MVHUX_QueryAccountRiskData(r.handle, "ACC001", nullptr, 7, 9));
    EXPECT_EQ(0, MVHUX_QueryAccountSymbolRiskData(r.handle, "ACC001", nullptr, 3));
    ASSERT_TRUE(r.srv.wait_for_query_message(0, hux_sim::msg_query_symbol_risk, 1, wait_limit()));
    EXPECT_EQ("5200"                                // 0: type 82
              "1c00"                                // 2: length 28
              "07000000"                            // 4: the first integer, 7
              "e9030000"                            // 8: the trade session's user id 1001
              "414343303031"                        // 12: "ACC001"
              "00000000000000000000",               // 18: the rest of the 16-byte account
              hex(r.srv.query_last_message(0, hux_sim::msg_query_account_risk)));
    EXPECT_EQ("5300"                                // 0: type 83
              "3000"                                // 2: length 48
              "00000000"                            // 4: zero
              "e9030000"                            // 8: user id 1001
              "414343303031"                        // 12: "ACC001"
              "00000000000000000000"                // 18: the rest of the account
              "0000000000000000000000000000000000000000",  // 28: zero, 20 bytes
              hex(r.srv.query_last_message(0, hux_sim::msg_query_symbol_risk)));

    // The client's own checks, after the C function's: batch sizes 11, the
    // password rule 10, quantity 0 sends nothing.
    HUX_EnterOrderField batch[17];
    for (int i = 0; i < 17; ++i) batch[i] = order(5000 + i);
    EXPECT_EQ(11, MVHUX_EnterMultiOrders(r.handle, batch, 0));
    EXPECT_EQ(11, MVHUX_EnterMultiOrders(r.handle, batch, 17));
    HUX_CancelOrder cancels[38];
    std::memset(cancels, 0, sizeof(cancels));
    EXPECT_EQ(11, MVHUX_EnterMultiCxlOrders(r.handle, cancels, 38));
    EXPECT_EQ(10, MVHUX_ChangePassword(r.handle, "pw", "short1"));
    HUX_EnterOrderField warm = order(6000, 0);
    EXPECT_EQ(0, MVHUX_EnterOrder(r.handle, &warm));
    HUX_EnterOrderField real = order(6001);
    EXPECT_EQ(0, MVHUX_EnterOrder(r.handle, &real));
    ASSERT_TRUE(r.srv.wait_for_message(conn, hux_sim::msg_new_order, 1, wait_limit()));
    EXPECT_EQ(1u, r.srv.count(conn, hux_sim::msg_new_order));
    EXPECT_EQ("71170000", hex(r.srv.last_message(conn, hux_sim::msg_new_order).substr(20, 4)));  // token 6001
    EXPECT_EQ(0, MVHUX_GetMaxToken(r.handle, &token));
    EXPECT_EQ(6001u, token);  // the refused batches and the warm order raised nothing past it
    EXPECT_EQ(0u, r.srv.query_count(0, hux_sim::msg_change_password));
}

// The setters store the callbacks where the answers arrive: the trade
// session's (session id, market session), the query session's (password
// change); a null callback switches its event off.
TEST(AdapterCApi, SettersReachTheSessionsThatRaiseTheEvents) {
    sim_config cfg = server_config();
    cfg.change_password_result = 5;
    rig r(cfg);
    ASSERT_TRUE(r.log_on());
    const size_t conn = r.trade_conn();

    EXPECT_EQ(0, MVHUX_SetChangePasswordEvent(r.handle, &events::on_change_password));
    EXPECT_EQ(0, MVHUX_ChangePassword(r.handle, "pw", "New_pass2"));
    ASSERT_TRUE(events::get().wait([](const events& e) { return e.m_password_results.size() == 1; }));
    EXPECT_EQ(5, events::get().read<int>([](const events& e) { return e.m_password_results[0]; }));

    EXPECT_EQ(0, MVHUX_SetQuerySessionIDEvent(r.handle, &events::on_session_id));
    EXPECT_EQ(0, MVHUX_SetQueryMarketSessionEvent(r.handle, &events::on_market_session));
    EXPECT_EQ(0, MVHUX_QuerySessionID(r.handle, "S", 0));
    ASSERT_TRUE(events::get().wait([](const events& e) { return e.m_session_ids.size() == 1; }));
    // Switched off: the next session id answer, which comes before the
    // market session answer on the same connection, reaches nobody.
    EXPECT_EQ(0, MVHUX_SetQuerySessionIDEvent(r.handle, nullptr));
    EXPECT_EQ(0, MVHUX_QuerySessionID(r.handle, "S", 0));
    EXPECT_EQ(0, MVHUX_QueryMarketSession(r.handle));
    ASSERT_TRUE(events::get().wait([](const events& e) { return e.m_market_sessions >= 1; }));
    EXPECT_EQ(2u, r.srv.count(conn, hux_sim::msg_query_session_id));
    EXPECT_EQ(1u, events::get().read<size_t>([](const events& e) { return e.m_session_ids.size(); }));
    // The market-by-level callback is stored and never called.
    EXPECT_EQ(0, MVHUX_SetQueryMarketMBLDataEvent(r.handle, [](void*, HUX_MarketMBLData*, bool) { std::abort(); }));
    EXPECT_EQ(0, MVHUX_QueryMarketMBLData(r.handle, 1, 102, "IF2406", "x", 1));
}

// Disconnecting stops the threads and closes both sessions: the requests
// are back at 7. Destroying a connected handle reports one 3 "local
// disconnected"; destroying one already disconnected reports nothing more.
TEST(AdapterCApi, DisconnectAndDestroyReportLocalDisconnectOnce) {
    rig r;
    ASSERT_TRUE(r.log_on());
    EXPECT_EQ(0, MVHUX_SetAutoReconnect(r.handle, true));
    EXPECT_EQ(0, MVHUX_DisConnServer(r.handle));
    EXPECT_EQ(1u, events::get().count(r.handle, 3));
    for (const request_call& c : request_calls()) EXPECT_EQ(7, c.call(r.handle, false)) << c.name;
    EXPECT_EQ(7, MVHUX_UserLogon(r.handle, "trader01", "pw", "app-x", "AUTH123"));
    void* gone = r.handle;
    EXPECT_EQ(0, MVHUX_DestroyTrade(r.handle));
    r.handle = nullptr;
    EXPECT_EQ(1u, events::get().count(gone, 3));

    rig second;
    ASSERT_TRUE(second.log_on());
    void* connected = second.handle;
    EXPECT_EQ(0u, events::get().count(connected, 3));
    EXPECT_EQ(0, MVHUX_DestroyTrade(second.handle));
    second.handle = nullptr;
    const std::vector<connection_seen> seen = events::get().connections(connected);
    size_t local = 0;
    for (const connection_seen& c : seen) {
        if (c.code != 3) continue;
        ++local;
        EXPECT_EQ("local disconnected", c.text);
    }
    EXPECT_EQ(1u, local);
}

// ---------------------------------------------------------------- destroy inside a callback

// The callbacks that can destroy their handle in the case below.
enum destroy_kind { DESTROY_IN_CONN_OK, DESTROY_IN_LOGON, DESTROY_IN_ORDER_ANSWER, DESTROY_IN_QUERY_ANSWER, OTHER };

// Every callback of the handle comes here: the first of `kind` destroys the
// handle, and any callback after that is counted.
struct destroy_probe {
    destroy_kind kind;
    std::string log;  // the log of both sessions
    std::mutex lock;
    bool destroyed = false;
    bool freed_inside = false;  // a session's destructor had run before the callback returned
    int after = 0;

    void heard(destroy_kind which, void* h) {
        {
            std::lock_guard<std::mutex> g(lock);
            if (destroyed) {
                ++after;
                return;
            }
            if (which != kind) return;
            destroyed = true;
        }
        EXPECT_EQ(0, MVHUX_DestroyTrade(h));
        // Each session's destructor ends with its line and closes the log.
        const bool freed = log_lines(log, "destroy trade client") + log_lines(log, "destroy query client") != 0;
        std::lock_guard<std::mutex> g(lock);
        freed_inside = freed;
    }
    static size_t log_lines(const std::string& path, const char* text) {
        std::ifstream in(path);
        size_t n = 0;
        for (std::string line; std::getline(in, line);) n += line.find(text) != std::string::npos ? 1 : 0;
        return n;
    }
};

destroy_probe* g_destroy = nullptr;

// The probe hears these first: the test goes on once they are recorded.
void destroy_on_connection(void* h, int code, const char* text) {
    g_destroy->heard(code == 0 ? DESTROY_IN_CONN_OK : OTHER, h);
    events::on_connection(h, code, text);
}
void destroy_on_logon(void* h, HUX_LogonResponse* rsp) {
    g_destroy->heard(DESTROY_IN_LOGON, h);
    events::on_logon(h, rsp);
}
void destroy_on_accept(void* h, HUX_OrderAcceptField*) { g_destroy->heard(DESTROY_IN_ORDER_ANSWER, h); }
void heard_execution(void* h, HUX_OrderExecutionField*) { g_destroy->heard(OTHER, h); }
void destroy_on_account(void* h, HUX_AccountInfo*, bool) { g_destroy->heard(DESTROY_IN_QUERY_ANSWER, h); }
void heard_bp_report(void* h, const char*, HUX_AccountBP*) { g_destroy->heard(OTHER, h); }

// MVHUX_DestroyTrade inside a callback: in the connection event ("conn ok"),
// the logon answer, an order answer (trade receive thread) and a query
// answer (query receive thread). Both sessions are disconnected at once
// (the server sees the trade connection close) and the client is freed on
// the library's own thread once the callback has returned, the application
// calling nothing more: the sessions' destructor lines are not in the log
// when the destroy returns, and come without another call. No callback comes
// after the destroy: not the fill behind the accept, the closing account
// answer and the buying-power push behind the first account, nor the
// disconnect's "local disconnected".
TEST(AdapterCApi, DestroyInsideACallbackFreesTheClientOnceTheCallbackHasReturned) {
    const struct {
        const char* name;
        destroy_kind kind;
    } kinds[] = {{"conn ok", DESTROY_IN_CONN_OK},
                 {"logon answer", DESTROY_IN_LOGON},
                 {"order answer", DESTROY_IN_ORDER_ANSWER},
                 {"query answer", DESTROY_IN_QUERY_ANSWER}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        sim_config cfg = server_config();
        cfg.coalesce = true;  // each request's answers in one read
        cfg.order_answer = hux_sim::order_mode::fill;
        cfg.query_data.answer = true;
        cfg.query_data.user_accounts.resize(2);
        cfg.query_data.user_accounts[0].account = "ACC001";
        cfg.query_data.user_accounts[1].account = "ACC002";
        cfg.query_data.bp_push_after = 71;
        char dir_template[] = "/tmp/hux_destroy_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir_template));
        const std::string dir = dir_template;
        destroy_probe probe;  // outlives the handle
        probe.kind = k.kind;
        g_destroy = &probe;
        rig r(cfg);
        MVHUX_SetLogDir(r.handle, dir.c_str());
        // The start date is known once a session exists.
        probe.log = dir + "/tavlog_" + precise_time::get_start_date() + ".log";
        ASSERT_EQ(0, MVHUX_SetConnectionEvent(r.handle, destroy_on_connection));
        ASSERT_EQ(0, MVHUX_SetUserLogonEvent(r.handle, destroy_on_logon));
        ASSERT_EQ(0, MVHUX_SetOrderAcceptEvent(r.handle, destroy_on_accept));
        ASSERT_EQ(0, MVHUX_SetOrderExecutionEvent(r.handle, heard_execution));
        ASSERT_EQ(0, MVHUX_SetQueryUserAccountEvent(r.handle, destroy_on_account));
        ASSERT_EQ(0, MVHUX_ReportAccountBPEvent(r.handle, heard_bp_report));

        ASSERT_TRUE(r.connect_trade());
        if (k.kind == DESTROY_IN_LOGON) {
            ASSERT_EQ(0, MVHUX_UserLogon(r.handle, "trader01", "pw", "app-x", "AUTH123"));
        } else if (k.kind != DESTROY_IN_CONN_OK) {
            ASSERT_EQ(0, r.logon());
        }
        if (k.kind == DESTROY_IN_ORDER_ANSWER) {
            HUX_EnterOrderField o = order(101);
            ASSERT_EQ(0, MVHUX_EnterOrder(r.handle, &o));
        } else if (k.kind == DESTROY_IN_QUERY_ANSWER) {
            ASSERT_EQ(0, MVHUX_QueryUserAccount(r.handle));
        }

        EXPECT_TRUE(hux_test::wait_until(
            [&] {
                return destroy_probe::log_lines(probe.log, "destroy trade client") == 1 &&
                       destroy_probe::log_lines(probe.log, "destroy query client") == 1;
            },
            wait_limit()));
        EXPECT_TRUE(r.srv.transport().wait_peer_closed(0, wait_limit()));
        {
            std::lock_guard<std::mutex> g(probe.lock);
            EXPECT_TRUE(probe.destroyed);
            EXPECT_FALSE(probe.freed_inside);
            EXPECT_EQ(0, probe.after);
            if (probe.destroyed) r.handle = nullptr;
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    g_destroy = nullptr;
}

// MVHUX_DestroyTrade on one thread while MVHUX_EnterOrder on another is held
// after loading the trade session's transports: the destroy disconnects, then
// waits for the order to return before it frees the client, and the order
// fails on the connection it saw (or went out).
TEST(AdapterCApi, DestroyWaitsForAnOrderUnderWayOnAnotherThread) {
    rig r;
    ASSERT_TRUE(r.log_on());
    void* const h = r.handle;
    HUX_SESSION::trade_session_core* const trade = &static_cast<HUX_ADAPTER::Client*>(h)->Trade();
    hux_test::hold_point hold("send: transports loaded", trade);
    std::atomic<int> ordered{-1};
    std::thread order_thread([&] {
        HUX_EnterOrderField o = order(7001);
        ordered = MVHUX_EnterOrder(h, &o);
    });
    EXPECT_TRUE(hold.wait_arrived(wait_limit()));
    std::atomic<int> destroyed{-1};
    std::thread destroy_thread([&] { destroyed = MVHUX_DestroyTrade(h); });
    EXPECT_TRUE(hold.wait_seen("api: destroy waits for calls", wait_limit()));
    EXPECT_EQ(-1, destroyed);
    hold.release();
    order_thread.join();
    destroy_thread.join();
    r.handle = nullptr;
    EXPECT_TRUE(ordered == 4 || ordered == 7 || ordered == 0) << ordered;
    EXPECT_EQ(0, destroyed);
}

}  // namespace

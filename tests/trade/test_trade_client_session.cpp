// The trade session against the simulated trade server over loopback: logon
// end to end, refusals, the dispatcher, connect failures, the log directory,
// disconnecting from inside a callback, reconnect events and thread clean-up.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/plain_socket.h"
#include "tests/support/session_support.h"
#include "trade_core/trade_wire.h"

using namespace trade_test;
using hux_test::wait_until;

namespace {

// A session whose callbacks are recorded (declared first, so they outlive
// the session), with short waits.
struct session {
    session_events events;
    std::unique_ptr<CTradeClient> client;
    session() : client(new CTradeClient(&events)) {
        events.attach(*client);
        HUX_TRADE::TradeClientTimings t;
        t.reconnect_wait_count = 2;
        t.reconnect_wait_ms = 10;
        t.close_pause_ms = 1;
        t.reconnect_idle_ms = 5;
        t.tcp_stop_wait_ms = 2000;
        client->SetTimings(t);
        report_waits_from_the_setting(*client);
        client->SetMaxWaitTime(5);
    }
    bool connect(const HUX_TradeSvrInfo& info, bool mix = false) {
        const size_t before = events.count_code(0);
        return client->ConnServer(&info, mix) && events.wait_code(0, before + 1);
    }
    bool logon(const char* password = "pw") {
        const size_t before = events.logons().size();
        return client->UserLogon("trader01", password, "app-x", "AUTH123") == 0 &&
               events.wait_logons(before + 1, kLogonWait);
    }
};

HUX_TradeSvrInfo make_info(uint16_t port) { return loopback_info(port, 5); }

hux_sim::sim_config base_config() {
    hux_sim::sim_config cfg;
    cfg.password = "pw";
    cfg.version_use_text = 1;
    cfg.version_text = "0123456789ABCDEF0123456789ABCDEF";
    cfg.user_id = 4321;
    return cfg;
}

// The logon request of "trader01"/"pw"/"app-x"/"AUTH123" with the terminal
// identifier taken from the answer as it is.
std::string golden_logon(const std::string& udp_port_hex) {
    return unhex("4600" "a800"                          // type 70, length 168
                 "00000000"                             // zero
                 "0f000000"                             // protocol version 15
                 "7472616465723031" + zeros_hex(25) +   // user id "trader01" in 33 bytes
                 "3846453443313134353132383143303934413635373845364444424635454544" "00"  // MD5 hex of "pw", NUL
                 "0000"                                 // zero
                 "41555448313233" + zeros_hex(11) +     // authorisation code "AUTH123" in 18 bytes
                 "6170702d78" + zeros_hex(25) +         // application id "app-x" in 30 bytes
                 udp_port_hex +                         // local UDP port at 128
                 "3031323334353637383941424344454630313233343536373839414243444546" "00"  // terminal id as sent
                 + zeros_hex(5));                       // zero
}

}  // namespace

// The logon sequence sends its requests byte for byte, stores what the
// answers carry and fetches every page of the symbol list, whether the
// server's answers arrive whole, one byte per write, or coalesced and cut
// across message boundaries.
TEST(TradeClientSession, LogonSendsExactRequestsAndFetchesEveryPage) {
    struct delivery {
        const char* name;
        size_t random_split_max;
        bool coalesce;
        std::vector<size_t> pieces;
    };
    const delivery deliveries[] = {
        {"whole", 0, false, {}},
        {"one byte per write", 1, false, {}},
        {"coalesced, cut inside messages", 0, true, {3, 61, 100, 7}},
    };
    for (const delivery& d : deliveries) {
        SCOPED_TRACE(d.name);
        hux_sim::sim_trade_server sim;
        hux_sim::sim_config cfg = base_config();
        cfg.server_value = 5;
        cfg.logon_value = 77;
        cfg.max_token = 1000;
        cfg.order_fc_count = 100;
        cfg.order_fc_window_us = 500000;
        cfg.cancel_fc_count = 50;
        cfg.cancel_fc_window_us = 400000;
        cfg.symbols = {{"IF2406", 1}, {"IF2407", 2}, {"IH2406", 3}, {"IH2407", 4}, {"IC2406", 5}};
        cfg.accounts = {{"acc-a", 7}, {"acc-b", 9}};
        cfg.random_split_max = d.random_split_max;
        cfg.coalesce = d.coalesce;
        cfg.split_pieces = d.pieces;
        ASSERT_TRUE(sim.set_config(cfg));
        session s;
        std::atomic<bool> last_symbol_known{false};
        s.events.on_logon = [&](CTradeClient* c) {
            int index = -1;
            last_symbol_known = c->FindSymbolIndex("IC2406", index);
        };
        HUX_TradeSvrInfo info = make_info(sim.port());
        info.symbol_idx_selector = 3;
        info.symbol_idx_page_size = 2;
        ASSERT_TRUE(s.connect(info));
        EXPECT_EQ(s.client->GetState(), 0);  // "conn ok" leaves the state alone
        ASSERT_TRUE(s.logon());

        logon_seen seen = s.events.logon(0);
        EXPECT_EQ(seen.rsp.result, 0);
        EXPECT_EQ(seen.rsp.server_value, 5);
        EXPECT_EQ(seen.rsp.user_id, 4321u);
        EXPECT_EQ(seen.rsp.logon_value, 77);
        EXPECT_EQ(seen.rsp.max_token, 1000);
        EXPECT_EQ(seen.rsp.order_fc_count, 100u);
        EXPECT_EQ(seen.rsp.order_fc_window_us, 500000u);
        EXPECT_EQ(seen.rsp.cancel_fc_count, 50u);
        EXPECT_EQ(seen.rsp.cancel_fc_window_us, 400000u);
        EXPECT_EQ(seen.sock, -1);  // no descriptor outside mixed-protocol mode
        EXPECT_TRUE(last_symbol_known);  // stored before the callback
        ASSERT_TRUE(wait_until([&] { return s.client->GetState() == 4; }, kSessionWait));
        EXPECT_TRUE(s.client->IsLogon());
        EXPECT_EQ(s.client->GetUserID(), 4321u);
        EXPECT_EQ(s.client->GetLogonValue(), 77);
        EXPECT_EQ(s.client->GetMaxToken(), 1000u);
        EXPECT_EQ(s.client->GetOrderFlowControl().window_us, 501000);
        EXPECT_EQ(s.client->GetOrderFlowControl().limit, 100);
        EXPECT_EQ(s.client->GetCancelFlowControl().window_us, 401000);
        EXPECT_EQ(s.client->GetCancelFlowControl().limit, 50);
        EXPECT_EQ(s.client->SymbolCount(), 5u);
        EXPECT_EQ(s.client->AccountCount(), 2u);
        int index = 0;
        EXPECT_TRUE(s.client->FindAccountIndex("acc-b", index));
        EXPECT_EQ(index, 9);
        EXPECT_TRUE(s.client->FindSymbolIndex("IH2407", index));
        EXPECT_EQ(index, 4);
        // The heart-beat setting answer, cut like the rest, granted 30 s.
        EXPECT_TRUE(wait_until([&] { return s.client->IsHeartBeatRunning(); }, kSessionWait));
        EXPECT_EQ(s.client->GetServerTimeout(), 30);
        EXPECT_EQ(s.events.codes(), std::vector<int>({0}));

        std::vector<uint16_t> types;
        for (const hux_sim::sim_message& m : sim.messages(0)) types.push_back(m.type);
        EXPECT_EQ(types, (std::vector<uint16_t>{80, 70, 62, 61, 90, 62, 62}));
        EXPECT_EQ(sim.last_message(0, 80), unhex("5000" "3000"                        // type 80, length 48
                                                 "00000000"                           // zero
                                                 "0f000000"                           // protocol version 15
                                                 "7472616465723031" + zeros_hex(25) +  // user id "trader01" in 33 bytes
                                                 zeros_hex(3)));                      // zero
        EXPECT_EQ(sim.last_message(0, 70), golden_logon("0000"));  // no order channel: port 0
        std::vector<hux_sim::sim_message> pages = sim.messages(0, 62);
        ASSERT_EQ(pages.size(), 3u);
        for (uint16_t page = 1; page <= 3; ++page) {
            EXPECT_EQ(pages[page - 1].bytes, unhex("3e00" "1000"                       // type 62, length 16
                                                   "0" + std::to_string(page) + "00"  // page number
                                                   "0200"                             // page size 2
                                                   "e1100000"                         // user id 4321
                                                   "03"                               // selector 3
                                                   "01"                               // always 1
                                                   "0000"));                          // zero
        }
        EXPECT_EQ(sim.last_message(0, 61), unhex("3d00" "1000"    // type 61, length 16
                                                 "00000000"       // zero
                                                 "e1100000"       // user id 4321
                                                 "00000000"));    // zero
        EXPECT_EQ(sim.last_message(0, 90), unhex("5a00" "1800"    // type 90, length 24
                                                 "00000000"       // zero
                                                 "e1100000"       // user id 4321
                                                 "05000000"       // interval 5 s
                                                 "01" + zeros_hex(7)));  // 1, zero
    }
}

TEST(TradeClientSession, UdpOrderChannelPortInLogonAndOrdersAsDatagrams) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(base_config()));
    ASSERT_TRUE(sim.open_udp(0));
    session s;
    HUX_TradeSvrInfo info = make_info(sim.port());
    strcpy(info.local_ip, "127.0.0.1");
    info.udp_port = sim.udp_port();
    info.local_udp_port = hux_test::free_loopback_port(SOCK_DGRAM);
    ASSERT_TRUE(s.connect(info, true));
    ASSERT_TRUE(s.logon());
    char port_hex[5];
    snprintf(port_hex, sizeof(port_hex), "%02x%02x", info.local_udp_port & 0xff, info.local_udp_port >> 8);
    EXPECT_EQ(sim.last_message(0, 70), golden_logon(port_hex));

    // Mixed protocol: the logon callback gets the order channel's socket.
    logon_seen seen = s.events.logon(0);
    EXPECT_EQ(seen.rsp.result, 0);
    sockaddr_in bound{};
    socklen_t len = sizeof(bound);
    ASSERT_EQ(getsockname(seen.sock, reinterpret_cast<sockaddr*>(&bound), &len), 0);
    EXPECT_EQ(ntohs(bound.sin_port), info.local_udp_port);

    std::string order = hux_sim::make_message(10, 100);
    EXPECT_EQ(s.client->SendMsgToHux("order", &order[0], 100, 1), 100);
    ASSERT_TRUE(sim.wait_for_datagrams(1, kSessionWait));
    EXPECT_EQ(sim.datagrams().at(0), order);
    EXPECT_EQ(sim.count(0, 10), 0u);  // not on TCP
}

TEST(TradeClientSession, Qv27ServerCompletesAtOnce) {
    hux_sim::sim_trade_server sim;
    hux_sim::sim_config cfg = base_config();
    cfg.server_edition = 6;
    cfg.symbols = {{"IF2406", 1}};
    ASSERT_TRUE(sim.set_config(cfg));
    session s;
    ASSERT_TRUE(s.connect(make_info(sim.port())));
    ASSERT_TRUE(s.logon());
    EXPECT_EQ(s.events.logon(0).rsp.result, 0);
    EXPECT_TRUE(s.client->IsQv27Version());
    ASSERT_TRUE(wait_until([&] { return s.client->GetState() == 4; }, kSessionWait));
    // Anything the logon sent went out before this marker.
    HUX_TRADE_WIRE::query_market_session marker;
    HUX_TRADE_WIRE::build_query_market_session(marker, 1);
    ASSERT_EQ(s.client->SendMsgToHux("marker", reinterpret_cast<char*>(&marker), sizeof(marker), 2), 16);
    ASSERT_TRUE(sim.wait_for_message(0, 84, 1, kSessionWait));
    EXPECT_EQ(sim.count(0, 62) + sim.count(0, 61) + sim.count(0, 90), 0u);
    EXPECT_FALSE(s.client->IsHeartBeatRunning());
}

TEST(TradeClientSession, RefusedLogonsReportTheirCause) {
    hux_sim::sim_trade_server sim;
    const int verdicts[] = {1, 2, 3, 7};
    const int results[] = {14, 1, 3, 14};
    for (size_t i = 0; i < 4; ++i) {
        hux_sim::sim_config cfg = base_config();
        cfg.version_verdict = static_cast<uint8_t>(verdicts[i]);
        ASSERT_TRUE(sim.set_config(cfg));
        session s;
        ASSERT_TRUE(s.connect(make_info(sim.port())));
        ASSERT_TRUE(s.logon());
        EXPECT_EQ(s.events.logon(0).rsp.result, results[i]) << "verdict " << verdicts[i];
        EXPECT_EQ(s.events.logon(0).sock, -1);
        HUX_TRADE_WIRE::query_market_session marker;
        HUX_TRADE_WIRE::build_query_market_session(marker, 1);
        s.client->SendMsgToHux("marker", reinterpret_cast<char*>(&marker), sizeof(marker), 2);
        const size_t conn = sim.wait_for_trade_connection(i, kSessionWait);
        ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);
        ASSERT_TRUE(sim.wait_for_message(conn, 84, 1, kSessionWait));
        EXPECT_EQ(sim.count(conn, 70), 0u);
        EXPECT_FALSE(s.client->IsLogon());
    }

    // A logon answer on a connection that sent no logon request: 99; a real
    // logon afterwards still succeeds. A wrong password gives the server's code.
    hux_sim::sim_config cfg = base_config();
    ASSERT_TRUE(sim.set_config(cfg));
    sim.set_silent(true);
    session s;
    ASSERT_TRUE(s.connect(make_info(sim.port())));
    // The four logons above each left a report connection behind their
    // trade connection: this is the ninth accepted.
    const size_t fifth = 8;
    ASSERT_TRUE(sim.wait_for_connection(fifth, kSessionWait));
    ASSERT_TRUE(sim.send_raw(fifth, hux_sim::sim_trade_server::logon_answer(cfg, 0)));
    ASSERT_TRUE(s.events.wait_logons(1));
    EXPECT_EQ(s.events.logon(0).rsp.result, 99);
    EXPECT_FALSE(s.client->IsLogon());
    sim.set_silent(false);
    ASSERT_TRUE(s.logon("wrong"));
    EXPECT_EQ(s.events.logon(1).rsp.result, 2);
    EXPECT_EQ(sim.trade_connection(4), fifth);
    ASSERT_TRUE(s.logon());
    EXPECT_EQ(s.events.logon(2).rsp.result, 0);
}

// Before the logon: an order answer (with an absurd length field), an
// execution and an order action answer are each consumed by their type's
// length, unhandled, and logged by name; an account entry is handled.
TEST(TradeClientSession, DispatcherConsumesByTypeAndLogs) {
    scratch_dir dir;
    session s;
    s.client->SetLogDir(dir.path().c_str());
    s.client->SetLoggerSwitch(true);
    hux_sim::sim_config cfg = base_config();
    std::string buf = hux_sim::make_message(1010, 120, 0xffff) + hux_sim::sim_trade_server::version_answer(cfg);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(buf.data());
    EXPECT_EQ(s.client->ProcReceiveMsg(p, 119), 0);    // incomplete order answer waits
    EXPECT_EQ(s.client->ProcReceiveMsg(p, 176), 120);  // before logon: consumed unhandled
    EXPECT_TRUE(s.events.logons().empty());
    // Accepted version, but the logon request cannot go out (not connected): 15.
    EXPECT_EQ(s.client->ProcReceiveMsg(p + 120, 56), 56);
    ASSERT_EQ(s.events.logons().size(), 1u);
    EXPECT_EQ(s.events.logon(0).rsp.result, 15);
    EXPECT_EQ(s.client->GetState(), 1);
    EXPECT_EQ(s.client->ProcReceiveMsg(p, 1), 0);
    EXPECT_EQ(feed(*s.client, hux_sim::make_message(1014, 136, 4)), 136);
    EXPECT_EQ(feed(*s.client, hux_sim::make_message(1011, 64, 0)), 64);
    EXPECT_EQ(feed(*s.client, account_entry("PRE001", 41)), 40);
    EXPECT_TRUE(has_account(*s.client, "PRE001", 41));
    std::string unknown = hux_sim::make_message(999, 10) + "xy";
    p = reinterpret_cast<const unsigned char*>(unknown.data());
    EXPECT_EQ(s.client->ProcReceiveMsg(p, 12), 10);  // skipped by its length field
    // An implausible length field (above the longest message, or below the
    // header) drops everything buffered, the entry behind it too.
    EXPECT_EQ(feed(*s.client, hux_sim::make_message(999, 8, 60000) + account_entry("LOST01", 42)), 48);
    EXPECT_EQ(feed(*s.client, hux_sim::make_message(999, 8, 2) + account_entry("LOST02", 43)), 48);
    EXPECT_FALSE(has_account(*s.client, "LOST01", 42));
    EXPECT_FALSE(has_account(*s.client, "LOST02", 43));
    std::string beat = hux_sim::make_message(1200, 16);
    EXPECT_EQ(s.client->ProcReceiveMsg(reinterpret_cast<const unsigned char*>(beat.data()), 16), 16);

    char order[100] = {10, 0, 100, 0};
    EXPECT_EQ(s.client->SendMsgToHux("order", order, 100, 3), -1);
    EXPECT_EQ(s.client->SendMsgToHux("order", order, 100, 1), -1);
    const std::string log_path = text_log_path(dir.path());
    EXPECT_EQ(count_lines(log_path, "proc invalid ostrel_client_order_insert_resp "), 1u);
    EXPECT_EQ(count_lines(log_path, "proc invalid order_execution_received"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc invalid ostrel_client_order_action_resp"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc query_account_idx_resp"), 1u);
    EXPECT_EQ(count_lines(log_path, "proc ostrel_client_order_insert_resp"), 0u);
    const std::string log = read_file(log_path);
    EXPECT_NE(log.find("proc report_version_resp "), std::string::npos);
    EXPECT_NE(log.find("process message type:[1010] cost:["), std::string::npos);
    EXPECT_NE(log.find("error msg type receive unknown msg type: 999, len is 12"), std::string::npos);
    EXPECT_NE(log.find("error msg type receive unknown msg type: 999, len is 48"), std::string::npos);
    EXPECT_EQ(occurrences(log, "send_error tcp client disconn."), 3u);  // the logon request and two orders
    std::string bin = read_file(bin_log_path(dir.path()));
    EXPECT_NE(bin.find("00120 1 " + buf.substr(0, 120) + "\n"), std::string::npos);
}

TEST(TradeClientSession, ConnServerFailuresAndSuccessLines) {
    scratch_dir dir;
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(base_config()));
    session s;
    s.client->SetLogDir(dir.path().c_str());
    EXPECT_FALSE(s.client->ConnServer(nullptr, false));

    HUX_TradeSvrInfo info = make_info(sim.port());
    strcpy(info.local_ip, "127.0.0.1");
    info.local_udp_port = hux_test::free_loopback_port(SOCK_DGRAM);
    info.udp_port = sim.port();
    EXPECT_FALSE(s.client->ConnServer(&info, false));

    int busy = socket(AF_INET, SOCK_DGRAM, 0);  // holds a UDP port
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t alen = sizeof(a);
    ASSERT_EQ(bind(busy, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    getsockname(busy, reinterpret_cast<sockaddr*>(&a), &alen);
    info.local_udp_port = ntohs(a.sin_port);
    info.udp_port = 9;
    EXPECT_FALSE(s.client->ConnServer(&info, false));
    close(busy);

    HUX_TradeSvrInfo refused = make_info(hux_test::free_loopback_port(SOCK_STREAM));
    EXPECT_FALSE(s.client->ConnServer(&refused, false));
    EXPECT_FALSE(s.client->IsConnect());
    HUX_TradeSvrInfo bad = make_info(sim.port());
    strcpy(bad.server_ip, "300.1.2.3");
    EXPECT_FALSE(s.client->ConnServer(&bad, false));
    memset(bad.server_ip, '1', sizeof(bad.server_ip));  // no NUL in the field
    EXPECT_FALSE(s.client->ConnServer(&bad, false));
    EXPECT_TRUE(s.client->DisConnServer());
    EXPECT_TRUE(s.events.codes().empty());  // nothing was ever connected

    // Success, twice: the second connect replaces the live connection.
    HUX_TradeSvrInfo good = make_info(sim.port());
    ASSERT_TRUE(s.connect(good));
    ASSERT_TRUE(s.connect(good));
    EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 3, 0}));
    EXPECT_EQ(s.events.texts()[1], "local disconnected");
    EXPECT_EQ(__atomic_load_n(&g_handle_sig, __ATOMIC_RELAXED), 0);
    raise(SIGINT);  // exit_on_signal 0: the handler prints and returns

    const std::string p = std::to_string(sim.port());
    const std::string u = std::to_string(info.local_udp_port);
    std::string log = read_file(text_log_path(dir.path()));
    EXPECT_NE(log.find("info invalid trade port params.udp trade port " + p + ", cannot be same as trade tcp port:" +
                       p + "."),
              std::string::npos);
    EXPECT_NE(log.find("info udp init failed. remote ip,port[127.0.0.1, 9], local ip,port[127.0.0.1, " + u + "]"),
              std::string::npos);
    EXPECT_NE(log.find("info open trade servr 127.0.0.1:" + std::to_string(refused.tcp_port) + " failed."),
              std::string::npos);
    EXPECT_EQ(occurrences(log, "info open trade servr 127.0.0.1:" + p + " successed."), 2u);
    EXPECT_EQ(occurrences(log, "info sigaction() regsiter SIGINT success."), 1u);
    // Written by every attempt until the first success.
    EXPECT_EQ(occurrences(log, "info create trade conn"), 6u);
    EXPECT_EQ(occurrences(log, "info close trade client"), 1u);
}

TEST(TradeClientSession, SetLogDirRules) {
    scratch_dir scratch;
    const std::string dir = scratch.path() + "/logs";
    mode_t old_mask = umask(022);
    session s;
    s.client->SetLogDir(dir.c_str());
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(stat(text_log_path(dir).c_str(), &st), 0);

    // Refused: a dot, a blank, an empty or null text. The logs stay where they are.
    s.client->SetLogDir("./h11_dotted");
    s.client->SetLogDir((dir + "_x y").c_str());
    s.client->SetLogDir("");
    s.client->SetLogDir(nullptr);
    EXPECT_NE(stat("./h11_dotted", &st), 0);
    EXPECT_NE(stat((dir + "_x y").c_str(), &st), 0);
    HUX_TradeSvrInfo refused = make_info(hux_test::free_loopback_port(SOCK_STREAM));
    EXPECT_FALSE(s.client->ConnServer(&refused, false));
    EXPECT_NE(read_file(text_log_path(dir)).find("open trade servr 127.0.0.1:" + std::to_string(refused.tcp_port)),
              std::string::npos);

    // A directory where no file can be made: the logs stay where they are,
    // with one line there saying why.
    s.client->SetLogDir("/proc");
    EXPECT_NE(stat(text_log_path("/proc").c_str(), &st), 0);
    EXPECT_EQ(count_lines(text_log_path(dir), ("info log dir refused: cannot open " + text_log_path("/proc")).c_str()),
              1u);

    // Names of up to 511 characters: two files of their own. One character
    // more would cut both names (a 499-character directory made one file
    // "tavlog_2026" of them): the directory is refused, the logs stay.
    const size_t name_len = text_log_path("").size() - 1;  // "/tavlog_DATE.log" less its slash
    std::string deep = dir + "/" + std::string(200, 'a');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    deep += "/" + std::string(200, 'b');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
    const std::string longest = deep + "/" + std::string(511 - name_len - 1 - deep.size() - 1, 'c');
    ASSERT_EQ(text_log_path(longest).size(), 511u);
    s.client->SetLogDir((longest + "d").c_str());
    EXPECT_NE(stat((longest + "d").c_str(), &st), 0);
    EXPECT_EQ(count_lines(text_log_path(dir), "info log dir refused: the log names would be longer than 511 characters."),
              1u);
    s.client->SetLogDir(longest.c_str());
    EXPECT_EQ(stat(text_log_path(longest).c_str(), &st), 0);
    EXPECT_EQ(stat(bin_log_path(longest).c_str(), &st), 0);
    EXPECT_FALSE(s.client->ConnServer(&refused, false));
    EXPECT_EQ(count_lines(text_log_path(longest), "open trade servr"), 1u);
    // The earlier logs took every line until the move, none after it.
    EXPECT_EQ(count_lines(text_log_path(dir), "open trade servr"), 1u);
    s.client.reset();
    umask(old_mask);
}

TEST(TradeClientSession, DisConnServerInsideTheConnectionCallback) {
    for (bool async : {false, true}) {
        hux_sim::sim_trade_server sim;
        ASSERT_TRUE(sim.set_config(base_config()));
        // Armed for the first connect only; the handler stays set, since the
        // closing report may still be reading it on the client's thread (and
        // the flag outlives the session).
        std::atomic<bool> armed{true};
        session s;
        if (async) s.client->SetAsyncReceiveMode();
        s.events.on_code = [&armed](CTradeClient* c, int code) {
            if (code == 0 && armed.exchange(false)) c->DisConnServer();
        };
        HUX_TradeSvrInfo info = make_info(sim.port());
        ASSERT_TRUE(s.client->ConnServer(&info, false));
        ASSERT_TRUE(s.events.wait_codes(2)) << "async " << async;
        EXPECT_EQ(s.events.codes(), (std::vector<int>{0, 3})) << "async " << async;
        EXPECT_TRUE(sim.transport().wait_peer_closed(0, kSessionWait));
        EXPECT_FALSE(s.client->IsConnect());
        EXPECT_EQ(s.client->GetState(), 2);
        ASSERT_TRUE(s.connect(info));  // frees the closed client from this thread
        ASSERT_TRUE(s.logon());
        EXPECT_EQ(s.events.logon(0).rsp.result, 0);
    }
}

// A symbol list that fills its last page exactly ends with a marked message
// that carries no symbol: no empty name is stored, every real one is.
TEST(TradeClientSession, ExactlyFullLastPageStoresNoEmptySymbol) {
    hux_sim::sim_trade_server sim;
    hux_sim::sim_config cfg = base_config();
    cfg.symbols = {{"IF2406", 1}, {"IF2407", 2}, {"IF2408", 3}, {"IF2409", 4}};
    ASSERT_TRUE(sim.set_config(cfg));
    session s;
    HUX_TradeSvrInfo info = make_info(sim.port());
    info.symbol_idx_page_size = 2;
    ASSERT_TRUE(s.connect(info));
    ASSERT_TRUE(s.logon());
    EXPECT_EQ(s.events.logon(0).rsp.result, 0);
    ASSERT_TRUE(wait_until([&] { return s.client->GetState() == 4; }, kSessionWait));
    EXPECT_EQ(sim.count(0, 62), 3u);  // pages 1 and 2 are full: page 3 is asked for and is empty
    int index = -1;
    EXPECT_FALSE(s.client->FindSymbolIndex("", index));
    EXPECT_TRUE(s.client->FindSymbolIndex("IF2409", index));
    EXPECT_EQ(index, 4);
}

// A disconnect of an idle session, in each TCP client form and with epoll
// waits far longer than the test waits: the event thread is woken by the
// stop, so the disconnect does not wait for the end of the thread's wait
// (before, it waited for that or for the close's poll of the thread, which
// is as long here) and leaves no thread behind.
TEST(TradeClientSession, DisconnectOfAnIdleSessionIsQuickInEveryForm) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(base_config()));
    enum tcp_form { EPOLL, BLOCKING, ASYNC };
    const int deadline_ms = static_cast<int>(kSessionWait.count());
    size_t connections = 0;
    for (tcp_form form : {EPOLL, BLOCKING, ASYNC}) {
        for (int wait_ms : {2 * deadline_ms, 4 * deadline_ms, 6 * deadline_ms}) {
            SCOPED_TRACE(testing::Message() << "form " << form << ", wait " << wait_ms << " ms");
            const size_t threads = hux_test::thread_count();
            session_events events;
            void* h = MVHUX_CreateTrade(&events);
            CTradeClient& client = *static_cast<CTradeClient*>(h);
            events.attach(client);
            HUX_TRADE::TradeClientTimings t = client.GetTimings();
            t.tcp_stop_wait_ms = static_cast<unsigned>(wait_ms);
            client.SetTimings(t);
            if (form == ASYNC) {
                ASSERT_EQ(MVHUX_SetAsyncReceiveMode(h), 0);
            }
            ASSERT_EQ(MVHUX_SetMaxWaitTime(h, wait_ms), 0);
            HUX_TradeSvrInfo info = loopback_info(sim.port());
            info.blocking_tcp = form == BLOCKING ? 1 : 0;
            ASSERT_EQ(MVHUX_ConnServer(h, &info, false), 0);
            ASSERT_TRUE(events.wait_code(0, 1));
            ASSERT_TRUE(sim.wait_for_connection(connections, kSessionWait));

            // Waited for with the test's deadline, half the shortest wait
            // above at most; the future's end joins the disconnect.
            std::future<int> disconnect = std::async(std::launch::async, [h] { return MVHUX_DisConnServer(h); });
            ASSERT_EQ(disconnect.wait_for(kSessionWait), std::future_status::ready)
                << "the disconnect waits for the event thread";
            EXPECT_EQ(disconnect.get(), 0);
            EXPECT_TRUE(sim.transport().wait_peer_closed(connections, kSessionWait));
            EXPECT_EQ(events.count_code(3), 1u);  // "local disconnected", once
            EXPECT_EQ(MVHUX_DestroyTrade(h), 0);
            EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() <= threads; }, kSessionWait));
            ++connections;
        }
    }
}

// Set-up shared by the trade session's programs in the namespace pair: the
// simulated server listening in the peer namespace on the peer's address
// (TCP and UDP), a C-interface handle connected from the client end, the
// driver the preloaded driver shim gives the client's end, order round trips
// and the plug-in files this process has mapped.
#ifndef HUX_TESTS_BYPASS_SESSION_BYPASS_SUPPORT_H
#define HUX_TESTS_BYPASS_SESSION_BYPASS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "tests/support/netns_pair.h"
#include "tests/support/session_support.h"

namespace bypass_test {

using hux_test::CLIENT_IP;
using hux_test::PEER_IP;
using HUX_TRADE::CTradeClient;
using trade_test::session_events;

// The driver the shim gives the client's end ("" = none: the veth's own).
inline void name_driver(const char* driver) {
    const std::string value = *driver ? hux_test::netns().client_if + "=" + driver : std::string();
    setenv("HUX_DRIVER_SHIM", value.c_str(), 1);
}

// Client tokens of every order accept, over all sessions.
inline std::vector<uint32_t> g_accepted_tokens;
inline std::mutex g_accepted_lock;

inline void on_accept(void*, HUX_OrderAcceptField* rec) {
    std::lock_guard<std::mutex> guard(g_accepted_lock);
    g_accepted_tokens.push_back(rec->client_token);
}

inline size_t accepted() {
    std::lock_guard<std::mutex> guard(g_accepted_lock);
    return g_accepted_tokens.size();
}

inline std::vector<uint32_t> accepted_tokens() {
    std::lock_guard<std::mutex> guard(g_accepted_lock);
    return g_accepted_tokens;
}

inline hux_sim::sim_config accepting(uint32_t fc_count = 1000000) {
    hux_sim::sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    cfg.order_answer = hux_sim::order_mode::accept;
    cfg.order_fc_count = fc_count;
    cfg.order_fc_window_us = 10000000;  // 10 s: one window for a whole test
    cfg.cancel_fc_count = 1000000;
    cfg.cancel_fc_window_us = 1000000;
    return cfg;
}

// The simulated server in the peer namespace, listening on the peer's address.
struct peer_server {
    std::unique_ptr<hux_sim::sim_trade_server> sim;
    explicit peer_server(const hux_sim::sim_config& cfg) {
        hux_test::in_peer([&] {
            sim.reset(new hux_sim::sim_trade_server(0, PEER_IP));
            sim->open_udp(0);
        });
        EXPECT_TRUE(sim->listening());
        EXPECT_NE(sim->udp_port(), 0);
        EXPECT_TRUE(sim->set_config(cfg));
    }
};

// One handle of the C interface connected from the client end.
struct bypass_session {
    session_events events;
    void* h;
    explicit bypass_session() : h(MVHUX_CreateTrade(&events)) {
        trade_test::shorten_closes(*client());
        trade_test::report_waits_from_the_setting(*client());
        events.attach(*client());
        MVHUX_SetOrderAcceptEvent(h, on_accept);
    }
    ~bypass_session() { MVHUX_DestroyTrade(h); }
    CTradeClient* client() { return static_cast<CTradeClient*>(h); }

    static HUX_TradeSvrInfo record(const peer_server& srv, uint16_t local_udp_port, bool keep_timestamps) {
        HUX_TradeSvrInfo info = trade_test::loopback_info(srv.sim->port());
        std::memset(info.server_ip, 0, sizeof(info.server_ip));
        std::strcpy(info.server_ip, PEER_IP);
        std::strcpy(info.local_ip, CLIENT_IP);
        info.udp_port = srv.sim->udp_port();
        info.local_udp_port = local_udp_port;
        info.kernel_bypass = 1;
        info.keep_timestamps = keep_timestamps ? 1 : 0;
        return info;
    }
    // Connects and logs on; false with a failure recorded.
    bool logon(const HUX_TradeSvrInfo& info, bool mix = false) {
        const size_t before = events.count_code(0);
        if (MVHUX_ConnServer(h, const_cast<HUX_TradeSvrInfo*>(&info), mix) != HUX_RESULT_OK) {
            ADD_FAILURE() << "connect failed";
            return false;
        }
        if (!events.wait_code(0, before + 1)) {
            ADD_FAILURE() << "no conn ok";
            return false;
        }
        return logon_only();
    }
    // Logs on over the connection there is; false with a failure recorded.
    bool logon_only() {
        const size_t logons = events.logons().size();
        if (MVHUX_UserLogon(h, "trader01", "pw", "app-x", "AUTH123") != HUX_RESULT_OK ||
            !events.wait_logons(logons + 1, trade_test::kLogonWait) || events.logons().back().rsp.result != 0) {
            ADD_FAILURE() << "logon failed";
            return false;
        }
        return true;
    }
};

inline HUX_EnterOrderField order(uint32_t token) {
    HUX_EnterOrderField o = trade_test::order_req(token);
    o.quantity = 3;
    o.price = 12.3456;
    return o;
}

// Sends one order and waits for its accept; the datagram the server got.
inline std::string order_round_trip(bypass_session& s, peer_server& srv, uint32_t token) {
    const size_t datagrams = srv.sim->datagrams().size();
    const size_t accepts = accepted();
    HUX_EnterOrderField o = order(token);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_OK);
    EXPECT_TRUE(srv.sim->wait_for_datagrams(datagrams + 1, trade_test::kSessionWait));
    EXPECT_TRUE(hux_test::wait_until([&] { return accepted() > accepts; }, trade_test::kSessionWait))
        << "no accept for token " << token;
    const std::vector<std::string> all = srv.sim->datagrams();
    return all.size() > datagrams ? all[datagrams] : std::string();
}

inline void fill_neighbour() {
    // The ExaNIC sender sends no ARP request: the peer must be known.
    ASSERT_EQ(std::system("ping -c 1 -W 2 10.77.0.2 >/dev/null 2>&1"), 0);
}

// Both stand-ins reset, the ExaNIC one on the client's interface, and the
// peer known: every order channel can open.
inline void ready_every_channel() {
    hux_standin_efvi_reset();
    hux_standin_exanic_reset();
    hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
    fill_neighbour();
}

// The plug-in files (removed, so "(deleted)") this process has mapped.
inline int plugin_mappings() {
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return -1;
    char line[1024];
    std::set<std::string> files;
    while (std::fgets(line, sizeof line, maps)) {
        const char* at = std::strstr(line, "/tmp/libdirectsock_so_");
        if (at && std::strstr(line, "(deleted)")) files.insert(at);
    }
    std::fclose(maps);
    return static_cast<int>(files.size());
}

// A record for TCP through the TCPDirect plug-in, orders over UDP.
inline HUX_TradeSvrInfo direct_record(const peer_server& srv, uint16_t local_udp_port, bool keep_timestamps = false) {
    HUX_TradeSvrInfo info = bypass_session::record(srv, local_udp_port, keep_timestamps);
    info.tcp_direct = 1;
    return info;
}

}  // namespace bypass_test

#endif

// The demo: a trade session connects to a HUX trading server, logs on, reads
// its account and symbol index tables, sends a few heart-beats and logs off.
// Without --server it starts the bundled simulated server in-process.
//
//   hux-demo [--server IP:PORT] [--user ID] [--password PW]
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "sim/sim_trade_server.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"

namespace {

struct demo_events {
    std::mutex m;
    std::condition_variable cv;
    bool connected = false;
    bool logon_done = false;
    HUX_LogonResponse logon{};
};
demo_events g_events;

void on_connection(void*, int code, const char* text) {
    printf("connection event: %d %s\n", code, text ? text : "");
    std::lock_guard<std::mutex> g(g_events.m);
    if (code == 0) g_events.connected = true;
    g_events.cv.notify_all();
}

void on_logon(void*, HUX_LogonResponse* rsp, int) {
    std::lock_guard<std::mutex> g(g_events.m);
    g_events.logon = *rsp;
    g_events.logon_done = true;
    g_events.cv.notify_all();
}

template <class PRED>
bool wait_for(PRED pred, int seconds) {
    std::unique_lock<std::mutex> lk(g_events.m);
    return g_events.cv.wait_for(lk, std::chrono::seconds(seconds), pred);
}

}  // namespace

int main(int argc, char** argv) {
    std::string server = "";
    std::string user = "demo_user";
    std::string password = "demo_pass";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--server")) server = argv[i + 1];
        else if (!strcmp(argv[i], "--user")) user = argv[i + 1];
        else if (!strcmp(argv[i], "--password")) password = argv[i + 1];
        else {
            fprintf(stderr, "usage: %s [--server IP:PORT] [--user ID] [--password PW]\n", argv[0]);
            return 2;
        }
    }

    std::unique_ptr<hux_sim::sim_trade_server> sim;
    std::string ip = "127.0.0.1";
    unsigned port = 0;
    if (server.empty()) {
        sim.reset(new hux_sim::sim_trade_server());
        hux_sim::sim_config cfg;
        cfg.password = password;
        cfg.user_id = 4242;
        cfg.max_token = 1000;
        cfg.order_fc_count = 100;
        cfg.order_fc_window_us = 500000;
        cfg.cancel_fc_count = 100;
        cfg.cancel_fc_window_us = 500000;
        cfg.heart_beat_timeout = 10;
        cfg.symbols = {{"HXF2612", 1}, {"HXF2703", 2}, {"HXO2612C4000", 3}};
        cfg.accounts = {{"ACC001", 1}, {"ACC002", 2}};
        if (!sim->listening() || !sim->set_config(cfg)) {
            fprintf(stderr, "cannot start the simulated server\n");
            return 1;
        }
        port = sim->port();
        printf("simulated trade server on 127.0.0.1:%u\n", port);
    } else {
        size_t colon = server.rfind(':');
        if (colon == std::string::npos) {
            fprintf(stderr, "--server takes IP:PORT\n");
            return 2;
        }
        ip = server.substr(0, colon);
        port = static_cast<unsigned>(atoi(server.c_str() + colon + 1));
    }

    HUX_TRADE::CTradeClient session(nullptr);
    session.SetConnectionEvent(on_connection);
    session.SetUserLogonEvent(on_logon);

    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    snprintf(info.server_ip, sizeof(info.server_ip), "%s", ip.c_str());
    info.tcp_port = static_cast<uint16_t>(port);
    info.heartbeat_interval = 1;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 2;
    if (!session.ConnServer(&info, false)) {
        fprintf(stderr, "connect to %s:%u failed\n", ip.c_str(), port);
        return 1;
    }
    if (!wait_for([] { return g_events.connected; }, 5)) {
        fprintf(stderr, "no connection event\n");
        return 1;
    }
    int rc = session.UserLogon(user.c_str(), password.c_str(), "hux-demo-app", "DEMOAUTH0001");
    if (rc != 0 || !wait_for([] { return g_events.logon_done; }, 10)) {
        fprintf(stderr, "logon not sent or not answered (code %d)\n", rc);
        return 1;
    }
    HUX_LogonResponse r;
    {
        std::lock_guard<std::mutex> g(g_events.m);
        r = g_events.logon;
    }
    printf("logon result %d: user id %u, max token %d, order limit %u per %u us, cancel limit %u per %u us\n",
           r.result, r.user_id, r.max_token, r.order_fc_count, r.order_fc_window_us, r.cancel_fc_count,
           r.cancel_fc_window_us);
    if (r.result != 0) return 1;
    for (const char* name : {"HXF2612", "HXF2703", "HXO2612C4000"}) {
        int index = -1;
        printf("symbol %-14s index %d\n", name, session.FindSymbolIndex(name, index) ? index : -1);
    }
    for (const char* name : {"ACC001", "ACC002"}) {
        int index = -1;
        printf("account %-13s index %d\n", name, session.FindAccountIndex(name, index) ? index : -1);
    }
    if (sim) {
        // Two heart-beats, one a second, while logged on.
        bool beats = sim->wait_for_message(0, hux_sim::msg_heart_beat, 2, std::chrono::seconds(5));
        printf("heart-beats received by the server: %zu\n", sim->count(0, hux_sim::msg_heart_beat));
        if (!beats) return 1;
    }
    session.StopAndDisConnServer();
    printf("logged off; state %d\n", session.GetState());
    return 0;
}

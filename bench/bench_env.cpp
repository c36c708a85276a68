// Shared set-up of the benchmarks: the simulated server's settings, the
// connection record, the logon of a session and the accept handoff.
#include "bench/bench_env.h"

#include <immintrin.h>

#include <cmath>
#include <cstring>

#include "trade/TradeClient.h"

namespace hux_bench {

namespace {

const std::chrono::seconds SET_UP_WAIT(10);

std::atomic<int> g_quiet_logon_result{-1};

void on_quiet_logon(void*, HUX_LogonResponse* rsp, int) { g_quiet_logon_result = rsp->result; }

}  // namespace

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[rank == 0 ? 0 : rank - 1];
}

hux_sim::sim_config bench_sim_config() {
    hux_sim::sim_config cfg;
    cfg.password = LOGON_PASSWORD;
    cfg.user_id = 1001;
    cfg.order_answer = hux_sim::order_mode::accept;
    // All four must be non-zero, or the session falls back to 295 per second.
    cfg.order_fc_count = 1000000000;
    cfg.order_fc_window_us = 1000000;
    cfg.cancel_fc_count = 1000000000;
    cfg.cancel_fc_window_us = 1000000;
    cfg.symbols = {{"IF2409", 1}};
    cfg.accounts = {{"ACC1", 0}};
    return cfg;
}

HUX_TradeSvrInfo bench_server_info(uint16_t port) {
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    memcpy(info.server_ip, "127.0.0.1", 10);
    info.tcp_port = port;
    info.heartbeat_interval = 0;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 100;
    return info;
}

bool logon_quiet_session(hux_sim::sim_trade_server& sim, HUX_TRADE::CTradeClient& client, std::string* why) {
    if (!sim.listening() || !sim.set_config(bench_sim_config())) {
        *why = "the simulated server did not start";
        return false;
    }
    HUX_TRADE::TradeClientTimings timings;
    timings.close_pause_ms = 1;
    client.SetTimings(timings);
    g_quiet_logon_result = -1;
    client.SetUserLogonEvent(on_quiet_logon);
    const HUX_TradeSvrInfo info = bench_server_info(sim.port());
    if (!client.ConnServer(&info, false)) {
        *why = "connect failed";
        return false;
    }
    if (!hux_test::wait_until([&] { return client.IsConnect(); }, SET_UP_WAIT)) {
        *why = "no connection";
        return false;
    }
    if (client.UserLogon(LOGON_USER, LOGON_PASSWORD, LOGON_APP, LOGON_AUTH) != 0) {
        *why = "logon not sent";
        return false;
    }
    if (!hux_test::wait_until([] { return g_quiet_logon_result != -1; }, SET_UP_WAIT) ||
        g_quiet_logon_result != 0 || !client.IsLogon()) {
        *why = "logon failed";
        return false;
    }
    return true;
}

bool accept_handoff::wait_for(uint64_t count, std::chrono::steady_clock::time_point deadline) const {
    unsigned spins = 0;
    while (m_count.load(std::memory_order_acquire) < count) {
        _mm_pause();
        // Read the clock only now and then: the wait itself is what is timed.
        if (++spins % 4096 == 0 && std::chrono::steady_clock::now() > deadline) return false;
    }
    return true;
}

}  // namespace hux_bench

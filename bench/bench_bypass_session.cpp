// The order round trip of the trade session over each kernel-bypass channel,
// beside the same session over the kernel transport, on the veth pair between
// two network namespaces that main() enters (root only; without it the rows
// are skipped with the reason):
// - R6: orders through the ef_vi sender (CTPIO) against the kernel's UDP
//   order channel;
// - R7: orders through the ExaNIC sender against the kernel's UDP order
//   channel;
// - R8: orders over TCP through the TCPDirect plug-in (no UDP order channel)
//   against the epoll TCP client.
// One simulated server listens in the peer namespace on the peer's address
// (TCP and UDP) for the whole run; each repetition logs two sessions on to it
// (the bypass one and its baseline, with different local UDP ports), times
// MVHUX_EnterOrder -> server -> accept callback -> the waiting thread for
// both in turn, and disconnects them. Answers always come back over the
// session's TCP connection. The driver shim (preloaded by main) makes the
// client's end report the card's driver while the bypass session connects.
//
// The stand-ins ride on the kernel: the ef_vi and ExaNIC ones put each frame
// on the veth with a sendto on an AF_PACKET socket, the TCPDirect one is a
// kernel TCP socket. The ratios are therefore what the bypass paths add on
// top of the kernel, not what a card would gain. They set the stand-ins up,
// so they are built only over them (HUX_BYPASS_STANDINS=ON); otherwise the
// rows are not measured.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_env.h"

#ifdef HUX_BENCH_STANDINS

#include "bypass/standin/hux_standin.h"
#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "tests/support/netns_pair.h"
#include "trade/TradeClient.h"

namespace hux_bench {

namespace {

using clock_type = std::chrono::steady_clock;

const int64_t ROUND_TRIPS = 20000;  // per repetition and side: p99.9 is then the 20th-worst
const int ROUND_TRIP_WARM_UP = 500;
const std::chrono::seconds ANSWER_WAIT(5);
const std::chrono::seconds SET_UP_WAIT(10);

// Driver types as the session reports them.
const int DRIVER_EF_VI = 0;
const int DRIVER_EXANIC = 1;
const int DRIVER_KERNEL = 2;

double ns_between(clock_type::time_point from, clock_type::time_point to) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
}

// The simulated server in the peer namespace, listening on the peer's
// address, made at the first of these benchmarks and kept to the end.
struct peer_env {
    std::unique_ptr<hux_sim::sim_trade_server> sim;
    bool ready = false;
    std::string error;

    peer_env() {
        if (!hux_test::netns_ready()) {
            error = "no network namespaces (needs root): " + hux_test::netns_missing();
            return;
        }
        hux_test::in_peer([this] {
            sim.reset(new hux_sim::sim_trade_server(0, hux_test::PEER_IP));
            sim->open_udp(0);
        });
        if (!sim->listening() || sim->udp_port() == 0 || !sim->set_config(bench_sim_config())) {
            error = "the simulated server did not start in the peer namespace";
            return;
        }
        // The ExaNIC sender sends no ARP request: the peer must be known.
        const std::string ping = std::string("ping -c 1 -W 2 ") + hux_test::PEER_IP + " >/dev/null 2>&1";
        if (std::system(ping.c_str()) != 0) {
            error = "the peer did not answer a ping";
            return;
        }
        ready = true;
    }
};

std::unique_ptr<peer_env> g_peer;

peer_env* peer(benchmark::State& state) {
    if (!g_peer) g_peer.reset(new peer_env);
    if (!g_peer->ready) {
        state.SkipWithError(g_peer->error.c_str());
        return nullptr;
    }
    return g_peer.get();
}

// How one session of a pair reaches the server.
struct channel {
    const char* driver;       // what the shim reports for the client's end; "" = the veth's own
    bool kernel_bypass;       // the record's kernel_bypass
    bool tcp_direct;          // the record's tcp_direct
    uint16_t local_udp_port;  // 0 = no UDP order channel (orders over TCP)
};

// One session of the C interface, logged on to the peer's server.
struct session {
    void* handle = nullptr;
    accept_handoff accepts;
    std::atomic<bool> connected{false};
    std::atomic<int> logon_result{-1};
    uint32_t next_token = 0;
    std::string error;

    ~session() {
        if (handle) {
            MVHUX_DisConnServer(handle);
            MVHUX_DestroyTrade(handle);
        }
    }
    HUX_TRADE::CTradeClient* client() const { return static_cast<HUX_TRADE::CTradeClient*>(handle); }
    bool logon(const hux_sim::sim_trade_server& sim, const channel& how);
};

session* owner(void* handle) {
    return static_cast<session*>(static_cast<HUX_TRADE::CTradeClient*>(handle)->GetUserParam());
}
void on_connection(void* handle, int code, const char*) {
    if (code == 0) owner(handle)->connected = true;
}
void on_logon(void* handle, HUX_LogonResponse* rsp, int) { owner(handle)->logon_result = rsp->result; }
void on_accept(void* handle, HUX_OrderAcceptField*) { owner(handle)->accepts.publish(); }

bool session::logon(const hux_sim::sim_trade_server& sim, const channel& how) {
    const std::string shim = *how.driver ? hux_test::netns().client_if + "=" + how.driver : std::string();
    setenv("HUX_DRIVER_SHIM", shim.c_str(), 1);
    handle = MVHUX_CreateTrade(this);
    HUX_TRADE::TradeClientTimings timings;
    timings.close_pause_ms = 1;
    client()->SetTimings(timings);
    MVHUX_SetConnectionEvent(handle, on_connection);
    MVHUX_SetUserLogonEvent(handle, on_logon);
    MVHUX_SetOrderAcceptEvent(handle, on_accept);

    HUX_TradeSvrInfo info = bench_server_info(sim.port());
    memset(info.server_ip, 0, sizeof(info.server_ip));
    strcpy(info.server_ip, hux_test::PEER_IP);
    strcpy(info.local_ip, hux_test::CLIENT_IP);
    info.udp_port = how.local_udp_port ? sim.udp_port() : 0;
    info.local_udp_port = how.local_udp_port;
    info.kernel_bypass = how.kernel_bypass ? 1 : 0;
    info.tcp_direct = how.tcp_direct ? 1 : 0;
    const bool connect_sent = MVHUX_ConnServer(handle, &info, false) == HUX_RESULT_OK;
    setenv("HUX_DRIVER_SHIM", "", 1);
    if (!connect_sent || !hux_test::wait_until([this] { return connected.load(); }, SET_UP_WAIT)) {
        error = std::string("a session did not connect (driver '") + how.driver + "')";
        return false;
    }
    if (MVHUX_UserLogon(handle, LOGON_USER, LOGON_PASSWORD, LOGON_APP, LOGON_AUTH) != HUX_RESULT_OK ||
        !hux_test::wait_until([this] { return logon_result.load() != -1; }, SET_UP_WAIT) || logon_result != 0) {
        error = std::string("a session did not log on (driver '") + how.driver + "')";
        return false;
    }
    return true;
}

// One order through the session: sent, accepted, handed to this thread.
// The nanoseconds taken, or -1 when the order failed or no accept came.
double round_trip(session& s, HUX_EnterOrderField& order) {
    order.client_token = ++s.next_token;
    const uint64_t want = s.accepts.count() + 1;
    const clock_type::time_point start = clock_type::now();
    const int rc = MVHUX_EnterOrder(s.handle, &order, false);
    const bool accepted = rc == HUX_RESULT_OK && s.accepts.wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

// The bypass session and its baseline, both logged on; then each iteration
// is one round trip of each, in turn first, so that both see the same moment
// of the machine. The iteration's time is the bypass session's; the
// percentiles of both are counters ("p50_ns", "kernel_p50_ns", ...).
// `check` tells whether each session really took the channel it was given.
template <class CHECK>
void paired_round_trips(benchmark::State& state, const channel& bypass_how, const channel& kernel_how,
                        CHECK check) {
    peer_env* env = peer(state);
    if (!env) return;
    session bypass;
    session kernel;
    if (!bypass.logon(*env->sim, bypass_how)) {
        state.SkipWithError(bypass.error.c_str());
        return;
    }
    if (!kernel.logon(*env->sim, kernel_how)) {
        state.SkipWithError(kernel.error.c_str());
        return;
    }
    HUX_EnterOrderField order = sample_order(0);
    for (int i = 0; i < ROUND_TRIP_WARM_UP; ++i) {
        if (round_trip(bypass, order) < 0 || round_trip(kernel, order) < 0) {
            state.SkipWithError("an order was not accepted during the warm-up");
            return;
        }
    }
    const char* wrong = check(*bypass.client(), *kernel.client());
    if (wrong) {
        state.SkipWithError(wrong);
        return;
    }
    std::vector<double> bypass_ns;
    std::vector<double> kernel_ns;
    bypass_ns.reserve(static_cast<size_t>(state.max_iterations));
    kernel_ns.reserve(static_cast<size_t>(state.max_iterations));
    bool bypass_first = true;
    for (auto _ : state) {
        double b;
        double k;
        if (bypass_first) {
            b = round_trip(bypass, order);
            k = round_trip(kernel, order);
        } else {
            k = round_trip(kernel, order);
            b = round_trip(bypass, order);
        }
        bypass_first = !bypass_first;
        if (b < 0 || k < 0) {
            state.SkipWithError("an order was not accepted");
            break;
        }
        bypass_ns.push_back(b);
        kernel_ns.push_back(k);
        state.SetIterationTime(b * 1e-9);
    }
    std::sort(bypass_ns.begin(), bypass_ns.end());
    std::sort(kernel_ns.begin(), kernel_ns.end());
    const struct {
        const char* name;
        double p;
    } tails[] = {{"p50", 0.50}, {"p99", 0.99}, {"p99.9", 0.999}};
    for (const auto& t : tails) {
        state.counters[std::string(t.name) + "_ns"] = percentile(bypass_ns, t.p);
        state.counters[std::string("kernel_") + t.name + "_ns"] = percentile(kernel_ns, t.p);
    }
}

// ---------------------------------------------------------------- R6

void BM_R6_EfviRoundTrip(benchmark::State& state) {
    hux_standin_efvi_set_capability(1);  // CTPIO
    hux_standin_efvi_set_refuse_vi(0);
    const int opens = hux_standin_efvi_driver_opens();
    paired_round_trips(state, channel{"sfc", true, false, 45601}, channel{"", false, false, 45602},
                       [opens](HUX_TRADE::CTradeClient& b, HUX_TRADE::CTradeClient& k) -> const char* {
                           if (b.GetDriverType() != DRIVER_EF_VI || hux_standin_efvi_driver_opens() != opens + 1)
                               return "the bypass session did not open the ef_vi sender";
                           if (k.GetDriverType() != DRIVER_KERNEL) return "the baseline session is not on kernel UDP";
                           return nullptr;
                       });
}
BENCHMARK(BM_R6_EfviRoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- R7

void BM_R7_ExanicRoundTrip(benchmark::State& state) {
    if (hux_test::netns_ready()) hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
    const long frames = hux_standin_exanic_frames_sent();
    paired_round_trips(state, channel{"exanic", true, false, 45701}, channel{"", false, false, 45702},
                       [frames](HUX_TRADE::CTradeClient& b, HUX_TRADE::CTradeClient& k) -> const char* {
                           if (b.GetDriverType() != DRIVER_EXANIC ||
                               hux_standin_exanic_frames_sent() < frames + ROUND_TRIP_WARM_UP)
                               return "the bypass session's orders did not leave through the ExaNIC sender";
                           if (k.GetDriverType() != DRIVER_KERNEL) return "the baseline session is not on kernel UDP";
                           return nullptr;
                       });
}
BENCHMARK(BM_R7_ExanicRoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- R8

void BM_R8_PlugInTcpRoundTrip(benchmark::State& state) {
    paired_round_trips(state, channel{"sfc", true, true, 0}, channel{"", true, false, 0},
                       [](HUX_TRADE::CTradeClient& b, HUX_TRADE::CTradeClient& k) -> const char* {
                           if (!b.GetZfSock()) return "the bypass session did not load the TCPDirect plug-in";
                           if (k.GetZfSock()) return "the baseline session is on the plug-in";
                           return nullptr;
                       });
}
BENCHMARK(BM_R8_PlugInTcpRoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

}  // namespace

void release_bypass_session_env() { g_peer.reset(); }

}  // namespace hux_bench

#else

namespace hux_bench {
void release_bypass_session_env() {}
}  // namespace hux_bench

#endif

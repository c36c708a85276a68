// Benchmarks of the library's order path over loopback TCP, each beside a
// raw-socket baseline on an identical connection to the same simulated server:
// - the order round trip: MVHUX_EnterOrder -> server -> accept callback ->
//   the waiting thread, against the raw client's send() -> server -> its
//   reader thread -> the waiting thread (p50, p99, p99.9 and p99.99), with
//   both receiving threads blocking in epoll_wait and with both busy polling;
// - the send path: MVHUX_EnterOrder returning, against one send() of the same
//   100 bytes on the library's own connected socket;
// - the send path with the session logger on, against the logger off.
// Each benchmark alternates its figure and its baseline, so that both see the
// same moment of the machine. Times are taken by hand (steady clock); the
// server accepts every order and the flow-control limits it grants are never
// reached.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_env.h"
#include "bench/bench_loopback.h"
#include "bench/bench_raw_client.h"
#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"
#include "trade/TradeClient.h"

namespace hux_bench {

namespace {

using clock_type = std::chrono::steady_clock;

const int64_t ROUND_TRIPS = 100000;  // per repetition: p99.99 is then the 10th-worst
const int ROUND_TRIP_WARM_UP = 500;
const int64_t SEND_BATCHES = 1000;  // per repetition
const int SEND_BATCH = 32;          // orders sent back to back, timed together
const std::chrono::seconds ANSWER_WAIT(5);
const std::chrono::seconds SET_UP_WAIT(10);

double ns_between(clock_type::time_point from, clock_type::time_point to) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
}

// The library's session (the simulated server's connection 0, its logon's
// terminal report 1) and the raw client (connection 2), logged on to one
// simulated server.
struct loopback_env {
    hux_sim::sim_trade_server sim;
    void* handle = nullptr;
    raw_order_client raw;
    int library_socket = -1;  // the library session's connected socket
    accept_handoff library_accepts;
    std::atomic<bool> connected{false};
    std::atomic<int> logon_result{-1};
    uint32_t next_token = 0;
    std::string raw_order = raw_new_order(1);
    bool ready = false;
    std::string error;

    loopback_env();
    ~loopback_env();
    bool set_up();
};

loopback_env* g_env = nullptr;

// The one TCP socket of this process connected to 127.0.0.1:port other than
// `except`; -1 when there is not exactly one.
int find_connected_socket(uint16_t port, int except) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int found = -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = atoi(entry->d_name);
        int type = 0;
        socklen_t type_len = sizeof(type);
        sockaddr_in peer{};
        socklen_t peer_len = sizeof(peer);
        if (fd == except || fd == dirfd(dir) ||
            getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &type_len) != 0 || type != SOCK_STREAM ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0 || peer.sin_family != AF_INET ||
            ntohs(peer.sin_port) != port)
            continue;
        found = fd;
        ++count;
    }
    closedir(dir);
    return count == 1 ? found : -1;
}

void on_connection(void*, int code, const char*) {
    if (code == 0) g_env->connected = true;
}
void on_logon(void*, HUX_LogonResponse* rsp, int) { g_env->logon_result = rsp->result; }
void on_accept(void*, HUX_OrderAcceptField*) { g_env->library_accepts.publish(); }

loopback_env::loopback_env() {
    g_env = this;
    ready = set_up();
}

bool loopback_env::set_up() {
    if (!sim.listening() || !sim.set_config(bench_sim_config())) {
        error = "the simulated server did not start";
        return false;
    }
    handle = MVHUX_CreateTrade(this);
    HUX_TRADE::TradeClientTimings timings;
    timings.close_pause_ms = 1;
    static_cast<HUX_TRADE::CTradeClient*>(handle)->SetTimings(timings);
    MVHUX_SetConnectionEvent(handle, on_connection);
    MVHUX_SetUserLogonEvent(handle, on_logon);
    MVHUX_SetOrderAcceptEvent(handle, on_accept);
    const HUX_TradeSvrInfo info = bench_server_info(sim.port());
    if (MVHUX_ConnServer(handle, &info, false) != HUX_RESULT_OK ||
        !hux_test::wait_until([this] { return connected.load(); }, SET_UP_WAIT)) {
        error = "the library session did not connect";
        return false;
    }
    if (MVHUX_UserLogon(handle, LOGON_USER, LOGON_PASSWORD, LOGON_APP, LOGON_AUTH) != HUX_RESULT_OK ||
        !hux_test::wait_until([this] { return logon_result.load() != -1; }, SET_UP_WAIT) || logon_result != 0) {
        error = "the library session did not log on";
        return false;
    }
    std::string why;
    if (!raw.start(sim.port(), HUX_TRADE::CTradeClient::DEFAULT_EPOLL_WAIT_MS, &why)) {
        error = "raw client: " + why;
        return false;
    }
    library_socket = find_connected_socket(sim.port(), raw.socket());
    if (library_socket < 0) {
        error = "the library session's socket was not found";
        return false;
    }
    return true;
}

loopback_env::~loopback_env() {
    raw.stop();
    if (handle) {
        MVHUX_DisConnServer(handle);
        MVHUX_DestroyTrade(handle);
    }
    g_env = nullptr;
}

std::unique_ptr<loopback_env> g_loopback;

loopback_env* loopback(benchmark::State& state) {
    if (!g_loopback) g_loopback.reset(new loopback_env);
    if (!g_loopback->ready) {
        state.SkipWithError(g_loopback->error.c_str());
        return nullptr;
    }
    return g_loopback.get();
}

// One order through the library: sent, accepted, handed to this thread.
// The nanoseconds taken, or -1 when the order failed or no accept came.
double library_round_trip(loopback_env& env, HUX_EnterOrderField& order) {
    order.client_token = ++env.next_token;
    const uint64_t want = env.library_accepts.count() + 1;
    const clock_type::time_point start = clock_type::now();
    const int rc = MVHUX_EnterOrder(env.handle, &order, false);
    const bool accepted = rc == HUX_RESULT_OK && env.library_accepts.wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

// The same through the raw client.
double raw_round_trip(loopback_env& env) {
    const uint64_t want = env.raw.accepts().count() + 1;
    const clock_type::time_point start = clock_type::now();
    const int sent = env.raw.send_message(env.raw_order.data(), static_cast<int>(env.raw_order.size()));
    const bool accepted = sent == 100 && env.raw.accepts().wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

// The receiving threads' read mode: blocking waits in epoll_wait with the
// library's default timeout; busy polling (timeout 0) never sleeps.
enum read_mode { READ_BLOCKING, READ_BUSY_POLL };

void set_read_mode(loopback_env& env, read_mode mode) {
    const int wait_ms = mode == READ_BUSY_POLL ? 0 : HUX_TRADE::CTradeClient::DEFAULT_EPOLL_WAIT_MS;
    MVHUX_SetMaxWaitTime(env.handle, wait_ms);
    env.raw.set_max_wait(wait_ms);
}

// Each iteration is one round trip through the library and one through the
// raw client, in turn first, so that both see the same moment of the machine.
// The iteration's time is the library's; the percentiles of both are counters.
void round_trips(benchmark::State& state, read_mode mode) {
    loopback_env* env = loopback(state);
    if (!env) return;
    set_read_mode(*env, mode);
    HUX_EnterOrderField order = sample_order(0);
    for (int i = 0; i < ROUND_TRIP_WARM_UP; ++i) {
        if (library_round_trip(*env, order) < 0 || raw_round_trip(*env) < 0) {
            state.SkipWithError("an order was not accepted during the warm-up");
            set_read_mode(*env, READ_BLOCKING);
            return;
        }
    }
    std::vector<double> library;
    std::vector<double> raw;
    library.reserve(static_cast<size_t>(state.max_iterations));
    raw.reserve(static_cast<size_t>(state.max_iterations));
    bool library_first = true;
    for (auto _ : state) {
        double library_ns;
        double raw_ns;
        if (library_first) {
            library_ns = library_round_trip(*env, order);
            raw_ns = raw_round_trip(*env);
        } else {
            raw_ns = raw_round_trip(*env);
            library_ns = library_round_trip(*env, order);
        }
        library_first = !library_first;
        if (library_ns < 0 || raw_ns < 0) {
            state.SkipWithError("an order was not accepted");
            break;
        }
        library.push_back(library_ns);
        raw.push_back(raw_ns);
        state.SetIterationTime(library_ns * 1e-9);
    }
    set_read_mode(*env, READ_BLOCKING);
    std::sort(library.begin(), library.end());
    std::sort(raw.begin(), raw.end());
    const struct {
        const char* name;
        double p;
    } tails[] = {{"p50", 0.50}, {"p99", 0.99}, {"p99.9", 0.999}, {"p99.99", 0.9999}};
    for (const auto& t : tails) {
        state.counters[std::string(t.name) + "_ns"] = percentile(library, t.p);
        state.counters[std::string("raw_") + t.name + "_ns"] = percentile(raw, t.p);
    }
}

void BM_R1_RoundTrip(benchmark::State& state) { round_trips(state, READ_BLOCKING); }
BENCHMARK(BM_R1_RoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

void BM_R1_RoundTripBusyPoll(benchmark::State& state) { round_trips(state, READ_BUSY_POLL); }
BENCHMARK(BM_R1_RoundTripBusyPoll)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

// SEND_BATCH orders sent back to back and timed together; then, untimed, the
// waiting thread lets all their accepts arrive, so that no socket buffer
// fills up. The nanoseconds of the sends, or -1 on a failure.
template <class SEND>
double send_batch(loopback_env& env, SEND send) {
    const uint64_t expected = env.library_accepts.count() + SEND_BATCH;
    const clock_type::time_point start = clock_type::now();
    bool sent = true;
    for (int i = 0; i < SEND_BATCH && sent; ++i) sent = send();
    const clock_type::time_point end = clock_type::now();
    if (!sent || !env.library_accepts.wait_for(expected, clock_type::now() + ANSWER_WAIT)) return -1;
    return ns_between(start, end);
}

// Each iteration is one batch of each kind, in turn first. The iteration's
// time is the first kind's; the mean time per order of both are counters.
template <class FIGURE, class BASELINE>
void run_send_batches(benchmark::State& state, loopback_env& env, FIGURE figure, BASELINE baseline,
                      const char* figure_counter, const char* baseline_counter) {
    double figure_total = 0;
    double baseline_total = 0;
    bool figure_first = true;
    for (auto _ : state) {
        double figure_ns;
        double baseline_ns;
        if (figure_first) {
            figure_ns = send_batch(env, figure);
            baseline_ns = send_batch(env, baseline);
        } else {
            baseline_ns = send_batch(env, baseline);
            figure_ns = send_batch(env, figure);
        }
        figure_first = !figure_first;
        if (figure_ns < 0 || baseline_ns < 0) {
            state.SkipWithError("an order was not sent or not accepted");
            break;
        }
        figure_total += figure_ns;
        baseline_total += baseline_ns;
        state.SetIterationTime(figure_ns * 1e-9);
    }
    const double orders = static_cast<double>(state.iterations()) * SEND_BATCH;
    state.SetItemsProcessed(state.iterations() * SEND_BATCH);
    if (orders > 0) {
        state.counters[figure_counter] = figure_total / orders;
        state.counters[baseline_counter] = baseline_total / orders;
    }
}

// MVHUX_EnterOrder against one send() of the same 100 bytes, with the same
// flags, on the same socket; the library's receive path handles the accepts
// of both as its own.
void BM_R2_SendPath(benchmark::State& state) {
    loopback_env* env = loopback(state);
    if (!env) return;
    HUX_EnterOrderField order = sample_order(0);
    const int fd = env->library_socket;
    auto enter_order = [env, &order] {
        order.client_token = ++env->next_token;
        return MVHUX_EnterOrder(env->handle, &order, false) == HUX_RESULT_OK;
    };
    auto bare_send = [env, fd] {
        return ::send(fd, env->raw_order.data(), env->raw_order.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == 100;
    };
    run_send_batches(state, *env, enter_order, bare_send, "ns_per_order", "bare_ns_per_order");
}
BENCHMARK(BM_R2_SendPath)->UseManualTime()->Iterations(SEND_BATCHES);

// MVHUX_EnterOrder with the session logger on against the logger off.
void BM_R5_SendPathLogger(benchmark::State& state) {
    loopback_env* env = loopback(state);
    if (!env) return;
    HUX_EnterOrderField order = sample_order(0);
    bool logger_on = false;
    auto enter_order = [env, &order, &logger_on](bool logger) {
        if (logger != logger_on) {
            MVHUX_SetLoggerSwitch(env->handle, logger);
            logger_on = logger;
        }
        order.client_token = ++env->next_token;
        return MVHUX_EnterOrder(env->handle, &order, false) == HUX_RESULT_OK;
    };
    run_send_batches(state, *env, [&enter_order] { return enter_order(true); },
                     [&enter_order] { return enter_order(false); }, "logger_on_ns_per_order",
                     "logger_off_ns_per_order");
    MVHUX_SetLoggerSwitch(env->handle, false);
}
BENCHMARK(BM_R5_SendPathLogger)->UseManualTime()->Iterations(SEND_BATCHES);

}  // namespace

void release_loopback_env() { g_loopback.reset(); }

// ---- the environment seen from the adapter's benchmarks (bench_loopback.h)

hux_sim::sim_trade_server* loopback_server(std::string* why) {
    if (!g_loopback) g_loopback.reset(new loopback_env);
    if (!g_loopback->ready) {
        *why = g_loopback->error;
        return nullptr;
    }
    return &g_loopback->sim;
}

double loopback_library_round_trip() {
    static HUX_EnterOrderField order = sample_order(0);
    return library_round_trip(*g_loopback, order);
}

double loopback_raw_round_trip() { return raw_round_trip(*g_loopback); }

double loopback_library_send_batch() {
    static HUX_EnterOrderField order = sample_order(0);
    loopback_env& env = *g_loopback;
    const double ns = send_batch(env, [&env] {
        order.client_token = ++env.next_token;
        return MVHUX_EnterOrder(env.handle, &order, false) == HUX_RESULT_OK;
    });
    return ns < 0 ? -1 : ns / SEND_BATCH;
}

}  // namespace hux_bench

// The adapter's order path through its shared library, beside the trade
// library's on the same simulated server in the same run (R1's loopback
// environment: its server, trade session and raw client):
// - AR1 the order round trip: the adapter's MVHUX_EnterOrder -> server ->
//   accept callback -> the waiting thread, against the trade library's
//   (R1's figure) and the raw socket client's (p50, p99, p99.9);
// - AR2 the send path: the adapter's MVHUX_EnterOrder returning, against the
//   trade library's (R2's figure) and one bare send() of the adapter's own
//   100 bytes on its own socket;
// - AR3 16 orders as one MVHUX_EnterMultiOrders against 16 MVHUX_EnterOrder
//   calls, each until the sixteenth accept.
// Each benchmark takes its kinds in turn inside every iteration, the first
// one changing from iteration to iteration, so that the load of the moment
// falls on all of them.
//
// libhuxadapter.so exports C functions of the same names as the trade
// library linked into this program, and its records share their names but
// not their layouts: it is opened with dlopen (RTLD_LOCAL) and its functions
// taken with dlsym, and this source includes the adapter's headers only. The
// trade library is reached through bench_loopback.h, which holds no record.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <immintrin.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_loopback.h"
#include "mv_hux_adapter.h"
#include "sim/sim_trade_server.h"

namespace hux_bench {

namespace {

using clock_type = std::chrono::steady_clock;

const int64_t ROUND_TRIPS = 50000;  // per repetition, of each kind: p99.9 is then the 50th-worst
const int ROUND_TRIP_WARM_UP = 500;
const int64_t SEND_BATCHES = 1000;  // per repetition, of each kind
const int SEND_BATCH = 32;          // as R2: orders sent back to back, timed together
const int64_t BATCH_ROUNDS = 20000; // AR3, per repetition, of each kind
const int BATCH = 16;               // the largest batch MVHUX_EnterMultiOrders takes
const std::chrono::seconds ANSWER_WAIT(5);
const std::chrono::seconds SET_UP_WAIT(10);

// R1's logon texts (bench_env.h): the server checks the password's digest.
const char* const LOGON_USER = "bench01";
const char* const LOGON_PASSWORD = "bench-pw";
const char* const LOGON_APP = "hux-bench";
const char* const LOGON_AUTH = "AUTH-BENCH";

double ns_between(clock_type::time_point from, clock_type::time_point to) {
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
}

// The adapter's accept callback tells the waiting thread how many accepts it
// has seen, and the waiting thread spins on the count exactly as on R1's
// accept_handoff (bench_env.h, which this source cannot include).
class accept_count {
public:
    void publish() { m_count.fetch_add(1, std::memory_order_release); }
    uint64_t count() const { return m_count.load(std::memory_order_acquire); }
    bool wait_for(uint64_t count, clock_type::time_point deadline) const {
        unsigned spins = 0;
        while (m_count.load(std::memory_order_acquire) < count) {
            _mm_pause();
            if (++spins % 4096 == 0 && clock_type::now() > deadline) return false;
        }
        return true;
    }

private:
    alignas(64) std::atomic<uint64_t> m_count{0};
};

// The functions of libhuxadapter.so this program calls, typed by the
// adapter's header.
struct adapter_library {
    void* so = nullptr;
    decltype(&MVHUX_CreateTrade) CreateTrade = nullptr;
    decltype(&MVHUX_DestroyTrade) DestroyTrade = nullptr;
    decltype(&MVHUX_SetAutoReconnect) SetAutoReconnect = nullptr;
    decltype(&MVHUX_SetConnectionEvent) SetConnectionEvent = nullptr;
    decltype(&MVHUX_SetUserLogonEvent) SetUserLogonEvent = nullptr;
    decltype(&MVHUX_SetOrderAcceptEvent) SetOrderAcceptEvent = nullptr;
    decltype(&MVHUX_ConnServer) ConnServer = nullptr;
    decltype(&MVHUX_DisConnServer) DisConnServer = nullptr;
    decltype(&MVHUX_UserLogon) UserLogon = nullptr;
    decltype(&MVHUX_EnterOrder) EnterOrder = nullptr;
    decltype(&MVHUX_EnterMultiOrders) EnterMultiOrders = nullptr;

    // Opens the library and takes every function; false with the reason.
    bool open(std::string* why) {
        // Left loaded until the program ends: no thread of it may outlive
        // its code.
        so = dlopen(HUX_ADAPTER_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!so) {
            const char* e = dlerror();
            *why = std::string("dlopen: ") + (e ? e : HUX_ADAPTER_LIBRARY_PATH);
            return false;
        }
        return take(CreateTrade, "MVHUX_CreateTrade", why) && take(DestroyTrade, "MVHUX_DestroyTrade", why) &&
               take(SetAutoReconnect, "MVHUX_SetAutoReconnect", why) &&
               take(SetConnectionEvent, "MVHUX_SetConnectionEvent", why) &&
               take(SetUserLogonEvent, "MVHUX_SetUserLogonEvent", why) &&
               take(SetOrderAcceptEvent, "MVHUX_SetOrderAcceptEvent", why) &&
               take(ConnServer, "MVHUX_ConnServer", why) && take(DisConnServer, "MVHUX_DisConnServer", why) &&
               take(UserLogon, "MVHUX_UserLogon", why) && take(EnterOrder, "MVHUX_EnterOrder", why) &&
               take(EnterMultiOrders, "MVHUX_EnterMultiOrders", why);
    }

private:
    template <class F>
    bool take(F& fn, const char* name, std::string* why) {
        fn = reinterpret_cast<F>(dlsym(so, name));
        if (!fn) *why = std::string("libhuxadapter.so has no ") + name;
        return fn != nullptr;
    }
};

// The TCP sockets of this process connected to 127.0.0.1:port.
std::vector<int> sockets_connected_to(uint16_t port) {
    std::vector<int> found;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return found;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = atoi(entry->d_name);
        int type = 0;
        socklen_t type_len = sizeof(type);
        sockaddr_in peer{};
        socklen_t peer_len = sizeof(peer);
        if (fd == dirfd(dir) || getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &type_len) != 0 || type != SOCK_STREAM ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0 || peer.sin_family != AF_INET ||
            ntohs(peer.sin_port) != port)
            continue;
        found.push_back(fd);
    }
    closedir(dir);
    return found;
}

// One adapter client of libhuxadapter.so, logged on (trade and query
// session) to the loopback environment's server, whose query port it opens.
struct adapter_api_env {
    adapter_library lib;
    hux_sim::sim_trade_server* sim = nullptr;
    void* handle = nullptr;
    accept_count accepts;
    std::atomic<bool> connected{false};
    std::atomic<int> logon_result{-1};
    uint32_t next_token = 0;
    HUX_EnterOrderField order;         // the order of every single send
    HUX_EnterOrderField batch[BATCH];  // the orders of every batch
    size_t conn = 0;                   // the server's number of the adapter's trade connection
    int socket = -1;                   // the adapter's trade socket
    std::string wire_order;            // the 100 bytes its MVHUX_EnterOrder sent
    bool ready = false;
    std::string error;

    adapter_api_env();
    ~adapter_api_env();
    bool set_up();
    bool warm_up();
};

adapter_api_env* g_env = nullptr;

void on_connection(void*, int code, const char*) {
    if (code == 0) g_env->connected = true;
}
void on_logon(void*, HUX_LogonResponse* rsp) { g_env->logon_result = rsp->result; }
void on_accept(void*, HUX_OrderAcceptField*) { g_env->accepts.publish(); }

// R1's order (sample_order) in the adapter's record: quantity 1 of "IF2409"
// on account "ACC1", exchange 102, side 2 (mapped), both prices.
HUX_EnterOrderField bench_order() {
    HUX_EnterOrderField o;
    memset(&o, 0, sizeof(o));
    memcpy(o.account, "ACC1", 4);
    o.side = 2;
    o.exchange_id = 102;
    memcpy(o.symbol, "IF2409", 6);
    o.price = 12.3456;
    o.quantity = 1;
    o.opt_4 = 1;
    o.opt_8 = 3;
    o.second_price = -1.5;
    return o;
}

adapter_api_env::adapter_api_env() {
    g_env = this;
    order = bench_order();
    for (HUX_EnterOrderField& o : batch) o = bench_order();
    ready = set_up() && warm_up();
}

bool adapter_api_env::set_up() {
    std::string why;
    sim = loopback_server(&why);
    if (!sim) {
        error = "loopback environment: " + why;
        return false;
    }
    if (sim->query_port() == 0 && !sim->open_query(0)) {
        error = "the simulated server's query port did not open";
        return false;
    }
    if (!lib.open(&error)) return false;
    handle = lib.CreateTrade(this);
    lib.SetAutoReconnect(handle, false);
    lib.SetConnectionEvent(handle, on_connection);
    lib.SetUserLogonEvent(handle, on_logon);
    lib.SetOrderAcceptEvent(handle, on_accept);
    // As R1's connection record: no heart-beat, no UDP order channel, the
    // kernel's sockets, no CPU for the receive thread.
    HUX_TradeSvrInfo info;
    memset(static_cast<void*>(&info), 0, sizeof(info));
    memcpy(info.server_ip, "127.0.0.1", 10);
    info.tcp_port = sim->port();
    memcpy(info.query_ip, "127.0.0.1", 10);
    info.query_port = sim->query_port();
    info.heartbeat_interval = 0;
    info.rsp_cpu = -1;
    const std::vector<int> before = sockets_connected_to(sim->port());
    conn = sim->connection_count();  // the adapter reports no terminal: its trade connection comes next
    if (lib.ConnServer(handle, &info) != HUX_RESULT_OK ||
        !hux_test::wait_until([this] { return connected.load(); }, SET_UP_WAIT)) {
        error = "the adapter did not connect";
        return false;
    }
    if (lib.UserLogon(handle, LOGON_USER, LOGON_PASSWORD, LOGON_APP, LOGON_AUTH) != HUX_RESULT_OK ||
        !hux_test::wait_until([this] { return logon_result.load() != -1; }, SET_UP_WAIT) || logon_result != 0) {
        error = "the adapter did not log on (result " + std::to_string(logon_result.load()) + ")";
        return false;
    }
    std::vector<int> after = sockets_connected_to(sim->port());
    after.erase(std::remove_if(after.begin(), after.end(),
                               [&before](int fd) { return std::find(before.begin(), before.end(), fd) != before.end(); }),
                after.end());
    if (after.size() != 1) {
        error = "the adapter's trade socket was not found";
        return false;
    }
    socket = after[0];
    return true;
}

// One order through the adapter: sent, accepted, handed to this thread. The
// nanoseconds taken, or -1 when the order failed or no accept came.
double adapter_round_trip(adapter_api_env& env) {
    env.order.client_token = ++env.next_token;
    const uint64_t want = env.accepts.count() + 1;
    const clock_type::time_point start = clock_type::now();
    const int rc = env.lib.EnterOrder(env.handle, &env.order);
    const bool accepted = rc == HUX_RESULT_OK && env.accepts.wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

// The first orders, and the bytes the adapter sent for the last of them: the
// bare send() of AR2 sends those.
bool adapter_api_env::warm_up() {
    for (int i = 0; i < ROUND_TRIP_WARM_UP; ++i) {
        if (adapter_round_trip(*this) < 0) {
            error = "an adapter order was not accepted during the warm-up";
            return false;
        }
    }
    if (!sim->wait_for_message(conn, hux_sim::msg_new_order, ROUND_TRIP_WARM_UP, SET_UP_WAIT)) {
        error = "the adapter's orders were not found on the server";
        return false;
    }
    wire_order = sim->last_message(conn, hux_sim::msg_new_order);
    if (wire_order.size() != 100) {
        error = "the adapter's order is not 100 bytes";
        return false;
    }
    return true;
}

adapter_api_env::~adapter_api_env() {
    if (handle) {
        lib.DisConnServer(handle);
        lib.DestroyTrade(handle);
    }
    g_env = nullptr;
}

std::unique_ptr<adapter_api_env> g_adapter_api;

adapter_api_env* adapter_env(benchmark::State& state) {
    if (!g_adapter_api) g_adapter_api.reset(new adapter_api_env);
    if (!g_adapter_api->ready) {
        state.SkipWithError(g_adapter_api->error.c_str());
        return nullptr;
    }
    return g_adapter_api.get();
}

// Runs the kinds of one iteration in turn, starting with `first`; false when
// one of them failed (a negative time).
template <size_t N>
bool take_turns(const std::function<double()> (&kinds)[N], size_t first, double (&out)[N]) {
    for (size_t k = 0; k < N; ++k) {
        const size_t i = (first + k) % N;
        out[i] = kinds[i]();
        if (out[i] < 0) return false;
    }
    return true;
}

// ---------------------------------------------------------------- AR1

// Each iteration is one round trip through the adapter, one through the
// trade library and one through the raw client, each first in turn. The
// iteration's time is the adapter's; the percentiles of all three are
// counters.
void BM_AR1_AdapterRoundTrip(benchmark::State& state) {
    adapter_api_env* env = adapter_env(state);
    if (!env) return;
    const std::function<double()> kinds[3] = {[env] { return adapter_round_trip(*env); },
                                              loopback_library_round_trip, loopback_raw_round_trip};
    double ns[3];
    for (int i = 0; i < ROUND_TRIP_WARM_UP; ++i) {
        if (!take_turns(kinds, 0, ns)) {
            state.SkipWithError("an order was not accepted during the warm-up");
            return;
        }
    }
    std::vector<double> samples[3];
    for (std::vector<double>& s : samples) s.reserve(static_cast<size_t>(state.max_iterations));
    size_t first = 0;
    for (auto _ : state) {
        if (!take_turns(kinds, first, ns)) {
            state.SkipWithError("an order was not accepted");
            break;
        }
        first = (first + 1) % 3;
        for (size_t k = 0; k < 3; ++k) samples[k].push_back(ns[k]);
        state.SetIterationTime(ns[0] * 1e-9);
    }
    for (std::vector<double>& s : samples) std::sort(s.begin(), s.end());
    const struct {
        const char* name;
        double p;
    } tails[] = {{"p50", 0.50}, {"p99", 0.99}, {"p99.9", 0.999}};
    for (const auto& t : tails) {
        state.counters[std::string(t.name) + "_ns"] = percentile(samples[0], t.p);
        state.counters[std::string("trade_") + t.name + "_ns"] = percentile(samples[1], t.p);
        state.counters[std::string("raw_") + t.name + "_ns"] = percentile(samples[2], t.p);
    }
}
BENCHMARK(BM_AR1_AdapterRoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- AR2

// SEND_BATCH sends through the adapter's socket, back to back and timed
// together; then, untimed, the adapter's receive thread takes all their
// accepts. The mean nanoseconds per order, or -1 on a failure.
template <class SEND>
double adapter_send_batch(adapter_api_env& env, SEND send) {
    const uint64_t expected = env.accepts.count() + SEND_BATCH;
    const clock_type::time_point start = clock_type::now();
    bool sent = true;
    for (int i = 0; i < SEND_BATCH && sent; ++i) sent = send();
    const clock_type::time_point end = clock_type::now();
    if (!sent || !env.accepts.wait_for(expected, clock_type::now() + ANSWER_WAIT)) return -1;
    return ns_between(start, end) / SEND_BATCH;
}

// The adapter's MVHUX_EnterOrder, the trade library's and one send() of the
// adapter's 100 bytes with the library's flags on the adapter's socket (its
// receive thread takes their accepts as its own), one batch of each per
// iteration. The iteration's time is the adapter's; the mean time per order
// of each kind is a counter.
void BM_AR2_AdapterSendPath(benchmark::State& state) {
    adapter_api_env* env = adapter_env(state);
    if (!env) return;
    auto enter_order = [env] {
        env->order.client_token = ++env->next_token;
        return env->lib.EnterOrder(env->handle, &env->order) == HUX_RESULT_OK;
    };
    auto bare_send = [env] {
        return ::send(env->socket, env->wire_order.data(), env->wire_order.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
               100;
    };
    const std::function<double()> kinds[3] = {[env, enter_order] { return adapter_send_batch(*env, enter_order); },
                                              loopback_library_send_batch,
                                              [env, bare_send] { return adapter_send_batch(*env, bare_send); }};
    double totals[3] = {0, 0, 0};
    double ns[3];
    size_t first = 0;
    for (auto _ : state) {
        if (!take_turns(kinds, first, ns)) {
            state.SkipWithError("an order was not sent or not accepted");
            break;
        }
        first = (first + 1) % 3;
        for (size_t k = 0; k < 3; ++k) totals[k] += ns[k];
        state.SetIterationTime(ns[0] * SEND_BATCH * 1e-9);
    }
    const double batches = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * SEND_BATCH);
    if (batches > 0) {
        state.counters["ns_per_order"] = totals[0] / batches;
        state.counters["trade_ns_per_order"] = totals[1] / batches;
        state.counters["bare_ns_per_order"] = totals[2] / batches;
    }
}
BENCHMARK(BM_AR2_AdapterSendPath)->UseManualTime()->Iterations(SEND_BATCHES);

// ---------------------------------------------------------------- AR3

// BATCH orders from the first call until the adapter's receive thread has
// handed this thread the accept of the last: as one MVHUX_EnterMultiOrders,
// or as BATCH MVHUX_EnterOrder calls. Nanoseconds, or -1 on a failure.
double multi_orders_until_last_accept(adapter_api_env& env) {
    for (HUX_EnterOrderField& o : env.batch) o.client_token = ++env.next_token;
    const uint64_t want = env.accepts.count() + BATCH;
    const clock_type::time_point start = clock_type::now();
    const int rc = env.lib.EnterMultiOrders(env.handle, env.batch, BATCH);
    const bool accepted = rc == HUX_RESULT_OK && env.accepts.wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

double single_orders_until_last_accept(adapter_api_env& env) {
    const uint64_t want = env.accepts.count() + BATCH;
    const clock_type::time_point start = clock_type::now();
    bool sent = true;
    for (int i = 0; i < BATCH && sent; ++i) {
        env.order.client_token = ++env.next_token;
        sent = env.lib.EnterOrder(env.handle, &env.order) == HUX_RESULT_OK;
    }
    const bool accepted = sent && env.accepts.wait_for(want, start + ANSWER_WAIT);
    const clock_type::time_point end = clock_type::now();
    return accepted ? ns_between(start, end) : -1;
}

// Each iteration is one batch call and one run of single calls, each first
// in turn. The iteration's time is the batch call's; the percentiles of both
// are counters.
void BM_AR3_AdapterMultiOrders(benchmark::State& state) {
    adapter_api_env* env = adapter_env(state);
    if (!env) return;
    const std::function<double()> kinds[2] = {[env] { return multi_orders_until_last_accept(*env); },
                                              [env] { return single_orders_until_last_accept(*env); }};
    std::vector<double> samples[2];
    for (std::vector<double>& s : samples) s.reserve(static_cast<size_t>(state.max_iterations));
    double ns[2];
    size_t first = 0;
    for (auto _ : state) {
        if (!take_turns(kinds, first, ns)) {
            state.SkipWithError("an order was not sent or not accepted");
            break;
        }
        first = 1 - first;
        for (size_t k = 0; k < 2; ++k) samples[k].push_back(ns[k]);
        state.SetIterationTime(ns[0] * 1e-9);
    }
    for (std::vector<double>& s : samples) std::sort(s.begin(), s.end());
    state.counters["multi_p50_ns"] = percentile(samples[0], 0.50);
    state.counters["single_p50_ns"] = percentile(samples[1], 0.50);
    state.counters["multi_p99_ns"] = percentile(samples[0], 0.99);
    state.counters["single_p99_ns"] = percentile(samples[1], 0.99);
}
BENCHMARK(BM_AR3_AdapterMultiOrders)->UseManualTime()->Iterations(BATCH_ROUNDS)->Unit(benchmark::kMicrosecond);

}  // namespace

void release_adapter_api_env() { g_adapter_api.reset(); }

}  // namespace hux_bench

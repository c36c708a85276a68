// Benchmarks of the core paths without a network in the timed part:
// - encoding a new order (HUX_EnterOrderField -> the 100-byte wire image)
//   against a plain 100-byte memcpy;
// - the session's dispatcher over a buffer of 1,000,000 mixed order accepts,
//   executions and symbol status reports, with empty callbacks registered,
//   against a bare cut loop that only reads each type, looks up its fixed
//   length and calls an empty function.
// The dispatcher needs a logged-on session: one is logged on to the simulated
// server once, which then stays quiet while the buffer is fed by hand.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_env.h"
#include "bench/bench_stream.h"
#include "hux_trade_request_struct.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "trade/TradeClient.h"
#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_msg_requests.h"
#include "trade_core/trade_order_entry.h"
#include "trade_core/trade_wire.h"

namespace hux_bench {

HUX_EnterOrderField sample_order(uint32_t client_token) {
    HUX_EnterOrderField order;
    memset(&order, 0, sizeof(order));
    order.request_tag = 7;
    memcpy(order.account, "ACC1", 4);
    order.side = 2;
    order.exchange_id = 102;  // side 2 is mapped to 22 here
    memcpy(order.symbol, "IF2409", 6);
    order.price = 12.3456;
    order.quantity = 1;
    order.client_token = client_token;
    order.opt_4 = 1;
    order.opt_8 = 3;
    order.second_price = -1.5;
    return order;
}

namespace {

// ---------------------------------------------------------------- encoding

void BM_R3_BuildNewOrder(benchmark::State& state) {
    HUX_EnterOrderField order = sample_order(1);
    HUX_TRADE_WIRE::new_order_req msg;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&order);
        bool ok = HUX_TRADE_CORE::BuildNewOrder(order, 1001, &msg);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(&msg);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_R3_BuildNewOrder)->UseRealTime();

void BM_R3_Memcpy100(benchmark::State& state) {
    unsigned char source[100];
    unsigned char image[100];
    memset(source, 0x5a, sizeof(source));
    for (auto _ : state) {
        benchmark::DoNotOptimize(&source);
        memcpy(image, source, sizeof(image));
        benchmark::DoNotOptimize(&image);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_R3_Memcpy100)->UseRealTime();

// ---------------------------------------------------------------- dispatch

// Callbacks that only count, so that a pass proves every message reached its
// handler (a message dropped before the logon would not).
size_t g_events = 0;
void on_accept(void*, HUX_OrderAcceptField*) { ++g_events; }
void on_execution(void*, HUX_OrderExecutionField*) { ++g_events; }
void on_symbol_status(void*, HUX_SymbolStatus*) { ++g_events; }

// The baseline's handler, called through a pointer the compiler cannot see
// through.
void empty_handler(const unsigned char*) { ++g_events; }
void (*volatile g_empty_handler)(const unsigned char*) = empty_handler;

struct dispatch_env {
    hux_sim::sim_trade_server sim;
    std::unique_ptr<HUX_TRADE::CTradeClient> client;
    std::vector<unsigned char> stream;
    uint16_t lengths[HUX_TRADE_CORE::msg_route_table::MAX_TYPE + 1];
    bool ready = false;
    std::string error;

    dispatch_env() {
        stream = mixed_answer_stream();
        for (unsigned type = 0; type <= HUX_TRADE_CORE::msg_route_table::MAX_TYPE; ++type)
            lengths[type] = static_cast<uint16_t>(HUX_TRADE_WIRE::trade_msg_length(static_cast<uint16_t>(type), false));

        client.reset(new HUX_TRADE::CTradeClient(nullptr));
        std::string why;
        if (!logon_quiet_session(sim, *client, &why)) {
            error = "dispatch session: " + why;
            return;
        }
        HUX_TRADE::trade_answer_events& events = client->AnswerEvents();
        events.OrderAccept.store(on_accept);
        events.OrderExecution.store(on_execution);
        client->SetSymbolStatusReportEvent(on_symbol_status);
        ready = true;
    }
    ~dispatch_env() {
        if (client) client->DisConnServer();
    }
};

std::unique_ptr<dispatch_env> g_dispatch;

dispatch_env& dispatch() {
    if (!g_dispatch) g_dispatch.reset(new dispatch_env);
    return *g_dispatch;
}

void BM_R4_Dispatch(benchmark::State& state) {
    dispatch_env& env = dispatch();
    if (!env.ready) {
        state.SkipWithError(env.error.c_str());
        return;
    }
    const uint32_t size = static_cast<uint32_t>(env.stream.size());
    HUX_TRADE::CTradeClient& client = *env.client;
    g_events = 0;
    auto step = [&client](const unsigned char* p, uint32_t n) { return client.ProcReceiveMsg(p, n); };
    for (auto _ : state) {
        uint32_t used = HUX_TRADE_CORE::cut_messages(env.stream.data(), size, step);
        if (used != size) {
            state.SkipWithError("the dispatcher stopped before the end of the buffer");
            break;
        }
    }
    if (g_events != static_cast<size_t>(state.iterations()) * DISPATCH_MESSAGES)
        state.SkipWithError("not every message reached its callback");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(DISPATCH_MESSAGES));
}
BENCHMARK(BM_R4_Dispatch)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_R4_BareCutLoop(benchmark::State& state) {
    dispatch_env& env = dispatch();
    if (!env.ready) {
        state.SkipWithError(env.error.c_str());
        return;
    }
    const uint32_t size = static_cast<uint32_t>(env.stream.size());
    const uint16_t* lengths = env.lengths;
    g_events = 0;
    auto step = [lengths](const unsigned char* p, uint32_t n) {
        if (n < 2) return 0;
        const uint16_t type = static_cast<uint16_t>(p[0] | (p[1] << 8));
        const uint32_t length = type <= HUX_TRADE_CORE::msg_route_table::MAX_TYPE ? lengths[type] : 0;
        if (length == 0 || n < length) return 0;
        g_empty_handler(p);
        return static_cast<int>(length);
    };
    for (auto _ : state) {
        uint32_t used = HUX_TRADE_CORE::cut_messages(env.stream.data(), size, step);
        if (used != size) {
            state.SkipWithError("the bare loop stopped before the end of the buffer");
            break;
        }
    }
    if (g_events != static_cast<size_t>(state.iterations()) * DISPATCH_MESSAGES)
        state.SkipWithError("not every message reached the empty function");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(DISPATCH_MESSAGES));
}
BENCHMARK(BM_R4_BareCutLoop)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

void release_dispatch_env() { g_dispatch.reset(); }

}  // namespace hux_bench

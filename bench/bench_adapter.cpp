// D1: the adapter's trade session taking the mixed answer stream through its
// ProcReceiveMsg, beside the trade library's (R4's BM_R4_Dispatch) over the
// same bytes in the same run. The callbacks only count.
//
// This source sees only the adapter's records; the trade library's are seen
// only by the other benchmark sources. The two sets share names but meet in
// no translation unit, and no inline function or template instance of this
// program depends on a record's layout, so one program can time both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/TradeClient.h"
#include "bench/bench_stream.h"
#include "sim/sim_trade_server.h"
#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_wire.h"

namespace hux_bench {
namespace {

size_t g_adapter_events = 0;
void on_accept(void*, HUX_OrderAcceptField*) { ++g_adapter_events; }
void on_execution(void*, HUX_OrderExecutionField*) { ++g_adapter_events; }
void on_symbol_status(void*, HUX_SymbolStatus*) { ++g_adapter_events; }

class logon_wait : public HUX_ADAPTER::TradeClientEvent {
public:
    void on_trade_client_connect_event(int code, const char*) override {
        std::lock_guard<std::mutex> g(m_lock);
        if (code == 0) m_connected = true;
        m_changed.notify_all();
    }
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override {
        std::lock_guard<std::mutex> g(m_lock);
        m_result = rsp ? rsp->result : -2;
        m_changed.notify_all();
    }
    bool connected() {
        std::unique_lock<std::mutex> g(m_lock);
        return m_changed.wait_for(g, std::chrono::seconds(5), [&] { return m_connected; });
    }
    int result() {
        std::unique_lock<std::mutex> g(m_lock);
        m_changed.wait_for(g, std::chrono::seconds(5), [&] { return m_result != -1; });
        return m_result;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_connected = false;
    int m_result = -1;
};

struct adapter_env {
    hux_sim::sim_trade_server sim;
    logon_wait events;
    std::unique_ptr<HUX_ADAPTER::CTradeClient> client;
    std::vector<unsigned char> stream;
    bool ready = false;
    std::string error;

    adapter_env() {
        stream = mixed_answer_stream();
        hux_sim::sim_config cfg;
        cfg.password = "bench-pw";
        cfg.order_fc_count = 1000000;
        cfg.order_fc_window_us = 1000000;
        cfg.cancel_fc_count = 1000000;
        cfg.cancel_fc_window_us = 1000000;
        if (!sim.listening() || !sim.set_config(cfg)) {
            error = "the simulated server did not start";
            return;
        }
        client.reset(new HUX_ADAPTER::CTradeClient(nullptr, &events, nullptr));
        HUX_TradeSvrInfo info;
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = sim.port();
        info.heartbeat_interval = 0;
        if (!client->ConnServer(info) || !events.connected()) {
            error = "no connection";
            return;
        }
        client->SaveLoginInfo("bench01", "bench-pw", "hux-bench", "AUTH-BENCH");
        HUX_TRADE_WIRE::report_version version;
        HUX_TRADE_WIRE::build_report_version(version, "bench01");
        if (client->SendMsgToHux("report_version", reinterpret_cast<char*>(&version), sizeof(version),
                                 HUX_TRADE_WIRE::SEND_DIRECTION_TCP) <= 0 ||
            events.result() != 0 || !client->IsLogon()) {
            error = "logon failed";
            return;
        }
        HUX_ADAPTER::adapter_trade_events& e = client->Events();
        e.OrderAccept = on_accept;
        e.OrderExecution = on_execution;
        e.SymbolStatusReport = on_symbol_status;
        ready = true;
    }
    ~adapter_env() {
        if (client) client->DisConnServer();
    }
};

std::unique_ptr<adapter_env> g_adapter;

void BM_D1_AdapterDispatch(benchmark::State& state) {
    if (!g_adapter) g_adapter.reset(new adapter_env);
    adapter_env& env = *g_adapter;
    if (!env.ready) {
        state.SkipWithError(env.error.c_str());
        return;
    }
    const uint32_t size = static_cast<uint32_t>(env.stream.size());
    HUX_ADAPTER::CTradeClient& client = *env.client;
    g_adapter_events = 0;
    auto step = [&client](const unsigned char* p, uint32_t n) { return client.ProcReceiveMsg(p, n); };
    for (auto _ : state) {
        uint32_t used = HUX_TRADE_CORE::cut_messages(env.stream.data(), size, step);
        if (used != size) {
            state.SkipWithError("the dispatcher stopped before the end of the buffer");
            break;
        }
    }
    if (g_adapter_events != static_cast<size_t>(state.iterations()) * DISPATCH_MESSAGES)
        state.SkipWithError("not every message reached its callback");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(DISPATCH_MESSAGES));
}
BENCHMARK(BM_D1_AdapterDispatch)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

void release_adapter_env() { g_adapter.reset(); }

}  // namespace hux_bench

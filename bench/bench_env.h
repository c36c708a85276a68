// What the benchmarks of hux-bench share: the order they send, the simulated
// server's settings, logging a session on, the handoff from a receiving
// thread to the waiting thread, and the release of the benchmarks' long-lived
// environments before the program ends.
#ifndef HUX_BENCH_ENV_H
#define HUX_BENCH_ENV_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "hux_trade_request_struct.h"
#include "hux_trade_struct.h"
#include "sim/sim_trade_server.h"

namespace HUX_TRADE {
class CTradeClient;
}

namespace hux_bench {

const char* const LOGON_USER = "bench01";
const char* const LOGON_PASSWORD = "bench-pw";
const char* const LOGON_APP = "hux-bench";
const char* const LOGON_AUTH = "AUTH-BENCH";

// An order of quantity 1 for "IF2409" on account "ACC1", exchange 102.
HUX_EnterOrderField sample_order(uint32_t client_token);

// Accepts every order, with flow-control limits far above anything a run sends.
hux_sim::sim_config bench_sim_config();

// The connection record for the simulated server: no heart-beat, no UDP
// order channel.
HUX_TradeSvrInfo bench_server_info(uint16_t port);

// Connects the session to the simulated server and logs it on; false with
// the reason in `why`.
bool logon_quiet_session(hux_sim::sim_trade_server& sim, HUX_TRADE::CTradeClient& client, std::string* why);

// One receiving thread tells one waiting thread how many order accepts it has
// seen. The library's accept callback and the raw client's reader publish
// through the same object, and the waiting thread spins on it the same way.
class accept_handoff {
public:
    void publish() { m_count.fetch_add(1, std::memory_order_release); }
    uint64_t count() const { return m_count.load(std::memory_order_acquire); }
    // Spins until `count` accepts have been seen; false at the deadline.
    bool wait_for(uint64_t count, std::chrono::steady_clock::time_point deadline) const;

private:
    alignas(64) std::atomic<uint64_t> m_count{0};
};

// Nearest-rank percentile p (0..1) of sorted samples; 0 when there are none.
double percentile(const std::vector<double>& sorted, double p);

// The long-lived environments of the benchmarks, released by main once every
// benchmark has run.
void release_dispatch_env();
void release_loopback_env();
void release_bypass_env();
void release_bypass_session_env();

}  // namespace hux_bench

#endif

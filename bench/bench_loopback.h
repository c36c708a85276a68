// R1's loopback environment (the trade library's session and the raw client,
// logged on to one simulated server) as the adapter's benchmarks see it:
// through functions whose arguments hold none of either library's records.
// The adapter's benchmark source includes the adapter's headers only, and
// times the trade library's order path through these beside its own.
#ifndef HUX_BENCH_LOOPBACK_H
#define HUX_BENCH_LOOPBACK_H

#include <string>
#include <vector>

namespace hux_sim {
class sim_trade_server;
}

namespace hux_bench {

// The environment's simulated server, the environment being set up first
// when it does not exist yet; nullptr, with the reason in `why`, when it
// could not be set up.
hux_sim::sim_trade_server* loopback_server(std::string* why);

// One order round trip as R1 times it: MVHUX_EnterOrder of the trade library
// -> server -> accept callback -> this thread; and the raw client's send()
// -> server -> its reader -> this thread. Nanoseconds, or -1 when the order
// failed or no accept came.
double loopback_library_round_trip();
double loopback_raw_round_trip();

// As R2: a batch of MVHUX_EnterOrder calls of the trade library, sent back
// to back and timed together, then (untimed) their accepts awaited. The mean
// nanoseconds per order, or -1 on a failure.
double loopback_library_send_batch();

// Declared in bench_env.h as well, which the adapter's source cannot include.
double percentile(const std::vector<double>& sorted, double p);

// The adapter benchmarks' environment, released by main before the loopback
// environment whose server it is logged on to.
void release_adapter_api_env();

}  // namespace hux_bench

#endif

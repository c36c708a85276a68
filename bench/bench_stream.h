// The receive benchmarks' stream, shared by the trade library's dispatch
// benchmark and the adapter's: accepts, executions and symbol status reports
// in turn, encoded by the simulated server. Neither library's records
// appear here, so both benchmark sources may include it.
#ifndef HUX_BENCH_STREAM_H
#define HUX_BENCH_STREAM_H

#include <cstddef>
#include <vector>

namespace hux_bench {

const size_t DISPATCH_MESSAGES = 1000000;

// DISPATCH_MESSAGES answers: a 1010 accept, a 1014 execution and a 1086
// symbol status report, in turn.
std::vector<unsigned char> mixed_answer_stream();

// The adapter benchmark's long-lived environment, released by main.
void release_adapter_env();

}  // namespace hux_bench

#endif

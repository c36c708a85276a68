// hux-bench: the latency figures of the order and receive paths, and the
// TCP flow receiver's throughput, each measured beside its baseline in the
// same run.
//
//   hux-bench [--details=FILE] [Google Benchmark flags]
//
// Google Benchmark's own lines (every repetition of every benchmark) go to
// standard output, or to FILE with --details. The figure table follows on
// standard output: one line per figure with the median over the repetitions,
// its baseline, their ratio, the nanoseconds the library adds and the target.
// The loopback benchmarks alternate each figure with its baseline inside one
// benchmark; the others are separate benchmarks, so run with
// --benchmark_repetitions=N and --benchmark_enable_random_interleaving=true
// to alternate those too, as bench/run does. The program puts the driver
// shim (built beside it) in LD_PRELOAD and runs itself again when it is not
// there yet.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_env.h"
#include "bench/bench_loopback.h"
#include "bench/bench_stream.h"
#include "bench/bench_table.h"
#include "tests/support/netns_pair.h"

namespace {

using hux_bench::NS_PER_ITEM;

const std::vector<hux_bench::figure_row> FIGURES = {
    {"R1 order round trip p50 (EnterOrder->accept)", "BM_R1_RoundTrip", "p50_ns", "raw socket client, p50",
     "BM_R1_RoundTrip", "raw_p50_ns", hux_bench::TARGET_RATIO_MAX, 1.10},
    {"R1 order round trip p99", "BM_R1_RoundTrip", "p99_ns", "raw socket client, p99", "BM_R1_RoundTrip",
     "raw_p99_ns", hux_bench::TARGET_RATIO_MAX, 1.10},
    {"R1 order round trip p99.9", "BM_R1_RoundTrip", "p99.9_ns", "raw socket client, p99.9", "BM_R1_RoundTrip",
     "raw_p99.9_ns", hux_bench::TARGET_RATIO_MAX, 1.50},
    {"R1 order round trip p99.99", "BM_R1_RoundTrip", "p99.99_ns", "raw socket client, p99.99", "BM_R1_RoundTrip",
     "raw_p99.99_ns", hux_bench::TARGET_NONE, 0},
    {"R1 busy poll p50", "BM_R1_RoundTripBusyPoll", "p50_ns", "raw socket client, busy poll, p50",
     "BM_R1_RoundTripBusyPoll", "raw_p50_ns", hux_bench::TARGET_NONE, 0},
    {"R1 busy poll p99", "BM_R1_RoundTripBusyPoll", "p99_ns", "raw socket client, busy poll, p99",
     "BM_R1_RoundTripBusyPoll", "raw_p99_ns", hux_bench::TARGET_NONE, 0},
    {"R1 busy poll p99.9", "BM_R1_RoundTripBusyPoll", "p99.9_ns", "raw socket client, busy poll, p99.9",
     "BM_R1_RoundTripBusyPoll", "raw_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"R1 busy poll p99.99", "BM_R1_RoundTripBusyPoll", "p99.99_ns", "raw socket client, busy poll, p99.99",
     "BM_R1_RoundTripBusyPoll", "raw_p99.99_ns", hux_bench::TARGET_NONE, 0},
    {"R2 send path: MVHUX_EnterOrder per order", "BM_R2_SendPath", "ns_per_order", "bare send() of 100 bytes",
     "BM_R2_SendPath", "bare_ns_per_order", hux_bench::TARGET_RATIO_MAX, 1.20},
    {"AR1 adapter EnterOrder->accept p50", "BM_AR1_AdapterRoundTrip", "p50_ns",
     "trade library (R1), p50", "BM_AR1_AdapterRoundTrip", "trade_p50_ns", hux_bench::TARGET_RATIO_MAX,
     1.05},
    {"AR1 adapter EnterOrder->accept p99", "BM_AR1_AdapterRoundTrip", "p99_ns", "trade library (R1), p99",
     "BM_AR1_AdapterRoundTrip", "trade_p99_ns", hux_bench::TARGET_NONE, 0},
    {"AR1 adapter EnterOrder->accept p99.9", "BM_AR1_AdapterRoundTrip", "p99.9_ns", "trade library (R1), p99.9",
     "BM_AR1_AdapterRoundTrip", "trade_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"AR1 adapter EnterOrder->accept p50", "BM_AR1_AdapterRoundTrip", "p50_ns", "raw socket client, p50",
     "BM_AR1_AdapterRoundTrip", "raw_p50_ns", hux_bench::TARGET_NONE, 0},
    {"AR1 adapter EnterOrder->accept p99", "BM_AR1_AdapterRoundTrip", "p99_ns", "raw socket client, p99",
     "BM_AR1_AdapterRoundTrip", "raw_p99_ns", hux_bench::TARGET_NONE, 0},
    {"AR1 adapter EnterOrder->accept p99.9", "BM_AR1_AdapterRoundTrip", "p99.9_ns", "raw socket client, p99.9",
     "BM_AR1_AdapterRoundTrip", "raw_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"AR2 adapter send path, per EnterOrder", "BM_AR2_AdapterSendPath", "ns_per_order", "trade library (R2)",
     "BM_AR2_AdapterSendPath", "trade_ns_per_order", hux_bench::TARGET_RATIO_MAX, 1.05},
    {"AR2 adapter send path, per EnterOrder", "BM_AR2_AdapterSendPath", "ns_per_order",
     "bare send(), its 100 bytes", "BM_AR2_AdapterSendPath", "bare_ns_per_order", hux_bench::TARGET_NONE, 0},
    {"AR3 EnterMultiOrders(16)->16th accept p50", "BM_AR3_AdapterMultiOrders", "multi_p50_ns",
     "16 EnterOrder calls, p50", "BM_AR3_AdapterMultiOrders", "single_p50_ns", hux_bench::TARGET_NONE, 0},
    {"AR3 EnterMultiOrders(16)->16th accept p99", "BM_AR3_AdapterMultiOrders", "multi_p99_ns",
     "16 EnterOrder calls, p99", "BM_AR3_AdapterMultiOrders", "single_p99_ns", hux_bench::TARGET_NONE, 0},
    {"R3 encode new order (BuildNewOrder)", "BM_R3_BuildNewOrder", NS_PER_ITEM, "memcpy of 100 bytes",
     "BM_R3_Memcpy100", NS_PER_ITEM, hux_bench::TARGET_RATIO_MAX, 3.0},
    {"R4 dispatch per message (ProcReceiveMsg)", "BM_R4_Dispatch", NS_PER_ITEM, "bare cut loop, per message",
     "BM_R4_BareCutLoop", NS_PER_ITEM, hux_bench::TARGET_NS_MAX, 30},
    {"D1 adapter dispatch per message (ProcReceiveMsg)", "BM_D1_AdapterDispatch", NS_PER_ITEM,
     "the trade library's, same bytes", "BM_R4_Dispatch", NS_PER_ITEM, hux_bench::TARGET_RATIO_MAX, 1.10},
    {"R5 send path, logger on", "BM_R5_SendPathLogger", "logger_on_ns_per_order", "the same, logger off",
     "BM_R5_SendPathLogger", "logger_off_ns_per_order", hux_bench::TARGET_NONE, 0},
    {"B1 ef_vi ctpio_send, 100 bytes, p50", "BM_B1_CtpioSend", "p50_ns", "raw AF_PACKET sendto of the frame, p50",
     "BM_B1_CtpioSend", "raw_p50_ns", hux_bench::TARGET_RATIO_MAX, 1.10},
    {"B1 ef_vi ctpio_send p99", "BM_B1_CtpioSend", "p99_ns", "raw AF_PACKET sendto, p99", "BM_B1_CtpioSend",
     "raw_p99_ns", hux_bench::TARGET_NONE, 0},
    {"B1 ef_vi ctpio_send p99.9", "BM_B1_CtpioSend", "p99.9_ns", "raw AF_PACKET sendto, p99.9", "BM_B1_CtpioSend",
     "raw_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"B2 ef_vi frame build (lengths, copy, checksum)", "BM_B2_EfviFrame", NS_PER_ITEM, "memcpy of 100 bytes into the slot",
     "BM_B2_Memcpy100Slot", NS_PER_ITEM, hux_bench::TARGET_NS_ADDED_MAX, 10},
    {"B2 ExaNIC new-order frame (copy, UDP checksum)", "BM_B2_ExanicNewOrder", NS_PER_ITEM,
     "memcpy of 100 bytes into the slot", "BM_B2_Memcpy100Slot", NS_PER_ITEM, hux_bench::TARGET_NS_ADDED_MAX, 40},
    {"R6 round trip p50, ef_vi CTPIO channel", "BM_R6_EfviRoundTrip", "p50_ns",
     "kernel UDP channel, p50", "BM_R6_EfviRoundTrip", "kernel_p50_ns", hux_bench::TARGET_RATIO_MAX, 1.20},
    {"R6 round trip p99, ef_vi CTPIO", "BM_R6_EfviRoundTrip", "p99_ns", "kernel UDP channel, p99",
     "BM_R6_EfviRoundTrip", "kernel_p99_ns", hux_bench::TARGET_NONE, 0},
    {"R6 round trip p99.9, ef_vi CTPIO", "BM_R6_EfviRoundTrip", "p99.9_ns", "kernel UDP channel, p99.9",
     "BM_R6_EfviRoundTrip", "kernel_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"R7 round trip p50, ExaNIC channel", "BM_R7_ExanicRoundTrip", "p50_ns", "kernel UDP channel, p50",
     "BM_R7_ExanicRoundTrip", "kernel_p50_ns", hux_bench::TARGET_RATIO_MAX, 1.20},
    {"R7 round trip p99, ExaNIC", "BM_R7_ExanicRoundTrip", "p99_ns", "kernel UDP channel, p99",
     "BM_R7_ExanicRoundTrip", "kernel_p99_ns", hux_bench::TARGET_NONE, 0},
    {"R7 round trip p99.9, ExaNIC", "BM_R7_ExanicRoundTrip", "p99.9_ns", "kernel UDP channel, p99.9",
     "BM_R7_ExanicRoundTrip", "kernel_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"R8 round trip p50, TCPDirect plug-in TCP", "BM_R8_PlugInTcpRoundTrip", "p50_ns", "epoll TCP client, p50",
     "BM_R8_PlugInTcpRoundTrip", "kernel_p50_ns", hux_bench::TARGET_RATIO_MAX, 1.20},
    {"R8 round trip p99, plug-in TCP", "BM_R8_PlugInTcpRoundTrip", "p99_ns", "epoll TCP client, p99",
     "BM_R8_PlugInTcpRoundTrip", "kernel_p99_ns", hux_bench::TARGET_NONE, 0},
    {"R8 round trip p99.9, plug-in TCP", "BM_R8_PlugInTcpRoundTrip", "p99.9_ns", "epoll TCP client, p99.9",
     "BM_R8_PlugInTcpRoundTrip", "kernel_p99.9_ns", hux_bench::TARGET_NONE, 0},
    {"F1 TCP flow receiver, reordering on", "BM_F1_TcpQuoteReorder", "bytes_per_s",
     "kernel client recv, same flow", "BM_F1_TcpQuoteReorder", "client_bytes_per_s", hux_bench::TARGET_RATIO_MIN,
     0.9, hux_bench::UNIT_BYTES_PER_S, "bytes_missing", "bytes missing"},
    {"F1 reordering on: resynchronisations", "BM_F1_TcpQuoteReorder", "resyncs", "-", nullptr, nullptr,
     hux_bench::TARGET_NONE, 0, hux_bench::UNIT_COUNT},
    {"F1 reordering on: packet-socket drops", "BM_F1_TcpQuoteReorder", "socket_drops", "-", nullptr, nullptr,
     hux_bench::TARGET_NONE, 0, hux_bench::UNIT_COUNT},
    {"F1 TCP flow receiver, reordering off", "BM_F1_TcpQuoteInOrder", "bytes_per_s",
     "kernel client recv, same flow", "BM_F1_TcpQuoteInOrder", "client_bytes_per_s", hux_bench::TARGET_RATIO_MIN,
     0.9, hux_bench::UNIT_BYTES_PER_S, "bytes_missing", "bytes missing"},
    {"F1 reordering off: resynchronisations", "BM_F1_TcpQuoteInOrder", "resyncs", "-", nullptr, nullptr,
     hux_bench::TARGET_NONE, 0, hux_bench::UNIT_COUNT},
    {"F1 reordering off: packet-socket drops", "BM_F1_TcpQuoteInOrder", "socket_drops", "-", nullptr, nullptr,
     hux_bench::TARGET_NONE, 0, hux_bench::UNIT_COUNT},
};

// The session round trips over the bypass channels need the driver shim in
// front of the C library's ioctl. Without it in LD_PRELOAD the program runs
// itself again with the shim added, once; when that cannot be done it goes
// on, and those rows find no card.
void preload_driver_shim(char** argv) {
    const char* shim = HUX_DRIVER_SHIM_PATH;
    const char* preload = getenv("LD_PRELOAD");
    if ((preload && strstr(preload, shim)) || getenv("HUX_BENCH_PRELOADED") || access(shim, R_OK) != 0) return;
    std::string value = shim;
    if (preload && *preload) value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    setenv("HUX_BENCH_PRELOADED", "1", 1);
    execv("/proc/self/exe", argv);
    fprintf(stderr, "hux-bench: cannot run again with %s preloaded: %s\n", shim, strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
    preload_driver_shim(argv);
    // Our own flag first; Google Benchmark refuses flags it does not know.
    std::string details;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (strncmp(argv[i], "--details=", 10) == 0)
            details = argv[i] + 10;
        else
            args.push_back(argv[i]);
    }
    // The kernel-bypass benchmarks need the namespace pair, made before any
    // thread starts (root only; they are skipped without it).
    hux_test::netns_setup();
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    hux_bench::figure_reporter reporter;
    std::ofstream details_file;
    if (!details.empty()) {
        details_file.open(details);
        if (!details_file) {
            fprintf(stderr, "hux-bench: cannot write %s\n", details.c_str());
            return 1;
        }
        reporter.SetOutputStream(&details_file);
        reporter.SetErrorStream(&details_file);
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    hux_bench::release_adapter_api_env();  // logged on to the loopback environment's server
    hux_bench::release_loopback_env();
    hux_bench::release_bypass_env();
    hux_bench::release_bypass_session_env();
    hux_bench::release_dispatch_env();
    hux_bench::release_adapter_env();
    benchmark::Shutdown();

    printf("\nEach figure is the median over its repetitions; its baseline ran in the same process.\n"
           "R1, R2, R5, R6-R8 and AR1-AR3 alternate figure and baseline inside each repetition: their ratio\n"
           "and added time are the medians of the per-repetition ratios and differences.\n"
           "F1 runs one 50 MB flow per repetition: the receiver's rate and the kernel client's, each from its\n"
           "first byte to its last, are taken from the same flow.\n");
    hux_bench::print_figure_table(stdout, reporter, FIGURES);
    return 0;
}

// Benchmarks of the kernel-bypass senders over the stand-ins, on the veth
// pair between two network namespaces that main() enters (root only; without
// it they are skipped):
// - B1: ctpio_send of a 100-byte order against a raw AF_PACKET sendto of the
//   same 142-byte frame on the same interface, each send timed on its own,
//   the two alternating in blocks within every iteration;
// - B2: building the frame alone (lengths, payload copy, checksum) against a
//   plain 100-byte memcpy into the same place: the ef_vi CTPIO frame and the
//   ExaNIC new-order frame.
// The stand-in puts a CTPIO frame on the wire with one sendto on an AF_PACKET
// socket, so B1's ratio is what the sender adds to that send: the frame
// build, the fallback post and the completion bookkeeping.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_env.h"
#include "bypass/mv_ef_vi_sender.h"
#include "bypass/udp_frame.h"
#include "tests/support/netns_pair.h"

namespace hux_bench {

namespace {

const unsigned short PEER_PORT = 31001;
const unsigned short LOCAL_PORT = 31000;
const int ORDER_LEN = 100;
const int BLOCK = 500;  // sends of one kind in a row
const unsigned char PEER_MAC[6] = {0x02, 0, 0, 0, 0, 2};
const unsigned char CLIENT_MAC[6] = {0x02, 0, 0, 0, 0, 1};

long long now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// The sender set up once on the client end, the raw socket beside it, and a
// peer socket that takes the datagrams (never read: the kernel drops what
// does not fit, and no port-unreachable answers come back).
struct bypass_env {
    bool ready = false;
    std::string error;
    ef_vi_udp_sender sender;
    int raw = -1;
    int sink = -1;
    sockaddr_ll raw_to{};
    unsigned char frame[ORDER_LEN + 42];
    char order[ORDER_LEN];

    bypass_env() {
        if (!hux_test::netns_ready()) {
            error = "no network namespaces (needs root): " + hux_test::netns_missing();
            return;
        }
        sink = hux_test::peer_udp_socket(PEER_PORT);
        client_server_info info;
        memset(&info, 0, sizeof info);
        strcpy(info.server_ip, hux_test::PEER_IP);
        info.server_port = PEER_PORT;
        strcpy(info.local_ip, hux_test::CLIENT_IP);
        info.local_port = LOCAL_PORT;
        const std::string& ifname = hux_test::netns().client_if;
        if (sender.init(info, ifname.c_str(), "sfc", nullptr, nullptr) != 0) {
            error = "ef_vi_udp_sender::init failed";
            return;
        }
        for (int i = 0; i < ORDER_LEN; ++i) order[i] = static_cast<char>(i);
        // The frame the sender put on the wire, for the raw socket to repeat.
        const int slot = sender.slot_index();
        if (sender.ctpio_send(order, ORDER_LEN, false) != ORDER_LEN) {
            error = "ctpio_send failed";
            return;
        }
        memcpy(frame, sender.slot(slot) + ef_vi_udp_sender::FRAME_OFFSET, sizeof frame);
        raw = socket(AF_PACKET, SOCK_RAW, 0);
        raw_to.sll_family = AF_PACKET;
        raw_to.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
        raw_to.sll_halen = 6;
        memcpy(raw_to.sll_addr, frame, 6);
        if (raw < 0 || bind(raw, reinterpret_cast<sockaddr*>(&raw_to), sizeof raw_to) != 0) {
            error = "raw AF_PACKET socket failed";
            return;
        }
        ready = true;
    }
    ~bypass_env() {
        sender.destory();
        if (raw >= 0) close(raw);
        if (sink >= 0) close(sink);
    }
};

std::unique_ptr<bypass_env> g_bypass;

bypass_env* bypass(benchmark::State& state) {
    if (!g_bypass) g_bypass.reset(new bypass_env);
    if (!g_bypass->ready) {
        state.SkipWithError(g_bypass->error.c_str());
        return nullptr;
    }
    return g_bypass.get();
}

void tails(benchmark::State& state, std::vector<double>& library, std::vector<double>& raw) {
    std::sort(library.begin(), library.end());
    std::sort(raw.begin(), raw.end());
    const struct {
        const char* name;
        double p;
    } points[] = {{"p50", 0.50}, {"p99", 0.99}, {"p99.9", 0.999}};
    for (const auto& t : points) {
        state.counters[std::string(t.name) + "_ns"] = percentile(library, t.p);
        state.counters[std::string("raw_") + t.name + "_ns"] = percentile(raw, t.p);
    }
}

// ---------------------------------------------------------------- B1

void BM_B1_CtpioSend(benchmark::State& state) {
    bypass_env* env = bypass(state);
    if (!env) return;
    std::vector<double> library, raw;
    library.reserve(static_cast<size_t>(state.max_iterations) * BLOCK);
    raw.reserve(static_cast<size_t>(state.max_iterations) * BLOCK);
    bool library_first = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == library_first) {
                for (int i = 0; i < BLOCK; ++i) {
                    const long long t0 = now_ns();
                    const int n = env->sender.ctpio_send(env->order, ORDER_LEN, false);
                    library.push_back(static_cast<double>(now_ns() - t0));
                    if (n != ORDER_LEN) state.SkipWithError("ctpio_send failed");
                }
            } else {
                for (int i = 0; i < BLOCK; ++i) {
                    const long long t0 = now_ns();
                    const ssize_t n = sendto(env->raw, env->frame, sizeof env->frame, 0,
                                             reinterpret_cast<sockaddr*>(&env->raw_to), sizeof env->raw_to);
                    raw.push_back(static_cast<double>(now_ns() - t0));
                    if (n != static_cast<ssize_t>(sizeof env->frame)) state.SkipWithError("raw sendto failed");
                }
            }
        }
        library_first = !library_first;
    }
    tails(state, library, raw);
}
BENCHMARK(BM_B1_CtpioSend)->Iterations(40)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- B2

// Building the CTPIO frame of a 100-byte order in a slot, against copying the
// payload alone into the same place. Items are frames.
void BM_B2_EfviFrame(benchmark::State& state) {
    alignas(64) unsigned char slot[2048] = {};
    char order[ORDER_LEN];
    for (int i = 0; i < ORDER_LEN; ++i) order[i] = static_cast<char>(i * 7);
    hux_bypass::build_udp_header(slot + 8, PEER_MAC, CLIENT_MAC, htonl(0x0a4d0001), htonl(0x0a4d0002), LOCAL_PORT,
                                 PEER_PORT);
    const uint32_t header_sum = hux_bypass::ipv4_header_sum(slot + 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(order);
        hux_bypass::fill_efvi_frame(slot + 8, header_sum, order, ORDER_LEN, true);
        benchmark::DoNotOptimize(slot);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_B2_EfviFrame)->UseRealTime();

void BM_B2_Memcpy100Slot(benchmark::State& state) {
    alignas(64) unsigned char slot[2048] = {};
    char order[ORDER_LEN];
    for (int i = 0; i < ORDER_LEN; ++i) order[i] = static_cast<char>(i * 7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(order);
        memcpy(slot + 8 + 42, order, ORDER_LEN);
        benchmark::DoNotOptimize(slot);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_B2_Memcpy100Slot)->UseRealTime();

// The ExaNIC new-order frame: the headers and their IPv4 checksum are fixed,
// so a send copies the payload and computes the UDP checksum.
void BM_B2_ExanicNewOrder(benchmark::State& state) {
    alignas(64) unsigned char frame[42 + 2048] = {};
    char order[ORDER_LEN];
    for (int i = 0; i < ORDER_LEN; ++i) order[i] = static_cast<char>(i * 7);
    hux_bypass::build_udp_header(frame, PEER_MAC, CLIENT_MAC, htonl(0x0a4d0001), htonl(0x0a4d0002), LOCAL_PORT,
                                 PEER_PORT);
    const uint32_t pseudo = hux_bypass::pseudo_header_sum(frame, ORDER_LEN + 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(order);
        hux_bypass::fill_fixed_frame(frame, pseudo, order, ORDER_LEN);
        benchmark::DoNotOptimize(frame);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_B2_ExanicNewOrder)->UseRealTime();

}  // namespace

void release_bypass_env() { g_bypass.reset(); }

}  // namespace hux_bench

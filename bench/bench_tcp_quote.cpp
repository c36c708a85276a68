// F1: the TCP flow receiver's throughput on a live flow (root only; without
// namespaces the rows are not measured, with the reason).
//
// Namespaces A and B joined by veth (tests/support/tcp_flow_netns.h): B's
// kernel server sends a 50 MB flow of 64-bit counters to A's kernel client,
// which reads it with plain recv() calls. The receiver watches A's end with
// the client's address and port, on its own CPU; the server and the client
// share another. Its sink copies every delivery into a 4 MiB ring made by
// mmap_ringbuff, as an application would, and checks the copy against the
// counters. One flow per repetition, with reordering on (one benchmark) and
// off (the other); each figure is
// - the receiver's bytes per second, from its first delivered byte to its
//   last, beside the client's own rate (its first to last recv) on the same
//   flow: the ratio says whether the receiver keeps up with the kernel;
// - the resynchronisations (1 when nothing was lost: the first delivery);
// - the frames the stand-in's packet socket lost (its receive buffer full).
// A repetition where some byte of the flow was not delivered, or not where
// it belongs, is reported as "bytes missing".
#include <benchmark/benchmark.h>

#include <endian.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "hux_tcp_quote.h"
#include "tests/support/tcp_flow_netns.h"

#ifdef HUX_BENCH_STANDINS
#include "bypass/standin/standin_efvi.h"
#endif

namespace hux_bench {

namespace {

const std::uint64_t FLOW_BYTES = 50000000;  // a multiple of 8: whole counters
const std::uint64_t COPY_RING = 4u << 20;

// How long the receiver may take, after the client read the last byte, to
// deliver it too, in ms: HUX_F1_DRAIN_MS, else 5000.
long drain_timeout_ms() {
    if (const char* v = std::getenv("HUX_F1_DRAIN_MS")) {
        const long ms = std::strtol(v, nullptr, 10);
        if (ms > 0) return ms;
    }
    return 5000;
}

std::int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// How many of the n bytes at p match the flow from `offset` on before the
// first that does not: hux_test::flow_match, a counter compared at a time
// (the check runs on the receiver's thread, inside its budget per frame).
std::size_t pattern_match(std::uint64_t offset, const char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i < n && (offset + i) % 8 != 0; ++i) {
        if (static_cast<std::uint8_t>(p[i]) != hux_test::flow_byte(offset + i)) return i;
    }
    for (std::uint64_t counter = (offset + i) / 8; n - i >= 8; i += 8, ++counter) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (le64toh(word) != counter) break;
    }
    return i + hux_test::flow_match(offset + i, p + i, n - i);
}

// The application's side: copies each delivery into the ring and checks it
// against the flow's counters. A resynchronisation's bytes are located in
// the flow (they carry whole counters), so a gap shows as bytes never
// checked. Runs on the receiver's thread; read the results after close().
class flow_sink : public i_tcp_quote_event_new {
public:
    flow_sink(char* ring, std::uint64_t total) : m_ring(ring), m_total(total) {}

    void on_data(const char* data, unsigned int len) override {
        const std::int64_t t = now_ns();
        if (m_delivered == 0) m_first_ns = t;
        m_last_ns = t;
        m_delivered += len;
        while (len > 0) {
            const unsigned int piece = static_cast<unsigned int>(std::min<std::uint64_t>(len, COPY_RING));
            char* copy = m_ring + m_ring_pos;
            std::memcpy(copy, data, piece);  // the ring's second mapping takes what runs past its end
            m_ring_pos = (m_ring_pos + piece) % COPY_RING;
            check(copy, piece);
            data += piece;
            len -= piece;
        }
        if (m_next >= m_total && !m_done) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
            m_reached_end.notify_all();
        }
    }

    const char* on_resync(const char* data, unsigned int len, unsigned int*) override {
        ++m_resyncs;
        const long long at = hux_test::flow_offset_of(data, len, m_total / 8);
        m_located = at >= 0;
        if (m_located) m_next = static_cast<std::uint64_t>(at);
        return data;  // all of it, from the first byte
    }

    void on_log(int level, const char* format, ...) override {
        if (level != TCP_QUOTE_LOG_ERROR) return;
        if (m_errors++ == 0) {
            va_list args;
            va_start(args, format);
            std::vsnprintf(m_first_error, sizeof m_first_error, format, args);
            va_end(args);
        }
    }

    // Waits until a delivery reached the flow's end; false at the timeout.
    bool wait_end(long timeout_ms) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_reached_end.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return m_done; });
    }

    std::uint64_t delivered() const { return m_delivered; }
    std::uint64_t missing() const { return m_total - m_good; }
    std::uint64_t repeated() const { return m_repeated; }
    long resyncs() const { return m_resyncs; }
    long errors() const { return m_errors; }
    const char* first_error() const { return m_first_error; }
    // From the first delivered byte to the last; 0 with fewer than two deliveries.
    std::int64_t span_ns() const { return m_last_ns - m_first_ns; }

private:
    // `n` bytes delivered at m_next: those that match the flow there count
    // once each (up to the first that does not), bytes already counted are
    // repeats.
    void check(const char* p, std::size_t n) {
        if (!m_located) return;  // nothing to compare with until the next resynchronisation
        const std::uint64_t from = m_next;
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_total - std::min(from, m_total)));
        const std::uint64_t matched = pattern_match(from, p, room);
        if (from < m_high) m_repeated += std::min<std::uint64_t>(m_high, from + n) - from;
        if (from + matched > m_high) {
            m_good += from + matched - std::max(from, m_high);
            m_high = from + matched;
        }
        m_next = from + n;
        if (matched < n) m_located = false;
    }

    char* m_ring;
    const std::uint64_t m_total;
    std::uint64_t m_ring_pos = 0;
    std::uint64_t m_next = 0;      // the flow's offset of the next delivered byte
    bool m_located = false;        // m_next is known
    std::uint64_t m_high = 0;      // bytes below this offset were counted
    std::uint64_t m_good = 0;      // bytes delivered once, each the flow's
    std::uint64_t m_repeated = 0;
    std::uint64_t m_delivered = 0;
    std::int64_t m_first_ns = 0, m_last_ns = 0;
    long m_resyncs = 0;
    long m_errors = 0;
    char m_first_error[160] = "";
    std::mutex m_mutex;
    std::condition_variable m_reached_end;
    bool m_done = false;
};

struct ring_deleter {
    void operator()(char* base) const { unmmap_ringbuff(base, COPY_RING); }
};

struct receiver_deleter {
    void operator()(i_tcp_quote_new* receiver) const { delete receiver; }
};

void copy_text(char* to, std::size_t room, const std::string& text) {
    std::snprintf(to, room, "%s", text.c_str());
}

// One flow with the receiver on it; false with the reason in *why.
bool run_flow(benchmark::State& state, const hux_test::flow_netns& net, bool reorder, int receiver_cpu, int flow_cpu,
              char* ring, std::string* why) {
    hux_test::flow_options options;
    options.counters = FLOW_BYTES / 8;
    options.cpu = flow_cpu;
    options.check = false;  // the client's plain recv() loop; the receiver's sink checks the bytes
    hux_test::tcp_flow flow(net, options);
    if (!flow.ok()) {
        *why = "the kernel flow: " + flow.error();
        return false;
    }
    flow_sink sink(ring, flow.bytes());
    std::unique_ptr<i_tcp_quote_new, receiver_deleter> receiver(i_tcp_quote_new::create_tcp_quote());
    if (!receiver) {
        *why = "create_tcp_quote gave no receiver";
        return false;
    }
    sock_tcp_param_new param;
    std::memset(&param, 0, sizeof param);
    copy_text(param.local_ip, sizeof param.local_ip, hux_test::FLOW_A_IP);
    param.local_port = flow.client_port();
    copy_text(param.remote_ip, sizeof param.remote_ip, hux_test::FLOW_B_IP);
    param.remote_port = flow.server_port();
    copy_text(param.m_eth_name, sizeof param.m_eth_name, net.if_a());
    param.cpu = receiver_cpu;

#ifdef HUX_BENCH_STANDINS
    hux_standin_efvi_set_rx_drop(0, 0);  // every frame reaches the receiver
    const long drops_before = hux_standin_efvi_rx_socket_drops();
#endif
    // The card's receive queue opens in A, and the receive thread starts there.
    bool started = false;
    hux_test::run_in(net.ns_a(), [&] { started = receiver->init(param, &sink, reorder); });
    if (!started) {
        *why = "the receiver's init refused";
        return false;
    }
    flow.start();
    const hux_test::flow_result& result = flow.wait();
    // The last bytes reach the receiver about when they reach the client;
    // a gap at the end leaves it short of the end until the timeout.
    sink.wait_end(result.complete ? drain_timeout_ms() : 0);
    receiver->close();
    if (!result.complete) {
        *why = "the kernel flow: " + result.error;
        return false;
    }
    if (sink.delivered() == 0 || sink.span_ns() <= 0) {
        *why = "the receiver delivered " + std::to_string(sink.delivered()) + " bytes";
        return false;
    }

    const double seconds = static_cast<double>(sink.span_ns()) / 1e9;
    const double client_seconds = static_cast<double>(result.last_byte_ns - result.first_byte_ns) / 1e9;
    state.SetIterationTime(seconds);
    state.counters["bytes_per_s"] = static_cast<double>(sink.delivered()) / seconds;
    state.counters["client_bytes_per_s"] =
        client_seconds > 0 ? static_cast<double>(result.received) / client_seconds : 0;
    state.counters["resyncs"] = static_cast<double>(sink.resyncs());
    state.counters["bytes_missing"] = static_cast<double>(sink.missing());
    state.counters["bytes_repeated"] = static_cast<double>(sink.repeated());
    state.counters["receiver_errors"] = static_cast<double>(sink.errors());
#ifdef HUX_BENCH_STANDINS
    state.counters["socket_drops"] = static_cast<double>(hux_standin_efvi_rx_socket_drops() - drops_before);
#endif
    if (sink.errors() > 0) state.SetLabel(std::string("receiver: ") + sink.first_error());
    return true;
}

void f1_flow(benchmark::State& state, bool reorder) {
    // The receiver busy-polls its own CPU (above 0, or it is not pinned);
    // the server and the client share another.
    const int receiver_cpu = hux_test::spare_cpu();
    const int flow_cpu = hux_test::spare_cpu(receiver_cpu);
    if (receiver_cpu <= 0 || flow_cpu < 0) {
        state.SkipWithError("two CPUs are needed, the receiver's above 0");
        return;
    }
    // New namespaces for every repetition: no state of an earlier flow (the
    // kernel's per-destination TCP metrics) carries over.
    hux_test::flow_netns net;
    if (!net.ready()) {
        state.SkipWithError(("no namespaces for the TCP flow: " + net.missing()).c_str());
        return;
    }
    std::unique_ptr<char, ring_deleter> ring(static_cast<char*>(mmap_ringbuff(COPY_RING)));
    if (!ring) {
        state.SkipWithError("mmap_ringbuff failed");
        return;
    }
    for (auto _ : state) {
        std::string why;
        if (!run_flow(state, net, reorder, receiver_cpu, flow_cpu, ring.get(), &why)) {
            state.SkipWithError(why.c_str());
            break;
        }
    }
}

}  // namespace

void BM_F1_TcpQuoteReorder(benchmark::State& state) { f1_flow(state, true); }
BENCHMARK(BM_F1_TcpQuoteReorder)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_F1_TcpQuoteInOrder(benchmark::State& state) { f1_flow(state, false); }
BENCHMARK(BM_F1_TcpQuoteInOrder)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace hux_bench

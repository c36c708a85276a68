#pragma once

// One kernel TCP flow between two network namespaces, for live tests of a
// receiver that watches the flow's frames on A's interface.
//
//   direct:  A [if_a] ======== [if_b] B
//   relayed: A [if_a] == [if_r_a] R [if_r_b] == [if_b] B
//
// A and B carry the flow's addresses (FLOW_A_IP, FLOW_B_IP, one subnet);
// R has no addresses: a frame_relay (frame_relay.h) passes frames between
// its two ends. Every veth end has segmentation, receive coalescing and
// checksum offloads off (otherwise frames above the MTU appear on the
// wire), IPv6 off (no stray neighbour or router frames) and the MTU asked
// for.
//
// The namespaces have no names in /run/netns: each lives as long as this
// object holds a descriptor of it (O_CLOEXEC), so the kernel removes it,
// with its interfaces, however the process ends (exit, abort, SIGKILL at a
// ctest timeout), and test processes running in parallel never meet. The
// interface names carry the process id; a path for tools outside the
// process is ns_path() (nsenter --net=PATH, ip ... netns PATH).
//
// Threads reach a namespace with setns: run_in() and ns_thread. The process
// itself stays where it is (for tests/bypass programs, in the client
// namespace of netns_pair.h).
//
// B's server sends `counters` 64-bit little-endian counters 0, 1, 2, ... and
// A's client reads the whole flow and checks every byte (flow_byte()). Pin
// both, and the relay, to one CPU: frames that B sends from two CPUs (its
// thread, and softirq when ACKs come in) can overtake each other on veth.
//
// Without root, namespaces, veth, ip or ethtool the topology is not made and
// HUX_NEED_FLOW_NETNS() skips the test naming what is missing;
// HUX_NEED_FLOW_NFT() does the same for the nftables loss rule. With
// HUX_REQUIRE_NETNS=1 (CI) both fail instead.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace hux_test {

// The addresses of A's and B's veth ends (both topologies), on 10.79.0.0/24.
constexpr char const* FLOW_A_IP = "10.79.0.1";
constexpr char const* FLOW_B_IP = "10.79.0.2";

// How long a flow, a relay or a set-up wait may take at most, in ms:
// HUX_FLOW_TIMEOUT_MS, else 60000 or six times the tests' wait (test_wait.h)
// when that is longer.
long flow_timeout_ms();

struct flow_netns_options {
    bool relay = false;  // A - R - B instead of A - B
    int mtu = 1500;      // of every veth end
};

class flow_netns {
public:
    explicit flow_netns(flow_netns_options options = {});
    // Join every thread working in the namespaces (flows, relays) first.
    ~flow_netns();
    flow_netns(const flow_netns&) = delete;
    flow_netns& operator=(const flow_netns&) = delete;

    bool ready() const { return ready_; }
    // Why not ready: what is missing, or the set-up step that failed.
    const std::string& missing() const { return missing_; }
    // Empty when the nft tool is there (the loss rule can be tried).
    const std::string& nft_missing() const { return nft_missing_; }

    bool relayed() const { return options_.relay; }
    int mtu() const { return options_.mtu; }

    // Namespace descriptors, valid while this object lives (-1: none).
    int ns_a() const { return ns_a_; }
    int ns_b() const { return ns_b_; }
    int ns_r() const { return ns_r_; }
    // "/proc/<pid>/fd/<n>" for a descriptor above.
    std::string ns_path(int ns) const;

    const std::string& if_a() const { return if_a_; }      // A's end
    const std::string& if_b() const { return if_b_; }      // B's end
    const std::string& if_r_a() const { return if_r_a_; }  // R's end joined to A (relayed only)
    const std::string& if_r_b() const { return if_r_b_; }  // R's end joined to B (relayed only)

    // Runs `sh -c cmd` in namespace ns (-1: the caller's) and returns its
    // exit status (-1 when it did not exit); its standard output and error
    // go to *out when given.
    int shell(int ns, const std::string& cmd, std::string* out = nullptr) const;

    // The loss rule: in A's netdev ingress hook on if_a, drop a frame whose
    // TCP source port is source_port when `numgen random mod n == 0`, about
    // one in n. The hook runs after taps for every protocol (ETH_P_ALL
    // packet sockets) and before IPv4's (ETH_P_IP packet sockets, A's TCP).
    // Replaces a rule set before; false with the reason in *why.
    bool add_loss_rule(std::uint16_t source_port, unsigned n, std::string* why = nullptr);
    // Removes it; true when none is left.
    bool remove_loss_rule();
    // Frames the rule dropped so far; -1 when there is no rule.
    long loss_rule_drops() const;

private:
    bool fail(const std::string& why);
    bool step(int ns, const std::string& cmd);
    void release();

    flow_netns_options options_;
    bool ready_ = false;
    std::string missing_, nft_missing_;
    int ns_a_ = -1, ns_b_ = -1, ns_r_ = -1;
    std::string if_a_, if_b_, if_r_a_, if_r_b_;
};

// Runs fn on a new thread that joined namespace ns (-1: stays in the
// caller's) and returns when fn has; fn's exception, or a failed setns, is
// thrown here. Sockets made in fn stay in ns whichever thread uses them.
void run_in(int ns, const std::function<void()>& fn);

// A thread that joins namespace ns (-1: none) and CPU cpu (-1: any) and runs
// fn; the destructor joins it.
class ns_thread {
public:
    ns_thread(int ns, int cpu, std::function<void()> fn);
    ~ns_thread() { join(); }
    ns_thread(const ns_thread&) = delete;
    ns_thread& operator=(const ns_thread&) = delete;

    void join();
    // After join(): empty, or why fn did not run or did not return.
    const std::string& error() const { return error_; }
    std::exception_ptr exception() const { return exception_; }

private:
    std::string error_;
    std::exception_ptr exception_;
    std::thread thread_;
};

// Pins the calling thread to cpu; cpu < 0 leaves it as it is. False when
// the kernel refused.
bool pin_this_thread(int cpu);
// A CPU this process may run on other than `avoid`, the highest such; -1
// when there is none.
int spare_cpu(int avoid = -1);

// A file read from a thread in namespace ns: /proc/thread-self/net/... shows
// that namespace's tables. Empty when it cannot be read.
std::string read_in(int ns, const std::string& path);
// A counter of interface ifname in namespace ns (/proc/net/dev): received
// or sent frames. -1 when the interface is not there.
long long link_frames(int ns, const std::string& ifname, bool sent);
// A TCP counter of namespace ns (the "Tcp:" lines of /proc/net/snmp), such as
// "RetransSegs" or "InSegs"; -1 when unknown.
long long tcp_counter(int ns, const std::string& name);

// The flow's bytes: byte `offset` of the counters 0, 1, 2, ... each 8 bytes
// little-endian.
std::uint8_t flow_byte(std::uint64_t offset);
// How many of the n bytes at p match the flow from `offset` on before the
// first that does not (n when all do).
std::size_t flow_match(std::uint64_t offset, const void* p, std::size_t n);
// Where in a flow of `counters` counters the n bytes at p lie: the offset,
// or -1 when they are no slice of it or fewer than 23 bytes. Shorter slices
// can lie in two places (the 15 bytes at 0 are also at 2041: small counters
// shifted by a byte read as counters 256 times larger); 23 bytes always hold
// two whole counters, which no other place of the flow holds side by side.
long long flow_offset_of(const void* p, std::size_t n, std::uint64_t counters);

struct flow_options {
    std::uint64_t counters = 1u << 20;  // 8 MiB
    int cpu = -1;                       // both sides' threads; -1: not pinned
    std::uint16_t server_port = 0;      // B's; 0: chosen by the kernel
    std::uint16_t client_port = 0;      // A's; 0: chosen by the kernel
    std::size_t send_size = 65536;      // bytes per send() in B
    std::size_t recv_size = 65536;      // bytes per recv() in A
    bool check = true;                  // the client checks every byte
    long timeout_ms = flow_timeout_ms();
};

struct flow_result {
    // The client read every byte, each the flow's, then the end, and the
    // server saw the client close.
    bool complete = false;
    std::uint64_t sent = 0, received = 0;
    std::uint64_t first_bad = UINT64_MAX;       // offset of the first wrong byte
    std::int64_t first_byte_ns = 0, last_byte_ns = 0;  // CLOCK_MONOTONIC, at the client's recv
    int server_cpu = -1, client_cpu = -1;              // where each side ran last
    std::string error;                                 // the first failure
};

// The flow B -> A. The constructor makes B's listening socket and A's bound
// client socket, so both ports are known before start() (a receiver can be
// set up for them first).
class tcp_flow {
public:
    tcp_flow(const flow_netns& net, flow_options options = {});
    // Stops a flow still running and joins its threads.
    ~tcp_flow();
    tcp_flow(const tcp_flow&) = delete;
    tcp_flow& operator=(const tcp_flow&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    std::uint16_t server_port() const { return server_port_; }  // the data's TCP source port
    std::uint16_t client_port() const { return client_port_; }  // the data's TCP destination port
    std::uint64_t bytes() const { return options_.counters * 8; }

    // Starts B's server and A's client (once); the deadline runs from here.
    void start();
    // Bytes the client has read so far.
    std::uint64_t received() const { return received_.load(std::memory_order_acquire); }
    // Waits until the client has read `bytes` bytes (or finished); false
    // when timeout_ms passed first.
    bool wait_received(std::uint64_t bytes, long timeout_ms);
    // Waits for both sides to finish (each gives up at the deadline) and
    // returns the outcome.
    const flow_result& wait();

private:
    void run_server();
    void run_client();
    void note_received(std::uint64_t total);
    bool past_deadline() const;

    const flow_netns& net_;
    flow_options options_;
    std::string error_;
    int listen_fd_ = -1, client_fd_ = -1;
    std::uint16_t server_port_ = 0, client_port_ = 0;
    std::int64_t deadline_ns_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> received_{0};
    std::mutex mutex_;
    std::condition_variable progress_;
    bool client_done_ = false;
    bool started_ = false;
    flow_result result_;
    std::string server_error_, client_error_;
    std::unique_ptr<ns_thread> server_, client_;
};

}  // namespace hux_test

// In a test body: go on only when the topology was made.
#define HUX_NEED_FLOW_NETNS(net)                                                         \
    do {                                                                                 \
        if (!(net).ready()) {                                                            \
            if (::getenv("HUX_REQUIRE_NETNS"))                                           \
                FAIL() << "namespaces for the TCP flow required: " << (net).missing();   \
            GTEST_SKIP() << "no namespaces for the TCP flow: " << (net).missing();       \
        }                                                                                \
    } while (0)

// In a test body: go on only when `have` holds, the CPUs the test needs
// (`what` names them); under HUX_REQUIRE_NETNS=1 their lack fails instead.
#define HUX_NEED_FLOW_CPUS(have, what)                                                   \
    do {                                                                                 \
        if (!(have)) {                                                                   \
            if (::getenv("HUX_REQUIRE_NETNS")) FAIL() << "CPUs required: " << (what);    \
            GTEST_SKIP() << (what);                                                      \
        }                                                                                \
    } while (0)

// In a test body: go on only when the topology was made and nft is there.
#define HUX_NEED_FLOW_NFT(net)                                                           \
    do {                                                                                 \
        HUX_NEED_FLOW_NETNS(net);                                                        \
        if (!(net).nft_missing().empty()) {                                              \
            if (::getenv("HUX_REQUIRE_NETNS"))                                           \
                FAIL() << "nftables required: " << (net).nft_missing();                  \
            GTEST_SKIP() << "no nftables: " << (net).nft_missing();                      \
        }                                                                                \
    } while (0)

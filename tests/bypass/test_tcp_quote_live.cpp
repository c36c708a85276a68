// The TCP flow receiver on live flows between namespaces A and B, over the
// ef_vi stand-in watching A's veth: what reaches the application's sink of
// a kernel flow (directly, through the relay's swaps and doubles, under
// nftables loss and under the stand-in's drops), of segments sent out of
// order by hand, of jumbo frames too long for its buffers, and where its
// thread runs.
//
// B's server sends 64-bit counters; the sink copies every delivery, so a
// run of bytes (from one resynchronisation to the next) can be found again
// in the flow. Once a flow is over, B sends one more segment by hand that
// continues it (the marker): the receive thread takes frames in the order
// they came, so when the marker has reached the sink, everything before it
// has been handled.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bypass/standin/standin_efvi.h"
#include "bypass/tcp_quote_new.h"
#include "hux_tcp_quote.h"
#include "tests/support/frame_relay.h"
#include "tests/support/tcp_flow_netns.h"
#include "tests/support/tcp_frames.h"

namespace {

using namespace hux_test;

const std::uint64_t MIB = 1 << 20;
const std::size_t MARKER_LEN = 64;  // 8 counters past the flow's end
const char* const BIND_FORMAT = "tcp_quote_new::on_work_thread [%lu-%lu] bind cpu [%d]";
const char* const DISCARD_FORMAT = "ERROR: discard type=%d\n";

std::uint32_t host_ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return ntohl(a.s_addr);
}

std::vector<std::uint8_t> flow_bytes(std::uint64_t offset, std::size_t n) {
    std::vector<std::uint8_t> b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = flow_byte(offset + i);
    return b;
}

// A TCP segment from B to A's address, sent to every station: A's own TCP
// leaves frames not addressed to its MAC alone, the sniffing receiver sees it.
std::vector<std::uint8_t> segment_to_a(std::uint16_t src_port, std::uint16_t dst_port, std::uint32_t seq,
                                       std::vector<std::uint8_t> payload) {
    tcp_frame f;
    std::memset(f.dst_mac, 0xff, sizeof f.dst_mac);
    f.src_ip = host_ip(FLOW_B_IP);
    f.dst_ip = host_ip(FLOW_A_IP);
    f.src_port = src_port;
    f.dst_port = dst_port;
    f.seq = seq;
    f.payload = std::move(payload);
    return f.bytes();
}

// A packet socket in B that puts frames on B's end (and takes none in).
class b_sender {
public:
    explicit b_sender(const flow_netns& net) {
        run_in(net.ns_b(), [&] {
            fd_ = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
            sockaddr_ll a{};
            a.sll_family = AF_PACKET;
            a.sll_ifindex = static_cast<int>(if_nametoindex(net.if_b().c_str()));
            if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(fd_);
                fd_ = -1;
            }
        });
    }
    ~b_sender() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    // The frames in this order, in one sendmmsg.
    bool send(std::vector<std::vector<std::uint8_t>> frames) {
        std::vector<iovec> iov(frames.size());
        std::vector<mmsghdr> msgs(frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            iov[i] = iovec{frames[i].data(), frames[i].size()};
            msgs[i] = mmsghdr{};
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
        }
        return sendmmsg(fd_, msgs.data(), static_cast<unsigned>(msgs.size()), 0) == static_cast<int>(frames.size());
    }

private:
    int fd_ = -1;
};

// Catches the SYN-ACK that B sends to A's client (again, if it was lost):
// one past its sequence number is the flow's first payload byte.
class syn_watch {
public:
    explicit syn_watch(const flow_netns& net) {
        run_in(net.ns_a(), [&] {
            fd_ = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
            const int size = 4 << 20;
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
            sockaddr_ll a{};
            a.sll_family = AF_PACKET;
            a.sll_protocol = htons(ETH_P_ALL);
            a.sll_ifindex = static_cast<int>(if_nametoindex(net.if_a().c_str()));
            if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(fd_);
                fd_ = -1;
            }
        });
    }
    ~syn_watch() {
        if (fd_ >= 0) close(fd_);
    }
    // From the frames the socket kept (the first ones: the rest overflowed).
    bool first_data_seq(std::uint16_t server_port, std::uint16_t client_port, std::uint32_t* seq) {
        std::vector<unsigned char> f(2048);
        for (;;) {
            const ssize_t n = recv(fd_, f.data(), f.size(), MSG_TRUNC);
            if (n < 0) return false;
            if (n < 54 || f[12] != 0x08 || f[13] != 0x00 || f[23] != 6) continue;
            const unsigned char* tcp = f.data() + 14 + (f[14] & 0x0f) * 4;
            if (((tcp[0] << 8) | tcp[1]) != server_port || ((tcp[2] << 8) | tcp[3]) != client_port) continue;
            if ((tcp[13] & 0x12) != 0x12) continue;  // SYN and ACK
            *seq = ((std::uint32_t{tcp[4]} << 24) | (tcp[5] << 16) | (tcp[6] << 8) | tcp[7]) + 1;
            return true;
        }
    }

private:
    int fd_ = -1;
};

// Copies every delivery and notes where each resynchronisation started a
// run, every log line, and (when asked) the receive thread's CPUs and id at
// its first delivery.
class recording_sink : public i_tcp_quote_event_new {
public:
    struct log_line {
        int level;
        std::string format, text;
    };
    struct snapshot {
        std::vector<char> bytes;
        std::vector<std::size_t> run_starts;  // where each resynchronisation's bytes start
        std::vector<unsigned> data_lengths;   // of every data operation
        std::vector<log_line> logs;
        bool length_in_out_was_len = true;
    };

    void probe_thread() { probe_ = true; }

    void on_data(const char* data, unsigned int len) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (probe_ && !probed_) {
            probed_ = true;
            CPU_ZERO(&cpus_);
            affinity_ok_ = sched_getaffinity(0, sizeof cpus_, &cpus_) == 0;
            tid_ = static_cast<long>(syscall(SYS_gettid));
        }
        s_.bytes.insert(s_.bytes.end(), data, data + len);
        s_.data_lengths.push_back(len);
        changed_.notify_all();
    }
    const char* on_resync(const char* data, unsigned int len, unsigned int* len_in_out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (*len_in_out != len) s_.length_in_out_was_len = false;
        s_.run_starts.push_back(s_.bytes.size());
        return data;
    }
    void on_log(int level, const char* format, ...) override {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::lock_guard<std::mutex> lock(mutex_);
        s_.logs.push_back(log_line{level, format, text});
        changed_.notify_all();
    }

    // Waits until at least `bytes` bytes came; false when timeout_ms passed first.
    bool wait_bytes(std::size_t bytes, long timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return s_.bytes.size() >= bytes; });
    }
    // Waits until the bytes end with `tail`.
    bool wait_tail(const std::vector<std::uint8_t>& tail, long timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
            return s_.bytes.size() >= tail.size() &&
                   std::memcmp(s_.bytes.data() + s_.bytes.size() - tail.size(), tail.data(), tail.size()) == 0;
        });
    }
    snapshot taken() {
        std::lock_guard<std::mutex> lock(mutex_);
        return s_;
    }
    // After the first delivery with probe_thread().
    bool thread_seen(cpu_set_t* cpus, long* tid) {
        std::lock_guard<std::mutex> lock(mutex_);
        *cpus = cpus_;
        *tid = tid_;
        return probed_ && affinity_ok_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    snapshot s_;
    bool probe_ = false, probed_ = false, affinity_ok_ = false;
    cpu_set_t cpus_{};
    long tid_ = 0;
};

sock_tcp_param_new receiver_param(const flow_netns& net, std::uint16_t local_port, std::uint16_t remote_port,
                                  int cpu) {
    sock_tcp_param_new p{};
    std::snprintf(p.local_ip, sizeof p.local_ip, "%s", FLOW_A_IP);
    p.local_port = local_port;
    std::snprintf(p.remote_ip, sizeof p.remote_ip, "%s", FLOW_B_IP);
    p.remote_port = remote_port;
    std::snprintf(p.m_eth_name, sizeof p.m_eth_name, "%s", net.if_a().c_str());
    p.cpu = cpu;
    return p;
}

// init from a thread in A: the interface is looked up and the packet socket
// made in the caller's namespace, and the receive thread starts there.
bool start_in_a(tcp_quote_new& q, const flow_netns& net, sock_tcp_param_new p, i_tcp_quote_event_new* sink,
                bool reorder) {
    bool started = false;
    run_in(net.ns_a(), [&] { started = q.init(p, sink, reorder); });
    return started;
}

// Each run (from one resynchronisation to the next, the first at the first
// byte) is one slice of the flow of `counters` counters, further on than
// the run before it and not overlapping it; the last ends at `end`.
::testing::AssertionResult ordered_slices(const recording_sink::snapshot& s, std::uint64_t counters,
                                          std::uint64_t end) {
    if (s.run_starts.empty() || s.run_starts[0] != 0)
        return ::testing::AssertionFailure() << "the first bytes did not come through a resynchronisation";
    std::uint64_t next = 0;  // where the run before ended
    for (std::size_t i = 0; i < s.run_starts.size(); ++i) {
        const std::size_t from = s.run_starts[i];
        const std::size_t to = i + 1 < s.run_starts.size() ? s.run_starts[i + 1] : s.bytes.size();
        const std::size_t n = to - from;
        const char* p = s.bytes.data() + from;
        long long at = -1;
        if (n >= 23) {
            at = flow_offset_of(p, n, counters);
        } else {
            // Too short to be placed for certain: the first place at or after
            // the run before where it fits.
            for (std::uint64_t o = next; o + n <= counters * 8 && at < 0; ++o)
                if (flow_match(o, p, n) == n) at = static_cast<long long>(o);
        }
        if (n == 0 || at < 0)
            return ::testing::AssertionFailure() << "run " << i << " of " << n << " bytes at " << from
                                                 << " is no slice of the flow";
        if (static_cast<std::uint64_t>(at) < next)
            return ::testing::AssertionFailure() << "run " << i << " starts at flow offset " << at
                                                 << ", before the run before ended (" << next << ")";
        next = static_cast<std::uint64_t>(at) + n;
    }
    if (next != end) return ::testing::AssertionFailure() << "the last run ends at " << next << ", not " << end;
    return ::testing::AssertionSuccess();
}

std::string flow_text(const flow_result& r) {
    std::ostringstream s;
    s << "error '" << r.error << "', " << r.received << " bytes read, " << r.sent << " sent";
    return s.str();
}

bool wait_until(const std::function<bool()>& done, long timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

class TcpQuoteLive : public ::testing::Test {
protected:
    void SetUp() override {
        hux_standin_efvi_reset();
        // The receiver busy-polls its own CPU (2 where there is one); the
        // flow's sides and the relay share another.
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) == 0) {
            for (int cpu : {2, 1, 3, 4, 5, 6, 7}) {
                if (CPU_ISSET(cpu, &set)) {
                    receiver_cpu_ = cpu;
                    break;
                }
            }
        }
        if (receiver_cpu_ > 0) others_cpu_ = spare_cpu(receiver_cpu_);
    }
    void TearDown() override { hux_standin_efvi_reset(); }

    bool two_cpus() const { return receiver_cpu_ > 0 && others_cpu_ >= 0; }

    // A flow of `counters` counters on the others' CPU.
    flow_options flow_on_others(std::uint64_t counters) const {
        flow_options o;
        o.counters = counters;
        o.cpu = others_cpu_;
        return o;
    }

    int receiver_cpu_ = -1, others_cpu_ = -1;
};

#define NEED_TWO_CPUS() HUX_NEED_FLOW_CPUS(two_cpus(), "needs a CPU above 0 for the receiver and one more")

// Sends the marker after a flow: the 64 bytes that would follow its last
// one, from another source port (so no loss rule or relay schedule meets
// it), and waits until the sink has it. It goes twice: the stand-in's drop
// setting may swallow one, and the receiver must drop the second as old.
::testing::AssertionResult send_marker(const flow_netns& net, recording_sink& sink, std::uint16_t to_port,
                                       std::uint32_t flow_end_seq, std::uint64_t flow_len) {
    b_sender b(net);
    if (!b.ok()) return ::testing::AssertionFailure() << "no packet socket in B";
    const std::vector<std::uint8_t> marker = flow_bytes(flow_len, MARKER_LEN);
    const std::vector<std::uint8_t> frame = segment_to_a(7, to_port, flow_end_seq, marker);
    if (!b.send({frame, frame}))
        return ::testing::AssertionFailure() << "the marker was not sent";
    if (!sink.wait_tail(marker, flow_timeout_ms()))
        return ::testing::AssertionFailure() << "the marker did not reach the sink";
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------

TEST_F(TcpQuoteLive, EightMiBArriveByteExactThroughOneResyncAndOtherPortsStayOut) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    NEED_TWO_CPUS();
    for (bool reorder : {false, true}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        hux_standin_efvi_reset();
        tcp_flow flow(net, flow_on_others(MIB));
        // Flows to two other ports of A: one before (it would be the first
        // segment the receiver takes), one beside.
        tcp_flow before(net, flow_on_others(MIB / 8)), beside(net, flow_on_others(MIB / 8));
        ASSERT_TRUE(flow.ok() && before.ok() && beside.ok()) << flow.error() << before.error() << beside.error();
        recording_sink sink;
        tcp_quote_new q;
        ASSERT_TRUE(start_in_a(q, net, receiver_param(net, flow.client_port(), flow.server_port(), receiver_cpu_),
                               &sink, reorder));

        before.start();
        EXPECT_TRUE(before.wait().complete) << flow_text(before.wait());
        syn_watch syn(net);
        flow.start();
        beside.start();
        EXPECT_TRUE(beside.wait().complete) << flow_text(beside.wait());
        const flow_result& r = flow.wait();
        ASSERT_TRUE(r.complete) << flow_text(r);
        std::uint32_t first = 0;
        ASSERT_TRUE(syn.first_data_seq(flow.server_port(), flow.client_port(), &first));
        // In order after the flow's last byte.
        ASSERT_TRUE(send_marker(net, sink, flow.client_port(), first + static_cast<std::uint32_t>(flow.bytes()),
                                flow.bytes()));

        const recording_sink::snapshot s = sink.taken();
        ASSERT_EQ(s.bytes.size(), 8 * MIB + MARKER_LEN);
        EXPECT_EQ(flow_match(0, s.bytes.data(), s.bytes.size()), s.bytes.size());
        EXPECT_EQ(s.run_starts, std::vector<std::size_t>{0});
        EXPECT_TRUE(s.length_in_out_was_len);
        // The receiver saw the other flows' segments too (every segment
        // holds 1448 bytes at most) and left them out.
        EXPECT_GE(hux_standin_efvi_rx_events(), static_cast<long>((8 + 2) * MIB / 1448));
        EXPECT_EQ(hux_standin_efvi_rx_socket_drops(), 0);
        ASSERT_EQ(s.logs.size(), 1u);
        EXPECT_EQ(s.logs[0].format, BIND_FORMAT);
        q.close();
        EXPECT_FALSE(q.running());
    }
}

TEST_F(TcpQuoteLive, RelaySwapsAndDoublesArriveByteExactWithReordering) {
    flow_netns_options relayed;
    relayed.relay = true;
    flow_netns net(relayed);
    HUX_NEED_FLOW_NETNS(net);
    NEED_TWO_CPUS();
    tcp_flow flow(net, flow_on_others(MIB));
    ASSERT_TRUE(flow.ok()) << flow.error();
    relay_schedule plan;
    plan.flow_port = flow.server_port();
    plan.every = 5;
    plan.actions = {relay_action::swap, relay_action::twice};
    frame_relay relay(net, plan, others_cpu_);
    ASSERT_TRUE(relay.ok()) << relay.error();
    syn_watch syn(net);
    recording_sink sink;
    tcp_quote_new q;
    ASSERT_TRUE(start_in_a(q, net, receiver_param(net, flow.client_port(), flow.server_port(), receiver_cpu_), &sink,
                           true));

    flow.start();
    const flow_result& r = flow.wait();
    ASSERT_TRUE(r.complete) << flow_text(r);
    std::uint32_t first = 0;
    ASSERT_TRUE(syn.first_data_seq(flow.server_port(), flow.client_port(), &first));
    ASSERT_TRUE(send_marker(net, sink, flow.client_port(), first + static_cast<std::uint32_t>(flow.bytes()),
                            flow.bytes()));
    relay.stop();
    const relay_counters c = relay.counters();
    EXPECT_GT(c.swaps, 100u);
    EXPECT_GT(c.doubles, 100u);

    const recording_sink::snapshot s = sink.taken();
    // A frame the stand-in's packet socket lost (its thread off the CPU too
    // long on a crowded machine) was taken by A's client all the same and is
    // never sent again: the receiver then gives ordered slices of the flow,
    // short by at most those frames; with no such loss, the whole flow.
    const long lost = hux_standin_efvi_rx_socket_drops();
    if (lost > 0) {
        EXPECT_TRUE(ordered_slices(s, flow.bytes() / 8 + MARKER_LEN / 8, flow.bytes() + MARKER_LEN));
        EXPECT_GE(s.bytes.size() + static_cast<std::size_t>(lost) * 1448, 8 * MIB + MARKER_LEN);
    } else {
        ASSERT_EQ(s.bytes.size(), 8 * MIB + MARKER_LEN);
        EXPECT_EQ(flow_match(0, s.bytes.data(), s.bytes.size()), s.bytes.size());
        EXPECT_EQ(s.run_starts, std::vector<std::size_t>{0});
    }
    q.close();
    EXPECT_EQ(q.flow().listed(), 0u);
}

// A disturbed flow through the receiver in each mode: the sink's runs are
// ordered slices of the flow, and A's client got everything.
class TcpQuoteLoss : public TcpQuoteLive {
protected:
    // disturb() is called with the flow's ports before it starts, undo()
    // once the receiver has handled all of it; the number of
    // resynchronisations is returned.
    std::size_t run(flow_netns& net, bool reorder, const std::function<void(const tcp_flow&)>& disturb,
                    const std::function<void()>& undo) {
        hux_standin_efvi_reset();
        tcp_flow flow(net, flow_on_others(MIB));
        EXPECT_TRUE(flow.ok()) << flow.error();
        if (!flow.ok()) return 0;
        syn_watch syn(net);
        recording_sink sink;
        tcp_quote_new q;
        EXPECT_TRUE(start_in_a(q, net, receiver_param(net, flow.client_port(), flow.server_port(), receiver_cpu_),
                               &sink, reorder));
        disturb(flow);
        flow.start();
        const flow_result& r = flow.wait();
        EXPECT_TRUE(r.complete) << flow_text(r);
        EXPECT_EQ(r.received, flow.bytes());
        std::uint32_t first = 0;
        EXPECT_TRUE(syn.first_data_seq(flow.server_port(), flow.client_port(), &first));
        // At or after the receiver's next expected byte, whatever it missed
        // at the flow's end.
        EXPECT_TRUE(send_marker(net, sink, flow.client_port(), first + static_cast<std::uint32_t>(flow.bytes()),
                                flow.bytes()));
        undo();
        const recording_sink::snapshot s = sink.taken();
        EXPECT_TRUE(ordered_slices(s, flow.bytes() / 8 + MARKER_LEN / 8, flow.bytes() + MARKER_LEN));
        EXPECT_LE(s.bytes.size(), flow.bytes() + MARKER_LEN);
        q.close();
        return s.run_starts.size();
    }
};

TEST_F(TcpQuoteLoss, NftablesLossGivesOrderedSlicesInBothModes) {
    flow_netns net;
    HUX_NEED_FLOW_NFT(net);
    NEED_TWO_CPUS();
    // A's client keeps its window under 64 KiB, so B has less than that in
    // flight when it sends a lost segment again. Without reordering the
    // receiver drops a segment at most 99,999 bytes behind what it took
    // last; one further behind starts a run of its own, before the run it
    // follows.
    std::string out;
    ASSERT_EQ(net.shell(net.ns_a(), "echo '4096 65536 65536' > /proc/sys/net/ipv4/tcp_rmem", &out), 0) << out;
    for (bool reorder : {false, true}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        long dropped = 0;
        const long long retransmitted = tcp_counter(net.ns_b(), "RetransSegs");
        run(
            net, reorder,
            [&](const tcp_flow& flow) {
                std::string why;
                ASSERT_TRUE(net.add_loss_rule(flow.server_port(), 50, &why)) << why;
            },
            [&] {
                dropped = net.loss_rule_drops();
                EXPECT_TRUE(net.remove_loss_rule());
            });
        // Lost where the receiver sniffs and where A's TCP reads: B sent
        // them again.
        EXPECT_GT(dropped, 0);
        EXPECT_GT(tcp_counter(net.ns_b(), "RetransSegs"), retransmitted);
    }
}

TEST_F(TcpQuoteLoss, StandInDropsGiveOrderedSlicesInBothModes) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    NEED_TWO_CPUS();
    for (bool reorder : {false, true}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        long dropped = 0;
        const std::size_t runs = run(
            net, reorder, [&](const tcp_flow& flow) { hux_standin_efvi_set_rx_drop(flow.client_port(), 300); },
            [&] {
                dropped = hux_standin_efvi_rx_knob_drops();
                hux_standin_efvi_set_rx_drop(0, 0);
            });
        // Only the receiver missed them: each left a gap for good, and
        // nothing else made one.
        EXPECT_GT(dropped, 10);
        EXPECT_GE(runs, 2u);
        EXPECT_LE(runs, static_cast<std::size_t>(dropped) + 1);
    }
}

TEST_F(TcpQuoteLive, SegmentsSentOneThreeTwoArriveOneTwoThree) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    NEED_TWO_CPUS();
    const std::uint16_t port = 47011;
    recording_sink sink;
    tcp_quote_new q;
    ASSERT_TRUE(start_in_a(q, net, receiver_param(net, port, 7, receiver_cpu_), &sink, true));
    b_sender b(net);
    ASSERT_TRUE(b.ok());
    const std::uint32_t s = 3000000000u;
    ASSERT_TRUE(b.send({segment_to_a(7, port, s, flow_bytes(0, 100)), segment_to_a(7, port, s + 200, flow_bytes(200, 100)),
                        segment_to_a(7, port, s + 100, flow_bytes(100, 100))}));
    ASSERT_TRUE(sink.wait_bytes(300, flow_timeout_ms()));
    const recording_sink::snapshot got = sink.taken();
    ASSERT_EQ(got.bytes.size(), 300u);
    EXPECT_EQ(flow_match(0, got.bytes.data(), 300), 300u);
    // The first through the resynchronisation operation, then each on its own.
    EXPECT_EQ(got.run_starts, std::vector<std::size_t>{0});
    EXPECT_EQ(got.data_lengths, (std::vector<unsigned>{100, 100, 100}));
    q.close();
    EXPECT_EQ(q.flow().expected(), s + 300);
    EXPECT_EQ(q.flow().listed(), 0u);
}

TEST_F(TcpQuoteLive, JumboFramesAreDiscardedWithALogLineAndBuffersComeBack) {
    flow_netns_options jumbo;
    jumbo.mtu = 9000;
    flow_netns net(jumbo);
    HUX_NEED_FLOW_NETNS(net);
    NEED_TWO_CPUS();
    const std::uint16_t port = 47013;
    for (bool reorder : {false, true}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        hux_standin_efvi_reset();
        recording_sink sink;
        tcp_quote_new q;
        // The receiver watches a port no flow uses: every frame is discarded
        // (too long) or left out (another port).
        ASSERT_TRUE(start_in_a(q, net, receiver_param(net, port, 7, receiver_cpu_), &sink, reorder));
        // 8948-byte segments: 5500 frames and more, above the 4096 buffers.
        tcp_flow flow(net, flow_on_others(6 * MIB));
        ASSERT_TRUE(flow.ok()) << flow.error();
        flow.start();
        const flow_result& r = flow.wait();
        ASSERT_TRUE(r.complete) << flow_text(r);
        // Frames the stand-in's packet socket lost (its ring full on a
        // loaded machine) never reach the receiver: they count as seen.
        EXPECT_TRUE(wait_until(
            [] {
                return hux_standin_efvi_rx_discards() + hux_standin_efvi_rx_events() +
                           hux_standin_efvi_rx_socket_drops() >=
                       5000;
            },
            flow_timeout_ms()))
            << hux_standin_efvi_rx_discards() << " discarded, " << hux_standin_efvi_rx_events() << " received, "
            << hux_standin_efvi_rx_socket_drops() << " lost by the packet socket";

        b_sender b(net);
        ASSERT_TRUE(b.ok());
        ASSERT_TRUE(b.send({segment_to_a(7, port, 123456, flow_bytes(0, 100))}));
        ASSERT_TRUE(sink.wait_bytes(100, flow_timeout_ms()));
        const recording_sink::snapshot s = sink.taken();
        EXPECT_EQ(s.bytes.size(), 100u);
        EXPECT_EQ(flow_match(0, s.bytes.data(), s.bytes.size()), s.bytes.size());
        // One line per discarded frame, all handled before the segment.
        long discards = 0;
        for (const recording_sink::log_line& l : s.logs) {
            if (l.format != DISCARD_FORMAT) continue;
            ++discards;
            EXPECT_EQ(l.level, TCP_QUOTE_LOG_ERROR);
            EXPECT_EQ(l.text, "ERROR: discard type=" + std::to_string(EF_EVENT_RX_DISCARD_TRUNC) + "\n");
        }
        EXPECT_GT(discards, 4096);
        EXPECT_EQ(discards, hux_standin_efvi_rx_discards());
        q.close();
    }
}

TEST_F(TcpQuoteLive, CpuOnePinsTheReceiveThreadCpuZeroLeavesIt) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    cpu_set_t process;
    CPU_ZERO(&process);
    ASSERT_EQ(sched_getaffinity(0, sizeof process, &process), 0);
    HUX_NEED_FLOW_CPUS(CPU_ISSET(1, &process) && CPU_COUNT(&process) >= 2, "CPU 1 is not this process's");
    const std::uint16_t port = 47015;
    for (int cpu : {1, 0}) {
        SCOPED_TRACE("cpu " + std::to_string(cpu));
        recording_sink sink;
        sink.probe_thread();
        tcp_quote_new q;
        ASSERT_TRUE(start_in_a(q, net, receiver_param(net, port, 7, cpu), &sink, cpu == 1));
        b_sender b(net);
        ASSERT_TRUE(b.ok());
        ASSERT_TRUE(b.send({segment_to_a(7, port, 99, flow_bytes(0, 40))}));
        ASSERT_TRUE(sink.wait_bytes(40, flow_timeout_ms()));
        cpu_set_t seen;
        long tid = 0;
        ASSERT_TRUE(sink.thread_seen(&seen, &tid));
        const recording_sink::snapshot s = sink.taken();
        if (cpu == 1) {
            EXPECT_EQ(CPU_COUNT(&seen), 1);
            EXPECT_TRUE(CPU_ISSET(1, &seen));
            ASSERT_EQ(s.logs.size(), 1u);
            EXPECT_EQ(s.logs[0].format, BIND_FORMAT);
            EXPECT_EQ(s.logs[0].level, TCP_QUOTE_LOG_INFO);
            EXPECT_EQ(s.logs[0].text, "tcp_quote_new::on_work_thread [" + std::to_string(getpid()) + "-" +
                                          std::to_string(tid) + "] bind cpu [1]");
        } else {
            // As the thread that started it (which has the process's).
            EXPECT_TRUE(CPU_EQUAL(&seen, &process));
            EXPECT_TRUE(s.logs.empty());
        }
        EXPECT_NE(tid, static_cast<long>(syscall(SYS_gettid)));
        q.close();
    }
}

}  // namespace

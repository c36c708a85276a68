// The live TCP flow's support with kernel sockets only: the flow between
// namespaces A and B, directly and through the relay in R, and the nftables
// loss rule in A.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/frame_relay.h"
#include "tests/support/tcp_flow_netns.h"

namespace {

using namespace hux_test;

const std::uint64_t MIB = 1 << 20;

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Frames of one TCP source port arriving on an interface, seen by a packet
// socket of protocol `proto`: ETH_P_ALL sees them before the netdev ingress
// hook, ETH_P_IP after it.
class flow_tap {
public:
    struct seen {
        std::uint64_t frames = 0;      // every TCP frame from the port
        std::uint64_t data = 0;        // those with a payload
        std::uint64_t largest = 0;     // the longest data frame, in bytes
        std::uint64_t descents = 0;    // data frames below the one before
        std::uint64_t repeats = 0;     // data frames equal to the one before
        std::uint64_t socket_drops = 0;
        std::int64_t first_data_ns = 0;     // CLOCK_MONOTONIC
        std::vector<std::uint32_t> seqs;    // the first 16 data frames' numbers
    };

    flow_tap(int ns, const std::string& ifname, std::uint16_t port, std::uint16_t proto) : port_(port) {
        run_in(ns, [&] {
            fd_ = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            int size = 16 << 20;
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
            sockaddr_ll a{};
            a.sll_family = AF_PACKET;
            a.sll_protocol = htons(proto);
            a.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
            if (a.sll_ifindex == 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(fd_);
                fd_ = -1;
            }
        });
        wake_ = eventfd(0, EFD_CLOEXEC);
        if (fd_ >= 0) thread_ = std::thread([this] { loop(); });
    }
    ~flow_tap() {
        stop();
        if (fd_ >= 0) close(fd_);
        close(wake_);
    }
    bool ok() const { return fd_ >= 0; }

    // Waits until n data frames came; false when timeout_ms passed first.
    bool wait_data(std::uint64_t n, long timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return came_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return seen_.data >= n; });
    }

    // Takes what is still queued, then stops.
    seen stop() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            EXPECT_EQ(write(wake_, &one, sizeof one), 8);
            thread_.join();
            tpacket_stats st{};
            socklen_t len = sizeof st;
            if (getsockopt(fd_, SOL_PACKET, PACKET_STATISTICS, &st, &len) == 0) seen_.socket_drops += st.tp_drops;
        }
        return seen_;
    }

private:
    void loop() {
        std::vector<unsigned char> frame(16384);
        bool first = true;
        std::uint32_t last = 0;
        for (bool stopping = false;;) {
            sockaddr_ll from{};
            socklen_t from_len = sizeof from;
            const ssize_t n = recvfrom(fd_, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
            if (n < 0) {
                if (stopping) return;
                pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
                poll(p, 2, -1);
                stopping = (p[1].revents & POLLIN) != 0;
                continue;
            }
            const unsigned char* f = frame.data();
            if (from.sll_pkttype == PACKET_OUTGOING || n < 54 || f[12] != 0x08 || f[13] != 0x00 || f[23] != 6) continue;
            const std::size_t ihl = (f[14] & 0x0fu) * 4u, total = (f[16] << 8) | f[17];
            const unsigned char* tcp = f + 14 + ihl;
            if (static_cast<std::size_t>(n) < 14 + ihl + 20 || ((tcp[0] << 8) | tcp[1]) != port_) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            ++seen_.frames;
            if (total <= ihl + (tcp[12] >> 4) * 4u) continue;
            if (seen_.data++ == 0) seen_.first_data_ns = now_ns();
            seen_.largest = std::max<std::uint64_t>(seen_.largest, static_cast<std::uint64_t>(n));
            const std::uint32_t seq = (std::uint32_t{tcp[4]} << 24) | (tcp[5] << 16) | (tcp[6] << 8) | tcp[7];
            if (seen_.seqs.size() < 16) seen_.seqs.push_back(seq);
            if (!first && seq == last) ++seen_.repeats;
            if (!first && static_cast<std::int32_t>(seq - last) < 0) ++seen_.descents;
            first = false;
            last = seq;
            came_.notify_all();
        }
    }

    std::uint16_t port_;
    int fd_ = -1, wake_ = -1;
    std::mutex mutex_;
    std::condition_variable came_;
    seen seen_;
    std::thread thread_;
};

bool wait_until(const std::function<bool()>& done, long timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

std::string flow_text(const flow_result& r) {
    std::ostringstream s;
    s << "error '" << r.error << "', " << r.received << " bytes read, " << r.sent << " sent";
    return s.str();
}

// ---------------------------------------------------------------------------

TEST(TcpFlowBytes, CountersOnTheWireAndSlicesFoundAgain) {
    // Counters 0, 1, 2 as the flow's first 24 bytes, and counter 0x0102.
    const unsigned char head[24] = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // counter 0
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // counter 1, low byte first
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // counter 2
    };
    for (std::size_t i = 0; i < sizeof head; ++i) EXPECT_EQ(flow_byte(i), head[i]) << "byte " << i;
    EXPECT_EQ(flow_byte(8 * 0x0102 + 0), 0x02);
    EXPECT_EQ(flow_byte(8 * 0x0102 + 1), 0x01);
    EXPECT_EQ(flow_byte(8 * 0x0102 + 2), 0x00);

    const std::uint64_t counters = 4096, end = counters * 8;
    auto slice = [](std::uint64_t offset, std::size_t n) {
        std::vector<unsigned char> b(n);
        for (std::size_t i = 0; i < n; ++i) b[i] = flow_byte(offset + i);
        return b;
    };
    // Unaligned slices from 23 bytes on, at the start, inside and at the end.
    for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{13}, std::uint64_t{8 * 1000 + 5}}) {
        for (std::size_t n : {23, 24, 100, 1448}) {
            const std::vector<unsigned char> b = slice(offset, n);
            EXPECT_EQ(flow_match(offset, b.data(), n), n);
            EXPECT_EQ(flow_offset_of(b.data(), n, counters), static_cast<long long>(offset)) << offset << "+" << n;
        }
    }
    for (std::uint64_t offset = 0; offset + 23 <= 8 * 700; ++offset) {
        const std::vector<unsigned char> b = slice(offset, 23);
        ASSERT_EQ(flow_offset_of(b.data(), 23, counters), static_cast<long long>(offset));
    }
    std::vector<unsigned char> last = slice(end - 23, 23);
    EXPECT_EQ(flow_offset_of(last.data(), last.size(), counters), static_cast<long long>(end - 23));
    // One byte more runs past the flow's end.
    std::vector<unsigned char> past = slice(end - 23, 24);
    EXPECT_EQ(flow_offset_of(past.data(), past.size(), counters), -1);
    // The flow's first 15 bytes (8 zeros, 01, 6 zeros) lie at 2041 too
    // (counter 255's last 7 bytes, counter 256 = 00 01 00...): too short.
    std::vector<unsigned char> short_head = slice(0, 15);
    EXPECT_EQ(flow_match(2041, short_head.data(), 15), 15u);
    EXPECT_EQ(flow_offset_of(short_head.data(), 15, counters), -1);
    std::vector<unsigned char> short22 = slice(8 * 300 + 1, 22);
    EXPECT_EQ(flow_offset_of(short22.data(), 22, counters), -1);

    // A wrong byte is found where it is, and the slice is then nowhere.
    std::vector<unsigned char> bad = slice(8 * 77 + 3, 100);
    bad[50] ^= 0x40;
    EXPECT_EQ(flow_match(8 * 77 + 3, bad.data(), bad.size()), 50u);
    EXPECT_EQ(flow_offset_of(bad.data(), bad.size(), counters), -1);
    // Two slices joined: each counter is right, but not the two together.
    std::vector<unsigned char> joined = slice(800, 40), later = slice(1600, 40);
    joined.insert(joined.end(), later.begin(), later.end());
    EXPECT_EQ(flow_offset_of(joined.data(), joined.size(), counters), -1);
}

TEST(TcpFlowNetns, DirectFlowArrivesWholeInOrderWithinTheMtu) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    const int cpu = spare_cpu();
    ASSERT_GE(cpu, 0);

    // Every end: offloads off, no IPv6 address, the MTU asked for.
    for (auto end : {std::make_pair(net.ns_a(), net.if_a()), std::make_pair(net.ns_b(), net.if_b())}) {
        std::string features, link;
        ASSERT_EQ(net.shell(end.first, "ethtool -k " + end.second, &features), 0) << features;
        for (const char* off : {"tcp-segmentation-offload: off", "generic-segmentation-offload: off",
                                "generic-receive-offload: off", "tx-checksumming: off"})
            EXPECT_NE(features.find(off), std::string::npos) << end.second << " lacks " << off;
        ASSERT_EQ(net.shell(end.first, "ip -o link show " + end.second, &link), 0) << link;
        EXPECT_NE(link.find(" mtu 1500 "), std::string::npos) << link;
        EXPECT_NE(link.find("state UP"), std::string::npos) << link;
        EXPECT_EQ(read_in(end.first, "/proc/thread-self/net/if_inet6"), "") << end.second;
    }

    flow_options o;
    o.cpu = cpu;
    tcp_flow flow(net, o);
    ASSERT_TRUE(flow.ok()) << flow.error();
    EXPECT_NE(flow.server_port(), 0);
    EXPECT_NE(flow.client_port(), 0);
    flow_tap tap(net.ns_a(), net.if_a(), flow.server_port(), ETH_P_ALL);
    ASSERT_TRUE(tap.ok());
    const long long retransmitted = tcp_counter(net.ns_b(), "RetransSegs");
    ASSERT_GE(retransmitted, 0);
    flow.start();
    ASSERT_TRUE(flow.wait_received(MIB, flow_timeout_ms())) << flow.received();
    const flow_result& r = flow.wait();
    EXPECT_TRUE(r.complete) << flow_text(r);
    EXPECT_EQ(r.received, 8 * MIB);
    EXPECT_EQ(r.first_bad, UINT64_MAX);
    EXPECT_GT(r.last_byte_ns, r.first_byte_ns);
    EXPECT_EQ(r.server_cpu, cpu);
    EXPECT_EQ(r.client_cpu, cpu);
    const flow_tap::seen s = tap.stop();
    EXPECT_EQ(s.socket_drops, 0u);
    // Segments of the MTU at most (1514-byte frames), sent from one CPU in
    // order: a segment at or below the one before is one B sent again (a
    // slow client can make A's kernel drop some).
    EXPECT_GE(s.data, 8 * MIB / 1448);
    EXPECT_LE(s.largest, 1514u);
    EXPECT_LE(static_cast<long long>(s.descents + s.repeats), tcp_counter(net.ns_b(), "RetransSegs") - retransmitted);

    // A second topology beside the first, under the same interface names,
    // with jumbo frames.
    flow_netns_options jumbo;
    jumbo.mtu = 9000;
    flow_netns net9(jumbo);
    ASSERT_TRUE(net9.ready()) << net9.missing();
    EXPECT_EQ(net9.if_a(), net.if_a());
    o.counters = MIB / 8;
    tcp_flow flow9(net9, o);
    ASSERT_TRUE(flow9.ok()) << flow9.error();
    flow_tap tap9(net9.ns_a(), net9.if_a(), flow9.server_port(), ETH_P_ALL);
    flow9.start();
    EXPECT_TRUE(flow9.wait().complete) << flow_text(flow9.wait());
    const flow_tap::seen s9 = tap9.stop();
    EXPECT_GT(s9.largest, 1514u);
    EXPECT_LE(s9.largest, 9014u);
}

TEST(TcpFlowNetns, RelaySwapsDoublesAndDropsYetTheFlowArrivesWhole) {
    flow_netns_options relayed;
    relayed.relay = true;
    flow_netns net(relayed);
    HUX_NEED_FLOW_NETNS(net);
    const int cpu = spare_cpu();
    flow_options o;
    o.cpu = cpu;
    tcp_flow flow(net, o);
    ASSERT_TRUE(flow.ok()) << flow.error();
    relay_schedule plan;
    plan.flow_port = flow.server_port();
    plan.every = 5;
    plan.actions = {relay_action::swap, relay_action::twice, relay_action::drop};
    frame_relay relay(net, plan, cpu);
    ASSERT_TRUE(relay.ok()) << relay.error();
    flow_tap tap(net.ns_a(), net.if_a(), flow.server_port(), ETH_P_ALL);
    const long long retransmitted = tcp_counter(net.ns_b(), "RetransSegs");
    ASSERT_GE(retransmitted, 0);

    flow.start();
    const flow_result& r = flow.wait();
    EXPECT_TRUE(r.complete) << flow_text(r);
    EXPECT_EQ(r.received, 8 * MIB);

    // Every frame arriving at R taken once, every frame sent leaving R:
    // never one of the relay's own.
    const long timeout = flow_timeout_ms();
    relay_counters c;
    long long in_a = -1, in_b = -1, out_a = -1, out_b = -1;
    EXPECT_TRUE(wait_until(
        [&] {
            c = relay.counters();
            in_a = link_frames(net.ns_r(), net.if_r_a(), false), in_b = link_frames(net.ns_r(), net.if_r_b(), false);
            out_a = link_frames(net.ns_r(), net.if_r_a(), true), out_b = link_frames(net.ns_r(), net.if_r_b(), true);
            return static_cast<long long>(c.from_a) == in_a && static_cast<long long>(c.from_b) == in_b &&
                   static_cast<long long>(c.to_a) == out_a && static_cast<long long>(c.to_b) == out_b;
        },
        timeout))
        << "relay in " << c.from_a << "/" << c.from_b << " out " << c.to_a << "/" << c.to_b << "; links in " << in_a
        << "/" << in_b << " out " << out_a << "/" << out_b;
    relay.stop();
    EXPECT_TRUE(relay.ok()) << relay.error();
    c = relay.counters();
    EXPECT_GT(c.swaps, 0u);
    EXPECT_GT(c.doubles, 0u);
    EXPECT_GT(c.drops, 0u);
    EXPECT_EQ(c.to_a, c.from_b - c.drops + c.doubles);
    EXPECT_EQ(c.to_b, c.from_a);
    EXPECT_EQ(c.send_errors, 0u);
    EXPECT_EQ(c.socket_drops, 0u);
    EXPECT_EQ(c.cpu, cpu);
    // A saw the swaps as segments below the one before, the doubles as
    // repeats; B sent the dropped ones again.
    const flow_tap::seen s = tap.stop();
    EXPECT_EQ(s.socket_drops, 0u);
    EXPECT_GE(s.descents, c.swaps);
    EXPECT_GE(s.repeats, c.doubles);
    EXPECT_GT(tcp_counter(net.ns_b(), "RetransSegs"), retransmitted);
}

// A TCP data frame from B to A's broadcast address: 8 bytes of payload,
// sequence number seq, source port port (checksums left 0: A's kernel drops
// it, the relay and a tap do not look).
std::vector<unsigned char> data_frame(std::uint16_t port, std::uint32_t seq) {
    std::vector<unsigned char> f(14 + 20 + 20 + 8, 0);
    std::memset(f.data(), 0xff, 6);                          // to every station
    f[6] = 0x02, f[11] = 0x0b;                               // from a local address
    f[12] = 0x08, f[13] = 0x00;                              // IPv4
    unsigned char* ip = f.data() + 14;
    ip[0] = 0x45, ip[3] = 48, ip[8] = 64, ip[9] = 6;         // 20-byte header, 48 bytes, TTL, TCP
    inet_pton(AF_INET, FLOW_B_IP, ip + 12);
    inet_pton(AF_INET, FLOW_A_IP, ip + 16);
    unsigned char* tcp = ip + 20;
    tcp[0] = static_cast<unsigned char>(port >> 8), tcp[1] = static_cast<unsigned char>(port);
    tcp[2] = 0x9c, tcp[3] = 0x40;                            // to port 40000
    for (int k = 0; k < 4; ++k) tcp[4 + k] = static_cast<unsigned char>(seq >> (24 - 8 * k));
    tcp[12] = 0x50, tcp[13] = 0x18;                          // 20-byte header, PSH ACK
    return f;
}

// A packet socket of namespace ns that sends on ifname (and takes nothing in).
int sender(int ns, const std::string& ifname) {
    int fd = -1;
    run_in(ns, [&] {
        fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        sockaddr_ll a{};
        a.sll_family = AF_PACKET;
        a.sll_ifindex = static_cast<int>(if_nametoindex(ifname.c_str()));
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

TEST(TcpFlowNetns, RelaySwapsAPairInOrderAndSendsALoneHeldFrameAfterTheHold) {
    flow_netns_options relayed;
    relayed.relay = true;
    flow_netns net(relayed);
    HUX_NEED_FLOW_NETNS(net);
    const std::uint16_t port = 5999;
    relay_schedule plan;
    plan.flow_port = port;
    plan.every = 1;
    plan.actions = {relay_action::swap};
    plan.hold_ns = 50 * 1000000;  // long beside any scheduling delay of the relay
    const int cpu = spare_cpu();
    frame_relay relay(net, plan, cpu);
    ASSERT_TRUE(relay.ok()) << relay.error();
    flow_tap tap(net.ns_a(), net.if_a(), port, ETH_P_ALL);
    ASSERT_TRUE(tap.ok());

    const int fd = sender(net.ns_b(), net.if_b());
    ASSERT_GE(fd, 0);
    // A frame alone waits out the hold.
    const std::vector<unsigned char> lone = data_frame(port, 100), first = data_frame(port, 200),
                                     second = data_frame(port, 300);
    const std::int64_t sent = now_ns();
    ASSERT_EQ(send(fd, lone.data(), lone.size(), 0), static_cast<ssize_t>(lone.size()));
    ASSERT_TRUE(tap.wait_data(1, flow_timeout_ms()));
    // Two frames in a row: the first is held, the second goes out before it.
    ASSERT_EQ(send(fd, first.data(), first.size(), 0), static_cast<ssize_t>(first.size()));
    ASSERT_EQ(send(fd, second.data(), second.size(), 0), static_cast<ssize_t>(second.size()));
    ASSERT_TRUE(tap.wait_data(3, flow_timeout_ms()));
    close(fd);
    // A frame sent out of R's end towards A by another socket in R: A gets
    // it, the relay sees it leave and must not carry it to B.
    const int in_r = sender(net.ns_r(), net.if_r_a());
    ASSERT_GE(in_r, 0);
    const std::vector<unsigned char> from_r = data_frame(port, 400);
    ASSERT_EQ(send(in_r, from_r.data(), from_r.size(), 0), static_cast<ssize_t>(from_r.size()));
    close(in_r);
    ASSERT_TRUE(tap.wait_data(4, flow_timeout_ms()));
    relay.stop();  // after what is queued
    const flow_tap::seen s = tap.stop();
    EXPECT_GE(s.first_data_ns - sent, plan.hold_ns);
    EXPECT_EQ(s.seqs, (std::vector<std::uint32_t>{100, 300, 200, 400}));
    const relay_counters c = relay.counters();
    EXPECT_EQ(c.data_frames, 3u);
    EXPECT_EQ(c.held_alone, 1u);
    EXPECT_EQ(c.swaps, 1u);
    EXPECT_EQ(c.to_a, c.from_b);
    EXPECT_EQ(c.from_a, 0u);
    EXPECT_EQ(c.to_b, 0u);
}

TEST(TcpFlowNetns, LossRuleDropsOnlyTheFlowsFramesAfterTheTapsAndTcpRecovers) {
    flow_netns net;
    HUX_NEED_FLOW_NFT(net);
    flow_options o;
    o.cpu = spare_cpu();

    // A rule on another source port leaves the flow alone.
    o.counters = MIB / 8;
    tcp_flow spared(net, o);
    ASSERT_TRUE(spared.ok()) << spared.error();
    std::string why;
    ASSERT_TRUE(net.add_loss_rule(static_cast<std::uint16_t>(spared.server_port() + 1), 2, &why)) << why;
    spared.start();
    EXPECT_TRUE(spared.wait().complete) << flow_text(spared.wait());
    EXPECT_EQ(net.loss_rule_drops(), 0);

    o.counters = MIB;
    tcp_flow flow(net, o);
    ASSERT_TRUE(flow.ok()) << flow.error();
    ASSERT_TRUE(net.add_loss_rule(flow.server_port(), 50, &why)) << why;
    EXPECT_EQ(net.loss_rule_drops(), 0);
    flow_tap before_hook(net.ns_a(), net.if_a(), flow.server_port(), ETH_P_ALL);
    flow_tap after_hook(net.ns_a(), net.if_a(), flow.server_port(), ETH_P_IP);
    const long long retransmitted = tcp_counter(net.ns_b(), "RetransSegs");
    flow.start();
    const flow_result& r = flow.wait();
    EXPECT_TRUE(r.complete) << flow_text(r);
    EXPECT_EQ(r.received, 8 * MIB);
    const long drops = net.loss_rule_drops();
    EXPECT_GT(drops, 0);
    const flow_tap::seen all = before_hook.stop(), ip = after_hook.stop();
    EXPECT_EQ(all.socket_drops + ip.socket_drops, 0u);
    EXPECT_EQ(static_cast<long>(all.frames - ip.frames), drops);
    EXPECT_GT(tcp_counter(net.ns_b(), "RetransSegs"), retransmitted);

    EXPECT_TRUE(net.remove_loss_rule());
    EXPECT_EQ(net.loss_rule_drops(), -1);
    std::string rules;
    EXPECT_EQ(net.shell(net.ns_a(), "nft list ruleset", &rules), 0);
    EXPECT_EQ(rules, "");
}

// ---------------------------------------------------------------------------
// Nothing of a topology outlives its program, however the program ends.

const char* const PROBE = "HUX_FLOW_PROBE";

std::string probe_path(const char* how) { return std::string(std::getenv(PROBE)) + "-" + how; }

// In a child: a relayed flow running, what it made written down, then the end.
void run_and_end(const char* how) {
    flow_netns_options relayed;
    relayed.relay = true;
    flow_netns net(relayed);
    if (!net.ready()) _exit(90);
    flow_options o;
    o.counters = std::uint64_t{1} << 30;  // more than a second's worth
    tcp_flow flow(net, o);
    frame_relay relay(net, {}, -1);
    flow.start();
    if (!relay.ok() || !flow.wait_received(MIB, flow_timeout_ms())) _exit(91);
    FILE* f = std::fopen(probe_path(how).c_str(), "w");
    if (!f) _exit(92);
    for (int ns : {net.ns_a(), net.ns_b(), net.ns_r()}) {
        struct stat st {};
        fstat(ns, &st);
        std::fprintf(f, "%lu ", static_cast<unsigned long>(st.st_ino));
    }
    std::fprintf(f, "%s %s %s %s\n", net.if_a().c_str(), net.if_b().c_str(), net.if_r_a().c_str(),
                 net.if_r_b().c_str());
    std::fclose(f);
    if (std::strcmp(how, "exit") == 0) std::exit(3);
    if (std::strcmp(how, "abort") == 0) std::abort();
    raise(SIGKILL);
}

// Whether a name under /run/netns (ip netns), a task or a descriptor of any
// process still holds namespace ino.
bool netns_held(unsigned long ino) {
    struct stat own {}, named {};
    if (stat("/proc/self/ns/net", &own) != 0) return true;  // the namespaces' file system unknown
    const std::string target = "net:[" + std::to_string(ino) + "]";
    auto is_target = [&](const std::string& link) {
        char buf[64];
        const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
        return n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target;
    };
    auto entries = [](const std::string& dir) {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            }
            closedir(d);
        }
        return names;
    };
    for (const std::string& name : entries("/run/netns")) {
        if (stat(("/run/netns/" + name).c_str(), &named) == 0 && named.st_dev == own.st_dev && named.st_ino == ino)
            return true;
    }
    for (const std::string& pid : entries("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        for (const std::string& tid : entries("/proc/" + pid + "/task")) {
            if (is_target("/proc/" + pid + "/task/" + tid + "/ns/net")) return true;
        }
        for (const std::string& fd : entries("/proc/" + pid + "/fd")) {
            if (is_target("/proc/" + pid + "/fd/" + fd)) return true;
        }
    }
    return false;
}

TEST(TcpFlowNetns, NothingIsLeftAfterTheProgramEndsByExitAbortOrKill) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    {
        flow_netns net;
        HUX_NEED_FLOW_NETNS(net);
    }
    if (!std::getenv(PROBE)) setenv(PROBE, ("/tmp/hux-flow-probe-" + std::to_string(getpid())).c_str(), 1);
    flow_netns tools;  // only for its shell()

    EXPECT_EXIT(run_and_end("exit"), testing::ExitedWithCode(3), "");
    EXPECT_EXIT(run_and_end("abort"), testing::KilledBySignal(SIGABRT), "");
    EXPECT_EXIT(run_and_end("kill"), testing::KilledBySignal(SIGKILL), "");

    const int root_ns = open("/proc/1/ns/net", O_RDONLY | O_CLOEXEC);
    for (const char* how : {"exit", "abort", "kill"}) {
        std::ifstream probe(probe_path(how));
        unsigned long ino[3] = {};
        std::string names[4];
        probe >> ino[0] >> ino[1] >> ino[2] >> names[0] >> names[1] >> names[2] >> names[3];
        ASSERT_TRUE(probe) << how << ": the child did not get as far as the flow";
        std::remove(probe_path(how).c_str());
        for (unsigned long i : ino) EXPECT_FALSE(netns_held(i)) << how << ": namespace " << i << " is still there";
        for (int ns : {-1, root_ns}) {
            std::string links;
            EXPECT_EQ(tools.shell(ns, "ip -o link", &links), 0);
            for (const std::string& name : names) EXPECT_EQ(links.find(name), std::string::npos) << how << ": " << name;
        }
    }
    if (root_ns >= 0) close(root_ns);
}

}  // namespace

// The TCP flow receiver's life: close() and the destructor stop its thread
// and give back what init opened, whatever state it is in; init refuses
// without opening anything, aborts on an interface that is not there, and
// works again after close(); check_seq_num keeps its own expected number;
// the small helpers (write_log, format_Ipv4, get_sys_onload_version).
//
// A running receiver watches A's veth of a flow_netns (init is called from
// a thread in A); its thread busy-polls its own CPU, the flows run on
// another.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bypass/standin/standin_efvi.h"
#include "bypass/tcp_quote_new.h"
#include "hux_tcp_quote.h"
#include "tests/support/tcp_flow_netns.h"
#include "tests/support/tcp_frames.h"

namespace {

using namespace hux_test;

const std::uint64_t MIB = 1 << 20;

int open_descriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (fcntl(fd, F_GETFD) != -1) ++count;
    return count;
}

// Threads of this process now.
int tasks() {
    int count = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++count;
        closedir(d);
    }
    return count;
}

bool wait_until(const std::function<bool()>& done, long timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// Copies the deliveries and counts the resynchronisations.
class byte_sink : public i_tcp_quote_event_new {
public:
    void on_data(const char* data, unsigned int len) override {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.insert(bytes_.end(), data, data + len);
        changed_.notify_all();
    }
    const char* on_resync(const char* data, unsigned int, unsigned int*) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++resyncs_;
        return data;
    }
    void on_log(int, const char*, ...) override {}

    bool wait_bytes(std::size_t n, long timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return bytes_.size() >= n; });
    }
    std::vector<char> bytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    int resyncs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return resyncs_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> bytes_;
    int resyncs_ = 0;
};

sock_tcp_param_new param(const char* local_ip, std::uint16_t local_port, const std::string& ifname, int cpu) {
    sock_tcp_param_new p{};
    std::snprintf(p.local_ip, sizeof p.local_ip, "%s", local_ip);
    p.local_port = local_port;
    std::snprintf(p.remote_ip, sizeof p.remote_ip, "%s", FLOW_B_IP);
    p.remote_port = 7;
    std::snprintf(p.m_eth_name, sizeof p.m_eth_name, "%s", ifname.c_str());
    p.cpu = cpu;
    return p;
}

bool init_in(int ns, i_tcp_quote_new& q, sock_tcp_param_new p, i_tcp_quote_event_new* sink, bool reorder) {
    bool started = false;
    run_in(ns, [&] { started = q.init(p, sink, reorder); });
    return started;
}

std::uint32_t host_ip(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return ntohl(a.s_addr);
}

// A segment from B to A's address and `port` with the flow's bytes from
// `offset`, sent to every station from a packet socket in B.
bool send_segment(const flow_netns& net, std::uint16_t port, std::uint32_t seq, std::uint64_t offset,
                  std::size_t len) {
    tcp_frame f;
    std::memset(f.dst_mac, 0xff, sizeof f.dst_mac);
    f.src_ip = host_ip(FLOW_B_IP);
    f.dst_ip = host_ip(FLOW_A_IP);
    f.src_port = 7;
    f.dst_port = port;
    f.seq = seq;
    for (std::size_t i = 0; i < len; ++i) f.payload.push_back(flow_byte(offset + i));
    const std::vector<std::uint8_t> frame = f.bytes();
    bool sent = false;
    run_in(net.ns_b(), [&] {
        const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
        sockaddr_ll a{};
        a.sll_family = AF_PACKET;
        a.sll_ifindex = static_cast<int>(if_nametoindex(net.if_b().c_str()));
        sent = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
               send(fd, frame.data(), frame.size(), 0) == static_cast<ssize_t>(frame.size());
        if (fd >= 0) close(fd);
    });
    return sent;
}

tcp_head head(std::uint32_t seq) {
    tcp_head h{};
    h.seq = htonl(seq);
    return h;
}

class TcpQuoteLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        hux_standin_efvi_reset();
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

    // The receiver's parameters for A's end of net.
    sock_tcp_param_new in_a(const flow_netns& net, std::uint16_t port) const {
        return param(FLOW_A_IP, port, net.if_a(), receiver_cpu_ > 0 ? receiver_cpu_ : 0);
    }
    flow_options flow_on_others(std::uint64_t counters) const {
        flow_options o;
        o.counters = counters;
        o.cpu = others_cpu_;
        return o;
    }

    int receiver_cpu_ = -1, others_cpu_ = -1;
};
class TcpQuoteLifecycleDeathTest : public TcpQuoteLifecycle {};

// ---------------------------------------------------------------------------

TEST_F(TcpQuoteLifecycle, CloseIsHarmlessBeforeInitAndTwiceAfter) {
    const int descriptors = open_descriptors();
    {
        tcp_quote_new never;
        never.close();
        never.close();
        EXPECT_FALSE(never.running());
    }
    EXPECT_EQ(open_descriptors(), descriptors);

    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    const int threads = tasks(), with_net = open_descriptors();
    byte_sink sink;
    tcp_quote_new q;
    ASSERT_TRUE(init_in(net.ns_a(), q, in_a(net, 47031), &sink, true));
    EXPECT_TRUE(q.running());
    EXPECT_EQ(hux_standin_efvi_drivers_open(), 1);
    EXPECT_TRUE(wait_until([&] { return tasks() == threads + 1; }, flow_timeout_ms())) << tasks();
    q.close();
    EXPECT_FALSE(q.running());
    EXPECT_EQ(hux_standin_efvi_drivers_open(), 0);
    EXPECT_EQ(open_descriptors(), with_net);
    EXPECT_TRUE(wait_until([&] { return tasks() == threads; }, flow_timeout_ms())) << tasks();
    q.close();
    EXPECT_FALSE(q.running());
    EXPECT_EQ(open_descriptors(), with_net);
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 1);
}

TEST_F(TcpQuoteLifecycle, DestroyingARunningReceiverStopsItsThread) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    const int threads = tasks(), descriptors = open_descriptors();
    byte_sink sink;
    std::unique_ptr<i_tcp_quote_new> q(i_tcp_quote_new::create_tcp_quote());
    ASSERT_NE(q, nullptr);
    ASSERT_TRUE(init_in(net.ns_a(), *q, in_a(net, 47033), &sink, false));
    EXPECT_TRUE(wait_until([&] { return tasks() == threads + 1; }, flow_timeout_ms())) << tasks();
    EXPECT_GT(open_descriptors(), descriptors);
    // The segment proves the thread runs before it goes.
    ASSERT_TRUE(send_segment(net, 47033, 5, 0, 64));
    ASSERT_TRUE(sink.wait_bytes(64, flow_timeout_ms()));
    q.reset();
    EXPECT_TRUE(wait_until([&] { return tasks() == threads; }, flow_timeout_ms())) << tasks();
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(hux_standin_efvi_drivers_open(), 0);
}

TEST_F(TcpQuoteLifecycle, InitRefusesBadParametersBeforeTheCard) {
    const int threads = tasks(), descriptors = open_descriptors();
    byte_sink sink;
    tcp_quote_new q;
    for (bool reorder : {false, true}) {
        for (const char* bad : {"10.79.0.256", "", "10.79.0", "localhost", " 10.79.0.1"}) {
            sock_tcp_param_new p = param(bad, 47035, "lo", 0);
            EXPECT_FALSE(q.init(p, &sink, reorder)) << "'" << bad << "'";
        }
        // Sixteen digits and no terminator within the field.
        sock_tcp_param_new unterminated = param(FLOW_A_IP, 47035, "lo", 0);
        std::memset(unterminated.local_ip, '1', sizeof unterminated.local_ip);
        EXPECT_FALSE(q.init(unterminated, &sink, reorder));
        sock_tcp_param_new no_name = param(FLOW_A_IP, 47035, "", 0);
        EXPECT_FALSE(q.init(no_name, &sink, reorder));
    }
    EXPECT_FALSE(q.running());
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 0);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(tasks(), threads);
}

TEST_F(TcpQuoteLifecycle, InitRefusesARunningReceiverAndKeepsItRunning) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    byte_sink sink, other;
    tcp_quote_new q;
    ASSERT_TRUE(init_in(net.ns_a(), q, in_a(net, 47037), &sink, true));
    const int threads = tasks(), descriptors = open_descriptors();
    for (bool reorder : {false, true}) {
        EXPECT_FALSE(init_in(net.ns_a(), q, in_a(net, 47038), &other, reorder));
        EXPECT_FALSE(init_in(net.ns_a(), q, in_a(net, 47037), &sink, reorder));
    }
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 1);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_TRUE(wait_until([&] { return tasks() == threads; }, flow_timeout_ms())) << tasks();
    // Still the first set-up: its port, its sink.
    EXPECT_TRUE(q.running());
    ASSERT_TRUE(send_segment(net, 47038, 1, 0, 50));
    ASSERT_TRUE(send_segment(net, 47037, 1, 0, 50));
    ASSERT_TRUE(sink.wait_bytes(50, flow_timeout_ms()));
    q.close();
    EXPECT_EQ(sink.bytes().size(), 50u);
    EXPECT_TRUE(other.bytes().empty());
}

TEST_F(TcpQuoteLifecycleDeathTest, UnknownInterfaceAbortsWithThreeLines) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            byte_sink sink;
            tcp_quote_new q;
            sock_tcp_param_new p = param(FLOW_A_IP, 47039, "hux-no-such-if", 0);
            q.init(p, &sink, false);
            std::exit(3);
        },
        testing::KilledBySignal(SIGABRT),
        "ERROR: TRY\\(ef_pd_alloc_by_name\\([^\n]*\\)\\) failed\n"
        "ERROR: at tcp_quote_new:[0-9]+\n"
        "ERROR: rc=-[0-9]+ errno=[0-9]+ \\([^\n]*\\)\n");
}

TEST_F(TcpQuoteLifecycle, InitAfterCloseTakesASecondFlowFromItsStart) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    HUX_NEED_FLOW_CPUS(receiver_cpu_ > 0 && others_cpu_ >= 0, "needs a CPU above 0 for the receiver and one more");
    tcp_quote_new q;
    for (bool reorder : {true, false}) {
        SCOPED_TRACE(reorder ? "with reordering" : "without reordering");
        byte_sink sink;
        tcp_flow flow(net, flow_on_others(MIB / 8));
        ASSERT_TRUE(flow.ok()) << flow.error();
        ASSERT_TRUE(init_in(net.ns_a(), q, in_a(net, flow.client_port()), &sink, reorder));
        flow.start();
        ASSERT_TRUE(flow.wait().complete) << flow.wait().error;
        ASSERT_TRUE(sink.wait_bytes(flow.bytes(), flow_timeout_ms())) << sink.bytes().size();
        const std::vector<char> got = sink.bytes();
        ASSERT_EQ(got.size(), flow.bytes());
        EXPECT_EQ(flow_match(0, got.data(), got.size()), got.size());
        EXPECT_EQ(sink.resyncs(), 1);
        q.close();
        EXPECT_FALSE(q.running());
    }
}

TEST_F(TcpQuoteLifecycle, CheckSeqNumKeepsItsOwnExpectedNumber) {
    tcp_quote_new q;
    tcp_head h;
    // Off: every segment passes.
    for (std::uint32_t s : {0u, 17u, 0xffffffffu}) {
        h = head(s);
        EXPECT_TRUE(q.check_seq_num(&h, 100));
    }
    // On: the first passes whatever its number, then only the next in
    // sequence; a gap fails and leaves the number expected as it was.
    for (std::uint32_t first : {0u, 0x12345678u, 0xfffffff0u}) {
        SCOPED_TRACE(first);
        q.enable_check_seq(true);
        h = head(first);
        EXPECT_TRUE(q.check_seq_num(&h, 15));
        // first + 15: for 0xfffffff0, 0xffffffff, which must not read as
        // "nothing expected".
        h = head(first + 16);
        EXPECT_FALSE(q.check_seq_num(&h, 10));
        h = head(first + 14);
        EXPECT_FALSE(q.check_seq_num(&h, 10));
        h = head(first + 15);
        EXPECT_TRUE(q.check_seq_num(&h, 20));  // across 2^32 for the last
        h = head(first + 15);
        EXPECT_FALSE(q.check_seq_num(&h, 20));
        h = head(first + 35);
        EXPECT_TRUE(q.check_seq_num(&h, 1));
        q.enable_check_seq(false);
        h = head(first + 1000);
        EXPECT_TRUE(q.check_seq_num(&h, 1));
    }
}

TEST_F(TcpQuoteLifecycle, CheckSeqNumLeavesTheReceiveThreadsExpectedNumber) {
    flow_netns net;
    HUX_NEED_FLOW_NETNS(net);
    tcp_quote_new q;
    tcp_head h;
    byte_sink sink;
    ASSERT_TRUE(init_in(net.ns_a(), q, in_a(net, 47041), &sink, true));
    const std::uint32_t s = 0x7ffffff0u;
    ASSERT_TRUE(send_segment(net, 47041, s, 0, 100));
    ASSERT_TRUE(sink.wait_bytes(100, flow_timeout_ms()));
    q.enable_check_seq(true);
    h = head(s + 5000);
    EXPECT_TRUE(q.check_seq_num(&h, 100));
    h = head(s + 100);
    EXPECT_FALSE(q.check_seq_num(&h, 100));
    // The thread still expects s + 100: the next segment continues the
    // stream without a resynchronisation.
    ASSERT_TRUE(send_segment(net, 47041, s + 100, 100, 100));
    ASSERT_TRUE(sink.wait_bytes(200, flow_timeout_ms()));
    q.close();
    const std::vector<char> got = sink.bytes();
    ASSERT_EQ(got.size(), 200u);
    EXPECT_EQ(flow_match(0, got.data(), got.size()), got.size());
    EXPECT_EQ(sink.resyncs(), 1);
    EXPECT_EQ(q.flow().expected(), s + 200);
}

TEST(TcpQuoteHelpers, WriteLogFormatIpv4AndVersion) {
    testing::internal::CaptureStdout();
    tcp_quote_new::write_log("one line");
    tcp_quote_new::write_log("");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "one line\n\n");

    // Network byte order in, dotted text of at most 16 bytes out.
    for (const char* text : {"10.79.0.1", "0.0.0.0", "255.255.255.255", "1.2.3.4", "192.168.100.200"}) {
        in_addr a{};
        ASSERT_EQ(inet_pton(AF_INET, text, &a), 1);
        char out[32];
        std::memset(out, 'x', sizeof out);
        tcp_quote_new::format_Ipv4(a.s_addr, out);
        EXPECT_STREQ(out, text);
        for (std::size_t i = 16; i < sizeof out; ++i) EXPECT_EQ(out[i], 'x') << text << " wrote byte " << i;
    }
    unsigned char bytes[4] = {10, 79, 0, 1};
    std::uint32_t addr;
    std::memcpy(&addr, bytes, sizeof addr);
    char out[16];
    tcp_quote_new::format_Ipv4(addr, out);
    EXPECT_STREQ(out, "10.79.0.1");

    ASSERT_NE(tcp_quote_new::get_sys_onload_version(), nullptr);
    EXPECT_STREQ(tcp_quote_new::get_sys_onload_version(), ef_vi_version_str());
}

}  // namespace

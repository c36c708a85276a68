// The ef_vi sender's set-up and its transmit times, over the stand-in in the
// namespace pair: what init refuses before touching the card, the virtual
// interface it asks for, what destory gives back, the fatal abort of a
// refused transmit, and the timestamps reported per send.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/bypass/test_ef_vi_support.h"

using namespace efvi_test;
using hux_test::PEER_IP;

namespace {

class EfViInit : public efvi_fixture {};
class EfViInitDeathTest : public efvi_fixture {};
class EfViTimestamps : public efvi_fixture {};

bool file_exists(char const* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

long long realtime_ns() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

struct recording_sink : i_ef_vi_udp_client_event {
    std::vector<long long> times;
    void on_ef_vi_udp_report_timestamps(long long ns) override { times.push_back(ns); }
};

}  // namespace

TEST_F(EfViInit, HugePagesAreCheckedIn64BitsBeforeTheCard) {
    HUX_NEED_NETNS();
    ef_vi_udp_sender sender;
    const client_server_info info = make_info(PEER_IP, 40102, 40101);
    // One page short of 4 GiB: refused without opening the driver.
    hux_test::set_hugepages(2047, 2048);
    EXPECT_EQ(sender.init(info, client_if(), "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 0);
    sender.destory();
    // Exactly 4194304 kB is enough.
    hux_test::set_hugepages(2048, 2048);
    EXPECT_EQ(sender.init(info, client_if(), "sfc", nullptr, nullptr), 0);
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 1);
    sender.destory();
    // 2^32 kB: a product taken in 32 bits would be 0.
    hux_test::set_hugepages(2097152, 2048);
    EXPECT_EQ(sender.init(info, client_if(), "sfc", nullptr, nullptr), 0);
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 2);
    sender.destory();
    EXPECT_EQ(hux_standin_efvi_drivers_open(), 0);
}

TEST_F(EfViInit, NamesAndAddressesAreCheckedBeforeAnyCommand) {
    HUX_NEED_NETNS();
    ef_vi_udp_sender sender;
    // Each of these, given to the shell, would create its file.
    std::remove("/tmp/Q1");
    std::remove("/tmp/Q2");
    EXPECT_EQ(sender.init(make_info("1;touch /tmp/Q1", 40102, 40101), client_if(), "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(sender.init(make_info(PEER_IP, 40102, 40101), "v;touch /tmp/Q2", "sfc", nullptr, nullptr), -1);
    EXPECT_FALSE(file_exists("/tmp/Q1"));
    EXPECT_FALSE(file_exists("/tmp/Q2"));
    // No name, a name of 16 characters, an address not terminated within its
    // 16 bytes, an address that is not one.
    EXPECT_EQ(sender.init(make_info(PEER_IP, 40102, 40101), "", "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(sender.init(make_info(PEER_IP, 40102, 40101), nullptr, "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(sender.init(make_info(PEER_IP, 40102, 40101), "abcdefghijklmnop", "sfc", nullptr, nullptr), -1);
    client_server_info unterminated = make_info(PEER_IP, 40102, 40101);
    std::memset(unterminated.server_ip, '1', sizeof unterminated.server_ip);
    EXPECT_EQ(sender.init(unterminated, client_if(), "sfc", nullptr, nullptr), -1);
    unterminated = make_info(PEER_IP, 40102, 40101);
    std::memset(unterminated.local_ip, '1', sizeof unterminated.local_ip);
    EXPECT_EQ(sender.init(unterminated, client_if(), "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(sender.init(make_info("10.77.0.256", 40102, 40101), client_if(), "sfc", nullptr, nullptr), -1);
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 0);
    sender.destory();
}

TEST_F(EfViInit, RefusedViGivesMinusTwoAndLeaksNothing) {
    HUX_NEED_NETNS();
    ef_vi_udp_sender sender;
    const client_server_info info = make_info(PEER_IP, 40102, 40101);
    hux_standin_efvi_set_refuse_vi(1);
    const int descriptors = open_descriptors();
    for (int round = 0; round < 20; ++round) {
        const bool efct = round % 2 == 1;
        EXPECT_EQ(sender.init(info, client_if(), efct ? "xilinx_efct" : "sfc", nullptr, nullptr), -2) << round;
        // The event queue asked for depends on the driver.
        EXPECT_EQ(hux_standin_efvi_last_evq_capacity(), efct ? 8184 : 20480) << round;
        sender.destory();
        if (round == 0) sender.destory();
    }
    EXPECT_EQ(hux_standin_efvi_driver_opens(), 20);
    EXPECT_EQ(hux_standin_efvi_drivers_open(), 0);
    EXPECT_EQ(open_descriptors(), descriptors);

    // The same object sets up once the card allows it.
    hux_standin_efvi_set_refuse_vi(0);
    EXPECT_EQ(sender.init(info, client_if(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(hux_standin_efvi_last_evq_capacity(), 20480);
    EXPECT_GT(open_descriptors(), descriptors);
    const std::string p = payload(10, 1);
    EXPECT_EQ(sender.ctpio_send(p.data(), 10, false), 10);
    sender.destory();
    EXPECT_EQ(open_descriptors(), descriptors);
}

TEST_F(EfViInitDeathTest, RefusedTransmitAbortsWithThreeLines) {
    HUX_NEED_NETNS();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (long capability : {1L, 0L}) {
        SCOPED_TRACE(capability ? "CTPIO" : "DMA");
        const char* const expected =
            capability ? "ERROR: TRY\\(ef_vi_transmit_ctpio_fallback\\(&m_vi, frame_addr, .*\\)\\) failed\n"
                         "ERROR: at mv_ef_vi_sender:[0-9]+\n"
                         "ERROR: rc=-5 errno=[0-9]+ \\([^\n]*\\)\n$"
                       : "ERROR: TRY\\(ef_vi_transmit\\(&m_vi, frame_addr, len, slot\\)\\) failed\n"
                         "ERROR: at mv_ef_vi_sender:[0-9]+\n"
                         "ERROR: rc=-5 errno=[0-9]+ \\([^\n]*\\)\n$";
        EXPECT_DEATH(
            {
                hux_standin_efvi_set_capability(capability);
                ef_vi_udp_sender sender;
                if (sender.init(make_info(PEER_IP, 40102, 40101), client_if(), "sfc", nullptr, nullptr) != 0)
                    std::exit(3);
                hux_standin_efvi_set_refuse_tx(1);
                sender.ctpio_send("refused", 7, false);
            },
            expected);
    }
}

TEST_F(EfViTimestamps, OnePerOrdinarySendBetweenClockReads) {
    HUX_NEED_NETNS();
    recording_sink sink;
    ef_vi_udp_sender sender;
    ASSERT_EQ(sender.init(make_info(PEER_IP, 40112, 40111, true), client_if(), "sfc", &sink, nullptr), 0);
    ASSERT_TRUE(sender.tx_timestamps());
    const std::string p = payload(100, 9);
    for (int i = 0; i < 40; ++i) {
        const bool warm = i % 4 == 3;
        const size_t before_count = sink.times.size();
        const long long before = realtime_ns();
        ASSERT_EQ(sender.ctpio_send(p.data(), 100, warm), 100);
        const long long after = realtime_ns();
        if (warm) {
            EXPECT_EQ(sink.times.size(), before_count) << i;
            continue;
        }
        ASSERT_EQ(sink.times.size(), before_count + 1) << i;
        const long long t = sink.times.back();
        // The kernel's transmit time, with both sync flags in the low bits.
        EXPECT_GE(t, before) << i;
        EXPECT_LE(t, after + 3) << i;
        EXPECT_EQ(t % 4, 3) << i;
    }
    EXPECT_EQ(sink.times.size(), 30u);

    // A flag missing: the text, and nothing reported.
    const std::string text = std::string("[ef_vi_udp_sender::handle_tx_timestamp] dev ") + client_if() +
                             " clock not sync,please check.\n";
    for (int flags : {1, 2, 0}) {
        SCOPED_TRACE(flags);
        hux_standin_efvi_set_sync_flags(flags);
        testing::internal::CaptureStdout();
        EXPECT_EQ(sender.ctpio_send(p.data(), 100, false), 100);
        std::fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), text);
        EXPECT_EQ(sink.times.size(), 30u);
    }
    hux_standin_efvi_set_sync_flags(3);
    EXPECT_EQ(sender.ctpio_send(p.data(), 100, false), 100);
    EXPECT_EQ(sink.times.size(), 31u);
    sender.destory();
}

// Another process drives the stand-in through its environment: the values
// are taken at the first use of any setting.
TEST(EfViStandinSettings, ComeFromTheEnvironmentAtFirstUse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("HUX_EFVI_CAPABILITY", "-1", 1);
    setenv("HUX_EFVI_REFUSE_VI", "1", 1);
    setenv("HUX_EFVI_RING", "4", 1);
    setenv("HUX_EFVI_DEFERRED_DMA", "1", 1);
    setenv("HUX_EFVI_SYNC_FLAGS", "2", 1);
    setenv("HUX_EFVI_REFUSE_TX", "1", 1);
    // The child is a fresh run of this program that goes straight here.
    EXPECT_EXIT(
        {
            const bool all = hux_standin_efvi_ring() == 4 && hux_standin_efvi_capability() == -1 &&
                             hux_standin_efvi_refuse_vi() == 1 && hux_standin_efvi_deferred_dma() == 1 &&
                             hux_standin_efvi_sync_flags() == 2 && hux_standin_efvi_refuse_tx() == 1;
            std::exit(all ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    for (char const* name : {"HUX_EFVI_CAPABILITY", "HUX_EFVI_REFUSE_VI", "HUX_EFVI_RING", "HUX_EFVI_DEFERRED_DMA",
                             "HUX_EFVI_SYNC_FLAGS", "HUX_EFVI_REFUSE_TX"})
        unsetenv(name);
}

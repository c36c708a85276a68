// Once set up, the ef_vi sender's sending thread makes no heap allocation:
// 10,000 ordinary sends (and 1,000 warm-ups among them) of each kind, CTPIO
// without and with transmit timestamps and DMA, with every allocation of
// this thread counted. The peer receives every datagram, so the sends did
// happen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/bypass/test_ef_vi_support.h"
#include "tests/support/alloc_count.h"

using namespace efvi_test;
using hux_alloc::g_allocations;
using hux_alloc::g_counting;
using hux_alloc::g_first_size;
using hux_alloc::t_counted;

namespace {

class EfViAllocations : public efvi_fixture {};

constexpr int COUNTED_SENDS = 10000;

struct quiet_sink : i_ef_vi_udp_client_event {
    long long reports = 0;
    void on_ef_vi_udp_report_timestamps(long long) override { ++reports; }
};

}  // namespace

TEST_F(EfViAllocations, SendingThreadAllocatesNothing) {
    HUX_NEED_NETNS();
    // The counter sees this thread.
    t_counted = true;
    g_counting = true;
    hux_alloc::allocate_once();
    g_counting = false;
    t_counted = false;
    ASSERT_EQ(g_allocations.load(), 1u);

    const int rx = hux_test::peer_udp_socket(40202);
    ASSERT_GE(rx, 0);
    struct kind {
        char const* name;
        long capability;
        bool timestamps;
    };
    for (kind const& k : {kind{"CTPIO", 1, false}, kind{"CTPIO with timestamps", 1, true}, kind{"DMA", 0, false}}) {
        SCOPED_TRACE(k.name);
        hux_standin_efvi_set_capability(k.capability);
        quiet_sink sink;
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info(hux_test::PEER_IP, 40202, 40201, k.timestamps), client_if(), "sfc", &sink,
                              nullptr),
                  0);
        ASSERT_EQ(sender.tx_timestamps(), k.timestamps);
        // The peer reads while this thread sends (its own allocations do not count).
        std::atomic<int> received{0};
        std::thread reader([&] {
            char got[256];
            while (received < 270 + COUNTED_SENDS && hux_test::recv_within(rx, got, sizeof got, 3000) == 100) ++received;
        });
        const std::string order = payload(100, 1);
        int warmed = 0;
        for (int i = 0; i < 300; ++i) warmed += sender.ctpio_send(order.data(), 100, i % 10 == 9) == 100;
        EXPECT_EQ(warmed, 300);

        g_allocations = 0;
        g_first_size = 0;
        int sent = 0;
        t_counted = true;
        g_counting = true;
        for (int i = 0; i < COUNTED_SENDS; ++i) {
            if (i % 10 == 9 && sender.ctpio_send(order.data(), 100, true) != 100) break;
            if (sender.ctpio_send(order.data(), 100, false) != 100) break;
            ++sent;
        }
        g_counting = false;
        t_counted = false;
        EXPECT_EQ(sent, COUNTED_SENDS);
        EXPECT_EQ(g_allocations.load(), 0u) << "first allocation: " << g_first_size.load() << " bytes";
        EXPECT_EQ(sink.reports, k.timestamps ? 270 + COUNTED_SENDS : 0);
        sender.handle_tx_events();
        sender.destory();

        // Every ordinary datagram arrived.
        reader.join();
        EXPECT_EQ(received.load(), 270 + COUNTED_SENDS);
    }
    close(rx);
}

// Once set up, the ExaNIC sender's sending thread makes no heap allocation:
// 10,000 sends of every kind, real and warm-up, with transmit timestamps on
// (the offset thread running, every order and quote reported).
#include <gtest/gtest.h>

#include <string>

#include "tests/bypass/test_exanic_support.h"
#include "tests/support/alloc_count.h"

using namespace hux_test;
using namespace exa_test;
using hux_alloc::allocate_once;
using hux_alloc::g_allocations;
using hux_alloc::g_counting;
using hux_alloc::g_first_size;
using hux_alloc::t_counted;

TEST(ExanicAllocations, NoneOnTheSendingThreadAfterInit) {
    EXA_NEED_PAIR();
    ts_sink sink;
    exanic_udp_client client;
    ASSERT_TRUE(client.init(record(PEER_IP, 40202, 40201, true), netns().client_if.c_str(), &sink, nullptr));
    const std::string order(100, 'o'), quote(196, 'q'), plain(45, 'p');

    // The counter sees this thread.
    g_allocations = 0;
    t_counted = true;
    g_counting = true;
    allocate_once();
    g_counting = false;
    ASSERT_EQ(g_allocations.load(), 1u);

    constexpr int ROUNDS = 10000;
    int failures = 0;
    g_allocations = 0;
    g_counting = true;
    for (int i = 0; i < ROUNDS; ++i) {
        failures += client.exanic_udp_send(plain.data(), 45, false) != 45;
        failures += client.exanic_udp_send(plain.data(), 45, true) != 45;
        failures += client.exanic_udp_for_new_order(order.data(), 100, false) != 100;
        failures += client.exanic_udp_for_new_order(order.data(), 100, true) != 100;
        failures += client.exanic_udp_for_new_quote(quote.data(), 196, false) != 196;
        failures += client.exanic_udp_for_new_quote(quote.data(), 196, true) != 196;
    }
    g_counting = false;
    t_counted = false;
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(g_allocations.load(), 0u) << "first allocation: " << g_first_size.load() << " bytes";
    EXPECT_EQ(sink.count, 2 * ROUNDS);  // the timestamp path ran every time
    EXPECT_EQ(hux_standin_exanic_warmups(), 3 * ROUNDS);
}

// Once warmed up, the order path (MVHUX_EnterOrder on the application's
// thread) and the accept path (the receive thread, from the socket read to
// the accept callback) make no heap allocation: 10,000 orders and their
// accepts against the simulated server, with every allocation counted.
//
// The simulated server runs in this process and allocates freely, so only
// the library's two threads count: the test thread while it sends, and the
// receive thread, which the accept callback marks as it runs. Allocations are
// seen through operator new and, outside the sanitizer builds (whose runtime
// owns malloc), through malloc and its kin.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "tests/support/session_support.h"
#include "tests/support/test_wait.h"

#include "tests/support/alloc_count.h"

using hux_alloc::allocate_once;
using hux_alloc::g_allocations;
using hux_alloc::g_counting;
using hux_alloc::g_first_size;
using hux_alloc::t_counted;

// ---------------------------------------------------------------- the flow

namespace {

using clock_type = std::chrono::steady_clock;

const int WARM_UP_ORDERS = 1000;
const int COUNTED_ORDERS = 10000;
const std::chrono::milliseconds ANSWER_WAIT = hux_test::test_wait();

// What the accept callback saw; written on the receive thread.
struct flow_events {
    std::atomic<uint64_t> accepts{0};
    std::atomic<uint32_t> last_token{0};
    // When set, the next accept callback allocates once (the probe).
    std::atomic<bool> allocate_in_callback{false};
};

flow_events g_events;

void on_accept(void*, HUX_OrderAcceptField* rec) {
    t_counted = true;  // this is the library's receive thread
    if (g_events.allocate_in_callback.exchange(false)) allocate_once();
    g_events.last_token.store(rec->client_token, std::memory_order_relaxed);
    g_events.accepts.fetch_add(1, std::memory_order_release);
}

// Spins until `count` accepts have arrived; false at the deadline. Allocates nothing.
bool wait_for_accepts(uint64_t count) {
    const clock_type::time_point deadline = clock_type::now() + ANSWER_WAIT;
    while (g_events.accepts.load(std::memory_order_acquire) < count) {
        if (clock_type::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// A handle logged on to a simulated server that accepts every order.
struct order_flow : trade_test::capi_session {
    uint32_t token = 0;

    explicit order_flow(const hux_sim::sim_config& cfg) : capi_session(cfg) {}
    ~order_flow() override { g_counting = false; }

    // One order with the next client token, and its accept. False when the
    // order was refused or its accept did not come; `echoed` is cleared when
    // the accept carried another token.
    bool round_trip(HUX_EnterOrderField& order, bool& echoed) {
        order.client_token = ++token;
        const uint64_t want = g_events.accepts.load() + 1;
        if (MVHUX_EnterOrder(h, &order, false) != HUX_RESULT_OK || !wait_for_accepts(want)) return false;
        if (g_events.last_token.load(std::memory_order_relaxed) != token) echoed = false;
        return true;
    }
};

hux_sim::sim_config accepting_server() {
    hux_sim::sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    cfg.order_answer = hux_sim::order_mode::accept;
    // Limits far above the orders sent, so that flow control refuses none.
    cfg.order_fc_count = 1000000;
    cfg.order_fc_window_us = 1000000;
    cfg.cancel_fc_count = 1000000;
    cfg.cancel_fc_window_us = 1000000;
    return cfg;
}

}  // namespace

TEST(ZeroAlloc, OrderAndAcceptPathsAllocateNothingAfterWarmUp) {
    order_flow flow(accepting_server());
    ASSERT_EQ(MVHUX_SetOrderAcceptEvent(flow.h, on_accept), HUX_RESULT_OK);
    ASSERT_NO_FATAL_FAILURE(flow.start());

    HUX_EnterOrderField order = trade_test::order_req(0);
    order.quantity = 1;
    bool echoed = true;
    for (int i = 0; i < WARM_UP_ORDERS; ++i) ASSERT_TRUE(flow.round_trip(order, echoed)) << "warm-up order " << i;
    ASSERT_TRUE(echoed);

    // The counter sees this thread's allocations and the receive thread's:
    // one allocation here and one in the accept callback, nothing else.
    t_counted = true;
    g_counting = true;
    allocate_once();
#if HUX_COUNT_MALLOC
    void* volatile block = malloc(32);
    free(block);
#endif
    const uint64_t on_this_thread = g_allocations.load();
    g_events.allocate_in_callback = true;
    const bool probe_accepted = flow.round_trip(order, echoed);
    const uint64_t with_probe = g_allocations.load();
    g_counting = false;
    t_counted = false;
    ASSERT_TRUE(probe_accepted);
    EXPECT_EQ(on_this_thread, HUX_COUNT_MALLOC ? 2u : 1u);
    EXPECT_EQ(with_probe, on_this_thread + 1) << "the receive thread's allocation was not seen";

    // The counted orders. Nothing in this loop but the library allocates.
    g_allocations = 0;
    g_first_size = 0;
    int accepted = 0;
    t_counted = true;
    g_counting = true;
    for (int i = 0; i < COUNTED_ORDERS; ++i) {
        if (!flow.round_trip(order, echoed)) break;
        ++accepted;
    }
    g_counting = false;
    t_counted = false;

    EXPECT_EQ(accepted, COUNTED_ORDERS);
    EXPECT_TRUE(echoed) << "an accept carried another order's token";
    EXPECT_EQ(g_allocations.load(), 0u) << "first allocation: " << g_first_size.load() << " bytes";
    EXPECT_EQ(flow.srv.count(0, hux_sim::msg_new_order), static_cast<size_t>(WARM_UP_ORDERS + 1 + COUNTED_ORDERS));
}

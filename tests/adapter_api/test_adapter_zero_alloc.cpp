// Once warmed up, the adapter's order path (MVHUX_EnterOrder and
// MVHUX_EnterMultiOrders on the application's thread), its cancel path
// (MVHUX_CancelOrder) and its receive path (the trade session's receive
// thread, from the socket read to the accept and cancelled callbacks) make
// no heap allocation: 10,000 orders and their accepts, batches of 16, and
// cancels with their answers, against the simulated server in this process,
// both sessions logged on, with every allocation of those threads counted.
//
// The simulated server runs in this process and allocates freely, so only
// the library's two threads count: the test thread while it calls the
// library and waits, and the receive thread, which the callbacks mark as
// they run (the mark stays with the thread). Allocations are seen through
// operator new and, outside the sanitizer builds (whose runtime owns
// malloc), through malloc and its kin. A probe allocation in a callback
// shows that the receive thread is seen.
//
// The server answers a cancel with the trading server's verdict (1011); an
// accepting verdict reaches no callback. The cancelled callback is raised
// by the exchange's report of the cancelled order (1015, status 4), which
// the server does not send of itself: the test sends it through the server
// (uncounted, since the sending is the server's work).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "adapter/Client.h"
#include "mv_hux_adapter.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_trade_server.h"

#include "tests/support/alloc_count.h"
#include "tests/support/test_wait.h"

using hux_alloc::allocate_once;
using hux_alloc::g_allocations;
using hux_alloc::g_counting;
using hux_alloc::g_first_size;
using hux_alloc::t_counted;

namespace {

using clock_type = std::chrono::steady_clock;

const int WARM_UP_ORDERS = 1000;
const int COUNTED_ORDERS = 10000;
const int BATCH = 16;  // the largest batch the adapter takes
const int COUNTED_BATCHES = 300;
const int COUNTED_CANCELS = 2000;
const uint32_t USER_ID = 1001;

// The longest a test waits for one answer; HUX_TEST_WAIT_MS overrides it.
clock_type::duration wait_limit() { return hux_test::test_wait(); }

// ---------------------------------------------------------------- callbacks

enum { PROBE_NONE, PROBE_ACCEPT, PROBE_CANCELLED };

// What the callbacks saw; written on the receive thread.
struct flow_events {
    std::atomic<uint64_t> accepts{0};
    std::atomic<uint32_t> last_token{0};
    std::atomic<uint64_t> cancelled{0};
    std::atomic<uint32_t> last_cancelled_token{0};
    std::atomic<uint64_t> rejects{0};  // orders and cancels refused: none expected
    std::atomic<uint64_t> logons{0};
    std::atomic<int> last_logon_result{-1};
    // The callback that allocates once, the next time it runs (the probe).
    std::atomic<int> probe{PROBE_NONE};
};

flow_events g_events;

void on_accept(void*, HUX_OrderAcceptField* rec) {
    t_counted = true;  // this is the library's receive thread
    int probe = PROBE_ACCEPT;
    if (g_events.probe.compare_exchange_strong(probe, PROBE_NONE)) allocate_once();
    g_events.last_token.store(rec->client_token, std::memory_order_relaxed);
    g_events.accepts.fetch_add(1, std::memory_order_release);
}

void on_cancelled(void*, HUX_OrderCxled* rec) {
    t_counted = true;
    int probe = PROBE_CANCELLED;
    if (g_events.probe.compare_exchange_strong(probe, PROBE_NONE)) allocate_once();
    g_events.last_cancelled_token.store(rec->client_token, std::memory_order_relaxed);
    g_events.cancelled.fetch_add(1, std::memory_order_release);
}

void on_order_reject(void*, HUX_OrderRejectField*) { g_events.rejects.fetch_add(1); }
void on_cancel_reject(void*, HUX_CxlOrderRej*) { g_events.rejects.fetch_add(1); }

void on_logon(void*, HUX_LogonResponse* rsp) {
    g_events.last_logon_result = rsp->result;
    g_events.logons.fetch_add(1, std::memory_order_release);
}

// Spins until `counter` reaches `count`; false at the deadline. Allocates nothing.
bool wait_for(const std::atomic<uint64_t>& counter, uint64_t count) {
    const clock_type::time_point deadline = clock_type::now() + wait_limit();
    while (counter.load(std::memory_order_acquire) < count) {
        if (clock_type::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// ---------------------------------------------------------------- the flow

// A server that accepts every order and cancel, with flow-control limits
// far above the orders sent, and its query port.
hux_sim::sim_config accepting_server() {
    hux_sim::sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = USER_ID;
    cfg.query_user_id = 2002;
    cfg.order_answer = hux_sim::order_mode::accept;
    cfg.order_fc_count = 1000000;
    cfg.order_fc_window_us = 1000000;
    cfg.cancel_fc_count = 1000000;
    cfg.cancel_fc_window_us = 1000000;
    return cfg;
}

// A handle with both sessions logged on to the simulated server.
struct order_flow {
    hux_sim::sim_trade_server srv;  // outlives the handle
    void* h = nullptr;
    uint32_t token = 0;
    bool echoed = true;  // every accept carried the token just sent

    order_flow() {
        g_events.accepts = 0;
        g_events.cancelled = 0;
        g_events.rejects = 0;
        h = MVHUX_CreateTrade(nullptr);
    }
    ~order_flow() {
        g_counting = false;
        t_counted = false;
        MVHUX_DestroyTrade(h);
    }

    void start() {
        ASSERT_TRUE(srv.listening());
        ASSERT_TRUE(srv.set_config(accepting_server()));
        ASSERT_TRUE(srv.open_query(0));
        HUX_ADAPTER::Client* client = static_cast<HUX_ADAPTER::Client*>(h);
        HUX_SESSION::TradeClientTimings t = client->Trade().GetTimings();
        t.close_pause_ms = 1;
        client->Trade().SetTimings(t);
        HUX_ADAPTER::QueryClientTimings q = client->Query().GetTimings();
        q.close_pause_ms = 1;
        client->Query().SetTimings(q);
        ASSERT_EQ(MVHUX_SetUserLogonEvent(h, on_logon), HUX_RESULT_OK);
        ASSERT_EQ(MVHUX_SetOrderAcceptEvent(h, on_accept), HUX_RESULT_OK);
        ASSERT_EQ(MVHUX_SetOrderCxledEvent(h, on_cancelled), HUX_RESULT_OK);
        ASSERT_EQ(MVHUX_SetOrderRejectEvent(h, on_order_reject), HUX_RESULT_OK);
        ASSERT_EQ(MVHUX_SetCxlOrderRejectEvent(h, on_cancel_reject), HUX_RESULT_OK);

        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        std::strcpy(info.query_ip, "127.0.0.1");
        info.query_port = srv.query_port();
        info.heartbeat_interval = 0;
        ASSERT_EQ(MVHUX_ConnServer(h, &info), HUX_RESULT_OK);
        ASSERT_TRUE(srv.wait_for_connection(0, std::chrono::duration_cast<std::chrono::milliseconds>(wait_limit())));
        const uint64_t logons = g_events.logons.load();
        ASSERT_EQ(MVHUX_UserLogon(h, "trader01", "pw", "app-x", "AUTH123"), HUX_RESULT_OK);
        ASSERT_TRUE(wait_for(g_events.logons, logons + 1)) << "no logon answer";
        ASSERT_EQ(g_events.last_logon_result.load(), 0) << "the trade and the query session both log on";
        unsigned int max_token = 0;
        ASSERT_EQ(MVHUX_GetMaxToken(h, &max_token), HUX_RESULT_OK);
        token = max_token;
    }

    static HUX_EnterOrderField order() {
        HUX_EnterOrderField o;
        std::memset(&o, 0, sizeof(o));
        std::strcpy(o.account, "ACC001");
        std::strcpy(o.symbol, "IF2406");
        o.side = 1;
        o.exchange_id = 101;
        o.price = 10.0;
        o.quantity = 1;
        o.opt_8 = 1;
        return o;
    }

    // One order with the next client token, and its accept. False when the
    // order was refused or its accept did not come.
    bool round_trip(HUX_EnterOrderField& o) {
        o.client_token = ++token;
        const uint64_t want = g_events.accepts.load() + 1;
        if (MVHUX_EnterOrder(h, &o) != HUX_RESULT_OK || !wait_for(g_events.accepts, want)) return false;
        if (g_events.last_token.load(std::memory_order_relaxed) != token) echoed = false;
        return true;
    }

    // A batch of BATCH orders in one write, and their accepts.
    bool batch_round_trip(HUX_EnterOrderField (&batch)[BATCH]) {
        for (HUX_EnterOrderField& o : batch) o.client_token = ++token;
        const uint64_t want = g_events.accepts.load() + BATCH;
        if (MVHUX_EnterMultiOrders(h, batch, BATCH) != HUX_RESULT_OK || !wait_for(g_events.accepts, want))
            return false;
        if (g_events.last_token.load(std::memory_order_relaxed) != token) echoed = false;
        return true;
    }

    // The exchange's report that the order of `order_token` was cancelled
    // (1015, status 4, marked for the application with '0' at 16).
    static std::string cancelled_report(uint32_t order_token) {
        hux_sim::sim_order o;
        o.user_low = static_cast<uint8_t>(USER_ID);
        o.exchange_id = 101;
        o.opt_7 = '0';
        o.side = 1;
        o.client_token = static_cast<int32_t>(order_token);
        o.quantity = 1;
        o.account = "ACC001";
        o.symbol = "IF2406";
        o.byte_124 = 4;
        return hux_sim::order_message(1015, o);
    }
};

// The counter sees this thread's allocations and the receive thread's: one
// allocation (and one malloc where malloc is counted) here and one in the
// `probe` callback that `step` brings, nothing else.
template <class STEP>
void expect_probe_counted(int probe, STEP step) {
    g_allocations = 0;
    t_counted = true;
    g_counting = true;
    allocate_once();
#if HUX_COUNT_MALLOC
    void* volatile block = malloc(32);
    free(block);
#endif
    const uint64_t on_this_thread = g_allocations.load();
    g_events.probe = probe;
    const bool answered = step();
    const uint64_t with_probe = g_allocations.load();
    g_counting = false;
    t_counted = false;
    ASSERT_TRUE(answered);
    EXPECT_EQ(g_events.probe.load(), PROBE_NONE) << "the probe's callback did not run";
    EXPECT_EQ(on_this_thread, HUX_COUNT_MALLOC ? 2u : 1u);
    EXPECT_EQ(with_probe, on_this_thread + 1) << "the receive thread's allocation was not seen";
}

void start_counting() {
    g_allocations = 0;
    g_first_size = 0;
    t_counted = true;
    g_counting = true;
}

void stop_counting() {
    g_counting = false;
    t_counted = false;
}

}  // namespace

TEST(AdapterZeroAlloc, OrderAndAcceptPathsAllocateNothingAfterWarmUp) {
    order_flow flow;
    ASSERT_NO_FATAL_FAILURE(flow.start());
    HUX_EnterOrderField o = order_flow::order();
    for (int i = 0; i < WARM_UP_ORDERS; ++i) ASSERT_TRUE(flow.round_trip(o)) << "warm-up order " << i;
    ASSERT_TRUE(flow.echoed);

    ASSERT_NO_FATAL_FAILURE(expect_probe_counted(PROBE_ACCEPT, [&] { return flow.round_trip(o); }));

    // The counted orders. Nothing in this loop but the library allocates.
    int accepted = 0;
    start_counting();
    for (int i = 0; i < COUNTED_ORDERS; ++i) {
        if (!flow.round_trip(o)) break;
        ++accepted;
    }
    stop_counting();

    EXPECT_EQ(accepted, COUNTED_ORDERS);
    EXPECT_TRUE(flow.echoed) << "an accept carried another order's token";
    EXPECT_EQ(g_events.rejects.load(), 0u);
    EXPECT_EQ(g_allocations.load(), 0u) << "first allocation: " << g_first_size.load() << " bytes";
    EXPECT_EQ(flow.srv.count(0, hux_sim::msg_new_order), static_cast<size_t>(WARM_UP_ORDERS + 1 + COUNTED_ORDERS));
}

// Batches of 16 orders in one write and their 16 accepts; then cancels, the
// server's verdicts on them and the cancelled callbacks. Each cancel names
// the order just accepted; its verdict is read before the next order's
// accept (the server answers in order), and the last one's before the
// closing order's.
TEST(AdapterZeroAlloc, BatchAndCancelPathsAllocateNothingAfterWarmUp) {
    order_flow flow;
    ASSERT_NO_FATAL_FAILURE(flow.start());
    HUX_EnterOrderField batch[BATCH];
    for (HUX_EnterOrderField& o : batch) o = order_flow::order();
    HUX_EnterOrderField o = order_flow::order();
    HUX_CancelOrder cancel;
    std::memset(&cancel, 0, sizeof(cancel));

    // Reports for every order the cancel rounds will send, made before any
    // counting (the test's own strings).
    const int rounds = WARM_UP_ORDERS / 10 + 1 + COUNTED_CANCELS;
    std::vector<std::string> reports;
    reports.reserve(rounds);

    // One cancel round: an order and its accept, a cancel of it, and the
    // exchange's report of its cancel with the cancelled callback. The
    // server's sending runs uncounted.
    size_t report = 0;
    auto cancel_round = [&]() -> bool {
        if (!flow.round_trip(o)) return false;
        cancel.market_token = flow.token;
        cancel.client_token = ++flow.token;
        if (MVHUX_CancelOrder(flow.h, &cancel) != HUX_RESULT_OK) return false;
        const uint64_t want = g_events.cancelled.load() + 1;
        const bool counted = t_counted;
        t_counted = false;
        const bool sent = report < reports.size() && flow.srv.send_raw(0, reports[report++]);
        t_counted = counted;
        return sent && wait_for(g_events.cancelled, want) &&
               g_events.last_cancelled_token.load(std::memory_order_relaxed) == cancel.client_token - 1;
    };
    // The order tokens of the cancel rounds follow each other two apart from
    // the token that the batches leave.
    auto plan_reports = [&](uint32_t first_order_token) {
        reports.clear();
        for (int i = 0; i < rounds; ++i)
            reports.push_back(order_flow::cancelled_report(first_order_token + 2 * static_cast<uint32_t>(i)));
        report = 0;
    };

    for (int i = 0; i < WARM_UP_ORDERS / BATCH; ++i) ASSERT_TRUE(flow.batch_round_trip(batch)) << "warm-up batch " << i;
    ASSERT_TRUE(flow.echoed);
    ASSERT_NO_FATAL_FAILURE(expect_probe_counted(PROBE_ACCEPT, [&] { return flow.batch_round_trip(batch); }));

    int batches = 0;
    start_counting();
    for (int i = 0; i < COUNTED_BATCHES; ++i) {
        if (!flow.batch_round_trip(batch)) break;
        ++batches;
    }
    stop_counting();
    EXPECT_EQ(batches, COUNTED_BATCHES);
    EXPECT_TRUE(flow.echoed) << "a batch's last accept carried another order's token";
    EXPECT_EQ(g_allocations.load(), 0u) << "batches: first allocation: " << g_first_size.load() << " bytes";
    const size_t batch_orders = static_cast<size_t>(BATCH) * (WARM_UP_ORDERS / BATCH + 1 + COUNTED_BATCHES);
    EXPECT_EQ(flow.srv.count(0, hux_sim::msg_new_order), batch_orders);

    plan_reports(flow.token + 1);
    for (int i = 0; i < WARM_UP_ORDERS / 10; ++i) ASSERT_TRUE(cancel_round()) << "warm-up cancel " << i;
    ASSERT_NO_FATAL_FAILURE(expect_probe_counted(PROBE_CANCELLED, [&] { return cancel_round(); }));

    int cancels = 0;
    start_counting();
    for (int i = 0; i < COUNTED_CANCELS; ++i) {
        if (!cancel_round()) break;
        ++cancels;
    }
    // The last cancel's verdict comes before this order's accept.
    const bool closed = flow.round_trip(o);
    stop_counting();

    EXPECT_EQ(cancels, COUNTED_CANCELS);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(flow.echoed);
    EXPECT_EQ(g_events.rejects.load(), 0u) << "an order or a cancel was refused";
    EXPECT_EQ(g_allocations.load(), 0u) << "cancels: first allocation: " << g_first_size.load() << " bytes";
    EXPECT_EQ(flow.srv.count(0, hux_sim::msg_cancel_order), static_cast<size_t>(rounds));
    EXPECT_EQ(flow.srv.count(0, hux_sim::msg_new_order), batch_orders + rounds + 1);
}

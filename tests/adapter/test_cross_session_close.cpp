// A trade session and a query session that close each other from their own
// event threads, as the two-session client does when one of its sessions
// drops: neither close may wait for the other's threads, nothing of a
// dropped client reaches its session afterwards, and everything is freed
// once a thread outside the callbacks disconnects.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "adapter/QueryClient.h"
#include "adapter/TradeClient.h"
#include "sim/sim_trade_server.h"
#include "tests/adapter/test_query_support.h"

namespace {

using HUX_ADAPTER::CQueryClient;
using HUX_ADAPTER::CTradeClient;
using namespace std::chrono;

struct events {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> codes;

    void add(int code) {
        std::lock_guard<std::mutex> guard(lock);
        codes.push_back(code);
        changed.notify_all();
    }
    bool wait_for(int code, milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, timeout, [&] {
            for (int c : codes)
                if (c == code) return true;
            return false;
        });
    }
    size_t count(int code) {
        std::lock_guard<std::mutex> guard(lock);
        size_t n = 0;
        for (int c : codes) n += c == code;
        return n;
    }
};

// Each session's peer-close event closes the other session on the same
// thread, and records when that close returned.
// The longest close of the other session made inside a callback, in
// milliseconds: a close that waited for the other session's threads while
// they waited for this one would take as long as the clients' stop waits.
std::atomic<long long> g_longest_close_ms{0};

template <class S>
void close_timed(S* other) {
    const auto start = steady_clock::now();
    other->DisConnServer();
    const long long ms = duration_cast<milliseconds>(steady_clock::now() - start).count();
    long long seen = g_longest_close_ms.load();
    while (ms > seen && !g_longest_close_ms.compare_exchange_weak(seen, ms)) {
    }
}

struct trade_side : HUX_ADAPTER::TradeClientEvent {
    events seen;
    CQueryClient* other = nullptr;
    std::atomic<int> closed_other{0};
    void on_trade_client_connect_event(int code, const char*) override {
        if (code == 2 && other) {
            close_timed(other);
            ++closed_other;
        }
        seen.add(code);
    }
    void on_trade_client_logon_event(HUX_LogonResponse*) override {}
};

struct query_side : HUX_ADAPTER::QueryClientEvent {
    events seen;
    CTradeClient* other = nullptr;
    std::atomic<int> closed_other{0};
    void on_query_client_connect_event(int code, const char*) override {
        if (code == 2 && other) {
            close_timed(other);
            ++closed_other;
        }
        seen.add(code);
    }
    void on_query_client_logon_event(HUX_LogonResponse*) override {}
};

}  // namespace

TEST(CrossSessionClose, EachSessionClosesTheOtherFromItsOwnThreadWithoutWaiting) {
    const size_t threads_before = query_test::settled_thread_count();
    for (int round = 0; round < 20; ++round) {
        hux_sim::sim_trade_server trade_server;
        query_test::query_server query_server;
        ASSERT_TRUE(trade_server.listening());
        trade_side trade_events;
        query_side query_events;
        {
            CTradeClient trade(nullptr, &trade_events, nullptr);
            CQueryClient query(nullptr, &query_events, nullptr);
            query_test::shorten_waits(query);
            HUX_SESSION::TradeClientTimings t = trade.GetTimings();
            t.close_pause_ms = 1;
            t.tcp_stop_wait_ms = 60000;  // a close that waits would wait this long
            trade.SetTimings(t);
            trade_events.other = &query;
            query_events.other = &trade;

            HUX_TradeSvrInfo info = query_test::query_info(query_server.port());
            std::strncpy(info.server_ip, "127.0.0.1", sizeof(info.server_ip));
            info.tcp_port = trade_server.port();
            ASSERT_TRUE(trade.ConnServer(info));
            ASSERT_TRUE(query.ConnServer(info));
            ASSERT_TRUE(trade_events.seen.wait_for(0, query_test::kWait));
            ASSERT_TRUE(query_events.seen.wait_for(0, query_test::kWait));
            const size_t trade_conn = 0;
            ASSERT_TRUE(trade_server.wait_for_connection(trade_conn, query_test::kWait));
            ASSERT_TRUE(query_server.raw().wait_accept(0, query_test::kWait));

            // Both servers close at once: both event threads run a close of
            // the other session at the same time.
            std::thread a([&] { trade_server.close(trade_conn); });
            std::thread b([&] { query_server.raw().close(0); });
            a.join();
            b.join();
            const auto deadline = steady_clock::now() + query_test::kWait;
            while ((trade_events.closed_other + query_events.closed_other) == 0 && steady_clock::now() < deadline)
                std::this_thread::yield();
            // Whichever event came first closed the other session; its close
            // returned (no thread waits for the other) and the closed one
            // reports nothing of its own dropped client.
            ASSERT_GE(trade_events.closed_other + query_events.closed_other, 1) << "round " << round;
            EXPECT_FALSE(trade.IsConnect() && query.IsConnect()) << "round " << round;
            // A thread outside the callbacks frees what was retired.
            trade.DisConnServer();
            query.DisConnServer();
            EXPECT_FALSE(trade.IsConnect());
            EXPECT_FALSE(query.IsConnect());
            EXPECT_LE(trade_events.seen.count(2) + query_events.seen.count(2), 2u);
            trade_events.other = nullptr;
            query_events.other = nullptr;
        }
    }
    // No close inside a callback waited for the other session's threads (a
    // bound far above a close that does not wait, far below the stop waits).
    EXPECT_LT(g_longest_close_ms.load(), 3000);
    // Every client and its threads are gone with the sessions.
    const auto deadline = steady_clock::now() + query_test::kWait;
    while (query_test::settled_thread_count() > threads_before && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(1));
    EXPECT_EQ(query_test::settled_thread_count(), threads_before);
}

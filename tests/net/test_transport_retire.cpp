// Transports closed on their own threads: the thread marks, and the list
// that frees them later from another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/transport_retire.h"

using HUX_NET::retired_transports;
using HUX_NET::transport_scope;

TEST(TransportRetire, ScopesNestPerThreadAndFreesWaitForAnotherThread) {
    int trade = 0, query = 0;
    EXPECT_FALSE(transport_scope::inside(&trade));
    {
        transport_scope outer(&query);
        EXPECT_TRUE(transport_scope::inside(&query));
        EXPECT_FALSE(transport_scope::inside(&trade));
        {
            // A query callback that reaches a trade callback on the same thread.
            transport_scope inner(&trade);
            EXPECT_TRUE(transport_scope::inside(&trade));
            EXPECT_TRUE(transport_scope::inside(&query));
            bool other_thread_inside = true;
            std::thread([&] { other_thread_inside = transport_scope::inside(&trade); }).join();
            EXPECT_FALSE(other_thread_inside);
        }
        EXPECT_FALSE(transport_scope::inside(&trade));
        EXPECT_TRUE(transport_scope::inside(&query));
    }
    EXPECT_FALSE(transport_scope::inside(&query));

    EXPECT_FALSE(transport_scope::inside_any());
    std::atomic<int> freed{0};
    retired_transports list;
    // Retired inside a transport's callback: that thread frees nothing while
    // it is inside one (it may be the retired transport's own thread).
    std::thread([&] {
        transport_scope scope(&trade);
        EXPECT_TRUE(transport_scope::inside_any());
        list.retire([&] { freed += 1; });
        list.free_ready();
        EXPECT_EQ(freed.load(), 0);
    }).join();
    {
        transport_scope scope(&query);
        list.retire([&] { freed += 10; });
        list.free_ready();
        EXPECT_EQ(freed.load(), 0);
    }
    EXPECT_EQ(list.size(), 2u);
    // Any thread outside every callback frees everything, the one that
    // retired an entry included (a thread id may be reused once its thread
    // has ended, so the retiring thread's identity decides nothing).
    list.free_ready();
    EXPECT_EQ(freed.load(), 11);
    EXPECT_EQ(list.size(), 0u);
}

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
    // Retired on a transport's thread: that thread may not free it, this one may.
    std::thread([&] {
        list.retire([&] { freed += 1; });
        list.free_ready();
        EXPECT_EQ(freed.load(), 0);
    }).join();
    list.retire([&] { freed += 10; });  // retired here: left for another thread
    EXPECT_EQ(list.size(), 2u);
    list.free_ready();
    EXPECT_EQ(freed.load(), 1);
    EXPECT_EQ(list.size(), 1u);
    // A thread inside any transport's callback frees nothing: it may be one
    // of the retired transport's own threads.
    std::thread([&] {
        int other = 0;
        transport_scope scope(&other);
        EXPECT_TRUE(transport_scope::inside_any());
        list.free_ready();
    }).join();
    EXPECT_EQ(freed.load(), 1);
    std::thread([&] { list.free_ready(); }).join();
    EXPECT_EQ(freed.load(), 11);
    EXPECT_EQ(list.size(), 0u);
}

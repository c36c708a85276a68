// Byte buffer, object pool and locked queue: growth and compaction edges,
// pool recycling order, queue errors, and all three under real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tools/data_pool.h"
#include "tools/data_queue.h"
#include "tools/stream_buffer.h"
#include "tests/support/test_wait.h"

using namespace MORVAST::TOOLS;

namespace {
std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) % 251);
    return s;
}
std::string contents(const stream_buffer& sb) { return std::string(sb.get_data_ptr(), sb.get_data_len()); }
bool push(stream_buffer& sb, const std::string& s) { return sb.push_data(s.data(), s.size()); }
// Write offset, from the block start taken while the read offset was 0.
size_t end_of(stream_buffer& sb, const char* block) { return static_cast<size_t>(sb.get_reserve_ptr() - block); }
}  // namespace

TEST(StreamBuffer, PushMovesUnreadBytesBeforeGrowingAndGrowsEnough) {
    stream_buffer sb(2048);
    const char* block = sb.get_data_ptr();
    ASSERT_TRUE(push(sb, pattern(2040, 1)));
    ASSERT_TRUE(sb.pop_data(1040));  // 1000 unread from 1040, 8 free at the end
    ASSERT_TRUE(push(sb, pattern(80, 2)));
    EXPECT_EQ(2048u, sb.get_buf_len());
    EXPECT_EQ(block, sb.get_data_ptr());
    EXPECT_EQ(1080u, end_of(sb, block));
    EXPECT_EQ(pattern(2040, 1).substr(1040) + pattern(80, 2), contents(sb));

    stream_buffer doubled(2048), needed(2048);
    ASSERT_TRUE(push(doubled, pattern(2048, 3)) && push(needed, pattern(2048, 3)));
    EXPECT_EQ(2048u, doubled.get_buf_len());  // exactly full, no growth
    ASSERT_TRUE(push(doubled, pattern(10, 4)));
    EXPECT_EQ(4096u, doubled.get_buf_len());
    EXPECT_EQ(pattern(2048, 3) + pattern(10, 4), contents(doubled));
    ASSERT_TRUE(push(needed, pattern(5000, 5)));
    EXPECT_EQ(7048u, needed.get_buf_len());
    EXPECT_EQ(pattern(2048, 3) + pattern(5000, 5), contents(needed));
}

TEST(StreamBuffer, PopFillAndReserveStayInsideTheBlock) {
    stream_buffer sb(2048);
    const char* block = sb.get_data_ptr();
    ASSERT_TRUE(push(sb, pattern(300, 6)));
    EXPECT_TRUE(sb.pop_data(100));
    EXPECT_EQ(block + 100, sb.get_data_ptr());
    EXPECT_TRUE(sb.pop_data(200));  // exactly what is unread: both offsets 0
    EXPECT_EQ(block, sb.get_data_ptr());
    EXPECT_EQ(0u, end_of(sb, block));
    ASSERT_TRUE(push(sb, "abcdef"));
    EXPECT_TRUE(sb.pop_data(1000));  // more than is buffered pops what is there
    EXPECT_EQ(0u, sb.get_data_len());
    EXPECT_EQ(0u, end_of(sb, block));

    // Direct writes: the fill is clamped to the room left.
    EXPECT_EQ(2048u, sb.get_reserve_len());
    memcpy(sb.get_reserve_ptr(), pattern(2048, 7).data(), 2048);
    EXPECT_EQ(2048u, sb.fill_reserve_len(1000000));
    EXPECT_EQ(2048u, sb.fill_reserve_len(1));
    EXPECT_EQ(pattern(2048, 7), contents(sb));

    // Full after some reading: the unread bytes move to the front.
    ASSERT_TRUE(sb.pop_data(48));
    EXPECT_EQ(48u, sb.get_reserve_len());
    EXPECT_EQ(block, sb.get_data_ptr());
    EXPECT_EQ(pattern(2048, 7).substr(48), contents(sb));
    // Full with nothing read: the block doubles.
    EXPECT_EQ(2048u, sb.fill_reserve_len(48));
    EXPECT_EQ(2048u, sb.get_reserve_len());
    EXPECT_EQ(4096u, sb.get_buf_len());
    EXPECT_EQ(2048u, sb.get_data_len());

    // Moving toward the start of the same block, overlapping.
    char bytes[] = "abcdefgh";
    stream_buffer::mem_copy(bytes, bytes + 2, 6);
    EXPECT_STREQ("cdefghgh", bytes);
}

TEST(StreamBuffer, BadSizesFailCleanly) {
    stream_buffer empty(0), reserve(0);
    ASSERT_TRUE(push(empty, "hello"));  // a zero-sized block grows on a push
    EXPECT_EQ(5u, empty.get_buf_len());
    EXPECT_EQ("hello", contents(empty));
    EXPECT_EQ(2048u, reserve.get_reserve_len());  // and on a reserve request

    // Lengths that would wrap the size arithmetic or exceed any block.
    stream_buffer sb(16);
    ASSERT_TRUE(push(sb, "0123456789"));
    const char one = 'x';
    EXPECT_FALSE(sb.push_data(&one, SIZE_MAX));
    EXPECT_FALSE(sb.push_data(&one, SIZE_MAX - 5));
    EXPECT_FALSE(sb.push_data(&one, SIZE_MAX / 2 + 1));
    EXPECT_FALSE(sb.push_data(nullptr, 3));
    EXPECT_TRUE(sb.push_data(nullptr, 0));
    EXPECT_EQ(16u, sb.get_buf_len());
    EXPECT_EQ("0123456789", contents(sb));
}

namespace {
struct counted {
    static int alive;
    counted() { ++alive; }
    ~counted() { --alive; }
};
int counted::alive = 0;
}  // namespace

TEST(DataPool, KeepsDepthIdleObjectsLastInFirstOut) {
    counted* outstanding = nullptr;
    {
        data_pool<counted> pool(2);
        counted* a = pool.new_data();
        counted* b = pool.new_data();
        counted* c = pool.new_data();
        pool.delete_data(a);
        pool.delete_data(b);
        pool.delete_data(c);  // no idle slot left: destroyed
        EXPECT_EQ(2, pool.get_ready_count());
        EXPECT_EQ(2, pool.get_total_count());
        EXPECT_EQ(2, counted::alive);
        EXPECT_EQ(b, pool.new_data());
        EXPECT_EQ(a, pool.new_data());
        outstanding = pool.new_data();
        EXPECT_EQ(3, pool.get_total_count());
        pool.delete_data(a);
        pool.delete_data(b);
    }
    EXPECT_EQ(1, counted::alive);  // the pool frees only its idle objects
    delete outstanding;

    data_pool<stream_buffer> buffers(512);
    stream_buffer* sb = buffers.new_data();
    EXPECT_EQ(2048u, sb->get_buf_len());
    ASSERT_TRUE(push(*sb, "kept"));
    buffers.delete_data(sb);
    EXPECT_EQ(sb, buffers.new_data());
    EXPECT_EQ("kept", contents(*sb));  // the taker clears it
    buffers.delete_data(sb);
}

TEST(DataQueue, FirstInFirstOutAndEmptyQueueErrors) {
    data_queue<int> q;
    q.pop_front_node();
    EXPECT_TRUE(q.empty());
    try {
        q.get_front_node();
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ("data queue empty ", e.what());
        ASSERT_NE(nullptr, dynamic_cast<const bad_str_key*>(&e));
        EXPECT_EQ(-1, dynamic_cast<const bad_str_key&>(e).m_error_code);
    }
    q.push_node(1);
    q.push_node(2);
    q.get_front_node() = 10;
    EXPECT_EQ(10, q.get_front_node());
    q.pop_front_node();
    q.push_node(3);
    EXPECT_EQ(2, q.get_front_node());
    q.pop_front_node();
    EXPECT_EQ(3, q.get_front_node());
    q.pop_front_node();
    EXPECT_TRUE(q.empty());
}

TEST(DataQueue, ProducerAndConsumerShareBuffersThroughPoolAndQueue) {
    const uint32_t count = 100000;
    data_pool<stream_buffer> pool(8);
    data_queue<stream_buffer*> queue;
    std::thread producer([&] {
        for (uint32_t i = 0; i < count; ++i) {
            stream_buffer* sb = pool.new_data();
            sb->reset_data(reinterpret_cast<const char*>(&i), sizeof(i));
            queue.push_node(sb);
        }
    });
    std::vector<uint32_t> got;
    auto deadline = std::chrono::steady_clock::now() + hux_test::test_wait();
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        if (queue.empty()) {
            std::this_thread::yield();
            continue;
        }
        stream_buffer* sb = queue.get_front_node();
        queue.pop_front_node();
        uint32_t v = UINT32_MAX;
        if (sb->get_data_len() == sizeof(v)) memcpy(&v, sb->get_data_ptr(), sizeof(v));
        got.push_back(v);
        pool.delete_data(sb);
    }
    producer.join();
    ASSERT_EQ(count, got.size());
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(i, got[i]);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(pool.get_total_count(), pool.get_ready_count());
}

TEST(StreamBuffer, ConcurrentPushersAndPopperConserveEveryRecord) {
    struct record {
        uint32_t producer, seq;
    };
    const uint32_t per_producer = 50000;
    stream_buffer sb(64);
    // Producer 0 pushes each record in two halves, made one unit by the lock.
    std::thread halves([&] {
        for (uint32_t i = 0; i < per_producer; ++i) {
            record r{0, i};
            sb.lock_stream();
            sb.push_data(reinterpret_cast<const char*>(&r), 4);
            sb.push_data(reinterpret_cast<const char*>(&r) + 4, 4);
            sb.unlock_stream();
        }
    });
    std::thread wholes([&] {
        for (uint32_t i = 0; i < per_producer; ++i) {
            record r{1, i};
            sb.push_data(reinterpret_cast<const char*>(&r), sizeof(r));
        }
    });
    uint32_t next[2] = {0, 0};
    size_t total = 0;
    bool torn = false, disordered = false;
    std::vector<char> chunk;
    auto deadline = std::chrono::steady_clock::now() + hux_test::test_wait();
    while (total < 2 * per_producer * sizeof(record) && std::chrono::steady_clock::now() < deadline) {
        sb.lock_stream();
        chunk.assign(sb.get_data_ptr(), sb.get_data_ptr() + sb.get_data_len());
        sb.pop_data(chunk.size());
        sb.unlock_stream();
        if (chunk.empty()) std::this_thread::yield();
        torn |= chunk.size() % sizeof(record) != 0;
        total += chunk.size();
        for (size_t off = 0; off + sizeof(record) <= chunk.size(); off += sizeof(record)) {
            record r;
            memcpy(&r, chunk.data() + off, sizeof(r));
            if (r.producer > 1 || r.seq != next[r.producer]++) disordered = true;
        }
    }
    halves.join();
    wholes.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(disordered);
    EXPECT_EQ(2 * per_producer * sizeof(record), total);
    EXPECT_EQ(0u, sb.get_data_len());
}

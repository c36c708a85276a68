// The Windows lock classes: exclusion under contention, re-entry of the
// mutex, try-lock on a free and on a held lock, and a reader-writer lock that
// keeps a writer out beside a reader.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/windows/support/winsock_peer.h"
#include "tools/lock.h"

using MORVAST::TOOLS::mutex_lock;
using MORVAST::TOOLS::mutex_locker;
using MORVAST::TOOLS::read_locker;
using MORVAST::TOOLS::read_write_lock;
using MORVAST::TOOLS::spin_lock;
using MORVAST::TOOLS::spin_locker;
using MORVAST::TOOLS::write_locker;


namespace {

const int kThreads = 8;
const int kRounds = 20000;

using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;

// kThreads threads each add 1 kRounds times to a plain counter, with a read,
// a yield and a write in between so that a lock that does not exclude loses
// updates at once.
template <class BODY>
long long contend(BODY locked_add) {
    long long total = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            for (int r = 0; r < kRounds; ++r) locked_add(total);
        });
    }
    for (auto& t : threads) t.join();
    return total;
}

void slow_add(long long& total) {
    const long long v = total;
    if ((v & 63) == 0) SwitchToThread();
    total = v + 1;
}

// Holds `take` on another thread until released; reports when it holds it.
class holder {
public:
    template <class TAKE, class GIVE>
    holder(TAKE take, GIVE give) {
        m_thread = std::thread([this, take, give] {
            take();
            m_held = true;
            while (!m_release.load()) Sleep(1);
            give();
        });
        wait_for([this] { return m_held.load(); });
    }
    ~holder() { release(); }
    bool held() const { return m_held.load(); }
    void release() {
        m_release = true;
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};

TEST(WindowsLocks, MutexExcludesAndReenters) {
    mutex_lock m;
    EXPECT_EQ(kThreads * kRounds, contend([&](long long& total) {
                  mutex_locker outer(m);
                  mutex_locker inner(m);  // re-entered by its owner
                  slow_add(total);
              }));

    // Free: try_lock takes it (and, re-entrant, takes it again).
    ASSERT_TRUE(m.try_lock());
    ASSERT_TRUE(m.try_lock());
    m.unlock();
    m.unlock();
    // Held by another thread: try_lock fails without waiting.
    {
        holder other([&] { m.lock(); }, [&] { m.unlock(); });
        ASSERT_TRUE(other.held());
        std::atomic<int> taken{-1};
        std::thread probe([&] {
            const bool got = m.try_lock();
            if (got) m.unlock();
            taken = got ? 1 : 0;
        });
        probe.join();
        EXPECT_EQ(0, taken.load());
    }
    // Released again: free for everyone.
    EXPECT_TRUE(m.try_lock());
    m.unlock();
}

TEST(WindowsLocks, SpinLockExcludes) {
    spin_lock s;
    EXPECT_EQ(kThreads * kRounds, contend([&](long long& total) {
                  spin_locker guard(s);
                  slow_add(total);
              }));

    ASSERT_TRUE(s.try_lock());
    EXPECT_FALSE(s.try_lock());  // not re-entrant: held is held
    s.unlock();
    {
        holder other([&] { s.lock(); }, [&] { s.unlock(); });
        ASSERT_TRUE(other.held());
        EXPECT_FALSE(s.try_lock());
        // A waiter gets in once the holder lets go.
        std::atomic<bool> got{false};
        std::thread waiter([&] {
            s.lock();
            got = true;
            s.unlock();
        });
        Sleep(20);
        EXPECT_FALSE(got.load());
        other.release();
        waiter.join();
        EXPECT_TRUE(got.load());
    }
    EXPECT_TRUE(s.try_lock());
    s.unlock();
}

TEST(WindowsLocks, ReadWriteLockKeepsWriterOutBesideReader) {
    read_write_lock rw;
    EXPECT_EQ(kThreads * kRounds, contend([&](long long& total) {
                  write_locker guard(rw);
                  slow_add(total);
              }));

    // Free: both try forms take it.
    ASSERT_TRUE(rw.try_write_lock());
    rw.write_unlock();
    ASSERT_TRUE(rw.try_read_lock());
    rw.read_unlock();

    {
        holder reader([&] { rw.read_lock(); }, [&] { rw.read_unlock(); });
        ASSERT_TRUE(reader.held());
        // Readers share...
        EXPECT_TRUE(rw.try_read_lock());
        rw.read_unlock();
        // ...a writer stays out until the last reader leaves.
        EXPECT_FALSE(rw.try_write_lock());
        std::atomic<bool> writing{false};
        std::thread writer([&] {
            write_locker guard(rw);
            writing = true;
        });
        Sleep(20);
        EXPECT_FALSE(writing.load());
        reader.release();
        writer.join();
        EXPECT_TRUE(writing.load());
    }

    {
        holder writer([&] { rw.write_lock(); }, [&] { rw.write_unlock(); });
        ASSERT_TRUE(writer.held());
        EXPECT_FALSE(rw.try_read_lock());
        EXPECT_FALSE(rw.try_write_lock());
    }

    // Readers and writers mixed: the writers' totals stay exact and no
    // reader ever sees a write half done (the pair always agrees).
    long long a = 0;
    long long b = 0;
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int r = 0; r < kRounds / 4; ++r) {
                if (i % 2 == 0) {
                    write_locker guard(rw);
                    ++a;
                    if ((r & 63) == 0) SwitchToThread();
                    ++b;
                } else {
                    read_locker guard(rw);
                    if (a != b) torn++;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(0, torn.load());
    EXPECT_EQ(kThreads / 2 * (kRounds / 4), a);
    EXPECT_EQ(a, b);
}

}  // namespace

// Locks, lockers and the counting event.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <functional>
#include <future>
#include <thread>

#include "tools/event.h"
#include "tools/lock.h"
#include "sim/loopback_server.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"

using namespace MORVAST::TOOLS;
using namespace std::chrono;

namespace {

// Runs fn on a thread of its own and returns its answer.
bool on_other_thread(const std::function<bool()>& fn) {
    bool result = false;
    std::thread t([&] { result = fn(); });
    t.join();
    return result;
}

// Whether another thread can take the mutex right now (released again at once).
bool free_for_others(mutex_lock& m) {
    return on_other_thread([&] {
        if (!m.try_lock()) return false;
        m.unlock();
        return true;
    });
}

struct counting_lock {
    int locks = 0;
    int unlocks = 0;
    void lock() { ++locks; }
    void unlock() { ++unlocks; }
};

const int untouched = 12345;  // sentinel for wait_result

}  // namespace

TEST(MutexLock, RecursiveAndTheLockerReleasesOnce) {
    mutex_lock m;
    m.lock();
    EXPECT_TRUE(m.try_lock());  // the owner takes it again without blocking
    EXPECT_FALSE(free_for_others(m));
    m.unlock();
    EXPECT_FALSE(free_for_others(m));  // still held once
    {
        mutex_locker guard(m);
        guard.unlock();
        guard.unlock();  // already released: nothing more
        guard.lock();    // forgotten: does not relock
        EXPECT_FALSE(free_for_others(m));
    }  // the destructor must not release the test's own hold
    EXPECT_FALSE(free_for_others(m));
    m.unlock();
    EXPECT_TRUE(free_for_others(m));

    {
        mutex_locker guard(&m);
        EXPECT_FALSE(free_for_others(m));
    }
    EXPECT_TRUE(free_for_others(m));
}

TEST(MutexLocker, CountsOfLockAndUnlockAndNullPointer) {
    counting_lock c;
    {
        template_mutex_locker<counting_lock> guard(&c);
        EXPECT_EQ(c.locks, 1);
        guard.lock();  // still held: locks again
        EXPECT_EQ(c.locks, 2);
        guard.unlock();
        guard.unlock();
        guard.lock();
    }
    EXPECT_EQ(c.locks, 2);
    EXPECT_EQ(c.unlocks, 1);

    // Built from a null pointer, a locker does nothing at all.
    mutex_lock* none = nullptr;
    {
        mutex_locker guard(none);
        guard.lock();
        guard.unlock();
    }
    null_lock n;
    EXPECT_TRUE(n.try_lock());
    EXPECT_TRUE(n.try_lock());
}

TEST(SpinAndReadWriteLock, TryLockSemantics) {
    spin_lock s;
    EXPECT_TRUE(s.try_lock());
    EXPECT_FALSE(on_other_thread([&] { return s.try_lock(); }));
    s.unlock();
    {
        spin_locker guard(s);
        EXPECT_FALSE(on_other_thread([&] { return s.try_lock(); }));
    }
    EXPECT_TRUE(s.try_lock());
    s.unlock();

    read_write_lock rw;
    auto try_read = [&] {
        return on_other_thread([&] {
            if (!rw.try_read_lock()) return false;
            rw.read_unlock();
            return true;
        });
    };
    auto try_write = [&] {
        return on_other_thread([&] {
            if (!rw.try_write_lock()) return false;
            rw.write_unlock();
            return true;
        });
    };
    {
        read_locker guard(rw);
        EXPECT_TRUE(try_read());    // readers share
        EXPECT_FALSE(try_write());  // a writer must wait
    }
    {
        write_locker guard(&rw);
        EXPECT_FALSE(try_read());
        EXPECT_FALSE(try_write());
    }
    EXPECT_TRUE(try_read());
    EXPECT_TRUE(try_write());
    EXPECT_TRUE(rw.try_write_lock());
    rw.write_unlock();
}

TEST(Event, PendingSetsAreConsumedOneByOneThenZeroTimeoutTimesOut) {
    event e;
    EXPECT_TRUE(e.set_event());
    EXPECT_TRUE(e.set_event());
    int r = untouched;
    EXPECT_TRUE(e.wait_single_object(0, r));
    EXPECT_EQ(r, untouched);
    EXPECT_TRUE(e.wait_single_object(0, r));
    EXPECT_EQ(r, untouched);
    EXPECT_FALSE(e.wait_single_object(0, r));
    EXPECT_EQ(r, ETIMEDOUT);

    // A negative timeout other than -1 is a deadline already passed.
    r = untouched;
    EXPECT_FALSE(e.wait_single_object(-5, r));
    EXPECT_EQ(r, ETIMEDOUT);
    r = untouched;
    EXPECT_FALSE(e.wait_single_object(INT_MIN, r));
    EXPECT_EQ(r, ETIMEDOUT);
}

TEST(Event, TimedWaitWithoutSetTimesOutAfterItsTimeout) {
    event e;
    int r = untouched;
    bool woken = true;
    const auto start = steady_clock::now();
    hux_test::returns_within("a 50 ms wait", [&] { woken = e.wait_single_object(50, r); });
    const auto elapsed = steady_clock::now() - start;
    EXPECT_FALSE(woken);
    EXPECT_EQ(r, ETIMEDOUT);
    EXPECT_GE(elapsed, milliseconds(49));
}

TEST(Event, WaitWithoutLimitIsWokenBySetFromAnotherThread) {
    event e;
    std::atomic<int> r{untouched};
    std::atomic<long> tid{0};
    auto waiter = std::async(std::launch::async, [&] {
        tid = syscall(SYS_gettid);
        int local = untouched;
        const bool ok = e.wait_single_object(-1, local);
        r = local;
        return ok;
    });
    // The set comes once the waiter sleeps, so it is the set that wakes it.
    ASSERT_TRUE(
        hux_test::wait_until([&] { return hux_test::blocked_in(tid.load(), SYS_futex); }, hux_test::test_wait()));
    EXPECT_EQ(waiter.wait_for(milliseconds(0)), std::future_status::timeout);
    EXPECT_TRUE(e.set_event());
    ASSERT_EQ(waiter.wait_for(hux_test::test_wait()), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_EQ(r.load(), untouched);  // an untimed wait writes no result

    // The one set was consumed exactly once.
    int again = untouched;
    EXPECT_FALSE(e.wait_single_object(0, again));
    EXPECT_EQ(again, ETIMEDOUT);
}

TEST(Event, LongestTimeoutDoesNotWrapIntoThePast) {
    event e;
    std::atomic<int> r{untouched};
    std::atomic<long> tid{0};
    auto waiter = std::async(std::launch::async, [&] {
        tid = syscall(SYS_gettid);
        int local = untouched;
        const bool ok = e.wait_single_object(INT_MAX, local);
        r = local;
        return ok;
    });
    // A deadline that wrapped would end the wait at once with a time-out;
    // a waiter that sleeps has not ended it.
    ASSERT_TRUE(
        hux_test::wait_until([&] { return hux_test::blocked_in(tid.load(), SYS_futex); }, hux_test::test_wait()));
    EXPECT_EQ(waiter.wait_for(milliseconds(0)), std::future_status::timeout);
    EXPECT_TRUE(e.set_event());
    ASSERT_EQ(waiter.wait_for(hux_test::test_wait()), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_EQ(r.load(), 0);  // a timed wait woken by the set writes 0
}

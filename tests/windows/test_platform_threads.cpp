// The Windows thread wrappers and the socket library's worker: its idle
// waits (lower bounds only: a sleep may take longer, never shorter) and a
// stop that cuts a long wait short.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "net/thread/morvast_socket_thread.h"
#include "net/thread/thread_function.h"
#include "tests/support/returns_in_time.h"
#include "tests/windows/support/winsock_peer.h"
#include "thread/linux_thread_base.h"

namespace {

long long counter_microseconds() {
    LARGE_INTEGER f;
    LARGE_INTEGER c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<long long>(static_cast<double>(c.QuadPart) * 1000000.0 / static_cast<double>(f.QuadPart));
}

using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;

// An idle wait, in microseconds, far longer than any wait of the test.
int long_idle_us() {
    return static_cast<int>(std::min<unsigned long long>(hux_test::long_library_wait_ms() * 1000, INT_MAX));
}

class probe_thread : public morvast_socket_thread {
public:
    // Microseconds that break_sleep(us) took.
    long long timed_sleep(int us) {
        const long long t0 = counter_microseconds();
        break_sleep(us);
        return counter_microseconds() - t0;
    }
};

TEST(WindowsWorker, BreakSleepLowerBounds) {
    probe_thread t;  // THREAD_INIT: the sliced wait runs every slice
    EXPECT_GE(t.timed_sleep(1), 1);
    EXPECT_GE(t.timed_sleep(250), 250);
    EXPECT_GE(t.timed_sleep(999), 999);      // spins
    EXPECT_GE(t.timed_sleep(1000), 1000);    // 1 ms
    EXPECT_GE(t.timed_sleep(1999), 1000);    // still 1 ms
    EXPECT_GE(t.timed_sleep(10000), 10000);  // one 10 ms sleep
    EXPECT_GE(t.timed_sleep(25000), 30000);  // three 10 ms slices

    // Outside INIT, RUN and PAUSED the sliced wait takes no slice at all.
    t.set_thread_status(THREAD_STOPING);
    hux_test::returns_within("a long sliced wait while stopping", [&] { t.timed_sleep(long_idle_us()); });
    t.set_thread_status(THREAD_STOPED);
}

struct counting_worker {
    std::atomic<int> calls{0};
    static int run(void* self) {
        static_cast<counting_worker*>(self)->calls++;
        return 0;  // nothing more to do: the loop idles
    }
};

TEST(WindowsWorker, StopAndPauseCutALongIdleShort) {
    counting_worker work;
    morvast_socket_thread worker;
    worker.register_function(&counting_worker::run, &work, true);
    worker.set_thread_wait_micro_sec(long_idle_us());  // far longer than the test between calls
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(wait_for([&] { return work.calls.load() >= 1; }));
    EXPECT_NE(0u, worker.get_thread_id());
    EXPECT_FALSE(worker.is_same_thread());

    // The worker is inside its long idle; a pause ends it within a slice.
    hux_test::returns_within("pausing an idle worker", [&] { EXPECT_TRUE(worker.pause()); });
    EXPECT_EQ(THREAD_PAUSED, worker.get_thread_status());

    // Paused, it still idles; a stop ends that idle within a slice too.
    hux_test::returns_within("stopping a paused worker", [&] { EXPECT_TRUE(worker.stop()); });
    EXPECT_EQ(THREAD_STOPED, worker.get_thread_status());

    // A stopped worker starts a new thread (the old handle is closed first).
    worker.set_thread_wait_micro_sec(1000);
    int seen = work.calls.load();
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(wait_for([&] { return work.calls.load() > seen + 3; }));

    // Running, the call after the change goes into a long idle: a stop
    // cuts it short.
    worker.set_thread_wait_micro_sec(long_idle_us());
    seen = work.calls.load();
    ASSERT_TRUE(wait_for([&] { return work.calls.load() > seen; }));
    hux_test::returns_within("stopping a running worker", [&] { EXPECT_TRUE(worker.stop()); });
    EXPECT_EQ(THREAD_STOPED, worker.get_thread_status());
}

struct start_probe {
    std::atomic<DWORD> ran_on{0};
    std::atomic<bool> release{false};
};

void* probe_body(void* arg) {
    start_probe* p = static_cast<start_probe*>(arg);
    p->ran_on = GetCurrentThreadId();
    while (!p->release.load()) Sleep(1);
    return nullptr;
}

TEST(WindowsWorker, CreateThreadGivesHandleAndId) {
    start_probe probe;
    unsigned long id = 0;
    mv_socket_thread_handle handle = mv_create_thread(&probe_body, &probe, id);
    ASSERT_NE(nullptr, handle);
    ASSERT_NE(0u, id);
    ASSERT_TRUE(wait_for([&] { return probe.ran_on.load() != 0; }));
    EXPECT_EQ(id, probe.ran_on.load());
    // The handle is the thread's: it is signalled once the thread ends.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(static_cast<HANDLE>(handle), 0));
    probe.release = true;
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(static_cast<HANDLE>(handle), wait_limit_ms()));
    EXPECT_NE(0, mv_close_thread(handle));

    // No function: no thread, a null handle and id 0.
    id = 77;
    EXPECT_EQ(nullptr, MORVAST::THREAD::mv_create_thread(nullptr, nullptr, id));
    EXPECT_EQ(0u, id);
}

}  // namespace

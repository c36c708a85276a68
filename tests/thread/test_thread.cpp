// The thread library: worker start and cooperative stop, the worker list and
// its queries, CPU binding, forced stop and thread_lock.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "thread/morvast_thread.h"
#include "thread/thread_lock.h"
#include "sim/loopback_server.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"

using namespace MORVAST::THREAD;
using hux_test::wait_until;
using std::chrono::milliseconds;

namespace {

const milliseconds kDeadline = hux_test::test_wait();

// Records what its workers see. Named workers called "hold*" stay in run
// until the object stops or the test releases them; "spin*" workers ignore
// the running flag and wait to be cancelled; all others return at once.
class probe_thread : public morvast_thread {
public:
    using morvast_thread::run;
    // Lets the workers go before the object does (bounded, so that a
    // worker list that never empties fails the test instead of hanging it).
    ~probe_thread() override {
        set_stop_flag();
        EXPECT_TRUE(wait_until([this] { return get_thread_count() == 0; }, kDeadline));
    }

    template <class F>
    auto locked(F f) {
        std::lock_guard<std::mutex> guard(mutex);
        return f();
    }

    void run(const char* pThreadName) override {
        const std::string name = pThreadName;
        locked([&] {
            names.push_back(name);
            ids[name] = pthread_self();
        });
        ++entered;
        if (name.compare(0, 4, "hold") == 0) {
            while (is_running() && !locked([&] { return released.count(name) != 0; })) std::this_thread::yield();
        } else if (name.compare(0, 4, "spin") == 0) {
            struct mark_unwound {
                std::atomic<bool>& flag;
                ~mark_unwound() { flag = true; }
            } on_unwind{unwound};
            for (;;) pthread_testcancel();
        }
        ++left;
    }

    void run(void* pArg) override {
        locked([&] { args.push_back(pArg); });
        ++entered;
        ++left;
    }

    pthread_t id_seen_by(const std::string& name) {
        return locked([&] { return ids.count(name) ? ids[name] : 0; });
    }

    std::atomic<int> entered{0};
    std::atomic<int> left{0};
    std::atomic<bool> unwound{false};
    // Guarded by mutex.
    std::mutex mutex;
    std::vector<std::string> names;
    std::vector<void*> args;
    std::map<std::string, pthread_t> ids;
    std::set<std::string> released;
};

// The first CPU this process may run on (CPU 0 on most machines).
int first_allowed_cpu() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return 0;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) return cpu;
    }
    return 0;
}

}  // namespace

TEST(MorvastThread, StopWithoutStartIsImmediate) {
    probe_thread t;
    EXPECT_FALSE(t.is_running());
    // A wait for a thread that never started would last for good.
    hux_test::returns_within("stopping a worker never started", [&] {
        EXPECT_TRUE(t.stop());
        EXPECT_TRUE(t.wait_stop());
    });
    EXPECT_FALSE(t.set_stop_flag());
    EXPECT_EQ(t.get_thread_count(), 0u);
    EXPECT_EQ(t.get_thread_name(0), "");
}

TEST(MorvastThread, WorkersThatReturnLeaveTheListAndClearRunning) {
    probe_thread t;
    ASSERT_TRUE(t.start("alpha"));
    EXPECT_TRUE(wait_until([&] { return t.left == 1 && t.get_thread_count() == 0 && !t.is_running(); },
                           kDeadline));
    EXPECT_EQ(t.locked([&] { return t.names; }), std::vector<std::string>{"alpha"});

    // The argument form: a non-null argument reaches run(void*), a null one
    // runs run(const char*) with the empty name.
    int value = 7;
    ASSERT_TRUE(t.start(static_cast<void*>(&value)));
    ASSERT_TRUE(t.start(static_cast<void*>(nullptr)));
    EXPECT_TRUE(wait_until([&] { return t.left == 3 && t.get_thread_count() == 0 && !t.is_running(); },
                           kDeadline));
    EXPECT_EQ(t.locked([&] { return t.args; }), std::vector<void*>{&value});
    EXPECT_EQ(t.locked([&] { return t.names; }), (std::vector<std::string>{"alpha", ""}));

    // Many short workers racing their own start: each is listed once and
    // leaves once (a record touched after its worker freed it shows under ASan).
    const int n = 200;
    for (int i = 0; i < n; ++i) ASSERT_TRUE(t.start("quick"));
    EXPECT_TRUE(wait_until([&] { return t.left == n + 3; }, kDeadline));
    EXPECT_TRUE(wait_until([&] { return t.get_thread_count() == 0 && !t.is_running(); }, kDeadline));
}

TEST(MorvastThread, StopRightAfterStartWaitsForTheWorker) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<bool> stop_returned{false};
        std::atomic<bool> ran_before_stop_returned{false};
        std::atomic<bool> finished{false};
        struct waiter : morvast_thread {
            using morvast_thread::run;
            std::function<void()> body;
            void run(const char*) override { body(); }
        } t;
        t.body = [&] {
            ran_before_stop_returned = !stop_returned;
            while (t.is_running()) std::this_thread::yield();
            finished = true;
        };
        ASSERT_TRUE(t.start("worker"));
        EXPECT_TRUE(t.stop());
        stop_returned = true;
        EXPECT_TRUE(finished) << "round " << round;
        EXPECT_TRUE(ran_before_stop_returned) << "round " << round;
        EXPECT_EQ(t.get_thread_count(), 0u);
        EXPECT_FALSE(t.is_running());
        // Keeps the object alive for a worker that a faulty stop left behind.
        if (!finished) wait_until([&] { return finished && t.get_thread_count() == 0; }, kDeadline);
    }
}

TEST(MorvastThread, SeveralWorkersListQueriesAndCpuBinding) {
    probe_thread t;
    for (const char* name : {"hold0", "hold1", "hold2"}) ASSERT_TRUE(t.start(name));
    ASSERT_TRUE(wait_until([&] { return t.entered == 3; }, kDeadline));
    EXPECT_EQ(t.get_thread_count(), 3u);  // each worker listed exactly once
    EXPECT_TRUE(t.is_running());

    std::set<std::string> listed;
    for (unsigned i = 0; i < 3; ++i) listed.insert(t.get_thread_name(i));
    EXPECT_EQ(listed, (std::set<std::string>{"hold0", "hold1", "hold2"}));
    EXPECT_EQ(t.get_thread_name(3), "");
    EXPECT_EQ(t.get_thread_name(UINT_MAX), "");
    for (const char* name : {"hold0", "hold1", "hold2"}) {  // the workers' own ids
        EXPECT_NE(t.get_thread_id(name), 0u) << name;
        EXPECT_TRUE(pthread_equal(t.get_thread_id(name), t.id_seen_by(name))) << name;
    }
    EXPECT_EQ(t.get_thread_id("hold9"), 0u);
    EXPECT_EQ(t.get_thread_id(nullptr), 0u);
    const int cpu = first_allowed_cpu();
    EXPECT_FALSE(t.bind_cpu("hold9", cpu));

    // Pinning: exactly the one CPU; indexes outside 0..1023 give an empty set,
    // which the platform refuses, and the affinity stays as it was.
    ASSERT_TRUE(t.bind_cpu("hold2", cpu));
    EXPECT_FALSE(t.bind_cpu("hold2", 1024));
    EXPECT_FALSE(t.bind_cpu("hold2", -1));
    EXPECT_FALSE(morvast_thread::bind_cpu(t.get_thread_id("hold2"), INT_MIN));
    cpu_set_t set;
    CPU_ZERO(&set);
    ASSERT_EQ(pthread_getaffinity_np(t.get_thread_id("hold2"), sizeof(set), &set), 0);
    EXPECT_EQ(CPU_COUNT(&set), 1);
    EXPECT_TRUE(CPU_ISSET(cpu, &set));

    // One worker returns by itself: the others keep the object running.
    t.locked([&] { t.released.insert("hold1"); });
    ASSERT_TRUE(wait_until([&] { return t.get_thread_count() == 2; }, kDeadline));
    EXPECT_TRUE(t.is_running());
    EXPECT_EQ(t.get_thread_id("hold1"), 0u);
    EXPECT_FALSE(t.bind_cpu("hold1", cpu));

    EXPECT_TRUE(t.stop());
    EXPECT_EQ(t.get_thread_count(), 0u);
    EXPECT_FALSE(t.is_running());
    EXPECT_EQ(t.left, 3);
}

TEST(MorvastThread, FailedCreationIsNotCounted) {
    // A default stack far larger than the address space makes every thread
    // creation fail until the defaults are restored.
    pthread_attr_t saved;
    ASSERT_EQ(pthread_getattr_default_np(&saved), 0);
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    ASSERT_EQ(pthread_attr_setstacksize(&huge, size_t(1) << 62), 0);
    ASSERT_EQ(pthread_setattr_default_np(&huge), 0);
    probe_thread t;
    bool started = t.start("never");
    size_t count_after_failure = t.get_thread_count();
    ASSERT_EQ(pthread_setattr_default_np(&saved), 0);
    pthread_attr_destroy(&huge);
    pthread_attr_destroy(&saved);
    if (started) {
        t.stop();
        GTEST_SKIP() << "this platform created a thread with a 2^62-byte stack";
    }

    ASSERT_EQ(count_after_failure, 0u);
    EXPECT_EQ(t.entered, 0);
    hux_test::returns_within("stopping after a failed start", [&] { EXPECT_TRUE(t.stop()); });  // nothing to wait for

    // The object still works afterwards.
    ASSERT_TRUE(t.start("after"));
    EXPECT_TRUE(wait_until([&] { return t.left == 1 && t.get_thread_count() == 0; }, kDeadline));
}

TEST(MorvastThread, CoerceStopCancelsWorkersThatIgnoreTheFlag) {
    const size_t threads_before = hux_test::thread_count();
    {
        probe_thread t;
        ASSERT_TRUE(t.start("spin"));
        ASSERT_TRUE(wait_until([&] { return t.entered == 1; }, kDeadline));
        EXPECT_TRUE(t.coerce_stop(0));
        EXPECT_EQ(t.get_thread_count(), 0u);
        EXPECT_FALSE(t.is_running());
        // The worker unwinds through run and frees its own record.
        EXPECT_TRUE(wait_until([&] { return t.unwound.load(); }, kDeadline));
        EXPECT_EQ(t.left, 0);
        // The object may go only once the cancelled thread has fully ended;
        // its last step was to release the object's lock, taken here once more.
        EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() <= threads_before; }, kDeadline));
        EXPECT_EQ(t.get_thread_count(), 0u);
    }
}

TEST(ThreadLock, RecursiveAndTheLockerReleasesOnce) {
    thread_lock lock;
    auto free_for_others = [&] {
        bool taken = false;
        std::thread other([&] {
            taken = lock.try_lock();
            if (taken) lock.unlock();
        });
        other.join();
        return taken;
    };

    lock.lock();
    EXPECT_TRUE(lock.try_lock());  // the owner takes it again
    EXPECT_FALSE(free_for_others());
    lock.unlock();
    EXPECT_FALSE(free_for_others());  // still held once
    lock.unlock();
    EXPECT_TRUE(free_for_others());

    // Inside an outer hold: the locker's early unlock gives back its own
    // level only, and its destructor gives back nothing more.
    lock.lock();
    {
        thread_locker locker(lock);
        EXPECT_FALSE(free_for_others());
        locker.unlock();
        locker.unlock();
        EXPECT_FALSE(free_for_others());
    }
    EXPECT_FALSE(free_for_others());  // the outer hold remains
    lock.unlock();
    EXPECT_TRUE(free_for_others());

    {
        thread_locker locker(lock);
        EXPECT_FALSE(free_for_others());
    }
    EXPECT_TRUE(free_for_others());  // released at the end of the scope
}

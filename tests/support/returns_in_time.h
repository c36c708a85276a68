// Whether a call returns in time: the call runs on the caller's thread while
// a watchdog waits for it with the wait setting's deadline (or a longer one
// the case gives). A case that must show a call returning instead of sitting
// out one of the library's long waits sets that wait well past the deadline
// (long_library_wait_ms), so a call that sat it out fails here, however
// loaded the machine. A call still running at the deadline fails the test and
// ends the program there: it cannot be abandoned, and waiting on could hang.
#ifndef HUX_TESTS_RETURNS_IN_TIME_H
#define HUX_TESTS_RETURNS_IN_TIME_H

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/support/test_wait.h"

namespace hux_test {

inline void returns_within(const char* what, const std::function<void()>& call,
                           std::chrono::milliseconds limit = test_wait()) {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> guard(lock);
        if (!changed.wait_for(guard, limit, [&] { return done; })) {
            ADD_FAILURE() << what << " did not return within " << limit.count() << " ms";
            std::fflush(nullptr);
            std::_Exit(1);
        }
    });
    call();
    {
        std::lock_guard<std::mutex> guard(lock);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
}

// A library wait, in milliseconds, far longer than any deadline of the test:
// for a case that proves the library does not sit that wait out.
inline unsigned long long long_library_wait_ms() {
    return 6ULL * static_cast<unsigned long long>(test_wait().count());
}

}  // namespace hux_test

#endif

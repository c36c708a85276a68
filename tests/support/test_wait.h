// How long a test waits for an event before it fails: one setting for every
// test program, HUX_TEST_WAIT_MS (10,000 ms when unset), so that a loaded
// machine or a sanitizer build can raise every deadline at once. A wait that
// runs out fails its test; the setting only moves the point where it does.
#ifndef HUX_TESTS_TEST_WAIT_H
#define HUX_TESTS_TEST_WAIT_H

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace hux_test {

// The longest a test waits for anything; HUX_TEST_WAIT_MS overrides it.
inline std::chrono::milliseconds test_wait() {
    static const long ms = [] {
        const char* v = std::getenv("HUX_TEST_WAIT_MS");
        const long n = v ? std::atol(v) : 0;
        return n > 0 ? n : 10000L;
    }();
    return std::chrono::milliseconds(ms);
}

// The wait for something that takes long by nature (a logon opened by its
// terminal report): at least `floor`, and more when the setting is raised.
inline std::chrono::milliseconds test_wait_at_least(std::chrono::milliseconds floor) {
    return std::max(floor, test_wait());
}

}  // namespace hux_test

#endif

// Holds a library thread at a named test point (tools/test_hook.h) so that a
// test can make a race happen the same way every run: the first thread to
// reach the point (for the given object, when one is given) waits there until
// the test releases it; the test waits, with a deadline, for it to arrive.
// Other threads and later passes go through, and every point any thread
// passes is counted, so a test can also wait for a second point to be
// reached. One holder at a time per process; the destructor releases the
// thread and removes the hook.
#ifndef HUX_TESTS_HOLD_POINT_H
#define HUX_TESTS_HOLD_POINT_H

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/test_wait.h"
#include "tools/test_hook.h"

namespace hux_test {

class hold_point {
public:
    // Holds the first thread that reaches `point` (on `object`, unless null).
    // `passes` more passes go through before the one that is held.
    explicit hold_point(const char* point, const void* object = nullptr, int passes = 0)
        : m_point(point), m_object(object), m_passes(passes) {
        std::lock_guard<std::mutex> guard(lock());
        current() = this;
        MORVAST::TOOLS::g_test_hook.store(&hook);
    }
    ~hold_point() {
        MORVAST::TOOLS::g_test_hook.store(nullptr);
        release();
        std::lock_guard<std::mutex> guard(lock());
        // A thread inside the hook leaves before this object goes.
        while (m_inside != 0) {
            lock().unlock();
            std::this_thread::yield();
            lock().lock();
        }
        current() = nullptr;
    }
    hold_point(const hold_point&) = delete;
    hold_point& operator=(const hold_point&) = delete;

    // True once a thread is held at the point (false when the wait ran out).
    bool wait_arrived(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> guard(lock());
        return m_cv.wait_for(guard, wait, [this] { return m_arrived; });
    }
    // Lets the held thread (and every later one) go on.
    void release() {
        std::lock_guard<std::mutex> guard(lock());
        m_released = true;
        m_cv.notify_all();
    }
    bool arrived() {
        std::lock_guard<std::mutex> guard(lock());
        return m_arrived;
    }
    // How many threads reached the point, held or not.
    int passes_seen() {
        std::lock_guard<std::mutex> guard(lock());
        return m_seen;
    }
    // True once some thread has passed `point` (any point, held or not)
    // `times` times; false when the wait ran out.
    bool wait_seen(const char* point, std::chrono::milliseconds wait, int times = 1) {
        std::unique_lock<std::mutex> guard(lock());
        const std::string name(point);
        return m_cv.wait_for(guard, wait, [&] {
            auto it = m_points.find(name);
            return it != m_points.end() && it->second >= times;
        });
    }
    int seen(const char* point) {
        std::lock_guard<std::mutex> guard(lock());
        auto it = m_points.find(point);
        return it == m_points.end() ? 0 : it->second;
    }

private:
    static std::mutex& lock() {
        static std::mutex m;
        return m;
    }
    static hold_point*& current() {
        static hold_point* p = nullptr;
        return p;
    }
    static void hook(const char* point, const void* object) {
        std::unique_lock<std::mutex> guard(lock());
        hold_point* self = current();
        if (!self) return;
        ++self->m_points[point];
        self->m_cv.notify_all();
        if (std::strcmp(point, self->m_point.c_str()) != 0) return;
        if (self->m_object && self->m_object != object) return;
        ++self->m_seen;
        if (self->m_arrived || self->m_released || self->m_passes-- > 0) return;
        self->m_arrived = true;
        ++self->m_inside;
        self->m_cv.notify_all();
        // Never held for ever: a test that forgets to release ends anyway,
        // while a test that waits on meanwhile has all its deadlines.
        self->m_cv.wait_for(guard, std::max<std::chrono::milliseconds>(std::chrono::seconds(60), 6 * test_wait()),
                            [self] { return self->m_released; });
        --self->m_inside;
    }

    std::string m_point;
    const void* m_object;
    int m_passes;
    std::condition_variable m_cv;
    bool m_arrived = false;
    bool m_released = false;
    int m_seen = 0;
    int m_inside = 0;
    std::map<std::string, int> m_points;
};

}  // namespace hux_test

#endif

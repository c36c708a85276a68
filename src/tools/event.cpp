// POSIX form of the counting event. Timed waits run on the monotonic clock so
// that a change of the wall clock neither shortens nor stretches them.
#include "tools/event.h"

#include <cerrno>
#include <ctime>

namespace MORVAST {
namespace TOOLS {

event::event() : m_counter(0), m_real_set(0) {
    pthread_mutex_init(&m_lock, nullptr);
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&m_lock_cond, &attr);
    pthread_condattr_destroy(&attr);
}

event::~event() {
    pthread_cond_destroy(&m_lock_cond);
    pthread_mutex_destroy(&m_lock);
}

bool event::set_event() {
    if (pthread_mutex_lock(&m_lock) != 0) return false;
    if (m_counter == 0) {
        pthread_cond_signal(&m_lock_cond);
        ++m_real_set;
    }
    ++m_counter;
    pthread_mutex_unlock(&m_lock);
    return true;
}

bool event::wait_single_object(int timeout, int& wait_result) {
    if (pthread_mutex_lock(&m_lock) != 0) return false;
    int rc = 0;
    if (m_counter == 0) {
        if (timeout == -1) {
            pthread_cond_wait(&m_lock_cond, &m_lock);
        } else {
            // Any other negative timeout is an already-passed deadline. The
            // sum is made in 64 bits so that a timeout near INT_MAX cannot
            // wrap into the past.
            int64_t ms = timeout < 0 ? 0 : timeout;
            timespec deadline;
            clock_gettime(CLOCK_MONOTONIC, &deadline);
            int64_t nsec = static_cast<int64_t>(deadline.tv_nsec) + (ms % 1000) * 1000000;
            deadline.tv_sec += static_cast<time_t>(ms / 1000 + nsec / 1000000000);
            deadline.tv_nsec = static_cast<long>(nsec % 1000000000);
            rc = pthread_cond_timedwait(&m_lock_cond, &m_lock, &deadline);
            wait_result = rc;
        }
    }
    if (rc == 0) {
        --m_counter;
        if (m_counter < 0) m_counter = 0;
    }
    pthread_mutex_unlock(&m_lock);
    return rc == 0;
}

}  // namespace TOOLS
}  // namespace MORVAST

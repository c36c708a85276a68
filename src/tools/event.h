// Counting wake-up event: each set_event() is one pending wake-up that one
// wait_single_object() consumes. Built for a single waiting thread.
#ifndef MORVAST_TOOL_EVENT_H
#define MORVAST_TOOL_EVENT_H

#include <pthread.h>
#include <cstdint>

namespace MORVAST {
namespace TOOLS {

class event {
public:
    event();
    ~event();
    event(const event&) = delete;
    event& operator=(const event&) = delete;

    // Adds one pending set; only a set that finds none pending signals the
    // waiter. False only when the event's mutex could not be taken.
    bool set_event();

    // Consumes one pending set, waiting for one when none is pending.
    // timeout is in milliseconds, -1 for no limit. A timed wait stores its
    // result code in wait_result (0 when woken, ETIMEDOUT when the deadline
    // passed); an untimed wait or a wait that found a set pending leaves it
    // alone. Each call waits at most once. Returns true when it consumed.
    bool wait_single_object(int timeout, int& wait_result);

private:
    int32_t m_counter;   // sets not yet consumed
    int32_t m_real_set;  // sets that sent a wake-up (statistics only)
    pthread_mutex_t m_lock;
    pthread_cond_t m_lock_cond;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif

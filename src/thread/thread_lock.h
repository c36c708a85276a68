// The thread library's own lock: a recursive POSIX mutex, and its scope guard.
#ifndef MORVAST_THREAD_THREAD_LOCK_H
#define MORVAST_THREAD_THREAD_LOCK_H

#include <pthread.h>

namespace MORVAST {
namespace THREAD {

// Recursive: the owning thread may lock again and must unlock as often.
class thread_lock {
public:
    typedef pthread_mutex_t lock_type;

    thread_lock();
    ~thread_lock();
    thread_lock(const thread_lock&) = delete;
    thread_lock& operator=(const thread_lock&) = delete;

    void lock();
    void unlock();
    // True when the mutex was taken.
    bool try_lock();

private:
    lock_type m_lock;
};

// Locks at construction. unlock() releases once and forgets the lock, so a
// second unlock() and the destructor then do nothing.
class thread_locker {
public:
    explicit thread_locker(thread_lock& locker);
    ~thread_locker();
    thread_locker(const thread_locker&) = delete;
    thread_locker& operator=(const thread_locker&) = delete;

    void unlock();

private:
    thread_lock* m_pLocker;
};

}  // namespace THREAD
}  // namespace MORVAST

#endif

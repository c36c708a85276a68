#include "thread/thread_lock.h"

namespace MORVAST {
namespace THREAD {

thread_lock::thread_lock() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_lock, &attr);
    pthread_mutexattr_destroy(&attr);
}

thread_lock::~thread_lock() { pthread_mutex_destroy(&m_lock); }

void thread_lock::lock() { pthread_mutex_lock(&m_lock); }

void thread_lock::unlock() { pthread_mutex_unlock(&m_lock); }

bool thread_lock::try_lock() { return pthread_mutex_trylock(&m_lock) == 0; }

thread_locker::thread_locker(thread_lock& locker) : m_pLocker(&locker) { m_pLocker->lock(); }

thread_locker::~thread_locker() { unlock(); }

void thread_locker::unlock() {
    if (m_pLocker != nullptr) {
        m_pLocker->unlock();
        m_pLocker = nullptr;
    }
}

}  // namespace THREAD
}  // namespace MORVAST

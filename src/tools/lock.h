// Mutual exclusion of the tools library: four lock classes of one shape,
// their scope guards, and the counting wake-up event (event.h).
#ifndef MORVAST_TOOL_LOCK_H
#define MORVAST_TOOL_LOCK_H

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace MORVAST {
namespace TOOLS {

class null_lock {
public:
    void lock() {}
    void unlock() {}
    bool try_lock() { return true; }
};

// Recursive: the owning thread may lock again and must unlock as often.
class mutex_lock {
public:
    mutex_lock();
    ~mutex_lock();
    mutex_lock(const mutex_lock&) = delete;
    mutex_lock& operator=(const mutex_lock&) = delete;
    void lock();
    void unlock();
    bool try_lock();

private:
#ifdef _WIN32
    CRITICAL_SECTION m_mutexLock;
#else
    pthread_mutex_t m_mutexLock;
#endif
};

class spin_lock {
public:
    spin_lock();
    ~spin_lock();
    spin_lock(const spin_lock&) = delete;
    spin_lock& operator=(const spin_lock&) = delete;
    void lock();
    void unlock();
    bool try_lock();

private:
#ifdef _WIN32
    // 1 while held; taken by an interlocked exchange.
    volatile LONG m_spinLock;
#else
    pthread_spinlock_t m_spinLock;
#endif
};

class read_write_lock {
public:
    read_write_lock();
    ~read_write_lock();
    read_write_lock(const read_write_lock&) = delete;
    read_write_lock& operator=(const read_write_lock&) = delete;
    void read_lock();
    void write_lock();
    void read_unlock();
    void write_unlock();
    bool try_read_lock();
    bool try_write_lock();

private:
#ifdef _WIN32
    SRWLOCK mt;
#else
    pthread_rwlock_t mt;
#endif
};

// Scope guard over any class with lock()/unlock(); a null lock is ignored.
// unlock() releases once and forgets the lock, so the destructor then does
// nothing; lock() relocks only while the lock is still held by the guard.
template <class LOCK>
class template_mutex_locker {
public:
    explicit template_mutex_locker(LOCK* p) : m_lock(p) {
        if (m_lock) m_lock->lock();
    }
    explicit template_mutex_locker(LOCK& l) : template_mutex_locker(&l) {}
    ~template_mutex_locker() { unlock(); }
    template_mutex_locker(const template_mutex_locker&) = delete;
    template_mutex_locker& operator=(const template_mutex_locker&) = delete;
    void lock() {
        if (m_lock) m_lock->lock();
    }
    void unlock() {
        if (m_lock) {
            m_lock->unlock();
            m_lock = nullptr;
        }
    }

private:
    LOCK* m_lock;
};

class mutex_locker : public template_mutex_locker<mutex_lock> {
public:
    explicit mutex_locker(mutex_lock* p) : template_mutex_locker<mutex_lock>(p) {}
    explicit mutex_locker(mutex_lock& l) : template_mutex_locker<mutex_lock>(&l) {}
};

class spin_locker : public template_mutex_locker<spin_lock> {
public:
    explicit spin_locker(spin_lock* p) : template_mutex_locker<spin_lock>(p) {}
    explicit spin_locker(spin_lock& l) : template_mutex_locker<spin_lock>(&l) {}
};

// Shared side of a read_write_lock for the guard's scope.
class read_locker {
public:
    explicit read_locker(read_write_lock* p) : m_lock(p) { m_lock->read_lock(); }
    explicit read_locker(read_write_lock& l) : read_locker(&l) {}
    ~read_locker() { m_lock->read_unlock(); }
    read_locker(const read_locker&) = delete;
    read_locker& operator=(const read_locker&) = delete;

private:
    read_write_lock* m_lock;
};

// Exclusive side of a read_write_lock for the guard's scope.
class write_locker {
public:
    explicit write_locker(read_write_lock* p) : m_lock(p) { m_lock->write_lock(); }
    explicit write_locker(read_write_lock& l) : write_locker(&l) {}
    ~write_locker() { m_lock->write_unlock(); }
    write_locker(const write_locker&) = delete;
    write_locker& operator=(const write_locker&) = delete;

private:
    read_write_lock* m_lock;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif

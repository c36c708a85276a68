// POSIX forms of the tools library's lock classes.
#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

mutex_lock::mutex_lock() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m_mutexLock, &attr);
    pthread_mutexattr_destroy(&attr);
}
mutex_lock::~mutex_lock() { pthread_mutex_destroy(&m_mutexLock); }
void mutex_lock::lock() { pthread_mutex_lock(&m_mutexLock); }
void mutex_lock::unlock() { pthread_mutex_unlock(&m_mutexLock); }
bool mutex_lock::try_lock() { return pthread_mutex_trylock(&m_mutexLock) == 0; }

spin_lock::spin_lock() { pthread_spin_init(&m_spinLock, PTHREAD_PROCESS_PRIVATE); }
spin_lock::~spin_lock() { pthread_spin_destroy(&m_spinLock); }
void spin_lock::lock() { pthread_spin_lock(&m_spinLock); }
void spin_lock::unlock() { pthread_spin_unlock(&m_spinLock); }
bool spin_lock::try_lock() { return pthread_spin_trylock(&m_spinLock) == 0; }

read_write_lock::read_write_lock() { pthread_rwlock_init(&mt, nullptr); }
read_write_lock::~read_write_lock() { pthread_rwlock_destroy(&mt); }
void read_write_lock::read_lock() { pthread_rwlock_rdlock(&mt); }
void read_write_lock::write_lock() { pthread_rwlock_wrlock(&mt); }
void read_write_lock::read_unlock() { pthread_rwlock_unlock(&mt); }
void read_write_lock::write_unlock() { pthread_rwlock_unlock(&mt); }
bool read_write_lock::try_read_lock() { return pthread_rwlock_tryrdlock(&mt) == 0; }
bool read_write_lock::try_write_lock() { return pthread_rwlock_trywrlock(&mt) == 0; }

}  // namespace TOOLS
}  // namespace MORVAST

// Win32 forms of the tools library's lock classes. The mutex is a critical
// section (re-entrant for its owner, as the POSIX recursive mutex), the spin
// lock an interlocked flag, the reader-writer lock a slim reader-writer lock.
#include "tools/lock.h"

namespace MORVAST {
namespace TOOLS {

mutex_lock::mutex_lock() { InitializeCriticalSection(&m_mutexLock); }
mutex_lock::~mutex_lock() { DeleteCriticalSection(&m_mutexLock); }
void mutex_lock::lock() { EnterCriticalSection(&m_mutexLock); }
void mutex_lock::unlock() { LeaveCriticalSection(&m_mutexLock); }
bool mutex_lock::try_lock() { return TryEnterCriticalSection(&m_mutexLock) != FALSE; }

spin_lock::spin_lock() : m_spinLock(0) {}
spin_lock::~spin_lock() {}

void spin_lock::lock() {
    // Spin on a plain read so that waiting threads do not keep taking the
    // cache line from the holder; try the exchange only when it looks free.
    for (;;) {
        if (InterlockedExchange(&m_spinLock, 1) == 0) return;
        while (m_spinLock != 0) YieldProcessor();
    }
}

void spin_lock::unlock() { InterlockedExchange(&m_spinLock, 0); }
bool spin_lock::try_lock() { return InterlockedExchange(&m_spinLock, 1) == 0; }

read_write_lock::read_write_lock() { InitializeSRWLock(&mt); }
read_write_lock::~read_write_lock() {}
void read_write_lock::read_lock() { AcquireSRWLockShared(&mt); }
void read_write_lock::write_lock() { AcquireSRWLockExclusive(&mt); }
void read_write_lock::read_unlock() { ReleaseSRWLockShared(&mt); }
void read_write_lock::write_unlock() { ReleaseSRWLockExclusive(&mt); }
bool read_write_lock::try_read_lock() { return TryAcquireSRWLockShared(&mt) != FALSE; }
bool read_write_lock::try_write_lock() { return TryAcquireSRWLockExclusive(&mt) != FALSE; }

}  // namespace TOOLS
}  // namespace MORVAST

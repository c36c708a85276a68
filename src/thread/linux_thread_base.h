// The thread library's thin layer over POSIX threads: detached creation and
// cancellation under the names the rest of the system uses.
#ifndef MORVAST_THREAD_LINUX_THREAD_BASE_H
#define MORVAST_THREAD_LINUX_THREAD_BASE_H

#include <pthread.h>

#include <cstdint>

namespace MORVAST {
namespace THREAD {

typedef pthread_t mv_thread_id;
typedef pthread_t mv_thread_handle;
typedef void* (*mv_thread_start_fun)(void*);

// Starts a detached thread running fuc_trn(pParam). The new thread's id is
// written into id (0 on failure) and returned as the handle.
mv_thread_handle mv_create_thread(mv_thread_start_fun fuc_trn, void* pParam, mv_thread_id& id);

// POSIX threads cannot be suspended or resumed from outside: both do nothing.
uint32_t mv_suspend_thread(mv_thread_handle handle);
uint32_t mv_resume_thread(mv_thread_handle handle);

// Asks the thread to cancel itself (deferred cancellation); the platform's result.
int mv_close_thread(mv_thread_handle handle);

}  // namespace THREAD
}  // namespace MORVAST

#endif

// The thread library's thin layer over POSIX threads: detached creation and
// cancellation under the names the rest of the system uses.
#ifndef MORVAST_THREAD_LINUX_THREAD_BASE_H
#define MORVAST_THREAD_LINUX_THREAD_BASE_H

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <pthread.h>
#endif

#include <cstdint>

namespace MORVAST {
namespace THREAD {

#ifdef _WIN32
// The Win32 thread id, and the thread's handle (never narrowed to an integer).
typedef unsigned long mv_thread_id;
typedef HANDLE mv_thread_handle;
#else
typedef pthread_t mv_thread_id;
typedef pthread_t mv_thread_handle;
#endif
typedef void* (*mv_thread_start_fun)(void*);

#ifdef _WIN32
// Starts a thread running fuc_trn(pParam); its id is written into id. Returns
// the thread's handle, which the caller closes with mv_close_thread; on
// failure null, with id 0.
mv_thread_handle mv_create_thread(mv_thread_start_fun fuc_trn, void* pParam, mv_thread_id& id);

// SuspendThread / ResumeThread: the previous suspend count, or 0xFFFFFFFF.
uint32_t mv_suspend_thread(mv_thread_handle handle);
uint32_t mv_resume_thread(mv_thread_handle handle);

// Closes the handle (a Win32 thread cannot be cancelled; it runs on).
int mv_close_thread(mv_thread_handle handle);
#else
// Starts a detached thread running fuc_trn(pParam). The new thread's id is
// written into id (0 on failure) and returned as the handle.
mv_thread_handle mv_create_thread(mv_thread_start_fun fuc_trn, void* pParam, mv_thread_id& id);

// POSIX threads cannot be suspended or resumed from outside: both do nothing.
uint32_t mv_suspend_thread(mv_thread_handle handle);
uint32_t mv_resume_thread(mv_thread_handle handle);

// Asks the thread to cancel itself (deferred cancellation); the platform's result.
int mv_close_thread(mv_thread_handle handle);
#endif

}  // namespace THREAD
}  // namespace MORVAST

#endif

// The socket library's thread functions: detached creation, cancellation and
// a millisecond sleep, under the names its own classes use. They forward to
// the thread library and the tools library, so there is one implementation.
#ifndef API_MORVAST_SOCK_THREAD_THREAD_FUNCTION_H
#define API_MORVAST_SOCK_THREAD_THREAD_FUNCTION_H

#include <cstdint>

#ifdef _WIN32
// A thread's handle; a pointer-sized value that never passes through long.
typedef void* mv_socket_thread_handle;
// Starts a thread running fn(param); its Win32 id is stored in `id`. Returns
// the thread's handle, which the caller closes with mv_close_thread; null,
// with id 0, when creation failed.
mv_socket_thread_handle mv_create_thread(void* (*fn)(void*), void* param, unsigned long& id);
// SuspendThread / ResumeThread / CloseHandle, with the platform's result.
uint32_t mv_suspend_thread(mv_socket_thread_handle handle);
uint32_t mv_resume_thread(mv_socket_thread_handle handle);
int mv_close_thread(mv_socket_thread_handle handle);
#else
// Starts a detached thread running fn(param); its id is stored in `id`
// (0 when creation failed) and returned.
unsigned long mv_create_thread(void* (*fn)(void*), void* param, unsigned long& id);
// Threads cannot be suspended or resumed from outside: no effect, 0.
uint32_t mv_suspend_thread(unsigned long handle);
uint32_t mv_resume_thread(unsigned long handle);
// Cancels the thread; the result of the cancel.
int mv_close_thread(unsigned long handle);
#endif
// Sleeps the given number of milliseconds.
void mv_sleep(unsigned milli_sec);

#endif

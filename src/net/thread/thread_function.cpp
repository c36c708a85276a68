// Forwarders to MORVAST::THREAD and MORVAST::TOOLS::sleep_mv.
#include "net/thread/thread_function.h"

#include <type_traits>

#include "thread/linux_thread_base.h"
#include "tools/tool_function.h"

static_assert(std::is_same<MORVAST::THREAD::mv_thread_id, unsigned long>::value,
              "thread ids are unsigned long on this platform");

#ifdef _WIN32
static_assert(std::is_same<MORVAST::THREAD::mv_thread_handle, mv_socket_thread_handle>::value,
              "thread handles are pointers");

mv_socket_thread_handle mv_create_thread(void* (*fn)(void*), void* param, unsigned long& id) {
    return MORVAST::THREAD::mv_create_thread(fn, param, id);
}

uint32_t mv_suspend_thread(mv_socket_thread_handle handle) { return MORVAST::THREAD::mv_suspend_thread(handle); }

uint32_t mv_resume_thread(mv_socket_thread_handle handle) { return MORVAST::THREAD::mv_resume_thread(handle); }

int mv_close_thread(mv_socket_thread_handle handle) { return MORVAST::THREAD::mv_close_thread(handle); }
#else
unsigned long mv_create_thread(void* (*fn)(void*), void* param, unsigned long& id) {
    return MORVAST::THREAD::mv_create_thread(fn, param, id);
}

uint32_t mv_suspend_thread(unsigned long handle) { return MORVAST::THREAD::mv_suspend_thread(handle); }

uint32_t mv_resume_thread(unsigned long handle) { return MORVAST::THREAD::mv_resume_thread(handle); }

int mv_close_thread(unsigned long handle) { return MORVAST::THREAD::mv_close_thread(handle); }
#endif

void mv_sleep(unsigned milli_sec) { MORVAST::TOOLS::sleep_mv(milli_sec); }

#include "thread/linux_thread_base.h"

#ifdef _WIN32
#include <new>
#endif

namespace MORVAST {
namespace THREAD {

#ifdef _WIN32

namespace {
// What the new thread runs; it owns the record and frees it when fn returns.
struct start_record {
    mv_thread_start_fun fn;
    void* arg;
};

DWORD WINAPI start_adapter(LPVOID param) {
    start_record* record = static_cast<start_record*>(param);
    record->fn(record->arg);
    delete record;
    return 0;
}
}  // namespace

mv_thread_handle mv_create_thread(mv_thread_start_fun fuc_trn, void* pParam, mv_thread_id& id) {
    id = 0;
    if (fuc_trn == nullptr) return nullptr;
    start_record* record = new (std::nothrow) start_record{fuc_trn, pParam};
    if (record == nullptr) return nullptr;
    static_assert(sizeof(mv_thread_id) == sizeof(DWORD), "the id is a DWORD");
    HANDLE handle = CreateThread(nullptr, 0, &start_adapter, record, 0, &id);
    if (handle == nullptr) {
        delete record;
        id = 0;
    }
    return handle;
}

uint32_t mv_suspend_thread(mv_thread_handle handle) { return SuspendThread(handle); }

uint32_t mv_resume_thread(mv_thread_handle handle) { return ResumeThread(handle); }

int mv_close_thread(mv_thread_handle handle) { return CloseHandle(handle) ? 1 : 0; }

#else

mv_thread_handle mv_create_thread(mv_thread_start_fun fuc_trn, void* pParam, mv_thread_id& id) {
    pthread_attr_t attr;
    if (fuc_trn == nullptr || pthread_attr_init(&attr) != 0) {
        id = 0;
        return 0;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    mv_thread_id created = 0;
    if (pthread_create(&created, &attr, fuc_trn, pParam) != 0) created = 0;
    pthread_attr_destroy(&attr);
    id = created;
    return created;
}

uint32_t mv_suspend_thread(mv_thread_handle) { return 0; }

uint32_t mv_resume_thread(mv_thread_handle) { return 0; }

int mv_close_thread(mv_thread_handle handle) { return pthread_cancel(handle); }

#endif

}  // namespace THREAD
}  // namespace MORVAST

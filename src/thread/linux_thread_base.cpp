#include "thread/linux_thread_base.h"

namespace MORVAST {
namespace THREAD {

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

}  // namespace THREAD
}  // namespace MORVAST

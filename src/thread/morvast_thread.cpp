#include "thread/morvast_thread.h"

#ifndef _WIN32
#include <sched.h>
#endif

#include <algorithm>
#include <climits>

#include "tools/tool_function.h"

namespace MORVAST {
namespace THREAD {

namespace {
// Longest sleep that sleep_mv takes without its microsecond product wrapping.
const long kMaxSleepMilliseconds = UINT_MAX / 1000;
// CPUs addressable by bind_cpu (a 128-byte set).
const unsigned kCpuSetSize = 1024;
}  // namespace

morvast_thread::morvast_thread() : m_bRunning(false) {}

morvast_thread::~morvast_thread() {}

void morvast_thread::run(const char*) {}

void morvast_thread::run(void*) {}

bool morvast_thread::start(const char* pThreadName) {
    _ThreadParam* param = new _ThreadParam;
    param->m_pThread = this;
    if (pThreadName != nullptr) param->m_sThreadName = pThreadName;
    return start_worker(param);
}

bool morvast_thread::start(void* pArg) {
    _ThreadParam* param = new _ThreadParam;
    param->m_pThread = this;
    param->m_pArg = pArg;
    return start_worker(param);
}

// The worker is listed here, before its thread exists, so that a stop right
// after start waits for it too. The lock is held across the creation: the
// worker cannot leave the list (and free its record) before the ids are
// written, and a failed creation takes the record off the list again.
bool morvast_thread::start_worker(_ThreadParam* pParam) {
    m_bRunning = true;
    thread_locker guard(m_mutexThread);
    m_vecThread.push_back(pParam);
    mv_thread_id id = 0;
    mv_thread_handle handle = mv_create_thread(&morvast_thread::thread_entry, pParam, id);
    if (handle == 0) {
        m_vecThread.erase(std::find(m_vecThread.begin(), m_vecThread.end(), pParam));
        guard.unlock();
        delete pParam;
        return false;
    }
    pParam->m_threadID = id;
    pParam->m_threadHandle = handle;
    return true;
}

void* morvast_thread::thread_entry(void* pParam) {
    // Runs when run returns and also when the worker is cancelled inside run
    // (cancellation unwinds the stack): the worker leaves the list, if still
    // on it, and frees its own record.
    struct leave_list {
        _ThreadParam* param;
        ~leave_list() {
            morvast_thread* owner = param->m_pThread;
            {
                thread_locker guard(owner->m_mutexThread);
                VecThreadParam& list = owner->m_vecThread;
                VecThreadParam::iterator it = std::find(list.begin(), list.end(), param);
                if (it != list.end()) list.erase(it);
                if (list.empty()) owner->m_bRunning = false;
            }
#ifdef _WIN32
            // The handle was stored under the lock taken above, before this
            // worker could get here; nobody else closes it.
            if (param->m_threadHandle != nullptr) mv_close_thread(param->m_threadHandle);
#endif
            delete param;
        }
    };

    _ThreadParam* param = static_cast<_ThreadParam*>(pParam);
    leave_list on_exit{param};
    if (param->m_pArg != nullptr) {
        param->m_pThread->run(param->m_pArg);
    } else {
        param->m_pThread->run(param->m_sThreadName.c_str());
    }
    return nullptr;
}

bool morvast_thread::set_stop_flag() {
    m_bRunning = false;
    return false;
}

bool morvast_thread::stop() {
    if (!m_bRunning) return true;
    m_bRunning = false;
    return wait_stop();
}

bool morvast_thread::wait_stop() {
    m_bRunning = false;
    while (get_thread_count() != 0) MORVAST::TOOLS::sleep_mv(1);
    return true;
}

bool morvast_thread::coerce_stop(long timeOutMillisecond) {
    m_bRunning = false;
    if (timeOutMillisecond > 0) {
        MORVAST::TOOLS::sleep_mv(static_cast<unsigned>(std::min(timeOutMillisecond, kMaxSleepMilliseconds)));
    }
    thread_locker guard(m_mutexThread);
#ifndef _WIN32
    // A listed worker has not yet passed its exit step (which needs this
    // lock), so its thread is still alive and its record still valid.
    for (_ThreadParam* param : m_vecThread) mv_close_thread(param->m_threadHandle);
#endif
    // A Win32 thread cannot be cancelled: a worker still running keeps its
    // record and frees it, with its handle, when run returns.
    m_vecThread.clear();
    return true;
}

bool morvast_thread::is_running() { return m_bRunning; }

size_t morvast_thread::get_thread_count() {
    thread_locker guard(m_mutexThread);
    return m_vecThread.size();
}

std::string morvast_thread::get_thread_name(unsigned nIndex) {
    thread_locker guard(m_mutexThread);
    if (nIndex >= m_vecThread.size()) return std::string();
    return m_vecThread[nIndex]->m_sThreadName;
}

mv_thread_id morvast_thread::get_thread_id(const char* pThreadName) {
    if (pThreadName == nullptr) return 0;
    thread_locker guard(m_mutexThread);
    for (const _ThreadParam* param : m_vecThread) {
        if (param->m_sThreadName == pThreadName) return param->m_threadID;
    }
    return 0;
}

bool morvast_thread::bind_cpu(const char* pThreadName, int nIndex) {
    // Held across the call: a listed worker cannot end meanwhile, so the id
    // still names a live thread.
    thread_locker guard(m_mutexThread);
    mv_thread_id id = get_thread_id(pThreadName);
    if (id == 0) return false;
    return bind_cpu(id, nIndex);
}

#ifdef _WIN32
// The Windows build binds no thread to a CPU.
bool morvast_thread::bind_cpu(mv_thread_id, int) { return false; }
#else
bool morvast_thread::bind_cpu(mv_thread_id threadID, int nIndex) {
    cpu_set_t cpus;
    static_assert(sizeof(cpus) * CHAR_BIT >= kCpuSetSize, "the CPU set holds 1,024 CPUs");
    CPU_ZERO(&cpus);
    if (static_cast<unsigned>(nIndex) < kCpuSetSize) CPU_SET(static_cast<unsigned>(nIndex), &cpus);
    return pthread_setaffinity_np(threadID, sizeof(cpus), &cpus) == 0;
}
#endif

}  // namespace THREAD
}  // namespace MORVAST

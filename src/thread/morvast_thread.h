// Base class for objects that own worker threads. A derived class overrides
// one of the two run operations and calls start; every start adds one detached
// worker that runs run once. Stopping is cooperative: run polls is_running(),
// stop() clears the flag and waits until every worker has left run.
#ifndef MORVAST_THREAD_MORVAST_THREAD_H
#define MORVAST_THREAD_MORVAST_THREAD_H

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "thread/linux_thread_base.h"
#include "thread/thread_lock.h"

namespace MORVAST {
namespace THREAD {

class morvast_thread {
public:
    morvast_thread();
    virtual ~morvast_thread();
    morvast_thread(const morvast_thread&) = delete;
    morvast_thread& operator=(const morvast_thread&) = delete;

    // Body of a worker started with a name (or with a null argument).
    virtual void run(const char* pThreadName);
    // Body of a worker started with a non-null argument.
    virtual void run(void* pArg);

    // Adds one worker; false when the thread could not be created.
    bool start(const char* pThreadName);
    bool start(void* pArg);

    // Clears the running flag only; always false.
    bool set_stop_flag();
    // Clears the running flag and waits for every worker; true at once when
    // the object is not running.
    bool stop();
    // Clears the running flag and waits, polling every millisecond, until no
    // worker is left; true.
    bool wait_stop();
    // Clears the running flag, waits timeOutMillisecond, then cancels every
    // worker still listed and empties the list; true. A cancelled worker frees
    // its own record as its stack unwinds, taking this object's lock once on
    // the way: the object must outlive the cancelled threads.
    bool coerce_stop(long timeOutMillisecond);

    bool is_running();
    size_t get_thread_count();
    // Name of the worker at position nIndex of the list; empty past the end.
    std::string get_thread_name(unsigned nIndex);
    // Id of the first listed worker with this name; 0 when none.
    mv_thread_id get_thread_id(const char* pThreadName);
    // Pins the named worker to CPU nIndex; false for an unknown name.
    bool bind_cpu(const char* pThreadName, int nIndex);
    // Pins a thread to CPU nIndex (0..1023); false when the platform refuses,
    // which includes an index outside that range.
    static bool bind_cpu(mv_thread_id threadID, int nIndex);

private:
    struct _ThreadParam {
        morvast_thread* m_pThread = nullptr;
        mv_thread_id m_threadID = 0;
        mv_thread_handle m_threadHandle = 0;
        std::string m_sThreadName;
        void* m_pArg = nullptr;
    };
    typedef std::vector<_ThreadParam*> VecThreadParam;

    bool start_worker(_ThreadParam* pParam);
    static void* thread_entry(void* pParam);

    thread_lock m_mutexThread;
    std::atomic<bool> m_bRunning;
    VecThreadParam m_vecThread;
};

}  // namespace THREAD
}  // namespace MORVAST

#endif

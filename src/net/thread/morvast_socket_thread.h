// The socket library's worker thread: one detached thread that calls a
// registered function over and over, idling between calls, and that can be
// paused, resumed and stopped from other threads. The status is the only
// channel between the owner and the loop, so it is atomic.
#ifndef API_MORVAST_SOCK_THREAD_MORVAST_SOCKET_THREAD_H
#define API_MORVAST_SOCK_THREAD_MORVAST_SOCKET_THREAD_H

#include <atomic>
#include <string>

#include "net/thread/thread_function.h"

enum socket_thread_status {
    THREAD_INIT = 0,      // created or being created; the loop idles
    THREAD_RUN = 1,       // the loop calls the worker function
    THREAD_PAUSED = 2,    // the loop idles
    THREAD_PAUSEING = 3,  // pause asked; becomes PAUSED when the function next returns 0
    THREAD_STOPED = 4,    // the loop has ended (or never ran)
    THREAD_STOPING = 5,   // stop asked; becomes STOPED when the function next returns 0
    THREAD_CLOSE = 6      // set by the destructor; ends the loop
};

// A worker function: returns 0 when it has nothing more to do for now (the
// loop then idles), non-zero to be called again at once.
typedef int (*socket_thread_function)(void*);

class morvast_socket_thread {
public:
    morvast_socket_thread();
    // Stops the worker and waits until its loop has left this object.
    virtual ~morvast_socket_thread();
    virtual std::string get_thread_name() { return std::string(); }

    morvast_socket_thread(const morvast_socket_thread&) = delete;
    morvast_socket_thread& operator=(const morvast_socket_thread&) = delete;

    void register_function(socket_thread_function func, void* param, bool auto_sleep);
    // Idle wait between calls, in microseconds.
    void set_thread_wait_micro_sec(int micro_sec) { m_i_wait_micro_sec.store(micro_sec); }
    int get_thread_wait_micro_sec() const { return m_i_wait_micro_sec.load(); }

    // False on the worker's own thread, after the destructor began, while a
    // stop is pending, or when the thread cannot be created.
    bool start();
    // Waits until the worker function has returned 0 and the loop idles.
    bool pause();
    // Waits, without a limit, until the loop has ended.
    bool stop();

    socket_thread_status get_thread_status() const { return m_enum_status.load(); }
    void set_thread_status(socket_thread_status status) { m_enum_status.store(status); }
    unsigned long get_thread_id() const { return m_thread_id.load(); }
    // True when called on the worker's thread while its loop runs.
    bool is_same_thread() const;

protected:
    // Thread entry: the worker loop.
    static void* run_thread(void* param);
    // Idles `micro_sec` microseconds; long waits are cut short by a pause or
    // stop request.
    void break_sleep(int micro_sec);

private:
    void loop();
    void wait_loop_ended();

    socket_thread_function m_func_thread;
    void* m_func_param;
    std::atomic<unsigned long> m_thread_id;
    std::atomic<socket_thread_status> m_enum_status;
    std::atomic<int> m_i_wait_micro_sec;
    bool m_b_auto_sleep;
#ifdef _WIN32
    // The running (or last) thread's handle, closed once its loop has left
    // the object or by the destructor.
    mv_socket_thread_handle m_h_thread;
#else
    unsigned long m_h_thread;
#endif
    // True from the creation of a thread until its loop has left the object;
    // a new thread is not created, and the object not freed, before then.
    std::atomic<bool> m_loop_alive;
};

#endif

// Worker loop and its state machine. Every status change that races the
// loop is a compare-and-swap, so a stop asked while the loop turns a pending
// pause into PAUSED is never lost (stop waits without a limit).
#include "net/thread/morvast_socket_thread.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

#include "net/thread/thread_function.h"

namespace {

#ifdef _WIN32
unsigned long current_thread_id() { return GetCurrentThreadId(); }
#else
unsigned long current_thread_id() { return pthread_self(); }
#endif

// Step of the interruptible idle wait.
const int sleep_step_micro_sec = 10000;
const unsigned sleep_step_milli_sec = 10;

}  // namespace

morvast_socket_thread::morvast_socket_thread()
    : m_func_thread(nullptr),
      m_func_param(nullptr),
      m_thread_id(0),
      m_enum_status(THREAD_INIT),
      m_i_wait_micro_sec(1),
      m_b_auto_sleep(false),
      m_h_thread(),
      m_loop_alive(false) {}

morvast_socket_thread::~morvast_socket_thread() {
    bool own_thread = is_same_thread();
    stop();
    m_enum_status.store(THREAD_CLOSE);
    // A worker that deletes its own object cannot wait for itself.
    if (!own_thread) wait_loop_ended();
#ifdef _WIN32
    // Closing a thread's handle does not stop the thread, so a worker that
    // deletes its own object may close its own handle here.
    if (m_h_thread != nullptr) mv_close_thread(m_h_thread);
#endif
}

void morvast_socket_thread::register_function(socket_thread_function func, void* param, bool auto_sleep) {
    m_func_thread = func;
    m_func_param = param;
    m_b_auto_sleep = auto_sleep;
}

bool morvast_socket_thread::is_same_thread() const {
#ifdef _WIN32
    return m_loop_alive.load() && GetCurrentThreadId() == m_thread_id.load();
#else
    return m_loop_alive.load() && pthread_equal(pthread_self(), m_thread_id.load()) != 0;
#endif
}

void morvast_socket_thread::wait_loop_ended() {
    while (m_loop_alive.load()) mv_sleep(1);
}

bool morvast_socket_thread::start() {
    if (is_same_thread()) return false;
    for (;;) {
        socket_thread_status st = m_enum_status.load();
        switch (st) {
        case THREAD_RUN:
            return true;
        case THREAD_PAUSED:
        case THREAD_PAUSEING:
            if (m_enum_status.compare_exchange_strong(st, THREAD_RUN)) return true;
            continue;
        case THREAD_STOPING:
        case THREAD_CLOSE:
            return false;
        case THREAD_INIT:
        case THREAD_STOPED:
            break;
        }
        // A stopped loop may still be on its way out; two loops must never
        // share the object.
        wait_loop_ended();
#ifdef _WIN32
        // The previous thread has left the object: its handle is done with.
        if (m_h_thread != nullptr) {
            mv_close_thread(m_h_thread);
            m_h_thread = nullptr;
        }
#endif
        m_enum_status.store(THREAD_INIT);
        m_loop_alive.store(true);
        unsigned long id = 0;
        m_h_thread = mv_create_thread(&morvast_socket_thread::run_thread, this, id);
        if (m_h_thread == 0) {
            m_loop_alive.store(false);
            m_enum_status.store(THREAD_STOPED);
            return false;
        }
        m_thread_id.store(id);
        m_enum_status.store(THREAD_RUN);
        return true;
    }
}

bool morvast_socket_thread::pause() {
    for (;;) {
        socket_thread_status st = m_enum_status.load();
        if (st == THREAD_INIT || st == THREAD_STOPED || st == THREAD_STOPING || st == THREAD_CLOSE) return false;
        if (st == THREAD_PAUSED) return true;
        if (is_same_thread()) {
            m_enum_status.store(THREAD_PAUSED);
            return true;
        }
        if (st == THREAD_PAUSEING || m_enum_status.compare_exchange_strong(st, THREAD_PAUSEING)) break;
    }
    while (m_enum_status.load() == THREAD_PAUSEING) mv_sleep(1);
    return m_enum_status.load() == THREAD_PAUSED;
}

bool morvast_socket_thread::stop() {
    for (;;) {
        socket_thread_status st = m_enum_status.load();
        if (st == THREAD_INIT || st == THREAD_STOPED || st == THREAD_CLOSE) return true;
        if (is_same_thread()) {
            m_enum_status.store(THREAD_STOPED);
            return true;
        }
        if (st == THREAD_STOPING || m_enum_status.compare_exchange_strong(st, THREAD_STOPING)) break;
    }
    for (;;) {
        socket_thread_status st = m_enum_status.load();
        if (st == THREAD_STOPED || st == THREAD_CLOSE) return true;
        mv_sleep(1);
    }
}

void* morvast_socket_thread::run_thread(void* param) {
    static_cast<morvast_socket_thread*>(param)->loop();
    return nullptr;
}

void morvast_socket_thread::loop() {
    m_thread_id.store(current_thread_id());
    for (;;) {
        socket_thread_status st = m_enum_status.load();
        if (st == THREAD_STOPED || st == THREAD_CLOSE) break;
        if (st == THREAD_INIT || st == THREAD_PAUSED) {
            break_sleep(m_i_wait_micro_sec.load());
            continue;
        }
        int ret = m_func_thread ? m_func_thread(m_func_param) : 0;
        if (ret != 0) continue;
        st = m_enum_status.load();
        if (st == THREAD_PAUSEING) {
            m_enum_status.compare_exchange_strong(st, THREAD_PAUSED);
        } else if (st == THREAD_STOPING) {
            m_enum_status.compare_exchange_strong(st, THREAD_STOPED);
        } else if (m_b_auto_sleep) {
            break_sleep(m_i_wait_micro_sec.load());
        }
    }
    // Last touch of the object: the owner may free it from here on.
    m_loop_alive.store(false);
}

void morvast_socket_thread::break_sleep(int micro_sec) {
    if (micro_sec > sleep_step_micro_sec) {
        int left = micro_sec;
        while (left > 0) {
            socket_thread_status st = m_enum_status.load();
            if (st != THREAD_INIT && st != THREAD_RUN && st != THREAD_PAUSED) break;
            mv_sleep(sleep_step_milli_sec);
            left -= sleep_step_micro_sec;
        }
    } else if (micro_sec < 1000) {
#ifdef _WIN32
        // The platform sleeps in whole milliseconds at best (often 15.6 ms),
        // so a shorter wait spins on the performance counter.
        LARGE_INTEGER frequency;
        LARGE_INTEGER start;
        LARGE_INTEGER now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        do {
            YieldProcessor();
            QueryPerformanceCounter(&now);
        } while ((now.QuadPart - start.QuadPart) * 1000000LL / frequency.QuadPart < micro_sec);
#else
        if (micro_sec > 0) usleep(static_cast<useconds_t>(micro_sec));
#endif
    } else {
        mv_sleep(static_cast<unsigned>(micro_sec / 1000));
    }
}

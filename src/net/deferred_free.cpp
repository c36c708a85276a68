// The thread that runs the deferred frees, and the count of calls under way
// on a handle that every destroy waits for (net/deferred_free.h).
#include "net/deferred_free.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "net/transport_retire.h"
#include "tools/test_hook.h"

namespace HUX_NET {

namespace {

thread_local api_call_scope* t_innermost_call = nullptr;

// The waiting frees and the thread that runs them, one per library image.
class free_thread {
public:
    // Queues `free` and starts the thread when none runs.
    void add(const api_calls& calls, std::function<void()> free);
    // The unload: true once every free has run and the thread has ended;
    // false when that cannot be waited for here (the object is then left to
    // the process).
    bool finish();
    // The thread's body: every waiting free, in order, then it ends.
    void run();

private:
    struct entry {
        const api_calls* calls;
        std::function<void()> free;
    };
    void start_locked();

    std::mutex m_lock;
    std::condition_variable m_idle;
    std::deque<entry> m_waiting;
    std::atomic<bool> m_running{false};
#ifndef _WIN32
    std::thread m_thread;
#endif
};

// Made at the first free handed over, so that at exit or unload it goes
// before what was made earlier and the frees still use (the sessions' route
// tables, say).
struct free_thread_owner {
    free_thread* thread = new free_thread;
    ~free_thread_owner() {
        if (thread->finish()) delete thread;
    }
};

free_thread& the_free_thread() {
    static free_thread_owner owner;
    return *owner.thread;
}

#ifdef _WIN32
// Any object of this module: its address names the DLL (or the program that
// links this code) to GetModuleHandleExW.
const char g_module_anchor = 0;

DWORD WINAPI free_thread_main(LPVOID module) {
    the_free_thread().run();
    // The reference taken at the start goes with the thread: the DLL can
    // unload once no free is left to run.
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
    return 0;
}
#endif

void free_thread::add(const api_calls& calls, std::function<void()> free) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_waiting.push_back(entry{&calls, std::move(free)});
    if (!m_running) start_locked();
}

void free_thread::start_locked() {
#ifdef _WIN32
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_module_anchor),
                            &module))
        return;  // left waiting: the next free handed over tries again
    HANDLE thread = CreateThread(nullptr, 0, free_thread_main, module, 0, nullptr);
    if (!thread) {
        FreeLibrary(module);
        return;
    }
    CloseHandle(thread);
    m_running = true;
#else
    // The last thread has left its loop (clearing the running flag under
    // this lock was its last act on the object): joining it does not wait.
    if (m_thread.joinable()) m_thread.join();
    try {
        m_thread = std::thread(&free_thread::run, this);
        m_running = true;
    } catch (const std::system_error&) {
        // Left waiting: the next free handed over tries again, and the
        // unload runs what is left.
    }
#endif
}

void free_thread::run() {
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_waiting.empty()) {
        entry next = std::move(m_waiting.front());
        m_waiting.pop_front();
        guard.unlock();
        next.calls->wait_idle();
        next.free();
        next.free = nullptr;  // what it held goes outside the lock too
        MORVAST::TOOLS::test_hook("deferred free: done", nullptr);
        guard.lock();
    }
    m_running = false;
    m_idle.notify_all();
}

bool free_thread::finish() {
#ifdef _WIN32
    // A running thread holds the DLL, so an unload never comes while it
    // runs; at process exit it was ended with the other threads, possibly
    // holding the lock, which is then neither taken nor freed.
    return !m_running;
#else
    // exit() called inside a callback or a call on a handle: a free may be
    // waiting for this very thread to leave it.
    if (transport_scope::inside_any() || t_innermost_call) return false;
    std::deque<entry> left;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_idle.wait(guard, [this] { return !m_running; });
        left.swap(m_waiting);  // only when no thread could be started
    }
    if (m_thread.joinable()) m_thread.join();
    for (entry& e : left) {
        e.calls->wait_idle();
        e.free();
    }
    return true;
#endif
}

}  // namespace

void api_calls::wait_idle() const {
    for (int round = 0; busy(); ++round) {
        if (round < 100)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

api_call_scope::api_call_scope(const void* key, api_calls& calls)
    : m_key(key), m_calls(calls), m_outer(t_innermost_call) {
    m_calls.m_under_way.fetch_add(1);
    t_innermost_call = this;
}

api_call_scope::~api_call_scope() {
    t_innermost_call = m_outer;
    // The last touch of the handle: a destroy waiting on another thread may
    // free it at once.
    m_calls.m_under_way.fetch_sub(1, std::memory_order_release);
}

bool api_call_scope::inside(const void* key) {
    for (const api_call_scope* s = t_innermost_call; s; s = s->m_outer)
        if (s->m_key == key) return true;
    return false;
}

bool must_defer_destroy(const void* key) { return transport_scope::inside_any() || api_call_scope::inside(key); }

void destroy_handle(const void* key, const api_calls& calls, const std::function<void()>& silence,
                    const std::function<void()>& disconnect, std::function<void()> free) {
    if (must_defer_destroy(key)) {
        silence();
        disconnect();
        defer_free(calls, std::move(free));
        return;
    }
    // The point where a destroy that finds calls under way begins to wait
    // for them: the disconnect already waits for those inside a send.
    if (calls.busy()) MORVAST::TOOLS::test_hook("api: destroy waits for calls", key);
    disconnect();
    calls.wait_idle();
    free();
}

void defer_free(const api_calls& calls, std::function<void()> free) { the_free_thread().add(calls, std::move(free)); }

}  // namespace HUX_NET

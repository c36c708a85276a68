// Frees that cannot run where they are asked for. An application may destroy
// a session inside one of its callbacks; the receive loop that called it is
// still on the stack and goes on using the session once the callback
// returns, so the session cannot be freed there. The API layers then
// disconnect the session at once and hand its free to this unit, which runs
// it on a thread of the library's own, outside every callback. Freeing a
// session from there waits for the session's threads to leave it (its
// destructor joins them and frees its retired transports), so the free
// happens once the callback has returned.
//
// Every call of the application on a handle counts itself in the handle's
// api_calls for as long as it runs (an api_call_scope), so a destroy on
// another thread can wait for the calls under way before it frees: it
// disconnects first, so that they fail fast (7, 6 or 4), then waits until
// none is left. Some calls run callbacks while they are still under way: on
// the caller's own thread (a disconnect reports "local disconnected" there, a
// refused logon its result), or on the session's threads before the call has
// returned (the connected event of a connect, the answer of a logon). A
// destroy made on a thread inside a call on the same handle cannot wait for
// that call, so it is deferred like one made in a callback, and a free
// handed over is run only once no call on its handle is under way on any
// thread.
//
// The thread runs while frees are waiting and ends when none is left. On
// Linux the library's unload (this unit's static destructor, at dlclose or
// exit) waits for every waiting free, so none runs after its code is gone.
// On Windows the thread holds a reference to the DLL while it runs and drops
// it as it ends (FreeLibraryAndExitThread), so the DLL stays loaded until the
// last free has run; a process that exits first takes its frees with it.
#ifndef HUX_NET_DEFERRED_FREE_H
#define HUX_NET_DEFERRED_FREE_H

#include <atomic>
#include <functional>

namespace HUX_NET {

// The calls under way on one handle, on every thread. The object behind the
// handle holds it; it must outlive every call and every wait on it.
class api_calls {
public:
    api_calls() = default;
    api_calls(const api_calls&) = delete;
    api_calls& operator=(const api_calls&) = delete;

    // True while a call is under way.
    bool busy() const { return m_under_way.load(std::memory_order_acquire) != 0; }
    // Waits until no call is under way. It polls: a call's end is one atomic
    // subtract that wakes nobody, and a destroy is rare.
    void wait_idle() const;

private:
    friend class api_call_scope;
    std::atomic<unsigned> m_under_way{0};
};

// One call on `key` (a session handle) whose calls are `calls`, for the
// scope's life: counted (one atomic add and subtract: no lock and no
// allocation, the order functions take one) and marked on the calling
// thread, so that a destroy this thread makes meanwhile does not wait for
// it. Scopes nest.
class api_call_scope {
public:
    api_call_scope(const void* key, api_calls& calls);
    ~api_call_scope();
    api_call_scope(const api_call_scope&) = delete;
    api_call_scope& operator=(const api_call_scope&) = delete;

    // True when the calling thread is inside a scope of `key`.
    static bool inside(const void* key);

private:
    const void* m_key;
    api_calls& m_calls;
    api_call_scope* m_outer;
};

// A call of the application on a handle whose object (a T with ApiCalls())
// the handle is: counted in the object's calls under way for the guard's
// life (an api_call_scope); the guard stands for the object.
template <class T>
class handle_call {
public:
    explicit handle_call(void* handle) : m_object(static_cast<T*>(handle)), m_scope(handle, m_object->ApiCalls()) {}
    T* operator->() const { return m_object; }
    operator T*() const { return m_object; }

private:
    T* const m_object;
    api_call_scope m_scope;
};

// True when a destroy of `key` asked on the calling thread cannot free at
// once: the thread runs a transport's callback (of this session or another)
// or is inside a call on `key`.
bool must_defer_destroy(const void* key);

// The destroy of handle `key`. Where it can free at once: `disconnect`
// (calls under way on other threads then fail fast), a wait until no call on
// `key` is under way, then `free`. Where it must be deferred (must_defer_destroy):
// `silence` (no callback reaches the application any more), `disconnect`,
// and `free` handed to the library's own thread.
void destroy_handle(const void* key, const api_calls& calls, const std::function<void()>& silence,
                    const std::function<void()>& disconnect, std::function<void()> free);

// Runs `free` on the library's own thread, outside every callback, after
// the frees handed over before it, once no call counted in `calls` is under
// way. `free` must not call back into the application.
void defer_free(const api_calls& calls, std::function<void()> free);

}  // namespace HUX_NET

#endif

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
// Some calls of the application run callbacks while they are still under
// way: on the caller's own thread (a disconnect reports "local
// disconnected" there, a refused logon its result), or on the session's
// threads before the call has returned (the connected event of a connect,
// the answer of a logon). Such a call marks itself with an api_call_scope,
// and a free handed over is run only once no marked call of its session is
// under way on any thread.
//
// The thread runs while frees are waiting and ends when none is left. On
// Linux the library's unload (this unit's static destructor, at dlclose or
// exit) waits for every waiting free, so none runs after its code is gone.
// On Windows the thread holds a reference to the DLL while it runs and drops
// it as it ends (FreeLibraryAndExitThread), so the DLL stays loaded until the
// last free has run; a process that exits first takes its frees with it.
#ifndef HUX_NET_DEFERRED_FREE_H
#define HUX_NET_DEFERRED_FREE_H

#include <functional>

namespace HUX_NET {

// Marks a call on `key` (a session handle) that may run the application's
// callbacks before it returns, for the scope's life. Scopes nest.
class api_call_scope {
public:
    explicit api_call_scope(const void* key);
    ~api_call_scope();
    api_call_scope(const api_call_scope&) = delete;
    api_call_scope& operator=(const api_call_scope&) = delete;

    // True when the calling thread is inside a scope of `key`.
    static bool inside(const void* key);

private:
    const void* m_key;
    api_call_scope* m_outer;
};

// True when a destroy of `key` asked on the calling thread cannot free at
// once: the thread runs a transport's callback (of this session or another)
// or is inside a marked call on `key`.
bool must_defer_destroy(const void* key);

// Runs `free` on the library's own thread, outside every callback, after
// the frees handed over before it, once no marked call on `key` is under way.
// `free` must not call back into the application.
void defer_free(const void* key, std::function<void()> free);

}  // namespace HUX_NET

#endif

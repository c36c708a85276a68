// A transport (a TCP client and its threads) must never be closed and freed
// by one of its own threads: the close waits for those threads to end. Both
// trade sessions and the query session close transports from callbacks, and
// a callback of one session may close the other, so the thread marks which
// transports' callbacks it is running in and a close made inside one of them
// retires the transport instead; another thread frees it later.
#ifndef HUX_NET_TRANSPORT_RETIRE_H
#define HUX_NET_TRANSPORT_RETIRE_H

#include <pthread.h>

#include <functional>
#include <mutex>
#include <vector>

namespace HUX_NET {

// Marks the calling thread as running a callback of `owner` (any object
// that stands for a transport: the session, or the client itself) for the
// scope's life. Scopes nest: a callback that reaches another session's
// callback on the same thread is inside both.
class transport_scope {
public:
    explicit transport_scope(const void* owner);
    ~transport_scope();
    transport_scope(const transport_scope&) = delete;
    transport_scope& operator=(const transport_scope&) = delete;

    // True when the calling thread is inside a scope of `owner`.
    static bool inside(const void* owner);
    // True when the calling thread runs any transport's callback: a close
    // made there must not wait for a transport's threads (the other
    // session's thread may be waiting for this one).
    static bool inside_any();

private:
    const void* m_owner;
    transport_scope* m_outer;
};

// Transports closed inside a callback, waiting to be freed by a thread
// outside every callback. Thread-safe.
class retired_transports {
public:
    retired_transports() = default;
    // Frees what is retired, unless the calling thread runs a transport's
    // callback (it may be the transport's own thread: what is left then is
    // left to the process, since freeing it here would wait for this very
    // thread).
    ~retired_transports() { free_ready(); }
    retired_transports(const retired_transports&) = delete;
    retired_transports& operator=(const retired_transports&) = delete;

    // Keeps `destroy` (which closes what is left and frees the transport)
    // for a later free_ready on another thread.
    void retire(std::function<void()> destroy);
    // Runs the destroys of every retired transport when the calling thread
    // runs no transport's callback (it may be one of the retired
    // transports' own threads); otherwise nothing.
    void free_ready();
    size_t size() const;

private:
    struct entry {
        std::function<void()> destroy;
    };
    mutable std::mutex m_lock;
    std::vector<entry> m_entries;
};

}  // namespace HUX_NET

#endif

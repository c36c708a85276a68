// The sessions' SIGINT handler and the owner of its installation.
#ifndef _WIN32
#include "session/session_sigint.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "session/trade_session_core.h"

namespace HUX_SESSION {

namespace {

// The SIGINT handler belongs to the library only while a session exists: the
// disposition found when the handler was first installed is put back when
// the last session object goes, and at library unload, so that a SIGINT
// never jumps into code that is no longer mapped. It is put back only while
// the library's handler is still the one installed: a handler the
// application set afterwards stays.
struct sigint_owner {
    std::mutex lock;
    unsigned sessions = 0;   // session objects alive
    bool installed = false;  // our handler was installed over `previous`
    struct sigaction previous;

    void restore_locked() {
        if (!installed) return;
        installed = false;
        struct sigaction current;
        if (sigaction(SIGINT, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == &termination_handler)
            sigaction(SIGINT, &previous, nullptr);
    }
};

// Never destroyed: the unload hook below and sessions destroyed during exit
// may still use it.
sigint_owner& sigint_state() {
    static sigint_owner* state = new sigint_owner;
    return *state;
}

__attribute__((destructor)) void restore_sigint_at_unload() {
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.restore_locked();
}

}  // namespace

void sigint_session_added() {
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.sessions;
}

void sigint_session_removed() {
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (--s.sessions == 0) s.restore_locked();
}

int sigint_install() {
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = &termination_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    struct sigaction previous;
    if (sigaction(SIGINT, &action, &previous) != 0) return errno;
    // The disposition to put back is the one from before the library's
    // handler, whichever session installed it first.
    if (!s.installed && !(!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == &termination_handler)) {
        s.previous = previous;
        s.installed = true;
    }
    return 0;
}

void termination_handler(int sig) {
    // The TCPDirect plug-in of the last session that connected is closed
    // first, once, unless a reconnect runs. Its close takes the plug-in's
    // stack lock by a bounded try: on a thread that holds it, the close only
    // stops the plug-in's loop.
    i_zf_tcp_client_sock* zf = __atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE);
    if (!__atomic_load_n(&g_reconnecting, __ATOMIC_RELAXED) && zf && !__atomic_load_n(&g_is_close, __ATOMIC_RELAXED)) {
        zf->sock_close();
        __atomic_store_n(&g_is_close, 1, __ATOMIC_RELAXED);
    }
    const char* name = strsignal(sig);
    printf("Exit on signal %d %s\n", sig, name ? name : "");
    fflush(stdout);
    if (__atomic_load_n(&g_handle_sig, __ATOMIC_RELAXED)) exit(0);
}

}  // namespace HUX_SESSION

#endif

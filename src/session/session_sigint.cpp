// The sessions' SIGINT handler and the owner of its installation.
//
// The handler belongs to the library only while a session object exists:
// the disposition found before it is put back when the last session object
// goes, and at library unload, so that a SIGINT never jumps into code that
// is no longer mapped. It is put back only while the library's handler is
// still the one installed: a handler the application set afterwards stays.
// A put-back that found another handler installed is not given up: it is
// tried again at the next point (the library's unload).
//
// libhuxtrade.so and libhuxadapter.so both carry this code, each with its
// own owner, and one process may load both, so the disposition a library
// finds when it installs its handler can be the other library's handler.
// Each library can find the other's owner without an exported symbol,
// through a note in its image (below). A library whose handler went over the
// other's takes the disposition the other found first (the one from before
// either handler) as its own original; when it puts its disposition back it
// puts back the other's handler only while the other library is still
// loaded and still owns that handler, and the original otherwise. So
// whatever the order of loads and unloads, once both are gone SIGINT has the
// disposition it had before either library installed its handler.
#ifndef _WIN32
#include "session/session_sigint.h"

#include <elf.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/trade_session_core.h"

namespace HUX_SESSION {

// One library's owner of the handler. Statically initialised and trivially
// destructible: nothing to allocate at load or to free at unload, and
// sessions destroyed during exit, after the unload hook, still find it.
// Another library reads and writes it under its lock; a change of this
// layout changes SIGINT_OWNER_LAYOUT, so that libraries of different
// layouts leave each other's owners alone.
struct sigint_owner {
    pthread_mutex_t lock;
    void (*handler)(int);        // this library's termination_handler
    unsigned sessions;           // session objects alive
    bool installed;              // our handler went over `previous`, to be put back
    bool previous_is_sibling;    // `previous` is another library's handler
    bool unloading;              // the unload hook ran: the image may go
    struct sigaction previous;   // found when the handler was first installed
    struct sigaction original;   // the disposition from before any library's handler
};

}  // namespace HUX_SESSION

#define HUX_SIGINT_NOTE_TYPE 0x48530001
#define HUX_SIGINT_OWNER_LAYOUT 1
#define HUX_SIGINT_TEXT2(x) #x
#define HUX_SIGINT_TEXT(x) HUX_SIGINT_TEXT2(x)

extern "C" {
// Hidden: the version scripts keep it inside the library.
__attribute__((visibility("hidden"), used)) HUX_SESSION::sigint_owner hux_session_sigint_owner = {
    PTHREAD_MUTEX_INITIALIZER, &HUX_SESSION::termination_handler, 0, false, false, false, {}, {}};
}

// The note "HUX" of type HUX_SIGINT_NOTE_TYPE: the owner's offset from the
// descriptor's first byte (resolved by the link, so the note needs no
// relocation at load) and the owner's layout. The linker puts it in a
// PT_NOTE segment, which dl_iterate_phdr shows for every loaded object.
__asm__(".pushsection .note.hux.sigint,\"a\",@note\n"
        "\t.balign 4\n"
        "\t.long 4\n"
        "\t.long 8\n"
        "\t.long " HUX_SIGINT_TEXT(HUX_SIGINT_NOTE_TYPE) "\n"
        "\t.asciz \"HUX\"\n"
        "\t.long hux_session_sigint_owner - .\n"
        "\t.long " HUX_SIGINT_TEXT(HUX_SIGINT_OWNER_LAYOUT) "\n"
        "\t.popsection\n");

namespace HUX_SESSION {

namespace {

sigint_owner& own_owner() { return hux_session_sigint_owner; }

bool is_handler(const struct sigaction& action, void (*handler)(int)) {
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == handler;
}

// The owners of every loaded library that carries this code (this one
// included), each locked, for the scope's life. They are locked while the
// loader's list is walked: an object found there is not unmapped before its
// unload hook ran, and that hook waits for the owner's lock; an owner whose
// hook already ran is left out. Every thread locks the owners in the list's
// order.
class owner_scope {
public:
    owner_scope() {
        dl_iterate_phdr(&owner_scope::visit, this);
        sigint_owner* self = &own_owner();
        bool found = false;
        for (int i = 0; i < m_count; ++i) found = found || m_owners[i] == self;
        if (!found && m_count < MAX_OWNERS) {
            pthread_mutex_lock(&self->lock);
            m_owners[m_count++] = self;
        }
    }
    ~owner_scope() {
        for (int i = m_count - 1; i >= 0; --i) pthread_mutex_unlock(&m_owners[i]->lock);
    }
    owner_scope(const owner_scope&) = delete;
    owner_scope& operator=(const owner_scope&) = delete;

    // Another library's owner whose handler `action` is, or null.
    const sigint_owner* sibling_of(const struct sigaction& action) const {
        for (int i = 0; i < m_count; ++i)
            if (m_owners[i] != &own_owner() && is_handler(action, m_owners[i]->handler)) return m_owners[i];
        return nullptr;
    }

private:
    static const int MAX_OWNERS = 16;

    static size_t round_up(size_t n, size_t align) { return (n + align - 1) & ~(align - 1); }

    static int visit(struct dl_phdr_info* info, size_t, void* data) {
        owner_scope* scope = static_cast<owner_scope*>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& ph = info->dlpi_phdr[i];
            if (ph.p_type != PT_NOTE) continue;
            const size_t align = ph.p_align == 8 ? 8 : 4;
            const char* p = reinterpret_cast<const char*>(info->dlpi_addr + ph.p_vaddr);
            const char* const end = p + ph.p_memsz;
            while (static_cast<size_t>(end - p) >= sizeof(ElfW(Nhdr))) {
                ElfW(Nhdr) head;
                memcpy(&head, p, sizeof(head));
                const char* name = p + sizeof(head);
                const char* desc = name + round_up(head.n_namesz, align);
                if (desc > end || static_cast<size_t>(end - desc) < round_up(head.n_descsz, align)) break;
                if (head.n_type == HUX_SIGINT_NOTE_TYPE && head.n_namesz == 4 && memcmp(name, "HUX", 4) == 0 &&
                    head.n_descsz == 8)
                    scope->take(desc);
                p = desc + round_up(head.n_descsz, align);
            }
        }
        return 0;
    }

    void take(const char* desc) {
        int32_t offset;
        uint32_t layout;
        memcpy(&offset, desc, sizeof(offset));
        memcpy(&layout, desc + 4, sizeof(layout));
        if (layout != HUX_SIGINT_OWNER_LAYOUT || m_count == MAX_OWNERS) return;
        sigint_owner* owner = reinterpret_cast<sigint_owner*>(const_cast<char*>(desc) + offset);
        for (int i = 0; i < m_count; ++i)
            if (m_owners[i] == owner) return;
        pthread_mutex_lock(&owner->lock);
        if (owner->unloading && owner != &own_owner()) {
            pthread_mutex_unlock(&owner->lock);
            return;
        }
        m_owners[m_count++] = owner;
    }

    sigint_owner* m_owners[MAX_OWNERS];
    int m_count = 0;
};

// Puts back what this library's handler went over, when its handler is the
// one installed; otherwise the put-back stays due for the next point.
void restore(const owner_scope& owners) {
    sigint_owner& self = own_owner();
    if (!self.installed) return;
    struct sigaction current;
    if (sigaction(SIGINT, nullptr, &current) != 0 || !is_handler(current, self.handler)) return;
    const struct sigaction* target = &self.previous;
    // The other library's handler only while that library is loaded and
    // still puts back its own.
    if (self.previous_is_sibling) {
        const sigint_owner* sibling = owners.sibling_of(self.previous);
        if (sibling == nullptr || !sibling->installed) target = &self.original;
    }
    if (sigaction(SIGINT, target, nullptr) == 0) self.installed = false;
}

__attribute__((destructor)) void restore_sigint_at_unload() {
    owner_scope owners;
    restore(owners);
    own_owner().unloading = true;
}

}  // namespace

void sigint_session_added() {
    sigint_owner& self = own_owner();
    pthread_mutex_lock(&self.lock);
    ++self.sessions;
    pthread_mutex_unlock(&self.lock);
}

void sigint_session_removed() {
    owner_scope owners;
    sigint_owner& self = own_owner();
    if (--self.sessions == 0) restore(owners);
}

int sigint_install() {
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = &termination_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    owner_scope owners;
    sigint_owner& self = own_owner();
    struct sigaction previous;
    if (sigaction(SIGINT, &action, &previous) != 0) return errno;
    // The disposition to put back is the one from before the library's
    // handler, whichever session installed it first.
    if (!self.installed && !is_handler(previous, self.handler)) {
        self.previous = previous;
        const sigint_owner* sibling = owners.sibling_of(previous);
        self.previous_is_sibling = sibling != nullptr;
        if (sibling == nullptr) {
            self.original = previous;
        } else if (sibling->installed) {
            self.original = sibling->original;
        } else {
            // A handler nobody puts back: its library's original is unknown.
            memset(&self.original, 0, sizeof(self.original));
            self.original.sa_handler = SIG_DFL;
        }
        self.installed = true;
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

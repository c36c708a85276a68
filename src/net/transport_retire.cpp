#include "net/transport_retire.h"

namespace HUX_NET {

namespace {
thread_local transport_scope* t_innermost = nullptr;
}  // namespace

transport_scope::transport_scope(const void* owner) : m_owner(owner), m_outer(t_innermost) { t_innermost = this; }

transport_scope::~transport_scope() { t_innermost = m_outer; }

bool transport_scope::inside(const void* owner) {
    for (const transport_scope* s = t_innermost; s; s = s->m_outer)
        if (s->m_owner == owner) return true;
    return false;
}

bool transport_scope::inside_any() { return t_innermost != nullptr; }

void retired_transports::retire(std::function<void()> destroy) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back(entry{std::move(destroy)});
}

void retired_transports::free_ready() {
    // A transport's own threads run library code only inside its callbacks,
    // so a thread outside every callback is never one of them. (The thread
    // that retired an entry is no test: once it has ended, the system may
    // give its identity to the very thread that frees.)
    if (transport_scope::inside_any()) return;
    std::vector<entry> ready;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ready.swap(m_entries);
    }
    // Outside the lock: a destroy waits for the transport's threads, whose
    // callbacks may retire another transport meanwhile.
    for (entry& e : ready) e.destroy();
}

size_t retired_transports::size() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_entries.size();
}

}  // namespace HUX_NET

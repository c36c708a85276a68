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
    m_entries.push_back(entry{std::move(destroy), pthread_self()});
}

void retired_transports::free_ready() {
    if (transport_scope::inside_any()) return;
    std::vector<entry> ready;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (size_t i = 0; i < m_entries.size();) {
            if (!pthread_equal(m_entries[i].owner, pthread_self())) {
                ready.push_back(std::move(m_entries[i]));
                m_entries.erase(m_entries.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
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

// Receive cache in front of the user's callback.
#include "net/sckt_cache_client.h"

#include <cstddef>

namespace CLIENT_SCKT_ONLY {

sckt_cache_client::sckt_cache_client(unsigned cache_size)
    : m_user_context(nullptr), m_user_callback(nullptr), m_cache(cache_size) {}

// The event thread uses the cache: it must end before the cache goes.
sckt_cache_client::~sckt_cache_client() { retire_event_thread(); }

// The old connection's thread reads the user's callback: end it first.
bool sckt_cache_client::take_user_callback(sckt_event_callback callback, void* context) {
    if (!end_previous_connection() || !callback) {
        m_connected = false;
        return false;
    }
    m_user_callback = callback;
    m_user_context = context;
    return true;
}

bool sckt_cache_client::sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback,
                                  void* context) {
    if (!take_user_callback(callback, context)) return false;
    return sckt_client::sock_init(server_ip, port, cache_callback, this);
}

#ifndef _WIN32
bool sckt_cache_client::sock_init_ex(const char* server_ip, uint16_t port, sckt_event_callback callback,
                                     void* context) {
    if (!take_user_callback(callback, context)) return false;
    return sckt_client::sock_init_ex(server_ip, port, cache_callback, this);
}
#endif

void sckt_cache_client::set_epoll_max_wait_time(int milliseconds) {
    sckt_client::set_epoll_max_wait_time(milliseconds);
}

int sckt_cache_client::cache_callback(sckt_param& param, void* context) {
    if (!context) return -1;
    return static_cast<sckt_cache_client*>(context)->on_cache_callback(param);
}

int sckt_cache_client::on_cache_callback(sckt_param& param) {
    if (!m_user_callback) return -1;
    SOCKET_EVENT event = param.get_event_type();
    // A new connection starts from an empty cache: nothing left over from the
    // previous one may be glued in front of its first bytes.
    if (event == EVENT_CONNECT) m_cache.clear();
    if (event != EVENT_RECEIVE) return m_user_callback(param, m_user_context);

    if (!m_cache.push_data(param.get_buff_addr(), param.get_buff_size())) {
        sckt_param full(EVENT_RECEIVE_BUFF_FULL, param.get_sckt_id(), nullptr, 0);
        return m_user_callback(full, m_user_context);
    }
    size_t cached = m_cache.get_data_len();
    if (cached == 0) return 0;
    const char* data = m_cache.get_data_ptr();
    // A cache past 4 GB is offered in 4 GB views; the rest stays cached.
    uint32_t offered = cached > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(cached);
    param.set_buff(&data, offered);
    param.set_proc_len(0);
    int ret = m_user_callback(param, m_user_context);
    // A callback claiming more than it was offered takes only what it saw.
    uint32_t taken = param.get_proc_len();
    m_cache.pop_data(taken < offered ? taken : offered);
    return ret;
}

}  // namespace CLIENT_SCKT_ONLY

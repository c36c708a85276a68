// socket_cache_client: the event path, the three workers and clear_data.
//
// Locks: the queues and the pool lock themselves. The receive worker and
// clear_data share the cache's own lock (lock_stream); the receive worker
// calls the user's callback without it, and the cache's block is only ever
// grown by the receive worker itself, so the offered bytes stay valid during
// the callback. The send worker holds m_send_lock around one buffer's send
// (its EVENT_SEND report included); clear_data takes it too.
#include "net/socket_cache_client.h"

#include <climits>
#include <cstdint>

#include "tools/cross_platform_api.h"
#include "net/thread/thread_function.h"

using MORVAST::TOOLS::mutex_locker;
using MORVAST::TOOLS::stream_buffer;

namespace {

const int micro_sec_per_sec = 1000000;
const unsigned log_text_len = 1024;

}  // namespace

socket_cache_client::socket_cache_client(unsigned cache_size)
    : m_caller(nullptr),
      m_callback(nullptr),
      m_hold_buf(cache_size),
      m_data_pool(pool_depth),
      m_thread_send(new morvast_socket_thread()),
      m_thread_receive(new morvast_socket_thread()),
      m_thread_reconn(new morvast_socket_thread()),
      m_async_send_flag(true),
      m_auto_reconn_flag(false),
      m_server_port(-1),
      m_local_port(-1),
      m_send_clear_count(0),
      m_recv_clear_count(0),
      m_recv_pending(0) {
    m_thread_send->register_function(&socket_cache_client::thread_send_proc, this, true);
    m_thread_receive->register_function(&socket_cache_client::thread_receive_proc, this, true);
    m_thread_reconn->register_function(&socket_cache_client::thread_auto_reconn, this, true);
    m_thread_reconn->set_thread_wait_micro_sec(default_reconn_wait_micro_sec);
#ifdef _WIN32
    m_thread_send->set_thread_wait_micro_sec(windows_worker_wait_micro_sec);
    m_thread_receive->set_thread_wait_micro_sec(windows_worker_wait_micro_sec);
#endif
}

socket_cache_client::~socket_cache_client() {
    m_thread_send->stop();
    m_thread_receive->stop();
    m_thread_reconn->stop();
    // The event thread feeds the queues and the pool: end it while they live.
    stop_client_event_thread();
    event_client_close();
    delete m_thread_send;
    delete m_thread_receive;
    delete m_thread_reconn;
    m_thread_send = m_thread_receive = m_thread_reconn = nullptr;
    clear_data();
}

bool socket_cache_client::start_workers(std::string const& server_ip, unsigned short server_port,
                                        std::string const* local_ip, unsigned short local_port) {
    const char* failed = !m_thread_receive->start() ? "receive" : !m_thread_send->start() ? "send" : nullptr;
    if (!failed) return true;
    char text[log_text_len];
    if (local_ip)
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text),
                                    "start %s thread error, server ip:%s, server port:%d, local ip:%s, local port:%d",
                                    failed, server_ip.c_str(), static_cast<int>(server_port), local_ip->c_str(),
                                    static_cast<int>(local_port));
    else
        MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "start %s thread error, server ip:%s, server port:%d", failed,
                                    server_ip.c_str(), static_cast<int>(server_port));
    log_msg(text);
    return false;
}

bool socket_cache_client::sock_init(std::string const& server_ip, unsigned short server_port,
                                    socket_event_callback callback, void* caller, bool async_send) {
    return open_connection(server_ip, server_port, nullptr, -1, callback, caller, async_send);
}

bool socket_cache_client::sock_init(std::string const& server_ip, unsigned short server_port,
                                    std::string const& local_ip, unsigned short local_port,
                                    socket_event_callback callback, void* caller, bool async_send) {
    return open_connection(server_ip, server_port, &local_ip, local_port, callback, caller, async_send);
}

// Both forms: workers first, then the kept addresses and the base's connect
// (bound locally when local_ip is given), then the reconnect worker whatever
// the outcome.
bool socket_cache_client::open_connection(std::string const& server_ip, unsigned short server_port,
                                          std::string const* local_ip, int local_port,
                                          socket_event_callback callback, void* caller, bool async_send) {
    if (!callback) return false;
    if (!start_workers(server_ip, server_port, local_ip, static_cast<unsigned short>(local_port))) return false;
    bool ok;
    {
        mutex_locker guard(m_conn_lock);
        m_caller.store(caller);
        m_callback.store(callback);
        m_async_send_flag.store(async_send);
        m_server_ip = server_ip;
        m_server_port = server_port;
        m_local_ip = local_ip ? *local_ip : std::string();
        m_local_port = local_ip ? local_port : -1;
        ok = local_ip ? socket_client::sock_init(server_ip, server_port, *local_ip,
                                                 static_cast<unsigned short>(local_port),
                                                 &socket_cache_client::cache_callback, this)
                      : socket_client::sock_init(server_ip, server_port, &socket_cache_client::cache_callback, this);
    }
    m_thread_reconn->start();
    return ok;
}

void socket_cache_client::set_auto_reconn_falg(bool on, int interval_sec) {
    m_auto_reconn_flag.store(on);
    int64_t wait = static_cast<int64_t>(interval_sec < 1 ? 1 : interval_sec) * micro_sec_per_sec;
    // Intervals beyond what the wait can hold (about 35 minutes) are capped.
    if (wait > INT_MAX) wait = INT_MAX;
    m_thread_reconn->set_thread_wait_micro_sec(static_cast<int>(wait));
}

int socket_cache_client::sock_send(char const* data, int len) {
    if (!m_async_send_flag.load()) return socket_client::sock_send(data, len);
    if (len < 0 || (!data && len > 0)) return -1;
    // An empty buffer would sit at the front of the queue for ever.
    if (len == 0) return 0;
    stream_buffer* buf = m_data_pool.new_data();
    if (!buf) return -1;
    buf->clear();
    if (!buf->push_data(data, static_cast<size_t>(len))) {
        m_data_pool.delete_data(buf);
        return -1;
    }
    m_list_send.push_node(buf);
    return len;
}

bool socket_cache_client::sock_close() {
    m_thread_send->stop();
    m_thread_receive->stop();
    m_thread_reconn->stop();
    bool ret = socket_client::sock_close();
    clear_data();
    return ret;
}

void socket_cache_client::clear_data() {
    {
        mutex_locker guard(m_send_lock);
        while (!m_list_send.empty()) {
            stream_buffer* buf = m_list_send.get_front_node();
            m_list_send.pop_front_node();
            m_data_pool.delete_data(buf);
        }
        ++m_send_clear_count;
    }
    m_hold_buf.lock_stream();
    while (!m_list_recv.empty()) {
        stream_buffer* buf = m_list_recv.get_front_node();
        m_list_recv.pop_front_node();
        m_data_pool.delete_data(buf);
        m_recv_pending.fetch_sub(1);
    }
    m_hold_buf.clear();
    ++m_recv_clear_count;
    m_hold_buf.unlock_stream();
}

void socket_cache_client::report_buff_full(const char* data, size_t len) {
    socket_event_callback callback = m_callback.load();
    if (!callback) return;
    char const* holder = data;
    socket_param param(EVENT_RECEIVE_BUFF_FULL, 0, &holder, static_cast<uint32_t>(len));
    callback(param, m_caller.load());
}

int socket_cache_client::cache_callback(socket_param& param, void* context) {
    return static_cast<socket_cache_client*>(context)->on_cache_callback(param);
}

// Event thread: received bytes are copied into a pool buffer and queued; the
// user sees them on the receive worker.
int socket_cache_client::on_cache_callback(socket_param& param) {
    if (param.get_event_type() == EVENT_RECEIVE) {
        const char* data = param.get_buff_addr();
        size_t len = param.get_buff_size();
        if (!data || len == 0) return 0;
        stream_buffer* buf = m_data_pool.new_data();
        if (buf) {
            buf->clear();
            if (buf->push_data(data, len)) {
                m_recv_pending.fetch_add(1);
                m_list_recv.push_node(buf);
                return 0;
            }
            m_data_pool.delete_data(buf);
        }
        report_buff_full(data, len);
        return 0;
    }
    // The bytes that came before the end of the connection are offered first.
    if (param.get_event_type() == EVENT_REMOTE_DISCONNECT) wait_receive_drained();
    socket_event_callback callback = m_callback.load();
    if (callback) callback(param, m_caller.load());
    return 0;
}

void socket_cache_client::wait_receive_drained() {
    while (m_recv_pending.load() > 0 && m_thread_receive->get_thread_status() == THREAD_RUN &&
           !m_thread_receive->is_same_thread())
        mv_sleep(1);
}

int socket_cache_client::thread_send_proc(void* param) {
    return static_cast<socket_cache_client*>(param)->on_thread_send_proc();
}

int socket_cache_client::thread_receive_proc(void* param) {
    return static_cast<socket_cache_client*>(param)->on_thread_receive_proc();
}

int socket_cache_client::thread_auto_reconn(void* param) {
    return static_cast<socket_cache_client*>(param)->on_thread_auto_reconn();
}

// Hot path: no allocation; buffers come back to the pool.
int socket_cache_client::on_thread_send_proc() {
    for (;;) {
        mutex_locker guard(m_send_lock);
        if (m_list_send.empty()) return 0;
        stream_buffer* buf = m_list_send.get_front_node();
        size_t len = buf->get_data_len();
        if (len == 0) {
            m_list_send.pop_front_node();
            m_data_pool.delete_data(buf);
            continue;
        }
        unsigned clear_count = m_send_clear_count;
        int want = len > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(len);
        int sent = socket_client::sock_send(buf->get_data_ptr(), want);
        if (sent <= 0) return 0;
        // The EVENT_SEND callback may have emptied the queue (clear_data or
        // sock_close on this thread); the buffer is then no longer ours.
        if (clear_count != m_send_clear_count) return 0;
        if (static_cast<size_t>(sent) < len) {
            buf->pop_data(static_cast<size_t>(sent));
            continue;
        }
        m_list_send.pop_front_node();
        m_data_pool.delete_data(buf);
    }
}

// Hot path: no allocation once the cache has grown to the largest backlog.
int socket_cache_client::on_thread_receive_proc() {
    while (!m_list_recv.empty()) {
        m_hold_buf.lock_stream();
        if (m_list_recv.empty()) {
            m_hold_buf.unlock_stream();
            break;
        }
        stream_buffer* chunk = m_list_recv.get_front_node();
        m_list_recv.pop_front_node();
        bool kept = m_hold_buf.push_data(chunk->get_data_ptr(), chunk->get_data_len());
        m_hold_buf.unlock_stream();
        if (!kept) report_buff_full(chunk->get_data_ptr(), chunk->get_data_len());
        m_data_pool.delete_data(chunk);
        offer_cache();
        m_recv_pending.fetch_sub(1);
    }
    return 0;
}

void socket_cache_client::offer_cache() {
    for (;;) {
        m_hold_buf.lock_stream();
        const char* data = m_hold_buf.get_data_ptr();
        size_t len = m_hold_buf.get_data_len();
        unsigned clear_count = m_recv_clear_count;
        m_hold_buf.unlock_stream();
        socket_event_callback callback = m_callback.load();
        if (len == 0 || !callback) return;
        uint32_t offered = len > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(len);
        socket_param param(EVENT_RECEIVE, 0, &data, offered);
        callback(param, m_caller.load());
        uint32_t used = param.get_proc_len();
        if (used == 0) return;
        // Taking more than was offered is the callback's fault: drop what was offered.
        if (used > offered) used = offered;
        m_hold_buf.lock_stream();
        bool cleared = clear_count != m_recv_clear_count;
        if (!cleared) m_hold_buf.pop_data(used);
        m_hold_buf.unlock_stream();
        if (cleared) return;
    }
}

int socket_cache_client::on_thread_auto_reconn() {
    if (!m_auto_reconn_flag.load() || is_connected()) return 0;
    mutex_locker guard(m_conn_lock);
    if (m_server_port < 0 || is_connected()) return 0;
    // What the old connection delivered is offered before the rest is dropped.
    wait_receive_drained();
    clear_data();
    if (!m_local_ip.empty() && m_local_port != -1)
        socket_client::sock_init(m_server_ip, static_cast<unsigned short>(m_server_port), m_local_ip,
                                 static_cast<unsigned short>(m_local_port), &socket_cache_client::cache_callback,
                                 this);
    else
        socket_client::sock_init(m_server_ip, static_cast<unsigned short>(m_server_port),
                                 &socket_cache_client::cache_callback, this);
    return 0;
}

// tcp_client_stream: socket events, the send and proc threads, the blocking
// and the queued send.
//
// Threads: the socket's event thread runs on_event (connect, disconnect and
// the queuing of received blocks); "proc" hands the bytes to the receiver;
// "send" drains the queued sends; send() and disconn_client() run on the
// caller's thread (a local disconnect is then reported there).
#include "report/coll_rptr/tcp_client_stream.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <climits>
#include <cstdio>

#include "tools/cross_platform_api.h"

namespace {

long long seconds_now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The socket's send takes an int count.
int send_count(size_t n) { return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

}  // namespace

tcp_client_stream::tcp_client_stream(const char* node_name)
    : m_pTcpCltProc(nullptr),
      m_sNodeName(node_name ? node_name : ""),
      m_nPort(0),
      m_sendThreadName("send"),
      m_procThreadName("proc"),
      m_dataPool(DATA_POOL_DEPTH),
      m_procBuf(PROC_BUFFER_LEN),
      m_connSt(0),
      m_nSendPackage(0),
      m_nSendBytes(0),
      m_nRecvPackage(0),
      m_nRecvBytes(0),
      m_nSecTimeOut(99999999999L),
      m_nLastProcTime(seconds_now()),
      m_nLogFlag(0) {}

tcp_client_stream::~tcp_client_stream() {
    // The receiver may be half destroyed already; it hears nothing more.
    m_pTcpCltProc.store(nullptr);
    disconn_client();
    disconnect_clean_up();
}

void tcp_client_stream::write_diag(const char* text) {
    printf("%s \n", text);
    fflush(stdout);
}

bool tcp_client_stream::start_conn_server(const char* ip, int port) {
    return start_connection(ip, port, false, nullptr, 0);
}

bool tcp_client_stream::start_conn_server(const char* ip, int port, const char* local_ip, int local_port) {
    return start_connection(ip, port, true, local_ip, local_port);
}

bool tcp_client_stream::start_connection(const char* ip, int port, bool bind_local, const char* local_ip,
                                         int local_port) {
    disconn_client();
    // A port is 16 bits: a larger number is refused, never cut.
    if (!ip || port < 1 || port > 65535) return false;
    if (bind_local && (!local_ip || local_port < 0 || local_port > 65535)) return false;
    m_tcpClient.sock_set_context(this);
    m_nLastProcTime.store(seconds_now());
    bool started = bind_local ? m_tcpClient.sock_init(ip, static_cast<unsigned short>(port), local_ip,
                                                      static_cast<unsigned short>(local_port),
                                                      &tcp_client_stream::on_socket_event, this)
                              : m_tcpClient.sock_init(ip, static_cast<unsigned short>(port),
                                                      &tcp_client_stream::on_socket_event, this);
    if (!started) return false;
    m_sIp = ip;
    m_nPort = port;
    std::lock_guard<std::mutex> guard(m_worker_lock);
    if (!is_running()) {
        // Workers that were told to stop must be gone before new ones start,
        // or they would see the running flag again and keep going.
        wait_stop();
        morvast_thread::start(m_sendThreadName.c_str());
        morvast_thread::start(m_procThreadName.c_str());
    }
    return true;
}

bool tcp_client_stream::disconn_client() {
    m_connSt.store(0);
    m_tcpClient.sock_close();
    return true;
}

bool tcp_client_stream::on_start() {
    if (m_sNodeName.empty()) {
        write_diag("not set sock_svr node name");
        return false;
    }
    return true;
}

void tcp_client_stream::on_stop() {
    m_connSt.store(0);
    disconn_client();
}

uint32_t tcp_client_stream::send(uint64_t, const char* data, uint32_t length) {
    if (m_connSt.load() != 1 || !data) return 0;
    uint32_t sent = 0;
    while (sent < length && m_connSt.load() == 1) {
        int n = m_tcpClient.sock_send(data + sent, send_count(length - sent));
        if (n <= 0) {
            sched_yield();
            continue;
        }
        sent += static_cast<uint32_t>(n);
        m_nSendPackage.fetch_add(1);
        m_nSendBytes.fetch_add(static_cast<uint64_t>(n));
    }
    return sent;
}

uint32_t tcp_client_stream::async_send(uint64_t, const char* data, uint32_t length) {
    if (m_connSt.load() != 1 || !data) return 0;
    my_stream_buffer* block = m_dataPool.new_data();
    if (!block) return 0;
    if (!block->reset_data(data, length)) {
        m_dataPool.delete_data(block);
        return 0;
    }
    m_listSend.push_node(block);
    m_eventSend.set_event();
    return length;
}

server_info tcp_client_stream::get_server_info() {
    server_info info;
    MORVAST::TOOLS::strncpy_mv(info.ip, sizeof(info.ip), m_sIp.c_str());
    info.port = m_nPort;
    return info;
}

const char* tcp_client_stream::get_version() {
    // Formatted once for the life of the process.
    static const struct version_text {
        char text[1024];
        version_text() { MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "\tCompDate: %s   Svn Revision: %s", "", ""); }
    } version;
    return version.text;
}

std::string tcp_client_stream::get_sock_name() {
    unsigned char ip[4];
    if (!m_tcpClient.get_local_ip(ip)) return std::string();
    char text[16];
    MORVAST::TOOLS::snprintf_mv(text, sizeof(text), "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    return text;
}

int tcp_client_stream::on_socket_event(socket_param& param, void* context) {
    static_cast<tcp_client_stream*>(context)->on_event(param);
    return 0;
}

void tcp_client_stream::on_event(socket_param& param) {
    i_proc_tcp_client* proc = m_pTcpCltProc.load();
    const char* name = m_sNodeName.c_str();
    switch (param.get_event_type()) {
    case EVENT_CONNECT:
        m_connSt.store(1);
        if (proc) proc->on_tcp_client_connected(name);
        break;
    case EVENT_REMOTE_DISCONNECT:
        m_connSt.store(0);
        if (proc) proc->on_tcp_client_remote_disconnected(name);
        disconnect_clean_up();
        break;
    case EVENT_LOCALE_DISCONNECT:
        m_connSt.store(0);
        if (proc) proc->on_tcp_client_local_disconnected(name);
        disconnect_clean_up();
        break;
    case EVENT_NETWORK_ERROR:
        m_connSt.store(0);
        if (proc) proc->on_tcp_client_net_error_disconnected(name);
        disconnect_clean_up();
        break;
    case EVENT_RECEIVE: {
        const char* data = param.get_buff_addr();
        uint32_t len = param.get_buff_size();
        if (!data || len == 0) break;
        my_stream_buffer* block = m_dataPool.new_data();
        if (!block) break;
        if (!block->reset_data(data, len)) {
            m_dataPool.delete_data(block);
            break;
        }
        m_listRecv.push_node(block);
        m_nRecvPackage.fetch_add(1);
        m_nRecvBytes.fetch_add(len);
        m_eventProc.set_event();
        break;
    }
    default:
        break;
    }
}

void tcp_client_stream::stop_workers() {
    pthread_t self = pthread_self();
    MORVAST::THREAD::mv_thread_id send_id = get_thread_id(m_sendThreadName.c_str());
    MORVAST::THREAD::mv_thread_id proc_id = get_thread_id(m_procThreadName.c_str());
    if ((send_id != 0 && pthread_equal(self, send_id)) || (proc_id != 0 && pthread_equal(self, proc_id))) {
        // A worker cannot wait for itself to end.
        set_stop_flag();
        return;
    }
    wait_stop();
}

void tcp_client_stream::release_queue(MORVAST::TOOLS::data_queue<my_stream_buffer*>& queue) {
    while (!queue.empty()) {
        my_stream_buffer* block = queue.get_front_node();
        queue.pop_front_node();
        m_dataPool.delete_data(block);
    }
}

void tcp_client_stream::disconnect_clean_up() {
    std::lock_guard<std::mutex> guard(m_worker_lock);
    stop_workers();
    release_queue(m_listSend);
    release_queue(m_listRecv);
    m_procBuf.clear();
}

void tcp_client_stream::run(const char* thread_name) {
    if (m_sendThreadName == thread_name) {
        while (is_running()) {
            int wait_result = 0;
            m_eventSend.wait_single_object(THREAD_WAKE_MS, wait_result);
            serve_send_queue();
        }
    } else if (m_procThreadName == thread_name) {
        while (is_running()) {
            int wait_result = 0;
            m_eventProc.wait_single_object(THREAD_WAKE_MS, wait_result);
            serve_recv_queue();
            check_idle_timeout();
        }
    } else {
        write_diag("unknow socker_svr_client thread.");
    }
}

void tcp_client_stream::serve_send_queue() {
    while (is_running() && m_connSt.load() == 1 && !m_listSend.empty()) {
        my_stream_buffer* block = m_listSend.get_front_node();
        int n = m_tcpClient.sock_send(block->get_data_ptr(), send_count(block->get_data_len()));
        if (n < 1) return;  // the block stays for the next wake
        m_nSendPackage.fetch_add(1);
        m_nSendBytes.fetch_add(static_cast<uint64_t>(n));
        block->pop_data(static_cast<size_t>(n));
        if (block->get_data_len() == 0) {
            m_listSend.pop_front_node();
            m_dataPool.delete_data(block);
        }
    }
}

void tcp_client_stream::serve_recv_queue() {
    i_proc_tcp_client* proc = m_pTcpCltProc.load();
    if (!proc) return;
    while (is_running() && !m_listRecv.empty()) {
        my_stream_buffer* block = m_listRecv.get_front_node();
        m_procBuf.push_data(block->get_data_ptr(), block->get_data_len());
        m_listRecv.pop_front_node();
        m_dataPool.delete_data(block);
        while (is_running()) {
            size_t buffered = m_procBuf.get_data_len();
            uint32_t offered = buffered > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(buffered);
            uint32_t used = proc->on_tcp_client_data_recv(m_sNodeName.c_str(), 0, m_procBuf.get_data_ptr(), offered);
            m_nLastProcTime.store(seconds_now());
            if (used == 0) break;  // the bytes wait for more data
            // A receiver that claims more than it was offered drops only
            // what is buffered.
            m_procBuf.pop_data(used < offered ? used : offered);
            if (m_procBuf.get_data_len() == 0) break;
        }
    }
}

void tcp_client_stream::check_idle_timeout() {
    i_proc_tcp_client* proc = m_pTcpCltProc.load();
    long timeout = m_nSecTimeOut.load();
    if (!proc || timeout == 0) return;
    long long now = seconds_now();
    if (now - m_nLastProcTime.load() > timeout) {
        proc->on_tcp_client_idle_timeout(m_sNodeName.c_str());
        m_nLastProcTime.store(now);
    }
}

// tcp_client_impl: connect and the version check on the caller's thread;
// the reader and the connection handlers on the transport's threads. The
// flags the two sides share are atomics.
#include "report/coll_rptr/tcp_client_impl.h"

#include <chrono>
#include <cstring>
#include <thread>

using namespace HUX_COLL_WIRE;

namespace {

// Polls cond every millisecond until it holds or more than wait_ms have
// passed; returns the last value of cond.
template <class COND>
bool poll_until(COND cond, int wait_ms) {
    auto start = std::chrono::steady_clock::now();
    while (!cond()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(wait_ms)) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

tcp_client_impl::tcp_client_impl(const char* node_name, const server_info& server)
    : m_node_name(node_name ? node_name : ""),
      m_server_ip(server.ip, strnlen(server.ip, sizeof(server.ip))),
      m_server_port(server.port),
      m_tcp_client(m_node_name.c_str()),
      m_is_connect(false),
      m_check_version_result(false),
      m_check_version_success(false),
      m_use_test_key(false),
      m_client(nullptr),
      m_on_connected(nullptr),
      m_on_disconnected(nullptr),
      m_on_report(nullptr),
      m_connect_wait_ms(DEFAULT_CONNECT_WAIT_MS),
      m_version_wait_ms(DEFAULT_VERSION_WAIT_MS) {}

tcp_client_impl::~tcp_client_impl() {
    m_tcp_client.tcp_client_set_proc_handle(nullptr);
    m_tcp_client.disconn_client();
}

bool tcp_client_impl::init(const char* local_ip) {
    m_tcp_client.tcp_client_set_proc_handle(this);
    m_local_ip = local_ip ? local_ip : "";
    return true;
}

void tcp_client_impl::set_callbacks(void* owner, connected_callback on_connected,
                                    disconnected_callback on_disconnected, report_callback on_report) {
    m_client.store(owner);
    m_on_connected.store(on_connected);
    m_on_disconnected.store(on_disconnected);
    m_on_report.store(on_report);
}

bool tcp_client_impl::connect() {
    m_is_connect.store(false);
    bool started = m_local_ip.empty()
                       ? m_tcp_client.start_conn_server(m_server_ip.c_str(), m_server_port)
                       : m_tcp_client.start_conn_server(m_server_ip.c_str(), m_server_port, m_local_ip.c_str(), 0);
    if (!started) return false;
    return poll_until([this] { return m_is_connect.load(); }, m_connect_wait_ms.load());
}

uint32_t tcp_client_impl::send_msg(uint64_t sequence, const char* data, uint32_t length) {
    return m_tcp_client.send(sequence, data, length);
}

void tcp_client_impl::disconnect() {
    m_is_connect.store(false);
    m_tcp_client.disconn_client();
}

bool tcp_client_impl::check_version(int version) {
    m_check_version_result.store(false);
    m_check_version_success.store(false);
    client_check_version_msg msg;
    memset(&msg, 0, sizeof(msg));
    msg.m_msg_type = MSG_CHECK_VERSION;
    msg.version = static_cast<uint32_t>(version);
    send_msg(0, reinterpret_cast<const char*>(&msg), sizeof(msg));
    poll_until([this] { return m_check_version_result.load(); }, m_version_wait_ms.load());
    return m_check_version_result.load() && m_check_version_success.load();
}

void tcp_client_impl::on_tcp_client_connected(const char*) {
    m_is_connect.store(true);
    connected_callback callback = m_on_connected.load();
    if (callback) callback(m_client.load());
}

void tcp_client_impl::on_disconnected() {
    m_is_connect.store(false);
    disconnected_callback callback = m_on_disconnected.load();
    if (callback) callback(m_client.load());
}

void tcp_client_impl::on_tcp_client_remote_disconnected(const char*) { on_disconnected(); }

void tcp_client_impl::on_tcp_client_local_disconnected(const char*) { on_disconnected(); }

void tcp_client_impl::on_tcp_client_net_error_disconnected(const char*) { on_disconnected(); }

uint32_t tcp_client_impl::on_tcp_client_data_recv(const char*, uint64_t, const char* data, uint32_t length) {
    if (!data || length == 0) return 0;
    uint8_t type = static_cast<uint8_t>(data[0]);
    if (type == MSG_CHECK_VERSION_REPORT && length >= sizeof(client_check_version_msg_report)) {
        client_check_version_msg_report reply;
        memcpy(&reply, data, sizeof(reply));
        m_check_version_success.store(reply.m_result == 0);
        m_use_test_key.store(reply.m_use_test_key != 0);
        // Published last: the waiter reads the two flags once it sees this.
        m_check_version_result.store(true);
        return sizeof(reply);
    }
    if (type == MSG_COLLECT_INFO_REPORT && length >= sizeof(collect_info_msg_report)) {
        collect_info_msg_report report;
        memcpy(&report, data, sizeof(report));
        if (report.m_report_result == 1) {
            report.m_report_result = 102;
        } else if (report.m_report_result == 2) {
            report.m_report_result = 103;
        }
        report_callback callback = m_on_report.load();
        if (callback) callback(m_client.load(), report);
        return sizeof(report);
    }
    // An incomplete reply or verdict waits for the rest; any other type is
    // not read, and the bytes behind it are never reached on this connection.
    return 0;
}

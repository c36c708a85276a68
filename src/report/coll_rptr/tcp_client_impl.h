// tcp_client_impl: the collection client's end of the connection. It owns
// the stream transport, writes the version check and reads the server's two
// messages (the version reply 'b' and the verdict 'd'), handing each verdict
// and the connection's coming and going to its owner through three
// callbacks. The transport's threads call the receiver operations; connect
// and check_version block the caller.
#ifndef HUX_COLL_TCP_CLIENT_IMPL_H
#define HUX_COLL_TCP_CLIENT_IMPL_H

#include <atomic>
#include <cstdint>
#include <string>

#include "report/coll_rptr/coll_msg.h"
#include "report/coll_rptr/coll_rptr_struct.h"
#include "report/coll_rptr/i_tcp_client.h"
#include "report/coll_rptr/tcp_client_stream.h"

class tcp_client_impl : public i_proc_tcp_client {
public:
    typedef void (*connected_callback)(void* owner);
    typedef void (*disconnected_callback)(void* owner);
    typedef void (*report_callback)(void* owner, HUX_COLL_WIRE::collect_info_msg_report& report);

    // How long connect waits for the connection and check_version for the
    // server's reply, in milliseconds.
    static const int DEFAULT_CONNECT_WAIT_MS = 3000;
    static const int DEFAULT_VERSION_WAIT_MS = 3000;

    tcp_client_impl(const char* node_name, const server_info& server);
    // Closes the connection; no callback runs afterwards.
    ~tcp_client_impl() override;
    tcp_client_impl(const tcp_client_impl&) = delete;
    tcp_client_impl& operator=(const tcp_client_impl&) = delete;

    // Becomes the transport's receiver and keeps the local address to
    // connect from (empty: any). True.
    bool init(const char* local_ip);
    void set_callbacks(void* owner, connected_callback on_connected, disconnected_callback on_disconnected,
                       report_callback on_report);
    void set_connect_wait_ms(int ms) { m_connect_wait_ms.store(ms); }
    void set_version_wait_ms(int ms) { m_version_wait_ms.store(ms); }

    // Starts the transport toward the server and waits until the connection
    // is up or the connect wait has passed; true when connected.
    bool connect();
    // The transport's blocking send; the bytes sent.
    uint32_t send_msg(uint64_t sequence, const char* data, uint32_t length);
    void disconnect();
    std::string get_sock_name() { return m_tcp_client.get_sock_name(); }
    // 1 connected, 0 not.
    int get_tcp_status() { return m_tcp_client.get_conn_status(); }
    bool is_use_test_key() { return m_use_test_key.load(); }
    // Sends the version check and waits for the reply; true when the server
    // accepted the version within the wait.
    bool check_version(int version);

    void on_tcp_client_connected(const char* name) override;
    void on_tcp_client_remote_disconnected(const char* name) override;
    void on_tcp_client_local_disconnected(const char* name) override;
    void on_tcp_client_net_error_disconnected(const char* name) override;
    // Reads one message from the front of the buffered bytes: a version
    // reply (8 bytes) or a verdict (96 bytes); 0 while the message is
    // incomplete or of a type the client does not read.
    uint32_t on_tcp_client_data_recv(const char* name, uint64_t sequence, const char* data,
                                     uint32_t length) override;
    void on_tcp_client_data_sent(const char*, uint64_t, const char*, uint32_t) override {}
    void on_tcp_client_idle_timeout(const char*) override {}

private:
    void on_disconnected();

    std::string m_node_name;
    std::string m_server_ip;
    std::string m_local_ip;
    int m_server_port;
    tcp_client_stream m_tcp_client;
    std::atomic<bool> m_is_connect;
    std::atomic<bool> m_check_version_result;
    std::atomic<bool> m_check_version_success;
    std::atomic<bool> m_use_test_key;
    std::atomic<void*> m_client;
    std::atomic<connected_callback> m_on_connected;
    std::atomic<disconnected_callback> m_on_disconnected;
    std::atomic<report_callback> m_on_report;
    std::atomic<int> m_connect_wait_ms;
    std::atomic<int> m_version_wait_ms;
};

#endif

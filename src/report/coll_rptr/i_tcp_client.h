// The two sides of the collection client's transport: i_tcp_client is the
// transport a protocol client drives, i_proc_tcp_client the receiver the
// transport calls back with connection events and received bytes.
#ifndef HUX_COLL_I_TCP_CLIENT_H
#define HUX_COLL_I_TCP_CLIENT_H

#include <cstdint>

#include "report/coll_rptr/coll_rptr_struct.h"

class i_tcp_client {
public:
    virtual ~i_tcp_client() {}
    virtual void set_comm_log(int flag) = 0;
    virtual bool start_conn_server(const char* ip, int port) = 0;
    virtual int get_conn_status() = 0;
    virtual bool on_start() = 0;
    virtual void on_stop() = 0;
    virtual uint64_t get_send_package() = 0;
    virtual uint64_t get_send_bytes() = 0;
    virtual uint64_t get_recv_package() = 0;
    virtual uint64_t get_recv_bytes() = 0;
    virtual bool disconn_client() = 0;
    virtual uint32_t send(uint64_t sequence, const char* data, uint32_t length) = 0;
    virtual uint32_t async_send(uint64_t sequence, const char* data, uint32_t length) = 0;
    virtual server_info get_server_info() = 0;
    virtual const char* get_version() = 0;
    virtual void set_recv_time_out(long seconds) = 0;
};

class i_proc_tcp_client {
public:
    virtual ~i_proc_tcp_client() {}
    virtual void on_tcp_client_connected(const char* name) = 0;
    virtual void on_tcp_client_remote_disconnected(const char* name) = 0;
    virtual void on_tcp_client_local_disconnected(const char* name) = 0;
    virtual void on_tcp_client_net_error_disconnected(const char* name) = 0;
    // Called with every byte received and not yet consumed; returns how many
    // of them, from the front, it consumed (0: wait for more).
    virtual uint32_t on_tcp_client_data_recv(const char* name, uint64_t sequence, const char* data,
                                             uint32_t length) = 0;
    virtual void on_tcp_client_data_sent(const char* name, uint64_t sequence, const char* data,
                                         uint32_t length) = 0;
    virtual void on_tcp_client_idle_timeout(const char* name) = 0;
};

#endif

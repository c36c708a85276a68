#pragma once

// The boundary between a trade session and the TCPDirect plug-in
// (libdirectsock.so): both sides build against these declarations. The
// plug-in exports exactly two functions with unmangled names; the session
// finds them with dlsym and speaks to the object only through its virtual
// slots, whose order is the binary interface.

// What the session hears from the plug-in. Raised on the plug-in's work
// thread, except on_zf_tcp_connect, which runs inside zf_clt_init.
class i_zf_tcp_client_sock_event {
public:
    virtual ~i_zf_tcp_client_sock_event() {}
    // Received bytes offered from the front: returns how many it consumed
    // (0: keep them and offer them again with the next bytes; negative: an
    // internal error, the connection is given up).
    virtual int on_zf_tcp_recv_msg(char* data, int len) = 0;
    virtual void on_zf_tcp_connect() = 0;
    virtual void on_zf_tcp_disconnect() = 0;
};

// One TCP connection over a TCPDirect stack, with its busy work thread.
class i_zf_tcp_client_sock {
public:
    virtual ~i_zf_tcp_client_sock() {}
    // Server address, server port, interface name, CPU of the work thread
    // (negative: not pinned), event sink, first time (false: reuse the stack
    // an earlier first-time call made and sock_close_ex kept).
    virtual bool zf_clt_init(char const* server_ip, int server_port, char const* dev, int cpu,
                             i_zf_tcp_client_sock_event* sink, bool first_time) = 0;
    // Sends all n bytes: n, the bytes sent so far when the stack is full, or
    // a result of 0 or less unchanged; -1 for no data, no bytes or no
    // connection.
    virtual int sock_send(char const* data, unsigned int n) = 0;
    // Full release of connection and stack.
    virtual bool sock_close() = 0;
    // Releases the connection, keeps the stack for zf_clt_init(..., false).
    virtual bool sock_close_ex() = 0;
    virtual void zf_stop() = 0;
    virtual bool is_connected() = 0;
};

// The two exports of the plug-in, and their types as the loader finds them.
extern "C" {
typedef i_zf_tcp_client_sock* (*create_zf_client_sock_fn)();
typedef void (*destroy_zf_client_sock_fn)(i_zf_tcp_client_sock*);
__attribute__((visibility("default"))) i_zf_tcp_client_sock* CreateZFClientSock();
__attribute__((visibility("default"))) void DestroyZFClientSock(i_zf_tcp_client_sock* sock);
}

// The socket library's TCP client: connects (optionally from a bound local
// address), switches the socket to non-blocking and runs one detached epoll
// thread (on Windows a select loop) that reports connect, receive and
// disconnect to one callback with socket_param records. Sends go straight to
// the socket from the caller's thread and are reported as EVENT_SEND; a full
// socket buffer makes a send return 0, never block. Texts go to a pluggable
// log sink. socket_cache_client builds its receive cache and workers on this
// class.
#ifndef API_MORVAST_SOCK_LINUX_SOCKET_CLIENT_H
#define API_MORVAST_SOCK_LINUX_SOCKET_CLIENT_H

#ifdef _WIN32
#include <winsock2.h>
#else
#include <pthread.h>
#include <sys/epoll.h>
#endif

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/socket_handle.h"
#include "net/socket_param.h"
#ifdef _WIN32
#include "net/windows/sckt_select_set.h"
#endif

#ifndef _WIN32
// The epoll events the client waits for: no EPOLLOUT, no EPOLLRDHUP.
const uint32_t socket_client_epoll_mask = EPOLLIN | EPOLLERR | EPOLLHUP;
static_assert(socket_client_epoll_mask == 25, "the client waits for events 25");
#endif

// Failed epoll waits by kind, for the life of the client.
struct epoll_error {
    epoll_error()
        : m_wait_error_EBADF(0), m_wait_error_EFAULT(0), m_wait_error_EINTR(0), m_wait_error_EINVAL(0),
          m_wait_error_UNDEF(0) {}
    int32_t m_wait_error_EBADF;
    int32_t m_wait_error_EFAULT;
    int32_t m_wait_error_EINTR;
    int32_t m_wait_error_EINVAL;
    int32_t m_wait_error_UNDEF;
};

// Log sink a user of the client may plug in; the client writes its texts
// through on_socket_write_info_msg.
class socket_context {
public:
    virtual ~socket_context() {}
    virtual void on_socket_write_info_msg(char const* msg, int len) = 0;
    virtual void on_socket_write_error_msg(char const* msg, int len) = 0;
    virtual void on_socket_write_bin_msg(char const* msg, int len) = 0;
};

class socket_client {
public:
    // Size of the read buffer every read reuses.
    static const int read_buffer_len = 8192;
    // Default limit of the 1 ms polls that wait for the event thread to end.
    static const int default_stop_poll_limit = 5000;
#ifdef _WIN32
    // The select loop's wait on each pass, in microseconds.
    static const long select_wait_us = 50;
#endif

    // On Windows it also takes the socket library's Winsock reference.
    socket_client();
    // Ends a running event thread and closes the socket, without reporting.
    // On Windows it then releases the Winsock reference.
    virtual ~socket_client();

    socket_client(const socket_client&) = delete;
    socket_client& operator=(const socket_client&) = delete;

    virtual bool is_connected() { return m_connected.load(); }
    // Closes the epoll descriptor and the socket; each is closed once.
    virtual bool event_client_close();
    virtual bool event_client_error();
    // Sets connected and reports EVENT_CONNECT.
    virtual bool event_client_connect();
    // Clears connected; reports EVENT_LOCALE_DISCONNECT when local, else
    // EVENT_REMOTE_DISCONNECT.
    virtual bool event_client_disconnect(bool local);
    // One read; false when the connection is over.
    virtual bool event_client_receive();
    // Re-arms the socket (Linux) and reports EVENT_SEND without data.
    virtual bool event_client_send();

    // No effect on Windows, whose select wait is fixed.
    void set_epoll_max_wait_time(int milli_sec) { m_max_wait_time.store(milli_sec); }
    void sock_set_context(socket_context* context) { m_context.store(context); }
    mv_socket get_sock() const { return m_socket.load(); }
    // How many 1 ms polls sock_close waits for the event thread before it
    // cancels the thread; a value below 1 counts as 1. No effect on Windows,
    // which cannot cancel a thread: there a stop waits for the thread to end.
    void set_stop_poll_limit(int polls) { m_stop_poll_limit.store(polls < 1 ? 1 : polls); }

    // Connects to the server and starts the event thread. False on a null
    // callback, an address that does not parse, or any failed step; the
    // client is then closed and not connected.
    bool sock_init(std::string const& server_ip, unsigned short server_port, socket_event_callback callback,
                   void* caller);
    // The same, bound to the local address and port first.
    bool sock_init(std::string const& server_ip, unsigned short server_port, std::string const& local_ip,
                   unsigned short local_port, socket_event_callback callback, void* caller);
    // Stops the event thread; when the client was connected, reports
    // EVENT_LOCALE_DISCONNECT on the calling thread. Always true.
    bool sock_close();
    // One non-blocking send: the count sent (reported as EVENT_SEND), 0 when
    // the socket buffer is full, -1 without a socket or on error.
    int sock_send(char const* data, int len);

    // The socket's local IPv4 address, 4 bytes in network order.
    bool get_local_ip(unsigned char* ip);
    // The MAC of the adapter that owns the socket's local address.
    bool get_local_mac(unsigned char* mac);
    // To the log sink, or to standard output unchanged.
    void log_msg(char const* msg);

protected:
    bool report_user(SOCKET_EVENT event, int id, char const* data, unsigned len, int sock);
    // Handles the events of one wait; false ends the event thread.
#ifdef _WIN32
    // Every record is handled, up to the one that ended the connection.
    bool proc_event(sckt_select_event* events, int count);
#else
    bool proc_event(struct epoll_event* events, int count);
#endif
    // Counts a failed wait; the first of each kind is logged.
    void proc_thread_error(int error_code);
    bool start_client_event_thread();
    bool stop_client_event_thread();
    static void* event_client_thread(void* param);
    void on_event_client_thread();

    const epoll_error& error_statistic() const { return m_error_statistic; }

private:
    bool connect_server(std::string const& server_ip, unsigned short server_port, bool bind_local,
                        std::string const& local_ip, unsigned short local_port, socket_event_callback callback,
                        void* caller);
    bool set_sock_options(mv_socket sock);
    bool on_event_thread() const;
    void fail_init();

    std::atomic<bool> m_connected;
    std::atomic<void*> m_caller;
    std::atomic<socket_event_callback> m_callback;
    char m_line[read_buffer_len];
    epoll_error m_error_statistic;
    std::atomic<mv_socket> m_socket;
    std::string m_ip;
    uint16_t m_port;
#ifdef _WIN32
    // The sockets the loop waits on (the client's one socket while open);
    // changed and copied only under m_sock_lock.
    sckt_select_set m_select_set;
#else
    std::atomic<int> m_epoll_handle;
    // An eventfd in the epoll set, written by a stop so that the event thread
    // leaves its wait at once.
    std::atomic<int> m_wake_handle;
#endif
    std::atomic<bool> m_thread_quit_flag;
    // Set whenever no event thread runs: from construction on, and by the
    // thread as its last touch of the object.
    std::atomic<bool> m_thread_quit_finish_flag;
#ifdef _WIN32
    // The event thread's Win32 id; 0 (never a thread's id) before it starts.
    std::atomic<unsigned long> m_thread_id;
#else
    std::atomic<pthread_t> m_thread_id;
#endif
    std::atomic<socket_context*> m_context;
    std::atomic<int> m_max_wait_time;
    std::atomic<int> m_stop_poll_limit;
    // Orders sends against the close of the socket; on Windows it guards the
    // select set too.
    std::mutex m_sock_lock;
};

#endif

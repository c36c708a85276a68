// TCP client of the trade session: connects to the server, runs one detached
// event thread per connection (an epoll loop on a non-blocking socket, or a
// plain blocking receive loop; on Windows a select loop on a blocking socket)
// and reports connect, disconnect, send and receive events to one callback.
// Sends are made by the caller's thread.
#ifndef MV_HUX_TRADE_LINUX_SCKT_CLIENT_H
#define MV_HUX_TRADE_LINUX_SCKT_CLIENT_H

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sys/epoll.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/sckt_param.h"
#include "tools/count_scope.h"
#include "net/socket_handle.h"
#ifdef _WIN32
#include "net/windows/sckt_select_set.h"
#endif

namespace CLIENT_SCKT_ONLY {

// Linux: dotted IPv4 address of the named local interface; empty when the
// interface is unknown, has no address, or the name does not fit an
// interface request. Windows: the machine's address, the argument unused (as
// the socket library's get_local_ip, net/linux/net_interface.h), holding this
// library's Winsock reference while it runs.
std::string get_local_ip(std::string if_name);

class sckt_client {
public:
    static const unsigned RECV_BUFF_LEN = 8192;
    static const int DEFAULT_EPOLL_MAX_WAIT_MS = 50;
    static const unsigned DEFAULT_STOP_WAIT_MS = 5000;
#ifdef _WIN32
    // The select loop's wait on each pass.
    static const long SELECT_WAIT_US = 50;
#else
    // Registration right after connecting (0x201D), and once the first
    // writable event has been reported (0x2019, without EPOLLOUT).
    static constexpr uint32_t EPOLL_EVENTS_ALL = EPOLLIN | EPOLLOUT | EPOLLERR | EPOLLHUP | EPOLLRDHUP;
    static constexpr uint32_t EPOLL_EVENTS_NO_OUT = EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP;
#endif

    sckt_client();
    // Stops a thread that is still running (the owner should sock_close first).
    // On Windows, where a thread cannot be cancelled, it then waits for the
    // thread without a limit (unless called on that thread), closes a socket
    // still open and releases the client's Winsock reference.
    virtual ~sckt_client();
    sckt_client(const sckt_client&) = delete;
    sckt_client& operator=(const sckt_client&) = delete;

    virtual bool is_connected();
    virtual bool event_client_close();
    virtual bool event_client_error();
    virtual bool event_client_connect();
    virtual bool event_client_disconnect(bool local);
    virtual bool event_client_receive();
    virtual bool event_client_send();

    // Epoll form (select form on Windows): false when the callback is null,
    // the address does not parse, or socket, connect, epoll or thread set-up
    // fails. Connected is clear after every failure.
    bool sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);
#ifndef _WIN32
    // Blocking receive form, same arguments and failures.
    bool sock_init_ex(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);
#endif

    // Linux: sends the whole range; -1 without a socket, for bad arguments,
    // or when the socket takes nothing of this call; 0 for a length of 0.
    // Windows: -1 without a socket (no event); else one send, reported as
    // EVENT_SEND with the data, the bytes sent as length and send's result
    // (-1 when it failed) as id, and that result returned.
    int sock_send(const char* data, int len);
    // Stops the event thread, which closes the socket as its last act. On the
    // event thread itself it only asks the loop to end and returns at once.
    // False only when the thread still did not end in time (Linux: after
    // being cancelled; Windows, which cannot cancel: after the stop wait).
    bool sock_close();

    bool set_sock_options(const mv_socket& sock);
    bool report_user(SOCKET_EVENT event, int32_t id, const char* data, uint32_t len);
    void log_msg(const std::string& text);
    // Negative values are ignored.
    void set_epoll_max_wait_time(int milliseconds);
    // How long a stop polls for the thread before cancelling it (default
    // 5000 ms); on Windows before giving up.
    void set_stop_wait_time(unsigned milliseconds);

protected:
#ifndef _WIN32
    bool open_socket(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context,
                     bool epoll_form);
#endif
    // Ends a connection whose thread still runs before a new one is made;
    // false when that is impossible (called from its own event thread).
    bool end_previous_connection();
    bool start_client_event_thread();
#ifdef _WIN32
    // Sets the flags, then starts the thread; a failed start clears them
    // and closes the socket.
    bool start_thread();
#else
    bool start_client_event_thread_ex();
    bool start_thread(void* (*body)(void*));
#endif
    bool stop_client_event_thread();
    bool wait_thread_end(unsigned milliseconds);
    // Destructors: ends a running event thread, or waits for one that ended by
    // itself to leave the exit lock, so nothing of the object is used after.
    void retire_event_thread();
    void close_descriptors();
    // A message partly sent must be finished, or the stream would be cut
    // inside it: the send waits for room while the server keeps taking bytes.
    // False once it took nothing for the stop wait: the connection is then
    // shut (nothing more goes out on a stream cut inside a message, and the
    // event thread reports its end) and the send fails.
    bool partial_send_may_wait(mv_socket sock, bool progressed, std::chrono::steady_clock::time_point& last_progress);
#ifdef _WIN32
    static DWORD WINAPI event_client_thread(LPVOID arg);
    void on_event_client_thread();
    // Handles one ready record; false once the connection has ended.
    bool handle_select_event(const sckt_select_event& event);
#else
    // Wakes the event thread out of its wait so that it sees a stop at once:
    // the epoll form through its wake descriptor, the blocking form by
    // shutting the socket's read side (its recv then returns).
    void wake_event_thread();

    static void* event_client_thread(void* arg);
    static void* event_client_thread_ex(void* arg);
    void on_event_client_thread();
    void on_event_client_thread_ex();
#endif
    void report_wait_error(int err, unsigned counts[5]);

    // Runs last on the event thread, also when the thread is cancelled.
    class thread_exit_guard {
    public:
        explicit thread_exit_guard(sckt_client* client);
        ~thread_exit_guard();

    private:
        sckt_client* m_client;
    };

    void* m_context;
    sckt_event_callback m_callback;
    char m_recv_buff[RECV_BUFF_LEN];
    std::atomic<mv_socket> m_sock;
    std::string m_server_ip;
    uint16_t m_server_port;
#ifdef _WIN32
    // The socket registered for the select loop; under m_fd_lock.
    sckt_select_set m_set;
    // Guards the set against the close of the socket.
    std::mutex m_fd_lock;
#else
    std::atomic<int> m_epoll;
    // An eventfd in the epoll set, written by a stop; -1 in the blocking form.
    std::atomic<int> m_wake;
    // Orders the waking of the thread against the close of its descriptors,
    // so a wake never reaches a descriptor number that was reused.
    std::mutex m_fd_lock;
#endif
    // Sends under way. A send counts itself before it loads the socket; the
    // close takes the socket out first and closes it only once no send is
    // under way, so a send never reaches a descriptor number that was closed
    // and handed to another socket. One atomic add and subtract per send.
    std::atomic<int> m_senders{0};
    typedef MORVAST::TOOLS::count_scope send_scope;
    // Closes a socket taken out of m_sock once no send is under way; a send
    // still using it is ended first by a shutdown.
    void close_when_unused(mv_socket sock);
    std::atomic<bool> m_quit;
    std::atomic<bool> m_running;
    std::atomic<bool> m_connected;
    // No effect on Windows (the select wait is fixed).
    std::atomic<int> m_max_wait;
#ifndef _WIN32
    pthread_t m_thread;
#endif
    std::atomic<unsigned> m_stop_wait_ms;
#ifndef _WIN32
    // Result of the last read of the epoll form (bytes, 0 at end of stream,
    // -1 on failure); lets the read-until-empty step know when to stop.
    long m_last_read;
#endif
    // Held by the event thread while it clears the running flag, and by a
    // stopper while it cancels: a thread is never cancelled after it ended.
    // A waiter takes it once the flag is clear, so the thread has left the
    // object before the object goes.
    std::mutex m_exit_lock;
};

}  // namespace CLIENT_SCKT_ONLY

#endif

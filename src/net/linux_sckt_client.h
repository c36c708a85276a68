// TCP client of the trade session: connects to the server, runs one detached
// event thread per connection (an epoll loop on a non-blocking socket, or a
// plain blocking receive loop) and reports connect, disconnect, send and
// receive events to one callback. Sends are made by the caller's thread.
#ifndef MV_HUX_TRADE_LINUX_SCKT_CLIENT_H
#define MV_HUX_TRADE_LINUX_SCKT_CLIENT_H

#include <pthread.h>
#include <sys/epoll.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/sckt_param.h"

namespace CLIENT_SCKT_ONLY {

// Dotted IPv4 address of the named local interface; empty when the interface
// is unknown, has no address, or the name does not fit an interface request.
std::string get_local_ip(std::string if_name);

class sckt_client {
public:
    static const unsigned RECV_BUFF_LEN = 8192;
    static const int DEFAULT_EPOLL_MAX_WAIT_MS = 50;
    static const unsigned DEFAULT_STOP_WAIT_MS = 5000;
    // Registration right after connecting (0x201D), and once the first
    // writable event has been reported (0x2019, without EPOLLOUT).
    static constexpr uint32_t EPOLL_EVENTS_ALL = EPOLLIN | EPOLLOUT | EPOLLERR | EPOLLHUP | EPOLLRDHUP;
    static constexpr uint32_t EPOLL_EVENTS_NO_OUT = EPOLLIN | EPOLLERR | EPOLLHUP | EPOLLRDHUP;

    sckt_client();
    // Stops a thread that is still running (the owner should sock_close first).
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

    // Epoll form: false when the callback is null, the address does not
    // parse, or socket, connect, epoll or thread set-up fails.
    bool sock_init(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);
    // Blocking receive form, same arguments and failures.
    bool sock_init_ex(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context);

    // Sends the whole range; -1 without a socket, for bad arguments, or when
    // the socket takes nothing of this call; 0 for a length of 0.
    int sock_send(const char* data, int len);
    // Stops the event thread, which closes the socket as its last act. On the
    // event thread itself it only asks the loop to end and returns at once.
    // False only when a cancelled thread still did not end in time.
    bool sock_close();

    bool set_sock_options(const int& sock);
    bool report_user(SOCKET_EVENT event, int32_t id, const char* data, uint32_t len);
    void log_msg(const std::string& text);
    // Negative values are ignored.
    void set_epoll_max_wait_time(int milliseconds);
    // How long a stop polls for the thread before cancelling it (default 5000 ms).
    void set_stop_wait_time(unsigned milliseconds);

protected:
    bool open_socket(const char* server_ip, uint16_t port, sckt_event_callback callback, void* context,
                     bool epoll_form);
    // Ends a connection whose thread still runs before a new one is made;
    // false when that is impossible (called from its own event thread).
    bool end_previous_connection();
    bool start_client_event_thread();
    bool start_client_event_thread_ex();
    bool start_thread(void* (*body)(void*));
    bool stop_client_event_thread();
    bool wait_thread_end(unsigned milliseconds);
    // Destructors: ends a running event thread, or waits for one that ended by
    // itself to leave the exit lock, so nothing of the object is used after.
    void retire_event_thread();
    void close_descriptors();
    // Wakes the event thread out of its wait so that it sees a stop at once:
    // the epoll form through its wake descriptor, the blocking form by
    // shutting the socket's read side (its recv then returns).
    void wake_event_thread();

    static void* event_client_thread(void* arg);
    static void* event_client_thread_ex(void* arg);
    void on_event_client_thread();
    void on_event_client_thread_ex();
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
    std::atomic<int> m_sock;
    std::string m_server_ip;
    uint16_t m_server_port;
    std::atomic<int> m_epoll;
    // An eventfd in the epoll set, written by a stop; -1 in the blocking form.
    std::atomic<int> m_wake;
    // Orders the waking of the thread against the close of its descriptors,
    // so a wake never reaches a descriptor number that was reused.
    std::mutex m_fd_lock;
    std::atomic<bool> m_quit;
    std::atomic<bool> m_running;
    std::atomic<bool> m_connected;
    std::atomic<int> m_max_wait;
    pthread_t m_thread;
    std::atomic<unsigned> m_stop_wait_ms;
    // Result of the last read of the epoll form (bytes, 0 at end of stream,
    // -1 on failure); lets the read-until-empty step know when to stop.
    long m_last_read;
    // Held by the event thread while it clears the running flag, and by a
    // stopper while it cancels: a thread is never cancelled after it ended.
    std::mutex m_exit_lock;
};

}  // namespace CLIENT_SCKT_ONLY

#endif

// socket_cache_client: the socket client with a receive cache and three
// workers. The event thread only copies received chunks into a queue; the
// receive worker appends them to the cache and offers the whole cache to the
// user's callback until it takes nothing more (partial messages wait for
// more bytes). With asynchronous sending, sock_send queues a copy and the
// send worker drains the queue in order. The reconnect worker reconnects a
// dropped connection when auto-reconnect is on. A remote disconnect reaches
// the user after the bytes that arrived before it.
#ifndef API_MORVAST_SOCK_SOCKET_CACHE_CLIENT_H
#define API_MORVAST_SOCK_SOCKET_CACHE_CLIENT_H

#include <atomic>
#include <string>

#include "tools/data_pool.h"
#include "tools/data_queue.h"
#include "tools/lock.h"
#include "tools/stream_buffer.h"
#include "net/linux/socket_client.h"
#include "net/thread/morvast_socket_thread.h"

class socket_cache_client : public socket_client {
public:
    // Idle buffers the pool keeps.
    static const int pool_depth = 512;
    // Reconnect interval after construction, in microseconds.
    static const int default_reconn_wait_micro_sec = 5000000;
#ifdef _WIN32
    // Idle wait of the send and receive workers between passes: a pass that
    // finds nothing sleeps 1 ms (a shorter wait would spin on Windows). The
    // Linux workers keep the threads' default of 1 us.
    static const int windows_worker_wait_micro_sec = 1100;
#endif

    explicit socket_cache_client(unsigned cache_size);
    // Stops the workers and the event thread, then drops queued data.
    virtual ~socket_cache_client();

    // Starts the receive and send workers, connects, then starts the
    // reconnect worker whatever the outcome. The connect's result; false
    // also when a worker cannot start or the callback is null.
    bool sock_init(std::string const& server_ip, unsigned short server_port, socket_event_callback callback,
                   void* caller, bool async_send = true);
    bool sock_init(std::string const& server_ip, unsigned short server_port, std::string const& local_ip,
                   unsigned short local_port, socket_event_callback callback, void* caller, bool async_send = true);

    // Interval in seconds; below 1 counts as 1.
    void set_auto_reconn_falg(bool on, int interval_sec);
    // Asynchronous: queues a copy and returns len (0 bytes queue nothing);
    // otherwise socket_client::sock_send.
    int sock_send(char const* data, int len);
    // Stops the workers and the event thread (EVENT_LOCALE_DISCONNECT when
    // connected), then drops queued data and the cache.
    bool sock_close();
    mv_socket get_socket() const { return get_sock(); }
    void set_epoll_max_wait_time(int milli_sec) { socket_client::set_epoll_max_wait_time(milli_sec); }
    // Returns every queued buffer to the pool and empties the cache.
    void clear_data();

private:
    bool open_connection(std::string const& server_ip, unsigned short server_port, std::string const* local_ip,
                         int local_port, socket_event_callback callback, void* caller, bool async_send);
    bool start_workers(std::string const& server_ip, unsigned short server_port, std::string const* local_ip,
                       unsigned short local_port);
    static int cache_callback(socket_param& param, void* context);
    int on_cache_callback(socket_param& param);
    static int thread_send_proc(void* param);
    int on_thread_send_proc();
    static int thread_receive_proc(void* param);
    int on_thread_receive_proc();
    static int thread_auto_reconn(void* param);
    int on_thread_auto_reconn();
    // Offers the whole cache until the callback takes nothing or it is empty.
    void offer_cache();
    void report_buff_full(const char* data, size_t len);
    // Waits while the running receive worker still has chunks to offer.
    void wait_receive_drained();

    std::atomic<void*> m_caller;
    std::atomic<socket_event_callback> m_callback;
    MORVAST::TOOLS::stream_buffer m_hold_buf;
    MORVAST::TOOLS::data_queue<MORVAST::TOOLS::stream_buffer*> m_list_send;
    MORVAST::TOOLS::data_queue<MORVAST::TOOLS::stream_buffer*> m_list_recv;
    MORVAST::TOOLS::data_pool<MORVAST::TOOLS::stream_buffer> m_data_pool;
    morvast_socket_thread* m_thread_send;
    morvast_socket_thread* m_thread_receive;
    morvast_socket_thread* m_thread_reconn;
    std::atomic<bool> m_async_send_flag;
    std::atomic<bool> m_auto_reconn_flag;
    std::string m_server_ip;
    int m_server_port;
    std::string m_local_ip;
    int m_local_port;
    // Held by the send worker around one buffer's send and by clear_data, so
    // the buffer being sent is never handed back to the pool under it.
    MORVAST::TOOLS::mutex_lock m_send_lock;
    // Serialises connecting (sock_init and the reconnect worker) and guards
    // the kept addresses and ports.
    MORVAST::TOOLS::mutex_lock m_conn_lock;
    // Bumped by clear_data under the send lock and under the cache's lock; a
    // worker that ran the user's callback without the lock sees from them
    // that its buffer or cache was emptied meanwhile.
    unsigned m_send_clear_count;
    unsigned m_recv_clear_count;
    // Received chunks queued and not yet offered to the user.
    std::atomic<int> m_recv_pending;
};

#endif

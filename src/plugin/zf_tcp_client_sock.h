#pragma once

// zf_tcp_client_sock: one TCP connection over a TCPDirect stack, the object
// behind libdirectsock.so's CreateZFClientSock. It owns the stack (with its
// attribute set), one endpoint and a muxer holding the endpoint, and runs one
// busy work thread that drives the stack and offers received bytes to the
// session's sink.
//
// The stack is not thread-safe: every use of it outside the work thread goes
// through m_zf_stack_lock. The work thread only tries the lock and skips a
// pass when a sender holds it, and it holds the lock while it raises the
// receive and disconnect events, so a callback may send (without the lock,
// being on the work thread) but must not wait for another thread that sends.

#include <pthread.h>
#include <sys/epoll.h>

#include <atomic>
#include <string>

#include "bypass/zf_client_sock.h"

struct zf_attr;
struct zf_stack;
struct zf_muxer_set;
struct zft_handle;
struct zft;

class zf_tcp_client_sock : public i_zf_tcp_client_sock {
public:
    // Bytes the receive unit keeps of a message that is not complete yet.
    static constexpr int RECV_UNIT_SIZE = 5120;
    // Bytes one receive call may take from the stack.
    static constexpr int RECV_CHUNK = 8192;
    // Events one muxer wait reports at most.
    static constexpr int MAX_EVENTS = 17;
    // Reactor passes a close gives the stack to become quiescent.
    static constexpr int QUIESCE_PASSES = 1000;

    zf_tcp_client_sock();
    // Releases the texts. A work thread still running (no sock_close) is told
    // to stop and waited for, so the code it runs stays mapped; the stack is
    // not released here.
    ~zf_tcp_client_sock() override;
    zf_tcp_client_sock(zf_tcp_client_sock const&) = delete;
    zf_tcp_client_sock& operator=(zf_tcp_client_sock const&) = delete;

    bool zf_clt_init(char const* server_ip, int server_port, char const* dev, int cpu,
                     i_zf_tcp_client_sock_event* sink, bool first_time) override;
    int sock_send(char const* data, unsigned int n) override;
    // Both stop the work thread and wait for it (bounded), then release under
    // m_zf_stack_lock, taken by a bounded try: a close from a signal handler
    // that interrupted a sender holding the lock does not deadlock. When the
    // thread does not end or the lock cannot be had in time, they only stop
    // the loop, clear connected and return false (resources kept for a later
    // close). Called from a callback on the work thread, they stop the loop
    // and the work thread releases when it leaves it.
    bool sock_close() override;
    bool sock_close_ex() override;
    void zf_stop() override;
    bool is_connected() override;

    // Every message of the plug-in: formatted (up to 4096 bytes) and printed
    // to standard output behind "YYYYMMDD-HH:MM:SS.uuuuuu LLLLL ".
    static void lprintf(char const* fmt, ...) __attribute__((format(printf, 1, 2)));

    // Bounds of a close: how long it waits for the work thread to end and
    // for m_zf_stack_lock (defaults 2000 ms and 200 ms).
    static void set_close_bounds(int thread_wait_ms, int lock_wait_ms);
    // m_zf_stack_lock by a bounded try (for a signal handler's close, which
    // must not block on a lock its own thread may hold): true when taken
    // within wait_us microseconds. unlock_stack releases it.
    bool try_lock_stack(long wait_us);
    void unlock_stack();
    // The work thread started by zf_clt_init has not ended yet.
    bool work_thread_alive() const { return m_thread_live.load(std::memory_order_acquire); }

    // The auto-reconnect group: a thread that, while the flag is set and the
    // connection is down, reconnects every interval seconds on the kept stack.
    // Nothing in the plug-in or the sessions starts it.
    void set_auto_reconn_flag(bool on, int interval_s);
    bool create_auto_reconn_thread();
    static void* func_auto_reconn_thread(void* self);
    void on_thread_auto_reconn();
    bool zf_connect_server();

private:
    static void* work_thread_entry(void* self);
    void on_work_thread();
    void bind_cpu();
    bool proc_event(epoll_event const* events, int n);
    bool event_client_receive();
    bool paste_follow_data(char const* data, int len);
    // The connection is gone: clears connected and raises the disconnect
    // event once.
    void connection_lost();
    bool on_work_thread_now() const;
    // Stops the loop and waits for the work thread (bounded): false when it
    // did not end in time.
    bool stop_work_thread();
    bool close_common(bool keep_stack);
    // Releases endpoint, muxer and (unless keep_stack) the stack; the caller
    // holds m_zf_stack_lock or is the work thread after its loop.
    void release(bool keep_stack, bool was_connected);
    void quiesce();

    i_zf_tcp_client_sock_event* m_sink;
    zf_stack* m_stack;
    zf_muxer_set* m_muxer;
    zft_handle* m_tcp_handle;
    zft* m_zock;
    zf_attr* m_attr;
    std::string m_server_ip;
    int m_server_port;
    std::string m_dev;
    std::atomic<bool> m_work;
    std::atomic<bool> m_connected;
    std::atomic<bool> m_auto_reconn;
    std::atomic<int> m_reconn_interval_s;
    std::atomic<bool> m_thread_running;
    std::atomic<bool> m_reconn_stop;
    // The receive unit: its number, the kept bytes at m_keep_offset (-1:
    // none) and their length.
    int m_unit_no;
    char m_unit_buf[RECV_UNIT_SIZE];
    int m_keep_offset;
    int m_keep_len;
    int m_cpu;
    pthread_t m_thread_id;
    std::atomic<unsigned long> m_lwp;
    pthread_mutex_t m_zf_stack_lock;

    bool m_lock_made;
    char m_recv_buf[RECV_CHUNK];
    // Set by zf_clt_init before the work thread starts, cleared by the thread
    // as its last act; the thread is joined by whoever saw it end.
    std::atomic<bool> m_thread_live;
    pthread_t m_work_thread;
    bool m_work_joinable;
    // A close asked for on the work thread: the thread releases after its
    // loop. 0 none, 1 keep the stack, 2 everything; and whether it was
    // connected then.
    std::atomic<int> m_pending_close;
    bool m_pending_was_connected;
    pthread_t m_reconn_thread;
    bool m_reconn_started;
};

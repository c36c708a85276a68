// tcp_client_stream: the collection client's message-stream transport over
// the socket library's socket_client. Socket events become calls on one
// receiver (i_proc_tcp_client). Received blocks are queued by the socket's
// event thread and handed to the receiver on this object's "proc" thread,
// which keeps the bytes the receiver has not consumed yet and offers them
// again, with what arrives next appended. send blocks the caller until every
// byte is out; async_send queues a copy for the "send" thread.
#ifndef HUX_COLL_TCP_CLIENT_STREAM_H
#define HUX_COLL_TCP_CLIENT_STREAM_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "thread/morvast_thread.h"
#include "tools/data_pool.h"
#include "tools/data_queue.h"
#include "tools/event.h"
#include "tools/lock.h"
#include "net/linux/socket_client.h"
#include "report/coll_rptr/i_tcp_client.h"
#include "report/hux_base/my_stream_buffer.h"

class tcp_client_stream : public i_tcp_client, public MORVAST::THREAD::morvast_thread, public socket_context {
public:
    // Depth of the pool of queued blocks.
    static const int DATA_POOL_DEPTH = 512;
    // Starting size of the reassembly buffer.
    static const size_t PROC_BUFFER_LEN = 512;
    // How long the two threads wait for a wake-up before looking again.
    static const int THREAD_WAKE_MS = 10;

    explicit tcp_client_stream(const char* node_name);
    // Closes the connection without telling the receiver, ends both threads
    // and returns every queued block.
    ~tcp_client_stream() override;

    void set_comm_log(int flag) override { m_nLogFlag = flag; }
    // Connects to ip:port (closing any earlier connection first) and starts
    // the two threads when they are not running. False when the socket could
    // not connect or the port is outside 1..65535.
    bool start_conn_server(const char* ip, int port) override;
    // The same from a bound local address and port (port 0: any).
    bool start_conn_server(const char* ip, int port, const char* local_ip, int local_port);
    // 1 connected, 0 not.
    int get_conn_status() override { return m_connSt.load(); }
    // False, with a message, when the instance has no name.
    bool on_start() override;
    void on_stop() override;
    uint64_t get_send_package() override { return m_nSendPackage.load(); }
    uint64_t get_send_bytes() override { return m_nSendBytes.load(); }
    uint64_t get_recv_package() override { return m_nRecvPackage.load(); }
    uint64_t get_recv_bytes() override { return m_nRecvBytes.load(); }
    // State 0, then the socket is closed; a connected socket reports the
    // local disconnect to the receiver on the calling thread. Always true.
    bool disconn_client() override;
    // Blocks until every byte is out or the connection is down; the bytes
    // sent (0 when not connected). The sequence is not used.
    uint32_t send(uint64_t sequence, const char* data, uint32_t length) override;
    // Queues a copy for the send thread; the length, or 0 when not connected.
    uint32_t async_send(uint64_t sequence, const char* data, uint32_t length) override;
    server_info get_server_info() override;
    const char* get_version() override;
    // Idle time-out of the receiver in seconds (0: none).
    void set_recv_time_out(long seconds) override { m_nSecTimeOut.store(seconds); }

    void tcp_client_set_proc_handle(i_proc_tcp_client* proc) { m_pTcpCltProc.store(proc); }
    // The local IPv4 address of the connection as dotted text; empty without one.
    std::string get_sock_name();

    using MORVAST::THREAD::morvast_thread::run;
    // Body of the "send" and "proc" threads.
    void run(const char* thread_name) override;

    // The socket library's diagnostics; nothing is kept.
    void on_socket_write_info_msg(char const*, int) override {}
    void on_socket_write_error_msg(char const*, int) override {}
    void on_socket_write_bin_msg(char const*, int) override {}

private:
    static int on_socket_event(socket_param& param, void* context);
    void on_event(socket_param& param);
    bool start_connection(const char* ip, int port, bool bind_local, const char* local_ip, int local_port);
    // Ends both threads, returns every queued block and empties the
    // reassembly buffer.
    void disconnect_clean_up();
    // Ends both threads; on one of them only asks them to end.
    void stop_workers();
    void serve_send_queue();
    void serve_recv_queue();
    void check_idle_timeout();
    void release_queue(MORVAST::TOOLS::data_queue<my_stream_buffer*>& queue);
    static void write_diag(const char* text);

    socket_client m_tcpClient;
    std::atomic<i_proc_tcp_client*> m_pTcpCltProc;
    std::string m_sNodeName;
    std::string m_sIp;
    int m_nPort;
    std::string m_sendThreadName;
    std::string m_procThreadName;
    MORVAST::TOOLS::data_pool<my_stream_buffer> m_dataPool;
    my_stream_buffer m_procBuf;
    MORVAST::TOOLS::data_queue<my_stream_buffer*> m_listSend;
    MORVAST::TOOLS::data_queue<my_stream_buffer*> m_listRecv;
    std::atomic<int> m_connSt;
    std::atomic<uint64_t> m_nSendPackage;
    std::atomic<uint64_t> m_nSendBytes;
    std::atomic<uint64_t> m_nRecvPackage;
    std::atomic<uint64_t> m_nRecvBytes;
    std::atomic<long> m_nSecTimeOut;
    std::atomic<long long> m_nLastProcTime;
    int m_nLogFlag;
    MORVAST::TOOLS::event m_eventProc;
    MORVAST::TOOLS::event m_eventSend;
    // Keeps the start of the two threads apart from their stop by a
    // disconnect on the socket's event thread.
    std::mutex m_worker_lock;
};

#endif

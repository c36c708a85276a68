// The session core of both trade sessions: the trade library's
// (HUX_TRADE::CTradeClient) and the adapter's (HUX_ADAPTER::CTradeClient).
// They speak the same protocol over the same transports; this class owns
// what they share: the TCP client (the epoll client sckt_cache_client, the
// threaded socket_cache_client or the TCPDirect plug-in), the UDP order
// channel (kernel UDP, ef_vi or ExaNIC), card detection, connect and
// disconnect, the send routine, the receive loop and dispatch, the version,
// logon and heart-beat-setting answers, the heart-beat and reconnect
// threads, SIGINT, CPU binding and the session logs.
//
// It takes plain values only (session_server_info, logon_values), never a
// library's public records: each session converts its own record and
// reports through the hooks below. Where the two sessions differ, a field of
// session_traits says how.
//
// Threads: hooks run on the transport's receive thread (connection and logon
// events, answers), on the heart-beat thread (heart-beat time-out) and on
// the thread that calls disconnect_server ("local disconnected"). A hook may
// connect or disconnect: a transport is never freed under its own thread.
//
// Log lines without a category of their own are written under "info".
//
// The Windows build has no kernel bypass, no TCPDirect plug-in, no SIGINT
// handler, no interface lookup and no CPU binding: its TCP client is one of
// the two kernel clients and its order channel the kernel UDP sender; the
// send and token locks are re-entrant critical sections.
#ifndef HUX_SESSION_TRADE_SESSION_CORE_H
#define HUX_SESSION_TRADE_SESSION_CORE_H

#ifndef _WIN32
#include <pthread.h>
#endif

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include "bypass/exanic_udp_client.h"
#include "bypass/mv_ef_vi_sender.h"
#include "bypass/zf_client_sock.h"
#include "bypass/zf_loader.h"
#endif
#include "net/sckt_cache_client.h"
#include "net/socket_handle.h"
#include "net/transport_retire.h"
#include "tools/base_log.h"
#include "tools/count_scope.h"
#ifdef _WIN32
#include "tools/lock.h"
#endif
#include "tools/stream_buffer.h"
#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_flow_control.h"
#include "trade_core/ull_mlock.h"

class socket_cache_client;
namespace CLIENT_UDP_SCKT_ONLY {
class socket_unicast;
}

#ifndef _WIN32
// Process-wide data of the sessions' SIGINT handler. Written and read with
// the __atomic builtins. The trade library exports them; the adapter keeps
// them hidden.
extern "C" {
__attribute__((visibility("default"))) extern uint8_t g_handle_sig;    // 1: SIGINT ends the process (from exit_on_signal)
__attribute__((visibility("default"))) extern uint8_t g_reconnecting;  // 1: a reconnect attempt is under way
__attribute__((visibility("default"))) extern uint8_t g_is_close;      // 1: the SIGINT handler closed the plug-in object
// The TCPDirect plug-in object of the last session that connected, or null:
// the one the SIGINT handler closes.
__attribute__((visibility("default"))) extern i_zf_tcp_client_sock* g_zf_sync_trade_client;
}
#endif

namespace HUX_SESSION {

// The synchronous TCP client of the session: the epoll (or blocking) client
// with its receive cache, which also tells its socket and whether it opened.
class trade_tcp_client : public CLIENT_SCKT_ONLY::sckt_cache_client {
public:
    explicit trade_tcp_client(unsigned cache_size) : sckt_cache_client(cache_size), m_opened(false) {}
    mv_socket get_socket() const { return m_sock; }
    bool opened() const { return m_opened; }
    void set_opened(bool opened) { m_opened = opened; }

private:
    std::atomic<bool> m_opened;
};

// Session states.
enum enTradeState {
    TRADE_STATE_NEW = 0,
    TRADE_STATE_VERSION_OK = 1,   // version accepted, logon under way
    TRADE_STATE_CLOSED = 2,       // closed locally
    TRADE_STATE_DROPPED = 3,      // closed by the peer or an error
    TRADE_STATE_LOGGED_ON = 4
};

// The session's waits. The defaults are the documented ones; tests shorten them.
struct TradeClientTimings {
    unsigned reconnect_wait_count = 20;   // waits before each reconnect attempt
    unsigned reconnect_wait_ms = 100;
    unsigned logon_first_wait_ms = 5;     // after a reconnect, before watching for the logon
    unsigned logon_wait_count = 50;       // waits for the logon after a reconnect
    unsigned logon_wait_ms = 100;
    unsigned reconnect_idle_ms = 100;     // the reconnect thread's idle pause
    unsigned close_pause_ms = 20;         // disconnect's pause after each close
    unsigned heart_beat_tick_ms = 10;     // the heart-beat thread's tick
    unsigned tcp_stop_wait_ms = 5000;     // how long a TCP client's close polls for its thread
    // The terminal-information report before each logon (trade library only).
    unsigned coll_connect_wait_ms = 3000;  // for the report connection
    unsigned coll_version_wait_ms = 3000;  // for the collection server's version reply
    unsigned coll_verdict_wait_ms = 3000;  // for the verdicts, once reported
    unsigned coll_report_wait_ms = 9000;   // overall poll for the verdict after connecting
};

// What a session's connection record says, as plain values. Texts are
// NUL-terminated (a record field of 16 bytes without a NUL is cut at 16).
struct session_server_info {
    char server_ip[17];
    uint16_t tcp_port;
    uint16_t udp_port;           // 0: no UDP order channel
    char local_ip[17];
    uint16_t local_udp_port;
    uint8_t keep_timestamps;
    uint8_t blocking_tcp;
    uint8_t kernel_bypass;
    uint8_t exit_on_signal;
    uint8_t tcp_direct;
    int32_t heartbeat_interval;
    int16_t rsp_cpu;
    uint8_t send_lock;
};
// The values before the first connect: zero except kernel_bypass 1,
// exit_on_signal 1, heartbeat_interval 5, rsp_cpu -1.
session_server_info default_server_info();

// The logon answer (type 1070) as read.
struct logon_values {
    int32_t server_value;
    int32_t result;
    uint32_t user_id;
    int32_t logon_value;
    int32_t max_token;
    uint32_t order_fc_count;
    uint32_t order_fc_window_us;
    uint32_t cancel_fc_count;
    uint32_t cancel_fc_window_us;
};

// The four texts a logon request is built from.
struct logon_texts {
    std::string login_id;
    std::string password;
    std::string app_id;
    std::string auth_code;
};

// Logon results the sessions give besides the server's own.
enum enLogonResult {
    LOGON_OK = 0,
    LOGON_VERSION_REFUSED_2 = 1,   // version verdict 2
    LOGON_VERSION_REFUSED_3 = 3,   // version verdict 3
    LOGON_REFUSED = 14,            // version verdict 1 or any other non-zero
    LOGON_SEND_FAILED = 15,        // the logon request (trade library) or the heart-beat setting not sent
    LOGON_NOT_REQUESTED = 99       // a logon answer without a logon request on this connection
};

// How one session differs from the other.
struct session_traits {
    const char* log_prefix;         // the logs before SetLogDir: "<prefix><date>.log" and ".bin"
    const char* api_version;        // the important line "api version"
    const char* open_ok_format;     // the connect's success line (server, port)
    const char* hb_stop_line;       // the heart-beat thread's last line
    int logon_send_failed_result;   // the logon request could not be sent
    bool knows_qv27;                // the version answer's edition 6 makes a qv27 session
    // Mixed protocol, kernel_bypass 0 and a refused virtual interface turn
    // kernel bypass off for good; otherwise kernel_bypass is read at every
    // connect and a refused interface costs only that connect's sender.
    bool bypass_off_for_good;
    // The first connect finds the card of any non-empty local address,
    // failing when no interface holds it; otherwise only for a bypass UDP
    // channel or TCPDirect.
    bool detect_any_local_ip;
    bool sigint_every_connect;      // else once per session
    // Disconnect closes the plug-in, the bypass senders, TCP, kernel UDP in
    // that order, and a connected plug-in it closes is reported as 99
    // "remote disconnected" (state 3); otherwise TCP, kernel UDP, the bypass
    // senders, the plug-in, with 3 "local disconnected".
    bool plugin_first_close;
    bool warm_up_spacing;           // at most one bypass warm-up every 10 microseconds
    bool exanic_adapter_form;       // the ExaNIC sender without its quote frame
    bool max_wait_to_epoll_at_once; // SetMaxWaitTime reaches a running epoll client too
};

#ifdef _WIN32
class trade_session_core {
#else
class trade_session_core : public i_ef_vi_udp_client_event,
                           public i_zf_tcp_client_sock_event,
                           public i_exanic_udp_client_sock_event {
#endif
public:
    static constexpr unsigned TCP_CACHE_SIZE = 8192;
    static constexpr int DEFAULT_EPOLL_WAIT_MS = 50;

    trade_session_core(const session_traits& traits, void* user_param);
    // Stops and joins the heart-beat and reconnect threads, disconnects,
    // frees every transport, then closes the logs. A derived session calls
    // shutdown() first in its own destructor, so no hook runs into a
    // half-destroyed object.
    virtual ~trade_session_core();
    trade_session_core(const trade_session_core&) = delete;
    trade_session_core& operator=(const trade_session_core&) = delete;

#ifndef _WIN32
    // ---- kernel-bypass events ----
    // Both transmit-time reports append to the timestamp array.
    void on_ef_vi_udp_report_timestamps(long long ns) override;
    void on_exanic_udp_report_timestamps(long long ns) override;
    // The plug-in's received bytes through the session's cut loop, an
    // unfinished tail kept for the next bytes: returns len.
    int on_zf_tcp_recv_msg(char* data, int len) override;
    void on_zf_tcp_connect() override;    // "conn ok"
    void on_zf_tcp_disconnect() override; // "remote disconnected"
    virtual void on_zf_udp_recv_msg(char* data, int len);  // nothing
    virtual void on_zf_udp_connect();                      // nothing
    // Code 2, "remote disconnected"; the logon flags cleared.
    virtual void on_zf_udp_disconnect();
#endif

    // ---- set-up ----
    // Letters, digits, '/', '-', '\\' and '_' only; a missing directory is
    // created (0755 on Linux); both logs are reopened in it. Anything else:
    // no change.
    void SetLogDir(const char* dir);
    void SetLoggerSwitch(bool on);
    void LoggerFlush();
    void SetAsyncReceiveMode();           // asynchronous TCP client from the next connect
    void SetMaxWaitTime(int milliseconds);  // epoll wait; negative values ignored
    void SetAutoReconnect(bool on);       // takes effect at the next completed logon
    void SetTimings(const TradeClientTimings& timings);
    TradeClientTimings GetTimings() const;

    // ---- state ----
    bool IsConnect();
    bool IsLogon() const;
    bool IsQv27Version() const;
    void* GetUserParam() const;
    uint32_t GetUserID() const;
    void SetUserId(uint32_t user_id);
    int GetState() const;               // enTradeState
    int GetDriverType() const;          // 2: kernel transports
    uint32_t GetMaxToken();
    // Raises the order-token high-water mark to `token` when it is above the
    // mark (unsigned); false, and the mark kept, otherwise.
    bool SetMaxToken(uint32_t token);
    int32_t GetLogonValue() const;      // the int32 at 53 of the logon answer
    int32_t GetServerTimeout() const;   // seconds, from the heart-beat setting answer
    bool IsHeartBeatRunning() const;
    bool IsReconnectRunning() const;
    // The last logon answer as received (zero before the first).
    logon_values GetLogonValues() const;
    // The kept logon texts (a copy).
    logon_texts GetLoginInfo() const;
    // Flow-control windows (orders, cancels), as a copy.
    HUX_TRADE_CORE::flow_control_window GetOrderFlowControl() const;
    HUX_TRADE_CORE::flow_control_window GetCancelFlowControl() const;
    bool ChangeFCParam(unsigned order_limit, unsigned cancel_limit);
    // Transmit timestamps of the kernel-bypass senders: with the keep flag
    // (a ready sender and keep_timestamps) the oldest count of them, count
    // cut to the number recorded; without it count becomes 0. The array is
    // not emptied. On Windows (no such sender) count always becomes 0.
    void GetTimestamps(long long* out, int& count);
#ifndef _WIN32
    // The driver kind (0 ef_vi, 1 ExaNIC, 2 other) of the interface that owns
    // local_ip, its name into ifname (16 bytes); 2 when either is not found.
    int get_device_driver_type(const char* local_ip, char* ifname);
    // The driver the last detection found.
    std::string GetDriverName() const;
    // The realtime clock: seconds in the high 32 bits, nanoseconds in the low.
    static uint64_t convert_now_to_timestamp();
#endif

    // ---- connection ----
    // Disconnects, then builds the UDP order channel and the TCP client the
    // values ask for. True on success; the connected event ("conn ok") comes
    // later from the TCP client.
    bool connect_server(const session_server_info& info, bool mix);
    // Closes the TCP client and the UDP order channel; always true.
    bool disconnect_server();
    // The application's disconnect: sets the reconnect and heart-beat stop
    // flags, waits for both threads to end (not when called on one of the
    // session's own threads), then disconnects.
    bool StopAndDisConnServer();
    // Stops the reconnect and heart-beat threads; waits for both to end
    // unless the calling thread runs a callback of any session's transport
    // (then the flags are set and the destructor joins).
    void stop_threads();

    // ---- sending ----
    // Direction 1: the UDP order channel when there is one, else TCP;
    // direction 2: TCP. The bytes sent; -1 on failure; -2 refused by flow
    // control. A 168-byte message of type 70 gets the local UDP port at 128.
    int SendMsgToHux(const char* name, char* data, int len, int direction);
    // New orders (type 10) and quotes (type 12). Over an ef_vi or ExaNIC
    // order channel each call counts one order and a warm-up call warms the
    // sender and returns 8 (ef_vi) or len (ExaNIC); otherwise a warm-up call
    // sends nothing.
    int send_new_order(char* data, int len, int direction, int type, bool warm);
#ifndef _WIN32
    // Two more ef_vi new-order senders the order functions do not use: the
    // message as a warm-up send (returns len), and the ef_vi path without the
    // send lock and without the warm-up spacing.
    int SendMsgToHuxForNewOrderEx(char* data, int len);
    int SendMsgToHuxForNewOrderEfVi(char* data, int len, bool warm);

    // ---- the TCPDirect plug-in ----
    // The plug-in the library carries (section .embedded_so), through a
    // temporary file; a plug-in file; "libdirectsock.so" beside the
    // library; and the unload (object closed and destroyed, library closed).
    bool load_zf_sock_ex();
    bool load_zf_sock(const char* path);
    bool load_zf_sock();
    void unload_zf_sock();
    // The directory of the library that holds the session, followed by "//";
    // empty when it cannot be found.
    static std::string getCurrentSoPath();
    // The plug-in object, or null.
    i_zf_tcp_client_sock* GetZfSock() const { return m_zf.load(); }

#endif

    // ---- receiving ----
    // One message from the front of the buffer: the bytes consumed, 0 = wait.
    int ProcReceiveMsg(const unsigned char* data, unsigned int len);

    // ---- heart-beat, reconnect, signals, CPU binding ----
    void start_send_heart_beat_thread();
    void stop_send_heart_beat_thread();
    void stop_check_and_reconn_thread();
#ifdef _WIN32
    // No CPU binding on Windows: nothing happens.
    void bind_rsp_cpu_or_check_thread(const char*, int) {}
    void bind_req_cpu_or_check_thread(const char*, int) {}
#else
    void bind_rsp_cpu_or_check_thread(const char* label, int cpu);
    void bind_req_cpu_or_check_thread(const char* label, int cpu);
    // Binds the calling thread to the listed CPUs; 0 or the failing call's code
    // (-1 for an empty list).
    static int set_cur_thread_affinity_np(const std::vector<int>& cpus);
#endif

protected:
    // ---- hooks ----
    // A connection change: code and text as the tables give them.
    virtual void report_connection(int code, const char* text) = 0;
    // A logon answer to hand on: the values as received (result already
    // replaced where the session replaced it).
    virtual void report_logon(const logon_values& values) = 0;
    // A logon outcome without an answer (result only, every other value 0),
    // or with the last answer's values when `with_answer` is set.
    virtual void report_logon_result(int result, bool with_answer) = 0;
    // A logon answer with result 0 on a connection that sent the logon
    // request: the user id, logon value, token mark and flow control are
    // kept; the session does the rest.
    virtual void on_logged_on(const logon_values& values) = 0;
    // The heart-beat thread heard nothing for `seconds`.
    virtual void report_heart_beat_timeout(int seconds) = 0;
    // The session's receive table, and the pointer its handlers get.
    virtual const HUX_TRADE_CORE::msg_route_table& routes() const = 0;
    virtual void* handler_context() = 0;
    // The label after "proc " of a handled message; the route's name unless
    // the session says otherwise.
    virtual const char* handled_label(const HUX_TRADE_CORE::msg_route& route, uint16_t type,
                                      const unsigned char* msg);

    // Stops the threads and disconnects; the derived session's destructor
    // calls it first. Idempotent.
    void shutdown();

    // ---- for the sessions ----
    // Keeps the four logon texts the logon request is built from.
    void keep_logon_texts(const char* user_id, size_t user_len, const char* password, const char* app_id,
                          size_t app_len, const char* auth_code, size_t auth_len);
    // The session answers, for the sessions' receive tables.
    void proc_report_version_resp(const unsigned char* msg);
    void proc_logon_msg_resp(const unsigned char* msg);
    void proc_set_heart_beat_resp(const unsigned char* msg);
    // The heart-beat setting (type 90) with the interval; false when it could
    // not be sent.
    bool send_heart_beat_setting(int32_t interval);
    // The kept values (a copy).
    session_server_info server_info() const;
    void start_reconnect_thread();
    // The number of stops asked so far, and a start made only when no stop
    // came since that number was read.
    unsigned reconnect_stops();
    void start_reconnect_thread_unless_stopped(unsigned stops);
    void log_info(const char* text);
    void log_line(const char* category, const char* text);
    void pause_ms(unsigned ms) const;
    mv_socket tcp_socket() const;
    mv_socket udp_socket() const;
    // A reconnect attempt runs (the reconnect thread's connect).
    bool reconnecting() const { return m_reconnecting; }
    // The last connect opened a UDP order channel.
    bool udp_channel_open() const { return m_has_udp_channel; }
    // True when the calling thread runs a callback of this session's transports.
    bool on_own_transport_thread() const;
    // True when a connect has installed a transport since the last close.
    bool transport_installed() const;

    const session_traits m_traits;
    base_log m_log;
    base_log m_bin_log;
    std::atomic<bool> m_logger_on;
    std::atomic<int> m_state;
    std::atomic<bool> m_logged_on;
    std::atomic<bool> m_logon_sent;
    std::atomic<bool> m_qv27;
    std::atomic<bool> m_mix;
    std::atomic<bool> m_hb_wanted;
    std::atomic<bool> m_auto_reconnect;
    std::atomic<bool> m_rc_running;
    std::atomic<int> m_driver_type;

private:
    // What a TCP client's events carry: the session, and whether the client
    // was dropped without waiting for its threads (its late events are then
    // ignored). One per client, freed with it.
    struct tcp_context {
        trade_session_core* session;
        std::atomic<bool> dropped;
    };

    // Transport entries.
    static int sync_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param, void* context);
    static int async_cache_callback(socket_param& param, void* context);
    int on_sync_event(CLIENT_SCKT_ONLY::sckt_param& param, const tcp_context* ctx = nullptr);
    int on_async_event(socket_param& param, const tcp_context* ctx = nullptr);
    // `ctx`: the TCP client the event comes from (null: the plug-in's).
    void on_connection_event(int event, const tcp_context* ctx = nullptr);
    unsigned on_receive(const char* data, unsigned len);

#ifndef _WIN32
    // Kernel-bypass steps of the connect and disconnect.
    bool detect_card(const session_server_info& info, bool udp_channel);
    // 1: a bypass sender is ready; 0: the kernel UDP sender is wanted; -1: failed.
    int open_bypass_udp(const session_server_info& info);
    void close_bypass_senders();
    bool open_zf(const char* server_ip, uint16_t tcp_port);
    // The plug-in's part of the disconnect: 1 when a connected plug-in was
    // closed (to be reported), else 0.
    bool close_zf();
    void on_zf_connected();
    void write_version_lines(bool exanic);
    int send_new_order_bypass(char* data, int len, int type, bool warm, bool locked, bool spaced);
    bool install_sigint_handler();
#endif
    void free_retired();
    void close_tcp(bool& report_local);
    void close_udp();
#ifndef _WIN32
    void bind_cpu_once(std::atomic<bool>& once, const char* key, std::atomic<unsigned long>& thread_id,
                       const char* label, int cpu);
#endif

    // Threads.
    void heart_beat_thread();
    void reconnect_thread();
    int try_reconnect();  // 0 logged on, 1 stopped
    // Waits for the thread in the slot to end; on that thread itself it
    // detaches it when detach_self is set and leaves it alone otherwise.
    void join_thread(std::thread& slot, std::atomic<bool>& stop, bool detach_self);

    void* const m_user_param;
    std::atomic<bool> m_shut_down{false};
    std::atomic<int> m_callback_closes{0};  // disconnects under way inside a callback
    // The route table and handler pointer of the derived session, taken at
    // the first receive (the same values whichever thread takes them).
    std::atomic<const HUX_TRADE_CORE::msg_route_table*> m_route_cache{nullptr};
    std::atomic<void*> m_handler_cache{nullptr};

    // Transports.
    std::atomic<trade_tcp_client*> m_sync_client;
    std::atomic<socket_cache_client*> m_async_client;
    std::atomic<tcp_context*> m_tcp_context{nullptr};  // of the current TCP client
    // Taken over installing a TCP client's context and over a lost
    // connection's state change: the loss of a client the session has
    // already replaced leaves the newer connection's state alone.
    std::mutex m_conn_event_lock;
    // Threads using a transport pointer they loaded (the TCP client, the
    // UDP order channel, a kernel-bypass sender or the plug-in object): every
    // send and every query of a transport counts itself here before it loads
    // the pointer. A close swaps the pointer out first, then waits for the
    // count to reach zero before it closes or frees what it swapped out, so a
    // send racing a disconnect goes out on the connection it saw or fails,
    // and never reaches a freed object or a descriptor handed to another
    // socket. One atomic add and subtract: no system lock on the order path.
    mutable std::atomic<int> m_transport_readers{0};
    typedef MORVAST::TOOLS::count_scope transport_reader;
    // Waits until no thread uses a transport pointer loaded before the
    // caller swapped it out. Never called by a thread that counts itself.
    void wait_transport_readers() const;
    std::atomic<CLIENT_UDP_SCKT_ONLY::socket_unicast*> m_udp_client;
    std::atomic<bool> m_has_udp_channel;
    std::atomic<bool> m_async_mode;
    std::atomic<bool> m_blocking_tcp;
    std::atomic<uint16_t> m_local_udp_port;
    std::atomic<int> m_max_wait_ms;
    HUX_NET::retired_transports m_retired;

#ifndef _WIN32
    // Kernel-bypass transports. The sender pointers change only in connect
    // and disconnect.
    std::atomic<ef_vi_udp_sender*> m_ef_vi{nullptr};
    std::atomic<exanic_udp_client*> m_exanic{nullptr};
    std::atomic<bool> m_ef_vi_ready{false};
    std::atomic<bool> m_exanic_ready{false};
    std::atomic<bool> m_bypass_in_use{true};    // cleared for good by mix, kernel_bypass 0 or a refused VI
    std::atomic<bool> m_zf_first_init{true};    // card detection runs while set
    mutable std::mutex m_card_lock;             // guards the two names
    char m_ifname[16];
    char m_driver_name[16];
    int m_card_driver_type = 2;                 // what detection found (before kernel_bypass 0)
    long long m_last_warm_us;                   // the last bypass warm-up, under the send lock
    // The TCPDirect plug-in: its loader (with the object) and the object. The
    // close spin lock serialises loading, initialising and closing.
    std::unique_ptr<hux_bypass::zf_loader> m_zf_loader;
    std::atomic<i_zf_tcp_client_sock*> m_zf{nullptr};
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_zf_close_lock;
    bool m_zf_has_stack = false;  // a first-time init succeeded, no full close since
    std::atomic<bool> m_zf_in_init{false};
    std::atomic<bool> m_zf_connect_pending{false};
    // The plug-in's unfinished message, kept for the bytes that complete it.
    MORVAST::TOOLS::stream_buffer m_zf_tail{2048};
    // Transmit timestamps, filled on the sending thread; the lock is taken
    // only while the keep flag is on.
    std::atomic<bool> m_keep_timestamps{false};
    std::mutex m_ts_lock;
    std::vector<long long> m_timestamps;
#endif

    std::atomic<bool> m_first_connect;
    std::atomic<bool> m_reconnecting;
#ifndef _WIN32
    std::atomic<bool> m_sigint_installed;
#endif

    // Logon.
    mutable std::mutex m_logon_text_lock;
    std::string m_logon_user;
    std::string m_logon_password;
    std::string m_logon_app_id;
    std::string m_logon_auth_code;
    std::atomic<uint32_t> m_user_id;
    std::atomic<int32_t> m_logon_value;
    uint32_t m_max_token;
#ifdef _WIN32
    MORVAST::TOOLS::mutex_lock m_token_lock;
#else
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_token_lock;
#endif
    mutable std::mutex m_values_lock;
    logon_values m_logon_values;

    // Flow control and the send lock.
    HUX_TRADE_CORE::flow_control_window m_order_fc;
    HUX_TRADE_CORE::flow_control_window m_cancel_fc;
#ifdef _WIN32
    MORVAST::TOOLS::mutex_lock m_send_lock;  // re-entrant for its owner
#else
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_send_lock;
#endif
    std::atomic<bool> m_send_lock_on;
    // Holds the send lock, when it is on, over a change of the flow-control
    // windows: senders count in them under it.
    struct flow_windows_change {
        trade_session_core& session;
        const bool locked;
        explicit flow_windows_change(trade_session_core& s);
        ~flow_windows_change();
        flow_windows_change(const flow_windows_change&) = delete;
        flow_windows_change& operator=(const flow_windows_change&) = delete;
    };

    // Heart-beat and reconnect.
    std::mutex m_thread_lock;  // guards the two thread objects and m_destroying
    bool m_destroying;
    std::thread m_hb_thread;
    std::atomic<bool> m_hb_running;
    std::atomic<bool> m_hb_stop;
    std::atomic<int32_t> m_server_timeout;
    std::atomic<long long> m_last_recv_sec;
    int32_t m_hb_counter;  // used by one heart-beat thread at a time
    std::thread m_rc_thread;
    std::atomic<bool> m_rc_stop;
    // Stops asked of the reconnect thread, counted under m_thread_lock: a
    // start for a logon answer that was reported before a stop does not undo
    // that stop (the application may stop the threads on hearing of it).
    unsigned m_rc_stops = 0;
    void request_reconnect_stop();
    void start_reconnect_thread_if(const unsigned* stops);

#ifndef _WIN32
    // CPU binding.
    std::atomic<bool> m_rsp_cpu_bound;
    std::atomic<bool> m_req_cpu_bound;
    std::atomic<unsigned long> m_rsp_thread_id;
    std::atomic<unsigned long> m_req_thread_id;
#endif

    // The kept connection values and the waits.
    mutable std::mutex m_info_lock;
    session_server_info m_info;
    std::atomic<unsigned> m_t_reconnect_wait_count;
    std::atomic<unsigned> m_t_reconnect_wait_ms;
    std::atomic<unsigned> m_t_logon_first_wait_ms;
    std::atomic<unsigned> m_t_logon_wait_count;
    std::atomic<unsigned> m_t_logon_wait_ms;
    std::atomic<unsigned> m_t_reconnect_idle_ms;
    std::atomic<unsigned> m_t_close_pause_ms;
    std::atomic<unsigned> m_t_heart_beat_tick_ms;
    std::atomic<unsigned> m_t_tcp_stop_wait_ms;

protected:
    // The report's waits (the trade library's logon).
    std::atomic<unsigned> m_t_coll_connect_wait_ms;
    std::atomic<unsigned> m_t_coll_version_wait_ms;
    std::atomic<unsigned> m_t_coll_verdict_wait_ms;
    std::atomic<unsigned> m_t_coll_report_wait_ms;
};

}  // namespace HUX_SESSION

#endif

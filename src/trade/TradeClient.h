// The trade session of libhuxtrade: one object behind a trade-session handle.
// It owns the TCP connection to the trading server (the epoll client
// sckt_cache_client, or socket_cache_client in asynchronous receive mode),
// the optional kernel UDP order channel, the session logs, the logon state,
// the client flow control, the account and symbol index maps, the heart-beat
// and reconnect threads and the application's C callbacks.
//
// Threads: callbacks run on the transport's receive thread (connection and
// logon events, answers), on the heart-beat thread (heart-beat time-out) and
// on the thread that calls DisConnServer ("local disconnected" of the
// synchronous client). The session handle passed to every callback is the
// CTradeClient* as void*. A callback may call DisConnServer or ConnServer:
// a transport is never freed under its own thread.
//
// Log lines without a category of their own are written under "info".
#ifndef HUX_TRADE_CLIENT_H
#define HUX_TRADE_CLIENT_H

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "bypass/exanic_udp_client.h"
#include "bypass/mv_ef_vi_sender.h"
#include "bypass/zf_client_sock.h"
#include "bypass/zf_loader.h"
#include "hux_trade_status_struct.h"
#include "hux_trade_struct.h"
#include "tools/lock.h"
#include "tools/stream_buffer.h"
#include "tools/template_map_str.h"
#include "trade/TradeClientAnswerEvents.h"
#include "trade/TradeClientRejectText.h"
#include "tools/base_log.h"
#include "net/sckt_cache_client.h"
#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_flow_control.h"
#include "trade_core/ull_mlock.h"

class socket_cache_client;
namespace CLIENT_UDP_SCKT_ONLY {
class socket_unicast;
}

// Process-wide data of the trade library. Written and read with the
// __atomic builtins.
extern "C" {
__attribute__((visibility("default"))) extern uint8_t g_handle_sig;    // 1: SIGINT ends the process (from exit_on_signal)
__attribute__((visibility("default"))) extern uint8_t g_reconnecting;  // 1: a reconnect attempt is under way
__attribute__((visibility("default"))) extern uint8_t g_is_close;      // 1: the SIGINT handler closed the plug-in object
// The TCPDirect plug-in object of the last session that connected, or null:
// the one the SIGINT handler closes.
__attribute__((visibility("default"))) extern i_zf_tcp_client_sock* g_zf_sync_trade_client;
}

namespace HUX_TRADE {

// The synchronous TCP client of the session: the epoll (or blocking) client
// with its receive cache, which also tells its socket and whether it opened.
class trade_tcp_client : public CLIENT_SCKT_ONLY::sckt_cache_client {
public:
    explicit trade_tcp_client(unsigned cache_size) : sckt_cache_client(cache_size), m_opened(false) {}
    int get_socket() const { return m_sock; }
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

// Logon results given in HUX_LogonResponse::result besides the server's own.
enum enLogonResult {
    LOGON_OK = 0,
    LOGON_VERSION_REFUSED_2 = 1,   // version verdict 2
    LOGON_VERSION_REFUSED_3 = 3,   // version verdict 3
    LOGON_REFUSED = 14,            // version verdict 1 or any other non-zero; an index query not sent
    LOGON_SEND_FAILED = 15,        // the logon request or the heart-beat setting not sent
    LOGON_NOT_REQUESTED = 99       // a logon answer without a logon request on this connection
};

// The session's waits. The defaults are the documented ones; tests shorten them.
struct TradeClientTimings {
    unsigned reconnect_wait_count = 20;   // waits before each reconnect attempt
    unsigned reconnect_wait_ms = 100;
    unsigned logon_first_wait_ms = 5;     // after a reconnect, before watching for the logon
    unsigned logon_wait_count = 50;       // waits for the logon after a reconnect
    unsigned logon_wait_ms = 100;
    unsigned reconnect_idle_ms = 100;     // the reconnect thread's idle pause
    unsigned close_pause_ms = 20;         // DisConnServer's pause after each close
    unsigned heart_beat_tick_ms = 10;     // the heart-beat thread's tick
    unsigned tcp_stop_wait_ms = 5000;     // how long a TCP client's close polls for its thread
    // The terminal-information report before each logon.
    unsigned coll_connect_wait_ms = 3000;  // for the report connection
    unsigned coll_version_wait_ms = 3000;  // for the collection server's version reply
    unsigned coll_verdict_wait_ms = 3000;  // for the verdicts, once reported
    unsigned coll_report_wait_ms = 9000;   // overall poll for the verdict after connecting
};

// The session hears the kernel-bypass transports through their event
// interfaces, in this order: the ef_vi sender's timestamps, the TCPDirect
// plug-in's bytes and connection events, the ExaNIC sender's timestamps.
class CTradeClient : public i_ef_vi_udp_client_event,
                     public i_zf_tcp_client_sock_event,
                     public i_exanic_udp_client_sock_event {
public:
    static constexpr const char* API_VERSION = "5.2.4.16";
    static constexpr unsigned TCP_CACHE_SIZE = 8192;
    static constexpr int DEFAULT_EPOLL_WAIT_MS = 50;

    explicit CTradeClient(void* user_param);
    // Stops and joins the heart-beat and reconnect threads, disconnects,
    // frees every transport, then closes the logs.
    virtual ~CTradeClient();
    CTradeClient(const CTradeClient&) = delete;
    CTradeClient& operator=(const CTradeClient&) = delete;

    // ---- kernel-bypass events (slot order: after the destructors) ----
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

    // ---- set-up ----
    // Letters, digits, '/', '-', '\\' and '_' only; a missing directory is
    // created (0755); both logs are reopened in it. Anything else: no change.
    void SetLogDir(const char* dir);
    void SetLoggerSwitch(bool on);
    void LoggerFlush();
    void SetAsyncReceiveMode();           // asynchronous TCP client from the next ConnServer
    void SetMaxWaitTime(int milliseconds);  // epoll wait; negative values ignored
    void SetAutoReconnect(bool on);       // takes effect at the next completed logon
    void SetTimings(const TradeClientTimings& timings);
    TradeClientTimings GetTimings() const;

    void SetConnectionEvent(HUX_ConnectionEvent callback);
    void SetUserLogonEvent(HUX_UserLogonEvent callback);
    void SetHeartBeatTimeoutEvent(HUX_HeartBeatTimeoutEvent callback);
    // Status and query answers; null drops the event.
    void SetQueryOtAccountBPEvent(HUX_QueryOtAccountBPEvent callback);
    void SetQueryMarketSessionEvent(HUX_QueryMarketSessionEvent callback);
    void SetMarketSessionStatReportEvent(HUX_MarketSessionStatReportEvent callback);
    void SetSymbolStatusReportEvent(HUX_SymbolStatusReportEvent callback);
    void SetQuerySymbolStatusEvent(HUX_QuerySymbolStatusEvent callback);
    void SetProdStatusReportEvent(HUX_ProdStatusReportEvent callback);
    void SetQuerySessionIDEvent(HUX_QuerySessionIDEvent callback);
    void SetInputRegForQuoteEvent(HUX_InputRegForQuoteEvent callback);

    // ---- state ----
    bool GetMixProtccol() const;
    bool IsConnect();
    bool IsLogon() const;
    bool IsQv27Version() const;
    void* GetUserParam() const;
    uint32_t GetUserID() const;
    int GetState() const;               // enTradeState
    int GetDriverType() const;          // 2: kernel transports
    uint32_t GetMaxToken();
    // Raises the order-token high-water mark to `token` when it is above the
    // mark (unsigned); false, and the mark kept, otherwise.
    bool SetMaxToken(uint32_t token);
    void SetUserId(uint32_t user_id);

    // Slots of the order, execution, report, quote, combination and
    // special-order answers; set them directly (null drops the event).
    trade_answer_events& AnswerEvents() { return m_answer_events; }
    // The reject reason tables, filled at construction and only read afterwards.
    const CRejectReasonText& RejectText() const { return m_reject_text; }
    // The realtime clock: seconds in the high 32 bits, nanoseconds in the low.
    static uint64_t convert_now_to_timestamp();
    int32_t GetLogonValue() const;      // the int32 at 53 of the logon answer
    int32_t GetServerTimeout() const;   // seconds, from the heart-beat setting answer
    bool IsHeartBeatRunning() const;
    bool IsReconnectRunning() const;
    // The index maps; false when the name is not known.
    bool FindAccountIndex(const char* name, int& index);
    bool FindSymbolIndex(const char* name, int& index);
    size_t AccountCount() const;
    size_t SymbolCount() const;
    // Flow-control windows (orders, cancels), as a copy.
    HUX_TRADE_CORE::flow_control_window GetOrderFlowControl() const;
    HUX_TRADE_CORE::flow_control_window GetCancelFlowControl() const;
    // Transmit timestamps of the kernel-bypass senders: with the keep flag
    // (a ready sender and keep_timestamps) the oldest count of them, count
    // cut to the number recorded; without it count becomes 0. The array is
    // not emptied.
    void GetTimestamps(long long* out, int& count);
    // The driver kind (0 ef_vi, 1 ExaNIC, 2 other) of the interface that owns
    // local_ip, its name into ifname (16 bytes); 2 when either is not found.
    int get_device_driver_type(const char* local_ip, char* ifname);
    // The driver the last detection found.
    std::string GetDriverName() const;
    bool IsUseVerifyData() const { return false; }
    static uint64_t SwichEndian(uint64_t value);
    static uint32_t SwichEndian32(uint32_t value);

    // ---- connection ----
    // Disconnects, then builds the UDP order channel and the TCP client the
    // record asks for. True on success; the connected event ("conn ok") comes
    // later from the TCP client.
    bool ConnServer(const HUX_TradeSvrInfo* info, bool mix);
    // Closes the TCP client and the UDP order channel; always true.
    bool DisConnServer();
    // The application's disconnect: sets the reconnect and heart-beat stop
    // flags, waits for both threads to end (not when called on one of the
    // session's own threads), then DisConnServer.
    bool StopAndDisConnServer();

    // ---- logon ----
    // 7 when not connected; LOGON_TEXT_TOO_LONG when the user id has more
    // than 32 characters, the application id more than 30 or the
    // authorisation code more than 18 (nothing is sent or kept); the terminal
    // report's code when it is not 0; 4 when the version report cannot be
    // sent; else 0. The outcome arrives through the logon callback.
    static constexpr int LOGON_TEXT_TOO_LONG = 256;
    int UserLogon(const char* user_id, const char* password, const char* app_id, const char* auth_code);
    // The terminal-information report that comes first in UserLogon: reports
    // the login and the terminal to the collection service at the kept
    // server address and TCP port and waits for its verdict. 0 lets the
    // logon go on; any other code (102, 103, another verdict byte, 105, 106,
    // 107, 110) is first given to the logon callback in a zero-filled record
    // with socket -1. Runs on the caller's thread and blocks it meanwhile.
    unsigned coll_rptr_report(const char* app_id, const char* auth_code, const char* login_id,
                              const char* password);

    // ---- sending ----
    // Direction 1: the UDP order channel when there is one, else TCP;
    // direction 2: TCP. The bytes sent; -1 on failure; -2 refused by flow
    // control. A 168-byte message of type 70 gets the local UDP port at 128.
    int SendMsgToHux(const char* name, char* data, int len, int direction);
    // New orders (type 10) and quotes (type 12). Over an ef_vi or ExaNIC
    // order channel each call counts one order and a warm-up call warms the
    // sender (at most once every 10 microseconds) and returns 8 (ef_vi) or
    // len (ExaNIC); otherwise a warm-up call sends nothing.
    int SendMsgToHuxForNewOrder(char* data, int len, int direction, int type, bool warm);
    // Two more ef_vi new-order senders the order functions do not use: the
    // message as a warm-up send (returns len), and the ef_vi path without the
    // send lock and without the warm-up spacing.
    int SendMsgToHuxForNewOrderEx(char* data, int len);
    int SendMsgToHuxForNewOrderEfVi(char* data, int len, bool warm);

    // ---- the TCPDirect plug-in ----
    // The plug-in this library carries (section .embedded_so), through a
    // temporary file; a plug-in file; "libdirectsock.so" beside this
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
    bool ChangeFCParam(unsigned order_limit, unsigned cancel_limit);

    // ---- receiving ----
    // One message from the front of the buffer: the bytes consumed, 0 = wait.
    int ProcReceiveMsg(const unsigned char* data, unsigned int len);

    // ---- heart-beat, reconnect, signals, CPU binding ----
    void start_send_heart_beat_thread();
    void stop_send_heart_beat_thread();
    void stop_check_and_reconn_thread();
    static void termination_handler(int sig);
    void bind_rsp_cpu_or_check_thread(const char* label, int cpu);
    void bind_req_cpu_or_check_thread(const char* label, int cpu);
    void bind_cpu_once(std::atomic<bool>& once, const char* key, std::atomic<unsigned long>& thread_id, const char* label,
                       int cpu);
    // Binds the calling thread to the listed CPUs; 0 or the failing call's code
    // (-1 for an empty list).
    static int set_cur_thread_affinity_np(const std::vector<int>& cpus);

    // The logon completion step: the callback once both index lists are complete.
    void trigger_logon_resp_event();

private:
    typedef MORVAST::TOOLS::map_str<int, 128, MORVAST::TOOLS::null_lock> index_map;

    struct retired_transport {
        trade_tcp_client* sync_client;
        socket_cache_client* async_client;
        pthread_t owner;  // the transport thread that retired it
    };

    // The message types this session knows, with their handlers.
    static const HUX_TRADE_CORE::msg_route_table& route_table();
    // The order, cancel, quote, combination and special-order answers.
    static void add_order_answer_routes(HUX_TRADE_CORE::msg_route_table& t);
    // Executions, order reports, posted orders and server-internal orders.
    static void add_report_routes(HUX_TRADE_CORE::msg_route_table& t);

    // Transport entries.
    static int sync_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param, void* context);
    static int async_cache_callback(socket_param& param, void* context);
    int sync_on_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param);
    int on_cache_callback(socket_param& param);
    void on_connection_event(int event);
    unsigned on_receive(const char* data, unsigned len);

    // Answer handlers (called by the dispatcher with the session).
    static void on_report_version_resp(void* session, const unsigned char* msg);
    static void on_logon_msg_resp(void* session, const unsigned char* msg);
    static void on_account_idx_resp(void* session, const unsigned char* msg);
    static void on_symbol_idx_resp(void* session, const unsigned char* msg);
    static void on_set_heart_beat_resp(void* session, const unsigned char* msg);
    void proc_report_version_resp(const unsigned char* msg);
    void proc_logon_msg_resp(const unsigned char* msg);
    void proc_account_idx_resp(const unsigned char* msg);
    void proc_symbol_idx_resp(const unsigned char* msg);
    void proc_set_heart_beat_resp(const unsigned char* msg);
    void report_logon(int result, const HUX_LogonResponse* base);

    // Status and query answers; they run without the logon test.
    static void on_query_account_bp_resp(void* session, const unsigned char* msg);
    static void on_query_market_session_resp(void* session, const unsigned char* msg);
    static void on_market_session_stat_report(void* session, const unsigned char* msg);
    static void on_symbol_status_report(void* session, const unsigned char* msg);
    static void on_symbol_status_query_resp(void* session, const unsigned char* msg);
    static void on_prod_status_report(void* session, const unsigned char* msg);
    static void on_session_id_query_resp(void* session, const unsigned char* msg);
    static void on_req_for_quote_report(void* session, const unsigned char* msg);
    void ProcQueryAccountBpResp(const unsigned char* msg);
    void ProcQueryMarketSessionRespMsg(const unsigned char* msg);
    void ProcMarketSessionStatReportMsg(const unsigned char* msg);
    void ProcSymbolStatusChangedReportMsg(const unsigned char* msg);
    void ProcSymbolStatusQueryRespMsg(const unsigned char* msg);
    void ProcProdStatusChangedReportMsg(const unsigned char* msg);
    void ProcSessionIDQueryRespMsg(const unsigned char* msg);
    void ProcReqForQuoteReportMsg(const unsigned char* msg);
    bool send_symbol_query();

    // Kernel-bypass steps of the connect and disconnect.
    bool detect_card(const HUX_TradeSvrInfo& info, const char* local_ip, bool udp_channel);
    // 1: a bypass sender is ready; 0: the kernel UDP sender is wanted; -1: failed.
    int open_bypass_udp(const HUX_TradeSvrInfo& info, const char* server_ip, const char* local_ip);
    void close_bypass_senders();
    bool open_zf(const char* server_ip, uint16_t tcp_port);
    // The plug-in's part of DisConnServer; true when "local disconnected"
    // is to be reported.
    bool close_zf();
    void on_zf_connected();
    void write_version_lines(bool exanic);
    int send_new_order_bypass(char* data, int len, int type, bool warm, bool locked, bool spaced);

    // Connect and disconnect helpers.
    void report_connection(int code, const char* text);
    bool install_sigint_handler();
    void close_transports();
    void free_retired(bool all);
    bool on_own_transport_thread() const;
    int tcp_socket() const;
    void pause_ms(unsigned ms) const;

    // Threads.
    void heart_beat_thread();
    void reconnect_thread();
    int try_reconnect();  // 0 logged on, 1 stopped
    // Waits for the thread in the slot to end; on that thread itself it
    // detaches it when detach_self is set and leaves it alone otherwise.
    void join_thread(std::thread& slot, std::atomic<bool>& stop, bool detach_self);
    void start_reconnect_thread();

    void log_info(const char* text);
    void log_line(const char* category, const char* text);

    // Identity and state.
    void* const m_user_param;
    std::atomic<int> m_state;
    std::atomic<bool> m_logged_on;
    std::atomic<bool> m_logon_sent;
    std::atomic<bool> m_qv27;
    std::atomic<bool> m_mix;

    // Transports.
    std::atomic<trade_tcp_client*> m_sync_client;
    std::atomic<socket_cache_client*> m_async_client;
    std::atomic<CLIENT_UDP_SCKT_ONLY::socket_unicast*> m_udp_client;
    std::atomic<bool> m_has_udp_channel;
    std::atomic<bool> m_async_mode;
    std::atomic<bool> m_blocking_tcp;
    std::atomic<int> m_driver_type;
    std::atomic<uint16_t> m_local_udp_port;
    std::atomic<int> m_max_wait_ms;
    std::mutex m_retired_lock;
    std::vector<retired_transport> m_retired;

    // Kernel-bypass transports. The sender pointers change only in ConnServer
    // and DisConnServer.
    std::atomic<ef_vi_udp_sender*> m_ef_vi{nullptr};
    std::atomic<exanic_udp_client*> m_exanic{nullptr};
    std::atomic<bool> m_ef_vi_ready{false};
    std::atomic<bool> m_exanic_ready{false};
    std::atomic<bool> m_bypass_in_use{true};    // cleared for good by mix, kernel_bypass 0 or a refused VI
    std::atomic<bool> m_zf_first_init{true};    // card detection runs while set
    mutable std::mutex m_card_lock;             // guards the two names
    char m_ifname[16];
    char m_driver_name[16];
    long long m_last_warm_us;                   // the last bypass warm-up, under the send lock
    // Transmit timestamps, filled on the sending thread; the lock is taken
    // only while the keep flag is on.
    // The TCPDirect plug-in: its loader (with the object) and the object. The
    // close spin lock serialises loading, initialising and closing.
    std::unique_ptr<hux_bypass::zf_loader> m_zf_loader;
    std::atomic<i_zf_tcp_client_sock*> m_zf{nullptr};
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_zf_close_lock;
    bool m_zf_has_stack = false;  // a first-time init succeeded, no full close since
    std::atomic<bool> m_zf_in_init{false};
    std::atomic<bool> m_zf_connect_pending{false};
    // Plug-ins closed from one of their own callbacks, freed later from
    // another thread.
    struct retired_zf {
        std::unique_ptr<hux_bypass::zf_loader> loader;
        pthread_t owner;
    };
    std::vector<retired_zf> m_zf_retired;
    // The plug-in's unfinished message, kept for the bytes that complete it.
    MORVAST::TOOLS::stream_buffer m_zf_tail{2048};
    std::atomic<bool> m_keep_timestamps{false};
    std::mutex m_ts_lock;
    std::vector<long long> m_timestamps;

    std::atomic<bool> m_first_connect;
    std::atomic<bool> m_reconnecting;
    std::atomic<bool> m_sigint_installed;

    // Logs.
    base_log m_log;
    base_log m_bin_log;
    std::atomic<bool> m_logger_on;

    // Logon.
    std::mutex m_logon_text_lock;
    std::string m_logon_user;
    std::string m_logon_password;
    std::string m_logon_app_id;
    std::string m_logon_auth_code;
    std::atomic<uint32_t> m_user_id;
    std::atomic<int32_t> m_logon_value;
    uint32_t m_max_token;
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_token_lock;
    HUX_LogonResponse m_logon_rsp;
    index_map m_account_map;
    index_map m_symbol_map;
    // The receive thread fills the index maps while the application may
    // already look names up (order entry opens at the logon answer, before
    // the tables come): lookups share this lock, the page handlers hold it
    // alone, so no lookup ever sees a table being grown.
    mutable std::shared_mutex m_index_lock;
    uint16_t m_page_no;
    uint16_t m_page_size;
    bool m_accounts_complete;
    bool m_symbols_complete;

    // Flow control and the send lock.
    HUX_TRADE_CORE::flow_control_window m_order_fc;
    HUX_TRADE_CORE::flow_control_window m_cancel_fc;
    ULTRA_LOW_LATENCY_CLIENT::ull_mlock m_send_lock;
    std::atomic<bool> m_send_lock_on;

    // Heart-beat and reconnect.
    std::mutex m_thread_lock;  // guards the two thread objects and m_destroying
    bool m_destroying;
    std::thread m_hb_thread;
    std::atomic<bool> m_hb_running;
    std::atomic<bool> m_hb_stop;
    std::atomic<bool> m_hb_wanted;
    std::atomic<int32_t> m_server_timeout;
    std::atomic<long long> m_last_recv_sec;
    int32_t m_hb_counter;  // used by one heart-beat thread at a time
    std::thread m_rc_thread;
    std::atomic<bool> m_rc_running;
    std::atomic<bool> m_rc_stop;
    std::atomic<bool> m_auto_reconnect;

    // CPU binding.
    std::atomic<bool> m_rsp_cpu_bound;
    std::atomic<bool> m_req_cpu_bound;
    std::atomic<unsigned long> m_rsp_thread_id;
    std::atomic<unsigned long> m_req_thread_id;

    // Callbacks.
    trade_answer_events m_answer_events;
    CRejectReasonText m_reject_text;
    std::atomic<HUX_ConnectionEvent> m_on_connection;
    std::atomic<HUX_UserLogonEvent> m_on_logon;
    std::atomic<HUX_HeartBeatTimeoutEvent> m_on_hb_timeout;
    std::atomic<HUX_QueryOtAccountBPEvent> m_on_account_bp{nullptr};
    std::atomic<HUX_QueryMarketSessionEvent> m_on_market_session{nullptr};
    std::atomic<HUX_MarketSessionStatReportEvent> m_on_market_session_stat{nullptr};
    std::atomic<HUX_SymbolStatusReportEvent> m_on_symbol_status_report{nullptr};
    std::atomic<HUX_QuerySymbolStatusEvent> m_on_symbol_status_query{nullptr};
    std::atomic<HUX_ProdStatusReportEvent> m_on_prod_status{nullptr};
    std::atomic<HUX_QuerySessionIDEvent> m_on_session_id{nullptr};
    std::atomic<HUX_InputRegForQuoteEvent> m_on_req_for_quote{nullptr};

    // The kept connection record and the waits.
    mutable std::mutex m_info_lock;
    HUX_TradeSvrInfo m_info;
    std::atomic<int32_t> m_symbol_selector;
    std::atomic<unsigned> m_t_reconnect_wait_count;
    std::atomic<unsigned> m_t_reconnect_wait_ms;
    std::atomic<unsigned> m_t_logon_first_wait_ms;
    std::atomic<unsigned> m_t_logon_wait_count;
    std::atomic<unsigned> m_t_logon_wait_ms;
    std::atomic<unsigned> m_t_reconnect_idle_ms;
    std::atomic<unsigned> m_t_close_pause_ms;
    std::atomic<unsigned> m_t_heart_beat_tick_ms;
    std::atomic<unsigned> m_t_tcp_stop_wait_ms;
    std::atomic<unsigned> m_t_coll_connect_wait_ms;
    std::atomic<unsigned> m_t_coll_version_wait_ms;
    std::atomic<unsigned> m_t_coll_verdict_wait_ms;
    std::atomic<unsigned> m_t_coll_report_wait_ms;
};

}  // namespace HUX_TRADE

#endif

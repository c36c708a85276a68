// The session core: construction, set-up, state, connect and disconnect, and
// the CPU binding (not on Windows). The SIGINT handler is session_sigint's.
#include "session/trade_session_core.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "net/socket_cache_client.h"
#include "net/socket_unicast.h"
#include "session/session_logs.h"
#include "session/session_sigint.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"
#include "tools/tool_function.h"

#ifndef _WIN32
extern "C" {
uint8_t g_handle_sig = 0;
uint8_t g_reconnecting = 0;
uint8_t g_is_close = 0;
i_zf_tcp_client_sock* g_zf_sync_trade_client = nullptr;
}
#endif

namespace HUX_SESSION {

using MORVAST::TOOLS::snprintf_mv;

namespace {

const int LOG_TEXT_LEN = 512;

}  // namespace

session_server_info default_server_info() {
    session_server_info info;
    memset(&info, 0, sizeof(info));
    info.kernel_bypass = 1;
    info.exit_on_signal = 1;
    info.heartbeat_interval = 5;
    info.rsp_cpu = -1;
    return info;
}

trade_session_core::trade_session_core(const session_traits& traits, void* user_param)
    : m_traits(traits),
      m_logger_on(false),
      m_state(TRADE_STATE_NEW),
      m_logged_on(false),
      m_logon_sent(false),
      m_qv27(false),
      m_mix(false),
      m_auto_reconnect(false),
      m_rc_running(false),
      m_driver_type(2),
      m_user_param(user_param),
      m_sync_client(nullptr),
      m_async_client(nullptr),
      m_udp_client(nullptr),
      m_has_udp_channel(false),
      m_async_mode(false),
      m_blocking_tcp(false),
      m_local_udp_port(0),
      m_max_wait_ms(DEFAULT_EPOLL_WAIT_MS),
      m_first_connect(true),
      m_reconnecting(false),
#ifndef _WIN32
      m_sigint_installed(false),
#endif
      m_user_id(0),
      m_logon_value(0),
      m_max_token(0),
      m_send_lock_on(false),
      m_destroying(false),
      m_hb_running(false),
      m_hb_stop(false),
      m_server_timeout(0),
      m_last_recv_sec(0),
      m_hb_counter(0),
      m_rc_stop(false),
#ifndef _WIN32
      m_rsp_cpu_bound(false),
      m_req_cpu_bound(false),
      m_rsp_thread_id(0),
      m_req_thread_id(0),
#endif
      m_info(default_server_info()) {
    precise_time::initialize();
    memset(&m_logon_values, 0, sizeof(m_logon_values));
#ifndef _WIN32
    m_zf_loader.reset(new hux_bypass::zf_loader(&m_log));
    memset(m_ifname, 0, sizeof(m_ifname));
    memset(m_driver_name, 0, sizeof(m_driver_name));
    m_last_warm_us = 0;
    sigint_session_added();
#endif
    SetTimings(TradeClientTimings());
    open_session_logs(m_log, m_bin_log, m_traits.log_prefix);
    log_info("create trade client");
    m_log.write_important_txt("api version", m_traits.api_version);
}

void trade_session_core::shutdown() {
    if (m_shut_down.exchange(true)) return;
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        m_destroying = true;
    }
    m_hb_stop = true;
    request_reconnect_stop();
    // The reconnect thread connects: it ends before the transports go, and
    // with it every reconnect, so that the kernel-bypass senders go too.
    join_thread(m_rc_thread, m_rc_stop, true);
    m_reconnecting = false;
    disconnect_server();
    join_thread(m_hb_thread, m_hb_stop, true);
    if (!HUX_NET::transport_scope::inside_any())
        while (m_callback_closes.load() != 0) pause_ms(1);
}

trade_session_core::~trade_session_core() {
    shutdown();
    free_retired();
    delete m_tcp_context.exchange(nullptr);
    log_info("destroy trade client");
    m_log.close();
    m_bin_log.close();
#ifndef _WIN32
    sigint_session_removed();
#endif
}

// ---- set-up ----

void trade_session_core::SetLogDir(const char* dir) { set_session_log_dir(m_log, m_bin_log, dir); }

void trade_session_core::SetLoggerSwitch(bool on) { m_logger_on = on; }

void trade_session_core::LoggerFlush() {
    m_log.flush_all();
    m_bin_log.flush_all();
}

void trade_session_core::SetAsyncReceiveMode() { m_async_mode = true; }

void trade_session_core::SetMaxWaitTime(int milliseconds) {
    if (milliseconds < 0) return;
    m_max_wait_ms = milliseconds;
    transport_reader reader(m_transport_readers);
    if (m_traits.max_wait_to_epoll_at_once) {
        trade_tcp_client* sync_client = m_sync_client.load();
        if (sync_client) sync_client->set_epoll_max_wait_time(milliseconds);
    }
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) async_client->set_epoll_max_wait_time(milliseconds);
}

void trade_session_core::SetAutoReconnect(bool on) { m_auto_reconnect = on; }

void trade_session_core::SetTimings(const TradeClientTimings& t) {
    m_t_reconnect_wait_count = t.reconnect_wait_count;
    m_t_reconnect_wait_ms = t.reconnect_wait_ms;
    m_t_logon_first_wait_ms = t.logon_first_wait_ms;
    m_t_logon_wait_count = t.logon_wait_count;
    m_t_logon_wait_ms = t.logon_wait_ms;
    m_t_reconnect_idle_ms = t.reconnect_idle_ms;
    m_t_close_pause_ms = t.close_pause_ms;
    m_t_heart_beat_tick_ms = t.heart_beat_tick_ms;
    m_t_tcp_stop_wait_ms = t.tcp_stop_wait_ms;
    m_t_coll_connect_wait_ms = t.coll_connect_wait_ms;
    m_t_coll_version_wait_ms = t.coll_version_wait_ms;
    m_t_coll_verdict_wait_ms = t.coll_verdict_wait_ms;
    m_t_coll_report_wait_ms = t.coll_report_wait_ms;
}

TradeClientTimings trade_session_core::GetTimings() const {
    TradeClientTimings t;
    t.reconnect_wait_count = m_t_reconnect_wait_count;
    t.reconnect_wait_ms = m_t_reconnect_wait_ms;
    t.logon_first_wait_ms = m_t_logon_first_wait_ms;
    t.logon_wait_count = m_t_logon_wait_count;
    t.logon_wait_ms = m_t_logon_wait_ms;
    t.reconnect_idle_ms = m_t_reconnect_idle_ms;
    t.close_pause_ms = m_t_close_pause_ms;
    t.heart_beat_tick_ms = m_t_heart_beat_tick_ms;
    t.tcp_stop_wait_ms = m_t_tcp_stop_wait_ms;
    t.coll_connect_wait_ms = m_t_coll_connect_wait_ms;
    t.coll_version_wait_ms = m_t_coll_version_wait_ms;
    t.coll_verdict_wait_ms = m_t_coll_verdict_wait_ms;
    t.coll_report_wait_ms = m_t_coll_report_wait_ms;
    return t;
}

// ---- state ----

// The synchronous client first, then the asynchronous one, then (not on
// Windows) the TCPDirect plug-in object.
bool trade_session_core::IsConnect() {
    // Counted as a reader: a disconnect on another thread frees no client
    // while a reader may still hold it.
    transport_reader reader(m_transport_readers);
    trade_tcp_client* sync_client = m_sync_client.load();
    if (sync_client) return sync_client->is_connected();
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) return async_client->is_connected();
#ifdef _WIN32
    return false;
#else
    i_zf_tcp_client_sock* zf = m_zf.load();
    return zf && zf->is_connected();
#endif
}

bool trade_session_core::IsLogon() const { return m_logged_on; }
bool trade_session_core::IsQv27Version() const { return m_qv27; }
void* trade_session_core::GetUserParam() const { return m_user_param; }
uint32_t trade_session_core::GetUserID() const { return m_user_id; }
void trade_session_core::SetUserId(uint32_t user_id) { m_user_id = user_id; }
int trade_session_core::GetState() const { return m_state; }
int trade_session_core::GetDriverType() const { return m_driver_type; }
int32_t trade_session_core::GetLogonValue() const { return m_logon_value; }
int32_t trade_session_core::GetServerTimeout() const { return m_server_timeout; }
bool trade_session_core::IsHeartBeatRunning() const { return m_hb_running; }
bool trade_session_core::IsReconnectRunning() const { return m_rc_running; }

logon_values trade_session_core::GetLogonValues() const {
    std::lock_guard<std::mutex> guard(m_values_lock);
    return m_logon_values;
}

#ifdef _WIN32
uint32_t trade_session_core::GetMaxToken() {
    MORVAST::TOOLS::mutex_locker guard(m_token_lock);
    return m_max_token;
}

bool trade_session_core::SetMaxToken(uint32_t token) {
    MORVAST::TOOLS::mutex_locker guard(m_token_lock);
    const bool raised = m_max_token < token;
    if (raised) m_max_token = token;
    return raised;
}

// No kernel-bypass sender keeps transmit times on Windows.
void trade_session_core::GetTimestamps(long long*, int& count) { count = 0; }
#else
uint32_t trade_session_core::GetMaxToken() {
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_token_lock);
    uint32_t token = m_max_token;
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_token_lock);
    return token;
}

bool trade_session_core::SetMaxToken(uint32_t token) {
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_token_lock);
    const bool raised = m_max_token < token;
    if (raised) m_max_token = token;
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_token_lock);
    return raised;
}
#endif

HUX_TRADE_CORE::flow_control_window trade_session_core::GetOrderFlowControl() const { return m_order_fc; }
HUX_TRADE_CORE::flow_control_window trade_session_core::GetCancelFlowControl() const { return m_cancel_fc; }

// With the send lock on, the windows change under it, as senders count in
// them under it.
bool trade_session_core::ChangeFCParam(unsigned order_limit, unsigned cancel_limit) {
    flow_windows_change change(*this);
    return HUX_TRADE_CORE::flow_control_change(m_order_fc, m_cancel_fc, order_limit, cancel_limit);
}

#ifndef _WIN32
uint64_t trade_session_core::convert_now_to_timestamp() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(static_cast<uint32_t>(now.tv_sec)) << 32) | static_cast<uint32_t>(now.tv_nsec);
}
#endif

session_server_info trade_session_core::server_info() const {
    std::lock_guard<std::mutex> guard(m_info_lock);
    return m_info;
}

void trade_session_core::log_info(const char* text) { m_log.write_txt("info", text); }
void trade_session_core::log_line(const char* category, const char* text) { m_log.write_txt(category, text); }

void trade_session_core::pause_ms(unsigned ms) const {
    if (ms) MORVAST::TOOLS::sleep_mv(ms);
}

bool trade_session_core::on_own_transport_thread() const { return HUX_NET::transport_scope::inside(this); }

bool trade_session_core::transport_installed() const {
#ifdef _WIN32
    return m_tcp_context.load() != nullptr;
#else
    return m_tcp_context.load() != nullptr || m_zf.load() != nullptr;
#endif
}

const char* trade_session_core::handled_label(const HUX_TRADE_CORE::msg_route& route, uint16_t, const unsigned char*) {
    return route.name;
}

// ---- connection ----

bool trade_session_core::connect_server(const session_server_info& info, bool mix) {
    char text[LOG_TEXT_LEN];
    // A negative interval would make the heart-beat thread send on every
    // tick: refused before anything changes, the live connection included.
    if (info.heartbeat_interval < 0) {
        snprintf_mv(text, sizeof(text), "invalid heartbeat interval %d, cannot be negative.",
                    static_cast<int>(info.heartbeat_interval));
        log_info(text);
        return false;
    }
#ifdef _WIN32
    // Written once, whether that first connect succeeds or not.
    if (m_first_connect.exchange(false)) log_info("create trade conn");
#else
    if (m_first_connect) log_info("create trade conn");
#endif
    m_send_lock_on = info.send_lock != 0;

    disconnect_server();
    // No logon request has gone out on the connection about to open.
    m_logon_sent = false;
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_info = info;
    }
    m_mix = mix;
    // Kept on Windows too, where there is no blocking client.
    m_blocking_tcp = info.blocking_tcp != 0;
#ifndef _WIN32
    __atomic_store_n(&g_handle_sig, info.exit_on_signal, __ATOMIC_RELAXED);
#endif

    const char* server_ip = info.server_ip;
    const char* local_ip = info.local_ip;
    const uint16_t tcp_port = info.tcp_port;
    const uint16_t udp_port = info.udp_port;
    const uint16_t local_udp_port = info.local_udp_port;

    const bool udp_channel = local_ip[0] != '\0' && local_udp_port != 0 && udp_port != 0;
    m_has_udp_channel = false;
    m_local_udp_port = 0;
    if (udp_channel && udp_port == tcp_port) {
        snprintf_mv(text, sizeof(text),
                    "invalid trade port params.udp trade port %u, cannot be same as trade tcp port:%u.",
                    static_cast<unsigned>(udp_port), static_cast<unsigned>(tcp_port));
        log_info(text);
        return false;
    }

#ifdef _WIN32
    // No card detection and no kernel-bypass sender: the order channel is
    // always the kernel UDP sender.
    const int bypass = 0;
#else
    if (m_traits.bypass_off_for_good) {
        // Mix or kernel_bypass 0 turn kernel bypass off for good.
        if (mix || info.kernel_bypass == 0) m_bypass_in_use = false;
    } else {
        m_bypass_in_use = !mix && info.kernel_bypass != 0;
    }
    if (!detect_card(info, udp_channel)) return false;
#endif

    if (udp_channel) {
#ifndef _WIN32
        const int bypass = m_bypass_in_use ? open_bypass_udp(info) : 0;
#endif
        if (bypass < 0) return false;
        if (bypass == 0) {
            CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = new CLIENT_UDP_SCKT_ONLY::socket_unicast();
            if (!udp->sock_init(server_ip, udp_port, local_ip, local_udp_port, 0, nullptr)) {
                delete udp;
                snprintf_mv(text, sizeof(text), "udp init failed. remote ip,port[%s, %u], local ip,port[%s, %u]",
                            server_ip, static_cast<unsigned>(udp_port), local_ip,
                            static_cast<unsigned>(local_udp_port));
                log_info(text);
                return false;
            }
            m_udp_client = udp;
        }
        m_has_udp_channel = true;
        m_local_udp_port = local_udp_port;
    }

    bool opened;
    int max_wait = m_max_wait_ms;
    tcp_context* ctx = new tcp_context{this, {false}};
    {
        std::lock_guard<std::mutex> guard(m_conn_event_lock);
        delete m_tcp_context.exchange(ctx);
    }
    unsigned stop_wait = m_t_tcp_stop_wait_ms;
    if (m_async_mode) {
        socket_cache_client* client = new socket_cache_client(TCP_CACHE_SIZE);
        client->set_epoll_max_wait_time(max_wait);
        client->set_stop_poll_limit(static_cast<int>(stop_wait > 0x7fffffffu ? 0x7fffffffu : stop_wait));
        m_async_client = client;
        opened = client->sock_init(server_ip, tcp_port, &trade_session_core::async_cache_callback, ctx);
#ifndef _WIN32
    } else if (info.tcp_direct && m_driver_type == 0 && (udp_channel || !mix)) {
        // TCPDirect on a Solarflare card: the plug-in the library carries.
        opened = open_zf(server_ip, tcp_port);
#endif
    } else {
        trade_tcp_client* client = new trade_tcp_client(TCP_CACHE_SIZE);
        client->set_stop_wait_time(stop_wait);
        // Marked open before its thread can report, so that a disconnect from
        // inside the first event finds it open.
        client->set_opened(true);
        m_sync_client = client;
#ifndef _WIN32
        if (m_blocking_tcp) {
            opened = client->sock_init_ex(server_ip, tcp_port, &trade_session_core::sync_cache_callback, ctx);
        } else
#endif
        {
            client->set_epoll_max_wait_time(max_wait);
            opened = client->sock_init(server_ip, tcp_port, &trade_session_core::sync_cache_callback, ctx);
        }
        if (!opened) client->set_opened(false);
    }
    if (!opened) {
        snprintf_mv(text, sizeof(text), "open trade servr %s:%d failed.", server_ip, static_cast<int>(tcp_port));
        log_info(text);
        return false;
    }

#ifndef _WIN32
    // The plug-in object the SIGINT handler closes: this session's, or none.
    __atomic_store_n(&g_zf_sync_trade_client, m_zf.load(), __ATOMIC_RELEASE);
    if (m_traits.sigint_every_connect || !m_sigint_installed) {
        if (!install_sigint_handler()) return false;
        m_sigint_installed = true;
    }
    m_first_connect = false;
#endif
    snprintf_mv(text, sizeof(text), m_traits.open_ok_format, server_ip, static_cast<int>(tcp_port));
    log_info(text);
    return true;
}

#ifndef _WIN32
bool trade_session_core::install_sigint_handler() {
    const int error = sigint_install();
    if (error != 0) {
        char text[LOG_TEXT_LEN];
        snprintf_mv(text, sizeof(text), "sigaction(): %s", strerror(error));
        log_info(text);
        return false;
    }
    log_info("sigaction() regsiter SIGINT success.");
    return true;
}
#endif

// The TCP client's part of the disconnect. `report_local` is set when the
// epoll client was open ("local disconnected" to report).
//
// A client is never freed under its own threads, and a close made inside
// any transport's callback never waits for a client's threads (the other
// session's callback may be waiting for this thread): on the client's own
// thread it is closed (which does not wait there) and kept; on another
// session's callback thread its socket is only shut down and its events
// are ignored from then on. Either way a later call from a thread outside
// every callback closes and frees it. A client whose close could not stop
// its thread in time is retired too, and freed the same way: its destructor
// waits for that thread, and no thread frees it from inside a callback.
void trade_session_core::close_tcp(bool& report_local) {
    const bool own_thread = on_own_transport_thread();
    const bool foreign_callback = !own_thread && HUX_NET::transport_scope::inside_any();
    const unsigned pause = m_t_close_pause_ms;
    tcp_context* ctx = m_tcp_context.exchange(nullptr);
    trade_tcp_client* sync_client = nullptr;
    socket_cache_client* async_client = m_async_client.exchange(nullptr);
    bool sync_stopped = true;
    if (!async_client) sync_client = m_sync_client.exchange(nullptr);
    if (foreign_callback && ctx) {
        ctx->dropped = true;
        mv_shutdown_socket(async_client  ? async_client->get_socket()
                        : sync_client ? sync_client->get_socket()
                                      : MV_INVALID_SOCKET);
        if (async_client || sync_client) {
            log_info("close trade client");
            if (sync_client && sync_client->opened()) report_local = true;
            if (sync_client) sync_client->set_opened(false);
        }
    } else if (async_client) {
#ifdef _WIN32
        // The asynchronous client's close reports nothing on Windows.
        if (ctx) ctx->dropped = true;
#endif
        async_client->sock_close();
        log_info("close trade client");
        pause_ms(pause);
    } else if (sync_client) {
        bool was_open = sync_client->opened();
        sync_stopped = sync_client->sock_close();
        sync_client->set_opened(false);
        if (was_open) {
            log_info("close trade client");
            report_local = true;
        }
    }
    if (!async_client && !sync_client) {
        delete ctx;
        return;
    }
    if (own_thread || foreign_callback || !sync_stopped) {
        // Closing again from another thread waits for the transport's
        // threads to have left the object before it goes.
        m_retired.retire([this, async_client, sync_client, ctx] {
            if (async_client) async_client->sock_close();
            if (sync_client) sync_client->sock_close();
            wait_transport_readers();
            delete async_client;
            delete sync_client;
            delete ctx;
        });
    } else {
        // Senders and readers (IsConnect, the socket queries) that loaded
        // the pointer before it was swapped out are done with it before it
        // goes.
        wait_transport_readers();
        delete async_client;
        delete sync_client;
        delete ctx;
    }
}

void trade_session_core::wait_transport_readers() const {
    if (m_transport_readers.load() == 0) return;
    MORVAST::TOOLS::test_hook("close: transport readers in flight", this);
    while (m_transport_readers.load() != 0) std::this_thread::yield();
}

void trade_session_core::close_udp() {
    CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = m_udp_client.exchange(nullptr);
    m_has_udp_channel = false;
    if (!udp) return;
    // A send that loaded the sender finishes before its descriptor closes.
    wait_transport_readers();
    udp->sock_close();
    log_info("close udp client");
    pause_ms(m_t_close_pause_ms);
    delete udp;
}

bool trade_session_core::disconnect_server() {
    // A disconnect made inside a callback (of this session or another) is
    // counted until it is done: the destructor, on another thread, waits
    // for it rather than free what it still uses.
    struct callback_close {
        std::atomic<int>* count;
        explicit callback_close(std::atomic<int>* c) : count(HUX_NET::transport_scope::inside_any() ? c : nullptr) {
            if (count) ++*count;
        }
        ~callback_close() {
            if (count) --*count;
        }
    } counted(&m_callback_closes);
    // Every disconnect stops the heart-beat, and the heart-beat thread, which
    // sends on the TCP client, ends before the client is closed, and before
    // a retired client it may still be sending on is freed.
    join_thread(m_hb_thread, m_hb_stop, false);
    free_retired();

    bool report_local = false;
    bool report_zf = false;
#ifdef _WIN32
    // No plug-in and no kernel-bypass sender on Windows.
    close_tcp(report_local);
    close_udp();
#else
    if (m_traits.plugin_first_close) {
        report_zf = close_zf();
        // A reconnect keeps the kernel-bypass senders (the next connect
        // resets them in place) and the plug-in's stack.
        if (!m_reconnecting) close_bypass_senders();
        close_tcp(report_local);
        close_udp();
    } else {
        close_tcp(report_local);
        close_udp();
        if (!m_reconnecting) close_bypass_senders();
        report_zf = close_zf();
    }

    // Reported once the closes are done and no lock is held: a hook may
    // disconnect again.
    if (report_zf && m_traits.plugin_first_close) {
        report_connection(99, "remote disconnected");
        m_logged_on = false;
        m_logon_sent = false;
        m_state = TRADE_STATE_DROPPED;
    }
#endif
    if (report_local || (report_zf && !m_traits.plugin_first_close)) {
        report_connection(3, "local disconnected");
        m_logged_on = false;
        m_logon_sent = false;
        m_state = TRADE_STATE_CLOSED;
    }
    return true;
}

bool trade_session_core::StopAndDisConnServer() {
    stop_threads();
    return disconnect_server();
}

void trade_session_core::stop_threads() {
    request_reconnect_stop();
    m_hb_stop = true;
    // On a transport thread (this session's or another's) the reconnect
    // thread may be waiting for this very thread to end; it is left to end
    // by itself (the destructor joins it).
    if (!HUX_NET::transport_scope::inside_any()) {
        join_thread(m_rc_thread, m_rc_stop, false);
        // No reconnect runs any more: the disconnect releases everything.
        m_reconnecting = false;
    }
    join_thread(m_hb_thread, m_hb_stop, false);
}

// Frees the retired transports, except those retired by the calling thread
// (it may still be inside their callback).
void trade_session_core::free_retired() { m_retired.free_ready(); }

#ifndef _WIN32
// ---- CPU binding ----

// The first call on a session only: reports the binding under `key` in the
// important log and on standard output, then binds the calling thread.
void trade_session_core::bind_cpu_once(std::atomic<bool>& once, const char* key,
                                       std::atomic<unsigned long>& thread_id, const char* label, int cpu) {
    if (once.exchange(true)) return;
    char text[LOG_TEXT_LEN];
    snprintf_mv(text, sizeof(text), "trade:[%s], binding CPU:[%d]", label ? label : "", cpu);
    m_log.write_important_txt(key, text);
    printf("%s\n", text);
    fflush(stdout);
    if (cpu >= 0) {
        set_cur_thread_affinity_np(std::vector<int>(1, cpu));
        thread_id = static_cast<unsigned long>(pthread_self());
    }
}

void trade_session_core::bind_rsp_cpu_or_check_thread(const char* label, int cpu) {
    bind_cpu_once(m_rsp_cpu_bound, "rsp cpu", m_rsp_thread_id, label, cpu);
}

void trade_session_core::bind_req_cpu_or_check_thread(const char* label, int cpu) {
    bind_cpu_once(m_req_cpu_bound, "req cpu", m_req_thread_id, label, cpu);
}

int trade_session_core::set_cur_thread_affinity_np(const std::vector<int>& cpus) {
    if (cpus.empty()) return -1;
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    cpu_set_t mask;
    CPU_ZERO(&mask);
    for (int id : cpus) {
        if (id < 0 || id >= online) {
            printf("invalid cpu id: %d\n", id);
            continue;
        }
        if (id < CPU_SETSIZE) CPU_SET(id, &mask);
    }
    int rc = pthread_setaffinity_np(pthread_self(), sizeof(mask), &mask);
    if (rc != 0) {
        printf("pthread_setaffinity_np return %d.\n", rc);
        fflush(stdout);
        return rc;
    }
    CPU_ZERO(&mask);
    rc = pthread_getaffinity_np(pthread_self(), sizeof(mask), &mask);
    if (rc != 0) {
        printf("pthread_getaffinity_np return %d.\n", rc);
        fflush(stdout);
        return rc;
    }
    unsigned long lwp = static_cast<unsigned long>(syscall(SYS_gettid));
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &mask))
            printf("thread[%lu][LWP %lu] after set affinity: CPU %d\n", static_cast<unsigned long>(pthread_self()),
                   lwp, cpu);
    }
    fflush(stdout);
    return 0;
}
#endif

}  // namespace HUX_SESSION

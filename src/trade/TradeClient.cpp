// The trade session object: construction, set-up, state, ConnServer and
// DisConnServer, the SIGINT handler and the CPU binding.
#include "trade/TradeClient.h"

#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/cross_platform_api.h"
#include "tools/tool_function.h"
#include "net/socket_cache_client.h"
#include "tools/precise_time.h"
#include "net/socket_unicast.h"
#include "trade_core/trade_msg.h"
#include "session/session_logs.h"

extern "C" {
uint8_t g_handle_sig = 0;
uint8_t g_reconnecting = 0;
uint8_t g_is_close = 0;
i_zf_tcp_client_sock* g_zf_sync_trade_client = nullptr;
}

namespace HUX_TRADE {

using MORVAST::TOOLS::snprintf_mv;

namespace {

using HUX_SESSION::LOG_NAME_LEN;
const int LOG_TEXT_LEN = 512;

// The dotted address of a 16-byte record field, which need not hold a NUL.
void copy_ip_field(char (&out)[17], const char (&field)[16]) {
    memcpy(out, field, sizeof(field));
    out[16] = '\0';
}

// The SIGINT handler belongs to the library only while a session exists: the
// disposition found when the handler was first installed is put back when
// the last session object goes, and at library unload, so that a SIGINT
// never jumps into code that is no longer mapped. It is put back only while
// the library's handler is still the one installed: a handler the
// application set afterwards stays.
struct sigint_owner {
    std::mutex lock;
    unsigned sessions = 0;   // session objects alive
    bool installed = false;  // our handler was installed over `previous`
    struct sigaction previous;

    void restore_locked() {
        if (!installed) return;
        installed = false;
        struct sigaction current;
        if (sigaction(SIGINT, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == &CTradeClient::termination_handler)
            sigaction(SIGINT, &previous, nullptr);
    }
};

// Never destroyed: the unload hook below and sessions destroyed during exit
// may still use it.
sigint_owner& sigint_state() {
    static sigint_owner* state = new sigint_owner;
    return *state;
}

__attribute__((destructor)) void restore_sigint_at_unload() {
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.restore_locked();
}

}  // namespace

CTradeClient::CTradeClient(void* user_param)
    : m_user_param(user_param),
      m_state(TRADE_STATE_NEW),
      m_logged_on(false),
      m_logon_sent(false),
      m_qv27(false),
      m_mix(false),
      m_sync_client(nullptr),
      m_async_client(nullptr),
      m_udp_client(nullptr),
      m_has_udp_channel(false),
      m_async_mode(false),
      m_blocking_tcp(false),
      m_driver_type(2),
      m_local_udp_port(0),
      m_max_wait_ms(DEFAULT_EPOLL_WAIT_MS),
      m_first_connect(true),
      m_reconnecting(false),
      m_sigint_installed(false),
      m_logger_on(false),
      m_user_id(0),
      m_logon_value(0),
      m_max_token(0),
      m_account_map(128),
      m_symbol_map(128),
      m_page_no(1),
      m_page_size(0),
      m_accounts_complete(false),
      m_symbols_complete(false),
      m_send_lock_on(false),
      m_destroying(false),
      m_hb_running(false),
      m_hb_stop(false),
      m_hb_wanted(false),
      m_server_timeout(0),
      m_last_recv_sec(0),
      m_hb_counter(0),
      m_rc_running(false),
      m_rc_stop(false),
      m_auto_reconnect(false),
      m_rsp_cpu_bound(false),
      m_req_cpu_bound(false),
      m_rsp_thread_id(0),
      m_req_thread_id(0),
      m_on_connection(nullptr),
      m_on_logon(nullptr),
      m_on_hb_timeout(nullptr),
      m_symbol_selector(0) {
    precise_time::initialize();
    m_zf_loader.reset(new hux_bypass::zf_loader(&m_log));
    memset(m_ifname, 0, sizeof(m_ifname));
    memset(m_driver_name, 0, sizeof(m_driver_name));
    m_last_warm_us = 0;
    {
        sigint_owner& s = sigint_state();
        std::lock_guard<std::mutex> guard(s.lock);
        ++s.sessions;
    }
    memset(&m_logon_rsp, 0, sizeof(m_logon_rsp));
    // The kept record before the first connect.
    memset(&m_info, 0, sizeof(m_info));
    m_info.kernel_bypass = 1;
    m_info.exit_on_signal = 1;
    m_info.heartbeat_interval = 5;
    m_info.rsp_cpu = -1;
    m_info.symbol_idx_page_size = 100;
    SetTimings(TradeClientTimings());

    HUX_SESSION::open_session_logs(m_log, m_bin_log, "tavlog_");
    log_info("create trade client");
    m_log.write_important_txt("api version", API_VERSION);
    m_reject_text.fill();
}

CTradeClient::~CTradeClient() {
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        m_destroying = true;
    }
    m_hb_stop = true;
    m_rc_stop = true;
    // The reconnect thread calls ConnServer: it ends before the transports go,
    // and with it every reconnect, so that the kernel-bypass senders go too.
    join_thread(m_rc_thread, m_rc_stop, true);
    m_reconnecting = false;
    DisConnServer();
    join_thread(m_hb_thread, m_hb_stop, true);
    free_retired(true);
    log_info("destroy trade client");
    m_log.close();
    m_bin_log.close();
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (--s.sessions == 0) s.restore_locked();
}

// ---- set-up ----

void CTradeClient::SetLogDir(const char* dir) { HUX_SESSION::set_session_log_dir(m_log, m_bin_log, dir); }

void CTradeClient::SetLoggerSwitch(bool on) { m_logger_on = on; }

void CTradeClient::LoggerFlush() {
    m_log.flush_all();
    m_bin_log.flush_all();
}

void CTradeClient::SetAsyncReceiveMode() { m_async_mode = true; }

void CTradeClient::SetMaxWaitTime(int milliseconds) {
    if (milliseconds < 0) return;
    m_max_wait_ms = milliseconds;
    trade_tcp_client* sync_client = m_sync_client.load();
    if (sync_client) sync_client->set_epoll_max_wait_time(milliseconds);
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) async_client->set_epoll_max_wait_time(milliseconds);
}

void CTradeClient::SetAutoReconnect(bool on) { m_auto_reconnect = on; }

void CTradeClient::SetTimings(const TradeClientTimings& t) {
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

TradeClientTimings CTradeClient::GetTimings() const {
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

void CTradeClient::SetConnectionEvent(HUX_ConnectionEvent callback) { m_on_connection = callback; }
void CTradeClient::SetUserLogonEvent(HUX_UserLogonEvent callback) { m_on_logon = callback; }
void CTradeClient::SetHeartBeatTimeoutEvent(HUX_HeartBeatTimeoutEvent callback) { m_on_hb_timeout = callback; }

// ---- state ----

bool CTradeClient::GetMixProtccol() const { return m_mix; }

// The synchronous client first, then the asynchronous one (the TCPDirect
// plug-in object will be asked third).
bool CTradeClient::IsConnect() {
    trade_tcp_client* sync_client = m_sync_client.load();
    if (sync_client) return sync_client->is_connected();
    socket_cache_client* async_client = m_async_client.load();
    if (async_client) return async_client->is_connected();
    i_zf_tcp_client_sock* zf = m_zf.load();
    return zf && zf->is_connected();
}

bool CTradeClient::IsLogon() const { return m_logged_on; }
bool CTradeClient::IsQv27Version() const { return m_qv27; }
void* CTradeClient::GetUserParam() const { return m_user_param; }
uint32_t CTradeClient::GetUserID() const { return m_user_id; }
int CTradeClient::GetState() const { return m_state; }
int CTradeClient::GetDriverType() const { return m_driver_type; }
int32_t CTradeClient::GetLogonValue() const { return m_logon_value; }
int32_t CTradeClient::GetServerTimeout() const { return m_server_timeout; }
bool CTradeClient::IsHeartBeatRunning() const { return m_hb_running; }
bool CTradeClient::IsReconnectRunning() const { return m_rc_running; }

uint32_t CTradeClient::GetMaxToken() {
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_token_lock);
    uint32_t token = m_max_token;
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_token_lock);
    return token;
}

// The index tables hold names read from 16- and 20-byte fields: a name is
// read one byte past that, enough to know a longer one cannot be there.
bool CTradeClient::FindAccountIndex(const char* name, int& index) {
    if (name && strnlen(name, HUX_TRADE_WIRE::ACCOUNT_NAME_FIELD + 1) > HUX_TRADE_WIRE::ACCOUNT_NAME_FIELD) return false;
    std::shared_lock<std::shared_mutex> guard(m_index_lock);
    return m_account_map.find(name, index);
}
bool CTradeClient::FindSymbolIndex(const char* name, int& index) {
    if (name && strnlen(name, HUX_TRADE_WIRE::SYMBOL_TEXT_FIELD + 1) > HUX_TRADE_WIRE::SYMBOL_TEXT_FIELD) return false;
    std::shared_lock<std::shared_mutex> guard(m_index_lock);
    return m_symbol_map.find(name, index);
}
size_t CTradeClient::AccountCount() const {
    std::shared_lock<std::shared_mutex> guard(m_index_lock);
    return m_account_map.size();
}
size_t CTradeClient::SymbolCount() const {
    std::shared_lock<std::shared_mutex> guard(m_index_lock);
    return m_symbol_map.size();
}

HUX_TRADE_CORE::flow_control_window CTradeClient::GetOrderFlowControl() const { return m_order_fc; }
HUX_TRADE_CORE::flow_control_window CTradeClient::GetCancelFlowControl() const { return m_cancel_fc; }

uint64_t CTradeClient::SwichEndian(uint64_t value) { return __builtin_bswap64(value); }
uint32_t CTradeClient::SwichEndian32(uint32_t value) { return __builtin_bswap32(value); }

void CTradeClient::log_info(const char* text) { m_log.write_txt("info", text); }
void CTradeClient::log_line(const char* category, const char* text) { m_log.write_txt(category, text); }

void CTradeClient::pause_ms(unsigned ms) const {
    if (ms) MORVAST::TOOLS::sleep_mv(ms);
}

void CTradeClient::report_connection(int code, const char* text) {
    HUX_ConnectionEvent callback = m_on_connection.load();
    if (callback) callback(this, code, text);
}

// ---- connection ----

bool CTradeClient::ConnServer(const HUX_TradeSvrInfo* record, bool mix) {
    if (!record) return false;
    HUX_TradeSvrInfo info;
    memcpy(&info, record, sizeof(info));
    char text[LOG_TEXT_LEN];
    // A negative interval would make the heart-beat thread send on every
    // tick: refused before anything changes, the live connection included.
    const int32_t requested_interval = info.heartbeat_interval;
    if (requested_interval < 0) {
        snprintf_mv(text, sizeof(text), "invalid heartbeat interval %d, cannot be negative.",
                    static_cast<int>(requested_interval));
        log_info(text);
        return false;
    }

    m_send_lock_on = info.send_lock != 0;
    int32_t selector = info.symbol_idx_selector;
    m_symbol_selector = selector >= 2 && selector <= 4 ? selector : 0;
    if (m_first_connect) log_info("create trade conn");

    DisConnServer();
    {
        std::lock_guard<std::mutex> guard(m_info_lock);
        m_info = info;
    }
    m_mix = mix;
    m_blocking_tcp = info.blocking_tcp != 0;
    __atomic_store_n(&g_handle_sig, info.exit_on_signal, __ATOMIC_RELAXED);
    int32_t interval = info.heartbeat_interval;
    m_hb_wanted = interval != 0 && !m_qv27;

    char server_ip[17];
    char local_ip[17];
    copy_ip_field(server_ip, info.server_ip);
    copy_ip_field(local_ip, info.local_ip);
    uint16_t tcp_port = info.tcp_port;
    uint16_t udp_port = info.udp_port;
    uint16_t local_udp_port = info.local_udp_port;

    bool udp_channel = local_ip[0] != '\0' && local_udp_port != 0 && udp_port != 0;
    m_has_udp_channel = false;
    m_local_udp_port = 0;
    if (udp_channel && udp_port == tcp_port) {
        snprintf_mv(text, sizeof(text),
                    "invalid trade port params.udp trade port %u, cannot be same as trade tcp port:%u.",
                    static_cast<unsigned>(udp_port), static_cast<unsigned>(udp_port));
        log_info(text);
        return false;
    }

    // Kernel bypass: mix or kernel_bypass 0 turn it off for good.
    if (mix || info.kernel_bypass == 0) m_bypass_in_use = false;
    if (!detect_card(info, local_ip, udp_channel)) return false;

    if (udp_channel) {
        const int bypass = m_bypass_in_use ? open_bypass_udp(info, server_ip, local_ip) : 0;
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
    unsigned stop_wait = m_t_tcp_stop_wait_ms;
    if (m_async_mode) {
        socket_cache_client* client = new socket_cache_client(TCP_CACHE_SIZE);
        client->set_epoll_max_wait_time(max_wait);
        client->set_stop_poll_limit(static_cast<int>(stop_wait > 0x7fffffffu ? 0x7fffffffu : stop_wait));
        m_async_client = client;
        opened = client->sock_init(server_ip, tcp_port, &CTradeClient::async_cache_callback, this);
    } else if (info.tcp_direct && m_driver_type == 0 && (udp_channel || !mix)) {
        // TCPDirect on a Solarflare card: the plug-in this library carries.
        opened = open_zf(server_ip, tcp_port);
    } else {
        trade_tcp_client* client = new trade_tcp_client(TCP_CACHE_SIZE);
        client->set_stop_wait_time(stop_wait);
        // Marked open before its thread can report, so that a disconnect from
        // inside the first event finds it open.
        client->set_opened(true);
        m_sync_client = client;
        if (m_blocking_tcp) {
            opened = client->sock_init_ex(server_ip, tcp_port, &CTradeClient::sync_cache_callback, this);
        } else {
            client->set_epoll_max_wait_time(max_wait);
            opened = client->sock_init(server_ip, tcp_port, &CTradeClient::sync_cache_callback, this);
        }
        if (!opened) client->set_opened(false);
    }
    if (!opened) {
        snprintf_mv(text, sizeof(text), "open trade servr %s:%d failed.", server_ip, static_cast<int>(tcp_port));
        log_info(text);
        return false;
    }

    // The plug-in object the SIGINT handler closes: this session's, or none.
    __atomic_store_n(&g_zf_sync_trade_client, m_zf.load(), __ATOMIC_RELEASE);
    if (!m_sigint_installed) {
        if (!install_sigint_handler()) return false;
        m_sigint_installed = true;
    }
    m_first_connect = false;
    snprintf_mv(text, sizeof(text), "open trade servr %s:%d successed.", server_ip, static_cast<int>(tcp_port));
    log_info(text);
    return true;
}

bool CTradeClient::install_sigint_handler() {
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = &CTradeClient::termination_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigint_owner& s = sigint_state();
    std::lock_guard<std::mutex> guard(s.lock);
    struct sigaction previous;
    if (sigaction(SIGINT, &action, &previous) != 0) {
        char text[LOG_TEXT_LEN];
        snprintf_mv(text, sizeof(text), "sigaction(): %s", strerror(errno));
        log_info(text);
        return false;
    }
    // The disposition to put back is the one from before the library's
    // handler, whichever session installed it first.
    if (!s.installed && !(!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == &termination_handler)) {
        s.previous = previous;
        s.installed = true;
    }
    log_info("sigaction() regsiter SIGINT success.");
    return true;
}

void CTradeClient::termination_handler(int sig) {
    // The TCPDirect plug-in of the last session that connected is closed
    // first, once, unless a reconnect runs. Its close takes the plug-in's
    // stack lock by a bounded try: on a thread that holds it, the close only
    // stops the plug-in's loop.
    i_zf_tcp_client_sock* zf = __atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE);
    if (!__atomic_load_n(&g_reconnecting, __ATOMIC_RELAXED) && zf && !__atomic_load_n(&g_is_close, __ATOMIC_RELAXED)) {
        zf->sock_close();
        __atomic_store_n(&g_is_close, 1, __ATOMIC_RELAXED);
    }
    const char* name = strsignal(sig);
    printf("Exit on signal %d %s\n", sig, name ? name : "");
    fflush(stdout);
    if (__atomic_load_n(&g_handle_sig, __ATOMIC_RELAXED)) exit(0);
}

bool CTradeClient::DisConnServer() {
    // A transport whose own thread runs this call cannot be freed under that
    // thread: it is closed and kept until a later call from another thread.
    const bool own_thread = on_own_transport_thread();
    free_retired(false);
    // Every disconnect stops the heart-beat, and the heart-beat thread, which
    // sends on the TCP client, ends before the client is closed.
    join_thread(m_hb_thread, m_hb_stop, false);
    const unsigned pause = m_t_close_pause_ms;

    trade_tcp_client* sync_client = nullptr;
    socket_cache_client* async_client = m_async_client.exchange(nullptr);
    bool report_local = false;
    bool sync_stopped = true;
    if (async_client) {
        async_client->sock_close();
        log_info("close trade client");
        pause_ms(pause);
    } else {
        sync_client = m_sync_client.exchange(nullptr);
        if (sync_client) {
            bool was_open = sync_client->opened();
            sync_stopped = sync_client->sock_close();
            sync_client->set_opened(false);
            if (was_open) {
                log_info("close trade client");
                report_local = true;
            }
        }
    }

    CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = m_udp_client.exchange(nullptr);
    m_has_udp_channel = false;
    if (udp) {
        udp->sock_close();
        log_info("close udp client");
        pause_ms(pause);
    }
    // A reconnect keeps the kernel-bypass senders (the next connect resets
    // them in place) and the plug-in's stack.
    if (!m_reconnecting) close_bypass_senders();
    const bool report_zf_local = close_zf();

    if (async_client || sync_client) {
        if (own_thread || !sync_stopped) {
            std::lock_guard<std::mutex> guard(m_retired_lock);
            m_retired.push_back(retired_transport{sync_client, async_client, pthread_self()});
        } else {
            delete async_client;
            delete sync_client;
        }
    }
    delete udp;

    if (report_local || report_zf_local) {
        report_connection(3, "local disconnected");
        m_logged_on = false;
        m_logon_sent = false;
        m_state = TRADE_STATE_CLOSED;
    }
    return true;
}

bool CTradeClient::StopAndDisConnServer() {
    m_rc_stop = true;
    m_hb_stop = true;
    // On a transport thread the reconnect thread may be waiting for this very
    // thread to end; it is left to end by itself (the destructor joins it).
    if (!on_own_transport_thread()) {
        join_thread(m_rc_thread, m_rc_stop, false);
        // No reconnect runs any more: the disconnect releases everything.
        m_reconnecting = false;
    }
    join_thread(m_hb_thread, m_hb_stop, false);
    return DisConnServer();
}

// Frees the retired transports, except those retired by the calling thread
// (it may still be inside their callback). With `all` those are given up
// rather than freed under their own thread.
void CTradeClient::free_retired(bool all) {
    std::vector<retired_transport> to_free;
    {
        std::lock_guard<std::mutex> guard(m_retired_lock);
        for (size_t i = 0; i < m_retired.size();) {
            if (!pthread_equal(m_retired[i].owner, pthread_self())) {
                to_free.push_back(m_retired[i]);
                m_retired.erase(m_retired.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        if (all) m_retired.clear();
    }
    for (const retired_transport& r : to_free) {
        // Closing again from this thread waits for the transport's threads
        // to have left the object before it goes.
        if (r.async_client) r.async_client->sock_close();
        if (r.sync_client) r.sync_client->sock_close();
        delete r.async_client;
        delete r.sync_client;
    }
    // Plug-ins closed from their own work thread: unloading from here waits
    // for that thread to end before the library goes.
    std::vector<retired_zf> zf_to_free;
    {
        std::lock_guard<std::mutex> guard(m_retired_lock);
        for (size_t i = 0; i < m_zf_retired.size();) {
            if (!pthread_equal(m_zf_retired[i].owner, pthread_self())) {
                zf_to_free.push_back(std::move(m_zf_retired[i]));
                m_zf_retired.erase(m_zf_retired.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        if (all) {
            // Left to the process: freeing them here would unmap the code
            // their thread may still run.
            for (retired_zf& z : m_zf_retired) z.loader.release();
            m_zf_retired.clear();
        }
    }
    zf_to_free.clear();
}

// ---- CPU binding ----

// The first call on a session only: reports the binding under `key` in the
// important log and on standard output, then binds the calling thread.
void CTradeClient::bind_cpu_once(std::atomic<bool>& once, const char* key, std::atomic<unsigned long>& thread_id,
                                 const char* label, int cpu) {
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

void CTradeClient::bind_rsp_cpu_or_check_thread(const char* label, int cpu) {
    bind_cpu_once(m_rsp_cpu_bound, "rsp cpu", m_rsp_thread_id, label, cpu);
}

void CTradeClient::bind_req_cpu_or_check_thread(const char* label, int cpu) {
    bind_cpu_once(m_req_cpu_bound, "req cpu", m_req_thread_id, label, cpu);
}

int CTradeClient::set_cur_thread_affinity_np(const std::vector<int>& cpus) {
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

}  // namespace HUX_TRADE

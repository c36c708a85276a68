// The kernel-bypass channels of the session core: which card the local
// address is on, the ef_vi and ExaNIC order senders (opened, reset and closed
// with the connection), their order paths and transmit timestamps, the
// version lines of the card, and the events of the TCPDirect plug-in.
#include <cstdio>
#include <cstring>

#include "session/trade_session_core.h"

#include "bypass/card_driver.h"
#include "plugin/embedded_so.h"
#include "net/socket_unicast.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"
#include "trade_core/trade_wire.h"

namespace HUX_SESSION {

using MORVAST::TOOLS::snprintf_mv;

namespace {

const int LOG_TEXT_LEN = 512;
const int WARM_UP_SPACING_US = 10;
const int EF_VI_WARM_UP_LEN = 8;

// The first line a shell command prints, without its line end; false when the
// command cannot be started or prints nothing.
bool first_line_of(const char* cmd, char* out, size_t cap) {
    out[0] = '\0';
    FILE* pipe = popen(cmd, "r");
    if (!pipe) return false;
    const bool got = fgets(out, static_cast<int>(cap), pipe) != nullptr;
    char rest[256];
    while (fgets(rest, sizeof rest, pipe)) {
    }
    pclose(pipe);
    return got && out[0] != '\0';
}

// The line as the version lines keep it: its last character (the line end)
// dropped.
void drop_last(char* line) {
    const size_t n = strlen(line);
    if (n) line[n - 1] = '\0';
}

client_server_info sender_info(const session_server_info& info) {
    client_server_info csi;
    memset(&csi, 0, sizeof(csi));
    memcpy(csi.server_ip, info.server_ip, sizeof(csi.server_ip));
    csi.server_port = info.udp_port;
    memcpy(csi.local_ip, info.local_ip, sizeof(csi.local_ip));
    csi.local_port = info.local_udp_port;
    csi.timestamps = info.keep_timestamps;
    return csi;
}

}  // namespace

// ---- card detection ----

int trade_session_core::get_device_driver_type(const char* local_ip, char* ifname) {
    return hux_bypass::get_device_driver_type(local_ip, ifname);
}

std::string trade_session_core::GetDriverName() const {
    std::lock_guard<std::mutex> guard(m_card_lock);
    return m_driver_name;
}

// The trade library's session runs detection while the plug-in has not been
// initialised yet, for a UDP order channel over kernel bypass or a TCPDirect
// connection; the adapter's on its first connect, for any non-empty local
// address (an empty one means the kernel transports and no plug-in). Later
// connects keep what the earlier one found; kernel_bypass 0 gives the kernel
// transports whatever the card.
bool trade_session_core::detect_card(const session_server_info& info, bool udp_channel) {
    char text[LOG_TEXT_LEN];
    char ifname[hux_bypass::DEVICE_NAME_LEN];
    char driver[hux_bypass::DEVICE_NAME_LEN];
    {
        std::lock_guard<std::mutex> guard(m_card_lock);
        memcpy(ifname, m_ifname, sizeof(ifname));
        memcpy(driver, m_driver_name, sizeof(driver));
    }
    const char* local_ip = info.local_ip;
    const bool first = m_first_connect;
    const bool wanted = m_traits.detect_any_local_ip ? first && local_ip[0] != '\0'
                                                     : m_zf_first_init && ((udp_channel && m_bypass_in_use) || info.tcp_direct);
    const bool reset = m_traits.detect_any_local_ip ? first && local_ip[0] == '\0' : m_zf_first_init.load();
    if (wanted) {
        if (!hux_bypass::get_ifname_by_ip(local_ip, ifname, &m_log)) {
            snprintf_mv(text, sizeof(text), "[[CTradeClient::ConnServer] get_ifname_by_ip [%s] fail.]", local_ip);
            log_info(text);
            return false;
        }
        if (!hux_bypass::get_netcard_driver_type(ifname, driver, &m_log)) {
            snprintf_mv(text, sizeof(text), "[[CTradeClient::ConnServer] get_netcard_driver_type [%s] fail.]",
                        ifname);
            log_info(text);
        }
        m_card_driver_type = hux_bypass::classify_driver(driver);
        std::lock_guard<std::mutex> guard(m_card_lock);
        memcpy(m_ifname, ifname, sizeof(ifname));
        memcpy(m_driver_name, driver, sizeof(driver));
    } else if (reset) {
        m_card_driver_type = hux_bypass::DRIVER_OTHER;
    }
    if (m_traits.bypass_off_for_good) {
        if (wanted || reset) m_driver_type = m_card_driver_type;
    } else {
        m_driver_type = info.kernel_bypass ? m_card_driver_type : static_cast<int>(hux_bypass::DRIVER_OTHER);
    }
    snprintf_mv(text, sizeof(text), "dev[%s],ip[%s],driver[%s],driver_type[%d]\n", ifname, local_ip, driver,
                static_cast<int>(m_driver_type));
    fputs(text, stdout);
    fflush(stdout);
    log_info(text);
    return true;
}

// ---- the order senders ----

int trade_session_core::open_bypass_udp(const session_server_info& info) {
    char text[LOG_TEXT_LEN];
    const int driver = m_driver_type;
    if (driver != hux_bypass::DRIVER_EF_VI && driver != hux_bypass::DRIVER_EXANIC) return 0;
    const char* server_ip = info.server_ip;
    const char* local_ip = info.local_ip;
    const client_server_info csi = sender_info(info);
    char ifname[hux_bypass::DEVICE_NAME_LEN];
    char driver_name[hux_bypass::DEVICE_NAME_LEN];
    {
        std::lock_guard<std::mutex> guard(m_card_lock);
        memcpy(ifname, m_ifname, sizeof(ifname));
        memcpy(driver_name, m_driver_name, sizeof(driver_name));
    }

    // A sender is published only once it is set up: while it is reset in
    // place or initialised no send can reach it, and one that loaded it
    // before is done with it first.
    if (driver == hux_bypass::DRIVER_EF_VI) {
        ef_vi_udp_sender* sender = m_ef_vi.exchange(nullptr);
        if (sender) wait_transport_readers();
        int rc;
        if (sender && m_ef_vi_ready) {
            // A reset that finds no MAC leaves the sender unusable for this
            // connection: it counts as a failed set-up.
            rc = sender->reset_udp_local_info(csi.local_ip, csi.local_port, csi.server_ip, csi.server_port) ? 0 : -1;
        } else {
            if (!sender) sender = new ef_vi_udp_sender();
            rc = sender->init(csi, ifname, driver_name, this, &m_log);
        }
        if (rc != 0) {
            m_ef_vi_ready = false;
            sender->destory();
            delete sender;
            if (rc == -2) {
                // The card gave no virtual interface: kernel UDP, for good in
                // the trade library's session, for this connect in the
                // adapter's.
                if (m_traits.bypass_off_for_good)
                    m_bypass_in_use = false;
                else
                    m_driver_type = hux_bypass::DRIVER_OTHER;
                return 0;
            }
            snprintf_mv(text, sizeof(text), "ef vi udp init failed. remote ip,port[%s, %u], local ip,port[%s, %u]",
                        server_ip, static_cast<unsigned>(info.udp_port), local_ip,
                        static_cast<unsigned>(info.local_udp_port));
            log_info(text);
            return -1;
        }
        m_ef_vi = sender;
        if (!m_ef_vi_ready) {
            m_ef_vi_ready = true;
            write_version_lines(false);
        }
    } else {
        exanic_udp_client* sender = m_exanic.exchange(nullptr);
        if (sender) wait_transport_readers();
        bool ok;
        if (sender && m_exanic_ready) {
            ok = sender->reset_udp_local_info(csi.local_ip, csi.local_port, csi.server_ip, csi.server_port);
        } else {
            if (!sender) sender = new exanic_udp_client(m_traits.exanic_adapter_form);
            ok = sender->init(csi, ifname, this, &m_log);
        }
        if (!ok) {
            m_exanic_ready = false;
            sender->clean_up();
            delete sender;
            snprintf_mv(text, sizeof(text),
                        "exanic udp init failed. dev_name[%s], remote ip,port[%s, %u], local ip,port[%s, %u]", ifname,
                        server_ip, static_cast<unsigned>(info.udp_port), local_ip,
                        static_cast<unsigned>(info.local_udp_port));
            log_info(text);
            return -1;
        }
        m_exanic = sender;
        if (!m_exanic_ready) {
            m_exanic_ready = true;
            write_version_lines(true);
        }
    }
    m_keep_timestamps = info.keep_timestamps != 0;
    return 1;
}

void trade_session_core::close_bypass_senders() {
    const unsigned pause = m_t_close_pause_ms;
    ef_vi_udp_sender* ef_vi = m_ef_vi.exchange(nullptr);
    exanic_udp_client* exanic = m_exanic.exchange(nullptr);
    // A send that loaded a sender finishes before the sender goes.
    if (ef_vi || exanic) wait_transport_readers();
    if (ef_vi_udp_sender* sender = ef_vi) {
        sender->destory();
        log_info("clean ef_vi udp client");
        pause_ms(pause);
        delete sender;
        m_ef_vi_ready = false;
    }
    if (exanic_udp_client* sender = exanic) {
        sender->clean_up();
        log_info("close exanic udp client");
        pause_ms(pause);
        delete sender;
        m_exanic_ready = false;
    }
}

void trade_session_core::write_version_lines(bool exanic) {
    char line[512];
    // An empty value when uname cannot be run, never "NO INSTALL".
    first_line_of("uname -a|awk -F: '{printf $1}'", line, sizeof(line));
    m_log.write_important_txt("core", line);
    if (!exanic) {
        const bool alveo = GetDriverName() == "xilinx_efct";
        const char* cmd = alveo ? "lspci -vvv | grep ALVEO | grep Name | awk -F: '{print $2}' | awk '!seen[$0]++'"
                                : "lspci -vvv | grep Solar | grep Subsystem | awk -F: '{print $2}' | awk '!seen[$0]++'";
        if (first_line_of(cmd, line, sizeof(line)))
            drop_last(line);
        else
            snprintf(line, sizeof(line), "NO INSTALL");
        m_log.write_important_txt("solarflare", line);
        if (!first_line_of("onload --version|awk -F: '{printf $2}'", line, sizeof(line)))
            snprintf(line, sizeof(line), "NO INSTALL");
        m_log.write_important_txt("onload_version", line);
        return;
    }
    if (first_line_of("modinfo exanic | grep -w version", line, sizeof(line)))
        drop_last(line);
    else
        snprintf(line, sizeof(line), "NO INSTALL");
    m_log.write_important_txt("exanic", line);
    char card[exanic_udp_client::NETCARD_TYPE_LEN];
    card[0] = '\0';
    if (exanic_udp_client* sender = m_exanic.load()) sender->get_exanic_netcard_type(card);
    snprintf(line, sizeof(line), "Hardware type: %s", card);
    m_log.write_important_txt("exanic", line);
}

// ---- order paths ----

// One new order or quote over the ef_vi (driver 0) or ExaNIC (driver 1)
// sender: every call counts one order; a warm-up warms the sender, at most
// once every 10 microseconds when spaced.
int trade_session_core::send_new_order_bypass(char* data, int len, int type, bool warm, bool locked, bool spaced) {
    // Counted before the senders are loaded: a disconnect frees neither under
    // this send.
    transport_reader reader(m_transport_readers);
    const bool efvi = m_driver_type == hux_bypass::DRIVER_EF_VI;
    ef_vi_udp_sender* ef_vi = efvi ? m_ef_vi.load() : nullptr;
    exanic_udp_client* exanic = efvi ? nullptr : m_exanic.load();
    if (!ef_vi && !exanic) {
        if (efvi)
            log_line("send_error", "ef_udp client disconn.");
        else
            log_line("error", "exanic_udp client disconn.");
        return -1;
    }
    if (len < 0 || (len > 0 && !data)) return -1;
    MORVAST::TOOLS::test_hook("send: transports loaded", this);
    const long long now = precise_time::get_current_microseconds();
    const bool lock = locked && m_send_lock_on;
    if (lock) ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_send_lock);
    // Flow control under the send lock, as on the send routine.
    if (!HUX_TRADE_CORE::flow_control_admit(m_order_fc, 1, now)) {
        if (lock) ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_send_lock);
        return -2;
    }
    if (warm) {
        if (!spaced || m_last_warm_us == 0 || now - m_last_warm_us > WARM_UP_SPACING_US) {
            static const char dummy[EF_VI_WARM_UP_LEN] = {};
            if (ef_vi)
                ef_vi->ctpio_send(dummy, EF_VI_WARM_UP_LEN, true);
            else
                exanic->exanic_udp_for_new_order(data, len, true);
            m_last_warm_us = now;
        }
        if (lock) ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_send_lock);
        return ef_vi ? EF_VI_WARM_UP_LEN : len;
    }
    const bool log_bin = m_logger_on;
    int sent = 0;
    while (sent < len) {
        int rc;
        if (ef_vi)
            rc = ef_vi->ctpio_send(data + sent, static_cast<unsigned>(len - sent), false);
        else if (type == HUX_TRADE_WIRE::TYPE_NEW_ORDER_REQ || m_traits.exanic_adapter_form)
            rc = exanic->exanic_udp_for_new_order(data + sent, len - sent, false);
        else
            rc = exanic->exanic_udp_for_new_quote(data + sent, len - sent, false);
        if (rc <= 0) {
            if (lock) ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_send_lock);
            if (ef_vi)
                log_line("send_error", "tcp client send data error.");
            else
                log_line("error", "exanic udp client send data error.");
            return -1;
        }
        if (log_bin) m_bin_log.write_bin('0', data + sent, rc);
        sent += rc;
    }
    if (lock) ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_send_lock);
    return sent;
}

int trade_session_core::SendMsgToHuxForNewOrderEx(char* data, int len) {
    transport_reader reader(m_transport_readers);
    ef_vi_udp_sender* ef_vi = m_ef_vi.load();
    if (!ef_vi) {
        log_line("send_error", "ef_udp client disconn.");
        return -1;
    }
    if (len < 0 || (len > 0 && !data)) return -1;
    ef_vi->ctpio_send(data, static_cast<unsigned>(len), true);
    return len;
}

int trade_session_core::SendMsgToHuxForNewOrderEfVi(char* data, int len, bool warm) {
    if (!m_ef_vi.load()) {
        log_line("send_error", "ef_udp client disconn.");
        return -1;
    }
    return send_new_order_bypass(data, len, HUX_TRADE_WIRE::TYPE_NEW_ORDER_REQ, warm, false, false);
}

// ---- the TCPDirect plug-in ----

bool trade_session_core::load_zf_sock_ex() { return hux_plugin::load_embedded_zf_sock(*m_zf_loader); }
bool trade_session_core::load_zf_sock(const char* path) { return m_zf_loader->load(path); }
bool trade_session_core::load_zf_sock() { return m_zf_loader->load(); }
void trade_session_core::unload_zf_sock() { m_zf_loader->unload(); }
std::string trade_session_core::getCurrentSoPath() { return hux_bypass::current_so_dir(); }

// Loads the plug-in when there is no object, then initialises it: first time
// (a new stack) unless the object still holds the stack of an earlier
// first-time initialisation. Its "conn ok" is raised here, once the
// initialisation has returned.
bool trade_session_core::open_zf(const char* server_ip, uint16_t tcp_port) {
    char ifname[hux_bypass::DEVICE_NAME_LEN];
    {
        std::lock_guard<std::mutex> guard(m_card_lock);
        memcpy(ifname, m_ifname, sizeof(ifname));
    }
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_zf_close_lock);
    i_zf_tcp_client_sock* zf = m_zf;
    if (!zf) {
        if (!load_zf_sock_ex()) {
            ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_zf_close_lock);
            return false;
        }
        zf = m_zf_loader->sock();
        m_zf = zf;
        m_zf_has_stack = false;
    }
    // The SIGINT handler's close released the stack of the object it closed.
    if (__atomic_load_n(&g_is_close, __ATOMIC_RELAXED) && __atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE) == zf)
        m_zf_has_stack = false;
    const bool first = !m_zf_has_stack;
    m_zf_connect_pending = false;
    m_zf_in_init = true;
    const bool ok = zf->zf_clt_init(server_ip, tcp_port, ifname, -1, this, first);
    m_zf_in_init = false;
    m_zf_first_init = false;
    if (ok) {
        m_zf_has_stack = true;
    } else if (first) {
        // A new object that could not connect holds nothing worth keeping.
        m_zf = nullptr;
        wait_transport_readers();
        m_zf_loader->unload();
    }
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_zf_close_lock);
    if (ok && m_zf_connect_pending.exchange(false)) on_zf_connected();
    return ok;
}

bool trade_session_core::close_zf() {
    bool report_local = false;
    ULTRA_LOW_LATENCY_CLIENT::ull_lock(&m_zf_close_lock);
    i_zf_tcp_client_sock* zf = m_zf;
    if (zf && m_reconnecting) {
        zf->sock_close_ex();  // the stack stays for the reconnect
        log_info("reconnect close ex zf trade client");
    } else if (zf) {
        const bool was_connected = zf->is_connected();
        // The SIGINT handler closes this object no more.
        i_zf_tcp_client_sock* expected = zf;
        __atomic_compare_exchange_n(&g_zf_sync_trade_client, &expected, static_cast<i_zf_tcp_client_sock*>(nullptr),
                                    false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
        const bool closed = zf->sock_close();
        if (closed && was_connected) {
            log_info("close zf trade client");
            m_hb_stop = true;
            pause_ms(5);
            report_local = true;
        }
        m_zf = nullptr;
        m_zf_has_stack = false;
        if (on_own_transport_thread()) {
            // On the plug-in's own work thread: closed (its thread releases
            // when it leaves the callback), unloaded later from another
            // thread, which waits for that thread to end before the library
            // goes. Left to the process when no other thread does it:
            // freeing it here would unmap the code its thread still runs.
            hux_bypass::zf_loader* loader = m_zf_loader.release();
            m_retired.retire([this, loader] {
                wait_transport_readers();
                delete loader;
            });
            m_zf_loader.reset(new hux_bypass::zf_loader(&m_log));
        } else {
            // A send that loaded the object finishes before it goes.
            wait_transport_readers();
            m_zf_loader->unload();
        }
    }
    ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&m_zf_close_lock);
    return report_local;
}

void trade_session_core::on_zf_connected() {
    m_zf_tail.clear();
    on_connection_event(EVENT_CONNECT);
}

// ---- transmit timestamps ----

void trade_session_core::on_ef_vi_udp_report_timestamps(long long ns) {
    if (!m_keep_timestamps) return;
    std::lock_guard<std::mutex> guard(m_ts_lock);
    m_timestamps.push_back(ns);
}

void trade_session_core::on_exanic_udp_report_timestamps(long long ns) { on_ef_vi_udp_report_timestamps(ns); }

void trade_session_core::GetTimestamps(long long* out, int& count) {
    if (!m_keep_timestamps || count <= 0 || !out) {
        count = 0;
        return;
    }
    std::lock_guard<std::mutex> guard(m_ts_lock);
    if (static_cast<size_t>(count) > m_timestamps.size()) count = static_cast<int>(m_timestamps.size());
    if (count > 0) memcpy(out, m_timestamps.data(), static_cast<size_t>(count) * sizeof(long long));
}

// ---- the TCPDirect plug-in's events ----

// The plug-in's bytes are always taken whole: an unfinished message waits in
// the session's tail buffer for the bytes that complete it. Only the plug-in's
// work thread calls this.
int trade_session_core::on_zf_tcp_recv_msg(char* data, int len) {
    if (len <= 0 || !data) return len;
    HUX_NET::transport_scope scope(this);
    MORVAST::TOOLS::stream_buffer& tail = m_zf_tail;
    if (tail.get_data_len() > 0) {
        if (!tail.push_data(data, static_cast<size_t>(len))) return -1;
        const unsigned used = on_receive(tail.get_data_ptr(), static_cast<unsigned>(tail.get_data_len()));
        tail.pop_data(used);
    } else {
        const unsigned used = on_receive(data, static_cast<unsigned>(len));
        if (used < static_cast<unsigned>(len) && !tail.push_data(data + used, static_cast<size_t>(len) - used))
            return -1;
    }
    return len;
}

// Raised inside zf_clt_init: the "conn ok" waits until it has returned.
void trade_session_core::on_zf_tcp_connect() {
    if (m_zf_in_init) {
        m_zf_connect_pending = true;
        return;
    }
    on_zf_connected();
}

void trade_session_core::on_zf_tcp_disconnect() {
    HUX_NET::transport_scope scope(this);
    on_connection_event(EVENT_REMOTE_DISCONNECT);
}

void trade_session_core::on_zf_udp_recv_msg(char*, int) {}

void trade_session_core::on_zf_udp_connect() {}

void trade_session_core::on_zf_udp_disconnect() {
    report_connection(2, "remote disconnected");
    m_logged_on = false;
    m_logon_sent = false;
}

}  // namespace HUX_SESSION

// The send routine of the session core: channel choice, client flow control,
// the optional send lock (a spin lock; on Windows a re-entrant critical
// section) and the write loop.
#include "session/trade_session_core.h"

#include "net/socket_cache_client.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"
#include "net/socket_unicast.h"
#include "trade_core/trade_wire.h"

namespace HUX_SESSION {

using HUX_TRADE_WIRE::SEND_DIRECTION_ORDER;
using HUX_TRADE_WIRE::SEND_DIRECTION_TCP;

namespace {
#ifdef _WIN32
void take(MORVAST::TOOLS::mutex_lock& lock) { lock.lock(); }
void release(MORVAST::TOOLS::mutex_lock& lock) { lock.unlock(); }
#else
void take(ULTRA_LOW_LATENCY_CLIENT::ull_mlock& lock) { ULTRA_LOW_LATENCY_CLIENT::ull_lock(&lock); }
void release(ULTRA_LOW_LATENCY_CLIENT::ull_mlock& lock) { ULTRA_LOW_LATENCY_CLIENT::ull_unlock(&lock); }
#endif
}  // namespace

trade_session_core::flow_windows_change::flow_windows_change(trade_session_core& s)
    : session(s), locked(s.m_send_lock_on) {
    if (locked) take(session.m_send_lock);
}

trade_session_core::flow_windows_change::~flow_windows_change() {
    if (locked) release(session.m_send_lock);
}

// Hot path: no system lock, no allocation; one clock read for counted kinds.
// The transport reader count is one atomic add and subtract.
int trade_session_core::SendMsgToHux(const char* name, char* data, int len, int direction) {
    (void)name;
    if (direction != SEND_DIRECTION_ORDER && direction != SEND_DIRECTION_TCP) {
        log_line("send_error", "tcp client disconn.");
        return -1;
    }
    if (len > 0 && !data) return -1;
    if (len > 0) HUX_TRADE_WIRE::stamp_logon_udp_port(data, static_cast<size_t>(len), m_local_udp_port);

    // Counted before any transport pointer is loaded: a disconnect on
    // another thread closes and frees nothing this send may still use.
    transport_reader reader(m_transport_readers);
    // The asynchronous client, when there is one, decides alone.
    trade_tcp_client* sync_client = m_sync_client.load();
    socket_cache_client* async_client = m_async_client.load();
#ifdef _WIN32
    bool connected = async_client ? async_client->is_connected() : sync_client && sync_client->is_connected();
#else
    i_zf_tcp_client_sock* zf = m_zf.load();
    bool connected = async_client ? async_client->is_connected()
                                  : (sync_client && sync_client->is_connected()) || (zf && zf->is_connected());
#endif
    if (!connected) {
        log_line("send_error", "tcp client disconn.");
        return -1;
    }
    if (len <= 0) return 0;
    MORVAST::TOOLS::test_hook("send: transports loaded", this);

    // The order channel: the ExaNIC (driver 1) or ef_vi (driver 0) sender
    // while kernel bypass is in use, else (always on Windows) the kernel UDP
    // sender.
    CLIENT_UDP_SCKT_ONLY::socket_unicast* udp = nullptr;
#ifndef _WIN32
    ef_vi_udp_sender* ef_vi = nullptr;
    exanic_udp_client* exanic = nullptr;
#endif
    bool order_channel = false;
    if (direction == SEND_DIRECTION_ORDER && m_has_udp_channel) {
        order_channel = true;
#ifdef _WIN32
        udp = m_udp_client.load();
#else
        const int driver = m_bypass_in_use ? m_driver_type.load() : 2;
        if (driver == 1)
            exanic = m_exanic.load();
        else if (driver == 0)
            ef_vi = m_ef_vi.load();
        else
            udp = m_udp_client.load();
#endif
    }

    const bool lock = m_send_lock_on;
    if (lock) take(m_send_lock);
    // Flow control under the send lock: concurrent senders never admit more
    // than the window allows (without the lock the application sends from
    // one thread at a time).
    int64_t n = 0;
    HUX_TRADE_CORE::flow_kind kind = HUX_TRADE_CORE::flow_kind_of(data, len, n);
    if (kind != HUX_TRADE_CORE::FLOW_NONE) {
        HUX_TRADE_CORE::flow_control_window& window = kind == HUX_TRADE_CORE::FLOW_ORDER ? m_order_fc : m_cancel_fc;
        if (!HUX_TRADE_CORE::flow_control_admit(window, n, precise_time::get_current_microseconds())) {
            if (lock) release(m_send_lock);
            return -2;
        }
    }
    // A logon request is marked sent before its bytes go out: the server's
    // answer can reach the receive thread before this thread runs again, and
    // an answer to a request not marked sent is refused (99).
    const bool logon_request =
        direction == SEND_DIRECTION_TCP && len > 0 && static_cast<uint8_t>(data[0]) == HUX_TRADE_WIRE::TYPE_LOGON_MSG_REQ;
    if (logon_request) m_logon_sent = true;
    const bool log_bin = m_logger_on;
    int sent = 0;
    while (sent < len) {
        int rc;
        if (order_channel) {
#ifndef _WIN32
            if (exanic)
                rc = exanic->exanic_udp_send(data + sent, len - sent, false);
            else if (ef_vi)
                rc = ef_vi->ctpio_send(data + sent, static_cast<unsigned>(len - sent), false);
            else
#endif
            if (udp)
                rc = udp->sock_send(data + sent, len - sent);
            else
                rc = -1;
        } else if (async_client)
            rc = async_client->sock_send(data + sent, len - sent);
        else if (sync_client)
            rc = sync_client->sock_send(data + sent, len - sent);
#ifndef _WIN32
        else if (zf && zf->is_connected())
            rc = zf->sock_send(data + sent, static_cast<unsigned>(len - sent));
#endif
        else
            rc = -1;
        if (rc < 0) {
            if (logon_request) m_logon_sent = false;
            if (lock) release(m_send_lock);
            log_line("send_error", "tcp client send data error.");
            return -1;
        }
        if (rc > 0 && log_bin) m_bin_log.write_bin('0', data + sent, rc);
        sent += rc;
    }
    MORVAST::TOOLS::test_hook("send: bytes out", this);
    if (lock) release(m_send_lock);
    return sent;
}

int trade_session_core::send_new_order(char* data, int len, int direction, int type, bool warm) {
#ifdef _WIN32
    // No kernel-bypass channel: the send routine, with its flow control,
    // binary log and send-error line.
    (void)type;
#else
    // New orders and quotes go straight to a kernel-bypass order channel.
    if (m_has_udp_channel && m_bypass_in_use && (m_driver_type == 0 || m_driver_type == 1))
        return send_new_order_bypass(data, len, type, warm, true, m_traits.warm_up_spacing);
#endif
    if (warm) return 0;
    return SendMsgToHux("NewOrder", data, len, direction);
}

}  // namespace HUX_SESSION

// The receive side of the session core: the entries of the two TCP clients,
// the connection events, the cut loop and the dispatcher.
#include <climits>
#include <cstdio>
#include <ctime>

#include "net/socket_cache_client.h"
#include "session/trade_session_core.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"
#include "trade_core/trade_msg.h"

namespace HUX_SESSION {

using namespace HUX_TRADE_WIRE;
using MORVAST::TOOLS::snprintf_mv;

namespace {
const unsigned PROC_LINE_LEN = 2048;
}  // namespace

// ---- transport entries ----

int trade_session_core::sync_cache_callback(CLIENT_SCKT_ONLY::sckt_param& param, void* context) {
    if (context) {
        tcp_context* ctx = static_cast<tcp_context*>(context);
        if (ctx->dropped) return -1;
        HUX_NET::transport_scope scope(ctx->session);
        ctx->session->on_sync_event(param, ctx);
    }
    return -1;
}

int trade_session_core::async_cache_callback(socket_param& param, void* context) {
    if (context) {
        tcp_context* ctx = static_cast<tcp_context*>(context);
        if (ctx->dropped) return -1;
        HUX_NET::transport_scope scope(ctx->session);
        ctx->session->on_async_event(param, ctx);
    }
    return -1;
}

int trade_session_core::on_sync_event(CLIENT_SCKT_ONLY::sckt_param& param, const tcp_context* ctx) {
    if (param.get_event_type() == EVENT_RECEIVE)
        param.set_proc_len(on_receive(param.get_buff_addr(), param.get_buff_size()));
    else
        on_connection_event(param.get_event_type(), ctx);
    return -1;
}

int trade_session_core::on_async_event(socket_param& param, const tcp_context* ctx) {
    if (param.get_event_type() == EVENT_RECEIVE)
        param.set_proc_len(on_receive(param.get_buff_addr(), param.get_buff_size()));
    else
        on_connection_event(param.get_event_type(), ctx);
    return -1;
}

void trade_session_core::on_connection_event(int event, const tcp_context* ctx) {
    int code;
    const char* text;
    int state;
    switch (event) {
    case EVENT_CONNECT:
        // The state is changed only by the logon sequence. A connection ends
        // the reconnect that made it, whichever client made it.
        m_reconnecting = false;
#ifndef _WIN32
        __atomic_store_n(&g_reconnecting, 0, __ATOMIC_RELAXED);
#endif
        report_connection(0, "conn ok");
        return;
    case EVENT_REMOTE_DISCONNECT:
        code = 2;
        text = "remote disconnected";
        state = TRADE_STATE_DROPPED;
        break;
    case EVENT_LOCALE_DISCONNECT:
        code = 3;
        text = "local disconnected";
        state = TRADE_STATE_CLOSED;
        break;
    case EVENT_NETWORK_ERROR:
        code = 4;
        text = "network error";
        state = TRADE_STATE_DROPPED;
        break;
    default:
        return;
    }
    MORVAST::TOOLS::test_hook("conn: lost", this);
    // The session's state first, then the report: an application that hears
    // of the drop and connects again at once (from the callback or another
    // thread) must not have its new connection's state overwritten by this
    // old one's; nor must the loss of a client the session has already
    // replaced by a newer one.
    {
        std::lock_guard<std::mutex> guard(m_conn_event_lock);
        const tcp_context* current = m_tcp_context.load();
        if (!(ctx && current && current != ctx)) {
            m_logged_on = false;
            m_logon_sent = false;
            m_state = state;
            m_hb_stop = true;
        }
    }
    report_connection(code, text);
}

// The cut loop: whole messages from the front; the rest stays cached.
unsigned trade_session_core::on_receive(const char* data, unsigned len) {
    if (!data || len == 0) return 0;
    return HUX_TRADE_CORE::cut_messages(reinterpret_cast<const unsigned char*>(data), len,
                                        [this](const unsigned char* p, uint32_t n) { return ProcReceiveMsg(p, n); });
}

// ---- dispatcher ----

int trade_session_core::ProcReceiveMsg(const unsigned char* data, unsigned int len) {
    // The session's table and handler pointer, asked for once (they never
    // change): no virtual call per message.
    const HUX_TRADE_CORE::msg_route_table* table = m_route_cache.load(std::memory_order_acquire);
    void* context;
    if (__builtin_expect(table != nullptr, 1)) {
        context = m_handler_cache.load(std::memory_order_relaxed);
    } else {
        context = handler_context();
        table = &routes();
        m_handler_cache.store(context, std::memory_order_relaxed);
        m_route_cache.store(table, std::memory_order_release);
    }
    // The heart-beat watchdog needs only the second of the last receive; the
    // coarse realtime clock gives the same second at a fraction of the cost
    // (on Windows the watchdog's own clock, which is already cheap).
    // The microsecond clock is read only for the logger's cost line.
    const bool logger = m_logger_on;
    long long start = 0;
    if (logger) {
        start = precise_time::get_current_microseconds();
        m_last_recv_sec = start / 1000000;
    } else {
#ifdef _WIN32
        m_last_recv_sec = precise_time::get_current_microseconds() / 1000000;
#else
        timespec now;
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        m_last_recv_sec = static_cast<long long>(now.tv_sec);
#endif
    }
    HUX_TRADE_CORE::dispatch_step step =
        HUX_TRADE_CORE::dispatch_one(*table, data, len, m_qv27, m_logged_on, context);

    char line[PROC_LINE_LEN];
    line[0] = '\0';
    switch (step.outcome) {
    case HUX_TRADE_CORE::DISPATCH_HANDLED:
        if (logger) snprintf_mv(line, sizeof(line), "proc %s", handled_label(*step.route, step.type, data));
        break;
    case HUX_TRADE_CORE::DISPATCH_BEFORE_LOGON:
        if (logger) {
            if (step.route->invalid_name)
                snprintf_mv(line, sizeof(line), "proc %s", step.route->invalid_name);
            else
                snprintf_mv(line, sizeof(line), "proc invalid %s", step.route->name);
        }
        break;
    case HUX_TRADE_CORE::DISPATCH_UNKNOWN_SKIPPED:
    case HUX_TRADE_CORE::DISPATCH_UNKNOWN_DISCARDED: {
        char text[128];
        snprintf_mv(text, sizeof(text), "receive unknown msg type: %u, len is %d", static_cast<unsigned>(step.type),
                    static_cast<int>(len > INT_MAX ? INT_MAX : len));
        log_line("error msg type", text);
        break;
    }
    case HUX_TRADE_CORE::DISPATCH_WAIT:
        break;
    }
    // A buffer dropped whole may exceed what the result can say; the rest goes
    // in the next step.
    const int consumed = static_cast<int>(step.consumed > INT_MAX ? INT_MAX : step.consumed);
    if (logger) {
        if (consumed > 0) m_bin_log.write_bin('1', reinterpret_cast<const char*>(data), consumed);
        if (line[0]) m_log.write_txt(line, "");
        long long cost = precise_time::get_current_microseconds() - start;
        snprintf_mv(line, sizeof(line), "process message type:[%d] cost:[%lld]us", static_cast<int>(step.type), cost);
        m_log.write_txt(line, "");
    }
    return consumed;
}

}  // namespace HUX_SESSION

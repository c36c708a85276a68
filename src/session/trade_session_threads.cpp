// The heart-beat thread and the check-and-reconnect thread of the session core.
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "net/socket_cache_client.h"
#include "net/transport_retire.h"
#include "session/trade_session_core.h"
#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"
#include "trade_core/trade_wire.h"

namespace HUX_SESSION {

using MORVAST::TOOLS::snprintf_mv;

namespace {
long long now_second() { return precise_time::get_current_microseconds() / 1000000; }
}  // namespace

// The stop flag is set under the same lock the starters clear it under, so
// the thread taken out of the slot is always one that was told to stop (a
// start racing this call cannot hand it a fresh thread that never ends).
void trade_session_core::join_thread(std::thread& slot, std::atomic<bool>& stop, bool detach_self) {
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_thread_lock);
        stop = true;
        if (!slot.joinable()) return;
        if (slot.get_id() == std::this_thread::get_id()) {
            if (detach_self) slot.detach();
            return;
        }
        thread = std::move(slot);
    }
    thread.join();
}

// ---- heart-beat ----

void trade_session_core::start_send_heart_beat_thread() {
    // A running thread that was not asked to stop keeps running; otherwise
    // the earlier thread ends before a new one starts.
    if (!(m_hb_running && !m_hb_stop)) {
        join_thread(m_hb_thread, m_hb_stop, false);
        std::lock_guard<std::mutex> guard(m_thread_lock);
        if (!m_destroying && !m_hb_thread.joinable()) {
            m_hb_stop = false;
            m_hb_running = true;
            try {
                m_hb_thread = std::thread(&trade_session_core::heart_beat_thread, this);
            } catch (const std::system_error&) {
                m_hb_running = false;
                log_line("debug", "_th_trade_clt_heart_beat create fail.");
            }
        }
    }
    bind_rsp_cpu_or_check_thread("user_logon", server_info().rsp_cpu);
}

void trade_session_core::stop_send_heart_beat_thread() { m_hb_stop = true; }
void trade_session_core::stop_check_and_reconn_thread() { request_reconnect_stop(); }

void trade_session_core::request_reconnect_stop() {
    std::lock_guard<std::mutex> guard(m_thread_lock);
    m_rc_stop = true;
    ++m_rc_stops;
}

unsigned trade_session_core::reconnect_stops() {
    std::lock_guard<std::mutex> guard(m_thread_lock);
    return m_rc_stops;
}

void trade_session_core::start_reconnect_thread_unless_stopped(unsigned stops) { start_reconnect_thread_if(&stops); }

void trade_session_core::heart_beat_thread() {
    m_hb_running = true;
    log_info("_th_trade_clt_heart_beat start");
    long long last_send = now_second();
    HUX_TRADE_WIRE::trade_heart_beat_req beat;
    HUX_TRADE_WIRE::build_trade_heart_beat_req(beat, 0, m_user_id);
    const int32_t interval = server_info().heartbeat_interval;
    char text[128];
    while (!m_hb_stop) {
        pause_ms(m_t_heart_beat_tick_ms);
        if (m_hb_stop) break;
        const long long now = now_second();
        const long long silent = now - m_last_recv_sec;
        if (silent > m_server_timeout) {
            const int seconds = static_cast<int>(silent > INT32_MAX ? INT32_MAX : silent);
            snprintf_mv(text, sizeof(text), "trade client heartbeat timeout:%d seconds!", seconds);
            log_line("error", text);
            m_last_recv_sec = now;
            // The application may disconnect from this callback, and a
            // transport thread (the query session's, say) may be waiting for
            // this thread at that moment: closes made here must not wait for
            // transport threads, as inside a transport's own callback.
            HUX_NET::transport_scope scope(&m_hb_thread);
            report_heart_beat_timeout(seconds);
        }
        // An interval of 0 asks for no heart-beat: a server that grants a
        // time-out all the same starts the watchdog, but no heart-beat goes
        // out (every tick would otherwise send one).
        if (interval > 0 && m_logged_on && now - last_send >= interval) {
            beat.seq = m_hb_counter++;
            // Straight to the TCP transport: no flow control, no lock, no log.
            transport_reader reader(m_transport_readers);
            socket_cache_client* async_client = m_async_client.load();
            trade_tcp_client* sync_client = m_sync_client.load();
            if (async_client)
                async_client->sock_send(reinterpret_cast<const char*>(&beat), sizeof(beat));
            else if (sync_client)
                sync_client->sock_send(reinterpret_cast<const char*>(&beat), sizeof(beat));
#ifndef _WIN32
            if (i_zf_tcp_client_sock* zf = m_zf.load())
                zf->sock_send(reinterpret_cast<const char*>(&beat), sizeof(beat));
#endif
            last_send = now;
        }
    }
    log_info(m_traits.hb_stop_line);
    m_hb_running = false;
}

// ---- check and reconnect ----

void trade_session_core::start_reconnect_thread() { start_reconnect_thread_if(nullptr); }

void trade_session_core::start_reconnect_thread_if(const unsigned* stops) {
    std::lock_guard<std::mutex> guard(m_thread_lock);
    if (m_destroying) return;
    if (stops && *stops != m_rc_stops) return;
    if (m_rc_thread.joinable()) {
        // Called on the thread itself, or it still runs: nothing to start.
        if (m_rc_running || m_rc_thread.get_id() == std::this_thread::get_id()) return;
        // It has ended: its running flag is its last write.
        m_rc_thread.join();
    }
    m_rc_stop = false;
    m_rc_running = true;
    try {
        m_rc_thread = std::thread(&trade_session_core::reconnect_thread, this);
    } catch (const std::system_error&) {
        m_rc_running = false;
        log_line("debug", "trade_clt_check_and_reconn_thread create fail.");
    }
}

void trade_session_core::reconnect_thread() {
    log_line("debug", "_th_trade_clt_check_and_reconn start");
    m_rc_running = true;
    while (!m_rc_stop) {
        if (m_state == TRADE_STATE_DROPPED) {
            if (try_reconnect() != 0) break;
        }
        pause_ms(m_t_reconnect_idle_ms);
    }
    log_line("debug", "_th_trade_clt_check_and_reconn stop");
    m_rc_running = false;
}

// One attempt series: 0 once logged on again, 1 when stopped.
int trade_session_core::try_reconnect() {
    log_line("debug", "_th_try_reconn start");
    char text[128];
    int tries = 0;
    for (;;) {
        const unsigned waits = m_t_reconnect_wait_count;
        for (unsigned i = 0; i < waits; ++i) {
            pause_ms(m_t_reconnect_wait_ms);
            if (m_rc_stop) return 1;
        }
        if (m_rc_stop) return 1;
        ++tries;
        snprintf_mv(text, sizeof(text), "_th_try_reconn ConnServer try times:%d.", tries);
        log_line("debug", text);
        m_reconnecting = true;
#ifndef _WIN32
        __atomic_store_n(&g_reconnecting, 1, __ATOMIC_RELAXED);
#endif
        if (!connect_server(server_info(), m_mix)) continue;

        pause_ms(m_t_logon_first_wait_ms);
        const unsigned logon_waits = m_t_logon_wait_count;
        for (unsigned i = 0; i <= logon_waits; ++i) {
            if (m_state == TRADE_STATE_LOGGED_ON) {
                log_line("debug", "_th_try_reconn quit for logon success");
                return 0;
            }
            if (i == logon_waits) break;
            pause_ms(m_t_logon_wait_ms);
            if (m_rc_stop) return 1;
        }
    }
}

}  // namespace HUX_SESSION

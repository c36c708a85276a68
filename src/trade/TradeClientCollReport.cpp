// The terminal-information report that opens every logon of the trade
// session: one coll_rptr_app per call, aimed at the kept server address and
// TCP port, with the session's text log and the report waits of its timings.
#include <climits>
#include <cstring>

#include "trade/TradeClient.h"
#include "report/coll_rptr/coll_rptr_app.h"

namespace HUX_TRADE {

namespace {

// A 16-byte address field of the connection record, which need not hold a NUL.
void copy_address(char (&out)[17], const char (&field)[16]) {
    memcpy(out, field, sizeof(field));
    out[16] = '\0';
}

int wait_ms(unsigned ms) { return ms > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(ms); }

}  // namespace

unsigned CTradeClient::coll_rptr_report(const char* app_id, const char* auth_code, const char* login_id,
                                        const char* password) {
    char server_ip[17];
    char local_ip[17];
    int tcp_port;
    {
        std::lock_guard<std::mutex> guard(m_record_lock);
        copy_address(server_ip, m_record.server_ip);
        copy_address(local_ip, m_record.local_ip);
        tcp_port = m_record.tcp_port;
    }

    int code;
    {
        coll_rptr_app app;
        app.set_waits(wait_ms(m_t_coll_connect_wait_ms), wait_ms(m_t_coll_version_wait_ms),
                      wait_ms(m_t_coll_verdict_wait_ms), wait_ms(m_t_coll_report_wait_ms));
        // The local address goes in twice: as the address to connect from
        // (which the report leaves unused) and as the reported second address.
        code = app.init_app(server_ip, tcp_port, local_ip, app_id, auth_code, login_id, password, local_ip, &m_log,
                            m_logger_on);
        app.close_app();
    }
    if (code != 0) report_logon_result(code, false);
    return static_cast<unsigned>(code);
}

}  // namespace HUX_TRADE

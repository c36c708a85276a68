// The trade library's session: construction, its callbacks and records,
// ConnServer over the session core, the index tables.
#include "trade/TradeClient.h"

#include <cstdio>
#include <cstring>

#include "tools/cross_platform_api.h"
#include "trade_core/trade_msg.h"

namespace HUX_TRADE {

using MORVAST::TOOLS::snprintf_mv;

namespace {

const HUX_SESSION::session_traits TRADE_TRAITS = {
    "tavlog_",                              // log_prefix
    CTradeClient::API_VERSION,              // api_version
    "open trade servr %s:%d successed.",    // open_ok_format
    "_th_clt_heart_beat stop",              // hb_stop_line
    HUX_SESSION::LOGON_SEND_FAILED,         // logon_send_failed_result
    true,                                   // knows_qv27
    true,                                   // bypass_off_for_good
    false,                                  // detect_any_local_ip
    false,                                  // sigint_every_connect
    false,                                  // plugin_first_close
    true,                                   // warm_up_spacing
    false,                                  // exanic_adapter_form
    true,                                   // max_wait_to_epoll_at_once
};

// The dotted address of a 16-byte record field, which need not hold a NUL.
void copy_ip_field(char (&out)[17], const char (&field)[16]) {
    memcpy(out, field, sizeof(field));
    out[16] = '\0';
}

}  // namespace

CTradeClient::CTradeClient(void* user_param)
    : trade_session_core(TRADE_TRAITS, user_param),
      m_account_map(128),
      m_symbol_map(128),
      m_page_no(1),
      m_page_size(0),
      m_accounts_complete(false),
      m_symbols_complete(false),
      m_on_connection(nullptr),
      m_on_logon(nullptr),
      m_on_hb_timeout(nullptr),
      m_symbol_selector(0),
      m_symbol_page_size(100) {
    memset(&m_logon_rsp, 0, sizeof(m_logon_rsp));
    // The kept record before the first connect.
    memset(&m_record, 0, sizeof(m_record));
    m_record.kernel_bypass = 1;
    m_record.exit_on_signal = 1;
    m_record.heartbeat_interval = 5;
    m_record.rsp_cpu = -1;
    m_record.symbol_idx_page_size = 100;
    m_reject_text.fill();
}

CTradeClient::~CTradeClient() {
    // The threads and transports go while this object's hooks can still run.
    shutdown();
}

void CTradeClient::SetConnectionEvent(HUX_ConnectionEvent callback) { m_on_connection = callback; }
void CTradeClient::SetUserLogonEvent(HUX_UserLogonEvent callback) { m_on_logon = callback; }
void CTradeClient::SetHeartBeatTimeoutEvent(HUX_HeartBeatTimeoutEvent callback) { m_on_hb_timeout = callback; }

bool CTradeClient::GetMixProtccol() const { return m_mix; }

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

uint64_t CTradeClient::SwichEndian(uint64_t value) { return __builtin_bswap64(value); }
uint32_t CTradeClient::SwichEndian32(uint32_t value) { return __builtin_bswap32(value); }

// ---- hooks ----

void CTradeClient::report_connection(int code, const char* text) {
    HUX_ConnectionEvent callback = m_on_connection.load();
    if (callback) callback(this, code, text);
}

void CTradeClient::report_heart_beat_timeout(int seconds) {
    HUX_HeartBeatTimeoutEvent callback = m_on_hb_timeout.load();
    if (callback) callback(this, seconds);
}

// ---- connection ----

bool CTradeClient::ConnServer(const HUX_TradeSvrInfo* record, bool mix) {
    if (!record) return false;
    HUX_TradeSvrInfo info;
    memcpy(&info, record, sizeof(info));
    HUX_SESSION::session_server_info plain;
    copy_ip_field(plain.server_ip, info.server_ip);
    plain.tcp_port = info.tcp_port;
    plain.udp_port = info.udp_port;
    copy_ip_field(plain.local_ip, info.local_ip);
    plain.local_udp_port = info.local_udp_port;
    plain.keep_timestamps = info.keep_timestamps;
    plain.blocking_tcp = info.blocking_tcp;
    plain.kernel_bypass = info.kernel_bypass;
    plain.exit_on_signal = info.exit_on_signal;
    plain.tcp_direct = info.tcp_direct;
    plain.heartbeat_interval = info.heartbeat_interval;
    plain.rsp_cpu = info.rsp_cpu;
    plain.send_lock = info.send_lock;
    if (info.heartbeat_interval >= 0) {
        int32_t selector = info.symbol_idx_selector;
        m_symbol_selector = selector >= 2 && selector <= 4 ? selector : 0;
        m_symbol_page_size = info.symbol_idx_page_size;
        std::lock_guard<std::mutex> guard(m_record_lock);
        m_record = info;
    }
    return connect_server(plain, mix);
}

}  // namespace HUX_TRADE

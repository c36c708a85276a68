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

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "hux_trade_status_struct.h"
#include "hux_trade_struct.h"
#include "net/deferred_free.h"
#include "session/trade_session_core.h"
#include "tools/lock.h"
#include "tools/template_map_str.h"
#include "trade/TradeClientAnswerEvents.h"
#include "trade/TradeClientRejectText.h"

namespace HUX_TRADE {

using HUX_SESSION::TRADE_STATE_CLOSED;
using HUX_SESSION::TRADE_STATE_DROPPED;
using HUX_SESSION::TRADE_STATE_LOGGED_ON;
using HUX_SESSION::TRADE_STATE_NEW;
using HUX_SESSION::TRADE_STATE_VERSION_OK;
using HUX_SESSION::enTradeState;
using HUX_SESSION::TradeClientTimings;
using HUX_SESSION::trade_tcp_client;
using HUX_SESSION::LOGON_OK;
using HUX_SESSION::LOGON_VERSION_REFUSED_2;
using HUX_SESSION::LOGON_VERSION_REFUSED_3;
using HUX_SESSION::LOGON_REFUSED;
using HUX_SESSION::LOGON_SEND_FAILED;
using HUX_SESSION::LOGON_NOT_REQUESTED;
using HUX_SESSION::enLogonResult;

// The trade library's session: the shared session core with the trade
// library's records, C callbacks, index tables, answer handlers and reject
// texts.
class CTradeClient : public HUX_SESSION::trade_session_core {
public:
    static constexpr const char* API_VERSION = "5.2.4.16";

    explicit CTradeClient(void* user_param);
    ~CTradeClient() override;

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
    // Slots of the order, execution, report, quote, combination and
    // special-order answers; set them directly (null drops the event).
    trade_answer_events& AnswerEvents() { return m_answer_events; }
    // The reject reason tables, filled at construction and only read afterwards.
    const CRejectReasonText& RejectText() const { return m_reject_text; }
    // The C functions' calls under way on this session: its destroy waits
    // for them.
    HUX_NET::api_calls& ApiCalls() { return m_api_calls; }
    // The index maps; false when the name is not known.
    bool FindAccountIndex(const char* name, int& index);
    bool FindSymbolIndex(const char* name, int& index);
    size_t AccountCount() const;
    size_t SymbolCount() const;
    bool IsUseVerifyData() const { return false; }
    static uint64_t SwichEndian(uint64_t value);
    static uint32_t SwichEndian32(uint32_t value);

    // ---- connection ----
    // Disconnects, then builds the UDP order channel and the TCP client the
    // record asks for. True on success; the connected event ("conn ok") comes
    // later from the TCP client.
    bool ConnServer(const HUX_TradeSvrInfo* info, bool mix);
    // Closes the TCP client and the UDP order channel; always true.
    bool DisConnServer() { return disconnect_server(); }

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
    // New orders (type 10) and quotes (type 12). Over an ef_vi or ExaNIC
    // order channel each call counts one order and a warm-up call warms the
    // sender (at most once every 10 microseconds) and returns 8 (ef_vi) or
    // len (ExaNIC); otherwise a warm-up call sends nothing.
    int SendMsgToHuxForNewOrder(char* data, int len, int direction, int type, bool warm) {
        return send_new_order(data, len, direction, type, warm);
    }

    // The logon completion step: the callback once both index lists are complete.
    void trigger_logon_resp_event();

protected:
    void report_connection(int code, const char* text) override;
    void report_logon(const HUX_SESSION::logon_values& values) override;
    void report_logon_result(int result, bool with_answer) override;
    void on_logged_on(const HUX_SESSION::logon_values& values) override;
    void report_heart_beat_timeout(int seconds) override;
    const HUX_TRADE_CORE::msg_route_table& routes() const override { return route_table(); }
    void* handler_context() override { return this; }

private:
    typedef MORVAST::TOOLS::map_str<int, 128, MORVAST::TOOLS::null_lock> index_map;

    // The message types this session knows, with their handlers.
    static const HUX_TRADE_CORE::msg_route_table& route_table();
    // The order, cancel, quote, combination and special-order answers.
    static void add_order_answer_routes(HUX_TRADE_CORE::msg_route_table& t);
    // Executions, order reports, posted orders and server-internal orders.
    static void add_report_routes(HUX_TRADE_CORE::msg_route_table& t);

    // Answer handlers (called by the dispatcher with the session).
    static void on_report_version_resp(void* session, const unsigned char* msg);
    static void on_logon_msg_resp(void* session, const unsigned char* msg);
    static void on_account_idx_resp(void* session, const unsigned char* msg);
    static void on_symbol_idx_resp(void* session, const unsigned char* msg);
    static void on_set_heart_beat_resp(void* session, const unsigned char* msg);
    void proc_account_idx_resp(const unsigned char* msg);
    void proc_symbol_idx_resp(const unsigned char* msg);

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
    void keep_logon_record(const HUX_SESSION::logon_values& values);

    // Logon.
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
    HUX_NET::api_calls m_api_calls;

    // The record of the last ConnServer (the collection report reads its
    // addresses) and the symbol-index selector and page size.
    mutable std::mutex m_record_lock;
    HUX_TradeSvrInfo m_record;
    std::atomic<int32_t> m_symbol_selector;
    std::atomic<uint16_t> m_symbol_page_size;
};

}  // namespace HUX_TRADE

#endif

// The adapter's trade session: the shared session core with the adapter's
// receive table, records, reject texts and reports. It lives inside the
// two-session client, which owns it and hears its connection and logon
// events through TradeClientEvent; every result callback gets the owner
// value first.
//
// It differs from the trade library's session in what the traits say (no
// mixed protocol, no qv27, kernel_bypass read at every connect, the card of
// any non-empty local address found on the first connect, SIGINT installed
// at every connect, the plug-in closed first and reported as 99, no warm-up
// spacing, the ExaNIC sender without quotes) and in its logon: no
// terminal report and no index tables; the owner sends the version report,
// and the logon answer is reported at once.
#ifndef HUX_ADAPTER_TRADE_CLIENT_H
#define HUX_ADAPTER_TRADE_CLIENT_H

#include <atomic>
#include <cstdint>

#include "adapter/adapter_trade_answers.h"
#include "hux_adapter_struct.h"
#include "session/trade_session_core.h"

namespace HUX_ADAPTER {

using HUX_SESSION::TradeClientTimings;

// Connection and logon events of the trade session, for its owner.
class TradeClientEvent {
public:
    virtual void on_trade_client_connect_event(int code, const char* text) = 0;
    virtual void on_trade_client_logon_event(HUX_LogonResponse* rsp) = 0;

protected:
    ~TradeClientEvent() = default;
};

class CTradeClient : public HUX_SESSION::trade_session_core {
public:
    static constexpr const char* API_VERSION = "5.2.4.67";

    // owner: the first argument of every result callback; events: connection
    // and logon reports (null: nothing reported); user: GetUserParam's value.
    CTradeClient(void* owner, TradeClientEvent* events, void* user);
    ~CTradeClient() override;

    // Disconnects, then connects by the record (its trade fields); true when
    // the transports opened. "conn ok" comes later through the events.
    bool ConnServer(const HUX_TradeSvrInfo& info);
    // Closes the plug-in, the kernel-bypass senders, TCP and kernel UDP, in
    // that order; always true.
    bool DisConnServer() { return disconnect_server(); }
    // The same close for a lost connection the session depends on (the
    // query session's): when the close reports anything, it reports `code`
    // and `text` (the loss, 2 or 4) once in place of "local disconnected",
    // and leaves the session disconnected (3), so that the reconnect thread
    // brings it back as after its own loss. Always true.
    bool DisConnServerAsLost(int code, const char* text);
    // Keeps the four logon texts; nothing is sent.
    void SaveLoginInfo(const char* login_id, const char* password, const char* app_id, const char* auth_code);
    // Fields three to eight of the kept logon answer (the current token mark
    // for max_token); result and user_id stay as the caller set them.
    void GetLogonRespInfo(HUX_LogonResponse& rsp);
    // New orders: over an ef_vi or ExaNIC order channel each call counts one
    // order and a warm-up call sends its warm-up frame; otherwise the TCP form
    // ("NewOrder"), and a warm-up call sends nothing.
    int SendMsgToHuxForNewOrder(char* data, int len, int direction, bool warm);
    // Whether the last ConnServer opened the UDP order channel.
    bool IsUseUdpOrder() const { return udp_channel_open(); }
#ifndef _WIN32
    // Whether an interface holds `ip`, with its name into `name` (16 bytes).
    bool get_ifname_by_ip(const char* ip, char* name);
#endif

    // The result callbacks (null: the event is not built).
    adapter_trade_events& Events() { return m_ctx.events; }
    void SetHeartBeatEvent(HUX_HeartBeatTimeoutEvent callback) { m_on_hb_timeout = callback; }
    const CRejectReasonText& RejectText() const { return m_ctx.texts; }

protected:
    void report_connection(int code, const char* text) override;
    void report_logon(const HUX_SESSION::logon_values& values) override;
    void report_logon_result(int result, bool with_answer) override;
    void on_logged_on(const HUX_SESSION::logon_values& values) override;
    void report_heart_beat_timeout(int seconds) override;
    const HUX_TRADE_CORE::msg_route_table& routes() const override;
    void* handler_context() override { return &m_ctx; }
    const char* handled_label(const HUX_TRADE_CORE::msg_route& route, uint16_t type,
                              const unsigned char* msg) override;

private:
    static void on_report_version_resp(void* ctx, const unsigned char* msg);
    static void on_logon_msg_resp(void* ctx, const unsigned char* msg);
    static void on_set_heart_beat_resp(void* ctx, const unsigned char* msg);

    TradeClientEvent* const m_events;
    adapter_answer_context m_ctx;
    std::atomic<HUX_HeartBeatTimeoutEvent> m_on_hb_timeout{nullptr};
    // The heart-beat setting: sent after the logon when the record's
    // interval is non-zero; the interval is replaced only by a non-zero one.
    std::atomic<bool> m_hb_flag{true};
    std::atomic<int32_t> m_hb_interval{5};
};

}  // namespace HUX_ADAPTER

#endif

// The API object of the trade library against the simulated trade server
// over loopback: every method of HUXTraderApi (and QueryOtAccountBP of the
// implementation) reaches the function it forwards to, every server message
// reaches the right method of the application's event object with its
// record, and events are dropped while there is no event object. What the
// functions themselves do is checked through the C interface elsewhere; here
// one observation per method shows that it reached its own function.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "hux_trader_api.h"
#include "sim/loopback_server.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "tests/support/session_support.h"
#include "tests/support/test_wait.h"
#include "api/HUXTradeImpl.h"

using namespace std::chrono_literals;
using namespace trade_test;
using hux_test::wait_until;

namespace {

const std::chrono::milliseconds kWait = hux_test::test_wait();
const char* const kPassword = "pw-0001";
const uint32_t kUserId = 77;  // 0x4d
const int32_t kMaxToken = 900;

// The methods of HUXTraderEvent that carry one record, with the kind their
// calls are logged under.
#define HUX_RECORD_EVENTS(X)                                                                  \
    X(OnSpecialOrderAccept, HUX_SpecialOrderAcceptField, ON_SPECIAL_ORDER_ACCEPT)             \
    X(OnOrderAccept, HUX_OrderAcceptField, ON_ORDER_ACCEPT)                                   \
    X(OnComboAccept, HUX_ComboAcceptField, ON_COMBO_ACCEPT)                                   \
    X(OnQuoteAccept, HUX_QuoteAcceptField, ON_QUOTE_ACCEPT)                                   \
    X(OnSpecialOrderMarketAccept, HUX_SpecialOrderMarketAcceptField, ON_SPECIAL_ORDER_MARKET_ACCEPT) \
    X(OnOrderMarketAccept, HUX_OrderMarketAcceptField, ON_ORDER_MARKET_ACCEPT)                \
    X(OnComboMarketAccept, HUX_ComboMarketAcceptField, ON_COMBO_MARKET_ACCEPT)                \
    X(OnQuoteMarketAccept, HUX_QuoteMarketAcceptField, ON_QUOTE_MARKET_ACCEPT)                \
    X(OnOrderMarketReport, HUX_OrderMarketReportField, ON_ORDER_MARKET_REPORT)                \
    X(OnQuoteMarketReport, HUX_QuoteMarketReportField, ON_QUOTE_MARKET_REPORT)                \
    X(OnOrderReject, HUX_OrderRejectField, ON_ORDER_REJECT)                                   \
    X(OnComboReject, HUX_ComboRejectField, ON_COMBO_REJECT)                                   \
    X(OnSpecialOrderReject, HUX_SpecialOrderRejectField, ON_SPECIAL_ORDER_REJECT)             \
    X(OnQuoteReject, HUX_QuoteRejectField, ON_QUOTE_REJECT)                                   \
    X(OnOrderMarketReject, HUX_OrderMarketRejectField, ON_ORDER_MARKET_REJECT)                \
    X(OnComboMarketReject, HUX_ComboMarketRejectField, ON_COMBO_MARKET_REJECT)                \
    X(OnSpecialOrderMarketReject, HUX_SpecialOrderMarketRejectField, ON_SPECIAL_ORDER_MARKET_REJECT) \
    X(OnQuoteMarketReject, HUX_QuoteMarketRejectField, ON_QUOTE_MARKET_REJECT)                \
    X(OnOrderExecution, HUX_OrderExecutionField, ON_ORDER_EXECUTION)                          \
    X(OnOrderActionAccept, HUX_OrderActionAccept, ON_ORDER_ACTION_ACCEPT)                     \
    X(OnSpecialOrderActionAccept, HUX_SpecialOrderActionAccept, ON_SPECIAL_ORDER_ACTION_ACCEPT) \
    X(OnQuoteActionAccept, HUX_QuoteActionAccept, ON_QUOTE_ACTION_ACCEPT)                     \
    X(OnInputRegForQuote, HUX_InputRegForQuoteResponse, ON_INPUT_REG_FOR_QUOTE)               \
    X(OnOrderActionReject, HUX_OrderActionRej, ON_ORDER_ACTION_REJECT)                        \
    X(OnSpecialOrderActionReject, HUX_SpecialOrderActionRej, ON_SPECIAL_ORDER_ACTION_REJECT)  \
    X(OnQuoteActionReject, HUX_QuoteActionRej, ON_QUOTE_ACTION_REJECT)                        \
    X(OnOrderActionMarketAccept, HUX_OrderActionMarketAcceptField, ON_ORDER_ACTION_MARKET_ACCEPT) \
    X(OnSpecialOrderActionMarketAccept, HUX_SpecialOrderActionMarketAcceptField,              \
      ON_SPECIAL_ORDER_ACTION_MARKET_ACCEPT)                                                  \
    X(OnQuoteActionMarketAccept, HUX_QuoteActionMarketAcceptField, ON_QUOTE_ACTION_MARKET_ACCEPT) \
    X(OnOrderActionMarketReject, HUX_OrderActionMarketRejectField, ON_ORDER_ACTION_MARKET_REJECT) \
    X(OnSpecialOrderActionMarketReject, HUX_SpecialOrderActionMarketRejectField,              \
      ON_SPECIAL_ORDER_ACTION_MARKET_REJECT)                                                  \
    X(OnQuoteActionMarketReject, HUX_QuoteActionMarketRejectField, ON_QUOTE_ACTION_MARKET_REJECT) \
    X(OnPostQuote, HUX_PostQuote, ON_POST_QUOTE)                                              \
    X(OnPostOrder, HUX_PostOrder, ON_POST_ORDER)                                              \
    X(OnPostSpecialOrder, HUX_PostSpecialOrder, ON_POST_SPECIAL_ORDER)                        \
    X(OnPostOrderExecution, HUX_PostOrderExecution, ON_POST_ORDER_EXECUTION)                  \
    X(OnInternalOrder, HUX_InternalOrder, ON_INTERNAL_ORDER)                                  \
    X(OnInternalOrderAdjustStatus, HUX_InternalOrderAdjustStatus, ON_INTERNAL_ORDER_ADJUST_STATUS) \
    X(OnInternalOrderExec, HUX_InternalOrderExecution, ON_INTERNAL_ORDER_EXEC)                \
    X(OnInternalOrderAdjustMktRej, HUX_InternalOrderAdjustMktRej, ON_INTERNAL_ORDER_ADJUST_MKT_REJ) \
    X(OnInternalQuoteAdjustStatus, HUX_InternalQuoteAdjustStatus, ON_INTERNAL_QUOTE_ADJUST_STATUS) \
    X(OnInternalQuoteAdjustMktRej, HUX_InternalQuoteAdjustMktRej, ON_INTERNAL_QUOTE_ADJUST_MKT_REJ) \
    X(OnSymbolStatusReport, HUX_SymbolStatus, ON_SYMBOL_STATUS_REPORT)                        \
    X(OnProdStatusReport, HUX_ProdStatus, ON_PROD_STATUS_REPORT)                              \
    X(OnQuerySessionID, HUX_SessionID, ON_QUERY_SESSION_ID)

// Each method of HUXTraderEvent logs its calls under a kind of its own.
enum event_kind {
    ON_CONNECTION = 1,
    ON_DISCONNECTION,
    ON_USER_LOGON,
    ON_HEARTBEAT_TIMEOUT,
    ON_QUERY_MARKET_SESSION,  // the first kind of a server message
    ON_MARKET_SESSION_STAT_REPORT,
    ON_QUERY_SYMBOL_STATUS,
#define HUX_KIND(method, R, kind) kind,
    HUX_RECORD_EVENTS(HUX_KIND)
#undef HUX_KIND
    END_OF_KINDS
};

// The application's event object: logs every call, from whatever thread.
// The connection events log their text as the record and their code as the
// number; the logon its socket as the number.
class recorder : public HUXTraderEvent {
public:
    event_log log;

    size_t count(int kind) const {
        size_t n = 0;
        for (const event& e : log.all()) n += e.kind == kind ? 1 : 0;
        return n;
    }
    bool wait_count(int kind, size_t n, std::chrono::milliseconds timeout = kWait) const {
        return log.wait_for(
            [&](const std::vector<event>& all) {
                size_t k = 0;
                for (const event& e : all) k += e.kind == kind ? 1 : 0;
                return k >= n;
            },
            timeout);
    }
    event first_of(int kind) const {
        for (const event& e : log.all())
            if (e.kind == kind) return e;
        return event();
    }
    // Every call except the heart-beat time-outs, which come whenever the
    // server has been quiet long enough.
    std::vector<event> answers() const {
        std::vector<event> out;
        for (const event& e : log.all())
            if (e.kind != ON_HEARTBEAT_TIMEOUT) out.push_back(e);
        return out;
    }
    bool wait_answers(size_t n) const {
        return log.wait_for(
            [&](const std::vector<event>& all) {
                size_t k = 0;
                for (const event& e : all) k += e.kind != ON_HEARTBEAT_TIMEOUT ? 1 : 0;
                return k >= n;
            },
            kWait);
    }

    void OnConnection(int code, const char* text) override { add_text(ON_CONNECTION, code, text); }
    void OnDisconnection(int code, const char* text) override { add_text(ON_DISCONNECTION, code, text); }
    void OnUserLogon(HUX_LogonResponse* rsp, int sock) override {
        log.add(ON_USER_LOGON, rsp, sizeof(*rsp), false, sock);
    }
    void OnHeartbeatTimeout(int seconds) override { log.add(ON_HEARTBEAT_TIMEOUT, nullptr, 0, false, seconds); }
    void OnQueryMarketSession(HUX_ExchangeMarketSession* r, bool last) override {
        log.add(ON_QUERY_MARKET_SESSION, r, sizeof(*r), last);
    }
    void OnMarketSessionStatReport(uint8_t state, bool flag) override {
        log.add(ON_MARKET_SESSION_STAT_REPORT, nullptr, 0, flag, state);
    }
    void OnQuerySymbolStatus(HUX_SymbolStatus* r, bool last) override {
        log.add(ON_QUERY_SYMBOL_STATUS, r, sizeof(*r), last);
    }
#define HUX_OVERRIDE(method, R, kind) \
    void method(R* r) override { log.add(kind, r, r ? sizeof(R) : 0); }
    HUX_RECORD_EVENTS(HUX_OVERRIDE)
#undef HUX_OVERRIDE

private:
    void add_text(int kind, int code, const char* text) {
        log.add(kind, text, text ? std::strlen(text) : 0, false, code);
    }
};

hux_sim::sim_config server_config() {
    hux_sim::sim_config cfg;
    cfg.password = kPassword;
    cfg.user_id = kUserId;
    cfg.max_token = kMaxToken;
    cfg.accounts = {{"ACC001", 1}};
    cfg.symbols = {{"IF2406", 3}};
    return cfg;
}

CTradeClient* session_of(HUXTradeImpl* impl) { return static_cast<CTradeClient*>(impl->GetHandle()); }

off_t file_size(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

struct api_guard {
    HUXTraderApi* api = CreateHUXTraderApi();
    ~api_guard() { DestroyHUXTraderApi(api); }
};

}  // namespace

// Every slot of HUXTraderApi, called through the base class, reaches the C
// function it forwards to: each shows it by a message the server recorded, a
// result code only that function gives, or a state of the session it changes.
TEST(ApiObject, EverySlotForwardsToItsFunction) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(server_config()));
    recorder rec;  // outlives the object, whose destruction still reaches it
    api_guard g;
    HUXTraderApi* api = g.api;
    ASSERT_NE(api, nullptr);
    HUXTradeImpl* impl = dynamic_cast<HUXTradeImpl*>(api);
    ASSERT_NE(impl, nullptr);
    ASSERT_NE(impl->GetHandle(), nullptr);
    EXPECT_EQ(MVHUX_GetUserParam(impl->GetHandle()), impl);  // the session's user parameter is the object

    // Slot 2: the version text.
    EXPECT_STREQ(api->GetTradeApiVersion(), "5.2.4.16");

    // Slot 5: 25 only for a negative count; over the kernel transports no
    // timestamp is kept, so the count becomes 0.
    long long stamps[4] = {0, 0, 0, 0};
    int count = -1;
    EXPECT_EQ(api->GetTimestamps(stamps, count), HUX_RESULT_NULL_ARGUMENT);
    count = 4;
    EXPECT_EQ(api->GetTimestamps(stamps, count), 0);
    EXPECT_EQ(count, 0);

    // Slots 8 and 9 before a connection: not connected.
    unsigned int token = 0;
    EXPECT_EQ(api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(api->GetMaxToken(&token), HUX_RESULT_NOT_CONNECTED);

    // Slot 6 against a port that refuses: 1.
    {
        hux_test::loopback_server dead;
        ASSERT_NE(dead.port(), 0);
        dead.stop_listening();
        EXPECT_EQ(api->ConnServer(loopback_info(dead.port()), &rec, false), HUX_RESULT_CONNECT_FAILED);
    }

    // Slot 3: auto-reconnect takes effect at the next completed logon.
    EXPECT_EQ(api->SetAutoReconnect(true), 0);

    // Slot 6: connected; the event object hears "conn ok".
    const size_t idle_threads = hux_test::thread_count();
    ASSERT_EQ(api->ConnServer(loopback_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1));
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(impl->GetHandle()), &rec);
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));
    const size_t sync_client_threads = hux_test::thread_count() - idle_threads;
    EXPECT_EQ(api->GetMaxToken(&token), HUX_RESULT_NOT_LOGGED_ON);  // slot 9: connected, not logged on

    // Slot 8: the version report carries the user id; the logon completes.
    ASSERT_EQ(api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kLogonWait));
    EXPECT_EQ(val(record_as<HUX_LogonResponse>(rec.first_of(ON_USER_LOGON)).user_id), kUserId);
    ASSERT_TRUE(sim.wait_for_message(0, 80, 1, kWait));
    EXPECT_EQ(sim.last_message(0, 80).substr(12, 9), std::string("trader01\0", 9));
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsLogon(); }, kWait));
    // Slot 3 reached the session: the reconnect thread runs after the logon.
    EXPECT_TRUE(wait_until([&] { return session_of(impl)->IsReconnectRunning(); }, kWait));

    // Slot 9: the account's maximum token from the logon answer.
    ASSERT_EQ(api->GetMaxToken(&token), 0);
    EXPECT_EQ(token, static_cast<unsigned>(kMaxToken));

    // Slot 10: a new order above the mark is sent; the same token again is
    // refused by the token check.
    HUX_EnterOrderField order = order_req(901);
    order.request_tag = 0x0a0a0a01;
    EXPECT_EQ(api->EnterOrder(&order), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 10, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 10), 4), 0x0a0a0a01u);  // request tag
    EXPECT_EQ(api->EnterOrder(&order), HUX_RESULT_TOKEN_NOT_ABOVE);

    // Slot 18: the caller's record with the token check skipped. A warm-up
    // proper (quantity 0) sends nothing and checks nothing, so a record with
    // a quantity shows the flag: the token slot 10 refused now passes.
    order.request_tag = 0x0a0a0a18;
    EXPECT_EQ(api->EnterOrderWarm(&order), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 10, 2, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 10), 4), 0x0a0a0a18u);
    // ... and a warm-up with an exchange id out of range is accepted unsent.
    HUX_EnterOrderField warm = order;
    warm.quantity = 0;
    warm.exchange_id = 99;
    EXPECT_EQ(api->EnterOrderWarm(&warm), 0);

    // Slot 17: the object's own all-zero order is a warm-up (its exchange id
    // 0 would otherwise give 18): accepted, not sent, the mark unchanged.
    EXPECT_EQ(api->EnterOrderWarm(), 0);
    ASSERT_EQ(api->GetMaxToken(&token), 0);
    EXPECT_EQ(token, 901u);

    // Slot 16: a new quote; the same token again is refused.
    HUX_EnterQuoteField quote = quote_req(902);
    quote.request_tag = 0x0c0c0c01;
    EXPECT_EQ(api->EnterQuote(&quote), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 12, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 12), 4), 0x0c0c0c01u);  // request tag
    // Nothing was sent for the warm-ups of slots 17 and 18 before the quote.
    EXPECT_EQ(sim.count(0, 10), 2u);
    EXPECT_EQ(api->EnterQuote(&quote), HUX_RESULT_TOKEN_NOT_ABOVE);

    // Slot 20: the caller's quote with the token check skipped.
    quote.request_tag = 0x0c0c0c20;
    EXPECT_EQ(api->EnterQuoteWarm(&quote), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 12, 2, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 12), 4), 0x0c0c0c20u);

    // Slot 19: the object's own all-zero quote: accepted, not sent.
    EXPECT_EQ(api->EnterQuoteWarm(), 0);

    // Slot 11: a combination order, type 14.
    HUX_EnterComboField combo = combo_req(903);
    combo.request_tag = 0x0e0e0e01;
    EXPECT_EQ(api->EnterCombo(&combo), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 14, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 14), 4), 0x0e0e0e01u);  // request tag
    EXPECT_EQ(sim.count(0, 12), 2u);                              // the slot 19 warm-up sent nothing

    // Slot 12: a special order, type 30.
    HUX_EnterSpecialOrderField special = special_req(904);
    special.request_tag = 0x1e1e1e01;
    EXPECT_EQ(api->EnterSpecialOrder(&special), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 30, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 30), 4), 0x1e1e1e01u);  // request tag

    // Slot 13: the simple order looks up both names (unknown account: 20)
    // and is sent as type 20 with their indexes.
    HUX_EnterOrderSimpleField simple = simple_order_req(905);
    EXPECT_EQ(api->EnterOrderSimple(&simple, "NO-SUCH", "IF2406"), HUX_RESULT_UNKNOWN_ACCOUNT);
    simple.client_token = 906;
    EXPECT_EQ(api->EnterOrderSimple(&simple, "ACC001", "IF2406"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 20, 1, kWait));
    EXPECT_EQ(static_cast<uint8_t>(sim.last_message(0, 20)[9]), 1);  // account index of ACC001
    EXPECT_EQ(u16_at(sim.last_message(0, 20), 10), 3);               // symbol index of IF2406

    // Slot 14: the simple quote (unknown symbol: 21), type 22.
    HUX_EnterQuoteSimpleField simple_quote = simple_quote_req(907);
    simple_quote.request_tag = 0x16161601;
    EXPECT_EQ(api->EnterQuoteSimple(&simple_quote, "ACC001", "NO-SUCH"), HUX_RESULT_UNKNOWN_SYMBOL);
    simple_quote.client_token = 908;
    EXPECT_EQ(api->EnterQuoteSimple(&simple_quote, "ACC001", "IF2406"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 22, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 22), 4), 0x16161601u);  // request tag

    // Slots 21, 22 and 15: the three cancels, types 11, 13 and 31.
    HUX_CancelOrder cancel = cancel_req();
    cancel.market_token = 0x11111111;
    EXPECT_EQ(api->CancelOrder(&cancel), 0);
    HUX_QuoteAction action = quote_action_req();
    action.market_token = 0x22222222;
    EXPECT_EQ(api->QuoteAction(&action), 0);
    HUX_CancelSpecialOrder cancel_special = cancel_special_req();
    cancel_special.market_token = 0x33333333;
    EXPECT_EQ(api->CancelSpecialOrder(&cancel_special), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 31, 1, kWait));
    ASSERT_EQ(sim.count(0, 11), 1u);
    ASSERT_EQ(sim.count(0, 13), 1u);
    EXPECT_EQ(u32_at(sim.last_message(0, 11), 16), 0x11111111u);  // market token
    EXPECT_EQ(u32_at(sim.last_message(0, 13), 16), 0x22222222u);
    EXPECT_EQ(u32_at(sim.last_message(0, 31), 16), 0x33333333u);

    // Slots 28, 29, 30 and 31: the queries, with their arguments.
    // From here on only what the object sends is checked: the server answers
    // nothing, so no late answer reaches the binary log measured below.
    sim.set_silent(true);
    EXPECT_EQ(api->QueryMarketSession(), 0);
    EXPECT_EQ(api->QuerySymbolStatus(), 0);
    EXPECT_EQ(api->QuerySessionID("SESSION-A", 99), HUX_RESULT_BAD_EXCHANGE);
    EXPECT_EQ(api->QuerySessionID("SESSION-A", 101), 0);
    EXPECT_EQ(impl->QueryOtAccountBP("ACC001"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 81, 1, kWait));
    EXPECT_EQ(sim.count(0, 84), 1u);
    EXPECT_EQ(sim.count(0, 87), 1u);
    ASSERT_EQ(sim.count(0, 94), 1u);
    EXPECT_EQ(sim.last_message(0, 94).substr(12, 10), std::string("SESSION-A\0", 10));  // session text
    EXPECT_EQ(static_cast<uint8_t>(sim.last_message(0, 94)[29]), 101);                  // market
    EXPECT_EQ(sim.last_message(0, 81).substr(12, 7), std::string("ACC001\0", 7));       // account

    // Slot 23: seconds in the high half as local time, nanoseconds in the low.
    const time_t seconds = 1700000000;
    tm expected;
    ASSERT_NE(localtime_r(&seconds, &expected), nullptr);
    tm out = zeroed<tm>();
    unsigned int nanoseconds = 0;
    EXPECT_EQ(api->ConvertFromTimestamp((static_cast<unsigned long long>(seconds) << 32) | 123456789u, out,
                                        nanoseconds),
              0);
    EXPECT_EQ(nanoseconds, 123456789u);
    EXPECT_EQ(out.tm_year, expected.tm_year);
    EXPECT_EQ(out.tm_yday, expected.tm_yday);
    EXPECT_EQ(out.tm_hour, expected.tm_hour);
    EXPECT_EQ(out.tm_min, expected.tm_min);
    EXPECT_EQ(out.tm_sec, expected.tm_sec);

    // Slot 24: with the switch on every send goes to the binary log, with it
    // off none does.
    scratch_dir dir;
    MVHUX_SetLogDir(impl->GetHandle(), dir.path().c_str());
    const std::string bin_log = bin_log_path(dir.path());
    const std::string text_log = text_log_path(dir.path());
    ASSERT_GE(file_size(bin_log), 0);
    // The server records the queries without answering, so only what is
    // sent reaches the binary log.
    sim.set_silent(true);
    EXPECT_EQ(api->SetLoggerSwitch(true), 0);
    const off_t before_on = file_size(bin_log);
    ASSERT_EQ(api->QueryMarketSession(), 0);
    const off_t after_on = file_size(bin_log);
    // One record: the 31-character header "YYYYMMDD-HH:MM:SS.uuuuuu 00016 ",
    // the tag '0' and a blank, the 16 bytes and the newline.
    EXPECT_EQ(after_on, before_on + 50);
    EXPECT_EQ(api->SetLoggerSwitch(false), 0);
    ASSERT_EQ(api->QueryMarketSession(), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 84, 3, kWait));
    EXPECT_EQ(file_size(bin_log), after_on);
    sim.set_silent(false);

    // Slot 25: flushing reopens both logs under their names, so removed
    // files come back.
    ASSERT_EQ(::unlink(bin_log.c_str()), 0);
    ::unlink(text_log.c_str());
    ASSERT_EQ(file_size(bin_log), -1);
    EXPECT_EQ(api->LoggerFlush(), 0);
    EXPECT_GE(file_size(bin_log), 0);
    EXPECT_GE(file_size(text_log), 0);

    // Slot 27: limits outside 1..the server's are refused; a limit of 1
    // lets no order through.
    EXPECT_EQ(api->ChangeFCParam(0, 0), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(api->ChangeFCParam(1, 295), 0);
    order.client_token = 950;
    EXPECT_EQ(api->EnterOrder(&order), HUX_RESULT_FLOW_CONTROL);

    // Slot 4: the receive wait is not visible from outside; only its result.
    EXPECT_EQ(api->SetMaxWaitTime(5), 0);

    // Slot 7: the local disconnect reaches the event object, the server sees
    // the close and the reconnect thread stops.
    EXPECT_EQ(api->DisConnServer(), 0);
    ASSERT_TRUE(rec.wait_count(ON_DISCONNECTION, 1));
    EXPECT_EQ(rec.log.all().back().number, 3);
    EXPECT_EQ(rec.log.all().back().record, "local disconnected");
    EXPECT_TRUE(sim.transport().wait_peer_closed(0, kWait));
    EXPECT_TRUE(wait_until([&] { return !session_of(impl)->IsReconnectRunning(); }, kWait));
    EXPECT_EQ(api->QueryMarketSession(), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(sim.count(0, 10), 2u);  // the flow-controlled order was not sent

    // Slot 26: the next connect builds the asynchronous client, which runs
    // more threads than the synchronous one.
    ASSERT_TRUE(wait_until([&] { return hux_test::thread_count() == idle_threads; }, kWait));
    EXPECT_EQ(api->SetAsyncReceiveMode(), 0);
    ASSERT_EQ(api->ConnServer(loopback_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 2));
    EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() > idle_threads + sync_client_threads; }, kWait))
        << "synchronous client threads: " << sync_client_threads;
    EXPECT_EQ(api->DisConnServer(), 0);
    EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
}

namespace {

// One server message and the method it must reach. Every answer and report
// record starts with the int32 the message carries at 4 (its request tag or
// first field), which each message here sets to a value of its own; the
// status records are checked field by field.
struct answer_case {
    std::string name;
    std::string wire;
    int kind;
    int32_t tag;
    std::function<void(const event&)> check;  // for the status records
};

// A maker of an answer with its tag at 4 and its verdict: V is the answer's
// values, `build` the simulated server's encoder (given its type when it
// serves several).
using answer_maker = std::function<std::string(int32_t tag, uint32_t verdict)>;
template <class V>
answer_maker answer_of(std::string (*build)(const V&)) {
    return [build](int32_t tag, uint32_t verdict) {
        V v;
        v.request_tag = tag;
        v.result = verdict;
        return build(v);
    };
}
template <class V>
answer_maker answer_of(uint16_t type, std::string (*build)(uint16_t, const V&)) {
    return [type, build](int32_t tag, uint32_t verdict) {
        V v;
        v.request_tag = tag;
        v.result = verdict;
        return build(type, v);
    };
}

std::vector<answer_case> all_answers() {
    using namespace hux_sim;
    std::vector<answer_case> v;
    // Each answer type accepted (verdict 0, its type as the tag) and refused
    // (verdict 7, ten times its type).
    auto both = [&v](int type, int accept, int reject, const answer_maker& make) {
        v.push_back({std::to_string(type) + " accept", make(type, 0), accept, type, nullptr});
        v.push_back({std::to_string(type) + " reject", make(type * 10, 7), reject, type * 10, nullptr});
    };
    both(1010, ON_ORDER_ACCEPT, ON_ORDER_REJECT, answer_of(order_insert_answer));
    both(1011, ON_ORDER_ACTION_ACCEPT, ON_ORDER_ACTION_REJECT, answer_of(1011, cancel_answer));
    both(1012, ON_ORDER_MARKET_ACCEPT, ON_ORDER_MARKET_REJECT, answer_of(order_insert_market_answer));
    both(1013, ON_ORDER_ACTION_MARKET_ACCEPT, ON_ORDER_ACTION_MARKET_REJECT, answer_of(1013, cancel_market_answer));
    both(1018, ON_QUOTE_ACCEPT, ON_QUOTE_REJECT, answer_of<sim_quote_answer>([](const sim_quote_answer& a) {
             return quote_insert_answer(a);
         }));
    both(1019, ON_QUOTE_ACTION_ACCEPT, ON_QUOTE_ACTION_REJECT, answer_of(1019, cancel_answer));
    both(1020, ON_QUOTE_MARKET_ACCEPT, ON_QUOTE_MARKET_REJECT, answer_of(quote_insert_market_answer));
    both(1021, ON_QUOTE_ACTION_MARKET_ACCEPT, ON_QUOTE_ACTION_MARKET_REJECT, answer_of(1021, cancel_market_answer));
    both(1025, ON_COMBO_ACCEPT, ON_COMBO_REJECT, answer_of(1025, combo_answer));
    both(1026, ON_COMBO_MARKET_ACCEPT, ON_COMBO_MARKET_REJECT, answer_of(1026, combo_answer));
    both(1030, ON_SPECIAL_ORDER_ACCEPT, ON_SPECIAL_ORDER_REJECT, answer_of(special_order_answer));
    both(1031, ON_SPECIAL_ORDER_ACTION_ACCEPT, ON_SPECIAL_ORDER_ACTION_REJECT, answer_of(1031, cancel_answer));
    both(1032, ON_SPECIAL_ORDER_MARKET_ACCEPT, ON_SPECIAL_ORDER_MARKET_REJECT, answer_of(special_order_market_answer));
    both(1033, ON_SPECIAL_ORDER_ACTION_MARKET_ACCEPT, ON_SPECIAL_ORDER_ACTION_MARKET_REJECT,
         answer_of(1033, cancel_market_answer));

    // Reports, each with its type as the tag.
    auto one = [&v](int type, int kind, const std::string& wire) {
        v.push_back({std::to_string(type), wire, kind, type, nullptr});
    };
    sim_quote_answer quote;
    quote.request_tag = 1022;
    one(1022, ON_QUOTE_MARKET_REPORT, quote_market_report(quote));
    quote.request_tag = 1023;
    one(1023, ON_POST_QUOTE, post_quote(quote));
    sim_execution exec;
    exec.field_4 = 1014;
    one(1014, ON_ORDER_EXECUTION, execution_message(1014, exec));
    exec.field_4 = 1017;
    one(1017, ON_POST_ORDER_EXECUTION, execution_message(1017, exec));
    exec.field_4 = 2203;
    one(2203, ON_INTERNAL_ORDER_EXEC, execution_message(2203, exec));
    sim_order order;
    order.request_tag = 1015;
    one(1015, ON_ORDER_MARKET_REPORT, order_message(1015, order));
    order.request_tag = 1016;
    one(1016, ON_POST_ORDER, order_message(1016, order));
    order.request_tag = 2202;
    one(2202, ON_INTERNAL_ORDER_ADJUST_STATUS, order_message(2202, order));
    sim_special_order posted_special;
    posted_special.field_4 = 1034;
    one(1034, ON_POST_SPECIAL_ORDER, special_order_message(posted_special));
    sim_internal_order internal;
    internal.request_tag = 2201;
    one(2201, ON_INTERNAL_ORDER, internal_order_message(internal));
    sim_order_adjust_rej adjust_rej;
    adjust_rej.request_tag = 2204;
    one(2204, ON_INTERNAL_ORDER_ADJUST_MKT_REJ, order_adjust_rej_message(adjust_rej));
    sim_quote_adjust quote_adjust;
    quote_adjust.field_4 = 2205;
    one(2205, ON_INTERNAL_QUOTE_ADJUST_STATUS, quote_adjust_message(quote_adjust));
    quote_adjust.field_4 = 2206;
    one(2206, ON_INTERNAL_QUOTE_ADJUST_MKT_REJ, quote_adjust_rej_message(quote_adjust));

    // Status and query answers.
    sim_market_sessions sessions;
    sessions.exchange_id = 101;
    sessions.last = 1;
    sessions.count = 2;
    v.push_back({"1084 market sessions", market_session_answer(sessions), ON_QUERY_MARKET_SESSION, 0,
                 [](const event& e) {
                     const HUX_ExchangeMarketSession r = record_as<HUX_ExchangeMarketSession>(e);
                     EXPECT_EQ(r.exchange_id, 101);
                     EXPECT_EQ(r.session_count, 2);
                     EXPECT_TRUE(e.flag);  // last
                 }});
    sim_session_stat stat;
    stat.flag = 1;
    stat.session = 0x11;
    v.push_back({"1085 session state", session_stat_report(stat), ON_MARKET_SESSION_STAT_REPORT, 0,
                 [](const event& e) {
                     EXPECT_EQ(e.number, 0x11);  // state
                     EXPECT_TRUE(e.flag);
                 }});
    sim_symbol_status symbol;
    symbol.symbol = "IF2406";
    symbol.value = 1086;
    v.push_back({"1086 symbol status", symbol_status_message(false, symbol), ON_SYMBOL_STATUS_REPORT, 0,
                 [](const event& e) {
                     const HUX_SymbolStatus r = record_as<HUX_SymbolStatus>(e);
                     EXPECT_STREQ(r.symbol, "IF2406");
                     EXPECT_EQ(val(r.value), 1086);
                 }});
    symbol.value = 1087;
    v.push_back({"1087 symbol status entry", symbol_status_message(true, symbol), ON_QUERY_SYMBOL_STATUS, 0,
                 [](const event& e) {
                     EXPECT_EQ(val(record_as<HUX_SymbolStatus>(e).value), 1087);
                     EXPECT_FALSE(e.flag);  // not the last
                 }});
    symbol.end_mark = 1;
    v.push_back({"1087 symbol status end", symbol_status_message(true, symbol), ON_QUERY_SYMBOL_STATUS, 0,
                 [](const event& e) { EXPECT_TRUE(e.flag); }});
    sim_prod_status prod;
    prod.product = "IF";
    prod.value = 1089;
    v.push_back({"1089 product status", prod_status_report(prod), ON_PROD_STATUS_REPORT, 0, [](const event& e) {
                     const HUX_ProdStatus r = record_as<HUX_ProdStatus>(e);
                     EXPECT_STREQ(r.product, "IF");
                     EXPECT_EQ(val(r.value), 1089);
                 }});
    sim_session_id sid;
    sid.session = "SESSION-A";
    v.push_back({"1094 session id", session_id_answer(sid), ON_QUERY_SESSION_ID, 0, [](const event& e) {
                     EXPECT_STREQ(record_as<HUX_SessionID>(e).session, "SESSION-A");
                 }});
    sim_req_for_quote rfq;
    rfq.text20 = "IF2406";
    rfq.byte_a = 0x97;
    v.push_back({"1097 request for quote", req_for_quote_report(rfq), ON_INPUT_REG_FOR_QUOTE, 0, [](const event& e) {
                     const HUX_InputRegForQuoteResponse r = record_as<HUX_InputRegForQuoteResponse>(e);
                     EXPECT_EQ(r.byte_a, 0x97);
                     EXPECT_EQ(std::string(r.text20, 6), "IF2406");
                 }});
    return v;
}

}  // namespace

// Every event of the session reaches the method of its kind with its record:
// connection, logon, each answer, report and status message sent by the
// server (the buying-power answer among them reaches none), the heart-beat
// time-out and the server's close.
TEST(ApiObject, EveryEventReachesItsMethod) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    hux_sim::sim_config cfg = server_config();
    cfg.heart_beat_timeout = 1;  // the watchdog reports after two quiet seconds
    ASSERT_TRUE(sim.set_config(cfg));
    recorder rec;
    api_guard g;
    ASSERT_NE(g.api, nullptr);

    // A heart-beat interval far beyond the test: the setting is asked for
    // and the watchdog runs, but no heart-beat is sent (its answer would
    // keep the watchdog quiet).
    ASSERT_EQ(g.api->ConnServer(loopback_info(sim.port(), 100000), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kLogonWait));
    {
        const std::vector<event> calls = rec.answers();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].kind, ON_CONNECTION);
        EXPECT_EQ(calls[0].number, 0);
        EXPECT_EQ(calls[0].record, "conn ok");
        EXPECT_EQ(calls[1].kind, ON_USER_LOGON);
        const HUX_LogonResponse logon = record_as<HUX_LogonResponse>(calls[1]);
        EXPECT_EQ(val(logon.result), 0);
        EXPECT_EQ(val(logon.user_id), kUserId);
        EXPECT_EQ(val(logon.max_token), kMaxToken);
        EXPECT_EQ(calls[1].number, -1);  // no descriptor outside mixed-protocol mode
    }
    ASSERT_TRUE(sim.wait_for_message(0, 90, 1, kWait));  // the heart-beat setting

    // All messages in one stream, the buying-power answer in the middle.
    const std::vector<answer_case> cases = all_answers();
    ASSERT_EQ(cases.size(), 49u);
    std::string stream;
    for (size_t i = 0; i < cases.size(); ++i) {
        stream += cases[i].wire;
        if (i == cases.size() / 2) {
            hux_sim::sim_account_bp bp;
            bp.account = "ACC001";
            bp.figures[0] = 1.5;
            stream += hux_sim::account_bp_answer(bp);
        }
    }
    ASSERT_TRUE(sim.send_raw(0, stream));
    ASSERT_TRUE(rec.wait_answers(2 + cases.size()));

    // Every method of HUXTraderEvent but the connection pair, the logon and
    // the time-out was reached, once each, in stream order.
    const std::vector<event> calls = rec.answers();
    ASSERT_EQ(calls.size(), 2 + cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const event& c = calls[2 + i];
        ASSERT_EQ(c.kind, cases[i].kind);
        if (cases[i].check) {
            cases[i].check(c);
        } else {
            ASSERT_GE(c.record.size(), 4u);
            EXPECT_EQ(static_cast<int32_t>(u32_at(c.record, 0)), cases[i].tag);
        }
    }
    for (int kind = ON_QUERY_MARKET_SESSION; kind < END_OF_KINDS; ++kind)
        EXPECT_EQ(rec.count(kind), kind == ON_QUERY_SYMBOL_STATUS ? 2u : 1u) << "kind " << kind;

    // The server stays quiet: the watchdog reports the quiet seconds.
    ASSERT_TRUE(rec.wait_count(ON_HEARTBEAT_TIMEOUT, 1, hux_test::test_wait_at_least(10000ms)));
    // More than the granted second, read at a 10 ms tick: 2 s, or 3 s on a
    // slow tick.
    EXPECT_GE(rec.first_of(ON_HEARTBEAT_TIMEOUT).number, 2);
    EXPECT_LE(rec.first_of(ON_HEARTBEAT_TIMEOUT).number, 3);

    // The server closes: a remote disconnect.
    sim.close(0);
    ASSERT_TRUE(rec.wait_count(ON_DISCONNECTION, 1));
    const event drop = rec.first_of(ON_DISCONNECTION);
    EXPECT_EQ(drop.number, 2);
    EXPECT_EQ(drop.record, "remote disconnected");
    EXPECT_EQ(rec.count(ON_CONNECTION), 1u);
}

// Events that come while no event object is stored are dropped: before the
// first ConnServer (the session driven through its handle), and after a
// ConnServer given null, which connects all the same and leaves the earlier
// object unreached.
TEST(ApiObject, EventsWithoutAnEventObjectAreDropped) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(server_config()));
    recorder first;
    api_guard g;
    HUXTradeImpl* impl = dynamic_cast<HUXTradeImpl*>(g.api);
    ASSERT_NE(impl, nullptr);
    void* handle = impl->GetHandle();
    const HUX_TradeSvrInfo info = loopback_info(sim.port());
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(handle), nullptr);
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(nullptr), nullptr);

    hux_sim::sim_session_stat stat;
    stat.flag = 1;
    stat.session = 7;
    const std::string status = hux_sim::session_stat_report(stat);

    // Before ConnServer: connected, logged on and told a market state with
    // no event object to hear it.
    ASSERT_EQ(MVHUX_ConnServer(handle, &info, false), 0);
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsConnect(); }, kWait));
    ASSERT_EQ(MVHUX_UserLogon(handle, "trader01", kPassword, "app-x", "AUTH-1"), 0);
    // Completed, index tables and all: the logon callback has had its turn
    // before an event object is set.
    ASSERT_TRUE(
        wait_until([&] { return session_of(impl)->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kLogonWait));
    ASSERT_TRUE(send_and_reach(sim, 0, *session_of(impl), status, 1001));

    // ConnServer stores the object first: the local disconnect of the old
    // connection reaches it, then the new connection; nothing from before.
    ASSERT_EQ(g.api->ConnServer(info, &first, false), 0);
    ASSERT_TRUE(first.wait_count(ON_CONNECTION, 1));
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(handle), &first);
    std::vector<event> calls = first.log.all();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, ON_DISCONNECTION);
    EXPECT_EQ(calls[0].number, 3);
    EXPECT_EQ(calls[0].record, "local disconnected");
    EXPECT_EQ(calls[1].kind, ON_CONNECTION);
    EXPECT_EQ(calls[1].record, "conn ok");
    // Each logon leaves its report connection behind its trade connection.
    ASSERT_TRUE(sim.wait_for_connection(2, kWait));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(first.wait_count(ON_USER_LOGON, 1, kLogonWait));
    const size_t second = sim.wait_for_trade_connection(1, kWait);
    ASSERT_EQ(second, 2u);
    ASSERT_TRUE(sim.send_raw(second, status));
    ASSERT_TRUE(first.wait_count(ON_MARKET_SESSION_STAT_REPORT, 1));
    EXPECT_EQ(first.first_of(ON_MARKET_SESSION_STAT_REPORT).number, 7);

    // ConnServer with null connects; the disconnect of the old connection,
    // the new connection, the logon, a state and the server's close all go
    // nowhere.
    const size_t heard = first.log.size();
    ASSERT_EQ(g.api->ConnServer(info, nullptr, false), 0);
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(handle), nullptr);
    ASSERT_TRUE(sim.wait_for_connection(4, kWait));
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsConnect(); }, kWait));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsLogon(); }, kLogonWait));
    const size_t third = sim.wait_for_trade_connection(2, kWait);
    ASSERT_EQ(third, 4u);
    ASSERT_TRUE(send_and_reach(sim, third, *session_of(impl), status, 1002));
    sim.close(third);
    // The connected flag clears before the disconnect event fires; the state
    // is set after it has returned.
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->GetState() == HUX_TRADE::TRADE_STATE_DROPPED; }, kWait));
    EXPECT_EQ(first.log.size(), heard);
}

// Destroying the object disconnects its session: the event object hears the
// local disconnect and the server the close. Null is ignored. (The
// buying-power answer, which no method hears, is in the stream above.)
TEST(ApiObject, DestroyDisconnects) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(server_config()));
    recorder rec;
    HUXTraderApi* api = CreateHUXTraderApi();
    ASSERT_NE(api, nullptr);
    ASSERT_EQ(api->ConnServer(loopback_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1));
    ASSERT_EQ(api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kLogonWait));

    DestroyHUXTraderApi(api);
    EXPECT_TRUE(sim.transport().wait_peer_closed(0, kWait));
    ASSERT_EQ(rec.log.size(), 3u);
    const event last = rec.log.all().back();
    EXPECT_EQ(last.kind, ON_DISCONNECTION);
    EXPECT_EQ(last.number, 3);
    EXPECT_EQ(last.record, "local disconnected");

    DestroyHUXTraderApi(nullptr);
}

namespace {

// An event object that destroys its API object in the first call of one
// kind, from inside that call, and keeps what it heard up to then.
class destroying_recorder : public recorder {
public:
    int destroy_in = 0;
    HUXTraderApi* api = nullptr;
    void* handle = nullptr;   // the object's session
    std::string session_log;  // the session's text log
    std::mutex lock;
    bool destroyed = false;
    bool freed_inside = false;  // the session's destructor had run before the call returned
    HUXTraderEvent* events_after = this;  // what the object gave its bridges after the destroy
    size_t heard_then = 0;

    void OnConnection(int code, const char* text) override {
        recorder::OnConnection(code, text);
        heard(ON_CONNECTION);
    }
    void OnUserLogon(HUX_LogonResponse* rsp, int sock) override {
        recorder::OnUserLogon(rsp, sock);
        heard(ON_USER_LOGON);
    }
    void OnOrderAccept(HUX_OrderAcceptField* r) override {
        recorder::OnOrderAccept(r);
        heard(ON_ORDER_ACCEPT);
    }

private:
    void heard(int kind) {
        {
            std::lock_guard<std::mutex> g(lock);
            if (destroyed || kind != destroy_in) return;
            destroyed = true;
            heard_then = log.size();
        }
        DestroyHUXTraderApi(api);
        // The object is still there, giving its bridges no event object.
        HUXTraderEvent* events = HUXTradeImpl::GetApiSpi(handle);
        // The object's destructor destroys the session, whose last line
        // closes the log: there only once both are freed.
        const bool freed = count_lines(session_log, "destroy trade client") != 0;
        std::lock_guard<std::mutex> g(lock);
        events_after = events;
        freed_inside = freed;
    }
};

}  // namespace

// DestroyHUXTraderApi inside an event method: the connection ("conn ok"),
// the logon answer and an order answer. The session is disconnected at once
// (the server sees the close); the object and its session are freed on the
// library's own thread once the method has returned, the application calling
// nothing more (the session's last line is not in its log when the destroy
// returns, and comes without another call); no method is called after the
// destroy: not for the answers behind the order answer in the same read,
// nor for the disconnect's "local disconnected".
TEST(ApiObject, DestroyInsideAnEventMethodFreesTheObjectOnceTheMethodHasReturned) {
    const struct {
        const char* name;
        int kind;
    } kinds[] = {{"conn ok", ON_CONNECTION}, {"logon answer", ON_USER_LOGON}, {"order answer", ON_ORDER_ACCEPT}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        hux_sim::sim_trade_server sim;
        ASSERT_TRUE(sim.listening());
        ASSERT_TRUE(sim.set_config(server_config()));
        scratch_dir dir;
        destroying_recorder rec;
        rec.destroy_in = k.kind;
        rec.api = CreateHUXTraderApi();
        ASSERT_NE(rec.api, nullptr);
        struct undestroyed {  // goes before the event object
            destroying_recorder& rec;
            ~undestroyed() {
                if (!rec.destroyed) DestroyHUXTraderApi(rec.api);
            }
        } end{rec};
        rec.handle = dynamic_cast<HUXTradeImpl*>(rec.api)->GetHandle();
        MVHUX_SetLogDir(rec.handle, dir.path().c_str());
        rec.session_log = text_log_path(dir.path());

        ASSERT_EQ(rec.api->ConnServer(loopback_info(sim.port()), &rec, false), 0);
        if (k.kind != ON_CONNECTION) {
            ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1));
            ASSERT_EQ(rec.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
        }
        if (k.kind == ON_ORDER_ACCEPT) {
            ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kLogonWait));
            ASSERT_TRUE(wait_until([&] { return session_of(dynamic_cast<HUXTradeImpl*>(rec.api))->IsLogon(); },
                                   kLogonWait));
            hux_sim::sim_order_answer accept;
            accept.request_tag = 1;
            hux_sim::sim_order_answer reject;
            reject.request_tag = 2;
            reject.result = 7;
            ASSERT_TRUE(sim.send_raw(0, hux_sim::order_insert_answer(accept) + hux_sim::order_insert_answer(reject) +
                                            hux_sim::session_stat_report(hux_sim::sim_session_stat())));
        }

        EXPECT_TRUE(wait_until([&] { return count_lines(rec.session_log, "destroy trade client") == 1; }, kLogonWait));
        EXPECT_TRUE(sim.transport().wait_peer_closed(0, kWait));
        std::lock_guard<std::mutex> g(rec.lock);
        EXPECT_TRUE(rec.destroyed);
        EXPECT_FALSE(rec.freed_inside);
        EXPECT_EQ(rec.events_after, nullptr);
        EXPECT_EQ(rec.log.size(), rec.heard_then);
    }
}

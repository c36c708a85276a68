// The API object of the trade library against the simulated trade server
// over loopback: every method of HUXTraderApi (and QueryOtAccountBP of the
// implementation) reaches the function it forwards to, every server message
// reaches the right method of the application's event object with its
// record, and events are dropped while there is no event object.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "hux_trader_api.h"
#include "sim/loopback_server.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/support/hex.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/HUXTradeImpl.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/precise_time.h"

using namespace std::chrono_literals;
using HUX_TRADE::CTradeClient;
using hux_test::hex_of;
using hux_test::wait_until;

namespace {

const std::chrono::milliseconds kWait = 5000ms;
const char* const kPassword = "pw-0001";
const uint32_t kUserId = 77;  // 0x4d
const int32_t kMaxToken = 900;

// Event methods by their slot in HUXTraderEvent.
enum event_slot {
    ON_CONNECTION = 2,
    ON_DISCONNECTION = 3,
    ON_USER_LOGON = 4,
    ON_HEARTBEAT_TIMEOUT = 5,
    ON_SPECIAL_ORDER_ACCEPT = 6,
    ON_ORDER_ACCEPT = 7,
    ON_COMBO_ACCEPT = 8,
    ON_QUOTE_ACCEPT = 9,
    ON_SPECIAL_ORDER_MARKET_ACCEPT = 10,
    ON_ORDER_MARKET_ACCEPT = 11,
    ON_COMBO_MARKET_ACCEPT = 12,
    ON_QUOTE_MARKET_ACCEPT = 13,
    ON_ORDER_MARKET_REPORT = 14,
    ON_QUOTE_MARKET_REPORT = 15,
    ON_ORDER_REJECT = 16,
    ON_COMBO_REJECT = 17,
    ON_SPECIAL_ORDER_REJECT = 18,
    ON_QUOTE_REJECT = 19,
    ON_ORDER_MARKET_REJECT = 20,
    ON_COMBO_MARKET_REJECT = 21,
    ON_SPECIAL_ORDER_MARKET_REJECT = 22,
    ON_QUOTE_MARKET_REJECT = 23,
    ON_ORDER_EXECUTION = 24,
    ON_ORDER_ACTION_ACCEPT = 25,
    ON_SPECIAL_ORDER_ACTION_ACCEPT = 26,
    ON_QUOTE_ACTION_ACCEPT = 27,
    ON_INPUT_REG_FOR_QUOTE = 28,
    ON_ORDER_ACTION_REJECT = 29,
    ON_SPECIAL_ORDER_ACTION_REJECT = 30,
    ON_QUOTE_ACTION_REJECT = 31,
    ON_ORDER_ACTION_MARKET_ACCEPT = 32,
    ON_SPECIAL_ORDER_ACTION_MARKET_ACCEPT = 33,
    ON_QUOTE_ACTION_MARKET_ACCEPT = 34,
    ON_ORDER_ACTION_MARKET_REJECT = 35,
    ON_SPECIAL_ORDER_ACTION_MARKET_REJECT = 36,
    ON_QUOTE_ACTION_MARKET_REJECT = 37,
    ON_POST_QUOTE = 38,
    ON_POST_ORDER = 39,
    ON_POST_SPECIAL_ORDER = 40,
    ON_POST_ORDER_EXECUTION = 41,
    ON_INTERNAL_ORDER = 42,
    ON_INTERNAL_ORDER_ADJUST_STATUS = 43,
    ON_INTERNAL_ORDER_EXEC = 44,
    ON_INTERNAL_ORDER_ADJUST_MKT_REJ = 45,
    ON_INTERNAL_QUOTE_ADJUST_STATUS = 46,
    ON_INTERNAL_QUOTE_ADJUST_MKT_REJ = 47,
    ON_QUERY_MARKET_SESSION = 48,
    ON_MARKET_SESSION_STAT_REPORT = 49,
    ON_SYMBOL_STATUS_REPORT = 50,
    ON_PROD_STATUS_REPORT = 51,
    ON_QUERY_SYMBOL_STATUS = 52,
    ON_QUERY_SESSION_ID = 53,
};

// One call of an event method: its slot, a copy of its record, and the
// number, flag and text arguments where it has them.
struct call {
    int slot = 0;
    std::string record;
    int number = 0;
    bool flag = false;
    std::string text;
};

// Packed fields are read by value.
template <class T>
T val(T v) {
    return v;
}

// The first call of a slot; an empty call (slot 0) when there is none.
call first_of(const std::vector<call>& calls, int slot) {
    for (const call& c : calls)
        if (c.slot == slot) return c;
    return call();
}

template <class R>
R record_of(const call& c) {
    R r;
    memset(&r, 0, sizeof(r));
    EXPECT_EQ(c.record.size(), sizeof(R)) << "slot " << c.slot;
    memcpy(&r, c.record.data(), c.record.size() < sizeof(R) ? c.record.size() : sizeof(R));
    return r;
}

// The application's event object: records every call, from whatever thread.
class recorder : public HUXTraderEvent {
public:
    std::vector<call> calls() const {
        std::lock_guard<std::mutex> lock(m_);
        return calls_;
    }
    size_t count(int slot) const {
        std::lock_guard<std::mutex> lock(m_);
        size_t n = 0;
        for (const call& c : calls_) n += c.slot == slot ? 1 : 0;
        return n;
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(m_);
        return calls_.size();
    }
    bool wait_count(int slot, size_t n, std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, timeout, [&] {
            size_t k = 0;
            for (const call& c : calls_) k += c.slot == slot ? 1 : 0;
            return k >= n;
        });
    }
    // Every call except the heart-beat time-outs, which come whenever the
    // server has been quiet long enough.
    std::vector<call> answers() const {
        std::vector<call> out;
        for (const call& c : calls())
            if (c.slot != ON_HEARTBEAT_TIMEOUT) out.push_back(c);
        return out;
    }
    bool wait_answers(size_t n, std::chrono::milliseconds timeout) const {
        std::unique_lock<std::mutex> lock(m_);
        return cv_.wait_for(lock, timeout, [&] {
            size_t k = 0;
            for (const call& c : calls_) k += c.slot != ON_HEARTBEAT_TIMEOUT ? 1 : 0;
            return k >= n;
        });
    }

    void OnConnection(int code, const char* text) override { add(ON_CONNECTION, nullptr, 0, code, false, text); }
    void OnDisconnection(int code, const char* text) override {
        add(ON_DISCONNECTION, nullptr, 0, code, false, text);
    }
    void OnUserLogon(HUX_LogonResponse* rsp, int sock) override { add(ON_USER_LOGON, rsp, sizeof(*rsp), sock); }
    void OnHeartbeatTimeout(int seconds) override { add(ON_HEARTBEAT_TIMEOUT, nullptr, 0, seconds); }
    void OnSpecialOrderAccept(HUX_SpecialOrderAcceptField* r) override { rec(ON_SPECIAL_ORDER_ACCEPT, r); }
    void OnOrderAccept(HUX_OrderAcceptField* r) override { rec(ON_ORDER_ACCEPT, r); }
    void OnComboAccept(HUX_ComboAcceptField* r) override { rec(ON_COMBO_ACCEPT, r); }
    void OnQuoteAccept(HUX_QuoteAcceptField* r) override { rec(ON_QUOTE_ACCEPT, r); }
    void OnSpecialOrderMarketAccept(HUX_SpecialOrderMarketAcceptField* r) override {
        rec(ON_SPECIAL_ORDER_MARKET_ACCEPT, r);
    }
    void OnOrderMarketAccept(HUX_OrderMarketAcceptField* r) override { rec(ON_ORDER_MARKET_ACCEPT, r); }
    void OnComboMarketAccept(HUX_ComboMarketAcceptField* r) override { rec(ON_COMBO_MARKET_ACCEPT, r); }
    void OnQuoteMarketAccept(HUX_QuoteMarketAcceptField* r) override { rec(ON_QUOTE_MARKET_ACCEPT, r); }
    void OnOrderMarketReport(HUX_OrderMarketReportField* r) override { rec(ON_ORDER_MARKET_REPORT, r); }
    void OnQuoteMarketReport(HUX_QuoteMarketReportField* r) override { rec(ON_QUOTE_MARKET_REPORT, r); }
    void OnOrderReject(HUX_OrderRejectField* r) override { rec(ON_ORDER_REJECT, r); }
    void OnComboReject(HUX_ComboRejectField* r) override { rec(ON_COMBO_REJECT, r); }
    void OnSpecialOrderReject(HUX_SpecialOrderRejectField* r) override { rec(ON_SPECIAL_ORDER_REJECT, r); }
    void OnQuoteReject(HUX_QuoteRejectField* r) override { rec(ON_QUOTE_REJECT, r); }
    void OnOrderMarketReject(HUX_OrderMarketRejectField* r) override { rec(ON_ORDER_MARKET_REJECT, r); }
    void OnComboMarketReject(HUX_ComboMarketRejectField* r) override { rec(ON_COMBO_MARKET_REJECT, r); }
    void OnSpecialOrderMarketReject(HUX_SpecialOrderMarketRejectField* r) override {
        rec(ON_SPECIAL_ORDER_MARKET_REJECT, r);
    }
    void OnQuoteMarketReject(HUX_QuoteMarketRejectField* r) override { rec(ON_QUOTE_MARKET_REJECT, r); }
    void OnOrderExecution(HUX_OrderExecutionField* r) override { rec(ON_ORDER_EXECUTION, r); }
    void OnOrderActionAccept(HUX_OrderActionAccept* r) override { rec(ON_ORDER_ACTION_ACCEPT, r); }
    void OnSpecialOrderActionAccept(HUX_SpecialOrderActionAccept* r) override {
        rec(ON_SPECIAL_ORDER_ACTION_ACCEPT, r);
    }
    void OnQuoteActionAccept(HUX_QuoteActionAccept* r) override { rec(ON_QUOTE_ACTION_ACCEPT, r); }
    void OnInputRegForQuote(HUX_InputRegForQuoteResponse* r) override { rec(ON_INPUT_REG_FOR_QUOTE, r); }
    void OnOrderActionReject(HUX_OrderActionRej* r) override { rec(ON_ORDER_ACTION_REJECT, r); }
    void OnSpecialOrderActionReject(HUX_SpecialOrderActionRej* r) override {
        rec(ON_SPECIAL_ORDER_ACTION_REJECT, r);
    }
    void OnQuoteActionReject(HUX_QuoteActionRej* r) override { rec(ON_QUOTE_ACTION_REJECT, r); }
    void OnOrderActionMarketAccept(HUX_OrderActionMarketAcceptField* r) override {
        rec(ON_ORDER_ACTION_MARKET_ACCEPT, r);
    }
    void OnSpecialOrderActionMarketAccept(HUX_SpecialOrderActionMarketAcceptField* r) override {
        rec(ON_SPECIAL_ORDER_ACTION_MARKET_ACCEPT, r);
    }
    void OnQuoteActionMarketAccept(HUX_QuoteActionMarketAcceptField* r) override {
        rec(ON_QUOTE_ACTION_MARKET_ACCEPT, r);
    }
    void OnOrderActionMarketReject(HUX_OrderActionMarketRejectField* r) override {
        rec(ON_ORDER_ACTION_MARKET_REJECT, r);
    }
    void OnSpecialOrderActionMarketReject(HUX_SpecialOrderActionMarketRejectField* r) override {
        rec(ON_SPECIAL_ORDER_ACTION_MARKET_REJECT, r);
    }
    void OnQuoteActionMarketReject(HUX_QuoteActionMarketRejectField* r) override {
        rec(ON_QUOTE_ACTION_MARKET_REJECT, r);
    }
    void OnPostQuote(HUX_PostQuote* r) override { rec(ON_POST_QUOTE, r); }
    void OnPostOrder(HUX_PostOrder* r) override { rec(ON_POST_ORDER, r); }
    void OnPostSpecialOrder(HUX_PostSpecialOrder* r) override { rec(ON_POST_SPECIAL_ORDER, r); }
    void OnPostOrderExecution(HUX_PostOrderExecution* r) override { rec(ON_POST_ORDER_EXECUTION, r); }
    void OnInternalOrder(HUX_InternalOrder* r) override { rec(ON_INTERNAL_ORDER, r); }
    void OnInternalOrderAdjustStatus(HUX_InternalOrderAdjustStatus* r) override {
        rec(ON_INTERNAL_ORDER_ADJUST_STATUS, r);
    }
    void OnInternalOrderExec(HUX_InternalOrderExecution* r) override { rec(ON_INTERNAL_ORDER_EXEC, r); }
    void OnInternalOrderAdjustMktRej(HUX_InternalOrderAdjustMktRej* r) override {
        rec(ON_INTERNAL_ORDER_ADJUST_MKT_REJ, r);
    }
    void OnInternalQuoteAdjustStatus(HUX_InternalQuoteAdjustStatus* r) override {
        rec(ON_INTERNAL_QUOTE_ADJUST_STATUS, r);
    }
    void OnInternalQuoteAdjustMktRej(HUX_InternalQuoteAdjustMktRej* r) override {
        rec(ON_INTERNAL_QUOTE_ADJUST_MKT_REJ, r);
    }
    void OnQueryMarketSession(HUX_ExchangeMarketSession* r, bool last) override {
        add(ON_QUERY_MARKET_SESSION, r, sizeof(*r), 0, last);
    }
    void OnMarketSessionStatReport(uint8_t state, bool flag) override {
        add(ON_MARKET_SESSION_STAT_REPORT, nullptr, 0, state, flag);
    }
    void OnSymbolStatusReport(HUX_SymbolStatus* r) override { rec(ON_SYMBOL_STATUS_REPORT, r); }
    void OnProdStatusReport(HUX_ProdStatus* r) override { rec(ON_PROD_STATUS_REPORT, r); }
    void OnQuerySymbolStatus(HUX_SymbolStatus* r, bool last) override {
        add(ON_QUERY_SYMBOL_STATUS, r, sizeof(*r), 0, last);
    }
    void OnQuerySessionID(HUX_SessionID* r) override { rec(ON_QUERY_SESSION_ID, r); }

private:
    template <class R>
    void rec(int slot, const R* r) {
        add(slot, r, r ? sizeof(R) : 0);
    }
    void add(int slot, const void* record, size_t n, int number = 0, bool flag = false, const char* text = nullptr) {
        call c;
        c.slot = slot;
        if (record) c.record.assign(static_cast<const char*>(record), n);
        c.number = number;
        c.flag = flag;
        if (text) c.text = text;
        {
            std::lock_guard<std::mutex> lock(m_);
            calls_.push_back(c);
        }
        cv_.notify_all();
    }

    mutable std::mutex m_;
    mutable std::condition_variable cv_;
    std::vector<call> calls_;
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

HUX_TradeSvrInfo server_info(uint16_t port, int32_t heartbeat_interval = 0) {
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = port;
    info.heartbeat_interval = heartbeat_interval;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 100;
    return info;
}

CTradeClient* session_of(HUXTradeImpl* impl) { return static_cast<CTradeClient*>(impl->GetHandle()); }

uint32_t u32_at(const std::string& m, size_t off) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(m.at(off + i))) << (8 * i);
    return v;
}

uint16_t u16_at(const std::string& m, size_t off) {
    return static_cast<uint16_t>(static_cast<uint8_t>(m.at(off)) | (static_cast<uint8_t>(m.at(off + 1)) << 8));
}

// A refused heart-beat setting answer carrying `value` as the time-out: the
// session keeps the value and starts nothing, so GetServerTimeout() shows
// that it has read the stream up to here.
std::string marker(int32_t value) {
    std::string m = hux_sim::make_message(1090, 24);
    m[12] = 1;  // result 1: refused
    for (int i = 0; i < 4; ++i) m[16 + i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xff);
    return m;
}

bool reach_marker(hux_sim::sim_trade_server& sim, size_t conn, HUXTradeImpl* impl, int32_t value) {
    if (!sim.send_raw(conn, marker(value))) return false;
    return wait_until([&] { return session_of(impl)->GetServerTimeout() == value; }, kWait);
}

off_t file_size(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A directory of its own for the session logs, removed at the end.
struct scratch_dir {
    std::string path = "/tmp/apiobj_logs_" + std::to_string(::getpid());
    ~scratch_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

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
        EXPECT_EQ(api->ConnServer(server_info(dead.port()), &rec, false), HUX_RESULT_CONNECT_FAILED);
    }

    // Slot 3: auto-reconnect takes effect at the next completed logon.
    EXPECT_EQ(api->SetAutoReconnect(true), 0);

    // Slot 6: connected; the event object hears "conn ok".
    const size_t idle_threads = hux_test::thread_count();
    ASSERT_EQ(api->ConnServer(server_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1, kWait));
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(impl->GetHandle()), &rec);
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));
    const size_t sync_client_threads = hux_test::thread_count() - idle_threads;
    EXPECT_EQ(api->GetMaxToken(&token), HUX_RESULT_NOT_LOGGED_ON);  // slot 9: connected, not logged on

    // Slot 8: the version report carries the user id; the logon completes.
    ASSERT_EQ(api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kWait));
    const HUX_LogonResponse logon = record_of<HUX_LogonResponse>(first_of(rec.calls(), ON_USER_LOGON));
    EXPECT_EQ(val(logon.result), 0);
    EXPECT_EQ(val(logon.user_id), kUserId);
    ASSERT_TRUE(sim.wait_for_message(0, 80, 1, kWait));
    EXPECT_EQ(sim.last_message(0, 80).substr(12, 9), std::string("trader01\0", 9));
    EXPECT_EQ(sim.count(0, 70), 1u);
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsLogon(); }, kWait));
    // Slot 3 reached the session: the reconnect thread runs after the logon.
    EXPECT_TRUE(wait_until([&] { return session_of(impl)->IsReconnectRunning(); }, kWait));

    // Slot 9: the account's maximum token from the logon answer.
    ASSERT_EQ(api->GetMaxToken(&token), 0);
    EXPECT_EQ(token, static_cast<unsigned>(kMaxToken));

    // Slot 10: a new order above the mark is sent; the same token again is
    // refused by the token check.
    HUX_EnterOrderField order;
    memset(&order, 0, sizeof(order));
    order.request_tag = 0x0a0a0a01;
    memcpy(order.account, "ACC001", 6);
    order.side = 1;
    order.exchange_id = 101;
    memcpy(order.symbol, "IF2406", 6);
    order.price = 12.5;
    order.quantity = 5;
    order.client_token = 901;
    EXPECT_EQ(api->EnterOrder(&order), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 10, 1, kWait));
    std::string sent = sim.last_message(0, 10);
    EXPECT_EQ(u32_at(sent, 4), 0x0a0a0a01u);  // request tag
    EXPECT_EQ(u32_at(sent, 20), 901u);        // client token
    EXPECT_EQ(u32_at(sent, 24), 5u);          // quantity
    EXPECT_EQ(api->EnterOrder(&order), HUX_RESULT_TOKEN_NOT_ABOVE);

    // Slot 18: the caller's record with the token check skipped. A warm-up
    // proper (quantity 0) sends nothing and checks nothing, so a record with
    // a quantity shows the flag: the token slot 10 refused now passes.
    order.request_tag = 0x0a0a0a18;
    EXPECT_EQ(api->EnterOrderWarm(&order), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 10, 2, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 10), 4), 0x0a0a0a18u);
    EXPECT_EQ(u32_at(sim.last_message(0, 10), 20), 901u);
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
    HUX_EnterQuoteField quote;
    memset(&quote, 0, sizeof(quote));
    quote.request_tag = 0x0c0c0c01;
    memcpy(quote.account, "ACC001", 6);
    memcpy(quote.symbol, "IF2406", 6);
    quote.exchange_id = 101;
    quote.client_token = 902;
    quote.price_1 = 10.0;
    quote.quantity_1 = 3;
    quote.price_2 = 11.0;
    quote.quantity_2 = 4;
    EXPECT_EQ(api->EnterQuote(&quote), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 12, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 12), 4), 0x0c0c0c01u);  // request tag
    EXPECT_EQ(u32_at(sim.last_message(0, 12), 44), 902u);        // client token
    // Nothing was sent for the warm-ups of slots 17 and 18 before the quote.
    EXPECT_EQ(sim.count(0, 10), 2u);
    ASSERT_EQ(api->GetMaxToken(&token), 0);
    EXPECT_EQ(token, 902u);
    EXPECT_EQ(api->EnterQuote(&quote), HUX_RESULT_TOKEN_NOT_ABOVE);

    // Slot 20: the caller's quote with the token check skipped.
    quote.request_tag = 0x0c0c0c20;
    EXPECT_EQ(api->EnterQuoteWarm(&quote), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 12, 2, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 12), 4), 0x0c0c0c20u);

    // Slot 19: the object's own all-zero quote: accepted, not sent.
    EXPECT_EQ(api->EnterQuoteWarm(), 0);

    // Slot 11: a combination order, type 14.
    HUX_EnterComboField combo;
    memset(&combo, 0, sizeof(combo));
    combo.request_tag = 0x0e0e0e01;
    memcpy(combo.account, "ACC001", 6);
    combo.exchange_id = 101;
    combo.client_token = 903;
    EXPECT_EQ(api->EnterCombo(&combo), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 14, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 14), 4), 0x0e0e0e01u);  // request tag
    EXPECT_EQ(u32_at(sim.last_message(0, 14), 14), 903u);        // client token
    EXPECT_EQ(sim.count(0, 12), 2u);                              // the slot 19 warm-up sent nothing

    // Slot 12: a special order, type 30.
    HUX_EnterSpecialOrderField special;
    memset(&special, 0, sizeof(special));
    special.request_tag = 0x1e1e1e01;
    memcpy(special.account, "ACC001", 6);
    special.exchange_id = 101;
    memcpy(special.symbol, "IF2406", 6);
    special.client_token = 904;
    EXPECT_EQ(api->EnterSpecialOrder(&special), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 30, 1, kWait));
    EXPECT_EQ(u32_at(sim.last_message(0, 30), 4), 0x1e1e1e01u);  // request tag
    EXPECT_EQ(u32_at(sim.last_message(0, 30), 20), 904u);        // client token

    // Slot 13: the simple order looks up both names (unknown account: 20)
    // and is sent as type 20 with their indexes.
    HUX_EnterOrderSimpleField simple;
    memset(&simple, 0, sizeof(simple));
    simple.request_tag = 0x14141401;
    simple.exchange_id = 101;
    simple.client_token = 905;
    simple.quantity = 1;
    EXPECT_EQ(api->EnterOrderSimple(&simple, "NO-SUCH", "IF2406"), HUX_RESULT_UNKNOWN_ACCOUNT);
    simple.client_token = 906;
    EXPECT_EQ(api->EnterOrderSimple(&simple, "ACC001", "IF2406"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 20, 1, kWait));
    sent = sim.last_message(0, 20);
    EXPECT_EQ(u32_at(sent, 4), 0x14141401u);  // request tag
    EXPECT_EQ(static_cast<uint8_t>(sent[9]), 1);  // account index of ACC001
    EXPECT_EQ(u16_at(sent, 10), 3);           // symbol index of IF2406

    // Slot 14: the simple quote (unknown symbol: 21), type 22.
    HUX_EnterQuoteSimpleField simple_quote;
    memset(&simple_quote, 0, sizeof(simple_quote));
    simple_quote.request_tag = 0x16161601;
    simple_quote.exchange_id = 101;
    simple_quote.client_token = 907;
    simple_quote.quantity_1 = 1;
    EXPECT_EQ(api->EnterQuoteSimple(&simple_quote, "ACC001", "NO-SUCH"), HUX_RESULT_UNKNOWN_SYMBOL);
    simple_quote.client_token = 908;
    EXPECT_EQ(api->EnterQuoteSimple(&simple_quote, "ACC001", "IF2406"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 22, 1, kWait));
    sent = sim.last_message(0, 22);
    EXPECT_EQ(u32_at(sent, 4), 0x16161601u);  // request tag
    EXPECT_EQ(u32_at(sent, 44), 908u);        // client token

    // Slots 21, 22 and 15: the three cancels, types 11, 13 and 31.
    HUX_CancelOrder cancel;
    memset(&cancel, 0, sizeof(cancel));
    cancel.request_tag = 0x0b0b0b01;
    cancel.market_token = 0x11111111;
    EXPECT_EQ(api->CancelOrder(&cancel), 0);
    HUX_QuoteAction action;
    memset(&action, 0, sizeof(action));
    action.request_tag = 0x0d0d0d01;
    action.market_token = 0x22222222;
    EXPECT_EQ(api->QuoteAction(&action), 0);
    HUX_CancelSpecialOrder cancel_special;
    memset(&cancel_special, 0, sizeof(cancel_special));
    cancel_special.request_tag = 0x1f1f1f01;
    cancel_special.market_token = 0x33333333;
    EXPECT_EQ(api->CancelSpecialOrder(&cancel_special), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 31, 1, kWait));
    ASSERT_EQ(sim.count(0, 11), 1u);
    ASSERT_EQ(sim.count(0, 13), 1u);
    EXPECT_EQ(u32_at(sim.last_message(0, 11), 4), 0x0b0b0b01u);   // request tag
    EXPECT_EQ(u32_at(sim.last_message(0, 11), 16), 0x11111111u);  // market token
    EXPECT_EQ(u32_at(sim.last_message(0, 13), 4), 0x0d0d0d01u);
    EXPECT_EQ(u32_at(sim.last_message(0, 13), 16), 0x22222222u);
    EXPECT_EQ(u32_at(sim.last_message(0, 31), 4), 0x1f1f1f01u);
    EXPECT_EQ(u32_at(sim.last_message(0, 31), 16), 0x33333333u);

    // Slots 28, 29, 30 and 31: the queries, whole.
    EXPECT_EQ(api->QueryMarketSession(), 0);
    EXPECT_EQ(api->QuerySymbolStatus(), 0);
    EXPECT_EQ(api->QuerySessionID("SESSION-A", 99), HUX_RESULT_BAD_EXCHANGE);
    EXPECT_EQ(api->QuerySessionID("SESSION-A", 101), 0);
    EXPECT_EQ(impl->QueryOtAccountBP("ACC001"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 81, 1, kWait));
    EXPECT_EQ(hex_of(sim.last_message(0, 84).data(), 16),
              "5400"        // type 84
              "1000"        // length 16
              "00000000"    // zero
              "4d000000"    // user id 77
              "00000000");  // zero
    EXPECT_EQ(hex_of(sim.last_message(0, 87).data(), 16),
              "5700"        // type 87
              "1000"        // length 16
              "00000000"    // zero
              "4d000000"    // user id 77
              "00000000");  // zero
    ASSERT_EQ(sim.count(0, 94), 1u);
    EXPECT_EQ(hex_of(sim.last_message(0, 94).data(), 32),
              "5e00"                                  // type 94
              "2000"                                  // length 32
              "00000000"                              // zero
              "4d000000"                              // user id 77
              "53455353494f4e2d41" "0000000000000000"  // "SESSION-A", 17 bytes
              "65"                                    // market 101
              "0000");                                // zero
    EXPECT_EQ(hex_of(sim.last_message(0, 81).data(), 28),
              "5100"                              // type 81
              "1c00"                              // length 28
              "00000000"                          // zero
              "4d000000"                          // user id 77
              "414343303031" "00000000000000000000"  // "ACC001", 16 bytes
              );

    // Slot 23: seconds in the high half as local time, nanoseconds in the low.
    const time_t seconds = 1700000000;
    tm expected;
    ASSERT_NE(localtime_r(&seconds, &expected), nullptr);
    tm out;
    memset(&out, 0, sizeof(out));
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
    MVHUX_SetLogDir(impl->GetHandle(), dir.path.c_str());
    const std::string bin_log = dir.path + "/tavlog_" + precise_time::get_start_date() + ".bin";
    const std::string text_log = dir.path + "/tavlog_" + precise_time::get_start_date() + ".log";
    ASSERT_GE(file_size(bin_log), 0);
    EXPECT_EQ(api->SetLoggerSwitch(true), 0);
    const off_t before_on = file_size(bin_log);
    ASSERT_EQ(api->QueryMarketSession(), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 84, 2, kWait));
    const off_t after_on = file_size(bin_log);
    EXPECT_GE(after_on, before_on + 16);  // the 16 bytes and the record header
    EXPECT_EQ(api->SetLoggerSwitch(false), 0);
    ASSERT_EQ(api->QueryMarketSession(), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 84, 3, kWait));
    EXPECT_EQ(file_size(bin_log), after_on);

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
    order.request_tag = 0x0a0a0a27;
    EXPECT_EQ(api->EnterOrder(&order), HUX_RESULT_FLOW_CONTROL);

    // Slot 4: the receive wait is not visible from outside; only its result.
    EXPECT_EQ(api->SetMaxWaitTime(5), 0);

    // Slot 7: the local disconnect reaches the event object, the server sees
    // the close and the reconnect thread stops.
    EXPECT_EQ(api->DisConnServer(), 0);
    ASSERT_TRUE(rec.wait_count(ON_DISCONNECTION, 1, kWait));
    std::vector<call> calls = rec.calls();
    EXPECT_EQ(calls.back().number, 3);
    EXPECT_EQ(calls.back().text, "local disconnected");
    EXPECT_TRUE(sim.transport().wait_peer_closed(0, kWait));
    EXPECT_TRUE(wait_until([&] { return !session_of(impl)->IsReconnectRunning(); }, kWait));
    EXPECT_EQ(api->QueryMarketSession(), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(sim.count(0, 10), 2u);  // the flow-controlled order was not sent

    // Slot 26: the next connect builds the asynchronous client, which runs
    // more threads than the synchronous one.
    ASSERT_TRUE(wait_until([&] { return hux_test::thread_count() == idle_threads; }, kWait));
    EXPECT_EQ(api->SetAsyncReceiveMode(), 0);
    ASSERT_EQ(api->ConnServer(server_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 2, kWait));
    EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() > idle_threads + sync_client_threads; }, kWait))
        << "synchronous client threads: " << sync_client_threads;
    EXPECT_EQ(api->DisConnServer(), 0);
    EXPECT_TRUE(sim.transport().wait_peer_closed(1, kWait));
}

namespace {

// One server message and the event method it must reach, with a check of
// its record.
struct answer_case {
    const char* name;
    std::string wire;
    int slot;
    std::function<void(const call&)> check;
};

// Checks request_tag and one more int field of the record R.
#define EXPECT_TAG(R, tag) [](const call& c) { EXPECT_EQ(val(record_of<R>(c).request_tag), tag); }
#define EXPECT_TAG_AND(R, tag, field, value)              \
    [](const call& c) {                                   \
        const R r = record_of<R>(c);                      \
        EXPECT_EQ(val(r.request_tag), tag);               \
        EXPECT_EQ(val(r.field), value);                   \
    }

// One message per answer, report and status event of an ordinary server,
// each with a request tag (or its first field) of its own.
std::vector<answer_case> all_answers() {
    using namespace hux_sim;
    std::vector<answer_case> v;

    sim_order_answer order;
    order.request_tag = 101;
    order.client_token = 901;
    order.order_no = 5001;
    order.quantity = 5;
    order.account = "ACC001";
    order.symbol = "IF2406";
    v.push_back({"1010 accept", order_insert_answer(order), ON_ORDER_ACCEPT,
                 EXPECT_TAG_AND(HUX_OrderAcceptField, 101, order_no, 5001)});
    order.request_tag = 102;
    order.result = 7;
    v.push_back({"1010 reject", order_insert_answer(order), ON_ORDER_REJECT,
                 EXPECT_TAG_AND(HUX_OrderRejectField, 102, reason, 7u)});

    sim_cancel_answer cancel;
    cancel.request_tag = 111;
    cancel.market_token = 0x1111;
    cancel.order_no = 5011;
    v.push_back({"1011 accept", cancel_answer(1011, cancel), ON_ORDER_ACTION_ACCEPT,
                 EXPECT_TAG_AND(HUX_OrderActionAccept, 111, order_no, 5011)});
    cancel.request_tag = 112;
    cancel.result = 2;
    v.push_back({"1011 reject", cancel_answer(1011, cancel), ON_ORDER_ACTION_REJECT,
                 EXPECT_TAG_AND(HUX_OrderActionRej, 112, market_token, 0x1111)});

    sim_order_market_answer market;
    market.request_tag = 121;
    market.client_token = 921;
    market.exchange_order_id = "EX-121";
    market.account = "ACC001";
    v.push_back({"1012 accept", order_insert_market_answer(market), ON_ORDER_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_OrderMarketAcceptField, 121, client_token, 921)});
    market.request_tag = 122;
    market.result = -5;
    v.push_back({"1012 reject", order_insert_market_answer(market), ON_ORDER_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_OrderMarketRejectField, 122, reason_code, -5)});

    sim_cancel_market_answer cancel_market;
    cancel_market.request_tag = 131;
    cancel_market.client_token = 931;
    v.push_back({"1013 accept", cancel_market_answer(1013, cancel_market), ON_ORDER_ACTION_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_OrderActionMarketAcceptField, 131, client_token, 931)});
    cancel_market.request_tag = 132;
    cancel_market.result = 3;
    v.push_back({"1013 reject", cancel_market_answer(1013, cancel_market), ON_ORDER_ACTION_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_OrderActionMarketRejectField, 132, client_token, 931)});

    sim_quote_answer quote;
    quote.request_tag = 181;
    quote.client_token = 981;
    quote.quantity_1 = 3;
    quote.quantity_2 = 4;
    quote.account = "ACC001";
    quote.symbol = "IF2406";
    v.push_back({"1018 accept", quote_insert_answer(quote), ON_QUOTE_ACCEPT,
                 EXPECT_TAG_AND(HUX_QuoteAcceptField, 181, client_token, 981)});
    quote.request_tag = 182;
    quote.result = 9;
    v.push_back({"1018 reject", quote_insert_answer(quote), ON_QUOTE_REJECT,
                 EXPECT_TAG_AND(HUX_QuoteRejectField, 182, reason, 9u)});

    cancel = sim_cancel_answer();
    cancel.request_tag = 191;
    cancel.market_token = 0x1919;
    v.push_back({"1019 accept", cancel_answer(1019, cancel), ON_QUOTE_ACTION_ACCEPT,
                 EXPECT_TAG_AND(HUX_QuoteActionAccept, 191, market_token, 0x1919)});
    cancel.request_tag = 192;
    cancel.result = 4;
    v.push_back({"1019 reject", cancel_answer(1019, cancel), ON_QUOTE_ACTION_REJECT,
                 EXPECT_TAG_AND(HUX_QuoteActionRej, 192, market_token, 0x1919)});

    quote.request_tag = 201;
    quote.result = 0;
    v.push_back({"1020 accept", quote_insert_market_answer(quote), ON_QUOTE_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_QuoteMarketAcceptField, 201, client_token, 981)});
    quote.request_tag = 202;
    quote.result = 6;
    v.push_back({"1020 reject", quote_insert_market_answer(quote), ON_QUOTE_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_QuoteMarketRejectField, 202, reason_code, 6)});

    cancel_market = sim_cancel_market_answer();
    cancel_market.request_tag = 211;
    cancel_market.client_token = 1211;
    v.push_back({"1021 accept", cancel_market_answer(1021, cancel_market), ON_QUOTE_ACTION_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_QuoteActionMarketAcceptField, 211, client_token, 1211)});
    cancel_market.request_tag = 212;
    cancel_market.result = 5;
    v.push_back({"1021 reject", cancel_market_answer(1021, cancel_market), ON_QUOTE_ACTION_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_QuoteActionMarketRejectField, 212, client_token, 1211)});

    quote.request_tag = 221;
    quote.result = 0;
    v.push_back({"1022 report", quote_market_report(quote), ON_QUOTE_MARKET_REPORT,
                 EXPECT_TAG_AND(HUX_QuoteMarketReportField, 221, quantity_2, 4)});
    quote.request_tag = 231;
    v.push_back({"1023 posted quote", post_quote(quote), ON_POST_QUOTE,
                 EXPECT_TAG_AND(HUX_PostQuote, 231, quantity_1, 3)});

    sim_combo_answer combo;
    combo.request_tag = 251;
    combo.client_token = 1251;
    combo.account = "ACC001";
    v.push_back({"1025 accept", combo_answer(1025, combo), ON_COMBO_ACCEPT,
                 EXPECT_TAG_AND(HUX_ComboAcceptField, 251, client_token, 1251)});
    combo.request_tag = 252;
    combo.result = 8;
    v.push_back({"1025 reject", combo_answer(1025, combo), ON_COMBO_REJECT,
                 EXPECT_TAG_AND(HUX_ComboRejectField, 252, reason, 8u)});
    combo.request_tag = 261;
    combo.result = 0;
    v.push_back({"1026 accept", combo_answer(1026, combo), ON_COMBO_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_ComboMarketAcceptField, 261, client_token, 1251)});
    combo.request_tag = 262;
    combo.result = 12;
    v.push_back({"1026 reject", combo_answer(1026, combo), ON_COMBO_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_ComboMarketRejectField, 262, reason_code, 12)});

    sim_special_order_answer special;
    special.request_tag = 301;
    special.client_token = 1301;
    special.account = "ACC001";
    special.symbol = "IF2406";
    v.push_back({"1030 accept", special_order_answer(special), ON_SPECIAL_ORDER_ACCEPT,
                 EXPECT_TAG_AND(HUX_SpecialOrderAcceptField, 301, client_token, 1301)});
    special.request_tag = 302;
    special.result = 11;
    v.push_back({"1030 reject", special_order_answer(special), ON_SPECIAL_ORDER_REJECT,
                 EXPECT_TAG_AND(HUX_SpecialOrderRejectField, 302, reason, 11u)});

    cancel = sim_cancel_answer();
    cancel.request_tag = 311;
    cancel.market_token = 0x3131;
    cancel.order_no = 5311;
    v.push_back({"1031 accept", cancel_answer(1031, cancel), ON_SPECIAL_ORDER_ACTION_ACCEPT,
                 EXPECT_TAG_AND(HUX_SpecialOrderActionAccept, 311, order_no, 5311)});
    cancel.request_tag = 312;
    cancel.result = 1;
    v.push_back({"1031 reject", cancel_answer(1031, cancel), ON_SPECIAL_ORDER_ACTION_REJECT,
                 EXPECT_TAG_AND(HUX_SpecialOrderActionRej, 312, market_token, 0x3131)});

    sim_special_order_market_answer special_market;
    special_market.request_tag = 321;
    special_market.client_token = 1321;
    special_market.account = "ACC001";
    v.push_back({"1032 accept", special_order_market_answer(special_market), ON_SPECIAL_ORDER_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_SpecialOrderMarketAcceptField, 321, client_token, 1321)});
    special_market.request_tag = 322;
    special_market.result = 13;
    v.push_back({"1032 reject", special_order_market_answer(special_market), ON_SPECIAL_ORDER_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_SpecialOrderMarketRejectField, 322, reason_code, 13)});

    cancel_market = sim_cancel_market_answer();
    cancel_market.request_tag = 331;
    cancel_market.client_token = 1331;
    v.push_back({"1033 accept", cancel_market_answer(1033, cancel_market), ON_SPECIAL_ORDER_ACTION_MARKET_ACCEPT,
                 EXPECT_TAG_AND(HUX_SpecialOrderActionMarketAcceptField, 331, client_token, 1331)});
    cancel_market.request_tag = 332;
    cancel_market.result = 14;
    v.push_back({"1033 reject", cancel_market_answer(1033, cancel_market), ON_SPECIAL_ORDER_ACTION_MARKET_REJECT,
                 EXPECT_TAG_AND(HUX_SpecialOrderActionMarketRejectField, 332, client_token, 1331)});

    // Reports.
    sim_execution exec;
    exec.field_4 = 1014;
    exec.order_no = 5014;
    exec.filled_quantity = 2;
    exec.symbol = "IF2406";
    v.push_back({"1014 execution", execution_message(1014, exec), ON_ORDER_EXECUTION, [](const call& c) {
                     const HUX_OrderExecutionField r = record_of<HUX_OrderExecutionField>(c);
                     EXPECT_EQ(val(r.field_4), 1014);
                     EXPECT_EQ(val(r.order_no), 5014);
                 }});
    exec.field_4 = 1017;
    exec.order_no = 5017;
    v.push_back({"1017 posted execution", execution_message(1017, exec), ON_POST_ORDER_EXECUTION,
                 [](const call& c) {
                     const HUX_PostOrderExecution r = record_of<HUX_PostOrderExecution>(c);
                     EXPECT_EQ(val(r.field_4), 1017);
                     EXPECT_EQ(val(r.order_no), 5017);
                 }});
    exec.field_4 = 2203;
    exec.filled_quantity = 22;
    v.push_back({"2203 internal execution", execution_message(2203, exec), ON_INTERNAL_ORDER_EXEC,
                 [](const call& c) {
                     const HUX_InternalOrderExecution r = record_of<HUX_InternalOrderExecution>(c);
                     EXPECT_EQ(val(r.field_4), 2203);
                     EXPECT_EQ(val(r.filled_quantity), 22);
                 }});

    sim_order rep;
    rep.request_tag = 1015;
    rep.quantity = 15;
    rep.account = "ACC001";
    rep.symbol = "IF2406";
    v.push_back({"1015 market report", order_message(1015, rep), ON_ORDER_MARKET_REPORT,
                 EXPECT_TAG_AND(HUX_OrderMarketReportField, 1015, quantity, 15)});
    rep.request_tag = 1016;
    rep.quantity = 16;
    v.push_back({"1016 posted order", order_message(1016, rep), ON_POST_ORDER,
                 EXPECT_TAG_AND(HUX_PostOrder, 1016, quantity, 16)});
    rep.request_tag = 2202;
    v.push_back({"2202 adjust status", order_message(2202, rep), ON_INTERNAL_ORDER_ADJUST_STATUS,
                 EXPECT_TAG(HUX_InternalOrderAdjustStatus, 2202)});

    sim_special_order posted_special;
    posted_special.field_4 = 1034;
    posted_special.client_token = 1034034;
    v.push_back({"1034 posted special order", special_order_message(posted_special), ON_POST_SPECIAL_ORDER,
                 [](const call& c) {
                     const HUX_PostSpecialOrder r = record_of<HUX_PostSpecialOrder>(c);
                     EXPECT_EQ(val(r.field_4), 1034);
                     EXPECT_EQ(val(r.client_token), 1034034);
                 }});

    sim_internal_order internal;
    internal.request_tag = 2201;
    internal.order_no = 52201;
    v.push_back({"2201 internal order", internal_order_message(internal), ON_INTERNAL_ORDER,
                 EXPECT_TAG_AND(HUX_InternalOrder, 2201, order_no, 52201)});

    sim_order_adjust_rej adjust_rej;
    adjust_rej.request_tag = 2204;
    adjust_rej.reason = -2204;
    v.push_back({"2204 adjust reject", order_adjust_rej_message(adjust_rej), ON_INTERNAL_ORDER_ADJUST_MKT_REJ,
                 EXPECT_TAG_AND(HUX_InternalOrderAdjustMktRej, 2204, reason_code, -2204)});

    sim_quote_adjust quote_adjust;
    quote_adjust.field_4 = 2205;
    quote_adjust.field_116 = 116;
    quote_adjust.reason = 2206;
    v.push_back({"2205 quote adjust", quote_adjust_message(quote_adjust), ON_INTERNAL_QUOTE_ADJUST_STATUS,
                 [](const call& c) {
                     const HUX_InternalQuoteAdjustStatus r = record_of<HUX_InternalQuoteAdjustStatus>(c);
                     EXPECT_EQ(val(r.field_4), 2205);
                     EXPECT_EQ(val(r.field_116), 116);
                 }});
    quote_adjust.field_4 = 2206;
    v.push_back({"2206 quote adjust reject", quote_adjust_rej_message(quote_adjust), ON_INTERNAL_QUOTE_ADJUST_MKT_REJ,
                 [](const call& c) {
                     const HUX_InternalQuoteAdjustMktRej r = record_of<HUX_InternalQuoteAdjustMktRej>(c);
                     EXPECT_EQ(val(r.field_4), 2206);
                     EXPECT_EQ(val(r.reason_code), 2206);
                 }});

    // Status and query answers.
    sim_market_sessions sessions;
    sessions.exchange_id = 101;
    sessions.last = 1;
    sessions.count = 2;
    v.push_back({"1084 market sessions", market_session_answer(sessions), ON_QUERY_MARKET_SESSION,
                 [](const call& c) {
                     const HUX_ExchangeMarketSession r = record_of<HUX_ExchangeMarketSession>(c);
                     EXPECT_EQ(r.exchange_id, 101);
                     EXPECT_EQ(r.session_count, 2);
                     EXPECT_TRUE(c.flag);  // last
                 }});
    sim_session_stat stat;
    stat.flag = 1;
    stat.session = 0x11;
    v.push_back({"1085 session state", session_stat_report(stat), ON_MARKET_SESSION_STAT_REPORT,
                 [](const call& c) {
                     EXPECT_EQ(c.number, 0x11);  // state
                     EXPECT_TRUE(c.flag);
                 }});
    sim_symbol_status symbol;
    symbol.symbol = "IF2406";
    symbol.value = 1086;
    v.push_back({"1086 symbol status", symbol_status_message(false, symbol), ON_SYMBOL_STATUS_REPORT,
                 [](const call& c) {
                     const HUX_SymbolStatus r = record_of<HUX_SymbolStatus>(c);
                     EXPECT_STREQ(r.symbol, "IF2406");
                     EXPECT_EQ(val(r.value), 1086);
                 }});
    symbol.value = 1087;
    v.push_back({"1087 symbol status entry", symbol_status_message(true, symbol), ON_QUERY_SYMBOL_STATUS,
                 [](const call& c) {
                     const HUX_SymbolStatus r = record_of<HUX_SymbolStatus>(c);
                     EXPECT_EQ(val(r.value), 1087);
                     EXPECT_FALSE(c.flag);  // not the last
                 }});
    symbol.end_mark = 1;
    v.push_back({"1087 symbol status end", symbol_status_message(true, symbol), ON_QUERY_SYMBOL_STATUS,
                 [](const call& c) { EXPECT_TRUE(c.flag); }});
    sim_prod_status prod;
    prod.product = "IF";
    prod.value = 1089;
    v.push_back({"1089 product status", prod_status_report(prod), ON_PROD_STATUS_REPORT, [](const call& c) {
                     const HUX_ProdStatus r = record_of<HUX_ProdStatus>(c);
                     EXPECT_STREQ(r.product, "IF");
                     EXPECT_EQ(val(r.value), 1089);
                 }});
    sim_session_id sid;
    sid.session = "SESSION-A";
    v.push_back({"1094 session id", session_id_answer(sid), ON_QUERY_SESSION_ID, [](const call& c) {
                     EXPECT_STREQ(record_of<HUX_SessionID>(c).session, "SESSION-A");
                 }});
    sim_req_for_quote rfq;
    rfq.text20 = "IF2406";
    rfq.byte_a = 0x97;
    v.push_back({"1097 request for quote", req_for_quote_report(rfq), ON_INPUT_REG_FOR_QUOTE, [](const call& c) {
                     const HUX_InputRegForQuoteResponse r = record_of<HUX_InputRegForQuoteResponse>(c);
                     EXPECT_EQ(r.byte_a, 0x97);
                     EXPECT_EQ(std::string(r.text20, 6), "IF2406");
                 }});
    return v;
}

#undef EXPECT_TAG
#undef EXPECT_TAG_AND

}  // namespace

// Every event of the session reaches the method of its slot with its record:
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
    ASSERT_EQ(g.api->ConnServer(server_info(sim.port(), 100000), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1, kWait));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kWait));
    {
        const std::vector<call> calls = rec.answers();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].slot, ON_CONNECTION);
        EXPECT_EQ(calls[0].number, 0);
        EXPECT_EQ(calls[0].text, "conn ok");
        EXPECT_EQ(calls[1].slot, ON_USER_LOGON);
        const HUX_LogonResponse logon = record_of<HUX_LogonResponse>(calls[1]);
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
    ASSERT_TRUE(rec.wait_answers(2 + cases.size(), kWait));

    // Every method of HUXTraderEvent but the connection pair, the logon and
    // the time-out was reached, once each, in stream order.
    const std::vector<call> calls = rec.answers();
    ASSERT_EQ(calls.size(), 2 + cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const call& c = calls[2 + i];
        ASSERT_EQ(c.slot, cases[i].slot);
        cases[i].check(c);
    }
    for (int slot = ON_SPECIAL_ORDER_ACCEPT; slot <= ON_QUERY_SESSION_ID; ++slot)
        EXPECT_EQ(rec.count(slot), slot == ON_QUERY_SYMBOL_STATUS ? 2u : 1u) << "slot " << slot;

    // The server stays quiet: the watchdog reports the quiet seconds.
    ASSERT_TRUE(rec.wait_count(ON_HEARTBEAT_TIMEOUT, 1, 10000ms));
    EXPECT_GE(first_of(rec.calls(), ON_HEARTBEAT_TIMEOUT).number, 2);

    // The server closes: a remote disconnect.
    sim.close(0);
    ASSERT_TRUE(rec.wait_count(ON_DISCONNECTION, 1, kWait));
    const call drop = first_of(rec.calls(), ON_DISCONNECTION);
    EXPECT_EQ(drop.number, 2);
    EXPECT_EQ(drop.text, "remote disconnected");
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
    const HUX_TradeSvrInfo info = server_info(sim.port());
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
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kWait));
    ASSERT_TRUE(sim.send_raw(0, status));
    ASSERT_TRUE(reach_marker(sim, 0, impl, 1001));

    // ConnServer stores the object first: the local disconnect of the old
    // connection reaches it, then the new connection; nothing from before.
    ASSERT_EQ(g.api->ConnServer(info, &first, false), 0);
    ASSERT_TRUE(first.wait_count(ON_CONNECTION, 1, kWait));
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(handle), &first);
    std::vector<call> calls = first.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].slot, ON_DISCONNECTION);
    EXPECT_EQ(calls[0].number, 3);
    EXPECT_EQ(calls[0].text, "local disconnected");
    EXPECT_EQ(calls[1].slot, ON_CONNECTION);
    EXPECT_EQ(calls[1].text, "conn ok");
    // Each logon leaves its report connection behind its trade connection.
    ASSERT_TRUE(sim.wait_for_connection(2, kWait));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(first.wait_count(ON_USER_LOGON, 1, kWait));
    const size_t second = sim.wait_for_trade_connection(1, kWait);
    ASSERT_EQ(second, 2u);
    ASSERT_TRUE(sim.send_raw(second, status));
    ASSERT_TRUE(first.wait_count(ON_MARKET_SESSION_STAT_REPORT, 1, kWait));
    EXPECT_EQ(first_of(first.calls(), ON_MARKET_SESSION_STAT_REPORT).number, 7);

    // ConnServer with null connects; the disconnect of the old connection,
    // the new connection, the logon, a state and the server's close all go
    // nowhere.
    const size_t heard = first.size();
    ASSERT_EQ(g.api->ConnServer(info, nullptr, false), 0);
    EXPECT_EQ(HUXTradeImpl::GetApiSpi(handle), nullptr);
    ASSERT_TRUE(sim.wait_for_connection(4, kWait));
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsConnect(); }, kWait));
    ASSERT_EQ(g.api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(wait_until([&] { return session_of(impl)->IsLogon(); }, kWait));
    const size_t third = sim.wait_for_trade_connection(2, kWait);
    ASSERT_EQ(third, 4u);
    ASSERT_TRUE(sim.send_raw(third, status));
    ASSERT_TRUE(reach_marker(sim, third, impl, 1002));
    sim.close(third);
    ASSERT_TRUE(wait_until([&] { return !session_of(impl)->IsConnect(); }, kWait));
    EXPECT_EQ(first.size(), heard);
}

namespace {

std::atomic<int> g_account_bp_calls{0};

void on_account_bp(void*, HUX_AccountBP* bp) {
    if (bp && strcmp(bp->account, "ACC001") == 0) ++g_account_bp_calls;
}

}  // namespace

// The buying-power answer is read by the session (its C callback, set
// through the handle, hears it) but reaches no method of the event object.
// Destroying the object disconnects its session: the event object hears the
// local disconnect and the server the close. Null is ignored.
TEST(ApiObject, BuyingPowerReachesNoMethodAndDestroyDisconnects) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    ASSERT_TRUE(sim.set_config(server_config()));
    recorder rec;
    api_guard g;
    HUXTraderApi* api = g.api;
    ASSERT_NE(api, nullptr);
    HUXTradeImpl* impl = dynamic_cast<HUXTradeImpl*>(api);
    ASSERT_NE(impl, nullptr);
    ASSERT_EQ(api->ConnServer(server_info(sim.port()), &rec, false), 0);
    ASSERT_TRUE(rec.wait_count(ON_CONNECTION, 1, kWait));
    ASSERT_EQ(api->UserLogon("trader01", kPassword, "app-x", "AUTH-1"), 0);
    ASSERT_TRUE(rec.wait_count(ON_USER_LOGON, 1, kWait));

    ASSERT_EQ(MVHUX_SetQueryOtAccountBPEvent(impl->GetHandle(), on_account_bp), 0);
    ASSERT_EQ(impl->QueryOtAccountBP("ACC001"), 0);
    ASSERT_TRUE(sim.wait_for_message(0, 81, 1, kWait));
    hux_sim::sim_account_bp bp;
    bp.account = "ACC001";
    bp.figures[0] = 1000.5;
    ASSERT_TRUE(sim.send_raw(0, hux_sim::account_bp_answer(bp)));
    ASSERT_TRUE(wait_until([] { return g_account_bp_calls.load() == 1; }, kWait));
    EXPECT_EQ(rec.size(), 2u);  // the connection and the logon only

    g.api = nullptr;
    DestroyHUXTraderApi(api);
    EXPECT_TRUE(sim.transport().wait_peer_closed(0, kWait));
    ASSERT_EQ(rec.size(), 3u);
    const call last = rec.calls().back();
    EXPECT_EQ(last.slot, ON_DISCONNECTION);
    EXPECT_EQ(last.number, 3);
    EXPECT_EQ(last.text, "local disconnected");

    DestroyHUXTraderApi(nullptr);
}

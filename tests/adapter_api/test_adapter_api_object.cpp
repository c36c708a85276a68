// The adapter's API object against the simulated server in this process:
// the slot numbers of both interfaces (what an application compiled against
// the header calls), every HUXTraderApi slot with its effect at the server
// and its result, every event bridge reaching its HUXTraderEvent method with
// its arguments, nothing reaching the application before ConnServer, the
// connect by address without a local address, and the one "local
// disconnected" that destroying a connected object reports.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "adapter/Client.h"
#include "tests/adapter_api/adapter_test_waits.h"
#include "adapter_api/HUXAdapterImpl.h"
#include "hux_adapter_api.h"
#include "sim/loopback_server.h"
#include "sim/sim_trade_server.h"
#include "tests/support/test_wait.h"
#include "tools/precise_time.h"

namespace {

using hux_sim::sim_config;
using hux_sim::sim_trade_server;

std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

// ---------------------------------------------------------------- slots

// The table index of a virtual member function: in the Itanium C++ ABI a
// pointer to a virtual member holds 1 + its byte offset in the table.
template <typename PMF>
long slot_of(PMF pmf) {
    static_assert(sizeof(PMF) == 2 * sizeof(uintptr_t), "Itanium member pointer");
    uintptr_t words[2];
    std::memcpy(words, &pmf, sizeof(words));
    if ((words[0] & 1u) == 0) return -1;  // not virtual
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

TEST(AdapterApiObject, SlotNumbersAreTheBinaryInterface) {
    using A = HUXTraderApi;
    // Slots 0 and 1 are the destructor pair.
    EXPECT_EQ(2, slot_of(&A::GetTradeApiVersion));
    EXPECT_EQ(3, slot_of(&A::SetAutoReconnect));
    EXPECT_EQ(4, slot_of(&A::SetMaxWaitTime));
    EXPECT_EQ(5, slot_of(&A::GetTimestamps));
    EXPECT_EQ(6, slot_of(static_cast<int (A::*)(const HUX_TradeSvrInfo&, HUXTraderEvent*)>(&A::ConnServer)));
    EXPECT_EQ(7, slot_of(&A::DisConnServer));
    EXPECT_EQ(8, slot_of(&A::UserLogon));
    EXPECT_EQ(9, slot_of(&A::ChangePassword));
    EXPECT_EQ(10, slot_of(&A::QuerySymbolList));
    EXPECT_EQ(11, slot_of(&A::QueryUserAccount));
    EXPECT_EQ(12, slot_of(&A::QueryAccountPosition));
    EXPECT_EQ(13, slot_of(&A::QueryAccountBP));
    EXPECT_EQ(14, slot_of(&A::QueryAccountTradeMargin));
    EXPECT_EQ(15, slot_of(&A::QueryAccountTradeFee));
    EXPECT_EQ(16, slot_of(&A::GetMaxToken));
    EXPECT_EQ(17, slot_of(&A::EnterOrder));
    EXPECT_EQ(18, slot_of(&A::CancelOrder));
    EXPECT_EQ(19, slot_of(&A::EnterOrderWarm));
    EXPECT_EQ(20, slot_of(&A::QueryAccountOrder));
    EXPECT_EQ(21, slot_of(&A::QueryAccountOrderExecution));
    EXPECT_EQ(22, slot_of(&A::QueryMarketSession));
    EXPECT_EQ(23, slot_of(&A::ConvertFromTimestamp));
    EXPECT_EQ(24, slot_of(&A::SetLoggerSwitch));
    EXPECT_EQ(25, slot_of(&A::QuerySymbolStatus));
    EXPECT_EQ(26, slot_of(&A::LoggerFlush));
    EXPECT_EQ(27, slot_of(&A::SetAsyncReceiveMode));
    EXPECT_EQ(28, slot_of(&A::EnterMultiOrders));
    EXPECT_EQ(29, slot_of(&A::EnterMultiCxlOrders));
    EXPECT_EQ(30, slot_of(static_cast<int (A::*)(int, unsigned char, int)>(&A::QueryMarketMBLData)));
    EXPECT_EQ(31, slot_of(static_cast<int (A::*)(int, const char*, const char*, int)>(&A::QueryMarketMBLData)));
    EXPECT_EQ(32, slot_of(&A::ChangeFCParam));
    EXPECT_EQ(33, slot_of(&A::QuerySessionID));
    EXPECT_EQ(34, slot_of(&A::EnterSpecialOrder));
    EXPECT_EQ(35, slot_of(&A::CancelSpecialOrder));
    EXPECT_EQ(36, slot_of(static_cast<int (HUXAdapterImpl::*)(const char*, int, HUXTraderEvent*, const char*, int)>(
                      &HUXAdapterImpl::ConnServer)));

    using E = HUXTraderEvent;
    const long events[] = {
        slot_of(&E::OnConnection),                     slot_of(&E::OnDisconnection),
        slot_of(&E::OnUserLogon),                      slot_of(&E::OnHeartbeatTimeout),
        slot_of(&E::OnChangePassword),                 slot_of(&E::OnQueryUserAccount),
        slot_of(&E::OnQueryAccountPosition),           slot_of(&E::OnQueryAccountOptionPosition),
        slot_of(&E::OnQueryAccountBP),                 slot_of(&E::OnReportAccountBP),
        slot_of(&E::OnQuerySymbol),                    slot_of(&E::OnQueryAccountTradeMargin),
        slot_of(&E::OnQueryAccountTradeFee),           slot_of(&E::OnOrderAccept),
        slot_of(&E::OnOrderMarketAccept),              slot_of(&E::OnOrderReject),
        slot_of(&E::OnOrderMarketReject),              slot_of(&E::OnOrderExecution),
        slot_of(&E::OnOrderCxled),                     slot_of(&E::OnCxlOrderReject),
        slot_of(&E::OnQueryTradeOrder),                slot_of(&E::OnQueryTradeOrderExec),
        slot_of(&E::OnQueryTradeOrderExecEx),          slot_of(&E::OnPostOrder),
        slot_of(&E::OnPostOrderExecution),             slot_of(&E::OnQueryMarketSession),
        slot_of(&E::OnMarketSessionStatReport),        slot_of(&E::OnSymbolStatusReport),
        slot_of(&E::OnQuerySymbolStatus),              slot_of(&E::OnQueryMarketMBLData),
        slot_of(&E::OnQuerySessionID),                 slot_of(&E::OnSpecialOrderAccept),
        slot_of(&E::OnSpecialOrderReject),             slot_of(&E::OnSpecialOrderMarketAccept),
        slot_of(&E::OnSpecialOrderMarketReject),       slot_of(&E::OnSpecialOrderActionAccept),
        slot_of(&E::OnSpecialOrderActionReject),       slot_of(&E::OnSpecialOrderActionMarketAccept),
        slot_of(&E::OnSpecialOrderActionMarketReject), slot_of(&E::OnPostSpecialOrder),
    };
    for (size_t i = 0; i < sizeof(events) / sizeof(events[0]); ++i) EXPECT_EQ(long(i) + 2, events[i]) << i;
}

// ---------------------------------------------------------------- events

// One call of an event method: its name, the record or text pointer it got
// (null for none), and its other arguments as text.
struct call_seen {
    std::string method;
    const void* record;
    std::string args;
};

// Records every method call, from any thread.
class recorder : public HUXTraderEvent {
public:
    std::vector<call_seen> calls() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_calls;
    }
    size_t count(const std::string& method) const {
        std::lock_guard<std::mutex> g(m_lock);
        return count_locked(method);
    }
    // Waits for the `n`th call of `method`; its record, false at the deadline.
    bool wait(const std::string& method, size_t n = 1) {
        std::unique_lock<std::mutex> g(m_lock);
        return m_changed.wait_for(g, wait_limit(), [&] { return count_locked(method) >= n; });
    }
    // The arguments of the last call of `method`; "" when none.
    std::string last(const std::string& method) const {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it)
            if (it->method == method) return it->args;
        return "";
    }
    const void* last_record(const std::string& method) const {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it)
            if (it->method == method) return it->record;
        return nullptr;
    }

    void OnConnection(int code, const char* text) override { add("OnConnection", text, num(code) + " " + text); }
    void OnDisconnection(int code, const char* text) override {
        add("OnDisconnection", text, num(code) + " " + text);
    }
    void OnUserLogon(HUX_LogonResponse* rsp) override {
        add("OnUserLogon", rsp, num(rsp->result) + " " + num(rsp->user_id) + " " + num(rsp->max_token));
    }
    void OnHeartbeatTimeout(int seconds) override { add("OnHeartbeatTimeout", nullptr, num(seconds)); }
    void OnChangePassword(int result) override { add("OnChangePassword", nullptr, num(result)); }
    void OnQueryUserAccount(HUX_AccountInfo* info, bool last) override { add("OnQueryUserAccount", info, flag(last)); }
    void OnQueryAccountPosition(const char* account, HUX_AccountPosition* p, int request_no, bool last) override {
        add("OnQueryAccountPosition", p, std::string(account) + " " + num(request_no) + " " + flag(last));
    }
    void OnQueryAccountOptionPosition(const char* account, HUX_AccountOptionPosition* p, int request_no,
                                      bool last) override {
        add("OnQueryAccountOptionPosition", p, std::string(account) + " " + num(request_no) + " " + flag(last));
    }
    void OnQueryAccountBP(const char* account, HUX_AccountBP* bp, int request_no) override {
        add("OnQueryAccountBP", bp, std::string(account) + " " + num(request_no) + " " + num(bp->values[0]));
    }
    void OnReportAccountBP(const char* account, HUX_AccountBP* bp) override {
        add("OnReportAccountBP", bp, std::string(account) + " " + num(bp->values[8]));
    }
    void OnQuerySymbol(HUX_SymbolField* s, bool last) override { add("OnQuerySymbol", s, flag(last)); }
    void OnQueryAccountTradeMargin(const char* account, HUX_AccountMargin* m, bool last) override {
        add("OnQueryAccountTradeMargin", m, std::string(account) + " " + flag(last));
    }
    void OnQueryAccountTradeFee(const char* account, HUX_AccountFee* f, bool last) override {
        add("OnQueryAccountTradeFee", f, std::string(account) + " " + flag(last));
    }
    void OnOrderAccept(HUX_OrderAcceptField* r) override { add("OnOrderAccept", r, num(r->client_token)); }
    void OnOrderMarketAccept(HUX_OrderMarketAcceptField* r) override { add("OnOrderMarketAccept", r, ""); }
    void OnOrderReject(HUX_OrderRejectField* r) override { add("OnOrderReject", r, ""); }
    void OnOrderMarketReject(HUX_OrderMarketRejectField* r) override { add("OnOrderMarketReject", r, ""); }
    void OnOrderExecution(HUX_OrderExecutionField* r) override { add("OnOrderExecution", r, ""); }
    void OnOrderCxled(HUX_OrderCxled* r) override { add("OnOrderCxled", r, ""); }
    void OnCxlOrderReject(HUX_CxlOrderRej* r) override { add("OnCxlOrderReject", r, ""); }
    void OnQueryTradeOrder(const char* account, HUX_QueryAccountOrder* o, bool last) override {
        add("OnQueryTradeOrder", o, std::string(account) + " " + flag(last));
    }
    void OnQueryTradeOrderExec(const char* account, HUX_QueryOrderExecution* e, bool last) override {
        add("OnQueryTradeOrderExec", e, std::string(account) + " " + flag(last));
    }
    void OnQueryTradeOrderExecEx(const char* account, HUX_QueryOrderExecutionEx* e, bool last) override {
        add("OnQueryTradeOrderExecEx", e, std::string(account) + " " + flag(last));
    }
    void OnPostOrder(HUX_PostOrder* r) override { add("OnPostOrder", r, ""); }
    void OnPostOrderExecution(HUX_PostOrderExecution* r) override { add("OnPostOrderExecution", r, ""); }
    void OnQueryMarketSession(HUX_ExchangeMarketSession* s, bool last) override {
        add("OnQueryMarketSession", s, num(s->exchange_id) + " " + flag(last));
    }
    void OnMarketSessionStatReport(uint8_t session, bool f) override {
        add("OnMarketSessionStatReport", nullptr, num(session) + " " + flag(f));
    }
    void OnSymbolStatusReport(HUX_SymbolStatus* s) override { add("OnSymbolStatusReport", s, ""); }
    void OnQuerySymbolStatus(HUX_SymbolStatus* s, bool last) override {
        add("OnQuerySymbolStatus", s, std::string(s->symbol) + " " + flag(last));
    }
    void OnQueryMarketMBLData(HUX_MarketMBLData* d, bool last) override { add("OnQueryMarketMBLData", d, flag(last)); }
    void OnQuerySessionID(HUX_SessionID* s) override { add("OnQuerySessionID", s, s->session); }
    void OnSpecialOrderAccept(HUX_SpecialOrderAcceptField* r) override { add("OnSpecialOrderAccept", r, ""); }
    void OnSpecialOrderReject(HUX_SpecialOrderRejectField* r) override { add("OnSpecialOrderReject", r, ""); }
    void OnSpecialOrderMarketAccept(HUX_SpecialOrderMarketAcceptField* r) override {
        add("OnSpecialOrderMarketAccept", r, "");
    }
    void OnSpecialOrderMarketReject(HUX_SpecialOrderMarketRejectField* r) override {
        add("OnSpecialOrderMarketReject", r, "");
    }
    void OnSpecialOrderActionAccept(HUX_SpecialOrderActionAccept* r) override {
        add("OnSpecialOrderActionAccept", r, "");
    }
    void OnSpecialOrderActionReject(HUX_SpecialOrderActionRej* r) override {
        add("OnSpecialOrderActionReject", r, "");
    }
    void OnSpecialOrderActionMarketAccept(HUX_SpecialOrderActionMarketAcceptField* r) override {
        add("OnSpecialOrderActionMarketAccept", r, "");
    }
    void OnSpecialOrderActionMarketReject(HUX_SpecialOrderActionMarketRejectField* r) override {
        add("OnSpecialOrderActionMarketReject", r, "");
    }
    void OnPostSpecialOrder(HUX_PostSpecialOrder* r) override { add("OnPostSpecialOrder", r, ""); }

private:
    static std::string num(double v) {
        char b[40];
        std::snprintf(b, sizeof(b), "%.17g", v);
        return b;
    }
    static std::string flag(bool v) { return v ? "last" : "more"; }
    size_t count_locked(const std::string& method) const {
        size_t n = 0;
        for (const call_seen& c : m_calls) n += c.method == method ? 1 : 0;
        return n;
    }
    void add(const char* method, const void* record, const std::string& args) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_calls.push_back({method, record, args});
        }
        m_changed.notify_all();
    }
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<call_seen> m_calls;
};

// ---------------------------------------------------------------- rig

sim_config server_config() {
    sim_config cfg;
    cfg.password = "pw";
    cfg.user_id = 1001;
    cfg.max_token = 100;
    cfg.query_user_id = 2002;
    cfg.session_id.session = "SESS-OBJ";
    cfg.order_answer = hux_sim::order_mode::fill;
    cfg.heart_beat_timeout = 1;
    cfg.query_data.answer = true;
    cfg.query_data.buying_power.account = "ACC001";
    cfg.query_data.buying_power.figures[0] = 1234.5;
    hux_sim::sim_market_sessions ms;
    ms.exchange_id = 103;
    cfg.market_sessions.push_back(ms);
    hux_sim::sim_symbol_status st;
    st.symbol = "IF2406";
    cfg.symbol_statuses.push_back(st);
    return cfg;
}

using hux_test::shorten_waits;

HUX_EnterOrderField order(uint32_t token, uint32_t quantity = 1) {
    HUX_EnterOrderField o;
    std::memset(&o, 0, sizeof(o));
    std::strcpy(o.account, "ACC001");
    std::strcpy(o.symbol, "IF2406");
    o.side = 1;
    o.exchange_id = 101;
    o.price = 10.0;
    o.quantity = quantity;
    o.client_token = token;
    o.opt_8 = 1;
    return o;
}

// A server with its query port, an API object made by the factory and a
// recording event object (the object goes first, so its "local
// disconnected" reaches a live recorder).
struct rig {
    rig() {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(server_config()));
        EXPECT_TRUE(srv.open_query(0));
        api = CreateHUXTraderApi();
        impl = static_cast<HUXAdapterImpl*>(api);
        shorten_waits(impl->GetHandle());
    }
    ~rig() { DestroyHUXTraderApi(api); }

    // Connect by address (ports with high bits that must be dropped) and
    // log both sessions on.
    bool log_on() {
        if (impl->ConnServer("127.0.0.1", 0x30000 | srv.port(), &events, "127.0.0.1", 0x50000 | srv.query_port()) !=
            0)
            return false;
        if (!events.wait("OnConnection")) return false;
        if (api->UserLogon("trader01", "pw", "app-x", "AUTH123") != 0) return false;
        return events.wait("OnUserLogon") && events.last("OnUserLogon").rfind("0 ", 0) == 0;
    }
    size_t trade_count(uint16_t type) const { return srv.count(0, type); }

    sim_trade_server srv;
    recorder events;
    HUXTraderApi* api = nullptr;
    HUXAdapterImpl* impl = nullptr;
};

// ---------------------------------------------------------------- tests

TEST(AdapterApiObject, FactoryVersionStubsAndTimestamps) {
    HUXTraderApi* api = CreateHUXTraderApi();
    ASSERT_NE(nullptr, api);
    EXPECT_STREQ("5.2.4.67", api->GetTradeApiVersion());
    // Nothing connected: the C functions' own results come back unchanged.
    EXPECT_EQ(HUX_RESULT_NOT_CONNECTED, api->EnterOrderWarm());
    HUX_EnterOrderField o = order(101);
    EXPECT_EQ(HUX_RESULT_NOT_CONNECTED, api->EnterOrder(&o));
    EXPECT_EQ(HUX_RESULT_NOT_CONNECTED, api->QueryUserAccount());
    EXPECT_EQ(HUX_RESULT_OK, api->QueryMarketMBLData(1, static_cast<unsigned char>(103), 2));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryMarketMBLData(1, nullptr, nullptr, 2));
    EXPECT_EQ(HUX_RESULT_OK, api->SetAutoReconnect(false));
    EXPECT_EQ(HUX_RESULT_OK, api->SetLoggerSwitch(true));
    EXPECT_EQ(HUX_RESULT_OK, api->LoggerFlush());
    int count = -1;
    EXPECT_EQ(HUX_RESULT_NULL_ARGUMENT, api->GetTimestamps(nullptr, count));
    // 2024-06-07 08:09:10 UTC and 123456789 ns.
    const unsigned long long stamp = (1717747750ull << 32) | 123456789u;
    std::tm out{};
    unsigned int ns = 0;
    EXPECT_EQ(0, api->ConvertFromTimestamp(stamp, out, ns));
    EXPECT_EQ(123456789u, ns);
    EXPECT_EQ(124, out.tm_year);
    EXPECT_EQ(5, out.tm_mon);
    // Connect by address: a null address is refused before anything is stored.
    HUXAdapterImpl* impl = static_cast<HUXAdapterImpl*>(api);
    EXPECT_EQ(HUX_RESULT_NULL_ARGUMENT, impl->ConnServer(nullptr, 1, nullptr, "127.0.0.1", 2));
    EXPECT_EQ(HUX_RESULT_NULL_ARGUMENT, impl->ConnServer("127.0.0.1", 1, nullptr, nullptr, 2));
    DestroyHUXTraderApi(api);
    DestroyHUXTraderApi(nullptr);
}

// Events before ConnServer are dropped; afterwards each trade answer bridge
// hands its record to its own method, the pointer unchanged.
TEST(AdapterApiObject, TradeAnswerBridgesReachTheirMethodsOnlyAfterConnServer) {
    rig r;
    HUX_ADAPTER::adapter_trade_events& e =
        static_cast<HUX_ADAPTER::Client*>(r.impl->GetHandle())->TradeEvents();
    void* h = r.impl->GetHandle();
    // One buffer, big enough for every record; each call gets its own offset.
    static unsigned char buf[64][1024];
    std::memset(buf, 0, sizeof(buf));
    int i = 0;
    struct bridge_case {
        const char* method;
        std::function<void(void*)> fire;
    };
    auto rec = [&](int n) { return static_cast<void*>(buf[n]); };
#define CASE(slot, type, method)                                                           \
    bridge_case {                                                                          \
        method, [&](void* p) {                                                             \
            auto fn = e.slot.load();                                                       \
            ASSERT_NE(nullptr, fn) << #slot;                                               \
            fn(h, static_cast<type*>(p));                                                  \
        }                                                                                  \
    }
    const std::vector<bridge_case> cases = {
        CASE(OrderAccept, HUX_OrderAcceptField, "OnOrderAccept"),
        CASE(OrderReject, HUX_OrderRejectField, "OnOrderReject"),
        CASE(OrderMarketAccept, HUX_OrderMarketAcceptField, "OnOrderMarketAccept"),
        CASE(OrderMarketReject, HUX_OrderMarketRejectField, "OnOrderMarketReject"),
        CASE(OrderExecution, HUX_OrderExecutionField, "OnOrderExecution"),
        CASE(OrderCxled, HUX_OrderCxled, "OnOrderCxled"),
        CASE(CxlOrderReject, HUX_CxlOrderRej, "OnCxlOrderReject"),
        CASE(PostOrder, HUX_PostOrder, "OnPostOrder"),
        CASE(PostOrderExecution, HUX_PostOrderExecution, "OnPostOrderExecution"),
        CASE(SymbolStatusReport, HUX_SymbolStatus, "OnSymbolStatusReport"),
        CASE(SpecialOrderAccept, HUX_SpecialOrderAcceptField, "OnSpecialOrderAccept"),
        CASE(SpecialOrderReject, HUX_SpecialOrderRejectField, "OnSpecialOrderReject"),
        CASE(SpecialOrderActionAccept, HUX_SpecialOrderActionAccept, "OnSpecialOrderActionAccept"),
        CASE(SpecialOrderActionRej, HUX_SpecialOrderActionRej, "OnSpecialOrderActionReject"),
        CASE(SpecialOrderMarketAccept, HUX_SpecialOrderMarketAcceptField, "OnSpecialOrderMarketAccept"),
        CASE(SpecialOrderMarketReject, HUX_SpecialOrderMarketRejectField, "OnSpecialOrderMarketReject"),
        CASE(SpecialOrderActionMarketAccept, HUX_SpecialOrderActionMarketAcceptField,
             "OnSpecialOrderActionMarketAccept"),
        CASE(SpecialOrderActionMarketReject, HUX_SpecialOrderActionMarketRejectField,
             "OnSpecialOrderActionMarketReject"),
        CASE(PostSpecialOrder, HUX_PostSpecialOrder, "OnPostSpecialOrder"),
    };
#undef CASE
    // Before ConnServer: nothing reaches the recorder.
    for (const bridge_case& c : cases) c.fire(rec(i++));
    e.MarketSessionStatReport.load()(h, 7, true);
    e.QuerySessionID.load()(h, reinterpret_cast<HUX_SessionID*>(rec(i++)));
    EXPECT_TRUE(r.events.calls().empty());

    ASSERT_TRUE(r.log_on());
    const size_t before = r.events.calls().size();
    i = 0;
    for (const bridge_case& c : cases) {
        void* p = rec(i++);
        c.fire(p);
        EXPECT_EQ(1u, r.events.count(c.method)) << c.method;
        EXPECT_EQ(p, r.events.last_record(c.method)) << c.method;
    }
    e.MarketSessionStatReport.load()(h, 7, true);
    EXPECT_EQ("7 last", r.events.last("OnMarketSessionStatReport"));
    EXPECT_EQ(before + cases.size() + 1, r.events.calls().size());
}

// Every slot through an HUXTraderApi pointer with what the server received,
// and the events its answers bring back: connection, logon, order accept and
// fill, every query answer and the buying-power push, the password change,
// the three status queries, the heart-beat time-out, and "local
// disconnected" when the object is destroyed.
TEST(AdapterApiObject, EverySlotReachesTheServerAndEveryAnswerItsMethod) {
    rig r;
    HUXTraderApi* api = r.api;
    ASSERT_TRUE(r.log_on());
    EXPECT_EQ(0u, r.events.last("OnConnection").rfind("0 ", 0));
    EXPECT_EQ(0u, r.events.count("OnDisconnection"));
    EXPECT_EQ("0 2002 100", r.events.last("OnUserLogon"));
    ASSERT_TRUE(r.srv.wait_for_query_connection(0, wait_limit()));

    EXPECT_EQ(HUX_RESULT_OK, api->SetMaxWaitTime(50, 50));
    unsigned int token = 0;
    EXPECT_EQ(HUX_RESULT_OK, api->GetMaxToken(&token));
    EXPECT_EQ(100u, token);

    // Orders: one, the warm-up (nothing sent), a batch of two.
    HUX_EnterOrderField one = order(101);
    EXPECT_EQ(HUX_RESULT_OK, api->EnterOrder(&one));
    ASSERT_TRUE(r.srv.wait_for_message(0, 10, 1, wait_limit()));
    ASSERT_TRUE(r.events.wait("OnOrderAccept"));
    EXPECT_EQ("101", r.events.last("OnOrderAccept"));
    EXPECT_TRUE(r.events.wait("OnOrderExecution"));
    EXPECT_EQ(HUX_RESULT_OK, api->EnterOrderWarm());
    HUX_EnterOrderField two[2] = {order(102), order(103)};
    EXPECT_EQ(HUX_RESULT_OK, api->EnterMultiOrders(two, 2));
    ASSERT_TRUE(r.events.wait("OnOrderAccept", 3));
    EXPECT_EQ(3u, r.trade_count(10));  // the warm-up order never left
    HUX_EnterOrderField bad = order(104);
    bad.exchange_id = 99;
    EXPECT_EQ(HUX_RESULT_BAD_EXCHANGE, api->EnterOrder(&bad));

    // Cancels and special orders.
    HUX_CancelOrder cancel;
    std::memset(&cancel, 0, sizeof(cancel));
    cancel.market_token = 1;
    cancel.client_token = 105;
    EXPECT_EQ(HUX_RESULT_OK, api->CancelOrder(&cancel));
    HUX_CancelOrder cancels[2] = {cancel, cancel};
    cancels[0].client_token = 106;
    cancels[1].client_token = 107;
    EXPECT_EQ(HUX_RESULT_OK, api->EnterMultiCxlOrders(cancels, 2));
    EXPECT_TRUE(r.srv.wait_for_message(0, 11, 3, wait_limit()));
    HUX_EnterSpecialOrderField special;
    std::memset(&special, 0, sizeof(special));
    special.exchange_id = 101;
    special.client_token = 108;
    EXPECT_EQ(HUX_RESULT_OK, api->EnterSpecialOrder(&special));
    EXPECT_TRUE(r.srv.wait_for_message(0, 30, 1, wait_limit()));
    HUX_CancelSpecialOrder special_cancel;
    std::memset(&special_cancel, 0, sizeof(special_cancel));
    EXPECT_EQ(HUX_RESULT_OK, api->CancelSpecialOrder(&special_cancel));
    EXPECT_TRUE(r.srv.wait_for_message(0, 31, 1, wait_limit()));

    // The trade connection's status queries.
    EXPECT_EQ(HUX_RESULT_OK, api->QueryMarketSession());
    EXPECT_TRUE(r.events.wait("OnQueryMarketSession"));
    EXPECT_EQ("103 last", r.events.last("OnQueryMarketSession"));
    EXPECT_EQ(HUX_RESULT_OK, api->QuerySymbolStatus());
    EXPECT_TRUE(r.events.wait("OnQuerySymbolStatus", 2));
    EXPECT_EQ(HUX_RESULT_OK, api->QuerySessionID("SESS", 103));
    EXPECT_TRUE(r.events.wait("OnQuerySessionID"));
    EXPECT_EQ("SESS-OBJ", r.events.last("OnQuerySessionID"));
    EXPECT_EQ(HUX_RESULT_BAD_EXCHANGE, api->QuerySessionID("SESS", 101));

    // The query session: each request and its closing answer.
    EXPECT_EQ(HUX_RESULT_OK, api->QueryUserAccount());
    EXPECT_TRUE(r.events.wait("OnQueryUserAccount"));
    EXPECT_EQ(HUX_RESULT_OK, api->QuerySymbolList());
    EXPECT_TRUE(r.events.wait("OnQuerySymbol"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountPosition("ACC001", 7));
    EXPECT_TRUE(r.events.wait("OnQueryAccountPosition"));
    EXPECT_TRUE(r.events.wait("OnQueryAccountOptionPosition"));
    EXPECT_EQ(" 7 last", r.events.last("OnQueryAccountPosition"));  // the closing answer: no account
    EXPECT_EQ(" 7 last", r.events.last("OnQueryAccountOptionPosition"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountBP("ACC001", 9));
    EXPECT_TRUE(r.events.wait("OnQueryAccountBP"));
    EXPECT_EQ("ACC001 9 1234.5", r.events.last("OnQueryAccountBP"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountTradeMargin("ACC001"));
    EXPECT_TRUE(r.events.wait("OnQueryAccountTradeMargin"));
    EXPECT_EQ(" last", r.events.last("OnQueryAccountTradeMargin"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountTradeFee("ACC001"));
    EXPECT_TRUE(r.events.wait("OnQueryAccountTradeFee"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountOrder("ACC001"));
    EXPECT_TRUE(r.events.wait("OnQueryTradeOrder"));
    EXPECT_EQ(" last", r.events.last("OnQueryTradeOrder"));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountOrderExecution("ACC001", 0));
    EXPECT_TRUE(r.events.wait("OnQueryTradeOrderExec"));
    sim_config cfg = server_config();
    cfg.query_data.execution_type = 1063;
    ASSERT_TRUE(r.srv.set_config(cfg));
    EXPECT_EQ(HUX_RESULT_OK, api->QueryAccountOrderExecution("ACC001", 1));
    EXPECT_TRUE(r.events.wait("OnQueryTradeOrderExecEx"));
    EXPECT_EQ(HUX_RESULT_OK, api->ChangePassword("pw", "New_pass2"));
    EXPECT_TRUE(r.events.wait("OnChangePassword"));
    EXPECT_EQ("0", r.events.last("OnChangePassword"));
    EXPECT_EQ(HUX_RESULT_BAD_PASSWORD, api->ChangePassword("pw", "short"));
    hux_sim::sim_account_bp push;
    push.account = "ACC002";
    push.figures[8] = 88.25;
    ASSERT_TRUE(r.srv.push_account_bp(0, push));
    EXPECT_TRUE(r.events.wait("OnReportAccountBP"));
    EXPECT_EQ("ACC002 88.25", r.events.last("OnReportAccountBP"));
    const uint16_t query_types[] = {71, 72, 73, 81, 77, 78, 74, 75, 69};
    for (uint16_t t : query_types) EXPECT_GE(r.srv.query_count(0, t), 1u) << t;

    // Flow-control limits, the receive mode and the logger.
    EXPECT_EQ(HUX_RESULT_OK, api->ChangeFCParam(100, 100));
    EXPECT_EQ(HUX_RESULT_OK, api->SetLoggerSwitch(false));
    EXPECT_EQ(HUX_RESULT_OK, api->LoggerFlush());
    long long stamps[4];
    int count = 4;
    EXPECT_EQ(HUX_RESULT_OK, api->GetTimestamps(stamps, count));

    // A server fallen silent past its one-second time-out.
    r.srv.set_silent(true);
    EXPECT_TRUE(r.events.wait("OnHeartbeatTimeout"));
    r.srv.set_silent(false);

    // The market-by-level stubs send nothing and bring nothing.
    EXPECT_EQ(HUX_RESULT_OK, api->QueryMarketMBLData(1, static_cast<unsigned char>(0), 2));
    EXPECT_EQ(0u, r.events.count("OnQueryMarketMBLData"));
    EXPECT_EQ(HUX_RESULT_OK, api->SetAsyncReceiveMode());

    // Disconnecting by the object reports on the disconnection method.
    EXPECT_EQ(HUX_RESULT_OK, api->DisConnServer());
    EXPECT_TRUE(r.events.wait("OnDisconnection"));
    EXPECT_EQ(HUX_RESULT_NOT_CONNECTED, api->QueryUserAccount());
}

// Destroying a connected object reports "local disconnected" once, on the
// disconnection method; DisConnServer itself returns the C function's result.
TEST(AdapterApiObject, DestroyingAConnectedObjectReportsLocalDisconnected) {
    sim_trade_server srv;
    ASSERT_TRUE(srv.set_config(server_config()));
    ASSERT_TRUE(srv.open_query(0));
    recorder events;
    HUXTraderApi* api = CreateHUXTraderApi();
    shorten_waits(static_cast<HUXAdapterImpl*>(api)->GetHandle());
    HUX_TradeSvrInfo info;
    std::strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = srv.port();
    std::strcpy(info.query_ip, "127.0.0.1");
    info.query_port = srv.query_port();
    info.heartbeat_interval = 0;
    ASSERT_EQ(HUX_RESULT_OK, api->ConnServer(info, &events));
    ASSERT_TRUE(events.wait("OnConnection"));
    EXPECT_EQ(0u, events.count("OnDisconnection"));
    DestroyHUXTraderApi(api);
    EXPECT_EQ(1u, events.count("OnDisconnection"));
    EXPECT_EQ("3 local disconnected", events.last("OnDisconnection"));
}

// An event object that destroys its API object in the first call of one
// method, from inside that call, and keeps what it heard up to then.
class destroying_recorder : public recorder {
public:
    std::string destroy_in;
    HUXTraderApi* api = nullptr;
    void* handle = nullptr;  // the object's client
    std::string log;         // the log of both sessions
    std::mutex lock;
    bool destroyed = false;
    bool freed_inside = false;            // a session's destructor had run before the call returned
    HUXTraderEvent* events_after = this;  // what the object gave its bridges after the destroy
    size_t heard_then = 0;

    void OnConnection(int code, const char* text) override {
        recorder::OnConnection(code, text);
        heard("OnConnection");
    }
    void OnUserLogon(HUX_LogonResponse* rsp) override {
        recorder::OnUserLogon(rsp);
        heard("OnUserLogon");
    }
    void OnOrderAccept(HUX_OrderAcceptField* r) override {
        recorder::OnOrderAccept(r);
        heard("OnOrderAccept");
    }
    void OnQueryUserAccount(HUX_AccountInfo* info, bool last) override {
        recorder::OnQueryUserAccount(info, last);
        heard("OnQueryUserAccount");
    }
    static size_t log_lines(const std::string& path, const char* text) {
        std::ifstream in(path);
        size_t n = 0;
        for (std::string line; std::getline(in, line);) n += line.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

private:
    void heard(const char* method) {
        {
            std::lock_guard<std::mutex> g(lock);
            if (destroyed || destroy_in != method) return;
            destroyed = true;
            heard_then = calls().size();
        }
        DestroyHUXTraderApi(api);
        // The object is still there, giving its bridges no event object.
        HUXTraderEvent* events = HUXAdapterImpl::GetApiSpi(handle);
        // The object's destructor destroys the client, whose sessions end
        // with their lines and close the log: there only once freed.
        const bool freed = log_lines(log, "destroy trade client") + log_lines(log, "destroy query client") != 0;
        std::lock_guard<std::mutex> g(lock);
        events_after = events;
        freed_inside = freed;
    }
};

// DestroyHUXTraderApi inside an event method: the connection ("conn ok"),
// the logon answer, an order answer (trade receive thread) and a query
// answer (query receive thread). Both sessions are disconnected at once (the
// server sees the trade connection close); the object and its client are
// freed on the library's own thread once the method has returned, the
// application calling nothing more (the sessions' last lines are not in the
// log when the destroy returns, and come without another call); no method is
// called after the destroy: not for the fill behind the accept or the
// accounts behind the first, nor for the disconnect's "local disconnected".
TEST(AdapterApiObject, DestroyInsideAnEventMethodFreesTheObjectOnceTheMethodHasReturned) {
    for (const char* method : {"OnConnection", "OnUserLogon", "OnOrderAccept", "OnQueryUserAccount"}) {
        SCOPED_TRACE(method);
        sim_config cfg = server_config();
        cfg.coalesce = true;  // each request's answers in one read
        cfg.query_data.user_accounts.resize(2);
        cfg.query_data.user_accounts[0].account = "ACC001";
        cfg.query_data.user_accounts[1].account = "ACC002";
        sim_trade_server srv;
        ASSERT_TRUE(srv.set_config(cfg));
        ASSERT_TRUE(srv.open_query(0));
        char dir_template[] = "/tmp/hux_destroy_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir_template));
        const std::string dir = dir_template;
        destroying_recorder events;
        events.destroy_in = method;
        events.api = CreateHUXTraderApi();
        ASSERT_NE(nullptr, events.api);
        struct undestroyed {  // goes before the event object
            destroying_recorder& events;
            ~undestroyed() {
                if (!events.destroyed) DestroyHUXTraderApi(events.api);
            }
        } end{events};
        events.handle = static_cast<HUXAdapterImpl*>(events.api)->GetHandle();
        shorten_waits(events.handle);
        MVHUX_SetLogDir(events.handle, dir.c_str());
        events.log = dir + "/tavlog_" + precise_time::get_start_date() + ".log";

        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        std::strcpy(info.query_ip, "127.0.0.1");
        info.query_port = srv.query_port();
        info.heartbeat_interval = 0;
        ASSERT_EQ(HUX_RESULT_OK, events.api->ConnServer(info, &events));
        ASSERT_TRUE(events.wait("OnConnection"));
        if (events.destroy_in != "OnConnection") {
            ASSERT_EQ(HUX_RESULT_OK, events.api->UserLogon("trader01", "pw", "app-x", "AUTH123"));
        }
        if (events.destroy_in == "OnOrderAccept" || events.destroy_in == "OnQueryUserAccount") {
            ASSERT_TRUE(events.wait("OnUserLogon"));
            ASSERT_EQ(0u, events.last("OnUserLogon").rfind("0 ", 0));
        }
        if (events.destroy_in == "OnOrderAccept") {
            HUX_EnterOrderField o = order(101);
            ASSERT_EQ(HUX_RESULT_OK, events.api->EnterOrder(&o));
        } else if (events.destroy_in == "OnQueryUserAccount") {
            ASSERT_EQ(HUX_RESULT_OK, events.api->QueryUserAccount());
        }

        EXPECT_TRUE(hux_test::wait_until(
            [&] {
                return destroying_recorder::log_lines(events.log, "destroy trade client") == 1 &&
                       destroying_recorder::log_lines(events.log, "destroy query client") == 1;
            },
            wait_limit()));
        EXPECT_TRUE(srv.transport().wait_peer_closed(0, wait_limit()));
        {
            std::lock_guard<std::mutex> g(events.lock);
            EXPECT_TRUE(events.destroyed);
            EXPECT_FALSE(events.freed_inside);
            EXPECT_EQ(nullptr, events.events_after);
            EXPECT_EQ(events.heard_then, events.calls().size());
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
}

}  // namespace

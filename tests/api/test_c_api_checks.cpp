// The checks of the MVHUX_* C functions and the order in which they run: for
// each check, a state where it is the first to fail, and states where two
// fail at once so that the earlier one decides. Every session is a real
// handle connected over loopback to the simulated trade server; what a call
// sent (or did not send) is read from the server's record of the connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_order_answers.h"
#include "sim/sim_status_answers.h"
#include "tests/support/golden_orders.h"
#include "tests/support/hold_point.h"
#include "tests/support/session_support.h"

// The result codes are part of the interface: the tests below use the names,
// so the numbers are pinned here once.
static_assert(HUX_RESULT_OK == 0, "");
static_assert(HUX_RESULT_CONNECT_FAILED == 1, "");
static_assert(HUX_RESULT_SEND_FAILED == 4, "");
static_assert(HUX_RESULT_NOT_LOGGED_ON == 6, "");
static_assert(HUX_RESULT_NOT_CONNECTED == 7, "");
static_assert(HUX_RESULT_NULL_HANDLE == 8, "");
static_assert(HUX_RESULT_TOKEN_NOT_ABOVE == 9, "");
static_assert(HUX_RESULT_FLOW_CONTROL == 15, "");
static_assert(HUX_RESULT_FC_PARAM_REFUSED == 16, "");
static_assert(HUX_RESULT_BAD_EXCHANGE == 18, "");
static_assert(HUX_RESULT_UNKNOWN_ACCOUNT == 20, "");
static_assert(HUX_RESULT_UNKNOWN_SYMBOL == 21, "");
static_assert(HUX_RESULT_MIXED_PROTOCOL == 22, "");
static_assert(HUX_RESULT_NOT_ON_QV27 == 23, "");
static_assert(HUX_RESULT_BAD_PRICE == 24, "");
static_assert(HUX_RESULT_NULL_ARGUMENT == 25, "");

using namespace trade_test;
using hux_sim::sim_config;
using hux_sim::sim_message;

namespace {

using steady = std::chrono::steady_clock;

const char* const kUser = "trader01";
const char* const kPassword = "capi-pw-2024";
const uint32_t kMaxToken = 900;  // the logon answer's maximum token

// A token far above any other: a call refused before the token check that
// raised the mark to it anyway would make every later order fail with 9.
const uint32_t kHighToken = 0xFFFFFF00;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

sim_config base_config() {
    sim_config cfg;
    cfg.password = kPassword;
    cfg.user_id = 0x5D4C3B2A;
    cfg.max_token = static_cast<int32_t>(kMaxToken);
    cfg.accounts = {{"ACC001", 1}, {"ACC002", 2}};
    cfg.symbols = {{"IF2406", 3}, {"IO2406", 4}};
    return cfg;
}

sim_config qv27_config() {
    sim_config cfg = base_config();
    cfg.server_edition = 6;
    return cfg;
}

// Run inside the market-session report callback, on the receive thread.
std::mutex g_probe_lock;
std::function<void()> g_probe;

void on_session_report(void*, uint8_t, bool) {
    std::function<void()> probe;
    {
        std::lock_guard<std::mutex> lock(g_probe_lock);
        probe = g_probe;
    }
    if (probe) probe();
}

// One handle against a simulated server of its own; what a call sent (or
// did not send) is read from the server's record of the trade connection.
class api_session : public capi_session {
public:
    explicit api_session(const sim_config& cfg = base_config()) : capi_session(cfg) {
        EXPECT_EQ(MVHUX_SetMarketSessionStatReportEvent(h, on_session_report), 0);
    }

    uint32_t max_token() {
        unsigned int token = 0xDEADBEEF;
        EXPECT_EQ(MVHUX_GetMaxToken(h, &token), 0);
        return token;
    }

    size_t recorded() const { return srv.messages(0).size(); }

    // Types of the messages the session sent after the first `from` that the
    // server recorded, markers left out. A marker goes out last, straight
    // through the session's send routine, and is waited for: by then
    // everything sent before it has arrived, so an empty answer means that
    // nothing was sent.
    std::vector<uint16_t> sent_since(size_t from) {
        std::string marker = hux_sim::make_message(84, 16);
        marker[12] = 'M';  // bytes that the library's own query leaves zero
        marker[13] = 'K';
        marker[14] = static_cast<char>(++m_markers);
        std::vector<char> buf(marker.begin(), marker.end());
        EXPECT_EQ(client()->SendMsgToHux("marker", buf.data(), 16, 2), 16);
        std::vector<sim_message> all;
        const bool seen = hux_test::wait_until(
            [&] {
                all = srv.messages(0);
                return !all.empty() && all.back().bytes == marker;
            },
            kSessionWait);
        EXPECT_TRUE(seen) << "the marker did not arrive";
        std::vector<uint16_t> types;
        for (size_t i = from; seen && i < all.size(); ++i) {
            const std::string& m = all[i].bytes;
            const bool is_marker = all[i].type == 84 && m.size() == 16 && m[12] == 'M' && m[13] == 'K';
            if (!is_marker) types.push_back(all[i].type);
        }
        return types;
    }

    // Runs `fn` inside the market-session report callback, on the receive
    // thread, after the server reset the connection. While the receive thread
    // runs the callback it cannot see the reset, so the session still counts
    // as connected and it is the send itself that fails. The reset takes a
    // moment to reach the socket: queries (which flow control does not
    // count) are sent until one fails, and from then on every send on that
    // socket fails. Returns the result of `fn`.
    int result_after_reset(std::function<int()> fn) {
        struct outcome {
            std::mutex lock;
            std::condition_variable done;
            int broken = kNoResult;
            int result = kNoResult;
        };
        auto out = std::make_shared<outcome>();  // kept by the probe, should it run late
        {
            std::lock_guard<std::mutex> guard(g_probe_lock);
            g_probe = [out, fn, h = h, srv = &srv] {
                srv->reset(0);
                const steady::time_point end = steady::now() + kSessionWait;
                int rc;
                do {
                    rc = MVHUX_QueryMarketSession(h);
                } while (rc == 0 && steady::now() < end);
                const int fn_rc = fn();
                std::lock_guard<std::mutex> g(out->lock);
                out->broken = rc;
                out->result = fn_rc;
                out->done.notify_all();
            };
        }
        EXPECT_TRUE(srv.send_raw(0, hux_sim::make_message(1085, 16)));  // a market-session report
        std::unique_lock<std::mutex> g(out->lock);
        EXPECT_TRUE(out->done.wait_for(g, kSessionWait, [&] { return out->result != kNoResult; }));
        EXPECT_EQ(out->broken, HUX_RESULT_SEND_FAILED) << "the reset never reached the socket";
        const int result = out->result;
        g.unlock();
        std::lock_guard<std::mutex> guard(g_probe_lock);
        g_probe = nullptr;
        return result;
    }

private:
    static constexpr int kNoResult = -1000;
    uint8_t m_markers = 0;
};

// ---------------------------------------------------------------- the call table

// One call of an order-entry or query function and what it gives in a plain
// logged-on session. The other states decide earlier (see expected()).
struct api_call {
    std::string name;
    std::function<int()> fn;
    int normal;            // result in a plain logged-on session
    uint16_t sends;        // type sent when the result is 0; 0 for none
    uint32_t raises;       // the token the call raises the mark to once past the token check; 0 for none
    bool order_entry;      // refused in mixed-protocol mode
    bool refused_on_qv27;  // refused against a qv27 server
};

enum class session_state { not_connected, not_logged_on, logged_on };

struct state_desc {
    session_state state;
    bool mix;
    bool qv27;
};

int expected(const api_call& c, const state_desc& s) {
    if (s.state == session_state::not_connected) return HUX_RESULT_NOT_CONNECTED;
    if (s.state == session_state::not_logged_on) return HUX_RESULT_NOT_LOGGED_ON;
    if (s.mix && c.order_entry) return HUX_RESULT_MIXED_PROTOCOL;
    if (s.qv27 && c.refused_on_qv27) return HUX_RESULT_NOT_ON_QV27;
    return c.normal;
}

// Every order-entry and query function, each in the cases that stop at a
// different check. Fresh tokens come from `token`, rising in table order, so
// that each call that passes is above every call before it.
std::vector<api_call> all_calls(void* h, uint32_t& token) {
    std::vector<api_call> calls;
    auto add = [&](const std::string& name, std::function<int()> fn, int normal, uint16_t sends, uint32_t raises,
                   bool is_entry, bool qv27_refusal) {
        calls.push_back({name, std::move(fn), normal, sends, raises, is_entry, qv27_refusal});
    };
    const bool entry = true;
    const bool query = false;
    const bool qv27_ok = false;
    const bool qv27_refused = true;

    uint32_t t = ++token;
    add("EnterOrder", [=] { auto r = order_req(t); return MVHUX_EnterOrder(h, &r, false); }, 0, 10, t, entry, qv27_ok);
    add("EnterOrder, old token with the token check skipped",
        [=] { auto r = order_req(1); return MVHUX_EnterOrder(h, &r, true); }, 0, 10, 0, entry, qv27_ok);
    add("EnterOrder, null record", [=] { return MVHUX_EnterOrder(h, nullptr, false); }, HUX_RESULT_NULL_ARGUMENT, 0, 0,
        entry, qv27_ok);
    add("EnterOrder, NaN price, old token, exchange 99",
        [=] {
            auto r = order_req(5, 99);
            r.price = kNaN;
            return MVHUX_EnterOrder(h, &r, false);
        },
        HUX_RESULT_BAD_PRICE, 0, 0, entry, qv27_ok);
    add("EnterOrder, warm-up: quantity 0, token 0, exchange 99",
        [=] {
            auto r = order_req(0, 99);
            r.quantity = 0;
            return MVHUX_EnterOrder(h, &r, false);
        },
        0, 0, 0, entry, qv27_ok);
    add("EnterOrder, old token, exchange 99",
        [=] {
            auto r = order_req(5, 99);
            return MVHUX_EnterOrder(h, &r, false);
        },
        HUX_RESULT_TOKEN_NOT_ABOVE, 0, 0, entry, qv27_ok);
    t = ++token;
    add("EnterOrder, exchange 109", [=] { auto r = order_req(t, 109); return MVHUX_EnterOrder(h, &r, false); },
        HUX_RESULT_BAD_EXCHANGE, 0, t, entry, qv27_ok);

    t = ++token;
    add("EnterQuote", [=] { auto r = quote_req(t); return MVHUX_EnterQuote(h, &r, false); }, 0, 12, t, entry, qv27_ok);
    add("EnterQuote, old token with the token check skipped",
        [=] { auto r = quote_req(2); return MVHUX_EnterQuote(h, &r, true); }, 0, 12, 0, entry, qv27_ok);
    add("EnterQuote, null record", [=] { return MVHUX_EnterQuote(h, nullptr, false); }, HUX_RESULT_NULL_ARGUMENT, 0,
        0, entry, qv27_ok);
    add("EnterQuote, infinite second price, exchange 99",
        [=] {
            auto r = quote_req(kHighToken, 99);
            r.price_2 = kInf;
            return MVHUX_EnterQuote(h, &r, false);
        },
        HUX_RESULT_BAD_PRICE, 0, 0, entry, qv27_ok);
    add("EnterQuote, warm-up: both quantities 0, token 0, exchange 99",
        [=] {
            auto r = quote_req(0, 99);
            r.quantity_1 = 0;
            r.quantity_2 = 0;
            return MVHUX_EnterQuote(h, &r, false);
        },
        0, 0, 0, entry, qv27_ok);
    add("EnterQuote, one quantity 0 is no warm-up: old token",
        [=] {
            auto r = quote_req(0, 99);
            r.quantity_1 = 0;
            return MVHUX_EnterQuote(h, &r, false);
        },
        HUX_RESULT_TOKEN_NOT_ABOVE, 0, 0, entry, qv27_ok);

    t = ++token;
    add("EnterCombo", [=] { auto r = combo_req(t); return MVHUX_EnterCombo(h, &r); }, 0, 14, t, entry, qv27_refused);
    add("EnterCombo, null record", [=] { return MVHUX_EnterCombo(h, nullptr); }, HUX_RESULT_NULL_ARGUMENT, 0, 0, entry,
        qv27_refused);
    add("EnterCombo, old token, exchange 99", [=] { auto r = combo_req(3, 99); return MVHUX_EnterCombo(h, &r); },
        HUX_RESULT_TOKEN_NOT_ABOVE, 0, 0, entry, qv27_refused);
    t = ++token;
    add("EnterCombo, exchange 99", [=] { auto r = combo_req(t, 99); return MVHUX_EnterCombo(h, &r); },
        HUX_RESULT_BAD_EXCHANGE, 0, t, entry, qv27_refused);

    t = ++token;
    add("EnterSpecialOrder", [=] { auto r = special_req(t); return MVHUX_EnterSpecialOrder(h, &r); }, 0, 30, t, entry,
        qv27_refused);
    add("EnterSpecialOrder, null record", [=] { return MVHUX_EnterSpecialOrder(h, nullptr); },
        HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
    add("EnterSpecialOrder, old token, exchange 0",
        [=] { auto r = special_req(4, 0); return MVHUX_EnterSpecialOrder(h, &r); }, HUX_RESULT_TOKEN_NOT_ABOVE, 0, 0,
        entry, qv27_refused);
    t = ++token;
    add("EnterSpecialOrder, exchange 0", [=] { auto r = special_req(t, 0); return MVHUX_EnterSpecialOrder(h, &r); },
        HUX_RESULT_BAD_EXCHANGE, 0, t, entry, qv27_refused);

    // The two simple forms take the same checks.
    struct simple_form {
        const char* name;
        uint16_t type;
        std::function<int(uint32_t token, uint8_t exchange, double price, const char* account, const char* symbol)> call;
    };
    const simple_form forms[] = {
        {"EnterSimpleOrder", 20,
         [h](uint32_t tk, uint8_t ex, double price, const char* account, const char* symbol) {
             auto r = simple_order_req(tk, ex);
             r.price = price;
             return MVHUX_EnterSimpleOrder(h, &r, account, symbol);
         }},
        {"EnterSimpleQuote", 22,
         [h](uint32_t tk, uint8_t ex, double price, const char* account, const char* symbol) {
             auto r = simple_quote_req(tk, ex);
             r.price_2 = price;
             return MVHUX_EnterSimpleQuote(h, &r, account, symbol);
         }},
    };
    for (const simple_form& f : forms) {
        const std::string n = f.name;
        auto call = f.call;
        t = ++token;
        add(n, [=] { return call(t, 101, 2.5, "ACC002", "IO2406"); }, 0, f.type, t, entry, qv27_refused);
        if (f.type == 20)
            add(n + ", null record", [=] { return MVHUX_EnterSimpleOrder(h, nullptr, "ACC001", "IF2406"); },
                HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
        else
            add(n + ", null record", [=] { return MVHUX_EnterSimpleQuote(h, nullptr, "ACC001", "IF2406"); },
                HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
        add(n + ", null account name, NaN price", [=] { return call(kHighToken, 101, kNaN, nullptr, "IF2406"); },
            HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
        add(n + ", null symbol name, unknown account", [=] { return call(kHighToken, 101, 2.5, "NOPE", nullptr); },
            HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
        add(n + ", -inf price, old token, exchange 99, unknown names",
            [=] { return call(6, 99, -kInf, "NOPE", "NOPE"); }, HUX_RESULT_BAD_PRICE, 0, 0, entry, qv27_refused);
        add(n + ", old token, exchange 99, unknown names", [=] { return call(6, 99, 2.5, "NOPE", "NOPE"); },
            HUX_RESULT_TOKEN_NOT_ABOVE, 0, 0, entry, qv27_refused);
        t = ++token;
        add(n + ", exchange 109, unknown names", [=] { return call(t, 109, 2.5, "NOPE", "NOPE"); },
            HUX_RESULT_BAD_EXCHANGE, 0, t, entry, qv27_refused);
        t = ++token;
        add(n + ", unknown account and symbol", [=] { return call(t, 101, 2.5, "NOPE", "NOPE"); },
            HUX_RESULT_UNKNOWN_ACCOUNT, 0, t, entry, qv27_refused);
        t = ++token;
        add(n + ", unknown account, known symbol", [=] { return call(t, 101, 2.5, "NOPE", "IF2406"); },
            HUX_RESULT_UNKNOWN_ACCOUNT, 0, t, entry, qv27_refused);
        t = ++token;
        add(n + ", unknown symbol", [=] { return call(t, 101, 2.5, "ACC001", "NOPE"); }, HUX_RESULT_UNKNOWN_SYMBOL, 0,
            t, entry, qv27_refused);
    }

    // Cancels carry token 0 here: the mark they raise otherwise is tested on its own.
    add("CancelOrder", [=] { auto r = cancel_req(); return MVHUX_CancelOrder(h, &r); }, 0, 11, 0, entry, qv27_ok);
    add("CancelOrder, null record", [=] { return MVHUX_CancelOrder(h, nullptr); }, HUX_RESULT_NULL_ARGUMENT, 0, 0,
        entry, qv27_ok);
    add("CancelSpecialOrder", [=] { auto r = cancel_special_req(); return MVHUX_CancelSpecialOrder(h, &r); }, 0, 31, 0,
        entry, qv27_refused);
    add("CancelSpecialOrder, null record", [=] { return MVHUX_CancelSpecialOrder(h, nullptr); },
        HUX_RESULT_NULL_ARGUMENT, 0, 0, entry, qv27_refused);
    add("QuoteAction", [=] { auto r = quote_action_req(); return MVHUX_QuoteAction(h, &r); }, 0, 13, 0, entry,
        qv27_ok);
    add("QuoteAction, null record", [=] { return MVHUX_QuoteAction(h, nullptr); }, HUX_RESULT_NULL_ARGUMENT, 0, 0,
        entry, qv27_ok);

    add("QueryMarketSession", [=] { return MVHUX_QueryMarketSession(h); }, 0, 84, 0, query, qv27_ok);
    add("QuerySymbolStatus", [=] { return MVHUX_QuerySymbolStatus(h); }, 0, 87, 0, query, qv27_ok);
    add("QuerySessionID, market 0", [=] { return MVHUX_QuerySessionID(h, "SESSION01", 0); }, 0, 94, 0, query,
        qv27_ok);
    add("QuerySessionID, null text", [=] { return MVHUX_QuerySessionID(h, nullptr, 100); }, HUX_RESULT_NULL_ARGUMENT,
        0, 0, query, qv27_ok);
    add("QuerySessionID, market 99", [=] { return MVHUX_QuerySessionID(h, "SESSION01", 99); },
        HUX_RESULT_BAD_EXCHANGE, 0, 0, query, qv27_ok);
    add("QuerySessionID, market 99 and null text", [=] { return MVHUX_QuerySessionID(h, nullptr, 99); },
        HUX_RESULT_BAD_EXCHANGE, 0, 0, query, qv27_ok);
    add("QueryOtAccountBP", [=] { return MVHUX_QueryOtAccountBP(h, "ACC001"); }, 0, 81, 0, query, qv27_refused);
    add("QueryOtAccountBP, null text", [=] { return MVHUX_QueryOtAccountBP(h, nullptr); }, HUX_RESULT_NULL_ARGUMENT, 0,
        0, query, qv27_refused);
    add("QueryOtAccountBP, 16 characters", [=] { return MVHUX_QueryOtAccountBP(h, "ACC0010123456789"); },
        HUX_RESULT_TEXT_TOO_LONG, 0, 0, query, qv27_refused);
    add("GetMaxToken, null output", [=] { return MVHUX_GetMaxToken(h, nullptr); }, HUX_RESULT_NULL_ARGUMENT, 0, 0,
        query, qv27_ok);
    return calls;
}

// Runs the whole table in the session's state: each result, the messages
// that reached the server (only those of the calls that passed, in order)
// and, once logged on, the token mark.
void run_table(api_session& s, const state_desc& st, uint32_t first_token) {
    uint32_t token = first_token;
    std::vector<api_call> calls = all_calls(s.h, token);
    const bool connected = st.state != session_state::not_connected;
    const size_t from = connected ? s.recorded() : 0;
    std::vector<uint16_t> want_sent;
    uint32_t want_mark = kMaxToken;
    for (const api_call& c : calls) {
        const int want = expected(c, st);
        EXPECT_EQ(c.fn(), want) << c.name;
        if (want == 0 && c.sends != 0) want_sent.push_back(c.sends);
        if (want == c.normal && c.raises != 0) want_mark = std::max(want_mark, c.raises);
    }
    if (connected) {
        EXPECT_EQ(s.sent_since(from), want_sent);
    }
    unsigned int mark = 0;
    const int rc = MVHUX_GetMaxToken(s.h, &mark);
    if (st.state == session_state::logged_on) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(mark, want_mark);
    } else {
        EXPECT_EQ(rc, st.state == session_state::not_connected ? HUX_RESULT_NOT_CONNECTED : HUX_RESULT_NOT_LOGGED_ON);
    }
}

}  // namespace

// Every callback setter, for the checks that apply to all of them.
#define HUX_CALLBACK_SETTERS(X)                                                                                     \
    X(SetConnectionEvent) X(SetUserLogonEvent) X(SetHeartBeartTimeoutEvent) X(SetOrderAcceptEvent)                  \
    X(SetComboAcceptEvent) X(SetSpecialOrderAcceptEvent) X(SetQuoteAcceptEvent) X(SetOrderMarketAcceptEvent)        \
    X(SetComboMarketAcceptEvent) X(SetSpecialOrderMarketAcceptEvent) X(SetQuoteMarketAcceptEvent)                   \
    X(SetOrderMarketReportEvent) X(SetQuoteMarketReportEvent) X(SetOrderRejectEvent) X(SetComboRejectEvent)         \
    X(SetSpecialOrderRejectEvent) X(SetQuoteRejectEvent) X(SetOrderMarketRejectEvent) X(SetComboMarketRejectEvent)  \
    X(SetSpecialOrderMarketRejectEvent) X(SetQuoteMarketRejectEvent) X(SetOrderActionMarketAcceptEvent)             \
    X(SetSpecialOrderActionMarketAcceptEvent) X(SetQuoteActionMarketAcceptEvent)                                    \
    X(SetOrderActionMarketRejectEvent) X(SetSpecialOrderActionMarketRejectEvent)                                    \
    X(SetQuoteActionMarketRejectEvent) X(SetOrderExecutionEvent) X(SetOrderActionAcceptEvent)                       \
    X(SetSpecialOrderActionAcceptEvent) X(SetQuoteActionAcceptEvent) X(SetOrderActionRejectEvent)                   \
    X(SetSpecialOrderActionRejectEvent) X(SetQuoteActionRejectEvent) X(SetInputRegForQuoteEvent)                    \
    X(SetPostOrderEvent) X(SetPostSpecialOrderEvent) X(SetPostQuoteEvent) X(SetPostOrderExecutionEvent)             \
    X(SetInternalOrderEvent) X(SetInternalOrderAdjustStatusEvent) X(SetInternalOrderExecutionEvent)                 \
    X(SetInternalOrderAdjustMktRejEvent) X(SetInternalQuoteAdjustStatusEvent)                                       \
    X(SetInternalQuoteAdjustMktRejEvent) X(SetQueryMarketSessionEvent) X(SetMarketSessionStatReportEvent)           \
    X(SetQuerySymbolStatusEvent) X(SetSymbolStatusReportEvent) X(SetProdStatusReportEvent)                          \
    X(SetQuerySessionIDEvent) X(SetQueryOtAccountBPEvent)

// A null handle gives 8 from each of the 77 functions that take one and
// give a code, whatever else is wrong with the call; the other five give
// their own harmless result.
TEST(CApiChecks, NullHandle) {
#define HUX_SETTER_NAME(name) #name,
    const char* const setter_names[] = {HUX_CALLBACK_SETTERS(HUX_SETTER_NAME)};
    static_assert(sizeof(setter_names) / sizeof(setter_names[0]) == 52, "every callback setter is listed");
#define HUX_EXPECT_SETTER_NULL_HANDLE(name) EXPECT_EQ(MVHUX_##name(nullptr, nullptr), HUX_RESULT_NULL_HANDLE) << #name;
    HUX_CALLBACK_SETTERS(HUX_EXPECT_SETTER_NULL_HANDLE)

    // Session functions, also with their other arguments wrong.
    EXPECT_EQ(MVHUX_DestroyTrade(nullptr), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_SetAutoReconnect(nullptr, true), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_SetMaxWaitTime(nullptr, 10), HUX_RESULT_NULL_HANDLE);
    long long stamps[2] = {11, 12};
    int count = 2;
    EXPECT_EQ(MVHUX_GetTimestamps(nullptr, stamps, &count), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(MVHUX_GetTimestamps(nullptr, nullptr, nullptr), HUX_RESULT_NULL_HANDLE);
    count = -1;
    EXPECT_EQ(MVHUX_GetTimestamps(nullptr, stamps, &count), HUX_RESULT_NULL_HANDLE);
    HUX_TradeSvrInfo info = loopback_info(1);
    EXPECT_EQ(MVHUX_ConnServer(nullptr, &info, false), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_ConnServer(nullptr, nullptr, true), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_DisConnServer(nullptr), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_UserLogon(nullptr, kUser, kPassword, "app-x", "AUTH"), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_UserLogon(nullptr, nullptr, nullptr, nullptr, nullptr), HUX_RESULT_NULL_HANDLE);
    unsigned int token = 77;
    EXPECT_EQ(MVHUX_GetMaxToken(nullptr, &token), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(token, 77u);
    EXPECT_EQ(MVHUX_GetMaxToken(nullptr, nullptr), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_SetLoggerSwitch(nullptr, true), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_LoggerFlush(nullptr), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_SetAsyncReceiveMode(nullptr), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_ChangeFCParam(nullptr, 1, 1), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(MVHUX_ChangeFCParam(nullptr, 0, 0), HUX_RESULT_NULL_HANDLE);

    // Order entry and queries, with good and with null or bad arguments. The
    // table's calls all use the handle it was built for: here, null.
    uint32_t next = 1000;
    for (const api_call& c : all_calls(nullptr, next)) EXPECT_EQ(c.fn(), HUX_RESULT_NULL_HANDLE) << c.name;
    // A simple-form record is not rewritten.
    HUX_EnterOrderSimpleField simple = simple_order_req(1000);
    const std::string before = hex_of(simple);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(nullptr, &simple, "ACC001", "IF2406"), HUX_RESULT_NULL_HANDLE);
    EXPECT_EQ(hex_of(simple), before);

    // The five without the code.
    EXPECT_EQ(MVHUX_GetUserParam(nullptr), nullptr);
    const char* const dir = "capi_null_handle_logs";
    MVHUX_SetLogDir(nullptr, dir);
    MVHUX_SetLogDir(nullptr, nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir));
    MVHUX_SetUserId(nullptr, 5);
    HUX_EnterOrderField order = order_req(1000);
    EXPECT_EQ(MVHUX_CalcVerificationValue(nullptr, &order), 0u);
    EXPECT_EQ(MVHUX_CalcVerificationValue(nullptr, nullptr), 0u);
    void* handle = MVHUX_CreateTrade(nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(MVHUX_DestroyTrade(handle), 0);
}

// The whole table in every state a session can be in. Not connected, not
// logged on, mixed protocol and qv27 each decide before every later check
// (null arguments, prices, token, exchange, names); in a plain logged-on
// session each call stops at its own check, and only the calls that pass put
// a message on the wire.
TEST(CApiChecks, CheckOrderInEverySessionState) {
    enum class setup { none, connect, connect_mixed, start, start_mixed, disconnect, server_close };
    const struct {
        const char* name;
        setup how;
        bool qv27_server;
        state_desc state;
    } states[] = {
        {"never connected", setup::none, false, {session_state::not_connected, false, false}},
        {"connected, not logged on", setup::connect, false, {session_state::not_logged_on, false, false}},
        {"connected in mixed-protocol mode, not logged on: 6 comes before 22", setup::connect_mixed, false,
         {session_state::not_logged_on, true, false}},
        {"logged on in mixed-protocol mode", setup::start_mixed, false, {session_state::logged_on, true, false}},
        {"logged on to a qv27 server", setup::start, true, {session_state::logged_on, false, true}},
        {"logged on to a qv27 server in mixed-protocol mode: 22 comes before 23", setup::start_mixed, true,
         {session_state::logged_on, true, true}},
        {"logged on", setup::start, false, {session_state::logged_on, false, false}},
        {"disconnected by the application", setup::disconnect, false, {session_state::not_connected, false, false}},
        {"closed by the server", setup::server_close, false, {session_state::not_connected, false, false}},
    };
    for (const auto& st : states) {
        SCOPED_TRACE(st.name);
        api_session s(st.qv27_server ? qv27_config() : base_config());
        const bool mixed = st.how == setup::connect_mixed || st.how == setup::start_mixed;
        if (st.how == setup::connect || st.how == setup::connect_mixed) {
            ASSERT_NO_FATAL_FAILURE(s.connect(mixed));
        } else if (st.how != setup::none) {
            ASSERT_NO_FATAL_FAILURE(s.start(mixed));
        }
        if (st.how == setup::disconnect) {
            EXPECT_EQ(MVHUX_DisConnServer(s.h), 0);
        } else if (st.how == setup::server_close) {
            s.srv.close(0);
            ASSERT_TRUE(s.events.wait_code(2));  // "remote disconnected"
        }
        run_table(s, st.state, 1000);
    }
}

// A bad price (not a number, infinite, or with an image beyond int64) and a
// null argument are refused before anything changes: the token mark stays,
// a simple-form record keeps every byte, nothing is sent. The check covers
// every price a request carries, warm-ups included, and decides before the
// token, exchange and name checks. The largest prices whose image fits pass.
TEST(CApiChecks, BadPricesAndNullArgumentsChangeNothing) {
    api_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const size_t from = s.recorded();
    const uint32_t t = 1000;  // every refused call carries it: it must not be used up
    const double bad[] = {kNaN, kInf, -kInf, 1e300, -1e300, 922337203685477.625, -922337203685477.625};
    for (double p : bad) {
        SCOPED_TRACE(p);
        HUX_EnterOrderField o = order_req(t);
        o.price = p;
        EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_BAD_PRICE);
        o.quantity = 0;  // warm-up
        EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_BAD_PRICE);
        o = order_req(t, 99);
        o.second_price = p;
        EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, true), HUX_RESULT_BAD_PRICE);

        HUX_EnterQuoteField q = quote_req(t);
        q.price_1 = p;
        EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), HUX_RESULT_BAD_PRICE);
        q = quote_req(5, 109);
        q.price_2 = p;
        EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), HUX_RESULT_BAD_PRICE);
        q.quantity_1 = 0;  // warm-up
        q.quantity_2 = 0;
        EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), HUX_RESULT_BAD_PRICE);

        for (int field = 0; field < 2; ++field) {
            SCOPED_TRACE(field == 0 ? "first price field" : "second price field");
            HUX_EnterOrderSimpleField so = simple_order_req(t);
            if (field == 0)
                so.price = p;
            else
                so.second_price = p;
            const std::string order_image = hex_of(so);
            EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", "IF2406"), HUX_RESULT_BAD_PRICE);
            EXPECT_EQ(hex_of(so), order_image);
            so.client_token = 5;  // old token, unknown names: the price decides first
            const std::string old_token_image = hex_of(so);
            EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "NOPE", "NOPE"), HUX_RESULT_BAD_PRICE);
            EXPECT_EQ(hex_of(so), old_token_image);

            HUX_EnterQuoteSimpleField sq = simple_quote_req(t);
            if (field == 0)
                sq.price_1 = p;
            else
                sq.price_2 = p;
            const std::string quote_image = hex_of(sq);
            EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "IF2406"), HUX_RESULT_BAD_PRICE);
            EXPECT_EQ(hex_of(sq), quote_image);
            sq.exchange_id = 99;
            const std::string bad_exchange_image = hex_of(sq);
            EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "NOPE"), HUX_RESULT_BAD_PRICE);
            EXPECT_EQ(hex_of(sq), bad_exchange_image);
        }
    }

    // A null name leaves the record as it was, and decides before a bad price.
    HUX_EnterOrderSimpleField so = simple_order_req(t);
    const std::string order_image = hex_of(so);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, nullptr, "IF2406"), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", nullptr), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(hex_of(so), order_image);
    HUX_EnterQuoteSimpleField sq = simple_quote_req(t);
    sq.price_1 = kNaN;
    const std::string quote_image = hex_of(sq);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, nullptr, nullptr), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", nullptr), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(hex_of(sq), quote_image);

    EXPECT_EQ(s.sent_since(from), std::vector<uint16_t>{});
    EXPECT_EQ(s.max_token(), kMaxToken);

    // The token was not used up; the largest prices whose image fits pass.
    const double top = 922337203685477.5;  // x 10000 = 2^63 - 1024 as a double
    HUX_EnterOrderField o = order_req(t);
    o.price = top;
    o.second_price = -top;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    HUX_EnterQuoteField q = quote_req(t + 1);
    q.price_1 = -top;
    q.price_2 = top;
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), 0);
    so = simple_order_req(t + 2);
    so.price = top;
    so.second_price = -top;
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", "IF2406"), 0);
    sq = simple_quote_req(t + 3);
    sq.price_1 = -top;
    sq.price_2 = top;
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "IF2406"), 0);
    EXPECT_EQ(s.sent_since(from), (std::vector<uint16_t>{10, 12, 20, 22}));
    EXPECT_EQ(s.max_token(), t + 3);
}

// The token mark: a new request must carry a token above every token taken
// so far, compared unsigned. The token check takes the token before the
// exchange and name checks, so a request they refuse still uses it up. The
// skip flag and warm-ups leave the mark alone. Cancels are sent whatever
// their token and raise the mark with any token other than 0, except that
// against a qv27 server order cancels and quote actions leave it alone.
TEST(CApiChecks, TokenMark) {
    api_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const size_t from = s.recorded();
    EXPECT_EQ(s.max_token(), kMaxToken);

    HUX_EnterOrderField o = order_req(kMaxToken);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);  // equal is not above
    o.client_token = 901;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);  // the same token twice
    o.client_token = 10;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, true), 0);  // the check skipped: the mark stays
    o = order_req(0, 99);
    o.quantity = 0;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);  // warm-up: neither token nor exchange checked
    EXPECT_EQ(s.max_token(), 901u);

    // Refused by the exchange or a name: the token is gone all the same.
    o = order_req(1000, 99);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_BAD_EXCHANGE);
    EXPECT_EQ(s.max_token(), 1000u);
    o.exchange_id = 101;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);
    HUX_EnterQuoteField q = quote_req(1100, 109);
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), HUX_RESULT_BAD_EXCHANGE);
    q.exchange_id = 101;
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), HUX_RESULT_TOKEN_NOT_ABOVE);
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, true), 0);
    q.quantity_1 = 0;
    q.quantity_2 = 0;
    q.client_token = 0;
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), 0);  // warm-up
    HUX_EnterComboField c = combo_req(1200, 99);
    EXPECT_EQ(MVHUX_EnterCombo(s.h, &c), HUX_RESULT_BAD_EXCHANGE);
    HUX_EnterSpecialOrderField sp = special_req(1200);
    EXPECT_EQ(MVHUX_EnterSpecialOrder(s.h, &sp), HUX_RESULT_TOKEN_NOT_ABOVE);
    sp.client_token = 1201;
    EXPECT_EQ(MVHUX_EnterSpecialOrder(s.h, &sp), 0);
    // A simple form refused by any of these keeps its record as it was.
    HUX_EnterOrderSimpleField so = simple_order_req(1300, 109);
    std::string so_image = hex_of(so);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", "IF2406"), HUX_RESULT_BAD_EXCHANGE);
    EXPECT_EQ(hex_of(so), so_image);
    so.exchange_id = 101;
    so.client_token = 1301;
    so_image = hex_of(so);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "NOPE", "IF2406"), HUX_RESULT_UNKNOWN_ACCOUNT);
    EXPECT_EQ(hex_of(so), so_image);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", "IF2406"), HUX_RESULT_TOKEN_NOT_ABOVE);
    EXPECT_EQ(hex_of(so), so_image);
    HUX_EnterQuoteSimpleField sq = simple_quote_req(1400);
    const std::string sq_image = hex_of(sq);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "NOPE"), HUX_RESULT_UNKNOWN_SYMBOL);
    EXPECT_EQ(s.max_token(), 1400u);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "IF2406"), HUX_RESULT_TOKEN_NOT_ABOVE);
    EXPECT_EQ(hex_of(sq), sq_image);

    // Unsigned: a token with the top bit set is above 1400.
    o = order_req(0x80000000u);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    o.client_token = 1401;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);

    // Cancels: sent whatever their token; a token other than 0 raises the mark.
    HUX_CancelOrder cxl = cancel_req(0x80000100u);
    EXPECT_EQ(MVHUX_CancelOrder(s.h, &cxl), 0);
    EXPECT_EQ(s.max_token(), 0x80000100u);
    cxl.client_token = 7;
    EXPECT_EQ(MVHUX_CancelOrder(s.h, &cxl), 0);
    HUX_CancelSpecialOrder scxl = cancel_special_req(0x80000200u);
    EXPECT_EQ(MVHUX_CancelSpecialOrder(s.h, &scxl), 0);
    EXPECT_EQ(s.max_token(), 0x80000200u);
    HUX_QuoteAction qa = quote_action_req(0x80000300u);
    EXPECT_EQ(MVHUX_QuoteAction(s.h, &qa), 0);
    qa.client_token = 0;
    EXPECT_EQ(MVHUX_QuoteAction(s.h, &qa), 0);
    EXPECT_EQ(s.max_token(), 0x80000300u);
    o.client_token = 0x80000300u;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);
    o.client_token = 0x80000301u;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);

    EXPECT_EQ(s.sent_since(from), (std::vector<uint16_t>{10, 10, 12, 30, 10, 11, 11, 31, 13, 13, 10}));

    // Against a qv27 server order cancels and quote actions leave the mark alone.
    api_session v(qv27_config());
    ASSERT_NO_FATAL_FAILURE(v.start());
    HUX_CancelOrder vcxl = cancel_req(5000);
    EXPECT_EQ(MVHUX_CancelOrder(v.h, &vcxl), 0);
    HUX_QuoteAction vqa = quote_action_req(5000);
    EXPECT_EQ(MVHUX_QuoteAction(v.h, &vqa), 0);
    EXPECT_EQ(v.max_token(), kMaxToken);
    HUX_EnterOrderField vo = order_req(5000);
    EXPECT_EQ(MVHUX_EnterOrder(v.h, &vo, false), 0);
    HUX_EnterQuoteField vq = quote_req(5000);
    EXPECT_EQ(MVHUX_EnterQuote(v.h, &vq, false), HUX_RESULT_TOKEN_NOT_ABOVE);
    EXPECT_EQ(v.max_token(), 5000u);
}

// Client flow control counts new orders and cancels only, each against the
// limits of the logon answer (here 2 per minute: one passes). A refused
// order has used its token up. ChangeFCParam accepts limits of 1 up to the
// server's for both kinds, and nothing else.
TEST(CApiChecks, FlowControlAndItsLimits) {
    {
        SCOPED_TRACE("before a logon: the default limits of 295");
        api_session s;
        EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 296, 1), HUX_RESULT_FC_PARAM_REFUSED);
        EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 1, 296), HUX_RESULT_FC_PARAM_REFUSED);
        EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 0, 1), HUX_RESULT_FC_PARAM_REFUSED);
        EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 1, 0), HUX_RESULT_FC_PARAM_REFUSED);
        EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 295, 295), 0);
    }
    sim_config cfg = base_config();
    cfg.order_fc_count = 2;
    cfg.order_fc_window_us = 60000000;
    cfg.cancel_fc_count = 2;
    cfg.cancel_fc_window_us = 60000000;
    api_session s(cfg);
    ASSERT_NO_FATAL_FAILURE(s.start());
    const size_t from = s.recorded();

    HUX_EnterOrderField o = order_req(1000);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);
    o.client_token = 1001;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_FLOW_CONTROL);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_TOKEN_NOT_ABOVE);
    o.client_token = 3;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, true), HUX_RESULT_FLOW_CONTROL);
    o.quantity = 0;
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 0);  // a warm-up is not counted

    // Not counted: quotes, simple forms, combinations, special orders.
    HUX_EnterQuoteField q = quote_req(1002);
    EXPECT_EQ(MVHUX_EnterQuote(s.h, &q, false), 0);
    HUX_EnterOrderSimpleField so = simple_order_req(1003);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &so, "ACC001", "IF2406"), 0);
    HUX_EnterQuoteSimpleField sq = simple_quote_req(1004);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &sq, "ACC001", "IF2406"), 0);
    HUX_EnterComboField c = combo_req(1005);
    EXPECT_EQ(MVHUX_EnterCombo(s.h, &c), 0);
    HUX_EnterSpecialOrderField sp = special_req(1006);
    EXPECT_EQ(MVHUX_EnterSpecialOrder(s.h, &sp), 0);

    // Cancels have their own count; quote actions and special-order cancels are not counted.
    HUX_CancelOrder cxl = cancel_req();
    EXPECT_EQ(MVHUX_CancelOrder(s.h, &cxl), 0);
    EXPECT_EQ(MVHUX_CancelOrder(s.h, &cxl), HUX_RESULT_FLOW_CONTROL);
    HUX_QuoteAction qa = quote_action_req();
    EXPECT_EQ(MVHUX_QuoteAction(s.h, &qa), 0);
    HUX_CancelSpecialOrder scxl = cancel_special_req();
    EXPECT_EQ(MVHUX_CancelSpecialOrder(s.h, &scxl), 0);

    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 3, 2), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 2, 3), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 0, 2), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 2, 0), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, std::numeric_limits<unsigned int>::max(), 1), HUX_RESULT_FC_PARAM_REFUSED);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 2, 2), 0);
    EXPECT_EQ(MVHUX_ChangeFCParam(s.h, 1, 1), 0);
    o = order_req(1007);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_FLOW_CONTROL);
    EXPECT_EQ(MVHUX_CancelOrder(s.h, &cxl), HUX_RESULT_FLOW_CONTROL);

    EXPECT_EQ(s.sent_since(from), (std::vector<uint16_t>{10, 12, 20, 22, 14, 30, 11, 13, 31}));
    EXPECT_EQ(s.max_token(), 1007u);
}

// A send that fails on the socket gives 4, for every function that sends,
// and for the logon's version report. (Against a live server only flow
// control refuses a send, and that gives 15: see above.)
TEST(CApiChecks, FailedSendGivesFour) {
    // The first call of the table that sends each type, then the logon.
    std::vector<std::string> names;
    std::vector<uint16_t> types;
    uint32_t unused = 1000;
    for (const api_call& c : all_calls(nullptr, unused)) {
        if (c.sends == 0 || std::find(types.begin(), types.end(), c.sends) != types.end()) continue;
        types.push_back(c.sends);
        names.push_back(c.name);
    }
    ASSERT_EQ(types.size(), 13u);
    names.push_back("UserLogon");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        api_session s;
        ASSERT_NO_FATAL_FAILURE(s.start());
        uint32_t token = 1000;
        std::function<int()> fn = [&s] { return s.logon_call(); };
        for (const api_call& c : all_calls(s.h, token))
            if (c.name == name) fn = c.fn;
        EXPECT_EQ(s.result_after_reset(fn), HUX_RESULT_SEND_FAILED);
    }
}

// QuerySessionID takes market 0 and 100..108 and refuses the rest with 18;
// the market goes out at 29.
TEST(CApiChecks, QuerySessionIdMarkets) {
    api_session s;
    ASSERT_NO_FATAL_FAILURE(s.start());
    const size_t from = s.recorded();
    const uint8_t taken[] = {0, 100, 104, 108};
    const uint8_t refused[] = {1, 99, 109, 255};
    for (uint8_t m : taken) EXPECT_EQ(MVHUX_QuerySessionID(s.h, "S1", m), 0) << int(m);
    for (uint8_t m : refused) EXPECT_EQ(MVHUX_QuerySessionID(s.h, "S1", m), HUX_RESULT_BAD_EXCHANGE) << int(m);
    EXPECT_EQ(s.sent_since(from), (std::vector<uint16_t>{94, 94, 94, 94}));
    std::vector<sim_message> sent = s.srv.messages(0, 94);
    ASSERT_EQ(sent.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(static_cast<uint8_t>(sent[i].bytes.at(29)), taken[i]);
}

// UserLogon: 8, 7, 25 for any null text, then the version report; no
// logged-on check (the logon is what makes it). GetMaxToken: 8, 7, 6, 25.
TEST(CApiChecks, LogonAndMaxTokenChecks) {
    api_session s;
    unsigned int token = 77;
    EXPECT_EQ(s.logon_call(), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(MVHUX_UserLogon(s.h, nullptr, nullptr, nullptr, nullptr), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, &token), HUX_RESULT_NOT_CONNECTED);
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, nullptr), HUX_RESULT_NOT_CONNECTED);

    ASSERT_NO_FATAL_FAILURE(s.connect());
    const size_t from = s.recorded();
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, &token), HUX_RESULT_NOT_LOGGED_ON);
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, nullptr), HUX_RESULT_NOT_LOGGED_ON);
    EXPECT_EQ(token, 77u);
    EXPECT_EQ(MVHUX_UserLogon(s.h, nullptr, kPassword, "app-x", "AUTH"), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_UserLogon(s.h, kUser, nullptr, "app-x", "AUTH"), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_UserLogon(s.h, kUser, kPassword, nullptr, "AUTH"), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_UserLogon(s.h, kUser, kPassword, "app-x", nullptr), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(s.sent_since(from), std::vector<uint16_t>{});
    EXPECT_TRUE(s.events.logons().empty());

    ASSERT_NO_FATAL_FAILURE(s.logon());
    EXPECT_EQ(s.srv.count(0, 80), 1u);  // one version report: the refused calls sent none
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, nullptr), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_GetMaxToken(s.h, &token), 0);
    EXPECT_EQ(token, kMaxToken);
}

// Caller texts are read only as far as their fields, one byte past the
// longest text a field holds. Each refused text below sits in a heap buffer
// of exactly that many bytes without a terminator, so a longer read is an
// address-sanitizer error. Too long logon texts give 256 before anything is
// sent or kept (a 10,000-character user id used to log on as its first 32
// characters); full-width texts still log on, and a full-width account or
// symbol is still found.
TEST(CApiChecks, CallerTextsAreReadOnlyAsFarAsTheirFields) {
    const std::string user32(32, 'u');
    const std::string app30(30, 'a');
    const std::string auth18(18, 'c');
    const std::string account16 = "ACCOUNT-16-CHARS";
    const std::string symbol20 = "SYMBOL-OF-20-CHARS-X";
    api_session s;
    ASSERT_NO_FATAL_FAILURE(s.connect());
    auto unterminated = [](size_t n, char c) {
        std::unique_ptr<char[]> b(new char[n]);
        std::memset(b.get(), c, n);
        return b;
    };
    const auto long_user = unterminated(33, 'u');
    const auto long_app = unterminated(31, 'a');
    const auto long_auth = unterminated(19, 'c');
    EXPECT_EQ(MVHUX_UserLogon(s.h, long_user.get(), kPassword, "app-x", "AUTH"), HUX_RESULT_TEXT_TOO_LONG);
    EXPECT_EQ(MVHUX_UserLogon(s.h, kUser, kPassword, long_app.get(), "AUTH"), HUX_RESULT_TEXT_TOO_LONG);
    EXPECT_EQ(MVHUX_UserLogon(s.h, kUser, kPassword, "app-x", long_auth.get()), HUX_RESULT_TEXT_TOO_LONG);
    const std::string huge(10000, 'u');
    EXPECT_EQ(MVHUX_UserLogon(s.h, huge.c_str(), kPassword, "app-x", "AUTH"), HUX_RESULT_TEXT_TOO_LONG);
    EXPECT_EQ(MVHUX_UserLogon(s.h, nullptr, kPassword, "app-x", huge.c_str()), HUX_RESULT_NULL_ARGUMENT);
    // Nothing went out: no version report, no terminal report connection.
    EXPECT_TRUE(s.srv.messages(0).empty());
    EXPECT_EQ(s.srv.connection_count(), 1u);
    EXPECT_TRUE(s.events.logons().empty());

    s.user = user32;
    s.app_id = app30;
    s.auth_code = auth18;
    ASSERT_NO_FATAL_FAILURE(s.logon());
    const std::vector<sim_message> logons = s.srv.messages(0, 70);
    ASSERT_EQ(logons.size(), 1u);
    const std::string& m = logons[0].bytes;
    EXPECT_EQ(m.substr(12, 33), user32 + std::string(1, '\0'));  // user id, 32 characters and the NUL
    EXPECT_EQ(m.substr(80, 18), auth18);                          // authorisation code, the whole field
    EXPECT_EQ(m.substr(98, 30), app30);                           // application id, the whole field
    ASSERT_TRUE(s.srv.wait_for_reports(1, kSessionWait));
    EXPECT_EQ(s.srv.reports().at(0).login_id, user32);

    // Index entries that fill their fields, with no NUL: account 7, symbol 9.
    std::string symbol_entry = hux_sim::make_message(1062, 40);
    symbol_entry.replace(10, 20, symbol20);  // symbol text at 10
    symbol_entry[30] = 9;                    // symbol index at 30
    ASSERT_TRUE(send_and_reach(s.srv, 0, *s.client(), account_entry(account16, 7) + symbol_entry, 4711));

    const auto long_account = unterminated(17, 'A');
    const auto long_symbol = unterminated(21, 'S');
    uint32_t token = kMaxToken;
    HUX_EnterOrderSimpleField r = simple_order_req(++token);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &r, long_account.get(), "IF2406"), HUX_RESULT_UNKNOWN_ACCOUNT);
    r = simple_order_req(++token);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &r, "ACC001", long_symbol.get()), HUX_RESULT_UNKNOWN_SYMBOL);
    HUX_EnterQuoteSimpleField q = simple_quote_req(++token);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &q, long_account.get(), "IF2406"), HUX_RESULT_UNKNOWN_ACCOUNT);
    q = simple_quote_req(++token);
    EXPECT_EQ(MVHUX_EnterSimpleQuote(s.h, &q, "ACC001", long_symbol.get()), HUX_RESULT_UNKNOWN_SYMBOL);
    r = simple_order_req(++token);
    EXPECT_EQ(MVHUX_EnterSimpleOrder(s.h, &r, account16.c_str(), symbol20.c_str()), HUX_RESULT_OK);
    ASSERT_TRUE(s.srv.wait_for_message(0, 20, 1, kSessionWait));
}

// ConnServer: 25 for a null record and 1 for a negative heart-beat interval
// (a live session stays as it is in both cases), 1 when the connect fails, 0
// when it succeeds.
TEST(CApiChecks, ConnServerResults) {
    scratch_dir logs;
    api_session s;
    MVHUX_SetLogDir(s.h, logs.path().c_str());
    EXPECT_EQ(MVHUX_ConnServer(s.h, nullptr, false), HUX_RESULT_NULL_ARGUMENT);
    HUX_TradeSvrInfo info = loopback_info(s.srv.port());
    std::strcpy(info.server_ip, "127.0.0.300");
    EXPECT_EQ(MVHUX_ConnServer(s.h, &info, false), HUX_RESULT_CONNECT_FAILED);
    info = loopback_info(s.srv.port());
    std::strcpy(info.local_ip, "127.0.0.1");
    info.local_udp_port = 1;
    info.udp_port = s.srv.port();  // the order channel may not use the TCP port
    EXPECT_EQ(MVHUX_ConnServer(s.h, &info, false), HUX_RESULT_CONNECT_FAILED);
    s.srv.transport().stop_listening();
    info = loopback_info(s.srv.port());
    EXPECT_EQ(MVHUX_ConnServer(s.h, &info, false), HUX_RESULT_CONNECT_FAILED);
    ASSERT_TRUE(s.srv.transport().resume_listening());

    ASSERT_NO_FATAL_FAILURE(s.start());
    const size_t from = s.recorded();
    EXPECT_EQ(MVHUX_ConnServer(s.h, nullptr, true), HUX_RESULT_NULL_ARGUMENT);
    // A negative interval would send a heart-beat on every 10 ms tick.
    info = loopback_info(s.srv.port(), -1);
    EXPECT_EQ(MVHUX_ConnServer(s.h, &info, false), HUX_RESULT_CONNECT_FAILED);
    EXPECT_EQ(MVHUX_QueryMarketSession(s.h), 0);
    EXPECT_EQ(s.sent_since(from), std::vector<uint16_t>{84});
    EXPECT_EQ(s.events.count_code(3), 0u);  // never disconnected
    EXPECT_EQ(count_lines(text_log_path(logs.path()), "info invalid heartbeat interval -1, cannot be negative."), 1u);
    // The trade connection and the report connection of the logon: the
    // refused ConnServers opened nothing.
    EXPECT_EQ(s.srv.connection_count(), 2u);
    EXPECT_EQ(s.srv.trade_connection(0), 0u);
    EXPECT_EQ(s.srv.trade_connection(1), hux_sim::sim_trade_server::no_connection);
}

// The session functions with a handle: setters and switches give 0, the
// user parameter comes back, GetTimestamps checks its count, the
// verification value uses the session's user id (which SetUserId replaces).
TEST(CApiChecks, SessionFunctionsWithAHandle) {
    int param = 0;
    void* h = MVHUX_CreateTrade(&param);
    void* other = MVHUX_CreateTrade(nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(h, other);
    EXPECT_EQ(MVHUX_GetUserParam(h), &param);
    EXPECT_EQ(MVHUX_GetUserParam(other), nullptr);

#define HUX_EXPECT_SETTER_OK(name) EXPECT_EQ(MVHUX_##name(h, nullptr), 0) << #name;
    HUX_CALLBACK_SETTERS(HUX_EXPECT_SETTER_OK)
    EXPECT_EQ(MVHUX_SetAutoReconnect(h, false), 0);
    EXPECT_EQ(MVHUX_SetMaxWaitTime(h, 20), 0);
    EXPECT_EQ(MVHUX_SetLoggerSwitch(h, false), 0);
    EXPECT_EQ(MVHUX_LoggerFlush(h), 0);
    EXPECT_EQ(MVHUX_SetAsyncReceiveMode(other), 0);
    MVHUX_SetLogDir(h, nullptr);  // no effect, no crash

    long long stamps[3] = {7, 7, 7};
    int count = 3;
    EXPECT_EQ(MVHUX_GetTimestamps(h, stamps, &count), 0);
    EXPECT_EQ(count, 0);  // none over the kernel transports
    count = 0;
    EXPECT_EQ(MVHUX_GetTimestamps(h, nullptr, &count), 0);
    EXPECT_EQ(count, 0);
    count = 3;
    EXPECT_EQ(MVHUX_GetTimestamps(h, nullptr, &count), HUX_RESULT_NULL_ARGUMENT);
    EXPECT_EQ(MVHUX_GetTimestamps(h, stamps, nullptr), HUX_RESULT_NULL_ARGUMENT);
    count = -1;
    EXPECT_EQ(MVHUX_GetTimestamps(h, stamps, &count), HUX_RESULT_NULL_ARGUMENT);

    // The verification value over the session's user id, against values
    // worked out by hand (the core's golden orders A and B).
    HUX_EnterOrderField a = hux_test::golden_order_a();
    HUX_EnterOrderField b = hux_test::golden_order_b();
    EXPECT_EQ(MVHUX_CalcVerificationValue(h, nullptr), 0u);
    MVHUX_SetUserId(h, hux_test::kGoldenUserA);
    EXPECT_EQ(MVHUX_CalcVerificationValue(h, &a), hux_test::kGoldenValueA);
    MVHUX_SetUserId(h, hux_test::kGoldenUserB);
    EXPECT_EQ(MVHUX_CalcVerificationValue(h, &b), hux_test::kGoldenValueB);
    // The user id's low byte enters the value.
    EXPECT_NE(MVHUX_CalcVerificationValue(h, &a), hux_test::kGoldenValueA);

    EXPECT_EQ(MVHUX_DestroyTrade(other), 0);
    EXPECT_EQ(MVHUX_DestroyTrade(h), 0);
}

// The index tables are filled by the receive thread page by page while the
// application may already look names up (order entry opens with the logon
// answer). A second thread looks names up all the time through three logons
// of 10,000 symbols in pages of 100: the thread and address sanitizers see
// every overlap, and each logon ends with every name under its index.
TEST(CApiChecks, IndexTablesLoadWhileNamesAreLookedUp) {
    sim_config cfg = base_config();
    const int kSymbols = 10000;
    cfg.symbols.clear();
    for (int i = 0; i < kSymbols; ++i) cfg.symbols.push_back({"SYM" + std::to_string(i), static_cast<uint16_t>(i)});
    api_session s(cfg);
    ASSERT_NO_FATAL_FAILURE(s.connect());

    std::atomic<bool> stop(false);
    std::atomic<long> found(0);
    std::thread reader([&] {
        char name[32];
        for (unsigned i = 0; !stop.load(); ++i) {
            std::snprintf(name, sizeof(name), "SYM%u", i % kSymbols);
            int index = -1;
            if (s.client()->FindSymbolIndex(name, index) && index == static_cast<int>(i % kSymbols)) ++found;
            (void)s.client()->FindAccountIndex("ACC001", index);
        }
    });
    for (int logon = 0; logon < 3; ++logon) {
        SCOPED_TRACE(logon);
        ASSERT_NO_FATAL_FAILURE(s.logon());
        EXPECT_EQ(s.client()->SymbolCount(), static_cast<size_t>(kSymbols));
        int index = -1;
        EXPECT_TRUE(s.client()->FindSymbolIndex("SYM9999", index));
        EXPECT_EQ(index, 9999);
    }
    stop = true;
    reader.join();
    EXPECT_GT(found.load(), 0);
}

namespace {

// The callbacks that can destroy their session in the case below.
enum destroy_kind { DESTROY_IN_CONN_OK, DESTROY_IN_LOGON, DESTROY_IN_ORDER_ANSWER, OTHER_CALLBACK };

// Every callback of the session comes here: the first of `kind` destroys
// the session, and any callback after that is counted.
struct destroy_probe {
    destroy_kind kind;
    std::string log;  // the session's text log
    std::mutex lock;
    bool destroyed = false;
    bool freed_inside = false;  // the session's destructor had run before the callback returned
    int after = 0;

    void heard(destroy_kind which, void* h) {
        {
            std::lock_guard<std::mutex> g(lock);
            if (destroyed) {
                ++after;
                return;
            }
            if (which != kind) return;
            destroyed = true;
        }
        EXPECT_EQ(MVHUX_DestroyTrade(h), 0);
        // The destructor's last line closes the log: there only once freed.
        const bool freed = count_lines(log, "destroy trade client") != 0;
        std::lock_guard<std::mutex> g(lock);
        freed_inside = freed;
    }
};

destroy_probe* g_destroy = nullptr;

void destroy_on_accept(void* h, HUX_OrderAcceptField*) { g_destroy->heard(DESTROY_IN_ORDER_ANSWER, h); }
void heard_reject(void* h, HUX_OrderRejectField*) { g_destroy->heard(OTHER_CALLBACK, h); }
void heard_state(void* h, uint8_t, bool) { g_destroy->heard(OTHER_CALLBACK, h); }

}  // namespace

// MVHUX_DestroyTrade inside a callback: in the connection event ("conn ok"),
// the logon answer and an order answer. The session is disconnected at once
// (the server sees the close) and freed on the library's own thread once the
// callback has returned, the application calling nothing more: its
// destructor's line is not in the log when the destroy returns, and comes
// without another call. No callback comes after the destroy: not the
// answers behind the order answer in the same read, nor the disconnect's
// "local disconnected".
TEST(CApiChecks, DestroyInsideACallbackFreesTheSessionOnceTheCallbackHasReturned) {
    const struct {
        const char* name;
        destroy_kind kind;
    } kinds[] = {{"conn ok", DESTROY_IN_CONN_OK},
                 {"logon answer", DESTROY_IN_LOGON},
                 {"order answer", DESTROY_IN_ORDER_ANSWER}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        scratch_dir dir;
        destroy_probe probe;  // outlives the session
        probe.kind = k.kind;
        g_destroy = &probe;
        capi_session s(base_config());
        MVHUX_SetLogDir(s.h, dir.path().c_str());
        probe.log = text_log_path(dir.path());
        s.events.on_code = [](CTradeClient* c, int code) {
            g_destroy->heard(code == 0 ? DESTROY_IN_CONN_OK : OTHER_CALLBACK, c);
        };
        s.events.on_logon = [](CTradeClient* c) { g_destroy->heard(DESTROY_IN_LOGON, c); };
        ASSERT_EQ(MVHUX_SetOrderAcceptEvent(s.h, destroy_on_accept), 0);
        ASSERT_EQ(MVHUX_SetOrderRejectEvent(s.h, heard_reject), 0);
        ASSERT_EQ(MVHUX_SetMarketSessionStatReportEvent(s.h, heard_state), 0);

        // Seen once the library's thread has freed the session (and, through
        // the holder's lock, ordered before what follows here).
        hux_test::hold_point freed("");
        ASSERT_NO_FATAL_FAILURE(s.connect());
        if (k.kind == DESTROY_IN_LOGON) {
            ASSERT_EQ(s.logon_call(), 0);
        } else if (k.kind == DESTROY_IN_ORDER_ANSWER) {
            ASSERT_NO_FATAL_FAILURE(s.logon());
            hux_sim::sim_order_answer accept;
            accept.request_tag = 1;
            hux_sim::sim_order_answer reject;
            reject.request_tag = 2;
            reject.result = 7;
            ASSERT_TRUE(s.srv.send_raw(0, hux_sim::order_insert_answer(accept) + hux_sim::order_insert_answer(reject) +
                                              hux_sim::session_stat_report(hux_sim::sim_session_stat())));
        }

        EXPECT_TRUE(hux_test::wait_until([&] { return count_lines(probe.log, "destroy trade client") == 1; },
                                         kLogonWait));
        EXPECT_TRUE(freed.wait_seen("deferred free: done", kSessionWait));
        EXPECT_TRUE(s.srv.transport().wait_peer_closed(0, kSessionWait));
        std::lock_guard<std::mutex> g(probe.lock);
        EXPECT_TRUE(probe.destroyed);
        EXPECT_FALSE(probe.freed_inside);
        EXPECT_EQ(probe.after, 0);
        if (probe.destroyed) s.h = nullptr;
    }
    g_destroy = nullptr;
}

// MVHUX_DestroyTrade on one thread while MVHUX_EnterOrder on another is held
// after loading the session's transports: the destroy disconnects, then waits
// for the order to return before it frees the session, and the order fails
// on the connection it saw (or went out).
TEST(CApiChecks, DestroyWaitsForAnOrderUnderWayOnAnotherThread) {
    capi_session s(base_config());
    ASSERT_NO_FATAL_FAILURE(s.start());
    void* const h = s.h;
    hux_test::hold_point hold("send: transports loaded", static_cast<HUX_SESSION::trade_session_core*>(s.client()));
    std::atomic<int> ordered{-1};
    std::thread order_thread([&] {
        HUX_EnterOrderField o = order_req(kMaxToken + 1);
        ordered = MVHUX_EnterOrder(h, &o, false);
    });
    EXPECT_TRUE(hold.wait_arrived(kSessionWait));
    std::atomic<int> destroyed{-1};
    std::thread destroy_thread([&] { destroyed = MVHUX_DestroyTrade(h); });
    EXPECT_TRUE(hold.wait_seen("api: destroy waits for calls", kSessionWait));
    EXPECT_EQ(destroyed, -1);
    hold.release();
    order_thread.join();
    destroy_thread.join();
    s.h = nullptr;
    EXPECT_TRUE(ordered == HUX_RESULT_SEND_FAILED || ordered == HUX_RESULT_NOT_CONNECTED || ordered == HUX_RESULT_OK)
        << ordered;
    EXPECT_EQ(destroyed, HUX_RESULT_OK);
}

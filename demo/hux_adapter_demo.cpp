// The adapter's demo: one two-session client (trade and query) driven
// through the C API of libhuxadapter (mv_hux_adapter.h) against a HUX
// trading server. It connects (no local address: no UDP order channel),
// logs both sessions on with one call, sends orders, a batch of 16, cancels,
// a cancel batch, a special order and its cancel, every query, a password
// change, hears a buying-power push, printing every callback as one line;
// then it sends orders one at a time and measures the round trip from
// before MVHUX_EnterOrder to the order-accept callback on the steady clock,
// and disconnects. Without --server it starts the bundled simulated server
// in-process (trade and query ports on free loopback ports).
//
//   hux-adapter-demo [--server IP:PORT --query-server IP:PORT] [--wait-ms N]
//
// Exit code 0 when every request was answered within its deadline (N ms,
// 5000 unless given), 1 when a request was refused, an answer did not come
// or came wrong, 2 for bad arguments.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mv_hux_adapter.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_trade_server.h"

namespace {

using steady = std::chrono::steady_clock;

std::chrono::milliseconds g_deadline(5000);

const int timed_orders = 200;
const int batch_size = 16;
const uint8_t exchange = 101;
const char* const login_id = "demo_user";
const char* const password = "demo_pass";
const char* const new_password = "Demo_pass2";
const char* const account_name = "ACC001";
const char* const symbol_names[] = {"HXF2612", "HXF2703", "HXO2612C4000"};
const int position_request_no = 7;
const int bp_request_no = 8;

// What the demo's server settings hold (the in-process text below and
// demo/sim-adapter-demo.script): the items each series must deliver.
const int symbol_items = 3;
const int account_items = 2;
const int market_session_items = 1;  // the closing one included
const int symbol_status_items = 2;

// The simulated server's settings for the in-process run: those of
// demo/sim-adapter-demo.script but for the buying-power push, which the
// demo makes the server send here (push_account_bp).
const char* const demo_settings = R"(password demo_pass
user_id 4242
max_token 1000
order_fc_count 10000
order_fc_window_us 1000000
cancel_fc_count 1000
cancel_fc_window_us 1000000
heart_beat_timeout 10
query_user_id 4243
order_mode partial
order_fill_parts 1
market_session 101 1 2 3
symbol_status 0 HXF2612 1 2 OPEN 0
symbol_status 0 HXF2703 1 2 OPEN 0
session_id DEMO-SESSION-1
answer_queries 1
user_account account=ACC001 field_29=1 amounts=1000000,2500.5,0,0,0,997499.5
user_account account=ACC002
symbol_info kind=1 symbol=HXF2612 exchange_id=101 field_127=300
symbol_info kind=1 symbol=HXF2703 exchange_id=101 field_127=300
symbol_info kind=2 symbol=HXO2612C4000 exchange_id=101 value_107=0.2
future_position account=ACC001 symbol=HXF2612 field_54=2 value_82=4000.5
option_position account=ACC001 exchange_id=101 symbol=HXO2612C4000 number_text=10 quantity_a=3 quantity_b=1
rewind_order account=ACC001 symbol=HXF2612 field_9=1 value_52=4000.5 byte_69=1
rewind_execution account=ACC001 field_9=1 value_49=4000.5 text_57=EXEC-1
account_margin account=ACC001 symbol=HXF2612 values=0.12,0.12
account_fee account=ACC001 symbol=HXF2612 values=0.000023,0,0,0,0,0 byte_127=1
account_bp figures=1000000,997499.5
account_risk fill=1000
symbol_risk symbol=HXF2612 fill=2000
bp_push account=ACC001 figures=999000,996499.5
)";

// The answer to one order, found by its client token.
struct order_slot {
    bool done = false;
    bool accepted = false;
    int64_t order_no = 0;
    steady::time_point at;
};

struct demo_state {
    std::mutex m;
    std::condition_variable cv;
    bool connected = false;
    bool logon_done = false;
    HUX_LogonResponse logon{};
    uint32_t first_token = 0;         // client token of orders[0]
    std::vector<order_slot> orders;   // sized before the first order goes
    std::map<std::string, int> seen;  // callbacks by name; "<name> end" for a closing one
    int password_result = -1;
};
demo_state g;

// While the timed orders run, the callbacks print nothing (printing on the
// receive thread would be measured) and only count what they would have said.
std::atomic<bool> g_quiet{false};
std::atomic<long> g_quiet_lines{0};

__attribute__((format(printf, 1, 2))) void say(const char* fmt, ...) {
    if (g_quiet.load(std::memory_order_relaxed)) {
        g_quiet_lines.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
}

// Counts one callback of `name` (its closing one when `last`).
void mark(const char* name, bool last = false) {
    {
        std::lock_guard<std::mutex> lock(g.m);
        ++g.seen[last ? std::string(name) + " end" : std::string(name)];
    }
    g.cv.notify_all();
}

int seen(const std::string& key) {
    std::lock_guard<std::mutex> lock(g.m);
    auto it = g.seen.find(key);
    return it == g.seen.end() ? 0 : it->second;
}

// Marks the answer to the order of `token`; the time is taken first so that
// the lock and the wake-up of the main thread are not part of a measured
// round trip.
void note_order(uint32_t token, bool accepted, int64_t order_no) {
    const steady::time_point now = steady::now();
    {
        std::lock_guard<std::mutex> lock(g.m);
        if (token < g.first_token || token - g.first_token >= g.orders.size()) return;  // not one of ours
        order_slot& s = g.orders[token - g.first_token];
        s.done = true;
        s.accepted = accepted;
        s.order_no = order_no;
        s.at = now;
    }
    g.cv.notify_all();
}

template <class PRED>
bool wait_for(PRED pred) {
    std::unique_lock<std::mutex> lock(g.m);
    return g.cv.wait_for(lock, g_deadline, pred);
}

// Waits until `key` has been seen `n` times; false (and a message) at the deadline.
bool wait_seen(const std::string& key, int n, const char* what) {
    if (wait_for([&] {
            auto it = g.seen.find(key);
            return it != g.seen.end() && it->second >= n;
        })) {
        return true;
    }
    printf("FAILED: %s: %d of %d %s callback(s) within %lld ms\n", what, seen(key), n, key.c_str(),
           static_cast<long long>(g_deadline.count()));
    return false;
}

// Waits for the first of an accept and a reject; false (and a message) at
// the deadline or for the reject.
bool wait_accept(const char* accept, const char* reject, const char* what) {
    if (!wait_for([&] { return g.seen.count(accept) != 0 || g.seen.count(reject) != 0; })) {
        printf("FAILED: no answer to the %s within %lld ms\n", what, static_cast<long long>(g_deadline.count()));
        return false;
    }
    if (seen(reject) != 0) {
        printf("FAILED: the %s was rejected\n", what);
        return false;
    }
    return true;
}

// Waits for the answer to the order of `token`: false (and a message) at
// the deadline or for a reject.
bool wait_order(uint32_t token, const char* what, order_slot* out = nullptr) {
    const size_t i = token - g.first_token;
    if (!wait_for([i] { return g.orders[i].done; })) {
        printf("FAILED: no answer to the %s (token %u) within %lld ms\n", what, token,
               static_cast<long long>(g_deadline.count()));
        return false;
    }
    order_slot s;
    {
        std::lock_guard<std::mutex> lock(g.m);
        s = g.orders[i];
    }
    if (!s.accepted) {
        printf("FAILED: the %s (token %u) was rejected\n", what, token);
        return false;
    }
    if (out) *out = s;
    return true;
}

// The result of one request call: 0 goes on to wait for the answer.
bool sent(int rc, const char* what) {
    if (rc == HUX_RESULT_OK) return true;
    printf("FAILED: the %s was refused with code %d\n", what, rc);
    return false;
}

// ---------------------------------------------------------------- callbacks

void on_connection(void*, int code, const char* text) {
    say("Connection: code %d \"%s\"\n", code, text ? text : "");
    {
        std::lock_guard<std::mutex> lock(g.m);
        if (code == 0) g.connected = true;
    }
    g.cv.notify_all();
}

void on_logon(void*, HUX_LogonResponse* r) {
    say("UserLogon: result %d, user id %u, logon value %d, max token %d, orders %u per %u us, cancels %u per %u us\n",
        r->result, r->user_id, r->logon_value, r->max_token, r->order_fc_count, r->order_fc_window_us,
        r->cancel_fc_count, r->cancel_fc_window_us);
    {
        std::lock_guard<std::mutex> lock(g.m);
        g.logon = *r;
        g.logon_done = true;
    }
    g.cv.notify_all();
}

void on_heart_beat_timeout(void*, int seconds) {
    say("HeartBeatTimeout: %d s\n", seconds);
    mark("HeartBeatTimeout");
}

// ---- trade answers

void on_order_accept(void*, HUX_OrderAcceptField* r) {
    say("OrderAccept: token %u, order %lld, %.17s %.20s side %u, %u @ %.4f\n", r->client_token,
        static_cast<long long>(r->order_no), r->account, r->symbol, r->side, r->quantity, r->price);
    note_order(r->client_token, true, r->order_no);
}

void on_order_reject(void*, HUX_OrderRejectField* r) {
    say("OrderReject: token %u, code %u \"%.80s\" \"%.80s\"\n", r->client_token, r->reason_code, r->reason_text,
        r->value_text);
    note_order(r->client_token, false, r->order_no);
}

void on_order_market_accept(void*, HUX_OrderMarketAcceptField* r) {
    say("OrderMarketAccept: token %u, exchange order id \"%.24s\", status %u\n", r->client_token,
        r->exchange_order_id, r->status);
    mark("OrderMarketAccept");
}

void on_order_market_reject(void*, HUX_OrderMarketRejectField* r) {
    say("OrderMarketReject: token %u, code %u \"%.80s\"\n", r->client_token, r->reason_code, r->reason_text);
    mark("OrderMarketReject");
}

void on_order_execution(void*, HUX_OrderExecutionField* r) {
    say("OrderExecution: order %lld, %u @ %.4f\n", static_cast<long long>(r->order_no), r->filled_quantity,
        r->fill_price);
    mark("OrderExecution");
}

void on_order_cxled(void*, HUX_OrderCxled* r) {
    int64_t order_no;  // the eight bytes at 142 of the report
    memcpy(&order_no, r->value_142, sizeof(order_no));
    say("OrderCxled: token %u, order %lld\n", r->client_token, static_cast<long long>(order_no));
    mark("OrderCxled");
}

void on_cxl_order_reject(void*, HUX_CxlOrderRej* r) {
    say("CxlOrderReject: market token %llu, token %u, code %u \"%.88s\"\n",
        static_cast<unsigned long long>(r->market_token), r->client_token, r->reason_code, r->reason_text);
    mark("CxlOrderReject");
}

void on_post_order(void*, HUX_PostOrder* r) {
    say("PostOrder: %.17s %.20s side %u, %u @ %.4f, status %u\n", r->account, r->symbol, r->side, r->quantity,
        r->price, r->status);
    mark("PostOrder");
}

void on_post_order_execution(void*, HUX_PostOrderExecution* r) {
    say("PostOrderExecution: order %lld, %u @ %.4f\n", static_cast<long long>(r->order_no), r->filled_quantity,
        r->fill_price);
    mark("PostOrderExecution");
}

void on_special_order_accept(void*, HUX_SpecialOrderAcceptField* r) {
    say("SpecialOrderAccept: tag %u, token %u, %.17s %.20s\n", r->request_tag, r->client_token, r->account,
        r->symbol);
    mark("SpecialOrderAccept");
}

void on_special_order_reject(void*, HUX_SpecialOrderRejectField* r) {
    say("SpecialOrderReject: tag %u, token %u, value %u \"%.80s\" \"%.80s\"\n", r->request_tag, r->client_token,
        r->reject_value, r->reason_text, r->value_text);
    mark("SpecialOrderReject");
}

void on_special_order_market_accept(void*, HUX_SpecialOrderMarketAcceptField* r) {
    say("SpecialOrderMarketAccept: tag %u, token %u, exchange order id \"%.24s\"\n", r->request_tag,
        r->client_token, r->exchange_order_id);
    mark("SpecialOrderMarketAccept");
}

void on_special_order_market_reject(void*, HUX_SpecialOrderMarketRejectField* r) {
    say("SpecialOrderMarketReject: tag %u, token %u, code %u \"%.80s\"\n", r->request_tag, r->client_token,
        r->reason_code, r->reason_text);
    mark("SpecialOrderMarketReject");
}

void on_special_order_action_accept(void*, HUX_SpecialOrderActionAccept* r) {
    say("SpecialOrderActionAccept: tag %u, owner %u/%u, market token %u\n", r->request_tag, r->owner_user_id,
        r->owner_token, r->market_token);
    mark("SpecialOrderActionAccept");
}

void on_special_order_action_reject(void*, HUX_SpecialOrderActionRej* r) {
    say("SpecialOrderActionReject: tag %u, code %u \"%.88s\"\n", r->request_tag, r->reason_code, r->reason_text);
    mark("SpecialOrderActionReject");
}

void on_special_order_action_market_accept(void*, HUX_SpecialOrderActionMarketAcceptField* r) {
    say("SpecialOrderActionMarketAccept: tag %u, token %u\n", r->request_tag, r->client_token);
    mark("SpecialOrderActionMarketAccept");
}

void on_special_order_action_market_reject(void*, HUX_SpecialOrderActionMarketRejectField* r) {
    say("SpecialOrderActionMarketReject: tag %u, code %u \"%.80s\"\n", r->request_tag, r->reason_code,
        r->reason_text);
    mark("SpecialOrderActionMarketReject");
}

void on_post_special_order(void*, HUX_PostSpecialOrder* r) {
    say("PostSpecialOrder: %.17s %.20s\n", r->account, r->symbol);
    mark("PostSpecialOrder");
}

void on_query_market_session(void*, HUX_ExchangeMarketSession* r, bool last) {
    say("QueryMarketSession: exchange %u, %u sessions%s\n", r->exchange_id, r->session_count, last ? " (last)" : "");
    mark("QueryMarketSession");
    if (last) mark("QueryMarketSession", true);
}

void on_market_session_stat(void*, uint8_t session, bool flag) {
    say("MarketSessionStatReport: session %u, flag %d\n", session, flag ? 1 : 0);
    mark("MarketSessionStatReport");
}

void on_query_symbol_status(void*, HUX_SymbolStatus* r, bool last) {
    if (last) {
        say("QuerySymbolStatus: end\n");
    } else {
        say("QuerySymbolStatus: %.20s value %u \"%.9s\"\n", r->symbol, r->value, r->short_text);
    }
    mark("QuerySymbolStatus", last);
}

void on_symbol_status_report(void*, HUX_SymbolStatus* r) {
    say("SymbolStatusReport: %.20s value %u \"%.9s\"\n", r->symbol, r->value, r->short_text);
    mark("SymbolStatusReport");
}

void on_query_session_id(void*, HUX_SessionID* r) {
    say("QuerySessionID: \"%.17s\", values %u %u\n", r->session, r->value_a, r->value_b);
    mark("QuerySessionID");
}

// Stored by the library and never called: no answer carries such data.
void on_query_market_mbl_data(void*, HUX_MarketMBLData*, bool) {
    say("QueryMarketMBLData\n");
    mark("QueryMarketMBLData");
}

// ---- query answers: a series ends with an all-zero record and `last`

void on_change_password(void*, int result) {
    say("ChangePassword: result %d\n", result);
    {
        std::lock_guard<std::mutex> lock(g.m);
        g.password_result = result;
    }
    mark("ChangePassword");
}

void on_query_user_account(void*, HUX_AccountInfo* r, bool last) {
    if (last) {
        say("QueryUserAccount: end\n");
    } else {
        say("QueryUserAccount: %.17s, value %u, amounts %.2f %.2f ... %.2f\n", r->account, r->value_29,
            r->amounts[0], r->amounts[1], r->amounts[5]);
    }
    mark("QueryUserAccount", last);
}

void on_query_account_position(void*, const char* account, HUX_AccountPosition* r, int request_no, bool last) {
    if (last) {
        say("QueryAccountPosition: end, request %d\n", request_no);
    } else {
        say("QueryAccountPosition: %s %.20s, value %u, %.4f, request %d\n", account, r->symbol, r->value_54,
            r->value_82, request_no);
    }
    mark("QueryAccountPosition", last);
}

void on_query_account_option_position(void*, const char* account, HUX_AccountOptionPosition* r, int request_no,
                                      bool last) {
    if (last) {
        say("QueryAccountOptionPosition: end, request %d\n", request_no);
    } else {
        say("QueryAccountOptionPosition: %s %.20s, underlying %.20s %c %.0f, quantity %u (A %u), request %d\n",
            account, r->symbol, r->underlying, r->call_put ? r->call_put : '-', r->strike, r->quantity,
            r->quantity_a, request_no);
    }
    mark("QueryAccountOptionPosition", last);
}

void on_query_account_bp(void*, const char* account, HUX_AccountBP* r, int request_no) {
    say("QueryAccountBP: %s, figures %.2f %.2f, request %d\n", account, r->values[0], r->values[1], request_no);
    mark("QueryAccountBP");
}

void on_report_account_bp(void*, const char* account, HUX_AccountBP* r) {
    say("ReportAccountBP: %s, figures %.2f %.2f\n", account, r->values[0], r->values[1]);
    mark("ReportAccountBP");
}

void on_query_symbol_list(void*, HUX_SymbolField* r, bool last) {
    if (last) {
        say("QuerySymbolList: end\n");
    } else if (r->symbol_kind == 2) {
        say("QuerySymbolList: %.20s option, exchange %u, underlying %.20s %c %.0f\n", r->symbol, r->exchange_id,
            r->underlying, r->call_put ? r->call_put : '-', r->strike);
    } else {
        say("QuerySymbolList: %.20s kind %u, exchange %u, value %u\n", r->symbol, r->symbol_kind, r->exchange_id,
            r->value_127);
    }
    mark("QuerySymbolList", last);
}

void on_query_margin(void*, const char* account, HUX_AccountMargin* r, bool last) {
    if (last) {
        say("QueryAccountTradeMargin: end\n");
    } else {
        say("QueryAccountTradeMargin: %s %.20s, %.4f %.4f\n", account, r->symbol, r->value_79, r->value_87);
    }
    mark("QueryAccountTradeMargin", last);
}

void on_query_fee(void*, const char* account, HUX_AccountFee* r, bool last) {
    if (last) {
        say("QueryAccountTradeFee: end\n");
    } else {
        say("QueryAccountTradeFee: %s %.20s, %.6f, kind %u\n", account, r->symbol, r->values[0], r->fee_kind);
    }
    mark("QueryAccountTradeFee", last);
}

void on_query_trade_order(void*, const char* account, HUX_QueryAccountOrder* r, bool last) {
    if (last) {
        say("QueryTradeOrder: end\n");
    } else {
        say("QueryTradeOrder: %s %.20s, value %u, %.4f, coded %u\n", account, r->symbol, r->value_9, r->value_52,
            r->coded_69);
    }
    mark("QueryTradeOrder", last);
}

void on_query_trade_order_exec(void*, const char* account, HUX_QueryOrderExecution* r, bool last) {
    if (last) {
        say("QueryTradeOrderExec: end\n");
    } else {
        say("QueryTradeOrderExec: %s, value %u, %.4f \"%.24s\"\n", account, r->value_9, r->value_49, r->text_57);
    }
    mark("QueryTradeOrderExec", last);
}

void on_query_trade_order_exec_ex(void*, const char* account, HUX_QueryOrderExecutionEx* r, bool last) {
    if (last) {
        say("QueryTradeOrderExecEx: end\n");
    } else {
        say("QueryTradeOrderExecEx: %s, value %u, %.4f \"%.24s\" \"%.19s\"\n", account, r->value_9, r->value_49,
            r->text_57, r->text_83);
    }
    // Either form closes the execution rewind, whichever the server sends.
    mark("QueryTradeOrderExec", last);
}

void on_query_risk(void*, HUX_AccountRiskData* r, int) {
    say("QueryAccountRiskData: %.17s, value %u, last value %lld\n", r->account, r->value_24,
        static_cast<long long>(r->value_508));
    mark("QueryAccountRiskData");
}

void on_query_symbol_risk(void*, HUX_AccountSymbolRiskData* r, int) {
    say("QueryAccountSymbolRiskData: %.17s %.20s, value %u, last value %.1f\n", r->account, r->symbol, r->value_8,
        r->value_360);
    mark("QueryAccountSymbolRiskData");
}

// Every callback of the C API: 41 setters.
void register_callbacks(void* h) {
    MVHUX_SetConnectionEvent(h, on_connection);
    MVHUX_SetUserLogonEvent(h, on_logon);
    MVHUX_SetHeartBeartTimeoutEvent(h, on_heart_beat_timeout);
    MVHUX_SetChangePasswordEvent(h, on_change_password);
    MVHUX_SetQueryUserAccountEvent(h, on_query_user_account);
    MVHUX_SetQueryAccountPositionEvent(h, on_query_account_position);
    MVHUX_SetQueryAccountOptionPositionEvent(h, on_query_account_option_position);
    MVHUX_SetQueryAccountBPEvent(h, on_query_account_bp);
    MVHUX_ReportAccountBPEvent(h, on_report_account_bp);
    MVHUX_SetQuerySymbolListEvent(h, on_query_symbol_list);
    MVHUX_SetQueryAccountTradeMarginEvent(h, on_query_margin);
    MVHUX_SetQueryAccountTradeFeeEvent(h, on_query_fee);
    MVHUX_SetQueryTradeOrderEvent(h, on_query_trade_order);
    MVHUX_SetQueryTradeOrderExecEvent(h, on_query_trade_order_exec);
    MVHUX_SetQueryTradeOrderExecEventEx(h, on_query_trade_order_exec_ex);
    MVHUX_SetQueryAccountRiskDataEvent(h, on_query_risk);
    MVHUX_SetQueryAccountSymbolRiskDataEvent(h, on_query_symbol_risk);
    MVHUX_SetOrderAcceptEvent(h, on_order_accept);
    MVHUX_SetOrderMarketAcceptEvent(h, on_order_market_accept);
    MVHUX_SetOrderRejectEvent(h, on_order_reject);
    MVHUX_SetOrderMarketRejectEvent(h, on_order_market_reject);
    MVHUX_SetOrderExecutionEvent(h, on_order_execution);
    MVHUX_SetOrderCxledEvent(h, on_order_cxled);
    MVHUX_SetCxlOrderRejectEvent(h, on_cxl_order_reject);
    MVHUX_SetPostOrderEvent(h, on_post_order);
    MVHUX_SetPostOrderExecutionEvent(h, on_post_order_execution);
    MVHUX_SetQueryMarketSessionEvent(h, on_query_market_session);
    MVHUX_SetMarketSessionStatReportEvent(h, on_market_session_stat);
    MVHUX_SetQuerySymbolStatusEvent(h, on_query_symbol_status);
    MVHUX_SetSymbolStatusReportEvent(h, on_symbol_status_report);
    MVHUX_SetQueryMarketMBLDataEvent(h, on_query_market_mbl_data);
    MVHUX_SetQuerySessionIDEvent(h, on_query_session_id);
    MVHUX_SetSpecialOrderAcceptEvent(h, on_special_order_accept);
    MVHUX_SetSpecialOrderMarketAcceptEvent(h, on_special_order_market_accept);
    MVHUX_SetSpecialOrderRejectEvent(h, on_special_order_reject);
    MVHUX_SetSpecialOrderMarketRejectEvent(h, on_special_order_market_reject);
    MVHUX_SetSpecialOrderActionAcceptEvent(h, on_special_order_action_accept);
    MVHUX_SetSpecialOrderActionRejectEvent(h, on_special_order_action_reject);
    MVHUX_SetSpecialOrderActionMarketAcceptEvent(h, on_special_order_action_market_accept);
    MVHUX_SetSpecialOrderActionMarketRejectEvent(h, on_special_order_action_market_reject);
    MVHUX_SetPostSpecialOrderEvent(h, on_post_special_order);
}

// ---------------------------------------------------------------- requests

void copy_text(char* dst, size_t size, const char* text) {
    memset(dst, 0, size);
    strncpy(dst, text, size - 1);
}

HUX_EnterOrderField make_order(uint32_t token, const char* symbol, uint8_t side, double price, uint32_t quantity) {
    HUX_EnterOrderField o;
    memset(&o, 0, sizeof(o));
    copy_text(o.account, sizeof(o.account), account_name);
    o.side = side;
    o.exchange_id = exchange;
    copy_text(o.symbol, sizeof(o.symbol), symbol);
    o.price = price;
    o.quantity = quantity;
    o.client_token = token;
    o.opt_8 = 1;
    return o;
}

HUX_CancelOrder cancel_by_market(uint64_t order_no, uint32_t token) {
    HUX_CancelOrder c;
    memset(&c, 0, sizeof(c));
    c.market_token = order_no;  // its low 32 bits go out
    c.client_token = token;
    return c;
}

// The in-process server, when there is one: the demo makes it send what a
// standalone server sends unasked or by its settings.
struct in_process {
    hux_sim::sim_trade_server* sim = nullptr;
    size_t trade_conn = hux_sim::sim_trade_server::no_connection;
};

// The order an exchange cancelled, as the demo remembers it for the report.
struct cancelled_order {
    uint32_t token;
    int64_t order_no;
    const char* symbol;
    uint8_t side;
    double price;
    uint32_t quantity;
};

// In-process only: the exchange's report that each order is cancelled (a
// 1015 with status 4), which raises OrderCxled. The server's own accept of
// a cancel raises no callback.
bool exchange_cancel_reports(const in_process& ip, const std::vector<cancelled_order>& orders) {
    const int before = seen("OrderCxled");
    for (const cancelled_order& c : orders) {
        hux_sim::sim_order r;
        r.exchange_id = exchange;
        r.opt_7 = '0';  // reported to the session that entered the order
        r.side = c.side;
        r.client_token = static_cast<int32_t>(c.token);
        r.quantity = static_cast<int32_t>(c.quantity);
        r.price = static_cast<int64_t>(c.price * 10000.0 + 0.5);
        r.account = account_name;
        r.symbol = c.symbol;
        r.byte_124 = 4;  // status: cancelled
        r.bytes_134 = std::string(8, '\0') + hux_sim::le_bytes(static_cast<uint64_t>(c.order_no), 8);
        if (!ip.sim->send_raw(ip.trade_conn, hux_sim::order_message(1015, r))) {
            printf("FAILED: the simulated server could not send a cancel report\n");
            return false;
        }
    }
    return wait_seen("OrderCxled", before + static_cast<int>(orders.size()), "exchange cancel reports");
}

// Orders, the batch, cancels, the cancel batch, the special order and its
// cancel, and the three status queries of the trade port. `token` is the
// next client token; it is advanced past the tokens used.
bool run_orders(void* h, const in_process& ip, uint32_t& token) {
    // Three orders, one on each symbol. With the demo's settings each is
    // accepted and filled short by one lot.
    std::vector<cancelled_order> to_cancel;
    struct single {
        const char* symbol;
        uint8_t side;
        double price;
        uint32_t quantity;
    };
    const single singles[] = {{symbol_names[0], 1, 4000.5, 2}, {symbol_names[1], 2, 4010.25, 3},
                              {symbol_names[2], 1, 12.5, 5}};
    uint32_t single_tokens[3];
    int64_t single_numbers[3];
    int fills_expected = 0;
    for (int i = 0; i < 3; ++i) {
        const single& s = singles[i];
        single_tokens[i] = token++;
        HUX_EnterOrderField o = make_order(single_tokens[i], s.symbol, s.side, s.price, s.quantity);
        order_slot answer;
        if (!sent(MVHUX_EnterOrder(h, &o), "order") || !wait_order(single_tokens[i], "order", &answer)) return false;
        single_numbers[i] = answer.order_no;
        fills_expected += s.quantity > 1 ? 1 : 0;
    }

    // A batch of 16 orders in one write.
    HUX_EnterOrderField batch[batch_size];
    for (int i = 0; i < batch_size; ++i) {
        batch[i] = make_order(token++, symbol_names[i % 2], static_cast<uint8_t>(1 + i % 2), 4000.0 + i, 2);
        ++fills_expected;
    }
    if (!sent(MVHUX_EnterMultiOrders(h, batch, batch_size), "batch of 16 orders")) return false;
    int64_t batch_numbers[batch_size];
    for (int i = 0; i < batch_size; ++i) {
        order_slot answer;
        if (!wait_order(batch[i].client_token, "batch order", &answer)) return false;
        batch_numbers[i] = answer.order_no;
    }
    if (!wait_seen("OrderExecution", fills_expected, "fills of the orders")) return false;

    // The first order cancelled by its market token (the low 32 bits of its
    // order number), the second by its owner token.
    HUX_CancelOrder by_market = cancel_by_market(static_cast<uint64_t>(single_numbers[0]), token++);
    if (!sent(MVHUX_CancelOrder(h, &by_market), "cancel by market token")) return false;
    HUX_CancelOrder by_owner;
    memset(&by_owner, 0, sizeof(by_owner));
    by_owner.cancel_mode = 1;
    by_owner.owner_token = single_tokens[1];
    by_owner.client_token = token++;
    if (!sent(MVHUX_CancelOrder(h, &by_owner), "cancel by owner token")) return false;
    for (int i = 0; i < 2; ++i) {
        const single& s = singles[i];
        to_cancel.push_back({single_tokens[i], single_numbers[i], s.symbol, s.side, s.price, s.quantity});
    }
    // The batch's orders cancelled in one write.
    HUX_CancelOrder cancels[batch_size];
    for (int i = 0; i < batch_size; ++i) {
        cancels[i] = cancel_by_market(static_cast<uint64_t>(batch_numbers[i]), 0);
        const HUX_EnterOrderField& o = batch[i];
        to_cancel.push_back({o.client_token, batch_numbers[i], symbol_names[i % 2], o.side, o.price, o.quantity});
    }
    if (!sent(MVHUX_EnterMultiCxlOrders(h, cancels, batch_size), "batch of 16 cancels")) return false;

    // The special order and its cancel by owner token.
    HUX_EnterSpecialOrderField special;
    memset(&special, 0, sizeof(special));
    special.request_tag = 1;
    copy_text(special.account, sizeof(special.account), account_name);
    special.exchange_id = exchange;
    copy_text(special.symbol, sizeof(special.symbol), symbol_names[0]);
    special.client_token = token++;
    if (!sent(MVHUX_EnterSpecialOrder(h, &special), "special order") ||
        !wait_accept("SpecialOrderAccept", "SpecialOrderReject", "special order")) {
        return false;
    }
    HUX_CancelSpecialOrder special_cancel;
    memset(&special_cancel, 0, sizeof(special_cancel));
    special_cancel.request_tag = 2;
    special_cancel.cancel_mode = 1;
    special_cancel.owner_token = special.client_token;
    special_cancel.client_token = token++;
    if (!sent(MVHUX_CancelSpecialOrder(h, &special_cancel), "special-order cancel") ||
        !wait_accept("SpecialOrderActionAccept", "SpecialOrderActionReject", "special-order cancel")) {
        return false;
    }

    // The status queries of the trade port. The server answers a connection
    // in order, so once they are answered every cancel has been: a refused
    // one would have raised CxlOrderReject.
    if (!sent(MVHUX_QueryMarketSession(h), "market session query") ||
        !wait_seen("QueryMarketSession end", 1, "market session query")) {
        return false;
    }
    if (!sent(MVHUX_QuerySymbolStatus(h), "symbol status query") ||
        !wait_seen("QuerySymbolStatus end", 1, "symbol status query")) {
        return false;
    }
    if (!sent(MVHUX_QuerySessionID(h, "DEMO", 0), "session id query") ||
        !wait_seen("QuerySessionID", 1, "session id query")) {
        return false;
    }
    if (seen("QueryMarketSession") != market_session_items || seen("QuerySymbolStatus") != symbol_status_items) {
        printf("FAILED: %d market session and %d symbol status records, %d and %d expected\n",
               seen("QueryMarketSession"), seen("QuerySymbolStatus"), market_session_items, symbol_status_items);
        return false;
    }
    if (seen("CxlOrderReject") != 0) {
        printf("FAILED: %d cancel(s) refused\n", seen("CxlOrderReject"));
        return false;
    }
    printf("cancels: %zu answered by the server without a refusal\n", to_cancel.size());
    if (ip.sim) {
        const size_t arrived = ip.sim->count(ip.trade_conn, hux_sim::msg_cancel_order);
        if (arrived != to_cancel.size()) {
            printf("FAILED: the server received %zu cancels, %zu sent\n", arrived, to_cancel.size());
            return false;
        }
        if (!exchange_cancel_reports(ip, to_cancel)) return false;
    }
    return true;
}

// Sends a query and waits for its closing callback (`name` end seen once more);
// `items` > 0: the series must have delivered that many records.
bool query(int rc, const char* what, const char* name, int items) {
    const std::string end = std::string(name) + " end";
    const int before = seen(end);
    if (!sent(rc, what) || !wait_seen(end, before + 1, what)) return false;
    if (items > 0 && seen(name) != items) {
        printf("FAILED: %s: %d %s record(s), %d expected\n", what, seen(name), name, items);
        return false;
    }
    return true;
}

// Every query of the query port, the buying-power push, the password change.
bool run_queries(void* h, const in_process& ip) {
    if (!query(MVHUX_QuerySymbolList(h), "symbol list query", "QuerySymbolList", symbol_items)) return false;
    if (!query(MVHUX_QueryUserAccount(h), "user account query", "QueryUserAccount", account_items)) return false;
    // Futures, then options, each series closed.
    if (!query(MVHUX_QueryAccountPosition(h, account_name, position_request_no), "position query",
               "QueryAccountPosition", 1) ||
        !wait_seen("QueryAccountOptionPosition end", 1, "position query")) {
        return false;
    }
    if (!sent(MVHUX_QueryAccountBP(h, account_name, bp_request_no), "buying-power query") ||
        !wait_seen("QueryAccountBP", 1, "buying-power query")) {
        return false;
    }
    // The push: in-process the demo has the server send it; a standalone
    // server sends one after each buying-power answer (bp_push_after 81).
    if (ip.sim) {
        hux_sim::sim_account_bp push;
        push.account = account_name;
        push.figures[0] = 999000;
        push.figures[1] = 996499.5;
        if (!ip.sim->push_account_bp(ip.sim->query_connection_count() - 1, push)) {
            printf("FAILED: the simulated server could not push the buying power\n");
            return false;
        }
    }
    if (!wait_seen("ReportAccountBP", 1, "buying-power push")) return false;
    if (!query(MVHUX_QueryAccountTradeMargin(h, account_name), "margin query", "QueryAccountTradeMargin", 1)) {
        return false;
    }
    if (!query(MVHUX_QueryAccountTradeFee(h, account_name), "fee query", "QueryAccountTradeFee", 1)) return false;
    if (!query(MVHUX_QueryAccountOrder(h, account_name), "order rewind", "QueryTradeOrder", 1)) return false;
    if (!query(MVHUX_QueryAccountOrderExecution(h, account_name, 0), "execution rewind", "QueryTradeOrderExec", 1)) {
        return false;
    }
    if (!sent(MVHUX_QueryAccountRiskData(h, account_name, nullptr, 0, 0), "risk data query") ||
        !wait_seen("QueryAccountRiskData", 1, "risk data query")) {
        return false;
    }
    if (!sent(MVHUX_QueryAccountSymbolRiskData(h, account_name, symbol_names[0], 0), "symbol risk data query") ||
        !wait_seen("QueryAccountSymbolRiskData", 1, "symbol risk data query")) {
        return false;
    }
    if (!sent(MVHUX_ChangePassword(h, password, new_password), "password change") ||
        !wait_seen("ChangePassword", 1, "password change")) {
        return false;
    }
    std::lock_guard<std::mutex> lock(g.m);
    if (g.password_result != 0) {
        printf("FAILED: password change result %d\n", g.password_result);
        return false;
    }
    return true;
}

// Sends timed_orders orders one at a time; each must be accepted before the
// next goes. Prints count, p50 and p99 of the round trips.
bool run_timed(void* h, uint32_t first) {
    std::vector<double> us;
    us.reserve(timed_orders);
    g_quiet.store(true);
    bool ok = true;
    for (int i = 0; i < timed_orders && ok; ++i) {
        const uint32_t token = first + static_cast<uint32_t>(i);
        const size_t slot = token - g.first_token;
        HUX_EnterOrderField o =
            make_order(token, symbol_names[i % 2], static_cast<uint8_t>(1 + i % 2), 4000.0 + 0.25 * i, 1);
        const steady::time_point t0 = steady::now();
        const int rc = MVHUX_EnterOrder(h, &o);
        if (rc != HUX_RESULT_OK) {
            g_quiet.store(false);
            ok = sent(rc, "timed order");
            break;
        }
        if (!wait_for([slot] { return g.orders[slot].done; })) {
            g_quiet.store(false);
            ok = wait_order(token, "timed order");
            break;
        }
        order_slot s;
        {
            std::lock_guard<std::mutex> lock(g.m);
            s = g.orders[slot];
        }
        if (!s.accepted) {
            g_quiet.store(false);
            printf("FAILED: timed order (token %u) rejected\n", token);
            ok = false;
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(s.at - t0).count());
    }
    g_quiet.store(false);
    if (!ok) return false;
    std::sort(us.begin(), us.end());
    const size_t n = us.size();
    printf("round trip: MVHUX_EnterOrder to the OrderAccept callback, steady clock, one order in flight\n");
    printf("round trip count: %zu orders (%ld callback lines not printed while timing)\n", n, g_quiet_lines.load());
    printf("round trip p50: %.1f us\n", us[(n - 1) / 2]);
    printf("round trip p99: %.1f us\n", us[(n * 99 + 99) / 100 - 1]);
    printf("round trip max: %.1f us\n", us[n - 1]);
    return true;
}

// Connects, logs on, runs every phase; the caller disconnects.
bool run(void* h, const in_process& ip, const std::string& trade_ip, uint16_t trade_port, const std::string& query_ip,
         uint16_t query_port) {
    HUX_TradeSvrInfo info;  // the documented defaults; local_ip stays empty: no UDP order channel
    copy_text(info.server_ip, sizeof(info.server_ip), trade_ip.c_str());
    info.tcp_port = trade_port;
    copy_text(info.query_ip, sizeof(info.query_ip), query_ip.c_str());
    info.query_port = query_port;
    info.heartbeat_interval = 1;
    int rc = MVHUX_ConnServer(h, &info);
    if (rc != HUX_RESULT_OK) {
        printf("FAILED: connect to %s:%u, code %d\n", trade_ip.c_str(), static_cast<unsigned>(trade_port), rc);
        return false;
    }
    if (!wait_for([] { return g.connected; })) {
        printf("FAILED: no connection event\n");
        return false;
    }
    // One call, one callback: the trade logon, then the query session's
    // connection and logon.
    rc = MVHUX_UserLogon(h, login_id, password, "hux-adapter-demo", "DEMOAUTH0001");
    if (rc != HUX_RESULT_OK) {
        printf("FAILED: logon not sent, code %d\n", rc);
        return false;
    }
    if (!wait_for([] { return g.logon_done; })) {
        printf("FAILED: no logon answer\n");
        return false;
    }
    HUX_LogonResponse r;
    {
        std::lock_guard<std::mutex> lock(g.m);
        r = g.logon;
    }
    if (r.result != 0) {
        printf("FAILED: logon result %d\n", r.result);
        return false;
    }
    in_process with_conn = ip;
    if (ip.sim) {
        with_conn.trade_conn = ip.sim->wait_for_trade_connection(0, g_deadline);
        if (with_conn.trade_conn == hux_sim::sim_trade_server::no_connection) {
            printf("FAILED: the simulated server saw no trade connection\n");
            return false;
        }
    }
    // Client tokens must rise above the account's maximum token.
    const int32_t max_token = r.max_token;  // by value: the record is packed
    uint32_t token = static_cast<uint32_t>(max_token > 0 ? max_token : 0) + 1;
    {
        std::lock_guard<std::mutex> lock(g.m);
        g.first_token = token;
        g.orders.assign(3 + batch_size + 8 + timed_orders, order_slot());
    }
    if (!run_orders(h, with_conn, token)) return false;
    if (!run_queries(h, with_conn)) return false;
    if (!run_timed(h, token)) return false;
    if (seen("HeartBeatTimeout") != 0) {
        printf("FAILED: the heart-beat timed out\n");
        return false;
    }
    return true;
}

bool parse_server(const std::string& text, std::string& ip, uint16_t& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon > 15) return false;  // a dotted IPv4 of 16 bytes at most
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long v = strtoul(digits.c_str(), nullptr, 10);
    if (v == 0 || v > 65535) return false;
    ip = text.substr(0, colon);
    port = static_cast<uint16_t>(v);
    return true;
}

int usage(const char* self) {
    fprintf(stderr, "usage: %s [--server IP:PORT --query-server IP:PORT] [--wait-ms N]\n", self);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string server;
    std::string query_server;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) return usage(argv[0]);
        if (!strcmp(argv[i], "--server")) {
            server = argv[i + 1];
        } else if (!strcmp(argv[i], "--query-server")) {
            query_server = argv[i + 1];
        } else if (!strcmp(argv[i], "--wait-ms")) {
            const long ms = atol(argv[i + 1]);
            if (ms <= 0) return usage(argv[0]);
            g_deadline = std::chrono::milliseconds(ms);
        } else {
            return usage(argv[0]);
        }
    }
    if (server.empty() != query_server.empty()) {
        fprintf(stderr, "--server and --query-server go together\n");
        return 2;
    }

    std::unique_ptr<hux_sim::sim_trade_server> sim;
    std::string trade_ip = "127.0.0.1";
    std::string query_ip = "127.0.0.1";
    uint16_t trade_port = 0;
    uint16_t query_port = 0;
    if (server.empty()) {
        hux_sim::sim_config cfg;
        std::string error;
        if (!hux_sim::parse_script(demo_settings, cfg, error)) {
            fprintf(stderr, "bad settings of the simulated server: %s\n", error.c_str());
            return 1;
        }
        sim.reset(new hux_sim::sim_trade_server());
        if (!sim->listening() || !sim->set_config(cfg) || !sim->open_query(0)) {
            fprintf(stderr, "cannot start the simulated server\n");
            return 1;
        }
        trade_port = sim->port();
        query_port = sim->query_port();
        printf("simulated server: trade 127.0.0.1:%u, query 127.0.0.1:%u\n", static_cast<unsigned>(trade_port),
               static_cast<unsigned>(query_port));
    } else if (!parse_server(server, trade_ip, trade_port) || !parse_server(query_server, query_ip, query_port)) {
        fprintf(stderr, "--server and --query-server take IP:PORT (dotted IPv4, port 1..65535)\n");
        return 2;
    }

    in_process ip;
    ip.sim = sim.get();
    void* h = MVHUX_CreateTrade(nullptr);
    register_callbacks(h);
    const bool ok = run(h, ip, trade_ip, trade_port, query_ip, query_port);
    MVHUX_DisConnServer(h);
    MVHUX_DestroyTrade(h);
    printf("disconnected%s\n", ok ? "" : " after a failure");
    fflush(stdout);
    return ok ? 0 : 1;
}

// The demo: one trade session driven through the C API of libhuxtrade
// (mv_hux_trade.h) against a HUX trading server. It connects, logs on, sends
// a few orders, a quote, cancels, a quote action, a combination order, a
// special order and its cancel and the two simple forms, printing every
// callback as one line; then it sends orders one at a time and measures the
// round trip from before MVHUX_EnterOrder to the order-accept callback on the
// steady clock, and logs off. Without --server it starts the bundled
// simulated server in-process on a free loopback port.
//
//   hux-demo [--server IP:PORT] [--user ID] [--password PW]
//
// Exit code 0 when every request was answered within its deadline, 1 when
// a request was refused or an answer did not come, 2 for bad arguments.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mv_hux_trade.h"
#include "sim/sim_trade_server.h"

namespace {

using steady = std::chrono::steady_clock;

const std::chrono::seconds answer_deadline(5);
const int timed_orders = 200;
const uint8_t exchange = 101;
const char* const account_name = "ACC001";
const char* const symbol_names[] = {"HXF2612", "HXF2703", "HXO2612C4000"};

// Request tags: the scripted requests count from 1, the timed orders from
// timed_tag_base; each answer callback marks the slot of its tag.
const int timed_tag_base = 1000;
const int slot_count = timed_tag_base + timed_orders;

struct answer_slot {
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
    answer_slot slots[slot_count];
    int executions = 0;
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

// Marks the answer to `tag`; the time is taken first so that the lock and
// the wake-up of the main thread are not part of a measured round trip.
void note_answer(int32_t tag, bool accepted, int64_t order_no) {
    const steady::time_point now = steady::now();
    if (tag < 0 || tag >= slot_count) return;  // not one of ours
    {
        std::lock_guard<std::mutex> lock(g.m);
        answer_slot& s = g.slots[tag];
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
    return g.cv.wait_for(lock, answer_deadline, pred);
}

// Waits for the answer to `tag`; false (and a message) at the deadline.
bool wait_answer(int32_t tag, const char* what) {
    if (wait_for([tag] { return g.slots[tag].done; })) return true;
    printf("FAILED: no answer to the %s (tag %d) within %lld s\n", what, tag,
           static_cast<long long>(answer_deadline.count()));
    return false;
}

answer_slot slot(int32_t tag) {
    std::lock_guard<std::mutex> lock(g.m);
    return g.slots[tag];
}

// ---------------------------------------------------------------- callbacks

void on_connection(void*, int code, const char* text) {
    say("connection event: code %d \"%s\"\n", code, text ? text : "");
    {
        std::lock_guard<std::mutex> lock(g.m);
        if (code == 0) g.connected = true;
    }
    g.cv.notify_all();
}

void on_logon(void*, HUX_LogonResponse* r, int sock) {
    say("logon: result %d, user id %u, max token %d, orders %u per %u us, cancels %u per %u us, socket %d\n",
        r->result, r->user_id, r->max_token, r->order_fc_count, r->order_fc_window_us, r->cancel_fc_count,
        r->cancel_fc_window_us, sock);
    {
        std::lock_guard<std::mutex> lock(g.m);
        g.logon = *r;
        g.logon_done = true;
    }
    g.cv.notify_all();
}

void on_heart_beat_timeout(void*, int seconds) { say("heart-beat timeout: %d s\n", seconds); }

void on_order_accept(void*, HUX_OrderAcceptField* r) {
    say("order accept: tag %d, token %d, order %lld, %.17s %.20s side %u, %d @ %.4f\n", r->request_tag,
        r->client_token, static_cast<long long>(r->order_no), r->account, r->symbol, r->side, r->quantity, r->price);
    note_answer(r->request_tag, true, r->order_no);
}

void on_order_reject(void*, HUX_OrderRejectField* r) {
    say("order reject: tag %d, token %d, reason %u \"%s\" \"%s\"\n", r->request_tag, r->client_token, r->reason,
        r->reason_text_1, r->reason_text_2);
    note_answer(r->request_tag, false, r->order_no);
}

void on_order_market_accept(void*, HUX_OrderMarketAcceptField* r) {
    say("order market accept: tag %d, token %d, exchange order id \"%s\"\n", r->request_tag, r->client_token,
        r->exchange_order_id);
}

void on_order_market_reject(void*, HUX_OrderMarketRejectField* r) {
    say("order market reject: tag %d, token %d, code %d \"%s\"\n", r->request_tag, r->client_token, r->reason_code,
        r->reason_text);
}

void on_order_action_accept(void*, HUX_OrderActionAccept* r) {
    say("order cancel accept: tag %d, order %lld, market token %d, owner %d/%d\n", r->request_tag,
        static_cast<long long>(r->order_no), r->market_token, r->owner_user_id, r->owner_token);
    note_answer(r->request_tag, true, r->order_no);
}

void on_order_action_reject(void*, HUX_OrderActionRej* r) {
    say("order cancel reject: tag %d, order %lld, mask %u \"%s\"\n", r->request_tag,
        static_cast<long long>(r->order_no), r->reason_mask, r->reason_text);
    note_answer(r->request_tag, false, r->order_no);
}

void on_order_action_market_accept(void*, HUX_OrderActionMarketAcceptField* r) {
    say("order cancel market accept: tag %d, market token %d, token %d\n", r->request_tag, r->market_token,
        r->client_token);
}

void on_order_action_market_reject(void*, HUX_OrderActionMarketRejectField* r) {
    say("order cancel market reject: tag %d, market token %d, code %d \"%s\"\n", r->request_tag, r->market_token,
        r->reason_code, r->reason_text);
}

void on_order_execution(void*, HUX_OrderExecutionField* r) {
    say("execution: order %lld, %.20s %d @ %.4f\n", static_cast<long long>(r->order_no), r->symbol,
        r->filled_quantity, r->fill_price);
    {
        std::lock_guard<std::mutex> lock(g.m);
        ++g.executions;
    }
    g.cv.notify_all();
}

void on_order_market_report(void*, HUX_OrderMarketReportField* r) {
    say("order market report: tag %d, token %d, %.20s %d @ %.4f\n", r->request_tag, r->client_token, r->symbol,
        r->quantity, r->price);
}

void on_post_order(void*, HUX_PostOrder* r) {
    say("posted order: tag %d, token %d, %.20s %d @ %.4f\n", r->request_tag, r->client_token, r->symbol, r->quantity,
        r->price);
}

void on_post_order_execution(void*, HUX_PostOrderExecution* r) {
    say("posted order execution: order %lld, %.20s %d @ %.4f\n", static_cast<long long>(r->order_no), r->symbol,
        r->filled_quantity, r->fill_price);
}

void on_post_special_order(void*, HUX_PostSpecialOrder* r) {
    say("posted special order: token %d, %.20s\n", r->client_token, r->symbol);
}

void on_internal_order(void*, HUX_InternalOrder* r) {
    say("internal order: tag %d, order %lld, %.20s %d @ %.4f\n", r->request_tag, static_cast<long long>(r->order_no),
        r->symbol, r->quantity, r->price);
}

void on_internal_order_adjust_status(void*, HUX_InternalOrderAdjustStatus* r) {
    say("internal order status: tag %d, exchange order id \"%s\"\n", r->request_tag, r->exchange_order_id);
}

void on_internal_order_execution(void*, HUX_InternalOrderExecution* r) {
    say("internal order execution: %d @ %.4f\n", r->filled_quantity, r->fill_price);
}

void on_internal_order_adjust_mkt_rej(void*, HUX_InternalOrderAdjustMktRej* r) {
    say("internal order market reject: tag %d, token %d, code %d\n", r->request_tag, r->client_token, r->reason_code);
}

void on_internal_quote_adjust_status(void*, HUX_InternalQuoteAdjustStatus* r) {
    say("internal quote status: %.17s\n", r->account);
}

void on_internal_quote_adjust_mkt_rej(void*, HUX_InternalQuoteAdjustMktRej* r) {
    say("internal quote market reject: %.17s, code %d\n", r->account, r->reason_code);
}

void on_quote_accept(void*, HUX_QuoteAcceptField* r) {
    say("quote accept: tag %d, token %d, %.17s %.20s %d @ %.4f / %d @ %.4f\n", r->request_tag, r->client_token,
        r->account, r->symbol, r->quantity_1, r->price_1, r->quantity_2, r->price_2);
    note_answer(r->request_tag, true, 0);
}

void on_quote_reject(void*, HUX_QuoteRejectField* r) {
    say("quote reject: tag %d, token %d, reason %u \"%s\" \"%s\"\n", r->request_tag, r->client_token, r->reason,
        r->reason_text_1, r->reason_text_2);
    note_answer(r->request_tag, false, 0);
}

void on_quote_market_accept(void*, HUX_QuoteMarketAcceptField* r) {
    say("quote market accept: tag %d, token %d, identifier \"%s\"\n", r->request_tag, r->client_token, r->identifier);
}

void on_quote_market_reject(void*, HUX_QuoteMarketRejectField* r) {
    say("quote market reject: tag %d, token %d, code %d \"%s\"\n", r->request_tag, r->client_token, r->reason_code,
        r->reason_text);
}

void on_quote_market_report(void*, HUX_QuoteMarketReportField* r) {
    say("quote market report: tag %d, token %d, %.20s %d @ %.4f / %d @ %.4f\n", r->request_tag, r->client_token,
        r->symbol, r->quantity_1, r->price_1, r->quantity_2, r->price_2);
}

void on_post_quote(void*, HUX_PostQuote* r) {
    say("posted quote: tag %d, %.20s %d @ %.4f / %d @ %.4f\n", r->request_tag, r->symbol, r->quantity_1, r->price_1,
        r->quantity_2, r->price_2);
}

void on_quote_action_accept(void*, HUX_QuoteActionAccept* r) {
    say("quote action accept: tag %d, mode %u, flag %u, market token %d, owner %d/%d\n", r->request_tag,
        r->cancel_mode, r->flag, r->market_token, r->owner_user_id, r->owner_token);
    note_answer(r->request_tag, true, r->field_48);
}

void on_quote_action_reject(void*, HUX_QuoteActionRej* r) {
    say("quote action reject: tag %d, mask %u \"%s\"\n", r->request_tag, r->reason_mask, r->reason_text);
    note_answer(r->request_tag, false, r->field_48);
}

void on_quote_action_market_accept(void*, HUX_QuoteActionMarketAcceptField* r) {
    say("quote action market accept: tag %d, token %d\n", r->request_tag, r->client_token);
}

void on_quote_action_market_reject(void*, HUX_QuoteActionMarketRejectField* r) {
    say("quote action market reject: tag %d, code %d \"%s\"\n", r->request_tag, r->reason_code, r->reason_text);
}

void on_combo_accept(void*, HUX_ComboAcceptField* r) {
    say("combination accept: tag %d, token %d, %.17s legs \"%.80s\"\n", r->request_tag, r->client_token, r->account,
        r->legs);
    note_answer(r->request_tag, true, 0);
}

void on_combo_reject(void*, HUX_ComboRejectField* r) {
    say("combination reject: tag %d, token %d, reason %u \"%s\" \"%s\"\n", r->request_tag, r->client_token,
        r->reason, r->reason_text_1, r->reason_text_2);
    note_answer(r->request_tag, false, 0);
}

void on_combo_market_accept(void*, HUX_ComboMarketAcceptField* r) {
    say("combination market accept: tag %d, token %d\n", r->request_tag, r->client_token);
}

void on_combo_market_reject(void*, HUX_ComboMarketRejectField* r) {
    say("combination market reject: tag %d, token %d, code %d \"%s\"\n", r->request_tag, r->client_token,
        r->reason_code, r->reason_text);
}

void on_special_order_accept(void*, HUX_SpecialOrderAcceptField* r) {
    say("special order accept: tag %d, token %d, %.17s %.21s\n", r->request_tag, r->client_token, r->account,
        r->symbol);
    note_answer(r->request_tag, true, 0);
}

void on_special_order_reject(void*, HUX_SpecialOrderRejectField* r) {
    say("special order reject: tag %d, token %d, reason %u \"%s\" \"%s\"\n", r->request_tag, r->client_token,
        r->reason, r->reason_text_1, r->reason_text_2);
    note_answer(r->request_tag, false, 0);
}

void on_special_order_market_accept(void*, HUX_SpecialOrderMarketAcceptField* r) {
    say("special order market accept: tag %d, token %d, exchange order id \"%s\"\n", r->request_tag,
        r->client_token, r->exchange_order_id);
}

void on_special_order_market_reject(void*, HUX_SpecialOrderMarketRejectField* r) {
    say("special order market reject: tag %d, token %d, code %d \"%s\"\n", r->request_tag, r->client_token,
        r->reason_code, r->reason_text);
}

void on_special_order_action_accept(void*, HUX_SpecialOrderActionAccept* r) {
    say("special order cancel accept: tag %d, order %lld, market token %d, owner %d/%d\n", r->request_tag,
        static_cast<long long>(r->order_no), r->market_token, r->owner_user_id, r->owner_token);
    note_answer(r->request_tag, true, r->order_no);
}

void on_special_order_action_reject(void*, HUX_SpecialOrderActionRej* r) {
    say("special order cancel reject: tag %d, mask %u \"%s\"\n", r->request_tag, r->reason_mask, r->reason_text);
    note_answer(r->request_tag, false, r->order_no);
}

void on_special_order_action_market_accept(void*, HUX_SpecialOrderActionMarketAcceptField* r) {
    say("special order cancel market accept: tag %d, token %d\n", r->request_tag, r->client_token);
}

void on_special_order_action_market_reject(void*, HUX_SpecialOrderActionMarketRejectField* r) {
    say("special order cancel market reject: tag %d, code %d \"%s\"\n", r->request_tag, r->reason_code,
        r->reason_text);
}

void on_input_reg_for_quote(void*, HUX_InputRegForQuoteResponse* r) {
    say("request for quote: \"%.24s\" \"%.20s\"\n", r->text24, r->text20);
}

void on_query_market_session(void*, HUX_ExchangeMarketSession* r, bool last) {
    say("market sessions: exchange %u, %u sessions%s\n", r->exchange_id, r->session_count, last ? " (last)" : "");
}

void on_market_session_stat(void*, uint8_t session, bool flag) {
    say("market session report: session %u, flag %d\n", session, flag ? 1 : 0);
}

void on_query_symbol_status(void*, HUX_SymbolStatus* r, bool last) {
    say("symbol status: %.20s value %d \"%.9s\"%s\n", r->symbol, r->value, r->short_text, last ? " (last)" : "");
}

void on_symbol_status_report(void*, HUX_SymbolStatus* r) {
    say("symbol status report: %.20s value %d \"%.9s\"\n", r->symbol, r->value, r->short_text);
}

void on_prod_status_report(void*, HUX_ProdStatus* r) {
    say("product status report: %.20s value %d \"%.9s\"\n", r->product, r->value, r->short_text);
}

void on_query_session_id(void*, HUX_SessionID* r) { say("session id: \"%.17s\"\n", r->session); }

void on_query_account_bp(void*, HUX_AccountBP* r) {
    say("buying power: %.17s, first figure %.4f\n", r->account, r->figures[0]);
}

// Every callback of the C API: 52 setters.
void register_callbacks(void* h) {
    MVHUX_SetConnectionEvent(h, on_connection);
    MVHUX_SetUserLogonEvent(h, on_logon);
    MVHUX_SetHeartBeartTimeoutEvent(h, on_heart_beat_timeout);
    MVHUX_SetOrderAcceptEvent(h, on_order_accept);
    MVHUX_SetComboAcceptEvent(h, on_combo_accept);
    MVHUX_SetSpecialOrderAcceptEvent(h, on_special_order_accept);
    MVHUX_SetQuoteAcceptEvent(h, on_quote_accept);
    MVHUX_SetOrderMarketAcceptEvent(h, on_order_market_accept);
    MVHUX_SetComboMarketAcceptEvent(h, on_combo_market_accept);
    MVHUX_SetSpecialOrderMarketAcceptEvent(h, on_special_order_market_accept);
    MVHUX_SetQuoteMarketAcceptEvent(h, on_quote_market_accept);
    MVHUX_SetOrderMarketReportEvent(h, on_order_market_report);
    MVHUX_SetQuoteMarketReportEvent(h, on_quote_market_report);
    MVHUX_SetOrderRejectEvent(h, on_order_reject);
    MVHUX_SetComboRejectEvent(h, on_combo_reject);
    MVHUX_SetSpecialOrderRejectEvent(h, on_special_order_reject);
    MVHUX_SetQuoteRejectEvent(h, on_quote_reject);
    MVHUX_SetOrderMarketRejectEvent(h, on_order_market_reject);
    MVHUX_SetComboMarketRejectEvent(h, on_combo_market_reject);
    MVHUX_SetSpecialOrderMarketRejectEvent(h, on_special_order_market_reject);
    MVHUX_SetQuoteMarketRejectEvent(h, on_quote_market_reject);
    MVHUX_SetOrderActionMarketAcceptEvent(h, on_order_action_market_accept);
    MVHUX_SetSpecialOrderActionMarketAcceptEvent(h, on_special_order_action_market_accept);
    MVHUX_SetQuoteActionMarketAcceptEvent(h, on_quote_action_market_accept);
    MVHUX_SetOrderActionMarketRejectEvent(h, on_order_action_market_reject);
    MVHUX_SetSpecialOrderActionMarketRejectEvent(h, on_special_order_action_market_reject);
    MVHUX_SetQuoteActionMarketRejectEvent(h, on_quote_action_market_reject);
    MVHUX_SetOrderExecutionEvent(h, on_order_execution);
    MVHUX_SetOrderActionAcceptEvent(h, on_order_action_accept);
    MVHUX_SetSpecialOrderActionAcceptEvent(h, on_special_order_action_accept);
    MVHUX_SetQuoteActionAcceptEvent(h, on_quote_action_accept);
    MVHUX_SetOrderActionRejectEvent(h, on_order_action_reject);
    MVHUX_SetSpecialOrderActionRejectEvent(h, on_special_order_action_reject);
    MVHUX_SetQuoteActionRejectEvent(h, on_quote_action_reject);
    MVHUX_SetInputRegForQuoteEvent(h, on_input_reg_for_quote);
    MVHUX_SetPostOrderEvent(h, on_post_order);
    MVHUX_SetPostSpecialOrderEvent(h, on_post_special_order);
    MVHUX_SetPostQuoteEvent(h, on_post_quote);
    MVHUX_SetPostOrderExecutionEvent(h, on_post_order_execution);
    MVHUX_SetInternalOrderEvent(h, on_internal_order);
    MVHUX_SetInternalOrderAdjustStatusEvent(h, on_internal_order_adjust_status);
    MVHUX_SetInternalOrderExecutionEvent(h, on_internal_order_execution);
    MVHUX_SetInternalOrderAdjustMktRejEvent(h, on_internal_order_adjust_mkt_rej);
    MVHUX_SetInternalQuoteAdjustStatusEvent(h, on_internal_quote_adjust_status);
    MVHUX_SetInternalQuoteAdjustMktRejEvent(h, on_internal_quote_adjust_mkt_rej);
    MVHUX_SetQueryMarketSessionEvent(h, on_query_market_session);
    MVHUX_SetMarketSessionStatReportEvent(h, on_market_session_stat);
    MVHUX_SetQuerySymbolStatusEvent(h, on_query_symbol_status);
    MVHUX_SetSymbolStatusReportEvent(h, on_symbol_status_report);
    MVHUX_SetProdStatusReportEvent(h, on_prod_status_report);
    MVHUX_SetQuerySessionIDEvent(h, on_query_session_id);
    MVHUX_SetQueryOtAccountBPEvent(h, on_query_account_bp);
}

// ---------------------------------------------------------------- requests

void copy_text(char* dst, size_t size, const char* text) {
    memset(dst, 0, size);
    strncpy(dst, text, size - 1);
}

HUX_EnterOrderField make_order(int32_t tag, uint32_t token, const char* symbol, uint8_t side, double price,
                               uint32_t quantity) {
    HUX_EnterOrderField o;
    memset(&o, 0, sizeof(o));
    o.request_tag = static_cast<uint32_t>(tag);
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

// The result of one request call: 0 goes on to wait for the answer.
bool sent(int rc, const char* what, int32_t tag) {
    if (rc == HUX_RESULT_OK) return true;
    printf("FAILED: the %s (tag %d) was refused with code %d\n", what, tag, rc);
    return false;
}

// Sends the scripted requests one at a time, each answered before the next.
bool run_script(void* h, uint32_t first_token) {
    uint32_t token = first_token;

    // Two orders; the first is cancelled by its market token (the low 32
    // bits of its order number), the second by its owner token.
    HUX_EnterOrderField buy = make_order(1, token++, symbol_names[0], 1, 4000.5, 2);
    if (!sent(MVHUX_EnterOrder(h, &buy, false), "buy order", 1) || !wait_answer(1, "buy order")) return false;
    HUX_EnterOrderField sell = make_order(2, token++, symbol_names[1], 2, 4010.25, 3);
    if (!sent(MVHUX_EnterOrder(h, &sell, false), "sell order", 2) || !wait_answer(2, "sell order")) return false;

    HUX_EnterQuoteField quote;
    memset(&quote, 0, sizeof(quote));
    quote.request_tag = 3;
    copy_text(quote.account, sizeof(quote.account), account_name);
    copy_text(quote.symbol, sizeof(quote.symbol), symbol_names[2]);
    quote.exchange_id = exchange;
    quote.client_token = token++;
    quote.price_1 = 12.5;
    quote.quantity_1 = 5;
    quote.price_2 = 13.0;
    quote.quantity_2 = 5;
    if (!sent(MVHUX_EnterQuote(h, &quote, false), "quote", 3) || !wait_answer(3, "quote")) return false;

    HUX_CancelOrder by_market;
    memset(&by_market, 0, sizeof(by_market));
    by_market.request_tag = 4;
    by_market.market_token = static_cast<uint32_t>(slot(1).order_no);
    if (!sent(MVHUX_CancelOrder(h, &by_market), "cancel by market token", 4) ||
        !wait_answer(4, "cancel by market token")) {
        return false;
    }
    HUX_CancelOrder by_owner;
    memset(&by_owner, 0, sizeof(by_owner));
    by_owner.request_tag = 5;
    by_owner.cancel_mode = 1;
    by_owner.owner_token = sell.client_token;
    if (!sent(MVHUX_CancelOrder(h, &by_owner), "cancel by owner token", 5) ||
        !wait_answer(5, "cancel by owner token")) {
        return false;
    }

    HUX_QuoteAction action;
    memset(&action, 0, sizeof(action));
    action.request_tag = 6;
    action.cancel_mode = 1;
    action.owner_token = quote.client_token;
    if (!sent(MVHUX_QuoteAction(h, &action), "quote action", 6) || !wait_answer(6, "quote action")) return false;

    // Combination and special orders and the simple forms are not offered
    // by a qv27 server (code 23): then they are skipped.
    HUX_EnterComboField combo;
    memset(&combo, 0, sizeof(combo));
    combo.request_tag = 7;
    copy_text(combo.account, sizeof(combo.account), account_name);
    combo.exchange_id = exchange;
    snprintf(reinterpret_cast<char*>(combo.legs), sizeof(combo.legs), "%s/%s", symbol_names[0], symbol_names[1]);
    combo.client_token = token++;
    int rc = MVHUX_EnterCombo(h, &combo);
    if (rc == HUX_RESULT_NOT_ON_QV27) {
        printf("qv27 server: combination, special and simple orders skipped\n");
        return true;
    }
    if (!sent(rc, "combination order", 7) || !wait_answer(7, "combination order")) return false;

    HUX_EnterSpecialOrderField special;
    memset(&special, 0, sizeof(special));
    special.request_tag = 8;
    copy_text(special.account, sizeof(special.account), account_name);
    special.exchange_id = exchange;
    copy_text(special.symbol, sizeof(special.symbol), symbol_names[0]);
    special.client_token = token++;
    if (!sent(MVHUX_EnterSpecialOrder(h, &special), "special order", 8) || !wait_answer(8, "special order")) {
        return false;
    }
    HUX_CancelSpecialOrder special_cancel;
    memset(&special_cancel, 0, sizeof(special_cancel));
    special_cancel.request_tag = 9;
    special_cancel.cancel_mode = 1;
    special_cancel.owner_token = special.client_token;
    if (!sent(MVHUX_CancelSpecialOrder(h, &special_cancel), "special-order cancel", 9) ||
        !wait_answer(9, "special-order cancel")) {
        return false;
    }

    HUX_EnterOrderSimpleField simple;
    memset(&simple, 0, sizeof(simple));
    simple.request_tag = 10;
    simple.exchange_id = exchange;
    simple.side = 1;
    simple.client_token = token++;
    simple.quantity = 1;
    simple.price = 4001.0;
    if (!sent(MVHUX_EnterSimpleOrder(h, &simple, account_name, symbol_names[0]), "simple order", 10) ||
        !wait_answer(10, "simple order")) {
        return false;
    }
    HUX_EnterQuoteSimpleField simple_quote;
    memset(&simple_quote, 0, sizeof(simple_quote));
    simple_quote.request_tag = 11;
    simple_quote.exchange_id = exchange;
    simple_quote.client_token = token++;
    simple_quote.quantity_1 = 1;
    simple_quote.quantity_2 = 1;
    simple_quote.price_1 = 4000.0;
    simple_quote.price_2 = 4002.0;
    if (!sent(MVHUX_EnterSimpleQuote(h, &simple_quote, account_name, symbol_names[0]), "simple quote", 11) ||
        !wait_answer(11, "simple quote")) {
        return false;
    }
    return true;
}

// Sends timed_orders orders one at a time; each must be accepted before the
// next goes. Prints count, p50 and p99 of the round trips.
bool run_timed(void* h, uint32_t first_token) {
    std::vector<double> us;
    us.reserve(timed_orders);
    g_quiet.store(true);
    bool ok = true;
    for (int i = 0; i < timed_orders && ok; ++i) {
        const int32_t tag = timed_tag_base + i;
        HUX_EnterOrderField o = make_order(tag, first_token + static_cast<uint32_t>(i), symbol_names[i % 2],
                                           static_cast<uint8_t>(1 + i % 2), 4000.0 + 0.25 * i, 1);
        const steady::time_point t0 = steady::now();
        const int rc = MVHUX_EnterOrder(h, &o, false);
        if (rc != HUX_RESULT_OK) {
            g_quiet.store(false);
            ok = sent(rc, "timed order", tag);
            break;
        }
        if (!wait_for([tag] { return g.slots[tag].done; })) {
            g_quiet.store(false);
            ok = wait_answer(tag, "timed order");
            break;
        }
        const answer_slot s = slot(tag);
        if (!s.accepted) {
            g_quiet.store(false);
            printf("FAILED: timed order (tag %d) rejected\n", tag);
            ok = false;
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(s.at - t0).count());
    }
    g_quiet.store(false);
    if (!ok) return false;
    std::sort(us.begin(), us.end());
    const size_t n = us.size();
    printf("round trip: MVHUX_EnterOrder to the order-accept callback, steady clock, one order in flight\n");
    printf("round trip count: %zu orders (%ld callback lines not printed while timing)\n", n, g_quiet_lines.load());
    printf("round trip p50: %.1f us\n", us[(n - 1) / 2]);
    printf("round trip p99: %.1f us\n", us[(n * 99 + 99) / 100 - 1]);
    printf("round trip max: %.1f us\n", us[n - 1]);
    return true;
}

bool parse_server(const std::string& text, std::string& ip, uint16_t& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
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

// The simulated server's settings for the in-process run; the same as
// demo/sim-demo.script for the standalone one.
hux_sim::sim_config demo_config(const std::string& password) {
    hux_sim::sim_config cfg;
    cfg.password = password;
    cfg.user_id = 4242;
    cfg.max_token = 1000;
    cfg.order_fc_count = 10000;
    cfg.order_fc_window_us = 1000000;
    cfg.cancel_fc_count = 1000;
    cfg.cancel_fc_window_us = 1000000;
    cfg.heart_beat_timeout = 10;
    cfg.symbols = {{"HXF2612", 1}, {"HXF2703", 2}, {"HXO2612C4000", 3}};
    cfg.accounts = {{"ACC001", 1}, {"ACC002", 2}};
    // Each order is accepted and filled short by one lot, so that the
    // cancels have something left to cancel; an order of one lot gets no fill.
    cfg.order_answer = hux_sim::order_mode::partial;
    cfg.order_fill_parts = 1;
    return cfg;
}

// Connects, logs on, runs both phases; the caller disconnects.
bool run(void* h, const std::string& ip, uint16_t port, const std::string& user, const std::string& password) {
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    copy_text(info.server_ip, sizeof(info.server_ip), ip.c_str());
    info.tcp_port = port;
    info.heartbeat_interval = 1;
    info.rsp_cpu = -1;
    info.symbol_idx_page_size = 2;
    int rc = MVHUX_ConnServer(h, &info, false);
    if (rc != HUX_RESULT_OK) {
        printf("FAILED: connect to %s:%u, code %d\n", ip.c_str(), static_cast<unsigned>(port), rc);
        return false;
    }
    if (!wait_for([] { return g.connected; })) {
        printf("FAILED: no connection event\n");
        return false;
    }
    rc = MVHUX_UserLogon(h, user.c_str(), password.c_str(), "hux-demo-app", "DEMOAUTH0001");
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
    // Client tokens must rise above the account's maximum token.
    const int32_t max_token = r.max_token;  // by value: the record is packed
    const uint32_t first_token = static_cast<uint32_t>(max_token > 0 ? max_token : 0) + 1;
    if (!run_script(h, first_token)) return false;
    if (!run_timed(h, first_token + 100)) return false;

    // The server writes an order's executions right after its accept, before
    // it reads the next request, so every execution of the scripted orders
    // has been printed by now.
    int executions = 0;
    {
        std::lock_guard<std::mutex> lock(g.m);
        executions = g.executions;
    }
    printf("executions received: %d\n", executions);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string server;
    std::string user = "demo_user";
    std::string password = "demo_pass";
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) {
            fprintf(stderr, "usage: %s [--server IP:PORT] [--user ID] [--password PW]\n", argv[0]);
            return 2;
        }
        if (!strcmp(argv[i], "--server")) {
            server = argv[i + 1];
        } else if (!strcmp(argv[i], "--user")) {
            user = argv[i + 1];
        } else if (!strcmp(argv[i], "--password")) {
            password = argv[i + 1];
        } else {
            fprintf(stderr, "usage: %s [--server IP:PORT] [--user ID] [--password PW]\n", argv[0]);
            return 2;
        }
    }

    std::unique_ptr<hux_sim::sim_trade_server> sim;
    std::string ip = "127.0.0.1";
    uint16_t port = 0;
    if (server.empty()) {
        sim.reset(new hux_sim::sim_trade_server());
        if (!sim->listening() || !sim->set_config(demo_config(password))) {
            fprintf(stderr, "cannot start the simulated server\n");
            return 1;
        }
        port = sim->port();
        printf("simulated trade server on 127.0.0.1:%u\n", static_cast<unsigned>(port));
    } else if (!parse_server(server, ip, port)) {
        fprintf(stderr, "--server takes IP:PORT (port 1..65535)\n");
        return 2;
    }

    void* h = MVHUX_CreateTrade(nullptr);
    register_callbacks(h);
    const bool ok = run(h, ip, port, user, password);
    MVHUX_DisConnServer(h);
    MVHUX_DestroyTrade(h);
    printf("logged off and disconnected\n");
    fflush(stdout);
    return ok ? 0 : 1;
}

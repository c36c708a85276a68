// Every handler here reads the message at the byte offsets of the wire (the
// route table guarantees the message's whole fixed length), splits accept
// from reject by the message's verdict field and fills the adapter's record.
// Accept and report paths copy fields; reject paths also build the reason
// texts. Records are zeroed first, except the three whose every byte is
// written (HUX_OrderCxled, HUX_SpecialOrderActionAccept,
// HUX_SpecialOrderActionMarketAcceptField).
#include "adapter/adapter_trade_answers.h"

#include <cstring>
#include <string>

#include "tools/char_set.h"
#include "trade_core/trade_wire.h"

namespace HUX_ADAPTER {

using HUX_TRADE_CORE::msg_handler;
using HUX_TRADE_CORE::msg_route;
using HUX_TRADE_CORE::msg_route_table;

namespace {

const double PRICE_SCALE = 10000.0;
const size_t ACCOUNT_WIRE = 16;
const size_t SYMBOL_WIRE = 20;
const size_t ORDER_ID_WIRE = 24;
const size_t EXCHANGE_TEXT_WIRE = 81;
const size_t EXCHANGE_TEXT_KEPT = 80;  // UTF-8 bytes kept of it, then a NUL
const size_t EXEC_TEXT_WIRE = 24;

// ---- wire readers (little-endian, any alignment) ----

inline uint8_t u8_at(const unsigned char* m, size_t off) { return m[off]; }

inline uint32_t u32_at(const unsigned char* m, size_t off) {
    uint32_t v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline int64_t i64_at(const unsigned char* m, size_t off) {
    int64_t v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline double price_at(const unsigned char* m, size_t off) {
    return static_cast<double>(i64_at(m, off)) / PRICE_SCALE;
}

template <size_t N>
inline void bytes_at(uint8_t (&dst)[N], const unsigned char* m, size_t off) {
    memcpy(dst, m + off, N);
}

// ---- text copies ----

// The whole wire field into a field one byte wider, whose last byte is set
// to 0 (the record need not have been zeroed).
template <size_t N>
void copy_terminated(char (&dst)[N], const unsigned char* m, size_t off) {
    memcpy(dst, m + off, N - 1);
    dst[N - 1] = '\0';
}

// The bytes before the wire text's first NUL, never past the wire field nor
// past the record field; the rest of the (zeroed) record field stays 0.
template <size_t N>
void copy_upto_nul(char (&dst)[N], const unsigned char* m, size_t off, size_t wire_width) {
    const char* src = reinterpret_cast<const char*>(m + off);
    memcpy(dst, src, strnlen(src, N < wire_width ? N : wire_width));
}

// At most N - 1 characters of the wire text (never past its field) and a NUL.
template <size_t N>
void bounded_copy(char (&dst)[N], const unsigned char* m, size_t off, size_t wire_width) {
    const char* src = reinterpret_cast<const char*>(m + off);
    const size_t n = strnlen(src, N - 1 < wire_width ? N - 1 : wire_width);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// The exchange's GB2312 reason text (81 wire bytes, not necessarily
// terminated) as UTF-8: conversion reads up to the field's first NUL or its
// end, the result is cut to 80 bytes (byte-wise) and terminated; the rest of
// the (zeroed) record field stays 0.
template <size_t N>
void exchange_text(char (&dst)[N], const unsigned char* m, size_t off) {
    static_assert(N > EXCHANGE_TEXT_KEPT, "the field holds the kept text and its NUL");
    const char* src = reinterpret_cast<const char*>(m + off);
    const std::string gb2312(src, strnlen(src, EXCHANGE_TEXT_WIRE));
    std::string utf8;
    MORVAST::TOOLS::convert_gb2312_to_utf8(gb2312.c_str(), utf8);
    const size_t keep = utf8.size() < EXCHANGE_TEXT_KEPT ? utf8.size() : EXCHANGE_TEXT_KEPT;
    memcpy(dst, utf8.data(), keep);
    dst[keep] = '\0';
}

// 2 for a symbol of at least 8 characters whose last is a digit, else 3.
uint8_t symbol_kind(const char* symbol, size_t width) {
    const size_t n = strnlen(symbol, width);
    return n >= 8 && symbol[n - 1] >= '0' && symbol[n - 1] <= '9' ? 2 : 3;
}

// The request's one-byte opt_1 in the adapter's coding.
uint32_t adapter_opt_1(uint8_t wire) {
    switch (wire) {
        case 1: return 0;
        case 2: return 2;
        case 0: return 99998;
        default: return 0;
    }
}

adapter_answer_context* context_of(void* p) { return static_cast<adapter_answer_context*>(p); }

template <class R>
void zero(R& r) {
    memset(&r, 0, sizeof(r));
}

// ---------------------------------------------------------------- orders

// 1010: verdict at 100.
void on_order_insert(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t verdict = u32_at(m, 100);
    if (verdict == 0) {
        HUX_OrderAcceptEvent cb = c->events.OrderAccept.load();
        if (!cb) return;
        HUX_OrderAcceptField r;
        zero(r);
        r.client_token = u32_at(m, 20);
        r.server_order_field = u32_at(m, 56);
        r.user_id = u8_at(m, 8);
        r.order_no = i64_at(m, 104);
        copy_terminated(r.account, m, 60);
        r.side = u8_at(m, 17);
        r.exchange_id = u8_at(m, 12);
        copy_upto_nul(r.symbol, m, 76, SYMBOL_WIRE);
        r.symbol_kind = symbol_kind(r.symbol, sizeof(r.symbol));
        r.price = price_at(m, 32);
        r.quantity = u32_at(m, 24);
        r.opt_1 = adapter_opt_1(u8_at(m, 19));
        r.opt_2 = u32_at(m, 28);
        r.opt_3 = u32_at(m, 52);
        r.opt_4 = u8_at(m, 13);
        r.opt_5 = u8_at(m, 18);
        cb(c->owner, &r);
        return;
    }
    HUX_OrderRejectEvent cb = c->events.OrderReject.load();
    if (!cb) return;
    HUX_OrderRejectField r;
    zero(r);
    r.user_id = u8_at(m, 8);
    r.order_no = i64_at(m, 104);
    r.client_token = u32_at(m, 20);
    r.result_flag = 1;
    c->texts.order_reject(verdict, r);
    cb(c->owner, &r);
}

// 1012: verdict (the exchange's reason code) at 132.
void on_order_insert_market(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t verdict = u32_at(m, 132);
    if (verdict == 0) {
        HUX_OrderMarketAcceptEvent cb = c->events.OrderMarketAccept.load();
        if (!cb) return;
        HUX_OrderMarketAcceptField r;
        zero(r);
        copy_terminated(r.account, m, 60);
        r.server_order_field = u32_at(m, 56);
        copy_terminated(r.exchange_order_id, m, 100);
        bytes_at(r.exchange_value, m, 217);
        r.user_id = u8_at(m, 8);
        r.client_token = u32_at(m, 20);
        cb(c->owner, &r);
        return;
    }
    HUX_OrderMarketRejectEvent cb = c->events.OrderMarketReject.load();
    if (!cb) return;
    HUX_OrderMarketRejectField r;
    zero(r);
    copy_terminated(r.account, m, 60);
    r.server_order_field = u32_at(m, 56);
    bytes_at(r.value_217, m, 217);
    exchange_text(r.reason_text, m, 136);
    r.exchange_id = u8_at(m, 12);
    r.reason_code = verdict;
    r.user_id = u8_at(m, 8);
    r.client_token = u32_at(m, 20);
    cb(c->owner, &r);
}

// 1011: verdict (a mask of failed cancel checks) at 44; an accept does nothing.
void on_order_action(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t mask = u32_at(m, 44);
    if (mask == 0) return;
    HUX_CxlOrderRejectEvent cb = c->events.CxlOrderReject.load();
    if (!cb) return;
    HUX_CxlOrderRej r;
    zero(r);
    r.market_token = u32_at(m, 16);
    r.reason_code = c->texts.cancel_reject(mask, r.reason_text);
    r.user_id = u32_at(m, 8);
    r.client_token = u32_at(m, 12);
    r.opt_3 = u8_at(m, 30);
    cb(c->owner, &r);
}

// 1013: verdict (the exchange's reason code) at 44; an accept does nothing.
void on_order_action_market(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t code = u32_at(m, 44);
    if (code == 0) return;
    HUX_CxlOrderRejectEvent cb = c->events.CxlOrderReject.load();
    if (!cb) return;
    HUX_CxlOrderRej r;
    zero(r);
    r.market_token = u32_at(m, 16);
    r.reason_code = code;
    exchange_text(r.reason_text, m, 48);
    r.user_id = u32_at(m, 8);
    r.client_token = u32_at(m, 12);
    r.exchange_id = u8_at(m, 138);
    r.opt_3 = u8_at(m, 30);
    cb(c->owner, &r);
}

// 1014: a fill of an order of this session.
void on_order_execution(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_OrderExecutionEvent cb = c->events.OrderExecution.load();
    if (!cb) return;
    HUX_OrderExecutionField r;
    zero(r);
    r.field_133 = u8_at(m, 133);
    r.order_no = i64_at(m, 32);
    r.field_42 = u32_at(m, 42);
    r.field_46 = u32_at(m, 46);
    r.filled_quantity = u32_at(m, 74);
    r.fill_price = price_at(m, 78);
    bounded_copy(r.text_86, m, 86, EXEC_TEXT_WIRE);
    cb(c->owner, &r);
}

// 1017 (another session's order) and 2203 (a server-internal order).
void post_execution(adapter_answer_context* c, const unsigned char* m, bool internal) {
    HUX_PostOrderExecutionEvent cb = c->events.PostOrderExecution.load();
    if (!cb) return;
    HUX_PostOrderExecution r;
    zero(r);
    r.field_133 = u8_at(m, 133);
    r.order_no = i64_at(m, 32);
    r.field_46 = u32_at(m, 46);
    r.filled_quantity = u32_at(m, 74);
    r.fill_price = price_at(m, 78);
    if (internal) r.filled_quantity_2 = r.filled_quantity;
    bounded_copy(r.text_86, m, 86, EXEC_TEXT_WIRE);
    cb(c->owner, &r);
}

void on_post_execution(void* p, const unsigned char* m) { post_execution(context_of(p), m, false); }
void on_internal_execution(void* p, const unsigned char* m) { post_execution(context_of(p), m, true); }

// Cancelled order (1015 or 1016 with status 4): every byte written.
void order_cancelled(adapter_answer_context* c, const unsigned char* m) {
    HUX_OrderCxledEvent cb = c->events.OrderCxled.load();
    if (!cb) return;
    HUX_OrderCxled r;
    r.user_id = u8_at(m, 8);
    bytes_at(r.value_142, m, 142);
    r.client_token = u32_at(m, 20);
    r.server_order_field = u32_at(m, 56);
    r.field_130 = u32_at(m, 130);
    r.result_flag = 1;
    cb(c->owner, &r);
}

// The answers that report on an order of this session carry its opt_7 (16)
// as sent: only the character '0' is reported.
inline bool reported(const unsigned char* m) { return u8_at(m, 16) == '0'; }

// 1015: status at 124; 1 to 3 an exchange accept, 4 a cancel, others nothing.
void on_order_market_report(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    if (!reported(m)) return;
    const uint8_t status = u8_at(m, 124);
    if (status == 4) {
        order_cancelled(c, m);
        return;
    }
    if (status < 1 || status > 3) return;
    HUX_OrderMarketAcceptEvent cb = c->events.OrderMarketAccept.load();
    if (!cb) return;
    HUX_OrderMarketAcceptField r;
    zero(r);
    copy_terminated(r.account, m, 60);
    r.server_order_field = u32_at(m, 56);
    copy_terminated(r.exchange_order_id, m, 100);
    bytes_at(r.exchange_value, m, 134);
    r.user_id = u8_at(m, 8);
    r.client_token = u32_at(m, 20);
    r.status = status;
    cb(c->owner, &r);
}

enum post_order_source { POST_FROM_SESSION, POST_FROM_INSERT, POST_FROM_ADJUST };

// HUX_PostOrder from 1016, 2201 or 2202.
void post_order(adapter_answer_context* c, const unsigned char* m, post_order_source from) {
    HUX_PostOrderEvent cb = c->events.PostOrder.load();
    if (!cb) return;
    HUX_PostOrder r;
    zero(r);
    r.user_id = u8_at(m, 8);
    bytes_at(r.order_value, m, from == POST_FROM_SESSION ? 142 : from == POST_FROM_INSERT ? 104 : 134);
    r.server_order_field = u32_at(m, 56);
    r.side = u8_at(m, 17);
    r.quantity = u32_at(m, 24);
    copy_upto_nul(r.symbol, m, 76, SYMBOL_WIRE);
    if (from != POST_FROM_ADJUST) r.symbol_kind = symbol_kind(r.symbol, sizeof(r.symbol));
    r.price = price_at(m, 32);
    copy_terminated(r.account, m, 60);
    r.exchange_id = u8_at(m, 12);
    if (from != POST_FROM_INSERT) r.status = u8_at(m, 124);
    copy_terminated(r.exchange_order_id, m, from == POST_FROM_INSERT ? 120 : 100);
    r.opt_5 = u8_at(m, 18);
    cb(c->owner, &r);
}

// 1016: status at 124; below 4 a posted order, 4 a cancel, above nothing.
void on_post_order(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    if (!reported(m)) return;
    const uint8_t status = u8_at(m, 124);
    if (status < 4)
        post_order(c, m, POST_FROM_SESSION);
    else if (status == 4)
        order_cancelled(c, m);
}

void on_internal_order_insert(void* p, const unsigned char* m) { post_order(context_of(p), m, POST_FROM_INSERT); }
void on_internal_order_adjust(void* p, const unsigned char* m) { post_order(context_of(p), m, POST_FROM_ADJUST); }

// ---------------------------------------------------------------- special orders

// 1030: verdict at 72.
void on_special_order_insert(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t verdict = u32_at(m, 72);
    if (verdict == 0) {
        HUX_SpecialOrderAcceptEvent cb = c->events.SpecialOrderAccept.load();
        if (!cb) return;
        HUX_SpecialOrderAcceptField r;
        zero(r);
        r.request_tag = u32_at(m, 4);
        r.client_token = u32_at(m, 20);
        r.field_24 = u32_at(m, 24);
        r.user_id = u8_at(m, 8);
        bytes_at(r.value_76, m, 76);
        copy_terminated(r.account, m, 28);
        r.opt_1 = u8_at(m, 16);
        r.opt_2 = u32_at(m, 12);
        copy_upto_nul(r.symbol, m, 44, SYMBOL_WIRE);
        r.opt_4 = u8_at(m, 10);
        r.opt_5 = u8_at(m, 17);
        cb(c->owner, &r);
        return;
    }
    HUX_SpecialOrderRejectEvent cb = c->events.SpecialOrderReject.load();
    if (!cb) return;
    HUX_SpecialOrderRejectField r;
    zero(r);
    r.request_tag = u32_at(m, 4);
    r.user_id = u8_at(m, 8);
    bytes_at(r.value_76, m, 76);
    r.client_token = u32_at(m, 20);
    r.result_flag = 1;
    r.reject_value = verdict;
    c->texts.special_order_reject(verdict, r);
    cb(c->owner, &r);
}

// 1031: verdict (a mask of failed cancel checks) at 44.
void on_special_order_action(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t mask = u32_at(m, 44);
    if (mask == 0) {
        HUX_SpecialOrderActionAcceptEvent cb = c->events.SpecialOrderActionAccept.load();
        if (!cb) return;
        HUX_SpecialOrderActionAccept r;  // every byte written
        r.request_tag = u32_at(m, 4);
        r.user_id = u32_at(m, 8);
        r.order_no = i64_at(m, 48);
        r.owner_token = u32_at(m, 24);
        r.owner_user_id = u32_at(m, 20);
        r.market_token = u32_at(m, 16);
        cb(c->owner, &r);
        return;
    }
    HUX_SpecialOrderActionRejectEvent cb = c->events.SpecialOrderActionRej.load();
    if (!cb) return;
    HUX_SpecialOrderActionRej r;
    zero(r);
    r.request_tag = u32_at(m, 4);
    r.market_token = u32_at(m, 16);
    r.reason_code = c->texts.cancel_reject(mask, r.reason_text);
    r.owner_user_id = u32_at(m, 20);
    r.owner_token = u32_at(m, 24);
    r.order_no = i64_at(m, 48);
    cb(c->owner, &r);
}

// 1032: verdict (the exchange's reason code) at 96.
void on_special_order_insert_market(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t verdict = u32_at(m, 96);
    if (verdict == 0) {
        HUX_SpecialOrderMarketAcceptEvent cb = c->events.SpecialOrderMarketAccept.load();
        if (!cb) return;
        HUX_SpecialOrderMarketAcceptField r;
        zero(r);
        r.request_tag = u32_at(m, 4);
        copy_terminated(r.account, m, 28);
        r.field_24 = u32_at(m, 24);
        copy_terminated(r.exchange_order_id, m, 72);
        bytes_at(r.value_181, m, 181);
        r.user_id = u8_at(m, 8);
        r.client_token = u32_at(m, 20);
        cb(c->owner, &r);
        return;
    }
    HUX_SpecialOrderMarketRejectEvent cb = c->events.SpecialOrderMarketReject.load();
    if (!cb) return;
    HUX_SpecialOrderMarketRejectField r;
    zero(r);
    r.request_tag = u32_at(m, 4);
    copy_terminated(r.account, m, 28);
    r.field_24 = u32_at(m, 24);
    bytes_at(r.value_181, m, 181);
    exchange_text(r.reason_text, m, 100);
    r.reason_code = verdict;
    r.user_id = u8_at(m, 8);
    r.client_token = u32_at(m, 20);
    cb(c->owner, &r);
}

// The eight leading fields that the two 1033 records share.
template <class R>
void special_action_market_head(R& r, const unsigned char* m) {
    r.request_tag = u32_at(m, 4);
    r.market_token = u32_at(m, 16);
    r.user_id = u32_at(m, 8);
    r.client_token = u32_at(m, 12);
    r.cancel_mode = u8_at(m, 30);
    r.owner_user_id = u32_at(m, 20);
    r.owner_token = u32_at(m, 24);
    bytes_at(r.value_129, m, 129);
}

// 1033: verdict (the exchange's reason code) at 44.
void on_special_order_action_market(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    const uint32_t code = u32_at(m, 44);
    if (code == 0) {
        HUX_SpecialOrderActionMarketAcceptEvent cb = c->events.SpecialOrderActionMarketAccept.load();
        if (!cb) return;
        HUX_SpecialOrderActionMarketAcceptField r;  // every byte written
        special_action_market_head(r, m);
        cb(c->owner, &r);
        return;
    }
    HUX_SpecialOrderActionMarketRejectEvent cb = c->events.SpecialOrderActionMarketReject.load();
    if (!cb) return;
    HUX_SpecialOrderActionMarketRejectField r;
    zero(r);
    special_action_market_head(r, m);
    r.reason_code = code;
    exchange_text(r.reason_text, m, 48);
    cb(c->owner, &r);
}

// 1034.
void on_post_special_order(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_PostSpecialOrderEvent cb = c->events.PostSpecialOrder.load();
    if (!cb) return;
    HUX_PostSpecialOrder r;
    zero(r);
    r.field_4 = u32_at(m, 4);
    r.user_id = u8_at(m, 8);
    bytes_at(r.value_97, m, 97);
    r.field_24 = u32_at(m, 24);
    r.field_16 = u8_at(m, 16);
    r.field_12 = u32_at(m, 12);
    copy_upto_nul(r.symbol, m, 44, SYMBOL_WIRE);
    copy_terminated(r.account, m, 28);
    r.field_9 = u8_at(m, 9);
    r.field_96 = u8_at(m, 96);
    copy_terminated(r.exchange_order_id, m, 72);
    r.field_17 = u8_at(m, 17);
    cb(c->owner, &r);
}

// ---------------------------------------------------------------- status

// 1084: the flag is true when byte 13 is 1.
void on_query_market_session(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_QueryMarketSessionEvent cb = c->events.QueryMarketSession.load();
    if (!cb) return;
    HUX_ExchangeMarketSession r;
    zero(r);
    r.exchange_id = u8_at(m, 12);
    r.session_count = u8_at(m, 14);
    bytes_at(r.sessions, m, 15);
    cb(c->owner, &r, u8_at(m, 13) == 1);
}

// 1085: the session byte at 9, the flag true when byte 8 is 1.
void on_market_session_report(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_MarketSessionStatReportEvent cb = c->events.MarketSessionStatReport.load();
    if (!cb) return;
    cb(c->owner, u8_at(m, 9), u8_at(m, 8) == 1);
}

// 1086 and 1087 carry the same fields, 1087's four bytes further on.
void fill_symbol_status(HUX_SymbolStatus& r, const unsigned char* m, size_t base) {
    r.first_field = u8_at(m, base);
    bounded_copy(r.symbol, m, base + 1, 31);
    r.byte_a = u8_at(m, base + 32);
    r.value = u32_at(m, base + 33);
    bounded_copy(r.short_text, m, base + 37, 9);
    r.byte_b = u8_at(m, base + 46);
}

void on_symbol_status_report(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_SymbolStatusReportEvent cb = c->events.SymbolStatusReport.load();
    if (!cb) return;
    HUX_SymbolStatus r;
    zero(r);
    fill_symbol_status(r, m, 8);
    cb(c->owner, &r);
}

// 1087: byte 59 non-zero ends the answers with an empty record and true.
void on_symbol_status_query(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_QuerySymbolStatusEvent cb = c->events.QuerySymbolStatus.load();
    if (!cb) return;
    HUX_SymbolStatus r;
    zero(r);
    const bool last = u8_at(m, 59) != 0;
    if (!last) fill_symbol_status(r, m, 12);
    cb(c->owner, &r, last);
}

// 1094.
void on_session_id(void* p, const unsigned char* m) {
    adapter_answer_context* c = context_of(p);
    HUX_QuerySessionIDEvent cb = c->events.QuerySessionID.load();
    if (!cb) return;
    HUX_SessionID r;
    zero(r);
    bounded_copy(r.session, m, 12, 18);
    r.value_a = u8_at(m, 30);
    r.value_b = u8_at(m, 31);
    cb(c->owner, &r);
}

// ---------------------------------------------------------------- table

struct answer_route {
    uint16_t type;
    uint16_t length;
    bool needs_logon;
    msg_handler handler;
    const char* name;
    const char* invalid_name;  // null for types handled before the logon
};

const answer_route k_routes[] = {
    {1010, 120, true, on_order_insert, "ostrel_client_htos_order_resp", "invalid ostrel_client_htos_order_resp"},
    {1011, 64, true, on_order_action, "order_action", "invalid ostrel_client_htos_order_action_resp"},
    {1012, 232, true, on_order_insert_market, "ostrel_client_htos_order_market_resp",
     "invalid ostrel_client_htos_order_market_resp"},
    {1013, 144, true, on_order_action_market, "ostrel_client_htos_order_action_market_resp",
     "invalid ostrel_client_htos_order_action_market_resp"},
    {1014, 136, true, on_order_execution, "order_execution_received", "invalid order_execution_received"},
    {1015, 158, true, on_order_market_report, "ostrel_client_htos_order_market_resp",
     "invalid ostrel_client_htos_order_market_resp"},
    {1016, 158, true, on_post_order, "post_order_received", "invalid post_order_received"},
    {1017, 136, true, on_post_execution, "post_exec_received", "invalid post_exec_received"},
    // Quotes are consumed without action.
    {1018, 152, true, nullptr, "ostrel_client_htos_new_quote_resp", "invalid ostrel_client_htos_order_resp"},
    {1019, 64, true, nullptr, "order_cxled", "invalid ostrel_client_htos_order_action_resp"},
    {1020, 233, true, nullptr, "ostrel_client_htos_quote_market_resp", "invalid ostrel_client_htos_quote_market_resp"},
    {1021, 145, true, nullptr, "ostrel_client_htos_quote_action_market_resp",
     "invalid ostrel_client_htos_order_action_market_resp"},
    {1022, 232, true, nullptr, "ostrel_client_htos_quote_market_resp", "invalid ostrel_client_htos_order_market_resp"},
    {1023, 232, true, nullptr, "post_order_received", "invalid post_order_received"},
    {1030, 92, false, on_special_order_insert, "ostrel_client_htos_special_order_resp", nullptr},
    {1031, 65, false, on_special_order_action, "order_action", nullptr},
    {1032, 200, false, on_special_order_insert_market, "ostrel_client_htos_order_market_resp", nullptr},
    {1033, 148, false, on_special_order_action_market, "ostrel_client_htos_order_action_market_resp", nullptr},
    {1034, 137, false, on_post_special_order, "post_special_order_received", nullptr},
    {1084, 272, false, on_query_market_session, "query_market_session_resp", nullptr},
    {1085, 16, false, on_market_session_report, "market_session_stat_report", nullptr},
    {1086, 56, false, on_symbol_status_report, "symbol_status_report", nullptr},
    {1087, 64, false, on_symbol_status_query, "symbol_status_query_resp", nullptr},
    {1089, 56, false, nullptr, "prod_status_report", nullptr},
    {1094, 32, false, on_session_id, "session_id_query_resp", nullptr},
    {1200, 16, false, nullptr, "trade_heart_beat_resp", nullptr},
    {2201, 144, true, on_internal_order_insert, "ostrel_internal_order_insert_resp",
     "invalid ostrel_internal_order_insert_resp"},
    {2202, 158, true, on_internal_order_adjust, "ostrel_internal_order_adjust_status_resp",
     "invalid post_order_received"},
    {2203, 136, true, on_internal_execution, "ostrel_internal_order_execution_resp", "invalid post_order_received"},
};

}  // namespace

void add_answer_routes(msg_route_table& t) {
    for (const answer_route& a : k_routes) {
        // Where the trade library's length table agrees in both server
        // editions it is the one source of the length; the adapter's own
        // lengths (some quote answers) go in explicitly.
        if (HUX_TRADE_WIRE::trade_msg_length(a.type, false) == a.length &&
            HUX_TRADE_WIRE::trade_msg_length(a.type, true) == a.length) {
            t.add(a.type, a.needs_logon, a.handler, a.name, nullptr, a.invalid_name);
        } else {
            t.add_explicit(a.type, a.length, a.needs_logon, a.handler, a.name, a.invalid_name);
        }
    }
}

const char* answer_label(const msg_route& r, uint16_t type, const unsigned char* msg) {
    size_t verdict_at;
    switch (type) {
        case 1010: verdict_at = 100; break;
        case 1011:
        case 1013:
        case 1019:
        case 1021: verdict_at = 44; break;
        case 1012:
        case 1018:
        case 1020: verdict_at = 132; break;
        default: return r.name;
    }
    return u32_at(msg, verdict_at) == 0 ? "" : r.name;
}

}  // namespace HUX_ADAPTER

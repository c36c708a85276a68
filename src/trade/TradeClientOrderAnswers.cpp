// Order, cancel, quote, combination and special-order answers. Each handler
// reads its wire record in place, splits accept from reject by the record's
// verdict field, fills the API record on its stack and calls the slot of its
// own kind. When that slot is not set nothing is built. Accept and report
// paths copy fields only; reject paths build the reason texts.
#include <cstring>

#include "trade/TradeClient.h"
#include "trade_core/trade_msg.h"
#include "trade_core/trade_msg_answers.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

namespace {

const double PRICE_SCALE = 10000.0;
const size_t EXCHANGE_TEXT_WIRE = 81;  // GBK reason text of the exchange answers

CTradeClient* session_of(void* s) { return static_cast<CTradeClient*>(s); }

template <class W>
const W* wire_of(const unsigned char* msg) {
    return reinterpret_cast<const W*>(msg);
}

// Widens a price in 1/10000 to a double, without rounding.
double price_of(int64_t v) { return static_cast<double>(v) / PRICE_SCALE; }

// The whole wire field; the record field is one byte wider and already zero,
// so it stays terminated.
template <size_t N, size_t M>
void copy_fixed_terminated(char (&dst)[N], const char (&src)[M]) {
    static_assert(N == M + 1, "a terminated copy is one byte wider than its wire field");
    memcpy(dst, src, M);
}

// Exactly the wire field's bytes, as received.
template <size_t N>
void copy_fixed(char (&dst)[N], const char (&src)[N]) {
    memcpy(dst, src, N);
}

template <size_t N>
void copy_bytes(uint8_t (&dst)[N], const uint8_t (&src)[N]) {
    memcpy(dst, src, N);
}

// The bytes before the wire field's first NUL, never past the wire field nor
// past the record field. Whatever remains of the (zeroed) record field stays 0.
template <size_t N, size_t M>
void copy_upto_nul(char (&dst)[N], const char (&src)[M]) {
    const size_t limit = N < M ? N : M;
    memcpy(dst, src, strnlen(src, limit));
}

// ---------------------------------------------------------------- 1010

void order_insert_accept(CTradeClient* c, const ostrel_client_order_insert_resp* w) {
    HUX_OrderAcceptEvent cb = c->AnswerEvents().OrderAccept.load();
    if (!cb) return;
    HUX_OrderAcceptField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.client_token = w->client_token;
    r.field_56 = w->field_56;
    r.user_id = w->user_id_low;
    r.order_no = w->order_no;
    copy_fixed_terminated(r.account, w->account);
    r.side = w->side;
    copy_upto_nul(r.symbol, w->symbol);
    r.price = price_of(w->price);
    r.quantity = w->quantity;
    r.result_flag = 0;
    r.opt_2 = w->opt_2;
    r.opt_3 = w->opt_3;
    r.opt_4 = w->opt_4;
    r.opt_5 = w->opt_5;
    r.opt_1 = w->opt_1;
    cb(c, &r);
}

void order_insert_reject(CTradeClient* c, const ostrel_client_order_insert_resp* w, bool qv27) {
    HUX_OrderRejectEvent cb = c->AnswerEvents().OrderReject.load();
    if (!cb) return;
    HUX_OrderRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.user_id = w->user_id_low;
    r.order_no = w->order_no;
    r.client_token = w->client_token;
    r.result_flag = 1;
    const uint32_t value = w->check_result;
    r.reason = value;
    if (qv27) {
        const uint32_t risk = w->risk_check_mask;
        r.risk_check_mask = risk;
        c->RejectText().qv27_insert_reject_texts(value, risk, r.reason_text_1, r.reason_text_2);
    } else {
        c->RejectText().insert_reject_texts(value, r.reason_text_1, r.reason_text_2);
    }
    copy_fixed(r.symbol, w->symbol);
    r.field_10 = w->field_10;
    r.side = w->side;
    cb(c, &r);
}

void on_order_insert(void* s, const unsigned char* msg) {
    const ostrel_client_order_insert_resp* w = wire_of<ostrel_client_order_insert_resp>(msg);
    if (w->check_result == 0)
        order_insert_accept(session_of(s), w);
    else
        order_insert_reject(session_of(s), w, false);
}

void on_order_insert_qv27(void* s, const unsigned char* msg) {
    const ostrel_client_order_insert_resp* w = wire_of<ostrel_client_order_insert_resp>(msg);
    if (w->check_result == 0 && w->risk_check_mask == 0)
        order_insert_accept(session_of(s), w);
    else
        order_insert_reject(session_of(s), w, true);
}

// ---------------------------------------------------------------- 1012

void on_order_insert_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_order_insert_market_resp* w = wire_of<ostrel_client_order_insert_market_resp>(msg);
    if (w->exchange_result == 0) {
        HUX_OrderMarketAcceptEvent cb = c->AnswerEvents().OrderMarketAccept.load();
        if (!cb) return;
        HUX_OrderMarketAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        copy_fixed_terminated(r.account, w->account);
        r.field_56 = w->field_56;
        copy_fixed_terminated(r.exchange_order_id, w->exchange_order_id);
        copy_bytes(r.value_217, w->value_217);
        r.user_id = w->user_id_low;
        r.client_token = w->client_token;
        r.opt_4 = w->opt_4;
        r.field_49 = w->field_49;
        cb(c, &r);
        return;
    }
    HUX_OrderMarketRejectEvent cb = c->AnswerEvents().OrderMarketReject.load();
    if (!cb) return;
    HUX_OrderMarketRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    r.field_56 = w->field_56;
    copy_bytes(r.value_217, w->value_217);
    CRejectReasonText::market_insert_reject_text(w->exchange_text, EXCHANGE_TEXT_WIRE, r.reason_text,
                                                 sizeof(r.reason_text));
    r.exchange_id = w->exchange_id;
    r.reason_code = w->exchange_result;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.opt_4 = w->opt_4;
    r.field_49 = w->field_49;
    copy_fixed(r.symbol, w->symbol);
    r.field_10 = w->field_10;
    r.side = w->side;
    cb(c, &r);
}

// ---------------------------------------------------------------- 1011

void on_order_action(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_order_action_resp* w = wire_of<ostrel_client_order_action_resp>(msg);
    const uint32_t mask = w->check_result;
    if (mask == 0) {
        HUX_OrderActionAcceptEvent cb = c->AnswerEvents().OrderActionAccept.load();
        if (!cb) return;
        HUX_OrderActionAccept r;  // every byte written
        r.request_tag = w->request_tag;
        r.user_id = w->user_id;
        r.order_no = w->order_no;
        r.owner_token = w->owner_token;
        r.owner_user_id = w->owner_user_id;
        r.market_token = w->market_token;
        r.opt_3 = w->opt_3;
        cb(c, &r);
        return;
    }
    HUX_OrderActionRejectEvent cb = c->AnswerEvents().OrderActionReject.load();
    if (!cb) return;
    HUX_OrderActionRej r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.market_token = w->market_token;
    r.reason_mask = mask;
    c->RejectText().cancel_reject_text(mask, c->IsQv27Version(), r.reason_text);
    r.owner_user_id = w->owner_user_id;
    r.owner_token = w->owner_token;
    r.opt_3 = w->opt_3;
    r.order_no = w->order_no;
    cb(c, &r);
}

// The echo of the cancel that every exchange answer to a cancel carries; the
// answer records name these fields alike.
template <class RECORD, class WIRE>
void copy_cancel_echo(RECORD& r, const WIRE& w) {
    r.request_tag = w.request_tag;
    r.market_token = w.market_token;
    r.user_id = w.user_id;
    r.client_token = w.client_token;
    r.opt_3 = w.opt_3;
    r.cancel_mode = w.cancel_mode;
    r.owner_user_id = w.owner_user_id;
    r.owner_token = w.owner_token;
}

// ---------------------------------------------------------------- 1013, 1021, 1033
// The exchange's answers to a cancel share one shape: the cancel's echo, an
// eight-byte value, and a reason code whose text comes from a code map.

void on_order_action_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_order_action_market_resp* w = wire_of<ostrel_client_order_action_market_resp>(msg);
    const uint32_t code = w->exchange_result;
    if (code == 0) {
        HUX_OrderActionMarketAcceptEvent cb = c->AnswerEvents().OrderActionMarketAccept.load();
        if (!cb) return;
        HUX_OrderActionMarketAcceptField r;  // every byte written
        copy_cancel_echo(r, *w);
        copy_bytes(r.value_129, w->value_129);
        r.opt_1 = w->opt_1;
        r.field_32 = w->field_32;
        cb(c, &r);
        return;
    }
    HUX_OrderActionMarketRejectEvent cb = c->AnswerEvents().OrderActionMarketReject.load();
    if (!cb) return;
    HUX_OrderActionMarketRejectField r;
    memset(&r, 0, sizeof(r));
    copy_cancel_echo(r, *w);
    copy_bytes(r.value_129, w->value_129);
    r.reason_code = static_cast<int32_t>(code);
    c->RejectText().market_cancel_reject_text(code, w->exchange_id, r.reason_text);
    r.opt_1 = w->opt_1;
    r.field_32 = w->field_32;
    cb(c, &r);
}

void on_quote_action_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_quote_action_market_resp* w = wire_of<ostrel_client_quote_action_market_resp>(msg);
    const uint32_t code = w->exchange_result;
    if (code == 0) {
        HUX_QuoteActionMarketAcceptEvent cb = c->AnswerEvents().QuoteActionMarketAccept.load();
        if (!cb) return;
        HUX_QuoteActionMarketAcceptField r;  // every byte written
        copy_cancel_echo(r, *w);
        copy_bytes(r.value_130, w->value_130);
        r.opt_1 = w->opt_1;
        r.field_32 = w->field_32;
        cb(c, &r);
        return;
    }
    HUX_QuoteActionMarketRejectEvent cb = c->AnswerEvents().QuoteActionMarketReject.load();
    if (!cb) return;
    HUX_QuoteActionMarketRejectField r;
    memset(&r, 0, sizeof(r));
    copy_cancel_echo(r, *w);
    copy_bytes(r.value_130, w->value_130);
    r.reason_code = static_cast<int32_t>(code);
    c->RejectText().quote_action_market_reject_text(code, r.reason_text);
    r.opt_1 = w->opt_1;
    r.field_32 = w->field_32;
    cb(c, &r);
}

void on_special_order_action_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_special_order_action_market_resp* w =
        wire_of<ostrel_client_special_order_action_market_resp>(msg);
    const uint32_t code = w->exchange_result;
    if (code == 0) {
        HUX_SpecialOrderActionMarketAcceptEvent cb = c->AnswerEvents().SpecialOrderActionMarketAccept.load();
        if (!cb) return;
        HUX_SpecialOrderActionMarketAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        r.market_token = w->market_token;
        r.user_id = w->user_id;
        r.client_token = w->client_token;
        r.cancel_mode = w->cancel_mode;
        r.owner_user_id = w->owner_user_id;
        r.owner_token = w->owner_token;
        copy_bytes(r.value_129, w->value_129);
        r.opt_1 = w->opt_1;
        r.field_35 = w->field_35;
        cb(c, &r);
        return;
    }
    HUX_SpecialOrderActionMarketRejectEvent cb = c->AnswerEvents().SpecialOrderActionMarketReject.load();
    if (!cb) return;
    HUX_SpecialOrderActionMarketRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.market_token = w->market_token;
    r.user_id = w->user_id;
    r.client_token = w->client_token;
    r.cancel_mode = w->cancel_mode;
    r.owner_user_id = w->owner_user_id;
    r.owner_token = w->owner_token;
    copy_bytes(r.value_129, w->value_129);
    r.reason_code = static_cast<int32_t>(code);
    c->RejectText().market_cancel_reject_text(code, w->exchange_id, r.reason_text);
    r.opt_1 = w->opt_1;
    r.field_35 = w->field_35;
    cb(c, &r);
}

// ---------------------------------------------------------------- 1018

void quote_insert_accept(CTradeClient* c, const ostrel_client_quote_insert_resp* w) {
    HUX_QuoteAcceptEvent cb = c->AnswerEvents().QuoteAccept.load();
    if (!cb) return;
    HUX_QuoteAcceptField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    r.user_id = w->user_id_low;
    copy_upto_nul(r.symbol, w->symbol);
    r.opt_1 = w->opt_1;
    r.opt_2 = w->opt_2;
    r.price_1 = price_of(w->price_1);
    r.quantity_1 = w->quantity_1;
    r.opt_3 = w->opt_3;
    r.opt_4 = w->opt_4;
    r.price_2 = price_of(w->price_2);
    r.quantity_2 = w->quantity_2;
    r.opt_6 = w->opt_6;
    r.field_116 = w->field_116;
    r.field_120 = w->field_120;
    r.field_124 = w->field_124;
    r.client_token = w->client_token;
    copy_bytes(r.value_200, w->value_200);
    r.opt_8 = w->opt_8;
    r.opt_5 = w->opt_5;
    copy_upto_nul(r.quote_text_2, w->quote_text_2);
    cb(c, &r);
}

// The fields both editions' rejects share.
template <class W>
void quote_reject_common(HUX_QuoteRejectField& r, const W* w) {
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.field_116 = w->field_116;
    r.field_120 = w->field_120;
    r.field_124 = w->field_124;
    r.result_flag = 1;
    copy_fixed(r.symbol, w->symbol);
    r.field_10 = w->field_10;
    r.opt_1 = w->opt_1;
    r.opt_3 = w->opt_3;
}

void on_quote_insert(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_quote_insert_resp* w = wire_of<ostrel_client_quote_insert_resp>(msg);
    const uint32_t value = w->check_result;
    if (value == 0) {
        quote_insert_accept(c, w);
        return;
    }
    HUX_QuoteRejectEvent cb = c->AnswerEvents().QuoteReject.load();
    if (!cb) return;
    HUX_QuoteRejectField r;
    quote_reject_common(r, w);
    copy_bytes(r.value_200, w->value_200);
    r.reason = value;
    c->RejectText().insert_reject_texts(value, r.reason_text_1, r.reason_text_2);
    copy_fixed(r.quote_text_2, w->quote_text_2);
    cb(c, &r);
}

void on_quote_insert_qv27(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const qv27_ostrel_client_quote_insert_resp* w = wire_of<qv27_ostrel_client_quote_insert_resp>(msg);
    const uint32_t order_mask = w->order_check_mask;
    const uint32_t risk_mask = w->risk_check_mask;
    if (order_mask == 0 && risk_mask == 0) {
        // The accept record is read from the ordinary form on both editions.
        quote_insert_accept(c, wire_of<ostrel_client_quote_insert_resp>(msg));
        return;
    }
    HUX_QuoteRejectEvent cb = c->AnswerEvents().QuoteReject.load();
    if (!cb) return;
    HUX_QuoteRejectField r;
    quote_reject_common(r, w);
    copy_bytes(r.value_200, w->value_136);
    r.reason = order_mask;
    r.risk_check_mask = risk_mask;
    c->RejectText().qv27_insert_reject_texts(order_mask, risk_mask, r.reason_text_1, r.reason_text_2);
    cb(c, &r);
}

// ---------------------------------------------------------------- 1019

void on_quote_action(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_quote_action_resp* w = wire_of<ostrel_client_quote_action_resp>(msg);
    const uint32_t mask = w->check_result;
    if (mask == 0) {
        HUX_QuoteActionAcceptEvent cb = c->AnswerEvents().QuoteActionAccept.load();
        if (!cb) return;
        HUX_QuoteActionAccept r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        r.opt_1 = w->opt_1;
        r.flag = w->field_29 == 2 ? 1 : 0;
        r.opt_3 = w->opt_3;
        r.cancel_mode = w->cancel_mode;
        r.market_token = w->market_token;
        r.owner_token = w->owner_token;
        r.owner_user_id = w->owner_user_id;
        r.field_48 = w->field_48;
        cb(c, &r);
        return;
    }
    HUX_QuoteActionRejectEvent cb = c->AnswerEvents().QuoteActionReject.load();
    if (!cb) return;
    HUX_QuoteActionRej r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.market_token = w->market_token;
    r.reason_mask = mask;
    c->RejectText().cancel_reject_text(mask, c->IsQv27Version(), r.reason_text);
    r.user_id = w->user_id;
    r.owner_token = w->owner_token;
    r.opt_3 = w->opt_3;
    r.field_48 = w->field_48;
    cb(c, &r);
}

// ---------------------------------------------------------------- 1020

void on_quote_insert_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_quote_insert_market_resp* w = wire_of<ostrel_client_quote_insert_market_resp>(msg);
    const int32_t code = w->exchange_result;
    if (code == 0) {
        HUX_QuoteMarketAcceptEvent cb = c->AnswerEvents().QuoteMarketAccept.load();
        if (!cb) return;
        HUX_QuoteMarketAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        copy_fixed_terminated(r.account, w->account);
        r.field_116 = w->field_116;
        r.field_120 = w->field_120;
        r.field_124 = w->field_124;
        copy_fixed_terminated(r.identifier, w->quote_text_1);
        copy_bytes(r.value_282, w->value_282);
        r.user_id = w->user_id_low;
        r.client_token = w->client_token;
        r.opt_5 = w->opt_5;
        r.opt_6 = w->opt_6;
        r.field_52 = w->field_52;
        copy_fixed(r.quote_text_2, w->quote_text_2);
        cb(c, &r);
        return;
    }
    HUX_QuoteMarketRejectEvent cb = c->AnswerEvents().QuoteMarketReject.load();
    if (!cb) return;
    HUX_QuoteMarketRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    r.field_116 = w->field_116;
    r.field_120 = w->field_120;
    r.field_124 = w->field_124;
    copy_bytes(r.value_282, w->value_282);
    CRejectReasonText::market_insert_reject_text(w->exchange_text, EXCHANGE_TEXT_WIRE, r.reason_text,
                                                 sizeof(r.reason_text));
    r.exchange_id = w->exchange_id;
    r.reason_code = code;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.opt_6 = w->opt_6;
    r.field_52 = w->field_52;
    copy_fixed(r.symbol, w->symbol);
    r.field_10 = w->field_10;
    r.opt_1 = w->opt_1;
    r.opt_3 = w->opt_3;
    copy_fixed(r.quote_text_2, w->quote_text_2);
    cb(c, &r);
}

// ---------------------------------------------------------------- 1022, 1023

void on_quote_market_report(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    HUX_QuoteMarketReportEvent cb = c->AnswerEvents().QuoteMarketReport.load();
    if (!cb) return;
    const ostrel_client_quote_market_report* w = wire_of<ostrel_client_quote_market_report>(msg);
    HUX_QuoteMarketReportField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    copy_fixed(r.symbol, w->symbol);
    r.quantity_1 = w->quantity_1;
    r.quantity_2 = w->quantity_2;
    r.price_1 = price_of(w->price_1);
    r.price_2 = price_of(w->price_2);
    r.opt_2 = w->opt_2;
    r.opt_4 = w->opt_4;
    r.opt_1 = w->opt_1;
    r.opt_3 = w->opt_3;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.field_116 = w->field_116;
    r.field_120 = w->field_120;
    r.field_124 = w->field_124;
    copy_fixed_terminated(r.text_1, w->text_1);
    copy_fixed_terminated(r.text_2, w->text_2);
    copy_fixed_terminated(r.text_3, w->text_3);
    r.field_268 = w->field_268;
    copy_bytes(r.value_269, w->value_269);
    r.opt_5 = w->opt_5;
    r.opt_6 = w->opt_6;
    r.field_52 = w->field_52;
    copy_fixed(r.quote_text_2, w->quote_text_2);
    cb(c, &r);
}

void on_post_quote(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    HUX_PostQuoteEvent cb = c->AnswerEvents().PostQuote.load();
    if (!cb) return;
    const post_quote_received* w = wire_of<post_quote_received>(msg);
    HUX_PostQuote r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.user_id = w->user_id_low;
    copy_bytes(r.value_277, w->value_277);
    r.field_116 = w->field_116;
    r.field_120 = w->field_120;
    r.field_124 = w->field_124;
    r.quantity_1 = w->quantity_1;
    r.quantity_2 = w->quantity_2;
    copy_upto_nul(r.symbol, w->symbol);
    r.price_1 = price_of(w->price_1);
    r.price_2 = price_of(w->price_2);
    copy_fixed_terminated(r.account, w->account);
    r.exchange_id = w->exchange_id;
    r.result_flag = 0;
    r.field_268 = w->field_268;
    copy_upto_nul(r.text_1, w->text_1);
    copy_upto_nul(r.text_2, w->text_2);
    copy_upto_nul(r.text_3, w->text_3);
    r.opt_1 = w->opt_1;
    r.opt_3 = w->opt_3;
    r.opt_2 = w->opt_2;
    r.opt_4 = w->opt_4;
    copy_bytes(r.value_269, w->value_269);
    r.field_52 = w->field_52;
    copy_upto_nul(r.quote_text_2, w->quote_text_2);
    cb(c, &r);
}

// ---------------------------------------------------------------- 1025, 1026

void on_combo_insert(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_combo_insert_resp* w = wire_of<ostrel_client_combo_insert_resp>(msg);
    const uint32_t value = w->check_result;
    if (value == 0) {
        HUX_ComboAcceptEvent cb = c->AnswerEvents().ComboAccept.load();
        if (!cb) return;
        HUX_ComboAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        r.client_token = w->client_token;
        r.field_22 = w->field_22;
        copy_bytes(r.value_148, w->value_148);
        r.user_id = w->user_id_low;
        copy_fixed_terminated(r.account, w->account);
        r.exchange_id = w->exchange_id;
        copy_upto_nul(r.legs, w->legs);
        r.opt_1 = w->opt_1;
        r.opt_2 = w->opt_2;
        r.opt_3 = w->opt_3;
        r.opt_5 = w->opt_5;
        cb(c, &r);
        return;
    }
    HUX_ComboRejectEvent cb = c->AnswerEvents().ComboReject.load();
    if (!cb) return;
    HUX_ComboRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    copy_bytes(r.value_148, w->value_148);
    r.result_flag = 1;
    r.reason = value;
    // Ordinary-mode texts on every server edition.
    c->RejectText().insert_reject_texts(value, r.reason_text_1, r.reason_text_2);
    cb(c, &r);
}

void on_combo_insert_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_combo_insert_market_resp* w = wire_of<ostrel_client_combo_insert_market_resp>(msg);
    const int32_t code = w->exchange_result;
    if (code == 0) {
        HUX_ComboMarketAcceptEvent cb = c->AnswerEvents().ComboMarketAccept.load();
        if (!cb) return;
        HUX_ComboMarketAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        copy_fixed_terminated(r.account, w->account);
        copy_upto_nul(r.legs, w->legs);
        r.opt_1 = w->opt_1;
        r.opt_3 = w->opt_3;
        r.client_token = w->client_token;
        r.field_22 = w->field_22;
        copy_bytes(r.value_229, w->value_229);
        r.user_id = w->user_id_low;
        r.opt_2 = w->opt_2;
        r.field_122 = w->field_122;
        cb(c, &r);
        return;
    }
    HUX_ComboMarketRejectEvent cb = c->AnswerEvents().ComboMarketReject.load();
    if (!cb) return;
    HUX_ComboMarketRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    r.field_22 = w->field_22;
    copy_bytes(r.value_229, w->value_229);
    CRejectReasonText::market_insert_reject_text(w->exchange_text, EXCHANGE_TEXT_WIRE, r.reason_text,
                                                 sizeof(r.reason_text));
    r.exchange_id = w->exchange_id;
    r.reason_code = code;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.opt_2 = w->opt_2;
    r.field_122 = w->field_122;
    cb(c, &r);
}

// ---------------------------------------------------------------- 1030, 1031, 1032

void on_special_order_insert(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_special_order_insert_resp* w = wire_of<ostrel_client_special_order_insert_resp>(msg);
    const uint32_t value = w->check_result;
    if (value == 0) {
        HUX_SpecialOrderAcceptEvent cb = c->AnswerEvents().SpecialOrderAccept.load();
        if (!cb) return;
        HUX_SpecialOrderAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        r.client_token = w->client_token;
        r.field_24 = w->field_24;
        r.user_id = w->user_id_low;
        copy_bytes(r.value_76, w->value_76);
        copy_fixed_terminated(r.account, w->account);
        r.opt_1 = w->opt_1;
        r.opt_2 = w->opt_2;
        copy_upto_nul(r.symbol, w->symbol);  // 21-byte field: always terminated
        r.opt_3 = w->opt_3;
        r.opt_4 = w->opt_4;
        r.opt_5 = w->opt_5;
        r.opt_8 = w->opt_8;
        cb(c, &r);
        return;
    }
    HUX_SpecialOrderRejectEvent cb = c->AnswerEvents().SpecialOrderReject.load();
    if (!cb) return;
    HUX_SpecialOrderRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.user_id = w->user_id_low;
    copy_bytes(r.value_76, w->value_76);
    r.client_token = w->client_token;
    r.result_flag = 1;
    r.reason = value;
    // Ordinary-mode texts on every server edition.
    c->RejectText().insert_reject_texts(value, r.reason_text_1, r.reason_text_2);
    r.opt_8 = w->opt_8;
    cb(c, &r);
}

void on_special_order_action(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_special_order_action_resp* w = wire_of<ostrel_client_special_order_action_resp>(msg);
    const uint32_t mask = w->check_result;
    if (mask == 0) {
        HUX_SpecialOrderActionAcceptEvent cb = c->AnswerEvents().SpecialOrderActionAccept.load();
        if (!cb) return;
        HUX_SpecialOrderActionAccept r;  // every byte written
        r.request_tag = w->request_tag;
        r.user_id = w->user_id;
        r.order_no = w->order_no;
        r.owner_token = w->owner_token;
        r.owner_user_id = w->owner_user_id;
        r.market_token = w->market_token;
        cb(c, &r);
        return;
    }
    HUX_SpecialOrderActionRejectEvent cb = c->AnswerEvents().SpecialOrderActionReject.load();
    if (!cb) return;
    HUX_SpecialOrderActionRej r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    r.market_token = w->market_token;
    r.reason_mask = mask;
    // The ordinary cancel table on every server edition.
    c->RejectText().cancel_reject_text(mask, false, r.reason_text);
    r.owner_user_id = w->owner_user_id;
    r.owner_token = w->owner_token;
    r.order_no = w->order_no;
    cb(c, &r);
}

void on_special_order_insert_market(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_special_order_insert_market_resp* w =
        wire_of<ostrel_client_special_order_insert_market_resp>(msg);
    const int32_t code = w->exchange_result;
    if (code == 0) {
        HUX_SpecialOrderMarketAcceptEvent cb = c->AnswerEvents().SpecialOrderMarketAccept.load();
        if (!cb) return;
        HUX_SpecialOrderMarketAcceptField r;
        memset(&r, 0, sizeof(r));
        r.request_tag = w->request_tag;
        copy_fixed_terminated(r.account, w->account);
        r.field_24 = w->field_24;
        copy_fixed_terminated(r.exchange_order_id, w->exchange_order_id);
        copy_bytes(r.value_181, w->value_181);
        r.user_id = w->user_id_low;
        r.client_token = w->client_token;
        r.opt_4 = w->opt_4;
        r.field_64 = w->field_64;
        r.opt_8 = w->opt_8;
        cb(c, &r);
        return;
    }
    HUX_SpecialOrderMarketRejectEvent cb = c->AnswerEvents().SpecialOrderMarketReject.load();
    if (!cb) return;
    HUX_SpecialOrderMarketRejectField r;
    memset(&r, 0, sizeof(r));
    r.request_tag = w->request_tag;
    copy_fixed_terminated(r.account, w->account);
    r.field_24 = w->field_24;
    copy_bytes(r.value_181, w->value_181);
    CRejectReasonText::market_insert_reject_text(w->exchange_text, EXCHANGE_TEXT_WIRE, r.reason_text,
                                                 sizeof(r.reason_text));
    r.exchange_id = w->exchange_id;
    r.reason_code = code;
    r.user_id = w->user_id_low;
    r.client_token = w->client_token;
    r.opt_4 = w->opt_4;
    r.field_64 = w->field_64;
    r.opt_8 = w->opt_8;
    cb(c, &r);
}

}  // namespace

void CTradeClient::add_order_answer_routes(HUX_TRADE_CORE::msg_route_table& t) {
    t.add(TYPE_OSTREL_CLIENT_ORDER_INSERT_RESP, true, &on_order_insert, "ostrel_client_order_insert_resp",
          &on_order_insert_qv27);
    t.add(TYPE_OSTREL_CLIENT_ORDER_ACTION_RESP, true, &on_order_action, "ostrel_client_order_action_resp");
    t.add(TYPE_OSTREL_CLIENT_ORDER_INSERT_MARKET_RESP, true, &on_order_insert_market,
          "ostrel_client_order_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_ORDER_ACTION_MARKET_RESP, true, &on_order_action_market,
          "ostrel_client_order_action_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_INSERT_RESP, true, &on_quote_insert, "ostrel_client_quote_insert_resp",
          &on_quote_insert_qv27);
    t.add(TYPE_OSTREL_CLIENT_QUOTE_ACTION_RESP, true, &on_quote_action, "ostrel_client_quote_action_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_INSERT_MARKET_RESP, true, &on_quote_insert_market,
          "ostrel_client_quote_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_ACTION_MARKET_RESP, true, &on_quote_action_market,
          "ostrel_client_quote_action_market_resp");
    t.add(TYPE_OSTREL_CLIENT_QUOTE_MARKET_REPORT, true, &on_quote_market_report, "ostrel_client_quote_market_report");
    t.add(TYPE_POST_QUOTE_RECEIVED, true, &on_post_quote, "post_quote_received");
    t.add(TYPE_OSTREL_CLIENT_COMBO_INSERT_RESP, true, &on_combo_insert, "ostrel_client_combo_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_COMBO_INSERT_MARKET_RESP, true, &on_combo_insert_market,
          "ostrel_client_combo_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_RESP, true, &on_special_order_insert,
          "ostrel_client_special_order_insert_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_RESP, true, &on_special_order_action,
          "ostrel_client_special_order_action_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_MARKET_RESP, true, &on_special_order_insert_market,
          "ostrel_client_special_order_insert_market_resp");
    t.add(TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_MARKET_RESP, true, &on_special_order_action_market,
          "ostrel_client_special_order_action_market_resp");
}

}  // namespace HUX_TRADE

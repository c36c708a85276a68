// Executions, order reports, posted orders and server-internal orders.
//
// Each handler reads its wire record in place (the dispatcher hands over the
// whole fixed-length message), loads its callback slot once and, when a
// callback is set, fills the application's record on the stack and calls it.
// Nothing here allocates or keeps state. Wire texts are never read past their
// wire field. On a qv27 server 2202, 2203 and 2205 carry a marker byte that
// chooses the record; 2204 is read the same way on both editions.
#include <cstring>

#include "trade/TradeClient.h"
#include "trade_core/trade_msg.h"
#include "trade_core/trade_msg_answers.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

namespace {

// Text up to its NUL within the wire field, at most OUT - 1 characters, and a
// terminator (the record is zeroed, so the rest of the field stays zero).
template <size_t OUT, size_t IN>
void copy_bounded(char (&out)[OUT], const char (&in)[IN]) {
    static_assert(OUT > 0, "room for the terminator");
    size_t n = strnlen(in, IN);
    if (n > OUT - 1) n = OUT - 1;
    memcpy(out, in, n);
    out[n] = '\0';
}

// Text up to its NUL within the wire field, at most OUT bytes, no terminator
// added: a symbol that fills its 20 bytes is delivered unterminated.
template <size_t OUT, size_t IN>
void copy_up_to_nul(char (&out)[OUT], const char (&in)[IN]) {
    size_t n = strnlen(in, IN);
    if (n > OUT) n = OUT;
    memcpy(out, in, n);
}

// The whole wire field as it is; a wider record field keeps its zero end.
template <size_t OUT, size_t IN>
void copy_fixed(char (&out)[OUT], const char (&in)[IN]) {
    static_assert(OUT >= IN, "record field holds the wire field");
    memcpy(out, in, IN);
}

template <size_t N>
void copy_bytes(uint8_t (&out)[N], const uint8_t (&in)[N]) {
    memcpy(out, in, N);
}

double price_of(int64_t wire) { return static_cast<double>(wire) / 10000.0; }

CTradeClient* session_of(void* s) { return static_cast<CTradeClient*>(s); }

template <class W>
const W* wire_of(const unsigned char* msg) {
    return reinterpret_cast<const W*>(msg);
}

// ---- executions (1014, 1017, 2203) ----

void fill_order_execution(HUX_OrderExecutionField& r, const order_execution_received& w) {
    r.field_4 = w.field_4;
    r.field_133 = w.field_133;
    r.order_no = w.order_no;
    r.field_42 = w.field_42;
    r.field_46 = w.field_46;
    r.filled_quantity = w.filled_quantity;
    r.fill_price = price_of(w.fill_price);
    copy_bounded(r.text_50, w.text_50);
    copy_bounded(r.text_86, w.text_86);
    copy_bytes(r.value_24, w.value_24);
    r.field_110 = w.field_110;
    r.field_111 = w.field_111;
    copy_up_to_nul(r.symbol, w.symbol);
    r.field_132 = w.field_132;
    r.field_41 = w.field_41;
    r.field_135 = w.field_135;
}

void fill_post_execution(HUX_PostOrderExecution& r, const order_execution_received& w) {
    r.field_4 = w.field_4;
    r.field_133 = w.field_133;
    r.order_no = w.order_no;
    r.field_46 = w.field_46;
    r.filled_quantity = w.filled_quantity;
    r.fill_price = price_of(w.fill_price);
    copy_bounded(r.text_86, w.text_86);
    copy_bytes(r.value_24, w.value_24);
    r.field_110 = w.field_110;
    r.field_111 = w.field_111;
    copy_up_to_nul(r.symbol, w.symbol);
    r.field_132 = w.field_132;
    r.field_135 = w.field_135;
}

void fill_internal_execution(HUX_InternalOrderExecution& r, const order_execution_received& w) {
    r.field_4 = w.field_4;
    r.field_133 = w.field_133;
    copy_bytes(r.value_24, w.value_24);
    r.field_46 = w.field_46;
    r.filled_quantity = w.filled_quantity;
    r.fill_price = price_of(w.fill_price);
    copy_bounded(r.text_86, w.text_86);
    r.field_110 = w.field_110;
    r.field_111 = w.field_111;
    r.field_41 = w.field_41;
}

// ---- orders of 158 bytes (1015, 1016, 2202) and 2201 ----

void fill_market_report(HUX_OrderMarketReportField& r, const ostrel_client_order_market_report& w) {
    r.request_tag = w.request_tag;
    copy_fixed(r.account, w.account);
    copy_fixed(r.symbol, w.symbol);
    r.opt_8 = w.opt_8;
    r.side = w.side;
    r.quantity = w.quantity;
    r.price = price_of(w.price);
    r.opt_5 = w.opt_5;
    r.second_price = price_of(w.second_price);
    r.opt_2 = w.opt_2;
    r.opt_9 = w.opt_9;
    r.field_124 = w.field_124;
    r.field_126 = w.field_126;
    r.user_id = w.user_id_low;
    r.client_token = w.client_token;
    r.field_56 = w.field_56;
    copy_fixed(r.exchange_order_id, w.exchange_order_id);
    copy_fixed(r.text_134, w.text_134);
    r.opt_4 = w.opt_4;
    r.field_49 = w.field_49;
    r.opt_1 = w.opt_1;
    r.opt_7 = w.opt_7;
}

void fill_post_order(HUX_PostOrder& r, const post_order_received& w) {
    r.request_tag = w.request_tag;
    r.user_id = w.user_id_low;
    copy_bytes(r.value_134, w.value_134);
    r.field_56 = w.field_56;
    r.client_token = w.client_token;
    r.side = w.side;
    r.quantity = w.quantity;
    copy_up_to_nul(r.symbol, w.symbol);
    r.price = price_of(w.price);
    copy_fixed(r.account, w.account);
    r.exchange_id = w.exchange_id;
    r.result_flag = 0;
    r.field_124 = w.field_124;
    copy_fixed(r.exchange_order_id, w.exchange_order_id);
    r.opt_5 = w.opt_5;
    r.opt_7 = w.opt_7;
    r.field_49 = w.field_49;
}

void fill_adjust_status(HUX_InternalOrderAdjustStatus& r, const post_order_received& w) {
    r.request_tag = w.request_tag;
    r.user_id = w.user_id_low;
    copy_bytes(r.value_134, w.value_134);
    r.field_56 = w.field_56;
    copy_fixed(r.exchange_order_id, w.exchange_order_id);
    r.field_124 = w.field_124;
    r.opt_7 = w.opt_7;
    r.side = w.side;
    r.opt_4 = w.opt_4;
}

// 2201 and the internal-order kind of qv27 2202 share every field but the
// order number and the exchange's order identifier, which the caller picks.
template <class W>
void fill_internal_order(HUX_InternalOrder& r, const W& w, int64_t order_no, const char (&exchange_order_id)[24]) {
    r.request_tag = w.request_tag;
    r.user_id = w.user_id_low;
    r.order_no = order_no;
    r.field_56 = w.field_56;
    r.side = w.side;
    r.quantity = w.quantity;
    copy_up_to_nul(r.symbol, w.symbol);
    r.price = price_of(w.price);
    copy_fixed(r.account, w.account);
    r.exchange_id = w.exchange_id;
    copy_fixed(r.exchange_order_id, exchange_order_id);
    r.opt_5 = w.opt_5;
    r.opt_4 = w.opt_4;
}

// ---- server-changed quotes (2205 both editions) ----

// The parts of 2205 that sit at different offsets on the two editions.
struct quote_adjust_source {
    int32_t field_4;
    uint8_t field_8;
    uint8_t field_13;
    const char (*account)[16];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    const char (*texts[3])[24];
    uint8_t status;
    const uint8_t (*value)[8];
};

void fill_quote_adjust(HUX_InternalQuoteAdjustStatus& r, const quote_adjust_source& s) {
    r.field_4 = s.field_4;
    r.field_8 = s.field_8;
    copy_fixed(r.account, *s.account);
    r.field_116 = s.field_116;
    r.field_120 = s.field_120;
    r.field_124 = s.field_124;
    copy_fixed(r.text_1, *s.texts[0]);
    copy_fixed(r.text_2, *s.texts[1]);
    copy_fixed(r.text_3, *s.texts[2]);
    r.field_268 = s.status;
    copy_bytes(r.value_269, *s.value);
    r.field_13 = s.field_13;
}

// ---- delivery: load the slot once; without a callback build nothing ----

template <class REC, class EVENT, class FILL>
void deliver(CTradeClient* c, const std::atomic<EVENT>& slot, FILL&& fill) {
    const EVENT callback = slot.load(std::memory_order_acquire);
    if (!callback) return;
    REC r;
    memset(&r, 0, sizeof(r));
    fill(r);
    callback(c, &r);
}

// ---- handlers ----

void ProcOrderExecutionReceivecMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const order_execution_received& w = *wire_of<order_execution_received>(msg);
    deliver<HUX_OrderExecutionField>(c, c->AnswerEvents().OrderExecution,
                                     [&](HUX_OrderExecutionField& r) { fill_order_execution(r, w); });
}

void ProcOrderMarketReportMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_client_order_market_report& w = *wire_of<ostrel_client_order_market_report>(msg);
    deliver<HUX_OrderMarketReportField>(c, c->AnswerEvents().OrderMarketReport,
                                        [&](HUX_OrderMarketReportField& r) { fill_market_report(r, w); });
}

void deliver_post_order(CTradeClient* c, const post_order_received& w) {
    deliver<HUX_PostOrder>(c, c->AnswerEvents().PostOrder, [&](HUX_PostOrder& r) { fill_post_order(r, w); });
}

void ProcPostOrderMsg(void* s, const unsigned char* msg) {
    deliver_post_order(session_of(s), *wire_of<post_order_received>(msg));
}

void deliver_post_execution(CTradeClient* c, const order_execution_received& w) {
    deliver<HUX_PostOrderExecution>(c, c->AnswerEvents().PostOrderExecution,
                                    [&](HUX_PostOrderExecution& r) { fill_post_execution(r, w); });
}

void ProcPostOrdeExecutionMsg(void* s, const unsigned char* msg) {
    deliver_post_execution(session_of(s), *wire_of<post_order_execution_received>(msg));
}

void ProcPostSpecialOrderMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const post_special_order_received& w = *wire_of<post_special_order_received>(msg);
    deliver<HUX_PostSpecialOrder>(c, c->AnswerEvents().PostSpecialOrder, [&](HUX_PostSpecialOrder& r) {
        r.field_4 = w.field_4;
        r.field_8 = w.field_8;
        copy_bytes(r.value_97, w.value_97);
        r.field_24 = w.field_24;
        r.client_token = w.client_token;
        r.field_16 = w.field_16;
        r.field_12 = w.field_12;
        copy_up_to_nul(r.symbol, w.symbol);
        copy_fixed(r.account, w.account);
        r.field_9 = w.field_9;
        r.result_flag = 0;
        r.field_96 = w.field_96;
        copy_fixed(r.exchange_order_id, w.exchange_order_id);
        r.field_17 = w.field_17;
        r.field_64 = w.field_64;
        r.field_19 = w.field_19;
    });
}

void ProcInternalOrderInsertResp(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_internal_order_insert_resp& w = *wire_of<ostrel_internal_order_insert_resp>(msg);
    deliver<HUX_InternalOrder>(c, c->AnswerEvents().InternalOrder, [&](HUX_InternalOrder& r) {
        fill_internal_order(r, w, w.order_no, w.exchange_order_id);
    });
}

void deliver_adjust_status(CTradeClient* c, const post_order_received& w) {
    deliver<HUX_InternalOrderAdjustStatus>(c, c->AnswerEvents().InternalOrderAdjustStatus,
                                           [&](HUX_InternalOrderAdjustStatus& r) { fill_adjust_status(r, w); });
}

void ProcInternalOrderAdjustStatusResp(void* s, const unsigned char* msg) {
    deliver_adjust_status(session_of(s), *wire_of<ostrel_internal_order_adjust_status_resp>(msg));
}

// qv27 2202: the kind marker k at 125 and the byte b at 124 choose the record.
void ProcQv27PostOrderMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const qv27_post_order_received& w = *wire_of<qv27_post_order_received>(msg);
    const uint8_t k = w.kind_marker;
    const uint8_t b = w.field_124;
    if (k == 2 || (k == 0 && b != 0)) {
        deliver_post_order(c, w);
    } else if (k == 1 && b != 0) {
        deliver_adjust_status(c, w);
    } else if (k == 1) {
        deliver<HUX_InternalOrder>(c, c->AnswerEvents().InternalOrder, [&](HUX_InternalOrder& r) {
            int64_t order_no;
            memcpy(&order_no, w.value_134, sizeof(order_no));
            fill_internal_order(r, w, order_no, w.exchange_order_id);
        });
    }
    // Any other marker, or marker 0 with b = 0: consumed and dropped.
}

void deliver_internal_execution(CTradeClient* c, const order_execution_received& w) {
    deliver<HUX_InternalOrderExecution>(c, c->AnswerEvents().InternalOrderExecution,
                                        [&](HUX_InternalOrderExecution& r) { fill_internal_execution(r, w); });
}

void ProcInternalOrderExecutionResp(void* s, const unsigned char* msg) {
    deliver_internal_execution(session_of(s), *wire_of<ostrel_internal_order_execution_resp>(msg));
}

// qv27 2203: marker 0 or 2 is a post execution, anything else an internal one.
void ProcQv27PostOrdeExecutionMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const qv27_post_order_execution_received& w = *wire_of<qv27_post_order_execution_received>(msg);
    const uint8_t marker = w.marker;
    if (marker == 0 || marker == 2)
        deliver_post_execution(c, w);
    else
        deliver_internal_execution(c, w);
}

// 2204: the same layout and copy on both editions.
void ProcInternalOrderAdjustMktRejResp(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_internal_order_adjust_mkt_rej_resp& w = *wire_of<ostrel_internal_order_adjust_mkt_rej_resp>(msg);
    deliver<HUX_InternalOrderAdjustMktRej>(c, c->AnswerEvents().InternalOrderAdjustMktRej,
                                           [&](HUX_InternalOrderAdjustMktRej& r) {
                                               r.request_tag = w.request_tag;
                                               r.user_id = w.user_id_low;
                                               copy_fixed(r.account, w.account);
                                               r.field_56 = w.field_56;
                                               r.exchange_id = w.exchange_id;
                                               r.reason_code = w.exchange_result;
                                               r.client_token = w.client_token;
                                               copy_bytes(r.value_217, w.value_217);
                                               r.opt_4 = w.opt_4;
                                           });
}

void ProcInternalQuoteAdjustStatusResp(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_internal_quote_adjust_status_resp& w = *wire_of<ostrel_internal_quote_adjust_status_resp>(msg);
    deliver<HUX_InternalQuoteAdjustStatus>(c, c->AnswerEvents().InternalQuoteAdjustStatus,
                                           [&](HUX_InternalQuoteAdjustStatus& r) {
                                               const quote_adjust_source src = {
                                                   w.field_4,   w.field_8,   w.field_13,
                                                   &w.account,  w.field_116, w.field_120,
                                                   w.field_124, {&w.text_1, &w.text_2, &w.text_3},
                                                   w.field_268, &w.value_269};
                                               fill_quote_adjust(r, src);
                                           });
}

// qv27 2205: marker 2 at 229 is a posted quote, anything else a server-changed quote.
void ProcQv27PostQuoteMsg(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const qv27_ostrel_client_passive_quote_adjust_status_resp& w =
        *wire_of<qv27_ostrel_client_passive_quote_adjust_status_resp>(msg);
    const uint8_t marker = w.marker;
    if (marker == 2) {
        deliver<HUX_PostQuote>(c, c->AnswerEvents().PostQuote, [&](HUX_PostQuote& r) {
            r.request_tag = w.request_tag;
            r.user_id = w.user_id_low;
            copy_bytes(r.value_277, w.value_213);
            r.field_116 = w.field_116;
            r.field_120 = w.field_120;
            r.field_124 = w.field_124;
            r.quantity_1 = w.quantity_1;
            r.quantity_2 = w.quantity_2;
            copy_up_to_nul(r.symbol, w.symbol);
            r.price_1 = price_of(w.price_1);
            r.price_2 = price_of(w.price_2);
            copy_fixed(r.account, w.account);
            r.exchange_id = w.exchange_id;
            r.result_flag = 0;
            r.field_268 = w.field_204;
            copy_up_to_nul(r.text_1, w.text_1);
            copy_up_to_nul(r.text_2, w.text_2);
            copy_up_to_nul(r.text_3, w.text_3);
            r.opt_1 = w.opt_1;
            r.opt_3 = w.opt_3;
            r.opt_2 = w.opt_2;
            r.opt_4 = w.opt_4;
            copy_bytes(r.value_269, w.value_205);
            r.field_52 = w.field_52;
            // quote_text_2 stays empty: this form has no text at 128.
        });
        return;
    }
    deliver<HUX_InternalQuoteAdjustStatus>(c, c->AnswerEvents().InternalQuoteAdjustStatus,
                                           [&](HUX_InternalQuoteAdjustStatus& r) {
                                               const quote_adjust_source src = {
                                                   w.request_tag, w.user_id_low, w.opt_6,
                                                   &w.account,    w.field_116,   w.field_120,
                                                   w.field_124,   {&w.text_1, &w.text_2, &w.text_3},
                                                   w.field_204,   &w.value_205};
                                               fill_quote_adjust(r, src);
                                           });
}

void ProcInternalQuoteAdjustMktRejResp(void* s, const unsigned char* msg) {
    CTradeClient* c = session_of(s);
    const ostrel_internal_quote_adjust_mkt_rej_resp& w = *wire_of<ostrel_internal_quote_adjust_mkt_rej_resp>(msg);
    deliver<HUX_InternalQuoteAdjustMktRej>(c, c->AnswerEvents().InternalQuoteAdjustMktRej,
                                           [&](HUX_InternalQuoteAdjustMktRej& r) {
                                               r.field_4 = w.field_4;
                                               r.field_8 = w.field_8;
                                               copy_fixed(r.account, w.account);
                                               r.field_44 = w.field_44;
                                               r.field_116 = w.field_116;
                                               r.field_120 = w.field_120;
                                               r.field_124 = w.field_124;
                                               r.reason_code = w.exchange_result;
                                               copy_bytes(r.value_282, w.value_282);
                                               r.field_13 = w.field_13;
                                           });
}

}  // namespace

void CTradeClient::add_report_routes(HUX_TRADE_CORE::msg_route_table& t) {
    t.add(TYPE_ORDER_EXECUTION_RECEIVED, true, &ProcOrderExecutionReceivecMsg, "order_execution_received");
    t.add(TYPE_OSTREL_CLIENT_ORDER_MARKET_REPORT, true, &ProcOrderMarketReportMsg,
          "ostrel_client_order_market_report");
    t.add(TYPE_POST_ORDER_RECEIVED, true, &ProcPostOrderMsg, "post_order_received");
    t.add(TYPE_POST_ORDER_EXECUTION_RECEIVED, true, &ProcPostOrdeExecutionMsg, "post_order_execution_received");
    t.add(TYPE_POST_SPECIAL_ORDER_RECEIVED, true, &ProcPostSpecialOrderMsg, "post_special_order_received");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_INSERT_RESP, true, &ProcInternalOrderInsertResp,
          "ostrel_internal_order_insert_resp");
    t.add(TYPE_OSTREL_INTERNAL_ORDER_ADJUST_STATUS_RESP, true, &ProcInternalOrderAdjustStatusResp,
          "ostrel_internal_order_adjust_status_resp", &ProcQv27PostOrderMsg);
    t.add(TYPE_OSTREL_INTERNAL_ORDER_EXECUTION_RESP, true, &ProcInternalOrderExecutionResp,
          "ostrel_internal_order_execution_resp", &ProcQv27PostOrdeExecutionMsg);
    t.add(TYPE_OSTREL_INTERNAL_ORDER_ADJUST_MKT_REJ_RESP, true, &ProcInternalOrderAdjustMktRejResp,
          "ostrel_internal_order_adjust_mkt_rej_resp", &ProcInternalOrderAdjustMktRejResp);
    t.add(TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_STATUS_RESP, true, &ProcInternalQuoteAdjustStatusResp,
          "ostrel_internal_quote_adjust_status_resp", &ProcQv27PostQuoteMsg);
    t.add(TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_MKT_REJ_RESP, false, &ProcInternalQuoteAdjustMktRejResp,
          "ostrel_internal_quote_adjust_mkt_rej_resp");
}

}  // namespace HUX_TRADE

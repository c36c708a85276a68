// The status and query answers of the trade session (account buying power,
// market sessions, symbol and product status, session id, requests for
// quote), the order-token high-water mark and the small session accessors.
//
// Each handler reads its wire record in place (the dispatcher hands over at
// least the type's fixed length), fills the application's record on the stack
// and calls the callback. Without a callback nothing is built. Texts are never
// read past their wire field.
#include <cstring>
#include <ctime>

#include "trade/TradeClient.h"
#include "trade_core/trade_msg_status.h"

namespace HUX_TRADE {

using namespace HUX_TRADE_WIRE;

namespace {

// Copies the text of a wire field up to its NUL, at most out_size - 1
// characters, and terminates it.
template <size_t IN, size_t OUT>
void copy_bounded(char (&out)[OUT], const char (&in)[IN]) {
    static_assert(OUT > 0, "room for the terminator");
    size_t n = strnlen(in, IN);
    if (n > OUT - 1) n = OUT - 1;
    memcpy(out, in, n);
    out[n] = '\0';
}

}  // namespace

// ---- callback setters ----

void CTradeClient::SetQueryOtAccountBPEvent(HUX_QueryOtAccountBPEvent callback) { m_on_account_bp = callback; }
void CTradeClient::SetQueryMarketSessionEvent(HUX_QueryMarketSessionEvent callback) {
    m_on_market_session = callback;
}
void CTradeClient::SetMarketSessionStatReportEvent(HUX_MarketSessionStatReportEvent callback) {
    m_on_market_session_stat = callback;
}
void CTradeClient::SetSymbolStatusReportEvent(HUX_SymbolStatusReportEvent callback) {
    m_on_symbol_status_report = callback;
}
void CTradeClient::SetQuerySymbolStatusEvent(HUX_QuerySymbolStatusEvent callback) {
    m_on_symbol_status_query = callback;
}
void CTradeClient::SetProdStatusReportEvent(HUX_ProdStatusReportEvent callback) { m_on_prod_status = callback; }
void CTradeClient::SetQuerySessionIDEvent(HUX_QuerySessionIDEvent callback) { m_on_session_id = callback; }
void CTradeClient::SetInputRegForQuoteEvent(HUX_InputRegForQuoteEvent callback) { m_on_req_for_quote = callback; }

// ---- dispatcher entries ----

void CTradeClient::on_query_account_bp_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcQueryAccountBpResp(msg);
}
void CTradeClient::on_query_market_session_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcQueryMarketSessionRespMsg(msg);
}
void CTradeClient::on_market_session_stat_report(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcMarketSessionStatReportMsg(msg);
}
void CTradeClient::on_symbol_status_report(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcSymbolStatusChangedReportMsg(msg);
}
void CTradeClient::on_symbol_status_query_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcSymbolStatusQueryRespMsg(msg);
}
void CTradeClient::on_prod_status_report(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcProdStatusChangedReportMsg(msg);
}
void CTradeClient::on_session_id_query_resp(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcSessionIDQueryRespMsg(msg);
}
void CTradeClient::on_req_for_quote_report(void* session, const unsigned char* msg) {
    static_cast<CTradeClient*>(session)->ProcReqForQuoteReportMsg(msg);
}

// ---- handlers ----

void CTradeClient::ProcQueryAccountBpResp(const unsigned char* msg) {
    HUX_QueryOtAccountBPEvent callback = m_on_account_bp.load();
    if (!callback) return;
    const query_account_bp_resp* wire = reinterpret_cast<const query_account_bp_resp*>(msg);
    HUX_AccountBP bp;
    memset(&bp, 0, sizeof(bp));
    memcpy(bp.account, wire->account, sizeof(wire->account));  // the 17th byte stays zero
    memcpy(bp.figures, wire->figures, sizeof(bp.figures));
    bp.flag = wire->flag;
    callback(this, &bp);
}

void CTradeClient::ProcQueryMarketSessionRespMsg(const unsigned char* msg) {
    HUX_QueryMarketSessionEvent callback = m_on_market_session.load();
    if (!callback) return;
    const query_market_session_resp* wire = reinterpret_cast<const query_market_session_resp*>(msg);
    HUX_ExchangeMarketSession session;
    memset(&session, 0, sizeof(session));
    session.exchange_id = wire->exchange_id;
    session.session_count = wire->session_count;
    memcpy(session.sessions, wire->sessions, sizeof(session.sessions));
    const uint8_t is_last = wire->is_last;
    callback(this, &session, is_last == 1);
}

void CTradeClient::ProcMarketSessionStatReportMsg(const unsigned char* msg) {
    HUX_MarketSessionStatReportEvent callback = m_on_market_session_stat.load();
    if (!callback) return;
    const market_session_stat_report* wire = reinterpret_cast<const market_session_stat_report*>(msg);
    const uint8_t session = m_qv27 ? wire->session_qv27 : wire->session;
    const uint8_t flag = wire->flag;
    callback(this, session, flag == 1);
}

void CTradeClient::ProcSymbolStatusChangedReportMsg(const unsigned char* msg) {
    HUX_SymbolStatusReportEvent callback = m_on_symbol_status_report.load();
    if (!callback) return;
    const symbol_status_report* wire = reinterpret_cast<const symbol_status_report*>(msg);
    HUX_SymbolStatus status;
    memset(&status, 0, sizeof(status));
    status.first_field = wire->first_field;
    copy_bounded(status.symbol, wire->symbol);
    status.byte_a = wire->byte_a;
    status.value = wire->value;
    copy_bounded(status.short_text, wire->short_text);
    status.byte_b = wire->byte_b;
    callback(this, &status);
}

void CTradeClient::ProcSymbolStatusQueryRespMsg(const unsigned char* msg) {
    HUX_QuerySymbolStatusEvent callback = m_on_symbol_status_query.load();
    if (!callback) return;
    const symbol_status_query_resp* wire = reinterpret_cast<const symbol_status_query_resp*>(msg);
    HUX_SymbolStatus status;
    memset(&status, 0, sizeof(status));
    const uint8_t end_mark = wire->end_mark;
    if (end_mark != 0) {
        // The end of the list carries no entry.
        callback(this, &status, true);
        return;
    }
    status.first_field = wire->first_field;
    copy_bounded(status.symbol, wire->symbol);
    status.byte_a = wire->byte_a;
    status.value = wire->value;
    copy_bounded(status.short_text, wire->short_text);
    status.byte_b = wire->byte_b;
    callback(this, &status, false);
}

void CTradeClient::ProcProdStatusChangedReportMsg(const unsigned char* msg) {
    HUX_ProdStatusReportEvent callback = m_on_prod_status.load();
    if (!callback) return;
    const prod_status_report* wire = reinterpret_cast<const prod_status_report*>(msg);
    HUX_ProdStatus status;
    memset(&status, 0, sizeof(status));
    status.first_field = wire->first_field;
    copy_bounded(status.product, wire->product);
    status.byte_a = wire->byte_a;
    status.byte_b = wire->byte_b;
    status.value = wire->value;
    copy_bounded(status.short_text, wire->short_text);
    status.byte_c = wire->byte_c;
    callback(this, &status);
}

void CTradeClient::ProcSessionIDQueryRespMsg(const unsigned char* msg) {
    HUX_QuerySessionIDEvent callback = m_on_session_id.load();
    if (!callback) return;
    const session_id_query_resp* wire = reinterpret_cast<const session_id_query_resp*>(msg);
    HUX_SessionID id;
    memset(&id, 0, sizeof(id));
    copy_bounded(id.session, wire->session);
    // Unsigned bytes, zero-extended.
    id.value_a = static_cast<int32_t>(static_cast<uint8_t>(wire->value_a));
    id.value_b = static_cast<int32_t>(static_cast<uint8_t>(wire->value_b));
    callback(this, &id);
}

void CTradeClient::ProcReqForQuoteReportMsg(const unsigned char* msg) {
    HUX_InputRegForQuoteEvent callback = m_on_req_for_quote.load();
    if (!callback) return;
    const req_for_quote_report* wire = reinterpret_cast<const req_for_quote_report*>(msg);
    HUX_InputRegForQuoteResponse rfq;
    memset(&rfq, 0, sizeof(rfq));
    memcpy(rfq.text24, wire->text24, sizeof(rfq.text24));
    rfq.byte_a = wire->byte_a;
    memcpy(rfq.text20, wire->text20, sizeof(rfq.text20));
    memcpy(rfq.value8, wire->value8, sizeof(rfq.value8));
    callback(this, &rfq);
}

}  // namespace HUX_TRADE

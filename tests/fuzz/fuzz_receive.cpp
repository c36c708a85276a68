// Fuzz target for the trade session's receive path. The first input byte
// picks the server edition (bit 0: 1 = qv27) and how the rest is cut into
// pieces (bits 1..7: 0 = one piece, else pieces of that many bytes). The rest
// goes through a cut loop like the transport entry's: each piece is appended
// to what is cached, whole messages are handed to ProcReceiveMsg while it
// consumes, and the remainder waits for the next piece. Consuming more than
// it was given aborts.
//
// One logged-on session per edition lives for the whole process. It is made,
// given all 52 callbacks and logged on through the C interface (MVHUX_*), so
// each answer an input decodes reaches an application callback that reads
// the whole record. It logs on to the simulated server over loopback once
// (terminal report included); the server then stays silent, so only this
// thread ever runs the session's receive path. When an input logs the
// session off (a new version answer, a refused logon, ...) the answers that
// log it on again are fed to it through the receive path before the next
// input; when that does not log it on, and after every 100,000 such logons
// (the silent server records what it is sent), the session is made again.
//
// What each input cost was measured with perf on a build without
// sanitizers and with -print_final_stats on the sanitized one: a heap buffer
// and a copy of the cache for every piece, a coverage callback for every
// byte a callback read, a flushed log line for every unknown message and
// every logon, and the full logon exchange after every log-off. The piece
// feeder and the checked copies (fuzz_support.h), the session logs switched
// off for the fuzzing process (fuzz_session.h) and feeding only the answers
// a logon needs remove those costs; each input is checked as before. What
// is left grows with the receive calls an input makes, one per piece and
// message: .ci/run keeps new inputs to 600 bytes, two of the longest
// messages.
#include <cstdint>
#include <cstring>
#include <memory>

#include "mv_hux_trade.h"
#include "tests/fuzz/fuzz_session.h"
#include "trade/TradeClient.h"

using HUX_TRADE::CTradeClient;
using hux_fuzz::g_sink;
using hux_fuzz::touch;

namespace {

const char* const kTarget = "fuzz_receive";

template <class R>
void on_record(void*, R* r) {
    if (r) touch(r, sizeof(R));
}

void on_heart_beat_timeout(void*, int seconds) { g_sink.fetch_add(static_cast<unsigned>(seconds)); }
void on_market_session(void*, HUX_ExchangeMarketSession* r, bool last) {
    if (r) touch(r, sizeof(*r));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}
void on_session_stat(void*, uint8_t session, bool flag) {
    g_sink.fetch_add(session + (flag ? 1u : 0u), std::memory_order_relaxed);
}
void on_symbol_query(void*, HUX_SymbolStatus* r, bool last) {
    if (r) touch(r, sizeof(*r));
    g_sink.fetch_add(last ? 1u : 2u, std::memory_order_relaxed);
}

void check_set(int result, const char* setter) {
    if (result != HUX_RESULT_OK) hux_fuzz::fail(kTarget, setter);
}

// Gives a setter whose callback takes one record pointer the callback that
// reads that record.
template <class R>
void set_record(int (*setter)(void*, void (*)(void*, R*)), void* handle, const char* name) {
    check_set(setter(handle, &on_record<R>), name);
}

#define HUX_FUZZ_RECORD(setter) set_record(&setter, handle, #setter)

// Every callback of the C interface, through its setter: all 52.
void set_all_callbacks(void* handle) {
    check_set(MVHUX_SetConnectionEvent(handle, &hux_fuzz::on_connection), "MVHUX_SetConnectionEvent");
    check_set(MVHUX_SetUserLogonEvent(handle, &hux_fuzz::on_logon), "MVHUX_SetUserLogonEvent");
    check_set(MVHUX_SetHeartBeartTimeoutEvent(handle, &on_heart_beat_timeout), "MVHUX_SetHeartBeartTimeoutEvent");
    HUX_FUZZ_RECORD(MVHUX_SetOrderAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetComboMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionMarketAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionMarketRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionAcceptEvent);
    HUX_FUZZ_RECORD(MVHUX_SetOrderActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetSpecialOrderActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuoteActionRejectEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInputRegForQuoteEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostSpecialOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostQuoteEvent);
    HUX_FUZZ_RECORD(MVHUX_SetPostOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderAdjustStatusEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderExecutionEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalOrderAdjustMktRejEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalQuoteAdjustStatusEvent);
    HUX_FUZZ_RECORD(MVHUX_SetInternalQuoteAdjustMktRejEvent);
    check_set(MVHUX_SetQueryMarketSessionEvent(handle, &on_market_session), "MVHUX_SetQueryMarketSessionEvent");
    check_set(MVHUX_SetMarketSessionStatReportEvent(handle, &on_session_stat), "MVHUX_SetMarketSessionStatReportEvent");
    check_set(MVHUX_SetQuerySymbolStatusEvent(handle, &on_symbol_query), "MVHUX_SetQuerySymbolStatusEvent");
    HUX_FUZZ_RECORD(MVHUX_SetSymbolStatusReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetProdStatusReportEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQuerySessionIDEvent);
    HUX_FUZZ_RECORD(MVHUX_SetQueryOtAccountBPEvent);
}

#undef HUX_FUZZ_RECORD

// A session logs on again this often before it is made afresh.
const unsigned kLogonsPerSession = 100000;

struct edition_session {
    std::unique_ptr<hux_fuzz::sim_session> session;
    unsigned logons_again = 0;
};
edition_session g_sessions[2];

CTradeClient& logged_on_session(bool qv27) {
    edition_session& e = g_sessions[qv27 ? 1 : 0];
    if (e.session && e.session->logged_on()) return *e.session->client;
    // Logged off by the last input: logged on again through the receive
    // path, or, when that fails, afresh on a new connection.
    if (e.session && ++e.logons_again <= kLogonsPerSession && e.session->log_on_again()) return *e.session->client;
    e.session.reset();
    e.session.reset(new hux_fuzz::sim_session(kTarget, qv27, &set_all_callbacks));
    e.logons_again = 0;
    return *e.session->client;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool qv27 = (data[0] & 1) != 0;
    const size_t piece = data[0] >> 1;  // 0: everything at once
    CTradeClient& client = logged_on_session(qv27);
    static hux_fuzz::piece_feeder feeder(kTarget);
    feeder.feed(data + 1, size - 1, piece, [&](const unsigned char* p, size_t n) {
        return static_cast<long long>(client.ProcReceiveMsg(p, static_cast<unsigned>(n)));
    });
    return 0;
}

// Writes the seed inputs of a fuzz target into a directory. Run by hand:
//   fuzz_make_corpus [receive] DIR   the receive path: one valid message of
//       every server message type for each server edition, a few
//       multi-message streams cut into pieces, truncated messages, and
//       unknown types with plausible and absurd length fields;
//   fuzz_make_corpus order DIR       the order-entry and query functions:
//       every function with a valid record on each edition, prices that do
//       not convert, tokens and exchanges at their limits, texts without
//       terminators, unknown names, null arguments and a few sequences;
//   fuzz_make_corpus coll DIR        the collection service's answers:
//       version replies and verdicts of every kind, whole, cut into pieces,
//       truncated and behind bytes of another type.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "hux_trade_request_struct.h"
#include "sim/sim_collection.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"

using namespace hux_sim;

namespace {

std::string g_dir;
int g_count = 0;

// Selector byte: bit 0 = qv27 server, bits 1..7 = piece size (0: whole).
void save(const std::string& name, uint8_t selector, const std::string& stream) {
    const std::string path = g_dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        return;
    }
    fputc(selector, f);
    fwrite(stream.data(), 1, stream.size(), f);
    fclose(f);
    ++g_count;
}

std::string header(uint16_t type, uint16_t len) {
    std::string m(4, '\0');
    m[0] = static_cast<char>(type & 0xff);
    m[1] = static_cast<char>(type >> 8);
    m[2] = static_cast<char>(len & 0xff);
    m[3] = static_cast<char>(len >> 8);
    return m;
}

void write_order_corpus();
void write_coll_corpus();

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "receive";
    if ((argc != 2 && argc != 3) || (mode != "receive" && mode != "order" && mode != "coll")) {
        fprintf(stderr, "usage: %s [receive|order|coll] DIR\n", argv[0]);
        return 2;
    }
    g_dir = argv[argc - 1];
    if (mode == "order") {
        write_order_corpus();
        printf("wrote %d files to %s\n", g_count, g_dir.c_str());
        return 0;
    }
    if (mode == "coll") {
        write_coll_corpus();
        printf("wrote %d files to %s\n", g_count, g_dir.c_str());
        return 0;
    }

    sim_config cfg;
    cfg.user_id = 77;
    cfg.symbols = {{"IF2406", 1}, {"IO2406-C-3500", 2}};
    cfg.accounts = {{"ACCOUNT-1", 1}};
    sim_config qcfg = cfg;
    qcfg.server_edition = 6;

    std::vector<std::pair<std::string, std::string>> msgs;
    auto add = [&](const std::string& name, const std::string& m) { msgs.push_back({name, m}); };

    sim_order_answer oa;
    oa.client_token = 5;
    oa.quantity = 10;
    oa.price = 35000000;
    add("1010_accept", order_insert_answer(oa));
    oa.result = 3;
    oa.risk_mask = 2;
    add("1010_reject", order_insert_answer(oa));
    add("1012", order_insert_market_answer(sim_order_market_answer()));
    add("1011", cancel_answer(1011, sim_cancel_answer()));
    add("1019", cancel_answer(1019, sim_cancel_answer()));
    add("1031", cancel_answer(1031, sim_cancel_answer()));
    add("1013", cancel_market_answer(1013, sim_cancel_market_answer()));
    add("1021", cancel_market_answer(1021, sim_cancel_market_answer()));
    add("1033", cancel_market_answer(1033, sim_cancel_market_answer()));
    sim_quote_answer qa;
    add("1018", quote_insert_answer(qa));
    add("1018_qv27", quote_insert_answer(qa, true));
    add("1020", quote_insert_market_answer(qa));
    add("1022", quote_market_report(qa));
    add("1023", post_quote(qa));
    add("1025", combo_answer(1025, sim_combo_answer()));
    add("1026", combo_answer(1026, sim_combo_answer()));
    add("1030", special_order_answer(sim_special_order_answer()));
    add("1032", special_order_market_answer(sim_special_order_market_answer()));
    sim_execution ex;
    ex.symbol = "IF2406";
    add("1014", execution_message(1014, ex));
    add("1017", execution_message(1017, ex));
    add("2203", execution_message(2203, ex));
    add("1015", order_message(1015, sim_order()));
    add("1016", order_message(1016, sim_order()));
    add("2202", order_message(2202, sim_order()));
    add("2201", internal_order_message(sim_internal_order()));
    add("2204", order_adjust_rej_message(sim_order_adjust_rej()));
    add("1034", special_order_message(sim_special_order()));
    add("2205", quote_adjust_message(sim_quote_adjust()));
    add("2205_qv27", qv27_quote_message(sim_quote_adjust()));
    add("2206", quote_adjust_rej_message(sim_quote_adjust()));
    add("1081", account_bp_answer(sim_account_bp()));
    sim_market_sessions ms;
    ms.last = 1;
    ms.count = 255;
    add("1084", market_session_answer(ms));
    add("1085", session_stat_report(sim_session_stat()));
    add("1086", symbol_status_message(false, sim_symbol_status()));
    add("1087", symbol_status_message(true, sim_symbol_status()));
    add("1089", prod_status_report(sim_prod_status()));
    add("1094", session_id_answer(sim_session_id()));
    add("1097", req_for_quote_report(sim_req_for_quote()));
    add("1080", sim_trade_server::version_answer(cfg));
    add("1080_qv27", sim_trade_server::version_answer(qcfg));
    add("1070", sim_trade_server::logon_answer(cfg, 0));
    add("1070_refused", sim_trade_server::logon_answer(cfg, 2));
    std::string page;
    for (const std::string& m : sim_trade_server::symbol_page(cfg, 1, 100)) page += m;
    add("1062", page);
    std::string accounts;
    for (const std::string& m : sim_trade_server::account_list(cfg)) accounts += m;
    add("1061", accounts);
    add("1090", sim_trade_server::heart_beat_setting_answer(cfg));
    add("1200", sim_trade_server::heart_beat_answer(cfg));

    // Every message alone, on both editions.
    for (const auto& m : msgs) {
        save("msg_" + m.first, 0, m.second);
        save("msg_" + m.first + "_q", 1, m.second);
    }

    // Streams of many messages: everything that keeps the session logged on,
    // whole and in pieces of 1, 7 and 127 bytes.
    std::string stream;
    for (const auto& m : msgs)
        if (m.first.compare(0, 4, "1080") != 0 && m.first.compare(0, 4, "1070") != 0) stream += m.second;
    save("stream_whole", 0, stream);
    save("stream_by1_q", 1 << 1 | 1, stream);
    save("stream_by7", 7 << 1, stream);
    save("stream_by127_q", 127 << 1 | 1, stream);

    // Truncated messages: half of a few, and all but the last byte.
    for (size_t i = 0; i < msgs.size(); i += 6) {
        const std::string& m = msgs[i].second;
        save("cut_half_" + msgs[i].first, 0, m.substr(0, m.size() / 2));
        save("cut_last_" + msgs[i].first + "_q", 1, m.substr(0, m.size() - 1));
    }
    save("cut_header", 0, msgs[0].second.substr(0, 3));

    // Unknown types: a plausible length, the header length alone, lengths
    // of 0, 1..3, beyond the input, and the largest the field holds.
    std::string unknown = header(4242, 16) + std::string(12, 'x');
    save("unknown_16", 0, unknown + msgs[0].second);
    save("unknown_len0", 0, header(4242, 0) + msgs[0].second);
    save("unknown_len2_q", 1, header(4242, 2) + msgs[0].second);
    save("unknown_len4", 0, header(4242, 4) + msgs[0].second);
    save("unknown_len_beyond", 3 << 1, header(4242, 900) + msgs[0].second);
    save("unknown_len_max", 0, header(65535, 65535) + std::string(64, '\xff'));
    // Known types whose length field disagrees with the type's size.
    save("known_len_short", 0, header(1010, 8) + msgs[0].second);
    save("known_len_long_q", 1, header(1081, 4000) + std::string(200, '\x01'));
    save("known_len_zero", 0, header(1097, 0) + msgs[0].second);
    save("empty_stream", 0, "");

    printf("wrote %d files to %s\n", g_count, g_dir.c_str());
    return 0;
}

namespace {

// ---------------------------------------------------------------- order

// Operation byte: the function (0..12) and the flags of fuzz_order.cpp.
enum : uint8_t {
    op_order = 0, op_quote, op_combo, op_special, op_simple_order, op_simple_quote, op_cancel,
    op_cancel_special, op_quote_action, op_market_session, op_symbol_status, op_session_id, op_account_bp
};
const uint8_t flag_skip_token = 0x10, flag_null_record = 0x20, flag_null_text = 0x40, flag_null_symbol = 0x80;

template <class R>
std::string bytes_of(const R& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof(R));
}
std::string text(const std::string& t) { return std::string(1, static_cast<char>(t.size())) + t; }
void put(char* field, size_t width, const std::string& t) { memcpy(field, t.data(), std::min(width, t.size())); }

HUX_EnterOrderField order(uint32_t token, double price = 1.5, uint8_t exchange = 101, uint8_t side = 1) {
    HUX_EnterOrderField r;
    memset(&r, 0, sizeof(r));
    put(r.account, sizeof(r.account), "ACCOUNT-1");
    put(r.symbol, sizeof(r.symbol), "IF2406");
    r.side = side;
    r.exchange_id = exchange;
    r.price = price;
    r.quantity = 10;
    r.client_token = token;
    r.opt_8 = 1;
    return r;
}
HUX_EnterQuoteField quote(uint32_t token, double p1 = 1.5, double p2 = 1.6) {
    HUX_EnterQuoteField r;
    memset(&r, 0, sizeof(r));
    put(r.account, sizeof(r.account), "ACCOUNT-1");
    put(r.symbol, sizeof(r.symbol), "IO2406-C-3500");
    put(r.quote_text_1, sizeof(r.quote_text_1), "bid");
    put(r.quote_text_2, sizeof(r.quote_text_2), "ask");
    r.exchange_id = 101;
    r.client_token = token;
    r.price_1 = p1;
    r.quantity_1 = 5;
    r.price_2 = p2;
    r.quantity_2 = 5;
    return r;
}
HUX_EnterComboField combo(uint32_t token, uint8_t exchange = 101) {
    HUX_EnterComboField r;
    memset(&r, 0, sizeof(r));
    put(r.account, sizeof(r.account), "ACCOUNT-1");
    r.exchange_id = exchange;
    for (size_t i = 0; i < sizeof(r.legs); ++i) r.legs[i] = static_cast<uint8_t>(i * 7 + 1);
    r.client_token = token;
    return r;
}
HUX_EnterSpecialOrderField special(uint32_t token) {
    HUX_EnterSpecialOrderField r;
    memset(&r, 0, sizeof(r));
    put(r.account, sizeof(r.account), "ACCOUNT-1");
    put(r.symbol, sizeof(r.symbol), "IF2406");
    r.exchange_id = 101;
    r.client_token = token;
    return r;
}
HUX_EnterOrderSimpleField simple_order(uint32_t token, double price = 2.5) {
    HUX_EnterOrderSimpleField r;
    memset(&r, 0, sizeof(r));
    r.exchange_id = 101;
    r.side = 1;
    r.client_token = token;
    r.quantity = 3;
    r.price = price;
    return r;
}
HUX_EnterQuoteSimpleField simple_quote(uint32_t token) {
    HUX_EnterQuoteSimpleField r;
    memset(&r, 0, sizeof(r));
    r.exchange_id = 101;
    r.client_token = token;
    r.quantity_1 = 2;
    r.quantity_2 = 2;
    r.price_1 = 3.5;
    r.price_2 = 3.6;
    return r;
}
HUX_CancelOrder cancel(uint32_t token, uint8_t mode = 0) {
    HUX_CancelOrder r;
    memset(&r, 0, sizeof(r));
    r.market_token = 12345;
    r.cancel_mode = mode;
    r.client_token = token;
    r.owner_token = 77;
    return r;
}
HUX_CancelSpecialOrder cancel_special(uint32_t token) {
    HUX_CancelSpecialOrder r;
    memset(&r, 0, sizeof(r));
    r.market_token = 54321;
    r.client_token = token;
    return r;
}
HUX_QuoteAction quote_action(uint32_t token) {
    HUX_QuoteAction r;
    memset(&r, 0, sizeof(r));
    r.market_token = 999;
    r.cancel_mode = 1;
    r.client_token = token;
    return r;
}

// One call: the operation byte, then the record and texts.
std::string call(uint8_t op, const std::string& rest) { return std::string(1, static_cast<char>(op)) + rest; }

// Saved for both editions.
void save_both(const std::string& name, const std::string& calls) {
    save("order_" + name, 0, calls);
    save("order_" + name + "_q", 1, calls);
}

void write_order_corpus() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    // Every function with a valid record.
    save_both("enter_order", call(op_order, bytes_of(order(101))));
    save_both("enter_quote", call(op_quote, bytes_of(quote(101))));
    save_both("enter_combo", call(op_combo, bytes_of(combo(101))));
    save_both("enter_sporder", call(op_special, bytes_of(special(101))));
    save_both("simple_order", call(op_simple_order, bytes_of(simple_order(101)) + text("ACCOUNT-1") + text("IF2406")));
    save_both("simple_quote",
              call(op_simple_quote, bytes_of(simple_quote(101)) + text("ACCOUNT-1") + text("IO2406-C-3500")));
    save_both("cancel", call(op_cancel, bytes_of(cancel(0))));
    save_both("cancel_sporder", call(op_cancel_special, bytes_of(cancel_special(0))));
    save_both("quote_action", call(op_quote_action, bytes_of(quote_action(0))));
    save_both("market_session", call(op_market_session, ""));
    save_both("symbol_status", call(op_symbol_status, ""));
    save_both("session_id", call(op_session_id, std::string(1, char(101)) + text("SESSION-7")));
    save_both("account_bp", call(op_account_bp, text("ACCOUNT-1")));

    // Prices that do not convert, and the largest that nearly do.
    save_both("price_nan", call(op_order, bytes_of(order(101, nan))));
    save_both("price_inf", call(op_order, bytes_of(order(101, inf))));
    save_both("price_minus_inf", call(op_quote, bytes_of(quote(101, -inf, 1.0))));
    save_both("price_huge", call(op_order, bytes_of(order(101, 1e300))));
    save_both("price_near_limit", call(op_order, bytes_of(order(101, 922337203685477.0))));
    save_both("price_simple_nan", call(op_simple_order, bytes_of(simple_order(101, nan)) + text("ACCOUNT-1") +
                                                             text("IF2406")));
    HUX_EnterOrderField warm = order(0, 1.5, 99);
    warm.quantity = 0;
    save_both("warm_up_bad_exchange", call(op_order, bytes_of(warm)));

    // Tokens and exchanges at their limits; every side on a mapped exchange.
    save_both("token_equal_mark", call(op_order, bytes_of(order(100))));
    save_both("token_skipped", call(op_order | flag_skip_token, bytes_of(order(5))));
    save_both("token_top", call(op_combo, bytes_of(combo(0xFFFFFFFFu))));
    save_both("exchange_99", call(op_order, bytes_of(order(101, 1.5, 99))));
    save_both("exchange_109", call(op_combo, bytes_of(combo(101, 109))));
    std::string sides;
    for (uint8_t side = 0; side < 8; ++side) sides += call(op_order, bytes_of(order(200u + side, 1.5, 102, side)));
    save_both("sides_on_102", sides);

    // Texts without terminators, unknown and long names.
    HUX_EnterOrderField full = order(101);
    memset(full.account, 'A', sizeof(full.account));
    memset(full.symbol, 'S', sizeof(full.symbol));
    save_both("texts_unterminated", call(op_order, bytes_of(full)));
    save_both("simple_unknown_account",
              call(op_simple_order, bytes_of(simple_order(101)) + text("NOBODY") + text("IF2406")));
    save_both("simple_unknown_symbol",
              call(op_simple_quote, bytes_of(simple_quote(101)) + text("ACCOUNT-1") + text("XX9999")));
    save_both("simple_long_name",
              call(op_simple_order, bytes_of(simple_order(101)) + text(std::string(200, 'N')) + text("IF2406")));
    save_both("session_id_long", call(op_session_id, std::string(1, '\0') + text(std::string(40, 'Z'))));
    save_both("session_id_bad_market", call(op_session_id, std::string(1, char(99)) + text("S")));
    save_both("account_bp_long", call(op_account_bp, text(std::string(30, 'B'))));

    // Null arguments.
    save_both("null_order", call(op_order | flag_null_record, bytes_of(order(101))));
    save_both("null_account", call(op_simple_order | flag_null_text, bytes_of(simple_order(101)) + text("ACCOUNT-1") +
                                                                         text("IF2406")));
    save_both("null_symbol", call(op_simple_quote | flag_null_symbol, bytes_of(simple_quote(101)) +
                                                                          text("ACCOUNT-1") + text("IF2406")));
    save_both("null_session_text", call(op_session_id | flag_null_text, std::string(1, '\0') + text("S")));

    // Sequences: the mark rises, refuses lower tokens, and cancels raise it.
    save_both("sequence_tokens", call(op_order, bytes_of(order(200))) + call(op_order, bytes_of(order(150))) +
                                     call(op_cancel, bytes_of(cancel(300, 1))) +
                                     call(op_quote_action, bytes_of(quote_action(400))) +
                                     call(op_quote, bytes_of(quote(350))) +
                                     call(op_cancel_special, bytes_of(cancel_special(500))) +
                                     call(op_special, bytes_of(special(450))));
}

// ---------------------------------------------------------------- coll

// A verdict on a report of app id "app-x" and login id "trader01".
std::string verdict(uint8_t result) {
    std::string report(coll_report_len, '\0');
    report[0] = static_cast<char>(coll_type_report);
    report.replace(1, 5, "app-x");
    report.replace(49, 8, "trader01");
    coll_verdict v;
    v.result = result;
    return coll_verdict_message(report, v, 77, "2026-01-02 03:04:05");
}

void write_coll_corpus() {
    const std::string accept = coll_version_reply(0, false);
    const std::string test_key = coll_version_reply(0, true);
    const std::string refuse = coll_version_reply(1, false);
    save("coll_version_accept", 0, accept);
    save("coll_version_test_key", 0, test_key);
    save("coll_version_refused", 0, refuse);
    save("coll_version_by1", 1, test_key);
    save("coll_version_by3", 3, accept);
    for (uint8_t r : {0, 1, 2, 3, 255}) save("coll_verdict_" + std::to_string(r), 0, verdict(r));
    save("coll_verdict_by1", 1, verdict(1));
    save("coll_verdict_by7", 7, verdict(2));
    save("coll_verdict_by50", 50, verdict(0));
    // Texts filling their fields, without a terminator.
    std::string full = verdict(0);
    full.replace(1, 30, std::string(30, 'A'));
    full.replace(31, 33, std::string(33, 'L'));
    full.replace(68, 20, std::string(20, 'T'));
    save("coll_verdict_texts_full", 0, full);
    // A whole conversation in one stream and in pieces.
    save("coll_conversation", 0, accept + verdict(0));
    save("coll_conversation_by5", 5, test_key + verdict(1) + verdict(0));
    // Truncated answers.
    save("coll_version_short", 0, accept.substr(0, 7));
    save("coll_verdict_short", 0, verdict(0).substr(0, 95));
    save("coll_verdict_short_by9", 9, verdict(2).substr(0, 60));
    // Types the client does not read, ahead of answers it does.
    save("coll_unknown_then_verdict", 0, std::string(1, 'a') + verdict(0));
    save("coll_report_type", 0, std::string(1, 'c') + std::string(20, 'x'));
    save("coll_zero_bytes", 4, std::string(40, '\0'));
    save("coll_empty", 0, "");
}

}  // namespace

// Writes the seed inputs of the receive-path fuzz target into a directory:
// one valid message of every server message type for each server edition,
// a few multi-message streams cut into pieces, truncated messages, and
// unknown types with plausible and absurd length fields. Run by hand.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    g_dir = argv[1];

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

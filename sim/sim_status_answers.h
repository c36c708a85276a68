// The simulated server's status and query answers: one builder per message
// type, each taking the field values to put on the wire. Texts are written as
// given, cut to their field (a text that fills its field has no NUL); every
// other byte is zero. Send the result with sim_trade_server::send_raw (the
// buying-power push 1093 of the query port with send_query_raw). The value
// records of 1084, 1087 and 1094 are in sim/sim_status_values.h, that of the
// buying power in sim/sim_query_values.h.
#ifndef HUX_SIM_SIM_STATUS_ANSWERS_H
#define HUX_SIM_SIM_STATUS_ANSWERS_H

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "sim/sim_query_values.h"
#include "sim/sim_trade_server.h"

namespace hux_sim {

namespace status_detail {

inline void put(std::string& m, size_t at, const void* bytes, size_t n) { memcpy(&m[at], bytes, n); }
inline void put_u8(std::string& m, size_t at, uint8_t v) { m[at] = static_cast<char>(v); }
inline void put_i32(std::string& m, size_t at, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) m[at + i] = static_cast<char>((u >> (8 * i)) & 0xff);
}
inline void put_f64(std::string& m, size_t at, double v) {
    uint64_t u;
    memcpy(&u, &v, sizeof(u));
    for (int i = 0; i < 8; ++i) m[at + i] = static_cast<char>((u >> (8 * i)) & 0xff);
}
inline void put_text(std::string& m, size_t at, size_t width, const std::string& text) {
    put(m, at, text.data(), text.size() < width ? text.size() : width);
}

}  // namespace status_detail

// 1081, 108 bytes: account buying power; the query port's push 1093 has the
// same layout (sim_account_bp, sim/sim_query_values.h).
inline std::string account_bp_message(uint16_t type, const sim_account_bp& v) {
    using namespace status_detail;
    std::string m = make_message(type, 108);
    put_i32(m, 4, v.request_no);
    put_text(m, 12, 16, v.account);
    for (size_t i = 0; i < v.figures.size(); ++i) put_f64(m, 32 + 8 * i, v.figures[i]);
    put_u8(m, 104, v.flag);
    return m;
}
inline std::string account_bp_answer(const sim_account_bp& v) { return account_bp_message(1081, v); }
inline std::string account_bp_report(const sim_account_bp& v) { return account_bp_message(1093, v); }

// 1084, 272 bytes: market sessions of one exchange.
inline std::string market_session_answer(const sim_market_sessions& v) {
    using namespace status_detail;
    std::string m = make_message(1084, 272);
    put_u8(m, 12, v.exchange_id);
    put_u8(m, 13, v.last);
    put_u8(m, 14, v.count);
    put_text(m, 15, 255, v.sessions);
    return m;
}

// 1085, 16 bytes: market session state push.
struct sim_session_stat {
    uint8_t flag = 0;          // at 8
    uint8_t session = 0;       // at 9 (ordinary server)
    uint8_t session_qv27 = 0;  // at 10 (qv27 server)
};
inline std::string session_stat_report(const sim_session_stat& v) {
    using namespace status_detail;
    std::string m = make_message(1085, 16);
    put_u8(m, 8, v.flag);
    put_u8(m, 9, v.session);
    put_u8(m, 10, v.session_qv27);
    return m;
}

// Symbol status, pushed (1086, 56 bytes) or answered (1087, 64 bytes).
inline std::string symbol_status_message(bool query_answer, const sim_symbol_status& v) {
    using namespace status_detail;
    const size_t base = query_answer ? 12 : 8;
    std::string m = query_answer ? make_message(1087, 64) : make_message(1086, 56);
    put_u8(m, base, v.first);
    put_text(m, base + 1, 20, v.symbol);
    put_u8(m, base + 32, v.byte_a);
    put_i32(m, base + 33, v.value);
    put_text(m, base + 37, 9, v.short_text);
    put_u8(m, base + 46, v.byte_b);
    if (query_answer) put_u8(m, 59, v.end_mark);
    return m;
}

// 1089, 56 bytes: product status push.
struct sim_prod_status {
    uint8_t first = 0;        // at 8
    std::string product;      // 20 bytes at 9
    uint8_t byte_a = 0;       // at 39
    uint8_t byte_b = 0;       // at 40
    int32_t value = 0;        // at 41
    std::string short_text;   // 9 bytes at 45
    uint8_t byte_c = 0;       // at 54
};
inline std::string prod_status_report(const sim_prod_status& v) {
    using namespace status_detail;
    std::string m = make_message(1089, 56);
    put_u8(m, 8, v.first);
    put_text(m, 9, 20, v.product);
    put_u8(m, 39, v.byte_a);
    put_u8(m, 40, v.byte_b);
    put_i32(m, 41, v.value);
    put_text(m, 45, 9, v.short_text);
    put_u8(m, 54, v.byte_c);
    return m;
}

// 1094, 32 bytes: session id answer.
inline std::string session_id_answer(const sim_session_id& v) {
    using namespace status_detail;
    std::string m = make_message(1094, 32);
    put_text(m, 12, 17, v.session);
    put_u8(m, 30, v.byte_a);
    put_u8(m, 31, v.byte_b);
    return m;
}

// 1097, 64 bytes: request for quote.
struct sim_req_for_quote {
    uint8_t byte_a = 0;    // at 8
    std::string text20;    // 20 bytes at 9
    std::string text24;    // 24 bytes at 29
    std::string value8;    // 8 bytes at 53
};
inline std::string req_for_quote_report(const sim_req_for_quote& v) {
    using namespace status_detail;
    std::string m = make_message(1097, 64);
    put_u8(m, 8, v.byte_a);
    put_text(m, 9, 20, v.text20);
    put_text(m, 29, 24, v.text24);
    put_text(m, 53, 8, v.value8);
    return m;
}

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_STATUS_ANSWERS_H

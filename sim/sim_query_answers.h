// The simulated server's answers on the query port: one builder per message
// type, each taking the field values to put on the wire, named by their byte
// offsets where the values have no meaning of their own to the server. Texts
// are written as given, cut to their field (a text that fills its field has
// no NUL); every other byte is zero. A closing message of a series is an
// answer whose only set field is its end flag. Send the results with
// sim_trade_server::send_query_raw or script them as the answers to a
// request (sim_config::query_answers). Their value records are in
// sim/sim_query_values.h.
#ifndef HUX_SIM_SIM_QUERY_ANSWERS_H
#define HUX_SIM_SIM_QUERY_ANSWERS_H

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sim/sim_query_values.h"
#include "sim/sim_risk_tables.h"
#include "sim/sim_trade_server.h"

namespace hux_sim {

// Fixed length of a query answer type; 0 for a type that is not one.
inline size_t query_answer_length(uint16_t type) {
    switch (type) {
        case 1063: return 112;
        case 1064: return 24;
        case 1068: return 56;
        case 1069: return 16;
        case 1071: return 88;
        case 1072: return 139;
        case 1073: return 152;
        case 1074: return 144;
        case 1075: return 88;
        case 1077: return 96;
        case 1078: return 128;
        case 1081: return 108;
        case 1082: return 1006;
        case 1083: return 448;
        case 1092: return 167;
        case 1093: return 108;
        case 1095: return 200;
        case 1099: return 64;
        default: return 0;
    }
}

namespace query_detail {

inline void put_le(std::string& m, size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) m[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
inline void put_u8(std::string& m, size_t at, uint8_t v) { put_le(m, at, v, 1); }
inline void put_u16(std::string& m, size_t at, uint16_t v) { put_le(m, at, v, 2); }
inline void put_u32(std::string& m, size_t at, uint32_t v) { put_le(m, at, v, 4); }
inline void put_i32(std::string& m, size_t at, int32_t v) { put_le(m, at, static_cast<uint32_t>(v), 4); }
inline void put_i64(std::string& m, size_t at, int64_t v) { put_le(m, at, static_cast<uint64_t>(v), 8); }
inline void put_f64(std::string& m, size_t at, double v) {
    uint64_t u;
    memcpy(&u, &v, sizeof(u));
    put_le(m, at, u, 8);
}
inline void put_text(std::string& m, size_t at, size_t width, const std::string& text) {
    memcpy(&m[at], text.data(), text.size() < width ? text.size() : width);
}
inline std::string blank(uint16_t type) { return make_message(type, query_answer_length(type)); }

}  // namespace query_detail

// 1068, 56 bytes: the query logon's result.
inline std::string query_logon_message(const sim_query_logon& v) {
    using namespace query_detail;
    std::string m = blank(1068);
    put_u32(m, 8, v.result);
    put_u32(m, 45, v.user_id);
    return m;
}

// 1069, 16 bytes: the result of a password change.
inline std::string change_password_message(uint32_t result) {
    using namespace query_detail;
    std::string m = blank(1069);
    put_u32(m, 12, result);
    return m;
}

// 1071, 88 bytes: one account of the user.
inline std::string user_account_answer(const sim_user_account& v) {
    using namespace query_detail;
    std::string m = blank(1071);
    put_u8(m, 8, v.end_flag);
    put_text(m, 13, 16, v.account);
    put_u32(m, 29, v.field_29);
    for (size_t i = 0; i < v.amounts.size(); ++i) put_f64(m, 33 + 8 * i, v.amounts[i]);
    return m;
}

// 1072, 139 bytes: one symbol of the symbol list.
inline std::string symbol_info_answer(const sim_symbol_info& v) {
    using namespace query_detail;
    std::string m = blank(1072);
    put_u8(m, 8, v.end_flag);
    put_u8(m, 9, v.kind);
    put_text(m, 10, 20, v.symbol);
    put_text(m, 30, 21, v.text_30);
    put_u8(m, 51, v.exchange_id);
    put_u32(m, 52, v.field_52);
    put_u16(m, 84, v.field_84);
    put_u8(m, 86, v.byte_86);
    for (size_t i = 0; i < v.fields_87.size(); ++i) put_u32(m, 87 + 4 * i, v.fields_87[i]);
    put_f64(m, 107, v.value_107);
    for (size_t i = 0; i < v.fields_115.size(); ++i) put_u32(m, 115 + 4 * i, v.fields_115[i]);
    put_u32(m, 127, v.field_127);
    put_u32(m, 131, v.field_131);
    put_u8(m, 135, v.byte_135);
    put_u8(m, 136, v.byte_136);
    return m;
}

// 1073, 152 bytes: one futures position.
inline std::string future_position_answer(const sim_future_position& v) {
    using namespace query_detail;
    std::string m = blank(1073);
    put_i32(m, 4, v.request_no);
    put_u8(m, 8, v.end_flag);
    put_text(m, 13, 16, v.account);
    put_text(m, 33, 20, v.symbol);
    put_u8(m, 53, v.byte_53);
    put_u32(m, 54, v.field_54);
    for (size_t i = 0; i < v.fields_66.size(); ++i) put_u32(m, 66 + 4 * i, v.fields_66[i]);
    put_f64(m, 82, v.value_82);
    put_f64(m, 90, v.value_90);
    put_f64(m, 138, v.value_138);
    put_u8(m, 146, v.byte_146);
    return m;
}

// 1092, 167 bytes: one option position.
inline std::string option_position_answer(const sim_option_position& v) {
    using namespace query_detail;
    std::string m = blank(1092);
    put_i32(m, 4, v.request_no);
    put_u8(m, 8, v.end_flag);
    put_text(m, 13, 16, v.account);
    put_u32(m, 33, v.exchange_id);
    put_text(m, 37, 49, v.symbol);
    put_text(m, 86, 9, v.number_text);
    put_u8(m, 95, v.byte_95);
    put_u32(m, 96, v.field_96);
    put_u32(m, 108, v.field_108);
    put_u32(m, 112, v.quantity_a);
    for (size_t i = 0; i < v.fields_116.size(); ++i) put_u32(m, 116 + 4 * i, v.fields_116[i]);
    put_f64(m, 128, v.value_128);
    put_f64(m, 136, v.value_136);
    put_u32(m, 144, v.field_144);
    put_u32(m, 148, v.quantity_b);
    put_f64(m, 152, v.value_152);
    put_u8(m, 160, v.byte_160);
    return m;
}

// 1074, 144 bytes: one order of the order rewind.
inline std::string rewind_order_answer(const sim_rewind_order& v) {
    using namespace query_detail;
    std::string m = blank(1074);
    put_u8(m, 8, v.end_flag);
    put_u32(m, 9, v.field_9);
    put_i64(m, 13, v.value_13);
    put_u32(m, 21, v.field_21);
    put_u8(m, 25, v.byte_25);
    put_text(m, 26, 21, v.symbol);
    put_u8(m, 47, v.byte_47);
    put_u32(m, 48, v.field_48);
    put_f64(m, 52, v.value_52);
    put_u8(m, 60, v.byte_60);
    put_u8(m, 69, v.byte_69);
    put_u32(m, 70, v.field_70);
    put_text(m, 74, 16, v.account);
    put_u8(m, 90, v.byte_90);
    put_u8(m, 91, v.byte_91);
    put_i64(m, 93, v.value_93);
    put_u32(m, 101, v.field_101);
    put_u32(m, 105, v.field_105);
    for (size_t i = 0; i < v.values_109.size(); ++i) put_i64(m, 109 + 8 * i, v.values_109[i]);
    put_u32(m, 133, v.field_133);
    return m;
}

// 1075 (88 bytes) and its extended form 1063 (112 bytes): one execution of
// the execution rewind. The text at 57 runs to the end of a 1075 (31 bytes)
// and to 82 in a 1063 (26 bytes), which adds the text at 83 and the byte at 103.
inline std::string rewind_execution_answer(uint16_t type, const sim_rewind_execution& v) {
    using namespace query_detail;
    const bool extended = type == 1063;
    std::string m = blank(extended ? 1063 : 1075);
    put_u8(m, 8, v.end_flag);
    put_u32(m, 9, v.field_9);
    put_text(m, 13, 16, v.account);
    put_i64(m, 29, v.value_29);
    put_u32(m, 37, v.field_37);
    put_u32(m, 41, v.field_41);
    put_u32(m, 45, v.field_45);
    put_f64(m, 49, v.value_49);
    put_text(m, 57, extended ? 26 : 31, v.text_57);
    if (extended) {
        put_text(m, 83, 20, v.text_83);
        put_u8(m, 103, v.byte_103);
    }
    return m;
}

// 1077 (96 bytes) and 1078 (128 bytes): one margin item and one fee item.
// The margin carries the first two values, the fee all six and its byte at 127.
inline std::string account_rate_answer(uint16_t type, const sim_account_rate& v) {
    using namespace query_detail;
    const bool fee = type == 1078;
    std::string m = blank(fee ? 1078 : 1077);
    put_u8(m, 8, v.end_flag);
    put_text(m, 9, 16, v.account);
    put_u8(m, 25, v.byte_25);
    put_text(m, 26, 20, v.symbol);
    put_u8(m, 46, v.byte_46);
    put_u32(m, 47, v.field_47);
    for (size_t i = 0; i < (fee ? 6u : 2u); ++i) put_f64(m, 79 + 8 * i, v.values[i]);
    if (fee) put_u8(m, 127, v.byte_127);
    return m;
}

// 1082, 1006 bytes: account risk data; 1083, 448 bytes: per-symbol risk
// data. The values past the texts are the table's entries when `fill` is set
// (sim/sim_risk_tables.h), then the bytes of `raw`: offset -> bytes, written
// last (le_bytes and f64_bytes make them), cut at the end of the message.
inline std::string account_risk_answer(const sim_account_risk& v) {
    using namespace query_detail;
    std::string m = blank(1082);
    put_text(m, 8, 16, v.account);
    if (v.fill) fill_risk_entries(m, account_risk_entries(), account_risk_entry_count, v.fill_base);
    for (const auto& r : v.raw) m = patch_bytes(m, r.first, r.second);
    return m;
}

inline std::string symbol_risk_answer(const sim_symbol_risk& v) {
    using namespace query_detail;
    std::string m = blank(1083);
    put_u32(m, 8, v.field_8);
    put_text(m, 12, 16, v.account);
    put_text(m, 28, 20, v.symbol);
    if (v.fill) fill_risk_entries(m, symbol_risk_entries(), symbol_risk_entry_count, v.fill_base);
    for (const auto& r : v.raw) m = patch_bytes(m, r.first, r.second);
    return m;
}

// 1064 (24 bytes), 1095 (200) and 1099 (64): answers the client takes whole
// and reads nothing of; zero past the header, unless `raw` says otherwise.
inline std::string opaque_query_answer(uint16_t type, const std::map<size_t, std::string>& raw = {}) {
    std::string m = query_detail::blank(type);
    for (const auto& r : raw) m = patch_bytes(m, r.first, r.second);
    return m;
}

// 1081 and 1093, buying power, are built by account_bp_answer and
// account_bp_report (sim/sim_status_answers.h).

// The answers to one complete query request from `data` (see
// sim_query_data): the series of 71, 72, 73, 74, 75, 77 and 78 with their
// closing messages, the 1095 after 74's when asked, the single answers of
// 81, 82 and 83. Empty while data.answer is off, for the other request
// types and for a request shorter than its length. The push that
// data.bp_push_after asks for is not among them.
std::vector<std::string> query_data_answers(const sim_query_data& data, const std::string& request);

// False with the reason in `why` for query data the server would have to
// cut: a text longer than its field, an execution type other than 1075 and
// 1063, a push after a type that is no query request, a risk fill whose
// last entry would not fit in 32 bits.
bool check_query_data(const sim_query_data& data, std::string& why);

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_QUERY_ANSWERS_H

// The simulated server's unasked reports: fills, exchange order reports,
// orders and fills of other sessions of the user, and orders and quotes the
// trading server created or changed itself. One builder per layout, taking
// the field values to put on the wire. Texts are written as given, cut to
// their field (a text that fills its field has no NUL); every other byte is
// zero. Send the result with sim_trade_server::send_raw.
//
// The order messages (1010, 1012, 1015, 1016, 2201, 2202) repeat the new
// order's bytes 4 to 99 at the same offsets.
#ifndef HUX_SIM_SIM_REPORT_ANSWERS_H
#define HUX_SIM_SIM_REPORT_ANSWERS_H

#include <cstdint>
#include <cstring>
#include <string>

#include "sim/sim_trade_server.h"

namespace hux_sim {

namespace report_detail {

inline void put_u8(std::string& m, size_t at, uint8_t v) { m[at] = static_cast<char>(v); }
inline void put_le(std::string& m, size_t at, uint64_t u, int width) {
    for (int i = 0; i < width; ++i) m[at + i] = static_cast<char>((u >> (8 * i)) & 0xff);
}
inline void put_i32(std::string& m, size_t at, int32_t v) { put_le(m, at, static_cast<uint32_t>(v), 4); }
inline void put_i64(std::string& m, size_t at, int64_t v) { put_le(m, at, static_cast<uint64_t>(v), 8); }
inline void put_text(std::string& m, size_t at, size_t width, const std::string& text) {
    memcpy(&m[at], text.data(), text.size() < width ? text.size() : width);
}

}  // namespace report_detail

// Fills: 1014, 1017 and 2203 (both editions), 136 bytes.
struct sim_execution {
    int32_t field_4 = 0;       // at 4
    std::string value_24;      // 8 bytes at 24
    int64_t order_no = 0;      // at 32
    uint8_t byte_41 = 0;       // at 41
    int32_t field_42 = 0;      // at 42
    int32_t field_46 = 0;      // at 46
    std::string text_50;       // 24 bytes at 50
    int32_t filled_quantity = 0;  // at 74
    int64_t fill_price = 0;    // at 78, price times 10000
    std::string text_86;       // 24 bytes at 86
    uint8_t byte_110 = 0;
    uint8_t byte_111 = 0;
    std::string symbol;        // 20 bytes at 112
    uint8_t byte_132 = 0;
    uint8_t byte_133 = 0;
    uint8_t marker = 0;        // at 134 (qv27 2203)
    uint8_t byte_135 = 0;
};
inline std::string execution_message(uint16_t type, const sim_execution& v) {
    using namespace report_detail;
    std::string m = make_message(type, 136);
    put_i32(m, 4, v.field_4);
    put_text(m, 24, 8, v.value_24);
    put_i64(m, 32, v.order_no);
    put_u8(m, 41, v.byte_41);
    put_i32(m, 42, v.field_42);
    put_i32(m, 46, v.field_46);
    put_text(m, 50, 24, v.text_50);
    put_i32(m, 74, v.filled_quantity);
    put_i64(m, 78, v.fill_price);
    put_text(m, 86, 24, v.text_86);
    put_u8(m, 110, v.byte_110);
    put_u8(m, 111, v.byte_111);
    put_text(m, 112, 20, v.symbol);
    put_u8(m, 132, v.byte_132);
    put_u8(m, 133, v.byte_133);
    put_u8(m, 134, v.marker);
    put_u8(m, 135, v.byte_135);
    return m;
}

// Orders of 158 bytes: 1015, 1016 and 2202 (both editions).
struct sim_order {
    int32_t request_tag = 0;  // at 4
    uint8_t user_low = 0;     // at 8
    uint8_t exchange_id = 0;  // at 12
    uint8_t opt_4 = 0;        // at 13
    uint8_t opt_8 = 0;        // at 15
    uint8_t opt_7 = 0;        // at 16
    uint8_t side = 0;         // at 17
    uint8_t opt_5 = 0;        // at 18
    uint8_t opt_1 = 0;        // at 19
    int32_t client_token = 0;  // at 20
    int32_t quantity = 0;     // at 24
    int32_t opt_2 = 0;        // at 28
    int64_t price = 0;        // at 32
    int64_t second_price = 0;  // at 40
    uint8_t opt_9 = 0;        // at 48
    uint8_t byte_49 = 0;      // at 49
    int32_t opt_3 = 0;        // at 52
    int32_t field_56 = 0;     // at 56
    std::string account;      // 16 bytes at 60
    std::string symbol;       // 20 bytes at 76
    std::string exchange_order_id;  // 24 bytes at 100
    uint8_t byte_124 = 0;     // at 124: the status
    uint8_t kind = 0;         // at 125 (qv27 2202)
    int32_t field_126 = 0;    // at 126
    int32_t field_130 = 0;    // at 130
    std::string bytes_134;    // 16 bytes at 134: eight-byte values at 134 and 142
};
inline std::string order_message(uint16_t type, const sim_order& v) {
    using namespace report_detail;
    std::string m = make_message(type, 158);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_low);
    put_u8(m, 12, v.exchange_id);
    put_u8(m, 13, v.opt_4);
    put_u8(m, 15, v.opt_8);
    put_u8(m, 16, v.opt_7);
    put_u8(m, 17, v.side);
    put_u8(m, 18, v.opt_5);
    put_u8(m, 19, v.opt_1);
    put_i32(m, 20, v.client_token);
    put_i32(m, 24, v.quantity);
    put_i32(m, 28, v.opt_2);
    put_i64(m, 32, v.price);
    put_i64(m, 40, v.second_price);
    put_u8(m, 48, v.opt_9);
    put_u8(m, 49, v.byte_49);
    put_i32(m, 52, v.opt_3);
    put_i32(m, 56, v.field_56);
    put_text(m, 60, 16, v.account);
    put_text(m, 76, 20, v.symbol);
    put_text(m, 100, 24, v.exchange_order_id);
    put_u8(m, 124, v.byte_124);
    put_u8(m, 125, v.kind);
    put_i32(m, 126, v.field_126);
    put_i32(m, 130, v.field_130);
    put_text(m, 134, 16, v.bytes_134);
    return m;
}

// 2201, 144 bytes: an order the trading server created.
struct sim_internal_order {
    int32_t request_tag = 0;  // at 4
    uint8_t user_low = 0;     // at 8
    uint8_t exchange_id = 0;  // at 12
    uint8_t opt_4 = 0;        // at 13
    uint8_t opt_8 = 0;        // at 15
    uint8_t opt_7 = 0;        // at 16
    uint8_t side = 0;         // at 17
    uint8_t opt_5 = 0;        // at 18
    uint8_t opt_1 = 0;        // at 19
    int32_t client_token = 0;  // at 20
    int32_t quantity = 0;     // at 24
    int32_t opt_2 = 0;        // at 28
    int64_t price = 0;        // at 32
    int64_t second_price = 0;  // at 40
    uint8_t opt_9 = 0;        // at 48
    uint8_t byte_49 = 0;      // at 49
    int32_t opt_3 = 0;        // at 52
    int32_t field_56 = 0;     // at 56
    std::string account;      // 16 bytes at 60
    std::string symbol;       // 20 bytes at 76
    int64_t order_no = 0;     // at 104
    std::string exchange_order_id;  // 24 bytes at 120
};
inline std::string internal_order_message(const sim_internal_order& v) {
    using namespace report_detail;
    std::string m = make_message(2201, 144);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_low);
    put_u8(m, 12, v.exchange_id);
    put_u8(m, 13, v.opt_4);
    put_u8(m, 15, v.opt_8);
    put_u8(m, 16, v.opt_7);
    put_u8(m, 17, v.side);
    put_u8(m, 18, v.opt_5);
    put_u8(m, 19, v.opt_1);
    put_i32(m, 20, v.client_token);
    put_i32(m, 24, v.quantity);
    put_i32(m, 28, v.opt_2);
    put_i64(m, 32, v.price);
    put_i64(m, 40, v.second_price);
    put_u8(m, 48, v.opt_9);
    put_u8(m, 49, v.byte_49);
    put_i32(m, 52, v.opt_3);
    put_i32(m, 56, v.field_56);
    put_text(m, 60, 16, v.account);
    put_text(m, 76, 20, v.symbol);
    put_i64(m, 104, v.order_no);
    put_text(m, 120, 24, v.exchange_order_id);
    return m;
}

// 2204, 232 bytes (both editions): exchange reject of a server-changed order.
struct sim_order_adjust_rej {
    int32_t request_tag = 0;  // at 4
    uint8_t user_low = 0;     // at 8
    uint8_t exchange_id = 0;  // at 12
    uint8_t opt_4 = 0;        // at 13
    int32_t client_token = 0;  // at 20
    int32_t field_56 = 0;     // at 56
    std::string account;      // 16 bytes at 60
    int32_t reason = 0;       // at 132
    std::string value_217;    // 8 bytes at 217
};
inline std::string order_adjust_rej_message(const sim_order_adjust_rej& v) {
    using namespace report_detail;
    std::string m = make_message(2204, 232);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_low);
    put_u8(m, 12, v.exchange_id);
    put_u8(m, 13, v.opt_4);
    put_i32(m, 20, v.client_token);
    put_i32(m, 56, v.field_56);
    put_text(m, 60, 16, v.account);
    put_i32(m, 132, v.reason);
    put_text(m, 217, 8, v.value_217);
    return m;
}

// 1034, 137 bytes: a special order of another session of the user.
struct sim_special_order {
    int32_t field_4 = 0;      // at 4
    uint8_t byte_8 = 0;
    uint8_t byte_9 = 0;
    int32_t field_12 = 0;     // at 12
    uint8_t byte_16 = 0;
    uint8_t byte_17 = 0;
    uint8_t byte_19 = 0;
    int32_t client_token = 0;  // at 20
    int32_t field_24 = 0;     // at 24
    std::string account;      // 16 bytes at 28
    std::string symbol;       // 20 bytes at 44
    uint8_t byte_64 = 0;
    std::string exchange_order_id;  // 24 bytes at 72
    uint8_t byte_96 = 0;
    std::string value_97;     // 8 bytes at 97
};
inline std::string special_order_message(const sim_special_order& v) {
    using namespace report_detail;
    std::string m = make_message(1034, 137);
    put_i32(m, 4, v.field_4);
    put_u8(m, 8, v.byte_8);
    put_u8(m, 9, v.byte_9);
    put_i32(m, 12, v.field_12);
    put_u8(m, 16, v.byte_16);
    put_u8(m, 17, v.byte_17);
    put_u8(m, 19, v.byte_19);
    put_i32(m, 20, v.client_token);
    put_i32(m, 24, v.field_24);
    put_text(m, 28, 16, v.account);
    put_text(m, 44, 20, v.symbol);
    put_u8(m, 64, v.byte_64);
    put_text(m, 72, 24, v.exchange_order_id);
    put_u8(m, 96, v.byte_96);
    put_text(m, 97, 8, v.value_97);
    return m;
}

// Server-changed quotes: 2205 (ordinary 296 bytes, qv27 232 bytes, which may
// also carry a posted quote) and its exchange reject 2206 (296 bytes).
struct sim_quote_adjust {
    int32_t field_4 = 0;      // at 4
    uint8_t byte_8 = 0;       // at 8
    uint8_t byte_13 = 0;      // at 13
    std::string account;      // 16 bytes at 56
    int32_t field_116 = 0;
    int32_t field_120 = 0;
    int32_t field_124 = 0;
    std::string texts[3];     // 24 bytes each: ordinary 196, 220, 244; qv27 132, 156, 180
    uint8_t status = 0;       // ordinary 268; qv27 204
    std::string value8;       // 8 bytes: ordinary 269; qv27 205
    // qv27 2205 only.
    uint8_t marker = 0;       // at 229: 2 = posted quote
    uint8_t exchange_id = 0;  // at 12
    int32_t quantity_1 = 0;   // at 16
    int32_t quantity_2 = 0;   // at 20
    int64_t price_1 = 0;      // at 24
    int64_t price_2 = 0;      // at 32
    uint8_t opt_2 = 0;        // at 40
    uint8_t opt_4 = 0;        // at 41
    uint8_t opt_1 = 0;        // at 42
    uint8_t opt_3 = 0;        // at 43
    uint8_t byte_52 = 0;      // at 52
    std::string symbol;       // 20 bytes at 72
    std::string value_213;    // 8 bytes at 213
    // 2206 only.
    int32_t field_44 = 0;     // at 44
    int32_t reason = 0;       // at 196
    std::string value_282;    // 8 bytes at 282
};
inline void put_quote_common(std::string& m, const sim_quote_adjust& v) {
    using namespace report_detail;
    put_i32(m, 4, v.field_4);
    put_u8(m, 8, v.byte_8);
    put_u8(m, 13, v.byte_13);
    put_text(m, 56, 16, v.account);
    put_i32(m, 116, v.field_116);
    put_i32(m, 120, v.field_120);
    put_i32(m, 124, v.field_124);
}
inline std::string quote_adjust_message(const sim_quote_adjust& v) {
    using namespace report_detail;
    std::string m = make_message(2205, 296);
    put_quote_common(m, v);
    for (int i = 0; i < 3; ++i) put_text(m, 196 + 24 * i, 24, v.texts[i]);
    put_u8(m, 268, v.status);
    put_text(m, 269, 8, v.value8);
    return m;
}
inline std::string qv27_quote_message(const sim_quote_adjust& v) {
    using namespace report_detail;
    std::string m = make_message(2205, 232);
    put_quote_common(m, v);
    put_u8(m, 12, v.exchange_id);
    put_i32(m, 16, v.quantity_1);
    put_i32(m, 20, v.quantity_2);
    put_i64(m, 24, v.price_1);
    put_i64(m, 32, v.price_2);
    put_u8(m, 40, v.opt_2);
    put_u8(m, 41, v.opt_4);
    put_u8(m, 42, v.opt_1);
    put_u8(m, 43, v.opt_3);
    put_u8(m, 52, v.byte_52);
    put_text(m, 72, 20, v.symbol);
    for (int i = 0; i < 3; ++i) put_text(m, 132 + 24 * i, 24, v.texts[i]);
    put_u8(m, 204, v.status);
    put_text(m, 205, 8, v.value8);
    put_text(m, 213, 8, v.value_213);
    put_u8(m, 229, v.marker);
    return m;
}
inline std::string quote_adjust_rej_message(const sim_quote_adjust& v) {
    using namespace report_detail;
    std::string m = make_message(2206, 296);
    put_quote_common(m, v);
    put_i32(m, 44, v.field_44);
    put_i32(m, 196, v.reason);
    put_text(m, 282, 8, v.value_282);
    return m;
}

}  // namespace hux_sim

#endif

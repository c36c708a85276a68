// The simulated server's answers to orders, cancels, quotes, quote actions,
// combination and special orders. Messages that share a layout share one value
// record and one builder per type. Texts are written as given, cut to their
// field (a text that fills its field has no NUL); every byte not named is zero.
// Send the result with sim_trade_server::send_raw. Exchange texts are raw
// bytes (GB2312 on a real server): all 81 bytes of the field may be set.
#ifndef HUX_SIM_SIM_ORDER_ANSWERS_H
#define HUX_SIM_SIM_ORDER_ANSWERS_H

#include <cstdint>
#include <cstring>
#include <string>

#include "sim/sim_trade_server.h"

namespace hux_sim {

namespace order_detail {

inline void put_le(std::string& m, size_t at, uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) m[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
inline void put_u8(std::string& m, size_t at, uint8_t v) { put_le(m, at, v, 1); }
inline void put_u16(std::string& m, size_t at, uint16_t v) { put_le(m, at, v, 2); }
inline void put_i32(std::string& m, size_t at, int32_t v) { put_le(m, at, static_cast<uint32_t>(v), 4); }
inline void put_u32(std::string& m, size_t at, uint32_t v) { put_le(m, at, v, 4); }
inline void put_i64(std::string& m, size_t at, int64_t v) { put_le(m, at, static_cast<uint64_t>(v), 8); }
inline void put_text(std::string& m, size_t at, size_t width, const std::string& text) {
    memcpy(&m[at], text.data(), text.size() < width ? text.size() : width);
}

}  // namespace order_detail

// 1010, 120 bytes: the trading server's answer to a new order.
struct sim_order_answer {
    int32_t request_tag = 0;   // at 4
    uint8_t user_id_low = 0;   // at 8
    uint16_t field_10 = 0;     // at 10
    uint8_t exchange_id = 0;   // at 12
    uint8_t opt_4 = 0;         // at 13
    uint8_t opt_8 = 0;         // at 15
    uint8_t opt_7 = 0;         // at 16
    uint8_t side = 0;          // at 17
    uint8_t opt_5 = 0;         // at 18
    uint8_t opt_1 = 0;         // at 19
    int32_t client_token = 0;  // at 20
    int32_t quantity = 0;      // at 24
    int32_t opt_2 = 0;         // at 28
    int64_t price = 0;         // at 32, times 10000
    int64_t second_price = 0;  // at 40, times 10000
    uint8_t opt_9 = 0;         // at 48
    uint8_t field_49 = 0;      // at 49: the order field
    int32_t opt_3 = 0;         // at 52
    int32_t field_56 = 0;      // at 56
    std::string account;       // 16 bytes at 60
    std::string symbol;        // 20 bytes at 76
    uint32_t result = 0;       // at 100
    int64_t order_no = 0;      // at 104
    uint32_t risk_mask = 0;    // at 112 (qv27 server)
};
inline std::string order_insert_answer(const sim_order_answer& v) {
    using namespace order_detail;
    std::string m = make_message(1010, 120);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u16(m, 10, v.field_10);
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
    put_u8(m, 49, v.field_49);
    put_i32(m, 52, v.opt_3);
    put_i32(m, 56, v.field_56);
    put_text(m, 60, 16, v.account);
    put_text(m, 76, 20, v.symbol);
    put_u32(m, 100, v.result);
    put_i64(m, 104, v.order_no);
    put_u32(m, 112, v.risk_mask);
    return m;
}

// 1012, 232 bytes: the exchange's answer to a new order.
struct sim_order_market_answer {
    int32_t request_tag = 0;    // at 4
    uint8_t user_id_low = 0;    // at 8
    uint16_t field_10 = 0;      // at 10
    uint8_t exchange_id = 0;    // at 12
    uint8_t opt_4 = 0;          // at 13
    uint8_t opt_8 = 0;          // at 15
    uint8_t opt_7 = 0;          // at 16
    uint8_t side = 0;           // at 17
    uint8_t opt_5 = 0;          // at 18
    uint8_t opt_1 = 0;          // at 19
    int32_t client_token = 0;   // at 20
    int32_t quantity = 0;       // at 24
    int32_t opt_2 = 0;          // at 28
    int64_t price = 0;          // at 32, times 10000
    int64_t second_price = 0;   // at 40, times 10000
    uint8_t opt_9 = 0;          // at 48
    uint8_t field_49 = 0;       // at 49
    int32_t opt_3 = 0;          // at 52
    int32_t field_56 = 0;       // at 56
    std::string account;        // 16 bytes at 60
    std::string symbol;         // 20 bytes at 76
    std::string exchange_order_id;  // 24 bytes at 100
    int32_t result = 0;         // at 132
    std::string exchange_text;  // 81 bytes at 136, GB2312
    std::string value8;         // 8 bytes at 217
};
inline std::string order_insert_market_answer(const sim_order_market_answer& v) {
    using namespace order_detail;
    std::string m = make_message(1012, 232);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u16(m, 10, v.field_10);
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
    put_u8(m, 49, v.field_49);
    put_i32(m, 52, v.opt_3);
    put_i32(m, 56, v.field_56);
    put_text(m, 60, 16, v.account);
    put_text(m, 76, 20, v.symbol);
    put_text(m, 100, 24, v.exchange_order_id);
    put_i32(m, 132, v.result);
    put_text(m, 136, 81, v.exchange_text);
    put_text(m, 217, 8, v.value8);
    return m;
}

// 1011 (64 bytes), 1019 (64) and 1031 (65): the trading server's answers to
// an order cancel, a quote action and a special-order cancel. The
// special-order cancel keeps its cancel mode at 30, in `opt_3`.
struct sim_cancel_answer {
    int32_t request_tag = 0;    // at 4
    int32_t user_id = 0;        // at 8
    int32_t client_token = 0;   // at 12
    int32_t market_token = 0;   // at 16
    int32_t owner_user_id = 0;  // at 20
    int32_t owner_token = 0;    // at 24
    uint8_t opt_1 = 0;          // at 28
    uint8_t byte_29 = 0;        // at 29
    uint8_t opt_3 = 0;          // at 30
    uint8_t cancel_mode = 0;    // at 31
    uint8_t byte_32 = 0;        // at 32
    uint32_t result = 0;        // at 44
    int64_t order_no = 0;       // at 48
};
inline std::string cancel_answer(uint16_t type, const sim_cancel_answer& v) {
    using namespace order_detail;
    std::string m = make_message(type, type == 1031 ? 65 : 64);
    put_i32(m, 4, v.request_tag);
    put_i32(m, 8, v.user_id);
    put_i32(m, 12, v.client_token);
    put_i32(m, 16, v.market_token);
    put_i32(m, 20, v.owner_user_id);
    put_i32(m, 24, v.owner_token);
    put_u8(m, 28, v.opt_1);
    put_u8(m, 29, v.byte_29);
    put_u8(m, 30, v.opt_3);
    put_u8(m, 31, v.cancel_mode);
    put_u8(m, 32, v.byte_32);
    put_u32(m, 44, v.result);
    put_i64(m, 48, v.order_no);
    return m;
}

// 1013 (144 bytes), 1021 (145) and 1033 (148): the exchange's answers to an
// order cancel, a quote action and a special-order cancel. The eight-byte
// value is at 130 in 1021, at 129 in the others; the special-order cancel's
// mode is at 30, in `opt_3`.
struct sim_cancel_market_answer {
    int32_t request_tag = 0;    // at 4
    int32_t user_id = 0;        // at 8
    int32_t client_token = 0;   // at 12
    int32_t market_token = 0;   // at 16
    int32_t owner_user_id = 0;  // at 20
    int32_t owner_token = 0;    // at 24
    uint8_t opt_1 = 0;          // at 28
    uint8_t opt_3 = 0;          // at 30
    uint8_t cancel_mode = 0;    // at 31
    uint8_t byte_32 = 0;        // at 32
    uint8_t byte_35 = 0;        // at 35
    uint32_t result = 0;        // at 44
    std::string exchange_text;  // 81 bytes at 48, GB2312
    std::string value8;         // 8 bytes at 129 or 130
    uint8_t exchange_id = 0;    // at 138
};
inline std::string cancel_market_answer(uint16_t type, const sim_cancel_market_answer& v) {
    using namespace order_detail;
    std::string m = make_message(type, type == 1013 ? 144 : type == 1021 ? 145 : 148);
    put_i32(m, 4, v.request_tag);
    put_i32(m, 8, v.user_id);
    put_i32(m, 12, v.client_token);
    put_i32(m, 16, v.market_token);
    put_i32(m, 20, v.owner_user_id);
    put_i32(m, 24, v.owner_token);
    put_u8(m, 28, v.opt_1);
    put_u8(m, 30, v.opt_3);
    put_u8(m, 31, v.cancel_mode);
    put_u8(m, 32, v.byte_32);
    put_u8(m, 35, v.byte_35);
    put_u32(m, 44, v.result);
    put_text(m, 48, 81, v.exchange_text);
    put_text(m, type == 1021 ? 130 : 129, 8, v.value8);
    put_u8(m, 138, v.exchange_id);
    return m;
}

// 1018 (216 bytes), 1020, 1022, 1023 (296 bytes): quote answers and reports.
struct sim_quote_answer {
    int32_t request_tag = 0;    // at 4
    uint8_t user_id_low = 0;    // at 8
    uint16_t field_10 = 0;      // at 10
    uint8_t exchange_id = 0;    // at 12
    uint8_t opt_6 = 0;          // at 13
    uint8_t opt_5 = 0;          // at 15
    int32_t quantity_1 = 0;     // at 16
    int32_t quantity_2 = 0;     // at 20
    int64_t price_1 = 0;        // at 24, times 10000
    int64_t price_2 = 0;        // at 32, times 10000
    uint8_t opt_2 = 0;          // at 40
    uint8_t opt_4 = 0;          // at 41
    uint8_t opt_1 = 0;          // at 42
    uint8_t opt_3 = 0;          // at 43
    int32_t client_token = 0;   // at 44
    int32_t opt_8 = 0;          // at 48
    uint8_t byte_52 = 0;        // at 52
    std::string account;        // 16 bytes at 56
    std::string symbol;         // 20 bytes at 72
    std::string quote_text_1;   // 24 bytes at 92
    int32_t field_116 = 0;      // at 116
    int32_t field_120 = 0;      // at 120
    int32_t field_124 = 0;      // at 124
    std::string quote_text_2;   // 24 bytes at 128
    uint32_t result = 0;        // 1018 ordinary at 196, 1020 at 196; adapter forms at 132
    uint32_t qv27_order_mask = 0;  // 1018 qv27 at 132
    uint32_t qv27_risk_mask = 0;   // 1018 qv27 at 144
    std::string value8;         // 1018: at 200 (qv27: 136); 1020: at 282; 1023: at 277
    std::string exchange_text;  // 1020: 81 bytes at 200, GB2312
    std::string texts[3];       // 1022, 1023: 24 bytes each at 196, 220, 244
    uint8_t byte_268 = 0;       // 1022, 1023
    std::string value_269;      // 1022: 16 bytes, 1023: 8 bytes
};

namespace order_detail {
inline std::string quote_common(uint16_t type, size_t len, const sim_quote_answer& v) {
    std::string m = make_message(type, len);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u16(m, 10, v.field_10);
    put_u8(m, 12, v.exchange_id);
    put_u8(m, 13, v.opt_6);
    put_u8(m, 15, v.opt_5);
    put_i32(m, 16, v.quantity_1);
    put_i32(m, 20, v.quantity_2);
    put_i64(m, 24, v.price_1);
    put_i64(m, 32, v.price_2);
    put_u8(m, 40, v.opt_2);
    put_u8(m, 41, v.opt_4);
    put_u8(m, 42, v.opt_1);
    put_u8(m, 43, v.opt_3);
    put_i32(m, 44, v.client_token);
    put_i32(m, 48, v.opt_8);
    put_u8(m, 52, v.byte_52);
    put_text(m, 56, 16, v.account);
    put_text(m, 72, 20, v.symbol);
    put_text(m, 92, 24, v.quote_text_1);
    put_i32(m, 116, v.field_116);
    put_i32(m, 120, v.field_120);
    put_i32(m, 124, v.field_124);
    put_text(m, 128, 24, v.quote_text_2);
    return m;
}
}  // namespace order_detail

// 1018 from an ordinary server; with `qv27` the masks and the eight-byte
// value of a qv27 server are written over the second quote text instead.
inline std::string quote_insert_answer(const sim_quote_answer& v, bool qv27 = false) {
    using namespace order_detail;
    std::string m = quote_common(1018, 216, v);
    if (qv27) {
        put_u32(m, 132, v.qv27_order_mask);
        put_text(m, 136, 8, v.value8);
        put_u32(m, 144, v.qv27_risk_mask);
    } else {
        put_u32(m, 196, v.result);
        put_text(m, 200, 8, v.value8);
    }
    return m;
}
inline std::string quote_insert_market_answer(const sim_quote_answer& v) {
    using namespace order_detail;
    std::string m = quote_common(1020, 296, v);
    put_u32(m, 196, v.result);
    put_text(m, 200, 81, v.exchange_text);
    put_text(m, 282, 8, v.value8);
    return m;
}
inline std::string quote_market_report(const sim_quote_answer& v) {
    using namespace order_detail;
    std::string m = quote_common(1022, 296, v);
    for (int i = 0; i < 3; ++i) put_text(m, 196 + 24 * i, 24, v.texts[i]);
    put_u8(m, 268, v.byte_268);
    put_text(m, 269, 16, v.value_269);
    return m;
}
inline std::string post_quote(const sim_quote_answer& v) {
    using namespace order_detail;
    std::string m = quote_common(1023, 296, v);
    for (int i = 0; i < 3; ++i) put_text(m, 196 + 24 * i, 24, v.texts[i]);
    put_u8(m, 268, v.byte_268);
    put_text(m, 269, 8, v.value_269);
    put_text(m, 277, 8, v.value8);
    return m;
}

// The quote answers and reports as the adapter takes them, shorter than the
// trade library's: 1018 of 152 bytes, 1020 of 233, 1022 and 1023 of 232. The
// fields 4 to 151 are those of the longer forms; 1018 and 1020 carry their
// verdict `result` at 132, over the second quote text. The adapter reads
// nothing else of them; the bytes from 152 on are zero.
inline size_t adapter_quote_length(uint16_t type) {
    switch (type) {
        case 1018: return 152;
        case 1020: return 233;
        case 1022:
        case 1023: return 232;
        default: return 0;
    }
}
inline std::string adapter_quote_message(uint16_t type, const sim_quote_answer& v) {
    using namespace order_detail;
    const size_t len = adapter_quote_length(type);
    if (len == 0) return std::string();
    std::string m = quote_common(type, len, v);
    if (type == 1018 || type == 1020) put_u32(m, 132, v.result);
    return m;
}

// 1025 (160 bytes) and 1026 (240): answers to a combination order.
struct sim_combo_answer {
    int32_t request_tag = 0;    // at 4
    uint8_t user_id_low = 0;    // at 8
    uint8_t exchange_id = 0;    // at 9
    uint8_t opt_2 = 0;          // at 10
    uint8_t opt_5 = 0;          // at 12
    uint8_t opt_3 = 0;          // at 13
    int32_t client_token = 0;   // at 14
    int32_t opt_1 = 0;          // at 18
    int32_t field_22 = 0;       // at 22
    std::string account;        // 16 bytes at 26
    std::string legs;           // 80 bytes at 42
    uint8_t byte_122 = 0;       // at 122
    uint32_t result = 0;        // at 144
    std::string value8;         // 1025: at 148; 1026: at 229
    std::string exchange_text;  // 1026: 81 bytes at 148, GB2312
};
inline std::string combo_answer(uint16_t type, const sim_combo_answer& v) {
    using namespace order_detail;
    std::string m = make_message(type, type == 1025 ? 160 : 240);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u8(m, 9, v.exchange_id);
    put_u8(m, 10, v.opt_2);
    put_u8(m, 12, v.opt_5);
    put_u8(m, 13, v.opt_3);
    put_i32(m, 14, v.client_token);
    put_i32(m, 18, v.opt_1);
    put_i32(m, 22, v.field_22);
    put_text(m, 26, 16, v.account);
    put_text(m, 42, 80, v.legs);
    put_u8(m, 122, v.byte_122);
    put_u32(m, 144, v.result);
    if (type == 1025) {
        put_text(m, 148, 8, v.value8);
    } else {
        put_text(m, 148, 81, v.exchange_text);
        put_text(m, 229, 8, v.value8);
    }
    return m;
}

// 1030, 92 bytes: the trading server's answer to a special order.
struct sim_special_order_answer {
    int32_t request_tag = 0;    // at 4
    uint8_t user_id_low = 0;    // at 8
    uint8_t opt_4 = 0;          // at 10
    int32_t opt_2 = 0;          // at 12
    uint8_t opt_1 = 0;          // at 16
    uint8_t opt_5 = 0;          // at 17
    uint8_t opt_8 = 0;          // at 19
    int32_t client_token = 0;   // at 20
    int32_t field_24 = 0;       // at 24
    std::string account;        // 16 bytes at 28
    std::string symbol;         // 20 bytes at 44
    int32_t opt_3 = 0;          // at 68
    uint32_t result = 0;        // at 72
    std::string value8;         // 8 bytes at 76
};
inline std::string special_order_answer(const sim_special_order_answer& v) {
    using namespace order_detail;
    std::string m = make_message(1030, 92);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u8(m, 10, v.opt_4);
    put_i32(m, 12, v.opt_2);
    put_u8(m, 16, v.opt_1);
    put_u8(m, 17, v.opt_5);
    put_u8(m, 19, v.opt_8);
    put_i32(m, 20, v.client_token);
    put_i32(m, 24, v.field_24);
    put_text(m, 28, 16, v.account);
    put_text(m, 44, 20, v.symbol);
    put_i32(m, 68, v.opt_3);
    put_u32(m, 72, v.result);
    put_text(m, 76, 8, v.value8);
    return m;
}

// 1032, 200 bytes: the exchange's answer to a special order.
struct sim_special_order_market_answer {
    int32_t request_tag = 0;    // at 4
    uint8_t user_id_low = 0;    // at 8
    uint8_t exchange_id = 0;    // at 9
    uint8_t opt_4 = 0;          // at 10
    uint8_t opt_8 = 0;          // at 19
    int32_t client_token = 0;   // at 20
    int32_t field_24 = 0;       // at 24
    std::string account;        // 16 bytes at 28
    uint8_t byte_64 = 0;        // at 64
    std::string exchange_order_id;  // 24 bytes at 72
    int32_t result = 0;         // at 96
    std::string exchange_text;  // 81 bytes at 100, GB2312
    std::string value8;         // 8 bytes at 181
};
inline std::string special_order_market_answer(const sim_special_order_market_answer& v) {
    using namespace order_detail;
    std::string m = make_message(1032, 200);
    put_i32(m, 4, v.request_tag);
    put_u8(m, 8, v.user_id_low);
    put_u8(m, 9, v.exchange_id);
    put_u8(m, 10, v.opt_4);
    put_u8(m, 19, v.opt_8);
    put_i32(m, 20, v.client_token);
    put_i32(m, 24, v.field_24);
    put_text(m, 28, 16, v.account);
    put_u8(m, 64, v.byte_64);
    put_text(m, 72, 24, v.exchange_order_id);
    put_i32(m, 96, v.result);
    put_text(m, 100, 81, v.exchange_text);
    put_text(m, 181, 8, v.value8);
    return m;
}

}  // namespace hux_sim

#endif

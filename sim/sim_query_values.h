// Field values of the query port's answers, and the data the simulated
// server answers the account queries from (sim_query_data). The builders
// that put these records on the wire are in sim/sim_query_answers.h (the
// buying-power records' in sim/sim_status_answers.h). Offsets are those of
// the answer message; texts are cut to their field, and a text that fills
// its field has no NUL.
#ifndef HUX_SIM_SIM_QUERY_VALUES_H
#define HUX_SIM_SIM_QUERY_VALUES_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hux_sim {

// 1068, 56 bytes: the query logon's result.
struct sim_query_logon {
    uint32_t result = 0;   // at 8: 0 logged on
    uint32_t user_id = 0;  // at 45
};

// 1071, 88 bytes: one account of the user.
struct sim_user_account {
    uint8_t end_flag = 0;             // at 8: non-zero closes the series
    std::string account;              // 16 bytes at 13
    uint32_t field_29 = 0;            // at 29
    std::array<double, 6> amounts{};  // at 33, 41, 49, 57, 65, 73
};

// 1072, 139 bytes: one symbol of the symbol list.
struct sim_symbol_info {
    uint8_t end_flag = 0;                  // at 8: non-zero closes the series
    uint8_t kind = 0;                      // at 9: 2 = option
    std::string symbol;                    // 20 bytes at 10
    std::string text_30;                   // 21 bytes at 30: the symbol's second text
    uint8_t exchange_id = 0;               // at 51
    uint32_t field_52 = 0;                 // at 52
    uint16_t field_84 = 0;                 // at 84
    uint8_t byte_86 = 0;                   // at 86
    std::array<uint32_t, 5> fields_87{};   // at 87, 91, 95, 99, 103
    double value_107 = 0;                  // at 107
    std::array<uint32_t, 3> fields_115{};  // at 115, 119, 123
    uint32_t field_127 = 0;                // at 127
    uint32_t field_131 = 0;                // at 131
    uint8_t byte_135 = 0;                  // at 135
    uint8_t byte_136 = 0;                  // at 136
};

// 1073, 152 bytes: one futures position.
struct sim_future_position {
    int32_t request_no = 0;               // at 4, echoed from the request
    uint8_t end_flag = 0;                 // at 8: non-zero closes the series
    std::string account;                  // 16 bytes at 13
    std::string symbol;                   // 20 bytes at 33
    uint8_t byte_53 = 0;                  // at 53
    uint32_t field_54 = 0;                // at 54
    std::array<uint32_t, 4> fields_66{};  // at 66, 70, 74, 78
    double value_82 = 0;                  // at 82
    double value_90 = 0;                  // at 90
    double value_138 = 0;                 // at 138
    uint8_t byte_146 = 0;                 // at 146
};

// 1092, 167 bytes: one option position.
struct sim_option_position {
    int32_t request_no = 0;                // at 4, echoed from the request
    uint8_t end_flag = 0;                  // at 8: non-zero closes the series
    std::string account;                   // 16 bytes at 13
    uint32_t exchange_id = 0;              // at 33
    std::string symbol;                    // 49 bytes at 37: the option symbol
    std::string number_text;               // 9 bytes at 86: a decimal number as text
    uint8_t byte_95 = 0;                   // at 95
    uint32_t field_96 = 0;                 // at 96
    uint32_t field_108 = 0;                // at 108
    uint32_t quantity_a = 0;               // at 112
    std::array<uint32_t, 3> fields_116{};  // at 116, 120, 124
    double value_128 = 0;                  // at 128
    double value_136 = 0;                  // at 136
    uint32_t field_144 = 0;                // at 144
    uint32_t quantity_b = 0;               // at 148
    double value_152 = 0;                  // at 152
    uint8_t byte_160 = 0;                  // at 160
};

// 1074, 144 bytes: one order of the order rewind.
struct sim_rewind_order {
    uint8_t end_flag = 0;                 // at 8: 1 closes the series
    uint32_t field_9 = 0;                 // at 9
    int64_t value_13 = 0;                 // at 13
    uint32_t field_21 = 0;                // at 21
    uint8_t byte_25 = 0;                  // at 25
    std::string symbol;                   // 21 bytes at 26
    uint8_t byte_47 = 0;                  // at 47
    uint32_t field_48 = 0;                // at 48
    double value_52 = 0;                  // at 52
    uint8_t byte_60 = 0;                  // at 60
    uint8_t byte_69 = 0;                  // at 69: coded
    uint32_t field_70 = 0;                // at 70
    std::string account;                  // 16 bytes at 74
    uint8_t byte_90 = 0;                  // at 90
    uint8_t byte_91 = 0;                  // at 91
    int64_t value_93 = 0;                 // at 93
    uint32_t field_101 = 0;               // at 101
    uint32_t field_105 = 0;               // at 105
    std::array<int64_t, 3> values_109{};  // at 109, 117, 125
    uint32_t field_133 = 0;               // at 133
};

// 1075 (88 bytes) and its extended form 1063 (112 bytes): one execution of
// the execution rewind. The text at 57 runs to the end of a 1075 (31 bytes)
// and to 82 in a 1063 (26 bytes), which adds the text at 83 and the byte at 103.
struct sim_rewind_execution {
    uint8_t end_flag = 0;     // at 8: 1 closes the series
    uint32_t field_9 = 0;     // at 9
    std::string account;      // 16 bytes at 13
    int64_t value_29 = 0;     // at 29
    uint32_t field_37 = 0;    // at 37
    uint32_t field_41 = 0;    // at 41
    uint32_t field_45 = 0;    // at 45
    double value_49 = 0;      // at 49
    std::string text_57;      // at 57
    std::string text_83;      // 20 bytes at 83 (1063 only)
    uint8_t byte_103 = 0;     // at 103 (1063 only)
};

// 1077 (96 bytes) and 1078 (128 bytes): one margin item and one fee item.
// The margin carries the first two values, the fee all six and its byte at 127.
struct sim_account_rate {
    uint8_t end_flag = 0;            // at 8: non-zero closes the series
    std::string account;             // 16 bytes at 9
    uint8_t byte_25 = 0;             // at 25
    std::string symbol;              // 20 bytes at 26
    uint8_t byte_46 = 0;             // at 46
    uint32_t field_47 = 0;           // at 47
    std::array<double, 6> values{};  // at 79, 87, 95, 103, 111, 119
    uint8_t byte_127 = 0;            // at 127 (1078 only): coded
};

// 1081, 108 bytes: account buying power; the query port's push 1093 has the
// same layout.
struct sim_account_bp {
    int32_t request_no = 0;           // at 4: the query's request number, echoed
    std::string account;              // 16 bytes at 12
    std::array<double, 9> figures{};  // at 32, 40, ..., 96
    uint8_t flag = 0;                 // at 104
};

// 1082, 1006 bytes: account risk data; 1083, 448 bytes: per-symbol risk
// data. With `fill` every entry of the message's risk table
// (sim/sim_risk_tables.h) holds `fill_base` + its index in the table: an
// integer entry that number in its width, a double entry that number as a
// double. The bytes in `raw` (offset -> bytes; le_bytes and f64_bytes make
// them) are written last, cut at the end of the message.
struct sim_account_risk {
    std::string account;                // 16 bytes at 8
    std::map<size_t, std::string> raw;  // from 24 on
    bool fill = false;
    uint32_t fill_base = 0;
};

struct sim_symbol_risk {
    uint32_t field_8 = 0;               // at 8 (entry 0 of the table: filled over)
    std::string account;                // 16 bytes at 12
    std::string symbol;                 // 20 bytes at 28
    std::map<size_t, std::string> raw;  // from 48 on
    bool fill = false;
    uint32_t fill_base = 0;
};

// What the server answers the account queries with (while `answer` is set;
// a script for a request type, sim_config::query_answers, still wins). A
// series is its items in order, then a closing message whose only set field
// is the end flag, of the value given here (any non-zero value closes 1071,
// 1072, 1073, 1092, 1077 and 1078 for the client, only 1 closes 1074, 1075
// and 1063). Every message of an answer to 73 and 81 carries the request's
// number at 4, whatever the item says; an empty account of 81, 82 or 83 is
// the request's.
struct sim_query_data {
    bool answer = false;  // off: 71 to 83 get no answer but a scripted one

    std::vector<sim_user_account> user_accounts;  // 71: 1071 each, then the closing 1071
    uint8_t user_account_end = 1;
    std::vector<sim_symbol_info> symbols;  // 72: 1072 each, then the closing 1072
    uint8_t symbol_end = 1;
    // 73: the 1073 series and its closing message, then the 1092 series and its own.
    std::vector<sim_future_position> future_positions;
    uint8_t future_position_end = 1;
    std::vector<sim_option_position> option_positions;
    uint8_t option_position_end = 1;
    std::vector<sim_rewind_order> orders;  // 74: 1074 each, the closing 1074, then a 1095 with quote_rewind
    uint8_t order_end = 1;
    bool quote_rewind = false;
    std::vector<sim_rewind_execution> executions;  // 75: as `execution_type` (1075 or 1063)
    uint8_t execution_end = 1;
    uint16_t execution_type = 1075;
    std::vector<sim_account_rate> margins;  // 77: 1077 each, then the closing 1077
    uint8_t margin_end = 1;
    std::vector<sim_account_rate> fees;  // 78: 1078 each, then the closing 1078
    uint8_t fee_end = 1;
    sim_account_bp buying_power;   // 81: one 1081
    sim_account_risk account_risk;  // 82: one 1082
    sim_symbol_risk symbol_risk;    // 83: one 1083

    // The buying-power push 1093: its values, and the query request type
    // after whose answers (built-in, scripted or none) one is pushed; 0: none.
    sim_account_bp bp_push;
    uint16_t bp_push_after = 0;
};

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_QUERY_VALUES_H

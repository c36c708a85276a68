// The query answers' records. Offsets in the fillers are the answer's
// bytes; the records' offsets follow from their declarations.
#include "adapter/query_results.h"

#include <cstdlib>
#include <cstring>

namespace HUX_ADAPTER {

namespace {

const size_t ACCOUNT_WIRE = 16;
// The 1092 symbol runs from 37 up to its NUL or the end of the message.
const size_t OPTION_SYMBOL_AT = 37;
const size_t OPTION_POSITION_LEN = 167;
const size_t OPTION_SYMBOL_MAX = OPTION_POSITION_LEN - OPTION_SYMBOL_AT;
const size_t DECIMAL_TEXT_WIRE = 9;  // 1092 86..94
const uint8_t OPTION_KIND = 2;
const size_t UNDERLYING_MAX = 19;

// ---- wire readers (little-endian, any alignment) ----

inline uint8_t u8_at(const unsigned char* m, size_t off) { return m[off]; }

inline uint16_t u16_at(const unsigned char* m, size_t off) {
    uint16_t v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline uint32_t u32_at(const unsigned char* m, size_t off) {
    uint32_t v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline int64_t i64_at(const unsigned char* m, size_t off) {
    int64_t v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline double f64_at(const unsigned char* m, size_t off) {
    double v;
    memcpy(&v, m + off, sizeof(v));
    return v;
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The risk tables: record offset, answer offset, width. Every value is
// copied bit for bit.
struct risk_value_place {
    uint16_t record;
    uint16_t answer;
    uint8_t width;
};

// 1082 -> HUX_AccountRiskData, from record offset 17 on.
const risk_value_place ACCOUNT_RISK_TABLE[] = {
    {17, 24, 4}, {21, 28, 8}, {29, 324, 8}, {37, 332, 8}, {45, 340, 8}, {53, 348, 8},
    {61, 692, 8}, {69, 636, 8}, {77, 612, 8}, {85, 668, 8}, {93, 652, 8}, {101, 644, 8},
    {109, 700, 8}, {117, 516, 8}, {125, 524, 8}, {133, 564, 8}, {141, 572, 8}, {149, 356, 8},
    {157, 364, 8}, {165, 388, 8}, {173, 396, 8}, {181, 404, 8}, {189, 412, 8}, {197, 420, 8},
    {205, 428, 8}, {213, 436, 8}, {221, 444, 8}, {229, 548, 8}, {237, 556, 8}, {245, 596, 8},
    {253, 604, 8}, {261, 580, 8}, {269, 588, 8}, {277, 708, 8}, {285, 948, 8}, {293, 372, 8},
    {301, 380, 8}, {309, 820, 8}, {317, 828, 8}, {325, 740, 8}, {333, 748, 8}, {341, 756, 8},
    {349, 764, 8}, {357, 772, 8}, {365, 780, 8}, {373, 788, 8}, {381, 796, 8}, {389, 804, 8},
    {397, 812, 8}, {405, 852, 8}, {413, 732, 8}, {421, 956, 8}, {429, 724, 8}, {437, 964, 8},
    {445, 100, 8}, {453, 108, 8}, {461, 148, 8}, {469, 156, 8}, {477, 228, 8}, {485, 236, 8},
    {493, 532, 8}, {501, 540, 8}, {509, 836, 8}, {517, 844, 8}, {525, 292, 8}, {533, 300, 8},
    {541, 308, 8}, {549, 316, 8}, {557, 260, 8}, {565, 268, 8}, {573, 276, 8}, {581, 284, 8},
    {589, 868, 8}, {597, 876, 8}, {605, 884, 8}, {613, 892, 8}, {621, 900, 8}, {629, 908, 8},
    {637, 916, 8}, {645, 924, 8}, {653, 52, 8}, {661, 60, 8}, {669, 932, 8}, {677, 940, 8},
    {685, 716, 8}, {693, 972, 8}, {701, 68, 8}, {709, 76, 8}, {717, 116, 8}, {725, 124, 8},
    {733, 36, 8}, {741, 44, 8}, {749, 84, 8}, {757, 92, 8}, {765, 132, 8}, {773, 140, 8},
    {781, 180, 8}, {789, 188, 8}, {797, 164, 8}, {805, 172, 8}, {813, 212, 8}, {821, 220, 8},
    {829, 196, 8}, {837, 204, 8}, {845, 244, 8}, {853, 252, 8}, {861, 684, 8}, {869, 980, 8},
    {877, 676, 8}, {885, 988, 8}, {893, 452, 8}, {901, 460, 8}, {909, 468, 8}, {917, 476, 8},
    {925, 484, 8}, {933, 492, 8}, {941, 500, 8}, {949, 508, 8},
};
static_assert(sizeof(ACCOUNT_RISK_TABLE) / sizeof(ACCOUNT_RISK_TABLE[0]) == 118, "118 account risk values");

// 1083 -> HUX_AccountSymbolRiskData (the account and symbol texts aside).
const risk_value_place SYMBOL_RISK_TABLE[] = {
    {0, 8, 4}, {41, 48, 8}, {49, 56, 8}, {57, 64, 8}, {65, 72, 8}, {73, 80, 8},
    {81, 88, 8}, {89, 96, 8}, {97, 104, 8}, {105, 112, 8}, {113, 120, 8}, {121, 128, 8},
    {129, 136, 8}, {137, 144, 8}, {145, 160, 8}, {153, 168, 4}, {157, 172, 4}, {161, 176, 4},
    {165, 180, 4}, {169, 192, 8}, {177, 208, 8}, {185, 240, 8}, {193, 224, 8}, {201, 288, 8},
    {209, 296, 8}, {217, 304, 8}, {225, 200, 8}, {233, 376, 8}, {241, 184, 8}, {249, 384, 8},
    {257, 232, 8}, {265, 392, 8}, {273, 216, 8}, {281, 400, 8}, {289, 272, 8}, {297, 408, 8},
    {305, 264, 8}, {313, 416, 8}, {321, 256, 8}, {329, 424, 8}, {337, 248, 8}, {345, 432, 8},
    {353, 152, 8}, {361, 440, 8}, {369, 312, 8}, {377, 320, 8}, {385, 328, 8}, {393, 344, 8},
    {401, 352, 8}, {409, 360, 8},
};
static_assert(sizeof(SYMBOL_RISK_TABLE) / sizeof(SYMBOL_RISK_TABLE[0]) == 50, "50 symbol risk values");

template <class REC, size_t N>
void copy_risk_values(REC& rec, const unsigned char* msg, const risk_value_place (&table)[N]) {
    unsigned char* out = reinterpret_cast<unsigned char*>(&rec);
    for (const risk_value_place& e : table) memcpy(out + e.record, msg + e.answer, e.width);
}

// The strike is read from `at` on; nothing there (the text ends before) is 0.
int32_t strike_from(const char* text, size_t n, size_t at) { return at < n ? decimal_as_int32(text + at) : 0; }

// The underlying: the first characters of the symbol, never more than the
// record holds (its field was zeroed).
void copy_underlying(char (&dst)[20], const char* text, size_t len) {
    memcpy(dst, text, len < UNDERLYING_MAX ? len : UNDERLYING_MAX);
}

}  // namespace

// ---- option symbols ----

bool option_symbol_dash_form(uint32_t exchange_id) {
    return exchange_id == 102 || exchange_id == 104 || exchange_id == 108;
}

int32_t decimal_as_int32(const char* text) {
    // Read as 64 bits on every platform (long is 32 bits on Windows), then
    // cut to the low 32.
    const long long v = strtoll(text, nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

option_symbol parse_option_symbol(const char* text, uint32_t exchange_id) {
    option_symbol out;
    const size_t n = strlen(text);
    // A character at i, or 0 beyond the text.
    auto at = [text, n](size_t i) -> char { return i < n ? text[i] : '\0'; };
    if (option_symbol_dash_form(exchange_id)) {
        const char* dash = strchr(text, '-');
        if (!dash) {
            out.failed = OPT_SYMBOL_NO_SEPARATOR;
            return out;
        }
        const size_t d = static_cast<size_t>(dash - text);
        out.underlying_len = d;
        if (d < 1 || d > UNDERLYING_MAX) out.failed |= OPT_SYMBOL_RANGE;
        if (!(d + 3 < n)) out.failed |= OPT_SYMBOL_POSITION;
        out.call_put = at(d + 1);
        if (at(d + 2) != '-') out.failed |= OPT_SYMBOL_DASH;
        out.strike = strike_from(text, n, d + 3);
        return out;
    }
    // Letter form: a 'C' from index 2 on wins over any 'P'.
    const char* found = n > 2 ? strchr(text + 2, 'C') : nullptr;
    out.call_put = 'C';
    if (!found && n > 2) {
        found = strchr(text + 2, 'P');
        out.call_put = 'P';
    }
    if (!found) {
        out.call_put = 0;
        out.failed = OPT_SYMBOL_NO_SEPARATOR;
        return out;
    }
    const size_t p = static_cast<size_t>(found - text);
    size_t len = p;
    bool range_checked = true;
    if (exchange_id == 105 && p > 3) {
        // The underlying ends at the last digit before the letter.
        while (len > 3 && !is_digit(text[len - 1])) --len;
        if (len == 3) range_checked = false;
    }
    out.underlying_len = len;
    if (range_checked && (len < 1 || len > UNDERLYING_MAX)) out.failed |= OPT_SYMBOL_RANGE;
    if (!(len + 1 < n)) out.failed |= OPT_SYMBOL_POSITION;
    out.strike = strike_from(text, n, p + 1);
    return out;
}

// ---- answers ----

void copy_answer_text(char* dst, size_t max, const unsigned char* msg, size_t off) {
    const char* src = reinterpret_cast<const char*>(msg + off);
    memcpy(dst, src, strnlen(src, max));
}

void account_text_at(char (&out)[17], const unsigned char* msg, size_t off) {
    memset(out, 0, sizeof(out));
    copy_answer_text(out, ACCOUNT_WIRE, msg, off);
}

int32_t answer_request_no(const unsigned char* msg) { return static_cast<int32_t>(u32_at(msg, 4)); }

int32_t change_password_result(const unsigned char* msg) { return static_cast<int32_t>(u32_at(msg, 12)); }

void fill_account_info(HUX_AccountInfo& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 13);
    rec.value_29 = u32_at(msg, 29);
    for (size_t i = 0; i < 6; ++i) rec.amounts[i] = f64_at(msg, 33 + 8 * i);
}

void fill_account_position(HUX_AccountPosition& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 13);
    copy_answer_text(rec.symbol, sizeof(rec.symbol) - 1, msg, 33);
    rec.value_53 = u8_at(msg, 53);
    rec.value_54 = u32_at(msg, 54);
    rec.value_66 = u32_at(msg, 66);
    rec.value_70 = u32_at(msg, 70);
    rec.value_74 = u32_at(msg, 74);
    rec.value_78 = u32_at(msg, 78);
    rec.value_82 = f64_at(msg, 82);
    rec.value_90 = f64_at(msg, 90);
    rec.value_138 = f64_at(msg, 138);
    rec.value_146 = u8_at(msg, 146);
}

void fill_account_bp(HUX_AccountBP& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 12);
    for (size_t i = 0; i < 9; ++i) rec.values[i] = f64_at(msg, 32 + 8 * i);
}

void fill_account_margin(HUX_AccountMargin& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    rec.value_25 = u8_at(msg, 25);
    copy_answer_text(rec.symbol, sizeof(rec.symbol), msg, 26);  // may fill the field
    rec.value_46 = u8_at(msg, 46);
    rec.value_47 = u32_at(msg, 47);
    rec.value_79 = f64_at(msg, 79);
    rec.value_87 = f64_at(msg, 87);
}

void fill_account_fee(HUX_AccountFee& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    rec.value_25 = u8_at(msg, 25);
    copy_answer_text(rec.symbol, sizeof(rec.symbol) - 1, msg, 26);
    rec.value_46 = u8_at(msg, 46);
    rec.value_47 = u32_at(msg, 47);
    for (size_t i = 0; i < 6; ++i) rec.values[i] = f64_at(msg, 79 + 8 * i);
    rec.fee_kind = u8_at(msg, 127) == 1 ? 1u : 5u;
}

void fill_query_account_order(HUX_QueryAccountOrder& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    rec.value_9 = u32_at(msg, 9);
    rec.value_13 = i64_at(msg, 13);
    rec.value_21 = u32_at(msg, 21);
    rec.value_47 = u8_at(msg, 47);
    rec.value_48 = u32_at(msg, 48);
    rec.value_25 = u8_at(msg, 25);
    copy_answer_text(rec.symbol, sizeof(rec.symbol), msg, 26);  // may fill the field
    rec.value_52 = f64_at(msg, 52);
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 74);
    rec.value_90 = u8_at(msg, 90);
    rec.value_105 = u32_at(msg, 105);
    rec.value_91 = u8_at(msg, 91);
    rec.value_93 = i64_at(msg, 93);
    rec.value_101 = u32_at(msg, 101);
    switch (u8_at(msg, 69)) {
    case 0: rec.coded_69 = 99998; break;
    case 2: rec.coded_69 = 2; break;
    default: rec.coded_69 = 0; break;  // 1 and every other value
    }
    rec.value_70 = u32_at(msg, 70);
    rec.value_133 = u32_at(msg, 133);
    rec.value_109 = i64_at(msg, 109);
    rec.value_117 = i64_at(msg, 117);
    rec.value_125 = i64_at(msg, 125);
    rec.value_60 = u8_at(msg, 60);
}

namespace {

// 1075 and 1063 share their first 69 record bytes.
template <class REC>
void fill_execution_common(REC& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    rec.value_9 = u32_at(msg, 9);
    rec.value_29 = i64_at(msg, 29);
    rec.value_37 = u32_at(msg, 37);
    rec.value_41 = u32_at(msg, 41);
    rec.value_45 = u32_at(msg, 45);
    rec.value_49 = f64_at(msg, 49);
    copy_answer_text(rec.text_57, sizeof(rec.text_57) - 1, msg, 57);
}

}  // namespace

void fill_query_order_execution(HUX_QueryOrderExecution& rec, const unsigned char* msg) {
    fill_execution_common(rec, msg);
}

void fill_query_order_execution_ex(HUX_QueryOrderExecutionEx& rec, const unsigned char* msg) {
    fill_execution_common(rec, msg);
    copy_answer_text(rec.text_83, sizeof(rec.text_83) - 1, msg, 83);
    rec.value_103 = u8_at(msg, 103);
}

void fill_account_risk_data(HUX_AccountRiskData& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 8);
    copy_risk_values(rec, msg, ACCOUNT_RISK_TABLE);
}

void fill_account_symbol_risk_data(HUX_AccountSymbolRiskData& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 12);
    copy_answer_text(rec.symbol, sizeof(rec.symbol), msg, 28);  // may fill the field
    copy_risk_values(rec, msg, SYMBOL_RISK_TABLE);
}

void symbol_field_text(char (&out)[21], const unsigned char* msg) {
    memset(out, 0, sizeof(out));
    copy_answer_text(out, sizeof(out) - 1, msg, 10);
}

option_outcome fill_symbol_field(HUX_SymbolField& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    option_outcome outcome;
    rec.symbol_kind = u8_at(msg, 9);
    copy_answer_text(rec.symbol, sizeof(rec.symbol), msg, 10);    // may fill the field
    copy_answer_text(rec.text_30, sizeof(rec.text_30), msg, 30);  // may fill the field
    rec.exchange_id = u8_at(msg, 51);
    rec.value_52 = u32_at(msg, 52);
    rec.value_84 = u16_at(msg, 84);
    rec.value_86 = u8_at(msg, 86);
    rec.value_87 = u32_at(msg, 87);
    rec.value_91 = u32_at(msg, 91);
    rec.value_95 = u32_at(msg, 95);
    rec.value_99 = u32_at(msg, 99);
    rec.value_103 = u32_at(msg, 103);
    rec.value_107 = f64_at(msg, 107);
    rec.value_115 = u32_at(msg, 115);
    rec.value_119 = u32_at(msg, 119);
    rec.value_123 = u32_at(msg, 123);
    rec.value_135 = u8_at(msg, 135);
    rec.value_136 = u8_at(msg, 136);
    if (rec.symbol_kind != OPTION_KIND) {
        rec.value_127 = u32_at(msg, 127);
        rec.value_131 = u32_at(msg, 131);
        return outcome;
    }
    char text[21];
    symbol_field_text(text, msg);
    const option_symbol parsed = parse_option_symbol(text, rec.exchange_id);
    outcome.failed = parsed.failed;
    outcome.deliver = parsed.failed == 0;
    if (!outcome.deliver) return outcome;
    rec.strike = static_cast<double>(parsed.strike);
    rec.call_put = parsed.call_put;
    copy_underlying(rec.underlying, text, parsed.underlying_len);
    return outcome;
}

option_outcome fill_account_option_position(HUX_AccountOptionPosition& rec, const unsigned char* msg) {
    memset(&rec, 0, sizeof(rec));
    option_outcome outcome;
    char text[OPTION_SYMBOL_MAX + 1];
    memset(text, 0, sizeof(text));
    copy_answer_text(text, OPTION_SYMBOL_MAX, msg, OPTION_SYMBOL_AT);
    const uint32_t exchange_id = u32_at(msg, 33);
    const option_symbol parsed = parse_option_symbol(text, exchange_id);
    outcome.failed = parsed.failed;
    if ((parsed.failed & OPT_SYMBOL_NO_SEPARATOR) || parsed.underlying_len > UNDERLYING_MAX) {
        outcome.deliver = false;
        return outcome;
    }
    copy_answer_text(rec.account, ACCOUNT_WIRE, msg, 13);
    memcpy(rec.symbol, text, strnlen(text, sizeof(rec.symbol) - 1));
    rec.value_95 = u8_at(msg, 95);
    copy_underlying(rec.underlying, text, parsed.underlying_len);
    rec.call_put = parsed.call_put;
    rec.strike = static_cast<double>(parsed.strike);
    char number[DECIMAL_TEXT_WIRE + 1];
    memset(number, 0, sizeof(number));
    copy_answer_text(number, DECIMAL_TEXT_WIRE, msg, 86);
    rec.number_86 = decimal_as_int32(number);
    rec.value_96 = u32_at(msg, 96);
    rec.value_144 = u32_at(msg, 144);
    rec.value_108 = u32_at(msg, 108);
    const uint32_t a = u32_at(msg, 112);
    const uint32_t b = u32_at(msg, 148);
    if (exchange_id == 103 || exchange_id == 106) {
        rec.quantity = b;
        rec.quantity_a = a;
    } else {
        rec.quantity = a + b;  // modulo 2^32
        rec.quantity_a = 0;
    }
    rec.value_116 = u32_at(msg, 116);
    rec.value_120 = u32_at(msg, 120);
    rec.value_124 = u32_at(msg, 124);
    rec.value_128 = f64_at(msg, 128);
    rec.value_136 = f64_at(msg, 136);
    rec.value_152 = f64_at(msg, 152);
    rec.value_160 = u8_at(msg, 160);
    return outcome;
}

}  // namespace HUX_ADAPTER

#include "trade_core/trade_wire.h"

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

#include "tools/cross_platform_api.h"
#include "tools/md5.h"

namespace HUX_TRADE_WIRE {

namespace {

// ---- length table ----

constexpr uint16_t MAX_MSG_TYPE = 2206;
constexpr uint16_t QV27_QUOTE_ADJUST_STATUS_LENGTH = 232;

struct type_length {
    uint16_t type;
    uint16_t length;
};

// Every message type of the protocol and its fixed length. 2205 carries its
// current length; on a qv27 server it is 232.
constexpr type_length MSG_LENGTHS[] = {
    {TYPE_NEW_ORDER_REQ, 100},
    {TYPE_CXL_ORDER_REQUEST, 44},
    {TYPE_NEW_QUOTE_REQ, 196},
    {TYPE_QUOTE_ACTION_REQUEST, 44},
    {TYPE_NEW_COMBO_ORDER_REQ, 144},
    {TYPE_NEW_ORDER_REQ_SIMPLE, 56},
    {TYPE_NEW_QUOTE_REQ_SIMPLE, 56},
    {TYPE_NEW_SPECIAL_ORDER_REQ, 72},
    {TYPE_CXL_SPECIAL_ORDER_REQUEST, 44},
    {TYPE_ACCOUNT_IDX_QUERY_REQ, 16},
    {TYPE_SYMBOL_IDX_QUERY_REQ, 16},
    {TYPE_LOGON_MSG_REQ, 168},
    {TYPE_REPORT_VERSION, 48},
    {TYPE_QUERY_ACCOUNT_BP_REQ, 28},
    {TYPE_QUERY_MARKET_SESSION, 16},
    {TYPE_QUERY_SYMBOL_STATUS, 16},
    {TYPE_HEART_BEAT_INFO, 24},
    {TYPE_QUERY_SESSION_ID, 32},
    {TYPE_TRADE_HEART_BEAT_REQ, 16},

    {TYPE_OSTREL_CLIENT_ORDER_INSERT_RESP, 120},
    {TYPE_OSTREL_CLIENT_ORDER_ACTION_RESP, 64},
    {TYPE_OSTREL_CLIENT_ORDER_INSERT_MARKET_RESP, 232},
    {TYPE_OSTREL_CLIENT_ORDER_ACTION_MARKET_RESP, 144},
    {TYPE_ORDER_EXECUTION_RECEIVED, 136},
    {TYPE_OSTREL_CLIENT_ORDER_MARKET_REPORT, 158},
    {TYPE_POST_ORDER_RECEIVED, 158},
    {TYPE_POST_ORDER_EXECUTION_RECEIVED, 136},
    {TYPE_OSTREL_CLIENT_QUOTE_INSERT_RESP, 216},
    {TYPE_OSTREL_CLIENT_QUOTE_ACTION_RESP, 64},
    {TYPE_OSTREL_CLIENT_QUOTE_INSERT_MARKET_RESP, 296},
    {TYPE_OSTREL_CLIENT_QUOTE_ACTION_MARKET_RESP, 145},
    {TYPE_OSTREL_CLIENT_QUOTE_MARKET_REPORT, 296},
    {TYPE_POST_QUOTE_RECEIVED, 296},
    {TYPE_OSTREL_CLIENT_COMBO_INSERT_RESP, 160},
    {TYPE_OSTREL_CLIENT_COMBO_INSERT_MARKET_RESP, 240},
    {TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_RESP, 92},
    {TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_RESP, 65},
    {TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_MARKET_RESP, 200},
    {TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_MARKET_RESP, 148},
    {TYPE_POST_SPECIAL_ORDER_RECEIVED, 137},
    {TYPE_QUERY_ACCOUNT_IDX_RESP, 40},
    {TYPE_QUERY_SYMBOL_IDX_RESP, 40},
    {TYPE_LOGON_MSG_RESP, 80},
    {TYPE_REPORT_VERSION_RESP, 56},
    {TYPE_QUERY_ACCOUNT_BP_RESP, 108},
    {TYPE_QUERY_MARKET_SESSION_RESP, 272},
    {TYPE_MARKET_SESSION_STAT_REPORT, 16},
    {TYPE_SYMBOL_STATUS_REPORT, 56},
    {TYPE_SYMBOL_STATUS_QUERY_RESP, 64},
    {TYPE_PROD_STATUS_REPORT, 56},
    {TYPE_SET_HEART_BEAT_RESP, 24},
    {TYPE_SESSION_ID_QUERY_RESP, 32},
    {TYPE_REQ_FOR_QUOTE_REPORT, 64},
    {TYPE_TRADE_HEART_BEAT_RESP, 16},
    {TYPE_OSTREL_INTERNAL_ORDER_INSERT_RESP, 144},
    {TYPE_OSTREL_INTERNAL_ORDER_ADJUST_STATUS_RESP, 158},
    {TYPE_OSTREL_INTERNAL_ORDER_EXECUTION_RESP, 136},
    {TYPE_OSTREL_INTERNAL_ORDER_ADJUST_MKT_REJ_RESP, 232},
    {TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_STATUS_RESP, 296},
    {TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_MKT_REJ_RESP, 296},
};

// The same table indexed directly by type.
constexpr std::array<uint16_t, MAX_MSG_TYPE + 1> make_length_index() {
    std::array<uint16_t, MAX_MSG_TYPE + 1> index{};
    for (const type_length& entry : MSG_LENGTHS) {
        index[entry.type] = entry.length;
    }
    return index;
}

constexpr std::array<uint16_t, MAX_MSG_TYPE + 1> LENGTH_BY_TYPE = make_length_index();

// ---- helpers ----

const char* or_empty(const char* text) {
    return text != nullptr ? text : "";
}

// Copies at most width bytes of src and stops at its NUL; the rest of the field
// stays as it is (zero in a freshly zeroed record). The field may end up with
// no NUL when src fills it.
void copy_cut(char* field, size_t width, const char* src) {
    size_t n = strnlen(or_empty(src), width);
    memcpy(field, or_empty(src), n);
}

template <typename MSG>
void start_msg(MSG& msg, uint16_t type) {
    memset(&msg, 0, sizeof(msg));
    msg.header.type = type;
    msg.header.length = static_cast<uint16_t>(sizeof(msg));
}

template <typename MSG>
const MSG* read_in_place(const void* buf, size_t len, uint16_t type) {
    if (buf == nullptr || len < sizeof(MSG)) {
        return nullptr;
    }
    uint16_t got;
    memcpy(&got, buf, sizeof(got));
    if (got != type) {
        return nullptr;
    }
    return static_cast<const MSG*>(buf);
}

size_t read_field_text(const char* field, size_t width, char* out) {
    size_t n = strnlen(field, width);
    memcpy(out, field, n);
    out[n] = '\0';
    return n;
}

}  // namespace

int trade_msg_length(uint16_t type, bool qv27) {
    if (type > MAX_MSG_TYPE) {
        return 0;
    }
    if (qv27 && type == TYPE_QV27_OSTREL_CLIENT_PASSIVE_QUOTE_ADJUST_STATUS_RESP) {
        return QV27_QUOTE_ADJUST_STATUS_LENGTH;
    }
    return LENGTH_BY_TYPE[type];
}

void build_report_version(report_version& msg, const char* user_id) {
    start_msg(msg, TYPE_REPORT_VERSION);
    msg.protocol_version = TRADE_PROTOCOL_VERSION;
    MORVAST::TOOLS::strncpy_mv(msg.user_id, sizeof(msg.user_id), or_empty(user_id));
}

bool build_logon_msg_req(logon_msg_req& msg, const char* user_id, const char* password, const char* app_id,
                         const char* auth_code, const report_version_resp& version) {
    start_msg(msg, TYPE_LOGON_MSG_REQ);
    size_t password_len = strlen(or_empty(password));
    if (password_len > static_cast<size_t>(INT_MAX)) {
        memset(&msg, 0, sizeof(msg));
        return false;
    }
    msg.protocol_version = TRADE_PROTOCOL_VERSION;
    MORVAST::TOOLS::strncpy_mv(msg.user_id, sizeof(msg.user_id), or_empty(user_id));
    MORVAST::TOOLS::encrypt_md5(or_empty(password), static_cast<int>(password_len), msg.password_md5);
    copy_cut(msg.auth_code, sizeof(msg.auth_code), auth_code);
    copy_cut(msg.app_id, sizeof(msg.app_id), app_id);
    make_terminal_identifier(version, msg.terminal_id);
    return true;
}

void build_symbol_idx_query_req(symbol_idx_query_req& msg, uint16_t page_no, uint16_t page_size,
                                uint32_t user_id, int32_t selector) {
    start_msg(msg, TYPE_SYMBOL_IDX_QUERY_REQ);
    msg.page_no = page_no;
    msg.page_size = page_size;
    msg.user_id = user_id;
    msg.selector = (selector >= 2 && selector <= 4) ? static_cast<uint8_t>(selector) : 0;
    msg.query_flag = 1;
}

void build_account_idx_query_req(account_idx_query_req& msg, uint32_t user_id) {
    start_msg(msg, TYPE_ACCOUNT_IDX_QUERY_REQ);
    msg.user_id = user_id;
}

void build_heart_beat_info(heart_beat_info& msg, uint32_t user_id, int32_t interval_sec) {
    start_msg(msg, TYPE_HEART_BEAT_INFO);
    msg.user_id = user_id;
    msg.interval_sec = interval_sec;
    msg.enable = 1;
}

void build_trade_heart_beat_req(trade_heart_beat_req& msg, int32_t seq, uint32_t user_id) {
    start_msg(msg, TYPE_TRADE_HEART_BEAT_REQ);
    msg.seq = seq;
    msg.user_id = user_id;
}

bool build_query_account_bp_req(query_account_bp_req& msg, uint32_t user_id, const char* account) {
    // Read no further than the 16th byte: 16 characters do not fit, and a
    // cut account would ask for another account's buying power.
    if (strnlen(or_empty(account), sizeof(msg.account)) == sizeof(msg.account)) {
        memset(&msg, 0, sizeof(msg));
        return false;
    }
    start_msg(msg, TYPE_QUERY_ACCOUNT_BP_REQ);
    msg.user_id = user_id;
    MORVAST::TOOLS::strncpy_mv(msg.account, sizeof(msg.account), or_empty(account));
    return true;
}

void build_query_market_session(query_market_session& msg, uint32_t user_id) {
    start_msg(msg, TYPE_QUERY_MARKET_SESSION);
    msg.user_id = user_id;
}

void build_query_symbol_status(query_symbol_status& msg, uint32_t user_id) {
    start_msg(msg, TYPE_QUERY_SYMBOL_STATUS);
    msg.user_id = user_id;
}

void build_query_session_id(query_session_id& msg, uint32_t user_id, const char* session, uint8_t market) {
    start_msg(msg, TYPE_QUERY_SESSION_ID);
    msg.user_id = user_id;
    MORVAST::TOOLS::strncpy_mv(msg.session, sizeof(msg.session), or_empty(session));
    msg.market = market;
}

bool stamp_logon_udp_port(char* buf, size_t len, uint16_t port) {
    if (buf == nullptr || len != sizeof(logon_msg_req) || static_cast<uint8_t>(buf[0]) != TYPE_LOGON_MSG_REQ) {
        return false;
    }
    memcpy(buf + offsetof(logon_msg_req, udp_port), &port, sizeof(port));
    return true;
}

bool get_transformed_uuid(int rounds, const char* text, int32_t number, char out[TERMINAL_ID_FIELD]) {
    const char* current = or_empty(text);
    size_t current_len = strlen(current);
    if (current_len > static_cast<size_t>(INT_MAX)) {
        out[0] = '\0';
        return false;
    }
    char mix[TERMINAL_ID_FIELD];
    for (;;) {
        char number_text[16];
        int number_len = snprintf(number_text, sizeof(number_text), "%012d", static_cast<int>(number));
        char a[MD5_TEXT_FIELD];
        char b[MD5_TEXT_FIELD];
        MORVAST::TOOLS::encrypt_md5(number_text, number_len, a);
        MORVAST::TOOLS::encrypt_md5(current, static_cast<int>(current_len), b);
        for (int i = 0; i < 32; ++i) {
            mix[i] = (i % 2 == 0) ? a[i] : b[i];
        }
        mix[32] = '\0';
        if (rounds <= 0) {
            break;
        }
        uint32_t next = static_cast<uint32_t>(static_cast<uint8_t>(b[3])) |
                        static_cast<uint32_t>(static_cast<uint8_t>(b[7])) << 8 |
                        static_cast<uint32_t>(static_cast<uint8_t>(b[11])) << 16 |
                        static_cast<uint32_t>(static_cast<uint8_t>(b[19])) << 24;
        number = static_cast<int32_t>(next);
        current = mix;
        current_len = 32;
        --rounds;
    }
    memcpy(out, mix, sizeof(mix));
    return true;
}

void make_terminal_identifier(const report_version_resp& version, char out[TERMINAL_ID_FIELD]) {
    if (version.take_as_is == 1) {
        memcpy(out, version.terminal_text, TERMINAL_ID_FIELD);
        return;
    }
    // The text may fill its field with no NUL: digest no more than the field.
    char text[TERMINAL_ID_FIELD + 1];
    read_field_text(version.terminal_text, TERMINAL_ID_FIELD, text);
    get_transformed_uuid(1, text, version.number, out);
}

const report_version_resp* read_report_version_resp(const void* buf, size_t len) {
    return read_in_place<report_version_resp>(buf, len, TYPE_REPORT_VERSION_RESP);
}

const logon_msg_resp* read_logon_msg_resp(const void* buf, size_t len) {
    return read_in_place<logon_msg_resp>(buf, len, TYPE_LOGON_MSG_RESP);
}

const query_account_idx_resp* read_query_account_idx_resp(const void* buf, size_t len) {
    return read_in_place<query_account_idx_resp>(buf, len, TYPE_QUERY_ACCOUNT_IDX_RESP);
}

const query_symbol_idx_resp* read_query_symbol_idx_resp(const void* buf, size_t len) {
    return read_in_place<query_symbol_idx_resp>(buf, len, TYPE_QUERY_SYMBOL_IDX_RESP);
}

const set_heart_beat_resp* read_set_heart_beat_resp(const void* buf, size_t len) {
    return read_in_place<set_heart_beat_resp>(buf, len, TYPE_SET_HEART_BEAT_RESP);
}

const trade_heart_beat_resp* read_trade_heart_beat_resp(const void* buf, size_t len) {
    return read_in_place<trade_heart_beat_resp>(buf, len, TYPE_TRADE_HEART_BEAT_RESP);
}

size_t read_account_name(const query_account_idx_resp& msg, char (&out)[ACCOUNT_NAME_FIELD + 1]) {
    return read_field_text(msg.account_name, ACCOUNT_NAME_FIELD, out);
}

size_t read_symbol_text(const query_symbol_idx_resp& msg, char (&out)[SYMBOL_TEXT_FIELD + 1]) {
    return read_field_text(msg.symbol, SYMBOL_TEXT_FIELD, out);
}

}  // namespace HUX_TRADE_WIRE

// Wire records of the trade protocol: the four-byte header, the message type
// numbers, the send directions and the session requests and answers.
//
// Every integer is little-endian and every record is packed; each field stands
// at a fixed offset. Text fields are fixed-size byte arrays holding a
// NUL-terminated string; unused bytes of a request are zero.
#ifndef HUX_TRADE_MSG_H
#define HUX_TRADE_MSG_H

#include <cstddef>
#include <cstdint>

// The records are laid over the received bytes in place.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the trade wire records need a little-endian host");

namespace HUX_TRADE_WIRE {

constexpr uint32_t TRADE_PROTOCOL_VERSION = 15;

// The channel argument of every send.
enum enSendDirection {
    SEND_DIRECTION_ORDER = 1,  // UDP order socket when there is one, else TCP
    SEND_DIRECTION_TCP = 2,    // the TCP connection
    SEND_DIRECTION_QUERY = 3   // the query session's channel; the trade session refuses it
};

enum enTradeMsgType : uint16_t {
    // requests, client to server
    TYPE_NEW_ORDER_REQ = 10,
    TYPE_CXL_ORDER_REQUEST = 11,
    TYPE_NEW_QUOTE_REQ = 12,
    TYPE_QUOTE_ACTION_REQUEST = 13,
    TYPE_NEW_COMBO_ORDER_REQ = 14,
    TYPE_NEW_ORDER_REQ_SIMPLE = 20,
    TYPE_NEW_QUOTE_REQ_SIMPLE = 22,
    TYPE_NEW_SPECIAL_ORDER_REQ = 30,
    TYPE_CXL_SPECIAL_ORDER_REQUEST = 31,
    TYPE_ACCOUNT_IDX_QUERY_REQ = 61,
    TYPE_SYMBOL_IDX_QUERY_REQ = 62,
    TYPE_LOGON_MSG_REQ = 70,
    TYPE_REPORT_VERSION = 80,
    TYPE_QUERY_ACCOUNT_BP_REQ = 81,
    TYPE_QUERY_MARKET_SESSION = 84,
    TYPE_QUERY_SYMBOL_STATUS = 87,
    TYPE_HEART_BEAT_INFO = 90,
    TYPE_QUERY_SESSION_ID = 94,
    TYPE_TRADE_HEART_BEAT_REQ = 200,

    // answers and reports, server to client
    TYPE_OSTREL_CLIENT_ORDER_INSERT_RESP = 1010,
    TYPE_OSTREL_CLIENT_ORDER_ACTION_RESP = 1011,
    TYPE_OSTREL_CLIENT_ORDER_INSERT_MARKET_RESP = 1012,
    TYPE_OSTREL_CLIENT_ORDER_ACTION_MARKET_RESP = 1013,
    TYPE_ORDER_EXECUTION_RECEIVED = 1014,
    TYPE_OSTREL_CLIENT_ORDER_MARKET_REPORT = 1015,
    TYPE_POST_ORDER_RECEIVED = 1016,
    TYPE_POST_ORDER_EXECUTION_RECEIVED = 1017,
    TYPE_OSTREL_CLIENT_QUOTE_INSERT_RESP = 1018,
    TYPE_OSTREL_CLIENT_QUOTE_ACTION_RESP = 1019,
    TYPE_OSTREL_CLIENT_QUOTE_INSERT_MARKET_RESP = 1020,
    TYPE_OSTREL_CLIENT_QUOTE_ACTION_MARKET_RESP = 1021,
    TYPE_OSTREL_CLIENT_QUOTE_MARKET_REPORT = 1022,
    TYPE_POST_QUOTE_RECEIVED = 1023,
    TYPE_OSTREL_CLIENT_COMBO_INSERT_RESP = 1025,
    TYPE_OSTREL_CLIENT_COMBO_INSERT_MARKET_RESP = 1026,
    TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_RESP = 1030,
    TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_RESP = 1031,
    TYPE_OSTREL_CLIENT_SPECIAL_ORDER_INSERT_MARKET_RESP = 1032,
    TYPE_OSTREL_CLIENT_SPECIAL_ORDER_ACTION_MARKET_RESP = 1033,
    TYPE_POST_SPECIAL_ORDER_RECEIVED = 1034,
    TYPE_QUERY_ACCOUNT_IDX_RESP = 1061,
    TYPE_QUERY_SYMBOL_IDX_RESP = 1062,
    TYPE_LOGON_MSG_RESP = 1070,
    TYPE_REPORT_VERSION_RESP = 1080,
    TYPE_QUERY_ACCOUNT_BP_RESP = 1081,
    TYPE_QUERY_MARKET_SESSION_RESP = 1084,
    TYPE_MARKET_SESSION_STAT_REPORT = 1085,
    TYPE_SYMBOL_STATUS_REPORT = 1086,
    TYPE_SYMBOL_STATUS_QUERY_RESP = 1087,
    TYPE_PROD_STATUS_REPORT = 1089,
    TYPE_SET_HEART_BEAT_RESP = 1090,
    TYPE_SESSION_ID_QUERY_RESP = 1094,
    TYPE_REQ_FOR_QUOTE_REPORT = 1097,
    TYPE_TRADE_HEART_BEAT_RESP = 1200,
    TYPE_OSTREL_INTERNAL_ORDER_INSERT_RESP = 2201,
    TYPE_OSTREL_INTERNAL_ORDER_ADJUST_STATUS_RESP = 2202,
    TYPE_QV27_POST_ORDER_RECEIVED = 2202,
    TYPE_OSTREL_INTERNAL_ORDER_EXECUTION_RESP = 2203,
    TYPE_QV27_POST_ORDER_EXECUTION_RECEIVED = 2203,
    TYPE_OSTREL_INTERNAL_ORDER_ADJUST_MKT_REJ_RESP = 2204,
    TYPE_QV27_OSTREL_CLIENT_PASSIVE_ORDER_ADJUST_MKT_REJ_RESP = 2204,
    TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_STATUS_RESP = 2205,
    TYPE_QV27_OSTREL_CLIENT_PASSIVE_QUOTE_ADJUST_STATUS_RESP = 2205,
    TYPE_OSTREL_INTERNAL_QUOTE_ADJUST_MKT_REJ_RESP = 2206
};

// Widths of the text fields.
constexpr size_t USER_ID_FIELD = 33;
constexpr size_t MD5_TEXT_FIELD = 33;
constexpr size_t AUTH_CODE_FIELD = 18;
constexpr size_t APP_ID_FIELD = 30;
constexpr size_t TERMINAL_ID_FIELD = 33;
constexpr size_t ACCOUNT_FIELD = 16;
constexpr size_t SESSION_TEXT_FIELD = 17;
constexpr size_t ACCOUNT_NAME_FIELD = 16;
constexpr size_t SYMBOL_TEXT_FIELD = 20;

#pragma pack(push, 1)

struct msg_header {
    uint16_t type;
    uint16_t length;  // total length, header included
};

// ---- session requests ----

struct report_version {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t protocol_version;
    char user_id[USER_ID_FIELD];
    uint8_t reserved2[3];
};

struct logon_msg_req {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t protocol_version;
    char user_id[USER_ID_FIELD];
    char password_md5[MD5_TEXT_FIELD];
    uint8_t reserved2[2];
    char auth_code[AUTH_CODE_FIELD];  // may fill the field with no NUL
    char app_id[APP_ID_FIELD];        // may fill the field with no NUL
    uint16_t udp_port;                // stamped by the send path
    char terminal_id[TERMINAL_ID_FIELD];
    uint8_t reserved3[5];
};

struct symbol_idx_query_req {
    msg_header header;
    uint16_t page_no;
    uint16_t page_size;
    uint32_t user_id;
    uint8_t selector;
    uint8_t query_flag;  // always 1
    uint8_t reserved[2];
};

struct account_idx_query_req {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t user_id;
    uint8_t reserved2[4];
};

struct heart_beat_info {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t user_id;
    int32_t interval_sec;
    uint8_t enable;  // always 1
    uint8_t reserved2[7];
};

struct trade_heart_beat_req {
    msg_header header;
    int32_t seq;
    uint32_t user_id;
    uint8_t reserved[4];
};

struct query_account_bp_req {
    msg_header header;
    uint8_t reserved[4];
    uint32_t user_id;
    char account[ACCOUNT_FIELD];
};

struct query_market_session {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t user_id;
    uint8_t reserved2[4];
};

struct query_symbol_status {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t user_id;
    uint8_t reserved2[4];
};

struct query_session_id {
    msg_header header;
    uint8_t reserved1[4];
    uint32_t user_id;
    char session[SESSION_TEXT_FIELD];
    uint8_t market;
    uint8_t reserved2[2];
};

// ---- session answers ----

struct report_version_resp {
    msg_header header;
    uint8_t reserved1[8];
    char terminal_text[TERMINAL_ID_FIELD];  // the identifier, or the text it is derived from
    int32_t number;                          // number the identifier is derived from
    uint8_t verdict;                         // 0 accepted
    uint8_t take_as_is;                      // 1: terminal_text is the identifier
    uint8_t server_edition;                  // 6: qv27 server
    uint8_t reserved2[4];
};

struct logon_msg_resp {
    msg_header header;
    int32_t server_value;
    uint8_t reserved1[4];
    int32_t result;
    uint8_t reserved2[33];
    uint32_t user_id;
    int32_t logon_value;
    int32_t max_token;
    uint32_t order_fc_count;
    uint32_t order_fc_window_us;
    uint32_t cancel_fc_count;
    uint32_t cancel_fc_window_us;
    uint8_t reserved3[3];
};

struct query_account_idx_resp {
    msg_header header;
    uint8_t reserved1[4];
    uint8_t end_mark;  // non-zero: list complete, no entry here
    uint8_t reserved2[4];
    char account_name[ACCOUNT_NAME_FIELD];  // NUL-terminated unless it fills the field
    uint8_t account_index;
    uint8_t reserved3[10];
};

struct query_symbol_idx_resp {
    msg_header header;
    uint8_t reserved1[4];
    uint8_t end_of_page;
    uint8_t reserved2[1];
    char symbol[SYMBOL_TEXT_FIELD];  // NUL-terminated unless it fills the field
    uint16_t symbol_index;
    uint16_t entry_count;  // entries delivered in this page
    uint8_t reserved3[6];
};

struct set_heart_beat_resp {
    msg_header header;
    uint8_t reserved1[8];
    int32_t result;  // 0 accepted
    int32_t timeout_sec;
    uint8_t reserved2[4];
};

struct trade_heart_beat_resp {
    msg_header header;
    uint8_t reserved[12];
};

#pragma pack(pop)

// Sizes and offsets, typed from the protocol tables.
static_assert(sizeof(msg_header) == 4, "msg_header");
static_assert(offsetof(msg_header, type) == 0, "msg_header.type");
static_assert(offsetof(msg_header, length) == 2, "msg_header.length");

static_assert(sizeof(report_version) == 48, "report_version");
static_assert(offsetof(report_version, header) == 0, "report_version.header");
static_assert(offsetof(report_version, reserved1) == 4, "report_version.reserved1");
static_assert(offsetof(report_version, protocol_version) == 8, "report_version.protocol_version");
static_assert(offsetof(report_version, user_id) == 12, "report_version.user_id");
static_assert(offsetof(report_version, reserved2) == 45, "report_version.reserved2");

static_assert(sizeof(logon_msg_req) == 168, "logon_msg_req");
static_assert(offsetof(logon_msg_req, header) == 0, "logon_msg_req.header");
static_assert(offsetof(logon_msg_req, reserved1) == 4, "logon_msg_req.reserved1");
static_assert(offsetof(logon_msg_req, protocol_version) == 8, "logon_msg_req.protocol_version");
static_assert(offsetof(logon_msg_req, user_id) == 12, "logon_msg_req.user_id");
static_assert(offsetof(logon_msg_req, password_md5) == 45, "logon_msg_req.password_md5");
static_assert(offsetof(logon_msg_req, reserved2) == 78, "logon_msg_req.reserved2");
static_assert(offsetof(logon_msg_req, auth_code) == 80, "logon_msg_req.auth_code");
static_assert(offsetof(logon_msg_req, app_id) == 98, "logon_msg_req.app_id");
static_assert(offsetof(logon_msg_req, udp_port) == 128, "logon_msg_req.udp_port");
static_assert(offsetof(logon_msg_req, terminal_id) == 130, "logon_msg_req.terminal_id");
static_assert(offsetof(logon_msg_req, reserved3) == 163, "logon_msg_req.reserved3");

static_assert(sizeof(symbol_idx_query_req) == 16, "symbol_idx_query_req");
static_assert(offsetof(symbol_idx_query_req, header) == 0, "symbol_idx_query_req.header");
static_assert(offsetof(symbol_idx_query_req, page_no) == 4, "symbol_idx_query_req.page_no");
static_assert(offsetof(symbol_idx_query_req, page_size) == 6, "symbol_idx_query_req.page_size");
static_assert(offsetof(symbol_idx_query_req, user_id) == 8, "symbol_idx_query_req.user_id");
static_assert(offsetof(symbol_idx_query_req, selector) == 12, "symbol_idx_query_req.selector");
static_assert(offsetof(symbol_idx_query_req, query_flag) == 13, "symbol_idx_query_req.query_flag");
static_assert(offsetof(symbol_idx_query_req, reserved) == 14, "symbol_idx_query_req.reserved");

static_assert(sizeof(account_idx_query_req) == 16, "account_idx_query_req");
static_assert(offsetof(account_idx_query_req, header) == 0, "account_idx_query_req.header");
static_assert(offsetof(account_idx_query_req, reserved1) == 4, "account_idx_query_req.reserved1");
static_assert(offsetof(account_idx_query_req, user_id) == 8, "account_idx_query_req.user_id");
static_assert(offsetof(account_idx_query_req, reserved2) == 12, "account_idx_query_req.reserved2");

static_assert(sizeof(heart_beat_info) == 24, "heart_beat_info");
static_assert(offsetof(heart_beat_info, header) == 0, "heart_beat_info.header");
static_assert(offsetof(heart_beat_info, reserved1) == 4, "heart_beat_info.reserved1");
static_assert(offsetof(heart_beat_info, user_id) == 8, "heart_beat_info.user_id");
static_assert(offsetof(heart_beat_info, interval_sec) == 12, "heart_beat_info.interval_sec");
static_assert(offsetof(heart_beat_info, enable) == 16, "heart_beat_info.enable");
static_assert(offsetof(heart_beat_info, reserved2) == 17, "heart_beat_info.reserved2");

static_assert(sizeof(trade_heart_beat_req) == 16, "trade_heart_beat_req");
static_assert(offsetof(trade_heart_beat_req, header) == 0, "trade_heart_beat_req.header");
static_assert(offsetof(trade_heart_beat_req, seq) == 4, "trade_heart_beat_req.seq");
static_assert(offsetof(trade_heart_beat_req, user_id) == 8, "trade_heart_beat_req.user_id");
static_assert(offsetof(trade_heart_beat_req, reserved) == 12, "trade_heart_beat_req.reserved");

static_assert(sizeof(query_account_bp_req) == 28, "query_account_bp_req");
static_assert(offsetof(query_account_bp_req, header) == 0, "query_account_bp_req.header");
static_assert(offsetof(query_account_bp_req, reserved) == 4, "query_account_bp_req.reserved");
static_assert(offsetof(query_account_bp_req, user_id) == 8, "query_account_bp_req.user_id");
static_assert(offsetof(query_account_bp_req, account) == 12, "query_account_bp_req.account");

static_assert(sizeof(query_market_session) == 16, "query_market_session");
static_assert(offsetof(query_market_session, header) == 0, "query_market_session.header");
static_assert(offsetof(query_market_session, reserved1) == 4, "query_market_session.reserved1");
static_assert(offsetof(query_market_session, user_id) == 8, "query_market_session.user_id");
static_assert(offsetof(query_market_session, reserved2) == 12, "query_market_session.reserved2");

static_assert(sizeof(query_symbol_status) == 16, "query_symbol_status");
static_assert(offsetof(query_symbol_status, header) == 0, "query_symbol_status.header");
static_assert(offsetof(query_symbol_status, reserved1) == 4, "query_symbol_status.reserved1");
static_assert(offsetof(query_symbol_status, user_id) == 8, "query_symbol_status.user_id");
static_assert(offsetof(query_symbol_status, reserved2) == 12, "query_symbol_status.reserved2");

static_assert(sizeof(query_session_id) == 32, "query_session_id");
static_assert(offsetof(query_session_id, header) == 0, "query_session_id.header");
static_assert(offsetof(query_session_id, reserved1) == 4, "query_session_id.reserved1");
static_assert(offsetof(query_session_id, user_id) == 8, "query_session_id.user_id");
static_assert(offsetof(query_session_id, session) == 12, "query_session_id.session");
static_assert(offsetof(query_session_id, market) == 29, "query_session_id.market");
static_assert(offsetof(query_session_id, reserved2) == 30, "query_session_id.reserved2");

static_assert(sizeof(report_version_resp) == 56, "report_version_resp");
static_assert(offsetof(report_version_resp, header) == 0, "report_version_resp.header");
static_assert(offsetof(report_version_resp, reserved1) == 4, "report_version_resp.reserved1");
static_assert(offsetof(report_version_resp, terminal_text) == 12, "report_version_resp.terminal_text");
static_assert(offsetof(report_version_resp, number) == 45, "report_version_resp.number");
static_assert(offsetof(report_version_resp, verdict) == 49, "report_version_resp.verdict");
static_assert(offsetof(report_version_resp, take_as_is) == 50, "report_version_resp.take_as_is");
static_assert(offsetof(report_version_resp, server_edition) == 51, "report_version_resp.server_edition");
static_assert(offsetof(report_version_resp, reserved2) == 52, "report_version_resp.reserved2");

static_assert(sizeof(logon_msg_resp) == 80, "logon_msg_resp");
static_assert(offsetof(logon_msg_resp, header) == 0, "logon_msg_resp.header");
static_assert(offsetof(logon_msg_resp, server_value) == 4, "logon_msg_resp.server_value");
static_assert(offsetof(logon_msg_resp, reserved1) == 8, "logon_msg_resp.reserved1");
static_assert(offsetof(logon_msg_resp, result) == 12, "logon_msg_resp.result");
static_assert(offsetof(logon_msg_resp, reserved2) == 16, "logon_msg_resp.reserved2");
static_assert(offsetof(logon_msg_resp, user_id) == 49, "logon_msg_resp.user_id");
static_assert(offsetof(logon_msg_resp, logon_value) == 53, "logon_msg_resp.logon_value");
static_assert(offsetof(logon_msg_resp, max_token) == 57, "logon_msg_resp.max_token");
static_assert(offsetof(logon_msg_resp, order_fc_count) == 61, "logon_msg_resp.order_fc_count");
static_assert(offsetof(logon_msg_resp, order_fc_window_us) == 65, "logon_msg_resp.order_fc_window_us");
static_assert(offsetof(logon_msg_resp, cancel_fc_count) == 69, "logon_msg_resp.cancel_fc_count");
static_assert(offsetof(logon_msg_resp, cancel_fc_window_us) == 73, "logon_msg_resp.cancel_fc_window_us");
static_assert(offsetof(logon_msg_resp, reserved3) == 77, "logon_msg_resp.reserved3");

static_assert(sizeof(query_account_idx_resp) == 40, "query_account_idx_resp");
static_assert(offsetof(query_account_idx_resp, header) == 0, "query_account_idx_resp.header");
static_assert(offsetof(query_account_idx_resp, reserved1) == 4, "query_account_idx_resp.reserved1");
static_assert(offsetof(query_account_idx_resp, end_mark) == 8, "query_account_idx_resp.end_mark");
static_assert(offsetof(query_account_idx_resp, reserved2) == 9, "query_account_idx_resp.reserved2");
static_assert(offsetof(query_account_idx_resp, account_name) == 13, "query_account_idx_resp.account_name");
static_assert(offsetof(query_account_idx_resp, account_index) == 29, "query_account_idx_resp.account_index");
static_assert(offsetof(query_account_idx_resp, reserved3) == 30, "query_account_idx_resp.reserved3");

static_assert(sizeof(query_symbol_idx_resp) == 40, "query_symbol_idx_resp");
static_assert(offsetof(query_symbol_idx_resp, header) == 0, "query_symbol_idx_resp.header");
static_assert(offsetof(query_symbol_idx_resp, reserved1) == 4, "query_symbol_idx_resp.reserved1");
static_assert(offsetof(query_symbol_idx_resp, end_of_page) == 8, "query_symbol_idx_resp.end_of_page");
static_assert(offsetof(query_symbol_idx_resp, reserved2) == 9, "query_symbol_idx_resp.reserved2");
static_assert(offsetof(query_symbol_idx_resp, symbol) == 10, "query_symbol_idx_resp.symbol");
static_assert(offsetof(query_symbol_idx_resp, symbol_index) == 30, "query_symbol_idx_resp.symbol_index");
static_assert(offsetof(query_symbol_idx_resp, entry_count) == 32, "query_symbol_idx_resp.entry_count");
static_assert(offsetof(query_symbol_idx_resp, reserved3) == 34, "query_symbol_idx_resp.reserved3");

static_assert(sizeof(set_heart_beat_resp) == 24, "set_heart_beat_resp");
static_assert(offsetof(set_heart_beat_resp, header) == 0, "set_heart_beat_resp.header");
static_assert(offsetof(set_heart_beat_resp, reserved1) == 4, "set_heart_beat_resp.reserved1");
static_assert(offsetof(set_heart_beat_resp, result) == 12, "set_heart_beat_resp.result");
static_assert(offsetof(set_heart_beat_resp, timeout_sec) == 16, "set_heart_beat_resp.timeout_sec");
static_assert(offsetof(set_heart_beat_resp, reserved2) == 20, "set_heart_beat_resp.reserved2");

static_assert(sizeof(trade_heart_beat_resp) == 16, "trade_heart_beat_resp");
static_assert(offsetof(trade_heart_beat_resp, header) == 0, "trade_heart_beat_resp.header");
static_assert(offsetof(trade_heart_beat_resp, reserved) == 4, "trade_heart_beat_resp.reserved");

}  // namespace HUX_TRADE_WIRE

#endif

// Wire records of the adapter's query connection: the twelve requests the
// client sends to the query server and the eighteen answers it receives,
// their type numbers and fixed lengths, and the request builders.
//
// Packed, little-endian, header as on the trade connection (type, then the
// total length). An answer's length comes from its type: the receiver never
// reads the length field. Bytes of an answer the client does not read are
// kept as opaque arrays; bytes of a request the client does not write are
// zero. Text fields hold NUL-terminated text, zero-filled behind it.
#ifndef HUX_ADAPTER_QUERY_MSG_H
#define HUX_ADAPTER_QUERY_MSG_H

#include <cstddef>
#include <cstdint>

#include "trade_core/trade_msg.h"

namespace HUX_ADAPTER {

using query_msg_header = HUX_TRADE_WIRE::msg_header;

enum enQueryMsgType : uint16_t {
    // requests, client to query server
    QUERY_LOGON_MSG_REQ = 68,
    CHANGE_PASSWORD_REQ = 69,
    QUERY_USER_ACCOUNT_REQ = 71,
    QUERY_SYMBOL_REQ = 72,
    QUERY_ACCOUNT_POSITION_REQ = 73,
    REWIND_ACCOUNT_ORDER_REQ = 74,
    REWIND_ACCOUNT_EXEC_REQ = 75,
    QUERY_ACCOUNT_MARGIN = 77,
    QUERY_ACCOUNT_FEE = 78,
    QUERY_ACCOUNT_BP_REQ = 81,
    ACCOUNT_RISK_REAL_DATA_REQ = 82,
    ACCOUNT_SYMBOL_REAL_DATA_REQ = 83,

    // answers, query server to client (request type + 1000, and two more)
    REWIND_ORDER_EXECUTION_RESPONSE_EX = 1063,
    QUERY_ERR_RESP = 1064,
    QUERY_LOGON_MSG_RESP = 1068,
    CHANGE_PASSWORD_RESP = 1069,
    QUERY_USER_ACCOUNT_RESP = 1071,
    QUERY_SYMBOL_RESP = 1072,
    QUERY_ACCOUNT_FUT_POSITION_RESP = 1073,
    REWIND_ACCOUNT_ORDER_RESPONSE = 1074,
    REWIND_ORDER_EXECUTION_RESPONSE = 1075,
    QUERY_ACCOUNT_MARGIN_RESP = 1077,
    QUERY_ACCOUNT_FEE_RESP = 1078,
    QUERY_ACCOUNT_BP_RESP = 1081,
    ACCOUNT_RISK_REAL_DATA_RESP = 1082,
    ACCOUNT_SYMBOL_REAL_DATA_RESP = 1083,
    QUERY_ACCOUNT_OPT_POSITION_RESP = 1092,
    REPORT_ACCOUNT_BP = 1093,
    REWIND_ACCOUNT_QUOTE_RESPONSE = 1095,
    QUERY_SILENT_RESP_1099 = 1099  // consumed without effect; the server gives it no name
};

constexpr size_t QUERY_LOGIN_ID_FIELD = 33;  // at most 32 characters
constexpr size_t QUERY_MD5_TEXT_FIELD = 33;  // 32 hex characters and a NUL
constexpr size_t QUERY_ACCOUNT_FIELD = 16;   // at most 15 characters in a request
constexpr size_t QUERY_SYMBOL_FIELD = 20;

// The answers this connection knows, and the longest of them.
constexpr size_t QUERY_ANSWER_TYPES = 18;
extern const uint16_t QUERY_ANSWER_TYPE_LIST[QUERY_ANSWER_TYPES];
constexpr uint16_t QUERY_LONGEST_ANSWER = 1006;

// The fixed length of an answer type, header included; 0 for a type the
// query connection does not have.
int query_answer_length(uint16_t type);

#pragma pack(push, 1)

// ---- requests ----

struct query_logon_msg_req {
    query_msg_header header;
    uint32_t reserved1;         // 4: zero
    uint32_t protocol_version;  // 8: the trade connection's version, 15
    char login_id[QUERY_LOGIN_ID_FIELD];
    char password_md5[QUERY_MD5_TEXT_FIELD];
    uint8_t reserved2[2];
};

struct change_password_req {
    query_msg_header header;
    uint32_t reserved1;
    uint32_t user_id;
    char old_password_md5[QUERY_MD5_TEXT_FIELD];
    char new_password_md5[QUERY_MD5_TEXT_FIELD];
    uint8_t reserved2[2];
};

// 71 and 72 share this layout.
struct query_user_id_req {
    query_msg_header header;
    uint32_t reserved1;
    uint32_t user_id;
    uint8_t reserved2[4];
};
using query_user_account_req = query_user_id_req;
using query_symbol_req = query_user_id_req;

struct query_account_position_req {
    query_msg_header header;
    int32_t request_no;
    uint32_t user_id;
    char account[QUERY_ACCOUNT_FIELD];
    uint8_t reserved[4];
};

// 74, 77 and 78 share this layout; 75 adds the byte at 29.
struct query_account_req {
    query_msg_header header;
    uint32_t reserved1;
    uint32_t user_id;
    char account[QUERY_ACCOUNT_FIELD];
    uint8_t reserved2;
    uint8_t exec_selector;  // 29: 75 only (the low byte of the caller's value); else 0
    uint8_t reserved3[2];
};
using rewind_account_order_req = query_account_req;
using rewind_account_exec_req = query_account_req;
using query_account_margin = query_account_req;
using query_account_fee = query_account_req;

// 81 and 82 share this layout: the int at 4 is 81's request number and 82's
// first integer argument.
struct query_account_value_req {
    query_msg_header header;
    int32_t value;
    uint32_t user_id;
    char account[QUERY_ACCOUNT_FIELD];
};
using query_account_bp_req = query_account_value_req;
using account_risk_real_data_req = query_account_value_req;

struct account_symbol_real_data_req {
    query_msg_header header;
    uint32_t reserved1;
    uint32_t user_id;
    char account[QUERY_ACCOUNT_FIELD];
    uint8_t reserved2[20];
};

// ---- answers ----

struct rewind_order_execution_response {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: 1 = the closing message
    uint32_t value_9;
    char account[QUERY_ACCOUNT_FIELD];
    uint64_t value_29;
    uint32_t value_37;
    uint32_t value_41;
    uint32_t value_45;
    double value_49;
    char text_57[31];  // at most 24 characters used
};

struct rewind_order_execution_response_ex {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: 1 = the closing message
    uint32_t value_9;
    char account[QUERY_ACCOUNT_FIELD];
    uint64_t value_29;
    uint32_t value_37;
    uint32_t value_41;
    uint32_t value_45;
    double value_49;
    char text_57[26];  // at most 24 characters used
    char text_83[20];  // at most 19 characters used
    uint8_t value_103;
    uint8_t opaque2[8];
};

struct query_err_resp {
    query_msg_header header;
    uint8_t opaque[20];
};

struct query_logon_msg_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint32_t result;   // 8: 0 = logged on
    uint8_t opaque2[33];
    uint32_t user_id;  // 45
    uint8_t opaque3[7];
};

struct change_password_resp {
    query_msg_header header;
    uint8_t opaque[8];
    uint32_t result;  // 12
};

struct query_user_account_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: non-zero = the closing message
    uint8_t opaque2[4];
    char account[QUERY_ACCOUNT_FIELD];
    uint32_t value_29;
    double amounts[6];  // 33, 41, 49, 57, 65, 73
    uint8_t opaque3[7];
};

struct query_symbol_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;     // 8: non-zero = the closing message
    uint8_t symbol_kind;  // 9: 2 = option
    char symbol[QUERY_SYMBOL_FIELD];
    char second_text[21];
    uint8_t exchange_id;  // 51
    uint32_t value_52;
    uint8_t opaque2[28];
    uint16_t value_84;
    uint8_t value_86;
    uint32_t values_87[5];  // 87, 91, 95, 99, 103
    double value_107;
    uint32_t values_115[3];  // 115, 119, 123
    uint32_t value_127;      // non-option symbols only
    uint32_t value_131;      // non-option symbols only
    uint8_t value_135;
    uint8_t value_136;
    uint8_t opaque3[2];
};

struct query_account_fut_position_resp {
    query_msg_header header;
    int32_t request_no;
    uint8_t end_flag;  // 8: non-zero = the closing message
    uint8_t opaque1[4];
    char account[QUERY_ACCOUNT_FIELD];
    uint8_t opaque2[4];
    char symbol[QUERY_SYMBOL_FIELD];
    uint8_t value_53;
    uint32_t value_54;
    uint8_t opaque3[8];
    uint32_t values_66[4];  // 66, 70, 74, 78
    double value_82;
    double value_90;
    uint8_t opaque4[40];
    double value_138;
    uint8_t value_146;
    uint8_t opaque5[5];
};

struct query_account_opt_position_resp {
    query_msg_header header;
    int32_t request_no;
    uint8_t end_flag;  // 8: non-zero = the closing message
    uint8_t opaque1[4];
    char account[QUERY_ACCOUNT_FIELD];
    uint8_t opaque2[4];
    uint32_t exchange_id;  // 33
    char symbol[49];       // 37: NUL-terminated; what follows the NUL is not read
    char number_text[9];   // 86: a decimal number as text
    uint8_t value_95;
    uint32_t value_96;
    uint8_t opaque3[8];
    uint32_t value_108;
    uint32_t quantity_a;     // 112
    uint32_t values_116[3];  // 116, 120, 124
    double value_128;
    double value_136;
    uint32_t value_144;
    uint32_t quantity_b;  // 148
    double value_152;
    uint8_t value_160;
    uint8_t opaque4[6];
};

// The server's spelling of the name is kept.
struct rewind_accoutn_order_response {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: 1 = the closing message
    uint32_t value_9;
    uint64_t value_13;
    uint32_t value_21;
    uint8_t value_25;
    char symbol[21];  // 26: at most 20 characters
    uint8_t value_47;
    uint32_t value_48;
    double value_52;
    uint8_t value_60;
    uint8_t opaque2[8];
    uint8_t coded_69;
    uint32_t value_70;
    char account[QUERY_ACCOUNT_FIELD];  // 74
    uint8_t value_90;
    uint8_t value_91;
    uint8_t opaque3;
    uint64_t value_93;
    uint32_t value_101;
    uint32_t value_105;
    uint64_t values_109[3];  // 109, 117, 125
    uint32_t value_133;
    uint8_t opaque4[7];
};

// 1077 and 1078 open alike.
struct query_account_margin_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: non-zero = the closing message
    char account[QUERY_ACCOUNT_FIELD];  // 9
    uint8_t value_25;
    char symbol[QUERY_SYMBOL_FIELD];  // 26
    uint8_t value_46;
    uint32_t value_47;
    uint8_t opaque2[28];
    double value_79;
    double value_87;
    uint8_t opaque3;
};

struct query_account_fee_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint8_t end_flag;  // 8: non-zero = the closing message
    char account[QUERY_ACCOUNT_FIELD];  // 9
    uint8_t value_25;
    char symbol[QUERY_SYMBOL_FIELD];  // 26
    uint8_t value_46;
    uint32_t value_47;
    uint8_t opaque2[28];
    double values_79[6];  // 79, 87, 95, 103, 111, 119
    uint8_t coded_127;
};

// 1081 and 1093: no end flag; 1093 carries no request number.
struct query_account_bp_resp {
    query_msg_header header;
    int32_t request_no;
    uint8_t opaque1[4];
    char account[QUERY_ACCOUNT_FIELD];  // 12
    uint8_t opaque2[4];
    double values[9];  // 32 to 96
    uint8_t opaque3[4];
};
using report_account_bp = query_account_bp_resp;

// The values from 24 on are read by offset (see the risk data record).
struct account_risk_real_data_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    char account[QUERY_ACCOUNT_FIELD];  // 8
    unsigned char values[982];
};

// The values from 48 on are read by offset (see the symbol risk record).
struct account_symbol_real_data_resp {
    query_msg_header header;
    uint8_t opaque1[4];
    uint32_t value_8;
    char account[QUERY_ACCOUNT_FIELD];  // 12
    char symbol[QUERY_SYMBOL_FIELD];    // 28
    unsigned char values[400];
};

struct rewind_account_quote_response {
    query_msg_header header;
    uint8_t opaque[196];
};

struct query_silent_resp_1099 {
    query_msg_header header;
    uint8_t opaque[60];
};

#pragma pack(pop)

// ---- builders ----
// Each zeroes the caller's record and writes the header with the type and
// its fixed length. A null text is taken as empty.

// Zero-fills all `size` bytes of `dst`, then copies at most size - 1
// characters of `src` (null: none).
void copy_api_str(char* dst, size_t size, const char* src);

// A new password: 8 to 32 characters, letters, digits and '_' only, at
// least one letter and at least one digit.
bool password_rule_ok(const char* password);

// The login id keeps at most 32 characters; the password goes as the
// upper-case MD5 hex text of all its bytes.
void build_query_logon_msg_req(query_logon_msg_req& msg, const char* login_id, const char* password);
// False, with the record zeroed, when the new password breaks the rule: such
// a request is never sent.
bool build_change_password_req(change_password_req& msg, uint32_t user_id, const char* old_password,
                               const char* new_password);
void build_query_user_account_req(query_user_account_req& msg, uint32_t user_id);
void build_query_symbol_req(query_symbol_req& msg, uint32_t user_id);
// The account builders: an account id goes whole, in at most 15
// characters. False, with the record zeroed, for a longer one (read no
// further than its 16th byte): cut, it would name another account, so such
// a request is never sent.
bool build_query_account_position_req(query_account_position_req& msg, int32_t request_no, uint32_t user_id,
                                      const char* account);
bool build_rewind_account_order_req(rewind_account_order_req& msg, uint32_t user_id, const char* account);
// The low byte of `selector` goes to byte 29.
bool build_rewind_account_exec_req(rewind_account_exec_req& msg, uint32_t user_id, const char* account,
                                   uint32_t selector);
bool build_query_account_margin(query_account_margin& msg, uint32_t user_id, const char* account);
bool build_query_account_fee(query_account_fee& msg, uint32_t user_id, const char* account);
bool build_query_account_bp_req(query_account_bp_req& msg, int32_t request_no, uint32_t user_id,
                                const char* account);
// Only the first integer argument travels (at 4).
bool build_account_risk_real_data_req(account_risk_real_data_req& msg, int32_t value, uint32_t user_id,
                                      const char* account);
bool build_account_symbol_real_data_req(account_symbol_real_data_req& msg, uint32_t user_id, const char* account);

// ---- layout checks ----

#define HUX_QUERY_SIZE(rec, n) static_assert(sizeof(rec) == (n), #rec " is " #n " bytes")
#define HUX_QUERY_AT(rec, field, n) static_assert(offsetof(rec, field) == (n), #rec "." #field " at " #n)

HUX_QUERY_SIZE(query_logon_msg_req, 80);
HUX_QUERY_AT(query_logon_msg_req, protocol_version, 8);
HUX_QUERY_AT(query_logon_msg_req, login_id, 12);
HUX_QUERY_AT(query_logon_msg_req, password_md5, 45);
HUX_QUERY_AT(query_logon_msg_req, reserved2, 78);
HUX_QUERY_SIZE(change_password_req, 80);
HUX_QUERY_AT(change_password_req, user_id, 8);
HUX_QUERY_AT(change_password_req, old_password_md5, 12);
HUX_QUERY_AT(change_password_req, new_password_md5, 45);
HUX_QUERY_SIZE(query_user_id_req, 16);
HUX_QUERY_AT(query_user_id_req, user_id, 8);
HUX_QUERY_SIZE(query_account_position_req, 32);
HUX_QUERY_AT(query_account_position_req, request_no, 4);
HUX_QUERY_AT(query_account_position_req, user_id, 8);
HUX_QUERY_AT(query_account_position_req, account, 12);
HUX_QUERY_AT(query_account_position_req, reserved, 28);
HUX_QUERY_SIZE(query_account_req, 32);
HUX_QUERY_AT(query_account_req, user_id, 8);
HUX_QUERY_AT(query_account_req, account, 12);
HUX_QUERY_AT(query_account_req, exec_selector, 29);
HUX_QUERY_SIZE(query_account_value_req, 28);
HUX_QUERY_AT(query_account_value_req, value, 4);
HUX_QUERY_AT(query_account_value_req, user_id, 8);
HUX_QUERY_AT(query_account_value_req, account, 12);
HUX_QUERY_SIZE(account_symbol_real_data_req, 48);
HUX_QUERY_AT(account_symbol_real_data_req, account, 12);
HUX_QUERY_AT(account_symbol_real_data_req, reserved2, 28);

HUX_QUERY_SIZE(rewind_order_execution_response, 88);
HUX_QUERY_AT(rewind_order_execution_response, end_flag, 8);
HUX_QUERY_AT(rewind_order_execution_response, value_9, 9);
HUX_QUERY_AT(rewind_order_execution_response, account, 13);
HUX_QUERY_AT(rewind_order_execution_response, value_29, 29);
HUX_QUERY_AT(rewind_order_execution_response, value_45, 45);
HUX_QUERY_AT(rewind_order_execution_response, value_49, 49);
HUX_QUERY_AT(rewind_order_execution_response, text_57, 57);
HUX_QUERY_SIZE(rewind_order_execution_response_ex, 112);
HUX_QUERY_AT(rewind_order_execution_response_ex, value_49, 49);
HUX_QUERY_AT(rewind_order_execution_response_ex, text_57, 57);
HUX_QUERY_AT(rewind_order_execution_response_ex, text_83, 83);
HUX_QUERY_AT(rewind_order_execution_response_ex, value_103, 103);
HUX_QUERY_SIZE(query_err_resp, 24);
HUX_QUERY_SIZE(query_logon_msg_resp, 56);
HUX_QUERY_AT(query_logon_msg_resp, result, 8);
HUX_QUERY_AT(query_logon_msg_resp, user_id, 45);
HUX_QUERY_SIZE(change_password_resp, 16);
HUX_QUERY_AT(change_password_resp, result, 12);
HUX_QUERY_SIZE(query_user_account_resp, 88);
HUX_QUERY_AT(query_user_account_resp, end_flag, 8);
HUX_QUERY_AT(query_user_account_resp, account, 13);
HUX_QUERY_AT(query_user_account_resp, value_29, 29);
HUX_QUERY_AT(query_user_account_resp, amounts, 33);
HUX_QUERY_SIZE(query_symbol_resp, 139);
HUX_QUERY_AT(query_symbol_resp, symbol_kind, 9);
HUX_QUERY_AT(query_symbol_resp, symbol, 10);
HUX_QUERY_AT(query_symbol_resp, second_text, 30);
HUX_QUERY_AT(query_symbol_resp, exchange_id, 51);
HUX_QUERY_AT(query_symbol_resp, value_52, 52);
HUX_QUERY_AT(query_symbol_resp, value_84, 84);
HUX_QUERY_AT(query_symbol_resp, value_86, 86);
HUX_QUERY_AT(query_symbol_resp, values_87, 87);
HUX_QUERY_AT(query_symbol_resp, value_107, 107);
HUX_QUERY_AT(query_symbol_resp, values_115, 115);
HUX_QUERY_AT(query_symbol_resp, value_127, 127);
HUX_QUERY_AT(query_symbol_resp, value_131, 131);
HUX_QUERY_AT(query_symbol_resp, value_135, 135);
HUX_QUERY_AT(query_symbol_resp, value_136, 136);
HUX_QUERY_SIZE(query_account_fut_position_resp, 152);
HUX_QUERY_AT(query_account_fut_position_resp, request_no, 4);
HUX_QUERY_AT(query_account_fut_position_resp, account, 13);
HUX_QUERY_AT(query_account_fut_position_resp, symbol, 33);
HUX_QUERY_AT(query_account_fut_position_resp, value_53, 53);
HUX_QUERY_AT(query_account_fut_position_resp, value_54, 54);
HUX_QUERY_AT(query_account_fut_position_resp, values_66, 66);
HUX_QUERY_AT(query_account_fut_position_resp, value_82, 82);
HUX_QUERY_AT(query_account_fut_position_resp, value_90, 90);
HUX_QUERY_AT(query_account_fut_position_resp, value_138, 138);
HUX_QUERY_AT(query_account_fut_position_resp, value_146, 146);
HUX_QUERY_SIZE(query_account_opt_position_resp, 167);
HUX_QUERY_AT(query_account_opt_position_resp, exchange_id, 33);
HUX_QUERY_AT(query_account_opt_position_resp, symbol, 37);
HUX_QUERY_AT(query_account_opt_position_resp, number_text, 86);
HUX_QUERY_AT(query_account_opt_position_resp, value_95, 95);
HUX_QUERY_AT(query_account_opt_position_resp, value_96, 96);
HUX_QUERY_AT(query_account_opt_position_resp, value_108, 108);
HUX_QUERY_AT(query_account_opt_position_resp, quantity_a, 112);
HUX_QUERY_AT(query_account_opt_position_resp, values_116, 116);
HUX_QUERY_AT(query_account_opt_position_resp, value_128, 128);
HUX_QUERY_AT(query_account_opt_position_resp, value_136, 136);
HUX_QUERY_AT(query_account_opt_position_resp, value_144, 144);
HUX_QUERY_AT(query_account_opt_position_resp, quantity_b, 148);
HUX_QUERY_AT(query_account_opt_position_resp, value_152, 152);
HUX_QUERY_AT(query_account_opt_position_resp, value_160, 160);
HUX_QUERY_SIZE(rewind_accoutn_order_response, 144);
HUX_QUERY_AT(rewind_accoutn_order_response, value_9, 9);
HUX_QUERY_AT(rewind_accoutn_order_response, value_13, 13);
HUX_QUERY_AT(rewind_accoutn_order_response, value_21, 21);
HUX_QUERY_AT(rewind_accoutn_order_response, value_25, 25);
HUX_QUERY_AT(rewind_accoutn_order_response, symbol, 26);
HUX_QUERY_AT(rewind_accoutn_order_response, value_47, 47);
HUX_QUERY_AT(rewind_accoutn_order_response, value_48, 48);
HUX_QUERY_AT(rewind_accoutn_order_response, value_52, 52);
HUX_QUERY_AT(rewind_accoutn_order_response, value_60, 60);
HUX_QUERY_AT(rewind_accoutn_order_response, coded_69, 69);
HUX_QUERY_AT(rewind_accoutn_order_response, value_70, 70);
HUX_QUERY_AT(rewind_accoutn_order_response, account, 74);
HUX_QUERY_AT(rewind_accoutn_order_response, value_90, 90);
HUX_QUERY_AT(rewind_accoutn_order_response, value_91, 91);
HUX_QUERY_AT(rewind_accoutn_order_response, value_93, 93);
HUX_QUERY_AT(rewind_accoutn_order_response, value_101, 101);
HUX_QUERY_AT(rewind_accoutn_order_response, value_105, 105);
HUX_QUERY_AT(rewind_accoutn_order_response, values_109, 109);
HUX_QUERY_AT(rewind_accoutn_order_response, value_133, 133);
HUX_QUERY_SIZE(query_account_margin_resp, 96);
HUX_QUERY_AT(query_account_margin_resp, account, 9);
HUX_QUERY_AT(query_account_margin_resp, value_25, 25);
HUX_QUERY_AT(query_account_margin_resp, symbol, 26);
HUX_QUERY_AT(query_account_margin_resp, value_46, 46);
HUX_QUERY_AT(query_account_margin_resp, value_47, 47);
HUX_QUERY_AT(query_account_margin_resp, value_79, 79);
HUX_QUERY_AT(query_account_margin_resp, value_87, 87);
HUX_QUERY_SIZE(query_account_fee_resp, 128);
HUX_QUERY_AT(query_account_fee_resp, value_47, 47);
HUX_QUERY_AT(query_account_fee_resp, values_79, 79);
HUX_QUERY_AT(query_account_fee_resp, coded_127, 127);
HUX_QUERY_SIZE(query_account_bp_resp, 108);
HUX_QUERY_AT(query_account_bp_resp, request_no, 4);
HUX_QUERY_AT(query_account_bp_resp, account, 12);
HUX_QUERY_AT(query_account_bp_resp, values, 32);
HUX_QUERY_SIZE(account_risk_real_data_resp, 1006);
HUX_QUERY_AT(account_risk_real_data_resp, account, 8);
HUX_QUERY_AT(account_risk_real_data_resp, values, 24);
HUX_QUERY_SIZE(account_symbol_real_data_resp, 448);
HUX_QUERY_AT(account_symbol_real_data_resp, value_8, 8);
HUX_QUERY_AT(account_symbol_real_data_resp, account, 12);
HUX_QUERY_AT(account_symbol_real_data_resp, symbol, 28);
HUX_QUERY_AT(account_symbol_real_data_resp, values, 48);
HUX_QUERY_SIZE(rewind_account_quote_response, 200);
HUX_QUERY_SIZE(query_silent_resp_1099, 64);

#undef HUX_QUERY_SIZE
#undef HUX_QUERY_AT

}  // namespace HUX_ADAPTER

#endif

#include "adapter/query_msg.h"

#include <climits>
#include <cstring>

#include "tools/md5.h"

namespace HUX_ADAPTER {

const uint16_t QUERY_ANSWER_TYPE_LIST[QUERY_ANSWER_TYPES] = {
    REWIND_ORDER_EXECUTION_RESPONSE_EX, QUERY_ERR_RESP,          QUERY_LOGON_MSG_RESP,
    CHANGE_PASSWORD_RESP,               QUERY_USER_ACCOUNT_RESP, QUERY_SYMBOL_RESP,
    QUERY_ACCOUNT_FUT_POSITION_RESP,    REWIND_ACCOUNT_ORDER_RESPONSE, REWIND_ORDER_EXECUTION_RESPONSE,
    QUERY_ACCOUNT_MARGIN_RESP,          QUERY_ACCOUNT_FEE_RESP,  QUERY_ACCOUNT_BP_RESP,
    ACCOUNT_RISK_REAL_DATA_RESP,        ACCOUNT_SYMBOL_REAL_DATA_RESP, QUERY_ACCOUNT_OPT_POSITION_RESP,
    REPORT_ACCOUNT_BP,                  REWIND_ACCOUNT_QUOTE_RESPONSE, QUERY_SILENT_RESP_1099};

int query_answer_length(uint16_t type) {
    switch (type) {
    case REWIND_ORDER_EXECUTION_RESPONSE_EX: return sizeof(rewind_order_execution_response_ex);
    case QUERY_ERR_RESP: return sizeof(query_err_resp);
    case QUERY_LOGON_MSG_RESP: return sizeof(query_logon_msg_resp);
    case CHANGE_PASSWORD_RESP: return sizeof(change_password_resp);
    case QUERY_USER_ACCOUNT_RESP: return sizeof(query_user_account_resp);
    case QUERY_SYMBOL_RESP: return sizeof(query_symbol_resp);
    case QUERY_ACCOUNT_FUT_POSITION_RESP: return sizeof(query_account_fut_position_resp);
    case REWIND_ACCOUNT_ORDER_RESPONSE: return sizeof(rewind_accoutn_order_response);
    case REWIND_ORDER_EXECUTION_RESPONSE: return sizeof(rewind_order_execution_response);
    case QUERY_ACCOUNT_MARGIN_RESP: return sizeof(query_account_margin_resp);
    case QUERY_ACCOUNT_FEE_RESP: return sizeof(query_account_fee_resp);
    case QUERY_ACCOUNT_BP_RESP: return sizeof(query_account_bp_resp);
    case ACCOUNT_RISK_REAL_DATA_RESP: return sizeof(account_risk_real_data_resp);
    case ACCOUNT_SYMBOL_REAL_DATA_RESP: return sizeof(account_symbol_real_data_resp);
    case QUERY_ACCOUNT_OPT_POSITION_RESP: return sizeof(query_account_opt_position_resp);
    case REPORT_ACCOUNT_BP: return sizeof(report_account_bp);
    case REWIND_ACCOUNT_QUOTE_RESPONSE: return sizeof(rewind_account_quote_response);
    case QUERY_SILENT_RESP_1099: return sizeof(query_silent_resp_1099);
    default: return 0;
    }
}
static_assert(sizeof(account_risk_real_data_resp) == QUERY_LONGEST_ANSWER, "the risk data answer is the longest");

namespace {

template <class MSG>
void start_msg(MSG& msg, uint16_t type) {
    memset(&msg, 0, sizeof(msg));
    msg.header.type = type;
    msg.header.length = static_cast<uint16_t>(sizeof(msg));
}

inline const char* or_empty(const char* text) { return text ? text : ""; }

// The MD5 text of every byte of `text`; a text too long to digest (beyond
// INT_MAX bytes) is digested up to that bound.
void md5_text(const char* text, char out[QUERY_MD5_TEXT_FIELD]) {
    size_t len = strlen(or_empty(text));
    if (len > static_cast<size_t>(INT_MAX)) len = static_cast<size_t>(INT_MAX);
    MORVAST::TOOLS::encrypt_md5(or_empty(text), static_cast<int>(len), out);
}

// False, with the record zeroed, when the account does not fit its field
// (15 characters and the terminator): a cut account would name another
// account. The account is read no further than its 16th byte, so a text
// with no terminator is not read past it.
template <class MSG>
bool start_account_msg(MSG& msg, uint16_t type, uint32_t user_id, const char* account) {
    if (strnlen(or_empty(account), sizeof(msg.account)) == sizeof(msg.account)) {
        memset(&msg, 0, sizeof(msg));
        return false;
    }
    start_msg(msg, type);
    msg.user_id = user_id;
    copy_api_str(msg.account, sizeof(msg.account), account);
    return true;
}

}  // namespace

void copy_api_str(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return;
    memset(dst, 0, size);
    if (!src) return;
    size_t n = strnlen(src, size - 1);
    memcpy(dst, src, n);
}

bool password_rule_ok(const char* password) {
    if (!password) return false;
    size_t len = strnlen(password, 33);
    if (len < 8 || len > 32) return false;
    bool letter = false;
    bool digit = false;
    for (size_t i = 0; i < len; ++i) {
        char c = password[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            letter = true;
        else if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '_')
            return false;
    }
    return letter && digit;
}

void build_query_logon_msg_req(query_logon_msg_req& msg, const char* login_id, const char* password) {
    start_msg(msg, QUERY_LOGON_MSG_REQ);
    msg.protocol_version = HUX_TRADE_WIRE::TRADE_PROTOCOL_VERSION;
    copy_api_str(msg.login_id, sizeof(msg.login_id), login_id);
    md5_text(password, msg.password_md5);
}

bool build_change_password_req(change_password_req& msg, uint32_t user_id, const char* old_password,
                               const char* new_password) {
    start_msg(msg, CHANGE_PASSWORD_REQ);
    if (!password_rule_ok(new_password)) {
        memset(&msg, 0, sizeof(msg));
        return false;
    }
    msg.user_id = user_id;
    md5_text(old_password, msg.old_password_md5);
    md5_text(new_password, msg.new_password_md5);
    return true;
}

void build_query_user_account_req(query_user_account_req& msg, uint32_t user_id) {
    start_msg(msg, QUERY_USER_ACCOUNT_REQ);
    msg.user_id = user_id;
}

void build_query_symbol_req(query_symbol_req& msg, uint32_t user_id) {
    start_msg(msg, QUERY_SYMBOL_REQ);
    msg.user_id = user_id;
}

bool build_query_account_position_req(query_account_position_req& msg, int32_t request_no, uint32_t user_id,
                                      const char* account) {
    if (!start_account_msg(msg, QUERY_ACCOUNT_POSITION_REQ, user_id, account)) return false;
    msg.request_no = request_no;
    return true;
}

bool build_rewind_account_order_req(rewind_account_order_req& msg, uint32_t user_id, const char* account) {
    return start_account_msg(msg, REWIND_ACCOUNT_ORDER_REQ, user_id, account);
}

bool build_rewind_account_exec_req(rewind_account_exec_req& msg, uint32_t user_id, const char* account,
                                   uint32_t selector) {
    if (!start_account_msg(msg, REWIND_ACCOUNT_EXEC_REQ, user_id, account)) return false;
    msg.exec_selector = static_cast<uint8_t>(selector & 0xff);
    return true;
}

bool build_query_account_margin(query_account_margin& msg, uint32_t user_id, const char* account) {
    return start_account_msg(msg, QUERY_ACCOUNT_MARGIN, user_id, account);
}

bool build_query_account_fee(query_account_fee& msg, uint32_t user_id, const char* account) {
    return start_account_msg(msg, QUERY_ACCOUNT_FEE, user_id, account);
}

bool build_query_account_bp_req(query_account_bp_req& msg, int32_t request_no, uint32_t user_id,
                                const char* account) {
    if (!start_account_msg(msg, QUERY_ACCOUNT_BP_REQ, user_id, account)) return false;
    msg.value = request_no;
    return true;
}

bool build_account_risk_real_data_req(account_risk_real_data_req& msg, int32_t value, uint32_t user_id,
                                      const char* account) {
    if (!start_account_msg(msg, ACCOUNT_RISK_REAL_DATA_REQ, user_id, account)) return false;
    msg.value = value;
    return true;
}

bool build_account_symbol_real_data_req(account_symbol_real_data_req& msg, uint32_t user_id, const char* account) {
    return start_account_msg(msg, ACCOUNT_SYMBOL_REAL_DATA_REQ, user_id, account);
}

}  // namespace HUX_ADAPTER

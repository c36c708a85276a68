// Wire records of the server's status and query answers: account buying
// power (1081), market sessions (1084, 1085), symbol status (1086, 1087),
// product status (1089), session id (1094) and requests for quote (1097).
// Packed, little-endian, laid over the received bytes in place.
#ifndef HUX_TRADE_MSG_STATUS_H
#define HUX_TRADE_MSG_STATUS_H

#include <cstddef>
#include <cstdint>

#include "trade_core/trade_msg.h"

namespace HUX_TRADE_WIRE {

#pragma pack(push, 1)

struct query_account_bp_resp {  // 1081, 108 bytes
    msg_header header;
    uint8_t reserved1[8];
    char account[16];
    uint8_t reserved2[4];
    double figures[9];
    uint8_t flag;
    uint8_t reserved3[3];
};

struct query_market_session_resp {  // 1084, 272 bytes
    msg_header header;
    uint8_t reserved1[8];
    uint8_t exchange_id;
    uint8_t is_last;  // 1: last answer of this query
    uint8_t session_count;
    uint8_t sessions[255];
    uint8_t reserved2[2];
};

struct market_session_stat_report {  // 1085, 16 bytes
    msg_header header;
    uint8_t reserved1[4];
    uint8_t flag;          // 1: passed on as true
    uint8_t session;       // ordinary server
    uint8_t session_qv27;  // qv27 server
    uint8_t reserved2[5];
};

struct symbol_status_report {  // 1086, 56 bytes
    msg_header header;
    uint8_t reserved1[4];
    uint8_t first_field;
    char symbol[20];
    uint8_t reserved2[11];
    uint8_t byte_a;
    int32_t value;
    char short_text[9];
    uint8_t byte_b;
    uint8_t reserved3;
};

struct symbol_status_query_resp {  // 1087, 64 bytes
    msg_header header;
    uint8_t reserved1[8];
    uint8_t first_field;
    char symbol[20];
    uint8_t reserved2[11];
    uint8_t byte_a;
    int32_t value;
    char short_text[9];
    uint8_t byte_b;
    uint8_t end_mark;  // non-zero: the list is complete, no entry here
    uint8_t reserved3[4];
};

struct prod_status_report {  // 1089, 56 bytes
    msg_header header;
    uint8_t reserved1[4];
    uint8_t first_field;
    char product[20];
    uint8_t reserved2[10];
    uint8_t byte_a;
    uint8_t byte_b;
    int32_t value;
    char short_text[9];
    uint8_t byte_c;
    uint8_t reserved3;
};

struct session_id_query_resp {  // 1094, 32 bytes
    msg_header header;
    uint8_t reserved1[8];
    char session[17];
    uint8_t reserved2;
    uint8_t value_a;
    uint8_t value_b;
};

struct req_for_quote_report {  // 1097, 64 bytes
    msg_header header;
    uint8_t reserved1[4];
    uint8_t byte_a;
    char text20[20];
    char text24[24];
    char value8[8];
    uint8_t reserved2[3];
};

#pragma pack(pop)

static_assert(sizeof(query_account_bp_resp) == 108, "query_account_bp_resp");
static_assert(offsetof(query_account_bp_resp, account) == 12, "query_account_bp_resp.account");
static_assert(offsetof(query_account_bp_resp, figures) == 32, "query_account_bp_resp.figures");
static_assert(offsetof(query_account_bp_resp, flag) == 104, "query_account_bp_resp.flag");

static_assert(sizeof(query_market_session_resp) == 272, "query_market_session_resp");
static_assert(offsetof(query_market_session_resp, exchange_id) == 12, "query_market_session_resp.exchange_id");
static_assert(offsetof(query_market_session_resp, is_last) == 13, "query_market_session_resp.is_last");
static_assert(offsetof(query_market_session_resp, session_count) == 14, "query_market_session_resp.session_count");
static_assert(offsetof(query_market_session_resp, sessions) == 15, "query_market_session_resp.sessions");

static_assert(sizeof(market_session_stat_report) == 16, "market_session_stat_report");
static_assert(offsetof(market_session_stat_report, flag) == 8, "market_session_stat_report.flag");
static_assert(offsetof(market_session_stat_report, session) == 9, "market_session_stat_report.session");
static_assert(offsetof(market_session_stat_report, session_qv27) == 10, "market_session_stat_report.session_qv27");

static_assert(sizeof(symbol_status_report) == 56, "symbol_status_report");
static_assert(offsetof(symbol_status_report, first_field) == 8, "symbol_status_report.first_field");
static_assert(offsetof(symbol_status_report, symbol) == 9, "symbol_status_report.symbol");
static_assert(offsetof(symbol_status_report, byte_a) == 40, "symbol_status_report.byte_a");
static_assert(offsetof(symbol_status_report, value) == 41, "symbol_status_report.value");
static_assert(offsetof(symbol_status_report, short_text) == 45, "symbol_status_report.short_text");
static_assert(offsetof(symbol_status_report, byte_b) == 54, "symbol_status_report.byte_b");

static_assert(sizeof(symbol_status_query_resp) == 64, "symbol_status_query_resp");
static_assert(offsetof(symbol_status_query_resp, first_field) == 12, "symbol_status_query_resp.first_field");
static_assert(offsetof(symbol_status_query_resp, symbol) == 13, "symbol_status_query_resp.symbol");
static_assert(offsetof(symbol_status_query_resp, byte_a) == 44, "symbol_status_query_resp.byte_a");
static_assert(offsetof(symbol_status_query_resp, value) == 45, "symbol_status_query_resp.value");
static_assert(offsetof(symbol_status_query_resp, short_text) == 49, "symbol_status_query_resp.short_text");
static_assert(offsetof(symbol_status_query_resp, byte_b) == 58, "symbol_status_query_resp.byte_b");
static_assert(offsetof(symbol_status_query_resp, end_mark) == 59, "symbol_status_query_resp.end_mark");

static_assert(sizeof(prod_status_report) == 56, "prod_status_report");
static_assert(offsetof(prod_status_report, first_field) == 8, "prod_status_report.first_field");
static_assert(offsetof(prod_status_report, product) == 9, "prod_status_report.product");
static_assert(offsetof(prod_status_report, byte_a) == 39, "prod_status_report.byte_a");
static_assert(offsetof(prod_status_report, byte_b) == 40, "prod_status_report.byte_b");
static_assert(offsetof(prod_status_report, value) == 41, "prod_status_report.value");
static_assert(offsetof(prod_status_report, short_text) == 45, "prod_status_report.short_text");
static_assert(offsetof(prod_status_report, byte_c) == 54, "prod_status_report.byte_c");

static_assert(sizeof(session_id_query_resp) == 32, "session_id_query_resp");
static_assert(offsetof(session_id_query_resp, session) == 12, "session_id_query_resp.session");
static_assert(offsetof(session_id_query_resp, value_a) == 30, "session_id_query_resp.value_a");
static_assert(offsetof(session_id_query_resp, value_b) == 31, "session_id_query_resp.value_b");

static_assert(sizeof(req_for_quote_report) == 64, "req_for_quote_report");
static_assert(offsetof(req_for_quote_report, byte_a) == 8, "req_for_quote_report.byte_a");
static_assert(offsetof(req_for_quote_report, text20) == 9, "req_for_quote_report.text20");
static_assert(offsetof(req_for_quote_report, text24) == 29, "req_for_quote_report.text24");
static_assert(offsetof(req_for_quote_report, value8) == 53, "req_for_quote_report.value8");

}  // namespace HUX_TRADE_WIRE

#endif

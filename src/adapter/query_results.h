// The query answers turned into the application's records: one filler per
// record, the reading of option symbols, the end flags of the series, and
// the callbacks the application registers for them.
//
// Every filler takes a whole answer of its type (the receive table never
// hands over less), zeroes the record and fills it at the byte offsets of
// the wire, little-endian. Texts are copied up to the answer's NUL and never
// past the record field; texts that the record may not hold whole (the
// option symbols, the decimal text of the option position) are first copied
// into terminated buffers of their own.
#ifndef HUX_ADAPTER_QUERY_RESULTS_H
#define HUX_ADAPTER_QUERY_RESULTS_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "hux_adapter_query_struct.h"

namespace HUX_ADAPTER {

// The application's callbacks of the query answers; all null at start, each
// may be set from any thread while answers arrive.
struct query_result_events {
    std::atomic<HUX_ChangePasswordEvent> ChangePassword{nullptr};
    std::atomic<HUX_QueryUserAccountEvent> QueryUserAccount{nullptr};
    std::atomic<HUX_QueryAccountPositionEvent> QueryAccountPosition{nullptr};
    std::atomic<HUX_QueryAccountOptionPositionEvent> QueryAccountOptionPosition{nullptr};
    std::atomic<HUX_QueryAccountBPEvent> QueryAccountBP{nullptr};
    std::atomic<HUX_ReportAccountBPEvent> ReportAccountBP{nullptr};
    std::atomic<HUX_QueryAccountRiskDataEvent> QueryAccountRiskData{nullptr};
    std::atomic<HUX_QueryAccountSymbolRiskDataEvent> QueryAccountSymbolRiskData{nullptr};
    std::atomic<HUX_QuerySymbolListEvent> QuerySymbolList{nullptr};
    std::atomic<HUX_QueryAccountTradeMarginEvent> QueryAccountTradeMargin{nullptr};
    std::atomic<HUX_QueryAccountTradeFeeEvent> QueryAccountTradeFee{nullptr};
    std::atomic<HUX_QueryTradeOrderEvent> QueryTradeOrder{nullptr};
    std::atomic<HUX_QueryTradeOrderExecEvent> QueryTradeOrderExec{nullptr};
    std::atomic<HUX_QueryTradeOrderExecEventEx> QueryTradeOrderExecEx{nullptr};
};

// ---- option symbols ----

// The checks an option symbol can fail (bits of option_symbol::failed).
enum enOptionSymbolCheck : unsigned {
    OPT_SYMBOL_NO_SEPARATOR = 1u,  // no '-' (dash form), no 'C' or 'P' from index 2 on (letter form)
    OPT_SYMBOL_RANGE = 2u,         // underlying length not within 1..19
    OPT_SYMBOL_POSITION = 4u,      // nothing left behind the separator for the strike
    OPT_SYMBOL_DASH = 8u           // dash form: no second '-' behind the call-or-put character
};

struct option_symbol {
    size_t underlying_len = 0;  // characters of the symbol that make the underlying
    char call_put = 0;          // 0 when absent
    int32_t strike = 0;         // 0 without digits
    unsigned failed = 0;        // enOptionSymbolCheck bits
};

// True for the exchanges whose option symbols are written with dashes
// (<underlying>-<C or P>-<strike>); the others write <underlying><C or P><strike>.
bool option_symbol_dash_form(uint32_t exchange_id);

// Reads an option symbol: `text` is NUL-terminated. Every check is made
// (after a missing separator there is nothing left to check); what can be
// read is read whatever fails, characters beyond the text counting as absent.
option_symbol parse_option_symbol(const char* text, uint32_t exchange_id);

// A decimal number as the client reads it: as a 64-bit integer (leading
// blanks and a sign allowed, stopping at the first other character, clamped
// to the 64-bit range), kept as its low 32 bits. `text` is NUL-terminated.
int32_t decimal_as_int32(const char* text);

// ---- answers ----

// The 16 account bytes at `off`, up to their NUL, with a NUL behind.
void account_text_at(char (&out)[17], const unsigned char* msg, size_t off);
// At most `max` bytes of the answer's text at `off`, up to its NUL; `dst`
// is not terminated by the copy (it was zeroed).
void copy_answer_text(char* dst, size_t max, const unsigned char* msg, size_t off);

// The end flag at 8: any non-zero value closes 1071, 1072, 1073, 1092,
// 1077 and 1078; only 1 closes the rewinds 1074, 1075 and 1063.
inline bool series_closed(const unsigned char* msg) { return msg[8] != 0; }
inline bool rewind_closed(const unsigned char* msg) { return msg[8] == 1; }
// The request number at 4 (1073, 1092, 1081).
int32_t answer_request_no(const unsigned char* msg);
// The result at 12 of the password change (1069).
int32_t change_password_result(const unsigned char* msg);

void fill_account_info(HUX_AccountInfo& rec, const unsigned char* msg);                // 1071
void fill_account_position(HUX_AccountPosition& rec, const unsigned char* msg);        // 1073
void fill_account_bp(HUX_AccountBP& rec, const unsigned char* msg);                    // 1081, 1093
void fill_account_margin(HUX_AccountMargin& rec, const unsigned char* msg);            // 1077
void fill_account_fee(HUX_AccountFee& rec, const unsigned char* msg);                  // 1078
void fill_query_account_order(HUX_QueryAccountOrder& rec, const unsigned char* msg);   // 1074
void fill_query_order_execution(HUX_QueryOrderExecution& rec, const unsigned char* msg);        // 1075
void fill_query_order_execution_ex(HUX_QueryOrderExecutionEx& rec, const unsigned char* msg);   // 1063
void fill_account_risk_data(HUX_AccountRiskData& rec, const unsigned char* msg);                // 1082
void fill_account_symbol_risk_data(HUX_AccountSymbolRiskData& rec, const unsigned char* msg);   // 1083

// What the option symbol of an answer allowed.
struct option_outcome {
    bool deliver = true;
    unsigned failed = 0;  // enOptionSymbolCheck bits
};

// 1072: an option (kind 2) gets 0 at 96 and 100, and the underlying, call
// or put and strike read from its symbol; any failed check keeps it from
// the application. Other kinds are delivered as read.
option_outcome fill_symbol_field(HUX_SymbolField& rec, const unsigned char* msg);
// The 1072 symbol as a terminated text (it may fill its 20 bytes).
void symbol_field_text(char (&out)[21], const unsigned char* msg);
// 1092: kept from the application only when the symbol has no separator or
// an underlying longer than 19; other failures deliver what was read.
option_outcome fill_account_option_position(HUX_AccountOptionPosition& rec, const unsigned char* msg);

}  // namespace HUX_ADAPTER

#endif

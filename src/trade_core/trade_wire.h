// Trade wire framing: the fixed length of every message type, the builders of
// the session requests, the readers of the session answers and the terminal
// identifier sent at logon.
//
// Shared by every trade session: plain functions over the records of
// trade_msg.h, no state of their own.
#ifndef HUX_TRADE_WIRE_H
#define HUX_TRADE_WIRE_H

#include <cstddef>
#include <cstdint>

#include "trade_core/trade_msg.h"

namespace HUX_TRADE_WIRE {

// Fixed length of a message type, header included; 0 for a type the protocol
// does not have. Only 2205 depends on the server edition (296, or 232 on a
// qv27 server). Constant time, no allocation: called for every received message.
int trade_msg_length(uint16_t type, bool qv27);

// ---- request builders ----
// Each zeroes the caller's record and fills the header with the type and its
// fixed length. A null text is taken as empty.

// The user id keeps at most 32 characters.
void build_report_version(report_version& msg, const char* user_id);

// Logon request: user id (at most 32 characters), MD5 hex text of the whole
// password, authorisation code cut to 18 bytes and application id cut to 30
// bytes (both may fill their field with no NUL), UDP port 0 (the send path
// stamps it), terminal identifier derived from the version answer.
// Returns false, with the record zeroed, when the password is longer than
// INT_MAX bytes and cannot be digested.
bool build_logon_msg_req(logon_msg_req& msg, const char* user_id, const char* password, const char* app_id,
                         const char* auth_code, const report_version_resp& version);

// The selector is sent only when it is 2, 3 or 4; any other value goes as 0.
void build_symbol_idx_query_req(symbol_idx_query_req& msg, uint16_t page_no, uint16_t page_size,
                                uint32_t user_id, int32_t selector);
void build_account_idx_query_req(account_idx_query_req& msg, uint32_t user_id);
void build_heart_beat_info(heart_beat_info& msg, uint32_t user_id, int32_t interval_sec);
void build_trade_heart_beat_req(trade_heart_beat_req& msg, int32_t seq, uint32_t user_id);
// The account goes whole, in at most 15 characters. False, with the record
// zeroed, for a longer one (read no further than its 16th byte): cut, it
// would name another account, so such a request is never sent.
bool build_query_account_bp_req(query_account_bp_req& msg, uint32_t user_id, const char* account);
void build_query_market_session(query_market_session& msg, uint32_t user_id);
void build_query_symbol_status(query_symbol_status& msg, uint32_t user_id);
// The session text keeps at most 16 characters.
void build_query_session_id(query_session_id& msg, uint32_t user_id, const char* session, uint8_t market);

// Send path: writes the local UDP port at offset 128 of a logon request (first
// byte 70, length 168). Returns true when the port was written.
bool stamp_logon_udp_port(char* buf, size_t len, uint16_t port);

// ---- terminal identifier ----

// Mixes the MD5 hex digests of the number ("%012d") and of the text (up to its
// NUL) into 32 characters and a NUL; with rounds > 0 starts again on the mix
// and a number taken from the text's digest. Returns false, with out empty,
// when the text is longer than INT_MAX bytes.
bool get_transformed_uuid(int rounds, const char* text, int32_t number, char out[TERMINAL_ID_FIELD]);

// The identifier the logon request carries: the answer's 33 bytes at 12 as they
// are when byte 50 is 1, else get_transformed_uuid with one round over the text
// at 12 (read no further than its field) and the number at 45.
void make_terminal_identifier(const report_version_resp& version, char out[TERMINAL_ID_FIELD]);

// ---- answer readers ----
// Each returns the record laid over buf in place, or nullptr when buf is null,
// shorter than the type's fixed length or of another type. The length field of
// the header is not read.

const report_version_resp* read_report_version_resp(const void* buf, size_t len);
const logon_msg_resp* read_logon_msg_resp(const void* buf, size_t len);
const query_account_idx_resp* read_query_account_idx_resp(const void* buf, size_t len);
const query_symbol_idx_resp* read_query_symbol_idx_resp(const void* buf, size_t len);
const set_heart_beat_resp* read_set_heart_beat_resp(const void* buf, size_t len);
const trade_heart_beat_resp* read_trade_heart_beat_resp(const void* buf, size_t len);

// Text fields of the index answers: copy up to the first NUL within the field
// and never beyond it, terminate out, return the number of characters copied.
size_t read_account_name(const query_account_idx_resp& msg, char (&out)[ACCOUNT_NAME_FIELD + 1]);
size_t read_symbol_text(const query_symbol_idx_resp& msg, char (&out)[SYMBOL_TEXT_FIELD + 1]);

}  // namespace HUX_TRADE_WIRE

#endif

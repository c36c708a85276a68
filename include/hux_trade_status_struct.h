/* Records and callback types of the trade session's status and query answers:
 * account buying power, market sessions, symbol and product status, session
 * id and requests for quote. Packed, little-endian, usable from C and C++.
 * The unnamed one-byte and integer fields are carried from the server
 * unchanged. */
#ifndef HUX_TRADE_STATUS_STRUCT_H
#define HUX_TRADE_STATUS_STRUCT_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#pragma pack(push, 1)

/* Buying power of one account (90 bytes). */
typedef struct HUX_AccountBP {
    char account[17];      /* the 16 bytes of the answer and a zero byte */
    double figures[9];     /* the nine buying-power figures, in wire order */
    uint8_t flag;          /* the answer's one-byte field */
} HUX_AccountBP;

/* Market sessions of one exchange (257 bytes). */
typedef struct HUX_ExchangeMarketSession {
    uint8_t exchange_id;
    uint8_t session_count;
    uint8_t sessions[255];
} HUX_ExchangeMarketSession;

/* Status of one symbol (36 bytes). */
typedef struct HUX_SymbolStatus {
    uint8_t first_field;
    char symbol[20];       /* at most 19 characters and a NUL */
    uint8_t byte_a;
    int32_t value;
    char short_text[9];    /* at most 8 characters and a NUL */
    uint8_t byte_b;
} HUX_SymbolStatus;

/* Status of one product (37 bytes). */
typedef struct HUX_ProdStatus {
    uint8_t first_field;
    char product[20];      /* at most 19 characters and a NUL */
    uint8_t byte_a;
    uint8_t byte_b;
    int32_t value;
    char short_text[9];    /* at most 8 characters and a NUL */
    uint8_t byte_c;
} HUX_ProdStatus;

/* Answer to a session id query (25 bytes). */
typedef struct HUX_SessionID {
    char session[17];      /* at most 16 characters and a NUL */
    int32_t value_a;       /* one wire byte, zero-extended */
    int32_t value_b;       /* one wire byte, zero-extended */
} HUX_SessionID;

/* A request for quote (53 bytes). The texts are copied at their full width:
 * a text that fills its field has no terminator. */
typedef struct HUX_InputRegForQuoteResponse {
    char text24[24];
    uint8_t byte_a;
    char text20[20];
    char value8[8];        /* the eight-byte value, as it came */
} HUX_InputRegForQuoteResponse;

#pragma pack(pop)

#ifdef __cplusplus
#define HUX_STATUS_STATIC_ASSERT static_assert
#else
#define HUX_STATUS_STATIC_ASSERT _Static_assert
#endif
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_AccountBP) == 90, "HUX_AccountBP is 90 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_AccountBP, figures) == 17, "figures at 17");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_AccountBP, flag) == 89, "flag at 89");
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_ExchangeMarketSession) == 257, "HUX_ExchangeMarketSession is 257 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ExchangeMarketSession, session_count) == 1, "session_count at 1");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ExchangeMarketSession, sessions) == 2, "sessions at 2");
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_SymbolStatus) == 36, "HUX_SymbolStatus is 36 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SymbolStatus, symbol) == 1, "symbol at 1");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SymbolStatus, byte_a) == 21, "byte_a at 21");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SymbolStatus, value) == 22, "value at 22");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SymbolStatus, short_text) == 26, "short_text at 26");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SymbolStatus, byte_b) == 35, "byte_b at 35");
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_ProdStatus) == 37, "HUX_ProdStatus is 37 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, product) == 1, "product at 1");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, byte_a) == 21, "byte_a at 21");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, byte_b) == 22, "byte_b at 22");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, value) == 23, "value at 23");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, short_text) == 27, "short_text at 27");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_ProdStatus, byte_c) == 36, "byte_c at 36");
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_SessionID) == 25, "HUX_SessionID is 25 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SessionID, value_a) == 17, "value_a at 17");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_SessionID, value_b) == 21, "value_b at 21");
HUX_STATUS_STATIC_ASSERT(sizeof(HUX_InputRegForQuoteResponse) == 53, "HUX_InputRegForQuoteResponse is 53 bytes");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_InputRegForQuoteResponse, byte_a) == 24, "byte_a at 24");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_InputRegForQuoteResponse, text20) == 25, "text20 at 25");
HUX_STATUS_STATIC_ASSERT(offsetof(HUX_InputRegForQuoteResponse, value8) == 45, "value8 at 45");

/* Callbacks: the session handle comes first; a record pointer is valid only
 * during the call. */
typedef void (*HUX_QueryOtAccountBPEvent)(void* handle, HUX_AccountBP* bp);
typedef void (*HUX_QueryMarketSessionEvent)(void* handle, HUX_ExchangeMarketSession* session, bool last);
typedef void (*HUX_MarketSessionStatReportEvent)(void* handle, uint8_t session, bool flag);
typedef void (*HUX_SymbolStatusReportEvent)(void* handle, HUX_SymbolStatus* status);
typedef void (*HUX_QuerySymbolStatusEvent)(void* handle, HUX_SymbolStatus* status, bool last);
typedef void (*HUX_ProdStatusReportEvent)(void* handle, HUX_ProdStatus* status);
typedef void (*HUX_QuerySessionIDEvent)(void* handle, HUX_SessionID* session);
typedef void (*HUX_InputRegForQuoteEvent)(void* handle, HUX_InputRegForQuoteResponse* rfq);

#endif

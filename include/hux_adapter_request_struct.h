/* The request records an application of the adapter library fills: new
 * order, order cancel, special order and special-order cancel. Packed byte
 * records; their fields bear the trade library's names but the layouts are
 * the adapter's own. Usable from C and C++. */
#ifndef HUX_ADAPTER_REQUEST_STRUCT_H
#define HUX_ADAPTER_REQUEST_STRUCT_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)

/* New order (87 bytes). */
typedef struct HUX_EnterOrderField {
    char account[16];       /* 0 */
    uint8_t reserved16;     /* 16: not read */
    uint8_t side;           /* 17: converted unless keep_side (exchanges 102, 104, 105, 107, 108) */
    uint8_t exchange_id;    /* 18: 100..108 */
    char symbol[20];        /* 19 */
    uint8_t reserved39;     /* 39: not read (3 in the warm-up record) */
    double price;           /* 40 */
    uint32_t quantity;      /* 48: 0 sends nothing */
    uint8_t reserved52;     /* 52: not read */
    uint32_t client_token;  /* 53: above the current maximum */
    uint32_t opt_1;         /* 57: 0 -> 1, 2 -> 2, anything else -> 0 on the wire (99998 in the warm-up record) */
    uint32_t opt_2;         /* 61 */
    uint32_t opt_3;         /* 65 */
    uint8_t reserved69[4];  /* 69: not read */
    uint8_t opt_4;          /* 73 */
    uint8_t opt_5;          /* 74 (2 in the warm-up record) */
    uint8_t opt_6;          /* 75 */
    uint8_t keep_side;      /* 76: 0 = convert the side */
    uint8_t opt_8;          /* 77: 1..6, anything else sent as 1 */
    double second_price;    /* 78 */
    uint8_t opt_9;          /* 86 */
} HUX_EnterOrderField;

/* Order cancel (45 bytes). */
typedef struct HUX_CancelOrder {
    uint64_t market_token;   /* 0: its low 32 bits are sent (cancel_mode not 1) */
    uint8_t reserved8[21];   /* 8: not read */
    uint8_t opt_1;           /* 29 */
    uint8_t opt_2;           /* 30 */
    uint8_t opt_3;           /* 31 */
    uint8_t cancel_mode;     /* 32: 1 = by owner token */
    uint32_t client_token;   /* 33 */
    uint32_t owner_token;    /* 37 */
    uint32_t owner_user_id;  /* 41: 0 = the session's user id */
} HUX_CancelOrder;

/* Special order (64 bytes). */
typedef struct HUX_EnterSpecialOrderField {
    uint32_t request_tag;   /* 0 */
    char account[16];       /* 4 */
    uint8_t reserved20;     /* 20: not read */
    uint8_t opt_1;          /* 21 */
    uint8_t exchange_id;    /* 22: 100..108 */
    char symbol[20];        /* 23 */
    uint32_t opt_2;         /* 43 */
    uint8_t reserved47;     /* 47: not read */
    uint32_t client_token;  /* 48: above the current maximum */
    uint32_t opt_3;         /* 52 */
    uint8_t reserved56[4];  /* 56: not read */
    uint8_t opt_4;          /* 60 */
    uint8_t opt_5;          /* 61 */
    uint8_t opt_6;          /* 62 */
    uint8_t opt_7;          /* 63 */
} HUX_EnterSpecialOrderField;

/* Special-order cancel (27 bytes). */
typedef struct HUX_CancelSpecialOrder {
    uint32_t request_tag;    /* 0 */
    uint32_t market_token;   /* 4: sent when cancel_mode is not 1 */
    uint8_t reserved8[4];    /* 8: not read */
    uint8_t opt_1;           /* 12 */
    uint8_t opt_2;           /* 13 */
    uint8_t cancel_mode;     /* 14: 1 = by owner token */
    uint32_t client_token;   /* 15 */
    uint32_t owner_token;    /* 19 */
    uint32_t owner_user_id;  /* 23: 0 = the session's user id */
} HUX_CancelSpecialOrder;

#pragma pack(pop)

#include "hux_static_assert.h"
HUX_STATIC_ASSERT(sizeof(HUX_EnterOrderField) == 87, "HUX_EnterOrderField is 87 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, price) == 40, "price at 40");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, client_token) == 53, "client_token at 53");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_4) == 73, "opt_4 at 73");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, second_price) == 78, "second_price at 78");
HUX_STATIC_ASSERT(sizeof(HUX_CancelOrder) == 45, "HUX_CancelOrder is 45 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, opt_1) == 29, "opt_1 at 29");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, client_token) == 33, "client_token at 33");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, owner_user_id) == 41, "owner_user_id at 41");
HUX_STATIC_ASSERT(sizeof(HUX_EnterSpecialOrderField) == 64, "HUX_EnterSpecialOrderField is 64 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, symbol) == 23, "symbol at 23");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, client_token) == 48, "client_token at 48");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_4) == 60, "opt_4 at 60");
HUX_STATIC_ASSERT(sizeof(HUX_CancelSpecialOrder) == 27, "HUX_CancelSpecialOrder is 27 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, client_token) == 15, "client_token at 15");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, owner_user_id) == 23, "owner_user_id at 23");

#endif

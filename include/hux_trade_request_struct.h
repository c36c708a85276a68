/* Order-entry request records that an application fills and hands to the
 * trade library: new order, new quote, combination order, special order, the
 * three cancels and the two 56-byte simple forms. Packed, little-endian,
 * usable from C and C++. A byte named not_read belongs to the record but the
 * library ignores it. Prices are doubles; the library sends them as int64
 * holding the price times 10000. */
#ifndef HUX_TRADE_REQUEST_STRUCT_H
#define HUX_TRADE_REQUEST_STRUCT_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)

/* New order (87 bytes). A quantity of 0 marks a warm-up order. */
typedef struct HUX_EnterOrderField {
    uint32_t request_tag;    /* caller's value, echoed in the answers */
    char account[16];        /* account text, sent as it is */
    uint8_t not_read1;
    uint8_t side;            /* mapped for some exchanges unless keep_side is set */
    uint8_t exchange_id;     /* 100..108 */
    char symbol[20];         /* symbol text, sent as it is */
    double price;
    uint32_t quantity;       /* 0: warm-up order */
    uint8_t not_read2;
    uint32_t client_token;   /* must rise above every token accepted so far */
    int32_t opt_1;           /* only its low byte is sent */
    uint32_t opt_2;
    uint32_t opt_3;
    uint8_t opt_4;           /* also decides, with opt_6, the byte after it */
    uint8_t opt_5;
    uint8_t opt_6;
    uint8_t keep_side;       /* not sent; non-zero turns the side mapping off */
    uint8_t opt_7;
    uint8_t opt_8;           /* 1..6 sent as they are, anything else as 1 */
    double second_price;
    uint8_t opt_9;
} HUX_EnterOrderField;

/* New quote (132 bytes). Both quantities 0 mark a warm-up quote. */
typedef struct HUX_EnterQuoteField {
    uint32_t request_tag;
    char account[16];
    uint8_t not_read1;
    char symbol[20];
    char quote_text_1[24];
    uint8_t exchange_id;
    uint32_t client_token;
    uint8_t opt_1;
    uint8_t opt_2;
    double price_1;
    uint32_t quantity_1;
    uint8_t opt_3;
    uint8_t opt_4;
    double price_2;
    uint32_t quantity_2;
    int32_t opt_5;           /* only its low byte is sent */
    uint8_t opt_6;           /* also decides, with opt_7, the byte after it */
    uint8_t opt_7;
    uint32_t opt_8;
    char quote_text_2[24];
} HUX_EnterQuoteField;

/* New combination order (114 bytes). */
typedef struct HUX_EnterComboField {
    uint32_t request_tag;
    char account[16];
    uint8_t not_read1;
    uint8_t exchange_id;
    uint8_t legs[80];        /* sent as they are */
    uint32_t opt_1;
    uint32_t client_token;
    uint8_t opt_2;           /* also decides, with opt_4, the byte after it */
    uint8_t opt_3;
    uint8_t opt_4;
    uint8_t opt_5;
} HUX_EnterComboField;

/* New special order (61 bytes). */
typedef struct HUX_EnterSpecialOrderField {
    uint32_t request_tag;
    char account[16];
    uint8_t not_read1;
    uint8_t opt_1;
    uint8_t exchange_id;
    char symbol[20];
    uint32_t opt_2;
    uint8_t not_read2;
    uint32_t client_token;
    uint32_t opt_3;
    uint8_t opt_4;           /* also decides, with opt_6, the byte after it */
    uint8_t opt_5;
    uint8_t opt_6;
    uint8_t opt_7;
    uint8_t opt_8;
} HUX_EnterSpecialOrderField;

/* Cancel of an order (28 bytes). Cancel mode 1 addresses the order by owner
 * token and owner user id (0: the session's own user id); any other mode by
 * the market token. */
typedef struct HUX_CancelOrder {
    uint32_t request_tag;
    uint32_t market_token;
    uint8_t not_read[4];
    uint8_t opt_1;
    uint8_t opt_2;
    uint8_t opt_3;
    uint8_t cancel_mode;
    uint32_t client_token;   /* 0: none */
    uint32_t owner_token;
    uint32_t owner_user_id;
} HUX_CancelOrder;

/* Action on a quote (24 bytes); addressed as a cancel. */
typedef struct HUX_QuoteAction {
    uint32_t request_tag;
    uint8_t opt_1;
    uint8_t opt_2;
    uint8_t opt_3;
    uint8_t cancel_mode;
    uint32_t client_token;   /* 0: none */
    uint32_t market_token;
    uint32_t owner_token;
    uint32_t owner_user_id;
} HUX_QuoteAction;

/* Cancel of a special order (27 bytes); addressed as a cancel. */
typedef struct HUX_CancelSpecialOrder {
    uint32_t request_tag;
    uint32_t market_token;
    uint8_t not_read[4];
    uint8_t opt_1;
    uint8_t opt_2;
    uint8_t cancel_mode;
    uint32_t client_token;   /* 0: none */
    uint32_t owner_token;
    uint32_t owner_user_id;
} HUX_CancelSpecialOrder;

/* Simple order (56 bytes) in the wire layout of its message. The library
 * rewrites the record in place and sends it as it then stands: the header,
 * user id, account and symbol index and the byte after opt_4 are written,
 * side and opt_8 are mapped, and price and second_price are replaced by their
 * int64 images (price times 10000); read them back with memcpy. Every other
 * byte is the caller's and is sent unchanged. */
typedef struct HUX_EnterOrderSimpleField {
    uint16_t msg_type;       /* written: 20 */
    uint16_t msg_length;     /* written: 56 */
    uint32_t request_tag;
    uint8_t user_id;         /* written: low byte of the session's user id */
    uint8_t account_index;   /* written from the account index */
    uint16_t symbol_index;   /* written from the symbol index */
    uint8_t exchange_id;     /* 100..108 */
    uint8_t opt_4;           /* decides the next byte */
    uint8_t opt_6;           /* rewritten: 0 when opt_4 is 0, else 1 when it was 0, else 2 */
    uint8_t opt_8;           /* rewritten to 1 unless 1..6 */
    uint8_t opt_7;
    uint8_t side;            /* mapped in place */
    uint8_t opt_5;
    uint8_t opt_1;
    uint32_t client_token;
    uint32_t quantity;
    uint32_t opt_2;
    double price;            /* replaced by its int64 image */
    double second_price;     /* replaced by its int64 image */
    uint8_t opt_9;
    uint8_t reserved[3];
    uint32_t opt_3;
} HUX_EnterOrderSimpleField;

/* Simple quote (56 bytes) in the wire layout of its message; rewritten in
 * place as the simple order (prices replaced by their int64 images). */
typedef struct HUX_EnterQuoteSimpleField {
    uint16_t msg_type;       /* written: 22 */
    uint16_t msg_length;     /* written: 56 */
    uint32_t request_tag;
    uint8_t user_id;         /* written */
    uint8_t account_index;   /* written */
    uint16_t symbol_index;   /* written */
    uint8_t exchange_id;     /* 100..108 */
    uint8_t opt_6;           /* decides the next byte */
    uint8_t opt_7;           /* rewritten: 0 when opt_6 is 0, else 1 when it was 0, else 2 */
    uint8_t opt_5;
    uint32_t quantity_1;
    uint32_t quantity_2;
    double price_1;          /* replaced by its int64 image */
    double price_2;          /* replaced by its int64 image */
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    uint32_t client_token;
    uint32_t opt_8;
    uint8_t reserved[4];
} HUX_EnterQuoteSimpleField;

#pragma pack(pop)

#include "hux_static_assert.h"

HUX_STATIC_ASSERT(sizeof(HUX_EnterOrderField) == 87, "HUX_EnterOrderField is 87 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, account) == 4, "account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, not_read1) == 20, "not_read1 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, side) == 21, "side at 21");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, exchange_id) == 22, "exchange_id at 22");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, symbol) == 23, "symbol at 23");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, price) == 43, "price at 43");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, quantity) == 51, "quantity at 51");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, not_read2) == 55, "not_read2 at 55");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, client_token) == 56, "client_token at 56");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_1) == 60, "opt_1 at 60");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_2) == 64, "opt_2 at 64");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_3) == 68, "opt_3 at 68");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_4) == 72, "opt_4 at 72");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_5) == 73, "opt_5 at 73");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_6) == 74, "opt_6 at 74");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, keep_side) == 75, "keep_side at 75");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_7) == 76, "opt_7 at 76");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_8) == 77, "opt_8 at 77");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, second_price) == 78, "second_price at 78");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderField, opt_9) == 86, "opt_9 at 86");

HUX_STATIC_ASSERT(sizeof(HUX_EnterQuoteField) == 132, "HUX_EnterQuoteField is 132 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, account) == 4, "account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, not_read1) == 20, "not_read1 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, symbol) == 21, "symbol at 21");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, quote_text_1) == 41, "quote_text_1 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, exchange_id) == 65, "exchange_id at 65");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, client_token) == 66, "client_token at 66");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_1) == 70, "opt_1 at 70");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_2) == 71, "opt_2 at 71");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, price_1) == 72, "price_1 at 72");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, quantity_1) == 80, "quantity_1 at 80");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_3) == 84, "opt_3 at 84");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_4) == 85, "opt_4 at 85");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, price_2) == 86, "price_2 at 86");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, quantity_2) == 94, "quantity_2 at 94");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_5) == 98, "opt_5 at 98");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_6) == 102, "opt_6 at 102");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_7) == 103, "opt_7 at 103");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, opt_8) == 104, "opt_8 at 104");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteField, quote_text_2) == 108, "quote_text_2 at 108");

HUX_STATIC_ASSERT(sizeof(HUX_EnterComboField) == 114, "HUX_EnterComboField is 114 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, account) == 4, "account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, not_read1) == 20, "not_read1 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, exchange_id) == 21, "exchange_id at 21");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, legs) == 22, "legs at 22");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, opt_1) == 102, "opt_1 at 102");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, client_token) == 106, "client_token at 106");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, opt_2) == 110, "opt_2 at 110");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, opt_3) == 111, "opt_3 at 111");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, opt_4) == 112, "opt_4 at 112");
HUX_STATIC_ASSERT(offsetof(HUX_EnterComboField, opt_5) == 113, "opt_5 at 113");

HUX_STATIC_ASSERT(sizeof(HUX_EnterSpecialOrderField) == 61, "HUX_EnterSpecialOrderField is 61 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, account) == 4, "account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, not_read1) == 20, "not_read1 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_1) == 21, "opt_1 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, exchange_id) == 22, "exchange_id at 22");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, symbol) == 23, "symbol at 23");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_2) == 43, "opt_2 at 43");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, not_read2) == 47, "not_read2 at 47");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, client_token) == 48, "client_token at 48");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_3) == 52, "opt_3 at 52");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_4) == 56, "opt_4 at 56");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_5) == 57, "opt_5 at 57");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_6) == 58, "opt_6 at 58");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_7) == 59, "opt_7 at 59");
HUX_STATIC_ASSERT(offsetof(HUX_EnterSpecialOrderField, opt_8) == 60, "opt_8 at 60");

HUX_STATIC_ASSERT(sizeof(HUX_CancelOrder) == 28, "HUX_CancelOrder is 28 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, market_token) == 4, "market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, not_read) == 8, "not_read at 8");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, opt_1) == 12, "opt_1 at 12");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, opt_2) == 13, "opt_2 at 13");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, opt_3) == 14, "opt_3 at 14");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, cancel_mode) == 15, "cancel_mode at 15");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, client_token) == 16, "client_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, owner_token) == 20, "owner_token at 20");
HUX_STATIC_ASSERT(offsetof(HUX_CancelOrder, owner_user_id) == 24, "owner_user_id at 24");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteAction) == 24, "HUX_QuoteAction is 24 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, opt_1) == 4, "opt_1 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, opt_2) == 5, "opt_2 at 5");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, opt_3) == 6, "opt_3 at 6");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, cancel_mode) == 7, "cancel_mode at 7");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, client_token) == 8, "client_token at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, market_token) == 12, "market_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, owner_token) == 16, "owner_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAction, owner_user_id) == 20, "owner_user_id at 20");

HUX_STATIC_ASSERT(sizeof(HUX_CancelSpecialOrder) == 27, "HUX_CancelSpecialOrder is 27 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, market_token) == 4, "market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, not_read) == 8, "not_read at 8");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, opt_1) == 12, "opt_1 at 12");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, opt_2) == 13, "opt_2 at 13");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, cancel_mode) == 14, "cancel_mode at 14");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, client_token) == 15, "client_token at 15");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, owner_token) == 19, "owner_token at 19");
HUX_STATIC_ASSERT(offsetof(HUX_CancelSpecialOrder, owner_user_id) == 23, "owner_user_id at 23");

HUX_STATIC_ASSERT(sizeof(HUX_EnterOrderSimpleField) == 56, "HUX_EnterOrderSimpleField is 56 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, msg_length) == 2, "msg_length at 2");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, request_tag) == 4, "request_tag at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, user_id) == 8, "user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, account_index) == 9, "account_index at 9");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, symbol_index) == 10, "symbol_index at 10");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, exchange_id) == 12, "exchange_id at 12");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_4) == 13, "opt_4 at 13");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_6) == 14, "opt_6 at 14");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_8) == 15, "opt_8 at 15");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_7) == 16, "opt_7 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, side) == 17, "side at 17");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_5) == 18, "opt_5 at 18");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_1) == 19, "opt_1 at 19");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, client_token) == 20, "client_token at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, quantity) == 24, "quantity at 24");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_2) == 28, "opt_2 at 28");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, price) == 32, "price at 32");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, second_price) == 40, "second_price at 40");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_9) == 48, "opt_9 at 48");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, reserved) == 49, "reserved at 49");
HUX_STATIC_ASSERT(offsetof(HUX_EnterOrderSimpleField, opt_3) == 52, "opt_3 at 52");

HUX_STATIC_ASSERT(sizeof(HUX_EnterQuoteSimpleField) == 56, "HUX_EnterQuoteSimpleField is 56 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, msg_length) == 2, "msg_length at 2");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, request_tag) == 4, "request_tag at 4");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, user_id) == 8, "user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, account_index) == 9, "account_index at 9");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, symbol_index) == 10, "symbol_index at 10");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, exchange_id) == 12, "exchange_id at 12");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_6) == 13, "opt_6 at 13");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_7) == 14, "opt_7 at 14");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_5) == 15, "opt_5 at 15");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, quantity_1) == 16, "quantity_1 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, quantity_2) == 20, "quantity_2 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, price_1) == 24, "price_1 at 24");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, price_2) == 32, "price_2 at 32");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_2) == 40, "opt_2 at 40");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_4) == 41, "opt_4 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_1) == 42, "opt_1 at 42");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_3) == 43, "opt_3 at 43");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, client_token) == 44, "client_token at 44");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, opt_8) == 48, "opt_8 at 48");
HUX_STATIC_ASSERT(offsetof(HUX_EnterQuoteSimpleField, reserved) == 52, "reserved at 52");

#endif

/* Result records handed to the application for the server's answers to
 * orders, cancels, quotes, quote actions, combination and special orders, and
 * for fills, exchange reports, posted orders and quotes and server-internal
 * orders; with the callback type of each. Packed, usable from C and C++.
 *
 * char[n] fields hold NUL-terminated text unless noted: a symbol copied up to
 * the wire NUL may fill all 20 bytes with no terminator. Prices are doubles
 * (the wire integer divided by 10000.0). Fields known only by their position
 * in the wire message are named field_<offset> or value_<offset> after it. */
#ifndef HUX_TRADE_ANSWER_STRUCT_H
#define HUX_TRADE_ANSWER_STRUCT_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)

/* Server accepted a new order (1010). */
typedef struct HUX_OrderAcceptField {
    int32_t request_tag;
    int32_t client_token;
    int32_t field_56; /* server order field */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int64_t order_no; /* order number given by the server */
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t side;
    char symbol[20]; /* up to the wire NUL, a 20-byte symbol has no terminator */
    double price;
    int32_t quantity;
    uint8_t result_flag; /* always 0 */
    int32_t opt_2;
    int32_t opt_3;
    uint8_t opt_4;
    uint8_t opt_5;
    int32_t opt_1; /* widened from one byte */
} HUX_OrderAcceptField;

/* Server refused a new order (1010). */
typedef struct HUX_OrderRejectField {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int64_t order_no;
    int32_t client_token;
    uint8_t result_flag; /* always 1 */
    uint32_t reason; /* reason value or mask of failed order checks */
    char reason_text_1[1024]; /* first reason text, UTF-8 */
    char reason_text_2[1024]; /* second reason text, UTF-8 */
    uint32_t risk_check_mask; /* qv27 server only, else 0 */
    char symbol[20]; /* 20 wire bytes as received */
    uint16_t field_10;
    uint8_t side;
} HUX_OrderRejectField;

/* Exchange accepted a new order (1012). */
typedef struct HUX_OrderMarketAcceptField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_56;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t value_217[8];
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_4;
    uint8_t field_49;
} HUX_OrderMarketAcceptField;

/* Exchange refused a new order (1012). */
typedef struct HUX_OrderMarketRejectField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_56;
    uint8_t value_217[8];
    char reason_text[81]; /* exchange text in UTF-8, at most 80 bytes and a terminator */
    uint8_t exchange_id;
    int32_t reason_code; /* exchange reason code */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_4;
    uint8_t field_49;
    char symbol[20]; /* 20 wire bytes as received */
    uint16_t field_10;
    uint8_t side;
} HUX_OrderMarketRejectField;

/* Server accepted an order cancel (1011); every byte is written. */
typedef struct HUX_OrderActionAccept {
    int32_t request_tag;
    int32_t user_id;
    int64_t order_no;
    int32_t owner_token;
    int32_t owner_user_id;
    int32_t market_token;
    uint8_t opt_3;
} HUX_OrderActionAccept;

/* Server refused an order cancel (1011). */
typedef struct HUX_OrderActionRej {
    int32_t request_tag;
    int32_t market_token;
    uint32_t reason_mask; /* mask of failed cancel checks */
    char reason_text[88]; /* UTF-8 */
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t opt_3;
    int64_t order_no;
} HUX_OrderActionRej;

/* Exchange accepted an order cancel (1013); every byte is written. */
typedef struct HUX_OrderActionMarketAcceptField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t opt_3;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_129[8];
    uint8_t opt_1;
    uint8_t field_32;
} HUX_OrderActionMarketAcceptField;

/* Exchange refused an order cancel (1013). */
typedef struct HUX_OrderActionMarketRejectField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t opt_3;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_129[8];
    int32_t reason_code; /* exchange reason code */
    char reason_text[88]; /* UTF-8, empty for an unknown code */
    uint8_t opt_1;
    uint8_t field_32;
} HUX_OrderActionMarketRejectField;

/* Fill of an order (1014). */
typedef struct HUX_OrderExecutionField {
    int32_t field_4;
    int32_t field_133; /* widened */
    int64_t order_no;
    int32_t field_42;
    int32_t field_46;
    int32_t filled_quantity;
    double fill_price;
    char text_50[25];
    char text_86[25];
    uint8_t value_24[8];
    uint8_t field_110;
    uint8_t field_111;
    char symbol[20]; /* up to the wire NUL */
    uint8_t field_132;
    uint8_t field_41;
    uint8_t field_135;
} HUX_OrderExecutionField;

/* Exchange report on an order (1015). */
typedef struct HUX_OrderMarketReportField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    char symbol[20]; /* 20 wire bytes as received */
    uint8_t opt_8;
    uint8_t side;
    int32_t quantity;
    double price;
    uint8_t opt_5;
    double second_price;
    int32_t opt_2;
    uint8_t opt_9;
    uint8_t field_124;
    int32_t field_126;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    int32_t field_56;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    char text_134[16]; /* 16 wire bytes */
    uint8_t opt_4;
    uint8_t field_49;
    uint8_t opt_1;
    uint8_t opt_7;
} HUX_OrderMarketReportField;

/* Order entered by another session of the user (1016, qv27 2202). */
typedef struct HUX_PostOrder {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_134[8];
    int32_t field_56;
    int32_t client_token;
    uint8_t side;
    int32_t quantity;
    char symbol[20]; /* up to the wire NUL */
    double price;
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t exchange_id;
    uint8_t result_flag; /* always 0 */
    uint8_t field_124;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t opt_5;
    uint8_t opt_7;
    uint8_t field_49;
} HUX_PostOrder;

/* Fill of an order of another session of the user (1017, qv27 2203). */
typedef struct HUX_PostOrderExecution {
    int32_t field_4;
    int32_t field_133; /* widened */
    int64_t order_no;
    int32_t field_46;
    int32_t filled_quantity;
    double fill_price;
    uint8_t reserved[8]; /* always 0 */
    char text_86[25];
    uint8_t value_24[8];
    uint8_t field_110;
    uint8_t field_111;
    char symbol[20]; /* up to the wire NUL */
    uint8_t field_132;
    uint8_t field_135;
} HUX_PostOrderExecution;

/* Special order entered by another session of the user (1034). */
typedef struct HUX_PostSpecialOrder {
    int32_t field_4;
    int32_t field_8; /* widened */
    uint8_t value_97[8];
    int32_t field_24;
    int32_t client_token;
    uint8_t field_16;
    int32_t field_12;
    char symbol[20]; /* up to the wire NUL */
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t field_9;
    uint8_t result_flag; /* always 0 */
    uint8_t field_96;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t field_17;
    uint8_t field_64;
    uint8_t field_19;
} HUX_PostSpecialOrder;

/* Order created by the trading server (2201, qv27 2202). */
typedef struct HUX_InternalOrder {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int64_t order_no;
    int32_t field_56;
    uint8_t side;
    int32_t quantity;
    char symbol[20]; /* up to the wire NUL */
    double price;
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t exchange_id;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t opt_5;
    uint8_t opt_4;
} HUX_InternalOrder;

/* Order changed by the trading server (2202 in both editions). */
typedef struct HUX_InternalOrderAdjustStatus {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_134[8];
    int32_t field_56;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t field_124;
    uint8_t opt_7;
    uint8_t side;
    uint8_t opt_4;
} HUX_InternalOrderAdjustStatus;

/* Fill of an order created by the trading server (2203 in both editions). */
typedef struct HUX_InternalOrderExecution {
    int32_t field_4;
    int32_t field_133; /* widened */
    uint8_t value_24[8];
    int32_t field_46;
    int32_t filled_quantity;
    double fill_price;
    uint8_t reserved[8]; /* always 0 */
    char text_86[25];
    uint8_t field_110;
    uint8_t field_111;
    uint8_t field_41;
} HUX_InternalOrderExecution;

/* Exchange reject of a server-changed order (2204 in both editions). */
typedef struct HUX_InternalOrderAdjustMktRej {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_56;
    uint8_t exchange_id;
    int32_t reason_code; /* exchange reason code */
    int32_t client_token;
    uint8_t value_217[8];
    uint8_t opt_4;
} HUX_InternalOrderAdjustMktRej;

/* Quote changed by the trading server (2205 in both editions). */
typedef struct HUX_InternalQuoteAdjustStatus {
    int32_t field_4;
    int32_t field_8; /* widened */
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char text_1[25];
    char text_2[25];
    char text_3[25];
    uint8_t field_268; /* qv27 server: wire 204 */
    uint8_t value_269[8]; /* qv27 server: wire 205 */
    uint8_t field_13;
} HUX_InternalQuoteAdjustStatus;

/* Exchange reject of a server-changed quote (2206). */
typedef struct HUX_InternalQuoteAdjustMktRej {
    int32_t field_4;
    int32_t field_8; /* widened */
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_44;
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    int32_t reason_code; /* exchange reason code */
    uint8_t value_282[8];
    uint8_t field_13;
} HUX_InternalQuoteAdjustMktRej;

/* Server accepted a new quote (1018). */
typedef struct HUX_QuoteAcceptField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    char symbol[20]; /* up to the wire NUL */
    uint8_t opt_1;
    uint8_t opt_2;
    double price_1;
    int32_t quantity_1;
    uint8_t opt_3;
    uint8_t opt_4;
    double price_2;
    int32_t quantity_2;
    uint8_t opt_6;
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char empty_text[25]; /* always empty */
    int32_t client_token;
    uint8_t value_200[8];
    int32_t opt_8;
    int32_t opt_5; /* widened */
    char quote_text_2[24]; /* up to the wire NUL */
} HUX_QuoteAcceptField;

/* Server refused a new quote (1018). */
typedef struct HUX_QuoteRejectField {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_200[8]; /* qv27 server: wire 136 */
    int32_t client_token;
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t result_flag; /* always 1 */
    uint32_t reason; /* ordinary: reason value, qv27: order-check mask */
    char reason_text_1[1024]; /* first reason text, UTF-8 */
    char reason_text_2[1024]; /* second reason text, UTF-8 */
    uint32_t risk_check_mask; /* qv27 server only, else 0 */
    char symbol[20]; /* 20 wire bytes as received */
    uint16_t field_10;
    uint8_t opt_1;
    uint8_t opt_3;
    char quote_text_2[24]; /* ordinary server: wire 128-151, qv27: zero */
} HUX_QuoteRejectField;

/* Exchange accepted a new quote (1020). */
typedef struct HUX_QuoteMarketAcceptField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char identifier[25]; /* 24 wire bytes of offset 92 and a zero byte */
    uint8_t value_282[8];
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    int32_t opt_5; /* widened */
    uint8_t opt_6;
    uint8_t field_52;
    char quote_text_2[24];
} HUX_QuoteMarketAcceptField;

/* Exchange refused a new quote (1020). */
typedef struct HUX_QuoteMarketRejectField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t value_282[8];
    char reason_text[81]; /* exchange text in UTF-8, at most 80 bytes and a terminator */
    uint8_t exchange_id;
    int32_t reason_code; /* exchange reason code */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_6;
    uint8_t field_52;
    char symbol[20]; /* 20 wire bytes as received */
    uint16_t field_10;
    uint8_t opt_1;
    uint8_t opt_3;
    char quote_text_2[24];
} HUX_QuoteMarketRejectField;

/* Exchange report on a quote (1022). */
typedef struct HUX_QuoteMarketReportField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    char symbol[20]; /* 20 wire bytes as received */
    int32_t quantity_1;
    int32_t quantity_2;
    double price_1;
    double price_2;
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    uint8_t reserved[4]; /* always 0 */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char text_1[25];
    char text_2[25];
    char text_3[25];
    uint8_t field_268;
    uint8_t value_269[16];
    int32_t opt_5; /* widened */
    uint8_t opt_6;
    uint8_t field_52;
    char quote_text_2[24];
} HUX_QuoteMarketReportField;

/* Quote entered by another session of the user (1023, qv27 2205). */
typedef struct HUX_PostQuote {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_277[8]; /* qv27 2205: wire 213 */
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    int32_t quantity_1;
    int32_t quantity_2;
    char symbol[20]; /* up to the wire NUL */
    double price_1;
    double price_2;
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t exchange_id;
    uint8_t result_flag; /* always 0 */
    uint8_t field_268; /* qv27 2205: wire 204 */
    char text_1[25];
    char text_2[25];
    char text_3[25];
    uint8_t opt_1;
    uint8_t opt_3;
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t value_269[8]; /* qv27 2205: wire 205 */
    uint8_t field_52;
    char quote_text_2[24]; /* qv27 2205: empty */
} HUX_PostQuote;

/* Server accepted a quote action (1019). */
typedef struct HUX_QuoteActionAccept {
    int32_t request_tag;
    uint8_t reserved[4]; /* always 0 */
    uint8_t opt_1;
    uint8_t flag; /* 1 when wire byte 29 is 2, else 0 */
    uint8_t opt_3;
    uint8_t cancel_mode;
    int32_t market_token;
    int32_t owner_token;
    int32_t owner_user_id;
    int64_t field_48;
} HUX_QuoteActionAccept;

/* Server refused a quote action (1019). */
typedef struct HUX_QuoteActionRej {
    int32_t request_tag;
    int32_t market_token;
    uint32_t reason_mask; /* mask of failed cancel checks */
    char reason_text[88]; /* UTF-8 */
    int32_t user_id;
    int32_t owner_token;
    uint8_t opt_3;
    int64_t field_48;
} HUX_QuoteActionRej;

/* Exchange accepted a quote action (1021); every byte is written. */
typedef struct HUX_QuoteActionMarketAcceptField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t opt_3;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_130[8];
    uint8_t opt_1;
    uint8_t field_32;
} HUX_QuoteActionMarketAcceptField;

/* Exchange refused a quote action (1021). */
typedef struct HUX_QuoteActionMarketRejectField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t opt_3;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_130[8];
    int32_t reason_code; /* exchange reason code */
    char reason_text[88]; /* UTF-8, empty for an unknown code */
    uint8_t opt_1;
    uint8_t field_32;
} HUX_QuoteActionMarketRejectField;

/* Server accepted a combination order (1025). */
typedef struct HUX_ComboAcceptField {
    int32_t request_tag;
    int32_t client_token;
    int32_t field_22;
    uint8_t value_148[8];
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t exchange_id;
    char legs[80]; /* up to the wire NUL, 80 bytes have no terminator */
    int32_t opt_1;
    uint8_t opt_2;
    uint8_t opt_3;
    uint8_t opt_5;
} HUX_ComboAcceptField;

/* Server refused a combination order (1025). */
typedef struct HUX_ComboRejectField {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t value_148[8];
    uint8_t result_flag; /* always 1 */
    uint32_t reason; /* reason value */
    char reason_text_1[1024]; /* first reason text, UTF-8 */
    char reason_text_2[1024]; /* second reason text, UTF-8 */
} HUX_ComboRejectField;

/* Exchange accepted a combination order (1026). */
typedef struct HUX_ComboMarketAcceptField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    char legs[80]; /* up to the wire NUL, 80 bytes have no terminator */
    int32_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    int32_t field_22;
    uint8_t value_229[8];
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t opt_2;
    uint8_t field_122;
} HUX_ComboMarketAcceptField;

/* Exchange refused a combination order (1026). */
typedef struct HUX_ComboMarketRejectField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_22;
    uint8_t value_229[8];
    char reason_text[81]; /* exchange text in UTF-8, at most 80 bytes and a terminator */
    uint8_t exchange_id;
    int32_t reason_code; /* exchange reason code */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_2;
    uint8_t field_122;
} HUX_ComboMarketRejectField;

/* Server accepted a special order (1030). */
typedef struct HUX_SpecialOrderAcceptField {
    int32_t request_tag;
    int32_t client_token;
    int32_t field_24;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_76[8];
    char account[17]; /* 16 wire bytes and a zero byte */
    uint8_t opt_1;
    int32_t opt_2;
    char symbol[21]; /* up to the wire NUL, at most 20 bytes, terminated */
    int32_t opt_3;
    uint8_t opt_4;
    uint8_t opt_5;
    uint8_t opt_8;
} HUX_SpecialOrderAcceptField;

/* Server refused a special order (1030). */
typedef struct HUX_SpecialOrderRejectField {
    int32_t request_tag;
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    uint8_t value_76[8];
    int32_t client_token;
    uint8_t result_flag; /* always 1 */
    uint32_t reason; /* reason value */
    char reason_text_1[1024]; /* first reason text, UTF-8 */
    char reason_text_2[1024]; /* second reason text, UTF-8 */
    uint8_t opt_8;
} HUX_SpecialOrderRejectField;

/* Exchange accepted a special order (1032). */
typedef struct HUX_SpecialOrderMarketAcceptField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_24;
    char exchange_order_id[25]; /* 24 wire bytes and a zero byte */
    uint8_t value_181[8];
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_4;
    uint8_t field_64;
    uint8_t opt_8;
} HUX_SpecialOrderMarketAcceptField;

/* Exchange refused a special order (1032). */
typedef struct HUX_SpecialOrderMarketRejectField {
    int32_t request_tag;
    char account[17]; /* 16 wire bytes and a zero byte */
    int32_t field_24;
    uint8_t value_181[8];
    char reason_text[81]; /* exchange text in UTF-8, at most 80 bytes and a terminator */
    uint8_t exchange_id;
    int32_t reason_code; /* exchange reason code */
    int32_t user_id; /* low byte of the user id (wire 8), widened */
    int32_t client_token;
    uint8_t opt_4;
    uint8_t field_64;
    uint8_t opt_8;
} HUX_SpecialOrderMarketRejectField;

/* Server accepted a special-order cancel (1031); every byte is written. */
typedef struct HUX_SpecialOrderActionAccept {
    int32_t request_tag;
    int32_t user_id;
    int64_t order_no;
    int32_t owner_token;
    int32_t owner_user_id;
    int32_t market_token;
} HUX_SpecialOrderActionAccept;

/* Server refused a special-order cancel (1031). */
typedef struct HUX_SpecialOrderActionRej {
    int32_t request_tag;
    int32_t market_token;
    uint32_t reason_mask; /* mask of failed cancel checks */
    char reason_text[88]; /* UTF-8 */
    int32_t owner_user_id;
    int32_t owner_token;
    int64_t order_no;
} HUX_SpecialOrderActionRej;

/* Exchange accepted a special-order cancel (1033). */
typedef struct HUX_SpecialOrderActionMarketAcceptField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_129[8];
    uint8_t opt_1;
    uint8_t field_35;
} HUX_SpecialOrderActionMarketAcceptField;

/* Exchange refused a special-order cancel (1033). */
typedef struct HUX_SpecialOrderActionMarketRejectField {
    int32_t request_tag;
    int32_t market_token;
    int32_t user_id;
    int32_t client_token;
    uint8_t cancel_mode;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t value_129[8];
    int32_t reason_code; /* exchange reason code */
    char reason_text[88]; /* UTF-8, empty for an unknown code */
    uint8_t opt_1;
    uint8_t field_35;
} HUX_SpecialOrderActionMarketRejectField;

#pragma pack(pop)

#include "hux_static_assert.h"
/* Sizes and offsets follow from the packed field lists above. */
HUX_STATIC_ASSERT(sizeof(HUX_OrderAcceptField) == 89, "HUX_OrderAcceptField is 89 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, request_tag) == 0, "HUX_OrderAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, client_token) == 4, "HUX_OrderAcceptField.client_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, field_56) == 8, "HUX_OrderAcceptField.field_56 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, user_id) == 12, "HUX_OrderAcceptField.user_id at 12");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, order_no) == 16, "HUX_OrderAcceptField.order_no at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, account) == 24, "HUX_OrderAcceptField.account at 24");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, side) == 41, "HUX_OrderAcceptField.side at 41");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, symbol) == 42, "HUX_OrderAcceptField.symbol at 42");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, price) == 62, "HUX_OrderAcceptField.price at 62");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, quantity) == 70, "HUX_OrderAcceptField.quantity at 70");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, result_flag) == 74, "HUX_OrderAcceptField.result_flag at 74");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_2) == 75, "HUX_OrderAcceptField.opt_2 at 75");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_3) == 79, "HUX_OrderAcceptField.opt_3 at 79");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_4) == 83, "HUX_OrderAcceptField.opt_4 at 83");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_5) == 84, "HUX_OrderAcceptField.opt_5 at 84");
HUX_STATIC_ASSERT(offsetof(HUX_OrderAcceptField, opt_1) == 85, "HUX_OrderAcceptField.opt_1 at 85");

HUX_STATIC_ASSERT(sizeof(HUX_OrderRejectField) == 2100, "HUX_OrderRejectField is 2100 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, request_tag) == 0, "HUX_OrderRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, user_id) == 4, "HUX_OrderRejectField.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, order_no) == 8, "HUX_OrderRejectField.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, client_token) == 16, "HUX_OrderRejectField.client_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, result_flag) == 20, "HUX_OrderRejectField.result_flag at 20");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, reason) == 21, "HUX_OrderRejectField.reason at 21");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, reason_text_1) == 25, "HUX_OrderRejectField.reason_text_1 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, reason_text_2) == 1049, "HUX_OrderRejectField.reason_text_2 at 1049");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, risk_check_mask) == 2073, "HUX_OrderRejectField.risk_check_mask at 2073");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, symbol) == 2077, "HUX_OrderRejectField.symbol at 2077");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, field_10) == 2097, "HUX_OrderRejectField.field_10 at 2097");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, side) == 2099, "HUX_OrderRejectField.side at 2099");

HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketAcceptField) == 68, "HUX_OrderMarketAcceptField is 68 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, request_tag) == 0, "HUX_OrderMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, account) == 4, "HUX_OrderMarketAcceptField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, field_56) == 21, "HUX_OrderMarketAcceptField.field_56 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, exchange_order_id) == 25, "HUX_OrderMarketAcceptField.exchange_order_id at 25");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, value_217) == 50, "HUX_OrderMarketAcceptField.value_217 at 50");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, user_id) == 58, "HUX_OrderMarketAcceptField.user_id at 58");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, client_token) == 62, "HUX_OrderMarketAcceptField.client_token at 62");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, opt_4) == 66, "HUX_OrderMarketAcceptField.opt_4 at 66");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketAcceptField, field_49) == 67, "HUX_OrderMarketAcceptField.field_49 at 67");

HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketRejectField) == 152, "HUX_OrderMarketRejectField is 152 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, request_tag) == 0, "HUX_OrderMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, account) == 4, "HUX_OrderMarketRejectField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, field_56) == 21, "HUX_OrderMarketRejectField.field_56 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, value_217) == 25, "HUX_OrderMarketRejectField.value_217 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, reason_text) == 33, "HUX_OrderMarketRejectField.reason_text at 33");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, exchange_id) == 114, "HUX_OrderMarketRejectField.exchange_id at 114");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, reason_code) == 115, "HUX_OrderMarketRejectField.reason_code at 115");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, user_id) == 119, "HUX_OrderMarketRejectField.user_id at 119");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, client_token) == 123, "HUX_OrderMarketRejectField.client_token at 123");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, opt_4) == 127, "HUX_OrderMarketRejectField.opt_4 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, field_49) == 128, "HUX_OrderMarketRejectField.field_49 at 128");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, symbol) == 129, "HUX_OrderMarketRejectField.symbol at 129");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, field_10) == 149, "HUX_OrderMarketRejectField.field_10 at 149");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketRejectField, side) == 151, "HUX_OrderMarketRejectField.side at 151");

HUX_STATIC_ASSERT(sizeof(HUX_OrderActionAccept) == 29, "HUX_OrderActionAccept is 29 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, request_tag) == 0, "HUX_OrderActionAccept.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, user_id) == 4, "HUX_OrderActionAccept.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, order_no) == 8, "HUX_OrderActionAccept.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, owner_token) == 16, "HUX_OrderActionAccept.owner_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, owner_user_id) == 20, "HUX_OrderActionAccept.owner_user_id at 20");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, market_token) == 24, "HUX_OrderActionAccept.market_token at 24");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionAccept, opt_3) == 28, "HUX_OrderActionAccept.opt_3 at 28");

HUX_STATIC_ASSERT(sizeof(HUX_OrderActionRej) == 117, "HUX_OrderActionRej is 117 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, request_tag) == 0, "HUX_OrderActionRej.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, market_token) == 4, "HUX_OrderActionRej.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, reason_mask) == 8, "HUX_OrderActionRej.reason_mask at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, reason_text) == 12, "HUX_OrderActionRej.reason_text at 12");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, owner_user_id) == 100, "HUX_OrderActionRej.owner_user_id at 100");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, owner_token) == 104, "HUX_OrderActionRej.owner_token at 104");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, opt_3) == 108, "HUX_OrderActionRej.opt_3 at 108");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionRej, order_no) == 109, "HUX_OrderActionRej.order_no at 109");

HUX_STATIC_ASSERT(sizeof(HUX_OrderActionMarketAcceptField) == 36, "HUX_OrderActionMarketAcceptField is 36 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, request_tag) == 0, "HUX_OrderActionMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, market_token) == 4, "HUX_OrderActionMarketAcceptField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, user_id) == 8, "HUX_OrderActionMarketAcceptField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, client_token) == 12, "HUX_OrderActionMarketAcceptField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, opt_3) == 16, "HUX_OrderActionMarketAcceptField.opt_3 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, cancel_mode) == 17, "HUX_OrderActionMarketAcceptField.cancel_mode at 17");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, owner_user_id) == 18, "HUX_OrderActionMarketAcceptField.owner_user_id at 18");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, owner_token) == 22, "HUX_OrderActionMarketAcceptField.owner_token at 22");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, value_129) == 26, "HUX_OrderActionMarketAcceptField.value_129 at 26");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, opt_1) == 34, "HUX_OrderActionMarketAcceptField.opt_1 at 34");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketAcceptField, field_32) == 35, "HUX_OrderActionMarketAcceptField.field_32 at 35");

HUX_STATIC_ASSERT(sizeof(HUX_OrderActionMarketRejectField) == 128, "HUX_OrderActionMarketRejectField is 128 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, request_tag) == 0, "HUX_OrderActionMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, market_token) == 4, "HUX_OrderActionMarketRejectField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, user_id) == 8, "HUX_OrderActionMarketRejectField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, client_token) == 12, "HUX_OrderActionMarketRejectField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, opt_3) == 16, "HUX_OrderActionMarketRejectField.opt_3 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, cancel_mode) == 17, "HUX_OrderActionMarketRejectField.cancel_mode at 17");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, owner_user_id) == 18, "HUX_OrderActionMarketRejectField.owner_user_id at 18");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, owner_token) == 22, "HUX_OrderActionMarketRejectField.owner_token at 22");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, value_129) == 26, "HUX_OrderActionMarketRejectField.value_129 at 26");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, reason_code) == 34, "HUX_OrderActionMarketRejectField.reason_code at 34");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, reason_text) == 38, "HUX_OrderActionMarketRejectField.reason_text at 38");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, opt_1) == 126, "HUX_OrderActionMarketRejectField.opt_1 at 126");
HUX_STATIC_ASSERT(offsetof(HUX_OrderActionMarketRejectField, field_32) == 127, "HUX_OrderActionMarketRejectField.field_32 at 127");

HUX_STATIC_ASSERT(sizeof(HUX_OrderExecutionField) == 119, "HUX_OrderExecutionField is 119 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_4) == 0, "HUX_OrderExecutionField.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_133) == 4, "HUX_OrderExecutionField.field_133 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, order_no) == 8, "HUX_OrderExecutionField.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_42) == 16, "HUX_OrderExecutionField.field_42 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_46) == 20, "HUX_OrderExecutionField.field_46 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, filled_quantity) == 24, "HUX_OrderExecutionField.filled_quantity at 24");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, fill_price) == 28, "HUX_OrderExecutionField.fill_price at 28");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, text_50) == 36, "HUX_OrderExecutionField.text_50 at 36");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, text_86) == 61, "HUX_OrderExecutionField.text_86 at 61");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, value_24) == 86, "HUX_OrderExecutionField.value_24 at 86");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_110) == 94, "HUX_OrderExecutionField.field_110 at 94");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_111) == 95, "HUX_OrderExecutionField.field_111 at 95");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, symbol) == 96, "HUX_OrderExecutionField.symbol at 96");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_132) == 116, "HUX_OrderExecutionField.field_132 at 116");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_41) == 117, "HUX_OrderExecutionField.field_41 at 117");
HUX_STATIC_ASSERT(offsetof(HUX_OrderExecutionField, field_135) == 118, "HUX_OrderExecutionField.field_135 at 118");

HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketReportField) == 131, "HUX_OrderMarketReportField is 131 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, request_tag) == 0, "HUX_OrderMarketReportField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, account) == 4, "HUX_OrderMarketReportField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, symbol) == 21, "HUX_OrderMarketReportField.symbol at 21");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_8) == 41, "HUX_OrderMarketReportField.opt_8 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, side) == 42, "HUX_OrderMarketReportField.side at 42");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, quantity) == 43, "HUX_OrderMarketReportField.quantity at 43");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, price) == 47, "HUX_OrderMarketReportField.price at 47");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_5) == 55, "HUX_OrderMarketReportField.opt_5 at 55");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, second_price) == 56, "HUX_OrderMarketReportField.second_price at 56");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_2) == 64, "HUX_OrderMarketReportField.opt_2 at 64");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_9) == 68, "HUX_OrderMarketReportField.opt_9 at 68");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, field_124) == 69, "HUX_OrderMarketReportField.field_124 at 69");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, field_126) == 70, "HUX_OrderMarketReportField.field_126 at 70");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, user_id) == 74, "HUX_OrderMarketReportField.user_id at 74");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, client_token) == 78, "HUX_OrderMarketReportField.client_token at 78");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, field_56) == 82, "HUX_OrderMarketReportField.field_56 at 82");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, exchange_order_id) == 86, "HUX_OrderMarketReportField.exchange_order_id at 86");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, text_134) == 111, "HUX_OrderMarketReportField.text_134 at 111");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_4) == 127, "HUX_OrderMarketReportField.opt_4 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, field_49) == 128, "HUX_OrderMarketReportField.field_49 at 128");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_1) == 129, "HUX_OrderMarketReportField.opt_1 at 129");
HUX_STATIC_ASSERT(offsetof(HUX_OrderMarketReportField, opt_7) == 130, "HUX_OrderMarketReportField.opt_7 at 130");

HUX_STATIC_ASSERT(sizeof(HUX_PostOrder) == 105, "HUX_PostOrder is 105 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, request_tag) == 0, "HUX_PostOrder.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, user_id) == 4, "HUX_PostOrder.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, value_134) == 8, "HUX_PostOrder.value_134 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, field_56) == 16, "HUX_PostOrder.field_56 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, client_token) == 20, "HUX_PostOrder.client_token at 20");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, side) == 24, "HUX_PostOrder.side at 24");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, quantity) == 25, "HUX_PostOrder.quantity at 25");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, symbol) == 29, "HUX_PostOrder.symbol at 29");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, price) == 49, "HUX_PostOrder.price at 49");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, account) == 57, "HUX_PostOrder.account at 57");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, exchange_id) == 74, "HUX_PostOrder.exchange_id at 74");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, result_flag) == 75, "HUX_PostOrder.result_flag at 75");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, field_124) == 76, "HUX_PostOrder.field_124 at 76");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, exchange_order_id) == 77, "HUX_PostOrder.exchange_order_id at 77");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, opt_5) == 102, "HUX_PostOrder.opt_5 at 102");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, opt_7) == 103, "HUX_PostOrder.opt_7 at 103");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrder, field_49) == 104, "HUX_PostOrder.field_49 at 104");

HUX_STATIC_ASSERT(sizeof(HUX_PostOrderExecution) == 97, "HUX_PostOrderExecution is 97 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_4) == 0, "HUX_PostOrderExecution.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_133) == 4, "HUX_PostOrderExecution.field_133 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, order_no) == 8, "HUX_PostOrderExecution.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_46) == 16, "HUX_PostOrderExecution.field_46 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, filled_quantity) == 20, "HUX_PostOrderExecution.filled_quantity at 20");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, fill_price) == 24, "HUX_PostOrderExecution.fill_price at 24");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, reserved) == 32, "HUX_PostOrderExecution.reserved at 32");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, text_86) == 40, "HUX_PostOrderExecution.text_86 at 40");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, value_24) == 65, "HUX_PostOrderExecution.value_24 at 65");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_110) == 73, "HUX_PostOrderExecution.field_110 at 73");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_111) == 74, "HUX_PostOrderExecution.field_111 at 74");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, symbol) == 75, "HUX_PostOrderExecution.symbol at 75");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_132) == 95, "HUX_PostOrderExecution.field_132 at 95");
HUX_STATIC_ASSERT(offsetof(HUX_PostOrderExecution, field_135) == 96, "HUX_PostOrderExecution.field_135 at 96");

HUX_STATIC_ASSERT(sizeof(HUX_PostSpecialOrder) == 97, "HUX_PostSpecialOrder is 97 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_4) == 0, "HUX_PostSpecialOrder.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_8) == 4, "HUX_PostSpecialOrder.field_8 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, value_97) == 8, "HUX_PostSpecialOrder.value_97 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_24) == 16, "HUX_PostSpecialOrder.field_24 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, client_token) == 20, "HUX_PostSpecialOrder.client_token at 20");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_16) == 24, "HUX_PostSpecialOrder.field_16 at 24");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_12) == 25, "HUX_PostSpecialOrder.field_12 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, symbol) == 29, "HUX_PostSpecialOrder.symbol at 29");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, account) == 49, "HUX_PostSpecialOrder.account at 49");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_9) == 66, "HUX_PostSpecialOrder.field_9 at 66");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, result_flag) == 67, "HUX_PostSpecialOrder.result_flag at 67");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_96) == 68, "HUX_PostSpecialOrder.field_96 at 68");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, exchange_order_id) == 69, "HUX_PostSpecialOrder.exchange_order_id at 69");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_17) == 94, "HUX_PostSpecialOrder.field_17 at 94");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_64) == 95, "HUX_PostSpecialOrder.field_64 at 95");
HUX_STATIC_ASSERT(offsetof(HUX_PostSpecialOrder, field_19) == 96, "HUX_PostSpecialOrder.field_19 at 96");

HUX_STATIC_ASSERT(sizeof(HUX_InternalOrder) == 98, "HUX_InternalOrder is 98 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, request_tag) == 0, "HUX_InternalOrder.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, user_id) == 4, "HUX_InternalOrder.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, order_no) == 8, "HUX_InternalOrder.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, field_56) == 16, "HUX_InternalOrder.field_56 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, side) == 20, "HUX_InternalOrder.side at 20");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, quantity) == 21, "HUX_InternalOrder.quantity at 21");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, symbol) == 25, "HUX_InternalOrder.symbol at 25");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, price) == 45, "HUX_InternalOrder.price at 45");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, account) == 53, "HUX_InternalOrder.account at 53");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, exchange_id) == 70, "HUX_InternalOrder.exchange_id at 70");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, exchange_order_id) == 71, "HUX_InternalOrder.exchange_order_id at 71");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, opt_5) == 96, "HUX_InternalOrder.opt_5 at 96");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrder, opt_4) == 97, "HUX_InternalOrder.opt_4 at 97");

HUX_STATIC_ASSERT(sizeof(HUX_InternalOrderAdjustStatus) == 49, "HUX_InternalOrderAdjustStatus is 49 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, request_tag) == 0, "HUX_InternalOrderAdjustStatus.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, user_id) == 4, "HUX_InternalOrderAdjustStatus.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, value_134) == 8, "HUX_InternalOrderAdjustStatus.value_134 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, field_56) == 16, "HUX_InternalOrderAdjustStatus.field_56 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, exchange_order_id) == 20, "HUX_InternalOrderAdjustStatus.exchange_order_id at 20");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, field_124) == 45, "HUX_InternalOrderAdjustStatus.field_124 at 45");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, opt_7) == 46, "HUX_InternalOrderAdjustStatus.opt_7 at 46");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, side) == 47, "HUX_InternalOrderAdjustStatus.side at 47");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustStatus, opt_4) == 48, "HUX_InternalOrderAdjustStatus.opt_4 at 48");

HUX_STATIC_ASSERT(sizeof(HUX_InternalOrderExecution) == 68, "HUX_InternalOrderExecution is 68 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_4) == 0, "HUX_InternalOrderExecution.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_133) == 4, "HUX_InternalOrderExecution.field_133 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, value_24) == 8, "HUX_InternalOrderExecution.value_24 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_46) == 16, "HUX_InternalOrderExecution.field_46 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, filled_quantity) == 20, "HUX_InternalOrderExecution.filled_quantity at 20");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, fill_price) == 24, "HUX_InternalOrderExecution.fill_price at 24");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, reserved) == 32, "HUX_InternalOrderExecution.reserved at 32");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, text_86) == 40, "HUX_InternalOrderExecution.text_86 at 40");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_110) == 65, "HUX_InternalOrderExecution.field_110 at 65");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_111) == 66, "HUX_InternalOrderExecution.field_111 at 66");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderExecution, field_41) == 67, "HUX_InternalOrderExecution.field_41 at 67");

HUX_STATIC_ASSERT(sizeof(HUX_InternalOrderAdjustMktRej) == 47, "HUX_InternalOrderAdjustMktRej is 47 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, request_tag) == 0, "HUX_InternalOrderAdjustMktRej.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, user_id) == 4, "HUX_InternalOrderAdjustMktRej.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, account) == 8, "HUX_InternalOrderAdjustMktRej.account at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, field_56) == 25, "HUX_InternalOrderAdjustMktRej.field_56 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, exchange_id) == 29, "HUX_InternalOrderAdjustMktRej.exchange_id at 29");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, reason_code) == 30, "HUX_InternalOrderAdjustMktRej.reason_code at 30");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, client_token) == 34, "HUX_InternalOrderAdjustMktRej.client_token at 34");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, value_217) == 38, "HUX_InternalOrderAdjustMktRej.value_217 at 38");
HUX_STATIC_ASSERT(offsetof(HUX_InternalOrderAdjustMktRej, opt_4) == 46, "HUX_InternalOrderAdjustMktRej.opt_4 at 46");

HUX_STATIC_ASSERT(sizeof(HUX_InternalQuoteAdjustStatus) == 122, "HUX_InternalQuoteAdjustStatus is 122 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_4) == 0, "HUX_InternalQuoteAdjustStatus.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_8) == 4, "HUX_InternalQuoteAdjustStatus.field_8 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, account) == 8, "HUX_InternalQuoteAdjustStatus.account at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_116) == 25, "HUX_InternalQuoteAdjustStatus.field_116 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_120) == 29, "HUX_InternalQuoteAdjustStatus.field_120 at 29");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_124) == 33, "HUX_InternalQuoteAdjustStatus.field_124 at 33");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, text_1) == 37, "HUX_InternalQuoteAdjustStatus.text_1 at 37");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, text_2) == 62, "HUX_InternalQuoteAdjustStatus.text_2 at 62");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, text_3) == 87, "HUX_InternalQuoteAdjustStatus.text_3 at 87");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_268) == 112, "HUX_InternalQuoteAdjustStatus.field_268 at 112");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, value_269) == 113, "HUX_InternalQuoteAdjustStatus.value_269 at 113");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustStatus, field_13) == 121, "HUX_InternalQuoteAdjustStatus.field_13 at 121");

HUX_STATIC_ASSERT(sizeof(HUX_InternalQuoteAdjustMktRej) == 54, "HUX_InternalQuoteAdjustMktRej is 54 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_4) == 0, "HUX_InternalQuoteAdjustMktRej.field_4 at 0");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_8) == 4, "HUX_InternalQuoteAdjustMktRej.field_8 at 4");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, account) == 8, "HUX_InternalQuoteAdjustMktRej.account at 8");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_44) == 25, "HUX_InternalQuoteAdjustMktRej.field_44 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_116) == 29, "HUX_InternalQuoteAdjustMktRej.field_116 at 29");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_120) == 33, "HUX_InternalQuoteAdjustMktRej.field_120 at 33");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_124) == 37, "HUX_InternalQuoteAdjustMktRej.field_124 at 37");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, reason_code) == 41, "HUX_InternalQuoteAdjustMktRej.reason_code at 41");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, value_282) == 45, "HUX_InternalQuoteAdjustMktRej.value_282 at 45");
HUX_STATIC_ASSERT(offsetof(HUX_InternalQuoteAdjustMktRej, field_13) == 53, "HUX_InternalQuoteAdjustMktRej.field_13 at 53");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteAcceptField) == 155, "HUX_QuoteAcceptField is 155 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, request_tag) == 0, "HUX_QuoteAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, account) == 4, "HUX_QuoteAcceptField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, user_id) == 21, "HUX_QuoteAcceptField.user_id at 21");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, symbol) == 25, "HUX_QuoteAcceptField.symbol at 25");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_1) == 45, "HUX_QuoteAcceptField.opt_1 at 45");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_2) == 46, "HUX_QuoteAcceptField.opt_2 at 46");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, price_1) == 47, "HUX_QuoteAcceptField.price_1 at 47");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, quantity_1) == 55, "HUX_QuoteAcceptField.quantity_1 at 55");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_3) == 59, "HUX_QuoteAcceptField.opt_3 at 59");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_4) == 60, "HUX_QuoteAcceptField.opt_4 at 60");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, price_2) == 61, "HUX_QuoteAcceptField.price_2 at 61");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, quantity_2) == 69, "HUX_QuoteAcceptField.quantity_2 at 69");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_6) == 73, "HUX_QuoteAcceptField.opt_6 at 73");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, field_116) == 74, "HUX_QuoteAcceptField.field_116 at 74");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, field_120) == 78, "HUX_QuoteAcceptField.field_120 at 78");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, field_124) == 82, "HUX_QuoteAcceptField.field_124 at 82");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, empty_text) == 86, "HUX_QuoteAcceptField.empty_text at 86");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, client_token) == 111, "HUX_QuoteAcceptField.client_token at 111");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, value_200) == 115, "HUX_QuoteAcceptField.value_200 at 115");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_8) == 123, "HUX_QuoteAcceptField.opt_8 at 123");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, opt_5) == 127, "HUX_QuoteAcceptField.opt_5 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteAcceptField, quote_text_2) == 131, "HUX_QuoteAcceptField.quote_text_2 at 131");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteRejectField) == 2137, "HUX_QuoteRejectField is 2137 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, request_tag) == 0, "HUX_QuoteRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, user_id) == 4, "HUX_QuoteRejectField.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, value_200) == 8, "HUX_QuoteRejectField.value_200 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, client_token) == 16, "HUX_QuoteRejectField.client_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, field_116) == 20, "HUX_QuoteRejectField.field_116 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, field_120) == 24, "HUX_QuoteRejectField.field_120 at 24");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, field_124) == 28, "HUX_QuoteRejectField.field_124 at 28");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, result_flag) == 32, "HUX_QuoteRejectField.result_flag at 32");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, reason) == 33, "HUX_QuoteRejectField.reason at 33");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, reason_text_1) == 37, "HUX_QuoteRejectField.reason_text_1 at 37");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, reason_text_2) == 1061, "HUX_QuoteRejectField.reason_text_2 at 1061");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, risk_check_mask) == 2085, "HUX_QuoteRejectField.risk_check_mask at 2085");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, symbol) == 2089, "HUX_QuoteRejectField.symbol at 2089");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, field_10) == 2109, "HUX_QuoteRejectField.field_10 at 2109");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, opt_1) == 2111, "HUX_QuoteRejectField.opt_1 at 2111");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, opt_3) == 2112, "HUX_QuoteRejectField.opt_3 at 2112");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteRejectField, quote_text_2) == 2113, "HUX_QuoteRejectField.quote_text_2 at 2113");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteMarketAcceptField) == 104, "HUX_QuoteMarketAcceptField is 104 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, request_tag) == 0, "HUX_QuoteMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, account) == 4, "HUX_QuoteMarketAcceptField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, field_116) == 21, "HUX_QuoteMarketAcceptField.field_116 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, field_120) == 25, "HUX_QuoteMarketAcceptField.field_120 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, field_124) == 29, "HUX_QuoteMarketAcceptField.field_124 at 29");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, identifier) == 33, "HUX_QuoteMarketAcceptField.identifier at 33");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, value_282) == 58, "HUX_QuoteMarketAcceptField.value_282 at 58");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, user_id) == 66, "HUX_QuoteMarketAcceptField.user_id at 66");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, client_token) == 70, "HUX_QuoteMarketAcceptField.client_token at 70");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, opt_5) == 74, "HUX_QuoteMarketAcceptField.opt_5 at 74");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, opt_6) == 78, "HUX_QuoteMarketAcceptField.opt_6 at 78");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, field_52) == 79, "HUX_QuoteMarketAcceptField.field_52 at 79");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketAcceptField, quote_text_2) == 80, "HUX_QuoteMarketAcceptField.quote_text_2 at 80");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteMarketRejectField) == 185, "HUX_QuoteMarketRejectField is 185 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, request_tag) == 0, "HUX_QuoteMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, account) == 4, "HUX_QuoteMarketRejectField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, field_116) == 21, "HUX_QuoteMarketRejectField.field_116 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, field_120) == 25, "HUX_QuoteMarketRejectField.field_120 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, field_124) == 29, "HUX_QuoteMarketRejectField.field_124 at 29");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, value_282) == 33, "HUX_QuoteMarketRejectField.value_282 at 33");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, reason_text) == 41, "HUX_QuoteMarketRejectField.reason_text at 41");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, exchange_id) == 122, "HUX_QuoteMarketRejectField.exchange_id at 122");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, reason_code) == 123, "HUX_QuoteMarketRejectField.reason_code at 123");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, user_id) == 127, "HUX_QuoteMarketRejectField.user_id at 127");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, client_token) == 131, "HUX_QuoteMarketRejectField.client_token at 131");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, opt_6) == 135, "HUX_QuoteMarketRejectField.opt_6 at 135");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, field_52) == 136, "HUX_QuoteMarketRejectField.field_52 at 136");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, symbol) == 137, "HUX_QuoteMarketRejectField.symbol at 137");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, field_10) == 157, "HUX_QuoteMarketRejectField.field_10 at 157");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, opt_1) == 159, "HUX_QuoteMarketRejectField.opt_1 at 159");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, opt_3) == 160, "HUX_QuoteMarketRejectField.opt_3 at 160");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketRejectField, quote_text_2) == 161, "HUX_QuoteMarketRejectField.quote_text_2 at 161");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteMarketReportField) == 215, "HUX_QuoteMarketReportField is 215 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, request_tag) == 0, "HUX_QuoteMarketReportField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, account) == 4, "HUX_QuoteMarketReportField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, symbol) == 21, "HUX_QuoteMarketReportField.symbol at 21");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, quantity_1) == 41, "HUX_QuoteMarketReportField.quantity_1 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, quantity_2) == 45, "HUX_QuoteMarketReportField.quantity_2 at 45");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, price_1) == 49, "HUX_QuoteMarketReportField.price_1 at 49");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, price_2) == 57, "HUX_QuoteMarketReportField.price_2 at 57");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_2) == 65, "HUX_QuoteMarketReportField.opt_2 at 65");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_4) == 66, "HUX_QuoteMarketReportField.opt_4 at 66");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_1) == 67, "HUX_QuoteMarketReportField.opt_1 at 67");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_3) == 68, "HUX_QuoteMarketReportField.opt_3 at 68");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, reserved) == 69, "HUX_QuoteMarketReportField.reserved at 69");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, user_id) == 73, "HUX_QuoteMarketReportField.user_id at 73");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, client_token) == 77, "HUX_QuoteMarketReportField.client_token at 77");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, field_116) == 81, "HUX_QuoteMarketReportField.field_116 at 81");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, field_120) == 85, "HUX_QuoteMarketReportField.field_120 at 85");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, field_124) == 89, "HUX_QuoteMarketReportField.field_124 at 89");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, text_1) == 93, "HUX_QuoteMarketReportField.text_1 at 93");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, text_2) == 118, "HUX_QuoteMarketReportField.text_2 at 118");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, text_3) == 143, "HUX_QuoteMarketReportField.text_3 at 143");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, field_268) == 168, "HUX_QuoteMarketReportField.field_268 at 168");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, value_269) == 169, "HUX_QuoteMarketReportField.value_269 at 169");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_5) == 185, "HUX_QuoteMarketReportField.opt_5 at 185");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, opt_6) == 189, "HUX_QuoteMarketReportField.opt_6 at 189");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, field_52) == 190, "HUX_QuoteMarketReportField.field_52 at 190");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteMarketReportField, quote_text_2) == 191, "HUX_QuoteMarketReportField.quote_text_2 at 191");

HUX_STATIC_ASSERT(sizeof(HUX_PostQuote) == 204, "HUX_PostQuote is 204 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, request_tag) == 0, "HUX_PostQuote.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, user_id) == 4, "HUX_PostQuote.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, value_277) == 8, "HUX_PostQuote.value_277 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, field_116) == 16, "HUX_PostQuote.field_116 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, field_120) == 20, "HUX_PostQuote.field_120 at 20");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, field_124) == 24, "HUX_PostQuote.field_124 at 24");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, quantity_1) == 28, "HUX_PostQuote.quantity_1 at 28");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, quantity_2) == 32, "HUX_PostQuote.quantity_2 at 32");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, symbol) == 36, "HUX_PostQuote.symbol at 36");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, price_1) == 56, "HUX_PostQuote.price_1 at 56");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, price_2) == 64, "HUX_PostQuote.price_2 at 64");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, account) == 72, "HUX_PostQuote.account at 72");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, exchange_id) == 89, "HUX_PostQuote.exchange_id at 89");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, result_flag) == 90, "HUX_PostQuote.result_flag at 90");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, field_268) == 91, "HUX_PostQuote.field_268 at 91");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, text_1) == 92, "HUX_PostQuote.text_1 at 92");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, text_2) == 117, "HUX_PostQuote.text_2 at 117");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, text_3) == 142, "HUX_PostQuote.text_3 at 142");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, opt_1) == 167, "HUX_PostQuote.opt_1 at 167");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, opt_3) == 168, "HUX_PostQuote.opt_3 at 168");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, opt_2) == 169, "HUX_PostQuote.opt_2 at 169");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, opt_4) == 170, "HUX_PostQuote.opt_4 at 170");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, value_269) == 171, "HUX_PostQuote.value_269 at 171");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, field_52) == 179, "HUX_PostQuote.field_52 at 179");
HUX_STATIC_ASSERT(offsetof(HUX_PostQuote, quote_text_2) == 180, "HUX_PostQuote.quote_text_2 at 180");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteActionAccept) == 32, "HUX_QuoteActionAccept is 32 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, request_tag) == 0, "HUX_QuoteActionAccept.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, reserved) == 4, "HUX_QuoteActionAccept.reserved at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, opt_1) == 8, "HUX_QuoteActionAccept.opt_1 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, flag) == 9, "HUX_QuoteActionAccept.flag at 9");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, opt_3) == 10, "HUX_QuoteActionAccept.opt_3 at 10");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, cancel_mode) == 11, "HUX_QuoteActionAccept.cancel_mode at 11");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, market_token) == 12, "HUX_QuoteActionAccept.market_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, owner_token) == 16, "HUX_QuoteActionAccept.owner_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, owner_user_id) == 20, "HUX_QuoteActionAccept.owner_user_id at 20");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionAccept, field_48) == 24, "HUX_QuoteActionAccept.field_48 at 24");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteActionRej) == 117, "HUX_QuoteActionRej is 117 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, request_tag) == 0, "HUX_QuoteActionRej.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, market_token) == 4, "HUX_QuoteActionRej.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, reason_mask) == 8, "HUX_QuoteActionRej.reason_mask at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, reason_text) == 12, "HUX_QuoteActionRej.reason_text at 12");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, user_id) == 100, "HUX_QuoteActionRej.user_id at 100");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, owner_token) == 104, "HUX_QuoteActionRej.owner_token at 104");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, opt_3) == 108, "HUX_QuoteActionRej.opt_3 at 108");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionRej, field_48) == 109, "HUX_QuoteActionRej.field_48 at 109");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteActionMarketAcceptField) == 36, "HUX_QuoteActionMarketAcceptField is 36 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, request_tag) == 0, "HUX_QuoteActionMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, market_token) == 4, "HUX_QuoteActionMarketAcceptField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, user_id) == 8, "HUX_QuoteActionMarketAcceptField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, client_token) == 12, "HUX_QuoteActionMarketAcceptField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, opt_3) == 16, "HUX_QuoteActionMarketAcceptField.opt_3 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, cancel_mode) == 17, "HUX_QuoteActionMarketAcceptField.cancel_mode at 17");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, owner_user_id) == 18, "HUX_QuoteActionMarketAcceptField.owner_user_id at 18");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, owner_token) == 22, "HUX_QuoteActionMarketAcceptField.owner_token at 22");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, value_130) == 26, "HUX_QuoteActionMarketAcceptField.value_130 at 26");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, opt_1) == 34, "HUX_QuoteActionMarketAcceptField.opt_1 at 34");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketAcceptField, field_32) == 35, "HUX_QuoteActionMarketAcceptField.field_32 at 35");

HUX_STATIC_ASSERT(sizeof(HUX_QuoteActionMarketRejectField) == 128, "HUX_QuoteActionMarketRejectField is 128 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, request_tag) == 0, "HUX_QuoteActionMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, market_token) == 4, "HUX_QuoteActionMarketRejectField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, user_id) == 8, "HUX_QuoteActionMarketRejectField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, client_token) == 12, "HUX_QuoteActionMarketRejectField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, opt_3) == 16, "HUX_QuoteActionMarketRejectField.opt_3 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, cancel_mode) == 17, "HUX_QuoteActionMarketRejectField.cancel_mode at 17");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, owner_user_id) == 18, "HUX_QuoteActionMarketRejectField.owner_user_id at 18");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, owner_token) == 22, "HUX_QuoteActionMarketRejectField.owner_token at 22");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, value_130) == 26, "HUX_QuoteActionMarketRejectField.value_130 at 26");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, reason_code) == 34, "HUX_QuoteActionMarketRejectField.reason_code at 34");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, reason_text) == 38, "HUX_QuoteActionMarketRejectField.reason_text at 38");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, opt_1) == 126, "HUX_QuoteActionMarketRejectField.opt_1 at 126");
HUX_STATIC_ASSERT(offsetof(HUX_QuoteActionMarketRejectField, field_32) == 127, "HUX_QuoteActionMarketRejectField.field_32 at 127");

HUX_STATIC_ASSERT(sizeof(HUX_ComboAcceptField) == 129, "HUX_ComboAcceptField is 129 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, request_tag) == 0, "HUX_ComboAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, client_token) == 4, "HUX_ComboAcceptField.client_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, field_22) == 8, "HUX_ComboAcceptField.field_22 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, value_148) == 12, "HUX_ComboAcceptField.value_148 at 12");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, user_id) == 20, "HUX_ComboAcceptField.user_id at 20");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, account) == 24, "HUX_ComboAcceptField.account at 24");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, exchange_id) == 41, "HUX_ComboAcceptField.exchange_id at 41");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, legs) == 42, "HUX_ComboAcceptField.legs at 42");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, opt_1) == 122, "HUX_ComboAcceptField.opt_1 at 122");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, opt_2) == 126, "HUX_ComboAcceptField.opt_2 at 126");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, opt_3) == 127, "HUX_ComboAcceptField.opt_3 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_ComboAcceptField, opt_5) == 128, "HUX_ComboAcceptField.opt_5 at 128");

HUX_STATIC_ASSERT(sizeof(HUX_ComboRejectField) == 2073, "HUX_ComboRejectField is 2073 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, request_tag) == 0, "HUX_ComboRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, user_id) == 4, "HUX_ComboRejectField.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, client_token) == 8, "HUX_ComboRejectField.client_token at 8");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, value_148) == 12, "HUX_ComboRejectField.value_148 at 12");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, result_flag) == 20, "HUX_ComboRejectField.result_flag at 20");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, reason) == 21, "HUX_ComboRejectField.reason at 21");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, reason_text_1) == 25, "HUX_ComboRejectField.reason_text_1 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_ComboRejectField, reason_text_2) == 1049, "HUX_ComboRejectField.reason_text_2 at 1049");

HUX_STATIC_ASSERT(sizeof(HUX_ComboMarketAcceptField) == 128, "HUX_ComboMarketAcceptField is 128 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, request_tag) == 0, "HUX_ComboMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, account) == 4, "HUX_ComboMarketAcceptField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, legs) == 21, "HUX_ComboMarketAcceptField.legs at 21");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, opt_1) == 101, "HUX_ComboMarketAcceptField.opt_1 at 101");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, opt_3) == 105, "HUX_ComboMarketAcceptField.opt_3 at 105");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, client_token) == 106, "HUX_ComboMarketAcceptField.client_token at 106");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, field_22) == 110, "HUX_ComboMarketAcceptField.field_22 at 110");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, value_229) == 114, "HUX_ComboMarketAcceptField.value_229 at 114");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, user_id) == 122, "HUX_ComboMarketAcceptField.user_id at 122");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, opt_2) == 126, "HUX_ComboMarketAcceptField.opt_2 at 126");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketAcceptField, field_122) == 127, "HUX_ComboMarketAcceptField.field_122 at 127");

HUX_STATIC_ASSERT(sizeof(HUX_ComboMarketRejectField) == 129, "HUX_ComboMarketRejectField is 129 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, request_tag) == 0, "HUX_ComboMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, account) == 4, "HUX_ComboMarketRejectField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, field_22) == 21, "HUX_ComboMarketRejectField.field_22 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, value_229) == 25, "HUX_ComboMarketRejectField.value_229 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, reason_text) == 33, "HUX_ComboMarketRejectField.reason_text at 33");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, exchange_id) == 114, "HUX_ComboMarketRejectField.exchange_id at 114");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, reason_code) == 115, "HUX_ComboMarketRejectField.reason_code at 115");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, user_id) == 119, "HUX_ComboMarketRejectField.user_id at 119");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, client_token) == 123, "HUX_ComboMarketRejectField.client_token at 123");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, opt_2) == 127, "HUX_ComboMarketRejectField.opt_2 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_ComboMarketRejectField, field_122) == 128, "HUX_ComboMarketRejectField.field_122 at 128");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderAcceptField) == 74, "HUX_SpecialOrderAcceptField is 74 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, request_tag) == 0, "HUX_SpecialOrderAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, client_token) == 4, "HUX_SpecialOrderAcceptField.client_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, field_24) == 8, "HUX_SpecialOrderAcceptField.field_24 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, user_id) == 12, "HUX_SpecialOrderAcceptField.user_id at 12");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, value_76) == 16, "HUX_SpecialOrderAcceptField.value_76 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, account) == 24, "HUX_SpecialOrderAcceptField.account at 24");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_1) == 41, "HUX_SpecialOrderAcceptField.opt_1 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_2) == 42, "HUX_SpecialOrderAcceptField.opt_2 at 42");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, symbol) == 46, "HUX_SpecialOrderAcceptField.symbol at 46");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_3) == 67, "HUX_SpecialOrderAcceptField.opt_3 at 67");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_4) == 71, "HUX_SpecialOrderAcceptField.opt_4 at 71");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_5) == 72, "HUX_SpecialOrderAcceptField.opt_5 at 72");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderAcceptField, opt_8) == 73, "HUX_SpecialOrderAcceptField.opt_8 at 73");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderRejectField) == 2074, "HUX_SpecialOrderRejectField is 2074 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, request_tag) == 0, "HUX_SpecialOrderRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, user_id) == 4, "HUX_SpecialOrderRejectField.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, value_76) == 8, "HUX_SpecialOrderRejectField.value_76 at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, client_token) == 16, "HUX_SpecialOrderRejectField.client_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, result_flag) == 20, "HUX_SpecialOrderRejectField.result_flag at 20");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, reason) == 21, "HUX_SpecialOrderRejectField.reason at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, reason_text_1) == 25, "HUX_SpecialOrderRejectField.reason_text_1 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, reason_text_2) == 1049, "HUX_SpecialOrderRejectField.reason_text_2 at 1049");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderRejectField, opt_8) == 2073, "HUX_SpecialOrderRejectField.opt_8 at 2073");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketAcceptField) == 69, "HUX_SpecialOrderMarketAcceptField is 69 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, request_tag) == 0, "HUX_SpecialOrderMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, account) == 4, "HUX_SpecialOrderMarketAcceptField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, field_24) == 21, "HUX_SpecialOrderMarketAcceptField.field_24 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, exchange_order_id) == 25, "HUX_SpecialOrderMarketAcceptField.exchange_order_id at 25");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, value_181) == 50, "HUX_SpecialOrderMarketAcceptField.value_181 at 50");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, user_id) == 58, "HUX_SpecialOrderMarketAcceptField.user_id at 58");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, client_token) == 62, "HUX_SpecialOrderMarketAcceptField.client_token at 62");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, opt_4) == 66, "HUX_SpecialOrderMarketAcceptField.opt_4 at 66");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, field_64) == 67, "HUX_SpecialOrderMarketAcceptField.field_64 at 67");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketAcceptField, opt_8) == 68, "HUX_SpecialOrderMarketAcceptField.opt_8 at 68");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketRejectField) == 130, "HUX_SpecialOrderMarketRejectField is 130 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, request_tag) == 0, "HUX_SpecialOrderMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, account) == 4, "HUX_SpecialOrderMarketRejectField.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, field_24) == 21, "HUX_SpecialOrderMarketRejectField.field_24 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, value_181) == 25, "HUX_SpecialOrderMarketRejectField.value_181 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, reason_text) == 33, "HUX_SpecialOrderMarketRejectField.reason_text at 33");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, exchange_id) == 114, "HUX_SpecialOrderMarketRejectField.exchange_id at 114");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, reason_code) == 115, "HUX_SpecialOrderMarketRejectField.reason_code at 115");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, user_id) == 119, "HUX_SpecialOrderMarketRejectField.user_id at 119");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, client_token) == 123, "HUX_SpecialOrderMarketRejectField.client_token at 123");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, opt_4) == 127, "HUX_SpecialOrderMarketRejectField.opt_4 at 127");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, field_64) == 128, "HUX_SpecialOrderMarketRejectField.field_64 at 128");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderMarketRejectField, opt_8) == 129, "HUX_SpecialOrderMarketRejectField.opt_8 at 129");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionAccept) == 28, "HUX_SpecialOrderActionAccept is 28 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, request_tag) == 0, "HUX_SpecialOrderActionAccept.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, user_id) == 4, "HUX_SpecialOrderActionAccept.user_id at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, order_no) == 8, "HUX_SpecialOrderActionAccept.order_no at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, owner_token) == 16, "HUX_SpecialOrderActionAccept.owner_token at 16");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, owner_user_id) == 20, "HUX_SpecialOrderActionAccept.owner_user_id at 20");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionAccept, market_token) == 24, "HUX_SpecialOrderActionAccept.market_token at 24");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionRej) == 116, "HUX_SpecialOrderActionRej is 116 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, request_tag) == 0, "HUX_SpecialOrderActionRej.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, market_token) == 4, "HUX_SpecialOrderActionRej.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, reason_mask) == 8, "HUX_SpecialOrderActionRej.reason_mask at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, reason_text) == 12, "HUX_SpecialOrderActionRej.reason_text at 12");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, owner_user_id) == 100, "HUX_SpecialOrderActionRej.owner_user_id at 100");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, owner_token) == 104, "HUX_SpecialOrderActionRej.owner_token at 104");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionRej, order_no) == 108, "HUX_SpecialOrderActionRej.order_no at 108");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketAcceptField) == 35, "HUX_SpecialOrderActionMarketAcceptField is 35 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, request_tag) == 0, "HUX_SpecialOrderActionMarketAcceptField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, market_token) == 4, "HUX_SpecialOrderActionMarketAcceptField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, user_id) == 8, "HUX_SpecialOrderActionMarketAcceptField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, client_token) == 12, "HUX_SpecialOrderActionMarketAcceptField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, cancel_mode) == 16, "HUX_SpecialOrderActionMarketAcceptField.cancel_mode at 16");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, owner_user_id) == 17, "HUX_SpecialOrderActionMarketAcceptField.owner_user_id at 17");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, owner_token) == 21, "HUX_SpecialOrderActionMarketAcceptField.owner_token at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, value_129) == 25, "HUX_SpecialOrderActionMarketAcceptField.value_129 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, opt_1) == 33, "HUX_SpecialOrderActionMarketAcceptField.opt_1 at 33");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketAcceptField, field_35) == 34, "HUX_SpecialOrderActionMarketAcceptField.field_35 at 34");

HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketRejectField) == 127, "HUX_SpecialOrderActionMarketRejectField is 127 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, request_tag) == 0, "HUX_SpecialOrderActionMarketRejectField.request_tag at 0");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, market_token) == 4, "HUX_SpecialOrderActionMarketRejectField.market_token at 4");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, user_id) == 8, "HUX_SpecialOrderActionMarketRejectField.user_id at 8");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, client_token) == 12, "HUX_SpecialOrderActionMarketRejectField.client_token at 12");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, cancel_mode) == 16, "HUX_SpecialOrderActionMarketRejectField.cancel_mode at 16");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, owner_user_id) == 17, "HUX_SpecialOrderActionMarketRejectField.owner_user_id at 17");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, owner_token) == 21, "HUX_SpecialOrderActionMarketRejectField.owner_token at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, value_129) == 25, "HUX_SpecialOrderActionMarketRejectField.value_129 at 25");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, reason_code) == 33, "HUX_SpecialOrderActionMarketRejectField.reason_code at 33");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, reason_text) == 37, "HUX_SpecialOrderActionMarketRejectField.reason_text at 37");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, opt_1) == 125, "HUX_SpecialOrderActionMarketRejectField.opt_1 at 125");
HUX_STATIC_ASSERT(offsetof(HUX_SpecialOrderActionMarketRejectField, field_35) == 126, "HUX_SpecialOrderActionMarketRejectField.field_35 at 126");

/* Callbacks: session handle first; the record lives only during the call. */
typedef void (*HUX_OrderAcceptEvent)(void* handle, HUX_OrderAcceptField* rec);
typedef void (*HUX_OrderRejectEvent)(void* handle, HUX_OrderRejectField* rec);
typedef void (*HUX_OrderMarketAcceptEvent)(void* handle, HUX_OrderMarketAcceptField* rec);
typedef void (*HUX_OrderMarketRejectEvent)(void* handle, HUX_OrderMarketRejectField* rec);
typedef void (*HUX_OrderActionAcceptEvent)(void* handle, HUX_OrderActionAccept* rec);
typedef void (*HUX_OrderActionRejectEvent)(void* handle, HUX_OrderActionRej* rec);
typedef void (*HUX_OrderActionMarketAcceptEvent)(void* handle, HUX_OrderActionMarketAcceptField* rec);
typedef void (*HUX_OrderActionMarketRejectEvent)(void* handle, HUX_OrderActionMarketRejectField* rec);
typedef void (*HUX_OrderExecutionEvent)(void* handle, HUX_OrderExecutionField* rec);
typedef void (*HUX_OrderMarketReportEvent)(void* handle, HUX_OrderMarketReportField* rec);
typedef void (*HUX_PostOrderEvent)(void* handle, HUX_PostOrder* rec);
typedef void (*HUX_PostOrderExecutionEvent)(void* handle, HUX_PostOrderExecution* rec);
typedef void (*HUX_PostSpecialOrderEvent)(void* handle, HUX_PostSpecialOrder* rec);
typedef void (*HUX_InternalOrderEvent)(void* handle, HUX_InternalOrder* rec);
typedef void (*HUX_InternalOrderAdjustStatusEvent)(void* handle, HUX_InternalOrderAdjustStatus* rec);
typedef void (*HUX_InternalOrderExecutionEvent)(void* handle, HUX_InternalOrderExecution* rec);
typedef void (*HUX_InternalOrderAdjustMktRejEvent)(void* handle, HUX_InternalOrderAdjustMktRej* rec);
typedef void (*HUX_InternalQuoteAdjustStatusEvent)(void* handle, HUX_InternalQuoteAdjustStatus* rec);
typedef void (*HUX_InternalQuoteAdjustMktRejEvent)(void* handle, HUX_InternalQuoteAdjustMktRej* rec);
typedef void (*HUX_QuoteAcceptEvent)(void* handle, HUX_QuoteAcceptField* rec);
typedef void (*HUX_QuoteRejectEvent)(void* handle, HUX_QuoteRejectField* rec);
typedef void (*HUX_QuoteMarketAcceptEvent)(void* handle, HUX_QuoteMarketAcceptField* rec);
typedef void (*HUX_QuoteMarketRejectEvent)(void* handle, HUX_QuoteMarketRejectField* rec);
typedef void (*HUX_QuoteMarketReportEvent)(void* handle, HUX_QuoteMarketReportField* rec);
typedef void (*HUX_PostQuoteEvent)(void* handle, HUX_PostQuote* rec);
typedef void (*HUX_QuoteActionAcceptEvent)(void* handle, HUX_QuoteActionAccept* rec);
typedef void (*HUX_QuoteActionRejectEvent)(void* handle, HUX_QuoteActionRej* rec);
typedef void (*HUX_QuoteActionMarketAcceptEvent)(void* handle, HUX_QuoteActionMarketAcceptField* rec);
typedef void (*HUX_QuoteActionMarketRejectEvent)(void* handle, HUX_QuoteActionMarketRejectField* rec);
typedef void (*HUX_ComboAcceptEvent)(void* handle, HUX_ComboAcceptField* rec);
typedef void (*HUX_ComboRejectEvent)(void* handle, HUX_ComboRejectField* rec);
typedef void (*HUX_ComboMarketAcceptEvent)(void* handle, HUX_ComboMarketAcceptField* rec);
typedef void (*HUX_ComboMarketRejectEvent)(void* handle, HUX_ComboMarketRejectField* rec);
typedef void (*HUX_SpecialOrderAcceptEvent)(void* handle, HUX_SpecialOrderAcceptField* rec);
typedef void (*HUX_SpecialOrderRejectEvent)(void* handle, HUX_SpecialOrderRejectField* rec);
typedef void (*HUX_SpecialOrderMarketAcceptEvent)(void* handle, HUX_SpecialOrderMarketAcceptField* rec);
typedef void (*HUX_SpecialOrderMarketRejectEvent)(void* handle, HUX_SpecialOrderMarketRejectField* rec);
typedef void (*HUX_SpecialOrderActionAcceptEvent)(void* handle, HUX_SpecialOrderActionAccept* rec);
typedef void (*HUX_SpecialOrderActionRejectEvent)(void* handle, HUX_SpecialOrderActionRej* rec);
typedef void (*HUX_SpecialOrderActionMarketAcceptEvent)(void* handle, HUX_SpecialOrderActionMarketAcceptField* rec);
typedef void (*HUX_SpecialOrderActionMarketRejectEvent)(void* handle, HUX_SpecialOrderActionMarketRejectField* rec);

#endif

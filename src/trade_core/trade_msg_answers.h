// Wire records of the server's answers to orders, cancels, quotes, quote
// actions, combination and special orders, and of its unasked reports: fills,
// exchange reports, posted orders and quotes of other sessions of the user,
// and orders and quotes the trading server created or changed itself.
//
// Little-endian and packed like every trade record; each record is laid over
// the received bytes in place and is exactly the fixed length of its type.
// Bytes the client never reads are reserved arrays. Fields known only by their
// position are named field_<offset> (one to four bytes) or value_<offset>
// (eight or sixteen opaque bytes). Prices are signed integers in 1/10000.
// Messages that share a layout share one record through an alias.
#ifndef HUX_TRADE_MSG_ANSWERS_H
#define HUX_TRADE_MSG_ANSWERS_H

#include <cstddef>
#include <cstdint>

#include "trade_core/trade_msg.h"

namespace HUX_TRADE_WIRE {

#pragma pack(push, 1)

// Server answer to a new order (1010). Accept when check_result is 0 (qv27 server: check_result and risk_check_mask both 0).
struct ostrel_client_order_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint16_t field_10;
    uint8_t reserved2[1];
    uint8_t opt_4;
    uint8_t reserved3[3];
    uint8_t side;
    uint8_t opt_5;
    uint8_t opt_1;  // low byte
    int32_t client_token;
    int32_t quantity;
    int32_t opt_2;
    int64_t price;  // price times 10000
    uint8_t reserved4[12];
    int32_t opt_3;
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved5[4];
    uint32_t check_result;  // 0 passed; ordinary server: reason code or mask; qv27 server: failed order-check mask
    int64_t order_no;  // order number given by the server
    uint32_t risk_check_mask;  // qv27 server only
    uint8_t reserved6[4];
};

// Exchange answer to a new order (1012). Accept when exchange_result is 0.
struct ostrel_client_order_insert_market_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint16_t field_10;
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved2[3];
    uint8_t side;
    uint8_t reserved3[2];
    int32_t client_token;
    uint8_t reserved4[25];
    uint8_t field_49;
    uint8_t reserved5[6];
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved6[4];
    char exchange_order_id[24];  // may fill the field with no NUL
    uint8_t reserved7[8];
    int32_t exchange_result;  // 0 accepted, else the exchange reason code
    char exchange_text[81];  // exchange reason text, GBK
    uint8_t value_217[8];  // copied unchanged
    uint8_t reserved8[7];
};

// Server answer to an order cancel (1011). Accept when check_result is 0.
struct ostrel_client_order_action_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    uint8_t reserved1[4];
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t reserved2[2];
    uint8_t opt_3;
    uint8_t reserved3[13];
    uint32_t check_result;  // 0 accepted, else a mask of failed cancel checks
    int64_t order_no;  // order being cancelled
    uint8_t reserved4[8];
};

// Exchange answer to an order cancel (1013). Accept when exchange_result is 0.
struct ostrel_client_order_action_market_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    int32_t client_token;
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t opt_1;
    uint8_t reserved1[1];
    uint8_t opt_3;
    uint8_t cancel_mode;
    uint8_t field_32;
    uint8_t reserved2[11];
    uint32_t exchange_result;  // 0 accepted, else the exchange cancel reason code
    uint8_t reserved3[81];
    uint8_t value_129[8];  // copied unchanged
    uint8_t reserved4[1];
    uint8_t exchange_id;  // 100-108, chooses the reason-text map
    uint8_t reserved5[5];
};

// Fill of an order (1014, 1017, 2203 in both editions share this layout).
struct order_execution_received {
    msg_header header;
    int32_t field_4;
    uint8_t reserved1[16];
    uint8_t value_24[8];
    int64_t order_no;
    uint8_t reserved2[1];
    uint8_t field_41;
    int32_t field_42;
    int32_t field_46;
    char text_50[24];  // may fill the field with no NUL
    int32_t filled_quantity;
    int64_t fill_price;  // price times 10000
    char text_86[24];  // may fill the field with no NUL
    uint8_t field_110;
    uint8_t field_111;
    char symbol[20];  // may fill the field with no NUL
    uint8_t field_132;
    uint8_t field_133;
    uint8_t marker;  // qv27 2203 only: 0 or 2 a post execution, else an internal-order execution
    uint8_t field_135;
};
using post_order_execution_received = order_execution_received;
using ostrel_internal_order_execution_resp = order_execution_received;
using qv27_post_order_execution_received = order_execution_received;

// Exchange report on an order (1015).
struct ostrel_client_order_market_report {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved2[1];
    uint8_t opt_8;
    uint8_t opt_7;
    uint8_t side;
    uint8_t opt_5;
    uint8_t opt_1;
    int32_t client_token;
    int32_t quantity;
    int32_t opt_2;
    int64_t price;  // price times 10000
    int64_t second_price;  // price times 10000
    uint8_t opt_9;
    uint8_t field_49;
    uint8_t reserved3[6];
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved4[4];
    char exchange_order_id[24];  // may fill the field with no NUL
    uint8_t field_124;
    uint8_t reserved5[1];
    int32_t field_126;
    uint8_t reserved6[4];
    char text_134[16];  // copied as 16 bytes
    uint8_t reserved7[8];
};

// Order entered by another session of the user (1016); also 2202 in both editions, where on a qv27 server kind_marker (125) with field_124 chooses the record.
struct post_order_received {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved2[2];
    uint8_t opt_7;
    uint8_t side;
    uint8_t opt_5;
    uint8_t reserved3[1];
    int32_t client_token;
    int32_t quantity;
    uint8_t reserved4[4];
    int64_t price;  // price times 10000
    uint8_t reserved5[9];
    uint8_t field_49;
    uint8_t reserved6[6];
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved7[4];
    char exchange_order_id[24];  // may fill the field with no NUL
    uint8_t field_124;
    uint8_t kind_marker;  // qv27 2202 only
    uint8_t reserved8[8];
    uint8_t value_134[8];  // qv27 internal order: the order number
    uint8_t reserved9[16];
};
using ostrel_internal_order_adjust_status_resp = post_order_received;
using qv27_post_order_received = post_order_received;

// Special order entered by another session of the user (1034).
struct post_special_order_received {
    msg_header header;
    int32_t field_4;
    uint8_t field_8;
    uint8_t field_9;
    uint8_t reserved1[2];
    int32_t field_12;
    uint8_t field_16;
    uint8_t field_17;
    uint8_t reserved2[1];
    uint8_t field_19;
    int32_t client_token;
    int32_t field_24;
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t field_64;
    uint8_t reserved3[7];
    char exchange_order_id[24];  // may fill the field with no NUL
    uint8_t field_96;
    uint8_t value_97[8];
    uint8_t reserved4[32];
};

// Order created by the trading server (2201).
struct ostrel_internal_order_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved2[3];
    uint8_t side;
    uint8_t opt_5;
    uint8_t reserved3[5];
    int32_t quantity;
    uint8_t reserved4[4];
    int64_t price;  // price times 10000
    uint8_t reserved5[16];
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved6[8];
    int64_t order_no;
    uint8_t reserved7[8];
    char exchange_order_id[24];  // may fill the field with no NUL
};

// Exchange reject of a server-changed order (2204, both editions).
struct ostrel_internal_order_adjust_mkt_rej_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved2[6];
    int32_t client_token;
    uint8_t reserved3[32];
    int32_t field_56;  // server order field
    char account[16];  // may fill the field with no NUL
    uint8_t reserved4[56];
    int32_t exchange_result;  // exchange reason code
    uint8_t reserved5[81];
    uint8_t value_217[8];
    uint8_t reserved6[7];
};
using qv27_ostrel_client_passive_order_adjust_mkt_rej_resp = ostrel_internal_order_adjust_mkt_rej_resp;

// Quote changed by the trading server, ordinary server (2205).
struct ostrel_internal_quote_adjust_status_resp {
    msg_header header;
    int32_t field_4;
    uint8_t field_8;
    uint8_t reserved1[4];
    uint8_t field_13;
    uint8_t reserved2[42];
    char account[16];  // may fill the field with no NUL
    uint8_t reserved3[44];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t reserved4[68];
    char text_1[24];
    char text_2[24];
    char text_3[24];
    uint8_t field_268;
    uint8_t value_269[8];
    uint8_t reserved5[19];
};

// 2205 from a qv27 server: a server-changed quote, or a posted quote when marker (229) is 2. Laid out as the quote answers up to 127; no text at 128.
struct qv27_ostrel_client_passive_quote_adjust_status_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    uint8_t reserved3[4];
    uint8_t field_52;
    uint8_t reserved4[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved5[24];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t reserved6[4];
    char text_1[24];
    char text_2[24];
    char text_3[24];
    uint8_t field_204;
    uint8_t value_205[8];
    uint8_t value_213[8];
    uint8_t reserved7[8];
    uint8_t marker;  // 2: posted quote
    uint8_t reserved8[2];
};

// Exchange reject of a server-changed quote (2206), handled also before logon.
struct ostrel_internal_quote_adjust_mkt_rej_resp {
    msg_header header;
    int32_t field_4;
    uint8_t field_8;
    uint8_t reserved1[4];
    uint8_t field_13;
    uint8_t reserved2[30];
    int32_t field_44;
    uint8_t reserved3[8];
    char account[16];  // may fill the field with no NUL
    uint8_t reserved4[44];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t reserved5[68];
    int32_t exchange_result;  // exchange reason code
    uint8_t reserved6[82];
    uint8_t value_282[8];
    uint8_t reserved7[6];
};

// Server answer to a new quote (1018), ordinary server: accept when check_result is 0. The accept record is read from this form on both editions.
struct ostrel_client_quote_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint16_t field_10;
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    int32_t opt_8;
    uint8_t field_52;
    uint8_t reserved3[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved4[24];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char quote_text_2[24];
    uint8_t reserved5[44];
    uint32_t check_result;  // 0 passed, else a reason value
    uint8_t value_200[8];
    uint8_t reserved6[8];
};

// 1018 from a qv27 server: accept when order_check_mask and risk_check_mask are both 0; the two masks and an eight-byte value sit inside the ordinary form's quote_text_2.
struct qv27_ostrel_client_quote_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint16_t field_10;
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    int32_t opt_8;
    uint8_t field_52;
    uint8_t reserved3[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved4[24];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    uint8_t reserved5[4];
    uint32_t order_check_mask;
    uint8_t value_136[8];
    uint32_t risk_check_mask;
    uint8_t reserved6[52];
    uint8_t value_200[8];
    uint8_t reserved7[8];
};

// Server answer to a quote action (1019). Accept when check_result is 0.
struct ostrel_client_quote_action_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    int32_t client_token;
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t opt_1;
    uint8_t field_29;  // 2 sets the flag of the accept record
    uint8_t opt_3;
    uint8_t cancel_mode;
    uint8_t field_32;
    uint8_t reserved1[11];
    uint32_t check_result;  // 0 accepted, else a mask of failed cancel checks
    int64_t field_48;
    uint8_t reserved2[8];
};

// Exchange answer to a new quote (1020). Accept when exchange_result is 0.
struct ostrel_client_quote_insert_market_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint16_t field_10;
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    uint8_t reserved3[4];
    uint8_t field_52;
    uint8_t reserved4[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    char quote_text_1[24];  // the identifier of the accept record
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char quote_text_2[24];
    uint8_t reserved5[44];
    int32_t exchange_result;  // 0 accepted, else the exchange reason code
    char exchange_text[81];  // exchange reason text, GBK
    uint8_t reserved6[1];
    uint8_t value_282[8];
    uint8_t reserved7[6];
};

// Exchange answer to a quote action (1021). Accept when exchange_result is 0.
struct ostrel_client_quote_action_market_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    int32_t client_token;
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t opt_1;
    uint8_t field_29;
    uint8_t opt_3;
    uint8_t cancel_mode;
    uint8_t field_32;
    uint8_t reserved1[11];
    uint32_t exchange_result;  // 0 accepted, else the exchange reason code
    uint8_t reserved2[82];
    uint8_t value_130[8];
    uint8_t reserved3[7];
};

// Exchange report on a quote (1022).
struct ostrel_client_quote_market_report {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    uint8_t reserved3[4];
    uint8_t field_52;
    uint8_t reserved4[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved5[24];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char quote_text_2[24];
    uint8_t reserved6[44];
    char text_1[24];
    char text_2[24];
    char text_3[24];
    uint8_t field_268;
    uint8_t value_269[16];
    uint8_t reserved7[11];
};

// Quote entered by another session of the user (1023).
struct post_quote_received {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[3];
    uint8_t exchange_id;
    uint8_t opt_6;
    uint8_t reserved2[1];
    uint8_t opt_5;
    int32_t quantity_1;
    int32_t quantity_2;
    int64_t price_1;  // price times 10000
    int64_t price_2;  // price times 10000
    uint8_t opt_2;
    uint8_t opt_4;
    uint8_t opt_1;
    uint8_t opt_3;
    int32_t client_token;
    uint8_t reserved3[4];
    uint8_t field_52;
    uint8_t reserved4[3];
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved5[24];
    int32_t field_116;
    int32_t field_120;
    int32_t field_124;
    char quote_text_2[24];
    uint8_t reserved6[44];
    char text_1[24];
    char text_2[24];
    char text_3[24];
    uint8_t field_268;
    uint8_t value_269[8];
    uint8_t value_277[8];
    uint8_t reserved7[11];
};

// Server answer to a combination order (1025). Accept when check_result is 0.
struct ostrel_client_combo_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t exchange_id;
    uint8_t opt_2;
    uint8_t reserved1[1];
    uint8_t opt_5;
    uint8_t opt_3;
    int32_t client_token;
    int32_t opt_1;
    int32_t field_22;
    char account[16];  // may fill the field with no NUL
    char legs[80];  // may fill the field with no NUL
    uint8_t field_122;
    uint8_t reserved2[21];
    uint32_t check_result;  // 0 passed, else a reason value
    uint8_t value_148[8];
    uint8_t reserved3[4];
};

// Exchange answer to a combination order (1026). Accept when exchange_result is 0.
struct ostrel_client_combo_insert_market_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t exchange_id;
    uint8_t opt_2;
    uint8_t reserved1[1];
    uint8_t opt_5;
    uint8_t opt_3;
    int32_t client_token;
    int32_t opt_1;
    int32_t field_22;
    char account[16];  // may fill the field with no NUL
    char legs[80];  // may fill the field with no NUL
    uint8_t field_122;
    uint8_t reserved2[21];
    int32_t exchange_result;  // 0 accepted, else the exchange reason code
    char exchange_text[81];  // exchange reason text, GBK
    uint8_t value_229[8];
    uint8_t reserved3[3];
};

// Server answer to a special order (1030). Accept when check_result is 0.
struct ostrel_client_special_order_insert_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t reserved1[1];
    uint8_t opt_4;
    uint8_t reserved2[1];
    int32_t opt_2;
    uint8_t opt_1;
    uint8_t opt_5;
    uint8_t reserved3[1];
    uint8_t opt_8;
    int32_t client_token;
    int32_t field_24;
    char account[16];  // may fill the field with no NUL
    char symbol[20];  // may fill the field with no NUL
    uint8_t reserved4[4];
    int32_t opt_3;
    uint32_t check_result;  // 0 passed, else a reason value
    uint8_t value_76[8];
    uint8_t reserved5[8];
};

// Server answer to a special-order cancel (1031). Accept when check_result is 0.
struct ostrel_client_special_order_action_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    uint8_t reserved1[4];
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t reserved2[16];
    uint32_t check_result;  // 0 accepted, else a mask of failed cancel checks
    int64_t order_no;
    uint8_t reserved3[9];
};

// Exchange answer to a special order (1032). Accept when exchange_result is 0.
struct ostrel_client_special_order_insert_market_resp {
    msg_header header;
    int32_t request_tag;
    uint8_t user_id_low;  // low byte of the user id
    uint8_t exchange_id;
    uint8_t opt_4;
    uint8_t reserved1[8];
    uint8_t opt_8;
    int32_t client_token;
    int32_t field_24;
    char account[16];  // may fill the field with no NUL
    uint8_t reserved2[20];
    uint8_t field_64;
    uint8_t reserved3[7];
    char exchange_order_id[24];  // may fill the field with no NUL
    int32_t exchange_result;  // 0 accepted, else the exchange reason code
    char exchange_text[81];  // exchange reason text, GBK
    uint8_t value_181[8];
    uint8_t reserved4[11];
};

// Exchange answer to a special-order cancel (1033). Accept when exchange_result is 0.
struct ostrel_client_special_order_action_market_resp {
    msg_header header;
    int32_t request_tag;
    int32_t user_id;
    int32_t client_token;
    int32_t market_token;
    int32_t owner_user_id;
    int32_t owner_token;
    uint8_t opt_1;
    uint8_t reserved1[1];
    uint8_t cancel_mode;
    uint8_t reserved2[4];
    uint8_t field_35;
    uint8_t reserved3[8];
    uint32_t exchange_result;  // 0 accepted, else the exchange cancel reason code
    uint8_t reserved4[81];
    uint8_t value_129[8];
    uint8_t reserved5[1];
    uint8_t exchange_id;  // chooses the reason-text map
    uint8_t reserved6[9];
};

#pragma pack(pop)

// Sizes are the fixed lengths of the protocol; offsets are those of the message tables.
static_assert(sizeof(ostrel_client_order_insert_resp) == 120, "ostrel_client_order_insert_resp");
static_assert(offsetof(ostrel_client_order_insert_resp, request_tag) == 4, "ostrel_client_order_insert_resp.request_tag");
static_assert(offsetof(ostrel_client_order_insert_resp, user_id_low) == 8, "ostrel_client_order_insert_resp.user_id_low");
static_assert(offsetof(ostrel_client_order_insert_resp, field_10) == 10, "ostrel_client_order_insert_resp.field_10");
static_assert(offsetof(ostrel_client_order_insert_resp, opt_4) == 13, "ostrel_client_order_insert_resp.opt_4");
static_assert(offsetof(ostrel_client_order_insert_resp, side) == 17, "ostrel_client_order_insert_resp.side");
static_assert(offsetof(ostrel_client_order_insert_resp, opt_5) == 18, "ostrel_client_order_insert_resp.opt_5");
static_assert(offsetof(ostrel_client_order_insert_resp, opt_1) == 19, "ostrel_client_order_insert_resp.opt_1");
static_assert(offsetof(ostrel_client_order_insert_resp, client_token) == 20, "ostrel_client_order_insert_resp.client_token");
static_assert(offsetof(ostrel_client_order_insert_resp, quantity) == 24, "ostrel_client_order_insert_resp.quantity");
static_assert(offsetof(ostrel_client_order_insert_resp, opt_2) == 28, "ostrel_client_order_insert_resp.opt_2");
static_assert(offsetof(ostrel_client_order_insert_resp, price) == 32, "ostrel_client_order_insert_resp.price");
static_assert(offsetof(ostrel_client_order_insert_resp, opt_3) == 52, "ostrel_client_order_insert_resp.opt_3");
static_assert(offsetof(ostrel_client_order_insert_resp, field_56) == 56, "ostrel_client_order_insert_resp.field_56");
static_assert(offsetof(ostrel_client_order_insert_resp, account) == 60, "ostrel_client_order_insert_resp.account");
static_assert(offsetof(ostrel_client_order_insert_resp, symbol) == 76, "ostrel_client_order_insert_resp.symbol");
static_assert(offsetof(ostrel_client_order_insert_resp, check_result) == 100, "ostrel_client_order_insert_resp.check_result");
static_assert(offsetof(ostrel_client_order_insert_resp, order_no) == 104, "ostrel_client_order_insert_resp.order_no");
static_assert(offsetof(ostrel_client_order_insert_resp, risk_check_mask) == 112, "ostrel_client_order_insert_resp.risk_check_mask");

static_assert(sizeof(ostrel_client_order_insert_market_resp) == 232, "ostrel_client_order_insert_market_resp");
static_assert(offsetof(ostrel_client_order_insert_market_resp, request_tag) == 4, "ostrel_client_order_insert_market_resp.request_tag");
static_assert(offsetof(ostrel_client_order_insert_market_resp, user_id_low) == 8, "ostrel_client_order_insert_market_resp.user_id_low");
static_assert(offsetof(ostrel_client_order_insert_market_resp, field_10) == 10, "ostrel_client_order_insert_market_resp.field_10");
static_assert(offsetof(ostrel_client_order_insert_market_resp, exchange_id) == 12, "ostrel_client_order_insert_market_resp.exchange_id");
static_assert(offsetof(ostrel_client_order_insert_market_resp, opt_4) == 13, "ostrel_client_order_insert_market_resp.opt_4");
static_assert(offsetof(ostrel_client_order_insert_market_resp, side) == 17, "ostrel_client_order_insert_market_resp.side");
static_assert(offsetof(ostrel_client_order_insert_market_resp, client_token) == 20, "ostrel_client_order_insert_market_resp.client_token");
static_assert(offsetof(ostrel_client_order_insert_market_resp, field_49) == 49, "ostrel_client_order_insert_market_resp.field_49");
static_assert(offsetof(ostrel_client_order_insert_market_resp, field_56) == 56, "ostrel_client_order_insert_market_resp.field_56");
static_assert(offsetof(ostrel_client_order_insert_market_resp, account) == 60, "ostrel_client_order_insert_market_resp.account");
static_assert(offsetof(ostrel_client_order_insert_market_resp, symbol) == 76, "ostrel_client_order_insert_market_resp.symbol");
static_assert(offsetof(ostrel_client_order_insert_market_resp, exchange_order_id) == 100, "ostrel_client_order_insert_market_resp.exchange_order_id");
static_assert(offsetof(ostrel_client_order_insert_market_resp, exchange_result) == 132, "ostrel_client_order_insert_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_order_insert_market_resp, exchange_text) == 136, "ostrel_client_order_insert_market_resp.exchange_text");
static_assert(offsetof(ostrel_client_order_insert_market_resp, value_217) == 217, "ostrel_client_order_insert_market_resp.value_217");

static_assert(sizeof(ostrel_client_order_action_resp) == 64, "ostrel_client_order_action_resp");
static_assert(offsetof(ostrel_client_order_action_resp, request_tag) == 4, "ostrel_client_order_action_resp.request_tag");
static_assert(offsetof(ostrel_client_order_action_resp, user_id) == 8, "ostrel_client_order_action_resp.user_id");
static_assert(offsetof(ostrel_client_order_action_resp, market_token) == 16, "ostrel_client_order_action_resp.market_token");
static_assert(offsetof(ostrel_client_order_action_resp, owner_user_id) == 20, "ostrel_client_order_action_resp.owner_user_id");
static_assert(offsetof(ostrel_client_order_action_resp, owner_token) == 24, "ostrel_client_order_action_resp.owner_token");
static_assert(offsetof(ostrel_client_order_action_resp, opt_3) == 30, "ostrel_client_order_action_resp.opt_3");
static_assert(offsetof(ostrel_client_order_action_resp, check_result) == 44, "ostrel_client_order_action_resp.check_result");
static_assert(offsetof(ostrel_client_order_action_resp, order_no) == 48, "ostrel_client_order_action_resp.order_no");

static_assert(sizeof(ostrel_client_order_action_market_resp) == 144, "ostrel_client_order_action_market_resp");
static_assert(offsetof(ostrel_client_order_action_market_resp, request_tag) == 4, "ostrel_client_order_action_market_resp.request_tag");
static_assert(offsetof(ostrel_client_order_action_market_resp, user_id) == 8, "ostrel_client_order_action_market_resp.user_id");
static_assert(offsetof(ostrel_client_order_action_market_resp, client_token) == 12, "ostrel_client_order_action_market_resp.client_token");
static_assert(offsetof(ostrel_client_order_action_market_resp, market_token) == 16, "ostrel_client_order_action_market_resp.market_token");
static_assert(offsetof(ostrel_client_order_action_market_resp, owner_user_id) == 20, "ostrel_client_order_action_market_resp.owner_user_id");
static_assert(offsetof(ostrel_client_order_action_market_resp, owner_token) == 24, "ostrel_client_order_action_market_resp.owner_token");
static_assert(offsetof(ostrel_client_order_action_market_resp, opt_1) == 28, "ostrel_client_order_action_market_resp.opt_1");
static_assert(offsetof(ostrel_client_order_action_market_resp, opt_3) == 30, "ostrel_client_order_action_market_resp.opt_3");
static_assert(offsetof(ostrel_client_order_action_market_resp, cancel_mode) == 31, "ostrel_client_order_action_market_resp.cancel_mode");
static_assert(offsetof(ostrel_client_order_action_market_resp, field_32) == 32, "ostrel_client_order_action_market_resp.field_32");
static_assert(offsetof(ostrel_client_order_action_market_resp, exchange_result) == 44, "ostrel_client_order_action_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_order_action_market_resp, value_129) == 129, "ostrel_client_order_action_market_resp.value_129");
static_assert(offsetof(ostrel_client_order_action_market_resp, exchange_id) == 138, "ostrel_client_order_action_market_resp.exchange_id");

static_assert(sizeof(order_execution_received) == 136, "order_execution_received");
static_assert(offsetof(order_execution_received, field_4) == 4, "order_execution_received.field_4");
static_assert(offsetof(order_execution_received, value_24) == 24, "order_execution_received.value_24");
static_assert(offsetof(order_execution_received, order_no) == 32, "order_execution_received.order_no");
static_assert(offsetof(order_execution_received, field_41) == 41, "order_execution_received.field_41");
static_assert(offsetof(order_execution_received, field_42) == 42, "order_execution_received.field_42");
static_assert(offsetof(order_execution_received, field_46) == 46, "order_execution_received.field_46");
static_assert(offsetof(order_execution_received, text_50) == 50, "order_execution_received.text_50");
static_assert(offsetof(order_execution_received, filled_quantity) == 74, "order_execution_received.filled_quantity");
static_assert(offsetof(order_execution_received, fill_price) == 78, "order_execution_received.fill_price");
static_assert(offsetof(order_execution_received, text_86) == 86, "order_execution_received.text_86");
static_assert(offsetof(order_execution_received, field_110) == 110, "order_execution_received.field_110");
static_assert(offsetof(order_execution_received, field_111) == 111, "order_execution_received.field_111");
static_assert(offsetof(order_execution_received, symbol) == 112, "order_execution_received.symbol");
static_assert(offsetof(order_execution_received, field_132) == 132, "order_execution_received.field_132");
static_assert(offsetof(order_execution_received, field_133) == 133, "order_execution_received.field_133");
static_assert(offsetof(order_execution_received, marker) == 134, "order_execution_received.marker");
static_assert(offsetof(order_execution_received, field_135) == 135, "order_execution_received.field_135");

static_assert(sizeof(ostrel_client_order_market_report) == 158, "ostrel_client_order_market_report");
static_assert(offsetof(ostrel_client_order_market_report, request_tag) == 4, "ostrel_client_order_market_report.request_tag");
static_assert(offsetof(ostrel_client_order_market_report, user_id_low) == 8, "ostrel_client_order_market_report.user_id_low");
static_assert(offsetof(ostrel_client_order_market_report, exchange_id) == 12, "ostrel_client_order_market_report.exchange_id");
static_assert(offsetof(ostrel_client_order_market_report, opt_4) == 13, "ostrel_client_order_market_report.opt_4");
static_assert(offsetof(ostrel_client_order_market_report, opt_8) == 15, "ostrel_client_order_market_report.opt_8");
static_assert(offsetof(ostrel_client_order_market_report, opt_7) == 16, "ostrel_client_order_market_report.opt_7");
static_assert(offsetof(ostrel_client_order_market_report, side) == 17, "ostrel_client_order_market_report.side");
static_assert(offsetof(ostrel_client_order_market_report, opt_5) == 18, "ostrel_client_order_market_report.opt_5");
static_assert(offsetof(ostrel_client_order_market_report, opt_1) == 19, "ostrel_client_order_market_report.opt_1");
static_assert(offsetof(ostrel_client_order_market_report, client_token) == 20, "ostrel_client_order_market_report.client_token");
static_assert(offsetof(ostrel_client_order_market_report, quantity) == 24, "ostrel_client_order_market_report.quantity");
static_assert(offsetof(ostrel_client_order_market_report, opt_2) == 28, "ostrel_client_order_market_report.opt_2");
static_assert(offsetof(ostrel_client_order_market_report, price) == 32, "ostrel_client_order_market_report.price");
static_assert(offsetof(ostrel_client_order_market_report, second_price) == 40, "ostrel_client_order_market_report.second_price");
static_assert(offsetof(ostrel_client_order_market_report, opt_9) == 48, "ostrel_client_order_market_report.opt_9");
static_assert(offsetof(ostrel_client_order_market_report, field_49) == 49, "ostrel_client_order_market_report.field_49");
static_assert(offsetof(ostrel_client_order_market_report, field_56) == 56, "ostrel_client_order_market_report.field_56");
static_assert(offsetof(ostrel_client_order_market_report, account) == 60, "ostrel_client_order_market_report.account");
static_assert(offsetof(ostrel_client_order_market_report, symbol) == 76, "ostrel_client_order_market_report.symbol");
static_assert(offsetof(ostrel_client_order_market_report, exchange_order_id) == 100, "ostrel_client_order_market_report.exchange_order_id");
static_assert(offsetof(ostrel_client_order_market_report, field_124) == 124, "ostrel_client_order_market_report.field_124");
static_assert(offsetof(ostrel_client_order_market_report, field_126) == 126, "ostrel_client_order_market_report.field_126");
static_assert(offsetof(ostrel_client_order_market_report, text_134) == 134, "ostrel_client_order_market_report.text_134");

static_assert(sizeof(post_order_received) == 158, "post_order_received");
static_assert(offsetof(post_order_received, request_tag) == 4, "post_order_received.request_tag");
static_assert(offsetof(post_order_received, user_id_low) == 8, "post_order_received.user_id_low");
static_assert(offsetof(post_order_received, exchange_id) == 12, "post_order_received.exchange_id");
static_assert(offsetof(post_order_received, opt_4) == 13, "post_order_received.opt_4");
static_assert(offsetof(post_order_received, opt_7) == 16, "post_order_received.opt_7");
static_assert(offsetof(post_order_received, side) == 17, "post_order_received.side");
static_assert(offsetof(post_order_received, opt_5) == 18, "post_order_received.opt_5");
static_assert(offsetof(post_order_received, client_token) == 20, "post_order_received.client_token");
static_assert(offsetof(post_order_received, quantity) == 24, "post_order_received.quantity");
static_assert(offsetof(post_order_received, price) == 32, "post_order_received.price");
static_assert(offsetof(post_order_received, field_49) == 49, "post_order_received.field_49");
static_assert(offsetof(post_order_received, field_56) == 56, "post_order_received.field_56");
static_assert(offsetof(post_order_received, account) == 60, "post_order_received.account");
static_assert(offsetof(post_order_received, symbol) == 76, "post_order_received.symbol");
static_assert(offsetof(post_order_received, exchange_order_id) == 100, "post_order_received.exchange_order_id");
static_assert(offsetof(post_order_received, field_124) == 124, "post_order_received.field_124");
static_assert(offsetof(post_order_received, kind_marker) == 125, "post_order_received.kind_marker");
static_assert(offsetof(post_order_received, value_134) == 134, "post_order_received.value_134");

static_assert(sizeof(post_special_order_received) == 137, "post_special_order_received");
static_assert(offsetof(post_special_order_received, field_4) == 4, "post_special_order_received.field_4");
static_assert(offsetof(post_special_order_received, field_8) == 8, "post_special_order_received.field_8");
static_assert(offsetof(post_special_order_received, field_9) == 9, "post_special_order_received.field_9");
static_assert(offsetof(post_special_order_received, field_12) == 12, "post_special_order_received.field_12");
static_assert(offsetof(post_special_order_received, field_16) == 16, "post_special_order_received.field_16");
static_assert(offsetof(post_special_order_received, field_17) == 17, "post_special_order_received.field_17");
static_assert(offsetof(post_special_order_received, field_19) == 19, "post_special_order_received.field_19");
static_assert(offsetof(post_special_order_received, client_token) == 20, "post_special_order_received.client_token");
static_assert(offsetof(post_special_order_received, field_24) == 24, "post_special_order_received.field_24");
static_assert(offsetof(post_special_order_received, account) == 28, "post_special_order_received.account");
static_assert(offsetof(post_special_order_received, symbol) == 44, "post_special_order_received.symbol");
static_assert(offsetof(post_special_order_received, field_64) == 64, "post_special_order_received.field_64");
static_assert(offsetof(post_special_order_received, exchange_order_id) == 72, "post_special_order_received.exchange_order_id");
static_assert(offsetof(post_special_order_received, field_96) == 96, "post_special_order_received.field_96");
static_assert(offsetof(post_special_order_received, value_97) == 97, "post_special_order_received.value_97");

static_assert(sizeof(ostrel_internal_order_insert_resp) == 144, "ostrel_internal_order_insert_resp");
static_assert(offsetof(ostrel_internal_order_insert_resp, request_tag) == 4, "ostrel_internal_order_insert_resp.request_tag");
static_assert(offsetof(ostrel_internal_order_insert_resp, user_id_low) == 8, "ostrel_internal_order_insert_resp.user_id_low");
static_assert(offsetof(ostrel_internal_order_insert_resp, exchange_id) == 12, "ostrel_internal_order_insert_resp.exchange_id");
static_assert(offsetof(ostrel_internal_order_insert_resp, opt_4) == 13, "ostrel_internal_order_insert_resp.opt_4");
static_assert(offsetof(ostrel_internal_order_insert_resp, side) == 17, "ostrel_internal_order_insert_resp.side");
static_assert(offsetof(ostrel_internal_order_insert_resp, opt_5) == 18, "ostrel_internal_order_insert_resp.opt_5");
static_assert(offsetof(ostrel_internal_order_insert_resp, quantity) == 24, "ostrel_internal_order_insert_resp.quantity");
static_assert(offsetof(ostrel_internal_order_insert_resp, price) == 32, "ostrel_internal_order_insert_resp.price");
static_assert(offsetof(ostrel_internal_order_insert_resp, field_56) == 56, "ostrel_internal_order_insert_resp.field_56");
static_assert(offsetof(ostrel_internal_order_insert_resp, account) == 60, "ostrel_internal_order_insert_resp.account");
static_assert(offsetof(ostrel_internal_order_insert_resp, symbol) == 76, "ostrel_internal_order_insert_resp.symbol");
static_assert(offsetof(ostrel_internal_order_insert_resp, order_no) == 104, "ostrel_internal_order_insert_resp.order_no");
static_assert(offsetof(ostrel_internal_order_insert_resp, exchange_order_id) == 120, "ostrel_internal_order_insert_resp.exchange_order_id");

static_assert(sizeof(ostrel_internal_order_adjust_mkt_rej_resp) == 232, "ostrel_internal_order_adjust_mkt_rej_resp");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, request_tag) == 4, "ostrel_internal_order_adjust_mkt_rej_resp.request_tag");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, user_id_low) == 8, "ostrel_internal_order_adjust_mkt_rej_resp.user_id_low");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, exchange_id) == 12, "ostrel_internal_order_adjust_mkt_rej_resp.exchange_id");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, opt_4) == 13, "ostrel_internal_order_adjust_mkt_rej_resp.opt_4");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, client_token) == 20, "ostrel_internal_order_adjust_mkt_rej_resp.client_token");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, field_56) == 56, "ostrel_internal_order_adjust_mkt_rej_resp.field_56");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, account) == 60, "ostrel_internal_order_adjust_mkt_rej_resp.account");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, exchange_result) == 132, "ostrel_internal_order_adjust_mkt_rej_resp.exchange_result");
static_assert(offsetof(ostrel_internal_order_adjust_mkt_rej_resp, value_217) == 217, "ostrel_internal_order_adjust_mkt_rej_resp.value_217");

static_assert(sizeof(ostrel_internal_quote_adjust_status_resp) == 296, "ostrel_internal_quote_adjust_status_resp");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_4) == 4, "ostrel_internal_quote_adjust_status_resp.field_4");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_8) == 8, "ostrel_internal_quote_adjust_status_resp.field_8");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_13) == 13, "ostrel_internal_quote_adjust_status_resp.field_13");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, account) == 56, "ostrel_internal_quote_adjust_status_resp.account");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_116) == 116, "ostrel_internal_quote_adjust_status_resp.field_116");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_120) == 120, "ostrel_internal_quote_adjust_status_resp.field_120");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_124) == 124, "ostrel_internal_quote_adjust_status_resp.field_124");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, text_1) == 196, "ostrel_internal_quote_adjust_status_resp.text_1");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, text_2) == 220, "ostrel_internal_quote_adjust_status_resp.text_2");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, text_3) == 244, "ostrel_internal_quote_adjust_status_resp.text_3");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, field_268) == 268, "ostrel_internal_quote_adjust_status_resp.field_268");
static_assert(offsetof(ostrel_internal_quote_adjust_status_resp, value_269) == 269, "ostrel_internal_quote_adjust_status_resp.value_269");

static_assert(sizeof(qv27_ostrel_client_passive_quote_adjust_status_resp) == 232, "qv27_ostrel_client_passive_quote_adjust_status_resp");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, request_tag) == 4, "qv27_ostrel_client_passive_quote_adjust_status_resp.request_tag");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, user_id_low) == 8, "qv27_ostrel_client_passive_quote_adjust_status_resp.user_id_low");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, exchange_id) == 12, "qv27_ostrel_client_passive_quote_adjust_status_resp.exchange_id");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_6) == 13, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_6");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_5) == 15, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_5");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, quantity_1) == 16, "qv27_ostrel_client_passive_quote_adjust_status_resp.quantity_1");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, quantity_2) == 20, "qv27_ostrel_client_passive_quote_adjust_status_resp.quantity_2");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, price_1) == 24, "qv27_ostrel_client_passive_quote_adjust_status_resp.price_1");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, price_2) == 32, "qv27_ostrel_client_passive_quote_adjust_status_resp.price_2");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_2) == 40, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_2");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_4) == 41, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_4");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_1) == 42, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_1");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, opt_3) == 43, "qv27_ostrel_client_passive_quote_adjust_status_resp.opt_3");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, client_token) == 44, "qv27_ostrel_client_passive_quote_adjust_status_resp.client_token");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, field_52) == 52, "qv27_ostrel_client_passive_quote_adjust_status_resp.field_52");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, account) == 56, "qv27_ostrel_client_passive_quote_adjust_status_resp.account");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, symbol) == 72, "qv27_ostrel_client_passive_quote_adjust_status_resp.symbol");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, field_116) == 116, "qv27_ostrel_client_passive_quote_adjust_status_resp.field_116");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, field_120) == 120, "qv27_ostrel_client_passive_quote_adjust_status_resp.field_120");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, field_124) == 124, "qv27_ostrel_client_passive_quote_adjust_status_resp.field_124");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, text_1) == 132, "qv27_ostrel_client_passive_quote_adjust_status_resp.text_1");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, text_2) == 156, "qv27_ostrel_client_passive_quote_adjust_status_resp.text_2");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, text_3) == 180, "qv27_ostrel_client_passive_quote_adjust_status_resp.text_3");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, field_204) == 204, "qv27_ostrel_client_passive_quote_adjust_status_resp.field_204");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, value_205) == 205, "qv27_ostrel_client_passive_quote_adjust_status_resp.value_205");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, value_213) == 213, "qv27_ostrel_client_passive_quote_adjust_status_resp.value_213");
static_assert(offsetof(qv27_ostrel_client_passive_quote_adjust_status_resp, marker) == 229, "qv27_ostrel_client_passive_quote_adjust_status_resp.marker");

static_assert(sizeof(ostrel_internal_quote_adjust_mkt_rej_resp) == 296, "ostrel_internal_quote_adjust_mkt_rej_resp");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_4) == 4, "ostrel_internal_quote_adjust_mkt_rej_resp.field_4");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_8) == 8, "ostrel_internal_quote_adjust_mkt_rej_resp.field_8");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_13) == 13, "ostrel_internal_quote_adjust_mkt_rej_resp.field_13");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_44) == 44, "ostrel_internal_quote_adjust_mkt_rej_resp.field_44");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, account) == 56, "ostrel_internal_quote_adjust_mkt_rej_resp.account");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_116) == 116, "ostrel_internal_quote_adjust_mkt_rej_resp.field_116");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_120) == 120, "ostrel_internal_quote_adjust_mkt_rej_resp.field_120");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, field_124) == 124, "ostrel_internal_quote_adjust_mkt_rej_resp.field_124");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, exchange_result) == 196, "ostrel_internal_quote_adjust_mkt_rej_resp.exchange_result");
static_assert(offsetof(ostrel_internal_quote_adjust_mkt_rej_resp, value_282) == 282, "ostrel_internal_quote_adjust_mkt_rej_resp.value_282");

static_assert(sizeof(ostrel_client_quote_insert_resp) == 216, "ostrel_client_quote_insert_resp");
static_assert(offsetof(ostrel_client_quote_insert_resp, request_tag) == 4, "ostrel_client_quote_insert_resp.request_tag");
static_assert(offsetof(ostrel_client_quote_insert_resp, user_id_low) == 8, "ostrel_client_quote_insert_resp.user_id_low");
static_assert(offsetof(ostrel_client_quote_insert_resp, field_10) == 10, "ostrel_client_quote_insert_resp.field_10");
static_assert(offsetof(ostrel_client_quote_insert_resp, exchange_id) == 12, "ostrel_client_quote_insert_resp.exchange_id");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_6) == 13, "ostrel_client_quote_insert_resp.opt_6");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_5) == 15, "ostrel_client_quote_insert_resp.opt_5");
static_assert(offsetof(ostrel_client_quote_insert_resp, quantity_1) == 16, "ostrel_client_quote_insert_resp.quantity_1");
static_assert(offsetof(ostrel_client_quote_insert_resp, quantity_2) == 20, "ostrel_client_quote_insert_resp.quantity_2");
static_assert(offsetof(ostrel_client_quote_insert_resp, price_1) == 24, "ostrel_client_quote_insert_resp.price_1");
static_assert(offsetof(ostrel_client_quote_insert_resp, price_2) == 32, "ostrel_client_quote_insert_resp.price_2");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_2) == 40, "ostrel_client_quote_insert_resp.opt_2");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_4) == 41, "ostrel_client_quote_insert_resp.opt_4");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_1) == 42, "ostrel_client_quote_insert_resp.opt_1");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_3) == 43, "ostrel_client_quote_insert_resp.opt_3");
static_assert(offsetof(ostrel_client_quote_insert_resp, client_token) == 44, "ostrel_client_quote_insert_resp.client_token");
static_assert(offsetof(ostrel_client_quote_insert_resp, opt_8) == 48, "ostrel_client_quote_insert_resp.opt_8");
static_assert(offsetof(ostrel_client_quote_insert_resp, field_52) == 52, "ostrel_client_quote_insert_resp.field_52");
static_assert(offsetof(ostrel_client_quote_insert_resp, account) == 56, "ostrel_client_quote_insert_resp.account");
static_assert(offsetof(ostrel_client_quote_insert_resp, symbol) == 72, "ostrel_client_quote_insert_resp.symbol");
static_assert(offsetof(ostrel_client_quote_insert_resp, field_116) == 116, "ostrel_client_quote_insert_resp.field_116");
static_assert(offsetof(ostrel_client_quote_insert_resp, field_120) == 120, "ostrel_client_quote_insert_resp.field_120");
static_assert(offsetof(ostrel_client_quote_insert_resp, field_124) == 124, "ostrel_client_quote_insert_resp.field_124");
static_assert(offsetof(ostrel_client_quote_insert_resp, quote_text_2) == 128, "ostrel_client_quote_insert_resp.quote_text_2");
static_assert(offsetof(ostrel_client_quote_insert_resp, check_result) == 196, "ostrel_client_quote_insert_resp.check_result");
static_assert(offsetof(ostrel_client_quote_insert_resp, value_200) == 200, "ostrel_client_quote_insert_resp.value_200");

static_assert(sizeof(qv27_ostrel_client_quote_insert_resp) == 216, "qv27_ostrel_client_quote_insert_resp");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, request_tag) == 4, "qv27_ostrel_client_quote_insert_resp.request_tag");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, user_id_low) == 8, "qv27_ostrel_client_quote_insert_resp.user_id_low");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, field_10) == 10, "qv27_ostrel_client_quote_insert_resp.field_10");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, exchange_id) == 12, "qv27_ostrel_client_quote_insert_resp.exchange_id");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_6) == 13, "qv27_ostrel_client_quote_insert_resp.opt_6");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_5) == 15, "qv27_ostrel_client_quote_insert_resp.opt_5");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, quantity_1) == 16, "qv27_ostrel_client_quote_insert_resp.quantity_1");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, quantity_2) == 20, "qv27_ostrel_client_quote_insert_resp.quantity_2");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, price_1) == 24, "qv27_ostrel_client_quote_insert_resp.price_1");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, price_2) == 32, "qv27_ostrel_client_quote_insert_resp.price_2");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_2) == 40, "qv27_ostrel_client_quote_insert_resp.opt_2");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_4) == 41, "qv27_ostrel_client_quote_insert_resp.opt_4");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_1) == 42, "qv27_ostrel_client_quote_insert_resp.opt_1");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_3) == 43, "qv27_ostrel_client_quote_insert_resp.opt_3");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, client_token) == 44, "qv27_ostrel_client_quote_insert_resp.client_token");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, opt_8) == 48, "qv27_ostrel_client_quote_insert_resp.opt_8");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, field_52) == 52, "qv27_ostrel_client_quote_insert_resp.field_52");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, account) == 56, "qv27_ostrel_client_quote_insert_resp.account");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, symbol) == 72, "qv27_ostrel_client_quote_insert_resp.symbol");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, field_116) == 116, "qv27_ostrel_client_quote_insert_resp.field_116");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, field_120) == 120, "qv27_ostrel_client_quote_insert_resp.field_120");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, field_124) == 124, "qv27_ostrel_client_quote_insert_resp.field_124");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, order_check_mask) == 132, "qv27_ostrel_client_quote_insert_resp.order_check_mask");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, value_136) == 136, "qv27_ostrel_client_quote_insert_resp.value_136");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, risk_check_mask) == 144, "qv27_ostrel_client_quote_insert_resp.risk_check_mask");
static_assert(offsetof(qv27_ostrel_client_quote_insert_resp, value_200) == 200, "qv27_ostrel_client_quote_insert_resp.value_200");

static_assert(sizeof(ostrel_client_quote_action_resp) == 64, "ostrel_client_quote_action_resp");
static_assert(offsetof(ostrel_client_quote_action_resp, request_tag) == 4, "ostrel_client_quote_action_resp.request_tag");
static_assert(offsetof(ostrel_client_quote_action_resp, user_id) == 8, "ostrel_client_quote_action_resp.user_id");
static_assert(offsetof(ostrel_client_quote_action_resp, client_token) == 12, "ostrel_client_quote_action_resp.client_token");
static_assert(offsetof(ostrel_client_quote_action_resp, market_token) == 16, "ostrel_client_quote_action_resp.market_token");
static_assert(offsetof(ostrel_client_quote_action_resp, owner_user_id) == 20, "ostrel_client_quote_action_resp.owner_user_id");
static_assert(offsetof(ostrel_client_quote_action_resp, owner_token) == 24, "ostrel_client_quote_action_resp.owner_token");
static_assert(offsetof(ostrel_client_quote_action_resp, opt_1) == 28, "ostrel_client_quote_action_resp.opt_1");
static_assert(offsetof(ostrel_client_quote_action_resp, field_29) == 29, "ostrel_client_quote_action_resp.field_29");
static_assert(offsetof(ostrel_client_quote_action_resp, opt_3) == 30, "ostrel_client_quote_action_resp.opt_3");
static_assert(offsetof(ostrel_client_quote_action_resp, cancel_mode) == 31, "ostrel_client_quote_action_resp.cancel_mode");
static_assert(offsetof(ostrel_client_quote_action_resp, field_32) == 32, "ostrel_client_quote_action_resp.field_32");
static_assert(offsetof(ostrel_client_quote_action_resp, check_result) == 44, "ostrel_client_quote_action_resp.check_result");
static_assert(offsetof(ostrel_client_quote_action_resp, field_48) == 48, "ostrel_client_quote_action_resp.field_48");

static_assert(sizeof(ostrel_client_quote_insert_market_resp) == 296, "ostrel_client_quote_insert_market_resp");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, request_tag) == 4, "ostrel_client_quote_insert_market_resp.request_tag");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, user_id_low) == 8, "ostrel_client_quote_insert_market_resp.user_id_low");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, field_10) == 10, "ostrel_client_quote_insert_market_resp.field_10");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, exchange_id) == 12, "ostrel_client_quote_insert_market_resp.exchange_id");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_6) == 13, "ostrel_client_quote_insert_market_resp.opt_6");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_5) == 15, "ostrel_client_quote_insert_market_resp.opt_5");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, quantity_1) == 16, "ostrel_client_quote_insert_market_resp.quantity_1");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, quantity_2) == 20, "ostrel_client_quote_insert_market_resp.quantity_2");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, price_1) == 24, "ostrel_client_quote_insert_market_resp.price_1");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, price_2) == 32, "ostrel_client_quote_insert_market_resp.price_2");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_2) == 40, "ostrel_client_quote_insert_market_resp.opt_2");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_4) == 41, "ostrel_client_quote_insert_market_resp.opt_4");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_1) == 42, "ostrel_client_quote_insert_market_resp.opt_1");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, opt_3) == 43, "ostrel_client_quote_insert_market_resp.opt_3");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, client_token) == 44, "ostrel_client_quote_insert_market_resp.client_token");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, field_52) == 52, "ostrel_client_quote_insert_market_resp.field_52");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, account) == 56, "ostrel_client_quote_insert_market_resp.account");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, symbol) == 72, "ostrel_client_quote_insert_market_resp.symbol");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, quote_text_1) == 92, "ostrel_client_quote_insert_market_resp.quote_text_1");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, field_116) == 116, "ostrel_client_quote_insert_market_resp.field_116");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, field_120) == 120, "ostrel_client_quote_insert_market_resp.field_120");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, field_124) == 124, "ostrel_client_quote_insert_market_resp.field_124");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, quote_text_2) == 128, "ostrel_client_quote_insert_market_resp.quote_text_2");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, exchange_result) == 196, "ostrel_client_quote_insert_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, exchange_text) == 200, "ostrel_client_quote_insert_market_resp.exchange_text");
static_assert(offsetof(ostrel_client_quote_insert_market_resp, value_282) == 282, "ostrel_client_quote_insert_market_resp.value_282");

static_assert(sizeof(ostrel_client_quote_action_market_resp) == 145, "ostrel_client_quote_action_market_resp");
static_assert(offsetof(ostrel_client_quote_action_market_resp, request_tag) == 4, "ostrel_client_quote_action_market_resp.request_tag");
static_assert(offsetof(ostrel_client_quote_action_market_resp, user_id) == 8, "ostrel_client_quote_action_market_resp.user_id");
static_assert(offsetof(ostrel_client_quote_action_market_resp, client_token) == 12, "ostrel_client_quote_action_market_resp.client_token");
static_assert(offsetof(ostrel_client_quote_action_market_resp, market_token) == 16, "ostrel_client_quote_action_market_resp.market_token");
static_assert(offsetof(ostrel_client_quote_action_market_resp, owner_user_id) == 20, "ostrel_client_quote_action_market_resp.owner_user_id");
static_assert(offsetof(ostrel_client_quote_action_market_resp, owner_token) == 24, "ostrel_client_quote_action_market_resp.owner_token");
static_assert(offsetof(ostrel_client_quote_action_market_resp, opt_1) == 28, "ostrel_client_quote_action_market_resp.opt_1");
static_assert(offsetof(ostrel_client_quote_action_market_resp, field_29) == 29, "ostrel_client_quote_action_market_resp.field_29");
static_assert(offsetof(ostrel_client_quote_action_market_resp, opt_3) == 30, "ostrel_client_quote_action_market_resp.opt_3");
static_assert(offsetof(ostrel_client_quote_action_market_resp, cancel_mode) == 31, "ostrel_client_quote_action_market_resp.cancel_mode");
static_assert(offsetof(ostrel_client_quote_action_market_resp, field_32) == 32, "ostrel_client_quote_action_market_resp.field_32");
static_assert(offsetof(ostrel_client_quote_action_market_resp, exchange_result) == 44, "ostrel_client_quote_action_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_quote_action_market_resp, value_130) == 130, "ostrel_client_quote_action_market_resp.value_130");

static_assert(sizeof(ostrel_client_quote_market_report) == 296, "ostrel_client_quote_market_report");
static_assert(offsetof(ostrel_client_quote_market_report, request_tag) == 4, "ostrel_client_quote_market_report.request_tag");
static_assert(offsetof(ostrel_client_quote_market_report, user_id_low) == 8, "ostrel_client_quote_market_report.user_id_low");
static_assert(offsetof(ostrel_client_quote_market_report, exchange_id) == 12, "ostrel_client_quote_market_report.exchange_id");
static_assert(offsetof(ostrel_client_quote_market_report, opt_6) == 13, "ostrel_client_quote_market_report.opt_6");
static_assert(offsetof(ostrel_client_quote_market_report, opt_5) == 15, "ostrel_client_quote_market_report.opt_5");
static_assert(offsetof(ostrel_client_quote_market_report, quantity_1) == 16, "ostrel_client_quote_market_report.quantity_1");
static_assert(offsetof(ostrel_client_quote_market_report, quantity_2) == 20, "ostrel_client_quote_market_report.quantity_2");
static_assert(offsetof(ostrel_client_quote_market_report, price_1) == 24, "ostrel_client_quote_market_report.price_1");
static_assert(offsetof(ostrel_client_quote_market_report, price_2) == 32, "ostrel_client_quote_market_report.price_2");
static_assert(offsetof(ostrel_client_quote_market_report, opt_2) == 40, "ostrel_client_quote_market_report.opt_2");
static_assert(offsetof(ostrel_client_quote_market_report, opt_4) == 41, "ostrel_client_quote_market_report.opt_4");
static_assert(offsetof(ostrel_client_quote_market_report, opt_1) == 42, "ostrel_client_quote_market_report.opt_1");
static_assert(offsetof(ostrel_client_quote_market_report, opt_3) == 43, "ostrel_client_quote_market_report.opt_3");
static_assert(offsetof(ostrel_client_quote_market_report, client_token) == 44, "ostrel_client_quote_market_report.client_token");
static_assert(offsetof(ostrel_client_quote_market_report, field_52) == 52, "ostrel_client_quote_market_report.field_52");
static_assert(offsetof(ostrel_client_quote_market_report, account) == 56, "ostrel_client_quote_market_report.account");
static_assert(offsetof(ostrel_client_quote_market_report, symbol) == 72, "ostrel_client_quote_market_report.symbol");
static_assert(offsetof(ostrel_client_quote_market_report, field_116) == 116, "ostrel_client_quote_market_report.field_116");
static_assert(offsetof(ostrel_client_quote_market_report, field_120) == 120, "ostrel_client_quote_market_report.field_120");
static_assert(offsetof(ostrel_client_quote_market_report, field_124) == 124, "ostrel_client_quote_market_report.field_124");
static_assert(offsetof(ostrel_client_quote_market_report, quote_text_2) == 128, "ostrel_client_quote_market_report.quote_text_2");
static_assert(offsetof(ostrel_client_quote_market_report, text_1) == 196, "ostrel_client_quote_market_report.text_1");
static_assert(offsetof(ostrel_client_quote_market_report, text_2) == 220, "ostrel_client_quote_market_report.text_2");
static_assert(offsetof(ostrel_client_quote_market_report, text_3) == 244, "ostrel_client_quote_market_report.text_3");
static_assert(offsetof(ostrel_client_quote_market_report, field_268) == 268, "ostrel_client_quote_market_report.field_268");
static_assert(offsetof(ostrel_client_quote_market_report, value_269) == 269, "ostrel_client_quote_market_report.value_269");

static_assert(sizeof(post_quote_received) == 296, "post_quote_received");
static_assert(offsetof(post_quote_received, request_tag) == 4, "post_quote_received.request_tag");
static_assert(offsetof(post_quote_received, user_id_low) == 8, "post_quote_received.user_id_low");
static_assert(offsetof(post_quote_received, exchange_id) == 12, "post_quote_received.exchange_id");
static_assert(offsetof(post_quote_received, opt_6) == 13, "post_quote_received.opt_6");
static_assert(offsetof(post_quote_received, opt_5) == 15, "post_quote_received.opt_5");
static_assert(offsetof(post_quote_received, quantity_1) == 16, "post_quote_received.quantity_1");
static_assert(offsetof(post_quote_received, quantity_2) == 20, "post_quote_received.quantity_2");
static_assert(offsetof(post_quote_received, price_1) == 24, "post_quote_received.price_1");
static_assert(offsetof(post_quote_received, price_2) == 32, "post_quote_received.price_2");
static_assert(offsetof(post_quote_received, opt_2) == 40, "post_quote_received.opt_2");
static_assert(offsetof(post_quote_received, opt_4) == 41, "post_quote_received.opt_4");
static_assert(offsetof(post_quote_received, opt_1) == 42, "post_quote_received.opt_1");
static_assert(offsetof(post_quote_received, opt_3) == 43, "post_quote_received.opt_3");
static_assert(offsetof(post_quote_received, client_token) == 44, "post_quote_received.client_token");
static_assert(offsetof(post_quote_received, field_52) == 52, "post_quote_received.field_52");
static_assert(offsetof(post_quote_received, account) == 56, "post_quote_received.account");
static_assert(offsetof(post_quote_received, symbol) == 72, "post_quote_received.symbol");
static_assert(offsetof(post_quote_received, field_116) == 116, "post_quote_received.field_116");
static_assert(offsetof(post_quote_received, field_120) == 120, "post_quote_received.field_120");
static_assert(offsetof(post_quote_received, field_124) == 124, "post_quote_received.field_124");
static_assert(offsetof(post_quote_received, quote_text_2) == 128, "post_quote_received.quote_text_2");
static_assert(offsetof(post_quote_received, text_1) == 196, "post_quote_received.text_1");
static_assert(offsetof(post_quote_received, text_2) == 220, "post_quote_received.text_2");
static_assert(offsetof(post_quote_received, text_3) == 244, "post_quote_received.text_3");
static_assert(offsetof(post_quote_received, field_268) == 268, "post_quote_received.field_268");
static_assert(offsetof(post_quote_received, value_269) == 269, "post_quote_received.value_269");
static_assert(offsetof(post_quote_received, value_277) == 277, "post_quote_received.value_277");

static_assert(sizeof(ostrel_client_combo_insert_resp) == 160, "ostrel_client_combo_insert_resp");
static_assert(offsetof(ostrel_client_combo_insert_resp, request_tag) == 4, "ostrel_client_combo_insert_resp.request_tag");
static_assert(offsetof(ostrel_client_combo_insert_resp, user_id_low) == 8, "ostrel_client_combo_insert_resp.user_id_low");
static_assert(offsetof(ostrel_client_combo_insert_resp, exchange_id) == 9, "ostrel_client_combo_insert_resp.exchange_id");
static_assert(offsetof(ostrel_client_combo_insert_resp, opt_2) == 10, "ostrel_client_combo_insert_resp.opt_2");
static_assert(offsetof(ostrel_client_combo_insert_resp, opt_5) == 12, "ostrel_client_combo_insert_resp.opt_5");
static_assert(offsetof(ostrel_client_combo_insert_resp, opt_3) == 13, "ostrel_client_combo_insert_resp.opt_3");
static_assert(offsetof(ostrel_client_combo_insert_resp, client_token) == 14, "ostrel_client_combo_insert_resp.client_token");
static_assert(offsetof(ostrel_client_combo_insert_resp, opt_1) == 18, "ostrel_client_combo_insert_resp.opt_1");
static_assert(offsetof(ostrel_client_combo_insert_resp, field_22) == 22, "ostrel_client_combo_insert_resp.field_22");
static_assert(offsetof(ostrel_client_combo_insert_resp, account) == 26, "ostrel_client_combo_insert_resp.account");
static_assert(offsetof(ostrel_client_combo_insert_resp, legs) == 42, "ostrel_client_combo_insert_resp.legs");
static_assert(offsetof(ostrel_client_combo_insert_resp, field_122) == 122, "ostrel_client_combo_insert_resp.field_122");
static_assert(offsetof(ostrel_client_combo_insert_resp, check_result) == 144, "ostrel_client_combo_insert_resp.check_result");
static_assert(offsetof(ostrel_client_combo_insert_resp, value_148) == 148, "ostrel_client_combo_insert_resp.value_148");

static_assert(sizeof(ostrel_client_combo_insert_market_resp) == 240, "ostrel_client_combo_insert_market_resp");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, request_tag) == 4, "ostrel_client_combo_insert_market_resp.request_tag");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, user_id_low) == 8, "ostrel_client_combo_insert_market_resp.user_id_low");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, exchange_id) == 9, "ostrel_client_combo_insert_market_resp.exchange_id");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, opt_2) == 10, "ostrel_client_combo_insert_market_resp.opt_2");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, opt_5) == 12, "ostrel_client_combo_insert_market_resp.opt_5");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, opt_3) == 13, "ostrel_client_combo_insert_market_resp.opt_3");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, client_token) == 14, "ostrel_client_combo_insert_market_resp.client_token");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, opt_1) == 18, "ostrel_client_combo_insert_market_resp.opt_1");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, field_22) == 22, "ostrel_client_combo_insert_market_resp.field_22");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, account) == 26, "ostrel_client_combo_insert_market_resp.account");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, legs) == 42, "ostrel_client_combo_insert_market_resp.legs");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, field_122) == 122, "ostrel_client_combo_insert_market_resp.field_122");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, exchange_result) == 144, "ostrel_client_combo_insert_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, exchange_text) == 148, "ostrel_client_combo_insert_market_resp.exchange_text");
static_assert(offsetof(ostrel_client_combo_insert_market_resp, value_229) == 229, "ostrel_client_combo_insert_market_resp.value_229");

static_assert(sizeof(ostrel_client_special_order_insert_resp) == 92, "ostrel_client_special_order_insert_resp");
static_assert(offsetof(ostrel_client_special_order_insert_resp, request_tag) == 4, "ostrel_client_special_order_insert_resp.request_tag");
static_assert(offsetof(ostrel_client_special_order_insert_resp, user_id_low) == 8, "ostrel_client_special_order_insert_resp.user_id_low");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_4) == 10, "ostrel_client_special_order_insert_resp.opt_4");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_2) == 12, "ostrel_client_special_order_insert_resp.opt_2");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_1) == 16, "ostrel_client_special_order_insert_resp.opt_1");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_5) == 17, "ostrel_client_special_order_insert_resp.opt_5");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_8) == 19, "ostrel_client_special_order_insert_resp.opt_8");
static_assert(offsetof(ostrel_client_special_order_insert_resp, client_token) == 20, "ostrel_client_special_order_insert_resp.client_token");
static_assert(offsetof(ostrel_client_special_order_insert_resp, field_24) == 24, "ostrel_client_special_order_insert_resp.field_24");
static_assert(offsetof(ostrel_client_special_order_insert_resp, account) == 28, "ostrel_client_special_order_insert_resp.account");
static_assert(offsetof(ostrel_client_special_order_insert_resp, symbol) == 44, "ostrel_client_special_order_insert_resp.symbol");
static_assert(offsetof(ostrel_client_special_order_insert_resp, opt_3) == 68, "ostrel_client_special_order_insert_resp.opt_3");
static_assert(offsetof(ostrel_client_special_order_insert_resp, check_result) == 72, "ostrel_client_special_order_insert_resp.check_result");
static_assert(offsetof(ostrel_client_special_order_insert_resp, value_76) == 76, "ostrel_client_special_order_insert_resp.value_76");

static_assert(sizeof(ostrel_client_special_order_action_resp) == 65, "ostrel_client_special_order_action_resp");
static_assert(offsetof(ostrel_client_special_order_action_resp, request_tag) == 4, "ostrel_client_special_order_action_resp.request_tag");
static_assert(offsetof(ostrel_client_special_order_action_resp, user_id) == 8, "ostrel_client_special_order_action_resp.user_id");
static_assert(offsetof(ostrel_client_special_order_action_resp, market_token) == 16, "ostrel_client_special_order_action_resp.market_token");
static_assert(offsetof(ostrel_client_special_order_action_resp, owner_user_id) == 20, "ostrel_client_special_order_action_resp.owner_user_id");
static_assert(offsetof(ostrel_client_special_order_action_resp, owner_token) == 24, "ostrel_client_special_order_action_resp.owner_token");
static_assert(offsetof(ostrel_client_special_order_action_resp, check_result) == 44, "ostrel_client_special_order_action_resp.check_result");
static_assert(offsetof(ostrel_client_special_order_action_resp, order_no) == 48, "ostrel_client_special_order_action_resp.order_no");

static_assert(sizeof(ostrel_client_special_order_insert_market_resp) == 200, "ostrel_client_special_order_insert_market_resp");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, request_tag) == 4, "ostrel_client_special_order_insert_market_resp.request_tag");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, user_id_low) == 8, "ostrel_client_special_order_insert_market_resp.user_id_low");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, exchange_id) == 9, "ostrel_client_special_order_insert_market_resp.exchange_id");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, opt_4) == 10, "ostrel_client_special_order_insert_market_resp.opt_4");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, opt_8) == 19, "ostrel_client_special_order_insert_market_resp.opt_8");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, client_token) == 20, "ostrel_client_special_order_insert_market_resp.client_token");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, field_24) == 24, "ostrel_client_special_order_insert_market_resp.field_24");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, account) == 28, "ostrel_client_special_order_insert_market_resp.account");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, field_64) == 64, "ostrel_client_special_order_insert_market_resp.field_64");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, exchange_order_id) == 72, "ostrel_client_special_order_insert_market_resp.exchange_order_id");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, exchange_result) == 96, "ostrel_client_special_order_insert_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, exchange_text) == 100, "ostrel_client_special_order_insert_market_resp.exchange_text");
static_assert(offsetof(ostrel_client_special_order_insert_market_resp, value_181) == 181, "ostrel_client_special_order_insert_market_resp.value_181");

static_assert(sizeof(ostrel_client_special_order_action_market_resp) == 148, "ostrel_client_special_order_action_market_resp");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, request_tag) == 4, "ostrel_client_special_order_action_market_resp.request_tag");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, user_id) == 8, "ostrel_client_special_order_action_market_resp.user_id");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, client_token) == 12, "ostrel_client_special_order_action_market_resp.client_token");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, market_token) == 16, "ostrel_client_special_order_action_market_resp.market_token");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, owner_user_id) == 20, "ostrel_client_special_order_action_market_resp.owner_user_id");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, owner_token) == 24, "ostrel_client_special_order_action_market_resp.owner_token");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, opt_1) == 28, "ostrel_client_special_order_action_market_resp.opt_1");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, cancel_mode) == 30, "ostrel_client_special_order_action_market_resp.cancel_mode");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, field_35) == 35, "ostrel_client_special_order_action_market_resp.field_35");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, exchange_result) == 44, "ostrel_client_special_order_action_market_resp.exchange_result");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, value_129) == 129, "ostrel_client_special_order_action_market_resp.value_129");
static_assert(offsetof(ostrel_client_special_order_action_market_resp, exchange_id) == 138, "ostrel_client_special_order_action_market_resp.exchange_id");

}  // namespace HUX_TRADE_WIRE

#endif

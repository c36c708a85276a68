/* Records and callback types that an application of the adapter library
 * (libhuxadapter) sees. Several share their names with the trade library's
 * records but not their layouts: an application uses one library's headers
 * only. Packed, little-endian, usable from C and C++. */
#ifndef HUX_ADAPTER_STRUCT_H
#define HUX_ADAPTER_STRUCT_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#pragma pack(push, 1)

/* Connection record of the two sessions (68 bytes). Every copy the adapter
 * makes starts from the defaults: zero except kernel_bypass 1,
 * exit_on_signal 1, heartbeat_interval 5 and rsp_cpu -1 (the C++ default
 * constructor sets them; a C application sets them itself). */
typedef struct HUX_TradeSvrInfo {
    char server_ip[16];          /* 0: trade server IPv4 address, dotted text */
    uint16_t tcp_port;           /* 16: trade server TCP port */
    uint16_t udp_port;           /* 18: server port of the UDP order channel; 0 = none */
    char query_ip[16];           /* 20: query server IPv4 address, dotted text */
    uint16_t query_port;         /* 36: query server TCP port */
    char local_ip[16];           /* 38: local address of the UDP order channel; picks the card */
    uint16_t local_udp_port;     /* 54: local UDP port of the order channel */
    uint8_t keep_timestamps;     /* 56: 1 = kernel-bypass senders keep transmit timestamps */
    uint8_t blocking_tcp;        /* 57: 1 = the epoll TCP client in its blocking form */
    uint8_t kernel_bypass;       /* 58: read at every connect; 0 = always the kernel UDP socket */
    uint8_t exit_on_signal;      /* 59: 1 = SIGINT ends the process */
    uint8_t tcp_direct;          /* 60: 1 = TCPDirect plug-in on a Solarflare card */
    int32_t heartbeat_interval;  /* 61: seconds; 0 = no heart-beat setting */
    int16_t rsp_cpu;             /* 65: CPU of the trade receive thread; negative = none */
    /* 67: 1 = trade sends take a spin lock, and the client flow control
       counts under it, so orders and cancels may be sent from several
       threads at once; 0 = no lock, and the application sends orders and
       cancels from one thread at a time (concurrent senders could admit more
       than the flow-control window allows). */
    uint8_t send_lock;
#ifdef __cplusplus
    HUX_TradeSvrInfo()
        : server_ip(), tcp_port(0), udp_port(0), query_ip(), query_port(0), local_ip(), local_udp_port(0),
          keep_timestamps(0), blocking_tcp(0), kernel_bypass(1), exit_on_signal(1), tcp_direct(0),
          heartbeat_interval(5), rsp_cpu(-1), send_lock(0) {}
#endif
} HUX_TradeSvrInfo;

/* Logon answer handed to the logon callback (32 bytes). The adapter's own
 * results: 6 the trade logon request could not be sent, 8 the query session
 * could not connect, 15 the heart-beat setting could not be sent, 99 a
 * logon answer without a logon request on this connection; any other
 * non-zero value is the trade or query server's. */
typedef struct HUX_LogonResponse {
    int32_t result;               /* 0: 0 logged on, otherwise the reason */
    uint32_t user_id;             /* 4: numeric user id */
    int32_t logon_value;          /* 8: int32 at 53 of the trade logon answer */
    int32_t max_token;            /* 12: the account's current maximum order token */
    uint32_t order_fc_count;      /* 16: server's order flow-control limit */
    uint32_t order_fc_window_us;  /* 20: server's order flow-control window, microseconds */
    uint32_t cancel_fc_count;     /* 24: server's cancel flow-control limit */
    uint32_t cancel_fc_window_us; /* 28: server's cancel flow-control window, microseconds */
} HUX_LogonResponse;

#pragma pack(pop)

#include "hux_static_assert.h"
HUX_STATIC_ASSERT(sizeof(HUX_TradeSvrInfo) == 68, "HUX_TradeSvrInfo is 68 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, query_ip) == 20, "query_ip at 20");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, query_port) == 36, "query_port at 36");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, local_ip) == 38, "local_ip at 38");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, local_udp_port) == 54, "local_udp_port at 54");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, exit_on_signal) == 59, "exit_on_signal at 59");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, tcp_direct) == 60, "tcp_direct at 60");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, heartbeat_interval) == 61, "heartbeat_interval at 61");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, rsp_cpu) == 65, "rsp_cpu at 65");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, send_lock) == 67, "send_lock at 67");
HUX_STATIC_ASSERT(sizeof(HUX_LogonResponse) == 32, "HUX_LogonResponse is 32 bytes");

/* Callbacks: the API handle comes first; a record pointer is valid only
 * during the call. */
typedef void (*HUX_ConnectionEvent)(void* handle, int code, const char* text);
typedef void (*HUX_UserLogonEvent)(void* handle, HUX_LogonResponse* rsp);
typedef void (*HUX_HeartBeatTimeoutEvent)(void* handle, int seconds);

#pragma pack(push, 1)

/* ---------------------------------------------------------------------
 * Result records of the trade answers (21), with their callbacks.
 *
 * Each is built on the handler's stack for the duration of the callback,
 * zeroed first unless said otherwise, so a field not filled stays 0. A field
 * wider than the wire field it carries holds the value zero-extended
 * (uint32_t for a widened byte, uint64_t for a widened 32-bit value). Prices
 * are doubles: the wire's signed 1/10000 units divided by 10000.0.
 *
 * Texts: an account field of 17 bytes holds the 16 wire bytes and a zero
 * byte; an exchange order identifier of 25 bytes the 24 wire bytes and a
 * zero byte; a symbol copied "up to its terminator" may fill its field with
 * no NUL; the exchange's reason texts arrive in GB2312 and are handed over
 * in UTF-8, at most 80 bytes and a terminator (cut byte-wise).
 * Eight-byte values that the server sends without stating their meaning are
 * carried unchanged as value_<wire offset>.
 * --------------------------------------------------------------------- */

/* Trading server accepted a new order (1010; 96 bytes). */
typedef struct HUX_OrderAcceptField {
    uint32_t client_token;       /* 0 */
    uint64_t server_order_field; /* 4: wire 56 */
    uint8_t result_flag;         /* 12: always 0 */
    uint32_t user_id;            /* 13: low byte of the user id */
    int64_t order_no;            /* 17: order number given by the server */
    char account[17];            /* 25 */
    uint8_t side;                /* 42 */
    uint8_t exchange_id;         /* 43 */
    char symbol[20];             /* 44: up to the wire NUL; 20 characters leave no NUL */
    uint8_t symbol_kind;         /* 64: 2 when the symbol has 8 or more characters and
                                    ends in a digit, else 3 */
    double price;                /* 65 */
    uint32_t quantity;           /* 73 */
    uint8_t reserved_77;         /* 77: always 0 */
    uint32_t opt_1;              /* 78: request byte 1 -> 0, 2 -> 2, 0 -> 99998, any other -> 0 */
    uint32_t opt_2;              /* 82 */
    uint64_t opt_3;              /* 86 */
    uint8_t opt_4;               /* 94 */
    uint8_t opt_5;               /* 95 */
} HUX_OrderAcceptField;

/* Exchange accepted a new order (1012), or reported it (1015 with status
 * 1 to 3; 67 bytes). */
typedef struct HUX_OrderMarketAcceptField {
    char account[17];            /* 0 */
    uint64_t server_order_field; /* 17: wire 56 */
    char exchange_order_id[25];  /* 25 */
    uint8_t exchange_value[8];   /* 50: 1012 its eight bytes at 217, 1015 those at 134 */
    uint32_t user_id;            /* 58: low byte of the user id */
    uint32_t client_token;       /* 62 */
    uint8_t status;              /* 66: 1015 its status (1 to 3); 1012: 0 */
} HUX_OrderMarketAcceptField;

/* Trading server refused a new order (1010; 2194 bytes).
 *
 * reject_value is a mask of failed checks when above 63: every set bit adds
 * its text and ";" to reason_text (";" alone for a bit without text) and
 * sets flags[its reason code], and the first non-zero reason code of the set
 * bits, lowest bit first, goes to reason_code (bit 15's code, 15, never
 * does). The flag area is indexed by reason code: the flag of code N is the
 * byte at +18 + N.
 * Values 1 to 8 and 60 are single reasons: value_text holds the reason,
 * reason_code and one flag are set from this table:
 *   value  1  2  3  4  5  6   7  8  60
 *   flag 114 115 65 66 67 65  52 50 109   (flags[N], the byte at +18 + N)
 *   code 114 115 65 66 67 113 52 50 109
 * Value 6 shares value 3's flag (flags[65]) but reports code 113.
 * Any other value gives no text, no flag and code 0. */
typedef struct HUX_OrderRejectField {
    uint32_t user_id;            /* 0: low byte of the user id */
    int64_t order_no;            /* 4 */
    uint32_t client_token;       /* 12 */
    uint8_t result_flag;         /* 16: always 1 */
    uint8_t reason_code;         /* 17 */
    uint8_t flags[128];          /* 18: one byte per reason code */
    char reason_text[1024];      /* 146: joined mask texts, UTF-8 */
    char value_text[1024];       /* 1170: text of a single reject value, UTF-8 */
} HUX_OrderRejectField;

/* Exchange refused a new order (1012; 127 bytes). */
typedef struct HUX_OrderMarketRejectField {
    char account[17];            /* 0 */
    uint64_t server_order_field; /* 17: wire 56 */
    uint8_t value_217[8];        /* 25 */
    char reason_text[81];        /* 33: the exchange's text, UTF-8 */
    uint8_t exchange_id;         /* 114 */
    uint32_t reason_code;        /* 115: the exchange's reason code */
    uint32_t user_id;            /* 119: low byte of the user id */
    uint32_t client_token;       /* 123 */
} HUX_OrderMarketRejectField;

/* Fill of an order of this session (1014; 69 bytes). */
typedef struct HUX_OrderExecutionField {
    uint32_t field_133;          /* 0: one wire byte */
    int64_t order_no;            /* 4 */
    uint32_t field_42;           /* 12 */
    uint64_t field_46;           /* 16: a 32-bit wire value */
    uint32_t filled_quantity;    /* 24 */
    double fill_price;           /* 28 */
    uint64_t reserved_36;        /* 36: always 0 */
    char text_86[25];            /* 44: at most 24 characters and a NUL */
} HUX_OrderExecutionField;

/* Order cancelled (1015 and 1016 with status 4; 29 bytes). */
typedef struct HUX_OrderCxled {
    uint32_t user_id;            /* 0: low byte of the user id */
    uint8_t value_142[8];        /* 4 */
    uint32_t client_token;       /* 12 */
    uint64_t server_order_field; /* 16: wire 56 */
    uint32_t field_130;          /* 24 */
    uint8_t result_flag;         /* 28: always 1 */
} HUX_OrderCxled;

/* A cancel refused by the trading server (1011) or the exchange (1013;
 * 127 bytes). From 1011 the reason code is a key chosen from the mask of
 * failed checks: the first of the bits 4, 32, 2, 128, 512, 256, 16 that is
 * set, plus 1; the mask itself when none is. */
typedef struct HUX_CxlOrderRej {
    uint8_t reserved_0[17];      /* 0: always 0 */
    uint64_t market_token;       /* 17 */
    uint32_t reason_code;        /* 25 */
    char reason_text[88];        /* 29: UTF-8 */
    uint32_t user_id;            /* 117 */
    uint32_t client_token;       /* 121: the cancel's token */
    uint8_t exchange_id;         /* 125: 1013 only */
    uint8_t opt_3;               /* 126 */
} HUX_CxlOrderRej;

/* Order entered by another session of the user (1016 with status below 4),
 * or created (2201) or changed (2202) by the trading server (104 bytes). */
typedef struct HUX_PostOrder {
    uint32_t user_id;            /* 0: low byte of the user id */
    uint8_t order_value[8];      /* 4: 1016 the eight bytes at 142, 2201 the order
                                    number, 2202 the eight bytes at 134 */
    uint64_t server_order_field; /* 12: wire 56 */
    uint32_t reserved_20;        /* 20: always 0 */
    uint8_t side;                /* 24 */
    uint32_t quantity;           /* 25 */
    uint8_t symbol_kind;         /* 29: as in HUX_OrderAcceptField; 2202: 0 */
    char symbol[20];             /* 30: up to the wire NUL */
    double price;                /* 50 */
    char account[17];            /* 58 */
    uint8_t exchange_id;         /* 75 */
    uint8_t reserved_76;         /* 76: always 0 */
    uint8_t status;              /* 77: 2201: 0 */
    char exchange_order_id[25];  /* 78 */
    uint8_t opt_5;               /* 103 */
} HUX_PostOrder;

/* Fill of an order of another session (1017) or of a server-internal order
 * (2203; 65 bytes). */
typedef struct HUX_PostOrderExecution {
    uint32_t field_133;          /* 0: one wire byte */
    int64_t order_no;            /* 4 */
    uint64_t field_46;           /* 12: a 32-bit wire value */
    uint32_t filled_quantity;    /* 20 */
    double fill_price;           /* 24 */
    uint64_t filled_quantity_2;  /* 32: 2203 the filled quantity again; 1017: 0 */
    char text_86[25];            /* 40: at most 24 characters and a NUL */
} HUX_PostOrderExecution;

/* Trading server accepted a special order (1030; 77 bytes). */
typedef struct HUX_SpecialOrderAcceptField {
    uint32_t request_tag;        /* 0 */
    uint32_t client_token;       /* 4 */
    uint32_t field_24;           /* 8 */
    uint32_t user_id;            /* 12: low byte of the user id */
    uint8_t value_76[8];         /* 16 */
    char account[17];            /* 24 */
    uint8_t opt_1;               /* 41 */
    uint32_t opt_2;              /* 42 */
    char symbol[29];             /* 46: the 20-byte wire symbol up to its NUL */
    uint8_t opt_4;               /* 75 */
    uint8_t opt_5;               /* 76 */
} HUX_SpecialOrderAcceptField;

/* Trading server refused a special order (1030; 2073 bytes). A value above
 * 63 is a mask: reason_text joins the texts of its bits as in
 * HUX_OrderRejectField (no flags, no code); values 1 to 4 give value_text. */
typedef struct HUX_SpecialOrderRejectField {
    uint32_t request_tag;        /* 0 */
    uint32_t user_id;            /* 4: low byte of the user id */
    uint8_t value_76[8];         /* 8 */
    uint32_t client_token;       /* 16 */
    uint8_t result_flag;         /* 20: always 1 */
    uint32_t reject_value;       /* 21: the mask or value as received */
    char reason_text[1024];      /* 25: UTF-8 */
    char value_text[1024];       /* 1049: UTF-8 */
} HUX_SpecialOrderRejectField;

/* Exchange accepted a special order (1032; 66 bytes). */
typedef struct HUX_SpecialOrderMarketAcceptField {
    uint32_t request_tag;        /* 0 */
    char account[17];            /* 4 */
    uint32_t field_24;           /* 21 */
    char exchange_order_id[25];  /* 25 */
    uint8_t value_181[8];        /* 50 */
    uint32_t user_id;            /* 58: low byte of the user id */
    uint32_t client_token;       /* 62 */
} HUX_SpecialOrderMarketAcceptField;

/* Exchange refused a special order (1032; 127 bytes). */
typedef struct HUX_SpecialOrderMarketRejectField {
    uint32_t request_tag;        /* 0 */
    char account[17];            /* 4 */
    uint32_t field_24;           /* 21 */
    uint8_t value_181[8];        /* 25 */
    char reason_text[81];        /* 33: the exchange's text, UTF-8 */
    uint8_t reserved_114;        /* 114: always 0 */
    uint32_t reason_code;        /* 115: the exchange's reason code */
    uint32_t user_id;            /* 119: low byte of the user id */
    uint32_t client_token;       /* 123 */
} HUX_SpecialOrderMarketRejectField;

/* Trading server accepted a special-order cancel (1031; 28 bytes). */
typedef struct HUX_SpecialOrderActionAccept {
    uint32_t request_tag;        /* 0 */
    uint32_t user_id;            /* 4 */
    int64_t order_no;            /* 8 */
    uint32_t owner_token;        /* 16 */
    uint32_t owner_user_id;      /* 20 */
    uint32_t market_token;       /* 24 */
} HUX_SpecialOrderActionAccept;

/* Trading server refused a special-order cancel (1031). Its fields take 116
 * bytes, not the 112 once stated for it: 112 cannot hold them and nothing
 * says which would be narrower, so all are laid out at their full widths.
 * reason_code is chosen from the mask as for HUX_CxlOrderRej. */
typedef struct HUX_SpecialOrderActionRej {
    uint32_t request_tag;        /* 0 */
    uint32_t market_token;       /* 4 */
    uint32_t reason_code;        /* 8 */
    char reason_text[88];        /* 12: UTF-8 */
    uint32_t owner_user_id;      /* 100 */
    uint32_t owner_token;        /* 104 */
    int64_t order_no;            /* 108 */
} HUX_SpecialOrderActionRej;

/* Exchange accepted a special-order cancel (1033; 33 bytes). */
typedef struct HUX_SpecialOrderActionMarketAcceptField {
    uint32_t request_tag;        /* 0 */
    uint32_t market_token;       /* 4 */
    uint32_t user_id;            /* 8 */
    uint32_t client_token;       /* 12: the cancel's token */
    uint8_t cancel_mode;         /* 16 */
    uint32_t owner_user_id;      /* 17 */
    uint32_t owner_token;        /* 21 */
    uint8_t value_129[8];        /* 25 */
} HUX_SpecialOrderActionMarketAcceptField;

/* Exchange refused a special-order cancel (1033): 125 bytes, of which the
 * fields take 118; the 7 bytes at 118 to 124 are always 0, so a caller that
 * copies 125 bytes stays inside the record. */
typedef struct HUX_SpecialOrderActionMarketRejectField {
    uint32_t request_tag;        /* 0 */
    uint32_t market_token;       /* 4 */
    uint32_t user_id;            /* 8 */
    uint32_t client_token;       /* 12: the cancel's token */
    uint8_t cancel_mode;         /* 16 */
    uint32_t owner_user_id;      /* 17 */
    uint32_t owner_token;        /* 21 */
    uint8_t value_129[8];        /* 25 */
    uint32_t reason_code;        /* 33: the exchange's reason code */
    char reason_text[81];        /* 37: the exchange's text, UTF-8 */
    uint8_t reserved_118[7];     /* 118: always 0 */
} HUX_SpecialOrderActionMarketRejectField;

/* Special order entered by another session of the user (1034; 95 bytes). */
typedef struct HUX_PostSpecialOrder {
    uint32_t field_4;            /* 0 */
    uint32_t user_id;            /* 4: low byte of the user id */
    uint8_t value_97[8];         /* 8 */
    uint32_t field_24;           /* 16 */
    uint32_t reserved_20;        /* 20: always 0 */
    uint8_t field_16;            /* 24 */
    uint32_t field_12;           /* 25 */
    char symbol[20];             /* 29: up to the wire NUL */
    char account[17];            /* 49 */
    uint8_t field_9;             /* 66 */
    uint8_t reserved_67;         /* 67: always 0 */
    uint8_t field_96;            /* 68 */
    char exchange_order_id[25];  /* 69 */
    uint8_t field_17;            /* 94 */
} HUX_PostSpecialOrder;

/* Market sessions of one exchange (1084; 257 bytes). */
typedef struct HUX_ExchangeMarketSession {
    uint8_t exchange_id;         /* 0 */
    uint8_t session_count;       /* 1 */
    uint8_t sessions[255];       /* 2 */
} HUX_ExchangeMarketSession;

/* Status of one symbol (1086 report, 1087 answer; 36 bytes). */
typedef struct HUX_SymbolStatus {
    uint8_t first_field;         /* 0 */
    char symbol[20];             /* 1: at most 19 characters and a NUL */
    uint8_t byte_a;              /* 21 */
    uint32_t value;              /* 22 */
    char short_text[9];          /* 26: at most 8 characters and a NUL */
    uint8_t byte_b;              /* 35 */
} HUX_SymbolStatus;

/* Answer to a session id query (1094; 25 bytes). */
typedef struct HUX_SessionID {
    char session[17];            /* 0: at most 16 characters and a NUL */
    uint32_t value_a;            /* 17: one wire byte */
    uint32_t value_b;            /* 21: one wire byte */
} HUX_SessionID;

#pragma pack(pop)

HUX_STATIC_ASSERT(sizeof(HUX_OrderAcceptField) == 96, "HUX_OrderAcceptField is 96 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketAcceptField) == 67, "HUX_OrderMarketAcceptField is 67 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_OrderRejectField) == 2194, "HUX_OrderRejectField is 2194 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_OrderRejectField, flags) == 18, "the flag area starts at 18");
HUX_STATIC_ASSERT(sizeof(HUX_OrderMarketRejectField) == 127, "HUX_OrderMarketRejectField is 127 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_OrderExecutionField) == 69, "HUX_OrderExecutionField is 69 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_OrderCxled) == 29, "HUX_OrderCxled is 29 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_CxlOrderRej) == 127, "HUX_CxlOrderRej is 127 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_PostOrder) == 104, "HUX_PostOrder is 104 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_PostOrderExecution) == 65, "HUX_PostOrderExecution is 65 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderAcceptField) == 77, "HUX_SpecialOrderAcceptField is 77 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderRejectField) == 2073, "HUX_SpecialOrderRejectField is 2073 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketAcceptField) == 66, "HUX_SpecialOrderMarketAcceptField is 66 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderMarketRejectField) == 127, "HUX_SpecialOrderMarketRejectField is 127 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionAccept) == 28, "HUX_SpecialOrderActionAccept is 28 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionRej) == 116, "HUX_SpecialOrderActionRej is 116 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketAcceptField) == 33,
                  "HUX_SpecialOrderActionMarketAcceptField is 33 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SpecialOrderActionMarketRejectField) == 125,
                  "HUX_SpecialOrderActionMarketRejectField is 125 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_PostSpecialOrder) == 95, "HUX_PostSpecialOrder is 95 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_ExchangeMarketSession) == 257, "HUX_ExchangeMarketSession is 257 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SymbolStatus) == 36, "HUX_SymbolStatus is 36 bytes");
HUX_STATIC_ASSERT(sizeof(HUX_SessionID) == 25, "HUX_SessionID is 25 bytes");

/* Callbacks of the trade answers: the API handle first, then the record
 * (valid only during the call) or the listed values. */
typedef void (*HUX_OrderAcceptEvent)(void* handle, HUX_OrderAcceptField* rec);
typedef void (*HUX_OrderRejectEvent)(void* handle, HUX_OrderRejectField* rec);
typedef void (*HUX_OrderMarketAcceptEvent)(void* handle, HUX_OrderMarketAcceptField* rec);
typedef void (*HUX_OrderMarketRejectEvent)(void* handle, HUX_OrderMarketRejectField* rec);
typedef void (*HUX_OrderExecutionEvent)(void* handle, HUX_OrderExecutionField* rec);
typedef void (*HUX_OrderCxledEvent)(void* handle, HUX_OrderCxled* rec);
typedef void (*HUX_CxlOrderRejectEvent)(void* handle, HUX_CxlOrderRej* rec);
typedef void (*HUX_PostOrderEvent)(void* handle, HUX_PostOrder* rec);
typedef void (*HUX_PostOrderExecutionEvent)(void* handle, HUX_PostOrderExecution* rec);
typedef void (*HUX_QueryMarketSessionEvent)(void* handle, HUX_ExchangeMarketSession* session, bool last);
typedef void (*HUX_MarketSessionStatReportEvent)(void* handle, uint8_t session, bool flag);
typedef void (*HUX_SymbolStatusReportEvent)(void* handle, HUX_SymbolStatus* status);
typedef void (*HUX_QuerySymbolStatusEvent)(void* handle, HUX_SymbolStatus* status, bool last);
typedef void (*HUX_QuerySessionIDEvent)(void* handle, HUX_SessionID* session);
typedef void (*HUX_SpecialOrderAcceptEvent)(void* handle, HUX_SpecialOrderAcceptField* rec);
typedef void (*HUX_SpecialOrderRejectEvent)(void* handle, HUX_SpecialOrderRejectField* rec);
typedef void (*HUX_SpecialOrderActionAcceptEvent)(void* handle, HUX_SpecialOrderActionAccept* rec);
typedef void (*HUX_SpecialOrderActionRejectEvent)(void* handle, HUX_SpecialOrderActionRej* rec);
typedef void (*HUX_SpecialOrderMarketAcceptEvent)(void* handle, HUX_SpecialOrderMarketAcceptField* rec);
typedef void (*HUX_SpecialOrderMarketRejectEvent)(void* handle, HUX_SpecialOrderMarketRejectField* rec);
typedef void (*HUX_SpecialOrderActionMarketAcceptEvent)(void* handle, HUX_SpecialOrderActionMarketAcceptField* rec);
typedef void (*HUX_SpecialOrderActionMarketRejectEvent)(void* handle, HUX_SpecialOrderActionMarketRejectField* rec);
typedef void (*HUX_PostSpecialOrderEvent)(void* handle, HUX_PostSpecialOrder* rec);

#endif

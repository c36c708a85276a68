/* Records and callback types of the adapter's query answers: account,
 * position, buying-power, margin, fee, rewind, symbol and risk data, as an
 * application of the adapter library (libhuxadapter) receives them. Several
 * share their names with the trade library's records but not their
 * layouts: an application uses one library's headers only. Packed,
 * little-endian, usable from C and C++.
 *
 * Every record is zeroed, then filled from one answer, and is valid only
 * during the callback that receives it (copy what you keep). A value given
 * as "a wire byte" or "a 32-bit wire value" is zero-extended to the field's
 * width; every other number is copied bit for bit. Values whose meaning is
 * the server's are named value_<byte offset in the answer>.
 *
 * Texts: an account field of 17 bytes holds at most the 16 wire bytes and a
 * NUL. Other texts say how far they are copied; a text that fills its field
 * has no NUL only where that is said. Copies stop at the answer's NUL.
 *
 * Series: a query answered by a series of messages ends with one callback
 * whose record is all zero and whose `last` is true.
 *
 * Two records are laid out differently from their first description, which
 * did not fit their own fields:
 * - HUX_AccountBP is 89 bytes: an account of 17 bytes and nine doubles.
 * - HUX_AccountRiskData is 957 bytes and ends with the whole int64 at 949;
 *   no separate zero byte follows it (such a byte would overwrite the top
 *   byte of that value). */
#ifndef HUX_ADAPTER_QUERY_STRUCT_H
#define HUX_ADAPTER_QUERY_STRUCT_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "hux_static_assert.h"

#pragma pack(push, 1)

/* One account of the user (answer 1071; 69 bytes). */
typedef struct HUX_AccountInfo {
    char account[17];            /* 0 */
    uint32_t value_29;           /* 17 */
    double amounts[6];           /* 21: answer 33, 41, 49, 57, 65, 73 */
} HUX_AccountInfo;

/* One futures position (answer 1073; 86 bytes). */
typedef struct HUX_AccountPosition {
    char account[17];            /* 0 */
    char symbol[20];             /* 17: at most 19 characters and a NUL */
    uint32_t value_53;           /* 37: a wire byte */
    uint32_t value_54;           /* 41 */
    uint32_t value_66;           /* 45 */
    uint32_t value_70;           /* 49 */
    uint32_t value_74;           /* 53 */
    uint32_t value_78;           /* 57 */
    double value_82;             /* 61 */
    double value_90;             /* 69 */
    double value_138;            /* 77 */
    uint8_t value_146;           /* 85 */
} HUX_AccountPosition;

/* One option position (answer 1092; 131 bytes). Underlying, call or put and
 * strike are read from the option symbol: for exchanges 102, 104 and 108 a
 * symbol of the form <underlying>-<C or P>-<strike>, for the others
 * <underlying><C or P><strike> (for exchange 105 the underlying ends at its
 * last digit). */
typedef struct HUX_AccountOptionPosition {
    char account[17];            /* 0 */
    char symbol[20];             /* 17: at most 19 characters and a NUL */
    uint32_t value_95;           /* 37: a wire byte */
    char underlying[20];         /* 41: at most 19 characters and a NUL */
    char call_put;               /* 61: 'C' or 'P' (the dash form: the character between the dashes) */
    double strike;               /* 62: a whole number */
    int32_t number_86;           /* 70: the decimal text at answer 86 */
    uint32_t value_96;           /* 74 */
    uint32_t value_144;          /* 78 */
    uint32_t value_108;          /* 82 */
    uint32_t quantity;           /* 86: exchanges 103 and 106: quantity B (answer 148);
                                    others: A + B (answer 112 plus 148, modulo 2^32) */
    uint32_t quantity_a;         /* 90: exchanges 103 and 106: quantity A (answer 112); others 0 */
    uint32_t value_116;          /* 94 */
    uint32_t value_120;          /* 98 */
    uint32_t value_124;          /* 102 */
    double value_128;            /* 106 */
    double value_136;            /* 114 */
    double value_152;            /* 122 */
    uint8_t value_160;           /* 130 */
} HUX_AccountOptionPosition;

/* Buying power, answered (1081) or pushed (1093) alike (89 bytes). */
typedef struct HUX_AccountBP {
    char account[17];            /* 0 */
    double values[9];            /* 17, 25, ..., 81: answer 32, 40, ..., 96 */
} HUX_AccountBP;

/* One margin item (answer 1077; 43 bytes). */
typedef struct HUX_AccountMargin {
    uint8_t value_25;            /* 0 */
    char symbol[20];             /* 1: up to 20 characters; no NUL when 20 long */
    uint8_t value_46;            /* 21 */
    uint32_t value_47;           /* 22 */
    uint8_t reserved_26;         /* 26: always 0 */
    double value_79;             /* 27 */
    double value_87;             /* 35 */
} HUX_AccountMargin;

/* One fee item (answer 1078; 79 bytes). */
typedef struct HUX_AccountFee {
    uint8_t value_25;            /* 0 */
    char symbol[20];             /* 1: at most 19 characters and a NUL */
    uint8_t value_46;            /* 21 */
    uint32_t value_47;           /* 22 */
    uint8_t reserved_26;         /* 26: always 0 */
    double values[6];            /* 27, 35, ..., 67: answer 79, 87, ..., 119 */
    uint32_t fee_kind;           /* 75: 1 when the answer's byte 127 is 1, else 5 */
} HUX_AccountFee;

/* One order of the order rewind (answer 1074; 132 bytes). */
typedef struct HUX_QueryAccountOrder {
    uint32_t value_9;            /* 0 */
    int64_t value_13;            /* 4 */
    uint32_t value_21;           /* 12 */
    uint8_t value_47;            /* 16 */
    uint32_t value_48;           /* 17 */
    uint8_t value_25;            /* 21 */
    char symbol[20];             /* 22: up to 20 characters; no NUL when 20 long */
    double value_52;             /* 42 */
    char account[17];            /* 50 */
    uint8_t value_90;            /* 67 */
    uint8_t reserved_68;         /* 68: always 0 */
    uint64_t value_105;          /* 69: a 32-bit wire value */
    uint8_t value_91;            /* 77 */
    int64_t value_93;            /* 78 */
    uint32_t value_101;          /* 86 */
    uint32_t coded_69;           /* 90: from the answer's byte 69: 0 -> 99998, 2 -> 2, any other -> 0 */
    uint32_t value_70;           /* 94 */
    uint64_t value_133;          /* 98: a 32-bit wire value */
    int64_t value_109;           /* 106 */
    int64_t value_117;           /* 114 */
    int64_t value_125;           /* 122 */
    uint8_t reserved_130;        /* 130: always 0 */
    uint8_t value_60;            /* 131 */
} HUX_QueryAccountOrder;

/* One execution of the execution rewind (answer 1075; 69 bytes). */
typedef struct HUX_QueryOrderExecution {
    uint32_t value_9;            /* 0 */
    int64_t value_29;            /* 4 */
    uint32_t value_37;           /* 12 */
    uint64_t value_41;           /* 16: a 32-bit wire value */
    uint32_t value_45;           /* 24 */
    double value_49;             /* 28 */
    uint8_t reserved_36[8];      /* 36: always 0 */
    char text_57[25];            /* 44: at most 24 characters and a NUL */
} HUX_QueryOrderExecution;

/* One execution of the execution rewind, extended form (answer 1063; 90
 * bytes): the first 69 bytes as HUX_QueryOrderExecution. */
typedef struct HUX_QueryOrderExecutionEx {
    uint32_t value_9;            /* 0 */
    int64_t value_29;            /* 4 */
    uint32_t value_37;           /* 12 */
    uint64_t value_41;           /* 16: a 32-bit wire value */
    uint32_t value_45;           /* 24 */
    double value_49;             /* 28 */
    uint8_t reserved_36[8];      /* 36: always 0 */
    char text_57[25];            /* 44: at most 24 characters and a NUL */
    char text_83[20];            /* 69: at most 19 characters and a NUL */
    uint8_t value_103;           /* 89 */
} HUX_QueryOrderExecutionEx;

/* One symbol of the symbol list (answer 1072; 141 bytes). Options (kind 2)
 * come with strike, call or put and underlying read from the symbol (see
 * HUX_AccountOptionPosition); an option symbol that cannot be read is not
 * delivered. */
typedef struct HUX_SymbolField {
    uint8_t symbol_kind;         /* 0: 2 = option */
    char symbol[20];             /* 1: up to 20 characters; no NUL when 20 long */
    char text_30[21];            /* 21: the symbol's second text, up to 21 characters;
                                    no NUL when 21 long */
    uint8_t exchange_id;         /* 42 */
    uint32_t value_52;           /* 43 */
    uint8_t reserved_47;         /* 47: always 0 */
    uint32_t value_84;           /* 48: a 16-bit wire value */
    uint32_t value_86;           /* 52: a wire byte */
    uint32_t value_87;           /* 56 */
    uint32_t value_91;           /* 60 */
    uint32_t value_95;           /* 64 */
    uint32_t value_99;           /* 68 */
    uint32_t value_103;          /* 72 */
    double value_107;            /* 76 */
    uint32_t value_115;          /* 84 */
    uint32_t value_119;          /* 88 */
    uint32_t value_123;          /* 92 */
    uint32_t value_127;          /* 96: 0 for options */
    uint32_t value_131;          /* 100: 0 for options */
    uint32_t value_135;          /* 104: a wire byte */
    uint32_t value_136;          /* 108: a wire byte */
    double strike;               /* 112: options only */
    char call_put;               /* 120: options only */
    char underlying[20];         /* 121: options only; at most 19 characters and a NUL */
} HUX_SymbolField;

/* Account risk data (answer 1082; 957 bytes). The comment of each line
 * gives the record offsets of its fields. */
typedef struct HUX_AccountRiskData {
    char account[17];                                       /* 0 */
    uint32_t value_24;                                      /* 17 */
    int64_t value_28;                                       /* 21 */
    double value_324, value_332, value_340, value_348;      /* 29, 37, 45, 53 */
    int64_t value_692;                                      /* 61 */
    double value_636, value_612, value_668, value_652;      /* 69, 77, 85, 93 */
    int64_t value_644, value_700, value_516, value_524;     /* 101, 109, 117, 125 */
    int64_t value_564, value_572;                           /* 133, 141 */
    double value_356, value_364;                            /* 149, 157 */
    int64_t value_388, value_396, value_404, value_412;     /* 165, 173, 181, 189 */
    int64_t value_420, value_428, value_436, value_444;     /* 197, 205, 213, 221 */
    int64_t value_548, value_556, value_596, value_604;     /* 229, 237, 245, 253 */
    int64_t value_580, value_588;                           /* 261, 269 */
    double value_708, value_948, value_372, value_380;      /* 277, 285, 293, 301 */
    int64_t value_820, value_828, value_740, value_748;     /* 309, 317, 325, 333 */
    int64_t value_756, value_764, value_772, value_780;     /* 341, 349, 357, 365 */
    int64_t value_788, value_796, value_804, value_812;     /* 373, 381, 389, 397 */
    int64_t value_852, value_732, value_956;                /* 405, 413, 421 */
    double value_724, value_964;                            /* 429, 437 */
    int64_t value_100, value_108;                           /* 445, 453 */
    double value_148, value_156;                            /* 461, 469 */
    int64_t value_228, value_236, value_532, value_540;     /* 477, 485, 493, 501 */
    int64_t value_836, value_844, value_292, value_300;     /* 509, 517, 525, 533 */
    int64_t value_308, value_316, value_260, value_268;     /* 541, 549, 557, 565 */
    int64_t value_276, value_284, value_868, value_876;     /* 573, 581, 589, 597 */
    int64_t value_884, value_892, value_900, value_908;     /* 605, 613, 621, 629 */
    int64_t value_916, value_924;                           /* 637, 645 */
    double value_52, value_60, value_932, value_940;        /* 653, 661, 669, 677 */
    double value_716, value_972;                            /* 685, 693 */
    int64_t value_68, value_76, value_116, value_124;       /* 701, 709, 717, 725 */
    double value_36, value_44, value_84, value_92;          /* 733, 741, 749, 757 */
    int64_t value_132, value_140;                           /* 765, 773 */
    double value_180, value_188;                            /* 781, 789 */
    int64_t value_164, value_172, value_212, value_220;     /* 797, 805, 813, 821 */
    double value_196, value_204, value_244, value_252;      /* 829, 837, 845, 853 */
    double value_684, value_980, value_676, value_988;      /* 861, 869, 877, 885 */
    int64_t value_452, value_460, value_468, value_476;     /* 893, 901, 909, 917 */
    int64_t value_484, value_492, value_500, value_508;     /* 925, 933, 941, 949 */
} HUX_AccountRiskData;

/* Per-symbol risk data (answer 1083; 417 bytes). The comment of each line
 * gives the record offsets of its fields. */
typedef struct HUX_AccountSymbolRiskData {
    uint32_t value_8;                                       /* 0 */
    char account[17];                                       /* 4 */
    char symbol[20];                                        /* 21: up to 20 characters; no NUL
                                                               when 20 long */
    int64_t value_48;                                       /* 41 */
    double value_56, value_64;                              /* 49, 57 */
    int64_t value_72;                                       /* 65 */
    double value_80, value_88, value_96;                    /* 73, 81, 89 */
    int64_t value_104;                                      /* 97 */
    double value_112, value_120;                            /* 105, 113 */
    int64_t value_128;                                      /* 121 */
    double value_136, value_144, value_160;                 /* 129, 137, 145 */
    uint32_t value_168, value_172, value_176, value_180;    /* 153, 157, 161, 165 */
    double value_192, value_208, value_240, value_224;      /* 169, 177, 185, 193 */
    double value_288;                                       /* 201 */
    int64_t value_296, value_304;                           /* 209, 217 */
    double value_200, value_376;                            /* 225, 233 */
    int64_t value_184;                                      /* 241 */
    double value_384, value_232, value_392, value_216;      /* 249, 257, 265, 273 */
    double value_400;                                       /* 281 */
    int64_t value_272;                                      /* 289 */
    double value_408, value_264, value_416, value_256;      /* 297, 305, 313, 321 */
    double value_424, value_248, value_432, value_152;      /* 329, 337, 345, 353 */
    double value_440, value_312;                            /* 361, 369 */
    int64_t value_320;                                      /* 377 */
    double value_328, value_344;                            /* 385, 393 */
    int64_t value_352;                                      /* 401 */
    double value_360;                                       /* 409 */
} HUX_AccountSymbolRiskData;

#pragma pack(pop)

HUX_STATIC_ASSERT(sizeof(HUX_AccountInfo) == 69, "HUX_AccountInfo is 69 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountInfo, amounts) == 21, "HUX_AccountInfo.amounts at 21");
HUX_STATIC_ASSERT(sizeof(HUX_AccountPosition) == 86, "HUX_AccountPosition is 86 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountPosition, value_53) == 37, "HUX_AccountPosition.value_53 at 37");
HUX_STATIC_ASSERT(offsetof(HUX_AccountPosition, value_82) == 61, "HUX_AccountPosition.value_82 at 61");
HUX_STATIC_ASSERT(offsetof(HUX_AccountPosition, value_146) == 85, "HUX_AccountPosition.value_146 at 85");
HUX_STATIC_ASSERT(sizeof(HUX_AccountOptionPosition) == 131, "HUX_AccountOptionPosition is 131 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, underlying) == 41, "underlying at 41");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, call_put) == 61, "call_put at 61");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, strike) == 62, "strike at 62");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, number_86) == 70, "number_86 at 70");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, quantity) == 86, "quantity at 86");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, quantity_a) == 90, "quantity_a at 90");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, value_128) == 106, "value_128 at 106");
HUX_STATIC_ASSERT(offsetof(HUX_AccountOptionPosition, value_160) == 130, "value_160 at 130");
HUX_STATIC_ASSERT(sizeof(HUX_AccountBP) == 89, "HUX_AccountBP is 89 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountBP, values) == 17, "HUX_AccountBP.values at 17");
HUX_STATIC_ASSERT(sizeof(HUX_AccountMargin) == 43, "HUX_AccountMargin is 43 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountMargin, reserved_26) == 26, "HUX_AccountMargin.reserved_26 at 26");
HUX_STATIC_ASSERT(offsetof(HUX_AccountMargin, value_87) == 35, "HUX_AccountMargin.value_87 at 35");
HUX_STATIC_ASSERT(sizeof(HUX_AccountFee) == 79, "HUX_AccountFee is 79 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountFee, values) == 27, "HUX_AccountFee.values at 27");
HUX_STATIC_ASSERT(offsetof(HUX_AccountFee, fee_kind) == 75, "HUX_AccountFee.fee_kind at 75");
HUX_STATIC_ASSERT(sizeof(HUX_QueryAccountOrder) == 132, "HUX_QueryAccountOrder is 132 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, symbol) == 22, "HUX_QueryAccountOrder.symbol at 22");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, account) == 50, "HUX_QueryAccountOrder.account at 50");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, value_105) == 69, "HUX_QueryAccountOrder.value_105 at 69");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, coded_69) == 90, "HUX_QueryAccountOrder.coded_69 at 90");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, value_133) == 98, "HUX_QueryAccountOrder.value_133 at 98");
HUX_STATIC_ASSERT(offsetof(HUX_QueryAccountOrder, value_60) == 131, "HUX_QueryAccountOrder.value_60 at 131");
HUX_STATIC_ASSERT(sizeof(HUX_QueryOrderExecution) == 69, "HUX_QueryOrderExecution is 69 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QueryOrderExecution, value_41) == 16, "HUX_QueryOrderExecution.value_41 at 16");
HUX_STATIC_ASSERT(offsetof(HUX_QueryOrderExecution, text_57) == 44, "HUX_QueryOrderExecution.text_57 at 44");
HUX_STATIC_ASSERT(sizeof(HUX_QueryOrderExecutionEx) == 90, "HUX_QueryOrderExecutionEx is 90 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_QueryOrderExecutionEx, text_57) == 44, "HUX_QueryOrderExecutionEx.text_57 at 44");
HUX_STATIC_ASSERT(offsetof(HUX_QueryOrderExecutionEx, text_83) == 69, "HUX_QueryOrderExecutionEx.text_83 at 69");
HUX_STATIC_ASSERT(sizeof(HUX_SymbolField) == 141, "HUX_SymbolField is 141 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, text_30) == 21, "HUX_SymbolField.text_30 at 21");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, value_84) == 48, "HUX_SymbolField.value_84 at 48");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, value_107) == 76, "HUX_SymbolField.value_107 at 76");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, value_127) == 96, "HUX_SymbolField.value_127 at 96");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, strike) == 112, "HUX_SymbolField.strike at 112");
HUX_STATIC_ASSERT(offsetof(HUX_SymbolField, underlying) == 121, "HUX_SymbolField.underlying at 121");
HUX_STATIC_ASSERT(sizeof(HUX_AccountRiskData) == 957, "HUX_AccountRiskData is 957 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_24) == 17, "HUX_AccountRiskData.value_24 at 17");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_948) == 285, "HUX_AccountRiskData.value_948 at 285");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_100) == 445, "HUX_AccountRiskData.value_100 at 445");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_52) == 653, "HUX_AccountRiskData.value_52 at 653");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_36) == 733, "HUX_AccountRiskData.value_36 at 733");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_452) == 893, "HUX_AccountRiskData.value_452 at 893");
HUX_STATIC_ASSERT(offsetof(HUX_AccountRiskData, value_508) == 949, "HUX_AccountRiskData.value_508 at 949");
HUX_STATIC_ASSERT(sizeof(HUX_AccountSymbolRiskData) == 417, "HUX_AccountSymbolRiskData is 417 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, account) == 4, "HUX_AccountSymbolRiskData.account at 4");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, symbol) == 21, "HUX_AccountSymbolRiskData.symbol at 21");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, value_48) == 41, "HUX_AccountSymbolRiskData.value_48 at 41");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, value_168) == 153, "HUX_AccountSymbolRiskData.value_168 at 153");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, value_192) == 169, "HUX_AccountSymbolRiskData.value_192 at 169");
HUX_STATIC_ASSERT(offsetof(HUX_AccountSymbolRiskData, value_360) == 409, "HUX_AccountSymbolRiskData.value_360 at 409");

/* Callbacks of the query answers: the API handle first. `account` is a
 * NUL-terminated copy of the answer's account (at most 16 characters);
 * `request_no` is the number the query was sent with; `last` is true for
 * the closing callback of a series. Records and texts are valid only during
 * the call. */
typedef void (*HUX_ChangePasswordEvent)(void* handle, int result);
typedef void (*HUX_QueryUserAccountEvent)(void* handle, HUX_AccountInfo* info, bool last);
typedef void (*HUX_QueryAccountPositionEvent)(void* handle, const char* account, HUX_AccountPosition* position,
                                              int request_no, bool last);
typedef void (*HUX_QueryAccountOptionPositionEvent)(void* handle, const char* account,
                                                    HUX_AccountOptionPosition* position, int request_no, bool last);
/* Buying power: `account` is the record's own account field. */
typedef void (*HUX_QueryAccountBPEvent)(void* handle, const char* account, HUX_AccountBP* bp, int request_no);
typedef void (*HUX_ReportAccountBPEvent)(void* handle, const char* account, HUX_AccountBP* bp);
/* Risk data: the int is always 0. */
typedef void (*HUX_QueryAccountRiskDataEvent)(void* handle, HUX_AccountRiskData* data, int value);
typedef void (*HUX_QueryAccountSymbolRiskDataEvent)(void* handle, HUX_AccountSymbolRiskData* data, int value);
typedef void (*HUX_QuerySymbolListEvent)(void* handle, HUX_SymbolField* symbol, bool last);
typedef void (*HUX_QueryAccountTradeMarginEvent)(void* handle, const char* account, HUX_AccountMargin* margin,
                                                 bool last);
typedef void (*HUX_QueryAccountTradeFeeEvent)(void* handle, const char* account, HUX_AccountFee* fee, bool last);
typedef void (*HUX_QueryTradeOrderEvent)(void* handle, const char* account, HUX_QueryAccountOrder* order, bool last);
typedef void (*HUX_QueryTradeOrderExecEvent)(void* handle, const char* account, HUX_QueryOrderExecution* exec,
                                             bool last);
typedef void (*HUX_QueryTradeOrderExecEventEx)(void* handle, const char* account, HUX_QueryOrderExecutionEx* exec,
                                               bool last);

#endif

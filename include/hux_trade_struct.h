/* Records and callback types that an application of the trade library sees:
 * the connection record given to ConnServer and the logon answer. Packed,
 * little-endian, usable from C and C++. */
#ifndef HUX_TRADE_STRUCT_H
#define HUX_TRADE_STRUCT_H

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)

/* Connection record of one trade session (56 bytes). */
typedef struct HUX_TradeSvrInfo {
    char server_ip[16];            /* trading server IPv4 address, dotted text */
    uint16_t tcp_port;             /* trading server TCP port */
    uint16_t udp_port;             /* server UDP port of the order channel; 0 = none */
    char local_ip[16];             /* local IPv4 address of the order channel; empty = none */
    uint16_t local_udp_port;       /* local UDP port of the order channel; 0 = none */
    uint8_t keep_timestamps;       /* 1: kernel-bypass senders keep transmit timestamps */
    uint8_t blocking_tcp;          /* 1: the synchronous TCP client runs in its blocking form */
    uint8_t kernel_bypass;         /* 1: kernel-bypass UDP sender when the card allows it */
    uint8_t tcp_direct;            /* 1: TCPDirect plug-in as TCP client on a Solarflare card */
    uint8_t exit_on_signal;        /* 1: SIGINT ends the process */
    int32_t heartbeat_interval;    /* seconds between heart-beats; 0 = none */
    int16_t rsp_cpu;               /* CPU of the receiving thread; negative = none */
    /* 1: application sends take the send spin lock, and the client flow
       control counts under it, so orders and cancels may be sent from
       several threads at once. 0: no lock; the application then sends
       orders and cancels from one thread at a time (concurrent senders
       could admit more than the flow-control window allows). */
    uint8_t send_lock;
    int32_t symbol_idx_selector;   /* sent in the symbol index query when 2, 3 or 4 */
    uint16_t symbol_idx_page_size; /* entries per symbol index page */
} HUX_TradeSvrInfo;

/* Logon answer handed to the logon callback (36 bytes). */
typedef struct HUX_LogonResponse {
    int32_t server_value;          /* int32 at offset 4 of the logon answer */
    int32_t result;                /* 0 logged on, otherwise the reason */
    uint32_t user_id;              /* numeric user id */
    int32_t logon_value;           /* int32 at offset 53 of the logon answer */
    int32_t max_token;             /* the account's current maximum order token */
    uint32_t order_fc_count;       /* server's order flow-control limit */
    uint32_t order_fc_window_us;   /* server's order flow-control window, microseconds */
    uint32_t cancel_fc_count;      /* server's cancel flow-control limit */
    uint32_t cancel_fc_window_us;  /* server's cancel flow-control window, microseconds */
} HUX_LogonResponse;

#pragma pack(pop)

#include "hux_static_assert.h"
HUX_STATIC_ASSERT(sizeof(HUX_TradeSvrInfo) == 56, "HUX_TradeSvrInfo is 56 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, tcp_port) == 16, "tcp_port at 16");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, udp_port) == 18, "udp_port at 18");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, local_ip) == 20, "local_ip at 20");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, local_udp_port) == 36, "local_udp_port at 36");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, keep_timestamps) == 38, "keep_timestamps at 38");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, blocking_tcp) == 39, "blocking_tcp at 39");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, kernel_bypass) == 40, "kernel_bypass at 40");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, tcp_direct) == 41, "tcp_direct at 41");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, exit_on_signal) == 42, "exit_on_signal at 42");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, heartbeat_interval) == 43, "heartbeat_interval at 43");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, rsp_cpu) == 47, "rsp_cpu at 47");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, send_lock) == 49, "send_lock at 49");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, symbol_idx_selector) == 50, "symbol_idx_selector at 50");
HUX_STATIC_ASSERT(offsetof(HUX_TradeSvrInfo, symbol_idx_page_size) == 54, "symbol_idx_page_size at 54");
HUX_STATIC_ASSERT(sizeof(HUX_LogonResponse) == 36, "HUX_LogonResponse is 36 bytes");
HUX_STATIC_ASSERT(offsetof(HUX_LogonResponse, result) == 4, "result at 4");
HUX_STATIC_ASSERT(offsetof(HUX_LogonResponse, cancel_fc_window_us) == 32, "cancel_fc_window_us at 32");

/* Callbacks: the session handle comes first; a record pointer is valid only
 * during the call. */
typedef void (*HUX_ConnectionEvent)(void* handle, int code, const char* text);
typedef void (*HUX_UserLogonEvent)(void* handle, HUX_LogonResponse* rsp, int sock);
typedef void (*HUX_HeartBeatTimeoutEvent)(void* handle, int seconds);

#endif

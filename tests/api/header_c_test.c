/* Compiles every public header meant for C as strict C11 (-pedantic -Werror)
 * and links against libhuxtrade.so alone: an application written in C can
 * build its records, hand the library its callbacks and drive a session
 * through the C interface. Exits 0 when every check holds, else prints each
 * failed check and exits 1. */
#include <stdio.h>
#include <string.h>

#include "hux_static_assert.h"
#include "hux_trade_answer_struct.h"
#include "hux_trade_request_struct.h"
#include "hux_trade_status_struct.h"
#include "hux_tcp_quote.h"
#include "hux_trade_struct.h"
#include "mv_hux_trade.h"

static int failures = 0;

#define CHECK(cond)                                                       \
    do {                                                                  \
        if (!(cond)) {                                                    \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                   \
        }                                                                 \
    } while (0)

static int connection_events = 0;

static void on_connection(void* handle, int code, const char* text) {
    (void)handle;
    (void)code;
    (void)text;
    ++connection_events;
}

static void on_order_accept(void* handle, HUX_OrderAcceptField* rec) {
    (void)handle;
    (void)rec;
}

static void on_query_market_session(void* handle, HUX_ExchangeMarketSession* rec, bool last) {
    (void)handle;
    (void)rec;
    (void)last;
}

int main(void) {
    int user_value = 42;
    void* handle;
    HUX_TradeSvrInfo info;
    HUX_EnterOrderField order;
    HUX_CancelOrder cancel;
    unsigned int token = 0;
    long long timestamps[4];
    int count = 4;
    /* The library's functions are usable as C function pointers. */
    int (*set_connection)(void*, HUX_ConnectionEvent) = MVHUX_SetConnectionEvent;
    HUX_OrderAcceptEvent accept_event = on_order_accept;

    memset(&info, 0, sizeof(info));
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = 1;
    info.rsp_cpu = -1;

    memset(&order, 0, sizeof(order));
    strcpy(order.account, "ACCOUNT-1");
    strcpy(order.symbol, "IF2406");
    order.exchange_id = 100;
    order.side = 1;
    order.price = 3500.5;
    order.quantity = 2;
    order.client_token = 101;

    memset(&cancel, 0, sizeof(cancel));

    /* Every function but the constructor refuses a null handle with 8. */
    CHECK(MVHUX_DestroyTrade(NULL) == HUX_RESULT_NULL_HANDLE);
    CHECK(MVHUX_GetUserParam(NULL) == NULL);
    CHECK(set_connection(NULL, on_connection) == HUX_RESULT_NULL_HANDLE);
    CHECK(MVHUX_EnterOrder(NULL, &order, false) == HUX_RESULT_NULL_HANDLE);

    handle = MVHUX_CreateTrade(&user_value);
    CHECK(handle != NULL);
    if (handle == NULL) return 1;
    CHECK(MVHUX_GetUserParam(handle) == &user_value);

    CHECK(set_connection(handle, on_connection) == HUX_RESULT_OK);
    CHECK(MVHUX_SetOrderAcceptEvent(handle, accept_event) == HUX_RESULT_OK);
    CHECK(MVHUX_SetQueryMarketSessionEvent(handle, on_query_market_session) == HUX_RESULT_OK);
    CHECK(MVHUX_SetConnectionEvent(handle, NULL) == HUX_RESULT_OK);
    CHECK(MVHUX_SetConnectionEvent(handle, on_connection) == HUX_RESULT_OK);

    /* Not connected: orders, cancels, queries and the token are refused. */
    CHECK(MVHUX_EnterOrder(handle, &order, false) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_CancelOrder(handle, &cancel) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_QueryMarketSession(handle) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_QuerySessionID(handle, "S1", 100) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_GetMaxToken(handle, &token) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_UserLogon(handle, "trader01", "pw", "app-x", "AUTH123") == HUX_RESULT_NOT_CONNECTED);

    CHECK(MVHUX_ConnServer(handle, NULL, false) == HUX_RESULT_NULL_ARGUMENT);
    CHECK(MVHUX_GetTimestamps(handle, timestamps, &count) == HUX_RESULT_OK);
    CHECK(count == 0);
    CHECK(MVHUX_SetMaxWaitTime(handle, 5) == HUX_RESULT_OK);
    CHECK(MVHUX_SetLoggerSwitch(handle, true) == HUX_RESULT_OK);
    CHECK(MVHUX_LoggerFlush(handle) == HUX_RESULT_OK);
    /* The verification value is defined without a connection; the same
     * record gives the same value. */
    CHECK(MVHUX_CalcVerificationValue(handle, &order) == MVHUX_CalcVerificationValue(handle, &order));

    /* A session that never connected disconnects without an event. */
    CHECK(MVHUX_DisConnServer(handle) == HUX_RESULT_OK);
    CHECK(connection_events == 0);
    CHECK(MVHUX_DestroyTrade(handle) == HUX_RESULT_OK);

    /* The ring buffer's C functions: a byte written past the end is the
     * byte at the start (volatile: the compiler takes the two addresses for
     * two bytes); a length that is not a page multiple is refused. */
    {
        volatile char* ring = (volatile char*)mmap_ringbuff(4096);
        CHECK(ring != NULL);
        if (ring != NULL) {
            ring[4096 + 7] = 'x';
            CHECK(ring[7] == 'x');
            unmmap_ringbuff((void*)ring, 4096);
        }
        CHECK(mmap_ringbuff(100) == NULL);
    }

    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("C interface of libhuxtrade.so: all checks passed\n");
    return 0;
}

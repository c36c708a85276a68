/* Compiles the adapter's public header as strict C11 (-pedantic -Werror) and
 * links against libhuxadapter.so alone: a C application builds its records,
 * hands the library plain C callbacks and drives a handle through the C
 * interface. Nothing here reaches a server: the checks are those a handle
 * answers on its own. Exits 0 when every check holds, else prints each
 * failed check and exits 1. */
#include <stdio.h>
#include <string.h>

#include "mv_hux_adapter.h"

static int failures = 0;

#define CHECK(cond)                                                                      \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);    \
            ++failures;                                                                  \
        }                                                                                \
    } while (0)

static void on_connection(void* handle, int code, const char* text) {
    (void)handle;
    (void)code;
    (void)text;
}
static void on_position(void* handle, const char* account, HUX_AccountPosition* rec, int request_no, bool last) {
    (void)handle;
    (void)account;
    (void)rec;
    (void)request_no;
    (void)last;
}
static void on_mbl(void* handle, HUX_MarketMBLData* rec, bool last) {
    (void)handle;
    (void)rec;
    (void)last;
}

/* The header's own record and the codes, as C sees them. */
HUX_STATIC_ASSERT(sizeof(HUX_MarketMBLData) == 1, "C: HUX_MarketMBLData");
HUX_STATIC_ASSERT(HUX_RESULT_TEXT_TOO_LONG == 256, "C: the over-long text code");

int main(void) {
    int user_value = 7;
    void* handle;
    HUX_EnterOrderField order;
    HUX_CancelOrder cancels[2];
    unsigned int token = 0;
    long long stamps[2];
    int count = 2;
    /* The functions are usable as C function pointers. */
    int (*set_position)(void*, HUX_QueryAccountPositionEvent) = MVHUX_SetQueryAccountPositionEvent;

    memset(&order, 0, sizeof(order));
    memset(cancels, 0, sizeof(cancels));

    /* A null handle: 8, except the four that have no result for it. */
    CHECK(MVHUX_DestroyTrade(NULL) == HUX_RESULT_NULL_HANDLE);
    CHECK(MVHUX_GetUserParam(NULL) == NULL);
    MVHUX_SetLogDir(NULL, "logs");
    MVHUX_SetUserId(NULL, 5);
    CHECK(MVHUX_QueryMarketMBLData(NULL, 1, 2, "a", "b", 3) == 0);
    CHECK(MVHUX_CalcVerificationValue(NULL, &order) == 0);
    CHECK(MVHUX_EnterMultiCxlOrders(NULL, cancels, 2) == HUX_RESULT_NULL_HANDLE);
    CHECK(set_position(NULL, on_position) == HUX_RESULT_NULL_HANDLE);

    handle = MVHUX_CreateTrade(&user_value);
    CHECK(handle != NULL);
    CHECK(MVHUX_GetUserParam(handle) == &user_value);
    CHECK(MVHUX_SetConnectionEvent(handle, on_connection) == HUX_RESULT_OK);
    CHECK(set_position(handle, on_position) == HUX_RESULT_OK);
    CHECK(MVHUX_SetQueryMarketMBLDataEvent(handle, on_mbl) == HUX_RESULT_OK);
    CHECK(MVHUX_SetMaxWaitTime(handle, 10, 20) == HUX_RESULT_OK);
    CHECK(MVHUX_GetTimestamps(handle, stamps, &count) == HUX_RESULT_OK);
    CHECK(count == 0);
    CHECK(MVHUX_ConnServer(handle, NULL) == HUX_RESULT_NULL_ARGUMENT);
    /* Not connected: 7 before anything else is looked at. */
    CHECK(MVHUX_UserLogon(handle, "u", "p", "a", "c") == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_GetMaxToken(handle, &token) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_EnterOrder(handle, NULL) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_QueryAccountRiskData(handle, "ACC", NULL, 0, 0) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_QuerySessionID(handle, "S", 100) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_QueryMarketMBLData(handle, 1, 2, NULL, NULL, 3) == 0);
    CHECK(MVHUX_DisConnServer(handle) == HUX_RESULT_OK);
    CHECK(MVHUX_DestroyTrade(handle) == HUX_RESULT_OK);

    if (failures) return 1;
    printf("adapter C header: every check held\n");
    return 0;
}

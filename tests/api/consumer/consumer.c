/* A C application built against the installed library alone: connects to
 * the trade server named on its command line, logs on, sends one order and
 * waits for its accept. Prints one line per step; exits 0 when the order is
 * accepted, 1 on any failure.
 *
 *   consumer_c IP PORT USER PASSWORD
 */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "mv_hux_trade.h"

static pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_cond = PTHREAD_COND_INITIALIZER;
static int g_connected;
static int g_logged_on;
static HUX_LogonResponse g_logon;
static int g_accepted;
static HUX_OrderAcceptField g_accept;

static void on_connection(void* handle, int code, const char* text) {
    (void)handle;
    (void)text;
    pthread_mutex_lock(&g_mutex);
    if (code == 0) g_connected = 1;
    pthread_cond_broadcast(&g_cond);
    pthread_mutex_unlock(&g_mutex);
}

static void on_logon(void* handle, HUX_LogonResponse* rsp, int sock) {
    (void)handle;
    (void)sock;
    pthread_mutex_lock(&g_mutex);
    g_logon = *rsp;
    g_logged_on = 1;
    pthread_cond_broadcast(&g_cond);
    pthread_mutex_unlock(&g_mutex);
}

static void on_order_accept(void* handle, HUX_OrderAcceptField* rec) {
    (void)handle;
    pthread_mutex_lock(&g_mutex);
    g_accept = *rec;
    g_accepted = 1;
    pthread_cond_broadcast(&g_cond);
    pthread_mutex_unlock(&g_mutex);
}

/* How long a wait for a callback may last, in milliseconds: the tests' wait
 * setting HUX_TEST_WAIT_MS, 10,000 when unset. */
static long wait_ms(void) {
    const char* text = getenv("HUX_TEST_WAIT_MS");
    const long ms = text != NULL ? atol(text) : 0;
    return ms > 0 ? ms : 10000;
}

/* Waits up to wait_ms() for *flag to be set by a callback. */
static int wait_flag(const int* flag) {
    struct timespec deadline;
    int done;
    const long ms = wait_ms();
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += (ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    pthread_mutex_lock(&g_mutex);
    while (!*flag) {
        if (pthread_cond_timedwait(&g_cond, &g_mutex, &deadline) == ETIMEDOUT) break;
    }
    done = *flag;
    pthread_mutex_unlock(&g_mutex);
    return done;
}

static int run(void* h, const char* ip, unsigned port, const char* user, const char* password) {
    HUX_TradeSvrInfo info;
    HUX_EnterOrderField order;
    int32_t max_token;
    int rc;

    memset(&info, 0, sizeof(info));
    strncpy(info.server_ip, ip, sizeof(info.server_ip) - 1);
    info.tcp_port = (uint16_t)port;
    info.rsp_cpu = -1;
    rc = MVHUX_ConnServer(h, &info, false);
    if (rc != HUX_RESULT_OK || !wait_flag(&g_connected)) {
        printf("consumer_c: connect failed (code %d)\n", rc);
        return 1;
    }
    rc = MVHUX_UserLogon(h, user, password, "consumer-c", "CONSUMER");
    if (rc != HUX_RESULT_OK || !wait_flag(&g_logged_on) || g_logon.result != 0) {
        printf("consumer_c: logon failed (code %d, result %d)\n", rc, (int)g_logon.result);
        return 1;
    }
    max_token = g_logon.max_token;
    printf("consumer_c: logged on, max token %d\n", (int)max_token);

    memset(&order, 0, sizeof(order));
    order.request_tag = 77;
    strncpy(order.account, "ACC001", sizeof(order.account));
    order.side = 1;
    order.exchange_id = 101;
    strncpy(order.symbol, "HXF2612", sizeof(order.symbol));
    order.price = 4012.5;
    order.quantity = 3;
    order.client_token = (uint32_t)max_token + 1;
    order.opt_8 = 1;
    rc = MVHUX_EnterOrder(h, &order, false);
    if (rc != HUX_RESULT_OK || !wait_flag(&g_accepted)) {
        printf("consumer_c: order not accepted (code %d)\n", rc);
        return 1;
    }
    if (g_accept.request_tag != 77 || g_accept.client_token != max_token + 1 || g_accept.quantity != 3 ||
        g_accept.price != 4012.5 || strcmp(g_accept.symbol, "HXF2612") != 0 || g_accept.order_no <= 0) {
        printf("consumer_c: the accept does not echo the order\n");
        return 1;
    }
    printf("consumer_c: order accepted, order number %lld\n", (long long)g_accept.order_no);
    return 0;
}

int main(int argc, char** argv) {
    void* h;
    int rc;
    if (argc != 5) {
        fprintf(stderr, "usage: %s IP PORT USER PASSWORD\n", argv[0]);
        return 2;
    }
    h = MVHUX_CreateTrade(NULL);
    if (h == NULL) return 1;
    MVHUX_SetConnectionEvent(h, on_connection);
    MVHUX_SetUserLogonEvent(h, on_logon);
    MVHUX_SetOrderAcceptEvent(h, on_order_accept);
    rc = run(h, argv[1], (unsigned)strtoul(argv[2], NULL, 10), argv[3], argv[4]);
    MVHUX_DisConnServer(h);
    MVHUX_DestroyTrade(h);
    return rc;
}

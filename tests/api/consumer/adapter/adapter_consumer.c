/* A C application of the adapter library built against the installed
 * package alone: connects the trade session to the server named on its
 * command line, logs on (the trade session, then the query session on the
 * query port), sends one order and waits for its accept. Prints one line per
 * step; exits 0 when the order is accepted, 1 on any failure.
 *
 *   adapter_consumer_c IP PORT QUERY_PORT USER PASSWORD
 */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "mv_hux_adapter.h"

static pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_cond = PTHREAD_COND_INITIALIZER;
static int g_conn_ok; /* "conn ok" reports (the trade session's: the query session reports none) */
static int g_logons;
static HUX_LogonResponse g_logon;
static int g_accepted;
static HUX_OrderAcceptField g_accept;

static void on_connection(void* handle, int code, const char* text) {
    (void)handle;
    (void)text;
    pthread_mutex_lock(&g_mutex);
    if (code == 0) ++g_conn_ok;
    pthread_cond_broadcast(&g_cond);
    pthread_mutex_unlock(&g_mutex);
}

static void on_logon(void* handle, HUX_LogonResponse* rsp) {
    (void)handle;
    pthread_mutex_lock(&g_mutex);
    g_logon = *rsp;
    ++g_logons;
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

/* Waits up to wait_ms() for *counter to reach at least `want`. */
static int wait_count(const int* counter, int want) {
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
    while (*counter < want) {
        if (pthread_cond_timedwait(&g_cond, &g_mutex, &deadline) == ETIMEDOUT) break;
    }
    done = *counter >= want;
    pthread_mutex_unlock(&g_mutex);
    return done;
}

/* The last logon answer and the number of "conn ok" reports so far. */
static HUX_LogonResponse last_logon(int* conn_ok) {
    HUX_LogonResponse rsp;
    pthread_mutex_lock(&g_mutex);
    rsp = g_logon;
    *conn_ok = g_conn_ok;
    pthread_mutex_unlock(&g_mutex);
    return rsp;
}

static int run(void* h, const char* ip, unsigned port, unsigned query_port, const char* user,
               const char* password) {
    HUX_TradeSvrInfo info;
    HUX_EnterOrderField order;
    HUX_LogonResponse logon;
    HUX_OrderAcceptField accept;
    unsigned int max_token = 0;
    int conn_ok = 0;
    int rc;

    /* The documented defaults of the record, then the two servers. */
    memset(&info, 0, sizeof(info));
    info.kernel_bypass = 1;
    info.exit_on_signal = 1;
    info.heartbeat_interval = 5;
    info.rsp_cpu = -1;
    strncpy(info.server_ip, ip, sizeof(info.server_ip) - 1);
    info.tcp_port = (uint16_t)port;
    strncpy(info.query_ip, ip, sizeof(info.query_ip) - 1);
    info.query_port = (uint16_t)query_port;
    rc = MVHUX_ConnServer(h, &info);
    if (rc != HUX_RESULT_OK || !wait_count(&g_conn_ok, 1)) {
        printf("adapter_consumer_c: connect failed (code %d)\n", rc);
        return 1;
    }
    /* Orders need both sessions: before the logon the query session is not
     * connected. */
    rc = MVHUX_GetMaxToken(h, &max_token);
    if (rc != HUX_RESULT_NOT_CONNECTED) {
        printf("adapter_consumer_c: before the logon MVHUX_GetMaxToken gives %d, not %d\n", rc,
               HUX_RESULT_NOT_CONNECTED);
        return 1;
    }

    rc = MVHUX_UserLogon(h, user, password, "adapter-consumer", "CONSUMER");
    if (rc != HUX_RESULT_OK || !wait_count(&g_logons, 1)) {
        printf("adapter_consumer_c: no logon answer (code %d)\n", rc);
        return 1;
    }
    logon = last_logon(&conn_ok);
    if (logon.result != 0) {
        printf("adapter_consumer_c: logon failed (result %d)\n", (int)logon.result);
        return 1;
    }
    /* Both sessions connected and logged on: the maximum token, refused
     * before the logon, is given out, and the trade connection was made
     * once. */
    rc = MVHUX_GetMaxToken(h, &max_token);
    if (conn_ok != 1 || rc != HUX_RESULT_OK || max_token != (unsigned int)logon.max_token) {
        printf("adapter_consumer_c: not both sessions logged on (%d conn ok, MVHUX_GetMaxToken %d, token %u of %d)\n",
               conn_ok, rc, max_token, (int)logon.max_token);
        return 1;
    }
    printf("adapter_consumer_c: trade and query sessions logged on, user id %u, max token %u\n",
           (unsigned)logon.user_id, max_token);

    memset(&order, 0, sizeof(order));
    strncpy(order.account, "ACC001", sizeof(order.account));
    order.side = 1;
    order.exchange_id = 101;
    strncpy(order.symbol, "HXF2612", sizeof(order.symbol));
    order.price = 4012.5;
    order.quantity = 3;
    order.client_token = max_token + 1;
    order.opt_8 = 1;
    rc = MVHUX_EnterOrder(h, &order);
    if (rc != HUX_RESULT_OK || !wait_count(&g_accepted, 1)) {
        printf("adapter_consumer_c: order not accepted (code %d)\n", rc);
        return 1;
    }
    pthread_mutex_lock(&g_mutex);
    accept = g_accept;
    pthread_mutex_unlock(&g_mutex);
    if (accept.client_token != max_token + 1 || accept.quantity != 3 || accept.price != 4012.5 ||
        strncmp(accept.symbol, "HXF2612", sizeof(accept.symbol)) != 0 || strcmp(accept.account, "ACC001") != 0 ||
        accept.order_no <= 0) {
        printf("adapter_consumer_c: the accept does not echo the order\n");
        return 1;
    }
    printf("adapter_consumer_c: order accepted, order number %lld\n", (long long)accept.order_no);
    return 0;
}

int main(int argc, char** argv) {
    void* h;
    int rc;
    if (argc != 6) {
        fprintf(stderr, "usage: %s IP PORT QUERY_PORT USER PASSWORD\n", argv[0]);
        return 2;
    }
    h = MVHUX_CreateTrade(NULL);
    if (h == NULL) return 1;
    MVHUX_SetConnectionEvent(h, on_connection);
    MVHUX_SetUserLogonEvent(h, on_logon);
    MVHUX_SetOrderAcceptEvent(h, on_order_accept);
    rc = run(h, argv[1], (unsigned)strtoul(argv[2], NULL, 10), (unsigned)strtoul(argv[3], NULL, 10), argv[4],
             argv[5]);
    MVHUX_DisConnServer(h);
    MVHUX_DestroyTrade(h);
    return rc;
}

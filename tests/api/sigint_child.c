/* A process that loads libhuxtrade.so at run time, connects one session to
 * 127.0.0.1:PORT, and then raises SIGINT, to show who handles it:
 *
 *   sigint_child LIBRARY PORT alive       the session still exists
 *   sigint_child LIBRARY PORT destroyed   the session was destroyed
 *   sigint_child LIBRARY PORT unloaded    destroyed, and the library closed
 *
 * A fourth word "own" first installs a handler of this program that ends
 * the process with code 42; without it SIGINT has its default disposition.
 * The session is told not to end the process on SIGINT. Prints "raising" just
 * before the signal; when the process survives it, prints "survived" and
 * exits 0.
 *
 * Two libraries (the trade library and the adapter, in either order) in one
 * process, each with a connected session:
 *
 *   sigint_child LIBRARY PORT first-out|second-out own|- SECOND_LIBRARY
 *
 * loads and connects LIBRARY, then SECOND_LIBRARY; then destroys the session
 * of one and closes that library, then the other's ("first-out": LIBRARY's
 * first), and raises SIGINT.
 *
 *   sigint_child LIBRARY PORT cycles - SECOND_LIBRARY
 *
 * loads, connects, destroys and closes each library ten times, then exits 0
 * without a signal (for a leak check at exit).
 */
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "mv_hux_trade.h"

/* sigint_child_adapter.c: the adapter's records share their names with the
 * trade library's, so its connect is made in a unit of its own. */
int adapter_connect(void* connect, void* session, uint16_t port);

typedef void* (*create_fn)(void*);
typedef int (*destroy_fn)(void*);
typedef int (*trade_connect_fn)(void*, const HUX_TradeSvrInfo*, bool);

static void own_handler(int sig) {
    (void)sig;
    _exit(42);
}

/* A library with one connected session. */
struct loaded {
    void* lib;
    void* session;
    destroy_fn destroy;
};

/* 0, or the exit code of the failed step. */
static int load_and_connect(const char* path, uint16_t port, struct loaded* out) {
    out->lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!out->lib) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 3;
    }
    create_fn create = (create_fn)dlsym(out->lib, "MVHUX_CreateTrade");
    out->destroy = (destroy_fn)dlsym(out->lib, "MVHUX_DestroyTrade");
    void* connect = dlsym(out->lib, "MVHUX_ConnServer");
    if (!create || !out->destroy || !connect) return 3;
    out->session = create(NULL);
    int rc;
    /* Only the adapter sends several orders in one call. */
    if (dlsym(out->lib, "MVHUX_EnterMultiOrders")) {
        rc = adapter_connect(connect, out->session, port);
    } else {
        HUX_TradeSvrInfo info;
        memset(&info, 0, sizeof(info));
        strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = port;
        info.rsp_cpu = -1;
        info.exit_on_signal = 0;
        rc = ((trade_connect_fn)connect)(out->session, &info, false);
    }
    return rc == 0 ? 0 : 4;
}

/* 0, or the exit code of the failed step. */
static int destroy_and_close(struct loaded* l) {
    l->destroy(l->session);
    l->session = NULL;
    return dlclose(l->lib) == 0 ? 0 : 5;
}

static int raise_sigint(void) {
    printf("raising\n");
    fflush(stdout);
    raise(SIGINT);
    printf("survived\n");
    fflush(stdout);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s LIBRARY PORT alive|destroyed|unloaded [own]\n", argv[0]);
        return 2;
    }
    const uint16_t port = (uint16_t)atoi(argv[2]);
    const char* mode = argv[3];
    if (argc > 4 && strcmp(argv[4], "own") == 0) signal(SIGINT, own_handler);
    if (argc > 5) {
        struct loaded first, second;
        int rc;
        if (strcmp(mode, "cycles") == 0) {
            for (int i = 0; i < 10; ++i) {
                if ((rc = load_and_connect(argv[1], port, &first)) != 0 || (rc = destroy_and_close(&first)) != 0)
                    return rc;
                if ((rc = load_and_connect(argv[5], port, &second)) != 0 || (rc = destroy_and_close(&second)) != 0)
                    return rc;
            }
            printf("cycled\n");
            fflush(stdout);
            return 0;
        }
        if ((rc = load_and_connect(argv[1], port, &first)) != 0) return rc;
        if ((rc = load_and_connect(argv[5], port, &second)) != 0) return rc;
        const int first_out = strcmp(mode, "first-out") == 0;
        if ((rc = destroy_and_close(first_out ? &first : &second)) != 0) return rc;
        if ((rc = destroy_and_close(first_out ? &second : &first)) != 0) return rc;
        return raise_sigint();
    }

    struct loaded one;
    const int rc = load_and_connect(argv[1], port, &one);
    if (rc != 0) return rc;
    if (strcmp(mode, "alive") != 0) {
        one.destroy(one.session);
        one.session = NULL;
        if (strcmp(mode, "unloaded") == 0 && dlclose(one.lib) != 0) return 5;
    }
    raise_sigint();
    if (one.session) one.destroy(one.session);
    return 0;
}

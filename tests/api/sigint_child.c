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
 */
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "mv_hux_trade.h"

typedef void* (*create_fn)(void*);
typedef int (*destroy_fn)(void*);
typedef int (*connect_fn)(void*, const HUX_TradeSvrInfo*, bool);

static void own_handler(int sig) {
    (void)sig;
    _exit(42);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s LIBRARY PORT alive|destroyed|unloaded [own]\n", argv[0]);
        return 2;
    }
    const char* mode = argv[3];
    if (argc > 4 && strcmp(argv[4], "own") == 0) signal(SIGINT, own_handler);
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 3;
    }
    create_fn create = (create_fn)dlsym(lib, "MVHUX_CreateTrade");
    destroy_fn destroy = (destroy_fn)dlsym(lib, "MVHUX_DestroyTrade");
    connect_fn connect = (connect_fn)dlsym(lib, "MVHUX_ConnServer");
    if (!create || !destroy || !connect) return 3;

    void* h = create(NULL);
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = (uint16_t)atoi(argv[2]);
    info.rsp_cpu = -1;
    info.exit_on_signal = 0;
    if (connect(h, &info, false) != 0) return 4;
    if (strcmp(mode, "alive") != 0) {
        destroy(h);
        h = NULL;
        if (strcmp(mode, "unloaded") == 0 && dlclose(lib) != 0) return 5;
    }
    printf("raising\n");
    fflush(stdout);
    raise(SIGINT);
    printf("survived\n");
    fflush(stdout);
    if (h) destroy(h);
    return 0;
}

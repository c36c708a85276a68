/* The adapter's connect for sigint_child.c: a session of libhuxadapter.so
 * connected to 127.0.0.1:port, told not to end the process on SIGINT. */
#include <stdint.h>
#include <string.h>

#include "mv_hux_adapter.h"

typedef int (*adapter_connect_fn)(void*, const HUX_TradeSvrInfo*);

int adapter_connect(void* connect, void* session, uint16_t port);

int adapter_connect(void* connect, void* session, uint16_t port) {
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = port;
    info.rsp_cpu = -1;
    info.exit_on_signal = 0;
    return ((adapter_connect_fn)connect)(session, &info);
}

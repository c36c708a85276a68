#include "net/windows/tcp_options.h"

bool set_tcp_client_options(SOCKET sock) {
    const int on = 1;
    if (setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on)) != 0) return false;
    linger lg;
    lg.l_onoff = 1;
    lg.l_linger = 0;
    return setsockopt(sock, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lg), sizeof(lg)) == 0;
}

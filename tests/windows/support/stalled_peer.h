// A loopback listener whose accepted connection is never read, so a
// client's sends fill both socket buffers. Winsock must be started (a
// winsock_peer does).
#ifndef HUX_TESTS_WINDOWS_SUPPORT_STALLED_PEER_H
#define HUX_TESTS_WINDOWS_SUPPORT_STALLED_PEER_H

#include <winsock2.h>

#include <cstdint>

namespace hux_wtest {

struct stalled_peer {
    SOCKET listener = INVALID_SOCKET;
    SOCKET accepted = INVALID_SOCKET;
    uint16_t port = 0;

    stalled_peer() {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(addr);
        // A small receive window, so the buffers fill after little data.
        int window = 4096;
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&window), sizeof(window));
        if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            listen(s, 1) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            if (s != INVALID_SOCKET) closesocket(s);
            return;
        }
        listener = s;
        port = ntohs(addr.sin_port);
    }
    bool accept_one() {
        accepted = accept(listener, nullptr, nullptr);
        return accepted != INVALID_SOCKET;
    }
    ~stalled_peer() {
        if (accepted != INVALID_SOCKET) closesocket(accepted);
        if (listener != INVALID_SOCKET) closesocket(listener);
    }
};

}  // namespace hux_wtest

#endif

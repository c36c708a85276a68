// The platform's socket value. On Linux a descriptor (int, -1 when there is
// none); on Windows a SOCKET, an unsigned pointer-sized handle that never
// passes through int or long (long is 32 bits there) and is compared with
// INVALID_SOCKET, never tested for a sign.
#ifndef MV_HUX_NET_SOCKET_HANDLE_H
#define MV_HUX_NET_SOCKET_HANDLE_H

#ifdef _WIN32
#include <winsock2.h>
typedef SOCKET mv_socket;
const mv_socket MV_INVALID_SOCKET = INVALID_SOCKET;
#else
#include <sys/socket.h>
typedef int mv_socket;
const mv_socket MV_INVALID_SOCKET = -1;
#endif

// Shuts both directions of a socket (none: nothing). Its event thread then
// sees the end, while the socket itself stays open for its owner to close.
inline void mv_shutdown_socket(mv_socket sock) {
#ifdef _WIN32
    if (sock != MV_INVALID_SOCKET) ::shutdown(sock, SD_BOTH);
#else
    if (sock >= 0) ::shutdown(sock, SHUT_RDWR);
#endif
}

#endif

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
typedef int mv_socket;
const mv_socket MV_INVALID_SOCKET = -1;
#endif

#endif

// The options every client TCP socket gets on Windows, as on Linux
// (net/linux/net_interface.h): TCP_NODELAY on, then SO_LINGER on with time 0
// (a close resets the connection at once, discarding unsent data).
#ifndef MV_HUX_NET_WINDOWS_TCP_OPTIONS_H
#define MV_HUX_NET_WINDOWS_TCP_OPTIONS_H

#include <winsock2.h>

// False when either call fails.
bool set_tcp_client_options(SOCKET sock);

#endif

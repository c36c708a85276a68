// Winsock start-up and clean-up, counted per library. The TCP client of the
// trade session (CLIENT_SCKT_ONLY) and the socket library each hold Winsock
// while they have a client: the first user of a library starts it, the last
// one cleans it up. Clients are made and destroyed on any thread (reconnect
// workers, application threads, a second handle), so each count is changed
// under its own lock together with its WSAStartup or WSACleanup: no thread
// uses Winsock before the start-up that its count promised has run, and no
// lost update cleans Winsock up under a live socket. Nothing here runs at
// load; Winsock starts with the first client.
#ifndef MV_HUX_NET_WINDOWS_WINSOCK_COUNT_H
#define MV_HUX_NET_WINDOWS_WINSOCK_COUNT_H

namespace CLIENT_SCKT_ONLY {

// count + 1; the first user starts Winsock 2.2.
void winsock_startup();
// count - 1; the last user cleans Winsock up. A clean-up with no user left
// changes nothing: it would drop a Winsock reference this library never took.
void winsock_cleanup();
// The library's users now.
int winsock_users();

}  // namespace CLIENT_SCKT_ONLY

// The socket library's pair (socket_client), over its own count.
void winsock_startup();
void winsock_cleanup();
int winsock_users();

#endif

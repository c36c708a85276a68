// The kernel UDP order channel: a datagram socket bound to a local address and
// port that sends each request as one datagram to a fixed destination.
#ifndef MV_HUX_TRADE_SOCKET_UNICAST_H
#define MV_HUX_TRADE_SOCKET_UNICAST_H

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#endif

#include <string>

#include "net/socket_handle.h"

namespace CLIENT_UDP_SCKT_ONLY {

// Event sink of the UDP channel; it has no events (the channel only sends).
class socket_event {
public:
    virtual ~socket_event() {}
};

// On Windows every object holds a Winsock reference of its own (WSAStartup
// in the constructor, WSACleanup in the destructor), outside the clients'
// counts.
class socket_unicast {
public:
    socket_unicast();
    // Windows: closes a socket still open.
    virtual ~socket_unicast();
    socket_unicast(const socket_unicast&) = delete;
    socket_unicast& operator=(const socket_unicast&) = delete;

    // Opens the socket bound to local_addr:local_port and keeps
    // remote_addr:remote_port as the destination. False (and no socket) when
    // an address does not parse or the socket cannot be created or bound.
    bool sock_init(std::string const& remote_addr, unsigned short remote_port,
                   std::string const& local_addr, unsigned short local_port, int option,
                   socket_event* event);
    // One datagram; the bytes sent or -1.
    int sock_send(char const* buf, int len);
    // Closes the socket when there is one and forgets it; 0.
    int sock_close();
    mv_socket get_socket();
    // The text and a newline on standard output.
    void log_msg(std::string const& msg);

private:
    socket_event* m_pEvent;
    std::string m_sRemoteAddr;
    unsigned short m_nRemotePort;
    std::string m_sLocalAddr;
    unsigned short m_nLocalPort;
    int m_nOption;
    mv_socket m_nSocket;
    sockaddr_in m_remoteAddr;
};

}  // namespace CLIENT_UDP_SCKT_ONLY

#endif

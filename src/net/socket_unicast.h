// The kernel UDP order channel: a datagram socket bound to a local address and
// port that sends each request as one datagram to a fixed destination.
#ifndef MV_HUX_TRADE_SOCKET_UNICAST_H
#define MV_HUX_TRADE_SOCKET_UNICAST_H

#include <netinet/in.h>

#include <string>

namespace CLIENT_UDP_SCKT_ONLY {

// Event sink of the UDP channel; it has no events (the channel only sends).
class socket_event {
public:
    virtual ~socket_event() {}
};

class socket_unicast {
public:
    socket_unicast();
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
    // Closes the socket when there is one; 0.
    int sock_close();
    int get_socket();
    // The text and a newline on standard output.
    void log_msg(std::string const& msg);

private:
    socket_event* m_pEvent;
    std::string m_sRemoteAddr;
    unsigned short m_nRemotePort;
    std::string m_sLocalAddr;
    unsigned short m_nLocalPort;
    int m_nOption;
    int m_nSocket;
    sockaddr_in m_remoteAddr;
};

}  // namespace CLIENT_UDP_SCKT_ONLY

#endif

#include "net/socket_unicast.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace CLIENT_UDP_SCKT_ONLY {

namespace {
// Fills an IPv4 socket address from dotted text; false when the text does not parse.
bool make_address(const std::string& text, unsigned short port, sockaddr_in& addr) {
    std::memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    return inet_pton(AF_INET, text.c_str(), &addr.sin_addr) == 1;
}
}  // namespace

socket_unicast::socket_unicast()
    : m_pEvent(nullptr), m_nRemotePort(0), m_nLocalPort(0), m_nOption(0), m_nSocket(-1) {
    std::memset(&m_remoteAddr, 0, sizeof(m_remoteAddr));
}

socket_unicast::~socket_unicast() {}

bool socket_unicast::sock_init(std::string const& remote_addr, unsigned short remote_port,
                               std::string const& local_addr, unsigned short local_port,
                               int option, socket_event* event) {
    m_sRemoteAddr = remote_addr;
    m_nRemotePort = remote_port;
    m_sLocalAddr = local_addr;
    m_nLocalPort = local_port;
    m_nOption = option;
    m_pEvent = event;
    // A second set-up does not leak the first socket.
    sock_close();

    sockaddr_in local;
    sockaddr_in remote;
    if (!make_address(local_addr, local_port, local) || !make_address(remote_addr, remote_port, remote)) {
        return false;
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        close(fd);
        return false;
    }
    m_remoteAddr = remote;
    m_nSocket = fd;
    return true;
}

int socket_unicast::sock_send(char const* buf, int len) {
    if (buf == nullptr || len < 0) return -1;
    ssize_t sent = sendto(m_nSocket, buf, static_cast<size_t>(len), 0,
                          reinterpret_cast<const sockaddr*>(&m_remoteAddr), sizeof(m_remoteAddr));
    return static_cast<int>(sent);
}

int socket_unicast::sock_close() {
    if (m_nSocket != -1) {
        close(m_nSocket);
        m_nSocket = -1;
    }
    return 0;
}

int socket_unicast::get_socket() { return m_nSocket; }

void socket_unicast::log_msg(std::string const& msg) {
    std::fwrite(msg.data(), 1, msg.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace CLIENT_UDP_SCKT_ONLY

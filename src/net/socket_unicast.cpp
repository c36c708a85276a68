#include "net/socket_unicast.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
// Overlapped, with the multipoint leaf flags of the control and data planes.
const DWORD UDP_SOCKET_FLAGS = WSA_FLAG_OVERLAPPED | WSA_FLAG_MULTIPOINT_C_LEAF | WSA_FLAG_MULTIPOINT_D_LEAF;
static_assert(UDP_SOCKET_FLAGS == 0x15, "datagram socket flags");

mv_socket open_udp_socket() { return WSASocketA(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, UDP_SOCKET_FLAGS); }
void close_socket(mv_socket sock) { closesocket(sock); }
#else
mv_socket open_udp_socket() { return socket(AF_INET, SOCK_DGRAM, 0); }
void close_socket(mv_socket sock) { close(sock); }
#endif
}  // namespace

// On Windows each object starts Winsock for itself, uncounted.
socket_unicast::socket_unicast()
    : m_pEvent(nullptr), m_nRemotePort(0), m_nLocalPort(0), m_nOption(0), m_nSocket(MV_INVALID_SOCKET) {
    std::memset(&m_remoteAddr, 0, sizeof(m_remoteAddr));
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
}

#ifdef _WIN32
// A socket still open goes first, then the object's Winsock reference.
socket_unicast::~socket_unicast() {
    sock_close();
    WSACleanup();
}
#else
socket_unicast::~socket_unicast() {}
#endif

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
    const mv_socket fd = open_udp_socket();
    if (fd == MV_INVALID_SOCKET) return false;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        close_socket(fd);
        return false;
    }
    m_remoteAddr = remote;
    m_nSocket = fd;
    return true;
}

int socket_unicast::sock_send(char const* buf, int len) {
    if (buf == nullptr || len < 0 || m_nSocket == MV_INVALID_SOCKET) return -1;
#ifdef _WIN32
    return sendto(m_nSocket, buf, len, 0, reinterpret_cast<const sockaddr*>(&m_remoteAddr), sizeof(m_remoteAddr));
#else
    ssize_t sent = sendto(m_nSocket, buf, static_cast<size_t>(len), 0,
                          reinterpret_cast<const sockaddr*>(&m_remoteAddr), sizeof(m_remoteAddr));
    return static_cast<int>(sent);
#endif
}

int socket_unicast::sock_close() {
    if (m_nSocket != MV_INVALID_SOCKET) {
        close_socket(m_nSocket);
        m_nSocket = MV_INVALID_SOCKET;
    }
    return 0;
}

mv_socket socket_unicast::get_socket() { return m_nSocket; }

void socket_unicast::log_msg(std::string const& msg) {
    std::fwrite(msg.data(), 1, msg.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace CLIENT_UDP_SCKT_ONLY

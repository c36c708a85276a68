// Interface queries over getifaddrs and the SIOCGIF* requests of a throw-away
// socket. Interface names longer than 15 characters do not fit a request and
// are refused rather than cut, so a query never reaches the wrong interface.
#include <netinet/tcp.h>
#include "net/linux/net_interface.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// Longest interface name a request carries (the 16th byte is the terminator).
const size_t max_if_name_len = IFNAMSIZ - 1;

// The 1024-byte buffer the interface-configuration query fills.
const size_t if_conf_buffer_len = 1024;

bool fill_if_name(struct ifreq& req, const char* name) {
    size_t len = std::strlen(name);
    if (len == 0 || len > max_if_name_len) return false;
    std::memset(&req, 0, sizeof(req));
    std::memcpy(req.ifr_name, name, len);
    return true;
}

// Address of the named interface through SIOCGIFADDR on the given socket.
bool query_if_addr(int sock, const char* name, struct in_addr& out) {
    struct ifreq req;
    if (!fill_if_name(req, name)) return false;
    if (ioctl(sock, SIOCGIFADDR, &req) != 0) return false;
    if (req.ifr_addr.sa_family != AF_INET) return false;
    struct sockaddr_in sin;
    std::memcpy(&sin, &req.ifr_addr, sizeof(sin));
    out = sin.sin_addr;
    return true;
}

std::string to_dotted(const struct in_addr& addr) {
    char text[INET_ADDRSTRLEN] = {0};
    if (!inet_ntop(AF_INET, &addr, text, sizeof(text))) return std::string();
    return std::string(text);
}

}  // namespace

int load_ip_and_mac(ip_and_mac* table, int capacity) {
    if (!table || capacity <= 0) return 0;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    int count = 0;
    for (struct ifaddrs* it = list; it && count < capacity; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        if (!it->ifa_name || std::strcmp(it->ifa_name, "lo") == 0) continue;
        ip_and_mac& entry = table[count++];
        struct sockaddr_in sin;
        std::memcpy(&sin, it->ifa_addr, sizeof(sin));
        std::memcpy(entry.m_ip, &sin.sin_addr.s_addr, sizeof(entry.m_ip));
        std::memset(entry.m_mac, 0, sizeof(entry.m_mac));
        struct ifreq req;
        if (sock >= 0 && fill_if_name(req, it->ifa_name) && ioctl(sock, SIOCGIFHWADDR, &req) == 0)
            std::memcpy(entry.m_mac, req.ifr_hwaddr.sa_data, sizeof(entry.m_mac));
    }
    if (sock >= 0) close(sock);
    freeifaddrs(list);
    return count;
}

std::string get_local_ip(std::string if_name) {
    int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0) return std::string();
    struct in_addr addr;
    bool ok = query_if_addr(sock, if_name.c_str(), addr);
    close(sock);
    return ok ? to_dotted(addr) : std::string();
}

bool get_all_network_card_ip(std::vector<std::string>& ips) {
    int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0) return false;
    // ifreq has a union member; an aligned char buffer keeps the entries aligned.
    alignas(struct ifreq) char buffer[if_conf_buffer_len];
    struct ifconf conf;
    std::memset(&conf, 0, sizeof(conf));
    conf.ifc_len = sizeof(buffer);
    conf.ifc_buf = buffer;
    if (ioctl(sock, SIOCGIFCONF, &conf) != 0) {
        close(sock);
        return false;
    }
    size_t entries = static_cast<size_t>(conf.ifc_len) / sizeof(struct ifreq);
    for (size_t i = 0; i < entries; ++i) {
        struct ifreq entry;
        std::memcpy(&entry, buffer + i * sizeof(struct ifreq), sizeof(entry));
        char name[IFNAMSIZ + 1] = {0};
        std::memcpy(name, entry.ifr_name, IFNAMSIZ);
        struct in_addr addr;
        if (query_if_addr(sock, name, addr)) ips.push_back(to_dotted(addr));
    }
    close(sock);
    return true;
}

bool set_tcp_client_options(int sock) {
    int on = 1;
    if (setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) != 0) return false;
    struct linger lg;
    lg.l_onoff = 1;
    lg.l_linger = 0;
    return setsockopt(sock, SOL_SOCKET, SO_LINGER, &lg, sizeof(lg)) == 0;
}

int add_wake_descriptor(int epoll_fd) {
    int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake < 0) return -1;
    struct epoll_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.events = EPOLLIN;
    ev.data.fd = wake;
    if (epoll_ctl(epoll_fd, EPOLL_CTL_ADD, wake, &ev) != 0) {
        close(wake);
        return -1;
    }
    return wake;
}

void signal_wake_descriptor(int wake_fd) {
    const uint64_t one = 1;
    ssize_t n = write(wake_fd, &one, sizeof(one));
    (void)n;  // a full counter already wakes the thread
}

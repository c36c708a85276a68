// Interface queries. Linux: getifaddrs and the SIOCGIF* requests of a
// throw-away socket; interface names longer than 15 characters do not fit a
// request and are refused rather than cut, so a query never reaches the wrong
// interface. Windows: the host name's addresses and IP Helper's adapter list.
#include "net/linux/net_interface.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdlib>
#include <cstring>

#include "net/windows/winsock_count.h"
#include "tools/tool_function.h"

namespace {

// Room for the host name.
const int host_name_len = 1024;

// Where the fallback's UDP socket is connected: a documentation address
// (198.51.100.1), routed like any outside address and no host's, on port 7.
// A UDP connect only chooses the route and the local address: nothing is
// sent, to it or anywhere.
const unsigned long outward_probe_ip = (198ul << 24) | (51ul << 16) | (100ul << 8) | 1ul;
const unsigned short outward_probe_port = 7;

// The adapter list starts with room for one adapter record.
static_assert(sizeof(IP_ADAPTER_INFO) == 704, "one adapter record is 704 bytes");

// GetAdaptersInfo is IP Helper's (IPHLPAPI.DLL). It is loaded when the table
// is read rather than imported, so that the library, and the DLL made of it,
// import nothing but KERNEL32, msvcrt and WS2_32.
typedef DWORD(WINAPI* get_adapters_info_fn)(PIP_ADAPTER_INFO, PULONG);

std::string dotted(const in_addr& addr) {
    const char* text = inet_ntoa(addr);
    return text != nullptr ? std::string(text) : std::string("0.0.0.0");
}

// The local address of a UDP socket connected outward; 0.0.0.0 when there is
// no route or no socket.
in_addr outward_local_address() {
    in_addr local;
    local.s_addr = htonl(INADDR_ANY);
    const SOCKET sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock == INVALID_SOCKET) return local;
    sockaddr_in remote;
    std::memset(&remote, 0, sizeof(remote));
    remote.sin_family = AF_INET;
    remote.sin_port = htons(outward_probe_port);
    remote.sin_addr.s_addr = htonl(outward_probe_ip);
    if (connect(sock, reinterpret_cast<const sockaddr*>(&remote), sizeof(remote)) == 0) {
        sockaddr_in mine;
        std::memset(&mine, 0, sizeof(mine));
        int len = sizeof(mine);
        if (getsockname(sock, reinterpret_cast<sockaddr*>(&mine), &len) == 0 && mine.sin_family == AF_INET)
            local = mine.sin_addr;
    }
    closesocket(sock);
    return local;
}

// Appends every IPv4 address of a resolved host.
void append_addresses(const hostent* host, std::vector<std::string>& out) {
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4) return;
    for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
        in_addr addr;
        std::memcpy(&addr, *entry, sizeof(addr));
        out.push_back(dotted(addr));
    }
}

}  // namespace

std::string host_ipv4_text() {
    in_addr addr;
    addr.s_addr = htonl(INADDR_ANY);
    char name[host_name_len];
    if (gethostname(name, host_name_len) == 0) {
        const hostent* host = gethostbyname(name);
        if (host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4 && host->h_addr_list[0] != nullptr)
            std::memcpy(&addr, host->h_addr_list[0], sizeof(addr));
    } else {
        addr = outward_local_address();
    }
    return dotted(addr);
}

std::string get_local_ip(std::string /*if_name*/) {
    winsock_startup();
    const std::string ip = host_ipv4_text();
    winsock_cleanup();
    return ip;
}

int load_ip_and_mac(ip_and_mac* table, int capacity) {
    if (!table || capacity <= 0) return 0;
    HMODULE iphlpapi = LoadLibraryA("iphlpapi.dll");
    if (iphlpapi == nullptr) return 0;
    // Through an object pointer: the procedure's own type is no adapter list's.
    void* proc = reinterpret_cast<void*>(GetProcAddress(iphlpapi, "GetAdaptersInfo"));
    const get_adapters_info_fn get_adapters_info = reinterpret_cast<get_adapters_info_fn>(proc);
    int count = 0;
    if (get_adapters_info != nullptr) {
        // Whole records, so the list the system writes is aligned.
        std::vector<IP_ADAPTER_INFO> adapters(1);
        ULONG size = sizeof(IP_ADAPTER_INFO);
        DWORD rc = get_adapters_info(adapters.data(), &size);
        if (rc == ERROR_BUFFER_OVERFLOW) {
            adapters.resize((size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
            size = static_cast<ULONG>(adapters.size() * sizeof(IP_ADAPTER_INFO));
            rc = get_adapters_info(adapters.data(), &size);
        }
        for (const IP_ADAPTER_INFO* adapter = rc == NO_ERROR ? adapters.data() : nullptr;
             adapter != nullptr && count < capacity; adapter = adapter->Next) {
            if (adapter->Type != MIB_IF_TYPE_ETHERNET || adapter->AddressLength != sizeof(table[0].m_mac)) continue;
            for (const IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr && count < capacity;
                 ip = ip->Next) {
                std::vector<std::string> parts;
                if (!MORVAST::TOOLS::string_split(ip->IpAddress.String, parts, ".") || parts.size() != 4) continue;
                ip_and_mac& entry = table[count++];
                for (size_t i = 0; i < 4; ++i) entry.m_ip[i] = static_cast<unsigned char>(std::atoi(parts[i].c_str()));
                std::memcpy(entry.m_mac, adapter->Address, sizeof(entry.m_mac));
            }
        }
    }
    FreeLibrary(iphlpapi);
    return count;
}

get_ips_by_hostname::get_ips_by_hostname() {}

get_ips_by_hostname::get_ips_by_hostname(std::string const& host_name) : m_host_name(host_name) {}

get_ips_by_hostname::~get_ips_by_hostname() {}

std::vector<std::string> get_ips_by_hostname::get_ips() {
    std::vector<std::string> ips;
    winsock_startup();
    // The resolver's record belongs to this thread until its next lookup.
    append_addresses(gethostbyname(m_host_name.c_str()), ips);
    winsock_cleanup();
    return ips;
}

std::vector<std::string> get_ips_by_hostname::get_ips(std::string const& host_name) {
    m_host_name = host_name;
    return get_ips();
}

#else
#include <netinet/tcp.h>

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

#endif

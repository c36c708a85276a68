// Queries about this machine's network interfaces: the IPv4 address and MAC
// of every adapter, the address of one named interface (on Windows of the
// host), and the addresses of all configured interfaces (on Windows of a
// host name). Offered to applications and used by the socket client to find
// the MAC of its own local address.
#ifndef API_MORVAST_SOCK_LINUX_NET_INTERFACE_H
#define API_MORVAST_SOCK_LINUX_NET_INTERFACE_H

#include <string>
#include <vector>

// One adapter entry: IPv4 address in network order and the hardware address.
struct ip_and_mac {
    unsigned char m_ip[4];
    unsigned char m_mac[6];
};
static_assert(sizeof(ip_and_mac) == 10, "ip_and_mac is 10 bytes");

// Fills at most `capacity` entries and returns the number filled.
// Linux: one per IPv4 address of every interface except "lo", in the order
// the system lists them; the MAC is all zero when the hardware-address query
// fails. Windows: one per IPv4 address text of every Ethernet adapter with a
// 6-byte hardware address, in the order of the system's adapter list.
int load_ip_and_mac(ip_and_mac* table, int capacity);

#ifdef _WIN32
// The machine's IPv4 address, the argument unused: the first address of the
// host name, or, when the host name cannot be read, the local address a UDP
// socket connected outward is given (the connect sends nothing); "0.0.0.0"
// when neither gives one. Holds the socket library's Winsock reference while
// it runs.
std::string get_local_ip(std::string if_name);

// The same answer for a caller that holds Winsock itself (the trade
// session's TCP client library, over its own count).
std::string host_ipv4_text();

// Every IPv4 address of one host name, as dotted texts in the resolver's
// order; empty when the name does not resolve.
class get_ips_by_hostname {
public:
    get_ips_by_hostname();
    explicit get_ips_by_hostname(std::string const& host_name);
    virtual ~get_ips_by_hostname();

    // Looks the kept name up, holding the socket library's Winsock reference
    // while it runs.
    std::vector<std::string> get_ips();
    // Keeps host_name in place of the name, then looks it up.
    std::vector<std::string> get_ips(std::string const& host_name);

private:
    std::string m_host_name;
};
#else
// Dotted IPv4 address of the named interface; empty when the interface has
// no address, does not exist, or its name is longer than 15 characters.
std::string get_local_ip(std::string if_name);

// Appends the dotted IPv4 address of every configured interface whose
// address can be read. False when no socket could be made or the interface
// list could not be read.
bool get_all_network_card_ip(std::vector<std::string>& ips);

// The options every client TCP socket gets: TCP_NODELAY on, then SO_LINGER on
// with time 0 (a close resets the connection at once, discarding unsent data).
// False when either call fails.
bool set_tcp_client_options(int sock);

// The wake descriptor of an event thread's epoll set: an eventfd added to
// `epoll_fd` for reading, or -1 (nothing added) when either step fails.
int add_wake_descriptor(int epoll_fd);
// Makes the wake descriptor readable, so the thread's epoll_wait returns.
void signal_wake_descriptor(int wake_fd);
#endif

#endif

// Queries about this machine's network interfaces: the IPv4 address and MAC
// of every adapter, the address of one named interface, and the addresses of
// all configured interfaces. Offered to applications and used by the socket
// client to find the MAC of its own local address.
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

// Fills at most `capacity` entries, one per IPv4 address of every interface
// except "lo", in the order the system lists them. The MAC is all zero when
// the hardware-address query fails. Returns the number of entries filled.
int load_ip_and_mac(ip_and_mac* table, int capacity);

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

#pragma once

// Two network namespaces joined by a veth pair, for tests of senders that
// put frames on an interface: the client side (the process's main thread and
// every thread it starts) and the peer side (threads that joined it through
// in_peer). Names are unique per test process, so test programs can run in
// parallel; the namespaces go when the process that made them exits.
//
// netns_setup() runs in main() before any thread starts: the main thread
// enters the client namespace ("/proc/net/arp" follows the main thread, not a
// thread that called setns) and a private mount namespace whose huge-page
// files (/proc/sys/vm/nr_hugepages, /proc/meminfo) are scratch files of the
// test's own (set_hugepages). A mount namespace unshared later would cover
// only the calling thread.
//
// Without root, iproute2 or veth the pair is not made, and HUX_NEED_NETNS()
// skips the test saying what is missing; with HUX_REQUIRE_NETNS=1 (CI) it
// fails instead (the macro is GoogleTest's; benchmarks use netns_ready()).
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <string>

namespace hux_test {

struct netns_pair_names {
    std::string client_ns, peer_ns;  // namespace names
    std::string client_if, peer_if;  // the veth ends, one in each namespace
};

// The two ends' addresses, on 10.77.0.0/24.
constexpr char const* CLIENT_IP = "10.77.0.1";
constexpr char const* PEER_IP = "10.77.0.2";

// Makes the pair and enters it; false with the reason in netns_missing().
// Call once, from main(), before any thread starts.
bool netns_setup();
bool netns_ready();
std::string const& netns_missing();
netns_pair_names const& netns();

// Runs fn on a new thread that joined the peer namespace and returns when fn
// has returned. Sockets made inside fn stay in the peer namespace and can be
// used from any thread afterwards.
void in_peer(std::function<void()> const& fn);

// Runs a shell command inside the namespace ns; returns its exit status.
int ns_run(std::string const& ns, std::string const& cmd);

// The huge pages this process sees: count pages of size_kb kB. Set-up gives
// 2048 pages of 2048 kB (4194304 kB).
void set_hugepages(long count, long size_kb);

// MTU of both veth ends (set-up: 1500).
void set_mtu(int mtu);

// A UDP socket of the peer, bound to port on every address, with a 4 MiB
// receive buffer; joins the IPv4 group on the peer's end when group is given.
int peer_udp_socket(unsigned short port, char const* group = nullptr);

// A non-blocking AF_PACKET socket on the peer's end that sees every frame
// arriving there, whatever its destination MAC.
int peer_sniffer();

// Reads one datagram or frame from fd, waiting at most timeout_ms; the length
// read, or -1 when nothing came in time.
int recv_within(int fd, void* buf, std::size_t cap, int timeout_ms);

// Reads frames from a sniffer until one is an IPv4/UDP frame to udp_port;
// its length, or -1 when none came in time. Other traffic (ARP, ICMP) is
// skipped. With `received_ns`, the kernel's receive time of that frame
// (CLOCK_REALTIME nanoseconds; the sniffer must have SO_TIMESTAMPNS on, else
// 0), which does not depend on when this thread got to read it.
int sniff_udp(int sniffer, unsigned short udp_port, void* buf, std::size_t cap, int timeout_ms,
              long long* received_ns = nullptr);

}  // namespace hux_test

// In a test body: go on only when the namespace pair exists.
#define HUX_NEED_NETNS()                                                                 \
    do {                                                                                 \
        if (!::hux_test::netns_ready()) {                                                \
            if (::getenv("HUX_REQUIRE_NETNS"))                                           \
                FAIL() << "network namespaces required: " << ::hux_test::netns_missing(); \
            GTEST_SKIP() << "no network namespaces: " << ::hux_test::netns_missing();    \
        }                                                                                \
    } while (0)

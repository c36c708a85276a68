// Shared by the ExaNIC sender's test programs: the namespace pair with fixed
// MAC addresses (so frames can be compared byte for byte), the stand-in card
// whose port 0 is the client's veth end, a log read back from its file, and a
// checker of IPv4/UDP frames written from RFC 791/768 independently of the
// sender's own checksum code.
#ifndef HUX_TESTS_BYPASS_EXANIC_SUPPORT_H
#define HUX_TESTS_BYPASS_EXANIC_SUPPORT_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "bypass/client_server_info.h"
#include "bypass/exanic_udp_client.h"
#include "bypass/standin/hux_standin.h"
#include "tests/support/netns_pair.h"
#include "tools/base_log.h"

namespace exa_test {

constexpr unsigned char CLIENT_MAC[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x01};
constexpr unsigned char PEER_MAC[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x02};

inline unsigned be16(const unsigned char* p) { return (p[0] << 8) | p[1]; }

// Once per program: both veth ends get the fixed MAC addresses and the client
// a permanent neighbour entry for the peer (the sender never sends an ARP
// request).
inline bool prepare_pair() {
    static int state = 0;  // 0 not yet, 1 done, -1 failed
    if (state == 0) {
        const hux_test::netns_pair_names& n = hux_test::netns();
        const bool ok =
            hux_test::ns_run(n.client_ns, "ip link set dev " + n.client_if + " address 02:11:22:33:44:01") == 0 &&
            hux_test::ns_run(n.peer_ns, "ip link set dev " + n.peer_if + " address 02:11:22:33:44:02") == 0 &&
            hux_test::ns_run(n.client_ns, std::string("ip neigh replace ") + hux_test::PEER_IP +
                                              " lladdr 02:11:22:33:44:02 dev " + n.client_if + " nud permanent") == 0;
        state = ok ? 1 : -1;
    }
    return state == 1;
}

// A shell command in the client namespace; its exit status.
inline int client_run(const std::string& cmd) { return hux_test::ns_run(hux_test::netns().client_ns, cmd); }

// The stand-in back to its defaults, with the client's veth end as port 0 of
// "exanic0".
inline void use_client_port() {
    hux_standin_exanic_reset();
    hux_standin_exanic_set_ports(hux_test::netns().client_if.c_str());
}

inline client_server_info record(const char* server_ip, unsigned short server_port, unsigned short local_port,
                                 bool timestamps = false, const char* local_ip = hux_test::CLIENT_IP) {
    client_server_info info;
    std::memset(&info, 0, sizeof info);
    std::snprintf(info.server_ip, sizeof info.server_ip, "%s", server_ip);
    info.server_port = server_port;
    std::snprintf(info.local_ip, sizeof info.local_ip, "%s", local_ip);
    info.local_port = local_port;
    info.timestamps = timestamps ? 1 : 0;
    return info;
}

// A log in a file of its own, read back whole.
class log_file {
public:
    explicit log_file(const std::string& tag)
        : m_path("/tmp/hux-exanic-" + std::to_string(getpid()) + "-" + tag + ".log") {
        std::remove(m_path.c_str());
        m_log.open(m_path.c_str());
    }
    ~log_file() {
        m_log.close();
        std::remove(m_path.c_str());
    }
    base_log* get() { return &m_log; }
    std::string text() const {
        std::ifstream in(m_path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool has(const std::string& s) const { return text().find(s) != std::string::npos; }

private:
    std::string m_path;
    base_log m_log;
};

// The RFC 1071 sum of big-endian 16-bit words, an odd last byte padded.
inline unsigned long sum16(const unsigned char* p, int n, unsigned long acc = 0) {
    for (int i = 0; i + 1 < n; i += 2) acc += be16(p + i);
    if (n & 1) acc += static_cast<unsigned long>(p[n - 1]) << 8;
    return acc;
}
inline unsigned fold16(unsigned long acc) {
    while (acc >> 16) acc = (acc & 0xffff) + (acc >> 16);
    return static_cast<unsigned>(acc);
}

// A frame of len bytes as the sender must build it: Ethernet II with IPv4,
// a 20-byte header with a valid checksum and lengths that match the frame,
// do not fragment, TTL 64, UDP with a valid checksum over pseudo-header,
// header and payload.
inline testing::AssertionResult valid_udp_frame(const unsigned char* f, int len) {
    if (len < 42) return testing::AssertionFailure() << "frame of " << len << " bytes";
    if (be16(f + 12) != 0x0800) return testing::AssertionFailure() << "EtherType " << std::hex << be16(f + 12);
    if (f[14] != 0x45 || f[15] != 0 || be16(f + 18) != 0 || be16(f + 20) != 0x4000 || f[22] != 64 || f[23] != 17)
        return testing::AssertionFailure() << "constant IPv4 fields";
    if (be16(f + 16) != static_cast<unsigned>(len - 14))
        return testing::AssertionFailure() << "IPv4 total length " << be16(f + 16) << " in a frame of " << len;
    if (be16(f + 38) != static_cast<unsigned>(len - 34))
        return testing::AssertionFailure() << "UDP length " << be16(f + 38) << " in a frame of " << len;
    if (fold16(sum16(f + 14, 20)) != 0xffff) return testing::AssertionFailure() << "IPv4 header checksum";
    if (be16(f + 40) == 0) return testing::AssertionFailure() << "no UDP checksum";
    // Pseudo-header: both addresses, zero and protocol 17, UDP length.
    const unsigned long pseudo = sum16(f + 26, 8) + 17 + be16(f + 38);
    if (fold16(sum16(f + 34, len - 34, pseudo)) != 0xffff) return testing::AssertionFailure() << "UDP checksum";
    return testing::AssertionSuccess();
}

// Waits for cond with a deadline; true when it held in time.
inline bool wait_for(const std::function<bool()>& cond, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Counts the sender's reports; makes no allocation.
class ts_sink : public i_exanic_udp_client_sock_event {
public:
    void on_exanic_udp_report_timestamps(long long ns) override {
        last = ns;
        ++count;
    }
    long long last = 0;
    long count = 0;
};

}  // namespace exa_test

// Skips (or fails under HUX_REQUIRE_NETNS) without the pair, then readies it
// and the stand-in.
#define EXA_NEED_PAIR()                                  \
    do {                                                 \
        HUX_NEED_NETNS();                                \
        ASSERT_TRUE(::exa_test::prepare_pair());         \
        ::exa_test::use_client_port();                   \
    } while (0)

#endif

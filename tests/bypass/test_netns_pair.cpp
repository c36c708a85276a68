// The namespace pair itself: the peer's UDP socket hears a datagram sent from
// the client side, the peer's sniffer sees the frame, the main thread sees
// the client namespace's ARP table and the scratch huge-page files.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "tests/support/netns_pair.h"

using namespace hux_test;

TEST(NetnsPair, DatagramCrossesAndIsSniffedAndHugePagesAreOurs) {
    HUX_NEED_NETNS();
    const int rx = peer_udp_socket(30001);
    const int sniffer = peer_sniffer();
    ASSERT_GE(rx, 0);
    ASSERT_GE(sniffer, 0);

    const int tx = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(tx, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(30001);
    inet_pton(AF_INET, PEER_IP, &to.sin_addr);
    ASSERT_EQ(sendto(tx, "ping!", 5, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 5);

    char buf[2048];
    ASSERT_EQ(recv_within(rx, buf, sizeof buf, 2000), 5);
    EXPECT_EQ(std::string(buf, 5), "ping!");
    const int n = sniff_udp(sniffer, 30001, buf, sizeof buf, 2000);
    ASSERT_EQ(n, 14 + 20 + 8 + 5);
    EXPECT_EQ(std::memcmp(buf + 26, "\x0a\x4d\x00\x01", 4), 0);  // source 10.77.0.1
    EXPECT_EQ(std::memcmp(buf + 30, "\x0a\x4d\x00\x02", 4), 0);  // destination 10.77.0.2

    // The send resolved the peer: the client namespace's table, read by this
    // (the main) thread, has it.
    std::ifstream arp("/proc/net/arp");
    std::string all((std::istreambuf_iterator<char>(arp)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find(PEER_IP), std::string::npos) << all;
    EXPECT_NE(all.find(netns().client_if), std::string::npos) << all;

    set_hugepages(7, 1048576);
    std::ifstream pages("/proc/sys/vm/nr_hugepages");
    long count = 0;
    pages >> count;
    EXPECT_EQ(count, 7);
    std::ifstream meminfo("/proc/meminfo");
    std::string text((std::istreambuf_iterator<char>(meminfo)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Hugepagesize:       1048576 kB"), std::string::npos);
    set_hugepages(2048, 2048);
    close(tx);
    close(rx);
    close(sniffer);
}

// Where the ef_vi sender's frames go: the destination MAC from the entry its
// own ping makes, from a multicast address, from the gateway of an off-link
// server, and no MAC from an unresolved entry. Two of these inits ping a
// host that never answers (about 10 s each), so they have a program of their
// own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/bypass/test_ef_vi_support.h"
#include "tests/support/hex.h"

using namespace efvi_test;
using hux_test::hex_of;
using hux_test::PEER_IP;
using hux_test::recv_within;
using hux_test::sniff_udp;

namespace {
class EfViDestinationMac : public efvi_fixture {};
}  // namespace

TEST_F(EfViDestinationMac, FromPingMulticastGatewayNeverIncomplete) {
    HUX_NEED_NETNS();
    hux_test::netns_pair_names const& n = hux_test::netns();
    const int sniffer = hux_test::peer_sniffer();
    ASSERT_GE(sniffer, 0);
    unsigned char frame[4096];
    const std::string p = payload(40, 5);

    // No entry before init: the one its ping makes is used.
    ASSERT_EQ(hux_test::ns_run(n.client_ns, "ip neigh flush dev " + n.client_if), 0);
    {
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info(PEER_IP, 40032, 40031), client_if(), "sfc", nullptr, nullptr), 0);
        ASSERT_EQ(sender.ctpio_send(p.data(), 40, false), 40);
        ASSERT_EQ(sniff_udp(sniffer, 40032, frame, sizeof frame, 3000), 82);
        EXPECT_EQ(hex_of(frame, 6), "02f200000002");
        sender.destory();
    }

    // A multicast group needs no entry: 01:00:5e and the low 23 bits.
    {
        const int member = hux_test::peer_udp_socket(40034, "239.129.2.3");
        ASSERT_GE(member, 0);
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info("239.129.2.3", 40034, 40033), client_if(), "sfc", nullptr, nullptr), 0);
        char mac[64];
        EXPECT_FALSE(ef_vi_udp_sender::get_remote_mac("239.129.2.3", client_if(), mac, sizeof mac));
        ASSERT_EQ(sender.ctpio_send(p.data(), 40, false), 40);
        ASSERT_EQ(sniff_udp(sniffer, 40034, frame, sizeof frame, 3000), 82);
        EXPECT_EQ(hex_of(frame, 6), "01005e010203");
        EXPECT_EQ(hex_of(frame + 30, 4), "ef810203");
        char got[256];
        ASSERT_EQ(recv_within(member, got, sizeof got, 3000), 40);
        EXPECT_EQ(std::string(got, 40), p);
        sender.destory();
        close(member);
    }

    // An off-link server: the frame goes to the gateway's MAC.
    {
        ASSERT_EQ(hux_test::ns_run(n.peer_ns, "ip addr add 10.88.0.5/32 dev lo"), 0);
        ASSERT_EQ(hux_test::ns_run(n.client_ns, "ip route add 10.88.0.0/24 via 10.77.0.2"), 0);
        const int rx = hux_test::peer_udp_socket(40036);
        ASSERT_GE(rx, 0);
        char gateway[64] = "";
        EXPECT_TRUE(ef_vi_udp_sender::get_gateway_ip("10.88.0.5", gateway, sizeof gateway));
        EXPECT_STREQ(gateway, "10.77.0.2");
        EXPECT_FALSE(ef_vi_udp_sender::get_gateway_ip(PEER_IP, gateway, sizeof gateway));
        ef_vi_udp_sender sender;
        ASSERT_EQ(sender.init(make_info("10.88.0.5", 40036, 40035), client_if(), "sfc", nullptr, nullptr), 0);
        ASSERT_EQ(sender.ctpio_send(p.data(), 40, false), 40);
        ASSERT_EQ(sniff_udp(sniffer, 40036, frame, sizeof frame, 3000), 82);
        EXPECT_EQ(hex_of(frame, 6), "02f200000002");
        EXPECT_EQ(hex_of(frame + 30, 4), "0a580005");
        char got[256];
        ASSERT_EQ(recv_within(rx, got, sizeof got, 3000), 40);
        sender.destory();
        close(rx);
        hux_test::ns_run(n.client_ns, "ip route del 10.88.0.0/24");
        hux_test::ns_run(n.peer_ns, "ip addr del 10.88.0.5/32 dev lo");
    }

    // A row must match address and interface.
    {
        char mac[64] = "";
        ASSERT_EQ(hux_test::ns_run(n.client_ns, "ip link add hxdummy type veth peer name hxdummy2 && "
                                                "ip link set hxdummy up && ip neigh add 10.77.0.7 "
                                                "lladdr 02:77:00:00:00:07 dev hxdummy nud permanent"),
                  0);
        EXPECT_FALSE(ef_vi_udp_sender::get_remote_mac("10.77.0.7", client_if(), mac, sizeof mac));
        EXPECT_TRUE(ef_vi_udp_sender::get_remote_mac("10.77.0.7", "hxdummy", mac, sizeof mac));
        EXPECT_STREQ(mac, "02:77:00:00:00:07");
        EXPECT_FALSE(ef_vi_udp_sender::get_remote_mac("10.77.0.70", "hxdummy", mac, sizeof mac));
        hux_test::ns_run(n.client_ns, "ip link del hxdummy");
    }

    // Nobody answers at 10.77.0.99: ping leaves an unresolved row (no
    // ATF_COM, MAC zero), and that is no MAC.
    {
        ef_vi_udp_sender sender;
        const int opens = hux_standin_efvi_driver_opens();
        EXPECT_EQ(sender.init(make_info("10.77.0.99", 40038, 40037), client_if(), "sfc", nullptr, nullptr), -1);
        EXPECT_EQ(hux_standin_efvi_driver_opens(), opens);
        std::ifstream arp("/proc/net/arp");
        std::string line, row;
        while (std::getline(arp, line))
            if (line.rfind("10.77.0.99 ", 0) == 0) row = line;
        EXPECT_NE(row.find("00:00:00:00:00:00"), std::string::npos) << row;
        sender.destory();
        sender.destory();
    }
    close(sniffer);
}

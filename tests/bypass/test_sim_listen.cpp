// The simulated server on the peer end of the namespace pair: built on a
// thread that joined the peer namespace and listening on the peer's veth
// address, it is reached from the client namespace over TCP and UDP, and
// answers on the trade connection an order that comes from the port its
// logon named.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/netns_pair.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tests/support/udp_order_channel.h"

using hux_test::CLIENT_IP;
using hux_test::PEER_IP;
using namespace hux_test::net;

TEST(SimListen, ServerOnThePeersAddressAnswersTheClientNamespace) {
    HUX_NEED_NETNS();
    const std::chrono::milliseconds deadline = hux_test::test_wait();
    std::unique_ptr<hux_sim::sim_trade_server> sim;
    bool loopback_refused = false;
    hux_test::in_peer([&] {
        sim.reset(new hux_sim::sim_trade_server(0, PEER_IP));
        if (!sim->listening() || !sim->open_udp(0)) return;
        hux_sim::sim_config cfg;
        cfg.order_answer = hux_sim::order_mode::accept;
        sim->set_config(cfg);
        // Bound to that address only: the peer's own loopback has no listener.
        const int fd = hux_test::connect_ip("127.0.0.1", sim->port());
        loopback_refused = fd < 0;
        if (fd >= 0) ::close(fd);
    });
    ASSERT_TRUE(sim && sim->listening());
    ASSERT_NE(sim->udp_port(), 0);
    EXPECT_EQ(sim->listen_ip(), PEER_IP);
    EXPECT_TRUE(loopback_refused);

    hux_test::udp_endpoint channel(CLIENT_IP);
    ASSERT_NE(channel.port, 0);
    const int trade = hux_test::connect_ip(PEER_IP, sim->port());
    ASSERT_GE(trade, 0);
    ASSERT_TRUE(hux_test::send_all(trade, hux_test::logon_with_udp_port(channel.port)));
    EXPECT_EQ(hex(hux_test::read_exact(trade, 80, deadline).substr(0, 4)), "2e045000");  // 1070, length 80

    ASSERT_TRUE(channel.send_to(PEER_IP, sim->udp_port(), hux_test::order_with_token(5)));
    const std::string answer = hux_test::read_exact(trade, 120, deadline);
    ASSERT_EQ(answer.size(), 120u);
    EXPECT_EQ(hex(answer.substr(0, 4)), "f2037800");            // type 1010, length 120
    EXPECT_EQ(hex(answer.substr(20, 4)), "05000000");           // client token 5, echoed
    EXPECT_EQ(hex(answer.substr(100, 4)), "00000000");          // verdict 0: accepted
    EXPECT_EQ(hex(answer.substr(104, 8)), "0100000000000000");  // order number 1

    const std::vector<hux_sim::sim_datagram> log = sim->datagram_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].source_ip, CLIENT_IP);  // it came over the veth
    EXPECT_EQ(log[0].source_port, channel.port);
    EXPECT_EQ(log[0].conn, sim->trade_connection(0));
    ::close(trade);
}

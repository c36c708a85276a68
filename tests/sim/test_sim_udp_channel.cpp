// The simulated server's UDP order channel over real loopback sockets: an
// order-entry request that comes as a datagram is answered on the trade
// connection whose logon named the datagram's source port, and nowhere when
// no logon did; answers of the UDP thread and of the poll thread never
// interleave on a connection, however the writes are cut.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tests/support/udp_order_channel.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using hux_test::udp_endpoint;
using namespace hux_test::net;

namespace {

const std::chrono::milliseconds deadline = hux_test::test_wait();
const size_t len_logon_answer = 80;
const size_t len_order_answer = 120;

sim_config accepting() {
    sim_config cfg;
    cfg.order_answer = order_mode::accept;
    return cfg;
}

// Logs on with `udp_port` at 128 and reads the 1070.
void log_on(const plain_client& c, uint16_t udp_port) {
    ASSERT_TRUE(c.send(hux_test::logon_with_udp_port(udp_port)));
    const std::string answer = c.read(len_logon_answer);
    ASSERT_EQ(answer.size(), len_logon_answer);
    EXPECT_EQ(hex(answer.substr(0, 4)), "2e045000");  // type 1070, length 80
}

}  // namespace

TEST(SimUdpChannel, OrdersFromTheLogonsPortAreAnsweredOnItsConnectionOnly) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(accepting()));
    ASSERT_TRUE(sim.open_udp(0));
    udp_endpoint mine("127.0.0.1");
    udp_endpoint stranger("127.0.0.1");
    ASSERT_NE(mine.port, 0);
    ASSERT_NE(stranger.port, 0);

    plain_client trade(sim.port());
    log_on(trade, mine.port);
    const size_t conn = sim.trade_connection(0);
    ASSERT_NE(conn, sim_trade_server::no_connection);

    // A datagram from a port no logon named is recorded, not answered: it is
    // handled before the next one, whose answer is then the first to arrive.
    ASSERT_TRUE(stranger.send_to("127.0.0.1", sim.udp_port(), hux_test::order_with_token(7)));
    ASSERT_TRUE(sim.wait_for_datagrams(1, deadline));
    ASSERT_TRUE(mine.send_to("127.0.0.1", sim.udp_port(), hux_test::order_with_token(8)));
    const std::string answer = trade.read(len_order_answer);
    ASSERT_EQ(answer.size(), len_order_answer);
    EXPECT_EQ(hex(answer.substr(0, 4)), "f2037800");    // type 1010, length 120
    EXPECT_EQ(hex(answer.substr(4, 4)), "44332211");    // request tag, echoed
    EXPECT_EQ(hex(answer.substr(20, 4)), "08000000");   // client token 8: the second datagram's
    EXPECT_EQ(hex(answer.substr(100, 4)), "00000000");  // verdict 0: accepted
    EXPECT_EQ(hex(answer.substr(104, 8)), "0100000000000000");  // order number 1

    const std::vector<hux_sim::sim_datagram> log = sim.datagram_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].source_port, stranger.port);
    EXPECT_EQ(log[0].conn, sim_trade_server::no_connection);
    EXPECT_EQ(log[1].source_ip, "127.0.0.1");
    EXPECT_EQ(log[1].source_port, mine.port);
    EXPECT_EQ(log[1].conn, conn);
    EXPECT_EQ(log[1].bytes, hux_test::order_with_token(8));
    EXPECT_EQ(sim.count(conn, hux_sim::msg_new_order), 0u);  // not among the stream's messages

    // A cancel by owner token over UDP finds the order numbered over UDP; a
    // datagram of two requests gets both answers, one of a kind the channel
    // does not answer (a heart-beat) gets none, and a short tail is dropped.
    const std::string cancel = unhex("0b00")      // type 11
                               + unhex("2c00")    // length 44
                               + zeros(16)        // bytes 4-19
                               + zeros(4)         // owner user id
                               + unhex("08000000")  // owner token 8
                               + zeros(3)         // bytes 28-30
                               + unhex("01")      // cancel mode 1: by owner token
                               + zeros(12);       // bytes 32-43
    ASSERT_TRUE(mine.send_to("127.0.0.1", sim.udp_port(),
                             heart_beat() + cancel + hux_test::order_with_token(9) + unhex("0a00")));
    const std::string both = trade.read(64 + len_order_answer);
    ASSERT_EQ(both.size(), 64 + len_order_answer);
    EXPECT_EQ(hex(both.substr(0, 4)), "f3034000");               // type 1011, length 64
    EXPECT_EQ(hex(both.substr(48, 8)), "0100000000000000");      // order number 1, found by token 8
    EXPECT_EQ(hex(both.substr(64, 4)), "f2037800");              // type 1010
    EXPECT_EQ(hex(both.substr(64 + 20, 4)), "09000000");         // client token 9
    EXPECT_EQ(hex(both.substr(64 + 104, 8)), "0200000000000000");  // order number 2

    // A second connection whose logon names the same port takes the channel
    // over; a logon with port 0 names none.
    plain_client second(sim.port());
    log_on(second, mine.port);
    plain_client third(sim.port());
    log_on(third, 0);
    ASSERT_TRUE(mine.send_to("127.0.0.1", sim.udp_port(), hux_test::order_with_token(10)));
    const std::string moved = second.read(len_order_answer);
    ASSERT_EQ(moved.size(), len_order_answer);
    EXPECT_EQ(hex(moved.substr(20, 4)), "0a000000");             // client token 10
    EXPECT_EQ(hex(moved.substr(104, 8)), "0300000000000000");    // order number 3 of the server

    // A silent connection records the datagram and answers nothing (its
    // answers are decided once it is recorded): after silence ends, a
    // heart-beat's answer is the next thing the connection reads.
    sim_config quiet = accepting();
    quiet.silent = true;
    ASSERT_TRUE(sim.set_connection_config(sim.trade_connection(1), quiet));
    ASSERT_TRUE(mine.send_to("127.0.0.1", sim.udp_port(), hux_test::order_with_token(11)));
    ASSERT_TRUE(sim.wait_for_datagrams(5, deadline));
    ASSERT_TRUE(sim.set_connection_config(sim.trade_connection(1), accepting()));
    ASSERT_TRUE(second.send(heart_beat()));
    EXPECT_EQ(hex(second.read(16)), "b0041000" + std::string(24, '0'));  // type 1200, length 16, zeros
    EXPECT_EQ(sim.datagram_log().at(4).conn, sim.trade_connection(1));
}

TEST(SimUdpChannel, UdpAndStreamAnswersNeverInterleaveUnderCutWrites) {
    sim_trade_server sim;
    sim_config cfg = accepting();
    cfg.random_split_max = 3;  // every write cut into pieces of 1..3 bytes
    ASSERT_TRUE(sim.set_config(cfg));
    ASSERT_TRUE(sim.open_udp(0));
    udp_endpoint mine("127.0.0.1");
    plain_client trade(sim.port());
    log_on(trade, mine.port);

    // Orders over UDP and heart-beats on the stream at the same time; each
    // answer must arrive whole, so the stream cuts into 1010s and 1200s.
    const int rounds = 300;
    // The sender stays at most 32 datagrams ahead of the server, so that
    // none is dropped for want of socket buffer while answers are cut.
    std::thread udp([&] {
        for (int i = 0; i < rounds; ++i) {
            if (i >= 32 && !sim.wait_for_datagrams(static_cast<size_t>(i - 32), deadline)) return;
            mine.send_to("127.0.0.1", sim.udp_port(), hux_test::order_with_token(1));
        }
    });
    for (int i = 0; i < rounds; ++i) ASSERT_TRUE(trade.send(heart_beat()));
    udp.join();
    ASSERT_TRUE(sim.wait_for_datagrams(rounds, deadline));
    const size_t total = rounds * (len_order_answer + 16);
    const std::string stream = hux_test::read_exact(trade.fd, total, deadline);
    ASSERT_EQ(stream.size(), total);
    size_t orders = 0, beats = 0;
    for (size_t off = 0; off < stream.size();) {
        const std::string head = hex(stream.substr(off, 4));
        if (head == "f2037800") {
            ++orders;
            EXPECT_EQ(le_at(stream, off + 104, 8), orders) << "at " << off;  // numbered in order
            off += len_order_answer;
        } else {
            ASSERT_EQ(head, "b0041000") << "a torn answer at " << off;
            ++beats;
            off += 16;
        }
    }
    EXPECT_EQ(orders, static_cast<size_t>(rounds));
    EXPECT_EQ(beats, static_cast<size_t>(rounds));
}

// The simulated server's drop marker over real loopback sockets: a new order
// for the marker symbol, on the stream or as a datagram, is recorded and not
// answered, and closes every trade and query connection at once after the
// answers to what came before it; report connections and connections that
// sent nothing stay; a drop that races with closes by hand and by the peers
// closes each connection exactly once.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_trade_server.h"
#include "tests/support/net_support.h"
#include "tests/support/plain_socket.h"
#include "tests/support/test_wait.h"
#include "tests/support/udp_order_channel.h"

using hux_sim::order_mode;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;
using hux_test::plain_client;
using hux_test::read_end;
using hux_test::udp_endpoint;
using namespace hux_test::net;

namespace {

const std::chrono::milliseconds deadline = hux_test::test_wait();
const size_t len_order_answer = 120;

sim_config marking(const std::string& marker) {
    sim_config cfg;
    cfg.order_answer = order_mode::accept;
    cfg.drop_marker = marker;
    return cfg;
}

// A new order of quantity 0 for `symbol` (at 76, zero-filled to 20 bytes).
std::string order_for(uint8_t token, const std::string& symbol) {
    return hux_sim::patch_bytes(hux_test::order_with_token(token), 76, symbol);
}

// Sends a heart-beat and reads its answer, so that the connection counts as
// a trade connection from then on.
void beat(const plain_client& c) {
    ASSERT_TRUE(c.send(heart_beat()));
    ASSERT_EQ(hex(c.read(16)), hex(heart_beat_answer()));
}

// The drop counts the hook was handed, from the thread that dropped.
struct hook_record {
    std::mutex m;
    std::vector<size_t> counts;
    void install(sim_trade_server& sim) {
        sim.set_drop_hook([this](size_t closed) {
            std::lock_guard<std::mutex> lock(m);
            counts.push_back(closed);
        });
    }
    std::vector<size_t> seen() {
        std::lock_guard<std::mutex> lock(m);
        return counts;
    }
};

}  // namespace

TEST(SimDrop, MarkerOnTheStreamClosesTradeAndQueryConnectionsAfterTheAnswersBeforeIt) {
    sim_trade_server sim;
    // A marker fills at most the 20 bytes of the symbol field.
    sim_config cfg;
    std::string error;
    EXPECT_TRUE(hux_sim::parse_script("drop_marker " + std::string(20, 'S') + "\n", cfg, error)) << error;
    EXPECT_FALSE(sim.set_config(marking(std::string(21, 'S'))));
    ASSERT_TRUE(sim.set_config(marking("DROPME")));
    ASSERT_TRUE(sim.open_query(0));
    hook_record hook;
    hook.install(sim);

    plain_client reporter(sim.port());  // connection 0: terminal reports
    ASSERT_TRUE(reporter.send(unhex("61 000000 01000000")));  // version check 'a', version 1
    ASSERT_EQ(reporter.read(8).substr(0, 1), "b");
    plain_client marker(sim.port());  // connection 1
    beat(marker);
    plain_client other(sim.port());  // connection 2
    beat(other);
    plain_client quiet(sim.port());  // connection 3: sends nothing before the drop
    ASSERT_TRUE(sim.wait_for_connection(3, deadline));
    plain_client query(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(0, deadline));
    ASSERT_TRUE(other.send(order_for(1, "DROPMEX")));  // a longer symbol is no marker
    EXPECT_EQ(hex(other.read(len_order_answer).substr(0, 4)), "f2037800");  // 1010, length 120
    EXPECT_TRUE(sim.drops().empty());

    // The beat before the marker is answered, the one after it is not.
    ASSERT_TRUE(marker.send(heart_beat(1) + order_for(2, "DROPME") + heart_beat(2)));
    const std::string answer = marker.read(17);  // one byte more than the answer: the FIN comes instead
    EXPECT_EQ(hex(answer), hex(heart_beat_answer()));
    EXPECT_EQ(read_end(marker.fd, deadline), 0);
    EXPECT_EQ(read_end(other.fd, deadline), 0);
    EXPECT_EQ(read_end(query.fd, deadline), 0);
    ASSERT_TRUE(sim.wait_for_drops(1, deadline));
    EXPECT_EQ(sim.drops(), std::vector<size_t>{3});
    EXPECT_TRUE(hux_test::wait_until([&] { return hook.seen().size() == 1; }, deadline));
    EXPECT_EQ(hook.seen(), std::vector<size_t>{3});
    // The marker and what followed it are recorded like any request.
    EXPECT_EQ(sim.count(1, hux_sim::msg_new_order), 1u);
    EXPECT_EQ(sim.count(1, hux_sim::msg_heart_beat), 3u);
    EXPECT_EQ(hux_sim::requests_by_type(sim.messages(1)), "10 x1, 200 x3");

    // The report connection and the one that had sent nothing are still served.
    ASSERT_TRUE(reporter.send(unhex("61 000000 01000000")));
    EXPECT_EQ(reporter.read(8).substr(0, 1), "b");
    beat(quiet);
    // So are new connections, trade and query, until the next drop, which
    // closes only those open now. A silent connection's marker drops too:
    // silence holds answers back, not drops.
    plain_client later(sim.port());  // connection 4
    beat(later);
    plain_client later_query(sim.query_port());
    ASSERT_TRUE(sim.wait_for_query_connection(1, deadline));
    ASSERT_TRUE(later_query.send(unhex("4700") + unhex("1000") + zeros(12)));  // a 71, not answered
    ASSERT_TRUE(sim.wait_for_query_message(1, hux_sim::msg_query_user_account, 1, deadline));
    sim_config silent = marking("DROPME");
    silent.silent = true;
    ASSERT_TRUE(sim.set_connection_config(4, silent));
    ASSERT_TRUE(later.send(order_for(3, "DROPME")));
    EXPECT_EQ(read_end(quiet.fd, deadline), 0);
    EXPECT_EQ(read_end(later.fd, deadline), 0);
    EXPECT_EQ(read_end(later_query.fd, deadline), 0);
    ASSERT_TRUE(sim.wait_for_drops(2, deadline));
    EXPECT_EQ(sim.drops(), (std::vector<size_t>{3, 3}));  // quiet, later, later_query
    EXPECT_TRUE(hux_test::wait_until([&] { return hook.seen().size() == 2; }, deadline));
    // On demand, with nothing left open; the hook runs on this thread.
    EXPECT_EQ(sim.drop_connections(), 0u);
    EXPECT_EQ(sim.drops(), (std::vector<size_t>{3, 3, 0}));
    EXPECT_EQ(hook.seen(), (std::vector<size_t>{3, 3, 0}));
}

TEST(SimDrop, MarkerInADatagramDropsAfterTheAnswersBeforeItFromAnyPort) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(marking("DROPME")));
    ASSERT_TRUE(sim.open_udp(0));
    udp_endpoint mine("127.0.0.1");
    udp_endpoint stranger("127.0.0.1");
    ASSERT_NE(mine.port, 0);
    ASSERT_NE(stranger.port, 0);

    plain_client trade(sim.port());
    ASSERT_TRUE(trade.send(hux_test::logon_with_udp_port(mine.port)));
    ASSERT_EQ(hex(trade.read(80).substr(0, 4)), "2e045000");  // 1070, length 80
    plain_client other(sim.port());
    beat(other);
    // The first order of the datagram is answered on the logon's connection,
    // the marker and the order after it are not.
    ASSERT_TRUE(mine.send_to("127.0.0.1", sim.udp_port(),
                             hux_test::order_with_token(1) + order_for(2, "DROPME") + hux_test::order_with_token(3)));
    const std::string answer = trade.read(len_order_answer + 1);
    ASSERT_EQ(answer.size(), len_order_answer);
    EXPECT_EQ(hex(answer.substr(0, 4)), "f2037800");   // 1010, length 120
    EXPECT_EQ(hex(answer.substr(20, 4)), "01000000");  // client token 1
    EXPECT_EQ(read_end(trade.fd, deadline), 0);
    EXPECT_EQ(read_end(other.fd, deadline), 0);
    ASSERT_TRUE(sim.wait_for_drops(1, deadline));
    EXPECT_EQ(sim.drops(), std::vector<size_t>{2});
    EXPECT_EQ(sim.count(0, hux_sim::msg_new_order), 0u);  // datagrams are not the stream's requests

    // A marker from a port no logon named drops by the server's configuration.
    plain_client later(sim.port());
    beat(later);
    ASSERT_TRUE(stranger.send_to("127.0.0.1", sim.udp_port(), order_for(4, "DROPME")));
    EXPECT_EQ(read_end(later.fd, deadline), 0);
    ASSERT_TRUE(sim.wait_for_drops(2, deadline));
    EXPECT_EQ(sim.drops(), (std::vector<size_t>{2, 1}));
    const std::vector<hux_sim::sim_datagram> log = sim.datagram_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].conn, 0u);
    EXPECT_EQ(log[1].conn, sim_trade_server::no_connection);

    // The traffic lines name the same datagrams and connections.
    const std::string m = std::to_string(mine.port);
    const std::string s = std::to_string(stranger.port);
    EXPECT_EQ(hux_sim::traffic_dump(sim),
              "hux-sim-server: trade connection 0: 70 x1\n"
              "hux-sim-server: trade connection 0 logon udp port " + m + "\n"
              "hux-sim-server: trade connection 1: 200 x1\n"
              "hux-sim-server: trade connection 2: 200 x1\n"
              "hux-sim-server: datagram 0 from port " + m + " on connection 0: type 10, 300 bytes\n"
              "hux-sim-server: datagram 1 from port " + s + " on connection none: type 10, 100 bytes\n");
}

// Each round a drop meets a close by hand of one trade and the query
// connection, and the peer's own close of that trade connection: every
// connection is closed by exactly one of them, so the drop's count and the
// closes by hand that closed something add up to the three connections.
TEST(SimDrop, DropsRacingOtherClosesCloseEachConnectionOnce) {
    sim_trade_server sim;
    ASSERT_TRUE(sim.set_config(marking("DROPME")));
    ASSERT_TRUE(sim.open_query(0));
    hux_test::loopback_server* query_port = sim.query_transport();
    ASSERT_NE(query_port, nullptr);
    const size_t rounds = 20;
    for (size_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        plain_client raced(sim.port());
        beat(raced);
        plain_client marker(sim.port());
        beat(marker);
        plain_client query(sim.query_port());
        ASSERT_TRUE(sim.wait_for_query_connection(round, deadline));
        const size_t raced_conn = 2 * round;  // beaten first, so classified first
        ASSERT_EQ(sim.trade_connection(2 * round), raced_conn);

        std::atomic<bool> go{false};
        std::atomic<size_t> by_hand{0};
        std::thread hand([&] {
            while (!go) std::this_thread::yield();
            by_hand += query_port->close(round) ? 1 : 0;
            by_hand += sim.transport().close(raced_conn) ? 1 : 0;
        });
        std::thread peer([&] {
            while (!go) std::this_thread::yield();
            ::shutdown(raced.fd, SHUT_RDWR);
        });
        go = true;
        ASSERT_TRUE(marker.send(order_for(static_cast<uint8_t>(round), "DROPME")));
        hand.join();
        peer.join();
        ASSERT_TRUE(sim.wait_for_drops(round + 1, deadline));
        EXPECT_EQ(sim.drops()[round] + by_hand, 3u);
        EXPECT_EQ(read_end(marker.fd, deadline), 0);
        EXPECT_EQ(read_end(query.fd, deadline), 0);
    }
    // Served as before.
    plain_client after(sim.port());
    beat(after);
}

// The collection client's stream transport and its byte buffer: over real
// loopback connections, the hand-over of received bytes to the receiver with
// reassembly of cut messages, blocking and queued sends, peer and local
// close, refused connections and the idle time-out.
#include <gtest/gtest.h>

#include <pthread.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "tools/data_pool.h"
#include "sim/loopback_server.h"
#include "tests/support/test_wait.h"
#include "report/coll_rptr/tcp_client_stream.h"
#include "report/hux_base/my_stream_buffer.h"

using hux_test::loopback_server;
using hux_test::wait_until;
using std::chrono::milliseconds;

namespace {

const milliseconds kWait = hux_test::test_wait();

std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) % 251);
    return s;
}

std::string contents(my_stream_buffer& b) { return std::string(b.get_data_ptr(), b.get_data_len()); }

bool push(my_stream_buffer& b, const std::string& s) { return b.push_data(s.data(), s.size()); }

// A receiver that reads fixed-length messages (or, greedy, claims more than
// it is offered) and records every call it gets.
class recording_receiver : public i_proc_tcp_client {
public:
    explicit recording_receiver(size_t msg_len, bool greedy = false) : m_msg_len(msg_len), m_greedy(greedy) {}

    void on_tcp_client_connected(const char* name) override { note(name, m_connected); }
    void on_tcp_client_remote_disconnected(const char* name) override { note(name, m_remote); }
    void on_tcp_client_local_disconnected(const char* name) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_local_thread = pthread_self();
        m_names.push_back(name);
        ++m_local;
    }
    void on_tcp_client_net_error_disconnected(const char* name) override { note(name, m_net_error); }
    uint32_t on_tcp_client_data_recv(const char* name, uint64_t, const char* data, uint32_t length) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_names.push_back(name);
        m_offers.emplace_back(data, length);
        if (m_greedy) {
            m_consumed.append(data, length);
            return length + 100;
        }
        if (length < m_msg_len) return 0;
        m_consumed.append(data, m_msg_len);
        return static_cast<uint32_t>(m_msg_len);
    }
    void on_tcp_client_data_sent(const char*, uint64_t, const char*, uint32_t) override {}
    void on_tcp_client_idle_timeout(const char* name) override { note(name, m_idle); }

    int connected() { return read(m_connected); }
    int remote() { return read(m_remote); }
    int local() { return read(m_local); }
    int idle() { return read(m_idle); }
    pthread_t local_thread() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_local_thread;
    }
    std::vector<std::string> offers() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_offers;
    }
    size_t offer_count() { return offers().size(); }
    std::string consumed() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_consumed;
    }
    std::vector<std::string> names() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_names;
    }

private:
    void note(const char* name, int& counter) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_names.push_back(name);
        ++counter;
    }
    int read(const int& counter) {
        std::lock_guard<std::mutex> guard(m_lock);
        return counter;
    }

    const size_t m_msg_len;
    const bool m_greedy;
    std::mutex m_lock;
    int m_connected = 0, m_remote = 0, m_local = 0, m_net_error = 0, m_idle = 0;
    pthread_t m_local_thread{};
    std::vector<std::string> m_offers;
    std::string m_consumed;
    std::vector<std::string> m_names;
};

// Connects the stream to the server's next connection and waits until both
// ends and the receiver know it.
void connect_stream(tcp_client_stream& stream, loopback_server& srv, recording_receiver& rx, size_t conn) {
    int before = rx.connected();
    ASSERT_TRUE(stream.start_conn_server("127.0.0.1", srv.port()));
    ASSERT_TRUE(srv.wait_accept(conn, kWait));
    ASSERT_TRUE(wait_until([&] { return rx.connected() == before + 1; }, kWait));
    EXPECT_EQ(1, stream.get_conn_status());
}

}  // namespace

// The buffer is the tools library's stream_buffer under a lock (whose rules
// test_stream_buffer covers): here its own size, and that every call reaches
// the buffer it wraps.
TEST(CollStreamBuffer, StandardSizeAndTheWrappedBuffersRules) {
    my_stream_buffer fresh;
    EXPECT_EQ(512u, fresh.get_buf_len());
    ASSERT_TRUE(push(fresh, pattern(600, 1)));
    EXPECT_EQ(1024u, fresh.get_buf_len());  // twice the length covers 600
    EXPECT_EQ(pattern(600, 1), contents(fresh));
    fresh.pop_data(1000);
    EXPECT_EQ(0u, fresh.get_data_len());

    // Direct writes: fill is clamped to the room; a full array compacts
    // when some was read and doubles when none was.
    my_stream_buffer direct(512);
    ASSERT_EQ(512u, direct.get_reserve_len());
    memcpy(direct.get_reserve_ptr(), pattern(512, 6).data(), 512);
    direct.fill_reserve_len(100000);
    EXPECT_EQ(512u, direct.get_data_len());
    direct.pop_data(12);
    EXPECT_EQ(12u, direct.get_reserve_len());
    EXPECT_EQ(512u, direct.get_buf_len());
    EXPECT_EQ(pattern(512, 6).substr(12), contents(direct));
    memcpy(direct.get_reserve_ptr(), "0123456789AB", 12);
    direct.fill_reserve_len(12);
    EXPECT_EQ(512u, direct.get_reserve_len());
    EXPECT_EQ(1024u, direct.get_buf_len());
    EXPECT_EQ(pattern(512, 6).substr(12) + "0123456789AB", contents(direct));

    ASSERT_TRUE(direct.reset_data("new", 3));
    EXPECT_EQ("new", contents(direct));
    EXPECT_FALSE(direct.push_data(nullptr, 5));
    EXPECT_EQ("new", contents(direct));

    // The transport's pool makes buffers of the standard 512 bytes.
    MORVAST::TOOLS::data_pool<my_stream_buffer> pool(2);
    my_stream_buffer* block = pool.new_data();
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(512u, block->get_buf_len());
    pool.delete_data(block);
}

TEST(CollStream, HandsTheReceiverEveryUnconsumedByteAgainWithTheNextOnesAppended) {
    loopback_server srv;
    recording_receiver rx(10);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);
    connect_stream(stream, srv, rx, 0);
    EXPECT_EQ(2u, stream.get_thread_count());

    const std::string msgs = pattern(30, 9);  // three 10-byte messages
    ASSERT_TRUE(srv.send(0, msgs.substr(0, 3)));
    ASSERT_TRUE(wait_until([&] { return rx.offer_count() == 1; }, kWait));
    EXPECT_EQ("", rx.consumed());

    // The rest of the first, the second and half of the third message.
    ASSERT_TRUE(srv.send(0, msgs.substr(3, 22)));
    ASSERT_TRUE(wait_until([&] { return rx.offer_count() == 4; }, kWait));
    ASSERT_TRUE(srv.send(0, msgs.substr(25)));
    ASSERT_TRUE(wait_until([&] { return rx.consumed().size() == 30; }, kWait));

    std::vector<std::string> offers = rx.offers();
    ASSERT_EQ(5u, offers.size());
    EXPECT_EQ(msgs.substr(0, 3), offers[0]);
    EXPECT_EQ(msgs.substr(0, 25), offers[1]);
    EXPECT_EQ(msgs.substr(10, 15), offers[2]);
    EXPECT_EQ(msgs.substr(20, 5), offers[3]);
    EXPECT_EQ(msgs.substr(20, 10), offers[4]);
    EXPECT_EQ(msgs, rx.consumed());
    EXPECT_EQ(3u, stream.get_recv_package());
    EXPECT_EQ(30u, stream.get_recv_bytes());
    for (const std::string& name : rx.names()) EXPECT_EQ("coll_rptr", name);

    // Many messages cut at random points arrive whole and in order.
    const std::string many = pattern(37 * 10 * 40, 11);
    recording_receiver rx37(37);
    tcp_client_stream stream37("cut");
    stream37.tcp_client_set_proc_handle(&rx37);
    connect_stream(stream37, srv, rx37, 1);
    ASSERT_TRUE(srv.send_random_pieces(1, many, 7, 50));
    ASSERT_TRUE(wait_until([&] { return rx37.consumed().size() == many.size(); }, kWait));
    EXPECT_EQ(many, rx37.consumed());
}

TEST(CollStream, AReceiverClaimingMoreThanItWasOfferedDropsOnlyWhatIsBuffered) {
    loopback_server srv;
    recording_receiver rx(0, true);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);
    connect_stream(stream, srv, rx, 0);

    ASSERT_TRUE(srv.send(0, "abc"));
    ASSERT_TRUE(wait_until([&] { return rx.offer_count() == 1; }, kWait));
    ASSERT_TRUE(srv.send(0, "defg"));
    ASSERT_TRUE(wait_until([&] { return rx.offer_count() == 2; }, kWait));
    std::vector<std::string> offers = rx.offers();
    EXPECT_EQ("abc", offers[0]);
    EXPECT_EQ("defg", offers[1]);
}

TEST(CollStream, BlockingAndQueuedSendsDeliverEveryByteInOrder) {
    loopback_server srv;
    srv.set_small_receive_buffer(true);
    recording_receiver rx(10);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);

    // Nothing goes out, or is queued, before the connection is up.
    EXPECT_EQ(0u, stream.send(0, "early", 5));
    EXPECT_EQ(0u, stream.async_send(0, "early", 5));
    connect_stream(stream, srv, rx, 0);

    const std::string big = pattern(300000, 12);
    EXPECT_EQ(big.size(), stream.send(0, big.data(), static_cast<uint32_t>(big.size())));
    ASSERT_TRUE(srv.wait_received(0, big.size(), kWait));

    // The server stops reading: the queued send meets a full socket, keeps
    // what it could not send and finishes once the server reads again.
    srv.pause_reading(0, true);
    const std::string queued = pattern(1000000, 13);
    const std::string tail = pattern(100, 14);
    EXPECT_EQ(queued.size(), stream.async_send(0, queued.data(), static_cast<uint32_t>(queued.size())));
    EXPECT_EQ(tail.size(), stream.async_send(0, tail.data(), static_cast<uint32_t>(tail.size())));
    srv.pause_reading(0, false);
    const size_t total = big.size() + queued.size() + tail.size();
    ASSERT_TRUE(srv.wait_received(0, total, kWait));
    EXPECT_TRUE(srv.received(0) == big + queued + tail);
    ASSERT_TRUE(wait_until([&] { return stream.get_send_bytes() == total; }, kWait));
}

TEST(CollStream, PeerAndLocalCloseStopBothThreadsAndTellTheReceiver) {
    loopback_server srv;
    recording_receiver rx(4);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);
    connect_stream(stream, srv, rx, 0);

    srv.close(0);
    ASSERT_TRUE(wait_until([&] { return rx.remote() == 1; }, kWait));
    ASSERT_TRUE(wait_until([&] { return stream.get_thread_count() == 0; }, kWait));
    EXPECT_EQ(0, stream.get_conn_status());
    EXPECT_EQ(0u, stream.send(0, "late", 4));

    // Started again, the stream works as new.
    connect_stream(stream, srv, rx, 1);
    EXPECT_EQ(2u, stream.get_thread_count());
    ASSERT_TRUE(srv.send(1, "ping"));
    ASSERT_TRUE(wait_until([&] { return rx.consumed() == "ping"; }, kWait));

    // A local close is reported on the closing thread, after which no
    // thread of the stream is left.
    EXPECT_TRUE(stream.disconn_client());
    EXPECT_EQ(1, rx.local());
    EXPECT_TRUE(pthread_equal(pthread_self(), rx.local_thread()));
    EXPECT_EQ(0u, stream.get_thread_count());
    EXPECT_EQ(0, stream.get_conn_status());
    EXPECT_TRUE(srv.wait_peer_closed(1, kWait));
    EXPECT_TRUE(stream.disconn_client());
    EXPECT_EQ(1, rx.local());
    EXPECT_EQ(1, rx.remote());
}

TEST(CollStream, RefusesAddressesItCannotConnectTo) {
    loopback_server closed;
    const uint16_t port = closed.port();
    closed.stop_listening();
    recording_receiver rx(4);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);

    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", port));
    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", 0));
    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", -1));
    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", 65536 + 80));  // never cut to port 80
    EXPECT_FALSE(stream.start_conn_server("not an address", 80));
    EXPECT_FALSE(stream.start_conn_server(nullptr, 80));
    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", port, "127.0.0.1", 70000));
    EXPECT_EQ(0u, stream.get_thread_count());
    EXPECT_EQ(0, stream.get_conn_status());
    EXPECT_EQ(0, rx.connected());
    EXPECT_EQ("", stream.get_sock_name());

    // Bound to a local address, the connection comes from it.
    loopback_server srv;
    EXPECT_FALSE(stream.start_conn_server("127.0.0.1", srv.port(), "203.0.113.9", 0));
    ASSERT_TRUE(stream.start_conn_server("127.0.0.1", srv.port(), "127.0.0.2", 0));
    ASSERT_TRUE(srv.wait_accept(0, kWait));
    EXPECT_EQ("127.0.0.2", stream.get_sock_name());
    server_info info = stream.get_server_info();
    EXPECT_STREQ("127.0.0.1", info.ip);
    EXPECT_EQ(srv.port(), info.port);
}

TEST(CollStream, DescribesItselfAndNamesWhatItCannotRun) {
    tcp_client_stream named("coll_rptr");
    tcp_client_stream unnamed("");
    EXPECT_STREQ("\tCompDate:    Svn Revision: ", named.get_version());
    EXPECT_EQ(named.get_version(), unnamed.get_version());  // formatted once

    testing::internal::CaptureStdout();
    EXPECT_TRUE(named.on_start());
    EXPECT_FALSE(unnamed.on_start());
    named.run("other");
    EXPECT_EQ("not set sock_svr node name \nunknow socker_svr_client thread. \n",
              testing::internal::GetCapturedStdout());
}

TEST(CollStream, TellsAnIdleReceiverOnceItsTimeOutHasPassed) {
    loopback_server srv;
    recording_receiver rx(4);
    tcp_client_stream stream("coll_rptr");
    stream.tcp_client_set_proc_handle(&rx);
    stream.set_recv_time_out(1);
    auto start = std::chrono::steady_clock::now();
    connect_stream(stream, srv, rx, 0);
    ASSERT_TRUE(wait_until([&] { return rx.idle() == 1; }, kWait));
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1000));
    EXPECT_EQ(1, rx.idle());
}

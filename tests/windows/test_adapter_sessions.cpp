// The adapter's trade session on Windows against an in-process Winsock peer:
// the logon request's UDP port field, which path orders take, warm-ups,
// the logon answer with its "driver type" line, the token mark, and closes
// from the caller's thread and from the session's own callback.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/TradeClient.h"
#include "tests/windows/support/winsock_peer.h"
#include "trade_core/trade_msg.h"

namespace {

using HUX_ADAPTER::CTradeClient;
using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;

// What the session reports to its owner. `hook` runs inside the connection
// report of `hook_code`, once.
class trade_events : public HUX_ADAPTER::TradeClientEvent {
public:
    void on_trade_client_connect_event(int code, const char*) override {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_codes.push_back(code);
            if (code == m_hook_code) {
                hook.swap(m_hook);
                m_hook_code = -1;
            }
        }
        if (hook) hook();
    }
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_logons.push_back(*rsp);
    }
    std::vector<int> codes() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_codes;
    }
    std::vector<HUX_LogonResponse> logons() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_logons;
    }
    bool wait_codes(size_t n) {
        return wait_for([&] { return codes().size() >= n; }, wait_limit_ms());
    }
    void on_code(int code, std::function<void()> hook) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hook_code = code;
        m_hook = std::move(hook);
    }

private:
    std::mutex m_lock;
    std::vector<int> m_codes;
    std::vector<HUX_LogonResponse> m_logons;
    int m_hook_code = -1;
    std::function<void()> m_hook;
};

// The session with short closes; its threads stop before any part of it goes.
class test_client : public CTradeClient {
public:
    explicit test_client(trade_events* events) : CTradeClient(nullptr, events, nullptr) {
        HUX_ADAPTER::TradeClientTimings t = GetTimings();
        t.close_pause_ms = 1;
        SetTimings(t);
    }
    ~test_client() override { shutdown(); }
};

HUX_TradeSvrInfo record(uint16_t tcp_port) {
    HUX_TradeSvrInfo info;
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = tcp_port;
    info.heartbeat_interval = 0;
    return info;
}

// A 168-byte logon request: type 70 ('F'), every other byte 0xEE.
std::string logon_request() {
    std::string msg(168, '\xee');
    msg[0] = 'F';
    return msg;
}

// A 100-byte new order (first byte 10), its other bytes numbered from `seed`.
std::string new_order(int seed) {
    std::string msg(100, '\0');
    msg[0] = 10;
    for (size_t i = 1; i < msg.size(); ++i) msg[i] = static_cast<char>(seed + i);
    return msg;
}

uint16_t u16_at(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

// A UDP socket on 127.0.0.1 at a port the system chose.
struct udp_receiver {
    udp_receiver() : sock(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
        sockaddr_in at;
        memset(&at, 0, sizeof(at));
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(at);
        if (sock != INVALID_SOCKET && bind(sock, reinterpret_cast<sockaddr*>(&at), sizeof(at)) == 0 &&
            getsockname(sock, reinterpret_cast<sockaddr*>(&at), &len) == 0)
            port = ntohs(at.sin_port);
    }
    ~udp_receiver() {
        if (sock != INVALID_SOCKET) closesocket(sock);
    }
    // The next datagram within the time, with its source port; "" when none.
    std::string receive(int timeout_ms, uint16_t& from_port) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(sock, &ready);
        timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
        if (select(0, &ready, nullptr, nullptr, &limit) != 1) return "";
        char buf[2048];
        sockaddr_in from;
        int from_len = sizeof(from);
        const int n = recvfrom(sock, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (n <= 0) return "";
        from_port = ntohs(from.sin_port);
        return std::string(buf, static_cast<size_t>(n));
    }
    SOCKET sock;
    uint16_t port = 0;
};

// A local UDP port nothing holds right now.
uint16_t free_udp_port() {
    udp_receiver probe;
    return probe.port;
}

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace

// Without a UDP channel the logon request carries port 0 at byte 128 and
// orders go over TCP; a warm-up sends nothing. After the disconnect (code 3,
// on the caller's thread) the session is closed and an order fails at once.
TEST(WindowsTradeSession, TcpOnlyPathsAndDisconnect) {
    hux_wtest::winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    trade_events events;
    test_client client(&events);
    ASSERT_TRUE(client.ConnServer(record(peer.port())));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(events.wait_codes(1));
    EXPECT_TRUE(client.IsConnect());
    EXPECT_FALSE(client.IsUseUdpOrder());

    std::string logon = logon_request();
    ASSERT_EQ(client.SendMsgToHux("logon_msg_req", &logon[0], 168, 2), 168);
    std::string warm = new_order(1);
    EXPECT_EQ(client.SendMsgToHuxForNewOrder(&warm[0], 100, 1, true), 0);
    std::string order = new_order(7);
    EXPECT_EQ(client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
    ASSERT_TRUE(peer.wait_received(268, wait_limit_ms()));
    const std::string got = peer.received();
    ASSERT_EQ(got.size(), 268u);  // the warm-up's 100 bytes never went out
    EXPECT_EQ(u16_at(got, 128), 0);
    std::string expected_logon = logon_request();
    expected_logon[128] = expected_logon[129] = '\0';
    EXPECT_EQ(got.substr(0, 168), expected_logon);
    EXPECT_EQ(got.substr(168), new_order(7));

    EXPECT_TRUE(client.DisConnServer());
    EXPECT_EQ(events.codes(), (std::vector<int>{0, 3}));
    EXPECT_FALSE(client.IsConnect());
    EXPECT_EQ(client.GetState(), HUX_SESSION::TRADE_STATE_CLOSED);
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    EXPECT_EQ(client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), -1);
    EXPECT_EQ(client.SendMsgToHux("logon_msg_req", &logon[0], 168, 2), -1);
}

// With a UDP channel the logon request carries the local UDP port and
// orders leave as datagrams from that port, not over TCP; with the send
// lock on as well. A local port already taken fails the connect at the
// bind, before the TCP client is made.
TEST(WindowsTradeSession, UdpOrderChannel) {
    hux_wtest::winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    udp_receiver server_udp;
    ASSERT_NE(server_udp.port, 0);
    const uint16_t local_port = free_udp_port();
    ASSERT_NE(local_port, 0);
    trade_events events;
    test_client client(&events);

    HUX_TradeSvrInfo info = record(peer.port());
    info.udp_port = server_udp.port;
    strcpy(info.local_ip, "127.0.0.1");
    {
        udp_receiver taken;
        info.local_udp_port = taken.port;
        ASSERT_NE(taken.port, 0);
        EXPECT_FALSE(client.ConnServer(info));
        EXPECT_FALSE(client.IsUseUdpOrder());
        EXPECT_FALSE(peer.accept_one(0));
    }

    info.local_udp_port = local_port;
    info.send_lock = 1;
    ASSERT_TRUE(client.ConnServer(info));
    EXPECT_TRUE(client.IsUseUdpOrder());
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(events.wait_codes(1));

    std::string logon = logon_request();
    ASSERT_EQ(client.SendMsgToHux("logon_msg_req", &logon[0], 168, 2), 168);
    std::string order = new_order(3);
    EXPECT_EQ(client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), 100);
    uint16_t from = 0;
    EXPECT_EQ(server_udp.receive(wait_limit_ms(), from), new_order(3));
    EXPECT_EQ(from, local_port);
    // A marker over TCP after the order: the TCP stream holds the logon
    // request and the marker only.
    std::string marker(16, 'M');
    ASSERT_EQ(client.SendMsgToHux("marker", &marker[0], 16, 2), 16);
    ASSERT_TRUE(peer.wait_received(184, wait_limit_ms()));
    const std::string got = peer.received();
    ASSERT_EQ(got.size(), 184u);
    EXPECT_EQ(u16_at(got, 128), local_port);
    EXPECT_EQ(got.substr(168), marker);

    EXPECT_TRUE(client.DisConnServer());
    EXPECT_FALSE(client.IsUseUdpOrder());
    EXPECT_EQ(client.SendMsgToHuxForNewOrder(&order[0], 100, 1, false), -1);
}

// A logon answer (result 0) after the session sent its logon request: the
// session logs on, keeps the token mark, and its "driver type" line reads
// "common api". The mark only rises.
TEST(WindowsTradeSession, LogonAnswerAndTokenMark) {
    hux_wtest::winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    trade_events events;
    test_client client(&events);
    const size_t important_before = read_file("important.log").size();
    ASSERT_TRUE(client.ConnServer(record(peer.port())));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(events.wait_codes(1));
    std::string logon = logon_request();
    ASSERT_EQ(client.SendMsgToHux("logon_msg_req", &logon[0], 168, 2), 168);

    HUX_TRADE_WIRE::logon_msg_resp answer;
    memset(&answer, 0, sizeof(answer));
    answer.header.type = 1070;
    answer.header.length = sizeof(answer);
    answer.user_id = 77;
    answer.max_token = 5;
    ASSERT_EQ(peer.send_bytes(&answer, sizeof(answer)), static_cast<int>(sizeof(answer)));
    ASSERT_TRUE(wait_for([&] { return !events.logons().empty(); }, wait_limit_ms()));
    EXPECT_EQ(events.logons()[0].result, 0);
    EXPECT_EQ(events.logons()[0].user_id, 77u);
    ASSERT_TRUE(wait_for([&] { return client.GetState() == HUX_SESSION::TRADE_STATE_LOGGED_ON; }, wait_limit_ms()));
    EXPECT_TRUE(client.IsLogon());
    const std::string important = read_file("important.log").substr(important_before);
    const size_t driver = important.find("driver type");
    ASSERT_NE(driver, std::string::npos) << important;
    const std::string line = important.substr(driver, important.find('\n', driver) - driver);
    EXPECT_NE(line.find("common api"), std::string::npos) << line;

    EXPECT_EQ(client.GetMaxToken(), 5u);
    EXPECT_FALSE(client.SetMaxToken(5));
    EXPECT_FALSE(client.SetMaxToken(4));
    EXPECT_TRUE(client.SetMaxToken(6));
    EXPECT_EQ(client.GetMaxToken(), 6u);
    // Raised from eight threads at once: the mark ends at the highest.
    std::vector<std::thread> raisers;
    for (int t = 0; t < 8; ++t)
        raisers.emplace_back([&client, t] {
            for (uint32_t v = 7; v < 2000; ++v) client.SetMaxToken(v * 8 + static_cast<uint32_t>(t));
        });
    for (std::thread& r : raisers) r.join();
    EXPECT_EQ(client.GetMaxToken(), 1999u * 8 + 7);
}

// A disconnect from inside the session's own connection report returns at
// once (its client's thread is the caller), reports 3 there, and the
// session connects again afterwards; the retired client goes with the
// session.
TEST(WindowsTradeSession, DisconnectInsideOwnCallback) {
    hux_wtest::winsock_peer first;
    hux_wtest::winsock_peer second;
    ASSERT_NE(first.port(), 0);
    ASSERT_NE(second.port(), 0);
    trade_events events;
    test_client client(&events);
    std::atomic<bool> returned{false};
    events.on_code(0, [&] {
        client.DisConnServer();
        returned = true;
    });
    ASSERT_TRUE(client.ConnServer(record(first.port())));
    ASSERT_TRUE(first.accept_one(wait_limit_ms()));
    ASSERT_TRUE(wait_for([&] { return returned.load(); }, wait_limit_ms()));
    EXPECT_EQ(events.codes(), (std::vector<int>{0, 3}));
    EXPECT_FALSE(client.IsConnect());
    EXPECT_TRUE(first.wait_client_gone(wait_limit_ms()));

    ASSERT_TRUE(client.ConnServer(record(second.port())));
    ASSERT_TRUE(second.accept_one(wait_limit_ms()));
    ASSERT_TRUE(events.wait_codes(3));
    EXPECT_EQ(events.codes(), (std::vector<int>{0, 3, 0}));
    EXPECT_TRUE(client.IsConnect());
}

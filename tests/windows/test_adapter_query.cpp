// The adapter's query session on Windows: a send larger than the socket
// buffers waits for room (the peer reads late) and arrives whole; a send
// stuck on a peer that never reads gives up when a disconnect is asked,
// so the disconnect is not kept waiting.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "adapter/QueryClient.h"
#include "tests/windows/support/winsock_peer.h"

namespace {

using HUX_ADAPTER::CQueryClient;
using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;

class query_events : public HUX_ADAPTER::QueryClientEvent {
public:
    void on_query_client_connect_event(int code, const char*) override {
        if (code == 0) ++connected;
    }
    void on_query_client_logon_event(HUX_LogonResponse*) override {}
    std::atomic<int> connected{0};
};

// A loopback listener whose accepted connection reads only when told to.
class lazy_peer {
public:
    lazy_peer() {
        WSADATA data;
        m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in at;
        memset(&at, 0, sizeof(at));
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(at);
        if (m_listener != INVALID_SOCKET && bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof(at)) == 0 &&
            listen(m_listener, 4) == 0 && getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &len) == 0)
            m_port = ntohs(at.sin_port);
    }
    ~lazy_peer() {
        if (m_client != INVALID_SOCKET) closesocket(m_client);
        if (m_listener != INVALID_SOCKET) closesocket(m_listener);
        if (m_started) WSACleanup();
    }
    lazy_peer(const lazy_peer&) = delete;
    lazy_peer& operator=(const lazy_peer&) = delete;

    uint16_t port() const { return m_port; }
    bool accept_one() {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(m_listener, &ready);
        const int ms = wait_limit_ms();
        timeval limit{ms / 1000, (ms % 1000) * 1000};
        if (select(0, &ready, nullptr, nullptr, &limit) != 1) return false;
        m_client = accept(m_listener, nullptr, nullptr);
        return m_client != INVALID_SOCKET;
    }
    // The bytes waiting to be read.
    unsigned long queued() const {
        u_long n = 0;
        return ioctlsocket(m_client, FIONREAD, &n) == 0 ? n : 0;
    }
    // Reads `n` bytes, each waited for within the test's limit.
    std::string read_all(size_t n) {
        std::string got;
        char buf[65536];
        while (got.size() < n) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(m_client, &ready);
            const int ms = wait_limit_ms();
            timeval limit{ms / 1000, (ms % 1000) * 1000};
            if (select(0, &ready, nullptr, nullptr, &limit) != 1) break;
            const int r = recv(m_client, buf, sizeof(buf), 0);
            if (r <= 0) break;
            got.append(buf, static_cast<size_t>(r));
        }
        return got;
    }

private:
    bool m_started = false;
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_client = INVALID_SOCKET;
    uint16_t m_port = 0;
};

HUX_TradeSvrInfo query_record(uint16_t port) {
    HUX_TradeSvrInfo info;
    strcpy(info.query_ip, "127.0.0.1");
    info.query_port = port;
    return info;
}

// More than the two socket buffers of a loopback connection can hold.
const size_t BIG = 32u << 20;

std::string big_request() {
    std::string bytes(BIG, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('A' + i % 23);
    return bytes;
}

}  // namespace

TEST(WindowsQuerySession, FullSocketWaitsForRoomOrGivesUpOnDisconnect) {
    const std::string request = big_request();
    {
        lazy_peer peer;
        ASSERT_NE(peer.port(), 0);
        query_events events;
        CQueryClient client(nullptr, &events, nullptr);
        ASSERT_TRUE(client.ConnServer(query_record(peer.port())));
        ASSERT_TRUE(peer.accept_one());
        ASSERT_TRUE(wait_for([&] { return client.IsConnect(); }, wait_limit_ms()));
        std::atomic<int> sent{-100};
        std::thread sender([&] { sent = client.SendMsgToHux("big", request.data(), static_cast<int>(BIG), 3); });
        // The peer reads once 64 KiB wait unread: far from all of it fits
        // the socket buffers, so the send has to wait for room.
        EXPECT_TRUE(wait_for([&] { return peer.queued() >= (64u << 10); }, wait_limit_ms())) << peer.queued();
        const std::string got = peer.read_all(BIG);
        sender.join();
        EXPECT_EQ(sent.load(), static_cast<int>(BIG));
        EXPECT_EQ(got.size(), BIG);
        EXPECT_TRUE(got == request);
    }
    {
        lazy_peer peer;
        ASSERT_NE(peer.port(), 0);
        query_events events;
        CQueryClient client(nullptr, &events, nullptr);
        ASSERT_TRUE(client.ConnServer(query_record(peer.port())));
        ASSERT_TRUE(peer.accept_one());
        ASSERT_TRUE(wait_for([&] { return client.IsConnect(); }, wait_limit_ms()));
        std::atomic<int> sent{-100};
        std::atomic<bool> done{false};
        std::thread sender([&] {
            sent = client.SendMsgToHux("big", request.data(), static_cast<int>(BIG), 3);
            done = true;
        });
        EXPECT_TRUE(wait_for([&] { return peer.queued() >= (64u << 10); }, wait_limit_ms())) << peer.queued();
        EXPECT_TRUE(client.DisConnServer());
        EXPECT_TRUE(wait_for([&] { return done.load(); }, wait_limit_ms()));
        sender.join();
        EXPECT_EQ(sent.load(), -1);
        EXPECT_FALSE(client.IsConnect());
    }
}

// The socket library's TCP client on Winsock, against an in-process peer:
// bytes split and joined through the caching client, the end of a
// connection reported once, an urgent byte taken as an error, stops from the
// client's own callback and under a slow one, failed set-ups, sends to a
// peer that stopped reading, the wait-error texts and the Winsock reference
// a client holds; the host's addresses, the adapter table and the MAC of a
// client's local address.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows/support/stalled_peer.h"
#include "tests/windows/support/winsock_peer.h"
#include "net/linux/net_interface.h"
#include "net/linux/socket_client.h"
#include "net/linux_sckt_client.h"
#include "net/socket_cache_client.h"
#include "net/windows/winsock_count.h"
#include "tests/support/returns_in_time.h"

using hux_wtest::stalled_peer;
using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;
using hux_wtest::winsock_peer;
using std::chrono::milliseconds;

namespace {

// How long a test watches for something that must not happen.
const int quiet_window_ms = 100;

// Every event a client reported, in order, with the bytes of receives and
// sends. The hook, when set, runs inside the callback after the record.
struct event_log {
    struct entry {
        SOCKET_EVENT type;
        std::string data;
        uint32_t len;
        int32_t sock;
    };
    std::mutex m;
    std::vector<entry> events;
    std::function<void(socket_param&)> hook;

    static int callback(socket_param& param, void* context) {
        event_log* self = static_cast<event_log*>(context);
        const char* data = param.get_buff_addr();
        const uint32_t len = param.get_buff_size();
        {
            std::lock_guard<std::mutex> g(self->m);
            self->events.push_back({param.get_event_type(), data && len ? std::string(data, len) : std::string(), len,
                                    param.get_socket()});
        }
        if (self->hook) self->hook(param);
        return 0;
    }
    int count(SOCKET_EVENT type) {
        std::lock_guard<std::mutex> g(m);
        int n = 0;
        for (const entry& e : events) n += e.type == type ? 1 : 0;
        return n;
    }
    int total() {
        std::lock_guard<std::mutex> g(m);
        return static_cast<int>(events.size());
    }
    std::vector<SOCKET_EVENT> types() {
        std::lock_guard<std::mutex> g(m);
        std::vector<SOCKET_EVENT> out;
        for (const entry& e : events) out.push_back(e.type);
        return out;
    }
    std::string received() {
        std::lock_guard<std::mutex> g(m);
        std::string out;
        for (const entry& e : events)
            if (e.type == EVENT_RECEIVE) out += e.data;
        return out;
    }
};

// Log sink that keeps every text.
struct text_sink : socket_context {
    std::mutex m;
    std::vector<std::string> texts;
    void on_socket_write_info_msg(char const* msg, int len) override {
        std::lock_guard<std::mutex> g(m);
        texts.push_back(std::string(msg, static_cast<size_t>(len)));
    }
    void on_socket_write_error_msg(char const*, int) override {}
    void on_socket_write_bin_msg(char const*, int) override {}
    // How many texts start with the prefix.
    int starting_with(const std::string& prefix) {
        std::lock_guard<std::mutex> g(m);
        int n = 0;
        for (const std::string& t : texts) n += t.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        return n;
    }
};

// Exposes the wait-error bookkeeping of the event loop.
struct probe_client : socket_client {
    using socket_client::proc_thread_error;
};

// A length-prefixed record: one byte of body length, then the body.
std::string record(const std::string& body) { return std::string(1, static_cast<char>(body.size())) + body; }

}  // namespace

// The caching client hands the user every byte in order however the stream
// was cut: a record split over two arrivals is offered again, joined, once
// its rest came; records that arrived together are taken one by one. Sends
// queued in pieces reach the peer joined and in order.
TEST(WinSocketClient, BytesSplitAndJoinedThroughTheCache) {
    winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    socket_cache_client client(8192);
    event_log log;
    std::mutex seen_lock;
    std::vector<std::string> records;
    std::atomic<int> offers(0);
    log.hook = [&](socket_param& param) {
        if (param.get_event_type() != EVENT_RECEIVE) return;
        offers.fetch_add(1);
        // Takes whole records only; a partial one waits for more bytes.
        const char* data = param.get_buff_addr();
        uint32_t size = param.get_buff_size();
        uint32_t used = 0;
        while (used < size && used + 1 + static_cast<uint8_t>(data[used]) <= size) {
            const uint32_t body = static_cast<uint8_t>(data[used]);
            std::lock_guard<std::mutex> g(seen_lock);
            records.push_back(std::string(data + used + 1, body));
            used += 1 + body;
        }
        param.set_proc_len(used);
    };
    auto seen = [&] {
        std::lock_guard<std::mutex> g(seen_lock);
        return records;
    };

    ASSERT_TRUE(client.sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    EXPECT_TRUE(client.is_connected());
    ASSERT_TRUE(wait_for([&] { return log.count(EVENT_CONNECT) == 1; }, wait_limit_ms()));
    unsigned char ip[4] = {};
    ASSERT_TRUE(client.get_local_ip(ip));
    EXPECT_EQ(ip[0], 127);
    EXPECT_EQ(ip[3], 1);

    // The first record cut after two of its five body bytes.
    const std::string first = record("alpha");
    ASSERT_EQ(peer.send_bytes(first.data(), 3), 3);
    ASSERT_TRUE(wait_for([&] { return offers.load() >= 1; }, wait_limit_ms()));
    EXPECT_TRUE(seen().empty());
    // Its rest, a whole second record and the start of a third, at once.
    const std::string second = record("bravo!");
    const std::string third = record("charlie");
    const std::string middle = first.substr(3) + second + third.substr(0, 4);
    ASSERT_EQ(peer.send_bytes(middle.data(), static_cast<int>(middle.size())),
              static_cast<int>(middle.size()));
    ASSERT_TRUE(wait_for([&] { return seen().size() >= 2; }, wait_limit_ms()));
    const std::string last = third.substr(4);
    ASSERT_EQ(peer.send_bytes(last.data(), static_cast<int>(last.size())), static_cast<int>(last.size()));
    ASSERT_TRUE(wait_for([&] { return seen().size() >= 3; }, wait_limit_ms()));
    EXPECT_EQ(seen(), (std::vector<std::string>{"alpha", "bravo!", "charlie"}));

    // Queued sends leave in order and arrive as one stream.
    const std::string out1 = "first piece;";
    const std::string out2 = "second piece";
    EXPECT_EQ(client.sock_send(out1.data(), static_cast<int>(out1.size())), static_cast<int>(out1.size()));
    EXPECT_EQ(client.sock_send(out2.data(), static_cast<int>(out2.size())), static_cast<int>(out2.size()));
    ASSERT_TRUE(peer.wait_received(out1.size() + out2.size(), wait_limit_ms()));
    EXPECT_EQ(peer.received(), out1 + out2);

    EXPECT_TRUE(client.sock_close());
    EXPECT_FALSE(client.is_connected());
    EXPECT_EQ(client.get_socket(), MV_INVALID_SOCKET);
    EXPECT_EQ(log.count(EVENT_LOCALE_DISCONNECT), 1);
    EXPECT_EQ(log.count(EVENT_REMOTE_DISCONNECT), 0);
}

// A peer that closes gives exactly one EVENT_REMOTE_DISCONNECT, after the
// bytes sent before the close; the event thread then ends (the socket is
// closed) and a later close reports nothing more.
TEST(WinSocketClient, PeerCloseGivesOneRemoteDisconnectAndEndsTheThread) {
    winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    socket_client client;
    event_log log;
    ASSERT_TRUE(client.sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_NE(client.get_sock(), MV_INVALID_SOCKET);
    ASSERT_EQ(peer.send_bytes("bye", 3), 3);
    peer.close_client();

    ASSERT_TRUE(wait_for([&] { return log.count(EVENT_REMOTE_DISCONNECT) >= 1; }, wait_limit_ms()));
    ASSERT_TRUE(wait_for([&] { return client.get_sock() == MV_INVALID_SOCKET; }, wait_limit_ms()));
    EXPECT_FALSE(client.is_connected());
    const int after_end = log.total();
    EXPECT_FALSE(wait_for([&] { return log.total() != after_end; }, quiet_window_ms));
    hux_test::returns_within("closing an ended client", [&] { EXPECT_TRUE(client.sock_close()); });
    EXPECT_EQ(log.types(), (std::vector<SOCKET_EVENT>{EVENT_CONNECT, EVENT_RECEIVE, EVENT_REMOTE_DISCONNECT}));
    EXPECT_EQ(log.received(), "bye");
    // A closed client refuses to send, without a report.
    EXPECT_EQ(client.sock_send("x", 1), -1);
    EXPECT_EQ(log.count(EVENT_SEND), 0);
}

// An urgent byte is an exceptional condition: the loop logs the error and
// ends the connection; it is never taken for a writable socket.
TEST(WinSocketClient, UrgentByteTakesTheExceptionPath) {
    winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    socket_client client;
    text_sink sink;
    client.sock_set_context(&sink);
    event_log log;
    ASSERT_TRUE(client.sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_TRUE(wait_for([&] { return log.count(EVENT_CONNECT) == 1; }, wait_limit_ms()));
    ASSERT_TRUE(peer.send_urgent('!'));

    ASSERT_TRUE(wait_for([&] { return log.count(EVENT_REMOTE_DISCONNECT) == 1; }, wait_limit_ms()));
    ASSERT_TRUE(wait_for([&] { return client.get_sock() == MV_INVALID_SOCKET; }, wait_limit_ms()));
    EXPECT_EQ(sink.starting_with("event_client_error, will close this socket"), 1);
    EXPECT_EQ(log.count(EVENT_SEND), 0);
    EXPECT_EQ(log.count(EVENT_REMOTE_DISCONNECT), 1);
    EXPECT_FALSE(client.is_connected());
    client.sock_set_context(nullptr);
}

// A close from the client's own callback cannot wait for the thread it runs
// on: it returns at once, reports the local disconnect, and the loop ends
// after the callback without a remote disconnect.
TEST(WinSocketClient, CloseFromOwnCallbackReturnsAtOnce) {
    winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    // Left to leak when the close hangs, so the program still ends.
    socket_client* client = new socket_client();
    event_log log;
    std::atomic<bool> closed(false);
    std::atomic<bool> armed(true);
    log.hook = [&](socket_param& param) {
        if (param.get_event_type() != EVENT_RECEIVE || !armed.exchange(false)) return;
        client->sock_close();
        closed.store(true);
    };
    ASSERT_TRUE(client->sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_EQ(peer.send_bytes("go", 2), 2);

    ASSERT_TRUE(wait_for([&] { return closed.load(); }, wait_limit_ms())) << "the close waited for its own thread";
    ASSERT_TRUE(wait_for([&] { return client->get_sock() == MV_INVALID_SOCKET; }, wait_limit_ms()));
    EXPECT_FALSE(client->is_connected());
    EXPECT_EQ(log.types(), (std::vector<SOCKET_EVENT>{EVENT_CONNECT, EVENT_RECEIVE, EVENT_LOCALE_DISCONNECT}));
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    delete client;
}

// A close from another thread while a callback is held waits for that
// callback and for the thread to end: freeing the client right after the
// close is safe, and the callback's thread touched nothing afterwards.
TEST(WinSocketClient, CloseWaitsForAHeldCallback) {
    winsock_peer peer;
    ASSERT_NE(peer.port(), 0);
    socket_client* client = new socket_client();
    event_log log;
    std::atomic<bool> entered(false);
    std::atomic<bool> left(false);
    log.hook = [&](socket_param& param) {
        if (param.get_event_type() != EVENT_RECEIVE || entered.exchange(true)) return;
        std::this_thread::sleep_for(milliseconds(300));
        left.store(true);
    };
    ASSERT_TRUE(client->sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    ASSERT_TRUE(peer.accept_one(wait_limit_ms()));
    ASSERT_EQ(peer.send_bytes("hold", 4), 4);
    ASSERT_TRUE(wait_for([&] { return entered.load(); }, wait_limit_ms()));

    EXPECT_TRUE(client->sock_close());
    EXPECT_TRUE(left.load()) << "the close returned while the callback still ran";
    EXPECT_EQ(client->get_sock(), MV_INVALID_SOCKET);
    delete client;
    EXPECT_EQ(log.types(), (std::vector<SOCKET_EVENT>{EVENT_CONNECT, EVENT_RECEIVE, EVENT_LOCALE_DISCONNECT}));
}

// A set-up that fails (nobody listens; a local address this machine does not
// hold) leaves the client closed and not connected, logs the bind error, and
// a close afterwards returns at once with nothing to report. The caching
// client's failed set-up does the same.
TEST(WinSocketClient, FailedSetUpLeavesTheClientClosed) {
    winsock_peer peer;
    const uint16_t port = peer.port();
    ASSERT_NE(port, 0);
    peer.stop_listening();

    {
        socket_client client;
        event_log log;
        EXPECT_FALSE(client.sock_init("127.0.0.1", port, &event_log::callback, &log));
        EXPECT_FALSE(client.is_connected());
        EXPECT_EQ(client.get_sock(), MV_INVALID_SOCKET);
        hux_test::returns_within("closing after a failed set-up", [&] { EXPECT_TRUE(client.sock_close()); });
        EXPECT_EQ(client.sock_send("x", 1), -1);
        EXPECT_EQ(log.total(), 0);
    }
    {
        winsock_peer listening;
        ASSERT_NE(listening.port(), 0);
        socket_client client;
        text_sink sink;
        client.sock_set_context(&sink);
        event_log log;
        // 192.0.2.1 is a documentation address, held by no machine.
        EXPECT_FALSE(client.sock_init("127.0.0.1", listening.port(), "192.0.2.1", 0, &event_log::callback, &log));
        EXPECT_FALSE(client.is_connected());
        EXPECT_EQ(client.get_sock(), MV_INVALID_SOCKET);
        EXPECT_EQ(sink.starting_with("*****socket client bind error!***** error code:"), 1);
        hux_test::returns_within("closing after a failed set-up", [&] { EXPECT_TRUE(client.sock_close()); });
        EXPECT_EQ(log.total(), 0);
        client.sock_set_context(nullptr);
    }
    {
        socket_cache_client client(8192);
        event_log log;
        EXPECT_FALSE(client.sock_init("127.0.0.1", port, &event_log::callback, &log));
        EXPECT_FALSE(client.is_connected());
        EXPECT_EQ(client.get_socket(), MV_INVALID_SOCKET);
        hux_test::returns_within("closing after a failed set-up", [&] { EXPECT_TRUE(client.sock_close()); });
        EXPECT_EQ(log.total(), 0);
    }
}

// A peer that stopped reading fills the socket buffers: a send then returns
// 0 instead of blocking, only the bytes that went out are reported, and a
// close still returns.
TEST(WinSocketClient, SendToAStalledPeerNeverBlocks) {
    winsock_peer winsock_holder;  // keeps Winsock started for the raw peer
    stalled_peer stalled;
    ASSERT_NE(stalled.port, 0);
    socket_client client;
    event_log log;
    ASSERT_TRUE(client.sock_init("127.0.0.1", stalled.port, &event_log::callback, &log));
    ASSERT_TRUE(stalled.accept_one());

    std::atomic<bool> saw_zero(false);
    std::atomic<long long> accepted(0);
    std::thread sender([&] {
        const std::string chunk(16384, 'z');
        // Far more than any pair of socket buffers holds.
        for (int i = 0; i < 16384 && !saw_zero.load(); ++i) {
            const int n = client.sock_send(chunk.data(), static_cast<int>(chunk.size()));
            if (n == 0) saw_zero.store(true);
            if (n < 0) break;
            accepted.fetch_add(n);
        }
    });
    const bool returned_zero = wait_for([&] { return saw_zero.load(); }, wait_limit_ms());
    // A blocked send is released by the peer going away.
    if (!returned_zero) {
        closesocket(stalled.accepted);
        stalled.accepted = INVALID_SOCKET;
    }
    sender.join();
    EXPECT_TRUE(returned_zero) << "a send blocked or failed instead of returning 0";
    EXPECT_GT(accepted.load(), 0);

    long long reported = 0;
    {
        std::lock_guard<std::mutex> g(log.m);
        for (const event_log::entry& e : log.events)
            if (e.type == EVENT_SEND) reported += e.len;
    }
    EXPECT_EQ(reported, accepted.load());

    hux_test::returns_within("closing the client of a stalled peer", [&] { EXPECT_TRUE(client.sock_close()); });
    EXPECT_FALSE(client.is_connected());
    EXPECT_EQ(client.get_sock(), MV_INVALID_SOCKET);
}

// A failed wait is logged on the first occurrence of its class only, with
// the texts the Linux client uses; the bad-descriptor text names no
// descriptor on Windows.
TEST(WinSocketClient, WaitErrorsLoggedOncePerClass) {
    probe_client client;
    text_sink sink;
    client.sock_set_context(&sink);
    const int classes[] = {EINTR, EBADF, EFAULT, EINVAL, 0};
    for (int round = 0; round < 2; ++round)
        for (int c : classes) client.proc_thread_error(c);
    EXPECT_EQ(sink.texts.size(), 5u);
    EXPECT_EQ(sink.starting_with("epoll_waite error! the call was interrupted by a signal handler before any of the "
                                 "requested events occurred or timeout expired. error times("),
              1);
    EXPECT_EQ(sink.starting_with("epoll_waite error! epoll_handle:  is not a valid file descriptor. error times("), 1);
    EXPECT_EQ(sink.starting_with("epoll_waite error! epoll_event is not accessible with write. error times("), 1);
    EXPECT_EQ(sink.starting_with("epoll_waite error! m_epoll_handle is not an epoll file descriptor, or maxevents is "
                                 "less than or equal to zero. error times("),
              1);
    EXPECT_EQ(sink.starting_with("epoll_waite error! undefine wait error. error times("), 1);
    client.sock_set_context(nullptr);
}

// Each client holds one reference on the socket library's Winsock count
// from construction to destruction, connected or not.
TEST(WinSocketClient, EachClientHoldsOneWinsockReference) {
    const int before = winsock_users();
    {
        socket_client plain;
        EXPECT_EQ(winsock_users(), before + 1);
        {
            socket_cache_client cached(1024);
            EXPECT_EQ(winsock_users(), before + 2);
        }
        EXPECT_EQ(winsock_users(), before + 1);
    }
    EXPECT_EQ(winsock_users(), before);
}

// The host's address comes from its own name: the first IPv4 address the
// name resolves to (on Windows the machine's own adapter addresses), in both
// libraries, each holding its Winsock reference only while it asks. Only
// names of this machine are resolved.
TEST(WinSocketClient, HostAddressesAdapterTableAndLocalMac) {
    winsock_peer peer;  // Winsock for the test's own calls
    ASSERT_NE(peer.port(), 0);
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof(name)), 0);
    const int users = winsock_users();
    const int sckt_users = CLIENT_SCKT_ONLY::winsock_users();
    get_ips_by_hostname by_name(name);
    const std::vector<std::string> ips = by_name.get_ips();
    ASSERT_FALSE(ips.empty());
    for (const std::string& ip : ips) {
        // Each is an address of this machine: a socket can be bound to it.
        const SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_NE(probe, INVALID_SOCKET);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        ASSERT_EQ(inet_pton(AF_INET, ip.c_str(), &addr.sin_addr), 1) << ip;
        EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0) << ip;
        closesocket(probe);
    }
    EXPECT_EQ(get_local_ip("the argument is not used"), ips[0]);
    EXPECT_EQ(CLIENT_SCKT_ONLY::get_local_ip(""), ips[0]);
    get_ips_by_hostname unnamed;
    const std::vector<std::string> local = unnamed.get_ips("localhost");
    EXPECT_EQ(std::set<std::string>(local.begin(), local.end()), std::set<std::string>{"127.0.0.1"});
    EXPECT_EQ(winsock_users(), users);
    EXPECT_EQ(CLIENT_SCKT_ONLY::winsock_users(), sckt_users);

    ip_and_mac table[128];
    const int n = load_ip_and_mac(table, 128);
    EXPECT_EQ(load_ip_and_mac(table, 1), n > 0 ? 1 : 0);
    EXPECT_EQ(load_ip_and_mac(table, 0), 0);
    EXPECT_EQ(load_ip_and_mac(nullptr, 4), 0);

    socket_client client;
    event_log log;
    unsigned char mac[6] = {};
    EXPECT_FALSE(client.get_local_mac(mac));  // no socket
    // Connected once the listener's backlog took it; the peer need not
    // accept. The loopback adapter is no Ethernet adapter.
    ASSERT_TRUE(client.sock_init("127.0.0.1", peer.port(), &event_log::callback, &log));
    EXPECT_FALSE(client.get_local_mac(mac));
    client.sock_close();
    // An adapter without an IPv4 address is listed as 0.0.0.0.
    const ip_and_mac* adapter = nullptr;
    for (int i = 0; i < n && adapter == nullptr; ++i)
        if (table[i].m_ip[0] != 0) adapter = &table[i];
    if (adapter == nullptr) GTEST_SKIP() << "no Ethernet adapter with an IPv4 address";
    // From an adapter's own address the client finds that adapter's MAC.
    char text[INET_ADDRSTRLEN] = {};
    ASSERT_NE(inet_ntop(AF_INET, adapter->m_ip, text, sizeof(text)), nullptr);
    ASSERT_TRUE(client.sock_init("127.0.0.1", peer.port(), text, 0, &event_log::callback, &log));
    ASSERT_TRUE(client.get_local_mac(mac));
    EXPECT_EQ(std::memcmp(mac, adapter->m_mac, sizeof(mac)), 0);
    client.sock_close();
}

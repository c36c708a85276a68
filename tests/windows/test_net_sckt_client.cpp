// The trade session's TCP client on Windows (the select loop) against an
// in-process loopback peer: bytes split and joined through the receive
// cache, one send per call each reported, the end of a connection by the
// peer (exactly one remote disconnect) and by an urgent byte (the error
// path), stops from the client's own callback and during a callback that
// holds its thread, failed set-ups, and the client's Winsock reference.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/linux_sckt_client.h"
#include "net/sckt_cache_client.h"
#include "net/windows/winsock_count.h"
#include "tests/support/returns_in_time.h"
#include "tests/windows/support/stalled_peer.h"
#include "tests/windows/support/winsock_peer.h"

namespace {

using CLIENT_SCKT_ONLY::sckt_cache_client;
using CLIENT_SCKT_ONLY::sckt_client;
using CLIENT_SCKT_ONLY::sckt_param;
using hux_wtest::stalled_peer;
using hux_wtest::wait_for;
using hux_wtest::wait_limit_ms;
using hux_wtest::winsock_peer;

// What a client reported, in order. A hook, when set, runs on the event
// thread for every received record (outside the recorder's lock) and says
// how many of the offered bytes it took; without one everything is taken.
struct recorder {
    std::mutex lock;
    std::vector<SOCKET_EVENT> events;
    std::string bytes;
    // id and length of each EVENT_SEND.
    std::vector<std::pair<int32_t, uint32_t>> sends;
    std::function<uint32_t(const char* data, uint32_t len)> on_receive;

    static int callback(sckt_param& param, void* context) {
        recorder* self = static_cast<recorder*>(context);
        const SOCKET_EVENT event = param.get_event_type();
        uint32_t taken = param.get_buff_size();
        if (event == EVENT_RECEIVE && self->on_receive) {
            taken = self->on_receive(param.get_buff_addr(), param.get_buff_size());
        }
        std::lock_guard<std::mutex> guard(self->lock);
        self->events.push_back(event);
        if (event == EVENT_RECEIVE) {
            self->bytes.append(param.get_buff_addr(), taken);
            param.set_proc_len(taken);
        }
        if (event == EVENT_SEND) self->sends.emplace_back(param.get_sckt_id(), param.get_buff_size());
        return 0;
    }

    size_t count(SOCKET_EVENT event) {
        std::lock_guard<std::mutex> guard(lock);
        size_t n = 0;
        for (SOCKET_EVENT e : events) n += e == event ? 1 : 0;
        return n;
    }
    std::string received() {
        std::lock_guard<std::mutex> guard(lock);
        return bytes;
    }
    std::vector<SOCKET_EVENT> all() {
        std::lock_guard<std::mutex> guard(lock);
        return events;
    }
};

// Counts the error path's calls.
class counting_client : public sckt_client {
public:
    bool event_client_error() override {
        ++errors;
        return sckt_client::event_client_error();
    }
    std::atomic<int> errors{0};
};

// Connects `client` to `peer` and has the peer accept it.
template <class CLIENT>
bool connect_to(CLIENT& client, winsock_peer& peer, recorder& rec) {
    return client.sock_init("127.0.0.1", peer.port(), &recorder::callback, &rec) && peer.accept_one(wait_limit_ms());
}

TEST(SelectClient, CacheJoinsSplitBytesAndEverySendIsReported) {
    winsock_peer peer;
    ASSERT_NE(0, peer.port());
    recorder rec;
    // Lines only: a line cut by the stream waits in the cache for its end.
    std::vector<std::string> lines;
    std::vector<uint32_t> offers;
    rec.on_receive = [&](const char* data, uint32_t len) {
        offers.push_back(len);
        uint32_t taken = 0;
        for (uint32_t i = 0; i < len; ++i) {
            if (data[i] != '\n') continue;
            lines.emplace_back(data + taken, i - taken);
            taken = i + 1;
        }
        return taken;
    };
    sckt_cache_client client(16);
    ASSERT_TRUE(connect_to(client, peer, rec));
    EXPECT_TRUE(client.is_connected());

    // A line in two pieces, the second arriving only once the first was offered.
    ASSERT_EQ(3, peer.send_bytes("hel", 3));
    ASSERT_TRUE(wait_for([&] { return rec.count(EVENT_RECEIVE) >= 1; }, wait_limit_ms()));
    ASSERT_EQ(5, peer.send_bytes("lo\nwo", 5));
    ASSERT_TRUE(wait_for([&] { return rec.count(EVENT_RECEIVE) >= 2; }, wait_limit_ms()));
    // Two lines and a half in one piece; the cache grows past its 16 bytes.
    const std::string rest = "rld\nsecond line, longer than the cache\nthi";
    ASSERT_EQ(static_cast<int>(rest.size()), peer.send_bytes(rest.data(), static_cast<int>(rest.size())));
    ASSERT_EQ(3, peer.send_bytes("rd\n", 3));
    ASSERT_TRUE(wait_for([&] { return rec.received().size() == 3 + 5 + rest.size() + 3; }, wait_limit_ms()));

    const std::vector<std::string> want = {"hello", "world", "second line, longer than the cache", "third"};
    EXPECT_EQ(want, lines);
    ASSERT_GE(offers.size(), 2u);
    EXPECT_EQ(3u, offers[0]);
    // The second offer starts with the kept "hel".
    EXPECT_EQ(8u, offers[1]);
    EXPECT_EQ(EVENT_CONNECT, rec.all().front());

    // Each send is one send, reported with its count; the peer gets the bytes.
    EXPECT_EQ(4, client.sock_send("ping", 4));
    EXPECT_EQ(6, client.sock_send("-pong\n", 6));
    ASSERT_TRUE(peer.wait_received(10, wait_limit_ms()));
    EXPECT_EQ("ping-pong\n", peer.received());
    {
        std::lock_guard<std::mutex> guard(rec.lock);
        ASSERT_EQ(2u, rec.sends.size());
        EXPECT_EQ(std::make_pair(int32_t{4}, uint32_t{4}), rec.sends[0]);
        EXPECT_EQ(std::make_pair(int32_t{6}, uint32_t{6}), rec.sends[1]);
    }
    // A send the socket refuses (no buffer) is reported too, with its -1.
    EXPECT_EQ(-1, client.sock_send(nullptr, 5));
    {
        std::lock_guard<std::mutex> guard(rec.lock);
        ASSERT_EQ(3u, rec.sends.size());
        EXPECT_EQ(std::make_pair(int32_t{-1}, uint32_t{0}), rec.sends[2]);
    }

    EXPECT_TRUE(client.sock_close());
    EXPECT_FALSE(client.is_connected());
    // Closed: -1, and nothing reported.
    EXPECT_EQ(-1, client.sock_send("late", 4));
    EXPECT_EQ(3u, rec.count(EVENT_SEND));
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    // A local close reports no disconnect.
    EXPECT_EQ(0u, rec.count(EVENT_REMOTE_DISCONNECT));
    EXPECT_EQ(0u, rec.count(EVENT_LOCALE_DISCONNECT));
}

TEST(SelectClient, PeerCloseGivesOneRemoteDisconnectAfterTheLastBytesAndEndsTheThread) {
    winsock_peer peer;
    recorder rec;
    counting_client client;
    ASSERT_TRUE(connect_to(client, peer, rec));
    ASSERT_EQ(4, peer.send_bytes("last", 4));
    peer.close_client();
    ASSERT_TRUE(wait_for([&] { return rec.count(EVENT_REMOTE_DISCONNECT) >= 1; }, wait_limit_ms()));
    EXPECT_FALSE(client.is_connected());
    // The stop finds the thread gone or ending: no further pass reports more.
    EXPECT_TRUE(client.sock_close());

    const std::vector<SOCKET_EVENT> events = rec.all();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(EVENT_CONNECT, events.front());
    EXPECT_EQ(EVENT_REMOTE_DISCONNECT, events.back());
    EXPECT_EQ(1u, rec.count(EVENT_REMOTE_DISCONNECT));
    EXPECT_EQ("last", rec.received());
    // The end of the stream is no error.
    EXPECT_EQ(0, client.errors.load());
    EXPECT_EQ(0u, rec.count(EVENT_SEND));
}

TEST(SelectClient, UrgentByteTakesTheErrorPathWithOneDisconnectAndNoSendEvent) {
    winsock_peer peer;
    recorder rec;
    counting_client client;
    ASSERT_TRUE(connect_to(client, peer, rec));
    // Ordinary bytes first, maybe handled in the same pass as the urgent one.
    ASSERT_EQ(3, peer.send_bytes("abc", 3));
    ASSERT_TRUE(peer.send_urgent('!'));
    ASSERT_TRUE(wait_for([&] { return rec.count(EVENT_REMOTE_DISCONNECT) >= 1; }, wait_limit_ms()));
    EXPECT_TRUE(client.sock_close());
    EXPECT_EQ("abc", rec.received());
    EXPECT_EQ(1, client.errors.load());
    EXPECT_EQ(1u, rec.count(EVENT_REMOTE_DISCONNECT));
    EXPECT_EQ(0u, rec.count(EVENT_SEND));
    EXPECT_FALSE(client.is_connected());
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
}

TEST(SelectClient, StopFromTheClientsOwnCallbackReturnsAtOnce) {
    winsock_peer peer;
    recorder rec;
    sckt_client client;
    // Waiting for its own thread would take this whole stop wait, far longer
    // than the test waits for the callback to go on.
    client.set_stop_wait_time(static_cast<unsigned>(hux_test::long_library_wait_ms()));
    std::atomic<int> close_result{-1};
    std::atomic<bool> callback_left{false};
    rec.on_receive = [&](const char*, uint32_t len) {
        close_result = client.sock_close() ? 1 : 0;
        // Still on the event thread: the loop has not ended yet.
        callback_left = true;
        return len;
    };
    ASSERT_TRUE(connect_to(client, peer, rec));
    ASSERT_EQ(1, peer.send_bytes("x", 1));
    ASSERT_TRUE(wait_for([&] { return callback_left.load(); }, wait_limit_ms()));
    EXPECT_EQ(1, close_result.load());
    // The loop ends after the callback and closes the socket.
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    EXPECT_TRUE(wait_for([&] { return !client.is_connected(); }, wait_limit_ms()));
    EXPECT_EQ(1u, rec.count(EVENT_RECEIVE));
    EXPECT_EQ(0u, rec.count(EVENT_REMOTE_DISCONNECT));
    EXPECT_TRUE(client.sock_close());
}

TEST(SelectClient, CloseAndDestroyWaitForACallbackHeldOnTheEventThread) {
    const DWORD hold_ms = 300;
    // A close within the stop wait returns once the callback has left.
    {
        winsock_peer peer;
        recorder rec;
        sckt_client client;
        std::atomic<bool> entered{false};
        std::atomic<bool> left{false};
        rec.on_receive = [&](const char*, uint32_t len) {
            entered = true;
            Sleep(hold_ms);
            left = true;
            return len;
        };
        ASSERT_TRUE(connect_to(client, peer, rec));
        ASSERT_EQ(1, peer.send_bytes("h", 1));
        ASSERT_TRUE(wait_for([&] { return entered.load(); }, wait_limit_ms()));
        EXPECT_TRUE(client.sock_close());
        EXPECT_TRUE(left.load());
        EXPECT_FALSE(client.is_connected());
        EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    }
    // A stop wait shorter than the hold gives up, and leaves the socket to
    // the thread, which closes it once the callback is done.
    {
        winsock_peer peer;
        recorder rec;
        sckt_client client;
        client.set_stop_wait_time(20);
        std::atomic<bool> entered{false};
        std::atomic<bool> left{false};
        rec.on_receive = [&](const char*, uint32_t len) {
            entered = true;
            Sleep(hold_ms);
            left = true;
            return len;
        };
        ASSERT_TRUE(connect_to(client, peer, rec));
        ASSERT_EQ(1, peer.send_bytes("h", 1));
        ASSERT_TRUE(wait_for([&] { return entered.load(); }, wait_limit_ms()));
        const bool stopped = client.sock_close();
        const bool left_at_return = left.load();
        const bool gone_at_return = peer.wait_client_gone(0);
        EXPECT_FALSE(stopped);
        EXPECT_FALSE(left_at_return);
        EXPECT_FALSE(gone_at_return);
        // Once the callback is done the thread ends by itself and closes.
        EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
        EXPECT_TRUE(left.load());
        EXPECT_TRUE(wait_for([&] { return !client.is_connected(); }, wait_limit_ms()));
        EXPECT_TRUE(client.sock_close());
    }
    // Destroying the client waits for the held callback, however long the
    // stop wait: the thread never runs on a freed client.
    {
        winsock_peer peer;
        recorder rec;
        std::unique_ptr<sckt_cache_client> client(new sckt_cache_client(64));
        client->set_stop_wait_time(20);
        std::atomic<bool> entered{false};
        std::atomic<bool> left{false};
        rec.on_receive = [&](const char*, uint32_t len) {
            entered = true;
            Sleep(hold_ms);
            left = true;
            return len;
        };
        ASSERT_TRUE(connect_to(*client, peer, rec));
        ASSERT_EQ(1, peer.send_bytes("h", 1));
        ASSERT_TRUE(wait_for([&] { return entered.load(); }, wait_limit_ms()));
        client.reset();
        EXPECT_TRUE(left.load());
        EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
        EXPECT_EQ(1u, rec.count(EVENT_RECEIVE));
    }
}

TEST(SelectClient, FailedSetUpLeavesTheClientDisconnectedAndClosed) {
    winsock_peer peer;
    const uint16_t port = peer.port();
    recorder rec;
    sckt_client client;
    ASSERT_TRUE(connect_to(client, peer, rec));
    ASSERT_TRUE(client.is_connected());
    peer.stop_listening();

    // A new set-up ends the running connection first; the refused connect
    // then leaves nothing connected.
    EXPECT_FALSE(client.sock_init("127.0.0.1", port, &recorder::callback, &rec));
    EXPECT_FALSE(client.is_connected());
    EXPECT_TRUE(peer.wait_client_gone(wait_limit_ms()));
    EXPECT_EQ(-1, client.sock_send("x", 1));
    EXPECT_EQ(0u, rec.count(EVENT_SEND));
    hux_test::returns_within("closing after a refused set-up", [&] { EXPECT_TRUE(client.sock_close()); });

    // Refused before any socket: no callback, an address that does not parse.
    EXPECT_FALSE(client.sock_init("127.0.0.1", port, nullptr, &rec));
    EXPECT_FALSE(client.sock_init("127.0.0.300", port, &recorder::callback, &rec));
    EXPECT_FALSE(client.sock_init(nullptr, port, &recorder::callback, &rec));
    EXPECT_FALSE(client.is_connected());
    // Only the first connection's connect was ever reported.
    EXPECT_EQ(1u, rec.count(EVENT_CONNECT));
}

// A server that stopped reading: once the buffers are full a send fails
// (reported with -1) instead of holding the sending thread, a message
// already partly out fails once nothing more went out for the stop wait,
// and a close still returns at once.
TEST(SelectClient, SendToAStalledServerNeverHoldsTheSender) {
    winsock_peer winsock_holder;  // keeps Winsock started for the raw peer
    stalled_peer stalled;
    ASSERT_NE(stalled.port, 0);
    recorder rec;
    sckt_client client;
    client.set_stop_wait_time(200);
    ASSERT_TRUE(client.sock_init("127.0.0.1", stalled.port, &recorder::callback, &rec));
    ASSERT_TRUE(stalled.accept_one());

    std::atomic<bool> failed(false);
    std::atomic<long long> taken(0);
    std::thread sender([&] {
        const std::string chunk(16384, 'z');
        // Far more than any pair of socket buffers holds.
        for (int i = 0; i < 16384; ++i) {
            const int n = client.sock_send(chunk.data(), static_cast<int>(chunk.size()));
            if (n < 0) {
                failed = true;
                return;
            }
            taken += n;
        }
    });
    const bool gave_up = wait_for([&] { return failed.load(); }, wait_limit_ms());
    // A held send is released by the peer going away.
    if (!gave_up) {
        closesocket(stalled.accepted);
        stalled.accepted = INVALID_SOCKET;
    }
    sender.join();
    ASSERT_TRUE(gave_up) << "a send held its thread";
    EXPECT_GT(taken.load(), 0);
    {
        std::lock_guard<std::mutex> guard(rec.lock);
        ASSERT_FALSE(rec.sends.empty());
        EXPECT_EQ(rec.sends.back().first, -1);
    }
    hux_test::returns_within("closing after a send gave up", [&] { EXPECT_TRUE(client.sock_close()); });
    EXPECT_FALSE(client.is_connected());
}

TEST(SelectClient, EachClientHoldsOneWinsockReferenceForItsLife) {
    ASSERT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    {
        sckt_client first;
        EXPECT_EQ(1, CLIENT_SCKT_ONLY::winsock_users());
        {
            winsock_peer peer;
            recorder rec;
            sckt_cache_client second(16);
            EXPECT_EQ(2, CLIENT_SCKT_ONLY::winsock_users());
            // Destroyed while connected: the socket goes with it.
            ASSERT_TRUE(connect_to(second, peer, rec));
            EXPECT_TRUE(second.is_connected());
        }
        EXPECT_EQ(1, CLIENT_SCKT_ONLY::winsock_users());
    }
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    // The socket library's count is not touched.
    EXPECT_EQ(0, winsock_users());
}

}  // namespace

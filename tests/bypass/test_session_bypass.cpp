// The trade session's kernel-bypass order channels, end to end in the
// namespace pair: the simulated server listens in the peer namespace on the
// peer's address (TCP and UDP), the session connects from the client end,
// whose driver the preloaded driver shim names ("sfc", "exanic", or nothing:
// the veth's own "veth"). Orders leave through the ef_vi stand-in (CTPIO or
// DMA), the libexanic stand-in or the kernel's UDP socket, and the server
// answers each on the TCP connection whose logon named the datagram's port.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bypass/standin/hux_standin.h"
#include "mv_hux_trade.h"
#include "tests/bypass/session_bypass_support.h"
#include "tests/support/hold_point.h"

using namespace bypass_test;

// The same order over each channel reaches the server as the same 100 bytes,
// and each is accepted; the driver type tells the channel. Mix mode (which
// refuses order entry) never opens a kernel-bypass sender.
TEST(SessionBypass, EveryOrderChannelDeliversTheSameBytes) {
    HUX_NEED_NETNS();
    ASSERT_NO_FATAL_FAILURE(ready_every_channel());
    peer_server srv(accepting());

    struct channel {
        const char* driver;
        long capability;  // ef_vi: 1 CTPIO, 0 DMA
        bool mix;
        int driver_type;
    } channels[] = {
        {"", 1, false, 2},         // the veth's own driver: kernel UDP
        {"sfc", 1, true, 2},       // mix: kernel UDP whatever the card (no order entry)
        {"sfc", 1, false, 0},      // ef_vi, CTPIO
        {"sfc", 0, false, 0},      // ef_vi, DMA
        {"exanic", 1, false, 1},   // ExaNIC
    };
    std::vector<std::string> datagrams;
    uint16_t port = 41000;
    for (const channel& c : channels) {
        SCOPED_TRACE(std::string("driver '") + c.driver + "'" + (c.mix ? " mix" : ""));
        name_driver(c.driver);
        hux_standin_efvi_set_capability(c.capability);
        const int opens = hux_standin_efvi_driver_opens();
        bypass_session s;
        ASSERT_TRUE(s.logon(bypass_session::record(srv, ++port, false), c.mix));
        EXPECT_EQ(s.client()->GetDriverType(), c.mix ? 2 : c.driver_type);
        if (!c.mix && c.driver_type == 0)
            EXPECT_EQ(hux_standin_efvi_driver_opens(), opens + 1);
        else
            EXPECT_EQ(hux_standin_efvi_driver_opens(), opens);
        if (c.mix) continue;  // order entry is refused in mix mode
        const std::string got = order_round_trip(s, srv, 7);
        ASSERT_EQ(got.size(), 100u);
        datagrams.push_back(got);
    }
    // Field checks by the wire's layout: type 10, client token at 20,
    // quantity at 24, price x 10000 at 32 (little-endian).
    const std::string& d = datagrams[0];
    EXPECT_EQ(trade_test::u16_at(d, 0), 10);
    EXPECT_EQ(trade_test::u32_at(d, 20), 7u);
    EXPECT_EQ(trade_test::u32_at(d, 24), 3u);
    EXPECT_EQ(trade_test::i64_at(d, 32), 123456);
    for (size_t i = 1; i < datagrams.size(); ++i) EXPECT_EQ(datagrams[i], d) << "channel " << i;
    name_driver("");
}

// A card that gives no virtual interface: the kernel's UDP, and it stays so
// for the session's later connects.
TEST(SessionBypass, RefusedVirtualInterfaceMeansKernelUdpForGood) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    hux_standin_efvi_set_refuse_vi(1);
    bypass_session s;
    const HUX_TradeSvrInfo info = bypass_session::record(srv, 42001, false);
    const int opens = hux_standin_efvi_driver_opens();
    ASSERT_TRUE(s.logon(info));
    EXPECT_EQ(hux_standin_efvi_driver_opens(), opens + 1);
    EXPECT_EQ(order_round_trip(s, srv, 1).size(), 100u);

    hux_standin_efvi_set_refuse_vi(0);
    ASSERT_TRUE(s.logon(info));
    EXPECT_EQ(hux_standin_efvi_driver_opens(), opens + 1) << "the ef_vi sender was tried again";
    EXPECT_EQ(order_round_trip(s, srv, 2).size(), 100u);
    name_driver("");
}

// Every call of the bypass order path counts one order, warm-ups and quotes
// included: with a limit of 295 the 295th call is refused.
TEST(SessionBypass, FlowControlCountsEveryBypassCall) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting(295));
    name_driver("sfc");
    bypass_session s;
    ASSERT_TRUE(s.logon(bypass_session::record(srv, 42101, false)));
    uint32_t token = 0;
    for (int i = 1; i <= 294; ++i) {
        int rc;
        if (i % 3 == 0) {
            HUX_EnterQuoteField q = trade_test::quote_req(++token);
            rc = MVHUX_EnterQuote(s.h, &q, false);
        } else if (i % 3 == 1) {
            HUX_EnterOrderField o = order(++token);
            rc = MVHUX_EnterOrder(s.h, &o, false);
        } else {
            HUX_EnterOrderField warm = order(0);
            warm.quantity = 0;  // a warm-up
            rc = MVHUX_EnterOrder(s.h, &warm, false);
        }
        ASSERT_EQ(rc, HUX_RESULT_OK) << "call " << i;
    }
    HUX_EnterOrderField o = order(++token);
    EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), HUX_RESULT_FLOW_CONTROL);
    name_driver("");
}

// Transmit timestamps of CTPIO sends: one per order, ascending, the oldest
// first; asking for more gives what there is; without keep_timestamps none.
TEST(SessionBypass, TimestampsOfEveryOrderSent) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session s;
    ASSERT_TRUE(s.logon(bypass_session::record(srv, 42201, true)));
    const int n = 8;
    for (int i = 1; i <= n; ++i) ASSERT_EQ(order_round_trip(s, srv, static_cast<uint32_t>(i)).size(), 100u);

    std::vector<long long> ts(2 * n, -1);
    int count = 2 * n;
    ASSERT_EQ(MVHUX_GetTimestamps(s.h, ts.data(), &count), HUX_RESULT_OK);
    ASSERT_EQ(count, n);
    for (int i = 1; i < n; ++i) EXPECT_LT(ts[i - 1], ts[i]);
    EXPECT_EQ(ts[n], -1);  // nothing written past the count
    int three = 3;
    std::vector<long long> first(3);
    ASSERT_EQ(MVHUX_GetTimestamps(s.h, first.data(), &three), HUX_RESULT_OK);
    EXPECT_EQ(three, 3);
    EXPECT_EQ(first[0], ts[0]);
    EXPECT_EQ(first[2], ts[2]);

    bypass_session quiet;
    ASSERT_TRUE(quiet.logon(bypass_session::record(srv, 42202, false)));
    ASSERT_EQ(order_round_trip(quiet, srv, 100).size(), 100u);
    count = 4;
    ASSERT_EQ(MVHUX_GetTimestamps(quiet.h, ts.data(), &count), HUX_RESULT_OK);
    EXPECT_EQ(count, 0);
    name_driver("");
}

// TCPDirect on a Solarflare card: the session loads the plug-in it carries,
// logs on through it and takes the order answers from it, the orders leaving
// by ef_vi (CTPIO and DMA). The application's disconnect reports one "local
// disconnected", unloads the plug-in (nothing of it stays mapped) and leaves
// the signal handler nothing to close; a later connect loads it again.
TEST(SessionBypass, PlugInCarriesTheConnectionAndComesBackAfterADisconnect) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session s;
    for (long capability : {1L, 0L}) {
        SCOPED_TRACE(capability ? "CTPIO" : "DMA");
        hux_standin_efvi_set_capability(capability);
        ASSERT_EQ(plugin_mappings(), 0);
        ASSERT_TRUE(s.logon(direct_record(srv, 43001)));
        i_zf_tcp_client_sock* zf = s.client()->GetZfSock();
        ASSERT_NE(zf, nullptr);
        EXPECT_TRUE(zf->is_connected());
        EXPECT_EQ(__atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE), zf);
        EXPECT_EQ(plugin_mappings(), 1);
        EXPECT_EQ(s.client()->GetDriverType(), 0);
        for (uint32_t t = 1; t <= 5; ++t) EXPECT_EQ(order_round_trip(s, srv, t).size(), 100u);

        const size_t local = s.events.count_code(3);
        ASSERT_EQ(MVHUX_DisConnServer(s.h), HUX_RESULT_OK);
        EXPECT_EQ(s.events.count_code(3), local + 1);
        EXPECT_EQ(s.client()->GetZfSock(), nullptr);
        EXPECT_EQ(__atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE), nullptr);
        EXPECT_EQ(plugin_mappings(), 0);
        EXPECT_FALSE(s.client()->IsConnect());
        HUX_EnterOrderField o = order(99);
        EXPECT_EQ(MVHUX_EnterOrder(s.h, &o, false), 7);  // not connected
    }
    name_driver("");
}

// The server drops the connection: one "remote disconnected" from the
// plug-in, and the plug-in stops its loop (the object stays for a reconnect).
TEST(SessionBypass, ServerDropReportsOnce) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session s;
    ASSERT_TRUE(s.logon(direct_record(srv, 43101)));
    i_zf_tcp_client_sock* zf = s.client()->GetZfSock();
    ASSERT_NE(zf, nullptr);
    srv.sim->close(0);
    ASSERT_TRUE(s.events.wait_code(2));
    EXPECT_TRUE(hux_test::wait_until([&] { return !zf->is_connected(); }, trade_test::kSessionWait));
    EXPECT_TRUE(hux_test::wait_until([&] { return !s.client()->IsLogon(); }, trade_test::kSessionWait));
    // No second report comes while the session sits disconnected.
    EXPECT_FALSE(s.events.wait_code(2, 2, std::chrono::milliseconds(300)));
    name_driver("");
}

// Two sessions over the plug-in: the signal handler closes the last one
// that connected, and one session's disconnect leaves the other's object
// published.
TEST(SessionBypass, OneSessionsDisconnectLeavesTheOthersPlugIn) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session a, b;
    ASSERT_TRUE(a.logon(direct_record(srv, 43201)));
    ASSERT_TRUE(b.logon(direct_record(srv, 43202)));
    i_zf_tcp_client_sock* zb = b.client()->GetZfSock();
    ASSERT_NE(zb, nullptr);
    EXPECT_NE(a.client()->GetZfSock(), zb);
    EXPECT_EQ(__atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE), zb);
    ASSERT_EQ(MVHUX_DisConnServer(a.h), HUX_RESULT_OK);
    EXPECT_EQ(__atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE), zb);
    EXPECT_EQ(order_round_trip(b, srv, 1).size(), 100u);
    ASSERT_EQ(MVHUX_DisConnServer(b.h), HUX_RESULT_OK);
    EXPECT_EQ(__atomic_load_n(&g_zf_sync_trade_client, __ATOMIC_ACQUIRE), nullptr);
    name_driver("");
}

namespace {

// In a child: a session logged on through the plug-in, then SIGINT. With
// exit_on_signal the handler ends the process with 0 after closing the
// plug-in; without it the process lives on with the plug-in closed
// (g_is_close) and the session no longer connected (order entry gives 7).
void sigint_child(peer_server& srv, bool exit_on_signal) {
    bypass_session s;
    HUX_TradeSvrInfo info = direct_record(srv, exit_on_signal ? 43301 : 43302);
    info.exit_on_signal = exit_on_signal ? 1 : 0;
    if (!s.logon(info)) _exit(10);
    if (__atomic_load_n(&g_is_close, __ATOMIC_RELAXED) != 0) _exit(11);
    raise(SIGINT);
    if (__atomic_load_n(&g_is_close, __ATOMIC_RELAXED) != 1) _exit(12);
    if (!hux_test::wait_until([&] { return !s.client()->IsConnect(); }, trade_test::kSessionWait)) _exit(13);
    HUX_EnterOrderField o = order(1);
    _exit(MVHUX_EnterOrder(s.h, &o, false) == 7 ? 42 : 14);
}

}  // namespace

TEST(SessionBypassDeathTest, SigintClosesThePlugInOfTheLastSession) {
    HUX_NEED_NETNS();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    EXPECT_EXIT(sigint_child(srv, true), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(sigint_child(srv, false), ::testing::ExitedWithCode(42), "");
    name_driver("");
}

namespace {
std::atomic<int> g_posts{0};
std::atomic<int> g_warm_posts{0};
// Every ef_vi post; warm-ups are the frames with an all-zero destination MAC.
void count_post(void*, uint64_t, const unsigned char* bytes, int, int) {
    static const unsigned char zero[6] = {};
    ++g_posts;
    if (std::memcmp(bytes, zero, 6) == 0) ++g_warm_posts;
}
}  // namespace

// The two ef_vi new-order senders the order functions do not use: the
// warm-up form sends the message as a warm-up (never to the server) and
// returns its length; the lock-free form warms on every call, with no
// spacing, and otherwise sends the order like the order path. Without a
// sender both fail.
TEST(SessionBypass, SpareEfViNewOrderSenders) {
    HUX_NEED_NETNS();
    hux_standin_efvi_reset();
    peer_server srv(accepting());
    name_driver("sfc");
    bypass_session s;
    char msg[100] = {};
    EXPECT_EQ(s.client()->SendMsgToHuxForNewOrderEx(msg, 100), -1);
    EXPECT_EQ(s.client()->SendMsgToHuxForNewOrderEfVi(msg, 100, true), -1);
    ASSERT_TRUE(s.logon(bypass_session::record(srv, 43401, false)));
    hux_standin_efvi_set_post_hook(count_post, nullptr);

    const size_t datagrams = srv.sim->datagrams().size();
    EXPECT_EQ(s.client()->SendMsgToHuxForNewOrderEx(msg, 100), 100);
    EXPECT_EQ(g_posts.load(), 1);
    EXPECT_EQ(g_warm_posts.load(), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.client()->SendMsgToHuxForNewOrderEfVi(msg, 100, true), 8);
    EXPECT_EQ(g_warm_posts.load(), 4);  // one per call: no 10-microsecond spacing here
    EXPECT_EQ(srv.sim->datagrams().size(), datagrams);

    // An order through the lock-free form reaches the server and is accepted.
    std::string order_bytes = order_round_trip(s, srv, 1);  // through the order path, for its bytes
    ASSERT_EQ(order_bytes.size(), 100u);
    trade_test::put_u32(order_bytes, 20, 2);  // the next client token
    const size_t accepts = accepted();
    EXPECT_EQ(s.client()->SendMsgToHuxForNewOrderEfVi(&order_bytes[0], 100, false), 100);
    EXPECT_TRUE(hux_test::wait_until([&] { return accepted() > accepts; }, trade_test::kSessionWait));
    EXPECT_EQ(accepted_tokens().back(), 2u);
    hux_standin_efvi_set_post_hook(nullptr, nullptr);
    name_driver("");
}

// A request that loaded a kernel-bypass sender or the plug-in object when
// another thread disconnects: the disconnect waits for it before it closes
// or frees the sender, and the request goes out on what it saw or fails (4).
TEST(SessionBypass, ARequestRacingADisconnectEndsBeforeItsChannelGoes) {
    HUX_NEED_NETNS();
    ASSERT_NO_FATAL_FAILURE(ready_every_channel());
    peer_server srv(accepting());
    struct channel {
        const char* driver;
        bool plugin;  // a cancel over the plug-in's TCP, else an order over UDP
    } channels[] = {{"sfc", false}, {"exanic", false}, {"sfc", true}};
    uint16_t port = 44000;
    for (const channel& c : channels) {
        SCOPED_TRACE(std::string(c.driver) + (c.plugin ? " plug-in" : ""));
        name_driver(c.driver);
        hux_standin_efvi_set_capability(1);
        bypass_session s;
        ++port;
        ASSERT_TRUE(s.logon(c.plugin ? direct_record(srv, port) : bypass_session::record(srv, port, false)));
        hux_test::hold_point hold("send: transports loaded");
        std::atomic<int> rc{-100};
        std::thread requester([&] {
            if (c.plugin) {
                HUX_CancelOrder cancel = trade_test::cancel_req(1);
                rc = MVHUX_CancelOrder(s.h, &cancel);
            } else {
                HUX_EnterOrderField o = order(1);
                rc = MVHUX_EnterOrder(s.h, &o, false);
            }
        });
        ASSERT_TRUE(hold.wait_arrived(trade_test::kSessionWait));
        std::atomic<bool> closed{false};
        std::thread closer([&] {
            MVHUX_DisConnServer(s.h);
            closed = true;
        });
        EXPECT_TRUE(hold.wait_seen("close: transport readers in flight", trade_test::kSessionWait));
        EXPECT_FALSE(closed);
        hold.release();
        requester.join();
        closer.join();
        EXPECT_TRUE(rc == HUX_RESULT_OK || rc == 4) << rc;
    }
    name_driver("");
}

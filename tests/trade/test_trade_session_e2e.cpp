// End-to-end tests of the trade session against the simulated trade server,
// over real loopback sockets: client flow control through the send routine,
// heart-beat and its watchdog, and auto-reconnect with the application
// logging on again.
//
// Every wait is on a condition with a deadline; the session's own waits are
// shortened through its timing setter where they would slow the tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/transport_retire.h"
#include "tests/support/hold_point.h"
#include "tests/support/plain_socket.h"
#include "tests/support/session_support.h"
#include "tests/support/test_wait.h"

using namespace std::chrono_literals;
using namespace trade_test;
using hux_test::wait_until;
using steady = std::chrono::steady_clock;

namespace {

const char* const kUser = "trader01";
const char* const kPassword = "s3cret-pw";
const char* const kAppId = "e2e-app";
const char* const kAuth = "AUTH-0001";
const uint32_t kUserId = 4242;

hux_sim::sim_config base_config() {
    hux_sim::sim_config cfg;
    cfg.password = kPassword;
    cfg.user_id = kUserId;
    cfg.max_token = 900;
    cfg.symbols = {{"IF2406", 3}};
    cfg.accounts = {{"ACC001", 1}, {"ACC002", 2}};
    return cfg;
}

// Connects, waits for "conn ok", logs on and waits for the logon callback and
// state 4.
void connect_and_logon(CTradeClient& cli, session_events& ev, const HUX_TradeSvrInfo& info) {
    report_waits_from_the_setting(cli);
    ASSERT_TRUE(cli.ConnServer(&info, false));
    ASSERT_TRUE(ev.wait_codes(1));
    ASSERT_EQ(ev.codes(), std::vector<int>({0}));
    ASSERT_EQ(cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(ev.wait_logons(1, kLogonWait));
    ASSERT_EQ(ev.logon(0).rsp.result, 0);
    ASSERT_TRUE(wait_until([&] { return cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kSessionWait));
}

// A message of `type` and `len` bytes with a recognisable body.
std::vector<char> request(uint16_t type, size_t len) {
    std::string m = hux_sim::make_message(type, len);
    for (size_t i = 4; i < len; ++i) m[i] = static_cast<char>(i & 0x7f);
    return std::vector<char>(m.begin(), m.end());
}

// Sends `n` copies of `msg` on the order channel; counts passes and refusals.
void burst(CTradeClient& cli, std::vector<char>& msg, int n, int& passed, int& refused) {
    passed = 0;
    refused = 0;
    const int len = static_cast<int>(msg.size());
    for (int i = 0; i < n; ++i) {
        int r = cli.SendMsgToHux("burst", msg.data(), len, 1);
        if (r == len) {
            ++passed;
        } else if (r == -2) {
            ++refused;
        } else {
            ADD_FAILURE() << "send " << i << " returned " << r;
            return;
        }
    }
}

// Waits until the current flow-control window (as `get` reads it) has passed.
template <class GET>
bool wait_window_passed(GET get, std::chrono::milliseconds timeout) {
    return wait_until(
        [&] {
            HUX_TRADE_CORE::flow_control_window w = get();
            return precise_time::get_current_microseconds() - w.start_us >= w.window_us;
        },
        timeout);
}

}  // namespace

// ================================================================ flow control

// Limits from the logon answer (100 orders per window, 50 cancels per a
// window three quarters as long) through the send routine: 99 orders and 49
// cancels pass a window and the server gets exactly those; the application's
// own limits within them; a 200-byte order message counts two orders; after
// the window the count starts again. The windows last as long as the tests
// wait for an event, so the bursts fit in them however loaded the machine.
TEST(TradeSessionE2E, FlowControlWithServerLimits) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    const std::chrono::milliseconds window = hux_test::test_wait();
    cfg.order_fc_count = 100;
    cfg.order_fc_window_us = static_cast<uint32_t>(window.count() * 1000);
    cfg.cancel_fc_count = 50;
    cfg.cancel_fc_window_us = cfg.order_fc_window_us / 4 * 3;
    ASSERT_TRUE(srv.set_config(cfg));
    session_events ev;
    CTradeClient cli(&ev);
    ev.attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, loopback_info(srv.port())));

    std::vector<char> order = request(10, 100);
    std::vector<char> cancel = request(11, 44);
    int passed = 0;
    int refused = 0;
    burst(cli, order, 150, passed, refused);
    EXPECT_EQ(passed, 99);
    EXPECT_EQ(refused, 51);
    burst(cli, cancel, 60, passed, refused);
    EXPECT_EQ(passed, 49);
    EXPECT_EQ(refused, 11);

    // An accepted change replaces both limits; windows and server limits stay.
    EXPECT_TRUE(cli.ChangeFCParam(10, 5));
    HUX_TRADE_CORE::flow_control_window orders = cli.GetOrderFlowControl();
    HUX_TRADE_CORE::flow_control_window cancels = cli.GetCancelFlowControl();
    // Each window is the server's and a millisecond of margin.
    EXPECT_EQ(orders.limit, 10);
    EXPECT_EQ(orders.server_limit, 100);
    EXPECT_EQ(orders.window_us, int64_t(cfg.order_fc_window_us) + 1000);
    EXPECT_EQ(cancels.limit, 5);
    EXPECT_EQ(cancels.server_limit, 50);
    EXPECT_EQ(cancels.window_us, int64_t(cfg.cancel_fc_window_us) + 1000);

    // Next window, new limit: a 200-byte order message counts two orders,
    // so seven single orders follow it before the refusals. The window that
    // is still running ends within its own length.
    ASSERT_TRUE(wait_window_passed([&] { return cli.GetOrderFlowControl(); }, window + kSessionWait));
    std::vector<char> two_orders = request(10, 100);
    two_orders.insert(two_orders.end(), order.begin(), order.end());
    ASSERT_EQ(cli.SendMsgToHux("orders", two_orders.data(), 200, 1), 200);
    EXPECT_EQ(cli.GetOrderFlowControl().count, 2);
    burst(cli, order, 20, passed, refused);
    EXPECT_EQ(passed, 7);
    EXPECT_EQ(refused, 13);
    ASSERT_TRUE(wait_window_passed([&] { return cli.GetCancelFlowControl(); }, window + kSessionWait));
    burst(cli, cancel, 10, passed, refused);
    EXPECT_EQ(passed, 4);
    EXPECT_EQ(refused, 6);

    ASSERT_TRUE(srv.wait_for_message(0, 11, 53, kSessionWait));
    EXPECT_EQ(srv.count(0, 10), 99u + 2u + 7u);
    EXPECT_EQ(srv.count(0, 11), 49u + 4u);
}

// ================================================================ heart-beat

// With interval 1 and a granted time-out, heart-beats go out about every
// second once logged on; a silent server makes the watchdog report the
// elapsed seconds, again and again, without closing the session.
TEST(TradeSessionE2E, HeartBeatAndSilentServer) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    cfg.heart_beat_timeout = 1;
    ASSERT_TRUE(srv.set_config(cfg));
    session_events ev;
    CTradeClient cli(&ev);
    ev.attach(cli);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, loopback_info(srv.port(), 1)));
    ASSERT_TRUE(wait_until([&] { return cli.IsHeartBeatRunning(); }, kSessionWait));
    EXPECT_EQ(cli.GetServerTimeout(), 1);

    // From now on the server records and answers nothing.
    srv.set_silent(true);
    const auto silent_at = steady::now();

    // Two intervals, timed by the server's reads of the beats rather than by
    // when this thread gets to look at them.
    for (size_t n = 1; n <= 3; ++n) {
        ASSERT_TRUE(srv.wait_for_message(0, 200, n, kSessionWait)) << "heart-beat " << n;
    }
    const std::vector<hux_sim::sim_message> paced = srv.messages(0, 200);
    ASSERT_GE(paced.size(), 3u);
    EXPECT_GE(paced[2].received_at - paced[0].received_at, 1500ms);
    EXPECT_LE(paced[2].received_at - paced[0].received_at, 3500ms);

    // Heart-beats 0, 1 and 2 of user 4242 (0x1092).
    const char* const golden[] = {
        "c800" "1000" "00000000" "92100000" "00000000",
        "c800" "1000" "01000000" "92100000" "00000000",
        "c800" "1000" "02000000" "92100000" "00000000",
    };
    // type 200 | length 16 | counter at 4 from 0 | user id at 8 | zero at 12
    std::vector<hux_sim::sim_message> beats = srv.messages(0, 200);
    ASSERT_GE(beats.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(hex_of(beats[i].bytes.data(), beats[i].bytes.size()), golden[i]) << "heart-beat " << i;
    // None before the logon: the first heart-beat follows the logon request
    // and the heart-beat setting.
    std::vector<hux_sim::sim_message> all = srv.messages(0);
    size_t first_beat = all.size();
    size_t logon_at = all.size();
    size_t setting_at = all.size();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].type == 200 && first_beat == all.size()) first_beat = i;
        if (all[i].type == 70 && logon_at == all.size()) logon_at = i;
        if (all[i].type == 90 && setting_at == all.size()) setting_at = i;
    }
    ASSERT_LT(logon_at, setting_at);
    EXPECT_LT(setting_at, first_beat);

    // The watchdog: more than 1 s without a byte, reported twice.
    ASSERT_TRUE(ev.wait_timeouts(2, kSessionWait));
    std::vector<timeout_seen> timeouts = ev.timeouts();
    for (const auto& t : timeouts) {
        EXPECT_GE(t.seconds, 2);
        EXPECT_LE(t.seconds, 3);
    }
    EXPECT_GE(timeouts[1].at - timeouts[0].at, 1500ms);
    EXPECT_GE(timeouts[0].at - silent_at, 900ms);

    // The session is neither closed nor logged off; heart-beats go on.
    EXPECT_TRUE(cli.IsConnect());
    EXPECT_TRUE(cli.IsLogon());
    EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_LOGGED_ON);
    EXPECT_EQ(ev.codes(), std::vector<int>({0}));
    const size_t sent = srv.count(0, 200);
    EXPECT_TRUE(srv.wait_for_message(0, 200, sent + 1, kSessionWait));
}

// Interval 0 asks for no heart-beat. A heart-beat setting answer that the
// session did not ask for, granting a time-out, starts the watchdog all the
// same; no heart-beat goes out, where one went out on every 10 ms tick.
TEST(TradeSessionE2E, NoHeartBeatWithIntervalZeroEvenWhenGranted) {
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    ASSERT_TRUE(srv.set_config(base_config()));
    session_events ev;
    CTradeClient cli(&ev);
    ev.attach(cli);
    HUX_TRADE::TradeClientTimings t = cli.GetTimings();
    t.heart_beat_tick_ms = 1;
    cli.SetTimings(t);
    ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, loopback_info(srv.port(), 0)));
    EXPECT_EQ(srv.count(0, 90), 0u);  // no heart-beat setting was asked for

    std::string granted = hux_sim::make_message(1090, 24);  // result 0 at 12
    granted[16] = 5;                                        // time-out 5 s at 16
    ASSERT_TRUE(srv.send_raw(0, granted));
    ASSERT_TRUE(wait_until([&] { return cli.IsHeartBeatRunning(); }, kSessionWait));
    EXPECT_EQ(cli.GetServerTimeout(), 5);
    // Some 300 ticks: before the mend, about 300 heart-beats.
    EXPECT_FALSE(srv.wait_for_message(0, 200, 1, 300ms));
    EXPECT_EQ(srv.count(0, 200), 0u);
}

// ================================================================ reconnect

namespace {

// Four drops (clean close and reset, alternating); after each the session
// reconnects by itself and the application logs on again when told "conn
// ok": from its own thread, or from inside the connection callback. Then the
// application's own disconnect keeps it down, and destruction leaves no
// thread behind.
void run_reconnects(bool async, bool logon_in_callback) {
    // Each logon first runs the terminal report (its shell commands take a
    // good part of a second on a loaded machine), so the drops are few.
    const int drops = 4;
    hux_sim::sim_trade_server srv;
    ASSERT_TRUE(srv.listening());
    hux_sim::sim_config cfg = base_config();
    ASSERT_TRUE(srv.set_config(cfg));
    // The session's text log goes to a directory of its own: the reconnect
    // series reports there when it has seen the new logon.
    scratch_dir logs;
    const size_t threads_before = hux_test::thread_count();
    {
        session_events ev;
        std::mutex callback_lock;
        std::vector<int> callback_logon_results;
        std::atomic<bool> armed{false};  // outlives the session below
        CTradeClient cli(&ev);
        ev.attach(cli);
        cli.SetLogDir(logs.path().c_str());
        const std::string log_path = text_log_path(logs.path());
        HUX_TRADE::TradeClientTimings t = cli.GetTimings();
        t.reconnect_wait_count = 2;
        t.reconnect_wait_ms = 10;
        t.logon_first_wait_ms = 1;
        // The series waits for a logon that includes the terminal report,
        // longer than this test waits for it, so that a slow logon fails
        // here rather than start another connect.
        t.logon_wait_ms = 2;
        t.logon_wait_count = static_cast<unsigned>((kLogonWait + kSessionWait).count() / t.logon_wait_ms);
        t.reconnect_idle_ms = 2;
        t.close_pause_ms = 1;
        cli.SetTimings(t);
        cli.SetAutoReconnect(true);
        if (async) cli.SetAsyncReceiveMode();

        // The hook is installed before the connection exists (the transport
        // thread reads it) and acts only once armed after the first logon.
        if (logon_in_callback) {
            ev.on_code = [&](CTradeClient* c, int code) {
                if (code != 0 || !armed) return;
                const int rc = c->UserLogon(kUser, kPassword, kAppId, kAuth);
                std::lock_guard<std::mutex> lock(callback_lock);
                callback_logon_results.push_back(rc);
            };
        }
        ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, loopback_info(srv.port(), 1)));
        ASSERT_TRUE(wait_until([&] { return cli.IsReconnectRunning(); }, kSessionWait));
        armed = true;

        for (int i = 0; i < drops; ++i) {
            SCOPED_TRACE("drop " + std::to_string(i));
            const size_t drop = static_cast<size_t>(i);
            // Each logon reports first, on a connection of its own: the
            // trade connections are numbered apart from those.
            const size_t conn = srv.wait_for_trade_connection(drop, kSessionWait);
            ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);
            // The reconnect series that led to this connection has seen the
            // logon and ended; a drop before that would go unnoticed until
            // its logon wait runs out.
            ASSERT_TRUE(wait_until(
                [&] { return count_lines(log_path, "_th_try_reconn quit for logon success") >= drop; }, kSessionWait));
            if (i % 2 == 0) {
                srv.close(conn);
            } else {
                srv.reset(conn);
            }
            // Told "conn ok" by the connection callback, the application logs on.
            ASSERT_TRUE(ev.wait_code(0, static_cast<size_t>(i) + 2, kSessionWait));
            // The new trade connection comes behind the dropped one and its
            // logon's report connection.
            ASSERT_TRUE(srv.wait_for_connection(conn + 2, kSessionWait));
            if (!logon_in_callback) {
                // Connected again, not yet logged on: the series of this drop
                // has made its one connect and waits for the logon.
                // Each drop so far: "remote disconnected" (2), with the
                // synchronous client "local disconnected" (3) from the
                // disconnect that opens the reconnect's ConnServer, then "conn ok".
                std::vector<int> codes{0};
                for (size_t d = 0; d <= drop; ++d) {
                    codes.push_back(2);
                    if (!async) codes.push_back(3);
                    codes.push_back(0);
                }
                EXPECT_EQ(ev.codes(), codes);
                EXPECT_EQ(count_lines(log_path, "_th_try_reconn start"), drop + 1);
                EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:1."), drop + 1);
                EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:2."), 0u);
                EXPECT_EQ(count_lines(log_path, "_th_try_reconn quit for logon success"), drop);
                ASSERT_EQ(cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
            }
            ASSERT_TRUE(ev.wait_logons(static_cast<size_t>(i) + 2, kLogonWait));
            EXPECT_EQ(ev.logon(static_cast<size_t>(i) + 1).rsp.result, 0);
            ASSERT_TRUE(wait_until([&] { return cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kSessionWait));
            const size_t next = srv.wait_for_trade_connection(drop + 1, kSessionWait);
            EXPECT_EQ(next, conn + 2);
            EXPECT_EQ(srv.count(next, 70), 1u);
        }
        {
            std::lock_guard<std::mutex> lock(callback_lock);
            EXPECT_EQ(callback_logon_results, std::vector<int>(logon_in_callback ? static_cast<size_t>(drops) : 0u, 0));
        }

        // Connection events in order: the first "conn ok", then per drop
        // "remote disconnected", ("local disconnected" from the synchronous
        // client when the reconnect replaces it,) "conn ok".
        std::vector<int> want = {0};
        for (int i = 0; i < drops; ++i) {
            want.push_back(2);
            if (!async) want.push_back(3);
            want.push_back(0);
        }
        EXPECT_EQ(ev.codes(), want);
        std::vector<std::string> texts = ev.texts();
        ASSERT_GE(texts.size(), 3u);
        EXPECT_EQ(texts[0], "conn ok");
        EXPECT_EQ(texts[1], "remote disconnected");
        if (!async) {
            EXPECT_EQ(texts[2], "local disconnected");
        }
        // A trade connection and a report connection per logon.
        EXPECT_EQ(srv.connection_count(), 2 * (static_cast<size_t>(drops) + 1));
        const size_t last = srv.trade_connection(static_cast<size_t>(drops));
        EXPECT_EQ(last, 2 * static_cast<size_t>(drops));
        // One connect attempt per drop, each ended by the logon.
        EXPECT_TRUE(wait_until(
            [&] {
                return count_lines(log_path, "_th_try_reconn quit for logon success") == static_cast<size_t>(drops);
            },
            kSessionWait));
        EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:1."), static_cast<size_t>(drops));
        EXPECT_EQ(count_lines(log_path, "_th_try_reconn ConnServer try times:2."), 0u);

        // The application's own disconnect: "local disconnected", and it
        // stays down.
        EXPECT_TRUE(cli.StopAndDisConnServer());
        EXPECT_TRUE(ev.wait_codes(want.size() + 1));
        EXPECT_EQ(ev.codes().back(), 3);
        EXPECT_EQ(cli.GetState(), HUX_TRADE::TRADE_STATE_CLOSED);
        EXPECT_FALSE(cli.IsConnect());
        EXPECT_FALSE(cli.IsLogon());
        EXPECT_FALSE(cli.IsReconnectRunning());
        EXPECT_FALSE(cli.IsHeartBeatRunning());
        EXPECT_TRUE(srv.transport().wait_peer_closed(last, kSessionWait));
        EXPECT_FALSE(srv.wait_for_connection(2 * (static_cast<size_t>(drops) + 1), 300ms));
        EXPECT_EQ(ev.codes().size(), want.size() + 1);
    }
    EXPECT_TRUE(wait_until([&] { return hux_test::thread_count() <= threads_before; }, kSessionWait))
        << hux_test::thread_count() << " threads, " << threads_before << " before the session";
}

}  // namespace

TEST(TradeSessionE2E, AutoReconnectSynchronousClient) { run_reconnects(false, false); }

TEST(TradeSessionE2E, AutoReconnectSynchronousClientLogonInCallback) { run_reconnects(false, true); }

TEST(TradeSessionE2E, AutoReconnectAsynchronousClient) { run_reconnects(true, false); }

// ================================================================ concurrent callers
// Each race is made to happen the same way every run: a library thread is
// held at a named point while another thread does the other half.

namespace {

// A logged-on session on its own simulated server, with the send lock on.
struct held_session {
    hux_sim::sim_trade_server srv;
    session_events ev;
    CTradeClient cli{&ev};
    HUX_TradeSvrInfo info;
    size_t conn = 0;

    explicit held_session(const hux_sim::sim_config& cfg = base_config()) {
        EXPECT_TRUE(srv.listening());
        EXPECT_TRUE(srv.set_config(cfg));
        ev.attach(cli);
        shorten_closes(cli);
        report_waits_from_the_setting(cli);
        info = loopback_info(srv.port());
        info.send_lock = 1;
    }
    void logon() {
        ASSERT_NO_FATAL_FAILURE(connect_and_logon(cli, ev, info));
        conn = srv.trade_connection(0);
        ASSERT_NE(conn, hux_sim::sim_trade_server::no_connection);
    }
};

}  // namespace

// A send that loaded the TCP client (or the UDP order channel) when another
// thread disconnects: the disconnect waits for it before it closes or frees
// the transport, and the send fails on the connection it saw.
TEST(TradeSessionE2E, ASendRacingADisconnectEndsBeforeTheTransportGoes) {
    for (bool udp : {false, true}) {
        SCOPED_TRACE(udp ? "UDP order channel" : "TCP");
        held_session s;
        if (udp) {
            ASSERT_TRUE(s.srv.open_udp(0));
            s.info.udp_port = s.srv.udp_port();
            snprintf(s.info.local_ip, sizeof(s.info.local_ip), "127.0.0.1");
            s.info.local_udp_port = hux_test::free_loopback_port(SOCK_DGRAM);
        }
        ASSERT_NO_FATAL_FAILURE(s.logon());
        std::vector<char> order = request(10, 100);
        hux_test::hold_point hold("send: transports loaded");
        std::atomic<int> sent{0};
        std::thread sender([&] { sent = s.cli.SendMsgToHux("order", order.data(), 100, 1); });
        ASSERT_TRUE(hold.wait_arrived(kSessionWait));
        std::atomic<bool> closed{false};
        std::thread closer([&] {
            s.cli.DisConnServer();
            closed = true;
        });
        EXPECT_TRUE(hold.wait_seen("close: transport readers in flight", kSessionWait));
        EXPECT_FALSE(closed);
        hold.release();
        sender.join();
        closer.join();
        // TCP is closed first: the waiting send fails there. The UDP order
        // channel is still open when it goes on: the order goes out.
        if (udp) {
            EXPECT_EQ(sent, 100);
            EXPECT_TRUE(s.srv.wait_for_datagrams(1, kSessionWait));
        } else {
            EXPECT_EQ(sent, -1);
        }
        EXPECT_FALSE(s.cli.IsConnect());
    }
}

// The TCP client's event thread, ending its connection, closes the socket
// only once a send that loaded it is done: that send fails instead of
// writing to a descriptor number another socket may have been given.
TEST(TradeSessionE2E, TheEventThreadClosesNoSocketASendStillUses) {
    held_session s;
    ASSERT_NO_FATAL_FAILURE(s.logon());
    std::vector<char> order = request(10, 100);
    hux_test::hold_point hold("sckt_client: socket loaded");
    std::atomic<int> sent{0};
    std::thread sender([&] { sent = s.cli.SendMsgToHux("order", order.data(), 100, 1); });
    ASSERT_TRUE(hold.wait_arrived(kSessionWait));
    s.srv.close(s.conn);
    EXPECT_TRUE(hold.wait_seen("sckt_client: sends in flight at close", kSessionWait));
    hold.release();
    sender.join();
    EXPECT_EQ(sent, -1);
    EXPECT_TRUE(s.ev.wait_code(2));
}

// With the send lock on, two senders never both take the last place of a
// flow-control window: the second counts only after the first has counted.
TEST(TradeSessionE2E, ConcurrentSendersUnderTheSendLockNeverOverfillTheWindow) {
    hux_sim::sim_config cfg = base_config();
    cfg.order_fc_count = 2;  // one order per window
    cfg.order_fc_window_us = 600000000;
    cfg.cancel_fc_count = 2;
    cfg.cancel_fc_window_us = 600000000;
    held_session s(cfg);
    ASSERT_NO_FATAL_FAILURE(s.logon());
    std::vector<char> first = request(10, 100);
    std::vector<char> second = request(10, 100);
    hux_test::hold_point hold("flow control: window read");
    std::atomic<int> a{0};
    std::atomic<int> b{0};
    std::atomic<bool> b_done{false};
    std::thread ta([&] { a = s.cli.SendMsgToHux("order", first.data(), 100, 1); });
    ASSERT_TRUE(hold.wait_arrived(kSessionWait));
    std::thread tb([&] {
        b = s.cli.SendMsgToHux("order", second.data(), 100, 1);
        b_done = true;
    });
    // The second sender waits for the lock the first holds.
    EXPECT_TRUE(wait_until([&] { return b_done || hold.seen("spin lock: busy") > 0; }, kSessionWait));
    EXPECT_FALSE(b_done);
    hold.release();
    ta.join();
    tb.join();
    EXPECT_EQ(a, 100);
    EXPECT_EQ(b, -2);
    EXPECT_EQ(s.cli.GetOrderFlowControl().count, 1);
    ASSERT_TRUE(s.srv.wait_for_message(s.conn, 10, 1, kSessionWait));
    EXPECT_EQ(s.srv.count(s.conn, 10), 1u);
}

// The logon request is marked sent before its bytes go out: an answer handled
// while the sending thread has not yet come back is the answer to it, not an
// unrequested one (99).
TEST(TradeSessionE2E, ALogonAnswerHandledBeforeTheSenderReturnsIsAnswered) {
    held_session s;
    // The held thread would hold the send lock the logon's next send takes.
    s.info.send_lock = 0;
    ASSERT_TRUE(s.cli.ConnServer(&s.info, false));
    ASSERT_TRUE(s.ev.wait_codes(1));
    // The version report is the first send of the logon, the logon request
    // (sent by the receive thread on the version answer) the second.
    hux_test::hold_point hold("send: bytes out", nullptr, 1);
    ASSERT_EQ(s.cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(hold.wait_arrived(kLogonWait));
    const std::string answer = hux_sim::sim_trade_server::logon_answer(base_config(), 0);
    EXPECT_EQ(feed(s.cli, answer), static_cast<int>(answer.size()));
    EXPECT_TRUE(s.cli.IsLogon());
    hold.release();
    ASSERT_TRUE(s.ev.wait_logons(1, kLogonWait));
    for (const auto& seen : s.ev.logons()) EXPECT_EQ(seen.rsp.result, 0);
}

// A lost connection changes the session's state before the application
// hears of it: inside the callback the session is no longer logged on.
TEST(TradeSessionE2E, ALostConnectionIsReportedAfterTheStateChanged) {
    held_session s;
    std::atomic<int> state_seen{-1};
    std::atomic<int> logon_seen{-1};
    s.ev.on_code = [&](CTradeClient* c, int code) {
        if (code != 2) return;
        logon_seen = c->IsLogon() ? 1 : 0;
        state_seen = c->GetState();
    };
    ASSERT_NO_FATAL_FAILURE(s.logon());
    s.srv.close(s.conn);
    ASSERT_TRUE(wait_until([&] { return state_seen >= 0; }, kSessionWait));
    EXPECT_EQ(logon_seen, 0);
    EXPECT_EQ(state_seen, HUX_TRADE::TRADE_STATE_DROPPED);
}

// The loss of a connection the session has already replaced leaves the newer
// connection's state alone: the old client's event thread is held before it
// takes the state while a callback of another transport connects again and
// the application logs on.
TEST(TradeSessionE2E, TheLossOfAReplacedConnectionLeavesTheNewOneLoggedOn) {
    held_session s;
    ASSERT_NO_FATAL_FAILURE(s.logon());
    hux_test::hold_point hold("conn: lost");
    s.srv.close(s.conn);
    ASSERT_TRUE(hold.wait_arrived(kSessionWait));
    {
        // As from another session's callback: the close does not wait for
        // the held thread.
        int other_transport = 0;
        HUX_NET::transport_scope scope(&other_transport);
        ASSERT_TRUE(s.cli.ConnServer(&s.info, false));
    }
    ASSERT_TRUE(s.ev.wait_code(0, 2));
    ASSERT_EQ(s.cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(s.ev.wait_logons(2, kLogonWait));
    ASSERT_TRUE(wait_until([&] { return s.cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kSessionWait));
    hold.release();
    ASSERT_TRUE(s.ev.wait_code(2));
    EXPECT_TRUE(s.cli.IsLogon());
    EXPECT_EQ(s.cli.GetState(), HUX_TRADE::TRADE_STATE_LOGGED_ON);
}

// Orders and cancels on three threads while a fourth disconnects, connects
// and logs on again 25 times: every request either goes out or gives 4, 6, 7
// or flow control's 15 (with the sanitizers this also shows any touch of a
// freed transport or a closed socket).
TEST(TradeSessionE2E, RequestsOnThreeThreadsWhileAFourthReconnects) {
    held_session s;
    ASSERT_NO_FATAL_FAILURE(s.logon());
    void* h = &s.cli;
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::atomic<long> sent{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&, t] {
            uint32_t token = 1000000u * static_cast<uint32_t>(t + 1);
            while (!stop) {
                int rc;
                if (t == 2) {
                    HUX_CancelOrder cancel = cancel_req(token);
                    rc = MVHUX_CancelOrder(h, &cancel);
                } else {
                    HUX_EnterOrderField o = order_req(++token);
                    rc = MVHUX_EnterOrder(h, &o, true);
                }
                if (rc == HUX_RESULT_OK)
                    ++sent;
                else if (rc != HUX_RESULT_SEND_FAILED && rc != HUX_RESULT_NOT_LOGGED_ON &&
                         rc != HUX_RESULT_NOT_CONNECTED && rc != HUX_RESULT_FLOW_CONTROL)
                    ++unexpected;
            }
        });
    }
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const size_t logons = s.ev.logons().size();
        const size_t oks = s.ev.count_code(0);
        ASSERT_EQ(MVHUX_DisConnServer(h), HUX_RESULT_OK);
        ASSERT_EQ(MVHUX_ConnServer(h, &s.info, false), HUX_RESULT_OK);
        ASSERT_TRUE(s.ev.wait_code(0, oks + 1));
        ASSERT_EQ(MVHUX_UserLogon(h, kUser, kPassword, kAppId, kAuth), HUX_RESULT_OK);
        ASSERT_TRUE(s.ev.wait_logons(logons + 1, kLogonWait));
    }
    stop = true;
    for (std::thread& t : senders) t.join();
    EXPECT_EQ(unexpected, 0);
    EXPECT_GT(sent, 0);
}

// A stop of the threads asked on hearing of the logon, while the receive
// thread has not yet come back from the callback, is not undone by the
// reconnect thread that session starts afterwards.
TEST(TradeSessionE2E, AStopAskedOnHearingOfTheLogonHolds) {
    held_session s;
    s.cli.SetAutoReconnect(true);
    ASSERT_TRUE(s.cli.ConnServer(&s.info, false));
    ASSERT_TRUE(s.ev.wait_codes(1));
    hux_test::hold_point hold("trade: logon reported");
    ASSERT_EQ(s.cli.UserLogon(kUser, kPassword, kAppId, kAuth), 0);
    ASSERT_TRUE(hold.wait_arrived(kLogonWait));
    ASSERT_TRUE(s.ev.wait_logons(1));
    s.cli.stop_threads();
    hold.release();
    ASSERT_TRUE(wait_until([&] { return s.cli.GetState() == HUX_TRADE::TRADE_STATE_LOGGED_ON; }, kSessionWait));
    // Expected to pass with nothing started.
    EXPECT_FALSE(wait_until([&] { return s.cli.IsReconnectRunning(); }, 300ms));
}

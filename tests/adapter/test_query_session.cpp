// The query session against a loopback query server: logon accepted and
// refused, its own close, reconnects after a clean close and a reset,
// destruction while reconnecting, three threads at once, the send checks,
// the rate limiter, connect failures and the log directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/adapter/test_query_support.h"
#include "tests/support/returns_in_time.h"

namespace {

using namespace query_test;
using hux_test::thread_count;
using hux_test::wait_until;
using std::chrono::milliseconds;

// The logon request for "trader01" / "password", worked out by hand.
const std::string kLogonImage = unhex(std::string("4400")                           // type 68
                                      + "5000"                                      // length 80
                                      + "00000000"                                  // +4 zero
                                      + "0f000000"                                  // +8 version 15
                                      + text_hex("trader01", 33)                    // +12 login id
                                      + text_hex("5F4DCC3B5AA765D61D8327DEB882CF99", 33)  // +45 MD5 of "password"
                                      + "0000");                                    // +78 zero

// 71 for user 0x01020304.
const std::string kUserAccountReq = unhex(std::string("4700")  // type 71
                                          + "1000"             // length 16
                                          + "00000000"         // +4 zero
                                          + "04030201"         // +8 user id
                                          + "00000000");       // +12 zero

int owner_tag;

struct rig {
    query_server server;
    recording_sink sink;
    scratch_dir scratch;
    const std::string dir = scratch.path();
    std::unique_ptr<CQueryClient> client{new CQueryClient(&owner_tag, &sink, nullptr)};
    rig() {
        EXPECT_FALSE(dir.empty());
        sink.watch(client.get());
        shorten_waits(*client);
        client->SetLogDir(dir.c_str());
    }
    std::string log() { return read_file(text_log_path(dir)); }
    bool logged(const std::string& tag, const std::string& text) {
        return wait_until([&] { return log().find(log_body(tag, text)) != std::string::npos; }, kWait);
    }
    bool state_is(int state) {
        return wait_until([&] { return client->GetState() == state; }, kWait);
    }
    HUX_TradeSvrInfo info() { return query_info(server.port()); }
};

std::vector<int> codes(const std::vector<std::pair<int, std::string>>& events) {
    std::vector<int> out;
    for (const auto& e : events) out.push_back(e.first);
    return out;
}

TEST(QuerySession, LogonAnswerZeroLogsOnAndStartsTheThreadOnlyWithAutoReconnect) {
    const size_t before = settled_thread_count();
    for (bool auto_reconnect : {false, true}) {
        SCOPED_TRACE(auto_reconnect);
        rig r;
        CQueryClient& c = *r.client;
        r.server.answer_with(0, 4242);
        c.SetAutoReconnect(auto_reconnect);
        c.SetLoggerSwitch(true);
        ASSERT_TRUE(c.ConnServer(r.info()));
        ASSERT_TRUE(r.sink.wait_connects(1));
        EXPECT_EQ(std::make_pair(0, std::string("conn ok")), r.sink.connects()[0]);
        ASSERT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_CONNECTED));
        EXPECT_TRUE(c.IsConnect());
        EXPECT_FALSE(c.IsLogon());
        EXPECT_TRUE(r.logged("info", "open query servr 127.0.0.1:" + std::to_string(r.server.port()) + " successed"));
        EXPECT_TRUE(r.logged("debug", "query port conn ok"));

        const size_t threads = thread_count();
        ASSERT_EQ(80, send_logon(c, "trader01", "password"));
        ASSERT_TRUE(r.sink.wait_logons(1));
        const recording_sink::logon_seen seen = r.sink.logons()[0];
        EXPECT_EQ(0, seen.result);
        EXPECT_EQ(4242u, seen.user_id);
        // The user id and the logged-on flag come before the owner hears of
        // it; the state and the thread after.
        EXPECT_TRUE(seen.logged_on);
        EXPECT_EQ(4242u, seen.session_user_id);
        EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_CONNECTED, seen.state);
        EXPECT_FALSE(seen.thread_running);
        // The handler is over once the message's label is logged.
        ASSERT_TRUE(r.logged("proc query_logon_msg_resp", ""));
        EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, c.GetState());
        EXPECT_TRUE(c.IsLogon());
        EXPECT_EQ(auto_reconnect, c.IsReconnectRunning());
        if (auto_reconnect) {
            EXPECT_TRUE(wait_until([&] { return thread_count() == threads + 1; }, kWait));
            EXPECT_TRUE(r.logged("debug", "_th_trade_clt_check_and_reconn start"));
        } else {
            EXPECT_EQ(threads, thread_count());
            // A peer close only moves the state to 3.
            r.server.raw().close(0);
            ASSERT_TRUE(r.sink.wait_connects(2));
            EXPECT_EQ(std::make_pair(2, std::string("remote disconnected")), r.sink.connects()[1]);
            EXPECT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_DROPPED));
            EXPECT_FALSE(c.IsLogon());
            EXPECT_FALSE(c.IsReconnectRunning());
            EXPECT_TRUE(r.logged("error", "query port disconnected by server"));
        }
    }
    // Every thread of the sessions, the reconnect thread included, is gone.
    EXPECT_TRUE(wait_until([&] { return thread_count() == before; }, kWait));
}

TEST(QuerySession, OwnCloseIsNotReportedAndAConnectAfterItIs) {
    rig r;
    CQueryClient& c = *r.client;
    r.server.answer_with(0, 8);
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_EQ(80, send_logon(c, "trader01", "password"));
    ASSERT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_LOGGED_ON));

    // The local close is reported on this very thread, inside DisConnServer,
    // if at all: once it returns nothing more can come of it.
    EXPECT_TRUE(c.DisConnServer());
    EXPECT_EQ(1u, r.sink.connects().size());
    EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, c.GetState());
    EXPECT_TRUE(c.IsLogon());
    EXPECT_FALSE(c.IsConnect());
    EXPECT_EQ(-1, send_logon(c, "trader01", "password"));
    EXPECT_TRUE(r.server.raw().wait_peer_closed(0, kWait));
    EXPECT_TRUE(r.logged("info", "close query client"));

    // The next connect hears its events again.
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_TRUE(r.sink.wait_connects(2));
    EXPECT_EQ(std::make_pair(0, std::string("conn ok")), r.sink.connects()[1]);
    EXPECT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_CONNECTED));
    EXPECT_FALSE(c.IsLogon());
}

TEST(QuerySession, AnswersOverTheSocketInOneReadOrInPieces) {
    rig r;
    CQueryClient& c = *r.client;
    hux_test::loopback_server& s = r.server.raw();
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_TRUE(s.wait_accept(0, kWait));

    // Two answers in one write.
    ASSERT_TRUE(s.send(0, logon_answer(0, 2) + logon_answer(0, 3)));
    ASSERT_TRUE(r.sink.wait_logons(2));
    // One answer cut into pieces (each may arrive on its own).
    ASSERT_TRUE(s.send_pieces(0, logon_answer(0, 4), {1, 1, 1, 10, 20}, std::chrono::microseconds(2000)));
    ASSERT_TRUE(r.sink.wait_logons(3));
    // An unknown message in front of one, and the longest answer in pieces.
    std::string risk = message(1082, 1006);
    ASSERT_TRUE(s.send(0, message(1065, 24) + logon_answer(0, 5)));
    ASSERT_TRUE(r.sink.wait_logons(4));
    ASSERT_TRUE(s.send_pieces(0, risk + logon_answer(0, 6), {500, 400, 150}, std::chrono::microseconds(2000)));
    ASSERT_TRUE(r.sink.wait_logons(5));

    std::vector<uint32_t> users;
    for (const auto& seen : r.sink.logons()) users.push_back(seen.user_id);
    EXPECT_EQ((std::vector<uint32_t>{2, 3, 4, 5, 6}), users);
    EXPECT_EQ(6u, c.GetUserId());
    EXPECT_TRUE(r.logged("error msg type", "receive unknown msg type: 1065, len is 80"));
}

TEST(QuerySession, RefusedLogonIsReportedThenClosedWithoutRetry) {
    rig r;
    CQueryClient& c = *r.client;
    r.server.answer_with(7, 99);
    c.SetAutoReconnect(true);
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_EQ(80, send_logon(c, "trader01", "password"));
    ASSERT_TRUE(r.sink.wait_logons(1));
    const recording_sink::logon_seen seen = r.sink.logons()[0];
    EXPECT_EQ(7, seen.result);
    EXPECT_EQ(99u, seen.user_id);
    EXPECT_TRUE(seen.connected);  // reported first, closed after
    EXPECT_FALSE(seen.logged_on);

    // Closed on the client's own receive thread: retired there, freed by the
    // next disconnect from another thread.
    ASSERT_TRUE(wait_until([&] { return c.RetiredCount() == 1; }, kWait));
    EXPECT_FALSE(c.IsConnect());
    EXPECT_TRUE(r.server.raw().wait_peer_closed(0, kWait));
    EXPECT_EQ(99u, c.GetUserId());
    EXPECT_FALSE(c.IsLogon());
    // Its own close is not reported and the state stays 1: no reconnect.
    EXPECT_EQ(HUX_ADAPTER::QUERY_STATE_CONNECTED, c.GetState());
    EXPECT_EQ(1u, r.sink.connects().size());
    EXPECT_FALSE(c.IsReconnectRunning());
    EXPECT_TRUE(c.DisConnServer());
    EXPECT_EQ(0u, c.RetiredCount());

    // A refusal and an acceptance in one read: what follows the refusal
    // belongs to the closed connection and is not handled.
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_TRUE(r.server.raw().wait_accept(1, kWait));
    ASSERT_TRUE(r.server.raw().send(1, logon_answer(7, 1) + logon_answer(0, 2)));
    ASSERT_TRUE(wait_until([&] { return c.RetiredCount() == 1; }, kWait));
    // Freeing the client waits for its receive thread to be done.
    EXPECT_TRUE(c.DisConnServer());
    EXPECT_EQ(0u, c.RetiredCount());
    ASSERT_EQ(2u, r.sink.logons().size());
    EXPECT_EQ(7, r.sink.logons()[1].result);
    EXPECT_FALSE(c.IsLogon());
    EXPECT_EQ(1u, c.GetUserId());
    EXPECT_NE(HUX_ADAPTER::QUERY_STATE_LOGGED_ON, c.GetState());
}

TEST(QuerySession, RefusedHundredTimesLeaksNoThreadAndNoDescriptor) {
    rig r;
    CQueryClient& c = *r.client;
    hux_test::loopback_server& s = r.server.raw();
    r.server.answer_with(3, 1);
    c.SetAutoReconnect(true);
    const HUX_TradeSvrInfo info = r.info();
    const size_t threads = thread_count();
    const size_t descriptors = open_descriptors();
    for (size_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(c.ConnServer(info)) << i;
        ASSERT_EQ(80, send_logon(c, "trader01", "password")) << i;
        ASSERT_TRUE(r.sink.wait_logons(i + 1)) << i;
        ASSERT_TRUE(wait_until([&] { return !c.IsConnect(); }, kWait)) << i;
        // The next connect comes as soon as the server sees the close: the
        // old client may still be finishing its close on its own thread, and
        // nothing of that may reach the session.
        ASSERT_TRUE(s.wait_peer_closed(i, kWait)) << i;
        s.close(i);
    }
    // Each client is retired on its own thread once its close is over, and
    // freed by the next disconnect from another thread.
    EXPECT_TRUE(wait_until(
        [&] {
            c.DisConnServer();
            return c.RetiredCount() == 0;
        },
        kWait));
    EXPECT_TRUE(wait_until([&] { return thread_count() == threads; }, kWait)) << thread_count() << " vs " << threads;
    EXPECT_TRUE(wait_until([&] { return open_descriptors() == descriptors; }, kWait))
        << open_descriptors() << " vs " << descriptors;
    for (const auto& seen : r.sink.logons()) {
        EXPECT_EQ(3, seen.result);
        EXPECT_TRUE(seen.connected);
    }
    EXPECT_EQ(std::vector<int>(100, 0), codes(r.sink.connects()));
    EXPECT_EQ(100u, r.server.logons_seen());
    EXPECT_FALSE(c.IsReconnectRunning());
}

TEST(QuerySession, ReconnectsAfterFinAndResetWithTheKeptLogin) {
    rig r;
    CQueryClient& c = *r.client;
    hux_test::loopback_server& s = r.server.raw();
    r.server.answer_with(0, 55);
    c.SetAutoReconnect(true);
    c.SetUserInfo("trader01", "password");
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_EQ(80, send_logon(c, "trader01", "password"));
    ASSERT_TRUE(r.sink.wait_logons(1));
    ASSERT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_LOGGED_ON));
    ASSERT_TRUE(wait_until([&] { return c.IsReconnectRunning(); }, kWait));

    // A clean close: the thread connects again and logs on by itself.
    s.close(0);
    ASSERT_TRUE(s.wait_accept(1, kWait));
    ASSERT_TRUE(s.wait_received(1, 80, kWait));
    EXPECT_EQ(hex_of(kLogonImage.data(), 80), hex_of(s.received(1).data(), s.received(1).size()));
    ASSERT_TRUE(r.sink.wait_logons(2));
    ASSERT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_LOGGED_ON));
    const std::string success = log_body("debug", "_th_try_reconn quit for logon success");
    ASSERT_TRUE(wait_until([&] { return count_of(r.log(), success) == 1; }, kWait));

    // A reset: the same again.
    s.reset(1);
    ASSERT_TRUE(s.wait_accept(2, kWait));
    ASSERT_TRUE(s.wait_received(2, 80, kWait));
    EXPECT_EQ(hex_of(kLogonImage.data(), 80), hex_of(s.received(2).data(), s.received(2).size()));
    ASSERT_TRUE(r.sink.wait_logons(3));
    ASSERT_TRUE(r.state_is(HUX_ADAPTER::QUERY_STATE_LOGGED_ON));
    EXPECT_TRUE(c.IsLogon());

    EXPECT_EQ((std::vector<int>{0, 2, 0, 2, 0}), codes(r.sink.connects()));
    for (const auto& seen : r.sink.logons()) EXPECT_EQ(55u, seen.user_id);
    EXPECT_TRUE(r.logged("debug", "_th_try_reconn ConnServer try times:1."));
    EXPECT_TRUE(wait_until([&] { return count_of(r.log(), success) == 2; }, kWait));
    // Still one reconnect thread.
    EXPECT_TRUE(c.IsReconnectRunning());
    c.stop_check_and_reconn_thread();
    EXPECT_TRUE(wait_until([&] { return !c.IsReconnectRunning(); }, kWait));
    EXPECT_TRUE(r.logged("debug", "_th_trade_clt_check_and_reconn stop"));
}

TEST(QuerySession, DestructionWhileReconnectingLeavesNoThread) {
    query_server server;
    server.answer_with(0, 5);
    hux_test::loopback_server& s = server.raw();
    const size_t before = settled_thread_count();
    // First while the thread waits far longer than the test before its try,
    // then while it tries again and again against a closed port.
    for (unsigned wait_ms : {static_cast<unsigned>(hux_test::long_library_wait_ms()), 1u}) {
        SCOPED_TRACE(wait_ms);
        recording_sink sink;
        scratch_dir scratch;
        const std::string dir = scratch.path();
        std::unique_ptr<CQueryClient> c(new CQueryClient(nullptr, &sink, nullptr));
        sink.watch(c.get());
        c->SetLogDir(dir.c_str());
        shorten_waits(*c);
        HUX_ADAPTER::QueryClientTimings t = c->GetTimings();
        t.reconnect_wait_ms = wait_ms;
        c->SetTimings(t);
        c->SetAutoReconnect(true);
        c->SetUserInfo("trader01", "password");
        const size_t conn = s.accepted_count();
        ASSERT_TRUE(c->ConnServer(query_info(server.port())));
        ASSERT_EQ(80, send_logon(*c, "trader01", "password"));
        ASSERT_TRUE(wait_until([&] { return c->GetState() == HUX_ADAPTER::QUERY_STATE_LOGGED_ON; }, kWait));
        ASSERT_TRUE(wait_until([&] { return c->IsReconnectRunning(); }, kWait));

        s.stop_listening();
        s.close(conn);
        const std::string mark = wait_ms > 1 ? "_th_try_reconn start" : "_th_try_reconn ConnServer try times:3.";
        ASSERT_TRUE(wait_until(
            [&] { return read_file(text_log_path(dir)).find(log_body("debug", mark)) != std::string::npos; }, kWait));
        hux_test::returns_within("destroying the client", [&] { c.reset(); }, kWait);
        sink.watch(nullptr);
        ASSERT_TRUE(s.resume_listening());
    }
    EXPECT_TRUE(wait_until([&] { return thread_count() == before; }, kWait)) << thread_count() << " vs " << before;
}

TEST(QuerySession, ThreeThreadsConnectCloseAndSendForTwoSeconds) {
    const size_t before = settled_thread_count();
    {
        rig r;
        CQueryClient& c = *r.client;
        hux_test::loopback_server& s = r.server.raw();
        r.server.answer_with(0, 9);
        const HUX_TradeSvrInfo info = r.info();
        std::atomic<bool> stop{false};
        std::atomic<int> connects{0};
        std::atomic<int> closes{0};
        std::atomic<int> sent{0};
        std::atomic<int> bad_results{0};

        std::thread connector([&] {
            while (!stop) {
                if (c.ConnServer(info)) ++connects;
            }
        });
        std::thread closer([&] {
            while (!stop) {
                // Lets a few sends through each connection, then closes it.
                const int seen = sent;
                wait_until([&] { return stop || sent > seen + 2; }, milliseconds(20));
                c.DisConnServer();
                ++closes;
                c.SetMaxWaitTime(closes % 2 ? 5 : 500);
                c.IsConnect();
            }
        });
        std::thread sender([&] {
            while (!stop) {
                const int n = send_logon(c, "trader01", "password");
                if (n == 80)
                    ++sent;
                else if (n != -1)
                    ++bad_results;
                c.IsLogon();
            }
        });

        // Meanwhile the server lets go of the connections the client closed.
        // Two seconds at least, and on until each thread has done its part
        // a few times (a loaded machine under a sanitizer is slow to).
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        const auto deadline = std::chrono::steady_clock::now() + 6 * kWait;
        auto busy = [&] {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) return false;
            return now < end || connects <= 5 || closes <= 5 || sent <= 5;
        };
        size_t reaped = 0;
        while (busy()) {
            if (reaped < s.accepted_count() && s.wait_peer_closed(reaped, milliseconds(10)))
                s.close(reaped++);
            else
                s.wait_accept(reaped + 1, milliseconds(10));
        }
        stop = true;
        connector.join();
        closer.join();
        sender.join();
        c.DisConnServer();
        EXPECT_EQ(0u, c.RetiredCount());
        EXPECT_GT(connects.load(), 5);
        EXPECT_GT(closes.load(), 5);
        EXPECT_GT(sent.load(), 5);
        EXPECT_EQ(0, bad_results.load());

        // Requests never interleave: each connection got whole logon images,
        // the last perhaps cut by the close.
        for (size_t i = 0; i < s.accepted_count(); ++i) {
            const std::string got = s.received(i);
            size_t at = 0;
            for (; at + 80 <= got.size(); at += 80) ASSERT_EQ(kLogonImage, got.substr(at, 80)) << i << " at " << at;
            EXPECT_EQ(kLogonImage.substr(0, got.size() - at), got.substr(at)) << i;
        }
    }
    EXPECT_TRUE(wait_until([&] { return thread_count() == before; }, kWait)) << thread_count() << " vs " << before;
}

TEST(QuerySession, SendChecksDirectionConnectionAndRate) {
    rig r;
    CQueryClient& c = *r.client;
    hux_test::loopback_server& s = r.server.raw();
    EXPECT_EQ(-1, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 16, 3));  // not connected
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_TRUE(s.wait_accept(0, kWait));
    ASSERT_TRUE(c.IsConnect());
    // Only the query channel, even when connected.
    EXPECT_EQ(-1, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 16, 1));
    EXPECT_EQ(-1, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 16, 2));
    EXPECT_EQ(0, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 0, 3));
    EXPECT_EQ(16, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 16, 3));
    // The refused sends put nothing on the wire: the stream starts with the 71.
    ASSERT_TRUE(s.wait_received(0, 16, kWait));
    EXPECT_EQ(kUserAccountReq, s.received(0));
    EXPECT_EQ(3u, count_of(r.log(), log_body("send_error", "tcp client disconn.")));

    // The limits: 1..295 for both kinds, else refused with nothing changed.
    EXPECT_FALSE(c.ChangeFCParam(0, 10));
    EXPECT_FALSE(c.ChangeFCParam(296, 10));
    EXPECT_FALSE(c.ChangeFCParam(10, 0));
    EXPECT_FALSE(c.ChangeFCParam(10, 296));
    EXPECT_TRUE(c.ChangeFCParam(295, 295));
    EXPECT_TRUE(c.ChangeFCParam(2, 2));
    // A limit of 2 lets one message of each kind through per window.
    const std::string order = message(10, 100);
    const std::string cancel = message(11, 44);
    EXPECT_EQ(100, c.SendMsgToHux("order", order.data(), 100, 3));
    EXPECT_EQ(-2, c.SendMsgToHux("order", order.data(), 100, 3));
    EXPECT_EQ(44, c.SendMsgToHux("cancel", cancel.data(), 44, 3));
    EXPECT_EQ(-2, c.SendMsgToHux("cancel", cancel.data(), 44, 3));
    EXPECT_FALSE(c.ChangeFCParam(0, 10));
    EXPECT_FALSE(c.ChangeFCParam(296, 10));
    EXPECT_EQ(-2, c.SendMsgToHux("order", order.data(), 100, 3));  // still 2
    EXPECT_TRUE(c.ChangeFCParam(295, 295));
    EXPECT_EQ(100, c.SendMsgToHux("order", order.data(), 100, 3));
    EXPECT_EQ(44, c.SendMsgToHux("cancel", cancel.data(), 44, 3));
    // Query requests are not counted.
    EXPECT_TRUE(c.ChangeFCParam(1, 1));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(16, c.SendMsgToHux("query_user_account_req", kUserAccountReq.data(), 16, 3));
    const size_t total = 16 + 100 + 44 + 100 + 44 + 5 * 16;
    ASSERT_TRUE(s.wait_received(0, total, kWait));
    EXPECT_EQ(kUserAccountReq + order + cancel + order + cancel + kUserAccountReq + kUserAccountReq + kUserAccountReq +
                  kUserAccountReq + kUserAccountReq,
              s.received(0));
}

TEST(QuerySession, ASendTheSocketRefusesGivesUpWhenACloseIsAsked) {
    rig r;
    CQueryClient& c = *r.client;
    hux_test::loopback_server& s = r.server.raw();
    s.set_small_receive_buffer(true);
    ASSERT_TRUE(c.ConnServer(r.info()));
    ASSERT_TRUE(s.wait_accept(0, kWait));
    s.pause_reading(0, true);
    std::string big(32 << 20, 'x');
    big[0] = 71;
    std::atomic<long> tid{0};
    std::atomic<int> result{1};
    std::thread sender([&] {
        tid = static_cast<long>(syscall(SYS_gettid));
        result = c.SendMsgToHux("big", big.data(), static_cast<int>(big.size()), 3);
    });
    // The sender waits for room in the socket, holding the session's send lock.
    ASSERT_TRUE(wait_until([&] { return hux_test::blocked_in(tid, SYS_poll) || hux_test::blocked_in(tid, SYS_ppoll); },
                           kWait));
    EXPECT_TRUE(c.DisConnServer());
    sender.join();
    EXPECT_EQ(-1, result.load());
    EXPECT_FALSE(c.IsConnect());
    EXPECT_TRUE(r.logged("send_error", "tcp client send data error."));
}

TEST(QuerySession, ConnectFailuresAndTheLogDirectory) {
    umask(022);
    recording_sink sink;
    scratch_dir scratch;
    CQueryClient c(nullptr, &sink, nullptr);
    const std::string base = scratch.path();
    ASSERT_FALSE(base.empty());
    const std::string dir = base + "/Logs_2024-b";
    c.SetLogDir(dir.c_str());
    struct stat st;
    ASSERT_EQ(0, stat(dir.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0755u, st.st_mode & 0777u);
    auto log = [&] { return read_file(text_log_path(dir)); };

    EXPECT_FALSE(c.ConnServer(query_info(0)));
    EXPECT_FALSE(c.ConnServer(query_info(5000, "")));
    EXPECT_NE(std::string::npos, log().find(log_body("info", "invalid query port params 127.0.0.1:0.")));
    EXPECT_NE(std::string::npos, log().find(log_body("info", "invalid query port params :5000.")));
    // Nobody listening: false, no line of success.
    uint16_t closed_port;
    {
        hux_test::loopback_server gone;
        closed_port = gone.port();
    }
    EXPECT_FALSE(c.ConnServer(query_info(closed_port)));
    EXPECT_FALSE(c.IsConnect());
    EXPECT_EQ(std::string::npos, log().find("open query servr"));
    EXPECT_EQ(std::string::npos, log().find("close query client"));
    EXPECT_TRUE(sink.connects().empty());

    // A path with a dot is refused: nothing made, the logs stay where they are.
    c.SetLogDir("./hux_query_refused_dir");
    EXPECT_NE(0, stat("./hux_query_refused_dir", &st));
    EXPECT_FALSE(c.ConnServer(query_info(0, "10.1.2.3")));
    EXPECT_NE(std::string::npos, log().find(log_body("info", "invalid query port params 10.1.2.3:0.")));

}

}  // namespace

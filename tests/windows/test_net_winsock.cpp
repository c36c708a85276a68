// Winsock under the socket clients: the per-library start-up counts (paired
// with Winsock's own, safe under threads that start and stop at once), the
// select socket set (its order, its limits, and what one wait reports for a
// quiet, readable, urgent or closed socket), and the classes of Winsock's
// error codes.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/windows/sckt_select_set.h"
#include "net/windows/winsock_count.h"
#include "tests/support/test_wait.h"

namespace {

unsigned env_ms(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? static_cast<unsigned>(std::atoi(text)) : fallback;
}

// Longest wait for something to arrive: the tests' wait setting.
unsigned wait_limit_ms() { return static_cast<unsigned>(hux_test::test_wait().count()); }

// 0 when a TCP socket can be made now, else the Winsock error
// (WSANOTINITIALISED, 10093, once Winsock has been cleaned up).
int socket_error() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return WSAGetLastError();
    closesocket(s);
    return 0;
}

// A connected loopback TCP pair: `near` is the accepted end, `far` the
// connecting one. Winsock must be started.
struct loopback_pair {
    SOCKET near_end = INVALID_SOCKET;
    SOCKET far_end = INVALID_SOCKET;

    loopback_pair() {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        int len = sizeof(addr);
        if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
            listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            closesocket(listener);
            return;
        }
        far_end = socket(AF_INET, SOCK_STREAM, 0);
        if (far_end != INVALID_SOCKET && connect(far_end, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
            near_end = accept(listener, nullptr, nullptr);
        }
        closesocket(listener);
        // A receive that should never block has a limit all the same.
        const DWORD limit = wait_limit_ms();
        if (near_end != INVALID_SOCKET) {
            setsockopt(near_end, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
        }
    }
    ~loopback_pair() {
        if (near_end != INVALID_SOCKET) closesocket(near_end);
        if (far_end != INVALID_SOCKET) closesocket(far_end);
    }
    bool ok() const { return near_end != INVALID_SOCKET && far_end != INVALID_SOCKET; }
    loopback_pair(const loopback_pair&) = delete;
    loopback_pair& operator=(const loopback_pair&) = delete;
};

// Waits on `set` pass after pass until a pass reports a record satisfying
// `done`; the records of that pass are left in `records`, their number
// returned (0 when the limit passed first, -1 on a select failure).
template <class DONE>
int wait_until(sckt_select_set& set, sckt_select_event* records, unsigned capacity, DONE done) {
    const ULONGLONG deadline = GetTickCount64() + wait_limit_ms();
    while (GetTickCount64() <= deadline) {
        const int n = set.wait(1000, records, capacity);
        if (n < 0) return n;
        for (int i = 0; i < n; ++i) {
            if (done(records[i])) return n;
        }
    }
    return 0;
}

bool is_exception(const sckt_select_event& e) { return e.kind == SELECT_EVENT_EXCEPTION; }
bool is_read(const sckt_select_event& e) { return e.kind == SELECT_EVENT_READ; }

// ---- Winsock counts ------------------------------------------------------

TEST(WinsockCount, PairsEachLibrarysUsersWithOneStartupAndOneCleanup) {
    // Nothing at load, nor gtest, starts Winsock.
    ASSERT_EQ(WSANOTINITIALISED, socket_error());
    ASSERT_EQ(10093, WSANOTINITIALISED);
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(0, winsock_users());

    // Two users, released in turn: Winsock stays up for the second and goes
    // with it. A second WSAStartup would keep it up after the last clean-up.
    CLIENT_SCKT_ONLY::winsock_startup();
    EXPECT_EQ(0, socket_error());
    CLIENT_SCKT_ONLY::winsock_startup();
    EXPECT_EQ(2, CLIENT_SCKT_ONLY::winsock_users());
    CLIENT_SCKT_ONLY::winsock_cleanup();
    EXPECT_EQ(1, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(0, socket_error());
    CLIENT_SCKT_ONLY::winsock_cleanup();
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(WSANOTINITIALISED, socket_error());

    // A clean-up too many leaves the count at 0, so the next user starts
    // Winsock again and its clean-up ends it.
    CLIENT_SCKT_ONLY::winsock_cleanup();
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    CLIENT_SCKT_ONLY::winsock_startup();
    EXPECT_EQ(1, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(0, socket_error());
    CLIENT_SCKT_ONLY::winsock_cleanup();
    EXPECT_EQ(WSANOTINITIALISED, socket_error());

    // The socket library counts the same way, on its own.
    winsock_startup();
    winsock_startup();
    EXPECT_EQ(2, winsock_users());
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    winsock_cleanup();
    EXPECT_EQ(0, socket_error());
    winsock_cleanup();
    EXPECT_EQ(0, winsock_users());
    EXPECT_EQ(WSANOTINITIALISED, socket_error());

    // Each library holds its own Winsock reference: the other's last user
    // leaving, or an extra clean-up of a library with no user, does not
    // take Winsock from under a live socket.
    winsock_startup();
    CLIENT_SCKT_ONLY::winsock_startup();
    {
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        CLIENT_SCKT_ONLY::winsock_cleanup();
        CLIENT_SCKT_ONLY::winsock_cleanup();
        EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
        EXPECT_EQ(1, winsock_users());
        EXPECT_EQ(0, socket_error());
        ASSERT_EQ(3, send(pair.far_end, "abc", 3, 0));
        char buf[3];
        EXPECT_EQ(3, recv(pair.near_end, buf, 3, MSG_WAITALL));
    }
    winsock_cleanup();
    EXPECT_EQ(WSANOTINITIALISED, socket_error());
}

// One churning thread, as clients come and go: start its library, make and
// close a socket, clean up; until told to stop or the end time. With `nested`
// it also starts and cleans up many times on top of its hold (the count's
// changes, densely). Counts rounds and the sockets Winsock refused.
struct churner {
    bool socket_library = false;
    int nested = 0;
    std::atomic<long> rounds{0};
    std::atomic<long> refused{0};
    std::atomic<int> last_error{0};

    void startup() const {
        if (socket_library) winsock_startup();
        else CLIENT_SCKT_ONLY::winsock_startup();
    }
    void cleanup() const {
        if (socket_library) winsock_cleanup();
        else CLIENT_SCKT_ONLY::winsock_cleanup();
    }
    void run(const std::atomic<bool>& stop, ULONGLONG end) {
        while (!stop.load() && GetTickCount64() < end) {
            startup();
            const int err = socket_error();
            if (err != 0) {
                refused.fetch_add(1);
                last_error = err;
            }
            for (int i = 0; i < nested; ++i) {
                startup();
                cleanup();
            }
            cleanup();
            rounds.fetch_add(1);
        }
    }
};

const int kChurners = 8;

// How long the churning lasts; HUX_WIN_CHURN_MS overrides.
unsigned churn_ms() { return env_ms("HUX_WIN_CHURN_MS", 3000); }

TEST(WinsockCount, ChurningThreadsNeverCleanUpUnderAHolder) {
    ASSERT_EQ(WSANOTINITIALISED, socket_error());
    CLIENT_SCKT_ONLY::winsock_startup();
    long echoes = 0;
    {
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        std::atomic<bool> stop{false};
        std::vector<churner> churners(kChurners);
        for (auto& c : churners) c.nested = 64;
        std::vector<std::thread> threads;
        const ULONGLONG end = GetTickCount64() + churn_ms();
        for (auto& c : churners) threads.emplace_back([&c, &stop, end] { c.run(stop, end); });

        // The held socket keeps carrying bytes, and new sockets keep
        // coming, while the others start and clean up around it.
        bool broken = false;
        while (GetTickCount64() < end && !broken) {
            char out[8] = {};
            static_assert(sizeof(echoes) <= sizeof(out), "a round number fits a message");
            std::memcpy(out, &echoes, sizeof(echoes));
            char in[8] = {};
            const int sent = send(pair.far_end, out, 8, 0);
            const int got = recv(pair.near_end, in, 8, MSG_WAITALL);
            const int err = socket_error();
            EXPECT_EQ(8, sent) << "round " << echoes << ", error " << WSAGetLastError();
            EXPECT_EQ(8, got) << "round " << echoes;
            EXPECT_EQ(0, std::memcmp(out, in, 8)) << "round " << echoes;
            EXPECT_EQ(0, err) << "round " << echoes;
            broken = sent != 8 || got != 8 || err != 0;
            ++echoes;
        }
        stop = true;
        for (auto& t : threads) t.join();
        long rounds = 0;
        for (auto& c : churners) {
            rounds += c.rounds.load();
            EXPECT_EQ(0, c.refused.load()) << "a churner's socket refused, error " << c.last_error.load();
        }
        EXPECT_GT(rounds, kChurners);
        EXPECT_GT(echoes, 0);
        EXPECT_EQ(1, CLIENT_SCKT_ONLY::winsock_users());
    }
    CLIENT_SCKT_ONLY::winsock_cleanup();
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(WSANOTINITIALISED, socket_error());
}

TEST(WinsockCount, EveryThreadCanUseWinsockRightAfterItsStartup) {
    // No holder: both counts go through 0 again and again, so one thread's
    // start-up and another's clean-up meet.
    ASSERT_EQ(WSANOTINITIALISED, socket_error());
    std::atomic<bool> stop{false};
    std::vector<churner> churners(kChurners);
    for (int i = 0; i < kChurners; ++i) churners[i].socket_library = (i % 2) == 1;
    std::vector<std::thread> threads;
    const ULONGLONG end = GetTickCount64() + churn_ms();
    for (auto& c : churners) threads.emplace_back([&c, &stop, end] { c.run(stop, end); });
    for (auto& t : threads) t.join();
    for (auto& c : churners) {
        EXPECT_GT(c.rounds.load(), 0);
        EXPECT_EQ(0, c.refused.load()) << "a socket refused right after a start-up, error " << c.last_error.load();
    }
    EXPECT_EQ(0, CLIENT_SCKT_ONLY::winsock_users());
    EXPECT_EQ(0, winsock_users());
    EXPECT_EQ(WSANOTINITIALISED, socket_error());
}

// ---- the socket set ------------------------------------------------------

// Socket values only: the set never calls Winsock outside wait().
SOCKET fake(unsigned i) { return static_cast<SOCKET>(1000 + 4 * i); }

TEST(SelectSet, KeepsRegisteredSocketsInOrderWithinItsLimits) {
    sckt_select_set set;
    sckt_select_event records[2 * sckt_select_set::CAPACITY + 1];
    EXPECT_EQ(0u, set.size());
    set.prepare();
    EXPECT_EQ(0u, set.total());
    EXPECT_TRUE(set.collect(records, 0));

    // Registration order kept; a second add of one socket keeps one entry;
    // removing a stranger changes nothing.
    for (unsigned i = 0; i < 4; ++i) set.add(fake(i));
    set.add(fake(1));
    set.remove(fake(99));
    EXPECT_EQ(4u, set.size());

    // Removing the second moves the third and fourth up one place.
    set.remove(fake(1));
    EXPECT_EQ(3u, set.size());
    EXPECT_FALSE(set.contains(fake(1)));
    set.prepare();
    // Read and exception groups only: no socket waits in the write group.
    ASSERT_EQ(6u, set.total());

    // Over capacity: false, nothing written.
    for (auto& r : records) r = {fake(77), 9};
    EXPECT_FALSE(set.collect(records, 5));
    for (auto& r : records) {
        EXPECT_EQ(fake(77), r.sock);
        EXPECT_EQ(9u, r.kind);
    }

    ASSERT_TRUE(set.collect(records, 6));
    const SOCKET order[3] = {fake(0), fake(2), fake(3)};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(order[i], records[i].sock) << i;
        EXPECT_EQ(2u, records[i].kind) << i;  // read
        EXPECT_EQ(order[i], records[3 + i].sock) << i;
        EXPECT_EQ(3u, records[3 + i].kind) << i;  // exception
    }
    EXPECT_EQ(fake(77), records[6].sock);  // nothing beyond the records

    // 64 sockets at most; the 65th is left out.
    sckt_select_set full;
    for (unsigned i = 0; i < 65; ++i) full.add(fake(i));
    EXPECT_EQ(64u, full.size());
    EXPECT_TRUE(full.contains(fake(63)));
    EXPECT_FALSE(full.contains(fake(64)));
    // The first removed, the rest move up: the first record is the second
    // socket and the last read record the 64th; a place is free again.
    full.remove(fake(0));
    full.add(fake(64));
    EXPECT_TRUE(full.contains(fake(64)));
    full.prepare();
    ASSERT_TRUE(full.collect(records, 2 * sckt_select_set::CAPACITY));
    EXPECT_EQ(fake(1), records[0].sock);
    EXPECT_EQ(fake(63), records[62].sock);
    EXPECT_EQ(fake(64), records[63].sock);
    EXPECT_EQ(fake(1), records[64].sock);
    EXPECT_EQ(3u, records[64].kind);
    for (unsigned i = 1; i <= 64; ++i) full.remove(fake(i));
    EXPECT_EQ(0u, full.size());
}

TEST(SelectSet, OneWaitReportsWhatTheSocketHasEachOnce) {
    CLIENT_SCKT_ONLY::winsock_startup();
    sckt_select_event records[3];
    {
        // Quiet: nothing, and no write record for a socket merely writable.
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        sckt_select_set set;
        set.add(pair.near_end);
        EXPECT_EQ(0, set.wait(50, records, 3));
        EXPECT_EQ(0, set.wait(20000, records, 3));

        // Readable: one read record.
        ASSERT_EQ(4, send(pair.far_end, "data", 4, 0));
        ASSERT_EQ(1, wait_until(set, records, 3, is_read));
        EXPECT_EQ(pair.near_end, records[0].sock);
        char buf[8];
        ASSERT_EQ(4, recv(pair.near_end, buf, sizeof(buf), 0));
        EXPECT_EQ(0, set.wait(20000, records, 3));

        // The peer's close: one read record (the receive then gives 0).
        closesocket(pair.far_end);
        pair.far_end = INVALID_SOCKET;
        ASSERT_EQ(1, wait_until(set, records, 3, is_read));
        EXPECT_EQ(pair.near_end, records[0].sock);
        EXPECT_EQ(0, recv(pair.near_end, buf, sizeof(buf), 0));
    }
    {
        // An urgent byte alone: exactly one record, an exception.
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        sckt_select_set set;
        set.add(pair.near_end);
        ASSERT_EQ(1, send(pair.far_end, "!", 1, MSG_OOB));
        ASSERT_EQ(1, wait_until(set, records, 3, is_exception));
        EXPECT_EQ(pair.near_end, records[0].sock);
        EXPECT_EQ(3u, records[0].kind);
        EXPECT_EQ(1, set.wait(20000, records, 3)) << "still pending until read";
        EXPECT_EQ(3u, records[0].kind);
        char urgent = 0;
        ASSERT_EQ(1, recv(pair.near_end, &urgent, 1, MSG_OOB));
        EXPECT_EQ('!', urgent);
    }
    {
        // Bytes and an urgent byte: a read record, then an exception record.
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        sckt_select_set set;
        set.add(pair.near_end);
        ASSERT_EQ(3, send(pair.far_end, "abc", 3, 0));
        ASSERT_EQ(1, send(pair.far_end, "!", 1, MSG_OOB));
        ASSERT_EQ(2, wait_until(set, records, 3, is_exception));
        EXPECT_EQ(pair.near_end, records[0].sock);
        EXPECT_EQ(2u, records[0].kind);
        EXPECT_EQ(pair.near_end, records[1].sock);
        EXPECT_EQ(3u, records[1].kind);
    }
    CLIENT_SCKT_ONLY::winsock_cleanup();
}

// ---- Winsock error classes -----------------------------------------------

TEST(SelectErrorClass, MapsWinsockCodesOntoTheFourWaitErrorClasses) {
    // The wait-error reports are keyed by the Linux numbers.
    EXPECT_EQ(4, select_error_as_errno(WSAEINTR));
    EXPECT_EQ(9, select_error_as_errno(WSAEBADF));
    EXPECT_EQ(9, select_error_as_errno(WSAENOTSOCK));
    EXPECT_EQ(14, select_error_as_errno(WSAEFAULT));
    EXPECT_EQ(22, select_error_as_errno(WSAEINVAL));
    EXPECT_EQ(10004, WSAEINTR);
    EXPECT_EQ(10009, WSAEBADF);
    EXPECT_EQ(10038, WSAENOTSOCK);
    EXPECT_EQ(10014, WSAEFAULT);
    EXPECT_EQ(10022, WSAEINVAL);
    // Everything else is the "other" class: no success code, no other
    // Winsock code, and no Win32 code that shares a number with an errno.
    for (int code : {0, 4, 9, 14, 22, 6, 10035, 10053, 10054, 10093, 10060}) {
        EXPECT_EQ(0, select_error_as_errno(code)) << code;
    }

    // Real failures of a wait. A socket closed while registered: bad
    // descriptor, from the calling thread's last error, not errno.
    CLIENT_SCKT_ONLY::winsock_startup();
    {
        loopback_pair pair;
        ASSERT_TRUE(pair.ok());
        sckt_select_set set;
        set.add(pair.near_end);
        closesocket(pair.near_end);
        sckt_select_event records[3];
        errno = 22;  // a stale errno plays no part
        EXPECT_EQ(-1, set.wait(50, records, 3));
        EXPECT_EQ(9, last_select_error()) << "WSAGetLastError " << WSAGetLastError();
        pair.near_end = INVALID_SOCKET;

        // No socket at all: an invalid argument.
        sckt_select_set empty;
        EXPECT_EQ(-1, empty.wait(50, records, 3));
        EXPECT_EQ(22, last_select_error()) << "WSAGetLastError " << WSAGetLastError();
    }
    CLIENT_SCKT_ONLY::winsock_cleanup();
}

}  // namespace

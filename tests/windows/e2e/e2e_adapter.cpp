// The adapter end to end: an application of the adapter library (the
// Windows DLL under Wine, or libhuxadapter.so on Linux) against the native
// simulated server, through the C functions and through the API object with
// an event sink built by this compiler. It includes the public headers only.
//
//   e2e_adapter fill|reject
//
// The server's ports come from HUX_E2E_TRADE_PORT, HUX_E2E_QUERY_PORT and
// HUX_E2E_UDP_PORT, and for fill the query port of a second server from
// HUX_E2E_QUERY2_PORT; every wait ends at twice the tests' wait setting
// HUX_TEST_WAIT_MS (10,000 ms when unset), the whole run at HUX_E2E_TOTAL_S
// (default 300). The program checks what the
// application sees; the host script (run_e2e.sh) checks what the server
// recorded, with the local UDP port this program prints
// ("e2e: udp local port N"). Exit code 0 when every check passed, 1 when one
// failed, 2 for bad arguments or environment.
//
// The trade connections are made one after another, so the server numbers
// them in this order (the host script relies on it):
//   fill:   0 C functions, synchronous receive; 1 asynchronous receive, log
//           directory moves; 2 UDP order channel; 3 API object; 4, 5 a
//           disconnect inside a callback (synchronous, asynchronous);
//           6 and its reconnect 7 automatic reconnect (its query session on
//           the second server); then 20 drops in each receive mode.
//   reject: 0 C functions; 1 API object.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hux_adapter_api.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- checks

std::chrono::milliseconds g_wait(20000);  // twice the tests' wait setting
std::atomic<int> g_failures{0};

void say(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::fflush(stdout);
}

bool check(bool ok, const char* file, int line, const char* what) {
    if (!ok) {
        ++g_failures;
        say("FAILED: %s:%d: %s\n", file, line, what);
    }
    return ok;
}

#define CHECK(cond) check((cond), __FILE__, __LINE__, #cond)
// The integer result of a call against the one expected.
#define CHECK_EQ(got, want)                                                                                   \
    do {                                                                                                      \
        const long long got_ = static_cast<long long>(got);                                                   \
        const long long want_ = static_cast<long long>(want);                                                 \
        if (got_ != want_) {                                                                                  \
            ++g_failures;                                                                                     \
            say("FAILED: %s:%d: %s is %lld, expected %lld\n", __FILE__, __LINE__, #got, got_, want_);         \
        }                                                                                                     \
    } while (0)
// A failed precondition ends the step: what follows depends on it.
#define REQUIRE(cond)                 \
    do {                              \
        if (!CHECK(cond)) return;     \
    } while (0)

// The step under way, named by the watchdog when the run outlives its limit.
std::mutex g_step_lock;
std::string g_step;
void step(const std::string& name) {
    {
        std::lock_guard<std::mutex> guard(g_step_lock);
        g_step = name;
    }
    say("e2e: %s\n", name.c_str());
}

// Ends the process when the run takes longer than its limit: a call into the
// library that never returns is reported with the step it hung in.
class watchdog {
public:
    explicit watchdog(std::chrono::seconds limit) : m_thread([this, limit] { run(limit); }) {}
    ~watchdog() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    void run(std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_cv.wait_for(lock, limit, [this] { return m_done; })) return;
        std::lock_guard<std::mutex> guard(g_step_lock);
        say("FAILED: no end within %lld s, hung in: %s\n", static_cast<long long>(limit.count()), g_step.c_str());
        std::_Exit(1);
    }
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

// ---------------------------------------------------------------- what the application hears

// Everything one client reports, from the C callbacks or from the sink.
struct recorder {
    std::mutex m;
    std::condition_variable cv;
    std::vector<int> codes;  // connection codes in order
    std::vector<int32_t> logons;
    std::vector<HUX_OrderAcceptField> accepts;
    std::vector<HUX_OrderExecutionField> executions;
    std::vector<HUX_OrderRejectField> rejects;
    std::vector<HUX_CxlOrderRej> cancel_rejects;
    std::vector<std::string> accounts;
    int account_ends = 0;
    // Set: the next order accept disconnects from inside its callback.
    std::function<int()> disconnect_in_accept;
    bool disconnected_inside = false;
    int inside_result = -1;

    template <typename T>
    void add(std::vector<T>& to, const T& value) {
        {
            std::lock_guard<std::mutex> guard(m);
            to.push_back(value);
        }
        cv.notify_all();
    }
    // Waits until pred (called under the lock) holds; false at the deadline.
    template <typename PRED>
    bool wait(PRED pred) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, g_wait, pred);
    }
    size_t count_code(int code) {
        std::lock_guard<std::mutex> guard(m);
        size_t n = 0;
        for (int c : codes) n += c == code ? 1 : 0;
        return n;
    }
    template <typename T>
    size_t size_of(const std::vector<T>& v) {
        std::lock_guard<std::mutex> guard(m);
        return v.size();
    }
    bool wait_code(int code, size_t n) {
        return wait([&] {
            size_t k = 0;
            for (int c : codes) k += c == code ? 1 : 0;
            return k >= n;
        });
    }
    // Polls cond (a call into the library, made without the lock) until it
    // holds, woken early by any event; false at the deadline.
    bool wait_call(const std::function<bool()>& cond) {
        const auto end = std::chrono::steady_clock::now() + g_wait;
        for (;;) {
            if (cond()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, std::chrono::milliseconds(5));
        }
    }
    void on_accept(const HUX_OrderAcceptField& rec) {
        std::function<int()> disconnect;
        {
            std::lock_guard<std::mutex> guard(m);
            disconnect.swap(disconnect_in_accept);
        }
        const int rc = disconnect ? disconnect() : -1;
        {
            std::lock_guard<std::mutex> guard(m);
            accepts.push_back(rec);
            if (disconnect) {
                disconnected_inside = true;
                inside_result = rc;
            }
        }
        cv.notify_all();
    }
    void on_account(const HUX_AccountInfo* info, bool last) {
        {
            std::lock_guard<std::mutex> guard(m);
            if (info && info->account[0] != '\0') accounts.emplace_back(info->account);
            if (last) ++account_ends;
        }
        cv.notify_all();
    }
};

// The C callbacks: the handle's user parameter is its recorder.
recorder& of(void* handle) { return *static_cast<recorder*>(MVHUX_GetUserParam(handle)); }
void c_connection(void* h, int code, const char*) { of(h).add(of(h).codes, code); }
void c_logon(void* h, HUX_LogonResponse* rsp) { of(h).add(of(h).logons, rsp->result); }
void c_accept(void* h, HUX_OrderAcceptField* rec) { of(h).on_accept(*rec); }
void c_execution(void* h, HUX_OrderExecutionField* rec) { of(h).add(of(h).executions, *rec); }
void c_reject(void* h, HUX_OrderRejectField* rec) { of(h).add(of(h).rejects, *rec); }
void c_cancel_reject(void* h, HUX_CxlOrderRej* rec) { of(h).add(of(h).cancel_rejects, *rec); }
void c_account(void* h, HUX_AccountInfo* info, bool last) { of(h).on_account(info, last); }

// The API object's event sink, built by this compiler.
class sink : public HUXTraderEvent {
public:
    explicit sink(recorder& r) : m_r(r) {}
    void OnConnection(int code, const char*) override { m_r.add(m_r.codes, code); }
    void OnDisconnection(int code, const char*) override { m_r.add(m_r.codes, code); }
    void OnUserLogon(HUX_LogonResponse* rsp) override { m_r.add(m_r.logons, rsp->result); }
    void OnOrderAccept(HUX_OrderAcceptField* rec) override { m_r.on_accept(*rec); }
    void OnOrderExecution(HUX_OrderExecutionField* rec) override { m_r.add(m_r.executions, *rec); }
    void OnOrderReject(HUX_OrderRejectField* rec) override { m_r.add(m_r.rejects, *rec); }
    void OnCxlOrderReject(HUX_CxlOrderRej* rec) override { m_r.add(m_r.cancel_rejects, *rec); }
    void OnQueryUserAccount(HUX_AccountInfo* info, bool last) override { m_r.on_account(info, last); }

private:
    recorder& m_r;
};

// ---------------------------------------------------------------- the server and the requests

struct ports {
    uint16_t trade = 0;
    uint16_t query = 0;
    uint16_t udp = 0;
    uint16_t query2 = 0;  // the second server's, which never drops
};
ports g_ports;

const char* const login_id = "e2e_user";
const char* const password = "e2e_pass";  // the scripts' password
const char* const app_id = "e2e-app";
const char* const auth_code = "E2EAUTH";
const char* const account = "ACC1";       // the scripts' user account
const char* const symbol = "HXF2612";
const char* const drop_symbol = "E2EDROP";  // the scripts' drop marker
const uint8_t exchange = 101;

// Client tokens only ever rise: each order's is above every earlier one.
uint32_t g_token = 100;

HUX_TradeSvrInfo server_record() {
    HUX_TradeSvrInfo info;
    std::snprintf(info.server_ip, sizeof(info.server_ip), "127.0.0.1");
    info.tcp_port = g_ports.trade;
    std::snprintf(info.query_ip, sizeof(info.query_ip), "127.0.0.1");
    info.query_port = g_ports.query;
    info.kernel_bypass = 0;       // the kernel's sockets on Linux (the Windows build has no other)
    info.heartbeat_interval = 0;  // no heart-beat setting: the server's counts stay exact
    return info;
}

HUX_EnterOrderField new_order(const char* sym, uint32_t quantity) {
    HUX_EnterOrderField o;
    std::memset(&o, 0, sizeof(o));
    std::snprintf(o.account, sizeof(o.account), "%s", account);
    o.side = 1;
    o.exchange_id = exchange;
    std::snprintf(o.symbol, sizeof(o.symbol), "%s", sym);
    o.price = 4000.5;
    o.quantity = quantity;
    o.client_token = ++g_token;
    return o;
}

HUX_CancelOrder cancel_of(int64_t order_no) {
    HUX_CancelOrder c;
    std::memset(&c, 0, sizeof(c));
    c.market_token = static_cast<uint64_t>(order_no);
    c.client_token = ++g_token;
    return c;
}

// A UDP port free on 127.0.0.1 a moment ago (0 when none could be had).
uint16_t free_udp_port() {
#ifdef _WIN32
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 0;
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const bool opened = s != INVALID_SOCKET;
#else
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    const bool opened = s >= 0;
#endif
    uint16_t port = 0;
    if (opened) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            port = ntohs(a.sin_port);
        }
#ifdef _WIN32
        ::closesocket(s);
#else
        ::close(s);
#endif
    }
#ifdef _WIN32
    WSACleanup();
#endif
    return port;
}

// ---------------------------------------------------------------- one client through the C functions

struct c_client {
    recorder r;
    void* h = nullptr;

    c_client() {
        h = MVHUX_CreateTrade(&r);
        if (!h) return;
        MVHUX_SetConnectionEvent(h, c_connection);
        MVHUX_SetUserLogonEvent(h, c_logon);
        MVHUX_SetOrderAcceptEvent(h, c_accept);
        MVHUX_SetOrderExecutionEvent(h, c_execution);
        MVHUX_SetOrderRejectEvent(h, c_reject);
        MVHUX_SetCxlOrderRejectEvent(h, c_cancel_reject);
        MVHUX_SetQueryUserAccountEvent(h, c_account);
        MVHUX_SetLoggerSwitch(h, true);
    }
    ~c_client() {
        if (h) CHECK_EQ(MVHUX_DestroyTrade(h), HUX_RESULT_OK);
    }
    c_client(const c_client&) = delete;
    c_client& operator=(const c_client&) = delete;

    // The warm-up: an order of quantity 0 passes the handle, connection and
    // logon checks and sends nothing (7 not connected, 6 not logged on).
    int warm() {
        HUX_EnterOrderField o = new_order(symbol, 0);
        return MVHUX_EnterOrder(h, &o);
    }
    // Connects and logs both sessions on: "conn ok", then exactly one logon
    // callback, with 0.
    bool connect_and_logon(const HUX_TradeSvrInfo& info) {
        const size_t oks = r.count_code(0);
        const size_t logons = r.size_of(r.logons);
        if (!CHECK(MVHUX_ConnServer(h, &info) == HUX_RESULT_OK)) return false;
        if (!CHECK(r.wait_code(0, oks + 1))) return false;
        if (!CHECK(MVHUX_UserLogon(h, login_id, password, app_id, auth_code) == HUX_RESULT_OK)) return false;
        if (!CHECK(r.wait([&] { return r.logons.size() > logons; }))) return false;
        std::lock_guard<std::mutex> guard(r.m);
        return CHECK(r.logons.size() == logons + 1) && CHECK(r.logons.back() == 0);
    }
};

// ---------------------------------------------------------------- the binary log

// The sent records ('0') of the binary logs named prefix*.bin in dir: each
// record is a 31-character header ("yyyymmdd-hh:mm:ss.uuuuuu lllll ", lllll
// the length), the tag, a blank, the bytes and a line end.
std::vector<std::string> sent_records(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0 || entry.path().extension() != ".bin") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t at = 0;
        while (at + 33 <= all.size()) {
            const size_t len = std::strtoul(all.substr(at + 25, 5).c_str(), nullptr, 10);
            if (at + 33 + len + 1 > all.size() || all[at + 31 + 1] != ' ' || all[at + 33 + len] != '\n') {
                say("FAILED: %s: a record at byte %zu is not whole\n", name.c_str(), at);
                ++g_failures;
                break;
            }
            if (all[at + 31] == '0') out.push_back(all.substr(at + 33, len));
            at += 33 + len + 1;
        }
    }
    return out;
}

uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

// A new order request of that client token among the records: type 10 at 0,
// length 100 at 2, the token at 20.
bool has_order(const std::vector<std::string>& records, uint32_t token) {
    for (const std::string& r : records) {
        if (r.size() == 100 && static_cast<uint8_t>(r[0]) == 10 && r[1] == 0 && static_cast<uint8_t>(r[2]) == 100 &&
            r[3] == 0 && le32(r, 20) == token)
            return true;
    }
    return false;
}

uintmax_t size_of_logs(const fs::path& dir) {
    uintmax_t total = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, 7, "tavlog_") == 0) total += fs::file_size(entry.path(), ec);
    }
    return total;
}

size_t count_logs(const fs::path& dir, const char* extension) {
    size_t n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        n += name.compare(0, 7, "tavlog_") == 0 && entry.path().extension() == extension ? 1 : 0;
    }
    return n;
}

// ---------------------------------------------------------------- fill: the C functions

// An order accepted and filled whole, and its cancel sent; the recorder's
// last accept and execution are this order's.
void order_filled_and_cancelled(c_client& c) {
    const size_t accepts = c.r.size_of(c.r.accepts);
    const size_t executions = c.r.size_of(c.r.executions);
    HUX_EnterOrderField o = new_order(symbol, 2);
    REQUIRE(MVHUX_EnterOrder(c.h, &o) == HUX_RESULT_OK);
    REQUIRE(c.r.wait([&] { return c.r.accepts.size() > accepts && c.r.executions.size() > executions; }));
    HUX_OrderAcceptField a;
    HUX_OrderExecutionField e;
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        a = c.r.accepts.back();
        e = c.r.executions.back();
    }
    CHECK_EQ(a.client_token, o.client_token);
    CHECK(std::strcmp(a.account, account) == 0);
    CHECK(std::strncmp(a.symbol, symbol, sizeof(a.symbol)) == 0);
    CHECK_EQ(a.quantity, 2);
    CHECK(a.price == 4000.5);
    CHECK(a.order_no > 0);
    CHECK_EQ(e.order_no, a.order_no);
    CHECK_EQ(e.filled_quantity, 2);
    CHECK(e.fill_price == 4000.5);
    HUX_CancelOrder cancel = cancel_of(a.order_no);
    CHECK_EQ(MVHUX_CancelOrder(c.h, &cancel), HUX_RESULT_OK);
}

// Trade connection 0: the whole session in the synchronous receive mode.
void c_functions_sync() {
    step("C functions, synchronous receive");
    c_client c;
    REQUIRE(c.h != nullptr);
    CHECK(MVHUX_GetUserParam(c.h) == &c.r);
    CHECK_EQ(c.warm(), HUX_RESULT_NOT_CONNECTED);
    REQUIRE(c.connect_and_logon(server_record()));
    CHECK_EQ(c.warm(), HUX_RESULT_OK);  // sends nothing: the server counts three orders
    order_filled_and_cancelled(c);

    // A batch of two over TCP: both accepted.
    const size_t accepts = c.r.size_of(c.r.accepts);
    HUX_EnterOrderField batch[2] = {new_order(symbol, 1), new_order(symbol, 1)};
    CHECK_EQ(MVHUX_EnterMultiOrders(c.h, batch, 2), HUX_RESULT_OK);
    CHECK(c.r.wait([&] { return c.r.accepts.size() >= accepts + 2; }));

    // The query session answers from the script's data.
    CHECK_EQ(MVHUX_QueryUserAccount(c.h), HUX_RESULT_OK);
    CHECK(c.r.wait([&] { return c.r.account_ends == 1; }));
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK(c.r.accounts == std::vector<std::string>{account});
        CHECK_EQ(c.r.logons.size(), 1);  // still the one logon
    }

    // Disconnecting reports 3 "local disconnected" in this mode; nothing is
    // connected afterwards.
    CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);
    CHECK(c.r.wait_code(3, 1));
    CHECK_EQ(c.warm(), HUX_RESULT_NOT_CONNECTED);
    CHECK_EQ(MVHUX_QueryUserAccount(c.h), HUX_RESULT_NOT_CONNECTED);
}

// Trade connection 1: the asynchronous receive mode, with the logs moved
// first to a new directory; a blank and a regular file move nothing.
void c_functions_async_and_log_dir() {
    step("C functions, asynchronous receive, log directory");
    const fs::path dir = "e2e_log_dir";
    const fs::path plain = "e2e_plain_file";
    {
        std::ofstream(plain) << "not a directory\n";
    }
    c_client c;
    REQUIRE(c.h != nullptr);
    MVHUX_SetLogDir(c.h, dir.string().c_str());
    REQUIRE(fs::is_directory(dir));
    CHECK(count_logs(dir, ".log") == 1);  // both sessions share the moved files
    CHECK(count_logs(dir, ".bin") == 1);
    MVHUX_SetLogDir(c.h, " ");
    MVHUX_SetLogDir(c.h, "");
    MVHUX_SetLogDir(c.h, plain.string().c_str());
    CHECK(!fs::exists(" "));
    CHECK(fs::is_regular_file(plain));
    const uintmax_t before = size_of_logs(dir);

    CHECK_EQ(MVHUX_SetAsyncReceiveMode(c.h), HUX_RESULT_OK);
    REQUIRE(c.connect_and_logon(server_record()));
    order_filled_and_cancelled(c);
    CHECK_EQ(MVHUX_LoggerFlush(c.h), HUX_RESULT_OK);
    CHECK(size_of_logs(dir) > before);  // still written where the first move put them
    std::ifstream in(plain);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CHECK(content == "not a directory\n");

    const size_t locals = c.r.count_code(3);
    CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);
    CHECK_EQ(c.warm(), HUX_RESULT_NOT_CONNECTED);
#ifdef _WIN32
    // The Windows asynchronous client reports nothing of its own close: the
    // close has returned, so any report would have come already.
    CHECK_EQ(c.r.count_code(3), locals);
#else
    CHECK(c.r.wait_code(3, locals + 1));
#endif
}

// Trade connection 2: orders and a cancel over the UDP order channel; the
// answers come over TCP. Batches are refused with 17; the binary log in the
// working directory holds each order. Then a channel on the TCP port fails
// before any connection is made.
void c_functions_udp() {
    step("C functions, UDP order channel");
    const uint16_t local = free_udp_port();
    REQUIRE(local != 0);
    say("e2e: udp local port %u\n", static_cast<unsigned>(local));
    c_client c;
    REQUIRE(c.h != nullptr);
    HUX_TradeSvrInfo info = server_record();
    std::snprintf(info.local_ip, sizeof(info.local_ip), "127.0.0.1");
    info.local_udp_port = local;
    info.udp_port = g_ports.udp;
    REQUIRE(c.connect_and_logon(info));

    const size_t accepts = c.r.size_of(c.r.accepts);
    HUX_EnterOrderField first = new_order(symbol, 3);
    HUX_EnterOrderField second = new_order(symbol, 4);
    CHECK_EQ(MVHUX_EnterOrder(c.h, &first), HUX_RESULT_OK);
    CHECK_EQ(MVHUX_EnterOrder(c.h, &second), HUX_RESULT_OK);
    REQUIRE(c.r.wait([&] { return c.r.accepts.size() >= accepts + 2 && c.r.executions.size() >= 2; }));
    int64_t order_no = 0;
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK_EQ(c.r.accepts[accepts].client_token, first.client_token);
        CHECK_EQ(c.r.accepts[accepts + 1].client_token, second.client_token);
        order_no = c.r.accepts[accepts].order_no;
    }
    HUX_CancelOrder cancel = cancel_of(order_no);
    CHECK_EQ(MVHUX_CancelOrder(c.h, &cancel), HUX_RESULT_OK);
    HUX_EnterOrderField batch[2] = {new_order(symbol, 1), new_order(symbol, 1)};
    HUX_CancelOrder cancels[2] = {cancel_of(order_no), cancel_of(order_no)};
    CHECK_EQ(MVHUX_EnterMultiOrders(c.h, batch, 2), HUX_RESULT_UDP_CHANNEL);
    CHECK_EQ(MVHUX_EnterMultiCxlOrders(c.h, cancels, 2), HUX_RESULT_UDP_CHANNEL);

    CHECK_EQ(MVHUX_LoggerFlush(c.h), HUX_RESULT_OK);
    const std::vector<std::string> records = sent_records(".", "tavlog_trade_");
    CHECK(has_order(records, first.client_token));
    CHECK(has_order(records, second.client_token));
    CHECK(!has_order(records, batch[0].client_token));  // refused batches send and log nothing
    CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);

    // The UDP channel on the TCP port: refused, nothing connected.
    info.udp_port = info.tcp_port;
    CHECK_EQ(MVHUX_ConnServer(c.h, &info), HUX_RESULT_CONNECT_FAILED);
    CHECK_EQ(c.warm(), HUX_RESULT_NOT_CONNECTED);
}

// ---------------------------------------------------------------- fill: the API object

struct api_client {
    recorder r;
    sink events{r};
    HUXTraderApi* api = CreateHUXTraderApi();
    ~api_client() { DestroyHUXTraderApi(api); }

    bool connect_and_logon() {
        const size_t oks = r.count_code(0);
        const size_t logons = r.size_of(r.logons);
        if (!CHECK(api->ConnServer(server_record(), &events) == HUX_RESULT_OK)) return false;
        if (!CHECK(r.wait_code(0, oks + 1))) return false;
        if (!CHECK(api->UserLogon(login_id, password, app_id, auth_code) == HUX_RESULT_OK)) return false;
        if (!CHECK(r.wait([&] { return r.logons.size() > logons; }))) return false;
        std::lock_guard<std::mutex> guard(r.m);
        return CHECK(r.logons.size() == logons + 1) && CHECK(r.logons.back() == 0);
    }
};

// Trade connection 3.
void api_object() {
    step("API object");
    api_client c;
    REQUIRE(c.api != nullptr);
    CHECK(std::strcmp(c.api->GetTradeApiVersion(), "5.2.4.67") == 0);
    CHECK_EQ(c.api->SetLoggerSwitch(true), HUX_RESULT_OK);
    CHECK_EQ(c.api->EnterOrderWarm(), HUX_RESULT_NOT_CONNECTED);
    REQUIRE(c.connect_and_logon());
    CHECK_EQ(c.api->EnterOrderWarm(), HUX_RESULT_OK);  // sends nothing: the server counts one order

    HUX_EnterOrderField o = new_order(symbol, 5);
    REQUIRE(c.api->EnterOrder(&o) == HUX_RESULT_OK);
    REQUIRE(c.r.wait([&] { return !c.r.accepts.empty() && !c.r.executions.empty(); }));
    int64_t order_no = 0;
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK_EQ(c.r.accepts[0].client_token, o.client_token);
        CHECK_EQ(c.r.accepts[0].quantity, 5);
        CHECK_EQ(c.r.executions[0].order_no, c.r.accepts[0].order_no);
        CHECK_EQ(c.r.executions[0].filled_quantity, 5);
        order_no = c.r.accepts[0].order_no;
    }
    HUX_CancelOrder cancel = cancel_of(order_no);
    CHECK_EQ(c.api->CancelOrder(&cancel), HUX_RESULT_OK);

    CHECK_EQ(c.api->QueryUserAccount(), HUX_RESULT_OK);
    CHECK(c.r.wait([&] { return c.r.account_ends == 1; }));
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK(c.r.accounts == std::vector<std::string>{account});
        CHECK_EQ(c.r.logons.size(), 1);
    }
    CHECK_EQ(c.api->DisConnServer(), HUX_RESULT_OK);
    CHECK(c.r.wait_code(3, 1));
    CHECK_EQ(c.api->EnterOrderWarm(), HUX_RESULT_NOT_CONNECTED);
}

// ---------------------------------------------------------------- fill: closes from inside, drops

// Trade connections 4 and 5: the order-accept callback disconnects; the
// close returns there, and the client connects again afterwards.
void disconnect_inside_callback(bool async) {
    step(std::string("disconnect inside a callback, ") + (async ? "asynchronous" : "synchronous") + " receive");
    c_client c;
    REQUIRE(c.h != nullptr);
    if (async) CHECK_EQ(MVHUX_SetAsyncReceiveMode(c.h), HUX_RESULT_OK);
    REQUIRE(c.connect_and_logon(server_record()));
    void* h = c.h;
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        c.r.disconnect_in_accept = [h] { return MVHUX_DisConnServer(h); };
    }
    HUX_EnterOrderField o = new_order(symbol, 1);
    REQUIRE(MVHUX_EnterOrder(c.h, &o) == HUX_RESULT_OK);
    REQUIRE(c.r.wait([&] { return c.r.disconnected_inside; }));
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK_EQ(c.r.inside_result, HUX_RESULT_OK);
    }
    CHECK(c.r.wait_call([&] { return c.warm() == HUX_RESULT_NOT_CONNECTED; }));
}

// A client that drops: an order of the drop-marker symbol makes the server
// close every connection at once, both sessions' alike. True once the
// client knows it is no longer connected.
bool drop(c_client& c) {
    HUX_EnterOrderField o = new_order(drop_symbol, 1);
    if (!CHECK(MVHUX_EnterOrder(c.h, &o) == HUX_RESULT_OK)) return false;
    return CHECK(c.r.wait_call([&] { return c.warm() != HUX_RESULT_OK; }));
}

// Trade connection 6, dropped, and 7, made again by the client itself: the
// application logs on again, a second logon callback with 0, and orders go
// again. The query session is on the second server, which never drops: a
// lost query connection closes the trade session (a local close, which is
// not reconnected), so with both connections dropped at once whether the
// trade session reconnects would depend on which session hears of it first.
void automatic_reconnect() {
    step("automatic reconnect after a drop");
    c_client c;
    REQUIRE(c.h != nullptr);
    CHECK_EQ(MVHUX_SetAutoReconnect(c.h, true), HUX_RESULT_OK);
    HUX_TradeSvrInfo info = server_record();
    info.query_port = g_ports.query2;
    REQUIRE(c.connect_and_logon(info));
    const size_t oks = c.r.count_code(0);
    REQUIRE(drop(c));
    CHECK_EQ(c.r.count_code(3), 0);  // the trade connection was lost, not closed here
    // The client connects again by itself (after about 2 s) and reports
    // "conn ok"; logging on again is the application's part.
    REQUIRE(c.r.wait_code(0, oks + 1));
    CHECK_EQ(MVHUX_UserLogon(c.h, login_id, password, app_id, auth_code), HUX_RESULT_OK);
    REQUIRE(c.r.wait([&] { return c.r.logons.size() == 2; }));
    {
        std::lock_guard<std::mutex> guard(c.r.m);
        CHECK_EQ(c.r.logons[1], 0);
    }
    CHECK(c.r.wait_call([&] { return c.warm() == HUX_RESULT_OK; }));
    order_filled_and_cancelled(c);
    CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);
}

// Both sessions dropped 20 times in one receive mode, the client connecting
// and logging on again after each drop; every call returns.
void repeated_drops(bool async) {
    step(std::string("20 drops, ") + (async ? "asynchronous" : "synchronous") + " receive");
    c_client c;
    REQUIRE(c.h != nullptr);
    if (async) CHECK_EQ(MVHUX_SetAsyncReceiveMode(c.h), HUX_RESULT_OK);
    for (int i = 0; i < 20; ++i) {
        if (!c.connect_and_logon(server_record()) || !drop(c)) {
            say("FAILED: drop %d of 20\n", i + 1);
            return;
        }
        CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);
    }
}

// ---------------------------------------------------------------- reject

// The trade server refuses every order and cancel with 1025: bits 0 and 10
// of a new order's check mask, and a cancel key with a text of its own.
const char reject_text[] =                          // "整体校验结果;下单数量不合法;"
    "\xe6\x95\xb4\xe4\xbd\x93\xe6\xa0\xa1\xe9\xaa\x8c\xe7\xbb\x93\xe6\x9e\x9c"  // bit 0
    ";"
    "\xe4\xb8\x8b\xe5\x8d\x95\xe6\x95\xb0\xe9\x87\x8f\xe4\xb8\x8d\xe5\x90\x88\xe6\xb3\x95"  // bit 10
    ";";
const char cancel_reject_text[] = "\xe5\xb8\xad\xe4\xbd\x8d\xe6\xb5\x81\xe6\x8e\xa7";  // "席位流控"

// The reject's texts, byte for byte as the Linux library gives them.
void check_rejects(recorder& r, const HUX_EnterOrderField& o, const HUX_CancelOrder& cancel) {
    std::lock_guard<std::mutex> guard(r.m);
    REQUIRE(r.rejects.size() == 1);
    const HUX_OrderRejectField& rej = r.rejects[0];
    CHECK_EQ(rej.client_token, o.client_token);
    CHECK_EQ(rej.result_flag, 1);
    CHECK_EQ(rej.reason_code, 10);
    CHECK(rej.flags[0] == 1 && rej.flags[10] == 1);
    CHECK(std::strcmp(rej.reason_text, reject_text) == 0);
    if (std::strcmp(rej.reason_text, reject_text) != 0) {
        say("  reason text:");
        for (const char* p = rej.reason_text; *p; ++p) say(" %02x", static_cast<unsigned>(static_cast<uint8_t>(*p)));
        say("\n");
    }
    CHECK(r.accepts.empty());
    REQUIRE(r.cancel_rejects.size() == 1);
    const HUX_CxlOrderRej& cr = r.cancel_rejects[0];
    CHECK_EQ(cr.reason_code, 1025);
    CHECK_EQ(cr.client_token, cancel.client_token);
    CHECK(std::strcmp(cr.reason_text, cancel_reject_text) == 0);
}

// Trade connection 0 (C functions) and 1 (API object).
void rejects() {
    step("rejects, C functions");
    {
        c_client c;
        REQUIRE(c.h != nullptr);
        REQUIRE(c.connect_and_logon(server_record()));
        HUX_EnterOrderField o = new_order(symbol, 2);
        HUX_CancelOrder cancel = cancel_of(1);
        CHECK_EQ(MVHUX_EnterOrder(c.h, &o), HUX_RESULT_OK);
        CHECK_EQ(MVHUX_CancelOrder(c.h, &cancel), HUX_RESULT_OK);
        CHECK(c.r.wait([&] { return !c.r.rejects.empty() && !c.r.cancel_rejects.empty(); }));
        check_rejects(c.r, o, cancel);
        CHECK_EQ(MVHUX_DisConnServer(c.h), HUX_RESULT_OK);
    }
    step("rejects, API object");
    {
        api_client c;
        REQUIRE(c.api != nullptr);
        REQUIRE(c.connect_and_logon());
        HUX_EnterOrderField o = new_order(symbol, 2);
        HUX_CancelOrder cancel = cancel_of(1);
        CHECK_EQ(c.api->EnterOrder(&o), HUX_RESULT_OK);
        CHECK_EQ(c.api->CancelOrder(&cancel), HUX_RESULT_OK);
        CHECK(c.r.wait([&] { return !c.r.rejects.empty() && !c.r.cancel_rejects.empty(); }));
        check_rejects(c.r, o, cancel);
        CHECK_EQ(c.api->DisConnServer(), HUX_RESULT_OK);
    }
}

bool env_number(const char* name, unsigned long low, unsigned long high, unsigned long& out) {
    const char* text = std::getenv(name);
    if (!text || !*text) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc == 2 ? argv[1] : "";
    unsigned long trade = 0, query = 0, udp = 0, query2 = 0, wait_ms = 10000, total_s = 300;
    if ((scenario != "fill" && scenario != "reject") || !env_number("HUX_E2E_TRADE_PORT", 1, 65535, trade) ||
        !env_number("HUX_E2E_QUERY_PORT", 1, 65535, query) || !env_number("HUX_E2E_UDP_PORT", 1, 65535, udp) ||
        (scenario == "fill" && !env_number("HUX_E2E_QUERY2_PORT", 1, 65535, query2))) {
        std::fprintf(stderr, "usage: HUX_E2E_TRADE_PORT=N HUX_E2E_QUERY_PORT=Q HUX_E2E_UDP_PORT=M "
                             "[HUX_E2E_QUERY2_PORT=Q2] e2e_adapter fill|reject\n");
        return 2;
    }
    env_number("HUX_TEST_WAIT_MS", 1, 3600000, wait_ms);  // left at 10,000 when unset or not a number
    if (std::getenv("HUX_E2E_TOTAL_S") && !env_number("HUX_E2E_TOTAL_S", 1, 86400, total_s)) return 2;
    g_ports.trade = static_cast<uint16_t>(trade);
    g_ports.query = static_cast<uint16_t>(query);
    g_ports.udp = static_cast<uint16_t>(udp);
    g_ports.query2 = static_cast<uint16_t>(query2);
    g_wait = 2 * std::chrono::milliseconds(wait_ms);

    {
        watchdog dog{std::chrono::seconds(total_s)};
        if (scenario == "fill") {
            c_functions_sync();
            c_functions_async_and_log_dir();
            c_functions_udp();
            api_object();
            disconnect_inside_callback(false);
            disconnect_inside_callback(true);
            automatic_reconnect();
            repeated_drops(false);
            repeated_drops(true);
        } else {
            rejects();
        }
        step("done");
    }
    const int failures = g_failures.load();
    say(failures == 0 ? "e2e %s: all checks passed\n" : "e2e %s: %d check(s) failed\n", scenario.c_str(), failures);
    return failures == 0 ? 0 : 1;
}

// Compiles every public header as strict C++17 (-pedantic -Werror) and links
// against libhuxtrade.so alone: an application derives its event class,
// gets the API object from the exported factory and drives a session over a
// real loopback connection. The connection and disconnection events reaching
// the derived class prove that the library and the application agree on the
// event object's slot order. Exits 0 when every check holds, else prints each
// failed check and exits 1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "hux_static_assert.h"
#include "hux_tcp_quote.h"
#include "hux_trade_answer_struct.h"
#include "hux_trade_request_struct.h"
#include "hux_trade_status_struct.h"
#include "hux_trade_struct.h"
#include "hux_trader_api.h"
#include "mv_hux_trade.h"
#include "../support/test_wait.h"

namespace {

int failures = 0;

#define CHECK(cond)                                                                     \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                                 \
        }                                                                               \
    } while (0)

// Records each connection-type event it gets, in order.
class recording_events : public HUXTraderEvent {
public:
    struct event {
        bool disconnection;
        int code;
        std::string text;
    };

    void OnConnection(int code, const char* text) override { add(false, code, text); }
    void OnDisconnection(int code, const char* text) override { add(true, code, text); }
    void OnOrderAccept(HUX_OrderAcceptField* rec) override { (void)rec; }

    // Waits for at least n events, at most the tests' wait setting.
    bool wait_for(size_t n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, hux_test::test_wait(), [&] { return m_events.size() >= n; });
    }
    std::vector<event> events() {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_events;
    }

private:
    void add(bool disconnection, int code, const char* text) {
        std::lock_guard<std::mutex> g(m_mutex);
        m_events.push_back(event{disconnection, code, text ? text : "(null)"});
        m_cv.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<event> m_events;
};

// A listening loopback socket on a free port: the kernel completes the
// connection without an accept.
int listen_on_loopback(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

int main() {
    DestroyHUXTraderApi(nullptr);  // ignored

    HUXTraderApi* api = CreateHUXTraderApi();
    CHECK(api != nullptr);
    if (api == nullptr) return 1;
    CHECK(std::strcmp(api->GetTradeApiVersion(), "5.2.4.16") == 0);

    // Seconds in the high 32 bits, nanoseconds in the low.
    const unsigned long long seconds = 1700000000ull;
    std::tm when;
    std::memset(&when, 0, sizeof(when));
    unsigned int nanoseconds = 0;
    api->ConvertFromTimestamp((seconds << 32) | 123456789u, when, nanoseconds);
    CHECK(nanoseconds == 123456789u);
    std::time_t as_time = static_cast<std::time_t>(seconds);
    std::tm expected;
    localtime_r(&as_time, &expected);
    CHECK(when.tm_year == expected.tm_year && when.tm_yday == expected.tm_yday &&
          when.tm_hour == expected.tm_hour && when.tm_min == expected.tm_min && when.tm_sec == expected.tm_sec);

    HUX_EnterOrderField order;
    std::memset(&order, 0, sizeof(order));
    order.exchange_id = 100;
    order.quantity = 1;
    order.client_token = 1;
    CHECK(api->EnterOrder(&order) == HUX_RESULT_NOT_CONNECTED);
    CHECK(api->QueryMarketSession() == HUX_RESULT_NOT_CONNECTED);
    CHECK(api->SetMaxWaitTime(5) == HUX_RESULT_OK);

    uint16_t port = 0;
    const int listener = listen_on_loopback(port);
    CHECK(listener >= 0);
    recording_events events;
    if (listener >= 0) {
        HUX_TradeSvrInfo info;
        std::memset(&info, 0, sizeof(info));
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = port;
        info.rsp_cpu = -1;
        CHECK(api->ConnServer(info, &events, false) == HUX_RESULT_OK);
        CHECK(events.wait_for(1));
        // The library's own thread has reached the application's object.
        CHECK(api->DisConnServer() == HUX_RESULT_OK);
        CHECK(events.wait_for(2));
        const std::vector<recording_events::event> got = events.events();
        CHECK(got.size() == 2);
        if (got.size() == 2) {
            CHECK(!got[0].disconnection && got[0].code == 0 && got[0].text == "conn ok");
            CHECK(got[1].disconnection && got[1].code == 3 && got[1].text == "local disconnected");
        }
        close(listener);
    }

    DestroyHUXTraderApi(api);

    // The TCP flow receiver through its exported factory: a receiver that
    // never ran refuses a bad local address and closes harmlessly twice.
    {
        i_tcp_quote_new* q = i_tcp_quote_new::create_tcp_quote();
        CHECK(q != nullptr);
        if (q) {
            sock_tcp_param_new p{};
            std::strcpy(p.local_ip, "not-an-address");
            std::strcpy(p.m_eth_name, "lo");
            CHECK(!q->init(p, nullptr, false));
            CHECK(q->check_seq_num(nullptr, 0));  // checking off
            q->close();
            q->close();
            delete q;
        }
    }

    if (failures != 0) {
        std::fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    std::printf("object interface of libhuxtrade.so: all checks passed\n");
    return 0;
}

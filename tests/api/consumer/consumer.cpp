// A C++ application built against the installed library alone: the API
// object connects to the trade server named on its command line, logs on,
// sends one order and waits for its accept. Prints one line per step; exits
// 0 when the order is accepted, 1 on any failure.
//
//   consumer_cpp IP PORT USER PASSWORD
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "hux_trader_api.h"

namespace {

class events : public HUXTraderEvent {
public:
    void OnConnection(int code, const char*) override {
        if (code == 0) set([this] { m_connected = true; });
    }
    void OnUserLogon(HUX_LogonResponse* rsp, int) override {
        set([this, rsp] {
            m_logon = *rsp;
            m_logged_on = true;
        });
    }
    void OnOrderAccept(HUX_OrderAcceptField* rec) override {
        set([this, rec] {
            m_accept = *rec;
            m_accepted = true;
        });
    }

    // Waits for a flag a callback sets, at most the tests' wait setting
    // HUX_TEST_WAIT_MS (10,000 ms when unset).
    bool wait(const bool& flag) {
        static const long ms = [] {
            const char* text = std::getenv("HUX_TEST_WAIT_MS");
            const long n = text != nullptr ? std::atol(text) : 0;
            return n > 0 ? n : 10000L;
        }();
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return flag; });
    }

    bool m_connected = false;
    bool m_logged_on = false;
    bool m_accepted = false;
    HUX_LogonResponse m_logon{};
    HUX_OrderAcceptField m_accept{};

private:
    template <typename F>
    void set(F f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        f();
        m_cv.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
};

int run(HUXTraderApi& api, events& ev, const char* ip, unsigned port, const char* user, const char* password) {
    HUX_TradeSvrInfo info{};
    std::strncpy(info.server_ip, ip, sizeof(info.server_ip) - 1);
    info.tcp_port = static_cast<uint16_t>(port);
    info.rsp_cpu = -1;
    int rc = api.ConnServer(info, &ev, false);
    if (rc != HUX_RESULT_OK || !ev.wait(ev.m_connected)) {
        std::printf("consumer_cpp: connect failed (code %d)\n", rc);
        return 1;
    }
    rc = api.UserLogon(user, password, "consumer-cpp", "CONSUMER");
    if (rc != HUX_RESULT_OK || !ev.wait(ev.m_logged_on) || ev.m_logon.result != 0) {
        std::printf("consumer_cpp: logon failed (code %d)\n", rc);
        return 1;
    }
    const int32_t max_token = ev.m_logon.max_token;
    std::printf("consumer_cpp: logged on, max token %d, API %s\n", static_cast<int>(max_token),
                api.GetTradeApiVersion());

    HUX_EnterOrderField order{};
    order.request_tag = 78;
    std::strncpy(order.account, "ACC001", sizeof(order.account));
    order.side = 2;
    order.exchange_id = 101;
    std::strncpy(order.symbol, "HXF2612", sizeof(order.symbol));
    order.price = 3999.25;
    order.quantity = 5;
    order.client_token = static_cast<uint32_t>(max_token) + 1;
    order.opt_8 = 1;
    rc = api.EnterOrder(&order);
    if (rc != HUX_RESULT_OK || !ev.wait(ev.m_accepted)) {
        std::printf("consumer_cpp: order not accepted (code %d)\n", rc);
        return 1;
    }
    const HUX_OrderAcceptField a = ev.m_accept;
    if (a.request_tag != 78 || a.client_token != max_token + 1 || a.quantity != 5 || a.price != 3999.25 ||
        std::strcmp(a.symbol, "HXF2612") != 0 || a.order_no <= 0) {
        std::printf("consumer_cpp: the accept does not echo the order\n");
        return 1;
    }
    std::printf("consumer_cpp: order accepted, order number %lld\n", static_cast<long long>(a.order_no));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s IP PORT USER PASSWORD\n", argv[0]);
        return 2;
    }
    HUXTraderApi* api = CreateHUXTraderApi();
    if (api == nullptr) return 1;
    events ev;
    const int rc = run(*api, ev, argv[1], static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)), argv[3], argv[4]);
    api->DisConnServer();
    DestroyHUXTraderApi(api);
    return rc;
}

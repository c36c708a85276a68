// Compiles the adapter's public header as strict C++17 (-pedantic -Werror)
// and links against libhuxadapter.so alone: captureless lambdas fit the
// callback types, the codes are constant expressions, and a handle answers
// the checks it can answer without a server. Exits 0 when every check
// holds, else prints each failed check and exits 1.
#include <cstdio>
#include <cstring>

#include "hux_adapter_api.h"
#include "mv_hux_adapter.h"

namespace {

int failures = 0;

void check(bool ok, int line, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, line, what);
    ++failures;
}
#define CHECK(cond) check((cond), __LINE__, #cond)

static_assert(HUX_RESULT_NULL_ARGUMENT == 25 && HUX_RESULT_BAD_PRICE == 24, "C++: codes are constants");
static_assert(sizeof(HUX_MarketMBLData) == 1, "C++: HUX_MarketMBLData");

}  // namespace

int main() {
    int user_value = 3;
    void* handle = MVHUX_CreateTrade(&user_value);
    CHECK(handle != nullptr);
    CHECK(MVHUX_GetUserParam(handle) == &user_value);

    HUX_QueryAccountRiskDataEvent risk = [](void*, HUX_AccountRiskData*, int) {};
    HUX_MarketSessionStatReportEvent stat = [](void*, uint8_t, bool) {};
    HUX_QueryMarketMBLDataEvent mbl = [](void*, HUX_MarketMBLData*, bool) {};
    CHECK(MVHUX_SetQueryAccountRiskDataEvent(handle, risk) == HUX_RESULT_OK);
    CHECK(MVHUX_SetMarketSessionStatReportEvent(handle, stat) == HUX_RESULT_OK);
    CHECK(MVHUX_SetQueryMarketMBLDataEvent(handle, mbl) == HUX_RESULT_OK);
    CHECK(MVHUX_SetQueryMarketMBLDataEvent(nullptr, mbl) == HUX_RESULT_NULL_HANDLE);
    CHECK(MVHUX_ChangeFCParam(nullptr, 1, 1) == HUX_RESULT_NULL_HANDLE);

    HUX_EnterOrderField orders[2];
    std::memset(orders, 0, sizeof(orders));
    CHECK(MVHUX_EnterMultiOrders(handle, orders, 2) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_ChangePassword(handle, nullptr, nullptr) == HUX_RESULT_NOT_CONNECTED);
    CHECK(MVHUX_CalcVerificationValue(handle, orders) == 0);
    CHECK(MVHUX_DestroyTrade(handle) == HUX_RESULT_OK);

    HUXTraderApi* api = CreateHUXTraderApi();
    CHECK(api != nullptr);
    if (api) {
        CHECK(std::strcmp(api->GetTradeApiVersion(), "5.2.4.67") == 0);
        CHECK(api->EnterOrderWarm() == HUX_RESULT_NOT_CONNECTED);
        CHECK(api->QueryMarketMBLData(1, "a", "b", 2) == HUX_RESULT_OK);
        unsigned int token = 0;
        CHECK(api->GetMaxToken(&token) == HUX_RESULT_NOT_CONNECTED);
    }
    DestroyHUXTraderApi(api);
    DestroyHUXTraderApi(nullptr);

    if (failures) return 1;
    std::printf("adapter C++ header: every check held\n");
    return 0;
}

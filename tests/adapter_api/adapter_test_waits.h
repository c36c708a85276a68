// The adapter tests' short waits: reconnect, logon and close pauses of a few
// milliseconds instead of tenths of seconds, on both sessions of a handle.
#ifndef HUX_TESTS_ADAPTER_API_ADAPTER_TEST_WAITS_H
#define HUX_TESTS_ADAPTER_API_ADAPTER_TEST_WAITS_H

#include "adapter/Client.h"

namespace hux_test {

inline void shorten_waits(void* handle) {
    HUX_ADAPTER::Client* client = static_cast<HUX_ADAPTER::Client*>(handle);
    HUX_SESSION::TradeClientTimings t = client->Trade().GetTimings();
    t.reconnect_wait_count = 2;
    t.reconnect_wait_ms = 5;
    t.reconnect_idle_ms = 5;
    t.logon_first_wait_ms = 1;
    t.logon_wait_ms = 10;
    t.close_pause_ms = 1;
    client->Trade().SetTimings(t);
    HUX_ADAPTER::QueryClientTimings q = client->Query().GetTimings();
    q.reconnect_idle_ms = 5;
    q.reconnect_wait_count = 2;
    q.reconnect_wait_ms = 5;
    q.logon_first_wait_ms = 1;
    q.logon_wait_ms = 10;
    q.close_pause_ms = 1;
    client->Query().SetTimings(q);
}

}  // namespace hux_test

#endif

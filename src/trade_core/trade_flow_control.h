// Client-side flow control of the trade sessions: new orders and cancels are
// each limited to fewer than `limit` messages per window of microseconds.
// Plain data and functions, shared by every trade session.
#ifndef HUX_TRADE_FLOW_CONTROL_H
#define HUX_TRADE_FLOW_CONTROL_H

#include <cstdint>

namespace HUX_TRADE_CORE {

constexpr int64_t FC_DEFAULT_LIMIT = 295;
constexpr int64_t FC_START_WINDOW_US = 1000000;
constexpr int64_t FC_DEFAULT_WINDOW_US = 1001000;  // the default after a logon
constexpr int64_t FC_WINDOW_MARGIN_US = 1000;      // added to the server's window

struct flow_control_window {
    int64_t window_us = FC_START_WINDOW_US;
    int64_t limit = FC_DEFAULT_LIMIT;
    int64_t server_limit = FC_DEFAULT_LIMIT;
    int64_t start_us = 0;  // start of the current window; 0 = none yet
    int64_t count = 0;     // messages counted in the current window
};

enum flow_kind { FLOW_NONE = 0, FLOW_ORDER = 1, FLOW_CANCEL = 2 };

// Which window a message counts against, by its first byte (the low byte of
// its type): 10 counts len / 100 orders, 11 counts len / 44 cancels, anything
// else is not counted.
flow_kind flow_kind_of(const char* msg, int len, int64_t& n);

// Counts n more messages sent at now_us. False (count unchanged) when
// count + n would reach the limit inside the current window: at most
// limit - 1 pass per window.
bool flow_control_admit(flow_control_window& w, int64_t n, int64_t now_us);

// Limits and windows from a logon answer: when all four are non-zero the
// limits become the server's and each window the server's + 1000 us;
// otherwise both kinds take 295 per 1,001,000 us.
void flow_control_apply_logon(flow_control_window& orders, flow_control_window& cancels, uint32_t order_limit,
                              uint32_t order_window_us, uint32_t cancel_limit, uint32_t cancel_window_us);

// The application's own limits, accepted only within 1..the server's limit for
// both kinds; the windows do not change.
bool flow_control_change(flow_control_window& orders, flow_control_window& cancels, int64_t order_limit,
                         int64_t cancel_limit);

}  // namespace HUX_TRADE_CORE

#endif

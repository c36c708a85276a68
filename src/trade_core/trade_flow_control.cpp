#include "trade_core/trade_flow_control.h"

#include "tools/test_hook.h"

namespace HUX_TRADE_CORE {

flow_kind flow_kind_of(const char* msg, int len, int64_t& n) {
    n = 0;
    if (!msg || len <= 0) return FLOW_NONE;
    switch (static_cast<unsigned char>(msg[0])) {
        case 10:
            n = len / 100;
            return FLOW_ORDER;
        case 11:
            n = len / 44;
            return FLOW_CANCEL;
        default:
            return FLOW_NONE;
    }
}

bool flow_control_admit(flow_control_window& w, int64_t n, int64_t now_us) {
    const int64_t start_us = w.start_us;
    const int64_t count = w.count;
    MORVAST::TOOLS::test_hook("flow control: window read", &w);
    if (start_us == 0 && count == 0) {
        w.start_us = now_us;
        w.count = n;
    } else if (count + n >= w.limit) {
        if (now_us - start_us < w.window_us) return false;
        w.start_us = now_us;
        w.count = n;
    } else if (now_us - start_us >= w.window_us) {
        w.start_us = now_us;
        w.count = n;
    } else {
        w.count = count + n;
    }
    return true;
}

void flow_control_apply_logon(flow_control_window& orders, flow_control_window& cancels, uint32_t order_limit,
                              uint32_t order_window_us, uint32_t cancel_limit, uint32_t cancel_window_us) {
    bool server_values = order_limit && order_window_us && cancel_limit && cancel_window_us;
    orders.limit = orders.server_limit = server_values ? order_limit : FC_DEFAULT_LIMIT;
    cancels.limit = cancels.server_limit = server_values ? cancel_limit : FC_DEFAULT_LIMIT;
    orders.window_us = server_values ? int64_t(order_window_us) + FC_WINDOW_MARGIN_US : FC_DEFAULT_WINDOW_US;
    cancels.window_us = server_values ? int64_t(cancel_window_us) + FC_WINDOW_MARGIN_US : FC_DEFAULT_WINDOW_US;
}

bool flow_control_change(flow_control_window& orders, flow_control_window& cancels, int64_t order_limit,
                         int64_t cancel_limit) {
    if (order_limit < 1 || order_limit > orders.server_limit) return false;
    if (cancel_limit < 1 || cancel_limit > cancels.server_limit) return false;
    orders.limit = order_limit;
    cancels.limit = cancel_limit;
    return true;
}

}  // namespace HUX_TRADE_CORE

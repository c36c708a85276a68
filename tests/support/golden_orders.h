// Two orders whose verification values were worked out by hand, shared by the
// core's and the C interface's tests. Header only.
#ifndef HUX_TESTS_GOLDEN_ORDERS_H
#define HUX_TESTS_GOLDEN_ORDERS_H

#include <cstdint>
#include <cstring>

#include "hux_trade_request_struct.h"

namespace hux_test {

// Order A: every covered field non-zero, and the fields that are not in the
// verification image set too. Its value for user id 0x00012345 is below.
inline HUX_EnterOrderField golden_order_a() {
    HUX_EnterOrderField a;
    std::memset(&a, 0, sizeof a);
    a.request_tag = 0x11111111u;
    std::memcpy(a.account, "ACC0123456789XY", 15);
    a.side = 2;
    a.exchange_id = 107;
    std::memcpy(a.symbol, "IF2406", 6);
    a.price = 12.3456;
    a.quantity = 5;
    a.client_token = 99;
    a.opt_1 = 0x7F;
    a.opt_2 = 0xA1B2C3D4u;
    a.opt_3 = 0x01020304u;
    a.opt_4 = 1;
    a.opt_7 = 3;
    a.second_price = 1.5;
    a.opt_9 = 9;
    a.opt_5 = 2;
    a.opt_6 = 3;
    a.keep_side = 1;
    a.opt_8 = 5;
    return a;
}
const uint32_t kGoldenUserA = 0x00012345u;
const uint32_t kGoldenValueA = 0xCF2017B2u;

// Order B: a negative price and a 16-character account with no NUL.
inline HUX_EnterOrderField golden_order_b() {
    HUX_EnterOrderField b;
    std::memset(&b, 0, sizeof b);
    std::memcpy(b.account, "TRADER-ACCOUNT-7", 16);
    b.symbol[0] = 'X';
    b.price = -7.25;
    b.opt_2 = 0xFFu;
    b.quantity = 1;
    return b;
}
const uint32_t kGoldenUserB = 7u;
const uint32_t kGoldenValueB = 0xA8398096u;

}  // namespace hux_test

#endif

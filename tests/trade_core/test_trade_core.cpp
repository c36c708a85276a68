// Flow-control windows and the receive dispatcher, driven with hand-made
// buffers and a hand-held clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "trade_core/trade_dispatch.h"
#include "trade_core/trade_flow_control.h"

using namespace HUX_TRADE_CORE;

namespace {

std::string msg(uint16_t type, uint16_t len, uint16_t length_field, char fill = 0) {
    std::string m(len, fill);
    m[0] = static_cast<char>(type & 0xff);
    m[1] = static_cast<char>(type >> 8);
    if (len >= 4) {
        m[2] = static_cast<char>(length_field & 0xff);
        m[3] = static_cast<char>(length_field >> 8);
    }
    return m;
}

struct seen {
    std::vector<uint16_t> types;
    std::vector<std::string> bytes;
};

void record(void* session, const unsigned char* m) {
    seen* s = static_cast<seen*>(session);
    uint16_t type = static_cast<uint16_t>(m[0] | (m[1] << 8));
    s->types.push_back(type);
}
void record_qv27(void* session, const unsigned char* m) {
    record(session, m);
    static_cast<seen*>(session)->bytes.push_back("qv27");
}

msg_route_table make_table() {
    msg_route_table t;
    EXPECT_TRUE(t.add(1080, false, record, "report_version_resp"));
    EXPECT_TRUE(t.add(1010, true, record, "ostrel_client_order_insert_resp"));
    EXPECT_TRUE(t.add(1200, false, nullptr, "trade_heart_beat_resp"));
    EXPECT_TRUE(t.add(2205, true, record, "ostrel_internal_quote_adjust_status_resp", record_qv27));
    EXPECT_FALSE(t.add(1234, false, record, "no such type"));
    return t;
}

// Feeds `stream` to the dispatcher in chunks of `chunk` bytes the way the
// receive cache does: unconsumed bytes stay in front of the next ones.
uint32_t feed(const msg_route_table& t, const std::string& stream, size_t chunk, bool qv27, bool logged_on,
              seen& s) {
    std::string cache;
    uint32_t total = 0;
    for (size_t off = 0; off < stream.size(); off += chunk) {
        cache += stream.substr(off, chunk);
        const unsigned char* data = reinterpret_cast<const unsigned char*>(cache.data());
        uint32_t used = cut_messages(data, static_cast<uint32_t>(cache.size()), [&](const unsigned char* p, uint32_t n) {
            return static_cast<int>(dispatch_one(t, p, n, qv27, logged_on, &s).consumed);
        });
        cache.erase(0, used);
        total += used;
    }
    return total;
}

}  // namespace

TEST(FlowControl, AtMostLimitMinusOnePerWindowAndCountsByFirstByte) {
    flow_control_window orders;
    int64_t n = 0;
    std::string order(100, '\0');
    order[0] = 10;
    ASSERT_EQ(flow_kind_of(order.data(), 100, n), FLOW_ORDER);
    EXPECT_EQ(n, 1);
    std::string two_orders(250, '\0');
    two_orders[0] = 10;
    EXPECT_EQ(flow_kind_of(two_orders.data(), 250, n), FLOW_ORDER);
    EXPECT_EQ(n, 2);  // one order per whole 100 bytes
    std::string cancel(44, '\0');
    cancel[0] = 11;
    EXPECT_EQ(flow_kind_of(cancel.data(), 44, n), FLOW_CANCEL);
    EXPECT_EQ(n, 1);
    std::string quote(196, '\0');
    quote[0] = 12;
    EXPECT_EQ(flow_kind_of(quote.data(), 196, n), FLOW_NONE);
    std::string logon(168, '\0');
    logon[0] = 70;
    EXPECT_EQ(flow_kind_of(logon.data(), 168, n), FLOW_NONE);
    EXPECT_EQ(flow_kind_of(nullptr, 100, n), FLOW_NONE);

    // A burst of 1,000 within one window: 294 pass with the default 295.
    int64_t now = 5000000;
    int passed = 0;
    for (int i = 0; i < 1000; ++i) passed += flow_control_admit(orders, 1, now + i) ? 1 : 0;
    EXPECT_EQ(passed, 294);
    EXPECT_EQ(orders.count, 294);
    // Just before the window ends still refused; at its end a new window starts at 1.
    EXPECT_FALSE(flow_control_admit(orders, 1, now + orders.window_us - 1));
    EXPECT_TRUE(flow_control_admit(orders, 1, now + orders.window_us));
    EXPECT_EQ(orders.count, 1);
    EXPECT_EQ(orders.start_us, now + orders.window_us);
    // Below the limit, a message after the window also restarts the count.
    EXPECT_TRUE(flow_control_admit(orders, 1, now + 3 * orders.window_us));
    EXPECT_EQ(orders.count, 1);
}

TEST(FlowControl, LogonValuesAndApplicationLimits) {
    flow_control_window orders, cancels;
    flow_control_apply_logon(orders, cancels, 100, 500000, 50, 200000);
    EXPECT_EQ(orders.limit, 100);
    EXPECT_EQ(orders.server_limit, 100);
    EXPECT_EQ(orders.window_us, 501000);
    EXPECT_EQ(cancels.limit, 50);
    EXPECT_EQ(cancels.window_us, 201000);
    int passed = 0;
    for (int i = 0; i < 300; ++i) passed += flow_control_admit(orders, 1, 1000 + i) ? 1 : 0;
    EXPECT_EQ(passed, 99);

    // Any zero takes the defaults for both kinds.
    flow_control_apply_logon(orders, cancels, 100, 500000, 0, 200000);
    EXPECT_EQ(orders.limit, 295);
    EXPECT_EQ(orders.window_us, 1001000);
    EXPECT_EQ(cancels.limit, 295);
    EXPECT_EQ(cancels.window_us, 1001000);

    EXPECT_FALSE(flow_control_change(orders, cancels, 0, 10));
    EXPECT_FALSE(flow_control_change(orders, cancels, 10, 296));
    EXPECT_FALSE(flow_control_change(orders, cancels, -1, 10));
    EXPECT_EQ(orders.limit, 295);
    EXPECT_TRUE(flow_control_change(orders, cancels, 10, 295));
    EXPECT_EQ(orders.limit, 10);
    EXPECT_EQ(cancels.limit, 295);
    EXPECT_EQ(orders.window_us, 1001000);  // windows unchanged
}

// Unknown types: one with a plausible length field is skipped by that
// length, even cut a byte at a time, and 2 or 3 of its bytes wait; an absurd
// length field (below 4 or above the longest message, 296) drops the buffer.
// (Known types, their lengths whatever the length field says, delivery before
// the logon and the two editions of 2205 are checked through the session:
// test_trade_client_session, test_trade_order_answers, test_trade_reports.)
TEST(Dispatch, UnknownTypes) {
    msg_route_table t = make_table();
    EXPECT_EQ(t.max_length(), 296);
    {
        seen s;
        std::string stream = msg(1080, 56, 56) + msg(3000, 40, 40, 'x') + msg(1080, 56, 56);
        EXPECT_EQ(feed(t, stream, 1, false, false, s), stream.size());
        EXPECT_EQ(s.types, (std::vector<uint16_t>{1080, 1080}));
        // 2 or 3 bytes of an unknown type wait.
        EXPECT_EQ(dispatch_one(t, reinterpret_cast<const unsigned char*>(stream.data() + 56), 3, false, false, &s)
                      .outcome,
                  DISPATCH_WAIT);
    }
    for (uint16_t field : {uint16_t(0), uint16_t(3), uint16_t(297), uint16_t(0xffff)}) {
        seen s;
        std::string stream = msg(3000, 40, field) + msg(1080, 56, 56);
        dispatch_step st = dispatch_one(t, reinterpret_cast<const unsigned char*>(stream.data()),
                                        uint32_t(stream.size()), false, false, &s);
        EXPECT_EQ(st.outcome, DISPATCH_UNKNOWN_DISCARDED) << field;
        EXPECT_EQ(st.consumed, stream.size()) << field;
        EXPECT_TRUE(s.types.empty());
    }
}

// A protocol with lengths of its own: one length for both editions, which
// also bounds the skip of unknown types; refused below the header or above
// the last type.
TEST(Dispatch, ExplicitLengths) {
    msg_route_table t;
    EXPECT_FALSE(t.add_explicit(1018, 3, true, record, "too short"));
    EXPECT_FALSE(t.add_explicit(msg_route_table::MAX_TYPE + 1, 16, false, record, "beyond the table"));
    ASSERT_TRUE(t.add_explicit(1018, 152, true, record, "ostrel_client_htos_new_quote_resp",
                               "invalid ostrel_client_htos_order_resp"));
    ASSERT_TRUE(t.add_explicit(1068, 56, false, record, "query_logon_msg_resp"));
    EXPECT_EQ(t.max_length(), 152);
    const msg_route* r = t.find(1018);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->length, 152);
    EXPECT_EQ(r->qv27_length, 152);
    EXPECT_STREQ(r->invalid_name, "invalid ostrel_client_htos_order_resp");
    EXPECT_EQ(t.find(1068)->invalid_name, nullptr);

    // Both editions cut 1018 at 152 bytes, byte by byte; before the logon it
    // is consumed unhandled and the message behind it still handled.
    for (bool qv27 : {false, true}) {
        seen s;
        std::string stream = msg(1018, 152, 216) + msg(1068, 56, 56);
        EXPECT_EQ(feed(t, stream, 1, qv27, true, s), stream.size());
        EXPECT_EQ(s.types, (std::vector<uint16_t>{1018, 1068}));
        seen before;
        EXPECT_EQ(feed(t, stream, 7, qv27, false, before), stream.size());
        EXPECT_EQ(before.types, (std::vector<uint16_t>{1068}));
    }
    // An unknown type claiming more than the longest known message drops the buffer.
    seen s;
    std::string stream = msg(3000, 153, 153) + msg(1068, 56, 56);
    dispatch_step st = dispatch_one(t, reinterpret_cast<const unsigned char*>(stream.data()),
                                    uint32_t(stream.size()), false, true, &s);
    EXPECT_EQ(st.outcome, DISPATCH_UNKNOWN_DISCARDED);
    EXPECT_TRUE(s.types.empty());
}

// The adapter's trade answers through its receive table: every handled type,
// built here byte by byte, reaches its callback with a record whose every
// byte matches one built here from the published record tables; the table
// frames each type by the adapter's own length, waits for incomplete
// messages, keeps the logon rule and skips unknown types.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adapter/adapter_trade_answers.h"
#include "tests/adapter/adapter_expected.h"
#include "trade_core/trade_dispatch.h"

namespace {

using HUX_ADAPTER::adapter_answer_context;
using HUX_TRADE_CORE::dispatch_one;
using HUX_TRADE_CORE::dispatch_step;
using HUX_TRADE_CORE::msg_route;
using HUX_TRADE_CORE::msg_route_table;

using namespace adapter_expected;

// ---- callbacks: each records its event, the record's bytes and any flag ----

enum event_id {
    EV_NONE = -1,
    EV_ORDER_ACCEPT,
    EV_ORDER_REJECT,
    EV_ORDER_MARKET_ACCEPT,
    EV_ORDER_MARKET_REJECT,
    EV_ORDER_EXECUTION,
    EV_ORDER_CXLED,
    EV_CXL_ORDER_REJECT,
    EV_POST_ORDER,
    EV_POST_ORDER_EXECUTION,
    EV_QUERY_MARKET_SESSION,
    EV_MARKET_SESSION_REPORT,
    EV_SYMBOL_STATUS_REPORT,
    EV_QUERY_SYMBOL_STATUS,
    EV_QUERY_SESSION_ID,
    EV_SPECIAL_ACCEPT,
    EV_SPECIAL_REJECT,
    EV_SPECIAL_ACTION_ACCEPT,
    EV_SPECIAL_ACTION_REJ,
    EV_SPECIAL_MARKET_ACCEPT,
    EV_SPECIAL_MARKET_REJECT,
    EV_SPECIAL_ACTION_MARKET_ACCEPT,
    EV_SPECIAL_ACTION_MARKET_REJECT,
    EV_POST_SPECIAL_ORDER,
};

const uint32_t CAPTURE_MAGIC = 0x0DDBA11u;

struct capture {
    uint32_t magic = CAPTURE_MAGIC;
    int calls = 0;
    int event = EV_NONE;
    bytes record;
    int flag = -1;  // -1: the callback has none

    void reset() {
        calls = 0;
        event = EV_NONE;
        record.clear();
        flag = -1;
    }
};

capture* capture_of(void* handle) {
    capture* c = static_cast<capture*>(handle);
    EXPECT_EQ(c->magic, CAPTURE_MAGIC) << "the callback did not get the owner";
    return c;
}

template <int EV, class R>
void on_record(void* handle, R* rec) {
    capture* c = capture_of(handle);
    ++c->calls;
    c->event = EV;
    c->record.assign(reinterpret_cast<uint8_t*>(rec), reinterpret_cast<uint8_t*>(rec) + sizeof(R));
}

template <int EV, class R>
void on_record_flag(void* handle, R* rec, bool flag) {
    on_record<EV, R>(handle, rec);
    capture_of(handle)->flag = flag ? 1 : 0;
}

void on_session_report(void* handle, uint8_t session, bool flag) {
    capture* c = capture_of(handle);
    ++c->calls;
    c->event = EV_MARKET_SESSION_REPORT;
    c->record.assign(1, session);
    c->flag = flag ? 1 : 0;
}

void set_every_callback(HUX_ADAPTER::adapter_trade_events& e) {
    e.OrderAccept = on_record<EV_ORDER_ACCEPT, HUX_OrderAcceptField>;
    e.OrderReject = on_record<EV_ORDER_REJECT, HUX_OrderRejectField>;
    e.OrderMarketAccept = on_record<EV_ORDER_MARKET_ACCEPT, HUX_OrderMarketAcceptField>;
    e.OrderMarketReject = on_record<EV_ORDER_MARKET_REJECT, HUX_OrderMarketRejectField>;
    e.OrderExecution = on_record<EV_ORDER_EXECUTION, HUX_OrderExecutionField>;
    e.OrderCxled = on_record<EV_ORDER_CXLED, HUX_OrderCxled>;
    e.CxlOrderReject = on_record<EV_CXL_ORDER_REJECT, HUX_CxlOrderRej>;
    e.PostOrder = on_record<EV_POST_ORDER, HUX_PostOrder>;
    e.PostOrderExecution = on_record<EV_POST_ORDER_EXECUTION, HUX_PostOrderExecution>;
    e.QueryMarketSession = on_record_flag<EV_QUERY_MARKET_SESSION, HUX_ExchangeMarketSession>;
    e.MarketSessionStatReport = on_session_report;
    e.SymbolStatusReport = on_record<EV_SYMBOL_STATUS_REPORT, HUX_SymbolStatus>;
    e.QuerySymbolStatus = on_record_flag<EV_QUERY_SYMBOL_STATUS, HUX_SymbolStatus>;
    e.QuerySessionID = on_record<EV_QUERY_SESSION_ID, HUX_SessionID>;
    e.SpecialOrderAccept = on_record<EV_SPECIAL_ACCEPT, HUX_SpecialOrderAcceptField>;
    e.SpecialOrderReject = on_record<EV_SPECIAL_REJECT, HUX_SpecialOrderRejectField>;
    e.SpecialOrderActionAccept = on_record<EV_SPECIAL_ACTION_ACCEPT, HUX_SpecialOrderActionAccept>;
    e.SpecialOrderActionRej = on_record<EV_SPECIAL_ACTION_REJ, HUX_SpecialOrderActionRej>;
    e.SpecialOrderMarketAccept = on_record<EV_SPECIAL_MARKET_ACCEPT, HUX_SpecialOrderMarketAcceptField>;
    e.SpecialOrderMarketReject = on_record<EV_SPECIAL_MARKET_REJECT, HUX_SpecialOrderMarketRejectField>;
    e.SpecialOrderActionMarketAccept =
        on_record<EV_SPECIAL_ACTION_MARKET_ACCEPT, HUX_SpecialOrderActionMarketAcceptField>;
    e.SpecialOrderActionMarketReject =
        on_record<EV_SPECIAL_ACTION_MARKET_REJECT, HUX_SpecialOrderActionMarketRejectField>;
    e.PostSpecialOrder = on_record<EV_POST_SPECIAL_ORDER, HUX_PostSpecialOrder>;
}

// ---- messages ----

// Bytes 4 to 99 of the order messages repeat the new order.
buf order_msg(uint16_t type, size_t len) {
    buf m = buf::wire(type, len);
    m.u32(4, REQUEST_TAG)        // request_tag
        .u8(8, USER_LOW)         // user id, low byte (9 to 11 stay 0xA5)
        .u8(12, EXCHANGE_ID)     // exchange_id
        .u8(13, OPT_4)           // opt_4
        .u8(15, 0x15)            // opt_8
        .u8(16, '0')             // opt_7: the character '0'
        .u8(17, SIDE)            // side
        .u8(18, OPT_5)           // opt_5
        .u8(19, 0)               // opt_1: 0, coded 99998
        .u32(20, CLIENT_TOKEN)   // client_token
        .u32(24, QUANTITY)       // quantity
        .u32(28, OPT_2)          // opt_2
        .u64(32, static_cast<uint64_t>(PRICE))  // price
        .u64(40, 0x1122334455667788ull)         // second_price
        .u8(48, 0x48)            // opt_9
        .u8(49, 0x49)            // order field
        .u32(52, OPT_3)          // opt_3
        .u32(56, SERVER_ORDER)   // server order field
        .text(60, ACCOUNT, 16)   // account
        .text(76, SYMBOL, 20);   // symbol
    return m;
}

// 1015, 1016 and 2202: identifier 100, status 124, 130, 134 and 142.
buf report_msg(uint16_t type, uint8_t status) {
    buf m = order_msg(type, 158);
    m.text(100, EXCHANGE_ORDER_ID, 24)  // exchange's order identifier
        .u8(124, status)                // status
        .u32(130, REPORT_VALUE_130)     // 32-bit value
        .raw(134, run(REPORT_FIRST_134, 8))  // eight-byte value
        .raw(142, run(REPORT_FIRST_142, 8));  // eight-byte value
    return m;
}

// Cancel answers (1011, 1013, 1031, 1033) repeat the cancel request.
buf cancel_msg(uint16_t type, size_t len, uint32_t verdict) {
    buf m = buf::wire(type, len);
    m.u32(4, REQUEST_TAG)       // request_tag
        .u32(8, USER_FULL)      // user id
        .u32(12, CANCEL_TOKEN)  // the cancel's client_token
        .u32(16, MARKET_TOKEN)  // market_token
        .u32(20, OWNER_USER)    // owner_user_id
        .u32(24, OWNER_TOKEN)   // owner_token
        .u8(28, 0x28)           // opt_1
        .u8(30, CANCEL_OPT_3)   // opt_3 / cancel_mode
        .u32(44, verdict);      // verdict
    return m;
}

buf cancel_server_msg(uint16_t type, size_t len, uint32_t mask) {
    buf m = cancel_msg(type, len, mask);
    m.u64(48, 0x8048004800480048ull);  // order number
    return m;
}

buf cancel_market_msg(uint16_t type, size_t len, uint32_t code, const bytes& gb_text) {
    buf m = cancel_msg(type, len, code);
    m.raw(48, with_nul(gb_text))        // exchange text, NUL, then 0xA5 to its end
        .raw(129, run(CANCEL_FIRST_129, 8))  // eight-byte value
        .u8(138, CANCEL_EXCHANGE_ID);   // exchange id
    return m;
}

buf execution_msg(uint16_t type) {
    buf m = buf::wire(type, 136);
    m.raw(24, run(0x24, 8))          // eight-byte value
        .u64(32, FILL_ORDER_NO)      // order number
        .u32(42, FILL_42)            // 32-bit value
        .u32(46, FILL_46)            // 32-bit value
        .u32(74, FILLED)             // filled quantity
        .u64(78, static_cast<uint64_t>(FILL_PRICE))  // fill price
        .text(86, FILL_TEXT, 24)     // text
        .u8(133, FILL_133);          // one-byte field
    return m;
}

// 1030 repeats the special order.
buf special_msg(uint32_t verdict) {
    buf m = buf::wire(1030, 92);
    m.u32(4, REQUEST_TAG)                  // request_tag
        .u8(8, USER_LOW)                   // user id, low byte
        .u8(10, 0xD0)                      // opt_4
        .u32(12, 0x8C12C012u)              // opt_2
        .u8(16, 0xE6)                      // opt_1
        .u8(17, 0xE7)                      // opt_5
        .u32(20, CLIENT_TOKEN)             // client_token
        .u32(24, 0x82400024u)              // 32-bit value
        .text(28, "SPECACCOUNT01234", 16)  // account
        .text(44, "SPECSYMBOL0123456789", 20)  // symbol
        .u32(68, 0x86800068u)              // opt_3
        .u32(72, verdict)                  // reason mask
        .raw(76, run(0x71, 8));            // eight-byte value
    return m;
}

buf special_market_msg(uint32_t verdict, const bytes& gb_text) {
    buf m = buf::wire(1032, 200);
    m.u32(4, REQUEST_TAG)                  // request_tag
        .u8(8, USER_LOW)                   // user id, low byte
        .u32(20, CLIENT_TOKEN)             // client_token
        .u32(24, 0x82400024u)              // 32-bit value
        .text(28, "SPECACCOUNT01234", 16)  // account
        .text(72, EXCHANGE_ORDER_ID, 24)   // exchange's order identifier
        .u32(96, verdict)                  // exchange verdict
        .raw(100, with_nul(gb_text))       // exchange text
        .raw(181, run(0x81, 8));           // eight-byte value
    return m;
}


struct answer_case {
    std::string what;
    bytes msg;
    int event;     // EV_NONE: no callback
    bytes record;  // the whole record, every byte
    int flag;      // -1: the callback has none
};

std::vector<answer_case> answer_cases() {
    std::vector<answer_case> cases;
    auto add = [&](const std::string& what, const buf& m, int ev, const bytes& rec, int flag = -1) {
        cases.push_back(answer_case{what, m.b, ev, rec, flag});
    };

    // 1010: accept (verdict 0) and two rejects.
    {
        buf m = order_msg(1010, 120);
        m.u32(100, 0).u64(104, ORDER_NO);  // verdict, order number
        add("1010 accept", m, EV_ORDER_ACCEPT, expect_order_accept(2, 99998).b);

        m.u32(100, (1u << 7) | (1u << 9));  // bits 7 and 9
        buf r = buf::record(2194);
        r.u32(0, USER_LOW).u64(4, ORDER_NO).u32(12, CLIENT_TOKEN).u8(16, 1).u8(17, 2);
        r.u8(18 + 2, 1).u8(18 + 5, 1);  // flags of codes 2 (bit 7) and 5 (bit 9)
        r.text(146, utf8("下单目的地不合法;止损价不合法;"), 1024);
        add("1010 reject bits 7+9", m, EV_ORDER_REJECT, r.b);

        m.u32(100, 3);  // a single value, not a mask
        r = buf::record(2194);
        r.u32(0, USER_LOW).u64(4, ORDER_NO).u32(12, CLIENT_TOKEN).u8(16, 1).u8(17, 65).u8(18 + 65, 1);
        r.text(1170, utf8("禁止交易"), 1024);
        add("1010 reject value 3", m, EV_ORDER_REJECT, r.b);
    }
    // 1011: accept does nothing; reject keys 5 (4|32) and 257 (no text).
    {
        add("1011 accept", cancel_server_msg(1011, 64, 0), EV_NONE, {});
        buf r = buf::record(127);
        r.u64(17, MARKET_TOKEN).u32(25, 5).text(29, utf8("找不到报单"), 88).u32(117, USER_FULL);
        r.u32(121, CANCEL_TOKEN).u8(125, 0).u8(126, CANCEL_OPT_3);
        add("1011 reject 4|32", cancel_server_msg(1011, 64, 4 | 32), EV_CXL_ORDER_REJECT, r.b);
        r.u32(25, 257).text(29, "", 88);
        add("1011 reject 256", cancel_server_msg(1011, 64, 256), EV_CXL_ORDER_REJECT, r.b);
    }
    // 1012: accept and reject.
    {
        buf m = order_msg(1012, 232);
        m.text(100, EXCHANGE_ORDER_ID, 24)  // exchange's order identifier
            .u32(132, 0)                    // verdict
            .raw(136, with_nul(GB_ZHONGWEN))  // exchange text
            .raw(217, run(0x91, 8));        // eight-byte value
        add("1012 accept", m, EV_ORDER_MARKET_ACCEPT, expect_market_accept(run(0x91, 8), 0).b);

        m.u32(132, 0x80000457u);
        buf r = buf::record(127);
        r.text(0, ACCOUNT, 17).u64(17, SERVER_ORDER).raw(25, run(0x91, 8)).raw(33, U8_ZHONGWEN);
        r.u8(114, EXCHANGE_ID).u32(115, 0x80000457u).u32(119, USER_LOW).u32(123, CLIENT_TOKEN);
        add("1012 reject", m, EV_ORDER_MARKET_REJECT, r.b);
    }
    // 1013: accept does nothing; reject carries the exchange's code and text.
    {
        add("1013 accept", cancel_market_msg(1013, 144, 0, GB_BAODAN_CUOWU), EV_NONE, {});
        buf r = buf::record(127);
        r.u64(17, MARKET_TOKEN).u32(25, 0x80000123u).raw(29, U8_BAODAN_CUOWU).u32(117, USER_FULL);
        r.u32(121, CANCEL_TOKEN).u8(125, CANCEL_EXCHANGE_ID).u8(126, CANCEL_OPT_3);
        add("1013 reject", cancel_market_msg(1013, 144, 0x80000123u, GB_BAODAN_CUOWU), EV_CXL_ORDER_REJECT, r.b);
    }
    // 1014.
    {
        buf r = buf::record(69);
        r.u32(0, FILL_133).u64(4, FILL_ORDER_NO).u32(12, FILL_42).u64(16, FILL_46).u32(24, FILLED);
        r.f64(28, FILL_PRICE_VALUE).u64(36, 0).text(44, FILL_TEXT, 25);
        add("1014", execution_msg(1014), EV_ORDER_EXECUTION, r.b);
    }
    // 1015: status 1 to 3 a market accept, 4 a cancel, 0 and 5 nothing, opt_7 not '0' nothing.
    {
        add("1015 status 2", report_msg(1015, 2), EV_ORDER_MARKET_ACCEPT, expect_market_accept(run(0xB1, 8), 2).b);
        add("1015 status 1", report_msg(1015, 1), EV_ORDER_MARKET_ACCEPT, expect_market_accept(run(0xB1, 8), 1).b);
        add("1015 status 3", report_msg(1015, 3), EV_ORDER_MARKET_ACCEPT, expect_market_accept(run(0xB1, 8), 3).b);
        add("1015 status 4", report_msg(1015, 4), EV_ORDER_CXLED, expect_cxled().b);
        add("1015 status 0", report_msg(1015, 0), EV_NONE, {});
        add("1015 status 5", report_msg(1015, 5), EV_NONE, {});
        add("1015 opt_7 '1'", report_msg(1015, 2).u8(16, '1'), EV_NONE, {});
        add("1015 opt_7 0", report_msg(1015, 4).u8(16, 0), EV_NONE, {});
    }
    // 1016: below 4 a posted order, 4 a cancel, above nothing, opt_7 not '0' nothing.
    {
        add("1016 status 3", report_msg(1016, 3), EV_POST_ORDER, expect_post_order(run(0xC1, 8), 2, 3).b);
        add("1016 status 0", report_msg(1016, 0), EV_POST_ORDER, expect_post_order(run(0xC1, 8), 2, 0).b);
        add("1016 status 4", report_msg(1016, 4), EV_ORDER_CXLED, expect_cxled().b);
        add("1016 status 5", report_msg(1016, 5), EV_NONE, {});
        add("1016 opt_7 '1'", report_msg(1016, 3).u8(16, '1'), EV_NONE, {});
    }
    // 1017 and 2203: the filled quantity again at 32 only from 2203.
    add("1017", execution_msg(1017), EV_POST_ORDER_EXECUTION, expect_post_execution(0).b);
    add("2203", execution_msg(2203), EV_POST_ORDER_EXECUTION, expect_post_execution(FILLED).b);
    // 2201: the order number at 104, the identifier at 120, status 0.
    {
        buf m = order_msg(2201, 144);
        m.u64(104, ORDER_NO).text(120, EXCHANGE_ORDER_ID, 24);
        add("2201", m, EV_POST_ORDER, expect_post_order(le64(ORDER_NO), 2, 0).b);
    }
    // 2202: the eight bytes at 134, no symbol kind, the status.
    add("2202", report_msg(2202, 7), EV_POST_ORDER, expect_post_order(run(0xB1, 8), 0, 7).b);
    // 1030: accept, a single value and a mask.
    {
        buf r = buf::record(77);
        r.u32(0, REQUEST_TAG).u32(4, CLIENT_TOKEN).u32(8, 0x82400024u).u32(12, USER_LOW).raw(16, run(0x71, 8));
        r.text(24, "SPECACCOUNT01234", 17).u8(41, 0xE6).u32(42, 0x8C12C012u);
        r.text(46, "SPECSYMBOL0123456789", 29).u8(75, 0xD0).u8(76, 0xE7);
        add("1030 accept", special_msg(0), EV_SPECIAL_ACCEPT, r.b);

        r = buf::record(2073);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(0x71, 8)).u32(16, CLIENT_TOKEN).u8(20, 1);
        r.u32(21, 2).text(1049, utf8("仓位不足"), 1024);
        add("1030 reject 2", special_msg(2), EV_SPECIAL_REJECT, r.b);

        r = buf::record(2073);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(0x71, 8)).u32(16, CLIENT_TOKEN).u8(20, 1);
        // Bits 6 (no text), 7, 27 and 31 (no text).
        r.u32(21, 0x880000C0u).text(25, utf8(";下单目的地不合法;每秒发送报单数超限;;"), 1024);
        add("1030 reject mask", special_msg(0x880000C0u), EV_SPECIAL_REJECT, r.b);
    }
    // 1031: accept, and rejects keyed 257 (no text) and 3.
    {
        buf r = buf::record(28);
        r.u32(0, REQUEST_TAG).u32(4, USER_FULL).u64(8, 0x8048004800480048ull).u32(16, OWNER_TOKEN);
        r.u32(20, OWNER_USER).u32(24, MARKET_TOKEN);
        add("1031 accept", cancel_server_msg(1031, 65, 0), EV_SPECIAL_ACTION_ACCEPT, r.b);

        r = buf::record(116);
        r.u32(0, REQUEST_TAG).u32(4, MARKET_TOKEN).u32(8, 257).u32(100, OWNER_USER).u32(104, OWNER_TOKEN);
        r.u64(108, 0x8048004800480048ull);
        add("1031 reject 256", cancel_server_msg(1031, 65, 256), EV_SPECIAL_ACTION_REJ, r.b);
        r.u32(8, 3).text(12, utf8("报单尚未被市场接受"), 88);
        add("1031 reject 2|16", cancel_server_msg(1031, 65, 2 | 16), EV_SPECIAL_ACTION_REJ, r.b);
    }
    // 1032: accept and reject.
    {
        buf r = buf::record(66);
        r.u32(0, REQUEST_TAG).text(4, "SPECACCOUNT01234", 17).u32(21, 0x82400024u);
        r.text(25, EXCHANGE_ORDER_ID, 25).raw(50, run(0x81, 8)).u32(58, USER_LOW).u32(62, CLIENT_TOKEN);
        add("1032 accept", special_market_msg(0, GB_HEYUE), EV_SPECIAL_MARKET_ACCEPT, r.b);

        r = buf::record(127);
        r.u32(0, REQUEST_TAG).text(4, "SPECACCOUNT01234", 17).u32(21, 0x82400024u).raw(25, run(0x81, 8));
        r.raw(33, U8_HEYUE).u8(114, 0).u32(115, 0x80000096u).u32(119, USER_LOW).u32(123, CLIENT_TOKEN);
        add("1032 reject", special_market_msg(0x80000096u, GB_HEYUE), EV_SPECIAL_MARKET_REJECT, r.b);
    }
    // 1033: accept (33 bytes) and reject (125, zero tail).
    {
        add("1033 accept", cancel_market_msg(1033, 148, 0, GB_JIAGE_WUXIAO), EV_SPECIAL_ACTION_MARKET_ACCEPT,
            expect_special_action_market_head(33).b);
        buf r = expect_special_action_market_head(125);
        r.u32(33, 0x80000044u).raw(37, U8_JIAGE_WUXIAO);
        add("1033 reject", cancel_market_msg(1033, 148, 0x80000044u, GB_JIAGE_WUXIAO),
            EV_SPECIAL_ACTION_MARKET_REJECT, r.b);
    }
    // 1034.
    {
        buf m = buf::wire(1034, 137);
        m.u32(4, REQUEST_TAG)                      // wire 4
            .u8(8, USER_LOW)                       // user id, low byte
            .u8(9, 0x99)                           // wire 9
            .u32(12, 0x8C12C012u)                  // wire 12
            .u8(16, 0xE6)                          // wire 16
            .u8(17, 0xE7)                          // wire 17
            .u32(20, CLIENT_TOKEN)                 // client_token (not carried)
            .u32(24, 0x82400024u)                  // wire 24
            .text(28, "SPECACCOUNT01234", 16)      // account
            .text(44, "SPECSYMBOL0123456789", 20)  // symbol
            .text(72, EXCHANGE_ORDER_ID, 24)       // exchange's order identifier
            .u8(96, 0x96)                          // wire 96
            .raw(97, run(0x61, 8));                // eight-byte value
        buf r = buf::record(95);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(0x61, 8)).u32(16, 0x82400024u).u32(20, 0);
        r.u8(24, 0xE6).u32(25, 0x8C12C012u).text(29, "SPECSYMBOL0123456789", 20);
        r.text(49, "SPECACCOUNT01234", 17).u8(66, 0x99).u8(67, 0).u8(68, 0x96);
        r.text(69, EXCHANGE_ORDER_ID, 25).u8(94, 0xE7);
        add("1034", m, EV_POST_SPECIAL_ORDER, r.b);
    }
    // 1084: the flag is true only when byte 13 is 1.
    {
        bytes sessions(255);
        for (size_t i = 0; i < sessions.size(); ++i) sessions[i] = static_cast<uint8_t>(0xFF - i);
        buf m = buf::wire(1084, 272);
        m.u8(12, EXCHANGE_ID).u8(13, 1).u8(14, 0xF4).raw(15, sessions);
        buf r = buf::record(257);
        r.u8(0, EXCHANGE_ID).u8(1, 0xF4).raw(2, sessions);
        add("1084 last", m, EV_QUERY_MARKET_SESSION, r.b, 1);
        m.u8(13, 2);
        add("1084 more", m, EV_QUERY_MARKET_SESSION, r.b, 0);
    }
    // 1085: the session byte at 9, the flag from 8.
    {
        buf m = buf::wire(1085, 16);
        m.u8(8, 1).u8(9, 0xE9);
        add("1085 flag", m, EV_MARKET_SESSION_REPORT, {0xE9}, 1);
        m.u8(8, 0x81);
        add("1085 no flag", m, EV_MARKET_SESSION_REPORT, {0xE9}, 0);
    }
    // 1086 and 1087: bounded texts (19 and 8 characters kept of texts that run on).
    {
        const std::string long_symbol = "STATUSSYMBOL0123456789ABCDEFGHI";  // 31 bytes, no NUL
        buf m = buf::wire(1086, 56);
        m.u8(8, 0xE8).text(9, long_symbol, 31).u8(40, 0xF0).u32(41, 0x84140041u).text(45, "SHORTTEXT", 9);
        m.u8(54, 0xF4);
        buf r = buf::record(36);
        r.u8(0, 0xE8).text(1, long_symbol.substr(0, 19), 20).u8(21, 0xF0).u32(22, 0x84140041u);
        r.text(26, "SHORTTEX", 9).u8(35, 0xF4);
        add("1086", m, EV_SYMBOL_STATUS_REPORT, r.b);

        buf q = buf::wire(1087, 64);
        q.u8(12, 0xE8).text(13, long_symbol, 31).u8(44, 0xF0).u32(45, 0x84140041u).text(49, "SHORTTEXT", 9);
        q.u8(58, 0xF4).u8(59, 0);
        add("1087 record", q, EV_QUERY_SYMBOL_STATUS, r.b, 0);
        q.u8(59, 0x80);
        add("1087 end", q, EV_QUERY_SYMBOL_STATUS, bytes(36, 0), 1);
    }
    // 1094.
    {
        buf m = buf::wire(1094, 32);
        m.text(12, "SESSIONID0123456XY", 18).u8(30, 0xF3).u8(31, 0xE4);
        buf r = buf::record(25);
        r.text(0, "SESSIONID0123456", 17).u32(17, 0xF3).u32(21, 0xE4);
        add("1094", m, EV_QUERY_SESSION_ID, r.b);
    }
    // Consumed without a callback.
    const struct {
        uint16_t type;
        size_t len;
        size_t verdict_at;  // 0: none
    } silent[] = {{1018, 152, 132}, {1019, 64, 44}, {1020, 233, 132}, {1021, 145, 44},
                  {1022, 232, 0},   {1023, 232, 0}, {1089, 56, 0},    {1200, 16, 0}};
    for (const auto& s : silent) {
        buf m = buf::wire(s.type, s.len);
        if (s.verdict_at) add(std::to_string(s.type) + " accept", buf(m).u32(s.verdict_at, 0), EV_NONE, {});
        add(std::to_string(s.type) + " as sent", m, EV_NONE, {});
    }
    return cases;
}


class AdapterAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        HUX_ADAPTER::add_answer_routes(table);
        ctx.owner = &got;
        ctx.texts.InitRejectReasonText();
        set_every_callback(ctx.events);
    }

    dispatch_step feed(const bytes& m, bool logged_on = true) {
        return dispatch_one(table, m.data(), static_cast<uint32_t>(m.size()), false, logged_on, &ctx);
    }

    msg_route_table table;
    adapter_answer_context ctx;
    capture got;
};

TEST_F(AdapterAnswers, EveryHandledTypeFillsEveryByteOfItsRecord) {
    for (const answer_case& c : answer_cases()) {
        SCOPED_TRACE(c.what);
        got.reset();
        const dispatch_step step = feed(c.msg);
        EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_HANDLED);
        EXPECT_EQ(step.consumed, c.msg.size());
        if (c.event == EV_NONE) {
            EXPECT_EQ(got.calls, 0);
            continue;
        }
        ASSERT_EQ(got.calls, 1);
        EXPECT_EQ(got.event, c.event);
        EXPECT_EQ(got.flag, c.flag);
        ASSERT_EQ(got.record.size(), c.record.size());
        EXPECT_TRUE(got.record == c.record) << first_difference(got.record, c.record);
    }
}

TEST_F(AdapterAnswers, AcceptCodingOfSymbolKindAndOpt1) {
    struct kind_case {
        std::string symbol;
        uint8_t kind;
    };
    const kind_case kinds[] = {
        {"abcdefg1", 2},       // 8 characters ending in a digit
        {"abcdef1", 3},        // 7 characters
        {"abcdefgh", 3},       // no digit at the end
        {"1234567X", 3},
        {"ABCDEFGHIJKLMNOPQRS9", 2},
        {"", 3},
    };
    for (const kind_case& k : kinds) {
        SCOPED_TRACE(k.symbol);
        buf m = order_msg(1010, 120);
        m.u32(100, 0).text(76, k.symbol, 20);
        got.reset();
        feed(m.b);
        ASSERT_EQ(got.calls, 1);
        EXPECT_EQ(got.record[64], k.kind);
        // The posted order codes it the same way.
        buf p = report_msg(1016, 1);
        p.text(76, k.symbol, 20);
        got.reset();
        feed(p.b);
        ASSERT_EQ(got.calls, 1);
        EXPECT_EQ(got.record[29], k.kind);
    }
    const struct {
        uint8_t wire;
        uint32_t coded;
    } opt_1[] = {{1, 0}, {2, 2}, {0, 99998}, {3, 0}, {0xFF, 0}};
    for (const auto& o : opt_1) {
        SCOPED_TRACE(o.wire);
        buf m = order_msg(1010, 120);
        m.u32(100, 0).u8(19, o.wire);
        got.reset();
        feed(m.b);
        ASSERT_EQ(got.calls, 1);
        uint32_t coded;
        memcpy(&coded, got.record.data() + 78, 4);
        EXPECT_EQ(coded, o.coded);
    }
}

TEST_F(AdapterAnswers, ExchangeTextsOfAFullWireFieldAreCutTo80BytesAndTerminated) {
    // 40 GB2312 characters and one ASCII byte fill the 81 bytes with no NUL;
    // the bytes after the field are GB2312 lead bytes that must not be read.
    bytes gb;
    for (int i = 0; i < 40; ++i) gb.insert(gb.end(), {0xD6, 0xD0});  // 中
    gb.push_back('A');
    ASSERT_EQ(gb.size(), 81u);
    bytes kept;
    for (int i = 0; i < 26; ++i) kept.insert(kept.end(), {0xE4, 0xB8, 0xAD});
    kept.insert(kept.end(), {0xE4, 0xB8});  // cut byte-wise at 80
    ASSERT_EQ(kept.size(), 80u);

    struct text_case {
        const char* what;
        bytes msg;
        size_t text_at;   // in the record
        size_t width;
    };
    buf m1012 = order_msg(1012, 232);
    m1012.u32(132, 9).raw(136, gb).raw(217, run(0xB0, 8));
    buf m1013 = cancel_market_msg(1013, 144, 9, {});
    m1013.raw(48, gb).raw(129, run(0xB0, 8));
    buf m1032 = special_market_msg(9, {});
    m1032.raw(100, gb).raw(181, run(0xB0, 8));
    buf m1033 = cancel_market_msg(1033, 148, 9, {});
    m1033.raw(48, gb).raw(129, run(0xB0, 8));
    const text_case cases[] = {
        {"1012", m1012.b, 33, 81},
        {"1013", m1013.b, 29, 88},
        {"1032", m1032.b, 33, 81},
        {"1033", m1033.b, 37, 81},
    };
    for (const text_case& c : cases) {
        SCOPED_TRACE(c.what);
        got.reset();
        feed(c.msg);
        ASSERT_EQ(got.calls, 1);
        const bytes field(got.record.begin() + c.text_at, got.record.begin() + c.text_at + c.width);
        EXPECT_TRUE(bytes(field.begin(), field.begin() + 80) == kept);
        for (size_t i = 80; i < c.width; ++i) EXPECT_EQ(field[i], 0) << "byte " << i;
    }
    // ASCII passes unchanged: 81 letters keep 80.
    buf ascii = order_msg(1012, 232);
    ascii.u32(132, 9).raw(136, bytes(81, 'q'));
    got.reset();
    feed(ascii.b);
    ASSERT_EQ(got.calls, 1);
    EXPECT_EQ(std::string(got.record.begin() + 33, got.record.begin() + 114), std::string(80, 'q') + '\0');
}

// The adapter's receive table as published: length, logon rule and log names.
struct published_route {
    uint16_t type;
    uint16_t length;
    bool needs_logon;
    bool has_handler;
    const char* name;
    const char* invalid_name;
};

const published_route k_published_routes[] = {
    {1010, 120, true, true, "ostrel_client_htos_order_resp", "invalid ostrel_client_htos_order_resp"},
    {1011, 64, true, true, "order_action", "invalid ostrel_client_htos_order_action_resp"},
    {1012, 232, true, true, "ostrel_client_htos_order_market_resp", "invalid ostrel_client_htos_order_market_resp"},
    {1013, 144, true, true, "ostrel_client_htos_order_action_market_resp",
     "invalid ostrel_client_htos_order_action_market_resp"},
    {1014, 136, true, true, "order_execution_received", "invalid order_execution_received"},
    {1015, 158, true, true, "ostrel_client_htos_order_market_resp", "invalid ostrel_client_htos_order_market_resp"},
    {1016, 158, true, true, "post_order_received", "invalid post_order_received"},
    {1017, 136, true, true, "post_exec_received", "invalid post_exec_received"},
    {1018, 152, true, false, "ostrel_client_htos_new_quote_resp", "invalid ostrel_client_htos_order_resp"},
    {1019, 64, true, false, "order_cxled", "invalid ostrel_client_htos_order_action_resp"},
    {1020, 233, true, false, "ostrel_client_htos_quote_market_resp", "invalid ostrel_client_htos_quote_market_resp"},
    {1021, 145, true, false, "ostrel_client_htos_quote_action_market_resp",
     "invalid ostrel_client_htos_order_action_market_resp"},
    {1022, 232, true, false, "ostrel_client_htos_quote_market_resp", "invalid ostrel_client_htos_order_market_resp"},
    {1023, 232, true, false, "post_order_received", "invalid post_order_received"},
    {1030, 92, false, true, "ostrel_client_htos_special_order_resp", nullptr},
    {1031, 65, false, true, "order_action", nullptr},
    {1032, 200, false, true, "ostrel_client_htos_order_market_resp", nullptr},
    {1033, 148, false, true, "ostrel_client_htos_order_action_market_resp", nullptr},
    {1034, 137, false, true, "post_special_order_received", nullptr},
    {1084, 272, false, true, "query_market_session_resp", nullptr},
    {1085, 16, false, true, "market_session_stat_report", nullptr},
    {1086, 56, false, true, "symbol_status_report", nullptr},
    {1087, 64, false, true, "symbol_status_query_resp", nullptr},
    {1089, 56, false, false, "prod_status_report", nullptr},
    {1094, 32, false, true, "session_id_query_resp", nullptr},
    {1200, 16, false, false, "trade_heart_beat_resp", nullptr},
    {2201, 144, true, true, "ostrel_internal_order_insert_resp", "invalid ostrel_internal_order_insert_resp"},
    {2202, 158, true, true, "ostrel_internal_order_adjust_status_resp", "invalid post_order_received"},
    {2203, 136, true, true, "ostrel_internal_order_execution_resp", "invalid post_order_received"},
};

std::string or_null(const char* s) { return s ? s : "(null)"; }

TEST_F(AdapterAnswers, TableHoldsEveryTypeWithItsLengthLogonRuleAndNames) {
    size_t known = 0;
    for (uint32_t type = 0; type <= msg_route_table::MAX_TYPE; ++type) {
        if (table.find(static_cast<uint16_t>(type))) ++known;
    }
    EXPECT_EQ(known, sizeof(k_published_routes) / sizeof(k_published_routes[0]));
    for (const published_route& s : k_published_routes) {
        SCOPED_TRACE(s.type);
        const msg_route* r = table.find(s.type);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->length, s.length);
        EXPECT_EQ(r->qv27_length, s.length) << "one length for every server edition";
        EXPECT_EQ(r->needs_logon, s.needs_logon);
        EXPECT_EQ(r->handler != nullptr, s.has_handler);
        EXPECT_EQ(or_null(r->name), s.name);
        EXPECT_EQ(or_null(r->invalid_name), or_null(s.invalid_name));
    }
    // The session's own answers and the trade library's other types are not here.
    for (uint16_t type : {1025, 1026, 1061, 1062, 1070, 1080, 1081, 1090, 1097, 2204, 2205, 2206}) {
        EXPECT_EQ(table.find(type), nullptr) << type;
    }
    EXPECT_EQ(table.max_length(), 272);
}

TEST_F(AdapterAnswers, LabelIsBareOnTheAcceptPathOfOrderCancelAndQuoteAnswers) {
    struct label_case {
        uint16_t type;
        size_t len;
        size_t verdict_at;
        const char* reject_label;
    };
    const label_case cases[] = {
        {1010, 120, 100, "ostrel_client_htos_order_resp"},
        {1011, 64, 44, "order_action"},
        {1012, 232, 132, "ostrel_client_htos_order_market_resp"},
        {1013, 144, 44, "ostrel_client_htos_order_action_market_resp"},
        {1018, 152, 132, "ostrel_client_htos_new_quote_resp"},
        {1019, 64, 44, "order_cxled"},
        {1020, 233, 132, "ostrel_client_htos_quote_market_resp"},
        {1021, 145, 44, "ostrel_client_htos_quote_action_market_resp"},
    };
    for (const label_case& c : cases) {
        SCOPED_TRACE(c.type);
        buf m = buf::wire(c.type, c.len);
        m.u32(c.verdict_at, 0);
        EXPECT_STREQ(HUX_ADAPTER::answer_label(*table.find(c.type), c.type, m.b.data()), "");
        m.u32(c.verdict_at, 0x80000000u);
        EXPECT_STREQ(HUX_ADAPTER::answer_label(*table.find(c.type), c.type, m.b.data()), c.reject_label);
    }
    // Every other type keeps its name, whatever its verdict field holds.
    const struct {
        uint16_t type;
        size_t len;
        const char* label;
    } named[] = {{1030, 92, "ostrel_client_htos_special_order_resp"},
                 {1031, 65, "order_action"},
                 {1022, 232, "ostrel_client_htos_quote_market_resp"},
                 {1015, 158, "ostrel_client_htos_order_market_resp"},
                 {2202, 158, "ostrel_internal_order_adjust_status_resp"}};
    for (const auto& n : named) {
        bytes zero(n.len, 0);
        EXPECT_STREQ(HUX_ADAPTER::answer_label(*table.find(n.type), n.type, zero.data()), n.label) << n.type;
    }
}

TEST_F(AdapterAnswers, EachMessageIsCutByItsLengthAndPrefixesWait) {
    buf behind = buf::wire(1085, 16);
    behind.u8(8, 1).u8(9, 0x5E);
    for (const answer_case& c : answer_cases()) {
        SCOPED_TRACE(c.what);
        // Every prefix waits without a callback.
        got.reset();
        for (size_t n = 0; n < c.msg.size(); ++n) {
            const dispatch_step step = feed(bytes(c.msg.begin(), c.msg.begin() + n));
            ASSERT_EQ(step.consumed, 0u) << "prefix " << n;
            ASSERT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_WAIT) << "prefix " << n;
        }
        EXPECT_EQ(got.calls, 0);
        // The completion gives its one callback.
        feed(c.msg);
        EXPECT_EQ(got.calls, c.event == EV_NONE ? 0 : 1);

        // A message behind it is still handled.
        bytes two = c.msg;
        two.insert(two.end(), behind.b.begin(), behind.b.end());
        got.reset();
        int steps = 0;
        const uint32_t total = HUX_TRADE_CORE::cut_messages(two.data(), static_cast<uint32_t>(two.size()),
                                                            [&](const unsigned char* d, uint32_t n) {
                                                                ++steps;
                                                                return static_cast<int>(
                                                                    dispatch_one(table, d, n, false, true, &ctx)
                                                                        .consumed);
                                                            });
        EXPECT_EQ(total, two.size());
        EXPECT_EQ(steps, 2);
        EXPECT_EQ(got.calls, c.event == EV_NONE ? 1 : 2);
        EXPECT_EQ(got.event, EV_MARKET_SESSION_REPORT);
        EXPECT_TRUE(got.record == bytes{0x5E});
    }
}

TEST_F(AdapterAnswers, BeforeLogonOnlyTheSpecialOrderAndStatusAnswersAreHandled) {
    for (const answer_case& c : answer_cases()) {
        SCOPED_TRACE(c.what);
        uint16_t type;
        memcpy(&type, c.msg.data(), 2);
        const bool needs_logon = (type >= 1010 && type <= 1023) || (type >= 2201 && type <= 2203);
        got.reset();
        const dispatch_step step = feed(c.msg, false);
        EXPECT_EQ(step.consumed, c.msg.size());
        if (needs_logon) {
            EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_BEFORE_LOGON);
            EXPECT_EQ(got.calls, 0);
        } else {
            EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_HANDLED);
            EXPECT_EQ(got.calls, c.event == EV_NONE ? 0 : 1);
        }
    }
    // 1010 and 1011 before logon, then a special-order answer: the first two
    // consumed by 120 and 64 bytes, the third handled.
    buf a = order_msg(1010, 120);
    a.u32(100, 0);
    bytes stream = a.b;
    const bytes b = cancel_server_msg(1011, 64, 4).b;
    stream.insert(stream.end(), b.begin(), b.end());
    const bytes s = special_msg(0).b;
    stream.insert(stream.end(), s.begin(), s.end());
    got.reset();
    std::vector<uint32_t> cuts;
    HUX_TRADE_CORE::cut_messages(stream.data(), static_cast<uint32_t>(stream.size()),
                                 [&](const unsigned char* d, uint32_t n) {
                                     const uint32_t used = dispatch_one(table, d, n, false, false, &ctx).consumed;
                                     cuts.push_back(used);
                                     return static_cast<int>(used);
                                 });
    EXPECT_EQ(cuts, (std::vector<uint32_t>{120, 64, 92}));
    EXPECT_EQ(got.calls, 1);
    EXPECT_EQ(got.event, EV_SPECIAL_ACCEPT);
}

TEST_F(AdapterAnswers, UnknownTypesAreSkippedByAPlausibleLengthElseTheBufferIsDropped) {
    buf behind = buf::wire(1085, 16);
    behind.u8(8, 0).u8(9, 0x77);
    for (uint16_t type : {1025, 1026, 1061, 1062, 1081, 1097, 2204, 2205, 2206, 7}) {
        SCOPED_TRACE(type);
        for (uint16_t claimed : {4, 40, 272}) {
            bytes m = buf::wire(type, claimed).b;
            m.insert(m.end(), behind.b.begin(), behind.b.end());
            got.reset();
            // Until the claimed length is buffered, it waits.
            dispatch_step step = feed(bytes(m.begin(), m.begin() + claimed - 1));
            EXPECT_EQ(step.consumed, 0u);
            step = feed(m);
            EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_UNKNOWN_SKIPPED);
            ASSERT_EQ(step.consumed, claimed);
            step = feed(bytes(m.begin() + claimed, m.end()));
            EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_HANDLED);
            EXPECT_EQ(got.calls, 1);
            EXPECT_TRUE(got.record == bytes{0x77});
        }
        // A length field below the header or above the longest message: everything goes.
        for (uint16_t claimed : {0, 3, 273, 0xFFFF}) {
            bytes m = buf::wire(type, 300).b;
            memcpy(m.data() + 2, &claimed, 2);
            got.reset();
            const dispatch_step step = feed(m);
            EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_UNKNOWN_DISCARDED) << claimed;
            EXPECT_EQ(step.consumed, m.size()) << claimed;
            EXPECT_EQ(got.calls, 0);
        }
        // Two or three bytes wait for the length field.
        bytes head = buf::wire(type, 40).b;
        EXPECT_EQ(feed(bytes(head.begin(), head.begin() + 2)).consumed, 0u);
        EXPECT_EQ(feed(bytes(head.begin(), head.begin() + 3)).consumed, 0u);
    }
}

TEST_F(AdapterAnswers, UnsetCallbacksLeaveEveryMessageConsumedAndSilent) {
    adapter_answer_context bare;
    bare.owner = &got;
    bare.texts.InitRejectReasonText();
    for (const answer_case& c : answer_cases()) {
        SCOPED_TRACE(c.what);
        got.reset();
        const dispatch_step step =
            dispatch_one(table, c.msg.data(), static_cast<uint32_t>(c.msg.size()), false, true, &bare);
        EXPECT_EQ(step.outcome, HUX_TRADE_CORE::DISPATCH_HANDLED);
        EXPECT_EQ(step.consumed, c.msg.size());
        EXPECT_EQ(got.calls, 0);
    }
    // Setting one callback reaches only that one.
    bare.events.OrderExecution = on_record<EV_ORDER_EXECUTION, HUX_OrderExecutionField>;
    for (const answer_case& c : answer_cases()) {
        got.reset();
        dispatch_one(table, c.msg.data(), static_cast<uint32_t>(c.msg.size()), false, true, &bare);
        EXPECT_EQ(got.calls, c.event == EV_ORDER_EXECUTION ? 1 : 0) << c.what;
    }
}

}  // namespace

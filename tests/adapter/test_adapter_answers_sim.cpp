// The adapter's trade session logged on to the simulated server over
// loopback: every answer type of its receive table, encoded by the server's
// own builders and sent on the connection, reaches its callback with a record
// whose every byte matches one built here from the published record tables.
// The quote answers are consumed with no callback and the trade library's
// other answer types are skipped as unknown; behind every message a market
// session report (1085) carrying a sequence number must still arrive, so each
// message is proved to be cut at its own length.
//
// Types covered, one table of cases:
//   1010 accept, reject by mask, reject by value;  1011 accept, reject;
//   1012 accept, reject;  1013 accept, reject;  1014;
//   1015 status 1, 2, 3, 4 (and 0, 5, opt_7 not '0': nothing);
//   1016 status 0, 1, 2, 3, 4 (and 5, opt_7 not '0': nothing);  1017;
//   1030 accept, reject by mask, reject by value;  1031 accept, reject;
//   1032 accept, reject;  1033 accept, reject;  1034;
//   1084 last and not last;  1085 flag and no flag;  1086;
//   1087 entry and end of list;  1094;  2201;  2202;  2203;
//   consumed, no callback: 1018, 1019, 1020, 1021 (accept and reject), 1022,
//   1023, 1089, 1200;
//   skipped as unknown: 1025, 1061, 1081, 2204.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "adapter/TradeClient.h"
#include "sim/sim_order_answers.h"
#include "sim/sim_report_answers.h"
#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "tests/adapter/adapter_expected.h"
#include "tests/support/test_wait.h"
#include "trade_core/trade_wire.h"

namespace {

using namespace adapter_expected;
using HUX_ADAPTER::CTradeClient;
using hux_sim::sim_config;
using hux_sim::sim_trade_server;

// The longest a test waits for anything; HUX_TEST_WAIT_MS overrides it.
std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

std::string str(const bytes& b) { return std::string(b.begin(), b.end()); }

bytes repeat(const bytes& unit, size_t times) {
    bytes out;
    for (size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

bytes cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bytes first(const bytes& b, size_t n) { return bytes(b.begin(), b.begin() + n); }

// ---- wire values beyond those of the shared records ----

const uint8_t OPT_8 = 0x9F;
const uint8_t OPT_7_OTHER = 0xA7;     // opt_7 of the messages that do not look at it
const uint8_t OPT_1_WIRE = 2;         // coded 2
const int64_t SECOND_PRICE = 0x1122334455667788ll;
const uint8_t OPT_9 = 0xA9;
const uint8_t ORDER_FIELD_49 = 0xAB;
const uint16_t FIELD_10 = 0xA10A;
const uint64_t CANCEL_ORDER_NO = 0x8048004800480048ull;  // order number of the cancel answers
const uint8_t CANCEL_MODE_31 = 0x31;  // the byte after opt_3, read by nobody

const uint8_t SPECIAL_OPT_4 = 0xD0;
const uint32_t SPECIAL_OPT_2 = 0x8C12C012u;
const uint8_t SPECIAL_OPT_1 = 0xE6;
const uint8_t SPECIAL_OPT_5 = 0xE7;
const uint32_t SPECIAL_FIELD_24 = 0x82400024u;
const uint32_t SPECIAL_OPT_3 = 0x86800068u;
const std::string SPECIAL_ACCOUNT = "SPECIALACCT01234";     // fills its 16 bytes
const std::string SPECIAL_SYMBOL = "SPECIALSYMBOL0123456";  // fills its 20 bytes
const uint8_t SPECIAL_FIRST_76 = 0x71;                      // eight bytes at 76 of 1030
const uint8_t SPECIAL_FIRST_181 = 0x81;                     // eight bytes at 181 of 1032
const uint8_t MARKET_FIRST_217 = 0x91;                      // eight bytes at 217 of 1012

// Exchange texts of 81 GB2312 bytes with no NUL, and the UTF-8 the records
// keep: the first 80 bytes of the converted text, then a NUL.
//   1012: 中文 x 20 and 'Z'; kept: 中文 x 13 (78 bytes) and E4 B8 of 中.
//   1013: 报单错误 x 10 and 'A'; kept: 报单错误 x 6 (72), 报单 (6) and E9 94 of 错.
//   1032: "E1", 合约 x 19, 合 and 'X'; kept: "E1" and 合约 x 13, ending on a character.
//   1033: 价格无效 x 10 and 'C'; kept: 价格无效 x 6, 价格 and E6 97 of 无.
const bytes GB_1012 = cat(repeat(GB_ZHONGWEN, 20), {'Z'});
const bytes U8_1012 = cat(repeat(U8_ZHONGWEN, 13), {0xE4, 0xB8});
const bytes GB_1013 = cat(repeat(GB_BAODAN_CUOWU, 10), {'A'});
const bytes U8_1013 = cat(cat(repeat(U8_BAODAN_CUOWU, 6), first(U8_BAODAN_CUOWU, 6)), {0xE9, 0x94});
const bytes GB_1032 = cat(cat(cat({'E', '1'}, repeat(GB_HEYUE, 19)), first(GB_HEYUE, 2)), {'X'});
const bytes U8_1032 = cat({'E', '1'}, repeat(U8_HEYUE, 13));
const bytes GB_1033 = cat(repeat(GB_JIAGE_WUXIAO, 10), {'C'});
const bytes U8_1033 = cat(cat(repeat(U8_JIAGE_WUXIAO, 6), first(U8_JIAGE_WUXIAO, 6)), {0xE6, 0x97});

// ---- the server's messages ----

// The new order's bytes 4 to 99 that every order message repeats (the user
// id's low byte and the order field have other names in each record).
template <class V>
void order_fields(V& v, uint8_t opt_7) {
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.exchange_id = EXCHANGE_ID;
    v.opt_4 = OPT_4;
    v.opt_8 = OPT_8;
    v.opt_7 = opt_7;
    v.side = SIDE;
    v.opt_5 = OPT_5;
    v.opt_1 = OPT_1_WIRE;
    v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
    v.quantity = static_cast<int32_t>(QUANTITY);
    v.opt_2 = static_cast<int32_t>(OPT_2);
    v.price = PRICE;
    v.second_price = SECOND_PRICE;
    v.opt_9 = OPT_9;
    v.opt_3 = static_cast<int32_t>(OPT_3);
    v.field_56 = static_cast<int32_t>(SERVER_ORDER);
    v.account = ACCOUNT;
    v.symbol = SYMBOL;
}

std::string order_answer(uint32_t verdict) {
    hux_sim::sim_order_answer v;
    order_fields(v, OPT_7_OTHER);
    v.user_id_low = USER_LOW;
    v.field_10 = FIELD_10;
    v.field_49 = ORDER_FIELD_49;
    v.result = verdict;
    v.order_no = static_cast<int64_t>(ORDER_NO);
    v.risk_mask = 0x8112ABCDu;
    return hux_sim::order_insert_answer(v);
}

std::string order_market_answer(uint32_t verdict) {
    hux_sim::sim_order_market_answer v;
    order_fields(v, OPT_7_OTHER);
    v.user_id_low = USER_LOW;
    v.field_10 = FIELD_10;
    v.field_49 = ORDER_FIELD_49;
    v.exchange_order_id = EXCHANGE_ORDER_ID;
    v.result = static_cast<int32_t>(verdict);
    v.exchange_text = str(GB_1012);
    v.value8 = str(run(MARKET_FIRST_217, 8));
    return hux_sim::order_insert_market_answer(v);
}

// 1015, 1016 and 2202.
std::string order_report(uint16_t type, uint8_t status, uint8_t opt_7) {
    hux_sim::sim_order v;
    order_fields(v, opt_7);
    v.user_low = USER_LOW;
    v.byte_49 = ORDER_FIELD_49;
    v.exchange_order_id = EXCHANGE_ORDER_ID;
    v.byte_124 = status;
    v.kind = 0x7D;
    v.field_126 = static_cast<int32_t>(0x81260126u);
    v.field_130 = static_cast<int32_t>(REPORT_VALUE_130);
    v.bytes_134 = str(cat(run(REPORT_FIRST_134, 8), run(REPORT_FIRST_142, 8)));
    return hux_sim::order_message(type, v);
}

std::string internal_order() {
    hux_sim::sim_internal_order v;
    order_fields(v, OPT_7_OTHER);
    v.user_low = USER_LOW;
    v.byte_49 = ORDER_FIELD_49;
    v.order_no = static_cast<int64_t>(ORDER_NO);
    v.exchange_order_id = EXCHANGE_ORDER_ID;
    return hux_sim::internal_order_message(v);
}

// 1014, 1017 and 2203.
std::string execution(uint16_t type) {
    hux_sim::sim_execution v;
    v.field_4 = static_cast<int32_t>(0x84000004u);
    v.value_24 = str(run(0x24, 8));
    v.order_no = static_cast<int64_t>(FILL_ORDER_NO);
    v.byte_41 = 0x41;
    v.field_42 = static_cast<int32_t>(FILL_42);
    v.field_46 = static_cast<int32_t>(FILL_46);
    v.text_50 = "TEXTAT50TEXTAT50TEXTAT50";
    v.filled_quantity = static_cast<int32_t>(FILLED);
    v.fill_price = FILL_PRICE;
    v.text_86 = FILL_TEXT;
    v.byte_110 = 'Q';  // right behind the text: a 25th character would show
    v.byte_111 = 0x6F;
    v.symbol = SYMBOL;
    v.byte_132 = 0x84;
    v.byte_133 = FILL_133;
    v.marker = 0x86;
    v.byte_135 = 0x87;
    return hux_sim::execution_message(type, v);
}

// 1011, 1019 and 1031.
std::string cancel(uint16_t type, uint32_t verdict) {
    hux_sim::sim_cancel_answer v;
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.user_id = static_cast<int32_t>(USER_FULL);
    v.client_token = static_cast<int32_t>(CANCEL_TOKEN);
    v.market_token = static_cast<int32_t>(MARKET_TOKEN);
    v.owner_user_id = static_cast<int32_t>(OWNER_USER);
    v.owner_token = static_cast<int32_t>(OWNER_TOKEN);
    v.opt_1 = 0x28;
    v.byte_29 = 0x29;
    v.opt_3 = CANCEL_OPT_3;
    v.cancel_mode = CANCEL_MODE_31;
    v.byte_32 = 0x32;
    v.result = verdict;
    v.order_no = static_cast<int64_t>(CANCEL_ORDER_NO);
    return hux_sim::cancel_answer(type, v);
}

// 1013, 1021 and 1033.
std::string cancel_market(uint16_t type, uint32_t verdict, const bytes& gb_text) {
    hux_sim::sim_cancel_market_answer v;
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.user_id = static_cast<int32_t>(USER_FULL);
    v.client_token = static_cast<int32_t>(CANCEL_TOKEN);
    v.market_token = static_cast<int32_t>(MARKET_TOKEN);
    v.owner_user_id = static_cast<int32_t>(OWNER_USER);
    v.owner_token = static_cast<int32_t>(OWNER_TOKEN);
    v.opt_1 = 0x28;
    v.opt_3 = CANCEL_OPT_3;
    v.cancel_mode = CANCEL_MODE_31;
    v.byte_32 = 0x32;
    v.byte_35 = 0x35;
    v.result = verdict;
    v.exchange_text = str(gb_text);
    v.value8 = str(run(CANCEL_FIRST_129, 8));
    v.exchange_id = CANCEL_EXCHANGE_ID;
    return hux_sim::cancel_market_answer(type, v);
}

std::string special_order(uint32_t verdict) {
    hux_sim::sim_special_order_answer v;
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.user_id_low = USER_LOW;
    v.opt_4 = SPECIAL_OPT_4;
    v.opt_2 = static_cast<int32_t>(SPECIAL_OPT_2);
    v.opt_1 = SPECIAL_OPT_1;
    v.opt_5 = SPECIAL_OPT_5;
    v.opt_8 = 0xE9;
    v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
    v.field_24 = static_cast<int32_t>(SPECIAL_FIELD_24);
    v.account = SPECIAL_ACCOUNT;
    v.symbol = SPECIAL_SYMBOL;
    v.opt_3 = static_cast<int32_t>(SPECIAL_OPT_3);
    v.result = verdict;
    v.value8 = str(run(SPECIAL_FIRST_76, 8));
    // Bytes 64 to 67, right behind the 20-byte symbol, are no field of the
    // builder: set, so that a symbol read past its wire field shows in the
    // record's wider symbol field.
    return hux_sim::patch_bytes(hux_sim::special_order_answer(v), 64, "WXYZ");
}

std::string special_order_market(uint32_t verdict) {
    hux_sim::sim_special_order_market_answer v;
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.user_id_low = USER_LOW;
    v.exchange_id = 0x99;
    v.opt_4 = SPECIAL_OPT_4;
    v.opt_8 = 0xE9;
    v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
    v.field_24 = static_cast<int32_t>(SPECIAL_FIELD_24);
    v.account = SPECIAL_ACCOUNT;
    v.byte_64 = 0xC0;
    v.exchange_order_id = EXCHANGE_ORDER_ID;
    v.result = static_cast<int32_t>(verdict);
    v.exchange_text = str(GB_1032);
    v.value8 = str(run(SPECIAL_FIRST_181, 8));
    return hux_sim::special_order_market_answer(v);
}

hux_sim::sim_symbol_status symbol_status(uint8_t end_mark) {
    hux_sim::sim_symbol_status v;
    v.first = 0xE8;
    v.symbol = "STATUSSYMBOL01234567";  // fills its 20 bytes
    v.byte_a = 0xF0;
    v.value = static_cast<int32_t>(0x84140041u);
    v.short_text = "SHORTTEXT";  // fills its 9 bytes
    v.byte_b = 0xF4;
    v.end_mark = end_mark;
    return v;
}

hux_sim::sim_quote_answer quote(uint32_t verdict) {
    hux_sim::sim_quote_answer v;
    v.request_tag = static_cast<int32_t>(REQUEST_TAG);
    v.user_id_low = USER_LOW;
    v.field_10 = FIELD_10;
    v.exchange_id = EXCHANGE_ID;
    v.opt_6 = 0x16;
    v.opt_5 = OPT_5;
    v.quantity_1 = 0x10;
    v.quantity_2 = 0x20;
    v.price_1 = PRICE;
    v.price_2 = FILL_PRICE;
    v.opt_2 = 0x40;
    v.opt_4 = 0x41;
    v.opt_1 = 0x42;
    v.opt_3 = 0x43;
    v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
    v.opt_8 = 0x48;
    v.byte_52 = 0x52;
    v.account = ACCOUNT;
    v.symbol = SYMBOL;
    v.quote_text_1 = "QUOTETEXT1QUOTETEXT1QUOT";
    v.field_116 = 0x116;
    v.field_120 = 0x120;
    v.field_124 = 0x124;
    v.quote_text_2 = "QUOTETEXT2QUOTETEXT2QUOT";
    v.result = verdict;
    return v;
}

// Behind every message: a market session report with a sequence number.
std::string marker(uint8_t seq) {
    hux_sim::sim_session_stat v;
    v.flag = 1;
    v.session = seq;
    v.session_qv27 = 0x5A;
    return hux_sim::session_stat_report(v);
}

// ---- callbacks: the owner records each event, its record's bytes and any flag ----

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

struct event_seen {
    int id;
    bytes record;
    int flag;  // -1: the callback has none
};

bool is_marker(const event_seen& e, uint8_t seq) {
    return e.id == EV_MARKET_SESSION_REPORT && e.record == bytes{seq} && e.flag == 1;
}

const uint32_t OWNER_MAGIC = 0x0DDBA11u;

class recorder {
public:
    const uint32_t magic = OWNER_MAGIC;

    void add(int id, const void* rec, size_t n, int flag) {
        const uint8_t* p = static_cast<const uint8_t*>(rec);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_events.push_back(event_seen{id, bytes(p, p + n), flag});
        }
        m_changed.notify_all();
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events.size();
    }
    std::vector<event_seen> since(size_t from) const {
        std::lock_guard<std::mutex> lock(m_lock);
        return std::vector<event_seen>(m_events.begin() + static_cast<long>(from), m_events.end());
    }
    // Waits until the marker `seq` has come at or after `from`.
    bool wait_marker(size_t from, uint8_t seq) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, wait_limit(), [&] {
            for (size_t i = from; i < m_events.size(); ++i) {
                if (is_marker(m_events[i], seq)) return true;
            }
            return false;
        });
    }

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<event_seen> m_events;
};

recorder* owner_of(void* handle) {
    recorder* r = static_cast<recorder*>(handle);
    EXPECT_EQ(r->magic, OWNER_MAGIC) << "the callback did not get the owner";
    return r;
}

template <int EV, class R>
void on_record(void* handle, R* rec) {
    owner_of(handle)->add(EV, rec, sizeof(R), -1);
}

template <int EV, class R>
void on_record_flag(void* handle, R* rec, bool flag) {
    owner_of(handle)->add(EV, rec, sizeof(R), flag ? 1 : 0);
}

void on_session_report(void* handle, uint8_t session, bool flag) {
    owner_of(handle)->add(EV_MARKET_SESSION_REPORT, &session, 1, flag ? 1 : 0);
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

// ---- the table ----

struct sim_case {
    std::string what;
    std::string msg;  // as the server encodes it
    int event;        // EV_NONE: no callback
    bytes record;     // the whole record, every byte
    int flag;
};

std::vector<sim_case> sim_cases() {
    std::vector<sim_case> cases;
    auto add = [&](const std::string& what, const std::string& msg, int ev, const bytes& rec, int flag = -1) {
        cases.push_back(sim_case{what, msg, ev, rec, flag});
    };
    auto none = [&](const std::string& what, const std::string& msg) { add(what, msg, EV_NONE, {}); };

    // 1010.
    add("1010 accept", order_answer(0), EV_ORDER_ACCEPT, expect_order_accept(2, 2).b);
    {
        // Bits 15, 16, 22 and 31: bit 15's code 15 is never the reason code,
        // so 16 is; bit 31 has no text and code 0 (flag at 18).
        buf r = buf::record(2194);
        r.u32(0, USER_LOW).u64(4, ORDER_NO).u32(12, CLIENT_TOKEN).u8(16, 1).u8(17, 16);
        r.u8(18 + 0, 1).u8(18 + 15, 1).u8(18 + 16, 1).u8(18 + 22, 1);
        r.text(146, utf8("下单OrderToken数字校验;账户不存在;暂无可用交易所连接;;"), 1024);
        add("1010 reject mask 0x80418000", order_answer(0x80418000u), EV_ORDER_REJECT, r.b);

        r = buf::record(2194);
        r.u32(0, USER_LOW).u64(4, ORDER_NO).u32(12, CLIENT_TOKEN).u8(16, 1).u8(17, 109).u8(18 + 109, 1);
        r.text(1170, utf8("联合风控账户风控度"), 1024);
        add("1010 reject value 60", order_answer(60), EV_ORDER_REJECT, r.b);
    }
    // 1011: the mask 0x80000001 holds none of the key bits, so it is its own key.
    none("1011 accept", cancel(1011, 0));
    {
        buf r = buf::record(127);
        r.u64(17, MARKET_TOKEN).u32(25, 0x80000001u).text(29, utf8("没有品种权限"), 88);
        r.u32(117, USER_FULL).u32(121, CANCEL_TOKEN).u8(125, 0).u8(126, CANCEL_OPT_3);
        add("1011 reject 0x80000001", cancel(1011, 0x80000001u), EV_CXL_ORDER_REJECT, r.b);
    }
    // 1012.
    add("1012 accept", order_market_answer(0), EV_ORDER_MARKET_ACCEPT,
        expect_market_accept(run(MARKET_FIRST_217, 8), 0).b);
    {
        buf r = buf::record(127);
        r.text(0, ACCOUNT, 17).u64(17, SERVER_ORDER).raw(25, run(MARKET_FIRST_217, 8)).raw(33, U8_1012);
        r.u8(114, EXCHANGE_ID).u32(115, 0x80000457u).u32(119, USER_LOW).u32(123, CLIENT_TOKEN);
        add("1012 reject", order_market_answer(0x80000457u), EV_ORDER_MARKET_REJECT, r.b);
    }
    // 1013.
    none("1013 accept", cancel_market(1013, 0, GB_1013));
    {
        buf r = buf::record(127);
        r.u64(17, MARKET_TOKEN).u32(25, 0x80000123u).raw(29, U8_1013).u32(117, USER_FULL);
        r.u32(121, CANCEL_TOKEN).u8(125, CANCEL_EXCHANGE_ID).u8(126, CANCEL_OPT_3);
        add("1013 reject", cancel_market(1013, 0x80000123u, GB_1013), EV_CXL_ORDER_REJECT, r.b);
    }
    // 1014.
    {
        buf r = buf::record(69);
        r.u32(0, FILL_133).u64(4, FILL_ORDER_NO).u32(12, FILL_42).u64(16, FILL_46).u32(24, FILLED);
        r.f64(28, FILL_PRICE_VALUE).u64(36, 0).text(44, FILL_TEXT, 25);
        add("1014", execution(1014), EV_ORDER_EXECUTION, r.b);
    }
    // 1015: status 1 to 3 an exchange accept with the status, 4 a cancel.
    for (uint8_t status : {1, 2, 3}) {
        add("1015 status " + std::to_string(status), order_report(1015, status, '0'), EV_ORDER_MARKET_ACCEPT,
            expect_market_accept(run(REPORT_FIRST_134, 8), status).b);
    }
    add("1015 status 4", order_report(1015, 4, '0'), EV_ORDER_CXLED, expect_cxled().b);
    none("1015 status 0", order_report(1015, 0, '0'));
    none("1015 status 5", order_report(1015, 5, '0'));
    none("1015 opt_7 '1'", order_report(1015, 2, '1'));
    // 1016: below 4 a posted order, 4 a cancel.
    for (uint8_t status : {0, 1, 2, 3}) {
        add("1016 status " + std::to_string(status), order_report(1016, status, '0'), EV_POST_ORDER,
            expect_post_order(run(REPORT_FIRST_142, 8), 2, status).b);
    }
    add("1016 status 4", order_report(1016, 4, '0'), EV_ORDER_CXLED, expect_cxled().b);
    none("1016 status 5", order_report(1016, 5, '0'));
    none("1016 opt_7 '1'", order_report(1016, 3, '1'));
    // 1017 and 2203: the filled quantity again at 32 from 2203 only.
    add("1017", execution(1017), EV_POST_ORDER_EXECUTION, expect_post_execution(0).b);
    add("2203", execution(2203), EV_POST_ORDER_EXECUTION, expect_post_execution(FILLED).b);
    // 2201: the order number, the identifier at 120, status 0.
    add("2201", internal_order(), EV_POST_ORDER, expect_post_order(le64(ORDER_NO), 2, 0).b);
    // 2202: the eight bytes at 134, no symbol kind, the status as sent.
    add("2202", order_report(2202, 7, OPT_7_OTHER), EV_POST_ORDER,
        expect_post_order(run(REPORT_FIRST_134, 8), 0, 7).b);
    // 1030.
    {
        buf r = buf::record(77);
        r.u32(0, REQUEST_TAG).u32(4, CLIENT_TOKEN).u32(8, SPECIAL_FIELD_24).u32(12, USER_LOW);
        r.raw(16, run(SPECIAL_FIRST_76, 8)).text(24, SPECIAL_ACCOUNT, 17).u8(41, SPECIAL_OPT_1).u32(42, SPECIAL_OPT_2);
        r.text(46, SPECIAL_SYMBOL, 29).u8(75, SPECIAL_OPT_4).u8(76, SPECIAL_OPT_5);
        add("1030 accept", special_order(0), EV_SPECIAL_ACCEPT, r.b);

        // Bits 8, 14, 29 and 31 (no text); no flags, no code.
        r = buf::record(2073);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(SPECIAL_FIRST_76, 8)).u32(16, CLIENT_TOKEN).u8(20, 1);
        r.u32(21, 0xA0004100u);
        r.text(25, utf8("投机套保标志;用户名与账户对应关系出错;合约品种无GIS权限;;"), 1024);
        add("1030 reject mask 0xA0004100", special_order(0xA0004100u), EV_SPECIAL_REJECT, r.b);

        r = buf::record(2073);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(SPECIAL_FIRST_76, 8)).u32(16, CLIENT_TOKEN).u8(20, 1);
        r.u32(21, 4).text(1049, utf8("信息量风控"), 1024);
        add("1030 reject value 4", special_order(4), EV_SPECIAL_REJECT, r.b);
    }
    // 1031: the mask 16|128|1024 is keyed by 128, its first bit in key order.
    {
        buf r = buf::record(28);
        r.u32(0, REQUEST_TAG).u32(4, USER_FULL).u64(8, CANCEL_ORDER_NO).u32(16, OWNER_TOKEN);
        r.u32(20, OWNER_USER).u32(24, MARKET_TOKEN);
        add("1031 accept", cancel(1031, 0), EV_SPECIAL_ACTION_ACCEPT, r.b);

        r = buf::record(116);
        r.u32(0, REQUEST_TAG).u32(4, MARKET_TOKEN).u32(8, 129).text(12, utf8("客户端token错误"), 88);
        r.u32(100, OWNER_USER).u32(104, OWNER_TOKEN).u64(108, CANCEL_ORDER_NO);
        add("1031 reject 16|128|1024", cancel(1031, 16 | 128 | 1024), EV_SPECIAL_ACTION_REJ, r.b);
    }
    // 1032.
    {
        buf r = buf::record(66);
        r.u32(0, REQUEST_TAG).text(4, SPECIAL_ACCOUNT, 17).u32(21, SPECIAL_FIELD_24).text(25, EXCHANGE_ORDER_ID, 25);
        r.raw(50, run(SPECIAL_FIRST_181, 8)).u32(58, USER_LOW).u32(62, CLIENT_TOKEN);
        add("1032 accept", special_order_market(0), EV_SPECIAL_MARKET_ACCEPT, r.b);

        r = buf::record(127);
        r.u32(0, REQUEST_TAG).text(4, SPECIAL_ACCOUNT, 17).u32(21, SPECIAL_FIELD_24).raw(25, run(SPECIAL_FIRST_181, 8));
        r.raw(33, U8_1032).u8(114, 0).u32(115, 0x80000096u).u32(119, USER_LOW).u32(123, CLIENT_TOKEN);
        add("1032 reject", special_order_market(0x80000096u), EV_SPECIAL_MARKET_REJECT, r.b);
    }
    // 1033: the cancel mode is the byte at 30, not the one at 31.
    {
        add("1033 accept", cancel_market(1033, 0, GB_1033), EV_SPECIAL_ACTION_MARKET_ACCEPT,
            expect_special_action_market_head(33).b);
        buf r = expect_special_action_market_head(125);
        r.u32(33, 0x80000044u).raw(37, U8_1033);
        add("1033 reject", cancel_market(1033, 0x80000044u, GB_1033), EV_SPECIAL_ACTION_MARKET_REJECT, r.b);
    }
    // 1034.
    {
        hux_sim::sim_special_order v;
        v.field_4 = static_cast<int32_t>(REQUEST_TAG);
        v.byte_8 = USER_LOW;
        v.byte_9 = 0x99;
        v.field_12 = static_cast<int32_t>(SPECIAL_OPT_2);
        v.byte_16 = SPECIAL_OPT_1;
        v.byte_17 = SPECIAL_OPT_5;
        v.byte_19 = 0xE9;
        v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
        v.field_24 = static_cast<int32_t>(SPECIAL_FIELD_24);
        v.account = SPECIAL_ACCOUNT;
        v.symbol = SPECIAL_SYMBOL;
        v.byte_64 = 0xC0;  // right behind the symbol
        v.exchange_order_id = EXCHANGE_ORDER_ID;
        v.byte_96 = 0x96;
        v.value_97 = str(run(0x61, 8));
        buf r = buf::record(95);
        r.u32(0, REQUEST_TAG).u32(4, USER_LOW).raw(8, run(0x61, 8)).u32(16, SPECIAL_FIELD_24).u32(20, 0);
        r.u8(24, SPECIAL_OPT_1).u32(25, SPECIAL_OPT_2).text(29, SPECIAL_SYMBOL, 20).text(49, SPECIAL_ACCOUNT, 17);
        r.u8(66, 0x99).u8(67, 0).u8(68, 0x96).text(69, EXCHANGE_ORDER_ID, 25).u8(94, SPECIAL_OPT_5);
        add("1034", hux_sim::special_order_message(v), EV_POST_SPECIAL_ORDER, r.b);
    }
    // 1084: the flag is true only for 1 at 13.
    {
        bytes sessions(255);
        for (size_t i = 0; i < sessions.size(); ++i) sessions[i] = static_cast<uint8_t>(0xFF - i);
        hux_sim::sim_market_sessions v;
        v.exchange_id = EXCHANGE_ID;
        v.last = 1;
        v.count = 0xF4;
        v.sessions = str(sessions);
        buf r = buf::record(257);
        r.u8(0, EXCHANGE_ID).u8(1, 0xF4).raw(2, sessions);
        add("1084 last", hux_sim::market_session_answer(v), EV_QUERY_MARKET_SESSION, r.b, 1);
        v.last = 0x81;
        add("1084 not last", hux_sim::market_session_answer(v), EV_QUERY_MARKET_SESSION, r.b, 0);
    }
    // 1085: the session byte at 9, the flag true only for 1 at 8.
    {
        hux_sim::sim_session_stat v;
        v.flag = 1;
        v.session = 0xE9;
        v.session_qv27 = 0x5B;
        add("1085 flag", hux_sim::session_stat_report(v), EV_MARKET_SESSION_REPORT, {0xE9}, 1);
        v.flag = 0x81;
        add("1085 no flag", hux_sim::session_stat_report(v), EV_MARKET_SESSION_REPORT, {0xE9}, 0);
    }
    // 1086 and 1087: 19 characters of the symbol and 8 of the short text kept.
    {
        buf r = buf::record(36);
        r.u8(0, 0xE8).text(1, "STATUSSYMBOL0123456", 20).u8(21, 0xF0).u32(22, 0x84140041u);
        r.text(26, "SHORTTEX", 9).u8(35, 0xF4);
        add("1086", hux_sim::symbol_status_message(false, symbol_status(0)), EV_SYMBOL_STATUS_REPORT, r.b);
        add("1087 entry", hux_sim::symbol_status_message(true, symbol_status(0)), EV_QUERY_SYMBOL_STATUS, r.b, 0);
        add("1087 end", hux_sim::symbol_status_message(true, symbol_status(0x80)), EV_QUERY_SYMBOL_STATUS,
            bytes(36, 0), 1);
    }
    // 1094: 16 characters of the session text; the bytes widened.
    {
        hux_sim::sim_session_id v;
        v.session = "SESSIONID0123456X";  // fills its 17 bytes
        v.byte_a = 0xF3;
        v.byte_b = 0xE4;
        buf r = buf::record(25);
        r.text(0, "SESSIONID0123456", 17).u32(17, 0xF3).u32(21, 0xE4);
        add("1094", hux_sim::session_id_answer(v), EV_QUERY_SESSION_ID, r.b);
    }
    // Consumed with no callback: the quote answers, whatever their verdict,
    // the product status report and the heart-beat answer.
    none("1018 accept", hux_sim::adapter_quote_message(1018, quote(0)));
    none("1018 reject", hux_sim::adapter_quote_message(1018, quote(0x80000018u)));
    none("1019 accept", cancel(1019, 0));
    none("1019 reject", cancel(1019, 4));
    none("1020 accept", hux_sim::adapter_quote_message(1020, quote(0)));
    none("1020 reject", hux_sim::adapter_quote_message(1020, quote(0x80000020u)));
    none("1021 accept", cancel_market(1021, 0, GB_1013));
    none("1021 reject", cancel_market(1021, 0x80000021u, GB_1013));
    none("1022", hux_sim::adapter_quote_message(1022, quote(0x80000022u)));
    none("1023", hux_sim::adapter_quote_message(1023, quote(0x80000023u)));
    {
        hux_sim::sim_prod_status v;
        v.first = 0x89;
        v.product = "PRODUCT0123456789ABC";
        v.byte_a = 0xA1;
        v.byte_b = 0xB1;
        v.value = static_cast<int32_t>(0x80890089u);
        v.short_text = "PRODTEXT!";
        v.byte_c = 0xC1;
        none("1089", hux_sim::prod_status_report(v));
    }
    none("1200", sim_trade_server::heart_beat_answer(sim_config()));
    // Unknown to the adapter: skipped by their length fields.
    {
        hux_sim::sim_combo_answer v;
        v.request_tag = static_cast<int32_t>(REQUEST_TAG);
        v.user_id_low = USER_LOW;
        v.exchange_id = EXCHANGE_ID;
        v.opt_2 = 0x0A;
        v.opt_5 = 0x0C;
        v.opt_3 = 0x0D;
        v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
        v.opt_1 = 0x18;
        v.field_22 = 0x22;
        v.account = ACCOUNT;
        v.legs = std::string(80, 'L');
        v.byte_122 = 0x7A;
        v.result = 0x80001025u;
        v.value8 = str(run(0x48, 8));
        none("1025 unknown", hux_sim::combo_answer(1025, v));
    }
    {
        sim_config cfg;
        cfg.accounts = {{"ACCOUNT-1061", 7}};
        std::string all;
        for (const std::string& m : sim_trade_server::account_list(cfg)) all += m;
        none("1061 unknown", all);
    }
    {
        hux_sim::sim_account_bp v;
        v.request_no = 0x81;
        v.account = ACCOUNT;
        for (size_t i = 0; i < v.figures.size(); ++i) v.figures[i] = 1.5 + static_cast<double>(i);
        v.flag = 1;
        none("1081 unknown", hux_sim::account_bp_answer(v));
    }
    {
        hux_sim::sim_order_adjust_rej v;
        v.request_tag = static_cast<int32_t>(REQUEST_TAG);
        v.user_low = USER_LOW;
        v.exchange_id = EXCHANGE_ID;
        v.opt_4 = OPT_4;
        v.client_token = static_cast<int32_t>(CLIENT_TOKEN);
        v.field_56 = static_cast<int32_t>(SERVER_ORDER);
        v.account = ACCOUNT;
        v.reason = 0x2204;
        v.value_217 = str(run(0x17, 8));
        none("2204 unknown", hux_sim::order_adjust_rej_message(v));
    }
    return cases;
}

// ---- the session ----

// A fresh working directory for the session's logs, removed at the end.
class scratch_cwd {
public:
    scratch_cwd() {
        char tmpl[] = "/tmp/hux_answers_sim_XXXXXX";
        const char* made = mkdtemp(tmpl);
        EXPECT_NE(made, nullptr);
        m_path = made ? made : "";
        char cwd[4096];
        m_old = getcwd(cwd, sizeof(cwd)) ? cwd : "/tmp";
        if (made) {
            EXPECT_EQ(chdir(made), 0);
        }
    }
    ~scratch_cwd() {
        EXPECT_EQ(chdir(m_old.c_str()), 0);
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    scratch_cwd(const scratch_cwd&) = delete;
    scratch_cwd& operator=(const scratch_cwd&) = delete;

private:
    std::string m_path;
    std::string m_old;
};

class owner_events : public HUX_ADAPTER::TradeClientEvent {
public:
    void on_trade_client_connect_event(int code, const char*) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_codes.push_back(code);
        }
        m_changed.notify_all();
    }
    void on_trade_client_logon_event(HUX_LogonResponse* rsp) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_logons.push_back(*rsp);
        }
        m_changed.notify_all();
    }
    bool wait_connected() {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, wait_limit(), [&] {
            for (int c : m_codes) {
                if (c == 0) return true;
            }
            return false;
        });
    }
    bool wait_logon(HUX_LogonResponse& rsp) {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_changed.wait_for(lock, wait_limit(), [&] { return !m_logons.empty(); })) return false;
        rsp = m_logons.front();
        return true;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int> m_codes;
    std::vector<HUX_LogonResponse> m_logons;
};

class AnswersOverTheWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(srv.listening());
        sim_config cfg;
        cfg.password = "pw";
        cfg.user_id = 1001;
        ASSERT_TRUE(srv.set_config(cfg));
        HUX_ADAPTER::TradeClientTimings t = client.GetTimings();
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        t.heart_beat_tick_ms = 5;
        client.SetTimings(t);
        set_every_callback(client.Events());

        HUX_TradeSvrInfo info;
        std::strcpy(info.server_ip, "127.0.0.1");
        info.tcp_port = srv.port();
        info.heartbeat_interval = 0;
        ASSERT_TRUE(client.ConnServer(info));
        ASSERT_TRUE(events.wait_connected());
        ASSERT_TRUE(srv.wait_for_connection(conn, wait_limit()));

        // The owner's part of the logon: the version report; the session
        // sends its logon request on the version answer.
        client.SaveLoginInfo("trader01", "pw", "app-x", "AUTH123");
        HUX_TRADE_WIRE::report_version version;
        HUX_TRADE_WIRE::build_report_version(version, "trader01");
        ASSERT_EQ(client.SendMsgToHux("report_version", reinterpret_cast<char*>(&version), sizeof(version),
                                      HUX_TRADE_WIRE::SEND_DIRECTION_TCP),
                  static_cast<int>(sizeof(version)));
        HUX_LogonResponse rsp;
        ASSERT_TRUE(events.wait_logon(rsp));
        ASSERT_EQ(rsp.result, 0);
        ASSERT_EQ(rsp.user_id, 1001u);
        ASSERT_TRUE(client.IsLogon());
    }

    // Checks the events of one case, its marker last.
    void check(const sim_case& c, const std::vector<event_seen>& got, uint8_t seq) {
        SCOPED_TRACE(c.what);
        const size_t want = c.event == EV_NONE ? 1 : 2;
        ASSERT_EQ(got.size(), want) << "one callback per message, then the marker";
        EXPECT_TRUE(is_marker(got.back(), seq));
        if (c.event == EV_NONE) return;
        const event_seen& e = got.front();
        EXPECT_EQ(e.id, c.event);
        EXPECT_EQ(e.flag, c.flag);
        ASSERT_EQ(e.record.size(), c.record.size());
        EXPECT_TRUE(e.record == c.record) << first_difference(e.record, c.record);
    }

    scratch_cwd cwd;  // first: the session's logs go there
    sim_trade_server srv;
    owner_events events;
    recorder rec;
    CTradeClient client{&rec, &events, nullptr};
    const size_t conn = 0;  // the server's first and only connection
};

TEST_F(AnswersOverTheWire, EachMessageAloneReachesItsCallbackWithEveryRecordByte) {
    const std::vector<sim_case> cases = sim_cases();
    ASSERT_LT(cases.size(), 100u);  // the markers' numbers stay clear of the 1085 cases' 0xE9
    for (size_t i = 0; i < cases.size(); ++i) {
        const sim_case& c = cases[i];
        const uint8_t seq = static_cast<uint8_t>(i + 1);
        const size_t from = rec.size();
        ASSERT_TRUE(srv.send_raw(conn, c.msg + marker(seq))) << c.what;
        // A message cut at a wrong length loses the marker behind it.
        ASSERT_TRUE(rec.wait_marker(from, seq)) << c.what << ": the message behind it never arrived";
        check(c, rec.since(from), seq);
    }
    EXPECT_TRUE(client.IsConnect());
    EXPECT_TRUE(client.IsLogon());
}

TEST_F(AnswersOverTheWire, AllMessagesInRandomPiecesGiveTheSameRecordsInOrder) {
    const std::vector<sim_case> cases = sim_cases();
    ASSERT_LT(cases.size(), 100u);
    std::string stream;
    for (size_t i = 0; i < cases.size(); ++i) stream += cases[i].msg + marker(static_cast<uint8_t>(100 + i));
    const size_t from = rec.size();
    ASSERT_TRUE(srv.send_raw_random(conn, stream, 20240607u, 23));
    ASSERT_TRUE(rec.wait_marker(from, static_cast<uint8_t>(100 + cases.size() - 1)));
    const std::vector<event_seen> got = rec.since(from);
    size_t at = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        const size_t n = cases[i].event == EV_NONE ? 1 : 2;
        ASSERT_LE(at + n, got.size()) << cases[i].what;
        const auto begin = got.begin() + static_cast<long>(at);
        check(cases[i], std::vector<event_seen>(begin, begin + static_cast<long>(n)), static_cast<uint8_t>(100 + i));
        at += n;
    }
    EXPECT_EQ(at, got.size());
    EXPECT_TRUE(client.IsConnect());
    EXPECT_TRUE(client.IsLogon());
}

}  // namespace

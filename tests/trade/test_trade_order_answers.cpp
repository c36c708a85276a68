// The trade session's order, cancel, quote, combination and special-order
// answers: every message type split into accept and reject, each record read
// field by field after every partial delivery, the reason texts of each text
// path in UTF-8, both server editions where they differ, and messages that
// arrive before the logon.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_order_answers.h"
#include "tests/support/session_support.h"

using namespace trade_test;

namespace {

// Which callback ran: the message type, and 1 for its reject record.
int kind(int type, bool reject) { return type * 10 + (reject ? 1 : 0); }

// Sets every answer slot, except the one of kind `except`.
void set_all_callbacks(CTradeClient& c, int except = 0) {
    HUX_TRADE::trade_answer_events& e = c.AnswerEvents();
#define HUX_SLOT(name, KIND, R) e.name.store(except == KIND ? nullptr : &log_record<KIND, R>)
    HUX_SLOT(OrderAccept, 10100, HUX_OrderAcceptField);
    HUX_SLOT(OrderReject, 10101, HUX_OrderRejectField);
    HUX_SLOT(OrderActionAccept, 10110, HUX_OrderActionAccept);
    HUX_SLOT(OrderActionReject, 10111, HUX_OrderActionRej);
    HUX_SLOT(OrderMarketAccept, 10120, HUX_OrderMarketAcceptField);
    HUX_SLOT(OrderMarketReject, 10121, HUX_OrderMarketRejectField);
    HUX_SLOT(OrderActionMarketAccept, 10130, HUX_OrderActionMarketAcceptField);
    HUX_SLOT(OrderActionMarketReject, 10131, HUX_OrderActionMarketRejectField);
    HUX_SLOT(QuoteAccept, 10180, HUX_QuoteAcceptField);
    HUX_SLOT(QuoteReject, 10181, HUX_QuoteRejectField);
    HUX_SLOT(QuoteActionAccept, 10190, HUX_QuoteActionAccept);
    HUX_SLOT(QuoteActionReject, 10191, HUX_QuoteActionRej);
    HUX_SLOT(QuoteMarketAccept, 10200, HUX_QuoteMarketAcceptField);
    HUX_SLOT(QuoteMarketReject, 10201, HUX_QuoteMarketRejectField);
    HUX_SLOT(QuoteActionMarketAccept, 10210, HUX_QuoteActionMarketAcceptField);
    HUX_SLOT(QuoteActionMarketReject, 10211, HUX_QuoteActionMarketRejectField);
    HUX_SLOT(QuoteMarketReport, 10220, HUX_QuoteMarketReportField);
    HUX_SLOT(PostQuote, 10230, HUX_PostQuote);
    HUX_SLOT(ComboAccept, 10250, HUX_ComboAcceptField);
    HUX_SLOT(ComboReject, 10251, HUX_ComboRejectField);
    HUX_SLOT(ComboMarketAccept, 10260, HUX_ComboMarketAcceptField);
    HUX_SLOT(ComboMarketReject, 10261, HUX_ComboMarketRejectField);
    HUX_SLOT(SpecialOrderAccept, 10300, HUX_SpecialOrderAcceptField);
    HUX_SLOT(SpecialOrderReject, 10301, HUX_SpecialOrderRejectField);
    HUX_SLOT(SpecialOrderActionAccept, 10310, HUX_SpecialOrderActionAccept);
    HUX_SLOT(SpecialOrderActionReject, 10311, HUX_SpecialOrderActionRej);
    HUX_SLOT(SpecialOrderMarketAccept, 10320, HUX_SpecialOrderMarketAcceptField);
    HUX_SLOT(SpecialOrderMarketReject, 10321, HUX_SpecialOrderMarketRejectField);
    HUX_SLOT(SpecialOrderActionMarketAccept, 10330, HUX_SpecialOrderActionMarketAcceptField);
    HUX_SLOT(SpecialOrderActionMarketReject, 10331, HUX_SpecialOrderActionMarketRejectField);
#undef HUX_SLOT
}

// A session with every answer slot set; logged on to a simulated server of
// the given edition (6: qv27), which stays quiet afterwards, so that the
// test thread feeds the messages directly.
struct session : recording_session {
    explicit session(uint8_t edition = 0, bool logon = true) {
        set_all_callbacks(*client);
        if (!logon) return;
        hux_sim::sim_config cfg;
        cfg.server_edition = edition;
        EXPECT_TRUE(recording_session::logon(cfg));
        EXPECT_EQ(client->IsQv27Version(), edition == 6);
    }
};

template <class T>
T as(const event& e) {
    return record_as<T>(e);
}

// Texts that fill their wire fields.
const std::string kAccount = "ACCOUNT-ABCDEFGH";                  // 16
const std::string kSymbol = "SYMBOL-ABCDEFGHIJKLM";               // 20
const std::string kIdent = "EXCHANGE-ORDER-ID-ABCDEF";            // 24
const std::string kValue8 = "V8-ABCDE";                           // 8
const std::string kGbkFunds = "\xD7\xCA\xBD\xF0\xB2\xBB\xD7\xE3";  // "资金不足" in GBK

struct answer_case {
    const char* name;
    uint8_t edition;  // 0 ordinary, 6 qv27
    std::string wire;
    int kind;
    std::function<void(const event&)> check;
};

hux_sim::sim_order_answer order_values() {
    hux_sim::sim_order_answer v;
    v.request_tag = 1001;
    v.user_id_low = 0xC8;  // widened without sign: 200
    v.field_10 = 0xA10B;
    v.opt_4 = 0x13;
    v.side = 0x11;
    v.opt_5 = 0x12;
    v.opt_1 = 0xF9;
    v.client_token = 2002;
    v.quantity = 3003;
    v.opt_2 = 4004;
    v.price = -123456;
    v.opt_3 = 5005;
    v.field_56 = 6006;
    v.account = kAccount;
    v.symbol = kSymbol;
    v.order_no = 0x0102030405060708LL;
    return v;
}

hux_sim::sim_cancel_answer cancel_values() {
    hux_sim::sim_cancel_answer v;
    v.request_tag = 11;
    v.user_id = 12;
    v.client_token = 13;
    v.market_token = 14;
    v.owner_user_id = 15;
    v.owner_token = 16;
    v.opt_1 = 0x17;
    v.byte_29 = 2;
    v.opt_3 = 0x18;
    v.cancel_mode = 0x19;
    v.byte_32 = 0x1A;
    v.order_no = -0x1B1C1D1E1F2021LL;
    return v;
}

hux_sim::sim_cancel_market_answer cancel_market_values() {
    hux_sim::sim_cancel_market_answer v;
    v.request_tag = 21;
    v.user_id = 22;
    v.client_token = 23;
    v.market_token = 24;
    v.owner_user_id = 25;
    v.owner_token = 26;
    v.opt_1 = 0x27;
    v.opt_3 = 0x28;
    v.cancel_mode = 0x29;
    v.byte_32 = 0x2A;
    v.byte_35 = 0x2B;
    v.value8 = kValue8;
    v.exchange_id = 103;
    return v;
}

hux_sim::sim_quote_answer quote_values() {
    hux_sim::sim_quote_answer v;
    v.request_tag = 31;
    v.user_id_low = 0xE1;
    v.field_10 = 0x3132;
    v.exchange_id = 0x33;
    v.opt_6 = 0x34;
    v.opt_5 = 0xF5;
    v.quantity_1 = 36;
    v.quantity_2 = 37;
    v.price_1 = 380001;
    v.price_2 = -390002;
    v.opt_2 = 0x40;
    v.opt_4 = 0x41;
    v.opt_1 = 0x42;
    v.opt_3 = 0x43;
    v.client_token = 44;
    v.opt_8 = 48;
    v.byte_52 = 0x52;
    v.account = kAccount;
    v.symbol = kSymbol;
    v.quote_text_1 = kIdent;
    v.field_116 = 116;
    v.field_120 = 120;
    v.field_124 = 124;
    v.quote_text_2 = "QUOTE-TEXT-2-ABCDEFGHIJK";  // 24
    v.value8 = kValue8;
    v.texts[0] = "TEXT-ONE-ABCDEFGHIJKLMNO";
    v.texts[1] = "TEXT-TWO-ABCDEFGHIJKLMNO";
    v.texts[2] = "TEXT-THREE-ABCDEFGHIJKLM";
    v.byte_268 = 0x68;
    v.value_269 = "V269-ABCDEFGHIJK";  // 16
    return v;
}

hux_sim::sim_combo_answer combo_values() {
    hux_sim::sim_combo_answer v;
    v.request_tag = 51;
    v.user_id_low = 0xD2;
    v.exchange_id = 0x53;
    v.opt_2 = 0x54;
    v.opt_5 = 0x55;
    v.opt_3 = 0x56;
    v.client_token = 57;
    v.opt_1 = 58;
    v.field_22 = 59;
    v.account = kAccount;
    v.legs = std::string(79, 'L') + "M";  // 80
    v.byte_122 = 0x7A;
    v.value8 = kValue8;
    return v;
}

// What every record of a family echoes from the values above.
template <class R>
void expect_market_order_echo(const R& r) {  // 1012
    EXPECT_EQ(val(r.request_tag), 61);
    EXPECT_EQ(field(r.account), kAccount + '\0');
    EXPECT_EQ(val(r.field_56), 68);
    EXPECT_EQ(field(r.value_217), kValue8);
    EXPECT_EQ(val(r.user_id), 0xE2);
    EXPECT_EQ(val(r.client_token), 66);
    EXPECT_EQ(r.opt_4, 0x64);
    EXPECT_EQ(r.field_49, 0x67);
}
template <class R>
void expect_cancel_echo(const R& r) {  // 1011, 1019, 1031
    EXPECT_EQ(val(r.request_tag), 11);
    EXPECT_EQ(val(r.market_token), 14);
    EXPECT_EQ(val(r.owner_token), 16);
}
template <class R>
void expect_cancel_market_echo(const R& r) {  // 1013, 1021, 1033
    EXPECT_EQ(val(r.request_tag), 21);
    EXPECT_EQ(val(r.market_token), 24);
    EXPECT_EQ(val(r.user_id), 22);
    EXPECT_EQ(val(r.client_token), 23);
    EXPECT_EQ(val(r.owner_user_id), 25);
    EXPECT_EQ(val(r.owner_token), 26);
    EXPECT_EQ(r.opt_1, 0x27);
}
template <class R>
void expect_order_cancel_market_echo(const R& r) {  // 1013, 1021
    expect_cancel_market_echo(r);
    EXPECT_EQ(r.opt_3, 0x28);
    EXPECT_EQ(r.cancel_mode, 0x29);
    EXPECT_EQ(r.field_32, 0x2A);
}
template <class R>
void expect_quote_echo(const R& r) {  // 1018, 1020, 1022, 1023
    EXPECT_EQ(val(r.request_tag), 31);
    EXPECT_EQ(val(r.user_id), 0xE1);
    EXPECT_EQ(val(r.field_116), 116);
    EXPECT_EQ(val(r.field_120), 120);
    EXPECT_EQ(val(r.field_124), 124);
    EXPECT_EQ(field(r.quote_text_2), "QUOTE-TEXT-2-ABCDEFGHIJK");
}
template <class R>
void expect_quote_report_echo(const R& r) {  // 1022, 1023
    expect_quote_echo(r);
    EXPECT_EQ(field(r.account), kAccount + '\0');
    EXPECT_EQ(field(r.symbol), kSymbol);  // 20 bytes, no terminator
    EXPECT_EQ(val(r.quantity_1), 36);
    EXPECT_EQ(val(r.quantity_2), 37);
    EXPECT_EQ(val(r.price_1), 38.0001);
    EXPECT_EQ(val(r.price_2), -39.0002);
    EXPECT_EQ(r.opt_1, 0x42);
    EXPECT_EQ(r.opt_2, 0x40);
    EXPECT_EQ(r.opt_3, 0x43);
    EXPECT_EQ(r.opt_4, 0x41);
    EXPECT_EQ(field(r.text_1), std::string("TEXT-ONE-ABCDEFGHIJKLMNO") + '\0');
    EXPECT_EQ(field(r.text_2), std::string("TEXT-TWO-ABCDEFGHIJKLMNO") + '\0');
    EXPECT_EQ(field(r.text_3), std::string("TEXT-THREE-ABCDEFGHIJKLM") + '\0');
    EXPECT_EQ(r.field_268, 0x68);
    EXPECT_EQ(r.field_52, 0x52);
}
template <class R>
void expect_combo_echo(const R& r) {  // 1025, 1026
    EXPECT_EQ(val(r.request_tag), 51);
    EXPECT_EQ(val(r.user_id), 0xD2);
    EXPECT_EQ(val(r.client_token), 57);
}
template <class R>
void expect_special_echo(const R& r) {  // 1030
    EXPECT_EQ(val(r.request_tag), 71);
    EXPECT_EQ(val(r.user_id), 0xF2);
    EXPECT_EQ(field(r.value_76), kValue8);
    EXPECT_EQ(val(r.client_token), 78);
    EXPECT_EQ(r.opt_8, 0x77);
}
template <class R>
void expect_special_market_echo(const R& r) {  // 1032
    EXPECT_EQ(val(r.request_tag), 81);
    EXPECT_EQ(field(r.account), kAccount + '\0');
    EXPECT_EQ(val(r.field_24), 87);
    EXPECT_EQ(field(r.value_181), kValue8);
    EXPECT_EQ(val(r.user_id), 0x82);
    EXPECT_EQ(val(r.client_token), 86);
    EXPECT_EQ(r.opt_4, 0x84);
    EXPECT_EQ(r.field_64, 0x88);
    EXPECT_EQ(r.opt_8, 0x85);
}

std::vector<answer_case> all_cases() {
    std::vector<answer_case> cases;

    // ---- 1010
    {
        hux_sim::sim_order_answer v = order_values();
        v.risk_mask = 2;  // an ordinary server does not look at it
        cases.push_back({"1010 accept", 0, hux_sim::order_insert_answer(v), kind(1010, false), [](const event& e) {
                             HUX_OrderAcceptField r = as<HUX_OrderAcceptField>(e);
                             EXPECT_EQ(val(r.request_tag), 1001);
                             EXPECT_EQ(val(r.client_token), 2002);
                             EXPECT_EQ(val(r.field_56), 6006);
                             EXPECT_EQ(val(r.user_id), 200);
                             EXPECT_EQ(val(r.order_no), 0x0102030405060708LL);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(r.side, 0x11);
                             EXPECT_EQ(field(r.symbol), kSymbol);  // no terminator
                             EXPECT_EQ(val(r.price), -12.3456);
                             EXPECT_EQ(val(r.quantity), 3003);
                             EXPECT_EQ(r.result_flag, 0);
                             EXPECT_EQ(val(r.opt_2), 4004);
                             EXPECT_EQ(val(r.opt_3), 5005);
                             EXPECT_EQ(r.opt_4, 0x13);
                             EXPECT_EQ(r.opt_5, 0x12);
                             EXPECT_EQ(val(r.opt_1), 0xF9);
                         }});
        // The same message is a reject from a qv27 server: risk mask 2.
        cases.push_back({"1010 qv27 risk reject", 6, hux_sim::order_insert_answer(v), kind(1010, true),
                         [](const event& e) {
                             HUX_OrderRejectField r = as<HUX_OrderRejectField>(e);
                             EXPECT_EQ(val(r.request_tag), 1001);
                             EXPECT_EQ(val(r.user_id), 200);
                             EXPECT_EQ(val(r.order_no), 0x0102030405060708LL);
                             EXPECT_EQ(val(r.client_token), 2002);
                             EXPECT_EQ(r.result_flag, 1);
                             EXPECT_EQ(val(r.reason), 0u);
                             EXPECT_STREQ(r.reason_text_1, "");
                             EXPECT_STREQ(r.reason_text_2, "1:资金不足;");
                             EXPECT_EQ(val(r.risk_check_mask), 2u);
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(val(r.field_10), 0xA10B);
                             EXPECT_EQ(r.side, 0x11);
                         }});
        v.risk_mask = 0;
        v.symbol = "IF2406";
        v.price = 123456;
        cases.push_back({"1010 qv27 accept", 6, hux_sim::order_insert_answer(v), kind(1010, false),
                         [](const event& e) {
                             HUX_OrderAcceptField r = as<HUX_OrderAcceptField>(e);
                             EXPECT_EQ(field(r.symbol), padded("IF2406", 20));
                             EXPECT_EQ(val(r.price), 12.3456);
                         }});
        v.result = 129;
        v.risk_mask = 0x80000000u;
        cases.push_back({"1010 qv27 mask reject", 6, hux_sim::order_insert_answer(v), kind(1010, true),
                         [](const event& e) {
                             HUX_OrderRejectField r = as<HUX_OrderRejectField>(e);
                             EXPECT_EQ(val(r.reason), 129u);
                             EXPECT_STREQ(r.reason_text_1, "0:整体校验结果;7:交易所编号不合法;");
                             EXPECT_STREQ(r.reason_text_2, "31:;");
                             EXPECT_EQ(val(r.risk_check_mask), 0x80000000u);
                             EXPECT_EQ(field(r.symbol), padded("IF2406", 20));
                         }});
        cases.push_back({"1010 ordinary mask reject", 0, hux_sim::order_insert_answer(v), kind(1010, true),
                         [](const event& e) {
                             HUX_OrderRejectField r = as<HUX_OrderRejectField>(e);
                             EXPECT_EQ(val(r.reason), 129u);
                             EXPECT_STREQ(r.reason_text_1, "整体校验结果;交易所编号不合法;");
                             EXPECT_STREQ(r.reason_text_2, "");
                             EXPECT_EQ(val(r.risk_check_mask), 0u);  // not read from an ordinary server
                         }});
        v.result = 3;
        cases.push_back({"1010 ordinary code reject", 0, hux_sim::order_insert_answer(v), kind(1010, true),
                         [](const event& e) {
                             HUX_OrderRejectField r = as<HUX_OrderRejectField>(e);
                             EXPECT_EQ(val(r.reason), 3u);
                             EXPECT_STREQ(r.reason_text_1, "");
                             EXPECT_STREQ(r.reason_text_2, "禁止交易");
                         }});
    }

    // ---- 1012
    {
        hux_sim::sim_order_market_answer v;
        v.request_tag = 61;
        v.user_id_low = 0xE2;
        v.field_10 = 0x6263;
        v.exchange_id = 104;
        v.opt_4 = 0x64;
        v.side = 0x65;
        v.client_token = 66;
        v.field_49 = 0x67;
        v.field_56 = 68;
        v.account = kAccount;
        v.symbol = kSymbol;
        v.exchange_order_id = kIdent;
        v.value8 = kValue8;
        v.exchange_text = kGbkFunds;
        cases.push_back({"1012 accept", 0, hux_sim::order_insert_market_answer(v), kind(1012, false),
                         [](const event& e) {
                             HUX_OrderMarketAcceptField r = as<HUX_OrderMarketAcceptField>(e);
                             expect_market_order_echo(r);
                             EXPECT_EQ(field(r.exchange_order_id), kIdent + '\0');
                         }});
        v.result = -20001;
        cases.push_back({"1012 reject", 0, hux_sim::order_insert_market_answer(v), kind(1012, true),
                         [](const event& e) {
                             HUX_OrderMarketRejectField r = as<HUX_OrderMarketRejectField>(e);
                             expect_market_order_echo(r);
                             EXPECT_EQ(field(r.reason_text), padded("资金不足", 81));
                             EXPECT_EQ(r.exchange_id, 104);
                             EXPECT_EQ(val(r.reason_code), -20001);
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(val(r.field_10), 0x6263);
                             EXPECT_EQ(r.side, 0x65);
                         }});
    }

    // ---- 1011, 1019, 1031
    {
        hux_sim::sim_cancel_answer v = cancel_values();
        cases.push_back({"1011 accept", 0, hux_sim::cancel_answer(1011, v), kind(1011, false), [](const event& e) {
                             HUX_OrderActionAccept r = as<HUX_OrderActionAccept>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(val(r.user_id), 12);
                             EXPECT_EQ(val(r.order_no), -0x1B1C1D1E1F2021LL);
                             EXPECT_EQ(val(r.owner_user_id), 15);
                             EXPECT_EQ(r.opt_3, 0x18);
                         }});
        cases.push_back({"1019 accept", 0, hux_sim::cancel_answer(1019, v), kind(1019, false), [](const event& e) {
                             HUX_QuoteActionAccept r = as<HUX_QuoteActionAccept>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(field(r.reserved), std::string(4, '\0'));
                             EXPECT_EQ(r.opt_1, 0x17);
                             EXPECT_EQ(r.flag, 1);  // byte 29 is 2
                             EXPECT_EQ(r.opt_3, 0x18);
                             EXPECT_EQ(r.cancel_mode, 0x19);
                             EXPECT_EQ(val(r.owner_user_id), 15);
                             EXPECT_EQ(val(r.field_48), -0x1B1C1D1E1F2021LL);
                         }});
        cases.push_back({"1031 accept", 0, hux_sim::cancel_answer(1031, v), kind(1031, false), [](const event& e) {
                             HUX_SpecialOrderActionAccept r = as<HUX_SpecialOrderActionAccept>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(val(r.user_id), 12);
                             EXPECT_EQ(val(r.order_no), -0x1B1C1D1E1F2021LL);
                             EXPECT_EQ(val(r.owner_user_id), 15);
                         }});
        v.byte_29 = 3;
        hux_sim::sim_cancel_answer flag_0 = v;
        cases.push_back({"1019 accept flag 0", 0, hux_sim::cancel_answer(1019, flag_0), kind(1019, false),
                         [](const event& e) { EXPECT_EQ(as<HUX_QuoteActionAccept>(e).flag, 0); }});
        v.result = 2;
        cases.push_back({"1011 ordinary reject", 0, hux_sim::cancel_answer(1011, v), kind(1011, true),
                         [](const event& e) {
                             HUX_OrderActionRej r = as<HUX_OrderActionRej>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(val(r.reason_mask), 2u);
                             EXPECT_STREQ(r.reason_text, "订单未被市场接收就发来了撤单;");
                             EXPECT_EQ(val(r.owner_user_id), 15);
                             EXPECT_EQ(r.opt_3, 0x18);
                             EXPECT_EQ(val(r.order_no), -0x1B1C1D1E1F2021LL);
                         }});
        cases.push_back({"1011 qv27 reject", 6, hux_sim::cancel_answer(1011, v), kind(1011, true),
                         [](const event& e) {
                             EXPECT_STREQ(as<HUX_OrderActionRej>(e).reason_text, "订单尚未被市场接受;");
                         }});
        cases.push_back({"1019 qv27 reject", 6, hux_sim::cancel_answer(1019, v), kind(1019, true),
                         [](const event& e) {
                             HUX_QuoteActionRej r = as<HUX_QuoteActionRej>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(val(r.reason_mask), 2u);
                             EXPECT_STREQ(r.reason_text, "订单尚未被市场接受;");
                             EXPECT_EQ(val(r.user_id), 12);
                             EXPECT_EQ(r.opt_3, 0x18);
                             EXPECT_EQ(val(r.field_48), -0x1B1C1D1E1F2021LL);
                         }});
        cases.push_back({"1019 ordinary reject", 0, hux_sim::cancel_answer(1019, v), kind(1019, true),
                         [](const event& e) {
                             EXPECT_STREQ(as<HUX_QuoteActionRej>(e).reason_text, "订单未被市场接收就发来了撤单;");
                         }});
        // Special-order cancels use the ordinary table on a qv27 server too.
        v.result = 6;
        cases.push_back({"1031 qv27 reject", 6, hux_sim::cancel_answer(1031, v), kind(1031, true),
                         [](const event& e) {
                             HUX_SpecialOrderActionRej r = as<HUX_SpecialOrderActionRej>(e);
                             expect_cancel_echo(r);
                             EXPECT_EQ(val(r.reason_mask), 6u);
                             EXPECT_STREQ(r.reason_text, "订单未被市场接收就发来了撤单;撤单ID不存在;");
                             EXPECT_EQ(val(r.owner_user_id), 15);
                             EXPECT_EQ(val(r.order_no), -0x1B1C1D1E1F2021LL);
                         }});
    }

    // ---- 1013, 1021, 1033
    {
        hux_sim::sim_cancel_market_answer v = cancel_market_values();
        cases.push_back({"1013 accept", 0, hux_sim::cancel_market_answer(1013, v), kind(1013, false),
                         [](const event& e) {
                             HUX_OrderActionMarketAcceptField r = as<HUX_OrderActionMarketAcceptField>(e);
                             expect_order_cancel_market_echo(r);
                             EXPECT_EQ(field(r.value_129), kValue8);
                         }});
        cases.push_back({"1021 accept", 0, hux_sim::cancel_market_answer(1021, v), kind(1021, false),
                         [](const event& e) {
                             HUX_QuoteActionMarketAcceptField r = as<HUX_QuoteActionMarketAcceptField>(e);
                             expect_order_cancel_market_echo(r);
                             EXPECT_EQ(field(r.value_130), kValue8);
                         }});
        cases.push_back({"1033 accept", 0, hux_sim::cancel_market_answer(1033, v), kind(1033, false),
                         [](const event& e) {
                             HUX_SpecialOrderActionMarketAcceptField r = as<HUX_SpecialOrderActionMarketAcceptField>(e);
                             expect_cancel_market_echo(r);
                             EXPECT_EQ(r.cancel_mode, 0x28);  // byte 30
                             EXPECT_EQ(field(r.value_129), kValue8);
                             EXPECT_EQ(r.field_35, 0x2B);
                         }});
        v.result = 24;  // "报单找不到" in the first map
        cases.push_back({"1013 reject map 1", 0, hux_sim::cancel_market_answer(1013, v), kind(1013, true),
                         [](const event& e) {
                             HUX_OrderActionMarketRejectField r = as<HUX_OrderActionMarketRejectField>(e);
                             expect_order_cancel_market_echo(r);
                             EXPECT_EQ(field(r.value_129), kValue8);
                             EXPECT_EQ(val(r.reason_code), 24);
                             EXPECT_EQ(field(r.reason_text), padded("报单找不到", 88));
                         }});
        cases.push_back({"1021 reject", 0, hux_sim::cancel_market_answer(1021, v), kind(1021, true),
                         [](const event& e) {
                             HUX_QuoteActionMarketRejectField r = as<HUX_QuoteActionMarketRejectField>(e);
                             expect_order_cancel_market_echo(r);
                             EXPECT_EQ(field(r.value_130), kValue8);
                             EXPECT_EQ(val(r.reason_code), 24);
                             EXPECT_STREQ(r.reason_text, "报单找不到");
                         }});
        v.exchange_id = 100;  // outside the three groups: empty text
        cases.push_back({"1013 reject exchange 100", 0, hux_sim::cancel_market_answer(1013, v), kind(1013, true),
                         [](const event& e) {
                             HUX_OrderActionMarketRejectField r = as<HUX_OrderActionMarketRejectField>(e);
                             EXPECT_EQ(val(r.reason_code), 24);
                             EXPECT_EQ(field(r.reason_text), std::string(88, '\0'));
                         }});
        v.result = 711;  // third map; 1021 finds it by trying the maps in turn
        cases.push_back({"1021 reject map 3", 0, hux_sim::cancel_market_answer(1021, v), kind(1021, true),
                         [](const event& e) {
                             EXPECT_STREQ(as<HUX_QuoteActionMarketRejectField>(e).reason_text, "该委托单已经成交");
                         }});
        v.exchange_id = 105;
        cases.push_back({"1033 reject map 3", 0, hux_sim::cancel_market_answer(1033, v), kind(1033, true),
                         [](const event& e) {
                             HUX_SpecialOrderActionMarketRejectField r =
                                 as<HUX_SpecialOrderActionMarketRejectField>(e);
                             expect_cancel_market_echo(r);
                             EXPECT_EQ(r.cancel_mode, 0x28);
                             EXPECT_EQ(field(r.value_129), kValue8);
                             EXPECT_EQ(val(r.reason_code), 711);
                             EXPECT_STREQ(r.reason_text, "该委托单已经成交");
                             EXPECT_EQ(r.field_35, 0x2B);
                         }});
        v.result = 40039;
        v.exchange_id = 108;
        cases.push_back({"1013 reject map 2", 0, hux_sim::cancel_market_answer(1013, v), kind(1013, true),
                         [](const event& e) {
                             EXPECT_STREQ(as<HUX_OrderActionMarketRejectField>(e).reason_text, "已经撤单");
                         }});
    }

    // ---- 1018, 1020, 1022, 1023
    {
        hux_sim::sim_quote_answer v = quote_values();
        v.qv27_order_mask = 1;  // inside the second quote text: not read from an ordinary server
        cases.push_back({"1018 accept", 0, hux_sim::quote_insert_answer(v), kind(1018, false), [](const event& e) {
                             HUX_QuoteAcceptField r = as<HUX_QuoteAcceptField>(e);
                             expect_quote_echo(r);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(r.opt_1, 0x42);
                             EXPECT_EQ(r.opt_2, 0x40);
                             EXPECT_EQ(val(r.price_1), 38.0001);
                             EXPECT_EQ(val(r.quantity_1), 36);
                             EXPECT_EQ(r.opt_3, 0x43);
                             EXPECT_EQ(r.opt_4, 0x41);
                             EXPECT_EQ(val(r.price_2), -39.0002);
                             EXPECT_EQ(val(r.quantity_2), 37);
                             EXPECT_EQ(r.opt_6, 0x34);
                             EXPECT_EQ(field(r.empty_text), std::string(25, '\0'));
                             EXPECT_EQ(val(r.client_token), 44);
                             EXPECT_EQ(field(r.value_200), kValue8);
                             EXPECT_EQ(val(r.opt_8), 48);
                             EXPECT_EQ(val(r.opt_5), 0xF5);
                         }});
        v.result = 128;
        cases.push_back({"1018 ordinary reject", 0, hux_sim::quote_insert_answer(v), kind(1018, true),
                         [](const event& e) {
                             HUX_QuoteRejectField r = as<HUX_QuoteRejectField>(e);
                             expect_quote_echo(r);
                             EXPECT_EQ(field(r.value_200), kValue8);
                             EXPECT_EQ(val(r.client_token), 44);
                             EXPECT_EQ(r.result_flag, 1);
                             EXPECT_EQ(val(r.reason), 128u);
                             EXPECT_STREQ(r.reason_text_1, "交易所编号不合法;");
                             EXPECT_STREQ(r.reason_text_2, "");
                             EXPECT_EQ(val(r.risk_check_mask), 0u);
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(val(r.field_10), 0x3132);
                             EXPECT_EQ(r.opt_1, 0x42);
                             EXPECT_EQ(r.opt_3, 0x43);
                         }});
        // qv27: 0 at 196 does not make an accept; the masks decide.
        hux_sim::sim_quote_answer q = quote_values();
        q.quote_text_2 = "";
        q.qv27_order_mask = 128;
        q.qv27_risk_mask = 2;
        cases.push_back({"1018 qv27 reject", 6, hux_sim::quote_insert_answer(q, true), kind(1018, true),
                         [](const event& e) {
                             HUX_QuoteRejectField r = as<HUX_QuoteRejectField>(e);
                             EXPECT_EQ(val(r.request_tag), 31);
                             EXPECT_EQ(field(r.value_200), kValue8);  // from 136
                             EXPECT_EQ(val(r.reason), 128u);
                             EXPECT_STREQ(r.reason_text_1, "7:交易所编号不合法;");
                             EXPECT_STREQ(r.reason_text_2, "1:资金不足;");
                             EXPECT_EQ(val(r.risk_check_mask), 2u);
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(field(r.quote_text_2), std::string(24, '\0'));
                         }});
        q.qv27_order_mask = 0;
        q.qv27_risk_mask = 0;
        q.result = 5;  // an ordinary server's reason field: ignored on qv27
        q.quote_text_2 = "QT2";
        std::string qv27_accept = hux_sim::quote_insert_answer(q, true);
        qv27_accept[196] = 5;
        memcpy(&qv27_accept[200], kValue8.data(), 8);
        cases.push_back({"1018 qv27 accept", 6, qv27_accept, kind(1018, false), [](const event& e) {
                             HUX_QuoteAcceptField r = as<HUX_QuoteAcceptField>(e);
                             EXPECT_EQ(val(r.request_tag), 31);
                             EXPECT_EQ(field(r.value_200), kValue8);
                             EXPECT_EQ(field(r.quote_text_2), padded("QT2", 24));
                         }});

        hux_sim::sim_quote_answer m = quote_values();
        cases.push_back({"1020 accept", 0, hux_sim::quote_insert_market_answer(m), kind(1020, false),
                         [](const event& e) {
                             HUX_QuoteMarketAcceptField r = as<HUX_QuoteMarketAcceptField>(e);
                             expect_quote_echo(r);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(field(r.identifier), kIdent + '\0');
                             EXPECT_EQ(field(r.value_282), kValue8);
                             EXPECT_EQ(val(r.client_token), 44);
                             EXPECT_EQ(val(r.opt_5), 0xF5);
                             EXPECT_EQ(r.opt_6, 0x34);
                             EXPECT_EQ(r.field_52, 0x52);
                         }});
        m.result = 0x80000001u;
        m.exchange_text = kGbkFunds;
        cases.push_back({"1020 reject", 0, hux_sim::quote_insert_market_answer(m), kind(1020, true),
                         [](const event& e) {
                             HUX_QuoteMarketRejectField r = as<HUX_QuoteMarketRejectField>(e);
                             expect_quote_echo(r);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(field(r.value_282), kValue8);
                             EXPECT_EQ(field(r.reason_text), padded("资金不足", 81));
                             EXPECT_EQ(r.exchange_id, 0x33);
                             EXPECT_EQ(val(r.reason_code), static_cast<int32_t>(0x80000001u));
                             EXPECT_EQ(val(r.client_token), 44);
                             EXPECT_EQ(r.opt_6, 0x34);
                             EXPECT_EQ(r.field_52, 0x52);
                             EXPECT_EQ(field(r.symbol), kSymbol);
                             EXPECT_EQ(val(r.field_10), 0x3132);
                             EXPECT_EQ(r.opt_1, 0x42);
                             EXPECT_EQ(r.opt_3, 0x43);
                         }});
        cases.push_back({"1022 report", 0, hux_sim::quote_market_report(quote_values()), kind(1022, false),
                         [](const event& e) {
                             HUX_QuoteMarketReportField r = as<HUX_QuoteMarketReportField>(e);
                             expect_quote_report_echo(r);
                             EXPECT_EQ(field(r.reserved), std::string(4, '\0'));
                             EXPECT_EQ(val(r.client_token), 44);
                             EXPECT_EQ(field(r.value_269), "V269-ABCDEFGHIJK");
                             EXPECT_EQ(val(r.opt_5), 0xF5);
                             EXPECT_EQ(r.opt_6, 0x34);
                         }});
        cases.push_back({"1023 post quote", 0, hux_sim::post_quote(quote_values()), kind(1023, false),
                         [](const event& e) {
                             HUX_PostQuote r = as<HUX_PostQuote>(e);
                             expect_quote_report_echo(r);
                             EXPECT_EQ(field(r.value_277), kValue8);
                             EXPECT_EQ(r.exchange_id, 0x33);
                             EXPECT_EQ(r.result_flag, 0);
                             EXPECT_EQ(field(r.value_269), "V269-ABC");
                         }});
    }

    // ---- 1025, 1026
    {
        hux_sim::sim_combo_answer v = combo_values();
        cases.push_back({"1025 accept", 0, hux_sim::combo_answer(1025, v), kind(1025, false), [v](const event& e) {
                             HUX_ComboAcceptField r = as<HUX_ComboAcceptField>(e);
                             expect_combo_echo(r);
                             EXPECT_EQ(val(r.field_22), 59);
                             EXPECT_EQ(field(r.value_148), kValue8);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(r.exchange_id, 0x53);
                             EXPECT_EQ(field(r.legs), v.legs);
                             EXPECT_EQ(val(r.opt_1), 58);
                             EXPECT_EQ(r.opt_2, 0x54);
                             EXPECT_EQ(r.opt_3, 0x56);
                             EXPECT_EQ(r.opt_5, 0x55);
                         }});
        cases.push_back({"1026 accept", 0, hux_sim::combo_answer(1026, v), kind(1026, false), [v](const event& e) {
                             HUX_ComboMarketAcceptField r = as<HUX_ComboMarketAcceptField>(e);
                             expect_combo_echo(r);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(field(r.legs), v.legs);
                             EXPECT_EQ(val(r.opt_1), 58);
                             EXPECT_EQ(r.opt_3, 0x56);
                             EXPECT_EQ(val(r.field_22), 59);
                             EXPECT_EQ(field(r.value_229), kValue8);
                             EXPECT_EQ(r.opt_2, 0x54);
                             EXPECT_EQ(r.field_122, 0x7A);
                         }});
        v.result = 3;  // ordinary-mode texts even on a qv27 server
        cases.push_back({"1025 qv27 reject", 6, hux_sim::combo_answer(1025, v), kind(1025, true), [](const event& e) {
                             HUX_ComboRejectField r = as<HUX_ComboRejectField>(e);
                             expect_combo_echo(r);
                             EXPECT_EQ(field(r.value_148), kValue8);
                             EXPECT_EQ(r.result_flag, 1);
                             EXPECT_EQ(val(r.reason), 3u);
                             EXPECT_STREQ(r.reason_text_1, "");
                             EXPECT_STREQ(r.reason_text_2, "禁止交易");
                         }});
        v.exchange_text = kGbkFunds;
        cases.push_back({"1026 reject", 0, hux_sim::combo_answer(1026, v), kind(1026, true), [](const event& e) {
                             HUX_ComboMarketRejectField r = as<HUX_ComboMarketRejectField>(e);
                             expect_combo_echo(r);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(val(r.field_22), 59);
                             EXPECT_EQ(field(r.value_229), kValue8);
                             EXPECT_EQ(field(r.reason_text), padded("资金不足", 81));
                             EXPECT_EQ(r.exchange_id, 0x53);
                             EXPECT_EQ(val(r.reason_code), 3);
                             EXPECT_EQ(r.opt_2, 0x54);
                             EXPECT_EQ(r.field_122, 0x7A);
                         }});
    }

    // ---- 1030, 1032
    {
        hux_sim::sim_special_order_answer v;
        v.request_tag = 71;
        v.user_id_low = 0xF2;
        v.opt_4 = 0x73;
        v.opt_2 = 74;
        v.opt_1 = 0x75;
        v.opt_5 = 0x76;
        v.opt_8 = 0x77;
        v.client_token = 78;
        v.field_24 = 79;
        v.account = kAccount;
        v.symbol = kSymbol;
        v.opt_3 = 80;
        v.value8 = kValue8;
        cases.push_back({"1030 accept", 0, hux_sim::special_order_answer(v), kind(1030, false), [](const event& e) {
                             HUX_SpecialOrderAcceptField r = as<HUX_SpecialOrderAcceptField>(e);
                             expect_special_echo(r);
                             EXPECT_EQ(val(r.field_24), 79);
                             EXPECT_EQ(field(r.account), kAccount + '\0');
                             EXPECT_EQ(r.opt_1, 0x75);
                             EXPECT_EQ(val(r.opt_2), 74);
                             EXPECT_EQ(field(r.symbol), kSymbol + '\0');
                             EXPECT_EQ(val(r.opt_3), 80);
                             EXPECT_EQ(r.opt_4, 0x73);
                             EXPECT_EQ(r.opt_5, 0x76);
                         }});
        v.result = 65;  // ordinary mode on a qv27 server: bits 0 and 6
        cases.push_back({"1030 qv27 reject", 6, hux_sim::special_order_answer(v), kind(1030, true),
                         [](const event& e) {
                             HUX_SpecialOrderRejectField r = as<HUX_SpecialOrderRejectField>(e);
                             expect_special_echo(r);
                             EXPECT_EQ(r.result_flag, 1);
                             EXPECT_EQ(val(r.reason), 65u);
                             EXPECT_STREQ(r.reason_text_1, "整体校验结果;;");
                             EXPECT_STREQ(r.reason_text_2, "");
                         }});

        hux_sim::sim_special_order_market_answer m;
        m.request_tag = 81;
        m.user_id_low = 0x82;
        m.exchange_id = 0x83;
        m.opt_4 = 0x84;
        m.opt_8 = 0x85;
        m.client_token = 86;
        m.field_24 = 87;
        m.account = kAccount;
        m.byte_64 = 0x88;
        m.exchange_order_id = kIdent;
        m.value8 = kValue8;
        cases.push_back({"1032 accept", 0, hux_sim::special_order_market_answer(m), kind(1032, false),
                         [](const event& e) {
                             HUX_SpecialOrderMarketAcceptField r = as<HUX_SpecialOrderMarketAcceptField>(e);
                             expect_special_market_echo(r);
                             EXPECT_EQ(field(r.exchange_order_id), kIdent + '\0');
                         }});
        m.result = 89;
        m.exchange_text = kGbkFunds;
        cases.push_back({"1032 reject", 0, hux_sim::special_order_market_answer(m), kind(1032, true),
                         [](const event& e) {
                             HUX_SpecialOrderMarketRejectField r = as<HUX_SpecialOrderMarketRejectField>(e);
                             expect_special_market_echo(r);
                             EXPECT_EQ(field(r.reason_text), padded("资金不足", 81));
                             EXPECT_EQ(r.exchange_id, 0x83);
                             EXPECT_EQ(val(r.reason_code), 89);
                         }});
    }
    return cases;

}

}  // namespace

// The reading of each message is checked after every proper prefix of it has
// waited; the full message is consumed by its type's own length, so a
// message of any other length fails here too.
TEST(TradeOrderAnswers, EveryAnswerFieldByFieldAfterEveryPartialDelivery) {
    const std::vector<answer_case> cases = all_cases();
    session plain(0), qv27(6);
    std::vector<int> types;
    for (const answer_case& c : cases) {
        SCOPED_TRACE(c.name);
        const int type = c.kind / 10;
        if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
        session& s = c.edition == 6 ? qv27 : plain;
        const size_t before = s.log.size();
        for (size_t k = 0; k < c.wire.size(); ++k) {
            ASSERT_EQ(s.feed(c.wire.substr(0, k)), 0) << "prefix " << k;
            ASSERT_EQ(s.log.size(), before) << "prefix " << k;
        }
        ASSERT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
        std::vector<event> ev = s.log.all();
        ASSERT_EQ(ev.size(), before + 1);
        EXPECT_EQ(ev.back().kind, c.kind);
        c.check(ev.back());
    }
    EXPECT_EQ(types.size(), 16u);
}

TEST(TradeOrderAnswers, MissingCallbackDropsOnlyItsOwnKind) {
    session s(0);
    for (const answer_case& c : all_cases()) {
        if (c.edition != 0) continue;
        SCOPED_TRACE(c.name);
        // Consumed, nothing delivered (not even the other record of its type).
        set_all_callbacks(*s.client, c.kind);
        const size_t before = s.log.size();
        EXPECT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
        EXPECT_EQ(s.log.size(), before);
    }
    // The 1033 accept arrives exactly when its own slot is set.
    set_all_callbacks(*s.client, kind(1033, true));
    const size_t before = s.log.size();
    ASSERT_EQ(s.feed(hux_sim::cancel_market_answer(1033, cancel_market_values())), 148);
    ASSERT_EQ(s.log.size(), before + 1);
    EXPECT_EQ(s.log.all().back().kind, kind(1033, false));
}

TEST(TradeOrderAnswers, BeforeLogonConsumedAndTheNextMessageSurvives) {
    session s(0, false);  // not connected, not logged on
    const std::vector<answer_case> cases = all_cases();
    // Each answer, followed in the same buffer by a version answer, which is
    // handled before the logon.
    hux_sim::sim_config cfg;
    const std::string version = hux_sim::sim_trade_server::version_answer(cfg);
    size_t logon_events = 0;
    for (const answer_case& c : cases) {
        if (c.edition != 0) continue;
        SCOPED_TRACE(c.name);
        const std::string buf = c.wire + version;
        std::vector<unsigned char> bytes(buf.begin(), buf.end());
        const int n = s.client->ProcReceiveMsg(bytes.data(), static_cast<unsigned>(bytes.size()));
        ASSERT_EQ(n, static_cast<int>(c.wire.size()));
        ASSERT_EQ(s.client->ProcReceiveMsg(bytes.data() + n, static_cast<unsigned>(bytes.size() - n)),
                  static_cast<int>(version.size()));
        // The version answer is handled: the logon that follows it cannot go
        // out (not connected) and that is reported.
        ++logon_events;
        EXPECT_EQ(s.log.logons().size(), logon_events);
        EXPECT_TRUE(s.log.all().empty());
    }
    EXPECT_EQ(logon_events, 32u);
}

// Texts are copied within their wire field: the order accept's 20-byte
// symbol is followed by non-zero bytes (the 1030 symbol and the combination
// legs, followed by set fields, are in the cases above), and a posted
// quote's texts end at their NUL, whatever follows it in the field.
TEST(TradeOrderAnswers, TextsNeverReadPastTheirWireField) {
    session s(0);
    std::string w = hux_sim::order_insert_answer(order_values());
    memset(&w[96], 'Z', 4);  // the 4 bytes after the symbol field
    ASSERT_EQ(s.feed(w), 120);
    hux_sim::sim_quote_answer q = quote_values();
    q.symbol = std::string("AB\0GARBAGE", 10);
    q.texts[0] = std::string("T1\0XXXXXX", 9);
    ASSERT_EQ(s.feed(hux_sim::post_quote(q)), 296);

    std::vector<event> ev = s.log.all();
    ASSERT_EQ(ev.size(), 2u);
    HUX_OrderAcceptField a = as<HUX_OrderAcceptField>(ev[0]);
    EXPECT_EQ(field(a.symbol), kSymbol);
    EXPECT_EQ(val(a.price), -12.3456);  // the next field intact
    HUX_PostQuote pq = as<HUX_PostQuote>(ev[1]);
    EXPECT_EQ(field(pq.symbol), padded("AB", 20));
    EXPECT_EQ(field(pq.text_1), padded("T1", 25));
}

// The trade session's unasked reports: fills, exchange order reports, posted
// orders and fills, server-internal orders and quotes. Every message type read
// into its record byte for byte after every partial delivery, on both server
// editions, the qv27 marker choices, messages before the logon, missing
// callbacks and mixed streams over loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_report_answers.h"
#include "tests/support/session_support.h"

using namespace trade_test;

namespace {

// Texts that fill their wire fields exactly (no NUL on the wire).
const char ACC[] = "ACCOUNT-16CHARS!";
const char SYM[] = "SYMBOL-20-CHARACTERS";
const char EXID[] = "EXCHANGE-ORDER-ID-24CHRS";
const char T50[] = "TEXT-AT-50-FILLS-24-BYTE";
const char T86[] = "TEXT-AT-86-FILLS-24-BYTE";
const char T134[] = "SIXTEEN-BYTES-16";
const char QT[3][25] = {"QUOTE-TEXT-ONE-24-BYTES!", "QUOTE-TEXT-TWO-24-BYTES!", "QUOTE-TEXT-SIX-24-BYTES!"};
static_assert(sizeof(ACC) == 17 && sizeof(SYM) == 21 && sizeof(EXID) == 25, "field-filling texts");
static_assert(sizeof(T50) == 25 && sizeof(T86) == 25 && sizeof(T134) == 17, "field-filling texts");

enum kind {
    K_EXEC, K_REPORT, K_POST_ORDER, K_POST_EXEC, K_POST_SPECIAL, K_INT_ORDER,
    K_ADJ_STATUS, K_INT_EXEC, K_ADJ_REJ, K_QUOTE_ADJ, K_QUOTE_REJ, K_POST_QUOTE
};

void set_slots(CTradeClient& c, bool on) {
    HUX_TRADE::trade_answer_events& e = c.AnswerEvents();
    e.OrderExecution = on ? &log_record<K_EXEC, HUX_OrderExecutionField> : nullptr;
    e.OrderMarketReport = on ? &log_record<K_REPORT, HUX_OrderMarketReportField> : nullptr;
    e.PostOrder = on ? &log_record<K_POST_ORDER, HUX_PostOrder> : nullptr;
    e.PostOrderExecution = on ? &log_record<K_POST_EXEC, HUX_PostOrderExecution> : nullptr;
    e.PostSpecialOrder = on ? &log_record<K_POST_SPECIAL, HUX_PostSpecialOrder> : nullptr;
    e.InternalOrder = on ? &log_record<K_INT_ORDER, HUX_InternalOrder> : nullptr;
    e.InternalOrderAdjustStatus = on ? &log_record<K_ADJ_STATUS, HUX_InternalOrderAdjustStatus> : nullptr;
    e.InternalOrderExecution = on ? &log_record<K_INT_EXEC, HUX_InternalOrderExecution> : nullptr;
    e.InternalOrderAdjustMktRej = on ? &log_record<K_ADJ_REJ, HUX_InternalOrderAdjustMktRej> : nullptr;
    e.InternalQuoteAdjustStatus = on ? &log_record<K_QUOTE_ADJ, HUX_InternalQuoteAdjustStatus> : nullptr;
    e.InternalQuoteAdjustMktRej = on ? &log_record<K_QUOTE_REJ, HUX_InternalQuoteAdjustMktRej> : nullptr;
    e.PostQuote = on ? &log_record<K_POST_QUOTE, HUX_PostQuote> : nullptr;
}

// A session with every report callback set: fed directly, or logged on to
// a simulated server of its own (qv27 when the server says edition 6).
struct session : recording_session {
    session() { set_slots(*client, true); }
    bool logon(uint8_t edition) {
        hux_sim::sim_config cfg;
        cfg.server_edition = edition;
        return recording_session::logon(cfg);
    }
};

template <class T>
std::string bytes_of(const T& r) {
    return std::string(reinterpret_cast<const char*>(&r), sizeof(r));
}

// The offset of the first differing byte, or -1.
long first_difference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return static_cast<long>(a.size() < b.size() ? a.size() : b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return -1;
}

struct report_case {
    const char* name;
    bool qv27;
    std::string wire;
    kind k;
    std::string expected;  // the record as the callback must see it
};

// ---- wire values (non-zero and distinct per field) and their records ----

hux_sim::sim_execution execution_values(uint8_t marker) {
    hux_sim::sim_execution v;
    v.field_4 = 0x11223344;
    v.value_24 = "VAL24-ab";
    v.order_no = 0x0102030405060708LL;
    v.byte_41 = 0xA1;
    v.field_42 = -42000042;
    v.field_46 = 46464646;
    v.text_50 = std::string(T50) + "-AND-SIX";  // 30 characters: cut to the field on the wire
    v.filled_quantity = 7474;
    v.fill_price = 123456789;
    v.text_86 = T86;
    v.byte_110 = 0xB0;
    v.byte_111 = 0xB1;
    v.symbol = SYM;
    v.byte_132 = 0xC2;
    v.byte_133 = 0xF3;  // widened without sign: 243
    v.marker = marker;
    v.byte_135 = 0xC5;
    return v;
}

// What every execution record takes from execution_values().
template <class R>
R execution_record() {
    R r = zeroed<R>();
    r.field_4 = 0x11223344;
    r.field_133 = 243;
    memcpy(r.value_24, "VAL24-ab", 8);
    r.field_46 = 46464646;
    r.filled_quantity = 7474;
    r.fill_price = 12345.6789;
    memcpy(r.text_86, T86, 24);
    r.field_110 = 0xB0;
    r.field_111 = 0xB1;
    return r;
}

HUX_PostOrderExecution post_execution_record() {
    HUX_PostOrderExecution r = execution_record<HUX_PostOrderExecution>();
    r.order_no = 0x0102030405060708LL;
    memcpy(r.symbol, SYM, 20);  // fills the field unterminated
    r.field_132 = 0xC2;
    r.field_135 = 0xC5;
    return r;
}

HUX_InternalOrderExecution internal_execution_record() {
    HUX_InternalOrderExecution r = execution_record<HUX_InternalOrderExecution>();
    r.field_41 = 0xA1;
    return r;
}

hux_sim::sim_order order_values(uint8_t kind_marker, uint8_t byte_124) {
    hux_sim::sim_order v;
    v.request_tag = 0x21324354;
    v.user_low = 0xE8;  // widened without sign: 232
    v.exchange_id = 103;
    v.opt_4 = 0x14;
    v.opt_8 = 0x18;
    v.opt_7 = 0x17;
    v.side = 0x02;
    v.opt_5 = 0x15;
    v.opt_1 = 0x11;
    v.client_token = 20202020;
    v.quantity = 2424;
    v.opt_2 = -2828;
    v.price = -5;
    v.second_price = 4040404;
    v.opt_9 = 0x19;
    v.byte_49 = 0x49;
    v.field_56 = 565656;
    v.account = ACC;
    v.symbol = SYM;
    v.exchange_order_id = EXID;
    v.byte_124 = byte_124;
    v.kind = kind_marker;
    v.field_126 = 126126;
    v.bytes_134 = T134;  // the order number 0x2D4E454554584953 where read as one
    return v;
}

// What every order record takes from order_values().
template <class R>
R order_record() {
    R r = zeroed<R>();
    r.request_tag = 0x21324354;
    r.user_id = 232;
    r.field_56 = 565656;
    r.side = 0x02;
    memcpy(r.exchange_order_id, EXID, 24);
    return r;
}

HUX_PostOrder post_order_record(uint8_t byte_124) {
    HUX_PostOrder r = order_record<HUX_PostOrder>();
    memcpy(r.value_134, T134, 8);
    r.client_token = 20202020;
    r.quantity = 2424;
    memcpy(r.symbol, SYM, 20);
    r.price = -0.0005;
    memcpy(r.account, ACC, 16);
    r.exchange_id = 103;
    r.field_124 = byte_124;
    r.opt_5 = 0x15;
    r.opt_7 = 0x17;
    r.field_49 = 0x49;
    return r;
}

HUX_InternalOrderAdjustStatus adjust_status_record(uint8_t byte_124) {
    HUX_InternalOrderAdjustStatus r = order_record<HUX_InternalOrderAdjustStatus>();
    memcpy(r.value_134, T134, 8);
    r.field_124 = byte_124;
    r.opt_7 = 0x17;
    r.opt_4 = 0x14;
    return r;
}

HUX_InternalOrder internal_order_record(int64_t order_no) {
    HUX_InternalOrder r = order_record<HUX_InternalOrder>();
    r.order_no = order_no;
    r.quantity = 2424;
    memcpy(r.symbol, SYM, 20);
    r.price = -0.0005;
    memcpy(r.account, ACC, 16);
    r.exchange_id = 103;
    r.opt_5 = 0x15;
    r.opt_4 = 0x14;
    return r;
}

hux_sim::sim_quote_adjust quote_values(uint8_t marker) {
    hux_sim::sim_quote_adjust v;
    v.field_4 = 0x31415926;
    v.byte_8 = 0x88;
    v.byte_13 = 0x13;
    v.account = ACC;
    v.field_116 = 116116;
    v.field_120 = -120120;
    v.field_124 = 124124;
    for (int i = 0; i < 3; ++i) v.texts[i] = QT[i];
    v.status = 0x68;
    v.value8 = "VAL269-q";
    v.marker = marker;
    v.exchange_id = 105;
    v.quantity_1 = 1616;
    v.quantity_2 = 2020;
    v.price_1 = 250000;
    v.price_2 = -320001;
    v.opt_2 = 0x40;
    v.opt_4 = 0x41;
    v.opt_1 = 0x42;
    v.opt_3 = 0x43;
    v.byte_52 = 0x52;
    v.symbol = SYM;
    v.value_213 = "VAL213-s";
    v.field_44 = 444444;
    v.reason = -196;
    v.value_282 = "VAL282-r";
    return v;
}

HUX_InternalQuoteAdjustStatus quote_adjust_record() {
    HUX_InternalQuoteAdjustStatus r = zeroed<HUX_InternalQuoteAdjustStatus>();
    r.field_4 = 0x31415926;
    r.field_8 = 0x88;
    memcpy(r.account, ACC, 16);
    r.field_116 = 116116;
    r.field_120 = -120120;
    r.field_124 = 124124;
    memcpy(r.text_1, QT[0], 24);
    memcpy(r.text_2, QT[1], 24);
    memcpy(r.text_3, QT[2], 24);
    r.field_268 = 0x68;
    memcpy(r.value_269, "VAL269-q", 8);
    r.field_13 = 0x13;
    return r;
}

std::vector<report_case> all_cases() {
    std::vector<report_case> cases;

    // 1014: a 30-character text at 50 arrives cut to its 24 bytes.
    {
        HUX_OrderExecutionField r = execution_record<HUX_OrderExecutionField>();
        r.order_no = 0x0102030405060708LL;
        r.field_42 = -42000042;
        memcpy(r.text_50, T50, 24);
        memcpy(r.symbol, SYM, 20);
        r.field_132 = 0xC2;
        r.field_41 = 0xA1;
        r.field_135 = 0xC5;
        cases.push_back({"1014 execution", false, hux_sim::execution_message(1014, execution_values(9)), K_EXEC,
                         bytes_of(r)});
    }
    {
        HUX_OrderMarketReportField r = order_record<HUX_OrderMarketReportField>();
        memcpy(r.account, ACC, 16);
        memcpy(r.symbol, SYM, 20);
        r.opt_8 = 0x18;
        r.quantity = 2424;
        r.price = -0.0005;
        r.opt_5 = 0x15;
        r.second_price = 404.0404;
        r.opt_2 = -2828;
        r.opt_9 = 0x19;
        r.field_124 = 0x7C;
        r.field_126 = 126126;
        r.client_token = 20202020;
        memcpy(r.text_134, T134, 16);
        r.opt_4 = 0x14;
        r.field_49 = 0x49;
        r.opt_1 = 0x11;
        r.opt_7 = 0x17;
        cases.push_back({"1015 market report", false, hux_sim::order_message(1015, order_values(0x7D, 0x7C)),
                         K_REPORT, bytes_of(r)});
    }
    cases.push_back({"1016 post order", false, hux_sim::order_message(1016, order_values(0x7D, 0x7C)), K_POST_ORDER,
                     bytes_of(post_order_record(0x7C))});
    cases.push_back({"1017 post execution", false, hux_sim::execution_message(1017, execution_values(9)),
                     K_POST_EXEC, bytes_of(post_execution_record())});
    {
        hux_sim::sim_special_order v;
        v.field_4 = 0x0A0B0C0D;
        v.byte_8 = 0x98;
        v.byte_9 = 0x09;
        v.field_12 = -121212;
        v.byte_16 = 0x16;
        v.byte_17 = 0x17;
        v.byte_19 = 0x19;
        v.client_token = 20202021;
        v.field_24 = 242424;
        v.account = ACC;
        v.symbol = SYM;
        v.byte_64 = 0x64;
        v.exchange_order_id = EXID;
        v.byte_96 = 0x96;
        v.value_97 = "VAL97-xy";
        HUX_PostSpecialOrder r = zeroed<HUX_PostSpecialOrder>();
        r.field_4 = 0x0A0B0C0D;
        r.field_8 = 0x98;
        memcpy(r.value_97, "VAL97-xy", 8);
        r.field_24 = 242424;
        r.client_token = 20202021;
        r.field_16 = 0x16;
        r.field_12 = -121212;
        memcpy(r.symbol, SYM, 20);
        memcpy(r.account, ACC, 16);
        r.field_9 = 0x09;
        r.field_96 = 0x96;
        memcpy(r.exchange_order_id, EXID, 24);
        r.field_17 = 0x17;
        r.field_64 = 0x64;
        r.field_19 = 0x19;
        cases.push_back({"1034 post special order", false, hux_sim::special_order_message(v), K_POST_SPECIAL,
                         bytes_of(r)});
    }
    {
        hux_sim::sim_internal_order v;
        v.request_tag = 0x21324354;
        v.user_low = 0xE8;
        v.exchange_id = 103;
        v.opt_4 = 0x14;
        v.side = 0x02;
        v.opt_5 = 0x15;
        v.quantity = 2424;
        v.price = -5;
        v.field_56 = 565656;
        v.account = ACC;
        v.symbol = SYM;
        v.order_no = -9000000000123LL;
        v.exchange_order_id = EXID;
        cases.push_back({"2201 internal order", false, hux_sim::internal_order_message(v), K_INT_ORDER,
                         bytes_of(internal_order_record(-9000000000123LL))});
    }
    // Ordinary server: 2202 and 2203 ignore the qv27 markers.
    cases.push_back({"2202 adjust status", false, hux_sim::order_message(2202, order_values(2, 0x7C)), K_ADJ_STATUS,
                     bytes_of(adjust_status_record(0x7C))});
    cases.push_back({"2203 internal execution", false, hux_sim::execution_message(2203, execution_values(2)),
                     K_INT_EXEC, bytes_of(internal_execution_record())});
    hux_sim::sim_order_adjust_rej rej;
    rej.request_tag = 0x22446688;
    rej.user_low = 0xF1;
    rej.exchange_id = 107;
    rej.opt_4 = 0x34;
    rej.client_token = 30303030;
    rej.field_56 = 565657;
    rej.account = ACC;
    rej.reason = -13213;
    rej.value_217 = "VAL217-z";
    HUX_InternalOrderAdjustMktRej rej_r = zeroed<HUX_InternalOrderAdjustMktRej>();
    rej_r.request_tag = 0x22446688;
    rej_r.user_id = 0xF1;
    memcpy(rej_r.account, ACC, 16);
    rej_r.field_56 = 565657;
    rej_r.exchange_id = 107;
    rej_r.reason_code = -13213;
    rej_r.client_token = 30303030;
    memcpy(rej_r.value_217, "VAL217-z", 8);
    rej_r.opt_4 = 0x34;
    cases.push_back({"2204 adjust reject", false, hux_sim::order_adjust_rej_message(rej), K_ADJ_REJ, bytes_of(rej_r)});
    cases.push_back({"2205 quote adjust", false, hux_sim::quote_adjust_message(quote_values(2)), K_QUOTE_ADJ,
                     bytes_of(quote_adjust_record())});
    {
        HUX_InternalQuoteAdjustMktRej r = zeroed<HUX_InternalQuoteAdjustMktRej>();
        r.field_4 = 0x31415926;
        r.field_8 = 0x88;
        memcpy(r.account, ACC, 16);
        r.field_44 = 444444;
        r.field_116 = 116116;
        r.field_120 = -120120;
        r.field_124 = 124124;
        r.reason_code = -196;
        memcpy(r.value_282, "VAL282-r", 8);
        r.field_13 = 0x13;
        cases.push_back({"2206 quote adjust reject", false, hux_sim::quote_adjust_rej_message(quote_values(0)),
                         K_QUOTE_REJ, bytes_of(r)});
    }

    // qv27 server forms.
    cases.push_back({"qv27 2202 posted order", true, hux_sim::order_message(2202, order_values(2, 0x7C)),
                     K_POST_ORDER, bytes_of(post_order_record(0x7C))});
    cases.push_back({"qv27 2202 adjust status", true, hux_sim::order_message(2202, order_values(1, 5)), K_ADJ_STATUS,
                     bytes_of(adjust_status_record(5))});
    cases.push_back({"qv27 2202 internal order", true, hux_sim::order_message(2202, order_values(1, 0)), K_INT_ORDER,
                     bytes_of(internal_order_record(0x2D4E454554584953LL))});  // "SIXTEEN-" little-endian
    cases.push_back({"qv27 2203 posted execution", true, hux_sim::execution_message(2203, execution_values(2)),
                     K_POST_EXEC, bytes_of(post_execution_record())});
    cases.push_back({"qv27 2203 internal execution", true, hux_sim::execution_message(2203, execution_values(1)),
                     K_INT_EXEC, bytes_of(internal_execution_record())});
    cases.push_back({"qv27 2204 adjust reject", true, hux_sim::order_adjust_rej_message(rej), K_ADJ_REJ,
                     bytes_of(rej_r)});
    cases.push_back({"qv27 2205 quote adjust", true, hux_sim::qv27_quote_message(quote_values(1)), K_QUOTE_ADJ,
                     bytes_of(quote_adjust_record())});
    {
        HUX_PostQuote r = zeroed<HUX_PostQuote>();
        r.request_tag = 0x31415926;
        r.user_id = 0x88;
        memcpy(r.value_277, "VAL213-s", 8);
        r.field_116 = 116116;
        r.field_120 = -120120;
        r.field_124 = 124124;
        r.quantity_1 = 1616;
        r.quantity_2 = 2020;
        memcpy(r.symbol, SYM, 20);
        r.price_1 = 25.0;
        r.price_2 = -32.0001;
        memcpy(r.account, ACC, 16);
        r.exchange_id = 105;
        r.field_268 = 0x68;
        memcpy(r.text_1, QT[0], 24);
        memcpy(r.text_2, QT[1], 24);
        memcpy(r.text_3, QT[2], 24);
        r.opt_1 = 0x42;
        r.opt_3 = 0x43;
        r.opt_2 = 0x40;
        r.opt_4 = 0x41;
        memcpy(r.value_269, "VAL269-q", 8);
        r.field_52 = 0x52;
        cases.push_back({"qv27 2205 posted quote", true, hux_sim::qv27_quote_message(quote_values(2)), K_POST_QUOTE,
                         bytes_of(r)});
    }
    return cases;
}

std::vector<report_case> cases_for(bool qv27) {
    std::vector<report_case> out;
    for (const report_case& c : all_cases()) {
        uint16_t type = static_cast<uint16_t>(static_cast<uint8_t>(c.wire[0]) | (static_cast<uint8_t>(c.wire[1]) << 8));
        bool edition_free = type < 2202 || type > 2205;
        if (c.qv27 == qv27 || (qv27 && edition_free)) out.push_back(c);
    }
    return out;
}

void expect_record(const event& e, const report_case& c) {
    EXPECT_EQ(e.kind, c.k);
    EXPECT_EQ(first_difference(e.record, c.expected), -1) << "first differing record byte";
}

}  // namespace

TEST(TradeReports, EveryTypeFieldByFieldAfterEveryPartialDeliveryOnBothEditions) {
    const std::vector<report_case> all = all_cases();
    ASSERT_EQ(all.size(), 19u);
    for (bool qv27 : {false, true}) {
        session s;
        ASSERT_TRUE(s.logon(qv27 ? 6 : 0));
        ASSERT_EQ(s.client->IsQv27Version(), qv27);
        for (const report_case& c : cases_for(qv27)) {
            SCOPED_TRACE(c.name);
            const size_t before = s.log.size();
            for (size_t k = 0; k < c.wire.size(); ++k) {
                ASSERT_EQ(s.feed(c.wire.substr(0, k)), 0) << "prefix " << k;
                ASSERT_EQ(s.log.size(), before) << "prefix " << k;
            }
            ASSERT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
            std::vector<event> ev = s.log.all();
            ASSERT_EQ(ev.size(), before + 1);
            expect_record(ev.back(), c);

            // Without a callback the message is consumed and nothing is called.
            set_slots(*s.client, false);
            EXPECT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
            set_slots(*s.client, true);
            EXPECT_EQ(s.log.size(), before + 1);
        }
    }
}

TEST(TradeReports, Qv27MarkersChooseTheRecordOrDropTheMessage) {
    session q;
    ASSERT_TRUE(q.logon(6));
    ASSERT_TRUE(q.client->IsQv27Version());

    struct marker_case {
        std::string wire;
        int k;  // the kind delivered, -1 none
        std::string expected;
    };
    // Besides the markers of the qv27 cases above (2202: 2, and 1 with b 5 or
    // 0; 2203: 2 and 1; 2205: 1 and 2):
    const std::vector<marker_case> cases = {
        // 2202: marker at 125, byte b at 124.
        {hux_sim::order_message(2202, order_values(0, 0)), -1, ""},
        {hux_sim::order_message(2202, order_values(0, 3)), K_POST_ORDER, bytes_of(post_order_record(3))},
        {hux_sim::order_message(2202, order_values(2, 0)), K_POST_ORDER, bytes_of(post_order_record(0))},
        {hux_sim::order_message(2202, order_values(3, 1)), -1, ""},
        {hux_sim::order_message(2202, order_values(255, 0)), -1, ""},
        // 2203: marker at 134.
        {hux_sim::execution_message(2203, execution_values(0)), K_POST_EXEC, bytes_of(post_execution_record())},
        {hux_sim::execution_message(2203, execution_values(0xFF)), K_INT_EXEC,
         bytes_of(internal_execution_record())},
        // 2205: marker at 229.
        {hux_sim::qv27_quote_message(quote_values(0)), K_QUOTE_ADJ, bytes_of(quote_adjust_record())},
        {hux_sim::qv27_quote_message(quote_values(3)), K_QUOTE_ADJ, bytes_of(quote_adjust_record())},
    };
    // All in one buffer: the dropped ones are consumed and the next follows.
    std::string stream;
    for (const marker_case& c : cases) stream += c.wire;
    size_t at = 0;
    while (at < stream.size()) {
        int n = q.feed(stream.substr(at));
        ASSERT_GT(n, 0) << "at " << at;
        at += static_cast<size_t>(n);
    }
    std::vector<event> ev = q.log.all();
    size_t next = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].k < 0) continue;
        SCOPED_TRACE(i);
        ASSERT_LT(next, ev.size());
        EXPECT_EQ(ev[next].kind, cases[i].k);
        EXPECT_EQ(first_difference(ev[next].record, cases[i].expected), -1);
        ++next;
    }
    EXPECT_EQ(ev.size(), next);

    // The same markers on an ordinary server choose nothing.
    session o;
    ASSERT_TRUE(o.logon(0));
    ASSERT_EQ(o.feed(hux_sim::order_message(2202, order_values(0, 0))), 158);
    ASSERT_EQ(o.feed(hux_sim::execution_message(2203, execution_values(0))), 136);
    ev = o.log.all();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].kind, K_ADJ_STATUS);
    EXPECT_EQ(first_difference(ev[0].record, bytes_of(adjust_status_record(0))), -1);
    EXPECT_EQ(ev[1].kind, K_INT_EXEC);
}

TEST(TradeReports, BeforeLogonOnlyTheQuoteRejectIsDelivered) {
    const std::string quote_rej = hux_sim::quote_adjust_rej_message(quote_values(0));
    std::string rej_expected;
    for (const report_case& c : all_cases())
        if (c.k == K_QUOTE_REJ) rej_expected = c.expected;
    ASSERT_FALSE(rej_expected.empty());
    for (bool qv27 : {false, true}) {
        session s;  // not connected, not logged on
        if (qv27) {
            hux_sim::sim_config cfg;
            cfg.server_edition = 6;
            ASSERT_EQ(s.feed(hux_sim::sim_trade_server::version_answer(cfg)), 56);
            ASSERT_TRUE(s.client->IsQv27Version());
        }
        const std::vector<report_case> cases = cases_for(qv27);
        size_t delivered = 0;
        for (const report_case& c : cases) {
            SCOPED_TRACE(c.name);
            const std::string buf = c.wire + quote_rej;
            const int first = s.feed(buf);
            ASSERT_EQ(first, static_cast<int>(c.wire.size()));
            const bool is_rej = c.k == K_QUOTE_REJ;
            ASSERT_EQ(s.log.size(), delivered + (is_rej ? 1 : 0));
            delivered = s.log.size();
            ASSERT_EQ(s.feed(buf.substr(static_cast<size_t>(first))), 296);
            std::vector<event> ev = s.log.all();
            ASSERT_EQ(ev.size(), delivered + 1);
            EXPECT_EQ(ev.back().kind, K_QUOTE_REJ);
            EXPECT_EQ(first_difference(ev.back().record, rej_expected), -1);
            delivered = ev.size();
        }
        EXPECT_FALSE(s.client->IsLogon());
    }
}

TEST(TradeReports, MixedStreamOverLoopbackDeliversEachOnceInOrder) {
    for (bool qv27 : {false, true}) {
        SCOPED_TRACE(qv27 ? "qv27" : "ordinary");
        session s;
        ASSERT_TRUE(s.logon(qv27 ? 6 : 0));
        const std::vector<report_case> cases = cases_for(qv27);
        ASSERT_EQ(cases.size(), qv27 ? 15u : 11u);
        std::string stream;
        for (const report_case& c : cases) stream += c.wire;
        ASSERT_TRUE(s.sim->send_raw_random(0, stream, 11, 97));
        ASSERT_TRUE(s.log.wait_size(cases.size()));
        std::vector<event> ev = s.log.all();
        ASSERT_EQ(ev.size(), cases.size());
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(cases[i].name);
            expect_record(ev[i], cases[i]);
        }
    }
}

TEST(TradeReports, ShortTextsStopAtTheirNulAndPricesKeepTheirSign) {
    session s;
    ASSERT_TRUE(s.logon(0));
    // Bytes after a NUL inside a text or symbol field are never delivered by
    // the bounded and up-to-NUL copies.
    hux_sim::sim_execution v = execution_values(0);
    v.text_50 = std::string("AB\0GARBAGE-GARBAGE", 18);
    v.text_86 = std::string("C\0DEFG", 6);
    v.symbol = std::string("IF2406\0XYZ", 10);
    v.fill_price = -5;
    ASSERT_EQ(s.feed(hux_sim::execution_message(1014, v)), 136);
    std::vector<event> ev = s.log.all();
    ASSERT_EQ(ev.size(), 1u);
    HUX_OrderExecutionField r;
    memcpy(&r, ev[0].record.data(), sizeof(r));
    EXPECT_EQ(std::string(r.text_50, sizeof(r.text_50)), std::string("AB") + std::string(23, '\0'));
    EXPECT_EQ(std::string(r.text_86, sizeof(r.text_86)), std::string("C") + std::string(24, '\0'));
    EXPECT_EQ(std::string(r.symbol, sizeof(r.symbol)), std::string("IF2406") + std::string(14, '\0'));
    const double price = r.fill_price;
    EXPECT_EQ(price, -0.0005);
}

// The trade session's status and query answers, which need no logon: every
// message type read into its record field by field after every partial
// delivery, the two server editions of the market session push, the end of a
// symbol-status list, texts that stop at their NUL, the order-token
// high-water mark under two threads, and the session's clock.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_status_answers.h"
#include "tests/support/session_support.h"

using namespace trade_test;

namespace {

// Events are logged under their message type; the bool (is-last or flag)
// goes to the flag, the session byte of 1085 to the number.
void set_status_callbacks(CTradeClient& c) {
    c.SetQueryOtAccountBPEvent(&log_record<1081, HUX_AccountBP>);
    c.SetQueryMarketSessionEvent(
        [](void* h, HUX_ExchangeMarketSession* r, bool last) { log_of(h)->add(1084, r, sizeof(*r), last); });
    c.SetMarketSessionStatReportEvent([](void* h, uint8_t s, bool flag) { log_of(h)->add(1085, nullptr, 0, flag, s); });
    c.SetSymbolStatusReportEvent(&log_record<1086, HUX_SymbolStatus>);
    c.SetQuerySymbolStatusEvent(
        [](void* h, HUX_SymbolStatus* r, bool last) { log_of(h)->add(1087, r, sizeof(*r), last); });
    c.SetProdStatusReportEvent(&log_record<1089, HUX_ProdStatus>);
    c.SetQuerySessionIDEvent(&log_record<1094, HUX_SessionID>);
    c.SetInputRegForQuoteEvent(&log_record<1097, HUX_InputRegForQuoteResponse>);
}

struct session : recording_session {
    explicit session(bool callbacks = true) {
        if (callbacks) set_status_callbacks(*client);
    }
};

std::string bytes_1_to(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i % 255 + 1));
    return s;
}

struct status_case {
    const char* name;
    uint16_t type;
    std::string wire;
    std::function<void(const event&)> check;
};

std::vector<status_case> all_cases() {
    std::vector<status_case> cases;

    hux_sim::sim_account_bp bp;
    bp.account = "ACCOUNT-ABCDEFGH";  // fills its 16 bytes
    bp.figures = {1.5, -2.25, 3.125, 4e9, -5.5e-3, 6.75, 7.0, 8.5, 9.25};
    bp.flag = 0xA7;
    cases.push_back({"account_bp", 1081, hux_sim::account_bp_answer(bp), [bp](const event& e) {
                         HUX_AccountBP r = record_as<HUX_AccountBP>(e);
                         EXPECT_EQ(std::string(r.account, 16), bp.account);
                         EXPECT_EQ(r.account[16], '\0');
                         for (int i = 0; i < 9; ++i) EXPECT_EQ(val(r.figures[i]), bp.figures[i]) << i;
                         EXPECT_EQ(r.flag, 0xA7);
                     }});

    hux_sim::sim_market_sessions ms;
    ms.exchange_id = 103;
    ms.last = 1;
    ms.count = 200;
    ms.sessions = bytes_1_to(255);
    cases.push_back({"market_session", 1084, hux_sim::market_session_answer(ms), [ms](const event& e) {
                         HUX_ExchangeMarketSession r = record_as<HUX_ExchangeMarketSession>(e);
                         EXPECT_EQ(r.exchange_id, 103);
                         EXPECT_EQ(r.session_count, 200);
                         EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.sessions), 255), ms.sessions);
                         EXPECT_TRUE(e.flag);
                     }});

    hux_sim::sim_session_stat st;
    st.flag = 1;
    st.session = 0x91;
    st.session_qv27 = 0x52;
    cases.push_back({"session_stat", 1085, hux_sim::session_stat_report(st), [](const event& e) {
                         EXPECT_EQ(e.number, 0x91);  // byte 9 on an ordinary server
                         EXPECT_TRUE(e.flag);
                     }});

    hux_sim::sim_symbol_status sr;
    sr.first = 0xB1;
    sr.symbol = "SYMBOL-ABCDEFGHIJKLM";  // 20 characters
    sr.byte_a = 0xB2;
    sr.value = -1234567890;
    sr.short_text = "SHORT-TXT";  // 9 characters
    sr.byte_b = 0xB3;
    cases.push_back({"symbol_status_report", 1086, hux_sim::symbol_status_message(false, sr), [](const event& e) {
                         HUX_SymbolStatus r = record_as<HUX_SymbolStatus>(e);
                         EXPECT_EQ(r.first_field, 0xB1);
                         EXPECT_STREQ(r.symbol, "SYMBOL-ABCDEFGHIJKL");
                         EXPECT_EQ(r.byte_a, 0xB2);
                         EXPECT_EQ(val(r.value), -1234567890);
                         EXPECT_STREQ(r.short_text, "SHORT-TX");
                         EXPECT_EQ(r.byte_b, 0xB3);
                     }});

    hux_sim::sim_symbol_status sq;
    sq.first = 0xC1;
    sq.symbol = "QRYSYM-0123456789ABC";
    sq.byte_a = 0xC2;
    sq.value = 2023456789;
    sq.short_text = "QSHORT-99";
    sq.byte_b = 0xC3;
    cases.push_back({"symbol_status_query", 1087, hux_sim::symbol_status_message(true, sq), [](const event& e) {
                         HUX_SymbolStatus r = record_as<HUX_SymbolStatus>(e);
                         EXPECT_EQ(r.first_field, 0xC1);
                         EXPECT_STREQ(r.symbol, "QRYSYM-0123456789AB");
                         EXPECT_EQ(r.byte_a, 0xC2);
                         EXPECT_EQ(val(r.value), 2023456789);
                         EXPECT_STREQ(r.short_text, "QSHORT-9");
                         EXPECT_EQ(r.byte_b, 0xC3);
                         EXPECT_FALSE(e.flag);
                     }});

    hux_sim::sim_prod_status ps;
    ps.first = 0xD1;
    ps.product = "PRODUCT-ABCDEFGHIJKL";
    ps.byte_a = 0xD2;
    ps.byte_b = 0xD3;
    ps.value = -7;
    ps.short_text = "PSHORT-77";
    ps.byte_c = 0xD4;
    cases.push_back({"prod_status", 1089, hux_sim::prod_status_report(ps), [](const event& e) {
                         HUX_ProdStatus r = record_as<HUX_ProdStatus>(e);
                         EXPECT_EQ(r.first_field, 0xD1);
                         EXPECT_STREQ(r.product, "PRODUCT-ABCDEFGHIJK");
                         EXPECT_EQ(r.byte_a, 0xD2);
                         EXPECT_EQ(r.byte_b, 0xD3);
                         EXPECT_EQ(val(r.value), -7);
                         EXPECT_STREQ(r.short_text, "PSHORT-7");
                         EXPECT_EQ(r.byte_c, 0xD4);
                     }});

    hux_sim::sim_session_id sid;
    sid.session = "SESSION-ABCDEFGHI";  // 17 characters
    sid.byte_a = 0xF0;
    sid.byte_b = 0x81;
    cases.push_back({"session_id", 1094, hux_sim::session_id_answer(sid), [](const event& e) {
                         HUX_SessionID r = record_as<HUX_SessionID>(e);
                         EXPECT_STREQ(r.session, "SESSION-ABCDEFGH");
                         EXPECT_EQ(val(r.value_a), 240);  // zero-extended, not -16
                         EXPECT_EQ(val(r.value_b), 129);
                     }});

    hux_sim::sim_req_for_quote q;
    q.byte_a = 0xE5;
    q.text20 = "RFQ20-ABCDEFGHIJKLMN";
    q.text24 = "RFQ24-ABCDEFGHIJKLMNOPQR";
    q.value8 = "87654321";
    cases.push_back({"req_for_quote", 1097, hux_sim::req_for_quote_report(q), [q](const event& e) {
                         HUX_InputRegForQuoteResponse r = record_as<HUX_InputRegForQuoteResponse>(e);
                         EXPECT_EQ(std::string(r.text24, 24), q.text24);
                         EXPECT_EQ(r.byte_a, 0xE5);
                         EXPECT_EQ(std::string(r.text20, 20), q.text20);
                         EXPECT_EQ(std::string(r.value8, 8), q.value8);
                     }});
    return cases;
}

}  // namespace

TEST(TradeStatus, EveryAnswerFieldByFieldAfterEveryPartialDelivery) {
    const std::vector<status_case> cases = all_cases();
    ASSERT_EQ(cases.size(), 8u);
    for (const status_case& c : cases) {
        SCOPED_TRACE(c.name);
        session s;  // not connected, not logged on
        for (size_t k = 0; k < c.wire.size(); ++k) {
            ASSERT_EQ(s.feed(c.wire.substr(0, k)), 0) << "prefix " << k;
            ASSERT_TRUE(s.log.all().empty()) << "prefix " << k;
        }
        ASSERT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
        std::vector<event> ev = s.log.all();
        ASSERT_EQ(ev.size(), 1u);
        EXPECT_EQ(ev[0].kind, c.type);
        c.check(ev[0]);

        // Without a callback the message is consumed and nothing is called.
        session quiet(false);
        EXPECT_EQ(quiet.feed(c.wire), static_cast<int>(c.wire.size()));
        EXPECT_TRUE(quiet.log.all().empty());
    }
}

TEST(TradeStatus, MarketSessionFlagsAndServerEditions) {
    hux_sim::sim_session_stat st;
    st.flag = 2;  // only 1 is passed as true
    st.session = 0x11;
    st.session_qv27 = 0x22;
    session plain;
    ASSERT_EQ(plain.feed(hux_sim::session_stat_report(st)), 16);

    session qv27;
    hux_sim::sim_config cfg;
    cfg.server_edition = 6;
    ASSERT_EQ(qv27.feed(hux_sim::sim_trade_server::version_answer(cfg)), 56);
    ASSERT_TRUE(qv27.client->IsQv27Version());
    st.flag = 1;
    ASSERT_EQ(qv27.feed(hux_sim::session_stat_report(st)), 16);

    std::vector<event> a = plain.log.all(), b = qv27.log.all();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].number, 0x11);
    EXPECT_FALSE(a[0].flag);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].number, 0x22);
    EXPECT_TRUE(b[0].flag);

    // A market-session answer is last only when byte 13 is 1.
    hux_sim::sim_market_sessions ms;
    ms.exchange_id = 100;
    for (uint8_t last : {0, 2, 1}) {
        ms.last = last;
        ASSERT_EQ(plain.feed(hux_sim::market_session_answer(ms)), 272);
    }
    a = plain.log.all();
    ASSERT_EQ(a.size(), 4u);
    EXPECT_FALSE(a[1].flag);
    EXPECT_FALSE(a[2].flag);
    EXPECT_TRUE(a[3].flag);
}

TEST(TradeStatus, SymbolStatusListEndsWithAnEmptyEntry) {
    session s;
    const char* names[] = {"IF2406", "IF2409", "IO2406-C-3500"};
    for (int i = 0; i < 3; ++i) {
        hux_sim::sim_symbol_status v;
        v.first = static_cast<uint8_t>(i + 1);
        v.symbol = names[i];
        v.value = 100 + i;
        ASSERT_EQ(s.feed(hux_sim::symbol_status_message(true, v)), 64);
    }
    // The end message carries no entry, whatever its other bytes hold.
    hux_sim::sim_symbol_status end;
    end.first = 9;
    end.symbol = "NOT-AN-ENTRY";
    end.value = 77;
    end.short_text = "X";
    end.byte_b = 5;
    end.end_mark = 3;
    ASSERT_EQ(s.feed(hux_sim::symbol_status_message(true, end)), 64);

    std::vector<event> ev = s.log.all();
    ASSERT_EQ(ev.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        HUX_SymbolStatus r = record_as<HUX_SymbolStatus>(ev[i]);
        EXPECT_FALSE(ev[i].flag);
        EXPECT_STREQ(r.symbol, names[i]);
        EXPECT_EQ(r.first_field, i + 1);
        EXPECT_EQ(val(r.value), 100 + i);
    }
    EXPECT_TRUE(ev[3].flag);
    EXPECT_EQ(ev[3].record, std::string(sizeof(HUX_SymbolStatus), '\0'));
}

// A short session text: the record holds it and zeros, not what follows its
// NUL in the field. (Texts that fill their field, with set bytes behind
// them, are in the cases above.)
TEST(TradeStatus, TextsStopAtTheirNul) {
    session s;
    hux_sim::sim_session_id sid;
    sid.session = std::string("S1\0GARBAGE", 10);
    ASSERT_EQ(s.feed(hux_sim::session_id_answer(sid)), 32);
    std::vector<event> ev = s.log.all();
    ASSERT_EQ(ev.size(), 1u);
    HUX_SessionID id = record_as<HUX_SessionID>(ev[0]);
    EXPECT_EQ(std::string(id.session, sizeof(id.session)), std::string("S1") + std::string(15, '\0'));
}

// The order-token high-water mark under two threads (its rules are checked
// through the order functions in test_c_api_checks), and the clock.
TEST(TradeStatus, TokenMarkAndClock) {
    // Two threads offer the same rising tokens: each is taken exactly once,
    // and neither thread ever sees the mark fall.
    session t;
    const uint32_t n = 20000;
    uint32_t wins[2] = {0, 0};
    bool fell[2] = {false, false};
    auto offer = [&](int who) {
        uint32_t seen = 0;
        for (uint32_t tok = 1; tok <= n; ++tok) {
            if (t.client->SetMaxToken(tok)) ++wins[who];
            uint32_t now = t.client->GetMaxToken();
            if (now < seen || now < tok) fell[who] = true;
            seen = now;
        }
    };
    std::thread a(offer, 0), b(offer, 1);
    a.join();
    b.join();
    EXPECT_EQ(wins[0] + wins[1], n);
    EXPECT_FALSE(fell[0]);
    EXPECT_FALSE(fell[1]);
    EXPECT_EQ(t.client->GetMaxToken(), n);

    timespec before;
    clock_gettime(CLOCK_REALTIME, &before);
    const uint64_t stamp = CTradeClient::convert_now_to_timestamp();
    timespec after;
    clock_gettime(CLOCK_REALTIME, &after);
    const uint32_t sec = static_cast<uint32_t>(stamp >> 32);
    EXPECT_GE(sec, static_cast<uint32_t>(before.tv_sec));
    EXPECT_LE(sec, static_cast<uint32_t>(after.tv_sec));
    EXPECT_LT(static_cast<uint32_t>(stamp & 0xffffffffu), 1000000000u);
}

// The trade session's status and query answers: every message type read into
// its record field by field, partial messages, the two server editions of the
// market session push, the end of a symbol-status list, texts that overrun
// their field, delivery before logon over loopback, and the order-token
// high-water mark under two threads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_status_answers.h"
#include "sim/sim_trade_server.h"
#include "trade_client_api/mv_hux_trade_tcpdirect_ef_vi/TradeClient.h"

using HUX_TRADE::CTradeClient;
using hux_test::wait_until;

namespace {

const std::chrono::milliseconds kWait(5000);

// One callback as the application saw it: the message type it belongs to, the
// record's bytes, and the bool (is-last or flag) and session byte where given.
struct event {
    uint16_t type;
    std::string record;
    bool flag;
    uint8_t session;
};

struct recorder {
    std::mutex m;
    std::vector<event> events;
    void add(uint16_t type, const void* rec, size_t n, bool flag = false, uint8_t session = 0) {
        std::lock_guard<std::mutex> g(m);
        events.push_back(event{type, std::string(static_cast<const char*>(rec), n), flag, session});
    }
    std::vector<event> all() {
        std::lock_guard<std::mutex> g(m);
        return events;
    }
    void clear() {
        std::lock_guard<std::mutex> g(m);
        events.clear();
    }
};

recorder* rec_of(void* h) { return static_cast<recorder*>(static_cast<CTradeClient*>(h)->GetUserParam()); }

void on_bp(void* h, HUX_AccountBP* r) { rec_of(h)->add(1081, r, sizeof(*r)); }
void on_ms(void* h, HUX_ExchangeMarketSession* r, bool last) { rec_of(h)->add(1084, r, sizeof(*r), last); }
void on_stat(void* h, uint8_t s, bool flag) { rec_of(h)->add(1085, nullptr, 0, flag, s); }
void on_sym_report(void* h, HUX_SymbolStatus* r) { rec_of(h)->add(1086, r, sizeof(*r)); }
void on_sym_query(void* h, HUX_SymbolStatus* r, bool last) { rec_of(h)->add(1087, r, sizeof(*r), last); }
void on_prod(void* h, HUX_ProdStatus* r) { rec_of(h)->add(1089, r, sizeof(*r)); }
void on_sid(void* h, HUX_SessionID* r) { rec_of(h)->add(1094, r, sizeof(*r)); }
void on_rfq(void* h, HUX_InputRegForQuoteResponse* r) { rec_of(h)->add(1097, r, sizeof(*r)); }

struct session {
    recorder rec;
    std::unique_ptr<CTradeClient> client;
    explicit session(bool callbacks = true) : client(new CTradeClient(&rec)) {
        HUX_TRADE::TradeClientTimings t;
        t.close_pause_ms = 1;
        t.tcp_stop_wait_ms = 2000;
        client->SetTimings(t);
        client->SetMaxWaitTime(5);
        if (!callbacks) return;
        client->SetQueryOtAccountBPEvent(&on_bp);
        client->SetQueryMarketSessionEvent(&on_ms);
        client->SetMarketSessionStatReportEvent(&on_stat);
        client->SetSymbolStatusReportEvent(&on_sym_report);
        client->SetQuerySymbolStatusEvent(&on_sym_query);
        client->SetProdStatusReportEvent(&on_prod);
        client->SetQuerySessionIDEvent(&on_sid);
        client->SetInputRegForQuoteEvent(&on_rfq);
    }
    // Hands over exactly these bytes (a buffer of their size, so a read past
    // the end is caught by the address sanitizer).
    int feed(const std::string& bytes) {
        std::vector<unsigned char> buf(bytes.begin(), bytes.end());
        return client->ProcReceiveMsg(buf.data(), static_cast<unsigned>(buf.size()));
    }
};

// Packed fields are read by value, never bound to a reference.
template <class T>
T val(T v) {
    return v;
}

template <class T>
T as(const event& e) {
    T r;
    EXPECT_EQ(e.record.size(), sizeof(T));
    memcpy(&r, e.record.data(), sizeof(T));
    return r;
}

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
                         HUX_AccountBP r = as<HUX_AccountBP>(e);
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
                         HUX_ExchangeMarketSession r = as<HUX_ExchangeMarketSession>(e);
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
                         EXPECT_EQ(e.session, 0x91);  // byte 9 on an ordinary server
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
                         HUX_SymbolStatus r = as<HUX_SymbolStatus>(e);
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
                         HUX_SymbolStatus r = as<HUX_SymbolStatus>(e);
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
                         HUX_ProdStatus r = as<HUX_ProdStatus>(e);
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
                         HUX_SessionID r = as<HUX_SessionID>(e);
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
                         HUX_InputRegForQuoteResponse r = as<HUX_InputRegForQuoteResponse>(e);
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
    const size_t lengths[] = {108, 272, 16, 56, 64, 56, 32, 64};
    for (size_t i = 0; i < cases.size(); ++i) {
        const status_case& c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.wire.size(), lengths[i]);
        session s;  // not connected, not logged on
        for (size_t k = 0; k < c.wire.size(); ++k) {
            ASSERT_EQ(s.feed(c.wire.substr(0, k)), 0) << "prefix " << k;
            ASSERT_TRUE(s.rec.all().empty()) << "prefix " << k;
        }
        ASSERT_EQ(s.feed(c.wire), static_cast<int>(c.wire.size()));
        std::vector<event> ev = s.rec.all();
        ASSERT_EQ(ev.size(), 1u);
        EXPECT_EQ(ev[0].type, c.type);
        c.check(ev[0]);

        // Without a callback the message is consumed and nothing is called.
        session quiet(false);
        EXPECT_EQ(quiet.feed(c.wire), static_cast<int>(c.wire.size()));
        EXPECT_TRUE(quiet.rec.all().empty());
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

    std::vector<event> a = plain.rec.all(), b = qv27.rec.all();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].session, 0x11);
    EXPECT_FALSE(a[0].flag);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].session, 0x22);
    EXPECT_TRUE(b[0].flag);

    // A market-session answer is last only when byte 13 is 1.
    hux_sim::sim_market_sessions ms;
    ms.exchange_id = 100;
    for (uint8_t last : {0, 2, 1}) {
        ms.last = last;
        ASSERT_EQ(plain.feed(hux_sim::market_session_answer(ms)), 272);
    }
    a = plain.rec.all();
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

    std::vector<event> ev = s.rec.all();
    ASSERT_EQ(ev.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        HUX_SymbolStatus r = as<HUX_SymbolStatus>(ev[i]);
        EXPECT_FALSE(ev[i].flag);
        EXPECT_STREQ(r.symbol, names[i]);
        EXPECT_EQ(r.first_field, i + 1);
        EXPECT_EQ(val(r.value), 100 + i);
    }
    EXPECT_TRUE(ev[3].flag);
    EXPECT_EQ(ev[3].record, std::string(sizeof(HUX_SymbolStatus), '\0'));
}

TEST(TradeStatus, TextsNeverReadPastTheirWireField) {
    session s;
    // A 25-character symbol runs on into the bytes after its 20-byte field.
    hux_sim::sim_symbol_status v;
    std::string wire = hux_sim::symbol_status_message(false, v);
    const std::string long_symbol = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    memcpy(&wire[9], long_symbol.data(), long_symbol.size());
    ASSERT_EQ(s.feed(wire), 56);

    // A short session text: the record holds it, the rest of the field zero.
    hux_sim::sim_session_id sid;
    sid.session = std::string("S1\0GARBAGE", 10);
    ASSERT_EQ(s.feed(hux_sim::session_id_answer(sid)), 32);

    std::vector<event> ev = s.rec.all();
    ASSERT_EQ(ev.size(), 2u);
    HUX_SymbolStatus sym = as<HUX_SymbolStatus>(ev[0]);
    EXPECT_EQ(std::string(sym.symbol, sizeof(sym.symbol)), long_symbol.substr(0, 19) + '\0');
    HUX_SessionID id = as<HUX_SessionID>(ev[1]);
    EXPECT_EQ(std::string(id.session, sizeof(id.session)), std::string("S1") + std::string(15, '\0'));
}

TEST(TradeStatus, DeliveredBeforeLogonOverLoopbackInRandomPieces) {
    hux_sim::sim_trade_server sim;
    ASSERT_TRUE(sim.listening());
    session s;
    HUX_TradeSvrInfo info;
    memset(&info, 0, sizeof(info));
    strcpy(info.server_ip, "127.0.0.1");
    info.tcp_port = sim.port();
    info.rsp_cpu = -1;
    ASSERT_TRUE(s.client->ConnServer(&info, false));
    ASSERT_TRUE(sim.wait_for_connection(0, kWait));
    ASSERT_TRUE(wait_until([&] { return s.client->IsConnect(); }, kWait));

    const std::vector<status_case> cases = all_cases();
    std::string stream;
    for (const status_case& c : cases) stream += c.wire;
    ASSERT_TRUE(sim.send_raw_random(0, stream, 7, 9));
    ASSERT_TRUE(wait_until([&] { return s.rec.all().size() >= cases.size(); }, kWait));
    EXPECT_FALSE(s.client->IsLogon());

    std::vector<event> ev = s.rec.all();
    ASSERT_EQ(ev.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(ev[i].type, cases[i].type);
        cases[i].check(ev[i]);
    }
    s.client->DisConnServer();
}

TEST(TradeStatus, TokenMarkUserIdAndClock) {
    session s;
    EXPECT_EQ(s.client->GetMaxToken(), 0u);
    EXPECT_FALSE(s.client->SetMaxToken(0));  // 0 never raises the mark
    EXPECT_TRUE(s.client->SetMaxToken(5));
    EXPECT_FALSE(s.client->SetMaxToken(5));
    EXPECT_EQ(s.client->GetMaxToken(), 5u);
    EXPECT_TRUE(s.client->SetMaxToken(6));
    EXPECT_FALSE(s.client->SetMaxToken(4));
    EXPECT_TRUE(s.client->SetMaxToken(0x80000000u));  // compared unsigned
    EXPECT_FALSE(s.client->SetMaxToken(0x7fffffffu));
    EXPECT_EQ(s.client->GetMaxToken(), 0x80000000u);

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

    s.client->SetUserId(0xFEDCBA98u);
    EXPECT_EQ(s.client->GetUserID(), 0xFEDCBA98u);

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

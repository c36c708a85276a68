// The query answers as the application receives them. Each answer is built
// here from the published record tables, written as rows "+record type
// +answer": every field gets a value of its own (texts fill their wire field
// without a NUL) and every byte the client must not read holds 0xEE; the
// callback must get a record equal byte for byte to the one the same rows
// give. Also: closing messages and end flags, coded fields, option symbols
// in both forms with the logger off and on, no callback meaning no parse and
// no log line, and the answers cut into pieces on a loopback connection.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "tests/adapter/test_query_support.h"

namespace {

using namespace query_test;
typedef std::vector<uint8_t> bytes;

// ---- values by answer offset (top bits set, so a sign extension shows) ----
uint8_t b8(size_t off) { return static_cast<uint8_t>(0x80 + off % 120); }
uint16_t w16(size_t off) { return static_cast<uint16_t>(0x8000 | off * 3); }
uint32_t w32(size_t off) { return 0x80000000u | static_cast<uint32_t>(off) << 12 | static_cast<uint32_t>(off); }
int64_t w64(size_t off) { return static_cast<int64_t>(0x8000000000000000ull | uint64_t(off) << 32 | off * 0x1111u); }
double d64(size_t off) { return -1.25 * (static_cast<double>(off) + 0.5); }
// n letters, different at each offset, no NUL.
std::string letters(size_t off, size_t n) {
    std::string t;
    for (size_t i = 0; i < n; ++i) t += static_cast<char>('a' + (off + i) % 26);
    return t;
}

void put(bytes& b, size_t off, const void* v, size_t n) {
    ASSERT_LE(off + n, b.size()) << "past the end at " << off;
    memcpy(b.data() + off, v, n);
}
template <class T>
void put(bytes& b, size_t off, T v) {
    put(b, off, &v, sizeof(v));
}
void put_text(bytes& b, size_t off, const std::string& t) { put(b, off, t.data(), t.size()); }

// ---- an answer, the record it must give and how the callback is called ----
struct answer_case {
    std::string name;
    bytes wire;
    std::string kind;  // callback
    bytes record;
    bool has_account;
    std::string account;
    int number;
    bool last;
};

// Lays rows "+R type +W, ..." into the answer (at W) and the record (at R).
// Types: u8, u32 (uint32), i64 (int64), f64 (double); u8w and u16w widened
// to 32 bits and u32w to 64; tWxK a text filling its W wire bytes of which
// the record keeps K.
void lay(answer_case& c, const char* rows) {
    const std::string r = rows;
    for (size_t at = 0; at < r.size();) {
        size_t end = r.find(", ", at);
        if (end == std::string::npos) end = r.size();
        char type[16] = {0};
        size_t ro = 0, wo = 0, width = 0, kept = 0;
        ASSERT_EQ(3, sscanf(r.substr(at, end - at).c_str(), "+%zu %15s +%zu", &ro, type, &wo)) << r.substr(at);
        const std::string t = type;
        auto both = [&](auto on_wire, auto in_record) {
            put(c.wire, wo, on_wire);
            put(c.record, ro, in_record);
        };
        if (t == "u8") both(b8(wo), b8(wo));
        else if (t == "u8w") both(b8(wo), uint32_t(b8(wo)));
        else if (t == "u16w") both(w16(wo), uint32_t(w16(wo)));
        else if (t == "u32" || t == "uint32") both(w32(wo), w32(wo));
        else if (t == "u32w") both(w32(wo), uint64_t(w32(wo)));
        else if (t == "i64" || t == "int64") both(w64(wo), w64(wo));
        else if (t == "f64" || t == "double") both(d64(wo), d64(wo));
        else {
            ASSERT_EQ(2, sscanf(type, "t%zux%zu", &width, &kept)) << t;
            put_text(c.wire, wo, letters(wo, width));
            put_text(c.record, ro, letters(wo, kept));
        }
        at = end + 2;
    }
}

// An answer of `len` bytes: 0xEE past the header, the end flag 0 when it
// has one, the account text (the 16 letters at `account_at`) and request
// number (-77 at 4) when the callback gets them, then the rows.
answer_case make(uint16_t type, size_t len, size_t rec_len, const char* kind, bool series, size_t account_at,
                 bool request, const std::vector<const char*>& rows) {
    answer_case c{std::to_string(type), bytes(len, 0xEE), kind, bytes(rec_len, 0), account_at != 0, "", 0, false};
    put(c.wire, 0, type);
    put(c.wire, 2, static_cast<uint16_t>(len));
    if (series) c.wire[8] = 0;
    if (account_at) {
        c.account = letters(account_at, 16);
        put_text(c.wire, account_at, c.account);
    }
    if (request) {
        put(c.wire, 4, int32_t(-77));
        c.number = -77;
    }
    for (const char* r : rows) lay(c, r);
    return c;
}

// ---- the two risk tables, transcribed row by row ----
const std::vector<const char*> ACCOUNT_RISK_ROWS = {
    "+17 uint32 +24, +21 int64 +28, +29 double +324, +37 double +332",
    "+45 double +340, +53 double +348, +61 int64 +692, +69 double +636",
    "+77 double +612, +85 double +668, +93 double +652, +101 int64 +644",
    "+109 int64 +700, +117 int64 +516, +125 int64 +524, +133 int64 +564",
    "+141 int64 +572, +149 double +356, +157 double +364, +165 int64 +388",
    "+173 int64 +396, +181 int64 +404, +189 int64 +412, +197 int64 +420",
    "+205 int64 +428, +213 int64 +436, +221 int64 +444, +229 int64 +548",
    "+237 int64 +556, +245 int64 +596, +253 int64 +604, +261 int64 +580",
    "+269 int64 +588, +277 double +708, +285 double +948, +293 double +372",
    "+301 double +380, +309 int64 +820, +317 int64 +828, +325 int64 +740",
    "+333 int64 +748, +341 int64 +756, +349 int64 +764, +357 int64 +772",
    "+365 int64 +780, +373 int64 +788, +381 int64 +796, +389 int64 +804",
    "+397 int64 +812, +405 int64 +852, +413 int64 +732, +421 int64 +956",
    "+429 double +724, +437 double +964, +445 int64 +100, +453 int64 +108",
    "+461 double +148, +469 double +156, +477 int64 +228, +485 int64 +236",
    "+493 int64 +532, +501 int64 +540, +509 int64 +836, +517 int64 +844",
    "+525 int64 +292, +533 int64 +300, +541 int64 +308, +549 int64 +316",
    "+557 int64 +260, +565 int64 +268, +573 int64 +276, +581 int64 +284",
    "+589 int64 +868, +597 int64 +876, +605 int64 +884, +613 int64 +892",
    "+621 int64 +900, +629 int64 +908, +637 int64 +916, +645 int64 +924",
    "+653 double +52, +661 double +60, +669 double +932, +677 double +940",
    "+685 double +716, +693 double +972, +701 int64 +68, +709 int64 +76",
    "+717 int64 +116, +725 int64 +124, +733 double +36, +741 double +44",
    "+749 double +84, +757 double +92, +765 int64 +132, +773 int64 +140",
    "+781 double +180, +789 double +188, +797 int64 +164, +805 int64 +172",
    "+813 int64 +212, +821 int64 +220, +829 double +196, +837 double +204",
    "+845 double +244, +853 double +252, +861 double +684, +869 double +980",
    "+877 double +676, +885 double +988, +893 int64 +452, +901 int64 +460",
    "+909 int64 +468, +917 int64 +476, +925 int64 +484, +933 int64 +492",
    "+941 int64 +500, +949 int64 +508",
};
const std::vector<const char*> SYMBOL_RISK_ROWS = {
    "+0 uint32 +8, +41 int64 +48, +49 double +56, +57 double +64",
    "+65 int64 +72, +73 double +80, +81 double +88, +89 double +96",
    "+97 int64 +104, +105 double +112, +113 double +120, +121 int64 +128",
    "+129 double +136, +137 double +144, +145 double +160, +153 uint32 +168",
    "+157 uint32 +172, +161 uint32 +176, +165 uint32 +180, +169 double +192",
    "+177 double +208, +185 double +240, +193 double +224, +201 double +288",
    "+209 int64 +296, +217 int64 +304, +225 double +200, +233 double +376",
    "+241 int64 +184, +249 double +384, +257 double +232, +265 double +392",
    "+273 double +216, +281 double +400, +289 int64 +272, +297 double +408",
    "+305 double +264, +313 double +416, +321 double +256, +329 double +424",
    "+337 double +248, +345 double +432, +353 double +152, +361 double +440",
    "+369 double +312, +377 int64 +320, +385 double +328, +393 double +344",
    "+401 int64 +352, +409 double +360",
};

size_t entries(const std::vector<const char*>& rows) {
    size_t n = 0;
    for (const char* r : rows) n += 1 + count_of(r, ", ");
    return n;
}
std::vector<const char*> with(std::vector<const char*> first, const std::vector<const char*>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// ---- the answers ----
answer_case password_answer() {
    answer_case c = make(1069, 16, 0, "password", false, 0, false, {});
    put(c.wire, 12, w32(12));
    c.number = static_cast<int>(w32(12));
    return c;
}
answer_case user_account() {
    return make(1071, 88, 69, "user", true, 0, false,
                {"+0 t16x16 +13, +17 u32 +29, +21 f64 +33, +29 f64 +41, +37 f64 +49, +45 f64 +57, +53 f64 +65",
                 "+61 f64 +73"});
}
answer_case symbol_field() {  // a kind other than 2 (0x89)
    return make(1072, 139, 141, "symbol", true, 0, false,
                {"+0 u8 +9, +1 t20x20 +10, +21 t21x21 +30, +42 u8 +51, +43 u32 +52, +48 u16w +84, +52 u8w +86",
                 "+56 u32 +87, +60 u32 +91, +64 u32 +95, +68 u32 +99, +72 u32 +103, +76 f64 +107, +84 u32 +115",
                 "+88 u32 +119, +92 u32 +123, +96 u32 +127, +100 u32 +131, +104 u8w +135, +108 u8w +136"});
}
// An option of the symbol list: 0 at 96 and 100, and what its symbol gives.
answer_case option_symbol(const std::string& symbol, uint8_t exchange, const std::string& underlying, char cp,
                          double strike) {
    answer_case c = symbol_field();
    c.wire[9] = c.record[0] = 2;
    c.wire[51] = c.record[42] = exchange;
    put_text(c.wire, 10, symbol + std::string(symbol.size() < 20 ? 1 : 0, '\0'));
    put_text(c.record, 1, symbol + std::string(20 - symbol.size(), '\0'));
    put(c.record, 96, uint64_t(0));
    put(c.record, 112, strike);
    c.record[120] = static_cast<uint8_t>(cp);
    put_text(c.record, 121, underlying);
    return c;
}
answer_case future_position() {
    return make(1073, 152, 86, "pos", true, 13, true,
                {"+0 t16x16 +13, +17 t20x19 +33, +37 u8w +53, +41 u32 +54, +45 u32 +66, +49 u32 +70, +53 u32 +74",
                 "+57 u32 +78, +61 f64 +82, +69 f64 +90, +77 f64 +138, +85 u8 +146"});
}
// The decimal text at 86 fills its 9 bytes and a digit follows it; the
// quantities are A = 0xFFFFFF00 and B = 0x234, whose sum wraps.
answer_case option_position(uint32_t exchange, const std::string& symbol, const std::string& underlying, char cp,
                            double strike) {
    answer_case c = make(1092, 167, 131, "opt", true, 13, true,
                         {"+0 t16x16 +13, +74 u32 +96, +78 u32 +144, +82 u32 +108, +94 u32 +116, +98 u32 +120",
                          "+102 u32 +124, +106 f64 +128, +114 f64 +136, +122 f64 +152, +130 u8 +160"});
    put(c.wire, 33, exchange);
    put_text(c.wire, 37, symbol + std::string(1, '\0'));
    put_text(c.record, 17, symbol.substr(0, 19));
    put_text(c.record, 41, underlying);
    c.record[61] = static_cast<uint8_t>(cp);
    put(c.record, 62, strike);
    put_text(c.wire, 86, "9876543217");  // 95 holds the '7'
    put(c.record, 37, uint32_t('7'));
    put(c.record, 70, int32_t(987654321));
    put(c.wire, 112, 0xFFFFFF00u);
    put(c.wire, 148, 0x234u);
    const bool apart = exchange == 103 || exchange == 106;
    put(c.record, 86, apart ? 0x234u : 0x134u);
    put(c.record, 90, apart ? 0xFFFFFF00u : 0u);
    return c;
}
answer_case rewind_order(uint8_t byte_69, uint32_t coded) {
    answer_case c = make(
        1074, 144, 132, "order", true, 74, false,
        {"+0 u32 +9, +4 i64 +13, +12 u32 +21, +16 u8 +47, +17 u32 +48, +21 u8 +25, +22 t21x20 +26, +42 f64 +52",
         "+50 t16x16 +74, +67 u8 +90, +69 u32w +105, +77 u8 +91, +78 i64 +93, +86 u32 +101, +94 u32 +70",
         "+98 u32w +133, +106 i64 +109, +114 i64 +117, +122 i64 +125, +131 u8 +60"});
    c.wire[69] = byte_69;
    put(c.record, 90, coded);
    return c;
}
answer_case rewind_execution(uint16_t type) {
    const bool ex = type == 1063;
    return make(type, ex ? 112 : 88, ex ? 90 : 69, ex ? "exec_ex" : "exec", true, 13, false,
                {"+0 u32 +9, +4 i64 +29, +12 u32 +37, +16 u32w +41, +24 u32 +45, +28 f64 +49",
                 ex ? "+44 t26x24 +57, +69 t20x19 +83, +89 u8 +103" : "+44 t31x24 +57"});
}
answer_case margin() {
    return make(1077, 96, 43, "margin", true, 9, false,
                {"+0 u8 +25, +1 t20x20 +26, +21 u8 +46, +22 u32 +47, +27 f64 +79, +35 f64 +87"});
}
answer_case fee(uint8_t byte_127, uint32_t coded) {
    answer_case c = make(1078, 128, 79, "fee", true, 9, false,
                         {"+0 u8 +25, +1 t20x19 +26, +21 u8 +46, +22 u32 +47, +27 f64 +79, +35 f64 +87",
                          "+43 f64 +95, +51 f64 +103, +59 f64 +111, +67 f64 +119"});
    c.wire[127] = byte_127;
    put(c.record, 75, coded);
    return c;
}
// No end flag: +8 stays 0xEE.
answer_case buying_power(uint16_t type) {
    return make(type, 108, 89, type == 1081 ? "bp" : "bp_push", false, 12, type == 1081,
                {"+0 t16x16 +12, +17 f64 +32, +25 f64 +40, +33 f64 +48, +41 f64 +56, +49 f64 +64, +57 f64 +72",
                 "+65 f64 +80, +73 f64 +88, +81 f64 +96"});
}
answer_case account_risk() {
    return make(1082, 1006, 957, "risk", false, 0, false, with({"+0 t16x16 +8"}, ACCOUNT_RISK_ROWS));
}
answer_case symbol_risk() {
    return make(1083, 448, 417, "sym_risk", false, 0, false, with({"+4 t16x16 +12, +21 t20x20 +28"}, SYMBOL_RISK_ROWS));
}
answer_case closing(answer_case c, uint8_t flag) {
    c.wire[8] = flag;
    c.record.assign(c.record.size(), 0);
    c.last = true;
    return c;
}

// ---- what the callbacks saw ----
struct call {
    std::string kind;
    void* handle;
    bool has_account;
    std::string account;     // up to its NUL, which must come within 17 bytes
    bool account_terminated;
    bool account_in_record;  // the record's own field
    bytes record;
    int number;
    bool last;
};

struct recorder {
    std::mutex lock;
    std::condition_variable cv;
    std::vector<call> calls;
    std::vector<call> take() {
        std::lock_guard<std::mutex> g(lock);
        std::vector<call> out;
        out.swap(calls);
        return out;
    }
    bool wait_for(size_t n) {
        std::unique_lock<std::mutex> g(lock);
        return cv.wait_for(g, kWait, [&] { return calls.size() >= n; });
    }
};

template <class REC>
void seen(void* h, const char* kind, const char* account, const REC* r, int number, bool last) {
    call c{kind, h, account != nullptr, "", false, false, bytes(), number, last};
    if (account) {
        c.account_terminated = strnlen(account, 17) < 17;
        c.account.assign(account, strnlen(account, 17));
        c.account_in_record = static_cast<const void*>(account) == static_cast<const void*>(r);
    }
    if (r) c.record.assign(reinterpret_cast<const uint8_t*>(r), reinterpret_cast<const uint8_t*>(r) + sizeof(REC));
    recorder* to = static_cast<recorder*>(h);
    std::lock_guard<std::mutex> g(to->lock);
    to->calls.push_back(c);
    to->cv.notify_all();
}

void on_password(void* h, int result) { seen<char>(h, "password", nullptr, nullptr, result, false); }
void on_user(void* h, HUX_AccountInfo* r, bool last) { seen(h, "user", nullptr, r, 0, last); }
void on_pos(void* h, const char* a, HUX_AccountPosition* r, int n, bool last) { seen(h, "pos", a, r, n, last); }
void on_opt(void* h, const char* a, HUX_AccountOptionPosition* r, int n, bool last) { seen(h, "opt", a, r, n, last); }
void on_bp(void* h, const char* a, HUX_AccountBP* r, int n) { seen(h, "bp", a, r, n, false); }
void on_bp_push(void* h, const char* a, HUX_AccountBP* r) { seen(h, "bp_push", a, r, 0, false); }
void on_risk(void* h, HUX_AccountRiskData* r, int v) { seen(h, "risk", nullptr, r, v, false); }
void on_sym_risk(void* h, HUX_AccountSymbolRiskData* r, int v) { seen(h, "sym_risk", nullptr, r, v, false); }
void on_symbol(void* h, HUX_SymbolField* r, bool last) { seen(h, "symbol", nullptr, r, 0, last); }
void on_margin(void* h, const char* a, HUX_AccountMargin* r, bool last) { seen(h, "margin", a, r, 0, last); }
void on_fee(void* h, const char* a, HUX_AccountFee* r, bool last) { seen(h, "fee", a, r, 0, last); }
void on_order(void* h, const char* a, HUX_QueryAccountOrder* r, bool last) { seen(h, "order", a, r, 0, last); }
void on_exec(void* h, const char* a, HUX_QueryOrderExecution* r, bool last) { seen(h, "exec", a, r, 0, last); }
void on_exec_ex(void* h, const char* a, HUX_QueryOrderExecutionEx* r, bool last) { seen(h, "exec_ex", a, r, 0, last); }

void set_all(CQueryClient& c, bool on) {
    c.SetChangePasswordEvent(on ? on_password : nullptr);
    c.SetQueryUserAccountEvent(on ? on_user : nullptr);
    c.SetQueryAccountPositionEvent(on ? on_pos : nullptr);
    c.SetQueryAccountOptionPositionEvent(on ? on_opt : nullptr);
    c.SetQueryAccountBPEvent(on ? on_bp : nullptr);
    c.SetAccountBPReportEvent(on ? on_bp_push : nullptr);
    c.SetQueryAccountRiskDataEvent(on ? on_risk : nullptr);
    c.SetQueryAccountSymbolRiskDataEvent(on ? on_sym_risk : nullptr);
    c.SetQuerySymbolEvent(on ? on_symbol : nullptr);
    c.SetQueryAccountTradeMarginEvent(on ? on_margin : nullptr);
    c.SetQueryAccountTradeFeeEvent(on ? on_fee : nullptr);
    c.SetQueryTradeOrderEvent(on ? on_order : nullptr);
    c.SetQueryTradeOrderExecEvent(on ? on_exec : nullptr);
    c.SetQueryTradeOrderExecEventEx(on ? on_exec_ex : nullptr);
}

struct session {
    recorder seen;
    scratch_dir scratch;
    CQueryClient client{&seen, nullptr, nullptr};
    explicit session(bool callbacks = true) {
        EXPECT_FALSE(scratch.path().empty());
        client.SetLogDir(scratch.path().c_str());
        set_all(client, callbacks);
    }
    // In a buffer of exactly the answer's size: a read past it is caught by
    // the address sanitizer.
    void feed(const bytes& m) {
        bytes buf(m);
        ASSERT_EQ(static_cast<int>(m.size()), client.ProcReceiveMsg(buf.data(), static_cast<unsigned>(buf.size())));
    }
    size_t count(const std::string& text) {
        client.LoggerFlush();
        return count_of(read_file(text_log_path(scratch.path())), text);
    }
    size_t lines(const std::string& tag) { return count(log_body(tag, "")); }
};

void expect_one(session& s, const answer_case& c) {
    SCOPED_TRACE(c.name);
    s.feed(c.wire);
    std::vector<call> got = s.seen.take();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(c.kind, got[0].kind);
    EXPECT_EQ(static_cast<void*>(&s.seen), got[0].handle);
    EXPECT_EQ(hex_of(c.record.data(), c.record.size()), hex_of(got[0].record.data(), got[0].record.size()));
    EXPECT_EQ(c.has_account, got[0].has_account);
    EXPECT_TRUE(!c.has_account || got[0].account_terminated);
    EXPECT_EQ(c.account, got[0].account);
    EXPECT_EQ(c.number, got[0].number);
    EXPECT_EQ(c.last, got[0].last);
}

TEST(QueryResults, EveryAnswerFillsEveryRecordByte) {
    EXPECT_EQ(118u, entries(ACCOUNT_RISK_ROWS));
    EXPECT_EQ(50u, entries(SYMBOL_RISK_ROWS));
    answer_case stops_at_nul = future_position();  // an account "ab" and junk behind its NUL
    put_text(stops_at_nul.wire, 13, std::string("ab\0junk", 7));
    put_text(stops_at_nul.record, 0, "ab" + std::string(14, '\0'));
    stops_at_nul.account = "ab";
    const answer_case cases[] = {
        password_answer(), user_account(), symbol_field(), option_symbol("m2501-C-2900", 104, "m2501", 'C', 2900),
        future_position(), stops_at_nul, option_position(100, "SR501C5600", "SR501", 'C', 5600),
        rewind_order(0, 99998), rewind_execution(1075), rewind_execution(1063), margin(), fee(1, 1),
        buying_power(1081), buying_power(1093), account_risk(), symbol_risk()};
    session s;
    for (const answer_case& c : cases) expect_one(s, c);
    // The buying power's account text is the record's own field.
    s.feed(buying_power(1093).wire);
    std::vector<call> bp = s.seen.take();
    ASSERT_EQ(1u, bp.size());
    EXPECT_TRUE(bp[0].account_in_record);
    // 1064, 1095 and 1099 reach nobody.
    for (const auto& t : {std::make_pair(1064, 24), std::make_pair(1095, 200), std::make_pair(1099, 64)})
        s.feed(make(static_cast<uint16_t>(t.first), t.second, 0, "", false, 0, false, {}).wire);
    EXPECT_TRUE(s.seen.take().empty());
}

TEST(QueryResults, CodedFieldsAndOptionQuantities) {
    session s;
    const std::pair<uint8_t, uint32_t> order_codes[] = {{0, 99998}, {1, 0}, {2, 2}, {7, 0}, {255, 0}};
    for (const auto& c : order_codes) expect_one(s, rewind_order(c.first, c.second));
    const std::pair<uint8_t, uint32_t> fee_codes[] = {{1, 1}, {0, 5}, {2, 5}, {5, 5}, {255, 5}};
    for (const auto& c : fee_codes) expect_one(s, fee(c.first, c.second));
    // 103 and 106: B at 86 and A at 90; others: A + B (wrapped) and 0.
    for (uint32_t x : {103u, 106u, 100u, 105u}) expect_one(s, option_position(x, "SR501C5600", "SR501", 'C', 5600));
}

TEST(QueryResults, ClosingMessagesAndEndFlags) {
    session s;
    s.client.SetLoggerSwitch(true);
    // One call with a zero record and the closing message's own account text
    // and request number; any non-zero flag closes these series, and the
    // closing symbol and position (unreadable as items) are not parsed.
    for (uint8_t flag : {1, 2, 0x80, 0xFF}) {
        SCOPED_TRACE(static_cast<int>(flag));
        for (const answer_case& c : {user_account(), option_symbol("NOSEPARATOR", 104, "", 0, 0), future_position(),
                                     option_position(100, "NOSEPARATOR", "", 0, 0), margin(), fee(1, 1)})
            expect_one(s, closing(c, flag));
    }
    EXPECT_EQ(0u, s.count("INVALID_OPT_SYMBOL"));
    // Only 1 closes the rewinds; 2 and 255 are items.
    for (const answer_case& c : {rewind_order(0, 99998), rewind_execution(1075), rewind_execution(1063)}) {
        expect_one(s, closing(c, 1));
        for (uint8_t flag : {2, 255}) {
            answer_case item = c;
            item.wire[8] = flag;
            expect_one(s, item);
        }
    }
}

// One option symbol as a symbol of kind 2 (when it fits its 20 bytes) and
// as an option position.
struct symbol_case {
    std::string symbol;
    uint32_t exchange;
    bool listed;            // 1072 delivers it; a failure is one line
    bool position;          // 1092 delivers it
    size_t position_lines;  // one per failed check
    std::string underlying;
    char call_put;
    double strike;
};

TEST(QueryResults, OptionSymbolsWithTheLoggerOffAndOn) {
    const std::string L19 = "ABDEFGHIJKLMNOQRSTU";  // 19 characters, no 'C' or 'P'
    const symbol_case cases[] = {
        {"IO2412-C-3800", 102, true, true, 0, "IO2412", 'C', 3800},
        {"m2501-P-2900", 104, true, true, 0, "m2501", 'P', 2900},
        {"AU2506-C-480", 108, true, true, 0, "AU2506", 'C', 480},
        {"SR501C5600", 100, true, true, 0, "SR501", 'C', 5600},
        {"CUP2501C70000", 101, true, true, 0, "CUP2501", 'C', 70000},  // 'C' at 0 uncounted; 'C' beats 'P'
        {"AP2501P100", 100, true, true, 0, "AP2501", 'P', 100},       // 'P' at 1 uncounted
        {"XC2501P5", 103, true, true, 0, "XC2501", 'P', 5},
        {"ABD2501XYP300", 105, true, true, 0, "ABD2501", 'P', 300},   // back to the last digit
        {"ABDEFGP300", 105, true, true, 0, "ABD", 'P', 300},          // no digit: three characters
        {"ABDEFGP300", 100, true, true, 0, "ABDEFG", 'P', 300},
        {"SR501C99999999999", 100, true, true, 0, "SR501", 'C', 1215752191},  // a long kept as int32
        {"SR501Cxyz", 100, true, true, 0, "SR501", 'C', 0},           // no digits
        {"SR501C", 100, false, true, 1, "SR501", 'C', 0},             // nothing behind the letter
        {L19 + "C", 100, false, true, 1, L19, 'C', 0},                // fills the 1072 field, no NUL
        {L19 + "C1", 100, false, true, 0, L19, 'C', 1},               // L = 19
        {L19 + "VC1", 100, false, false, 1, "", 0, 0},                // L = 20
        {L19 + "VC", 100, false, false, 2, "", 0, 0},                 // L = 20, nothing behind
        {L19 + "-C-1", 102, false, true, 0, L19, 'C', 1},
        {L19 + "V-C-1", 102, false, false, 1, "", 0, 0},
        {"AC", 100, false, false, 1, "", 0, 0},                       // n <= 2
        {"P", 100, false, false, 1, "", 0, 0},
        {"", 100, false, false, 1, "", 0, 0},
        {"m2501C2900", 104, false, false, 1, "", 0, 0},               // no '-'
        {"IO2412-C_3800", 102, false, true, 1, "IO2412", 'C', 3800},  // no second '-'
        {"-C-100", 108, false, true, 1, "", 'C', 100},                // L = 0
        {"IO2412-C-", 102, false, true, 1, "IO2412", 'C', 0},
        {"ABD-", 104, false, true, 2, "ABD", 0, 0},                   // position and '-' checks
    };
    size_t all_lines = 0;
    for (const symbol_case& c : cases) all_lines += c.position_lines + (c.symbol.size() <= 20 && !c.listed ? 1 : 0);
    for (bool logger : {false, true}) {
        session s;
        s.client.SetLoggerSwitch(logger);
        for (const symbol_case& c : cases) {
            SCOPED_TRACE(c.symbol + " on " + std::to_string(c.exchange) + (logger ? ", logger on" : ""));
            if (c.symbol.size() <= 20) {
                const std::string tag = "INVALID_OPT_SYMBOL:" + c.symbol;
                const size_t before = s.lines(tag);
                const answer_case a = option_symbol(c.symbol, static_cast<uint8_t>(c.exchange), c.underlying,
                                                    c.call_put, c.strike);
                if (c.listed) {
                    expect_one(s, a);
                } else {
                    s.feed(a.wire);
                    EXPECT_TRUE(s.seen.take().empty());
                }
                EXPECT_EQ(logger && !c.listed ? 1u : 0u, s.lines(tag) - before);
            }
            const size_t before = s.lines("INVALID_OPT_SYMBOL");
            const answer_case a = option_position(c.exchange, c.symbol, c.underlying, c.call_put, c.strike);
            if (c.position) {
                expect_one(s, a);
            } else {
                s.feed(a.wire);
                EXPECT_TRUE(s.seen.take().empty());
            }
            EXPECT_EQ(logger ? c.position_lines : 0u, s.lines("INVALID_OPT_SYMBOL") - before);
        }
        EXPECT_EQ(logger ? all_lines : 0u, s.count("INVALID_OPT_SYMBOL"));
    }
}

TEST(QueryResults, OptionSymbolIsReadNoFurtherThanTheMessage) {
    session s;
    // 49 symbol bytes without a NUL: the text runs on into the decimal text at 86.
    answer_case a = option_position(100, "AB2501C" + std::string(42, '0'), "AB2501", 'C', 0);
    put_text(a.wire, 86, std::string("12345\0", 6));
    put(a.record, 62, 12345.0);
    put(a.record, 70, int32_t(12345));
    put(a.record, 37, uint32_t(b8(95)));  // 95 is left as the rows laid it
    a.wire[95] = static_cast<char>(b8(95));
    expect_one(s, a);
    // No NUL from 37 to the end of the message, and no digit behind the 'C'.
    a = option_position(100, "AB2501Cx", "AB2501", 'C', 0);
    for (size_t i = 37; i < a.wire.size(); ++i)
        if (a.wire[i] == 0 || (a.wire[i] >= '0' && a.wire[i] <= '9' && i > 43)) a.wire[i] = 'x';
    s.feed(a.wire);
    std::vector<call> got = s.seen.take();
    ASSERT_EQ(1u, got.size());
    HUX_AccountOptionPosition p;
    memcpy(&p, got[0].record.data(), sizeof(p));
    EXPECT_EQ("AB2501", std::string(p.underlying));
    EXPECT_EQ('C', char(p.call_put));
    EXPECT_EQ(0.0, double(p.strike));
}

TEST(QueryResults, NoCallbackMeansNoParseAndNoLog) {
    session s(false);
    s.client.SetLoggerSwitch(true);
    const answer_case all[] = {
        password_answer(), user_account(), option_symbol("m2501C2900", 104, "", 0, 0),
        option_position(100, "NOSEPARATOR", "", 0, 0), future_position(), rewind_order(0, 99998),
        rewind_execution(1075), rewind_execution(1063), margin(), fee(0, 5), buying_power(1081),
        buying_power(1093), account_risk(), symbol_risk()};
    for (const answer_case& c : all) s.feed(c.wire);
    EXPECT_TRUE(s.seen.take().empty());
    EXPECT_EQ(0u, s.count("INVALID_OPT_SYMBOL"));
    EXPECT_EQ(1u, s.lines("proc query_symbol_resp"));  // consumed all the same
    // One callback set, then switched off again.
    s.client.SetAccountBPReportEvent(on_bp_push);
    for (const answer_case& c : all) s.feed(c.wire);
    std::vector<call> got = s.seen.take();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("bp_push", got[0].kind);
    s.client.SetAccountBPReportEvent(nullptr);
    for (const answer_case& c : all) s.feed(c.wire);
    EXPECT_TRUE(s.seen.take().empty());
}

TEST(QueryResultsLoopback, AnswersCutIntoPiecesReachTheCallbacksOnTheReceiveThread) {
    query_server server;
    session s;
    ASSERT_TRUE(s.client.ConnServer(query_info(server.port())));
    ASSERT_TRUE(server.raw().wait_accept(0, kWait));
    const answer_case items[] = {option_position(100, "SR501C5600", "SR501", 'C', 5600), buying_power(1093),
                                 account_risk(), symbol_field(), closing(future_position(), 1)};
    std::string stream;
    for (const answer_case& c : items) stream.append(c.wire.begin(), c.wire.end());
    ASSERT_TRUE(server.raw().send_random_pieces(0, stream, 2024, 7));
    // Callbacks set while answers arrive (1071 is never sent).
    for (int i = 0; i < 200; ++i) s.client.SetQueryUserAccountEvent(i % 2 ? on_user : nullptr);
    ASSERT_TRUE(s.seen.wait_for(5));
    std::vector<call> got = s.seen.take();
    ASSERT_EQ(5u, got.size());
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(items[i].name);
        EXPECT_EQ(items[i].kind, got[i].kind);
        EXPECT_EQ(hex_of(items[i].record.data(), items[i].record.size()),
                  hex_of(got[i].record.data(), got[i].record.size()));
        EXPECT_EQ(items[i].last, got[i].last);
    }
}

}  // namespace

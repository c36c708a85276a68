// The adapter's trade answer records as the published record tables lay
// them out, built byte by byte for comparison with what a callback receives,
// with the field values the test messages carry. Shared by the tests that
// feed the receive table directly and those that go through a connection.
#ifndef HUX_TESTS_ADAPTER_EXPECTED_H
#define HUX_TESTS_ADAPTER_EXPECTED_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace adapter_expected {

typedef std::vector<uint8_t> bytes;

// ---- byte builders: a wire message or an expected record ----

struct buf {
    bytes b;

    // A message: header (type, length) and 0xA5 everywhere else, so that a
    // field read at the wrong place or width shows.
    static buf wire(uint16_t type, size_t len) {
        buf m{bytes(len, 0xA5)};
        m.u16(0, type);
        m.u16(2, static_cast<uint16_t>(len));
        return m;
    }
    // An expected record: zero unless written.
    static buf record(size_t len) { return buf{bytes(len, 0)}; }

    buf& u8(size_t off, uint8_t v) {
        b.at(off) = v;
        return *this;
    }
    buf& u16(size_t off, uint16_t v) { return put(off, &v, sizeof(v)); }
    buf& u32(size_t off, uint32_t v) { return put(off, &v, sizeof(v)); }
    buf& u64(size_t off, uint64_t v) { return put(off, &v, sizeof(v)); }
    buf& f64(size_t off, double v) { return put(off, &v, sizeof(v)); }
    buf& raw(size_t off, const bytes& v) { return put(off, v.data(), v.size()); }
    // The text's bytes, then NULs up to width (none when the text fills it).
    buf& text(size_t off, const std::string& t, size_t width) {
        EXPECT_LE(t.size(), width);
        bytes field(width, 0);
        memcpy(field.data(), t.data(), t.size());
        return raw(off, field);
    }
    buf& put(size_t off, const void* v, size_t n) {
        EXPECT_LE(off + n, b.size()) << "write past the end at " << off;
        if (off + n <= b.size()) memcpy(b.data() + off, v, n);
        return *this;
    }
};

inline bytes run(uint8_t first, size_t n) {
    bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + i);
    return out;
}

// ---- values carried by the messages (distinct, non-zero, top bits set where widened) ----

const uint32_t REQUEST_TAG = 0x83040304u;
const uint8_t USER_LOW = 0xF1;               // low byte of the user id
const uint32_t USER_FULL = 0x80000ABCu;      // whole user id of the cancel answers
const uint8_t EXCHANGE_ID = 0xE2;
const uint8_t OPT_4 = 0xD3;
const uint8_t SIDE = 0xC4;
const uint8_t OPT_5 = 0xB5;
const uint32_t CLIENT_TOKEN = 0x8C0FFEE1u;
const uint32_t QUANTITY = 0x80000123u;
const uint32_t OPT_2 = 0x9ABCDEF0u;
const int64_t PRICE = -987654321;            // -98765.4321
const double PRICE_VALUE = -98765.4321;
const uint32_t OPT_3 = 0xF0E0D0C0u;
const uint32_t SERVER_ORDER = 0x87654321u;
const uint64_t ORDER_NO = 0x8877665544332211ull;
const std::string ACCOUNT = "ACCT0123456789AB";            // fills its 16 bytes
const std::string SYMBOL = "SYMBOLCODE0123456789";         // fills its 20 bytes, ends in a digit
const std::string EXCHANGE_ORDER_ID = "EXCHORDERID0123456789XYZ";  // fills its 24 bytes

const uint32_t MARKET_TOKEN = 0x8A4B3C2Du;
const uint32_t CANCEL_TOKEN = 0x8000C0DEu;
const uint32_t OWNER_USER = 0x80200020u;
const uint32_t OWNER_TOKEN = 0x80240024u;
const uint8_t CANCEL_OPT_3 = 0xE3;
const uint8_t CANCEL_EXCHANGE_ID = 0x6A;
const uint8_t CANCEL_FIRST_129 = 0x29;       // the eight bytes at 129 of 1013 and 1033 run from it

// The order reports (1015, 1016, 2202) carry a 32-bit value at 130 and two
// eight-byte values at 134 and 142 that run up from these first bytes.
const uint32_t REPORT_VALUE_130 = 0x81300130u;
const uint8_t REPORT_FIRST_134 = 0xB1;
const uint8_t REPORT_FIRST_142 = 0xC1;

const int64_t FILL_PRICE = 123456789;        // 12345.6789
const double FILL_PRICE_VALUE = 12345.6789;
const uint64_t FILL_ORDER_NO = 0x8123456789ABCDEFull;
const uint32_t FILL_42 = 0x84240042u;
const uint32_t FILL_46 = 0x84640046u;
const uint32_t FILLED = 0x80074074u;
const uint8_t FILL_133 = 0xF3;
const std::string FILL_TEXT = "EXECTEXT0123456789ABCDEF";  // fills its 24 bytes

// GB2312 exchange texts and their UTF-8 forms.
const bytes GB_ZHONGWEN = {0xD6, 0xD0, 0xCE, 0xC4};                 // 中文
const bytes U8_ZHONGWEN = {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87};
const bytes GB_BAODAN_CUOWU = {0xB1, 0xA8, 0xB5, 0xA5, 0xB4, 0xED, 0xCE, 0xF3};  // 报单错误
const bytes U8_BAODAN_CUOWU = {0xE6, 0x8A, 0xA5, 0xE5, 0x8D, 0x95, 0xE9, 0x94, 0x99, 0xE8, 0xAF, 0xAF};
const bytes GB_HEYUE = {0xBA, 0xCF, 0xD4, 0xBC};                    // 合约
const bytes U8_HEYUE = {0xE5, 0x90, 0x88, 0xE7, 0xBA, 0xA6};
const bytes GB_JIAGE_WUXIAO = {0xBC, 0xDB, 0xB8, 0xF1, 0xCE, 0xDE, 0xD0, 0xA7};  // 价格无效
const bytes U8_JIAGE_WUXIAO = {0xE4, 0xBB, 0xB7, 0xE6, 0xA0, 0xBC, 0xE6, 0x97, 0xA0, 0xE6, 0x95, 0x88};

inline bytes with_nul(bytes t) {
    t.push_back(0);
    return t;
}

inline std::string utf8(const char* s) { return std::string(s); }

// ---- the expected records, from the record tables ----

inline buf expect_order_accept(uint8_t kind, uint32_t opt_1) {
    buf r = buf::record(96);
    r.u32(0, CLIENT_TOKEN).u64(4, SERVER_ORDER).u8(12, 0).u32(13, USER_LOW).u64(17, ORDER_NO);
    r.text(25, ACCOUNT, 17).u8(42, SIDE).u8(43, EXCHANGE_ID).text(44, SYMBOL, 20).u8(64, kind);
    r.f64(65, PRICE_VALUE).u32(73, QUANTITY).u8(77, 0).u32(78, opt_1).u32(82, OPT_2).u64(86, OPT_3);
    r.u8(94, OPT_4).u8(95, OPT_5);
    return r;
}

inline buf expect_market_accept(const bytes& value, uint8_t status) {
    buf r = buf::record(67);
    r.text(0, ACCOUNT, 17).u64(17, SERVER_ORDER).text(25, EXCHANGE_ORDER_ID, 25).raw(50, value);
    r.u32(58, USER_LOW).u32(62, CLIENT_TOKEN).u8(66, status);
    return r;
}

inline buf expect_cxled() {
    buf r = buf::record(29);
    r.u32(0, USER_LOW).raw(4, run(REPORT_FIRST_142, 8)).u32(12, CLIENT_TOKEN).u64(16, SERVER_ORDER);
    r.u32(24, REPORT_VALUE_130).u8(28, 1);
    return r;
}

inline buf expect_post_order(const bytes& value, uint8_t kind, uint8_t status) {
    buf r = buf::record(104);
    r.u32(0, USER_LOW).raw(4, value).u64(12, SERVER_ORDER).u32(20, 0).u8(24, SIDE).u32(25, QUANTITY);
    r.u8(29, kind).text(30, SYMBOL, 20).f64(50, PRICE_VALUE).text(58, ACCOUNT, 17).u8(75, EXCHANGE_ID);
    r.u8(76, 0).u8(77, status).text(78, EXCHANGE_ORDER_ID, 25).u8(103, OPT_5);
    return r;
}

inline buf expect_post_execution(uint64_t again) {
    buf r = buf::record(65);
    r.u32(0, FILL_133).u64(4, FILL_ORDER_NO).u64(12, FILL_46).u32(20, FILLED).f64(24, FILL_PRICE_VALUE);
    r.u64(32, again).text(40, FILL_TEXT, 25);
    return r;
}

inline bytes le64(uint64_t v) {
    bytes out(8);
    memcpy(out.data(), &v, 8);
    return out;
}

inline buf expect_special_action_market_head(size_t size) {
    buf r = buf::record(size);
    r.u32(0, REQUEST_TAG).u32(4, MARKET_TOKEN).u32(8, USER_FULL).u32(12, CANCEL_TOKEN).u8(16, CANCEL_OPT_3);
    r.u32(17, OWNER_USER).u32(21, OWNER_TOKEN).raw(25, run(CANCEL_FIRST_129, 8));
    return r;
}

// The first differing byte, for a readable failure.
inline std::string first_difference(const bytes& got, const bytes& want) {
    for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
        if (got[i] != want[i]) {
            char line[96];
            snprintf(line, sizeof(line), "record byte %zu: got 0x%02X, want 0x%02X", i, got[i], want[i]);
            return line;
        }
    }
    return got.size() == want.size() ? "" : "sizes differ";
}

}  // namespace adapter_expected

#endif  // HUX_TESTS_ADAPTER_EXPECTED_H

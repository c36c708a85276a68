#include "tests/support/hex.h"
#include "trade_core/trade_wire.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace HUX_TRADE_WIRE;

namespace {

using hux_test::hex_of;

// n zero bytes as hex
std::string z(size_t n) {
    return std::string(2 * n, '0');
}

// Fills a record with a pattern so that a builder that forgets to zero shows.
template <typename MSG>
void dirty(MSG& msg) {
    memset(&msg, 0xAA, sizeof(msg));
}

// ---- independent terminal identifier, on OpenSSL ----

std::string md5_upper(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digest_len = 0;
    EXPECT_EQ(1, EVP_Digest(data.data(), data.size(), digest, &digest_len, EVP_md5(), nullptr));
    char text[33];
    for (unsigned int i = 0; i < 16; ++i) {
        snprintf(text + 2 * i, 3, "%02X", digest[i]);
    }
    return std::string(text, 32);
}

std::string interleave(const std::string& a, const std::string& b) {
    std::string m(32, '?');
    for (int i = 0; i < 32; ++i) {
        m[i] = (i % 2 == 0) ? a[i] : b[i];
    }
    return m;
}

std::string ref_uuid(int rounds, std::string text, int32_t number) {
    for (;;) {
        char number_text[32];
        snprintf(number_text, sizeof(number_text), "%012d", number);
        std::string b = md5_upper(text);
        std::string m = interleave(md5_upper(number_text), b);
        if (rounds <= 0) {
            return m;
        }
        number = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned char>(b[3])) |
                                      static_cast<uint32_t>(static_cast<unsigned char>(b[7])) << 8 |
                                      static_cast<uint32_t>(static_cast<unsigned char>(b[11])) << 16 |
                                      static_cast<uint32_t>(static_cast<unsigned char>(b[19])) << 24);
        text = m;
        --rounds;
    }
}

report_version_resp version_answer(const char* text, size_t text_len, int32_t number, uint8_t take_as_is) {
    report_version_resp v;
    memset(&v, 0, sizeof(v));
    v.header.type = 1080;
    v.header.length = 56;
    memcpy(v.terminal_text, text, text_len);
    v.number = number;
    v.take_as_is = take_as_is;
    return v;
}

void put16(std::vector<char>& buf, size_t off, uint16_t v) {
    buf[off] = static_cast<char>(v & 0xff);
    buf[off + 1] = static_cast<char>(v >> 8);
}

void put32(std::vector<char>& buf, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        buf[off + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
}

// The message `build` makes over a record filled with `fill`, as hex.
template <typename MSG, typename BUILD>
std::string built_over(uint8_t fill, BUILD build) {
    MSG m;
    memset(&m, fill, sizeof(m));
    build(m);
    return hex_of(m);
}
// The same bytes whatever the record held: the builder writes every byte.
#define EXPECT_WRITES_EVERY_BYTE(MSG, CALL)                                                      \
    EXPECT_EQ(built_over<MSG>(0x00, [&](MSG& m) { CALL; }), built_over<MSG>(0xAA, [&](MSG& m) { CALL; })) \
        << #CALL

// Every proper prefix of a valid answer is refused; each prefix lives in a
// buffer of exactly its own size so that a read past it is caught.
template <typename MSG>
void expect_prefixes_refused(const std::vector<char>& full, const MSG* (*reader)(const void*, size_t)) {
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<char> prefix(full.begin(), full.begin() + n);
        EXPECT_EQ(nullptr, reader(prefix.data(), n)) << "prefix of " << n << " bytes";
    }
    EXPECT_EQ(nullptr, reader(nullptr, full.size()));
}

}  // namespace

// ---------------------------------------------------------------------------

// Every builder writes every byte of its message: built over a record of
// zeros and over one of 0xAA, the bytes are the same. (The bytes themselves
// are checked on the wire: the logon sequence by test_trade_client_session,
// the queries by test_c_api_wire, heart-beats by test_trade_session_e2e.)
TEST(TradeWire, BuildersWriteEveryByte) {
    const report_version_resp v = version_answer("T", 1, 1, 1);
    EXPECT_WRITES_EVERY_BYTE(report_version, build_report_version(m, "trader01"));
    EXPECT_WRITES_EVERY_BYTE(logon_msg_req, build_logon_msg_req(m, "u", "p", "a", "c", v));
    EXPECT_WRITES_EVERY_BYTE(symbol_idx_query_req, build_symbol_idx_query_req(m, 3, 100, 9, 2));
    EXPECT_WRITES_EVERY_BYTE(account_idx_query_req, build_account_idx_query_req(m, 9));
    EXPECT_WRITES_EVERY_BYTE(heart_beat_info, build_heart_beat_info(m, 7, 5));
    EXPECT_WRITES_EVERY_BYTE(trade_heart_beat_req, build_trade_heart_beat_req(m, 258, 7));
    EXPECT_WRITES_EVERY_BYTE(query_account_bp_req, build_query_account_bp_req(m, 7, "A"));
    EXPECT_WRITES_EVERY_BYTE(query_market_session, build_query_market_session(m, 7));
    EXPECT_WRITES_EVERY_BYTE(query_symbol_status, build_query_symbol_status(m, 7));
    EXPECT_WRITES_EVERY_BYTE(query_session_id, build_query_session_id(m, 7, "S1", 3));

    // A null user id leaves the field empty.
    report_version rv;
    dirty(rv);
    build_report_version(rv, nullptr);
    EXPECT_EQ(z(33), hex_of(rv.user_id, 33));
    // The heart-beat counter is all four bytes at 4.
    trade_heart_beat_req hb;
    build_trade_heart_beat_req(hb, 258, 7);
    EXPECT_EQ("02010000", hex_of(reinterpret_cast<const char*>(&hb) + 4, 4));
}

TEST(TradeWire, LogonRequestGoldenWithRawTerminalId) {
    // 33 bytes with no NUL, taken as they are because byte 50 is 1
    const char raw[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456";
    report_version_resp v = version_answer(raw, 33, 0x7f7f7f7f, 1);
    logon_msg_req msg;
    dirty(msg);
    ASSERT_TRUE(build_logon_msg_req(msg, "trader01", "abc", "app-01", "AUTH1", v));
    const std::string golden =
        std::string("4600")                                                   // type 70
        + "a800"                                                              // length 168
        + "00000000"                                                          // zero
        + "0f000000"                                                          // protocol version 15
        + "7472616465723031" + z(25)                                          // user id "trader01"
        + "3930303135303938334344323446423044363936334637443238453137463732"  // MD5("abc") upper hex
        + "00"                                                                // its NUL
        + "0000"                                                              // zero
        + "4155544831" + z(13)                                                // auth code "AUTH1"
        + "6170702d3031" + z(24)                                              // app id "app-01"
        + "0000"                                                              // UDP port, left 0
        + "4142434445464748494a4b4c4d4e4f505152535455565758595a30313233343536"  // terminal id, raw
        + "0000000000";                                                       // zero
    EXPECT_EQ(golden, hex_of(msg));
}

TEST(TradeWire, LogonRequestCutsAuthCodeAndAppIdToTheirFields) {
    report_version_resp v = version_answer("T", 1, 1, 1);
    logon_msg_req msg;

    // Exactly full width: no NUL in either field, the fields around them intact.
    dirty(msg);
    ASSERT_TRUE(build_logon_msg_req(msg, "u", "abc", "abcdefghijklmnopqrstuvwxyz0123", "ABCDEFGHIJKLMNOPQR", v));
    std::string full = std::string("0000")                                      // zero at 78
                       + "4142434445464748494a4b4c4d4e4f505152"                 // auth code, 18 bytes
                       + "6162636465666768696a6b6c6d6e6f707172737475767778797a30313233"  // app id, 30
                       + "0000"                                                 // UDP port
                       + "54";                                                  // terminal id "T"
    EXPECT_EQ(full, hex_of(reinterpret_cast<const char*>(&msg) + 78, 53));

    // Longer: cut to the field, same bytes.
    dirty(msg);
    ASSERT_TRUE(build_logon_msg_req(msg, "u", "abc", "abcdefghijklmnopqrstuvwxyz0123456789",
                                    "ABCDEFGHIJKLMNOPQRSTUVWXYZ", v));
    EXPECT_EQ(full, hex_of(reinterpret_cast<const char*>(&msg) + 78, 53));

    // Null texts are empty fields.
    dirty(msg);
    ASSERT_TRUE(build_logon_msg_req(msg, nullptr, nullptr, nullptr, nullptr, v));
    EXPECT_EQ(z(33), hex_of(msg.user_id, 33));
    EXPECT_EQ(std::string("D41D8CD98F00B204E9800998ECF8427E"), std::string(msg.password_md5));
    EXPECT_EQ(z(2 + 18 + 30 + 2), hex_of(reinterpret_cast<const char*>(&msg) + 78, 52));
}

TEST(TradeWire, UserIdKeepsAtMost32Characters) {
    const std::string id32 = "0123456789abcdefghijklmnopqrstuv";
    const std::string id32_hex = "303132333435363738396162636465666768696a6b6c6d6e6f707172737475" "76";
    report_version_resp v = version_answer("T", 1, 1, 1);

    for (const std::string& id : {id32, id32 + "w"}) {
        report_version rv;
        dirty(rv);
        build_report_version(rv, id.c_str());
        EXPECT_EQ(id32_hex + "00"  // 32 characters and the NUL at 44
                      + "000000",  // zero at 45
                  hex_of(reinterpret_cast<const char*>(&rv) + 12, 36))
            << id;

        logon_msg_req lr;
        dirty(lr);
        ASSERT_TRUE(build_logon_msg_req(lr, id.c_str(), "abc", "", "", v));
        EXPECT_EQ(id32_hex + "00"  // user id and NUL
                      + "3930",    // the password digest starts at 45
                  hex_of(reinterpret_cast<const char*>(&lr) + 12, 35))
            << id;
    }
}

// Only selectors 2, 3 and 4 go out at 12; every other is sent as 0. The
// byte after it is always 1.
TEST(TradeWire, SymbolIndexQuerySelector) {
    symbol_idx_query_req sym;
    const std::pair<int32_t, uint8_t> selectors[] = {{2, 2}, {3, 3}, {4, 4}, {0, 0}, {1, 0}, {5, 0}, {-1, 0}, {258, 0}};
    for (const auto& s : selectors) {
        build_symbol_idx_query_req(sym, 1, 100, 9, s.first);
        EXPECT_EQ(s.second, reinterpret_cast<const uint8_t*>(&sym)[12]) << "selector " << s.first;
        EXPECT_EQ(1, reinterpret_cast<const uint8_t*>(&sym)[13]);
    }
}

TEST(TradeWire, UdpPortIsStampedOnlyIntoTheLogonRequest) {
    report_version_resp v = version_answer("T", 1, 1, 1);
    logon_msg_req msg;
    ASSERT_TRUE(build_logon_msg_req(msg, "u", "p", "a", "c", v));
    char buf[200];
    memcpy(buf, &msg, sizeof(msg));

    EXPECT_TRUE(stamp_logon_udp_port(buf, 168, 0x1234));
    EXPECT_EQ("3412", hex_of(buf + 128, 2));
    EXPECT_EQ(hex_of(&msg, 128), hex_of(buf, 128));            // nothing before it moved
    EXPECT_EQ(hex_of(msg.terminal_id, 38), hex_of(buf + 130, 38));  // nor after it

    // Port 0 (no UDP order channel) overwrites whatever was there.
    EXPECT_TRUE(stamp_logon_udp_port(buf, 168, 0));
    EXPECT_EQ("0000", hex_of(buf + 128, 2));

    // Other lengths, other first bytes: untouched.
    const std::string before = hex_of(buf, sizeof(buf));
    EXPECT_FALSE(stamp_logon_udp_port(buf, 167, 0x1234));
    EXPECT_FALSE(stamp_logon_udp_port(buf, 169, 0x1234));
    EXPECT_FALSE(stamp_logon_udp_port(buf, 0, 0x1234));
    EXPECT_FALSE(stamp_logon_udp_port(nullptr, 168, 0x1234));
    buf[0] = 71;
    EXPECT_FALSE(stamp_logon_udp_port(buf, 168, 0x1234));
    buf[0] = 70;
    EXPECT_EQ(before, hex_of(buf, sizeof(buf)));

    // Only the first byte decides (type 326 = 0x0146 has first byte 70).
    buf[1] = 1;
    EXPECT_TRUE(stamp_logon_udp_port(buf, 168, 0xBEEF));
    EXPECT_EQ("efbe", hex_of(buf + 128, 2));
}

// The identifier against one worked out with OpenSSL's MD5: positive, zero
// and negative numbers (the twelve-character number text keeps its minus
// sign), extremes, rounds 0 and 1.
TEST(TradeWire, TransformedUuidMatchesIndependentDigest) {
    char out[33];
    // rounds 0 over "abc", whose MD5 is known: odd positions are its digest.
    ASSERT_TRUE(get_transformed_uuid(0, "abc", 0, out));
    EXPECT_EQ('\0', out[32]);
    const std::string abc = "900150983CD24FB0D6963F7D28E17F72";
    EXPECT_EQ(interleave(md5_upper("000000000000"), abc), std::string(out));
    // rounds 1 over "abc", worked out by hand: the second number is the
    // digest's characters 3, 7, 11, 19 ('1','8','2','6') little-endian = 909260849.
    ASSERT_TRUE(get_transformed_uuid(1, "abc", 42, out));
    EXPECT_EQ(interleave(md5_upper("000909260849"), md5_upper(interleave(md5_upper("000000000042"), abc))),
              std::string(out));

    const int32_t numbers[] = {20261208, 0, -5, -123456789, 2147483647, -2147483647 - 1};
    for (int rounds : {0, 1}) {
        for (int32_t n : numbers) {
            ASSERT_TRUE(get_transformed_uuid(rounds, "HUX-SIM-TERMINAL-0001", n, out));
            EXPECT_EQ(ref_uuid(rounds, "HUX-SIM-TERMINAL-0001", n), std::string(out)) << rounds << " " << n;
        }
    }

    // Empty and null text digest the empty string; out may be the text itself.
    ASSERT_TRUE(get_transformed_uuid(1, nullptr, 7, out));
    EXPECT_EQ(ref_uuid(1, "", 7), std::string(out));
    strcpy(out, "abc");
    ASSERT_TRUE(get_transformed_uuid(1, out, 42, out));
    EXPECT_EQ(ref_uuid(1, "abc", 42), std::string(out));
}

TEST(TradeWire, TerminalIdentifierFromVersionAnswer) {
    char out[33];

    // Byte 50 == 1: the 33 bytes at 12 as they are, even with no NUL.
    const char raw[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456";
    report_version_resp v = version_answer(raw, 33, 20261208, 1);
    make_terminal_identifier(v, out);
    EXPECT_EQ(0, memcmp(out, raw, 33));

    // Otherwise derived with one round.
    v = version_answer("HUX-SIM-TERMINAL-0001", 21, 20261208, 0);
    make_terminal_identifier(v, out);
    EXPECT_EQ(ref_uuid(1, "HUX-SIM-TERMINAL-0001", 20261208), std::string(out));
    v.take_as_is = 2;
    make_terminal_identifier(v, out);
    EXPECT_EQ(ref_uuid(1, "HUX-SIM-TERMINAL-0001", 20261208), std::string(out));

    // A text filling all 33 bytes is digested as exactly those 33 bytes; the
    // number right behind it is not part of the text.
    v = version_answer(raw, 33, -1, 0);
    make_terminal_identifier(v, out);
    EXPECT_EQ(ref_uuid(1, std::string(raw, 33), -1), std::string(out));

    // The logon request carries the derived identifier.
    logon_msg_req msg;
    ASSERT_TRUE(build_logon_msg_req(msg, "u", "p", "a", "c", v));
    EXPECT_EQ(ref_uuid(1, std::string(raw, 33), -1) + std::string(1, '\0'), std::string(msg.terminal_id, 33));
}

// ---------------------------------------------------------------------------

TEST(TradeWire, ReportVersionAndLogonAnswersAreReadInPlace) {
    std::vector<char> rv(56, 0);
    put16(rv, 0, 1080);                     // type
    put16(rv, 2, 0xffff);                   // length field: never read
    memcpy(&rv[12], "TERM-TEXT", 9);        // text at 12
    put32(rv, 45, static_cast<uint32_t>(-20261208));  // number at 45
    rv[49] = 2;                             // verdict
    rv[50] = 1;                             // take as is
    rv[51] = 6;                             // qv27 edition
    expect_prefixes_refused(rv, read_report_version_resp);
    const report_version_resp* r = read_report_version_resp(rv.data(), rv.size());
    ASSERT_EQ(reinterpret_cast<const report_version_resp*>(rv.data()), r);
    // Packed fields are read by value (unary +): a reference to one may be misaligned.
    EXPECT_STREQ("TERM-TEXT", r->terminal_text);
    EXPECT_EQ(-20261208, +r->number);
    EXPECT_EQ(2, +r->verdict);
    EXPECT_EQ(1, +r->take_as_is);
    EXPECT_EQ(6, +r->server_edition);
    rv.resize(100, 'x');  // more bytes behind it are fine
    EXPECT_NE(nullptr, read_report_version_resp(rv.data(), rv.size()));
    put16(rv, 0, 1070);   // another type is refused
    EXPECT_EQ(nullptr, read_report_version_resp(rv.data(), rv.size()));

    std::vector<char> lr(80, 0);
    put16(lr, 0, 1070);
    put32(lr, 4, static_cast<uint32_t>(-3));  // server value
    put32(lr, 12, 27);                        // result
    put32(lr, 49, 0xA1B2C3D4);                // user id
    put32(lr, 53, 555);                       // logon value
    put32(lr, 57, 123456);                    // max token
    put32(lr, 61, 100);                       // order limit
    put32(lr, 65, 500000);                    // order window
    put32(lr, 69, 200);                       // cancel limit
    put32(lr, 73, 700000);                    // cancel window
    expect_prefixes_refused(lr, read_logon_msg_resp);
    const logon_msg_resp* l = read_logon_msg_resp(lr.data(), lr.size());
    ASSERT_EQ(reinterpret_cast<const logon_msg_resp*>(lr.data()), l);
    EXPECT_EQ(-3, +l->server_value);
    EXPECT_EQ(27, +l->result);
    EXPECT_EQ(0xA1B2C3D4u, +l->user_id);
    EXPECT_EQ(555, +l->logon_value);
    EXPECT_EQ(123456, +l->max_token);
    EXPECT_EQ(100u, +l->order_fc_count);
    EXPECT_EQ(500000u, +l->order_fc_window_us);
    EXPECT_EQ(200u, +l->cancel_fc_count);
    EXPECT_EQ(700000u, +l->cancel_fc_window_us);
}

TEST(TradeWire, IndexAnswersAreReadInPlaceWithBoundedTexts) {
    std::vector<char> acc(40, 0);
    put16(acc, 0, 1061);
    acc[8] = 1;                                      // end mark
    memcpy(&acc[13], "ABCDEFGHIJKLMNOP", 16);        // name fills its 16 bytes
    acc[29] = 'Q';                                   // index 0x51 right behind it
    acc[30] = 'R';
    expect_prefixes_refused(acc, read_query_account_idx_resp);
    const query_account_idx_resp* a = read_query_account_idx_resp(acc.data(), acc.size());
    ASSERT_EQ(reinterpret_cast<const query_account_idx_resp*>(acc.data()), a);
    EXPECT_EQ(1, +a->end_mark);
    EXPECT_EQ(0x51, +a->account_index);
    char name[17];
    memset(name, 'z', sizeof(name));
    EXPECT_EQ(16u, read_account_name(*a, name));
    EXPECT_STREQ("ABCDEFGHIJKLMNOP", name);
    acc[15] = '\0';  // a NUL within the field ends the name
    EXPECT_EQ(2u, read_account_name(*a, name));
    EXPECT_STREQ("AB", name);

    std::vector<char> sym(40, 0);
    put16(sym, 0, 1062);
    sym[8] = 1;                                          // end of page
    memcpy(&sym[10], "SYMBOL-0123456789ABC", 20);        // text fills its 20 bytes
    put16(sym, 30, 0x4241);                              // index
    put16(sym, 32, 100);                                 // entries in page
    expect_prefixes_refused(sym, read_query_symbol_idx_resp);
    const query_symbol_idx_resp* s = read_query_symbol_idx_resp(sym.data(), sym.size());
    ASSERT_EQ(reinterpret_cast<const query_symbol_idx_resp*>(sym.data()), s);
    EXPECT_EQ(1, +s->end_of_page);
    EXPECT_EQ(0x4241, +s->symbol_index);
    EXPECT_EQ(100, +s->entry_count);
    char text[21];
    EXPECT_EQ(20u, read_symbol_text(*s, text));
    EXPECT_STREQ("SYMBOL-0123456789ABC", text);
    memcpy(&sym[10], "IF2412\0junk", 11);
    EXPECT_EQ(6u, read_symbol_text(*s, text));
    EXPECT_STREQ("IF2412", text);
}

TEST(TradeWire, HeartBeatAnswersAreReadInPlace) {
    std::vector<char> shb(24, 0);
    put16(shb, 0, 1090);
    put32(shb, 12, static_cast<uint32_t>(-1));  // result
    put32(shb, 16, 30);                         // time-out
    expect_prefixes_refused(shb, read_set_heart_beat_resp);
    const set_heart_beat_resp* h = read_set_heart_beat_resp(shb.data(), shb.size());
    ASSERT_EQ(reinterpret_cast<const set_heart_beat_resp*>(shb.data()), h);
    EXPECT_EQ(-1, +h->result);
    EXPECT_EQ(30, +h->timeout_sec);

    std::vector<char> hb(16, 0);
    put16(hb, 0, 1200);
    expect_prefixes_refused(hb, read_trade_heart_beat_resp);
    EXPECT_EQ(reinterpret_cast<const trade_heart_beat_resp*>(hb.data()), read_trade_heart_beat_resp(hb.data(), 16));
    put16(hb, 0, 200);  // the request type is not the answer
    EXPECT_EQ(nullptr, read_trade_heart_beat_resp(hb.data(), 16));
}

// ---------------------------------------------------------------------------

TEST(TradeWire, LengthTableMatchesBothTables) {
    const std::pair<uint16_t, int> lengths[] = {
        // requests
        {10, 100}, {11, 44}, {12, 196}, {13, 44}, {14, 144}, {20, 56}, {22, 56}, {30, 72}, {31, 44},
        {61, 16}, {62, 16}, {70, 168}, {80, 48}, {81, 28}, {84, 16}, {87, 16}, {90, 24}, {94, 32}, {200, 16},
        // answers and reports (2205 separately)
        {1010, 120}, {1011, 64}, {1012, 232}, {1013, 144}, {1014, 136}, {1015, 158}, {1016, 158},
        {1017, 136}, {1018, 216}, {1019, 64}, {1020, 296}, {1021, 145}, {1022, 296}, {1023, 296},
        {1025, 160}, {1026, 240}, {1030, 92}, {1031, 65}, {1032, 200}, {1033, 148}, {1034, 137},
        {1061, 40}, {1062, 40}, {1070, 80}, {1080, 56}, {1081, 108}, {1084, 272}, {1085, 16},
        {1086, 56}, {1087, 64}, {1089, 56}, {1090, 24}, {1094, 32}, {1097, 64}, {1200, 16},
        {2201, 144}, {2202, 158}, {2203, 136}, {2204, 232}, {2206, 296},
    };
    for (const auto& e : lengths) {
        EXPECT_EQ(e.second, trade_msg_length(e.first, false)) << e.first;
        EXPECT_EQ(e.second, trade_msg_length(e.first, true)) << e.first << " qv27";
    }
    EXPECT_EQ(296, trade_msg_length(2205, false));
    EXPECT_EQ(232, trade_msg_length(2205, true));

    // Nothing else is known, in either edition.
    const size_t known = sizeof(lengths) / sizeof(lengths[0]) + 1;
    for (bool qv27 : {false, true}) {
        size_t found = 0;
        for (uint32_t t = 0; t <= 0xffff; ++t) {
            if (trade_msg_length(static_cast<uint16_t>(t), qv27) != 0) {
                ++found;
            }
        }
        EXPECT_EQ(known, found) << "qv27 " << qv27;
    }
}

// Order verification value: CRC-32C primitives, the 17-piece checksum and the
// image an order record produces.
#include "tests/support/golden_orders.h"
#include "trade_core/trade_verify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace HUX_TRADE_CORE;

namespace {

// Plain bitwise CRC-32C (reflected 0x82F63B78), no inversions: an
// independent reference for the library's table and instruction paths.
uint32_t bitwise_crc32c(uint32_t crc, const uint8_t* p, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1u) ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    }
    return crc;
}

// The 17 pieces (offset, width) written out again here, in summing order.
uint32_t bitwise_verify(const uint8_t* image) {
    static const size_t pieces[17][2] = {{5, 4},  {9, 4},  {29, 1}, {30, 1}, {31, 4}, {35, 4},
                                         {39, 2}, {49, 1}, {50, 1}, {53, 4}, {57, 2}, {59, 4},
                                         {63, 2}, {65, 4}, {69, 1}, {71, 1}, {73, 4}};
    uint32_t c = 0;
    for (const auto& pc : pieces) c = bitwise_crc32c(c, image + pc[0], pc[1]);
    return c;
}

HUX_EnterOrderField make_order() {
    HUX_EnterOrderField o;
    std::memset(&o, 0, sizeof o);
    return o;
}

int64_t image_price(const uint8_t* image, size_t off) {
    int64_t v;
    std::memcpy(&v, image + off, sizeof v);
    return v;
}

}  // namespace

TEST(OrderVerify, Crc32cCheckValue) {
    const uint8_t msg[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    const uint8_t zeros[9] = {};
    // The usual CRC-32C (start 0xFFFFFFFF, final inversion) of "123456789".
    EXPECT_EQ(~crc32c_update_sw(0xFFFFFFFFu, msg, 9), 0xE3069283u);
    // The raw update is affine in its start value:
    //   raw(0xFFFFFFFF, m) = raw(0, m) ^ raw(0xFFFFFFFF, 9 zero bytes)
    // so raw(0, m) = ~0xE3069283 ^ raw(0xFFFFFFFF, 00*9)
    //              = 0x1CF96D7C ^ 0x441A975C = 0x58E3FA20.
    EXPECT_EQ(crc32c_update_sw(0xFFFFFFFFu, zeros, 9), 0x441A975Cu);
    EXPECT_EQ(crc32c_update_sw(0, msg, 9), 0x58E3FA20u);
    EXPECT_EQ(bitwise_crc32c(0, msg, 9), 0x58E3FA20u);
    // No bytes and a zero start give 0.
    EXPECT_EQ(crc32c_update_sw(0, msg, 0), 0u);
    if (crc32c_hw_available()) {
        EXPECT_EQ(crc32c_update_hw(0, msg, 9), 0x58E3FA20u);
        EXPECT_EQ(~crc32c_update_hw(0xFFFFFFFFu, msg, 9), 0xE3069283u);
    }
}

TEST(OrderVerify, HardwareAndSoftwarePathsAgree) {
    if (!crc32c_hw_available()) GTEST_SKIP() << "CPU has no SSE4.2";
    std::mt19937 rng(20261209u);
    uint8_t buf[301];
    for (int round = 0; round < 2000; ++round) {
        const size_t len = rng() % sizeof buf;
        const size_t start = rng() % 8;  // unaligned starts too
        for (auto& b : buf) b = static_cast<uint8_t>(rng());
        const uint32_t init = rng();
        const size_t n = len - (len > start ? start : len);
        const uint32_t sw = crc32c_update_sw(init, buf + start, n);
        ASSERT_EQ(crc32c_update_hw(init, buf + start, n), sw) << "round " << round;
        ASSERT_EQ(bitwise_crc32c(init, buf + start, n), sw) << "round " << round;
    }
    uint8_t image[kVerifyImageLen];
    for (int round = 0; round < 2000; ++round) {
        for (auto& b : image) b = static_cast<uint8_t>(rng());
        const uint32_t sw = verify_crc_sw(image);
        ASSERT_EQ(verify_crc_hw(image), sw) << "round " << round;
        ASSERT_EQ(bitwise_verify(image), sw) << "round " << round;
        ASSERT_EQ(sse42_crc32_10(image), sw) << "round " << round;
    }
}

TEST(OrderVerify, CoveredBytesOnly) {
    // Every byte outside the 44 covered ones set, covered ones zero: value 0
    // (no initial or final inversion).
    uint8_t image[kVerifyImageLen];
    std::memset(image, 0xFF, sizeof image);
    const size_t covered[][2] = {{5, 13}, {29, 41}, {49, 51}, {53, 70}, {71, 72}, {73, 77}};
    size_t count = 0;
    for (const auto& r : covered)
        for (size_t i = r[0]; i < r[1]; ++i, ++count) image[i] = 0;
    ASSERT_EQ(count, 44u);
    EXPECT_EQ(verify_crc_sw(image), 0u);
    EXPECT_EQ(sse42_crc32_10(image), 0u);

    // Flipping any covered byte changes the value; flipping any other does not.
    for (size_t i = 0; i < kVerifyImageLen; ++i) {
        const bool is_covered = image[i] == 0;
        image[i] ^= 0x5A;
        EXPECT_EQ(sse42_crc32_10(image) != 0u, is_covered) << "byte " << i;
        image[i] ^= 0x5A;
    }
}

TEST(OrderVerify, GoldenOrders) {
    uint8_t got[kVerifyImageLen];

    // Order A: every covered field non-zero, and the fields that are not in
    // the image set too. Which image bytes count is CoveredBytesOnly.
    HUX_EnterOrderField a = hux_test::golden_order_a();
    uint8_t want_a[kVerifyImageLen] = {};
    want_a[8] = 0x45;                                             // user id 0x00012345, low byte
    const uint8_t opt2_a[] = {0xD4, 0xC3, 0xB2, 0xA1};            // opt_2 at 28, little-endian
    std::memcpy(want_a + 28, opt2_a, 4);
    const uint8_t price_a[] = {0x40, 0xE2, 0x01, 0, 0, 0, 0, 0};  // 12.3456 -> 123456 = 0x1E240
    std::memcpy(want_a + 32, price_a, 8);
    const uint8_t second_a[] = {0x98, 0x3A, 0, 0, 0, 0, 0, 0};    // 1.5 -> 15000 = 0x3A98
    std::memcpy(want_a + 40, second_a, 8);
    std::memcpy(want_a + 60, "ACC0123456789XY", 15);             // account, 15 characters
    std::memcpy(want_a + 76, "IF2406", 6);                        // symbol
    build_verify_image(got, a, 0x00012345u);
    EXPECT_EQ(std::memcmp(got, want_a, sizeof got), 0);
    EXPECT_EQ(bitwise_verify(want_a), hux_test::kGoldenValueA);
    EXPECT_EQ(sse42_crc32_10(got), hux_test::kGoldenValueA);
    EXPECT_EQ(calc_verification_value(a, hux_test::kGoldenUserA), hux_test::kGoldenValueA);

    // Order B: negative price, 16-character account cut to 15, no NULs.
    HUX_EnterOrderField b = hux_test::golden_order_b();
    uint8_t want_b[kVerifyImageLen] = {};
    want_b[8] = 0x07;                                                         // user id 7
    want_b[28] = 0xFF;                                                        // opt_2 = 0xFF
    const uint8_t price_b[] = {0xCC, 0xE4, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // -72500
    std::memcpy(want_b + 32, price_b, 8);
    std::memcpy(want_b + 60, "TRADER-ACCOUNT-", 15);                          // account cut
    want_b[76] = 'X';                                                         // symbol
    build_verify_image(got, b, 7u);
    EXPECT_EQ(std::memcmp(got, want_b, sizeof got), 0);
    EXPECT_EQ(bitwise_verify(want_b), hux_test::kGoldenValueB);
    EXPECT_EQ(calc_verification_value(b, hux_test::kGoldenUserB), hux_test::kGoldenValueB);
    // Same value with the account given as its first 15 characters.
    std::memcpy(b.account, "TRADER-ACCOUNT-\0", 16);
    EXPECT_EQ(calc_verification_value(b, 7u), 0xA8398096u);
    // A 20-character symbol keeps 19 in the image.
    std::memcpy(b.symbol, "ABCDEFGHIJKLMNOPQRST", 20);
    build_verify_image(got, b, 7u);
    EXPECT_EQ(std::memcmp(got + 76, "ABCDEFGHIJKLMNOPQRS\0", 20), 0);
}

TEST(OrderVerify, PriceConversionInImage) {
    uint8_t image[kVerifyImageLen];
    HUX_EnterOrderField o = make_order();
    struct Case {
        double in;
        int64_t out;
    };
    const Case cases[] = {
        {12.3456, 123456},
        {-12.3456, -123456},
        {0.000001, 0},
        {-0.000001, 0},
        {0.00001, 0},   // not above 0.00001
        {0.00005, 0},   // 0.6 truncated
        {0.0001, 1},
        {0.00009, 1},   // 0.9 + 0.1 = 1.0
        {-0.00009, -1},
        {1e300, std::numeric_limits<int64_t>::max()},   // does not fit: clamped, never wrapped
        {-1e300, std::numeric_limits<int64_t>::min()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<int64_t>::max()},
        {-std::numeric_limits<double>::infinity(), std::numeric_limits<int64_t>::min()},
        {std::nan(""), 0},
    };
    for (const Case& c : cases) {
        o.price = c.in;
        o.second_price = c.in;
        build_verify_image(image, o, 1);
        EXPECT_EQ(image_price(image, 32), c.out) << c.in;
        EXPECT_EQ(image_price(image, 40), c.out) << c.in;
    }
}

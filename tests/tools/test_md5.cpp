// MD5 digest and its hex text.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/md5.h"

using namespace MORVAST::TOOLS;

namespace {

std::string md5_text(const std::string& msg) {
    char out[33];
    encrypt_md5(msg.data(), static_cast<int>(msg.size()), out);
    return std::string(out);
}

std::string hex_upper(const unsigned char* d, size_t n) {
    static const char hex[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += hex[d[i] >> 4];
        s += hex[d[i] & 15];
    }
    return s;
}

std::string openssl_md5(const std::vector<unsigned char>& msg) {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EXPECT_EQ(EVP_Digest(msg.data(), msg.size(), d, &n, EVP_md5(), nullptr), 1);
    return hex_upper(d, n);
}

const char empty_digest[] = "D41D8CD98F00B204E9800998ECF8427E";

}  // namespace

TEST(Md5, SuiteOfRfc1321InUpperCase) {
    const char* const suite[][2] = {
        {"", empty_digest},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"}};
    for (const auto& v : suite) EXPECT_EQ(md5_text(v[0]), v[1]) << v[0];
}

TEST(Md5, EncryptLengthEdgesAndOutputBounds) {
    char out[40];
    std::memset(out, '#', sizeof(out));
    encrypt_md5("abc", 0, out);
    EXPECT_STREQ(out, empty_digest);
    EXPECT_EQ(out[33], '#');  // 32 characters and the terminator, nothing more

    // A negative length is the empty message; nothing before msg is read.
    const char msg[] = "abc";
    encrypt_md5(msg, -1, out);
    EXPECT_STREQ(out, empty_digest);
    encrypt_md5(msg, INT_MIN, out);
    EXPECT_STREQ(out, empty_digest);

    encrypt_md5(nullptr, 0, out);
    EXPECT_STREQ(out, empty_digest);
    encrypt_md5(nullptr, 5, out);
    EXPECT_STREQ(out, empty_digest);

    // Only the first nLen bytes count; embedded zero bytes are data.
    encrypt_md5("abcdef", 3, out);
    EXPECT_STREQ(out, "900150983CD24FB0D6963F7D28E17F72");
    const std::string with_zero("a\0b", 3);
    EXPECT_EQ(md5_text(with_zero), openssl_md5(std::vector<unsigned char>(with_zero.begin(), with_zero.end())));
}

TEST(Md5, PiecewiseUpdateEqualsOneShot) {
    std::vector<unsigned char> msg(1000);
    for (size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<unsigned char>(i * 131 + 7);

    md5_context one;
    md5_starts(&one);
    md5_update(&one, msg.data(), msg.size());
    unsigned char whole[16];
    md5_finish(&one, whole);

    // Pieces that straddle, fill and skip block boundaries, with empty feeds.
    const size_t pieces[] = {1, 0, 63, 64, 65, 7, 0, 120, 57, 128, 3, 200, 292};
    md5_context ctx;
    md5_starts(&ctx);
    size_t pos = 0;
    for (size_t p : pieces) {
        md5_update(&ctx, msg.data() + pos, p);
        pos += p;
    }
    ASSERT_EQ(pos, msg.size());
    EXPECT_EQ(ctx.total[0], 1000u);
    EXPECT_EQ(ctx.total[1], 0u);
    unsigned char piecewise[16];
    md5_finish(&ctx, piecewise);

    EXPECT_EQ(hex_upper(piecewise, 16), hex_upper(whole, 16));
    EXPECT_EQ(hex_upper(whole, 16), openssl_md5(msg));
}

TEST(Md5, ByteCountCarriesIntoHighWord) {
    md5_context ctx;
    md5_starts(&ctx);
    ctx.total[0] = 0xFFFFFFC0u;  // a whole number of blocks, none pending
    unsigned char block[70] = {0};
    md5_update(&ctx, block, 64);
    EXPECT_EQ(ctx.total[0], 0u);
    EXPECT_EQ(ctx.total[1], 1u);
    md5_update(&ctx, block, 70);
    EXPECT_EQ(ctx.total[0], 70u);
    EXPECT_EQ(ctx.total[1], 1u);
}

TEST(Md5, MatchesOpensslOnRandomInputs) {
    std::mt19937 rng(20240611u);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 400; ++n) {
        std::vector<unsigned char> msg(static_cast<size_t>(length(rng)));
        for (auto& b : msg) b = static_cast<unsigned char>(byte(rng));
        char out[33];
        encrypt_md5(reinterpret_cast<const char*>(msg.data()), static_cast<int>(msg.size()), out);
        ASSERT_EQ(std::string(out), openssl_md5(msg)) << "length " << msg.size();
    }
}

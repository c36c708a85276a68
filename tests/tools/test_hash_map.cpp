// Integer- and text-keyed hash maps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/lock.h"
#include "tools/template_map_int.h"
#include "tools/template_map_str.h"

using namespace MORVAST::TOOLS;

typedef map_int<int, null_lock> int_map;
typedef map_str<int, 128, null_lock> str_map;

TEST(MapInt, TableSizesAndHashesOfNegativeKeys) {
    EXPECT_EQ(int_map(0).table_size(), 53u);
    EXPECT_EQ(int_map(11).table_size(), 53u);
    EXPECT_EQ(int_map(53).table_size(), 53u);
    EXPECT_EQ(int_map(54).table_size(), 97u);
    EXPECT_EQ(int_map(-1).table_size(), 53u);  // a negative size is the smallest table
    const size_t adjusted[][2] = {{1, 53},
                                  {786442, 786443},
                                  {25165842, 25165842},  // not prime, used as is
                                  {50331553, 50331553},
                                  {3221225474u, 4294967291u},
                                  {4294967291u, 4294967291u},
                                  {4294967292u, 4294967291u},
                                  {SIZE_MAX, 4294967291u}};
    for (const auto& a : adjusted) EXPECT_EQ(int_map::map_int_adjust_size(a[0]), a[1]) << a[0];

    // The hash is the low 32 bits read as a signed number, made positive,
    // widened with sign.
    const struct {
        int64_t key;
        size_t hash;
    } hashes[] = {{0, 0},
                  {5, 5},
                  {INT64_MAX, static_cast<size_t>(INT64_MAX)},
                  {-5, 5},
                  {-1, 1},
                  {-5 - 4294967296LL, 5},    // low half 0xFFFFFFFB is -5
                  {-4294967295LL, 1},        // low half 1: positive although the key is negative
                  {INT64_MIN, 0},            // low half 0
                  {-4294967296LL, 0},
                  {INT32_MIN, static_cast<size_t>(0xFFFFFFFF80000000ull)},  // low half 0x80000000 stays negative
                  {INT32_MIN - 4294967296LL, static_cast<size_t>(0xFFFFFFFF80000000ull)}};
    for (const auto& h : hashes) EXPECT_EQ(int_map::hash_key(h.key), h.hash) << h.key;
}

TEST(MapInt, SharedBucketKeepsDistinctEntriesAndReplaceKeepsSize) {
    int_map m(11);
    const int64_t below_32_bits = -5 - 4294967296LL;  // low 32 bits those of -5
    EXPECT_TRUE(m.set(5, 50));
    EXPECT_EQ(m.max_duplicate_count(), 0u);
    EXPECT_TRUE(m.set(-5, -50));
    EXPECT_EQ(m.max_duplicate_count(), 1u);  // walked past 5: same bucket
    EXPECT_TRUE(m.set(below_32_bits, 77));
    EXPECT_EQ(m.max_duplicate_count(), 2u);  // walked past 5 and -5
    EXPECT_TRUE(m.set(5 + 53, 58));
    EXPECT_EQ(m.max_duplicate_count(), 3u);
    EXPECT_EQ(m.size(), 4u);

    int v = 0;
    const int64_t keys[][2] = {{5, 50}, {-5, -50}, {below_32_bits, 77}, {58, 58}};
    for (const auto& k : keys) {
        EXPECT_TRUE(m.find(k[0], v)) << k[0];
        EXPECT_EQ(v, k[1]) << k[0];
    }

    // Replacing a value in the middle of the chain.
    EXPECT_TRUE(m.set(-5, 500));
    EXPECT_EQ(m.size(), 4u);
    EXPECT_EQ(m.max_duplicate_count(), 3u);
    EXPECT_TRUE(m.find(-5, v));
    EXPECT_EQ(v, 500);

    // Missing keys leave obj untouched, including the extreme hashes.
    v = 1234;
    EXPECT_FALSE(m.find(6, v));
    EXPECT_FALSE(m.find(INT32_MIN, v));
    EXPECT_FALSE(m.contains(-6));
    EXPECT_EQ(v, 1234);

    EXPECT_TRUE(m.set(INT32_MIN, 1));  // the very large hash
    EXPECT_TRUE(m.find(INT32_MIN, v));
    EXPECT_EQ(v, 1);

    map_int<std::string, null_lock> texts(0);
    std::string s = "first";
    texts.set(7, s);
    s = "changed";  // the map holds its own copy
    texts.set(7, std::string("second"));
    EXPECT_EQ(texts.size(), 1u);
    std::string out;
    EXPECT_TRUE(texts.find(7, out));
    EXPECT_EQ(out, "second");
}

TEST(MapInt, GrowsWhenEntriesOutnumberBuckets) {
    int_map m(11);
    for (int k = 0; k < 53; ++k) m.set(k * 7, k);
    EXPECT_EQ(m.table_size(), 53u);
    m.set(-1000, -1);  // the 54th entry
    EXPECT_EQ(m.size(), 54u);
    EXPECT_EQ(m.table_size(), 97u);
    for (int k = 54; k < 97; ++k) m.set(k * 7, k);
    EXPECT_EQ(m.table_size(), 97u);
    m.set(97 * 7, 97);  // the 98th entry
    EXPECT_EQ(m.table_size(), 193u);
    int v = 0;
    for (int k = 0; k <= 97; ++k) {
        if (k == 53) continue;
        ASSERT_TRUE(m.find(k * 7, v)) << k;
        EXPECT_EQ(v, k);
    }
    EXPECT_TRUE(m.find(-1000, v));
    EXPECT_EQ(v, -1);

    // Rehashing keeps the entries; without auto growth the table stays put.
    EXPECT_TRUE(m.reset_table_size(389));
    EXPECT_EQ(m.table_size(), 389u);
    EXPECT_TRUE(m.find(97 * 7, v));
    EXPECT_EQ(v, 97);
    EXPECT_FALSE(m.reset_table_size(0));  // no table of no buckets
    EXPECT_EQ(m.table_size(), 389u);
    EXPECT_TRUE(m.contains(0));

    int_map fixed(0);
    fixed.init_map(0, false);
    for (int k = 0; k < 200; ++k) fixed.set(k, k);
    EXPECT_EQ(fixed.table_size(), 53u);
    EXPECT_EQ(fixed.size(), 200u);

    // Growth runs inside set(); a non-recursive lock must not be taken twice.
    map_int<int, spin_lock> locked(0);
    for (int k = 0; k < 100; ++k) locked.set(k, k);
    EXPECT_EQ(locked.table_size(), 193u);
    EXPECT_TRUE(locked.find(99, v));
    EXPECT_EQ(v, 99);
}

TEST(MapInt, ClearDestoryAndInit) {
    int_map m(0);
    for (int k = 0; k < 60; ++k) m.set(k, k);
    m.clear();
    EXPECT_EQ(m.size(), 0u);
    EXPECT_EQ(m.table_size(), 97u);  // the buckets stay
    EXPECT_FALSE(m.contains(3));
    EXPECT_TRUE(m.set(3, 30));
    EXPECT_TRUE(m.contains(3));

    // init_map on a map that still has entries frees them with the old table.
    EXPECT_TRUE(m.init_map(100, true));
    EXPECT_EQ(m.table_size(), 193u);
    EXPECT_EQ(m.size(), 0u);
    EXPECT_FALSE(m.contains(3));
    EXPECT_EQ(m.max_duplicate_count(), 0u);

    m.set(1, 1);
    m.destory();
    EXPECT_EQ(m.table_size(), 0u);
    EXPECT_EQ(m.size(), 0u);
    int v = 9;
    EXPECT_FALSE(m.find(1, v));
    EXPECT_FALSE(m.set(1, 1));  // no table to store into
    EXPECT_EQ(v, 9);
    EXPECT_TRUE(m.init_map(0, true));
    EXPECT_TRUE(m.set(1, 11));
    EXPECT_TRUE(m.find(1, v));
    EXPECT_EQ(v, 11);
}

TEST(MapStr, TableSizes) {
    const struct {
        size_t asked;
        size_t buckets;
    } cases[] = {{0, 1},     {1, 1},     {2, 2},     {3, 4},       {4, 4},       {5, 8},
                 {8, 8},     {11, 16},   {100, 128}, {111, 128},   {128, 128},   {129, 128},
                 {130, 128}, {140, 256}, {1000, 1024}, {1024, 1024}, {1030, 1024}, {1100, 2048}};
    for (const auto& c : cases) {
        str_map m(c.asked);
        EXPECT_EQ(m.table_size(), c.buckets) << "asked " << c.asked;
    }
}

TEST(MapStr, HashTakesBytesAsSigned) {
    EXPECT_EQ(str_map::hash_key(""), 0u);
    EXPECT_EQ(str_map::hash_key("a"), 97u);
    EXPECT_EQ(str_map::hash_key("ab"), 3299u);          // 97*33 + 98
    EXPECT_EQ(str_map::hash_key("\x80"), SIZE_MAX - 127);  // -128
    EXPECT_EQ(str_map::hash_key("a\xff"), 3200u);        // 97*33 - 1
    // 33^13 passes 2^64: the sum wraps instead of overflowing.
    std::string long_key(20, 'z');
    uint64_t h = 0;
    for (char c : long_key) h = h * 33u + static_cast<uint64_t>(c);
    EXPECT_EQ(str_map::hash_key(long_key.c_str()), h);
}

TEST(MapStr, KeyLengthLimitAndNullKey) {
    str_map m(128);
    const std::string longest(128, 'x');
    EXPECT_TRUE(str_map::check_key(longest.c_str()));
    EXPECT_TRUE(m.set(longest.c_str(), 128));
    int v = 0;
    EXPECT_TRUE(m.find(longest.c_str(), v));
    EXPECT_EQ(v, 128);

    const std::string too_long(129, 'x');
    EXPECT_FALSE(str_map::check_key(too_long.c_str()));
    EXPECT_FALSE(m.set(too_long.c_str(), 129));
    v = -1;
    EXPECT_FALSE(m.find(too_long.c_str(), v));
    EXPECT_EQ(v, -1);
    EXPECT_EQ(m.size(), 1u);

    // 129 bytes and no terminator: refused after reading 129 bytes, no more.
    std::unique_ptr<char[]> unterminated(new char[129]);
    std::memset(unterminated.get(), 'x', 129);
    EXPECT_FALSE(str_map::check_key(unterminated.get()));
    EXPECT_FALSE(m.set(unterminated.get(), 1));
    EXPECT_FALSE(m.find(unterminated.get(), v));

    EXPECT_FALSE(m.find(nullptr, v));
    EXPECT_TRUE(m.set(nullptr, 7));
    EXPECT_TRUE(m.find(nullptr, v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(m.find("", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(m.set("", 8));  // the same entry
    EXPECT_TRUE(m.find(nullptr, v));
    EXPECT_EQ(v, 8);
    EXPECT_EQ(m.size(), 2u);

    // Keys differing only in high bytes are distinct.
    EXPECT_TRUE(m.set("caf\xc3\xa9", 1));
    EXPECT_TRUE(m.set("caf\xc3\xa8", 2));
    EXPECT_TRUE(m.find("caf\xc3\xa9", v));
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(m.find("caf", v));
    EXPECT_EQ(m.size(), 4u);
}

TEST(MapStr, GrowsFourfoldPastSeventyPerCent) {
    str_map m(128);
    char key[16];
    for (int i = 0; i < 89; ++i) {
        std::snprintf(key, sizeof(key), "sym%d", i);
        ASSERT_TRUE(m.set(key, i));
    }
    EXPECT_EQ(m.table_size(), 128u);
    m.set("sym89", 89);  // the 90th entry: 90 > 89.6
    EXPECT_EQ(m.table_size(), 512u);
    EXPECT_EQ(m.size(), 90u);
    int v = -1;
    for (int i = 0; i < 90; ++i) {
        std::snprintf(key, sizeof(key), "sym%d", i);
        ASSERT_TRUE(m.find(key, v)) << key;
        EXPECT_EQ(v, i);
    }

    // One bucket grows to four at the first entry (1 > 0.7).
    str_map tiny(0);
    tiny.set("a", 1);
    EXPECT_EQ(tiny.table_size(), 4u);

    map_str<int, 128, spin_lock> locked(1);
    for (int i = 0; i < 20; ++i) {
        std::snprintf(key, sizeof(key), "k%d", i);
        locked.set(key, i);
    }
    EXPECT_EQ(locked.table_size(), 64u);  // 1 -> 4 -> 16 -> 64
    EXPECT_TRUE(locked.find("k19", v));
    EXPECT_EQ(v, 19);
}

TEST(MapStr, IterationVisitsBucketsThenInsertionOrder) {
    str_map m(16);
    // Buckets of 16: p,0 -> 0; q,a,A -> 1; b -> 2; c -> 3.
    const char* keys[] = {"c", "q", "p", "a", "b", "A", "0"};
    for (int i = 0; i < 7; ++i) m.set(keys[i], i + 1);
    ASSERT_EQ(m.table_size(), 16u);

    auto values = [&] {
        std::vector<int> out;
        for (auto it = m.begin(); it != m.end(); ++it) out.push_back(*it);
        return out;
    };
    EXPECT_EQ(values(), (std::vector<int>{3, 7, 2, 4, 6, 5, 1}));

    // Buckets of 64: A -> 1, a -> 33, b -> 34, c -> 35, p,0 -> 48, q -> 49;
    // p stays ahead of 0.
    EXPECT_TRUE(m.reset_table_size(64));
    EXPECT_EQ(values(), (std::vector<int>{6, 4, 5, 1, 3, 7, 2}));

    // Values are reachable for writing through the iterator.
    for (auto it = m.begin(); it != m.end(); ++it) *it *= 10;
    int v = 0;
    EXPECT_TRUE(m.find("0", v));
    EXPECT_EQ(v, 70);

    str_map other(16);
    EXPECT_TRUE(other.begin() != m.end());  // different maps
    EXPECT_FALSE(other.begin() != other.end());
    m.clear();
    EXPECT_FALSE(m.begin() != m.end());
    EXPECT_EQ(m.table_size(), 64u);
}

TEST(MapStr, ResetClearDestory) {
    str_map m(16);
    m.set("x", 1);
    m.set("y", 2);
    EXPECT_FALSE(m.reset_table_size(0));
    EXPECT_EQ(m.table_size(), 16u);
    EXPECT_TRUE(m.reset_table_size(2));  // the entry count: nothing done
    EXPECT_EQ(m.table_size(), 16u);
    EXPECT_TRUE(m.reset_table_size(4));
    EXPECT_EQ(m.table_size(), 4u);
    int v = 0;
    EXPECT_TRUE(m.find("y", v));
    EXPECT_EQ(v, 2);

    m.destory();
    EXPECT_EQ(m.table_size(), 0u);
    EXPECT_EQ(m.size(), 0u);
    EXPECT_FALSE(m.find("y", v));
    EXPECT_FALSE(m.set("y", 3));  // no table to store into
    EXPECT_FALSE(m.begin() != m.end());
    EXPECT_TRUE(m.init_map_size(8));
    EXPECT_TRUE(m.set("y", 3));
    EXPECT_TRUE(m.find("y", v));
    EXPECT_EQ(v, 3);
}

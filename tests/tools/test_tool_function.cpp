// Tools functions: bounded copy and formatting, conversions, float
// comparison, splitting and searching, text checks, files, processes and the
// dynamic loader.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/cross_platform_api.h"
#include "tools/tool_function.h"
#include "tests/support/coll_support.h"
#include "tests/support/returns_in_time.h"
#include "tests/support/test_wait.h"

using namespace MORVAST::TOOLS;

using hux_test::coll::read_file;
using hux_test::coll::write_file;

namespace {

// Waits for the child and returns its exit code, or -1 when it did not exit.
int wait_exit_code(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Runs first, so that the threads also race on the first use of the buffer
// map and its lock.
TEST(FormatPchar, EachThreadKeepsItsOwnBuffer) {
    const int kThreads = 8;
    std::mutex m;
    std::condition_variable cv;
    bool go = false;
    int done = 0;
    std::vector<const char*> first(kThreads, nullptr);
    std::vector<const char*> second(kThreads, nullptr);
    std::vector<std::string> text(kThreads);

    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lk(m);
                EXPECT_TRUE(cv.wait_for(lk, hux_test::test_wait(), [&] { return go; }));
            }
            first[i] = format_pchar("thread %d", i);
            second[i] = format_pchar("%s-%d", "again", i);
            text[i] = second[i];
            // Stay alive until every thread has its buffer, so that no thread
            // id is reused by a later thread.
            std::unique_lock<std::mutex> lk(m);
            ++done;
            cv.notify_all();
            EXPECT_TRUE(cv.wait_for(lk, hux_test::test_wait(), [&] { return done == kThreads; }));
        });
    }
    {
        std::lock_guard<std::mutex> lk(m);
        go = true;
    }
    cv.notify_all();
    for (auto& t : threads) t.join();

    ASSERT_EQ(done, kThreads);
    const char* mine = format_pchar("main");
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_NE(first[i], nullptr);
        EXPECT_EQ(first[i], second[i]) << "thread " << i << " got a second buffer";
        EXPECT_EQ(text[i], "again-" + std::to_string(i));
        EXPECT_NE(first[i], mine);
        for (int j = 0; j < i; ++j) EXPECT_NE(first[i], first[j]) << i << " and " << j;
    }
    EXPECT_STREQ(mine, "main");
    EXPECT_EQ(format_pchar("%d", 7), mine);
    EXPECT_STREQ(mine, "7");
}

TEST(FormatPchar, LongTextIsCutAndFormatStrMatches) {
    const std::string big(50000, 'x');
    const char* p = format_pchar("%s", big.c_str());
    EXPECT_EQ(std::strlen(p), 40959u);
    EXPECT_EQ(std::string(p), big.substr(0, 40959));

    const std::string s = format_str("%s", big.c_str());
    EXPECT_EQ(s.size(), 40959u);
    EXPECT_EQ(format_str("%05d|%s", 42, "ok"), "00042|ok");
}

TEST(BoundedCopy, StrncpyMvTerminatesAndNeverOverruns) {
    char buf[10];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(strncpy_mv(buf, 8, "ABCDEFGHIJ"), buf);
    EXPECT_EQ(std::memcmp(buf, "ABCDEFG\0", 8), 0);
    EXPECT_EQ(buf[8], '#');  // the ninth byte is outside the width

    std::memset(buf, '#', sizeof(buf));
    strncpy_mv(buf, 8, "AB");
    EXPECT_EQ(std::memcmp(buf, "AB\0", 3), 0);
    EXPECT_EQ(buf[3], '#');

    // Width 0 writes nothing; width 1 writes only the terminator.
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(strncpy_mv(buf, 0, "AB"), buf);
    EXPECT_EQ(buf[0], '#');
    strncpy_mv(buf, 1, "AB");
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '#');

    // An unterminated source is read no further than the width needs.
    const char raw[4] = {'W', 'X', 'Y', 'Z'};
    std::memset(buf, '#', sizeof(buf));
    strncpy_mv(buf, 3, raw);
    EXPECT_STREQ(buf, "WX");

    // A null source leaves an empty text.
    strncpy_mv(buf, 5, nullptr);
    EXPECT_STREQ(buf, "");
}

TEST(BoundedCopy, SnprintfMvReturnsStoredLength) {
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(snprintf_mv(buf, 4, "%d", 12345), 3u);
    EXPECT_STREQ(buf, "123");
    EXPECT_EQ(buf[4], '#');

    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(snprintf_mv(buf, 0, "%d", 12345), 0u);
    EXPECT_EQ(buf[0], '#');

    EXPECT_EQ(snprintf_mv(buf, sizeof(buf), "%s-%d", "ab", 7), 4u);
    EXPECT_STREQ(buf, "ab-7");
    EXPECT_EQ(snprintf_mv(buf, 1, "%s", "abc"), 0u);
    EXPECT_STREQ(buf, "");
}

TEST(Conversion, NumbersAndText) {
    std::string s;
    EXPECT_EQ(to_string(-42), "-42");
    EXPECT_TRUE(convert(1234567890123LL, s));
    EXPECT_EQ(s, "1234567890123");
    EXPECT_TRUE(convert(1.5f, s));
    EXPECT_EQ(s, "1.500000");

    int i = 0;
    long long ll = 0;
    float f = 0;
    EXPECT_TRUE(convert(std::string("12abc"), i));
    EXPECT_EQ(i, 12);
    // Out of range saturates instead of wrapping.
    EXPECT_TRUE(convert(std::string("-99999999999"), i));
    EXPECT_EQ(i, INT_MIN);
    EXPECT_TRUE(convert(std::string("1e39"), f));
    EXPECT_TRUE(std::isinf(f) && f > 0);
    EXPECT_TRUE(convert(std::string("-123456789012345"), ll));
    EXPECT_EQ(ll, -123456789012345LL);

    // Pointer forms: null text or a length of 0 or less leaves dst untouched.
    double d = 7;
    i = 7;
    EXPECT_FALSE(convert(nullptr, 5, i));
    EXPECT_FALSE(convert("12", 0, i));
    EXPECT_FALSE(convert("1.5", -1, d));
    EXPECT_EQ(i, 7);
    EXPECT_EQ(d, 7.0);
    EXPECT_TRUE(convert("99999999999", 1, i));
    EXPECT_EQ(i, INT_MAX);
    EXPECT_TRUE(convert("-0.25", 5, d));
    EXPECT_EQ(d, -0.25);

    EXPECT_EQ(atoi64_mv("-9000000000"), -9000000000LL);
    EXPECT_EQ(atou64_mv("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(atoi64_mv(nullptr), 0);
}

TEST(FloatCompare, ScaledAndDifferenceBranches) {
    // 1.004 and 1.012 at 2 decimals: 100 < 101 after scaling, yet the
    // difference 0.008 is below 0.01 so they are also equal.
    EXPECT_TRUE(less_than_float(1.004, 1.012, 2));
    EXPECT_TRUE(equal_float(1.004, 1.012, 2));
    EXPECT_EQ(float_compare(1.004, 1.012, 2), 0);
    EXPECT_TRUE(large_than_float(1.012, 1.004, 2));
    // 1.004 and 1.006 both scale to 100.
    EXPECT_FALSE(less_than_float(1.004, 1.006, 2));
    EXPECT_FALSE(large_than_float(1.006, 1.004, 2));

    EXPECT_EQ(float_compare(1.0, 1.02, 2), -1);
    EXPECT_EQ(float_compare(1.02, 1.0, 2), 1);
    EXPECT_FALSE(is_zero_float(0.01, 2));

    // Past the 64-bit bound the plain difference decides.
    const double big = 3e13;
    EXPECT_FALSE(less_than_float(big, big + 0.5, 0));
    EXPECT_TRUE(less_than_float(big, big + 2.0, 0));
    EXPECT_TRUE(large_than_float(big + 2.0, big, 0));
    EXPECT_FALSE(large_than_float(big + 0.5, big, 0));

    // More than 5 decimals also uses the difference.
    EXPECT_FALSE(less_than_float(1.0, 1.0000005, 6));
    EXPECT_TRUE(less_than_float(1.0, 1.000002, 6));
    EXPECT_TRUE(large_than_float(1.000002, 1.0, 6));

    // Values that are not numbers are never ordered.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(less_than_float(nan, 1.0, 2));
    EXPECT_FALSE(large_than_float(1.0, nan, 2));
}

TEST(VectorCompare, SetRelations) {
    EXPECT_EQ(vector_compare({1, 1, 2}, {1, 2, 3}), RET_NOT_EQUAL);
    EXPECT_EQ(vector_compare({1, 2}, {2, 1}), RET_EQUAL);
    EXPECT_EQ(vector_compare({1, 2, 3}, {3, 1}), RET_LARGE);
    EXPECT_EQ(vector_compare({3, 1}, {1, 2, 3}), RET_LESS);
    EXPECT_EQ(vector_compare({1, 4}, {1, 2, 3}), RET_NOT_EQUAL);
    EXPECT_EQ(vector_compare({}, {}), RET_EQUAL);
    // Equal sizes need as many distinct elements in a as elements in b.
    EXPECT_EQ(vector_compare({1, 1, 2}, {2, 1, 1}), RET_NOT_EQUAL);
    // Negative and large members are kept apart.
    EXPECT_EQ(vector_compare({-5, 5, INT_MIN}, {INT_MIN, 5, -5}), RET_EQUAL);
    EXPECT_EQ(vector_compare({-5, 6}, {5, 6}), RET_NOT_EQUAL);
}

TEST(StringSplit, VectorForm) {
    // Any one character of the separator splits, and the full separator
    // length is skipped after it; a trailing empty piece is dropped, and a
    // source shorter than the separator is the only piece.
    const struct {
        const char* src;
        const char* sep;
        std::vector<std::string> pieces;
    } cases[] = {{"a,,b", ",", {"a", "", "b"}}, {"a,b,", ",", {"a", "b"}}, {",a", ",", {"", "a"}},
                 {"ab;;cd", ";;", {"ab", "cd"}}, {"ab,cd", ",;", {"ab", "d"}}, {"a;b", ";;", {"a", ""}},
                 {"a", ",;", {"a"}},            {"", ",", {}}};
    std::vector<std::string> v;
    for (const auto& c : cases) {
        v = {"old"};
        ASSERT_TRUE(string_split(c.src, v, c.sep)) << c.src;
        EXPECT_EQ(v, c.pieces) << c.src << " by " << c.sep;
    }
    v = {"old"};
    EXPECT_FALSE(string_split(nullptr, v, ","));
    EXPECT_EQ(v, (std::vector<std::string>{"old"}));
    EXPECT_FALSE(string_split("a,b", v, ""));
    EXPECT_TRUE(v.empty());

    std::vector<std::wstring> w;
    ASSERT_TRUE(wstring_split(L"x|\u4e2d|", w, L"|"));
    EXPECT_EQ(w, (std::vector<std::wstring>{L"x", L"\u4e2d"}));
    ASSERT_TRUE(wstring_split(L"ab,cd", w, L",;"));
    EXPECT_EQ(w, (std::vector<std::wstring>{L"ab", L"d"}));
    EXPECT_FALSE(wstring_split(nullptr, w, L","));
}

TEST(StringSplit, MatrixFormStaysInsideRows) {
    const int kRows = 3, kLine = 4;
    char m[kRows * kLine + 1];
    auto reset = [&] { std::memset(m, '#', sizeof(m)); };

    reset();
    ASSERT_TRUE(string_split(",,ab,,cde,", m, kRows, kLine, ","));
    EXPECT_STREQ(m, "ab");
    EXPECT_STREQ(m + kLine, "cde");
    EXPECT_EQ(m[2 * kLine], '#');  // third row unused
    EXPECT_EQ(m[kRows * kLine], '#');

    // More pieces than rows: nothing is written.
    reset();
    EXPECT_FALSE(string_split("a,b,c,d", m, kRows, kLine, ","));
    for (char c : m) EXPECT_EQ(c, '#');

    // A piece that does not fit its row stops the copy; earlier rows stay.
    reset();
    EXPECT_FALSE(string_split("ab,cdef,gh", m, kRows, kLine, ","));
    EXPECT_STREQ(m, "ab");
    EXPECT_EQ(m[kLine], '#');
    EXPECT_EQ(m[2 * kLine], '#');

    reset();
    EXPECT_FALSE(string_split(",,,", m, kRows, kLine, ","));
    EXPECT_FALSE(string_split("", m, kRows, kLine, ","));
    EXPECT_FALSE(string_split(nullptr, m, kRows, kLine, ","));
    EXPECT_FALSE(string_split("a", m, 0, kLine, ","));
    EXPECT_FALSE(string_split("a", m, kRows, 0, ","));
    EXPECT_FALSE(string_split("a", m, -1, kLine, ","));
    for (char c : m) EXPECT_EQ(c, '#');
}

TEST(FindBytes, FirstOccurrenceWithinLength) {
    const char aab[] = "aab";
    EXPECT_EQ(find_bytes(aab, 3, "ab", 2), aab + 1);
    const char xyab[] = "xyab";
    EXPECT_EQ(find_bytes(xyab, 4, "ab", 2), xyab + 2);
    EXPECT_EQ(find_bytes(xyab, 4, "q", 1), nullptr);
    // The target would run past the end.
    EXPECT_EQ(find_bytes("xxab", 4, "abc", 3), nullptr);
    // A match lying partly beyond srcLen does not count.
    EXPECT_EQ(find_bytes("aXab", 3, "ab", 2), nullptr);
    // Zero bytes inside the data are ordinary bytes.
    const char bin[] = {'\x01', '\0', '\x02', '\0', '\x03'};
    EXPECT_EQ(find_bytes(bin, 5, "\0\x03", 2), bin + 3);

    EXPECT_EQ(find_bytes(nullptr, 3, "a", 1), nullptr);
    EXPECT_EQ(find_bytes(aab, 0, "a", 1), nullptr);
    EXPECT_EQ(find_bytes(aab, 3, "a", 0), nullptr);

    // A long run of near misses is searched without deep call chains.
    std::string big(4u << 20, 'a');
    big += "b";
    const char* hit = find_bytes(big.data(), static_cast<unsigned>(big.size()), "ab", 2);
    EXPECT_EQ(hit, big.data() + big.size() - 2);
}

TEST(StringReplace, LeftToRightWithoutRescanning) {
    const char* const cases[][4] = {
        {"aa", "aa", "aaa", "aaa"}, {"a.b.c", ".", "::", "a::b::c"}, {"xaxa", "x", "", "aa"}, {"abc", "", "z", "abc"}};
    for (const auto& c : cases) {
        std::string s = c[0];
        string_replace(s, c[1], c[2]);
        EXPECT_EQ(s, c[3]) << c[0];
    }
}

TEST(TextChecks, IsFloatIsChineseAndSpecialCharacters) {
    EXPECT_TRUE(is_float("12.5", 4));
    EXPECT_FALSE(is_float("-1", 2));
    EXPECT_FALSE(is_float("12", 0));
    EXPECT_TRUE(is_float("xx", -1));
    EXPECT_TRUE(is_float("1..2", 4));
    EXPECT_FALSE(is_float("12a", 3));
    EXPECT_TRUE(is_float("12a", 2));  // only len bytes are looked at
    EXPECT_FALSE(is_float(nullptr, 2));

    int off = 77;
    EXPECT_TRUE(is_chinese("\xC4\xE3\xBA\xC3x", off));
    EXPECT_EQ(off, 4);
    off = 77;
    EXPECT_FALSE(is_chinese("abc", off));
    EXPECT_FALSE(is_chinese(nullptr, off));
    EXPECT_EQ(off, 77);

    EXPECT_FALSE(check_special_character("abcXYZ019", 9));
    EXPECT_TRUE(check_special_character("ab c", 4));
    EXPECT_TRUE(check_special_character("ab_", 3));
    EXPECT_FALSE(check_special_character("\xC4\xE3" "ab\xBA\xC3", 6));
    EXPECT_TRUE(check_special_character("\xC4\xE3-", 3));
    EXPECT_FALSE(check_special_character("ab!", 2));        // '!' lies past len
    EXPECT_FALSE(check_special_character("ab\0!!", 5));     // stops at the terminator
    EXPECT_FALSE(check_special_character(nullptr, 3));
    EXPECT_FALSE(check_special_character("!", -1));
    // An unterminated buffer ending in high-bit bytes is not read past len.
    const char raw[3] = {'a', '\xC4', '\xE3'};
    EXPECT_FALSE(check_special_character(raw, 3));
}

TEST(Files, ExistsAndMove) {
    EXPECT_FALSE(file_exists(""));
    EXPECT_FALSE(file_exists(nullptr));
    EXPECT_TRUE(rm_old_file("/nonexistent", 0));

    hux_test::coll::scratch_dir dir;
    EXPECT_TRUE(file_exists(dir.path().c_str()));
    EXPECT_FALSE(file_exists("a.txt"));
    write_file("a.txt", "data");
    EXPECT_TRUE(file_exists("a.txt"));
    EXPECT_TRUE(move_file_mv("a.txt", "b.txt"));
    EXPECT_FALSE(file_exists("a.txt"));
    EXPECT_EQ(read_file("b.txt"), "data");
    EXPECT_FALSE(move_file_mv("a.txt", "b.txt"));
    EXPECT_EQ(read_file("b.txt"), "data");
    EXPECT_FALSE(move_file_mv(nullptr, "b.txt"));
}

TEST(Time, LocaltimeMvSplitsAndSleepMvWaits) {
    const time_t now = time(nullptr);
    struct tm parts;
    std::memset(&parts, 0, sizeof(parts));
    localtime_mv(&now, &parts);
    EXPECT_EQ(mktime(&parts), now);

    const auto t0 = std::chrono::steady_clock::now();
    sleep_mv(30);
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_GE(t1 - t0, std::chrono::milliseconds(30));
    // 4,294,968 ms x 1000 wraps in 32 bits to 704 microseconds (unwrapped,
    // the sleep would last 71 minutes).
    hux_test::returns_within("sleep_mv(4294968)", [] { sleep_mv(4294968u); });
    const auto t2 = std::chrono::steady_clock::now();
    EXPECT_GE(t2 - t1, std::chrono::microseconds(704));
}

TEST(Process, ChildGetsArgumentsAndFailedImageExits127) {
    hux_test::coll::scratch_dir dir;
    const std::string script = dir.path() + "/args.sh";
    // The shell's own command line is the argument list the child was given.
    write_file(script, "cat /proc/$$/cmdline > args.out\nexit 0\n");
    const pid_t me = getpid();
    const pid_t child = create_process_mv("/bin/sh", script.c_str());
    ASSERT_GT(child, 0);
    EXPECT_EQ(wait_exit_code(child), 0);
    EXPECT_EQ(read_file("args.out"), std::string("%s") + '\0' + script + '\0');

    // A program that cannot be started: the child ends with 127 instead of
    // returning into this test.
    const pid_t bad = create_process_mv("/nonexistent/hux_no_such_program", "x");
    ASSERT_GT(bad, 0);
    EXPECT_EQ(wait_exit_code(bad), 127);
    EXPECT_EQ(getpid(), me);
}

TEST(Loader, LoadsResolvesAndReportsErrors) {
    dll_handle_mv libm = load_library("libm.so.6");
    ASSERT_NE(libm, nullptr) << get_dll_error();
    typedef double (*cos_fn)(double);
    cos_fn f = reinterpret_cast<cos_fn>(get_function_address(libm, "cos"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f(0.0), 1.0);
    EXPECT_EQ(get_function_address(libm, "hux_no_such_symbol"), nullptr);
    EXPECT_NE(std::strstr(get_dll_error(), "hux_no_such_symbol"), nullptr);
    EXPECT_EQ(get_function_address(libm, nullptr), nullptr);
    EXPECT_EQ(get_function_address(nullptr, "cos"), nullptr);
    free_library(libm);

    EXPECT_EQ(load_library("libhux_missing_library.so"), nullptr);
    dll_error_mv err = get_dll_error();
    ASSERT_NE(err, nullptr);
    EXPECT_NE(std::strstr(err, "libhux_missing_library.so"), nullptr);
    // No error pending gives an empty text, never null.
    ASSERT_NE(get_dll_error(), nullptr);
    EXPECT_STREQ(get_dll_error(), "");
    free_library(nullptr);
}

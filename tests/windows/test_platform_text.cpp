// Code pages, the bounded formatters and the file tests of the Windows tools.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tools/char_set.h"
#include "tools/cross_platform_api.h"

namespace MT = MORVAST::TOOLS;

namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

TEST(WindowsText, Gb2312AndUtf8BothWays) {
    // 中 is D6 D0 in GB2312 and U+4E2D, E4 B8 AD in UTF-8; 文 is CE C4 and
    // U+6587, E6 96 87. The system's ANSI code page under test is not 936.
    const std::string gb = bytes({0xD6, 0xD0, 0xCE, 0xC4, 'o', 'k'});
    const std::string utf8 = bytes({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87, 'o', 'k'});
    std::string out = "stale";
    ASSERT_TRUE(MT::convert_gb2312_to_utf8(bytes({0xD6, 0xD0}).c_str(), out));
    EXPECT_EQ(bytes({0xE4, 0xB8, 0xAD}), out);
    ASSERT_TRUE(MT::convert_gb2312_to_utf8(gb.c_str(), out));
    EXPECT_EQ(utf8, out);
    ASSERT_TRUE(MT::convert_utf8_to_gb2312(utf8.c_str(), out));
    EXPECT_EQ(gb, out);
    // code_convert between the two pages by length.
    ASSERT_TRUE(MT::code_convert(936, 65001, gb.c_str(), static_cast<int>(gb.size()), out));
    EXPECT_EQ(utf8, out);
    ASSERT_TRUE(MT::code_convert(65001, 936, utf8.c_str(), 3, out));
    EXPECT_EQ(bytes({0xD6, 0xD0}), out);

    // Wide characters are 2 bytes here.
    std::wstring wide;
    ASSERT_TRUE(MT::convert_utf8_unicode(utf8.c_str(), wide));
    ASSERT_EQ(4u, wide.size());
    EXPECT_EQ(0x4E2D, wide[0]);
    EXPECT_EQ(0x6587, wide[1]);
    ASSERT_TRUE(MT::convert_unicode_utf8(wide.c_str(), out));
    EXPECT_EQ(utf8, out);
    ASSERT_TRUE(MT::convert_unicode_utf8(wide.c_str(), 1, out));
    EXPECT_EQ(bytes({0xE4, 0xB8, 0xAD}), out);

    // Empty in, empty out, still true.
    out = "stale";
    EXPECT_TRUE(MT::convert_gb2312_to_utf8("", out));
    EXPECT_EQ("", out);
    out = "stale";
    EXPECT_TRUE(MT::convert_utf8_to_gb2312("", out));
    EXPECT_EQ("", out);
    // Equal code pages copy up to the terminator, valid or not.
    const std::string junk = bytes({0xFF, 0xFE, 0x80, 'x'});
    EXPECT_TRUE(MT::code_convert(65001, 65001, junk.c_str(), 1, out));
    EXPECT_EQ(junk, out);
}

TEST(WindowsText, FormattersCutInsteadOfAborting) {
    char buf[4];
    EXPECT_EQ(3u, MT::snprintf_mv(buf, sizeof(buf), "%d", 12345));
    EXPECT_STREQ("123", buf);
    EXPECT_EQ(2u, MT::snprintf_mv(buf, sizeof(buf), "%s", "ab"));
    EXPECT_STREQ("ab", buf);
    EXPECT_EQ(0u, MT::snprintf_mv(buf, 0, "%d", 1));

    // C99 length modifiers, which the system's own formatter may lack.
    char num[64];
    MT::snprintf_mv(num, sizeof(num), "%lld|%llu|%zu|%hhd", -1099511627776LL, 18446744073709551615ULL,
                    static_cast<size_t>(42), 300);
    EXPECT_STREQ("-1099511627776|18446744073709551615|42|44", num);

    // 50,000 characters: cut at 40,959 by both formatters, the process lives.
    const std::string big(50000, 'x');
    const std::string s = MT::format_str("%s", big.c_str());
    EXPECT_EQ(40959u, s.size());
    EXPECT_EQ(std::string(40959, 'x'), s);
    const char* p = MT::format_pchar("%s!", big.c_str());
    EXPECT_EQ(40959u, std::strlen(p));

    // format_pchar: one buffer per thread, kept until that thread calls again.
    const char* mine = MT::format_pchar("main %d", 1);
    std::string theirs;
    const char* their_buf = nullptr;
    std::thread other([&] {
        their_buf = MT::format_pchar("other %d", 2);
        theirs = their_buf;
    });
    other.join();
    EXPECT_STREQ("main 1", mine);
    EXPECT_EQ("other 2", theirs);
    EXPECT_NE(static_cast<const void*>(mine), static_cast<const void*>(their_buf));
}

TEST(WindowsText, FileAndDirectoryTests) {
    char tmp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof(tmp), tmp));
    char dir[MAX_PATH];
    std::snprintf(dir, sizeof(dir), "%shux_text_%lu", tmp, GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    char file[MAX_PATH];
    std::snprintf(file, sizeof(file), "%s\\plain.txt", dir);
    FILE* f = std::fopen(file, "w");
    ASSERT_NE(nullptr, f);
    std::fputs("x", f);
    std::fclose(f);
    char missing[MAX_PATH];
    std::snprintf(missing, sizeof(missing), "%s\\missing", dir);

    EXPECT_TRUE(MT::dir_exists(dir));
    EXPECT_FALSE(MT::dir_exists(file));  // a regular file is no directory
    EXPECT_FALSE(MT::dir_exists(missing));
    EXPECT_FALSE(MT::dir_exists(""));
    EXPECT_FALSE(MT::dir_exists(nullptr));

    EXPECT_TRUE(MT::file_exists(file));
    EXPECT_TRUE(MT::file_exists(dir));
    EXPECT_FALSE(MT::file_exists(missing));
    EXPECT_FALSE(MT::file_exists(""));
    EXPECT_FALSE(MT::file_exists(nullptr));

    DeleteFileA(file);
    RemoveDirectoryA(dir);
}

}  // namespace

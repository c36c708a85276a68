// Code pages and the user's code page, the bounded formatters, and the file,
// loader and process functions of the Windows tools.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "tests/windows/support/winsock_peer.h"
#include "tools/char_set.h"
#include "tools/cross_platform_api.h"

namespace MT = MORVAST::TOOLS;
using hux_wtest::wait_for;

namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

void write_file(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// The file's bytes; empty when it cannot be read.
std::string read_file(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::string();
    std::string text;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
}

// Blocks in use on the process heap, where the system allocates the texts
// it formats for a caller.
size_t busy_heap_blocks() {
    HANDLE heap = GetProcessHeap();
    size_t n = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry;
    std::memset(&entry, 0, sizeof(entry));
    while (HeapWalk(heap, &entry))
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) ++n;
    HeapUnlock(heap);
    return n;
}

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

TEST(WindowsText, UserCodePageIsTheLocalesOwn) {
    const int code_page = MT::get_user_default_codepage();
    EXPECT_GT(code_page, 0);
    // The program now runs in the user's locale, whose name ends in its code
    // page ("English_United States.1252"); the "C" locale has none.
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(nullptr, name);
    const char* dot = std::strrchr(name, '.');
    ASSERT_NE(nullptr, dot) << name;
    EXPECT_EQ(code_page, std::atoi(dot + 1));
    std::setlocale(LC_ALL, "C");
}

// Each path is one file however it is spelt: through a command interpreter
// the blank would split the source and the '&' would run "mkdir injected".
TEST(WindowsText, MoveTakesEachPathWhole) {
    // Relative to the program's own working directory.
    const std::string dir = "hux move & mkdir injected";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string from = dir + "\\a b.txt";
    const std::string to = dir + "\\c & d.txt";
    write_file(from, "moved");
    EXPECT_TRUE(MT::move_file_mv(from.c_str(), to.c_str()));
    EXPECT_FALSE(MT::file_exists(from.c_str()));
    EXPECT_EQ("moved", read_file(to));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("injected"));
    // An existing destination is replaced, as a rename on Linux does; a
    // missing source moves nothing.
    write_file(from, "again");
    EXPECT_TRUE(MT::move_file_mv(from.c_str(), to.c_str()));
    EXPECT_EQ("again", read_file(to));
    EXPECT_FALSE(MT::move_file_mv(from.c_str(), to.c_str()));
    EXPECT_EQ("again", read_file(to));
    DeleteFileA(to.c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(WindowsText, OldFilesRemovedNewerOnesAndDirectoriesKept) {
    char tmp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof(tmp), tmp));
    const std::string dir = std::string(tmp) + "hux_old_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string old_file = dir + "\\old.log";
    const std::string new_file = dir + "\\new.log";
    const std::string old_dir = dir + "\\old dir";
    write_file(old_file, "o");
    write_file(new_file, "n");
    ASSERT_TRUE(CreateDirectoryA(old_dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    // Two days ago, for the old file and the directory.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= 2ull * 86400ull * 10000000ull;
    FILETIME two_days_ago;
    two_days_ago.dwLowDateTime = t.LowPart;
    two_days_ago.dwHighDateTime = t.HighPart;
    for (const std::string& path : {old_file, old_dir}) {
        HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
        EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &two_days_ago));
        CloseHandle(h);
    }

    EXPECT_TRUE(MT::rm_old_file(dir.c_str(), std::time(nullptr) - 86400));
    EXPECT_FALSE(MT::file_exists(old_file.c_str()));
    EXPECT_TRUE(MT::file_exists(new_file.c_str()));
    EXPECT_TRUE(MT::dir_exists(old_dir.c_str()));
    EXPECT_FALSE(MT::rm_old_file((dir + "\\missing").c_str(), std::time(nullptr)));

    DeleteFileA(new_file.c_str());
    RemoveDirectoryA(old_dir.c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(WindowsText, LoaderAndItsErrorText) {
    dll_handle_mv kernel = MT::load_library("kernel32.dll");
    ASSERT_NE(nullptr, kernel);
    typedef DWORD(WINAPI * tick_fn)();
    void* proc = MT::get_function_address(kernel, "GetTickCount");
    ASSERT_NE(nullptr, proc);
    const DWORD first = reinterpret_cast<tick_fn>(proc)();
    EXPECT_LE(first, GetTickCount());
    EXPECT_EQ(nullptr, MT::get_function_address(kernel, "hux_no_such_function"));
    MT::free_library(kernel);

    EXPECT_EQ(nullptr, MT::load_library("hux_no_such_library.dll"));
    const std::string text = MT::get_dll_error();
    char expected[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_MOD_NOT_FOUND,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), expected, sizeof(expected), nullptr);
    EXPECT_NE("", text);
    EXPECT_EQ(expected, text);

    // The system's buffer for each text is freed before the copy is
    // returned: asking often leaves the process heap as it was.
    const size_t before = busy_heap_blocks();
    for (int i = 0; i < 500; ++i) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        MT::get_dll_error();
    }
    EXPECT_LT(busy_heap_blocks(), before + 100);
}

TEST(WindowsText, ProcessStartedWithFileAndParameter) {
    char system_dir[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryA(system_dir, sizeof(system_dir)));
    const std::string cmd = std::string(system_dir) + "\\cmd.exe";
    DeleteFileA("started.txt");
    // The child's command line is the file, a blank and the parameter; it
    // runs in this program's working directory.
    const pid_mv pid = MT::create_process_mv(cmd.c_str(), "/c echo started>started.txt");
    EXPECT_NE(0xFFFFFFFFul, pid);
    ASSERT_TRUE(wait_for([] { return read_file("started.txt") == "started\r\n"; }));
    ASSERT_TRUE(wait_for([] { return DeleteFileA("started.txt") != 0; }));

    EXPECT_EQ(0xFFFFFFFFul, MT::create_process_mv("hux_no_such_program.exe", ""));
    // A command line that would be cut is refused.
    EXPECT_EQ(0xFFFFFFFFul, MT::create_process_mv(cmd.c_str(), std::string(1100, 'x').c_str()));
}

}  // namespace

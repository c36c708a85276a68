// Code-page conversion between GBK (code page 0), UTF-8 (65001) and wide
// characters. Expected bytes are written out by hand: 中 is U+4E2D, GBK D6 D0,
// UTF-8 E4 B8 AD; 价格 is U+4EF7 U+683C, GBK BC DB B8 F1, UTF-8 E4 BB B7 E6 A0 BC.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tools/char_set.h"

using namespace MORVAST::TOOLS;

namespace {
const char kZhongGbk[] = "\xD6\xD0";
const char kZhongUtf8[] = "\xE4\xB8\xAD";
const wchar_t kZhongWide[] = L"\x4E2D";
const char kPriceGbk[] = "\xBC\xDB\xB8\xF1";
const char kPriceUtf8[] = "\xE4\xBB\xB7\xE6\xA0\xBC";
}  // namespace

TEST(CharSet, GbkAndUtf8RoundTrip) {
    std::string out = "stale";
    EXPECT_TRUE(convert_gb2312_to_utf8(kZhongGbk, out));
    EXPECT_EQ(out, kZhongUtf8);

    EXPECT_TRUE(convert_gb2312_to_utf8(kPriceGbk, out));
    EXPECT_EQ(out, kPriceUtf8);
    std::string back;
    EXPECT_TRUE(convert_utf8_to_gb2312(out.c_str(), back));
    EXPECT_EQ(back, kPriceGbk);

    // Mixed with ASCII, as in a reject text.
    EXPECT_TRUE(convert_gb2312_to_utf8("1:\xBC\xDB\xB8\xF1;", out));
    EXPECT_EQ(out, "1:\xE4\xBB\xB7\xE6\xA0\xBC;");

    EXPECT_TRUE(convert_gb2312_to_utf8(nullptr, out));
    EXPECT_EQ(out, "");
}

TEST(CharSet, InvalidInputGivesTheConvertedPrefixAndTrue) {
    std::string out;
    // 0xFF is never a GBK byte: conversion stops there.
    EXPECT_TRUE(convert_gb2312_to_utf8("A\xFF" "B", out));
    EXPECT_EQ(out, "A");
    // A lead byte without its second byte at the end.
    EXPECT_TRUE(convert_gb2312_to_utf8("AB\xD6", out));
    EXPECT_EQ(out, "AB");
    EXPECT_TRUE(convert_gb2312_to_utf8("\xD6\xD0\xD6", out));
    EXPECT_EQ(out, kZhongUtf8);
    // Cut UTF-8 the other way.
    EXPECT_TRUE(convert_utf8_to_gb2312("x\xE4\xB8", out));
    EXPECT_EQ(out, "x");
    std::wstring wide = L"stale";
    EXPECT_TRUE(convert_utf8_unicode("\xE4\xB8", wide));
    EXPECT_EQ(wide, L"");
}

TEST(CharSet, AsciiPassesThroughEveryConversion) {
    const char text[] = "Order 42: OK! ~{}[]";
    const wchar_t wtext[] = L"Order 42: OK! ~{}[]";
    std::string out;
    std::wstring wout;
    for (int page : {0, 65001}) {
        EXPECT_TRUE(code_convert(page, 65001 - page, text, sizeof(text) - 1, out) && out == text) << page;
        EXPECT_TRUE(convert_multibyte_to_unicode(page, text, wout) && wout == wtext) << page;
        EXPECT_TRUE(convert_unicode_to_multibyte(page, wtext, out) && out == text) << page;
    }
    EXPECT_TRUE(convert_gb2312_to_utf8(text, out) && out == text);
    EXPECT_TRUE(convert_utf8_to_gb2312(text, out) && out == text);
    EXPECT_TRUE(convert_unicode_utf8(wtext, out) && out == text);
    EXPECT_TRUE(convert_utf8_unicode(text, wout) && wout == wtext);
}

TEST(CharSet, ImitatedWin32Calls) {
    wchar_t wide[8] = {};
    // Size queries answer whatever the code page.
    EXPECT_EQ(MultiByteToWideChar(936, 0, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", 3, wide, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -5, nullptr, 0), 0);
    EXPECT_EQ(WideCharToMultiByte(936, 0, L"ab", 2, nullptr, 0, nullptr, nullptr), 10);
    // x5 would pass INT_MAX, and a negative count: refused.
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"a", INT_MAX / 5 + 1, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, L"a", -1, nullptr, 0, nullptr, nullptr), 0);

    // Unsupported code page with a buffer.
    EXPECT_EQ(MultiByteToWideChar(936, 0, "abc", 3, wide, 8), -1);
    char bytes[16] = {};
    EXPECT_EQ(WideCharToMultiByte(936, 0, L"abc", 3, bytes, 16, nullptr, nullptr), -1);

    // Exactly cbMultiByte bytes, no terminator added.
    wide[1] = L'#';
    EXPECT_EQ(MultiByteToWideChar(0, 0, "\xD6\xD0" "xyz", 2, wide, 8), 1);
    EXPECT_EQ(wide[0], kZhongWide[0]);
    EXPECT_EQ(wide[1], L'#');
    EXPECT_EQ(MultiByteToWideChar(65001, 0, kZhongUtf8, 3, wide, 8), 1);
    EXPECT_EQ(wide[0], kZhongWide[0]);
    // Too little room, invalid input, negative counts: 0.
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", 3, wide, 2), 0);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "a\xFF", 2, wide, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(0, 0, "abc", -1, wide, 8), 0);

    EXPECT_EQ(WideCharToMultiByte(65001, 0, kZhongWide, 1, bytes, 16, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(bytes, 3), kZhongUtf8);
    EXPECT_EQ(WideCharToMultiByte(0, 0, kZhongWide, 1, bytes, 16, nullptr, nullptr), 2);
    EXPECT_EQ(std::string(bytes, 2), kZhongGbk);
    EXPECT_EQ(WideCharToMultiByte(65001, 0, kZhongWide, 1, bytes, 2, nullptr, nullptr), 0);
    // U+0E01 (Thai) has no GBK form.
    EXPECT_EQ(WideCharToMultiByte(0, 0, L"\x0E01", 1, bytes, 16, nullptr, nullptr), 0);
    EXPECT_EQ(get_user_default_codepage(), -1);
}

TEST(CharSet, CodeConvert) {
    std::string out;
    // Equal code pages copy up to the terminator, whatever in_len says.
    EXPECT_TRUE(code_convert(0, 0, "abcdef", 2, out));
    EXPECT_EQ(out, "abcdef");
    EXPECT_TRUE(code_convert(65001, 65001, "\xE4\xB8\xAD" "z", 0, out));
    EXPECT_EQ(out, "\xE4\xB8\xAD" "z");

    // Different code pages convert exactly in_len bytes.
    EXPECT_TRUE(code_convert(0, 65001, "\xD6\xD0" "xyz", 2, out));
    EXPECT_EQ(out, kZhongUtf8);
    EXPECT_TRUE(code_convert(65001, 0, kPriceUtf8, 6, out));
    EXPECT_EQ(out, kPriceGbk);
    EXPECT_TRUE(code_convert(0, 65001, "A\xFF" "B", 3, out));
    EXPECT_EQ(out, "A");

    // Unknown code pages and bad lengths give an empty result, not an error.
    for (int from : {0, 936}) {
        out = "stale";
        EXPECT_TRUE(code_convert(from, 936 - from, "abc", 3, out) && out.empty()) << from;
    }
    EXPECT_TRUE(code_convert(0, 65001, "abc", -1, out) && out.empty());
    EXPECT_TRUE(code_convert(0, 65001, nullptr, 3, out) && out.empty());
}

TEST(CharSet, WideCharacterForms) {
    std::string out;
    std::wstring wout;
    const wchar_t zhong_a[] = L"\x4E2D" L"A";

    EXPECT_TRUE(convert_unicode_utf8(zhong_a, out));
    EXPECT_EQ(out, "\xE4\xB8\xAD" "A");
    EXPECT_TRUE(convert_unicode_utf8(zhong_a, 1, out));
    EXPECT_EQ(out, kZhongUtf8);
    EXPECT_TRUE(convert_utf8_unicode("\xE4\xB8\xAD" "A", wout));
    EXPECT_EQ(wout, zhong_a);
    EXPECT_TRUE(convert_utf8_unicode("\xE4\xB8\xAD" "A", 3, wout));
    EXPECT_EQ(wout, kZhongWide);

    EXPECT_TRUE(convert_multibyte_to_unicode(0, kPriceGbk, wout));
    EXPECT_EQ(wout, L"\x4EF7\x683C");
    EXPECT_TRUE(convert_unicode_to_multibyte(0, L"\x4EF7\x683C", out));
    EXPECT_EQ(out, kPriceGbk);
    EXPECT_TRUE(convert_unicode_to_multibyte(65001, L"\x4EF7\x683C", out));
    EXPECT_EQ(out, kPriceUtf8);

    // Unknown code page, null text, negative and overflowing lengths: empty and true.
    for (int len : {-1, INT_MAX / 5 + 1}) {
        out = "stale";
        EXPECT_TRUE(convert_unicode_utf8(zhong_a, len, out) && out.empty()) << len;
    }
    out = "stale";
    EXPECT_TRUE(convert_unicode_to_multibyte(936, zhong_a, out) && out.empty());
    wout = L"stale";
    EXPECT_TRUE(convert_multibyte_to_unicode(936, "abc", wout) && wout.empty());
    wout = L"stale";
    EXPECT_TRUE(convert_utf8_unicode("abc", -3, wout) && wout.empty());
    EXPECT_TRUE(convert_utf8_unicode(nullptr, 4, wout) && wout.empty());
}

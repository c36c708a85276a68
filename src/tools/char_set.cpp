#include "tools/char_set.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <vector>

namespace MORVAST {
namespace TOOLS {

namespace {

#ifdef _WIN32
// GB2312 text is read and written as code page 936 itself: the system's ANSI
// code page (0) is 936 only on Chinese systems and garbles it elsewhere.
const unsigned kLocalCodePage = 936;
const unsigned kUtf8CodePage = 65001;
#else
const unsigned kLocalCodePage = 0;
const unsigned kUtf8CodePage = 65001;
const char* const kWideName = "WCHAR_T";
// Room for one wide character in the multibyte encodings.
const int kBytesPerWide = 5;

static_assert(sizeof(wchar_t) == 4, "wide characters are 4 bytes");

const char* iconv_name(unsigned code_page) {
    if (code_page == kUtf8CodePage) return "utf-8";
    if (code_page == kLocalCodePage) return "gbk";
    return nullptr;
}

// One conversion pass with a converter of its own. Returns the bytes written,
// or -1 when the converter cannot be opened or stops early (the output then
// still holds what was converted before the fault).
long convert_once(const char* to, const char* from, const char* in, size_t in_bytes, char* out,
                  size_t out_bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char* in_ptr = const_cast<char*>(in);
    size_t in_left = in_bytes;
    char* out_ptr = out;
    size_t out_left = out_bytes;
    size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) return -1;
    return static_cast<long>(out_bytes - out_left);
}
#endif

// in_len multibyte bytes into a zero-filled buffer of one wide character per
// byte plus a terminator; the result ends at the first zero.
std::wstring multibyte_to_wide(unsigned code_page, const char* in, int in_len) {
    if (in == nullptr) return std::wstring();
    int room = MultiByteToWideChar(code_page, 0, in, in_len, nullptr, 0);
    if (room <= 0) return std::wstring();
    std::vector<wchar_t> buf(static_cast<size_t>(room) + 1, L'\0');
    MultiByteToWideChar(code_page, 0, in, in_len, buf.data(), room);
    return std::wstring(buf.data());
}

// in_len wide characters into a zero-filled buffer of 5 bytes per character
// plus a terminator. Returns the converted length (0 on a failure, -1 for an
// unknown code page) and leaves the buffer in buf.
int wide_to_multibyte(unsigned code_page, const wchar_t* in, int in_len, std::vector<char>& buf) {
    buf.assign(1, '\0');
    if (in == nullptr) return 0;
    int room = WideCharToMultiByte(code_page, 0, in, in_len, nullptr, 0, nullptr, nullptr);
    if (room <= 0) return 0;
    buf.assign(static_cast<size_t>(room) + 1, '\0');
    return WideCharToMultiByte(code_page, 0, in, in_len, buf.data(), room, nullptr, nullptr);
}

// Length of a terminated text as an int; -1 when it does not fit.
int text_length(const char* text) {
    size_t len = std::strlen(text);
    return len > static_cast<size_t>(INT_MAX) ? -1 : static_cast<int>(len);
}

int text_length(const wchar_t* text) {
    size_t len = std::wcslen(text);
    return len > static_cast<size_t>(INT_MAX) ? -1 : static_cast<int>(len);
}

}  // namespace

#ifndef _WIN32
int MultiByteToWideChar(unsigned CodePage, int, lpcstr_mv lpMultiByteStr, int cbMultiByte,
                        lpwstr_mv lpWideCharStr, int cchWideChar) {
    if (cchWideChar == 0) return cbMultiByte < 0 ? 0 : cbMultiByte;
    const char* name = iconv_name(CodePage);
    if (name == nullptr) return -1;
    if (lpMultiByteStr == nullptr || lpWideCharStr == nullptr || cbMultiByte < 0 || cchWideChar < 0) {
        return 0;
    }
    long written = convert_once(kWideName, name, lpMultiByteStr, static_cast<size_t>(cbMultiByte),
                                reinterpret_cast<char*>(lpWideCharStr),
                                static_cast<size_t>(cchWideChar) * sizeof(wchar_t));
    return written < 0 ? 0 : static_cast<int>(written / static_cast<long>(sizeof(wchar_t)));
}

int WideCharToMultiByte(unsigned CodePage, int, lpcwstr_mv lpWideCharStr, int cchWideChar,
                        lpstr_mv lpMultiByteStr, int cbMultiByte, lpstr_mv, bool*) {
    if (cbMultiByte == 0) {
        if (cchWideChar < 0 || cchWideChar > INT_MAX / kBytesPerWide) return 0;
        return cchWideChar * kBytesPerWide;
    }
    const char* name = iconv_name(CodePage);
    if (name == nullptr) return -1;
    if (lpWideCharStr == nullptr || lpMultiByteStr == nullptr || cchWideChar < 0 || cbMultiByte < 0) {
        return 0;
    }
    long written = convert_once(name, kWideName, reinterpret_cast<const char*>(lpWideCharStr),
                                static_cast<size_t>(cchWideChar) * sizeof(wchar_t), lpMultiByteStr,
                                static_cast<size_t>(cbMultiByte));
    return written < 0 ? 0 : static_cast<int>(written);
}
#endif

bool code_convert(i32_mv from_codepage, i32_mv to_codepage, lpcstr_mv in_buf, i32_mv in_len,
                  std::string& out_str) {
    if (from_codepage == to_codepage) {
        out_str = in_buf != nullptr ? in_buf : "";
        return true;
    }
    out_str.clear();
    if (in_buf == nullptr) return true;
    int wide_room = MultiByteToWideChar(static_cast<unsigned>(from_codepage), 0, in_buf, in_len, nullptr, 0);
    if (wide_room <= 0) return true;
    std::vector<wchar_t> wide(static_cast<size_t>(wide_room) + 1, L'\0');
    MultiByteToWideChar(static_cast<unsigned>(from_codepage), 0, in_buf, in_len, wide.data(), wide_room);
    std::vector<char> bytes;
    wide_to_multibyte(static_cast<unsigned>(to_codepage), wide.data(), wide_room, bytes);
    out_str = bytes.data();
    return true;
}

bool convert_multibyte_to_unicode(i32_mv multibye_codepage, lpcstr_mv in_buf, std::wstring& out_str) {
    out_str.clear();
    if (in_buf == nullptr) return true;
    out_str = multibyte_to_wide(static_cast<unsigned>(multibye_codepage), in_buf, text_length(in_buf));
    return true;
}

bool convert_unicode_to_multibyte(i32_mv multibye_codepage, lpcwstr_mv in_buf, std::string& out_str) {
    out_str.clear();
    if (in_buf == nullptr) return true;
    std::vector<char> bytes;
    int written = wide_to_multibyte(static_cast<unsigned>(multibye_codepage), in_buf, text_length(in_buf), bytes);
    if (written > 0) out_str.assign(bytes.data(), static_cast<size_t>(written));
    return true;
}

bool convert_gb2312_to_utf8(lpcstr_mv in_gb2312, std::string& out_utf8) {
    std::wstring wide;
    bool to_wide = convert_multibyte_to_unicode(kLocalCodePage, in_gb2312, wide);
    bool to_utf8 = convert_unicode_to_multibyte(kUtf8CodePage, wide.c_str(), out_utf8);
    return to_wide && to_utf8;
}

bool convert_utf8_to_gb2312(lpcstr_mv in_utf8, std::string& out_gb2312) {
    std::wstring wide;
    bool to_wide = convert_multibyte_to_unicode(kUtf8CodePage, in_utf8, wide);
    bool to_local = convert_unicode_to_multibyte(kLocalCodePage, wide.c_str(), out_gb2312);
    return to_wide && to_local;
}

bool convert_unicode_utf8(lpcwstr_mv in_buf, std::string& out_str) {
    out_str.clear();
    if (in_buf == nullptr) return true;
    return convert_unicode_utf8(in_buf, text_length(in_buf), out_str);
}

bool convert_unicode_utf8(lpcwstr_mv in_buf, i32_mv in_len, std::string& out_str) {
    std::vector<char> bytes;
    wide_to_multibyte(kUtf8CodePage, in_buf, in_len, bytes);
    out_str = bytes.data();
    return true;
}

bool convert_utf8_unicode(lpcstr_mv in_buf, std::wstring& out_str) {
    out_str.clear();
    if (in_buf == nullptr) return true;
    return convert_utf8_unicode(in_buf, text_length(in_buf), out_str);
}

bool convert_utf8_unicode(lpcstr_mv in_buf, i32_mv in_len, std::wstring& out_str) {
    out_str = multibyte_to_wide(kUtf8CodePage, in_buf, in_len);
    return true;
}

#ifdef _WIN32
int get_user_default_codepage() {
    setlocale(LC_ALL, "");
    return static_cast<int>(___lc_codepage_func());
}
#else
int get_user_default_codepage() { return -1; }
#endif

}  // namespace TOOLS
}  // namespace MORVAST

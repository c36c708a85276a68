// Code-page conversion between the local multibyte code page (GBK), UTF-8
// (65001) and the platform's wide characters. On Linux it runs over iconv
// (local code page 0, 4-byte wide characters), imitating the two Win32
// conversion calls with their names and arguments; on Windows it calls those
// two functions themselves (code page 936, 2-byte wide characters).
#ifndef MORVAST_TOOL_CHAR_SET_H
#define MORVAST_TOOL_CHAR_SET_H

#include <string>

#include "tools/cross_platform_api.h"

namespace MORVAST {
namespace TOOLS {

#ifndef _WIN32
// cchWideChar 0: returns cbMultiByte as the room to provide. A code page other
// than 0 and 65001: -1. Else converts exactly cbMultiByte bytes into at most
// cchWideChar wide characters (no terminator added) and returns the number
// written, or 0 when the input is invalid, incomplete or does not fit.
// dwFlags is ignored. A negative count is refused with 0.
int MultiByteToWideChar(unsigned CodePage, int dwFlags, lpcstr_mv lpMultiByteStr, int cbMultiByte,
                        lpwstr_mv lpWideCharStr, int cchWideChar);

// cbMultiByte 0: returns cchWideChar x 5 as the room to provide (0 when that
// does not fit an int). Other code page: -1. Else converts cchWideChar wide
// characters into at most cbMultiByte bytes and returns the bytes written, or
// 0 on a conversion error. dwFlags, lpDefaultChar, lpUsedDefaultChar are ignored.
int WideCharToMultiByte(unsigned CodePage, int dwFlags, lpcwstr_mv lpWideCharStr, int cchWideChar,
                        lpstr_mv lpMultiByteStr, int cbMultiByte, lpstr_mv lpDefaultChar,
                        bool* lpUsedDefaultChar);
#endif

// The string-level functions never report a conversion failure: invalid
// input leaves an empty or shortened result (the part converted before the
// fault) and the function still returns true.

// Equal code pages: out_str is in_buf up to its terminator (in_len unused).
// Else in_len bytes go through wide characters; the result ends at its first
// zero byte.
bool code_convert(i32_mv from_codepage, i32_mv to_codepage, lpcstr_mv in_buf, i32_mv in_len,
                  std::string& out_str);
bool convert_multibyte_to_unicode(i32_mv multibye_codepage, lpcstr_mv in_buf, std::wstring& out_str);
// multibye_codepage is 0 or 65001; the result is cut at the converted length.
bool convert_unicode_to_multibyte(i32_mv multibye_codepage, lpcwstr_mv in_buf, std::string& out_str);
bool convert_gb2312_to_utf8(lpcstr_mv in_gb2312, std::string& out_utf8);
bool convert_utf8_to_gb2312(lpcstr_mv in_utf8, std::string& out_gb2312);
bool convert_unicode_utf8(lpcwstr_mv in_buf, std::string& out_str);
bool convert_unicode_utf8(lpcwstr_mv in_buf, i32_mv in_len, std::string& out_str);
bool convert_utf8_unicode(lpcstr_mv in_buf, std::wstring& out_str);
bool convert_utf8_unicode(lpcstr_mv in_buf, i32_mv in_len, std::wstring& out_str);

// Windows: sets the program's locale from the user's environment
// (setlocale of every category to "") and returns that locale's code page.
// Linux: -1, it has no user code page.
int get_user_default_codepage();

}  // namespace TOOLS
}  // namespace MORVAST

#endif

// Portable helpers of the tools library: millisecond sleep, number and text
// conversion, tolerant floating-point comparison, splitting, byte search and
// text checks.
#ifndef MORVAST_TOOL_TOOL_FUNCTION_H
#define MORVAST_TOOL_TOOL_FUNCTION_H

#include <string>
#include <vector>

namespace MORVAST {
namespace TOOLS {

// Results of vector_compare.
const int RET_EQUAL = 0;
const int RET_LESS = -1;
const int RET_LARGE = 1;
const int RET_NOT_EQUAL = -2;

// Sleeps n_milli_second x 1000 microseconds; the product is taken in unsigned
// 32-bit arithmetic, so the longest sleep is about 4,294 seconds.
void sleep_mv(unsigned n_milli_second);

std::string to_string(int src);

// Number to text: integers as decimal, float and double with 6 decimals.
bool convert(int src, std::string& dst);
bool convert(long long src, std::string& dst);
bool convert(float src, std::string& dst);
bool convert(double src, std::string& dst);

// Text to number; invalid text gives 0. An integer outside the target's range
// saturates at the nearest limit, a float outside float's range gives +-inf.
bool convert(const std::string& src, int& dst);
bool convert(const std::string& src, long long& dst);
bool convert(const std::string& src, float& dst);
bool convert(const std::string& src, double& dst);

// As above; false with dst untouched when src is null or dstLen is 0 or less.
bool convert(const char* src, int dstLen, int& dst);
bool convert(const char* src, int dstLen, long long& dst);
bool convert(const char* src, int dstLen, float& dst);
bool convert(const char* src, int dstLen, double& dst);

// abs(a - b) < 10^-precision.
bool equal_float(const double& a, const double& b, unsigned precision);
bool is_zero_float(const double& a, unsigned precision);
// Compare after scaling to precision decimals (up to 5); beyond 5 decimals, or
// for values past 23058430092130.0, compare the difference with 10^-precision.
bool less_than_float(const double& a, const double& b, unsigned precision);
bool large_than_float(const double& a, const double& b, unsigned precision);
// 0 when equal_float, -1 when less_than_float, else 1.
int float_compare(const double& a, const double& b, unsigned precision);

// Set comparison: RET_EQUAL, RET_LESS (a is inside b), RET_LARGE (b is inside
// a) or RET_NOT_EQUAL.
int vector_compare(const std::vector<int>& a, const std::vector<int>& b);

// Splits at any one character of str_separator, then skips the separator's
// full length. Empty pieces are kept; a trailing separator adds no piece.
bool string_split(const char* str_src, std::vector<std::string>& str_dst,
                  std::string str_separator);
bool wstring_split(const wchar_t* str_src, std::vector<std::wstring>& str_dst,
                   std::wstring str_separator);

// Splits (empty pieces skipped) into num rows of lineNum bytes each, every row
// terminated. False when there is no piece, more than num pieces, or a piece
// of lineNum characters or more (the rows before it stay written).
bool string_split(const char* strSrc, char* strDst, int num, int lineNum,
                  std::string strSeparator);

// First occurrence of the targetLen target bytes within the srcLen source
// bytes, or null.
const char* find_bytes(const char* strSrc, unsigned srcLen, const char* strTarget,
                       unsigned targetLen);

// Replaces every occurrence left to right; inserted text is not searched
// again. An empty old_sub_str changes nothing.
void string_replace(std::string& full, const std::string& old_sub_str,
                    const std::string& new_sub_str);

// True when p_str starts with bytes that have the high bit set; i_offset is
// then the number of such leading bytes.
bool is_chinese(const char* p_str, int& i_offset);

// True when the first len bytes (up to a terminator) hold a byte that is
// neither an ASCII letter, an ASCII digit nor a high-bit byte.
bool check_special_character(const char* ptr, int len);

// True when every one of the len bytes is an ASCII digit or '.'; false for a
// len of 0, true for a negative len.
bool is_float(const char* ptr, int len);

}  // namespace TOOLS
}  // namespace MORVAST

#endif

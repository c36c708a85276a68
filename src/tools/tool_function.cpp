// Portable helpers of the tools library.
#include "tools/tool_function.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#endif

#include "tools/lock.h"
#include "tools/template_map_int.h"

namespace MORVAST {
namespace TOOLS {

namespace {

// Past this magnitude a value scaled by 10^5 no longer fits a 64-bit integer
// with room to spare, so the comparisons fall back to the plain difference.
const double MAX_INT_64 = 23058430092130.0;

// Scale and rounding correction for 0 to 5 decimals.
const double k_scale[6] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0};
const double k_correction[6] = {0.1, 0.01, 0.001, 0.0001, 0.00001, 0.000001};

// True when the scaled comparison cannot be used: more than 5 decimals, a
// magnitude past MAX_INT_64, or a value that is not a number.
bool use_difference(const double& a, const double& b, unsigned precision) {
    if (precision > 5) return true;
    return !(std::fabs(a) <= MAX_INT_64 && std::fabs(b) <= MAX_INT_64);
}

int64_t scaled(const double& v, unsigned precision) {
    return static_cast<int64_t>(v * k_scale[precision] + k_correction[precision]);
}

// strtoll, then clamped to int so that out-of-range text saturates instead of
// wrapping.
int text_to_int(const char* text) {
    long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

float narrow_to_float(double v) {
    if (v > static_cast<double>(FLT_MAX)) return HUGE_VALF;
    if (v < -static_cast<double>(FLT_MAX)) return -HUGE_VALF;
    return static_cast<float>(v);
}

template <class CH>
bool ends_with(const std::basic_string<CH>& text, const std::basic_string<CH>& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Cuts text at every character of sep, stepping over sep's full length after
// each cut. The text must already end with a separator character for its last
// piece to be taken.
template <class CH>
void split_pieces(const std::basic_string<CH>& text, const std::basic_string<CH>& sep,
                  bool keep_empty, std::vector<std::basic_string<CH>>& out) {
    typedef std::basic_string<CH> text_t;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find_first_of(sep, start);
        if (pos == text_t::npos) break;
        if (keep_empty || pos > start) out.push_back(text.substr(start, pos - start));
        start = pos + sep.size();
    }
}

template <class CH>
bool split_into_vector(const CH* src, std::vector<std::basic_string<CH>>& dst,
                       const std::basic_string<CH>& sep) {
    if (src == nullptr) return false;
    dst.clear();
    if (sep.empty()) return false;
    std::basic_string<CH> text(src);
    if (text.empty()) return true;
    if (text.size() < sep.size()) {
        dst.push_back(text);
        return true;
    }
    if (!ends_with(text, sep)) text += sep;
    split_pieces(text, sep, true, dst);
    return true;
}

}  // namespace

#ifdef _WIN32
void sleep_mv(unsigned n_milli_second) { Sleep(static_cast<DWORD>(n_milli_second)); }
#else
void sleep_mv(unsigned n_milli_second) {
    const uint32_t micro = static_cast<uint32_t>(n_milli_second) * 1000u;
    struct timespec left;
    left.tv_sec = micro / 1000000u;
    left.tv_nsec = static_cast<long>(micro % 1000000u) * 1000L;
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}
#endif

std::string to_string(int src) { return std::to_string(src); }

bool convert(int src, std::string& dst) {
    dst = std::to_string(src);
    return true;
}

bool convert(long long src, std::string& dst) {
    dst = std::to_string(src);
    return true;
}

bool convert(float src, std::string& dst) {
    dst = std::to_string(src);
    return true;
}

bool convert(double src, std::string& dst) {
    dst = std::to_string(src);
    return true;
}

bool convert(const std::string& src, int& dst) {
    dst = text_to_int(src.c_str());
    return true;
}

bool convert(const std::string& src, long long& dst) {
    dst = std::atoll(src.c_str());
    return true;
}

bool convert(const std::string& src, float& dst) {
    dst = narrow_to_float(std::atof(src.c_str()));
    return true;
}

bool convert(const std::string& src, double& dst) {
    dst = std::atof(src.c_str());
    return true;
}

bool convert(const char* src, int dstLen, int& dst) {
    if (src == nullptr || dstLen <= 0) return false;
    dst = text_to_int(src);
    return true;
}

bool convert(const char* src, int dstLen, long long& dst) {
    if (src == nullptr || dstLen <= 0) return false;
    dst = std::atoll(src);
    return true;
}

bool convert(const char* src, int dstLen, float& dst) {
    if (src == nullptr || dstLen <= 0) return false;
    dst = narrow_to_float(std::atof(src));
    return true;
}

bool convert(const char* src, int dstLen, double& dst) {
    if (src == nullptr || dstLen <= 0) return false;
    dst = std::atof(src);
    return true;
}

bool equal_float(const double& a, const double& b, unsigned precision) {
    return std::fabs(a - b) < std::pow(10.0, -static_cast<double>(precision));
}

bool is_zero_float(const double& a, unsigned precision) {
    return equal_float(a, 0.0, precision);
}

bool less_than_float(const double& a, const double& b, unsigned precision) {
    if (use_difference(a, b, precision))
        return (b - a) > 1.0 / std::pow(10.0, static_cast<double>(precision));
    return scaled(a, precision) < scaled(b, precision);
}

bool large_than_float(const double& a, const double& b, unsigned precision) {
    if (use_difference(a, b, precision))
        return (a - b) > 1.0 / std::pow(10.0, static_cast<double>(precision));
    return scaled(a, precision) > scaled(b, precision);
}

int float_compare(const double& a, const double& b, unsigned precision) {
    if (equal_float(a, b, precision)) return 0;
    if (less_than_float(a, b, precision)) return -1;
    return 1;
}

int vector_compare(const std::vector<int>& a, const std::vector<int>& b) {
    // The larger vector (a when sizes are equal) goes into the map; every
    // element of the other one must be found in it.
    const bool a_in_map = a.size() >= b.size();
    const std::vector<int>& held = a_in_map ? a : b;
    const std::vector<int>& probed = a_in_map ? b : a;
    map_int<int, null_lock> members(11);
    for (int v : held) members.set(v, v);
    int found = 0;
    for (int v : probed) {
        if (!members.find(v, found)) return RET_NOT_EQUAL;
    }
    if (a.size() > b.size()) return RET_LARGE;
    if (a.size() < b.size()) return RET_LESS;
    return members.size() == b.size() ? RET_EQUAL : RET_NOT_EQUAL;
}

bool string_split(const char* str_src, std::vector<std::string>& str_dst,
                  std::string str_separator) {
    return split_into_vector(str_src, str_dst, str_separator);
}

bool wstring_split(const wchar_t* str_src, std::vector<std::wstring>& str_dst,
                   std::wstring str_separator) {
    return split_into_vector(str_src, str_dst, str_separator);
}

bool string_split(const char* strSrc, char* strDst, int num, int lineNum,
                  std::string strSeparator) {
    if (strSrc == nullptr || strSrc[0] == '\0' || strDst == nullptr) return false;
    std::string text(strSrc);
    text += strSeparator;
    std::vector<std::string> pieces;
    split_pieces(text, strSeparator, false, pieces);
    if (pieces.empty() || num < 0 || pieces.size() > static_cast<size_t>(num)) return false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        // Each row holds the piece and its terminator within lineNum bytes.
        if (lineNum <= 0 || pieces[i].size() >= static_cast<size_t>(lineNum)) return false;
        std::memcpy(strDst + static_cast<size_t>(lineNum) * i, pieces[i].c_str(),
                    pieces[i].size() + 1);
    }
    return true;
}

const char* find_bytes(const char* strSrc, unsigned srcLen, const char* strTarget,
                       unsigned targetLen) {
    if (strSrc == nullptr || strTarget == nullptr || srcLen == 0 || targetLen == 0)
        return nullptr;
    const char* pos = strSrc;
    size_t remain = srcLen;
    while (remain > 0) {
        const char* hit = static_cast<const char*>(std::memchr(pos, strTarget[0], remain));
        if (hit == nullptr) return nullptr;
        remain -= static_cast<size_t>(hit - pos);
        pos = hit;
        if (remain < targetLen) return nullptr;
        if (std::memcmp(pos, strTarget, targetLen) == 0) return pos;
        ++pos;
        --remain;
    }
    return nullptr;
}

void string_replace(std::string& full, const std::string& old_sub_str,
                    const std::string& new_sub_str) {
    if (old_sub_str.empty()) return;
    size_t pos = 0;
    while ((pos = full.find(old_sub_str, pos)) != std::string::npos) {
        full.replace(pos, old_sub_str.size(), new_sub_str);
        pos += new_sub_str.size();
    }
}

bool is_chinese(const char* p_str, int& i_offset) {
    if (p_str == nullptr) return false;
    int count = 0;
    while (count < INT_MAX && (static_cast<unsigned char>(p_str[count]) & 0x80u) != 0) ++count;
    if (count == 0) return false;
    i_offset = count;
    return true;
}

bool check_special_character(const char* ptr, int len) {
    if (ptr == nullptr || len <= 0) return false;
    int i = 0;
    while (i < len && ptr[i] != '\0') {
        const unsigned char c = static_cast<unsigned char>(ptr[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            ++i;
            continue;
        }
        // A run of high-bit bytes is skipped whole; the run is counted only
        // within len so that an unterminated buffer is never read past.
        int run = 0;
        while (i + run < len && (static_cast<unsigned char>(ptr[i + run]) & 0x80u) != 0) ++run;
        if (run == 0) return true;
        i += run;
    }
    return false;
}

bool is_float(const char* ptr, int len) {
    if (len == 0) return false;
    if (len < 0) return true;
    if (ptr == nullptr) return false;
    for (int i = 0; i < len; ++i) {
        const char c = ptr[i];
        if (!((c >= '0' && c <= '9') || c == '.')) return false;
    }
    return true;
}

}  // namespace TOOLS
}  // namespace MORVAST

// Local-time calendar value: parsing, writing, comparison and arithmetic
// through the platform's local-time conversions (mktime / localtime_r).
#include "tools/date_time.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace MORVAST {
namespace TOOLS {

namespace {

// Fields as a struct tm for mktime, letting the platform decide daylight
// saving. False when the year does not fit tm_year.
bool fields_to_tm(int year, int month, int day, int hour, int minute, int sec, struct tm& out) {
    if (year < INT_MIN + 1900 || month == INT_MIN) return false;
    std::memset(&out, 0, sizeof(out));
    out.tm_year = year - 1900;
    out.tm_mon = month - 1;
    out.tm_mday = day;
    out.tm_hour = hour;
    out.tm_min = minute;
    out.tm_sec = sec;
    out.tm_isdst = -1;
    return true;
}

// mktime that tells failure apart from the valid result -1: a successful
// call always sets tm_wday to 0..6.
bool local_to_epoch(struct tm& t, long long& seconds) {
    t.tm_wday = -1;
    time_t r = mktime(&t);
    if (t.tm_wday < 0) return false;
    seconds = static_cast<long long>(r);
    return true;
}

bool epoch_to_local(long long seconds, struct tm& out) {
    time_t t = static_cast<time_t>(seconds);
    if (static_cast<long long>(t) != seconds) return false;
    std::memset(&out, 0, sizeof(out));
#ifdef _WIN32
    const __time64_t t64 = static_cast<__time64_t>(t);
    return _localtime64_s(&out, &t64) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

// The field text at the position of the token's letter in the pattern.
bool read_field(const std::string& str, const std::string& pattern, const char* token, int lo,
                int hi, int& value) {
    std::string::size_type pos = pattern.find(token[0]);
    if (pos == std::string::npos) return true;  // absent: keeps its starting value
    if (pos >= str.size()) return false;
    std::string text = str.substr(pos, std::strlen(token));
    if (!date_time::is_valid_date_time_str(text)) return false;
    int v = std::atoi(text.c_str());
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

void replace_token(std::string& text, const char* token, int value) {
    std::string::size_type pos = text.find(token);
    if (pos == std::string::npos) return;
    int width = static_cast<int>(std::strlen(token));
    char digits[16];
    std::snprintf(digits, sizeof(digits), "%0*d", width, value);
    text.replace(pos, static_cast<std::string::size_type>(width), digits);
}

}  // namespace

date_time::date_time() { default_construct(); }

date_time::date_time(const date_time& other)
    : m_year(other.m_year),
      m_month(other.m_month),
      m_day(other.m_day),
      m_hour(other.m_hour),
      m_min(other.m_min),
      m_sec(other.m_sec),
      m_millisecond(other.m_millisecond) {}

date_time& date_time::operator=(const date_time& other) {
    if (this == &other) return *this;
    m_year = other.m_year;
    m_month = other.m_month;
    m_day = other.m_day;
    m_hour = other.m_hour;
    m_min = other.m_min;
    m_sec = other.m_sec;
    m_millisecond = other.m_millisecond;
    return *this;
}

date_time::date_time(const std::string& str) {
    default_construct();
    assign(str);
}

date_time::date_time(const char* str) {
    default_construct();
    assign(str);
}

date_time::date_time(const std::string& str, const std::string& strFormat) {
    default_construct();
    assign(str, strFormat);
}

date_time::date_time(const char* str, const char* strFormat) {
    default_construct();
    assign(str, strFormat);
}

date_time::date_time(long long second, int millisecond) {
    default_construct();
    assign(second, millisecond);
}

void date_time::default_construct() {
    time_t now = time(nullptr);
    struct tm t;
    std::memset(&t, 0, sizeof(t));
    localtime_mv(&now, &t);
    m_year = t.tm_year + 1900;
    m_month = t.tm_mon + 1;
    m_day = t.tm_mday;
    m_hour = t.tm_hour;
    m_min = t.tm_min;
    m_sec = t.tm_sec;
    m_millisecond = 0;
}

bool date_time::assign(const std::string& str) { return assign(str, s_default_format); }

bool date_time::assign(const char* str) {
    if (str == nullptr) return false;
    return assign(std::string(str), s_default_format);
}

bool date_time::assign(const std::string& str, const std::string& strFromat) {
    date_time today;
    int year = today.m_year, month = today.m_month, day = today.m_day;
    int hour = 0, minute = 0, sec = 0, ms = 0;
    if (!read_field(str, strFromat, s_year, 0, 9999, year)) return false;
    if (!read_field(str, strFromat, s_moth, 1, 12, month)) return false;
    if (!read_field(str, strFromat, s_day, 0, 31, day)) return false;
    if (!read_field(str, strFromat, s_hour, 0, 23, hour)) return false;
    if (!read_field(str, strFromat, s_min, 0, 59, minute)) return false;
    if (!read_field(str, strFromat, s_sec, 0, 59, sec)) return false;
    if (!read_field(str, strFromat, s_millisecond, 0, 999, ms)) return false;
    m_year = year;
    m_month = month;
    m_day = day;
    m_hour = hour;
    m_min = minute;
    m_sec = sec;
    m_millisecond = ms;
    return true;
}

bool date_time::assign(const char* str, const char* str_fromat) {
    if (str == nullptr || str_fromat == nullptr) return false;
    return assign(std::string(str), std::string(str_fromat));
}

bool date_time::assign(long long second, int millisecond) {
    if (second < 0 || millisecond < 0) return false;
    struct tm t;
    if (!epoch_to_local(second, t) || t.tm_year > INT_MAX - 1900) return false;
    m_year = t.tm_year + 1900;
    m_month = t.tm_mon + 1;
    m_day = t.tm_mday;
    m_hour = t.tm_hour;
    m_min = t.tm_min;
    m_sec = t.tm_sec;
    m_millisecond = millisecond;
    return true;
}

std::string date_time::format() const { return format(std::string(s_default_format)); }

std::string date_time::format(const std::string& strFormat) const {
    std::string text = strFormat;
    replace_token(text, s_year, m_year);
    replace_token(text, s_moth, m_month);
    replace_token(text, s_day, m_day);
    replace_token(text, s_hour, m_hour);
    replace_token(text, s_min, m_min);
    replace_token(text, s_sec, m_sec);
    replace_token(text, s_millisecond, m_millisecond);
    return text;
}

std::string date_time::format(const char* strFormat) const {
    if (strFormat == nullptr) return std::string();
    return format(std::string(strFormat));
}

bool date_time::format(char* outStr, int strLen) const {
    return format(outStr, strLen, s_default_format);
}

bool date_time::format(char* outStr, int strLen, const char* strFormat) const {
    if (outStr == nullptr || strFormat == nullptr || strLen <= 0) return false;
    std::string text = format(std::string(strFormat));
    if (text.size() >= static_cast<std::string::size_type>(strLen)) return false;
    std::memcpy(outStr, text.c_str(), text.size() + 1);
    return true;
}

bool date_time::format(long long& second, int& millicsecond) const {
    convert_date_time_to_int64(m_year, m_month, m_day, m_hour, m_min, m_sec, second);
    millicsecond = m_millisecond;
    return true;
}

std::string date_time::get_datetime_str() const { return format("yyyyMMdd HH:mm:ss"); }

std::string date_time::get_sql_datetime_str() const { return format("yyyy-MM-dd HH:mm:ss"); }

bool date_time::leap_year() const {
    if (m_year % 400 == 0) return true;
    if (m_year % 4 != 0) return false;
    return m_year % 100 != 0;
}

int date_time::weekday() const {
    struct tm t;
    long long seconds = 0;
    if (!fields_to_tm(m_year, m_month, m_day, 0, 0, 0, t) || !local_to_epoch(t, seconds)) return -1;
    return t.tm_wday;
}

void date_time::get_date(int& year, int& month, int& day) const {
    year = m_year;
    month = m_month;
    day = m_day;
}

void date_time::get_time(int& hour, int& minute, int& sec, int& millisecond) const {
    hour = m_hour;
    minute = m_min;
    sec = m_sec;
    millisecond = m_millisecond;
}

void date_time::set_date(int year, int month, int day) {
    m_year = year;
    m_month = month;
    m_day = day;
}

void date_time::set_time(int hour, int minute, int sec, int millisecond) {
    m_hour = hour;
    m_min = minute;
    m_sec = sec;
    m_millisecond = millisecond;
}

bool date_time::add_seconds(long long num) {
    struct tm t;
    long long seconds = 0;
    if (!fields_to_tm(m_year, m_month, m_day, m_hour, m_min, m_sec, t)) return false;
    if (!local_to_epoch(t, seconds)) return false;
    if (!epoch_to_local(seconds + num, t) || t.tm_year > INT_MAX - 1900) return false;
    m_year = t.tm_year + 1900;
    m_month = t.tm_mon + 1;
    m_day = t.tm_mday;
    m_hour = t.tm_hour;
    m_min = t.tm_min;
    m_sec = t.tm_sec;
    return true;
}

bool date_time::add_sec(int num) { return add_seconds(num); }
bool date_time::add_min(int num) { return add_seconds(static_cast<long long>(num) * 60); }
bool date_time::add_hour(int num) { return add_seconds(static_cast<long long>(num) * 3600); }
bool date_time::add_day(int num) { return add_seconds(static_cast<long long>(num) * 86400); }
bool date_time::subtract_sec(int num) { return add_seconds(-static_cast<long long>(num)); }
bool date_time::subtract_min(int num) { return add_seconds(-static_cast<long long>(num) * 60); }
bool date_time::subtract_hour(int num) { return add_seconds(-static_cast<long long>(num) * 3600); }
bool date_time::subtract_day(int num) { return add_seconds(-static_cast<long long>(num) * 86400); }

bool date_time::operator<(const date_time& o) const {
    if (m_year != o.m_year) return m_year < o.m_year;
    if (m_month != o.m_month) return m_month < o.m_month;
    if (m_day != o.m_day) return m_day < o.m_day;
    if (m_hour != o.m_hour) return m_hour < o.m_hour;
    if (m_min != o.m_min) return m_min < o.m_min;
    if (m_sec != o.m_sec) return m_sec < o.m_sec;
    return m_millisecond < o.m_millisecond;
}

bool date_time::operator>(const date_time& o) const { return o < *this; }

bool date_time::operator==(const date_time& o) const {
    return m_year == o.m_year && m_month == o.m_month && m_day == o.m_day && m_hour == o.m_hour &&
           m_min == o.m_min && m_sec == o.m_sec && m_millisecond == o.m_millisecond;
}

void date_time::convert_date_time_to_int64(int year, int mon, int day, int hour, int minute,
                                           int sec, long long& int64_date_time) {
    struct tm t;
    long long seconds = -1;
    if (!fields_to_tm(year, mon, day, hour, minute, sec, t) || !local_to_epoch(t, seconds)) {
        seconds = -1;
    }
    int64_date_time = seconds;
}

void date_time::convert_date_time_to_int64(const char* year, const char* mon, const char* day,
                                           const char* hour, const char* minute,
                                           const char* sec, long long& int64_date_time) {
    auto num = [](const char* s) { return s == nullptr ? 0 : std::atoi(s); };
    convert_date_time_to_int64(num(year), num(mon), num(day), num(hour), num(minute), num(sec),
                               int64_date_time);
}

bool date_time::convert_int64_date_time_to_str(long long int64_date_time, char* dst_str,
                                               int dst_str_len) {
    if (int64_date_time < 0 || dst_str == nullptr || dst_str_len <= 0) return false;
    struct tm t;
    if (!epoch_to_local(int64_date_time, t) || t.tm_year > INT_MAX - 1900) return false;
    // Written whole or not at all: a cut text would misstate the time.
    char text[96];
    int n = std::snprintf(text, sizeof(text), "%d:%d:%d-%d:%d:%d", t.tm_year + 1900,
                          t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (n < 0 || n >= dst_str_len) return false;
    snprintf_mv(dst_str, static_cast<unsigned>(dst_str_len), "%s", text);
    return true;
}

bool date_time::is_valid_date_time_str(const std::string& str_src) {
    if (str_src.empty()) return false;
    for (char c : str_src) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace TOOLS
}  // namespace MORVAST

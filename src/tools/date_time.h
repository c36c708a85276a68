// Local-time calendar value with millisecond resolution. It is built from the
// clock, from seconds since the epoch or by parsing text against a pattern
// ("yyyyMMdd HH:mm:ss.iii" by default), written back as text through the same
// pattern language, compared, and moved by days, hours, minutes or seconds
// through the platform's local-time conversion. The collection client stamps
// its reports with it. Every conversion uses the local time zone and lets the
// platform decide whether daylight saving applies.
#ifndef MORVAST_TOOL_DATE_TIME_H
#define MORVAST_TOOL_DATE_TIME_H

#include <string>

#include "tools/cross_platform_api.h"

namespace MORVAST {
namespace TOOLS {

class date_time {
public:
    // Pattern tokens and the default pattern.
    static constexpr const char* s_year = "yyyy";
    static constexpr const char* s_moth = "MM";
    static constexpr const char* s_day = "dd";
    static constexpr const char* s_hour = "HH";
    static constexpr const char* s_min = "mm";
    static constexpr const char* s_sec = "ss";
    static constexpr const char* s_millisecond = "iii";
    static constexpr const char* s_default_format = "yyyyMMdd HH:mm:ss.iii";

    // The current local time with milliseconds 0.
    date_time();
    date_time(const date_time& other);
    date_time& operator=(const date_time& other);
    // Parse with the default pattern (or the given one); the current time
    // when the text does not parse.
    explicit date_time(const std::string& str);
    explicit date_time(const char* str);
    date_time(const std::string& str, const std::string& strFormat);
    date_time(const char* str, const char* strFormat);
    // Local time of second seconds since the epoch; the current time with
    // milliseconds 0 when either argument is negative or out of the
    // calendar's range.
    date_time(long long second, int millisecond);

    bool assign(const std::string& str);
    bool assign(const char* str);
    // Parses str against the pattern: each token's field is read at the
    // position of the first occurrence of the token's letter in the pattern.
    // False, with the value unchanged, when a field is missing, not all
    // digits, or out of its range.
    bool assign(const std::string& str, const std::string& strFromat);
    bool assign(const char* str, const char* str_fromat);
    // False (value unchanged) when either is negative or the seconds lie
    // outside the calendar's range.
    bool assign(long long second, int millisecond);

    std::string format() const;
    // Replaces the first occurrence of each token by its field, zero-padded
    // to the token's width; a null pattern gives "".
    std::string format(const std::string& strFormat) const;
    std::string format(const char* strFormat) const;
    // Copies the text and a terminator when they fit in strLen bytes; false
    // with the buffer untouched otherwise.
    bool format(char* outStr, int strLen) const;
    bool format(char* outStr, int strLen, const char* strFormat) const;
    // Seconds since the epoch of the fields read as local time (-1 when the
    // platform cannot represent them), and the milliseconds.
    bool format(long long& second, int& millicsecond) const;

    std::string get_datetime_str() const;      // "yyyyMMdd HH:mm:ss"
    std::string get_sql_datetime_str() const;  // "yyyy-MM-dd HH:mm:ss"

    bool leap_year() const;
    // 0 = Sunday .. 6 = Saturday; -1 when the date cannot be converted.
    int weekday() const;

    void get_date(int& year, int& month, int& day) const;
    void get_time(int& hour, int& minute, int& sec, int& millisecond) const;
    void set_date(int year, int month, int day);
    void set_time(int hour, int minute, int sec, int millisecond);

    // Move the value through local time; milliseconds stay. The products
    // are taken in 64 bits, so a large count never wraps. False, with the
    // value unchanged, when the start or the result cannot be represented.
    bool add_sec(int num);
    bool add_min(int num);
    bool add_hour(int num);
    bool add_day(int num);
    bool subtract_sec(int num);
    bool subtract_min(int num);
    bool subtract_hour(int num);
    bool subtract_day(int num);

    bool operator<(const date_time& other) const;
    bool operator>(const date_time& other) const;
    bool operator==(const date_time& other) const;

    static void convert_date_time_to_int64(int year, int mon, int day, int hour, int minute,
                                           int sec, long long& int64_date_time);
    // Each text is read with atoi; a null text reads as 0.
    static void convert_date_time_to_int64(const char* year, const char* mon, const char* day,
                                           const char* hour, const char* minute,
                                           const char* sec, long long& int64_date_time);
    // "%d:%d:%d-%d:%d:%d" of the local time; false for a negative value, a
    // null buffer, a value outside the calendar's range, or a text that does
    // not fit with its terminator (nothing is written then).
    static bool convert_int64_date_time_to_str(long long int64_date_time, char* dst_str,
                                               int dst_str_len);
    // Non-empty and every character an ASCII digit.
    static bool is_valid_date_time_str(const std::string& str_src);

private:
    void default_construct();
    bool add_seconds(long long num);

    i32_mv m_year;
    i32_mv m_month;
    i32_mv m_day;
    i32_mv m_hour;
    i32_mv m_min;
    i32_mv m_sec;
    i32_mv m_millisecond;
};

}  // namespace TOOLS
}  // namespace MORVAST

#endif

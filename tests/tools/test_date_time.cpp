// Calendar date and time: parsing and writing through patterns, comparison,
// arithmetic through local time (with and without daylight saving), and the
// epoch conversions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tools/date_time.h"

using MORVAST::TOOLS::date_time;

namespace {

// Sets the process time zone for one test and puts the old one back.
class zone_scope {
public:
    explicit zone_scope(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~zone_scope() {
        if (m_had) setenv("TZ", m_old.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

struct fields {
    int year, month, day, hour, minute, sec, ms;
};

fields fields_of(const date_time& d) {
    fields f{};
    d.get_date(f.year, f.month, f.day);
    d.get_time(f.hour, f.minute, f.sec, f.ms);
    return f;
}

date_time make(int y, int mo, int d, int h, int mi, int s, int ms) {
    date_time v;
    v.set_date(y, mo, d);
    v.set_time(h, mi, s, ms);
    return v;
}

// Today's local date, read from the clock independently of date_time.
void today(int& y, int& m, int& d) {
    time_t now = time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    y = t.tm_year + 1900;
    m = t.tm_mon + 1;
    d = t.tm_mday;
}

}  // namespace

TEST(DateTime, ParsesAndWritesTheDefaultPattern) {
    date_time d;
    ASSERT_TRUE(d.assign("20240229 13:45:07.089"));
    EXPECT_TRUE(d == make(2024, 2, 29, 13, 45, 7, 89));
    EXPECT_EQ(d.format(), "20240229 13:45:07.089");
    EXPECT_EQ(d.get_datetime_str(), "20240229 13:45:07");
    EXPECT_EQ(d.get_sql_datetime_str(), "2024-02-29 13:45:07");

    // The text constructors parse the same way.
    EXPECT_TRUE(date_time(std::string("20240229 13:45:07.089")) == d);
    EXPECT_TRUE(date_time("2024-02-29 13:45:07", "yyyy-MM-dd HH:mm:ss") == make(2024, 2, 29, 13, 45, 7, 0));
    EXPECT_TRUE(date_time(std::string("07:45:13 29/02/2024"), std::string("ss:mm:HH dd/MM/yyyy")) ==
                make(2024, 2, 29, 13, 45, 7, 0));

    // A text that ends inside a token still gives the digits it has.
    ASSERT_TRUE(d.assign("2024-3", "yyyy-MM"));
    EXPECT_EQ(fields_of(d).year, 2024);
    EXPECT_EQ(fields_of(d).month, 3);
    EXPECT_EQ(fields_of(d).hour, 0);
}

TEST(DateTime, MissingTokensTakeTodayAndZero) {
    int y0, m0, d0, y1, m1, d1;
    today(y0, m0, d0);
    date_time d("09:30", "HH:mm");
    today(y1, m1, d1);
    fields f = fields_of(d);
    // The clock may pass midnight between the two readings.
    bool is_first = f.year == y0 && f.month == m0 && f.day == d0;
    bool is_second = f.year == y1 && f.month == m1 && f.day == d1;
    EXPECT_TRUE(is_first || is_second);
    EXPECT_EQ(f.hour, 9);
    EXPECT_EQ(f.minute, 30);
    EXPECT_EQ(f.sec, 0);
    EXPECT_EQ(f.ms, 0);
}

TEST(DateTime, RefusedTextsLeaveTheValueUnchanged) {
    const date_time start = make(2001, 2, 3, 4, 5, 6, 7);
    date_time d = start;
    EXPECT_FALSE(d.assign("2024-13-01", "yyyy-MM-dd"));   // month 13
    EXPECT_FALSE(d.assign("2024-+1-01", "yyyy-MM-dd"));   // a sign is not a digit
    EXPECT_FALSE(d.assign("2024", "yyyy-MM-dd"));         // ends before the month
    EXPECT_FALSE(d.assign("2024-01-32", "yyyy-MM-dd"));
    EXPECT_FALSE(d.assign("2024-01-01 24", "yyyy-MM-dd HH"));
    EXPECT_FALSE(d.assign("12:60", "HH:mm"));
    EXPECT_FALSE(d.assign("12:00:60", "HH:mm:ss"));
    EXPECT_FALSE(d.assign("12:00:00. 99", "HH:mm:ss.iii"));
    EXPECT_FALSE(d.assign("2024-00-01", "yyyy-MM-dd"));
    EXPECT_FALSE(d.assign(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(d.assign("2024", static_cast<const char*>(nullptr)));
    EXPECT_FALSE(d.assign(static_cast<const char*>(nullptr), "yyyy"));
    EXPECT_FALSE(d.assign(-1LL, 0));
    EXPECT_FALSE(d.assign(0LL, -1));
    EXPECT_FALSE(d.assign(LLONG_MAX, 0));  // beyond any calendar year
    EXPECT_TRUE(d == start);

    // Day 0 is accepted and kept as it is.
    ASSERT_TRUE(d.assign("2024-02-00", "yyyy-MM-dd"));
    EXPECT_EQ(fields_of(d).day, 0);
    EXPECT_EQ(fields_of(d).month, 2);

    // The text constructors fall back to the current time, milliseconds 0.
    auto local_year = [] {
        const time_t now = time(nullptr);
        tm t;
        localtime_r(&now, &t);
        return t.tm_year + 1900;
    };
    const int year_before = local_year();
    date_time before;
    date_time bad("not a date");
    date_time after;
    EXPECT_FALSE(bad < before);
    EXPECT_FALSE(bad > after);
    EXPECT_EQ(fields_of(bad).ms, 0);
    date_time from_null(static_cast<const char*>(nullptr));
    EXPECT_EQ(fields_of(from_null).ms, 0);
    date_time negative(-5LL, 10);
    EXPECT_EQ(fields_of(negative).ms, 0);
    const int year_after = local_year();  // the same but across New Year's night
    for (const date_time* d : {&bad, &from_null, &negative}) {
        const int year = fields_of(*d).year;
        EXPECT_TRUE(year == year_before || year == year_after) << year;
    }

    EXPECT_TRUE(date_time::is_valid_date_time_str("0071"));
    EXPECT_FALSE(date_time::is_valid_date_time_str(""));
    EXPECT_FALSE(date_time::is_valid_date_time_str("12a"));
    EXPECT_FALSE(date_time::is_valid_date_time_str(" 12"));
}

TEST(DateTime, WritesPaddedFieldsAndOnlyTheFirstToken) {
    date_time d = make(5, 1, 2, 3, 4, 5, 6);
    EXPECT_EQ(d.format("yyyy/MM/dd"), "0005/01/02");
    EXPECT_EQ(d.format("MM-MM"), "01-MM");
    EXPECT_EQ(d.format("HH:mm:ss.iii"), "03:04:05.006");
    EXPECT_EQ(d.format("no tokens"), "no tokens");
    EXPECT_EQ(d.format(static_cast<const char*>(nullptr)), "");
    // A value wider than its token is written in full.
    d.set_date(12345, 1, 2);
    EXPECT_EQ(d.format("yyyy"), "12345");

    // Into a caller buffer: the text and its terminator must fit.
    date_time e = make(2024, 2, 29, 13, 45, 7, 89);
    char buf[32];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_FALSE(e.format(buf, 21));  // 21 characters need 22 bytes
    EXPECT_EQ(buf[0], '#');
    EXPECT_FALSE(e.format(buf, 0));
    EXPECT_FALSE(e.format(nullptr, 32));
    ASSERT_TRUE(e.format(buf, 22));
    EXPECT_STREQ(buf, "20240229 13:45:07.089");
    ASSERT_TRUE(e.format(buf, 11, "yyyy-MM-dd"));
    EXPECT_STREQ(buf, "2024-02-29");
    EXPECT_FALSE(e.format(buf, 10, "yyyy-MM-dd"));
    EXPECT_FALSE(e.format(buf, 32, nullptr));
}

TEST(DateTime, ComparesFieldByField) {
    date_time a = make(2024, 5, 6, 7, 8, 9, 10);
    date_time b = a;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(a > b);
    b.set_time(7, 8, 9, 11);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > a);
    EXPECT_FALSE(a == b);
    // A later month outranks an earlier day and everything after it.
    date_time c = make(2024, 6, 1, 0, 0, 0, 0);
    EXPECT_TRUE(b < c);
    date_time d = make(2023, 12, 31, 23, 59, 59, 999);
    EXPECT_TRUE(d < a);
    // Self-assignment keeps the value.
    date_time& same = a;
    a = same;
    EXPECT_TRUE(a == make(2024, 5, 6, 7, 8, 9, 10));
}

TEST(DateTime, MovesThroughLocalTime) {
    zone_scope utc("UTC0");
    date_time d = make(2023, 2, 28, 10, 20, 30, 456);
    ASSERT_TRUE(d.add_day(1));
    EXPECT_TRUE(d == make(2023, 3, 1, 10, 20, 30, 456));
    ASSERT_TRUE(d.subtract_day(1));
    EXPECT_TRUE(d == make(2023, 2, 28, 10, 20, 30, 456));

    date_time n = make(2024, 1, 1, 0, 0, 0, 5);
    ASSERT_TRUE(n.subtract_sec(1));
    EXPECT_TRUE(n == make(2023, 12, 31, 23, 59, 59, 5));
    ASSERT_TRUE(n.add_sec(1));
    ASSERT_TRUE(n.add_min(90));
    EXPECT_TRUE(n == make(2024, 1, 1, 1, 30, 0, 5));
    ASSERT_TRUE(n.subtract_min(31));
    ASSERT_TRUE(n.add_hour(25));
    EXPECT_TRUE(n == make(2024, 1, 2, 1, 59, 0, 5));
    ASSERT_TRUE(n.subtract_hour(26));
    EXPECT_TRUE(n == make(2023, 12, 31, 23, 59, 0, 5));

    // Leap day and day 0 are normalised by the platform.
    date_time leap = make(2024, 2, 28, 0, 0, 0, 0);
    ASSERT_TRUE(leap.add_day(1));
    EXPECT_TRUE(leap == make(2024, 2, 29, 0, 0, 0, 0));
    date_time zero = make(2024, 3, 0, 12, 0, 0, 0);
    ASSERT_TRUE(zero.add_sec(0));
    EXPECT_TRUE(zero == make(2024, 2, 29, 12, 0, 0, 0));

    // 30000 days is more seconds than a 32-bit product can hold; the move
    // still goes forward by exactly that many days.
    date_time far = make(2000, 1, 1, 6, 0, 0, 0);
    ASSERT_TRUE(far.add_day(30000));
    EXPECT_TRUE(far == make(2082, 2, 19, 6, 0, 0, 0));
    ASSERT_TRUE(far.subtract_day(30000));
    EXPECT_TRUE(far == make(2000, 1, 1, 6, 0, 0, 0));
    date_time low = make(2000, 1, 1, 0, 0, 0, 0);
    EXPECT_TRUE(low.subtract_sec(INT_MIN));  // negating INT_MIN moves forward
    EXPECT_TRUE(low > make(2068, 1, 1, 0, 0, 0, 0));

    // A value the platform cannot convert is refused and left as it was.
    date_time huge = make(INT_MAX, 1, 1, 0, 0, 0, 0);
    EXPECT_FALSE(huge.add_day(400));
    EXPECT_TRUE(huge == make(INT_MAX, 1, 1, 0, 0, 0, 0));
    date_time bad_month = make(2000, INT_MIN, 1, 0, 0, 0, 0);
    EXPECT_FALSE(bad_month.add_sec(1));
    EXPECT_EQ(bad_month.weekday(), -1);
}

TEST(DateTime, DaylightSavingIsLeftToThePlatform) {
    // Central European rules: clocks go forward on 31 March 2024 at 02:00.
    zone_scope cet("CET-1CEST,M3.5.0,M10.5.0/3");
    date_time d = make(2024, 3, 30, 12, 0, 0, 0);
    ASSERT_TRUE(d.add_day(1));  // 86,400 seconds later the wall clock reads 13:00
    EXPECT_TRUE(d == make(2024, 3, 31, 13, 0, 0, 0));

    long long s = 0;
    int ms = -1;
    ASSERT_TRUE(make(2024, 7, 1, 12, 0, 0, 250).format(s, ms));
    EXPECT_EQ(s, 1719828000LL);  // 10:00 UTC, summer time
    EXPECT_EQ(ms, 250);
    long long w = 0;
    date_time::convert_date_time_to_int64(2024, 1, 1, 12, 0, 0, w);
    EXPECT_EQ(w, 1704106800LL);  // 11:00 UTC, winter time
}

TEST(DateTime, EpochConversions) {
    zone_scope utc("UTC0");
    char buf[64];
    ASSERT_TRUE(date_time::convert_int64_date_time_to_str(0, buf, sizeof(buf)));
    EXPECT_STREQ(buf, "1970:1:1-0:0:0");
    ASSERT_TRUE(date_time::convert_int64_date_time_to_str(1709214307, buf, sizeof(buf)));
    EXPECT_STREQ(buf, "2024:2:29-13:45:7");
    std::memset(buf, '#', sizeof(buf));
    EXPECT_FALSE(date_time::convert_int64_date_time_to_str(-1, buf, sizeof(buf)));
    EXPECT_FALSE(date_time::convert_int64_date_time_to_str(1709214307, buf, 17));  // needs 18
    EXPECT_EQ(buf[0], '#');
    EXPECT_TRUE(date_time::convert_int64_date_time_to_str(1709214307, buf, 18));
    EXPECT_FALSE(date_time::convert_int64_date_time_to_str(0, nullptr, 10));
    EXPECT_FALSE(date_time::convert_int64_date_time_to_str(LLONG_MAX, buf, sizeof(buf)));

    long long v = 0;
    date_time::convert_date_time_to_int64(2024, 2, 29, 0, 0, 0, v);
    EXPECT_EQ(v, 1709164800LL);
    date_time::convert_date_time_to_int64("2024", "02", "29", "13", "45", "07", v);
    EXPECT_EQ(v, 1709214307LL);
    date_time::convert_date_time_to_int64("1970", "1", "1", nullptr, nullptr, nullptr, v);
    EXPECT_EQ(v, 0LL);

    // Seconds since the epoch round trip through the fields.
    date_time d(1709214307LL, 89);
    EXPECT_EQ(d.format(), "20240229 13:45:07.089");
    long long s = 0;
    int ms = 0;
    ASSERT_TRUE(d.format(s, ms));
    EXPECT_EQ(s, 1709214307LL);
    EXPECT_EQ(ms, 89);
    ASSERT_TRUE(d.assign(0LL, 0));
    EXPECT_EQ(d.format(), "19700101 00:00:00.000");
}

TEST(DateTime, LeapYearsAndWeekdays) {
    date_time d = make(2000, 1, 1, 0, 0, 0, 0);
    for (int year : {2000, 2024, 1900, 2023}) {
        d.set_date(year, 1, 1);
        EXPECT_EQ(d.leap_year(), year != 1900 && year != 2023) << year;
    }
    // Thursday, Thursday, Sunday, and the day before 1 March: Thursday 29 February.
    const int days[][4] = {{2024, 2, 29, 4}, {1970, 1, 1, 4}, {2024, 3, 31, 0}, {2024, 3, 0, 4}};
    for (const auto& day : days) {
        d.set_date(day[0], day[1], day[2]);
        EXPECT_EQ(d.weekday(), day[3]) << day[0] << "-" << day[1] << "-" << day[2];
    }
}

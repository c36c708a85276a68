// The Windows microsecond clock and the calendar conversions of the tools.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"

namespace {

// Wall time in microseconds since the epoch, from the system clock itself.
long long system_microseconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601-01-01; the epoch is 11,644,473,600 s later.
    return static_cast<long long>(t.QuadPart / 10ULL) - 11644473600LL * 1000000LL;
}

// The system clock ticks in steps of up to 15.6 ms on Windows.
const long long kWallSlackMicroseconds = 20000;

TEST(WindowsClock, FollowsWallTimeAndNeverGoesBack) {
    precise_time::initialize();
    ASSERT_TRUE(precise_time::m_inited);

    const long long before = system_microseconds();
    const long long now = precise_time::get_current_microseconds();
    const long long after = system_microseconds();
    EXPECT_GE(now, before - kWallSlackMicroseconds);
    EXPECT_LE(now, after + kWallSlackMicroseconds);

    // Carried by the performance counter: successive readings never fall.
    long long last = precise_time::get_current_microseconds();
    for (int i = 0; i < 200000; ++i) {
        const long long t = precise_time::get_current_microseconds();
        ASSERT_GE(t, last) << "reading " << i;
        last = t;
    }
    // And it advances: 20 ms of sleep show as at least 20 ms.
    const long long t0 = precise_time::get_current_microseconds();
    Sleep(20);
    EXPECT_GE(precise_time::get_current_microseconds() - t0, 20000);

    // The start date is today's local date, and the start of the day is a
    // local midnight no more than a day (25 hours on a clock change) back.
    SYSTEMTIME local;
    GetLocalTime(&local);
    char today[9];
    std::snprintf(today, sizeof(today), "%04d%02d%02d", local.wYear, local.wMonth, local.wDay);
    EXPECT_STREQ(today, precise_time::get_start_date());
    const long long midnight = precise_time::m_lStartMicrosecondsOftheDay;
    EXPECT_LE(midnight, now);
    EXPECT_LT(now - midnight, 25LL * 3600 * 1000000);
    time_t midnight_seconds = static_cast<time_t>(midnight / 1000000);
    tm m;
    MORVAST::TOOLS::localtime_mv(&midnight_seconds, &m);
    EXPECT_EQ(0, m.tm_hour);
    EXPECT_EQ(0, m.tm_min);
    EXPECT_EQ(0, m.tm_sec);
    EXPECT_EQ(local.wDay, m.tm_mday);
}

TEST(WindowsClock, TimestampsPast2038) {
    // High half: unsigned seconds; low half: the sub-second part, untouched.
    tm out;
    std::memset(&out, 0xFF, sizeof(out));
    unsigned int sub = 0;
    precise_time::convert_from_timestamp(0x90000000ULL << 32 | 0x12345678ULL, out, sub);
    EXPECT_EQ(0x12345678u, sub);
    EXPECT_EQ(146, out.tm_year);  // 2,415,919,104 s: July 2046

    precise_time::convert_from_timestamp(0xFFFFFFFFULL << 32, out, sub);
    EXPECT_EQ(0u, sub);
    EXPECT_EQ(206, out.tm_year);  // 4,294,967,295 s: February 2106

    // 1,700,000,000 s: 14 November 2023, 22:13:20 UTC.
    precise_time::convert_from_timestamp(1700000000ULL << 32 | 999999ULL, out, sub);
    EXPECT_EQ(999999u, sub);
    EXPECT_EQ(123, out.tm_year);
    EXPECT_EQ(10, out.tm_mon);

    // The tools' own local time takes 64-bit seconds as well.
    time_t late = static_cast<time_t>(0x90000000LL);
    tm t;
    std::memset(&t, 0, sizeof(t));
    MORVAST::TOOLS::localtime_mv(&late, &t);
    EXPECT_EQ(146, t.tm_year);
}

}  // namespace

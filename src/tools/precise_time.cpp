#include "tools/precise_time.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <sys/time.h>
#endif

#include <atomic>
#include <mutex>

#include "tools/cross_platform_api.h"

bool precise_time::m_inited = false;
long long precise_time::m_lStartMicrosecondsOftheDay = 0;
char precise_time::m_startDate[9] = "20170613";

namespace {
std::mutex g_init_lock;
}

#ifdef _WIN32

// The clock is the wall time read once at start-up carried forward by the
// performance counter, so one reading costs a counter read and a division,
// and later changes of the system clock do not reach it.
namespace {
double g_counter_frequency = 1.0;
long long g_start_counter = 0;
double g_start_microseconds = 0.0;
// Set (release) once the three values above are written.
std::atomic<bool> g_clock_ready(false);

// Local calendar time to seconds since the epoch; daylight saving is left to
// the C library (a fixed 0 would put summer dates an hour off).
long long local_seconds(const SYSTEMTIME& st, bool midnight) {
    tm t = {};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = midnight ? 0 : st.wHour;
    t.tm_min = midnight ? 0 : st.wMinute;
    t.tm_sec = midnight ? 0 : st.wSecond;
    t.tm_isdst = -1;
    return static_cast<long long>(_mktime64(&t));
}
}  // namespace

void precise_time::initialize() {
    std::lock_guard<std::mutex> guard(g_init_lock);
    if (m_inited) return;

    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    SYSTEMTIME now;
    GetLocalTime(&now);
    g_counter_frequency = static_cast<double>(frequency.QuadPart);
    g_start_counter = counter.QuadPart;
    MORVAST::TOOLS::snprintf_mv(m_startDate, sizeof(m_startDate), "%04d%02d%02d", now.wYear, now.wMonth,
                                now.wDay);
    g_start_microseconds =
        static_cast<double>(local_seconds(now, false)) * 1000000.0 + static_cast<double>(now.wMilliseconds) * 1000.0;
    m_lStartMicrosecondsOftheDay = local_seconds(now, true) * 1000000LL;
    g_clock_ready.store(true, std::memory_order_release);
    m_inited = true;
}

long long precise_time::get_current_microseconds() {
    // Reading before the first session started the clock starts it here.
    if (!g_clock_ready.load(std::memory_order_acquire)) initialize();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const double elapsed = static_cast<double>(counter.QuadPart - g_start_counter) / g_counter_frequency;
    return static_cast<long long>(g_start_microseconds + elapsed * 1000000.0);
}

void precise_time::convert_from_timestamp(unsigned long long timestamp, tm& out, unsigned int& sub_second) {
    sub_second = static_cast<unsigned int>(timestamp & 0xFFFFFFFFULL);
    // The high half is unsigned: 2^31 and above are dates after 2038, which
    // only the 64-bit conversion takes.
    const __time64_t seconds = static_cast<__time64_t>(timestamp >> 32);
    if (_localtime64_s(&out, &seconds) != 0) out = tm();
}

#else

void precise_time::initialize() {
    std::lock_guard<std::mutex> guard(g_init_lock);
    if (m_inited) return;

    time_t now = time(nullptr);
    tm day;
    MORVAST::TOOLS::localtime_mv(&now, &day);
    MORVAST::TOOLS::snprintf_mv(m_startDate, sizeof(m_startDate), "%04d%02d%02d",
                                day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
    day.tm_hour = 0;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    time_t midnight = mktime(&day);
    m_lStartMicrosecondsOftheDay = static_cast<long long>(midnight) * 1000000LL;
    m_inited = true;
}

long long precise_time::get_current_microseconds() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<long long>(tv.tv_sec) * 1000000LL + tv.tv_usec;
}

void precise_time::convert_from_timestamp(unsigned long long timestamp, tm& out, unsigned int& sub_second) {
    sub_second = static_cast<unsigned int>(timestamp & 0xFFFFFFFFULL);
    time_t seconds = static_cast<time_t>(timestamp >> 32);
    MORVAST::TOOLS::localtime_mv(&seconds, &out);
}

#endif

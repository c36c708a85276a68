#include "tools/precise_time.h"

#include <sys/time.h>

#include <mutex>

#include "tools/cross_platform_api.h"

bool precise_time::m_inited = false;
long long precise_time::m_lStartMicrosecondsOftheDay = 0;
char precise_time::m_startDate[9] = "20170613";

namespace {
std::mutex g_init_lock;
}

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

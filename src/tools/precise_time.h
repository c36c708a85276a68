// Process-wide microsecond clock, the date the first session started, and
// conversion of the exchange's 64-bit timestamps to calendar time.
#ifndef HUX_PRECISE_TIME_H
#define HUX_PRECISE_TIME_H

#include <ctime>

class precise_time {
public:
    precise_time() {}
    ~precise_time() {}

    // Records today's local midnight and date; the first call in the process
    // wins, later calls do nothing.
    static void initialize();
    // Wall-clock time in microseconds since the epoch.
    static long long get_current_microseconds();
    // The low 32 bits go to sub_second unchanged; the high 32 bits, taken as
    // unsigned seconds since the epoch, are split into local calendar time.
    static void convert_from_timestamp(unsigned long long timestamp, tm& out, unsigned int& sub_second);
    // "YYYYMMDD" of the day initialize() ran ("20170613" before that).
    static const char* get_start_date() { return m_startDate; }

    static bool m_inited;
    static long long m_lStartMicrosecondsOftheDay;
    static char m_startDate[9];
};

#endif

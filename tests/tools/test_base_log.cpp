// Session log files and the microsecond clock. Each log test runs in a fresh
// directory (important.log goes to the working directory) and reads the files
// back record by record through the length field of each header.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/coll_support.h"
#include "tools/base_log.h"
#include "tools/precise_time.h"

using hux_test::coll::read_file;
using hux_test::coll::scratch_dir;

namespace {

// Taken while the program loads, before any test can call initialize().
const std::string g_start_date_at_load = precise_time::get_start_date();

long long now_us() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec * 1000000LL + tv.tv_usec;
}

// Local time as a header prints it; the fixed-width text sorts as time does.
std::string header_time(long long us) {
    time_t sec = static_cast<time_t>(us / 1000000);
    tm t;
    localtime_r(&sec, &t);
    char buf[64];
    snprintf(buf, sizeof(buf), "%04d%02d%02d-%02d:%02d:%02d.%06d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(us % 1000000));
    return buf;
}

struct record {
    std::string time, len, head, body;  // head: category word or binary tag
};

// Splits a file into records: header "DDDDDDDD-DD:DD:DD.DDDDDD " + five or more
// length digits + blank, then head + blank, then exactly len bytes and '\n'.
// A head is one character when it is one of bin_tags, else up to the blank.
bool parse(const std::string& f, const std::string& bin_tags, std::vector<record>& out) {
    static const char shape[] = "99999999-99:99:99.999999 ";
    size_t pos = 0;
    while (pos < f.size()) {
        record r;
        for (size_t i = 0; shape[i]; ++i, ++pos)
            if (pos >= f.size() || (shape[i] == '9' ? !isdigit(static_cast<unsigned char>(f[pos])) : f[pos] != shape[i]))
                return false;
        r.time = f.substr(pos - 25, 24);
        size_t digits = pos;
        while (digits < f.size() && isdigit(static_cast<unsigned char>(f[digits]))) ++digits;
        if (digits - pos < 5 || digits >= f.size() || f[digits] != ' ') return false;
        r.len = f.substr(pos, digits - pos);
        pos = digits + 1;
        size_t blank = pos < f.size() && bin_tags.find(f[pos]) != std::string::npos ? pos + 1 : f.find(' ', pos);
        if (blank >= f.size() || f[blank] != ' ') return false;
        r.head = f.substr(pos, blank - pos);
        pos = blank + 1;
        size_t len = std::stoul(r.len);
        if (pos + len >= f.size() || f[pos + len] != '\n') return false;
        r.body = f.substr(pos, len);
        pos += len + 1;
        out.push_back(r);
    }
    return true;
}

std::vector<record> records(const std::string& path, const std::string& bin_tags = "") {
    std::vector<record> out;
    EXPECT_TRUE(parse(read_file(path), bin_tags, out)) << path << " holds a broken record";
    return out;
}

}  // namespace

TEST(BaseLog, TextRecordsCarryLocalTimeLengthCategoryAndMessage) {
    scratch_dir here;
    base_log log;
    ASSERT_EQ(1, log.open("session.log"));
    long long before = now_us();
    log.write_txt("info", "hello world");
    long long after = now_us();
    log.write_important_txt("api version", "5.2.4.16");

    std::string text = read_file("session.log");
    std::vector<record> recs = records("session.log");
    ASSERT_EQ(1u, recs.size());
    // date-time, blank, length of the message, blank, category, blank, message, newline
    EXPECT_EQ(recs[0].time + " 00011 info hello world\n", text);
    EXPECT_LE(header_time(before), recs[0].time);
    EXPECT_GE(header_time(after), recs[0].time);
    std::string important = read_file("important.log");
    ASSERT_GT(important.size(), 24u);
    EXPECT_EQ(" 00008 api version 5.2.4.16\n", important.substr(24));

    // The length form writes the given length; null texts are empty; a long
    // message prints every digit of its length.
    log.write_txt("warn", "abc", 3);
    log.write_txt(nullptr, nullptr);
    std::string big(100000, 'm');
    log.write_txt("info", big.c_str());
    recs = records("session.log");
    ASSERT_EQ(4u, recs.size());
    EXPECT_EQ("00003 warn abc", recs[1].len + " " + recs[1].head + " " + recs[1].body);
    EXPECT_EQ("00000  ", recs[2].len + " " + recs[2].head + " " + recs[2].body);
    EXPECT_EQ("100000", recs[3].len);
    EXPECT_EQ(big, recs[3].body);

    // A bare header is 8 + 1 + 8 + 7 + 1 + 5 + 1 characters.
    EXPECT_EQ(31, log.write_hdr(42));
    EXPECT_EQ(31, log.write_important_hdr(7));
}

TEST(BaseLog, BinaryRecordsHoldExactlyTheCountedBytes) {
    scratch_dir here;
    base_log log;
    ASSERT_EQ(1, log.open("session.bin"));
    const char data[] = {'a', '\n', 'b', '\n', '\0', 'c'};
    log.write_bin('1', data, sizeof(data));
    log.write_bin('0', data, 0);  // nothing at all, not even a header
    log.write_bin('0', data, -5);
    log.write_bin('0', nullptr, 4);
    std::string file = read_file("session.bin");
    // header, tag, blank, the six raw bytes, newline
    ASSERT_EQ(31u + 2 + 6 + 1, file.size());
    EXPECT_EQ(" 00006 1 " + std::string(data, sizeof(data)) + "\n", file.substr(24));
    EXPECT_EQ(1u, records("session.bin", "01").size());
}

TEST(BaseLog, WritesWithoutAnOpenFileAreIgnored) {
    scratch_dir here;
    {
        base_log never;
        never.write_txt("info", "lost");
        never.write_bin('0', "lost", 4);
        never.write_important_txt("info", "lost", 4);
        EXPECT_EQ(0, never.write_hdr(4));
        never.flush_all();
    }
    EXPECT_FALSE(std::filesystem::exists("important.log"));

    base_log log;
    ASSERT_EQ(1, log.open("a.log"));
    log.write_txt("info", "kept");
    log.close();
    log.write_txt("info", "lost");
    log.write_bin('1', "lost", 4);
    log.write_important_txt("info", "lost");
    EXPECT_EQ(0, log.write_important_hdr(1));
    log.flush_all();
    log.write_txt("info", "lost");
    ASSERT_EQ(1u, records("a.log").size());
    EXPECT_EQ("", read_file("important.log"));
}

TEST(BaseLog, OpenFailuresAndFlushAllKeepTheFilesThatOpened) {
    scratch_dir here;
    base_log log;
    EXPECT_EQ(0, log.open("no_such_dir/session.log"));
    log.write_important_txt("info", "first");
    log.flush_all();  // important.log is reopened, not lost
    log.write_important_txt("info", "second");
    EXPECT_EQ(0, log.open(nullptr));
    log.write_important_txt("info", "third");
    ASSERT_EQ(3u, records("important.log").size());

    // flush_all and a second open continue in the same files.
    ASSERT_EQ(1, log.open("a.log"));
    log.write_txt("info", "one");
    log.flush_all();
    log.write_txt("info", "two");
    ASSERT_EQ(1, log.open("a.log"));
    log.write_txt("info", "three");
    std::vector<record> recs = records("a.log");
    ASSERT_EQ(3u, recs.size());
    EXPECT_EQ("three", recs[2].body);

    // 1023 characters are a name that reopens; a longer path is refused
    // rather than kept cut short. Names are built of nested directories.
    std::string dirs;
    while (dirs.size() < 1100) {
        dirs += (dirs.empty() ? "" : "/") + std::string(100, 'q');
        ASSERT_EQ(0, mkdir(dirs.c_str(), 0700));
    }
    std::string fits = dirs.substr(0, 1009) + "/" + std::string(13, 'f');
    base_log deep;
    ASSERT_EQ(1, deep.open(fits.c_str()));
    deep.flush_all();
    deep.write_txt("info", "deep");
    EXPECT_EQ(1u, records(fits).size());
    EXPECT_EQ(0, deep.open((dirs + "/x.log").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dirs + "/x.log"));

    // important.log that cannot be opened: 0, and the log is still written.
    std::filesystem::current_path(dirs.substr(0, 100));
    ASSERT_EQ(0, mkdir("important.log", 0700));
    base_log own;
    EXPECT_EQ(0, own.open("own.log"));
    own.flush_all();
    own.write_txt("info", "own");
    EXPECT_EQ(1u, records("own.log").size());
}

TEST(BaseLog, ConcurrentWritersProduceOnlyWholeRecords) {
    scratch_dir here;
    const int threads = 4, per_thread = 3000;
    base_log log;
    ASSERT_EQ(1, log.open("mt.log"));
    // Text and binary records (with newlines and a zero byte) numbered per
    // thread, while another thread keeps closing and reopening the files.
    auto body = [](int id, int seq) {
        return "t" + std::to_string(id) + " " + std::to_string(seq) + std::string(seq % 97, 'a') +
               (seq % 2 ? std::string("\n\n\0", 3) : "");
    };
    std::atomic<bool> done{false};
    std::vector<std::thread> writers;
    for (int id = 0; id < threads; ++id)
        writers.emplace_back([&, id] {
            for (int seq = 0; seq < per_thread; ++seq) {
                std::string b = body(id, seq);
                if (seq % 2)
                    log.write_bin('B', b.data(), static_cast<int>(b.size()));
                else
                    log.write_txt("txt", b.c_str());
            }
        });
    std::thread flusher([&] {
        while (!done) log.flush_all();
    });
    for (std::thread& t : writers) t.join();
    done = true;
    flusher.join();

    std::vector<int> next(threads, 0);
    for (const record& r : records("mt.log", "B")) {
        int id = r.body.size() > 1 ? r.body[1] - '0' : -1;
        ASSERT_TRUE(id >= 0 && id < threads) << r.body;
        int seq = next[id]++;
        ASSERT_EQ(body(id, seq), r.body);
        ASSERT_EQ(seq % 2 ? "B" : "txt", r.head);
    }
    for (int id = 0; id < threads; ++id) EXPECT_EQ(per_thread, next[id]);
}

TEST(PreciseTime, StartDateComesFromTheFirstInitialize) {
    EXPECT_EQ("20170613", g_start_date_at_load);
    precise_time::initialize();
    EXPECT_TRUE(precise_time::m_inited);
    long long midnight_us = precise_time::m_lStartMicrosecondsOftheDay;
    EXPECT_EQ(0, midnight_us % 1000000);
    time_t midnight = static_cast<time_t>(midnight_us / 1000000);
    tm t;
    localtime_r(&midnight, &t);
    EXPECT_EQ(0, t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
    char day[64];
    snprintf(day, sizeof(day), "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    EXPECT_STREQ(day, precise_time::get_start_date());
    long long now = precise_time::get_current_microseconds();
    EXPECT_TRUE(midnight_us <= now && now < midnight_us + 25 * 3600 * 1000000LL);

    // Later calls, from any thread, change nothing.
    memcpy(precise_time::m_startDate, "19990101", 9);
    std::vector<std::thread> racers;
    for (int i = 0; i < 4; ++i) racers.emplace_back(precise_time::initialize);
    for (std::thread& r : racers) r.join();
    EXPECT_STREQ("19990101", precise_time::get_start_date());
    EXPECT_EQ(midnight_us, precise_time::m_lStartMicrosecondsOftheDay);
    memcpy(precise_time::m_startDate, day, 9);
}

TEST(PreciseTime, ClockAndTimestampConversion) {
    long long before = now_us();
    long long clock = precise_time::get_current_microseconds();
    EXPECT_TRUE(before <= clock && clock <= now_us());

    // Low half back bit for bit; high half as unsigned seconds, local time.
    struct {
        unsigned long long stamp;
        time_t seconds;
    } cases[] = {{0x0000000080000001ULL, 0},
                 {(1700000000ULL << 32) | 0xFFFFFFFFULL, 1700000000},
                 {0xFFFFFFFF00000000ULL, static_cast<time_t>(4294967295LL)}};  // 2106, not 1969
    for (const auto& c : cases) {
        tm got, want;
        unsigned int sub = 1;
        precise_time::convert_from_timestamp(c.stamp, got, sub);
        localtime_r(&c.seconds, &want);
        EXPECT_EQ(static_cast<unsigned int>(c.stamp), sub);
        EXPECT_EQ(0, memcmp(&want, &got, offsetof(tm, tm_isdst))) << c.stamp;  // second .. day of year
    }
}

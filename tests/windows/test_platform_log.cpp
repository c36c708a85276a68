// Two log writers on one file (as two sessions logging to one directory):
// every record lands whole, none overwrites another.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/base_log.h"
#include "tools/precise_time.h"

namespace {

const int kRecords = 10000;

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// "YYYYMMDD-HH:MM:SS.uuuuuu LLLLL " then the body; checks the header's shape
// and returns the body.
bool split_record(const std::string& line, int& len, std::string& body) {
    if (line.size() < 31) return false;
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 12, 13, 15, 16, 18, 19, 20, 21, 22, 23, 25, 26, 27, 28, 29}) {
        if (line[i] < '0' || line[i] > '9') return false;
    }
    if (line[8] != '-' || line[11] != ':' || line[14] != ':' || line[17] != '.' || line[24] != ' ' ||
        line[30] != ' ')
        return false;
    len = std::atoi(line.substr(25, 5).c_str());
    body = line.substr(31);
    return true;
}

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(sizeof(tmp), tmp));
        char dir[MAX_PATH];
        std::snprintf(dir, sizeof(dir), "%shux_log_%lu", tmp, GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(dir, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        m_dir = dir;
        ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(m_old_cwd), m_old_cwd));
        // "important.log" goes to the working directory.
        ASSERT_TRUE(SetCurrentDirectoryA(dir));
        precise_time::initialize();
    }
    void TearDown() override {
        SetCurrentDirectoryA(m_old_cwd);
        for (const char* name : {"\\shared.log", "\\important.log"}) DeleteFileA((m_dir + name).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }
    std::string m_dir;
    char m_old_cwd[MAX_PATH];
};

TEST_F(ScratchDir, TwoWritersOnOneFileKeepEveryRecordWhole) {
    const std::string path = m_dir + "\\shared.log";
    base_log first;
    base_log second;
    ASSERT_EQ(1, first.open(path.c_str()));
    ASSERT_EQ(1, second.open(path.c_str()));

    // Bodies of varied length, so that a record written at a stale end
    // would cut into its neighbour.
    auto body = [](int writer, int i) {
        return "w" + std::to_string(writer) + "-" + std::to_string(i) + "-" + std::string(i % 97, 'a' + writer);
    };
    std::vector<std::thread> writers;
    base_log* logs[2] = {&first, &second};
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < kRecords; ++i) {
                const std::string msg = body(w, i);
                logs[w]->write_txt("info", msg.c_str());
                if (i % 10 == 0) logs[w]->write_important_txt("imp", msg.c_str());
            }
        });
    }
    for (auto& t : writers) t.join();
    first.close();
    second.close();

    for (const std::string& name : {path, m_dir + "\\important.log"}) {
        const bool important = name != path;
        const std::string text = read_all(name);
        std::istringstream lines(text);
        std::string line;
        std::set<std::string> seen;
        int count = 0;
        while (std::getline(lines, line)) {
            int len = -1;
            std::string rest;
            ASSERT_TRUE(split_record(line, len, rest)) << name << ": " << line.substr(0, 80);
            const std::string category = important ? "imp " : "info ";
            ASSERT_EQ(category, rest.substr(0, category.size())) << line.substr(0, 80);
            const std::string msg = rest.substr(category.size());
            ASSERT_EQ(static_cast<int>(msg.size()), len) << line.substr(0, 80);
            // The message is one the writers wrote, and only once.
            const int w = msg[1] - '0';
            const int i = std::atoi(msg.c_str() + 3);
            ASSERT_TRUE(w == 0 || w == 1) << msg.substr(0, 40);
            ASSERT_EQ(body(w, i), msg);
            ASSERT_TRUE(seen.insert(msg).second) << msg.substr(0, 40);
            ++count;
        }
        EXPECT_EQ(important ? 2 * kRecords / 10 : 2 * kRecords, count) << name;
        EXPECT_EQ('\n', text.back());
    }
}

TEST_F(ScratchDir, BinaryRecordsAndReopening) {
    const std::string path = m_dir + "\\shared.log";
    base_log log;
    ASSERT_EQ(1, log.open(path.c_str()));
    const char data[5] = {'\0', '\n', 'x', '\xFF', '\r'};
    log.write_bin('S', data, sizeof(data));
    log.flush_all();  // closes and reopens: records keep going to the end
    log.write_txt("info", "after");
    log.close();
    log.write_txt("info", "closed");  // no file: nothing written

    const std::string text = read_all(path);
    ASSERT_EQ(31u + 2 + 5 + 1 + 31 + 11, text.size());
    int len = -1;
    std::string rest;
    // Header 31, "S " 2, the 5 bytes, '\n'; then header 31, "info after" 10, '\n'.
    ASSERT_TRUE(split_record(text.substr(0, 38), len, rest));
    EXPECT_EQ(5, len);
    EXPECT_EQ(std::string("S ") + std::string(data, 5), rest);
    EXPECT_EQ('\n', text[38]);
    ASSERT_TRUE(split_record(text.substr(39, 41), len, rest));
    EXPECT_EQ(5, len);
    EXPECT_EQ("info after", rest);
    EXPECT_EQ('\n', text.back());
}

}  // namespace

// Log writer of a session or transport: one log file opened for appending,
// plus this object's own append handle on "important.log" in the working
// directory. Every record is one header
//   "%04d%02d%02d-%02d:%02d:%02d.%06d %05d "
// (local time to the microsecond, record length) followed by either a text
// body "%s %s\n" (category, message; the length counts the message only) or
// a binary body "%c " + the raw bytes + '\n' (the length counts the bytes).
// Each record is flushed as soon as it is written. On Windows the files are
// opened for appending only and each record goes out in one write, under one
// lock for the whole process, so that writers sharing a file never overwrite
// each other's records.
#ifndef HUX_BASE_LOG_H
#define HUX_BASE_LOG_H

#include <cstdio>

#include "tools/lock.h"

class base_log {
public:
    static constexpr int NAME_LEN = 1024;

    base_log();
    ~base_log();
    base_log(const base_log&) = delete;
    base_log& operator=(const base_log&) = delete;

    // Opens the path and "important.log", both with "ab+" (on Windows for
    // appending only). Returns 1 when
    // both opened, 0 otherwise; a file that did open is used either way.
    int open(char const* path);
    void close();
    // Closes each open file and reopens it under its stored name.
    void flush_all();
    // Moving a log: a file opened the way open() opens one (null, with errno
    // set, when it cannot be), and the switch to it, which closes the current
    // log file and keeps the name for flush_all. "important.log" stays as it
    // is. A caller that opens every new file first can keep the old ones when
    // one of them fails.
    static FILE* open_file(char const* path);
    void adopt(FILE* file, char const* path);

    void write_txt(char const* category, char const* msg, int len);
    void write_txt(char const* category, char const* msg);
    void write_bin(char tag, char const* data, int len);
    void write_important_txt(char const* category, char const* msg, int len);
    void write_important_txt(char const* category, char const* msg);

    // Write the record header; return the characters written, 0 when the
    // file is not open.
    int write_hdr(int len);
    int write_important_hdr(int len);

private:
    void write_record(bool important, char const* category, char const* msg, int len);
    static int write_hdr_to(FILE* file, int len);
    void close_files();

    const char* m_important_name_src;
    FILE* m_log_file;
    FILE* m_important_file;
    char m_log_file_name[NAME_LEN];
    char m_important_file_name[NAME_LEN];
    MORVAST::TOOLS::mutex_lock m_lock;
};

#endif

#include "tools/base_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
#include <windows.h>

#include <string>
#endif

#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"

using MORVAST::TOOLS::mutex_locker;

namespace {

#ifdef _WIN32
// The logs are opened for appending only (FILE_APPEND_DATA), so every write
// lands at the end of the file, and every record goes out in one write.
// Two such handles on one file can still overwrite each other on some
// systems, and the sessions' logs and "important.log" are shared once the
// sessions log to one directory: the writes of the whole process go through
// one lock.
FILE* open_append(const char* path) {
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        errno = (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ENOENT : EACCES;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_APPEND | _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
        return nullptr;
    }
    FILE* file = _fdopen(fd, "ab");
    if (file == nullptr) _close(fd);
    return file;
}

MORVAST::TOOLS::mutex_lock& process_write_lock() {
    static MORVAST::TOOLS::mutex_lock* lock = new MORVAST::TOOLS::mutex_lock();
    return *lock;
}

// One record, whole, in one write.
void write_whole(FILE* file, const std::string& record) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE) return;
    mutex_locker guard(process_write_lock());
    const char* p = record.data();
    size_t left = record.size();
    while (left > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr) || written == 0) return;
        p += written;
        left -= written;
    }
}

std::string record_header(int len) {
    long long now = precise_time::get_current_microseconds();
    time_t seconds = static_cast<time_t>(now / 1000000);
    int micros = static_cast<int>(now % 1000000);
    tm t;
    MORVAST::TOOLS::localtime_mv(&seconds, &t);
    char hdr[64];
    MORVAST::TOOLS::snprintf_mv(hdr, sizeof(hdr), "%04d%02d%02d-%02d:%02d:%02d.%06d %05d ", t.tm_year + 1900,
                                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, micros, len);
    return std::string(hdr);
}
#else
FILE* open_append(const char* path) { return fopen(path, "ab+"); }
#endif

}  // namespace

base_log::base_log()
    : m_important_name_src("important.log"), m_log_file(nullptr), m_important_file(nullptr) {
    memset(m_log_file_name, 0, sizeof(m_log_file_name));
    memset(m_important_file_name, 0, sizeof(m_important_file_name));
}

base_log::~base_log() { close(); }

void base_log::close_files() {
    if (m_log_file) {
        fclose(m_log_file);
        m_log_file = nullptr;
    }
    if (m_important_file) {
        fclose(m_important_file);
        m_important_file = nullptr;
    }
}

int base_log::open(char const* path) {
    mutex_locker guard(m_lock);
    // Handles still open from an earlier open would otherwise be lost.
    close_files();

    // A path that does not fit the name buffer could not be reopened by
    // flush_all under the same name, so it is refused like a failed open.
    bool path_fits = path && strnlen(path, NAME_LEN) < static_cast<size_t>(NAME_LEN);
    m_log_file = path_fits ? open_append(path) : nullptr;
    m_important_file = open_append(m_important_name_src);

    // Each file that did open keeps its name, so flush_all can reopen it.
    if (m_log_file)
        MORVAST::TOOLS::strncpy_mv(m_log_file_name, NAME_LEN, path);
    else
        m_log_file_name[0] = '\0';
    if (m_important_file)
        MORVAST::TOOLS::strncpy_mv(m_important_file_name, NAME_LEN, m_important_name_src);
    else
        m_important_file_name[0] = '\0';

    return m_log_file && m_important_file ? 1 : 0;
}

FILE* base_log::open_file(char const* path) {
    if (!path || strnlen(path, NAME_LEN) >= static_cast<size_t>(NAME_LEN)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return open_append(path);
}

void base_log::adopt(FILE* file, char const* path) {
    mutex_locker guard(m_lock);
    if (m_log_file) fclose(m_log_file);
    m_log_file = file;
    if (file && path)
        MORVAST::TOOLS::strncpy_mv(m_log_file_name, NAME_LEN, path);
    else
        m_log_file_name[0] = '\0';
}

void base_log::close() {
    mutex_locker guard(m_lock);
    close_files();
}

void base_log::flush_all() {
    mutex_locker guard(m_lock);
    if (m_log_file) {
        fclose(m_log_file);
        m_log_file = open_append(m_log_file_name);
    }
    if (m_important_file) {
        fclose(m_important_file);
        m_important_file = open_append(m_important_file_name);
    }
}

#ifdef _WIN32

int base_log::write_hdr_to(FILE* file, int len) {
    const std::string hdr = record_header(len);
    write_whole(file, hdr);
    return static_cast<int>(hdr.size());
}

#else

int base_log::write_hdr_to(FILE* file, int len) {
    long long now = precise_time::get_current_microseconds();
    time_t seconds = static_cast<time_t>(now / 1000000);
    int micros = static_cast<int>(now % 1000000);
    tm t;
    MORVAST::TOOLS::localtime_mv(&seconds, &t);
    int n = fprintf(file, "%04d%02d%02d-%02d:%02d:%02d.%06d %05d ", t.tm_year + 1900, t.tm_mon + 1,
                    t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, micros, len);
    return n > 0 ? n : 0;
}

#endif

int base_log::write_hdr(int len) {
    mutex_locker guard(m_lock);
    return m_log_file ? write_hdr_to(m_log_file, len) : 0;
}

int base_log::write_important_hdr(int len) {
    mutex_locker guard(m_lock);
    return m_important_file ? write_hdr_to(m_important_file, len) : 0;
}

// The open test is made under the lock, so a concurrent close cannot leave a
// writer holding a closed handle.
void base_log::write_record(bool important, char const* category, char const* msg, int len) {
    mutex_locker guard(m_lock);
    FILE* file = important ? m_important_file : m_log_file;
    if (!file) return;
#ifdef _WIN32
    std::string record = record_header(len);
    record += category ? category : "";
    record += ' ';
    record += msg ? msg : "";
    record += '\n';
    write_whole(file, record);
#else
    write_hdr_to(file, len);
    fprintf(file, "%s %s\n", category ? category : "", msg ? msg : "");
    fflush(file);
#endif
}

void base_log::write_txt(char const* category, char const* msg, int len) {
    write_record(false, category, msg, len);
}

void base_log::write_txt(char const* category, char const* msg) {
    write_record(false, category, msg, msg ? static_cast<int>(strlen(msg)) : 0);
}

void base_log::write_important_txt(char const* category, char const* msg, int len) {
    write_record(true, category, msg, len);
}

void base_log::write_important_txt(char const* category, char const* msg) {
    write_record(true, category, msg, msg ? static_cast<int>(strlen(msg)) : 0);
}

void base_log::write_bin(char tag, char const* data, int len) {
    if (len <= 0 || !data) return;
    mutex_locker guard(m_lock);
    if (!m_log_file) return;
#ifdef _WIN32
    std::string record = record_header(len);
    record += tag;
    record += ' ';
    record.append(data, static_cast<size_t>(len));
    record += '\n';
    write_whole(m_log_file, record);
#else
    write_hdr_to(m_log_file, len);
    fprintf(m_log_file, "%c ", tag);
    fwrite(data, 1, static_cast<size_t>(len), m_log_file);
    fputc('\n', m_log_file);
    fflush(m_log_file);
#endif
}

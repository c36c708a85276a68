#include "session/session_logs.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/cross_platform_api.h"
#include "tools/precise_time.h"

namespace HUX_SESSION {

using MORVAST::TOOLS::snprintf_mv;

namespace {

const int LOG_TEXT_LEN = 512;

bool log_dir_char_ok(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
           c == '\\' || c == '_';
}

}  // namespace

void open_session_logs(base_log& text_log, base_log& bin_log, const char* prefix) {
    char name[LOG_NAME_LEN];
    snprintf_mv(name, sizeof(name), "%s%s.log", prefix, precise_time::get_start_date());
    text_log.open(name);
    snprintf_mv(name, sizeof(name), "%s%s.bin", prefix, precise_time::get_start_date());
    bin_log.open(name);
}

bool set_session_log_dir(base_log& text_log, base_log& bin_log, const char* dir) {
    if (!dir || !*dir) return false;
    char text[LOG_TEXT_LEN];
    // The directory is read no further than a name can hold. Its two log
    // names must fit whole: cut, they could fall on one file, or on a file
    // of another directory.
    const char* date = precise_time::get_start_date();
    const size_t dir_len = strnlen(dir, LOG_NAME_LEN);
    const size_t name_len = dir_len + strlen("/tavlog_.log") + strlen(date);
    if (name_len >= static_cast<size_t>(LOG_NAME_LEN)) {
        snprintf_mv(text, sizeof(text), "log dir refused: the log names would be longer than %d characters.",
                    LOG_NAME_LEN - 1);
        text_log.write_txt("info", text);
        return false;
    }
    for (size_t i = 0; i < dir_len; ++i) {
        if (!log_dir_char_ok(dir[i])) return false;
    }
    char text_name[LOG_NAME_LEN];
    char bin_name[LOG_NAME_LEN];
#ifdef _WIN32
    // Only a directory will do: a regular file of that name makes _mkdir
    // fail, and the logs stay where they are.
    if (!MORVAST::TOOLS::dir_exists(dir) && _mkdir(dir) != 0) return false;
    snprintf_mv(text_name, sizeof(text_name), "%s\\tavlog_%s.log", dir, date);
    snprintf_mv(bin_name, sizeof(bin_name), "%s\\tavlog_%s.bin", dir, date);
#else
    struct stat st;
    if (stat(dir, &st) != 0 && mkdir(dir, 0755) != 0) return false;
    snprintf_mv(text_name, sizeof(text_name), "%s/tavlog_%s.log", dir, date);
    snprintf_mv(bin_name, sizeof(bin_name), "%s/tavlog_%s.bin", dir, date);
#endif
    FILE* text_file = base_log::open_file(text_name);
    FILE* bin_file = text_file ? base_log::open_file(bin_name) : nullptr;
    if (!text_file || !bin_file) {
        const int err = errno;
        if (text_file) fclose(text_file);
        snprintf_mv(text, sizeof(text), "log dir refused: cannot open %s: %s", text_file ? bin_name : text_name,
                    strerror(err));
        text_log.write_txt("info", text);
        return false;
    }
    text_log.adopt(text_file, text_name);
    bin_log.adopt(bin_file, bin_name);
    return true;
}

}  // namespace HUX_SESSION

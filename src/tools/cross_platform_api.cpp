// Platform layer of the tools library: the bounded copies and formatters are
// shared; time, file functions, thread keys, the loader and process start
// have a Linux and a Windows form.
#include "tools/cross_platform_api.h"

#ifdef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#include <winsock2.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/date_time.h"
#include "tools/lock.h"
#include "tools/template_map_int.h"

namespace MORVAST {
namespace TOOLS {

namespace {

// Size of the per-thread buffer of format_pchar and of format_str's buffer.
const size_t k_format_buffer_size = 40960;

// Formats into buf of size bytes (size at least 1) and always leaves it
// terminated, also when the format itself is refused.
void format_into(char* buf, size_t size, const char* format, va_list args) {
    buf[0] = '\0';
    if (format == nullptr) return;
#ifdef _WIN32
    // The MinGW runtime's C99 formatter: it cuts an overlong text and
    // terminates it, where the system library's checked forms end the process.
    if (__mingw_vsnprintf(buf, size, format, args) < 0) buf[0] = '\0';
#else
    if (std::vsnprintf(buf, size, format, args) < 0) buf[0] = '\0';
#endif
}

// The per-thread buffers of format_pchar and the lock over them. Both are made
// once (function-local statics start safely under concurrent first calls) and
// are never destroyed, so threads still running at process exit keep working.
typedef map_int<char*, null_lock> buffer_map;

buffer_map& format_buffers() {
    static buffer_map* buffers = new buffer_map(11);
    return *buffers;
}

mutex_lock& format_buffers_lock() {
    static mutex_lock* lock = new mutex_lock();
    return *lock;
}

// The calling thread's buffer, obtained on its first call and kept for life.
char* thread_format_buffer() {
#ifdef _WIN32
    const int64_t key = static_cast<int64_t>(GetCurrentThreadId());
#else
    const int64_t key = static_cast<int64_t>(static_cast<uint64_t>(pthread_self()));
#endif
    mutex_locker locker(format_buffers_lock());
    buffer_map& buffers = format_buffers();
    char* buf = nullptr;
    if (!buffers.find(key, buf)) {
        buf = static_cast<char*>(std::malloc(k_format_buffer_size));
        if (buf == nullptr) return nullptr;
        buf[0] = '\0';
        if (!buffers.set(key, buf)) {
            std::free(buf);
            return nullptr;
        }
    }
    return buf;
}

}  // namespace

lpstr_mv strncpy_mv(lpstr_mv dest, u32_mv dest_len, lpcstr_mv src) {
    if (dest == nullptr || dest_len == 0) return dest;
    // strnlen stops at dest_len - 1, so a long source is never read further.
    const size_t n = (src == nullptr) ? 0 : strnlen(src, dest_len - 1);
    if (n > 0) std::memmove(dest, src, n);
    dest[n] = '\0';
    return dest;
}

size_t snprintf_mv(lpstr_mv str, unsigned size, lpcstr_mv format, ...) {
    if (str == nullptr || size == 0) return 0;
    va_list args;
    va_start(args, format);
    format_into(str, size, format, args);
    va_end(args);
    return strnlen(str, size);
}

i64_mv atoi64_mv(lpcstr_mv str) {
    if (str == nullptr) return 0;
    return std::atoll(str);
}

u64_mv atou64_mv(lpcstr_mv str) {
    if (str == nullptr) return 0;
    return std::strtoull(str, nullptr, 10);
}

#ifdef _WIN32

void localtime_mv(const time_t* t, struct tm* out) {
    if (t == nullptr || out == nullptr) return;
    const __time64_t seconds = static_cast<__time64_t>(*t);
    _localtime64_s(out, &seconds);
}

bool file_exists(lpcstr_mv file_path) {
    if (file_path == nullptr || file_path[0] == '\0') return false;
    struct _stat64 st;
    return _stat64(file_path, &st) == 0;
}

bool dir_exists(lpcstr_mv dir_path) {
    if (dir_path == nullptr || dir_path[0] == '\0') return false;
    const DWORD attributes = GetFileAttributesA(dir_path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The file system moves the file: a command line through the shell would
// split a path at a blank and run whatever follows an '&'.
bool move_file_mv(lpcstr_mv src_file, lpcstr_mv dest_file) {
    if (src_file == nullptr || dest_file == nullptr) return false;
    return MoveFileExA(src_file, dest_file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool rm_old_file(const char* p_dir, time_t acc_t) {
    if (p_dir == nullptr) return false;
    const date_time limit(static_cast<long long>(acc_t), 0);
    const std::string dir(p_dir);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        // Directories, "." and ".." among them, are never deleted.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        FILETIME local_time;
        SYSTEMTIME written;
        if (!FileTimeToLocalFileTime(&entry.ftLastWriteTime, &local_time) ||
            !FileTimeToSystemTime(&local_time, &written))
            continue;
        date_time file_time;
        file_time.set_date(written.wYear, written.wMonth, written.wDay);
        file_time.set_time(written.wHour, written.wMinute, written.wSecond, written.wMilliseconds);
        if (limit > file_time) DeleteFileA((dir + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return true;
}

#else

void localtime_mv(const time_t* t, struct tm* out) {
    if (t == nullptr || out == nullptr) return;
    localtime_r(t, out);
}

bool file_exists(lpcstr_mv file_path) {
    if (file_path == nullptr || file_path[0] == '\0') return false;
    return access(file_path, F_OK) == 0;
}

bool move_file_mv(lpcstr_mv src_file, lpcstr_mv dest_file) {
    if (src_file == nullptr || dest_file == nullptr) return false;
    return std::rename(src_file, dest_file) >= 0;
}

bool rm_old_file(const char* /*p_dir*/, time_t /*acc_t*/) { return true; }

#endif

const char* format_pchar(const char* pFormat, ...) {
    char* buf = thread_format_buffer();
    if (buf == nullptr) return "";
    // The buffer belongs to this thread alone, so formatting needs no lock.
    va_list args;
    va_start(args, pFormat);
    format_into(buf, k_format_buffer_size, pFormat, args);
    va_end(args);
    return buf;
}

std::string format_str(const char* pFormat, ...) {
    char buf[k_format_buffer_size];
    va_list args;
    va_start(args, pFormat);
    format_into(buf, sizeof(buf), pFormat, args);
    va_end(args);
    return std::string(buf);
}

#ifdef _WIN32

dll_handle_mv load_library(dll_name_mv name) {
    if (name == nullptr) return nullptr;
    return static_cast<dll_handle_mv>(LoadLibraryA(name));
}

dll_function_mv get_function_address(dll_handle_mv handle, dll_function_name_mv name) {
    if (handle == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<dll_function_mv>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

dll_error_mv get_dll_error() {
    // Read before anything else: a thread-local access may reset it.
    const DWORD code = GetLastError();
    static thread_local char text[1024];
    char* system_text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                   reinterpret_cast<char*>(&system_text), 0, nullptr);
    strncpy_mv(text, sizeof(text), n > 0 ? system_text : "");
    // The system allocated the text for this call; the caller gets the copy.
    if (system_text != nullptr) LocalFree(system_text);
    return text;
}

void free_library(dll_handle_mv handle) {
    if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
}

pid_mv create_process_mv(lpcstr_mv process_file, lpcstr_mv process_param) {
    const pid_mv failed = 0xFFFFFFFFul;
    if (process_file == nullptr) return failed;
    if (process_param == nullptr) process_param = "";
    char command_line[1024];
    if (std::strlen(process_file) + 1 + std::strlen(process_param) >= sizeof(command_line)) return failed;
    snprintf_mv(command_line, sizeof(command_line), "%s %s", process_file, process_param);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));
    if (!CreateProcessA(process_file, command_line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process))
        return failed;
    // The caller gets the id alone; open handles would keep the finished
    // process's record for the life of this one.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<pid_mv>(process.dwProcessId);
}

#else

dll_handle_mv load_library(dll_name_mv name) { return dlopen(name, RTLD_LAZY); }

dll_function_mv get_function_address(dll_handle_mv handle, dll_function_name_mv name) {
    if (handle == nullptr || name == nullptr) return nullptr;
    return dlsym(handle, name);
}

dll_error_mv get_dll_error() {
    const char* text = dlerror();
    return text != nullptr ? text : "";
}

void free_library(dll_handle_mv handle) {
    if (handle != nullptr) dlclose(handle);
}

pid_mv create_process_mv(lpcstr_mv process_file, lpcstr_mv process_param) {
    // The argument list is built before the fork: the child of a threaded
    // process may only call async-signal-safe functions.
    char arg0[] = "%s";
    char* argv[3] = {arg0, const_cast<char*>(process_param), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        if (process_file != nullptr) execv(process_file, argv);
        // The image could not be started: never go on running the caller's code.
        _exit(127);
    }
    return pid < 0 ? -1 : pid;
}

#endif

}  // namespace TOOLS
}  // namespace MORVAST

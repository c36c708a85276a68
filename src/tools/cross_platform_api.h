// Platform layer of the tools library: the functions whose Linux and Windows
// forms differ, and the platform type names the rest of the system uses.
#ifndef MORVAST_TOOL_CROSS_PLATFORM_API_H
#define MORVAST_TOOL_CROSS_PLATFORM_API_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

typedef const char* lpcstr_mv;
typedef char* lpstr_mv;
typedef wchar_t* lpwstr_mv;
typedef const wchar_t* lpcwstr_mv;
typedef uint32_t u32_mv;
typedef int32_t i32_mv;
typedef int64_t i64_mv;
typedef uint64_t u64_mv;
typedef pid_t pid_mv;
typedef void* dll_handle_mv;
typedef void* dll_function_mv;
typedef const char* dll_name_mv;
typedef const char* dll_function_name_mv;
typedef const char* dll_error_mv;

// printf checking of the formatters: on Windows they use the C99 formatting
// of the MinGW runtime, not the system library's own.
#ifdef _WIN32
#define MV_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define MV_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif

namespace MORVAST {
namespace TOOLS {

// Copies at most dest_len - 1 bytes of src and always terminates dest.
// A dest_len of 0 writes and reads nothing.
lpstr_mv strncpy_mv(lpstr_mv dest, u32_mv dest_len, lpcstr_mv src);

// Bounded printf; returns the number of characters actually stored (never the
// untruncated length). A size of 0 writes nothing, reads nothing and returns 0.
size_t snprintf_mv(lpstr_mv str, unsigned size, lpcstr_mv format, ...) MV_PRINTF_FORMAT(3, 4);

i64_mv atoi64_mv(lpcstr_mv str);
u64_mv atou64_mv(lpcstr_mv str);
void localtime_mv(const time_t* t, struct tm* out);
bool file_exists(lpcstr_mv file_path);
#ifdef _WIN32
// True only for an existing directory (a regular file of that name is false).
bool dir_exists(lpcstr_mv dir_path);
#else
bool move_file_mv(lpcstr_mv src_file, lpcstr_mv dest_file);
bool rm_old_file(const char* p_dir, time_t acc_t);
#endif

// Formats into the calling thread's own 40,960-byte buffer; the text stays
// valid until the same thread calls again.
const char* format_pchar(const char* pFormat, ...) MV_PRINTF_FORMAT(1, 2);

// Formats into a 40,960-byte local buffer (cut at 40,959 characters) and
// returns the text as a string.
std::string format_str(const char* pFormat, ...) MV_PRINTF_FORMAT(1, 2);

#ifndef _WIN32
dll_handle_mv load_library(dll_name_mv name);
dll_function_mv get_function_address(dll_handle_mv handle, dll_function_name_mv name);
dll_error_mv get_dll_error();
void free_library(dll_handle_mv handle);

// Forks; the child runs process_file with argv {"%s", process_param}.
pid_mv create_process_mv(lpcstr_mv process_file, lpcstr_mv process_param);
#endif

}  // namespace TOOLS
}  // namespace MORVAST

#endif

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
#ifdef _WIN32
// A Win32 process id (DWORD).
typedef unsigned long pid_mv;
#else
typedef pid_t pid_mv;
#endif
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
#endif
// True when the file was moved. Linux renames; Windows moves the file itself
// (replacing an existing destination), never through a shell, so a path with
// a blank or an '&' names one file and runs nothing.
bool move_file_mv(lpcstr_mv src_file, lpcstr_mv dest_file);
// Linux deletes nothing and returns true. Windows deletes every file of
// p_dir last written before acc_t (local time); false when the directory
// cannot be listed.
bool rm_old_file(const char* p_dir, time_t acc_t);

// Formats into the calling thread's own 40,960-byte buffer; the text stays
// valid until the same thread calls again.
const char* format_pchar(const char* pFormat, ...) MV_PRINTF_FORMAT(1, 2);

// Formats into a 40,960-byte local buffer (cut at 40,959 characters) and
// returns the text as a string.
std::string format_str(const char* pFormat, ...) MV_PRINTF_FORMAT(1, 2);

// The loader: dlopen with lazy binding on Linux, LoadLibraryA on Windows;
// null on failure.
dll_handle_mv load_library(dll_name_mv name);
dll_function_mv get_function_address(dll_handle_mv handle, dll_function_name_mv name);
// The loader's last error text. On Windows the system's text of the calling
// thread's last error, copied into a buffer of that thread (valid until its
// next call); empty when the system has no text for it.
dll_error_mv get_dll_error();
void free_library(dll_handle_mv handle);

// Linux forks; the child runs process_file with argv {"%s", process_param};
// -1 when the fork fails. Windows starts process_file with the command line
// "process_file process_param"; 0xFFFFFFFF when the process cannot be
// created, or when that line exceeds 1,023 characters (a cut line would run
// another command).
pid_mv create_process_mv(lpcstr_mv process_file, lpcstr_mv process_param);

}  // namespace TOOLS
}  // namespace MORVAST

#endif

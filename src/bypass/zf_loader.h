#pragma once

// Loading the TCPDirect plug-in (libdirectsock.so) and making its client
// object. The trade session and the adapter each keep one loader and wrap it
// with their load_zf_sock_ex / load_zf_sock(path) / load_zf_sock() /
// unload_zf_sock operations.
//
// load_ex writes an image of the plug-in (the bytes a library carries in its
// section .embedded_so) to a fresh file under /tmp, loads that file, makes
// the object and removes the file again, whether the load worked or not:
// while loaded, the plug-in shows in /proc/self/maps as a deleted file.
// Every failure is logged under "info" and leaves nothing behind: no file,
// no descriptor, no library handle, no object.
#include <cstddef>
#include <string>

#include "bypass/zf_client_sock.h"

class base_log;

namespace hux_bypass {

// The plug-in's file name, in the texts and for load() without a path.
constexpr char const* ZF_PLUGIN_FILE = "libdirectsock.so";

// The directory of the file that holds this code (the shared library, or the
// program it is linked into), absolute and followed by "//"; empty when it
// cannot be found.
std::string current_so_dir();

class zf_loader {
public:
    explicit zf_loader(base_log* log = nullptr);
    // Unloads (closing the object first).
    ~zf_loader();
    zf_loader(const zf_loader&) = delete;
    zf_loader& operator=(const zf_loader&) = delete;

    void set_log(base_log* log) { m_log = log; }

    // The image (size bytes at image) through a temporary file
    // "/tmp/libdirectsock_so_<microseconds>_X<six characters>". Anything
    // loaded before is unloaded first. Texts: "file_size error." (no bytes),
    // "mkstemp fail.", "ftruncate fail.", "write fail.", "close fail.",
    // "open fail.", "load_zf_sock fail." (after load's own text).
    bool load_ex(void const* image, std::size_t size);
    // dlopen of path (lazy binding), both exports, and a new object. Anything
    // loaded before is unloaded first; a failure unloads what this call
    // kept. Texts: "load zf library [libdirectsock.so] fail,reason[...]",
    // "get zf create fun [CreateZFClientSock] fail .",
    // "get zf destory fun [DestroyZFClientSock] fail .",
    // "create zf sock object fail .".
    bool load(char const* path);
    // load() of current_so_dir() + "libdirectsock.so".
    bool load();
    // Closes the object (sock_close: the plug-in's destructor frees only its
    // texts) and destroys it; the library stays loaded. Harmless without one.
    // A close that fails may leave the plug-in's work thread running (it did
    // not end within the close's bounded wait): the object is then left to
    // that thread, not destroyed, and the library is never unloaded.
    void destroy_sock();
    // destroy_sock(), then dlclose, unless a thread of the plug-in may still
    // run: then the library stays mapped for the rest of the process and is
    // only forgotten. Harmless when nothing is loaded.
    void unload();

    i_zf_tcp_client_sock* sock() const { return m_sock; }
    void* handle() const { return m_handle; }
    create_zf_client_sock_fn create_fn() const { return m_create; }
    destroy_zf_client_sock_fn destroy_fn() const { return m_destroy; }
    // The temporary file of the last load_ex that got as far as making one
    // (removed again by then); empty otherwise.
    char const* temp_path() const { return m_temp_path; }

private:
    void info(char const* text);

    base_log* m_log;
    void* m_handle;
    create_zf_client_sock_fn m_create;
    destroy_zf_client_sock_fn m_destroy;
    i_zf_tcp_client_sock* m_sock;
    // A close of the loaded plug-in's object failed: its thread may still run.
    bool m_thread_left;
    char m_temp_path[64];
};

}  // namespace hux_bypass

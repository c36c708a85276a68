#include "bypass/zf_loader.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "tools/base_log.h"
#include "tools/precise_time.h"

namespace hux_bypass {

namespace {

constexpr char const* CREATE_NAME = "CreateZFClientSock";
constexpr char const* DESTROY_NAME = "DestroyZFClientSock";

bool write_all(int fd, char const* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string directory_of(char const* path) {
    char* real = realpath(path, nullptr);
    if (real == nullptr) return std::string();
    std::string dir(real);
    free(real);
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return std::string();
    dir.resize(slash);
    return dir + "//";
}

}  // namespace

std::string current_so_dir() {
    Dl_info info;
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&current_so_dir), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0 ||
        map == nullptr)
        return std::string();
    // The program itself has an empty name in its link map (dladdr would give
    // argv[0], which need not be a path at all).
    if (map->l_name == nullptr || map->l_name[0] == '\0') return directory_of("/proc/self/exe");
    return directory_of(map->l_name);
}

zf_loader::zf_loader(base_log* log)
    : m_log(log), m_handle(nullptr), m_create(nullptr), m_destroy(nullptr), m_sock(nullptr), m_thread_left(false) {
    m_temp_path[0] = '\0';
}

zf_loader::~zf_loader() { unload(); }

void zf_loader::info(char const* text) {
    if (m_log != nullptr) m_log->write_txt("info", text);
}

bool zf_loader::load_ex(void const* image, std::size_t size) {
    unload();
    m_temp_path[0] = '\0';
    if (image == nullptr || size == 0) {
        info("file_size error.");
        return false;
    }
    std::snprintf(m_temp_path, sizeof(m_temp_path), "/tmp/libdirectsock_so_%lld_XXXXXXX",
                  precise_time::get_current_microseconds());
    // Seven X's: mkstemp replaces the last six, one stays.
    int fd = mkostemp(m_temp_path, O_CLOEXEC);
    if (fd < 0) {
        info("mkstemp fail.");
        m_temp_path[0] = '\0';
        return false;
    }
    bool ok = true;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        info("ftruncate fail.");
        ok = false;
    } else if (!write_all(fd, static_cast<char const*>(image), size)) {
        info("write fail.");
        ok = false;
    }
    // A close can report a write that failed late (a full file system).
    if (::close(fd) != 0 && ok) {
        info("close fail.");
        ok = false;
    }
    fd = -1;
    if (ok) {
        fd = ::open(m_temp_path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            info("open fail.");
            ok = false;
        }
    }
    if (ok && !load(m_temp_path)) {
        info("load_zf_sock fail.");
        ok = false;
    }
    if (fd >= 0) ::close(fd);
    // The mapping keeps the loaded file's pages; its name goes either way.
    ::unlink(m_temp_path);
    return ok;
}

bool zf_loader::load(char const* path) {
    unload();
    char text[PATH_MAX + 256];
    // dlopen(NULL) would hand back the program itself.
    void* handle = (path != nullptr && path[0] != '\0') ? dlopen(path, RTLD_LAZY) : nullptr;
    if (handle == nullptr) {
        char const* why = (path != nullptr && path[0] != '\0') ? dlerror() : "no path";
        std::snprintf(text, sizeof(text), "load zf library [%s] fail,reason[%s]", ZF_PLUGIN_FILE,
                      why != nullptr ? why : "");
        info(text);
        return false;
    }
    m_handle = handle;
    m_create = reinterpret_cast<create_zf_client_sock_fn>(dlsym(handle, CREATE_NAME));
    if (m_create == nullptr) {
        std::snprintf(text, sizeof(text), "get zf create fun [%s] fail .", CREATE_NAME);
        info(text);
        unload();
        return false;
    }
    m_destroy = reinterpret_cast<destroy_zf_client_sock_fn>(dlsym(handle, DESTROY_NAME));
    if (m_destroy == nullptr) {
        std::snprintf(text, sizeof(text), "get zf destory fun [%s] fail .", DESTROY_NAME);
        info(text);
        unload();
        return false;
    }
    m_sock = m_create();
    if (m_sock == nullptr) {
        info("create zf sock object fail .");
        unload();
        return false;
    }
    return true;
}

bool zf_loader::load() {
    const std::string dir = current_so_dir();
    if (dir.empty()) {
        unload();
        char text[256];
        std::snprintf(text, sizeof(text), "load zf library [%s] fail,reason[%s]", ZF_PLUGIN_FILE,
                      "the directory of this library is unknown");
        info(text);
        return false;
    }
    return load((dir + ZF_PLUGIN_FILE).c_str());
}

void zf_loader::destroy_sock() {
    if (m_sock == nullptr) return;
    i_zf_tcp_client_sock* sock = m_sock;
    m_sock = nullptr;
    // Without a stack sock_close only clears the connected flag, so a second
    // close after the owner's own is harmless. A close that could not stop
    // the work thread in time leaves it running on the object: freeing the
    // object or unmapping the code under it would crash that thread, so both
    // are left to the process.
    if (!sock->sock_close()) {
        m_thread_left = true;
        return;
    }
    if (m_destroy != nullptr) m_destroy(sock);
}

void zf_loader::unload() {
    destroy_sock();
    m_create = nullptr;
    m_destroy = nullptr;
    if (m_handle != nullptr) {
        if (!m_thread_left) dlclose(m_handle);
        m_handle = nullptr;
    }
    m_thread_left = false;
}

}  // namespace hux_bypass

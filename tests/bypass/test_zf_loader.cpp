// The TCPDirect plug-in loader: the image carried in .embedded_so goes through
// a temporary file that is gone as soon as the plug-in is loaded (it shows in
// /proc/self/maps as a deleted file until the unload); images and files that
// cannot be loaded give their texts and leave no file, descriptor, mapping
// or handle behind; the object is closed before it is destroyed, and a
// plug-in whose thread outlives the close stays loaded.
#include <gtest/gtest.h>

#include <ctype.h>
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <initializer_list>
#include <sstream>
#include <string>

#include "bypass/zf_loader.h"
#include "plugin/embedded_so.h"
#include "tests/support/coll_support.h"
#include "tests/support/hold_point.h"
#include "tests/support/netns_pair.h"
#include "tests/support/test_wait.h"
#include "tools/base_log.h"
#include "tools/precise_time.h"
#include "tools/test_hook.h"

using hux_bypass::current_so_dir;
using hux_bypass::zf_loader;
using hux_plugin::embedded_so_image;
using hux_plugin::embedded_so_size;

namespace {

// "/tmp/libdirectsock_so_<digits>_X" and the six characters mkstemp chose;
// the digits into us.
bool is_temp_name(const std::string& path, long long* us = nullptr) {
    static const std::string head = "/tmp/libdirectsock_so_";
    if (path.compare(0, head.size(), head) != 0) return false;
    size_t i = head.size();
    const size_t digits = i;
    while (i < path.size() && isdigit(static_cast<unsigned char>(path[i]))) ++i;
    if (i == digits || path.compare(i, 2, "_X") != 0 || path.size() != i + 2 + 6) return false;
    for (size_t k = i + 2; k < path.size(); ++k)
        if (!isalnum(static_cast<unsigned char>(path[k]))) return false;
    if (us != nullptr) *us = std::stoll(path.substr(digits, i - digits));
    return true;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Paths of the temporary plug-in files this process has mapped.
std::set<std::string> temp_mappings() {
    std::set<std::string> found;
    std::istringstream maps(slurp("/proc/self/maps"));
    std::string line;
    static const std::string deleted = " (deleted)";
    while (std::getline(maps, line)) {
        const size_t at = line.find(" /tmp/libdirectsock_so_");
        if (at == std::string::npos || line.size() < deleted.size() ||
            line.compare(line.size() - deleted.size(), deleted.size(), deleted) != 0)
            continue;
        const std::string path = line.substr(at + 1, line.size() - deleted.size() - at - 1);
        if (is_temp_name(path)) found.insert(path);
    }
    return found;
}

bool mapped(const std::string& path) {
    return slurp("/proc/self/maps").find(" " + path) != std::string::npos;
}

int open_descriptors() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n - 1;  // the directory's own
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0 || errno != ENOENT; }

// The longest a test waits for an event (HUX_TEST_WAIT_MS, default 10000).
std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

// A session log in a scratch folder (important.log goes there too).
class loader_log {
public:
    loader_log() : m_path(m_dir.path() + "/loader.log") { m_log.open(m_path.c_str()); }
    base_log* get() { return &m_log; }
    std::string text() const { return slurp(m_path); }
    bool has(const std::string& s) const { return text().find(s) != std::string::npos; }
    size_t count(const std::string& s) const { return hux_test::coll::count_of(text(), s); }

private:
    hux_test::coll::scratch_dir m_dir;
    std::string m_path;
    base_log m_log;
};

std::string plugin_file() { return slurp(HUX_DIRECTSOCK_PATH); }

std::string fake(char const* kind) { return std::string(HUX_ZF_FAKE_DIR) + "/libzf_fake_" + kind + ".so"; }

// Nothing loaded, no temporary file mapped.
void expect_nothing_loaded(const zf_loader& loader) {
    EXPECT_EQ(loader.sock(), nullptr);
    EXPECT_EQ(loader.handle(), nullptr);
    EXPECT_EQ(loader.create_fn(), nullptr);
    EXPECT_EQ(loader.destroy_fn(), nullptr);
    EXPECT_TRUE(temp_mappings().empty());
}

}  // namespace

TEST(ZfLoader, TheCarriedImageIsThePlugInFile) {
    const std::string file = plugin_file();
    ASSERT_GT(file.size(), 4u);
    ASSERT_EQ(embedded_so_size(), file.size());
    EXPECT_EQ(std::string(static_cast<char const*>(embedded_so_image()), embedded_so_size()), file);
    EXPECT_EQ(file.compare(0, 4, "\x7f" "ELF"), 0);
}

TEST(ZfLoader, EmbeddedImageLoadsThroughATempFileRemovedAtOnce) {
    loader_log log;
    const int fds = open_descriptors();
    zf_loader loader(log.get());

    const long long before = precise_time::get_current_microseconds();
    ASSERT_TRUE(hux_plugin::load_embedded_zf_sock(loader)) << log.text();
    const long long after = precise_time::get_current_microseconds();
    ASSERT_NE(loader.sock(), nullptr);
    ASSERT_NE(loader.handle(), nullptr);
    EXPECT_EQ(log.text(), "");  // nothing to report

    // The name: the clock between the calls, then "_X" and mkstemp's six.
    const std::string path = loader.temp_path();
    long long stamp = 0;
    ASSERT_TRUE(is_temp_name(path, &stamp)) << path;
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);

    // Loaded from that file, which is already gone; its descriptors are shut.
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(temp_mappings(), std::set<std::string>{path});
    EXPECT_EQ(open_descriptors(), fds);

    // The create function and the object's code come from that file.
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(loader.create_fn()), &info), 0);
    EXPECT_STREQ(info.dli_fname, path.c_str());
    void* vtable = *reinterpret_cast<void**>(loader.sock());
    ASSERT_NE(dladdr(vtable, &info), 0);
    EXPECT_STREQ(info.dli_fname, path.c_str());
    EXPECT_FALSE(loader.sock()->is_connected());

    // A second load replaces the first: one mapping, of a new file.
    ASSERT_TRUE(hux_plugin::load_embedded_zf_sock(loader));
    const std::string second = loader.temp_path();
    EXPECT_NE(second, path);
    EXPECT_EQ(temp_mappings(), std::set<std::string>{second});

    loader.unload();
    expect_nothing_loaded(loader);
    loader.unload();  // twice is harmless
    expect_nothing_loaded(loader);
    EXPECT_EQ(open_descriptors(), fds);
    EXPECT_FALSE(exists(second));

    // And it loads again after an unload; the loader's end unloads it.
    {
        zf_loader again;
        ASSERT_TRUE(hux_plugin::load_embedded_zf_sock(again));
        EXPECT_EQ(temp_mappings().size(), 1u);
    }
    EXPECT_TRUE(temp_mappings().empty());
}

TEST(ZfLoader, EmptyAndCorruptImagesLeaveNothingBehind) {
    loader_log log;
    const int fds = open_descriptors();
    zf_loader loader(log.get());

    // No bytes: refused before any file is made.
    const std::string file = plugin_file();
    EXPECT_FALSE(loader.load_ex(file.data(), 0));
    EXPECT_FALSE(loader.load_ex(nullptr, 100));
    EXPECT_EQ(log.count("file_size error."), 2u);
    EXPECT_STREQ(loader.temp_path(), "");
    expect_nothing_loaded(loader);

    // Not an ELF file, the plug-in's ELF header alone, and the plug-in for
    // another machine (e_machine, bytes 18-19, little-endian: 183, AArch64):
    // the file is written, dlopen refuses it, and the file goes.
    const std::string garbage(4096, 'z');
    const std::string header = file.substr(0, 64);  // program headers beyond the end
    std::string foreign = file;
    foreign[18] = '\xb7';
    foreign[19] = '\x00';
    for (const std::string* image : std::initializer_list<const std::string*>{&garbage, &header, &foreign}) {
        SCOPED_TRACE(image == &garbage ? "garbage" : image == &header ? "header" : "foreign");
        const size_t before = log.count("load zf library [libdirectsock.so] fail,reason[");
        EXPECT_FALSE(loader.load_ex(image->data(), image->size()));
        const std::string path = loader.temp_path();
        EXPECT_TRUE(is_temp_name(path)) << path;
        EXPECT_FALSE(exists(path));
        EXPECT_EQ(log.count("load zf library [libdirectsock.so] fail,reason["), before + 1);
        expect_nothing_loaded(loader);
        EXPECT_EQ(open_descriptors(), fds);
    }
    EXPECT_EQ(log.count("load_zf_sock fail."), 3u);
    EXPECT_EQ(log.count("load zf library [/tmp"), 0u);  // the plug-in's name, not the file's
    // dlopen's reason, then the loader's own text.
    const std::string text = log.text();
    EXPECT_LT(text.find("fail,reason["), text.find("load_zf_sock fail."));

    // A failed load after a good one leaves nothing of either.
    ASSERT_TRUE(hux_plugin::load_embedded_zf_sock(loader));
    EXPECT_FALSE(loader.load_ex(garbage.data(), garbage.size()));
    expect_nothing_loaded(loader);
    ASSERT_TRUE(hux_plugin::load_embedded_zf_sock(loader));
    EXPECT_FALSE(loader.load_ex(file.data(), 0));
    expect_nothing_loaded(loader);
    EXPECT_EQ(open_descriptors(), fds);
}

// /tmp full, then read-only: a tmpfs of its own in a child's mount
// namespace, so the folder holds exactly what the loader leaves there.
TEST(ZfLoader, FullOrReadOnlyTmpFailsCleanly) {
    HUX_NEED_NETNS();  // root
    loader_log log;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int faults = 0;
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "/tmp", "tmpfs", 0, "size=8k") != 0)
            _exit(100);
        auto tmp_is_empty = [] {
            DIR* d = opendir("/tmp");
            if (d == nullptr) return false;
            int n = 0;
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') ++n;
            closedir(d);
            return n == 0;
        };
        const int fds = open_descriptors();
        zf_loader loader(log.get());
        // Two pages of room for a plug-in of many more.
        if (embedded_so_size() <= 8192) faults |= 1;
        if (hux_plugin::load_embedded_zf_sock(loader)) faults |= 2;
        if (!tmp_is_empty() || open_descriptors() != fds || loader.handle() != nullptr) faults |= 4;
        if (mount(nullptr, "/tmp", nullptr, MS_REMOUNT | MS_RDONLY, "size=8k") != 0) _exit(101);
        if (hux_plugin::load_embedded_zf_sock(loader)) faults |= 8;
        if (!tmp_is_empty() || open_descriptors() != fds || loader.handle() != nullptr) faults |= 16;
        _exit(faults);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << log.text();
    EXPECT_EQ(log.count("write fail."), 1u) << log.text();
    EXPECT_EQ(log.count("mkstemp fail."), 1u) << log.text();
    EXPECT_EQ(log.count("load_zf_sock fail."), 0u);
}

TEST(ZfLoader, LoadingFromAPathAndItsFailures) {
    loader_log log;
    zf_loader loader(log.get());

    // The plug-in file itself: mapped while loaded, unmapped after.
    ASSERT_TRUE(loader.load(HUX_DIRECTSOCK_PATH)) << log.text();
    ASSERT_NE(loader.sock(), nullptr);
    EXPECT_TRUE(mapped(HUX_DIRECTSOCK_PATH));
    loader.unload();
    EXPECT_FALSE(mapped(HUX_DIRECTSOCK_PATH));
    expect_nothing_loaded(loader);

    // No file: dlopen's reason under the plug-in's name.
    EXPECT_FALSE(loader.load("/nonexistent/libdirectsock.so"));
    EXPECT_TRUE(log.has("load zf library [libdirectsock.so] fail,reason[/nonexistent/libdirectsock.so: "))
        << log.text();
    // No path at all is a failure too, not the program itself.
    EXPECT_FALSE(loader.load(nullptr));
    EXPECT_FALSE(loader.load(""));
    EXPECT_EQ(log.count("load zf library [libdirectsock.so] fail,reason[no path]"), 2u);
    expect_nothing_loaded(loader);

    // Libraries without the exports, or whose create gives nothing: each
    // failure names its step and unloads the library it opened.
    struct {
        char const* kind;
        char const* text;
    } const cases[] = {
        {"no_exports", "get zf create fun [CreateZFClientSock] fail ."},
        {"create_only", "get zf destory fun [DestroyZFClientSock] fail ."},
        {"null_object", "create zf sock object fail ."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string path = fake(c.kind);
        ASSERT_TRUE(exists(path)) << path;
        EXPECT_FALSE(loader.load(path.c_str()));
        EXPECT_EQ(log.count(c.text), 1u) << log.text();
        EXPECT_FALSE(mapped(path));
        EXPECT_EQ(loader.handle(), nullptr);
        EXPECT_EQ(loader.sock(), nullptr);
    }

    // load() looks beside the file that holds the loader: here the test
    // program's own folder.
    char exe[PATH_MAX];
    ASSERT_NE(realpath("/proc/self/exe", exe), nullptr);
    std::string dir(exe);
    dir.resize(dir.rfind('/'));
    EXPECT_EQ(current_so_dir(), dir + "//");
    EXPECT_FALSE(loader.load());
    EXPECT_TRUE(log.has("load zf library [libdirectsock.so] fail,reason[" + dir + "//libdirectsock.so: "))
        << log.text();
}

TEST(ZfLoader, UnloadClosesTheObjectBeforeDestroyingIt) {
    std::string journal;
    const std::string path = fake("journal");
    auto load_journal = [&](zf_loader& loader) {
        ASSERT_TRUE(loader.load(path.c_str()));
        auto set = reinterpret_cast<void (*)(std::string*)>(dlsym(loader.handle(), "zf_fake_set_journal"));
        ASSERT_NE(set, nullptr);
        set(&journal);
    };
    {
        zf_loader loader;
        load_journal(loader);
        loader.unload();
        EXPECT_EQ(journal, "sock_close;DestroyZFClientSock;~object;");
        EXPECT_FALSE(mapped(path));
        loader.unload();
        EXPECT_EQ(journal, "sock_close;DestroyZFClientSock;~object;");

        // destroy_sock keeps the library; a new load replaces a loaded one
        // the same way; the loader's end unloads.
        load_journal(loader);
        journal.clear();
        loader.destroy_sock();
        EXPECT_EQ(journal, "sock_close;DestroyZFClientSock;~object;");
        EXPECT_TRUE(mapped(path));
        loader.destroy_sock();
        load_journal(loader);
        journal.clear();
        load_journal(loader);
        EXPECT_EQ(journal, "sock_close;DestroyZFClientSock;~object;");
        journal.clear();
    }
    EXPECT_EQ(journal, "sock_close;DestroyZFClientSock;~object;");
    EXPECT_FALSE(mapped(path));
}

TEST(ZfLoader, APlugInWhoseThreadOutlivesTheCloseStaysLoaded) {
    // The object's work thread is held at a test point, so its close fails:
    // the loader neither destroys the object nor unloads the library whose
    // code that thread runs.
    const std::string path = fake("held");
    std::string journal;
    hux_test::hold_point hold("zf fake: work thread");
    zf_loader loader;
    ASSERT_TRUE(loader.load(path.c_str()));
    auto set_journal = reinterpret_cast<void (*)(std::string*)>(dlsym(loader.handle(), "zf_fake_set_journal"));
    auto set_hook = reinterpret_cast<void (*)(MORVAST::TOOLS::test_hook_fn)>(dlsym(loader.handle(), "zf_fake_set_hook"));
    ASSERT_NE(set_journal, nullptr);
    ASSERT_NE(set_hook, nullptr);
    set_journal(&journal);
    set_hook(&MORVAST::TOOLS::test_hook);
    i_zf_tcp_client_sock* sock = loader.sock();
    void* create = reinterpret_cast<void*>(loader.create_fn());
    const destroy_zf_client_sock_fn destroy = loader.destroy_fn();
    ASSERT_TRUE(sock->zf_clt_init("127.0.0.1", 1, "lo", -1, nullptr, true));
    ASSERT_TRUE(hold.wait_arrived(wait_limit()));

    loader.unload();
    EXPECT_EQ(loader.sock(), nullptr);
    EXPECT_EQ(loader.handle(), nullptr);
    EXPECT_EQ(journal, "zf_clt_init;sock_close;");
    Dl_info info;
    ASSERT_NE(dladdr(create, &info), 0);
    EXPECT_EQ(path, info.dli_fname);
    EXPECT_TRUE(mapped(path));

    // Let go, the thread ends on the object it kept; the object closes and
    // goes then.
    hold.release();
    const auto end = std::chrono::steady_clock::now() + wait_limit();
    bool closed = false;
    while (!(closed = sock->sock_close()) && std::chrono::steady_clock::now() < end) sched_yield();
    ASSERT_TRUE(closed);
    destroy(sock);
    EXPECT_TRUE(mapped(path));
}

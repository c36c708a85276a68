// The shared ring buffer: both halves show the same bytes, a span across the
// wrap reads contiguously, the private ring's file is gone at once and its
// mappings with unmmap_ringbuff; rings over one named file share their
// bytes; a ring that cannot be made leaves nothing behind; names already
// under /tmp are never taken over.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hux_tcp_quote.h"
#include "tests/support/test_wait.h"

namespace {

// How long a stray /tmp/share_* file of another process may take to go.
std::chrono::milliseconds wait_limit() { return hux_test::test_wait(); }

struct map_line {
    uintptr_t start = 0, end = 0;
    std::string perms;
    unsigned long long offset = 0;
    std::string dev;
    unsigned long inode = 0;
    std::string path;
};

std::vector<map_line> read_maps() {
    std::vector<map_line> lines;
    std::ifstream in("/proc/self/maps");
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        map_line m;
        std::string range;
        fields >> range >> m.perms >> std::hex >> m.offset >> m.dev >> std::dec >> m.inode;
        m.start = std::strtoull(range.c_str(), nullptr, 16);
        m.end = std::strtoull(range.c_str() + range.find('-') + 1, nullptr, 16);
        std::getline(fields >> std::ws, m.path);
        lines.push_back(m);
    }
    return lines;
}

map_line const* mapping_at(std::vector<map_line> const& maps, void const* at) {
    for (map_line const& m : maps) {
        if (m.start == reinterpret_cast<uintptr_t>(at)) return &m;
    }
    return nullptr;
}

// Every shared mapping of the process (a ring's reservation or halves).
std::multiset<std::string> shared_mappings() {
    std::multiset<std::string> out;
    for (map_line const& m : read_maps()) {
        if (m.perms.size() == 4 && m.perms[3] == 's') {
            out.insert(std::to_string(m.start) + " " + m.perms + " " + m.path);
        }
    }
    return out;
}

int open_descriptors() {
    int n = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(dir);
    return n;
}

std::set<std::string> share_files() {
    std::set<std::string> out;
    if (DIR* dir = opendir("/tmp")) {
        while (dirent* e = readdir(dir)) {
            if (std::strncmp(e->d_name, "share_", 6) == 0) out.insert(e->d_name);
        }
        closedir(dir);
    }
    return out;
}

// The /tmp/share_* names not in before that are still there when the wait
// limit is up (another process's ring takes its name away at once).
std::set<std::string> share_files_left(std::set<std::string> const& before) {
    auto const deadline = std::chrono::steady_clock::now() + wait_limit();
    for (;;) {
        std::set<std::string> left;
        for (std::string const& n : share_files()) {
            if (before.count(n) == 0) left.insert(n);
        }
        if (left.empty() || std::chrono::steady_clock::now() > deadline) return left;
    }
}

std::string read_file(std::string const& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A directory of the test's own, removed with what is left in it (a failed
// assertion returns early).
struct scratch_dir {
    std::string path;
    scratch_dir() {
        char templ[] = "/tmp/hux-ring-XXXXXX";
        if (char const* d = mkdtemp(templ)) path = d;
    }
    ~scratch_dir() {
        if (path.empty()) return;
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* e = readdir(dir)) {
                if (e->d_name[0] != '.') unlink((path + "/" + e->d_name).c_str());
            }
            closedir(dir);
        }
        rmdir(path.c_str());
    }
};

// A name this test planted, removed when the scope ends.
struct unlinked_at_exit {
    std::string path;
    ~unlinked_at_exit() { unlink(path.c_str()); }
};

// True when the path still names the file dev:inode of a mapping line.
bool names_file(std::string const& path, map_line const& m) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    char dev[32];
    std::snprintf(dev, sizeof dev, "%02x:%02x", major(st.st_dev), minor(st.st_dev));
    return st.st_ino == m.inode && m.dev == dev;
}

}  // namespace

TEST(SharedRing, HalvesAliasAndOnlyTheMappingsKeepTheFile) {
    for (uint64_t const len : {uint64_t{4096}, uint64_t{4194304}}) {
        SCOPED_TRACE(len);
        char* const base = static_cast<char*>(mmap_ringbuff(len));
        ASSERT_NE(base, nullptr);
        volatile char* const ring = base;

        // Byte k at base + k and base + len + k, written through either.
        for (uint64_t const k : {uint64_t{0}, len - 1}) {
            ring[len + k] = 'a';
            EXPECT_EQ(ring[k], 'a');
            ring[k] = 'b';
            EXPECT_EQ(ring[len + k], 'b');
        }

        // A writer that wraps by hand (50 bytes at the end, 50 at the start)
        // is read as one span at base + len - 50, and one span written there
        // lands half at the end and half at the start.
        char pattern[100];
        for (int i = 0; i < 100; ++i) pattern[i] = static_cast<char>('A' + i % 50);
        std::memcpy(base + len - 50, pattern, 50);
        std::memcpy(base, pattern + 50, 50);
        EXPECT_EQ(std::memcmp(base + len - 50, pattern, 100), 0);
        for (int i = 0; i < 100; ++i) pattern[i] = static_cast<char>(i);
        std::memcpy(base + len - 50, pattern, 100);
        EXPECT_EQ(std::memcmp(base, pattern + 50, 50), 0);
        EXPECT_EQ(std::memcmp(base + len - 50, pattern, 50), 0);

        // Two adjacent read-write shared mappings of one file, each from its
        // start; the file has no name any more.
        std::vector<map_line> const maps = read_maps();
        map_line const* const first = mapping_at(maps, base);
        map_line const* const second = mapping_at(maps, base + len);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(first->end, reinterpret_cast<uintptr_t>(base + len));
        EXPECT_EQ(second->end, reinterpret_cast<uintptr_t>(base + 2 * len));
        for (map_line const* m : {first, second}) {
            EXPECT_EQ(m->perms, "rw-s");
            EXPECT_EQ(m->offset, 0u);
        }
        EXPECT_NE(first->inode, 0u);
        EXPECT_EQ(second->inode, first->inode);
        EXPECT_EQ(second->dev, first->dev);
        EXPECT_EQ(second->path, first->path);
        std::string const suffix = " (deleted)";
        ASSERT_GT(first->path.size(), suffix.size());
        EXPECT_EQ(first->path.compare(0, 11, "/tmp/share_"), 0) << first->path;
        EXPECT_EQ(first->path.substr(first->path.size() - suffix.size()), suffix) << first->path;
        EXPECT_FALSE(names_file(first->path.substr(0, first->path.size() - suffix.size()), *first));

        map_line const file = *first;
        unmmap_ringbuff(base, len);
        for (map_line const& m : read_maps()) {
            EXPECT_FALSE(m.inode == file.inode && m.dev == file.dev) << "still mapped: " << m.path;
        }
    }
}

TEST(SharedRing, RingsOverOneNamedFileShareItsBytes) {
    uint64_t const len = 4096;
    scratch_dir const scratch;
    std::string const& dir = scratch.path;
    ASSERT_FALSE(dir.empty());
    std::string const path = dir + "/ring";

    char* const a = static_cast<char*>(mmap_ringbuff_by_filename(len, path.c_str()));
    ASSERT_NE(a, nullptr);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), len);
    EXPECT_EQ(a[len - 1], '1');
    std::memcpy(a, "first ring", 10);
    a[len - 1] = 'Z';

    // The second mapping finds the first one's bytes, last one included, and
    // each sees what the other writes, through either half.
    char* const b = static_cast<char*>(mmap_ringbuff_by_filename(len, path.c_str()));
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b, a);
    EXPECT_EQ(b[len - 1], 'Z');
    EXPECT_EQ(std::memcmp(b, "first ring", 10), 0);
    EXPECT_EQ(std::memcmp(b + len, "first ring", 10), 0);
    std::memcpy(b + len - 3, "wrapped", 7);
    EXPECT_EQ(std::memcmp(a + len - 3, "wrapped", 7), 0);
    EXPECT_EQ(std::memcmp(a, "pped", 4), 0);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), len);
    unmmap_ringbuff(a, len);
    unmmap_ringbuff(b, len);

    // A file longer than the ring is neither written nor cut.
    std::string const longer = dir + "/longer";
    std::string const content(3 * len, 'L');
    {
        std::ofstream out(longer, std::ios::binary);
        out << content;
    }
    char* const c = static_cast<char*>(mmap_ringbuff_by_filename(len, longer.c_str()));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[len - 1], 'L');
    unmmap_ringbuff(c, len);
    EXPECT_EQ(read_file(longer), content);

}

TEST(SharedRing, ARingThatCannotBeMadeLeavesNothing) {
    scratch_dir const scratch;
    std::string const& dir = scratch.path;
    ASSERT_FALSE(dir.empty());
    std::string const path = dir + "/ring";
    std::string const missing = dir + "/missing/ring";

    // A file that can be opened for writing but never mapped writable: a
    // sealed memory file, reached through this process's descriptor.
    int const sealed = memfd_create("hux-sealed-ring", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_GE(sealed, 0);
    ASSERT_EQ(ftruncate(sealed, 4096), 0);
    ASSERT_EQ(fcntl(sealed, F_ADD_SEALS, F_SEAL_WRITE), 0);
    std::string const sealed_path = "/proc/self/fd/" + std::to_string(sealed);

    std::set<std::string> const names_before = share_files();
    testing::internal::CaptureStderr();
    std::multiset<std::string> const mapped_before = shared_mappings();
    int const fds_before = open_descriptors();

    uint64_t const bad_lengths[] = {
        0,
        100,
        4097,
        uint64_t{1} << 63,                 // 2 x len wraps to 0
        (uint64_t{1} << 63) + 4096,        // 2 x len wraps to 8192
        ~uint64_t{0} - 4095,               // the last page multiple
        uint64_t{1} << 62,                 // fits the arithmetic, not the address space
    };
    for (uint64_t const len : bad_lengths) {
        SCOPED_TRACE(len);
        EXPECT_EQ(mmap_ringbuff(len), nullptr);
        EXPECT_EQ(mmap_ringbuff_by_filename(len, path.c_str()), nullptr);
    }
    for (char const* p : {"", missing.c_str(), dir.c_str(), "/dev/zero", sealed_path.c_str(),
                          static_cast<char const*>(nullptr)}) {
        SCOPED_TRACE(p != nullptr ? p : "(null)");
        EXPECT_EQ(mmap_ringbuff_by_filename(4096, p), nullptr);
    }

    EXPECT_EQ(open_descriptors(), fds_before);
    EXPECT_EQ(shared_mappings(), mapped_before);
    std::string const said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("mmap annonymous: "), std::string::npos) << said;
    EXPECT_NE(said.find("mmap fix1: "), std::string::npos) << said;

    EXPECT_TRUE(share_files_left(names_before).empty());
    struct stat st;
    EXPECT_NE(lstat(path.c_str(), &st), 0);
    EXPECT_NE(lstat((dir + "/missing").c_str(), &st), 0);
    struct stat sealed_st;
    ASSERT_EQ(fstat(sealed, &sealed_st), 0);
    EXPECT_EQ(sealed_st.st_size, 4096);
    ::close(sealed);
}

TEST(SharedRing, NamesAlreadyTakenAreNeverUsed) {
    scratch_dir const scratch;
    std::string const& dir = scratch.path;
    ASSERT_FALSE(dir.empty());
    std::string const target = dir + "/target";
    std::string const target_text = "the link's target\n";
    {
        std::ofstream out(target, std::ios::binary);
        out << target_text;
    }
    std::string const file_text = "planted\n";

    // A regular file under this second's name and a link under the next
    // one's, so the call meets one of them whichever second it runs in. Any
    // second that ends before the call does is tried again.
    auto const deadline = std::chrono::steady_clock::now() + wait_limit();
    bool tried = false;
    while (!tried) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no call fitted in the two planted seconds";
        long const now = static_cast<long>(std::time(nullptr));
        std::string const file = "/tmp/share_" + std::to_string(now);
        std::string const link = "/tmp/share_" + std::to_string(now + 1);
        // Another process's ring may hold either name for a moment.
        int const fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) continue;
        unlinked_at_exit const file_guard{file};
        ssize_t const wrote = write(fd, file_text.data(), file_text.size());
        ::close(fd);
        ASSERT_EQ(wrote, static_cast<ssize_t>(file_text.size()));
        if (symlink(target.c_str(), link.c_str()) != 0) continue;
        unlinked_at_exit const link_guard{link};
        struct stat file_st, link_st;
        ASSERT_EQ(lstat(file.c_str(), &file_st), 0);
        ASSERT_EQ(lstat(link.c_str(), &link_st), 0);

        char* const base = static_cast<char*>(mmap_ringbuff(4096));
        long const after = static_cast<long>(std::time(nullptr));
        if (base != nullptr) std::memset(base, 'X', 8192);
        std::vector<map_line> const maps = read_maps();
        map_line const* const m = base != nullptr ? mapping_at(maps, base) : nullptr;
        map_line const mapped = m != nullptr ? *m : map_line{};
        if (base != nullptr) unmmap_ringbuff(base, 4096);

        // Nothing planted was written or removed.
        struct stat st;
        EXPECT_EQ(lstat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_ino, file_st.st_ino);
        EXPECT_EQ(read_file(file), file_text);
        EXPECT_EQ(lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(st.st_ino, link_st.st_ino);
        EXPECT_EQ(read_file(target), target_text);
        if (after > now + 1) continue;
        tried = true;

        // The ring took a name of its own, "/tmp/share_<second>_<n>", and
        // that name went with it.
        ASSERT_NE(base, nullptr);
        ASSERT_NE(m, nullptr);
        std::string const suffix = " (deleted)";
        ASSERT_GT(mapped.path.size(), suffix.size());
        std::string const name = mapped.path.substr(0, mapped.path.size() - suffix.size());
        EXPECT_EQ(mapped.path.substr(name.size()), suffix);
        bool const alternate = name.rfind(file + "_", 0) == 0 || name.rfind(link + "_", 0) == 0;
        EXPECT_TRUE(alternate) << name;
        std::string const n = name.substr(name.rfind('_') + 1);
        EXPECT_FALSE(n.empty());
        EXPECT_EQ(n.find_first_not_of("0123456789"), std::string::npos) << name;
        EXPECT_FALSE(names_file(name, mapped)) << name;
    }
}

// The shared ring buffer: one file mapped twice back to back. The address
// space for both halves is reserved first (shared, anonymous, no access), so
// that the two file mappings are laid over it side by side without racing
// another mapping of this process for the second half.
#include "hux_tcp_quote.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

// Alternative names tried for a private ring when the plain one is taken.
constexpr int ALTERNATE_NAMES = 100;

// A ring is a non-zero whole number of pages whose double still fits both
// the address arithmetic and a file offset.
bool ring_length_ok(uint64_t len) {
    long const page = sysconf(_SC_PAGESIZE);
    if (len == 0 || page <= 0 || len % static_cast<uint64_t>(page) != 0) return false;
    if (len > std::numeric_limits<size_t>::max() / 2) return false;
    return len - 1 <= static_cast<uint64_t>(std::numeric_limits<off_t>::max());
}

// Reserves 2 x len bytes of address space for a ring, or null: taking it
// before any file is opened means a ring that cannot fit leaves no file.
char* reserve(uint64_t len) {
    void* const base = mmap(nullptr, 2 * static_cast<size_t>(len), PROT_NONE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        std::perror("mmap annonymous");
        return nullptr;
    }
    return static_cast<char*>(base);
}

// Maps the open file fd twice, back to back, over the reservation base of
// reserve(len), and gives base; on failure releases the whole reservation
// and gives null. A file shorter than len is first made len bytes long by
// writing "1" at its last byte; a long enough one is not written. The caller
// keeps fd and closes it.
void* map_twice(int fd, uint64_t len, char* base) {
    size_t const half = static_cast<size_t>(len);
    struct stat st;
    if (fstat(fd, &st) != 0) {
        std::perror("mmap fstat");
    } else if (!S_ISREG(st.st_mode)) {
        // Only a regular file gives both halves the same pages (two shared
        // mappings of a device such as /dev/zero do not alias).
        std::fputs("mmap file: not a regular file\n", stderr);
    } else if (static_cast<uint64_t>(st.st_size) < len && pwrite(fd, "1", 1, static_cast<off_t>(len - 1)) != 1) {
        // Pages past the end of the file would raise SIGBUS when touched.
        std::perror("mmap extend");
    } else if (mmap(base, half, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) == MAP_FAILED) {
        std::perror("mmap fix1");
    } else if (mmap(base + half, half, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) == MAP_FAILED) {
        std::perror("mmap fix2");
    } else {
        return base;
    }
    munmap(base, 2 * half);
    return nullptr;
}

// Creates a new file of this process only: never opens, writes or follows
// something already there. The name is "/tmp/share_<seconds>", or
// "/tmp/share_<seconds>_<n>" when that is taken (no plain name of another
// second has the underscore). -1 when no name could be had.
int create_private_file(char* path, size_t size) {
    long const now = static_cast<long>(std::time(nullptr));
    for (int n = 0; n <= ALTERNATE_NAMES; ++n) {
        if (n == 0) {
            std::snprintf(path, size, "/tmp/share_%ld", now);
        } else {
            std::snprintf(path, size, "/tmp/share_%ld_%d", now, n);
        }
        int const fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            std::perror("mmap open");
            return -1;
        }
    }
    std::fputs("mmap open: every name for this second is taken\n", stderr);
    return -1;
}

}  // namespace

extern "C" void* mmap_ringbuff(uint64_t len) {
    if (!ring_length_ok(len)) return nullptr;
    char* const base = reserve(len);
    if (base == nullptr) return nullptr;
    char path[64];
    int const fd = create_private_file(path, sizeof path);
    if (fd < 0) {
        munmap(base, 2 * static_cast<size_t>(len));
        return nullptr;
    }
    // The name goes at once: the open file and then the mappings keep the
    // pages, and nothing else can find them.
    unlink(path);
    void* const ring = map_twice(fd, len, base);
    ::close(fd);
    return ring;
}

extern "C" void* mmap_ringbuff_by_filename(uint64_t len, const char* path) {
    if (!ring_length_ok(len) || path == nullptr) return nullptr;
    char* const base = reserve(len);
    if (base == nullptr) return nullptr;
    int const fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0777);
    if (fd < 0) {
        std::perror("mmap open");
        munmap(base, 2 * static_cast<size_t>(len));
        return nullptr;
    }
    void* const ring = map_twice(fd, len, base);
    ::close(fd);
    return ring;
}

extern "C" void unmmap_ringbuff(void* base, uint64_t len) {
    if (base == nullptr || !ring_length_ok(len)) return;
    char* const start = static_cast<char*>(base);
    munmap(start, static_cast<size_t>(len));
    munmap(start + len, static_cast<size_t>(len));
}

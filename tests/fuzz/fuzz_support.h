// What the fuzz targets share: reading every byte a callback is given and
// the cut loop that hands a stream to a receive entry piece by piece.
// Header only; each target is one program.
#ifndef HUX_TESTS_FUZZ_SUPPORT_H
#define HUX_TESTS_FUZZ_SUPPORT_H

#include <sanitizer/asan_interface.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace hux_fuzz {

[[noreturn]] inline void fail(const char* target, const char* what) {
    fprintf(stderr, "%s: %s\n", target, what);
    fflush(stderr);
    abort();
}

// ---------------------------------------------------------------- reading

// Every byte a callback is given is read in one checked copy, so the address
// sanitizer sees a record that is too short or already freed (a byte loop
// would pay a coverage callback per byte).
inline std::atomic<unsigned> g_sink{0};

inline void touch(const void* p, size_t n) {
    thread_local unsigned char copy[1024];
    const unsigned char* b = static_cast<const unsigned char*>(p);
    while (n > 0) {
        const size_t k = n < sizeof(copy) ? n : sizeof(copy);
        memcpy(copy, b, k);
        g_sink.fetch_add(copy[k - 1], std::memory_order_relaxed);
        b += k;
        n -= k;
    }
}

// ---------------------------------------------------------------- cut loop

// Hands `len` bytes to `step` as a transport's receive entry does: they
// arrive in pieces of `piece` bytes (0: all at once); each piece is appended
// to what is left over, and step(data, size) is called from the front while
// it consumes; what it leaves waits for the next piece. `step` returns the
// bytes it consumed (0 or less: wait); consuming more than it was shown
// aborts, naming `target`.
//
// The bytes a step is shown lie in one heap block that lives as long as the
// feeder, and under the address sanitizer every byte of it around them is
// poisoned: a read past the end of what has arrived, or before the front of
// a piece's first call, is caught at the first byte. Once something is
// consumed, what is left moves to a fresh 8-byte-aligned place further on
// and the bytes it leaves are poisoned, so a pointer kept into a consumed
// message is caught as well; each stream starts where the last one ended,
// and the block is only reused from its start once it is full. (A buffer
// allocated per piece, holding a copy of everything cached, did the same at
// the cost of an allocation, which the sanitizer fills and records, and a
// copy per piece: most of the time.)
class piece_feeder {
public:
    explicit piece_feeder(const char* target, size_t capacity = 1 << 20) : m_target(target) { make_block(capacity); }
    ~piece_feeder() { ASAN_UNPOISON_MEMORY_REGION(m_block.get(), m_capacity); }
    piece_feeder(const piece_feeder&) = delete;
    piece_feeder& operator=(const piece_feeder&) = delete;

    template <class STEP>
    void feed(const uint8_t* bytes, size_t len, size_t piece, STEP&& step) {
        if (len == 0) return;
        m_base = m_next;
        m_have = 0;
        if (m_base + len > m_capacity) move_window(0, len);
        size_t at = 0;
        while (at < len) {
            const size_t n = piece == 0 || len - at < piece ? len - at : piece;
            ASAN_UNPOISON_MEMORY_REGION(end(), n);
            memcpy(end(), bytes + at, n);
            m_have += n;
            at += n;
            size_t offset = 0;
            while (offset < m_have) {
                const long long used = step(front() + offset, m_have - offset);
                if (used <= 0) break;
                if (static_cast<unsigned long long>(used) > m_have - offset) {
                    char text[128];
                    snprintf(text, sizeof(text), "consumed %lld of %zu bytes", used, m_have - offset);
                    fail(m_target, text);
                }
                offset += static_cast<size_t>(used);
            }
            if (offset > 0) move_window(offset, len - at);
        }
        ASAN_POISON_MEMORY_REGION(front(), m_have);
        m_next = aligned(m_base + m_have);
    }

private:
    // The first bytes of a block stay poisoned: before every window lies at
    // least one poisoned 8-byte granule.
    static constexpr size_t kLead = 16;

    static size_t aligned(size_t at) { return (at + 7) & ~static_cast<size_t>(7); }
    unsigned char* front() { return m_block.get() + m_base; }
    unsigned char* end() { return front() + m_have; }

    void make_block(size_t capacity) {
        m_block.reset(new unsigned char[capacity]);
        m_capacity = capacity;
        ASAN_POISON_MEMORY_REGION(m_block.get(), m_capacity);
        m_base = m_next = kLead;
        m_have = 0;
    }

    // Drops `used` bytes from the front of the window and moves the rest to
    // the next aligned place behind it, with room for the `coming` bytes
    // still to arrive; the bytes it leaves are poisoned. Past the end of the
    // block the rest moves to its start instead (when the window is not
    // there), else to a new, larger block.
    void move_window(size_t used, size_t coming) {
        const size_t left = m_have - used;
        size_t next = aligned(m_base + m_have);
        if (next + left + coming > m_capacity) {
            next = kLead;
            if (next + left + coming > m_base) {
                std::unique_ptr<unsigned char[]> old(m_block.release());
                const size_t old_capacity = m_capacity;
                const unsigned char* rest = old.get() + m_base + used;
                make_block(2 * (m_capacity + left + coming));
                ASAN_UNPOISON_MEMORY_REGION(front(), left);
                memcpy(front(), rest, left);
                m_have = left;
                ASAN_UNPOISON_MEMORY_REGION(old.get(), old_capacity);
                return;
            }
        }
        ASAN_UNPOISON_MEMORY_REGION(m_block.get() + next, left);
        memcpy(m_block.get() + next, front() + used, left);
        ASAN_POISON_MEMORY_REGION(front(), m_have);
        m_base = next;
        m_have = left;
    }

    const char* m_target;
    std::unique_ptr<unsigned char[]> m_block;
    size_t m_capacity = 0;
    size_t m_base = 0;  // the window: m_have bytes from m_base
    size_t m_have = 0;
    size_t m_next = 0;  // where the next stream starts
};

}  // namespace hux_fuzz

#endif

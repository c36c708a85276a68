#pragma once

// Counts the heap allocations of chosen threads: every operator new and,
// outside the sanitizer builds (whose runtime owns malloc), malloc and its
// kin. It replaces the program's allocation functions, so a test program
// includes it in exactly one source file. A thread counts while
// hux_alloc::t_counted is set on it and hux_alloc::g_counting is on.
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HUX_COUNT_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define HUX_COUNT_MALLOC 0
#endif
#endif
#ifndef HUX_COUNT_MALLOC
#define HUX_COUNT_MALLOC 1
#endif

// ---------------------------------------------------------------- counting

namespace hux_alloc {

// Set on the threads whose allocations count. Plain data in the program's own
// thread-local block: reading it never allocates.
inline thread_local bool t_counted = false;
// Counting is on while this is set.
inline std::atomic<bool> g_counting{false};
// Allocations counted, and the size of the first.
inline std::atomic<uint64_t> g_allocations{0};
inline std::atomic<uint64_t> g_first_size{0};

inline void note_allocation(size_t size) {
    if (!t_counted || !g_counting.load(std::memory_order_relaxed)) return;
    if (g_allocations.fetch_add(1) == 0) g_first_size = size;
}

// One operator new whose block escapes, so that the compiler keeps it: a
// probe that shows the counter sees this thread.
inline void allocate_once() {
    void* volatile block = ::operator new(64);
    ::operator delete(block);
}

}  // namespace hux_alloc

using hux_alloc::note_allocation;

#if HUX_COUNT_MALLOC
// Every malloc of the process comes here (operator new of the C++ library
// too) and goes on to the C library's allocator.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    note_allocation(size);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    note_allocation(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    note_allocation(size);
    return __libc_realloc(block, size);
}
void free(void* block) { __libc_free(block); }
void* memalign(size_t alignment, size_t size) {
    note_allocation(size);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    note_allocation(size);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    note_allocation(size);
    void* block = __libc_memalign(alignment, size);
    if (!block) return ENOMEM;
    *out = block;
    return 0;
}
}

namespace {
void* allocate(size_t size) { return __libc_malloc(size ? size : 1); }
void* allocate_aligned(size_t size, size_t alignment) { return __libc_memalign(alignment, size ? size : 1); }
void release(void* block) { __libc_free(block); }
}  // namespace
#else
namespace {
void* allocate(size_t size) { return std::malloc(size ? size : 1); }
void* allocate_aligned(size_t size, size_t alignment) {
    void* block = nullptr;
    return posix_memalign(&block, alignment < sizeof(void*) ? sizeof(void*) : alignment, size ? size : 1) == 0 ? block
                                                                                                          : nullptr;
}
// Kept out of line: inlined into operator delete, the compiler would take
// this free() for a mismatched release of a new-expression.
__attribute__((noinline)) void release(void* block) { std::free(block); }
}  // namespace
#endif

// operator new counts for itself and allocates without passing the count on.
void* operator new(size_t size) {
    note_allocation(size);
    void* block = allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    note_allocation(size);
    return allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return operator new(size, std::nothrow); }
void* operator new(size_t size, std::align_val_t alignment) {
    note_allocation(size);
    void* block = allocate_aligned(size, static_cast<size_t>(alignment));
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new[](size_t size, std::align_val_t alignment) { return operator new(size, alignment); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, size_t) noexcept { release(block); }
void operator delete[](void* block, size_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { release(block); }

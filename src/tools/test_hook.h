// A point where a test can hold a thread. Library code names the point where
// a race is decided ("send: transports loaded", "conn: lost state set") and
// calls test_hook there; the hook is null unless a test program set it, so in
// an application each point costs one relaxed load and a branch not taken.
// The tests link the same static libraries that go into the shipped ones, so
// the points they hold are the points the libraries run.
#ifndef MORVAST_TOOLS_TEST_HOOK_H
#define MORVAST_TOOLS_TEST_HOOK_H

#include <atomic>

namespace MORVAST {
namespace TOOLS {

// point: a fixed text naming the place; object: the object the thread works on.
typedef void (*test_hook_fn)(const char* point, const void* object);

extern std::atomic<test_hook_fn> g_test_hook;

inline void test_hook(const char* point, const void* object) {
    const test_hook_fn hook = g_test_hook.load(std::memory_order_relaxed);
    if (__builtin_expect(hook != nullptr, 0)) hook(point, object);
}

}  // namespace TOOLS
}  // namespace MORVAST

#endif

// The send spin lock of the trade sessions: one 32-bit word, taken by
// exchanging 1 into it and spinning with a pause while it was already 1,
// released by storing 0. Releasing a lock that is not held is fatal.
#ifndef HUX_ULL_MLOCK_H
#define HUX_ULL_MLOCK_H

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <immintrin.h>

#include "tools/test_hook.h"

namespace ULTRA_LOW_LATENCY_CLIENT {

struct ull_mlock {
    std::atomic<uint32_t> word{0};
};

inline void ull_lock(ull_mlock* ml) {
    while (ml->word.exchange(1, std::memory_order_acquire) == 1) {
        // Only a lock found taken reaches the test point.
        MORVAST::TOOLS::test_hook("spin lock: busy", ml);
        while (ml->word.load(std::memory_order_relaxed) != 0) _mm_pause();
    }
}

inline void ull_unlock(ull_mlock* ml) {
    if (ml->word.load(std::memory_order_relaxed) == 0) {
        fprintf(stderr, "Assertion `ml->__lock' failed.\n");
        abort();
    }
    ml->word.store(0, std::memory_order_release);
}

}  // namespace ULTRA_LOW_LATENCY_CLIENT

#endif

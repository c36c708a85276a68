#pragma once

// Fatal failures of the kernel-bypass transports: a vendor call that failed
// or a condition that does not hold ends the process. Standard error gets
//   ERROR: TRY(<call>) failed          or   ERROR: TEST(<condition>) failed
//   ERROR: at <unit>:<line>
//   ERROR: rc=<rc> errno=<errno> (<text>)   (calls only)
// and the process aborts. <unit> is the source unit's own name (for example
// "mv_ef_vi_sender"), given by the unit, so the line does not depend on where
// the tree was built.
//
// A unit defines its short forms once:
//   #define TRY(x) HUX_BYPASS_TRY("mv_ef_vi_sender", x)
//   #define TEST(x) HUX_BYPASS_TEST("mv_ef_vi_sender", x)

#include <cerrno>

// kind: "TRY" or "TEST"; text: the call or condition as written. The third
// line is printed when with_rc is set.
[[noreturn]] void bypass_fatal(char const* kind, char const* text, char const* unit, int line, bool with_rc, int rc,
                               int err);

// A call that fails when it returns a negative value.
#define HUX_BYPASS_TRY(unit, x)                                               \
    do {                                                                      \
        const int hux_bypass_rc_ = static_cast<int>(x);                       \
        if (hux_bypass_rc_ < 0) {                                             \
            const int hux_bypass_errno_ = errno;                              \
            bypass_fatal("TRY", #x, unit, __LINE__, true, hux_bypass_rc_, hux_bypass_errno_); \
        }                                                                     \
    } while (0)

// A condition that must hold.
#define HUX_BYPASS_TEST(unit, x)                                              \
    do {                                                                      \
        if (!(x)) bypass_fatal("TEST", #x, unit, __LINE__, false, 0, 0);      \
    } while (0)

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
//
// The second form names the function and a prefixed kind, and puts the
// error text beside the result:
//   ERROR: <function>: <kind>(<call>) failed     (kind: "ZF_TRY", "ZF_TEST")
//   ERROR: at <unit>:<line>
//   ERROR: rc=<rc> (<text of -rc>) errno=<errno>   (calls only)
// The short forms hand over the text themselves (#x), so that a macro in the
// call (NULL) is printed as written, not as what it expands to:
//   #define ZF_TRY(x) HUX_BYPASS_FN_TRY("ZF_TRY", "zf_tcp_client_sock", #x, x)
//   #define ZF_TEST(x) HUX_BYPASS_FN_TEST("ZF_TEST", "zf_tcp_client_sock", #x, x)

#include <cerrno>

// kind: "TRY" or "TEST"; text: the call or condition as written. The third
// line is printed when with_rc is set.
[[noreturn]] void bypass_fatal(char const* kind, char const* text, char const* unit, int line, bool with_rc, int rc,
                               int err);

// The second form: func is the failing function's name (__func__).
[[noreturn]] void bypass_fatal_in(char const* func, char const* kind, char const* text, char const* unit, int line,
                                  bool with_rc, int rc, int err);

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

// The second form of both.
#define HUX_BYPASS_FN_TRY(kind, unit, text, x)                                     \
    do {                                                                      \
        const int hux_bypass_rc_ = static_cast<int>(x);                       \
        if (hux_bypass_rc_ < 0) {                                             \
            const int hux_bypass_errno_ = errno;                              \
            bypass_fatal_in(__func__, kind, text, unit, __LINE__, true, hux_bypass_rc_, hux_bypass_errno_); \
        }                                                                     \
    } while (0)

#define HUX_BYPASS_FN_TEST(kind, unit, text, x)                                   \
    do {                                                                      \
        if (!(x)) bypass_fatal_in(__func__, kind, text, unit, __LINE__, false, 0, 0); \
    } while (0)

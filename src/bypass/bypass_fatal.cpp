#include "bypass/bypass_fatal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Both forms: the failure line (with the function when there is one), the
// place, the result line, then abort.
[[noreturn]] void report_and_abort(char const* func, char const* kind, char const* text, char const* unit, int line,
                                   bool with_rc, int rc, int err) {
    if (func != nullptr)
        std::fprintf(stderr, "ERROR: %s: %s(%s) failed\n", func, kind, text);
    else
        std::fprintf(stderr, "ERROR: %s(%s) failed\n", kind, text);
    std::fprintf(stderr, "ERROR: at %s:%d\n", unit, line);
    if (with_rc) {
        if (func != nullptr)
            std::fprintf(stderr, "ERROR: rc=%d (%s) errno=%d\n", rc, std::strerror(rc < 0 ? -rc : rc), err);
        else
            std::fprintf(stderr, "ERROR: rc=%d errno=%d (%s)\n", rc, err, std::strerror(err));
    }
    std::fflush(stderr);
    std::abort();
}

}  // namespace

void bypass_fatal(char const* kind, char const* text, char const* unit, int line, bool with_rc, int rc, int err) {
    report_and_abort(nullptr, kind, text, unit, line, with_rc, rc, err);
}

void bypass_fatal_in(char const* func, char const* kind, char const* text, char const* unit, int line, bool with_rc,
                     int rc, int err) {
    report_and_abort(func, kind, text, unit, line, with_rc, rc, err);
}

#include "bypass/bypass_fatal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void bypass_fatal(char const* kind, char const* text, char const* unit, int line, bool with_rc, int rc, int err) {
    std::fprintf(stderr, "ERROR: %s(%s) failed\n", kind, text);
    std::fprintf(stderr, "ERROR: at %s:%d\n", unit, line);
    if (with_rc) std::fprintf(stderr, "ERROR: rc=%d errno=%d (%s)\n", rc, err, std::strerror(err));
    std::fflush(stderr);
    std::abort();
}

// Hex text of bytes and records, for golden-image comparisons in tests.
#ifndef HUX_TESTS_HEX_H
#define HUX_TESTS_HEX_H

#include <cstddef>
#include <string>

namespace hux_test {

inline std::string hex_of(const void* data, size_t len) {
    static const char digits[] = "0123456789abcdef";
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string out;
    for (size_t i = 0; i < len; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 0x0f];
    }
    return out;
}

// The whole record, byte by byte.
template <typename REC>
std::string hex_of(const REC& rec) {
    return hex_of(&rec, sizeof(rec));
}

}  // namespace hux_test

#endif

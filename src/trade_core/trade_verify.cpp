#include "trade_core/trade_verify.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <nmmintrin.h>
#define HUX_VERIFY_X86 1
#endif

namespace HUX_TRADE_CORE {

namespace {

constexpr uint32_t kCastagnoliReflected = 0x82F63B78u;

struct Crc32cTable {
    uint32_t v[256];
};

constexpr Crc32cTable make_crc32c_table() {
    Crc32cTable t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ kCastagnoliReflected : c >> 1;
        t.v[i] = c;
    }
    return t;
}

constexpr Crc32cTable kCrc32cTable = make_crc32c_table();

// The 17 pieces of the image (offset, width), in the order they are summed.
// They are fixed positions and do not follow the message's field boundaries.
struct Piece {
    uint8_t offset;
    uint8_t width;
};
constexpr Piece kPieces[17] = {{5, 4},  {9, 4},  {29, 1}, {30, 1}, {31, 4}, {35, 4},
                               {39, 2}, {49, 1}, {50, 1}, {53, 4}, {57, 2}, {59, 4},
                               {63, 2}, {65, 4}, {69, 1}, {71, 1}, {73, 4}};

// A double sent as an integer in units of 1/10000: values above 0.00001 are
// rounded by adding 0.00001 and truncating toward zero, values below -0.00001
// by subtracting it; anything between (and NaN) is 0. A value whose scaled
// form does not fit an int64 is clamped to the int64 limit of its sign rather
// than left to wrap.
int64_t price_to_int64(double value) {
    double scaled;
    if (value > 0.00001)
        scaled = (value + 0.00001) * 10000.0;
    else if (value < -0.00001)
        scaled = (value - 0.00001) * 10000.0;
    else
        return 0;
    if (scaled >= 9223372036854775808.0) return INT64_MAX;
    if (scaled < -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(scaled);
}

#ifdef HUX_VERIFY_X86
__attribute__((target("sse4.2"))) inline uint32_t hw_u32(uint32_t crc, const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return _mm_crc32_u32(crc, v);
}

__attribute__((target("sse4.2"))) inline uint32_t hw_u16(uint32_t crc, const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return _mm_crc32_u16(crc, v);
}
#endif

}  // namespace

uint32_t crc32c_update_sw(uint32_t crc, const void* data, size_t len) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < len; ++i) crc = kCrc32cTable.v[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return crc;
}

bool crc32c_hw_available() {
#ifdef HUX_VERIFY_X86
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.2") != 0;
    }();
    return available;
#else
    return false;
#endif
}

#ifdef HUX_VERIFY_X86
__attribute__((target("sse4.2"))) uint32_t crc32c_update_hw(uint32_t crc, const void* data, size_t len) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t i = 0;
    for (; i + 4 <= len; i += 4) crc = hw_u32(crc, p + i);
    for (; i < len; ++i) crc = _mm_crc32_u8(crc, p[i]);
    return crc;
}

// 17 crc32 steps at fixed offsets: no loop, no table.
__attribute__((target("sse4.2"))) uint32_t verify_crc_hw(const uint8_t* image) {
    uint32_t c = 0;
    c = hw_u32(c, image + 5);
    c = hw_u32(c, image + 9);
    c = _mm_crc32_u8(c, image[29]);
    c = _mm_crc32_u8(c, image[30]);
    c = hw_u32(c, image + 31);
    c = hw_u32(c, image + 35);
    c = hw_u16(c, image + 39);
    c = _mm_crc32_u8(c, image[49]);
    c = _mm_crc32_u8(c, image[50]);
    c = hw_u32(c, image + 53);
    c = hw_u16(c, image + 57);
    c = hw_u32(c, image + 59);
    c = hw_u16(c, image + 63);
    c = hw_u32(c, image + 65);
    c = _mm_crc32_u8(c, image[69]);
    c = _mm_crc32_u8(c, image[71]);
    c = hw_u32(c, image + 73);
    return c;
}
#else
uint32_t crc32c_update_hw(uint32_t crc, const void* data, size_t len) {
    return crc32c_update_sw(crc, data, len);
}

uint32_t verify_crc_hw(const uint8_t* image) {
    return verify_crc_sw(image);
}
#endif

uint32_t verify_crc_sw(const uint8_t* image) {
    uint32_t c = 0;
    for (const Piece& piece : kPieces) c = crc32c_update_sw(c, image + piece.offset, piece.width);
    return c;
}

void build_verify_image(uint8_t (&image)[kVerifyImageLen], const HUX_EnterOrderField& order,
                        uint32_t user_id) {
    std::memset(image, 0, sizeof image);
    image[8] = static_cast<uint8_t>(user_id & 0xFFu);

    const uint32_t opt_2 = order.opt_2;
    std::memcpy(image + 28, &opt_2, sizeof opt_2);
    const int64_t price = price_to_int64(order.price);
    std::memcpy(image + 32, &price, sizeof price);
    const int64_t second_price = price_to_int64(order.second_price);
    std::memcpy(image + 40, &second_price, sizeof second_price);

    // Account: at most 15 characters, the rest of its 16 bytes zero. Symbol:
    // at most 19 of its 20. Neither field needs a NUL in the record.
    for (size_t i = 0; i < 15 && order.account[i] != '\0'; ++i) image[60 + i] = static_cast<uint8_t>(order.account[i]);
    for (size_t i = 0; i < 19 && order.symbol[i] != '\0'; ++i) image[76 + i] = static_cast<uint8_t>(order.symbol[i]);
}

uint32_t calc_verification_value(const HUX_EnterOrderField& order, uint32_t user_id) {
    uint8_t image[kVerifyImageLen];
    build_verify_image(image, order, user_id);
    return sse42_crc32_10(image);
}

}  // namespace HUX_TRADE_CORE

extern "C" uint32_t sse42_crc32_10(const void* image) {
    const uint8_t* p = static_cast<const uint8_t*>(image);
    return HUX_TRADE_CORE::crc32c_hw_available() ? HUX_TRADE_CORE::verify_crc_hw(p)
                                                 : HUX_TRADE_CORE::verify_crc_sw(p);
}

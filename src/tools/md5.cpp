// MD5 message digest (RFC 1321) and its upper-case hex text.
#include "tools/md5.h"

#include <cstring>

namespace MORVAST {
namespace TOOLS {

namespace {

inline uint32_t rotate_left(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t load_le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void store_le32(uint32_t v, unsigned char* p) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// The four round functions.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// Sine-derived constants T[1..64]: floor(2^32 * |sin(i)|).
const uint32_t T[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Per-round shift amounts, four per round.
const unsigned S[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

const unsigned char padding[64] = {0x80};

}  // namespace

void md5_starts(md5_context* ctx) {
    ctx->total[0] = 0;
    ctx->total[1] = 0;
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
}

void md5_process(md5_context* ctx, unsigned char data[64]) {
    uint32_t X[16];
    for (int i = 0; i < 16; ++i) X[i] = load_le32(data + 4 * i);

    uint32_t a = static_cast<uint32_t>(ctx->state[0]);
    uint32_t b = static_cast<uint32_t>(ctx->state[1]);
    uint32_t c = static_cast<uint32_t>(ctx->state[2]);
    uint32_t d = static_cast<uint32_t>(ctx->state[3]);

    for (unsigned i = 0; i < 64; ++i) {
        const unsigned round = i / 16;
        uint32_t f;
        unsigned k;  // message word of this step
        switch (round) {
            case 0: f = F(b, c, d); k = i; break;
            case 1: f = G(b, c, d); k = (5 * i + 1) % 16; break;
            case 2: f = H(b, c, d); k = (3 * i + 5) % 16; break;
            default: f = I(b, c, d); k = (7 * i) % 16; break;
        }
        const uint32_t next = b + rotate_left(a + f + X[k] + T[i], S[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }

    ctx->state[0] = static_cast<uint32_t>(ctx->state[0] + a);
    ctx->state[1] = static_cast<uint32_t>(ctx->state[1] + b);
    ctx->state[2] = static_cast<uint32_t>(ctx->state[2] + c);
    ctx->state[3] = static_cast<uint32_t>(ctx->state[3] + d);
}

void md5_update(md5_context* ctx, unsigned char* input, size_t length) {
    if (length == 0 || !input) return;

    size_t left = static_cast<size_t>(ctx->total[0] & 0x3F);
    const size_t fill = 64 - left;

    // Byte count: the low word keeps 32 bits and carries into the high word.
    const uint64_t low = ctx->total[0] + (static_cast<uint64_t>(length) & 0xFFFFFFFFu);
    ctx->total[1] += (static_cast<uint64_t>(length) >> 32) + (low >> 32);
    ctx->total[0] = low & 0xFFFFFFFFu;

    if (left && length >= fill) {
        std::memcpy(ctx->buffer + left, input, fill);
        md5_process(ctx, ctx->buffer);
        input += fill;
        length -= fill;
        left = 0;
    }
    while (length >= 64) {
        md5_process(ctx, input);
        input += 64;
        length -= 64;
    }
    if (length > 0) std::memcpy(ctx->buffer + left, input, length);
}

void md5_finish(md5_context* ctx, unsigned char digest[16]) {
    // Message length in bits, 64-bit little-endian.
    const uint64_t bits = ((ctx->total[1] << 32) | (ctx->total[0] & 0xFFFFFFFFu)) << 3;
    unsigned char msglen[8];
    store_le32(static_cast<uint32_t>(bits), msglen);
    store_le32(static_cast<uint32_t>(bits >> 32), msglen + 4);

    // Pad to 56 bytes modulo 64, then the length.
    const size_t last = static_cast<size_t>(ctx->total[0] & 0x3F);
    const size_t padn = last < 56 ? 56 - last : 120 - last;
    md5_update(ctx, const_cast<unsigned char*>(padding), padn);
    md5_update(ctx, msglen, 8);

    for (int i = 0; i < 4; ++i) store_le32(static_cast<uint32_t>(ctx->state[i]), digest + 4 * i);
}

void encrypt_md5(const char* msg, int nLen, char* output) {
    if (!output) return;
    // A negative length, or no message at all, is the empty message.
    const size_t len = (msg && nLen > 0) ? static_cast<size_t>(nLen) : 0;

    md5_context ctx;
    md5_starts(&ctx);
    // md5_update only reads its input.
    md5_update(&ctx, reinterpret_cast<unsigned char*>(const_cast<char*>(msg)), len);
    unsigned char digest[16];
    md5_finish(&ctx, digest);

    static const char hex[] = "0123456789ABCDEF";  // each byte as "%02X"
    for (int i = 0; i < 16; ++i) {
        output[2 * i] = hex[digest[i] >> 4];
        output[2 * i + 1] = hex[digest[i] & 0x0F];
    }
    output[32] = '\0';
}

}  // namespace TOOLS
}  // namespace MORVAST

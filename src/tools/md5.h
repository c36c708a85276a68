// MD5 message digest (RFC 1321) and its upper-case hex text.
#ifndef MORVAST_TOOL_MD5_H
#define MORVAST_TOOL_MD5_H

#include <cstddef>
#include <cstdint>

namespace MORVAST {
namespace TOOLS {

struct md5_context {
    uint64_t total[2];     // message length in bytes: low word kept to 32 bits, carry in the high word
    uint64_t state[4];     // chaining values A, B, C, D (32-bit values)
    unsigned char buffer[64];  // pending partial block
};

void md5_starts(md5_context* ctx);
void md5_update(md5_context* ctx, unsigned char* input, size_t length);
void md5_finish(md5_context* ctx, unsigned char digest[16]);
void md5_process(md5_context* ctx, unsigned char data[64]);

// Digest of the first nLen bytes of msg as 32 upper-case hex characters and a
// terminator; output must hold 33 bytes. A negative nLen is taken as 0.
void encrypt_md5(const char* msg, int nLen, char* output);

}  // namespace TOOLS
}  // namespace MORVAST

#endif

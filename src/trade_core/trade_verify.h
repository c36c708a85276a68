// Order verification value: a 32-bit CRC-32C check value of a new order.
//
// The value is computed over a 100-byte image of the new-order message
// (type 10) that the order record would produce. Only 44 bytes of that image,
// taken as 17 fixed pieces, enter the value; the session neither sends nor
// checks it, it only hands it to the application.
//
// CRC-32C here is the Castagnoli polynomial in reflected form (0x82F63B78),
// the update the SSE4.2 crc32 instruction performs, started from 0 and with
// no final inversion. The instruction is used when the CPU has it (checked
// at run time); otherwise an equivalent table-driven software update runs.
#ifndef HUX_TRADE_VERIFY_H
#define HUX_TRADE_VERIFY_H

#include <cstddef>
#include <cstdint>

#include "hux_trade_request_struct.h"

// Checksum of a 100-byte verification image (exported unmangled). Reads
// bytes 5..76 of the image only.
extern "C" __attribute__((visibility("default"))) uint32_t sse42_crc32_10(const void* image);

namespace HUX_TRADE_CORE {

constexpr size_t kVerifyImageLen = 100;

// Raw CRC-32C update of len bytes: no initial or final inversion (pass 0 to
// start, and the result is the value itself).
uint32_t crc32c_update_sw(uint32_t crc, const void* data, size_t len);
// Same update with the crc32 instruction; call only when crc32c_hw_available().
uint32_t crc32c_update_hw(uint32_t crc, const void* data, size_t len);
bool crc32c_hw_available();

// The 17-piece checksum of an image by each path; sse42_crc32_10 picks one.
// The hardware form may be called only when crc32c_hw_available().
uint32_t verify_crc_sw(const uint8_t* image);
uint32_t verify_crc_hw(const uint8_t* image);

// Builds the verification image of an order for a session whose numeric user
// id is user_id. The image is zero-filled; it holds the user id's low byte at
// 8, opt_2 at 28, the converted price at 32 and second price at 40, the
// account cut to 15 characters at 60 and the symbol cut to 19 at 76. The other
// bytes of the new-order message (request tag, token, quantity, side,
// exchange and the one-byte options) do not enter the value and stay 0.
void build_verify_image(uint8_t (&image)[kVerifyImageLen], const HUX_EnterOrderField& order,
                        uint32_t user_id);

// Check value of an order: the checksum of its verification image. No
// connection, logon, token or exchange check.
uint32_t calc_verification_value(const HUX_EnterOrderField& order, uint32_t user_id);

}  // namespace HUX_TRADE_CORE

#endif  // HUX_TRADE_VERIFY_H

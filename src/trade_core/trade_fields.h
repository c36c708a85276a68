// Field conversions both libraries' order-entry builders share: exchange
// range, side mapping, price image and the flag-kind byte. They take plain
// values, never a library's records.
#ifndef HUX_TRADE_FIELDS_H
#define HUX_TRADE_FIELDS_H

#include <cstdint>

namespace HUX_TRADE_CORE {

constexpr uint8_t EXCHANGE_ID_MIN = 100;
constexpr uint8_t EXCHANGE_ID_MAX = 108;

// True when the exchange id lies in 100..108.
bool IsValidExchange(uint8_t exchange_id);

// Side sent for a side on an exchange: on exchanges 102, 104, 105, 107 and
// 108, side 2 or 6 goes out as 22 and side 3 or 5 as 21; everything else
// unchanged.
uint8_t MapSide(uint8_t exchange_id, uint8_t side);

// Price as sent: int64 holding the price times 10000. Values above 0.00001
// become (value + 0.00001) x 10000 and values below -0.00001 become
// (value - 0.00001) x 10000, both truncated toward zero; anything between is
// 0. False, *out untouched, when the value is not a number or the magnitude
// of its image reaches 2^63 (nothing is clamped or wrapped).
// Inline: it runs twice on every order.
inline bool ConvertPrice(double value, int64_t* out) {
    constexpr double PRICE_SCALE = 10000.0;
    constexpr double PRICE_EPSILON = 0.00001;
    constexpr double INT64_LIMIT = 9223372036854775808.0;  // 2^63, the first double above every int64
    if (value != value) return false;  // not a number
    double scaled = 0.0;
    if (value > PRICE_EPSILON)
        scaled = (value + PRICE_EPSILON) * PRICE_SCALE;
    else if (value < -PRICE_EPSILON)
        scaled = (value - PRICE_EPSILON) * PRICE_SCALE;
    // Refuse every image whose magnitude reaches 2^63, so nothing wraps; the
    // comparison also refuses infinities. Doubles of that size are whole
    // numbers, so testing before truncation refuses exactly the values whose
    // truncation would not fit; the conversion itself truncates toward zero.
    if (!(scaled < INT64_LIMIT && scaled > -INT64_LIMIT)) return false;
    *out = static_cast<int64_t>(scaled);
    return true;
}

// The byte that follows a flag: 0 when the flag is 0, else 1 when the detail
// is 0, else 2.
uint8_t FlagKind(uint8_t flag, uint8_t detail);

// The order byte that must be 1..6; any other value is sent as 1.
inline uint8_t OrderOpt8(uint8_t value) { return (value >= 1 && value <= 6) ? value : 1; }

}  // namespace HUX_TRADE_CORE

#endif

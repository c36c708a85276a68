#include "trade_core/trade_fields.h"

namespace HUX_TRADE_CORE {

bool IsValidExchange(uint8_t exchange_id) {
    return exchange_id >= EXCHANGE_ID_MIN && exchange_id <= EXCHANGE_ID_MAX;
}

uint8_t MapSide(uint8_t exchange_id, uint8_t side) {
    switch (exchange_id) {
    case 102: case 104: case 105: case 107: case 108:
        if (side == 2 || side == 6) return 22;
        if (side == 3 || side == 5) return 21;
        return side;
    default:
        return side;
    }
}

uint8_t FlagKind(uint8_t flag, uint8_t detail) {
    if (flag == 0) return 0;
    return detail == 0 ? 1 : 2;
}

}  // namespace HUX_TRADE_CORE

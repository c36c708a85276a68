// Field values of the status answers that the simulated server also sends by
// itself from its configuration (market sessions, symbol status, session
// id). Their builders are in sim/sim_status_answers.h.
#ifndef HUX_SIM_SIM_STATUS_VALUES_H
#define HUX_SIM_SIM_STATUS_VALUES_H

#include <cstdint>
#include <string>

namespace hux_sim {

// 1084, 272 bytes: market sessions of one exchange.
struct sim_market_sessions {
    uint8_t exchange_id = 0;  // at 12
    uint8_t last = 0;         // at 13: 1 = last answer
    uint8_t count = 0;        // at 14
    std::string sessions;     // 255 bytes at 15
};

// Symbol status, pushed (1086, 56 bytes, base 8) or answered (1087, 64 bytes,
// base 12): first byte at base, symbol 20 bytes at base+1, byte at base+32,
// int32 at base+33, short text 9 bytes at base+37, byte at base+46; 1087 has
// its end mark at 59.
struct sim_symbol_status {
    uint8_t first = 0;
    std::string symbol;
    uint8_t byte_a = 0;
    int32_t value = 0;
    std::string short_text;
    uint8_t byte_b = 0;
    uint8_t end_mark = 0;  // 1087 only
};

// 1094, 32 bytes: session id answer.
struct sim_session_id {
    std::string session;  // 17 bytes at 12
    uint8_t byte_a = 0;   // at 30
    uint8_t byte_b = 0;   // at 31
};

}  // namespace hux_sim

#endif  // HUX_SIM_SIM_STATUS_VALUES_H
